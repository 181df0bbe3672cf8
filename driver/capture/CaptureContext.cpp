// Completion contexts of captured requests (CaptureContext.h).
#include "driver/capture/CaptureContext.h"

#include "driver/capture/Capture.h"
#include "driver/stacktree/DeviceStackTree.h"

PCOMPLETION_CONTEXT CaptureContextTake(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags) {
    if (Capture->Node == nullptr) {
        return nullptr;
    }
    auto context = static_cast<PCOMPLETION_CONTEXT>(DeviceNodeContextAllocate(Capture->Node));
    if (context == nullptr) {
        return nullptr;
    }
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
    return context;
}

VOID CaptureContextGive(PCOMPLETION_CONTEXT Context) {
    DeviceNodeContextFree(Context->Node, Context);
}

BOOLEAN CaptureInstallCompletion(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags) {
    // The installed routine holds its own rundown reference until it has run (HookedCompletion drops it).
    if (!HookRundownAcquire()) {
        return FALSE;
    }
    PCOMPLETION_CONTEXT context = CaptureContextTake(Capture, Kind, Value, Flags);
    if (context == nullptr) {
        HookRundownRelease();
        return FALSE;
    }
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
