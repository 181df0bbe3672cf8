#include "NonClient.h"

#include <algorithm>

#include "../WinSystemInfo.h"

namespace win32::internal {

RECT InsetsOfLocked(const Window& window) {
    return NonClientInsets(window.style, window.exStyle, !(window.style & WS_CHILD) && window.menu,
                           (window.style & WS_VSCROLL) != 0, (window.style & WS_HSCROLL) != 0);
}

NonClientLayout LayoutOfLocked(const Window& w) {
    NonClientLayout layout;
    const LONG width = w.rect.right - w.rect.left;
    const LONG height = w.rect.bottom - w.rect.top;
    layout.window = {0, 0, width, height};
    layout.client = w.client;
    DWORD frameStyle = w.style & ~(WS_VSCROLL | WS_HSCROLL);
    if ((frameStyle & WS_CAPTION) == WS_CAPTION)
        frameStyle = (frameStyle & ~WS_CAPTION) | WS_DLGFRAME; // the frame without the caption's height
    RECT frame = NonClientInsets(frameStyle, w.exStyle & ~(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), false, false, false);
    layout.border = frame.left;
    layout.sizable = (w.style & WS_THICKFRAME) != 0;
    LONG top = frame.top;
    if ((w.style & WS_CAPTION) == WS_CAPTION) {
        LONG h = GetSystemMetrics((w.exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
        layout.caption = {frame.left, top, width - frame.right, top + h};
        if (w.style & WS_SYSMENU) {
            LONG button = GetSystemMetrics(SM_CXSIZE);
            layout.close = {layout.caption.right - button, top, layout.caption.right, top + h};
        }
        top += h;
    }
    if (!(w.style & WS_CHILD) && w.menu) {
        layout.menu = {frame.left, top, width - frame.right, top + GetSystemMetrics(SM_CYMENU)};
    }
    if (w.style & WS_VSCROLL)
        layout.vscroll = {w.client.right, w.client.top, w.client.right + GetSystemMetrics(SM_CXVSCROLL),
                          w.client.bottom};
    if (w.style & WS_HSCROLL)
        layout.hscroll = {w.client.left, w.client.bottom, w.client.right,
                          w.client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    return layout;
}

ThumbSpan ThumbOf(const ScrollBar& bar, LONG length, LONG arrow) {
    const LONG track = std::max<LONG>(0, length - 2 * arrow);
    const LONG range = std::max(1, bar.max - bar.min + 1);
    LONG size = bar.page ? static_cast<LONG>(static_cast<long long>(track) * bar.page / range) : arrow;
    size = std::clamp<LONG>(size, std::min<LONG>(8, track), track);
    const LONG span = std::max(1, range - static_cast<int>(std::max<UINT>(bar.page, 1)));
    const LONG pos = std::clamp(bar.pos - bar.min, 0, span);
    LONG start = arrow + static_cast<LONG>(static_cast<long long>(track - size) * pos / span);
    return {start, start + size};
}

} // namespace win32::internal
