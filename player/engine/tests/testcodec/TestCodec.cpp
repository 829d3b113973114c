// testcodec.dll: peer filters for the engine tests, served through DllGetClassObject so that
// the codec bank can load it privately and the tests can register it with the system.
//
// - A PCM source that reads a tiny container of our own ("FLVQ" or "QPCM", then channels u16,
//   rate u32, bits u16, then PCM) and pushes it downstream in 100 ms samples. It answers the
//   private FLV and MP4 source class ids.
// - The same source reading a RIFF WAVE over HTTP with WinINet: it answers the network-stream
//   source class id.
// - A filter with one input pin that accepts nothing, under test class ids, for blacklist and
//   merit tests: the tests only count how often it was created.
//
// - Filters that fault with an access violation, as a broken third-party filter does: the
//   factory of one on CreateInstance, the input pin of the other (shaped as the refusing filter)
//   on ReceiveConnection. The PCM source faults on Load when its container says "FLVF".
//
// TestCodec_CreatedCount(clsid) reports how many instances of a class were created in this
// process since load, TestCodec_FaultCount(clsid) how many faults it raised.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/win/DirectShow.h"
#include "player/engine/tests/testcodec/TestCodecIds.h"

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
std::mutex g_count_lock;
std::map<std::string, long>& Counts() {
  static std::map<std::string, long> counts;
  return counts;
}
std::string Key(const GUID& g) {
  char text[64];
  std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

void CountFault(const GUID& clsid) {
  std::lock_guard lock(g_count_lock);
  ++Counts()["fault " + Key(clsid)];
}

// An access violation, as a write through a wild pointer gives one.
void Fault(const GUID& clsid) {
  CountFault(clsid);
  int* volatile target = nullptr;
  *target = 1;
}

// Reference counting shared by every object here.
class TRefCounted {
 public:
  TRefCounted() { ++g_objects; }
  virtual ~TRefCounted() { --g_objects; }
  ULONG AddRefImpl() { return static_cast<ULONG>(++refs_); }
  ULONG ReleaseImpl() {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> refs_{1};
};

#define QVR_IUNKNOWN_REFS                                           \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

template <typename T>
HRESULT Hand(T* object, void** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

void CopyMediaType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from) {
  to = from;
  to.pUnk = nullptr;
  if (from.cbFormat) {
    to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
  }
}
void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.cbFormat) CoTaskMemFree(mt.pbFormat);
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
}

class TEnumMediaTypes final : public TRefCounted, public IEnumMediaTypes {
 public:
  explicit TEnumMediaTypes(std::vector<AM_MEDIA_TYPE> types, size_t position = 0) : types_(std::move(types)), pos_(position) {}
  ~TEnumMediaTypes() override {
    for (auto& t : types_) FreeMediaType(t);
  }
  QVR_IUNKNOWN_REFS
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) return Hand(static_cast<IEnumMediaTypes*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && pos_ < types_.size()) {
      types[n] = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
      CopyMediaType(*types[n], types_[pos_++]);
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    pos_ += count;
    return pos_ <= types_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override {
    std::vector<AM_MEDIA_TYPE> copy(types_.size());
    for (size_t i = 0; i < types_.size(); ++i) CopyMediaType(copy[i], types_[i]);
    *out = new TEnumMediaTypes(std::move(copy), pos_);
    return S_OK;
  }

 private:
  std::vector<AM_MEDIA_TYPE> types_;
  size_t pos_;
};

class TEnumPins final : public TRefCounted, public IEnumPins {
 public:
  explicit TEnumPins(std::vector<IPin*> pins, size_t position = 0) : pins_(std::move(pins)), pos_(position) {
    for (IPin* p : pins_) p->AddRef();
  }
  ~TEnumPins() override {
    for (IPin* p : pins_) p->Release();
  }
  QVR_IUNKNOWN_REFS
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumPins) return Hand(static_cast<IEnumPins*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && pos_ < pins_.size()) {
      pins[n] = pins_[pos_++];
      pins[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    pos_ += count;
    return pos_ <= pins_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
    *out = new TEnumPins(pins_, pos_);
    return S_OK;
  }

 private:
  std::vector<IPin*> pins_;
  size_t pos_;
};

// Common filter plumbing: state, graph, clock, name.
class TFilterBase : public TRefCounted, public IBaseFilter {
 public:
  explicit TFilterBase(const CLSID& clsid) : clsid_(clsid) {}
  ~TFilterBase() override {
    if (clock_) clock_->Release();
  }
  QVR_IUNKNOWN_REFS
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = clsid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    *state = state_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
    if (clock) clock->AddRef();
    if (clock_) clock_->Release();
    clock_ = clock;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    *clock = clock_;
    if (clock_) clock_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    graph_ = graph;  // not counted: the graph owns the filter
    name_ = name ? name : L"";
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return VFW_E_NOT_FOUND; }

 protected:
  CLSID clsid_;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;
  IReferenceClock* clock_ = nullptr;
  std::wstring name_;
};

// ---------------------------------------------------------------------------------------------
// The refusing filter: one input pin that accepts no connection.

class TRefusingFilter;

class TRefusingPin final : public IPin {
 public:
  explicit TRefusingPin(TRefusingFilter* owner) : owner_(owner) {}
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin) return Hand(static_cast<IPin*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
    *pin = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_INPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"In"));
    std::memcpy(*id, L"In", sizeof L"In");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
    *types = new TEnumMediaTypes({});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

 private:
  TRefusingFilter* owner_;
};

class TRefusingFilter final : public TFilterBase {
 public:
  explicit TRefusingFilter(const CLSID& clsid) : TFilterBase(clsid), pin_(this) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter)
      return Hand(static_cast<IBaseFilter*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    state_ = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Pause() override {
    state_ = State_Paused;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override {
    state_ = State_Running;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
    *pins = new TEnumPins({&pin_});
    return S_OK;
  }
  TRefusingPin pin_;
};

HRESULT TRefusingPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  CLSID clsid;
  owner_->GetClassID(&clsid);
  if (clsid == testcodec::kFaultOnConnect) Fault(clsid);
  return VFW_E_TYPE_NOT_ACCEPTED;
}
ULONG TRefusingPin::AddRef() { return owner_->AddRef(); }
ULONG TRefusingPin::Release() { return owner_->Release(); }
HRESULT TRefusingPin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = owner_;
  owner_->AddRef();
  info->dir = PINDIR_INPUT;
  lstrcpynW(info->achName, L"Input", MAX_PIN_NAME);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The PCM source.

struct TPcm {
  WAVEFORMATEX format{};
  std::vector<BYTE> data;
};

uint16_t Get16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

WAVEFORMATEX MakeFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

// "FLVQ"/"QPCM", channels u16, rate u32, bits u16, PCM.
bool ParseOwnContainer(const std::vector<BYTE>& bytes, TPcm& pcm) {
  if (bytes.size() < 12) return false;
  if (std::memcmp(bytes.data(), "FLVQ", 4) != 0 && std::memcmp(bytes.data(), "QPCM", 4) != 0) return false;
  const uint16_t channels = Get16(&bytes[4]), bits = Get16(&bytes[10]);
  const uint32_t rate = Get32(&bytes[6]);
  if (channels == 0 || channels > 8 || (bits != 8 && bits != 16) || rate < 1000 || rate > 192000) return false;
  pcm.format = MakeFormat(channels, rate, bits);
  pcm.data.assign(bytes.begin() + 12, bytes.end());
  pcm.data.resize(pcm.data.size() / pcm.format.nBlockAlign * pcm.format.nBlockAlign);
  return true;
}

bool ParseWave(const std::vector<BYTE>& bytes, TPcm& pcm) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(&bytes[8], "WAVE", 4) != 0) return false;
  bool have_format = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = Get32(&bytes[at + 4]);
    const size_t body = at + 8, available = std::min<size_t>(size, bytes.size() - body);
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && available >= 16) {
      pcm.format = MakeFormat(Get16(&bytes[body + 2]), Get32(&bytes[body + 4]), Get16(&bytes[body + 14]));
      have_format = Get16(&bytes[body]) == WAVE_FORMAT_PCM && pcm.format.nBlockAlign > 0;
    } else if (std::memcmp(&bytes[at], "data", 4) == 0 && have_format) {
      pcm.data.assign(bytes.begin() + static_cast<long>(body), bytes.begin() + static_cast<long>(body + available));
      pcm.data.resize(pcm.data.size() / pcm.format.nBlockAlign * pcm.format.nBlockAlign);
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

bool ReadLocalFile(LPCOLESTR name, std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BYTE buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  CloseHandle(file);
  return true;
}

bool ReadUrl(LPCOLESTR url, std::vector<BYTE>& bytes) {
  HINTERNET session = InternetOpenW(L"QVR test source", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session) return false;
  bool ok = false;
  if (HINTERNET request = InternetOpenUrlW(session, url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)) {
    BYTE buffer[65536];
    DWORD n = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &n) && n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    ok = !bytes.empty();
    InternetCloseHandle(request);
  }
  InternetCloseHandle(session);
  return ok;
}

class TPcmSource;

// The source's output pin: connection, allocator, seeking and the streaming thread.
class TPcmPin final : public IPin, public IMediaSeeking {
 public:
  explicit TPcmPin(TPcmSource* owner) : owner_(owner) {}
  ~TPcmPin() { Halt(); }
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin) return Hand(static_cast<IPin*>(this), out);
    if (iid == IID_IMediaSeeking) return Hand(static_cast<IMediaSeeking*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* proposed) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE Disconnect() override {
    if (!peer_) return S_FALSE;
    Halt();
    peer_->Release();
    peer_ = nullptr;
    if (input_) input_->Release();
    input_ = nullptr;
    if (allocator_) allocator_->Release();
    allocator_ = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
    *pin = peer_;
    if (!peer_) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override {
    if (!peer_) {
      std::memset(mt, 0, sizeof *mt);
      return VFW_E_NOT_CONNECTED;
    }
    CopyMediaType(*mt, type_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"Audio"));
    std::memcpy(*id, L"Audio", sizeof L"Audio");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override {
    return mt && mt->majortype == MEDIATYPE_Audio && mt->subtype == MEDIASUBTYPE_PCM ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
    AM_MEDIA_TYPE copy;
    CopyMediaType(copy, type_);
    *types = new TEnumMediaTypes({copy});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IMediaSeeking, media time only.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* caps) override {
    *caps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
            AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* caps) override {
    DWORD mine;
    GetCapabilities(&mine);
    const DWORD asked = *caps;
    *caps &= mine;
    return *caps == asked ? S_OK : (*caps ? S_FALSE : E_FAIL);
  }
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override {
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override {
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override { return QueryPreferredFormat(format); }
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override {
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override {
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override { return GetDuration(stop); }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* position) override {
    *position = start_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* target_format, LONGLONG source,
                                              const GUID* source_format) override {
    if ((target_format && *target_format != TIME_FORMAT_MEDIA_TIME) ||
        (source_format && *source_format != TIME_FORMAT_MEDIA_TIME))
      return E_INVALIDARG;
    *target = source;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG*, DWORD) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override {
    if (current) *current = start_;
    if (stop) GetDuration(stop);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override {
    if (earliest) *earliest = 0;
    if (latest) GetDuration(latest);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override { return rate == 1.0 ? S_OK : E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override {
    *rate = 1.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override {
    *preroll = 0;
    return S_OK;
  }

  void SetFormat(const WAVEFORMATEX& format) {
    FreeMediaType(type_);
    type_ = {};
    type_.majortype = MEDIATYPE_Audio;
    type_.subtype = MEDIASUBTYPE_PCM;
    type_.bFixedSizeSamples = TRUE;
    type_.lSampleSize = format.nBlockAlign;
    type_.formattype = FORMAT_WaveFormatEx;
    type_.cbFormat = sizeof(WAVEFORMATEX);
    type_.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    std::memcpy(type_.pbFormat, &format, sizeof format);
  }
  void FreeType() { FreeMediaType(type_); }

  // Starts delivering from start_ (when connected); Halt stops and joins the thread.
  void Start();
  void Halt() {
    stop_requested_ = true;
    if (allocator_) allocator_->Decommit();  // wakes a thread waiting for a buffer
    if (thread_.joinable()) thread_.join();
    stop_requested_ = false;
  }

 private:
  void Stream(LONGLONG from);

  TPcmSource* owner_;
  AM_MEDIA_TYPE type_{};
  IPin* peer_ = nullptr;
  IMemInputPin* input_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_requested_{false};
  std::atomic<LONGLONG> start_{0};
};

class TPcmSource final : public TFilterBase, public IFileSourceFilter {
 public:
  TPcmSource(const CLSID& clsid, bool fromUrl) : TFilterBase(clsid), from_url_(fromUrl), pin_(this) {}
  ~TPcmSource() override {
    pin_.Halt();
    pin_.FreeType();
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter)
      return Hand(static_cast<IBaseFilter*>(this), out);
    if (iid == IID_IFileSourceFilter) return Hand(static_cast<IFileSourceFilter*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    pin_.Halt();
    state_ = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Pause() override {
    if (state_ == State_Stopped) pin_.Start();
    state_ = State_Paused;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override {
    if (state_ == State_Stopped) pin_.Start();
    state_ = State_Running;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
    if (pcm_.data.empty()) {
      *pins = new TEnumPins({});
      return S_OK;
    }
    *pins = new TEnumPins({&pin_});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR name, const AM_MEDIA_TYPE*) override {
    if (!name) return E_POINTER;
    std::vector<BYTE> bytes;
    TPcm pcm;
    if (from_url_) {
      if (!ReadUrl(name, bytes) || !ParseWave(bytes, pcm)) return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
    } else {
      if (!ReadLocalFile(name, bytes)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      if (bytes.size() >= 4 && std::memcmp(bytes.data(), "FLVF", 4) == 0) Fault(clsid_);
      if (!ParseOwnContainer(bytes, pcm)) return VFW_E_INVALID_FILE_FORMAT;
    }
    pcm_ = std::move(pcm);
    file_ = name;
    pin_.SetFormat(pcm_.format);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override {
    if (file_.empty()) return E_FAIL;
    const size_t bytes = (file_.size() + 1) * sizeof(wchar_t);
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    std::memcpy(*name, file_.c_str(), bytes);
    if (mt) std::memset(mt, 0, sizeof *mt);
    return S_OK;
  }

  const TPcm& Pcm() const { return pcm_; }
  FILTER_STATE State() const { return state_; }

 private:
  bool from_url_;
  TPcm pcm_;
  std::wstring file_;
  TPcmPin pin_;
};

ULONG TPcmPin::AddRef() { return owner_->AddRef(); }
ULONG TPcmPin::Release() { return owner_->Release(); }

HRESULT TPcmPin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = owner_;
  owner_->AddRef();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, L"Audio", MAX_PIN_NAME);
  return S_OK;
}

HRESULT TPcmPin::GetDuration(LONGLONG* duration) {
  const TPcm& pcm = owner_->Pcm();
  *duration = pcm.format.nAvgBytesPerSec ? static_cast<LONGLONG>(pcm.data.size()) * 10000000 / pcm.format.nAvgBytesPerSec : 0;
  return S_OK;
}

HRESULT TPcmPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* proposed) {
  if (!receiver) return E_POINTER;
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (proposed && proposed->majortype != GUID_NULL && QueryAccept(proposed) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receiver->ReceiveConnection(this, &type_);
  if (FAILED(hr)) return hr;
  IMemInputPin* input = nullptr;
  if (FAILED(hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)))) {
    receiver->Disconnect();
    return hr;
  }
  IMemAllocator* allocator = nullptr;
  if (FAILED(input->GetAllocator(&allocator)) &&
      FAILED(hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                   reinterpret_cast<void**>(&allocator)))) {
    input->Release();
    receiver->Disconnect();
    return hr;
  }
  const WAVEFORMATEX* f = reinterpret_cast<const WAVEFORMATEX*>(type_.pbFormat);
  ALLOCATOR_PROPERTIES wanted{4, static_cast<long>(f->nAvgBytesPerSec / 10 + f->nBlockAlign), 1, 0}, actual{};
  if (FAILED(hr = allocator->SetProperties(&wanted, &actual)) || FAILED(hr = input->NotifyAllocator(allocator, FALSE))) {
    allocator->Release();
    input->Release();
    receiver->Disconnect();
    return hr;
  }
  receiver->AddRef();
  peer_ = receiver;
  input_ = input;
  allocator_ = allocator;
  return S_OK;
}

HRESULT TPcmPin::SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG*, DWORD) {
  if ((current_flags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_AbsolutePositioning) return S_OK;
  LONGLONG duration;
  GetDuration(&duration);
  const LONGLONG target = std::max<LONGLONG>(0, std::min(*current, duration));
  const bool active = owner_->State() != State_Stopped && peer_;
  if (active) {
    peer_->BeginFlush();
    Halt();
    peer_->EndFlush();
  }
  start_ = target;
  if (active) Start();
  return S_OK;
}

void TPcmPin::Start() {
  if (!peer_ || !allocator_ || thread_.joinable()) return;
  if (FAILED(allocator_->Commit())) return;
  const LONGLONG from = start_;
  thread_ = std::thread([this, from] { Stream(from); });
}

void TPcmPin::Stream(LONGLONG from) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const TPcm& pcm = owner_->Pcm();
  const size_t block = pcm.format.nBlockAlign;
  const size_t chunk = pcm.format.nAvgBytesPerSec / 10 / block * block;
  size_t at = static_cast<size_t>(from * pcm.format.nAvgBytesPerSec / 10000000) / block * block;
  peer_->NewSegment(from, 0x7FFFFFFFFFFFFFFF, 1.0);
  bool discontinuity = true;
  while (!stop_requested_ && at < pcm.data.size()) {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) break;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const size_t n = std::min({chunk, pcm.data.size() - at, static_cast<size_t>(sample->GetSize()) / block * block});
    std::memcpy(buffer, pcm.data.data() + at, n);
    sample->SetActualDataLength(static_cast<long>(n));
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(at) * 10000000 / pcm.format.nAvgBytesPerSec - from;
    REFERENCE_TIME stop = static_cast<REFERENCE_TIME>(at + n) * 10000000 / pcm.format.nAvgBytesPerSec - from;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity);
    discontinuity = false;
    const HRESULT hr = input_->Receive(sample);
    sample->Release();
    if (hr != S_OK) break;
    at += n;
  }
  if (!stop_requested_ && at >= pcm.data.size()) peer_->EndOfStream();
  CoUninitialize();
}

// ---------------------------------------------------------------------------------------------

class TClassFactory final : public TRefCounted, public IClassFactory {
 public:
  explicit TClassFactory(const CLSID& clsid) : clsid_(clsid) {}
  QVR_IUNKNOWN_REFS
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) return Hand(static_cast<IClassFactory*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (clsid_ == testcodec::kFaultOnCreate) Fault(clsid_);
    IBaseFilter* filter = nullptr;
    if (clsid_ == testcodec::kFlvSource || clsid_ == testcodec::kMp4Source)
      filter = new TPcmSource(clsid_, false);
    else if (clsid_ == testcodec::kShoutcastSource)
      filter = new TPcmSource(clsid_, true);
    else
      filter = new TRefusingFilter(clsid_);
    {
      std::lock_guard lock(g_count_lock);
      ++Counts()[Key(clsid_)];
    }
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }

 private:
  CLSID clsid_;
};

bool Served(const CLSID& clsid) {
  for (const CLSID& c : {testcodec::kFlvSource, testcodec::kMp4Source, testcodec::kShoutcastSource,
                         testcodec::kRefusingA, testcodec::kRefusingB, testcodec::kRefusingControl,
                         testcodec::kFaultOnCreate, testcodec::kFaultOnConnect})
    if (c == clsid) return true;
  return false;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!Served(clsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new TClassFactory(clsid);
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

extern "C" long __cdecl TestCodec_CreatedCount(const GUID* clsid) {
  std::lock_guard lock(g_count_lock);
  const auto found = Counts().find(Key(*clsid));
  return found == Counts().end() ? 0 : found->second;
}

extern "C" long __cdecl TestCodec_FaultCount(const GUID* clsid) {
  std::lock_guard lock(g_count_lock);
  const auto found = Counts().find("fault " + Key(*clsid));
  return found == Counts().end() ? 0 : found->second;
}
