// Internal to the user-mode stand-in: the machine's mouse and keyboard as the input injection and the input
// API share them (under UserLock()).
#pragma once

#include <string>

#include "WinUserTypes.h"

namespace win32::internal {

constexpr UINT kDoubleClickMilliseconds = 500;
// System cursors are handles of their own, apart from any object of the drawing context.
constexpr uintptr_t kSystemCursorBase = 0x7C0000;

struct LastClick {
    HWND hwnd = nullptr;
    UINT button = 0; // WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN
    LONGLONG time = 0;
    POINT at{};
};

struct InputState {
    POINT cursor{};
    BYTE asyncKeys[256] = {};
    HWND mouseWindow = nullptr; // the window the mouse is over now
    LastClick lastClick;
    HCURSOR currentCursor = nullptr;
    int cursorShowCount = 0;
};

InputState& Input();
// The mouse input a window that has just gone from the screen holds (a pop-up menu dismissed by a click outside
// it): `current`, the message it is handling, then what is queued for it, goes in order to the window that
// lies under each point now, as though it came now. The window's thread only.
void PassMouseInputOn(HWND from, const MSG& current);
HCURSOR SystemCursor(WORD id);
// "arrow", "wait", ... for a system cursor; "other" for anything else.
std::string CursorName(HCURSOR cursor);

} // namespace win32::internal
