// Peer filters for the audio filter's tests under Windows, written by hand on plain COM (not on
// the framework under test): a source that pushes known PCM with known time stamps from one or
// more output pins, a sink that records everything that reaches it, and a PCM callback that
// counts and measures what it is shown.
#pragma once

#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/win/DirectShow.h"
#include "player/audio/MWAudioFilterInterface.h"
#include "player/audio/MWAudioStreamNames.h"

namespace qvr::audiotest {

using Microsoft::WRL::ComPtr;

// Takes over a reference the caller owns. MinGW's ComPtr::Attach adds a reference of its own
// (unlike the Windows SDK's), so `Attach(new T)` would leak one: every peer is adopted instead.
template <typename T>
ComPtr<T> Adopt(T* object) {
  ComPtr<T> owner(object);
  if (object) object->Release();
  return owner;
}

// An audio media type with its own format block (the block lives in Format; Type points at it).
struct TTestType {
  TTestType() = default;
  TTestType(const TTestType& other) { *this = other; }
  TTestType& operator=(const TTestType& other);
  AM_MEDIA_TYPE Type{};
  std::vector<BYTE> Format;
  const WAVEFORMATEX& Wave() const { return *reinterpret_cast<const WAVEFORMATEX*>(Format.data()); }
  int FrameBytes() const { return Wave().nBlockAlign; }
  int Rate() const { return static_cast<int>(Wave().nSamplesPerSec); }
};

// WAVEFORMATEX types (tag 1 PCM unless given; subtype PCM unless given).
TTestType WaveType(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = WAVE_FORMAT_PCM,
                   const GUID& subtype = MEDIASUBTYPE_PCM);

// Frames whose samples (16-bit) carry their frame index and channel: sample = (frame * 7 +
// channel * 1000) mod 20000 - 10000, a known, varied signal.
std::vector<uint8_t> IndexedPcm16(int channels, size_t frames);
int16_t IndexedSample(size_t frame, int channel);
// A constant 16-bit signal, every sample `value`.
std::vector<uint8_t> ConstantPcm16(int channels, size_t frames, int16_t value);
// Stereo 16-bit frames that carry their index: left = index & 0x7FFF, right = index >> 15.
std::vector<uint8_t> FrameIndexPcm16(size_t frames);
uint32_t FrameIndexAt(const uint8_t* frame);
// Sines of `hz`, channel c at amplitude amplitudes[c] (16-bit).
std::vector<uint8_t> SinePcm16(const std::vector<double>& amplitudes, size_t frames, int rate, double hz);

struct TSampleRecord;
// The data of the samples one after the other.
std::vector<uint8_t> Concatenate(const std::vector<TSampleRecord>& samples);

struct TSampleRecord {
  std::vector<uint8_t> Data;
  HRESULT TimeResult = E_FAIL;
  REFERENCE_TIME Start = 0, Stop = 0;
  bool HasMediaTime = false;
  LONGLONG MediaStart = 0, MediaStop = 0;
  bool SyncPoint = false, Preroll = false, Discontinuity = false;
  bool HasType = false;
  TTestType Type;
  IMediaSample* Sample = nullptr;  // identity only, not held
};

// Reference counting of the peers (pins count on their filter).
class TPeerObject {
 public:
  virtual ~TPeerObject();
  ULONG PeerAddRef() { return static_cast<ULONG>(++FRefs); }
  ULONG PeerRelease() {
    const long left = --FRefs;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  static long Alive();

 protected:
  TPeerObject();

 private:
  std::atomic<long> FRefs{1};
};

class TTestSink;

// The sink's input pin.
class TTestSinkPin final : public IPin, public IMemInputPin {
 public:
  explicit TTestSinkPin(TTestSink* owner) : FOwner(owner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* done) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_OK; }

 private:
  TTestSink* FOwner;
};

// Records what arrives. Configurable: class id, whether it accepts PCM audio, the allocator it
// offers (optionally capped), a gate that holds Receive until opened.
class TTestSink final : public TPeerObject, public IBaseFilter {
 public:
  explicit TTestSink(const CLSID& clsid = GUID_NULL);
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return VFW_E_NOT_FOUND; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  IPin* Pin() { return &FPin; }

  // Configuration (before connecting).
  bool AcceptsPcm = true;
  long AllocatorCap = 0;  // > 0: the offered allocator grants at most this many bytes per buffer
  std::vector<TTestType> OfferedTypes;

  // While closed, Receive waits (up to 10 s) until the gate opens.
  void CloseGate();
  void OpenGate();
  bool WaitForSamples(size_t count, DWORD milliseconds);
  bool WaitUntilReceiving(DWORD milliseconds);

  std::vector<TSampleRecord> Samples();
  void ClearRecords();
  std::atomic<int> EndOfStreams{0}, BeginFlushes{0}, EndFlushes{0}, Segments{0};
  REFERENCE_TIME SegmentStart = 0, SegmentStop = 0;
  double SegmentRate = 0;
  ComPtr<IPin> Connected;
  TTestType ConnectedType;
  ComPtr<IMemAllocator> NotifiedAllocator;
  ComPtr<IMemAllocator> OfferedAllocator;

 private:
  friend class TTestSinkPin;
  HRESULT Record(IMediaSample* sample);

  CLSID FClsid;
  TTestSinkPin FPin;
  FILTER_STATE FState = State_Stopped;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<TSampleRecord> FSamples;
  bool FGateOpen = true;
  bool FInReceive = false;
};

class TTestSource;

// One output pin of the source: pushes PCM, from the test's thread (Push) or its own (Stream).
class TTestSourcePin final : public IPin, public IMediaSeeking {
 public:
  TTestSourcePin(TTestSource* owner, int index, TTestType type, std::vector<uint8_t> pcm, size_t chunkFrames);
  ~TTestSourcePin();
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
  // IMediaSeeking (media time; seeking one pin seeks the whole source, as a splitter does)
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID*, LONGLONG source, const GUID*) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override { return rate == 1.0 ? S_OK : E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

  // From the test's thread. Deliver: the next `frames` (0: one chunk) of PCM, time-stamped from
  // the current position; options as named. Returns Receive's result.
  struct TOptions {
    size_t Frames = 0;
    bool Discontinuity = false;
    bool Preroll = false;
    bool NoTimes = false;
    bool NoMediaTimes = false;
    const TTestType* AttachType = nullptr;
    DWORD StreamId = AM_STREAM_MEDIA;
  };
  HRESULT Deliver(const TOptions& options);
  HRESULT Deliver() { return Deliver(TOptions{}); }
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // Asks the connected input whether it would take `type` (IPin::QueryAccept), as a source
  // probing a format change does.
  HRESULT QueryPeerAccept(const TTestType& type);
  IMediaSample* LastSample() const { return FLastSample; }
  size_t Position() const { return FPosition; }  // in frames
  const TTestType& Type() const { return FType; }
  IPin* Peer() const { return FPeer.Get(); }

  // Positions and time stamps start afresh at `frame` (a seek).
  void SeekTo(size_t frame);
  // Streaming thread: delivers everything from the position on, then end of stream.
  void StartStreaming();
  void StopStreaming();
  HRESULT Commit();
  void Decommit();

 private:
  REFERENCE_TIME TimeOf(size_t frame) const;

  TTestSource* FOwner;
  int FIndex;
  TTestType FType;
  std::vector<uint8_t> FPcm;
  size_t FChunkFrames;
  ComPtr<IPin> FPeer;
  ComPtr<IMemInputPin> FInput;
  ComPtr<IMemAllocator> FAllocator;
  std::atomic<size_t> FPosition{0};
  size_t FSegmentFrame = 0;  // time stamps count from here (the last seek)
  IMediaSample* FLastSample = nullptr;
  std::thread FThread;
  std::atomic<bool> FStopRequested{false};
};

// Pushes PCM from one or more output pins ("Audio 1", "Audio 2", ...). Poses as any class id and
// can offer the stream-description interfaces that splitters offer.
class TTestSource final : public TPeerObject, public IBaseFilter, public IPropertyBag, public audio::ITrackInfo,
                          public IAMStreamSelect {
 public:
  explicit TTestSource(const CLSID& clsid = GUID_NULL);
  ~TTestSource() override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return VFW_E_NOT_FOUND; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  // IPropertyBag (when Properties is not empty)
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  // ITrackInfo (when Tracks is not empty)
  UINT STDMETHODCALLTYPE GetTrackCount() override { return static_cast<UINT>(Tracks.size()); }
  BOOL STDMETHODCALLTYPE GetTrackInfo(UINT track, audio::TMWTrackElement* element) override;
  BOOL STDMETHODCALLTYPE GetTrackExtendedInfo(UINT, void*) override { return FALSE; }
  BSTR STDMETHODCALLTYPE GetTrackCodecID(UINT) override { return nullptr; }
  BSTR STDMETHODCALLTYPE GetTrackName(UINT track) override;
  BSTR STDMETHODCALLTYPE GetTrackCodecName(UINT) override { return nullptr; }
  BSTR STDMETHODCALLTYPE GetTrackCodecInfoURL(UINT) override { return nullptr; }
  BSTR STDMETHODCALLTYPE GetTrackCodecDownloadURL(UINT) override { return nullptr; }
  // IAMStreamSelect (when Streams is not empty)
  HRESULT STDMETHODCALLTYPE Count(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE Info(long index, AM_MEDIA_TYPE** type, DWORD* flags, LCID* lcid, DWORD* group,
                                 WCHAR** name, IUnknown** object, IUnknown** unknown) override;
  HRESULT STDMETHODCALLTYPE Enable(long, DWORD) override { return E_NOTIMPL; }

  TTestSourcePin* AddPin(const TTestType& type, std::vector<uint8_t> pcm, size_t chunkFrames = 4410);
  TTestSourcePin* Pin(int index) { return FPins[static_cast<size_t>(index)].get(); }
  FILTER_STATE State() const { return FState; }
  // Seeks every pin to `frame` of its stream (flushing downstream while active).
  void SeekAll(double seconds);

  bool Streaming = false;  // push from own threads while paused or running
  std::map<std::wstring, std::wstring> Properties;
  struct TTrack {
    BYTE Type;
    const char* Language;
    const wchar_t* Name;
    bool Default;
  };
  std::vector<TTrack> Tracks;
  struct TStream {
    LCID Lcid;
    DWORD Group;
    const wchar_t* Name;
  };
  std::vector<TStream> Streams;

 private:
  CLSID FClsid;
  std::vector<std::unique_ptr<TTestSourcePin>> FPins;
  std::atomic<FILTER_STATE> FState{State_Stopped};
  std::wstring FName;
  IFilterGraph* FGraph = nullptr;
};

// Counts and measures the buffers the filter shows it; optionally shortens them.
class TTestCallback final : public TPeerObject, public IMWAudioFilterPCMCallBack {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE OnPCMData(BYTE* data, int32_t length, int32_t* newLength, TMWAudioFormat* format) override;
  HRESULT STDMETHODCALLTYPE OnFormatChange(TMWAudioFormat* format) override;
  HRESULT STDMETHODCALLTYPE OnFlush() override;

  std::atomic<int> Buffers{0}, FormatChanges{0}, Flushes{0};
  static constexpr int kKeep = INT32_MIN;
  std::atomic<int> ShortenTo{kKeep};  // else: the new length it answers for every buffer
  TMWAudioFormat LastFormat{};     // of the last OnFormatChange
  // Runs inside OnFormatChange (on the thread that calls it), when set.
  std::function<void()> DuringFormatChange;
  // The largest |sample| of 16-bit buffers since the last ResetPeak, and the last sample seen.
  std::atomic<int> Peak{0};
  std::atomic<int> LastSample{0};
  void ResetPeak() { Peak = 0; }
};

// Filters of a graph whose class id is `clsid`.
int CountClass(IFilterGraph* graph, const CLSID& clsid);

}  // namespace qvr::audiotest
