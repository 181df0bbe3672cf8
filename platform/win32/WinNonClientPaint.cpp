// What DefWindowProc draws for WM_NCPAINT: the frame, the caption with its title and close box, the menu bar's
// band and the scroll bars, in the classic look. Locks: UserLock() while the layout is read; drawing runs
// without it.
#include <algorithm>

#include "WinGdi.h"
#include "WinMenus.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinSystemInfo.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/NonClient.h"

using namespace win32::internal;

namespace {

struct Snapshot {
    NonClientLayout layout;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string title;
    bool active = false;
    HMENU menu = nullptr;
    ScrollBar scroll[2];
};

void DrawArrowBox(HDC dc, RECT box, bool disabled) {
    FillRect(dc, &box, GetSysColorBrush(COLOR_3DFACE));
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
    (void)disabled;
}

void DrawScrollBar(HDC dc, const RECT& bar, const ScrollBar& state, bool vertical) {
    if (IsRectEmpty(&bar))
        return;
    FillRect(dc, &bar, GetSysColorBrush(COLOR_SCROLLBAR));
    const LONG arrow = vertical ? GetSystemMetrics(SM_CYVSCROLL) : GetSystemMetrics(SM_CXHSCROLL);
    const LONG length = vertical ? bar.bottom - bar.top : bar.right - bar.left;
    RECT first = bar, second = bar;
    if (vertical) {
        first.bottom = std::min(bar.bottom, bar.top + arrow);
        second.top = std::max(bar.top, bar.bottom - arrow);
    } else {
        first.right = std::min(bar.right, bar.left + arrow);
        second.left = std::max(bar.left, bar.right - arrow);
    }
    DrawArrowBox(dc, first, state.disabled);
    DrawArrowBox(dc, second, state.disabled);
    if (state.disabled || length <= 2 * arrow)
        return;
    ThumbSpan thumb = ThumbOf(state, length, arrow);
    RECT box = bar;
    if (vertical) {
        box.top = bar.top + thumb.start;
        box.bottom = bar.top + thumb.end;
    } else {
        box.left = bar.left + thumb.start;
        box.right = bar.left + thumb.end;
    }
    DrawArrowBox(dc, box, false);
}

// The menu bar's items, left to right, each with a margin on both sides.
void PaintMenuBar(HDC dc, const RECT& bar, HMENU menu) {
    FillRect(dc, &bar, GetSysColorBrush(COLOR_MENU));
    const int count = menu ? GetMenuItemCount(menu) : 0;
    if (count <= 0)
        return;
    constexpr LONG kMargin = 6;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    LONG x = bar.left;
    for (int i = 0; i < count && x < bar.right; ++i) {
        char text[256];
        int length = GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        if (length <= 0)
            continue;
        RECT item{x + kMargin, bar.top, bar.right, bar.bottom};
        DrawTextA(dc, text, length, &item, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
        item.top = bar.top;
        item.bottom = bar.bottom;
        const bool grey = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0;
        SetTextColor(dc, GetSysColor(grey ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
        DrawTextA(dc, text, length, &item, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        x = item.right + kMargin;
    }
    SelectObject(dc, old);
}

} // namespace

namespace win32::internal {

void PaintNonClient(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return;
    Snapshot s;
    {
        std::lock_guard guard(UserLock());
        s.layout = LayoutOfLocked(*w);
        s.style = w->style;
        s.exStyle = w->exStyle;
        s.title = w->text;
        WindowPtr root = FindWindowLocked(RootOfLocked(*w));
        s.active = root && root->queue && root->queue->active == root->hwnd;
        s.menu = (w->style & WS_CHILD) ? nullptr : w->menu;
        s.scroll[0] = w->scroll[0];
        s.scroll[1] = w->scroll[1];
    }
    HDC dc = GetWindowDC(hwnd);
    if (!dc)
        return;
    RECT r = s.layout.window;
    if (s.style & WS_THICKFRAME) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        FrameRect(dc, &r, GetSysColorBrush(s.active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER));
        InflateRect(&r, -1, -1);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
        InflateRect(&r, -1, -1);
    } else if ((s.style & WS_DLGFRAME) || (s.exStyle & WS_EX_DLGMODALFRAME)) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
        InflateRect(&r, -1, -1);
    } else if (s.style & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (!IsRectEmpty(&s.layout.caption)) {
        RECT caption = s.layout.caption;
        FillRect(dc, &caption, GetSysColorBrush(s.active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        RECT text = caption;
        text.left += 4;
        if (!IsRectEmpty(&s.layout.close)) {
            text.right = s.layout.close.left;
            RECT box = s.layout.close;
            InflateRect(&box, -2, -2);
            FillRect(dc, &box, GetSysColorBrush(COLOR_3DFACE));
            DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            DrawTextA(dc, "x", 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(s.active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        DrawTextA(dc, s.title.c_str(), static_cast<int>(s.title.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
    }
    if (!IsRectEmpty(&s.layout.menu))
        PaintMenuBar(dc, s.layout.menu, s.menu);
    DrawScrollBar(dc, s.layout.vscroll, s.scroll[SB_VERT], true);
    DrawScrollBar(dc, s.layout.hscroll, s.scroll[SB_HORZ], false);
    if (!IsRectEmpty(&s.layout.vscroll) && !IsRectEmpty(&s.layout.hscroll)) {
        RECT corner{s.layout.vscroll.left, s.layout.hscroll.top, s.layout.vscroll.right, s.layout.hscroll.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_3DFACE));
    }
    // The client edge lies just outside the client area, inside the scroll bars.
    RECT edge = s.layout.client;
    edge.right = std::max(edge.right, s.layout.vscroll.right);
    edge.bottom = std::max(edge.bottom, s.layout.hscroll.bottom);
    if (s.exStyle & WS_EX_CLIENTEDGE) {
        InflateRect(&edge, 2, 2);
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    } else if (s.exStyle & WS_EX_STATICEDGE) {
        InflateRect(&edge, 1, 1);
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    }
    ReleaseDC(hwnd, dc);
}

} // namespace win32::internal
