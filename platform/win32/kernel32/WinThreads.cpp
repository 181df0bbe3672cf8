#include "WinThreads.h"

#include <memory>
#include <thread>
#include <unistd.h>

#include "NtClock.h"
#include "NtSeh.h"
#include "WinExceptions.h"
#include "WinFailureControl.h"
#include "internal/Dispatcher.h"
#include "internal/WindowManager.h"
#include "winerror.h"

namespace {

using win32::internal::DispatchChanged;
using win32::internal::DispatchLock;

// Thrown by ExitThread and caught at the bottom of the thread; not an std::exception so that the thread's
// own catch (const std::exception&) handlers let it pass.
struct ThreadExit {
    DWORD code;
};

class ThreadObject : public win32::internal::Waitable {
public:
    bool IsSignaledFor(DWORD) const override { return ended; }
    bool Acquire(DWORD) override { return false; }

    // All under DispatchLock.
    DWORD id = 0;
    DWORD suspendCount = 0;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
};

thread_local bool t_createdThread = false;

void RunThread(const std::shared_ptr<ThreadObject>& self, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
    t_createdThread = true;
    {
        std::unique_lock lock(DispatchLock());
        self->id = GetCurrentThreadId();
        DispatchChanged().notify_all();
        DispatchChanged().wait(lock, [&] { return self->suspendCount == 0; });
    }
    DWORD code = 0;
    try {
        code = start(parameter);
    } catch (const ThreadExit& exit) {
        code = exit.code;
    } catch (const nt::SehException& e) {
        win32::ReportUnhandledException(e);
        std::abort(); // nothing handled it: the process ends
    }
    win32::internal::EndThreadQueue(); // its windows go before anyone sees the thread end
    win32::internal::AbandonOwnedMutexes();
    {
        std::lock_guard guard(DispatchLock());
        self->exitCode = code;
        self->ended = true;
    }
    DispatchChanged().notify_all();
}

std::shared_ptr<ThreadObject> ThreadOf(HANDLE handle) {
    auto thread = win32::LookupHandleAs<ThreadObject>(handle);
    if (!thread)
        SetLastError(ERROR_INVALID_HANDLE);
    return thread;
}

} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
    if (!startAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (win32::internal::CallFailsNow("CreateThread"))
        return nullptr;
    auto self = std::make_shared<ThreadObject>();
    self->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;
    try {
        std::thread(RunThread, self, startAddress, parameter).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        // The id is the new thread's own; wait until it has told it.
        std::unique_lock lock(DispatchLock());
        DispatchChanged().wait(lock, [&] { return self->id != 0; });
        if (threadId)
            *threadId = self->id;
    }
    return win32::InsertHandle(self);
}

DWORD ResumeThread(HANDLE thread) {
    auto self = ThreadOf(thread);
    if (!self)
        return static_cast<DWORD>(-1);
    DWORD previous;
    {
        std::lock_guard guard(DispatchLock());
        previous = self->suspendCount;
        if (self->suspendCount)
            --self->suspendCount;
    }
    DispatchChanged().notify_all();
    return previous;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto self = ThreadOf(thread);
    if (!self || !exitCode)
        return FALSE;
    std::lock_guard guard(DispatchLock());
    *exitCode = self->exitCode;
    return TRUE;
}

void ExitThread(DWORD exitCode) {
    if (!t_createdThread)
        std::terminate(); // only threads of CreateThread can be left this way
    throw ThreadExit{exitCode};
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (thread == GetCurrentThread())
        return TRUE;
    auto self = ThreadOf(thread);
    if (!self)
        return FALSE;
    std::lock_guard guard(DispatchLock());
    self->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    if (thread == GetCurrentThread())
        return THREAD_PRIORITY_NORMAL;
    auto self = ThreadOf(thread);
    if (!self)
        return 0x7FFFFFFF; // THREAD_PRIORITY_ERROR_RETURN
    std::lock_guard guard(DispatchLock());
    return self->priority;
}

HANDLE GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    nt::clock::SleepUntil(nt::clock::Deadline::AfterMilliseconds(milliseconds));
}

DWORD SleepEx(DWORD milliseconds, BOOL) {
    Sleep(milliseconds);
    return 0;
}
