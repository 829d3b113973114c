// The private codec bank: DirectShow filter modules shipped in the program's "filters" folder,
// loaded privately (never registered with the system) and asked for filters by class id; plus
// the built-in blacklist of system filters that must never enter a graph.
//
// Owns its module handles and filter instances. UI thread only, inside the COM apartment it
// initialises at creation (filters from private modules live in that apartment).
#pragma once

#include <objbase.h>
#include <wrl/client.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/win/DirectShow.h"
#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/engine/MatchingFilterCache.h"

namespace qvr::engine {

class TFilterBank {
 public:
  struct TFilterRecord {
    std::string ClsidText;  // as written in the list
    GUID Clsid{};
    std::string Name;
    std::string Category = "DirectShow Filters";
  };
  struct TModuleRecord {
    std::string Path;
    HMODULE Handle = nullptr;                 // from CoLoadLibrary; null when loading failed
    LPFNGETCLASSOBJECT GetClassObject = nullptr;  // "DllGetClassObject"; null when absent
    std::vector<TFilterRecord> Filters;
  };

  // Initialises COM for the thread and reads the system's registered filter class ids.
  TFilterBank();
  TFilterBank(const TFilterBank&) = delete;
  TFilterBank& operator=(const TFilterBank&) = delete;
  ~TFilterBank();

  // Reads "RESCODECS" from the executable and loads the modules it names from
  // "<exe folder>\filters\".
  void LoadCodecs();
  // The same from a list text and a base folder (with trailing backslash).
  void LoadCodecsFrom(std::string_view list, const std::string& baseFolder);
  // Loads the named "CODECS" resource of the executable as the blacklist.
  void LoadBlacklist(const char* resourceName);
  void LoadBlacklistFrom(std::string_view list);

  // True when a blacklist line's friendly name equals the name, ignoring case (user locale).
  bool IsBlacklisted(const std::string& friendlyName) const;

  // The system registration first, the private module second; null when neither works.
  Microsoft::WRL::ComPtr<IBaseFilter> CreateFilter(const std::string& clsidText);

  // The walk over every private filter, module by module, in list order.
  void ResetWalk();
  // Advances; false (and the walk reset) after the last filter of the last module.
  bool NextFilter(GUID& clsid);
  void CurrentFilter(std::string& name, Microsoft::WRL::ComPtr<IBaseFilter>& filter) const;
  // The current filter faulted: the walk drops its reference without a Release and goes on.
  void AbandonCurrentFilter() { current_filter_.Detach(); }

  const std::vector<std::string>& SystemFilters() const { return system_filters_; }
  const std::vector<TModuleRecord>& Modules() const { return modules_; }
  const std::vector<std::string>& Blacklist() const { return blacklist_; }
  // What the system's filter mapper offers a pin, remembered for this bank's graphs.
  TMatchingFilterCache& MatchingFilters() { return matching_filters_; }

 private:
  void ReadSystemFilters();
  bool IsSystemFilter(const std::string& clsidText) const;
  Microsoft::WRL::ComPtr<IBaseFilter> CreateFromModule(const TModuleRecord& module, const GUID& clsid) const;

  unique_coinit com_;
  TMatchingFilterCache matching_filters_;  // its monikers go before the apartment does
  std::vector<std::string> system_filters_;
  std::vector<TModuleRecord> modules_;
  std::vector<std::string> blacklist_;  // "class id=friendly name" lines

  // Walk state.
  size_t module_index_ = 0;
  size_t filter_index_ = 0;
  std::string current_name_;
  Microsoft::WRL::ComPtr<IBaseFilter> current_filter_;
};

// Helpers shared with the graph builder. The engine's text (file names, filter names, codec
// paths) is UTF-8, converted only for the W calls.
using qvr::Utf8ToWide;
using qvr::WideToUtf8;
using qvr::ToAnsi;  // the system code page: only for bytes other programs write
using qvr::ToWide;
bool ParseClsid(const std::string& text, GUID& clsid);
std::string ClsidToString(const GUID& clsid);  // braced, upper case
std::string ExeFolder();                       // the running executable's folder, trailing "\"
// A string property of a filter moniker's property bag ("CLSID", "FriendlyName"); empty if absent.
std::string ReadBagString(IPropertyBag* bag, const wchar_t* name);

}  // namespace qvr::engine
