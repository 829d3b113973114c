// Prepares skin images for drawing: a decoded PNG (straight alpha) scaled to a target size and
// laid over an opaque fill colour, which is how a button strip gets its SkinColor background.
#pragma once

#include "player/resources/core/PngImage.h"
#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

// An opaque width x height image: `fill` everywhere, with `source` scaled to exactly that size
// (bilinear on premultiplied colour, so no fringe of the transparent pixels' colour) and
// composited over it. An empty source gives the fill alone.
resources::TBgraImage ComposeOverFill(const resources::TBgraImage& source, int width, int height, TColor fill);

}  // namespace qvr::ui
