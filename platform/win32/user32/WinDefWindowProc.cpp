// What a window does with a message its procedure leaves to the system. Locks: UserLock() around the window's
// state only.
#include <algorithm>
#include <cstring>

#include "WinInput.h"
#include "WinMenus.h"
#include "WinPaint.h"
#include "WinPopupMenu.h"
#include "WinRect.h"
#include "WinSystemInfo.h"
#include "WinUser.h"
#include "internal/NonClient.h"
#include "internal/WindowEvents.h"
#include "internal/WindowManager.h"

using namespace win32::internal;

namespace {

constexpr LPARAM kKeyboardPosition = MAKELPARAM(-1, -1);

LRESULT HitTest(const WindowPtr& w, POINT screen) {
    NonClientLayout layout;
    RECT window;
    {
        std::lock_guard guard(UserLock());
        layout = LayoutOfLocked(*w);
        window = WindowRectOnScreenLocked(*w);
    }
    POINT p{screen.x - window.left, screen.y - window.top};
    auto inside = [&](const RECT& r) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; };
    if (!inside(layout.window))
        return HTNOWHERE;
    if (inside(layout.client))
        return HTCLIENT;
    if (inside(layout.vscroll))
        return HTVSCROLL;
    if (inside(layout.hscroll))
        return HTHSCROLL;
    if (inside(layout.menu))
        return HTMENU;
    if (inside(layout.close))
        return HTCLOSE;
    if (inside(layout.maximize))
        return HTMAXBUTTON;
    if (inside(layout.minimize))
        return HTMINBUTTON;
    if (inside(layout.sysMenu))
        return HTSYSMENU;
    if (inside(layout.caption))
        return HTCAPTION;
    if (layout.sizable) {
        const LONG edge = layout.border;
        bool left = p.x < edge, right = p.x >= layout.window.right - edge;
        bool top = p.y < edge, bottom = p.y >= layout.window.bottom - edge;
        if (top && left)
            return HTTOPLEFT;
        if (top && right)
            return HTTOPRIGHT;
        if (bottom && left)
            return HTBOTTOMLEFT;
        if (bottom && right)
            return HTBOTTOMRIGHT;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
        if (top)
            return HTTOP;
        if (bottom)
            return HTBOTTOM;
    }
    return HTBORDER;
}

LRESULT SetCursorFor(const WindowPtr& w, WPARAM wParam, LPARAM lParam) {
    HWND parent;
    HCURSOR classCursor;
    {
        std::lock_guard guard(UserLock());
        parent = (w->style & WS_CHILD) ? w->parent : nullptr;
        classCursor = w->cls->cursor;
    }
    // The parent may choose the cursor for its children.
    if (parent && SendMessageA(parent, WM_SETCURSOR, wParam, lParam))
        return TRUE;
    switch (static_cast<SHORT>(LOWORD(lParam))) {
    case HTCLIENT:
        if (classCursor) {
            SetCursor(classCursor);
            return TRUE;
        }
        return FALSE;
    case HTLEFT:
    case HTRIGHT: SetCursor(LoadCursorA(nullptr, IDC_SIZEWE)); return TRUE;
    case HTTOP:
    case HTBOTTOM: SetCursor(LoadCursorA(nullptr, IDC_SIZENS)); return TRUE;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: SetCursor(LoadCursorA(nullptr, IDC_SIZENWSE)); return TRUE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: SetCursor(LoadCursorA(nullptr, IDC_SIZENESW)); return TRUE;
    default: SetCursor(LoadCursorA(nullptr, IDC_ARROW)); return TRUE;
    }
}

// A click on a scroll bar: the arrows scroll a line, the track above or below the thumb a page.
void ScrollBarClick(HWND hwnd, int bar, POINT screen) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return;
    NonClientLayout layout;
    RECT window;
    ScrollBar state;
    {
        std::lock_guard guard(UserLock());
        layout = LayoutOfLocked(*w);
        window = WindowRectOnScreenLocked(*w);
        state = w->scroll[bar];
    }
    if (state.disabled)
        return;
    const RECT& r = bar == SB_VERT ? layout.vscroll : layout.hscroll;
    const LONG at = bar == SB_VERT ? screen.y - window.top - r.top : screen.x - window.left - r.left;
    const LONG length = bar == SB_VERT ? r.bottom - r.top : r.right - r.left;
    const LONG arrow = bar == SB_VERT ? GetSystemMetrics(SM_CYVSCROLL) : GetSystemMetrics(SM_CXHSCROLL);
    ThumbSpan thumb = ThumbOf(state, length, arrow);
    WORD code;
    if (at < arrow)
        code = SB_LINEUP;
    else if (at >= length - arrow)
        code = SB_LINEDOWN;
    else if (at < thumb.start)
        code = SB_PAGEUP;
    else if (at >= thumb.end)
        code = SB_PAGEDOWN;
    else
        return; // the thumb itself: dragging it is the display host's business
    UINT message = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(hwnd, message, MAKEWPARAM(code, 0), 0);
    SendMessageA(hwnd, message, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

void RedrawFrame(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

// A caption button pressed (down) or let go (up) over the part `hit`: the button shows pushed while it is held,
// and letting it go over the same button gives its system command. A greyed button takes no press.
void CaptionButton(HWND hwnd, const WindowPtr& w, LRESULT hit, bool down, LPARAM point) {
    LRESULT pressed;
    DWORD style;
    {
        std::lock_guard guard(UserLock());
        const NonClientLayout layout = LayoutOfLocked(*w);
        const bool enabled =
            hit == HTCLOSE || (hit == HTMINBUTTON && layout.canMinimize) || (hit == HTMAXBUTTON && layout.canMaximize);
        pressed = w->ncPressed;
        w->ncPressed = down && enabled ? hit : 0;
        style = w->style;
    }
    if (pressed != 0 || down)
        RedrawFrame(hwnd);
    if (down || pressed != hit)
        return;
    WPARAM command = SC_CLOSE;
    if (hit == HTMAXBUTTON)
        command = (style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
    else if (hit == HTMINBUTTON)
        command = (style & WS_MINIMIZE) ? SC_RESTORE : SC_MINIMIZE;
    SendMessageA(hwnd, WM_SYSCOMMAND, command, point);
}

// The window menu under the system-menu icon: what the window's style and state allow, the choice sent back as
// its system command.
void ShowWindowMenu(HWND hwnd, const WindowPtr& w) {
    NonClientLayout layout;
    RECT window;
    DWORD style;
    {
        std::lock_guard guard(UserLock());
        layout = LayoutOfLocked(*w);
        window = WindowRectOnScreenLocked(*w);
        style = w->style;
    }
    const bool minimized = (style & WS_MINIMIZE) != 0, maximized = (style & WS_MAXIMIZE) != 0;
    HMENU menu = CreatePopupMenu();
    auto add = [&](UINT command, const char* text, bool enabled) {
        AppendMenuA(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), command, text);
    };
    add(SC_RESTORE, "&Restore", minimized || maximized);
    add(SC_MOVE, "&Move", !maximized);
    add(SC_SIZE, "&Size", (style & WS_THICKFRAME) && !minimized && !maximized);
    add(SC_MINIMIZE, "Mi&nimize", (style & WS_MINIMIZEBOX) && !minimized);
    add(SC_MAXIMIZE, "Ma&ximize", (style & WS_MAXIMIZEBOX) && !maximized);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    add(SC_CLOSE, "&Close\tAlt+F4", true);
    const RECT& below = IsRectEmpty(&layout.sysMenu) ? layout.caption : layout.sysMenu;
    const UINT command =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, window.left + below.left,
                                         window.top + layout.caption.bottom, 0, hwnd, nullptr));
    DestroyMenu(menu);
    if (command != 0 && IsWindow(hwnd))
        SendMessageA(hwnd, WM_SYSCOMMAND, command, 0);
}

} // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return 0;
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_NCCALCSIZE: {
        RECT insets;
        {
            std::lock_guard guard(UserLock());
            insets = InsetsOfLocked(*w);
        }
        RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        if (r) {
            r->left += insets.left;
            r->top += insets.top;
            r->right = std::max(r->left, r->right - insets.right);
            r->bottom = std::max(r->top, r->bottom - insets.bottom);
        }
        return 0;
    }
    case WM_NCHITTEST: return HitTest(w, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_SETCURSOR: return SetCursorFor(w, wParam, lParam);
    case WM_MOUSEACTIVATE: {
        HWND parent;
        {
            std::lock_guard guard(UserLock());
            parent = (w->style & WS_CHILD) ? w->parent : nullptr;
        }
        if (parent)
            if (LRESULT result = SendMessageA(parent, WM_MOUSEACTIVATE, wParam, lParam))
                return result;
        return MA_ACTIVATE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam))
            SetFocus(hwnd);
        return 0;
    case WM_NCACTIVATE: RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN); return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        case SC_MOUSEMENU: ShowWindowMenu(hwnd, w); break;
        default: break;
        }
        return 0;
    case WM_SETTEXT: {
        std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        bool caption;
        {
            std::lock_guard guard(UserLock());
            w->text = text;
            caption = (w->style & WS_CAPTION) == WS_CAPTION;
        }
        if (caption)
            RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
        ReportRetitled(hwnd, text);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        std::lock_guard guard(UserLock());
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        memcpy(buffer, w->text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard guard(UserLock());
        return static_cast<LRESULT>(w->text.size());
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCPAINT: PaintNonClient(hwnd); return 0;
    case WM_ERASEBKGND: return EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos)
            return 0;
        if (!(pos->flags & SWP_NOMOVE)) {
            POINT origin{0, 0};
            MapWindowPoints(hwnd, GetAncestor(hwnd, GA_PARENT), &origin, 1);
            SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
        }
        if (!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED)) {
            RECT client;
            GetClientRect(hwnd, &client);
            WPARAM kind = IsZoomed(hwnd) ? SIZE_MAXIMIZED : IsIconic(hwnd) ? SIZE_MINIMIZED : SIZE_RESTORED;
            SendMessageA(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
        }
        return 0;
    }
    case WM_SETREDRAW: {
        std::lock_guard guard(UserLock());
        w->redraw = wParam != 0;
        return 0;
    }
    case WM_RBUTTONUP: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &p);
        SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
        return 0;
    }
    case WM_NCRBUTTONUP: SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), lParam); return 0;
    case WM_KEYUP:
        if (wParam == VK_APPS)
            SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), kKeyboardPosition);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000))
            SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), kKeyboardPosition);
        return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL: {
        // A child passes what it does not handle to its parent; wParam still names the window it came from.
        HWND parent;
        {
            std::lock_guard guard(UserLock());
            parent = (w->style & WS_CHILD) ? w->parent : nullptr;
        }
        return parent ? SendMessageA(parent, message, wParam, lParam) : 0;
    }
    case WM_NCLBUTTONDOWN: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (wParam == HTVSCROLL)
            ScrollBarClick(hwnd, SB_VERT, p);
        else if (wParam == HTHSCROLL)
            ScrollBarClick(hwnd, SB_HORZ, p);
        else if (wParam == HTCLOSE || wParam == HTMINBUTTON || wParam == HTMAXBUTTON)
            CaptionButton(hwnd, w, static_cast<LRESULT>(wParam), true, lParam);
        else if (wParam == HTSYSMENU)
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOUSEMENU | HTSYSMENU, lParam);
        return 0;
    }
    case WM_NCLBUTTONUP: CaptionButton(hwnd, w, static_cast<LRESULT>(wParam), false, lParam); return 0;
    case WM_LBUTTONUP:
        // Let go over the client area, a held caption button comes back up without its command.
        CaptionButton(hwnd, w, HTCLIENT, false, lParam);
        return 0;
    case WM_NCLBUTTONDBLCLK:
        // The icon closes the window; the caption of a window that can be maximised maximises or restores it.
        if (wParam == HTSYSMENU)
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
        else if (wParam == HTCAPTION && (GetWindowLongA(hwnd, GWL_STYLE) & WS_MAXIMIZEBOX))
            SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
        else
            return DefWindowProcA(hwnd, WM_NCLBUTTONDOWN, wParam, lParam);
        return 0;
    case WM_QUERYENDSESSION:
    case WM_DEVICECHANGE: return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return ControlColor(message, reinterpret_cast<HDC>(wParam));
    default: return 0;
    }
}
