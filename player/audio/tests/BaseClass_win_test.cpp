// The filter framework's DirectShow contracts, in the order of Wine's quartz tests: interfaces,
// aggregation, unconnected state changes, pins, media types, connection, allocators, samples,
// end of stream and flushing, state changes, seeking and quality. The framework is exercised
// through the one filter built on it, between our own peer filters, in real graphs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "player/audio/tests/AudioWinTestSupport.h"

namespace {

using namespace qvr::audiotest;
using qvr::audio::BCFindTemplate;
using qvr::audio::BCGetClassObject;

// Records quality messages.
class TQualitySink final : public TPeerObject, public IQualityControl {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IQualityControl) {
      AddRef();
      *object = static_cast<IQualityControl*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return PeerAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return PeerRelease(); }
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter*, Quality quality) override {
    ++Messages;
    Last = quality;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl*) override { return S_OK; }
  int Messages = 0;
  Quality Last{};
};

// An outer object for aggregation: answers IUnknown itself and counts its references.
class TOuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown) {
      AddRef();
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++Refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--Refs); }
  long Refs = 1;
};

using BaseClassTest = AudioTest;

template <typename I>
HRESULT Query(IUnknown* object, REFIID iid) {
  ComPtr<I> found;
  return object->QueryInterface(iid, reinterpret_cast<void**>(found.GetAddressOf()));
}

TEST_F(BaseClassTest, Interfaces) {
  ComPtr<IBaseFilter> filter = NewFilter();
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IUnknown));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IPersist));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IMediaFilter));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IBaseFilter));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IAMovieSetup));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), IID_IAMStreamSelect));
  EXPECT_EQ(S_OK, Query<IUnknown>(filter.Get(), __uuidof(IMWAudioFilterInterface)));
  for (const IID& absent : {IID_IPin, IID_IMediaSeeking, IID_IMediaPosition, IID_IQualityControl, IID_IBasicAudio})
    EXPECT_EQ(E_NOINTERFACE, Query<IUnknown>(filter.Get(), absent));

  // One identity, whichever interface is asked.
  ComPtr<IAMStreamSelect> select;
  ASSERT_HRESULT_SUCCEEDED(filter.As(&select));
  ComPtr<IUnknown> a, b;
  filter.As(&a);
  select.As(&b);
  EXPECT_EQ(a.Get(), b.Get());

  ComPtr<IPin> input = PinAt(filter.Get(), 0), output = PinAt(filter.Get(), 1);
  EXPECT_EQ(S_OK, Query<IUnknown>(input.Get(), IID_IMemInputPin));
  EXPECT_EQ(S_OK, Query<IUnknown>(input.Get(), IID_IQualityControl));
  EXPECT_EQ(E_NOINTERFACE, Query<IUnknown>(input.Get(), IID_IMediaSeeking));
  EXPECT_EQ(S_OK, Query<IUnknown>(output.Get(), IID_IMediaSeeking));
  EXPECT_EQ(S_OK, Query<IUnknown>(output.Get(), IID_IMediaPosition));
  EXPECT_EQ(S_OK, Query<IUnknown>(output.Get(), IID_IQualityControl));
  EXPECT_EQ(E_NOINTERFACE, Query<IUnknown>(output.Get(), IID_IMemInputPin));

  // Pins are counted on their filter.
  const ULONG before = filter->AddRef();
  input->AddRef();
  EXPECT_EQ(before + 2, filter->AddRef());
  input->Release();
  filter->Release();
  filter->Release();

  CLSID clsid;
  EXPECT_EQ(S_OK, filter->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(CLSID_MWAudioFilter, clsid));
  LPWSTR vendor = nullptr;
  EXPECT_EQ(E_NOTIMPL, filter->QueryVendorInfo(&vendor));
}

TEST_F(BaseClassTest, TheTemplateMakesAggregatableFilters) {
  const auto* filter_template = BCFindTemplate(CLSID_MWAudioFilter);
  ASSERT_NE(nullptr, filter_template);
  EXPECT_STREQ(L"Tarnel Audio Filter", filter_template->Name);
  EXPECT_EQ(0x200000u, filter_template->Merit);
  EXPECT_TRUE(IsEqualGUID(CLSID_LegacyAmFilterCategory, *filter_template->Category));
  EXPECT_EQ(2u, filter_template->PinCount);

  ComPtr<IClassFactory> factory;
  IClassFactory* none = reinterpret_cast<IClassFactory*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, BCGetClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&none)));
  EXPECT_EQ(nullptr, none);
  ASSERT_EQ(S_OK, BCGetClassObject(CLSID_MWAudioFilter, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));

  ComPtr<IBaseFilter> plain;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(plain.GetAddressOf())));
  plain.Reset();

  TOuter outer;
  IUnknown* inner = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, reinterpret_cast<void**>(&inner)));
  EXPECT_EQ(nullptr, inner);
  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  EXPECT_EQ(1, outer.Refs);  // the inner object holds no reference on its outer
  IBaseFilter* filter = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
  EXPECT_EQ(2, outer.Refs);  // references of interfaces other than the inner unknown are the outer's
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
  identity->Release();
  EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IAMStreamSelect, reinterpret_cast<void**>(&identity)));
  filter->Release();
  EXPECT_EQ(1, outer.Refs);
  EXPECT_EQ(0u, inner->Release());
}

TEST_F(BaseClassTest, UnconnectedStateChanges) {
  ComPtr<IBaseFilter> filter = NewFilter();
  FILTER_STATE state = State_Running;
  EXPECT_EQ(S_OK, filter->GetState(0, &state));
  EXPECT_EQ(State_Stopped, state);
  EXPECT_EQ(S_OK, filter->Pause());
  filter->GetState(0, &state);
  EXPECT_EQ(State_Paused, state);
  EXPECT_EQ(S_OK, filter->Run(0));
  filter->GetState(0, &state);
  EXPECT_EQ(State_Running, state);
  EXPECT_EQ(S_OK, filter->Pause());
  EXPECT_EQ(S_OK, filter->Stop());
  filter->GetState(0, &state);
  EXPECT_EQ(State_Stopped, state);
  EXPECT_EQ(S_OK, filter->Stop());

  ComPtr<IReferenceClock> clock;
  EXPECT_EQ(S_OK, filter->GetSyncSource(&clock));
  EXPECT_EQ(nullptr, clock.Get());
}

TEST_F(BaseClassTest, PinEnumerationAndInfo) {
  TChain chain;
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, chain.filter->EnumPins(&pins));
  IPin* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched));
  ASSERT_EQ(2u, fetched);
  ComPtr<IPin> input, output;
  input = Adopt(got[0]);
  output = Adopt(got[1]);
  EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
  EXPECT_EQ(S_OK, pins->Reset());
  EXPECT_EQ(S_OK, pins->Skip(2));
  EXPECT_EQ(S_FALSE, pins->Skip(1));
  ComPtr<IEnumPins> clone;
  EXPECT_EQ(S_OK, pins->Clone(&clone));
  ComPtr<IPin> none;
  EXPECT_EQ(S_FALSE, clone->Next(1, &none, nullptr));

  const struct {
    IPin* Pin;
    const wchar_t* Name;
    const wchar_t* Id;
    PIN_DIRECTION Direction;
  } expected[] = {{input.Get(), L"Input", L"In", PINDIR_INPUT}, {output.Get(), L"Output", L"Out", PINDIR_OUTPUT}};
  for (const auto& e : expected) {
    PIN_INFO info{};
    ASSERT_EQ(S_OK, e.Pin->QueryPinInfo(&info));
    EXPECT_STREQ(e.Name, info.achName);
    EXPECT_EQ(e.Direction, info.dir);
    EXPECT_EQ(chain.filter.Get(), info.pFilter);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, e.Pin->QueryId(&id));
    EXPECT_STREQ(e.Id, id);
    ::CoTaskMemFree(id);
    ComPtr<IPin> found;
    ASSERT_EQ(S_OK, chain.filter->FindPin(e.Id, &found));
    EXPECT_EQ(e.Pin, found.Get());
  }
  ComPtr<IPin> missing;
  EXPECT_EQ(VFW_E_NOT_FOUND, chain.filter->FindPin(L"Input", &missing));
  EXPECT_EQ(nullptr, missing.Get());

  FILTER_INFO info{};
  ASSERT_EQ(S_OK, chain.filter->QueryFilterInfo(&info));
  EXPECT_STREQ(L"EQ Audio", info.achName);
  EXPECT_EQ(static_cast<IFilterGraph*>(chain.graph.Graph.Get()), info.pGraph);
  info.pGraph->Release();

  // A connected input grows a third pin: open enumerations notice.
  ASSERT_EQ(S_OK, pins->Reset());
  ASSERT_EQ(S_OK, chain.ConnectInput());
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(1, &none, nullptr));
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
  ASSERT_EQ(S_OK, pins->Reset());
  IPin* three[4] = {};
  EXPECT_EQ(S_FALSE, pins->Next(4, three, &fetched));
  ASSERT_EQ(3u, fetched);
  PIN_INFO third{};
  three[2]->QueryPinInfo(&third);
  EXPECT_STREQ(L"Input", third.achName);
  EXPECT_EQ(PINDIR_INPUT, third.dir);
  third.pFilter->Release();
  PIN_INFO first{};
  three[0]->QueryPinInfo(&first);
  EXPECT_STREQ(L"Audio Track 1", first.achName);  // a connected input is named after its stream
  first.pFilter->Release();
  for (IPin* p : three)
    if (p) p->Release();
}

TEST_F(BaseClassTest, MediaTypesFollowTheInput) {
  TChain chain;
  ComPtr<IEnumMediaTypes> types;
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(S_OK, chain.input->EnumMediaTypes(&types));
  EXPECT_EQ(S_FALSE, types->Next(1, &type, nullptr));
  ASSERT_EQ(S_OK, chain.output->EnumMediaTypes(&types));
  EXPECT_EQ(S_FALSE, types->Next(1, &type, nullptr));

  EXPECT_EQ(S_OK, chain.input->QueryAccept(&kStereo.Type));
  const TTestType twenty = WaveType(2, 44100, 20);
  EXPECT_EQ(S_FALSE, chain.input->QueryAccept(&twenty.Type));
  TTestType video = kStereo;
  video.Type.majortype = MEDIATYPE_Video;
  EXPECT_EQ(S_FALSE, chain.input->QueryAccept(&video.Type));

  ASSERT_EQ(S_OK, chain.ConnectInput());
  ASSERT_EQ(S_OK, chain.output->EnumMediaTypes(&types));
  ULONG fetched = 0;
  ASSERT_EQ(S_OK, types->Next(1, &type, &fetched));
  EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, type->majortype));
  ASSERT_EQ(sizeof(WAVEFORMATEX), type->cbFormat);
  EXPECT_EQ(0, std::memcmp(type->pbFormat, kStereo.Format.data(), sizeof(WAVEFORMATEX)));
  ::CoTaskMemFree(type->pbFormat);
  ::CoTaskMemFree(type);
  EXPECT_EQ(S_FALSE, types->Next(1, &type, &fetched));
  EXPECT_EQ(0u, fetched);
}

TEST_F(BaseClassTest, InputConnectionRefusalsHaveTheirOwnCodes) {
  TChain chain;
  IPin* connector = chain.out;
  TTestType video = kStereo, mp3 = kStereo, video_info = kStereo, cut = kStereo;
  video.Type.majortype = MEDIATYPE_Video;
  mp3.Type.subtype = MEDIASUBTYPE_MPEG1AudioPayload;
  video_info.Type.formattype = FORMAT_VideoInfo;
  cut.Type.cbFormat = 8;
  EXPECT_EQ(E_POINTER, chain.input->ReceiveConnection(connector, nullptr));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, chain.input->ReceiveConnection(connector, &video.Type));
  EXPECT_EQ(VFW_E_INVALIDSUBTYPE, chain.input->ReceiveConnection(connector, &mp3.Type));
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, chain.input->ReceiveConnection(connector, &video_info.Type));
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, chain.input->ReceiveConnection(connector, &cut.Type));
  const TTestType twelve = WaveType(2, 48000, 12), twenty = WaveType(2, 48000, 20);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, chain.input->ReceiveConnection(connector, &twelve.Type));
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, chain.input->ReceiveConnection(connector, &twenty.Type));
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, chain.input->ReceiveConnection(chain.sink->Pin(), &kStereo.Type));
  TMWAudioFormat* format = nullptr;
  ASSERT_EQ(S_OK, chain.control->GetAudioFormat(&format));
  EXPECT_EQ(0, format->SampleRate);  // refused types leave the record alone
  EXPECT_EQ(0, format->BitsPerSample);

  const TTestType no_rate = WaveType(2, 0, 16);
  ASSERT_EQ(S_OK, chain.input->ReceiveConnection(connector, &no_rate.Type));
  EXPECT_EQ(44100, format->SampleRate);
  EXPECT_EQ(2, format->Channels);
  EXPECT_EQ(16, format->BitsPerSample);
  EXPECT_EQ(VFW_E_ALREADY_CONNECTED, chain.input->ReceiveConnection(connector, &kStereo.Type));
  ComPtr<IPin> peer;
  EXPECT_EQ(S_OK, chain.input->ConnectedTo(&peer));
  EXPECT_EQ(connector, peer.Get());
  AM_MEDIA_TYPE connected{};
  ASSERT_EQ(S_OK, chain.input->ConnectionMediaType(&connected));
  EXPECT_EQ(0, std::memcmp(connected.pbFormat, no_rate.Format.data(), sizeof(WAVEFORMATEX)));
  ::CoTaskMemFree(connected.pbFormat);

  EXPECT_EQ(S_OK, chain.input->Disconnect());
  EXPECT_EQ(S_FALSE, chain.input->Disconnect());
  peer.Reset();
  EXPECT_EQ(VFW_E_NOT_CONNECTED, chain.input->ConnectedTo(&peer));
  EXPECT_EQ(nullptr, peer.Get());
  EXPECT_EQ(VFW_E_NOT_CONNECTED, chain.input->ConnectionMediaType(&connected));
}

TEST_F(BaseClassTest, OutputConnectionRules) {
  {
    TChain chain;  // nothing to offer before the input is connected
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, chain.output->Connect(chain.sink->Pin(), nullptr));
    ASSERT_EQ(S_OK, chain.ConnectInput());
    const TTestType other_rate = WaveType(2, 48000, 16);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, chain.output->Connect(chain.sink->Pin(), &other_rate.Type));
    ASSERT_EQ(S_OK, chain.ConnectOutput());
    EXPECT_EQ(0, std::memcmp(chain.sink->ConnectedType.Format.data(), kStereo.Format.data(), sizeof(WAVEFORMATEX)));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, chain.ConnectOutput());

    ASSERT_EQ(S_OK, chain.graph.Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, chain.output->Disconnect());
    EXPECT_EQ(VFW_E_NOT_STOPPED, chain.input->Disconnect());
    ComPtr<IPin> free_input = PinAt(chain.filter.Get(), 2);
    EXPECT_EQ(VFW_E_NOT_STOPPED, free_input->ReceiveConnection(chain.out, &kStereo.Type));
    ASSERT_EQ(S_OK, chain.graph.Stop());
  }
  // The one filter class the output never connects to.
  const CLSID refused = {0xD3CD7858, 0x971A, 0x4838, {0xAC, 0xEC, 0x40, 0xCA, 0x5D, 0x52, 0x9D, 0xC8}};
  TChain chain(kStereo, refused);
  ASSERT_EQ(S_OK, chain.ConnectInput());
  EXPECT_EQ(E_FAIL, chain.output->Connect(chain.sink->Pin(), nullptr));
}

TEST_F(BaseClassTest, AllocatorNegotiation) {
  ALLOCATOR_PROPERTIES properties{};
  {
    TChain chain;
    chain.ConnectAll();
    ASSERT_TRUE(chain.sink->NotifiedAllocator);
    EXPECT_EQ(chain.sink->OfferedAllocator.Get(), chain.sink->NotifiedAllocator.Get());
    ASSERT_EQ(S_OK, chain.sink->NotifiedAllocator->GetProperties(&properties));
    EXPECT_EQ(1, properties.cBuffers);
    EXPECT_EQ(2 * 352800 * 2, properties.cbBuffer);  // 8 s at 44.1 kHz of the format's frames

    ComPtr<IMemInputPin> input;
    ASSERT_HRESULT_SUCCEEDED(chain.input.As(&input));
    ComPtr<IMemAllocator> allocator;
    EXPECT_EQ(S_OK, input->GetAllocator(&allocator));
    EXPECT_TRUE(allocator);
    EXPECT_EQ(E_NOTIMPL, input->GetAllocatorRequirements(&properties));
    EXPECT_EQ(S_OK, input->ReceiveCanBlock());
  }
  {
    // A downstream allocator that grants less is given up for one of the filter's own.
    TChain chain(WaveType(6, 48000, 24), GUID_NULL, 65536);
    chain.ConnectAll();
    ASSERT_TRUE(chain.sink->NotifiedAllocator);
    EXPECT_NE(chain.sink->OfferedAllocator.Get(), chain.sink->NotifiedAllocator.Get());
    ASSERT_EQ(S_OK, chain.sink->NotifiedAllocator->GetProperties(&properties));
    EXPECT_EQ(1, properties.cBuffers);
    EXPECT_EQ(6 * 352800 * 3, properties.cbBuffer);
  }
}

TEST_F(BaseClassTest, SamplesCarryTheirPropertiesThrough) {
  TChain chain;
  chain.ConnectAll();
  ASSERT_EQ(S_OK, chain.graph.Pause());
  TTestSourcePin::TOptions first;
  first.Discontinuity = true;
  TTestSourcePin::TOptions second;
  second.Preroll = true;
  TTestSourcePin::TOptions third;
  third.NoMediaTimes = true;
  third.Frames = 1000;
  TTestSourcePin::TOptions fourth;
  fourth.NoTimes = true;
  for (const auto* options : {&first, &second, &third, &fourth}) ASSERT_EQ(S_OK, chain.out->Deliver(*options));

  const auto samples = chain.sink->Samples();
  ASSERT_EQ(4u, samples.size());
  const auto pcm = IndexedPcm16(2, 44100);
  size_t frame = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const size_t frames = i == 2 ? 1000 : 4410;
    ASSERT_EQ(frames * 4, samples[i].Data.size()) << i;
    EXPECT_EQ(0, std::memcmp(samples[i].Data.data(), &pcm[frame * 4], frames * 4)) << i;  // EQ off: bit-exact
    if (i < 3) {
      EXPECT_EQ(S_OK, samples[i].TimeResult) << i;
      EXPECT_EQ(static_cast<REFERENCE_TIME>(frame) * 10000000 / 44100, samples[i].Start) << i;
      EXPECT_EQ(static_cast<REFERENCE_TIME>(frame + frames) * 10000000 / 44100, samples[i].Stop) << i;
    } else {
      EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, samples[i].TimeResult);
    }
    EXPECT_EQ(i != 2, samples[i].HasMediaTime) << i;
    if (samples[i].HasMediaTime) {
      EXPECT_EQ(static_cast<LONGLONG>(frame), samples[i].MediaStart);
      EXPECT_EQ(static_cast<LONGLONG>(frame + frames), samples[i].MediaStop);
    }
    EXPECT_EQ(i == 0, samples[i].Discontinuity) << i;
    EXPECT_EQ(i == 1, samples[i].Preroll) << i;
    EXPECT_TRUE(samples[i].SyncPoint) << i;
    EXPECT_FALSE(samples[i].HasType) << i;
    frame += frames;
  }

  // A sample of another stream id goes downstream as it is.
  TTestSourcePin::TOptions control;
  control.StreamId = AM_STREAM_CONTROL;
  ASSERT_EQ(S_OK, chain.out->Deliver(control));
  ASSERT_EQ(5u, chain.sink->Samples().size());
  EXPECT_EQ(chain.out->LastSample(), chain.sink->Samples().back().Sample);

  // Receive refuses while flushing (S_FALSE) and when stopped.
  ComPtr<IMemAllocator> allocator;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator)));
  ALLOCATOR_PROPERTIES wanted{1, 4096, 1, 0}, actual{};
  allocator->SetProperties(&wanted, &actual);
  allocator->Commit();
  ComPtr<IMediaSample> loose;
  ASSERT_EQ(S_OK, allocator->GetBuffer(&loose, nullptr, nullptr, 0));
  loose->SetActualDataLength(400);
  ComPtr<IMemInputPin> input;
  chain.input.As(&input);
  ASSERT_EQ(S_OK, chain.input->BeginFlush());
  EXPECT_EQ(S_FALSE, input->Receive(loose.Get()));
  ASSERT_EQ(S_OK, chain.input->EndFlush());
  ASSERT_EQ(S_OK, chain.graph.Stop());
  EXPECT_EQ(VFW_E_WRONG_STATE, input->Receive(loose.Get()));
  loose.Reset();
  allocator->Decommit();
}

TEST_F(BaseClassTest, EndOfStreamFlushAndNewSegmentGoDownstream) {
  TChain chain;
  chain.ConnectAll();
  ComPtr<TTestCallback> callback;
  callback = Adopt(new TTestCallback());
  chain.control->SetPCMCallBack(callback.Get());
  ASSERT_EQ(S_OK, chain.graph.Pause());

  EXPECT_EQ(S_OK, chain.out->DeliverNewSegment(1000, 5000000, 1.0));
  EXPECT_EQ(1, chain.sink->Segments.load());
  EXPECT_EQ(1000, chain.sink->SegmentStart);
  EXPECT_EQ(5000000, chain.sink->SegmentStop);
  EXPECT_EQ(1.0, chain.sink->SegmentRate);

  EXPECT_EQ(S_OK, chain.out->DeliverBeginFlush());
  EXPECT_EQ(1, chain.sink->BeginFlushes.load());
  EXPECT_EQ(1, callback->Flushes.load());
  EXPECT_EQ(S_FALSE, chain.out->Deliver());  // flushing
  EXPECT_EQ(S_OK, chain.out->DeliverEndFlush());
  EXPECT_EQ(1, chain.sink->EndFlushes.load());
  EXPECT_EQ(S_OK, chain.out->Deliver());
  EXPECT_EQ(S_OK, chain.out->DeliverEndOfStream());
  EXPECT_EQ(1, chain.sink->EndOfStreams.load());
  EXPECT_EQ(1u, chain.sink->Samples().size());
  chain.control->SetPCMCallBack(nullptr);

  // Stopped, the pin passes nothing on.
  ASSERT_EQ(S_OK, chain.graph.Stop());
  EXPECT_EQ(VFW_E_WRONG_STATE, chain.out->DeliverEndOfStream());
  EXPECT_EQ(1, chain.sink->EndOfStreams.load());

  // Pausing with nothing connected upstream ends the stream downstream, once.
  ASSERT_EQ(S_OK, chain.graph.Graph->Disconnect(chain.input.Get()));
  ASSERT_EQ(S_OK, chain.graph.Graph->Disconnect(chain.out));
  ASSERT_EQ(S_OK, chain.filter->Pause());
  ASSERT_EQ(S_OK, chain.filter->Pause());
  EXPECT_EQ(2, chain.sink->EndOfStreams.load());
  chain.filter->Stop();
}

TEST_F(BaseClassTest, StopWaitsForTheSampleInProgress) {
  TChain chain;
  chain.ConnectAll();
  ASSERT_EQ(S_OK, chain.graph.Pause());
  chain.sink->CloseGate();
  std::atomic<HRESULT> delivered{E_PENDING};
  std::thread streaming([&] { delivered = chain.out->Deliver(); });
  ASSERT_TRUE(chain.sink->WaitUntilReceiving(5000));

  std::atomic<bool> stopped{false};
  std::thread stopping([&] {
    EXPECT_EQ(S_OK, chain.filter->Stop());
    stopped = true;
  });
  ::Sleep(200);
  EXPECT_FALSE(stopped.load());  // the receive lock is held by the sample in progress
  chain.sink->OpenGate();
  stopping.join();
  streaming.join();
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(S_OK, delivered.load());
  FILTER_STATE state;
  chain.filter->GetState(0, &state);
  EXPECT_EQ(State_Stopped, state);
  EXPECT_EQ(VFW_E_NOT_COMMITTED, chain.out->Deliver());  // the input's allocator went with the stop
}

TEST_F(BaseClassTest, SeekingPassesThroughAndQualityGoesUpstream) {
  TChain chain;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaPosition> position;
  ASSERT_HRESULT_SUCCEEDED(chain.output.As(&seeking));
  ASSERT_HRESULT_SUCCEEDED(chain.output.As(&position));
  LONGLONG duration = 0;
  EXPECT_EQ(VFW_E_NOT_CONNECTED, seeking->GetDuration(&duration));

  chain.ConnectAll();
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(10000000, duration);
  LONGLONG target = 5000000;
  EXPECT_EQ(S_OK, seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
  EXPECT_EQ(22050u, chain.out->Position());
  REFTIME seconds = 0;
  EXPECT_EQ(S_OK, position->get_Duration(&seconds));
  EXPECT_DOUBLE_EQ(1.0, seconds);
  EXPECT_EQ(S_OK, position->put_CurrentPosition(0.25));
  EXPECT_EQ(11025u, chain.out->Position());
  EXPECT_EQ(S_OK, position->get_CurrentPosition(&seconds));
  EXPECT_DOUBLE_EQ(0.25, seconds);

  // Quality messages at the output end up upstream: at the input's quality sink when it has one.
  ComPtr<IQualityControl> output_quality, input_quality;
  chain.output.As(&output_quality);
  chain.input.As(&input_quality);
  Quality quality{Famine, 900, -1000, 42};
  EXPECT_EQ(VFW_E_NOT_FOUND, output_quality->Notify(chain.sink.Get(), quality));  // the source takes none
  ComPtr<TQualitySink> recorder;
  recorder = Adopt(new TQualitySink());
  input_quality->SetSink(recorder.Get());
  EXPECT_EQ(S_OK, output_quality->Notify(chain.sink.Get(), quality));
  EXPECT_EQ(1, recorder->Messages);
  EXPECT_EQ(900, recorder->Last.Proportion);
  input_quality->SetSink(nullptr);
}

}  // namespace
