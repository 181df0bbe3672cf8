// Threads of the process. A thread created here runs on a host thread of its own; its handle is signalled when
// it ends (WaitForSingleObject on it returns at once once it has ended) and keeps its exit code. Thread and
// process ids are the host's.
//
// An nt::SehException that escapes a thread's start routine goes to UnhandledExceptionFilter and then ends
// the process, as on the platform.
#pragma once

#include "windef.h"

#define STILL_ACTIVE 259
#define CREATE_SUSPENDED 0x00000004
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

// CREATE_SUSPENDED holds the thread until ResumeThread. The stack size is the host's default. Fails on a
// call-failure plan (WinFailureControl.h).
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE startAddress,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// The previous suspend count; (DWORD)-1 for a handle that is no thread.
DWORD ResumeThread(HANDLE thread);
// STILL_ACTIVE while the thread runs.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// Ends the calling thread, which CreateThread must have created, with that exit code. Its frames unwind as
// for a C++ exception (destructors run, which the platform would skip).
[[noreturn]] void ExitThread(DWORD exitCode);
// Priorities are accepted and kept, not applied.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
HANDLE GetCurrentThread();
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

// A hint to the processor that the thread spins in a wait loop.
inline void YieldProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// On the machine clock: a virtual clock must be advanced past the end. Sleep(0) gives up the time slice.
void Sleep(DWORD milliseconds);
DWORD SleepEx(DWORD milliseconds, BOOL alertable);
