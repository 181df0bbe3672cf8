// The driver client and the settings routines against the capture driver itself, on the default simulated
// machine. The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/core/KxTdloft.h"
#include "common/ControlCodes.h"

// The capture driver's entry point (driver/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

// The capture driver itself, on the default simulated machine.
class DriverClientOnMachine : public tdl::test::MachineTest {};

TEST_F(DriverClientOnMachine, ReadsIntoABufferSmallerThanTheReplyGiveNothingAndError122) {
    BootDefault(nt::version::Release::Windows7, DriverEntry);
    CKxTdloft device;
    ASSERT_TRUE(device.TryDeviceOpen());
    ASSERT_TRUE(device.IoctlEnableChangeLogging(1)); // writes a log-start record

    std::vector<uint8_t> buffer(66560);
    DWORD length = 8;
    EXPECT_FALSE(device.IoctlReadChangeLog(buffer.data(), length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(device.GetError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    length = static_cast<DWORD>(buffer.size());
    EXPECT_TRUE(device.IoctlReadChangeLog(buffer.data(), length));
    EXPECT_GT(length, 8u);

    length = TINDALOFT_SIZE_QUERY_LENGTH;
    ASSERT_TRUE(device.IoctlReadMemlog(buffer.data(), length));
    ULONG size = 0;
    std::memcpy(&size, buffer.data(), sizeof size);
    ASSERT_GT(size, 5u);
    length = 5;
    EXPECT_FALSE(device.IoctlReadMemlog(buffer.data(), length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(device.GetError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(device.IoctlDisableChangeLogging());
    device.DeviceClose();
}

} // namespace
