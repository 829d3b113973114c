// A minimal DirectShow player for the console: one filter graph per opened file, built with the
// system's AddSourceFilter and Render. It stands in for the engine until the engine exists.
// Single-threaded apartment, caller's thread only.
#pragma once

#include "common/win/DirectShow.h"
#include <wrl/client.h>

#include <string>
#include <vector>

namespace qvr::app {

class TConsolePlayer {
 public:
  TConsolePlayer() = default;
  TConsolePlayer(const TConsolePlayer&) = delete;
  TConsolePlayer& operator=(const TConsolePlayer&) = delete;
  ~TConsolePlayer() { Close(); }

  // Builds a new graph for the file; the previous one is closed first. S_OK when at least one
  // output pin of the source was rendered; the failing step's HRESULT otherwise (state unchanged).
  HRESULT Open(const std::wstring& path);
  void Close();
  bool IsOpen() const { return graph_ != nullptr; }

  HRESULT Play();
  HRESULT Pause();
  HRESULT Stop();  // also rewinds to the start

  // Reference time (100 ns units); 0 without a graph.
  LONGLONG Duration() const;
  LONGLONG Position() const;
  // State_Stopped, State_Paused or State_Running, waiting up to `timeoutMs` for a transition.
  OAFilterState State(DWORD timeoutMs = 0) const;
  // True once EC_COMPLETE arrived (or the graph aborted), within `timeoutMs`.
  bool WaitForEnd(DWORD timeoutMs);

  std::vector<std::wstring> FilterNames() const;

 private:
  Microsoft::WRL::ComPtr<IGraphBuilder> graph_;
  Microsoft::WRL::ComPtr<IMediaControl> control_;
  Microsoft::WRL::ComPtr<IMediaSeeking> seeking_;
  Microsoft::WRL::ComPtr<IMediaEvent> events_;
};

}  // namespace qvr::app
