// The renderer wrappers: colour controls against mixer and processor doubles of ours (Wine's
// VMR-9 answers E_NOTIMPL to every ProcAmp call and its EVR has no mixer service), missing
// interfaces, the real renderers' placement, and the sample AVI on screen through the engine.
// winsock2.h must come before windows.h.
#include "player/engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>

#include "player/engine/EVR9.h"
#include "player/engine/MWDirectShowUtils.h"
#include "player/engine/MWMediaPlayer.h"

namespace {

using namespace qvr::engine;
using namespace qvr::enginetest;

// A COM object on the test's stack: counts references, never deletes itself.
template <class I>
class ComDouble : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, __uuidof(IUnknown)) && !IsEqualIID(iid, __uuidof(I))) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  ULONG Refs() const { return refs_; }

 private:
  ULONG refs_ = 1;
};

// IVMRMixerControl9 with ranges per property flag (others E_NOTIMPL, as Wine answers).
class MixerDouble final : public ComDouble<IVMRMixerControl9> {
 public:
  std::map<DWORD, TColorRange> Ranges;
  HRESULT SetResult = S_OK;
  int SetCalls = 0;
  VMR9ProcAmpControl Last{};

  HRESULT STDMETHODCALLTYPE GetProcAmpControlRange(DWORD stream, VMR9ProcAmpControlRange* range) override {
    if (stream != 0 || range->dwSize != 24) return E_INVALIDARG;
    const auto it = Ranges.find(range->dwProperty);
    if (it == Ranges.end()) return E_NOTIMPL;
    range->MinValue = it->second.Minimum;
    range->MaxValue = it->second.Maximum;
    range->DefaultValue = it->second.Default;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control) override {
    ++SetCalls;
    Last = *control;
    return stream == 0 && control->dwSize == 24 ? SetResult : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetProcAmpControl(DWORD, VMR9ProcAmpControl*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAlpha(DWORD, FLOAT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAlpha(DWORD, FLOAT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetZOrder(DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetZOrder(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOutputRect(DWORD, const VMR9NormalizedRect*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetOutputRect(DWORD, VMR9NormalizedRect*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBackgroundClr(COLORREF) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBackgroundClr(COLORREF*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMixingPrefs(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMixingPrefs(DWORD*) override { return E_NOTIMPL; }
};

DXVA2_Fixed32 Fixed(SHORT value, USHORT fraction = 0) {
  DXVA2_Fixed32 f{};
  f.Value = value;
  f.Fraction = fraction;
  return f;
}

// IMFVideoProcessor with fixed-point ranges per property flag.
class ProcessorDouble final : public ComDouble<IMFVideoProcessor> {
 public:
  std::map<DWORD, DXVA2_ValueRange> Ranges;
  int SetCalls = 0;
  DWORD LastFlags = 0;
  DXVA2_ProcAmpValues Last{};
  COLORREF Background = 0xFFFFFFFF;

  HRESULT STDMETHODCALLTYPE GetProcAmpRange(DWORD property, DXVA2_ValueRange* range) override {
    const auto it = Ranges.find(property);
    if (it == Ranges.end()) return E_NOTIMPL;
    *range = it->second;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProcAmpValues(DWORD flags, DXVA2_ProcAmpValues* values) override {
    ++SetCalls;
    LastFlags = flags;
    Last = *values;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF color) override {
    Background = color;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAvailableVideoProcessorModes(UINT*, GUID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVideoProcessorCaps(GUID*, DXVA2_VideoProcessorCaps*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVideoProcessorMode(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetVideoProcessorMode(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetProcAmpValues(DWORD, DXVA2_ProcAmpValues*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFilteringRange(DWORD, DXVA2_ValueRange*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFilteringValue(DWORD, DXVA2_Fixed32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetFilteringValue(DWORD, DXVA2_Fixed32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF*) override { return E_NOTIMPL; }
};

// What the screen shows at a client point of the window, as 0x00RRGGBB.
uint32_t ScreenColour(HWND window, int x, int y) {
  POINT point{x, y};
  ::ClientToScreen(window, &point);
  HDC screen = ::GetDC(nullptr);
  const COLORREF colour = ::GetPixel(screen, point.x, point.y);
  ::ReleaseDC(nullptr, screen);
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// Every channel within tolerance: scaling may blend a little at the edges of the bars.
::testing::AssertionResult ColourNear(uint32_t actual, uint32_t expected, int x, int y) {
  for (int shift : {0, 8, 16})
    if (std::abs(static_cast<int>((actual >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) > 40) {
      char text[96];
      std::snprintf(text, sizeof text, "pixel (%d, %d) is %06X, expected %06X", x, y, actual, expected);
      return ::testing::AssertionFailure() << text;
    }
  return ::testing::AssertionSuccess();
}

// The colour bars inside picture (left, top, width, height, in client pixels) and black outside
// it at the given points.
void ExpectBarsIn(HWND window, double left, double top, double width, double height,
                  std::initializer_list<POINT> black) {
  const int y = static_cast<int>(top + height / 2);
  for (int bar = 0; bar < 8; ++bar) {
    const int x = static_cast<int>(left + (bar + 0.5) * width / 8);
    EXPECT_TRUE(ColourNear(ScreenColour(window, x, y), qvr::media::kColourBars[bar], x, y)) << "bar " << bar;
  }
  for (const POINT& p : black) EXPECT_TRUE(ColourNear(ScreenColour(window, p.x, p.y), 0, p.x, p.y)) << "letter-box band";
}

TVideoRect Of(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class VideoRenderTest : public qvr::testing::ComTest {
 protected:
  TestWindow window_{640, 480};
};

TEST_F(VideoRenderTest, VmrColourControlsMapPercentagesAndSkipUnchangedValues) {
  MixerDouble mixer;
  mixer.Ranges = {{1, {-100, 100, 0}}, {2, {0, 10, 1}}, {8, {0, 10, 1}}};  // hue: E_NOTIMPL
  {
    TVMR9 vmr;
    vmr.Attach(nullptr, nullptr, &mixer, nullptr, window_.get());
    EXPECT_TRUE(vmr.HasColorControl());
    vmr.ReadColorControls();
    EXPECT_EQ(50, vmr.GetBrightness());
    EXPECT_EQ(10, vmr.GetContrast());
    EXPECT_EQ(0, vmr.GetHue());
    EXPECT_EQ(S_OK, vmr.SetBrightness(50));  // the current value: not sent
    EXPECT_EQ(S_OK, vmr.SetHue(30));         // no range: nothing to map onto
    EXPECT_EQ(0, mixer.SetCalls);

    EXPECT_EQ(S_OK, vmr.SetBrightness(75));
    EXPECT_EQ(S_OK, vmr.SetBrightness(75));
    EXPECT_EQ(1, mixer.SetCalls);
    EXPECT_EQ(1u, mixer.Last.dwFlags);
    EXPECT_EQ(50.0f, mixer.Last.Brightness);
    EXPECT_EQ(75, vmr.GetBrightness());
    EXPECT_EQ(S_OK, vmr.SetContrast(0));  // maps to exactly 0: sent as 1.0
    EXPECT_EQ(2u, mixer.Last.dwFlags);
    EXPECT_EQ(1.0f, mixer.Last.Contrast);
    EXPECT_EQ(0.0f, mixer.Last.Brightness);  // only the named property is set

    // A refused value does not become current, so asking again tries again.
    mixer.SetResult = E_FAIL;
    EXPECT_EQ(E_FAIL, vmr.SetSaturation(20));
    EXPECT_EQ(E_FAIL, vmr.SetSaturation(20));
    EXPECT_EQ(10, vmr.GetSaturation());
    EXPECT_EQ(4, mixer.SetCalls);
  }
  EXPECT_EQ(1u, mixer.Refs());  // the wrapper released what it held
}

TEST_F(VideoRenderTest, EvrColourControlsSendIntegersAndKeepTheDefaultsAsCurrent) {
  ProcessorDouble processor;
  processor.Ranges[1] = {Fixed(-100), Fixed(100), Fixed(0), Fixed(1)};
  processor.Ranges[2] = {Fixed(0), Fixed(10, 0x8000), Fixed(1), Fixed(1)};  // 10.5: integer part 10
  {
    TEVR evr;
    evr.Attach(nullptr, nullptr, &processor, window_.get());
    EXPECT_TRUE(evr.HasColorControl());
    EXPECT_EQ(RGB(0, 0, 0), processor.Background);
    evr.ReadColorControls();
    EXPECT_EQ(50, evr.GetBrightness());
    EXPECT_EQ(10, evr.GetContrast());
    EXPECT_EQ(0, evr.GetHue());  // E_NOTIMPL: empty range

    EXPECT_EQ(S_OK, evr.SetBrightness(50));  // 0 is sent as 1
    EXPECT_EQ(1u, processor.LastFlags);
    EXPECT_EQ(1, processor.Last.Brightness.Value);
    EXPECT_EQ(S_OK, evr.SetBrightness(50));  // no skipping with the EVR
    EXPECT_EQ(2, processor.SetCalls);
    EXPECT_EQ(S_OK, evr.SetContrast(25));  // 2.5 to even
    EXPECT_EQ(2u, processor.LastFlags);
    EXPECT_EQ(2, processor.Last.Contrast.Value);
    EXPECT_EQ(0, processor.Last.Contrast.Fraction);
    EXPECT_EQ(0, processor.Last.Brightness.Value);
    EXPECT_EQ(50, evr.GetBrightness());  // setting does not move the current percentages
    EXPECT_EQ(10, evr.GetContrast());
  }
  EXPECT_EQ(1u, processor.Refs());
}

TEST_F(VideoRenderTest, WrappersWithoutInterfacesAnswerZeroAndDoNothing) {
  for (bool evr : {false, true}) {
    auto render = CreateVideoRender(evr);
    EXPECT_EQ(evr, dynamic_cast<TEVR*>(render.get()) != nullptr);
    EXPECT_FALSE(render->HasColorControl());
    render->ReadColorControls();
    EXPECT_EQ(S_OK, render->SetBrightness(30));
    EXPECT_EQ(S_OK, render->SetContrast(30));
    EXPECT_EQ(S_OK, render->SetHue(30));
    EXPECT_EQ(S_OK, render->SetSaturation(30));
    EXPECT_EQ(0, render->GetBrightness() + render->GetContrast() + render->GetHue() + render->GetSaturation());
    EXPECT_EQ(S_OK, render->RepaintVideo(window_.get(), nullptr));
    EXPECT_EQ(S_OK, render->UpdateVideoPosition(window_.get(), RECT{}));
    render->SetAspectRatio(kAspectFixedRatio, 3, 4);
    int32_t width = 7, height = 7;
    EXPECT_TRUE(FAILED(render->GetNativeVideoSize(width, height)));
    EXPECT_EQ(0, width + height);
  }
}

// The real VMR-9 in an empty graph: placement and aspect modes need no connection.
TEST_F(VideoRenderTest, VmrPlacesThePictureForEachAspectMode) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  TVMR9 vmr;
  ASSERT_EQ(S_OK, vmr.Initialize(graph.Get(), window_.get()));
  ComPtr<IBaseFilter> filter;
  ComPtr<IVMRWindowlessControl9> control;
  ASSERT_HRESULT_SUCCEEDED(graph->FindFilterByName(L"VMR-9", &filter));
  ASSERT_HRESULT_SUCCEEDED(filter.As(&control));
  auto placed = [&](const TVideoRect& expected, DWORD expectedMode) {
    RECT source{}, destination{};
    DWORD mode = 99;
    control->GetVideoPosition(&source, &destination);
    control->GetAspectRatioMode(&mode);
    EXPECT_EQ(expected, Of(destination));
    EXPECT_EQ(expectedMode, mode);
  };
  vmr.UpdateVideoPosition(window_.get(), RECT{});
  placed({0, 0, 640, 480}, VMR9ARMode_LetterBox);
  vmr.SetAspectRatio(kAspectFixedRatio, 640 / 2.35f, 640);
  placed({0, 104, 640, 376}, VMR9ARMode_None);
  vmr.SetAspectRatio(kAspectKeepOriginal, 0, 640);  // a height of 0 changes nothing
  placed({0, 104, 640, 376}, VMR9ARMode_None);
  vmr.SetAspectRatio(kAspectStretch, 480, 640);
  placed({0, 0, 640, 480}, VMR9ARMode_None);
  vmr.SetAspectRatio(kAspectKeepOriginal, 480, 640);
  placed({0, 0, 640, 480}, VMR9ARMode_LetterBox);
}

// The real EVR up to what works before streaming (Wine's 64-bit EVR crashes on its first frame).
TEST_F(VideoRenderTest, EvrInitializesAndSendsEvenEdges) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  TEVR evr;
  ASSERT_EQ(S_OK, evr.Initialize(graph.Get(), window_.get()));
  ComPtr<IBaseFilter> filter;
  ComPtr<IMFGetService> services;
  ComPtr<IMFVideoDisplayControl> display;
  ASSERT_HRESULT_SUCCEEDED(graph->FindFilterByName(L"EVR", &filter));
  ASSERT_HRESULT_SUCCEEDED(filter.As(&services));
  ASSERT_HRESULT_SUCCEEDED(services->GetService(MR_VIDEO_RENDER_SERVICE, kIidMFVideoDisplayControl, &display));
  HWND video_window = nullptr;
  DWORD mode = 99;
  display->GetVideoWindow(&video_window);
  display->GetAspectRatioMode(&mode);
  EXPECT_EQ(window_.get(), video_window);
  EXPECT_EQ(DWORD{MFVideoARMode_PreservePicture}, mode);

  // 4:3 in a 643 x 481 panel: (1, 0, 642, 481) has odd edges, sent as (2, 0, 642, 480).
  ::SetWindowPos(window_.get(), nullptr, 0, 0, 643, 481, SWP_NOZORDER | SWP_NOMOVE);
  evr.SetAspectRatio(kAspectFixedRatio, 3, 4);
  MFVideoNormalizedRect source{};
  RECT destination{};
  ASSERT_HRESULT_SUCCEEDED(display->GetVideoPosition(&source, &destination));
  display->GetAspectRatioMode(&mode);
  EXPECT_EQ((TVideoRect{2, 0, 642, 480}), Of(destination));
  EXPECT_EQ(1.0f, source.right * source.bottom);
  EXPECT_EQ(DWORD{MFVideoARMode_None}, mode);
}

// An audio-only item gets no renderer, whichever wrapper the engine would take.
TEST_F(VideoRenderTest, AudioOnlyItemGetsNoEvrEither) {
  TMWMediaPlayer player(window_.get());
  player.UseEVR = true;
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"tone.wav")));
  EXPECT_EQ(nullptr, player.VideoRenderer);
  EXPECT_EQ(0, CountClass(player.Graph.Get(), kClsidEnhancedVideoRenderer));
  EXPECT_FALSE(player.HasVideo);
  EXPECT_FALSE(player.ColorControlsAvailable);
}

// Visible top-level windows of this process other than the given one.
int OtherVisibleWindows(HWND except) {
  struct Search {
    HWND except;
    int found;
  } search{except, 0};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid == ::GetCurrentProcessId() && window != s->except && ::IsWindowVisible(window)) ++s->found;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A handle that was a window once: SetVideoClippingWindow refuses it, the set-up fails after the
// renderer has entered the graph.
HWND StaleWindowHandle() {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ::DestroyWindow(window);
  return window;
}

// A renderer whose set-up failed would stay in the graph in windowed mode, take the video and
// show it in a window of its own.
TEST_F(VideoRenderTest, AFailedSetUpTakesTheRendererOutOfTheGraph) {
  const HWND stale = StaleWindowHandle();
  ASSERT_FALSE(::IsWindow(stale));
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  TVMR9 vmr;
  EXPECT_HRESULT_FAILED(vmr.Initialize(graph.Get(), stale));
  EXPECT_TRUE(GraphFilters(graph.Get()).empty());
  EXPECT_FALSE(vmr.HasColorControl());

  // Through the engine: the item plays its audio, its video stays unconnected.
  TMWMediaPlayer player(stale);
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"bars.avi")));
  EXPECT_EQ(0, CountClass(player.Graph.Get(), CLSID_VideoMixingRenderer9));
  EXPECT_FALSE(FindRenderer(player.Graph.Get(), MEDIATYPE_Video));
  EXPECT_TRUE(FindRenderer(player.Graph.Get(), MEDIATYPE_Audio));
  EXPECT_FALSE(player.HasVideo);
  EXPECT_FALSE(player.ColorControlsAvailable);
  player.Play();
  for (int i = 0; i < 100 && player.GetCurrentPosition() < 3000000; ++i) Pump(20);
  EXPECT_GE(player.GetCurrentPosition(), 3000000);
  EXPECT_EQ(0, OtherVisibleWindows(window_.get()));
  player.Close();
}

// The sample through the engine on a visible panel (one window for every on-screen check:
// destroying a visible window costs about 2 s under Wine).
TEST_F(VideoRenderTest, SampleAviPlaysLetterBoxedOnScreen) {
  TestWindow panel(400, 200);
  ::ShowWindow(panel.get(), SW_SHOWNOACTIVATE);
  TMWMediaPlayer player(panel.get());
  ASSERT_EQ(S_OK, player.Open(SampleFile(L"bars.avi")));
  ComPtr<IBaseFilter> vmr;
  ASSERT_HRESULT_SUCCEEDED(player.Graph->FindFilterByName(L"VMR-9", &vmr));
  EXPECT_TRUE(RendererInputConnected(vmr.Get()));
  EXPECT_EQ(160, player.VideoWidth);
  EXPECT_EQ(120, player.VideoHeight);
  EXPECT_TRUE(player.ColorControlsAvailable);  // Wine's VMR-9 has the mixer control (its ProcAmp calls fail)

  player.Play();
  for (int i = 0; i < 150 && player.GetCurrentPosition() < 5000000; ++i) Pump(20);
  EXPECT_GE(player.GetCurrentPosition(), 5000000);  // plays
  Pump(200);
  // 4:3 in 400 x 200: 266.7 pixels wide, black bands left and right.
  ExpectBarsIn(panel.get(), (400 - 800 / 3.0) / 2, 0, 800 / 3.0, 200, {{20, 100}, {380, 20}, {380, 190}});

  // Resized to a tall panel: the renderer is told the new destination and repaints into it.
  ::SetWindowPos(panel.get(), nullptr, 0, 0, 200, 300, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  player.UpdateVideoPosition();
  ComPtr<IVMRWindowlessControl9> control;
  RECT source{}, destination{};
  ASSERT_HRESULT_SUCCEEDED(vmr.As(&control));
  control->GetVideoPosition(&source, &destination);
  EXPECT_EQ((TVideoRect{0, 0, 160, 120}), Of(source));
  EXPECT_EQ((TVideoRect{0, 0, 200, 300}), Of(destination));
  HDC dc = ::GetDC(panel.get());
  EXPECT_EQ(S_OK, player.VideoRenderer->RepaintVideo(panel.get(), dc));
  ::ReleaseDC(panel.get(), dc);
  Pump(300);
  EXPECT_LT(player.GetCurrentPosition(), player.Duration);  // still playing: frames keep coming
  // Wine: once a frame has been shown, a windowless RepaintVideo presents the picture over the
  // whole client area and every later frame fills it too (measured: erasing the panel and
  // setting the position again do not bring the letter-box back). So only the picture's own
  // rows are compared here: 200 pixels wide, 25 per bar.
  ExpectBarsIn(panel.get(), 0, 75, 200, 150, {});
}

}  // namespace
