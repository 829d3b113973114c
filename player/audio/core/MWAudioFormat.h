// The audio filter's format record and the rules by which it accepts an input media type, kept
// free of Windows headers so that they can be tested natively. The Windows side maps a media
// type's GUIDs and its WAVEFORMATEX onto TMWGuid / TMWWaveDescription and asks here.
//
// TMWAudioFormat is shared with clients of the filter, who get a pointer to the filter's copy
// and may read it from any thread while the streaming thread updates it: TMWPublishedFormat
// makes every access to that copy atomic, field by field.
#pragma once

#include <atomic>
#include <cstdint>

// The current format, seven 32-bit fields in this order (a binary contract with hosts).
struct TMWAudioFormat {
  int32_t DataLength;     // bytes in the buffer processed last
  int32_t SampleRate;     // 44100 when the input type says 0
  int32_t Channels;
  int32_t BitsPerSample;  // 8, 16, 24 or 32
  int32_t IsFloat;        // -1 for IEEE float samples, else 0
  int32_t IsSPDIF;        // -1 for AC-3/S-PDIF pass-through, else 0
  int32_t IsDTS;          // -1 for DTS pass-through, else 0
};
static_assert(sizeof(TMWAudioFormat) == 28);

namespace qvr::audio {

// A GUID with the Windows layout.
struct TMWGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  friend bool operator==(const TMWGuid& a, const TMWGuid& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
static_assert(sizeof(TMWGuid) == 16);

inline constexpr TMWGuid kMWGuidNull = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr TMWGuid kMWMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr TMWGuid kMWSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr TMWGuid kMWSubtypeIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr TMWGuid kMWSubtypeDolbyAc3Spdif = {0x00000092, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr TMWGuid kMWFormatWaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// Format tags the rules look at.
inline constexpr uint16_t kMWTagIeeeFloat = 0x0003;
inline constexpr uint16_t kMWTagDts = 0x0008;
inline constexpr uint16_t kMWTagDolbyAc3Spdif = 0x0092;
inline constexpr uint16_t kMWTagSpdifAc3 = 0x2000;
inline constexpr uint16_t kMWTagSpdifDts = 0x2001;
inline constexpr uint16_t kMWTagExtensible = 0xFFFE;

// Why a type is refused, in the order the tests run (the Windows side maps these onto
// VFW_E_INVALIDMEDIATYPE, VFW_E_INVALIDSUBTYPE and VFW_E_TYPE_NOT_ACCEPTED).
enum class TMWTypeVerdict { Accepted, InvalidMediaType, InvalidSubtype, NotAccepted };

// The fields of a WAVEFORMATEX (and WAVEFORMATEXTENSIBLE) the rules read.
struct TMWWaveDescription {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint16_t BitsPerSample = 0;
  bool HasSubFormat = false;  // an extensible format with its SubFormat present
  TMWGuid SubFormat = kMWGuidNull;
};

// Major type audio; subtype PCM, AC-3/S-PDIF, IEEE float or GUID_NULL; format WAVEFORMATEX.
TMWTypeVerdict CheckAudioTypeGuids(const TMWGuid& majorType, const TMWGuid& subtype, const TMWGuid& formatType);

// The format record an accepted type gives (DataLength 0). Bit depths other than 8, 16, 24 and
// 32 are refused (NotAccepted) and `format` is then left untouched.
TMWTypeVerdict DescribeWaveFormat(const TMWGuid& subtype, const TMWWaveDescription& wave, TMWAudioFormat& format);

// AC-3/S-PDIF and DTS data go through untouched: no pre-amplifier, equaliser, callback or capture.
inline bool IsPassThrough(const TMWAudioFormat& f) { return f.IsSPDIF != 0 || f.IsDTS != 0; }

// All seven fields equal.
bool SameFormat(const TMWAudioFormat& a, const TMWAudioFormat& b);

// 100-ns duration of `length` bytes: length·10^7 div Channels div (Bits/8) div SampleRate, in
// 64-bit integers in that order. -1 when a divisor is 0.
int64_t DurationOfBytes(int64_t length, const TMWAudioFormat& format);

// The filter's copy of the format record, which clients read through a pointer while the
// streaming thread updates it. Every field is read and written atomically (relaxed); a reader may
// see fields of two neighbouring formats, as with any record read without a lock, but never a
// torn field.
class TMWPublishedFormat {
 public:
  TMWPublishedFormat() : FRecord{} {}
  TMWPublishedFormat(const TMWPublishedFormat&) = delete;
  TMWPublishedFormat& operator=(const TMWPublishedFormat&) = delete;

  TMWAudioFormat Load() const;
  void Store(const TMWAudioFormat& format);
  void StoreDataLength(int32_t length);
  // The record clients are given.
  TMWAudioFormat* Record() { return &FRecord; }

 private:
  mutable TMWAudioFormat FRecord;
};

}  // namespace qvr::audio
