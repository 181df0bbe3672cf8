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

// Each code on both sides (and with a failing status where the outcome matters), with the most its record
// can hold, lengths and counts included that claim more than there is.
std::vector<std::vector<uint8_t>> WholeRecords() {
    std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0xE0, 0, 0x32, 0x64, 0, 0xFF};
    hubDescriptor.resize(71);
    std::vector<uint8_t> longDevice = DeviceDescriptor();
    longDevice[0] = 0xFF;
    const std::vector<std::vector<uint8_t>> hubPayloads[] = {
        {Join({Words({0}), hubDescriptor, {1}}), Join({Words({1, 3}), std::vector<uint8_t>(68)})},
    };
    std::vector<std::vector<uint8_t>> records;
    for (ULONG tag : {LogTag::hubI, LogTag::hubC}) {
        for (ULONG status : {0u, 0xC0000001u}) {
            for (const auto& payload : hubPayloads[0])
                records.push_back(Record(tag, 0x220408, status, payload));
            for (ULONG code : {0x22040Cu, 0x220448u}) {
                records.push_back(
                    Record(tag, code, status,
                           Join({Connection(1, 2, 2, 1), Pipe(0x81, 1, 0x1400, 1, 0), Pipe(2, 2, 512, 0, 7)})));
                // A thousand pipes claimed, one present.
                records.push_back(Record(tag, code, status, Join({Connection(1, 2, 1000, 1), Pipe(0x81, 3, 8, 1, 0)})));
            }
            records.push_back(Record(tag, 0x220440, status, Words({1, 1, 0x02000009})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(1, 0, 18), longDevice})));
            records.push_back(
                Record(tag, 0x220410, status, Join({DescriptorRequest(2, 0, 9), {0xFF, 2, 0xFF, 0xFF, 4}})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(3, 1, 9), {0xFF, 3, 0x41, 0}})));
            records.push_back(Record(tag, 0x220410, status, Join({DescriptorRequest(0x29, 0, 9), {0xFF, 0x29, 4}})));
            for (ULONG code : {0x220414u, 0x220420u})
                records.push_back(Record(tag, code, status, Join({Words({1, 30}), {0x41, 0, 0x42, 0, 0x43}})));
            for (ULONG code : {0x220418u, 0x22041Cu, 0x22044Cu, 0x22043Cu, 0x220450u, 0x220444u})
                records.push_back(Record(tag, code, status, Words({0x5A})));
        }
    }
    for (ULONG tag : {LogTag::uinI, LogTag::uinC}) {
        for (ULONG status : {0u, 0x80000005u, 0xC0000023u}) {
            for (ULONG code : {0x220007u, 0x220017u, 0x22001Fu, 0x220420u, 0x220428u, 0x220443u, 0x220447u, 0x22044Bu})
                records.push_back(Record(tag, code, status, Words({1})));
            for (ULONG code : {0x22000Fu, 0x220027u, 0x220433u})
                records.push_back(Record(tag, code, status, Quads({0x1000, 0x2000})));
            for (ULONG code : {0x220013u, 0x22001Bu})
                records.push_back(Record(tag, code, status, Words({3})));
            records.push_back(Record(tag, 0x220020, status, Join({Words({18}), {0x48, 0, 0x55, 0, 0x42}})));
            records.push_back(Record(tag, 0x220424, status, Join({Words({40, 20}), {0x48, 0, 0x55}})));
            for (ULONG length : {0u, 15u, 20u, 0xFFFFFFFFu})
                records.push_back(Record(tag, 0x22002B, status, Words({36, length, 0, 0, 1, 0x04030201})));
            records.push_back(Record(tag, 0x22042C, status, Join({Quads({0x1000}), Words({1}), Quads({0x2000})})));
            records.push_back(Record(tag, 0x220437, status, Quads({1, 2, 3, 4, 5})));
            records.push_back(Record(tag, 0x22043B, status, Join({Quads({1, 2, 3, 4, 5}), Words({6})})));
            records.push_back(Record(tag, 0x22043F, status, Join({Quads({0x5000}), std::vector<uint8_t>(32, 1)})));
            records.push_back(Record(tag, 0x22044F, status,
                                     Config(IdString(6, 0x7000), IdString(0xFFFFFFFF, 0x7100), IdString(3, 0x7200),
                                            {0x41, 0, 0x42, 0, 0x43})));
        }
    }
    return records;
}

TEST(HubUsbintShortRecordTest, EveryCodeAndSideAtEverySizeStaysWithinItsBytes) {
    ExpectEveryCutWithinItsBytes(WholeRecords());
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
