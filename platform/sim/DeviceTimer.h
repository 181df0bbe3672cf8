// A device's own clock: a thread of the device that calls `tick` once per period of machine time (a mouse
// making its reports, a printer taking data from its buffer). When the machine clock is virtual the ticks come
// as a test moves the clock on; a jump over several periods gives each of their ticks at once, in order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "ntdef.h"

namespace sim {

class DeviceTimer {
public:
    DeviceTimer() = default;
    ~DeviceTimer() { Stop(); }
    DeviceTimer(const DeviceTimer&) = delete;
    DeviceTimer& operator=(const DeviceTimer&) = delete;

    // Starts ticking (tick 0 comes one period from now); a running timer is stopped first. `period` in 100 ns
    // units, at least 1.
    void Start(LONGLONG period, std::function<void(uint64_t tick)> tick);
    // Waits for a tick that is running; no tick comes afterwards. Not from inside a tick.
    void Stop();
    bool Running() const;
    // Ticks given so far (since the last Start).
    uint64_t Ticks() const;

private:
    void Run(LONGLONG start, LONGLONG period);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void(uint64_t)> m_tick;
    std::thread m_thread;
    bool m_stop = false;
    uint64_t m_ticks = 0;
};

} // namespace sim
