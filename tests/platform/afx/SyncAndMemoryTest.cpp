#include <gtest/gtest.h>
#include <thread>

#include "AfxMemoryControl.h"
#include "afx.h"
#include "afxcoll.h"
#include "afxmt.h"
#include "WinFailureControl.h"

namespace {

class CCounted : public CObject {
public:
    CCounted() { ++s_live; }
    ~CCounted() override { --s_live; }
    static inline int s_live = 0;
};

// Runs fn and tells whether it threw the framework's memory exception.
template <class Fn> bool ThrowsMemoryException(Fn fn) {
    try {
        fn();
    } catch (CMemoryException* e) {
        e->Delete();
        return true;
    }
    return false;
}

class AllocationPlan : public testing::Test {
protected:
    void TearDown() override { afx::memory::ClearInjectedFailures(); }
};

TEST_F(AllocationPlan, FailsExactlyTheNthAllocationOfObjectsAndRawBlocks) {
    afx::memory::FailNthAllocation(2);
    CCounted* first = new CCounted;
    EXPECT_TRUE(ThrowsMemoryException([] { (void)new CCounted; }));
    EXPECT_EQ(1, CCounted::s_live) << "a failed allocation constructs nothing";
    void* third = AfxAllocateRaw(16);
    EXPECT_EQ(3u, afx::memory::AllocationCalls());
    AfxFreeRaw(third);
    delete first;
    EXPECT_EQ(0, CCounted::s_live);
}

TEST_F(AllocationPlan, NothrowNewGivesNullAndCollectionsThrow) {
    afx::memory::InjectFailure({0, UINT64_MAX});
    EXPECT_EQ(nullptr, new (std::nothrow) CCounted);
    CMapWordToPtr map;
    EXPECT_TRUE(ThrowsMemoryException([&] { map.SetAt(1, nullptr); }));
    EXPECT_TRUE(map.IsEmpty());
    afx::memory::ClearInjectedFailures();
    map.SetAt(1, nullptr);
    EXPECT_EQ(1, map.GetCount());
}

TEST_F(AllocationPlan, APlanCountsOnlyTheThreadThatSetIt) {
    afx::memory::FailNthAllocation(1);
    std::thread([] {
        void* p = AfxAllocateRaw(8);
        AfxFreeRaw(p);
    }).join();
    EXPECT_TRUE(ThrowsMemoryException([] { (void)AfxAllocateRaw(8); }));
}

TEST(SyncObjects, SingleLockHoldsForItsScopeAndReleasesOnce) {
    CCriticalSection section;
    {
        CSingleLock lock(&section, TRUE);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(1, section.m_sect.RecursionCount);
        EXPECT_TRUE(lock.Lock()) << "a second Lock of the same CSingleLock does not enter again";
        EXPECT_EQ(1, section.m_sect.RecursionCount);
        EXPECT_TRUE(lock.Unlock());
        EXPECT_FALSE(lock.IsLocked());
        lock.Lock();
    }
    EXPECT_EQ(0, section.m_sect.RecursionCount);
}

TEST(SyncObjects, ACriticalSectionThatCannotBeMadeThrowsTheMemoryException) {
    win32::FailCalls({"InitializeCriticalSectionAndSpinCount", 8, 0, 1});
    EXPECT_TRUE(ThrowsMemoryException([] { CCriticalSection section; }));
    win32::ClearCallFailures();
}

} // namespace
