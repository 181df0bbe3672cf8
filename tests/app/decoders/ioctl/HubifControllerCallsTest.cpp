// The hub-interface calls that create, initialise, query, restore and remove devices, and the structures
// they carry, on request ("buhI") and completion ("buhC") records built by hand; structures are laid out
// through the published x64 layouts.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/decoders/framework/GridOutputImp.h"
#include "common/RecordTags.h"
#include "hubbusif.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using tdl::test::ArgBlock;
using tdl::test::kCallBusContext;
using tdl::test::kCallHandle;

constexpr ULONG kFailed = 0xC0000001;

std::vector<uint8_t> Call(ULONG tag, ULONG index, const std::vector<uint8_t>& args = {}, ULONG returned = 0) {
    return tdl::test::CallRecord(tag, index, kCallBusContext, kCallHandle, returned, args);
}

std::string Shown(const std::vector<uint8_t>& record) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(nullptr, record));
    return pane.Shown("IHUB");
}

std::string Xml(const std::vector<uint8_t>& record) {
    return tdl::test::BodyCalls(nullptr, record, OUTPUT_MODE_XML);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(HubifControllerCallsTest, CreateUsbDeviceBySide) {
    const std::vector<uint8_t> args = ArgBlock().U16(3).U16(0x0103).U32(0).U64(0xFFFFA80099990000);
    const std::string request = Shown(Call(LogTag::buhI, 0, args));
    EXPECT_EQ(0u, request.find("HUB Interface = CreateUsbDevice\n"
                               "Inputs =\n"
                               "  BusContext = 0xffffa80000001000\n"
                               "  BusDeviceHandle = 0xffffa80022220000\n"
                               "  Port Number = 0x0003\n"
                               "  Port Status = 0x0103\n"
                               "  Port Status Bits =\n"))
        << request;
    EXPECT_FALSE(Has(request, "Outputs"));
    const std::string completion = Shown(Call(LogTag::buhC, 0, args, kFailed));
    EXPECT_TRUE(Has(completion, "\nOutputs =\n"
                                "  UsbdDeviceHandle = 0xffffa80099990000\n"
                                "  ReturnStatus (NTSTATUS) = STATUS_UNSUCCESSFUL (0xc0000001) {0x0000FF}\n"))
        << completion;
    EXPECT_EQ(0u, Xml(Call(LogTag::buhC, 0, args))
                      .find("BeginElement|HUBIF-CreateUsbDevice\n"
                            "WriteValue|BusDeviceHandle|ffffa80022220000\n"
                            "AddAttribute|ArgDirection|in\n"
                            "WriteValue|PortNumber|0003\n"
                            "AddAttribute|ArgDirection|in\n"
                            "WriteValue|PortStatusWord|0103\n"
                            "AddAttribute|ArgDirection|in\n"));
}

// Port status 0x0103 (connected, enabled, powered) as the creation calls show it.
const std::string kPortStatusBitsGrid = "  Port Status Bits =\n"
                                        "    Reserved.PortStatus.15-13 = 0x00\n"
                                        "    PORT_INDICATOR.PortStatus.12 = 0\n"
                                        "    PORT_TEST.PortStatus.11 = 0\n"
                                        "    PORT_HIGH_SPEED.PortStatus.10 = 0\n"
                                        "    PORT_LOW_SPEED.PortStatus.9 = 0\n"
                                        "    PORT_POWER.PortStatus.8 = 1\n"
                                        "    Reserved.PortStatus.7-5 = 0x00\n"
                                        "    PORT_RESET.PortStatus.4 = 0\n"
                                        "    PORT_OVER_CURRENT.PortStatus.3 = 0\n"
                                        "    PORT_SUSPEND.PortStatus.2 = 0\n"
                                        "    PORT_ENABLE.PortStatus.1 = 1\n"
                                        "    PORT_CONNECTION.PortStatus.0 = 1\n";
const std::string kPortStatusBitsMarkup = "BeginElement|PortStatusBits\n"
                                          "WriteValue|Reserved.PortStatus.15-13|00\n"
                                          "WriteValue|PORT_INDICATOR.PortStatus.12|0\n"
                                          "WriteValue|PORT_TEST.PortStatus.11|0\n"
                                          "WriteValue|PORT_HIGH_SPEED.PortStatus.10|0\n"
                                          "WriteValue|PORT_LOW_SPEED.PortStatus.9|0\n"
                                          "WriteValue|PORT_POWER.PortStatus.8|1\n"
                                          "WriteValue|Reserved.PortStatus.7-5|00\n"
                                          "WriteValue|PORT_RESET.PortStatus.4|0\n"
                                          "WriteValue|PORT_OVER_CURRENT.PortStatus.3|0\n"
                                          "WriteValue|PORT_SUSPEND.PortStatus.2|0\n"
                                          "WriteValue|PORT_ENABLE.PortStatus.1|1\n"
                                          "WriteValue|PORT_CONNECTION.PortStatus.0|1\n"
                                          "EndElement\n"
                                          "EndGroup\n";

// Every call whose rows are plain values or handles, on its completion record: the whole grid and the whole
// mark-up, so that a label, element name, offset, width or direction that slips shows. The request record
// shows the same Inputs and no Outputs (none of these has a request-only row).
TEST(HubifControllerCallsTest, PlainCallsInBothModes) {
    const struct {
        ULONG index;
        std::vector<uint8_t> args;
        std::string grid;
        std::string markup;
    } cases[] = {
        {1,
         {},
         "HUB Interface = InitializeUsbDevice\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-InitializeUsbDevice\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {4, ArgBlock().U64(0xFFFFA80033330000),
         "HUB Interface = RestoreDevice\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "Outputs =\n"
         "  New UsbdDeviceHandle = 0xffffa80033330000\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-RestoreUsbDevice\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|NewUsbdDeviceHandle|ffffa80033330000\n"
         "AddAttribute|ArgDirection|out\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {5, ArgBlock().U32(0x12),
         "HUB Interface = GetPortHackFlags\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "Outputs =\n"
         "  HackFlags = 0x00000012\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-GetPortHackFlags\n"
         "WriteValue|HackFlags|00000012\n"
         "AddAttribute|ArgDirection|out\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {12, ArgBlock().U32(4),
         "HUB Interface = Initialize20Hub\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  Hub UsbdDeviceHandle = 0xffffa80022220000\n"
         "  TtCount = 0x00000004\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-Initialize20Hub\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|TtCount|00000004\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {13, ArgBlock().U64(0x1111).U64(0xFFFFF80044440000),
         "HUB Interface = RootHubInitNotif\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  CallbackContext = 0x1111\n"
         "  CallbackFunction = 0xfffff80044440000\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-RootHubInitNotification\n"
         "WriteValue|CallbackContext|1111\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|CallbackFunction|fffff80044440000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {24, ArgBlock().U32(7).U32(0).U64(0x5555),
         "HUB Interface = HubTestPoint\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "  OpCode = 0x00000007\n"
         "  TestData = 0x5555\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-HubTestPoint\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|OpCode|00000007\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|TestDataPointer|5555\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {26,
         {},
         "HUB Interface = WaitAsyncPowerUp\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-WaitAsyncPowerUp\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {27, ArgBlock().U16(5),
         "HUB Interface = GetDeviceAddress\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "Outputs =\n"
         "  DeviceAddress = 0x0005\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-GetDeviceAddress\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|DeviceAddress|0005\n"
         "AddAttribute|ArgDirection|out\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {28, ArgBlock().U64(0x6666).Bytes({'U', 's', 'b', 'D'}),
         "HUB Interface = RefDeviceHandle\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "  Object = 0x6666\n"
         "  Tag = UsbD (44627355)\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-RefDeviceHandle\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ObjectPointer|6666\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|Tag|44627355\n"
         "AddAttribute|ArgDirection|in\n"
         "AddAttribute|CharValue|UsbD\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {29, ArgBlock().U64(0x6666).Bytes({'U', 's', 'b', 'D'}),
         "HUB Interface = DerefDeviceHandle\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "  Object = 0x6666\n"
         "  Tag = UsbD (44627355)\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-DerefDeviceHandle\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|Object|6666\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|Tag|44627355\n"
         "AddAttribute|ArgDirection|in\n"
         "AddAttribute|CharValue|UsbD\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {33, ArgBlock().U16(2).U16(0).U32(0x12345678).U16(0x9ABC).U16(0xDEF0).Bytes({1, 2, 3, 4, 5, 6, 7, 8}),
         "HUB Interface = SetContainerIdForPort\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  PortNumber = 0x00000002\n"
         "  ContainerId = {12345678-9abc-def0-0102-030405060708}\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-SetContainerIdForPort\n"
         "WriteValue|PortNumber|00000002\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ContainerId|{12345678-9abc-def0-0102-030405060708}\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {16, ArgBlock().U16(3).U16(0x0103).U16(4).U16(0).U64(0xFFFFA80099990000).U64(0x7777),
         "HUB Interface = CreateUsbDeviceEx\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  BusDeviceHandle = 0xffffa80022220000\n"
         "  Port Number = 0x0003\n"
         "  Port Status = 0x0103\n" +
             kPortStatusBitsGrid +
             "  ErrInfoPointer = 0x7777\n"
             "  TtPortNumber = 0x0004\n"
             "Outputs =\n"
             "  UsbdDeviceHandle = 0xffffa80099990000\n"
             "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-CreateUsbDeviceEx\n"
         "WriteValue|BusDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|PortNumber|0003\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|PortStatusWord|0103\n"
         "AddAttribute|ArgDirection|in\n" +
             kPortStatusBitsMarkup +
             "WriteValue|ErrInfoPointer|7777\n"
             "AddAttribute|ArgDirection|in_out\n"
             "WriteValue|TtPortNumber|0004\n"
             "AddAttribute|ArgDirection|in\n"
             "WriteValue|UsbdDeviceHandle|ffffa80099990000\n"
             "AddAttribute|ArgDirection|out\n"
             "WriteValue|ReturnStatus|00000000\n"
             "AddAttribute|Name|STATUS_SUCCESS\n"
             "AddAttribute|ArgDirection|out\n"
             "EndElement\n"},
        {17, ArgBlock().U64(0x8888),
         "HUB Interface = InitializeUsbDeviceEx\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  UsbdDeviceHandle = 0xffffa80022220000\n"
         "  ErrInfoPointer = 0x8888\n"
         "Outputs =\n"
         "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-InitializeUsbDeviceEx\n"
         "WriteValue|UsbdDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|ErrInfoPointer|8888\n"
         "AddAttribute|ArgDirection|in_out\n"
         "WriteValue|ReturnStatus|00000000\n"
         "AddAttribute|Name|STATUS_SUCCESS\n"
         "AddAttribute|ArgDirection|out\n"
         "EndElement\n"},
        {31,
         ArgBlock()
             .Bytes({1, 2, 0, 0, 0, 0, 0, 0})
             .U16(2)
             .U16(0x0103)
             .U16(4)
             .U16(0)
             .U64(0xFFFFA80099990000)
             .U64(0x7777)
             .U64(0x9999),
         "HUB Interface = CreateUsbDeviceV7\n"
         "Inputs =\n"
         "  BusContext = 0xffffa80000001000\n"
         "  BusDeviceHandle = 0xffffa80022220000\n"
         "  PortPathDepth = 0x0002\n"
         "  PortPath = 01 02 \n"
         "  Port Status = 0x0103\n" +
             kPortStatusBitsGrid +
             "  ErrInfoPointer = 0x7777\n"
             "  TtPortNumber = 0x0004\n"
             "  PdoDeviceObject = 0x9999\n"
             "Outputs =\n"
             "  UsbdDeviceHandle = 0xffffa80099990000\n"
             "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
         "BeginElement|HUBIF-CreateUsbDeviceV7\n"
         "WriteValue|BusDeviceHandle|ffffa80022220000\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|PortPathDepth|0002\n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|PortPath|01 02 \n"
         "AddAttribute|ArgDirection|in\n"
         "WriteValue|PortStatusWord|0103\n"
         "AddAttribute|ArgDirection|in\n" +
             kPortStatusBitsMarkup +
             "WriteValue|ErrInfoPointer|7777\n"
             "AddAttribute|ArgDirection|in_out\n"
             "WriteValue|TtPortNumber|0004\n"
             "AddAttribute|ArgDirection|in\n"
             "WriteValue|PdoDeviceObject|9999\n"
             "AddAttribute|ArgDirection|in\n"
             "WriteValue|UsbdDeviceHandle|ffffa80099990000\n"
             "AddAttribute|ArgDirection|out\n"
             "WriteValue|ReturnStatus|00000000\n"
             "AddAttribute|Name|STATUS_SUCCESS\n"
             "AddAttribute|ArgDirection|out\n"
             "EndElement\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.grid, Shown(Call(LogTag::buhC, c.index, c.args))) << c.index;
        EXPECT_EQ(c.markup, Xml(Call(LogTag::buhC, c.index, c.args))) << c.index;
        EXPECT_EQ(c.grid.substr(0, c.grid.find("Outputs =\n")), Shown(Call(LogTag::buhI, c.index, c.args))) << c.index;
    }
}

TEST(HubifControllerCallsTest, RequestOnlyLengthsMoveToTheResults) {
    const std::vector<uint8_t> args = ArgBlock().U32(0x40).U32(0);
    EXPECT_EQ("HUB Interface = QueryDeviceInformation\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  UsbdDeviceHandle = 0xffffa80022220000\n"
              "  Input Buffer Length = 0x00000040\n",
              Shown(Call(LogTag::buhI, 6, args)));
    EXPECT_EQ("HUB Interface = QueryDeviceInformation\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  UsbdDeviceHandle = 0xffffa80022220000\n"
              "Outputs =\n"
              "  Input Buffer Length = 0x00000040\n"
              "  Length Returned = 0x00000000\n"
              "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
              Shown(Call(LogTag::buhC, 6, args)));
    const std::string xml = Xml(Call(LogTag::buhC, 6, args));
    EXPECT_TRUE(Has(xml, "WriteValue|InputBufferLength|00000040\nAddAttribute|ArgDirection|in\n"
                         "WriteValue|LengthReturned|00000000\nAddAttribute|ArgDirection|out\n"))
        << xml;
}

TEST(HubifControllerCallsTest, FailedCallsKeepOnlyTheirStatus) {
    struct Case {
        ULONG index;
        std::vector<uint8_t> args;
    } cases[] = {
        {2, ArgBlock().U32(18).U32(9).Zeros(27)},
        {10, ArgBlock().U32(64).U32(8).U16('A').U16('B').U16(0).U16(0)},
        {32, ArgBlock().U16(2).U16(0).Zeros(16)},
    };
    for (const Case& c : cases) {
        const std::string shown = Shown(Call(LogTag::buhC, c.index, c.args, kFailed));
        const size_t outputs = shown.find("Outputs =\n");
        ASSERT_NE(std::string::npos, outputs) << c.index;
        std::string results = shown.substr(outputs);
        // GetRootHubSymbolicName keeps its lengths: only the name is a result of success.
        if (c.index == 10)
            EXPECT_EQ("Outputs =\n  InputBufferLength = 0x00000040\n  LengthReturned = 0x00000008\n"
                      "  ReturnStatus (NTSTATUS) = STATUS_UNSUCCESSFUL (0xc0000001) {0x0000FF}\n",
                      results);
        else
            EXPECT_EQ("Outputs =\n  ReturnStatus (NTSTATUS) = STATUS_UNSUCCESSFUL (0xc0000001) {0x0000FF}\n", results)
                << c.index;
    }
}

TEST(HubifControllerCallsTest, ValuesThatAreMoreThanNumbers) {
    struct Case {
        const char* what;
        ULONG tag;
        ULONG index;
        std::vector<uint8_t> args;
        const char* grid;
        const char* markup;
    } cases[] = {
        {"flags 3", LogTag::buhI, 3, ArgBlock().U32(3),
         "  Flags =\n    as ULONG = 0x00000003\n    USBD_KEEP_DEVICE_DATA.0 = 1\n    USBD_MARK_DEVICE_BUSY.1 = 1\n",
         "WriteValue|Flags|00000003\nAddAttribute|ArgDirection|in\n"
         "AddAttribute|FlagNames|USBD_KEEP_DEVICE_DATA USBD_MARK_DEVICE_BUSY\n"},
        {"flags 0", LogTag::buhI, 3, ArgBlock().U32(0),
         "  Flags =\n    as ULONG = 0x00000000\n    USBD_KEEP_DEVICE_DATA.0 = 0\n    USBD_MARK_DEVICE_BUSY.1 = 0\n",
         "WriteValue|Flags|00000000\nAddAttribute|ArgDirection|in\nAddAttribute|FlagNames|\n"},
        {"flags 1", LogTag::buhI, 3, ArgBlock().U32(1), "    USBD_KEEP_DEVICE_DATA.0 = 1\n",
         "AddAttribute|FlagNames|USBD_KEEP_DEVICE_DATA \n"},
        {"tag", LogTag::buhI, 28, ArgBlock().U64(0xFFFFA80012120000).Bytes({'U', 's', 'b', 'D'}),
         "  Tag = UsbD (44627355)\n",
         "WriteValue|Tag|44627355\nAddAttribute|ArgDirection|in\nAddAttribute|CharValue|UsbD\n"},
        {"tag with a zero byte", LogTag::buhI, 29, ArgBlock().U64(1).Bytes({'U', 0, 'b', 'D'}),
         "  Tag = U.bD (44620055)\n", "AddAttribute|CharValue|U.bD\n"},
        {"port path 0", LogTag::buhI, 31, ArgBlock().Bytes({1, 2, 3, 4, 5, 6, 7, 8}).U16(0).U16(0).Zeros(20),
         "  PortPathDepth = 0x0000\n  PortPath =\n", "WriteValue|PortPath|\nAddAttribute|ArgDirection|in\n"},
        {"port path 3", LogTag::buhI, 31, ArgBlock().Bytes({1, 2, 3, 4, 5, 6, 7, 8}).U16(3).U16(0).Zeros(20),
         "  PortPath = 01 02 03 \n", "WriteValue|PortPath|01 02 03 \n"},
        {"port path 255", LogTag::buhI, 31, ArgBlock().Bytes({1, 2, 3, 4, 5, 6, 7, 8}).U16(255).U16(0).Zeros(20),
         "  PortPath = 01 02 03 04 05 06 07 08 \n", "WriteValue|PortPath|01 02 03 04 05 06 07 08 \n"},
        {"high speed", LogTag::buhI, 21, ArgBlock().U64(0).U32(2).U32(0).Zeros(24),
         "  DeviceSpeed = 0x00000002 (UsbHighSpeed)\n",
         "WriteValue|DeviceSpeed|00000002\nAddAttribute|Type|UsbHighSpeed\nAddAttribute|ArgDirection|in\n"},
        {"no speed", LogTag::buhI, 21, ArgBlock().U64(0).U32(3).U32(0).Zeros(24),
         "  DeviceSpeed = 0x00000003 (Invalid Speed)\n", "AddAttribute|Type|Invalid Speed\n"},
        {"container", LogTag::buhI, 33,
         ArgBlock().U16(2).U16(0).U32(0x12345678).U16(0x9ABC).U16(0xDEF0).Bytes({1, 2, 3, 4, 5, 6, 7, 8}),
         "  PortNumber = 0x00000002\n  ContainerId = {12345678-9abc-def0-0102-030405060708}\n",
         "WriteValue|ContainerId|{12345678-9abc-def0-0102-030405060708}\nAddAttribute|ArgDirection|in\n"},
        {"root hub name", LogTag::buhC, 10, ArgBlock().U32(64).U32(8).U16('R').U16('H').U16(0).U16('X'),
         "  Symbolic Name = \"RH\"\n", "WriteValue|SymbolicName|RH\nAddAttribute|ArgDirection|out\n"},
        {"enable", LogTag::buhI, 8, ArgBlock().U32(2), "  Enable = TRUE\n", "WriteValue|Enable|TRUE\n"},
        {"bandwidth", LogTag::buhC, 21, ArgBlock().U64(0).U32(1).U32(0).Zeros(24),
         "Outputs =\n  Return Bandwidth ULONG = 0x00000000\n",
         "WriteValue|Bandwidth|00000000\nAddAttribute|ArgDirection|out\nEndElement\n"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> record = Call(c.tag, c.index, c.args);
        const std::string grid = Shown(record);
        EXPECT_TRUE(Has(grid, c.grid)) << c.what << "\n" << grid;
        const std::string markup = Xml(record);
        EXPECT_TRUE(Has(markup, c.markup)) << c.what << "\n" << markup;
        // The bandwidth is not a status.
        if (c.index == 21)
            EXPECT_FALSE(Has(grid, "NTSTATUS")) << c.what;
    }
}

TEST(HubifControllerCallsTest, RootHubNameCutByTheRecordIsTruncated) {
    // The length returned asks for 64 bytes; the record ends after "RH" with no NUL.
    const std::string shown = Shown(Call(LogTag::buhC, 10, ArgBlock().U32(64).U32(64).U16('R').U16('H')));
    EXPECT_TRUE(Has(shown, "  Truncated = 12 of 72 payload bytes {0x0000FF}\n  Symbolic Name = \"RH\"\n")) << shown;
}

} // namespace
