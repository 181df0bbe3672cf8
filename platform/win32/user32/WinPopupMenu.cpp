// Pop-up menus and their modal loop. Locks: UserLock() only to set which window holds the thread's keyboard;
// the loop's state belongs to the thread that runs it.
#include "WinPopupMenu.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "WinDialogs.h"
#include "WinFrameControl.h"
#include "WinGdi.h"
#include "WinHooks.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUiControl.h"
#include "WinUserDraw.h"
#include "internal/ControlSupport.h"
#include "internal/Hooks.h"
#include "internal/InputState.h"
#include "internal/ModalService.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

constexpr int kMarkColumn = 20;
constexpr int kArrowColumn = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kItemPadding = 4;

struct Item {
    std::string text;
    UINT id = 0;
    UINT type = 0;
    UINT state = 0;
    HMENU sub = nullptr;
    bool Separator() const { return (type & MFT_SEPARATOR) != 0; }
    bool Greyed() const { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }
};

struct Loop;

struct MenuWindow {
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
    std::vector<Item> items;
    std::vector<RECT> rects; // client coordinates
    int hot = -1;
    Loop* loop = nullptr;
};

// One modal loop: the menus open now, top first, and what the user did.
struct Loop {
    HWND owner = nullptr;
    UINT flags = 0;
    std::vector<std::unique_ptr<MenuWindow>> open;
    bool done = false;
    UINT chosen = 0;
};

thread_local Loop* t_loop = nullptr;

std::vector<Item> ReadItems(HMENU menu) {
    std::vector<Item> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info))
            continue;
        items.push_back({text, info.wID, info.fType, info.fState, info.hSubMenu});
    }
    return items;
}

// The item's text without its '&' marks ("&&" is one '&').
std::string Plain(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

char Mnemonic(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] != '&')
                return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
            ++i;
        }
    }
    return 0;
}

// A command the menu (or a sub-menu) holds and the user may pick.
bool Pickable(HMENU menu, UINT id) {
    for (const Item& item : ReadItems(menu)) {
        if (item.sub) {
            if (!item.Greyed() && Pickable(item.sub, id))
                return true;
        } else if (!item.Separator() && !item.Greyed() && item.id == id) {
            return true;
        }
    }
    return false;
}

std::string RequestText(const std::vector<Item>& items) {
    std::string text;
    for (const Item& item : items) {
        if (!text.empty())
            text += '|';
        text += item.Separator() ? "-" : Plain(item.text);
    }
    return text;
}

HFONT MenuFont() {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Lays the items out and returns the client size.
SIZE Layout(MenuWindow& w) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    const int height = FontLineHeight(MenuFont()) + kItemPadding;
    int widest = 0;
    for (const Item& item : w.items) {
        if (item.Separator())
            continue;
        RECT r{};
        const std::string shown = item.text.substr(0, item.text.find('\t'));
        const size_t tab = item.text.find('\t');
        DrawTextA(dc, shown.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
        int width = r.right;
        if (tab != std::string::npos) {
            RECT k{};
            DrawTextA(dc, item.text.c_str() + tab + 1, -1, &k, DT_CALCRECT | DT_SINGLELINE);
            width += k.right + kArrowColumn;
        }
        widest = std::max(widest, width);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int width = kMarkColumn + widest + kArrowColumn;
    int y = 0;
    w.rects.clear();
    for (const Item& item : w.items) {
        const int h = item.Separator() ? kSeparatorHeight : height;
        w.rects.push_back({0, y, width, y + h});
        y += h;
    }
    return {width, y};
}

void PaintMenu(HWND hwnd, HDC dc, MenuWindow& w) {
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < w.items.size(); ++i) {
        const Item& item = w.items[i];
        RECT r = w.rects[i];
        if (item.Separator()) {
            RECT line{r.left + 2, (r.top + r.bottom) / 2 - 1, r.right - 2, (r.top + r.bottom) / 2 + 1};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            continue;
        }
        const bool hot = static_cast<int>(i) == w.hot;
        if (hot)
            FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(item.Greyed() ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        if (item.state & MF_CHECKED) {
            RECT mark{r.left, r.top, r.left + kMarkColumn, r.bottom};
            DrawFrameControl(dc, &mark, DFC_MENU,
                             (item.type & MFT_RADIOCHECK ? DFCS_MENUBULLET : DFCS_MENUCHECK) |
                                 (item.Greyed() ? DFCS_INACTIVE : 0));
        }
        RECT text{r.left + kMarkColumn, r.top, r.right - kArrowColumn, r.bottom};
        const size_t tab = item.text.find('\t');
        const std::string label = item.text.substr(0, tab);
        DrawTextA(dc, label.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (tab != std::string::npos)
            DrawTextA(dc, item.text.c_str() + tab + 1, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (item.sub) {
            RECT arrow{r.right - kArrowColumn, r.top, r.right, r.bottom};
            DrawFrameControl(dc, &arrow, DFC_MENU, DFCS_MENUARROW | (item.Greyed() ? DFCS_INACTIVE : 0));
        }
    }
    SelectObject(dc, old);
}

MenuWindow* WindowOf(HWND hwnd) {
    if (!t_loop)
        return nullptr;
    for (auto& w : t_loop->open)
        if (w->hwnd == hwnd)
            return w.get();
    return nullptr;
}

void HoldKeyboard(HWND hwnd) {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    queue->menu = hwnd;
}

// The item's MFS_HILITE: an open menu marks its highlighted item in the menu itself, where a message filter
// reads it.
void MarkHilite(HMENU menu, int index, bool on) {
    if (index < 0)
        return;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(index), TRUE, &info))
        return;
    info.fState = on ? info.fState | MFS_HILITE : info.fState & ~static_cast<UINT>(MFS_HILITE);
    SetMenuItemInfoA(menu, static_cast<UINT>(index), TRUE, &info);
}

void Finish(Loop& loop, UINT chosen) {
    loop.done = true;
    loop.chosen = chosen;
    for (auto& w : loop.open) {
        MarkHilite(w->menu, w->hot, false);
        ShowWindow(w->hwnd, SW_HIDE);
    }
    if (GetCapture() && WindowOf(GetCapture()))
        ReleaseCapture();
    HoldKeyboard(nullptr);
}

// Closes the sub-menus opened from `w` (those after it).
void CloseAfter(Loop& loop, MenuWindow* w) {
    while (!loop.open.empty() && loop.open.back().get() != w) {
        MarkHilite(loop.open.back()->menu, loop.open.back()->hot, false);
        DestroyWindow(loop.open.back()->hwnd);
        loop.open.pop_back();
    }
    HoldKeyboard(w ? w->hwnd : nullptr);
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterMenuClass() {
    RegisterControlClass(WC_MENUA, MenuProc, 0, CS_SAVEBITS);
}

// Opens a menu window at a screen point; the owner hears WM_INITMENUPOPUP first, so what it changes shows.
MenuWindow* Open(Loop& loop, HMENU menu, POINT at, UINT flags, int position, bool subMenu) {
    if (!(loop.flags & TPM_NONOTIFY))
        SendMessageA(loop.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(static_cast<WORD>(position), FALSE));
    auto w = std::make_unique<MenuWindow>();
    w->menu = menu;
    w->items = ReadItems(menu);
    w->loop = &loop;
    const SIZE size = Layout(*w);
    RECT frame{0, 0, size.cx, size.cy};
    // The classic menu's frame: a raised edge and a pixel of the face inside it, over the top and bottom items
    // as beside them.
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x = at.x, y = at.y;
    if (!subMenu) {
        if (flags & TPM_RIGHTALIGN)
            x -= width;
        else if (flags & TPM_CENTERALIGN)
            x -= width / 2;
        if (flags & TPM_BOTTOMALIGN)
            y -= height;
        else if (flags & TPM_VCENTERALIGN)
            y -= height / 2;
    }
    HWND root = GetAncestor(loop.owner, GA_ROOT);
    w->hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, WC_MENUA, "", WS_POPUP, x, y, width, height, root,
                              nullptr, nullptr, nullptr);
    if (!w->hwnd)
        return nullptr;
    MenuWindow* raw = w.get();
    loop.open.push_back(std::move(w));
    SetWindowPos(raw->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    HoldKeyboard(raw->hwnd);
    return raw;
}

void OpenSub(Loop& loop, MenuWindow& w, int index, bool selectFirst) {
    CloseAfter(loop, &w);
    const Item& item = w.items[static_cast<size_t>(index)];
    if (!item.sub || item.Greyed())
        return;
    RECT r = w.rects[static_cast<size_t>(index)];
    POINT at{r.right, r.top};
    ClientToScreen(w.hwnd, &at);
    MenuWindow* sub = Open(loop, item.sub, at, 0, index, true);
    if (sub && selectFirst) {
        for (size_t i = 0; i < sub->items.size(); ++i)
            if (!sub->items[i].Separator()) {
                sub->hot = static_cast<int>(i);
                break;
            }
        InvalidateRect(sub->hwnd, nullptr, FALSE);
    }
}

void SetHot(MenuWindow& w, int index) {
    if (w.hot != index) {
        MarkHilite(w.menu, w.hot, false);
        w.hot = index;
        MarkHilite(w.menu, w.hot, true);
        InvalidateRect(w.hwnd, nullptr, FALSE);
    }
}

// Picks an item (a command ends the loop; a sub-menu opens); greyed items and separators do nothing.
void Activate(Loop& loop, MenuWindow& w, int index, bool byKey) {
    if (index < 0 || index >= static_cast<int>(w.items.size()))
        return;
    const Item& item = w.items[static_cast<size_t>(index)];
    if (item.Separator() || item.Greyed())
        return;
    SetHot(w, index);
    if (item.sub)
        OpenSub(loop, w, index, byKey);
    else
        Finish(loop, item.id);
}

int ItemAt(const MenuWindow& w, POINT client) {
    for (size_t i = 0; i < w.rects.size(); ++i)
        if (PtInRect(&w.rects[i], client))
            return static_cast<int>(i);
    return -1;
}

// A mouse message of the loop (the top menu holds the capture): which open menu and item it is over.
std::pair<MenuWindow*, int> Under(Loop& loop, HWND from, LPARAM lParam) {
    POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(from, &screen);
    for (auto it = loop.open.rbegin(); it != loop.open.rend(); ++it) {
        RECT r{};
        GetWindowRect((*it)->hwnd, &r);
        if (PtInRect(&r, screen)) {
            POINT client = screen;
            ScreenToClient((*it)->hwnd, &client);
            return {it->get(), ItemAt(**it, client)};
        }
    }
    return {nullptr, -1};
}

void KeyDown(Loop& loop, MenuWindow& w, WPARAM vk) {
    const int n = static_cast<int>(w.items.size());
    const bool isSub = loop.open.size() > 1 && loop.open.front().get() != &w;
    switch (vk) {
    case VK_UP:
    case VK_DOWN: {
        if (n == 0)
            return;
        const int step = vk == VK_DOWN ? 1 : -1;
        int at = w.hot;
        for (int k = 0; k < n; ++k) {
            at = ((at < 0 ? (step > 0 ? -1 : 0) : at) + step + n) % n;
            if (!w.items[static_cast<size_t>(at)].Separator())
                break;
        }
        SetHot(w, at);
        return;
    }
    case VK_RIGHT:
        if (w.hot >= 0 && w.items[static_cast<size_t>(w.hot)].sub)
            Activate(loop, w, w.hot, true);
        return;
    case VK_LEFT:
    case VK_ESCAPE:
        if (isSub) {
            auto parent = std::find_if(loop.open.begin(), loop.open.end(), [&](auto& m) { return m.get() == &w; });
            CloseAfter(loop, (parent - 1)->get());
        } else if (vk == VK_ESCAPE) {
            Finish(loop, 0);
        }
        return;
    case VK_RETURN: Activate(loop, w, w.hot, true); return;
    default: break;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<int>(vk)));
    if (!std::isalnum(static_cast<unsigned char>(letter)))
        return;
    for (int i = 0; i < n; ++i)
        if (Mnemonic(w.items[static_cast<size_t>(i)].text) == letter) {
            Activate(loop, w, i, true);
            return;
        }
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// The thread's message filters see the menu's input first, as MSGF_MENU (lParam the message, its point on the
// screen): one that answers non-zero keeps the message from the menu.
bool Filtered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        msg.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &msg.pt);
    } else {
        GetCursorPos(&msg.pt);
    }
    return CallHooks(WH_MSGFILTER, MSGF_MENU, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MenuWindow* w = WindowOf(hwnd);
    if (!w || w->loop->done)
        return message == WM_MOUSEACTIVATE ? MA_NOACTIVATE : DefWindowProcA(hwnd, message, wParam, lParam);
    if (IsInput(message) && (Filtered(hwnd, message, wParam, lParam) || !(w = WindowOf(hwnd)) || w->loop->done))
        return 0;
    Loop& loop = *w->loop;
    switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [w](HWND h, HDC dc) { PaintMenu(h, dc, *w); });
    case WM_ERASEBKGND: return TRUE;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case MN_GETHMENU: return reinterpret_cast<LRESULT>(w->menu);
    case WM_CANCELMODE: Finish(loop, 0); return 0;
    case WM_MOUSEMOVE: {
        auto [over, index] = Under(loop, hwnd, lParam);
        if (over)
            SetHot(*over, index);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        auto [over, index] = Under(loop, hwnd, lParam);
        if (!over) {
            // A click outside every open menu dismisses it, and still reaches the window under it.
            Finish(loop, 0);
            PassMouseInputOn(hwnd, MSG{hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}});
            return 0;
        }
        if (index >= 0 && over->items[static_cast<size_t>(index)].sub)
            Activate(loop, *over, index, false);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        if (message == WM_RBUTTONUP && !(loop.flags & TPM_RIGHTBUTTON))
            return 0;
        auto [over, index] = Under(loop, hwnd, lParam);
        if (over && index >= 0 && !over->items[static_cast<size_t>(index)].sub)
            Activate(loop, *over, index, false);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: KeyDown(loop, *w, wParam); return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_KEYUP:
    case WM_SYSKEYUP: return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

UINT RunLoop(HMENU menu, UINT flags, int x, int y, HWND owner) {
    win32::RegisterDialogClasses();
    RegisterMenuClass();
    Loop loop;
    loop.owner = owner;
    loop.flags = flags;
    Loop* outer = t_loop;
    t_loop = &loop;
    MenuWindow* top = Open(loop, menu, {x, y}, flags, 0, false);
    UINT chosen = 0;
    if (top) {
        // The top menu holds the mouse for the whole loop, so a click anywhere reaches it.
        SetCapture(top->hwnd);
        win32::ModalRequest request;
        request.kind = win32::ModalKind::PopupMenu;
        request.owner = owner;
        request.text = RequestText(top->items);
        auto offered = [menu](INT_PTR answer) { return answer == 0 || Pickable(menu, static_cast<UINT>(answer)); };
        ModalWindow window{top->hwnd, [&loop]() -> std::optional<INT_PTR> {
                               return loop.done ? std::optional<INT_PTR>(loop.chosen) : std::nullopt;
                           }};
        const INT_PTR answer = ResolveModalRequest(request, 0, offered, window);
        chosen = loop.done ? loop.chosen : static_cast<UINT>(answer);
        if (!loop.done)
            Finish(loop, chosen);
    }
    CloseAfter(loop, nullptr);
    HoldKeyboard(outer && !outer->open.empty() ? outer->open.back()->hwnd : nullptr);
    t_loop = outer;
    return chosen;
}

} // namespace

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
    if (!IsMenu(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const UINT chosen = RunLoop(menu, flags, x, y, owner);
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen && IsWindow(owner))
        PostMessageA(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
    if (!t_loop || t_loop->done)
        return FALSE;
    Finish(*t_loop, 0);
    return TRUE;
}

BOOL GetMenuItemRect(HWND, HMENU menu, UINT item, LPRECT rect) {
    if (!t_loop || !rect)
        return FALSE;
    for (auto& w : t_loop->open) {
        if (w->menu != menu || item >= w->rects.size())
            continue;
        *rect = w->rects[item];
        MapWindowPoints(w->hwnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
        return TRUE;
    }
    return FALSE;
}
