// HookedCompletion: the completion routine the driver puts in the hooked driver's stack location of every
// request it watches. It lets the request's family write the C record and learn from the request, then
// does for the caller's completion routine what the platform would have done: calls it when its control
// bits ask for this completion, or else passes a pending return on up the stack.
//
// Locks: none of its own; the family's work takes the capture log's and the tree's locks. Up to
// DISPATCH_LEVEL.
#include "driver/capture/Capture.h"

#include "driver/capture/CaptureContext.h"

NTSTATUS HookedCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    auto context = static_cast<PCOMPLETION_CONTEXT>(Context);
    const IO_STACK_LOCATION& saved = context->Saved;
    const bool control =
        saved.MajorFunction == IRP_MJ_DEVICE_CONTROL || saved.MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    const CAPTURE_FAMILY* family =
        CaptureFamilyOf(saved.MajorFunction, control ? saved.Parameters.DeviceIoControl.IoControlCode : 0);
    if (family != nullptr && family->Complete != nullptr) {
        family->Complete(DeviceObject, Irp, context);
    }

    // The caller's routine may free or reuse the IRP: nothing of the request is touched after it is called.
    PIO_COMPLETION_ROUTINE routine = saved.CompletionRoutine;
    PVOID routineContext = saved.Context;
    const UCHAR invokeOn = saved.Control;
    // Nothing of this driver's is touched from here on: once HookedDispatch has finished with the request
    // too, its unload may go ahead.
    CaptureContextDrop(context);

    const NTSTATUS status = Irp->IoStatus.Status;
    const bool invoke = routine != nullptr && ((NT_SUCCESS(status) && (invokeOn & SL_INVOKE_ON_SUCCESS)) ||
                                               (!NT_SUCCESS(status) && (invokeOn & SL_INVOKE_ON_ERROR)) ||
                                               (Irp->Cancel && (invokeOn & SL_INVOKE_ON_CANCEL)));
    if (invoke) {
        return routine(DeviceObject, Irp, routineContext);
    }
    // No routine of the caller's runs here, so the pending return of the level below goes up as the
    // platform would pass it: onto the caller's stack location, when there is one.
    if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
        IoMarkIrpPending(Irp);
    }
    return STATUS_SUCCESS;
}
