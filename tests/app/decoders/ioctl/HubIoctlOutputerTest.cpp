// The hub IOCTL decoder: what the Log Details pane shows per code and side, and the XML report's form.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HubTestRecords.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using namespace ioctl_test;
using LogTag::hubC;
using LogTag::hubI;
using LogTag::hubR;

std::string ShownBody(const std::vector<uint8_t>& record) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(nullptr, record));
    return pane.Shown("HUB");
}

// DeviceDescriptor() as the connection information shows it, at the given indent.
std::string DeviceRows(const std::string& indent) {
    std::string rows;
    for (const char* row :
         {"bLength = 0x12", "bDescriptorType = 0x01 (DEVICE)", "bcdUSB = 0x0200 (2.0)", "bDeviceClass = 0x00",
          "bDeviceSubClass = 0x00", "bDeviceProtocol = 0x00", "bMaxPacketSize0 = 0x08", "idVendor = 0x046d",
          "idProduct = 0xc31c", "bcdDevice = 0x0110 (1.1)", "iManufacturer = 0x01", "iProduct = 0x02",
          "iSerialNumber = 0x00", "bNumConfigurations = 0x01"})
        rows += indent + row + "\n";
    return rows;
}

constexpr const char* kSetupRows = "    bmRequest = 0x80\n    bRequest = 0x06\n    wValueLow (index) = 0x00\n";

struct GridCase {
    const char* what;
    std::vector<uint8_t> record;
    std::string shown;
};

TEST(HubIoctlOutputerTest, NodeInformation) {
    std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0xE0, 0, 0x32, 0x64, 0, 0xFF};
    hubDescriptor.resize(71);
    const std::string hub = ShownBody(Record(hubC, 0x220408, 0, Join({Words({0}), hubDescriptor, {1}})));
    EXPECT_EQ(0u, hub.find("HUB Ioctl = IOCTL_USB_GET_NODE_INFORMATION\nUSB_NODE_INFORMATION\n  NodeType = UsbHub\n"
                           "  USB_HUB_INFORMATION =\n    Hub Class Descriptor =\n      Descriptor Length = 0x09\n"
                           "      Descriptor Type = 0x29 (HUB CLASS)\n      Downstream Ports = 0x04\n"))
        << hub;
    EXPECT_NE(std::string::npos, hub.find("        bit.4.Port_4 = 1\n    HubIsBusPowered = TRUE\n")) << hub;

    EXPECT_EQ("HUB Ioctl = IOCTL_USB_GET_NODE_INFORMATION\nUSB_NODE_INFORMATION\n  NodeType = UsbMIParent\n"
              "  USB_MI_PARENT_INFORMATION =\n    NumberOfInterfaces = 0x00000003\n",
              ShownBody(Record(hubC, 0x220408, 0, Join({Words({1, 3}), std::vector<uint8_t>(68)}))));
    // A request, or a completion too short for the node, shows the empty section.
    EXPECT_EQ("HUB Ioctl = IOCTL_USB_GET_NODE_INFORMATION\nUSB_NODE_INFORMATION\n",
              ShownBody(Record(hubC, 0x220408, 0, Words({1, 3}))));
}

TEST(HubIoctlOutputerTest, ConnectionInformation) {
    const std::string plainHead = "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION\n"
                                  "USB_NODE_CONNECTION_INFORMATION\n  ConnectionIndex = 0x00000003\n";
    const std::string exHead = "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX\n"
                               "USB_NODE_CONNECTION_INFORMATION_EX\n  ConnectionIndex = 0x00000001\n";
    const std::string connected = "  Connection Information =\n    CurrentConfigurationValue = 0x01\n";
    const std::string tail = "    DeviceIsHub = FALSE\n    DeviceAddress = 0x0005\n";
    const GridCase cases[] = {
        {"request", Record(hubI, 0x22040C, 0x103, Words({3})), plainHead},
        {"plain, no pipes", Record(hubC, 0x22040C, 0, Connection(3, 0, 0, 1)),
         plainHead + "  Device Descriptor =\n" + DeviceRows("    ") + connected + "    LowSpeed = FALSE\n" + tail +
             "    NumberOfOpenPipes = 0x00000000\n    ConnectionStatus = Device connected (0x1)\n"},
        {"failed enumeration: the status alone, in red", Record(hubC, 0x22040C, 0, Connection(3, 0, 0, 2)),
         plainHead + "  ConnectionStatus = Device failed enumeration (0x2) {0x0000FF}\n"},
        {"no device", Record(hubC, 0x22040C, 0, Connection(3, 0, 0, 0)),
         plainHead + "  ConnectionStatus = No device connected (0x0)\n"},
        {"a speed without a name", Record(hubC, 0x220448, 0, Connection(1, 3, 0, 1)),
         exHead + "  Device Descriptor =\n" + DeviceRows("    ") + connected + "    Speed = 0x03\n" + tail +
             "    NumberOfOpenPipes = 0x00000000\n    ConnectionStatus = Device connected (0x1)\n"},
        {"extended, two pipes",
         Record(hubC, 0x220448, 0,
                Join({Connection(1, 2, 2, 1), Pipe(0x81, 1, 0x1400, 1, 0), Pipe(0x02, 2, 512, 0, 7)})),
         exHead + "  Device Descriptor =\n" + DeviceRows("    ") + connected + "    Speed = UsbHighSpeed\n" + tail +
             "    NumberOfOpenPipes = 0x00000002\n    ConnectionStatus = Device connected (0x1)\n"
             "    USB_PIPE_INFO.0 =\n      Descriptor Type = ENDPOINT\n        bLength = 0x07\n"
             "        bDescriptorType = 0x05 (ENDPOINT)\n        bEndpointAddress = 0x81 (IN)\n"
             "        bmAttributes.0-1 = 1 (Isochronous)\n        bmAttributes.2-3 = 0 (No Synchronization)\n"
             "        bmAttributes.4-5 = 0 (Data EP)\n        wMaxPacketSize = 0x1400\n        High Bandwidth =\n"
             "          AdditionalTransactions = 2\n          PacketSize = 0xc00\n        Interval Properties =\n"
             "          bInterval = 0x01\n          HS-Interval = 0x1 (microframes)\n"
             "          FS.LS-Interval = 0x1 (frames)\n      ScheduleOffset = 0x00000000\n"
             "    USB_PIPE_INFO.1 =\n      Descriptor Type = ENDPOINT\n        bLength = 0x07\n"
             "        bDescriptorType = 0x05 (ENDPOINT)\n        bEndpointAddress = 0x02 (OUT)\n"
             "        bmAttributes.0-1 = 2 (Bulk)\n        wMaxPacketSize = 0x0200\n        Interval Properties =\n"
             "          bInterval = 0x00\n          HS-Max_NAK_Rate = 0x00 (Never NAKs)\n"
             "      ScheduleOffset = 0x00000007\n"},
        {"attributes", Record(hubC, 0x220440, 0, Words({3, 1, 0x02000009})),
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES\nUSB_NODE_CONNECTION_ATTRIBUTES\n"
         "  ConnectionIndex = 0x00000003\n  ConnectionStatus = Device connected (0x1)\n  PortAttributes bits =\n"
         "    as ULONG = 0x02000009\n    25: USB_PORTATTR_NO_OVERCURRENT_UI = 1\n"
         "    24: USB_PORTATTR_OWNED_BY_CC = 0\n    03: USB_PORTATTR_OEM_CONNECTOR = 1\n"
         "    02: USB_PORTATTR_MINI_CONNECTOR = 0\n    01: USB_PORTATTR_SHARED_USB2 = 0\n"
         "    00: USB_PORTATTR_NO_CONNECTOR = 1\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HubIoctlOutputerTest, ConnectionDescriptorEndsAtTheConnectionFields) {
    // A bLength past the descriptor's 18 bytes must not read the connection fields as descriptor.
    std::vector<uint8_t> payload = Connection(3, 0, 0, 1);
    payload[4] = 0xFF;
    const std::string shown = ShownBody(Record(hubC, 0x22040C, 0, payload));
    EXPECT_NE(std::string::npos, shown.find("    bLength = 0xff\n")) << shown;
    EXPECT_EQ(std::string::npos, shown.find("???")) << shown;
    EXPECT_NE(std::string::npos, shown.find("    bNumConfigurations = 0x01\n  Connection Information =\n")) << shown;
}

TEST(HubIoctlOutputerTest, DescriptorRequests) {
    const std::string head = "HUB Ioctl = IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION\nUSB_DESCRIPTOR_REQUEST\n"
                             "  ConnectionIndex = 0x00000002\n  Setup Packet =\n" +
                             std::string(kSetupRows);
    const std::vector<uint8_t> configuration = {9, 2, 9, 0, 0, 1, 0, 0x80, 50};
    const std::string configurationSetup =
        head + "    wValueHigh (DescriptorType) = 0x02 (CONFIGURATION)\n    wIndex = 0x0000\n    wLength = 0x0009\n";
    const GridCase cases[] = {
        {"request", Record(hubI, 0x220410, 0x103, DescriptorRequest(1, 0, 18)),
         head + "    wValueHigh (DescriptorType) = 0x01 (DEVICE)\n    wIndex = 0x0000\n    wLength = 0x0012\n"},
        {"device", Record(hubC, 0x220410, 0, Join({DescriptorRequest(1, 0, 18), DeviceDescriptor()})),
         head + "    wValueHigh (DescriptorType) = 0x01 (DEVICE)\n    wIndex = 0x0000\n    wLength = 0x0012\n"
                "  Descriptor = DEVICE\n    bLength = 0x12\n    bDescriptorType = 0x01 (DEVICE)\n"
                "    bcdUSB = 0x0200 (2.0)\n    bDeviceClass = 0x00 (NoClass)\n    bDeviceSubClass = 0x00\n"
                "    bDeviceProtocol = 0x00\n    bMaxPacketSize0 = 0x08\n    idVendor = 0x046d\n"
                "    idProduct = 0xc31c\n    bcdDevice = 0x0110 (1.1)\n    iManufacturer = 0x01\n"
                "    iProduct = 0x02\n    iSerialNumber = 0x00\n    bNumConfigurations = 0x01\n"},
        {"configuration", Record(hubC, 0x220410, 0, Join({DescriptorRequest(2, 0, 9), configuration})),
         configurationSetup + "  Descriptor = CONFIGURATION\n    Descriptor Type = CONFIGURATION\n"
                              "      bLength = 0x09\n      bDescriptorType = 0x02 (CONFIGURATION)\n"
                              "      wTotalLength = 0x0009\n      bNumInterfaces = 0x00\n"
                              "      bConfigurationValue = 0x01\n      iConfiguration = 0x00\n"
                              "      bmAttributes = 0x80\n      MaxPower = 0x32\n"},
        {"failed configuration: no descriptor",
         Record(hubC, 0x220410, 0xC0000001, Join({DescriptorRequest(2, 0, 9), configuration})), configurationSetup},
        {"languages", Record(hubC, 0x220410, 0, Join({DescriptorRequest(3, 0, 4), {4, 3, 9, 4}})),
         head + "    wValueHigh (DescriptorType) = 0x03 (STRING)\n    wIndex = 0x0000\n    wLength = 0x0004\n"
                "  Descriptor = STRING\n    bLength = 0x04\n    bDescriptorType = 0x03 (STRING)\n"
                "    LANGID = 0x0409\n"},
        {"only the returned descriptor's length: too short to tell its type",
         Record(hubC, 0x220410, 0, Join({DescriptorRequest(1, 0, 18), {18}})),
         head + "    wValueHigh (DescriptorType) = 0x01 (DEVICE)\n    wIndex = 0x0000\n    wLength = 0x0012\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HubIoctlOutputerTest, OtherDescriptorGoesToTheDataBarAsFarAsItWasReturned) {
    const std::string rows =
        "  Other Descriptor = Unknown\n    bLength = 0x%02x\n    bDescriptorType = 0x29 (Unknown)\n"
        "    Bytes.00-02 = 04 e0 00\n  Descriptor Buffer =\n";
    const struct {
        BYTE bLength;
        const char* title;
    } cases[] = {
        {5, "  Descriptor Buffer - record #7                   (5 of 5 bytes)"},
        {9, "  Descriptor Buffer - record #7                   (5 of 9 bytes)"},
    };
    for (const auto& c : cases) {
        tdl::test::RecordingDataBar bar;
        const std::vector<uint8_t> descriptor = {c.bLength, 0x29, 4, 0xE0, 0};
        const std::string shown =
            ShownBody(Record(hubC, 0x220410, 0, Join({DescriptorRequest(0x29, 0, 9), descriptor})));
        char expected[256];
        std::snprintf(expected, sizeof expected, rows.c_str(), c.bLength);
        EXPECT_NE(std::string::npos, shown.find("    wValueHigh (DescriptorType) = 0x29 (CLASS-SPECIFIC)\n")) << shown;
        EXPECT_NE(std::string::npos, shown.find(expected)) << shown;
        EXPECT_EQ(c.title, bar.Title());
        EXPECT_EQ(descriptor, bar.Bytes());
    }
    // The mark-up and the HTML report send the bytes too; the HTML report writes no descriptor table.
    for (int mode : {OUTPUT_MODE_XML, OUTPUT_MODE_HTML}) {
        tdl::test::RecordingDataBar bar;
        const std::string calls = tdl::test::BodyCalls(
            nullptr, Record(hubC, 0x220410, 0, Join({DescriptorRequest(0x29, 0, 9), {5, 0x29, 4, 0xE0, 0}})), mode);
        EXPECT_EQ(1, bar.Buffers()) << mode;
        EXPECT_EQ("  Descriptor Buffer - record #7                   (5 of 5 bytes)", bar.Title()) << mode;
        EXPECT_EQ(mode == OUTPUT_MODE_XML, calls.find("OtherDescriptor") != std::string::npos) << calls;
        EXPECT_EQ(std::string::npos, calls.find("BeginTable")) << calls;
    }
}

TEST(HubIoctlOutputerTest, NamesCapabilitiesAndRequestsWithoutArguments) {
    const GridCase cases[] = {
        {"name of exactly 10 bytes", Record(hubC, 0x220414, 0, Join({Words({1, 10}), {0x41, 0}})),
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_NAME\nUSB_NODE_CONNECTION_NAME\n  ConnectionIndex = 0x00000001\n"
         "  ActualLength = 0x0000000a\n  NodeName =\n"},
        {"driver key name", Record(hubC, 0x220420, 0, Join({Words({1, 30}), Wide("Key\\0001")})),
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME\nUSB_NODE_CONNECTION_DRIVERKEY_NAME\n"
         "  ConnectionIndex = 0x00000001\n  ActualLength = 0x0000001e\n  DriverKeyName = Key\\0001\n"},
        {"name without its terminator", Record(hubC, 0x220414, 0, Join({Words({1, 30}), {0x41, 0, 0x42, 0, 0x43}})),
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_NAME\nUSB_NODE_CONNECTION_NAME\n  ConnectionIndex = 0x00000001\n"
         "  ActualLength = 0x0000001e\n  NodeName = AB\n"},
        {"extended capabilities", Record(hubC, 0x220450, 0, Words({0x5A})),
         "HUB Ioctl = IOCTL_USB_GET_HUB_CAPABILITIES_EX\nUSB_HUB_CAPABILITIES_EX\n  USB_HUB_CAP_FLAGS =\n"
         "    as ULONG = 0x0000005a\n    HubIsHighSpeedCapable = 0\n    HubIsHighSpeed = 1\n"
         "    HubIsMultiTtCapable = 0\n    HubIsMultiTt = 1\n    HubIsRoot = 1\n    HubIsArmedWakeOnConnect = 0\n"
         "    HubIsBusPowered = 1\n"},
        {"capabilities", Record(hubC, 0x22043C, 0, Words({1})),
         "HUB Ioctl = IOCTL_USB_GET_HUB_CAPABILITIES\nUSB_HUB_CAPABILITIES\n  Hub Is 2.x Capable = 1\n"},
        {"capabilities, request", Record(hubI, 0x22043C, 0x103, {}),
         "HUB Ioctl = IOCTL_USB_GET_HUB_CAPABILITIES\nUSB_HUB_CAPABILITIES\n"},
        {"diagnostic mode", Record(hubI, 0x220418, 0x103, {}),
         "HUB Ioctl = IOCTL_USB_DIAG_IGNORE_HUBS_ON\nDiag Ignore Hubs On\n  No arguments =\n"},
        {"reset", Record(hubC, 0x22044C, 0, Words({9})),
         "HUB Ioctl = IOCTL_USB_RESET_HUB\nReset Hub\n  No arguments =\n"},
        {"cycle port", Record(hubI, 0x220444, 0x103, Words({2})),
         "HUB Ioctl = IOCTL_USB_HUB_CYCLE_PORT\nCycle Port\n  Port Number = 0x00000002\n"},
        {"cycle port cut", Record(hubI, 0x220444, 0x103, {2, 0}),
         "HUB Ioctl = IOCTL_USB_HUB_CYCLE_PORT\nCycle Port\n  Truncated = 2 of 4 payload bytes {0x0000FF}\n"
         "  Port Number = ???\n"},
        {"a code the table does not list", Record(hubC, 0x220424, 0, Words({1})), "HUB Ioctl = HUB_IOCTL_220424\n"},
        {"returned", Record(hubR, 0x22040C, 0x103, Words({3})),
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HubIoctlOutputerTest, PipeCountPastTheEntriesIsACut) {
    const std::vector<uint8_t> record =
        Record(hubC, 0x220448, 0, Join({Connection(1, 2, 1000, 1), Pipe(0x81, 3, 8, 10, 0)}));
    const std::string shown = ShownBody(record);
    EXPECT_NE(std::string::npos, shown.find("    Truncated = 46 of 11035 payload bytes {0x0000FF}\n")) << shown;
    EXPECT_NE(std::string::npos, shown.find("USB_PIPE_INFO.0")) << shown;
    EXPECT_EQ(std::string::npos, shown.find("USB_PIPE_INFO.1")) << shown;
}

TEST(HubIoctlOutputerTest, Markup) {
    const struct {
        std::vector<uint8_t> record;
        std::string body;
    } cases[] = {
        {Record(hubC, 0x220408, 0, Join({Words({1, 3}), std::vector<uint8_t>(68)})),
         "<HubIoctl-NodeInfo><NodeType>UsbMIParent</NodeType><MiParentInformation>"
         "<NumberOfInterfaces>00000003</NumberOfInterfaces></MiParentInformation></HubIoctl-NodeInfo>"},
        {Record(hubC, 0x22040C, 0, Connection(3, 0, 0, 2)),
         "<HubIoctl-NodeConnInfo><ConnectionIndex>00000003</ConnectionIndex>"
         "<ConnectionStatus Description=\"Device failed enumeration\">00000002</ConnectionStatus>"
         "</HubIoctl-NodeConnInfo>"},
        {Record(hubC, 0x220448, 0, Join({Connection(1, 1, 1, 1), Pipe(0x02, 2, 64, 0, 7)})),
         "<HubIoctl-NodeConnInfoEx><ConnectionIndex>00000001</ConnectionIndex><DeviceDescriptor><bLength>12</bLength>"
         "<bDescriptorType Name=\"DEVICE\">01</bDescriptorType><bcdUSB Version=\"2.0\">0200</bcdUSB>"
         "<bDeviceClass>00</bDeviceClass><bDeviceSubClass>00</bDeviceSubClass><bDeviceProtocol>00</bDeviceProtocol>"
         "<bMaxPacketSize0>08</bMaxPacketSize0><idVendor>046d</idVendor><idProduct>c31c</idProduct>"
         "<bcdDevice Version=\"1.1\">0110</bcdDevice><iManufacturer>01</iManufacturer><iProduct>02</iProduct>"
         "<iSerialNumber>00</iSerialNumber><bNumConfigurations>01</bNumConfigurations></DeviceDescriptor>"
         "<CurrentConfigurationValue>01</CurrentConfigurationValue><Speed>UsbFullSpeed</Speed>"
         "<DeviceIsHub>FALSE</DeviceIsHub><DeviceAddress>0005</DeviceAddress>"
         "<NumberOfOpenPipes>00000001</NumberOfOpenPipes>"
         "<ConnectionStatus Description=\"Device connected\">00000001</ConnectionStatus><USB_PIPE_INFO.0>"
         "<EndpointDescriptor><bLength>07</bLength><bDescriptorType Name=\"ENDPOINT\">05</bDescriptorType>"
         "<bEndpointAddress Direction=\"OUT\">02</bEndpointAddress>"
         "<bmAttributes.0-1 PipeType=\"Bulk\">2</bmAttributes.0-1><wMaxPacketSize>0040</wMaxPacketSize>"
         "<IntervalProps><bInterval>00</bInterval><HS-Max_NAK_Rate Rate=\"Never NAKs\">00</HS-Max_NAK_Rate>"
         "</IntervalProps></EndpointDescriptor><ScheduleOffset>00000007</ScheduleOffset></USB_PIPE_INFO.0>"
         "</HubIoctl-NodeConnInfoEx>"},
        {Record(hubC, 0x220440, 0, Words({2, 1, 0x02000009})),
         "<HubIoctl-NodeConnAttr><ConnectionIndex>00000002</ConnectionIndex>"
         "<ConnectionStatus Description=\"Device connected\">00000001</ConnectionStatus>"
         "<PortAttributes>02000009</PortAttributes></HubIoctl-NodeConnAttr>"},
        {Record(hubI, 0x220410, 0x103, DescriptorRequest(1, 0, 18)),
         "<HubIoctl-NodeDescReq><ConnectionIndex>00000002</ConnectionIndex><SetupPacket><bmRequest>80</bmRequest>"
         "<bRequest>06</bRequest><wValueLow Description=\"Index\">00</wValueLow>"
         "<wValueHigh Name=\"DEVICE\">01</wValueHigh><wIndex>0000</wIndex><wLength>0012</wLength></SetupPacket>"
         "</HubIoctl-NodeDescReq>"},
        {Record(hubC, 0x220414, 0, Join({Words({1, 10}), {0x41, 0}})),
         "<HubIoctl-NodeConnName><ConnectionIndex>00000001</ConnectionIndex><ActualLength>0000000a</ActualLength>"
         "<NodeName/></HubIoctl-NodeConnName>"},
        {Record(hubC, 0x220450, 0, Words({0x5A})),
         "<HubIoctl-HubCapsEx><USB_HUB_CAP_FLAGS><HubIsHighSpeedCapable>0</HubIsHighSpeedCapable>"
         "<HubIsHighSpeed>1</HubIsHighSpeed><HubIsMultiTtCapable>0</HubIsMultiTtCapable>"
         "<HubIsMultiTt>1</HubIsMultiTt><HubIsRoot>1</HubIsRoot><HubIsArmedWakeOnConnect>0</HubIsArmedWakeOnConnect>"
         "<HubIsBusPowered>1</HubIsBusPowered></USB_HUB_CAP_FLAGS></HubIoctl-HubCapsEx>"},
        {Record(hubC, 0x22043C, 0, Words({1})),
         "<HubIoctl-HubCaps><HubIs2xCapable>1</HubIs2xCapable></HubIoctl-HubCaps>"},
        {Record(hubI, 0x220444, 0x103, Words({2})),
         "<HubIoctl-CyclePort><PortNumber>00000002</PortNumber></HubIoctl-CyclePort>"},
        {Record(hubI, 0x22041C, 0x103, {}), "<HubIoctl-DiagOff/>"},
        {Record(hubC, 0x220424, 0, Words({1})), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.body, MarkupBody(tdl::test::MarkupText(nullptr, c.record)));
        // The HTML report shows no row of the body, nor a table of a descriptor in it.
        const std::string calls = tdl::test::BodyCalls(nullptr, c.record, OUTPUT_MODE_HTML);
        EXPECT_EQ(std::string::npos, calls.find("WriteValue")) << calls;
        EXPECT_EQ(std::string::npos, calls.find("BeginTable")) << calls;
    }
}

} // namespace

namespace {

// The Log Details pane's runner with its one back-end, whose item stack the test watches.
TEST(HubIoctlOutputerTest, PipesNestBelowTheConnectionAndLeaveTheItemStackAsItWas) {
    const std::vector<uint8_t> record =
        Record(hubC, 0x220448, 0, Join({Connection(1, 2, 2, 1), Pipe(0x81, 1, 0x1400, 1, 0), Pipe(0x83, 3, 8, 4, 0)}));
    tdl::test::LogDetailsPane pane;
    GridOutputImp grid(&pane);
    std::unique_ptr<LogOutputer> decoder(
        LogOutputer::Create(&grid, nullptr, reinterpret_cast<const _LOGHDR*>(record.data())));
    ASSERT_TRUE(decoder);
    for (const char* caption : tdl::test::LogDetailsPane::kCategories)
        grid.HideCategory(caption);
    decoder->OutputLogEntry();
    decoder->OutputTarget();
    decoder->OutputIrpFields();
    // "Log Entry", "Target" and "IRP", then "HUB": half the stack. The pipe's endpoint section takes the
    // last slot, so its groups are a level the stack does not hold.
    const uint32_t depth = grid.GetItemStack().GetCount() + 1;
    ASSERT_EQ(4u, depth);
    decoder->OutputKindTitle(OUTPUT_MODE_GRID);
    EXPECT_EQ(depth, grid.GetItemStack().GetCount());
    ASSERT_TRUE(grid.GetCurrentItem());
    EXPECT_STREQ("HUB", grid.GetCurrentItem()->GetCaption());
    EXPECT_EQ(grid.GetCurrentItem(), grid.GetItemStack().Peek());

    const std::string shown = pane.Shown("HUB");
    EXPECT_NE(std::string::npos, shown.find("    ConnectionStatus = Device connected (0x1)\n    USB_PIPE_INFO.0 =\n"
                                            "      Descriptor Type = ENDPOINT\n        bLength = 0x07\n"))
        << shown;
    EXPECT_NE(
        std::string::npos,
        shown.find("        wMaxPacketSize = 0x1400\n        High Bandwidth =\n          AdditionalTransactions = 2\n"
                   "          PacketSize = 0xc00\n        Interval Properties =\n          bInterval = 0x01\n"
                   "          HS-Interval = 0x1 (microframes)\n          FS.LS-Interval = 0x1 (frames)\n"
                   "      ScheduleOffset = 0x00000000\n    USB_PIPE_INFO.1 =\n"))
        << shown;
    EXPECT_NE(
        std::string::npos,
        shown.find(
            "        Interval Properties =\n          bInterval = 0x04\n          HS-Interval = 0x8 (microframes)\n"
            "          FS.LS-Interval = 0x4 (frames)\n      ScheduleOffset = 0x00000000\n"))
        << shown;
}

} // namespace
