// The class descriptors: HID and the two hub descriptors with their port bitmaps.
#include <algorithm>

#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/HidClassDescOutputer.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"

namespace {

using namespace desc_test;

std::string Hid(int mode, const Bytes& bytes, ULONG& consumed, bool grouped = false) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        HidClassDescOutputer(out, nullptr, p, n).Output(mode, "Hid", "HID", consumed, grouped);
    });
}

template <class Decoder> std::string Hub(int mode, const Bytes& bytes, bool nested = false) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        Decoder(out, nullptr, p, n).Output(mode, "Hub", "HUB", nested);
    });
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(HidClassDescOutputerTest, HeaderAndEntries) {
    ULONG consumed = 0;
    EXPECT_EQ("BeginValueGroup|Hid|HID\n"
              "AddItem|bLength|0x09|-\n"
              "AddItem|bDescriptorType|0x21 (HID CLASS)|-\n"
              "AddItem|bcdHID|0x0111|-\n"
              "AddItem|bCountry|0x00|-\n"
              "AddItem|bNumDescriptors|0x01|-\n"
              "AddItem|bReportType|0x22 (HID REPORT DESCRIPTOR)|-\n"
              "AddItem|wReportLength|0x003f|-\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              Hid(OUTPUT_MODE_GRID, {0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x3F, 0x00}, consumed));
    EXPECT_EQ(9u, consumed);
    const std::string two =
        Hid(OUTPUT_MODE_XML, {0x0C, 0x21, 0x11, 0x01, 0x00, 0x02, 0x23, 0x10, 0x00, 0x30, 0x08}, consumed);
    EXPECT_NE(std::string::npos, two.find("WriteValueWithAttribute|bReportType|23|Name|HID PHYSICAL DESCRIPTOR\n"
                                          "WriteValue|wReportLength|0010\n"
                                          "WriteValueWithAttribute|bReportType|30|Name|OTHER REPORT DESCRIPTOR\n"
                                          "WriteValue|wReportLength|???\n"))
        << two;
    EXPECT_EQ(11u, consumed);
}

TEST(HidClassDescOutputerTest, CutAfterTheCount) {
    ULONG consumed = 0;
    EXPECT_EQ("BeginCategory|Hid\n"
              "AddItem|bLength|0x0c|-\n"
              "AddItem|bDescriptorType|0x21 (HID CLASS)|-\n"
              "AddItem|bcdHID|0x0111|-\n"
              "AddItem|bCountry|0x00|-\n"
              "AddItem|bNumDescriptors|0x02|-\n"
              "AddItem|wReportLength|???|-\n"
              "AddItem|wReportLength|???|-\n"
              "EndGroup\n",
              Hid(OUTPUT_MODE_GRID, {0x0C, 0x21, 0x11, 0x01, 0x00, 0x02}, consumed, true));
    EXPECT_EQ(6u, consumed);
    const std::string noCount = Hid(OUTPUT_MODE_XML, {0x09, 0x21, 0x11}, consumed);
    EXPECT_TRUE(HasLine(noCount, "WriteValue|bNumDescriptors|???")) << noCount;
    EXPECT_EQ(std::string::npos, noCount.find("wReportLength"));
    EXPECT_EQ(2u, consumed);
}

const Bytes kFourPortHub = {0x09, 0x29, 0x04, 0xE0, 0x00, 0x32, 0x64, 0x04, 0xFF};

TEST(HubClassDescOutputerTest, FourPortHubInTheGrid) {
    EXPECT_EQ("BeginValueGroup|Hub|HUB\n"
              "AddItem|Descriptor Length|0x09|-\n"
              "AddItem|Descriptor Type|0x29 (HUB CLASS)|-\n"
              "AddItem|Downstream Ports|0x04|-\n"
              "AddItem|Hub Characteristics|0x00e0|-\n"
              "AddItem|PowerOn to PowerGood|0x32 (100 ms)|-\n"
              "AddItem|Hub Control Current|0x64 (mA)|-\n"
              "BeginValueGroup|DeviceRemovable|\n"
              "AddItem|bit.0.Reserved_0|0|-\n"
              "AddItem|bit.1.Port_1|0 (removable)|-\n"
              "AddItem|bit.2.Port_2|1 (nonRemovable)|-\n"
              "AddItem|bit.3.Port_3|0 (removable)|-\n"
              "AddItem|bit.4.Port_4|0 (removable)|-\n"
              "ExpandCurrent\n"
              "EndGroup\n"
              "BeginValueGroup|PortPwrCtrlMask|\n"
              "AddItem|bit.0.Reserved_0|1|-\n"
              "AddItem|bit.1.Port_1|1|-\n"
              "AddItem|bit.2.Port_2|1|-\n"
              "AddItem|bit.3.Port_3|1|-\n"
              "AddItem|bit.4.Port_4|1|-\n"
              "ExpandCurrent\n"
              "EndGroup\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_GRID, kFourPortHub));
}

TEST(HubClassDescOutputerTest, MarkupLabelsAndOneHtmlTable) {
    const std::string xml = Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_XML, kFourPortHub);
    EXPECT_TRUE(HasLine(xml, "WriteValue|bDescriptorLength|09")) << xml;
    EXPECT_TRUE(HasLine(xml, "WriteValueWithAttribute|bPowerOnToPowerGood|32|Delay|100 ms")) << xml;
    EXPECT_TRUE(HasLine(xml, "BeginSection|DeviceRemovable||")) << xml;
    EXPECT_TRUE(HasLine(xml, "WriteValueWithAttribute|bit.2.Port_2|1|Attachment|nonRemovable")) << xml;

    const std::string html = Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_HTML, kFourPortHub);
    EXPECT_EQ(1u, Count(html, "BeginTable"));
    EXPECT_EQ(1u, Count(html, "EndTable"));
    EXPECT_TRUE(HasLine(html, "WriteValueMeaning|PowerOn&nbsp;to&nbsp;PowerGood|0x32|100 ms")) << html;
    EXPECT_TRUE(HasLine(html, "WriteHeaderRow|DeviceRemovable|")) << html;
    EXPECT_EQ(0u, html.rfind("BeginTable|1\n", 0));
    EXPECT_EQ(html.size() - std::string("EndTable|1\n").size(), html.find("EndTable|1\n"));

    const std::string nested = Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_HTML, kFourPortHub, true);
    EXPECT_EQ(std::string::npos, nested.find("Table"));
}

TEST(HubClassDescOutputerTest, BitmapsStopAtTheCountAndAtBLength) {
    // bLength 255 over 9 bytes: the removable bitmap has its two bytes, the power mask none.
    Bytes claims = kFourPortHub;
    claims[0] = 0xFF;
    claims[2] = 0xFF;
    const std::string grid = Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_GRID, claims);
    EXPECT_TRUE(HasLine(grid, "AddItem|bit.15.Port_15|1 (nonRemovable)|-")) << grid;
    EXPECT_EQ(std::string::npos, grid.find("bit.16."));
    EXPECT_NE(std::string::npos, grid.find("BeginValueGroup|PortPwrCtrlMask|\nExpandCurrent\nEndGroup\n")) << grid;

    // bLength 8 leaves no bitmap; a count short of the fields shows "???".
    Bytes small = kFourPortHub;
    small[0] = 0x08;
    EXPECT_EQ(std::string::npos, Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_GRID, small).find("bit."));
    const std::string cut =
        Hub<HubClassDescUsb2Outputer>(OUTPUT_MODE_XML, Bytes(kFourPortHub.begin(), kFourPortHub.begin() + 4));
    EXPECT_TRUE(HasLine(cut, "WriteValue|wHubCharacteristics|???")) << cut;
    EXPECT_TRUE(HasLine(cut, "WriteValue|bHubControlCurrent|???")) << cut;
    EXPECT_EQ(std::string::npos, cut.find("bit."));
}

TEST(HubClassDescOutputerTest, SuperSpeedHub) {
    const Bytes hub = {0x0C, 0x2A, 0x04, 0x00, 0x00, 0x32, 0x64, 0x04, 0x20, 0x00, 0x04, 0x00};
    const std::string xml = Hub<HubClassDescUsb3Outputer>(OUTPUT_MODE_XML, hub);
    EXPECT_EQ("BeginElement|Hub\n"
              "WriteValue|bDescLength|0c\n"
              "WriteValueWithAttribute|bDescriptorType|2a|Name|SUPERSPEED HUB CLASS\n"
              "WriteValue|bNbrPorts|04\n"
              "WriteValue|wHubCharacteristics|0000\n"
              "WriteValueWithAttribute|bPwrOn2PwrGood|32|Delay|100 ms\n"
              "WriteValueWithAttribute|bHubContrCurrent|64|Units|mA\n"
              "WriteValueWithAttribute|bHubHdrDecLat|04|Units|microsec\n"
              "WriteValueWithAttribute|wHubDelay|0020|Units|nanosec\n"
              "BeginSection|DeviceRemovable||\n"
              "WriteValue|bit.0.Reserved_0|0\n"
              "WriteValueWithAttribute|bit.1.Port_1|0|Attachment|removable\n"
              "WriteValueWithAttribute|bit.2.Port_2|1|Attachment|nonRemovable\n"
              "WriteValueWithAttribute|bit.3.Port_3|0|Attachment|removable\n"
              "WriteValueWithAttribute|bit.4.Port_4|0|Attachment|removable\n"
              "EndElement\n"
              "EndElement\n",
              xml);
    const std::string grid = Hub<HubClassDescUsb3Outputer>(OUTPUT_MODE_GRID, hub);
    EXPECT_TRUE(HasLine(grid, "AddItem|Hub Header Decode Delay|0x04 (microsec)|-")) << grid;
    EXPECT_TRUE(HasLine(grid, "AddItem|Avg. Hub Delay|0x0020 (nanosec)|-")) << grid;
    // Sixteen ports at most, and none past the bytes.
    Bytes many = hub;
    many[2] = 0xFF;
    EXPECT_EQ(16u, Count(Hub<HubClassDescUsb3Outputer>(OUTPUT_MODE_XML, many), "|bit."));
    EXPECT_EQ(8u, Count(Hub<HubClassDescUsb3Outputer>(OUTPUT_MODE_XML, Bytes(many.begin(), many.end() - 1)), "|bit."));
}

} // namespace
