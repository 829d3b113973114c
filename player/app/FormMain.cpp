#include "player/app/FormMain.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "common/win/text.h"
#include "player/app/ConfirmDialog.h"
#include "player/app/Launch.h"
#include "player/app/Registry.h"
#include "player/app/core/CopyData.h"
#include "player/app/core/PlaybackRules.h"
#include "player/app/langs.h"
#include "player/ui/Canvas.h"
#include "player/ui/PanelX.h"
#include "player/ui/Tracker.h"
#include "player/ui/uButton.h"

namespace qvr::app {

namespace {

constexpr int kMinWidth = 500, kMinHeight = 400;
const ui::TColor kTopBarTextColor = ui::Rgb(192, 192, 192);

bool SamePathIgnoringCase(const std::string& a, const std::string& b) {
  const std::wstring wa = Utf8ToWide(a), wb = Utf8ToWide(b);
  return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

// The file name without folder and without its last extension.
std::string TitleOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// Leading and trailing blanks and control characters removed.
std::string TrimBlanks(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace

TfrmQVRPlayer::TfrmQVRPlayer(TStartup startup, ui::IFileSystem& fileSystem)
    : TForm("frmQVRPlayer"), startup_(std::move(startup)), fileSystem_(fileSystem), recent_(SamePathIgnoringCase) {}

TfrmQVRPlayer::~TfrmQVRPlayer() {
  // A window destroyed without its close sequence (a test, a failed start) still releases the
  // graph before the windows it paints into.
  if (engine_) engine_->Close();
  engine_.reset();
  playlist_.reset();
  DestroyHandle();
}

HRESULT TfrmQVRPlayer::Create() {
  if (const HRESULT hr = CreateFormFromResource("TFRMQVRPLAYER", L"TfrmQVRPlayer", WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX,
                                                0, nullptr);
      FAILED(hr))
    return hr;
  BindComponents();
  SetKeyPreview(true);
  // 1. Character size; own maximise and shaping off.
  MeasureCharSize();
  FMaximized = false;
  FNoRegion = false;
  // 2-3. The language of the suite or of the user, for this window now and for every form later;
  // chosen again when the suite asks.
  InstallFormTranslator(startup_.ProgramFolder);
  LoadLanguage(startup_.ProgramFolder, ChooseLanguage());
  if (!OnLanguageRequest) OnLanguageRequest = [this] { LoadLanguage(startup_.ProgramFolder, ChooseLanguage()); };
  // 4.
  FLastCursorPos = {-1, -1};
  FForceExit = FOpening = FClosing = false;
  // 6. The engine paints into the video panel, or where Wine needs it into a pop-up over it.
  if (TVideoSurface::Needed()) {
    videoSurface_ = std::make_unique<TVideoSurface>(pScreen->Handle(), [this](HWND window, HDC dc) {
      if (engine_ && !FOpening) engine_->RepaintVideo(window, dc);
    });
    if (!videoSurface_->Create()) videoSurface_.reset();
  }
  engine_ = std::make_unique<engine::TMWMediaPlayer>(videoSurface_ ? videoSurface_->PictureWindow() : pScreen->Handle(),
                                                     &audioFilters_);
  // Whenever the panel changes, the picture is fitted to it again (through the pop-up under Wine).
  pScreen->OnBoundsChanged = [this](ui::TSkinPanel&) {
    if (videoSurface_) SyncVideoSurface();
    else engine_->UpdateVideoPosition();
  };
  // 7.
  ::DragAcceptFiles(Handle(), TRUE);
  // 8-9.
  FRepeat = RegReadInt(kPlayerKey, "Repeat") == 1;
  LoadSettings();
  // 10-11. The playlist, hidden, with what the last run left in it.
  playlist_ = std::make_unique<ui::TfrmQVRPlayList>(fileSystem_);
  if (const HRESULT hr = playlist_->Create(Handle()); FAILED(hr)) return hr;
  playlist_->List().OnPlay = [this](const std::string& path, uint8_t) { OpenMedia(path, false); };
  playlist_->OnVisibleChanged = [this](bool) { PlaylistVisibleChanged(); };
  playlist_->OnConvert = [](const std::string& file) { HandToConverter(file); };
  playlist_->OnProperties = [](const std::string& file) { ShowFileProperties(file); };
  playlist_->OnRedock = [this] {
    playlist_->Docked = true;
    const TBounds b = WindowBounds();
    ::SetWindowPos(playlist_->Handle(), nullptr, b.Left + b.Width, b.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  if (const std::string saved = DefaultPlaylistPath(); fileSystem_.FileExists(saved))
    defaultPlaylistUnread_ = static_cast<bool>(playlist_->List().LoadPlaylist(saved));
  // 12. Skins come with the layout; the states that depend on settings are set here.
  btnRepeat->SetDown(FRepeat);
  // 13-14.
  trSeek->SetEnabled(false);
  SetBounds({Left(), Top(), kMinWidth, Height()});
  // 15.
  std::string position;
  RegReadString(kPlayerKey, "Position", position);
  SavePositionChecked = !position.empty() || RegReadInt(kPlayerKey, "Run") == 0;
  // 16. The saved place, or the file of the command line (whose window is sized to it).
  if (!startup_.Argument) RestoreBounds();
  // 17-18.
  StayOnTopChecked = RegReadInt(kPlayerKey, "StayOnTop") == 1;
  CheckUpdatesChecked = RegReadInt(kPlayerKey, "AutoCheckUpdates") == 1 || RegReadInt(kPlayerKey, "Run") == 0;
  ApplyStayOnTop(Handle(), StayOnTopChecked);
  // 19-20.
  UpdateRegions();
  LayoutControlBar();
  ::SetTimer(Handle(), kDeferredStartTimer, 2000, nullptr);
  ::ShowWindow(Handle(), SW_SHOW);
  created_ = true;
  if (startup_.Argument && fileSystem_.FileExists(*startup_.Argument)) OpenMedia(*startup_.Argument, true);
  // 21.
  PlacePlaylist();
  return S_OK;
}

void TfrmQVRPlayer::BindComponents() {
  pTop = Find<ui::TSkinPanel>("pTop");
  pScreen = Find<ui::TSkinPanel>("pScreen");
  pControl = Find<ui::TSkinPanel>("pControl");
  btnMin = Find<ui::TSkinButton>("btnMin");
  btnMax = Find<ui::TSkinButton>("btnMax");
  btnClose = Find<ui::TSkinButton>("btnClose");
  btnNowPl = Find<ui::TSkinButton>("btnNowPl");
  btnFeatured = Find<ui::TSkinButton>("btnFeatured");
  btnPlayList = Find<ui::TSkinButton>("btnPlayList");
  btnToggleFS = Find<ui::TSkinButton>("btnToggleFS");
  btnPrev = Find<ui::TSkinButton>("btnPrev");
  btnStop = Find<ui::TSkinButton>("btnStop");
  btnPlay = Find<ui::TSkinButton>("btnPlay");
  btnNext = Find<ui::TSkinButton>("btnNext");
  btnOpen = Find<ui::TSkinButton>("btnOpen");
  btnMute = Find<ui::TSkinButton>("btnMute");
  btnRepeat = Find<ui::TSkinButton>("btnRepeat");
  stFileName = Find<ui::TStaticText>("stFileName");
  stTime = Find<ui::TStaticText>("stTime");
  trSeek = Find<ui::TTracker>("trSeek");
  trVolume = Find<ui::TTracker>("trVolume");
  Image1 = Find<ui::TImage>("Image1");
  Image2 = Find<ui::TImage>("Image2");
  Image3 = Find<ui::TImage>("Image3");
  imgbug = Find<ui::TImage>("imgbug");
  timerRefresh = Find<ui::TTimer>("timerRefresh");
  tmHideCursor = Find<ui::TTimer>("tmHideCursor");
  pmMain = Find<ui::TPopupMenu>("pmMain");
  pmReport = Find<ui::TPopupMenu>("pmReport");

  btnClose->OnClick = [this](ui::TComponent&) { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); };
  btnMin->OnClick = [this](ui::TComponent&) {
    pScreen->SetFocus();
    ::ShowWindow(Handle(), SW_MINIMIZE);
  };
  btnMax->OnClick = [this](ui::TComponent&) {
    pScreen->SetFocus();
    FSavedScreenRect = ui::ToRect(pScreen->Bounds());
    SetMaximized(!FMaximized);
  };
  // Pressing either title button clears the other's latch.
  btnNowPl->OnMouseDown = [this](ui::TControl&, ui::TMouseButton b, UINT, ui::TPoint) {
    if (b == ui::TMouseButton::mbLeft) btnFeatured->SetDown(false);
  };
  btnFeatured->OnMouseDown = [this](ui::TControl&, ui::TMouseButton b, UINT, ui::TPoint) {
    if (b == ui::TMouseButton::mbLeft) btnNowPl->SetDown(false);
  };

  pTop->OnPaintHook = [this](ui::TSkinPanel&, HDC dc, const ui::TRect& r) { PaintTopBar(dc, r); };
  pScreen->OnPaintHook = [this](ui::TSkinPanel&, HDC dc, const ui::TRect& r) { PaintScreen(dc, r); };
  pControl->OnMouseLeaveHook = [this](ui::TSkinPanel&) {
    if (!engine_ || !engine_->FullScreen) return;
    pControl->SetVisible(false);
    pScreen->Repaint();
  };

  // Moving the window by its surfaces.
  pControl->OnMouseDown = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) {
    if (!engine_->FullScreen) StartMove();
  };
  pScreen->OnMouseMove = [this](ui::TControl&, ui::TMouseButton, UINT keys, ui::TPoint) { ScreenMouseMove(keys); };
  pTop->OnMouseMove = [this](ui::TControl&, ui::TMouseButton, UINT keys, ui::TPoint p) {
    if (keys & MK_LBUTTON) {
      if (!FMaximized) StartMove();
      return;
    }
    const bool hot = InLogoArea(p) || InReportArea(p);
    ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(hot ? 32649 : 32512)));  // IDC_HAND, IDC_ARROW
  };
  pTop->OnMouseDown = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint p) {
    if (InLogoArea(p)) {
      POINT at{4, pTop->Height()};
      ::ClientToScreen(Handle(), &at);
      pmMain->Popup(Handle(), at);
    } else if (InReportArea(p)) {
      POINT at{Width() - ScaleX(140), ScaleY(2) + pTop->Height()};
      ::ClientToScreen(Handle(), &at);
      pmReport->Popup(Handle(), at);
    } else {
      return;
    }
    ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
  };
  pTop->OnDblClick = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) { SetMaximized(!FMaximized); };

  tmHideCursor->OnTimer = [this](ui::TComponent&) { HideCursorTick(); };
  BindCommands();
  BindMainMenu();
}

void TfrmQVRPlayer::MeasureCharSize() {
  HDC dc = ::GetDC(Handle());
  HGDIOBJ previous = ::SelectObject(dc, Font());
  const SIZE average = ui::AverageCharSize(dc);
  ::SelectObject(dc, previous);
  ::ReleaseDC(Handle(), dc);
  FCharSize = average;
}

int TfrmQVRPlayer::ScaleX(int n) const { return ui::MulDivRound(n, FCharSize.cx, 5); }
int TfrmQVRPlayer::ScaleY(int n) const { return ui::MulDivRound(n, FCharSize.cy, 13); }

void TfrmQVRPlayer::LoadSettings() {
  recent_.Clear();
  HKEY raw = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(kRecentKey).c_str(), 0, nullptr, 0, KEY_READ, nullptr, &raw, nullptr) !=
      ERROR_SUCCESS)
    return;
  unique_hkey key(raw);
  // Every value in the registry's order, whatever its name: no limit, no duplicate rule.
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0, bytes = 0;
    const LONG status = ::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) continue;
    std::string value;
    if (type == REG_SZ && RegReadString(kRecentKey, WideToUtf8(std::wstring(name, nameLength)), value))
      recent_.Append(value);
  }
}

void TfrmQVRPlayer::AddRecent(const std::string& path) { recent_.Add(path); }

void TfrmQVRPlayer::ClearRecent() {
  recent_.Clear();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, Utf8ToWide(kRecentKey).c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, Utf8ToWide(kRecentKey).c_str());
}

TBounds TfrmQVRPlayer::WindowBounds() const {
  RECT r{};
  ::GetWindowRect(Handle(), &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void TfrmQVRPlayer::SetBounds(const TBounds& bounds) {
  const TBounds b = WithMinimumSize(bounds);
  ::SetWindowPos(Handle(), nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmQVRPlayer::RestoreBounds() {
  std::string position;
  RegReadString(kPlayerKey, "Position", position);
  SetBounds(ParsePosition(position, DefaultMainBounds(ScreenWidth(), ScreenHeight())));
}

void TfrmQVRPlayer::PlacePlaylist() {
  bool docked = false;
  const TBounds b = PlacePlaylistAtStart(WindowBounds(), playlist_->Width(), playlist_->Height(), ScreenWidth(),
                                         ScreenHeight(), docked);
  ::SetWindowPos(playlist_->Handle(), nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
  playlist_->Docked = docked;
}

void TfrmQVRPlayer::ApplyStayOnTop(HWND window, bool on) {
  ::SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TfrmQVRPlayer::PlaylistVisibleChanged() {
  btnPlayList->LoadSkin(playlist_->Visible() ? "btn_playlist2" : "btn_playlist");
  if (!playlist_->Visible()) return;
  // Bring it back on screen: centred along each axis it leaves.
  RECT r{};
  ::GetWindowRect(playlist_->Handle(), &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  int left = r.left, top = r.top;
  if (left < 0 || left + w > ScreenWidth()) left = (ScreenWidth() - w) / 2;
  if (top < 0 || top + h > ScreenHeight()) top = (ScreenHeight() - h) / 2;
  if (left != r.left || top != r.top)
    ::SetWindowPos(playlist_->Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (engine_ && engine_->FullScreen) ApplyStayOnTop(playlist_->Handle(), true);
}

void TfrmQVRPlayer::ShowPlaylist() {
  if (playlist_->Visible()) return;
  playlist_->SetListVisible(true);
  ApplyStayOnTop(playlist_->Handle(), StayOnTopChecked);
  PlaylistVisibleChanged();
}

void TfrmQVRPlayer::UpdateRegions() {
  if (!Handle()) return;
  if (FNoRegion) {
    ::SetWindowRgn(Handle(), nullptr, TRUE);
    ::SetWindowRgn(pTop->Handle(), nullptr, TRUE);
    ::SetWindowRgn(pControl->Handle(), nullptr, TRUE);
    return;
  }
  auto polygon = [](const std::vector<TPoint>& points) {
    std::vector<POINT> p;
    for (const TPoint& q : points) p.push_back({q.X, q.Y});
    return ::CreatePolygonRgn(p.data(), static_cast<int>(p.size()), WINDING);
  };
  const TBounds b = WindowBounds();
  // The window owns each region once it is set.
  ::SetWindowRgn(Handle(), ::CreateRoundRectRgn(0, 0, b.Width + 1, b.Height + 1, 11, 11), TRUE);
  ::SetWindowRgn(pControl->Handle(), polygon(ControlBarOutline(pControl->Width(), pControl->Height())), TRUE);
  ::SetWindowRgn(pTop->Handle(), polygon(TopBarOutline(pTop->Width(), pTop->Height())), TRUE);
}

void TfrmQVRPlayer::LayoutControlBar() {
  const TControlBarLefts l = app::LayoutControlBar(
      pControl->ClientSize().Width, Width(),
      {btnPlayList->Width(), btnToggleFS->Width(), btnPrev->Width(), btnStop->Width(), btnPlay->Width(), btnOpen->Width(),
       btnNext->Width(), btnMute->Width()});
  btnRepeat->SetLeft(l.Repeat);
  btnToggleFS->SetLeft(l.ToggleFS);
  btnPlayList->SetLeft(l.PlayList);
  btnPrev->SetLeft(l.Prev);
  btnStop->SetLeft(l.Stop);
  btnPlay->SetLeft(l.Play);
  btnOpen->SetLeft(l.Open);
  btnNext->SetLeft(l.Next);
  btnMute->SetLeft(l.Mute);
  trVolume->SetLeft(l.Volume);
}

void TfrmQVRPlayer::StartMove() {
  ::ReleaseCapture();
  ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);  // SC_MOVE + HTCAPTION
}

bool TfrmQVRPlayer::InLogoArea(ui::TPoint p) const { return ui::TRect{8, 6, 88, 22}.Contains(p); }

bool TfrmQVRPlayer::InReportArea(ui::TPoint p) const {
  return ui::TRect{Width() - ScaleX(150), ScaleY(6), Width() - ScaleX(66), ScaleY(22)}.Contains(p);
}

void TfrmQVRPlayer::PaintTopBar(HDC dc, const ui::TRect& r) {
  Image1->Draw(dc, 4, ScaleY(8));
  HGDIOBJ previous = ::SelectObject(dc, pTop->Font());
  const std::string title = stFileName->Text();
  if (!title.empty())
    ui::DrawTextUtf8(dc, title, {r.Left + 100, r.Top + 10, r.Right - 160, r.Bottom},
                     DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_NOPREFIX, kTopBarTextColor);
  imgbug->Draw(dc, r.Right - ScaleX(150), ScaleY(8));
  const int x = r.Right - ScaleX(130), y = ScaleY(10);
  ui::DrawTextUtf8(dc, "Report Bug", {x, y, r.Right, r.Bottom}, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP, kTopBarTextColor);
  ::SelectObject(dc, previous);
}

void TfrmQVRPlayer::SyncVideoSurface() {
  if (!videoSurface_ || !engine_) return;
  const bool picture = engine_->HasVideo && !FOpening && engine_->GetState() >= engine::kStatePaused;
  if (videoSurface_->Sync(picture)) engine_->UpdateVideoPosition();
}

void TfrmQVRPlayer::PaintScreen(HDC dc, const ui::TRect& r) {
  SyncVideoSurface();
  if (engine_ && (engine_->GetState() >= engine::kStatePaused || FOpening)) {
    if (!FOpening) engine_->RepaintVideo(pScreen->Handle(), dc);
    return;
  }
  HGDIOBJ previous = ::SelectObject(dc, pScreen->Font());
  ui::DrawTextUtf8(dc, "v1.0.7", {r.Right - ScaleX(36), r.Top + ScaleY(10), r.Right, r.Bottom},
                   DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP, pScreen->FontColor());
  ::SelectObject(dc, previous);
  const ui::TSize a = Image2->Size(), b = Image3->Size();
  Image2->Draw(dc, (r.Width() - a.Width) / 2, (r.Height() - a.Height) / 2);
  Image3->Draw(dc, r.Width() - b.Width - 8, r.Height() - b.Height - 4);
}

void TfrmQVRPlayer::OpenMedia(const std::string& path, bool centre) {
  // 1.
  trSeek->SetValue(0);
  trSeek->SetEnabled(false);
  FOpening = true;
  engine_->Stop();
  Repaint();
  pScreen->Repaint();
  // 2.
  if (engine_->Open(path) != S_OK) return;
  // 3.
  SetText(path);
  stFileName->SetText(TitleOf(path));
  AddRecent(path);
  // 4. Size to the picture on the monitor that holds most of the window.
  MONITORINFO monitor{sizeof(monitor)};
  ::GetMonitorInfoW(::MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
  const bool primary = monitor.dwFlags & MONITORINFOF_PRIMARY;
  if (!(primary && (engine_->FullScreen || FMaximized))) {
    if (!primary) {
      if (engine_->FullScreen) ToggleFullScreen();
      centre = true;
    }
    const RECT& m = monitor.rcMonitor;
    SetBounds(SizeForVideo(WindowBounds(), {m.left, m.top, m.right - m.left, m.bottom - m.top}, engine_->VideoWidth,
                           engine_->VideoHeight, centre));
    Repaint();
    engine_->UpdateVideoPosition();
  }
  // 5.
  engine_->SetVolume(trVolume->Value());
  trSeek->SetEnabled(true);
  pTop->Invalidate();
  FAspectMode = 0;
  FZoom = 0;
  FOpening = false;
  pScreen->Repaint();
  // 6.
  playlist_->List().SetNowPlaying(path, static_cast<int32_t>(engine_->Duration / 10000000));
  if (playlist_->Docked) {
    const TBounds b = WindowBounds();
    ::SetWindowPos(playlist_->Handle(), nullptr, b.Left + b.Width, b.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // 7.
  engine_->Play();
  engine_->ReadColorControls();
  FColorDefaults[0] = engine_->GetBrightness();
  FColorDefaults[1] = engine_->GetContrast();
  FColorDefaults[2] = engine_->GetHue();
  FColorDefaults[3] = engine_->GetSaturation();
  btnPlay->LoadSkin("btn_pause");
}

void TfrmQVRPlayer::TogglePlayPause() {
  if (engine_->Playing) {
    engine_->Pause();
    btnPlay->LoadSkin("btn_play");
  } else {
    engine_->Play();
    btnPlay->LoadSkin("btn_pause");
    trSeek->SetEnabled(true);
  }
  pScreen->Invalidate();
}

void TfrmQVRPlayer::SetMaximized(bool on) {
  FMaximized = on;
  if (on) {
    ::GetWindowRect(Handle(), &FSavedWindowRect);
    FSavedScreenRect = ui::ToRect(pScreen->Bounds());
    const TBounds before = WindowBounds();
    ::ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    // Without a window manager, Wine moves a frameless window to the corner but keeps its size;
    // give it the monitor, as Windows does.
    if (WindowBounds().Width == before.Width && WindowBounds().Height == before.Height) {
      MONITORINFO monitor{sizeof(monitor)};
      ::GetMonitorInfoW(::MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
      const RECT& m = monitor.rcMonitor;
      ::SetWindowPos(Handle(), nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    pScreen->SetBounds({0, 1, Width(), Height()});
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    pScreen->SetBounds(ui::FromRect(FSavedScreenRect));
    pControl->SetTop(Height() - 57);
    pControl->SetVisible(true);
    pTop->SetVisible(true);
    if (!StayOnTopChecked)
      ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TfrmQVRPlayer::ToggleFullScreen() {
  if (engine_->GetState() == engine::kStateClosed) return;
  engine_->FullScreen = !engine_->FullScreen;
  if (engine_->FullScreen) {
    playlist_->Docked = false;
    FNoRegion = true;
    if (!FMaximized) FSavedScreenRect = ui::ToRect(pScreen->Bounds());
    pScreen->SetFocus();
    pTop->SetVisible(false);
    pControl->SetVisible(false);
    if (FMaximized) ::SetWindowPos(Handle(), nullptr, 0, 0, ScreenWidth(), ScreenHeight(), SWP_NOZORDER);
    else SetMaximized(true);
    UpdateRegions();
    const ui::TSize client = ClientSize();
    pScreen->SetBounds({0, 0, client.Width, client.Height});
    ::GetCursorPos(&FLastCursorPos);
    tmHideCursor->SetEnabled(true);
    pControl->SetTop(Height() - 55);
    engine_->UpdateVideoPosition();
  } else {
    FNoRegion = false;
    SetMaximized(false);
    tmHideCursor->SetEnabled(false);
    pScreen->SetFocus();
  }
}

void TfrmQVRPlayer::ScreenMouseMove(UINT keys) {
  ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
  if (!engine_->FullScreen) {
    if (engine_->CursorHidden) engine_->SetCursorHidden(false);
    if (keys & MK_LBUTTON) StartMove();
    FLastCursorPos = {-1, -1};
    return;
  }
  POINT cursor{};
  ::GetCursorPos(&cursor);
  POINT inPanel = cursor;
  ::ScreenToClient(pScreen->Handle(), &inPanel);
  if (inPanel.y > pScreen->Height() - 20) {
    pControl->SetVisible(true);
    pControl->Repaint();
  }
  const RECT still{FLastCursorPos.x - 4, FLastCursorPos.y - 4, FLastCursorPos.x + 4, FLastCursorPos.y + 4};
  if (::PtInRect(&still, cursor)) return;
  FLastCursorPos = cursor;
  if (engine_->CursorHidden) engine_->SetCursorHidden(false);
  if (!tmHideCursor->Enabled()) tmHideCursor->SetEnabled(true);
}

void TfrmQVRPlayer::HideCursorTick() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const RECT still{FLastCursorPos.x - 4, FLastCursorPos.y - 4, FLastCursorPos.x + 4, FLastCursorPos.y + 4};
  if (::PtInRect(&still, cursor) && !pControl->Visible()) {
    engine_->SetCursorHidden(true);
    tmHideCursor->SetEnabled(false);
  }
}

void TfrmQVRPlayer::OnCopyData(const COPYDATASTRUCT& data) {
  if (data.cbData == 0) return;
  const TWin32CodePage systemCodePage;
  const std::string path = DecodeCopyDataPath(data.dwData, data.lpData, data.cbData, systemCodePage);
  if (path.empty()) return;
  playlist_->List().AddPath(path);
  if (playlist_->List().RowCount() > 1) ShowPlaylist();
}

void TfrmQVRPlayer::OnDropFiles(HDROP drop) {
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> names;
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    name.resize(::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    if (name.size() > 1023) name.resize(1023);
    names.push_back(WideToUtf8(name));
  }
  ::DragFinish(drop);
  for (const std::string& name : names) playlist_->List().AddPath(name);
  if (!names.empty()) OpenMedia(TrimBlanks(names.front()), false);
  if (names.size() > 1) ShowPlaylist();
}

void TfrmQVRPlayer::DeferredStart() {
  ::KillTimer(Handle(), kDeferredStartTimer);
  if (FClosing) return;
  if (RegReadInt(kPlayerKey, "Run") == 0 && OnFirstRun) OnFirstRun();
  if (CheckUpdatesChecked && OnUpdateCheck) OnUpdateCheck();
}

bool TfrmQVRPlayer::CloseQuery() {
  // 1-4.
  FClosing = true;
  bool ask = true;
  if (!FForceExit) FForceExit = RegReadInt(kPlayerKey, "ForceExit") == 1;
  if (!FForceExit) {
    const int answer = ShowConfirmDialog("Do you want to Exit?", "QVR Player", L"XICONQUESTION", &ask,
                                         {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}, Handle());
    FForceExit = answer == IDYES;
  }
  if (!FForceExit) {
    FClosing = false;
    return false;
  }
  // 5-6.
  timerRefresh->SetEnabled(false);
  if (SavePositionChecked) {
    const bool iconic = ::IsIconic(Handle());
    if (Visible() && !iconic) RegWriteString(kPlayerKey, "Position", FormatPosition(WindowBounds()));
    if (playlist_->Visible() && !::IsIconic(playlist_->Handle())) {
      RECT r{};
      ::GetWindowRect(playlist_->Handle(), &r);
      RegWriteString(kPlayerKey, "PLPosition", FormatPosition({r.left, r.top, r.right - r.left, r.bottom - r.top}));
    }
  } else {
    std::string ignored;
    RegTakeString(kPlayerKey, "Position", ignored);
  }
  // 7.
  engine_->Close();
  engine_.reset();
  // 8.
  if (playlist_->List().RowCount() > 0) playlist_->List().SavePlaylist(DefaultPlaylistPath());
  else if (!defaultPlaylistUnread_) fileSystem_.RemoveFile(DefaultPlaylistPath());  // an unread list is not an empty one
  // 9.
  playlist_.reset();
  // 10.
  RegWriteInt(kPlayerKey, "ForceExit", ask ? 1 : 0);
  RegWriteInt(kPlayerKey, "StayOnTop", StayOnTopChecked ? 1 : 0);
  RegWriteInt(kPlayerKey, "AutoCheckUpdates", CheckUpdatesChecked ? 1 : 0);
  RegWriteInt(kPlayerKey, "Repeat", FRepeat ? 1 : 0);
  // 11.
  if (!recent_.Items().empty()) {
    for (size_t i = 0; i < recent_.Items().size(); ++i) RegWriteString(kRecentKey, std::to_string(i), recent_.Items()[i]);
  }
  return true;
}

bool TfrmQVRPlayer::PreviewKey(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_CHAR) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_SPACE) {
    TogglePlayPause();
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    if (engine_->FullScreen) ToggleFullScreen();
    return true;
  }
  if (message.message == WM_CHAR && (message.wParam == ',' || message.wParam == '.')) {
    if (message.wParam == ',') engine_->StepBackward();
    else engine_->StepForward();
    return true;
  }
  return false;
}

LRESULT TfrmQVRPlayer::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA:
      if (created_) OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
      return TRUE;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kDeferredStartTimer) {
        DeferredStart();
        return 0;
      }
      if (wparam < ui::TTimer::kFirstTimerId) return 0;
      break;
    case kUpdateDoneMessage:
      if (OnUpdateDone) OnUpdateDone(wparam, lparam);
      return 0;
    case kLanguageMessage:
      if (OnLanguageRequest) OnLanguageRequest();
      return 0;
    case WM_QUIT:  // sent to the window by another program: close without asking
      FForceExit = true;
      ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
      return 0;
    case WM_NCHITTEST: {
      const LRESULT answer = TForm::HandleMessage(message, wparam, lparam);
      if (FMaximized) return answer;
      const TBounds b = WindowBounds();
      const ui::TSize client = ClientSize();
      return MainWindowHitTest(GET_X_LPARAM(lparam) - b.Left, GET_Y_LPARAM(lparam) - b.Top, client.Width, client.Height,
                               static_cast<int>(answer));
    }
    case WM_MOVE: {
      const LRESULT result = TForm::HandleMessage(message, wparam, lparam);
      SyncVideoSurface();
      if (playlist_ && playlist_->Docked) {
        const TBounds b = WindowBounds();
        ::SetWindowPos(playlist_->Handle(), nullptr, b.Left + b.Width, b.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return result;
    }
    case WM_SIZE: {
      const LRESULT result = TForm::HandleMessage(message, wparam, lparam);
      if (created_) {
        UpdateRegions();
        LayoutControlBar();
      }
      SyncVideoSurface();
      return result;
    }
    case WM_MOUSEWHEEL:
      trVolume->SetValue(WheelVolume(trVolume->Value(), GET_WHEEL_DELTA_WPARAM(wparam)));
      if (engine_) engine_->SetVolume(trVolume->Value());
      return 0;
    case WM_SYSCOMMAND:
      // Exactly SC_MONITORPOWER: the display stays on while the player runs.
      if (wparam == 0xF170) return -1;
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(Handle(), &paint);
      RECT client;
      ::GetClientRect(Handle(), &client);
      ui::FillSolid(dc, ui::FromRect(client), kChromeColor);
      ::EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(Handle(), &client);
      ui::FillSolid(reinterpret_cast<HDC>(wparam), ui::FromRect(client), kChromeColor);
      return 1;
    }
    case WM_CLOSE:
      if (FClosing) return 0;
      if (CloseQuery()) ::DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      if (QuitOnClose) ::PostQuitMessage(0);
      break;
    default:
      break;
  }
  return TForm::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::app
