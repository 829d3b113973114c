#include "player/engine/core/MWFileFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <share.h>

#include "common/core/Utf.h"
#endif

namespace qvr::engine {

TMWFile::TMWFile(const std::string& fileName) : file_name_(fileName) {
#ifdef _WIN32
  // The name is UTF-8: the narrow CRT functions would read it in the system code page.
  const std::u16string wide = Utf8ToUtf16(fileName);
  file_ = _wfsopen(std::wstring(wide.begin(), wide.end()).c_str(), L"rb", _SH_DENYWR);
#else
  file_ = std::fopen(fileName.c_str(), "rb");
#endif
  last_result_ = file_ ? 0 : (errno ? errno : EIO);
}

TMWFile::~TMWFile() {
  if (file_) std::fclose(file_);
}

bool TMWFile::Seek(uint64_t position) {
  if (!file_) return false;
#ifdef _WIN32
  const int rc = _fseeki64(file_, static_cast<__int64>(position), SEEK_SET);
#else
  const int rc = fseeko(file_, static_cast<off_t>(position), SEEK_SET);
#endif
  last_result_ = rc == 0 ? 0 : EIO;
  return last_result_ == 0;
}

bool TMWFile::Read(void* buffer, size_t count, size_t* transferred) {
  if (transferred) *transferred = 0;
  if (!file_) return false;
  const size_t n = std::fread(buffer, 1, count, file_);
  if (transferred) *transferred = n;
  last_result_ = std::ferror(file_) ? EIO : 0;
  return last_result_ == 0;
}

bool TMWFile::Eof() {
  if (!file_) return true;
  const int c = std::fgetc(file_);
  if (c == EOF) return true;
  std::ungetc(c, file_);
  return false;
}

bool TMWMemoryFile::Seek(uint64_t position) {
  position_ = position;
  return true;
}

bool TMWMemoryFile::Read(void* buffer, size_t count, size_t* transferred) {
  const size_t n = position_ < size_ ? std::min<uint64_t>(count, size_ - position_) : 0;
  if (n) std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  if (transferred) *transferred = n;
  return true;
}

namespace {

// The detection's 8-byte window: each read overwrites its first bytes, a short read leaves the
// rest as it was, and every comparison looks at the window as it stands.
class Window {
 public:
  explicit Window(TMWCustomFile& file) : file_(file) {}
  void ReadAt(uint64_t offset, size_t count) {
    if (file_.Seek(offset)) file_.Read(bytes_, count);
  }
  bool Is(const char* text, size_t n) const { return std::memcmp(bytes_, text, n) == 0; }
  bool Is(const unsigned char (&b)[4]) const { return std::memcmp(bytes_, b, 4) == 0; }
  unsigned char operator[](size_t i) const { return bytes_[i]; }

 private:
  TMWCustomFile& file_;
  unsigned char bytes_[8] = {};
};

// The major brand of an ISO media "ftyp" box (window bytes 4..7) that the MP4 source reads:
// QuickTime, the MPEG-4 and ISO base brands, the iTunes audio and video brands, AVC, DASH
// segments, Flash video's F4V and the 3GPP/3GPP2 families ("3gp4", "3gp6", "3g2a", ...).
bool IsMp4Brand(const Window& w) {
  static constexpr const char* kBrands[] = {"mp41", "mp42", "isom", "iso2", "iso3", "iso4", "iso5", "iso6",
                                            "M4A ",  "M4V ", "avc1", "dash", "f4v "};
  char brand[4];
  for (size_t i = 0; i < 4; ++i) brand[i] = static_cast<char>(w[4 + i]);
  for (const char* known : kBrands)
    if (std::memcmp(brand, known, 4) == 0) return true;
  // "qt" alone was always taken, whatever follows it.
  return std::memcmp(brand, "qt", 2) == 0 || std::memcmp(brand, "3gp", 3) == 0 || std::memcmp(brand, "3g2", 3) == 0;
}

}  // namespace

TMediaKind DetectMediaType(TMWCustomFile& file) {
  if (!file.Opened()) return mkUnknown;
  Window w(file);
  w.ReadAt(0, 4);
  if (w.Is("RIFF", 4)) {
    w.ReadAt(8, 4);
    if (w.Is("AVI ", 4)) return mkAvi;
    if (w.Is("WAVE", 4)) return mkWave;
    if (w.Is("CDDA", 4)) return mkCdAudio;
    if (w.Is("CDXA", 4)) {
      w.ReadAt(36, 4);
      return w.Is("data", 4) ? mkMpeg1Program : mkUnknown;
    }
    return mkUnknown;
  }
  if (w.Is("FLV", 3)) return mkFlv;
  if (w.Is("OggS", 4)) {
    w.ReadAt(29, 6);
    if (w.Is("vorbis", 6)) return mkOggVorbis;
    return w.Is("video", 5) ? mkOggVideo : mkUnknown;
  }
  if (w.Is(".RMF", 4)) return mkRealMedia;
  static constexpr unsigned char kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};
  static constexpr unsigned char kSystemHeader[4] = {0x00, 0x00, 0x01, 0xBB};
  if (w.Is(kPackStart)) {
    w.ReadAt(12, 4);
    if (w.Is(kSystemHeader)) return mkMpeg1Program;
    return (w[1] == 0xF8 && w[2] == 0x00 && w[3] == 0x00) ? mkMpeg2Program : mkUnknown;
  }
  w.ReadAt(4, 8);
  if (w.Is("moov", 4) || (w.Is("ftyp", 4) && IsMp4Brand(w))) return mkMp4;
  w.ReadAt(8, 8);
  if (w.Is("matroska", 8)) return mkMatroska;
  w.ReadAt(0, 4);
  static constexpr unsigned char kAsfHeader[4] = {0x30, 0x26, 0xB2, 0x75};
  if (w.Is(kAsfHeader)) return mkAsf;  // tested after the MPEG audio sync, and wins
  // An ID3v2 tag in front of MPEG audio: major versions 2, 3 and 4 exist.
  if ((w[0] == 0xFF && (w[1] & 0xE0) == 0xE0) || (w.Is("ID3", 3) && w[3] >= 0x02 && w[3] <= 0x04)) return mkMpegAudio;
  return mkUnknown;
}

TMediaKind DetectMediaType(const std::string& fileName) {
  TMWFile file(fileName);
  return DetectMediaType(file);
}

}  // namespace qvr::engine
