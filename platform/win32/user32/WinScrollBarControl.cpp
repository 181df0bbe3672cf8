// The scroll bar control. Locks: none; its state lives in a property of its window, touched only on the window's
// thread.
#include "WinScrollBarControl.h"

#include <algorithm>

#include "WinDialogs.h"
#include "WinFrameControl.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlScrollBarState";
constexpr int kMinThumb = 8;

enum class Part { None, LineUp, PageUp, Thumb, PageDown, LineDown };

struct BarState {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
    Part pressed = Part::None;
    int dragOffset = 0; // where on the thumb the drag took it
    bool arrowsDisabled = false;
};

bool Vertical(HWND hwnd) {
    return (GetWindowLongA(hwnd, GWL_STYLE) & SBS_VERT) != 0;
}

int Highest(const BarState& s) {
    return std::max(s.min, s.max - std::max(static_cast<int>(s.page) - 1, 0));
}

struct Geometry {
    int length;    // along the bar
    int thickness; // across it
    int button;    // each arrow button's length
    int thumbTop;  // from the bar's start
    int thumbBottom;
};

Geometry Measure(HWND hwnd, const BarState& s) {
    RECT client{};
    GetClientRect(hwnd, &client);
    Geometry g{};
    g.length = Vertical(hwnd) ? client.bottom : client.right;
    g.thickness = Vertical(hwnd) ? client.right : client.bottom;
    g.button = std::min(g.thickness, g.length / 2);
    const int trough = std::max(0, g.length - 2 * g.button);
    const long long span = static_cast<long long>(s.max) - s.min + 1;
    int thumb = s.page ? static_cast<int>(trough * std::min<long long>(s.page, span) / span) : g.thickness;
    thumb = std::min(trough, std::max(kMinThumb, thumb));
    const int travel = trough - thumb;
    const long long steps = static_cast<long long>(Highest(s)) - s.min;
    const int offset = steps > 0 ? static_cast<int>(travel * (static_cast<long long>(s.pos) - s.min) / steps) : 0;
    g.thumbTop = g.button + offset;
    g.thumbBottom = g.thumbTop + thumb;
    return g;
}

// The position a thumb whose start lies at `top` stands for.
int PositionAt(const Geometry& g, const BarState& s, int top) {
    const int travel = g.length - 2 * g.button - (g.thumbBottom - g.thumbTop);
    if (travel <= 0)
        return s.min;
    const long long steps = static_cast<long long>(Highest(s)) - s.min;
    const int offset = std::clamp(top - g.button, 0, travel);
    return s.min + static_cast<int>((steps * offset + travel / 2) / travel);
}

Part PartAt(const Geometry& g, int along) {
    if (along < g.button)
        return Part::LineUp;
    if (along >= g.length - g.button)
        return Part::LineDown;
    if (along < g.thumbTop)
        return Part::PageUp;
    if (along >= g.thumbBottom)
        return Part::PageDown;
    return Part::Thumb;
}

void Tell(HWND hwnd, WORD code, int pos = 0) {
    if (HWND parent = GetParent(hwnd))
        SendMessageA(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)),
                     reinterpret_cast<LPARAM>(hwnd));
}

RECT Along(HWND hwnd, const Geometry& g, int from, int to) {
    return Vertical(hwnd) ? RECT{0, from, g.thickness, to} : RECT{from, 0, to, g.thickness};
}

void Paint(HWND hwnd, HDC dc, const BarState& s) {
    const Geometry g = Measure(hwnd, s);
    const bool enabled = IsWindowEnabled(hwnd) && !s.arrowsDisabled;
    RECT trough = Along(hwnd, g, g.button, g.length - g.button);
    HBRUSH background =
        ParentColourBrush(hwnd, dc, WM_CTLCOLORSCROLLBAR, COLOR_BTNTEXT, COLOR_SCROLLBAR, COLOR_SCROLLBAR);
    FillRect(dc, &trough, background);
    if (enabled && (s.pressed == Part::PageUp || s.pressed == Part::PageDown)) {
        RECT pressed = s.pressed == Part::PageUp ? Along(hwnd, g, g.button, g.thumbTop)
                                                 : Along(hwnd, g, g.thumbBottom, g.length - g.button);
        FillRect(dc, &pressed, GetSysColorBrush(COLOR_3DDKSHADOW));
    }
    const UINT inactive = enabled ? 0 : DFCS_INACTIVE;
    RECT first = Along(hwnd, g, 0, g.button);
    DrawFrameControl(dc, &first, DFC_SCROLL,
                     (Vertical(hwnd) ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive |
                         (s.pressed == Part::LineUp ? DFCS_PUSHED : 0));
    RECT last = Along(hwnd, g, g.length - g.button, g.length);
    DrawFrameControl(dc, &last, DFC_SCROLL,
                     (Vertical(hwnd) ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive |
                         (s.pressed == Part::LineDown ? DFCS_PUSHED : 0));
    if (!enabled || Highest(s) <= s.min)
        return;
    // While dragged, the thumb shows where the track position puts it.
    BarState shown = s;
    if (s.pressed == Part::Thumb)
        shown.pos = s.trackPos;
    const Geometry at = Measure(hwnd, shown);
    RECT thumb = Along(hwnd, g, at.thumbTop, at.thumbBottom);
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
}

int Clamp(BarState& s) {
    s.pos = std::clamp(s.pos, s.min, Highest(s));
    return s.pos;
}

int SetInfo(HWND hwnd, BarState& s, const SCROLLINFO* info, BOOL redraw) {
    if (!info)
        return s.pos;
    if (info->fMask & SIF_RANGE) {
        s.min = info->nMin;
        s.max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE)
        s.page = std::min<UINT>(info->nPage, static_cast<UINT>(static_cast<long long>(s.max) - s.min + 1));
    if (info->fMask & SIF_POS)
        s.pos = info->nPos;
    Clamp(s);
    if (redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return s.pos;
}

int Along(HWND hwnd, LPARAM lParam) {
    return Vertical(hwnd) ? static_cast<short>(HIWORD(lParam)) : static_cast<short>(LOWORD(lParam));
}

void MouseDown(HWND hwnd, BarState& s, LPARAM lParam) {
    if (s.arrowsDisabled)
        return;
    const Geometry g = Measure(hwnd, s);
    const int along = Along(hwnd, lParam);
    s.pressed = PartAt(g, along);
    if (s.pressed == Part::Thumb && Highest(s) <= s.min)
        s.pressed = Part::None;
    if (s.pressed == Part::None)
        return;
    SetCapture(hwnd);
    s.trackPos = s.pos;
    s.dragOffset = along - g.thumbTop;
    InvalidateRect(hwnd, nullptr, FALSE);
    switch (s.pressed) {
    case Part::LineUp: Tell(hwnd, SB_LINEUP); break;
    case Part::LineDown: Tell(hwnd, SB_LINEDOWN); break;
    case Part::PageUp: Tell(hwnd, SB_PAGEUP); break;
    case Part::PageDown: Tell(hwnd, SB_PAGEDOWN); break;
    default: break;
    }
}

void MouseMove(HWND hwnd, BarState& s, LPARAM lParam) {
    if (s.pressed != Part::Thumb)
        return;
    const int track = PositionAt(Measure(hwnd, s), s, Along(hwnd, lParam) - s.dragOffset);
    if (track == s.trackPos)
        return;
    s.trackPos = track;
    InvalidateRect(hwnd, nullptr, FALSE);
    Tell(hwnd, SB_THUMBTRACK, track);
}

void MouseUp(HWND hwnd, BarState& s) {
    if (s.pressed == Part::None)
        return;
    const Part was = s.pressed;
    s.pressed = Part::None;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    InvalidateRect(hwnd, nullptr, FALSE);
    if (was == Part::Thumb)
        Tell(hwnd, SB_THUMBPOSITION, s.trackPos);
    Tell(hwnd, SB_ENDSCROLL);
}

void KeyDown(HWND hwnd, WPARAM vk) {
    const bool vertical = Vertical(hwnd);
    switch (vk) {
    case VK_UP:
    case VK_LEFT:
        if ((vk == VK_UP) == vertical)
            Tell(hwnd, SB_LINEUP);
        break;
    case VK_DOWN:
    case VK_RIGHT:
        if ((vk == VK_DOWN) == vertical)
            Tell(hwnd, SB_LINEDOWN);
        break;
    case VK_PRIOR: Tell(hwnd, SB_PAGEUP); break;
    case VK_NEXT: Tell(hwnd, SB_PAGEDOWN); break;
    case VK_HOME: Tell(hwnd, SB_TOP); break;
    case VK_END: Tell(hwnd, SB_BOTTOM); break;
    default: win32::ForwardDialogKey(hwnd, vk); return;
    }
    Tell(hwnd, SB_ENDSCROLL);
}

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    BarState* s = ControlState<BarState>(hwnd, message, kStateProp);
    if (!s)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [s](HWND h, HDC dc) { Paint(h, dc, *s); });
    case WM_ERASEBKGND: return TRUE;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_ENABLE:
    case WM_SIZE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetWindowLongA(hwnd, GWL_STYLE) & WS_TABSTOP)
            SetFocus(hwnd);
        MouseDown(hwnd, *s, lParam);
        return 0;
    case WM_MOUSEMOVE: MouseMove(hwnd, *s, lParam); return 0;
    case WM_LBUTTONUP: MouseUp(hwnd, *s); return 0;
    case WM_CAPTURECHANGED:
        if (s->pressed != Part::None && reinterpret_cast<HWND>(lParam) != hwnd)
            MouseUp(hwnd, *s);
        return 0;
    case WM_KEYDOWN: KeyDown(hwnd, wParam); return 0;
    case SBM_SETPOS: {
        const int previous = s->pos;
        s->pos = static_cast<int>(wParam);
        Clamp(*s);
        if (lParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case SBM_GETPOS: return s->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        const int previous = s->pos;
        s->min = static_cast<int>(wParam);
        s->max = std::max(s->min, static_cast<int>(lParam));
        Clamp(*s);
        if (message == SBM_SETRANGEREDRAW)
            InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case SBM_GETRANGE:
        if (wParam)
            *reinterpret_cast<int*>(wParam) = s->min;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = s->max;
        return 0;
    case SBM_ENABLE_ARROWS:
        s->arrowsDisabled = wParam == ESB_DISABLE_BOTH;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case SBM_SETSCROLLINFO:
        return SetInfo(hwnd, *s, reinterpret_cast<const SCROLLINFO*>(lParam), static_cast<BOOL>(wParam));
    case SBM_GETSCROLLINFO: {
        auto* info = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!info)
            return FALSE;
        if (info->fMask & SIF_RANGE) {
            info->nMin = s->min;
            info->nMax = s->max;
        }
        if (info->fMask & SIF_PAGE)
            info->nPage = s->page;
        if (info->fMask & SIF_POS)
            info->nPos = s->pos;
        if (info->fMask & SIF_TRACKPOS)
            info->nTrackPos = s->pressed == Part::Thumb ? s->trackPos : s->pos;
        return TRUE;
    }
    case SBM_GETSCROLLBARINFO: {
        auto* info = reinterpret_cast<SCROLLBARINFO*>(lParam);
        if (!info || info->cbSize != sizeof(SCROLLBARINFO))
            return FALSE;
        const Geometry g = Measure(hwnd, *s);
        GetWindowRect(hwnd, &info->rcScrollBar);
        info->dxyLineButton = g.button;
        info->xyThumbTop = g.thumbTop;
        info->xyThumbBottom = g.thumbBottom;
        info->reserved = 0;
        std::fill(std::begin(info->rgstate), std::end(info->rgstate), 0);
        if (!IsWindowEnabled(hwnd) || s->arrowsDisabled)
            info->rgstate[0] = STATE_SYSTEM_UNAVAILABLE;
        if (s->pressed != Part::None)
            info->rgstate[static_cast<int>(s->pressed)] = STATE_SYSTEM_PRESSED;
        return TRUE;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

BOOL GetScrollBarInfo(HWND hwnd, LONG idObject, PSCROLLBARINFO info) {
    if (idObject != OBJID_CLIENT || !IsWindow(hwnd))
        return FALSE;
    return static_cast<BOOL>(SendMessageA(hwnd, SBM_GETSCROLLBARINFO, 0, reinterpret_cast<LPARAM>(info)));
}

namespace win32 {

void RegisterScrollBarClass() {
    RegisterControlClass(WC_SCROLLBARA, ScrollBarProc, 0, CS_DBLCLKS | CS_PARENTDC);
}

} // namespace win32
