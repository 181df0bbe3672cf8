// Events, mutexes, semaphores and the waits on them (and on threads). Time-outs run on the machine clock
// (NtClock.h): in a test with the virtual clock a timed wait ends when the test advances time past it.
//
// Named objects share one name space with sections; names are case-sensitive. A second create of an existing
// name returns a new handle to the same object and sets ERROR_ALREADY_EXISTS. A named mutex is also seen by
// other processes of the machine: when another process holds a mutex of that name, CreateMutex sets
// ERROR_ALREADY_EXISTS (the single-instance rule); the lock lives in the machine's state folder
// (WinMachineProfile.h).
#pragma once

#include "windef.h"

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_ABANDONED_0 0x00000080L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define MAXIMUM_WAIT_OBJECTS 64
// WAIT_TIMEOUT is in winerror.h.

#define SYNCHRONIZE 0x00100000L
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x1F0003
#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS 0x1F0001
#define SEMAPHORE_MODIFY_STATE 0x0002
#define SEMAPHORE_ALL_ACCESS 0x1F0003

// Fails on a call-failure plan (WinFailureControl.h).
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
HANDLE OpenEventA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// A mutex belongs to the thread that acquired it and may be acquired again by it (each acquisition needs its
// release). When its owner ends without releasing it, the next wait gets WAIT_ABANDONED and the mutex.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
// ERROR_NOT_OWNER when the calling thread does not own it.
BOOL ReleaseMutex(HANDLE mutex);

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES security, LONG initialCount, LONG maximumCount, LPCSTR name);
HANDLE OpenSemaphoreA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);

// WAIT_OBJECT_0 (+ index), WAIT_ABANDONED_0 (+ index), WAIT_TIMEOUT, or WAIT_FAILED with the last error. A
// wait for all takes every object at once, only when all are signalled.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

inline HANDLE CreateEvent(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name) {
    return CreateEventA(security, manualReset, initialState, name);
}
inline HANDLE OpenEvent(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name) {
    return OpenEventA(desiredAccess, inheritHandle, name);
}
inline HANDLE CreateMutex(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
    return CreateMutexA(security, initialOwner, name);
}
inline HANDLE OpenMutex(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name) {
    return OpenMutexA(desiredAccess, inheritHandle, name);
}
inline HANDLE CreateSemaphore(LPSECURITY_ATTRIBUTES security, LONG initialCount, LONG maximumCount, LPCSTR name) {
    return CreateSemaphoreA(security, initialCount, maximumCount, name);
}
