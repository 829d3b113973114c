#include "player/engine/core/MWPlaybackRules.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace qvr::engine {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

bool IsStreamUrl(std::string_view name) { return StartsWithNoCase(name, "http://") || StartsWithNoCase(name, "mms://"); }

TMediaKind KindFromExtension(std::string_view name) {
  // Only the part after the last path separator can carry the extension.
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (EndsWithNoCase(name, ".flv")) return mkFlv;
  if (EndsWithNoCase(name, ".webm")) return mkWebM;
  if (EndsWithNoCase(name, ".mkv")) return mkMatroska;
  for (std::string_view extension : {".mov", ".mp4", ".m4a", ".m4v"})
    if (EndsWithNoCase(name, extension)) return mkMp4;
  return mkUnknown;
}

const TPrivateSource* PrivateSourceFor(TMediaKind kind) {
  static constexpr TPrivateSource kMp4{"{3CCC052E-BDEE-408A-BEA7-90914EF2964B}", "MPC - MP4 Source"};
  static constexpr TPrivateSource kMatroska{"{0A68C3B5-9164-4A54-AFAF-995B2FF0E0D4}", "MPC - Matroska Source"};
  static constexpr TPrivateSource kFlv{"{C9ECE7B3-1D8E-41F5-9F24-B255DF16C087}", "MPC - FLV Source (Brevik)"};
  switch (kind) {
    case mkMp4: return &kMp4;
    case mkMatroska:
    case mkWebM: return &kMatroska;
    case mkFlv: return &kFlv;
    default: return nullptr;
  }
}

int32_t PercentToLevel(int32_t percent) { return static_cast<int32_t>(static_cast<int64_t>(percent) * 65535 / 100); }

int32_t LevelToAttenuation(int32_t level) {
  const double db = 3322.0 * std::log10((level + 0.000001) / 65535.0);
  return std::max(kSilenceAttenuation, static_cast<int32_t>(std::trunc(db)));
}

int64_t ClampSeekPosition(int64_t position, int64_t stop) { return std::clamp<int64_t>(position, 0, std::max<int64_t>(stop, 0)); }

std::string FormatRotName(const void* graph, uint32_t processId) {
  char text[64];
  std::snprintf(text, sizeof text, "FilterGraph %0*" PRIXPTR " pid %" PRIX32, static_cast<int>(sizeof(void*) * 2),
                reinterpret_cast<uintptr_t>(graph), processId);
  return text;
}

}  // namespace qvr::engine
