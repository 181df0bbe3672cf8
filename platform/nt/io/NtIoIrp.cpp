// IRPs: allocation, IoCallDriver, the completion walk with its final processing, completion routines set
// through IoSetCompletionRoutineEx, and cancellation.
#include <cstring>
#include <new>

#include "NtIoInternal.h"
#include "NtMdl.h"
#include "NtPool.h"

#ifndef CANCEL_STATE_IN_COMPLETED_IRP
#define CANCEL_STATE_IN_COMPLETED_IRP 0x00000048
#endif

namespace nt::io {
namespace {

// The dispatch calls under way on this thread, innermost first (thread-local: nothing shared is written).
struct DispatchFrame;
thread_local DispatchFrame* t_innermostDispatch = nullptr;

struct DispatchFrame {
    explicit DispatchFrame(PDEVICE_OBJECT target) : device(target), outer(t_innermostDispatch) {
        t_innermostDispatch = this;
    }
    ~DispatchFrame() {
        t_innermostDispatch = outer;
        if (held) {
            ObDereferenceObject(device);
        }
    }
    DispatchFrame(const DispatchFrame&) = delete;
    DispatchFrame& operator=(const DispatchFrame&) = delete;

    PDEVICE_OBJECT device;
    DispatchFrame* outer;
    bool held = false; // deleted by its own dispatch: this frame keeps its memory
};

// IRPs from IoAllocateIrp carry this prefix; IRPs a driver built in its own memory (IoInitializeIrp) do not.
struct alignas(16) IrpPrefix {
    ULONG magic;
    ULONG flags;
    ULONG userOutputLength; // bound of the buffered copy-back
    ULONG reserved;
};
constexpr ULONG kIrpMagic = 0x50707249;      // "IrpP"
constexpr UCHAR kAllocatedWithPrefix = 0x80; // AllocationFlags bit of the stand-in's own
constexpr ULONG kIoManagerIrp = 0x1;

IrpPrefix* PrefixOf(PIRP irp) {
    return (irp->AllocationFlags & kAllocatedWithPrefix) ? reinterpret_cast<IrpPrefix*>(irp) - 1 : nullptr;
}

KSPIN_LOCK g_cancelLock = 0;

[[noreturn]] void IrpBugCheck(ULONG code, const char* text, PIRP irp, ULONG_PTR p2 = 0) {
    BugCheck(code, text, reinterpret_cast<ULONG_PTR>(irp), p2);
}

// What the platform clears in a stack location the completion walk has passed.
void ClearStackLocation(PIO_STACK_LOCATION location) {
    location->MinorFunction = 0;
    location->Flags = 0;
    location->Control = 0;
    std::memset(&location->Parameters, 0, sizeof location->Parameters);
    location->FileObject = nullptr;
}

// The end of the walk for an IRP the I/O manager built.
void FinishIoManagerIrp(PIRP irp) {
    IrpPrefix* prefix = PrefixOf(irp);
    if (!prefix || !(prefix->flags & kIoManagerIrp)) {
        IrpBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                    "IoCompleteRequest: an IRP its owner allocated finished its completion walk; the owner's "
                    "completion routine must return STATUS_MORE_PROCESSING_REQUIRED and free it",
                    irp);
    }
    if (irp->Flags & IRP_BUFFERED_IO) {
        if ((irp->Flags & IRP_INPUT_OPERATION) && !NT_ERROR(irp->IoStatus.Status) && irp->UserBuffer &&
            irp->AssociatedIrp.SystemBuffer) {
            ULONG_PTR length = irp->IoStatus.Information;
            if (length > prefix->userOutputLength) {
                length = prefix->userOutputLength;
            }
            std::memcpy(irp->UserBuffer, irp->AssociatedIrp.SystemBuffer, length);
        }
        if ((irp->Flags & IRP_DEALLOCATE_BUFFER) && irp->AssociatedIrp.SystemBuffer) {
            ExFreePoolWithTag(irp->AssociatedIrp.SystemBuffer, kTagSystemBuffer);
            irp->AssociatedIrp.SystemBuffer = nullptr;
        }
    }
    while (PMDL mdl = irp->MdlAddress) {
        irp->MdlAddress = mdl->Next;
        IoFreeMdl(mdl);
    }
    if (irp->UserIosb) {
        *irp->UserIosb = irp->IoStatus;
    }
    PKEVENT event = irp->UserEvent;
    IoFreeIrp(irp);
    // The waiter may run on as soon as the event is set, so the IRP is gone by then.
    if (event) {
        KeSetEvent(event, IO_NO_INCREMENT, FALSE);
    }
}

// Context of a completion routine set with IoSetCompletionRoutineEx.
struct CompletionEx {
    PIO_COMPLETION_ROUTINE routine;
    PVOID context;
    PDEVICE_OBJECT device;
    UCHAR control;
};

NTSTATUS CompletionExRoutine(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    auto* ex = static_cast<CompletionEx*>(Context);
    NTSTATUS status = Irp->IoStatus.Status;
    bool invoke = (NT_SUCCESS(status) && (ex->control & SL_INVOKE_ON_SUCCESS)) ||
                  (!NT_SUCCESS(status) && (ex->control & SL_INVOKE_ON_ERROR)) ||
                  (Irp->Cancel && (ex->control & SL_INVOKE_ON_CANCEL));
    NTSTATUS result = STATUS_SUCCESS;
    if (invoke) {
        result = ex->routine(DeviceObject, Irp, ex->context);
    } else if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
        // What the walk does for a location whose routine is not called.
        IoMarkIrpPending(Irp);
    }
    PDEVICE_OBJECT device = ex->device;
    ExFreePoolWithTag(ex, kTagCompletion);
    ObDereferenceObject(device);
    return result;
}

} // namespace

PIRP AllocateIoManagerIrp(CCHAR stackSize, ULONG userOutputLength) {
    PIRP irp = IoAllocateIrp(stackSize, FALSE);
    if (irp) {
        IrpPrefix* prefix = PrefixOf(irp);
        prefix->flags |= kIoManagerIrp;
        prefix->userOutputLength = userOutputLength;
    }
    return irp;
}

bool IsIoManagerIrp(PIRP irp) {
    IrpPrefix* prefix = PrefixOf(irp);
    return prefix && (prefix->flags & kIoManagerIrp);
}

NTSTATUS CallAndWait(PDEVICE_OBJECT device, PIRP irp, PKEVENT event, PIO_STATUS_BLOCK ioStatus) {
    NTSTATUS status = IoCallDriver(device, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(event, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus->Status;
    }
    return status;
}

} // namespace nt::io

using namespace nt::io;

void IoInitializeIrp(PIRP Irp, USHORT PacketSize, CCHAR StackSize) {
    std::memset(Irp, 0, PacketSize);
    Irp->Type = IO_TYPE_IRP;
    Irp->Size = PacketSize;
    Irp->StackCount = StackSize;
    Irp->CurrentLocation = static_cast<CHAR>(StackSize + 1);
    InitializeListHead(&Irp->ThreadListEntry);
    Irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(Irp + 1) + StackSize;
}

PIRP IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota) {
    if (StackSize < 1) {
        nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "IoAllocateIrp: a stack size of at least 1 is needed",
                     static_cast<ULONG_PTR>(StackSize));
    }
    USHORT packetSize = IoSizeOfIrp(StackSize);
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(IrpPrefix) + packetSize, kTagIrp);
    if (!memory) {
        return nullptr;
    }
    auto* prefix = new (memory) IrpPrefix{kIrpMagic, 0, 0, 0};
    auto irp = reinterpret_cast<PIRP>(prefix + 1);
    IoInitializeIrp(irp, packetSize, StackSize);
    irp->AllocationFlags = kAllocatedWithPrefix | (ChargeQuota ? IRP_QUOTA_CHARGED : 0);
    return irp;
}

void IoFreeIrp(PIRP Irp) {
    IrpPrefix* prefix = Irp->Type == IO_TYPE_IRP ? PrefixOf(Irp) : nullptr;
    if (!prefix || prefix->magic != kIrpMagic) {
        IrpBugCheck(BAD_POOL_CALLER, "IoFreeIrp: not an IRP from IoAllocateIrp (or freed already)", Irp);
    }
    if (Irp->CancelRoutine) {
        IrpBugCheck(CANCEL_STATE_IN_COMPLETED_IRP, "IoFreeIrp: the IRP still has a cancel routine", Irp);
    }
    Irp->Type = 0;
    prefix->magic = 0;
    ExFreePoolWithTag(prefix, kTagIrp);
}

void IoReuseIrp(PIRP Irp, NTSTATUS Status) {
    if (Irp->CancelRoutine) {
        IrpBugCheck(CANCEL_STATE_IN_COMPLETED_IRP, "IoReuseIrp: the IRP still has a cancel routine", Irp);
    }
    UCHAR allocationFlags = Irp->AllocationFlags;
    IoInitializeIrp(Irp, Irp->Size, Irp->StackCount);
    Irp->AllocationFlags = allocationFlags;
    Irp->IoStatus.Status = Status;
}

NTSTATUS IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    if (KeGetCurrentIrql() > DISPATCH_LEVEL) {
        IrpBugCheck(IRQL_NOT_LESS_OR_EQUAL, "IoCallDriver: called above DISPATCH_LEVEL", Irp);
    }
    Irp->CurrentLocation--;
    if (Irp->CurrentLocation <= 0) {
        IrpBugCheck(NO_MORE_IRP_STACK_LOCATIONS, "IoCallDriver: the IRP has no stack location left for the device", Irp,
                    reinterpret_cast<ULONG_PTR>(DeviceObject));
    }
    PIO_STACK_LOCATION location = --Irp->Tail.Overlay.CurrentStackLocation;
    location->DeviceObject = DeviceObject;
    if (location->MajorFunction > IRP_MJ_MAXIMUM_FUNCTION) {
        IrpBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "IoCallDriver: invalid major function code", Irp,
                    location->MajorFunction);
    }
    // No reference is taken per call: whoever sends the request holds the device (the Plug and Play manager
    // its stack's top, an attachment the device below, an open file its device), and a count shared by every
    // processor written on every request would make them all queue for one cache line. Only a device its own
    // dispatch deletes is held, through this thread's frame.
    DispatchFrame frame(DeviceObject);
    return DeviceObject->DriverObject->MajorFunction[location->MajorFunction](DeviceObject, Irp);
}

void nt::io::HoldDeviceDeletedInDispatch(PDEVICE_OBJECT device) {
    DispatchFrame* outermost = nullptr;
    for (DispatchFrame* frame = t_innermostDispatch; frame; frame = frame->outer) {
        if (frame->device == device) {
            outermost = frame;
        }
    }
    if (outermost && !outermost->held) {
        outermost->held = true;
        ObReferenceObject(device);
    }
}

void IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost) {
    (void)PriorityBoost;
    // An IRP no driver holds (its walk has ended, or it was never sent) cannot be completed.
    if (Irp->Type != IO_TYPE_IRP || Irp->CurrentLocation > Irp->StackCount) {
        IrpBugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS, "IoCompleteRequest: the IRP was completed already", Irp);
    }
    if (Irp->IoStatus.Status == STATUS_PENDING) {
        IrpBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "IoCompleteRequest: completed with STATUS_PENDING", Irp);
    }
    if (Irp->CancelRoutine) {
        IrpBugCheck(CANCEL_STATE_IN_COMPLETED_IRP, "IoCompleteRequest: the IRP still has a cancel routine", Irp);
    }
    if (KeGetCurrentIrql() > DISPATCH_LEVEL) {
        IrpBugCheck(IRQL_NOT_LESS_OR_EQUAL, "IoCompleteRequest: called above DISPATCH_LEVEL", Irp);
    }

    const CHAR past = static_cast<CHAR>(Irp->StackCount + 1);
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
    for (Irp->CurrentLocation++, Irp->Tail.Overlay.CurrentStackLocation++; Irp->CurrentLocation <= past;
         location++, Irp->CurrentLocation++, Irp->Tail.Overlay.CurrentStackLocation++) {
        // Each level sees whether the level below it returned STATUS_PENDING.
        Irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        const NTSTATUS status = Irp->IoStatus.Status;
        const UCHAR control = location->Control;
        const bool invoke = (NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                            (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                            (Irp->Cancel && (control & SL_INVOKE_ON_CANCEL));
        PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
        PVOID context = location->Context;
        ClearStackLocation(location);
        if (invoke && routine) {
            // The routine runs for the driver that set it: the owner of the location above.
            PDEVICE_OBJECT device =
                Irp->CurrentLocation == past ? nullptr : IoGetCurrentIrpStackLocation(Irp)->DeviceObject;
            if (routine(device, Irp, context) == STATUS_MORE_PROCESSING_REQUIRED) {
                return;
            }
        } else if (Irp->PendingReturned && Irp->CurrentLocation < past) {
            IoMarkIrpPending(Irp);
        }
    }
    FinishIoManagerIrp(Irp);
}

NTSTATUS IoSetCompletionRoutineEx(PDEVICE_OBJECT DeviceObject, PIRP Irp, PIO_COMPLETION_ROUTINE CompletionRoutine,
                                  PVOID Context, BOOLEAN InvokeOnSuccess, BOOLEAN InvokeOnError,
                                  BOOLEAN InvokeOnCancel) {
    auto* ex = static_cast<CompletionEx*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(CompletionEx), kTagCompletion));
    if (!ex) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    ex->routine = CompletionRoutine;
    ex->context = Context;
    ex->device = DeviceObject;
    ex->control =
        static_cast<UCHAR>((InvokeOnSuccess ? SL_INVOKE_ON_SUCCESS : 0) | (InvokeOnError ? SL_INVOKE_ON_ERROR : 0) |
                           (InvokeOnCancel ? SL_INVOKE_ON_CANCEL : 0));
    ObReferenceObject(DeviceObject);
    IoSetCompletionRoutine(Irp, CompletionExRoutine, ex, TRUE, TRUE, TRUE);
    return STATUS_SUCCESS;
}

void IoAcquireCancelSpinLock(PKIRQL Irql) {
    KeAcquireSpinLock(&g_cancelLock, Irql);
}

void IoReleaseCancelSpinLock(KIRQL Irql) {
    KeReleaseSpinLock(&g_cancelLock, Irql);
}

BOOLEAN IoCancelIrp(PIRP Irp) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    Irp->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(Irp, nullptr);
    if (!routine) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    if (Irp->CurrentLocation > Irp->StackCount) {
        IoReleaseCancelSpinLock(irql);
        IrpBugCheck(CANCEL_STATE_IN_COMPLETED_IRP, "IoCancelIrp: a cancel routine is set on an IRP no driver holds",
                    Irp);
    }
    Irp->CancelIrql = irql;
    // The routine releases the cancel spin lock.
    routine(IoGetCurrentIrpStackLocation(Irp)->DeviceObject, Irp);
    return TRUE;
}

NTSTATUS PoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    return IoCallDriver(DeviceObject, Irp);
}

void PoStartNextPowerIrp(PIRP Irp) {
    (void)Irp;
}

POWER_STATE PoSetPowerState(PDEVICE_OBJECT DeviceObject, POWER_STATE_TYPE Type, POWER_STATE State) {
    (void)DeviceObject;
    (void)Type;
    return State;
}
