// The m3u writer, then the reader: arbitrary names (one per input line) become rows, the list is
// saved and loaded again, and the same rows in the same order must come back, in whichever
// encoding the writer chose. Names the player can never hold as a row of a saved list are left
// out: line ends and NUL inside a name, ill-formed UTF-8 (the player's text comes from UTF-16),
// non-media names, and "file:" URIs, which the reader turns into paths on purpose.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/core/Utf.h"
#include "player/ui/core/MediaMask.h"
#include "player/ui/core/PlayList.h"
#include "player/ui/fuzz/MemoryFileSystem.h"

namespace {

using namespace qvr::ui;
using fuzzing::TMemoryFileSystem;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool CanBeARow(std::string_view name) {
  return !name.empty() && name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
         qvr::IsValidUtf8(name) && MatchesMaskList(name, MediaMaskList) && PathFromFileUri(name).empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  TMemoryFileSystem files;
  TPlayList list(files);
  while (!input.empty()) {
    const size_t end = std::min(input.find('\n'), input.size());
    const std::string_view name = input.substr(0, end);
    input.remove_prefix(std::min(end + 1, input.size()));
    // A first name beginning with the mark's bytes would read back as a marked file.
    if (CanBeARow(name) && !(list.RowCount() == 0 && name.starts_with("\xEF\xBB\xBF"))) list.AddFile(std::string(name));
  }
  Check(!list.SavePlaylist("C:\\lists\\out"));
  files.Text = files.Saved;
  TPlayList again(files);
  Check(!again.LoadPlaylist("C:\\lists\\out.m3u"));
  Check(again.RowCount() == list.RowCount());
  for (int i = 0; i < list.RowCount(); ++i) Check(again.Item(i).FileName == list.Item(i).FileName);
  return 0;
}
