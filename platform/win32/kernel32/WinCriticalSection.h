// Critical sections: a lock of one process that the owning thread may enter again (each entry needs its
// leave). The structure has the platform's x64 layout; the lock it stands for lives behind DebugInfo, which
// is why initialisation can fail for want of memory (ERROR_NOT_ENOUGH_MEMORY, and on a call-failure plan for
// "InitializeCriticalSectionAndSpinCount", WinFailureControl.h).
#pragma once

#include "windef.h"

struct _RTL_CRITICAL_SECTION_DEBUG;

typedef struct _RTL_CRITICAL_SECTION {
    _RTL_CRITICAL_SECTION_DEBUG* DebugInfo;
    LONG LockCount;      // -1 while free
    LONG RecursionCount; // entries of the owner
    HANDLE OwningThread; // the owner's thread id, 0 while free
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} RTL_CRITICAL_SECTION, *PRTL_CRITICAL_SECTION;

typedef RTL_CRITICAL_SECTION CRITICAL_SECTION;
typedef PRTL_CRITICAL_SECTION PCRITICAL_SECTION, LPCRITICAL_SECTION;

static_assert(sizeof(CRITICAL_SECTION) == 40);

// FALSE with the last error when the lock cannot be made; the section is then unusable.
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
// Raises STATUS_NO_MEMORY (as a structured exception) when the lock cannot be made.
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
// TRUE when the section was free or is already the caller's.
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
// Frees the lock; the section must not be held. A second delete does nothing.
void DeleteCriticalSection(LPCRITICAL_SECTION section);
