// The driver object's own dispatch routines besides device control: create and close from any number of
// handles, and the WMI rule.
#include "ntddk.h"

#include "common/ControlCodes.h"
#include "driver/core/Driver.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

class Dispatch : public LoadedDriver {};

NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) {
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends a WMI request naming `provider` to the control device and returns its final status.
NTSTATUS SendWmi(ULONG_PTR provider) {
    PDEVICE_OBJECT device = g_Driver.ControlDevice;
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    EXPECT_NE(irp, nullptr);
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
    stack->Parameters.WMI.ProviderId = provider;
    IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
    const NTSTATUS returned = IoCallDriver(device, irp);
    const NTSTATUS status = irp->IoStatus.Status;
    EXPECT_EQ(returned, status);
    IoFreeIrp(irp);
    return status;
}

TEST_F(Dispatch, WmiRequestForTheControlDeviceIsNotSupported) {
    EXPECT_EQ(SendWmi(reinterpret_cast<ULONG_PTR>(g_Driver.ControlDevice)), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(SendWmi(0x1234), STATUS_SUCCESS);
}

TEST_F(Dispatch, ManyHandlesShareTheDriversState) {
    HANDLE second = CreateFileA("\\\\.\\Tindaloft", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    ULONG word = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_NOP, &word, sizeof word, nullptr, 0).ok);
    DWORD bytes = 0;
    // A handle without write access is refused the codes that change state, not those that read it.
    EXPECT_FALSE(DeviceIoControl(second, IOCTL_TINDALOFT_NOP, &word, sizeof word, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ULONG size = 0;
    EXPECT_TRUE(DeviceIoControl(second, IOCTL_TINDALOFT_GET_MEMLOG, nullptr, 0, &size, sizeof size, &bytes, nullptr));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(Ioctl(IOCTL_TINDALOFT_NOP, &word, sizeof word, nullptr, 0).ok);
}

} // namespace
} // namespace drivertest
