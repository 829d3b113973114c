// Container detection on files the test writes, one table row per container rule.
#include "player/engine/core/MWFileFormat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace qvr::engine;

std::string TempPath(const std::string& name) {
  // The test runs in its build folder, natively and under Windows alike.
  return name;
}

std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
  std::vector<unsigned char> b;
  for (int v : values) b.push_back(static_cast<unsigned char>(v));
  return b;
}
std::vector<unsigned char> Text(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<unsigned char> At(size_t offset, std::vector<unsigned char> head, std::vector<unsigned char> tail) {
  head.resize(std::max(head.size(), offset), 0);
  head.insert(head.begin() + static_cast<long>(offset), tail.begin(), tail.end());
  return head;
}

class DetectTest : public ::testing::Test {
 protected:
  TMediaKind Detect(const std::vector<unsigned char>& content) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    EXPECT_NE(nullptr, f);
    if (!content.empty()) std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return DetectMediaType(path_);
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_ = TempPath("qvr-detect-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
};

TEST_F(DetectTest, RecognisesEveryContainerByContent) {
  struct Case {
    const char* what;
    std::vector<unsigned char> content;
    TMediaKind kind;
  };
  const std::vector<unsigned char> kPack = Bytes({0x00, 0x00, 0x01, 0xBA});
  const Case cases[] = {
      {"AVI", At(8, Text("RIFF\x10\0\0\0"), Text("AVI LIST")), mkAvi},
      {"WAVE", At(8, Text("RIFF"), Text("WAVEfmt ")), mkWave},
      {"CDDA", At(8, Text("RIFF"), Text("CDDA")), mkCdAudio},
      {"CDXA with data", At(36, At(8, Text("RIFF"), Text("CDXA")), Text("data")), mkMpeg1Program},
      {"CDXA without data", At(36, At(8, Text("RIFF"), Text("CDXA")), Text("junk")), mkUnknown},
      {"other RIFF", At(8, Text("RIFF"), Text("RMID")), mkUnknown},
      {"FLV", Text("FLV\x01\x05"), mkFlv},
      {"Ogg Vorbis", At(29, Text("OggS"), Text("vorbis")), mkOggVorbis},
      {"Ogg video", At(29, Text("OggS"), Text("video\x01")), mkOggVideo},
      {"Ogg other", At(29, Text("OggS"), Text("theora")), mkUnknown},
      {"RealMedia", Text(".RMF\0\0\0\x12"), mkRealMedia},
      {"MPEG-1 PS", At(12, kPack, Bytes({0x00, 0x00, 0x01, 0xBB})), mkMpeg1Program},
      {"MPEG-2 PS", At(12, kPack, Bytes({0x47, 0xF8, 0x00, 0x00})), mkMpeg2Program},
      {"pack header, neither", At(12, kPack, Bytes({0x00, 0x00, 0x01, 0xE0})), mkUnknown},
      {"moov", At(4, Bytes({0, 0, 0, 8}), Text("moov")), mkMp4},
      {"ftyp qt", At(4, Bytes({0, 0, 0, 20}), Text("ftypqt  ")), mkMp4},
      {"ftyp mp42", At(4, Bytes({0, 0, 0, 20}), Text("ftypmp42")), mkMp4},
      {"ftyp 3gp4", At(4, Bytes({0, 0, 0, 20}), Text("ftyp3gp4")), mkMp4},
      {"ftyp isom", At(4, Bytes({0, 0, 0, 20}), Text("ftypisom")), mkMp4},
      {"ftyp other brand (HEIF image)", At(4, Bytes({0, 0, 0, 20}), Text("ftypheic")), mkUnknown},
      {"ftyp other brand (JPEG 2000)", At(4, Bytes({0, 0, 0, 20}), Text("ftypjp2 ")), mkUnknown},
      {"ftyp brand cut short", At(4, Bytes({0, 0, 0, 20}), Text("ftypmp4")), mkUnknown},
      {"ftyp brand in lower case is another brand", At(4, Bytes({0, 0, 0, 20}), Text("ftypm4a ")), mkUnknown},
      {"Matroska", At(8, Bytes({0x1A, 0x45, 0xDF, 0xA3, 0x93, 0x42, 0x82, 0x88}), Text("matroska")), mkMatroska},
      {"WebM is not detected", At(8, Bytes({0x1A, 0x45, 0xDF, 0xA3, 0x93, 0x42, 0x82, 0x84}), Text("webm\x42\x87")), mkUnknown},
      {"MPEG audio frame", Bytes({0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0}), mkMpegAudio},
      {"MPEG-2.5 audio frame (11-bit sync)", Bytes({0xFF, 0xE3, 0x18, 0xC4, 0, 0, 0, 0}), mkMpegAudio},
      {"ID3 v2.3", Text("ID3\x03\0\0\0\0\0\x21"), mkMpegAudio},
      {"ID3 v2.4", Text("ID3\x04\0\0\0\0\0\x21"), mkMpegAudio},
      {"ID3 v2.2", Text("ID3\x02\0\0\0\0\0\x21"), mkMpegAudio},
      {"ID3 with no such version", Text("ID3\x05\0\0\0\0\0\x21"), mkUnknown},
      {"ID3 version byte 1", Text("ID3\x01\0\0\0\0\0\x21"), mkUnknown},
      {"ID3 cut after the magic", Text("ID3"), mkUnknown},
      {"ASF", Bytes({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9}), mkAsf},
      {"empty file", {}, mkUnknown},
      {"two bytes", Text("FL"), mkUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(int{c.kind}, int{Detect(c.content)}) << c.what;
}

TEST_F(DetectTest, RecognisesTheIsoMediaBrands) {
  for (const char* brand : {"mp41", "mp42", "isom", "iso2", "iso3", "iso4", "iso5", "iso6", "M4A ", "M4V ", "avc1", "dash",
                            "f4v ", "qt  ", "3gp4", "3gp5", "3gp6", "3gpx", "3g2a", "3g2b"}) {
    const auto content = At(4, Bytes({0, 0, 0, 24}), Text(std::string("ftyp") + brand + std::string("\0\0\0\0isom", 8)));
    EXPECT_EQ(int{mkMp4}, int{Detect(content)}) << brand;
  }
  for (const char* brand : {"iso1", "iso7", "mp40", "3g", "3gq4", "M4B?", "avc2", "f4v?", "crx ", "    "}) {
    const auto content = At(4, Bytes({0, 0, 0, 24}), Text(std::string("ftyp") + std::string(brand).append(4, ' ').substr(0, 4)));
    EXPECT_EQ(int{mkUnknown}, int{Detect(content)}) << brand;
  }
}

TEST(Detect, MemoryReaderDetectsLikeAFile) {
  const std::string ogg = std::string("OggS", 4) + std::string(25, '\0') + "vorbis";
  TMWMemoryFile reader(ogg.data(), ogg.size());
  EXPECT_EQ(mkOggVorbis, DetectMediaType(reader));
  // Past the end: the seek succeeds, the read is empty, and the bytes beyond are not touched.
  char buffer[4] = {'x', 'x', 'x', 'x'};
  size_t transferred = 7;
  ASSERT_TRUE(reader.Seek(ogg.size() + 10));
  EXPECT_TRUE(reader.Read(buffer, sizeof buffer, &transferred));
  EXPECT_EQ(0u, transferred);
  EXPECT_EQ('x', buffer[0]);
  EXPECT_TRUE(reader.Eof());
  ASSERT_TRUE(reader.Seek(ogg.size() - 2));
  EXPECT_TRUE(reader.Read(buffer, sizeof buffer, &transferred));
  EXPECT_EQ(2u, transferred);
  EXPECT_EQ(std::string("is"), std::string(buffer, 2));
  TMWMemoryFile empty(nullptr, 0);
  EXPECT_EQ(mkUnknown, DetectMediaType(empty));
}

TEST_F(DetectTest, ShortReadsKeepTheRestOfTheWindow) {
  // Six bytes: the read at offset 4 brings only "mo", and "ov" stays from the first read.
  EXPECT_EQ(int{mkMp4}, int{Detect(Text("xxovmo"))});
  // A pack header cut off after two bytes at offset 12: "01 BA" stays from the first read, so
  // this is not the MPEG-2 "?? F8 00 00".
  EXPECT_EQ(int{mkUnknown}, int{Detect(At(12, Bytes({0x00, 0x00, 0x01, 0xBA}), Bytes({0x44, 0xF8})))});
}

TEST(Detect, MissingFileIsUnknown) {
  EXPECT_EQ(mkUnknown, DetectMediaType(TempPath("qvr-no-such-file.bin")));
  TMWFile file(TempPath("qvr-no-such-file.bin"));
  EXPECT_FALSE(file.Opened());
  char buffer[4];
  EXPECT_FALSE(file.Read(buffer, 4));
  EXPECT_FALSE(file.Seek(0));
}

}  // namespace
