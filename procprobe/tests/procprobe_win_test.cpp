// procprobe.dll against real processes: copies of a program of ours, started by the test.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"

namespace {

using LookupFn = DWORD(WINAPI*)(const char*);

// A running copy of one of our helper programs; ended when the owner goes.
class TargetProcess {
 public:
  // Waits until the program runs, unless it is created suspended.
  explicit TargetProcess(const wchar_t* exe_name, bool suspended = false) {
    static int serial = 0;
    const std::wstring event_name =
        L"qvr-procprobe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    const qvr::unique_handle ready(::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
    std::wstring command = L"\"" + qvr::testing::ExeDirectory() + exe_name + L"\" " + event_name;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                          suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &info)) {
      ADD_FAILURE() << "cannot start " << exe_name << ": " << ::GetLastError();
      return;
    }
    process_.reset(info.hProcess);
    ::CloseHandle(info.hThread);
    id_ = info.dwProcessId;
    if (!suspended) {
      EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready.get(), 10000));
    }
  }
  TargetProcess(const TargetProcess&) = delete;
  TargetProcess& operator=(const TargetProcess&) = delete;
  ~TargetProcess() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 0);
    ::WaitForSingleObject(process_.get(), 10000);
  }

  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.get(); }

 private:
  qvr::unique_handle process_;
  DWORD id_ = 0;
};

class ProcProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_.reset(::LoadLibraryW((qvr::testing::ExeDirectory() + L"procprobe.dll").c_str()));
    ASSERT_TRUE(dll_);
    lookup_ = qvr::get_proc_address<LookupFn>(dll_.get(), "ProcProbe_Lookup");
    ASSERT_NE(nullptr, lookup_);
  }

  qvr::unique_hmodule dll_;
  LookupFn lookup_ = nullptr;
};

TEST_F(ProcProbe, ExportsOneFunctionUnderBothNames) {
  EXPECT_EQ(lookup_, qvr::get_proc_address<LookupFn>(dll_.get(), "ProcProbe_Lookup@4"));
  EXPECT_EQ(0u, lookup_(nullptr));
}

TEST_F(ProcProbe, FindsTheFirstListedCopyOfARunningProgramByItsExactName) {
  EXPECT_EQ(0u, lookup_("procprobe_target.exe"));
  {
    TargetProcess one(L"procprobe_target.exe");
    TargetProcess two(L"procprobe_target.exe");
    ASSERT_NE(0u, one.id());
    ASSERT_NE(0u, two.id());

    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    ASSERT_TRUE(::EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes));
    ids.resize(bytes / sizeof(DWORD));
    DWORD first = 0;
    for (const DWORD id : ids) {
      if (id == one.id() || id == two.id()) {
        first = id;
        break;
      }
    }
    ASSERT_NE(0u, first);
    EXPECT_EQ(first, lookup_("procprobe_target.exe"));
    EXPECT_EQ(0u, lookup_("PROCPROBE_TARGET.EXE"));
    EXPECT_EQ(0u, lookup_("procprobe_target"));
  }
  EXPECT_EQ(0u, lookup_("procprobe_target.exe"));
}

// A process whose module list cannot be read is still found by its image's file name. Wine
// fails GetModuleBaseNameA on a process created suspended with error 998, exactly as Windows
// and Wine fail it for a 64-bit process opened from 32-bit code (platform notes).
TEST_F(ProcProbe, FindsAProcessWhoseModuleNameCannotBeRead) {
  TargetProcess suspended(L"procprobe_target.exe", true);
  ASSERT_NE(0u, suspended.id());
  char name[MAX_PATH];
  ASSERT_EQ(0u, ::GetModuleBaseNameA(suspended.handle(), nullptr, name, MAX_PATH))
      << "the module name is readable, so this test would not reach the fallback";
  EXPECT_EQ(suspended.id(), lookup_("procprobe_target.exe"));
  EXPECT_EQ(0u, lookup_("Procprobe_target.exe"));
}

#if defined(__i386__)
TEST_F(ProcProbe, FindsA64BitProcessFrom32BitCode) {
  TargetProcess wide(L"procprobe_target64.exe");
  ASSERT_NE(0u, wide.id());
  EXPECT_EQ(wide.id(), lookup_("procprobe_target64.exe"));
}
#endif

}  // namespace
