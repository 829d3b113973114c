// Stands in for the programs the player starts (the downloaded installer, the suite's converter,
// the browser behind "http"): appends its command line and working folder to "<own path>.log"
// ("cmd:" + command line + TAB + "cwd:" + working folder with its backslash) and ends. With
// "--window" it plays a running converter instead: a "TfrmQVRConverter" window that appends
// each WM_COPYDATA it receives ("copy:<dwData>:<cbData>:<bytes>") until it is closed.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring LogPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path) + L".log";
}

void Append(const std::string& line) {
  const HANDLE file = ::CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::string Utf8(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

LRESULT CALLBACK ConverterProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    Append("copy:" + std::to_string(data->dwData) + ":" + std::to_string(data->cbData) + ":" +
           std::string(static_cast<const char*>(data->lpData), data->cbData));
    return TRUE;
  }
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  wchar_t folder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::wstring cwd = folder;
  if (!cwd.empty() && cwd.back() != L'\\') cwd += L'\\';
  Append("cmd:" + Utf8(::GetCommandLineW()) + "\tcwd:" + Utf8(cwd));
  if (!arguments || ::wcsncmp(arguments, L"--window", 8) != 0) return 0;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ConverterProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TfrmQVRConverter";
  ::RegisterClassW(&windowClass);
  ::CreateWindowExW(0, windowClass.lpszClassName, L"QVR Converter", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                    nullptr, instance, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
