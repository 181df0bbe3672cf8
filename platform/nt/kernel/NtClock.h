// The machine clock and the one waiting primitive every timed wait of the machine uses (control and internal
// interface of the stand-in, not part of the platform).
//
// Machine time is a count of 100 ns units since the machine started. It backs KeQueryPerformanceCounter
// (10 MHz), KeQueryInterruptTime, KeQueryTickCount and KeQuerySystemTime, and user mode's
// QueryPerformanceCounter, GetTickCount and GetSystemTimeAsFileTime. It never goes back.
//
// Two modes:
// - real (the default): time follows the host's steady clock;
// - virtual (for tests): time stands still until a test calls Advance. Any wait with a deadline returns as
//   soon as Advance takes the clock past it, without waiting in real time.
//
// HOW TO WAIT. Every wait with a time-out, kernel or user mode, goes through WaitUntil, with the mutex that
// guards the state it waits for and a condition variable that whoever changes that state notifies:
//
//     std::unique_lock lock(m_mutex);
//     bool ready = nt::clock::WaitUntil(lock, m_changed, nt::clock::Deadline::AfterMilliseconds(ms),
//                                       [&] { return m_signalled; });
//
// WaitUntil returns true when the predicate held (checked under the lock, so the caller can consume the state
// at once), false when the deadline passed first. A plain sleep is SleepUntil. Waits without a deadline may use
// the condition variable directly; they are not affected by the clock.
//
// Tests: UseVirtualClock(); start the thread that waits; WaitForTimedWaiters(1) (so the waiter has taken its
// deadline); Advance(...); join.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "ntdef.h"

namespace nt::clock {

constexpr LONGLONG kPerformanceFrequency = 10'000'000; // counts per second: one per 100 ns
constexpr ULONG kTimeIncrement = 156'250;              // 100 ns units per clock tick (15.625 ms)
constexpr LONGLONG kUnitsPerMillisecond = 10'000;
constexpr ULONG kInfiniteMilliseconds = 0xFFFFFFFF; // user mode's INFINITE

LONGLONG Now();        // machine time, 100 ns units
LONGLONG SystemTime(); // 100 ns units since 1601-01-01 UTC
ULONGLONG TickCount(); // clock ticks since start
ULONGLONG TickCountMilliseconds();

void UseVirtualClock(); // time stands still from now on, until Advance
void UseRealClock();    // time runs again from where it stands
bool IsVirtual();
void Advance(LONGLONG units); // virtual mode only (ignored in real mode); wakes timed waiters
void AdvanceMilliseconds(LONGLONG milliseconds);
void SetSystemTime(LONGLONG systemTime); // the wall clock at this instant; it runs on with machine time
// Back to the real clock, with the wall clock from the host. Machine time keeps its value (it never goes back).
void Reset();

class Deadline {
public:
    static Deadline Infinite() { return Deadline(true, 0); }
    static Deadline At(LONGLONG machineTime) { return Deadline(false, machineTime); }
    static Deadline After(LONGLONG units);
    // User mode's time-outs: kInfiniteMilliseconds never passes.
    static Deadline AfterMilliseconds(ULONG milliseconds);
    // The kernel's time-outs: null never passes; negative = relative; zero = now; positive = absolute system
    // time.
    static Deadline FromTimeout(const LARGE_INTEGER* timeout);

    bool IsInfinite() const { return m_infinite; }
    LONGLONG MachineTime() const { return m_at; }
    bool HasPassed() const { return !m_infinite && Now() >= m_at; }

private:
    Deadline(bool infinite, LONGLONG at) : m_infinite(infinite), m_at(at) {}
    bool m_infinite;
    LONGLONG m_at;
};

namespace detail {
// While a timed wait blocks, its condition variable is registered so that Advance can wake it.
class TimedWaiter {
public:
    explicit TimedWaiter(std::condition_variable& cv);
    ~TimedWaiter();
    TimedWaiter(const TimedWaiter&) = delete;
    TimedWaiter& operator=(const TimedWaiter&) = delete;

private:
    std::condition_variable* m_cv;
};
// Blocks on cv for at most the real time left until the deadline (virtual mode: a short safety interval that
// covers a wake-up racing with the waiter's own check of the time).
void BlockOnce(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, const Deadline& deadline);
} // namespace detail

template <class Predicate>
bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, const Deadline& deadline,
               Predicate ready) {
    if (ready()) {
        return true;
    }
    if (deadline.IsInfinite()) {
        cv.wait(lock, ready);
        return true;
    }
    detail::TimedWaiter waiter(cv);
    for (;;) {
        if (deadline.HasPassed()) {
            return false;
        }
        detail::BlockOnce(lock, cv, deadline);
        if (ready()) {
            return true;
        }
    }
}

// Sleeps the calling thread until the deadline (an infinite deadline never returns).
void SleepUntil(const Deadline& deadline);

// Threads now blocked in a timed wait or sleep.
size_t TimedWaiterCount();
// Waits (in real time, at most realLimit) until at least `count` threads are blocked in timed waits.
bool WaitForTimedWaiters(size_t count, std::chrono::milliseconds realLimit = std::chrono::seconds(10));

} // namespace nt::clock
