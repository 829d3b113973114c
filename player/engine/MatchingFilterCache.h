// The filter mapper's candidates for a pin's media types, kept until the system's filter
// registrations change. Enumerating them reads every registered filter and device category and
// costs more than building a whole audio graph; a playlist asks the same question at every item.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <array>
#include <string>
#include <vector>

#include "common/win/unique_resource.h"

namespace qvr::engine {

class TMatchingFilterCache {
 public:
  struct TCandidate {
    Microsoft::WRL::ComPtr<IMoniker> Moniker;  // bound afresh for every graph
    std::string FriendlyName;
    std::string ClsidText;
  };

  // Watches the class registrations, machine-wide and per user; without the watch nothing is
  // kept and every lookup enumerates.
  TMatchingFilterCache();
  TMatchingFilterCache(const TMatchingFilterCache&) = delete;
  TMatchingFilterCache& operator=(const TMatchingFilterCache&) = delete;

  // The candidates in the mapper's order (descending merit) for these (major type, subtype)
  // pairs, as EnumMatchingFilters gives them for an input pin of at least merit 0x200001; a
  // candidate whose property bag does not bind is left out. Null when the mapper cannot be
  // created or the enumeration fails. The result stays valid until the next call.
  const std::vector<TCandidate>* Candidates(const std::vector<GUID>& types);

  // True while results are kept between calls.
  bool Watching() const { return watching_; }

 private:
  struct TEntry {
    std::vector<GUID> Types;
    std::vector<TCandidate> Candidates;
  };
  struct TWatch {
    unique_hkey Key;
    unique_handle Changed;
  };

  // Forgets every list when a watched key changed since the last look, and watches it again.
  bool DropIfChanged();
  bool Arm(TWatch& watch);

  static constexpr size_t kMaxEntries = 16;  // distinct pin-type sets seen; oldest goes first
  std::array<TWatch, 2> watches_;
  bool watching_ = false;
  std::vector<TEntry> entries_;
  std::vector<TCandidate> uncached_;  // the last result when nothing is kept
};

}  // namespace qvr::engine
