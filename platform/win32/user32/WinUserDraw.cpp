// System colours and the window system's fills, frames, edges and focus rectangles.
#include "WinUserDraw.h"

#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/Raster.h"
#include "internal/StockObjects.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

// The classic scheme.
constexpr COLORREF kSysColors[] = {
    RGB(212, 208, 200), // COLOR_SCROLLBAR
    RGB(58, 110, 165),  // COLOR_BACKGROUND
    RGB(10, 36, 106),   // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(212, 208, 200), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(212, 208, 200), // COLOR_ACTIVEBORDER
    RGB(212, 208, 200), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(10, 36, 106),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(212, 208, 200), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),    // COLOR_3DDKSHADOW
    RGB(212, 208, 200), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(181, 181, 181), // 25: unused
    RGB(0, 0, 128),     // COLOR_HOTLIGHT
    RGB(166, 202, 240), // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192), // COLOR_GRADIENTINACTIVECAPTION
    RGB(10, 36, 106),   // COLOR_MENUHILIGHT
    RGB(212, 208, 200), // COLOR_MENUBAR
};
constexpr int kSysColorCount = static_cast<int>(sizeof(kSysColors) / sizeof(kSysColors[0]));

// A brush handle, or a system colour index plus one as window classes give it.
std::shared_ptr<Brush> ResolveBrush(HBRUSH brush) {
    auto value = reinterpret_cast<ULONG_PTR>(brush);
    if (value >= 1 && value <= static_cast<ULONG_PTR>(kSysColorCount))
        brush = GetSysColorBrush(static_cast<int>(value - 1));
    return LookupGdi<Brush>(reinterpret_cast<HGDIOBJ>(brush));
}

void FillSolid(DeviceContext& d, const RECT& canvasRect, COLORREF color) {
    Brush solid;
    solid.style = BS_SOLID;
    solid.color = color;
    PaintRect(d, canvasRect, solid, PATCOPY);
}

} // namespace

DWORD GetSysColor(int index) {
    return index >= 0 && index < kSysColorCount ? kSysColors[index] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount)
        return nullptr;
    return SysColorBrush(index, kSysColors[index]);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    auto d = LookupDC(dc);
    auto b = ResolveBrush(brush);
    if (!d || !rect || !b)
        return 0;
    LogGdiCall(*d, "FillRect", *rect, PATCOPY);
    PixelScope scope(d->Target());
    PaintRect(*d, d->ToCanvas(*rect), *b, PATCOPY);
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    auto d = LookupDC(dc);
    auto b = ResolveBrush(brush);
    if (!d || !rect || !b)
        return 0;
    LogGdiCall(*d, "FrameRect", *rect, PATCOPY);
    RECT r = d->ToCanvas(*rect);
    if (r.right <= r.left || r.bottom <= r.top)
        return 1;
    PixelScope scope(d->Target());
    Region frame(r);
    frame.Subtract(Region(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}));
    PaintRegion(*d, frame, *b, PATCOPY);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
    auto d = LookupDC(dc);
    if (!d || !rect)
        return FALSE;
    LogGdiCall(*d, "InvertRect", *rect, DSTINVERT);
    PixelScope scope(d->Target());
    Brush none;
    none.style = BS_NULL;
    PaintRect(*d, d->ToCanvas(*rect), none, DSTINVERT);
    return TRUE;
}

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
    auto d = LookupDC(dc);
    if (!d || !rect)
        return FALSE;
    LogGdiCall(*d, "DrawEdge", *rect);
    RECT r = d->ToCanvas(*rect);
    struct Layer {
        UINT raised, sunken;
        int raisedTopLeft, raisedBottomRight, sunkenTopLeft, sunkenBottomRight;
    };
    const Layer layers[2] = {
        {BDR_RAISEDOUTER, BDR_SUNKENOUTER, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_3DSHADOW, COLOR_3DHILIGHT},
        {BDR_RAISEDINNER, BDR_SUNKENINNER, COLOR_3DHILIGHT, COLOR_3DSHADOW, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
    };
    PixelScope scope(d->Target());
    for (int i = 0; i < 2; ++i) {
        const Layer& layer = layers[i];
        if (!(edge & (layer.raised | layer.sunken)))
            continue;
        COLORREF topLeft, bottomRight;
        if (flags & BF_MONO) {
            topLeft = bottomRight = GetSysColor(i == 0 ? COLOR_WINDOWFRAME : COLOR_WINDOW);
        } else if (flags & BF_FLAT) {
            topLeft = bottomRight = GetSysColor(i == 0 ? COLOR_3DSHADOW : COLOR_3DFACE);
        } else {
            bool raised = edge & layer.raised;
            topLeft = GetSysColor(raised ? layer.raisedTopLeft : layer.sunkenTopLeft);
            bottomRight = GetSysColor(raised ? layer.raisedBottomRight : layer.sunkenBottomRight);
        }
        // The bottom and right lines take the corners they share with the top and left ones.
        if (flags & BF_TOP)
            FillSolid(*d, RECT{r.left, r.top, (flags & BF_RIGHT) ? r.right - 1 : r.right, r.top + 1}, topLeft);
        if (flags & BF_LEFT)
            FillSolid(*d, RECT{r.left, r.top, r.left + 1, (flags & BF_BOTTOM) ? r.bottom - 1 : r.bottom}, topLeft);
        if (flags & BF_BOTTOM)
            FillSolid(*d, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        if (flags & BF_RIGHT)
            FillSolid(*d, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
        if (flags & BF_LEFT)
            ++r.left;
        if (flags & BF_TOP)
            ++r.top;
        if (flags & BF_RIGHT)
            --r.right;
        if (flags & BF_BOTTOM)
            --r.bottom;
    }
    if (flags & BF_MIDDLE)
        FillSolid(*d, r, GetSysColor((flags & (BF_MONO | BF_FLAT)) ? COLOR_WINDOW : COLOR_3DFACE));
    if (flags & BF_ADJUST) {
        POINT a = d->FromCanvas(r.left, r.top);
        POINT b = d->FromCanvas(r.right, r.bottom);
        *rect = RECT{a.x, a.y, b.x, b.y};
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    auto d = LookupDC(dc);
    if (!d || !rect)
        return FALSE;
    LogGdiCall(*d, "DrawFocusRect", *rect, PATINVERT);
    RECT r = d->ToCanvas(*rect);
    if (r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    PixelScope scope(d->Target());
    POINT anchor{r.left, r.top};
    InvertAlternate(*d, RECT{r.left, r.top, r.right, r.top + 1}, anchor);
    if (r.bottom - r.top > 1)
        InvertAlternate(*d, RECT{r.left, r.bottom - 1, r.right, r.bottom}, anchor);
    InvertAlternate(*d, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, anchor);
    if (r.right - r.left > 1)
        InvertAlternate(*d, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, anchor);
    return TRUE;
}
