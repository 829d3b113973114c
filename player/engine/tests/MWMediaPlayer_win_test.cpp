// The engine on real graphs under the test platform: Open's results, source choice, transport,
// seeking, volume and mute, the running-object-table entry, closing, and a soak.
// winsock2.h must come before windows.h.
#include "player/engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <array>
#include <atomic>
#include <thread>

#include <cmath>
#include <cstdlib>

#include "player/engine/MWDirectShowUtils.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/engine/core/MWPlaybackRules.h"

namespace {

using namespace qvr::engine;
using namespace qvr::enginetest;

class EngineTest : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    player_ = std::make_unique<TMWMediaPlayer>(window_.get());
  }
  void TearDown() override { player_.reset(); }

  // Waits (pumping messages) until GetState reports the state, up to 3 s.
  bool ReachesState(uint8_t state) {
    for (int i = 0; i < 150; ++i) {
      if (player_->GetState() == state) return true;
      Pump(20);
    }
    return false;
  }
  long GraphVolume() {
    ComPtr<IBasicAudio> audio;
    long volume = 1;
    if (player_->Graph && SUCCEEDED(player_->Graph.As(&audio))) audio->get_Volume(&volume);
    return volume;
  }

  TestWindow window_;
  std::unique_ptr<TMWMediaPlayer> player_;
};

TEST_F(EngineTest, CreationDefaults) {
  EXPECT_EQ(kStateClosed, player_->GetState());
  EXPECT_EQ(100, player_->Volume);
  EXPECT_FALSE(player_->Muted);
  EXPECT_FALSE(player_->FullScreen);
  EXPECT_FALSE(player_->UseEVR);  // the test prefix is Windows 10: VMR-9
  EXPECT_EQ(0, player_->GetCurrentPosition());
  EXPECT_EQ(0, player_->GetPositionMs());
  EXPECT_FALSE(player_->SetPosition(0));
  EXPECT_FALSE(player_->Stop());
}

TEST_F(EngineTest, OpenRefusesWhatIsNeitherAUrlNorAFile) {
  EXPECT_EQ(E_INVALIDARG, player_->Open(TestDir()));  // a folder
  EXPECT_EQ(E_INVALIDARG, player_->Open(TestDir() + "missing.wav"));
  EXPECT_EQ(E_INVALIDARG, player_->Open("ftp://127.0.0.1/tone.wav"));  // other schemes are file names
  EXPECT_EQ(E_INVALIDARG, player_->Open(""));
  EXPECT_EQ(kStateClosed, player_->GetState());
  EXPECT_FALSE(player_->Graph);
}

// The file check keeps the system's error dialogs away on its own thread only: another thread
// must never see the process-wide mode change, even while the check runs.
TEST_F(EngineTest, TheFileCheckLeavesTheProcessErrorModeAlone) {
  // The first item builds the codec bank, whose system loaders may set the mode themselves (Wine's
  // do); it is built before the watch starts.
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  const UINT process_mode = ::SetErrorMode(0);
  const DWORD thread_mode = ::GetThreadErrorMode();
  std::atomic<bool> done{false}, changed{false};
  std::thread watcher([&] {
    while (!done)
      if (::GetErrorMode() != 0) changed = true;
  });
  for (int i = 0; i < 300; ++i) player_->Open(TestDir() + "missing.wav");
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  done = true;
  watcher.join();
  EXPECT_FALSE(changed);
  EXPECT_EQ(0u, ::GetErrorMode());
  EXPECT_EQ(thread_mode, ::GetThreadErrorMode());
  ::SetErrorMode(process_mode);
}

TEST_F(EngineTest, OpenReportsSFalseWhenNothingRenders) {
  // A recognised container (AVI) the system cannot read and no private source serves.
  std::vector<uint8_t> broken = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '};
  broken.resize(4096, 0x5A);
  const std::string path = WriteTestFile("broken.avi", broken);
  EXPECT_EQ(S_FALSE, player_->Open(path));
  EXPECT_EQ(kStateClosed, player_->GetState());
  EXPECT_FALSE(player_->Graph);
  EXPECT_TRUE(player_->FileName.empty());
  ::DeleteFileA(path.c_str());
}

TEST_F(EngineTest, OpensTheSampleWavStoppedWithItsMediaInformation) {
  const std::string path = SampleFile(L"tone.wav");
  ASSERT_EQ(S_OK, player_->Open(path));
  EXPECT_EQ(kStateStopped, player_->GetState());
  EXPECT_EQ(path, player_->FileName);
  EXPECT_EQ(30000000, player_->Duration);
  EXPECT_FALSE(player_->HasVideo);
  EXPECT_EQ(0, player_->VideoWidth);
  EXPECT_FALSE(player_->EqualizerAvailable);  // no audio filter factory here
  EXPECT_FALSE(player_->ColorControlsAvailable);
  EXPECT_TRUE(player_->Seeking);
  EXPECT_FALSE(player_->Playing);
}

// No renderer object and no renderer filter for audio; the video-window calls answer what an
// unconnected renderer answered.
TEST_F(EngineTest, AudioOnlyItemHasNoVideoRendererAndItsVideoCallsAreSafe) {
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(nullptr, player_->VideoRenderer);
  for (auto& filter : GraphFilters(player_->Graph.Get())) EXPECT_FALSE(IsVideoRenderer(filter.Get()));
  EXPECT_EQ(0, CountClass(player_->Graph.Get(), CLSID_VideoMixingRenderer9));
  player_->UpdateVideoPosition();
  HDC dc = ::GetDC(window_.get());
  player_->RepaintVideo(window_.get(), dc);
  ::ReleaseDC(window_.get(), dc);
  player_->SetAspectRatio(kAspectFixedRatio, 240, 320);
  player_->ReadColorControls();
  player_->SetBrightness(80);
  player_->SetContrast(80);
  player_->SetHue(80);
  player_->SetSaturation(80);
  EXPECT_EQ(0, player_->GetBrightness() + player_->GetContrast() + player_->GetHue() + player_->GetSaturation());
  EXPECT_FALSE(player_->HasVideo);
  EXPECT_FALSE(player_->ColorControlsAvailable);
  player_->Play();
  EXPECT_TRUE(ReachesState(kStateRunning));
  player_->Close();
  player_->UpdateVideoPosition();  // closed: still nothing to do
  EXPECT_EQ(0, player_->GetBrightness());
}

TEST_F(EngineTest, TransportAndStateMapping) {
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  player_->Play();
  EXPECT_TRUE(player_->Playing);
  EXPECT_TRUE(ReachesState(kStateRunning));
  Pump(400);
  EXPECT_GT(player_->GetCurrentPosition(), 1000000);
  EXPECT_EQ(static_cast<int32_t>(player_->GetCurrentPosition() / 10000), player_->GetPositionMs());
  player_->Pause();
  EXPECT_FALSE(player_->Playing);
  EXPECT_TRUE(ReachesState(kStatePaused));
  EXPECT_TRUE(player_->Stop());
  EXPECT_TRUE(ReachesState(kStateStopped));
  EXPECT_EQ(0, player_->GetCurrentPosition());
  player_->Close();
  EXPECT_EQ(kStateClosed, player_->GetState());
  EXPECT_EQ(0, player_->Duration);
  EXPECT_TRUE(player_->FileName.empty());
}

TEST_F(EngineTest, SeekingClampsAndStepsByTenSeconds) {
  using namespace qvr::media;
  const PcmFormat mono{1, 1, 8000, 8};
  std::vector<uint8_t> silence(8000 * 25, 0x80);  // 25 s of 8-bit silence
  const std::string path = WriteTestFile("long.wav", MakeWav(mono, silence));
  ASSERT_EQ(S_OK, player_->Open(path));
  EXPECT_EQ(250000000, player_->Duration);
  player_->Pause();
  ASSERT_TRUE(ReachesState(kStatePaused));
  EXPECT_TRUE(player_->SetPosition(-5));
  EXPECT_EQ(0, player_->GetCurrentPosition());
  EXPECT_TRUE(player_->SetPosition(999000000));
  EXPECT_EQ(250000000, player_->GetCurrentPosition());
  EXPECT_TRUE(player_->SetPosition(30000000));
  player_->StepForward();
  EXPECT_EQ(130000000, player_->GetCurrentPosition());
  player_->StepBackward();
  player_->StepBackward();
  EXPECT_LE(player_->GetCurrentPosition(), 30000000);  // below 0 is the graph's to limit
  player_->Close();
  ::DeleteFileA(path.c_str());
}

TEST_F(EngineTest, VolumeInHundredthsOfADecibelAndZeroIsSilence) {
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  const struct {
    int percent;
    long attenuation;
  } table[] = {{100, 0}, {75, -415}, {50, -1000}, {10, -3322}, {1, -6644}, {0, -10000}};
  for (const auto& row : table) {
    player_->SetVolume(row.percent);
    EXPECT_EQ(row.attenuation, GraphVolume()) << row.percent << " %";
    EXPECT_EQ(row.percent, player_->Volume);
  }
}

TEST_F(EngineTest, MuteAttenuatesAndHoldsLaterVolumeChanges) {
  player_->SetMute(true);  // nothing open: nothing changes, not even the flag
  EXPECT_FALSE(player_->Muted);
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  player_->SetVolume(50);
  player_->SetMute(true);
  EXPECT_TRUE(player_->Muted);
  EXPECT_EQ(-6644, GraphVolume());
  player_->SetVolume(80);  // stored only
  EXPECT_EQ(80, player_->Volume);
  EXPECT_EQ(-6644, GraphVolume());
  player_->SetMute(false);
  EXPECT_EQ(VolumeToAttenuation(80), GraphVolume());
  // Mute survives into the next item.
  player_->SetMute(true);
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  EXPECT_TRUE(player_->Muted);
  EXPECT_EQ(-6644, GraphVolume());
}

TEST_F(EngineTest, EveryOpenResetsTheEqualiser) {
  player_->SetEqBand(3, 50);
  player_->SetEqBand(9, -100);
  player_->SetPreamp(150);
  EXPECT_EQ(50, player_->GetEqBand(3));
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(100, player_->Preamp);
  for (int band = 0; band < 10; ++band) EXPECT_EQ(0, player_->GetEqBand(band)) << band;
}

bool RotHasEntry(const std::wstring& display_name) {
  ComPtr<IRunningObjectTable> rot;
  ComPtr<IEnumMoniker> monikers;
  ComPtr<IBindCtx> context;
  if (FAILED(::GetRunningObjectTable(0, &rot)) || FAILED(rot->EnumRunning(&monikers)) ||
      FAILED(::CreateBindCtx(0, &context)))
    return false;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    LPOLESTR name = nullptr;
    if (SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &name))) {
      const bool match = display_name == name;
      ::CoTaskMemFree(name);
      if (match) return true;
    }
  }
  return false;
}

TEST_F(EngineTest, GraphIsInTheRunningObjectTableWhileOpen) {
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  EXPECT_NE(0u, player_->RotCookie);
  const std::wstring entry = L"!" + ToWide(FormatRotName(player_->Graph.Get(), ::GetCurrentProcessId()));
  EXPECT_TRUE(RotHasEntry(entry));
  player_->Close();
  EXPECT_EQ(0u, player_->RotCookie);
  EXPECT_FALSE(RotHasEntry(entry));
}

TEST_F(EngineTest, ClosingDismantlesVideoGraphsButOnlyReleasesAudioOnlyOnes) {
  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
  ComPtr<IGraphBuilder> audio_graph = player_->Graph;
  const size_t audio_filters = GraphFilters(audio_graph.Get()).size();
  player_->Close();
  EXPECT_EQ(audio_filters, GraphFilters(audio_graph.Get()).size());
  EXPECT_GE(audio_filters, 2u);

  ASSERT_EQ(S_OK, player_->Open(SampleFile(L"bars.avi")));
  ComPtr<IGraphBuilder> video_graph = player_->Graph;
  EXPECT_TRUE(player_->HasVideo);
  player_->Close();
  EXPECT_TRUE(GraphFilters(video_graph.Get()).empty());
  EXPECT_FALSE(player_->HasVideo);
  EXPECT_EQ(0, player_->VideoWidth);
}

TEST_F(EngineTest, PrivateSourceByContentAndByExtension) {
  using namespace qvr::media;
  const PcmFormat format{1, 2, 22050, 16};
  const auto pcm = MakeTonePcm16(format, 2.0, 440, 0.2);
  // Content: our container begins with "FLV"; the name says nothing.
  const std::string by_content = WriteTestFile("clip.dat", OwnContainer("FLVQ", pcm, 2, 22050, 16));
  ASSERT_EQ(S_OK, player_->Open(by_content));
  auto names = FilterNames(player_->Graph.Get());
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"MPC - FLV Source (Brevik)"));
  EXPECT_EQ(20000000, player_->Duration);
  player_->Play();
  EXPECT_TRUE(ReachesState(kStateRunning));
  Pump(300);
  EXPECT_GT(player_->GetCurrentPosition(), 0);
  player_->Close();
  // Extension: unrecognised content in a ".flv" file.
  const std::string by_extension = WriteTestFile("clip.flv", OwnContainer("QPCM", pcm, 2, 22050, 16));
  ASSERT_EQ(S_OK, player_->Open(by_extension));
  names = FilterNames(player_->Graph.Get());
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"MPC - FLV Source (Brevik)"));
  player_->Close();
  // The private source refuses what it cannot read: E_NOTIMPL, closed.
  const std::string refused = WriteTestFile("junk.flv", std::vector<uint8_t>(64, 0x11));
  EXPECT_EQ(E_NOTIMPL, player_->Open(refused));
  EXPECT_FALSE(player_->Graph);
  for (const auto& path : {by_content, by_extension, refused}) ::DeleteFileA(path.c_str());
}

// A filter that faults while it is bound, loaded or connected costs only that step.
TEST_F(EngineTest, AFilterThatFaultsIsSkipped) {
  {
    // Two candidates ranked above the system's audio renderer for PCM: the first faults in its
    // factory, the second when the source's pin is offered to it.
    FilterRegistration on_create(testcodec::kFaultOnCreate, L"QVR test faulting factory", 0x900000);
    FilterRegistration on_connect(testcodec::kFaultOnConnect, L"QVR test faulting pin", 0x900000);
    const long create_faults = FaultCount(testcodec::kFaultOnCreate);
    const long connect_faults = FaultCount(testcodec::kFaultOnConnect);
    ASSERT_EQ(S_OK, player_->Open(SampleFile(L"tone.wav")));
    EXPECT_GT(FaultCount(testcodec::kFaultOnCreate), create_faults);
    EXPECT_GT(FaultCount(testcodec::kFaultOnConnect), connect_faults);
    EXPECT_EQ(0, CountClass(player_->Graph.Get(), testcodec::kFaultOnConnect));
    EXPECT_TRUE(FindRenderer(player_->Graph.Get(), MEDIATYPE_Audio));
    player_->Play();
    EXPECT_TRUE(ReachesState(kStateRunning));
    player_->Close();
  }
  // A private source that faults in Load: the item fails as one it cannot read, and the same
  // source reads the next item.
  using namespace qvr::media;
  const auto pcm = MakeTonePcm16(PcmFormat{1, 1, 22050, 16}, 0.5, 440, 0.2);
  const std::string faulting = WriteTestFile("faulting.flv", OwnContainer("FLVF", pcm, 1, 22050, 16));
  const std::string good = WriteTestFile("good.flv", OwnContainer("FLVQ", pcm, 1, 22050, 16));
  EXPECT_EQ(E_NOTIMPL, player_->Open(faulting));
  EXPECT_FALSE(player_->Graph);
  EXPECT_EQ(S_OK, player_->Open(good));
  player_->Close();
  for (const auto& path : {faulting, good}) ::DeleteFileW(Utf8ToWide(path).c_str());
}

TEST_F(EngineTest, StreamUrlThroughTheNetworkSource) {
  using namespace qvr::media;
  const PcmFormat format{};
  LoopbackHttpServer server(MakeWav(format, MakeTonePcm16(format, 2.0, 440, 0.2)));
  {
    ComRegistration shoutcast(testcodec::kShoutcastSource);
    ASSERT_EQ(S_OK, player_->Open(server.Url("/radio.wav")));
    auto names = FilterNames(player_->Graph.Get());
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"SHOUTcast"));
    EXPECT_EQ(20000000, player_->Duration);
    EXPECT_EQ(1, server.Requests());
    player_->Close();
    // The scheme is recognised in any letter case.
    std::string upper = server.Url("/radio.wav");
    upper.replace(0, 4, "HTTP");
    EXPECT_EQ(S_OK, player_->Open(upper));
    player_->Close();
  }
  // Without the network source the system's AddSourceFilter is tried with the URL; Wine has no
  // source filter for http URLs, so both ways fail: E_NOTIMPL, closed.
  EXPECT_EQ(E_NOTIMPL, player_->Open(server.Url("/radio.wav")));
  EXPECT_FALSE(player_->Graph);
  player_->Close();
}

// Open/Play/Stop/Close many times in one process: handles, GDI and USER objects and private
// bytes must not grow.
TEST_F(EngineTest, SoakOpenPlayStopCloseLeaksNothing) {
  const std::string path = SampleFile(L"bars.avi");
  auto cycle = [&] {
    ASSERT_EQ(S_OK, player_->Open(path));
    player_->Play();
    Pump(20);
    player_->Stop();
    player_->Close();
  };
  const int kCycles = std::getenv("QVR_SOAK_CYCLES") ? std::atoi(std::getenv("QVR_SOAK_CYCLES")) : 200;
  for (int i = 0; i < 10; ++i) cycle();  // warm-up: first-use allocations of Wine and of the runtime
  auto snapshot = [] {
    DWORD handles = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    return std::array<long long, 4>{handles, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                                    ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS),
                                    static_cast<long long>(memory.PrivateUsage)};
  };
  const auto before = snapshot();
  for (int i = 0; i < kCycles; ++i) {
    cycle();
    if (HasFatalFailure()) return;
  }
  const auto after = snapshot();
  EXPECT_LE(after[0] - before[0], 16) << "handles";
  EXPECT_LE(after[1] - before[1], 8) << "GDI objects";
  EXPECT_LE(after[2] - before[2], 8) << "USER objects";
  EXPECT_LE(after[3] - before[3], 16ll << 20) << "private bytes";
}

}  // namespace
