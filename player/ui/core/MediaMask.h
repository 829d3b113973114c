// File-name masks: the list of media patterns that decides which files folder scans, shell drops,
// AddPath and playlist files accept, and the wildcard test behind it. Pure functions.
#pragma once

#include <string_view>

namespace qvr::ui {

// 39 patterns separated by ";".
inline constexpr std::string_view MediaMaskList =
    "*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;*.RA;*.TTA;"
    "*.WAV;*.WMA;*.WEBM;*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;"
    "*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.MOD";

// One wildcard pattern against a whole name, ASCII letter case ignored: "*" any run of
// characters (also none), "?" one character, "[...]" one character of the set (ranges "a-z",
// a leading "!" negates). A set without its closing "]" matches nothing.
bool MatchesMask(std::string_view name, std::string_view mask);

// `masks` split at ";" (after dropping one leading "\"): true at the first pattern that matches.
bool MatchesMaskList(std::string_view name, std::string_view masks);

}  // namespace qvr::ui
