#include "platform/sim/DeviceTimer.h"

#include <algorithm>

#include "NtClock.h"

namespace sim {

void DeviceTimer::Start(LONGLONG period, std::function<void(uint64_t)> tick) {
    Stop();
    std::lock_guard guard(m_lock);
    m_tick = std::move(tick);
    m_stop = false;
    m_ticks = 0;
    m_thread =
        std::thread([this, start = nt::clock::Now(), period = std::max<LONGLONG>(period, 1)] { Run(start, period); });
}

void DeviceTimer::Stop() {
    std::thread thread;
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
        m_changed.notify_all();
        thread = std::move(m_thread);
    }
    if (thread.joinable()) {
        thread.join();
    }
}

bool DeviceTimer::Running() const {
    std::lock_guard guard(m_lock);
    return m_thread.joinable() && !m_stop;
}

uint64_t DeviceTimer::Ticks() const {
    std::lock_guard guard(m_lock);
    return m_ticks;
}

void DeviceTimer::Run(LONGLONG start, LONGLONG period) {
    std::unique_lock guard(m_lock);
    for (uint64_t next = 0;; ++next) {
        const auto deadline = nt::clock::Deadline::At(start + static_cast<LONGLONG>(next + 1) * period);
        nt::clock::WaitUntil(guard, m_changed, deadline, [this] { return m_stop; });
        if (m_stop) {
            return;
        }
        std::function<void(uint64_t)> tick = m_tick;
        guard.unlock();
        tick(next);
        guard.lock();
        ++m_ticks;
    }
}

} // namespace sim
