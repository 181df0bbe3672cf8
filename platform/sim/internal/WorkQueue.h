// A thread of a simulated driver or controller that runs queued work in order, at PASSIVE_LEVEL: what a driver
// would do with a system thread or work items (a storage driver's request queue, a hub's deferred callbacks, a
// controller's completions). The thread starts with the first item and ends with Stop, after the items queued
// before it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sim::drv {

class WorkQueue {
public:
    WorkQueue() = default;
    ~WorkQueue() { Stop(); }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // False (and nothing queued) once the queue is stopping.
    bool Post(std::function<void()> work);
    // Runs what is queued, then ends the thread. From the queue's own thread it only asks the thread to end
    // after the current item (nobody can wait for a thread from that thread).
    void Stop();
    bool OnQueueThread() const { return std::this_thread::get_id() == m_threadId; }
    // Waits until everything queued so far has run (at once on the queue's own thread).
    void Drain();

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_work;
    std::thread m_thread;
    std::thread::id m_threadId;
    bool m_stopping = false;
    bool m_busy = false;
};

} // namespace sim::drv
