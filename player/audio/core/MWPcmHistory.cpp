#include "player/audio/core/MWPcmHistory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qvr::audio {
namespace {

// The fields that size the ring: everything but DataLength.
bool SameShape(const TMWAudioFormat& a, const TMWAudioFormat& b) {
  return a.SampleRate == b.SampleRate && a.Channels == b.Channels && a.BitsPerSample == b.BitsPerSample &&
         a.IsFloat == b.IsFloat && a.IsSPDIF == b.IsSPDIF && a.IsDTS == b.IsDTS;
}

}  // namespace

void TMWPcmHistory::Prepare(const TMWAudioFormat& format) {
  std::lock_guard lock(FLock);
  ResetLocked(0);
  FPassThrough = IsPassThrough(format);
  if (FPassThrough || (FSized && SameShape(format, FFormat))) return;

  FSized = false;
  FBuffer = {};
  const size_t bytes = format.BitsPerSample > 0 ? static_cast<size_t>(format.BitsPerSample / 8) : 0;
  const size_t channels = format.Channels > 0 ? static_cast<size_t>(format.Channels) : 0;
  const size_t rate = format.SampleRate > 0 ? static_cast<size_t>(format.SampleRate) : 0;
  if (bytes == 0 || channels == 0 || rate == 0) return;
  FFormat = format;
  FBlockAlign = bytes * channels;
  FBytesToTime = 10000000.0 / static_cast<double>(format.SampleRate) / static_cast<double>(format.Channels) /
                 static_cast<double>(bytes);
  FCapacity = rate * FBlockAlign * kSeconds;
  FMirror = FBlockAlign * kReadFrames;
  const size_t window = FBlockAlign * kWindowFrames;
  try {
    FBuffer.assign(FCapacity + 2 * window, 0);
  } catch (const std::bad_alloc&) {
    FBuffer = {};
    return;
  }
  FSized = true;
}

void TMWPcmHistory::ResetLocked(int64_t captureStart) {
  FStored = 0;
  FWrite = 0;
  FCaptureStart = captureStart;
}

void TMWPcmHistory::Reset() {
  std::lock_guard lock(FLock);
  ResetLocked(kUnset);
}

void TMWPcmHistory::Clear() {
  std::lock_guard lock(FLock);
  ResetLocked(FCaptureStart);
}

int64_t TMWPcmHistory::CaptureStart() const {
  std::lock_guard lock(FLock);
  return FCaptureStart;
}

double TMWPcmHistory::BytesToTime() const {
  std::lock_guard lock(FLock);
  return FBytesToTime;
}

void TMWPcmHistory::NoteSampleStart(int64_t sampleStart, bool& firstSample, int64_t lastDuration) {
  std::lock_guard lock(FLock);
  if (FCaptureStart != kUnset && FCaptureStart <= sampleStart) return;
  if (firstSample) {
    FCaptureStart = sampleStart;
    firstSample = false;
  } else {
    FCaptureStart = sampleStart - lastDuration;
  }
}

void TMWPcmHistory::Append(const uint8_t* data, size_t length) {
  if (!Enabled() || length == 0 || !data) return;
  std::lock_guard lock(FLock);
  if (!FSized || FPassThrough) return;
  // Bytes pushed out of a full ring move capture start to the new oldest byte.
  const size_t dropped = FStored + length > FCapacity ? FStored + length - FCapacity : 0;
  if (dropped > 0 && FCaptureStart != kUnset)
    FCaptureStart += static_cast<int64_t>(static_cast<double>(dropped) * FBytesToTime);
  WriteLocked(data, length);
}

void TMWPcmHistory::WriteLocked(const uint8_t* data, size_t length) {
  FStored = std::min(FCapacity, FStored + length);
  if (length > FCapacity) {  // only the newest ring-full survives
    data += length - FCapacity;
    length = FCapacity;
  }
  uint8_t* ring = FBuffer.data();
  while (length > 0) {
    const size_t chunk = std::min(length, FCapacity - FWrite);
    std::memcpy(ring + FWrite, data, chunk);
    if (FWrite < FMirror) {  // keep the head mirrored behind the end
      const size_t mirrored = std::min(FWrite + chunk, FMirror) - FWrite;
      std::memcpy(ring + FCapacity + FWrite, data, mirrored);
    }
    FWrite = (FWrite + chunk) % FCapacity;
    data += chunk;
    length -= chunk;
  }
}

bool TMWPcmHistory::Lookup(int64_t t, const uint8_t** data, int32_t* length) const {
  if (!Enabled()) return false;
  std::lock_guard lock(FLock);
  if (!FSized || FPassThrough || FCaptureStart == kUnset || t < FCaptureStart) return false;
  const double offset = static_cast<double>(t - FCaptureStart) / FBytesToTime;
  if (offset > static_cast<double>(FStored)) return false;
  size_t delta = static_cast<size_t>(offset);
  delta -= delta % FBlockAlign;
  const size_t oldest = FStored < FCapacity ? 0 : FWrite;
  const size_t position = (oldest + delta) % FCapacity;
  *data = FBuffer.data() + position;
  *length = static_cast<int32_t>(FMirror);
  return true;
}

void TMWPcmHistory::MarkEndOfStream(int64_t streamTime, int64_t lastDuration) {
  std::lock_guard lock(FLock);
  FEosSeen = true;
  FEosTime = streamTime + FCaptureStart + 2 * lastDuration;
}

void TMWPcmHistory::ClearEndOfStream() {
  std::lock_guard lock(FLock);
  FEosSeen = false;
}

bool TMWPcmHistory::PastEndOfStream(int64_t t) const {
  std::lock_guard lock(FLock);
  return FEosSeen && t >= FEosTime;
}

bool TMWPcmHistory::HasBuffer() const {
  std::lock_guard lock(FLock);
  return FSized;
}

size_t TMWPcmHistory::Capacity() const {
  std::lock_guard lock(FLock);
  return FCapacity;
}

size_t TMWPcmHistory::Stored() const {
  std::lock_guard lock(FLock);
  return FStored;
}

}  // namespace qvr::audio
