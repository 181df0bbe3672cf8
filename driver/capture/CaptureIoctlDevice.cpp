// Capture of device-control requests (IRP_MJ_DEVICE_CONTROL): the host-controller, hub and HID families,
// and the header-only "ctlC" of every other device-control request (CaptureIoctl.h).
//
// Locks: records take the capture log's lock alone. Whether a HID device's parent is captured takes the
// stack-list lock only to reference the parent, then the parent's device-list lock alone to read its list.
// Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctl.h"

#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

constexpr ULONG USB_DEVICE_TYPE = 0x22; // FILE_DEVICE_UNKNOWN, the USB stack's IOCTLs
constexpr ULONG HID_DEVICE_TYPE = 0x0B; // FILE_DEVICE_KEYBOARD, the HID class IOCTLs
constexpr USHORT HUB_DEVICE_CLASS = 9;

const RECORD_KIND* KindOf(USHORT completionKind) {
    switch (completionKind) {
    case COMPLETION_KIND_HCD: return &RecordKindHcd;
    case COMPLETION_KIND_HUB: return &RecordKindHub;
    case COMPLETION_KIND_HID: return &RecordKindHid;
    }
    return nullptr;
}

// The gate of a family: HID requests by their collection's parent, the others by the common gate.
BOOLEAN Recorded(PDEVOBJ_NODE node, USHORT completionKind) {
    return completionKind == COMPLETION_KIND_HID ? CaptureHidNodeRecorded(node) : CaptureNodeRecorded(node);
}

VOID DeviceControlDispatch(PCAPTURE_CONTEXT Capture) {
    if (Capture->OwnRequest) {
        return;
    }
    const ULONG code = Capture->StackLocation->Parameters.DeviceIoControl.IoControlCode;
    USHORT completionKind;
    switch (DeviceControlFamilyOf(code, Capture->Stack)) {
    case DeviceControlFamily::Hcd: completionKind = COMPLETION_KIND_HCD; break;
    case DeviceControlFamily::Hub: completionKind = COMPLETION_KIND_HUB; break;
    case DeviceControlFamily::Hid: completionKind = COMPLETION_KIND_HID; break;
    default:
        // No switch and no filter byte selects these: they are watched only while no filter block is in force.
        if (!g_Driver.FilterPresent && CaptureNodeRecorded(Capture->Node)) {
            CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, COMPLETION_RECORD);
        }
        return;
    }
    if (Recorded(Capture->Node, completionKind) && CaptureKindRequest(Capture, KindOf(completionKind))) {
        CaptureInstallCompletion(Capture, completionKind, 0, COMPLETION_RECORD);
    }
}

VOID DeviceControlComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT Context) {
    if (!(Context->Flags & COMPLETION_RECORD) || Context->OwnRequest || !Recorded(Context->Node, Context->Kind)) {
        return;
    }
    if (const RECORD_KIND* kind = KindOf(Context->Kind)) {
        CaptureKindCompletion(Context, Irp, kind);
        return;
    }
    const IOCTL_RECORD empty = {};
    RECORD_HEADER_INFO header;
    CaptureCompletionHeader(Context, Irp, &header);
    header.Function = Context->Saved.Parameters.DeviceIoControl.IoControlCode;
    IoctlRecordWrite(LogTag::ctlC, &empty, &header);
}

// TRUE when a device object of the stack is present and captured.
BOOLEAN StackCaptures(PDEVICE_STACK stack) {
    BOOLEAN captures = FALSE;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&stack->Devices.Lock);
    for (PLIST_ENTRY link = stack->Devices.Head.Flink; link != &stack->Devices.Head && !captures; link = link->Flink) {
        const ULONG flags = DeviceNodeFlags(CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks));
        captures = (flags & (DEVOBJ_REMOVED | DEVOBJ_CAPTURE_OFF)) == 0;
    }
    KeReleaseSpinLock(&stack->Devices.Lock, irql);
    return captures;
}

} // namespace

DeviceControlFamily DeviceControlFamilyOf(ULONG IoControlCode, const DEVICE_STACK* Stack) {
    const ULONG deviceType = DEVICE_TYPE_FROM_CTL_CODE(IoControlCode);
    if (deviceType == HID_DEVICE_TYPE) {
        return DeviceControlFamily::Hid;
    }
    if (deviceType == USB_DEVICE_TYPE && Stack != nullptr) {
        if (Stack->DeviceClass == HUB_DEVICE_CLASS) {
            return DeviceControlFamily::Hub;
        }
        if (Stack->UpperClass == UPPER_CLASS_HOST_CONTROLLER || Stack->UpperClass == UPPER_CLASS_VENDOR_XHCI) {
            return DeviceControlFamily::Hcd;
        }
    }
    return DeviceControlFamily::Other;
}

BOOLEAN CaptureHidNodeRecorded(PDEVOBJ_NODE Node) {
    if (Node == nullptr || Node->Position != 0 || !CaptureLogActive()) {
        return FALSE;
    }
    PDEVICE_STACK stack = DeviceNodeOwningStack(Node);
    if (stack == nullptr) {
        return FALSE;
    }
    // The parent may leave the tree at any time: it is read and referenced under the stack-list lock.
    const KIRQL irql = StackListLock();
    PDEVICE_STACK parent = stack->Parent;
    if (parent != nullptr) {
        StackReference(parent);
    }
    StackListUnlock(irql);
    if (parent == nullptr) {
        return FALSE;
    }
    const BOOLEAN captures = StackCaptures(parent);
    StackRelease(parent);
    return captures;
}

const CAPTURE_FAMILY CaptureFamilyDeviceControl = {nullptr, DeviceControlDispatch, nullptr, DeviceControlComplete};
