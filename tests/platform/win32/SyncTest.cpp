#include <chrono>
#include <gtest/gtest.h>
#include <string>

#include "NtClock.h"
#include "windows.h"

namespace {

// Tests that drive time by hand; the clock is real again afterwards.
class VirtualTime : public testing::Test {
protected:
    void SetUp() override { nt::clock::UseVirtualClock(); }
    void TearDown() override { nt::clock::Reset(); }
};

// Runs fn on a thread of CreateThread and returns its handle.
template <class Fn> HANDLE Start(Fn& fn) {
    return CreateThread(
        nullptr, 0, [](LPVOID p) -> DWORD { return (*static_cast<Fn*>(p))(); }, &fn, 0, nullptr);
}

DWORD ExitCodeAfterEnd(HANDLE thread) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    CloseHandle(thread);
    return code;
}

TEST_F(VirtualTime, HeldMutexTimesOutTheOtherThreadWhichLaterAcquiresIt) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    HANDLE timedOut = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto other = [&]() -> DWORD {
        DWORD first = WaitForSingleObject(mutex, 100);
        SetEvent(timedOut);
        DWORD second = WaitForSingleObject(mutex, 10000);
        ReleaseMutex(mutex);
        return (first << 16) | second;
    };
    HANDLE thread = Start(other);
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(1));
    nt::clock::AdvanceMilliseconds(100);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timedOut, INFINITE));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ((static_cast<DWORD>(WAIT_TIMEOUT) << 16) | WAIT_OBJECT_0, ExitCodeAfterEnd(thread));
    CloseHandle(mutex);
    CloseHandle(timedOut);
}

TEST_F(VirtualTime, FiveSecondWaitEndsWhenTimeIsAdvancedWithoutSleeping) {
    const auto realStart = std::chrono::steady_clock::now();
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const DWORD ticksBefore = GetTickCount();
    auto waiter = [&]() -> DWORD { return WaitForSingleObject(never, 5000); };
    HANDLE thread = Start(waiter);
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(1));
    nt::clock::AdvanceMilliseconds(4999);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 0)) << "the wait ended early";
    nt::clock::AdvanceMilliseconds(1);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ExitCodeAfterEnd(thread));
    EXPECT_NEAR(5000.0, static_cast<double>(GetTickCount() - ticksBefore), 16.0);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(3));
    CloseHandle(never);
}

TEST_F(VirtualTime, SleepRunsOnTheMachineClock) {
    auto sleeper = []() -> DWORD {
        Sleep(250);
        return 7;
    };
    HANDLE thread = Start(sleeper);
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(1));
    nt::clock::AdvanceMilliseconds(250);
    EXPECT_EQ(7u, ExitCodeAfterEnd(thread));
}

TEST(Mutexes, OwnerThatEndsWhileHoldingGivesWaitAbandoned) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    auto owner = [&]() -> DWORD { return WaitForSingleObject(mutex, INFINITE); };
    EXPECT_EQ(WAIT_OBJECT_0, ExitCodeAfterEnd(Start(owner)));
    EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(mutex, 0));
    EXPECT_TRUE(ReleaseMutex(mutex)); // the abandoned mutex now belongs to this thread
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST(Mutexes, OwnershipIsPerThreadAndRecursive) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
    auto stranger = [&]() -> DWORD {
        DWORD wait = WaitForSingleObject(mutex, 0);
        BOOL released = ReleaseMutex(mutex);
        return wait == WAIT_TIMEOUT && !released && GetLastError() == ERROR_NOT_OWNER;
    };
    EXPECT_EQ(1u, ExitCodeAfterEnd(Start(stranger)));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
    CloseHandle(mutex);
}

TEST(Mutexes, SecondCreateOfANameReturnsTheSameObject) {
    HANDLE first = CreateMutexA(nullptr, FALSE, "SyncTestMutex");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    HANDLE second = CreateMutexA(nullptr, TRUE, "SyncTestMutex"); // initial ownership is ignored for an existing one
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_NE(first, second);
    HANDLE otherCase = CreateMutexA(nullptr, FALSE, "syncTestMutex");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "names are case-sensitive";
    CloseHandle(otherCase);

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 0));
    auto viaSecond = [&]() -> DWORD { return WaitForSingleObject(second, 0); };
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ExitCodeAfterEnd(Start(viaSecond)));
    ReleaseMutex(second);

    // One name space for every kind of named object.
    EXPECT_EQ(nullptr, CreateEventA(nullptr, FALSE, FALSE, "SyncTestMutex"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "SyncTestMutex"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, "SyncTestMutex");
    EXPECT_NE(nullptr, opened);
    CloseHandle(opened);
    CloseHandle(first);
    CloseHandle(second);
    EXPECT_EQ(nullptr, OpenMutexA(SYNCHRONIZE, FALSE, "SyncTestMutex"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(Events, ManualAndAutoReset) {
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(automatic, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(automatic, 0)) << "a wait resets it";

    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, "SyncTestEvent");
    HANDLE sameEvent = OpenEventA(SYNCHRONIZE, FALSE, "SyncTestEvent");
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(sameEvent, 0));
    SetEvent(manual);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sameEvent, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0)) << "a manual-reset event stays set";
    ResetEvent(sameEvent);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(manual, 0));
    for (HANDLE h : {automatic, manual, sameEvent})
        CloseHandle(h);
}

TEST(Waits, WaitAnyAndWaitAll) {
    HANDLE a = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE c = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    const HANDLE all[] = {a, b, c};
    EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, all, FALSE, 0)) << "the lowest signalled index wins";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForMultipleObjects(3, all, TRUE, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c, 0)) << "a failed wait for all takes nothing";
    SetEvent(a);
    SetEvent(b);
    SetEvent(c);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, all, TRUE, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForMultipleObjects(3, all, FALSE, 0)) << "all three were taken";

    struct Refused {
        DWORD count;
        std::vector<HANDLE> handles;
        BOOL waitAll;
        DWORD error;
    };
    for (const Refused& r :
         {Refused{0, {a}, FALSE, ERROR_INVALID_PARAMETER}, Refused{2, {a, a}, TRUE, ERROR_INVALID_PARAMETER},
          Refused{2, {a, reinterpret_cast<HANDLE>(0x12345678)}, FALSE, ERROR_INVALID_HANDLE},
          Refused{MAXIMUM_WAIT_OBJECTS + 1, std::vector<HANDLE>(65, a), FALSE, ERROR_INVALID_PARAMETER}}) {
        EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(r.count, r.handles.data(), r.waitAll, 0));
        EXPECT_EQ(r.error, GetLastError());
    }
    for (HANDLE h : all)
        CloseHandle(h);
}

TEST(Semaphores, CountWithinTheirMaximum) {
    HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 2, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(semaphore, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(semaphore, 0));
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
    EXPECT_EQ(0, previous);
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, &previous));
    EXPECT_EQ(static_cast<DWORD>(ERROR_TOO_MANY_POSTS), GetLastError());
    CloseHandle(semaphore);
}

} // namespace
