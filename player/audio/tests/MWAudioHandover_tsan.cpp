// The hand-over between the user-interface thread and the streaming thread, under
// ThreadSanitizer: the settings snapshot, the PCM history and the published format record, each
// driven by a writer and a reader at full speed. ThreadSanitizer fails the run (exit code 66) on
// any data race; the checks here fail it on a torn snapshot. A plain program (no GoogleTest):
// everything it links is built with -fsanitize=thread.
#include <array>
#include <chrono>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "player/audio/core/MWAudioFormat.h"
#include "player/audio/core/MWAudioSettings.h"
#include "player/audio/core/MWEqualizer.h"
#include "player/audio/core/MWFlushEpoch.h"
#include "player/audio/core/MWPcmHistory.h"

namespace {

using namespace qvr::audio;

int gFailures = 0;

void Check(bool ok, const char* what) {
  if (!ok && gFailures++ < 10) std::fprintf(stderr, "FAILED: %s\n", what);
}

// The user-interface thread sets whole tables of one band value; the streaming thread must never
// see a table mixing two of them.
void SettingsHandOver() {
  TMWAudioSettings settings;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      std::array<int8_t, 10> bands;
      bands.fill(static_cast<int8_t>(i % 201 - 100));
      settings.SetBands(bands.data());
      settings.SetPreAmp(static_cast<uint16_t>(10000 + i % 100));
      settings.SetEnabled(i % 2 == 0);
      settings.SetDelay(i % 50);
    }
    done = true;
  });
  TMWAudioSettingsView view;
  int refreshes = 0;
  while (!done) {
    if (!settings.Refresh(view)) continue;
    ++refreshes;
    for (size_t bin = 1; bin < TMWEqualizer::kGainBins; ++bin)
      if (view.Gains[bin] != view.Gains[0]) {
        Check(false, "a snapshot mixes two gain tables");
        break;
      }
    Check(view.PreAmp >= 10000 && view.PreAmp < 10100, "pre-amp out of what was written");
    view.EqDirty = false;
  }
  writer.join();
  settings.Refresh(view);
  std::array<int8_t, 10> last;
  settings.GetBands(last.data());
  Check(last[0] == 19999 % 201 - 100, "the last table is the one read back");
  std::printf("settings: %d refreshes\n", refreshes);
}

// The streaming thread appends and notes sample starts; the control thread looks up, resets,
// clears and marks ends of stream. Only the bookkeeping is shared: the bytes behind a lookup are
// the client's to read, racing the next append by design, so this test does not read them.
void HistoryHandOver() {
  TMWPcmHistory history;
  const TMWAudioFormat format{0, 8000, 1, 16, 0, 0, 0};
  history.Prepare(format);
  std::atomic<bool> done{false};
  std::thread streaming([&] {
    std::vector<uint8_t> buffer(1600);
    bool first = true;
    for (int i = 0; i < 20000; ++i) {
      history.NoteSampleStart(static_cast<int64_t>(i) * 1000000, first, 1000000);
      history.Append(buffer.data(), buffer.size());
      if (i % 5000 == 0) history.Prepare(format);
    }
    done = true;
  });
  int found = 0;
  for (int i = 0; !done; ++i) {
    const uint8_t* data = nullptr;
    int32_t length = 0;
    if (history.Lookup(history.CaptureStart() + 1000, &data, &length)) ++found;
    if (i % 97 == 0) history.Reset();
    if (i % 89 == 0) history.Clear();
    if (i % 83 == 0) history.MarkEndOfStream(i, 10);
    if (i % 79 == 0) history.ClearEndOfStream();
    history.PastEndOfStream(i);
    history.SetEnabled(i % 101 != 0);
  }
  streaming.join();
  std::printf("history: %d lookups found data\n", found);
}

void FormatHandOver() {
  TMWPublishedFormat published;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 100000; ++i) {
      published.StoreDataLength(i);
      if (i % 1000 == 0) published.Store(TMWAudioFormat{i, 44100, 2, 16, 0, 0, 0});
    }
    done = true;
  });
  while (!done) Check(published.Load().Channels <= 2, "a format field out of what was written");
  writer.join();
}

}  // namespace

// Seeks between a tone and silence while the streaming thread equalises at full speed; a flush
// may begin in the middle of a buffer. Silence only ever follows a flush, so every silent buffer
// must come out silent: any sample left is the old position's tail.
void FlushEpochs() {
  TMWEqualizer equalizer;
  TMWFlushEpoch epoch;
  std::atomic<bool> flushing{false}, silent{false}, done{false};
  std::atomic<int> parked{0}, resumed{0};
  std::thread streaming([&] {
    std::vector<int16_t> buffer(2 * 1000);
    bool dirty = false;
    while (!done) {
      const uint32_t admitted = epoch.Admit();  // before the flushing check, as the pin does
      if (flushing) {
        ++parked;
        while (flushing && !done) std::this_thread::yield();
        ++resumed;
        continue;
      }
      const bool quiet = silent;
      for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = quiet ? 0 : static_cast<int16_t>(i % 2 ? 8000 : -8000);
      if (epoch.StartsNewEpoch(admitted)) equalizer.ClearHistory();
      equalizer.Equalize(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size() * 2, 16, dirty, nullptr, false, 2);
      if (quiet)
        for (const int16_t sample : buffer)
          if (sample != 0) {
            Check(false, "a silent buffer after a flush carries the old position's tail");
            break;
          }
    }
  });
  for (int seek = 0; seek < 200; ++seek) {
    const int before = parked;
    flushing = true;  // the pin refuses samples, then the flush opens its epoch
    epoch.Begin();
    while (parked == before) std::this_thread::yield();  // the source's thread has stopped
    silent = seek % 2 == 0;
    flushing = false;
    while (resumed != parked) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::microseconds(seek % 7 * 50));
  }
  done = true;
  streaming.join();
}

int main() {
  FlushEpochs();
  SettingsHandOver();
  HistoryHandOver();
  FormatHandOver();
  if (gFailures) std::fprintf(stderr, "%d failures\n", gFailures);
  return gFailures ? EXIT_FAILURE : EXIT_SUCCESS;
}
