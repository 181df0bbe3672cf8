// Drawing on pixels: raster operations, brush patterns, pen pixels with their styles, and fills through a DC's
// visible region. Callers hold the target canvas in a PixelScope; coordinates are canvas coordinates.
#pragma once

#include <optional>

#include "DeviceContext.h"

namespace win32::internal {

// The ternary raster operation `rop` (its truth table in bits 16..23) on pattern, source and destination.
uint32_t Rop3(uint32_t pattern, uint32_t source, uint32_t dest, DWORD rop);
// The binary raster operation (R2_*) of a pen pixel on the destination.
uint32_t Rop2(uint32_t pen, uint32_t dest, int mode);
bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);

// The brush's pixel at canvas point (x, y); none where it leaves the destination alone (a null brush, a hatch
// gap in TRANSPARENT mode).
std::optional<uint32_t> BrushPixel(const DeviceContext& dc, const Brush& brush, int x, int y);

// Fills `rect` with `brush` through the DC's visible region, combining with `rop` (PATCOPY for a fill).
void PaintRect(DeviceContext& dc, const RECT& rect, const Brush& brush, DWORD rop);
// Fills a region (canvas coordinates) with a brush.
void PaintRegion(DeviceContext& dc, const Region& region, const Brush& brush, DWORD rop);
// Inverts the pixels of rect where (x + y) is even relative to `anchor`: a side of a focus rectangle.
void InvertAlternate(DeviceContext& dc, const RECT& rect, POINT anchor);

// One pen pixel through the visible region and the DC's binary raster operation.
void PlotPen(DeviceContext& dc, int x, int y, uint32_t pixel);

// Where a styled line is in its dash pattern; a new figure starts it again.
struct PenStyleState {
    int position = 0;
};
// The line from a to b without b, with the DC's pen (cosmetic styles pixel by pixel, gaps in the background
// colour when OPAQUE; wider pens as square-ended strokes of the pen width).
void DrawPenLine(DeviceContext& dc, POINT a, POINT b, PenStyleState& style);
// A polygon's interior, filled with the DC's brush (even-odd rule) by pixel centres.
void FillPolygon(DeviceContext& dc, const POINT* points, int count);

} // namespace win32::internal
