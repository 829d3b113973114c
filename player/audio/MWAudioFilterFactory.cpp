#include "player/audio/MWAudioFilterFactory.h"

#include <new>

#include "player/audio/MWAudioFilter.h"

namespace qvr::audio {

TMWAudioFilterFactory::TMWAudioFilterFactory() { BCRegisterTemplate(TMWAudioFilter::Template()); }

HRESULT TMWAudioFilterFactory::CreateAudioFilter(IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  HRESULT hr = S_OK;
  auto* audio = new (std::nothrow) TMWAudioFilter(L"EQ Audio", &hr, nullptr);
  if (!audio) return E_OUTOFMEMORY;
  audio->NonDelegatingAddRef();
  if (SUCCEEDED(hr)) hr = audio->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter));
  audio->NonDelegatingRelease();
  return hr;
}

}  // namespace qvr::audio
