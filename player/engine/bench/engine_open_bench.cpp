// The engine's Open + Close against the system's own graph building (CoCreateInstance of the
// filter graph + IGraphBuilder::RenderFile + Release) on the same files, interleaved in one run,
// under Wine. Prints the median of each and their ratio per file. Google Benchmark is built
// natively only, so this is a small timing program of ours; it is no test.
//
//   engine_open_bench.exe [repetitions] [file ...]
//
// Without files it takes the sample AVI, the sample WAV and a file only the private bank reads
// (our own FLV-class container served by the test codec module in bin\filters).
#include <windows.h>

#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/win/DirectShow.h"
#include "common/win/text.h"
#include "player/audio/MWAudioFilterFactory.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/resources/core/MediaWriter.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string ExeDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  dir.resize(dir.find_last_of(L'\\') + 1);
  return qvr::WideToUtf8(dir);
}

// "FLVQ", channels, rate, bits, then PCM: the test codec's FLV source reads it, the system
// does not.
std::string WritePrivateBankFile(const std::string& dir) {
  const qvr::media::PcmFormat format{1, 2, 22050, 16};
  const auto pcm = qvr::media::MakeTonePcm16(format, 2.0, 440, 0.2);
  std::vector<uint8_t> bytes{'F', 'L', 'V', 'Q'};
  auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  put(2, 2);
  put(22050, 4);
  put(16, 2);
  bytes.insert(bytes.end(), pcm.begin(), pcm.end());
  const std::string path = dir + "engine_open_bench.dat";
  return qvr::media::SaveFile(path, bytes) ? path : std::string();
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// RenderFile's HRESULT; the graph is released before returning, inside the timed span.
HRESULT RenderFileOnce(const std::string& path) {
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  if (SUCCEEDED(hr)) hr = graph->RenderFile(qvr::Utf8ToWide(path).c_str(), nullptr);
  return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
  const std::string dir = ExeDirectory();
  std::vector<std::string> files;
  for (int i = 2; i < argc; ++i) files.push_back(qvr::WideToUtf8(argv[i]));
  std::string private_file;
  if (files.empty()) {
    private_file = WritePrivateBankFile(dir);
    files = {dir + "samples\\bars.avi", dir + "samples\\tone.wav", private_file};
  }

  // The player's own set-up: a video panel, the audio filter, the bank loaded from bin\filters.
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QVREngineOpenBench";
  ::RegisterClassW(&wc);
  HWND panel = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                 wc.hInstance, nullptr);
  qvr::audio::TMWAudioFilterFactory audio_filters;
  auto player = std::make_unique<qvr::engine::TMWMediaPlayer>(panel, &audio_filters);

  std::printf("%d interleaved repetitions per file (after one warm-up of each)\n", repetitions);
  std::printf("%-24s %14s %14s %8s  %s\n", "file", "Open+Close ms", "RenderFile ms", "ratio", "results");
  for (const std::string& path : files) {
    // Warm-up: first-use loading of Wine's DLLs and GStreamer plug-ins weighs on neither side.
    const HRESULT open_hr = player->Open(path);
    player->Close();
    const HRESULT render_hr = RenderFileOnce(path);
    std::vector<double> open_ms, render_ms;
    for (int i = 0; i < repetitions; ++i) {
      auto start = std::chrono::steady_clock::now();
      player->Open(path);
      player->Close();
      open_ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
      start = std::chrono::steady_clock::now();
      RenderFileOnce(path);
      render_ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    }
    const double open_median = Median(open_ms), render_median = Median(render_ms);
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    std::printf("%-24s %14.1f %14.1f %7.2fx  Open 0x%08lX, RenderFile 0x%08lX\n", name.c_str(), open_median,
                render_median, render_median > 0 ? open_median / render_median : 0.0,
                static_cast<unsigned long>(open_hr), static_cast<unsigned long>(render_hr));
  }
  player.reset();
  ::DestroyWindow(panel);
  if (!private_file.empty()) ::DeleteFileW(qvr::Utf8ToWide(private_file).c_str());
  return 0;
}
