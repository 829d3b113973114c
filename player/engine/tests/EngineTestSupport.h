// Shared by the engine's Windows tests: a video panel window, media files written by the test,
// COM and filter-mapper registrations of the test codec module (removed again by their
// destructors), and a loopback HTTP server.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/DirectShow.h"
#include "common/win/unique_resource.h"
#include "player/engine/UFilterBank.h"
#include "player/engine/tests/testcodec/TestCodecIds.h"
#include "player/resources/core/MediaWriter.h"

namespace qvr::enginetest {

using Microsoft::WRL::ComPtr;

inline std::string Narrow(const std::wstring& w) { return engine::WideToUtf8(w); }  // the engine's text
inline std::string SampleFile(const wchar_t* name) { return Narrow(testing::SamplePath(name)); }

// A folder of the test's own beside the binaries, emptied of what the test wrote.
inline std::string TestDir() {
  const std::string dir = Narrow(testing::ExeDirectory()) + "enginetest\\";
  ::CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

inline std::string WriteTestFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = TestDir() + name;
  EXPECT_TRUE(media::SaveFile(path, bytes)) << path;
  return path;
}

// Our own container: "QPCM" (or "FLVQ"), channels, rate, bits, then PCM.
inline std::vector<uint8_t> OwnContainer(const char magic[4], const std::vector<uint8_t>& pcm, uint16_t channels,
                                         uint32_t rate, uint16_t bits) {
  std::vector<uint8_t> bytes(magic, magic + 4);
  auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  put(channels, 2);
  put(rate, 4);
  put(bits, 2);
  bytes.insert(bytes.end(), pcm.begin(), pcm.end());
  return bytes;
}

// The video panel the engine draws into.
class TestWindow {
 public:
  TestWindow(int width = 320, int height = 240) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"QVREngineTestPanel";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"engine test", WS_POPUP, 0, 0, width, height, nullptr,
                              nullptr, wc.hInstance, nullptr);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() { ::DestroyWindow(hwnd_); }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

inline void Pump(DWORD milliseconds) {
  const DWORD until = ::GetTickCount() + milliseconds;
  while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
}

inline std::string TestCodecPath() { return Narrow(testing::ExeDirectory()) + "testcodec.dll"; }

// Instances created so far by the copy of the module registered with the system.
inline long TestCodecCount(const char* counter, const GUID& clsid) {
  static unique_hmodule module(::LoadLibraryA(TestCodecPath().c_str()));
  auto count = get_proc_address<testcodec::CreatedCountFn>(module.get(), counter);
  return count ? count(&clsid) : -1;
}
inline long CreatedCount(const GUID& clsid) { return TestCodecCount("TestCodec_CreatedCount", clsid); }
// Faults raised so far by that copy.
inline long FaultCount(const GUID& clsid) { return TestCodecCount("TestCodec_FaultCount", clsid); }

// HKCR\CLSID\{clsid}\InprocServer32 pointing at the test codec module; removed on destruction.
class ComRegistration {
 public:
  explicit ComRegistration(const GUID& clsid) : key_("CLSID\\" + engine::ClsidToString(clsid)) {
    unique_hkey server;
    const std::string path = TestCodecPath();
    ok_ = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, (key_ + "\\InprocServer32").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            server.put(), nullptr) == ERROR_SUCCESS &&
          ::RegSetValueExA(server.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS &&
          ::RegSetValueExA(server.get(), "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Both"), 5) ==
              ERROR_SUCCESS;
    EXPECT_TRUE(ok_) << key_;
  }
  ComRegistration(const ComRegistration&) = delete;
  ComRegistration& operator=(const ComRegistration&) = delete;
  ~ComRegistration() { ::RegDeleteTreeA(HKEY_CLASSES_ROOT, key_.c_str()); }

 private:
  std::string key_;
  bool ok_ = false;
};

// A DirectShow filter registration (legacy filter category) with one audio PCM input pin.
class FilterRegistration {
 public:
  FilterRegistration(const GUID& clsid, const wchar_t* name, DWORD merit) : clsid_(clsid), com_(clsid) {
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper_)));
    if (!mapper_) return;
    REGPINTYPES type{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM};
    REGFILTERPINS2 pin{};
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = merit;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    EXPECT_HRESULT_SUCCEEDED(mapper_->RegisterFilter(clsid, name, nullptr, &CLSID_LegacyAmFilterCategory, nullptr, &filter));
  }
  FilterRegistration(const FilterRegistration&) = delete;
  FilterRegistration& operator=(const FilterRegistration&) = delete;
  ~FilterRegistration() {
    if (mapper_) mapper_->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, clsid_);
  }

 private:
  GUID clsid_;
  ComRegistration com_;
  ComPtr<IFilterMapper2> mapper_;
};

// Serves one body for every GET on 127.0.0.1 (an ephemeral port) until destroyed.
class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(std::vector<uint8_t> body) : body_(std::move(body)) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(listener_, 4) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
  ~LoopbackHttpServer() {
    stopping_ = true;
    ::closesocket(listener_);  // ends accept()
    thread_.join();
    ::WSACleanup();
  }
  std::string Url(const char* path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    while (!stopping_) {
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      char request[4096];
      std::string head;
      int n;
      while (head.find("\r\n\r\n") == std::string::npos && (n = ::recv(client, request, sizeof request, 0)) > 0)
        head.append(request, static_cast<size_t>(n));
      ++requests_;
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nContent-Length: " +
                                std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n";
      ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
      for (size_t at = 0; at < body_.size();) {
        const int sent = ::send(client, reinterpret_cast<const char*>(body_.data() + at),
                                static_cast<int>(std::min<size_t>(65536, body_.size() - at)), 0);
        if (sent <= 0) break;
        at += static_cast<size_t>(sent);
      }
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  std::vector<uint8_t> body_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

// Filters of a graph by class id and by name.
using qvr::GraphFilters;
inline int CountClass(IGraphBuilder* graph, const GUID& clsid) {
  int n = 0;
  for (auto& f : GraphFilters(graph)) {
    GUID c;
    if (SUCCEEDED(f->GetClassID(&c)) && IsEqualGUID(c, clsid)) ++n;
  }
  return n;
}
inline std::vector<std::wstring> FilterNames(IGraphBuilder* graph) {
  std::vector<std::wstring> names;
  for (auto& f : GraphFilters(graph)) {
    FILTER_INFO info{};
    if (SUCCEEDED(f->QueryFilterInfo(&info))) {
      names.emplace_back(info.achName);
      if (info.pGraph) info.pGraph->Release();
    }
  }
  return names;
}

}  // namespace qvr::enginetest
