// Creating, selecting, reading and deleting GDI objects, and the stock ones.
#include <array>
#include <cstring>
#include <mutex>

#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/DeviceContext.h"
#include "internal/StockObjects.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

constexpr int kStockCount = DC_PEN + 1;

std::shared_ptr<Pen> MakePen(UINT style, int width, COLORREF color) {
    auto pen = std::make_shared<Pen>();
    pen->style = style;
    pen->width = width < 1 ? 1 : width;
    pen->color = color & 0xFFFFFF;
    return pen;
}

std::shared_ptr<Brush> MakeBrush(UINT style, COLORREF color, int hatch = 0) {
    auto brush = std::make_shared<Brush>();
    brush->style = style;
    brush->color = color & 0xFFFFFF;
    brush->hatch = hatch;
    return brush;
}

LOGFONTA StockLogFont(int em, bool mono, bool bold) {
    LOGFONTA lf{};
    lf.lfHeight = -em;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = mono ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS);
    std::strcpy(lf.lfFaceName, mono ? "Courier" : "MS Shell Dlg");
    return lf;
}

struct StockTable {
    std::array<HGDIOBJ, kStockCount> objects{};
    HBITMAP defaultBitmap = nullptr;
};

const StockTable& Stock() {
    static const StockTable table = [] {
        StockTable t;
        auto add = [&](int index, std::shared_ptr<GdiObject> object) {
            t.objects[index] = InsertGdiObject(std::move(object), true);
        };
        add(WHITE_BRUSH, MakeBrush(BS_SOLID, RGB(255, 255, 255)));
        add(LTGRAY_BRUSH, MakeBrush(BS_SOLID, RGB(192, 192, 192)));
        add(GRAY_BRUSH, MakeBrush(BS_SOLID, RGB(128, 128, 128)));
        add(DKGRAY_BRUSH, MakeBrush(BS_SOLID, RGB(64, 64, 64)));
        add(BLACK_BRUSH, MakeBrush(BS_SOLID, RGB(0, 0, 0)));
        add(NULL_BRUSH, MakeBrush(BS_NULL, 0));
        add(WHITE_PEN, MakePen(PS_SOLID, 1, RGB(255, 255, 255)));
        add(BLACK_PEN, MakePen(PS_SOLID, 1, RGB(0, 0, 0)));
        add(NULL_PEN, MakePen(PS_NULL, 1, 0));
        add(OEM_FIXED_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, true, false)));
        add(ANSI_FIXED_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, true, false)));
        add(ANSI_VAR_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, false, false)));
        add(SYSTEM_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, false, false)));
        add(DEVICE_DEFAULT_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, false, false)));
        add(DEFAULT_PALETTE, std::make_shared<Palette>());
        add(SYSTEM_FIXED_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, true, false)));
        add(DEFAULT_GUI_FONT, std::make_shared<Font>(StockLogFont(kDefaultFontEm, false, false)));
        auto dcBrush = MakeBrush(BS_SOLID, RGB(255, 255, 255));
        dcBrush->dcBrush = true;
        add(DC_BRUSH, dcBrush);
        auto dcPen = MakePen(PS_SOLID, 1, 0);
        dcPen->dcPen = true;
        add(DC_PEN, dcPen);
        auto bitmap = std::make_shared<Bitmap>();
        bitmap->canvas = std::make_shared<Canvas>(1, 1, true);
        bitmap->canvas->Fill(kBlackPixel);
        t.defaultBitmap = reinterpret_cast<HBITMAP>(InsertGdiObject(bitmap, true));
        return t;
    }();
    return table;
}

template <class Handle> Handle Insert(std::shared_ptr<GdiObject> object) {
    return reinterpret_cast<Handle>(InsertGdiObject(std::move(object)));
}

// Puts `object` into the DC's slot, giving back what was there.
template <class T>
HGDIOBJ Swap(HGDIOBJ& handleSlot, std::shared_ptr<T>& slot, HGDIOBJ handle, std::shared_ptr<T> object) {
    HGDIOBJ previous = handleSlot;
    handleSlot = handle;
    slot = std::move(object);
    return previous;
}

} // namespace

HBITMAP win32::internal::DefaultBitmap() {
    return Stock().defaultBitmap;
}

HBRUSH win32::internal::SysColorBrush(int index, COLORREF color) {
    static std::mutex lock;
    static std::array<HBRUSH, 64> brushes{};
    std::lock_guard guard(lock);
    if (!brushes[index])
        brushes[index] = reinterpret_cast<HBRUSH>(InsertGdiObject(MakeBrush(BS_SOLID, color), true));
    return brushes[index];
}

HFONT win32::internal::CaptionFont() {
    static const HFONT font = reinterpret_cast<HFONT>(
        InsertGdiObject(std::make_shared<Font>(StockLogFont(kDefaultFontEm, false, true)), true));
    return font;
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0 || object >= kStockCount || object == 9)
        return nullptr;
    return Stock().objects[object];
}

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style < PS_SOLID || style > PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Only solid lines can be wider than a pixel; a wide styled pen draws solid, as the platform's does.
    return Insert<HPEN>(MakePen(width > 1 && style != PS_NULL ? PS_SOLID : style, width, color));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles) {
    DWORD kind = style & PS_STYLE_MASK;
    bool cosmetic = (style & PS_TYPE_MASK) == PS_COSMETIC;
    // Cosmetic pens are one pixel wide; PS_ALTERNATE is cosmetic only; user styles are not drawn here.
    if (!brush || (cosmetic && width != 1) || (kind == PS_ALTERNATE && !cosmetic) || kind == PS_USERSTYLE ||
        kind > PS_ALTERNATE || (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UINT penStyle = brush->lbStyle == BS_NULL ? PS_NULL : style;
    return Insert<HPEN>(MakePen(penStyle, static_cast<int>(width), brush->lbColor));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return Insert<HBRUSH>(MakeBrush(BS_SOLID, color));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Insert<HBRUSH>(MakeBrush(BS_HATCHED, color, hatch));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto source = LookupGdi<Bitmap>(reinterpret_cast<HGDIOBJ>(bitmap));
    if (!source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto brush = MakeBrush(BS_PATTERN, 0);
    Canvas& from = *source->canvas;
    brush->pattern = std::make_shared<Canvas>(from.Width(), from.Height(), from.Mono());
    {
        std::lock_guard guard(from.Lock());
        from.BeginPixels();
        for (int y = 0; y < from.Height(); ++y)
            std::memcpy(brush->pattern->Row(y), from.Row(y), sizeof(uint32_t) * from.Width());
    }
    brush->pattern->EndPixels();
    return Insert<HBRUSH>(brush);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (!brush) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto d = LookupDC(dc);
    auto o = LookupGdiObject(object);
    if (!d || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DcState& s = d->state;
    switch (o->Kind()) {
    case GdiKind::Pen: return Swap(s.penHandle, s.pen, object, std::static_pointer_cast<Pen>(o));
    case GdiKind::Brush: return Swap(s.brushHandle, s.brush, object, std::static_pointer_cast<Brush>(o));
    case GdiKind::Font: return Swap(s.fontHandle, s.font, object, std::static_pointer_cast<Font>(o));
    case GdiKind::Region: {
        int result = SelectClipRgn(dc, reinterpret_cast<HRGN>(object));
        return reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(result));
    }
    case GdiKind::Bitmap: {
        auto bitmap = std::static_pointer_cast<Bitmap>(o);
        if (d->Type() != DcKind::Memory || (bitmap->selectedInto && bitmap->selectedInto != dc)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (s.bitmap && s.bitmap->selectedInto == dc)
            s.bitmap->selectedInto = nullptr;
        if (!IsStockObject(object))
            bitmap->selectedInto = dc;
        d->Retarget(bitmap->canvas);
        return Swap(s.bitmapHandle, s.bitmap, object, bitmap);
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    auto o = LookupGdiObject(object);
    if (!o || o->Kind() == GdiKind::DC || o->Kind() == GdiKind::Icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->Kind() == GdiKind::Bitmap && std::static_pointer_cast<Bitmap>(o)->selectedInto)
        return FALSE; // still in a memory DC: the platform refuses
    // A pen, brush or font still selected somewhere stays usable by that DC until it is replaced.
    return RemoveGdiObject(object) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ object) {
    auto o = LookupGdiObject(object);
    if (!o)
        return 0;
    switch (o->Kind()) {
    case GdiKind::Pen: return OBJ_PEN;
    case GdiKind::Brush: return OBJ_BRUSH;
    case GdiKind::Font: return OBJ_FONT;
    case GdiKind::Bitmap: return OBJ_BITMAP;
    case GdiKind::Region: return OBJ_REGION;
    case GdiKind::Palette: return OBJ_PAL;
    case GdiKind::Icon: return 0; // not a GDI object to its callers
    case GdiKind::DC: return std::static_pointer_cast<DeviceContext>(o)->Type() == DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    auto d = LookupDC(dc);
    if (!d)
        return nullptr;
    switch (type) {
    case OBJ_PEN: return d->state.penHandle;
    case OBJ_BRUSH: return d->state.brushHandle;
    case OBJ_FONT: return d->state.fontHandle;
    case OBJ_BITMAP: return d->state.bitmapHandle;
    default: return nullptr;
    }
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    auto o = LookupGdiObject(object);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto give = [&](const auto& value) -> int {
        int needed = static_cast<int>(sizeof(value));
        if (!buffer)
            return needed;
        int n = size < needed ? size : needed;
        if (n <= 0)
            return 0;
        std::memcpy(buffer, &value, static_cast<size_t>(n));
        return n;
    };
    switch (o->Kind()) {
    case GdiKind::Pen: {
        auto& pen = static_cast<Pen&>(*o);
        LOGPEN lp{pen.style, POINT{pen.width, 0}, pen.color};
        return give(lp);
    }
    case GdiKind::Brush: {
        auto& brush = static_cast<Brush&>(*o);
        LOGBRUSH lb{brush.style, brush.color, static_cast<ULONG_PTR>(brush.hatch)};
        return give(lb);
    }
    case GdiKind::Font: return give(static_cast<Font&>(*o).LogFont());
    case GdiKind::Bitmap: {
        Canvas& c = *static_cast<Bitmap&>(*o).canvas;
        BITMAP bm{};
        bm.bmWidth = c.Width();
        bm.bmHeight = c.Height();
        bm.bmPlanes = 1;
        bm.bmBitsPixel = c.Mono() ? 1 : 32;
        bm.bmWidthBytes = c.Mono() ? ((c.Width() + 15) / 16) * 2 : c.Width() * 4;
        return give(bm);
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
}

COLORREF SetDCBrushColor(HDC dc, COLORREF color) {
    auto d = LookupDC(dc);
    if (!d)
        return CLR_INVALID;
    COLORREF previous = d->state.dcBrushColor;
    d->state.dcBrushColor = color & 0xFFFFFF;
    return previous;
}

COLORREF SetDCPenColor(HDC dc, COLORREF color) {
    auto d = LookupDC(dc);
    if (!d)
        return CLR_INVALID;
    COLORREF previous = d->state.dcPenColor;
    d->state.dcPenColor = color & 0xFFFFFF;
    return previous;
}
