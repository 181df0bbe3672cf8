// The HID and host-controller decoders over what the capture driver recorded on the default simulated machine
// while it played every request family: each record decodes whole (nothing cut, nothing unknown), and shows
// what the machine's devices and controllers are. The kernel's headers come first: the framework's ASSERT
// yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "IoctlTestRecords.h"
#include "common/ControlCodes.h"
#include "common/LogBlock.h"
#include "common/LoggingOptions.h"
#include "common/NodeEntries.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"
#include "windows.h"

// The capture driver's entry point (driver/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

class IoctlCaptureTest : public tdl::test::MachineTest {
protected:
    void TearDown() override {
        if (m_control != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_control);
        MachineTest::TearDown();
    }

    bool Control(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned = nullptr) {
        DWORD bytes = 0;
        const BOOL ok = ::DeviceIoControl(m_control, code, in, inLength, out, outLength, &bytes, nullptr);
        if (returned)
            *returned = bytes;
        return ok != FALSE;
    }

    // HID and host-controller requests of every device object, nothing else.
    void StartCapture() {
        m_control =
            ::CreateFileA("\\\\.\\Tindaloft", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(m_control, INVALID_HANDLE_VALUE);
        LOGGING_OPTIONS options{};
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options));
        options.CaptureUrbs = options.CaptureUsbIntern = options.CaptureHubIoctl = options.CapturePnp =
            options.CapturePower = 0;
        options.CaptureHcdIoctl = options.CaptureHidIoctl = 1;
        options.FilterPresent = 0;
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0));

        std::vector<uint8_t> list(1 << 20);
        DWORD bytes = 0;
        ASSERT_TRUE(
            Control(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, list.data(), static_cast<DWORD>(list.size()), &bytes));
        std::vector<uint8_t> flags;
        NodeListReader reader(std::span<const uint8_t>(list.data(), bytes));
        USHORT kind = 0;
        std::span<const uint8_t> entry;
        while (reader.Next(kind, entry)) {
            if (kind != NODE_KIND_DEVICE || entry.size() < sizeof(DEVICE_NODE))
                continue;
            DEVICE_NODE node;
            std::memcpy(&node, entry.data(), sizeof node);
            node.StatusFlags &= ~DEVOBJ_CAPTURE_OFF;
            flags.resize(flags.size() + SET_DEVOBJ_FLAGS_STRIDE);
            std::memcpy(flags.data() + flags.size() - SET_DEVOBJ_FLAGS_STRIDE, &node, sizeof node);
        }
        ASSERT_FALSE(flags.empty());
        flags.resize(flags.size() + sizeof(NODE_HEADER)); // the end entry
        ASSERT_TRUE(
            Control(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, flags.data(), static_cast<DWORD>(flags.size()), nullptr, 0));
        ULONG word = 0;
        ASSERT_TRUE(Control(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0));
    }

    // Every record the log holds now, each whole.
    std::vector<std::vector<uint8_t>> ReadRecords() {
        std::vector<std::vector<uint8_t>> records;
        std::vector<uint8_t> block(LOG_BLOCK_DATA_SIZE);
        for (;;) {
            DWORD bytes = 0;
            EXPECT_TRUE(Control(IOCTL_TINDALOFT_READ_LOG, block.data(), static_cast<DWORD>(block.size()), block.data(),
                                static_cast<DWORD>(block.size()), &bytes));
            if (bytes == 0)
                return records;
            RecordWalker walker(std::span<const uint8_t>(block.data(), bytes));
            std::span<const uint8_t> record;
            while (walker.Next(record))
                records.emplace_back(record.begin(), record.end());
            EXPECT_TRUE(walker.AtEnd());
        }
    }

    HANDLE m_control = INVALID_HANDLE_VALUE;
};

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
    StartCapture();
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
