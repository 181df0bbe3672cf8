// Timers of windows and threads on the machine clock. Locks: UserLock() around the timer list.
#include <climits>
#include <list>

#include "NtClock.h"
#include "WinMessages.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/UiFailures.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

// A timer's period can't be shorter than this, as on the platform (USER_TIMER_MINIMUM).
constexpr UINT kMinimumInterval = 10;
constexpr UINT_PTR kFirstThreadTimerId = 0x7FF0;

std::list<Timer>& Timers() {
    static auto* timers = new std::list<Timer>;
    return *timers;
}

UINT_PTR g_nextThreadTimer = kFirstThreadTimerId;

LONGLONG DueAfter(UINT interval) {
    return nt::clock::Now() + static_cast<LONGLONG>(interval) * nt::clock::kUnitsPerMillisecond;
}

} // namespace

namespace win32::internal {

bool TakeTimerLocked(ThreadQueue& queue, HWND filter, bool remove, MSG* msg) {
    const LONGLONG now = nt::clock::Now();
    Timer* best = nullptr;
    for (Timer& timer : Timers())
        if (timer.thread == queue.thread && timer.due <= now && MatchesFilterLocked(timer.hwnd, filter) &&
            (!best || timer.due < best->due))
            best = &timer;
    if (!best)
        return false;
    *msg = {best->hwnd,
            WM_TIMER,
            best->id,
            reinterpret_cast<LPARAM>(best->proc),
            static_cast<DWORD>(nt::clock::TickCountMilliseconds()),
            CursorPosLocked()};
    // One WM_TIMER at a time: the next period starts when this one is taken.
    if (remove)
        best->due = DueAfter(best->interval);
    return true;
}

LONGLONG NextTimerDueLocked(DWORD thread) {
    LONGLONG due = LLONG_MAX;
    for (const Timer& timer : Timers())
        if (timer.thread == thread && timer.due < due)
            due = timer.due;
    return due;
}

bool TimerExistsLocked(HWND hwnd, UINT_PTR id, TIMERPROC proc) {
    for (const Timer& timer : Timers())
        if (timer.hwnd == hwnd && timer.id == id && timer.proc == proc)
            return true;
    return false;
}

void KillWindowTimersLocked(HWND hwnd) {
    Timers().remove_if([&](const Timer& timer) { return timer.hwnd == hwnd; });
}

void KillThreadTimersLocked(DWORD thread) {
    Timers().remove_if([&](const Timer& timer) { return timer.thread == thread; });
}

} // namespace win32::internal

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        WindowPtr window = LookupWindow(hwnd);
        if (!window)
            return 0;
        if (window->thread != thread) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    } else {
        CurrentQueue();
    }
    if (win32::internal::ShouldFailUiCall(win32::UiFailure::SetTimer)) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return 0;
    }
    UINT interval = std::max(elapse, kMinimumInterval);
    {
        std::lock_guard guard(UserLock());
        if (!hwnd) {
            bool reuse = false;
            for (const Timer& timer : Timers())
                if (!timer.hwnd && timer.id == id && timer.thread == thread)
                    reuse = true;
            if (!reuse)
                id = g_nextThreadTimer++;
        }
        for (Timer& timer : Timers()) {
            if (timer.hwnd == hwnd && timer.id == id && timer.thread == thread) {
                timer.interval = interval;
                timer.due = DueAfter(interval);
                timer.proc = timerProc;
                NotifyUser();
                return hwnd ? 1 : id;
            }
        }
        Timers().push_back({hwnd, id, thread, interval, DueAfter(interval), timerProc});
    }
    NotifyUser();
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(UserLock());
    auto& timers = Timers();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id && (hwnd || it->thread == thread)) {
            timers.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
