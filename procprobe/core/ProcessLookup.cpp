#include "procprobe/core/ProcessLookup.h"

#include <algorithm>

namespace qvr::procprobe {

bool ListAllProcessIds(ProcessTable& table, std::vector<uint32_t>* ids) {
  // A fixed list cut the tail off on busy machines, and the program sought was then reported as
  // not running. A call that fills the buffer exactly may have been cut short, so it grows too.
  size_t capacity = kInitialProcessIds;
  for (;;) {
    ids->resize(capacity);
    size_t written = 0;
    if (!table.ListIds(ids->data(), capacity, &written)) {
      ids->clear();
      return false;
    }
    if (written < capacity || capacity >= kMaxProcessIds) {
      ids->resize(std::min(written, capacity));
      return true;
    }
    capacity *= 2;
  }
}

std::string_view FileNamePart(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

uint32_t LookupProcess(ProcessTable& table, const char* name) {
  if (name == nullptr) return 0;
  const std::string_view wanted(name);
  std::vector<uint32_t> ids;
  if (!ListAllProcessIds(table, &ids)) return 0;
  std::string text;
  for (const uint32_t id : ids) {
    switch (table.BaseName(id, &text)) {
      case ProcessTable::NameRead::kRead:
        if (text == wanted) return id;
        break;
      case ProcessTable::NameRead::kUnreadable:
        // 32-bit code cannot read a 64-bit process's module list; the image path it can read.
        if (table.ImagePath(id, &text) && FileNamePart(text) == wanted) return id;
        break;
      case ProcessTable::NameRead::kUnopenable:
        break;
    }
  }
  return 0;
}

}  // namespace qvr::procprobe
