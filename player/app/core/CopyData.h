// The path in a WM_COPYDATA message sent to the main window. Other programs (the suite
// application, an older player's second instance) send bytes in the system code page with
// dwData 0; our own second instance marks UTF-8 with kCopyDataUtf8 in dwData, which older
// receivers never read, so that no name is lost on the way. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/core/CodePage.h"

namespace qvr::app {

// "QVR8": the data is UTF-8. Any other dwData, 0 included, means the system code page.
inline constexpr uintptr_t kCopyDataUtf8 = 0x51565238;

// The first `size` bytes at `data`, ended earlier by a zero byte; nothing for no data.
std::string_view CopyDataBytes(const void* data, size_t size);

// The path as UTF-8 (ill-formed UTF-8 replaced, see common/core/Utf.h); empty when there is none.
std::string DecodeCopyDataPath(uintptr_t dwData, const void* data, size_t size, const ITextCodePage& systemCodePage);

}  // namespace qvr::app
