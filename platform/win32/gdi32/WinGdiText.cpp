// Fonts, text metrics and extents, TextOut and ExtTextOut.
#include <cstring>
#include <string_view>

#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/Raster.h"
#include "internal/TextDraw.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

std::string_view TextOf(LPCSTR text, int count) {
    if (!text)
        return {};
    return count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
}

// The top-left corner of text drawn at (x, y) under the DC's alignment.
POINT AlignedOrigin(const DeviceContext& d, const TextLayout& layout, int x, int y) {
    UINT align = d.state.textAlign;
    SIZE size = layout.Extent();
    if ((align & TA_CENTER) == TA_CENTER)
        x -= size.cx / 2;
    else if (align & TA_RIGHT)
        x -= size.cx;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= layout.Baseline();
    else if (align & TA_BOTTOM)
        y -= size.cy;
    return POINT{x, y};
}

} // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HFONT>(InsertGdiObject(std::make_shared<Font>(*font)));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCSTR face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic != 0);
    lf.lfUnderline = static_cast<BYTE>(underline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (face)
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

BOOL GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics) {
    auto d = LookupDC(dc);
    if (!d || !metrics || !d->state.font)
        return FALSE;
    *metrics = d->state.font->Metrics();
    return TRUE;
}

int GetTextFaceA(HDC dc, int size, LPSTR face) {
    auto d = LookupDC(dc);
    if (!d || !d->state.font)
        return 0;
    const char* name = d->state.font->LogFont().lfFaceName;
    int length = static_cast<int>(std::strlen(name));
    if (!face)
        return length + 1;
    if (size <= 0)
        return 0;
    int n = length < size - 1 ? length : size - 1;
    std::memcpy(face, name, static_cast<size_t>(n));
    face[n] = '\0';
    return n;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size) {
    auto d = LookupDC(dc);
    if (!d || !size || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TextLayout layout(*d->state.font, TextOf(text, count));
    *size = layout.Extent();
    return TRUE;
}

BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int count, LPSIZE size) {
    return GetTextExtentPoint32A(dc, text, count, size);
}

BOOL GetTextExtentExPointA(HDC dc, LPCSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size) {
    auto d = LookupDC(dc);
    if (!d || !size || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TextLayout layout(*d->state.font, TextOf(text, count));
    *size = layout.Extent();
    int fitting = 0;
    for (int i = 0; i < count; ++i) {
        PangoRectangle pos;
        pango_layout_index_to_pos(layout.Get(), layout.ByteOffset(static_cast<size_t>(i)), &pos);
        int end = PANGO_PIXELS(pos.x + pos.width);
        if (dx)
            dx[i] = end;
        if (end <= maxExtent && fitting == i)
            ++fitting;
    }
    if (fit)
        *fit = fitting;
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
    auto d = LookupDC(dc);
    if (!d || count < 0 || (!text && count > 0))
        return FALSE;
    std::string_view s = TextOf(text, count);
    bool updateCp = d->state.textAlign & TA_UPDATECP;
    if (updateCp) {
        x = d->state.position.x;
        y = d->state.position.y;
    }
    TextLayout layout(*d->state.font, s);
    POINT at = AlignedOrigin(*d, layout, x, y);
    SIZE size = layout.Extent();
    LogGdiCall(*d, "TextOut", RECT{at.x, at.y, at.x + size.cx, at.y + size.cy}, 0, s);
    DrawLayout(*d, layout, d->ToCanvas(at.x, at.y), nullptr, d->state.bkMode == OPAQUE);
    if (updateCp)
        d->state.position.x = x + size.cx;
    return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx) {
    auto d = LookupDC(dc);
    if (!d || (!text && count > 0))
        return FALSE;
    std::string_view s = TextOf(text, static_cast<int>(count));
    RECT canvasRect{};
    if (rect)
        canvasRect = d->ToCanvas(*rect);
    LogGdiCall(*d, "ExtTextOut", rect ? *rect : RECT{x, y, x, y}, 0, s);
    if (rect && (options & ETO_OPAQUE)) {
        Brush background;
        background.style = BS_SOLID;
        background.color = d->state.bkColor;
        PixelScope scope(d->Target());
        PaintRect(*d, canvasRect, background, PATCOPY);
    }
    if (s.empty())
        return TRUE;
    const RECT* clip = rect && (options & ETO_CLIPPED) ? &canvasRect : nullptr;
    bool opaque = d->state.bkMode == OPAQUE;
    if (!dx) {
        TextLayout layout(*d->state.font, s);
        POINT at = AlignedOrigin(*d, layout, x, y);
        DrawLayout(*d, layout, d->ToCanvas(at.x, at.y), clip, opaque);
        return TRUE;
    }
    // Given advances: each character on its own at its place.
    TextLayout whole(*d->state.font, s);
    POINT at = AlignedOrigin(*d, whole, x, y);
    int offset = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        TextLayout one(*d->state.font, s.substr(i, 1));
        DrawLayout(*d, one, d->ToCanvas(at.x + offset, at.y), clip, opaque);
        offset += dx[i];
    }
    return TRUE;
}
