// Loading a large playlist against only reading and splitting it, interleaved in one run, on the
// real file system (under Wine: its Windows file system). The list names 1,000 files, each on 100
// lines in mixed letter case. Prints both medians and their ratio; it is no test. Google
// Benchmark is built natively only, so this is a small timing program of ours.
//
//   playlist_load_bench.exe [repetitions]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/ui/Win32FileSystem.h"
#include "player/ui/core/PlayList.h"

namespace {

using namespace qvr::ui;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Copy `copy` of a name: as on disk, upper case or lower case, so that the keys must fold.
std::string Spelling(const std::string& name, int copy) {
  std::string text = name;
  for (char& c : text) {
    if (copy % 3 == 1 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (copy % 3 == 2 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
  TWin32FileSystem files;
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::string dir = qvr::WideToUtf8(temp) + "qvr-playlist-bench";
  ::CreateDirectoryW(qvr::Utf8ToWide(dir).c_str(), nullptr);
  std::vector<std::string> names;
  for (int i = 0; i < 1000; ++i) {
    names.push_back(dir + "\\Track " + std::to_string(i) + " Artist.Mp3");
    if (files.WriteFileAtomically(names.back(), "")) return std::fprintf(stderr, "cannot write %s\n", names.back().c_str()), 1;
  }
  std::string text;
  for (int copy = 0; copy < 100; ++copy)
    for (const std::string& name : names) text += Spelling(name, copy) + "\r\n";
  const std::string list = dir + "\\bench.m3u";
  if (files.WriteFileAtomically(list, text)) return std::fprintf(stderr, "cannot write the list\n"), 1;

  using Clock = std::chrono::steady_clock;
  std::vector<double> load, split;
  size_t lines = 0;
  int rows = 0;
  for (int r = 0; r < repetitions; ++r) {
    auto start = Clock::now();
    std::string bytes;
    files.ReadWholeFile(list, bytes);
    lines = SplitPlaylistText(DecodePlaylistFile(bytes, files.SystemCodePage())).size();
    split.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

    start = Clock::now();
    TPlayList playlist(files);
    playlist.LoadPlaylist(list);
    rows = playlist.RowCount();
    load.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::printf("lines %zu, rows %d, repetitions %d\n", lines, rows, repetitions);
  std::printf("read and split: median %.2f ms\n", Median(split));
  std::printf("load:           median %.2f ms\n", Median(load));
  std::printf("ratio load / read-and-split: %.2f (goal <= 3)\n", Median(load) / Median(split));
  for (const std::string& name : names) files.RemoveFile(name);
  files.RemoveFile(list);
  ::RemoveDirectoryW(qvr::Utf8ToWide(dir).c_str());
  return rows == 1000 ? 0 : 2;
}
