#include "player/resources/ResourceLoader.h"

#include <cstring>

namespace qvr::resources {

HRESULT FindResourceBytes(HMODULE module, const char* name, const char* type, std::span<const uint8_t>& bytes) {
  bytes = {};
  HRSRC info = ::FindResourceA(module, name, type);
  if (!info) return hresult_from_last_error();
  HGLOBAL handle = ::LoadResource(module, info);  // not a real global: never freed
  if (!handle) return hresult_from_last_error();
  const void* data = ::LockResource(handle);
  const DWORD size = ::SizeofResource(module, info);
  if (!data && size != 0) return hresult_from_last_error();
  bytes = {static_cast<const uint8_t*>(data), size};
  return S_OK;
}

HRESULT LoadTextResource(HMODULE module, const char* name, const char* type, std::string& text) {
  std::span<const uint8_t> bytes;
  const HRESULT hr = FindResourceBytes(module, name, type, bytes);
  text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return hr;
}

HRESULT CreateDibSection(const TBgraImage& image, unique_hbitmap& bitmap) {
  bitmap.reset();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(image.Width);
  info.bmiHeader.biHeight = -static_cast<LONG>(image.Height);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_hbitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return E_OUTOFMEMORY;  // CreateDIBSection sets no reliable last error
  std::memcpy(bits, image.Pixels.data(), image.Pixels.size());
  ::GdiFlush();
  bitmap = std::move(dib);
  return S_OK;
}

HRESULT LoadPngResource(HMODULE module, const char* name, unique_hbitmap& bitmap, SIZE* size) {
  bitmap.reset();
  std::span<const uint8_t> bytes;
  if (const HRESULT hr = FindResourceBytes(module, name, kPngResourceType, bytes); FAILED(hr)) return hr;
  TBgraImage image;
  if (!DecodePng(bytes, image)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  if (const HRESULT hr = CreateDibSection(image, bitmap); FAILED(hr)) return hr;
  if (size) *size = {static_cast<LONG>(image.Width), static_cast<LONG>(image.Height)};
  return S_OK;
}

}  // namespace qvr::resources
