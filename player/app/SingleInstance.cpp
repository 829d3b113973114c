#include "player/app/SingleInstance.h"

#include "player/app/core/CopyData.h"

namespace qvr::app {
namespace {

constexpr int kFindTries = 11;
constexpr DWORD kFindPauseMs = 100;
// A hung first player must not keep the second process alive for ever; a live one answers at once.
constexpr UINT kSendTimeoutMs = 10000;

HWND FindRunningPlayer() {
  for (int attempt = 0; attempt < kFindTries; ++attempt) {
    if (attempt > 0) ::Sleep(kFindPauseMs);
    if (const HWND window = ::FindWindowW(kMainWindowClass, nullptr)) return window;
  }
  return nullptr;
}

}  // namespace

bool SendPathToInstance(HWND window, HINSTANCE self, const std::string& path) {
  COPYDATASTRUCT data{};
  data.dwData = kCopyDataUtf8;
  data.cbData = static_cast<DWORD>(path.size());  // no terminating zero
  data.lpData = const_cast<char*>(path.data());
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(self), reinterpret_cast<LPARAM>(&data),
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

unique_handle ClaimSingleInstance(HINSTANCE self, const std::optional<std::string>& argument) {
  unique_handle mutex(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (mutex && ::GetLastError() != ERROR_ALREADY_EXISTS) return mutex;
  mutex.reset();
  if (const HWND window = FindRunningPlayer()) {
    if (argument) SendPathToInstance(window, self, *argument);
    ::SetForegroundWindow(window);
  }
  return {};
}

}  // namespace qvr::app
