// The update check against a loopback HTTP server of ours, the signature check of the downloaded
// installer with test certificates made at build time, the three-run hand-over with the real
// player, and the launches of the converter and the report pages with stand-in programs.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/app/Authenticode.h"
#include "player/app/FormMain.h"
#include "player/app/Launch.h"
#include "player/app/Registry.h"
#include "player/app/Startup.h"
#include "player/app/Update.h"
#include "player/app/core/UpdateRules.h"

namespace {

namespace fs = std::filesystem;
using namespace qvr::app;
using qvr::testing::ExeDirectory;

fs::path SigningFolder() { return fs::path(ExeDirectory()) / L"update-test"; }

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Setting(const char* name) {
  std::string value;
  RegReadString(kPlayerKey, name, value);
  return value;
}

// Waits up to `seconds` for `done`, polling.
bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    ::Sleep(50);
  }
  return true;
}

// An HTTP server on 127.0.0.1 and a port of the system's choice. Each connection gets the raw
// bytes routed to its path and is closed, so a route can end a body early by simply stopping.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && ::listen(listener_, 8) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    ::closesocket(listener_);
    ::WSACleanup();
  }

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  void Route(const std::string& path, std::string response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
  }
  static std::string Ok(const std::string& body, const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" + extra +
           "\r\n" + body;
  }
  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stop_) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval wait{0, 50000};
      if (::select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      std::string head;
      char buffer[4096];
      while (head.find("\r\n\r\n") == std::string::npos) {
        const int n = ::recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        head.append(buffer, n);
      }
      const size_t start = head.find(' ') + 1;
      const std::string path = head.substr(start, head.find(' ', start) - start);
      std::string response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
        if (const auto it = routes_.find(path); it != routes_.end()) response = it->second;
      }
      for (size_t sent = 0; sent < response.size();) {
        const int n = ::send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::string> routes_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

std::string TestRootThumbprint() {
  const std::string der = ReadAll(SigningFolder() / L"root.der");
  PCCERT_CONTEXT root = ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                       static_cast<DWORD>(der.size()));
  if (!root) return {};
  BYTE hash[20];
  DWORD size = sizeof(hash);
  ::CertGetCertificateContextProperty(root, CERT_SHA1_HASH_PROP_ID, hash, &size);
  ::CertFreeCertificateContext(root);
  std::ostringstream hex;
  for (const BYTE b : hash) hex << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 15];
  return hex.str();
}

// The test root is trusted in this prefix's current-user store for the run of this executable
// only; the test installers are signed under it with the program's own publisher name.
class Update : public ::testing::Test {
 protected:
  // The store is closed at once: Wine writes a registry-backed store only when it is committed
  // or closed, and the chain engine opens its own.
  static void SetUpTestSuite() {
    const std::string der = ReadAll(SigningFolder() / L"root.der");
    const HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store) return;
    rootTrusted_ = ::CertAddEncodedCertificateToStore(
                       store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    ::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    ::CertCloseStore(store, 0);
  }
  static void TearDownTestSuite() {
    const std::string der = ReadAll(SigningFolder() / L"root.der");
    const HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store) return;
    PCCERT_CONTEXT ours = ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                         static_cast<DWORD>(der.size()));
    if (ours) {
      if (PCCERT_CONTEXT root =
              ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ours, nullptr)) {
        ::CertDeleteCertificateFromStore(root);  // frees `root`
      }
      ::CertFreeCertificateContext(ours);
    }
    ::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    ::CertCloseStore(store, 0);
  }

  void SetUp() override {
    ASSERT_TRUE(rootTrusted_) << "the test root could not be trusted";
    folder_ = fs::temp_directory_path() / L"qvr-update-test";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    playerKeyExisted_ = KeyExists(L"Software\\QVRPlayer");
    suiteKeyExisted_ = KeyExists(L"Software\\QVRSuite");
    RegTakeString(kPlayerKey, "-run", saved_);
    RegTakeString(kPlayerKey, "-del", saved_);
    window_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    pin_ = {kUpdatePublisher, TestRootThumbprint(), ""};
  }
  void TearDown() override {
    if (window_) ::DestroyWindow(window_);
    if (!playerKeyExisted_)
      ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QVRPlayer"),
          ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QVRPlayer");
    else {
      RegTakeString(kPlayerKey, "-run", saved_);
      RegTakeString(kPlayerKey, "-del", saved_);
    }
    if (!suiteKeyExisted_)
      ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QVRSuite"),
          ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QVRSuite");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static bool KeyExists(const wchar_t* key) {
    qvr::unique_hkey handle;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
  }

  // Runs the worker on `url` as the main window would: started, UpdateDone received, handled.
  LPARAM Check(const std::string& url) {
    THTTPREC& record = UpdateRecord();
    EXPECT_TRUE(StartUpdateCheck(record, url, window_, folder_.string() + "\\", pin_));
    MSG message{};
    EXPECT_TRUE(WaitFor(
        [&] { return ::PeekMessageW(&message, window_, kUpdateDoneMessage, kUpdateDoneMessage, PM_REMOVE) != 0; }));
    EXPECT_EQ(0u, message.wParam);
    HandleUpdateDone(record, message.lParam);
    return message.lParam;
  }

  // What the download folder holds besides the expected installer: no temporary leftovers.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    return names;
  }

  std::string Installer(const wchar_t* name) const { return ReadAll(SigningFolder() / name); }
  // "-run" and "-del" together, as the handler writes them.
  static std::string Recorded() { return Setting("-run") + "|" + Setting("-del"); }

  fs::path folder_;
  HWND window_ = nullptr;
  TSignerPin pin_;
  bool playerKeyExisted_ = false;
  bool suiteKeyExisted_ = false;
  std::string saved_;
  static inline bool rootTrusted_ = false;
};

TEST_F(Update, OnlyTheMakersSignatureUnderThePinnedRootPasses) {
  const auto verify = [&](const fs::path& path, const TSignerPin& pin) { return VerifyInstaller(path.wstring(), pin); };
  const fs::path signedFile = SigningFolder() / L"signed.exe";
  EXPECT_EQ(S_OK, verify(signedFile, pin_));
  EXPECT_EQ(S_OK, verify(signedFile, ProgramSignerPin()));  // the program's subject pin
  EXPECT_TRUE(InstallerTrusted(signedFile.string()));
  TSignerPin wrongRoot = pin_;
  wrongRoot.RootThumbprint = std::string(40, '0');
  EXPECT_EQ(CERT_E_ISSUERCHAINING, verify(signedFile, wrongRoot));
  TSignerPin otherPublisher = pin_;
  otherPublisher.Publisher = "Someone";
  EXPECT_EQ(TRUST_E_SUBJECT_NOT_TRUSTED, verify(signedFile, otherPublisher));

  EXPECT_EQ(TRUST_E_SUBJECT_NOT_TRUSTED, verify(SigningFolder() / L"other.exe", pin_));
  EXPECT_HRESULT_FAILED(verify(SigningFolder() / L"unsigned.exe", pin_));
  EXPECT_HRESULT_FAILED(verify(SigningFolder() / L"untrusted.exe", pin_));
  EXPECT_HRESULT_FAILED(verify(SigningFolder() / L"untrusted.exe", ProgramSignerPin()));  // same root name, not trusted
  EXPECT_HRESULT_FAILED(verify(SigningFolder() / L"partial.exe", ProgramSignerPin()));
  // Wine's WinVerifyTrust and the Authenticode policy both pass a chain that ends at the leaf:
  // with a pin that the leaf itself matches, only the chain's own status refuses it.
  EXPECT_EQ(CERT_E_CHAINING, verify(SigningFolder() / L"partial.exe", {kUpdatePublisher, "", kUpdatePublisher}));
  EXPECT_HRESULT_FAILED(verify(SigningFolder() / L"expired.exe", pin_));
  std::string tampered = Installer(L"signed.exe");
  tampered[0x400] ^= 0x5A;
  WriteAll(folder_ / L"tampered.exe", tampered);
  EXPECT_HRESULT_FAILED(verify(folder_ / L"tampered.exe", pin_));
  EXPECT_HRESULT_FAILED(verify(folder_ / L"missing.exe", pin_));
}

TEST_F(Update, TheAnswerNamesTheInstallerThatLandsAsTildeNameAndIsRecorded) {
  LoopbackServer server;
  server.Route("/update/check.php?id=107", LoopbackServer::Ok("  1:" + server.Url("/dl/setup.exe") + "\r\n"));
  server.Route("/dl/setup.exe", LoopbackServer::Ok(Installer(L"signed.exe")));
  EXPECT_EQ(1, Check(server.Url("/update/check.php?id=107")));
  const std::string installer = folder_.string() + "\\~setup.exe";
  EXPECT_EQ(installer + "|" + installer, Recorded());
  EXPECT_TRUE(Installer(L"signed.exe") == ReadAll(installer));
  EXPECT_EQ(std::vector<std::string>{"~setup.exe"}, FolderNames());

  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(0u, requests[0].find("GET /update/check.php?id=107 HTTP/1.1\r\n")) << requests[0];
  EXPECT_NE(std::string::npos, requests[0].find(std::string("User-Agent: ") + kUserAgent + "\r\n"));
  EXPECT_NE(std::string::npos, requests[0].find("Host: 127.0.0.1:"));
  EXPECT_NE(std::string::npos, requests[0].find("Keep-Alive: 300\r\n"));
  EXPECT_EQ(0u, requests[1].find("GET /dl/setup.exe HTTP/1.1\r\n")) << requests[1];
  EXPECT_NE(std::string::npos, requests[1].find("Pragma: no-cache\r\n"));
  EXPECT_NE(std::string::npos, requests[1].find("Cache-Control: no-cache\r\n"));
}

TEST_F(Update, AnswersThatNameNothingUsableRecordNothing) {
  LoopbackServer server;
  server.Route("/dl/setup.exe", LoopbackServer::Ok(Installer(L"signed.exe")));
  server.Route("/blank", LoopbackServer::Ok(" \r\n \r\n\t"));
  EXPECT_EQ(0, Check(server.Url("/blank")));
  server.Route("/bare", LoopbackServer::Ok(server.Url("/dl/setup.exe")));
  EXPECT_EQ(1, Check(server.Url("/bare")));
  EXPECT_EQ(0, Check(server.Url("/missing")));  // a 404 answer body is empty
  EXPECT_EQ(0, Check("http://127.0.0.1:1/"));   // nobody listens
  EXPECT_EQ("|", Recorded());
  EXPECT_TRUE(FolderNames().empty());
  EXPECT_EQ(nullptr, UpdateRecord().Thread);
}

TEST_F(Update, TheDownloadFolderIsTheTemporaryFolderInItsLongForm) {
  const std::wstring folder = qvr::Utf8ToWide(DownloadFolder());
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(L'\\', folder.back());
  wchar_t temp[MAX_PATH] = {}, longForm[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
  ASSERT_NE(0u, ::GetLongPathNameW(temp, longForm, MAX_PATH));
  EXPECT_EQ(longForm, folder);
}

TEST_F(Update, AZeroByteEndsItsChunk) {
  LoopbackServer server;
  server.Route("/dl/setup.exe", LoopbackServer::Ok(Installer(L"signed.exe")));
  server.Route("/zero", LoopbackServer::Ok("1:" + server.Url("/dl/setup.exe") + std::string("\0/junk.exe", 10)));
  EXPECT_EQ(1, Check(server.Url("/zero")));
  EXPECT_EQ(folder_.string() + "\\~setup.exe", Setting("-run"));
  server.Route("/lead", LoopbackServer::Ok(std::string("\0", 1) + "1:" + server.Url("/dl/setup.exe")));
  RegTakeString(kPlayerKey, "-run", saved_);
  EXPECT_EQ(0, Check(server.Url("/lead")));
  EXPECT_EQ("", Setting("-run"));
}

TEST_F(Update, NoPartialUnsignedOrForeignDownloadIsRecordedOrLeftBehind) {
  LoopbackServer server;
  const std::string good = Installer(L"signed.exe");
  std::string tampered = good;
  tampered[0x400] ^= 0x5A;
  const std::map<std::string, std::string> bodies = {
      {"/404", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found"},
      {"/cut", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(good.size()) + "\r\nConnection: close\r\n\r\n" +
                   good.substr(0, good.size() / 2)},
      {"/long", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(good.size() + 100) +
                    "\r\nConnection: close\r\n\r\n" + good},
      {"/unsigned", LoopbackServer::Ok(Installer(L"unsigned.exe"))},
      {"/tampered", LoopbackServer::Ok(tampered)},
      {"/other", LoopbackServer::Ok(Installer(L"other.exe"))},
      {"/untrusted", LoopbackServer::Ok(Installer(L"untrusted.exe"))},
      {"/partial", LoopbackServer::Ok(Installer(L"partial.exe"))},
      {"/expired", LoopbackServer::Ok(Installer(L"expired.exe"))},
  };
  // An installer of an earlier run under the same name must not be taken for this one.
  WriteAll(folder_ / L"~setup.exe", good);
  for (const auto& [path, response] : bodies) {
    server.Route(path + "/setup.exe", response);
    server.Route("/ask" + path, LoopbackServer::Ok("1:" + server.Url(path + "/setup.exe")));
    EXPECT_EQ(1, Check(server.Url("/ask" + path))) << path;
    EXPECT_EQ("|", Recorded()) << path;
    EXPECT_EQ(std::vector<std::string>{"~setup.exe"}, FolderNames()) << path;
    EXPECT_TRUE(good == ReadAll(folder_ / L"~setup.exe")) << path;
  }
}

// Run 1 is this process's check; runs 2 and 3 are the real player.
class Handshake : public Update {
 protected:
  void SetUp() override {
    Update::SetUp();
    // No first-run dialog, no update check of the player's own (it would ask the real host),
    // no exit question.
    RegWriteInt(kPlayerKey, "Run", 1);
    RegWriteInt(kPlayerKey, "AutoCheckUpdates", 0);
    RegWriteInt(kPlayerKey, "ForceExit", 1);
  }

  void RecordSignedInstaller() {
    LoopbackServer server;
    server.Route("/check", LoopbackServer::Ok("1:" + server.Url("/setup.exe")));
    server.Route("/setup.exe", LoopbackServer::Ok(Installer(L"signed.exe")));
    ASSERT_EQ(1, Check(server.Url("/check")));
    ASSERT_EQ(Downloaded().string(), Setting("-run"));
  }

  // A player that a failed case leaves running is ended, so that the next start is no second
  // instance.
  struct Player {
    qvr::unique_handle Process;
    explicit operator bool() const { return static_cast<bool>(Process); }
    HANDLE get() const { return Process.get(); }
    ~Player() {
      if (Process && ::WaitForSingleObject(Process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(Process.get(), 1);
        ::WaitForSingleObject(Process.get(), 5000);
      }
    }
  };

  static Player StartPlayer() {
    std::wstring command = L"\"" + ExeDirectory() + L"QVRPlayer.exe\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
      return {};
    }
    ::CloseHandle(process.hThread);
    return Player{qvr::unique_handle(process.hProcess)};
  }

  static HWND WindowOf(HANDLE process, const wchar_t* className) {
    struct Search {
      DWORD Pid;
      const wchar_t* Class;
      HWND Found;
    } search{::GetProcessId(process), className, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM p) -> BOOL {
          auto& s = *reinterpret_cast<Search*>(p);
          DWORD pid = 0;
          wchar_t name[64] = {};
          ::GetWindowThreadProcessId(window, &pid);
          ::GetClassNameW(window, name, 64);
          if (pid == s.Pid && std::wstring(name) == s.Class) s.Found = window;
          return s.Found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
  }

  static bool Ended(HANDLE process, int seconds = 20) {
    return ::WaitForSingleObject(process, seconds * 1000) == WAIT_OBJECT_0;
  }

  // The player's main window is up: closes it (no question) and waits for the end.
  static void ClosePlayer(HANDLE process) {
    HWND main = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (main = WindowOf(process, L"TfrmQVRPlayer")) != nullptr; }));
    if (main) ::PostMessageW(main, WM_CLOSE, 0, 0);
    if (!Ended(process)) {
      ADD_FAILURE() << "the player did not end";
      ::TerminateProcess(process, 1);
    }
  }

  fs::path Downloaded() const { return folder_ / L"~setup.exe"; }
};

TEST_F(Handshake, RunTwoAsksAndStartsTheInstallerRunThreeDeletesIt) {
  RecordSignedInstaller();
  // Run 2: the question, answered Yes; the installer starts and the player ends.
  const Player second = StartPlayer();
  ASSERT_TRUE(second);
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = ::FindWindowW(L"#32770", kUpdateTitle)) != nullptr; }));
  ::PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(question, IDYES)));
  ASSERT_TRUE(Ended(second.get()));
  EXPECT_EQ(nullptr, WindowOf(second.get(), L"TfrmQVRPlayer"));
  const fs::path log = Downloaded().wstring() + L".log";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(log) && fs::file_size(log) > 0; }));
  std::wstring folder = ExeDirectory();
  folder.pop_back();
  EXPECT_NE(std::string::npos, ReadAll(log).find("/verysilent /DIR=\"" + qvr::WideToUtf8(folder) + "\""))
      << ReadAll(log);
  EXPECT_EQ("|" + Downloaded().string(), Recorded());
  EXPECT_TRUE(fs::exists(Downloaded()));
  // Run 3: no question, the installer is deleted, the player runs.
  const Player third = StartPlayer();
  ASSERT_TRUE(third);
  EXPECT_TRUE(WaitFor([&] { return !fs::exists(Downloaded()); }));
  ClosePlayer(third.get());
  EXPECT_EQ("", Setting("-del"));
}

TEST_F(Handshake, NoLeavesTheFileForTheNextStartToDelete) {
  RecordSignedInstaller();
  bool launched = false;
  const auto launch = [&](const std::string&, const std::string&) { return launched = true; };
  EXPECT_EQ(TPendingUpdate::kDeclined,
            HandlePendingUpdate(
                "C:\\x\\", InstallerTrusted, [](const std::wstring&) { return IDNO; }, launch));
  EXPECT_FALSE(launched);
  EXPECT_TRUE(fs::exists(Downloaded()));
  EXPECT_EQ(Downloaded().string(), Setting("-del"));
  EXPECT_EQ(TPendingUpdate::kNone, HandlePendingUpdate(
                                       "C:\\x\\", InstallerTrusted, [](const std::wstring&) { return IDYES; }, launch));
  EXPECT_FALSE(launched);
  EXPECT_FALSE(fs::exists(Downloaded()));
}

TEST_F(Handshake, AFileChangedBetweenRunsIsNeverOffered) {
  RecordSignedInstaller();
  std::string bytes = ReadAll(Downloaded());
  bytes[0x400] ^= 0x5A;
  WriteAll(Downloaded(), bytes);
  // The real player: it must come up without the question, having deleted the file.
  const Player player = StartPlayer();
  ASSERT_TRUE(player);
  EXPECT_TRUE(WaitFor([&] { return WindowOf(player.get(), L"TfrmQVRPlayer") != nullptr; }));
  EXPECT_EQ(nullptr, ::FindWindowW(L"#32770", kUpdateTitle));
  EXPECT_FALSE(fs::exists(Downloaded()));
  ClosePlayer(player.get());
  EXPECT_EQ("|", Recorded());
}

// The stand-in program, copied where the player looks for the converter or registered for "http".
class Launches : public Update {
 protected:
  fs::path Stub() const { return fs::path(ExeDirectory()) / L"launch_stub.exe"; }
  static std::string LogOf(const fs::path& program) { return ReadAll(program.wstring() + L".log"); }
  static bool Logged(const fs::path& program, size_t lines) {
    const std::string log = LogOf(program);
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) >= lines;
  }
};

TEST_F(Launches, ARunningConverterGetsThePathByCopyData) {
  const fs::path suite = folder_ / L"Suite";
  const fs::path converter = suite / L"QVR Converter" / L"QVR Converter.exe";
  fs::create_directories(converter.parent_path());
  fs::copy_file(Stub(), converter);
  const fs::path running = folder_ / L"running.exe";
  fs::copy_file(Stub(), running);
  const fs::path media = folder_ / L"clip one.avi";
  WriteAll(media, "x");

  std::wstring command = L"\"" + running.wstring() + L"\" --window";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(
      ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  const qvr::unique_handle owner(process.hProcess), thread(process.hThread);
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = ::FindWindowW(kConverterClass, nullptr)) != nullptr; }));

  EXPECT_EQ(TConverterHandOff::kSentToWindow, HandToConverter(media.string(), suite.string() + "\\"));
  const std::string path = media.string();
  EXPECT_NE(std::string::npos, LogOf(running).find("\ncopy:0:" + std::to_string(path.size()) + ":" + path + "\n"))
      << LogOf(running);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(owner.get(), 10000));
  ::Sleep(200);
  EXPECT_FALSE(fs::exists(converter.wstring() + L".log"));  // no second converter
  EXPECT_EQ(TConverterHandOff::kNothing, HandToConverter((folder_ / L"missing.avi").string(), suite.string() + "\\"));
  EXPECT_EQ(TConverterHandOff::kNothing, HandToConverter("", suite.string() + "\\"));
}

TEST_F(Launches, WithoutOneTheSuitesConverterStartsWithTheQuotedPath) {
  const fs::path suite = folder_ / L"Suite";
  const fs::path converter = suite / L"QVR Converter" / L"QVR Converter.exe";
  fs::create_directories(converter.parent_path());
  fs::create_directories(suite / L"Player");
  fs::copy_file(Stub(), converter);
  const fs::path media = folder_ / L"clip two.avi";
  WriteAll(media, "x");
  ASSERT_EQ(nullptr, ::FindWindowW(kConverterClass, nullptr));

  // No "InstallDir": the parent of the player's folder.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QVRSuite");
  EXPECT_EQ("C:\\Suite\\", SuiteInstallDir("C:\\Suite\\Player\\"));
  EXPECT_EQ("C:\\Suite\\", SuiteInstallDir("C:\\Suite\\Player"));
  const std::string suiteDir = SuiteInstallDir((suite / L"Player").string() + "\\");
  EXPECT_EQ(suite.string() + "\\", suiteDir);
  EXPECT_EQ(TConverterHandOff::kStarted, HandToConverter(media.string(), suiteDir));
  ASSERT_TRUE(WaitFor([&] { return Logged(converter, 1); }));
  EXPECT_NE(std::string::npos,
            LogOf(converter).find(" \"" + media.string() + "\"\tcwd:" + converter.parent_path().string() + "\\\n"))
      << LogOf(converter);

  // "InstallDir" wins, and gets its trailing backslash.
  RegWriteString(kSuiteInstallKey, "InstallDir", suite.string());
  EXPECT_EQ(suite.string() + "\\", SuiteInstallDir("C:\\Elsewhere\\Player\\"));
  EXPECT_EQ(TConverterHandOff::kStarted, HandToConverter(media.string(), SuiteInstallDir("C:\\Elsewhere\\Player\\")));
  ASSERT_TRUE(WaitFor([&] { return Logged(converter, 2); }));
  fs::remove(converter);
  EXPECT_EQ(TConverterHandOff::kNothing, HandToConverter(media.string(), suiteDir));
}

// Hands "http" to `program` in this prefix's classes and puts the old key back at the end, even
// when a case fails halfway; the report pages must never reach a real browser.
class HttpHandlerOverride {
 public:
  explicit HttpHandlerOverride(const std::wstring& program) : command_(L"\"" + program + L"\" \"%1\"") {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, backup_.put(), nullptr))
      return;
    qvr::unique_hkey http;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http", 0, KEY_READ, http.put()) == ERROR_SUCCESS) {
      if (::RegCopyTreeW(http.get(), nullptr, backup_.get()) != ERROR_SUCCESS) return;
      hadHttp_ = true;
    }
    http.reset();
    replaced_ = true;
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"http");
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, REG_SZ, command_.c_str(),
                      static_cast<DWORD>((command_.size() + 1) * sizeof(wchar_t)));
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L"http", L"URL Protocol", REG_SZ, L"", sizeof(wchar_t));
  }
  ~HttpHandlerOverride() {
    if (replaced_) {
      ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"http");
      ::RegDeleteKeyW(HKEY_CLASSES_ROOT, L"http");
      qvr::unique_hkey http;
      if (hadHttp_ && ::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, http.put(),
                                        nullptr) == ERROR_SUCCESS) {
        ::RegCopyTreeW(backup_.get(), nullptr, http.get());
      }
    }
    backup_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QVRTest");
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QVRTest");
  }
  // Only our command stands there: no other command and no DDE conversation.
  bool Installed() const {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof(value);
    qvr::unique_hkey dde;
    return replaced_ &&
           ::RegGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, value,
                          &size) == ERROR_SUCCESS &&
           command_ == value &&
           ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\ddeexec", 0, KEY_READ, dde.put()) != ERROR_SUCCESS;
  }

 private:
  static constexpr wchar_t kBackup[] = L"Software\\QVRTest\\http";
  std::wstring command_;
  qvr::unique_hkey backup_;
  bool hadHttp_ = false;
  bool replaced_ = false;
};

TEST_F(Launches, TheReportPagesOpenTheirUrlsThroughTheShell) {
  const fs::path handler = folder_ / L"browser.exe";
  fs::copy_file(Stub(), handler);
  const HttpHandlerOverride http(handler.wstring());
  ASSERT_TRUE(http.Installed());
  EXPECT_TRUE(OpenReportBugPage());
  EXPECT_TRUE(WaitFor([&] { return Logged(handler, 1); }));
  EXPECT_TRUE(OpenSuggestionPage());
  EXPECT_TRUE(WaitFor([&] { return Logged(handler, 2); }));
  const std::string log = LogOf(handler);
  EXPECT_NE(std::string::npos, log.find("\"http://www.qvrsuite.com/qvr-suite/to/s/soft_bug/\"\t")) << log;
  EXPECT_NE(std::string::npos, log.find("\"http://www.qvrsuite.com/qvr-suite/to/s/soft_suggestion/\"\t")) << log;
}

}  // namespace
