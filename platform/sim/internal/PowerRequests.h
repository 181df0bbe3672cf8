// The power requests the simulated drivers send, as the power manager would send them for them
// (PoRequestPowerIrp): SET_POWER and QUERY_POWER for a system or device state, POWER_SEQUENCE, and WAIT_WAKE,
// which stays with the bus driver until the device wakes or the request is cancelled.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

#include "wdm.h"

namespace sim::drv {

// SET_POWER or QUERY_POWER to the top of `device`'s stack, built by the I/O manager; waits for it.
NTSTATUS SendPowerRequest(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state,
                          POWER_ACTION action = PowerActionNone);
NTSTATUS SetDevicePower(PDEVICE_OBJECT device, DEVICE_POWER_STATE state);
// POWER_SEQUENCE to `target` itself; the counters come back in `sequence` (read from the driver's own pool).
NTSTATUS QueryPowerSequence(PDEVICE_OBJECT target, POWER_SEQUENCE& sequence);

// A WAIT_WAKE request of a driver's own (IoAllocateIrp), posted to the top of its device's stack.
class WaitWakeRequest {
public:
    using Done = std::function<void(NTSTATUS status)>; // at completion, at up to DISPATCH_LEVEL
    WaitWakeRequest() = default;
    ~WaitWakeRequest();
    WaitWakeRequest(const WaitWakeRequest&) = delete;
    WaitWakeRequest& operator=(const WaitWakeRequest&) = delete;

    // False when one is pending already or no IRP could be had.
    bool Post(PDEVICE_OBJECT device, SYSTEM_POWER_STATE wakeFrom, Done done);
    void Cancel();
    bool Pending() const;
    // Waits until no request is pending and its completion has run.
    void Wait();

private:
    static NTSTATUS Completion(PDEVICE_OBJECT device, PIRP irp, PVOID context);
    PIRP Finish(); // under the lock

    mutable std::mutex m_lock;
    std::condition_variable m_idle;
    PIRP m_irp = nullptr;
    Done m_done;
    bool m_pending = false;
    bool m_completed = false;
    int m_cancelling = 0;
};

} // namespace sim::drv
