#include "platform/sim/internal/BusTime.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "NtClock.h"

namespace sim::drv {

namespace {

// A bus's wire: the time of a byte (8 bits; 10 bits of 8b/10b coding at SuperSpeed), and the byte times each
// packet costs besides its data: the protocol's own bytes (token, SYNC, PID, CRC, handshake, EOP, packet
// headers, link commands) and what a real host loses between packets (fetching its next transfer descriptor,
// bus turnaround). They make bulk reach 64 bytes in 58 us at full speed (1.1 MB/s), 512 bytes in 12.8 us at
// high speed (40 MB/s) and 1024 bytes in 2.56 us at SuperSpeed (400 MB/s).
struct Wire {
    int64_t picosecondsPerByte;
    int64_t overheadBytes;
};

Wire WireOf(UsbSpeed speed) {
    switch (speed) {
    case UsbSpeed::Low: return {5'333'333, 13};
    case UsbSpeed::Full: return {666'667, 23};
    case UsbSpeed::High: return {16'667, 256};
    case UsbSpeed::Super: return {2'000, 256};
    }
    return {666'667, 23};
}

constexpr LONGLONG kFrame = 10'000;     // 1 ms in machine time
constexpr LONGLONG kMicroframe = 1'250; // 125 us

int64_t NowNanoseconds() {
    return nt::clock::Now() * 100;
}

LONGLONG MachineTimeAfter(int64_t nanoseconds) {
    return (nanoseconds + 99) / 100;
}

std::atomic<bool> g_busTime{true};
std::atomic<int> g_hubChanges{0};

std::mutex g_schedulesLock;
std::vector<BusSchedule*> g_schedules;

// The follower of the FollowBusTime scopes: one thread while any scope is open on a virtual clock.
struct Follower {
    std::thread thread;
    bool stop = false;
};
std::mutex g_followLock;
std::condition_variable g_followChanged;
int g_scopes = 0;
std::atomic<bool> g_following{false};
uint64_t g_activity = 0; // transfers put on a bus while the follower runs
std::unique_ptr<Follower> g_follower;

void NoteActivity() {
    if (!g_following.load(std::memory_order_relaxed)) {
        return;
    }
    {
        std::lock_guard guard(g_followLock);
        ++g_activity;
    }
    g_followChanged.notify_all();
}

void Follow(Follower* self) {
    std::unique_lock guard(g_followLock);
    uint64_t seen = g_activity;
    while (!self->stop) {
        // A real-time wait: the follower is what moves the machine clock. Transfers put on wake it; the
        // interval catches one that is still on after the last move.
        g_followChanged.wait_for(guard, std::chrono::milliseconds(1), [&] { return self->stop || g_activity != seen; });
        if (self->stop) {
            return;
        }
        seen = g_activity;
        guard.unlock();
        // The threads that put transfers on finish what they do first: more may go on at the same moment.
        for (int i = 0; i < 4; ++i) {
            std::this_thread::yield();
        }
        AdvanceToNextBusCompletion();
        guard.lock();
    }
}

} // namespace

int64_t TransferNanoseconds(UsbSpeed speed, BusTransferType type, ULONG bytes, ULONG maxPacket) {
    const Wire wire = WireOf(speed);
    const int64_t packetSize = std::max<ULONG>(maxPacket, 1);
    const int64_t data = bytes;
    int64_t packets = data ? (data + packetSize - 1) / packetSize : 1;
    int64_t wireBytes = data;
    if (type == BusTransferType::Control) {
        // The setup stage's 8 bytes, the data stage (if any) and the status stage's empty packet.
        packets = 2 + (data ? (data + packetSize - 1) / packetSize : 0);
        wireBytes += 8;
    }
    return (wireBytes + packets * wire.overheadBytes) * wire.picosecondsPerByte / 1000;
}

LONGLONG InterruptPeriod(UsbSpeed speed, UCHAR interval) {
    if (speed == UsbSpeed::Low || speed == UsbSpeed::Full) {
        return kFrame * std::max<int>(interval, 1);
    }
    return kMicroframe << (std::clamp<int>(interval, 1, 16) - 1);
}

LONGLONG FrameLength(UsbSpeed speed) {
    return speed == UsbSpeed::Low || speed == UsbSpeed::Full ? kFrame : kMicroframe;
}

// --- The schedule ---

namespace {

// Brings the shared time of a bus up to `now`: while n transfers are on, each moves at 1/n of the bus's speed;
// one whose time runs out leaves the others more.
void Progress(SharedBus& bus, int64_t now) {
    int64_t at = bus.updated;
    while (at < now) {
        int64_t sharing = 0;
        int64_t least = INT64_MAX;
        for (const BusEntry* entry : bus.active) {
            if (!entry->finished) {
                ++sharing;
                least = std::min(least, entry->remaining);
            }
        }
        if (!sharing) {
            break;
        }
        const int64_t span = now - at;
        const int64_t step = least * sharing <= span ? least : span / sharing;
        for (BusEntry* entry : bus.active) {
            if (!entry->finished) {
                entry->remaining -= step;
                if (entry->remaining <= 0) {
                    entry->finished = true;
                    entry->at = at + least * sharing;
                }
            }
        }
        at = step == least ? at + least * sharing : now;
    }
    bus.updated = now;
}

} // namespace

BusSchedule::BusSchedule() {
    std::lock_guard guard(g_schedulesLock);
    g_schedules.push_back(this);
}

BusSchedule::~BusSchedule() {
    Stop();
}

bool BusSchedule::Share(BusEntry* entry, SharedBus& bus, int64_t work, PDRIVER_CANCEL cancel) {
    std::lock_guard guard(m_lock);
    if (m_stopped) {
        return false;
    }
    Progress(bus, NowNanoseconds());
    if (bus.active.empty()) {
        m_busy.push_back(&bus);
    }
    entry->bus = &bus;
    entry->remaining = std::max<int64_t>(work, 1);
    bus.active.push_back(entry);
    return Put(entry, cancel);
}

bool BusSchedule::At(BusEntry* entry, LONGLONG at, PDRIVER_CANCEL cancel) {
    std::lock_guard guard(m_lock);
    if (m_stopped) {
        return false;
    }
    entry->bus = nullptr;
    entry->at = at * 100;
    m_fixed.push_back(entry);
    return Put(entry, cancel);
}

bool BusSchedule::Put(BusEntry* entry, PDRIVER_CANCEL cancel) {
    entry->order = ++m_order;
    entry->finished = false;
    entry->leaving = false;
    IoSetCancelRoutine(entry->irp, cancel);
    if (entry->irp->Cancel && IoSetCancelRoutine(entry->irp, nullptr)) {
        Unlink(entry); // cancelled before it went on
        return false;
    }
    if (entry->hub) {
        ++g_hubChanges;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
    m_wake = true;
    m_changed.notify_all();
    NoteActivity();
    return true;
}

bool BusSchedule::Unlink(BusEntry* entry) {
    auto drop = [entry](std::vector<BusEntry*>& list) {
        auto it = std::find(list.begin(), list.end(), entry);
        if (it == list.end()) {
            return false;
        }
        list.erase(it);
        return true;
    };
    if (drop(m_leaving) || drop(m_fixed)) {
        m_wake = true;
        m_changed.notify_all();
        return true;
    }
    SharedBus* bus = entry->bus;
    if (!bus || std::find(bus->active.begin(), bus->active.end(), entry) == bus->active.end()) {
        return false;
    }
    Progress(*bus, NowNanoseconds()); // the others' shares grow from now on
    drop(bus->active);
    if (bus->active.empty()) {
        m_busy.erase(std::find(m_busy.begin(), m_busy.end(), bus));
    }
    m_wake = true;
    m_changed.notify_all();
    return true;
}

void BusSchedule::Cancelled(BusEntry* entry) {
    {
        std::lock_guard guard(m_lock);
        if (!Unlink(entry)) {
            return;
        }
    }
    Complete(entry, true);
}

bool BusSchedule::Withdraw(BusEntry* entry) {
    std::lock_guard guard(m_lock);
    const bool on =
        entry->bus ? std::find(entry->bus->active.begin(), entry->bus->active.end(), entry) != entry->bus->active.end()
                   : std::find(m_fixed.begin(), m_fixed.end(), entry) != m_fixed.end();
    if (!on || !IoSetCancelRoutine(entry->irp, nullptr)) {
        return false; // the thread has it, or its cancel routine is on the way (and will find it)
    }
    return Unlink(entry);
}

void BusSchedule::Complete(BusEntry* entry, bool cancelled) {
    const bool hub = entry->hub;
    entry->done(entry, cancelled);
    if (hub) {
        --g_hubChanges;
    }
}

std::optional<int64_t> BusSchedule::NextLocked() const {
    std::optional<int64_t> next;
    auto consider = [&next](int64_t at) { next = next ? std::min(*next, at) : at; };
    for (const SharedBus* bus : m_busy) {
        int64_t sharing = 0;
        int64_t least = INT64_MAX;
        for (const BusEntry* entry : bus->active) {
            if (entry->finished) {
                consider(entry->at);
            } else {
                ++sharing;
                least = std::min(least, entry->remaining);
            }
        }
        if (sharing) {
            consider(bus->updated + least * sharing);
        }
    }
    for (const BusEntry* entry : m_fixed) {
        consider(entry->at);
    }
    if (m_completing) {
        consider(m_completingAt); // what the thread completes now may put the next transfer on
    }
    return next;
}

std::vector<BusEntry*> BusSchedule::TakeDue(int64_t now) {
    std::vector<BusEntry*> due;
    for (auto it = m_busy.begin(); it != m_busy.end();) {
        SharedBus& bus = **it;
        Progress(bus, now);
        std::erase_if(bus.active, [&due](BusEntry* entry) {
            if (entry->finished) {
                due.push_back(entry);
            }
            return entry->finished;
        });
        it = bus.active.empty() ? m_busy.erase(it) : it + 1;
    }
    std::erase_if(m_fixed, [&due, now](BusEntry* entry) {
        if (entry->at > now) {
            return false;
        }
        due.push_back(entry);
        return true;
    });
    // An entry whose cancel routine runs already is that routine's to complete.
    std::erase_if(due, [this](BusEntry* entry) {
        if (IoSetCancelRoutine(entry->irp, nullptr)) {
            return false;
        }
        entry->leaving = true;
        m_leaving.push_back(entry);
        return true;
    });
    std::sort(due.begin(), due.end(), [](const BusEntry* a, const BusEntry* b) {
        return a->at != b->at ? a->at < b->at : a->order < b->order;
    });
    return due;
}

void BusSchedule::Run() {
    std::unique_lock guard(m_lock);
    while (!m_stopped) {
        m_wake = false;
        const std::optional<int64_t> next = NextLocked();
        const auto deadline = next ? nt::clock::Deadline::At(MachineTimeAfter(*next)) : nt::clock::Deadline::Infinite();
        nt::clock::WaitUntil(guard, m_changed, deadline, [this] { return m_wake || m_stopped; });
        if (m_stopped) {
            return;
        }
        m_completingAt = NowNanoseconds();
        std::vector<BusEntry*> due = TakeDue(m_completingAt);
        if (due.empty()) {
            continue;
        }
        m_completing = true;
        guard.unlock();
        for (BusEntry* entry : due) {
            Complete(entry, false);
        }
        guard.lock();
        m_completing = false;
    }
}

void BusSchedule::Stop() {
    {
        std::lock_guard guard(g_schedulesLock);
        std::erase(g_schedules, this);
    }
    std::vector<BusEntry*> left;
    std::thread thread;
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
        for (SharedBus* bus : m_busy) {
            for (BusEntry* entry : bus->active) {
                entry->finished = true;
                entry->at = 0;
            }
        }
        for (BusEntry* entry : m_fixed) {
            entry->at = 0;
        }
        left = TakeDue(INT64_MAX);
        m_changed.notify_all();
        thread = std::move(m_thread);
    }
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach(); // a completion took the controller down: the thread ends after it
        } else {
            thread.join();
        }
    }
    // The controller goes: what it still had ends now.
    std::sort(left.begin(), left.end(), [](const BusEntry* a, const BusEntry* b) { return a->order < b->order; });
    for (BusEntry* entry : left) {
        Complete(entry, false);
    }
}

std::optional<LONGLONG> BusSchedule::NextCompletion() {
    std::lock_guard guard(m_lock);
    const std::optional<int64_t> next = NextLocked();
    return next ? std::optional<LONGLONG>(MachineTimeAfter(*next)) : std::nullopt;
}

// --- The machine's bus time ---

void SetBusTime(bool on) {
    g_busTime = on;
}

bool BusTimeOn() {
    return g_busTime;
}

std::optional<LONGLONG> NextBusCompletion() {
    std::optional<LONGLONG> next;
    std::lock_guard guard(g_schedulesLock);
    for (BusSchedule* schedule : g_schedules) {
        if (const std::optional<LONGLONG> at = schedule->NextCompletion()) {
            next = next ? std::min(*next, *at) : *at;
        }
    }
    return next;
}

bool AdvanceToNextBusCompletion() {
    if (!nt::clock::IsVirtual()) {
        return false;
    }
    const std::optional<LONGLONG> next = NextBusCompletion();
    if (!next) {
        return false;
    }
    const LONGLONG ahead = *next - nt::clock::Now();
    if (ahead > 0) {
        nt::clock::Advance(ahead);
    }
    return true;
}

int HubChangesOnBus() {
    return g_hubChanges.load();
}

void BeginFollowingBusTime() {
    std::lock_guard guard(g_followLock);
    ++g_scopes;
    // A real clock needs no follower; one made virtual while a scope is open is followed from the next scope on.
    if (!g_follower && nt::clock::IsVirtual()) {
        g_follower = std::make_unique<Follower>();
        g_follower->thread = std::thread(Follow, g_follower.get());
        g_following = true;
    }
}

void EndFollowingBusTime() {
    std::unique_ptr<Follower> ending;
    {
        std::lock_guard guard(g_followLock);
        if (--g_scopes == 0 && g_follower) {
            g_following = false;
            g_follower->stop = true;
            ending = std::move(g_follower);
        }
    }
    if (ending) {
        g_followChanged.notify_all();
        ending->thread.join();
    }
}

} // namespace sim::drv
