#include "player/ui/core/PlayList.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/core/Utf.h"
#include "player/ui/core/MediaMask.h"

namespace qvr::ui {
namespace {

class TNoView final : public IPlayListView {
 public:
  void RowsChanged() override {}
  void RepaintRow(int) override {}
  void RepaintAllRows() override {}
  void SetHasRows(bool) override {}
  void ResetDropTarget() override {}
  void CaptureDockState() override {}
  void RedockAfterPlay() override {}
};
TNoView NoView;

constexpr std::string_view kNameSeparators = "\\/:";

size_t NameStart(std::string_view path) {
  const size_t sep = path.find_last_of(kNameSeparators);
  return sep == std::string_view::npos ? 0 : sep + 1;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::string FormatDuration(int32_t seconds) {
  const int32_t hours = seconds / 3600;
  const int32_t rest = seconds % 3600;
  char text[40];
  if (hours > 0)
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", static_cast<int>(hours), static_cast<int>(rest / 60),
                  static_cast<int>(rest % 60));
  else
    std::snprintf(text, sizeof text, "%.2d:%.2d", static_cast<int>(rest / 60), static_cast<int>(rest % 60));
  return text;
}

std::string TitleFromPath(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string PlaylistFileName(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(path)) return std::string(path) + ".m3u";
  if (EqualsIgnoringAsciiCase(path.substr(dot), ".m3u")) return std::string(path);
  return std::string(path.substr(0, dot)) + ".m3u";
}

std::vector<std::string_view> SplitPlaylistText(std::string_view text) {
  // Other players write UTF-8 with a byte-order mark; left in place it would spoil the first line.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  text = text.substr(0, text.find('\0'));
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (i > start) lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
}  // namespace

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" escapes become their bytes; a "%" without two hex digits after it stands as it is, as
// browsers read it.
std::string PercentDecoded(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low < 0) {
      bytes += text[i];
      continue;
    }
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return bytes;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string PathFromFileUri(std::string_view line) {
  constexpr std::string_view kScheme = "file://";
  if (line.size() < kScheme.size() || !EqualsIgnoringAsciiCase(line.substr(0, kScheme.size()), kScheme)) return {};
  line.remove_prefix(kScheme.size());
  const size_t pathStart = std::min(line.find('/'), line.size());
  std::string host = PercentDecoded(line.substr(0, pathStart));
  std::string path = PercentDecoded(line.substr(pathStart));
  if (EqualsIgnoringAsciiCase(host, "localhost")) host.clear();
  if (path.find('\0') != std::string::npos || host.find('\0') != std::string::npos || !IsValidUtf8(path) ||
      !IsValidUtf8(host))
    return {};
  const bool drive = host.empty() && path.size() >= 3 && path[0] == '/' && IsAsciiLetter(path[1]) &&
                     (path[2] == ':' || path[2] == '|') && (path.size() == 3 || path[3] == '/');
  if (drive) {
    path.erase(0, 1);
    path[1] = ':';
  } else if (!host.empty()) {
    path.insert(0, "//" + host);
  } else {
    return path.empty() ? std::string() : path;
  }
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

TPlaylistEncoding PlaylistEncodingOf(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return TPlaylistEncoding::Utf8;
  if (bytes.starts_with(kUtf16LeBom)) return TPlaylistEncoding::Utf16Le;
  return TPlaylistEncoding::SystemCodePage;
}

std::string DecodePlaylistFile(std::string_view bytes, const ITextCodePage& systemCodePage) {
  switch (PlaylistEncodingOf(bytes)) {
    case TPlaylistEncoding::Utf8:
      return SanitizeUtf8(bytes.substr(kUtf8Bom.size()));
    case TPlaylistEncoding::Utf16Le: {
      bytes.remove_prefix(kUtf16LeBom.size());
      std::u16string units(bytes.size() / 2, u'\0');
      for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
      std::string text = Utf16ToUtf8(units);
      if (bytes.size() % 2) AppendUtf8(text, kReplacementCharacter);  // half a code unit
      return text;
    }
    case TPlaylistEncoding::SystemCodePage:
      break;
  }
  // A NUL ends the text: cut before converting, so that no code page sees what follows.
  return systemCodePage.ToUtf8(bytes.substr(0, bytes.find('\0')));
}

std::string EncodePlaylistFile(std::string_view text, const ITextCodePage& systemCodePage) {
  std::string bytes;
  // Code-page bytes that begin like a byte-order mark ("\xFF\xFE" is "\u00FF\u00FE" in Latin-1
  // and code page 1252) would read back in the wrong encoding.
  if (systemCodePage.FromUtf8(text, bytes) && PlaylistEncodingOf(bytes) == TPlaylistEncoding::SystemCodePage)
    return bytes;
  bytes.assign(kUtf8Bom);
  bytes += SanitizeUtf8(text);
  return bytes;
}

TPlayList::TPlayList(IFileSystem& fileSystem) : FFileSystem(fileSystem), FView(&NoView) {}

void TPlayList::SetView(IPlayListView* view) { FView = view ? view : &NoView; }

int TPlayList::SelectedCount() const {
  return static_cast<int>(std::count_if(FRows.begin(), FRows.end(), [](const TRow& row) { return row.Selected; }));
}

void TPlayList::SetFocusedRow(int index) {
  if (index < -1 || index >= RowCount()) return;
  FFocusedRow = index;
  FView->RepaintAllRows();
}

void TPlayList::SetSelected(int index, bool selected) {
  if (index < 0 || index >= RowCount()) return;
  FRows[static_cast<size_t>(index)].Selected = selected;
  FView->RepaintRow(index);
}

void TPlayList::SelectAll() {
  for (TRow& row : FRows) row.Selected = true;
  FView->RepaintAllRows();
}

void TPlayList::SelectNone() {
  for (TRow& row : FRows) row.Selected = false;
  FView->RepaintAllRows();
}

void TPlayList::InvertSelection() {
  for (TRow& row : FRows) row.Selected = !row.Selected;
  FView->RepaintAllRows();
}

void TPlayList::SelectOnly(int index) {
  FView->ResetDropTarget();
  for (size_t i = 0; i < FRows.size(); ++i) FRows[i].Selected = static_cast<int>(i) == index;
  FView->RepaintAllRows();
}

int TPlayList::FindRow(const std::string& key) const {
  if (!FKeys.contains(key)) return -1;
  for (size_t i = 0; i < FRows.size(); ++i)
    if (FRows[i].Key == key) return static_cast<int>(i);
  return -1;
}

void TPlayList::SetCurrentFile(const std::string& path) {
  FCurrentFile = path;
  FCurrentKey = FFileSystem.PathKey(path);
}

void TPlayList::RederiveCurrentIndex() {
  // Rows are unique by key, so a current index that still holds the key is the answer.
  if (FCurrentIndex >= 0 && FCurrentIndex < RowCount() && FKeys.contains(FCurrentKey) &&
      FRows[static_cast<size_t>(FCurrentIndex)].Key == FCurrentKey)
    return;
  FCurrentIndex = FindRow(FCurrentKey);
}

void TPlayList::RepaintRow(int index) {
  if (index >= 0 && index < RowCount()) FView->RepaintRow(index);
}

void TPlayList::AddFile(const std::string& path) {
  std::string key = FFileSystem.PathKey(path);
  if (FKeys.contains(key)) return;
  FView->SetHasRows(true);
  TRow row;
  row.Item.Title = TitleFromPath(path);
  row.Item.FileName = path;
  row.Key = key;
  FRows.push_back(std::move(row));
  FKeys.insert(std::move(key));
  FView->RowsChanged();
  const int old = FCurrentIndex;
  RederiveCurrentIndex();
  RepaintRow(old);
  if (FCurrentIndex != old) RepaintRow(FCurrentIndex);
}

void TPlayList::AddPath(const std::string& path) {
  if (FFileSystem.DirectoryExists(path))
    ScanFolder(path);
  else if (MatchesMaskList(path, MediaMaskList))
    AddFile(path);
}

void TPlayList::ScanFolder(const std::string& folder) {
  for (const TFolderEntry& entry : FFileSystem.ListFolder(folder)) {
    if (entry.Name == "." || entry.Name == "..") continue;
    if (entry.IsDirectory)
      ScanFolder(FFileSystem.JoinPath(folder, entry.Name));
    else if (MatchesMaskList(entry.Name, MediaMaskList))
      AddFile(FFileSystem.JoinPath(folder, entry.Name));
  }
}

template <typename Predicate>
int TPlayList::RemoveRowsIf(Predicate remove) {
  int firstRemoved = -1;
  int focused = FFocusedRow;
  size_t kept = 0;
  for (size_t i = 0; i < FRows.size(); ++i) {
    TRow& row = FRows[i];
    if (!remove(row)) {
      if (kept != i) FRows[kept] = std::move(row);
      ++kept;
      continue;
    }
    const int index = static_cast<int>(i);
    if (firstRemoved < 0) firstRemoved = index;
    if (index == FFocusedRow)
      focused = -1;
    else if (index < FFocusedRow && focused > 0)
      --focused;
    FKeys.erase(row.Key);
  }
  FRows.resize(kept);
  FFocusedRow = focused;
  if (firstRemoved >= 0) {
    FView->RowsChanged();
    if (FRows.empty()) FView->SetHasRows(false);
  }
  return firstRemoved;
}

void TPlayList::RemoveItems(bool all, bool deleteFiles) {
  const int firstRemoved = RemoveRowsIf([&](const TRow& row) {
    if (!all && !row.Selected) return false;
    if (deleteFiles) FFileSystem.RecycleFile(row.Item.FileName);  // a failure still removes the row
    return true;
  });
  if (!all && !FRows.empty() && firstRemoved >= 0) {
    const int select = std::min(firstRemoved, RowCount() - 1);
    SelectOnly(select);
    if (FFocusedRow < 0) FFocusedRow = select;
  }
  if (all) FView->SetHasRows(false);
  if (!FRows.empty()) RederiveCurrentIndex();
}

void TPlayList::RemoveDeadFiles() {
  RemoveRowsIf([&](const TRow& row) { return !FFileSystem.FileExists(row.Item.FileName); });
  if (!FRows.empty()) RederiveCurrentIndex();
}

void TPlayList::MoveRow(int from, int to) {
  const int count = RowCount();
  if (from < 0 || from >= count || to < 0 || to >= count || from == to) return;
  TRow row = std::move(FRows[static_cast<size_t>(from)]);
  FRows.erase(FRows.begin() + from);
  FRows.insert(FRows.begin() + to, std::move(row));
  for (TRow& r : FRows) r.Selected = false;
  FRows[static_cast<size_t>(to)].Selected = true;
  FFocusedRow = to;
  RederiveCurrentIndex();
  FView->RowsChanged();
}

void TPlayList::PlayItem(int index) {
  if (index < 0 || index >= RowCount()) return;
  FView->CaptureDockState();
  const int old = FCurrentIndex;
  FCurrentIndex = index;
  FFocusedRow = index;
  SelectOnly(index);
  RepaintRow(old);
  FView->RepaintAllRows();
  // A copy: the main window may change the list from inside OnPlay.
  const std::string path = FRows[static_cast<size_t>(index)].Item.FileName;
  if (OnPlay) OnPlay(path, 0);
  SetCurrentFile(path);
  const int before = FCurrentIndex;
  RederiveCurrentIndex();
  if (FCurrentIndex != before) FView->RepaintAllRows();
}

void TPlayList::PlayNext() {
  if (FRows.empty()) return;
  int next = FCurrentIndex + 1;
  if (next >= RowCount()) next = 0;
  PlayItem(next);
}

void TPlayList::PlayPrevious() {
  int previous = FCurrentIndex - 1;
  if (previous < 0) previous = RowCount() - 1;
  PlayItem(previous);
}

void TPlayList::SetNowPlaying(const std::string& path, int32_t seconds) {
  int index = FindRow(FFileSystem.PathKey(path));
  if (index < 0) {
    AddFile(path);
    index = RowCount() - 1;
  }
  TPlayListItem& item = FRows[static_cast<size_t>(index)].Item;
  item.Duration = seconds;
  item.DurationText = FormatDuration(seconds);
  const int old = FCurrentIndex;
  FCurrentIndex = index;
  SetCurrentFile(path);
  RepaintRow(index);
  if (old != index) RepaintRow(old);
  FView->RedockAfterPlay();
}

std::error_code TPlayList::LoadPlaylist(const std::string& path) {
  // Read before clearing: a file that cannot be read must not cost the user the list (the main
  // window would save the empty list over default.m3u at exit).
  std::string bytes;
  if (const std::error_code error = FFileSystem.ReadWholeFile(path, bytes)) return error;
  RemoveItems(true, false);
  const std::string text = DecodePlaylistFile(bytes, FFileSystem.SystemCodePage());
  // Keys of the lines decided so far. An existence check is a trip to the file system (about
  // 0.1 ms under Wine, against microseconds for the key), and lists name a file many times.
  // The same text again needs not even its key (which converts the path twice on Windows).
  std::unordered_set<std::string> decided;
  std::unordered_set<std::string_view> seenText;
  for (std::string_view view : SplitPlaylistText(text)) {
    if (!seenText.insert(view).second) continue;
    std::string line = PathFromFileUri(view);
    if (line.empty()) line = view;
    std::string key = FFileSystem.PathKey(line);
    if (FKeys.contains(key) || !decided.insert(std::move(key)).second) continue;
    if (!MatchesMaskList(line, MediaMaskList)) continue;
    if (FFileSystem.FileExists(line)) {
      AddFile(line);
      continue;
    }
    // Other programs write paths relative to the list's own folder.
    const std::string beside = FFileSystem.ResolveBesidePlaylist(path, line);
    if (!beside.empty() && FFileSystem.FileExists(beside)) AddFile(beside);
  }
  return {};
}

std::string TPlayList::PlaylistText() const {
  std::string text;
  for (const TRow& row : FRows) {
    text += row.Item.FileName;
    text += "\r\n";
  }
  return text;
}

std::error_code TPlayList::SavePlaylist(const std::string& path) {
  return FFileSystem.WriteFileAtomically(PlaylistFileName(path),
                                         EncodePlaylistFile(PlaylistText(), FFileSystem.SystemCodePage()));
}

}  // namespace qvr::ui
