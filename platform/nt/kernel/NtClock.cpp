#include "NtClock.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

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

// The host's steady time read from the processor's time-stamp counter, where the counter runs at one constant
// rate on every processor: a read costs a few nanoseconds, where asking the host's clock costs tens, and the
// capture road stamps every record with the time. The counter's rate is measured against the steady clock,
// first over a few milliseconds (until then the steady clock answers) and then again over spans ten times
// longer each time; each new rate takes over from the time the old one gives at that moment, so the time
// never jumps and never goes back, and it stays within microseconds of the steady clock.
class CounterClock {
public:
    LONGLONG Now() {
#if defined(__x86_64__)
        if (m_usable) {
            const uint64_t counter = __rdtsc();
            const Scale* scale = m_scale.load(std::memory_order_acquire);
            if (scale != nullptr && counter < scale->remeasureAt) {
                return Scaled(*scale, counter);
            }
            return Measure(counter, scale);
        }
#endif
        return SteadyUnits();
    }

private:
    struct Scale {
        uint64_t counter0;    // the counter where this scale starts
        LONGLONG units0;      // the time there
        uint64_t rate;        // 100 ns units per count, a fraction of 2^64
        uint64_t remeasureAt; // the counter at which the rate is measured again over a longer span
    };
    static constexpr LONGLONG kFirstSpan = 20'000;               // 2 ms
    static constexpr LONGLONG kLastSpan = 10'000LL * 10'000'000; // 10,000 s: then the rate stays

    static LONGLONG Scaled(const Scale& scale, uint64_t counter) {
        const auto elapsed = static_cast<__int128>(static_cast<int64_t>(counter - scale.counter0));
        return scale.units0 + static_cast<LONGLONG>((elapsed * static_cast<__int128>(scale.rate)) >> 64);
    }

#if defined(__x86_64__)
    static bool Invariant() {
        unsigned eax = 0;
        unsigned ebx = 0;
        unsigned ecx = 0;
        unsigned edx = 0;
        return __get_cpuid(0x80000007, &eax, &ebx, &ecx, &edx) && (edx & (1u << 8)) != 0;
    }
    const bool m_usable = Invariant();
#else
    const bool m_usable = false;
#endif

    LONGLONG Measure(uint64_t counter, const Scale* scale) {
        std::unique_lock guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock()) {
            return scale != nullptr ? Scaled(*scale, counter) : SteadyUnits(); // another thread measures
        }
        scale = m_scale.load(std::memory_order_acquire);
#if defined(__x86_64__)
        const LONGLONG steady = SteadyUnits();
        const uint64_t now = __rdtsc();
        if (!m_anchored) {
            m_anchorCounter = now;
            m_anchorUnits = steady;
            m_anchored = true;
            return steady;
        }
        const LONGLONG span = steady - m_anchorUnits;
        const uint64_t counted = now - m_anchorCounter;
        if (span < kFirstSpan || counted == 0) {
            return scale != nullptr ? Scaled(*scale, now) : steady;
        }
        if (scale != nullptr && now < scale->remeasureAt) {
            return Scaled(*scale, now); // measured meanwhile
        }
        if (m_scalesUsed == m_scales.size()) {
            return Scaled(*scale, now);
        }
        Scale* next = &m_scales[m_scalesUsed++]; // kept: readers may still hold the older ones
        next->counter0 = now;
        next->units0 = scale != nullptr ? std::max(Scaled(*scale, now), scale->units0) : steady;
        next->rate = static_cast<uint64_t>((static_cast<unsigned __int128>(span) << 64) / counted);
        next->remeasureAt = span >= kLastSpan ? UINT64_MAX : now + 9 * counted;
        m_scale.store(next, std::memory_order_release);
        return next->units0;
#else
        (void)counter;
        return SteadyUnits();
#endif
    }

    std::atomic<const Scale*> m_scale{nullptr};
    std::array<Scale, 12> m_scales{}; // spans from 2 ms up, ten times longer each: 8 at most
    size_t m_scalesUsed = 0;
    std::mutex m_lock; // measuring
    bool m_anchored = false;
    uint64_t m_anchorCounter = 0;
    LONGLONG m_anchorUnits = 0;
};

LONGLONG HostUnits() {
    static CounterClock* clock = new CounterClock; // read by threads that may outlive static destruction
    return clock->Now();
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
        realOffset = kTimeIncrement - HostUnits();
        systemOffset = HostSystemTime() - (HostUnits() + realOffset.load());
    }
};

ClockState& State() {
    static ClockState state;
    return state;
}

LONGLONG NowOf(const ClockState& s) {
    return s.isVirtual.load(std::memory_order_acquire) ? s.virtualNow.load(std::memory_order_acquire)
                                                       : HostUnits() + s.realOffset.load(std::memory_order_relaxed);
}

void WakeTimedWaiters(ClockState& s) {
    for (std::condition_variable* cv : s.waiters) {
        cv->notify_all();
    }
}

} // namespace

LONGLONG Now() {
    return NowOf(State());
}

LONGLONG SystemTime() {
    ClockState& s = State();
    return NowOf(s) + s.systemOffset.load(std::memory_order_relaxed);
}

ULONGLONG TickCount() {
    return static_cast<ULONGLONG>(Now()) / kTimeIncrement;
}

ULONGLONG TickCountMilliseconds() {
    return static_cast<ULONGLONG>(Now()) / kUnitsPerMillisecond;
}

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
        s.realOffset = s.virtualNow - HostUnits();
        s.isVirtual = false;
        WakeTimedWaiters(s); // their deadlines now pass in real time
    }
}

bool IsVirtual() {
    return State().isVirtual.load(std::memory_order_acquire);
}

void Advance(LONGLONG units) {
    ClockState& s = State();
    std::lock_guard guard(s.lock);
    if (!s.isVirtual || units <= 0) {
        return;
    }
    s.virtualNow += units;
    WakeTimedWaiters(s);
}

void AdvanceMilliseconds(LONGLONG milliseconds) {
    Advance(milliseconds * kUnitsPerMillisecond);
}

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

Deadline Deadline::After(LONGLONG units) {
    return At(Now() + std::max<LONGLONG>(units, 0));
}

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
