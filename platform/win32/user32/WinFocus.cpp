// Enabled state, keyboard focus, activation, the foreground window and mouse capture. Each thread keeps its
// own focus, active and capture windows; the foreground window is the machine's. Locks: UserLock() around that
// state, never while a window procedure runs.
#include <functional>

#include "WinHooks.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/Hooks.h"
#include "internal/InputState.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

HWND g_foreground = nullptr; // under UserLock

// Runs `action` on the thread that owns the window and waits for it.
void OnOwnerThread(const WindowPtr& w, const std::function<void()>& action) {
    if (w->thread == GetCurrentThreadId()) {
        action();
        return;
    }
    std::function<void()> run = action;
    SendToWindow(w, kRunOnThreadMessage, 0, reinterpret_cast<LPARAM>(&run));
}

} // namespace

namespace win32::internal {

void ForgetWindowInput(HWND hwnd, ThreadQueue& queue) {
    if (queue.focus == hwnd)
        queue.focus = nullptr;
    if (queue.active == hwnd)
        queue.active = nullptr;
    if (queue.capture == hwnd)
        queue.capture = nullptr;
    if (g_foreground == hwnd)
        g_foreground = nullptr;
    InputState& input = Input();
    if (input.mouseWindow == hwnd)
        input.mouseWindow = nullptr;
    if (input.lastClick.hwnd == hwnd)
        input.lastClick = {};
}

} // namespace win32::internal

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    bool wasDisabled;
    {
        std::lock_guard guard(UserLock());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable)
        return wasDisabled;
    if (!enable) {
        HWND focus = nullptr;
        {
            std::lock_guard guard(UserLock());
            focus = w->queue ? w->queue->focus : nullptr;
        }
        if (focus && (focus == hwnd || IsChild(hwnd, focus)))
            OnOwnerThread(w, [] { SetFocus(nullptr); });
    }
    SendToWindow(w, WM_ENABLE, enable ? TRUE : FALSE, 0);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    std::lock_guard guard(UserLock());
    return (w->style & WS_DISABLED) == 0;
}

HWND SetFocus(HWND hwnd) {
    auto queue = CurrentQueue();
    WindowPtr w;
    if (hwnd) {
        w = LookupOwnWindow(hwnd);
        if (!w)
            return nullptr;
        HWND root;
        HWND active;
        {
            std::lock_guard guard(UserLock());
            if (w->style & WS_DISABLED)
                return nullptr;
            root = RootOfLocked(*w);
            active = queue->active;
        }
        if (root != active)
            SetActiveWindow(root);
        if (!IsWindow(hwnd))
            return nullptr;
    }
    HWND old;
    {
        std::lock_guard guard(UserLock());
        old = queue->focus;
        if (old == hwnd)
            return old;
    }
    // A training hook hears of the move first, and may refuse it.
    if (CallHooks(WH_CBT, HCBT_SETFOCUS, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(old)))
        return nullptr;
    {
        std::lock_guard guard(UserLock());
        old = queue->focus;
        if (old == hwnd)
            return old;
        queue->focus = hwnd;
    }
    if (WindowPtr previous = LookupWindow(old))
        SendToWindow(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (w && IsWindow(hwnd))
        SendToWindow(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    SetLastError(ERROR_SUCCESS);
    return old;
}

HWND GetFocus() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return queue->focus;
}

HWND SetActiveWindow(HWND hwnd) {
    auto queue = CurrentQueue();
    WindowPtr w;
    if (hwnd) {
        w = LookupOwnWindow(hwnd);
        if (!w)
            return nullptr;
        std::lock_guard guard(UserLock());
        hwnd = RootOfLocked(*w);
        w = FindWindowLocked(hwnd);
    }
    HWND old;
    HWND focus;
    {
        std::lock_guard guard(UserLock());
        old = queue->active;
        if (old == hwnd)
            return old;
        queue->active = hwnd;
        if (hwnd)
            g_foreground = hwnd;
        else if (g_foreground == old)
            g_foreground = nullptr;
        focus = queue->focus;
    }
    if (WindowPtr previous = LookupWindow(old)) {
        SendToWindow(previous, WM_NCACTIVATE, FALSE, 0);
        SendToWindow(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    }
    // The focus belongs to the active window.
    if (focus && !(focus == hwnd || (hwnd && IsChild(hwnd, focus))))
        SetFocus(nullptr);
    if (w && IsWindow(hwnd)) {
        SendToWindow(w, WM_NCACTIVATE, TRUE, 0);
        SendToWindow(w, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, IsIconic(hwnd) ? 1 : 0), reinterpret_cast<LPARAM>(old));
    }
    return old;
}

HWND GetActiveWindow() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return queue->active;
}

BOOL SetForegroundWindow(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    OnOwnerThread(w, [hwnd] { SetActiveWindow(hwnd); });
    std::lock_guard guard(UserLock());
    g_foreground = RootOfLocked(*w);
    return TRUE;
}

HWND GetForegroundWindow() {
    std::lock_guard guard(UserLock());
    return FindWindowLocked(g_foreground) ? g_foreground : nullptr;
}

HWND SetCapture(HWND hwnd) {
    auto queue = CurrentQueue();
    WindowPtr w = LookupOwnWindow(hwnd);
    if (!w)
        return nullptr;
    HWND old;
    {
        std::lock_guard guard(UserLock());
        old = queue->capture;
        queue->capture = hwnd;
    }
    if (old != hwnd)
        if (WindowPtr previous = LookupWindow(old))
            SendToWindow(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    auto queue = CurrentQueue();
    HWND old;
    {
        std::lock_guard guard(UserLock());
        old = queue->capture;
        queue->capture = nullptr;
    }
    if (WindowPtr previous = LookupWindow(old))
        SendToWindow(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return queue->capture;
}
