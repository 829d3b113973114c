// The suite application, played for the connector's tests. It serves DDE "TclEval"/"QVRSuite"
// and owns the window titled "QVR_SUITE_CD_CONNECTOR", reporting what reaches them; and on
// command it sends to the connector what the suite sends: WM_COPYDATA to the window
// "FIREFOX_TOOLBAR_CONNECTOR" and DDE executes.
//
// stdout, one line per event (bytes in hexadecimal):
//   READY | CONNECT | DISCONNECT | EXECUTE <size> <bytes> | COPYDATA <dwData> <cbData> <bytes>
//   COPIED ok|nowindow|timeout | EXECUTED ack|notprocessed|noconv|error <code>
// stdin, one command per line (the program ends when stdin closes):
//   copy <dwData> <bytes|-> [<cbData>]     exec <service> <topic> <UTF-16 bytes|->
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;  // lParam: a std::string* command line, deleted here

DWORD g_dde = 0;
HSZ g_service = nullptr;
HSZ g_topic = nullptr;
std::set<HCONV> g_server_conversations;

void Emit(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string Hex(const void* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string Unhex(const std::string& text) {
  std::string bytes;
  if (text == "-") return bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return bytes;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

HDDEDATA CALLBACK SuiteDde(UINT type, UINT, HCONV conversation, HSZ string1, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(::DdeCmpStringHandles(string1, g_topic) == 0));
    case XTYP_CONNECT_CONFIRM:
      g_server_conversations.insert(conversation);
      Emit("CONNECT");
      return nullptr;
    case XTYP_DISCONNECT:
      if (g_server_conversations.erase(conversation) != 0) Emit("DISCONNECT");
      return nullptr;
    case XTYP_EXECUTE: {
      DWORD size = 0;
      const BYTE* bytes = data != nullptr ? ::DdeAccessData(data, &size) : nullptr;
      Emit("EXECUTE " + std::to_string(size) + " " + Hex(bytes, bytes != nullptr ? size : 0));
      if (bytes != nullptr) ::DdeUnaccessData(data);
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    }
    default:
      return nullptr;
  }
}

void CopyToConnector(std::istringstream& args) {
  ULONG_PTR code = 0;
  std::string hex;
  args >> code >> hex;
  std::string bytes = Unhex(hex);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (DWORD given = 0; args >> given) size = given;  // a size of its own, if given
  const HWND connector = ::FindWindowW(L"FIREFOX_TOOLBAR_CONNECTOR", L"FIREFOX_TOOLBAR_CONNECTOR");
  if (connector == nullptr) return Emit("COPIED nowindow");
  COPYDATASTRUCT message{code, size, bytes.empty() ? nullptr : bytes.data()};
  DWORD_PTR answer = 0;
  const bool sent = ::SendMessageTimeoutW(connector, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message),
                                          SMTO_NORMAL, 5000, &answer) != 0;
  Emit(sent ? "COPIED ok" : "COPIED timeout");
}

void ExecuteOnConnector(std::istringstream& args) {
  std::string service_name, topic_name, hex;
  args >> service_name >> topic_name >> hex;
  std::string bytes = Unhex(hex);
  const HSZ service = ::DdeCreateStringHandleW(g_dde, Widen(service_name).c_str(), CP_WINUNICODE);
  const HSZ topic = ::DdeCreateStringHandleW(g_dde, Widen(topic_name).c_str(), CP_WINUNICODE);
  const HCONV conversation = ::DdeConnect(g_dde, service, topic, nullptr);
  ::DdeFreeStringHandle(g_dde, service);
  ::DdeFreeStringHandle(g_dde, topic);
  if (conversation == nullptr) return Emit("EXECUTED noconv");
  DWORD result = 0;
  const HDDEDATA done = ::DdeClientTransaction(reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()),
                                               conversation, nullptr, CF_TEXT, XTYP_EXECUTE, 5000, &result);
  const UINT error = ::DdeGetLastError(g_dde);
  ::DdeDisconnect(conversation);
  if (done != nullptr) return Emit("EXECUTED ack");
  if (error == DMLERR_NOTPROCESSED) return Emit("EXECUTED notprocessed");
  Emit("EXECUTED error " + std::to_string(error));
}

LRESULT CALLBACK SuiteWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      Emit("COPYDATA " + std::to_string(data->dwData) + " " + std::to_string(data->cbData) + " " +
           Hex(data->lpData, data->cbData));
      return TRUE;
    }
    case kCommandMessage: {
      const std::string* line = reinterpret_cast<const std::string*>(lparam);
      std::istringstream args(*line);
      delete line;
      std::string verb;
      args >> verb;
      if (verb == "copy") CopyToConnector(args);
      if (verb == "exec") ExecuteOnConnector(args);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Hands stdin's lines to the window's thread; closes the window when stdin ends.
DWORD WINAPI ReadCommands(void* window) {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buffer[512];
  DWORD got = 0;
  while (::ReadFile(in, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    pending.append(buffer, got);
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      ::PostMessageW(static_cast<HWND>(window), kCommandMessage, 0,
                     reinterpret_cast<LPARAM>(new std::string(pending.substr(0, end))));
  }
  ::PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int main() {
  if (::DdeInitializeW(&g_dde, SuiteDde,
                       APPCLASS_STANDARD | CBF_FAIL_POKES | CBF_FAIL_REQUESTS | CBF_SKIP_REGISTRATIONS |
                           CBF_SKIP_UNREGISTRATIONS,
                       0) != DMLERR_NO_ERROR)
    return 2;
  g_service = ::DdeCreateStringHandleW(g_dde, L"TclEval", CP_WINUNICODE);
  g_topic = ::DdeCreateStringHandleW(g_dde, L"QVRSuite", CP_WINUNICODE);
  if (::DdeNameService(g_dde, g_service, nullptr, DNS_REGISTER) == nullptr) return 3;

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = SuiteWindow;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"QvrSuitePeer";
  if (::RegisterClassW(&window_class) == 0) return 4;
  const HWND window = ::CreateWindowW(L"QvrSuitePeer", L"QVR_SUITE_CD_CONNECTOR", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                      nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 5;
  const HANDLE reader = ::CreateThread(nullptr, 0, ReadCommands, window, 0, nullptr);
  if (reader == nullptr) return 6;
  ::CloseHandle(reader);
  Emit("READY");

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  ::DdeNameService(g_dde, g_service, nullptr, DNS_UNREGISTER);
  ::DdeUninitialize(g_dde);
  return 0;
}
