// Requests the I/O manager builds for drivers (and for user mode): device control and synchronous reads,
// writes, flushes, Plug and Play and power requests.
#include <algorithm>
#include <cstring>

#include "NtIoInternal.h"
#include "NtMdl.h"
#include "NtPool.h"
#include "NtSeh.h"

namespace nt::io {
namespace {

// Describes `buffer` by an MDL of the IRP and locks it; false (the MDL freed) when it cannot be locked.
bool LockUserBuffer(PIRP irp, PVOID buffer, ULONG length, KPROCESSOR_MODE mode, LOCK_OPERATION operation) {
    PMDL mdl = IoAllocateMdl(buffer, length, FALSE, FALSE, irp);
    if (!mdl) {
        return false;
    }
    try {
        MmProbeAndLockPages(mdl, mode, operation);
    } catch (const SehException&) {
        irp->MdlAddress = nullptr;
        IoFreeMdl(mdl);
        return false;
    }
    return true;
}

// One system buffer of `size` bytes for a buffered request, input copied in.
bool AllocateSystemBuffer(PIRP irp, ULONG size, const void* input, ULONG inputLength, bool outputWanted) {
    if (size == 0) {
        return true;
    }
    void* buffer = ExAllocatePoolWithTag(NonPagedPool, size, kTagSystemBuffer);
    if (!buffer) {
        return false;
    }
    if (input && inputLength) {
        std::memcpy(buffer, input, inputLength);
    }
    irp->AssociatedIrp.SystemBuffer = buffer;
    irp->Flags |= IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER;
    if (outputWanted) {
        irp->Flags |= IRP_INPUT_OPERATION;
    }
    return true;
}

// Frees what a half-built IRP holds.
PIRP Abandon(PIRP irp) {
    if ((irp->Flags & IRP_DEALLOCATE_BUFFER) && irp->AssociatedIrp.SystemBuffer) {
        ExFreePoolWithTag(irp->AssociatedIrp.SystemBuffer, kTagSystemBuffer);
    }
    while (PMDL mdl = irp->MdlAddress) {
        irp->MdlAddress = mdl->Next;
        IoFreeMdl(mdl);
    }
    IoFreeIrp(irp);
    return nullptr;
}

} // namespace

PIRP BuildDeviceControl(PDEVICE_OBJECT device, const DeviceControlRequest& request, PKEVENT event,
                        PIO_STATUS_BLOCK ioStatus) {
    const ULONG method = METHOD_FROM_CTL_CODE(request.code);
    PIRP irp = AllocateIoManagerIrp(device->StackSize, method == METHOD_BUFFERED ? request.outputLength : 0);
    if (!irp) {
        return nullptr;
    }
    irp->RequestorMode = request.mode;
    irp->UserIosb = ioStatus;
    irp->UserEvent = event;
    irp->Tail.Overlay.OriginalFileObject = request.file;
    PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
    location->MajorFunction = request.internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    location->FileObject = request.file;
    location->Parameters.DeviceIoControl.OutputBufferLength = request.outputLength;
    location->Parameters.DeviceIoControl.InputBufferLength = request.inputLength;
    location->Parameters.DeviceIoControl.IoControlCode = request.code;

    switch (method) {
    case METHOD_BUFFERED:
        if (!AllocateSystemBuffer(irp, std::max(request.inputLength, request.outputLength), request.input,
                                  request.inputLength, request.output && request.outputLength)) {
            return Abandon(irp);
        }
        irp->UserBuffer = request.output;
        break;
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
        if (request.input && request.inputLength &&
            !AllocateSystemBuffer(irp, request.inputLength, request.input, request.inputLength, false)) {
            return Abandon(irp);
        }
        if (request.output && request.outputLength &&
            !LockUserBuffer(irp, request.output, request.outputLength, request.mode,
                            method == METHOD_IN_DIRECT ? IoReadAccess : IoWriteAccess)) {
            return Abandon(irp);
        }
        break;
    default: // METHOD_NEITHER: the driver gets the caller's own pointers.
        location->Parameters.DeviceIoControl.Type3InputBuffer = request.input;
        irp->UserBuffer = request.output;
        break;
    }
    return irp;
}

} // namespace nt::io

using namespace nt::io;

PIRP IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject, PVOID InputBuffer,
                                   ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength,
                                   BOOLEAN InternalDeviceIoControl, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock) {
    DeviceControlRequest request;
    request.code = IoControlCode;
    request.input = InputBuffer;
    request.inputLength = InputBufferLength;
    request.output = OutputBuffer;
    request.outputLength = OutputBufferLength;
    request.internal = InternalDeviceIoControl != FALSE;
    return BuildDeviceControl(DeviceObject, request, Event, IoStatusBlock);
}

PIRP IoBuildSynchronousFsdRequest(ULONG MajorFunction, PDEVICE_OBJECT DeviceObject, PVOID Buffer, ULONG Length,
                                  PLARGE_INTEGER StartingOffset, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock) {
    const bool transfer = MajorFunction == IRP_MJ_READ || MajorFunction == IRP_MJ_WRITE;
    PIRP irp = AllocateIoManagerIrp(DeviceObject->StackSize, MajorFunction == IRP_MJ_READ ? Length : 0);
    if (!irp) {
        return nullptr;
    }
    irp->UserIosb = IoStatusBlock;
    irp->UserEvent = Event;
    PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
    location->MajorFunction = static_cast<UCHAR>(MajorFunction);
    if (transfer) {
        const bool read = MajorFunction == IRP_MJ_READ;
        location->Parameters.Read.Length = Length;
        if (StartingOffset) {
            location->Parameters.Read.ByteOffset = *StartingOffset;
        }
        if (DeviceObject->Flags & DO_BUFFERED_IO) {
            if (!AllocateSystemBuffer(irp, Length, read ? nullptr : Buffer, read ? 0 : Length, read)) {
                return Abandon(irp);
            }
            irp->UserBuffer = Buffer;
        } else if (DeviceObject->Flags & DO_DIRECT_IO) {
            if (Length && !LockUserBuffer(irp, Buffer, Length, KernelMode, read ? IoWriteAccess : IoReadAccess)) {
                return Abandon(irp);
            }
        } else {
            irp->UserBuffer = Buffer;
        }
    }
    return irp;
}
