// qvr_connector.dll inside a browser of ours. This program plays the browser: with the xpcom.dll
// and mozalloc.dll of tests/host it provides the service manager, an observer service that
// records each notification with its thread, and a proxy manager whose asynchronous proxy runs
// calls on this program's main thread. It loads the connector, goes through NSModule and
// NSGetModule, creates the component by contract ID and calls it. suite_peer.exe plays the
// suite application at the other end of DDE and WM_COPYDATA.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "connector/IQVRConnector.h"
#include "connector/tests/FakeXpcom.h"
#include "connector/tests/host/TestHost.h"
#include "connector/xpcom/RefPtr.h"

namespace {

using qvr::testing::RecordingRegistrar;
using qvr::testing::TestComponentManager;
using qvr::testing::TestObject;
using qvr::xpcom::RefPtr;

constexpr DWORD kWaitMs = 5000;
constexpr char kProgressTopic[] = "QVR.Toolbar.QVR-Input-Message-Download-Progress";
constexpr char kDebugTopic[] = "QVR.Toolbar.QVR-Input-Message-Debug";
constexpr char kRecordButtonTopic[] = "QVR.Suite-RecordButton-Status";

// Runs this thread's messages (the connector's DDE lives on it, and the proxy's calls arrive
// through it) until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = kWaitMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done()) return true;
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeout_ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeout_ms - elapsed, 20), QS_ALLINPUT);
  }
}

struct Notification {
  bool null_subject;
  std::string topic;
  std::u16string data;
  DWORD thread;
  friend bool operator==(const Notification&, const Notification&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Notification& n) {
    out << n.topic << " [";
    for (const char16_t unit : n.data) out << (unit < 128 ? static_cast<char>(unit) : '?');
    return out << "] thread " << n.thread << (n.null_subject ? "" : " with subject");
  }
};

class HostObserverService final : public TestObject<nsIObserverService> {
 public:
  NS_IMETHOD NotifyObservers(nsISupports* subject, const char* topic, const PRUnichar* data) override {
    const std::lock_guard lock(mutex_);
    notifications_.push_back(
        {subject == nullptr, topic != nullptr ? topic : "(null)", data != nullptr ? data : u"(null)", ::GetCurrentThreadId()});
    return NS_OK;
  }
  NS_IMETHOD AddObserver(nsIObserver*, const char*, PRBool) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD RemoveObserver(nsIObserver*, const char*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateObservers(const char*, nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }

  size_t Count() {
    const std::lock_guard lock(mutex_);
    return notifications_.size();
  }
  std::vector<Notification> Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(notifications_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Notification> notifications_;
};

// Runs calls on the main thread: a message-only window of that thread.
class MainThreadQueue {
 public:
  MainThreadQueue() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = Run;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"QvrBrowserHostMainThread";
    ::RegisterClassW(&window_class);
    window_ = ::CreateWindowW(window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              window_class.hInstance, nullptr);
  }
  bool Post(std::function<void()> call) {
    auto* posted = new std::function<void()>(std::move(call));
    if (::PostMessageW(window_, kRunMessage, 0, reinterpret_cast<LPARAM>(posted))) return true;
    delete posted;
    return false;
  }

 private:
  static constexpr UINT kRunMessage = WM_APP + 7;
  static LRESULT CALLBACK Run(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRunMessage) return ::DefWindowProcW(window, message, wparam, lparam);
    const std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lparam));
    (*call)();
    return 0;
  }
  HWND window_ = nullptr;
};

// The observer service's asynchronous proxy for the main thread: copies each call's arguments
// and returns at once.
class AsyncObserverProxy final : public TestObject<nsIObserverService> {
 public:
  AsyncObserverProxy(nsIObserverService& target, MainThreadQueue& main) : target_(target), main_(main) {}
  std::atomic<nsresult> answer{NS_OK};  // a failure to report instead of posting

  NS_IMETHOD NotifyObservers(nsISupports* subject, const char* topic, const PRUnichar* data) override {
    if (answer != NS_OK) return answer;
    if (subject != nullptr) subject->AddRef();
    const std::string topic_copy = topic;
    const std::u16string data_copy = data;
    const bool posted = main_.Post([this, subject, topic_copy, data_copy] {
      target_.NotifyObservers(subject, topic_copy.c_str(), data_copy.c_str());
      if (subject != nullptr) subject->Release();
    });
    return posted ? NS_OK : NS_ERROR_FAILURE;
  }
  NS_IMETHOD AddObserver(nsIObserver*, const char*, PRBool) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD RemoveObserver(nsIObserver*, const char*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateObservers(const char*, nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }

 private:
  nsIObserverService& target_;
  MainThreadQueue& main_;
};

class HostProxyManager final : public TestObject<nsIProxyObjectManager> {
 public:
  HostProxyManager(nsIObserverService& observers, AsyncObserverProxy& proxy) : observers_(observers), proxy_(proxy) {}
  std::atomic<int> proxies_made{0};

  // Only what the connector may ask for: an asynchronous observer proxy for the main thread.
  NS_IMETHOD GetProxyForObject(nsIEventTarget* target, const nsIID& iid, nsISupports* object, PRInt32 type,
                               void** result) override {
    *result = nullptr;
    if (target != NS_PROXY_TO_MAIN_THREAD || (type & INVOKE_ASYNC) == 0 || iid != NS_GET_IID(nsIObserverService) ||
        object != &observers_)
      return NS_ERROR_INVALID_ARG;
    ++proxies_made;
    return proxy_.QueryInterface(iid, result);
  }

 private:
  nsIObserverService& observers_;
  AsyncObserverProxy& proxy_;
};

class HostServices final : public TestObject<nsIServiceManager> {
 public:
  HostServices(nsIObserverService& observers, nsIProxyObjectManager& proxies) : observers_(observers), proxies_(proxies) {}
  std::atomic<bool> proxies_available{true};

  NS_IMETHOD GetServiceByContractID(const char* contract_id, const nsIID& iid, void** result) override {
    const std::string contract = contract_id;
    if (contract == NS_OBSERVERSERVICE_CONTRACTID) return observers_.QueryInterface(iid, result);
    if (contract == NS_XPCOMPROXY_CONTRACTID && proxies_available) return proxies_.QueryInterface(iid, result);
    *result = nullptr;
    return NS_ERROR_FACTORY_NOT_REGISTERED;
  }
  NS_IMETHOD GetService(const nsCID&, const nsIID&, void**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsServiceInstantiated(const nsCID&, const nsIID&, PRBool*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsServiceInstantiatedByContractID(const char*, const nsIID&, PRBool*) override {
    return NS_ERROR_NOT_IMPLEMENTED;
  }

 private:
  nsIObserverService& observers_;
  nsIProxyObjectManager& proxies_;
};

// The browser: made on first use, on the main thread, and never taken down (the connector's
// input thread uses it until the process ends).
struct BrowserHost {
  BrowserHost() {
    QvrTestHost_SetServiceManager(&services);
    connector = ::LoadLibraryW((qvr::testing::ExeDirectory() + L"qvr_connector.dll").c_str());
    if (connector == nullptr) return;
    const auto* exported = reinterpret_cast<const mozilla::Module* const*>(::GetProcAddress(connector, "NSModule"));
    descriptor = exported != nullptr ? *exported : nullptr;
    get_module = qvr::get_proc_address<nsGetModuleProc>(connector, "NSGetModule");
  }

  DWORD main_thread = ::GetCurrentThreadId();
  HostObserverService observers;
  MainThreadQueue main_queue;
  AsyncObserverProxy proxy{observers, main_queue};
  HostProxyManager proxies{observers, proxy};
  HostServices services{observers, proxies};
  HMODULE connector = nullptr;
  const mozilla::Module* descriptor = nullptr;
  nsGetModuleProc get_module = nullptr;
};

BrowserHost& Host() {
  static BrowserHost* const host = new BrowserHost;
  return *host;
}

// A connector made as the browser makes it from the descriptor: contract ID, class, constructor.
RefPtr<IQVRConnector> CreateConnector() {
  RefPtr<IQVRConnector> connector;
  const mozilla::Module* descriptor = Host().descriptor;
  if (descriptor == nullptr) return connector;
  for (const auto* contract = descriptor->mContractIDs; contract->contractid != nullptr; ++contract) {
    if (std::string(contract->contractid) != kQVRConnectorContractID) continue;
    for (const auto* entry = descriptor->mCIDs; entry->cid != nullptr; ++entry)
      if (entry->cid->Equals(*contract->cid))
        entry->constructorProc(nullptr, NS_GET_IID(IQVRConnector), connector.put_void());
  }
  return connector;
}

// The process's standard output handle, redirected into a temporary file for a while.
class CapturedStdOut {
 public:
  CapturedStdOut() {
    wchar_t folder[MAX_PATH];
    wchar_t path[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"qvr", 0, path);
    file_.reset(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    previous_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, file_.get());
  }
  CapturedStdOut(const CapturedStdOut&) = delete;
  CapturedStdOut& operator=(const CapturedStdOut&) = delete;
  ~CapturedStdOut() { ::SetStdHandle(STD_OUTPUT_HANDLE, previous_); }

  std::string Text() {
    ::SetStdHandle(STD_OUTPUT_HANDLE, previous_);
    std::string text(4096, '\0');
    DWORD got = 0;
    ::SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN);
    ::ReadFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    text.resize(got);
    return text;
  }

 private:
  qvr::unique_file file_;
  HANDLE previous_ = nullptr;
};

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    text += kDigits[static_cast<unsigned char>(c) >> 4];
    text += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return text;
}

// The bytes of a UTF-16 command with its NUL, as the suite receives them.
std::string Utf16Hex(std::u16string_view text) {
  std::string bytes;
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return Hex(bytes + std::string(2, '\0'));
}

BOOL CALLBACK CollectInputWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (process == ::GetCurrentProcessId() && std::wstring(name) == L"FIREFOX_TOOLBAR_CONNECTOR")
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// The input windows this process owns.
std::vector<HWND> InputWindows() {
  std::vector<HWND> found;
  ::EnumWindows(CollectInputWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// suite_peer.exe, driven through its standard input and output.
class SuitePeer {
 public:
  SuitePeer() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE child_in = nullptr;
    HANDLE child_out = nullptr;
    HANDLE in_write = nullptr;
    HANDLE out_read = nullptr;
    if (!::CreatePipe(&child_in, &in_write, &inherit, 0) || !::CreatePipe(&out_read, &child_out, &inherit, 0)) return;
    input_.reset(in_write);
    output_.reset(out_read);
    const qvr::unique_handle child_in_owner(child_in);
    const qvr::unique_handle child_out_owner(child_out);
    ::SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + qvr::testing::ExeDirectory() + L"suite_peer.exe\"";
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &info))
      return;
    process_.reset(info.hProcess);
    ::CloseHandle(info.hThread);
    reader_.reset(::CreateThread(nullptr, 0, ReadLines, this, 0, nullptr));
  }
  SuitePeer(const SuitePeer&) = delete;
  SuitePeer& operator=(const SuitePeer&) = delete;
  ~SuitePeer() {
    input_.reset();  // the suite ends when its input does
    if (process_ && ::WaitForSingleObject(process_.get(), kWaitMs) != WAIT_OBJECT_0)
      ::TerminateProcess(process_.get(), 1);
    if (reader_) ::WaitForSingleObject(reader_.get(), kWaitMs);
  }

  void Send(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(input_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  // The next line the suite wrote, pumping this thread's messages meanwhile; "" on time-out.
  std::string Next(DWORD timeout_ms = kWaitMs) {
    std::string line;
    PumpUntil(
        [&] {
          const std::lock_guard lock(mutex_);
          if (lines_.empty()) return false;
          line = lines_.front();
          lines_.erase(lines_.begin());
          return true;
        },
        timeout_ms);
    return line;
  }
  // Forgets what the suite reported so far.
  void Drain() {
    PumpUntil([] { return false; }, 50);
    const std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  static DWORD WINAPI ReadLines(void* context) {
    auto* self = static_cast<SuitePeer*>(context);
    std::string pending;
    char buffer[1024];
    DWORD got = 0;
    while (::ReadFile(self->output_.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      pending.append(buffer, got);
      for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        std::string line = pending.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::lock_guard lock(self->mutex_);
        self->lines_.push_back(line);
      }
    }
    return 0;
  }

  qvr::unique_handle input_;
  qvr::unique_handle output_;
  qvr::unique_handle process_;
  qvr::unique_handle reader_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// ---------------------------------------------------------------------------------------------
// The component as the browser finds, makes and frees it.

TEST(ConnectorModule, DescriptorNamesOneClassUnderOneContract) {
  ASSERT_NE(nullptr, Host().connector);
  const mozilla::Module* descriptor = Host().descriptor;
  ASSERT_NE(nullptr, descriptor);
  EXPECT_EQ(9u, descriptor->mVersion);
  ASSERT_NE(nullptr, descriptor->mCIDs[0].cid);
  EXPECT_EQ(kQVRConnectorCID, *descriptor->mCIDs[0].cid);
  EXPECT_FALSE(descriptor->mCIDs[0].service);
  EXPECT_EQ(nullptr, descriptor->mCIDs[0].getFactoryProc);
  EXPECT_NE(nullptr, descriptor->mCIDs[0].constructorProc);
  EXPECT_EQ(nullptr, descriptor->mCIDs[1].cid);
  ASSERT_NE(nullptr, descriptor->mContractIDs[0].contractid);
  EXPECT_STREQ("@qvrsuite.com/qvr_connector;1", descriptor->mContractIDs[0].contractid);
  EXPECT_EQ(descriptor->mCIDs[0].cid, descriptor->mContractIDs[0].cid);
  EXPECT_EQ(nullptr, descriptor->mContractIDs[1].contractid);
  EXPECT_TRUE(descriptor->mCategoryEntries == nullptr || descriptor->mCategoryEntries[0].category == nullptr);
  EXPECT_EQ(nullptr, descriptor->getFactoryProc);
  EXPECT_EQ(nullptr, descriptor->loadProc);
  EXPECT_EQ(nullptr, descriptor->unloadProc);
}

TEST(ConnectorModule, OlderBrowsersRegisterAndCreateThroughNSGetModule) {
  ASSERT_NE(nullptr, Host().get_module);
  RecordingRegistrar registrar;
  TestComponentManager manager;
  manager.registrar = &registrar;
  RefPtr<nsIModule> module;
  ASSERT_EQ(NS_OK, Host().get_module(&manager, nullptr, module.put()));
  manager.module = module.get();
  ASSERT_EQ(NS_OK, module->RegisterSelf(&manager, nullptr, "rel:qvr_connector.dll", "application/x-mozilla-native"));
  ASSERT_EQ(2u, registrar.registrations.size());
  EXPECT_EQ(kQVRConnectorCID, registrar.registrations[0].cid);
  EXPECT_FALSE(registrar.registrations[0].has_contract);
  EXPECT_EQ(kQVRConnectorCID, registrar.registrations[1].cid);
  EXPECT_EQ(kQVRConnectorContractID, registrar.registrations[1].contract_id);
  EXPECT_EQ("rel:qvr_connector.dll", registrar.registrations[1].loader);

  const long allocations = QvrTestHost_LiveAllocations();
  RefPtr<IQVRConnector> connector;
  {
    CapturedStdOut console;
    ASSERT_EQ(NS_OK, manager.CreateInstanceByContractID(kQVRConnectorContractID, nullptr, NS_GET_IID(IQVRConnector),
                                                        connector.put_void()));
    EXPECT_EQ("BINARY: Input thread init success\r\n", console.Text());
  }
  ASSERT_TRUE(connector);
  EXPECT_EQ(allocations + 1, QvrTestHost_LiveAllocations());  // from the browser's allocator
  EXPECT_EQ(2u, connector->AddRef());
  EXPECT_EQ(1u, connector->Release());
  EXPECT_EQ(0u, connector.detach()->Release());
  EXPECT_EQ(allocations, QvrTestHost_LiveAllocations());

  RefPtr<nsIFactory> factory;
  ASSERT_EQ(NS_OK, module->GetClassObject(&manager, kQVRConnectorCID, NS_GET_IID(nsIFactory), factory.put_void()));
  EXPECT_EQ(NS_ERROR_NOT_IMPLEMENTED, factory->LockFactory(1));
  EXPECT_EQ(NS_ERROR_NOT_IMPLEMENTED, module->UnregisterSelf(&manager, nullptr, "rel:qvr_connector.dll"));
  PRBool can_unload = 1;
  EXPECT_EQ(NS_OK, module->CanUnload(&manager, &can_unload));
  EXPECT_EQ(0, can_unload);
  void* other = nullptr;
  EXPECT_EQ(NS_ERROR_FACTORY_NOT_REGISTERED,
            module->GetClassObject(&manager, NS_GET_IID(IQVRConnector), NS_GET_IID(nsIFactory), &other));
}

TEST(ConnectorModule, ConstructorRefusesAggregationAndReportsExhaustedMemory) {
  ASSERT_NE(nullptr, Host().descriptor);
  const auto construct = Host().descriptor->mCIDs[0].constructorProc;
  const long allocations = QvrTestHost_LiveAllocations();
  TestComponentManager outer;
  void* made = &outer;
  EXPECT_EQ(NS_ERROR_NO_AGGREGATION, construct(&outer, NS_GET_IID(IQVRConnector), &made));
  EXPECT_EQ(nullptr, made);
  made = &outer;
  QvrTestHost_FailNextAllocation();
  EXPECT_EQ(NS_ERROR_OUT_OF_MEMORY, construct(nullptr, NS_GET_IID(IQVRConnector), &made));
  EXPECT_EQ(nullptr, made);
  made = &outer;
  EXPECT_EQ(NS_ERROR_NO_INTERFACE, construct(nullptr, NS_GET_IID(nsIObserver), &made));  // made and freed
  EXPECT_EQ(nullptr, made);
  EXPECT_EQ(allocations, QvrTestHost_LiveAllocations());

  RefPtr<nsISupports> object;
  ASSERT_EQ(NS_OK, construct(nullptr, NS_GET_IID(nsISupports), object.put_void()));
  RefPtr<IQVRConnector> connector;
  ASSERT_EQ(NS_OK, object->QueryInterface(NS_GET_IID(IQVRConnector), connector.put_void()));
  EXPECT_EQ(static_cast<void*>(object.get()), static_cast<void*>(connector.get()));
  void* factory = &outer;
  EXPECT_EQ(NS_ERROR_NO_INTERFACE, object->QueryInterface(NS_GET_IID(nsIFactory), &factory));
  EXPECT_EQ(nullptr, factory);
  object.reset();
  connector.reset();
  EXPECT_EQ(allocations, QvrTestHost_LiveAllocations());
}

TEST(ConnectorModule, AProcessKeepsOneHiddenInputWindow) {
  RefPtr<IQVRConnector> first = CreateConnector();
  RefPtr<IQVRConnector> second = CreateConnector();
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(PumpUntil([] { return !InputWindows().empty(); }));
  // The second instance's thread ends at its class registration; give it time to do otherwise.
  PumpUntil([] { return false; }, 300);
  const std::vector<HWND> windows = InputWindows();
  ASSERT_EQ(1u, windows.size());
  wchar_t title[64] = {};
  ::GetWindowTextW(windows[0], title, 64);
  EXPECT_STREQ(L"FIREFOX_TOOLBAR_CONNECTOR", title);
  EXPECT_FALSE(::IsWindowVisible(windows[0]));
  EXPECT_NE(0, ::GetWindowLongW(windows[0], GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT bounds{};
  ::GetWindowRect(windows[0], &bounds);
  EXPECT_EQ(0, bounds.left);
  EXPECT_EQ(0, bounds.top);
  EXPECT_EQ(30, bounds.right);
  EXPECT_EQ(30, bounds.bottom);
  EXPECT_NE(::GetCurrentThreadId(), ::GetWindowThreadProcessId(windows[0], nullptr));
}

// ---------------------------------------------------------------------------------------------
// Without the suite application.

TEST(ConnectorWithoutSuite, ReportsTheSuiteAbsent) {
  RefPtr<IQVRConnector> connector = CreateConnector();
  ASSERT_TRUE(connector);
  PRBool result = 7;
  EXPECT_EQ(NS_OK, connector->IsSuiteRunning(&result));
  EXPECT_EQ(0, result);
  result = 7;
  EXPECT_EQ(NS_OK, connector->SendUrl(u"http://example.com/", &result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(NS_OK, connector->RecordStart());
  result = 7;
  EXPECT_EQ(NS_OK, connector->SendToSuiteWindow(u"abc", &result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(NS_ERROR_NULL_POINTER, connector->IsSuiteRunning(nullptr));
}

// ---------------------------------------------------------------------------------------------
// With the suite application at the other end.

class ConnectorWithSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Host();
    suite_ = new SuitePeer;
    ready_ = suite_->Next() == "READY";
  }
  static void TearDownTestSuite() {
    delete suite_;
    suite_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(ready_) << "suite_peer.exe did not start";
    connector_ = CreateConnector();
    ASSERT_TRUE(connector_);
    ASSERT_TRUE(PumpUntil([] { return !InputWindows().empty(); }));  // the suite must find it
    suite_->Drain();
    Host().observers.Take();
  }

  // The execute the suite received, framed by the conversation's opening and closing.
  void ExpectCommand(std::u16string_view command) {
    EXPECT_EQ("CONNECT", suite_->Next());
    EXPECT_EQ("EXECUTE " + std::to_string(2 * command.size() + 2) + " " + Utf16Hex(command), suite_->Next());
    EXPECT_EQ("DISCONNECT", suite_->Next());
  }
  // Has the suite send WM_COPYDATA to the input window and waits until it was handled.
  void SuiteCopies(unsigned code, std::string_view bytes, const std::string& size = "") {
    suite_->Send("copy " + std::to_string(code) + " " + (bytes.empty() ? "-" : Hex(bytes)) + " " + size);
    ASSERT_EQ("COPIED ok", suite_->Next());
  }
  // The notifications delivered up to and including the next debug message with this text.
  std::vector<Notification> NotificationsThrough(const std::string& marker) {
    SuiteCopies(777, marker + '\0');
    const std::u16string wide(marker.begin(), marker.end());
    std::vector<Notification> seen;
    PumpUntil([&] {
      for (const Notification& n : Host().observers.Take()) seen.push_back(n);
      return !seen.empty() && seen.back().topic == kDebugTopic && seen.back().data == wide;
    });
    return seen;
  }
  Notification OnMainThread(const char* topic, std::u16string data) {
    return {true, topic, std::move(data), Host().main_thread};
  }

  static SuitePeer* suite_;
  static bool ready_;
  RefPtr<IQVRConnector> connector_;
};
SuitePeer* ConnectorWithSuite::suite_ = nullptr;
bool ConnectorWithSuite::ready_ = false;

// Runs first among the tests that send input messages: the proxy is made on first use.
TEST_F(ConnectorWithSuite, DropsInputMessagesUntilTheObserverProxyCanBeMade) {
  ASSERT_EQ(0, Host().proxies.proxies_made.load());
  Host().services.proxies_available = false;
  SuiteCopies(702, std::string("10\0", 3));
  Host().services.proxies_available = true;
  EXPECT_EQ(std::vector<Notification>{OnMainThread(kDebugTopic, u"after")}, NotificationsThrough("after"));
  EXPECT_EQ(1, Host().proxies.proxies_made.load());
}

TEST_F(ConnectorWithSuite, RelaysInputMessagesAsNotificationsOnTheMainThread) {
  SuiteCopies(702, std::string("50\0", 3));
  SuiteCopies(700, std::string("50\0", 3));  // a code without a topic
  const std::vector<Notification> expected = {OnMainThread(kProgressTopic, u"50"), OnMainThread(kDebugTopic, u"m1")};
  EXPECT_EQ(expected, NotificationsThrough("m1"));

  SuiteCopies(701, std::string("s\0", 2));
  SuiteCopies(703, std::string("p\0", 2));
  SuiteCopies(704, std::string("ok\0", 3));
  SuiteCopies(705, std::string("f\0", 2));
  const std::vector<Notification> table = {OnMainThread("QVR.Toolbar.QVR-Input-Message-Download-Start", u"s"),
                                           OnMainThread("QVR.Toolbar.QVR-Input-Message-Download-Pause", u"p"),
                                           OnMainThread("QVR.Toolbar.QVR-Input-Message-Download-Success", u"ok"),
                                           OnMainThread("QVR.Toolbar.QVR-Input-Message-Download-Failed", u"f"),
                                           OnMainThread(kDebugTopic, u"m2")};
  EXPECT_EQ(table, NotificationsThrough("m2"));
}

TEST_F(ConnectorWithSuite, InputTextsEndWithTheMessageAndWidenAsLatin1) {
  SuiteCopies(702, "abcdef", "3");         // no NUL within the 3 bytes sent: nothing beyond them is read
  SuiteCopies(702, "a\xE9\x80\0z");        // Latin-1 bytes, and the text ends at its NUL
  SuiteCopies(702, "");                    // no data at all
  const std::vector<Notification> expected = {OnMainThread(kProgressTopic, u"abc"),
                                              OnMainThread(kProgressTopic, u"a\u00e9\u0080"),
                                              OnMainThread(kProgressTopic, u""), OnMainThread(kDebugTopic, u"m3")};
  EXPECT_EQ(expected, NotificationsThrough("m3"));
}

TEST_F(ConnectorWithSuite, ReportsANotificationTheProxyRefused) {
  Host().proxy.answer = NS_ERROR_UNEXPECTED;
  std::string console;
  {
    CapturedStdOut capture;
    SuiteCopies(702, std::string("50\0", 3));
    console = capture.Text();
  }
  Host().proxy.answer = NS_OK;
  EXPECT_EQ("Fail notify observers![8000ffff]\r\n", console);
  EXPECT_EQ(std::vector<Notification>{OnMainThread(kDebugTopic, u"m4")}, NotificationsThrough("m4"));
}

TEST_F(ConnectorWithSuite, IsSuiteRunningOpensAConversationAndClosesItAtOnce) {
  PRBool running = 7;
  EXPECT_EQ(NS_OK, connector_->IsSuiteRunning(&running));
  EXPECT_EQ(1, running);
  EXPECT_EQ("CONNECT", suite_->Next());
  EXPECT_EQ("DISCONNECT", suite_->Next());
}

TEST_F(ConnectorWithSuite, SendsUrlsAndRecordingCommandsAsExecutes) {
  if (qvr::testing::RunsUnderQemu())
    GTEST_SKIP() << qvr::testing::kSkippedUnderQemu
                 << "qemu-user 7.2 dies of signal 11, hangs or loses its Wine server connection in about half "
                    "the runs of six DDE conversations in a row (the 32-bit case runs where the kernel runs "
                    "32-bit programs)";
  PRBool sent = 7;
  EXPECT_EQ(NS_OK, connector_->SendUrl(u"http://example.com/watch?v=a1&t=30s#top", &sent));
  EXPECT_EQ(1, sent);
  ExpectCommand(u"url {http://example.com/watch?v=a1&t=30s#top}");
  sent = 7;
  EXPECT_EQ(NS_OK, connector_->SendUrl(u"", &sent));
  EXPECT_EQ(1, sent);
  ExpectCommand(u"url {}");
  // Latin-1 arrives whole. (Wine cuts a Unicode execute with characters beyond Latin-1 to its
  // first character, so none is sent here.)
  EXPECT_EQ(NS_OK, connector_->SendUrl(u"http://example.com/caf\u00e9", &sent));
  ExpectCommand(u"url {http://example.com/caf\u00e9}");

  EXPECT_EQ(NS_OK, connector_->RecordStart());
  ExpectCommand(u"record start");
  EXPECT_EQ(NS_OK, connector_->RecordStop());
  ExpectCommand(u"record stop");
  EXPECT_EQ(NS_OK, connector_->RecordCheck());
  ExpectCommand(u"record check");
}

TEST_F(ConnectorWithSuite, AHostileUrlReachesTheSuiteAsOneLiteralWord) {
  PRBool sent = 7;
  EXPECT_EQ(NS_OK, connector_->SendUrl(u"http://x/}; exec calc.exe; {\\", &sent));
  EXPECT_EQ(1, sent);
  ExpectCommand(u"url {http://x/%7D; exec calc.exe; %7B%5C}");
}

TEST_F(ConnectorWithSuite, SendsTextToTheSuiteWindowAsSingleBytes) {
  PRBool sent = 7;
  EXPECT_EQ(NS_OK, connector_->SendToSuiteWindow(u"abc", &sent));
  EXPECT_EQ(1, sent);
  EXPECT_EQ("COPYDATA 100 4 61626300", suite_->Next());
  EXPECT_EQ(NS_OK, connector_->SendToSuiteWindow(u"a\u00e9\u0416cd", &sent));
  EXPECT_EQ("COPYDATA 100 3 61e900", suite_->Next());
  EXPECT_EQ(NS_OK, connector_->SendToSuiteWindow(u"", &sent));
  EXPECT_EQ("COPYDATA 100 1 00", suite_->Next());
}

TEST_F(ConnectorWithSuite, RecordButtonStatusArrivesOnTheMainThread) {
  suite_->Send("exec FireFox.QVRSuite Recording " + Utf16Hex(u"on"));
  EXPECT_EQ("EXECUTED ack", suite_->Next());
  EXPECT_EQ(std::vector<Notification>{OnMainThread(kRecordButtonTopic, u"on")}, Host().observers.Take());

  // Another topic finds no conversation; an empty status is not processed. Neither notifies.
  // (The empty status is sent as a lone NUL: Wine never answers an execute of zero bytes, the
  // client's transaction ends in DMLERR_EXECACKTIMEOUT.)
  suite_->Send("exec FireFox.QVRSuite Other " + Utf16Hex(u"on"));
  EXPECT_EQ("EXECUTED noconv", suite_->Next());
  suite_->Send("exec FireFox.QVRSuite Recording " + Utf16Hex(u""));
  EXPECT_EQ("EXECUTED notprocessed", suite_->Next());
  EXPECT_EQ(0u, Host().observers.Count());
}

TEST_F(ConnectorWithSuite, ADestroyedConnectorNoLongerServes) {
  EXPECT_EQ(0u, connector_.detach()->Release());
  suite_->Send("exec FireFox.QVRSuite Recording " + Utf16Hex(u"on"));
  EXPECT_EQ("EXECUTED noconv", suite_->Next());
  EXPECT_EQ(0u, Host().observers.Count());
}

}  // namespace
