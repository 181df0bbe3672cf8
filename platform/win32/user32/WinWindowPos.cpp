// Position, size, z-order and show state of windows; coordinates and hit-testing by point. Locks: UserLock()
// around the manager's state, never while a window procedure runs.
#include <algorithm>

#include "WinInput.h"
#include "WinPaint.h"
#include "WinSystemInfo.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/WindowEvents.h"
#include "internal/WindowManager.h"
#include "winerror.h"

namespace win32::internal {

RECT NonClientInsets(DWORD style, DWORD exStyle, bool menu, bool vscroll, bool hscroll) {
    int border = 0;
    if (style & WS_THICKFRAME)
        border = GetSystemMetrics(SM_CXFRAME);
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        border = GetSystemMetrics(SM_CXDLGFRAME);
    else if (style & WS_BORDER)
        border = GetSystemMetrics(SM_CXBORDER);
    if (exStyle & WS_EX_CLIENTEDGE)
        border += GetSystemMetrics(SM_CXEDGE);
    if (exStyle & WS_EX_STATICEDGE)
        border += GetSystemMetrics(SM_CXBORDER);
    RECT insets{border, border, border, border};
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets.top += GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    if (menu)
        insets.top += GetSystemMetrics(SM_CYMENU);
    if (vscroll)
        insets.right += GetSystemMetrics(SM_CXVSCROLL);
    if (hscroll)
        insets.bottom += GetSystemMetrics(SM_CYHSCROLL);
    return insets;
}

} // namespace win32::internal

using namespace win32::internal;

namespace {

bool HasFrameForMinMax(DWORD style) {
    return !(style & WS_CHILD) && (style & (WS_THICKFRAME | WS_CAPTION));
}

// Where a maximized window goes: the screen with its frame outside, unless WM_GETMINMAXINFO says otherwise.
RECT MaximizedRect(const WindowPtr& w) {
    DWORD style;
    {
        std::lock_guard guard(UserLock());
        style = w->style;
    }
    const LONG frame = NonClientInsets(style & ~(WS_VSCROLL | WS_HSCROLL), 0, false, false, false).left;
    MINMAXINFO info{};
    info.ptMaxSize = {GetSystemMetrics(SM_CXSCREEN) + 2 * frame, GetSystemMetrics(SM_CYSCREEN) + 2 * frame};
    info.ptMaxPosition = {-frame, -frame};
    info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendToWindow(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return {info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxPosition.x + info.ptMaxSize.x,
            info.ptMaxPosition.y + info.ptMaxSize.y};
}

HWND NextToActivate(HWND except) {
    std::lock_guard guard(UserLock());
    DWORD thread = GetCurrentThreadId();
    for (HWND hwnd : TopLevelWindowsLocked()) {
        WindowPtr w = FindWindowLocked(hwnd);
        if (w && hwnd != except && w->thread == thread && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
            return hwnd;
    }
    return nullptr;
}

} // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    if (w->thread != GetCurrentThreadId()) {
        // The owner thread moves its own windows.
        std::function<void()> run = [&] { SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags); };
        SendToWindow(w, kRunOnThreadMessage, 0, reinterpret_cast<LPARAM>(&run));
        return IsWindow(hwnd);
    }
    RECT old;
    DWORD oldStyle;
    {
        std::lock_guard guard(UserLock());
        old = w->rect;
        oldStyle = w->style;
    }
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = old.left;
        pos.y = old.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = old.right - old.left;
        pos.cy = old.bottom - old.top;
    }
    if (!(flags & SWP_NOSENDCHANGING))
        SendToWindow(w, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!IsWindow(hwnd))
        return FALSE;
    bool resizing = !(pos.flags & SWP_NOSIZE) && (pos.cx != old.right - old.left || pos.cy != old.bottom - old.top);
    if (resizing && HasFrameForMinMax(oldStyle) && !(oldStyle & (WS_MAXIMIZE | WS_MINIMIZE))) {
        MINMAXINFO info{};
        info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
        info.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
        info.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
        SendToWindow(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        pos.cx = std::clamp<int>(pos.cx, info.ptMinTrackSize.x, std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
        pos.cy = std::clamp<int>(pos.cy, info.ptMinTrackSize.y, std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
    }
    pos.cx = std::max(pos.cx, 0);
    pos.cy = std::max(pos.cy, 0);

    RECT now = {pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    if (pos.flags & SWP_NOMOVE)
        now = {old.left, old.top, old.left + pos.cx, old.top + pos.cy};
    if (pos.flags & SWP_NOSIZE)
        now = {now.left, now.top, now.left + (old.right - old.left), now.top + (old.bottom - old.top)};
    const bool moved = now.left != old.left || now.top != old.top;
    const bool sized =
        (now.right - now.left) != (old.right - old.left) || (now.bottom - now.top) != (old.bottom - old.top);
    bool showing = false, hiding = false;
    {
        std::lock_guard guard(UserLock());
        w->rect = now;
        if (!(w->style & (WS_MAXIMIZE | WS_MINIMIZE)))
            w->normal = now;
        if (!(pos.flags & SWP_NOZORDER) && pos.hwndInsertAfter != hwnd)
            LinkWindowLocked(*w, w->parent, pos.hwndInsertAfter);
        if ((pos.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
            w->style |= WS_VISIBLE;
            showing = true;
            // Shown again, the window paints itself whole, as one that comes into view does.
            w->update = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
            w->erase = w->frame = true;
        }
        if ((pos.flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
            w->style &= ~WS_VISIBLE;
            hiding = true;
        }
        if (sized) {
            // A resized window paints itself whole again.
            w->surface.reset();
            w->erase = w->frame = true;
        }
        if (pos.flags & SWP_FRAMECHANGED)
            w->frame = true;
    }
    if (sized || (pos.flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS params{};
        params.rgrc[0] = now;
        params.rgrc[1] = now;
        params.rgrc[2] = old;
        params.lppos = &pos;
        SendToWindow(w, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        std::lock_guard guard(UserLock());
        RECT c = params.rgrc[0];
        w->client = {c.left - now.left, c.top - now.top, c.right - now.left, c.bottom - now.top};
        if (w->client.right < w->client.left)
            w->client.right = w->client.left;
        if (w->client.bottom < w->client.top)
            w->client.bottom = w->client.top;
        w->update = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
        w->erase = w->frame = true;
    }
    NotifyUser();
    WINDOWPOS done = pos;
    done.x = now.left;
    done.y = now.top;
    done.cx = now.right - now.left;
    done.cy = now.bottom - now.top;
    if (!moved)
        done.flags |= SWP_NOMOVE;
    if (!sized)
        done.flags |= SWP_NOSIZE;
    SendToWindow(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));

    const bool topLevel = !w->parent;
    if (showing && topLevel && !(pos.flags & SWP_NOACTIVATE))
        SetActiveWindow(hwnd);
    if (hiding) {
        std::shared_ptr<ThreadQueue> queue = w->queue;
        bool wasActive = false;
        HWND focus = nullptr;
        {
            std::lock_guard guard(UserLock());
            wasActive = queue && queue->active == hwnd;
            focus = queue ? queue->focus : nullptr;
        }
        if (focus && (focus == hwnd || IsChild(hwnd, focus)))
            SetFocus(nullptr);
        if (wasActive && topLevel) {
            if (HWND next = NextToActivate(hwnd))
                SetActiveWindow(next);
        }
    }
    if (topLevel) {
        if (showing || hiding)
            ReportShown(hwnd, showing);
        if (moved || sized)
            ReportMoved(hwnd);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND hwnd, int command) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    if (w->thread != GetCurrentThreadId()) {
        BOOL result = FALSE;
        std::function<void()> run = [&] { result = ShowWindow(hwnd, command); };
        SendToWindow(w, kRunOnThreadMessage, 0, reinterpret_cast<LPARAM>(&run));
        return result;
    }
    DWORD style;
    RECT normal;
    {
        std::lock_guard guard(UserLock());
        style = w->style;
        normal = w->normal;
    }
    const BOOL wasVisible = (style & WS_VISIBLE) != 0;
    UINT flags = SWP_NOZORDER;
    bool show = true;
    RECT target{};
    bool reshape = false;
    DWORD setStyle = 0, clearStyle = 0;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible)
            return FALSE;
        show = false;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        setStyle = WS_MINIMIZE;
        clearStyle = WS_MAXIMIZE;
        if (command != SW_SHOWMINIMIZED)
            flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWMAXIMIZED:
        setStyle = WS_MAXIMIZE;
        clearStyle = WS_MINIMIZE;
        target = MaximizedRect(w);
        reshape = true;
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        if (style & (WS_MINIMIZE | WS_MAXIMIZE)) {
            clearStyle = WS_MINIMIZE | WS_MAXIMIZE;
            target = normal;
            reshape = true;
        }
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE: flags |= SWP_NOACTIVATE; break;
    case SW_SHOW: break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    if (show && !wasVisible)
        SendToWindow(w, WM_SHOWWINDOW, TRUE, 0);
    if (!show)
        SendToWindow(w, WM_SHOWWINDOW, FALSE, 0);
    {
        std::lock_guard guard(UserLock());
        if ((setStyle & (WS_MAXIMIZE | WS_MINIMIZE)) && !(w->style & (WS_MAXIMIZE | WS_MINIMIZE)))
            w->normal = w->rect;
        w->style = (w->style & ~clearStyle) | setStyle;
    }
    if (w->parent)
        flags |= SWP_NOACTIVATE;
    flags |= show ? SWP_SHOWWINDOW : (SWP_HIDEWINDOW | SWP_NOACTIVATE);
    if (reshape)
        SetWindowPos(hwnd, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                     flags | SWP_FRAMECHANGED);
    else
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE);
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    std::lock_guard guard(UserLock());
    WindowPtr w = FindWindowLocked(hwnd);
    return w && IsVisibleLocked(*w);
}

BOOL IsIconic(HWND hwnd) {
    return (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_MINIMIZE) != 0;
}
BOOL IsZoomed(HWND hwnd) {
    return (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_MAXIMIZE) != 0;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !rect)
        return FALSE;
    std::lock_guard guard(UserLock());
    *rect = WindowRectOnScreenLocked(*w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !rect)
        return FALSE;
    std::lock_guard guard(UserLock());
    *rect = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    POINT fromOrigin{0, 0}, toOrigin{0, 0};
    {
        std::lock_guard guard(UserLock());
        if (from && from != DesktopWindowLocked()) {
            WindowPtr w = FindWindowLocked(from);
            if (!w) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return 0;
            }
            fromOrigin = ClientOriginLocked(*w);
        }
        if (to && to != DesktopWindowLocked()) {
            WindowPtr w = FindWindowLocked(to);
            if (!w) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return 0;
            }
            toOrigin = ClientOriginLocked(*w);
        }
    }
    LONG dx = fromOrigin.x - toOrigin.x, dy = fromOrigin.y - toOrigin.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    if (!point || !IsWindow(hwnd))
        return FALSE;
    MapWindowPoints(hwnd, nullptr, point, 1);
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    if (!point || !IsWindow(hwnd))
        return FALSE;
    MapWindowPoints(nullptr, hwnd, point, 1);
    return TRUE;
}

namespace {

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The deepest visible, enabled window under a screen point among `list` (topmost first) and below.
HWND DeepestAt(const std::vector<HWND>& list, POINT screen, bool skipDisabled) {
    for (HWND hwnd : list) {
        WindowPtr w = FindWindowLocked(hwnd);
        if (!w || !(w->style & WS_VISIBLE) || (skipDisabled && (w->style & WS_DISABLED)))
            continue;
        if (!Contains(WindowRectOnScreenLocked(*w), screen))
            continue;
        POINT origin = ClientOriginLocked(*w);
        RECT client{origin.x, origin.y, origin.x + (w->client.right - w->client.left),
                    origin.y + (w->client.bottom - w->client.top)};
        if (Contains(client, screen))
            if (HWND child = DeepestAt(w->children, screen, skipDisabled))
                return child;
        return hwnd;
    }
    return nullptr;
}

} // namespace

HWND WindowFromPoint(POINT point) {
    std::lock_guard guard(UserLock());
    return DeepestAt(TopLevelWindowsLocked(), point, true);
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {
    WindowPtr p = LookupWindow(parent);
    if (!p)
        return nullptr;
    std::lock_guard guard(UserLock());
    if (point.x < 0 || point.y < 0 || point.x >= p->client.right - p->client.left ||
        point.y >= p->client.bottom - p->client.top)
        return nullptr;
    for (HWND hwnd : p->children) {
        WindowPtr w = FindWindowLocked(hwnd);
        if (!w || ((flags & CWP_SKIPINVISIBLE) && !(w->style & WS_VISIBLE)) ||
            ((flags & CWP_SKIPDISABLED) && (w->style & WS_DISABLED)) ||
            ((flags & CWP_SKIPTRANSPARENT) && (w->exStyle & WS_EX_TRANSPARENT)))
            continue;
        if (Contains(w->rect, point))
            return hwnd;
    }
    return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    return ChildWindowFromPointEx(parent, point, CWP_ALL);
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(style & (WS_CHILD | WS_POPUP)))
        style |= WS_CAPTION;
    RECT insets = NonClientInsets(style & ~(WS_VSCROLL | WS_HSCROLL), exStyle, menu != FALSE, false, false);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

UINT GetDpiForWindow(HWND hwnd) {
    return IsWindow(hwnd) ? USER_DEFAULT_SCREEN_DPI : 0;
}

HMENU GetMenu(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    return (w->style & WS_CHILD) ? nullptr : w->menu;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    {
        std::lock_guard guard(UserLock());
        if (w->style & WS_CHILD) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        w->menu = menu;
    }
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL DrawMenuBar(HWND hwnd) {
    return RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}
