// Which stretch of the stream, between two flushes, a buffer belongs to: the rule that lets the
// equaliser's overlap and the PCM history start clear at every new position.
//
// A flush may begin while the streaming thread still works on a buffer from before it, so a
// flag set by the flush and taken by "the next Transform" can be taken by that old buffer,
// whose tail then leaks into the first buffer of the new position. Instead each flush opens a
// new epoch and each buffer carries the epoch it was admitted in: the history belongs to one
// epoch, and the first buffer of a later one clears it first.
//
// Ordering: the flushing thread makes the pin refuse buffers (its flushing flag) and then calls
// Begin; the streaming thread calls Admit and then checks that flag. A buffer that sees a new
// epoch was therefore admitted after the flush began and was refused unless the flush had
// ended, so only buffers of the new position carry it. All operations are sequentially
// consistent atomics: no lock, nothing waits.
#pragma once

#include <atomic>
#include <cstdint>

namespace qvr::audio {

class TMWFlushEpoch {
 public:
  // The flushing thread, once the pin refuses new buffers.
  void Begin() { FEpoch.fetch_add(1); }
  // The streaming thread, before it checks whether the pin is flushing: the buffer's epoch.
  uint32_t Admit() const { return FEpoch.load(); }
  // The streaming thread, for a buffer admitted in `epoch`: true for the first buffer of an epoch
  // later than the history's, which must then be cleared.
  bool StartsNewEpoch(uint32_t epoch) {
    if (epoch == FHistoryEpoch) return false;
    FHistoryEpoch = epoch;
    return true;
  }

 private:
  std::atomic<uint32_t> FEpoch{0};
  uint32_t FHistoryEpoch = 0;  // the streaming thread's own
};

}  // namespace qvr::audio
