// Drawing laid-out text into a DC: the background box in OPAQUE mode, the glyphs in the text colour, clipped to
// the DC's visible region and optionally to a rectangle. On a monochrome canvas the glyphs' edges are made
// black or white.
#pragma once

#include "DeviceContext.h"

namespace win32::internal {

// `at` is the canvas point of the layout's top-left corner; `clip` (canvas coordinates) limits the drawing
// when given; `opaque` fills the layout's box with the background colour first.
void DrawLayout(DeviceContext& dc, const TextLayout& layout, POINT at, const RECT* clip, bool opaque);

} // namespace win32::internal
