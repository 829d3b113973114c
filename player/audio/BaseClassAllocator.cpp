// BaseClass: allocator negotiation of TBCBaseOutputPin.
#include "player/audio/BaseClassPins.h"

namespace qvr::audio {

HRESULT TBCBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
  return ::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(allocator));
}

HRESULT TBCBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  if (!pin || !allocator) return E_POINTER;
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES wanted{};
  pin->GetAllocatorRequirements(&wanted);  // optional: E_NOTIMPL leaves the zeros
  if (wanted.cbAlign == 0) wanted.cbAlign = 1;

  // The downstream pin's allocator first.
  HRESULT hr = pin->GetAllocator(allocator);
  if (SUCCEEDED(hr) && *allocator) {
    ALLOCATOR_PROPERTIES properties = wanted;
    hr = DecideBufferSize(*allocator, &properties);
    if (SUCCEEDED(hr)) {
      hr = pin->NotifyAllocator(*allocator, FALSE);
      if (SUCCEEDED(hr)) return S_OK;
    }
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }

  // Then one of our own.
  hr = InitAllocator(allocator);
  if (SUCCEEDED(hr) && *allocator) {
    ALLOCATOR_PROPERTIES properties = wanted;
    hr = DecideBufferSize(*allocator, &properties);
    if (SUCCEEDED(hr)) {
      hr = pin->NotifyAllocator(*allocator, FALSE);
      if (SUCCEEDED(hr)) return S_OK;
    }
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  return hr;
}

}  // namespace qvr::audio
