// Internal to the user-mode stand-in: the objects a thread can wait on and the one lock they share.
//
// Every waitable object keeps its state under DispatchLock(); whoever signals one notifies DispatchChanged(),
// and each waiting thread re-checks its own objects. One lock for all makes wait-all atomic and keeps the
// order question away; the machine's waits are few.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "WinHandles.h"

namespace win32::internal {

std::mutex& DispatchLock();
std::condition_variable& DispatchChanged();

class Waitable : public WinObject {
public:
    // Both under DispatchLock, on the waiting thread.
    virtual bool IsSignaledFor(DWORD thread) const = 0;
    // Takes what the wait consumed (an auto-reset event resets, a mutex gets its owner, a semaphore counts
    // down); true when that was an abandoned mutex.
    virtual bool Acquire(DWORD thread) = 0;
};

// The objects behind a wait's handles; false with the last error set for a bad handle or list.
bool ResolveWaitObjects(DWORD count, const HANDLE* handles, bool waitAll,
                        std::vector<std::shared_ptr<Waitable>>& objects);
// Under DispatchLock: takes the objects when the wait is satisfied and sets `result` (WAIT_OBJECT_0 + index or
// WAIT_ABANDONED_0 + index).
bool TryCompleteWait(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD thread, DWORD& result);

// Marks every mutex the calling thread still owns as abandoned and wakes its waiters. Runs when a thread
// ends (a thread of CreateThread before its handle is signalled; any other thread at its exit).
void AbandonOwnedMutexes();

} // namespace win32::internal
