// Bus time: how long transfers take on the wire, and the schedule of a host controller that completes them no
// sooner than that, on the machine clock.
//
// The wire: a transfer's packets at its device's speed (low 1.5 Mbit/s, full 12, high 480, SuperSpeed 5 Gbit/s),
// each with its protocol bytes and what a real host loses per packet, so that bulk reaches what real devices
// reach: about 1.1 MB/s at full speed, 40 MB/s at high speed, 400 MB/s at SuperSpeed. A control transfer takes
// its setup, data and status stages.
//
// The schedule: bulk and control transfers share their bus's time evenly while they are on it (as a host
// controller's asynchronous schedule takes turns between its endpoints), so two devices copying at once on
// one bus each move half as fast. The buses of a controller: its USB 2.0 bus (low and full speed devices on a
// 1.1 controller share it too), its SuperSpeed bus, and each high-speed hub's transaction translator, the
// full-speed bus of the low and full speed devices behind that hub. Periodic transfers are given a time of
// their own instead (their endpoint's next service, their last frame) and do not take from the shared time.
//
// A transfer is on the bus only from when data moves (a NAKed transfer that waits for its device is not) until
// its time is done; then the schedule's thread (the controller's interrupt) completes it. It can be cancelled
// while it is on: its IRP's cancel routine takes it off. The thread waits with the machine clock's timed wait,
// so a virtual clock decides when transfers complete: a test moves the clock on and sees exact times, and
// while a FollowBusTime scope lives the clock follows the buses by itself.
//
// Locking: one mutex per schedule guards its buses and entries; completions run with it released. The port
// driver may put entries on with its own lock held (never the other way round).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/sim/UsbDevice.h"
#include "wdm.h"

namespace sim::drv {

enum class BusTransferType { Control, Bulk, Interrupt };

// Nanoseconds a transfer of `bytes` in packets of at most `maxPacket` bytes takes alone on a bus of `speed`
// (a zero-length transfer is one packet); a control transfer's `bytes` are its data stage.
int64_t TransferNanoseconds(UsbSpeed speed, BusTransferType type, ULONG bytes, ULONG maxPacket);
// The service period of an interrupt endpoint, in machine time (100 ns units): bInterval frames of 1 ms at low
// and full speed, 2^(bInterval-1) microframes of 125 us at high speed and SuperSpeed. (Isochronous transfers
// move one packet per 1 ms frame, as the port driver numbers them, and end with their last frame.)
LONGLONG InterruptPeriod(UsbSpeed speed, UCHAR interval);
// The length of a (micro)frame at a speed, in machine time: where a periodic endpoint's service begins.
LONGLONG FrameLength(UsbSpeed speed);

struct BusEntry;

// A bus whose time the transfers on it share. Its state is its schedule's (guarded by the schedule's lock);
// whoever puts transfers on it holds it.
struct SharedBus {
    std::vector<BusEntry*> active; // on the bus now, in the order they came
    int64_t updated = 0;           // ns of machine time up to which their remaining time is counted
};

// A transfer on a bus, owned by whoever put it on; the schedule calls `done` once when it leaves the bus: its
// time is over, or (cancelled) it was taken off.
struct BusEntry {
    PIRP irp = nullptr;
    void (*done)(BusEntry* entry, bool cancelled) = nullptr;
    bool hub = false; // a hub's status change: the machine's idle waits wait for it

    // The schedule's own.
    SharedBus* bus = nullptr; // the bus whose time it shares; null: it leaves at `at`
    int64_t remaining = 0;    // ns of bus time still to go, were it alone on the bus
    int64_t at = 0;           // ns of machine time it leaves at (a shared one: when its time ran out)
    uint64_t order = 0;
    bool finished = false; // its time is over: the thread takes it
    bool leaving = false;  // its cancel routine is on the way
};

class BusSchedule {
public:
    BusSchedule();
    ~BusSchedule();
    BusSchedule(const BusSchedule&) = delete;
    BusSchedule& operator=(const BusSchedule&) = delete;

    // Puts an entry on: sharing `bus` for `work` ns of bus time, or until machine time `at` (100 ns units). Its
    // IRP gets `cancel` as its cancel routine while it is on. False, with nothing put on, when the IRP was
    // cancelled already or the schedule has stopped: the caller completes it itself.
    bool Share(BusEntry* entry, SharedBus& bus, int64_t work, PDRIVER_CANCEL cancel);
    bool At(BusEntry* entry, LONGLONG at, PDRIVER_CANCEL cancel);
    // From the IRP's cancel routine: takes the entry off and completes it as cancelled (nothing when the bus
    // took it already).
    void Cancelled(BusEntry* entry);
    // Takes an entry off for its caller to complete with Complete(entry, true); false when the bus or its cancel
    // routine has it already. The port driver's lock may be held.
    bool Withdraw(BusEntry* entry);
    void Complete(BusEntry* entry, bool cancelled);
    // Completes what is still on, at once, and ends the thread; later entries are refused.
    void Stop();

    // When the next entry leaves (machine time), if one is on.
    std::optional<LONGLONG> NextCompletion();

private:
    void Run();
    bool Put(BusEntry* entry, PDRIVER_CANCEL cancel);
    bool Unlink(BusEntry* entry);
    std::optional<int64_t> NextLocked() const;
    std::vector<BusEntry*> TakeDue(int64_t now);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<SharedBus*> m_busy;   // buses with entries on
    std::vector<BusEntry*> m_fixed;   // entries that leave at a time of their own
    std::vector<BusEntry*> m_leaving; // entries whose cancel routine is on the way
    uint64_t m_order = 0;
    // The thread completes what it took off at this time (ns): until it is done, that is the next completion.
    bool m_completing = false;
    int64_t m_completingAt = 0;
    bool m_wake = false;
    bool m_stopped = false;
    std::thread m_thread;
};

// The machine's bus time: on (the default) or off (an unpaced machine, where transfers complete as soon as the
// device answers). The port driver reads it as a controller starts.
void SetBusTime(bool on);
bool BusTimeOn();

// When a transfer next leaves a bus anywhere in the machine, if one is on a bus; and on a virtual clock the
// clock moved on to then (false when none is on).
std::optional<LONGLONG> NextBusCompletion();
bool AdvanceToNextBusCompletion();
// Hubs' status-change transfers on a bus or being completed: a port change not yet reported.
int HubChangesOnBus();

// The follower of sim::FollowBusTime (Machine.h): a thread that, while scopes are open on a virtual clock, moves
// the clock on to each completion on the buses once the threads that put the transfer on have had a moment.
void BeginFollowingBusTime();
void EndFollowingBusTime();

} // namespace sim::drv
