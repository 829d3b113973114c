#include "player/app/core/CopyData.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace qvr::app;

TEST(CopyData, ReadsAtMostTheGivenBytesAndStopsAtAZero) {
  const char bytes[] = "C:\\a.mp3\0junk";
  EXPECT_EQ("C:\\a.mp3", CopyDataBytes(bytes, sizeof bytes));
  EXPECT_EQ("C:\\a", CopyDataBytes(bytes, 4));  // no terminating zero needed; nothing read past 4
  EXPECT_EQ("", CopyDataBytes(bytes, 0));
  EXPECT_EQ("", CopyDataBytes(nullptr, 12));
  EXPECT_EQ("", CopyDataBytes("\0abc", 4));
}

TEST(CopyData, DwDataChoosesUtf8OrTheSystemCodePage) {
  const qvr::TLatin1CodePage latin1;
  const std::string cyrillic = "C:\\\xD0\x9C\xD1\x83\xD0\xB7\\\xF0\x9F\x8E\xB5.mp3";  // C:\Муз\🎵.mp3
  EXPECT_EQ(cyrillic, DecodeCopyDataPath(kCopyDataUtf8, cyrillic.data(), cyrillic.size(), latin1));
  // The same bytes from another program (dwData 0, or anything but the marker) are code-page text.
  EXPECT_EQ("C:\\\xC3\x90\xC2\x9C", DecodeCopyDataPath(0, cyrillic.data(), 5, latin1));
  EXPECT_EQ("caf\xC3\xA9", DecodeCopyDataPath(0, "caf\xE9", 4, latin1));
  EXPECT_EQ("caf\xC3\xA9", DecodeCopyDataPath(1, "caf\xE9", 4, latin1));
  // Broken UTF-8 under the marker is replaced, never cut into another name.
  EXPECT_EQ("caf\xEF\xBF\xBD.mp3", DecodeCopyDataPath(kCopyDataUtf8, "caf\xE9.mp3", 8, latin1));
  EXPECT_EQ("", DecodeCopyDataPath(kCopyDataUtf8, cyrillic.data(), 0, latin1));
}

}  // namespace
