// The IOCTL decoders over what a live capture document received from the capture driver on the default
// simulated machine while it played every request family: each HID, host-controller, hub and internal USB
// record decodes whole (nothing cut, nothing unknown), and shows what the machine's devices, controllers and
// hub are and what the drivers asked the bus.
#include "tests/support/DecoderCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "IoctlTestRecords.h"
#include "app/core/settings/AppSettings.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/MachineFixture.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using tdl::test::DecoderCapture;

class IoctlCaptureTest : public tdl::test::DecoderCaptureTest<IoctlCaptureTest> {
protected:
    static void SetUpTestSuite() {
        DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::RequestFamilies;
        options.settings = [](CAppSettings& settings) {
            settings.CaptureUrbs = settings.CapturePnp = settings.CapturePower = false;
            settings.CaptureHidIoctl = settings.CaptureHcdIoctl = true;
            settings.CaptureHubIoctl = settings.CaptureUsbIntern = true;
        };
        Capture(options);
    }

    // The captured records of two kinds (each by its request tag; every phase), in capture order, each in a
    // copy of its exact size.
    static std::vector<std::vector<uint8_t>> RecordsOfKinds(ULONG first, ULONG second) {
        std::vector<std::vector<uint8_t>> found;
        for (const _LOGHDR* header : s_capture->Records()) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(header);
            const ULONG kind = LogHdr::LogType(bytes) & 0x00FFFFFF;
            if (kind == (first & 0x00FFFFFF) || kind == (second & 0x00FFFFFF))
                found.emplace_back(bytes, bytes + LOGHDR_SIZE + LogHdr::DataSize(bytes));
        }
        return found;
    }
};

std::string Hex(const char* format, ULONG value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(IoctlCaptureTest, HidAndHostControllerRecordsDecodeWholeWithTheMachinesValues) {
    const std::vector<std::vector<uint8_t>> records = RecordsOfKinds(LogTag::hidI, LogTag::hcdI);

    std::string hid;      // every HID record's category, one after the other
    std::string hcd;      // the same of the host-controller records
    std::string markup;   // every record's mark-up
    std::string dataBars; // every data bar's title
    for (const std::vector<uint8_t>& record : records) {
        const ULONG kind = LogHdr::LogType(record.data()) & 0x00FFFFFF;
        const bool isHid = kind == (LogTag::hidI & 0x00FFFFFF);
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(s_capture->Document(), record));
        const std::string shown = pane.Shown(isHid ? "HID" : "HCD");
        const std::string xml = tdl::test::MarkupText(s_capture->Document(), record);
        EXPECT_FALSE(Has(shown, "Truncated") || Has(shown, "???")) << shown;
        const std::string body = ioctl_test::MarkupBody(xml);
        EXPECT_FALSE(Has(body, "Truncated") || Has(body, "???")) << xml;
        (isHid ? hid : hcd) += shown;
        // The status row of a failed request, with its colour.
        if (Has(shown, "HCD_DISABLE_PORT") && LogHdr::LogType(record.data()) == LogTag::hcdC)
            hcd += pane.Shown("Log Entry");
        markup += xml;
        if (bar.Buffers() != 0)
            dataBars += bar.Title() + "\n";
    }
    ASSERT_GT(records.size(), 20u);

    // The keyboard's collection.
    EXPECT_TRUE(Has(hid, Hex("VendorID = 0x%04x\n", sim::kSimVendorId))) << hid;
    EXPECT_TRUE(Has(hid, "ProductID = 0x0102\n")) << hid;
    EXPECT_TRUE(Has(hid, "DescriptorSize = 0x")) << hid;
    EXPECT_TRUE(Has(markup, "<String Name=\"Product\">Simulated Keyboard</String>")) << markup;
    EXPECT_TRUE(Has(markup, Hex("<String Name=\"HardwareID\">HID\\VID_%04X&amp;PID_0102", sim::kSimVendorId)))
        << markup;
    EXPECT_TRUE(Has(dataBars, "  Product (Output) - record #")) << dataBars;
    EXPECT_TRUE(Has(dataBars, "  HardwareID (Output) - record #")) << dataBars;
    EXPECT_TRUE(Has(hid, "  Indexed String =\n")) << hid;
    EXPECT_TRUE(Has(dataBars, "  String_1 (Output) - record #")) << dataBars;
    // The keyboard has no feature report: the failed request keeps its block and shows no report.
    EXPECT_TRUE(Has(hid, "Get Feature Report\n  Output Parameters =\n    OutputBufferLength = 0x00000004\n")) << hid;
    EXPECT_FALSE(Has(hid, "HID Feature Report =\n    BufferLength = 0x00000000")) << hid;

    // Each controller.
    for (const auto& controller : s_capture->Machine().Controllers()) {
        PDEVICE_OBJECT pdo = controller->PhysicalDeviceObject();
        ASSERT_NE(pdo, nullptr);
        std::string key;
        for (char16_t c : tdl::test::Property(pdo, DevicePropertyDriverKeyName))
            key += static_cast<char>(c);
        EXPECT_TRUE(Has(hcd, "DriverKeyName = " + key + "\n")) << key;
        if (controller->Type() == sim::ControllerType::Ehci) {
            EXPECT_TRUE(Has(hcd, Hex("    NumberOfRootPorts = 0x%x\n    ControllerFlavor = EHCI_Generic (0x3e8)\n",
                                     static_cast<ULONG>(controller->RootHub().PortCount()))))
                << hcd;
        }
    }
    EXPECT_TRUE(Has(hcd, "RootHubName = ")) << hcd;
    EXPECT_FALSE(Has(hcd, "RootHubName = ---")) << hcd;
    EXPECT_TRUE(Has(hcd, "Status = STATUS_INVALID_DEVICE_REQUEST \"Irp completion status\" {0x0000FF}")) << hcd;
}

TEST_F(IoctlCaptureTest, HubAndInternalRecordsDecodeWholeWithTheMachinesValues) {
    const std::vector<std::vector<uint8_t>> records = RecordsOfKinds(LogTag::hubI, LogTag::uinI);

    std::string hub; // every hub record's category, one after the other
    std::string uin; // the same of the internal records
    for (const std::vector<uint8_t>& record : records) {
        const ULONG kind = LogHdr::LogType(record.data()) & 0x00FFFFFF;
        const bool isHub = kind == (LogTag::hubI & 0x00FFFFFF);
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(s_capture->Document(), record));
        const std::string shown = pane.Shown(isHub ? "HUB" : "USBINT");
        const std::string body = ioctl_test::MarkupBody(tdl::test::MarkupText(s_capture->Document(), record));
        EXPECT_FALSE(Has(shown, "Truncated") || Has(shown, "???")) << shown;
        EXPECT_FALSE(Has(body, "Truncated") || Has(body, "???")) << body;
        (isHub ? hub : uin) += shown;
    }
    ASSERT_GT(records.size(), 100u);

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
