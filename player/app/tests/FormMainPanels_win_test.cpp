// The equaliser and colour panels on a real main window playing the sample: driven with the
// mouse messages a user's pointer makes, with what reaches the engine recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/FormMain.h"
#include "player/app/tests/MainWindowTest.h"
#include "player/audio/ColorControl.h"
#include "player/audio/uEq.h"
#include "player/ui/Tracker.h"

namespace {

using namespace qvr::app;
using qvr::audio::TfmEq;
using qvr::audio::TFrmColorControl;
using qvr::audio::TPaintBox;
namespace fs = std::filesystem;

struct TEqEvent {
  uint8_t Preamp;
  std::array<int8_t, 10> Bands;
};

// Picture controls reach the renderer wrapper through the engine; VMR-9's are inert under Wine
// (its ProcAmp methods answer E_NOTIMPL), so this wrapper records what arrives.
class RecordingRender final : public qvr::engine::TVideoRender {
 public:
  std::vector<std::pair<char, int32_t>> Calls;  // 'b', 'c', 'h', 's'
  int32_t Values[4] = {40, 60, 10, 70};
  bool HasColorControl() override { return true; }
  HRESULT Initialize(IGraphBuilder*, HWND) override { return S_OK; }
  HRESULT UpdateVideoPosition(HWND, const RECT&) override { return S_OK; }
  HRESULT RepaintVideo(HWND, HDC) override { return S_OK; }
  void ReadColorControls() override {}
  HRESULT GetNativeVideoSize(int32_t& w, int32_t& h) override { return w = 160, h = 120, S_OK; }
  int32_t GetBrightness() override { return Values[0]; }
  int32_t GetContrast() override { return Values[1]; }
  int32_t GetHue() override { return Values[2]; }
  int32_t GetSaturation() override { return Values[3]; }
  HRESULT SetBrightness(int32_t v) override { return Calls.push_back({'b', v}), S_OK; }
  HRESULT SetContrast(int32_t v) override { return Calls.push_back({'c', v}), S_OK; }
  HRESULT SetHue(int32_t v) override { return Calls.push_back({'h', v}), S_OK; }
  HRESULT SetSaturation(int32_t v) override { return Calls.push_back({'s', v}), S_OK; }
  void SetAspectRatio(uint8_t, float, float) override {}
};

class Panels : public qvr::app::testing::MainWindow {
 protected:
  const char* FolderName() const override { return "panels"; }
  void TearDown() override {
    form_.reset();
    Pump(3);  // the closed panels free themselves
    MainWindow::TearDown();
    EXPECT_FALSE(qvr::audio::EqPanelOpen);
    EXPECT_FALSE(qvr::audio::ColorPanelOpen);
  }
  TfrmQVRPlayer& Start(const wchar_t* sample) {
    TfrmQVRPlayer& form = MainWindow::Start(Sample(sample));
    EXPECT_EQ(qvr::engine::kStateRunning, form.Engine().GetState());
    return form;
  }
  static void Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
      qvr::ui::PumpPendingMessages();
      ::Sleep(10);
    }
  }
  using MainWindow::Pump;
  // Pumps until `done` or the time runs out; the seconds it took.
  template <typename F>
  static double PumpUntil(F done, double seconds) {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    while (!done() && elapsed() < seconds) {
      qvr::ui::PumpPendingMessages();
      ::Sleep(5);
    }
    return elapsed();
  }
  static void Send(HWND window, UINT message, WPARAM keys, int x, int y) {
    ::SendMessageW(window, message, keys, MAKELPARAM(x, y));
  }
  static void Click(HWND window, int x, int y) {
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    Send(window, WM_LBUTTONUP, 0, x, y);
  }
  static BYTE Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    ::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags);
    return (flags & LWA_ALPHA) ? alpha : 0;
  }
};

// Records every OnChange and passes it on to the main window's handler.
std::vector<TEqEvent>& Record(TfmEq& panel) {
  static std::vector<TEqEvent> events;
  events.clear();
  panel.OnChange = [forward = panel.OnChange](uint8_t preamp, const std::array<int8_t, 10>& bands) {
    events.push_back({preamp, bands});
    if (forward) forward(preamp, bands);
  };
  return events;
}


// What plays on the test platform's PulseAudio null sink, captured from its monitor by parec
// while the test runs. Wine starts Unix programs but gives no process handle, so the script
// stops at a marker file and leaves another when it is done. Wine sends float32le stereo 44.1 kHz.
class SinkCapture {
 public:
  SinkCapture() : base_("/tmp/qvr-eq-capture-" + std::to_string(::GetCurrentProcessId())) {}
  ~SinkCapture() { Remove(); }

  bool Start(std::string& error) {
    Remove();
    std::wstring command = qvr::Utf8ToWide(
        "Z:\\bin\\sh -c \"parec --latency-msec=20 -d null.monitor --raw --format=float32le --rate=44100 --channels=2 > " +
        base_ + ".raw 2>/dev/null & p=$!; while [ ! -e " + base_ + ".stop ]; do sleep 0.05; done; kill $p; wait $p; touch " +
        base_ + ".done\"");
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      error = "cannot start parec: " + std::to_string(::GetLastError());
      return false;
    }
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);
    // parec takes a second or two before the monitor's data flows.
    if (!Wait([&] { return Size(".raw") > 0; }, 10)) return error = "parec records nothing", false;
    return true;
  }
  // Ends the capture and returns the samples.
  std::vector<float> Stop() {
    std::ofstream(fs::path(Path(".stop"))).put('x');
    Wait([&] { return ::GetFileAttributesW(Path(".done").c_str()) != INVALID_FILE_ATTRIBUTES; }, 10);
    std::ifstream in(fs::path(Path(".raw")), std::ios::binary);
    std::vector<float> samples;
    float sample;
    while (in.read(reinterpret_cast<char*>(&sample), sizeof(sample))) samples.push_back(sample);
    return samples;
  }

 private:
  std::wstring Path(const char* suffix) const { return qvr::Utf8ToWide("Z:" + base_ + suffix); }
  uint64_t Size(const char* suffix) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Path(suffix).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  template <typename F>
  static bool Wait(F done, double seconds) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
      if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds)) return false;
      qvr::ui::PumpPendingMessages();
      ::Sleep(10);
    }
    return true;
  }
  void Remove() {
    for (const char* suffix : {".raw", ".stop", ".done"}) ::DeleteFileW(Path(suffix).c_str());
  }
  std::string base_;
};

// The levels (dB) of the runs of sound in a capture, each from the middle half of its run:
// 20 ms blocks above -50 dB, runs of at least 200 ms.
std::vector<double> SoundLevels(const std::vector<float>& samples) {
  constexpr size_t kBlock = 2 * 882;
  std::vector<double> power;
  for (size_t i = 0; i + kBlock <= samples.size(); i += kBlock) {
    double sum = 0;
    for (size_t j = i; j < i + kBlock; ++j) sum += double(samples[j]) * samples[j];
    power.push_back(sum / kBlock);
  }
  std::vector<double> levels;
  for (size_t i = 0; i < power.size();) {
    if (10 * std::log10(power[i] + 1e-20) < -50) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < power.size() && 10 * std::log10(power[end] + 1e-20) >= -50) ++end;
    if (end - i >= 10) {
      const size_t from = i + (end - i) / 4, to = end - (end - i) / 4;
      double sum = 0;
      for (size_t k = from; k < to; ++k) sum += power[k];
      levels.push_back(10 * std::log10(sum / double(to - from)));
    }
    i = end;
  }
  return levels;
}

TEST_F(Panels, TheEqualizerChangesWhatPlays) {
  // The sample's 440 Hz tone lies in the fourth band (344..624 Hz at 44.1 kHz).
  TfrmQVRPlayer& form = Start(L"tone.wav");
  form.Engine().Pause();
  form.OpenEqualizer();
  ASSERT_NE(nullptr, TfmEq::Current());
  TfmEq& panel = *TfmEq::Current();
  qvr::ui::TTracker& band = panel.Slider(4);
  const qvr::ui::TRect thumb = band.Model().ThumbRect();
  const int x = (thumb.Left + thumb.Right) / 2;
  Send(band.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, x, (thumb.Top + thumb.Bottom) / 2);
  Send(band.Handle(), WM_MOUSEMOVE, MK_LBUTTON, x, 300);
  Send(band.Handle(), WM_LBUTTONUP, 0, x, 300);
  ASSERT_EQ(-100, form.Engine().GetEqBand(3));

  SinkCapture capture;
  std::string error;
  ASSERT_TRUE(capture.Start(error)) << error;
  auto play = [&] {
    form.Engine().SetPosition(0);
    form.Engine().Play();
    PumpUntil([] { return false; }, 1.2);
    form.Engine().Pause();
    PumpUntil([] { return false; }, 0.8);  // a gap of silence between the two
  };
  play();  // band 4 cut
  Click(panel.Find<qvr::ui::TControl>("stReset")->Handle(), 5, 5);
  ASSERT_EQ(0, form.Engine().GetEqBand(3));
  play();  // flat
  const std::vector<double> levels = SoundLevels(capture.Stop());
  ASSERT_GE(levels.size(), 2u) << "the tone did not play twice";
  const double cut = levels.front(), flat = levels.back();
  std::printf("null sink: band 4 cut %.1f dB, flat %.1f dB\n", cut, flat);
  EXPECT_GT(flat, -30.0);
  // -100 is -12 dB; the filter's transition bands take a little of it.
  EXPECT_GT(flat - cut, 8.0) << "flat " << flat << " dB, cut " << cut << " dB";
  EXPECT_LT(flat - cut, 14.0) << "flat " << flat << " dB, cut " << cut << " dB";
}

TEST_F(Panels, EqualizerOpensOnceFilledAndShaped) {
  TfrmQVRPlayer& form = Start(L"bars.avi");
  form.Engine().SetEqBand(7, 30);
  form.Engine().Preamp = 0;
  form.OpenEqualizer();
  TfmEq* panel = TfmEq::Current();
  ASSERT_NE(nullptr, panel);
  EXPECT_TRUE(qvr::audio::EqPanelOpen);
  HWND window = panel->Handle();
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  EXPECT_STREQ(L"TfmEq", className);
  EXPECT_EQ(form.Handle(), ::GetWindow(window, GW_OWNER));
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(window, ::GetActiveWindow());
  EXPECT_TRUE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(200, Alpha(window));
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(257, client.right);
  EXPECT_EQ(159, client.bottom);
  const RECT own = WindowRect(form.Handle()), r = WindowRect(window);
  EXPECT_EQ(own.left + (own.right - own.left - 257) / 2, r.left);
  EXPECT_EQ(own.top + (own.bottom - own.top - 159) / 2, r.top);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(ERROR, ::GetWindowRgn(window, region));
  EXPECT_FALSE(::PtInRegion(region, 0, 0));
  EXPECT_FALSE(::PtInRegion(region, 256, 158));
  EXPECT_TRUE(::PtInRegion(region, 10, 0));
  EXPECT_TRUE(::PtInRegion(region, 128, 80));
  ::DeleteObject(region);
  // Filled from the engine, the pre-amplifier at 100 when the engine holds 0.
  EXPECT_EQ(30, panel->Band(7));
  EXPECT_EQ(0, panel->Band(0));
  EXPECT_EQ(100, panel->Preamp());
  const int lefts[11] = {16, 42, 62, 82, 102, 122, 142, 162, 182, 202, 222};
  for (int tag = 0; tag <= 10; ++tag) {
    EXPECT_EQ((qvr::ui::TRect{lefts[tag], 6, lefts[tag] + 16, 126}), panel->Slider(tag).Bounds()) << tag;
    EXPECT_EQ(tag, panel->Slider(tag).Tag());
  }
  // A second open changes nothing.
  form.OpenEqualizer();
  EXPECT_EQ(panel, TfmEq::Current());
  EXPECT_EQ(window, ::FindWindowW(L"TfmEq", nullptr));
  EXPECT_EQ(nullptr, ::FindWindowExW(nullptr, window, L"TfmEq", nullptr));
  // The striped bar: grey above the thumb, white below, odd rows black; the label in silver.
  qvr::ui::TTracker& band = panel->Slider(8);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = ::GetDC(band.Handle());
  const qvr::ui::TRect thumb = band.Model().ThumbRect(), track = band.Model().TrackRect();
  const int above = (thumb.Top + 5 - 2) & ~1, below = (thumb.Top + 5 + 2) & ~1;
  if (above >= track.Top) {
    EXPECT_EQ(RGB(128, 128, 128), ::GetPixel(dc, 8, above));
  }
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc, 8, below));
  EXPECT_EQ(0u, ::GetPixel(dc, 8, below + 1));
  ::ReleaseDC(band.Handle(), dc);

  // Close.
  auto* close = panel->Find<qvr::ui::TControl>("stClose");
  Send(close->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  EXPECT_EQ(RGB(192, 192, 192), close->FontColor());
  Send(close->Handle(), WM_LBUTTONUP, 0, 5, 5);
  EXPECT_EQ(RGB(255, 255, 255), close->FontColor());
  Pump();
  EXPECT_FALSE(qvr::audio::EqPanelOpen);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(nullptr, TfmEq::Current());
}

TEST_F(Panels, DraggingABandSendsEveryValueAndResetSendsFlat) {
  TfrmQVRPlayer& form = Start(L"bars.avi");
  form.OpenEqualizer();
  TfmEq* panel = TfmEq::Current();
  ASSERT_NE(nullptr, panel);
  panel->SetBand(0, 20);  // filling raises nothing
  std::vector<TEqEvent>& events = Record(*panel);
  EXPECT_TRUE(events.empty());
  qvr::ui::TTracker& band = panel->Slider(4);
  const qvr::ui::TRect thumb = band.Model().ThumbRect();
  const int x = (thumb.Left + thumb.Right) / 2, y = (thumb.Top + thumb.Bottom) / 2;
  Send(band.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  for (int step = 1; step <= 6; ++step) Send(band.Handle(), WM_MOUSEMOVE, MK_LBUTTON, x, y + step * 10);
  Send(band.Handle(), WM_LBUTTONUP, 0, x, y + 60);
  ASSERT_GE(events.size(), 3u);
  int8_t last = 0;
  for (const TEqEvent& e : events) {
    EXPECT_LE(e.Bands[3], last);
    EXPECT_EQ(100, e.Preamp);
    EXPECT_EQ(20, e.Bands[0]);  // every band travels with each change
    for (size_t i = 1; i < 10; ++i)
      if (i != 3) {
        EXPECT_EQ(0, e.Bands[i]);
      }
    last = e.Bands[3];
  }
  EXPECT_LT(last, -30);  // dragged down: a cut
  EXPECT_EQ(last, panel->Band(3));
  // The engine holds and applies it: the audio filter reports the same bands.
  EXPECT_EQ(last, form.Engine().GetEqBand(3));
  EXPECT_EQ(20, form.Engine().GetEqBand(0));
  ASSERT_TRUE(form.Engine().AudioFilterControl);
  int8_t applied[10] = {};
  ASSERT_EQ(S_OK, form.Engine().AudioFilterControl->GetEQBands(applied));
  EXPECT_NEAR(last, applied[3], 1);  // stored as gains: back to within one step
  EXPECT_NEAR(20, applied[0], 1);

  // Reset: one event, 100 and ten zeros, pressed text silver meanwhile.
  events.clear();
  auto* reset = panel->Find<qvr::ui::TControl>("stReset");
  Send(reset->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
  EXPECT_EQ(RGB(192, 192, 192), reset->FontColor());
  EXPECT_TRUE(events.empty());
  Send(reset->Handle(), WM_LBUTTONUP, 0, 5, 5);
  EXPECT_EQ(RGB(255, 255, 255), reset->FontColor());
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(100, events[0].Preamp);
  EXPECT_EQ((std::array<int8_t, 10>{}), events[0].Bands);
  EXPECT_EQ(0, panel->Band(3));
  EXPECT_EQ(100, form.Engine().Preamp);
  uint16_t preamp = 0;
  ASSERT_EQ(S_OK, form.Engine().AudioFilterControl->GetPreAmp(&preamp));
  EXPECT_EQ(10000, preamp);
}

TEST_F(Panels, AnotherWindowTakingTheActivationClosesAtOnce) {
  TfrmQVRPlayer& form = Start(L"bars.avi");
  form.OpenEqualizer();
  ASSERT_NE(nullptr, TfmEq::Current());
  HWND window = TfmEq::Current()->Handle();
  ASSERT_EQ(window, ::GetActiveWindow());
  // What a click into the main window makes the system do: activate it.
  ::SetActiveWindow(form.Handle());
  EXPECT_EQ(form.Handle(), ::GetActiveWindow());
  Pump(1);
  EXPECT_FALSE(::IsWindow(window));  // no fade
  EXPECT_FALSE(qvr::audio::EqPanelOpen);
}

TEST_F(Panels, TheFadeClosesAboutSevenTenthsOfASecondAfterThePointerLeaves) {
  TfrmQVRPlayer& form = Start(L"bars.avi");
  form.OpenEqualizer();
  ASSERT_NE(nullptr, TfmEq::Current());
  HWND window = TfmEq::Current()->Handle();
  const RECT r = WindowRect(window);
  // In: opacity 220. The pointer is really moved; the move message is what the system sends.
  ::SetCursorPos(r.left + 128, r.top + 140);
  Send(window, WM_MOUSEMOVE, 0, 128, 140);
  EXPECT_EQ(220, Alpha(window));
  Pump(5);
  EXPECT_EQ(220, Alpha(window));  // no fade while inside
  // Over a child: still inside.
  qvr::ui::TTracker& band = TfmEq::Current()->Slider(5);
  const qvr::ui::TRect b = band.Bounds();
  ::SetCursorPos(r.left + b.Left + 8, r.top + b.Top + 60);
  Send(band.Handle(), WM_MOUSEMOVE, 0, 8, 60);
  Pump(10);
  EXPECT_EQ(220, Alpha(window));
  EXPECT_TRUE(::IsWindow(window));
  // Out, and back in before the end: 220 again.
  ::SetCursorPos(r.right + 100, r.bottom + 100);
  PumpUntil([&] { return Alpha(window) < 220; }, 2.0);
  EXPECT_LT(Alpha(window), 220);
  ::SetCursorPos(r.left + 128, r.top + 140);
  Send(window, WM_MOUSEMOVE, 0, 128, 140);
  EXPECT_EQ(220, Alpha(window));
  EXPECT_FALSE(TfmEq::Current()->Fade().Running());
  // Out for good: fades and closes in 14 ticks of 50 ms.
  ::SetCursorPos(r.right + 100, r.bottom + 100);
  const double started = PumpUntil([&] { return Alpha(window) < 220; }, 2.0);
  std::vector<int> seen;
  const double took = PumpUntil(
      [&] {
        if (!::IsWindow(window)) return true;
        seen.push_back(Alpha(window));
        return false;
      },
      5.0);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(qvr::audio::EqPanelOpen);
  // 13 more ticks after the first drop, none early; on a loaded machine the timer falls behind,
  // so only a generous upper bound.
  EXPECT_GT(took, 0.55) << started;
  EXPECT_LT(took, 6.0);
  ASSERT_FALSE(seen.empty());
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i], seen[i - 1]);
  for (int alpha : seen) EXPECT_EQ(0, (220 - alpha) % 15) << alpha;
  EXPECT_LE(seen.back(), 40);
}

TEST_F(Panels, ColourSlidersSendTheirValuesAndResetSendsTheDefaults) {
  TfrmQVRPlayer& form = Start(L"bars.avi");
  auto recorder = std::make_unique<RecordingRender>();
  RecordingRender& render = *recorder;
  form.Engine().VideoRenderer = std::move(recorder);
  form.FColorDefaults[0] = 50, form.FColorDefaults[1] = 50, form.FColorDefaults[2] = 0, form.FColorDefaults[3] = 50;
  form.OpenColorControls();
  TFrmColorControl* panel = TFrmColorControl::Current();
  ASSERT_NE(nullptr, panel);
  HWND window = panel->Handle();
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(204, client.right);
  EXPECT_EQ(165, client.bottom);
  EXPECT_EQ(200, Alpha(window));
  EXPECT_EQ(form.Handle(), ::GetWindow(window, GW_OWNER));
  EXPECT_EQ(40, panel->Brightness);
  EXPECT_EQ(70, panel->Saturation);
  EXPECT_EQ(0, panel->DefaultHue);
  form.OpenColorControls();
  EXPECT_EQ(panel, TFrmColorControl::Current());

  TPaintBox& brightness = panel->Slider(0);
  EXPECT_EQ(186, brightness.Width());
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(qvr::audio::ValueToPosition(40, 186), panel->ThumbX(0));  // painted at the shown value
  // Far left and far right of the slider.
  Click(brightness.Handle(), 0, 5);
  Click(brightness.Handle(), 185, 5);
  ASSERT_EQ(2u, render.Calls.size());
  EXPECT_EQ('b', render.Calls[0].first);
  EXPECT_LE(render.Calls[0].second, 1);
  EXPECT_EQ(100, render.Calls[1].second);
  EXPECT_EQ(176, panel->ThumbX(0));
  // A drag on hue: every move with the left button held, none without it; release only draws.
  render.Calls.clear();
  TPaintBox& hue = panel->Slider(2);
  Send(hue.Handle(), WM_MOUSEMOVE, 0, 50, 5);
  EXPECT_TRUE(render.Calls.empty());
  Send(hue.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, 93, 5);  // any button presses
  Send(hue.Handle(), WM_RBUTTONUP, 0, 93, 5);
  Send(hue.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 10, 5);
  Send(hue.Handle(), WM_MOUSEMOVE, MK_LBUTTON, 93, 2);
  Send(hue.Handle(), WM_MOUSEMOVE, MK_LBUTTON, 174, 9);
  Send(hue.Handle(), WM_LBUTTONUP, 0, 100, 5);
  const std::vector<std::pair<char, int32_t>> drag = {{'h', 51}, {'h', 1}, {'h', 51}, {'h', 100}};
  EXPECT_EQ(drag, render.Calls);
  EXPECT_EQ(100, panel->ThumbX(2));

  // Reset: four events in order with the defaults, thumbs drawn there.
  render.Calls.clear();
  Click(panel->Find<qvr::ui::TControl>("stReset")->Handle(), 5, 5);
  const std::vector<std::pair<char, int32_t>> reset = {{'b', 50}, {'c', 50}, {'h', 0}, {'s', 50}};
  EXPECT_EQ(reset, render.Calls);
  EXPECT_EQ(qvr::audio::ValueToPosition(50, 186), panel->ThumbX(0));
  EXPECT_EQ(10, panel->ThumbX(2));  // value 0 lies left of the track start
  EXPECT_EQ(50, panel->Brightness);

  // Close clears the events.
  Click(panel->Find<qvr::ui::TControl>("stClose")->Handle(), 5, 5);
  Pump();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(qvr::audio::ColorPanelOpen);
}

}  // namespace
