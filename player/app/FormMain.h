// TfrmQVRPlayer: the player's borderless main window (class "TfrmQVRPlayer"): top bar, video
// panel and control bar from the "TFRMQVRPLAYER" layout, the engine, the hidden playlist window,
// the settings and recent files, the window's shape, resizing and moving without a frame, its
// own maximise mode and full screen, and the close sequence with the exit question.
//
// The playback commands, keys, mouse and the main menu live in FormMainCommands.cpp. Seams for
// work that builds on this window: the deferred start-up tasks (OnFirstRun, OnUpdateCheck), the
// update result (OnUpdateDone) and the language request from outside (OnLanguageRequest).
// Everything runs on the UI thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "player/app/DefaultPlaylist.h"
#include "player/app/VideoSurface.h"
#include "player/app/core/MainWindowRules.h"
#include "player/audio/MWAudioFilterFactory.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/ui/Form.h"
#include "player/ui/Menus.h"
#include "player/ui/uPlaylist.h"

namespace qvr::ui {
class TSkinButton;
class TSkinPanel;
class TTracker;
class TStaticText;
class TImage;
}  // namespace qvr::ui

namespace qvr::app {

inline constexpr char kPlayerKey[] = "Software\\QVRPlayer";
inline constexpr char kRecentKey[] = "Software\\QVRPlayer\\Recent";
inline constexpr UINT kUpdateDoneMessage = WM_USER + 132;
inline constexpr UINT kLanguageMessage = WM_USER + 301;
inline constexpr UINT_PTR kDeferredStartTimer = 100;
inline constexpr COLORREF kChromeColor = RGB(108, 120, 129);

class TfrmQVRPlayer : public ui::TForm {
 public:
  struct TStartup {
    std::string ProgramFolder;            // with a trailing backslash
    std::optional<std::string> Argument;  // the first command-line argument
  };

  TfrmQVRPlayer(TStartup startup, ui::IFileSystem& fileSystem);
  ~TfrmQVRPlayer() override;

  // The creation steps in order; the window is shown at the end.
  HRESULT Create();

  void OpenMedia(const std::string& path, bool centre);
  void TogglePlayPause();
  void AddRecent(const std::string& path);
  void ClearRecent();
  void SetMaximized(bool on);
  void ToggleFullScreen();
  void UpdateRegions();
  static void ApplyStayOnTop(HWND window, bool on);
  void PlaylistVisibleChanged();
  // The multi-select open dialog; every pick goes to the playlist, the first is opened.
  void OpenFilesDialog();
  // One tick of the refresh timer: the seek bar, the time text and the end of an item.
  void RefreshTick();
  ui::TPopupMenu& MainMenu() { return *pmMain; }
  ui::TPopupMenu& ReportMenu() { return *pmReport; }

  // Secondary windows the main menu opens, each in a file of its own.
  void OpenEqualizer();      // FormMainPanels.cpp
  void OpenColorControls();  // FormMainPanels.cpp
  void ShowAssociations();   // FormMainAssociations.cpp

  int ScaleX(int n) const;
  int ScaleY(int n) const;

  engine::TMWMediaPlayer& Engine() { return *engine_; }
  ui::TfrmQVRPlayList& Playlist() { return *playlist_; }
  const TRecentList& Recent() const { return recent_; }
  std::string DefaultPlaylistPath() const { return app::DefaultPlaylistPath(startup_.ProgramFolder); }

  // Window state, named as the window's design names it.
  bool FRepeat = false;
  bool FSeeking = false;
  bool FMaximized = false;
  bool FNoRegion = false;
  int FAspectMode = 0;
  int FZoom = 0;
  bool FForceExit = false;
  bool FClosing = false;
  bool FOpening = false;
  POINT FLastCursorPos{-1, -1};
  SIZE FCharSize{0, 0};
  RECT FSavedScreenRect{};
  RECT FSavedWindowRect{};
  int FColorDefaults[4] = {0, 0, 0, 0};
  // The check marks the main menu shows, kept here from creation to close.
  bool StayOnTopChecked = false;
  bool CheckUpdatesChecked = false;
  bool SavePositionChecked = false;
  // The program ends with its main window; a window hosted by a test does not.
  bool QuitOnClose = true;

  std::function<void()> OnFirstRun;
  std::function<void()> OnUpdateCheck;
  std::function<void(WPARAM, LPARAM)> OnUpdateDone;
  std::function<void()> OnLanguageRequest;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool PreviewKey(const MSG& message) override;

 private:
  void BindComponents();
  void MeasureCharSize();
  void LoadSettings();
  void RestoreBounds();
  void PlacePlaylist();
  void LayoutControlBar();
  bool CloseQuery();
  void SaveAndRelease();
  void StartMove();
  void SetBounds(const TBounds& bounds);
  TBounds WindowBounds() const;
  void PaintTopBar(HDC dc, const ui::TRect& r);
  void PaintScreen(HDC dc, const ui::TRect& r);
  // Keeps the picture's pop-up (where there is one) over the video panel, shown while a picture is.
  void SyncVideoSurface();
  void OnCopyData(const COPYDATASTRUCT& data);
  void OnDropFiles(HDROP drop);
  void DeferredStart();
  void ScreenMouseMove(UINT keys);
  void HideCursorTick();
  bool InLogoArea(ui::TPoint p) const;
  bool InReportArea(ui::TPoint p) const;
  void ShowPlaylist();
  // FormMainCommands.cpp
  void BindCommands();
  void BindMainMenu();
  void MainMenuPopup();
  void RebuildRecentMenu();
  void Zoom(int tag);
  void SetAspect(int tag);
  void ShowMuteState();
  void PaintSeekBar(HDC dc, const ui::TRect& track, const ui::TRect& thumb);
  void PaintVolumeBar(HDC dc, const ui::TRect& track, const ui::TRect& thumb);
  void EndOfItem();

  TStartup startup_;
  ui::IFileSystem& fileSystem_;
  audio::TMWAudioFilterFactory audioFilters_;
  // Destroyed after the engine, which presents into it.
  std::unique_ptr<TVideoSurface> videoSurface_;
  std::unique_ptr<engine::TMWMediaPlayer> engine_;
  std::unique_ptr<ui::TfrmQVRPlayList> playlist_;
  TRecentList recent_;
  bool created_ = false;
  bool defaultPlaylistUnread_ = false;  // default.m3u existed but could not be read at start

  ui::TSkinPanel* pTop = nullptr;
  ui::TSkinPanel* pScreen = nullptr;
  ui::TSkinPanel* pControl = nullptr;
  ui::TSkinButton* btnMin = nullptr;
  ui::TSkinButton* btnMax = nullptr;
  ui::TSkinButton* btnClose = nullptr;
  ui::TSkinButton* btnNowPl = nullptr;
  ui::TSkinButton* btnFeatured = nullptr;
  ui::TSkinButton* btnPlayList = nullptr;
  ui::TSkinButton* btnToggleFS = nullptr;
  ui::TSkinButton* btnPrev = nullptr;
  ui::TSkinButton* btnStop = nullptr;
  ui::TSkinButton* btnPlay = nullptr;
  ui::TSkinButton* btnNext = nullptr;
  ui::TSkinButton* btnOpen = nullptr;
  ui::TSkinButton* btnMute = nullptr;
  ui::TSkinButton* btnRepeat = nullptr;
  ui::TStaticText* stFileName = nullptr;
  ui::TStaticText* stTime = nullptr;
  ui::TTracker* trSeek = nullptr;
  ui::TTracker* trVolume = nullptr;
  ui::TImage* Image1 = nullptr;
  ui::TImage* Image2 = nullptr;
  ui::TImage* Image3 = nullptr;
  ui::TImage* imgbug = nullptr;
  ui::TTimer* timerRefresh = nullptr;
  ui::TTimer* tmHideCursor = nullptr;
  ui::TPopupMenu* pmMain = nullptr;
  ui::TPopupMenu* pmReport = nullptr;
  // The track bars' bitmaps, loaded once.
  unique_gdi_of<HBITMAP> seekd_, seekb_, voln_, vold_, volds_;
};

}  // namespace qvr::app
