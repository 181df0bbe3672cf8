// The scroll bars of a window's non-client area. Locks: UserLock() around the bars' state.
#include <algorithm>

#include "WinPaint.h"
#include "WinScrollBarControl.h"
#include "WinUser.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

ScrollBar* BarOf(Window& w, int bar) {
    if (bar == SB_HORZ || bar == SB_VERT)
        return &w.scroll[bar];
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

void Clamp(ScrollBar& bar) {
    const int top = bar.page ? std::max(bar.min, bar.max - static_cast<int>(bar.page) + 1) : bar.max;
    bar.pos = std::clamp(bar.pos, bar.min, std::max(bar.min, top));
}

void RedrawFrame(HWND hwnd, BOOL redraw) {
    if (redraw)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

} // namespace

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
    if (bar == SB_CTL) // a scroll bar control keeps its own
        return static_cast<int>(SendMessageA(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !info)
        return 0;
    int pos;
    bool shown, needed;
    {
        std::lock_guard guard(UserLock());
        ScrollBar* b = BarOf(*w, bar);
        if (!b)
            return 0;
        if (info->fMask & SIF_RANGE) {
            b->min = info->nMin;
            b->max = std::max(info->nMin, info->nMax);
        }
        if (info->fMask & SIF_PAGE)
            b->page = std::min<UINT>(info->nPage, static_cast<UINT>(b->max - b->min + 1));
        if (info->fMask & SIF_POS)
            b->pos = info->nPos;
        Clamp(*b);
        pos = b->pos;
        // A bar is needed while its page is smaller than its range. One that is not needed stays, greyed and
        // without a thumb, under SIF_DISABLENOSCROLL, and goes otherwise; it comes back when it is needed.
        needed = b->page ? static_cast<int>(b->page) <= b->max - b->min : b->max > b->min;
        shown = (w->style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
        if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
            if (info->fMask & SIF_DISABLENOSCROLL)
                b->disabled = !needed;
            else if (needed)
                b->disabled = false;
        }
    }
    if ((info->fMask & (SIF_RANGE | SIF_PAGE)) && !(info->fMask & SIF_DISABLENOSCROLL) && shown != needed)
        ShowScrollBar(hwnd, bar, needed);
    RedrawFrame(hwnd, redraw);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
    if (bar == SB_CTL)
        return static_cast<BOOL>(SendMessageA(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !info)
        return FALSE;
    std::lock_guard guard(UserLock());
    ScrollBar* b = BarOf(*w, bar);
    if (!b)
        return FALSE;
    if (info->fMask & SIF_RANGE) {
        info->nMin = b->min;
        info->nMax = b->max;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = b->page;
    if (info->fMask & SIF_POS)
        info->nPos = b->pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = b->pos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &info, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO info{sizeof(info), SIF_RANGE, minPos, maxPos, 0, 0, 0};
    return SetScrollInfo(hwnd, bar, &info, redraw) >= 0 && IsWindow(hwnd);
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos) {
    SCROLLINFO info{sizeof(info), SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &info))
        return FALSE;
    if (minPos)
        *minPos = info.nMin;
    if (maxPos)
        *maxPos = info.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    DWORD bits = bar == SB_VERT   ? WS_VSCROLL
                 : bar == SB_HORZ ? WS_HSCROLL
                 : bar == SB_BOTH ? WS_VSCROLL | WS_HSCROLL
                                  : 0;
    if (!bits) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool changed;
    {
        std::lock_guard guard(UserLock());
        DWORD style = show ? (w->style | bits) : (w->style & ~bits);
        changed = style != w->style;
        w->style = style;
    }
    if (changed)
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bars, UINT arrows) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    {
        std::lock_guard guard(UserLock());
        for (int bar : {SB_HORZ, SB_VERT})
            if (bars == SB_BOTH || static_cast<int>(bars) == bar)
                w->scroll[bar].disabled = arrows == ESB_DISABLE_BOTH;
    }
    RedrawFrame(hwnd, TRUE);
    return TRUE;
}
