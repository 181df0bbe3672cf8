#include "DeviceContext.h"

#include <algorithm>

#include "WinGdi.h"
#include "WinHandles.h"
#include "winerror.h"

namespace win32::internal {

DeviceContext::DeviceContext(DcKind kind, std::shared_ptr<Canvas> canvas, POINT origin, const RECT& bounds)
    : kind_(kind), canvas_(std::move(canvas)), origin_(origin), bounds_(bounds) {}

void DeviceContext::Retarget(std::shared_ptr<Canvas> canvas) {
    canvas_ = std::move(canvas);
    origin_ = POINT{0, 0};
    bounds_ = RECT{0, 0, canvas_->Width(), canvas_->Height()};
    visibleValid_ = false;
}

LONG ClampCoordinate(long long value) {
    return static_cast<LONG>(std::clamp<long long>(value, -kCoordinateLimit, kCoordinateLimit));
}

POINT DeviceContext::ToCanvas(int x, int y) const {
    return POINT{ClampCoordinate(static_cast<long long>(x) - state.windowOrg.x + state.viewportOrg.x + origin_.x),
                 ClampCoordinate(static_cast<long long>(y) - state.windowOrg.y + state.viewportOrg.y + origin_.y)};
}

RECT DeviceContext::ToCanvas(const RECT& rect) const {
    POINT a = ToCanvas(rect.left, rect.top);
    POINT b = ToCanvas(rect.right, rect.bottom);
    return RECT{a.x, a.y, b.x, b.y};
}

POINT DeviceContext::FromCanvas(int x, int y) const {
    return POINT{ClampCoordinate(static_cast<long long>(x) + state.windowOrg.x - state.viewportOrg.x - origin_.x),
                 ClampCoordinate(static_cast<long long>(y) + state.windowOrg.y - state.viewportOrg.y - origin_.y)};
}

RECT DeviceContext::DeviceBounds() const {
    return RECT{bounds_.left - origin_.x, bounds_.top - origin_.y, bounds_.right - origin_.x,
                bounds_.bottom - origin_.y};
}

const Region& DeviceContext::Visible() {
    // A window's surface may have been resized since: the region is only good for the size it was made for.
    if (visibleSize_.cx != canvas_->Width() || visibleSize_.cy != canvas_->Height()) {
        visibleValid_ = false;
        visibleSize_ = SIZE{canvas_->Width(), canvas_->Height()};
    }
    if (!visibleValid_) {
        visible_ = Region(RECT{0, 0, canvas_->Width(), canvas_->Height()});
        visible_.Intersect(bounds_);
        if (state.clip) {
            Region clip = *state.clip;
            clip.Offset(origin_.x, origin_.y);
            visible_.Intersect(clip);
        }
        visibleValid_ = true;
    }
    return visible_;
}

COLORREF DeviceContext::PenColor() const {
    return state.pen && state.pen->dcPen ? state.dcPenColor : state.pen ? state.pen->color : 0;
}

COLORREF DeviceContext::BrushColor() const {
    return state.brush && state.brush->dcBrush ? state.dcBrushColor : state.brush ? state.brush->color : 0;
}

std::shared_ptr<DeviceContext> LookupDC(HDC dc) {
    auto found = LookupGdi<DeviceContext>(reinterpret_cast<HGDIOBJ>(dc));
    if (!found)
        SetLastError(ERROR_INVALID_HANDLE);
    return found;
}

HDC InsertDC(std::shared_ptr<DeviceContext> dc) {
    DcState& s = dc->state;
    s.penHandle = GetStockObject(BLACK_PEN);
    s.pen = LookupGdi<Pen>(s.penHandle);
    s.brushHandle = GetStockObject(WHITE_BRUSH);
    s.brush = LookupGdi<Brush>(s.brushHandle);
    s.fontHandle = GetStockObject(SYSTEM_FONT);
    s.font = LookupGdi<Font>(s.fontHandle);
    HDC handle = reinterpret_cast<HDC>(InsertGdiObject(dc));
    dc->handle = handle;
    return handle;
}

} // namespace win32::internal
