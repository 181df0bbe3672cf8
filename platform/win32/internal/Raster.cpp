#include "Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "WinGdi.h"

namespace win32::internal {

namespace {

// Dash patterns of cosmetic pens: lengths of on and off runs, in pixels.
struct DashPattern {
    int count;
    int runs[6];
};
constexpr DashPattern kDash{2, {18, 6}};
constexpr DashPattern kDot{2, {3, 3}};
constexpr DashPattern kDashDot{4, {9, 6, 3, 6}};
constexpr DashPattern kDashDotDot{6, {9, 3, 3, 3, 3, 3}};
constexpr DashPattern kAlternate{2, {1, 1}};

const DashPattern* PatternOf(UINT style) {
    switch (style) {
    case PS_DASH: return &kDash;
    case PS_DOT: return &kDot;
    case PS_DASHDOT: return &kDashDot;
    case PS_DASHDOTDOT: return &kDashDotDot;
    case PS_ALTERNATE: return &kAlternate;
    default: return nullptr;
    }
}

bool DashOn(const DashPattern& pattern, int position) {
    int total = 0;
    for (int i = 0; i < pattern.count; ++i)
        total += pattern.runs[i];
    int at = position % total;
    for (int i = 0; i < pattern.count; ++i) {
        if (at < pattern.runs[i])
            return i % 2 == 0;
        at -= pattern.runs[i];
    }
    return false;
}

bool HatchOn(int hatch, int x, int y) {
    x &= 7;
    y &= 7;
    switch (hatch) {
    case HS_HORIZONTAL: return y == 0;
    case HS_VERTICAL: return x == 0;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 0 || y == 0;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
    }
}

int Modulo(int value, int by) {
    int m = value % by;
    return m < 0 ? m + by : m;
}

uint32_t ForTarget(const DeviceContext& dc, uint32_t pixel) {
    return const_cast<DeviceContext&>(dc).Target().Mono() ? MonoPixel(pixel) : pixel;
}

} // namespace

uint32_t Rop3(uint32_t p, uint32_t s, uint32_t d, DWORD rop) {
    switch (rop) {
    case SRCCOPY: return s;
    case SRCAND: return s & d;
    case SRCPAINT: return s | d;
    case SRCINVERT: return s ^ d;
    case PATCOPY: return p;
    case PATINVERT: return p ^ d;
    case DSTINVERT: return ~d & 0xFFFFFF;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFF;
    default: break;
    }
    // Any other operation from its truth table: bit (P << 2 | S << 1 | D) of the table byte is the result.
    unsigned table = (rop >> 16) & 0xFF;
    uint32_t result = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (!(table & (1u << i)))
            continue;
        uint32_t term = (i & 4 ? p : ~p) & (i & 2 ? s : ~s) & (i & 1 ? d : ~d);
        result |= term;
    }
    return result & 0xFFFFFF;
}

bool RopUsesSource(DWORD rop) {
    unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}

bool RopUsesPattern(DWORD rop) {
    unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 4) & 0x0F) != (t & 0x0F);
}

uint32_t Rop2(uint32_t pen, uint32_t d, int mode) {
    uint32_t r;
    switch (mode) {
    case R2_BLACK: r = 0; break;
    case R2_NOTMERGEPEN: r = ~(pen | d); break;
    case R2_MASKNOTPEN: r = ~pen & d; break;
    case R2_NOTCOPYPEN: r = ~pen; break;
    case R2_MASKPENNOT: r = pen & ~d; break;
    case R2_NOT: r = ~d; break;
    case R2_XORPEN: r = pen ^ d; break;
    case R2_NOTMASKPEN: r = ~(pen & d); break;
    case R2_MASKPEN: r = pen & d; break;
    case R2_NOTXORPEN: r = ~(pen ^ d); break;
    case R2_NOP: r = d; break;
    case R2_MERGENOTPEN: r = ~pen | d; break;
    case R2_MERGEPENNOT: r = pen | ~d; break;
    case R2_MERGEPEN: r = pen | d; break;
    case R2_WHITE: r = 0xFFFFFF; break;
    default: r = pen; break;
    }
    return r & 0xFFFFFF;
}

std::optional<uint32_t> BrushPixel(const DeviceContext& dc, const Brush& brush, int x, int y) {
    POINT org = dc.Origin();
    int bx = x - org.x - dc.state.brushOrg.x;
    int by = y - org.y - dc.state.brushOrg.y;
    switch (brush.style) {
    case BS_SOLID: return ForTarget(dc, PixelOf(brush.dcBrush ? dc.state.dcBrushColor : brush.color));
    case BS_HATCHED:
        if (HatchOn(brush.hatch, bx, by))
            return ForTarget(dc, PixelOf(brush.color));
        if (dc.state.bkMode == OPAQUE)
            return ForTarget(dc, PixelOf(dc.state.bkColor));
        return std::nullopt;
    case BS_PATTERN: {
        const Canvas& p = *brush.pattern;
        uint32_t pixel = p.Pixel(Modulo(bx, p.Width()), Modulo(by, p.Height()));
        if (p.Mono())
            pixel = PixelOf(pixel == kWhitePixel ? dc.state.bkColor : dc.state.textColor);
        return ForTarget(dc, pixel);
    }
    default: return std::nullopt;
    }
}

void PaintRegion(DeviceContext& dc, const Region& area, const Brush& brush, DWORD rop) {
    if (brush.style == BS_NULL && RopUsesPattern(rop))
        return;
    Region region = area;
    region.Intersect(dc.Visible());
    Canvas& canvas = dc.Target();
    bool fast = rop == PATCOPY && brush.style == BS_SOLID;
    uint32_t solid = fast ? *BrushPixel(dc, brush, 0, 0) : 0;
    for (const RECT& r : region.Rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = canvas.Row(y);
            if (fast) {
                std::fill(row + r.left, row + r.right, solid);
                continue;
            }
            for (int x = r.left; x < r.right; ++x) {
                uint32_t p = 0;
                if (RopUsesPattern(rop)) {
                    std::optional<uint32_t> b = BrushPixel(dc, brush, x, y);
                    if (!b)
                        continue;
                    p = *b;
                }
                row[x] = ForTarget(dc, Rop3(p, 0, row[x] & 0xFFFFFF, rop));
            }
        }
    }
}

void PaintRect(DeviceContext& dc, const RECT& rect, const Brush& brush, DWORD rop) {
    PaintRegion(dc, Region(rect), brush, rop);
}

void InvertAlternate(DeviceContext& dc, const RECT& rect, POINT anchor) {
    Region region(rect);
    region.Intersect(dc.Visible());
    Canvas& canvas = dc.Target();
    for (const RECT& r : region.Rects())
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = canvas.Row(y);
            for (int x = r.left; x < r.right; ++x)
                if (((x - anchor.x) + (y - anchor.y)) % 2 == 0)
                    row[x] = ~row[x] & 0xFFFFFF;
        }
}

void PlotPen(DeviceContext& dc, int x, int y, uint32_t pixel) {
    if (!dc.Visible().Contains(x, y))
        return;
    uint32_t& d = dc.Target().Row(y)[x];
    d = ForTarget(dc, Rop2(ForTarget(dc, pixel), d & 0xFFFFFF, dc.state.rop2));
}

void DrawPenLine(DeviceContext& dc, POINT a, POINT b, PenStyleState& style) {
    const Pen* pen = dc.state.pen.get();
    if (!pen || pen->Style() == PS_NULL)
        return;
    uint32_t color = PixelOf(dc.PenColor());
    uint32_t gap = PixelOf(dc.state.bkColor);
    const DashPattern* pattern = pen->width <= 1 ? PatternOf(pen->Style()) : nullptr;
    int half = pen->width > 1 ? pen->width / 2 : 0;
    // Steps along the major axis; the minor axis moves by the rounded share of each step.
    bool xMajor = std::abs(b.x - a.x) >= std::abs(b.y - a.y);
    long long major = xMajor ? b.x - a.x : b.y - a.y;
    long long minor = xMajor ? b.y - a.y : b.x - a.x;
    long long steps = std::llabs(major);
    int majorStep = major < 0 ? -1 : 1;
    int minorSign = minor < 0 ? -1 : 1;
    long long minorAbs = std::llabs(minor);
    // Only the steps that can reach the visible box are walked; the dash pattern counts them all.
    RECT visible = dc.Visible().Box();
    int reach = pen->width + 1;
    double first = 0, last = static_cast<double>(steps);
    auto limit = [&](double from, double perStep, double lo, double hi) {
        // from + t * perStep within [lo, hi], with a margin for rounding
        if (perStep == 0) {
            if (from < lo || from > hi)
                last = -1;
            return;
        }
        double t0 = (lo - from) / perStep, t1 = (hi - from) / perStep;
        first = std::max(first, std::min(t0, t1) - 2);
        last = std::min(last, std::max(t0, t1) + 2);
    };
    double lowX = visible.left - reach, highX = visible.right + reach;
    double lowY = visible.top - reach, highY = visible.bottom + reach;
    double minorPerStep = steps ? static_cast<double>(minorSign * minorAbs) / static_cast<double>(steps) : 0;
    limit(xMajor ? a.x : a.y, majorStep, xMajor ? lowX : lowY, xMajor ? highX : highY);
    limit(xMajor ? a.y : a.x, minorPerStep, xMajor ? lowY : lowX, xMajor ? highY : highX);
    long long begin = static_cast<long long>(std::max(0.0, std::ceil(first)));
    long long end = static_cast<long long>(std::min(static_cast<double>(steps), std::floor(last) + 1));
    for (long long t = begin; t < end; ++t) {
        long long offset = steps ? (2 * t * minorAbs + steps) / (2 * steps) * minorSign : 0;
        int x = static_cast<int>(xMajor ? a.x + t * majorStep : a.x + offset);
        int y = static_cast<int>(xMajor ? a.y + offset : a.y + t * majorStep);
        int position = style.position + static_cast<int>(t);
        if (half > 0) {
            for (int py = y - half; py < y - half + pen->width; ++py)
                for (int px = x - half; px < x - half + pen->width; ++px)
                    PlotPen(dc, px, py, color);
        } else if (!pattern || DashOn(*pattern, position)) {
            PlotPen(dc, x, y, color);
        } else if (dc.state.bkMode == OPAQUE) {
            PlotPen(dc, x, y, gap);
        }
    }
    style.position += static_cast<int>(steps);
}

void FillPolygon(DeviceContext& dc, const POINT* points, int count) {
    const Brush* brush = dc.state.brush.get();
    if (!brush || brush->style == BS_NULL || count < 3)
        return;
    int top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        top = std::min<int>(top, points[i].y);
        bottom = std::max<int>(bottom, points[i].y);
    }
    // Only rows the DC can draw on.
    RECT visible = dc.Visible().Box();
    top = std::max<int>(top, visible.top);
    bottom = std::min<int>(bottom, visible.bottom);
    Region area;
    std::vector<double> crossings;
    for (int y = top; y < bottom; ++y) {
        double cy = y + 0.5;
        crossings.clear();
        for (int i = 0; i < count; ++i) {
            POINT p = points[i], q = points[(i + 1) % count];
            if ((p.y <= cy && q.y > cy) || (q.y <= cy && p.y > cy))
                crossings.push_back(p.x + (cy - p.y) * (q.x - p.x) / static_cast<double>(q.y - p.y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            // Pixels whose centre lies inside the span.
            int left = static_cast<int>(std::ceil(crossings[i] - 0.5));
            int right = static_cast<int>(std::ceil(crossings[i + 1] - 0.5));
            if (right > left)
                area.Unite(Region(RECT{left, y, right, y + 1}));
        }
    }
    PaintRegion(dc, area, *brush, PATCOPY);
}

} // namespace win32::internal
