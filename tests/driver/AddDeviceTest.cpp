// AddDevice: as the upper filter of the USB setup class, the driver is called for every new USB device and
// puts no device of its own into the stack.
#include <algorithm>

#include "ntddk.h"

#include "NtPnpControl.h"
#include "common/ControlCodes.h"
#include "driver/core/Driver.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

// A function driver that attaches above the device's PDO and passes every request down.
struct FunctionExtension {
    PDEVICE_OBJECT lower;
};

NTSTATUS FunctionDispatch(PDEVICE_OBJECT device, PIRP irp) {
    PDEVICE_OBJECT lower = static_cast<FunctionExtension*>(device->DeviceExtension)->lower;
    const bool remove = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_PNP &&
                        IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_REMOVE_DEVICE;
    IoSkipCurrentIrpStackLocation(irp);
    const NTSTATUS status = IoCallDriver(lower, irp);
    if (remove) {
        IoDetachDevice(lower);
        IoDeleteDevice(device);
    }
    return status;
}

NTSTATUS FunctionAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(FunctionExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    static_cast<FunctionExtension*>(device->DeviceExtension)->lower = IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS FunctionDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& routine : driver->MajorFunction) {
        routine = FunctionDispatch;
    }
    driver->DriverExtension->AddDevice = FunctionAddDevice;
    return STATUS_SUCCESS;
}

class AddDevice : public DriverFixture {};

TEST_F(AddDevice, IsCalledForEachUsbDeviceAndAttachesNothing) {
    RegistrySetDword(kParametersKey, u"MemlogFlags", MEMLOG_FLAG_TREE);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    nt::pnp::RegisterDriverImage(u"usbfn", FunctionDriverEntry);
    nt::pnp::RegisterDriverMatch({u"ROOT\\SIMUSBDEVICE", u"usbfn", kUsbSetupClass, u"USB test device", u""});

    std::u16string instance;
    PDEVICE_OBJECT pdo = nullptr;
    nt::pnp::RootDevice device;
    device.deviceId = u"ROOT\\SIMUSBDEVICE";
    ASSERT_EQ(nt::pnp::AddRootDevice(device, &instance, &pdo), STATUS_SUCCESS);

    bool started = false;
    for (const nt::pnp::DeviceNodeInfo& node : nt::pnp::DeviceNodes()) {
        started |= node.instancePath == instance && node.started;
    }
    EXPECT_TRUE(started);
    // The filter's AddDevice put nothing above the function driver, and the driver owns only its control
    // device.
    EXPECT_EQ(IoGetAttachedDevice(pdo)->DriverObject, nt::pnp::LoadedDriver(u"usbfn"));
    EXPECT_EQ(g_Driver.DriverObject->DeviceObject, g_Driver.ControlDevice);
    EXPECT_EQ(g_Driver.ControlDevice->NextDevice, nullptr);

    ASSERT_TRUE(Open());
    const MemlogReply memlog = FetchMemlog();
    // AddDevice's work on the device-stack tree is bracketed by its entry and exit events.
    const auto enter = std::find_if(memlog.entries.begin(), memlog.entries.end(),
                                    [](const MEMLOG_ENTRY& entry) { return entry.Tag == FourCC(">Add"); });
    ASSERT_NE(enter, memlog.entries.end());
    EXPECT_EQ(enter->Value1, reinterpret_cast<ULONG_PTR>(pdo));
    EXPECT_EQ(memlog.entries.back().Tag, FourCC("<Add"));

    EXPECT_EQ(nt::pnp::RemoveRootDevice(instance), STATUS_SUCCESS);
}

} // namespace
} // namespace drivertest
