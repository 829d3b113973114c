// The playlist: the ordered rows of media paths, their selection, the focused row and the
// now-playing entry, with the operations the playlist window (TfrmQVRPlayList, unit uPlaylist)
// and the main window call, and the .m3u reader and writer.
//
// Ownership and threading: the playlist window owns one TPlayList and hands it an IPlayListView
// (itself) for the notices below; the file system seam is borrowed and must outlive the list.
// Everything runs on the user-interface thread. The list never plays anything: PlayItem raises
// OnPlay, and the main window reports back through SetNowPlaying, possibly from inside OnPlay.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "player/ui/core/FileSystem.h"

namespace qvr::ui {

// One row's record, owned by the list and freed with its row.
struct TPlayListItem {
  std::string Title;         // file name without folder and last extension
  std::string FileName;      // the path as added: the row's text and its playlist-file line
  int32_t Duration = 0;      // whole seconds; 0 until the main window reports it
  std::string DurationText;  // FormatDuration(Duration); empty until reported
};

// "mm:ss" below one hour, "hh:mm:ss" from one hour on, two-digit zero-padded fields.
std::string FormatDuration(int32_t seconds);

// The name after the last "\", "/" or ":", without its last "." and what follows.
std::string TitleFromPath(std::string_view path);

// The file SavePlaylist writes for `path`: ".m3u" appended to a name without extension, any
// other extension replaced by it.
std::string PlaylistFileName(std::string_view path);

// The lines of a playlist's text: a leading UTF-8 byte-order mark is skipped, a NUL ends the text,
// CR, LF and CR LF end lines. Empty lines are left out. The views point into `text`.
std::vector<std::string_view> SplitPlaylistText(std::string_view text);

// The path a "file:" URI line names, percent-decoded as UTF-8 ("file:///C:/My%20Music/a.mp3" is
// "C:\My Music\a.mp3"): a drive ("/C:" or "/C|") or a server ("file://server/share/a.mp3" is
// "\\server\share\a.mp3") gives the Windows form with backslashes, any other path
// ("file:///home/a.mp3") stands as it is; an empty host and "localhost" are this machine. Empty
// for every other line, and for a URI whose decoded path holds a NUL or is not UTF-8, since
// such a path would name another file than the URI does.
std::string PathFromFileUri(std::string_view line);

// How a playlist file's bytes are read: by its byte-order mark, and without one in the system
// code page, as this program and others have always written them.
enum class TPlaylistEncoding { SystemCodePage, Utf8, Utf16Le };
TPlaylistEncoding PlaylistEncodingOf(std::string_view bytes);

// A playlist file's bytes as UTF-8 text, the byte-order mark left out. Ill-formed UTF-8 and
// UTF-16 (unpaired surrogates, an odd last byte) become U+FFFD, so such a line names no file.
std::string DecodePlaylistFile(std::string_view bytes, const ITextCodePage& systemCodePage);

// The bytes of a playlist file holding UTF-8 `text`: in the system code page when every
// character fits it, byte for byte what older copies wrote and other programs read; otherwise
// (or when those bytes would begin like a byte-order mark) UTF-8 behind a byte-order mark,
// which other players read.
std::string EncodePlaylistFile(std::string_view text, const ITextCodePage& systemCodePage);

// What the list needs from the window that shows it. Called from inside the list's operations;
// the view may read the list but must not change it from these calls.
class IPlayListView {
 public:
  virtual ~IPlayListView() = default;
  virtual void RowsChanged() = 0;              // rows added, removed or reordered: recount, repaint
  virtual void RepaintRow(int index) = 0;      // one row's look changed; 0 <= index < RowCount()
  virtual void RepaintAllRows() = 0;           // the selection or the now-playing mark changed
  virtual void SetHasRows(bool hasRows) = 0;   // row height 19 pixels with rows, 1 without
  virtual void ResetDropTarget() = 0;          // the drag-and-drop target mark is stale
  virtual void CaptureDockState() = 0;         // an entry is about to start: DockedAtPlay := Docked
  virtual void RedockAfterPlay() = 0;          // the entry was opened: re-dock if DockedAtPlay
};

class TPlayList {
 public:
  // The main window opens and plays `path`; the list always passes flag 0.
  using TPlayEvent = std::function<void(const std::string& path, uint8_t flag)>;

  explicit TPlayList(IFileSystem& fileSystem);
  TPlayList(const TPlayList&) = delete;
  TPlayList& operator=(const TPlayList&) = delete;

  void SetView(IPlayListView* view);  // nullptr: nobody to tell
  TPlayEvent OnPlay;

  int RowCount() const { return static_cast<int>(FRows.size()); }
  const TPlayListItem& Item(int index) const { return FRows.at(static_cast<size_t>(index)).Item; }
  bool IsSelected(int index) const { return FRows.at(static_cast<size_t>(index)).Selected; }
  int SelectedCount() const;
  int FocusedRow() const { return FFocusedRow; }
  // Row of the now-playing entry, re-derived from CurrentFile after every add, move and removal
  // (-1: not in the list). An emptied list keeps both until the next re-derivation.
  int CurrentIndex() const { return FCurrentIndex; }
  const std::string& CurrentFile() const { return FCurrentFile; }

  // Selection and focus as the window's mouse, keys and menus change them. Out-of-range rows
  // are ignored (SetFocusedRow: -1 means none).
  void SetFocusedRow(int index);
  void SetSelected(int index, bool selected);
  void SelectAll();
  void SelectNone();
  void InvertSelection();
  // Exactly row `index` selected (nothing for an index out of range); clears the drop target.
  void SelectOnly(int index);

  // Appends `path` unless a row has it already (letter case ignored). No mask test.
  void AddFile(const std::string& path);
  // A folder is scanned; a file is added when it matches the media mask list.
  void AddPath(const std::string& path);
  // Depth first in the file system's order; media files only, hidden ones too; no sorting.
  void ScanFolder(const std::string& folder);
  // All rows or the selected ones, moving their files to the recycle bin first when asked (a
  // failure still removes the row). Afterwards the row at the first removed index (or the new last row)
  // is selected. No confirmation.
  void RemoveItems(bool all, bool deleteFiles);
  // Rows whose file no longer exists.
  void RemoveDeadFiles();
  // Takes row `from` out and inserts it at `to`; `to` becomes the focused and only selected
  // row. Indices out of range, or from == to, change nothing.
  void MoveRow(int from, int to);

  // Makes row `index` the now-playing one and raises OnPlay; ignored out of range.
  void PlayItem(int index);
  void PlayNext();      // the row after CurrentIndex, wrapping to row 0
  void PlayPrevious();  // the row before CurrentIndex, wrapping to the last row
  // The main window opened `path` (appended if absent) lasting `seconds`.
  void SetNowPlaying(const std::string& path, int32_t seconds);

  // Reads the file, then replaces the list with every line naming an existing media file. A
  // "file:" URI line names the file PathFromFileUri says. A relative line that names no file as
  // it stands (from the current folder) is taken from the playlist file's folder, and its row
  // holds the full path. Existence is checked once per distinct line. A read error is returned
  // with the list untouched.
  std::error_code LoadPlaylist(const std::string& path);
  // Writes every row's FileName, CR LF after each, to PlaylistFileName(path) as
  // EncodePlaylistFile does, replacing that file atomically: on failure the previous file is left
  // whole and the error returned.
  std::error_code SavePlaylist(const std::string& path);
  // The text SavePlaylist writes, in UTF-8.
  std::string PlaylistText() const;

 private:
  struct TRow {
    TPlayListItem Item;
    std::string Key;  // IFileSystem::PathKey(Item.FileName)
    bool Selected = false;
  };

  int FindRow(const std::string& key) const;
  void SetCurrentFile(const std::string& path);
  void RederiveCurrentIndex();
  // Drops the rows `remove` says yes to, keeping the focused row on its row.
  template <typename Predicate>
  int RemoveRowsIf(Predicate remove);
  void RepaintRow(int index);

  IFileSystem& FFileSystem;
  IPlayListView* FView = nullptr;
  std::vector<TRow> FRows;
  std::unordered_set<std::string> FKeys;  // every row's Key: rows are unique by key
  int FFocusedRow = -1;
  int FCurrentIndex = -1;
  std::string FCurrentFile;
  std::string FCurrentKey;
};

}  // namespace qvr::ui
