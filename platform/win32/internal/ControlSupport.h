// Internal to the user-mode stand-in: what the standard controls share (their text, their parent's
// notifications and colours, painting into the given DC or their own, their font and its line height, and a
// state object kept in a property of the window).
//
// Layout rule the list-like controls follow, so tests click where the picture shows an item: an item's height
// is the control font's tmHeight (at least 1); item i of a list whose top item is `top` spans
// [(i - top) * height, (i - top + 1) * height) from the top of the inner client area.
#pragma once

#include <string>

#include "WinInput.h"
#include "WinPaint.h"
#include "WinUser.h"

namespace win32::internal {

std::string ControlText(HWND hwnd);
// WM_COMMAND to the parent with the control's id and `code`.
void NotifyParent(HWND hwnd, WORD code);
// The parent's WM_CTLCOLOR* answer sets the DC's colours; a null brush falls back to `fallback`, with the text
// and background colours given.
HBRUSH ParentColourBrush(HWND hwnd, HDC dc, UINT message, int textColour, int backColour, int fallback);
// The control's font (its WM_SETFONT, else DEFAULT_GUI_FONT) and its height as the layout rule takes it.
HFONT ControlFont(HFONT chosen);
int FontLineHeight(HFONT font);
void RegisterControlClass(const char* name, WNDPROC proc, int extra, UINT style, LPCSTR cursor = IDC_ARROW);

// Paints with `paint(hwnd, dc)` into WM_PAINT's or WM_PRINTCLIENT's wParam DC when there is one, else between
// BeginPaint and EndPaint.
template <typename Painter> LRESULT PaintControl(HWND hwnd, WPARAM wParam, Painter paint) {
    if (wParam) {
        paint(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    paint(hwnd, dc);
    EndPaint(hwnd, &ps);
    return 0;
}

// A control's state in a property of its window: made at WM_NCCREATE, freed at WM_NCDESTROY. Null for any
// other message before WM_NCCREATE (the caller lets the default procedure answer).
template <typename State> State* ControlState(HWND hwnd, UINT message, const char* prop) {
    auto* state = static_cast<State*>(GetPropA(hwnd, prop));
    if (!state && message == WM_NCCREATE) {
        state = new State;
        SetPropA(hwnd, prop, state);
    } else if (state && message == WM_NCDESTROY) {
        delete static_cast<State*>(RemovePropA(hwnd, prop));
        return nullptr;
    }
    return state;
}

} // namespace win32::internal
