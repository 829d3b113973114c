#include "player/app/core/UpdateRules.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qvr::app {

std::string UpdateUrl() { return std::string("http://") + kUpdateHost + kUpdatePathAndQuery; }
std::string ReportBugUrl() { return std::string("http://") + kWebHost + kReportBugPath; }
std::string SuggestionUrl() { return std::string("http://") + kWebHost + kSuggestionPath; }

std::string TrimAnswer(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

void AppendAnswerChunk(std::string& answer, const char* data, size_t size) {
  if (!data) return;
  const void* zero = std::memchr(data, 0, size);
  answer.append(data, zero ? static_cast<const char*>(zero) - data : size);
}

std::string DownloadUrlOf(std::string_view answer) {
  const size_t colon = answer.find(':');
  return std::string(colon == std::string_view::npos ? answer : answer.substr(colon + 1));
}

std::string FileNameOf(std::string_view url) {
  const size_t last = url.find_last_of("\\:/");
  return std::string(last == std::string_view::npos ? url : url.substr(last + 1));
}

std::optional<THttpTarget> SplitHttpUrl(std::string_view url) {
  if (const size_t slashes = url.find("//"); slashes != std::string_view::npos) url.remove_prefix(slashes + 2);
  const size_t slash = url.find('/');
  THttpTarget target;
  target.Host = std::string(url.substr(0, slash));
  target.Object = "/" + std::string(slash == std::string_view::npos ? std::string_view() : url.substr(slash + 1));
  target.HostName = target.Host;
  if (const size_t colon = target.Host.rfind(':'); colon != std::string::npos) {
    const std::string digits = target.Host.substr(colon + 1);
    const std::optional<uint64_t> port = ParseContentLength(digits);
    if (!port || *port == 0 || *port > 65535) return std::nullopt;
    target.Port = static_cast<uint16_t>(*port);
    target.HostName = target.Host.substr(0, colon);
  }
  if (target.HostName.empty()) return std::nullopt;
  return target;
}

std::string AnswerRequestHeaders(std::string_view host) {
  return "Host: " + std::string(host) + "\r\nKeep-Alive: 300\r\n\r\n";
}

bool DownloadComplete(const TDownloadEnd& end) {
  if (end.Status != 200 || !end.EndedCleanly || end.WriteFailed) return false;
  return !end.ContentLength || *end.ContentLength == end.Received;
}

std::optional<uint64_t> ParseContentLength(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace qvr::app
