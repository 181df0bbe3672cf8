// A window thread for the host's tests: it runs what it is given and otherwise pumps its messages, as a
// program's GUI thread does, so the host sees its windows paint and its input arrive.
#pragma once

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "windows.h"

namespace tdl::test {

class GuiThread {
public:
    GuiThread() : m_thread([this] { Loop(); }) { m_started.get_future().wait(); }
    ~GuiThread() {
        PostThreadMessageA(m_id, WM_QUIT, 0, 0);
        m_thread.join();
    }
    GuiThread(const GuiThread&) = delete;
    GuiThread& operator=(const GuiThread&) = delete;

    // Runs `work` on the thread and returns its result when it is done.
    template <typename Work> auto Call(Work work) -> decltype(work()) { return Start(std::move(work)).get(); }
    // Runs `work` on the thread; the future tells when it is done.
    template <typename Work> auto Start(Work work) -> std::future<decltype(work())> {
        auto task = std::make_shared<std::packaged_task<decltype(work())()>>(std::move(work));
        auto done = task->get_future();
        {
            std::lock_guard guard(m_lock);
            m_work.emplace_back([task] { (*task)(); });
        }
        PostThreadMessageA(m_id, WM_NULL, 0, 0);
        return done;
    }
    // Runs `work` on the thread also while it is inside a modal loop (a menu, a box): it comes as a message sent
    // to a hidden window of the thread, which every loop that pumps serves.
    template <typename Work> auto Send(Work work) -> decltype(work()) {
        std::packaged_task<decltype(work())()> task(std::move(work));
        auto done = task.get_future();
        std::function<void()> call = [&task] { task(); };
        SendMessageA(m_window, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
        return done.get();
    }
    DWORD Id() const { return m_id; }
    // From now on each message the thread takes is offered to `preTranslate` first (a program's loop offers it
    // to its windows, whose frames translate their keys); one it takes is not dispatched.
    void PreTranslateWith(std::function<bool(MSG*)> preTranslate) {
        Call([this, preTranslate] { m_preTranslate = preTranslate; });
    }

private:
    void Loop() {
        m_id = GetCurrentThreadId();
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before anyone posts to it
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message != WM_APP)
                return DefWindowProcA(hwnd, message, wParam, lParam);
            (*reinterpret_cast<std::function<void()>*>(lParam))();
            return 0;
        };
        wc.lpszClassName = "TdlGuiThreadCall";
        RegisterClassA(&wc);
        m_window = CreateWindowExA(0, "TdlGuiThreadCall", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        m_started.set_value();
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (!m_preTranslate || !m_preTranslate(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            RunWork();
        }
        RunWork();
        DestroyWindow(m_window);
    }
    void RunWork() {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard guard(m_lock);
                if (m_work.empty())
                    return;
                next = std::move(m_work.front());
                m_work.pop_front();
            }
            next();
        }
    }

    std::promise<void> m_started;
    DWORD m_id = 0;
    HWND m_window = nullptr;
    std::mutex m_lock;
    std::deque<std::function<void()>> m_work;
    std::function<bool(MSG*)> m_preTranslate; // the thread's own
    std::thread m_thread;
};

} // namespace tdl::test
