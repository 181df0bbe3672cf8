#include <atomic>
#include <cstdlib>
#include <mutex>
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

struct SizePlan {
    std::mutex lock;
    std::atomic<size_t> size{0}; // 0: no plan; read without the lock, so other sizes pay nothing
    afx::memory::FailurePlan plan;
    uint64_t calls = 0;
};
SizePlan& TheSizePlan() {
    static SizePlan s_plan;
    return s_plan;
}

bool Fails(const afx::memory::FailurePlan& plan, uint64_t call) {
    return call >= plan.skip && call - plan.skip < plan.count;
}

// True when the calling thread's plan, or the plan for this size on any thread, fails this allocation.
bool PlanFailsNow(size_t nBytes) {
    if (Fails(t_plan.plan, t_plan.calls++))
        return true;
    SizePlan& s = TheSizePlan();
    if (nBytes == 0 || s.size.load(std::memory_order_relaxed) != nBytes)
        return false;
    std::lock_guard guard(s.lock);
    return s.size.load() == nBytes && Fails(s.plan, s.calls++);
}

} // namespace

namespace afx::memory {

void InjectFailure(const FailurePlan& plan) {
    t_plan = ThreadPlan{plan, 0};
}

void FailNthAllocation(uint64_t n) {
    InjectFailure(n == 0 ? FailurePlan{0, 0} : FailurePlan{n - 1, 1});
}

void InjectFailureOfSizeOnAnyThread(size_t nBytes, const FailurePlan& plan) {
    SizePlan& s = TheSizePlan();
    std::lock_guard guard(s.lock);
    s.plan = plan;
    s.calls = 0;
    s.size.store(nBytes);
}

void ClearInjectedFailures() {
    t_plan = ThreadPlan{};
    SizePlan& s = TheSizePlan();
    std::lock_guard guard(s.lock);
    s.size.store(0);
}

uint64_t AllocationCalls() {
    return t_plan.calls;
}

} // namespace afx::memory

void* AfxAllocateRaw(size_t nBytes) {
    if (PlanFailsNow(nBytes))
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
