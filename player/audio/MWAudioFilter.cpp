#include "player/audio/MWAudioFilter.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "player/audio/MWAudioStreamNames.h"

using Microsoft::WRL::ComPtr;

namespace qvr::audio {
namespace {

// The output pin never connects to this filter class.
constexpr CLSID kClsidRefusedDownstream = {0xD3CD7858, 0x971A, 0x4838, {0xAC, 0xEC, 0x40, 0xCA, 0x5D, 0x52, 0x9D, 0xC8}};
// With one of these in the graph (the DVD Navigator and two like it) the history is read at a
// fixed distance from its start: their time stamps do not follow the stream clock.
constexpr CLSID kClsidNavigators[] = {
    {0x9B8C4620, 0x2C1A, 0x11D0, {0x84, 0x93, 0x00, 0xA0, 0x24, 0x38, 0xAD, 0x48}},
    {0xAABC1235, 0x776D, 0x11D2, {0x80, 0x10, 0x00, 0x10, 0x4B, 0x9B, 0x85, 0x92}},
    {0x10D5F9E1, 0x0360, 0x11D5, {0x8F, 0x2A, 0x00, 0x80, 0xC8, 0x4E, 0x9C, 0x39}},
};
constexpr REFERENCE_TIME kNavigatorReadOffset = 29200000;  // 2.92 s after capture start
constexpr long kBufferFrames = 352800;                     // 8 s at 44.1 kHz, whatever the rate
constexpr size_t kWaveFormatBytes = 16;                    // PCMWAVEFORMAT: cbSize may be absent
constexpr size_t kExtensibleBytes = 40;                    // WAVEFORMATEXTENSIBLE
constexpr size_t kSubFormatOffset = 24;

TMWGuid ToMW(const GUID& guid) {
  TMWGuid mw;
  std::memcpy(&mw, &guid, sizeof mw);
  return mw;
}

HRESULT TypeVerdictResult(TMWTypeVerdict verdict) {
  switch (verdict) {
    case TMWTypeVerdict::Accepted: return S_OK;
    case TMWTypeVerdict::InvalidMediaType: return VFW_E_INVALIDMEDIATYPE;
    case TMWTypeVerdict::InvalidSubtype: return VFW_E_INVALIDSUBTYPE;
    case TMWTypeVerdict::NotAccepted: break;
  }
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CheckTypeGuids(const AM_MEDIA_TYPE& type) {
  return TypeVerdictResult(CheckAudioTypeGuids(ToMW(type.majortype), ToMW(type.subtype), ToMW(type.formattype)));
}

// The WAVEFORMATEX fields, when the format block holds them.
bool ReadWave(const AM_MEDIA_TYPE& type, TMWWaveDescription& wave) {
  if (!type.pbFormat || type.cbFormat < kWaveFormatBytes) return false;
  WAVEFORMATEX format{};
  std::memcpy(&format, type.pbFormat, std::min<size_t>(type.cbFormat, sizeof format));
  wave.FormatTag = format.wFormatTag;
  wave.Channels = format.nChannels;
  wave.SamplesPerSec = format.nSamplesPerSec;
  wave.BitsPerSample = format.wBitsPerSample;
  if (format.wFormatTag == kMWTagExtensible && type.cbFormat >= kExtensibleBytes) {
    wave.HasSubFormat = true;
    std::memcpy(&wave.SubFormat, type.pbFormat + kSubFormatOffset, sizeof wave.SubFormat);
  }
  return true;
}

CLSID FilterClassOf(IPin* pin) {
  CLSID clsid = GUID_NULL;
  PIN_INFO info{};
  if (SUCCEEDED(pin->QueryPinInfo(&info)) && info.pFilter) {
    info.pFilter->GetClassID(&clsid);
    info.pFilter->Release();
  }
  return clsid;
}

bool GraphHasClass(IFilterGraph* graph, const CLSID& clsid) {
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(&filters))) return false;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    CLSID found = GUID_NULL;
    if (SUCCEEDED(filter->GetClassID(&found)) && IsEqualCLSID(found, clsid)) return true;
  }
  return false;
}

WCHAR* TaskMemString(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<WCHAR*>(::CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

BOOL AsBool(bool value) { return value ? -1 : 0; }

}  // namespace

// ---- Pins ---------------------------------------------------------------------------------------

TMWAudioFilterInputPin::TMWAudioFilterInputPin(TMWAudioFilter* filter, HRESULT* hr, int index)
    : TBCTransformInputPin(L"Input Pin", filter, hr, L"Input", L"In"), FOwner(filter), FIndex(index), FInactive(index != 0) {}

HRESULT TMWAudioFilterInputPin::QueryPinInfo(PIN_INFO* info) {
  const HRESULT hr = TBCTransformInputPin::QueryPinInfo(info);
  if (FAILED(hr)) return hr;
  TBCAutoLock lock(*FLock);
  if (IsConnected()) {
    const std::wstring name = PinNameFor(FIndex, FOwner->FNames.Entries);
    std::wcsncpy(info->achName, name.c_str(), MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
  }
  return S_OK;
}

HRESULT TMWAudioFilterInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = TBCTransformInputPin::CompleteConnect(receivePin);
  return FAILED(hr) ? hr : FOwner->InputConnected(this);
}

HRESULT TMWAudioFilterInputPin::Receive(IMediaSample* sample) {
  // An Inactive pin refuses before the receive lock, which the active stream's thread holds for
  // as long as a paused renderer keeps its sample: the other stream's thread of the splitter
  // must not wait that out (under Wine the AVI Splitter's second stream thread sat on the lock
  // for the whole preroll). The flag changes only while stopped, under the receive lock.
  if (IsInactive()) return E_FAIL;
  TBCAutoLock receive(FOwner->ReceiveLock());
  if (IsInactive()) return E_FAIL;
  // Before the base class checks whether the pin is flushing (see TMWFlushEpoch).
  FOwner->FSampleEpoch = FOwner->FFlushEpoch.Admit();
  HRESULT hr = TBCBaseInputPin::Receive(sample);
  if (hr == S_OK) hr = FOwner->Receive(sample);
  return hr;
}

HRESULT TMWAudioFilterInputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  const HRESULT hr = TBCTransformInputPin::SetMediaType(type);
  if (FAILED(hr) || IsInactive()) return hr;
  return FOwner->AcceptInputType(type);
}

HRESULT TMWAudioFilterInputPin::EndOfStream() {
  TBCAutoLock receive(FOwner->ReceiveLock());
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  // An Inactive stream that ends first must not end the stream being heard.
  if (IsInactive()) return S_OK;
  return FOwner->EndOfStream();
}

TMWAudioFilterOutputPin::TMWAudioFilterOutputPin(TMWAudioFilter* filter, HRESULT* hr)
    : TBCTransformOutputPin(L"Output Pin", filter, hr, L"Output", L"Out"), FOwner(filter) {}

IPin* TMWAudioFilterOutputPin::PositionPin() { return FOwner->ActivePin(); }

HRESULT TMWAudioFilterOutputPin::Notify(IBaseFilter*, Quality quality) {
  const HRESULT hr = FOwner->AlterQuality(quality);
  if (hr != S_FALSE) return hr;
  TMWAudioFilterInputPin* active = FOwner->ActivePin();
  return active ? active->PassNotify(quality) : VFW_E_NOT_FOUND;
}

HRESULT TMWAudioFilterOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  // The active pin's connection type changes only while the filter is stopped: no lock, so that
  // a downstream QueryAccept from any thread never waits for the sample in progress.
  TMWAudioFilterInputPin* active = FOwner->ActivePin();
  if (!active || !active->IsConnected()) return E_INVALIDARG;
  return FOwner->CheckTransform(&active->CurrentMediaType().get(), type);
}

HRESULT TMWAudioFilterOutputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  TMWAudioFilterInputPin* active = FOwner->ActivePin();
  if (!active || !active->IsConnected()) return E_INVALIDARG;
  TBCMediaType offered;
  if (FOwner->GetMediaType(0, offered.ptr()) != S_OK || !BCEqualMediaTypes(offered.get(), *type))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const HRESULT hr = FOwner->AcceptInputType(type);
  if (FAILED(hr)) return hr;
  return TBCTransformOutputPin::SetMediaType(type);
}

// ---- Creation -----------------------------------------------------------------------------------

TMWAudioFilter::TMWAudioFilter(const wchar_t* objectName, HRESULT* hr, IUnknown* outer)
    : TBCTransformFilter(objectName, outer, CLSID_MWAudioFilter) {
  try {
    FEqualizer = std::make_unique<TMWEqualizer>();
  } catch (const std::bad_alloc&) {
    if (hr) *hr = E_OUTOFMEMORY;
  }
}

TMWAudioFilter::~TMWAudioFilter() {
  // The first input pin and the output pin are the framework's to delete.
  for (size_t i = 1; i < FInputPins.size(); ++i) delete FInputPins[i];
}

TBCUnknown* TMWAudioFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
  auto* filter = new (std::nothrow) TMWAudioFilter(L"Tarnel Audio Filter", hr, outer);
  if (!filter && hr) *hr = E_OUTOFMEMORY;
  return filter;
}

const TBCFilterTemplate& TMWAudioFilter::Template() {
  static const TBCFilterTemplate filter_template{L"Tarnel Audio Filter", &CLSID_MWAudioFilter, &CreateInstance,
                                                 &CLSID_LegacyAmFilterCategory, 0x200000, 2};
  return filter_template;
}

HRESULT TMWAudioFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, __uuidof(IMWAudioFilterInterface)))
    return GetInterface(static_cast<IMWAudioFilterInterface*>(this), object);
  if (IsEqualIID(iid, IID_IAMStreamSelect)) return GetInterface(static_cast<IAMStreamSelect*>(this), object);
  return TBCTransformFilter::NonDelegatingQueryInterface(iid, object);
}

// ---- Pins ---------------------------------------------------------------------------------------

bool TMWAudioFilter::EnsurePins() {
  if (!FInputPins.empty()) return true;
  HRESULT hr = S_OK;
  auto* input = new (std::nothrow) TMWAudioFilterInputPin(this, &hr, 0);
  auto* output = input ? new (std::nothrow) TMWAudioFilterOutputPin(this, &hr) : nullptr;
  if (!input || !output || FAILED(hr)) {
    delete input;
    delete output;
    return false;
  }
  TBCAutoLock receive(FcsReceive);
  FInput = input;
  FOutput = output;
  FInputPins.push_back(input);
  FActivePin = input;
  return true;
}

int TMWAudioFilter::GetPinCount() {
  TBCAutoLock lock(FcsFilter);
  return EnsurePins() ? static_cast<int>(FInputPins.size()) + 1 : 0;
}

TBCBasePin* TMWAudioFilter::GetPin(int index) {
  TBCAutoLock lock(FcsFilter);
  if (!EnsurePins() || index < 0) return nullptr;
  if (index == 0) return FInputPins[0];
  if (index == 1) return FOutput;
  const size_t input = static_cast<size_t>(index) - 1;
  return input < FInputPins.size() ? FInputPins[input] : nullptr;
}

TMWAudioFilterInputPin* TMWAudioFilter::ActivePin() const { return FActivePin.load(); }

void TMWAudioFilter::SelectStream(int index) {
  TBCAutoLock lock(FcsFilter);
  TBCAutoLock receive(FcsReceive);
  TMWAudioFilterInputPin* chosen = FInputPins[static_cast<size_t>(index)];
  for (TMWAudioFilterInputPin* pin : FInputPins) pin->SetInactive(pin != chosen);
  FActivePin = chosen;
  FTypeChangePending = true;
}

HRESULT TMWAudioFilter::InputConnected(TMWAudioFilterInputPin* pin) {
  if (FStreamSwitching) {
    bool free_pin = false;
    for (TMWAudioFilterInputPin* p : FInputPins) free_pin = free_pin || !p->IsConnected();
    if (!free_pin) {
      HRESULT hr = S_OK;
      auto* added = new (std::nothrow) TMWAudioFilterInputPin(this, &hr, static_cast<int>(FInputPins.size()));
      if (added && SUCCEEDED(hr)) {
        TBCAutoLock receive(FcsReceive);
        FInputPins.push_back(added);
        IncrementPinVersion();
      } else {
        delete added;
      }
    }
    // The stream the source calls its default, once its pin is there to take it.
    const int wanted = FNames.DefaultStream;
    if (wanted >= 0 && static_cast<size_t>(wanted) < FInputPins.size() && FInputPins[static_cast<size_t>(wanted)]->IsConnected()) {
      if (FInputPins[static_cast<size_t>(wanted)]->IsInactive()) SelectStream(wanted);
      FNames.DefaultStream = -1;
    }
  }
  // The audible stream changed: downstream renegotiates the format.
  if (!pin->IsInactive() && FOutput && FOutput->IsConnected()) ReconnectPin(FOutput, nullptr);
  return S_OK;
}

// ---- State --------------------------------------------------------------------------------------

HRESULT TMWAudioFilter::Stop() {
  FRunning = false;
  FHistory.Clear();
  return TBCTransformFilter::Stop();
}

bool TMWAudioFilter::StreamingInputConnected() {
  TMWAudioFilterInputPin* active = ActivePin();
  return active && active->IsConnected();
}

// Every connected input goes inactive, the active one first, so that no upstream thread stays
// blocked in one of our allocators.
void TMWAudioFilter::DeactivateInputs() {
  TMWAudioFilterInputPin* active = ActivePin();
  active->Inactive();
  for (TMWAudioFilterInputPin* pin : FInputPins)
    if (pin != active && pin->IsConnected()) pin->Inactive();
}

HRESULT TMWAudioFilter::Pause() {
  FRunning = false;
  return TBCTransformFilter::Pause();
}

HRESULT TMWAudioFilter::Run(REFERENCE_TIME start) {
  FHistory.ClearEndOfStream();
  const HRESULT hr = TBCTransformFilter::Run(start);
  FRunning = SUCCEEDED(hr);
  return hr;
}

HRESULT TMWAudioFilter::StartStreaming() {
  FHistory.Prepare(FFormat.Load());
  return TBCTransformFilter::StartStreaming();
}

// ---- Types --------------------------------------------------------------------------------------

HRESULT TMWAudioFilter::DescribeInputType(const AM_MEDIA_TYPE* type, TMWAudioFormat& format) {
  if (!type) return E_POINTER;
  const HRESULT hr = CheckTypeGuids(*type);
  if (hr != S_OK) return hr;
  TMWWaveDescription wave;
  if (!ReadWave(*type, wave) || DescribeWaveFormat(ToMW(type->subtype), wave, format) != TMWTypeVerdict::Accepted)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TMWAudioFilter::CheckInputType(const AM_MEDIA_TYPE* type) {
  TMWAudioFormat format{};
  return DescribeInputType(type, format);
}

HRESULT TMWAudioFilter::AcceptInputType(const AM_MEDIA_TYPE* type) {
  TMWAudioFormat format{};
  const HRESULT hr = DescribeInputType(type, format);
  if (hr == S_OK) RecordInputType(*type, format);
  return hr;
}

void TMWAudioFilter::RecordInputType(const AM_MEDIA_TYPE& type, TMWAudioFormat format) {
  ComPtr<IMWAudioFilterPCMCallBack> callback = Callback();
  bool announce = false;
  {
    std::lock_guard lock(FFormatLock);
    format.DataLength = FFormat.Load().DataLength;
    FFormat.Store(format);
    FCurrentInputType = type;
    announce = callback && !SameFormat(format, FAnnounced);
    FAnnounced = format;
  }
  if (announce) callback->OnFormatChange(FFormat.Record());
}

bool TMWAudioFilter::ActiveTypeDiffers(TBCMediaType& activeType) {
  TMWAudioFilterInputPin* active = nullptr;
  for (TMWAudioFilterInputPin* pin : FInputPins)
    if (!pin->IsInactive()) {
      active = pin;
      break;
    }
  if (!active || !active->IsConnected()) return false;
  activeType = active->CurrentMediaType();
  std::lock_guard lock(FFormatLock);
  return !BCEqualMediaTypes(activeType.get(), FCurrentInputType.get());
}

HRESULT TMWAudioFilter::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE*) {
  if (!in) return E_POINTER;
  return CheckTypeGuids(*in);
}

HRESULT TMWAudioFilter::GetMediaType(int position, AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  if (FInputPins.empty() || !FInputPins[0]->IsConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  for (TMWAudioFilterInputPin* pin : FInputPins)
    if (!pin->IsInactive()) return BCCopyMediaType(*type, pin->CurrentMediaType().get());
  return E_UNEXPECTED;
}

HRESULT TMWAudioFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  if (!allocator || !properties) return E_POINTER;
  if (FInputPins.empty() || !FInputPins[0]->IsConnected()) return E_UNEXPECTED;
  const TMWAudioFormat format = FFormat.Load();
  // A very wide format would overflow the allocator's 32-bit size: refuse it.
  const int64_t wide = static_cast<int64_t>(format.Channels) * kBufferFrames * (format.BitsPerSample / 8);
  if (wide <= 0 || wide > std::numeric_limits<long>::max()) return E_FAIL;
  const long size = static_cast<long>(wide);
  properties->cBuffers = 1;
  properties->cbBuffer = size;
  if (properties->cbAlign <= 0) properties->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(properties, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers < 1 || actual.cbBuffer < size ? E_FAIL : S_OK;
}

// ---- Connections --------------------------------------------------------------------------------

HRESULT TMWAudioFilter::CheckConnect(PIN_DIRECTION direction, IPin* pin) {
  if (direction == PINDIR_OUTPUT && pin && IsEqualCLSID(FilterClassOf(pin), kClsidRefusedDownstream)) return E_FAIL;
  return TBCTransformFilter::CheckConnect(direction, pin);
}

HRESULT TMWAudioFilter::CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) {
  if (direction == PINDIR_OUTPUT) {
    if (FStreamSwitching && !FNamesCollected) {
      FNamesCollected = true;
      FTypeChangePending = true;
      CollectStreamNames();
    }
    if (FInput && FInput->IsConnected() && FOutput && FOutput->IsConnected()) {
      bool navigator = false;
      for (const CLSID& clsid : kClsidNavigators) navigator = navigator || GraphHasClass(GetFilterGraph(), clsid);
      FNavigatorQuirk = navigator;
      FFirstSample = true;
    }
  }
  return TBCTransformFilter::CompleteConnect(direction, receivePin);
}

void TMWAudioFilter::CollectStreamNames() { FNames = qvr::audio::CollectStreamNames(GetFilterGraph()); }

// ---- Streaming ----------------------------------------------------------------------------------

HRESULT TMWAudioFilter::Receive(IMediaSample* sample) {
  TMWAudioFilterInputPin* active = ActivePin();
  TBC_ASSERT(active);
  return ReceiveWith(*active->SampleProps(), sample);
}

HRESULT TMWAudioFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample) {
  TMWAudioFilterInputPin* active = ActivePin();
  TBC_ASSERT(active);
  return InitializeOutputSampleFrom(*active->SampleProps(), sample, outSample);
}

ComPtr<IMWAudioFilterPCMCallBack> TMWAudioFilter::Callback() {
  std::lock_guard lock(FCallbackLock);
  return FCallback;
}

HRESULT TMWAudioFilter::Transform(IMediaSample* in, IMediaSample* out) {
  TBC_ASSERT(in && out);
  // 1. The input, copied into the output.
  BYTE* source = nullptr;
  BYTE* data = nullptr;
  TBC_ASSERT(SUCCEEDED(in->GetPointer(&source)) && SUCCEEDED(out->GetPointer(&data)) && source && data);
  long length = in->GetActualDataLength();
  if (length < 0 || length > out->GetSize()) return VFW_E_BUFFER_OVERFLOW;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT time_hr = in->GetTime(&start, &stop);
  const bool has_times = SUCCEEDED(time_hr);
  bool has_stop = time_hr == S_OK;
  if (has_times) out->SetTime(&start, has_stop ? &stop : nullptr);
  LONGLONG media_start = 0, media_stop = 0;
  const bool has_media_times = in->GetMediaTime(&media_start, &media_stop) == S_OK;
  if (has_media_times) out->SetMediaTime(&media_start, &media_stop);
  if (in->IsDiscontinuity() == S_OK) out->SetDiscontinuity(TRUE);
  if (in->IsPreroll() == S_OK) out->SetPreroll(TRUE);
  std::memcpy(data, source, static_cast<size_t>(length));
  out->SetActualDataLength(length);
  AM_MEDIA_TYPE* in_type = nullptr;
  if (in->GetMediaType(&in_type) == S_OK && in_type) out->SetMediaType(in_type);
  BCDeleteMediaType(in_type);

  // The first sample after a flush starts from clear history, whatever came before it.
  if (FFlushEpoch.StartsNewEpoch(FSampleEpoch)) {
    if (FEqualizer) FEqualizer->ClearHistory();
    FHistory.Reset();
  }

  // 2. A format change from upstream.
  AM_MEDIA_TYPE* out_type = nullptr;
  if (out->GetMediaType(&out_type) == S_OK && out_type) {
    FFormatChanging = true;
    const HRESULT hr = AcceptInputType(out_type);
    if (FAILED(hr)) {
      FFormatChanging = false;
      BCDeleteMediaType(out_type);
      return hr;
    }
    FHistory.Prepare(FFormat.Load());
    FFormatChanging = false;
    FHistory.Reset();
    FTypeChangePending = false;
  }
  BCDeleteMediaType(out_type);

  // 3. and 4. Where the history starts.
  FLastDuration = static_cast<int64_t>(static_cast<double>(length) * FHistory.BytesToTime());
  if (!FNavigatorQuirk && has_times) {
    bool first = FFirstSample;
    FHistory.NoteSampleStart(start, first, FLastDuration);
    FFirstSample = first;
  }

  // 5. The active stream changed: its type goes downstream with this sample.
  if (FTypeChangePending.exchange(false)) {
    TBCMediaType active_type;
    if (ActiveTypeDiffers(active_type)) {
      AcceptInputType(&active_type.get());
      out->SetMediaType(active_type.ptr());
      FHistory.Prepare(FFormat.Load());
      FHistory.Reset();
    }
  }

  // 6. and 7. Pre-amplifier and equaliser, with the settings of this buffer.
  const TMWAudioFormat format = FFormat.Load();
  FFormat.StoreDataLength(length);
  FSettings.Refresh(FView);
  const bool pass_through = IsPassThrough(format);
  const bool is_float = format.IsFloat != 0;
  if (!pass_through && FView.Enabled && FEqualizer) {
    if (FView.PreAmp != kPreAmpUnity)
      AmplifyPCM(data, static_cast<size_t>(length), format.BitsPerSample, FView.PreAmp, is_float, format.Channels);
    FEqualizer->Equalize(data, static_cast<size_t>(length), format.BitsPerSample, FView.EqDirty, FView.Gains.data(),
                         is_float, format.Channels);
    out->SetActualDataLength(length);
  }

  // 8. and 9. The client's look, which may shorten the buffer.
  if (!pass_through) {
    if (ComPtr<IMWAudioFilterPCMCallBack> callback = Callback()) {
      int32_t new_length = length;
      callback->OnPCMData(data, length, &new_length, FFormat.Record());
      if (new_length != length && new_length >= 0 && new_length <= out->GetSize()) {
        length = new_length;
        out->SetActualDataLength(length);
        const int64_t duration = DurationOfBytes(length, format);
        if (duration >= 0) {
          if (has_media_times) {
            media_stop = media_start + duration;
            out->SetMediaTime(&media_start, &media_stop);
          }
          if (has_times) {
            stop = start + duration;
            has_stop = true;
            out->SetTime(&start, &stop);
          }
        }
      }
    }
  }

  // 10. and 11.
  out->SetSyncPoint(TRUE);
  if (FView.Delay != 0 && has_times) {
    const REFERENCE_TIME shift = static_cast<REFERENCE_TIME>(FView.Delay) * 10000;
    start += shift;
    stop += shift;
    out->SetTime(&start, has_stop ? &stop : nullptr);
  }

  // 12.
  if (!pass_through) FHistory.Append(data, static_cast<size_t>(length));
  return S_OK;
}

HRESULT TMWAudioFilter::EndOfStream() {
  REFERENCE_TIME now = 0;
  StreamTime(now);
  FHistory.MarkEndOfStream(now, FLastDuration);
  return TBCTransformFilter::EndOfStream();
}

HRESULT TMWAudioFilter::BeginFlush() {
  FFlushing = true;
  FHistory.Reset();
  FFlushEpoch.Begin();  // after the pin refuses samples: the next sample admitted starts clear
  if (ComPtr<IMWAudioFilterPCMCallBack> callback = Callback()) callback->OnFlush();
  return TBCTransformFilter::BeginFlush();
}

HRESULT TMWAudioFilter::EndFlush() {
  FFlushing = false;
  return TBCTransformFilter::EndFlush();
}

// ---- IMWAudioFilterInterface --------------------------------------------------------------------

HRESULT TMWAudioFilter::SetPCMCallBack(IMWAudioFilterPCMCallBack* callback) {
  TBCAutoLock lock(FcsFilter);
  ComPtr<IMWAudioFilterPCMCallBack> old;
  {
    std::lock_guard callback_lock(FCallbackLock);
    old = FCallback;
    FCallback = callback;
  }
  return S_OK;  // `old` is released here, outside the callback lock
}

HRESULT TMWAudioFilter::GetPCMData(void** data, int32_t* length, TMWAudioFormat** format) {
  if (!FHistory.Enabled()) return E_NOTIMPL;
  if (!data || !length) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *data = nullptr;
  *length = 0;
  if (format) *format = FFormat.Record();
  if (FFormatChanging || FFlushing || !FRunning) return S_FALSE;
  REFERENCE_TIME t = 0;
  if (FAILED(StreamTime(t)) || !FHistory.HasBuffer()) return S_FALSE;
  if (FHistory.PastEndOfStream(t)) return S_FALSE;
  if (FNavigatorQuirk) t = FHistory.CaptureStart() + kNavigatorReadOffset;
  const uint8_t* bytes = nullptr;
  int32_t count = 0;
  if (!FHistory.Lookup(t, &bytes, &count)) return S_FALSE;
  *data = const_cast<uint8_t*>(bytes);
  *length = count;
  return S_OK;
}

HRESULT TMWAudioFilter::GetAudioDelay(int32_t* milliseconds) {
  if (!milliseconds) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *milliseconds = FSettings.Delay();
  return S_OK;
}

HRESULT TMWAudioFilter::SetAudioDelay(int32_t milliseconds) {
  TBCAutoLock lock(FcsFilter);
  FSettings.SetDelay(milliseconds);
  return S_OK;
}

HRESULT TMWAudioFilter::GetStreamSwitching(BOOL* enabled) {
  if (!enabled) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *enabled = AsBool(FStreamSwitching);
  return S_OK;
}

HRESULT TMWAudioFilter::SetStreamSwitching(BOOL enabled) {
  TBCAutoLock lock(FcsFilter);
  FStreamSwitching = enabled != FALSE;
  return S_OK;
}

HRESULT TMWAudioFilter::GetAudioFormat(TMWAudioFormat** format) {
  if (!format) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *format = FFormat.Record();
  return S_OK;
}

HRESULT TMWAudioFilter::GetPreAmp(uint16_t* preamp) {
  if (!preamp) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *preamp = FSettings.PreAmp();
  return S_OK;
}

HRESULT TMWAudioFilter::SetPreAmp(uint16_t preamp) {
  TBCAutoLock lock(FcsFilter);
  FSettings.SetPreAmp(preamp);
  return S_OK;
}

HRESULT TMWAudioFilter::GetEQBands(int8_t* bands) {
  if (!bands) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  FSettings.GetBands(bands);
  return S_OK;
}

HRESULT TMWAudioFilter::SetEQBands(const int8_t* bands) {
  if (!bands) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  FSettings.SetBands(bands);
  return S_OK;
}

HRESULT TMWAudioFilter::GetEQEnabled(BOOL* enabled) {
  if (!enabled) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  *enabled = AsBool(FSettings.Enabled());
  return S_OK;
}

HRESULT TMWAudioFilter::SetEQEnabled(BOOL enabled) {
  TBCAutoLock lock(FcsFilter);
  FSettings.SetEnabled(enabled != FALSE);
  return S_OK;
}

HRESULT TMWAudioFilter::GetPCMCapture(BOOL* enabled) {
  if (!enabled) return E_POINTER;
  *enabled = AsBool(FHistory.Enabled());
  return S_OK;
}

HRESULT TMWAudioFilter::SetPCMCapture(BOOL enabled) {
  FHistory.SetEnabled(enabled != FALSE);
  return S_OK;
}

// ---- IAMStreamSelect ----------------------------------------------------------------------------

HRESULT TMWAudioFilter::Count(DWORD* streams) {
  if (!streams) return E_POINTER;
  TBCAutoLock lock(FcsFilter);
  DWORD connected = 0;
  for (TMWAudioFilterInputPin* pin : FInputPins)
    if (pin->IsConnected()) ++connected;
  *streams = connected;
  return S_OK;
}

HRESULT TMWAudioFilter::Info(long index, AM_MEDIA_TYPE** type, DWORD* flags, LCID* lcid, DWORD* group, WCHAR** name,
                             IUnknown** object, IUnknown** unknown) {
  TBCAutoLock lock(FcsFilter);
  if (!FStreamSwitching || index < 0 || static_cast<size_t>(index) >= FInputPins.size()) return S_FALSE;
  TMWAudioFilterInputPin* pin = FInputPins[static_cast<size_t>(index)];
  const TMWStreamName* entry =
      static_cast<size_t>(index) < FNames.Entries.size() ? &FNames.Entries[static_cast<size_t>(index)] : nullptr;
  if (type) *type = pin->IsConnected() ? BCCreateMediaType(pin->CurrentMediaType().get()) : nullptr;
  if (flags) *flags = pin == ActivePin() ? AMSTREAMSELECTINFO_EXCLUSIVE : 0;
  if (lcid) *lcid = entry ? entry->Lcid : 0;
  if (group) *group = 1;
  if (name) *name = TaskMemString(entry ? entry->Name : DefaultTrackName(static_cast<int>(index)));
  if (object) *object = nullptr;
  if (unknown) *unknown = nullptr;
  return S_OK;
}

HRESULT TMWAudioFilter::Enable(long index, DWORD flags) {
  if (flags == 0 || (flags & AMSTREAMSELECTENABLE_ENABLEALL)) return E_NOTIMPL;
  TBCAutoLock switch_lock(FSwitchLock);
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaControl> control;
  {
    TBCAutoLock lock(FcsFilter);
    if (!FStreamSwitching || index < 0 || static_cast<size_t>(index) >= FInputPins.size()) return S_FALSE;
    TMWAudioFilterInputPin* pin = FInputPins[static_cast<size_t>(index)];
    if (!pin->IsConnected() || !pin->IsInactive()) return S_FALSE;
    if (IFilterGraph* graph = GetFilterGraph()) {
      graph->QueryInterface(IID_PPV_ARGS(&seeking));
      graph->QueryInterface(IID_PPV_ARGS(&control));
    }
  }
  // The graph is stopped, re-seeked and restarted from this thread with only the switch lock
  // held: the graph calls back into Stop, Pause and Run, which take the filter lock.
  const FILTER_STATE state = State();
  LONGLONG position = 0;
  const bool has_position = seeking && SUCCEEDED(seeking->GetCurrentPosition(&position));
  if (state != State_Stopped && control) control->Stop();
  SelectStream(static_cast<int>(index));
  if (has_position)
    seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  if (control) {
    if (state == State_Paused) control->Pause();
    else if (state == State_Running) control->Run();
  }
  return S_OK;
}

}  // namespace qvr::audio
