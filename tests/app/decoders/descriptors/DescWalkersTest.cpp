// The configuration and BOS walks: which decoder each descriptor meets, the header decoded over its standard
// size whatever its bLength, the length rule that ends a walk at a broken descriptor, and the grouped layout
// on the stand-in grid.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/FullBosDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "tests/support/TestGridPane.h"

namespace {

using namespace desc_test;

const Bytes kConfig = {0x09, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32};
const Bytes kHid = {0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x3F, 0x00};
const Bytes kEndpoint = {0x07, 0x05, 0x81, 0x03, 0x08, 0x00, 0x0A};
const Bytes kAudioEndpoint = {0x09, 0x05, 0x01, 0x09, 0x00, 0x01, 0x01, 0x00, 0x00};
const Bytes kClass24 = {0x05, 0x24, 0x00, 0x10, 0x01};
const Bytes kBos = {0x05, 0x0F, 0x0C, 0x00, 0x01};

Bytes Interface(BYTE number, BYTE klass) {
    return {0x09, 0x04, number, 0x00, 0x01, klass, 0x00, 0x00, 0x00};
}

// The walk in the HTML report, as the values of its sections' header rows and its defects, past the walk's
// own header row.
std::string Summary(const std::string& calls) {
    std::string summary;
    bool first = true;
    size_t start = 0;
    while (start < calls.size()) {
        const size_t end = calls.find('\n', start);
        const std::string line = calls.substr(start, end - start);
        start = end + 1;
        std::string item;
        if (line.rfind("WriteHeaderRow|Descriptor|", 0) == 0)
            item = line.substr(std::string("WriteHeaderRow|Descriptor|").size());
        else if (line.rfind("WriteValue|Malformed|", 0) == 0 || line.rfind("WriteValue|Truncated|", 0) == 0)
            item = line.substr(std::string("WriteValue|").size());
        else if (line.rfind("WriteHeaderRow|", 0) == 0 && first)
            first = false;
        if (!item.empty())
            summary += (summary.empty() ? "" : ", ") + item;
    }
    return summary;
}

std::string ConfigWalk(int mode, const Bytes& bytes) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        FullConfigDescOutputer(out, nullptr, p, n).Output(mode, "Configuration", "SET", false, false);
    });
}

std::string BosWalk(int mode, const Bytes& bytes) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        FullBosDescOutputer(out, nullptr, p, n).Output(mode, "Bos", "SET");
    });
}

TEST(FullConfigDescOutputerTest, EachDescriptorMeetsItsDecoder) {
    struct Case {
        const char* name;
        Bytes set;
        const char* summary;
    } cases[] = {
        {"configuration alone", kConfig, "CONFIGURATION"},
        {"HID type before any interface", Concat({kConfig, kHid}), "CONFIGURATION, CLASS"},
        {"HID type after class 3", Concat({kConfig, Interface(0, 3), kHid, kEndpoint}),
         "CONFIGURATION, INTERFACE, HID DESCRIPTOR, ENDPOINT"},
        {"HID type after class 11", Concat({kConfig, Interface(0, 11), kHid}), "CONFIGURATION, INTERFACE, CLASS CCID"},
        {"other class types", Concat({kConfig, Interface(0, 3), kClass24, Interface(1, 11), kClass24}),
         "CONFIGURATION, INTERFACE, OTHER CLASS HID, INTERFACE, OTHER CLASS CCID"},
        {"class 3, then class 8", Concat({kConfig, Interface(0, 3), Interface(1, 8), kClass24}),
         "CONFIGURATION, INTERFACE, INTERFACE, CLASS"},
        {"9-byte audio endpoint", Concat({kConfig, Interface(0, 1), kAudioEndpoint, Interface(1, 1)}),
         "CONFIGURATION, INTERFACE, ENDPOINT, INTERFACE"},
        // The header is its 9 bytes, whatever its bLength: bytes past them are the next descriptor's.
        {"configuration of bLength 12",
         Concat({{0x0C, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32, 0x03, 0x41, 0x00}, Interface(0, 3)}),
         "CONFIGURATION, Malformed|bLength 12, VENDOR, INTERFACE"},
        {"configuration of bLength 0 before a whole set",
         Concat({{0x00, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32}, Interface(0, 3), kHid, kEndpoint}),
         "CONFIGURATION, Malformed|bLength 0, INTERFACE, HID DESCRIPTOR, ENDPOINT"},
        {"configuration of bLength 1 before a whole set",
         Concat({{0x01, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32}, Interface(0, 3), kEndpoint}),
         "CONFIGURATION, Malformed|bLength 1, INTERFACE, ENDPOINT"},
        {"configuration of bLength 255 before a whole set",
         Concat({{0xFF, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32}, Interface(0, 3), kEndpoint, Interface(1, 8)}),
         "CONFIGURATION, Malformed|bLength 255, INTERFACE, ENDPOINT, INTERFACE"},
        {"association, companion, standard, vendor, reserved",
         Concat({kConfig,
                 {0x08, 0x0B, 0x00, 0x02, 0x0E, 0x01, 0x00, 0x00},
                 {0x06, 0x30, 0x00, 0x00, 0x00, 0x00},
                 {0x03, 0x0F, 0x00},
                 {0x03, 0x41, 0x00},
                 {0x03, 0x61, 0x00}}),
         "CONFIGURATION, INTERFACE ASSOCIATION, SS ENDPOINT COMPANION, STANDARD, VENDOR, OTHER"},
        {"bLength 0 mid-set", Concat({kConfig, Interface(0, 3), {0x00, 0x05, 0x81, 0x03}, Interface(1, 3)}),
         "CONFIGURATION, INTERFACE, ENDPOINT, Malformed|bLength 0"},
        {"bLength 200 mid-set", Concat({kConfig, Interface(0, 3), {0xC8, 0x05, 0x81, 0x03, 0x40}}),
         "CONFIGURATION, INTERFACE, ENDPOINT, Truncated|bLength 200, 5 bytes left"},
        {"one stray byte", Concat({kConfig, {0x07}}), "CONFIGURATION, Truncated|1 byte left"},
        {"configuration cut short", {0x09, 0x02, 0x22}, "CONFIGURATION, Truncated|bLength 9, 3 bytes left"},
        {"configuration of bLength 1, cut short",
         {0x01, 0x02, 0x22},
         "CONFIGURATION, Truncated|bLength 1, 3 bytes left"},
        {"no bytes", {}, "CONFIGURATION, Truncated|0 bytes left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.summary, Summary(ConfigWalk(OUTPUT_MODE_HTML, c.set))) << c.name;
}

TEST(FullConfigDescOutputerTest, DescriptorsGetTheirOwnBytesAndSectionsByMode) {
    // The audio endpoint keeps its last two bytes; the interface after it reads as itself.
    const std::string xml = ConfigWalk(OUTPUT_MODE_XML, Concat({kConfig,
                                                                Interface(0, 1),
                                                                kAudioEndpoint,
                                                                {0x08, 0x0B, 0x00, 0x02, 0x0E, 0x01, 0x00, 0x00},
                                                                Interface(7, 1)}));
    EXPECT_EQ(0u, xml.find("BeginElement|Configuration\nBeginElement|ConfigurationDescriptor\n")) << xml;
    EXPECT_TRUE(HasLine(xml, "BeginElement|EndpointDescriptor")) << xml;
    EXPECT_TRUE(HasLine(xml, "WriteValueWithAttribute|bDescriptorType|0b|Name|INTERFACE_ASSOCIATION")) << xml;
    EXPECT_TRUE(HasLine(xml, "WriteValue|bInterfaceNumber|07")) << xml;
    EXPECT_TRUE(HasLine(xml, "BeginElement|InterfaceAssocDescriptor")) << xml;

    const std::string grid = ConfigWalk(OUTPUT_MODE_GRID, Concat({kConfig, Interface(0, 3), kHid}));
    EXPECT_EQ(0u, grid.find("BeginValueGroup|Configuration|SET\nBeginValueGroup|Descriptor Type|CONFIGURATION\n"))
        << grid;
    EXPECT_TRUE(HasLine(grid, "BeginValueGroup|Descriptor Type|HID DESCRIPTOR")) << grid;
    const std::string close = "ExpandCurrent\nEndGroup\n";
    EXPECT_EQ(grid.size() - close.size(), grid.rfind(close)) << grid;

    // A defect is an item of its own at the walk's level, after the broken descriptor's section.
    const std::string broken = ConfigWalk(OUTPUT_MODE_GRID, Concat({kConfig, {0x00, 0x05}}));
    EXPECT_NE(std::string::npos,
              broken.find("EndGroup\nAddReadOnlyItem|Malformed|bLength 0\nExpandCurrent\nEndGroup\n"))
        << broken;

    // The grouped layout is the grid's alone: the mark-up media show the ordinary sections.
    const Bytes set = Concat({kConfig, Interface(0, 3), kEndpoint});
    const std::string groupedXml = Emit(set, [](OutputerImp* out, const BYTE* p, ULONG n) {
        FullConfigDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_XML, "Configuration", "SET", false, true);
    });
    EXPECT_EQ(ConfigWalk(OUTPUT_MODE_XML, set), groupedXml);

    // Another mode emits nothing, broken descriptors included.
    EXPECT_EQ("", ConfigWalk(3, Concat({kConfig, Interface(0, 3), {0x00, 0x05}})));
    EXPECT_EQ("", BosWalk(-1, Concat({kBos, {0x07, 0x10}})));

    // Nested: no section of the walk's own.
    const std::string nested = Emit(kConfig, [](OutputerImp* out, const BYTE* p, ULONG n) {
        FullConfigDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_XML, "Configuration", "", true, false);
    });
    EXPECT_EQ(0u, nested.find("BeginElement|ConfigurationDescriptor\n")) << nested;
}

TEST(FullConfigDescOutputerTest, GroupedLayoutOnTheGrid) {
    tdl::test::TestGridPane pane;
    GridOutputImp out(&pane);
    out.ShowCategory("URB");
    const Bytes set = Concat({kConfig, Interface(0, 3), kHid, kEndpoint, Interface(1, 8), kEndpoint});
    FullConfigDescOutputer(&out, nullptr, set.data(), static_cast<ULONG>(set.size()), 2)
        .Output(OUTPUT_MODE_GRID, "Configuration", "", true, true);
    const std::string dump = pane.Dump(gkDumpCategory | gkDumpExpanded);
    // Each interface is a group holding its own category and the descriptors after it, expanded when
    // closed; the configuration and the descriptors are categories captioned by their kind alone.
    const size_t first = dump.find("\n  INTERFACE 0/ALT 0, 03(HumanInterface) [category] [expanded]\n"
                                   "    INTERFACE [category]\n      bLength = 0x09\n");
    const size_t hid = dump.find("\n    HID DESCRIPTOR [category]\n      bLength = 0x09\n");
    const size_t endpoint = dump.find("\n    ENDPOINT 81, IN(1) Interrupt [category]\n");
    const size_t second = dump.find("\n  INTERFACE 1/ALT 0, 08(MassStorage) [category] [expanded]\n");
    const size_t secondEndpoint = dump.find("\n    ENDPOINT 81, IN(1) Interrupt [category]\n", second);
    ASSERT_NE(std::string::npos, first) << dump;
    EXPECT_TRUE(first < hid && hid < endpoint && endpoint < second && second < secondEndpoint &&
                secondEndpoint != std::string::npos)
        << dump;
    EXPECT_NE(std::string::npos, dump.find("URB [category]\n  CONFIGURATION (2) [category]\n    bLength = 0x09\n"))
        << dump;
    EXPECT_NE(std::string::npos, dump.find("\nPNP [category]\n")) << dump;
    // Auto-expand is left cleared, and the walk leaves the grid where it found it.
    EXPECT_FALSE(out.autoExpand);
    EXPECT_EQ(pane.Category("URB"), out.GetCurrentItem());

    // Through any other back-end the groups are closed alike.
    const std::string calls = Emit(set, [](OutputerImp* recording, const BYTE* p, ULONG n) {
        FullConfigDescOutputer(recording, nullptr, p, n).Output(OUTPUT_MODE_GRID, "Configuration", "", true, true);
    });
    EXPECT_NE(std::string::npos, calls.find("EndGroup\nExpandCurrent\nEndGroup\n"
                                            "BeginCategory|INTERFACE 1/ALT 0, 08(MassStorage)\n"))
        << calls;
    EXPECT_EQ(0u, calls.find("BeginCategory|CONFIGURATION (1)\n")) << calls;
}

TEST(FullBosDescOutputerTest, EachCapabilityMeetsItsDecoder) {
    struct Case {
        const char* name;
        Bytes set;
        const char* summary;
    } cases[] = {
        {"header alone", kBos, "BOS"},
        {"known capabilities",
         Concat({kBos,
                 {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00},
                 {0x0A, 0x10, 0x03, 0x00, 0x0E, 0x00, 0x01, 0x00, 0xF4, 0x01},
                 {0x04, 0x10, 0x04, 0x00},
                 {0x05, 0x10, 0x0A, 0x01, 0x02},
                 {0x03, 0x0F, 0x00}}),
         "BOS, DEVICE CAPABILITY (USB2 Ext), DEVICE CAPABILITY (SuperSpeed), DEVICE CAPABILITY (Container ID), "
         "DEVICE CAPABILITY, OTHER BOS"},
        // A capability starts only where its length, its type and the capability's type are there.
        {"two bytes after the header", Concat({kBos, {0x02, 0x10}}), "BOS, Truncated|2 bytes left"},
        {"capability cut short", Concat({kBos, {0x07, 0x10, 0x02}}),
         "BOS, DEVICE CAPABILITY (USB2 Ext), Truncated|bLength 7, 3 bytes left"},
        {"capability of bLength 2", Concat({kBos, {0x02, 0x10}, {0x04, 0x10, 0x04, 0x00}}),
         "BOS, DEVICE CAPABILITY, DEVICE CAPABILITY (Container ID)"},
        {"capability of bLength 0", Concat({kBos, {0x00, 0x10, 0x0A, 0x01, 0x02, 0x03}}),
         "BOS, DEVICE CAPABILITY, Malformed|bLength 0"},
        {"one stray byte", Concat({kBos, {0x07}}), "BOS, Truncated|1 byte left"},
        {"header of bLength 0, cut short", {0x00, 0x0F, 0x05}, "BOS, Truncated|bLength 0, 3 bytes left"},
        {"header of bLength 0 before capabilities",
         Concat({{0x00, 0x0F, 0x0C, 0x00, 0x01}, {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00}}),
         "BOS, Malformed|bLength 0, DEVICE CAPABILITY (USB2 Ext)"},
        {"header of bLength 255 before capabilities",
         Concat({{0xFF, 0x0F, 0x0C, 0x00, 0x01}, {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00}}),
         "BOS, Malformed|bLength 255, DEVICE CAPABILITY (USB2 Ext)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.summary, Summary(BosWalk(OUTPUT_MODE_HTML, c.set))) << c.name;
}

TEST(FullBosDescOutputerTest, SectionsByMode) {
    const Bytes set = Concat({kBos, {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00}, {0x03, 0x0F, 0x00}});
    const std::string xml = BosWalk(OUTPUT_MODE_XML, set);
    EXPECT_EQ(0u, xml.find("BeginElement|Bos\nBeginElement|FullBosDescriptor\n")) << xml;
    EXPECT_TRUE(HasLine(xml, "BeginElement|DeviceCapability-Usb2Ext")) << xml;
    EXPECT_TRUE(HasLine(xml, "WriteValueWithAttribute|bDescriptorType|0f|Type|")) << xml;
    const std::string grid = BosWalk(OUTPUT_MODE_GRID, set);
    EXPECT_TRUE(HasLine(grid, "BeginValueGroup|Descriptor Type|BOS")) << grid;
    EXPECT_TRUE(HasLine(grid, "BeginValueGroup|Descriptor Type|DEVICE CAPABILITY (USB2 Ext)")) << grid;
    EXPECT_TRUE(HasLine(grid, "AddItem|bDescriptorType|0x0f (OTHER BOS)|-")) << grid;
}

} // namespace
