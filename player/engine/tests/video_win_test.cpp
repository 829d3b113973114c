// The renderer wrappers: colour controls against mixer and processor doubles of ours (Wine's
// VMR-9 answers E_NOTIMPL to every ProcAmp call and its EVR has no mixer service), missing
// interfaces, the real renderers' placement, and the sample AVI on screen through the engine.
// winsock2.h must come before windows.h.
#include "player/engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    EXPECT_EQ(10, vmr.GetSaturation());

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
    EXPECT_EQ(10, vmr.GetSaturation());
    EXPECT_EQ(E_FAIL, vmr.SetSaturation(20));
    EXPECT_EQ(4, mixer.SetCalls);
    EXPECT_EQ(8u, mixer.Last.dwFlags);
    EXPECT_EQ(2.0f, mixer.Last.Saturation);

    // Reading again starts from the defaults; a range that can no longer be read empties.
    mixer.Ranges.erase(1);
    vmr.ReadColorControls();
    EXPECT_EQ(S_OK, vmr.SetBrightness(10));
    EXPECT_EQ(4, mixer.SetCalls);
  }
  EXPECT_EQ(1u, mixer.Refs());  // the wrapper released what it held
}

TEST_F(VideoRenderTest, EvrColourControlsSendIntegersAndKeepTheDefaultsAsCurrent) {
  ProcessorDouble processor;
  processor.Ranges[1] = {Fixed(-100), Fixed(100), Fixed(0), Fixed(1)};
  processor.Ranges[2] = {Fixed(0), Fixed(10, 0x8000), Fixed(1), Fixed(1)};  // 10.5: integer part 10
  processor.Ranges[4] = {Fixed(-180), Fixed(180), Fixed(0), Fixed(1)};
  {
    TEVR evr;
    evr.Attach(nullptr, nullptr, &processor, window_.get());
    EXPECT_TRUE(evr.HasColorControl());
    EXPECT_EQ(RGB(0, 0, 0), processor.Background);
    evr.ReadColorControls();
    EXPECT_EQ(50, evr.GetBrightness());
    EXPECT_EQ(10, evr.GetContrast());
    EXPECT_EQ(50, evr.GetHue());
    EXPECT_EQ(0, evr.GetSaturation());  // E_NOTIMPL: empty range

    EXPECT_EQ(S_OK, evr.SetBrightness(50));  // 0 is sent as 1
    EXPECT_EQ(1u, processor.LastFlags);
    EXPECT_EQ(1, processor.Last.Brightness.Value);
    EXPECT_EQ(0, processor.Last.Brightness.Fraction);
    EXPECT_EQ(S_OK, evr.SetBrightness(50));  // no skipping with the EVR
    EXPECT_EQ(2, processor.SetCalls);

    EXPECT_EQ(S_OK, evr.SetContrast(25));  // 2.5 to even
    EXPECT_EQ(2u, processor.LastFlags);
    EXPECT_EQ(2, processor.Last.Contrast.Value);
    EXPECT_EQ(S_OK, evr.SetHue(100));
    EXPECT_EQ(180, processor.Last.Hue.Value);
    EXPECT_EQ(0, processor.Last.Brightness.Value);
    EXPECT_EQ(S_OK, evr.SetSaturation(40));  // empty range: 0, sent as 1
    EXPECT_EQ(1, processor.Last.Saturation.Value);

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
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
  }
}

// The real VMR-9 in an empty graph: placement and aspect modes need no connection.
TEST_F(VideoRenderTest, VmrPlacesThePictureForEachAspectMode) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  TVMR9 vmr;
  ASSERT_EQ(S_OK, vmr.Initialize(graph.Get(), window_.get()));
  ComPtr<IBaseFilter> filter;
  ASSERT_HRESULT_SUCCEEDED(graph->FindFilterByName(L"VMR-9", &filter));
  ComPtr<IVMRWindowlessControl9> control;
  ASSERT_HRESULT_SUCCEEDED(filter.As(&control));
  auto position = [&] {
    RECT source{}, destination{};
    control->GetVideoPosition(&source, &destination);
    return TVideoRect{destination.left, destination.top, destination.right, destination.bottom};
  };
  auto mode = [&] {
    DWORD m = 99;
    control->GetAspectRatioMode(&m);
    return m;
  };
  EXPECT_EQ(DWORD{VMR9ARMode_LetterBox}, mode());
  EXPECT_TRUE(vmr.HasColorControl());  // Wine's mixer control exists...
  vmr.ReadColorControls();             // ...but reads no range,
  EXPECT_EQ(S_OK, vmr.SetBrightness(80));
  EXPECT_EQ(0, vmr.GetBrightness());  // so the setters do nothing
  int32_t width = 1, height = 1;
  EXPECT_EQ(VFW_E_NOT_CONNECTED, vmr.GetNativeVideoSize(width, height));

  vmr.UpdateVideoPosition(window_.get(), RECT{});
  EXPECT_EQ((TVideoRect{0, 0, 640, 480}), position());
  vmr.SetAspectRatio(kAspectFixedRatio, 640 / 2.35f, 640);
  EXPECT_EQ((TVideoRect{0, 104, 640, 376}), position());
  EXPECT_EQ(DWORD{VMR9ARMode_None}, mode());
  vmr.SetAspectRatio(kAspectKeepOriginal, 0, 640);  // a height of 0 changes nothing
  EXPECT_EQ((TVideoRect{0, 104, 640, 376}), position());
  EXPECT_EQ(DWORD{VMR9ARMode_None}, mode());
  vmr.SetAspectRatio(kAspectStretch, 480, 640);
  EXPECT_EQ((TVideoRect{0, 0, 640, 480}), position());
  EXPECT_EQ(DWORD{VMR9ARMode_None}, mode());
  ::SetWindowPos(window_.get(), nullptr, 0, 0, 1280, 720, SWP_NOZORDER | SWP_NOMOVE);
  vmr.SetAspectRatio(kAspectFixedRatio, 1280 / (4 / 3.0f), 1280);
  EXPECT_EQ((TVideoRect{160, 0, 1120, 720}), position());
  vmr.SetAspectRatio(kAspectKeepOriginal, 1280 * 120 / 160.0f, 1280);
  EXPECT_EQ((TVideoRect{0, 0, 1280, 720}), position());
  EXPECT_EQ(DWORD{VMR9ARMode_LetterBox}, mode());
}

// The real EVR up to what works before streaming (Wine's 64-bit EVR crashes on its first frame).
TEST_F(VideoRenderTest, EvrInitializesAndSendsEvenEdges) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
  TEVR evr;
  ASSERT_EQ(S_OK, evr.Initialize(graph.Get(), window_.get()));
  ComPtr<IBaseFilter> filter;
  ASSERT_HRESULT_SUCCEEDED(graph->FindFilterByName(L"EVR", &filter));
  ComPtr<IMFGetService> services;
  ComPtr<IMFVideoDisplayControl> display;
  ASSERT_HRESULT_SUCCEEDED(filter.As(&services));
  ASSERT_HRESULT_SUCCEEDED(services->GetService(MR_VIDEO_RENDER_SERVICE, kIidMFVideoDisplayControl, &display));
  HWND video_window = nullptr;
  display->GetVideoWindow(&video_window);
  EXPECT_EQ(window_.get(), video_window);
  auto mode = [&] {
    DWORD m = 99;
    display->GetAspectRatioMode(&m);
    return m;
  };
  EXPECT_EQ(DWORD{MFVideoARMode_PreservePicture}, mode());
  int32_t width = 1, height = 1;
  EXPECT_EQ(VFW_E_NOT_CONNECTED, evr.GetNativeVideoSize(width, height));
  EXPECT_EQ(0, width);

  // 4:3 in a 643 x 481 panel: (1, 0, 642, 481) has odd edges, sent as (2, 0, 642, 480).
  ::SetWindowPos(window_.get(), nullptr, 0, 0, 643, 481, SWP_NOZORDER | SWP_NOMOVE);
  evr.SetAspectRatio(kAspectFixedRatio, 3, 4);
  MFVideoNormalizedRect source{};
  RECT destination{};
  ASSERT_HRESULT_SUCCEEDED(display->GetVideoPosition(&source, &destination));
  EXPECT_EQ((TVideoRect{2, 0, 642, 480}),
            (TVideoRect{destination.left, destination.top, destination.right, destination.bottom}));
  EXPECT_EQ(0.0f, source.left);
  EXPECT_EQ(1.0f, source.right);
  EXPECT_EQ(1.0f, source.bottom);
  EXPECT_EQ(DWORD{MFVideoARMode_None}, mode());
  evr.SetAspectRatio(kAspectKeepOriginal, 481, 643);
  ASSERT_HRESULT_SUCCEEDED(display->GetVideoPosition(&source, &destination));
  EXPECT_EQ((TVideoRect{0, 0, 642, 480}),
            (TVideoRect{destination.left, destination.top, destination.right, destination.bottom}));
  EXPECT_EQ(DWORD{MFVideoARMode_PreservePicture}, mode());
}

}  // namespace
