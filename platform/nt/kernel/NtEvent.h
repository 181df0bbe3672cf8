// Dispatcher objects (events and semaphores) and waits on them.
//
// A KEVENT is the platform's 24 bytes and needs no teardown, so it can live in pool, in a device extension or
// on a stack. Waits follow the platform: a notification event releases every waiter and stays signalled, a
// synchronization event releases one waiter and resets itself. Timed waits run on the machine's clock
// (NtClock.h): with the virtual clock a wait returns STATUS_TIMEOUT as soon as a test advances time past its
// deadline, without sleeping.
//
// Timeouts are in 100 ns units: negative = relative to now, positive = absolute system time (KeQuerySystemTime),
// zero = test the state and return at once, null = no time-out. A wait that may block must run at or below
// APC_LEVEL; one with a zero time-out may run at DISPATCH_LEVEL.
#pragma once

#include "NtIrql.h"
#include "ntdef.h"
#include "ntstatus.h"

typedef LONG KPRIORITY;
#ifndef IO_NO_INCREMENT
#define IO_NO_INCREMENT 0
#endif
#define EVENT_INCREMENT 1
#define SEMAPHORE_INCREMENT 1

typedef enum _EVENT_TYPE { NotificationEvent, SynchronizationEvent } EVENT_TYPE;
typedef enum _WAIT_TYPE { WaitAll, WaitAny, WaitNotification, WaitDequeue } WAIT_TYPE;
typedef enum _KWAIT_REASON {
    Executive = 0,
    FreePage,
    PageIn,
    PoolAllocation,
    DelayExecution,
    Suspended,
    UserRequest,
    WrExecutive,
    WrFreePage,
    WrPageIn,
    WrPoolAllocation,
    WrDelayExecution,
    WrSuspended,
    WrUserRequest,
    MaximumWaitReason = 37
} KWAIT_REASON;

// Object types of the dispatcher header.
#define EventNotificationObject 0
#define EventSynchronizationObject 1
#define SemaphoreObject 5

typedef struct _DISPATCHER_HEADER {
    union {
        struct {
            UCHAR Type;
            UCHAR Signalling;
            UCHAR Size; // in ULONGs
            UCHAR Reserved1;
        };
        LONG Lock;
    };
    LONG SignalState;
    LIST_ENTRY WaitListHead;
} DISPATCHER_HEADER, *PDISPATCHER_HEADER;
static_assert(sizeof(DISPATCHER_HEADER) == 24 && offsetof(DISPATCHER_HEADER, SignalState) == 4);

typedef struct _KEVENT {
    DISPATCHER_HEADER Header;
} KEVENT, *PKEVENT, *PRKEVENT;
static_assert(sizeof(KEVENT) == 24);

typedef struct _KSEMAPHORE {
    DISPATCHER_HEADER Header;
    LONG Limit;
} KSEMAPHORE, *PKSEMAPHORE, *PRKSEMAPHORE;
static_assert(sizeof(KSEMAPHORE) == 32);

typedef struct _KWAIT_BLOCK {
    LIST_ENTRY WaitListEntry;
    UCHAR WaitType;
    UCHAR BlockState;
    USHORT WaitKey;
    LONG SpareLong;
    PVOID Thread;
    PVOID Object;
    PVOID SparePtr;
} KWAIT_BLOCK, *PKWAIT_BLOCK;
static_assert(sizeof(KWAIT_BLOCK) == 48);

#define THREAD_WAIT_OBJECTS 3
#define MAXIMUM_WAIT_OBJECTS 64

void KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
// Signals the event; returns its previous state. Wait = TRUE promises a wait call next (ignored here).
LONG KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait);
LONG KeResetEvent(PRKEVENT Event); // returns the previous state
void KeClearEvent(PRKEVENT Event);
LONG KeReadStateEvent(PRKEVENT Event);

void KeInitializeSemaphore(PRKSEMAPHORE Semaphore, LONG Count, LONG Limit);
// Adds Adjustment to the count; returns the previous count. Going past the limit raises
// STATUS_SEMAPHORE_LIMIT_EXCEEDED (an SehException).
LONG KeReleaseSemaphore(PRKSEMAPHORE Semaphore, KPRIORITY Increment, LONG Adjustment, BOOLEAN Wait);
LONG KeReadStateSemaphore(PRKSEMAPHORE Semaphore);

// STATUS_SUCCESS when the object was signalled (and, for a synchronization event or a semaphore, taken),
// STATUS_TIMEOUT when the time-out passed first.
NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                               PLARGE_INTEGER Timeout);
// WaitAny: STATUS_WAIT_0 + the index of the object that satisfied the wait. WaitAll: STATUS_SUCCESS once all
// are signalled at the same moment (all are then taken together). More than THREAD_WAIT_OBJECTS objects need a
// WaitBlockArray, as on the platform; at most MAXIMUM_WAIT_OBJECTS.
NTSTATUS KeWaitForMultipleObjects(ULONG Count, PVOID Object[], WAIT_TYPE WaitType, KWAIT_REASON WaitReason,
                                  KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Timeout,
                                  PKWAIT_BLOCK WaitBlockArray);
// Sleeps for Interval (relative or absolute, as a time-out above) on the machine's clock.
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval);
