// Container detection by content, for local files the system cannot open by itself. The byte
// tests are a pure function over a small reader, so they run the same everywhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qvr::engine {

// Container kind codes, as the engine's source choice uses them.
enum TMediaKind : uint8_t {
  mkUnknown = 0,
  mkAvi = 1,
  mkWave = 2,
  mkCdAudio = 3,
  mkOggVorbis = 4,
  mkOggVideo = 5,
  mkRealMedia = 6,
  mkMpeg1Program = 7,
  mkMpeg2Program = 8,
  mkMp4 = 9,
  mkMatroska = 10,
  mkMpegAudio = 11,
  mkAsf = 12,
  mkFlv = 13,
  mkWebM = 14,  // never detected: only the ".webm" extension leads there
};

// A read-only byte source. Read transfers what exists (a read at the end is short, not an
// error); both return false only when the source is unusable.
class TMWCustomFile {
 public:
  virtual ~TMWCustomFile() = default;
  virtual bool Opened() const = 0;
  virtual bool Seek(uint64_t position) = 0;
  virtual bool Read(void* buffer, size_t count, size_t* transferred = nullptr) = 0;
  virtual bool Eof() = 0;
};

// A file opened read-only, others denied write access while it is open; the name is UTF-8 (on
// Windows it is opened by its UTF-16 form). Not copyable.
class TMWFile final : public TMWCustomFile {
 public:
  explicit TMWFile(const std::string& fileName);
  TMWFile(const TMWFile&) = delete;
  TMWFile& operator=(const TMWFile&) = delete;
  ~TMWFile() override;

  bool Opened() const override { return file_ != nullptr; }
  bool Seek(uint64_t position) override;
  bool Read(void* buffer, size_t count, size_t* transferred = nullptr) override;
  bool Eof() override;
  int LastResult() const { return last_result_; }  // 0 after a successful operation

 private:
  std::string file_name_;
  std::FILE* file_ = nullptr;
  int last_result_ = 0;
};

// Bytes held in memory (not copied: they must outlive the reader). Like a file, a seek beyond
// the end succeeds and the reads there are empty.
class TMWMemoryFile final : public TMWCustomFile {
 public:
  TMWMemoryFile(const void* data, size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}

  bool Opened() const override { return true; }
  bool Seek(uint64_t position) override;
  bool Read(void* buffer, size_t count, size_t* transferred = nullptr) override;
  bool Eof() override { return position_ >= size_; }

 private:
  const unsigned char* data_;
  size_t size_;
  uint64_t position_ = 0;
};

TMediaKind DetectMediaType(TMWCustomFile& file);
TMediaKind DetectMediaType(const std::string& fileName);

}  // namespace qvr::engine
