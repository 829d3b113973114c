#include "player/app/core/CopyData.h"

#include <cstring>

#include "common/core/Utf.h"

namespace qvr::app {

std::string_view CopyDataBytes(const void* data, size_t size) {
  if (!data || size == 0) return {};
  const auto* bytes = static_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);  // reads no further than `size`
  return {bytes, zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size};
}

std::string DecodeCopyDataPath(uintptr_t dwData, const void* data, size_t size, const ITextCodePage& systemCodePage) {
  const std::string_view bytes = CopyDataBytes(data, size);
  if (bytes.empty()) return {};
  return dwData == kCopyDataUtf8 ? SanitizeUtf8(bytes) : systemCodePage.ToUtf8(bytes);
}

}  // namespace qvr::app
