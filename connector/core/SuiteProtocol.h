// The connector's side of the suite application's fixed points: names, commands and codes, and
// the text conversions between the browser (UTF-16) and the suite (single-byte texts, Tcl
// commands). Pure functions; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvr::connector {

// The suite's DDE server, its commands and its window.
inline constexpr char16_t kSuiteService[] = u"TclEval";
inline constexpr char16_t kSuiteTopic[] = u"QVRSuite";
inline constexpr char16_t kRecordStartCommand[] = u"record start";
inline constexpr char16_t kRecordStopCommand[] = u"record stop";
inline constexpr char16_t kRecordCheckCommand[] = u"record check";
inline constexpr char16_t kSuiteWindowTitle[] = u"QVR_SUITE_CD_CONNECTOR";
inline constexpr uintptr_t kSuiteTextCode = 100;  // dwData of the text sent to the suite's window

// The connector's own DDE server and input window, which the suite talks to.
inline constexpr char16_t kConnectorService[] = u"FireFox.QVRSuite";
inline constexpr char16_t kConnectorTopic[] = u"Recording";
inline constexpr char16_t kInputWindowName[] = u"FIREFOX_TOOLBAR_CONNECTOR";  // class and title

// Observer topics the connector raises.
inline constexpr char kRecordButtonTopic[] = "QVR.Suite-RecordButton-Status";

// The observer topic of an input-window message code (dwData), or null for a code that has none.
const char* InputMessageTopic(uintptr_t code);

// The Tcl command that hands a page URL to the suite: "url {" + URL + "}". "{", "}" and "\"
// are percent-encoded so that the URL stays one literal braced word whatever the page put in
// it (none of the three is valid unencoded in a URL, so the suite sees the same address);
// any other URL goes out unchanged.
std::u16string UrlCommand(std::u16string_view url);

// UTF-16 to the suite's single-byte text: code units 0..255 become bytes of the same value, and
// the text ends before the first code unit above 255.
std::string ToSingleByteText(std::u16string_view text);

// A single-byte text from the suite to UTF-16, byte for code unit (ISO 8859-1).
std::u16string WidenSingleByteText(std::string_view text);

// The text of a WM_COPYDATA from the suite: up to its first NUL, and never beyond the `size`
// bytes that arrived.
std::string_view CopyDataText(const void* data, size_t size);

// The UTF-16 text of a DDE execute: up to its first NUL, and never beyond the `size` bytes.
std::u16string ExecuteText(const void* data, size_t size);

}  // namespace qvr::connector
