// File objects: what an open of a device creates. IRP_MJ_CREATE goes to the top of the device's stack when it
// is opened, IRP_MJ_CLEANUP when its last handle closes, IRP_MJ_CLOSE when its last reference goes.
#include <cstring>
#include <new>

#include "NtInterlocked.h"
#include "NtIoInternal.h"
#include "NtPool.h"

namespace nt::io {
namespace {

struct FileBlock {
    FILE_OBJECT object;
    bool opened; // IRP_MJ_CREATE succeeded, so the driver expects IRP_MJ_CLOSE
};

NTSTATUS SendFileRequest(PFILE_OBJECT file, UCHAR majorFunction, KPROCESSOR_MODE mode, ACCESS_MASK access) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(file->DeviceObject);
    PIRP irp = AllocateIoManagerIrp(top->StackSize, 0);
    if (!irp) {
        ObDereferenceObject(top);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    IO_SECURITY_CONTEXT security{};
    security.DesiredAccess = access;
    irp->RequestorMode = mode;
    irp->UserEvent = &event;
    irp->UserIosb = &ioStatus;
    irp->Tail.Overlay.OriginalFileObject = file;
    irp->Flags = IRP_SYNCHRONOUS_API | (majorFunction == IRP_MJ_CREATE  ? IRP_CREATE_OPERATION
                                        : majorFunction == IRP_MJ_CLOSE ? IRP_CLOSE_OPERATION
                                                                        : 0);
    PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
    location->MajorFunction = majorFunction;
    location->FileObject = file;
    if (majorFunction == IRP_MJ_CREATE) {
        location->Parameters.Create.SecurityContext = &security;
        location->Parameters.Create.ShareAccess = 0;
    }
    NTSTATUS status = CallAndWait(top, irp, &event, &ioStatus);
    ObDereferenceObject(top);
    return status;
}

void DestroyFile(ObjectHeader* header) {
    auto* block = static_cast<FileBlock*>(BodyOf(header));
    PFILE_OBJECT file = &block->object;
    if (block->opened) {
        SendFileRequest(file, IRP_MJ_CLOSE, KernelMode, 0);
        InterlockedDecrement(&file->DeviceObject->ReferenceCount);
    }
    PDEVICE_OBJECT device = file->DeviceObject;
    header->magic = 0;
    ExFreePoolWithTag(header, kTagFile);
    ObDereferenceObject(device);
}

} // namespace

NTSTATUS OpenFileObject(PDEVICE_OBJECT device, ACCESS_MASK desiredAccess, KPROCESSOR_MODE mode,
                        PFILE_OBJECT* fileObject) {
    PASSIVE_CODE();
    *fileObject = nullptr;
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(ObjectHeader) + sizeof(FileBlock), kTagFile);
    if (!memory) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* header = new (memory) ObjectHeader{kObjectMagic, ObjectType::File, {1}, DestroyFile};
    auto* block = static_cast<FileBlock*>(BodyOf(header));
    std::memset(static_cast<void*>(block), 0, sizeof(FileBlock));
    PFILE_OBJECT file = &block->object;
    file->Type = IO_TYPE_FILE;
    file->Size = sizeof(FILE_OBJECT);
    file->DeviceObject = device;
    file->ReadAccess = (desiredAccess & (GENERIC_READ | GENERIC_ALL | 0x1)) != 0;
    file->WriteAccess = (desiredAccess & (GENERIC_WRITE | GENERIC_ALL | 0x2)) != 0;
    ObReferenceObject(device);

    NTSTATUS status = SendFileRequest(file, IRP_MJ_CREATE, mode, desiredAccess);
    if (NT_SUCCESS(status)) {
        block->opened = true;
        InterlockedIncrement(&device->ReferenceCount);
        *fileObject = file;
    } else {
        ObDereferenceObject(file);
    }
    return status;
}

void CleanupFileObject(PFILE_OBJECT fileObject) {
    SendFileRequest(fileObject, IRP_MJ_CLEANUP, UserMode, 0);
}

} // namespace nt::io
