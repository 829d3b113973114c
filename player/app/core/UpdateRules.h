// The update check's fixed addresses and the rules it applies to what the server says: the
// answer's trimming and the installer's URL and file name in it, the split of an http URL, the
// request headers, and when a download counts as complete. Pure functions.
//
// The hosts are constants of the program on purpose: nothing read at run time (registry,
// environment, files) may send the check or the installer download anywhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvr::app {

inline constexpr char kUpdateHost[] = "update.qvrsuite.com";
inline constexpr char kUpdatePathAndQuery[] = "/update/check.php?id=107";
inline constexpr char kWebHost[] = "www.qvrsuite.com";
inline constexpr char kReportBugPath[] = "/qvr-suite/to/s/soft_bug/";
inline constexpr char kSuggestionPath[] = "/qvr-suite/to/s/soft_suggestion/";

// Who must have signed a downloaded installer. The maker's root certificate is not in our hands,
// so its subject is pinned rather than its thumbprint; the chain must still end in a root the
// system trusts.
inline constexpr char kUpdatePublisher[] = "QVR Suite Software";
inline constexpr char kUpdateRootSubject[] = "QVR Suite Code Signing Root";
inline constexpr char kUpdateRootThumbprint[] = "";  // SHA-1 hex, when the root is known

inline constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1; Win64; x64; rv:2.2a1pre) Gecko/20110208 Firefox/4.2a1pre";
inline constexpr char kDownloadHeaders[] =
    "Keep-Alive: 300\r\nConnection: keep-alive\r\nPragma: no-cache\r\nCache-Control: no-cache";
inline constexpr uint32_t kDownloadFlags = 0x14000000;  // INTERNET_FLAG_ASYNC | INTERNET_FLAG_NO_CACHE_WRITE
inline constexpr size_t kAnswerChunk = 1024;
inline constexpr size_t kDownloadChunk = 16384;

std::string UpdateUrl();      // "http://" + update host + path and query
std::string ReportBugUrl();   // "http://" + web host + report path
std::string SuggestionUrl();  // "http://" + web host + suggestion path

// Without leading and trailing blanks and control characters (every byte up to 0x20).
std::string TrimAnswer(std::string_view text);
// Appends one chunk of the answer: its bytes up to the first zero byte.
void AppendAnswerChunk(std::string& answer, const char* data, size_t size);
// The text after the first ":" (the whole answer when it holds none).
std::string DownloadUrlOf(std::string_view answer);
// The text after the last "\", ":" or "/".
std::string FileNameOf(std::string_view url);

struct THttpTarget {
  std::string Host;      // as in the URL, a ":port" included (it goes into the Host header)
  std::string HostName;  // without the port
  uint16_t Port = 80;
  std::string Object;  // "/" + the rest
};
// Everything up to and including the first "//" is dropped; the host runs to the next "/". An
// explicit port ("host:8080") is honoured, else 80; nullopt for an empty host or a bad port.
std::optional<THttpTarget> SplitHttpUrl(std::string_view url);
// "Host: " + host + "\r\nKeep-Alive: 300\r\n\r\n".
std::string AnswerRequestHeaders(std::string_view host);

// How a download ended, as the transfer reported it.
struct TDownloadEnd {
  uint32_t Status = 0;                    // HTTP status
  std::optional<uint64_t> ContentLength;  // when the server sent one
  uint64_t Received = 0;                  // bytes written to the file
  bool EndedCleanly = false;              // the last read returned 0 bytes (it did not fail)
  bool WriteFailed = false;               // creating or writing the local file failed
};
// True only for a whole body: status 200, every read and write succeeded up to the end, and
// the length equal to Content-Length when there was one.
bool DownloadComplete(const TDownloadEnd& end);

// A Content-Length header value: decimal digits only, no overflow.
std::optional<uint64_t> ParseContentLength(std::string_view text);

}  // namespace qvr::app
