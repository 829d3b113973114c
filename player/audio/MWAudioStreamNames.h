// Gathering the names of a multi-stream source's audio streams from the filters of a graph: a
// stream-selecting splitter, a splitter with track information, the property bags of the AVI
// splitters, and for those the ".mss" side file or the AVI stream headers of the file itself.
// The rules that turn what is found into entries live in core/MWStreamNames.
//
// Called by the audio filter on the graph's thread while its output pin connects.
#pragma once

#include <cstddef>
#include <string>

#include "common/win/DirectShow.h"
#include "player/audio/core/MWStreamNames.h"

namespace qvr::audio {

// {03E98D51-DDE7-43AA-B70C-42EF84A3A23D}: track information offered by some splitters. Only the
// track count and each track's type, default flag, language code and name are used. The record
// is byte-packed, as the splitters declare it: they fill it by that layout, whatever ours is.
#pragma pack(push, 1)
struct TMWTrackElement {
  WORD Size;  // sizeof(TMWTrackElement), set by the caller (the splitters set it again)
  BYTE Type;  // 1 video, 2 audio, ...
  BOOL FlagDefault;
  BOOL FlagForced;
  BOOL FlagLacing;
  UINT MinCache;
  UINT MaxCache;
  CHAR Language[4];  // ISO 639-2, zero-terminated
};
#pragma pack(pop)
static_assert(sizeof(TMWTrackElement) == 27, "the splitters' track record is 27 bytes");
static_assert(offsetof(TMWTrackElement, Type) == 2 && offsetof(TMWTrackElement, FlagDefault) == 3 &&
                  offsetof(TMWTrackElement, FlagForced) == 7 && offsetof(TMWTrackElement, FlagLacing) == 11 &&
                  offsetof(TMWTrackElement, MinCache) == 15 && offsetof(TMWTrackElement, MaxCache) == 19 &&
                  offsetof(TMWTrackElement, Language) == 23,
              "the splitters' track record is byte-packed");

struct ITrackInfo : public IUnknown {
  virtual UINT STDMETHODCALLTYPE GetTrackCount() = 0;
  virtual BOOL STDMETHODCALLTYPE GetTrackInfo(UINT track, TMWTrackElement* element) = 0;
  virtual BOOL STDMETHODCALLTYPE GetTrackExtendedInfo(UINT track, void* info) = 0;
  virtual BSTR STDMETHODCALLTYPE GetTrackCodecID(UINT track) = 0;
  virtual BSTR STDMETHODCALLTYPE GetTrackName(UINT track) = 0;
  virtual BSTR STDMETHODCALLTYPE GetTrackCodecName(UINT track) = 0;
  virtual BSTR STDMETHODCALLTYPE GetTrackCodecInfoURL(UINT track) = 0;
  virtual BSTR STDMETHODCALLTYPE GetTrackCodecDownloadURL(UINT track) = 0;
};

// The splitters whose streams are named by their own IAMStreamSelect.
inline constexpr CLSID kClsidStreamSelectSplitter = {0xF07E245F, 0x5A1F, 0x4D1E, {0x8B, 0xFF, 0xDC, 0x31, 0xD8, 0x4A, 0x55, 0xAB}};
// The system's AVI Splitter, whose properties are saved into a media property bag.
inline constexpr CLSID kClsidAviSplitter = {0x1B544C20, 0xFD0B, 0x11CE, {0x8C, 0x63, 0x00, 0xAA, 0x00, 0x44, 0xB5, 0x1E}};
// Splitters that offer their own IPropertyBag.
inline constexpr CLSID kClsidBagSplitterA = {0x9736D831, 0x9D6C, 0x4E72, {0xB6, 0xE7, 0x56, 0x0E, 0xF9, 0x18, 0x10, 0x01}};
inline constexpr CLSID kClsidBagSplitterB = {0xCEA8DEFF, 0x0AF7, 0x4DB9, {0x9A, 0x38, 0xFB, 0x3C, 0x3A, 0xEF, 0xC0, 0xDE}};

// The names of the graph's audio streams, in stream order, and the stream to enable.
TMWStreamNames CollectStreamNames(IFilterGraph* graph);

// The system's language name of an LCID (LOCALE_SLANGUAGE), empty when it has none.
std::wstring SystemLanguageName(uint32_t lcid);

}  // namespace qvr::audio

__CRT_UUID_DECL(qvr::audio::ITrackInfo, 0x03E98D51, 0xDDE7, 0x43AA, 0xB7, 0x0C, 0x42, 0xEF, 0x84, 0xA3, 0xA2, 0x3D)
