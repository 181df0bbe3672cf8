// What DefWindowProc draws for WM_NCPAINT: the frame, the caption with its icon, title and buttons, the menu
// bar's band and the scroll bars, in the classic look. Locks: UserLock() while the layout is read; drawing runs
// without it.
#include <algorithm>

#include "WinFrameControl.h"
#include "WinGdi.h"
#include "WinIcons.h"
#include "WinMenus.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinSystemInfo.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/NonClient.h"
#include "internal/StockObjects.h"

using namespace win32::internal;

namespace {

struct Snapshot {
    NonClientLayout layout;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string title;
    bool active = false;
    HMENU menu = nullptr;
    HICON icon = nullptr;
    LRESULT pressed = 0; // the caption button held down
    ScrollBar scroll[2];
};

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
    const UINT inactive = state.disabled ? DFCS_INACTIVE : 0;
    DrawFrameControl(dc, &first, DFC_SCROLL, (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive);
    DrawFrameControl(dc, &second, DFC_SCROLL, (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive);
    // A disabled bar (SIF_DISABLENOSCROLL with nothing to scroll, or EnableScrollBar) has no thumb.
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
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
}

// The caption's fill: its colour on the left shading into its gradient colour on the right.
void FillCaption(HDC dc, const RECT& caption, bool active) {
    const COLORREF from = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    const COLORREF to = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    const LONG width = caption.right - caption.left;
    auto at = [&](LONG x) {
        auto mix = [&](int a, int b) { return a + (b - a) * static_cast<int>(x) / std::max<LONG>(1, width - 1); };
        return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                   mix(GetBValue(from), GetBValue(to)));
    };
    // One fill per run of columns of the same colour.
    for (LONG x = 0; x < width;) {
        const COLORREF colour = at(x);
        LONG end = x + 1;
        while (end < width && at(end) == colour)
            ++end;
        HBRUSH brush = CreateSolidBrush(colour);
        RECT run{caption.left + x, caption.top, caption.left + end, caption.bottom};
        FillRect(dc, &run, brush);
        DeleteObject(brush);
        x = end;
    }
}

void PaintCaption(HDC dc, const Snapshot& s) {
    const NonClientLayout& l = s.layout;
    FillCaption(dc, l.caption, s.active);
    RECT text = l.caption;
    text.left += 3;
    if (!IsRectEmpty(&l.sysMenu) && s.icon) {
        DrawIconEx(dc, l.sysMenu.left, l.sysMenu.top, s.icon, l.sysMenu.right - l.sysMenu.left,
                   l.sysMenu.bottom - l.sysMenu.top, 0, nullptr, DI_NORMAL);
        text.left = l.sysMenu.right + 3;
    }
    auto button = [&](const RECT& box, UINT glyph, LRESULT hit, bool enabled) {
        if (IsRectEmpty(&box))
            return;
        RECT r = box;
        DrawFrameControl(dc, &r, DFC_CAPTION,
                         glyph | (s.pressed == hit ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
        text.right = std::min(text.right, box.left - 2);
    };
    button(l.close, DFCS_CAPTIONCLOSE, HTCLOSE, true);
    // A maximised window's maximise button restores it, as a minimised window's minimise button does.
    button(l.maximize, (s.style & WS_MAXIMIZE) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMAX, HTMAXBUTTON, l.canMaximize);
    button(l.minimize, (s.style & WS_MINIMIZE) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMIN, HTMINBUTTON, l.canMinimize);
    HGDIOBJ old = SelectObject(dc, CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(s.active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    DrawTextA(dc, s.title.c_str(), static_cast<int>(s.title.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
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
        s.pressed = w->ncPressed;
        s.icon = w->cls->smallIcon ? w->cls->smallIcon : w->cls->icon;
    }
    if (!IsRectEmpty(&s.layout.sysMenu) && !s.icon)
        s.icon = LoadIconA(nullptr, IDI_APPLICATION);
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
    if (!IsRectEmpty(&s.layout.caption))
        PaintCaption(dc, s);
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
