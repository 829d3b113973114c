// How the graph builder obtains the program's audio transform filter when it meets the first
// audio renderer of a graph. The filter is constructed directly, never through COM
// registration, so the builder is handed a factory. Without one the audio pin is connected
// straight to the renderer and the engine reports no equaliser.
#pragma once

#include "common/win/DirectShow.h"

namespace qvr::engine {

class IAudioFilterFactory {
 public:
  virtual ~IAudioFilterFactory() = default;
  // A new, unconnected filter instance named "EQ Audio" (one reference for the caller).
  virtual HRESULT CreateAudioFilter(IBaseFilter** filter) = 0;
};

}  // namespace qvr::engine
