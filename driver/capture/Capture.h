// The meeting point of hooking and request capture: the dispatch routine patched into hooked drivers, and
// how it reaches the routines those drivers had before.
#pragma once

#include "ntddk.h"

#include "driver/hook/Hook.h"

// Patched into MajorFunction[IRP_MJ_DEVICE_CONTROL], [IRP_MJ_INTERNAL_DEVICE_CONTROL], [IRP_MJ_PNP] and
// [IRP_MJ_POWER] of every hooked driver. Records the request as the settings ask and passes it to the routine
// the device object's driver had saved for the request's major function.
DRIVER_DISPATCH HookedDispatch;

// The routine the driver of `deviceObject` had for `majorFunction` before it was hooked; null when that
// driver is not hooked. Reads the saved table without a lock: it is written once, before the entries that
// lead here are replaced.
inline PDRIVER_DISPATCH HookSavedDispatch(PDEVICE_OBJECT deviceObject, UCHAR majorFunction) {
    PDRVOBJ_EXTENSION extension = HookFindExtension(deviceObject->DriverObject);
    if (extension == nullptr || majorFunction >= HOOKED_MAJOR_FUNCTION_COUNT) {
        return nullptr;
    }
    return extension->SavedMajorFunction[majorFunction];
}

// --- Request capture ---
//
// HookedDispatch finds the device object's node, sorts the request into its family and lets the family's
// Dispatch decide what to record before the call (the I record, the mode, the completion routine). After the
// saved dispatch routine returns it writes the R record (mode 1) or runs the family's PostDispatch (mode 2,
// never after STATUS_PENDING, when the IRP may be gone). HookedCompletion runs the family's Complete (the C
// record and what the device-stack tree learns) before it calls the completion routine the caller had set.
//
// A family is one file of routines; a family without routines (a null entry in CaptureFamilyOf) passes its
// requests on unrecorded and unwatched.

struct _CAPTURE_CONTEXT;
struct _COMPLETION_CONTEXT;

typedef struct _CAPTURE_FAMILY {
    // Whether the request can matter at all (be recorded or teach the tree), judged from the request alone
    // before its device object's node is looked up; null: always. A request that cannot is passed on at once.
    BOOLEAN (*MayMatter)(PIO_STACK_LOCATION Location);
    // Before the call: gates, the I record, Mode/ReturnTag/ReturnFunction, the completion routine.
    VOID (*Dispatch)(struct _CAPTURE_CONTEXT* Capture);
    // Mode 2, after a call that did not return STATUS_PENDING; may be null. The framework gives the
    // completion context (Capture->Completion) back afterwards.
    VOID (*PostDispatch)(struct _CAPTURE_CONTEXT* Capture);
    // At completion, before the caller's completion routine runs (the request's buffers are still the
    // caller's): the C record and learning. The framework calls the caller's routine and gives the context
    // back.
    VOID (*Complete)(PDEVICE_OBJECT DeviceObject, PIRP Irp, struct _COMPLETION_CONTEXT* Context);
} CAPTURE_FAMILY;

// URB requests (IOCTL_INTERNAL_USB_SUBMIT_URB): CaptureUrb.cpp.
extern const CAPTURE_FAMILY CaptureFamilyUrb;
// The other internal USB requests the driver knows: CaptureIoctlInternal.cpp.
extern const CAPTURE_FAMILY CaptureFamilyInternal;
// Device-control requests (host-controller, hub, HID and the others' completions): CaptureIoctlDevice.cpp.
extern const CAPTURE_FAMILY CaptureFamilyDeviceControl;
// Power requests: CapturePower.cpp. Plug and Play requests and the tree upkeep they carry: CapturePnp.cpp.
extern const CAPTURE_FAMILY CaptureFamilyPower;
extern const CAPTURE_FAMILY CaptureFamilyPnp;

// The family of a request with this major function and (for device-control requests) control code; null
// when the driver does not capture such requests.
const CAPTURE_FAMILY* CaptureFamilyOf(UCHAR MajorFunction, ULONG IoControlCode);

// The completion routine put in the hooked driver's stack location of every watched request; its context is
// the request's COMPLETION_CONTEXT.
IO_COMPLETION_ROUTINE HookedCompletion;

// Unload safety. This driver's unload gives the hooked drivers their entries back and then waits until no
// request is inside HookedDispatch and no HookedCompletion is left in a request's path, before it frees the
// logs, nodes and tables these routines use. So HookedDispatch holds a rundown reference (HookRundownAcquireFor
// and HookRundownReleaseFor, Hook.h, keyed by the request's stack location) for as long as it runs, and an
// installed completion routine shares it from the moment it is put in the request's path until it has run:
// the reference is dropped when both are done (CaptureContextDrop, CaptureContext.h).
