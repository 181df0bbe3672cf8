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
};

namespace {

HANDLE ThreadTag() {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
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
    std::unique_lock lock(section->DebugInfo->guard);
    section->DebugInfo->released.wait(lock, [section] { return TakeLocked(section); });
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    std::lock_guard lock(section->DebugInfo->guard);
    return TakeLocked(section) ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    bool released = false;
    {
        std::lock_guard lock(section->DebugInfo->guard);
        if (section->RecursionCount == 0 || section->OwningThread != ThreadTag())
            return; // not the caller's: leaving it would hand another thread's lock away
        --section->LockCount;
        if (--section->RecursionCount == 0) {
            section->OwningThread = nullptr;
            released = true;
        }
    }
    if (released)
        section->DebugInfo->released.notify_one();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete section->DebugInfo;
    section->DebugInfo = nullptr;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
}
