#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "WinFailureControl.h"
#include "windows.h"

namespace {

TEST(CriticalSection, OwnerReentersAndOthersWaitUntilItsLastLeave) {
    CRITICAL_SECTION section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 4000));
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_EQ(2, section.RecursionCount);

    std::atomic<int> otherTry{-1};
    std::atomic<bool> otherEntered{false};
    std::thread other([&] {
        otherTry = TryEnterCriticalSection(&section);
        EnterCriticalSection(&section);
        otherEntered = true;
        LeaveCriticalSection(&section);
    });
    while (otherTry.load() == -1)
        std::this_thread::yield();
    EXPECT_EQ(FALSE, otherTry.load());

    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherEntered.load()) << "one leave of two must keep the section";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(otherEntered.load());
    EXPECT_EQ(0, section.RecursionCount);
    DeleteCriticalSection(&section);
}

TEST(CriticalSection, ALeaveByAThreadThatDoesNotOwnItChangesNothing) {
    CRITICAL_SECTION section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 0));
    EnterCriticalSection(&section);
    std::thread([&] { LeaveCriticalSection(&section); }).join();
    EXPECT_EQ(1, section.RecursionCount);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
    DeleteCriticalSection(&section);
}

TEST(CriticalSection, InitialisationFailsOnAPlanWithItsError) {
    win32::FailCalls({"InitializeCriticalSectionAndSpinCount", ERROR_NOT_ENOUGH_MEMORY, 0, 1});
    CRITICAL_SECTION section;
    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(&section, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 0));
    DeleteCriticalSection(&section);
    win32::ClearCallFailures();
}

} // namespace
