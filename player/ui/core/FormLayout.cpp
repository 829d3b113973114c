#include "player/ui/core/FormLayout.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <unordered_set>

namespace qvr::ui {

namespace {

// One axis of AnchoredBounds: start and extent of the control, design and current parent extent.
void AnchorAxis(int& start, int& extent, int designParent, int nowParent, bool nearEdge, bool farEdge) {
  if (nearEdge && farEdge) {
    extent = std::max(0, extent + nowParent - designParent);
  } else if (farEdge) {
    start += nowParent - designParent;
  } else if (!nearEdge && designParent > 0) {
    const int centre = start + extent / 2;
    start = MulDivRound(centre, nowParent, designParent) - extent / 2;
  }
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view line) : line_(line) {}

  // Next whitespace-separated token; a token may hold key="quoted value". False at the end.
  bool Next(std::string& token, std::string& error) {
    token.clear();
    while (pos_ < line_.size() && IsSpace(line_[pos_])) ++pos_;
    if (pos_ >= line_.size()) return false;
    bool quoted = false;
    for (; pos_ < line_.size(); ++pos_) {
      const char c = line_[pos_];
      if (quoted) {
        if (c == '\\' && pos_ + 1 < line_.size() && (line_[pos_ + 1] == '"' || line_[pos_ + 1] == '\\')) {
          token += line_[++pos_];
        } else if (c == '"') {
          quoted = false;
        } else {
          token += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (IsSpace(c)) {
        break;
      } else {
        token += c;
      }
    }
    if (quoted) {
      error = "unterminated quoted value";
      return false;
    }
    return true;
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t'; }
  std::string_view line_;
  size_t pos_ = 0;
};

bool ParseAnchors(std::string_view text, unsigned& anchors) {
  anchors = 0;
  if (text == "none") return true;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    if (word == "left") anchors |= akLeft;
    else if (word == "top") anchors |= akTop;
    else if (word == "right") anchors |= akRight;
    else if (word == "bottom") anchors |= akBottom;
    else return false;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return false;
  }
  return anchors != 0;
}

bool ParseAttribute(const std::string& token, TAttributes& attributes) {
  const size_t eq = token.find('=');
  if (eq == 0 || eq == std::string::npos) return false;
  attributes.emplace_back(token.substr(0, eq), token.substr(eq + 1));
  return true;
}

bool Fail(std::string& error, int line, std::string_view what) {
  error = "line " + std::to_string(line) + ": " + std::string(what);
  return false;
}

}  // namespace

TRect AnchoredBounds(const TRect& design, TSize parentDesign, TSize parentNow, unsigned anchors) {
  int left = design.Left, width = design.Width(), top = design.Top, height = design.Height();
  AnchorAxis(left, width, parentDesign.Width, parentNow.Width, anchors & akLeft, anchors & akRight);
  AnchorAxis(top, height, parentDesign.Height, parentNow.Height, anchors & akTop, anchors & akBottom);
  return {left, top, left + width, top + height};
}

const std::string* FindAttribute(const TAttributes& attributes, std::string_view key) {
  for (const auto& [name, value] : attributes)
    if (name == key) return &value;
  return nullptr;
}

std::optional<int> ParseIntValue(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<TColor> ParseColorValue(std::string_view text) {
  int parts[3];
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',');
    if ((i < 2) == (comma == std::string_view::npos)) return std::nullopt;
    const auto value = ParseIntValue(text.substr(0, comma));
    if (!value || *value < 0 || *value > 255) return std::nullopt;
    parts[i] = *value;
    text = i < 2 ? text.substr(comma + 1) : std::string_view{};
  }
  return Rgb(parts[0], parts[1], parts[2]);
}

std::optional<TSize> ParseSizeValue(std::string_view text) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto w = ParseIntValue(text.substr(0, x)), h = ParseIntValue(text.substr(x + 1));
  if (!w || !h || *w < 0 || *h < 0) return std::nullopt;
  return TSize{*w, *h};
}

bool ParseFormLayout(std::string_view text, TFormLayout& layout, std::string& error) {
  layout = {};
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::unordered_set<std::string> names;
  bool haveForm = false;
  int lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == ';' || line[first] == '#') continue;

    Tokenizer tokens(line);
    std::vector<std::string> words;
    std::string token, tokenError;
    while (tokens.Next(token, tokenError)) words.push_back(token);
    if (!tokenError.empty()) return Fail(error, lineNumber, tokenError);

    if (!haveForm) {
      if (words.size() < 4 || words[0] != "form") return Fail(error, lineNumber, "expected: form NAME WIDTH HEIGHT");
      const auto w = ParseIntValue(words[2]), h = ParseIntValue(words[3]);
      if (!w || !h || *w <= 0 || *h <= 0) return Fail(error, lineNumber, "bad form size");
      layout.Name = words[1];
      layout.Size = {*w, *h};
      for (size_t i = 4; i < words.size(); ++i)
        if (!ParseAttribute(words[i], layout.Attributes)) return Fail(error, lineNumber, "bad attribute '" + words[i] + "'");
      names.insert(layout.Name);
      haveForm = true;
      continue;
    }
    if (words.size() < 8) return Fail(error, lineNumber, "expected: NAME KIND PARENT LEFT TOP WIDTH HEIGHT ANCHORS");
    TLayoutEntry entry;
    entry.Name = words[0];
    entry.Kind = words[1];
    entry.Parent = words[2];
    entry.Line = lineNumber;
    if (!names.insert(entry.Name).second) return Fail(error, lineNumber, "duplicate name '" + entry.Name + "'");
    if (entry.Parent == entry.Name || !names.contains(entry.Parent))
      return Fail(error, lineNumber, "unknown parent '" + entry.Parent + "'");
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
      const auto value = ParseIntValue(words[3 + i]);
      // Screen coordinates are 16-bit in places; anything past that is a typing error.
      if (!value || *value < -32768 || *value > 32767 || (i >= 2 && *value < 0)) return Fail(error, lineNumber, "bad bounds");
      numbers[i] = *value;
    }
    entry.Bounds = {numbers[0], numbers[1], numbers[0] + numbers[2], numbers[1] + numbers[3]};
    if (!ParseAnchors(words[7], entry.Anchors)) return Fail(error, lineNumber, "bad anchors '" + words[7] + "'");
    for (size_t i = 8; i < words.size(); ++i)
      if (!ParseAttribute(words[i], entry.Attributes)) return Fail(error, lineNumber, "bad attribute '" + words[i] + "'");
    layout.Components.push_back(std::move(entry));
  }
  if (!haveForm) return Fail(error, lineNumber, "no form declaration");
  return true;
}

}  // namespace qvr::ui
