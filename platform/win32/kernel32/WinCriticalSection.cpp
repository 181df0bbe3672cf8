#include "WinCriticalSection.h"

#include <condition_variable>
#include <mutex>
#include <new>

#include "WinExceptions.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "WinThreads.h"
#include "winerror.h"

// The lock itself: owner and entry count are kept in the section's own fields (as callers and debuggers read
// them there), guarded by this mutex; waiters sleep on the condition until the owner's last leave.
struct _RTL_CRITICAL_SECTION_DEBUG {
    std::mutex guard;
    std::condition_variable released;
    int waiters = 0; // a leave with nobody waiting wakes nobody
};

namespace {

HANDLE ThreadTag() {
    // Asked on every entry and leave: the thread's id once, not a system call each time.
    thread_local const HANDLE t_tag = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
    return t_tag;
}

// Takes the section for the caller when it is free or already the caller's; the guard is held.
bool TakeLocked(LPCRITICAL_SECTION section) {
    if (section->RecursionCount != 0 && section->OwningThread != ThreadTag())
        return false;
    section->OwningThread = ThreadTag();
    ++section->RecursionCount;
    ++section->LockCount;
    return true;
}

} // namespace

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount) {
    section->DebugInfo = nullptr;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
    section->LockSemaphore = nullptr;
    section->SpinCount = spinCount;
    if (win32::internal::CallFailsNow("InitializeCriticalSectionAndSpinCount"))
        return FALSE;
    section->DebugInfo = new (std::nothrow) _RTL_CRITICAL_SECTION_DEBUG;
    if (section->DebugInfo == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    if (!InitializeCriticalSectionAndSpinCount(section, 0))
        RaiseException(0xC0000017 /* STATUS_NO_MEMORY */, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    _RTL_CRITICAL_SECTION_DEBUG* lockState = section->DebugInfo;
    std::unique_lock lock(lockState->guard);
    if (TakeLocked(section))
        return;
    ++lockState->waiters;
    lockState->released.wait(lock, [section] { return TakeLocked(section); });
    --lockState->waiters;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    std::lock_guard lock(section->DebugInfo->guard);
    return TakeLocked(section) ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    bool wake = false;
    {
        std::lock_guard lock(section->DebugInfo->guard);
        if (section->RecursionCount == 0 || section->OwningThread != ThreadTag())
            return; // not the caller's: leaving it would hand another thread's lock away
        --section->LockCount;
        if (--section->RecursionCount == 0) {
            section->OwningThread = nullptr;
            wake = section->DebugInfo->waiters > 0;
        }
    }
    if (wake)
        section->DebugInfo->released.notify_one();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete section->DebugInfo;
    section->DebugInfo = nullptr;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
}
