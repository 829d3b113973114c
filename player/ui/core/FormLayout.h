// Form layouts: the text resources ("FORM") that declare a form's components in creation order
// with their kind, parent, design bounds, anchors and attributes, and the anchor arithmetic that
// keeps them in place when a parent is resized. Pure functions over text and numbers.
//
// A layout is UTF-8 text, one declaration a line; ";" or "#" starts a comment line:
//   form NAME WIDTH HEIGHT [key=value ...]
//   NAME KIND PARENT LEFT TOP WIDTH HEIGHT ANCHORS [key=value ...]
// PARENT is the form's name or a component declared above; ANCHORS is "none" or a comma list of
// left, top, right, bottom. A value is a bare word or a double-quoted string with \" and \\.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
inline constexpr unsigned kDefaultAnchors = akLeft | akTop;

struct TSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Where a control with these design bounds and anchors goes once its parent, designed at
// `parentDesign`, measures `parentNow`. An edge anchored on both sides keeps both distances (the
// extent never goes below 0); anchored on the far side only, the control moves with that edge;
// anchored on neither, the control's centre keeps its proportional place.
TRect AnchoredBounds(const TRect& design, TSize parentDesign, TSize parentNow, unsigned anchors);

using TAttributes = std::vector<std::pair<std::string, std::string>>;

// The value of `key` in declaration order's first match; none when absent.
const std::string* FindAttribute(const TAttributes& attributes, std::string_view key);

struct TLayoutEntry {
  std::string Name;
  std::string Kind;
  std::string Parent;
  TRect Bounds;  // design bounds in the parent's client area
  unsigned Anchors = kDefaultAnchors;
  TAttributes Attributes;
  int Line = 0;  // 1-based line of the declaration
};

struct TFormLayout {
  std::string Name;
  TSize Size;  // design client size
  TAttributes Attributes;
  std::vector<TLayoutEntry> Components;  // creation order
};

// Parses a whole layout. On failure returns false with "line N: what" in `error`; `layout` is
// then unspecified.
bool ParseFormLayout(std::string_view text, TFormLayout& layout, std::string& error);

// Attribute values: "r,g,b" colours (0..255 each), decimal integers, "WxH" sizes and 0/1 flags.
std::optional<TColor> ParseColorValue(std::string_view text);
std::optional<int> ParseIntValue(std::string_view text);
std::optional<TSize> ParseSizeValue(std::string_view text);

}  // namespace qvr::ui
