// The host-controller IOCTL decoder: what the Log Details pane shows per code and side, and the XML report's
// form of the statistics and the user request.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IoctlTestRecords.h"
#include "app/decoders/ioctl/HcdIoctlOutputer.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"

namespace {

using namespace ioctl_test;
using LogTag::hcdC;
using LogTag::hcdI;

constexpr ULONG kUserRequest = 0x220438;

// The "HCD" category below its "HCD Ioctl" row.
std::string ShownBody(const std::vector<uint8_t>& record) {
    return ioctl_test::ShownBody(record, "HCD");
}

// A user request as the driver records it: the lengths, the buffer, the request header.
std::vector<uint8_t> UserRequest(ULONG request, ULONG status, ULONG requestLength, ULONG actualLength) {
    return Words({16, 56, 0x11110000, 0xFFFFA800, request, status, requestLength, actualLength});
}

// Controller information: vendor, device, revision, root ports, flavor, feature flags.
std::vector<uint8_t> ControllerInfo(ULONG flavor, ULONG flags) {
    return Words({0x8086, 0x293C, 2, 6, flavor, flags});
}

struct GridCase {
    const char* what;
    std::vector<uint8_t> record;
    const char* shown;
};

TEST(HcdIoctlOutputerTest, SizesPortsAndNames) {
    const GridCase cases[] = {
        {"statistics, request", Record(hcdI, 0x2203FC, 0x103, Words({44})),
         "HCD_STAT_INFORMATION_1\n  Buffer Size = 0x0000002c\n"},
        {"root hub name, empty request", Record(hcdI, 0x220408, 0x103, {}), "USB_ROOT_HUB_NAME\n  Buffer Size = ---\n"},
        {"driver key, request", Record(hcdI, 0x220424, 0x103, Words({6})),
         "USB_HCD_DRIVERKEY_NAME\n  Buffer Size = 0x00000006\n"},
        {"root hub name of 6 bytes", Record(hcdC, 0x220408, 0, Join({Words({40}), {0, 0}})),
         "USB_ROOT_HUB_NAME\n  ActualLength = 0x00000028\n  RootHubName = ---\n"},
        {"6 bytes only tell the length, whatever the character",
         Record(hcdC, 0x220408, 0, Join({Words({40}), {0x55, 0}})),
         "USB_ROOT_HUB_NAME\n  ActualLength = 0x00000028\n  RootHubName = ---\n"},
        {"an empty name in a longer answer", Record(hcdC, 0x220424, 0, Join({Words({40}), {0, 0, 0x55, 0}})),
         "USB_HCD_DRIVERKEY_NAME\n  ActualLength = 0x00000028\n  DriverKeyName =\n"},
        {"root hub name", Record(hcdC, 0x220408, 0, Join({Words({20}), Wide("USB#ROOT")})),
         "USB_ROOT_HUB_NAME\n  ActualLength = 0x00000014\n  RootHubName = USB#ROOT\n"},
        {"driver key name, failed", Record(hcdC, 0x220424, 0xC0000023, {}),
         "USB_HCD_DRIVERKEY_NAME\n  ActualLength = ---\n  DriverKeyName = ---\n"},
        {"driver key name under 4 bytes", Record(hcdC, 0x220424, 0, {6, 0}),
         "USB_HCD_DRIVERKEY_NAME\n  ActualLength = ---\n  DriverKeyName = ---\n"},
        {"disable port", Record(hcdI, 0x220430, 0x103, Words({1})), "HCD_DISABLE_PORT\n  PortNumber = 0x1\n"},
        {"enable port, completion: nothing", Record(hcdC, 0x220434, 0, {}), ""},
        {"diagnostic mode on", Record(hcdI, 0x220400, 0x103, {}), "No arguments =\n"},
        {"diagnostic mode off", Record(hcdC, 0x220404, 0, {}), "No arguments =\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HcdIoctlOutputerTest, StatisticsOnlyAtTheirExactSizes) {
    std::vector<uint8_t> stats1 = Words({1, 2, 0, 0x89ABCDEF, 0x01234567, 0x1000, 0x00040003, 0, 0, 0, 0x000A0009});
    ASSERT_EQ(44u, stats1.size());
    EXPECT_EQ("HCD_STAT_INFORMATION_1\n  Reserved1 = 0x00000001\n  Reserved2 = 0x00000002\n"
              "  ResetCounters = 0x00000000\n  TimeRead = 0x0123456789abcdef\n  HCD_STAT_COUNTERS =\n"
              "    BytesTransferred = 0x00001000\n    IsoMissedCount = 0x0003\n    DataOverrunErrorCount = 0x0004\n"
              "    CrcErrorCount = 0x0000\n    ScheduleOverrunCount = 0x0000\n    TimeoutErrorCount = 0x0000\n"
              "    InternalHcErrorCount = 0x0000\n    BufferOverrunErrorCount = 0x0000\n"
              "    SWErrorCount = 0x0000\n    StallPidCount = 0x0009\n    PortDisableCount = 0x000a\n",
              ShownBody(Record(hcdC, 0x2203FC, 0, stats1)));
    stats1.resize(40);
    EXPECT_EQ("HCD_STAT_INFORMATION_1\n", ShownBody(Record(hcdC, 0x2203FC, 0, stats1)));

    std::vector<uint8_t> stats2(120);
    stats2[20] = 0x44;  // LockedMemoryUsed
    stats2[48] = 0x01;  // LateUrbs
    stats2[80] = 0x20;  // IsoBytesTransferred
    stats2[116] = 0x07; // Reserved7[7]
    const std::string shown = ShownBody(Record(hcdC, 0x220428, 0, stats2));
    EXPECT_EQ(0u, shown.find("HCD_STAT_INFORMATION_2\n  Reserved1 = 0x00000000\n  Reserved2 = 0x00000000\n"
                             "  ResetCounters = 0x00000000\n  TimeRead = 0x0000000000000000\n"
                             "  LockedMemoryUsed = 0x00000044\n  HCD_STAT_COUNTERS =\n"))
        << shown;
    EXPECT_NE(std::string::npos, shown.find("  HCD_ISO_STAT_COUNTERS =\n    LateUrbs = 0x0001\n")) << shown;
    EXPECT_NE(std::string::npos, shown.find("    IsoUNKNOWN_Error = 0x0000\n    IsoBytesTransferred = 0x00000020\n"
                                            "    LateMissedCount = 0x0000\n    HWIsoMissedCount = 0x0000\n"
                                            "    Reserved7.0 = 0x0\n"))
        << shown;
    EXPECT_NE(std::string::npos, shown.find("    Reserved7.7 = 0x7\n")) << shown;
    stats2.resize(100);
    EXPECT_EQ("", ShownBody(Record(hcdC, 0x220428, 0, stats2)));
}

TEST(HcdIoctlOutputerTest, UserRequests) {
    const char* kParameters = "USBUSER_REQUEST\n  DEVICE_CONTROL Parameters =\n    OutputBufferLength = 0x00000038\n"
                              "    InputBufferLength = 0x00000010\n    SystemBuffer = 0xffffa80011110000\n";
    const GridCase cases[] = {
        {"request", Record(hcdI, kUserRequest, 0x103, UserRequest(1, 0, 40, 0)),
         "  USBUSER_REQUEST_HEADER =\n    UserRequest = USBUSER_GET_CONTROLLER_INFO_0 (0x1)\n"
         "    RequestBufferLength = 0x00000028\n"},
        {"controller information",
         Record(hcdC, kUserRequest, 0, Join({UserRequest(1, 0, 40, 40), ControllerInfo(1000, 5)})),
         "  USBUSER_REQUEST_HEADER =\n    UserRequest = USBUSER_GET_CONTROLLER_INFO_0 (0x1)\n"
         "    RequestBufferLength = 0x00000028\n    UserStatusCode = 0x00000000\n    ActualBufferLength = 0x00000028\n"
         "  USB_CONTROLLER_INFO_0 =\n    PciVendorId = 0x00008086\n    PciDeviceId = 0x0000293c\n"
         "    PciRevision = 0x00000002\n    NumberOfRootPorts = 0x6\n    ControllerFlavor = EHCI_Generic (0x3e8)\n"
         "    HcFeatureFlags = 0x00000005\n     = USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING\n"
         "     = USB_HC_FEATURE_LEGACY_BIOS\n"},
        {"a request that failed: no information",
         Record(hcdC, kUserRequest, 0, Join({UserRequest(1, 1, 40, 0), ControllerInfo(1000, 5)})),
         "  USBUSER_REQUEST_HEADER =\n    UserRequest = USBUSER_GET_CONTROLLER_INFO_0 (0x1)\n"
         "    RequestBufferLength = 0x00000028\n    UserStatusCode = 0x00000001\n    ActualBufferLength = "
         "0x00000000\n"},
        {"unnamed request", Record(hcdC, kUserRequest, 0, Join({UserRequest(0x2A, 0, 16, 16)})),
         "  USBUSER_REQUEST_HEADER =\n    UserRequest = USBUSER_2A (0x2a)\n    RequestBufferLength = 0x00000010\n"
         "    UserStatusCode = 0x00000000\n    ActualBufferLength = 0x00000010\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(kParameters + std::string(c.shown), ShownBody(c.record)) << c.what;

    // A record the driver cut after the request's lengths and buffer.
    std::vector<uint8_t> cut = UserRequest(1, 0, 40, 40);
    cut.resize(16);
    EXPECT_EQ(kParameters + std::string("  USBUSER_REQUEST_HEADER =\n"
                                        "    Truncated = 16 of 32 payload bytes {0x0000FF}\n    UserRequest = ???\n"
                                        "    RequestBufferLength = ???\n    UserStatusCode = ???\n"
                                        "    ActualBufferLength = ???\n"),
              ShownBody(Record(hcdC, kUserRequest, 0, cut)));
    EXPECT_EQ("USBUSER_REQUEST\n", ShownBody(Record(hcdC, kUserRequest, 0, {})));
}

TEST(HcdIoctlOutputerTest, NameTables) {
    EXPECT_EQ("USBUSER_GET_CONTROLLER_INFO_0", std::string(HcdIoctlOutputer::UserRequestName(1)));
    EXPECT_EQ("USBUSER_USB_REFRESH_HCT_REG", std::string(HcdIoctlOutputer::UserRequestName(10)));
    EXPECT_EQ("USBUSER_2A", std::string(HcdIoctlOutputer::UserRequestName(0x2A)));
    EXPECT_EQ("USB_HcGeneric", std::string(HcdIoctlOutputer::ControllerFlavorName(0)));
    EXPECT_EQ("UHCI_VIA_x0E_FIFO", std::string(HcdIoctlOutputer::ControllerFlavorName(264)));
    EXPECT_EQ("EHCI_Lucent", std::string(HcdIoctlOutputer::ControllerFlavorName(3000)));
    EXPECT_EQ("HCFlavor_300", std::string(HcdIoctlOutputer::ControllerFlavorName(300)));
}

TEST(HcdIoctlOutputerTest, MarkupForm) {
    const struct {
        std::vector<uint8_t> record;
        const char* body;
    } cases[] = {
        {Record(hcdI, 0x2203FC, 0x103, Words({44})),
         "<HcdIoctl-BufferSize><BufferSize>0000002c</BufferSize></HcdIoctl-BufferSize>"},
        {Record(hcdC, 0x2203FC, 0, Words({1, 2, 0, 0x89ABCDEF, 0x01234567, 0x1000, 0, 0, 0, 0, 0})),
         "<HcdIoctl-Stat1><Reserved1>00000001</Reserved1><Reserved2>00000002</Reserved2>"
         "<ResetCounters>00000000</ResetCounters><TimeRead_HighPart>01234567</TimeRead_HighPart>"
         "<TimeRead_LowPart>89abcdef</TimeRead_LowPart><BytesTransferred>00001000</BytesTransferred>"
         "<IsoMissedCount>0000</IsoMissedCount><DataOverrunErrorCount>0000</DataOverrunErrorCount>"
         "<CrcErrorCount>0000</CrcErrorCount><ScheduleOverrunCount>0000</ScheduleOverrunCount>"
         "<TimeoutErrorCount>0000</TimeoutErrorCount><InternalHcErrorCount>0000</InternalHcErrorCount>"
         "<BufferOverrunErrorCount>0000</BufferOverrunErrorCount><SWErrorCount>0000</SWErrorCount>"
         "<StallPidCount>0000</StallPidCount><PortDisableCount>0000</PortDisableCount></HcdIoctl-Stat1>"},
        {Record(hcdC, 0x220408, 0, Join({Words({40}), {0, 0}})),
         "<HcdIoctl-GetRootHubName><ActualLength>00000028</ActualLength><RootHubName/></HcdIoctl-GetRootHubName>"},
        {Record(hcdI, 0x220430, 0x103, Words({1})), "<HcdIoctl-Port><PortNumber>00000001</PortNumber></HcdIoctl-Port>"},
        {Record(hcdI, 0x220400, 0x103, {}), ""},
        {Record(hcdC, kUserRequest, 0, Join({UserRequest(1, 0, 40, 40), ControllerInfo(1000, 5)})),
         "<HcdIoctl-UserRequest><DeviceControlParameters><OutputBufferLength>00000038</OutputBufferLength>"
         "<InputBufferLength>00000010</InputBufferLength><SystemBuffer>ffffa80011110000</SystemBuffer>"
         "</DeviceControlParameters><USBUSER_REQUEST_HEADER>"
         "<UserRequest Name=\"USBUSER_GET_CONTROLLER_INFO_0\">00000001</UserRequest>"
         "<RequestBufferLength>00000028</RequestBufferLength><UserStatusCode>00000000</UserStatusCode>"
         "<ActualBufferLength>00000028</ActualBufferLength></USBUSER_REQUEST_HEADER><USB_CONTROLLER_INFO_0>"
         "<PciVendorId>00008086</PciVendorId><PciDeviceId>0000293c</PciDeviceId><PciRevision>00000002</PciRevision>"
         "<NumberOfRootPorts>00000006</NumberOfRootPorts>"
         "<ControllerFlavor Name=\"EHCI_Generic\">000003e8</ControllerFlavor>"
         "<HcFeatureFlags Flag0=\"USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING\" Flag2=\"USB_HC_FEATURE_LEGACY_BIOS\">"
         "00000005</HcFeatureFlags></USB_CONTROLLER_INFO_0></HcdIoctl-UserRequest>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.body, MarkupBody(tdl::test::MarkupText(nullptr, c.record)));
        const std::string calls = tdl::test::BodyCalls(nullptr, c.record, OUTPUT_MODE_HTML);
        EXPECT_EQ(std::string::npos, calls.find("WriteValue")) << calls;
    }
}

} // namespace
