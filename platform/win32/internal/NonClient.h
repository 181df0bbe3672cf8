// Internal to the user-mode stand-in: the non-client area of a window (frame, caption, menu bar, scroll bars):
// where each part lies, and how it is painted.
#pragma once

#include "WindowManager.h"

namespace win32::internal {

// All in window coordinates (origin: the window's top-left corner); an absent part is an empty rectangle.
struct NonClientLayout {
    RECT window{};
    RECT client{};
    RECT caption{};
    // The caption's buttons (close; minimise and maximise, both or neither) and the system-menu icon.
    RECT close{};
    RECT minimize{};
    RECT maximize{};
    RECT sysMenu{};
    bool canMinimize = false; // WS_MINIMIZEBOX: a button drawn without it is greyed and does nothing
    bool canMaximize = false;
    RECT menu{};
    RECT vscroll{};
    RECT hscroll{};
    LONG border = 0;
    bool sizable = false;
};

RECT InsetsOfLocked(const Window& window);
NonClientLayout LayoutOfLocked(const Window& window);

// Where a scroll bar's thumb lies along a bar of `length` pixels with arrows of `arrow` pixels.
struct ThumbSpan {
    LONG start = 0;
    LONG end = 0;
};
ThumbSpan ThumbOf(const ScrollBar& bar, LONG length, LONG arrow);

// What DefWindowProc draws (WinPaint.cpp): WM_NCPAINT, WM_ERASEBKGND (TRUE when it erased), WM_CTLCOLOR*.
void PaintNonClient(HWND hwnd);
LRESULT EraseBackground(HWND hwnd, HDC dc);
LRESULT ControlColor(UINT message, HDC dc);

} // namespace win32::internal
