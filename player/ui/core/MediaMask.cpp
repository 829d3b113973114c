#include "player/ui/core/MediaMask.h"

#include <cstddef>

namespace qvr::ui {
namespace {

unsigned char Lower(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Matches one character against the set starting after "[" at mask[i]; on success `next` is
// the index after the closing "]". Returns false for a set without "]".
bool MatchSet(std::string_view mask, size_t i, unsigned char c, bool& matched, size_t& next) {
  bool negate = false;
  if (i < mask.size() && mask[i] == '!') {
    negate = true;
    ++i;
  }
  bool found = false;
  bool first = true;
  while (i < mask.size() && (mask[i] != ']' || first)) {
    first = false;
    const unsigned char low = Lower(mask[i]);
    if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
      const unsigned char high = Lower(mask[i + 2]);
      if (c >= low && c <= high) found = true;
      i += 3;
    } else {
      if (c == low) found = true;
      ++i;
    }
  }
  if (i >= mask.size()) return false;
  matched = found != negate;
  next = i + 1;
  return true;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  // Greedy "*" with one backtrack point: linear in practice, O(n*m) at worst, no recursion.
  size_t n = 0, m = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size()) {
      const char p = mask[m];
      if (p == '*') {
        starMask = ++m;
        starName = n;
        continue;
      }
      if (p == '?') {
        ++n;
        ++m;
        continue;
      }
      if (p == '[') {
        bool matched = false;
        size_t next = 0;
        if (!MatchSet(mask, m + 1, Lower(name[n]), matched, next)) return false;
        if (matched) {
          ++n;
          m = next;
          continue;
        }
      } else if (Lower(p) == Lower(name[n])) {
        ++n;
        ++m;
        continue;
      }
    }
    if (starMask == std::string_view::npos) return false;
    m = starMask;
    n = ++starName;
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool MatchesMaskList(std::string_view name, std::string_view masks) {
  if (!masks.empty() && masks.front() == '\\') masks.remove_prefix(1);
  while (true) {
    const size_t end = masks.find(';');
    if (MatchesMask(name, masks.substr(0, end))) return true;
    if (end == std::string_view::npos) return false;
    masks.remove_prefix(end + 1);
  }
}

}  // namespace qvr::ui
