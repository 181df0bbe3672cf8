// Sending, posting, retrieving and dispatching messages. Locks: UserLock() (= DispatchLock()) around every
// queue; it is let go before any window procedure runs, and every change to a queue notifies DispatchChanged()
// so that waiting threads look again.
#include <algorithm>
#include <cctype>
#include <climits>
#include <map>

#include "NtClock.h"
#include "WinInput.h"
#include "WinMessages.h"
#include "WinPaint.h"
#include "WinSync.h"
#include "WinThreads.h"
#include "WinTime.h"
#include "WinUiControl.h"
#include "WinUser.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(-1);

bool InRange(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{hwnd, message, wParam, lParam, static_cast<DWORD>(nt::clock::TickCountMilliseconds()), CursorPosLocked()};
    return msg;
}

// Takes (or, without PM_REMOVE, copies) the next message the filter lets through, in the platform's order.
bool TakeLocked(ThreadQueue& q, MSG* out, HWND filter, UINT min, UINT max, UINT remove) {
    const bool removing = (remove & PM_REMOVE) != 0;
    auto pick = [&](std::deque<MSG>& list, bool isInput) {
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (!InRange(it->message, min, max) || !MatchesFilterLocked(it->hwnd, filter))
                continue;
            *out = *it;
            if (removing) {
                list.erase(it);
                if (isInput)
                    TookInputLocked(q, *out);
            }
            return true;
        }
        return false;
    };
    if (pick(q.posted, false) || pick(q.input, true))
        return true;
    if (q.quit && InRange(WM_QUIT, min, max)) {
        *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
        if (removing)
            q.quit = false;
        return true;
    }
    if (filter != kThreadMessagesOnly && InRange(WM_PAINT, min, max)) {
        if (HWND hwnd = FindPaintLocked(q, filter)) {
            *out = MakeMessage(hwnd, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, min, max) && TakeTimerLocked(q, filter, removing, out))
        return true;
    return false;
}

bool HasInputOf(const ThreadQueue& q, DWORD mask) {
    for (const DeferredInput& entry : q.deferred)
        if (entry.kind & mask)
            return true;
    for (const MSG& msg : q.input) {
        bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
        bool move = msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE;
        if ((key && (mask & QS_KEY)) || (move && (mask & QS_MOUSEMOVE)) || (!key && !move && (mask & QS_MOUSEBUTTON)))
            return true;
    }
    return false;
}

DWORD QueueBitsLocked(const ThreadQueue& q) {
    DWORD bits = 0;
    if (!q.sent.empty())
        bits |= QS_SENDMESSAGE;
    if (!q.posted.empty() || q.quit || HasInputOf(q, QS_POSTMESSAGE))
        bits |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    if (HasInputOf(q, QS_KEY))
        bits |= QS_KEY;
    if (HasInputOf(q, QS_MOUSEMOVE))
        bits |= QS_MOUSEMOVE;
    if (HasInputOf(q, QS_MOUSEBUTTON))
        bits |= QS_MOUSEBUTTON;
    if (FindPaintLocked(q, nullptr))
        bits |= QS_PAINT;
    if (NextTimerDueLocked(q.thread) <= nt::clock::Now())
        bits |= QS_TIMER;
    return bits;
}

nt::clock::Deadline TimerDeadlineLocked(DWORD thread, const nt::clock::Deadline& limit) {
    LONGLONG due = NextTimerDueLocked(thread);
    if (due == LLONG_MAX)
        return limit;
    if (!limit.IsInfinite() && limit.MachineTime() < due)
        return limit;
    return nt::clock::Deadline::At(due);
}

// GetMessage and PeekMessage: delivers the sent messages, then looks for one to return; waits when asked.
bool Retrieve(MSG* msg, HWND filter, UINT min, UINT max, UINT remove, bool wait) {
    auto queue = CurrentQueue();
    const bool takesInput = (min == 0 && max == 0) || (min <= WM_MOUSELAST && max >= WM_KEYFIRST);
    for (;;) {
        DeliverSentMessages(*queue);
        std::unique_lock lock(UserLock());
        if (!queue->sent.empty())
            continue;
        if (takesInput) {
            if (std::function<void()> deferred = TakeDeferredInputLocked(*queue)) {
                lock.unlock();
                deferred();
                continue;
            }
        }
        if (TakeLocked(*queue, msg, filter, min, max, remove)) {
            if (remove & PM_REMOVE)
                queue->last = *msg;
            return true;
        }
        if (!wait)
            return false;
        auto deadline = TimerDeadlineLocked(queue->thread, nt::clock::Deadline::Infinite());
        MSG probe;
        nt::clock::WaitUntil(lock, DispatchChanged(), deadline, [&] {
            return !queue->sent.empty() || (takesInput && !queue->deferred.empty() && queue->input.empty()) ||
                   TakeLocked(*queue, &probe, filter, min, max, PM_NOREMOVE);
        });
    }
}

// Waits for a message sent to another thread, handling the calling thread's own sent messages meanwhile.
bool SendAcross(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam,
                const nt::clock::Deadline& deadline, LRESULT& result) {
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = window->hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    auto own = CurrentQueue();
    {
        std::lock_guard guard(UserLock());
        if (!window->queue->alive) {
            result = 0;
            return true;
        }
        window->queue->sent.push_back(sent);
    }
    NotifyUser();
    for (;;) {
        DeliverSentMessages(*own);
        std::unique_lock lock(UserLock());
        if (sent->done) {
            result = sent->result;
            return true;
        }
        if (!own->sent.empty())
            continue;
        bool woke =
            nt::clock::WaitUntil(lock, DispatchChanged(), deadline, [&] { return sent->done || !own->sent.empty(); });
        if (!woke) {
            std::erase(window->queue->sent, sent);
            if (sent->done) {
                result = sent->result;
                return true;
            }
            return false;
        }
    }
}

std::vector<WindowPtr> BroadcastTargets() {
    std::vector<WindowPtr> targets;
    std::lock_guard guard(UserLock());
    for (HWND hwnd : TopLevelWindowsLocked())
        if (WindowPtr w = FindWindowLocked(hwnd))
            targets.push_back(w);
    return targets;
}

bool PostTo(ThreadQueue& queue, const MSG& msg) {
    {
        std::lock_guard guard(UserLock());
        if (!queue.alive)
            return false;
        queue.posted.push_back(msg);
    }
    NotifyUser();
    return true;
}

char CharOfKey(const ThreadQueue& q, WPARAM vk) {
    bool shift = (q.keys[VK_SHIFT] & 0x80) != 0;
    bool control = (q.keys[VK_CONTROL] & 0x80) != 0;
    bool caps = (q.keys[VK_CAPITAL] & 0x01) != 0;
    if (control)
        return vk >= 'A' && vk <= 'Z' ? static_cast<char>(vk - 'A' + 1) : 0;
    return vk > 0xFF ? 0 : win32::CharacterOfKey(static_cast<BYTE>(vk), shift, caps);
}

} // namespace

namespace win32 {

char CharacterOfKey(BYTE vk, bool shift, bool capsLock) {
    if (vk >= 'A' && vk <= 'Z')
        return static_cast<char>((shift != capsLock) ? vk : std::tolower(static_cast<int>(vk)));
    if (vk >= '0' && vk <= '9') {
        static const char kShifted[] = ")!@#$%^&*(";
        return shift ? kShifted[vk - '0'] : static_cast<char>(vk);
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return static_cast<char>('0' + (vk - VK_NUMPAD0));
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 27;
    case 0xBD: return shift ? '_' : '-'; // the minus key
    case 0xBB: return shift ? '+' : '='; // the plus key
    case 0xBE: return shift ? '>' : '.'; // the period key
    case 0xBC: return shift ? '<' : ','; // the comma key
    case 0xBF: return shift ? '?' : '/'; // the slash key
    default: return 0;
    }
}

} // namespace win32

namespace win32::internal {

bool MatchesFilterLocked(HWND msgHwnd, HWND filter) {
    if (!filter)
        return true;
    if (filter == kThreadMessagesOnly)
        return msgHwnd == nullptr;
    for (WindowPtr w = FindWindowLocked(msgHwnd); w; w = FindWindowLocked(w->parent))
        if (w->hwnd == filter)
            return true;
    return false;
}

LRESULT SendToWindow(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window->queue || window->thread == GetCurrentThreadId())
        return CallProcedure(window, message, wParam, lParam);
    LRESULT result = 0;
    SendAcross(window, message, wParam, lParam, nt::clock::Deadline::Infinite(), result);
    return result;
}

// Calls a window of this thread at once; queues the message for another thread's window and returns. `data`
// keeps alive what lParam points into until the message has been handled.
static BOOL NotifyWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         std::shared_ptr<std::vector<BYTE>> data) {
    WindowPtr window = LookupWindow(hwnd);
    if (!window)
        return FALSE;
    if (!window->queue || window->thread == GetCurrentThreadId()) {
        CallProcedure(window, message, wParam, lParam);
        return TRUE;
    }
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->notify = true;
    sent->data = std::move(data);
    {
        std::lock_guard guard(UserLock());
        if (!window->queue->alive)
            return FALSE;
        window->queue->sent.push_back(std::move(sent));
    }
    NotifyUser();
    return TRUE;
}

BOOL SendNotifyBlock(HWND hwnd, UINT message, WPARAM wParam, std::shared_ptr<std::vector<BYTE>> block) {
    LPARAM lParam = reinterpret_cast<LPARAM>(block ? block->data() : nullptr);
    return NotifyWindow(hwnd, message, wParam, lParam, std::move(block));
}

} // namespace win32::internal

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (const WindowPtr& w : BroadcastTargets())
            SendToWindow(w, message, wParam, lParam);
        return 0;
    }
    WindowPtr window = LookupWindow(hwnd);
    return window ? SendToWindow(window, message, wParam, lParam) : 0;
}

LRESULT SendMessageTimeoutA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT, UINT timeout,
                            PDWORD_PTR result) {
    WindowPtr window = LookupWindow(hwnd);
    if (!window)
        return 0;
    LRESULT value = 0;
    if (!window->queue || window->thread == GetCurrentThreadId()) {
        value = CallProcedure(window, message, wParam, lParam);
    } else if (!SendAcross(window, message, wParam, lParam, nt::clock::Deadline::AfterMilliseconds(timeout), value)) {
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    if (result)
        *result = static_cast<DWORD_PTR>(value);
    return 1;
}

BOOL SendNotifyMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (const WindowPtr& w : BroadcastTargets())
            SendNotifyMessageA(w->hwnd, message, wParam, lParam);
        return TRUE;
    }
    return win32::internal::NotifyWindow(hwnd, message, wParam, lParam, nullptr);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd)
        return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    if (hwnd == HWND_BROADCAST) {
        for (const WindowPtr& w : BroadcastTargets())
            PostMessageA(w->hwnd, message, wParam, lParam);
        return TRUE;
    }
    WindowPtr window = LookupWindow(hwnd);
    if (!window)
        return FALSE;
    if (!window->queue) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    MSG msg;
    {
        std::lock_guard guard(UserLock());
        msg = MakeMessage(hwnd, message, wParam, lParam);
    }
    return PostTo(*window->queue, msg) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> queue;
    MSG msg;
    if (threadId == GetCurrentThreadId())
        CurrentQueue();
    {
        std::lock_guard guard(UserLock());
        queue = QueueOfThreadLocked(threadId);
        msg = MakeMessage(nullptr, message, wParam, lParam);
    }
    if (!queue || !PostTo(*queue, msg)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    auto queue = CurrentQueue();
    {
        std::lock_guard guard(UserLock());
        queue->quit = true;
        queue->quitCode = exitCode;
    }
    NotifyUser();
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != kThreadMessagesOnly && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Retrieve(msg, hwnd, filterMin, filterMax, PM_REMOVE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hwnd && hwnd != kThreadMessagesOnly && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return Retrieve(msg, hwnd, filterMin, filterMax, removeMessage, false) ? TRUE : FALSE;
}

BOOL WaitMessage() {
    auto queue = CurrentQueue();
    std::unique_lock lock(UserLock());
    auto deadline = TimerDeadlineLocked(queue->thread, nt::clock::Deadline::Infinite());
    nt::clock::WaitUntil(lock, DispatchChanged(), deadline, [&] { return QueueBitsLocked(*queue) != 0; });
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    auto queue = CurrentQueue();
    char c;
    {
        std::lock_guard guard(UserLock());
        c = CharOfKey(*queue, msg->wParam);
    }
    if (!c)
        return TRUE;
    UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    MSG typed;
    {
        std::lock_guard guard(UserLock());
        typed = MakeMessage(msg->hwnd, charMessage, static_cast<unsigned char>(c), msg->lParam);
        // The character comes before anything posted later, as the next message of the queue.
        queue->posted.push_front(typed);
    }
    NotifyUser();
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        bool known;
        {
            std::lock_guard guard(UserLock());
            known = TimerExistsLocked(msg->hwnd, msg->wParam, proc);
        }
        if (known)
            proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(nt::clock::TickCountMilliseconds()));
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    WindowPtr window = LookupWindow(msg->hwnd);
    if (!window)
        return 0;
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        // A pop-up menu that is up takes the thread's keyboard messages, posted ones too, as its loop does.
        std::lock_guard guard(UserLock());
        WindowPtr menu = window->queue ? FindWindowLocked(window->queue->menu) : nullptr;
        if (menu && menu->thread == window->thread)
            window = menu;
    }
    if (window->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return 0;
    }
    unsigned paints = 0;
    if (msg->message == WM_PAINT) {
        std::lock_guard guard(UserLock());
        paints = window->paints;
    }
    LRESULT result = CallProcedure(window, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A procedure that never began painting would get WM_PAINT for ever: what it left is taken as done.
        std::lock_guard guard(UserLock());
        if (window->paints == paints) {
            window->update = {};
            window->erase = window->frame = window->internalPaint = false;
        }
    }
    return result;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

BOOL InSendMessage() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return queue->sendDepth > 0;
}

DWORD GetMessagePos() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(queue->last.pt.x), static_cast<WORD>(queue->last.pt.y)));
}

LONG GetMessageTime() {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    return static_cast<LONG>(queue->last.time);
}

DWORD GetQueueStatus(UINT flags) {
    auto queue = CurrentQueue();
    std::lock_guard guard(UserLock());
    DWORD bits = QueueBitsLocked(*queue) & flags;
    return (bits << 16) | bits;
}

BOOL GetInputState() {
    return (GetQueueStatus(QS_INPUT) & 0xFFFF) != 0;
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask, DWORD flags) {
    std::vector<std::shared_ptr<Waitable>> objects;
    const bool waitAll = (flags & MWMO_WAITALL) != 0;
    if (!ResolveWaitObjects(count, handles, waitAll, objects))
        return WAIT_FAILED;
    auto queue = CurrentQueue();
    const DWORD thread = GetCurrentThreadId();
    DWORD result = WAIT_TIMEOUT;
    auto ready = [&] {
        if (TryCompleteWait(objects, waitAll, thread, result))
            return true;
        if (QueueBitsLocked(*queue) & wakeMask) {
            result = WAIT_OBJECT_0 + count;
            return true;
        }
        return false;
    };
    std::unique_lock lock(UserLock());
    if (milliseconds == 0)
        return ready() ? result : WAIT_TIMEOUT;
    auto limit = nt::clock::Deadline::AfterMilliseconds(milliseconds);
    for (;;) {
        // A timer that falls due before the time-out ends the wait too (when the mask asks for timers).
        auto deadline = (wakeMask & QS_TIMER) ? TimerDeadlineLocked(thread, limit) : limit;
        if (nt::clock::WaitUntil(lock, DispatchChanged(), deadline, ready))
            return result;
        if (limit.HasPassed())
            return WAIT_TIMEOUT;
    }
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask) {
    return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wakeMask, waitAll ? MWMO_WAITALL : 0);
}

UINT RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static auto* ids = new std::map<std::string, UINT>;
    static UINT next = 0xC000;
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    std::lock_guard guard(UserLock());
    auto [it, added] = ids->try_emplace(key, next);
    if (added)
        ++next;
    return it->second;
}
