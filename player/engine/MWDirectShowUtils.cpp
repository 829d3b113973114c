#include "player/engine/MWDirectShowUtils.h"

#include <vector>

#include "common/win/media_type.h"
#include "player/engine/FaultGuard.h"
#include "player/audio/MWAudioFilterInterface.h"
#include "player/engine/core/MWPlaybackRules.h"

namespace qvr::engine {
namespace {

// {C70BD94C-ABB7-409B-B95A-EC0285FF3D8C}: an audio renderer recognised by class id alone.
constexpr GUID kKnownAudioRenderer = {0xC70BD94C, 0xABB7, 0x409B, {0xB9, 0x5A, 0xEC, 0x02, 0x85, 0xFF, 0x3D, 0x8C}};
constexpr GUID kVideoRenderers[] = {
    {0x70E102B0, 0x5556, 0x11CE, {0x97, 0xC0, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}},  // Video Renderer
    {0x6BC1CFFA, 0x8FC1, 0x4261, {0xAC, 0x22, 0xCF, 0xB4, 0xCC, 0x38, 0xDB, 0x50}},  // default video renderer
    {0xB87BEB7B, 0x8D29, 0x423F, {0xAE, 0x4D, 0x65, 0x82, 0xC1, 0x01, 0x75, 0xAC}},  // VMR-7
    {0x51B4ABF3, 0x748F, 0x4E3B, {0xA2, 0x76, 0xC8, 0x28, 0x33, 0x0E, 0x92, 0x6A}},  // VMR-9
    {0xFA10746C, 0x9B63, 0x4B6C, {0xBC, 0x49, 0xFC, 0x30, 0x0E, 0xA5, 0xF2, 0x56}},  // EVR
};

constexpr size_t kMaxPinTypes = 32;

GUID ClassIdOf(IBaseFilter* filter) {
  GUID clsid = GUID_NULL;
  filter->GetClassID(&clsid);
  return clsid;
}

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> enumerator;
  if (FAILED(filter->EnumPins(&enumerator))) return pins;
  ComPtr<IPin> pin;
  while (enumerator->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) pins.push_back(pin);
  return pins;
}

bool IsDirection(IPin* pin, PIN_DIRECTION wanted) {
  PIN_DIRECTION direction;
  return SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted;
}

bool IsConnected(IPin* pin) {
  ComPtr<IPin> peer;
  return SUCCEEDED(pin->ConnectedTo(&peer)) && peer;
}

// Step 1 of both connection searches: the filters already in the graph.
bool ConnectToGraphFilters(IGraphBuilder* graph, IPin* pin, ComPtr<IBaseFilter>& next) {
  for (auto& filter : GraphFilters(graph)) {
    if (ConnectPinToFilter(graph, pin, filter.Get())) {
      next = filter;
      return true;
    }
  }
  return false;
}

// Puts the program's audio filter into the graph as "EQ Audio" and connects the pin to it.
// On success `pin` becomes the audio filter's first output pin.
void InsertAudioFilter(IGraphBuilder* graph, ComPtr<IPin>& pin, IAudioFilterFactory* audioFilters) {
  ComPtr<IBaseFilter> audio;
  if (!audioFilters || FAILED(audioFilters->CreateAudioFilter(&audio)) || !audio) return;
  if (!AddFilterToGraph(graph, audio, "EQ Audio")) return;
  ComPtr<IMWAudioFilterInterface> control;
  if (SUCCEEDED(audio.As(&control))) {
    control->SetStreamSwitching(TRUE);
    control->SetPCMCapture(TRUE);
  }
  ComPtr<IPin> output;
  if (ConnectPinToFilter(graph, pin.Get(), audio.Get()) && GetPin(audio.Get(), PINDIR_OUTPUT, 1, output)) {
    pin = output;
    return;
  }
  RemoveFilterFromGraph(graph, audio);
}

// Disconnects the filter's connections one at a time, both ends of each, output pins first,
// enumerating afresh each time. Wine's splitters free their output pins when their input is
// disconnected, and Wine's pins are not reference-counted on their own: a held output pin, or
// a downstream pin still connected to a freed one, crashed in DismantleGraph (pin_ConnectedTo).
void DisconnectAllPins(IGraphBuilder* graph, IBaseFilter* filter) {
  for (int guard = 0; guard < 256; ++guard) {
    ComPtr<IPin> pin, peer;
    for (PIN_DIRECTION direction : {PINDIR_OUTPUT, PINDIR_INPUT}) {
      for (auto& candidate : PinsOf(filter)) {
        if (IsDirection(candidate.Get(), direction) && SUCCEEDED(candidate->ConnectedTo(&peer)) && peer) {
          pin = candidate;
          break;
        }
      }
      if (pin) break;
    }
    if (!pin) return;
    graph->Disconnect(peer.Get());
    peer.Reset();
    if (FAILED(graph->Disconnect(pin.Get()))) return;
  }
}

// Wine quirk: the Default DirectSound Device's input pin enumerates no media type at all
// (IEnumMediaTypes::Next answers S_FALSE at once under Wine 8), so IsRenderer never recognises
// it and the audio filter would never be inserted. A renderer-shaped filter whose first input
// pin offers no type but accepts plain PCM audio counts as an audio renderer too. Evidence: a
// probe of CLSID_DSoundRender under the test platform gave Next = S_FALSE and QueryAccept(PCM
// 16-bit stereo 44.1 kHz) = S_OK, QueryAccept(video) = S_FALSE.
bool IsTypelessPcmRenderer(IBaseFilter* filter) {
  int inputs, outputs;
  CountPins(filter, inputs, outputs);
  ComPtr<IPin> input;
  ComPtr<IEnumMediaTypes> types;
  if (inputs == 0 || outputs != 0 || !GetPin(filter, PINDIR_INPUT, 1, input) || FAILED(input->EnumMediaTypes(&types)))
    return false;
  unique_media_type first;
  if (types->Next(1, first.put(), nullptr) == S_OK) return false;  // it names its types: IsRenderer decides
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 2;
  wave.nSamplesPerSec = 44100;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = 4;
  wave.nAvgBytesPerSec = 44100 * 4;
  AM_MEDIA_TYPE pcm{};
  pcm.majortype = MEDIATYPE_Audio;
  pcm.subtype = MEDIASUBTYPE_PCM;
  pcm.bFixedSizeSamples = TRUE;
  pcm.lSampleSize = wave.nBlockAlign;
  pcm.formattype = FORMAT_WaveFormatEx;
  pcm.cbFormat = sizeof wave;
  pcm.pbFormat = reinterpret_cast<BYTE*>(&wave);
  return input->QueryAccept(&pcm) == S_OK;
}

}  // namespace

bool MayCarryVideo(IPin* pin) {
  ComPtr<IEnumMediaTypes> media_types;
  if (FAILED(pin->EnumMediaTypes(&media_types)) || !media_types) return true;
  unique_media_type mt;
  size_t seen = 0;
  while (seen < kMaxPinTypes && media_types->Next(1, mt.put(), nullptr) == S_OK) {
    ++seen;
    if (IsEqualGUID(mt->majortype, MEDIATYPE_Video)) return true;
  }
  return seen == 0;  // a pin that names no type may still be video: keep the renderer ready for it
}

void RenderOutputPins(TFilterBank& bank, IGraphBuilder* graph, IBaseFilter* filter, IAudioFilterFactory* audioFilters,
                      const TOnVideoPin& onVideoPin) {
  for (auto& pin : PinsOf(filter)) {
    if (!IsDirection(pin.Get(), PINDIR_OUTPUT)) continue;
    // The renderer enters the graph before the pin is offered, so step 1 of the searches below
    // finds it there, as it would have if it had been added before the source was rendered.
    if (onVideoPin && !IsConnected(pin.Get()) && MayCarryVideo(pin.Get())) onVideoPin();
    ComPtr<IBaseFilter> next;
    if (ConnectToGraphOrBank(bank, graph, pin.Get(), next) ||
        ConnectToSystemFilter(bank, graph, pin.Get(), next, audioFilters))
      RenderOutputPins(bank, graph, next.Get(), audioFilters, onVideoPin);
  }
}

bool ConnectToGraphOrBank(TFilterBank& bank, IGraphBuilder* graph, IPin* pin, ComPtr<IBaseFilter>& next) {
  if (ConnectToGraphFilters(graph, pin, next)) return true;
  bank.ResetWalk();
  GUID clsid;
  while (bank.NextFilter(clsid)) {
    if (FindFilterByClassId(graph, clsid)) continue;
    std::string name;
    ComPtr<IBaseFilter> candidate;
    bank.CurrentFilter(name, candidate);
    if (!candidate || !AddFilterToGraph(graph, candidate, name)) continue;
    const TConnectOutcome outcome = ConnectPinToFilterGuarded(graph, pin, candidate.Get());
    if (outcome == TConnectOutcome::Connected) {
      bank.ResetWalk();
      next = candidate;
      return true;
    }
    if (outcome == TConnectOutcome::Faulted) {
      bank.AbandonCurrentFilter();  // the walk holds it too
      AbandonFilter(graph, candidate);
      continue;
    }
    RemoveFilterFromGraph(graph, candidate);
  }
  return false;
}

bool ConnectToSystemFilter(TFilterBank& bank, IGraphBuilder* graph, IPin* original_pin, ComPtr<IBaseFilter>& next,
                           IAudioFilterFactory* audioFilters) {
  if (ConnectToGraphFilters(graph, original_pin, next)) return true;
  std::vector<GUID> types;  // (major, subtype) pairs
  ComPtr<IEnumMediaTypes> media_types;
  if (SUCCEEDED(original_pin->EnumMediaTypes(&media_types))) {
    unique_media_type mt;
    while (types.size() < 2 * kMaxPinTypes && media_types->Next(1, mt.put(), nullptr) == S_OK) {
      types.push_back(mt->majortype);
      types.push_back(mt->subtype);
    }
  }
  const auto* candidates = bank.MatchingFilters().Candidates(types);
  if (!candidates) return false;

  ComPtr<IPin> pin = original_pin;
  for (const TMatchingFilterCache::TCandidate& offered : *candidates) {
    const std::string& name = offered.FriendlyName;
    if (bank.IsBlacklisted(name)) continue;
    GUID clsid;
    if (!ParseClsid(offered.ClsidText, clsid) || FindFilterByClassId(graph, clsid)) continue;
    IMoniker* const moniker = offered.Moniker.Get();
    IBaseFilter* bound = nullptr;
    const TGuardedResult bind = CallGuarded(
        [&] { return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&bound)); });
    if (bind.Faulted()) continue;  // what a faulting class handed out is left alone
    ComPtr<IBaseFilter> candidate;
    candidate.Attach(bound);
    if (FAILED(bind.Result) || !candidate) continue;
    if (IsAudioRenderer(candidate.Get())) {
      // One audio renderer chain per graph: the audio filter marks it.
      if (FindFilterByClassId(graph, CLSID_MWAudioFilter)) continue;
      InsertAudioFilter(graph, pin, audioFilters);
    }
    if (IsVideoRenderer(candidate.Get())) continue;  // video goes only to the engine's own renderer
    if (!AddFilterToGraph(graph, candidate, name)) continue;
    const TConnectOutcome outcome = ConnectPinToFilterGuarded(graph, pin.Get(), candidate.Get());
    if (outcome == TConnectOutcome::Connected) {
      next = candidate;
      return true;
    }
    if (outcome == TConnectOutcome::Faulted) AbandonFilter(graph, candidate);
    else RemoveFilterFromGraph(graph, candidate);
  }
  return false;
}

TConnectOutcome ConnectPinToFilterGuarded(IGraphBuilder* graph, IPin* pin, IBaseFilter* filter) {
  auto inputs = PinsOf(filter);
  for (auto& input : inputs) {
    if (!IsDirection(input.Get(), PINDIR_INPUT) || IsConnected(input.Get())) continue;
    IPin* const to = input.Get();
    const TGuardedResult connect = CallGuarded([&] { return graph->ConnectDirect(pin, to, nullptr); });
    if (connect.Faulted()) {
      for (auto& held : inputs) held.Detach();  // the faulting filter's pins are not released either
      return TConnectOutcome::Faulted;
    }
    if (SUCCEEDED(connect.Result)) return TConnectOutcome::Connected;
  }
  return TConnectOutcome::Refused;
}

bool ConnectPinToFilter(IGraphBuilder* graph, IPin* pin, IBaseFilter* filter) {
  return ConnectPinToFilterGuarded(graph, pin, filter) == TConnectOutcome::Connected;
}

bool FindFilterByClassId(IGraphBuilder* graph, const GUID& clsid, ComPtr<IBaseFilter>* filter) {
  for (auto& f : GraphFilters(graph)) {
    if (IsEqualGUID(ClassIdOf(f.Get()), clsid)) {
      if (filter) *filter = f;
      return true;
    }
  }
  return false;
}

bool AddFilterToGraph(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter, const std::string& name) {
  if (filter && SUCCEEDED(graph->AddFilter(filter.Get(), Utf8ToWide(name).c_str()))) return true;
  filter.Reset();
  return false;
}

bool RemoveFilterFromGraph(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter) {
  const bool removed = filter && SUCCEEDED(graph->RemoveFilter(filter.Get()));
  filter.Reset();
  return removed;
}

void AbandonFilter(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter) {
  if (!filter) return;
  IBaseFilter* const abandoned = filter.Detach();
  // The graph's own reference goes with the removal: the filter's Release may still run, and
  // is guarded with the rest of the removal.
  CallGuarded([&] { return graph->RemoveFilter(abandoned); });
}

bool GetPin(IBaseFilter* filter, PIN_DIRECTION direction, int ordinal, ComPtr<IPin>& pin) {
  int seen = 0;
  for (auto& p : PinsOf(filter)) {
    if (IsDirection(p.Get(), direction) && ++seen == ordinal) {
      pin = p;
      return true;
    }
  }
  pin.Reset();
  return false;
}

void CountPins(IBaseFilter* filter, int& inputs, int& outputs) {
  inputs = outputs = 0;
  for (auto& p : PinsOf(filter)) {
    if (IsDirection(p.Get(), PINDIR_INPUT)) ++inputs;
    else if (IsDirection(p.Get(), PINDIR_OUTPUT)) ++outputs;
  }
}

bool IsRenderer(IBaseFilter* filter, const GUID& majorType) {
  int inputs, outputs;
  CountPins(filter, inputs, outputs);
  if (inputs == 0 || outputs != 0) return false;
  ComPtr<IPin> input;
  ComPtr<IEnumMediaTypes> types;
  unique_media_type mt;
  return GetPin(filter, PINDIR_INPUT, 1, input) && SUCCEEDED(input->EnumMediaTypes(&types)) &&
         types->Next(1, mt.put(), nullptr) == S_OK && IsEqualGUID(mt->majortype, majorType);
}

bool IsAudioRenderer(IBaseFilter* filter) {
  return IsEqualGUID(ClassIdOf(filter), kKnownAudioRenderer) || IsRenderer(filter, MEDIATYPE_Audio) ||
         IsTypelessPcmRenderer(filter);
}

bool IsVideoRenderer(IBaseFilter* filter) {
  const GUID clsid = ClassIdOf(filter);
  for (const GUID& known : kVideoRenderers)
    if (IsEqualGUID(clsid, known)) return true;
  return IsRenderer(filter, MEDIATYPE_Video);
}

bool FindRenderer(IGraphBuilder* graph, const GUID& majorType, ComPtr<IBaseFilter>* filter) {
  for (auto& f : GraphFilters(graph)) {
    int inputs, outputs;
    CountPins(f.Get(), inputs, outputs);
    if (inputs == 0 || outputs != 0) continue;
    ComPtr<IPin> input;
    if (!GetPin(f.Get(), PINDIR_INPUT, 1, input)) continue;
    scoped_media_type_fields mt;
    if (SUCCEEDED(input->ConnectionMediaType(mt.get())) && IsEqualGUID((*mt).majortype, majorType)) {
      if (filter) *filter = f;
      return true;
    }
  }
  return false;
}

bool CreateFilterByClassId(const GUID& clsid, ComPtr<IBaseFilter>& filter) {
  filter.Reset();
  if (IsEqualGUID(clsid, GUID_NULL)) return false;
  return CreateInstanceGuarded(clsid, CLSCTX_INPROC, filter).Succeeded();
}

bool LoadSource(ComPtr<IBaseFilter>& filter, const std::string& fileName) {
  ComPtr<IFileSourceFilter> source;
  if (!filter || FAILED(filter.As(&source))) return false;
  const std::wstring name = Utf8ToWide(fileName);
  IFileSourceFilter* const loader = source.Get();
  const TGuardedResult load = CallGuarded([&] { return loader->Load(name.c_str(), nullptr); });
  if (load.Faulted()) {
    source.Detach();
    filter.Detach();
    return false;
  }
  return SUCCEEDED(load.Result);
}

bool CreateSourceFilter(IGraphBuilder* graph, const GUID& clsid, const std::string& fileName,
                        const std::string& filterName, ComPtr<IBaseFilter>& filter) {
  if (CreateFilterByClassId(clsid, filter) && LoadSource(filter, fileName) &&
      AddFilterToGraph(graph, filter, filterName))
    return true;
  filter.Reset();
  return false;
}

bool AddSystemSourceFilter(IGraphBuilder* graph, const std::string& fileName, const std::string& filterName,
                           ComPtr<IBaseFilter>& filter) {
  filter.Reset();
  return SUCCEEDED(graph->AddSourceFilter(Utf8ToWide(fileName).c_str(), Utf8ToWide(filterName).c_str(), &filter));
}

HRESULT RegisterGraph(IUnknown* graph, DWORD& cookie) {
  cookie = 0;
  ComPtr<IRunningObjectTable> rot;
  HRESULT hr = ::GetRunningObjectTable(0, &rot);
  if (FAILED(hr)) return hr;
  const std::wstring name = Utf8ToWide(FormatRotName(graph, ::GetCurrentProcessId()));
  ComPtr<IMoniker> moniker;
  if (FAILED(hr = ::CreateItemMoniker(L"!", name.c_str(), &moniker))) return hr;
  return rot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, graph, moniker.Get(), &cookie);
}

HRESULT RevokeGraph(DWORD cookie) {
  ComPtr<IRunningObjectTable> rot;
  const HRESULT hr = ::GetRunningObjectTable(0, &rot);
  return FAILED(hr) ? hr : rot->Revoke(cookie);
}

void DismantleGraph(ComPtr<IGraphBuilder>& graph) {
  if (!graph) return;
  for (;;) {
    // Removing a filter invalidates the enumeration: start a fresh one each time.
    ComPtr<IEnumFilters> enumerator;
    ComPtr<IBaseFilter> filter;
    if (FAILED(graph->EnumFilters(&enumerator)) || enumerator->Next(1, &filter, nullptr) != S_OK) break;
    DisconnectAllPins(graph.Get(), filter.Get());
    if (FAILED(graph->RemoveFilter(filter.Get()))) break;  // never loop on a filter that stays
  }
  graph.Reset();
}

}  // namespace qvr::engine
