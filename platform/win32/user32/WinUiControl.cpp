// The window system's simulation control: window counts, pumping and the test clock. Locks: UserLock() around
// the manager's state; messages are handled without it.
#include "WinUiControl.h"

#include <climits>

#include "NtClock.h"
#include "WinMessages.h"
#include "WinThreads.h"
#include "internal/WindowManager.h"

using namespace win32::internal;

namespace win32 {

size_t LiveWindowCount() {
    std::lock_guard guard(UserLock());
    return WindowCountLocked();
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    std::lock_guard guard(UserLock());
    for (const WindowPtr& w : AllWindowsLocked())
        if (w->thread == threadId)
            windows.push_back(w->hwnd);
    return windows;
}

BOOL PumpUiMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return FALSE;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return TRUE;
}

void AdvanceUiClock(ULONG milliseconds) {
    const DWORD thread = GetCurrentThreadId();
    const LONGLONG end = nt::clock::Now() + static_cast<LONGLONG>(milliseconds) * nt::clock::kUnitsPerMillisecond;
    PumpUiMessages();
    for (;;) {
        LONGLONG due;
        {
            std::lock_guard guard(UserLock());
            due = NextTimerDueLocked(thread);
        }
        const LONGLONG now = nt::clock::Now();
        if (due > end || due <= now)
            break; // none due before the end, or one the pump could not take (a WM_QUIT waits)
        nt::clock::Advance(due - now);
        if (!PumpUiMessages())
            break;
    }
    if (LONGLONG rest = end - nt::clock::Now(); rest > 0)
        nt::clock::Advance(rest);
    PumpUiMessages();
}

} // namespace win32
