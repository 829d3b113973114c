// The equaliser settings the user-interface thread writes and the streaming thread reads: the
// pre-amplifier, the enable flag, the per-bin gain table and the audio delay.
//
// Hand-over: the writers change a master copy under a short leaf lock and bump a version; the
// streaming thread calls Refresh once per buffer, which costs one atomic load while nothing
// changed and otherwise copies the master into the thread's own TMWAudioSettingsView under the
// same lock. Every buffer is processed with one consistent set of settings, and a change takes
// effect from the next buffer. Nothing else is locked while the lock is held, so writers and the
// streaming thread may hold any of the filter's other locks when they call in.
//
// The view belongs to the streaming thread; EqDirty in it tells the equaliser that the gain
// table changed since it last designed its filter (the equaliser clears it).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/audio/core/MWEqualizer.h"

namespace qvr::audio {

struct TMWAudioSettingsView {
  TMWAudioSettingsView() : Gains(kEqualizerGainTableSize, kEqualizerFlatGain) {}
  uint64_t Version = 0;      // 0: never refreshed
  uint64_t GainVersion = 0;
  uint16_t PreAmp = kPreAmpUnity;
  bool Enabled = false;
  int32_t Delay = 0;         // milliseconds
  std::vector<float> Gains;  // kEqualizerGainTableSize values
  bool EqDirty = true;
};

class TMWAudioSettings {
 public:
  TMWAudioSettings();
  TMWAudioSettings(const TMWAudioSettings&) = delete;
  TMWAudioSettings& operator=(const TMWAudioSettings&) = delete;

  // Any thread.
  void SetPreAmp(uint16_t preAmp);
  uint16_t PreAmp() const;
  void SetEnabled(bool enabled);
  bool Enabled() const;
  void SetDelay(int32_t milliseconds);
  int32_t Delay() const;
  // Every bin of band i gets BandToGain(bands[i]) (10 values).
  void SetBands(const int8_t* bands);
  // GainToBand of each band's first bin.
  void GetBands(int8_t* bands) const;

  // The streaming thread, once per buffer: brings the view up to date. True when anything
  // changed; a changed gain table also sets view.EqDirty.
  bool Refresh(TMWAudioSettingsView& view) const;

 private:
  void Changed() { FVersion.fetch_add(1, std::memory_order_release); }

  mutable std::mutex FLock;  // leaf
  std::atomic<uint64_t> FVersion{1};
  uint64_t FGainVersion = 1;
  uint16_t FPreAmp = kPreAmpUnity;
  bool FEnabled = false;
  int32_t FDelay = 0;
  std::vector<float> FGains;
};

}  // namespace qvr::audio
