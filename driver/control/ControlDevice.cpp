// The control device "\Device\KxTdloft" and its link "\DosDevices\Tindaloft", through which the application
// steers the driver ("\\.\Tindaloft").
//
// Locks: none; created at entry and deleted at unload, both at PASSIVE_LEVEL with nothing else running.
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"

namespace {

const UNICODE_STRING g_deviceName = RTL_CONSTANT_STRING(u"\\Device\\KxTdloft");
const UNICODE_STRING g_linkName = RTL_CONSTANT_STRING(u"\\DosDevices\\Tindaloft");

PCONTROL_DEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT device) {
    return static_cast<PCONTROL_DEVICE_EXTENSION>(device->DeviceExtension);
}

void ControlDeviceNamesFree(PCONTROL_DEVICE_EXTENSION extension) {
    DriverFreeUnicodeString(&extension->LinkName);
    DriverFreeUnicodeString(&extension->DeviceName);
}

} // namespace

NTSTATUS ControlDeviceCreate(PDRIVER_OBJECT driverObject) {
    PASSIVE_CODE();
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driverObject, sizeof(CONTROL_DEVICE_EXTENSION), const_cast<PUNICODE_STRING>(&g_deviceName),
                       FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    PCONTROL_DEVICE_EXTENSION extension = ExtensionOf(device);
    RtlZeroMemory(extension, sizeof *extension);
    extension->DeviceObject = device;

    status = DriverCopyUnicodeString(&extension->DeviceName, &g_deviceName);
    if (NT_SUCCESS(status)) {
        status = DriverCopyUnicodeString(&extension->LinkName, &g_linkName);
    }
    if (NT_SUCCESS(status)) {
        status = IoCreateSymbolicLink(&extension->LinkName, &extension->DeviceName);
    }
    if (!NT_SUCCESS(status)) {
        ControlDeviceNamesFree(extension);
        IoDeleteDevice(device);
        return status;
    }

    device->Flags &= ~DO_DEVICE_INITIALIZING;
    g_Driver.ControlDevice = device;
    return STATUS_SUCCESS;
}

void ControlDeviceDelete(void) {
    PASSIVE_CODE();
    PDEVICE_OBJECT device = g_Driver.ControlDevice;
    if (device == nullptr) {
        return;
    }
    g_Driver.ControlDevice = nullptr;
    PCONTROL_DEVICE_EXTENSION extension = ExtensionOf(device);
    IoDeleteSymbolicLink(&extension->LinkName);
    ControlDeviceNamesFree(extension);
    IoDeleteDevice(device);
}
