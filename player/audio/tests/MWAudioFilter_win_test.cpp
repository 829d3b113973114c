// The audio filter between our own peers in real graphs: pass-through formats, the equaliser and
// the pre-amplifier, the audio delay, the PCM callback, the PCM history, format changes from
// upstream, and the stream switcher (pin growth, IAMStreamSelect, stream names).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "player/audio/tests/AudioWinTestSupport.h"

namespace {

using namespace qvr::audiotest;

using AudioFilterTest = AudioTest;

int16_t SampleAt(const std::vector<uint8_t>& pcm, int channels, size_t frame, int channel) {
  int16_t s;
  std::memcpy(&s, &pcm[(frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)) * 2], 2);
  return s;
}

// The largest |out - gain·in delayed by `delay`| of one channel, from frame `from` on.
double Deviation(const std::vector<uint8_t>& in, const std::vector<uint8_t>& out, int channels, int channel,
                 size_t delay, double gain, size_t from) {
  const size_t frames = std::min(in.size(), out.size()) / (static_cast<size_t>(channels) * 2);
  double worst = 0;
  for (size_t f = std::max(from, delay); f < frames; ++f)
    worst = std::max(worst, std::abs(SampleAt(out, channels, f, channel) - gain * SampleAt(in, channels, f - delay, channel)));
  return worst;
}

// The delay (0..600 frames) at which a channel of `out` is closest to gain·in.
size_t BestDelay(const std::vector<uint8_t>& in, const std::vector<uint8_t>& out, int channels, int channel, double gain) {
  size_t best = 0;
  double best_deviation = 1e300;
  for (size_t delay = 0; delay <= 600; ++delay) {
    const double deviation = Deviation(in, out, channels, channel, delay, gain, 600);
    if (deviation < best_deviation) {
      best_deviation = deviation;
      best = delay;
    }
  }
  return best;
}

void DeliverAll(TChain& chain, int chunks) {
  for (int i = 0; i < chunks; ++i) ASSERT_EQ(S_OK, chain.out->Deliver()) << i;
}

TEST_F(AudioFilterTest, PassThroughFormatsAreDeliveredBitExact) {
  struct Case {
    uint16_t Tag;
    GUID Subtype;
    bool Spdif;
  } const cases[] = {{0x0092, MEDIASUBTYPE_PCM, true},
                     {0x2000, MEDIASUBTYPE_PCM, true},
                     {WAVE_FORMAT_PCM, MEDIASUBTYPE_DOLBY_AC3_SPDIF, true},
                     {0x0008, MEDIASUBTYPE_PCM, false},
                     {0x2001, MEDIASUBTYPE_PCM, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tag);
    TChain chain(WaveType(2, 48000, 16, c.Tag, c.Subtype));
    auto callback = Adopt(new TTestCallback());
    chain.control->SetPCMCallBack(callback.Get());
    chain.ConnectAll();
    const int8_t loud[10] = {100, -100, 100, -100, 100, -100, 100, -100, 100, -100};
    chain.control->SetEQBands(loud);
    chain.control->SetPreAmp(20000);
    chain.control->SetEQEnabled(TRUE);
    ASSERT_EQ(S_OK, chain.graph.Pause());
    DeliverAll(chain, 3);
    const auto out = Concatenate(chain.sink->Samples());
    const auto in = IndexedPcm16(2, 48000);
    ASSERT_EQ(3u * 4410 * 4, out.size());
    EXPECT_EQ(0, std::memcmp(out.data(), in.data(), out.size()));
    EXPECT_EQ(0, callback->Buffers.load());
    TMWAudioFormat* format = nullptr;
    chain.control->GetAudioFormat(&format);
    EXPECT_EQ(c.Spdif ? -1 : 0, format->IsSPDIF);
    EXPECT_EQ(c.Spdif ? 0 : -1, format->IsDTS);
    chain.control->SetPCMCallBack(nullptr);
  }
}

TEST_F(AudioFilterTest, FlatBandsDelayBy256FramesAndThePreAmpScales) {
  const std::vector<double> amplitudes = {8000, -5000};
  const auto tone = SinePcm16(amplitudes, 44100, 44100, 440);
  for (const uint16_t preamp : {10000, 5000}) {
    SCOPED_TRACE(preamp);
    TChain chain(kStereo, GUID_NULL, 0, tone);
    chain.ConnectAll();
    chain.control->SetPreAmp(preamp);
    chain.control->SetEQEnabled(TRUE);
    ASSERT_EQ(S_OK, chain.graph.Pause());
    DeliverAll(chain, 8);
    const auto out = Concatenate(chain.sink->Samples());
    const double gain = preamp / 10000.0;
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(256u, BestDelay(tone, out, 2, c, gain)) << c;
      // The flat design's ripple stays well under one percent at 440 Hz.
      EXPECT_LT(Deviation(tone, out, 2, c, 256, gain, 1024), 0.01 * std::abs(amplitudes[static_cast<size_t>(c)])) << c;
    }
    // Before the delayed signal only the design's small pre-echo.
    for (size_t f = 0; f < 200; ++f) ASSERT_LE(std::abs(SampleAt(out, 2, f, 0)), 0.01 * 8000 * gain) << f;
  }
}

TEST_F(AudioFilterTest, MoreThanFourChannelsAreEqualisedEach) {
  const std::vector<double> amplitudes = {1000, 2000, 3000, 4000, 5000, 6000};
  const auto tone = SinePcm16(amplitudes, 48000, 48000, 300);
  TChain chain(WaveType(6, 48000, 16), GUID_NULL, 0, tone);
  chain.ConnectAll();
  chain.control->SetEQEnabled(TRUE);
  ASSERT_EQ(S_OK, chain.graph.Pause());
  DeliverAll(chain, 5);
  const auto out = Concatenate(chain.sink->Samples());
  for (int c = 0; c < 6; ++c) EXPECT_LT(Deviation(tone, out, 6, c, 256, 1.0, 1024), 0.01 * amplitudes[static_cast<size_t>(c)]) << c;
}

TEST_F(AudioFilterTest, AudioDelayShiftsTimeStampsButNotMediaTimes) {
  TChain chain;
  chain.ConnectAll();
  EXPECT_EQ(S_OK, chain.control->SetAudioDelay(500));
  int32_t delay = 0;
  EXPECT_EQ(S_OK, chain.control->GetAudioDelay(&delay));
  EXPECT_EQ(500, delay);
  ASSERT_EQ(S_OK, chain.graph.Pause());
  DeliverAll(chain, 2);
  chain.control->SetAudioDelay(0);  // from the next buffer on
  DeliverAll(chain, 1);
  const auto samples = chain.sink->Samples();
  ASSERT_EQ(3u, samples.size());
  for (size_t i = 0; i < 3; ++i) {
    const REFERENCE_TIME start = static_cast<REFERENCE_TIME>(i * 4410) * 10000000 / 44100;
    const REFERENCE_TIME stop = static_cast<REFERENCE_TIME>((i + 1) * 4410) * 10000000 / 44100;
    const REFERENCE_TIME shift = i < 2 ? 5000000 : 0;
    EXPECT_EQ(start + shift, samples[i].Start) << i;
    EXPECT_EQ(stop + shift, samples[i].Stop) << i;
    EXPECT_EQ(static_cast<LONGLONG>(i * 4410), samples[i].MediaStart) << i;
    EXPECT_EQ(static_cast<LONGLONG>((i + 1) * 4410), samples[i].MediaStop) << i;
  }
}

TEST_F(AudioFilterTest, TheCallbackSeesEveryBufferAndMayShortenIt) {
  TChain chain;
  auto callback = Adopt(new TTestCallback());
  chain.control->SetPCMCallBack(callback.Get());
  chain.ConnectAll();
  EXPECT_EQ(1, callback->FormatChanges.load());  // announced once, at the connection
  EXPECT_EQ(44100, callback->LastFormat.SampleRate);
  EXPECT_EQ(2, callback->LastFormat.Channels);
  EXPECT_EQ(16, callback->LastFormat.BitsPerSample);
  ASSERT_EQ(S_OK, chain.graph.Pause());
  DeliverAll(chain, 1);
  callback->ShortenTo = 1000;  // 250 frames
  DeliverAll(chain, 1);
  EXPECT_EQ(2, callback->Buffers.load());
  TMWAudioFormat* format = nullptr;
  chain.control->GetAudioFormat(&format);
  EXPECT_EQ(17640, format->DataLength);  // the length processed, before the callback shortened it

  const auto samples = chain.sink->Samples();
  ASSERT_EQ(2u, samples.size());
  EXPECT_EQ(17640u, samples[0].Data.size());
  ASSERT_EQ(1000u, samples[1].Data.size());
  const REFERENCE_TIME start = 4410LL * 10000000 / 44100;
  const REFERENCE_TIME duration = 1000LL * 10000000 / 2 / 2 / 44100;
  EXPECT_EQ(start, samples[1].Start);
  EXPECT_EQ(start + duration, samples[1].Stop);
  EXPECT_EQ(4410, samples[1].MediaStart);
  EXPECT_EQ(4410 + duration, samples[1].MediaStop);

  // A length the buffer cannot hold (or a negative one) is not taken.
  for (const int wrong : {2 * 352800 * 2 + 4, -4}) {
    callback->ShortenTo = wrong;
    DeliverAll(chain, 1);
    EXPECT_EQ(17640u, chain.sink->Samples().back().Data.size()) << wrong;
  }
  chain.control->SetPCMCallBack(nullptr);
}

TEST_F(AudioFilterTest, ASampleLargerThanTheOutputBufferIsRefused) {
  // Mono 8-bit: the output buffer holds 352800 bytes (8 s at 44.1 kHz).
  TChain chain(WaveType(1, 44100, 8), GUID_NULL, 0, std::vector<uint8_t>(400000, 0x80));
  chain.ConnectAll();
  ASSERT_EQ(S_OK, chain.graph.Pause());
  TTestSourcePin::TOptions large;
  large.Frames = 352801;
  EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, chain.out->Deliver(large));
  large.Frames = 352800;
  chain.out->SeekTo(0);
  EXPECT_EQ(S_OK, chain.out->Deliver(large));
  ASSERT_EQ(1u, chain.sink->Samples().size());
  EXPECT_EQ(352800u, chain.sink->Samples()[0].Data.size());
}

TEST_F(AudioFilterTest, PcmHistoryHandsOutWhatPlaysNow) {
  TChain chain(kStereo, GUID_NULL, 0, FrameIndexPcm16(44100));
  chain.ConnectAll();
  void* data = reinterpret_cast<void*>(1);
  int32_t length = -1;
  TMWAudioFormat* format = nullptr;
  EXPECT_EQ(S_FALSE, chain.control->GetPCMData(&data, &length, &format));  // before Run
  EXPECT_EQ(nullptr, data);
  EXPECT_EQ(0, length);
  TMWAudioFormat* current = nullptr;
  chain.control->GetAudioFormat(&current);
  EXPECT_EQ(current, format);

  // The states are driven by hand so that the stream time is known exactly.
  ComPtr<IReferenceClock> clock;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&clock)));
  ASSERT_EQ(S_OK, chain.filter->SetSyncSource(clock.Get()));
  ASSERT_EQ(S_OK, chain.filter->Pause());
  ASSERT_EQ(S_OK, chain.source->Pause());
  DeliverAll(chain, 10);  // one second, all of it now in the history
  EXPECT_EQ(S_FALSE, chain.control->GetPCMData(&data, &length, &format));  // paused
  REFERENCE_TIME start = 0;
  clock->GetTime(&start);
  start -= 2000000;  // the stream began 0.2 s ago
  ASSERT_EQ(S_OK, chain.filter->Run(start));
  for (int i = 0; i < 3; ++i) {
    REFERENCE_TIME before = 0, after = 0;
    clock->GetTime(&before);
    ASSERT_EQ(S_OK, chain.control->GetPCMData(&data, &length, &format));
    clock->GetTime(&after);
    EXPECT_EQ(16384 * 4, length);
    const double frame = FrameIndexAt(static_cast<const uint8_t*>(data));
    EXPECT_GE(frame, std::floor((before - start) * 44100.0 / 1e7) - 1);
    EXPECT_LE(frame, std::ceil((after - start) * 44100.0 / 1e7) + 1);
    ::Sleep(50);
  }

  BOOL capture = FALSE;
  EXPECT_EQ(S_OK, chain.control->GetPCMCapture(&capture));
  EXPECT_EQ(-1, capture);
  chain.control->SetPCMCapture(FALSE);
  EXPECT_EQ(E_NOTIMPL, chain.control->GetPCMData(&data, &length, &format));
  chain.control->SetPCMCapture(TRUE);

  ASSERT_EQ(S_OK, chain.out->DeliverBeginFlush());
  EXPECT_EQ(S_FALSE, chain.control->GetPCMData(&data, &length, &format));
  ASSERT_EQ(S_OK, chain.out->DeliverEndFlush());
  chain.out->SeekTo(0);  // the stream again from its start: the history refills
  DeliverAll(chain, 10);
  ASSERT_EQ(S_OK, chain.control->GetPCMData(&data, &length, &format));

  // From the end of stream on (its stream time plus twice the last buffer) nothing more.
  ASSERT_EQ(S_OK, chain.out->DeliverEndOfStream());
  EXPECT_EQ(S_OK, chain.control->GetPCMData(&data, &length, &format));
  ::Sleep(250);
  EXPECT_EQ(S_FALSE, chain.control->GetPCMData(&data, &length, &format));
  EXPECT_EQ(nullptr, data);
  chain.filter->Stop();
  chain.source->Stop();
  chain.filter->SetSyncSource(nullptr);
}

TEST_F(AudioFilterTest, WithADvdNavigatorTheHistoryIsReadAtAFixedDistance) {
  // The navigator's time stamps do not follow the stream clock: the history is read 2.92 s after
  // its start whatever the time, and sample times do not move its start.
  TChain chain(kStereo, GUID_NULL, 0, FrameIndexPcm16(4 * 44100));
  const CLSID dvd_navigator = {0x9B8C4620, 0x2C1A, 0x11D0, {0x84, 0x93, 0x00, 0xA0, 0x24, 0x38, 0xAD, 0x48}};
  auto navigator = Adopt(new TTestSink(dvd_navigator));
  chain.graph.Add(navigator.Get(), L"Navigator");
  chain.ConnectAll();
  ComPtr<IReferenceClock> clock;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&clock)));
  chain.filter->SetSyncSource(clock.Get());
  ASSERT_EQ(S_OK, chain.filter->Pause());
  ASSERT_EQ(S_OK, chain.source->Pause());
  chain.out->SeekTo(44100);  // time stamps from 0 again, frames from the second second on
  DeliverAll(chain, 30);
  REFERENCE_TIME now = 0;
  clock->GetTime(&now);
  ASSERT_EQ(S_OK, chain.filter->Run(now));
  void* data = nullptr;
  int32_t length = 0;
  ASSERT_EQ(S_OK, chain.control->GetPCMData(&data, &length, nullptr));
  EXPECT_NEAR(44100 + 2.92 * 44100, FrameIndexAt(static_cast<const uint8_t*>(data)), 1);
  chain.filter->Stop();
  chain.source->Stop();
  chain.filter->SetSyncSource(nullptr);
}

TEST_F(AudioFilterTest, FormatChangesFromUpstreamGoDownstreamWithTheSample) {
  TChain chain;
  auto callback = Adopt(new TTestCallback());
  chain.ConnectAll();
  chain.control->SetPCMCallBack(callback.Get());
  ASSERT_EQ(S_OK, chain.graph.Pause());
  const TTestType faster = WaveType(2, 48000, 16);
  TTestSourcePin::TOptions change;
  change.AttachType = &faster;
  ASSERT_EQ(S_OK, chain.out->Deliver(change));
  ASSERT_EQ(S_OK, chain.out->Deliver());
  auto samples = chain.sink->Samples();
  ASSERT_EQ(2u, samples.size());
  ASSERT_TRUE(samples[0].HasType);
  EXPECT_EQ(48000u, samples[0].Type.Wave().nSamplesPerSec);
  EXPECT_FALSE(samples[1].HasType);
  TMWAudioFormat* format = nullptr;
  chain.control->GetAudioFormat(&format);
  EXPECT_EQ(48000, format->SampleRate);
  EXPECT_EQ(1, callback->FormatChanges.load());

  const TTestType odd = WaveType(2, 48000, 20);
  change.AttachType = &odd;
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, chain.out->Deliver(change));
  EXPECT_EQ(2u, chain.sink->Samples().size());
  chain.control->SetPCMCallBack(nullptr);
}

int LoudestSample(const std::vector<uint8_t>& pcm16) {
  int loudest = 0;
  for (size_t i = 0; i + 1 < pcm16.size(); i += 2) {
    int16_t s;
    std::memcpy(&s, &pcm16[i], 2);
    loudest = std::max(loudest, std::abs(static_cast<int>(s)));
  }
  return loudest;
}

TEST_F(AudioFilterTest, TheFirstSampleAfterAFlushStartsFromClearHistory) {
  // A tone, then silence from the middle on: a seek into the silence must sound silent.
  auto pcm = SinePcm16({8000, 8000}, 44100, 44100, 440);
  std::fill(pcm.begin() + static_cast<std::ptrdiff_t>(pcm.size() / 2), pcm.end(), 0);
  TChain chain(kStereo, GUID_NULL, 0, pcm);
  auto callback = Adopt(new TTestCallback());
  chain.ConnectAll();
  chain.control->SetPCMCallBack(callback.Get());
  chain.control->SetEQEnabled(TRUE);
  ASSERT_EQ(S_OK, chain.graph.Pause());
  DeliverAll(chain, 2);
  // The seek's flush begins while a sample from before it is inside the filter, ahead of the
  // equaliser: its format change calls back on the streaming thread, and the flush begins there.
  const TTestType other = WaveType(2, 48000, 16);
  TTestSourcePin::TOptions change;
  change.AttachType = &other;
  callback->DuringFormatChange = [&] { EXPECT_EQ(S_OK, chain.out->DeliverBeginFlush()); };
  chain.out->Deliver(change);
  callback->DuringFormatChange = nullptr;
  ASSERT_EQ(1, callback->Flushes.load());
  ASSERT_EQ(S_OK, chain.out->DeliverEndFlush());
  chain.sink->ClearRecords();
  chain.out->SeekTo(30000);
  ASSERT_EQ(S_OK, chain.out->Deliver());
  const auto samples = chain.sink->Samples();
  ASSERT_EQ(1u, samples.size());
  EXPECT_EQ(0, LoudestSample(samples[0].Data));
  chain.control->SetPCMCallBack(nullptr);
}

TEST_F(AudioFilterTest, AFormatTooWideForOneBufferConnectsNoOutput) {
  // 8 s of 3044 channels of 32 bits take 4 295 692 800 bytes: 725 504 once cut to 32 bits.
  TChain chain(WaveType(3044, 44100, 32), GUID_NULL, 0, std::vector<uint8_t>(3044 * 4, 0));
  ASSERT_EQ(S_OK, chain.ConnectInput());
  EXPECT_NE(S_OK, chain.ConnectOutput());
  ComPtr<IPin> peer;
  EXPECT_EQ(VFW_E_NOT_CONNECTED, chain.output->ConnectedTo(&peer));
}

// ---- Streams ------------------------------------------------------------------------------------

// A two-stream source -> "EQ Audio" -> sink; the second stream joins after the output.
struct TTwoStreams {
  explicit TTwoStreams(const CLSID& sourceClass = GUID_NULL) {
    source = Adopt(new TTestSource(sourceClass));
    sink = Adopt(new TTestSink());
    filter = AudioTest::NewFilter();
    control = AudioTest::ControlOf(filter.Get());
    filter.As(&select);
  }
  void Connect() {
    a = source->Pin(0);
    b = source->Pin(1);
    graph.Add(source.Get(), L"Source");
    graph.Add(filter.Get(), L"EQ Audio");
    graph.Add(sink.Get(), L"Sink");
    ASSERT_EQ(S_OK, graph.Connect(a, AudioTest::PinAt(filter.Get(), 0).Get()));
    ASSERT_EQ(S_OK, graph.Connect(AudioTest::PinAt(filter.Get(), 1).Get(), sink->Pin()));
    ASSERT_EQ(S_OK, graph.Connect(b, AudioTest::PinAt(filter.Get(), 2).Get()));
  }
  DWORD Flags(long index) {
    DWORD flags = 99;
    select->Info(index, nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
    return flags;
  }
  std::wstring Name(long index, LCID* lcid = nullptr) {
    WCHAR* name = nullptr;
    select->Info(index, nullptr, nullptr, lcid, nullptr, &name, nullptr, nullptr);
    std::wstring text = name ? name : L"";
    ::CoTaskMemFree(name);
    return text;
  }

  TGraph graph;
  ComPtr<TTestSource> source;
  ComPtr<TTestSink> sink;
  ComPtr<IBaseFilter> filter;
  ComPtr<IMWAudioFilterInterface> control;
  ComPtr<IAMStreamSelect> select;
  TTestSourcePin* a = nullptr;
  TTestSourcePin* b = nullptr;
};

int PinCount(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  filter->EnumPins(&pins);
  int count = 0;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) ++count;
  return count;
}

TEST_F(AudioFilterTest, EachStreamGetsAnInputAndOnlyTheActiveOneIsHeard) {
  TTwoStreams streams;
  const TTestType a_type = kStereo, b_type = WaveType(2, 48000, 16);
  streams.source->AddPin(a_type, ConstantPcm16(2, 44100, 1000));
  streams.source->AddPin(b_type, ConstantPcm16(2, 48000, -3000));
  EXPECT_EQ(2, PinCount(streams.filter.Get()));
  streams.Connect();
  EXPECT_EQ(4, PinCount(streams.filter.Get()));  // in, out, in, and a free one
  DWORD count = 0;
  EXPECT_EQ(S_OK, streams.select->Count(&count));
  EXPECT_EQ(2u, count);

  AM_MEDIA_TYPE* type = nullptr;
  DWORD flags = 0, group = 0;
  LCID lcid = 99;
  WCHAR* name = nullptr;
  IUnknown* object = reinterpret_cast<IUnknown*>(1);
  IUnknown* unknown = reinterpret_cast<IUnknown*>(1);
  ASSERT_EQ(S_OK, streams.select->Info(0, &type, &flags, &lcid, &group, &name, &object, &unknown));
  EXPECT_EQ(static_cast<DWORD>(AMSTREAMSELECTINFO_EXCLUSIVE), flags);
  EXPECT_EQ(0u, lcid);
  EXPECT_EQ(1u, group);
  EXPECT_STREQ(L"Audio Track 1", name);
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(nullptr, unknown);
  ASSERT_NE(nullptr, type);
  EXPECT_EQ(44100u, reinterpret_cast<WAVEFORMATEX*>(type->pbFormat)->nSamplesPerSec);
  ::CoTaskMemFree(type->pbFormat);
  ::CoTaskMemFree(type);
  ::CoTaskMemFree(name);
  EXPECT_EQ(0u, streams.Flags(1));
  EXPECT_EQ(L"Audio Track 2", streams.Name(1));
  ASSERT_EQ(S_OK, streams.select->Info(2, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(nullptr, type);  // the free input
  EXPECT_EQ(S_FALSE, streams.select->Info(3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(S_FALSE, streams.select->Info(-1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));

  ASSERT_EQ(S_OK, streams.graph.Pause());
  ASSERT_EQ(S_OK, streams.a->Deliver());
  EXPECT_EQ(E_FAIL, streams.b->Deliver());
  ASSERT_EQ(1u, streams.sink->Samples().size());
  EXPECT_EQ(1000, SampleAt(streams.sink->Samples()[0].Data, 2, 0, 0));

  // The switch stops the graph, makes the second input the active one and pauses it again.
  EXPECT_EQ(E_NOTIMPL, streams.select->Enable(1, 0));
  EXPECT_EQ(E_NOTIMPL, streams.select->Enable(1, AMSTREAMSELECTENABLE_ENABLE | AMSTREAMSELECTENABLE_ENABLEALL));
  EXPECT_EQ(S_FALSE, streams.select->Enable(0, AMSTREAMSELECTENABLE_ENABLE));  // already active
  EXPECT_EQ(S_FALSE, streams.select->Enable(2, AMSTREAMSELECTENABLE_ENABLE));  // nothing connected
  EXPECT_EQ(S_FALSE, streams.select->Enable(7, AMSTREAMSELECTENABLE_ENABLE));
  ASSERT_EQ(S_OK, streams.select->Enable(1, AMSTREAMSELECTENABLE_ENABLE));
  FILTER_STATE state;
  streams.filter->GetState(0, &state);
  EXPECT_EQ(State_Paused, state);
  EXPECT_EQ(0u, streams.Flags(0));
  EXPECT_EQ(static_cast<DWORD>(AMSTREAMSELECTINFO_EXCLUSIVE), streams.Flags(1));
  streams.sink->ClearRecords();
  EXPECT_EQ(E_FAIL, streams.a->Deliver());
  ASSERT_EQ(S_OK, streams.b->Deliver());
  ASSERT_EQ(S_OK, streams.b->Deliver());
  auto samples = streams.sink->Samples();
  ASSERT_EQ(2u, samples.size());
  EXPECT_EQ(-3000, SampleAt(samples[0].Data, 2, 0, 0));
  ASSERT_TRUE(samples[0].HasType);  // the first sample of the new stream brings its type
  EXPECT_EQ(48000u, samples[0].Type.Wave().nSamplesPerSec);
  EXPECT_FALSE(samples[1].HasType);

  // Only the active stream's end ends what is heard.
  ASSERT_EQ(S_OK, streams.a->DeliverEndOfStream());
  EXPECT_EQ(0, streams.sink->EndOfStreams.load());
  ASSERT_EQ(S_OK, streams.b->DeliverEndOfStream());
  EXPECT_EQ(1, streams.sink->EndOfStreams.load());

  EXPECT_EQ(S_OK, streams.control->SetStreamSwitching(FALSE));
  BOOL switching = TRUE;
  streams.control->GetStreamSwitching(&switching);
  EXPECT_EQ(0, switching);
  EXPECT_EQ(S_FALSE, streams.select->Info(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(S_FALSE, streams.select->Enable(0, AMSTREAMSELECTENABLE_ENABLE));
}

TEST_F(AudioFilterTest, StreamNamesComeFromTheSourcesThatGiveThem) {
  const std::wstring german = qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x0407));
  const std::wstring french = qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x040C));
  const std::wstring english = qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x09));
  ASSERT_FALSE(german.empty());
  ASSERT_EQ(std::wstring::npos, german.find(L'('));

  struct Case {
    const char* Kind;
    CLSID Class;
    void (*Describe)(TTestSource&);
    std::wstring Names[2];
    LCID Lcids[2];
    long Active;
  } const cases[] = {
      {"property bag", qvr::audio::kClsidBagSplitterA,
       [](TTestSource& s) {
         s.Properties = {{L"INFO/ICAS", L"2"}, {L"INFO/IAS1", L"0x0407"}, {L"INFO/IAS2", L"Commentary"}};
       },
       {german, L"Commentary"}, {0x0407, 0}, 1},
      {"track information", GUID_NULL,
       [](TTestSource& s) {
         s.Tracks = {{2, "eng", L"Main", false}, {1, "und", L"Picture", false}, {2, "qqq", L"Director", true}};
       },
       {english + L" [Main]", L"Unknown (qqq) [Director]"}, {0x09, 0}, 1},
      {"stream select", qvr::audio::kClsidStreamSelectSplitter,
       [](TTestSource& s) { s.Streams = {{0x040C, 1, L"ignored"}, {0, 2, L"other group"}, {0, 1, L"Ton: Deutsch"}}; },
       {french, L"Deutsch"}, {0x040C, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Kind);
    TTwoStreams streams(c.Class);
    c.Describe(*streams.source.Get());
    streams.source->AddPin(kStereo, ConstantPcm16(2, 4410, 1));
    streams.source->AddPin(kStereo, ConstantPcm16(2, 4410, 2));
    streams.Connect();
    for (long i = 0; i < 2; ++i) {
      LCID lcid = 99;
      EXPECT_EQ(c.Names[i], streams.Name(i, &lcid)) << i;
      EXPECT_EQ(c.Lcids[i], lcid) << i;
      EXPECT_EQ(i == c.Active ? static_cast<DWORD>(AMSTREAMSELECTINFO_EXCLUSIVE) : 0u, streams.Flags(i)) << i;
    }
    PIN_INFO info{};
    AudioTest::PinAt(streams.filter.Get(), 0)->QueryPinInfo(&info);
    EXPECT_EQ(c.Names[0], info.achName);
    info.pFilter->Release();
  }
}

TEST_F(AudioFilterTest, AFormatCheckLeavesTheFormatBeingProcessedAlone) {
  // A source that asks mid-stream whether other formats would do: they would, but the stream
  // goes on in its own, through the equaliser and for the callback alike.
  const std::vector<double> amplitudes = {8000, -5000};
  const auto tone = SinePcm16(amplitudes, 44100, 44100, 440);
  TChain chain(kStereo, GUID_NULL, 0, tone);
  auto callback = Adopt(new TTestCallback());
  chain.control->SetPCMCallBack(callback.Get());
  chain.ConnectAll();
  chain.control->SetEQEnabled(TRUE);
  ASSERT_EQ(S_OK, chain.graph.Pause());
  ASSERT_EQ(S_OK, chain.out->Deliver());
  for (const TTestType& probe : {WaveType(6, 48000, 16), WaveType(1, 22050, 8)}) {
    EXPECT_EQ(S_OK, chain.out->QueryPeerAccept(probe));
    ASSERT_EQ(S_OK, chain.out->Deliver());
  }
  DeliverAll(chain, 5);
  TMWAudioFormat* format = nullptr;
  chain.control->GetAudioFormat(&format);
  EXPECT_EQ(44100, format->SampleRate);
  EXPECT_EQ(2, format->Channels);
  EXPECT_EQ(16, format->BitsPerSample);
  EXPECT_EQ(1, callback->FormatChanges.load());
  EXPECT_EQ(44100, callback->LastFormat.SampleRate);
  const auto out = Concatenate(chain.sink->Samples());
  for (int c = 0; c < 2; ++c)
    EXPECT_LT(Deviation(tone, out, 2, c, 256, 1.0, 1024), 0.01 * std::abs(amplitudes[static_cast<size_t>(c)])) << c;
  chain.control->SetPCMCallBack(nullptr);

  // Nor does a second stream that connects while the first is heard.
  TTwoStreams streams;
  streams.source->AddPin(kStereo, ConstantPcm16(2, 4410, 1));
  streams.source->AddPin(WaveType(6, 48000, 16), ConstantPcm16(6, 4800, 2));
  streams.Connect();
  streams.control->GetAudioFormat(&format);
  EXPECT_EQ(44100, format->SampleRate);
  EXPECT_EQ(2, format->Channels);
}

}  // namespace
