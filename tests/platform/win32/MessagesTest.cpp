// Queues across threads: sends, notifications, posts, the retrieval order, WM_QUIT, waits and registered
// messages.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "NtClock.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class MessagesTest : public UiTest {};

// A thread of CreateThread running a function; joined (waiting without pumping) by Join.
class Worker {
public:
    explicit Worker(std::function<void()> body) : m_body(std::move(body)) {
        m_handle = CreateThread(nullptr, 0, &Worker::Run, this, 0, &m_id);
    }
    ~Worker() {
        Join();
        CloseHandle(m_handle);
    }
    void Join() { WaitForSingleObject(m_handle, INFINITE); }
    // Waits for the worker while handling the calling thread's messages.
    void JoinPumping() {
        while (MsgWaitForMultipleObjects(1, &m_handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            win32::PumpUiMessages();
    }
    HANDLE handle() const { return m_handle; }
    DWORD id() const { return m_id; }

private:
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Worker*>(self)->m_body();
        return 0;
    }
    std::function<void()> m_body;
    HANDLE m_handle = nullptr;
    DWORD m_id = 0;
};

TEST_F(MessagesTest, AWorkersNotificationsAndPostsReturnAtOnceAndArriveSentFirstInOrder) {
    TestWindow gui(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    const WPARAM wide = 0x1122334455667788ULL;
    const LPARAM negative = -0x0123456789ABCDEFLL;
    {
        // The GUI thread is busy (it only joins): the worker must not wait for it.
        Worker worker([&] {
            EXPECT_TRUE(PostMessageA(gui, WM_USER + 2, 1, negative));
            EXPECT_TRUE(SendNotifyMessageA(gui, WM_USER + 1, wide, 1));
            EXPECT_TRUE(PostMessageA(gui, WM_USER + 2, 2, negative));
            EXPECT_TRUE(SendNotifyMessageA(gui, WM_USER + 1, wide, 2));
        });
        worker.Join();
    }
    gui.Take();
    win32::PumpUiMessages();
    auto got = gui.Take({WM_USER + 1, WM_USER + 2});
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message, WM_USER + 1u);
    EXPECT_EQ(got[0].lParam, 1);
    EXPECT_EQ(got[1].message, WM_USER + 1u);
    EXPECT_EQ(got[1].lParam, 2);
    EXPECT_EQ(got[0].wParam, wide);
    EXPECT_EQ(got[2].message, WM_USER + 2u);
    EXPECT_EQ(got[2].wParam, 1u);
    EXPECT_EQ(got[3].wParam, 2u);
    EXPECT_EQ(got[3].lParam, negative);
}

TEST_F(MessagesTest, AWorkersSendReturnsTheHandlersResultAndMutualSendsFinish) {
    std::atomic<HWND> workerWindow{nullptr};
    TestWindow gui(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, [&](HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_USER + 1)
            return std::optional<LRESULT>(static_cast<LRESULT>(wParam * 2));
        if (message == WM_USER + 2) // asks the worker back while the worker waits for this answer
            return std::optional<LRESULT>(SendMessageA(workerWindow, WM_USER + 3, wParam, 0) + 1);
        return std::optional<LRESULT>();
    });
    LRESULT first = 0, second = 0;
    Worker worker([&] {
        TestWindow own(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, [](HWND, UINT message, WPARAM wParam, LPARAM) {
            return message == WM_USER + 3 ? std::optional<LRESULT>(static_cast<LRESULT>(wParam) * 10)
                                          : std::optional<LRESULT>();
        });
        workerWindow = own.hwnd();
        first = SendMessageA(gui, WM_USER + 1, 21, 0);
        second = SendMessageA(gui, WM_USER + 2, 5, 0);
    });
    worker.JoinPumping();
    EXPECT_EQ(first, 42);
    EXPECT_EQ(second, 51);
}

TEST_F(MessagesTest, ASendToAThreadThatNeverAnswersTimesOut) {
    TestWindow gui(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    LRESULT sent = -1;
    DWORD error = 0;
    Worker worker([&] {
        DWORD_PTR result = 0;
        sent = SendMessageTimeoutA(gui, WM_USER, 0, 0, SMTO_NORMAL, 100, &result);
        error = GetLastError();
    });
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(1));
    nt::clock::AdvanceMilliseconds(100);
    worker.Join();
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
    win32::PumpUiMessages();
    EXPECT_TRUE(gui.TakeIds({WM_USER}).empty()); // the abandoned send is not handled late
}

TEST_F(MessagesTest, ARegisteredMessageHasOneIdOnEveryThreadWhateverTheCase) {
    UINT here = RegisterWindowMessageA("LogListView");
    UINT there = 0;
    Worker([&] { there = RegisterWindowMessageA("loglistview"); }).Join();
    EXPECT_GE(here, 0xC000u);
    EXPECT_EQ(here, there);
    EXPECT_NE(RegisterWindowMessageA("SomethingElse"), here);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST_F(MessagesTest, QuitIsSeenByPeekAndARepostedQuitEndsGetMessage) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    PostMessageA(w, WM_USER, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 0u); // posted messages come before the quit
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT + 0u);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    PostQuitMessage(static_cast<int>(msg.wParam)); // passed on to the outer loop
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessagesTest, PostThreadMessageReachesAWorkersLoop) {
    std::atomic<bool> ready{false};
    std::vector<UINT> seen;
    Worker worker([&] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
        ready = true;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            seen.push_back(msg.message);
    });
    while (!ready)
        Sleep(0);
    EXPECT_TRUE(PostThreadMessageA(worker.id(), WM_APP + 1, 0, 0));
    EXPECT_TRUE(PostThreadMessageA(worker.id(), WM_QUIT, 0, 0));
    worker.Join();
    EXPECT_EQ(seen, std::vector<UINT>{WM_APP + 1});
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST_F(MessagesTest, MsgWaitWakesForObjectsMessagesAndSends) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageA(w, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_KEY), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_POSTMESSAGE), WAIT_OBJECT_0 + 1);
    win32::PumpUiMessages();
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
    ResetEvent(event);
    // A send from another thread wakes the wait (and is handled by the next peek).
    Worker worker([&] { SendMessageA(w, WM_USER + 5, 0, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE), WAIT_OBJECT_0 + 1);
    win32::PumpUiMessages();
    worker.Join();
    EXPECT_EQ(w.TakeIds({WM_USER + 5}).size(), 1u);
    CloseHandle(event);
}

TEST_F(MessagesTest, FiltersByWindowAndRange) {
    TestWindow a(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    TestWindow child(WS_CHILD, a, RECT{0, 0, 5, 5});
    TestWindow b(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    PostMessageA(b, WM_USER + 1, 0, 0);
    PostMessageA(child, WM_USER + 2, 0, 0);
    PostMessageA(a, WM_APP, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, a, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child.hwnd()); // a window filter takes its children's messages too
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, b.hwnd());
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

} // namespace

namespace {

TEST_F(MessagesTest, BadWindowsAndSameThreadNotifications) {
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x7777), 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    EXPECT_TRUE(SendNotifyMessageA(w, WM_USER, 0, 0)); // handled at once on the window's own thread
    EXPECT_EQ(w.TakeIds({WM_USER}).size(), 1u);
    HWND gone;
    {
        Worker worker([&] {
            TestWindow own(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
            gone = own.hwnd();
        });
    }
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
    EXPECT_FALSE(SendNotifyMessageA(gone, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(gone, WM_USER, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow())); // no thread's own
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

} // namespace
