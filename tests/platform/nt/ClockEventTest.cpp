#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "KernelTest.h"
#include "NtClock.h"
#include "wdm.h"

namespace {

class ClockTest : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        nt::clock::UseVirtualClock();
    }
};

LONGLONG Counter() {
    return KeQueryPerformanceCounter(nullptr).QuadPart;
}

LARGE_INTEGER Relative(LONGLONG milliseconds) {
    LARGE_INTEGER t;
    t.QuadPart = -milliseconds * 10'000;
    return t;
}

// Runs `wait` on another thread once it has entered its timed wait, and hands back what it returned and the
// counter when it came back.
struct WaitResult {
    NTSTATUS status;
    LONGLONG returnedAt;
};
template <class Wait> std::future<WaitResult> StartWaiter(Wait wait) {
    auto result = std::async(std::launch::async, [wait] {
        NTSTATUS status = wait();
        return WaitResult{status, Counter()};
    });
    EXPECT_TRUE(nt::clock::WaitForTimedWaiters(1)) << "the waiter never started waiting";
    return result;
}

TEST_F(ClockTest, OneCounterForTheMachineThatStandsStillUntilAdvanced) {
    LARGE_INTEGER frequency;
    LONGLONG start = KeQueryPerformanceCounter(&frequency).QuadPart;
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    EXPECT_EQ(Counter(), start);
    LARGE_INTEGER system1, system2, ticks1, ticks2;
    KeQuerySystemTime(&system1);
    KeQueryTickCount(&ticks1);
    nt::clock::AdvanceMilliseconds(1000);
    KeQuerySystemTime(&system2);
    KeQueryTickCount(&ticks2);
    EXPECT_EQ(Counter() - start, 10'000'000);
    EXPECT_EQ(system2.QuadPart - system1.QuadPart, 10'000'000);
    EXPECT_EQ(ticks2.QuadPart - ticks1.QuadPart, 64) << "1 s of 15.625 ms ticks";
    EXPECT_EQ(KeQueryTimeIncrement(), 156'250u);

    nt::clock::UseRealClock();
    EXPECT_GE(Counter(), start + 10'000'000) << "going back to real time never moves the counter back";
}

TEST(RealClockTest, KeepsPaceWithTheHostAndNeverGoesBack) {
    // Over the first tens of milliseconds of a process the counter's rate is measured again and again; through
    // all of it two threads never see the counter go back, and it runs as fast as the host's steady clock.
    nt::clock::UseRealClock();
    const auto hostStart = std::chrono::steady_clock::now();
    const LONGLONG start = KeQueryPerformanceCounter(nullptr).QuadPart;
    std::atomic<int> backwards{0};
    auto reader = [&] {
        LONGLONG last = KeQueryPerformanceCounter(nullptr).QuadPart;
        while (std::chrono::steady_clock::now() - hostStart < std::chrono::milliseconds(60)) {
            const LONGLONG now = KeQueryPerformanceCounter(nullptr).QuadPart;
            backwards += now < last ? 1 : 0;
            last = now;
        }
    };
    std::thread other(reader);
    reader();
    other.join();
    const LONGLONG elapsed = KeQueryPerformanceCounter(nullptr).QuadPart - start;
    const auto hostElapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - hostStart).count();
    EXPECT_EQ(backwards.load(), 0);
    EXPECT_NEAR(static_cast<double>(elapsed) / 10.0, static_cast<double>(hostElapsed), 2000.0)
        << "the counter's microseconds against the host's";
}

TEST_F(ClockTest, TimedWaitEndsWhenTheClockPassesItsDeadlineAndNotBefore) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    LONGLONG start = Counter();
    auto waiter = StartWaiter([&event] {
        LARGE_INTEGER timeout = Relative(250);
        return KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout);
    });
    nt::clock::AdvanceMilliseconds(100);
    nt::clock::AdvanceMilliseconds(149);
    // A short real-time look: a waiter that wrongly woke at 100 or 249 ms would have returned by now.
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(10)), std::future_status::timeout);
    nt::clock::AdvanceMilliseconds(1);
    WaitResult r = waiter.get();
    EXPECT_EQ(r.status, STATUS_TIMEOUT);
    EXPECT_EQ(r.returnedAt - start, 250 * 10'000) << "the wait returned only once the whole time-out had passed";
}

TEST_F(ClockTest, AbsoluteTimeoutIsSystemTime) {
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    LARGE_INTEGER deadline;
    KeQuerySystemTime(&deadline);
    deadline.QuadPart += 5 * 10'000'000LL;
    auto waiter = StartWaiter([&] { return KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &deadline); });
    nt::clock::AdvanceMilliseconds(5000);
    EXPECT_EQ(waiter.get().status, STATUS_TIMEOUT);
}

TEST_F(ClockTest, DelayExecutionSleepsOnTheMachineClock) {
    LONGLONG start = Counter();
    auto sleeper = StartWaiter([] {
        LARGE_INTEGER interval = Relative(40);
        return KeDelayExecutionThread(KernelMode, FALSE, &interval);
    });
    nt::clock::AdvanceMilliseconds(40);
    WaitResult r = sleeper.get();
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.returnedAt - start, 40 * 10'000);
}

TEST_F(ClockTest, WaitUntilServesAnyWaiterWithItsOwnLockAndCondition) {
    std::mutex m;
    std::condition_variable cv;
    bool ready = false;
    auto waiter = std::async(std::launch::async, [&] {
        std::unique_lock lock(m);
        return nt::clock::WaitUntil(lock, cv, nt::clock::Deadline::AfterMilliseconds(1000), [&] { return ready; });
    });
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(1));
    {
        std::lock_guard lock(m);
        ready = true;
    }
    cv.notify_all();
    EXPECT_TRUE(waiter.get()) << "the predicate came true before the deadline";
    EXPECT_EQ(nt::clock::TimedWaiterCount(), 0u);
    EXPECT_TRUE(nt::clock::Deadline::AfterMilliseconds(nt::clock::kInfiniteMilliseconds).IsInfinite());
}

using EventTest = ClockTest;

TEST_F(EventTest, NotificationEventReleasesEveryWaiterAndStaysSignalled) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr) == STATUS_SUCCESS) {
                ++released;
            }
        });
    }
    EXPECT_EQ(KeSetEvent(&event, IO_NO_INCREMENT, FALSE), 0);
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(released, 3);
    EXPECT_EQ(KeReadStateEvent(&event), 1);
    EXPECT_EQ(KeResetEvent(&event), 1);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
}

TEST_F(EventTest, SynchronizationEventReleasesOneWaitAndResetsItself) {
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, TRUE);
    LARGE_INTEGER poll{};
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &poll), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &poll), STATUS_TIMEOUT);

    auto waiter = std::async(std::launch::async,
                             [&] { return KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr); });
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(waiter.get(), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
}

TEST_F(EventTest, MultipleObjectWaitsTellWhichObjectOrWaitForAll) {
    KEVENT a, b;
    KSEMAPHORE s;
    KeInitializeEvent(&a, SynchronizationEvent, FALSE);
    KeInitializeEvent(&b, NotificationEvent, FALSE);
    KeInitializeSemaphore(&s, 0, 2);
    PVOID objects[] = {&a, &b, &s};
    LARGE_INTEGER poll{};
    EXPECT_EQ(KeWaitForMultipleObjects(3, objects, WaitAny, Executive, KernelMode, FALSE, &poll, nullptr),
              STATUS_TIMEOUT);
    KeReleaseSemaphore(&s, 0, 1, FALSE);
    EXPECT_EQ(KeWaitForMultipleObjects(3, objects, WaitAny, Executive, KernelMode, FALSE, &poll, nullptr),
              STATUS_WAIT_0 + 2);
    EXPECT_EQ(KeReadStateSemaphore(&s), 0) << "the wait took the semaphore's count";

    KeSetEvent(&a, 0, FALSE);
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, &poll, nullptr),
              STATUS_TIMEOUT);
    EXPECT_EQ(KeReadStateEvent(&a), 1) << "a WaitAll that is not satisfied takes nothing";
    KeSetEvent(&b, 0, FALSE);
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, &poll, nullptr),
              STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&a), 0);
    EXPECT_EQ(KeReadStateEvent(&b), 1);
    EXPECT_THROW(KeReleaseSemaphore(&s, 0, 3, FALSE), nt::SehException) << "past the limit";
    EXPECT_THROW(KeWaitForMultipleObjects(4, objects, WaitAny, Executive, KernelMode, FALSE, &poll, nullptr),
                 NtBugCheck)
        << "more than three objects need a wait block array";
}

TEST_F(EventTest, OnlyAPollingWaitIsAllowedAtDispatchLevel) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, TRUE);
    LARGE_INTEGER poll{};
    AtIrql(DISPATCH_LEVEL, [&] {
        EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &poll), STATUS_SUCCESS);
        EXPECT_THROW(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), NtBugCheck);
    });
}

TEST_F(EventTest, TimeFieldsConvertBothWays) {
    struct Case {
        LONGLONG time;
        TIME_FIELDS fields;
    };
    const Case cases[] = {
        {0, {1601, 1, 1, 0, 0, 0, 0, 1}},
        {116'444'736'000'000'000LL, {1970, 1, 1, 0, 0, 0, 0, 4}},
        {133'485'405'456'780'000LL, {2023, 12, 31, 23, 55, 45, 678, 0}},
        {125'911'584'000'000'000LL, {2000, 1, 1, 0, 0, 0, 0, 6}},
    };
    for (const Case& c : cases) {
        LARGE_INTEGER t;
        t.QuadPart = c.time;
        TIME_FIELDS f;
        RtlTimeToTimeFields(&t, &f);
        EXPECT_EQ(std::tie(f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second, f.Milliseconds, f.Weekday),
                  std::tie(c.fields.Year, c.fields.Month, c.fields.Day, c.fields.Hour, c.fields.Minute, c.fields.Second,
                           c.fields.Milliseconds, c.fields.Weekday))
            << c.time;
        LARGE_INTEGER back;
        TIME_FIELDS in = c.fields;
        ASSERT_TRUE(RtlTimeFieldsToTime(&in, &back));
        EXPECT_EQ(back.QuadPart, c.time);
    }
    TIME_FIELDS february30 = {2023, 2, 30, 0, 0, 0, 0, 0};
    LARGE_INTEGER ignored;
    EXPECT_FALSE(RtlTimeFieldsToTime(&february30, &ignored));
}

} // namespace
