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
// first over a few milliseconds when the clock is made (so that no reader ever switches from the steady
// clock's time to the counter's) and then again over spans ten times longer each time; each new rate takes
// over from the time the old one gives at that moment, and a reader still holding the old rate does not
// carry it past that moment, so the time never jumps and never goes back, and it stays within microseconds
// of the steady clock.
class CounterClock {
public:
    CounterClock() {
#if defined(__x86_64__)
        if (m_usable) {
            const Pair anchor = ReadPair();
            m_anchorCounter = anchor.counter;
            m_anchorUnits = anchor.units;
            Pair end = ReadPair();
            while (end.units - anchor.units < kFirstSpan || end.counter == anchor.counter) {
                std::this_thread::sleep_for(std::chrono::microseconds((kFirstSpan - (end.units - anchor.units)) / 10));
                end = ReadPair();
            }
            Publish(nullptr, end);
        }
#endif
    }

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
    // The counter and the steady time read together: the counter read on both sides of the steady clock, the
    // closest of a few tries kept, so that a thread preempted between the two reads does not skew a rate.
    struct Pair {
        uint64_t counter;
        LONGLONG units;
    };
    static constexpr LONGLONG kFirstSpan = 20'000;               // 2 ms
    static constexpr LONGLONG kLastSpan = 10'000LL * 10'000'000; // 10,000 s: then the rate stays

    // A counter read before the scale began (a reader that read the counter, then found a newer scale) is
    // taken as the scale's start, which the older scale's time does not pass.
    static LONGLONG Scaled(const Scale& scale, uint64_t counter) {
        if (counter <= scale.counter0) {
            return scale.units0;
        }
        const auto elapsed = static_cast<__int128>(counter - scale.counter0);
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

#if defined(__x86_64__)
    static Pair ReadPair() {
        Pair best{};
        uint64_t bestWidth = UINT64_MAX;
        for (int attempt = 0; attempt < 4; ++attempt) {
            const uint64_t before = __rdtsc();
            const LONGLONG units = SteadyUnits();
            const uint64_t after = __rdtsc();
            if (after - before < bestWidth) {
                bestWidth = after - before;
                best = {before + (after - before) / 2, units};
            }
        }
        return best;
    }

    // A rate measured from the anchor to `end` takes over from `scale` (null for the first); the lock is held.
    LONGLONG Publish(const Scale* scale, const Pair& end) {
        const LONGLONG span = end.units - m_anchorUnits;
        const uint64_t counted = end.counter - m_anchorCounter;
        Scale* next = &m_scales[m_scalesUsed++]; // kept: readers may still hold the older ones
        next->counter0 = end.counter;
        next->units0 = scale != nullptr ? std::max(Scaled(*scale, end.counter), scale->units0) : end.units;
        next->rate = static_cast<uint64_t>((static_cast<unsigned __int128>(span) << 64) / counted);
        next->remeasureAt = span >= kLastSpan ? UINT64_MAX : end.counter + 9 * counted;
        m_scale.store(next, std::memory_order_release);
        return next->units0;
    }

    LONGLONG Measure(uint64_t counter, const Scale* scale) {
        std::unique_lock guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock()) {
            // Another thread measures: the old rate answers, but not past the moment the new one takes over
            // from, or this thread could see the time go back once it reads the new one.
            return Scaled(*scale, std::min(counter, scale->remeasureAt));
        }
        scale = m_scale.load(std::memory_order_acquire);
        const Pair end = ReadPair();
        if (end.counter < scale->remeasureAt || m_scalesUsed == m_scales.size()) {
            return Scaled(*scale, end.counter); // measured meanwhile
        }
        return Publish(scale, end);
    }
#else
    LONGLONG Measure(uint64_t, const Scale*) {
        return SteadyUnits();
    }
#endif

    std::atomic<const Scale*> m_scale{nullptr};
    std::array<Scale, 12> m_scales{}; // spans from 2 ms up, ten times longer each: 8 at most
    size_t m_scalesUsed = 0;
    std::mutex m_lock; // measuring
    uint64_t m_anchorCounter = 0;
    LONGLONG m_anchorUnits = 0;
};

// Made once, out of line, so that the readers' path below stays a few instructions and is inlined into Now:
// the capture road reads the clock for every record.
[[gnu::noinline]] CounterClock* MakeCounterClock() {
    return new CounterClock; // read by threads that may outlive static destruction
}

[[gnu::always_inline]] inline LONGLONG HostUnits() {
    static CounterClock* const clock = MakeCounterClock();
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

[[gnu::always_inline]] inline LONGLONG NowOf(const ClockState& s) {
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
