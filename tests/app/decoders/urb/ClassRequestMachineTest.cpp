// The class decoders over what the capture driver records on the default simulated machine: the mouse's HID
// class requests, the printer's class requests with its IEEE 1284 device ID, and the external hub's port
// requests while a device is plugged in and pulled out. The kernel's headers come first: the framework's
// ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/core/document/USBLog.h"
#include "app/devices/StackTree.h"
#include "common/ControlCodes.h"
#include "common/LogBlock.h"
#include "common/LoggingOptions.h"
#include "common/NodeEntries.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/RecordingDataBar.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using classtest::Has;

struct Decoded {
    std::vector<uint8_t> record;
    ULONG tag;
    std::string grid;
    std::string markup;
    std::vector<BYTE> dataBar; // what the grid decode put in the data bar
    std::string dataBarTitle;
};

class ClassRequestsOnMachine : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
        UseVirtualClock();
        ASSERT_TRUE(m_driver.TryDeviceOpen());
        ReadStacks();
        StartCapture();
    }
    void TearDown() override {
        if (m_driver.GetHandle() != INVALID_HANDLE_VALUE && m_driver.GetHandle() != nullptr) {
            DWORD returned = 0;
            DeviceIoControl(m_driver.GetHandle(), IOCTL_TINDALOFT_DISABLE_LOG, nullptr, 0, nullptr, 0, &returned,
                            nullptr);
            m_driver.DeviceClose();
        }
        m_document.reset();
        MachineTest::TearDown();
    }

    void ReadStacks() {
        DWORD returned = 0;
        ULONG size = 0;
        ASSERT_TRUE(DeviceIoControl(m_driver.GetHandle(), IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &size, sizeof size,
                                    &returned, nullptr));
        m_nodes.resize(size);
        ASSERT_TRUE(DeviceIoControl(m_driver.GetHandle(), IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, m_nodes.data(),
                                    size, &returned, nullptr));
        m_nodes.resize(returned);
        m_document = std::make_unique<CUSBLog>();
        ASSERT_TRUE(m_document->GetStackTree()->ParseDevstkNodes(m_nodes.data(), m_nodes.size(),
                                                                 m_document->GetAttachedDevices()));
    }

    // URBs with their control data, every device object captured, and devices that arrive during the
    // capture as well.
    void StartCapture() {
        LOGGING_OPTIONS options{};
        ASSERT_TRUE(m_driver.IoctlGetLoggingOptions(&options, sizeof options));
        options.CaptureUrbs = 1;
        options.CaptureCtrl = 1;
        options.CtrlMaxSize = 4096;
        options.FilterPresent = 0;
        ASSERT_TRUE(m_driver.IoctlSetLoggingOptions(&options, sizeof options));
        std::vector<uint8_t> flags;
        for (size_t offset = 0; offset + sizeof(NODE_HEADER) <= m_nodes.size();) {
            NODE_HEADER header;
            std::memcpy(&header, &m_nodes[offset], sizeof header);
            if (header.Kind == NODE_KIND_END || header.Length == 0)
                break;
            if (header.Kind == NODE_KIND_DEVICE && offset + DEVICE_NODE_SIZE <= m_nodes.size()) {
                DEVICE_NODE node;
                std::memcpy(&node, &m_nodes[offset], sizeof node);
                node.StatusFlags &= ~DEVOBJ_CAPTURE_OFF;
                const auto* bytes = reinterpret_cast<const uint8_t*>(&node);
                flags.insert(flags.end(), bytes, bytes + sizeof node);
            }
            offset += header.Length;
        }
        const NODE_HEADER end{NODE_KIND_END, NODE_END_SIZE};
        const auto* bytes = reinterpret_cast<const uint8_t*>(&end);
        flags.insert(flags.end(), bytes, bytes + sizeof end);
        ASSERT_TRUE(m_driver.IoctlSetDevobjFlags(flags.data(), static_cast<DWORD>(flags.size())));
        const ULONG autoEnable = 1;
        DWORD returned = 0;
        ASSERT_TRUE(DeviceIoControl(m_driver.GetHandle(), IOCTL_TINDALOFT_ENABLE_LOG, const_cast<ULONG*>(&autoEnable),
                                    sizeof autoEnable, nullptr, 0, &returned, nullptr));
    }

    // The URB records of the capture so far, decoded in the grid and the mark-up form.
    std::vector<Decoded> Collect() {
        std::vector<Decoded> decoded;
        std::vector<uint8_t> block(LOG_BLOCK_SIZE);
        for (;;) {
            DWORD returned = 0;
            if (!DeviceIoControl(m_driver.GetHandle(), IOCTL_TINDALOFT_READ_LOG, nullptr, 0, block.data(),
                                 static_cast<DWORD>(block.size()), &returned, nullptr) ||
                returned == 0)
                break;
            RecordWalker walker(std::span<const uint8_t>(block.data(), returned));
            std::span<const uint8_t> record;
            while (walker.Next(record)) {
                const ULONG tag = LogHdr::LogType(record.data());
                if (tag != LogTag::urbI && tag != LogTag::urbC)
                    continue;
                Decoded d{std::vector<uint8_t>(record.begin(), record.end()), tag, {}, {}, {}, {}};
                tdl::test::RecordingDataBar bar;
                d.grid = classtest::Shown(d.record, m_document.get());
                d.markup = classtest::Calls(d.record, OUTPUT_MODE_XML, m_document.get());
                d.dataBar = bar.Bytes();
                d.dataBarTitle = bar.Title();
                EXPECT_TRUE(tdl::test::MarkupBalanced(d.markup)) << d.markup;
                EXPECT_FALSE(Has(d.grid, "Truncated")) << d.grid;
                decoded.push_back(std::move(d));
            }
        }
        return decoded;
    }

    static std::vector<const Decoded*> Showing(const std::vector<Decoded>& all, const std::string& text, ULONG tag) {
        std::vector<const Decoded*> found;
        for (const Decoded& d : all)
            if (d.tag == tag && Has(d.grid, text))
                found.push_back(&d);
        return found;
    }

    CKxTdloft m_driver;
    std::vector<uint8_t> m_nodes;
    std::unique_ptr<CUSBLog> m_document;
};

// The mouse's first step sends the HID class requests: a report read shows its bytes in the data bar on the
// completion, a report written its bytes on the request side.
TEST_F(ClassRequestsOnMachine, MouseReportsThroughTheHidDecoder) {
    Play(sim::WorkloadKind::MouseMoving, 1);
    const std::vector<Decoded> records = Collect();

    const auto reads =
        Showing(records, "  Request = 0x01 (GET_REPORT)\n  ReportType.wValueHi = 0x01 (Input Report)\n", LogTag::urbC);
    ASSERT_FALSE(reads.empty());
    bool shownInDataBar = false;
    for (const Decoded* d : reads) {
        if (Has(d->grid, "    GET_REPORT =\n")) {
            shownInDataBar = true;
            EXPECT_EQ(0u, d->dataBarTitle.find("  Get HID Report #")) << d->dataBarTitle;
            EXPECT_FALSE(d->dataBar.empty());
        }
    }
    EXPECT_TRUE(shownInDataBar);
    classtest::CheckEveryCut(reads.front()->record, m_document.get());

    const auto writes =
        Showing(records, "  Request = 0x09 (SET_REPORT)\n  ReportType.wValueHi = 0x02 (Output Report)\n", LogTag::urbI);
    ASSERT_FALSE(writes.empty());
    for (const Decoded* d : writes) {
        EXPECT_TRUE(Has(d->grid, "    SET_REPORT =\n")) << d->grid;
        EXPECT_EQ(0u, d->dataBarTitle.find("  Set HID Report #")) << d->dataBarTitle;
        EXPECT_TRUE(Has(d->markup, "WriteValue|Report|")) << d->markup;
    }
    classtest::CheckEveryCut(writes.front()->record, m_document.get());
}

// The printing workload asks for the device ID, the port status and a soft reset.
TEST_F(ClassRequestsOnMachine, PrinterRequestsThroughThePrinterDecoder) {
    Play(sim::WorkloadKind::Printing, 1);
    const std::vector<Decoded> records = Collect();

    const auto ids = Showing(records, "Device ID =\n  IdLength = ", LogTag::urbC);
    ASSERT_FALSE(ids.empty());
    for (const Decoded* d : ids)
        EXPECT_TRUE(Has(d->grid, "  1284 Device ID Keys =\n    MFG = Tindaloft\n    MDL = Page Printer 100\n"
                                 "    CMD = PCL,PJL\n    CLS = PRINTER\n    DES = Tindaloft Page Printer 100\n"))
            << d->grid;

    const auto status = Showing(records, "  Request = 0x01 (GET_PORT_STATUS)\n", LogTag::urbC);
    ASSERT_FALSE(status.empty());
    for (const Decoded* d : status)
        EXPECT_TRUE(Has(d->grid, "    PortStatus = 0x18\n    Port Status Bits =\n      Reserved.PortStatus.7-6 = 0x00\n"
                                 "      PaperEmpty.PortStatus.5 = 0\n      Select.PortStatus.4 = 1\n"
                                 "      NotError.PortStatus.3 = 1\n"))
            << d->grid;

    EXPECT_FALSE(Showing(records, "  Request = 0x02 (SOFT_RESET)\n", LogTag::urbI).empty());
    classtest::CheckEveryCut(ids.front()->record, m_document.get());
    classtest::CheckEveryCut(status.front()->record, m_document.get());
}

// A device plugged into the external hub and pulled out again: the hub driver's port requests by name, and
// the port's status in the USB 2.0 layout, its connection bit following the plug.
TEST_F(ClassRequestsOnMachine, HubPortRequestsWhileADeviceComesAndGoes) {
    Play(sim::WorkloadKind::PlugAndUnplug, 1);
    const std::vector<Decoded> records = Collect();

    const auto status = Showing(records, "Setup Packet = Hub Class request from Port\n", LogTag::urbC);
    bool connected = false;
    bool disconnected = false;
    for (const Decoded* d : status) {
        if (!Has(d->grid, "  Request = 0x00 (GET_STATUS)\n") || !Has(d->grid, "Port Status Bits"))
            continue;
        EXPECT_FALSE(Has(d->grid, "SuperSpeed")) << d->grid;
        connected |= Has(d->grid, "    PORT_CONNECTION.PortStatus.0 = 1\n");
        disconnected |= Has(d->grid, "    PORT_CONNECTION.PortStatus.0 = 0\n");
    }
    EXPECT_TRUE(connected);
    EXPECT_TRUE(disconnected);
    if (!status.empty())
        classtest::CheckEveryCut(status.front()->record, m_document.get());

    const auto features = Showing(records, "Hub Class request to Port\n", LogTag::urbI);
    bool set = false;
    bool clear = false;
    for (const Decoded* d : features) {
        if (Has(d->grid, "  Request = 0x03 (SET_FEATURE)\n  FeatureSelector.wValue = 0x0004 (PORT_RESET)\n"
                         "  PortNumber.wIndex = 0x"))
            set = true;
        if (Has(d->grid, "  Request = 0x01 (CLEAR_FEATURE)\n  FeatureSelector.wValue = 0x0010 (C_PORT_CONNECTION)\n"
                         "  PortNumber.wIndex = 0x"))
            clear = true;
    }
    EXPECT_TRUE(set);
    EXPECT_TRUE(clear);
}

} // namespace
