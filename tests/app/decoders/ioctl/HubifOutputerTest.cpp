// The hub-interface call decoder: its frame (title, target, mark-up objects, dispatch), its shared rows and
// the bus-context calls, on request ("buhI") and completion ("buhC") records built by hand.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "common/RecordTags.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using tdl::test::ArgBlock;
using tdl::test::CallRecord;
using tdl::test::kCallBusContext;
using tdl::test::kCallHandle;

std::vector<uint8_t> Call(ULONG tag, ULONG index, const std::vector<uint8_t>& args = {}, ULONG returned = 0,
                          ULONG64 handle = kCallHandle) {
    return CallRecord(tag, index, kCallBusContext, handle, returned, args);
}

std::string Shown(const std::vector<uint8_t>& record, CUSBLog* document = nullptr) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(document, record));
    return pane.Shown("IHUB");
}

// The record's mark-up on one line.
std::string Markup(CUSBLog* document, const std::vector<uint8_t>& record) {
    std::string text = tdl::test::MarkupText(document, record);
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 2);
    return text;
}

const _LOGHDR* Header(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const _LOGHDR*>(record.data());
}

TEST(HubifOutputerTest, TitleNamesEveryIndexAndNothingPastTheLast) {
    static constexpr const char* kNames[] = {
        "CreateUsbDevice",
        "InitializeUsbDevice",
        "GetUsbDescriptors",
        "RemoveUsbDevice",
        "RestoreDevice",
        "GetPortHackFlags",
        "QueryDeviceInformation",
        "GetControllerInfo",
        "ControllerSelectiveSusp",
        "GetExtendedHubInfo",
        "GetRootHubSymbolicName",
        "GetDeviceBusContext",
        "Initialize20Hub",
        "RootHubInitNotif",
        "FlushTransfers",
        "SetDeviceHandleData",
        "CreateUsbDeviceEx",
        "InitializeUsbDeviceEx",
        "HubIsRoot",
        "AcquireBusSemaphore",
        "ReleaseBusSemaphore",
        "CalculatePipeBandwidth",
        "SetBusSystemWakeMode",
        "SetDeviceFlag",
        "HubTestPoint",
        "GetDevicePerformanceInfo",
        "WaitAsyncPowerUp",
        "GetDeviceAddress",
        "RefDeviceHandle",
        "DerefDeviceHandle",
        "SetDeviceHandleIdleReadyState",
        "CreateUsbDeviceV7",
        "GetContainerIdForPort",
        "SetContainerIdForPort",
        "AbortAllDevicePipes",
        "SetDeviceErrataFlag",
    };
    for (ULONG index = 0; index < std::size(kNames); ++index) {
        const std::string shown = Shown(Call(LogTag::buhI, index));
        EXPECT_EQ(0u, shown.find(std::string("HUB Interface = ") + kNames[index] + "\n")) << index;
    }
    for (ULONG index : {36u, 0xFFFFFFFFu}) {
        const std::vector<uint8_t> record = Call(LogTag::buhC, index, ArgBlock().U64(1));
        EXPECT_EQ("HUB Interface =\n", Shown(record)) << index;
        EXPECT_EQ("", tdl::test::BodyCalls(nullptr, record, OUTPUT_MODE_XML)) << index;
    }
}

TEST(HubifOutputerTest, RequestShowsInputsAndCompletionAddsOutputs) {
    const std::vector<uint8_t> args = ArgBlock().U64(0xFFFFA80044440000);
    EXPECT_EQ("HUB Interface = GetDeviceBusContext\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  UsbdDeviceHandle = 0xffffa80022220000\n",
              Shown(Call(LogTag::buhI, 11, args)));
    EXPECT_EQ("HUB Interface = GetDeviceBusContext\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  UsbdDeviceHandle = 0xffffa80022220000\n"
              "Outputs =\n"
              "  Return BusContext = 0xffffa80044440000\n",
              Shown(Call(LogTag::buhC, 11, args)));
    // The request has no returned bus context to miss.
    EXPECT_EQ("HUB Interface = GetDeviceBusContext\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  UsbdDeviceHandle = 0xffffa80022220000\n",
              Shown(Call(LogTag::buhI, 11)));
}

TEST(HubifOutputerTest, SemaphoreCallsShareOneDecoderUnderTheirOwnSections) {
    EXPECT_EQ("HUB Interface = AcquireBusSemaphore\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "Outputs =\n"
              "  Return Status = None\n",
              Shown(Call(LogTag::buhC, 19)));
    EXPECT_EQ("BeginElement|HUBIF-ReleaseBusSemaphore\n"
              "WriteValue|ReturnStatus|None\n"
              "AddAttribute|ArgDirection|out\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Call(LogTag::buhC, 20), OUTPUT_MODE_XML));
}

// The bus-context calls in the grid, each on the record that shows what matters about it.
TEST(HubifOutputerTest, BusContextCallsInTheGrid) {
    struct Case {
        const char* what;
        std::vector<uint8_t> record;
        const char* shown;
    } cases[] = {
        {"flush, no device", Call(LogTag::buhC, 14, {}, 0, 0),
         "HUB Interface = FlushTransfers\nInputs =\n  BusContext = 0xffffa80000001000\n  UsbdDeviceHandle = NULL\n"
         "Outputs =\n  Return Status = None\n"},
        {"abort pipes, no device", Call(LogTag::buhI, 34, {}, 0, 0),
         "HUB Interface = AbortAllDevicePipes\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = NULL\n"},
        {"abort pipes", Call(LogTag::buhI, 34),
         "HUB Interface = AbortAllDevicePipes\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"},
        {"errata flag, no device", Call(LogTag::buhC, 35, ArgBlock().U32(0x10), 0, 0),
         "HUB Interface = SetDeviceErrataFlag\nInputs =\n  BusContext = 0xffffa80000001000\n  UsbdDeviceHandle = 0x0\n"
         "  DeviceErrataFlag = 0x00000010\nOutputs =\n  Return Status = None\n"},
        {"handle data", Call(LogTag::buhI, 15, ArgBlock().U64(0xFFFFA80055550000)),
         "HUB Interface = SetDeviceHandleData\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  Hub UsbdDeviceHandle = 0xffffa80022220000\n  UsbDevicePdo = 0xffffa80055550000\n"},
        {"root hub", Call(LogTag::buhC, 18, ArgBlock().U64(0xFFFFA80066660000), 1),
         "HUB Interface = HubIsRoot\nInputs =\n  BusContext = 0xffffa80000001000\n  HubPdo = 0xffffa80066660000\n"
         "Outputs =\n  Return BOOLEAN = TRUE\n"},
        {"not the root hub", Call(LogTag::buhC, 18, ArgBlock().U64(0xFFFFA80066660000), 0),
         "HUB Interface = HubIsRoot\nInputs =\n  BusContext = 0xffffa80000001000\n  HubPdo = 0xffffa80066660000\n"
         "Outputs =\n  Return BOOLEAN = FALSE\n"},
        {"wake mode", Call(LogTag::buhI, 22, ArgBlock().U32(1)),
         "HUB Interface = SetBusSystemWakeMode\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  WakeMode = 0x00000001\n"},
        {"device flag", Call(LogTag::buhC, 23, ArgBlock().U64(0xFFFFF80011112222).U64(0xFFFFF80033334444).U32(4)),
         "HUB Interface = SetDeviceFlag\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  DeviceFlagGuid = 0xfffff80011112222\n  ValueData = 0xfffff80033334444\n  ValueLength = 0x00000004\n"
         "Outputs =\n  Return Status = None\n"},
        {"idle ready state", Call(LogTag::buhC, 30, ArgBlock().U32(2), 0x11),
         "HUB Interface = SetDeviceHandleIdleReadyState\nInputs =\n  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n  NewIdleReadyState = 0x00000002\n"
         "Outputs =\n  Return ULONG = 0x00000011\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, Shown(c.record)) << c.what;
}

TEST(HubifOutputerTest, BusContextCallsInMarkup) {
    const tdl::test::DecoderDocument document;
    EXPECT_EQ("<Record Number=\"21\" Disposition=\"comp\" Type=\" IHUB\">"
              "<PerfCounter High=\"00000000\" Low=\"000003e8\"/>"
              "<HubInterfaceFunction Name=\"SetDeviceFlag\"/>"
              "<BusContext ArgDirection=\"in\">ffffa80000001000</BusContext>"
              "<DeviceObject Name=\"\\Device\\USBPDO-1\">ffffa80000001000</DeviceObject>"
              "<DriverObject>?\?\?</DriverObject>"
              "<HUBIF-SetDeviceFlag>"
              "<DeviceFlagGuidPointer ArgDirection=\"in\">fffff80011112222</DeviceFlagGuidPointer>"
              "<ValueData ArgDirection=\"in\">fffff80033334444</ValueData>"
              "<ValueLength ArgDirection=\"in\">00000004</ValueLength>"
              "<ReturnStatus ArgDirection=\"out\">None</ReturnStatus>"
              "</HUBIF-SetDeviceFlag>"
              "</Record>",
              Markup(document.Get(),
                     Call(LogTag::buhC, 23, ArgBlock().U64(0xFFFFF80011112222).U64(0xFFFFF80033334444).U32(4))));
    // Without a document the objects are not known: the bus context alone.
    EXPECT_EQ("<Record Number=\"21\" Disposition=\"init\" Type=\" IHUB\">"
              "<PerfCounter High=\"00000000\" Low=\"000003e8\"/>"
              "<HubInterfaceFunction Name=\"SetDeviceHandleData\"/>"
              "<BusContext ArgDirection=\"in\">ffffa80000001000</BusContext>"
              "<HUBIF-SetDeviceHandleData>"
              "<HubUsbdDeviceHandle ArgDirection=\"in\">ffffa80022220000</HubUsbdDeviceHandle>"
              "<UsbDevicePdo ArgDirection=\"in\">ffffa80055550000</UsbDevicePdo>"
              "</HUBIF-SetDeviceHandleData>"
              "</Record>",
              Markup(nullptr, Call(LogTag::buhI, 15, ArgBlock().U64(0xFFFFA80055550000))));
    EXPECT_EQ(
        "BeginElement|HUBIF-HubIsRoot\n"
        "WriteValue|HubPdo|ffffa80066660000\n"
        "AddAttribute|ArgDirection|in\n"
        "WriteValue|ReturnStatus|TRUE\n"
        "AddAttribute|ArgDirection|out\n"
        "EndElement\n",
        tdl::test::BodyCalls(nullptr, Call(LogTag::buhC, 18, ArgBlock().U64(0xFFFFA80066660000), 1), OUTPUT_MODE_XML));
    EXPECT_EQ("BeginElement|HUBIF-SetDeviceHandleIdleReadyState\n"
              "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|NewIdleReadyState|00000002\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|ReturnUlong|00000011\n"
              "AddAttribute|ArgDirection|out\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Call(LogTag::buhC, 30, ArgBlock().U32(2), 0x11), OUTPUT_MODE_XML));
}

class HubifTargetTest : public ::testing::Test {
protected:
    HubifTargetTest() {
        DEVICE_NODE node{};
        std::snprintf(node.DeviceName, sizeof node.DeviceName, "%s", "\\Device\\USBPDO-7");
        node.DeviceObject = kAddress;
        node.StartTime = 500;
        node.RemovalTime = 2000;
        CDeviceObject* object = nullptr;
        EXPECT_TRUE(m_document.GetAttachedDevices()->AddDeviceObject(node, object));
        m_driver.m_NtDriverObject = 0xFFFFA80077770000;
        m_driver.m_DriverName = "\\Driver\\usbhub";
        m_driver.AddDeviceObject(object);
    }

    std::string TargetCalls(CUSBLog* document, LONGLONG time) {
        tdl::test::RecordBuilder builder(LogTag::buhC);
        builder.Function(19).TimeStamp(time).DeviceObject(kAddress).Irp(kCallHandle);
        const std::vector<uint8_t> record = builder.Build();
        tdl::test::RecordingOutputImp out;
        std::unique_ptr<LogOutputer>(LogOutputer::Create(&out, document, Header(record)))->OutputTarget();
        return out.Text();
    }

    static constexpr ULONG64 kAddress = 0xFFFFA80012340000;
    // Outlives the document, whose device objects leave its list as they go.
    CDriverObject m_driver;
    CUSBLog m_document;
};

TEST_F(HubifTargetTest, TargetIsTheBusContextsObjectAtTheRecordsTime) {
    EXPECT_EQ("ShowCategory|Target\n"
              "SetItemValueById|5001|0xffffa80012340000\n"
              "SetItemValueById|5000|\\Device\\USBPDO-7\n"
              "SetItemValueById|5003|0xffffa80077770000\n"
              "SetItemValueById|5002|\\Driver\\usbhub\n",
              TargetCalls(&m_document, 1000));
    const std::string unknown = "ShowCategory|Target\n"
                                "SetItemValueById|5001|0xffffa80012340000\n"
                                "SetItemValueById|5000|???\n"
                                "SetItemValueById|5003|???\n"
                                "SetItemValueById|5002|???\n";
    EXPECT_EQ(unknown, TargetCalls(&m_document, 400));
    EXPECT_EQ(unknown, TargetCalls(&m_document, 2001));
    EXPECT_EQ(unknown, TargetCalls(nullptr, 1000));
}

TEST(HubifOutputerTest, ReturnStatusRow) {
    struct Case {
        ULONG status;
        const char* grid;
        const char* markup;
    } cases[] = {
        {0, "AddItem|ReturnStatus (NTSTATUS)|STATUS_SUCCESS (0x00000000)|-\n",
         "WriteValue|ReturnStatus|00000000\nAddAttribute|Name|STATUS_SUCCESS\nAddAttribute|ArgDirection|out\n"},
        {0xC0000001, "AddReadOnlyItem|ReturnStatus (NTSTATUS)|STATUS_UNSUCCESSFUL (0xc0000001)\n",
         "WriteValue|ReturnStatus|c0000001\nAddAttribute|Name|STATUS_UNSUCCESSFUL\nAddAttribute|ArgDirection|out\n"},
        // A warning is not an error.
        {0x80000005, "AddItem|ReturnStatus (NTSTATUS)|STATUS_0x80000005 (0x80000005)|-\n",
         "WriteValue|ReturnStatus|80000005\nAddAttribute|Name|STATUS_0x80000005\nAddAttribute|ArgDirection|out\n"},
    };
    for (const Case& c : cases) {
        tdl::test::RecordingOutputImp out;
        HubifOutputer decoder(&out, nullptr, nullptr);
        decoder.OutputReturnStatus(OUTPUT_MODE_GRID, c.status, "ReturnStatus");
        EXPECT_EQ(c.grid, out.Text());
        out.Clear();
        decoder.OutputReturnStatus(OUTPUT_MODE_XML, c.status, "ReturnStatus");
        EXPECT_EQ(c.markup, out.Text());
        out.Clear();
        decoder.OutputReturnStatus(OUTPUT_MODE_HTML, c.status, "ReturnStatus");
        EXPECT_EQ("", out.Text());
    }
}

TEST(HubifOutputerTest, UsbdStatusRows) {
    tdl::test::RecordingOutputImp out;
    HubifOutputer decoder(&out, nullptr, nullptr);
    decoder.OutputUsbdStatus(OUTPUT_MODE_GRID, static_cast<LONG>(0xC0000004), "UsbdStatus", "as LONG");
    EXPECT_EQ("AddReadOnlyItem|UsbdStatus|USBD_STATUS_STALL_PID\nAddItem|as LONG|0xc0000004|-\n", out.Text());
    out.Clear();
    decoder.OutputUsbdStatus(OUTPUT_MODE_GRID, 0x12345, "UsbdStatus", "as LONG");
    EXPECT_EQ("AddItem|UsbdStatus|0x00012345|-\nAddItem|as LONG|0x00012345|-\n", out.Text());
    out.Clear();
    decoder.OutputUsbdStatus(OUTPUT_MODE_XML, static_cast<LONG>(0xC0000004), "UsbdStatus", "as LONG");
    EXPECT_EQ("WriteValue|UsbdStatus|c0000004\n", out.Text());
}

TEST(HubifOutputerTest, PortStatusHandOffsReadTheirWordOrLeaveItOut) {
    // Port status 0x0103: connected, enabled, powered; at +2 for the first creation calls, +10 for V7's.
    const std::vector<uint8_t> args = ArgBlock().U16(0).U16(0x0103).U32(0).U16(0).U16(0x0501);
    const std::vector<uint8_t> record = Call(LogTag::buhC, 0, args);
    tdl::test::LogDetailsPane pane;
    GridOutputImp grid(&pane);
    HubifOutputer decoder(&grid, nullptr, Header(record));
    grid.ShowCategory("IHUB");
    decoder.OutputCreateDevicePortStatus(OUTPUT_MODE_GRID, 12, args.data());
    decoder.OutputCreateDeviceV7PortStatus(OUTPUT_MODE_GRID, 12, args.data());
    const auto bits = [](const char* high, const char* enable) {
        return std::string("Port Status Bits =\n"
                           "  Reserved.PortStatus.15-13 = 0x00\n"
                           "  PORT_INDICATOR.PortStatus.12 = 0\n"
                           "  PORT_TEST.PortStatus.11 = 0\n"
                           "  PORT_HIGH_SPEED.PortStatus.10 = ") +
               high +
               "\n"
               "  PORT_LOW_SPEED.PortStatus.9 = 0\n"
               "  PORT_POWER.PortStatus.8 = 1\n"
               "  Reserved.PortStatus.7-5 = 0x00\n"
               "  PORT_RESET.PortStatus.4 = 0\n"
               "  PORT_OVER_CURRENT.PortStatus.3 = 0\n"
               "  PORT_SUSPEND.PortStatus.2 = 0\n"
               "  PORT_ENABLE.PortStatus.1 = " +
               enable +
               "\n"
               "  PORT_CONNECTION.PortStatus.0 = 1\n";
    };
    // 0x0103 (connected, enabled, powered), then 0x0501 (connected, powered, high speed).
    EXPECT_EQ(bits("0", "1") + bits("1", "0"), pane.Shown("IHUB"));
    tdl::test::RecordingOutputImp out;
    HubifOutputer cut(&out, nullptr, Header(record));
    cut.OutputCreateDevicePortStatus(OUTPUT_MODE_GRID, 3, args.data());
    cut.OutputCreateDeviceV7PortStatus(OUTPUT_MODE_GRID, 11, args.data());
    EXPECT_EQ("", out.Text());
}

} // namespace
