// The internal USB IOCTL decoder: what the Log Details pane shows per code and side, the placeholders it
// shows for what a record does not carry, the XML report's form and the trace of the device configuration.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HubTestRecords.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using namespace ioctl_test;
using LogTag::uinC;
using LogTag::uinI;
using LogTag::uinR;

std::string ShownBody(const std::vector<uint8_t>& record) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(nullptr, record));
    return pane.Shown("USBINT");
}

struct GridCase {
    const char* what;
    std::vector<uint8_t> record;
    std::string shown;
};

std::string Kind(const char* name) {
    return std::string("USB Internal Ioctl = IOCTL_INTERNAL_USB_") + name + "\n";
}

TEST(UsbintOutputerTest, SimpleCodesAndTheirPlaceholders) {
    const std::vector<uint8_t> pdos = Quads({0xFFFFA80000001000, 0xFFFFA80000002000});
    const std::vector<uint8_t> parent = Join({Quads({0x1000}), Words({1}), Quads({0x2000})});
    const GridCase cases[] = {
        {"root hub PDO, request", Record(uinI, 0x22000F, 0x103, {}),
         Kind("GET_ROOTHUB_PDO") + "GET_ROOTHUB_PDO\n  No arguments =\n"},
        {"root hub PDO", Record(uinC, 0x22000F, 0, pdos),
         Kind("GET_ROOTHUB_PDO") +
             "GET_ROOTHUB_PDO\n  Root Hub PDO = 0xffffa80000001000\n  Top of Bus Stack = 0xffffa80000002000\n"},
        {"root hub PDO, failed", Record(uinC, 0x22000F, 0xC0000001, pdos),
         Kind("GET_ROOTHUB_PDO") + "GET_ROOTHUB_PDO\n  Root Hub PDO = ---\n  Top of Bus Stack = ---\n"},
        {"port status", Record(uinC, 0x220013, 0, Words({3})),
         Kind("GET_PORT_STATUS") + "GET_PORT_STATUS\n  Port Status = 0x00000003\n  Port Status Bits =\n"
                                   "    00: Enabled = 1\n    01: Connected = 1\n"},
        {"port status, failed", Record(uinC, 0x220013, 0xC0000001, Words({3})),
         Kind("GET_PORT_STATUS") + "GET_PORT_STATUS\n  Port Status Bits = ---\n"},
        {"hub count", Record(uinC, 0x22001B, 0, Words({2})),
         Kind("GET_HUB_COUNT") + "GET_HUB_COUNT\n  Hub Count = 0x00000002 \"Number of Hubs upstream from Device\"\n"},
        {"idle notification", Record(uinI, 0x220027, 0x103, Quads({0x1000, 0x2000})),
         Kind("SUBMIT_IDLE_NOTIFICATION") +
             "USB_IDLE_CALLBACK_INFO\n  IdleCallback = 0x1000\n  IdleContext = 0x2000\n"},
        {"idle notification of 8 bytes", Record(uinC, 0x220027, 0, Quads({0x1000})),
         Kind("SUBMIT_IDLE_NOTIFICATION") +
             "USB_IDLE_CALLBACK_INFO\n  IdleCallback = 0x1000\n  Truncated = 8 of 16 payload bytes {0x0000FF}\n"
             "  IdleContext = ???\n"},
        {"idle notification, empty", Record(uinC, 0x220027, 0, {}),
         Kind("SUBMIT_IDLE_NOTIFICATION") + "USB_IDLE_CALLBACK_INFO\n  IdleCallback = ---\n  IdleContext = ---\n"},
        {"parent hub, request", Record(uinI, 0x22042C, 0x103, {}),
         Kind("GET_PARENT_HUB_INFO") + "GET_PARENT_HUB_INFO\n"},
        {"parent hub", Record(uinC, 0x22042C, 0, parent),
         Kind("GET_PARENT_HUB_INFO") + "GET_PARENT_HUB_INFO\n  Hub DeviceObject = 0x1000\n  Flags = 0x00000001\n"
                                       "  Root Hub DeviceObject = 0x2000\n"},
        {"parent hub, failed", Record(uinC, 0x22042C, 0xC0000001, parent),
         Kind("GET_PARENT_HUB_INFO") + "GET_PARENT_HUB_INFO\n  Hub DeviceObject = ---\n  Flags = ---\n"
                                       "  Root Hub DeviceObject = ---\n"},
        {"device handle", Record(uinC, 0x220433, 0, Quads({0x3000})),
         Kind("GET_DEVICE_HANDLE") + "GET_DEVICE_HANDLE\n  Device Handle = 0x3000\n"},
        {"device handle, failed", Record(uinC, 0x220433, 0xC0000001, Quads({0x3000})),
         Kind("GET_DEVICE_HANDLE") + "GET_DEVICE_HANDLE\n  Device Handle = ---\n"},
        {"bus information", Record(uinI, 0x220420, 0x103, Words({1})),
         Kind("GET_BUS_INFO") + "Get Bus Info\n  Not supported =\n"},
        {"idle ready", Record(uinC, 0x220443, 0, {}),
         Kind("NOTIFY_IDLE_READY") + "Notify Idle Ready\n  No arguments =\n"},
        {"a code between the listed ones", Record(uinC, 0x220444, 0, Words({1})), Kind("220444")},
        {"returned", Record(uinR, 0x220013, 0x103, {}), Kind("GET_PORT_STATUS")},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(UsbintOutputerTest, BufferSizeComesBeforeTheCategory) {
    const GridCase cases[] = {
        {"hub name, request", Record(uinI, 0x220020, 0x103, Words({40})),
         Kind("GET_HUB_NAME") + "BufferSize = 0x00000028 \"in bytes\"\nGET_HUB_NAME\n"},
        {"hub name: the size is the name's length", Record(uinC, 0x220020, 0, Join({Words({18}), Wide("HUB#1")})),
         Kind("GET_HUB_NAME") + "BufferSize = 0x00000012 \"in bytes\"\nGET_HUB_NAME\n"
                                "  ActualLength = 0x00000012 \"in bytes\"\n  HubName = HUB#1\n"},
        {"hub name without terminator", Record(uinC, 0x220020, 0, Join({Words({18}), {0x48, 0, 0x55, 0, 0x42}})),
         Kind("GET_HUB_NAME") + "BufferSize = 0x00000012 \"in bytes\"\nGET_HUB_NAME\n"
                                "  ActualLength = 0x00000012 \"in bytes\"\n  HubName = HU\n"},
        {"hub name, failed", Record(uinC, 0x220020, 0xC0000023, Words({18})),
         Kind("GET_HUB_NAME") + "BufferSize = 0x00000012 \"in bytes\"\nGET_HUB_NAME\n"
                                "  ActualLength = ---\n  HubName = ---\n"},
        {"hub name, request cut", Record(uinI, 0x220020, 0x103, {40}),
         Kind("GET_HUB_NAME") +
             "Truncated = 1 of 4 payload bytes {0x0000FF}\nBufferSize = ??? \"in bytes\"\nGET_HUB_NAME\n"},
        {"hub name, completion cut inside its length", Record(uinC, 0x220020, 0, {18, 0, 0}),
         Kind("GET_HUB_NAME") + "Truncated = 3 of 4 payload bytes {0x0000FF}\nBufferSize = ??? \"in bytes\"\n"
                                "GET_HUB_NAME\n  ActualLength = ??? \"in bytes\"\n  HubName = ???\n"},
        {"controller name", Record(uinC, 0x220424, 0, Join({Words({40, 20}), Wide("EHCI#0")})),
         Kind("GET_CONTROLLER_NAME") + "BufferSize = 0x00000028 \"in bytes\"\nGET_CONTROLLER_NAME\n"
                                       "  ActualLength = 0x00000014 \"in bytes\"\n  ControllerName = EHCI#0\n"},
        {"controller name, request cut", Record(uinI, 0x220424, 0x103, {40, 0}),
         Kind("GET_CONTROLLER_NAME") +
             "Truncated = 2 of 4 payload bytes {0x0000FF}\nBufferSize = ??? \"in bytes\"\nGET_CONTROLLER_NAME\n"},
        {"failure, request", Record(uinI, 0x22002B, 0x103, {}),
         Kind("RECORD_FAILURE") + "BufferSize = ---\nUSB_START_FAILDATA\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(UsbintOutputerTest, ParameterBlocksAndTopology) {
    const std::string ex = Kind("GET_DEVICE_HANDLE_EX") + "IOCTL_PARAMETERS\n";
    const std::string tt = Kind("GET_TT_DEVICE_HANDLE") + "IOCTL_PARAMETERS\n";
    const std::string args = "  DeviceHandle* Arg1 = 0x1\n  ReferenceContext Arg2 = 0x2\n";
    const std::string topology = Kind("GET_TOPOLOGY_ADDRESS") + "Get Topology Address\n"
                                                                "  Argument1 (PUSB_TOPOLOGY_ADDRESS) = 0x5000\n";
    const GridCase cases[] = {
        {"32-byte request", Record(uinI, 0x220437, 0x103, Quads({1, 2, 3, 4})),
         ex + args + "  Truncated = 32 of 40 payload bytes {0x0000FF}\n"},
        {"completion", Record(uinC, 0x220437, 0, Quads({1, 2, 3, 4, 5})), ex + args + "  DeviceHandle (*Arg1) = 0x5\n"},
        {"failed completion: no handle", Record(uinC, 0x220437, 0xC0000001, Quads({1, 2, 3, 4, 5})), ex + args},
        {"empty completion", Record(uinC, 0x220437, 0, {}),
         ex + "  DeviceHandle* Arg1 = ---\n  ReferenceContext Arg2 = ---\n  DeviceHandle (*Arg1) = ---\n"},
        {"TT, failed: every argument and the value Arg4 points to",
         Record(uinC, 0x22043B, 0xC0000001, Join({Quads({1, 2, 3, 4, 5}), Words({6})})),
         tt + args + "  IoControlCode Arg3 = 0x3\n  Unknown* Arg4 = 0x4\n  Unknown (*Arg4) = 0x00000006\n"},
        {"TT, empty request", Record(uinI, 0x22043B, 0x103, {}),
         tt + "  DeviceHandle* Arg1 = ---\n  ReferenceContext Arg2 = ---\n  IoControlCode Arg3 = ---\n"
              "  Unknown* Arg4 = ---\n  Unknown (*Arg4) = ---\n"},
        {"topology, request", Record(uinI, 0x22043F, 0x103, Quads({0x5000})), topology},
        {"topology",
         Record(uinC, 0x22043F, 0,
                Join({Quads({0x5000}), Words({1, 2, 3, 0}), {1, 0, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}})),
         topology + "  USB_TOPOLOGY_ADDRESS =\n    PciBusNumber = 0x00000001\n    PciDeviceNumber = 0x00000002\n"
                    "    PciFunctionNumber = 0x00000003\n    Reserved = 0x00000000\n    RootHubPortNumber = 0x0001\n"
                    "    HubPortNumber.0 = 0x0002\n    HubPortNumber.1 = 0x0003\n    HubPortNumber.2 = 0x0000\n"
                    "    HubPortNumber.3 = 0x0000\n    HubPortNumber.4 = 0x0000\n    Reserved2 = 0x0000\n"},
        {"topology, failed", Record(uinC, 0x22043F, 0xC0000001, Join({Quads({0x5000}), std::vector<uint8_t>(32)})),
         topology},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(UsbintOutputerTest, StartFailure) {
    const std::string head = Kind("RECORD_FAILURE") + "BufferSize = 0x00000024 \"in bytes\"\nUSB_START_FAILDATA\n";
    const std::string statuses =
        "  NtStatus = STATUS_SUCCESS (0x00000000)\n  UsbdStatus = USBD_STATUS_SUCCESS (0x00000000)\n"
        "  ConnectStatus = Device connected (0x1)\n";
    const struct {
        const char* what;
        std::vector<uint8_t> record;
        std::string shown;
        std::vector<uint8_t> bar;
    } cases[] = {
        {"no driver data",
         Record(uinC, 0x22002B, 0, Words({36, 16, 0xC0000001, 0x80000300, 2})),
         head + "  LengthInBytes = 0x00000010\n  NtStatus = STATUS_UNSUCCESSFUL (0xc0000001)\n"
                "  UsbdStatus = USBD_STATUS_INVALID_PARAMETER (0x80000300)\n"
                "  ConnectStatus = Device failed enumeration (0x2)\n",
         {}},
        {"four bytes of driver data",
         Record(uinC, 0x22002B, 0, Words({36, 20, 0, 0, 1, 0x04030201})),
         head + "  LengthInBytes = 0x00000014\n" + statuses + "  DriverData =\n",
         {1, 2, 3, 4}},
        {"a length below the fields",
         Record(uinC, 0x22002B, 0, Words({36, 15, 0, 0, 1})),
         head + "  LengthInBytes = 0x0000000f\n" + statuses,
         {}},
        {"a length of 0",
         Record(uinC, 0x22002B, 0, Words({36, 0, 0, 0, 1})),
         head + "  LengthInBytes = 0x00000000\n" + statuses,
         {}},
        {"a length past the record",
         Record(uinC, 0x22002B, 0, Words({36, 0xFFFFFFFF, 0, 0, 1, 0x04030201})),
         head + "  LengthInBytes = 0xffffffff\n" + statuses +
             "  Truncated = 24 of 4294967295 payload bytes {0x0000FF}\n  DriverData =\n",
         {1, 2, 3, 4}},
        {"cut in the fields",
         Record(uinC, 0x22002B, 0, Words({36, 16, 0})),
         head + "  LengthInBytes = 0x00000010\n  NtStatus = STATUS_SUCCESS (0x00000000)\n"
                "  Truncated = 12 of 20 payload bytes {0x0000FF}\n  UsbdStatus = ???\n  ConnectStatus = ???\n",
         {}},
        {"failed",
         Record(uinC, 0x22002B, 0xC0000001, Words({36, 20, 0, 0, 1, 0x04030201})),
         head + "  LengthInBytes = ---\n  NtStatus = ---\n  UsbdStatus = ---\n  ConnectStatus = ---\n",
         {}},
    };
    for (const auto& c : cases) {
        tdl::test::RecordingDataBar bar;
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
        EXPECT_EQ(c.bar, bar.Bytes()) << c.what;
        if (!c.bar.empty())
            EXPECT_EQ("  Start Fail DriverData  - record #7", bar.Title());
    }
}

TEST(UsbintOutputerTest, DeviceConfiguration) {
    const std::string kind = Kind("GET_DEVICE_CONFIG_INFO") + "Get Device Config Info\n";
    const std::string asked = "  Address (PHUB_DEVICE_CONFIG_INFO) = 0x5000\n  HUB_DEVICE_CONFIG_INFO =\n"
                              "    Version = 0x00000001\n    Length = 0x000000cc\n";
    const std::string head = kind + "  Address (PHUB_DEVICE_CONFIG_INFO) = 0xffffa80011110000\n"
                                    "  HUB_DEVICE_CONFIG_INFO =\n    Version = 0x00000001\n    Length = 0x000000cc\n"
                                    "    HubFlags = 0x0000005a\n    USB_HUB_CAP_FLAGS = HubFlags\n"
                                    "      HubIsHighSpeedCapable = 0\n      HubIsHighSpeed = 1\n"
                                    "      HubIsMultiTtCapable = 0\n      HubIsMultiTt = 1\n      HubIsRoot = 1\n"
                                    "      HubIsArmedWakeOnConnect = 0\n      HubIsBusPowered = 1\n";
    const auto idString = [](const char* name, const char* length, const char* buffer, const char* text) {
        return std::string("    USB_ID_STRING = ") + name + "\n      LanguageId = 0x0409\n      Pad = 0x0000\n" +
               "      LengthInBytes = " + length + "\n      Buffer = " + buffer + "\n      Buffer String = " + text +
               "\n";
    };
    const std::vector<uint8_t> area = Join({Wide("AB"), Wide("C"), Wide("DEF")});
    const GridCase cases[] = {
        {"request", Record(uinI, 0x22044F, 0x103, Join({Quads({0x5000}), Words({1, 204})})), kind + asked},
        {"failed: what the caller asked for",
         Record(uinC, 0x22044F, 0xC0000023, Join({Quads({0x5000}), Words({1, 204})})), kind + asked},
        {"warning: the address alone", Record(uinC, 0x22044F, 0x80000005, Join({Quads({0x5000}), Words({1, 204})})),
         kind + "  Address (PHUB_DEVICE_CONFIG_INFO) = 0x5000\n"},
        {"three strings",
         Record(uinC, 0x22044F, 0, Config(IdString(6, 0x7000), IdString(4, 0x7100), IdString(8, 0x7200), area)),
         head + idString("HardwareIds", "0x00000006", "0x7000", "\"AB\"") +
             idString("CompatibleIds", "0x00000004", "0x7100", "\"C\"") +
             idString("DeviceDescription", "0x00000008", "0x7200", "\"DEF\"")},
        {"an empty string and one without a buffer take nothing from the area",
         Record(uinC, 0x22044F, 0, Config(IdString(0, 0x7000), IdString(4, 0), IdString(6, 0x7200), area)),
         head + idString("HardwareIds", "0x00000000", "0x7000", "---") +
             idString("CompatibleIds", "0x00000004", "0x0", "---") +
             idString("DeviceDescription", "0x00000006", "0x7200", "\"AB\"")},
        {"a text ends at its own length",
         Record(uinC, 0x22044F, 0, Config(IdString(2, 0x7000), IdString(4, 0x7100), IdString(0, 0), area)),
         head + idString("HardwareIds", "0x00000002", "0x7000", "\"A\"") +
             idString("CompatibleIds", "0x00000004", "0x7100", "\"B\"") +
             idString("DeviceDescription", "0x00000000", "0x0", "---")},
        {"a length past the area",
         Record(uinC, 0x22044F, 0, Config(IdString(6, 0x7000), IdString(100, 0x7100), IdString(4, 0x7200), area)),
         head + idString("HardwareIds", "0x00000006", "0x7000", "\"AB\"") +
             "    Truncated = 238 of 326 payload bytes {0x0000FF}\n" +
             idString("CompatibleIds", "0x00000064", "0x7100", "---") +
             idString("DeviceDescription", "0x00000004", "0x7200", "\"C\"")},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(UsbintOutputerTest, Markup) {
    const struct {
        std::vector<uint8_t> record;
        std::string body;
    } cases[] = {
        {Record(uinI, 0x22000F, 0x103, {}), "<UsbIntrn-RootHubPdo/>"},
        {Record(uinC, 0x22000F, 0xC0000001, Quads({1, 2})), "<UsbIntrn-RootHubPdo/>"},
        {Record(uinC, 0x220013, 0, Words({3})),
         "<UsbIntrn-PortStatus><PortStatus>00000003</PortStatus><PortStatusBits><USBD_PORT_ENABLED>1</"
         "USBD_PORT_ENABLED>"
         "<USBD_PORT_CONNECTED>1</USBD_PORT_CONNECTED></PortStatusBits></UsbIntrn-PortStatus>"},
        {Record(uinI, 0x220020, 0x103, Words({40})),
         "<UsbIntrn-BufferSize><BufferSize Units=\"bytes\">00000028</BufferSize></UsbIntrn-BufferSize>"},
        {Record(uinC, 0x220424, 0, Join({Words({40, 20}), Wide("EHCI#0")})),
         "<UsbIntrn-BufferSize><BufferSize Units=\"bytes\">00000028</BufferSize></UsbIntrn-BufferSize>"
         "<UsbIntrn-ControllerName><ActualLength>00000014</ActualLength><ControllerName>EHCI#0</ControllerName>"
         "</UsbIntrn-ControllerName>"},
        {Record(uinC, 0x22002B, 0, Words({36, 20, 0xC0000001, 0x80000300, 1, 0x04030201})),
         "<UsbIntrn-BufferSize><BufferSize Units=\"bytes\">00000024</BufferSize></UsbIntrn-BufferSize>"
         "<UsbIntrn-StartFaildata><LengthInBytes>00000014</LengthInBytes>"
         "<NtStatus Name=\"STATUS_UNSUCCESSFUL\">c0000001</NtStatus>"
         "<UsbdStatus Name=\"USBD_STATUS_INVALID_PARAMETER\">80000300</UsbdStatus>"
         "<ConnectStatus Name=\"Device connected\">00000001</ConnectStatus><DriverData>01020304</DriverData>"
         "</UsbIntrn-StartFaildata>"},
        {Record(uinC, 0x22043B, 0, Join({Quads({1, 2, 3, 4, 5}), Words({6})})),
         "<UsbIntrn-GetTtDeviceHandle><Argument1 Name=\"DeviceHandle*\">1</Argument1>"
         "<Argument2 Name=\"ReferenceContext\">2</Argument2><Argument3 Name=\"IoControlCode\">3</Argument3>"
         "<Argument4 Name=\"Unknown*\">4</Argument4><DeviceHandle Deref=\"Argument1\">5</DeviceHandle>"
         "<Unknown Deref=\"Argument4\">00000006</Unknown></UsbIntrn-GetTtDeviceHandle>"},
        {Record(uinC, 0x22043F, 0, Join({Quads({0x5000}), Words({1, 2, 3, 0}), std::vector<uint8_t>(16)})),
         "<UsbIntrn-TopologyAddress><Argument1 Type=\"PUSB_TOPOLOGY_ADDRESS\">5000</Argument1><USB_TOPOLOGY_ADDRESS>"
         "<PciBusNumber>00000001</PciBusNumber><PciDeviceNumber>00000002</PciDeviceNumber>"
         "<PciFunctionNumber>00000003</PciFunctionNumber><Reserved>00000000</Reserved>"
         "<RootHubPortNumber>0000</RootHubPortNumber><HubPortNumber Index=\"0\">0000</HubPortNumber>"
         "<HubPortNumber Index=\"1\">0000</HubPortNumber><HubPortNumber Index=\"2\">0000</HubPortNumber>"
         "<HubPortNumber Index=\"3\">0000</HubPortNumber><HubPortNumber Index=\"4\">0000</HubPortNumber>"
         "<Reserved2>0000</Reserved2></USB_TOPOLOGY_ADDRESS></UsbIntrn-TopologyAddress>"},
        {Record(uinC, 0x22044F, 0, Config(IdString(6, 0x7000), IdString(0, 0), IdString(0, 0), Wide("AB"))),
         "<UsbIntrn-DeviceConfigInfo><Address Type=\"PHUB_DEVICE_CONFIG_INFO\">ffffa80011110000</Address>"
         "<HUB_DEVICE_CONFIG_INFO><Version>00000001</Version><Length>000000cc</Length><HubFlags>0000005a</HubFlags>"
         "<USB_HUB_CAP_FLAGS><HubIsHighSpeedCapable>0</HubIsHighSpeedCapable><HubIsHighSpeed>1</HubIsHighSpeed>"
         "<HubIsMultiTtCapable>0</HubIsMultiTtCapable><HubIsMultiTt>1</HubIsMultiTt><HubIsRoot>1</HubIsRoot>"
         "<HubIsArmedWakeOnConnect>0</HubIsArmedWakeOnConnect><HubIsBusPowered>1</HubIsBusPowered>"
         "</USB_HUB_CAP_FLAGS><USB_ID_STRING Name=\"HardwareIds\"><LanguageId>0409</LanguageId><Pad>0000</Pad>"
         "<LengthInBytes>00000006</LengthInBytes><Buffer>7000</Buffer><BufferString>\"AB\"</BufferString>"
         "</USB_ID_STRING><USB_ID_STRING Name=\"CompatibleIds\"><LanguageId>0409</LanguageId><Pad>0000</Pad>"
         "<LengthInBytes>00000000</LengthInBytes><Buffer>0</Buffer><BufferString>---</BufferString></USB_ID_STRING>"
         "<USB_ID_STRING Name=\"DeviceDescription\"><LanguageId>0409</LanguageId><Pad>0000</Pad>"
         "<LengthInBytes>00000000</LengthInBytes><Buffer>0</Buffer><BufferString>---</BufferString></USB_ID_STRING>"
         "</HUB_DEVICE_CONFIG_INFO></UsbIntrn-DeviceConfigInfo>"},
        {Record(uinC, 0x220428, 0, {}), "<UsbIntrn-GetBusGuidInfo/>"},
        {Record(uinC, 0x220444, 0, Words({1})), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.body, MarkupBody(tdl::test::MarkupText(nullptr, c.record)));
        // The HTML report shows no row of the body.
        const std::string calls = tdl::test::BodyCalls(nullptr, c.record, OUTPUT_MODE_HTML);
        EXPECT_EQ(std::string::npos, calls.find("WriteValue")) << calls;
    }
}

TEST(UsbintOutputerTest, DeviceConfigurationTracesWhatItTakes) {
    apptest::TraceCapture trace(TRACE_INFORMATION, TRACE_AREA_INTERNAL_IOCTL);
    ShownBody(Record(uinC, 0x22044F, 0,
                     Config(IdString(0, 0), IdString(6, 0x7100), IdString(4, 0x7200), Join({Wide("AB"), Wide("C")}))));
    const std::vector<std::string> expected = {
        "--CUsbintProperties::InsertUsbIntHubDeviceConfigInfo",
        "Completed successfully",
        "Total BufferLength = 230",
        "Insert HardwareIds",
        "stringLen = 0",
        "stringOffset = 0",
        "stringBufferLen = 10",
        "---",
        "--CUsbintProperties::InsertUsbIdString",
        "Insert CompatibleIds",
        "stringLen = 6",
        "stringOffset = 0",
        "stringBufferLen = 10",
        "AB",
        "\"AB\"",
        "--CUsbintProperties::InsertUsbIdString",
        "Insert DeviceDescription",
        "stringLen = 4",
        "stringOffset = 6",
        "stringBufferLen = 4",
        "C",
        "\"C\"",
        "--CUsbintProperties::InsertUsbIdString",
    };
    EXPECT_EQ(expected, trace.Texts());
}

} // namespace
