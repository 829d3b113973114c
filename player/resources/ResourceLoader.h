// Reads the player's resources back at run time by name and type: raw bytes, CR LF text lists,
// and "PNG" images decoded into 32-bit DIB sections. UI thread or any thread; no shared state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "common/win/unique_resource.h"
#include "player/resources/core/PngImage.h"

namespace qvr::resources {

inline constexpr char kPngResourceType[] = "PNG";
inline constexpr char kCodecsResourceType[] = "CODECS";

// The bytes stay valid while the module stays loaded. On failure the span is empty and the
// result says why (HRESULT_FROM_WIN32 of the lookup's error).
HRESULT FindResourceBytes(HMODULE module, const char* name, const char* type, std::span<const uint8_t>& bytes);

HRESULT LoadTextResource(HMODULE module, const char* name, const char* type, std::string& text);

// A top-down 32-bit BI_RGB DIB section holding the image's BGRA pixels (straight alpha).
HRESULT CreateDibSection(const TBgraImage& image, unique_hbitmap& bitmap);

// Decodes the named "PNG" resource. HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when it is no PNG.
HRESULT LoadPngResource(HMODULE module, const char* name, unique_hbitmap& bitmap, SIZE* size = nullptr);

}  // namespace qvr::resources
