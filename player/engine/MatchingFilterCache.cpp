#include "player/engine/MatchingFilterCache.h"

#include <algorithm>

#include "player/engine/UFilterBank.h"

namespace qvr::engine {
namespace {

using Microsoft::WRL::ComPtr;

struct TWatchedKey {
  HKEY Root;
  const wchar_t* Path;
};
// Filters register under the class ids, machine-wide or per user, merit and pin data included.
// The device enumerator's own key is not watched: it rewrites it at every enumeration, and the
// devices it lists there above MERIT_DO_NOT_USE are the default-device entries, which always
// exist and follow the system's default device when bound.
const TWatchedKey kWatchedKeys[] = {
    {HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID"},
    {HKEY_CURRENT_USER, L"Software\\Classes"},
};
constexpr DWORD kWatchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

bool Enumerate(const std::vector<GUID>& types, std::vector<TMatchingFilterCache::TCandidate>& out) {
  out.clear();
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper)))) return false;
  ComPtr<IEnumMoniker> monikers;
  if (mapper->EnumMatchingFilters(&monikers, 0, FALSE, MERIT_DO_NOT_USE + 1, TRUE,
                                  static_cast<DWORD>(types.size() / 2), types.empty() ? nullptr : types.data(),
                                  nullptr, nullptr, FALSE, FALSE, 0, nullptr, nullptr, nullptr) != S_OK ||
      !monikers)
    return false;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
    out.push_back({moniker, ReadBagString(bag.Get(), L"FriendlyName"), ReadBagString(bag.Get(), L"CLSID")});
  }
  return true;
}

}  // namespace

TMatchingFilterCache::TMatchingFilterCache() {
  static_assert(std::tuple_size_v<decltype(watches_)> == std::extent_v<decltype(kWatchedKeys)>);
  watching_ = true;
  for (size_t i = 0; i < watches_.size(); ++i) {
    TWatch& watch = watches_[i];
    watch.Changed.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // Created when absent, as the system itself would: a fresh profile may not have them yet.
    // A key that cannot be watched leaves changes unseen: then nothing is kept at all.
    if (!watch.Changed ||
        ::RegCreateKeyExW(kWatchedKeys[i].Root, kWatchedKeys[i].Path, 0, nullptr, 0, KEY_NOTIFY, nullptr,
                          watch.Key.put(), nullptr) != ERROR_SUCCESS ||
        !Arm(watch))
      watching_ = false;
  }
}

bool TMatchingFilterCache::Arm(TWatch& watch) {
  ::ResetEvent(watch.Changed.get());
  return ::RegNotifyChangeKeyValue(watch.Key.get(), TRUE, kWatchedChanges, watch.Changed.get(), TRUE) == ERROR_SUCCESS;
}

bool TMatchingFilterCache::DropIfChanged() {
  bool changed = false;
  for (TWatch& watch : watches_) {
    if (::WaitForSingleObject(watch.Changed.get(), 0) != WAIT_OBJECT_0) continue;
    changed = true;
    entries_.clear();
    if (!Arm(watch)) watching_ = false;
  }
  return changed;
}

const std::vector<TMatchingFilterCache::TCandidate>* TMatchingFilterCache::Candidates(const std::vector<GUID>& types) {
  if (watching_) DropIfChanged();
  if (!watching_) return Enumerate(types, uncached_) ? &uncached_ : nullptr;
  auto same = [&](const TEntry& entry) { return entry.Types == types; };
  if (auto it = std::find_if(entries_.begin(), entries_.end(), same); it != entries_.end()) return &it->Candidates;
  TEntry entry{types, {}};
  if (!Enumerate(types, entry.Candidates)) return nullptr;
  // A change during the enumeration (a filter being installed) may have come too late for it:
  // such a list serves this one call only.
  if (DropIfChanged() || !watching_) {
    uncached_ = std::move(entry.Candidates);
    return &uncached_;
  }
  if (entries_.size() == kMaxEntries) entries_.erase(entries_.begin());
  entries_.push_back(std::move(entry));
  return &entries_.back().Candidates;
}

}  // namespace qvr::engine
