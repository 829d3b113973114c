// The once-per-run update check: a worker thread asks the update server, downloads the installer
// it names into the download folder, checks the installer's signature and posts UpdateDone to
// the main window; the main window's handler records the installer for the next start, which
// offers it (player/app/Startup.h).
//
// Threads: StartUpdateCheck and HandleUpdateDone run on the UI thread; between them only the
// worker touches the record. The worker's one contact with the window is the posted message.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "player/app/Authenticode.h"

namespace qvr::app {

struct THTTPREC {
  std::string URL;
  std::string Path;  // the download folder; after a recorded download, the installer's full path
  HANDLE Thread = nullptr;
  HWND Window = nullptr;
  TSignerPin Signer;        // who must have signed the installer
  bool Downloaded = false;  // set by the worker: the whole installer arrived and is signed
};

// The record of this run's check.
THTTPREC& UpdateRecord();

// The temporary folder in its full long form (through the shell's desktop folder: parse, then
// back to a path), with a trailing backslash.
std::string DownloadFolder();

// The trimmed body of an HTTP GET of `url`; empty on any failure.
std::string HttpGetAnswer(const std::string& url);

// Downloads `url` to `path`: into a temporary file of the same folder first, renamed to `path`
// only when the transfer really ended (status 200, the whole Content-Length, the last read
// returning 0 bytes) and the file is signed as `signer` asks. Otherwise nothing is left. True
// when `path` holds the installer.
bool DownloadInstaller(const std::string& url, const std::string& path, const TSignerPin& signer);

// The worker's body (also callable on its own): the question, the download, UpdateDone to
// record.Window with lParam 1 for a non-empty answer, else 0.
DWORD WINAPI UpdateCheck(void* record);

// Clears the record, fills it (URL, Window, Path := download folder, the signer), starts the
// worker and keeps its handle. False when the thread could not start.
bool StartUpdateCheck(THTTPREC& record, const std::string& url, HWND window, const std::string& downloadFolder,
                      const TSignerPin& signer);

// UpdateDone: closes the worker's handle; for lParam > 0 and a recorded download whose file
// exists writes "-run" and "-del"; otherwise clears the record.
void HandleUpdateDone(THTTPREC& record, LPARAM lparam);

}  // namespace qvr::app
