// HID and host-controller records cut short, in every medium: every code and side at every DataSize up to
// what the driver writes, in an exact-size heap copy at an aligned and at an odd address, so that
// AddressSanitizer sees any read past the payload or through a misaligned pointer.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IoctlCutSweep.h"
#include "IoctlTestRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"

namespace {

using namespace ioctl_test;

TEST(IoctlShortRecordTest, EveryCodeAndSideAtEverySizeStaysWithinItsBytes) {
    ExpectEveryCutWithinItsBytes(HidHcdWholeRecords());
}

TEST(IoctlShortRecordTest, CutFeatureRequestShowsWhatItHas) {
    const std::vector<uint8_t> record =
        Record(LogTag::hidI, 0xB0192, 0x103, Join({Block(3, 5, 0xFFFFA80011110000), {5, 1, 2}}));
    const tdl::test::RecordCopy cut(record, 10, true);
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(nullptr, cut.Header()));
    EXPECT_EQ("HID Ioctl = IOCTL_HID_GET_FEATURE\nGet Feature Report\n  Input Parameters =\n"
              "    OutputBufferLength = 0x00000003\n    Truncated = 10 of 16 payload bytes {0x0000FF}\n"
              "    MdlAddress = ???\n    reportId = 0x05\n",
              pane.Shown("HID"));
    EXPECT_EQ("<HIDIoctl-InputParameters><OutputBufferLength>00000003</OutputBufferLength>"
              "<Truncated>10 of 16 payload bytes</Truncated><MdlAddress>???"
              "</MdlAddress><reportId>05</reportId>"
              "</HIDIoctl-InputParameters>",
              MarkupBody(tdl::test::MarkupText(nullptr, cut.Header())));
}

TEST(IoctlShortRecordTest, CutValuesAndPortsSayHowMuchTheyHave) {
    ExpectCutsShow({
        {Record(LogTag::hidC, 0xB0190, 0, Words({8, 32})), 6, "HID",
         "HID Ioctl = IOCTL_HID_GET_DRIVER_CONFIG\nGet HID_DRIVER_CONFIG\n  Size = 0x00000008\n"
         "  Truncated = 6 of 8 payload bytes {0x0000FF}\n  RingBufferSize (in reports) = ???\n"},
        {Record(LogTag::hidI, 0xB019C, 0, Words({8})), 2, "HID",
         "HID Ioctl = IOCTL_HID_SET_POLL_FREQUENCY_MSEC\nSet Polling Frequency\n"
         "  Truncated = 2 of 4 payload bytes {0x0000FF}\n  PollingFrequency (ms.) = ???\n"},
        {Record(LogTag::hcdI, 0x220430, 0, Words({1})), 3, "HCD",
         "HCD Ioctl = IOCTL_USB_HCD_DISABLE_PORT\nHCD_DISABLE_PORT\n"
         "  Truncated = 3 of 4 payload bytes {0x0000FF}\n  PortNumber = ???\n"},
        {Record(LogTag::hcdI, 0x220408, 0, Words({1})), 1, "HCD",
         "HCD Ioctl = IOCTL_USB_GET_ROOT_HUB_NAME\nUSB_ROOT_HUB_NAME\n"
         "  Truncated = 1 of 4 payload bytes {0x0000FF}\n  Buffer Size = ???\n"},
    });
}

} // namespace
