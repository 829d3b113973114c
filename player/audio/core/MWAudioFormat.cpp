#include "player/audio/core/MWAudioFormat.h"

namespace qvr::audio {
namespace {

int32_t Flag(bool on) { return on ? -1 : 0; }

std::atomic_ref<int32_t> Field(int32_t& field) { return std::atomic_ref<int32_t>(field); }

}  // namespace

TMWTypeVerdict CheckAudioTypeGuids(const TMWGuid& majorType, const TMWGuid& subtype, const TMWGuid& formatType) {
  if (!(majorType == kMWMediaTypeAudio)) return TMWTypeVerdict::InvalidMediaType;
  if (!(subtype == kMWSubtypePcm || subtype == kMWSubtypeDolbyAc3Spdif || subtype == kMWSubtypeIeeeFloat ||
        subtype == kMWGuidNull))
    return TMWTypeVerdict::InvalidSubtype;
  if (!(formatType == kMWFormatWaveFormatEx)) return TMWTypeVerdict::NotAccepted;
  return TMWTypeVerdict::Accepted;
}

TMWTypeVerdict DescribeWaveFormat(const TMWGuid& subtype, const TMWWaveDescription& wave, TMWAudioFormat& format) {
  const uint16_t bits = wave.BitsPerSample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return TMWTypeVerdict::NotAccepted;
  const uint16_t tag = wave.FormatTag;
  TMWAudioFormat f{};
  f.SampleRate = wave.SamplesPerSec == 0 ? 44100 : static_cast<int32_t>(wave.SamplesPerSec);
  f.Channels = wave.Channels;
  f.BitsPerSample = bits;
  f.IsSPDIF = Flag(tag == kMWTagDolbyAc3Spdif || tag == kMWTagSpdifAc3 || subtype == kMWSubtypeDolbyAc3Spdif);
  f.IsDTS = Flag(tag == kMWTagDts || tag == kMWTagSpdifDts);
  f.IsFloat = Flag(subtype == kMWSubtypeIeeeFloat || tag == kMWTagIeeeFloat ||
                   (tag == kMWTagExtensible && wave.HasSubFormat && wave.SubFormat == kMWSubtypeIeeeFloat));
  format = f;
  return TMWTypeVerdict::Accepted;
}

bool SameFormat(const TMWAudioFormat& a, const TMWAudioFormat& b) {
  return a.DataLength == b.DataLength && a.SampleRate == b.SampleRate && a.Channels == b.Channels &&
         a.BitsPerSample == b.BitsPerSample && a.IsFloat == b.IsFloat && a.IsSPDIF == b.IsSPDIF && a.IsDTS == b.IsDTS;
}

int64_t DurationOfBytes(int64_t length, const TMWAudioFormat& format) {
  const int64_t bytes = format.BitsPerSample / 8;
  if (format.Channels <= 0 || bytes <= 0 || format.SampleRate <= 0) return -1;
  return length * 10000000 / format.Channels / bytes / format.SampleRate;
}

TMWAudioFormat TMWPublishedFormat::Load() const {
  TMWAudioFormat f;
  f.DataLength = Field(FRecord.DataLength).load(std::memory_order_relaxed);
  f.SampleRate = Field(FRecord.SampleRate).load(std::memory_order_relaxed);
  f.Channels = Field(FRecord.Channels).load(std::memory_order_relaxed);
  f.BitsPerSample = Field(FRecord.BitsPerSample).load(std::memory_order_relaxed);
  f.IsFloat = Field(FRecord.IsFloat).load(std::memory_order_relaxed);
  f.IsSPDIF = Field(FRecord.IsSPDIF).load(std::memory_order_relaxed);
  f.IsDTS = Field(FRecord.IsDTS).load(std::memory_order_relaxed);
  return f;
}

void TMWPublishedFormat::Store(const TMWAudioFormat& f) {
  Field(FRecord.DataLength).store(f.DataLength, std::memory_order_relaxed);
  Field(FRecord.SampleRate).store(f.SampleRate, std::memory_order_relaxed);
  Field(FRecord.Channels).store(f.Channels, std::memory_order_relaxed);
  Field(FRecord.BitsPerSample).store(f.BitsPerSample, std::memory_order_relaxed);
  Field(FRecord.IsFloat).store(f.IsFloat, std::memory_order_relaxed);
  Field(FRecord.IsSPDIF).store(f.IsSPDIF, std::memory_order_relaxed);
  Field(FRecord.IsDTS).store(f.IsDTS, std::memory_order_relaxed);
}

void TMWPublishedFormat::StoreDataLength(int32_t length) {
  Field(FRecord.DataLength).store(length, std::memory_order_relaxed);
}

}  // namespace qvr::audio
