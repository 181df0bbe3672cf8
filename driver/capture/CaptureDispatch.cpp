// HookedDispatch: the dispatch routine patched into hooked drivers, and the families of requests it
// captures.
//
// Locks: none held across the call to the hooked driver. The node lookup takes the device-object table's
// lock, records take the capture log's, each alone. Up to DISPATCH_LEVEL.
#include "driver/capture/Capture.h"

#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"
#include "driver/capture/CaptureIoctl.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "usbioctl.h"

namespace {

// The R record: the header only, with the values taken before the call and the routine's return value.
VOID WriteReturnRecord(PCAPTURE_CONTEXT capture) {
    if (!CaptureLogActive()) {
        return;
    }
    RECORD_HEADER_INFO header;
    CaptureHeader(capture, &header);
    header.Function = capture->ReturnFunction;
    header.Status = capture->Status;
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, capture->ReturnTag, 0, 0);
    record.Header = &header;
    LogWriteRecord(g_Driver.CaptureLog, &record, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

// Each family lives in a file of its own; a null entry passes the requests of its kind on untouched.
const CAPTURE_FAMILY* CaptureFamilyOf(UCHAR MajorFunction, ULONG IoControlCode) {
    switch (MajorFunction) {
    case IRP_MJ_INTERNAL_DEVICE_CONTROL:
        if (IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB) {
            return &CaptureFamilyUrb;
        }
        return IsRecordedInternalIoctl(IoControlCode) ? &CaptureFamilyInternal : nullptr;
    case IRP_MJ_DEVICE_CONTROL: // host-controller, hub and HID requests, and the others' completions
        return &CaptureFamilyDeviceControl;
    case IRP_MJ_POWER: return &CaptureFamilyPower;
    case IRP_MJ_PNP: return &CaptureFamilyPnp;
    }
    return nullptr;
}

NTSTATUS HookedDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
    const UCHAR major = location->MajorFunction;
    PDRIVER_DISPATCH saved = HookSavedDispatch(DeviceObject, major);
    if (saved == nullptr) {
        // The device object's driver is not (or no longer) hooked: there is no routine to pass it to.
        Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        Irp->IoStatus.Information = 0;
        IoCompleteRequest(Irp, IO_NO_INCREMENT);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    const bool control = major == IRP_MJ_DEVICE_CONTROL || major == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    const CAPTURE_FAMILY* family =
        CaptureFamilyOf(major, control ? location->Parameters.DeviceIoControl.IoControlCode : 0);
    if (family == nullptr || (family->MayMatter != nullptr && !family->MayMatter(location)) ||
        !HookRundownAcquireFor(location)) {
        // Not a request this driver captures or learns from, or this driver is unloading: passed on untouched.
        return saved(DeviceObject, Irp);
    }

    CAPTURE_CONTEXT capture = {};
    capture.DeviceObject = DeviceObject;
    capture.Irp = Irp;
    capture.StackLocation = location;
    capture.StackCount = static_cast<UCHAR>(Irp->StackCount);
    capture.CurrentLocation = static_cast<UCHAR>(Irp->CurrentLocation);
    capture.Mode = CAPTURE_MODE_NONE;
    capture.SavedDispatch = saved;
    capture.OwnRequest = CaptureIsOwnRequest(Irp);
    capture.Node = FindDeviceNode(DeviceObject, TRUE);
    if (capture.Node != nullptr) {
        capture.Stack = DeviceNodeOwningStack(capture.Node);
        capture.StackID = capture.Stack != nullptr ? static_cast<USHORT>(capture.Stack->StackID) : 0;
    }

    family->Dispatch(&capture);
    capture.Status = saved(DeviceObject, Irp);
    // From here on the IRP may have completed and be gone: only the values taken above are used, except by
    // post-processing, which never runs after a pending return.
    switch (capture.Mode) {
    case CAPTURE_MODE_RETURN: WriteReturnRecord(&capture); break;
    case CAPTURE_MODE_POST:
        if (capture.Status != STATUS_PENDING && family->PostDispatch != nullptr) {
            family->PostDispatch(&capture);
        }
        break;
    }
    if (capture.Completion != nullptr) {
        CaptureContextGive(capture.Completion);
    }
    if (capture.Watched != nullptr) {
        CaptureContextDrop(capture.Watched); // the node and rundown references went with it
    } else {
        if (capture.Node != nullptr) {
            DeviceNodeRelease(capture.Node);
        }
        HookRundownReleaseFor(location);
    }
    return capture.Status;
}
