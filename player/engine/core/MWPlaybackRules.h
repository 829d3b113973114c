// The engine's small decisions that need no operating system: what counts as a stream URL,
// which private source serves a container kind, volume percent to attenuation, seek clamping,
// and the running-object-table name of a graph.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "player/engine/core/MWFileFormat.h"

namespace qvr::engine {

// "http://" (first seven characters) or "mms://" (first six), in any letter case.
bool IsStreamUrl(std::string_view name);

// The container kind an extension stands for when the content said nothing:
// ".flv", ".webm", ".mkv", ".mov", ".mp4", ".m4a", ".m4v" (any letter case); mkUnknown otherwise.
TMediaKind KindFromExtension(std::string_view name);

// The private source filter that opens a container kind; null for kinds without one
// (ASF has its own system reader and is not listed here).
struct TPrivateSource {
  const char* ClsidText;
  const char* FilterName;
};
const TPrivateSource* PrivateSourceFor(TMediaKind kind);

inline constexpr int32_t kSilenceAttenuation = -10000;  // IBasicAudio's floor, hundredths of dB
inline constexpr int32_t kMutedLevel = 655;             // the 1 % level: muting attenuates, not silences

// percent × 65535 div 100.
int32_t PercentToLevel(int32_t percent);
// trunc(3322 × log10((level + 0.000001) / 65535)), never below -10000: lower levels would be
// refused by the renderer, so 0 % must mean silence rather than "keep the previous level".
int32_t LevelToAttenuation(int32_t level);
inline int32_t VolumeToAttenuation(int32_t percent) { return LevelToAttenuation(PercentToLevel(percent)); }

inline constexpr int64_t kStepSize = 100000000;  // 10 s in 100-ns units

// A negative position becomes 0, one beyond the stop position becomes the stop position.
int64_t ClampSeekPosition(int64_t position, int64_t stop);

// "FilterGraph <pointer> pid <pid>": the pointer in upper-case hex at its full width, the
// process id in upper-case hex without leading zeros. Outside graph tools look for it.
std::string FormatRotName(const void* graph, uint32_t processId);

}  // namespace qvr::engine
