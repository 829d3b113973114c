// The connector's console lines go to the standard output handle of the browser process as they
// are, whatever CRT the browser uses, and from any thread.
#pragma once

#include <windows.h>

#include <string_view>

namespace qvr::connector {

inline void WriteStdOut(std::string_view text) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;  // a browser without a console
  DWORD written = 0;
  ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace qvr::connector
