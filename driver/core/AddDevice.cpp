// AddDevice: called by Plug and Play for every USB device's physical device object, since the driver is an
// upper filter of the USB setup class. The driver never attaches a device of its own; it only learns the
// new device stack.
//
// Locks: none of its own; recording the stack takes the device-stack tree's locks (DeviceStackTree.h).
#include "driver/core/Driver.h"
#include "driver/stacktree/DeviceStackTree.h"

NTSTATUS DriverAddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject) {
    PASSIVE_CODE();
    (void)DriverObject;
    const BOOLEAN traced = MemlogWants(MEMLOG_FLAG_TREE);
    if (traced) {
        MemlogWrite(FourCC(">Add"), reinterpret_cast<ULONG_PTR>(PhysicalDeviceObject), g_Driver.SafeMode);
    }
    // In Safe Mode the driver answers its control device but learns and hooks nothing.
    if (!g_Driver.SafeMode) {
        StackTreeAddDevice(PhysicalDeviceObject);
    }
    if (traced) {
        MemlogWrite(FourCC("<Add"), reinterpret_cast<ULONG_PTR>(PhysicalDeviceObject), 0);
    }
    return STATUS_SUCCESS;
}
