#include "connector/core/SuiteProtocol.h"

#include <cstring>

namespace qvr::connector {

const char* InputMessageTopic(uintptr_t code) {
  switch (code) {
    case 701: return "QVR.Toolbar.QVR-Input-Message-Download-Start";
    case 702: return "QVR.Toolbar.QVR-Input-Message-Download-Progress";
    case 703: return "QVR.Toolbar.QVR-Input-Message-Download-Pause";
    case 704: return "QVR.Toolbar.QVR-Input-Message-Download-Success";
    case 705: return "QVR.Toolbar.QVR-Input-Message-Download-Failed";
    case 777: return "QVR.Toolbar.QVR-Input-Message-Debug";
    default: return nullptr;
  }
}

std::u16string UrlCommand(std::u16string_view url) {
  // Inside a braced Tcl word only braces and backslashes mean anything: a "}" would close the
  // word early and let the page append commands of its own.
  std::u16string command = u"url {";
  command.reserve(command.size() + url.size() + 1);
  for (const char16_t unit : url) {
    switch (unit) {
      case u'{': command += u"%7B"; break;
      case u'}': command += u"%7D"; break;
      case u'\\': command += u"%5C"; break;
      default: command += unit; break;
    }
  }
  command += u'}';
  return command;
}

std::string ToSingleByteText(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char16_t unit : text) {
    if (unit > 0xFF) break;
    bytes += static_cast<char>(unit);
  }
  return bytes;
}

std::u16string WidenSingleByteText(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char byte : text) wide += static_cast<char16_t>(static_cast<unsigned char>(byte));
  return wide;
}

std::string_view CopyDataText(const void* data, size_t size) {
  if (data == nullptr) return {};
  const char* text = static_cast<const char*>(data);
  const void* nul = std::memchr(text, 0, size);
  return std::string_view(text, nul != nullptr ? static_cast<const char*>(nul) - text : size);
}

std::u16string ExecuteText(const void* data, size_t size) {
  std::u16string text;
  if (data == nullptr) return text;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i + 1 < size; i += 2) {
    // Assembled byte by byte: DDE data carries no alignment promise.
    const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

}  // namespace qvr::connector
