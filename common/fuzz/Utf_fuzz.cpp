// Arbitrary bytes as UTF-8 and as UTF-16: the converters must neither crash nor read out of
// bounds, always give well-formed output, keep well-formed input unchanged, and agree with
// each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/core/CodePage.h"
#include "common/core/Utf.h"

namespace {
void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string clean = qvr::SanitizeUtf8(bytes);
  Check(qvr::IsValidUtf8(clean));
  Check(qvr::IsValidUtf8(bytes) == (clean == bytes));
  Check(qvr::Utf16ToUtf8(qvr::Utf8ToUtf16(bytes)) == clean);

  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  const std::string fromUnits = qvr::Utf16ToUtf8(units);
  Check(qvr::IsValidUtf8(fromUnits));
  Check(qvr::Utf16ToUtf8(qvr::Utf8ToUtf16(fromUnits)) == fromUnits);

  const qvr::TLatin1CodePage latin1;
  std::string back;
  Check(latin1.FromUtf8(latin1.ToUtf8(bytes), back) && back == bytes);
  return 0;
}
