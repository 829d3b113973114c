// How the engine gets the program's audio filter: TMWAudioFilterFactory constructs a
// TMWAudioFilter directly (object name "EQ Audio"), never through COM registration. Making the
// first factory also puts the filter's template ("Tarnel Audio Filter") into the framework's
// in-memory template list, which is all the registration the program does.
//
// A plain object; the engine that is handed one does not own it. Any thread.
#pragma once

#include "player/engine/AudioFilterFactory.h"

namespace qvr::audio {

class TMWAudioFilterFactory final : public engine::IAudioFilterFactory {
 public:
  TMWAudioFilterFactory();
  HRESULT CreateAudioFilter(IBaseFilter** filter) override;
};

}  // namespace qvr::audio
