// Timers on the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "NtClock.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class TimersTest : public UiTest {};

TEST_F(TimersTest, ATimerGivesOneMessagePerDueTimeAndNeverPilesUp) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    ASSERT_TRUE(SetTimer(w, 1, 333, nullptr));
    win32::AdvanceUiClock(1000); // through 333, 666 and 999
    EXPECT_EQ(w.Take({WM_TIMER}).size(), 3u);
    nt::clock::AdvanceMilliseconds(1000); // at once: one pending, whatever the time passed
    win32::PumpUiMessages();
    auto timers = w.Take({WM_TIMER});
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].wParam, 1u);
    EXPECT_TRUE(KillTimer(w, 1));
    win32::AdvanceUiClock(1000);
    EXPECT_TRUE(w.Take({WM_TIMER}).empty());
    EXPECT_FALSE(KillTimer(w, 1));
}

TEST_F(TimersTest, TimerMessagesWaitForEverythingElse) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    SetTimer(w, 7, 50, nullptr);
    nt::clock::AdvanceMilliseconds(60);
    PostMessageA(w, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // the next period has begun
}

TEST_F(TimersTest, AGetMessageWaitingForATimerWakesWhenItIsDue) {
    std::atomic<int> timers{0};
    DWORD workerId = 0;
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID count) -> DWORD {
            auto* n = static_cast<std::atomic<int>*>(count);
            UINT_PTR id = SetTimer(nullptr, 0, 200, nullptr); // a thread timer
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                if (msg.message == WM_TIMER && msg.wParam == id && ++*n == 2)
                    KillTimer(nullptr, id), PostQuitMessage(0);
            return 0;
        },
        &timers, 0, &workerId);
    // Each time the worker waits, time moves on by one period.
    while (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) {
        nt::clock::WaitForTimedWaiters(1, std::chrono::milliseconds(50));
        nt::clock::AdvanceMilliseconds(200);
    }
    CloseHandle(worker);
    EXPECT_EQ(timers, 2);
}

TEST_F(TimersTest, ATimerProcedureRunsInsteadOfTheWindowProcedure) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    static int s_calls = 0;
    s_calls = 0;
    SetTimer(w, 2, 100, [](HWND, UINT, UINT_PTR id, DWORD) { s_calls += static_cast<int>(id); });
    win32::AdvanceUiClock(250);
    EXPECT_EQ(s_calls, 4);
    EXPECT_TRUE(w.Take({WM_TIMER}).empty());
    KillTimer(w, 2);
}

TEST_F(TimersTest, TimersCanBeToldToFailAndGoWithTheirWindow) {
    win32::FailUiCalls(win32::UiFailure::SetTimer, 1);
    {
        TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
        EXPECT_EQ(SetTimer(w, 1, 100, nullptr), 0u);
        EXPECT_NE(SetTimer(w, 1, 100, nullptr), 0u);
    }
    win32::AdvanceUiClock(500); // nothing left to fire
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

} // namespace
