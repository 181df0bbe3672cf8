#include "NtClock.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Machine time = host steady time + offset in real mode, or a value that only Advance moves in virtual mode.
// System time = machine time + a wall-clock offset taken from the host at start (or set by a test).
namespace nt::clock {
namespace {

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr LONGLONG kUnixEpochAsSystemTime = 116'444'736'000'000'000LL;
// Covers a wake-up from Advance that races with a waiter's own check of the time.
constexpr auto kVirtualSafetyInterval = std::chrono::milliseconds(2);

LONGLONG SteadyUnits() {
    auto d = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count() / 100;
}

LONGLONG HostSystemTime() {
    auto d = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count() / 100 + kUnixEpochAsSystemTime;
}

struct ClockState {
    std::mutex lock; // mode changes, Advance and the waiter list
    std::atomic<bool> isVirtual{false};
    std::atomic<LONGLONG> virtualNow{0};
    std::atomic<LONGLONG> realOffset{0};   // machine time = steady + realOffset
    std::atomic<LONGLONG> systemOffset{0}; // system time = machine time + systemOffset
    std::vector<std::condition_variable*> waiters;

    ClockState() {
        // The machine starts now: machine time begins near zero, at one clock tick.
        realOffset = kTimeIncrement - SteadyUnits();
        systemOffset = HostSystemTime() - (SteadyUnits() + realOffset.load());
    }
};

ClockState& State() {
    static ClockState state;
    return state;
}

LONGLONG NowOf(const ClockState& s) {
    return s.isVirtual.load(std::memory_order_acquire) ? s.virtualNow.load(std::memory_order_acquire)
                                                       : SteadyUnits() + s.realOffset.load(std::memory_order_relaxed);
}

void WakeTimedWaiters(ClockState& s) {
    for (std::condition_variable* cv : s.waiters) {
        cv->notify_all();
    }
}

} // namespace

LONGLONG Now() { return NowOf(State()); }

LONGLONG SystemTime() {
    ClockState& s = State();
    return NowOf(s) + s.systemOffset.load(std::memory_order_relaxed);
}

ULONGLONG TickCount() { return static_cast<ULONGLONG>(Now()) / kTimeIncrement; }

ULONGLONG TickCountMilliseconds() { return static_cast<ULONGLONG>(Now()) / kUnitsPerMillisecond; }

void UseVirtualClock() {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    if (!s.isVirtual) {
        s.virtualNow = NowOf(s);
        s.isVirtual = true;
    }
}

void UseRealClock() {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    if (s.isVirtual) {
        s.realOffset = s.virtualNow - SteadyUnits();
        s.isVirtual = false;
        WakeTimedWaiters(s); // their deadlines now pass in real time
    }
}

bool IsVirtual() { return State().isVirtual.load(std::memory_order_acquire); }

void Advance(LONGLONG units) {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    if (!s.isVirtual || units <= 0) {
        return;
    }
    s.virtualNow += units;
    WakeTimedWaiters(s);
}

void AdvanceMilliseconds(LONGLONG milliseconds) { Advance(milliseconds * kUnitsPerMillisecond); }

void SetSystemTime(LONGLONG systemTime) {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    s.systemOffset = systemTime - NowOf(s);
}

void Reset() {
    UseRealClock();
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    s.systemOffset = HostSystemTime() - NowOf(s);
}

Deadline Deadline::After(LONGLONG units) { return At(Now() + std::max<LONGLONG>(units, 0)); }

Deadline Deadline::AfterMilliseconds(ULONG milliseconds) {
    if (milliseconds == kInfiniteMilliseconds) {
        return Infinite();
    }
    return After(static_cast<LONGLONG>(milliseconds) * kUnitsPerMillisecond);
}

Deadline Deadline::FromTimeout(const LARGE_INTEGER* timeout) {
    if (timeout == nullptr) {
        return Infinite();
    }
    LONGLONG value = timeout->QuadPart;
    if (value <= 0) {
        return After(-value);
    }
    ClockState& s = State();
    return At(value - s.systemOffset.load(std::memory_order_relaxed));
}

namespace detail {

TimedWaiter::TimedWaiter(std::condition_variable& cv) : m_cv(&cv) {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    s.waiters.push_back(m_cv);
}

TimedWaiter::~TimedWaiter() {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    auto it = std::find(s.waiters.begin(), s.waiters.end(), m_cv);
    if (it != s.waiters.end()) {
        s.waiters.erase(it);
    }
}

void BlockOnce(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, const Deadline& deadline) {
    if (IsVirtual()) {
        cv.wait_for(lock, kVirtualSafetyInterval);
        return;
    }
    LONGLONG left = deadline.MachineTime() - Now();
    if (left > 0) {
        cv.wait_for(lock, std::chrono::nanoseconds(left * 100));
    }
}

} // namespace detail

void SleepUntil(const Deadline& deadline) {
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock lock(m);
    if (deadline.IsInfinite()) {
        for (;;) {
            cv.wait(lock);
        }
    }
    WaitUntil(lock, cv, deadline, [] { return false; });
}

size_t TimedWaiterCount() {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    return s.waiters.size();
}

bool WaitForTimedWaiters(size_t count, std::chrono::milliseconds realLimit) {
    auto until = std::chrono::steady_clock::now() + realLimit;
    while (TimedWaiterCount() < count) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace nt::clock
