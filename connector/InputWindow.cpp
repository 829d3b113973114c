#include "connector/InputWindow.h"

#include <windows.h>

#include <cstdio>
#include <new>
#include <string>

#include "common/win/unique_resource.h"
#include "connector/Observers.h"
#include "connector/StdOut.h"
#include "connector/core/SuiteProtocol.h"

namespace qvr::connector {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The asynchronous observer proxy, made on the first message that needs it and kept for the life
// of the process. Only the input window thread reads or writes it (there is one per process).
nsIObserverService* g_observer_proxy = nullptr;

void RelayCopyData(const COPYDATASTRUCT& message) {
  const char* topic = InputMessageTopic(message.dwData);
  if (topic == nullptr) return;
  // The proxy copies its arguments: the text may go as soon as the call returns.
  const std::u16string text = WidenSingleByteText(CopyDataText(message.lpData, message.cbData));
  const nsresult result = g_observer_proxy->NotifyObservers(nullptr, topic, text.c_str());
  if (NS_FAILED(result)) {
    char line[64];
    std::snprintf(line, sizeof(line), "Fail notify observers![%x]\r\n", static_cast<unsigned>(result));
    WriteStdOut(line);
  }
}

LRESULT CALLBACK InputWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      ::PostQuitMessage(0);
      break;
    case WM_COPYDATA:
      // Without the proxy the message is dropped, and making it is tried again next time.
      if (g_observer_proxy == nullptr) g_observer_proxy = NewMainThreadObserverProxy();
      if (lparam != 0 && g_observer_proxy != nullptr) {
        try {
          RelayCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
        } catch (const std::bad_alloc&) {
          // the message is lost; the window goes on
        }
      }
      break;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// The suite may run at a lower integrity level than the browser.
void AcceptCopyDataFromLowerIntegrity() {
  using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
  const auto change = qvr::get_proc_address<ChangeWindowMessageFilterFn>(::GetModuleHandleW(L"user32.dll"),
                                                                         "ChangeWindowMessageFilter");
  if (change == nullptr) return;  // older than Vista: no filter
  constexpr DWORD kAllow = 1;     // MSGFLT_ADD
  change(WM_COPYDATA, kAllow);
  change(WM_USER, kAllow);
}

DWORD WINAPI InputThread(void*) {
  const HINSTANCE browser = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = InputWindowProc;
  window_class.hInstance = browser;
  window_class.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  window_class.lpszClassName = Wide(kInputWindowName);
  // Fails for every thread but the first: the class exists for the process already.
  if (::RegisterClassExW(&window_class) == 0) return 0;

  AcceptCopyDataFromLowerIntegrity();
  const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, Wide(kInputWindowName), Wide(kInputWindowName),
                                        WS_POPUPWINDOW, 0, 0, 30, 30, nullptr, nullptr, browser, nullptr);
  if (window == nullptr) return 0;

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

// The thread outlives every connector and runs our code: the library must never be unloaded
// under it (the browser keeps binary components loaded anyway; a host that does not must not crash).
void PinLibrary() {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&InputThread), &self);
}

}  // namespace

bool StartInputWindowThread() {
  PinLibrary();
  const qvr::unique_handle thread(::CreateThread(nullptr, 0, InputThread, nullptr, 0, nullptr));
  return static_cast<bool>(thread);
}

}  // namespace qvr::connector
