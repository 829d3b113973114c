#include "player/resources/core/MediaWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace qvr::media {
namespace {

class ByteWriter {
 public:
  std::vector<uint8_t> bytes;

  void u8(uint8_t v) { bytes.push_back(v); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void fourcc(const char (&code)[5]) { bytes.insert(bytes.end(), code, code + 4); }
  void append(std::span<const uint8_t> data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
  size_t size() const { return bytes.size(); }

  // Opens a chunk (or a RIFF/LIST with its form type) and returns where its size goes.
  size_t begin_chunk(const char (&id)[5]) {
    fourcc(id);
    const size_t at = size();
    u32(0);
    return at;
  }
  size_t begin_list(const char (&id)[5], const char (&type)[5]) {
    const size_t at = begin_chunk(id);
    fourcc(type);
    return at;
  }
  // Patches the size and pads to an even length, as RIFF requires.
  void end_chunk(size_t size_at) {
    patch32(size_at, static_cast<uint32_t>(size() - size_at - 4));
    if (size() % 2) u8(0);
  }
  void patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

void write_waveformat(ByteWriter& w, const PcmFormat& f) {
  w.u16(f.FormatTag);
  w.u16(f.Channels);
  w.u32(f.SamplesPerSec);
  w.u32(f.AvgBytesPerSec());
  w.u16(f.BlockAlign());
  w.u16(f.BitsPerSample);
}

uint32_t frame_bytes(const AviVideoStream& v) {
  const uint32_t stride = ((static_cast<uint32_t>(v.Width) * v.BitCount / 8) + 3) & ~3u;
  return stride * static_cast<uint32_t>(v.Height);
}

}  // namespace

std::vector<uint8_t> MakeTonePcm16(const PcmFormat& format, double seconds, double frequencyHz, double amplitude) {
  const size_t frames = static_cast<size_t>(seconds * format.SamplesPerSec);
  std::vector<uint8_t> data;
  data.reserve(frames * format.Channels * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double phase = 2.0 * std::numbers::pi * frequencyHz * static_cast<double>(i) / format.SamplesPerSec;
    const auto sample = static_cast<int16_t>(std::lround(std::clamp(amplitude, 0.0, 1.0) * 32767.0 * std::sin(phase)));
    for (int c = 0; c < format.Channels; ++c) {
      data.push_back(static_cast<uint8_t>(sample));
      data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
    }
  }
  return data;
}

std::vector<uint8_t> MakeWav(const PcmFormat& format, std::span<const uint8_t> data) {
  ByteWriter w;
  const size_t riff = w.begin_list("RIFF", "WAVE");
  const size_t fmt = w.begin_chunk("fmt ");
  write_waveformat(w, format);
  w.end_chunk(fmt);
  const size_t body = w.begin_chunk("data");
  w.append(data);
  w.end_chunk(body);
  w.end_chunk(riff);
  return std::move(w.bytes);
}

std::vector<uint8_t> MakeColourBarsFrame(int width, int height, int bitCount) {
  const int bytes_per_pixel = bitCount / 8;
  const size_t stride = (static_cast<size_t>(width) * bytes_per_pixel + 3) & ~size_t{3};
  std::vector<uint8_t> frame(stride * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = frame.data() + stride * static_cast<size_t>(y);
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = kColourBars[static_cast<size_t>(x) * 8 / static_cast<size_t>(width)];
      uint8_t* px = row + static_cast<size_t>(x) * bytes_per_pixel;
      px[0] = static_cast<uint8_t>(rgb);        // blue
      px[1] = static_cast<uint8_t>(rgb >> 8);   // green
      px[2] = static_cast<uint8_t>(rgb >> 16);  // red
      if (bytes_per_pixel == 4) px[3] = 0;
    }
  }
  return frame;
}

std::vector<uint8_t> MakeAvi(const AviVideoStream* video, std::span<const AviAudioStream> audio) {
  constexpr uint32_t kAvifHasIndex = 0x10, kAvifIsInterleaved = 0x100, kAviifKeyframe = 0x10;
  // The interleave period: one video frame, or a tenth of a second for audio-only files.
  const uint32_t fps = video ? std::max<uint32_t>(video->FramesPerSecond, 1) : 10;
  size_t periods = video ? video->Frames.size() : 0;
  for (const auto& a : audio) {
    const size_t blocks = a.Data.size() / a.Format.BlockAlign();
    periods = std::max(periods, (blocks * fps + a.Format.SamplesPerSec - 1) / a.Format.SamplesPerSec);
  }
  const uint32_t streams = static_cast<uint32_t>(audio.size()) + (video ? 1 : 0);

  ByteWriter w;
  const size_t riff = w.begin_list("RIFF", "AVI ");
  const size_t hdrl = w.begin_list("LIST", "hdrl");
  const size_t avih = w.begin_chunk("avih");
  uint32_t max_bytes_per_sec = video ? frame_bytes(*video) * fps : 0;
  for (const auto& a : audio) max_bytes_per_sec += a.Format.AvgBytesPerSec();
  w.u32(1000000 / fps);
  w.u32(max_bytes_per_sec);
  w.u32(0);
  w.u32(kAvifHasIndex | kAvifIsInterleaved);
  w.u32(static_cast<uint32_t>(video ? video->Frames.size() : periods));
  w.u32(0);
  w.u32(streams);
  w.u32(video ? frame_bytes(*video) : 0);
  w.u32(video ? static_cast<uint32_t>(video->Width) : 0);
  w.u32(video ? static_cast<uint32_t>(video->Height) : 0);
  for (int i = 0; i < 4; ++i) w.u32(0);
  w.end_chunk(avih);

  auto stream_header = [&](const char (&type)[5], uint32_t handler, uint32_t scale, uint32_t rate, uint32_t length,
                           uint32_t buffer, uint32_t sample_size, int16_t right, int16_t bottom) {
    const size_t strh = w.begin_chunk("strh");
    w.fourcc(type);
    w.u32(handler);
    w.u32(0);  // flags
    w.u16(0);  // priority
    w.u16(0);  // language
    w.u32(0);  // initial frames
    w.u32(scale);
    w.u32(rate);
    w.u32(0);  // start
    w.u32(length);
    w.u32(buffer);
    w.u32(0xFFFFFFFF);  // quality: default
    w.u32(sample_size);
    w.u16(0);
    w.u16(0);
    w.u16(static_cast<uint16_t>(right));
    w.u16(static_cast<uint16_t>(bottom));
    w.end_chunk(strh);
  };

  if (video) {
    const size_t strl = w.begin_list("LIST", "strl");
    stream_header("vids", 0, 1, fps, static_cast<uint32_t>(video->Frames.size()), frame_bytes(*video), 0,
                  static_cast<int16_t>(video->Width), static_cast<int16_t>(video->Height));
    const size_t strf = w.begin_chunk("strf");
    w.u32(40);
    w.u32(static_cast<uint32_t>(video->Width));
    w.u32(static_cast<uint32_t>(video->Height));  // positive: bottom-up rows
    w.u16(1);
    w.u16(static_cast<uint16_t>(video->BitCount));
    w.u32(0);  // BI_RGB
    w.u32(frame_bytes(*video));
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.end_chunk(strf);
    w.end_chunk(strl);
  }
  for (const auto& a : audio) {
    const size_t strl = w.begin_list("LIST", "strl");
    const uint32_t block = a.Format.BlockAlign();
    stream_header("auds", 0, block, a.Format.AvgBytesPerSec(), static_cast<uint32_t>(a.Data.size() / block),
                  a.Format.AvgBytesPerSec() / fps + block, block, 0, 0);
    const size_t strf = w.begin_chunk("strf");
    write_waveformat(w, a.Format);
    w.u16(0);  // cbSize
    w.end_chunk(strf);
    w.end_chunk(strl);
  }
  w.end_chunk(hdrl);

  struct IndexEntry {
    char id[4];
    uint32_t offset;
    uint32_t size;
  };
  std::vector<IndexEntry> index;
  const size_t movi = w.begin_list("LIST", "movi");
  const size_t movi_base = movi + 4;  // idx1 offsets count from the "movi" form type
  std::vector<size_t> audio_pos(audio.size(), 0);
  for (size_t p = 0; p < periods; ++p) {
    uint32_t stream = 0;
    auto add_chunk = [&](const char (&suffix)[3], std::span<const uint8_t> data) {
      char id[5] = {static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), suffix[0], suffix[1], 0};
      index.push_back({{id[0], id[1], id[2], id[3]}, static_cast<uint32_t>(w.size() - movi_base), static_cast<uint32_t>(data.size())});
      w.bytes.insert(w.bytes.end(), id, id + 4);
      w.u32(static_cast<uint32_t>(data.size()));
      w.append(data);
      if (w.size() % 2) w.u8(0);
    };
    if (video) {
      if (p < video->Frames.size()) add_chunk("db", video->Frames[p]);
      ++stream;
    }
    for (size_t s = 0; s < audio.size(); ++s, ++stream) {
      const auto& a = audio[s];
      const size_t block = a.Format.BlockAlign();
      const size_t end_block = std::min(a.Data.size() / block, (p + 1) * a.Format.SamplesPerSec / fps);
      const size_t end = end_block * block;
      if (end > audio_pos[s]) {
        add_chunk("wb", std::span(a.Data).subspan(audio_pos[s], end - audio_pos[s]));
        audio_pos[s] = end;
      }
    }
  }
  w.end_chunk(movi);
  const size_t idx1 = w.begin_chunk("idx1");
  for (const auto& e : index) {
    w.bytes.insert(w.bytes.end(), e.id, e.id + 4);
    w.u32(kAviifKeyframe);
    w.u32(e.offset);
    w.u32(e.size);
  }
  w.end_chunk(idx1);
  w.end_chunk(riff);
  return std::move(w.bytes);
}

bool SaveFile(const std::string& path, std::span<const uint8_t> bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace qvr::media
