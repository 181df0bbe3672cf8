// The HID and host-controller decoders over what the capture driver recorded on the default simulated machine
// while it played every request family: each record decodes whole (nothing cut, nothing unknown), and shows
// what the machine's devices and controllers are.
#include "IoctlCaptureFixture.h"

#include <cstdio>
#include <string>
#include <vector>

#include "IoctlTestRecords.h"
#include "common/RecordTags.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

// The capture driver's entry point (driver/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using IoctlCaptureTest = ioctl_test::IoctlCaptureFixture;

std::string Hex(const char* format, ULONG value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(IoctlCaptureTest, RequestFamiliesDecodeWholeWithTheMachinesValues) {
    BootDefault(nt::version::Release::Windows7, DriverEntry);
    UseVirtualClock();
    StartCapture([](LOGGING_OPTIONS& options) { options.CaptureHcdIoctl = options.CaptureHidIoctl = 1; });
    Play(sim::WorkloadKind::RequestFamilies, 1);
    const std::vector<std::vector<uint8_t>> records = ReadRecords();

    std::string hid;      // every HID record's category, one after the other
    std::string hcd;      // the same of the host-controller records
    std::string markup;   // every record's mark-up
    std::string dataBars; // every data bar's title
    size_t decoded = 0;
    for (const std::vector<uint8_t>& record : records) {
        const ULONG kind = LogHdr::LogType(record.data()) & 0x00FFFFFF;
        const bool isHid = kind == (LogTag::hidI & 0x00FFFFFF);
        if (!isHid && kind != (LogTag::hcdI & 0x00FFFFFF))
            continue;
        ++decoded;
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, record));
        const std::string shown = pane.Shown(isHid ? "HID" : "HCD");
        const std::string xml = tdl::test::MarkupText(nullptr, record);
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
    ASSERT_GT(decoded, 20u);

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
    for (const auto& controller : m_machine->Controllers()) {
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

} // namespace
