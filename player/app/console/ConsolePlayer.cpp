#include "player/app/console/ConsolePlayer.h"

using Microsoft::WRL::ComPtr;

namespace qvr::app {
namespace {

std::vector<ComPtr<IPin>> OutputPins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> pin_enum;
  if (FAILED(filter->EnumPins(&pin_enum))) return pins;
  ComPtr<IPin> pin;
  while (pin_enum->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT) pins.push_back(pin);
  }
  return pins;
}

}  // namespace

HRESULT TConsolePlayer::Open(const std::wstring& path) {
  Close();
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  if (FAILED(hr)) return hr;
  ComPtr<IBaseFilter> source;
  if (FAILED(hr = graph->AddSourceFilter(path.c_str(), L"Source", &source))) return hr;

  HRESULT render_hr = VFW_E_CANNOT_RENDER;
  bool rendered = false;
  for (const auto& pin : OutputPins(source.Get())) {
    const HRESULT pin_hr = graph->Render(pin.Get());
    if (SUCCEEDED(pin_hr)) rendered = true;
    else render_hr = pin_hr;
  }
  if (!rendered) return render_hr;

  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEvent> events;
  if (FAILED(hr = graph.As(&control)) || FAILED(hr = graph.As(&seeking)) || FAILED(hr = graph.As(&events))) return hr;
  graph_ = std::move(graph);
  control_ = std::move(control);
  seeking_ = std::move(seeking);
  events_ = std::move(events);
  return S_OK;
}

void TConsolePlayer::Close() {
  if (control_) control_->Stop();
  events_.Reset();
  seeking_.Reset();
  control_.Reset();
  graph_.Reset();
}

HRESULT TConsolePlayer::Play() { return control_ ? control_->Run() : VFW_E_WRONG_STATE; }
HRESULT TConsolePlayer::Pause() { return control_ ? control_->Pause() : VFW_E_WRONG_STATE; }

HRESULT TConsolePlayer::Stop() {
  if (!control_) return VFW_E_WRONG_STATE;
  const HRESULT hr = control_->Stop();
  if (FAILED(hr)) return hr;
  // The graph keeps its position on Stop; a console "stop" starts over.
  LONGLONG start = 0;
  return seeking_->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

LONGLONG TConsolePlayer::Duration() const {
  LONGLONG duration = 0;
  if (!seeking_ || FAILED(seeking_->GetDuration(&duration))) return 0;
  return duration;
}

LONGLONG TConsolePlayer::Position() const {
  LONGLONG position = 0;
  if (!seeking_ || FAILED(seeking_->GetCurrentPosition(&position))) return 0;
  return position;
}

OAFilterState TConsolePlayer::State(DWORD timeoutMs) const {
  OAFilterState state = State_Stopped;
  if (control_) control_->GetState(timeoutMs, &state);
  return state;
}

bool TConsolePlayer::WaitForEnd(DWORD timeoutMs) {
  if (!events_) return false;
  long code = 0;
  const HRESULT hr = events_->WaitForCompletion(static_cast<long>(timeoutMs), &code);
  return hr == S_OK;
}

std::vector<std::wstring> TConsolePlayer::FilterNames() const {
  std::vector<std::wstring> names;
  ComPtr<IEnumFilters> filters;
  if (!graph_ || FAILED(graph_->EnumFilters(&filters))) return names;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    FILTER_INFO info{};
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
      names.emplace_back(info.achName);
      if (info.pGraph) info.pGraph->Release();
    }
  }
  return names;
}

}  // namespace qvr::app
