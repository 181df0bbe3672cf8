#include "WinSync.h"

#include <functional>
#include <unistd.h>
#include <vector>

#include "NtClock.h"
#include "WinFailureControl.h"
#include "WinThreads.h"
#include "internal/Dispatcher.h"
#include "internal/NamedObjects.h"
#include "internal/ProcessLocks.h"
#include "winerror.h"

namespace win32::internal {

std::mutex& DispatchLock() {
    static auto* lock = new std::mutex; // never destroyed: threads may still end during static destruction
    return *lock;
}

std::condition_variable& DispatchChanged() {
    static auto* changed = new std::condition_variable;
    return *changed;
}

namespace {

class EventObject : public Waitable {
public:
    EventObject(bool manualReset, bool signaled) : manualReset_(manualReset), signaled_(signaled) {}
    bool IsSignaledFor(DWORD) const override { return signaled_; }
    bool Acquire(DWORD) override {
        if (!manualReset_)
            signaled_ = false;
        return false;
    }
    void Set(bool signaled) { signaled_ = signaled; }

private:
    bool manualReset_;
    bool signaled_;
};

class MutexObject : public Waitable, public std::enable_shared_from_this<MutexObject> {
public:
    ~MutexObject() override {
        if (processLock_ >= 0)
            close(processLock_);
    }
    bool IsSignaledFor(DWORD thread) const override { return owner_ == 0 || owner_ == thread; }
    bool Acquire(DWORD thread) override;
    bool Release(DWORD thread) {
        if (owner_ != thread || count_ == 0)
            return false;
        if (--count_ == 0)
            owner_ = 0;
        return true;
    }
    void Abandon(DWORD thread) {
        if (owner_ != thread)
            return;
        owner_ = 0;
        count_ = 0;
        abandoned_ = true;
    }
    void HoldProcessLock(int fd) { processLock_ = fd; }
    DWORD Owner() const { return owner_; }

private:
    DWORD owner_ = 0;
    ULONG count_ = 0;
    bool abandoned_ = false;
    int processLock_ = -1;
};

class SemaphoreObject : public Waitable {
public:
    SemaphoreObject(LONG count, LONG maximum) : count_(count), maximum_(maximum) {}
    bool IsSignaledFor(DWORD) const override { return count_ > 0; }
    bool Acquire(DWORD) override {
        --count_;
        return false;
    }
    bool Release(LONG count, LONG& previous) {
        previous = count_;
        if (count <= 0 || count > maximum_ - count_)
            return false;
        count_ += count;
        return true;
    }

private:
    LONG count_;
    LONG maximum_;
};

// The mutexes the thread owns, so that its end can abandon them.
struct OwnedMutexes {
    std::vector<std::weak_ptr<MutexObject>> mutexes;
    ~OwnedMutexes() { AbandonOwnedMutexes(); }
};
thread_local OwnedMutexes t_owned;

bool MutexObject::Acquire(DWORD thread) {
    if (owner_ != thread) {
        owner_ = thread;
        count_ = 0;
        // Forget the mutexes this thread has let go of since, so that the list stays short.
        auto& list = t_owned.mutexes;
        std::erase_if(list, [&](const std::weak_ptr<MutexObject>& weak) {
            auto mutex = weak.lock();
            return !mutex || mutex.get() == this || mutex->Owner() != thread;
        });
        list.push_back(weak_from_this());
    }
    ++count_;
    bool wasAbandoned = abandoned_;
    abandoned_ = false;
    return wasAbandoned;
}

template <class T> std::shared_ptr<T> ObjectOf(HANDLE handle) {
    auto object = LookupHandleAs<T>(handle);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Applies change to the object behind handle under the dispatcher lock and, when it succeeds (returns
// ERROR_SUCCESS), wakes the waiters; a failure becomes the last error.
template <class T, class Change> BOOL ChangeAndWake(HANDLE handle, Change change) {
    auto object = ObjectOf<T>(handle);
    if (!object)
        return FALSE;
    {
        std::lock_guard guard(DispatchLock());
        if (DWORD error = change(*object); error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
    }
    DispatchChanged().notify_all();
    return TRUE;
}

// Creates (or, named, creates or opens) an object of type T and returns a handle to it.
template <class T>
HANDLE CreateObject(LPCSTR name, const std::function<std::shared_ptr<T>()>& make,
                    const std::function<void(T&)>& afterCreate = {}) {
    std::shared_ptr<T> object;
    bool existed = false;
    if (name && *name) {
        NamedLookup found = CreateNamed(name, [&] { return std::static_pointer_cast<WinObject>(make()); });
        object = std::dynamic_pointer_cast<T>(found.object);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE); // the name belongs to an object of another type
            return nullptr;
        }
        existed = found.existed;
    } else {
        object = make();
    }
    if (!existed && afterCreate)
        afterCreate(*object);
    HANDLE handle = InsertHandle(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

template <class T> HANDLE OpenObject(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = OpenNamed(name);
    if (!object) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (!std::dynamic_pointer_cast<T>(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return InsertHandle(object);
}

} // namespace

void AbandonOwnedMutexes() {
    const DWORD thread = GetCurrentThreadId();
    std::vector<std::weak_ptr<MutexObject>> owned;
    owned.swap(t_owned.mutexes);
    if (owned.empty())
        return;
    {
        std::lock_guard guard(DispatchLock());
        for (const auto& weak : owned)
            if (auto mutex = weak.lock())
                mutex->Abandon(thread);
    }
    DispatchChanged().notify_all();
}

} // namespace win32::internal

using namespace win32::internal;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (win32::internal::CallFailsNow("CreateEventA"))
        return nullptr;
    return CreateObject<EventObject>(name, [&] { return std::make_shared<EventObject>(manualReset, initialState); });
}

HANDLE OpenEventA(DWORD, BOOL, LPCSTR name) {
    return OpenObject<EventObject>(name);
}

BOOL SetEvent(HANDLE event) {
    return ChangeAndWake<EventObject>(event, [](EventObject& object) -> DWORD {
        object.Set(true);
        return ERROR_SUCCESS;
    });
}

BOOL ResetEvent(HANDLE event) {
    auto object = ObjectOf<EventObject>(event);
    if (!object)
        return FALSE;
    std::lock_guard guard(DispatchLock());
    object->Set(false);
    return TRUE;
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    bool heldElsewhere = false;
    HANDLE handle = CreateObject<MutexObject>(
        name, [] { return std::make_shared<MutexObject>(); },
        [&](MutexObject& mutex) {
            if (name && *name) {
                int fd = LockAcrossProcesses("mutex", name, heldElsewhere);
                if (fd >= 0)
                    mutex.HoldProcessLock(fd);
            }
            if (initialOwner) {
                std::lock_guard guard(DispatchLock());
                mutex.Acquire(GetCurrentThreadId());
            }
        });
    if (handle && heldElsewhere)
        SetLastError(ERROR_ALREADY_EXISTS); // another process of the machine has it
    return handle;
}

HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    return OpenObject<MutexObject>(name);
}

BOOL ReleaseMutex(HANDLE mutex) {
    return ChangeAndWake<MutexObject>(mutex, [](MutexObject& object) -> DWORD {
        return object.Release(GetCurrentThreadId()) ? ERROR_SUCCESS : ERROR_NOT_OWNER;
    });
}

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCSTR name) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateObject<SemaphoreObject>(name,
                                         [&] { return std::make_shared<SemaphoreObject>(initialCount, maximumCount); });
}

HANDLE OpenSemaphoreA(DWORD, BOOL, LPCSTR name) {
    return OpenObject<SemaphoreObject>(name);
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount) {
    return ChangeAndWake<SemaphoreObject>(semaphore, [&](SemaphoreObject& object) -> DWORD {
        LONG previous = 0;
        if (!object.Release(releaseCount, previous))
            return releaseCount <= 0 ? ERROR_INVALID_PARAMETER : ERROR_TOO_MANY_POSTS;
        if (previousCount)
            *previousCount = previous;
        return ERROR_SUCCESS;
    });
}

namespace win32::internal {

bool ResolveWaitObjects(DWORD count, const HANDLE* handles, bool waitAll,
                        std::vector<std::shared_ptr<Waitable>>& objects) {
    if (count > MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        auto object = win32::LookupHandleAs<Waitable>(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        if (waitAll)
            for (const auto& earlier : objects)
                if (earlier == object) {
                    SetLastError(ERROR_INVALID_PARAMETER); // one object twice in a wait for all
                    return false;
                }
        objects.push_back(std::move(object));
    }
    return true;
}

bool TryCompleteWait(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD thread, DWORD& result) {
    const DWORD count = static_cast<DWORD>(objects.size());
    if (waitAll) {
        if (objects.empty())
            return false;
        for (const auto& object : objects)
            if (!object->IsSignaledFor(thread))
                return false;
        result = WAIT_OBJECT_0;
        for (DWORD i = 0; i < count; ++i)
            if (objects[i]->Acquire(thread) && result == WAIT_OBJECT_0)
                result = WAIT_ABANDONED_0 + i;
        return true;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (objects[i]->IsSignaledFor(thread)) {
            result = (objects[i]->Acquire(thread) ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
            return true;
        }
    }
    return false;
}

} // namespace win32::internal

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    if (!ResolveWaitObjects(count, handles, waitAll, objects))
        return WAIT_FAILED;
    const DWORD thread = GetCurrentThreadId();
    DWORD result = WAIT_TIMEOUT;
    auto satisfied = [&] { return TryCompleteWait(objects, waitAll, thread, result); };
    std::unique_lock lock(DispatchLock());
    if (milliseconds == 0)
        return satisfied() ? result : WAIT_TIMEOUT;
    bool done =
        nt::clock::WaitUntil(lock, DispatchChanged(), nt::clock::Deadline::AfterMilliseconds(milliseconds), satisfied);
    return done ? result : WAIT_TIMEOUT;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
