#include "NtEvent.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "NtBugCheck.h"
#include "NtClock.h"
#include "NtList.h"
#include "NtSeh.h"

// Every dispatcher object's state is read and changed under one dispatcher lock, as on the platform. A waiting
// thread lists itself with the objects it waits for, and a change wakes only the threads that wait for the
// object changed (each sleeps on a condition of its own), so that a machine full of waiting threads does not
// wake them all for every event set. The objects themselves hold nothing but their header, so
// they need no teardown. Waits go through the machine clock's WaitUntil, so virtual time ends them.
namespace {

// A thread in a wait: the objects it waits for and the condition it sleeps on.
struct Waiter {
    PVOID const* objects;
    ULONG count;
    std::condition_variable* wake;

    bool WaitsFor(const void* object) const {
        for (ULONG i = 0; i < count; ++i) {
            if (objects[i] == object) {
                return true;
            }
        }
        return false;
    }
};

struct Dispatcher {
    std::mutex lock;
    std::vector<Waiter*> waiters; // under lock
};

thread_local std::condition_variable t_wake; // the calling thread's own

// Lists the calling thread as a waiter for as long as it waits; made and ended with the dispatcher lock held.
class WaitListing {
public:
    WaitListing(std::vector<Waiter*>& waiters, PVOID const* objects, ULONG count)
        : m_waiters(waiters), m_waiter{objects, count, &t_wake} {
        m_waiters.push_back(&m_waiter);
    }
    ~WaitListing() { m_waiters.erase(std::find(m_waiters.begin(), m_waiters.end(), &m_waiter)); }
    WaitListing(const WaitListing&) = delete;
    WaitListing& operator=(const WaitListing&) = delete;

private:
    std::vector<Waiter*>& m_waiters;
    Waiter m_waiter;
};

Dispatcher& TheDispatcher() {
    static Dispatcher d;
    return d;
}

#define MAXIMUM_WAIT_OBJECTS_EXCEEDED 0x0000000C

void CheckWaitable(PVOID object) {
    auto* header = static_cast<PDISPATCHER_HEADER>(object);
    switch (header->Type) {
    case EventNotificationObject:
    case EventSynchronizationObject:
    case SemaphoreObject: return;
    default:
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                     "wait on an object that is not an initialised event or semaphore (type " +
                         std::to_string(header->Type) + ")",
                     reinterpret_cast<ULONG_PTR>(object));
    }
}

bool IsSignalled(PVOID object) {
    return static_cast<PDISPATCHER_HEADER>(object)->SignalState > 0;
}

// Under the dispatcher lock: the side effect of a satisfied wait.
void Consume(PVOID object) {
    auto* header = static_cast<PDISPATCHER_HEADER>(object);
    if (header->Type == EventSynchronizationObject) {
        header->SignalState = 0;
    } else if (header->Type == SemaphoreObject) {
        header->SignalState -= 1;
    }
}

void CheckWaitIrql(const LARGE_INTEGER* timeout, const char* routine) {
    bool polls = timeout != nullptr && timeout->QuadPart == 0;
    nt::AssertIrqlAtMost(polls ? DISPATCH_LEVEL : APC_LEVEL, routine);
}

LONG ReadState(const DISPATCHER_HEADER& header) {
    return __atomic_load_n(&header.SignalState, __ATOMIC_ACQUIRE);
}

// Changes an object's state under the dispatcher lock and wakes the waiters; returns the previous state.
template <class Change> LONG Signal(PDISPATCHER_HEADER header, Change change) {
    Dispatcher& d = TheDispatcher();
    std::lock_guard guard(d.lock);
    const LONG previous = header->SignalState;
    change(*header);
    // Woken under the lock: a waiter cannot leave its wait (and its thread end) meanwhile.
    for (Waiter* waiter : d.waiters) {
        if (waiter->WaitsFor(header)) {
            waiter->wake->notify_one();
        }
    }
    return previous;
}

void InitializeHeader(DISPATCHER_HEADER& header, UCHAR type, UCHAR sizeInUlongs, LONG state) {
    header.Lock = 0;
    header.Type = type;
    header.Size = sizeInUlongs;
    header.SignalState = state;
    InitializeListHead(&header.WaitListHead);
}

} // namespace

void KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
    InitializeHeader(Event->Header, Type == NotificationEvent ? EventNotificationObject : EventSynchronizationObject,
                     sizeof(KEVENT) / sizeof(ULONG), State ? 1 : 0);
}

LONG KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait) {
    (void)Increment;
    (void)Wait;
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "KeSetEvent");
    return Signal(&Event->Header, [](DISPATCHER_HEADER& h) { h.SignalState = 1; });
}

LONG KeResetEvent(PRKEVENT Event) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "KeResetEvent");
    Dispatcher& d = TheDispatcher();
    std::lock_guard guard(d.lock);
    LONG previous = Event->Header.SignalState;
    Event->Header.SignalState = 0;
    return previous;
}

void KeClearEvent(PRKEVENT Event) {
    KeResetEvent(Event);
}

LONG KeReadStateEvent(PRKEVENT Event) {
    return ReadState(Event->Header);
}

void KeInitializeSemaphore(PRKSEMAPHORE Semaphore, LONG Count, LONG Limit) {
    InitializeHeader(Semaphore->Header, SemaphoreObject, sizeof(KSEMAPHORE) / sizeof(ULONG), Count);
    Semaphore->Limit = Limit;
}

LONG KeReleaseSemaphore(PRKSEMAPHORE Semaphore, KPRIORITY Increment, LONG Adjustment, BOOLEAN Wait) {
    (void)Increment;
    (void)Wait;
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "KeReleaseSemaphore");
    bool exceeded = false;
    LONG previous = Signal(&Semaphore->Header, [&](DISPATCHER_HEADER& h) {
        if (Adjustment <= 0 || h.SignalState > Semaphore->Limit - Adjustment) {
            exceeded = true;
        } else {
            h.SignalState += Adjustment;
        }
    });
    if (exceeded) {
        ExRaiseStatus(STATUS_SEMAPHORE_LIMIT_EXCEEDED);
    }
    return previous;
}

LONG KeReadStateSemaphore(PRKSEMAPHORE Semaphore) {
    return ReadState(Semaphore->Header);
}

NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                               PLARGE_INTEGER Timeout) {
    (void)WaitReason;
    (void)WaitMode;
    (void)Alertable;
    CheckWaitIrql(Timeout, "KeWaitForSingleObject");
    CheckWaitable(Object);
    auto deadline = nt::clock::Deadline::FromTimeout(Timeout);
    Dispatcher& d = TheDispatcher();
    std::unique_lock lock(d.lock);
    PVOID objects[1] = {Object};
    WaitListing listing(d.waiters, objects, 1);
    bool satisfied = nt::clock::WaitUntil(lock, t_wake, deadline, [&] {
        if (!IsSignalled(Object)) {
            return false;
        }
        Consume(Object);
        return true;
    });
    return satisfied ? STATUS_SUCCESS : STATUS_TIMEOUT;
}

NTSTATUS KeWaitForMultipleObjects(ULONG Count, PVOID Object[], WAIT_TYPE WaitType, KWAIT_REASON WaitReason,
                                  KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Timeout,
                                  PKWAIT_BLOCK WaitBlockArray) {
    (void)WaitReason;
    (void)WaitMode;
    (void)Alertable;
    CheckWaitIrql(Timeout, "KeWaitForMultipleObjects");
    if (Count == 0 || Count > MAXIMUM_WAIT_OBJECTS || (Count > THREAD_WAIT_OBJECTS && WaitBlockArray == nullptr)) {
        nt::BugCheck(MAXIMUM_WAIT_OBJECTS_EXCEEDED, "KeWaitForMultipleObjects with " + std::to_string(Count) +
                                                        " objects and no wait block array for more than 3");
    }
    for (ULONG i = 0; i < Count; ++i) {
        CheckWaitable(Object[i]);
    }
    auto deadline = nt::clock::Deadline::FromTimeout(Timeout);
    Dispatcher& d = TheDispatcher();
    std::unique_lock lock(d.lock);
    WaitListing listing(d.waiters, Object, Count);
    ULONG satisfiedBy = 0;
    bool satisfied = nt::clock::WaitUntil(lock, t_wake, deadline, [&] {
        if (WaitType == WaitAny) {
            for (ULONG i = 0; i < Count; ++i) {
                if (IsSignalled(Object[i])) {
                    Consume(Object[i]);
                    satisfiedBy = i;
                    return true;
                }
            }
            return false;
        }
        for (ULONG i = 0; i < Count; ++i) {
            if (!IsSignalled(Object[i])) {
                return false;
            }
        }
        for (ULONG i = 0; i < Count; ++i) {
            Consume(Object[i]);
        }
        return true;
    });
    if (!satisfied) {
        return STATUS_TIMEOUT;
    }
    return WaitType == WaitAny ? static_cast<NTSTATUS>(STATUS_WAIT_0 + satisfiedBy) : STATUS_SUCCESS;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval) {
    (void)WaitMode;
    (void)Alertable;
    nt::AssertIrqlAtMost(APC_LEVEL, "KeDelayExecutionThread");
    nt::clock::SleepUntil(nt::clock::Deadline::FromTimeout(Interval));
    return STATUS_SUCCESS;
}
