// Writes the bundled sample media: "tone.wav" (3 s of 440 Hz, 16-bit stereo 44.1 kHz PCM) and
// "bars.avi" (3 s of 160 x 120 RGB32 colour bars at 10 frames per second with the same tone).
//
// usage: samplegen OUTPUT_DIR
#include "player/resources/core/MediaWriter.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: samplegen OUTPUT_DIR\n");
    return 2;
  }
  using namespace qvr::media;
  const std::string dir = argv[1];
  const PcmFormat format{};  // PCM, stereo, 44100 Hz, 16 bits
  constexpr double kSeconds = 3.0;
  const auto tone = MakeTonePcm16(format, kSeconds, 440.0, 0.25);

  AviVideoStream video;
  video.Width = 160;
  video.Height = 120;
  video.BitCount = 32;
  video.FramesPerSecond = 10;
  video.Frames.assign(static_cast<size_t>(kSeconds * video.FramesPerSecond), MakeColourBarsFrame(160, 120, 32));
  const AviAudioStream audio[] = {{format, tone}};

  const bool ok = SaveFile(dir + "/tone.wav", MakeWav(format, tone)) && SaveFile(dir + "/bars.avi", MakeAvi(&video, audio));
  if (!ok) std::fprintf(stderr, "samplegen: cannot write into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
