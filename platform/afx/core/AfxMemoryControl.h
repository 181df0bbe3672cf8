// Test control of the framework's allocations (not part of the framework's interface): a plan makes chosen
// calls of AfxAllocateRaw, and so CObject's operator new and every collection's growth, fail as the
// framework's new handler does, by throwing CMemoryException*. A plan belongs to the thread that set it and
// counts only that thread's allocations, so threads of the simulated machine never consume it; a plan for
// any thread counts every thread's allocations of one exact size instead (for code that runs on a thread
// the test does not own).
#pragma once

#include <cstdint>

namespace afx::memory {

struct FailurePlan {
    uint64_t skip = 0;           // allocations that still succeed first
    uint64_t count = UINT64_MAX; // allocations that then fail
};
void InjectFailure(const FailurePlan& plan);
// Fails allocations of exactly nBytes on every thread, after the skipped ones.
void InjectFailureOfSizeOnAnyThread(size_t nBytes, const FailurePlan& plan);
// Fails the n-th allocation (1-based) from now on, and only that one.
void FailNthAllocation(uint64_t n);
void ClearInjectedFailures();
// Allocations this thread has asked for since its last plan was set or cleared.
uint64_t AllocationCalls();

} // namespace afx::memory
