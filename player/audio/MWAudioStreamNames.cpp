#include "player/audio/MWAudioStreamNames.h"

#include <wrl/client.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/win/DirectShow.h"
#include "common/win/text.h"
#include "common/win/unique_resource.h"

using Microsoft::WRL::ComPtr;

namespace qvr::audio {
namespace {

constexpr size_t kScanBytes = 50000;  // of the file's head, for AVI stream headers
constexpr int kMaxBagStreams = 9;     // "INFO/IAS1" .. "INFO/IAS9"

// A property as text; nullopt when it cannot be read.
std::optional<std::wstring> ReadText(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  ::VariantInit(&value);
  std::optional<std::wstring> text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && SUCCEEDED(::VariantChangeType(&value, &value, 0, VT_BSTR)))
    text = value.bstrVal ? std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)) : std::wstring();
  ::VariantClear(&value);
  return text;
}

int ReadNumber(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  ::VariantInit(&value);
  int number = 0;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && SUCCEEDED(::VariantChangeType(&value, &value, 0, VT_I4)))
    number = value.lVal;
  ::VariantClear(&value);
  return number;
}

uint32_t ThreadLocaleLowByte() { return ::GetThreadLocale() & 0xFF; }

void AddBagStreams(IPropertyBag* bag, TMWStreamNames& names) {
  const int defaultNumber = ReadNumber(bag, L"INFO/ICAS");
  std::vector<std::optional<std::wstring>> values;
  for (int n = 1; n <= kMaxBagStreams; ++n) values.push_back(ReadText(bag, (L"INFO/IAS" + std::to_wstring(n)).c_str()));
  AddStreamValues(values, defaultNumber, ThreadLocaleLowByte(), SystemLanguageName, names);
}

void AddSelectStreams(IAMStreamSelect* select, TMWStreamNames& names) {
  DWORD count = 0;
  if (FAILED(select->Count(&count))) return;
  for (DWORD i = 0; i < count; ++i) {
    LCID lcid = 0;
    DWORD group = 0;
    WCHAR* name = nullptr;
    if (FAILED(select->Info(static_cast<long>(i), nullptr, nullptr, &lcid, &group, &name, nullptr, nullptr))) continue;
    unique_cotaskmem owned_name(name);
    if (group == 1) {
      const TMWStreamName entry = SelectStreamEntry(lcid, name ? std::wstring_view(name) : std::wstring_view(), SystemLanguageName);
      names.Add(entry.Lcid, entry.Name);
    }
  }
}

void AddTracks(ITrackInfo* tracks, TMWStreamNames& names) {
  const UINT count = tracks->GetTrackCount();
  for (UINT i = 0; i < count; ++i) {
    TMWTrackElement element{};
    element.Size = sizeof element;
    if (!tracks->GetTrackInfo(i, &element) || element.Type != 2) continue;
    element.Language[3] = '\0';
    BSTR track_name = tracks->GetTrackName(i);
    const std::wstring_view name = track_name ? std::wstring_view(track_name, ::SysStringLen(track_name)) : std::wstring_view();
    const TMWStreamName entry = TrackEntry(element.Language, name, SystemLanguageName);
    ::SysFreeString(track_name);
    if (element.FlagDefault) names.DefaultStream = static_cast<int>(names.Entries.size());
    names.Add(entry.Lcid, entry.Name);
  }
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
    if (bytes.size() > (1u << 20)) break;  // a side file is a few lines
  }
  return true;
}

// The path with its extension replaced (or added).
std::wstring WithExtension(const std::wstring& path, const wchar_t* extension) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.find_last_of(L'.');
  const bool has_extension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  return (has_extension ? path.substr(0, dot) : path) + extension;
}

// The names a source without bag names gives: its ".mss" side file, else its AVI stream headers.
void AddSourceFileStreams(IFilterGraph* graph, TMWStreamNames& names) {
  for (const auto& filter : GraphFilters(graph)) {
    ComPtr<IFileSourceFilter> source;
    if (FAILED(filter.As(&source))) continue;
    LPOLESTR file_name = nullptr;
    AM_MEDIA_TYPE type{};
    if (FAILED(source->GetCurFile(&file_name, &type)) || !file_name) return;
    unique_cotaskmem owned_name(file_name);
    if (type.cbFormat) ::CoTaskMemFree(type.pbFormat);
    if (type.pUnk) type.pUnk->Release();

    std::string text;
    if (ReadWholeFile(WithExtension(file_name, L".mss"), text)) {
      const TMWSideFile side = ParseSideFile(text);
      std::vector<std::optional<std::wstring>> values;
      for (const auto& value : side.Values) values.emplace_back(ToWide(value));
      AddStreamValues(values, side.DefaultNumber, ThreadLocaleLowByte(), SystemLanguageName, names);
      return;
    }
    ComPtr<IPin> output;
    ComPtr<IAsyncReader> reader;
    if (FAILED(filter->FindPin(L"Output", &output)) || !output || FAILED(output.As(&reader))) return;
    LONGLONG total = 0, available = 0;
    if (FAILED(reader->Length(&total, &available))) return;
    const LONG wanted = static_cast<LONG>(std::min<LONGLONG>(kScanBytes, std::max<LONGLONG>(0, available)));
    if (wanted <= 0) return;
    std::vector<uint8_t> head(static_cast<size_t>(wanted));
    if (FAILED(reader->SyncRead(0, wanted, head.data()))) return;
    for (const uint16_t language : ScanAudioStreamLanguages(head))
      names.Add(language, StripLanguageQualifier(SystemLanguageName(language)));
    return;
  }
}

}  // namespace

std::wstring SystemLanguageName(uint32_t lcid) {
  wchar_t name[256];
  const int length = ::GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, name, 256);
  return length > 1 ? std::wstring(name, static_cast<size_t>(length - 1)) : std::wstring();
}

TMWStreamNames CollectStreamNames(IFilterGraph* graph) {
  TMWStreamNames names;
  bool bag_source = false;
  const size_t before_bags = names.Entries.size();
  for (const auto& filter : GraphFilters(graph)) {
    CLSID clsid = GUID_NULL;
    filter->GetClassID(&clsid);
    if (IsEqualCLSID(clsid, kClsidStreamSelectSplitter)) {
      ComPtr<IAMStreamSelect> select;
      if (SUCCEEDED(filter.As(&select))) AddSelectStreams(select.Get(), names);
      return names;
    }
    ComPtr<ITrackInfo> tracks;
    if (SUCCEEDED(filter->QueryInterface(__uuidof(ITrackInfo), reinterpret_cast<void**>(tracks.GetAddressOf())))) {
      AddTracks(tracks.Get(), names);
      return names;
    }
    if (IsEqualCLSID(clsid, kClsidAviSplitter)) {
      // Wine quirk: its AVI Splitter answers E_NOINTERFACE for IPersistMediaPropertyBag and
      // CLSID_MediaPropertyBag is not registered (REGDB_E_CLASSNOTREG), so there the side file
      // or the stream headers name the streams (probed under the test platform).
      bag_source = true;
      ComPtr<IPersistMediaPropertyBag> persist;
      ComPtr<IMediaPropertyBag> bag;
      if (SUCCEEDED(filter.As(&persist)) &&
          SUCCEEDED(::CoCreateInstance(CLSID_MediaPropertyBag, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&bag))) &&
          SUCCEEDED(persist->Save(bag.Get(), FALSE, TRUE)))
        AddBagStreams(bag.Get(), names);
    } else if (IsEqualCLSID(clsid, kClsidBagSplitterA) || IsEqualCLSID(clsid, kClsidBagSplitterB)) {
      bag_source = true;
      ComPtr<IPropertyBag> bag;
      if (SUCCEEDED(filter.As(&bag))) AddBagStreams(bag.Get(), names);
    }
  }
  if (bag_source && names.Entries.size() == before_bags) AddSourceFileStreams(graph, names);
  return names;
}

}  // namespace qvr::audio
