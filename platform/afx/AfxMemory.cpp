#include <cstdlib>
#include <new>

#include "AfxDefs.h"
#include "AfxMemoryControl.h"
#include "AfxObject.h"

namespace {

struct ThreadPlan {
    afx::memory::FailurePlan plan{0, 0};
    uint64_t calls = 0;
};
thread_local ThreadPlan t_plan;

// True when the calling thread's plan fails this allocation.
bool PlanFailsNow() {
    uint64_t call = t_plan.calls++;
    return call >= t_plan.plan.skip && call - t_plan.plan.skip < t_plan.plan.count;
}

} // namespace

namespace afx::memory {

void InjectFailure(const FailurePlan& plan) {
    t_plan = ThreadPlan{plan, 0};
}

void FailNthAllocation(uint64_t n) {
    InjectFailure(n == 0 ? FailurePlan{0, 0} : FailurePlan{n - 1, 1});
}

void ClearInjectedFailures() {
    t_plan = ThreadPlan{};
}

uint64_t AllocationCalls() {
    return t_plan.calls;
}

} // namespace afx::memory

void* AfxAllocateRaw(size_t nBytes) {
    if (PlanFailsNow())
        AfxThrowMemoryException();
    void* p = std::malloc(nBytes == 0 ? 1 : nBytes);
    if (p == nullptr)
        AfxThrowMemoryException();
    return p;
}

void AfxFreeRaw(void* p) noexcept {
    std::free(p);
}

void* CObject::operator new(size_t nSize) {
    return AfxAllocateRaw(nSize);
}

void* CObject::operator new(size_t nSize, const std::nothrow_t&) noexcept {
    try {
        return AfxAllocateRaw(nSize);
    } catch (...) {
        return nullptr;
    }
}

void CObject::operator delete(void* p) noexcept {
    AfxFreeRaw(p);
}

void CObject::operator delete(void* p, const std::nothrow_t&) noexcept {
    AfxFreeRaw(p);
}
