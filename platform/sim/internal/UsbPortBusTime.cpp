// Bus time in the port driver: the transfers whose data has moved wait on their device's bus for the time
// their packets take there, and complete on the controller's interrupt thread (the bus schedule's).
#include <algorithm>

#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

namespace {

// Where a transfer on the bus keeps its entry (the I/O manager's slots are the owner's to use).
PipeTransfer*& EntryOf(PIRP irp) {
    return reinterpret_cast<PipeTransfer*&>(irp->Tail.Overlay.DriverContext[1]);
}

void CancelOnBus(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    PipeTransfer* transfer = EntryOf(irp);
    transfer->controller->Schedule().Cancelled(transfer);
}

void PipeTransferDone(BusEntry* entry, bool cancelled) {
    auto* transfer = static_cast<PipeTransfer*>(entry);
    HostController* controller = transfer->controller;
    {
        std::lock_guard guard(controller->m_lock);
        transfer->pipe->onBus = nullptr;
    }
    // The pipe's next transfer goes to the device now, while this one's handle reference keeps the pipe.
    controller->Pump(transfer->pipe);
    FinishTransfer(transfer->irp, cancelled ? TransferResult::Error(USBD_STATUS_CANCELED) : transfer->result);
    delete transfer;
}

void ControlDone(BusEntry* entry, bool cancelled) {
    auto* transfer = static_cast<PipeTransfer*>(entry);
    PIRP irp = transfer->irp;
    NTSTATUS status = transfer->status;
    if (cancelled) {
        auto* urb = static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
        urb->UrbHeader.Status = USBD_STATUS_CANCELED;
        urb->UrbControlTransfer.TransferBufferLength = 0;
        status = STATUS_CANCELLED;
    }
    transfer->controller->Release(transfer->handle);
    delete transfer;
    // As a controller's interrupt completes it: at DISPATCH_LEVEL.
    KIRQL irql = KeRaiseIrqlToDpcLevel();
    Complete(irp, status, 0);
    KeLowerIrql(irql);
}

void IsochronousDone(BusEntry* entry, bool cancelled) {
    auto* transfer = static_cast<PipeTransfer*>(entry);
    const USBD_STATUS status = cancelled ? USBD_STATUS_CANCELED : transfer->isochStatus;
    PIRP irp = transfer->irp;
    DeviceHandle* handle = transfer->handle;
    delete transfer;
    CompleteIsochronous(irp, status, handle);
}

PipeTransfer* NewTransfer(PIRP irp, HostController* controller, DeviceHandle* handle, void (*done)(BusEntry*, bool)) {
    auto* transfer = new PipeTransfer;
    transfer->irp = irp;
    transfer->done = done;
    transfer->hub = handle->device->IsHub();
    transfer->controller = controller;
    transfer->handle = handle;
    EntryOf(irp) = transfer;
    return transfer;
}

ULONG MaxPacketOf(const USB_ENDPOINT_DESCRIPTOR& endpoint) {
    return endpoint.wMaxPacketSize & 0x7FF;
}

} // namespace

std::shared_ptr<SharedBus> HostController::BusBehind(DeviceHandle* hub, UsbSpeed speed) {
    if (speed == UsbSpeed::Super) {
        return m_superSpeedBus;
    }
    if ((speed == UsbSpeed::Low || speed == UsbSpeed::Full) && hub && hub != m_rootHandle) {
        if (hub->device->Speed() == UsbSpeed::High) {
            if (!hub->translator) {
                hub->translator = std::make_shared<SharedBus>();
            }
            return hub->translator;
        }
        if (hub->bus) {
            return hub->bus; // a full-speed hub: the bus it hangs on
        }
    }
    return m_usb2Bus;
}

LONGLONG HostController::NextService(Pipe* pipe, ULONG bytes) {
    const UsbSpeed speed = pipe->owner->device->Speed();
    const LONGLONG period = InterruptPeriod(speed, pipe->endpoint.bInterval);
    const LONGLONG frame = FrameLength(speed);
    const ULONG maxPacket = std::max<ULONG>(MaxPacketOf(pipe->endpoint), 1);
    // A high-speed endpoint may move up to three packets per service, the others one.
    const ULONG perService = speed == UsbSpeed::High ? ((pipe->endpoint.wMaxPacketSize >> 11) & 3) + 1 : 1;
    const ULONG packets = bytes ? (bytes + maxPacket - 1) / maxPacket : 1;
    const LONGLONG services = (packets + perService - 1) / perService;
    const LONGLONG now = static_cast<LONGLONG>(KeQueryInterruptTime());
    LONGLONG first = pipe->nextService;
    if (first < 0) {
        first = (now + frame - 1) / frame * frame; // the endpoint's first service: the next (micro)frame
    } else if (first < now) {
        first += (now - first + period - 1) / period * period; // the services it was polled and NAKed at
    }
    const LONGLONG last = first + (services - 1) * period;
    pipe->nextService = last + period;
    const ULONG lastBytes =
        std::min<ULONG>(bytes - static_cast<ULONG>(services - 1) * perService * maxPacket, perService * maxPacket);
    return last + (TransferNanoseconds(speed, BusTransferType::Interrupt, lastBytes, maxPacket) + 99) / 100;
}

bool HostController::PipeTransferOnBus(PIRP irp, Pipe* pipe, const TransferResult& result) {
    DeviceHandle* handle = pipe->owner;
    PipeTransfer* transfer = NewTransfer(irp, this, handle, PipeTransferDone);
    transfer->pipe = pipe;
    transfer->result = result;
    const bool on = USB_ENDPOINT_TYPE_TO_PIPE_TYPE(pipe->endpoint.bmAttributes) == UsbdPipeTypeInterrupt
                        ? m_schedule.At(transfer, NextService(pipe, result.length), CancelOnBus)
                        : m_schedule.Share(transfer, *handle->bus,
                                           TransferNanoseconds(handle->device->Speed(), BusTransferType::Bulk,
                                                               result.length, MaxPacketOf(pipe->endpoint)),
                                           CancelOnBus);
    if (!on) {
        delete transfer;
        return false;
    }
    pipe->onBus = transfer;
    return true;
}

bool HostController::ControlOnBus(PIRP irp, DeviceHandle* handle, NTSTATUS status, ULONG bytes) {
    ++handle->references;
    PipeTransfer* transfer = NewTransfer(irp, this, handle, ControlDone);
    transfer->status = status;
    const UCHAR packet0 = handle->deviceDescriptor.bMaxPacketSize0;
    const ULONG maxPacket =
        handle->device->Speed() == UsbSpeed::Super ? 1u << std::min<UCHAR>(packet0, 9) : std::max<UCHAR>(packet0, 8);
    if (m_schedule.Share(transfer, *handle->bus,
                         TransferNanoseconds(handle->device->Speed(), BusTransferType::Control, bytes, maxPacket),
                         CancelOnBus)) {
        return true;
    }
    delete transfer;
    Release(handle);
    return false;
}

bool HostController::IsochronousOnBus(PIRP irp, DeviceHandle* handle, USBD_STATUS status, LONGLONG at) {
    PipeTransfer* transfer = NewTransfer(irp, this, handle, IsochronousDone);
    transfer->isochStatus = status;
    if (m_schedule.At(transfer, at, CancelOnBus)) {
        return true;
    }
    delete transfer;
    return false;
}

} // namespace sim::drv
