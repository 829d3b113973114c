// procprobe.dll: tells a setup program whether a program is running. One stateless export,
// callable from any thread; the lookup itself lives in core/ProcessLookup.
#include <windows.h>
#include <psapi.h>

#include <new>

#include "common/win/unique_resource.h"
#include "procprobe/core/ProcessLookup.h"

namespace {

using qvr::procprobe::ProcessTable;

// The process status interface of the running system.
class SystemProcessTable final : public ProcessTable {
 public:
  bool ListIds(uint32_t* ids, size_t capacity, size_t* written) override {
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    DWORD bytes = 0;
    if (!::EnumProcesses(reinterpret_cast<DWORD*>(ids), static_cast<DWORD>(capacity * sizeof(DWORD)), &bytes))
      return false;
    *written = bytes / sizeof(DWORD);
    return true;
  }

  NameRead BaseName(uint32_t id, std::string* name) override {
    const qvr::unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process) return NameRead::kUnopenable;
    char buffer[MAX_PATH];
    const DWORD length = ::GetModuleBaseNameA(process.get(), nullptr, buffer, MAX_PATH);
    if (length == 0) return NameRead::kUnreadable;
    name->assign(buffer, length);
    return NameRead::kRead;
  }

  bool ImagePath(uint32_t id, std::string* path) override {
    const qvr::unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return false;
    char buffer[MAX_PATH * 4];
    DWORD length = sizeof(buffer);
    if (!::QueryFullProcessImageNameA(process.get(), 0, buffer, &length)) return false;
    path->assign(buffer, length);
    return true;
  }
};

}  // namespace

// Exported as "ProcProbe_Lookup@4" and "ProcProbe_Lookup" (see the .def files).
extern "C" DWORD WINAPI ProcProbe_Lookup(const char* name) {
  try {
    SystemProcessTable table;
    return qvr::procprobe::LookupProcess(table, name);
  } catch (const std::bad_alloc&) {
    return 0;  // the caller learns only "not found"; nothing may escape into a setup program
  }
}
