#include "player/audio/core/MWPcmHistory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace qvr::audio;

// 16-bit stereo whose frames carry their own index: left = index & 0x7FFF, right = index >> 15.
constexpr TMWAudioFormat kStereo16{0, 44100, 2, 16, 0, 0, 0};
constexpr size_t kFrameBytes = 4;
constexpr double kUnitsPerFrame = 10000000.0 / 44100;

std::vector<uint8_t> Frames(uint32_t first, size_t count) {
  std::vector<uint8_t> bytes(count * kFrameBytes);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t index = first + static_cast<uint32_t>(i);
    const uint16_t left = index & 0x7FFF, right = static_cast<uint16_t>(index >> 15);
    std::memcpy(&bytes[i * kFrameBytes], &left, 2);
    std::memcpy(&bytes[i * kFrameBytes + 2], &right, 2);
  }
  return bytes;
}

uint32_t FrameAt(const uint8_t* p) {
  uint16_t left, right;
  std::memcpy(&left, p, 2);
  std::memcpy(&right, p + 2, 2);
  return static_cast<uint32_t>(right) << 15 | left;
}

int64_t TimeOfFrame(uint32_t frame) { return static_cast<int64_t>(frame * kUnitsPerFrame) + 1; }

// The frame a lookup at time t hands out, or -1.
int64_t LookedUpFrame(const TMWPcmHistory& history, int64_t t) {
  const uint8_t* data = nullptr;
  int32_t length = 0;
  if (!history.Lookup(t, &data, &length)) return -1;
  EXPECT_EQ(TMWPcmHistory::kReadFrames * static_cast<int32_t>(kFrameBytes), length);
  return FrameAt(data);
}

// Appends `count` frames from `first` in buffers of `chunk` frames, noting each buffer's start
// the way the filter does.
void Play(TMWPcmHistory& history, uint32_t first, size_t count, size_t chunk, bool& firstSample) {
  for (size_t done = 0; done < count; done += chunk) {
    const size_t n = std::min(chunk, count - done);
    const uint32_t at = first + static_cast<uint32_t>(done);
    history.NoteSampleStart(static_cast<int64_t>(at * kUnitsPerFrame), firstSample,
                            static_cast<int64_t>(n * kFrameBytes * history.BytesToTime()));
    const auto bytes = Frames(at, n);
    history.Append(bytes.data(), bytes.size());
  }
}

TEST(PcmHistory, SizesItselfForFourSecondsOfTheFormat) {
  TMWPcmHistory history;
  EXPECT_FALSE(history.HasBuffer());
  history.Prepare(kStereo16);
  ASSERT_TRUE(history.HasBuffer());
  EXPECT_EQ(44100u * 4 * 4, history.Capacity());
  EXPECT_DOUBLE_EQ(10000000.0 / 44100 / 2 / 2, history.BytesToTime());
  EXPECT_EQ(0, history.CaptureStart());

  history.Prepare(TMWAudioFormat{0, 48000, 6, 24, 0, 0, 0});
  EXPECT_EQ(48000u * 18 * 4, history.Capacity());
  history.Prepare(TMWAudioFormat{0, 48000, 2, 16, 0, -1, 0});  // AC-3 pass-through keeps nothing
  const auto bytes = Frames(0, 100);
  history.Append(bytes.data(), bytes.size());
  EXPECT_EQ(0u, history.Stored());
  EXPECT_EQ(-1, LookedUpFrame(history, 0));
}

TEST(PcmHistory, HandsOutTheBytesOfAStreamTimeWhileFilling) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  history.Reset();
  bool first = true;
  Play(history, 1000, 44100, 4410, first);  // one second starting at frame 1000
  EXPECT_FALSE(first);
  EXPECT_EQ(static_cast<int64_t>(1000 * kUnitsPerFrame), history.CaptureStart());
  EXPECT_EQ(-1, LookedUpFrame(history, history.CaptureStart() - 1));
  for (const uint32_t frame : {1000u, 1001u, 20000u, 45099u}) EXPECT_EQ(frame, LookedUpFrame(history, TimeOfFrame(frame)));
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(46000)));  // not delivered yet
}

TEST(PcmHistory, TheRingKeepsTheLastFourSecondsWhateverTheBufferSizes) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  history.Reset();
  bool first = true;
  // Ten seconds in uneven buffers, then one buffer longer than the ring.
  Play(history, 0, 441000, 4093, first);
  EXPECT_EQ(history.Capacity(), history.Stored());
  const uint32_t oldest = 441000 - 4 * 44100;
  EXPECT_NEAR(oldest * kUnitsPerFrame, static_cast<double>(history.CaptureStart()), 2 * kUnitsPerFrame);
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(oldest - 100)));
  for (const uint32_t frame : {oldest + 10, 300000u, 420000u, 440999u}) {
    const int64_t got = LookedUpFrame(history, TimeOfFrame(frame));
    EXPECT_NEAR(frame, got, 1) << frame;
  }
  // Every read is contiguous, also across the wrap of the ring.
  for (uint32_t frame = oldest + 1; frame < 441000; frame += 7919) {
    const uint8_t* data = nullptr;
    int32_t length = 0;
    ASSERT_TRUE(history.Lookup(TimeOfFrame(frame), &data, &length));
    const uint32_t start = FrameAt(data);
    const uint32_t available = std::min<uint32_t>(TMWPcmHistory::kReadFrames, 441000 - start);
    for (uint32_t i = 0; i < available; i += 97) ASSERT_EQ(start + i, FrameAt(data + i * kFrameBytes)) << frame << "+" << i;
  }

  Play(history, 441000, 5 * 44100, 5 * 44100, first);
  EXPECT_EQ(441000u + 3 * 44100 + 7, LookedUpFrame(history, TimeOfFrame(441000 + 3 * 44100 + 7)));
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(441000 + 44100 - 10)));
}

TEST(PcmHistory, ResetsClearsAndCaptureSwitch) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  bool first = true;
  Play(history, 0, 8820, 4410, first);
  history.Clear();  // Stop: empty, capture start kept
  EXPECT_EQ(0u, history.Stored());
  EXPECT_EQ(0, history.CaptureStart());
  history.Reset();  // flush: unset
  EXPECT_EQ(TMWPcmHistory::kUnset, history.CaptureStart());
  EXPECT_EQ(-1, LookedUpFrame(history, 0));

  // Prepare's capture start 0 kept the first-sample flag; the first buffer after the flush
  // takes it.
  EXPECT_TRUE(first);
  Play(history, 44100, 4410, 4410, first);
  EXPECT_FALSE(first);
  EXPECT_EQ(10000000, history.CaptureStart());

  history.SetEnabled(false);
  EXPECT_FALSE(history.Enabled());
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(44100)));
  const size_t stored = history.Stored();
  const auto more = Frames(0, 100);
  history.Append(more.data(), more.size());
  EXPECT_EQ(stored, history.Stored());
}

TEST(PcmHistory, AfterASeekOnlyTheAudioPlayedSinceIsHandedOut) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  bool first = true;
  Play(history, 0, 2 * 44100, 4410, first);
  ASSERT_EQ(50000, LookedUpFrame(history, TimeOfFrame(50000)));
  history.Reset();  // the flush of a seek to 10 s
  Play(history, 441000, 22050, 4410, first);
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(50000)));
  for (const uint32_t frame : {441000u, 452000u, 463049u}) EXPECT_EQ(frame, LookedUpFrame(history, TimeOfFrame(frame)));
  // Half a second in, the old two seconds would still reach this far.
  EXPECT_EQ(-1, LookedUpFrame(history, TimeOfFrame(441000 + 30000)));
}

TEST(PcmHistory, CaptureStartOnlyMovesBack) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  bool first = false;
  history.NoteSampleStart(5000, first, 100);  // Prepare left 0: an earlier start than 5000
  EXPECT_EQ(0, history.CaptureStart());
  history.Reset();
  history.NoteSampleStart(5000, first, 100);
  EXPECT_EQ(4900, history.CaptureStart());
  history.NoteSampleStart(3000, first, 100);
  EXPECT_EQ(2900, history.CaptureStart());
}

TEST(PcmHistory, NothingIsHandedOutFromTheEndOfStreamOn) {
  TMWPcmHistory history;
  history.Prepare(kStereo16);
  bool first = true;
  Play(history, 0, 44100, 4410, first);
  history.MarkEndOfStream(10000000, 1000000);  // 1 s stream time + capture start 0 + 2 x 0.1 s
  EXPECT_FALSE(history.PastEndOfStream(11999999));
  EXPECT_TRUE(history.PastEndOfStream(12000000));
  history.ClearEndOfStream();
  EXPECT_FALSE(history.PastEndOfStream(20000000));
}

}  // namespace
