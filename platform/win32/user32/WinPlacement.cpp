// Window placement, the one monitor and deferred positions. Locks: UserLock() around the window's state.
#include <memory>
#include <vector>

#include "WinSystemInfo.h"
#include "WinUser.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

// The screen is the machine's one monitor.
const HMONITOR kMonitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10001));

RECT Screen() {
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

struct Deferred {
    HWND hwnd;
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};

} // namespace

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !placement)
        return FALSE;
    std::lock_guard guard(UserLock());
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = 0;
    placement->showCmd = !(w->style & WS_VISIBLE)   ? SW_HIDE
                         : (w->style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                         : (w->style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
                                                    : SW_SHOWNORMAL;
    placement->ptMinPosition = {-1, -1};
    placement->ptMaxPosition = {-1, -1};
    placement->rcNormalPosition = (w->style & (WS_MINIMIZE | WS_MAXIMIZE)) ? w->normal : w->rect;
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
    if (!placement || placement->length != sizeof(WINDOWPLACEMENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    const RECT& r = placement->rcNormalPosition;
    bool restored;
    {
        std::lock_guard guard(UserLock());
        restored = !(w->style & (WS_MINIMIZE | WS_MAXIMIZE));
        w->normal = r;
    }
    if (restored)
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, static_cast<int>(placement->showCmd));
    return TRUE;
}

HMONITOR MonitorFromWindow(HWND, DWORD) {
    return kMonitor;
}
HMONITOR MonitorFromPoint(POINT, DWORD) {
    return kMonitor;
}
HMONITOR MonitorFromRect(LPCRECT, DWORD) {
    return kMonitor;
}

BOOL GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != kMonitor || !info || info->cbSize < sizeof(MONITORINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = Screen();
    info->rcWork = Screen();
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT, PVOID data, UINT) {
    if (action == SPI_GETWORKAREA && data) {
        *static_cast<RECT*>(data) = Screen();
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

HDWP BeginDeferWindowPos(int count) {
    if (count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* list = new std::vector<Deferred>;
    list->reserve(static_cast<size_t>(count));
    return reinterpret_cast<HDWP>(list);
}

HDWP DeferWindowPos(HDWP info, HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!info)
        return nullptr;
    auto* list = reinterpret_cast<std::vector<Deferred>*>(info);
    if (!IsWindow(hwnd)) {
        delete list; // the platform gives up the whole set
        return nullptr;
    }
    list->push_back({hwnd, insertAfter, x, y, cx, cy, flags});
    return info;
}

BOOL EndDeferWindowPos(HDWP info) {
    if (!info)
        return FALSE;
    std::unique_ptr<std::vector<Deferred>> list(reinterpret_cast<std::vector<Deferred>*>(info));
    for (const Deferred& d : *list)
        SetWindowPos(d.hwnd, d.insertAfter, d.x, d.y, d.cx, d.cy, d.flags);
    return TRUE;
}
