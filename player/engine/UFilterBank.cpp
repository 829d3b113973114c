#include "player/engine/UFilterBank.h"

#include <algorithm>

#include "player/engine/FaultGuard.h"
#include "player/engine/core/CodecList.h"
#include "player/resources/ResourceLoader.h"

using Microsoft::WRL::ComPtr;

namespace qvr::engine {

bool ParseClsid(const std::string& text, GUID& clsid) {
  std::wstring wide = Utf8ToWide(text);
  return SUCCEEDED(::CLSIDFromString(wide.data(), &clsid));
}

std::string ClsidToString(const GUID& clsid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(clsid, text, 40);
  return WideToUtf8(text);
}

std::string ExeFolder() {
  // Long enough for any path NTFS holds; a cut-off name would point at another folder.
  std::wstring path(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  const std::string folder = WideToUtf8(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string ReadBagString(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  ::VariantInit(&value);
  std::string text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) text = WideToUtf8(value.bstrVal);
  ::VariantClear(&value);
  return text;
}

namespace {

bool SameTextNoCase(const std::string& a, const std::string& b) {
  const std::wstring wa = Utf8ToWide(a), wb = Utf8ToWide(b);
  return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()), wb.data(),
                          static_cast<int>(wb.size())) == CSTR_EQUAL;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TFilterBank::TFilterBank() : com_(COINIT_APARTMENTTHREADED) { ReadSystemFilters(); }

TFilterBank::~TFilterBank() {
  current_filter_.Reset();
  for (auto& module : modules_)
    if (module.Handle) ::CoFreeLibrary(module.Handle);
}

void TFilterBank::ReadSystemFilters() {
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper)))) return;
  ComPtr<IEnumMoniker> monikers;
  if (mapper->EnumMatchingFilters(&monikers, 0, FALSE, MERIT_DO_NOT_USE + 1, TRUE, 0, nullptr, nullptr, nullptr, FALSE,
                                  FALSE, 0, nullptr, nullptr, nullptr) != S_OK ||
      !monikers)
    return;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) break;  // the list as far as it got
    std::string clsid = ReadBagString(bag.Get(), L"CLSID");
    if (!clsid.empty()) system_filters_.push_back(std::move(clsid));
  }
}

bool TFilterBank::IsSystemFilter(const std::string& clsidText) const {
  return std::any_of(system_filters_.begin(), system_filters_.end(),
                     [&](const std::string& s) { return SameTextNoCase(s, clsidText); });
}

void TFilterBank::LoadCodecs() {
  std::string list;
  resources::LoadTextResource(::GetModuleHandleW(nullptr), "RESCODECS", resources::kCodecsResourceType, list);
  LoadCodecsFrom(list, ExeFolder());
}

void TFilterBank::LoadCodecsFrom(std::string_view list, const std::string& baseFolder) {
  for (const TCodecListEntry& entry : ParseCodecList(list)) {
    const std::string path = baseFolder + "filters\\" + entry.ModulePath;
    if (!FileExists(path)) continue;
    if (IsSystemFilter(entry.ClsidText)) continue;
    GUID clsid{};
    const bool parsed = ParseClsid(entry.ClsidText, clsid);
    if (parsed) {
      ComPtr<IBaseFilter> system_copy;
      if (CreateInstanceGuarded(clsid, CLSCTX_INPROC_SERVER, system_copy).Succeeded()) continue;
    }
    auto module = std::find_if(modules_.begin(), modules_.end(),
                               [&](const TModuleRecord& m) { return SameTextNoCase(m.Path, path); });
    if (module == modules_.end()) {
      TModuleRecord record;
      record.Path = path;
      std::wstring wide_path = Utf8ToWide(path);
      record.Handle = ::CoLoadLibrary(wide_path.data(), TRUE);
      if (record.Handle)
        record.GetClassObject = get_proc_address<LPFNGETCLASSOBJECT>(record.Handle, "DllGetClassObject");
      modules_.push_back(std::move(record));
      module = modules_.end() - 1;
    }
    const bool known = std::any_of(module->Filters.begin(), module->Filters.end(),
                                   [&](const TFilterRecord& f) { return f.ClsidText == entry.ClsidText; });
    if (!known) module->Filters.push_back({entry.ClsidText, clsid, entry.Name});
  }
}

void TFilterBank::LoadBlacklist(const char* resourceName) {
  std::string list;
  resources::LoadTextResource(::GetModuleHandleW(nullptr), resourceName, resources::kCodecsResourceType, list);
  LoadBlacklistFrom(list);
}

void TFilterBank::LoadBlacklistFrom(std::string_view list) {
  blacklist_.clear();
  for (std::string_view line : SplitTextLines(list)) blacklist_.emplace_back(line);
}

bool TFilterBank::IsBlacklisted(const std::string& friendlyName) const {
  return std::any_of(blacklist_.begin(), blacklist_.end(), [&](const std::string& line) {
    return SameTextNoCase(std::string(SplitNameValue(line).second), friendlyName);
  });
}

ComPtr<IBaseFilter> TFilterBank::CreateFromModule(const TModuleRecord& module, const GUID& clsid) const {
  ComPtr<IBaseFilter> filter;
  if (!module.GetClassObject) return filter;
  // On a fault the factory and whatever it handed out are left alone, not released.
  IClassFactory* raw_factory = nullptr;
  const TGuardedResult got = CallGuarded(
      [&] { return module.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&raw_factory)); });
  if (got.Faulted()) return filter;
  ComPtr<IClassFactory> factory;
  factory.Attach(raw_factory);
  if (FAILED(got.Result) || !factory) return filter;
  IBaseFilter* raw_filter = nullptr;
  const TGuardedResult made = CallGuarded(
      [&] { return factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&raw_filter)); });
  if (made.Faulted()) {
    factory.Detach();
    return filter;
  }
  filter.Attach(raw_filter);
  if (FAILED(made.Result)) filter.Reset();
  return filter;
}

ComPtr<IBaseFilter> TFilterBank::CreateFilter(const std::string& clsidText) {
  ComPtr<IBaseFilter> filter;
  GUID clsid{};
  if (ParseClsid(clsidText, clsid) && CreateInstanceGuarded(clsid, CLSCTX_INPROC_SERVER, filter).Succeeded())
    return filter;
  for (const auto& module : modules_) {
    if (!module.GetClassObject) continue;
    for (const auto& record : module.Filters)
      if (SameTextNoCase(record.ClsidText, clsidText)) return CreateFromModule(module, record.Clsid);
  }
  return nullptr;
}

void TFilterBank::ResetWalk() {
  module_index_ = 0;
  filter_index_ = 0;
  current_name_.clear();
  current_filter_.Reset();
}

bool TFilterBank::NextFilter(GUID& clsid) {
  while (module_index_ < modules_.size()) {
    const TModuleRecord& module = modules_[module_index_];
    if (filter_index_ < module.Filters.size()) {
      const TFilterRecord& record = module.Filters[filter_index_++];
      clsid = record.Clsid;
      current_name_ = record.Name;
      current_filter_ = CreateFromModule(module, record.Clsid);
      return true;
    }
    ++module_index_;
    filter_index_ = 0;
  }
  ResetWalk();
  return false;
}

void TFilterBank::CurrentFilter(std::string& name, ComPtr<IBaseFilter>& filter) const {
  name = current_name_;
  filter = current_filter_;
}

}  // namespace qvr::engine
