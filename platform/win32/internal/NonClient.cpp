#include "NonClient.h"

#include <algorithm>

#include "WinSystemInfo.h"

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
        const bool tool = (w.exStyle & WS_EX_TOOLWINDOW) != 0;
        LONG h = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
        layout.caption = {frame.left, top, width - frame.right, top + h};
        if (w.style & WS_SYSMENU) {
            // Buttons two pixels narrower and four lower than their metric, two in from the caption's right and
            // top; minimise and maximise side by side, two pixels left of the close button.
            const LONG cx = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE) - 2;
            const LONG cy = GetSystemMetrics(tool ? SM_CYSMSIZE : SM_CYSIZE) - 4;
            const RECT& c = layout.caption;
            layout.close = {c.right - 2 - cx, c.top + 2, c.right - 2, c.top + 2 + cy};
            if (!tool && (w.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) {
                layout.maximize = {layout.close.left - 2 - cx, layout.close.top, layout.close.left - 2,
                                   layout.close.bottom};
                layout.minimize = {layout.maximize.left - cx, layout.close.top, layout.maximize.left,
                                   layout.close.bottom};
                layout.canMinimize = (w.style & WS_MINIMIZEBOX) != 0;
                layout.canMaximize = (w.style & WS_MAXIMIZEBOX) != 0;
            }
            // The small icon, one pixel in, for every window but tool windows and modal-frame dialogs.
            if (!tool && !(w.exStyle & WS_EX_DLGMODALFRAME)) {
                const LONG icon = GetSystemMetrics(SM_CXSMICON);
                layout.sysMenu = {c.left + 1, c.top + 1, c.left + 1 + icon, std::min<LONG>(c.bottom, c.top + 1 + icon)};
            }
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
