#include "player/audio/tests/AudioTestPeers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qvr::audiotest {
namespace {

std::atomic<long> gPeers{0};

template <typename T>
HRESULT Hand(T* object, void** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

AM_MEDIA_TYPE* CopyToTaskMem(const AM_MEDIA_TYPE& from) {
  auto* to = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  *to = from;
  to->pUnk = nullptr;
  to->pbFormat = nullptr;
  if (from.cbFormat) {
    to->pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(from.cbFormat));
    std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
  }
  return to;
}

void FreeTaskMem(AM_MEDIA_TYPE* type) {
  if (!type) return;
  if (type->cbFormat) ::CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  ::CoTaskMemFree(type);
}

TTestType FromMediaType(const AM_MEDIA_TYPE& from) {
  TTestType copy;
  copy.Type = from;
  copy.Type.pUnk = nullptr;
  copy.Format.assign(from.pbFormat, from.pbFormat + from.cbFormat);
  copy.Type.pbFormat = copy.Format.empty() ? nullptr : copy.Format.data();
  return copy;
}

LPWSTR TaskMemText(const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
  std::memcpy(copy, text, bytes);
  return copy;
}

// A list of types or pins, as the enumeration interfaces hand them out.
class TTypeEnum final : public TPeerObject, public IEnumMediaTypes {
 public:
  explicit TTypeEnum(std::vector<TTestType> types, size_t at = 0) : FTypes(std::move(types)), FAt(at) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) return Hand(static_cast<IEnumMediaTypes*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && FAt < FTypes.size()) types[n++] = CopyToTaskMem(FTypes[FAt++].Type);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    FAt = std::min(FTypes.size(), FAt + count);
    return FAt < FTypes.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    FAt = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override {
    *out = new TTypeEnum(FTypes, FAt);
    return S_OK;
  }

 private:
  std::vector<TTestType> FTypes;
  size_t FAt;
};

class TPinEnum final : public TPeerObject, public IEnumPins {
 public:
  explicit TPinEnum(std::vector<IPin*> pins, size_t at = 0) : FPins(std::move(pins)), FAt(at) {
    for (IPin* p : FPins) p->AddRef();
  }
  ~TPinEnum() override {
    for (IPin* p : FPins) p->Release();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IEnumPins) return Hand(static_cast<IEnumPins*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && FAt < FPins.size()) {
      pins[n] = FPins[FAt++];
      pins[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    FAt = std::min(FPins.size(), FAt + count);
    return FAt < FPins.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    FAt = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
    *out = new TPinEnum(FPins, FAt);
    return S_OK;
  }

 private:
  std::vector<IPin*> FPins;
  size_t FAt;
};

// A memory allocator that never grants more than `cap` bytes per buffer.
class TCappedAllocator final : public TPeerObject, public IMemAllocator {
 public:
  TCappedAllocator(ComPtr<IMemAllocator> inner, long cap) : FInner(std::move(inner)), FCap(cap) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IMemAllocator) return Hand(static_cast<IMemAllocator*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES capped = *request;
    capped.cbBuffer = std::min(capped.cbBuffer, FCap);
    return FInner->SetProperties(&capped, actual);
  }
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* properties) override { return FInner->GetProperties(properties); }
  HRESULT STDMETHODCALLTYPE Commit() override { return FInner->Commit(); }
  HRESULT STDMETHODCALLTYPE Decommit() override { return FInner->Decommit(); }
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override {
    return FInner->GetBuffer(sample, start, stop, flags);
  }
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override { return FInner->ReleaseBuffer(sample); }

 private:
  ComPtr<IMemAllocator> FInner;
  long FCap;
};

}  // namespace

// ---- Types and signals --------------------------------------------------------------------------

TTestType& TTestType::operator=(const TTestType& other) {
  if (this == &other) return *this;
  Type = other.Type;
  Format = other.Format;
  Type.pbFormat = Format.empty() ? nullptr : Format.data();
  return *this;
}

TTestType WaveType(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag, const GUID& subtype) {
  TTestType t;
  WAVEFORMATEX wave{};
  wave.wFormatTag = tag;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = bits;
  wave.nBlockAlign = static_cast<WORD>(channels * ((bits + 7) / 8));
  wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  t.Format.assign(reinterpret_cast<const BYTE*>(&wave), reinterpret_cast<const BYTE*>(&wave) + sizeof wave);
  t.Type.majortype = MEDIATYPE_Audio;
  t.Type.subtype = subtype;
  t.Type.bFixedSizeSamples = TRUE;
  t.Type.lSampleSize = wave.nBlockAlign;
  t.Type.formattype = FORMAT_WaveFormatEx;
  t.Type.cbFormat = sizeof wave;
  t.Type.pbFormat = t.Format.data();
  return t;
}

int16_t IndexedSample(size_t frame, int channel) {
  return static_cast<int16_t>((frame * 7 + static_cast<size_t>(channel) * 1000) % 20000) - 10000;
}

std::vector<uint8_t> IndexedPcm16(int channels, size_t frames) {
  std::vector<uint8_t> pcm(frames * static_cast<size_t>(channels) * 2);
  for (size_t f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) {
      const int16_t s = IndexedSample(f, c);
      std::memcpy(&pcm[(f * static_cast<size_t>(channels) + static_cast<size_t>(c)) * 2], &s, 2);
    }
  return pcm;
}

std::vector<uint8_t> ConstantPcm16(int channels, size_t frames, int16_t value) {
  std::vector<uint8_t> pcm(frames * static_cast<size_t>(channels) * 2);
  for (size_t i = 0; i < pcm.size(); i += 2) std::memcpy(&pcm[i], &value, 2);
  return pcm;
}

std::vector<uint8_t> FrameIndexPcm16(size_t frames) {
  std::vector<uint8_t> pcm(frames * 4);
  for (size_t f = 0; f < frames; ++f) {
    const uint16_t left = f & 0x7FFF, right = static_cast<uint16_t>(f >> 15);
    std::memcpy(&pcm[f * 4], &left, 2);
    std::memcpy(&pcm[f * 4 + 2], &right, 2);
  }
  return pcm;
}

uint32_t FrameIndexAt(const uint8_t* frame) {
  uint16_t left, right;
  std::memcpy(&left, frame, 2);
  std::memcpy(&right, frame + 2, 2);
  return static_cast<uint32_t>(right) << 15 | left;
}

std::vector<uint8_t> SinePcm16(const std::vector<double>& amplitudes, size_t frames, int rate, double hz) {
  const size_t channels = amplitudes.size();
  std::vector<uint8_t> pcm(frames * channels * 2);
  for (size_t f = 0; f < frames; ++f)
    for (size_t c = 0; c < channels; ++c) {
      const auto s = static_cast<int16_t>(std::lround(amplitudes[c] * std::sin(6.283185307179586 * hz * static_cast<double>(f) / rate)));
      std::memcpy(&pcm[(f * channels + c) * 2], &s, 2);
    }
  return pcm;
}

std::vector<uint8_t> Concatenate(const std::vector<TSampleRecord>& samples) {
  std::vector<uint8_t> all;
  for (const auto& s : samples) all.insert(all.end(), s.Data.begin(), s.Data.end());
  return all;
}

TPeerObject::TPeerObject() { ++gPeers; }
TPeerObject::~TPeerObject() { --gPeers; }
long TPeerObject::Alive() { return gPeers.load(); }

// ---- Sink ---------------------------------------------------------------------------------------

HRESULT TTestSinkPin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) return Hand(static_cast<IPin*>(this), object);
  if (iid == IID_IMemInputPin) return Hand(static_cast<IMemInputPin*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}
ULONG TTestSinkPin::AddRef() { return FOwner->AddRef(); }
ULONG TTestSinkPin::Release() { return FOwner->Release(); }

HRESULT TTestSinkPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  if (FOwner->Connected) return VFW_E_ALREADY_CONNECTED;
  if (QueryAccept(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  FOwner->Connected = connector;
  FOwner->ConnectedType = FromMediaType(*type);
  return S_OK;
}

HRESULT TTestSinkPin::Disconnect() {
  if (!FOwner->Connected) return S_FALSE;
  FOwner->Connected.Reset();
  FOwner->NotifiedAllocator.Reset();
  return S_OK;
}

HRESULT TTestSinkPin::ConnectedTo(IPin** pin) {
  *pin = FOwner->Connected.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT TTestSinkPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!FOwner->Connected) return VFW_E_NOT_CONNECTED;
  AM_MEDIA_TYPE* copy = CopyToTaskMem(FOwner->ConnectedType.Type);
  *type = *copy;
  ::CoTaskMemFree(copy);
  return S_OK;
}

HRESULT TTestSinkPin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = FOwner;
  FOwner->AddRef();
  info->dir = PINDIR_INPUT;
  lstrcpynW(info->achName, L"In", MAX_PIN_NAME);
  return S_OK;
}

HRESULT TTestSinkPin::QueryDirection(PIN_DIRECTION* direction) {
  *direction = PINDIR_INPUT;
  return S_OK;
}

HRESULT TTestSinkPin::QueryId(LPWSTR* id) {
  *id = TaskMemText(L"In");
  return S_OK;
}

HRESULT TTestSinkPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  return FOwner->AcceptsPcm && type && type->majortype == MEDIATYPE_Audio ? S_OK : S_FALSE;
}

HRESULT TTestSinkPin::EnumMediaTypes(IEnumMediaTypes** types) {
  *types = new TTypeEnum(FOwner->OfferedTypes);
  return S_OK;
}

HRESULT TTestSinkPin::EndOfStream() {
  ++FOwner->EndOfStreams;
  return S_OK;
}
HRESULT TTestSinkPin::BeginFlush() {
  ++FOwner->BeginFlushes;
  return S_OK;
}
HRESULT TTestSinkPin::EndFlush() {
  ++FOwner->EndFlushes;
  return S_OK;
}
HRESULT TTestSinkPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  FOwner->SegmentStart = start;
  FOwner->SegmentStop = stop;
  FOwner->SegmentRate = rate;
  ++FOwner->Segments;
  return S_OK;
}

HRESULT TTestSinkPin::GetAllocator(IMemAllocator** allocator) {
  if (!FOwner->OfferedAllocator) {
    ComPtr<IMemAllocator> memory;
    const HRESULT hr = ::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&memory));
    if (FAILED(hr)) return hr;
    if (FOwner->AllocatorCap > 0) FOwner->OfferedAllocator = Adopt<IMemAllocator>(new TCappedAllocator(memory, FOwner->AllocatorCap));
    else FOwner->OfferedAllocator = memory;
  }
  return FOwner->OfferedAllocator.CopyTo(allocator);
}

HRESULT TTestSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  FOwner->NotifiedAllocator = allocator;
  return S_OK;
}

HRESULT TTestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT TTestSinkPin::Receive(IMediaSample* sample) { return FOwner->Record(sample); }

HRESULT TTestSinkPin::ReceiveMultiple(IMediaSample** samples, long count, long* done) {
  *done = 0;
  for (long i = 0; i < count; ++i, ++*done)
    if (const HRESULT hr = Receive(samples[i]); hr != S_OK) return hr;
  return S_OK;
}

TTestSink::TTestSink(const CLSID& clsid) : FClsid(clsid), FPin(this) {}

HRESULT TTestSink::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter)
    return Hand(static_cast<IBaseFilter*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT TTestSink::GetClassID(CLSID* clsid) {
  *clsid = FClsid;
  return S_OK;
}
HRESULT TTestSink::Stop() {
  FState = State_Stopped;
  return S_OK;
}
HRESULT TTestSink::Pause() {
  FState = State_Paused;
  return S_OK;
}
HRESULT TTestSink::Run(REFERENCE_TIME) {
  FState = State_Running;
  return S_OK;
}
HRESULT TTestSink::GetState(DWORD, FILTER_STATE* state) {
  *state = FState;
  return S_OK;
}
HRESULT TTestSink::SetSyncSource(IReferenceClock*) { return S_OK; }
HRESULT TTestSink::GetSyncSource(IReferenceClock** clock) {
  *clock = nullptr;
  return S_OK;
}
HRESULT TTestSink::EnumPins(IEnumPins** pins) {
  *pins = new TPinEnum({&FPin});
  return S_OK;
}
HRESULT TTestSink::QueryFilterInfo(FILTER_INFO* info) {
  lstrcpynW(info->achName, L"Test sink", MAX_FILTER_NAME);
  info->pGraph = nullptr;
  return S_OK;
}
HRESULT TTestSink::JoinFilterGraph(IFilterGraph*, LPCWSTR) { return S_OK; }

void TTestSink::CloseGate() {
  std::lock_guard lock(FLock);
  FGateOpen = false;
}

void TTestSink::OpenGate() {
  {
    std::lock_guard lock(FLock);
    FGateOpen = true;
  }
  FChanged.notify_all();
}

bool TTestSink::WaitForSamples(size_t count, DWORD milliseconds) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return FSamples.size() >= count; });
}

bool TTestSink::WaitUntilReceiving(DWORD milliseconds) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return FInReceive; });
}

std::vector<TSampleRecord> TTestSink::Samples() {
  std::lock_guard lock(FLock);
  return FSamples;
}

void TTestSink::ClearRecords() {
  std::lock_guard lock(FLock);
  FSamples.clear();
  EndOfStreams = BeginFlushes = EndFlushes = Segments = 0;
}

HRESULT TTestSink::Record(IMediaSample* sample) {
  TSampleRecord record;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  record.Data.assign(data, data + sample->GetActualDataLength());
  record.TimeResult = sample->GetTime(&record.Start, &record.Stop);
  record.HasMediaTime = sample->GetMediaTime(&record.MediaStart, &record.MediaStop) == S_OK;
  record.SyncPoint = sample->IsSyncPoint() == S_OK;
  record.Preroll = sample->IsPreroll() == S_OK;
  record.Discontinuity = sample->IsDiscontinuity() == S_OK;
  AM_MEDIA_TYPE* type = nullptr;
  if (sample->GetMediaType(&type) == S_OK && type) {
    record.HasType = true;
    record.Type = FromMediaType(*type);
  }
  FreeTaskMem(type);
  record.Sample = sample;
  std::unique_lock lock(FLock);
  FInReceive = true;
  FChanged.notify_all();
  FChanged.wait_for(lock, std::chrono::seconds(10), [&] { return FGateOpen; });
  FInReceive = false;
  FSamples.push_back(std::move(record));
  lock.unlock();
  FChanged.notify_all();
  return S_OK;
}

// ---- Source -------------------------------------------------------------------------------------

TTestSourcePin::TTestSourcePin(TTestSource* owner, int index, TTestType type, std::vector<uint8_t> pcm, size_t chunkFrames)
    : FOwner(owner), FIndex(index), FType(std::move(type)), FPcm(std::move(pcm)), FChunkFrames(chunkFrames) {}

TTestSourcePin::~TTestSourcePin() { StopStreaming(); }

HRESULT TTestSourcePin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) return Hand(static_cast<IPin*>(this), object);
  if (iid == IID_IMediaSeeking) return Hand(static_cast<IMediaSeeking*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}
ULONG TTestSourcePin::AddRef() { return FOwner->AddRef(); }
ULONG TTestSourcePin::Release() { return FOwner->Release(); }

HRESULT TTestSourcePin::Connect(IPin* receiver, const AM_MEDIA_TYPE*) {
  if (!receiver) return E_POINTER;
  if (FPeer) return VFW_E_ALREADY_CONNECTED;
  HRESULT hr = receiver->ReceiveConnection(this, &FType.Type);
  if (FAILED(hr)) return hr;
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  if (FAILED(hr = receiver->QueryInterface(IID_PPV_ARGS(&input))) ||
      (FAILED(input->GetAllocator(&allocator)) &&
       FAILED(hr = ::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator))))) {
    receiver->Disconnect();
    return hr;
  }
  const size_t buffer = std::max(FChunkFrames * static_cast<size_t>(FType.FrameBytes()), std::min<size_t>(FPcm.size(), 1 << 21));
  ALLOCATOR_PROPERTIES wanted{4, static_cast<long>(buffer), 1, 0}, actual{};
  if (FAILED(hr = allocator->SetProperties(&wanted, &actual)) || FAILED(hr = input->NotifyAllocator(allocator.Get(), FALSE))) {
    receiver->Disconnect();
    return hr;
  }
  FPeer = receiver;
  FInput = input;
  FAllocator = allocator;
  return S_OK;
}

HRESULT TTestSourcePin::Disconnect() {
  if (!FPeer) return S_FALSE;
  StopStreaming();
  FPeer.Reset();
  FInput.Reset();
  FAllocator.Reset();
  return S_OK;
}

HRESULT TTestSourcePin::ConnectedTo(IPin** pin) {
  *pin = FPeer.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT TTestSourcePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!FPeer) return VFW_E_NOT_CONNECTED;
  AM_MEDIA_TYPE* copy = CopyToTaskMem(FType.Type);
  *type = *copy;
  ::CoTaskMemFree(copy);
  return S_OK;
}

HRESULT TTestSourcePin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = FOwner;
  FOwner->AddRef();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, (L"Audio " + std::to_wstring(FIndex + 1)).c_str(), MAX_PIN_NAME);
  return S_OK;
}

HRESULT TTestSourcePin::QueryDirection(PIN_DIRECTION* direction) {
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT TTestSourcePin::QueryId(LPWSTR* id) {
  *id = TaskMemText((L"Audio " + std::to_wstring(FIndex + 1)).c_str());
  return S_OK;
}

HRESULT TTestSourcePin::EnumMediaTypes(IEnumMediaTypes** types) {
  *types = new TTypeEnum({FType});
  return S_OK;
}

HRESULT TTestSourcePin::GetCapabilities(DWORD* capabilities) {
  *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                  AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos;
  return S_OK;
}
HRESULT TTestSourcePin::CheckCapabilities(DWORD* capabilities) {
  DWORD mine;
  GetCapabilities(&mine);
  const DWORD asked = *capabilities;
  *capabilities &= mine;
  return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}
HRESULT TTestSourcePin::IsFormatSupported(const GUID* format) { return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE; }
HRESULT TTestSourcePin::QueryPreferredFormat(GUID* format) {
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}
HRESULT TTestSourcePin::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }
HRESULT TTestSourcePin::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }
HRESULT TTestSourcePin::SetTimeFormat(const GUID* format) { return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG; }
HRESULT TTestSourcePin::GetDuration(LONGLONG* duration) {
  *duration = static_cast<LONGLONG>(FPcm.size() / static_cast<size_t>(FType.FrameBytes())) * 10000000 / FType.Rate();
  return S_OK;
}
HRESULT TTestSourcePin::GetStopPosition(LONGLONG* stop) { return GetDuration(stop); }
HRESULT TTestSourcePin::GetCurrentPosition(LONGLONG* current) {
  *current = TimeOf(FPosition);
  return S_OK;
}
HRESULT TTestSourcePin::ConvertTimeFormat(LONGLONG* target, const GUID*, LONGLONG source, const GUID*) {
  *target = source;
  return S_OK;
}
HRESULT TTestSourcePin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) {
  if ((currentFlags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning && current)
    FOwner->SeekAll(static_cast<double>(*current) / 1e7);
  return S_OK;
}
HRESULT TTestSourcePin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  if (current) GetCurrentPosition(current);
  if (stop) GetDuration(stop);
  return S_OK;
}
HRESULT TTestSourcePin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest) *earliest = 0;
  if (latest) GetDuration(latest);
  return S_OK;
}
HRESULT TTestSourcePin::GetRate(double* rate) {
  *rate = 1.0;
  return S_OK;
}
HRESULT TTestSourcePin::GetPreroll(LONGLONG* preroll) {
  *preroll = 0;
  return S_OK;
}

REFERENCE_TIME TTestSourcePin::TimeOf(size_t frame) const {
  return static_cast<REFERENCE_TIME>(frame) * 10000000 / FType.Rate();
}

HRESULT TTestSourcePin::Commit() { return FAllocator ? FAllocator->Commit() : S_OK; }
void TTestSourcePin::Decommit() {
  if (FAllocator) FAllocator->Decommit();
}

HRESULT TTestSourcePin::Deliver(const TOptions& options) {
  if (!FInput) return VFW_E_NOT_CONNECTED;
  const size_t frame_bytes = static_cast<size_t>(FType.FrameBytes());
  const size_t total = FPcm.size() / frame_bytes;
  const size_t frames = std::min(options.Frames ? options.Frames : FChunkFrames, total - std::min(total, FPosition.load()));
  ComPtr<IMediaSample> sample;
  HRESULT hr = FAllocator->GetBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const size_t fits = std::min(frames, static_cast<size_t>(sample->GetSize()) / frame_bytes);
  if (fits < frames) return E_INVALIDARG;  // a test asked for more than a buffer holds
  std::memcpy(data, FPcm.data() + FPosition * frame_bytes, frames * frame_bytes);
  sample->SetActualDataLength(static_cast<long>(frames * frame_bytes));
  if (!options.NoTimes) {
    REFERENCE_TIME start = TimeOf(FPosition) - TimeOf(FSegmentFrame), stop = TimeOf(FPosition + frames) - TimeOf(FSegmentFrame);
    sample->SetTime(&start, &stop);
  }
  if (!options.NoMediaTimes) {
    LONGLONG media_start = static_cast<LONGLONG>(FPosition.load()), media_stop = static_cast<LONGLONG>(FPosition + frames);
    sample->SetMediaTime(&media_start, &media_stop);
  }
  sample->SetSyncPoint(TRUE);
  if (options.Discontinuity) sample->SetDiscontinuity(TRUE);
  if (options.Preroll) sample->SetPreroll(TRUE);
  if (options.AttachType) sample->SetMediaType(const_cast<AM_MEDIA_TYPE*>(&options.AttachType->Type));
  if (options.StreamId != AM_STREAM_MEDIA) {
    ComPtr<IMediaSample2> sample2;
    AM_SAMPLE2_PROPERTIES props{};
    if (SUCCEEDED(sample.As(&sample2)) && SUCCEEDED(sample2->GetProperties(sizeof props, reinterpret_cast<BYTE*>(&props)))) {
      props.dwStreamId = options.StreamId;
      props.cbData = sizeof props;
      sample2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, pMediaType), reinterpret_cast<BYTE*>(&props));
    }
  }
  FLastSample = sample.Get();
  hr = FInput->Receive(sample.Get());
  FPosition += frames;
  return hr;
}

HRESULT TTestSourcePin::DeliverEndOfStream() { return FPeer ? FPeer->EndOfStream() : VFW_E_NOT_CONNECTED; }
HRESULT TTestSourcePin::DeliverBeginFlush() { return FPeer ? FPeer->BeginFlush() : VFW_E_NOT_CONNECTED; }
HRESULT TTestSourcePin::DeliverEndFlush() { return FPeer ? FPeer->EndFlush() : VFW_E_NOT_CONNECTED; }
HRESULT TTestSourcePin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return FPeer ? FPeer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

HRESULT TTestSourcePin::QueryPeerAccept(const TTestType& type) {
  return FPeer ? FPeer->QueryAccept(&type.Type) : VFW_E_NOT_CONNECTED;
}

void TTestSourcePin::SeekTo(size_t frame) {
  FPosition = frame;
  FSegmentFrame = frame;
}

void TTestSourcePin::StartStreaming() {
  if (!FPeer || FThread.joinable()) return;
  FStopRequested = false;
  FThread = std::thread([this] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    FPeer->NewSegment(TimeOf(FSegmentFrame), 0x7FFFFFFFFFFFFFFF, 1.0);
    bool first = true;
    const size_t total = FPcm.size() / static_cast<size_t>(FType.FrameBytes());
    while (!FStopRequested && FPosition < total) {
      TOptions options;
      options.Discontinuity = first;
      first = false;
      const HRESULT hr = Deliver(options);
      if (hr != S_OK) break;
    }
    if (!FStopRequested && FPosition >= total) FPeer->EndOfStream();
    ::CoUninitialize();
  });
}

void TTestSourcePin::StopStreaming() {
  FStopRequested = true;
  Decommit();  // frees a thread waiting for a buffer
  if (FThread.joinable()) FThread.join();
}

TTestSource::TTestSource(const CLSID& clsid) : FClsid(clsid) {}

TTestSource::~TTestSource() {
  for (auto& pin : FPins) pin->StopStreaming();
}

TTestSourcePin* TTestSource::AddPin(const TTestType& type, std::vector<uint8_t> pcm, size_t chunkFrames) {
  FPins.push_back(std::make_unique<TTestSourcePin>(this, static_cast<int>(FPins.size()), type, std::move(pcm), chunkFrames));
  return FPins.back().get();
}

HRESULT TTestSource::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter)
    return Hand(static_cast<IBaseFilter*>(this), object);
  if (iid == IID_IPropertyBag && !Properties.empty()) return Hand(static_cast<IPropertyBag*>(this), object);
  if (iid == __uuidof(audio::ITrackInfo) && !Tracks.empty()) return Hand(static_cast<audio::ITrackInfo*>(this), object);
  if (iid == IID_IAMStreamSelect && !Streams.empty()) return Hand(static_cast<IAMStreamSelect*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT TTestSource::GetClassID(CLSID* clsid) {
  *clsid = FClsid;
  return S_OK;
}

HRESULT TTestSource::Stop() {
  for (auto& pin : FPins) pin->StopStreaming();
  FState = State_Stopped;
  return S_OK;
}

HRESULT TTestSource::Pause() {
  if (FState == State_Stopped)
    for (auto& pin : FPins) {
      if (FAILED(pin->Commit())) continue;
      if (Streaming) pin->StartStreaming();
    }
  FState = State_Paused;
  return S_OK;
}

HRESULT TTestSource::Run(REFERENCE_TIME) {
  if (FState == State_Stopped) Pause();
  FState = State_Running;
  return S_OK;
}

HRESULT TTestSource::GetState(DWORD, FILTER_STATE* state) {
  *state = FState;
  return S_OK;
}
HRESULT TTestSource::SetSyncSource(IReferenceClock*) { return S_OK; }
HRESULT TTestSource::GetSyncSource(IReferenceClock** clock) {
  *clock = nullptr;
  return S_OK;
}

HRESULT TTestSource::EnumPins(IEnumPins** pins) {
  std::vector<IPin*> list;
  for (auto& pin : FPins) list.push_back(pin.get());
  *pins = new TPinEnum(list);
  return S_OK;
}

HRESULT TTestSource::QueryFilterInfo(FILTER_INFO* info) {
  lstrcpynW(info->achName, FName.c_str(), MAX_FILTER_NAME);
  info->pGraph = FGraph;
  if (FGraph) FGraph->AddRef();
  return S_OK;
}

HRESULT TTestSource::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  FGraph = graph;
  FName = name ? name : L"";
  return S_OK;
}

void TTestSource::SeekAll(double seconds) {
  const bool active = FState != State_Stopped;
  for (auto& pin : FPins) {
    if (active && pin->Peer()) pin->DeliverBeginFlush();
    pin->StopStreaming();
    if (active && pin->Peer()) pin->DeliverEndFlush();
  }
  for (auto& pin : FPins) pin->SeekTo(static_cast<size_t>(seconds * pin->Type().Rate()));
  for (auto& pin : FPins) {
    if (active) {
      pin->Commit();
      if (Streaming) pin->StartStreaming();
    }
  }
}

HRESULT TTestSource::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  const auto found = Properties.find(name);
  if (found == Properties.end()) return E_INVALIDARG;
  value->vt = VT_BSTR;
  value->bstrVal = ::SysAllocString(found->second.c_str());
  return S_OK;
}

namespace {

// The track record as the splitters declare and fill it, independent of the filter's own
// declaration: byte-packed, 27 bytes.
#pragma pack(push, 1)
struct TPublishedTrackElement {
  WORD Size;
  BYTE Type;
  BOOL FlagDefault;
  BOOL FlagForced;
  BOOL FlagLacing;
  UINT MinCache;
  UINT MaxCache;
  CHAR Language[4];
};
#pragma pack(pop)

}  // namespace

// As the splitters do: the whole record of their layout is cleared and its size set.
BOOL TTestSource::GetTrackInfo(UINT track, audio::TMWTrackElement* element) {
  if (track >= Tracks.size() || !element) return FALSE;
  auto* record = reinterpret_cast<TPublishedTrackElement*>(element);
  std::memset(record, 0, sizeof *record);
  record->Size = sizeof *record;
  record->Type = Tracks[track].Type;
  record->FlagDefault = Tracks[track].Default ? TRUE : FALSE;
  record->MinCache = 1;
  record->MaxCache = 0x01010101;  // non-zero bytes right before the language
  std::memcpy(record->Language, Tracks[track].Language, std::min<size_t>(3, std::strlen(Tracks[track].Language)));
  return TRUE;
}

BSTR TTestSource::GetTrackName(UINT track) {
  return track < Tracks.size() && Tracks[track].Name ? ::SysAllocString(Tracks[track].Name) : nullptr;
}

HRESULT TTestSource::Count(DWORD* count) {
  *count = static_cast<DWORD>(Streams.size());
  return S_OK;
}

HRESULT TTestSource::Info(long index, AM_MEDIA_TYPE** type, DWORD* flags, LCID* lcid, DWORD* group, WCHAR** name,
                          IUnknown** object, IUnknown** unknown) {
  if (index < 0 || static_cast<size_t>(index) >= Streams.size()) return S_FALSE;
  const TStream& stream = Streams[static_cast<size_t>(index)];
  if (type) *type = nullptr;
  if (flags) *flags = 0;
  if (lcid) *lcid = stream.Lcid;
  if (group) *group = stream.Group;
  if (name) *name = stream.Name ? TaskMemText(stream.Name) : nullptr;
  if (object) *object = nullptr;
  if (unknown) *unknown = nullptr;
  return S_OK;
}

// ---- Callback -----------------------------------------------------------------------------------

HRESULT TTestCallback::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == __uuidof(IMWAudioFilterPCMCallBack))
    return Hand(static_cast<IMWAudioFilterPCMCallBack*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT TTestCallback::OnPCMData(BYTE* data, int32_t length, int32_t* newLength, TMWAudioFormat* format) {
  ++Buffers;
  if (format && format->BitsPerSample == 16) {
    int peak = Peak;
    for (int32_t i = 0; i + 1 < length; i += 2) {
      int16_t s;
      std::memcpy(&s, data + i, 2);
      peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    Peak = peak;
    if (length >= 2) {
      int16_t s;
      std::memcpy(&s, data + length - 2, 2);
      LastSample = s;
    }
  }
  if (ShortenTo != kKeep) *newLength = ShortenTo;
  return S_OK;
}

HRESULT TTestCallback::OnFormatChange(TMWAudioFormat* format) {
  ++FormatChanges;
  if (format) LastFormat = *format;
  if (DuringFormatChange) DuringFormatChange();
  return S_OK;
}

HRESULT TTestCallback::OnFlush() {
  ++Flushes;
  return S_OK;
}

int CountClass(IFilterGraph* graph, const CLSID& clsid) {
  int count = 0;
  ComPtr<IEnumFilters> filters;
  if (FAILED(graph->EnumFilters(&filters))) return 0;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    CLSID found;
    if (SUCCEEDED(filter->GetClassID(&found)) && IsEqualCLSID(found, clsid)) ++count;
  }
  return count;
}

}  // namespace qvr::audiotest
