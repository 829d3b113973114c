// The main window's playback commands: transport buttons, seek and volume bars, keys, wheel and
// double clicks, the refresh timer with the end of an item, the open dialog and the main menu.
#include "player/app/FormMain.h"

#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <stdexcept>

#include "common/win/text.h"
#include "player/app/Launch.h"
#include "player/app/core/PlaybackRules.h"
#include "player/ui/Canvas.h"
#include "player/ui/FileDialogs.h"
#include "player/ui/PanelX.h"
#include "player/ui/Tracker.h"
#include "player/ui/uButton.h"

namespace qvr::app {

namespace {

constexpr wchar_t kOpenDialogFilter[] =
    L"Video/Audio|*.WEBM;*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;"
    L"*.TP;*.TS;*.VOB;*.WMV;*.MOD;*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;*.RA;*.TTA;"
    L"*.WAV;*.WMA;|Video Files|*.WEBM;*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;"
    L"*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.MOD;|Audio Files|*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;"
    L"*.MPC;*.OFR;*.OGG;*.RA;*.TTA;*.WAV;*.WMA;|All Files|*.*";

HBITMAP LoadBitmapResource(const wchar_t* name) {
  return static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void StretchBitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h) {
  if (!bitmap || w <= 0 || h <= 0) return;
  BITMAP info{};
  ::GetObjectW(bitmap, sizeof info, &info);
  ui::TSelectedBitmap source(dc, bitmap);
  ::StretchBlt(dc, x, y, w, h, source.Dc(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color) {
  unique_gdi pen(::CreatePen(PS_SOLID, 1, color));
  HGDIOBJ previous = ::SelectObject(dc, pen.get());
  ::MoveToEx(dc, x0, y0, nullptr);
  ::LineTo(dc, x1, y1);
  ::SelectObject(dc, previous);
}

}  // namespace

void TfrmQVRPlayer::BindCommands() {
  seekd_.reset(LoadBitmapResource(L"seekd"));
  seekb_.reset(LoadBitmapResource(L"Seekb"));
  voln_.reset(LoadBitmapResource(L"voln"));
  vold_.reset(LoadBitmapResource(L"vold"));
  volds_.reset(LoadBitmapResource(L"volds"));

  auto focusScreen = [this] { pScreen->SetFocus(); };
  btnPlay->OnClick = [this, focusScreen](ui::TComponent&) {
    if (engine_->GetState() != engine::kStateClosed) TogglePlayPause();
    else playlist_->List().PlayNext();
    focusScreen();
  };
  btnStop->OnClick = [this, focusScreen](ui::TComponent&) {
    engine_->Stop();
    btnPlay->LoadSkin("btn_play");
    trSeek->SetEnabled(false);
    pScreen->Invalidate();
    focusScreen();
  };
  btnPrev->OnClick = [this, focusScreen](ui::TComponent&) {
    if (playlist_->List().RowCount() > 1) playlist_->List().PlayPrevious();
    else engine_->StepBackward();
    focusScreen();
  };
  btnNext->OnClick = [this, focusScreen](ui::TComponent&) {
    if (playlist_->List().RowCount() > 1) playlist_->List().PlayNext();
    else engine_->StepForward();
    focusScreen();
  };
  btnOpen->OnClick = [this, focusScreen](ui::TComponent&) {
    OpenFilesDialog();
    focusScreen();
  };
  btnToggleFS->OnClick = [this, focusScreen](ui::TComponent&) {
    ToggleFullScreen();
    focusScreen();
  };
  btnPlayList->OnClick = [this, focusScreen](ui::TComponent&) {
    const bool show = !playlist_->Visible();
    playlist_->SetListVisible(show);
    if (show) ApplyStayOnTop(playlist_->Handle(), StayOnTopChecked);
    PlaylistVisibleChanged();
    focusScreen();
  };
  btnMute->OnClick = [this, focusScreen](ui::TComponent&) {
    engine_->SetMute(!engine_->Muted);
    ShowMuteState();
    focusScreen();
  };
  btnRepeat->OnClick = [this, focusScreen](ui::TComponent&) {
    FRepeat = !FRepeat;
    btnRepeat->SetDown(FRepeat);
    focusScreen();
  };

  trSeek->OnMouseDown = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) { FSeeking = true; };
  trSeek->OnMouseUp = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) {
    if (!FSeeking) return;
    if (engine_) engine_->SetPosition(SeekTarget(trSeek->Value(), engine_->Duration));
    FSeeking = false;
  };
  trSeek->OnPaint = [this](ui::TTracker&, HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
    PaintSeekBar(dc, track, thumb);
  };
  trVolume->OnChangedValue = [this](ui::TTracker&, int value) {
    if (engine_) engine_->SetVolume(value);
  };
  trVolume->OnPaint = [this](ui::TTracker&, HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
    PaintVolumeBar(dc, track, thumb);
  };

  pScreen->OnDblClick = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) {
    if (engine_->GetState() >= engine::kStatePaused) ToggleFullScreen();
    else OpenFilesDialog();
  };
  pScreen->OnMouseUp = [this](ui::TControl&, ui::TMouseButton button, UINT, ui::TPoint) {
    if (button != ui::TMouseButton::mbRight) return;
    POINT at{};
    ::GetCursorPos(&at);
    pmMain->Popup(Handle(), at);
  };
  pControl->OnDblClick = [this](ui::TControl&, ui::TMouseButton, UINT, ui::TPoint) { OpenFilesDialog(); };
  timerRefresh->OnTimer = [this](ui::TComponent&) { RefreshTick(); };
}

void TfrmQVRPlayer::ShowMuteState() {
  btnMute->LoadSkin(engine_->Muted ? "btn_audon" : "btn_audoff");
  trVolume->Repaint();
}

void TfrmQVRPlayer::PaintSeekBar(HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
  const COLORREF edge = RGB(176, 176, 176);
  Line(dc, track.Left, track.Bottom - 2, track.Left, -1, edge);
  Line(dc, track.Right, track.Bottom - 2, track.Right, -1, edge);
  StretchBitmap(dc, seekd_.get(), track.Left + 1, track.Top, track.Width() - 1, track.Height());
  if (track.Left - 4 < thumb.Left)
    StretchBitmap(dc, seekb_.get(), track.Left + 1, track.Top, thumb.Left - thumb.Width() / 2 - 1, track.Height());
}

void TfrmQVRPlayer::PaintVolumeBar(HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
  Line(dc, track.Left, track.Top, track.Right, track.Top, RGB(192, 192, 192));
  Line(dc, track.Left, track.Top + 1, track.Right, track.Top + 1, RGB(255, 255, 255));
  HBITMAP bitmap = engine_ && engine_->Muted ? volds_.get() : trVolume->ThumbSelected() ? vold_.get() : voln_.get();
  if (!bitmap) return;
  ui::TSelectedBitmap source(dc, bitmap);
  ::BitBlt(dc, thumb.Left, thumb.Top, thumb.Width(), thumb.Height(), source.Dc(), 0, 0, SRCCOPY);
}

void TfrmQVRPlayer::RefreshTick() {
  SyncVideoSurface();
  if (FSeeking || !engine_) return;
  const int64_t position = engine_->GetCurrentPosition();
  // A pause holds even when it lands on the very end: the item ends once it runs again, so the
  // graph's notice stays pending until then.
  const bool paused = engine_->GetState() == engine::kStatePaused;
  // The graph's own word that the streams ended counts as much as the position: a stream that
  // ends short of its stated duration never reaches it.
  const bool completed = !paused && engine_->TakeCompletion();
  if (!paused && IsEndOfItem(position, engine_->Duration, completed)) {
    EndOfItem();
    return;
  }
  if (engine_->Duration <= 0) return;
  trSeek->SetValue(SeekBarValue(position, engine_->Duration));
  stTime->SetText(TimeText(engine_->GetPositionMs(), engine_->Duration));
}

void TfrmQVRPlayer::EndOfItem() {
  engine_->Stop();
  engine_->SetPosition(0);
  trSeek->SetValue(0);
  if (playlist_->List().RowCount() >= 2) {
    playlist_->List().PlayNext();
  } else if (FRepeat) {
    // A file that never went through the playlist (the command line) restarts by itself.
    if (playlist_->List().RowCount() == 0) engine_->Play();
    else playlist_->List().PlayNext();
    pScreen->Invalidate();
  } else {
    btnPlay->LoadSkin("btn_play");
    trSeek->SetEnabled(false);
    pScreen->Invalidate();
  }
}

void TfrmQVRPlayer::OpenFilesDialog() {
  const std::vector<std::string> paths = ui::PickMediaFiles(Handle(), kOpenDialogFilter);
  for (const std::string& path : paths) playlist_->List().AddPath(path);
  if (!paths.empty()) OpenMedia(paths.front(), false);
}

// --- The main menu ---------------------------------------------------------------------------

void TfrmQVRPlayer::BindMainMenu() {
  auto item = [this](const char* name) -> ui::TMenuItem& {
    auto* found = Find<ui::TMenuItem>(name);
    if (!found) throw std::logic_error(std::string("the main menu has no ") + name);
    return *found;
  };
  pmMain->OnPopup = [this](ui::TComponent&) { MainMenuPopup(); };
  item("miOpenfile").OnClick = [this](ui::TComponent&) { OpenFilesDialog(); };
  for (ui::TMenuItem* zoom : item("miZoom").Items())
    zoom->OnClick = [this](ui::TComponent& sender) { Zoom(sender.Tag()); };
  for (ui::TMenuItem* aspect : item("miAspectRatio").Items())
    aspect->OnClick = [this](ui::TComponent& sender) { SetAspect(sender.Tag()); };
  item("miColorControls").OnClick = [this](ui::TComponent&) { OpenColorControls(); };
  item("miEqualizer").OnClick = [this](ui::TComponent&) { OpenEqualizer(); };
  item("miMute").OnClick = [this](ui::TComponent& sender) {
    auto& mute = static_cast<ui::TMenuItem&>(sender);
    mute.Checked = !mute.Checked;
    engine_->SetMute(mute.Checked);
    ShowMuteState();
  };
  item("miFullScreen").OnClick = [this](ui::TComponent&) { ToggleFullScreen(); };
  item("miStayonTop").OnClick = [this](ui::TComponent&) {
    StayOnTopChecked = !StayOnTopChecked;
    ApplyStayOnTop(Handle(), StayOnTopChecked);
    if (playlist_->Visible()) ApplyStayOnTop(playlist_->Handle(), StayOnTopChecked);
  };
  item("miRepeat").OnClick = [this](ui::TComponent&) {
    FRepeat = !FRepeat;
    btnRepeat->SetDown(FRepeat);
  };
  item("miProperties").OnClick = [this](ui::TComponent&) {
    if (engine_->GetState() >= engine::kStatePaused) ShowFileProperties(Text());
  };
  item("miConvert").OnClick = [this](ui::TComponent&) { HandToConverter(engine_->FileName); };
  item("miReportBug").OnClick = [](ui::TComponent&) { OpenReportBugPage(); };
  item("miSendSuggestion").OnClick = [](ui::TComponent&) { OpenSuggestionPage(); };
  item("miAssociacions").OnClick = [this](ui::TComponent&) { ShowAssociations(); };
  item("miCheckUpdates").OnClick = [this](ui::TComponent&) { CheckUpdatesChecked = !CheckUpdatesChecked; };
  item("miSavePosition").OnClick = [this](ui::TComponent&) { SavePositionChecked = !SavePositionChecked; };
  item("miExit").OnClick = [this](ui::TComponent&) { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); };
}

void TfrmQVRPlayer::MainMenuPopup() {
  const bool loaded = engine_->GetState() >= engine::kStatePaused;
  RebuildRecentMenu();
  auto* recent = Find<ui::TMenuItem>("miRecentfiles");
  recent->Enabled = recent->Count() > 0;
  for (ui::TMenuItem* zoom : Find<ui::TMenuItem>("miZoom")->Items()) zoom->Checked = zoom->Tag() == FZoom;
  auto* aspect = Find<ui::TMenuItem>("miAspectRatio");
  aspect->Enabled = !engine_->UseEVR;
  for (ui::TMenuItem* mode : aspect->Items()) mode->Checked = mode->Tag() == FAspectMode;
  for (const char* name : {"miVideoStreams", "miAudioStreams", "miSubtitleStream"}) {
    auto* streams = Find<ui::TMenuItem>(name);
    streams->Enabled = streams->Count() > 0;
  }
  Find<ui::TMenuItem>("miColorControls")->Enabled = engine_->ColorControlsAvailable;
  Find<ui::TMenuItem>("miEqualizer")->Enabled = engine_->EqualizerAvailable;
  Find<ui::TMenuItem>("miMute")->Checked = engine_->Muted;
  Find<ui::TMenuItem>("miFullScreen")->Checked = engine_->FullScreen;
  Find<ui::TMenuItem>("miStayonTop")->Checked = StayOnTopChecked;
  Find<ui::TMenuItem>("miRepeat")->Checked = FRepeat;
  Find<ui::TMenuItem>("miProperties")->Enabled = loaded;
  Find<ui::TMenuItem>("miConvert")->Enabled = !engine_->FileName.empty() && fileSystem_.FileExists(engine_->FileName);
  Find<ui::TMenuItem>("miCheckUpdates")->Checked = CheckUpdatesChecked;
  Find<ui::TMenuItem>("miSavePosition")->Checked = SavePositionChecked;
}

void TfrmQVRPlayer::RebuildRecentMenu() {
  auto* recent = Find<ui::TMenuItem>("miRecentfiles");
  recent->Clear();
  const std::vector<std::string>& items = recent_.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    recent->Add("Recent" + std::to_string(i), items[i]).OnClick = [this](ui::TComponent& sender) {
      const std::string path = static_cast<ui::TMenuItem&>(sender).Caption;
      if (!path.empty() && fileSystem_.FileExists(path)) OpenMedia(path, false);
    };
  }
  if (items.empty()) return;
  recent->Add("N9", "-");
  recent->Add("miRecentClear", "Clear").OnClick = [this](ui::TComponent&) { ClearRecent(); };
}

void TfrmQVRPlayer::Zoom(int tag) {
  if (engine_->FullScreen || engine_->GetState() < engine::kStatePaused || engine_->VideoHeight == 0) return;
  if (::IsZoomed(Handle())) ::ShowWindow(Handle(), SW_SHOWNORMAL);
  FZoom = tag;
  SetBounds(ZoomBounds(WindowBounds(), tag, FAspectMode, engine_->VideoWidth, engine_->VideoHeight));
}

void TfrmQVRPlayer::SetAspect(int tag) {
  if (engine_->GetState() < engine::kStatePaused || engine_->VideoHeight == 0) return;
  FAspectMode = tag;
  const TAspectCall call =
      AspectCallFor(tag, pScreen->Width(), pScreen->Height(), engine_->VideoWidth, engine_->VideoHeight);
  engine_->SetAspectRatio(call.Mode, call.Height, call.Width);
}

}  // namespace qvr::app
