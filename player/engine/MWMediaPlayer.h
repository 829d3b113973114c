// The playback engine: one filter graph per opened item, transport, seeking, volume and mute,
// equaliser and picture controls. A plain object owned by the main window, used from the UI
// thread that created it (a single-threaded COM apartment for its lifetime). It posts nothing:
// the owner polls GetState and the position.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "common/win/DirectShow.h"
#include "common/win/unique_resource.h"
#include "player/audio/MWAudioFilterInterface.h"
#include "player/engine/AudioFilterFactory.h"
#include "player/engine/UFilterBank.h"
#include "player/engine/core/MWFileFormat.h"
#include "player/engine/video.h"

namespace qvr::engine {

// GetState results.
enum : uint8_t { kStateClosed = 0, kStateStopped = 1, kStatePaused = 2, kStateRunning = 3 };

class TMWMediaPlayer {
  // First member: the apartment must outlive every COM reference below.
  unique_coinit com_;

 public:
  // audioFilters (not owned, may be null) makes the program's audio filter for each graph.
  explicit TMWMediaPlayer(HWND videoWindow, IAudioFilterFactory* audioFilters = nullptr);
  TMWMediaPlayer(const TMWMediaPlayer&) = delete;
  TMWMediaPlayer& operator=(const TMWMediaPlayer&) = delete;
  ~TMWMediaPlayer();

  // `name` is UTF-8 (any name the file system holds). 0 open and stopped; E_INVALIDARG not a
  // URL nor an existing file; E_UNEXPECTED no graph
  // manager; E_NOTIMPL no URL source, or a source refused the file; S_FALSE no source or no
  // renderer connected. Any failure leaves the engine closed.
  HRESULT Open(const std::string& name);
  void Close();

  void Play();
  void Pause();
  bool Stop();
  uint8_t GetState() const;

  bool SetPosition(int64_t position);
  int64_t GetCurrentPosition() const;
  int32_t GetPositionMs() const;
  // Drains the graph's event queue; true when it held EC_COMPLETE (all streams rendered to
  // their end). The engine itself posts nothing: the main window asks on its refresh tick.
  bool TakeCompletion();
  void StepForward();
  void StepBackward();

  void SetVolume(int32_t percent);
  void SetMute(bool on);

  void UpdateVideoPosition();
  void RepaintVideo(HWND window, HDC dc);
  void SetAspectRatio(uint8_t mode, float height, float width);
  void ReadColorControls();
  int32_t GetBrightness() const;
  int32_t GetContrast() const;
  int32_t GetHue() const;
  int32_t GetSaturation() const;
  void SetBrightness(int32_t percent);
  void SetContrast(int32_t percent);
  void SetHue(int32_t percent);
  void SetSaturation(int32_t percent);

  // A band outside 0..9 reads as flat and is not stored.
  int8_t GetEqBand(int index) const {
    return index >= 0 && static_cast<size_t>(index) < EqBands.size() ? EqBands[static_cast<size_t>(index)] : 0;
  }
  void SetEqBand(int index, int8_t value) {
    if (index >= 0 && static_cast<size_t>(index) < EqBands.size()) EqBands[static_cast<size_t>(index)] = value;
  }
  void SetPreamp(uint8_t value);
  void SetEqualizer(uint8_t preamp, const std::array<int8_t, 10>& bands);
  void SetCursorHidden(bool hidden);

  // Fields the main window reads (it writes only FullScreen).
  HWND VideoWindow;
  Microsoft::WRL::ComPtr<IGraphBuilder> Graph;
  Microsoft::WRL::ComPtr<IMediaSeeking> Seeking;
  Microsoft::WRL::ComPtr<IMWAudioFilterInterface> AudioFilterControl;
  std::unique_ptr<TVideoRender> VideoRenderer;  // null for an item without video
  std::unique_ptr<TFilterBank> CodecBank;  // null until the first item needs it
  DWORD RotCookie = 0;
  int16_t VideoWidth = 0;
  int16_t VideoHeight = 0;
  int64_t Duration = 0;
  bool HasVideo = false;
  std::string FileName;  // UTF-8, as given to Open
  int32_t Volume = 100;
  bool Muted = false;
  uint8_t Preamp = 100;
  std::array<int8_t, 10> EqBands{};
  bool FullScreen = false;
  bool Playing = false;
  bool CursorHidden = false;
  bool ColorControlsAvailable = false;
  bool EqualizerAvailable = false;
  bool UseEVR = false;

 private:
  TFilterBank& Bank();
  HRESULT BuildGraph(const std::string& name);
  HRESULT BuildGraphFrom(const std::string& name, bool trySystemSource);
  HRESULT ChooseSource(const std::string& name, bool trySystemSource, Microsoft::WRL::ComPtr<IBaseFilter>& source);
  static TMediaKind ContainerKind(const std::string& name);
  void AddVideoRenderer();
  void ApplyEqualizer();
  void ApplyLevel(int32_t level, int32_t percentToStore, bool storeVolume);
  RECT VideoClientRect() const;

  IAudioFilterFactory* audio_filters_;
};

// Whether this system takes the Enhanced Video Renderer (exactly Windows 7, and the EVR can be
// created): decided once per engine.
bool DecideUseEVR();

}  // namespace qvr::engine
