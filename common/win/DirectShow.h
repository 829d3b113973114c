// DirectShow for MinGW-w64: <dshow.h> plus the __uuidof declarations its headers lack.
// MinGW ignores __declspec(uuid), and control.h declares __CRT_UUID_DECL only for
// IMediaControl, so ComPtr::As and IID_PPV_ARGS on the other control interfaces would not link.
#pragma once

#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE  // dshow.h pulls in strsafe.h, which otherwise poisons wsprintfW
#endif
#include <dshow.h>

__CRT_UUID_DECL(IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IMediaPosition, 0x56a868b2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IBasicAudio, 0x56a868b3, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IVideoWindow, 0x56a868b4, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IBasicVideo, 0x56a868b5, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IAMStreamSelect, 0xc1960960, 0x17f5, 0x11d1, 0xab, 0xe1, 0x00, 0xa0, 0xc9, 0x05, 0xf3, 0x75)

#include <wrl/client.h>

#include <vector>

namespace qvr {

// The filters of a graph in its enumeration order (empty without a graph).
inline std::vector<Microsoft::WRL::ComPtr<IBaseFilter>> GraphFilters(IFilterGraph* graph) {
  std::vector<Microsoft::WRL::ComPtr<IBaseFilter>> filters;
  Microsoft::WRL::ComPtr<IEnumFilters> enumerator;
  if (!graph || FAILED(graph->EnumFilters(&enumerator))) return filters;
  Microsoft::WRL::ComPtr<IBaseFilter> filter;
  while (enumerator->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) filters.push_back(filter);
  return filters;
}

}  // namespace qvr
