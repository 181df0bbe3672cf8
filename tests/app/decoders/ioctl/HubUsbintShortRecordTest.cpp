// Hub and internal USB records cut short or lying about their lengths, in every medium: every code and side
// at every DataSize up to what the driver writes, in an exact-size heap copy at an aligned and at an odd
// address, so that AddressSanitizer sees any read past the payload or through a misaligned pointer.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HubTestRecords.h"
#include "IoctlCutSweep.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"

namespace {

using namespace ioctl_test;

TEST(HubUsbintShortRecordTest, EveryCodeAndSideAtEverySizeStaysWithinItsBytes) {
    ExpectEveryCutWithinItsBytes(HubUsbintWholeRecords());
}

TEST(HubUsbintShortRecordTest, CutRecordsSayHowMuchTheyHave) {
    ExpectCutsShow({
        {Record(LogTag::hubI, 0x22040C, 0x103, Words({1})), 3, "HUB",
         "HUB Ioctl = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION\nUSB_NODE_CONNECTION_INFORMATION\n"
         "  Truncated = 3 of 4 payload bytes {0x0000FF}\n  ConnectionIndex = ???\n"},
        {Record(LogTag::uinC, 0x22000F, 0, Quads({0x1000, 0x2000})), 12, "USBINT",
         "USB Internal Ioctl = IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO\nGET_ROOTHUB_PDO\n  Root Hub PDO = 0x1000\n"
         "  Truncated = 12 of 16 payload bytes {0x0000FF}\n  Top of Bus Stack = ???\n"},
        {Record(LogTag::uinC, 0x22042C, 0, Join({Quads({0x1000}), Words({1}), Quads({0x2000})})), 12, "USBINT",
         "USB Internal Ioctl = IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO\nGET_PARENT_HUB_INFO\n"
         "  Hub DeviceObject = 0x1000\n  Flags = 0x00000001\n  Truncated = 12 of 20 payload bytes {0x0000FF}\n"
         "  Root Hub DeviceObject = ???\n"},
        {Record(LogTag::uinC, 0x22043F, 0, Join({Quads({0x5000}), std::vector<uint8_t>(32)})), 30, "USBINT",
         "USB Internal Ioctl = IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS\nGet Topology Address\n"
         "  Argument1 (PUSB_TOPOLOGY_ADDRESS) = 0x5000\n  USB_TOPOLOGY_ADDRESS =\n    PciBusNumber = 0x00000000\n"
         "    PciDeviceNumber = 0x00000000\n    PciFunctionNumber = 0x00000000\n    Reserved = 0x00000000\n"
         "    RootHubPortNumber = 0x0000\n    HubPortNumber.0 = 0x0000\n    HubPortNumber.1 = 0x0000\n"
         "    Truncated = 30 of 40 payload bytes {0x0000FF}\n    HubPortNumber.2 = ???\n"
         "    HubPortNumber.3 = ???\n    HubPortNumber.4 = ???\n    Reserved2 = ???\n"},
    });
}

} // namespace
