#include "player/engine/MWMediaPlayer.h"

#include "player/engine/EVR9.h"
#include "player/engine/MWDirectShowUtils.h"
#include "player/engine/core/MWFileFormat.h"
#include "player/engine/core/MWPlaybackRules.h"

using Microsoft::WRL::ComPtr;

namespace qvr::engine {
namespace {

// {68F540E9-766F-44D2-AB07-E26CC6D27A79}
constexpr CLSID kClsidShoutcastSource = {0x68F540E9, 0x766F, 0x44D2, {0xAB, 0x07, 0xE2, 0x6C, 0xC6, 0xD2, 0x7A, 0x79}};
// {187463A0-5BB7-11D3-ACBE-0080C75E246E}
constexpr CLSID kClsidWMAsfReader = {0x187463A0, 0x5BB7, 0x11D3, {0xAC, 0xBE, 0x00, 0x80, 0xC7, 0x5E, 0x24, 0x6E}};

// An existing file, not a folder; the system's "insert a disk" dialogs stay away while we look.
// The error mode is this thread's own: other threads of the process keep theirs.
bool IsExistingFile(const std::string& name) {
  DWORD old_mode = 0;
  const bool changed = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(name).c_str());
  if (changed) ::SetThreadErrorMode(old_mode, nullptr);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Beep() { ::MessageBeep(MB_OK); }

}  // namespace

bool DecideUseEVR() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExW(&version) || version.dwMajorVersion != 6 || version.dwMinorVersion != 1) return false;
  ComPtr<IBaseFilter> evr;
  return SUCCEEDED(CoCreateInstance(kClsidEnhancedVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&evr)));
}

TMWMediaPlayer::TMWMediaPlayer(HWND videoWindow, IAudioFilterFactory* audioFilters)
    : com_(COINIT_APARTMENTTHREADED), VideoWindow(videoWindow), audio_filters_(audioFilters) {
  UseEVR = DecideUseEVR();
}

TFilterBank& TMWMediaPlayer::Bank() {
  // Built at the first item rather than with the window: reading the system's filter list wakes
  // the device enumerator and the sound system, most of what the player's start would cost.
  if (!CodecBank) {
    CodecBank = std::make_unique<TFilterBank>();
    CodecBank->LoadCodecs();
    CodecBank->LoadBlacklist("BLACKLIST");
  }
  return *CodecBank;
}

TMWMediaPlayer::~TMWMediaPlayer() {
  Close();
  CodecBank.reset();
}

HRESULT TMWMediaPlayer::Open(const std::string& name) {
  Close();
  if (!IsStreamUrl(name) && !IsExistingFile(name)) return E_INVALIDARG;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_PPV_ARGS(&Graph))))
    return E_UNEXPECTED;
  if (const HRESULT hr = BuildGraph(name); hr != S_OK) {
    Close();
    return hr;
  }
  FileName = name;
  if (FAILED(Graph.As(&Seeking))) {
    Close();
    return S_FALSE;
  }
  LONGLONG duration = 0;
  Seeking->GetDuration(&duration);
  Duration = duration;

  HasVideo = false;
  int32_t width = 0, height = 0;
  if (VideoRenderer && SUCCEEDED(VideoRenderer->GetNativeVideoSize(width, height))) {
    VideoWidth = static_cast<int16_t>(width <= 0 ? 320 : width);
    VideoHeight = static_cast<int16_t>(height <= 0 ? 240 : height);
    HasVideo = true;
  }
  if (HasVideo) UpdateVideoPosition();
  RegisterGraph(Graph.Get(), RotCookie);  // for outside graph tools; a failure changes nothing
  SetEqualizer(100, {});
  CursorHidden = false;
  SetMute(Muted);
  return S_OK;
}

HRESULT TMWMediaPlayer::ChooseSource(const std::string& name, bool trySystemSource, ComPtr<IBaseFilter>& source) {
  if (IsStreamUrl(name)) {
    if (CreateSourceFilter(Graph.Get(), kClsidShoutcastSource, name, "SHOUTcast", source)) return S_OK;
    if (AddSystemSourceFilter(Graph.Get(), name, name, source)) return S_OK;
    return E_NOTIMPL;
  }
  if (trySystemSource && AddSystemSourceFilter(Graph.Get(), name, name, source)) return S_OK;

  const TMediaKind kind = ContainerKind(name);
  if (kind == mkAsf) return CreateSourceFilter(Graph.Get(), kClsidWMAsfReader, name, name, source) ? S_OK : E_NOTIMPL;
  const TPrivateSource* private_source = PrivateSourceFor(kind);
  if (!private_source) return S_OK;  // no source: the caller reports S_FALSE
  source = Bank().CreateFilter(private_source->ClsidText);
  if (!source) return S_OK;
  if (!LoadSource(source, name)) {
    source.Reset();
    return E_NOTIMPL;
  }
  AddFilterToGraph(Graph.Get(), source, private_source->FilterName);
  return S_OK;
}

TMediaKind TMWMediaPlayer::ContainerKind(const std::string& name) {
  const TMediaKind kind = DetectMediaType(name);
  return kind != mkUnknown ? kind : KindFromExtension(name);
}

HRESULT TMWMediaPlayer::BuildGraph(const std::string& name) {
  const HRESULT hr = BuildGraphFrom(name, true);
  if (hr != S_FALSE || IsStreamUrl(name)) return hr;
  const TMediaKind kind = ContainerKind(name);
  if (kind != mkAsf && !PrivateSourceFor(kind)) return hr;
  // The system "opens" any file with its generic async file source, which then renders
  // nothing for containers only our private sources read: build once more from the source
  // the content or the extension names.
  DismantleGraph(Graph);
  VideoRenderer.reset();
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_PPV_ARGS(&Graph))))
    return E_UNEXPECTED;
  return BuildGraphFrom(name, false);
}

HRESULT TMWMediaPlayer::BuildGraphFrom(const std::string& name, bool trySystemSource) {
  ColorControlsAvailable = false;
  EqualizerAvailable = false;
  ComPtr<IBaseFilter> source;
  if (const HRESULT hr = ChooseSource(name, trySystemSource, source); FAILED(hr)) return hr;
  if (!source) return S_FALSE;

  // The renderer is made only when the builder meets a video pin: creating it and setting it up
  // windowless is most of what building an audio-only graph would otherwise cost.
  RenderOutputPins(Bank(), Graph.Get(), source.Get(), audio_filters_, [this] { AddVideoRenderer(); });
  if (VideoRenderer) VideoRenderer->UpdateVideoPosition(VideoWindow, VideoClientRect());

  const bool has_video_renderer = FindRenderer(Graph.Get(), MEDIATYPE_Video);
  if (!FindRenderer(Graph.Get(), MEDIATYPE_Audio) && !has_video_renderer && !FindRenderer(Graph.Get(), MEDIATYPE_Midi))
    return S_FALSE;
  ComPtr<IBaseFilter> audio_filter;
  if (FindFilterByClassId(Graph.Get(), CLSID_MWAudioFilter, &audio_filter) &&
      SUCCEEDED(audio_filter.As(&AudioFilterControl)))
    EqualizerAvailable = true;
  if (has_video_renderer && VideoRenderer) ColorControlsAvailable = VideoRenderer->HasColorControl();
  return S_OK;
}

// Once per graph, before the first video pin is connected; an item without video keeps no
// renderer object, and every renderer call of the engine is then a no-op.
void TMWMediaPlayer::AddVideoRenderer() {
  if (VideoRenderer) return;
  VideoRenderer = CreateVideoRender(UseEVR);
  VideoRenderer->Initialize(Graph.Get(), VideoWindow);
}

void TMWMediaPlayer::Close() {
  const uint8_t state = GetState();
  if (state != kStateClosed && state != kStateStopped) Stop();
  if (RotCookie != 0) {
    RevokeGraph(RotCookie);
    RotCookie = 0;
  }
  if (HasVideo) DismantleGraph(Graph);
  AudioFilterControl.Reset();
  Seeking.Reset();
  Graph.Reset();
  VideoRenderer.reset();
  VideoWidth = VideoHeight = 0;
  Duration = 0;
  HasVideo = false;
  FileName.clear();
}

void TMWMediaPlayer::Play() {
  ComPtr<IMediaControl> control;
  if (Graph && SUCCEEDED(Graph.As(&control))) control->Run();
  Playing = true;
}

void TMWMediaPlayer::Pause() {
  ComPtr<IMediaControl> control;
  if (Graph && SUCCEEDED(Graph.As(&control))) control->Pause();
  Playing = false;
}

bool TMWMediaPlayer::Stop() {
  ComPtr<IMediaControl> control;
  if (!Graph || FAILED(Graph.As(&control))) return false;
  const HRESULT hr = control->Stop();
  SetPosition(0);
  Playing = false;
  return hr == S_OK;
}

uint8_t TMWMediaPlayer::GetState() const {
  ComPtr<IMediaControl> control;
  if (!Graph || FAILED(Graph.As(&control))) return kStateClosed;
  OAFilterState state = -1;
  if (FAILED(control->GetState(0, &state))) return kStateClosed;
  switch (state) {
    case State_Stopped: return kStateStopped;
    case State_Paused: return kStatePaused;
    case State_Running: return kStateRunning;
    default: return kStateClosed;
  }
}

bool TMWMediaPlayer::SetPosition(int64_t position) {
  if (!Seeking) return false;
  LONGLONG current = 0, stop = 0;
  Seeking->GetPositions(&current, &stop);
  LONGLONG target = ClampSeekPosition(position, stop);
  return Seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning) == S_OK;
}

int64_t TMWMediaPlayer::GetCurrentPosition() const {
  LONGLONG position = 0;
  if (!Seeking || FAILED(Seeking->GetCurrentPosition(&position))) return 0;
  return position;
}

bool TMWMediaPlayer::TakeCompletion() {
  Microsoft::WRL::ComPtr<IMediaEvent> events;
  if (!Graph || FAILED(Graph.As(&events))) return false;
  bool completed = false;
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
    if (code == EC_COMPLETE) completed = true;
    events->FreeEventParams(code, first, second);
  }
  return completed;
}

int32_t TMWMediaPlayer::GetPositionMs() const { return static_cast<int32_t>(GetCurrentPosition() / 10000); }

void TMWMediaPlayer::StepForward() {
  if (!Seeking) return;
  LONGLONG current = 0, stop = 0;
  Seeking->GetPositions(&current, &stop);
  LONGLONG target = current + kStepSize;  // the graph applies its own limits
  Seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning);
}

void TMWMediaPlayer::StepBackward() {
  if (!Seeking) return;
  LONGLONG current = 0, stop = 0;
  Seeking->GetPositions(&current, &stop);
  LONGLONG target = current - kStepSize;
  Seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning);
}

// Applies a level to the graph's audio; the beep is the only failure report.
void TMWMediaPlayer::ApplyLevel(int32_t level, int32_t percentToStore, bool storeVolume) {
  ComPtr<IBasicAudio> audio;
  if (Graph && SUCCEEDED(Graph.As(&audio)) && SUCCEEDED(audio->put_Volume(LevelToAttenuation(level)))) {
    if (storeVolume) Volume = percentToStore;
    return;
  }
  Beep();
}

void TMWMediaPlayer::SetVolume(int32_t percent) {
  if (Muted) {
    Volume = percent;  // applied when mute is released
    return;
  }
  if (Graph) ApplyLevel(PercentToLevel(percent), percent, true);
}

void TMWMediaPlayer::SetMute(bool on) {
  if (!Graph) return;
  Muted = on;
  ApplyLevel(on ? kMutedLevel : PercentToLevel(Volume), Volume, false);
}

RECT TMWMediaPlayer::VideoClientRect() const {
  RECT client{};
  ::GetClientRect(VideoWindow, &client);
  return client;
}

void TMWMediaPlayer::UpdateVideoPosition() {
  if (VideoRenderer) VideoRenderer->UpdateVideoPosition(VideoWindow, VideoClientRect());
}

void TMWMediaPlayer::RepaintVideo(HWND window, HDC dc) {
  if (VideoRenderer) VideoRenderer->RepaintVideo(window, dc);
}

void TMWMediaPlayer::SetAspectRatio(uint8_t mode, float height, float width) {
  if (VideoRenderer) VideoRenderer->SetAspectRatio(mode, height, width);
}

void TMWMediaPlayer::ReadColorControls() {
  if (VideoRenderer) VideoRenderer->ReadColorControls();
}

int32_t TMWMediaPlayer::GetBrightness() const { return VideoRenderer ? VideoRenderer->GetBrightness() : 0; }
int32_t TMWMediaPlayer::GetContrast() const { return VideoRenderer ? VideoRenderer->GetContrast() : 0; }
int32_t TMWMediaPlayer::GetHue() const { return VideoRenderer ? VideoRenderer->GetHue() : 0; }
int32_t TMWMediaPlayer::GetSaturation() const { return VideoRenderer ? VideoRenderer->GetSaturation() : 0; }
void TMWMediaPlayer::SetBrightness(int32_t percent) {
  if (VideoRenderer) VideoRenderer->SetBrightness(percent);
}
void TMWMediaPlayer::SetContrast(int32_t percent) {
  if (VideoRenderer) VideoRenderer->SetContrast(percent);
}
void TMWMediaPlayer::SetHue(int32_t percent) {
  if (VideoRenderer) VideoRenderer->SetHue(percent);
}
void TMWMediaPlayer::SetSaturation(int32_t percent) {
  if (VideoRenderer) VideoRenderer->SetSaturation(percent);
}

void TMWMediaPlayer::SetPreamp(uint8_t value) {
  Preamp = value;
  ApplyEqualizer();
}

void TMWMediaPlayer::SetEqualizer(uint8_t preamp, const std::array<int8_t, 10>& bands) {
  Preamp = preamp;
  EqBands = bands;
  ApplyEqualizer();
}

void TMWMediaPlayer::ApplyEqualizer() {
  if (!AudioFilterControl) return;
  const std::array<int8_t, 10> bands = EqBands;
  AudioFilterControl->SetEQBands(bands.data());
  AudioFilterControl->SetPreAmp(static_cast<uint16_t>(Preamp * 100));
  AudioFilterControl->SetEQEnabled(TRUE);
  AudioFilterControl->SetAudioDelay(0);
}

void TMWMediaPlayer::SetCursorHidden(bool hidden) {
  CursorHidden = hidden;
  ::ShowCursor(hidden ? FALSE : TRUE);
}

}  // namespace qvr::engine
