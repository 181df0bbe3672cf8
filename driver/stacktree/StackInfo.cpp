// Live queries down a device stack (StackInfo.h).
#include "driver/stacktree/StackInfo.h"

#include "driver/capture/CaptureGate.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

// The device object of the stack's last present node (the top-most one), referenced; null when every node
// is removed, or when `requireUsable` and that node's removal is under way.
PDEVICE_OBJECT TopPresentDevice(PDEVICE_STACK stack, BOOLEAN requireUsable) {
    PDEVICE_OBJECT device = nullptr;
    ULONG flags = 0;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&stack->Devices.Lock);
    for (PLIST_ENTRY link = stack->Devices.Head.Blink; link != &stack->Devices.Head; link = link->Blink) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
        flags = DeviceNodeFlags(node);
        if ((flags & DEVOBJ_REMOVED) == 0) {
            device = node->DeviceObject;
            break;
        }
    }
    if (device != nullptr && requireUsable && (flags & DEVOBJ_REMOVING) != 0) {
        device = nullptr;
    }
    if (device != nullptr) {
        ObReferenceObject(device);
    }
    KeReleaseSpinLock(&stack->Devices.Lock, irql);
    return device;
}

} // namespace

NTSTATUS StackQueryLive(PDEVICE_STACK Stack, ULONG IoControlCode, PVOID Data, ULONG Length, BOOLEAN RequireUsable) {
    PASSIVE_CODE();
    if (RequireUsable && Stack->Removed) {
        return STATUS_UNSUCCESSFUL;
    }
    PDEVICE_OBJECT device = TopPresentDevice(Stack, RequireUsable);
    if (device == nullptr) {
        return STATUS_UNSUCCESSFUL;
    }
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp =
        IoBuildDeviceIoControlRequest(IoControlCode, device, Data, Length, Data, Length, FALSE, &done, &ioStatus);
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    if (irp != nullptr) {
        CaptureMarkOwnRequest(irp); // request capture passes it on unrecorded
        status = IoCallDriver(device, irp);
        if (status == STATUS_PENDING) {
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
            status = ioStatus.Status;
        }
    }
    ObDereferenceObject(device);
    return status;
}
