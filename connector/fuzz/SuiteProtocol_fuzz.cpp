// Arbitrary URLs and texts through the suite protocol's conversions: whatever a page or the suite
// sends, the URL command stays one braced word without backslashes, and the texts never extend
// beyond the bytes given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connector/core/SuiteProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr::connector;
  std::u16string url;
  for (size_t i = 0; i + 1 < size; i += 2) url += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

  const std::u16string command = UrlCommand(url);
  if (command.compare(0, 5, u"url {") != 0 || command.back() != u'}') std::abort();
  const std::u16string_view inner = std::u16string_view(command).substr(5, command.size() - 6);
  if (inner.find_first_of(u"{}\\") != std::u16string_view::npos) std::abort();

  const std::string single = ToSingleByteText(url);
  if (single.size() > url.size()) std::abort();
  for (size_t i = 0; i < single.size(); ++i)
    if (static_cast<unsigned char>(single[i]) != url[i]) std::abort();

  const std::string_view text = CopyDataText(data, size);
  if (text.size() > size || WidenSingleByteText(text).size() != text.size()) std::abort();
  if (ExecuteText(data, size).size() > size / 2) std::abort();
  return 0;
}
