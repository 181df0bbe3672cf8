#include "WindowSurface.h"

#include <algorithm>
#include <cairo.h>

#include "Canvas.h"
#include "DeviceContext.h"
#include "GdiCallLog.h"
#include "WinHandles.h"
#include "winerror.h"

namespace win32::internal {

class WindowSurface : public Canvas {
public:
    WindowSurface(int width, int height) : Canvas(width, height, false) {}
};

std::shared_ptr<WindowSurface> CreateWindowSurface(int width, int height) {
    return std::make_shared<WindowSurface>(width, height);
}

void ResizeWindowSurface(WindowSurface& surface, int width, int height) {
    std::lock_guard guard(surface.Lock());
    surface.Reset(width, height);
}

SIZE WindowSurfaceSize(const WindowSurface& surface) {
    return SIZE{surface.Width(), surface.Height()};
}

std::mutex& WindowSurfaceLock(WindowSurface& surface) {
    return surface.Lock();
}

HDC CreateSurfaceDC(std::shared_ptr<WindowSurface> surface, HWND hwnd, POINT origin, const RECT& clip) {
    if (!surface || DcCreationFails())
        return nullptr;
    auto dc = std::make_shared<DeviceContext>(DcKind::Window, std::move(surface), origin, clip);
    dc->hwnd = hwnd;
    return InsertDC(std::move(dc));
}

BOOL DeleteSurfaceDC(HDC dc) {
    auto d = LookupDC(dc);
    if (!d || d->Type() != DcKind::Window)
        return FALSE;
    return RemoveGdiObject(reinterpret_cast<HGDIOBJ>(dc)) ? TRUE : FALSE;
}

HWND SurfaceDCWindow(HDC dc) {
    auto d = LookupGdi<DeviceContext>(reinterpret_cast<HGDIOBJ>(dc));
    return d ? d->hwnd : nullptr;
}

void ComposeWindowSurface(WindowSurface& target, const WindowSurface& source, POINT at, const RECT& clip) {
    if (&target == &source)
        return;
    auto& from = const_cast<WindowSurface&>(source);
    std::scoped_lock guard(target.Lock(), from.Lock());
    from.BeginPixels();
    target.BeginPixels();
    int left = std::max({static_cast<int>(clip.left), static_cast<int>(at.x), 0});
    int top = std::max({static_cast<int>(clip.top), static_cast<int>(at.y), 0});
    int right = std::min({static_cast<int>(clip.right), static_cast<int>(at.x) + from.Width(), target.Width()});
    int bottom = std::min({static_cast<int>(clip.bottom), static_cast<int>(at.y) + from.Height(), target.Height()});
    for (int y = top; y < bottom; ++y) {
        const uint32_t* s = from.Row(y - at.y);
        uint32_t* d = target.Row(y);
        for (int x = left; x < right; ++x)
            d[x] = s[x - at.x];
    }
    target.EndPixels();
}

void ComposeWindowSurfaceInto(const WindowSurface& source, POINT at, const RECT& clip, const RECT& area,
                              uint32_t* pixels, int stride) {
    auto& from = const_cast<WindowSurface&>(source);
    std::lock_guard guard(from.Lock());
    from.BeginPixels();
    const int left = std::max({static_cast<int>(clip.left), static_cast<int>(area.left), static_cast<int>(at.x)});
    const int top = std::max({static_cast<int>(clip.top), static_cast<int>(area.top), static_cast<int>(at.y)});
    const int right =
        std::min({static_cast<int>(clip.right), static_cast<int>(area.right), static_cast<int>(at.x) + from.Width()});
    const int bottom = std::min(
        {static_cast<int>(clip.bottom), static_cast<int>(area.bottom), static_cast<int>(at.y) + from.Height()});
    for (int y = top; y < bottom; ++y) {
        const uint32_t* s = from.Row(y - at.y);
        auto* d = reinterpret_cast<uint32_t*>(reinterpret_cast<unsigned char*>(pixels) +
                                              static_cast<ptrdiff_t>(y - area.top) * stride) -
                  area.left;
        for (int x = left; x < right; ++x)
            d[x] = s[x - at.x] & 0x00FFFFFFu;
    }
}

COLORREF WindowSurfacePixel(const WindowSurface& surface, int x, int y) {
    auto& s = const_cast<WindowSurface&>(surface);
    std::lock_guard guard(s.Lock());
    if (!s.Contains(x, y))
        return CLR_INVALID;
    s.BeginPixels();
    return ColorOf(s.Pixel(x, y));
}

BOOL WriteWindowSurfacePng(const WindowSurface& surface, const char* path) {
    auto& s = const_cast<WindowSurface&>(surface);
    std::lock_guard guard(s.Lock());
    return WriteCanvasPng(s, path);
}

} // namespace win32::internal
