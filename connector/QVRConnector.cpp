#include "connector/QVRConnector.h"

#include <new>
#include <string>

#include "connector/InputWindow.h"
#include "connector/Observers.h"
#include "connector/StdOut.h"
#include "connector/core/SuiteProtocol.h"
#include "connector/xpcom/imports.h"

namespace qvr::connector {
namespace {

static_assert(sizeof(wchar_t) == sizeof(PRUnichar));
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The connector the DDE callback serves; main thread only.
CQVRConnector* g_current_connector = nullptr;

// A DDE string handle in UTF-16 (code page 1200), freed with its owner.
class DdeString {
 public:
  DdeString(DWORD instance, const char16_t* text)
      : instance_(instance), handle_(::DdeCreateStringHandleW(instance, Wide(text), CP_WINUNICODE)) {}
  DdeString(const DdeString&) = delete;
  DdeString& operator=(const DdeString&) = delete;
  ~DdeString() {
    if (handle_ != nullptr) ::DdeFreeStringHandle(instance_, handle_);
  }
  HSZ get() const { return handle_; }

 private:
  DWORD instance_;
  HSZ handle_;
};

// A DDE callback's answer: flags or a boolean in the place of a data handle.
HDDEDATA DdeAnswer(UINT value) { return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(value)); }

// A script may pass a null string; it means the empty one.
std::u16string_view TextOrEmpty(const PRUnichar* text) { return text != nullptr ? text : u""; }

}  // namespace

CQVRConnector* CQVRConnector::Create() {
  void* place = moz_malloc(sizeof(CQVRConnector));
  if (place == nullptr) return nullptr;
  return ::new (place) CQVRConnector();
}

CQVRConnector::CQVRConnector() {
  g_current_connector = this;
  dde_init_result_ = ::DdeInitializeW(&dde_instance_, &CQVRConnector::DdeCallback, CBF_FAIL_POKES | CBF_FAIL_REQUESTS, 0);
  if (dde_init_result_ == DMLERR_NO_ERROR) {
    service_ = ::DdeCreateStringHandleW(dde_instance_, Wide(kConnectorService), CP_WINUNICODE);
    topic_ = ::DdeCreateStringHandleW(dde_instance_, Wide(kConnectorTopic), CP_WINUNICODE);
    ::DdeNameService(dde_instance_, service_, nullptr, DNS_REGISTER);
  } else {
    dde_instance_ = 0;
  }
  WriteStdOut(StartInputWindowThread() ? "BINARY: Input thread init success\r\n"
                                       : "BINARY: Fail init input window thread\r\n");
}

CQVRConnector::~CQVRConnector() {
  if (dde_instance_ != 0) {
    if (server_conversation_ != nullptr) ::DdeDisconnect(server_conversation_);
    ::DdeNameService(dde_instance_, service_, nullptr, DNS_UNREGISTER);
    if (service_ != nullptr) ::DdeFreeStringHandle(dde_instance_, service_);
    if (topic_ != nullptr) ::DdeFreeStringHandle(dde_instance_, topic_);
    ::DdeUninitialize(dde_instance_);
  }
  if (g_current_connector == this) g_current_connector = nullptr;
}

nsresult CQVRConnector::QueryInterface(const nsIID& iid, void** result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  if (iid == NS_GET_IID(IQVRConnector) || iid == NS_GET_IID(nsISupports)) {
    AddRef();
    *result = static_cast<IQVRConnector*>(this);
    return NS_OK;
  }
  *result = nullptr;
  return NS_ERROR_NO_INTERFACE;
}

nsrefcnt CQVRConnector::AddRef() { return ++references_; }

nsrefcnt CQVRConnector::Release() {
  if (references_ == 0) return 0;  // an unbalanced Release must not free twice
  if (--references_ != 0) return references_;
  this->~CQVRConnector();
  moz_free(this);
  return 0;
}

HCONV CQVRConnector::OpenSuiteConversation() const {
  if (dde_init_result_ != DMLERR_NO_ERROR) return nullptr;
  const DdeString service(dde_instance_, kSuiteService);
  const DdeString topic(dde_instance_, kSuiteTopic);
  return ::DdeConnect(dde_instance_, service.get(), topic.get(), nullptr);
}

bool CQVRConnector::SendToSuite(std::u16string_view command) const {
  const HCONV conversation = OpenSuiteConversation();
  if (conversation == nullptr) return false;
  // The command with its terminating NUL, in UTF-16 although marked CF_TEXT: what the suite's
  // Unicode DDE server has always been sent.
  const std::u16string text(command);
  const HDDEDATA data =
      ::DdeCreateDataHandle(dde_instance_, reinterpret_cast<LPBYTE>(const_cast<char16_t*>(text.c_str())),
                            static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)), 0, nullptr, CF_TEXT, 0);
  bool sent = false;
  if (data != nullptr) {
    // Asynchronous, and not waited for: the suite's answer carries nothing the browser needs.
    sent = ::DdeClientTransaction(reinterpret_cast<LPBYTE>(data), 0xFFFFFFFF, conversation, nullptr, 0, XTYP_EXECUTE,
                                  TIMEOUT_ASYNC, nullptr) != nullptr;
  }
  ::DdeDisconnect(conversation);
  return sent;
}

nsresult CQVRConnector::IsSuiteRunning(PRBool* result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  const HCONV conversation = OpenSuiteConversation();
  if (conversation != nullptr) ::DdeDisconnect(conversation);
  *result = conversation != nullptr ? 1 : 0;
  return NS_OK;
}

nsresult CQVRConnector::SendUrl(const PRUnichar* url, PRBool* result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  try {
    *result = SendToSuite(UrlCommand(TextOrEmpty(url))) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return NS_ERROR_OUT_OF_MEMORY;
  }
  return NS_OK;
}

nsresult CQVRConnector::SendToSuiteWindow(const PRUnichar* text, PRBool* result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  const HWND suite = ::FindWindowW(nullptr, Wide(kSuiteWindowTitle));
  if (suite == nullptr) {
    *result = 0;
    return NS_OK;
  }
  try {
    std::string bytes = ToSingleByteText(TextOrEmpty(text));
    COPYDATASTRUCT message{};
    message.dwData = kSuiteTextCode;
    message.cbData = static_cast<DWORD>(bytes.size() + 1);  // with the terminating NUL
    message.lpData = bytes.data();
    ::SendMessageW(suite, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message));
  } catch (const std::bad_alloc&) {
    return NS_ERROR_OUT_OF_MEMORY;
  }
  *result = 1;  // whatever the window answered
  return NS_OK;
}

nsresult CQVRConnector::RecordStart() {
  SendToSuite(kRecordStartCommand);
  return NS_OK;
}

nsresult CQVRConnector::RecordStop() {
  SendToSuite(kRecordStopCommand);
  return NS_OK;
}

nsresult CQVRConnector::RecordCheck() {
  SendToSuite(kRecordCheckCommand);
  return NS_OK;
}

HDDEDATA CALLBACK CQVRConnector::DdeCallback(UINT type, UINT, HCONV conversation, HSZ string1, HSZ string2,
                                             HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  if (g_current_connector == nullptr) return nullptr;
  return g_current_connector->OnDdeTransaction(type, conversation, string1, string2, data);
}

HDDEDATA CQVRConnector::OnDdeTransaction(UINT type, HCONV conversation, HSZ string1, HSZ string2, HDDEDATA data) {
  // For connections string1 is the topic and string2 the service; for an execute, the topic.
  const auto is_ours = [this](HSZ topic, HSZ service) {
    return ::DdeCmpStringHandles(topic, topic_) == 0 && ::DdeCmpStringHandles(service, service_) == 0;
  };
  switch (type) {
    case XTYP_CONNECT:
      return DdeAnswer(is_ours(string1, string2) ? TRUE : FALSE);
    case XTYP_CONNECT_CONFIRM:
      if (is_ours(string1, string2)) server_conversation_ = conversation;
      return nullptr;
    case XTYP_DISCONNECT:
      if (conversation == server_conversation_) server_conversation_ = nullptr;
      return nullptr;
    case XTYP_EXECUTE: {
      if (data == nullptr || ::DdeCmpStringHandles(string1, topic_) != 0) return DdeAnswer(DDE_FNOTPROCESSED);
      DWORD size = 0;
      const BYTE* bytes = ::DdeAccessData(data, &size);
      if (bytes == nullptr) return DdeAnswer(DDE_FNOTPROCESSED);
      try {
        const std::u16string status = ExecuteText(bytes, size);
        ::DdeUnaccessData(data);
        // An empty status (no data, or nothing before the NUL) tells the extension nothing.
        if (status.empty()) return DdeAnswer(DDE_FNOTPROCESSED);
        NotifyObserversNow(kRecordButtonTopic, status.c_str());
      } catch (const std::bad_alloc&) {
        ::DdeUnaccessData(data);
        return DdeAnswer(DDE_FNOTPROCESSED);
      }
      return DdeAnswer(DDE_FACK);
    }
    default:
      return nullptr;
  }
}

}  // namespace qvr::connector
