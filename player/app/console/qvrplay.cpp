// qvrplay: plays one media file or stream URL through the playback engine and reports
// duration, position and state on the console. Video appears in a plain window of its own,
// letter-boxed inside a picture area as large as the one the main window gives it.
//
// usage: qvrplay FILE|URL [--seconds N]   (N: stop after N seconds; default: play to the end)
//        qvrplay --controls               (a gallery of the skinned controls)
// Exit codes: 0 played (or shown), 1 the item cannot be opened, 2 the arguments are refused.
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "common/win/unique_resource.h"
#include "player/app/console/ControlsGallery.h"
#include "player/app/console/core/ConsoleArgs.h"
#include "player/audio/MWAudioFilterFactory.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/engine/UFilterBank.h"
#include "player/engine/core/MWPlaybackRules.h"

namespace {

const char* StateName(uint8_t state) {
  switch (state) {
    case qvr::engine::kStateRunning: return "running";
    case qvr::engine::kStatePaused: return "paused";
    case qvr::engine::kStateStopped: return "stopped";
    default: return "closed";
  }
}

double Seconds(int64_t reference_time) { return static_cast<double>(reference_time) / 1e7; }

qvr::engine::TMWMediaPlayer* g_player = nullptr;

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      if (g_player) g_player->UpdateVideoPosition();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      if (g_player) g_player->RepaintVideo(window, dc);
      ::EndPaint(window, &paint);
      return 0;
    }
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

HWND CreateVideoWindow() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = VideoWindowProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  window_class.lpszClassName = L"QVRConsoleVideo";
  ::RegisterClassW(&window_class);
  return ::CreateWindowExW(0, L"QVRConsoleVideo", L"QVR Player", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640, 480,
                           nullptr, nullptr, window_class.hInstance, nullptr);
}

void PumpMessages(DWORD milliseconds) {
  const DWORD until = ::GetTickCount() + milliseconds;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const DWORD now = ::GetTickCount();
    if (static_cast<LONG>(until - now) <= 0) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The engine takes UTF-8: every name the file system holds, not only the system code page's.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(qvr::engine::WideToUtf8(argv[i]));
  const qvr::console::TConsoleArgs parsed = qvr::console::ParseConsoleArgs(args);
  if (parsed.Mode == qvr::console::TConsoleArgs::cmControls) return qvr::console::RunControlsGallery();
  if (parsed.Mode == qvr::console::TConsoleArgs::cmUsage) {
    if (!parsed.Error.empty()) std::fprintf(stderr, "qvrplay: %s\n", parsed.Error.c_str());
    std::fprintf(stderr, "%s\n", qvr::console::kUsage);
    return 2;
  }
  const std::string& name = parsed.Name;
  // What we print is UTF-8 too; a console shows it right in that code page (pipes get the bytes).
  const UINT console_code_page = ::GetConsoleOutputCP();
  if (console_code_page) ::SetConsoleOutputCP(CP_UTF8);
  struct RestoreConsole {
    UINT code_page;
    ~RestoreConsole() {
      if (code_page) ::SetConsoleOutputCP(code_page);
    }
  } restore_console{console_code_page};
  const double limit = parsed.Seconds;
  const bool is_url = qvr::engine::IsStreamUrl(name);

  const HWND window = CreateVideoWindow();
  // Every graph gets the program's audio filter ("EQ Audio") in front of its audio renderer.
  qvr::audio::TMWAudioFilterFactory audio_filters;
  qvr::engine::TMWMediaPlayer player(window, &audio_filters);
  g_player = &player;
  if (const HRESULT hr = player.Open(name); hr != S_OK) {
    // The kind as the engine chooses its source: by content, else by extension.
    qvr::engine::TMediaKind kind = is_url ? qvr::engine::mkUnknown : qvr::engine::DetectMediaType(name);
    if (kind == qvr::engine::mkUnknown && !is_url) kind = qvr::engine::KindFromExtension(name);
    std::fprintf(stderr, "qvrplay: cannot open %s: %s\n", name.c_str(),
                 qvr::console::OpenFailureText(static_cast<uint32_t>(hr), is_url, kind).c_str());
    g_player = nullptr;
    ::DestroyWindow(window);
    return 1;
  }
  std::printf("File: %s\n", player.FileName.c_str());
  std::printf("Duration: %.3f s\n", Seconds(player.Duration));
  std::printf("Equalizer: %s\n", player.EqualizerAvailable ? "available" : "not available");
  if (player.HasVideo) {
    std::printf("Video: %d x %d\n", player.VideoWidth, player.VideoHeight);
    // The main window's smallest size (500 x 400) leaves a 496 x 307 picture area; a smaller
    // picture is letter-boxed inside it (black bands: the window class's brush).
    RECT frame{0, 0, std::max<int>(player.VideoWidth, 496), std::max<int>(player.VideoHeight, 307)};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER);
    ::ShowWindow(window, SW_SHOWNORMAL);
  }
  player.Play();
  PumpMessages(100);
  std::printf("State: %s\n", StateName(player.GetState()));
  std::fflush(stdout);

  const DWORD started = ::GetTickCount();
  for (;;) {
    PumpMessages(250);
    const int64_t position = player.GetCurrentPosition();
    std::printf("Position: %.2f s  State: %s\n", Seconds(position), StateName(player.GetState()));
    std::fflush(stdout);
    // The end of an item: every stream rendered to its end, or the position at the duration. A
    // file of zero length has nothing to play (a live stream's duration is 0 too: it goes on).
    if (player.TakeCompletion()) break;
    if (player.Duration > 0 && position >= player.Duration) break;
    if (player.Duration <= 0 && !is_url) break;
    if (limit >= 0 && (::GetTickCount() - started) / 1000.0 >= limit) break;
  }
  player.Stop();
  std::printf("State: %s\n", StateName(player.GetState()));
  player.Close();
  std::printf("State: %s\n", StateName(player.GetState()));
  g_player = nullptr;
  ::DestroyWindow(window);
  return 0;
}
