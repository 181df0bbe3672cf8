// The tooltip control. Locks: none; a tooltip's state lives in a property of its window, touched only on the
// window's thread (tools of other threads' windows are not supported).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinResources.h"
#include "WinToolTips.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/ControlExtras.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlToolTipState";
const char kSubclassProp[] = "TdlToolTipSubclass";
const char kSubclassProcProp[] = "TdlToolTipSubclassProc";
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr UINT_PTR kCheckTimer = 3;
// How often a shown tip looks whether its tool's window still lies where it did.
constexpr UINT kCheckMilliseconds = 100;
// How far below the cursor's hot spot the tip starts: the height of the arrow cursor.
constexpr int kCursorDrop = 20;
constexpr int kBorder = 1;

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    bool callback = false;
    std::string text;
    LPARAM param = 0;
};

struct TipState {
    std::vector<Tool> tools;
    bool active = true;
    int maxWidth = -1;
    int initial = -1, autopop = -1, reshow = -1; // -1: from the double-click time
    COLORREF background = CLR_DEFAULT_TIP;
    COLORREF ink = CLR_DEFAULT_TIP;
    RECT margin{3, 2, 3, 2}; // between the border and the text
    HFONT font = nullptr;
    int pending = -1;    // the tool the mouse rests on, waiting for the show timer
    int shown = -1;      // the tool whose tip shows
    int suppressed = -1; // a button went down on this tool: no tip until the mouse moves on
    std::string text;    // the text shown
    RECT anchor{};       // where the shown tip's tool lay on the screen when it showed

    static constexpr COLORREF CLR_DEFAULT_TIP = 0xFF000000;
};

TipState* StateOf(HWND hwnd) {
    return static_cast<TipState*>(GetPropA(hwnd, kStateProp));
}

int Delay(const TipState& state, int which) {
    const int base = static_cast<int>(GetDoubleClickTime());
    switch (which) {
    case TTDT_INITIAL: return state.initial >= 0 ? state.initial : base;
    case TTDT_AUTOPOP: return state.autopop >= 0 ? state.autopop : base * 10;
    default: return state.reshow >= 0 ? state.reshow : base / 5;
    }
}

bool SameTool(const Tool& tool, const TOOLINFOA* info) {
    return tool.hwnd == info->hwnd && tool.id == info->uId;
}

int FindTool(const TipState& state, const TOOLINFOA* info) {
    if (!info || info->cbSize < TTTOOLINFOA_V1_SIZE)
        return -1;
    for (size_t i = 0; i < state.tools.size(); ++i)
        if (SameTool(state.tools[i], info))
            return static_cast<int>(i);
    return -1;
}

void SetText(Tool& tool, const TOOLINFOA* info) {
    tool.instance = info->hinst;
    tool.callback = info->lpszText == LPSTR_TEXTCALLBACKA;
    if (tool.callback || !info->lpszText)
        tool.text.clear();
    else if (IS_INTRESOURCE(info->lpszText)) {
        char buffer[512] = {};
        LoadStringA(info->hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info->lpszText)), buffer, sizeof buffer);
        tool.text = buffer;
    } else
        tool.text = info->lpszText;
}

void Describe(const Tool& tool, TOOLINFOA* info) {
    info->uFlags = tool.flags;
    info->hwnd = tool.hwnd;
    info->uId = tool.id;
    info->rect = tool.rect;
    info->hinst = tool.instance;
    if (info->cbSize >= TTTOOLINFOA_V2_SIZE)
        info->lParam = tool.param;
}

LRESULT NotifyTool(HWND tip, const Tool& tool, UINT code, NMHDR* hdr) {
    hdr->hwndFrom = tip;
    hdr->idFrom = tool.id;
    hdr->code = code;
    return tool.hwnd ? SendMessageA(tool.hwnd, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(hdr)) : 0;
}

// The tool at a point of a window's client area.
int ToolAt(const TipState& state, HWND hwnd, POINT point) {
    for (size_t i = 0; i < state.tools.size(); ++i) {
        const Tool& tool = state.tools[i];
        if (tool.flags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(tool.id) == hwnd)
                return static_cast<int>(i);
        } else if (tool.hwnd == hwnd && PtInRect(&tool.rect, point)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The text of a tool, asked for when it is a callback.
std::string ToolText(HWND tip, int index) {
    TipState* state = StateOf(tip);
    Tool tool = state->tools[static_cast<size_t>(index)];
    if (!tool.callback)
        return tool.text;
    NMTTDISPINFOA info{};
    info.hinst = tool.instance;
    info.uFlags = static_cast<int>(tool.flags);
    info.lParam = tool.param;
    NotifyTool(tip, tool, TTN_GETDISPINFOA, &info.hdr);
    std::string text;
    info.szText[sizeof info.szText - 1] = '\0';
    if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKA) {
        if (IS_INTRESOURCE(info.lpszText)) {
            char buffer[512] = {};
            LoadStringA(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)), buffer,
                        sizeof buffer);
            text = buffer;
        } else {
            text = info.lpszText;
        }
    } else {
        text = info.szText;
    }
    state = StateOf(tip);
    if (state && (info.uFlags & TTF_DI_SETITEM) && index < static_cast<int>(state->tools.size())) {
        state->tools[static_cast<size_t>(index)].callback = false;
        state->tools[static_cast<size_t>(index)].text = text;
    }
    return text;
}

UINT TextFormat(HWND tip, const TipState& state) {
    UINT format = DT_LEFT | DT_EXPANDTABS;
    if (GetWindowLongA(tip, GWL_STYLE) & TTS_NOPREFIX)
        format |= DT_NOPREFIX;
    if (state.maxWidth > 0)
        format |= DT_WORDBREAK;
    return format;
}

SIZE TipSize(HWND tip, const TipState& state, const std::string& text) {
    HDC dc = GetDC(tip);
    HGDIOBJ old = SelectObject(dc, ControlFont(state.font));
    RECT r{0, 0, state.maxWidth > 0 ? state.maxWidth : 0x7FFF, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFormat(tip, state) | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(tip, dc);
    return {r.right - r.left + state.margin.left + state.margin.right + 2 * kBorder,
            r.bottom - r.top + state.margin.top + state.margin.bottom + 2 * kBorder};
}

// Where a tool lies on the screen now (its window's client area for a whole window); empty when its window is
// gone or hidden.
RECT ToolOnScreen(const Tool& tool) {
    HWND window = tool.flags & TTF_IDISHWND ? reinterpret_cast<HWND>(tool.id) : tool.hwnd;
    RECT r{};
    if (!IsWindow(window) || !IsWindowVisible(window))
        return r;
    if (tool.flags & TTF_IDISHWND)
        GetClientRect(window, &r);
    else
        r = tool.rect;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Hide(HWND tip) {
    TipState* state = StateOf(tip);
    KillTimer(tip, kPopTimer);
    KillTimer(tip, kCheckTimer);
    if (!state || state->shown < 0)
        return;
    const Tool tool = state->tools[static_cast<size_t>(state->shown)];
    state->shown = -1;
    state->text.clear();
    ShowWindow(tip, SW_HIDE);
    NMHDR hdr{};
    NotifyTool(tip, tool, TTN_POP, &hdr);
}

void Show(HWND tip, int index, POINT screenAt) {
    TipState* state = StateOf(tip);
    if (!state || index < 0 || index >= static_cast<int>(state->tools.size()) || !state->active)
        return;
    std::string text = ToolText(tip, index);
    if (!(state = StateOf(tip)) || index >= static_cast<int>(state->tools.size()) || text.empty())
        return;
    if (state->shown >= 0 && state->shown != index)
        Hide(tip);
    state->shown = index;
    state->text = std::move(text);
    const SIZE size = TipSize(tip, *state, state->text);
    NMHDR hdr{};
    const Tool tool = state->tools[static_cast<size_t>(index)];
    // A non-zero answer means the tool's window placed the tip itself.
    if (NotifyTool(tip, tool, TTN_SHOW, &hdr) == 0 || !(state = StateOf(tip)))
        SetWindowPos(tip, HWND_TOPMOST, screenAt.x, screenAt.y, size.cx, size.cy, SWP_NOACTIVATE);
    else
        SetWindowPos(tip, HWND_TOPMOST, 0, 0, size.cx, size.cy, SWP_NOACTIVATE | SWP_NOMOVE);
    ShowWindow(tip, SW_SHOWNOACTIVATE);
    InvalidateRect(tip, nullptr, FALSE);
    SetTimer(tip, kPopTimer, static_cast<UINT>(Delay(*StateOf(tip), TTDT_AUTOPOP)), nullptr);
    if ((state = StateOf(tip)) != nullptr && state->shown == index) {
        state->anchor = ToolOnScreen(tool);
        SetTimer(tip, kCheckTimer, kCheckMilliseconds, nullptr);
    }
}

POINT BelowCursor() {
    POINT at{};
    GetCursorPos(&at);
    at.y += kCursorDrop;
    return at;
}

void Relay(HWND tip, const MSG& msg) {
    TipState* state = StateOf(tip);
    if (!state || !state->active || !msg.hwnd)
        return;
    switch (msg.message) {
    case WM_MOUSEMOVE: {
        const int tool = ToolAt(*state, msg.hwnd, POINT{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)});
        if (tool != state->suppressed)
            state->suppressed = -1;
        if (tool >= 0 && (tool == state->shown || tool == state->pending || tool == state->suppressed))
            return;
        const bool wasShown = state->shown >= 0;
        KillTimer(tip, kShowTimer);
        state->pending = tool;
        if (wasShown)
            Hide(tip);
        if (tool >= 0)
            SetTimer(tip, kShowTimer, static_cast<UINT>(Delay(*state, wasShown ? TTDT_RESHOW : TTDT_INITIAL)), nullptr);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSELEAVE:
        KillTimer(tip, kShowTimer);
        state->suppressed = msg.message == WM_MOUSELEAVE ? -1 : (state->shown >= 0 ? state->shown : state->pending);
        state->pending = -1;
        Hide(tip);
        return;
    default: return;
    }
}

// The window procedure a tool with TTF_SUBCLASS gets: its mouse messages reach the tooltip first.
LRESULT CALLBACK ToolSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kSubclassProcProp));
    auto tip = static_cast<HWND>(GetPropA(hwnd, kSubclassProp));
    if (tip && IsWindow(tip) && ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE)) {
        MSG msg{hwnd, message, wParam, lParam, 0, {}};
        Relay(tip, msg);
    }
    if (message == WM_NCDESTROY) {
        RemovePropA(hwnd, kSubclassProp);
        RemovePropA(hwnd, kSubclassProcProp);
        if (previous)
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
    return previous ? CallWindowProcA(previous, hwnd, message, wParam, lParam)
                    : DefWindowProcA(hwnd, message, wParam, lParam);
}

// One tooltip subclasses a window at a time; a window already subclassed stays with the first.
void SubclassTool(HWND tip, HWND window) {
    if (!window || GetPropA(window, kSubclassProp))
        return;
    SetPropA(window, kSubclassProp, tip);
    SetPropA(window, kSubclassProcProp,
             reinterpret_cast<HANDLE>(
                 SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ToolSubclassProc))));
}

void Unsubclass(HWND tip, HWND window) {
    if (!window || GetPropA(window, kSubclassProp) != tip)
        return;
    // Only when the window still runs the tooltip's procedure can the chain be given back.
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ToolSubclassProc)) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(window, kSubclassProcProp)));
        RemovePropA(window, kSubclassProcProp);
        RemovePropA(window, kSubclassProp);
    } else {
        SetPropA(window, kSubclassProp, nullptr);
    }
}

HWND SubclassedWindow(const Tool& tool) {
    if (!(tool.flags & TTF_SUBCLASS))
        return nullptr;
    return tool.flags & TTF_IDISHWND ? reinterpret_cast<HWND>(tool.id) : tool.hwnd;
}

void RemoveTool(HWND tip, TipState& state, int index) {
    if (state.shown == index)
        Hide(tip);
    if (state.pending == index) {
        KillTimer(tip, kShowTimer);
        state.pending = -1;
    }
    HWND window = SubclassedWindow(state.tools[static_cast<size_t>(index)]);
    state.tools.erase(state.tools.begin() + index);
    for (int* at : {&state.shown, &state.pending, &state.suppressed})
        if (*at > index)
            --*at;
        else if (*at == index)
            *at = -1;
    const bool stillUsed = std::any_of(state.tools.begin(), state.tools.end(),
                                       [&](const Tool& tool) { return SubclassedWindow(tool) == window; });
    if (window && !stillUsed)
        Unsubclass(tip, window);
}

void Paint(HWND tip, HDC dc) {
    TipState* state = StateOf(tip);
    RECT client{};
    GetClientRect(tip, &client);
    HBRUSH background = state->background == TipState::CLR_DEFAULT_TIP ? nullptr : CreateSolidBrush(state->background);
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_INFOBK));
    if (background)
        DeleteObject(background);
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, state->ink == TipState::CLR_DEFAULT_TIP ? GetSysColor(COLOR_INFOTEXT) : state->ink);
    HGDIOBJ old = SelectObject(dc, ControlFont(state->font));
    RECT text{client.left + kBorder + state->margin.left, client.top + kBorder + state->margin.top,
              client.right - kBorder - state->margin.right, client.bottom - kBorder - state->margin.bottom};
    DrawTextA(dc, state->text.c_str(), static_cast<int>(state->text.size()), &text, TextFormat(tip, *state));
    SelectObject(dc, old);
}

LRESULT ToolMessage(HWND tip, TipState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* info = reinterpret_cast<TOOLINFOA*>(lParam);
    switch (message) {
    case TTM_ACTIVATE:
        state.active = wParam != 0;
        if (!state.active) {
            KillTimer(tip, kShowTimer);
            state.pending = -1;
            Hide(tip);
        }
        return 0;
    case TTM_SETDELAYTIME: {
        const int ms = static_cast<short>(LOWORD(lParam));
        if (wParam == TTDT_AUTOMATIC) {
            state.initial = ms;
            state.autopop = ms < 0 ? -1 : ms * 10;
            state.reshow = ms < 0 ? -1 : ms / 5;
        } else if (wParam == TTDT_INITIAL) {
            state.initial = ms;
        } else if (wParam == TTDT_AUTOPOP) {
            state.autopop = ms;
        } else if (wParam == TTDT_RESHOW) {
            state.reshow = ms;
        }
        return 0;
    }
    case TTM_GETDELAYTIME: return Delay(state, static_cast<int>(wParam == TTDT_AUTOMATIC ? TTDT_AUTOPOP : wParam));
    case TTM_ADDTOOLA: {
        if (!info || info->cbSize < TTTOOLINFOA_V1_SIZE || FindTool(state, info) >= 0)
            return FALSE;
        Tool tool;
        tool.flags = info->uFlags;
        tool.hwnd = info->hwnd;
        tool.id = info->uId;
        tool.rect = info->rect;
        tool.param = info->cbSize >= TTTOOLINFOA_V2_SIZE ? info->lParam : 0;
        SetText(tool, info);
        state.tools.push_back(tool);
        if (HWND window = SubclassedWindow(tool))
            SubclassTool(tip, window);
        return TRUE;
    }
    case TTM_DELTOOLA: {
        const int index = FindTool(state, info);
        if (index >= 0)
            RemoveTool(tip, state, index);
        return 0;
    }
    case TTM_NEWTOOLRECTA: {
        const int index = FindTool(state, info);
        if (index >= 0)
            state.tools[static_cast<size_t>(index)].rect = info->rect;
        return 0;
    }
    case TTM_RELAYEVENT:
        if (lParam)
            Relay(tip, *reinterpret_cast<const MSG*>(lParam));
        return 0;
    case TTM_GETTOOLINFOA:
    case TTM_SETTOOLINFOA: {
        const int index = FindTool(state, info);
        if (index < 0)
            return FALSE;
        Tool& tool = state.tools[static_cast<size_t>(index)];
        if (message == TTM_GETTOOLINFOA) {
            Describe(tool, info);
        } else {
            tool.flags = info->uFlags;
            tool.rect = info->rect;
            if (info->cbSize >= TTTOOLINFOA_V2_SIZE)
                tool.param = info->lParam;
            SetText(tool, info);
        }
        return TRUE;
    }
    case TTM_HITTESTA: {
        auto* hit = reinterpret_cast<TTHITTESTINFOA*>(lParam);
        if (!hit)
            return FALSE;
        const int index = ToolAt(state, hit->hwnd, hit->pt);
        if (index < 0)
            return FALSE;
        if (hit->ti.cbSize >= TTTOOLINFOA_V1_SIZE)
            Describe(state.tools[static_cast<size_t>(index)], &hit->ti);
        return TRUE;
    }
    case TTM_GETTEXTA: {
        const int index = FindTool(state, info);
        if (index < 0 || !info->lpszText)
            return 0;
        const std::string text = ToolText(tip, index);
        // wParam is the buffer's size in characters; without one, the caller promises room for 80.
        CopyTextTo(text, info->lpszText, wParam ? static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFF)) : 80);
        return 0;
    }
    case TTM_UPDATETIPTEXTA: {
        const int index = FindTool(state, info);
        if (index < 0)
            return 0;
        SetText(state.tools[static_cast<size_t>(index)], info);
        if (state.shown == index) {
            state.text = ToolText(tip, index);
            const SIZE size = TipSize(tip, state, state.text);
            SetWindowPos(tip, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(tip, nullptr, FALSE);
        }
        return 0;
    }
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(state.tools.size());
    case TTM_ENUMTOOLSA:
        if (!info || wParam >= state.tools.size())
            return FALSE;
        Describe(state.tools[wParam], info);
        return TRUE;
    case TTM_GETCURRENTTOOLA:
        if (state.shown < 0)
            return FALSE;
        if (info && info->cbSize >= TTTOOLINFOA_V1_SIZE)
            Describe(state.tools[static_cast<size_t>(state.shown)], info);
        return TRUE;
    case TTM_SETTIPBKCOLOR:
    case TTM_SETTIPTEXTCOLOR:
        (message == TTM_SETTIPBKCOLOR ? state.background : state.ink) = static_cast<COLORREF>(wParam);
        InvalidateRect(tip, nullptr, FALSE);
        return 0;
    case TTM_GETTIPBKCOLOR:
        return state.background == TipState::CLR_DEFAULT_TIP ? GetSysColor(COLOR_INFOBK) : state.background;
    case TTM_GETTIPTEXTCOLOR: return state.ink == TipState::CLR_DEFAULT_TIP ? GetSysColor(COLOR_INFOTEXT) : state.ink;
    case TTM_SETMAXTIPWIDTH: {
        const int previous = state.maxWidth;
        state.maxWidth = static_cast<int>(lParam);
        return previous;
    }
    case TTM_GETMAXTIPWIDTH: return state.maxWidth;
    case TTM_SETMARGIN:
        if (lParam)
            state.margin = *reinterpret_cast<const RECT*>(lParam);
        return 0;
    case TTM_GETMARGIN:
        if (lParam)
            *reinterpret_cast<RECT*>(lParam) = state.margin;
        return 0;
    case TTM_POP:
        // The tool's owner says the tip is for something else now: a click's suppression ends too.
        KillTimer(tip, kShowTimer);
        state.pending = state.suppressed = -1;
        Hide(tip);
        return 0;
    case TTM_POPUP: {
        POINT at{};
        GetCursorPos(&at);
        HWND under = WindowFromPoint(at);
        POINT client = at;
        ScreenToClient(under, &client);
        Show(tip, ToolAt(state, under, client), BelowCursor());
        return 0;
    }
    case TTM_UPDATE:
        if (state.shown >= 0) {
            state.text = ToolText(tip, state.shown);
            InvalidateRect(tip, nullptr, FALSE);
        }
        return 0;
    default: return DefWindowProcA(tip, message, wParam, lParam);
    }
}

LRESULT CALLBACK ToolTipProc(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    TipState* state = ControlState<TipState>(tip, message, kStateProp);
    if (!state)
        return DefWindowProcA(tip, message, wParam, lParam);
    if (message > WM_USER && message <= TTM_POPUP)
        return ToolMessage(tip, *state, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        KillTimer(tip, kShowTimer);
        KillTimer(tip, kPopTimer);
        KillTimer(tip, kCheckTimer);
        for (const Tool& tool : state->tools)
            Unsubclass(tip, SubclassedWindow(tool));
        return DefWindowProcA(tip, message, wParam, lParam);
    case WM_TIMER:
        if (wParam == kCheckTimer) {
            // The tool's window moved (with the window under it) or went: the tip would point at something else
            // now. It stays away until the mouse moves on to another tool.
            const int shown = state->shown;
            if (shown < 0) {
                KillTimer(tip, kCheckTimer);
                return 0;
            }
            const RECT now = ToolOnScreen(state->tools[static_cast<size_t>(shown)]);
            if (!EqualRect(&now, &state->anchor)) {
                Hide(tip);
                if (TipState* after = StateOf(tip))
                    after->suppressed = shown;
            }
            return 0;
        }
        KillTimer(tip, wParam);
        if (wParam == kShowTimer) {
            const int tool = state->pending;
            state->pending = -1;
            Show(tip, tool, BelowCursor());
        } else if (wParam == kPopTimer) {
            // Popped by time, the tip stays away until the mouse moves on to another tool.
            const int shown = state->shown;
            Hide(tip);
            if (TipState* now = StateOf(tip))
                now->suppressed = shown;
        }
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(tip, wParam, [&](HWND, HDC dc) { Paint(tip, dc); });
    case WM_ERASEBKGND: return TRUE;
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETFONT: state->font = reinterpret_cast<HFONT>(wParam); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        if (message == WM_GETTEXTLENGTH)
            return static_cast<LRESULT>(state->text.size());
        auto* buffer = reinterpret_cast<char*>(lParam);
        CopyTextTo(state->text, buffer, static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFF)));
        return buffer && wParam ? static_cast<LRESULT>(strlen(buffer)) : 0;
    }
    default: return DefWindowProcA(tip, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterToolTipsClass() {
    win32::internal::RegisterControlClass(TOOLTIPS_CLASSA, ToolTipProc, 0, CS_SAVEBITS | CS_DBLCLKS);
}

} // namespace win32
