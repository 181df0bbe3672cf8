#include "platform/sim/internal/UrbRequest.h"

#include "usbioctl.h"

namespace sim::drv {

UrbRequest::UrbRequest(PDEVICE_OBJECT target, USHORT urbSize, ULONG bufferSize, bool withMdl)
    : m_target(target), m_urb(urbSize), m_bufferSize(bufferSize), m_wantMdl(withMdl && bufferSize) {
    m_irp = IoAllocateIrp(target->StackSize, FALSE);
    if (bufferSize) {
        m_buffer = PoolBuffer(bufferSize);
    }
    if (m_wantMdl && m_buffer) {
        m_mdl = IoAllocateMdl(m_buffer.Data(), bufferSize, FALSE, FALSE, nullptr);
        if (m_mdl) {
            MmBuildMdlForNonPagedPool(m_mdl);
        }
    }
}

UrbRequest::~UrbRequest() {
    Wait();
    if (m_mdl) {
        IoFreeMdl(m_mdl);
    }
    if (m_irp) {
        IoFreeIrp(m_irp);
    }
}

NTSTATUS UrbRequest::Post(Done done) {
    {
        std::lock_guard guard(m_lock);
        m_inFlight = true;
        m_done = std::move(done);
    }
    // A request a class driver allocated starts out with success, as IoAllocateIrp leaves it; only the Plug
    // and Play and power requests the system sends start out as not supported.
    IoReuseIrp(m_irp, STATUS_SUCCESS);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(m_irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = Urb();
    IoSetCompletionRoutine(m_irp, Completion, this, TRUE, TRUE, TRUE);
    return IoCallDriver(m_target, m_irp);
}

NTSTATUS UrbRequest::Completion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* request = static_cast<UrbRequest*>(context);
    Done done;
    {
        std::lock_guard guard(request->m_lock);
        done = std::move(request->m_done);
        request->m_done = nullptr;
        request->m_inFlight = false;
        ++request->m_running;
    }
    const NTSTATUS status = irp->IoStatus.Status;
    if (done) {
        done(*request, status); // may post the request again
    }
    // The last touch of the request: its owner may free it once it is idle.
    std::lock_guard guard(request->m_lock);
    if (--request->m_running == 0 && !request->m_inFlight) {
        request->m_idle.notify_all();
    }
    return STATUS_MORE_PROCESSING_REQUIRED; // the IRP is ours
}

NTSTATUS UrbRequest::Send() {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    NTSTATUS final = STATUS_PENDING;
    Post([&event, &final](UrbRequest&, NTSTATUS status) {
        final = status;
        KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    });
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    Wait();
    return final;
}

void UrbRequest::Cancel() {
    bool inFlight;
    {
        std::lock_guard guard(m_lock);
        inFlight = m_inFlight;
    }
    if (inFlight) {
        IoCancelIrp(m_irp); // its cancel routine may complete it at once, into Completion
    }
}

void UrbRequest::Wait() {
    std::unique_lock guard(m_lock);
    m_idle.wait(guard, [this] { return !m_inFlight && m_running == 0; });
}

bool UrbRequest::InFlight() const {
    std::lock_guard guard(m_lock);
    return m_inFlight;
}

} // namespace sim::drv
