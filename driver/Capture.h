// The meeting point of hooking and request capture: the dispatch routine patched into hooked drivers, and
// how it reaches the routines those drivers had before.
#pragma once

#include "ntddk.h"

#include "driver/Hook.h"

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

// Passes `Irp` on to the saved routine of the device object's driver without recording it. A request whose
// driver is no longer hooked (a race with this driver's unload) is completed with
// STATUS_INVALID_DEVICE_REQUEST.
NTSTATUS HookCallSavedDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp);
