// Completion contexts of captured requests (CaptureContext.h).
#include "driver/capture/CaptureContext.h"

#include "driver/capture/Capture.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

VOID FillContext(PCOMPLETION_CONTEXT context, PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags) {
    context->DeviceObject = Capture->DeviceObject;
    context->Node = Capture->Node;
    context->SavedDispatch = Capture->SavedDispatch;
    context->Value = Value;
    context->Capture = nullptr;
    RtlCopyMemory(&context->Saved, Capture->StackLocation, sizeof context->Saved);
    context->StackLocation = Capture->StackLocation;
    context->Kind = Kind;
    context->OwnRequest = Capture->OwnRequest ? 1 : 0;
    context->Flags = Flags;
    context->Holders = 0;
}

} // namespace

PCOMPLETION_CONTEXT CaptureContextTake(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags) {
    if (Capture->Node == nullptr) {
        return nullptr;
    }
    auto context = static_cast<PCOMPLETION_CONTEXT>(DeviceNodeContextAllocate(Capture->Node));
    if (context != nullptr) {
        FillContext(context, Capture, Kind, Value, Flags);
    }
    return context;
}

VOID CaptureContextGive(PCOMPLETION_CONTEXT Context) {
    DeviceNodeContextFree(Context->Node, Context);
}

VOID CaptureContextDrop(PCOMPLETION_CONTEXT Context) {
    // A holder that finds the count at 1 holds the context alone: the other has dropped it and touches it no
    // more, so no interlocked step is needed (the common case of a request completed within its dispatch).
    if (__atomic_load_n(&Context->Holders, __ATOMIC_ACQUIRE) == 1 || InterlockedDecrement(&Context->Holders) == 0) {
        PIO_STACK_LOCATION location = Context->StackLocation; // the key HookedDispatch acquired with
        CaptureContextGive(Context);
        HookRundownReleaseFor(location); // nothing of this driver's is touched after this
    }
}

BOOLEAN CaptureInstallCompletion(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags) {
    if (Capture->Node == nullptr || Capture->Watched != nullptr || HookRundownUnloading()) {
        return FALSE;
    }
    // The routine shares the references HookedDispatch holds for the request (the node's and the rundown's)
    // rather than taking its own: the two are let go once, by whichever finishes last.
    auto context = static_cast<PCOMPLETION_CONTEXT>(DeviceNodeContextAllocateWithReference(Capture->Node));
    if (context == nullptr) {
        return FALSE;
    }
    FillContext(context, Capture, Kind, Value, Flags);
    context->Holders = 2;
    Capture->Watched = context;
    PIO_STACK_LOCATION location = Capture->StackLocation;
    location->CompletionRoutine = HookedCompletion;
    location->Context = context;
    location->Control |= SL_INVOKE_ON_SUCCESS | SL_INVOKE_ON_ERROR | SL_INVOKE_ON_CANCEL;
    return TRUE;
}

BOOLEAN CapturePostProcess(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value) {
    PCOMPLETION_CONTEXT context = CaptureContextTake(Capture, Kind, Value, 0);
    if (context == nullptr) {
        return FALSE;
    }
    context->Capture = Capture;
    Capture->Completion = context;
    Capture->Mode = CAPTURE_MODE_POST;
    return TRUE;
}

VOID CaptureHeader(const CAPTURE_CONTEXT* Capture, PRECORD_HEADER_INFO Header) {
    RtlZeroMemory(Header, sizeof *Header);
    Header->StackCount = Capture->StackCount;
    Header->CurrentLocation = Capture->CurrentLocation;
    Header->StackID = Capture->StackID;
    Header->DeviceObject = reinterpret_cast<ULONG64>(Capture->DeviceObject);
    Header->Irp = reinterpret_cast<ULONG64>(Capture->Irp);
    Header->StackLocation = reinterpret_cast<ULONG64>(Capture->StackLocation);
}

VOID CaptureCompletionHeader(const COMPLETION_CONTEXT* Context, PIRP Irp, PRECORD_HEADER_INFO Header) {
    RtlZeroMemory(Header, sizeof *Header);
    const DEVICE_STACK* stack = DeviceNodeOwningStack(Context->Node);
    Header->StackCount = static_cast<UCHAR>(Irp->StackCount);
    Header->CurrentLocation = static_cast<UCHAR>(Irp->CurrentLocation);
    Header->StackID = stack != nullptr ? static_cast<USHORT>(stack->StackID) : 0;
    Header->DeviceObject = reinterpret_cast<ULONG64>(Context->DeviceObject);
    Header->Irp = reinterpret_cast<ULONG64>(Irp);
    Header->StackLocation = reinterpret_cast<ULONG64>(Context->StackLocation);
    Header->Status = Irp->IoStatus.Status;
}
