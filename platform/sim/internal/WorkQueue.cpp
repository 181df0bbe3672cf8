#include "platform/sim/internal/WorkQueue.h"

namespace sim::drv {

bool WorkQueue::Post(std::function<void()> work) {
    std::lock_guard guard(m_lock);
    if (m_stopping) {
        return false;
    }
    m_work.push_back(std::move(work));
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
        m_threadId = m_thread.get_id();
    }
    m_changed.notify_all();
    return true;
}

void WorkQueue::Run() {
    std::unique_lock guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return !m_work.empty() || m_stopping; });
        if (m_work.empty()) {
            return; // stopping, and nothing left
        }
        std::function<void()> work = std::move(m_work.front());
        m_work.pop_front();
        m_busy = true;
        guard.unlock();
        work();
        guard.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

void WorkQueue::Drain() {
    if (OnQueueThread()) {
        return;
    }
    std::unique_lock guard(m_lock);
    m_changed.wait(guard, [this] { return m_work.empty() && !m_busy; });
}

void WorkQueue::Stop() {
    std::thread thread;
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
        m_changed.notify_all();
        if (OnQueueThread()) {
            m_thread.detach(); // ends after the current item; its last touch of this object is the lock above
            return;
        }
        thread = std::move(m_thread);
    }
    if (thread.joinable()) {
        thread.join();
    }
}

} // namespace sim::drv
