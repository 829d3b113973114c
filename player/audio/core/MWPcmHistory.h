// The audio filter's PCM history: the last four seconds of the PCM it delivered, so that a client
// can fetch the samples being heard now (IMWAudioFilterInterface::GetPCMData).
//
// A ring of four seconds of whole frames, with the first window's worth of bytes mirrored behind
// its end, so that a window read from any position of the ring is contiguous. The ring knows the
// media time of its oldest byte (capture start), which lets a stream time be turned into a
// position.
//
// Threading: every member takes the history's own lock, a leaf lock (nothing else is locked
// while it is held), so the streaming thread (Append, under the filter's receive lock) and the
// control threads (Lookup under the filter lock, Reset from Stop and BeginFlush) may call in
// at any time. The pointer Lookup gives stays valid until the next Prepare with another format
// or the history's destruction; the bytes behind it are overwritten by later appends.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/audio/core/MWAudioFormat.h"

namespace qvr::audio {

class TMWPcmHistory {
 public:
  static constexpr int64_t kUnset = -1;       // capture start before the first buffer after a reset
  static constexpr int kSeconds = 4;          // the ring's length
  static constexpr int kWindowFrames = 65536; // spare room behind the ring, twice
  static constexpr int kReadFrames = 16384;   // what a lookup hands out

  TMWPcmHistory() = default;
  TMWPcmHistory(const TMWPcmHistory&) = delete;
  TMWPcmHistory& operator=(const TMWPcmHistory&) = delete;

  // Capture on/off (on at creation). Off: Append keeps nothing and Lookup finds nothing.
  void SetEnabled(bool on) { FEnabled.store(on, std::memory_order_relaxed); }
  bool Enabled() const { return FEnabled.load(std::memory_order_relaxed); }

  // At the start of streaming and at a format change: empties the ring and sets capture start to
  // 0. A format other than the one the ring was sized for re-sizes it (zero-filled).
  // Pass-through formats keep no history. Allocation failure leaves no buffer.
  void Prepare(const TMWAudioFormat& format);
  // Empties the ring and unsets capture start (flush, format change).
  void Reset();
  // Empties the ring, keeping capture start (Stop).
  void Clear();

  // Media time of the oldest byte kept, kUnset when not known yet.
  int64_t CaptureStart() const;
  // 100-ns units per byte of the current format (0 before Prepare).
  double BytesToTime() const;
  // Step 4 of the filter's Transform, under one lock: when capture start is unset or later than
  // sampleStart, it becomes sampleStart for the first sample after a connection (firstSample is
  // then cleared), else sampleStart - lastDuration.
  void NoteSampleStart(int64_t sampleStart, bool& firstSample, int64_t lastDuration);

  // Keeps a copy of the delivered bytes; capture start follows the oldest byte kept.
  void Append(const uint8_t* data, size_t length);

  // The bytes whose media time is t, kReadFrames frames of them (the tail of the read may hold
  // older or not-yet-written bytes). False when there is no such byte.
  bool Lookup(int64_t t, const uint8_t** data, int32_t* length) const;

  // End of stream at stream time `streamTime`: nothing is handed out from streamTime + capture
  // start + 2·lastDuration on (until ClearEndOfStream).
  void MarkEndOfStream(int64_t streamTime, int64_t lastDuration);
  void ClearEndOfStream();
  // True when an end of stream was seen and t is at or past its time.
  bool PastEndOfStream(int64_t t) const;

  bool HasBuffer() const;

  // For tests: the ring's byte count when full, and the bytes it holds.
  size_t Capacity() const;
  size_t Stored() const;

 private:
  void ResetLocked(int64_t captureStart);
  void WriteLocked(const uint8_t* data, size_t length);

  mutable std::mutex FLock;
  std::atomic<bool> FEnabled{true};
  std::vector<uint8_t> FBuffer;  // FCapacity + 2 windows
  TMWAudioFormat FFormat{};      // the format the buffer was sized for
  bool FSized = false;
  bool FPassThrough = false;
  size_t FCapacity = 0;    // ring length, whole frames
  size_t FMirror = 0;      // bytes mirrored behind the ring: one read
  size_t FBlockAlign = 0;
  double FBytesToTime = 0;
  size_t FStored = 0;      // bytes in the ring, up to FCapacity
  size_t FWrite = 0;       // where the next byte goes; the oldest byte once the ring is full
  int64_t FCaptureStart = 0;
  bool FEosSeen = false;
  int64_t FEosTime = 0;
};

}  // namespace qvr::audio
