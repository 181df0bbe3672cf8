// Input from tests and the display host, into the queue of the thread that owns the target window. Locks:
// UserLock() around the queues and the input state; the hit-test and cursor messages are sent without it.
//
// A caller that owns no window (a display host's thread) must never wait for a window's thread, which may be
// busy for a long time: its events are deferred to that thread (DeferredInput) and run there, in order, when it
// next takes input, where the messages they send cost no wait.
#include <cctype>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "NtClock.h"
#include "WinInput.h"
#include "WinSystemInfo.h"
#include "WinThreads.h"
#include "WinUiControl.h"
#include "WinUser.h"
#include "internal/InputState.h"
#include "internal/WindowManager.h"

using namespace win32::internal;

namespace {

struct ButtonMessages {
    UINT down, up, doubleClick, ncDown, ncUp, ncDoubleClick;
    BYTE vk;
    WPARAM mk;
};

ButtonMessages MessagesOf(win32::MouseButton button) {
    switch (button) {
    case win32::MouseButton::Right:
        return {WM_RBUTTONDOWN, WM_RBUTTONUP,       WM_RBUTTONDBLCLK, WM_NCRBUTTONDOWN,
                WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK, VK_RBUTTON,       MK_RBUTTON};
    case win32::MouseButton::Middle:
        return {WM_MBUTTONDOWN, WM_MBUTTONUP,       WM_MBUTTONDBLCLK, WM_NCMBUTTONDOWN,
                WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK, VK_MBUTTON,       MK_MBUTTON};
    default:
        return {WM_LBUTTONDOWN, WM_LBUTTONUP,       WM_LBUTTONDBLCLK, WM_NCLBUTTONDOWN,
                WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK, VK_LBUTTON,       MK_LBUTTON};
    }
}

void Post(const std::shared_ptr<ThreadQueue>& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
          POINT screen) {
    {
        std::lock_guard guard(UserLock());
        if (!queue->alive)
            return;
        queue->input.push_back(
            {hwnd, message, wParam, lParam, static_cast<DWORD>(nt::clock::TickCountMilliseconds()), screen});
    }
    NotifyUser();
}

bool OwnsWindowsLocked(DWORD thread) {
    for (const WindowPtr& w : AllWindowsLocked())
        if (w->thread == thread)
            return true;
    return false;
}

// Queues `run` to the thread of `hwnd` when the caller owns no window and is not that thread; true when it was
// queued (or the window is gone, so there is nothing to do).
bool Defer(HWND hwnd, DWORD kind, std::function<void()> run) {
    const DWORD self = GetCurrentThreadId();
    {
        std::lock_guard guard(UserLock());
        WindowPtr w = FindWindowLocked(hwnd);
        if (!w || !w->queue)
            return hwnd != nullptr;
        if (w->thread == self || OwnsWindowsLocked(self))
            return false;
        if (!w->queue->alive)
            return true;
        w->queue->deferred.push_back({kind, std::move(run)});
    }
    NotifyUser();
    return true;
}

// A client point of a window on the screen (as given when the window is unknown).
POINT ScreenPointOf(HWND hwnd, POINT point) {
    std::lock_guard guard(UserLock());
    WindowPtr w = FindWindowLocked(hwnd);
    if (!w)
        return point;
    const POINT origin = ClientOriginLocked(*w);
    return {origin.x + point.x, origin.y + point.y};
}

// A button deferred to a window that was destroyed before it came (a pop-up menu that closed while the desktop
// still held the pointer for it) goes to the window under its point now.
std::pair<HWND, POINT> StillThereOrUnder(HWND hwnd, POINT point, POINT screen) {
    if (IsWindow(hwnd))
        return {hwnd, point};
    HWND under = WindowFromPoint(screen);
    if (!under)
        return {hwnd, point};
    ScreenToClient(under, &screen);
    return {under, screen};
}

// The foreground window, for keys sent to no window in particular.
HWND ForegroundWindowLocked() {
    for (HWND top : TopLevelWindowsLocked()) {
        WindowPtr candidate = FindWindowLocked(top);
        if (candidate && candidate->queue && candidate->queue->active == top)
            return top;
    }
    return nullptr;
}

HWND KeyWindow(HWND hwnd) {
    if (hwnd)
        return hwnd;
    std::lock_guard guard(UserLock());
    return ForegroundWindowLocked();
}

WPARAM ButtonState() {
    const BYTE* keys = Input().asyncKeys;
    WPARAM state = 0;
    if (keys[VK_LBUTTON] & 0x80)
        state |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & 0x80)
        state |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & 0x80)
        state |= MK_MBUTTON;
    if (keys[VK_SHIFT] & 0x80)
        state |= MK_SHIFT;
    if (keys[VK_CONTROL] & 0x80)
        state |= MK_CONTROL;
    return state;
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The topmost visible, enabled window under the point, from `hwnd` down (screen coordinates).
HWND HitLocked(HWND hwnd, POINT screen) {
    WindowPtr w = FindWindowLocked(hwnd);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_DISABLED) || !Contains(WindowRectOnScreenLocked(*w), screen))
        return nullptr;
    POINT origin = ClientOriginLocked(*w);
    RECT client{origin.x, origin.y, origin.x + (w->client.right - w->client.left),
                origin.y + (w->client.bottom - w->client.top)};
    if (Contains(client, screen))
        for (HWND child : w->children)
            if (HWND hit = HitLocked(child, screen))
                return hit;
    return hwnd;
}

// The window under a screen point: in the topmost visible top-level window there (a disabled one takes nothing).
HWND HitScreenLocked(POINT screen) {
    for (HWND top : TopLevelWindowsLocked()) {
        WindowPtr w = FindWindowLocked(top);
        if (w && (w->style & WS_VISIBLE) && Contains(WindowRectOnScreenLocked(*w), screen))
            return HitLocked(top, screen);
    }
    return nullptr;
}

struct Target {
    WindowPtr window;
    LRESULT hit = HTNOWHERE;
};

// Where a mouse event at a client point of `hwnd` goes: the capture window of the owner thread, or the window
// under the point.
Target FindTarget(HWND hwnd, POINT point, POINT& screen) {
    Target target;
    HWND found = nullptr;
    bool captured = false;
    {
        std::lock_guard guard(UserLock());
        WindowPtr w = FindWindowLocked(hwnd);
        if (!w)
            return target;
        POINT origin = ClientOriginLocked(*w);
        screen = {origin.x + point.x, origin.y + point.y};
        Input().cursor = screen;
        if (w->queue && FindWindowLocked(w->queue->capture)) {
            found = w->queue->capture;
            captured = true;
        } else {
            found = HitLocked(RootOfLocked(*w), screen);
            // A window that has gone from the screen (a pop-up menu just dismissed) leaves the pointer over what
            // lies under it there.
            if (!found && !IsVisibleLocked(*w))
                found = HitScreenLocked(screen);
        }
        target.window = FindWindowLocked(found);
    }
    if (!target.window)
        return target;
    if (captured) {
        target.hit = HTCLIENT;
        return target;
    }
    for (;;) {
        target.hit = SendToWindow(target.window, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (target.hit != HTTRANSPARENT)
            return target;
        std::lock_guard guard(UserLock());
        WindowPtr parent = FindWindowLocked(target.window->parent);
        if (!parent) {
            target.window.reset();
            return target;
        }
        target.window = parent;
    }
}

// The mouse moved onto `hwnd` (null: off every window): a tracked window it left gets WM_MOUSELEAVE.
void MouseOver(HWND hwnd) {
    WindowPtr left;
    {
        std::lock_guard guard(UserLock());
        HWND previous = Input().mouseWindow;
        Input().mouseWindow = hwnd;
        if (previous == hwnd)
            return;
        left = FindWindowLocked(previous);
        if (!left || !left->trackLeave)
            return;
        left->trackLeave = false;
    }
    Post(left->queue, left->hwnd, WM_MOUSELEAVE, 0, 0, CursorPosLocked());
}

LPARAM ClientParam(const Window& w, POINT screen) {
    std::lock_guard guard(UserLock());
    POINT origin = ClientOriginLocked(w);
    return MAKELPARAM(screen.x - origin.x, screen.y - origin.y);
}

enum class Phase { Move, Down, Up, DoubleDown };

void MouseEvent(HWND hwnd, POINT point, Phase phase, win32::MouseButton button, WPARAM keys) {
    POINT screen{};
    Target target = FindTarget(hwnd, point, screen);
    ButtonMessages m = MessagesOf(button);
    {
        std::lock_guard guard(UserLock());
        if (phase == Phase::Down || phase == Phase::DoubleDown)
            Input().asyncKeys[m.vk] |= 0x80;
        if (phase == Phase::Up)
            Input().asyncKeys[m.vk] &= static_cast<BYTE>(~0x80);
    }
    MouseOver(target.window ? target.window->hwnd : nullptr);
    if (!target.window)
        return;
    const WindowPtr& w = target.window;
    UINT message = phase == Phase::Move ? WM_MOUSEMOVE : phase == Phase::Up ? m.up : m.down;
    if (phase == Phase::Down || phase == Phase::DoubleDown) {
        HWND root;
        bool active;
        {
            std::lock_guard guard(UserLock());
            root = RootOfLocked(*w);
            active = w->queue && w->queue->active == root;
        }
        if (!active) {
            LRESULT how =
                SendToWindow(w, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root), MAKELPARAM(target.hit, message));
            if (how == MA_ACTIVATE || how == MA_ACTIVATEANDEAT) {
                WindowPtr rootWindow = LookupWindow(root);
                if (rootWindow) {
                    std::function<void()> run = [root] { SetActiveWindow(root); };
                    SendToWindow(rootWindow, kRunOnThreadMessage, 0, reinterpret_cast<LPARAM>(&run));
                }
            }
            if (how == MA_ACTIVATEANDEAT || how == MA_NOACTIVATEANDEAT)
                return;
        }
        // A second press of the same button on the same window, soon and near enough, is a double-click when
        // the window's class asks for them.
        const LONGLONG now = nt::clock::Now();
        std::lock_guard guard(UserLock());
        LastClick& last = Input().lastClick;
        const bool near = std::abs(last.at.x - screen.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                          std::abs(last.at.y - screen.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        const bool soon =
            now - last.time <= static_cast<LONGLONG>(kDoubleClickMilliseconds) * nt::clock::kUnitsPerMillisecond;
        if (last.hwnd == w->hwnd && last.button == m.down && near && soon && (w->cls->style & CS_DBLCLKS)) {
            message = m.doubleClick;
            last = {};
        } else {
            last = {w->hwnd, m.down, now, screen};
        }
    }
    SendToWindow(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w->hwnd), MAKELPARAM(target.hit, message));
    WPARAM state;
    {
        std::lock_guard guard(UserLock());
        state = ButtonState() | keys;
    }
    if (target.hit == HTCLIENT) {
        Post(w->queue, w->hwnd, message, state, ClientParam(*w, screen), screen);
        return;
    }
    UINT ncMessage = message == WM_MOUSEMOVE    ? WM_NCMOUSEMOVE
                     : message == m.down        ? m.ncDown
                     : message == m.up          ? m.ncUp
                     : message == m.doubleClick ? m.ncDoubleClick
                                                : message;
    Post(w->queue, w->hwnd, ncMessage, static_cast<WPARAM>(target.hit), MAKELPARAM(screen.x, screen.y), screen);
}

// The thread whose keyboard input `hwnd` names, and the window that gets it.
WindowPtr KeyTarget(HWND hwnd) {
    std::lock_guard guard(UserLock());
    WindowPtr w = hwnd ? FindWindowLocked(hwnd) : nullptr;
    if (!hwnd)
        w = FindWindowLocked(ForegroundWindowLocked());
    if (!w || !w->queue)
        return nullptr;
    if (WindowPtr menu = FindWindowLocked(w->queue->menu))
        return menu; // a pop-up menu holds the keyboard while it is up
    WindowPtr focus = FindWindowLocked(w->queue->focus);
    return focus ? focus : FindWindowLocked(w->queue->active);
}

void KeyEvent(HWND hwnd, BYTE vk, bool down) {
    WindowPtr target = KeyTarget(hwnd);
    BYTE before;
    bool alt;
    {
        std::lock_guard guard(UserLock());
        BYTE* keys = Input().asyncKeys;
        before = keys[vk];
        keys[vk] = down ? static_cast<BYTE>(keys[vk] | 0x80) : static_cast<BYTE>(keys[vk] & ~0x80);
        auto either = [&](int generic, int left, int right) {
            if (vk == left || vk == right)
                keys[generic] = static_cast<BYTE>((keys[left] | keys[right]) & 0x80);
        };
        either(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
        either(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
        either(VK_MENU, VK_LMENU, VK_RMENU);
        alt = (keys[VK_MENU] & 0x80) != 0;
    }
    if (!target)
        return;
    const bool system = alt || vk == VK_MENU || vk == VK_F10;
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lParam = 1 | (static_cast<LPARAM>(vk) << 16);
    if (alt)
        lParam |= 1L << 29;
    if (!down)
        lParam |= (1L << 30) | (1L << 31);
    else if (before & 0x80)
        lParam |= 1L << 30; // a repeat
    POINT cursor;
    {
        std::lock_guard guard(UserLock());
        cursor = Input().cursor;
    }
    Post(target->queue, target->hwnd, message, vk, lParam, cursor);
}

} // namespace

namespace win32 {

namespace internal {

void PassMouseInputOn(HWND from, const MSG& current) {
    std::vector<MSG> held{current};
    {
        std::lock_guard guard(UserLock());
        WindowPtr w = FindWindowLocked(from);
        if (w && w->queue) {
            std::erase_if(w->queue->input, [&](const MSG& msg) {
                const bool mouse = msg.hwnd == from && msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST;
                if (mouse)
                    held.push_back(msg);
                return mouse;
            });
        }
    }
    for (const MSG& msg : held) {
        const POINT point{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        const WPARAM keys = msg.wParam & (MK_SHIFT | MK_CONTROL);
        switch (msg.message) {
        case WM_MOUSEMOVE: MouseEvent(from, point, Phase::Move, win32::MouseButton::Left, keys); break;
        case WM_LBUTTONDOWN: MouseEvent(from, point, Phase::Down, win32::MouseButton::Left, keys); break;
        case WM_LBUTTONUP: MouseEvent(from, point, Phase::Up, win32::MouseButton::Left, keys); break;
        case WM_RBUTTONDOWN: MouseEvent(from, point, Phase::Down, win32::MouseButton::Right, keys); break;
        case WM_RBUTTONUP: MouseEvent(from, point, Phase::Up, win32::MouseButton::Right, keys); break;
        case WM_MBUTTONDOWN: MouseEvent(from, point, Phase::Down, win32::MouseButton::Middle, keys); break;
        case WM_MBUTTONUP: MouseEvent(from, point, Phase::Up, win32::MouseButton::Middle, keys); break;
        default: break;
        }
    }
}

std::function<void()> TakeDeferredInputLocked(ThreadQueue& queue) {
    if (queue.deferred.empty() || !queue.input.empty())
        return {};
    std::function<void()> run = std::move(queue.deferred.front().run);
    queue.deferred.pop_front();
    return run;
}

std::string CursorName(HCURSOR cursor) {
    uintptr_t value = reinterpret_cast<uintptr_t>(cursor);
    switch (value >= kSystemCursorBase ? value - kSystemCursorBase : 0) {
    case 32512: return "arrow";
    case 32513: return "ibeam";
    case 32514: return "wait";
    case 32515: return "cross";
    case 32516: return "uparrow";
    case 32642: return "sizenwse";
    case 32643: return "sizenesw";
    case 32644: return "sizewe";
    case 32645: return "sizens";
    case 32640:
    case 32646: return "sizeall";
    case 32648: return "no";
    case 32649: return "hand";
    case 32650: return "appstarting";
    case 32651: return "help";
    default: return "other";
    }
}

} // namespace internal

void MouseMove(HWND hwnd, POINT point, WPARAM keys) {
    if (!Defer(hwnd, QS_MOUSEMOVE, [=] { MouseMove(hwnd, point, keys); }))
        MouseEvent(hwnd, point, Phase::Move, MouseButton::Left, keys);
}

void MouseDown(HWND hwnd, POINT point, MouseButton button, WPARAM keys) {
    const POINT screen = ScreenPointOf(hwnd, point);
    if (!Defer(hwnd, QS_MOUSEBUTTON, [=] {
            const auto [to, at] = StillThereOrUnder(hwnd, point, screen);
            MouseDown(to, at, button, keys);
        }))
        MouseEvent(hwnd, point, Phase::Down, button, keys);
}

void MouseUp(HWND hwnd, POINT point, MouseButton button, WPARAM keys) {
    const POINT screen = ScreenPointOf(hwnd, point);
    if (!Defer(hwnd, QS_MOUSEBUTTON, [=] {
            const auto [to, at] = StillThereOrUnder(hwnd, point, screen);
            MouseUp(to, at, button, keys);
        }))
        MouseEvent(hwnd, point, Phase::Up, button, keys);
}

void Click(HWND hwnd, POINT point, MouseButton button, WPARAM keys) {
    MouseDown(hwnd, point, button, keys);
    MouseUp(hwnd, point, button, keys);
}

void DoubleClick(HWND hwnd, POINT point, MouseButton button, WPARAM keys) {
    Click(hwnd, point, button, keys);
    Click(hwnd, point, button, keys);
}

void MouseLeave() {
    HWND over;
    {
        std::lock_guard guard(UserLock());
        over = Input().mouseWindow;
    }
    // After the moves still deferred to the window the mouse is over.
    if (!over || !Defer(over, QS_MOUSEMOVE, [] { MouseLeave(); }))
        MouseOver(nullptr);
}

void MouseWheel(HWND hwnd, POINT point, int delta, WPARAM keys) {
    if (Defer(hwnd, QS_MOUSEBUTTON, [=] { MouseWheel(hwnd, point, delta, keys); }))
        return;
    WindowPtr target = KeyTarget(hwnd);
    POINT screen = point;
    {
        std::lock_guard guard(UserLock());
        if (WindowPtr w = FindWindowLocked(hwnd)) {
            POINT origin = ClientOriginLocked(*w);
            screen = {origin.x + point.x, origin.y + point.y};
        }
        Input().cursor = screen;
    }
    if (!target)
        return;
    WPARAM state;
    {
        std::lock_guard guard(UserLock());
        state = ButtonState() | keys;
    }
    Post(target->queue, target->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(state, static_cast<WORD>(static_cast<SHORT>(delta))),
         MAKELPARAM(screen.x, screen.y), screen);
}

void KeyDown(HWND hwnd, BYTE vk) {
    if (!Defer(KeyWindow(hwnd), QS_KEY, [=] { KeyDown(hwnd, vk); }))
        KeyEvent(hwnd, vk, true);
}
void KeyUp(HWND hwnd, BYTE vk) {
    if (!Defer(KeyWindow(hwnd), QS_KEY, [=] { KeyUp(hwnd, vk); }))
        KeyEvent(hwnd, vk, false);
}

void EnterCharacter(HWND hwnd, BYTE character) {
    if (Defer(KeyWindow(hwnd), QS_KEY, [=] { EnterCharacter(hwnd, character); }))
        return;
    WindowPtr target = KeyTarget(hwnd);
    if (!target)
        return;
    POINT cursor;
    {
        std::lock_guard guard(UserLock());
        cursor = Input().cursor;
    }
    // A character of its own: TranslateMessage makes nothing more of it.
    Post(target->queue, target->hwnd, WM_CHAR, character, 1, cursor);
}

void ActivateTopLevel(HWND topLevel) {
    if (Defer(topLevel, QS_POSTMESSAGE, [=] { ActivateTopLevel(topLevel); }))
        return;
    if (GetAncestor(topLevel, GA_ROOT) != topLevel || !IsWindowEnabled(topLevel) || !IsWindowVisible(topLevel))
        return;
    SetForegroundWindow(topLevel);
}

void RequestWindowRect(HWND topLevel, const RECT& windowRect) {
    if (Defer(topLevel, QS_POSTMESSAGE, [=] { RequestWindowRect(topLevel, windowRect); }))
        return;
    if (GetAncestor(topLevel, GA_ROOT) != topLevel)
        return;
    RECT now{};
    GetWindowRect(topLevel, &now);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (now.left == windowRect.left && now.top == windowRect.top)
        flags |= SWP_NOMOVE;
    if (now.right - now.left == windowRect.right - windowRect.left &&
        now.bottom - now.top == windowRect.bottom - windowRect.top)
        flags |= SWP_NOSIZE;
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
        SetWindowPos(topLevel, nullptr, windowRect.left, windowRect.top, windowRect.right - windowRect.left,
                     windowRect.bottom - windowRect.top, flags);
}

void PressKey(HWND hwnd, BYTE vk) {
    KeyDown(hwnd, vk);
    KeyUp(hwnd, vk);
}

void TypeText(HWND hwnd, const std::string& text) {
    static const std::string kShiftedDigits = ")!@#$%^&*(";
    for (char c : text) {
        BYTE vk = 0;
        bool shift = false;
        if (std::isalpha(static_cast<unsigned char>(c))) {
            vk = static_cast<BYTE>(std::toupper(static_cast<unsigned char>(c)));
            shift = std::isupper(static_cast<unsigned char>(c));
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            vk = static_cast<BYTE>(c);
        } else if (auto at = kShiftedDigits.find(c); at != std::string::npos) {
            vk = static_cast<BYTE>('0' + at);
            shift = true;
        } else {
            switch (c) {
            case ' ': vk = VK_SPACE; break;
            case '\r':
            case '\n': vk = VK_RETURN; break;
            case '\t': vk = VK_TAB; break;
            case '\b': vk = VK_BACK; break;
            case '-': vk = 0xBD; break;
            case '_':
                vk = 0xBD;
                shift = true;
                break;
            case '=': vk = 0xBB; break;
            case '+':
                vk = 0xBB;
                shift = true;
                break;
            case '.': vk = 0xBE; break;
            case '>':
                vk = 0xBE;
                shift = true;
                break;
            case ',': vk = 0xBC; break;
            case '<':
                vk = 0xBC;
                shift = true;
                break;
            case '/': vk = 0xBF; break;
            case '?':
                vk = 0xBF;
                shift = true;
                break;
            default: continue; // not on the keyboard
            }
        }
        if (shift)
            KeyDown(hwnd, VK_SHIFT);
        PressKey(hwnd, vk);
        if (shift)
            KeyUp(hwnd, VK_SHIFT);
    }
}

void ContextMenuKey(HWND hwnd) {
    PressKey(hwnd, VK_APPS);
}

} // namespace win32
