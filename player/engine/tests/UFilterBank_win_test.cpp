// The private codec bank and the graph builder on real graphs, with the test codec module of
// ours in bin\filters and test filters registered with the system where a case needs them.
// winsock2.h must come before windows.h.
#include "player/engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "player/engine/MWDirectShowUtils.h"
#include "player/engine/MWMediaPlayer.h"

namespace {

using namespace qvr::engine;
using namespace qvr::enginetest;

class FilterBankTest : public qvr::testing::ComTest {};

const TFilterBank::TModuleRecord* ModuleNamed(const TFilterBank& bank, const char* file) {
  for (const auto& m : bank.Modules())
    if (m.Path.size() >= std::strlen(file) && _stricmp(m.Path.c_str() + m.Path.size() - std::strlen(file), file) == 0) return &m;
  return nullptr;
}

std::vector<std::string> RecordIds(const TFilterBank::TModuleRecord& module) {
  std::vector<std::string> ids;
  for (const auto& f : module.Filters) ids.push_back(f.ClsidText);
  return ids;
}

TEST_F(FilterBankTest, LoadsThePresentModulesInListOrderAndSkipsMissingOnes) {
  TFilterBank bank;
  bank.LoadCodecs();
  // Only the two module files the tests put in bin\filters exist; the LAV lines before them
  // name missing files and must not stop the rest.
  ASSERT_EQ(2u, bank.Modules().size());
  const auto* flv = ModuleNamed(bank, "\\filters\\FLVSplitter.ax");
  const auto* mp4 = ModuleNamed(bank, "\\filters\\MP4Splitter.ax");
  ASSERT_NE(nullptr, flv);
  ASSERT_NE(nullptr, mp4);
  EXPECT_EQ(flv, &bank.Modules()[0]);
  EXPECT_NE(nullptr, flv->Handle);
  EXPECT_NE(nullptr, flv->GetClassObject);
  EXPECT_EQ((std::vector<std::string>{"{C9ECE7B3-1D8E-41F5-9F24-B255DF16C087}", "{47E792CF-0BBE-4F7A-859C-194B0768650A}"}),
            RecordIds(*flv));
  EXPECT_EQ("MPC - FLV Source (Brevik)", flv->Filters[0].Name);
  EXPECT_EQ("DirectShow Filters", flv->Filters[0].Category);
  EXPECT_EQ(4u, mp4->Filters.size());  // one module however many lines name it
}

TEST_F(FilterBankTest, CreatesPrivateFiltersByClassIdTextInAnyCase) {
  TFilterBank bank;
  bank.LoadCodecs();
  ComPtr<IBaseFilter> flv = bank.CreateFilter("{c9ece7b3-1d8e-41f5-9f24-b255df16c087}");
  ASSERT_TRUE(flv);
  GUID clsid;
  ASSERT_HRESULT_SUCCEEDED(flv->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualGUID(testcodec::kFlvSource, clsid));
  // Listed, but the module does not serve it; and a class nobody knows.
  EXPECT_FALSE(bank.CreateFilter("{47E792CF-0BBE-4F7A-859C-194B0768650A}"));
  EXPECT_FALSE(bank.CreateFilter("{00000000-1111-2222-3333-444444444444}"));
  EXPECT_FALSE(bank.CreateFilter("not a class id"));
}

TEST_F(FilterBankTest, WalksEveryPrivateFilterThenResets) {
  TFilterBank bank;
  bank.LoadCodecs();
  std::vector<std::string> names;
  int instances = 0;
  GUID clsid;
  while (bank.NextFilter(clsid)) {
    std::string name;
    ComPtr<IBaseFilter> filter;
    bank.CurrentFilter(name, filter);
    names.push_back(name);
    if (filter) ++instances;
  }
  EXPECT_EQ((std::vector<std::string>{"MPC - FLV Source (Brevik)", "MPC - FLV Splitter (Brevik)", "MPC - MP4 Source",
                                      "MPC - MP4 Splitter", "MPC - MPEG4 Video Source", "MPC - MPEG4 Video Splitter"}),
            names);
  EXPECT_EQ(2, instances);  // the module serves the two sources only
  std::string name;
  ComPtr<IBaseFilter> filter;
  bank.CurrentFilter(name, filter);
  EXPECT_TRUE(name.empty());
  EXPECT_FALSE(filter);
  ASSERT_TRUE(bank.NextFilter(clsid));  // the walk starts over
  EXPECT_TRUE(IsEqualGUID(testcodec::kFlvSource, clsid));
}

TEST_F(FilterBankTest, AClassTheSystemRegistersIsNotLoadedPrivately) {
  ComRegistration registered(testcodec::kMp4Source);
  TFilterBank bank;
  bank.LoadCodecs();
  const auto* mp4 = ModuleNamed(bank, "\\filters\\MP4Splitter.ax");
  ASSERT_NE(nullptr, mp4);
  const auto ids = RecordIds(*mp4);
  EXPECT_EQ(ids.end(), std::find(ids.begin(), ids.end(), "{3CCC052E-BDEE-408A-BEA7-90914EF2964B}"));
  EXPECT_EQ(3u, ids.size());
  // The system's copy serves it everywhere.
  const long before = CreatedCount(testcodec::kMp4Source);
  EXPECT_TRUE(bank.CreateFilter("{3CCC052E-BDEE-408A-BEA7-90914EF2964B}"));
  EXPECT_EQ(before + 1, CreatedCount(testcodec::kMp4Source));
}

TEST_F(FilterBankTest, BlacklistMatchesFriendlyNamesIgnoringCase) {
  TFilterBank bank;
  bank.LoadBlacklist("BLACKLIST");
  ASSERT_EQ(9u, bank.Blacklist().size());
  EXPECT_TRUE(bank.IsBlacklisted("DirectVobSub"));
  EXPECT_TRUE(bank.IsBlacklisted("directvobsub"));
  EXPECT_TRUE(bank.IsBlacklisted("DIRECTVOBSUB (AUTO-LOADING VERSION)"));
  EXPECT_TRUE(bank.IsBlacklisted("mpc - mpa decoder filter"));
  EXPECT_FALSE(bank.IsBlacklisted("DirectVobSub2"));
  EXPECT_FALSE(bank.IsBlacklisted("{93A22E7A-5091-45EF-BA61-6DA26156A5D0}"));  // class ids are not compared
  EXPECT_FALSE(bank.IsBlacklisted(""));
}

class GraphBuilderTest : public qvr::testing::ComTest {};

TEST_F(GraphBuilderTest, BlacklistedSystemFiltersNeverEnterAGraph) {
  // Both outrank the DirectSound renderer for PCM; the control filter shows the mapper offers
  // such candidates at all.
  FilterRegistration blocked_a(testcodec::kRefusingA, L"directvobsub", 0x900000);
  FilterRegistration blocked_b(testcodec::kRefusingB, L"DC-DSP FILTER", 0x900000);
  FilterRegistration control(testcodec::kRefusingControl, L"QVR test control filter", 0x900000);
  const long a = CreatedCount(testcodec::kRefusingA), b = CreatedCount(testcodec::kRefusingB),
             c = CreatedCount(testcodec::kRefusingControl);
  TestWindow window;
  TMWMediaPlayer player(window.get());
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(a, CreatedCount(testcodec::kRefusingA));
  EXPECT_EQ(b, CreatedCount(testcodec::kRefusingB));
  EXPECT_GT(CreatedCount(testcodec::kRefusingControl), c);
  EXPECT_EQ(0, CountClass(player.Graph.Get(), testcodec::kRefusingControl));  // refused, so removed again
  EXPECT_EQ(1, CountClass(player.Graph.Get(), CLSID_DSoundRender));
}

// The mapper's answers are kept between items; a filter installed or removed meanwhile must
// still count at the very next item.
TEST_F(GraphBuilderTest, AFilterRegisteredOrRemovedWhileThePlayerRunsCountsAtTheNextItem) {
  ASSERT_TRUE(TFilterBank().MatchingFilters().Watching());  // else nothing is kept to go stale
  TestWindow window;
  TMWMediaPlayer player(window.get());
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
  const std::vector<std::wstring> first = FilterNames(player.Graph.Get());
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(first, FilterNames(player.Graph.Get()));  // the kept answer builds the same graph

  const long offered = CreatedCount(testcodec::kRefusingControl);
  {
    FilterRegistration control(testcodec::kRefusingControl, L"QVR test control filter", 0x900000);
    ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
    EXPECT_GT(CreatedCount(testcodec::kRefusingControl), offered);
    EXPECT_EQ(first, FilterNames(player.Graph.Get()));  // it refuses, so it leaves again
    player.Close();
  }
  const long after_removal = CreatedCount(testcodec::kRefusingControl);
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(after_removal, CreatedCount(testcodec::kRefusingControl));
  EXPECT_EQ(first, FilterNames(player.Graph.Get()));
}

TEST_F(GraphBuilderTest, VideoReachesOnlyTheEnginesRenderer) {
  TestWindow window;
  TMWMediaPlayer player(window.get());
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"bars.avi")));
  ComPtr<IBaseFilter> renderer;
  ASSERT_TRUE(FindRenderer(player.Graph.Get(), MEDIATYPE_Video, &renderer));
  GUID clsid;
  renderer->GetClassID(&clsid);
  EXPECT_TRUE(IsEqualGUID(CLSID_VideoMixingRenderer9, clsid));
  EXPECT_EQ(1, CountClass(player.Graph.Get(), CLSID_VideoMixingRenderer9));
  EXPECT_EQ(0, CountClass(player.Graph.Get(), CLSID_VideoRenderer));
  EXPECT_EQ(0, CountClass(player.Graph.Get(), CLSID_VideoRendererDefault));
  EXPECT_TRUE(IsVideoRenderer(renderer.Get()));
  EXPECT_TRUE(FindRenderer(player.Graph.Get(), MEDIATYPE_Audio));
  EXPECT_TRUE(player.HasVideo);
  EXPECT_EQ(160, player.VideoWidth);
  EXPECT_EQ(120, player.VideoHeight);
}

// The AVI's video appears only behind the splitter: the renderer must be in the graph when the
// builder meets that pin, before the pin is connected to anything.
TEST_F(GraphBuilderTest, TheRendererEntersBeforeTheVideoPinBehindTheSplitterConnects) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  ComPtr<IBaseFilter> source;
  ASSERT_TRUE(AddSystemSourceFilter(graph.Get(), SampleFile(L"bars.avi"), "bars.avi", source));
  TFilterBank bank;
  TestWindow window;
  TVMR9 vmr;
  int calls = 0;
  size_t filters_before = 0;
  bool video_connected_before = true;
  RenderOutputPins(bank, graph.Get(), source.Get(), nullptr, [&] {
    if (++calls > 1) return;
    filters_before = GraphFilters(graph.Get()).size();
    video_connected_before = FindRenderer(graph.Get(), MEDIATYPE_Video);
    EXPECT_EQ(S_OK, vmr.Initialize(graph.Get(), window.get()));
  });
  EXPECT_EQ(1, calls);  // one video pin; the source's stream pin and the audio pin are no video
  EXPECT_GE(filters_before, 2u);  // source and splitter were there already
  EXPECT_FALSE(video_connected_before);
  ComPtr<IBaseFilter> renderer;
  ASSERT_TRUE(FindRenderer(graph.Get(), MEDIATYPE_Video, &renderer));
  GUID clsid;
  renderer->GetClassID(&clsid);
  EXPECT_TRUE(IsEqualGUID(CLSID_VideoMixingRenderer9, clsid));
  EXPECT_EQ(1, CountClass(graph.Get(), CLSID_VideoMixingRenderer9));
  int32_t width = 0, height = 0;
  EXPECT_EQ(S_OK, vmr.GetNativeVideoSize(width, height));
  EXPECT_EQ(160, width);
  DismantleGraph(graph);
}

TEST_F(GraphBuilderTest, ASecondAudioStreamGetsNoSecondRenderer) {
  using namespace qvr::media;
  const PcmFormat format{};
  const AviAudioStream streams[] = {{format, MakeTonePcm16(format, 1.0, 440, 0.2)},
                                    {format, MakeTonePcm16(format, 1.0, 880, 0.2)}};
  const std::string path = WriteTestFile("two-audio.avi", MakeAvi(nullptr, streams));
  TestWindow window;
  TMWMediaPlayer player(window.get());
  ASSERT_EQ(S_OK, player.Open(path));
  EXPECT_EQ(1, CountClass(player.Graph.Get(), CLSID_DSoundRender));
  EXPECT_FALSE(player.HasVideo);
  player.Close();
  ::DeleteFileA(path.c_str());
}

TEST_F(GraphBuilderTest, ClassifiesRenderersAndCountsPins) {
  ComPtr<IBaseFilter> dsound, vmr;
  ASSERT_TRUE(CreateFilterByClassId(CLSID_DSoundRender, dsound));
  ASSERT_TRUE(CreateFilterByClassId(CLSID_VideoMixingRenderer9, vmr));
  EXPECT_FALSE(CreateFilterByClassId(GUID_NULL, vmr));
  EXPECT_FALSE(vmr);
  ASSERT_TRUE(CreateFilterByClassId(CLSID_VideoMixingRenderer9, vmr));
  int inputs = -1, outputs = -1;
  CountPins(dsound.Get(), inputs, outputs);
  EXPECT_EQ(1, inputs);
  EXPECT_EQ(0, outputs);
  EXPECT_TRUE(IsVideoRenderer(vmr.Get()));  // by class id
  EXPECT_FALSE(IsAudioRenderer(vmr.Get()));
  EXPECT_FALSE(IsVideoRenderer(dsound.Get()));
  EXPECT_TRUE(IsAudioRenderer(dsound.Get()));  // under Wine through the typeless-renderer rule
  ComPtr<IPin> pin;
  EXPECT_TRUE(GetPin(dsound.Get(), PINDIR_INPUT, 1, pin));
  EXPECT_FALSE(GetPin(dsound.Get(), PINDIR_INPUT, 2, pin));
  EXPECT_FALSE(GetPin(dsound.Get(), PINDIR_OUTPUT, 1, pin));
}

}  // namespace
