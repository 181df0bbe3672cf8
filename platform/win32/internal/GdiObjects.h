// The GDI object table and the objects a device context draws with. Handles are table keys, never pointers, so
// a deleted or made-up handle finds nothing. Stock objects live in the table for good and are not counted; every
// other object is, so a test sees a leaked pen, font or DC.
#pragma once

#include <memory>
#include <vector>

#include "Canvas.h"
#include "Region.h"
#include "WinUserTypes.h"

namespace win32::internal {

enum class GdiKind { Pen, Brush, Font, Bitmap, Region, DC, Palette, Icon };

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual GdiKind Kind() const = 0;
};

HGDIOBJ InsertGdiObject(std::shared_ptr<GdiObject> object, bool stock = false);
std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle);
template <class T> std::shared_ptr<T> LookupGdi(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(LookupGdiObject(handle));
}
bool IsStockObject(HGDIOBJ handle);
// Drops the handle (stock objects stay); false for an unknown handle.
bool RemoveGdiObject(HGDIOBJ handle);
size_t CountedGdiObjects();

struct Pen : GdiObject {
    GdiKind Kind() const override { return GdiKind::Pen; }
    UINT style = 0; // PS_* style, end cap, join and type bits
    int width = 1;
    COLORREF color = 0;
    bool dcPen = false; // DC_PEN: the DC's pen colour
    UINT Style() const { return style & 0xF; }
};

struct Brush : GdiObject {
    GdiKind Kind() const override { return GdiKind::Brush; }
    UINT style = 0; // BS_SOLID, BS_NULL, BS_HATCHED, BS_PATTERN
    COLORREF color = 0;
    int hatch = 0;
    bool dcBrush = false;            // DC_BRUSH: the DC's brush colour
    std::shared_ptr<Canvas> pattern; // BS_PATTERN: a copy of the bitmap
};

struct Bitmap : GdiObject {
    GdiKind Kind() const override { return GdiKind::Bitmap; }
    std::shared_ptr<Canvas> canvas;
    HDC selectedInto = nullptr; // a bitmap is in one memory DC at most
};

struct RegionObject : GdiObject {
    GdiKind Kind() const override { return GdiKind::Region; }
    Region region;
};

// An icon: its colour image and which of its pixels are opaque (the mask's 0 bits). Counted with the GDI objects
// so a test sees an icon never destroyed; shared ones (LoadIcon) are stock.
struct Icon : GdiObject {
    GdiKind Kind() const override { return GdiKind::Icon; }
    std::shared_ptr<Canvas> color;
    std::vector<uint8_t> opaque; // row by row, 1 where the icon covers what lies below
    bool Opaque(int x, int y) const { return opaque[static_cast<size_t>(y) * color->Width() + x] != 0; }
};

struct Palette : GdiObject {
    GdiKind Kind() const override { return GdiKind::Palette; }
};

} // namespace win32::internal
