// Arbitrary bytes as a playlist file (CR, LF, NUL, long lines, byte-order marks, broken UTF-8 and
// UTF-16): the reader must neither crash nor read out of bounds; every line it returns is a
// non-empty slice of the decoded text without line ends; loading keeps only unique media lines,
// and saving writes them back, in whichever encoding, so that reading the saved file gives the
// same rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>

#include "player/ui/core/MediaMask.h"
#include "player/ui/core/PlayList.h"
#include "player/ui/fuzz/MemoryFileSystem.h"

namespace {

using namespace qvr::ui;
using fuzzing::TMemoryFileSystem;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryFileSystem files;
  files.Text.assign(reinterpret_cast<const char*>(data), size);
  const std::string_view text = files.Text;

  const std::string decoded = DecodePlaylistFile(text, files.CodePage);
  const auto lines = SplitPlaylistText(decoded);
  for (std::string_view line : lines) {
    Check(!line.empty() && line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
    Check(line.data() >= decoded.data() && line.data() + line.size() <= decoded.data() + decoded.size());
  }

  TPlayList list(files);
  Check(!list.LoadPlaylist("in.m3u"));
  Check(list.RowCount() <= static_cast<int>(lines.size()));
  std::unordered_set<std::string> keys;
  for (int i = 0; i < list.RowCount(); ++i) {
    const std::string& name = list.Item(i).FileName;
    Check(MatchesMaskList(name, MediaMaskList));
    Check(keys.insert(files.PathKey(name)).second);
  }

  Check(!list.SavePlaylist("out"));
  // A first name that itself begins with the mark's bytes would lose them on the way back.
  if (list.RowCount() > 0 && list.Item(0).FileName.starts_with("\xEF\xBB\xBF")) return 0;
  files.Text = files.Saved;
  TPlayList again(files);
  Check(!again.LoadPlaylist("out.m3u"));
  Check(again.RowCount() == list.RowCount());
  for (int i = 0; i < list.RowCount(); ++i) Check(again.Item(i).FileName == list.Item(i).FileName);
  return 0;
}
