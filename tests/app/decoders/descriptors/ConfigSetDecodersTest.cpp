// The decoders of a configuration set's own descriptors: configuration, interface, interface association,
// endpoint and SuperSpeed endpoint companion.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/ConfigDescOutputer.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/InterfaceDescOutputer.h"

namespace {

using namespace desc_test;

std::string Endpoint(int mode, const Bytes& bytes, ULONG* consumed = nullptr, bool grouped = false) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        ULONG used = 99;
        EndpointDescOutputer(out, nullptr, p, n).Output(mode, "Endpoint", "ENDPOINT", used, grouped);
        if (consumed != nullptr)
            *consumed = used;
    });
}

TEST(ConfigDescOutputerTest, FieldsConsumedLengthAndGroupedLayout) {
    const Bytes config = {0x0C, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32, 0xEE, 0xEE, 0xEE};
    ULONG consumed = 0;
    const std::string xml = Emit(config, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        ConfigDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_XML, "Config", "", consumed, false);
    });
    EXPECT_EQ("BeginElement|Config\n"
              "WriteValue|bLength|0c\n"
              "WriteValueWithAttribute|bDescriptorType|02|Name|CONFIGURATION\n"
              "WriteValue|wTotalLength|0022\n"
              "WriteValue|bNumInterfaces|01\n"
              "WriteValue|bConfigurationValue|01\n"
              "WriteValue|iConfiguration|00\n"
              "WriteValue|bmAttributes|a0\n"
              "WriteValue|MaxPower|32\n"
              "EndElement\n",
              xml);
    EXPECT_EQ(9u, consumed);

    Bytes invalid(config.begin(), config.begin() + 4);
    invalid[1] = 0x07;
    const std::string grouped = Emit(invalid, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        ConfigDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_GRID, "CONFIGURATION (1)", "", consumed, true);
    });
    EXPECT_EQ("BeginCategory|CONFIGURATION (1)\n"
              "AddItem|bLength|0x0c|-\n"
              "AddItem|bDescriptorType|0x07 (INVALID)|-\n"
              "AddItem|wTotalLength|0x0022|-\n"
              "AddItem|bNumInterfaces|???|-\n"
              "AddItem|bConfigurationValue|???|-\n"
              "AddItem|iConfiguration|???|-\n"
              "AddItem|bmAttributes|???|-\n"
              "AddItem|MaxPower|???|-\n"
              "EndGroup\n",
              grouped);
    EXPECT_EQ(4u, consumed);
}

TEST(InterfaceDescOutputerTest, ClassNamesAndTheClassOut) {
    const Bytes hid = {0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x01, 0x02, 0x00};
    ULONG consumed = 0;
    UCHAR klass = 0x77;
    const std::string html = Emit(hid, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        InterfaceDescOutputer(out, nullptr, p, n)
            .Output(OUTPUT_MODE_HTML, "Interface", "INTERFACE", consumed, klass, false);
    });
    EXPECT_TRUE(HasLine(html, "WriteValueMeaning|bDescriptorType|0x04|INTERFACE")) << html;
    EXPECT_TRUE(HasLine(html, "WriteValueMeaning|bInterfaceClass|0x03|HumanInterface")) << html;
    EXPECT_NE(std::string::npos, html.find("WriteValueMeaning|bInterfaceSubClass|0x01|")) << html;
    EXPECT_NE(std::string::npos, html.find("WriteValueMeaning|bInterfaceProtocol|0x02|")) << html;
    EXPECT_EQ(9u, consumed);
    EXPECT_EQ(3, klass);

    // Cut after 5 bytes: the class and what follows are "???" without text, and the caller's class stays.
    klass = 0x77;
    const std::string cut = Emit(Bytes(hid.begin(), hid.begin() + 5), [&](OutputerImp* out, const BYTE* p, ULONG n) {
        InterfaceDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_XML, "Interface", "", consumed, klass, false);
    });
    EXPECT_EQ("BeginElement|Interface\n"
              "WriteValue|bLength|09\n"
              "WriteValueWithAttribute|bDescriptorType|04|Name|INTERFACE\n"
              "WriteValue|bInterfaceNumber|00\n"
              "WriteValue|bAlternateSetting|00\n"
              "WriteValue|bNumEndpoints|01\n"
              "WriteValue|bInterfaceClass|???\n"
              "WriteValue|bInterfaceSubClass|???\n"
              "WriteValue|bInterfaceProtocol|???\n"
              "WriteValue|iInterface|???\n"
              "EndElement\n",
              cut);
    EXPECT_EQ(5u, consumed);
    EXPECT_EQ(0x77, klass);
}

TEST(InterfaceAssocDescOutputerTest, FunctionClassAndFields) {
    const Bytes iad = {0x08, 0x0B, 0x00, 0x02, 0x0E, 0x03, 0x00, 0x05};
    ULONG consumed = 0;
    UCHAR klass = 0;
    const std::string grid = Emit(iad, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        InterfaceAssocDescOutputer(out, nullptr, p, n).Output(OUTPUT_MODE_GRID, "IAD", "", consumed, klass, false);
    });
    EXPECT_TRUE(HasLine(grid, "AddItem|bDescriptorType|0x0b (INTERFACE_ASSOCIATION)|-")) << grid;
    EXPECT_TRUE(HasLine(grid, "AddItem|bFirstInterface|0x00|-")) << grid;
    EXPECT_TRUE(HasLine(grid, "AddItem|bInterfaceCount|0x02|-")) << grid;
    EXPECT_NE(std::string::npos, grid.find("AddItem|bFunctionClass|0x0e (")) << grid;
    EXPECT_TRUE(HasLine(grid, "AddItem|iFunction|0x05|-")) << grid;
    EXPECT_EQ(8u, consumed);
    EXPECT_EQ(0x0E, klass);
}

TEST(EndpointDescOutputerTest, InterruptEndpointInTheGrid) {
    ULONG consumed = 0;
    EXPECT_EQ("BeginValueGroup|Endpoint|ENDPOINT\n"
              "AddItem|bLength|0x07|-\n"
              "AddItem|bDescriptorType|0x05 (ENDPOINT)|-\n"
              "AddItem|bEndpointAddress|0x81 (IN)|-\n"
              "AddItem|bmAttributes.0-1|3 (Interrupt)|-\n"
              "AddItem|wMaxPacketSize|0x0040|-\n"
              "BeginGroup|Interval Properties|\n"
              "AddItem|bInterval|0x0a|-\n"
              "AddItem|HS-Interval|0x200 (microframes)|-\n"
              "AddItem|FS.LS-Interval|0xa (frames)|-\n"
              "ExpandCurrent\n"
              "EndGroup\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              Endpoint(OUTPUT_MODE_GRID, {0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x0A}, &consumed));
    EXPECT_EQ(7u, consumed);
}

TEST(EndpointDescOutputerTest, IsochronousHighBandwidthInTheMarkupMedia) {
    const Bytes iso = {0x07, 0x05, 0x02, 0x05, 0x00, 0x14, 0x01};
    EXPECT_EQ("BeginElement|Endpoint\n"
              "WriteValue|bLength|07\n"
              "WriteValueWithAttribute|bDescriptorType|05|Name|ENDPOINT\n"
              "WriteValueWithAttribute|bEndpointAddress|02|Direction|OUT\n"
              "WriteValueWithAttribute|bmAttributes.0-1|1|PipeType|Isochronous\n"
              "WriteValueWithAttribute|bmAttributes.2-3|1|SyncType|Asynchronous\n"
              "WriteValueWithAttribute|bmAttributes.4-5|0|UsageType|Data EP\n"
              "WriteValue|wMaxPacketSize|1400\n"
              "BeginElement|HighBandwidth\n"
              "WriteValue|AdditionalTransactions|2\n"
              "WriteValue|PacketSize|00000c00\n"
              "EndElement\n"
              "BeginElement|IntervalProps\n"
              "WriteValue|bInterval|01\n"
              "WriteValueWithAttribute|HS-Interval|00000001|Units|microframes\n"
              "WriteValueWithAttribute|FS.LS-Interval|00000001|Units|frames\n"
              "EndElement\n"
              "EndElement\n",
              Endpoint(OUTPUT_MODE_XML, iso));
    const std::string html = Endpoint(OUTPUT_MODE_HTML, iso);
    EXPECT_NE(std::string::npos, html.find("WriteValue|wMaxPacketSize|0x1400\nWriteValue|High&nbsp;Bandwidth|\n"
                                           "WriteValue|AdditionalTransactions|2\nWriteValue|PacketSize|0xc00\n"
                                           "WriteValue|Interval&nbsp;Properties|\n"))
        << html;
    EXPECT_TRUE(HasLine(html, "WriteValueMeaning|Descriptor&nbsp;Type|0x05|ENDPOINT")) << html;
    // Bits 11-12 at 3 are reserved: no group.
    EXPECT_EQ(std::string::npos,
              Endpoint(OUTPUT_MODE_GRID, {0x07, 0x05, 0x81, 0x01, 0x00, 0x1C, 0x01}).find("High Bandwidth"));
}

TEST(EndpointDescOutputerTest, IntervalsByTransferType) {
    struct Case {
        const char* name;
        BYTE address, attributes, interval;
        std::vector<std::string> lines;
        std::vector<std::string> absent;
    } cases[] = {
        {"bulk OUT, never NAKs", 0x02, 0x02, 0x00, {"AddItem|HS-Max_NAK_Rate|0x00 (Never NAKs)|-"}, {}},
        {"bulk OUT, NAK rate", 0x02, 0x02, 0x04, {"AddItem|HS-Max_NAK_Rate|0x04 (At most 1 NAK/4 microframes)|-"}, {}},
        {"bulk IN, interval alone", 0x82, 0x02, 0x04, {"AddItem|bInterval|0x04|-"}, {"HS-", "FS.LS"}},
        {"control IN", 0x80, 0x00, 0x00, {"AddItem|bmAttributes.0-1|0 (Control)|-"}, {"HS-"}},
        {"interrupt 0 counts as 1",
         0x81,
         0x03,
         0x00,
         {"AddItem|HS-Interval|0x1 (microframes)|-", "AddItem|FS.LS-Interval|0x0 (frames)|-"},
         {}},
        {"interrupt 32", 0x81, 0x03, 32, {"AddItem|HS-Interval|0x80000000 (microframes)|-"}, {}},
        {"interrupt 255",
         0x81,
         0x03,
         255,
         {"AddItem|HS-Interval|??? (microframes)|-", "AddItem|FS.LS-Interval|0xff (frames)|-"},
         {}},
        {"isochronous 33", 0x01, 0x01, 33, {"AddItem|FS.LS-Interval|??? (frames)|-"}, {}},
        {"isochronous 16", 0x01, 0x01, 16, {"AddItem|FS.LS-Interval|0x8000 (frames)|-"}, {}},
    };
    for (const Case& c : cases) {
        const std::string out =
            Endpoint(OUTPUT_MODE_GRID, {0x07, 0x05, c.address, c.attributes, 0x40, 0x00, c.interval});
        for (const std::string& line : c.lines)
            EXPECT_TRUE(HasLine(out, line)) << c.name << "\n" << out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(std::string::npos, out.find(text)) << c.name << "\n" << out;
    }
}

TEST(EndpointDescOutputerTest, ShortEndpointsAndTheGroupedTitle) {
    ULONG consumed = 0;
    // A lone byte of wMaxPacketSize counts as read.
    EXPECT_EQ("BeginElement|Endpoint\n"
              "WriteValue|bLength|07\n"
              "WriteValueWithAttribute|bDescriptorType|05|Name|ENDPOINT\n"
              "WriteValueWithAttribute|bEndpointAddress|81|Direction|IN\n"
              "WriteValueWithAttribute|bmAttributes.0-1|3|PipeType|Interrupt\n"
              "WriteValue|wMaxPacketSize|???\n"
              "WriteValue|bInterval|???\n"
              "EndElement\n",
              Endpoint(OUTPUT_MODE_XML, {0x07, 0x05, 0x81, 0x03, 0x40}, &consumed));
    EXPECT_EQ(5u, consumed);
    const std::string noAttributes = Endpoint(OUTPUT_MODE_GRID, {0x07, 0x05, 0x81}, &consumed);
    EXPECT_TRUE(HasLine(noAttributes, "AddItem|bmAttributes|???|-")) << noAttributes;
    EXPECT_EQ(3u, consumed);

    const Bytes endpoint = {0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x0A};
    EXPECT_STREQ("ENDPOINT 81, IN(1) Interrupt", EndpointDescOutputer::GroupedTitle(endpoint.data(), 7).GetString());
    const Bytes bulkOut = {0x07, 0x05, 0x02, 0x02};
    EXPECT_STREQ("ENDPOINT 02, OUT(2) Bulk", EndpointDescOutputer::GroupedTitle(bulkOut.data(), 4).GetString());
    EXPECT_STREQ("ENDPOINT ???", EndpointDescOutputer::GroupedTitle(bulkOut.data(), 2).GetString());
    const std::string grouped = Endpoint(OUTPUT_MODE_GRID, endpoint, nullptr, true);
    EXPECT_EQ(0u, grouped.find("BeginCategory|Endpoint\n")) << grouped;
    EXPECT_NE(std::string::npos, grouped.find("ExpandCurrent\nEndGroup\nEndGroup\n")) << grouped;
}

TEST(CompanionEndpointDescOutputerTest, FieldsAndAHalfWord) {
    auto run = [](int mode, const Bytes& bytes, ULONG& consumed) {
        return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
            CompanionEndpointDescOutputer(out, nullptr, p, n).Output(mode, "Companion", "", consumed, false);
        });
    };
    ULONG consumed = 0;
    EXPECT_EQ("BeginTable|1\n"
              "WriteHeaderRow|Companion|\n"
              "WriteValue|bLength|0x06\n"
              "WriteValueMeaning|Descriptor&nbsp;Type|0x30|SS ENDPOINT COMPANION\n"
              "WriteValue|bMaxBurst|0x03\n"
              "WriteValue|bmAttributes|0x00\n"
              "WriteValue|wBytesPerInterval|0x1000\n"
              "EndTable|1\n",
              run(OUTPUT_MODE_HTML, {0x06, 0x30, 0x03, 0x00, 0x00, 0x10}, consumed));
    EXPECT_EQ(6u, consumed);
    EXPECT_TRUE(
        HasLine(run(OUTPUT_MODE_XML, {0x06, 0x30, 0x03, 0x00, 0x00}, consumed), "WriteValue|wBytesPerInterval|???"));
    EXPECT_EQ(5u, consumed);
}

} // namespace
