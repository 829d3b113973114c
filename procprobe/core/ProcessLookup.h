// The lookup behind ProcProbe_Lookup, over a seam that stands for the process status interface,
// so that its policies (list growth, name fallback, byte-for-byte comparison) run in a test
// without a process table of the required shape. No state; callable from any thread as long as
// the ProcessTable given is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::procprobe {

// What the system tells about the running processes. The Win32 adapter forwards to
// EnumProcesses, OpenProcess, GetModuleBaseNameA and QueryFullProcessImageNameA.
class ProcessTable {
 public:
  enum class NameRead {
    kRead,        // `name` holds the main module's base name
    kUnreadable,  // the process opened but its module name could not be read
    kUnopenable,  // the process could not be opened: it is skipped
  };

  virtual ~ProcessTable() = default;
  // As EnumProcesses: writes at most `capacity` identifiers and reports how many it wrote.
  // A full buffer means the list may have been cut short. False when the list is unavailable.
  virtual bool ListIds(uint32_t* ids, size_t capacity, size_t* written) = 0;
  // The base name of the process's main module (opened for query and memory read).
  virtual NameRead BaseName(uint32_t id, std::string* name) = 0;
  // The full path of the process's image (opened for limited query only); false if unknown.
  virtual bool ImagePath(uint32_t id, std::string* path) = 0;
};

// The list starts with room for this many identifiers and doubles until a call leaves room to
// spare; at kMaxProcessIds the identifiers returned are examined as they are.
inline constexpr size_t kInitialProcessIds = 1024;
inline constexpr size_t kMaxProcessIds = size_t{1} << 20;

// All identifiers of the running processes, in the order the system lists them; false when the
// list cannot be obtained.
bool ListAllProcessIds(ProcessTable& table, std::vector<uint32_t>* ids);

// The file-name part of a path: what follows its last "\" or "/".
std::string_view FileNamePart(std::string_view path);

// The identifier of the first listed process whose main module is called `name` (byte for byte,
// letter case significant); 0 if none, if `name` is null or if the list is unavailable.
// A process whose base name cannot be read (a 64-bit process seen from 32-bit code) is matched
// by the file-name part of its image path instead.
uint32_t LookupProcess(ProcessTable& table, const char* name);

}  // namespace qvr::procprobe
