#include "player/audio/core/MWAudioSettings.h"

#include <algorithm>

namespace qvr::audio {

TMWAudioSettings::TMWAudioSettings() : FGains(kEqualizerGainTableSize, kEqualizerFlatGain) {}

void TMWAudioSettings::SetPreAmp(uint16_t preAmp) {
  std::lock_guard lock(FLock);
  FPreAmp = preAmp;
  Changed();
}

uint16_t TMWAudioSettings::PreAmp() const {
  std::lock_guard lock(FLock);
  return FPreAmp;
}

void TMWAudioSettings::SetEnabled(bool enabled) {
  std::lock_guard lock(FLock);
  FEnabled = enabled;
  Changed();
}

bool TMWAudioSettings::Enabled() const {
  std::lock_guard lock(FLock);
  return FEnabled;
}

void TMWAudioSettings::SetDelay(int32_t milliseconds) {
  std::lock_guard lock(FLock);
  FDelay = milliseconds;
  Changed();
}

int32_t TMWAudioSettings::Delay() const {
  std::lock_guard lock(FLock);
  return FDelay;
}

void TMWAudioSettings::SetBands(const int8_t* bands) {
  std::array<float, kEqualizerBandCount> gains;
  for (int i = 0; i < kEqualizerBandCount; ++i) gains[static_cast<size_t>(i)] = BandToGain(bands[i]);
  std::lock_guard lock(FLock);
  for (int i = 0; i < kEqualizerBandCount; ++i)
    std::fill(FGains.begin() + kEqualizerBandEdges[static_cast<size_t>(i)],
              FGains.begin() + kEqualizerBandEdges[static_cast<size_t>(i) + 1], gains[static_cast<size_t>(i)]);
  ++FGainVersion;
  Changed();
}

void TMWAudioSettings::GetBands(int8_t* bands) const {
  std::lock_guard lock(FLock);
  for (int i = 0; i < kEqualizerBandCount; ++i)
    bands[i] = GainToBand(FGains[static_cast<size_t>(kEqualizerBandEdges[static_cast<size_t>(i)])]);
}

bool TMWAudioSettings::Refresh(TMWAudioSettingsView& view) const {
  if (FVersion.load(std::memory_order_acquire) == view.Version) return false;
  std::lock_guard lock(FLock);
  view.Version = FVersion.load(std::memory_order_relaxed);
  view.PreAmp = FPreAmp;
  view.Enabled = FEnabled;
  view.Delay = FDelay;
  if (view.GainVersion != FGainVersion) {
    view.GainVersion = FGainVersion;
    std::copy(FGains.begin(), FGains.end(), view.Gains.begin());
    view.EqDirty = true;
  }
  return true;
}

}  // namespace qvr::audio
