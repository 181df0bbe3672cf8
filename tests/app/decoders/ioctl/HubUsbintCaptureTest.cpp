// The hub and internal USB decoders over what the capture driver recorded on the default simulated machine
// while it played every request family: each record decodes whole (nothing cut, nothing unknown), and shows
// the machine's hub, its ports and devices, and what the drivers asked the bus.
#include "IoctlCaptureFixture.h"

#include <cstdio>
#include <string>
#include <vector>

#include "IoctlTestRecords.h"
#include "common/RecordTags.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

// The capture driver's entry point (driver/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using HubUsbintCaptureTest = ioctl_test::IoctlCaptureFixture;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(HubUsbintCaptureTest, RequestFamiliesDecodeWholeWithTheMachinesValues) {
    BootDefault(nt::version::Release::Windows7, DriverEntry);
    UseVirtualClock();
    StartCapture([](LOGGING_OPTIONS& options) { options.CaptureHubIoctl = options.CaptureUsbIntern = 1; });
    Play(sim::WorkloadKind::RequestFamilies, 1);
    const std::vector<std::vector<uint8_t>> records = ReadRecords();

    std::string hub; // every hub record's category, one after the other
    std::string uin; // the same of the internal records
    size_t decoded = 0;
    for (const std::vector<uint8_t>& record : records) {
        const ULONG kind = LogHdr::LogType(record.data()) & 0x00FFFFFF;
        const bool isHub = kind == (LogTag::hubI & 0x00FFFFFF);
        if (!isHub && kind != (LogTag::uinI & 0x00FFFFFF))
            continue;
        ++decoded;
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, record));
        const std::string shown = pane.Shown(isHub ? "HUB" : "USBINT");
        const std::string body = ioctl_test::MarkupBody(tdl::test::MarkupText(nullptr, record));
        EXPECT_FALSE(Has(shown, "Truncated") || Has(shown, "???")) << shown;
        EXPECT_FALSE(Has(body, "Truncated") || Has(body, "???")) << body;
        (isHub ? hub : uin) += shown;
    }
    ASSERT_GT(decoded, 100u);

    // The external hub's node, then each of its ports: keyboard, printer, composite device, nothing.
    EXPECT_TRUE(Has(hub, "  NodeType = UsbHub\n  USB_HUB_INFORMATION =\n    Hub Class Descriptor =\n")) << hub;
    EXPECT_TRUE(Has(hub, "      Downstream Ports = 0x04\n")) << hub;
    EXPECT_TRUE(Has(hub, "    HubIsBusPowered = ")) << hub;
    const struct {
        USHORT product;
        const char* pipes;
        const char* speed;
    } ports[] = {
        {0x0102, "0x00000001", "UsbFullSpeed"},
        {0x0701, "0x00000002", "UsbFullSpeed"},
        {0x0C01, "0x00000003", "UsbHighSpeed"},
    };
    for (const auto& port : ports) {
        char ids[96];
        std::snprintf(ids, sizeof ids, "    idVendor = 0x%04x\n    idProduct = 0x%04x\n", sim::kSimVendorId,
                      port.product);
        EXPECT_TRUE(Has(hub, ids)) << ids;
        EXPECT_TRUE(Has(hub, std::string("    Speed = ") + port.speed + "\n    DeviceIsHub = FALSE\n")) << hub;
        EXPECT_TRUE(Has(hub, std::string("    NumberOfOpenPipes = ") + port.pipes +
                                 "\n    ConnectionStatus = Device connected (0x1)\n"))
            << port.pipes;
    }
    EXPECT_TRUE(Has(hub, "    USB_PIPE_INFO.2 =\n      Descriptor Type = ENDPOINT\n")) << hub;
    EXPECT_TRUE(Has(hub, "  ConnectionIndex = 0x00000004\n  ConnectionStatus = No device connected (0x0)\n")) << hub;
    // A device that is no hub has a name of no characters.
    EXPECT_TRUE(Has(hub, "  ActualLength = 0x0000000a\n  NodeName =\n")) << hub;
    EXPECT_TRUE(Has(hub, "  Descriptor = DEVICE\n")) << hub;
    EXPECT_TRUE(Has(hub, "HUB Ioctl = HUB_IOCTL_220454\n")) << hub;

    // What the loopback device's driver asks the bus.
    for (const char* code :
         {"RESET_PORT", "GET_ROOTHUB_PDO", "GET_PORT_STATUS", "ENABLE_PORT", "GET_HUB_COUNT", "GET_HUB_NAME",
          "SUBMIT_IDLE_NOTIFICATION", "RECORD_FAILURE", "GET_BUS_INFO", "GET_CONTROLLER_NAME", "GET_PARENT_HUB_INFO",
          "GET_DEVICE_HANDLE", "GET_DEVICE_HANDLE_EX", "GET_TT_DEVICE_HANDLE", "GET_TOPOLOGY_ADDRESS",
          "NOTIFY_IDLE_READY", "REQ_GLOBAL_SUSPEND", "REQ_GLOBAL_RESUME", "GET_DEVICE_CONFIG_INFO"})
        EXPECT_TRUE(Has(uin, std::string("USB Internal Ioctl = IOCTL_INTERNAL_USB_") + code + "\n")) << code;
    EXPECT_TRUE(Has(uin, "GET_CONTROLLER_NAME\n  ActualLength = 0x")) << uin;
    EXPECT_TRUE(Has(uin, "\"in bytes\"\n  ControllerName = \\Device\\USBFDO-")) << uin;
    EXPECT_TRUE(Has(uin, "  Port Status Bits =\n    00: Enabled = 1\n    01: Connected = 1\n")) << uin;
    EXPECT_TRUE(Has(uin, "  USB_TOPOLOGY_ADDRESS =\n")) << uin;
    char hardwareIds[64];
    std::snprintf(hardwareIds, sizeof hardwareIds, "      Buffer String = \"USB\\VID_%04X&PID_", sim::kSimVendorId);
    EXPECT_TRUE(Has(uin, std::string("    USB_ID_STRING = HardwareIds\n")) && Has(uin, hardwareIds)) << uin;
    EXPECT_TRUE(Has(uin, "      Buffer String = \"USB\\Class_")) << uin;
    EXPECT_TRUE(Has(uin, "    USB_ID_STRING = DeviceDescription\n")) << uin;
    EXPECT_TRUE(Has(uin, "      Buffer String = \"Simulated Loopback Device\"\n")) << uin;
}

} // namespace
