// What the HID and host-controller decoders show of every code before its body: the request's name in the
// kind's category, the IRP's function rows, the mark-up function word; and that a returned record or an
// unnamed code shows no body.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IoctlTestRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"

namespace {

using namespace ioctl_test;

struct KindCase {
    ULONG code;
    const char* name;
};

const KindCase kHidCodes[] = {
    {0xB0190, "IOCTL_HID_GET_DRIVER_CONFIG"},
    {0xB0191, "IOCTL_HID_SET_FEATURE"},
    {0xB0192, "IOCTL_HID_GET_FEATURE"},
    {0xB0193, "IOCTL_HID_GET_COLLECTION_DESCRIPTOR"},
    {0xB0194, "IOCTL_HID_SET_DRIVER_CONFIG"},
    {0xB0195, "IOCTL_HID_SET_OUTPUT_REPORT"},
    {0xB0197, "IOCTL_HID_FLUSH_QUEUE"},
    {0xB0198, "IOCTL_HID_GET_POLL_FREQUENCY_MSEC"},
    {0xB019A, "IOCTL_GET_PHYSICAL_DESCRIPTOR"},
    {0xB019C, "IOCTL_HID_SET_POLL_FREQUENCY_MSEC"},
    {0xB019E, "IOCTL_HID_GET_HARDWARE_ID"},
    {0xB01A0, "IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS"},
    {0xB01A2, "IOCTL_HID_GET_INPUT_REPORT"},
    {0xB01A4, "IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS"},
    {0xB01A8, "IOCTL_HID_GET_COLLECTION_INFORMATION"},
    {0xB01BA, "IOCTL_HID_GET_MANUFACTURER_STRING"},
    {0xB01BE, "IOCTL_HID_GET_PRODUCT_STRING"},
    {0xB01C2, "IOCTL_HID_GET_SERIALNUMBER_STRING"},
    {0xB01E2, "IOCTL_HID_GET_INDEXED_STRING"},
    {0xB01E6, "IOCTL_HID_GET_MS_GENRE_DESCRIPTOR"},
    {0xB020B, "IOCTL_HID_ENABLE_SECURE_READ"},
    {0xB020F, "IOCTL_HID_DISABLE_SECURE_READ"},
    {0xB0196, "HID_IOCTL_B0196"},
};

const KindCase kHcdCodes[] = {
    {0x2203FC, "IOCTL_USB_HCD_GET_STATS_1"},     {0x220400, "IOCTL_USB_DIAGNOSTIC_MODE_ON"},
    {0x220404, "IOCTL_USB_DIAGNOSTIC_MODE_OFF"}, {0x220408, "IOCTL_USB_GET_ROOT_HUB_NAME"},
    {0x220424, "IOCTL_GET_HCD_DRIVERKEY_NAME"},  {0x220428, "IOCTL_USB_HCD_GET_STATS_2"},
    {0x220430, "IOCTL_USB_HCD_DISABLE_PORT"},    {0x220434, "IOCTL_USB_HCD_ENABLE_PORT"},
    {0x220438, "IOCTL_USB_USER_REQUEST"},        {0x22043C, "HCD_IOCTL_22043C"},
};

struct Kind {
    const char* category;
    const char* caption;
    ULONG request;
    ULONG returned;
    const KindCase* codes;
    size_t count;
};

TEST(IoctlKindRowsTest, EveryCodeOfBothKinds) {
    const Kind kinds[] = {
        {"HID", "HID Ioctl", LogTag::hidI, LogTag::hidR, kHidCodes, std::size(kHidCodes)},
        {"HCD", "HCD Ioctl", LogTag::hcdI, LogTag::hcdR, kHcdCodes, std::size(kHcdCodes)},
    };
    for (const Kind& kind : kinds) {
        for (size_t i = 0; i < kind.count; ++i) {
            const KindCase& c = kind.codes[i];
            const std::string nameRow = std::string(kind.caption) + " = " + c.name + "\n";
            char code[16];
            std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(c.code));

            tdl::test::LogDetailsPane pane;
            ASSERT_TRUE(pane.ShowRecord(nullptr, Record(kind.request, c.code, 0x103, Words({1, 2, 3, 4}))));
            EXPECT_EQ(0u, pane.Shown(kind.category).find(nameRow)) << c.name;
            const std::string irp = pane.Shown("IRP");
            EXPECT_NE(std::string::npos, irp.find("Major Function = IRP_MJ_DEVICE_CONTROL (0x0e)\n")) << c.name;
            EXPECT_NE(std::string::npos, irp.find("IoControlCode = " + std::string(code) + "\n")) << c.name;
            EXPECT_EQ(std::string::npos, irp.find("Minor Function")) << c.name;

            // A returned record, and a code without a name: the name alone.
            tdl::test::LogDetailsPane returned;
            ASSERT_TRUE(returned.ShowRecord(nullptr, Record(kind.returned, c.code, 0, Words({1, 2, 3, 4}))));
            EXPECT_EQ(nameRow, returned.Shown(kind.category)) << c.name;
            if (c.name[0] != 'I')
                EXPECT_EQ(nameRow, pane.Shown(kind.category)) << c.name;

            char function[64];
            std::snprintf(function, sizeof function, "<Function Name=\"%s\">%08x</Function>", c.name,
                          static_cast<unsigned>(c.code));
            EXPECT_NE(std::string::npos,
                      tdl::test::MarkupText(nullptr, Record(kind.request, c.code, 0, {})).find(function))
                << c.name;
            // A returned record's mark-up has no body either.
            EXPECT_EQ("", MarkupBody(tdl::test::MarkupText(nullptr, Record(kind.returned, c.code, 0, Words({1})))));
        }
    }
}

} // namespace
