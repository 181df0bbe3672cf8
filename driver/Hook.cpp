// Hooking of USB drivers' dispatch tables (Hook.h).
#include "driver/Hook.h"

#include "driver/Capture.h"

PDRVOBJ_EXTENSION HookFindExtension(PDRIVER_OBJECT driverObject) {
    if (driverObject == nullptr || g_Driver.DriverObject == nullptr) {
        return nullptr;
    }
    return static_cast<PDRVOBJ_EXTENSION>(IoGetDriverObjectExtension(driverObject, g_Driver.DriverObject));
}

NTSTATUS HookCallSavedDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PDRIVER_DISPATCH saved = HookSavedDispatch(DeviceObject, IoGetCurrentIrpStackLocation(Irp)->MajorFunction);
    if (saved == nullptr) {
        Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        Irp->IoStatus.Information = 0;
        IoCompleteRequest(Irp, IO_NO_INCREMENT);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    return saved(DeviceObject, Irp);
}
