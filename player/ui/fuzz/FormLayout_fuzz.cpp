// The form-layout parser over arbitrary text: no crash, no sanitizer report, and a parsed
// layout's components always name a parent declared before them.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "player/ui/core/FormLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvr::ui::TFormLayout layout;
  std::string error;
  if (!qvr::ui::ParseFormLayout(std::string_view(reinterpret_cast<const char*>(data), size), layout, error)) return 0;
  std::set<std::string> seen{layout.Name};
  for (const auto& entry : layout.Components) {
    if (!seen.contains(entry.Parent)) __builtin_trap();
    seen.insert(entry.Name);
    const qvr::ui::TSize now{static_cast<int>(size % 4000) + 1, static_cast<int>(size % 3000) + 1};
    const qvr::ui::TRect r = qvr::ui::AnchoredBounds(entry.Bounds, layout.Size, now, entry.Anchors);
    if (r.Width() < 0 || r.Height() < 0) __builtin_trap();
  }
  return 0;
}
