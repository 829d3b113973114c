// The audio filter in the graphs the engine builds, with the system's own filters: the graph
// builder puts "EQ Audio" in front of the Default DirectSound Device, the system's AVI Splitter
// feeds it two streams (named from a ".mss" side file or from the file's stream headers, and
// switched while playing), the engine applies the equaliser through it, and a stress run changes
// the equaliser 10,000 times while the graph streams, stops and starts.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/testing/WinTestSupport.h"
#include "player/audio/tests/AudioWinTestSupport.h"
#include "player/engine/MWDirectShowUtils.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/engine/UFilterBank.h"
#include "player/resources/core/MediaWriter.h"

namespace {

using namespace qvr::audiotest;
using qvr::engine::ToAnsi;

using AudioGraphTest = AudioTest;

std::string TestFile(const char* name) {
  const std::string dir = ToAnsi(qvr::testing::ExeDirectory()) + "audiotest\\";
  ::CreateDirectoryA(dir.c_str(), nullptr);
  return dir + name;
}

// Waits (pumping messages, for the renderer) until `done` or the time is up.
template <typename Predicate>
bool WaitFor(Predicate done, DWORD milliseconds) {
  const DWORD until = ::GetTickCount() + milliseconds;
  while (!done()) {
    if (static_cast<LONG>(until - ::GetTickCount()) <= 0) return false;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  }
  return true;
}

// An AVI with two mono PCM streams of constant value (1000 and -3000), three seconds long.
std::vector<uint8_t> TwoStreamAvi(uint16_t firstLanguage, uint16_t secondLanguage) {
  using namespace qvr::media;
  PcmFormat format;
  format.Channels = 1;
  const AviAudioStream streams[] = {{format, ConstantPcm16(1, 3 * 44100, 1000)},
                                    {format, ConstantPcm16(1, 3 * 44100, -3000)}};
  std::vector<uint8_t> avi = MakeAvi(nullptr, streams);
  const uint16_t languages[] = {firstLanguage, secondLanguage};
  int stream = 0;
  for (size_t at = 0; at + 24 <= avi.size() && stream < 2; ++at)
    if (std::memcmp(&avi[at], "strh", 4) == 0 && std::memcmp(&avi[at + 8], "auds", 4) == 0) {
      avi[at + 22] = static_cast<uint8_t>(languages[stream]);
      avi[at + 23] = static_cast<uint8_t>(languages[stream] >> 8);
      ++stream;
    }
  return avi;
}

// The file through the system's async reader and AVI Splitter, rendered by the engine's builder.
struct TAviGraph {
  explicit TAviGraph(const std::string& path) {
    EXPECT_HRESULT_SUCCEEDED(graph.Graph->AddSourceFilter(qvr::engine::ToWide(path).c_str(), L"Source", &reader));
    EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&splitter)));
    graph.Add(splitter.Get(), L"AVI Splitter");
    ComPtr<IPin> out, in;
    qvr::engine::GetPin(reader.Get(), PINDIR_OUTPUT, 1, out);
    qvr::engine::GetPin(splitter.Get(), PINDIR_INPUT, 1, in);
    EXPECT_EQ(S_OK, graph.Connect(out.Get(), in.Get()));
    qvr::engine::RenderOutputPins(bank, graph.Graph.Get(), splitter.Get(), &factory);
    qvr::engine::FindFilterByClassId(graph.Graph.Get(), CLSID_MWAudioFilter, &audio);
    if (audio) {
      audio.As(&select);
      control = AudioTest::ControlOf(audio.Get());
    }
  }
  std::wstring Name(long index, LCID* lcid) {
    WCHAR* name = nullptr;
    select->Info(index, nullptr, nullptr, lcid, nullptr, &name, nullptr, nullptr);
    std::wstring text = name ? name : L"";
    ::CoTaskMemFree(name);
    return text;
  }
  DWORD Flags(long index) {
    DWORD flags = 99;
    select->Info(index, nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
    return flags;
  }

  qvr::engine::TFilterBank bank;
  qvr::audio::TMWAudioFilterFactory factory;
  TGraph graph;
  ComPtr<IBaseFilter> reader, splitter, audio;
  ComPtr<IAMStreamSelect> select;
  ComPtr<IMWAudioFilterInterface> control;
};

TEST_F(AudioGraphTest, TheDirectSoundRendererCountsAsAnAudioRenderer) {
  ComPtr<IBaseFilter> dsound;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dsound)));
  EXPECT_TRUE(qvr::engine::IsAudioRenderer(dsound.Get()));
  // The rule that admits it under Wine (its input pin names no type) is no wider than that:
  // a typeless input-only filter that refuses PCM is no audio renderer; one that accepts it is.
  auto refusing = Adopt(new TTestSink());
  refusing->AcceptsPcm = false;
  EXPECT_FALSE(qvr::engine::IsAudioRenderer(refusing.Get()));
  auto accepting = Adopt(new TTestSink());
  EXPECT_TRUE(qvr::engine::IsAudioRenderer(accepting.Get()));
  EXPECT_FALSE(qvr::engine::IsAudioRenderer(NewFilter().Get()));  // it has an output
}

TEST_F(AudioGraphTest, TwoStreamsFromTheAviSplitterAreNamedByTheSideFile) {
  const std::string path = TestFile("named.avi"), side = TestFile("named.mss");
  ASSERT_TRUE(qvr::media::SaveFile(path, TwoStreamAvi(0x0407, 0x040C)));
  const std::string mss = "[MSS]\r\nAudio_def=2\r\nAudio_1=0x0409\r\nAudio_2=Director\r\n";
  ASSERT_TRUE(qvr::media::SaveFile(side, std::vector<uint8_t>(mss.begin(), mss.end())));
  {
    TAviGraph avi(path);
    ASSERT_TRUE(avi.audio);
    EXPECT_EQ(1, CountClass(avi.graph.Graph.Get(), CLSID_MWAudioFilter));
    EXPECT_EQ(1, CountClass(avi.graph.Graph.Get(), CLSID_DSoundRender));
    int inputs = 0, outputs = 0;
    qvr::engine::CountPins(avi.audio.Get(), inputs, outputs);
    EXPECT_EQ(3, inputs);  // both streams and a free input
    DWORD count = 0;
    avi.select->Count(&count);
    EXPECT_EQ(2u, count);
    LCID lcid = 0;
    EXPECT_EQ(qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x0409)), avi.Name(0, &lcid));
    EXPECT_EQ(0x0409u, lcid);
    EXPECT_EQ(L"Director", avi.Name(1, &lcid));
    EXPECT_EQ(0u, lcid);
    EXPECT_EQ(0u, avi.Flags(0));
    EXPECT_EQ(static_cast<DWORD>(AMSTREAMSELECTINFO_EXCLUSIVE), avi.Flags(1));  // "Audio_def"
  }
  ::DeleteFileA(side.c_str());
  ::DeleteFileA(path.c_str());
}

TEST_F(AudioGraphTest, StreamHeadersNameTheStreamsAndEnableSwitchesWhatIsHeard) {
  const std::string path = TestFile("languages.avi");
  ASSERT_TRUE(qvr::media::SaveFile(path, TwoStreamAvi(0x0407, 0x040C)));
  {
    TAviGraph avi(path);
    ASSERT_TRUE(avi.audio);
    LCID lcid = 0;
    EXPECT_EQ(qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x0407)), avi.Name(0, &lcid));
    EXPECT_EQ(0x0407u, lcid);
    EXPECT_EQ(qvr::audio::StripLanguageQualifier(qvr::audio::SystemLanguageName(0x040C)), avi.Name(1, &lcid));
    EXPECT_EQ(0x040Cu, lcid);
    EXPECT_EQ(static_cast<DWORD>(AMSTREAMSELECTINFO_EXCLUSIVE), avi.Flags(0));

    auto callback = Adopt(new TTestCallback());
    avi.control->SetPCMCallBack(callback.Get());
    ASSERT_HRESULT_SUCCEEDED(avi.graph.Run());
    EXPECT_TRUE(WaitFor([&] { return callback->LastSample == 1000; }, 3000));
    ASSERT_EQ(S_OK, avi.select->Enable(1, AMSTREAMSELECTENABLE_ENABLE));
    EXPECT_TRUE(WaitFor([&] { return callback->LastSample == -3000; }, 3000));
    OAFilterState state = State_Stopped;
    avi.graph.Control->GetState(1000, &state);
    EXPECT_EQ(State_Running, state);
    avi.graph.Stop();
    avi.control->SetPCMCallBack(nullptr);
  }
  ::DeleteFileA(path.c_str());
}

// A hidden window for the engine's video panel.
class THiddenWindow {
 public:
  THiddenWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = ::DefWindowProcW;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"QVRAudioTestPanel";
    ::RegisterClassW(&window_class);
    FWindow = ::CreateWindowExW(0, L"QVRAudioTestPanel", L"", WS_POPUP, 0, 0, 160, 120, nullptr, nullptr,
                                window_class.hInstance, nullptr);
  }
  THiddenWindow(const THiddenWindow&) = delete;
  THiddenWindow& operator=(const THiddenWindow&) = delete;
  ~THiddenWindow() { ::DestroyWindow(FWindow); }
  HWND get() const { return FWindow; }

 private:
  HWND FWindow;
};

TEST_F(AudioGraphTest, TheEngineFindsEQAudioAndItsEqualiserChangesWhatIsHeard) {
  THiddenWindow window;
  qvr::audio::TMWAudioFilterFactory factory;
  {
    qvr::engine::TMWMediaPlayer player(window.get(), &factory);
    ASSERT_EQ(S_OK, player.Open(ToAnsi(qvr::testing::SamplePath(L"tone.wav"))));
    ASSERT_TRUE(player.EqualizerAvailable);
    ASSERT_TRUE(player.AudioFilterControl);
    ComPtr<IBaseFilter> audio, renderer;
    ASSERT_TRUE(qvr::engine::FindFilterByClassId(player.Graph.Get(), CLSID_MWAudioFilter, &audio));
    FILTER_INFO info{};
    audio->QueryFilterInfo(&info);
    EXPECT_STREQ(L"EQ Audio", info.achName);
    if (info.pGraph) info.pGraph->Release();
    // EQ Audio sits right in front of the Default DirectSound Device.
    ComPtr<IPin> output, peer;
    ASSERT_TRUE(qvr::engine::GetPin(audio.Get(), PINDIR_OUTPUT, 1, output));
    ASSERT_EQ(S_OK, output->ConnectedTo(&peer));
    PIN_INFO peer_info{};
    peer->QueryPinInfo(&peer_info);
    CLSID clsid{};
    peer_info.pFilter->GetClassID(&clsid);
    peer_info.pFilter->Release();
    EXPECT_TRUE(IsEqualCLSID(CLSID_DSoundRender, clsid));

    // What Open applied: flat, unity, enabled, no delay; what the builder set: switching, capture.
    IMWAudioFilterInterface* control = player.AudioFilterControl.Get();
    int8_t bands[10];
    std::memset(bands, 99, sizeof bands);
    uint16_t preamp = 0;
    BOOL enabled = 0, switching = 0, capture = 0;
    int32_t delay = -1;
    control->GetEQBands(bands);
    control->GetPreAmp(&preamp);
    control->GetEQEnabled(&enabled);
    control->GetStreamSwitching(&switching);
    control->GetPCMCapture(&capture);
    control->GetAudioDelay(&delay);
    for (const int8_t b : bands) EXPECT_EQ(0, b);
    EXPECT_EQ(10000, preamp);
    EXPECT_EQ(-1, enabled);
    EXPECT_EQ(-1, switching);
    EXPECT_EQ(-1, capture);
    EXPECT_EQ(0, delay);

    auto callback = Adopt(new TTestCallback());
    control->SetPCMCallBack(callback.Get());
    player.Play();
    ASSERT_TRUE(WaitFor([&] { return callback->Buffers >= 3; }, 3000));
    const int full = callback->Peak;  // the tone's peak: a quarter of full scale
    EXPECT_NEAR(8192, full, 300);
    std::array<int8_t, 10> flat{};
    player.SetEqualizer(50, flat);  // pre-amplifier 5000: half
    const int seen = callback->Buffers;
    ASSERT_TRUE(WaitFor([&] { return callback->Buffers >= seen + 2; }, 3000));
    callback->ResetPeak();
    const int later = callback->Buffers;
    ASSERT_TRUE(WaitFor([&] { return callback->Buffers >= later + 2; }, 3000));
    EXPECT_NEAR(full / 2, callback->Peak.load(), 300);
    player.Stop();
    control->SetPCMCallBack(nullptr);
  }
}

TEST_F(AudioGraphTest, EqualiserBandsOutsideTheTenReadFlatAndStoreNothing) {
  THiddenWindow window;
  qvr::audio::TMWAudioFilterFactory factory;
  qvr::engine::TMWMediaPlayer player(window.get(), &factory);
  for (int i = 0; i < 10; ++i) player.SetEqBand(i, static_cast<int8_t>(i + 1));
  for (const int outside : {-1, 10, 11}) {
    player.SetEqBand(outside, 77);
    EXPECT_EQ(0, player.GetEqBand(outside)) << outside;
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(i + 1, player.GetEqBand(i)) << i;
}

TEST_F(AudioGraphTest, TenThousandEqualiserChangesWhileStreamingStoppingAndStarting) {
  using namespace qvr::media;
  const std::string path = TestFile("long.wav");
  PcmFormat format;
  ASSERT_TRUE(SaveFile(path, MakeWav(format, MakeTonePcm16(format, 8.0, 440, 0.25))));
  THiddenWindow window;
  qvr::audio::TMWAudioFilterFactory factory;
  {
    qvr::engine::TMWMediaPlayer player(window.get(), &factory);
    ASSERT_EQ(S_OK, player.Open(path));
    ASSERT_TRUE(player.AudioFilterControl);
    ComPtr<IMWAudioFilterInterface> control = player.AudioFilterControl;
    auto callback = Adopt(new TTestCallback());
    control->SetPCMCallBack(callback.Get());
    player.Play();
    ASSERT_TRUE(WaitFor([&] { return callback->Buffers >= 1; }, 3000));

    // One thread changes the equaliser as the user-interface thread would, as fast as it can
    // with a breath now and then; this thread stops and restarts the graph meanwhile.
    std::atomic<int> changes{0};
    std::atomic<int> buffers_during{0};
    std::thread changer([&] {
      const int start_buffers = callback->Buffers;
      for (int i = 0; i < 10000; ++i) {
        int8_t bands[10];
        for (int b = 0; b < 10; ++b) bands[b] = static_cast<int8_t>((i * 7 + b * 31) % 201 - 100);
        control->SetEQBands(bands);
        control->SetPreAmp(static_cast<uint16_t>(5000 + i % 10000));
        control->SetEQEnabled(i % 3 != 0);
        control->SetAudioDelay(0);
        ++changes;
        if (i % 25 == 0) ::Sleep(1);
      }
      buffers_during = callback->Buffers - start_buffers;
    });
    int cycles = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (changes < 10000 && std::chrono::steady_clock::now() < deadline) {
      WaitFor([] { return false; }, 120);
      player.Stop();
      player.Play();
      ++cycles;
    }
    if (changes < 10000) {
      // A deadlock leaves nothing to clean up: report it and end the process now.
      ADD_FAILURE() << "the equaliser changes did not finish: " << changes.load();
      std::fflush(stdout);
      ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    changer.join();
    EXPECT_EQ(10000, changes.load());
    EXPECT_GE(cycles, 2);
    EXPECT_GT(buffers_during.load(), 0);  // audio went through while the settings changed
    const int after = callback->Buffers;
    EXPECT_TRUE(WaitFor([&] { return callback->Buffers > after; }, 3000));  // and still does
    player.Stop();
    control->SetPCMCallBack(nullptr);
  }
  ::DeleteFileA(path.c_str());
}

}  // namespace
