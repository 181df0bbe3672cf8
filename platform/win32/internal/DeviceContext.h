// A device context: where it draws (a canvas, the origin of its logical (0, 0) there and the part it may touch),
// the objects selected into it, its colours and modes, its clip region and the states SaveDC kept. A DC is used
// by one thread at a time, as on the platform; the canvas lock is taken only around the pixels.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GdiFont.h"
#include "GdiObjects.h"
#include "Region.h"

namespace win32::internal {

enum class DcKind { Window, Memory, Printer, Display };

// Coordinates are kept within 27 bits, as the platform's drawing does, so no sum of coordinates and extents
// overflows.
constexpr long long kCoordinateLimit = (1 << 27) - 1;
LONG ClampCoordinate(long long value);

struct DcState {
    HGDIOBJ penHandle = nullptr;
    std::shared_ptr<Pen> pen;
    HGDIOBJ brushHandle = nullptr;
    std::shared_ptr<Brush> brush;
    HGDIOBJ fontHandle = nullptr;
    std::shared_ptr<Font> font;
    HGDIOBJ bitmapHandle = nullptr; // memory DCs
    std::shared_ptr<Bitmap> bitmap;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF dcBrushColor = RGB(255, 255, 255);
    COLORREF dcPenColor = RGB(0, 0, 0);
    int bkMode = 2; // OPAQUE
    int rop2 = 13;  // R2_COPYPEN
    UINT textAlign = 0;
    int stretchMode = 1;
    POINT viewportOrg{0, 0};
    POINT windowOrg{0, 0};
    POINT brushOrg{0, 0};
    POINT position{0, 0};
    std::optional<Region> clip; // device coordinates
};

class DeviceContext : public GdiObject {
public:
    DeviceContext(DcKind kind, std::shared_ptr<Canvas> canvas, POINT origin, const RECT& bounds);
    GdiKind Kind() const override { return GdiKind::DC; }

    DcKind Type() const { return kind_; }
    HDC handle = nullptr;
    HWND hwnd = nullptr;
    DcState state;
    std::vector<DcState> saved;
    // Printing: the pages drawn so far and whether a document/page is open.
    bool docOpen = false;
    bool pageOpen = false;
    // Where connected lines are in their pen's dash pattern; MoveToEx starts it again.
    int lineStyle = 0;

    Canvas& Target() { return *canvas_; }
    std::shared_ptr<Canvas> TargetPtr() const { return canvas_; }
    // A memory DC draws into its selected bitmap: the canvas and bounds follow it.
    void Retarget(std::shared_ptr<Canvas> canvas);

    // Logical to canvas coordinates and back.
    POINT ToCanvas(int x, int y) const;
    RECT ToCanvas(const RECT& rect) const;
    POINT FromCanvas(int x, int y) const;
    // Device coordinates (what clip regions use) to canvas coordinates: the DC's origin.
    POINT Origin() const { return origin_; }
    // The part of the canvas drawing may touch: bounds, clip region and canvas size, in canvas coordinates. Ask
    // for it with the canvas lock held, so the canvas keeps the size it was made for.
    const Region& Visible();
    void ClipChanged() { visibleValid_ = false; }
    // Device-coordinate box of where the DC can draw before any clip region: what a new clip starts from.
    RECT DeviceBounds() const;

    // The pen colour with DC_PEN resolved; likewise the brush.
    COLORREF PenColor() const;
    COLORREF BrushColor() const;

private:
    DcKind kind_;
    std::shared_ptr<Canvas> canvas_;
    POINT origin_;
    RECT bounds_;
    Region visible_;
    SIZE visibleSize_{0, 0};
    bool visibleValid_ = false;
};

// The DC behind a handle, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<DeviceContext> LookupDC(HDC dc);
// A new DC in the object table with the default objects selected.
HDC InsertDC(std::shared_ptr<DeviceContext> dc);

} // namespace win32::internal
