// The executable's resources read back at run time: the codec lists byte for byte, every button
// strip at its size through libpng into a DIB, the bitmaps, icons and the form layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/testing/WinTestSupport.h"
#include "player/engine/core/CodecList.h"
#include "player/resources/ResourceLoader.h"

namespace {

using namespace qvr::resources;

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

TEST(ResourceLoader, CodecListsReadBackExactlyAsBuilt) {
  for (const char* name : {"RESCODECS", "BLACKLIST"}) {
    std::string text;
    ASSERT_EQ(S_OK, LoadTextResource(Self(), name, kCodecsResourceType, text)) << name;
    const std::string file = ReadFileBytes(qvr::testing::ExeDirectory() + L"testdata\\" +
                                           std::wstring(name, name + std::char_traits<char>::length(name)) + L".txt");
    ASSERT_FALSE(file.empty()) << name;
    EXPECT_EQ(file, text) << name;
    EXPECT_NE(std::string::npos, text.find("\r\n")) << name << " must keep its CR LF line ends";
  }
  std::string codecs, blacklist;
  ASSERT_EQ(S_OK, LoadTextResource(Self(), "RESCODECS", kCodecsResourceType, codecs));
  ASSERT_EQ(S_OK, LoadTextResource(Self(), "BLACKLIST", kCodecsResourceType, blacklist));
  const auto entries = qvr::engine::ParseCodecList(codecs);
  ASSERT_EQ(15u, entries.size());
  EXPECT_EQ("{C9ECE7B3-1D8E-41F5-9F24-B255DF16C087}", entries[2].ClsidText);
  EXPECT_EQ("MPC - FLV Source (Brevik)", entries[2].Name);
  EXPECT_EQ("FLVSplitter.ax", entries[2].ModulePath);
  EXPECT_EQ("LAV\\LAVVideo.ax", entries[14].ModulePath);
  const auto blocked = qvr::engine::ParseBlacklist(blacklist);
  ASSERT_EQ(9u, blocked.size());
  EXPECT_EQ("DirectVobSub (auto-loading version)", blocked[0].Name);
  EXPECT_EQ("MPC - MPA Decoder Filter", blocked[8].Name);
}

TEST(ResourceLoader, EveryButtonStripDecodesAtItsSize) {
  struct Strip {
    const char* name;
    LONG width, height;
  };
  const Strip strips[] = {{"biclose", 68, 19},      {"bimax", 68, 19},       {"bimin", 68, 19},
                          {"btn_add", 92, 19},      {"btn_rem", 92, 19},     {"btn_sort", 84, 19},
                          {"btn_audoff", 92, 19},   {"btn_audon", 92, 19},   {"btn_fs", 132, 23},
                          {"btn_playlist", 132, 23}, {"btn_playlist2", 132, 23}, {"btn_next", 136, 23},
                          {"btn_prev", 136, 23},    {"btn_open", 140, 23},   {"btn_stop", 140, 23},
                          {"btn_play", 224, 23},    {"btn_pause", 224, 23},  {"BTN_REPEAT", 64, 16},
                          {"Btn_Repeat", 64, 16}};  // names are case-insensitive
  for (const Strip& s : strips) {
    qvr::unique_hbitmap bitmap;
    SIZE size{};
    ASSERT_EQ(S_OK, LoadPngResource(Self(), s.name, bitmap, &size)) << s.name;
    EXPECT_EQ(s.width, size.cx) << s.name;
    EXPECT_EQ(s.height, size.cy) << s.name;
    DIBSECTION dib{};
    ASSERT_EQ(static_cast<int>(sizeof dib), ::GetObjectW(bitmap.get(), sizeof dib, &dib)) << s.name;
    EXPECT_EQ(s.width, dib.dsBm.bmWidth) << s.name;
    EXPECT_EQ(s.height, dib.dsBm.bmHeight) << s.name;
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel) << s.name;
  }
}

TEST(ResourceLoader, DecodedPixelsReachTheDib) {
  // The title-bar strips are drawn on the skin colour RGB(108,120,129); their corners show it.
  qvr::unique_hbitmap bitmap;
  ASSERT_EQ(S_OK, LoadPngResource(Self(), "biclose", bitmap));
  qvr::unique_mem_dc dc(::CreateCompatibleDC(nullptr));
  const HGDIOBJ old = ::SelectObject(dc.get(), bitmap.get());
  EXPECT_EQ(RGB(108, 120, 129), ::GetPixel(dc.get(), 0, 0));
  EXPECT_EQ(RGB(108, 120, 129), ::GetPixel(dc.get(), 67, 18));
  ::SelectObject(dc.get(), old);
}

TEST(ResourceLoader, BitmapsIconsAndFormsArePresent) {
  struct Bmp {
    const char* name;
    LONG width, height;
  };
  for (const Bmp& b : {Bmp{"top", 3, 33}, Bmp{"voln", 12, 10}, Bmp{"vold", 12, 10}, Bmp{"volds", 12, 10},
                       Bmp{"seekd", 1, 10}, Bmp{"Seekb", 1, 10}}) {
    qvr::unique_hbitmap bitmap(static_cast<HBITMAP>(::LoadImageA(Self(), b.name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ASSERT_TRUE(bitmap) << b.name;
    BITMAP info{};
    ASSERT_NE(0, ::GetObjectW(bitmap.get(), sizeof info, &info));
    EXPECT_EQ(b.width, info.bmWidth) << b.name;
    EXPECT_EQ(b.height, info.bmHeight) << b.name;
  }
  for (const char* name : {"MAINICON", "XICONQUESTION", "ZMEDIAFILE"}) {
    HICON icon = static_cast<HICON>(::LoadImageA(Self(), name, IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(nullptr, icon) << name;
    ::DestroyIcon(icon);
  }
  std::string form;
  ASSERT_EQ(S_OK, LoadTextResource(Self(), "TFRMQVRPLAYER", "FORM", form));
  EXPECT_NE(std::string::npos, form.find("pScreen skinpanel frmQVRPlayer 2 36 566 283"));
}

TEST(ResourceLoader, MissingResourcesSayWhy) {
  std::string text;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), LoadTextResource(Self(), "NOPE", kCodecsResourceType, text));
  EXPECT_TRUE(text.empty());
  qvr::unique_hbitmap bitmap;
  // "top" and "RESCODECS" exist, but not as "PNG" images.
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), LoadPngResource(Self(), "top", bitmap));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), LoadPngResource(Self(), "RESCODECS", bitmap));
  EXPECT_FALSE(bitmap);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), LoadTextResource(Self(), "RESCODECS", "NOTYPE", text));
}

}  // namespace
