#include "platform/sim/internal/PowerRequests.h"

#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/PoolMemory.h"

namespace sim::drv {

NTSTATUS SendPowerRequest(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state,
                          POWER_ACTION action) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_POWER, top, nullptr, 0, nullptr, &event, &ioStatus);
    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    if (irp) {
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MinorFunction = minor;
        next->Parameters.Power.Type = type;
        next->Parameters.Power.State = state;
        next->Parameters.Power.ShutdownType = action;
        status = FinalStatus(PoCallDriver(top, irp), event, ioStatus);
    }
    ObDereferenceObject(top);
    return status;
}

NTSTATUS SetDevicePower(PDEVICE_OBJECT device, DEVICE_POWER_STATE state) {
    POWER_STATE power;
    power.DeviceState = state;
    return SendPowerRequest(device, IRP_MN_SET_POWER, DevicePowerState, power);
}

NTSTATUS QueryPowerSequence(PDEVICE_OBJECT target, POWER_SEQUENCE& sequence) {
    PoolBuffer counters(sizeof(POWER_SEQUENCE));
    if (!counters) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_POWER, target, nullptr, 0, nullptr, &event, &ioStatus);
    if (!irp) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MinorFunction = IRP_MN_POWER_SEQUENCE;
    next->Parameters.PowerSequence.PowerSequence = counters.As<POWER_SEQUENCE>();
    NTSTATUS status = FinalStatus(PoCallDriver(target, irp), event, ioStatus);
    if (NT_SUCCESS(status)) {
        sequence = *counters.As<POWER_SEQUENCE>();
    }
    return status;
}

WaitWakeRequest::~WaitWakeRequest() {
    Cancel();
    Wait();
}

bool WaitWakeRequest::Post(PDEVICE_OBJECT device, SYSTEM_POWER_STATE wakeFrom, Done done) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    {
        std::lock_guard guard(m_lock);
        if (m_pending || !irp) {
            if (irp) {
                IoFreeIrp(irp);
            }
            ObDereferenceObject(top);
            return false;
        }
        m_pending = true;
        m_completed = false;
        m_irp = irp;
        m_done = std::move(done);
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_POWER;
    next->MinorFunction = IRP_MN_WAIT_WAKE;
    next->Parameters.WaitWake.PowerState = wakeFrom;
    IoSetCompletionRoutine(irp, Completion, this, TRUE, TRUE, TRUE);
    PoCallDriver(top, irp);
    ObDereferenceObject(top);
    return true;
}

// The IRP is freed by whichever comes last: the completion, or a cancellation that was still using it.
PIRP WaitWakeRequest::Finish() {
    if (m_cancelling || !m_completed || !m_irp) {
        return nullptr;
    }
    PIRP irp = m_irp;
    m_irp = nullptr;
    m_pending = false;
    m_idle.notify_all();
    return irp;
}

NTSTATUS WaitWakeRequest::Completion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* request = static_cast<WaitWakeRequest*>(context);
    Done done;
    {
        std::lock_guard guard(request->m_lock);
        done = std::move(request->m_done);
        request->m_done = nullptr;
    }
    if (done) {
        done(irp->IoStatus.Status);
    }
    PIRP finished;
    {
        std::lock_guard guard(request->m_lock);
        request->m_completed = true;
        finished = request->Finish(); // the last touch of the request when it finishes here
    }
    if (finished) {
        IoFreeIrp(finished);
    }
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void WaitWakeRequest::Cancel() {
    PIRP irp;
    {
        std::lock_guard guard(m_lock);
        if (!m_pending || m_completed) {
            return;
        }
        ++m_cancelling;
        irp = m_irp;
    }
    IoCancelIrp(irp);
    PIRP finished;
    {
        std::lock_guard guard(m_lock);
        --m_cancelling;
        finished = Finish();
    }
    if (finished) {
        IoFreeIrp(finished);
    }
}

bool WaitWakeRequest::Pending() const {
    std::lock_guard guard(m_lock);
    return m_pending;
}

void WaitWakeRequest::Wait() {
    std::unique_lock guard(m_lock);
    m_idle.wait(guard, [this] { return !m_pending; });
}

} // namespace sim::drv
