// Key state, the mouse position, leave tracking and cursors. Locks: UserLock() around that state.
#include <cstring>

#include "WinInput.h"
#include "WinUiControl.h"
#include "WinUser.h"
#include "internal/InputState.h"
#include "internal/WindowEvents.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace win32::internal {

InputState& Input() {
    static auto* state = new InputState; // under UserLock; never destroyed
    return *state;
}

POINT CursorPosLocked() {
    return Input().cursor;
}

void TookInputLocked(ThreadQueue& queue, const MSG& msg) {
    auto press = [&](WPARAM vk, bool down) {
        BYTE& key = queue.keys[vk & 0xFF];
        if (down) {
            if (!(key & 0x80))
                key ^= 0x01; // a new press toggles
            key |= 0x80;
        } else {
            key &= static_cast<BYTE>(~0x80);
        }
    };
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: press(msg.wParam, true); break;
    case WM_KEYUP:
    case WM_SYSKEYUP: press(msg.wParam, false); break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: press(VK_LBUTTON, true); break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP: press(VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN: press(VK_RBUTTON, true); break;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP: press(VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: press(VK_MBUTTON, true); break;
    case WM_MBUTTONUP: press(VK_MBUTTON, false); break;
    default: break;
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        // The generic modifier follows either of its keys.
        auto either = [&](int generic, int left, int right) {
            if (msg.wParam == static_cast<WPARAM>(left) || msg.wParam == static_cast<WPARAM>(right))
                queue.keys[generic] =
                    static_cast<BYTE>((queue.keys[generic] & 0x01) | ((queue.keys[left] | queue.keys[right]) & 0x80));
        };
        either(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
        either(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
        either(VK_MENU, VK_LMENU, VK_RMENU);
    }
}

HCURSOR SystemCursor(WORD id) {
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(kSystemCursorBase + id));
}

} // namespace win32::internal

SHORT GetKeyState(int vk) {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    BYTE key = queue->keys[vk & 0xFF];
    return static_cast<SHORT>(((key & 0x80) ? 0x8000 : 0) | (key & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
    std::lock_guard guard(UserLock());
    return (Input().asyncKeys[vk & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

BOOL GetKeyboardState(PBYTE keys) {
    if (!keys) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    memcpy(keys, queue->keys, sizeof(queue->keys));
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(UserLock());
    *point = Input().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    std::lock_guard guard(UserLock());
    Input().cursor = {x, y};
    return TRUE;
}

UINT GetDoubleClickTime() {
    return kDoubleClickMilliseconds;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track) {
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (track->dwFlags & TME_QUERY) {
        std::lock_guard guard(UserLock());
        WindowPtr w = FindWindowLocked(Input().mouseWindow);
        track->dwFlags = (w && w->trackLeave) ? TME_LEAVE : 0;
        track->hwndTrack = w && w->trackLeave ? w->hwnd : nullptr;
        return TRUE;
    }
    WindowPtr w = LookupWindow(track->hwndTrack);
    if (!w)
        return FALSE;
    bool leftAlready = false;
    {
        std::lock_guard guard(UserLock());
        if (track->dwFlags & TME_CANCEL) {
            if (track->dwFlags & TME_LEAVE)
                w->trackLeave = false;
            return TRUE;
        }
        if (track->dwFlags & TME_LEAVE) {
            // Asked while the mouse is elsewhere already: the leave comes at once.
            leftAlready = Input().mouseWindow != w->hwnd;
            w->trackLeave = !leftAlready;
        }
    }
    if (leftAlready)
        PostMessageA(w->hwnd, WM_MOUSELEAVE, 0, 0);
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
        if (CursorName(SystemCursor(id)) != "other")
            return SystemCursor(id);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old;
    {
        std::lock_guard guard(UserLock());
        old = Input().currentCursor;
        Input().currentCursor = cursor;
    }
    if (old != cursor)
        ReportCursorChanged(cursor);
    return old;
}

HCURSOR GetCursor() {
    std::lock_guard guard(UserLock());
    return Input().currentCursor;
}

int ShowCursor(BOOL show) {
    std::lock_guard guard(UserLock());
    Input().cursorShowCount += show ? 1 : -1;
    return Input().cursorShowCount;
}

namespace win32 {

std::string CurrentCursorName() {
    HCURSOR cursor = GetCursor();
    return cursor ? internal::CursorName(cursor) : std::string();
}

} // namespace win32
