// Device contexts of windows: BeginPaint and EndPaint, GetDC and GetWindowDC, scrolling, and the defaults of
// WM_ERASEBKGND and WM_CTLCOLOR*. Each window's DC draws into the window's own image (WindowSurface.h), made
// when it is first painted and made again at the new size after a resize. Locks: UserLock() around the window's
// state; drawing runs without it (the surface has its own lock).
#include "WinPaint.h"

#include "WinGdi.h"
#include "WinRect.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/NonClient.h"
#include "internal/WindowEvents.h"
#include "internal/WindowManager.h"
#include "internal/WindowSurface.h"
#include "winerror.h"

using namespace win32::internal;

namespace win32::internal {

std::shared_ptr<WindowSurface> SurfaceOfLocked(Window& w) {
    if (!w.surface)
        w.surface = CreateWindowSurface(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top);
    return w.surface;
}

} // namespace win32::internal

namespace {

RECT Offset(RECT r, LONG dx, LONG dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A DC on the window's image: the client area (origin and clip there) or the whole window.
HDC WindowDC(HWND hwnd, bool whole, const RECT* clipClient) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    std::shared_ptr<WindowSurface> surface;
    POINT origin{0, 0};
    RECT clip;
    {
        std::lock_guard guard(UserLock());
        surface = SurfaceOfLocked(*w);
        if (whole) {
            clip = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        } else {
            origin = {w->client.left, w->client.top};
            clip = clipClient ? Offset(*clipClient, origin.x, origin.y) : w->client;
            RECT client = w->client;
            IntersectRect(&clip, &clip, &client);
        }
    }
    return CreateSurfaceDC(std::move(surface), hwnd, origin, clip);
}

HDC ScreenDC() {
    WindowPtr desktop;
    {
        std::lock_guard guard(UserLock());
        desktop = FindWindowLocked(DesktopWindowLocked());
    }
    return desktop ? WindowDC(desktop->hwnd, true, nullptr) : nullptr;
}

} // namespace

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *ps = {};
    WindowPtr w = LookupOwnWindow(hwnd);
    if (!w)
        return nullptr;
    bool frame;
    {
        std::lock_guard guard(UserLock());
        frame = w->frame;
        w->frame = false;
    }
    if (frame)
        SendToWindow(w, WM_NCPAINT, 1, 0);
    RECT update;
    bool erase;
    {
        std::lock_guard guard(UserLock());
        update = w->update;
        erase = w->erase;
        w->update = {};
        w->erase = w->internalPaint = false;
        ++w->paintsInProgress;
        ++w->paints;
    }
    HDC dc = WindowDC(hwnd, false, &update);
    ps->hdc = dc;
    ps->rcPaint = update;
    if (erase && dc)
        ps->fErase = SendToWindow(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps)
        return FALSE;
    if (ps->hdc)
        DeleteSurfaceDC(ps->hdc);
    if (WindowPtr w = LookupWindow(hwnd)) {
        std::lock_guard guard(UserLock());
        if (w->paintsInProgress > 0)
            --w->paintsInProgress;
    }
    ReportPictureChanged(hwnd);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    return hwnd ? WindowDC(hwnd, false, nullptr) : ScreenDC();
}

HDC GetWindowDC(HWND hwnd) {
    return hwnd ? WindowDC(hwnd, true, nullptr) : ScreenDC();
}

HDC GetDCEx(HWND hwnd, HRGN, DWORD flags) {
    return (flags & DCX_WINDOW) ? GetWindowDC(hwnd) : GetDC(hwnd);
}

int ReleaseDC(HWND hwnd, HDC dc) {
    if (!DeleteSurfaceDC(dc))
        return 0;
    if (hwnd)
        ReportPictureChanged(hwnd);
    return 1;
}

HWND WindowFromDC(HDC dc) {
    return SurfaceDCWindow(dc);
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN, LPRECT updateRect,
                   UINT flags) {
    RECT client;
    if (!GetClientRect(hwnd, &client))
        return ERROR;
    RECT area = scroll ? *scroll : client;
    if (clip)
        IntersectRect(&area, &area, clip);
    if (HDC dc = GetDC(hwnd)) {
        BitBlt(dc, area.left + dx, area.top + dy, area.right - area.left, area.bottom - area.top, dc, area.left,
               area.top, SRCCOPY);
        ReleaseDC(hwnd, dc);
    }
    // What the move uncovered.
    RECT uncovered{};
    RECT band = area;
    if (dx > 0)
        band.right = area.left + dx;
    else if (dx < 0)
        band.left = area.right + dx;
    if (dx)
        UnionRect(&uncovered, &uncovered, &band);
    band = area;
    if (dy > 0)
        band.bottom = area.top + dy;
    else if (dy < 0)
        band.top = area.bottom + dy;
    if (dy)
        UnionRect(&uncovered, &uncovered, &band);
    if (updateRect)
        *updateRect = uncovered;
    if ((flags & SW_INVALIDATE) && !IsRectEmpty(&uncovered))
        InvalidateRect(hwnd, &uncovered, (flags & SW_ERASE) ? TRUE : FALSE);
    if (flags & SW_SCROLLCHILDREN) {
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<LPPOINT>(&r), 2);
            SetWindowPos(child, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    return IsRectEmpty(&uncovered) ? NULLREGION : SIMPLEREGION;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
    UINT flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN);
    return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr, flags) != ERROR;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    RECT box;
    if (!region)
        return InvalidateRect(hwnd, nullptr, erase);
    return GetRgnBox(region, &box) == NULLREGION ? IsWindow(hwnd) : InvalidateRect(hwnd, &box, erase);
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
    RECT box;
    if (!region)
        return ValidateRect(hwnd, nullptr);
    return GetRgnBox(region, &box) == NULLREGION ? IsWindow(hwnd) : ValidateRect(hwnd, &box);
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase) {
    RECT update;
    BOOL any = GetUpdateRect(hwnd, &update, erase);
    if (!IsWindow(hwnd) || !region)
        return ERROR;
    SetRectRgn(region, update.left, update.top, update.right, update.bottom);
    return any ? SIMPLEREGION : NULLREGION;
}

namespace win32::internal {

LRESULT EraseBackground(HWND hwnd, HDC dc) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !dc)
        return 0;
    HBRUSH brush;
    {
        std::lock_guard guard(UserLock());
        brush = w->cls->background;
    }
    if (!brush)
        return 0;
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    return 1;
}

LRESULT ControlColor(UINT message, HDC dc) {
    int face = COLOR_3DFACE;
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
        face = COLOR_WINDOW;
    else if (message == WM_CTLCOLORSCROLLBAR)
        face = COLOR_SCROLLBAR;
    if (dc) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(face));
    }
    return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
}

} // namespace win32::internal
