#include "player/audio/BaseClassTransform.h"

#include <cstddef>
#include <new>

#include "player/audio/BaseClassPosition.h"

using Microsoft::WRL::ComPtr;

namespace qvr::audio {

// ---- TBCTransformFilter -------------------------------------------------------------------------

TBCTransformFilter::TBCTransformFilter(const wchar_t* objectName, IUnknown* outer, REFCLSID clsid)
    : TBCBaseFilter(objectName, outer, &FcsFilter, clsid) {}

TBCTransformFilter::~TBCTransformFilter() {
  delete FInput;
  delete FOutput;
}

int TBCTransformFilter::GetPinCount() { return 2; }

TBCBasePin* TBCTransformFilter::GetPin(int index) {
  if (!FInput) {
    HRESULT hr = S_OK;
    FInput = new (std::nothrow) TBCTransformInputPin(L"Transform input pin", this, &hr, L"XForm In", L"In");
    if (FInput) FOutput = new (std::nothrow) TBCTransformOutputPin(L"Transform output pin", this, &hr, L"XForm Out", L"Out");
    if (!FInput || !FOutput || FAILED(hr)) {
      delete FInput;
      delete FOutput;
      FInput = nullptr;
      FOutput = nullptr;
    }
  }
  if (index == 0) return FInput;
  if (index == 1) return FOutput;
  return nullptr;
}

HRESULT TBCTransformFilter::Stop() {
  TBCAutoLock lock(FcsFilter);
  if (IsStopped()) return S_OK;
  if (!StreamingInputConnected() || !FOutput || !FOutput->IsConnected()) {
    FState = State_Stopped;
    FEOSDelivered = false;
    return S_OK;
  }
  // Deactivating the inputs first makes the upstream threads' Receive fail fast (and frees a
  // thread blocked in our allocator); then the sample in progress is waited for.
  DeactivateInputs();
  TBCAutoLock receive(FcsReceive);
  FOutput->Inactive();
  const HRESULT hr = StopStreaming();
  if (SUCCEEDED(hr)) {
    FState = State_Stopped;
    FEOSDelivered = false;
  }
  return hr;
}

bool TBCTransformFilter::StreamingInputConnected() { return FInput && FInput->IsConnected(); }

void TBCTransformFilter::DeactivateInputs() { FInput->Inactive(); }

HRESULT TBCTransformFilter::Pause() {
  TBCAutoLock lock(FcsFilter);
  HRESULT hr = S_OK;
  if (State() == State_Paused) {
    // nothing to do
  } else if (!FInput || !FInput->IsConnected()) {
    // Nothing will ever arrive: tell downstream once.
    if (FOutput && !FEOSDelivered) {
      FOutput->DeliverEndOfStream();
      FEOSDelivered = true;
    }
    FState = State_Paused;
  } else if (!FOutput->IsConnected()) {
    FState = State_Paused;
  } else {
    if (State() == State_Stopped) {
      TBCAutoLock receive(FcsReceive);
      hr = StartStreaming();
    }
    if (SUCCEEDED(hr)) hr = TBCBaseFilter::Pause();
  }
  FSampleSkipped = false;
  FQualityChanged = false;
  return hr;
}

HRESULT TBCTransformFilter::Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }
HRESULT TBCTransformFilter::StartStreaming() { return S_OK; }
HRESULT TBCTransformFilter::StopStreaming() { return S_OK; }
HRESULT TBCTransformFilter::AlterQuality(Quality) { return S_FALSE; }
HRESULT TBCTransformFilter::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE*) { return S_OK; }
HRESULT TBCTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
HRESULT TBCTransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }
HRESULT TBCTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }

HRESULT TBCTransformFilter::Receive(IMediaSample* sample) {
  TBC_ASSERT(FInput && FOutput);
  return ReceiveWith(*FInput->SampleProps(), sample);
}

HRESULT TBCTransformFilter::ReceiveWith(const AM_SAMPLE2_PROPERTIES& props, IMediaSample* sample) {
  TBC_ASSERT(FOutput && FOutput->InputPin());
  if (props.dwStreamId != AM_STREAM_MEDIA) return FOutput->InputPin()->Receive(sample);

  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &out);
  if (FAILED(hr)) return hr;
  hr = Transform(sample, out);
  if (hr == S_OK) {
    hr = FOutput->InputPin()->Receive(out);
    FSampleSkipped = false;
  } else if (hr == S_FALSE) {
    // A skipped sample: downstream hears about the quality change once per run of them.
    out->Release();
    FSampleSkipped = true;
    if (!FQualityChanged.exchange(true)) NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
    return S_OK;
  }
  out->Release();
  return hr;
}

HRESULT TBCTransformFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample) {
  TBC_ASSERT(FInput);
  return InitializeOutputSampleFrom(*FInput->SampleProps(), sample, outSample);
}

HRESULT TBCTransformFilter::InitializeOutputSampleFrom(const AM_SAMPLE2_PROPERTIES& props, IMediaSample* sample,
                                                       IMediaSample** outSample) {
  TBC_ASSERT(FOutput && FOutput->Allocator());
  DWORD flags = FSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
  if (!(props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) flags |= AM_GBF_NOTASYNCPOINT;
  REFERENCE_TIME start = props.tStart, stop = props.tStop;
  IMediaSample* out = nullptr;
  const HRESULT hr = FOutput->Allocator()->GetBuffer(&out, (props.dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &start : nullptr,
                                                     (props.dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr, flags);
  *outSample = out;
  if (FAILED(hr)) return hr;
  TBC_ASSERT(out);

  ComPtr<IMediaSample2> out2;
  AM_SAMPLE2_PROPERTIES out_props{};
  if (SUCCEEDED(out->QueryInterface(IID_PPV_ARGS(&out2))) &&
      SUCCEEDED(out2->GetProperties(offsetof(AM_SAMPLE2_PROPERTIES, tStart), reinterpret_cast<BYTE*>(&out_props)))) {
    out_props.dwTypeSpecificFlags = props.dwTypeSpecificFlags;
    out_props.dwSampleFlags = (out_props.dwSampleFlags & AM_SAMPLE_TYPECHANGED) | (props.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED);
    out_props.tStart = props.tStart;
    out_props.tStop = props.tStop;
    out_props.cbData = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId);
    out2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId), reinterpret_cast<const BYTE*>(&out_props));
  } else {
    if (props.dwSampleFlags & AM_SAMPLE_TIMEVALID)
      out->SetTime(&start, (props.dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr);
    if (props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT) out->SetSyncPoint(TRUE);
    if (props.dwSampleFlags & AM_SAMPLE_PREROLL) out->SetPreroll(TRUE);
    if (props.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) out->SetDiscontinuity(TRUE);
  }
  if (props.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) FSampleSkipped = false;
  LONGLONG media_start = 0, media_stop = 0;
  if (sample->GetMediaTime(&media_start, &media_stop) == S_OK) out->SetMediaTime(&media_start, &media_stop);
  return S_OK;
}

HRESULT TBCTransformFilter::EndOfStream() {
  return FOutput ? FOutput->DeliverEndOfStream() : S_OK;
}

HRESULT TBCTransformFilter::BeginFlush() {
  return FOutput ? FOutput->DeliverBeginFlush() : S_OK;
}

HRESULT TBCTransformFilter::EndFlush() {
  return FOutput ? FOutput->DeliverEndFlush() : S_OK;
}

HRESULT TBCTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return FOutput ? FOutput->DeliverNewSegment(start, stop, rate) : S_OK;
}

// ---- TBCTransformInputPin -----------------------------------------------------------------------

TBCTransformInputPin::TBCTransformInputPin(const wchar_t* objectName, TBCTransformFilter* filter, HRESULT* hr,
                                           const wchar_t* name, const wchar_t* id)
    : TBCBaseInputPin(objectName, filter, filter->FilterLock(), hr, name, id), FTransformFilter(filter) {}

HRESULT TBCTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = FTransformFilter->CheckConnect(PINDIR_INPUT, pin);
  return FAILED(hr) ? hr : TBCBaseInputPin::CheckConnect(pin);
}

HRESULT TBCTransformInputPin::BreakConnect() {
  FTransformFilter->BreakConnect(PINDIR_INPUT);
  return TBCBaseInputPin::BreakConnect();
}

HRESULT TBCTransformInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = FTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
  return FAILED(hr) ? hr : TBCBaseInputPin::CompleteConnect(receivePin);
}

HRESULT TBCTransformInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  const HRESULT hr = FTransformFilter->CheckInputType(type);
  if (hr != S_OK) return hr;
  TBCTransformOutputPin* output = FTransformFilter->OutputPin();
  if (output && output->IsConnected()) return FTransformFilter->CheckTransform(type, &output->CurrentMediaType().get());
  return S_OK;
}

HRESULT TBCTransformInputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  const HRESULT hr = TBCBaseInputPin::SetMediaType(type);
  return FAILED(hr) ? hr : FTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT TBCTransformInputPin::CheckStreaming() {
  TBCTransformOutputPin* output = FTransformFilter->OutputPin();
  if (!output || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  return TBCBaseInputPin::CheckStreaming();
}

HRESULT TBCTransformInputPin::EndOfStream() {
  TBCAutoLock receive(FTransformFilter->ReceiveLock());
  HRESULT hr = CheckStreaming();
  if (hr == S_OK) hr = FTransformFilter->EndOfStream();
  return hr;
}

HRESULT TBCTransformInputPin::BeginFlush() {
  TBCAutoLock lock(*FLock);
  TBCTransformOutputPin* output = FTransformFilter->OutputPin();
  if (!IsConnected() || !output || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = TBCBaseInputPin::BeginFlush();
  return FAILED(hr) ? hr : FTransformFilter->BeginFlush();
}

HRESULT TBCTransformInputPin::EndFlush() {
  TBCAutoLock lock(*FLock);
  TBCTransformOutputPin* output = FTransformFilter->OutputPin();
  if (!IsConnected() || !output || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = FTransformFilter->EndFlush();
  return FAILED(hr) ? hr : TBCBaseInputPin::EndFlush();
}

HRESULT TBCTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBCBasePin::NewSegment(start, stop, rate);
  return FTransformFilter->NewSegment(start, stop, rate);
}

HRESULT TBCTransformInputPin::Receive(IMediaSample* sample) {
  TBCAutoLock receive(FTransformFilter->ReceiveLock());
  HRESULT hr = TBCBaseInputPin::Receive(sample);
  if (hr == S_OK) hr = FTransformFilter->Receive(sample);
  return hr;
}

// ---- TBCTransformOutputPin ----------------------------------------------------------------------

TBCTransformOutputPin::TBCTransformOutputPin(const wchar_t* objectName, TBCTransformFilter* filter, HRESULT* hr,
                                             const wchar_t* name, const wchar_t* id)
    : TBCBaseOutputPin(objectName, filter, filter->FilterLock(), hr, name, id), FTransformFilter(filter) {}

TBCTransformOutputPin::~TBCTransformOutputPin() {
  if (FPosition) FPosition->Release();
}

IPin* TBCTransformOutputPin::PositionPin() { return FTransformFilter->InputPin(); }

HRESULT TBCTransformOutputPin::PositionObject(IUnknown** object) {
  std::lock_guard lock(FPositionLock);
  if (!FPosition) {
    HRESULT hr = S_OK;
    auto* pass_through = new (std::nothrow) TBCPosPassThru(L"Transform output pass-through", GetOwner(), &hr, PositionPin());
    if (!pass_through) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
      delete pass_through;
      return hr;
    }
    FPosition = pass_through->NonDelegatingUnknown();
    FPosition->AddRef();
  }
  *object = FPosition;
  return S_OK;
}

HRESULT TBCTransformOutputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IMediaPosition) || IsEqualIID(iid, IID_IMediaSeeking)) {
    IUnknown* position = nullptr;
    const HRESULT hr = PositionObject(&position);
    if (FAILED(hr)) {
      *object = nullptr;
      return hr;
    }
    return position->QueryInterface(iid, object);
  }
  return TBCBaseOutputPin::NonDelegatingQueryInterface(iid, object);
}

HRESULT TBCTransformOutputPin::Notify(IBaseFilter*, Quality quality) {
  const HRESULT hr = FTransformFilter->AlterQuality(quality);
  if (hr != S_FALSE) return hr;
  TBCTransformInputPin* input = FTransformFilter->InputPin();
  return input ? input->PassNotify(quality) : VFW_E_NOT_FOUND;
}

HRESULT TBCTransformOutputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = FTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
  return FAILED(hr) ? hr : TBCBaseOutputPin::CheckConnect(pin);
}

HRESULT TBCTransformOutputPin::BreakConnect() {
  FTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return TBCBaseOutputPin::BreakConnect();
}

HRESULT TBCTransformOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = FTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
  return FAILED(hr) ? hr : TBCBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT TBCTransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  TBCTransformInputPin* input = FTransformFilter->InputPin();
  if (!input || !input->IsConnected()) return E_INVALIDARG;
  return FTransformFilter->CheckTransform(&input->CurrentMediaType().get(), type);
}

HRESULT TBCTransformOutputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  const HRESULT hr = TBCBaseOutputPin::SetMediaType(type);
  return FAILED(hr) ? hr : FTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT TBCTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  return FTransformFilter->DecideBufferSize(allocator, properties);
}

HRESULT TBCTransformOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
  TBCTransformInputPin* input = FTransformFilter->InputPin();
  if (!input || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return FTransformFilter->GetMediaType(position, type);
}

}  // namespace qvr::audio
