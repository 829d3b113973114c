#include "player/app/Update.h"

#include <shlobj.h>
#include <wininet.h>
#include <wrl/client.h>

#include <vector>

#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/app/FormMain.h"
#include "player/app/Registry.h"
#include "player/app/core/UpdateRules.h"

namespace qvr::app {
namespace {

struct internet_traits {
  using pointer = HINTERNET;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::InternetCloseHandle(value); }
};
using unique_internet = unique_resource<internet_traits>;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::optional<uint64_t> ContentLength(HINTERNET request) {
  wchar_t text[32] = {};
  DWORD size = sizeof(text);
  if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
  return ParseContentLength(WideToUtf8(text));
}

uint32_t StatusCode(HINTERNET request) {
  DWORD status = 0, size = sizeof(status);
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
  return status;
}

// Reads the body into the open file; what happened goes into `end`.
void ReceiveBody(HINTERNET request, HANDLE file, TDownloadEnd& end) {
  std::vector<char> buffer(kDownloadChunk);
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) return;
    if (read == 0) {
      end.EndedCleanly = true;
      return;
    }
    DWORD written = 0;
    if (!::WriteFile(file, buffer.data(), read, &written, nullptr) || written != read) {
      end.WriteFailed = true;
      return;
    }
    end.Received += read;
  }
}

}  // namespace

THTTPREC& UpdateRecord() {
  static THTTPREC record;
  return record;
}

std::string DownloadFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(ARRAYSIZE(temp), temp);
  if (length == 0 || length > MAX_PATH) return {};
  std::wstring full(MAX_PATH, L'\0');
  const DWORD fullLength = ::GetFullPathNameW(temp, static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(fullLength > 0 && fullLength < full.size() ? fullLength : 0);
  if (full.empty()) full = temp;
  // The shell gives the long form of every component (the temporary folder is often a short
  // 8.3 name under the user's profile).
  const unique_coinit com;
  Microsoft::WRL::ComPtr<IShellFolder> desktop;
  if (SUCCEEDED(::SHGetDesktopFolder(&desktop))) {
    PIDLIST_RELATIVE items = nullptr;
    if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, full.data(), nullptr, &items, nullptr)) && items) {
      const unique_cotaskmem owner(items);
      wchar_t longPath[MAX_PATH] = {};
      if (::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(items), longPath)) full = longPath;
    }
  }
  if (!full.empty() && full.back() != L'\\') full += L'\\';
  return WideToUtf8(full);
}

std::string HttpGetAnswer(const std::string& url) {
  const std::optional<THttpTarget> target = SplitHttpUrl(url);
  if (!target) return {};
  const unique_internet session(
      ::InternetOpenW(Utf8ToWide(kUserAgent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return {};
  const unique_internet connection(::InternetConnectW(session.get(), Utf8ToWide(target->HostName).c_str(), target->Port,
                                                      nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};
  const unique_internet request(::HttpOpenRequestW(connection.get(), L"GET", Utf8ToWide(target->Object).c_str(),
                                                   nullptr, nullptr, nullptr, 0, 0));
  if (!request) return {};
  const std::wstring headers = Utf8ToWide(AnswerRequestHeaders(target->Host));
  if (!::HttpSendRequestW(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) return {};
  std::string answer;
  char chunk[kAnswerChunk];
  DWORD read = 0;
  while (::InternetReadFile(request.get(), chunk, sizeof(chunk), &read) && read > 0)
    AppendAnswerChunk(answer, chunk, read);
  return TrimAnswer(answer);
}

bool DownloadInstaller(const std::string& url, const std::string& path, const TSignerPin& signer) {
  const unique_internet session(
      ::InternetOpenW(Utf8ToWide(kUserAgent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return false;
  const std::wstring headers = Utf8ToWide(kDownloadHeaders);
  const unique_internet request(::InternetOpenUrlW(session.get(), Utf8ToWide(url).c_str(), headers.c_str(),
                                                   static_cast<DWORD>(headers.size()), kDownloadFlags, 0));
  if (!request) return false;
  DWORD available = 0;
  if (!::InternetQueryDataAvailable(request.get(), &available, 0, 0)) return false;

  // Never the final name until the whole file is there and signed: a partial or foreign file
  // must not be offered at the next start.
  const std::wstring target = Utf8ToWide(path);
  wchar_t temporary[MAX_PATH] = {};
  if (!::GetTempFileNameW(FolderOf(target).c_str(), L"~qv", 0, temporary)) return false;
  TDownloadEnd end;
  end.Status = StatusCode(request.get());
  end.ContentLength = ContentLength(request.get());
  {
    const unique_file file(
        ::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      end.WriteFailed = true;
    else if (end.Status == 200)
      ReceiveBody(request.get(), file.get(), end);
  }
  const bool keep = DownloadComplete(end) && SUCCEEDED(VerifyInstaller(temporary, signer)) &&
                    ::MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!keep) ::DeleteFileW(temporary);
  return keep;
}

DWORD WINAPI UpdateCheck(void* parameter) {
  THTTPREC& record = *static_cast<THTTPREC*>(parameter);
  LPARAM count = 0;
  try {
    std::string answer;
    if (!record.URL.empty()) answer = HttpGetAnswer(record.URL);
    if (!answer.empty()) {
      count = 1;
      const std::string url = DownloadUrlOf(answer);
      const std::string name = FileNameOf(url);
      record.Path += "~" + name;
      record.Downloaded = !name.empty() && DownloadInstaller(url, record.Path, record.Signer);
    }
  } catch (...) {
    record.Downloaded = false;  // out of memory: nothing is recorded
  }
  ::PostMessageW(record.Window, kUpdateDoneMessage, 0, count);
  return 0;
}

bool StartUpdateCheck(THTTPREC& record, const std::string& url, HWND window, const std::string& downloadFolder,
                      const TSignerPin& signer) {
  record = THTTPREC{};
  record.URL = url;
  record.Window = window;
  record.Path = downloadFolder;
  record.Signer = signer;
  record.Thread = ::CreateThread(nullptr, 0, UpdateCheck, &record, 0, nullptr);
  return record.Thread != nullptr;
}

void HandleUpdateDone(THTTPREC& record, LPARAM lparam) {
  if (record.Thread) ::CloseHandle(record.Thread);
  record.Thread = nullptr;
  if (lparam > 0 && record.Downloaded &&
      ::GetFileAttributesW(Utf8ToWide(record.Path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    RegWriteString(kPlayerKey, "-run", record.Path);
    RegWriteString(kPlayerKey, "-del", record.Path);
    return;
  }
  record = THTTPREC{};
}

}  // namespace qvr::app
