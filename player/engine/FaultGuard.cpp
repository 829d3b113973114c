#include "player/engine/FaultGuard.h"

#if !defined(__x86_64__)
#error "the fault guard is written for x64 Windows' table-based exceptions"
#endif

namespace {

constexpr DWORD kVisualCppException = 0xE06D7363;  // "msc"
constexpr DWORD kGccException = 0x20474343;        // "GCC"
constexpr DWORD kDelphiException = 0x0EEDFADE;
constexpr DWORD kHeapCorruption = 0xC0000374;
constexpr DWORD kStackBufferOverrun = 0xC0000409;

// The one guarded call in flight on each thread reports its code here; the handler runs on the
// faulting thread, so no other thread ever sees it.
thread_local DWORD t_fault = 0;

}  // namespace

extern "C" {
// The guard itself: calls step(context) in a frame whose handler is qvr_fault_guard_handler.
// The handler resumes at qvr_fault_guard_resume with the frame's own registers restored and
// RAX holding the result; the epilogue is then the ordinary one.
HRESULT qvr_fault_guard_call(qvr::engine::TGuardedStep step, void* context);
extern const char qvr_fault_guard_resume[];
EXCEPTION_DISPOSITION qvr_fault_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                              DISPATCHER_CONTEXT* dispatch);
}

asm(R"(
    .text
    .p2align 4
    .globl qvr_fault_guard_call
    .globl qvr_fault_guard_resume
    .def qvr_fault_guard_call; .scl 2; .type 32; .endef
    .seh_proc qvr_fault_guard_call
qvr_fault_guard_call:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    .seh_handler qvr_fault_guard_handler, @except
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
qvr_fault_guard_resume:
    leaq 0(%rbp), %rsp
    popq %rbp
    retq
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION qvr_fault_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                         DISPATCHER_CONTEXT* dispatch) {
  // Called again while the unwind passes this frame: nothing to clean up here.
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  if (!qvr::engine::IsRecoverableFault(record->ExceptionCode)) return ExceptionContinueSearch;
  t_fault = record->ExceptionCode;
  // A failure code for the step; codes of lesser severity (the C++ runtimes' own) become E_UNEXPECTED.
  const HRESULT result =
      (record->ExceptionCode & 0x80000000u) ? HRESULT_FROM_NT(record->ExceptionCode) : E_UNEXPECTED;
  ::RtlUnwindEx(frame, const_cast<char*>(qvr_fault_guard_resume), record,
                reinterpret_cast<void*>(static_cast<ULONG_PTR>(static_cast<ULONG>(result))), dispatch->ContextRecord,
                dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached: the unwind resumes in the guard
}

namespace qvr::engine {

bool IsRecoverableFault(DWORD code) {
  switch (code) {
    case kVisualCppException:
    case kGccException:
    case kDelphiException:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return true;
    case EXCEPTION_STACK_OVERFLOW:
    case kHeapCorruption:
    case kStackBufferOverrun:
      return false;
    default:
      return (code & 0xC0000000u) == 0xC0000000u;  // error severity
  }
}

TGuardedResult CallGuardedStep(TGuardedStep step, void* context) {
  const DWORD outer = t_fault;  // a guarded step may itself run one
  t_fault = 0;
  TGuardedResult result;
  result.Result = qvr_fault_guard_call(step, context);
  result.Fault = t_fault;
  t_fault = outer;
  return result;
}

}  // namespace qvr::engine
