// Lines, rectangles, polygons, pattern fills and single pixels.
#include <algorithm>
#include <vector>

#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/Raster.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

RECT Normalized(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

// Draws the connected lines through `points` (canvas coordinates) continuing the DC's dash pattern.
void DrawLines(DeviceContext& d, const std::vector<POINT>& points) {
    PenStyleState style{d.lineStyle};
    for (size_t i = 1; i < points.size(); ++i)
        DrawPenLine(d, points[i - 1], points[i], style);
    d.lineStyle = style.position;
}

std::vector<POINT> ToCanvas(const DeviceContext& d, const POINT* points, int count) {
    std::vector<POINT> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.push_back(d.ToCanvas(points[i].x, points[i].y));
    return out;
}

RECT BoundsOf(const POINT* points, int count) {
    RECT r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (int i = 1; i < count; ++i) {
        r.left = std::min(r.left, points[i].x);
        r.top = std::min(r.top, points[i].y);
        r.right = std::max(r.right, points[i].x);
        r.bottom = std::max(r.bottom, points[i].y);
    }
    return r;
}

} // namespace

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    if (previous)
        *previous = d->state.position;
    d->state.position = POINT{x, y};
    d->lineStyle = 0;
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC dc, LPPOINT position) {
    auto d = LookupDC(dc);
    if (!d || !position)
        return FALSE;
    *position = d->state.position;
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    POINT from = d->state.position;
    LogGdiCall(*d, "LineTo", RECT{from.x, from.y, x, y});
    {
        PixelScope scope(d->Target());
        DrawLines(*d, {d->ToCanvas(from.x, from.y), d->ToCanvas(x, y)});
    }
    d->state.position = POINT{x, y};
    return TRUE;
}

namespace {

// Lines through the points, and a closed figure filled with the brush first.
BOOL DrawFigure(HDC dc, const POINT* points, int count, bool closed) {
    auto d = LookupDC(dc);
    if (!d || !points || count < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LogGdiCall(*d, closed ? "Polygon" : "Polyline", BoundsOf(points, count));
    PixelScope scope(d->Target());
    std::vector<POINT> canvas = ToCanvas(*d, points, count);
    if (closed) {
        FillPolygon(*d, canvas.data(), count);
        canvas.push_back(canvas.front());
    }
    d->lineStyle = 0;
    DrawLines(*d, canvas);
    return TRUE;
}

} // namespace

BOOL Polyline(HDC dc, const POINT* points, int count) {
    return DrawFigure(dc, points, count, false);
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    return DrawFigure(dc, points, count, true);
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    RECT logical = Normalized(left, top, right, bottom);
    LogGdiCall(*d, "Rectangle", logical);
    RECT r = d->ToCanvas(logical);
    PixelScope scope(d->Target());
    const Pen* pen = d->state.pen.get();
    bool outline = pen && pen->Style() != PS_NULL;
    int inset = outline ? pen->width : 0;
    if (d->state.brush) {
        // Without an outline the platform fills one pixel less to the right and bottom.
        RECT inside = outline ? RECT{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset}
                              : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
        PaintRect(*d, inside, *d->state.brush, PATCOPY);
    }
    if (!outline || r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    if (pen->width > 1) {
        // A wide outline lies inside the rectangle.
        Brush solid;
        solid.style = BS_SOLID;
        solid.color = d->PenColor();
        int w = pen->width;
        for (const RECT& side :
             {RECT{r.left, r.top, r.right, r.top + w}, RECT{r.left, r.bottom - w, r.right, r.bottom},
              RECT{r.left, r.top, r.left + w, r.bottom}, RECT{r.right - w, r.top, r.right, r.bottom}})
            PaintRect(*d, side, solid, PATCOPY);
        return TRUE;
    }
    d->lineStyle = 0;
    DrawLines(*d, {POINT{r.left, r.top}, POINT{r.right - 1, r.top}, POINT{r.right - 1, r.bottom - 1},
                   POINT{r.left, r.bottom - 1}, POINT{r.left, r.top}});
    // A one-pixel-high or -wide rectangle's line ends where it began: finish it.
    if (r.right - r.left == 1 || r.bottom - r.top == 1)
        PlotPen(*d, r.left, r.top, PixelOf(d->PenColor()));
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    if (RopUsesSource(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT logical = Normalized(x, y, x + width, y + height);
    LogGdiCall(*d, "PatBlt", logical, rop);
    PixelScope scope(d->Target());
    Brush none;
    none.style = BS_NULL;
    PaintRect(*d, d->ToCanvas(logical), d->state.brush ? *d->state.brush : none, rop);
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    auto d = LookupDC(dc);
    if (!d)
        return CLR_INVALID;
    POINT p = d->ToCanvas(x, y);
    PixelScope scope(d->Target());
    if (!d->Visible().Contains(p.x, p.y))
        return CLR_INVALID;
    uint32_t pixel = PixelOf(color);
    if (d->Target().Mono())
        pixel = MonoPixel(pixel);
    d->Target().Row(p.y)[p.x] = pixel;
    return ColorOf(pixel);
}

COLORREF GetPixel(HDC dc, int x, int y) {
    auto d = LookupDC(dc);
    if (!d)
        return CLR_INVALID;
    POINT p = d->ToCanvas(x, y);
    PixelScope scope(d->Target());
    if (!d->Visible().Contains(p.x, p.y))
        return CLR_INVALID;
    return ColorOf(d->Target().Pixel(p.x, p.y));
}
