// The driver client and the settings routines against the capture driver itself, on the default simulated
// machine. The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/KxTdloft.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

// The capture driver itself, on the default simulated machine.
class DriverClientOnMachine : public tdl::test::MachineTest {};

// The settings the driver keeps, in the order of LOGGING_OPTIONS.
std::vector<DWORD> DriverFields(const CAppSettings& s) {
    return {s.CaptureBulk,        s.BulkMaxSize,      s.CaptureCtrl,     s.CtrlMaxSize,
            s.CaptureIsoch,       s.IsochMaxSize,     s.CaptureUrbs,     s.CaptureHubInterface,
            s.CaptureUsbportHook, s.CaptureUsbIntern, s.CaptureHubIoctl, s.CaptureHcdIoctl,
            s.CaptureHidIoctl,    s.CaptureHidIntern, s.CapturePnp,      s.CapturePower};
}

TEST_F(DriverClientOnMachine, ReadsIntoABufferSmallerThanTheReplyGiveNothingAndError122) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
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

TEST_F(DriverClientOnMachine, SettingsSentAreTheSettingsReadBack) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    CTindaloftApp sender;
    CAppSettings& sent = sender.m_Settings;
    sent.CaptureBulk = true;
    sent.BulkMaxSize = 5;
    sent.CaptureCtrl = false;
    sent.CtrlMaxSize = 2;
    sent.CaptureIsoch = true;
    sent.IsochMaxSize = 7;
    sent.CaptureUrbs = true;
    sent.CaptureHubInterface = true; // the driver keeps these two off
    sent.CaptureUsbportHook = true;
    sent.CaptureUsbIntern = false;
    sent.CaptureHubIoctl = true;
    sent.CaptureHcdIoctl = false;
    sent.CaptureHidIoctl = true;
    sent.CaptureHidIntern = false;
    sent.CapturePnp = true;
    sent.CapturePower = false;
    FILTER_BLOCK filter;
    InitLoggingOptions(filter);
    filter.Bytes[FilterByte::UrbRequest] = 1;
    ASSERT_TRUE(sender.SetDriverLoggingOptions(&filter));

    CTindaloftApp reader;
    ASSERT_TRUE(reader.GetDriverSettings());
    sent.CaptureHubInterface = sent.CaptureUsbportHook = false;
    EXPECT_EQ(DriverFields(reader.m_Settings), DriverFields(sent));

    // Reading switched the filter the sender left in force off again.
    CKxTdloft device;
    ASSERT_TRUE(device.TryDeviceOpen());
    LOGGING_OPTIONS options{};
    ASSERT_TRUE(device.IoctlGetLoggingOptions(&options, sizeof options));
    EXPECT_EQ(options.FilterPresent, 0);
    device.DeviceClose();
}

} // namespace
