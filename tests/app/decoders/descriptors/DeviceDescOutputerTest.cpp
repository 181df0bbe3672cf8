// The device, device qualifier and base operations: the golden call sequences of a whole device descriptor
// in the three modes, the stop at a partial fetch, the class and string texts, and the version texts.
#include <afxcoll.h>

#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"

namespace {

using namespace desc_test;

const Bytes kDevice = {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0x5E,
                       0x04, 0x8E, 0x02, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01};

std::string Device(int mode, const Bytes& bytes, const CStringArray& classTexts, const CStringArray& strings,
                   bool nested = false) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        DeviceDescOutputer(out, nullptr, p, n).Output(mode, "Device", "DEVICE", classTexts, strings, nested);
    });
}

std::string Device(int mode, const Bytes& bytes, bool nested = false) {
    return Device(mode, bytes, CStringArray(), CStringArray(), nested);
}

TEST(DeviceDescOutputerTest, WholeDescriptorInEachMode) {
    EXPECT_EQ("BeginValueGroup|Device|DEVICE\n"
              "AddItem|bLength|0x12|-\n"
              "AddItem|bDescriptorType|0x01 (DEVICE)|-\n"
              "AddItem|bcdUSB|0x0200 (2.0)|-\n"
              "AddItem|bDeviceClass|0x00|-\n"
              "AddItem|bDeviceSubClass|0x00|-\n"
              "AddItem|bDeviceProtocol|0x00|-\n"
              "AddItem|bMaxPacketSize0|0x40|-\n"
              "AddItem|idVendor|0x045e|-\n"
              "AddItem|idProduct|0x028e|-\n"
              "AddItem|bcdDevice|0x0100 (1.0)|-\n"
              "AddItem|iManufacturer|0x01|-\n"
              "AddItem|iProduct|0x02|-\n"
              "AddItem|iSerialNumber|0x03|-\n"
              "AddItem|bNumConfigurations|0x01|-\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              Device(OUTPUT_MODE_GRID, kDevice));
    EXPECT_EQ("BeginElement|Device\n"
              "WriteValue|bLength|12\n"
              "WriteValueWithAttribute|bDescriptorType|01|Name|DEVICE\n"
              "WriteValueWithAttribute|bcdUSB|0200|Version|2.0\n"
              "WriteValue|bDeviceClass|00\n"
              "WriteValue|bDeviceSubClass|00\n"
              "WriteValue|bDeviceProtocol|00\n"
              "WriteValue|bMaxPacketSize0|40\n"
              "WriteValue|idVendor|045e\n"
              "WriteValue|idProduct|028e\n"
              "WriteValueWithAttribute|bcdDevice|0100|Version|1.0\n"
              "WriteValue|iManufacturer|01\n"
              "WriteValue|iProduct|02\n"
              "WriteValue|iSerialNumber|03\n"
              "WriteValue|bNumConfigurations|01\n"
              "EndElement\n",
              Device(OUTPUT_MODE_XML, kDevice));
    EXPECT_EQ("BeginTable|1\n"
              "WriteHeaderRow|Device|DEVICE\n"
              "WriteValue|Descriptor&nbsp;Length|0x12\n"
              "WriteValueMeaning|Descriptor&nbsp;Type|0x01|DEVICE\n"
              "WriteValueMeaning|bcdUSB|0x0200|2.0\n"
              "WriteValue|bDeviceClass|0x00\n"
              "WriteValue|bDeviceSubClass|0x00\n"
              "WriteValue|bDeviceProtocol|0x00\n"
              "WriteValue|bMaxPacketSize0|0x40\n"
              "WriteValue|idVendor|0x045e\n"
              "WriteValue|idProduct|0x028e\n"
              "WriteValueMeaning|bcdDevice|0x0100|1.0\n"
              "WriteValue|iManufacturer|0x01\n"
              "WriteValue|iProduct|0x02\n"
              "WriteValue|iSerialNumber|0x03\n"
              "WriteValue|bNumConfigurations|0x01\n"
              "EndTable|1\n",
              Device(OUTPUT_MODE_HTML, kDevice));
}

TEST(DeviceDescOutputerTest, PartialFetchStopsAndClosesItsSection) {
    const Bytes first8(kDevice.begin(), kDevice.begin() + 8);
    const std::string grid = Device(OUTPUT_MODE_GRID, first8);
    EXPECT_NE(std::string::npos, grid.find("AddItem|bMaxPacketSize0|0x40|-\nExpandCurrent\nEndGroup\n")) << grid;
    EXPECT_EQ(std::string::npos, grid.find("idVendor"));
    EXPECT_EQ(std::string::npos, grid.find("???"));
    // A word cut in half is not shown either.
    const Bytes first3(kDevice.begin(), kDevice.begin() + 3);
    EXPECT_EQ("BeginElement|Device\nWriteValue|bLength|12\nWriteValueWithAttribute|bDescriptorType|01|Name|DEVICE\n"
              "EndElement\n",
              Device(OUTPUT_MODE_XML, first3));
    EXPECT_EQ("BeginTable|1\nWriteHeaderRow|Device|DEVICE\nEndTable|1\n", Device(OUTPUT_MODE_HTML, {}));
}

TEST(DeviceDescOutputerTest, NestedOpensNoSectionAndOtherModesEmitNothing) {
    const std::string nested = Device(OUTPUT_MODE_GRID, kDevice, true);
    EXPECT_EQ(std::string::npos, nested.find("BeginValueGroup"));
    EXPECT_EQ(std::string::npos, nested.find("EndGroup"));
    EXPECT_EQ(std::string::npos, nested.find("ExpandCurrent"));
    EXPECT_EQ(std::string::npos, Device(OUTPUT_MODE_XML, kDevice, true).find("Element|Device"));
    EXPECT_EQ(std::string::npos, Device(OUTPUT_MODE_HTML, kDevice, true).find("Table"));
    EXPECT_EQ("", Device(3, kDevice));
    EXPECT_EQ("", Device(-1, kDevice));
}

TEST(DeviceDescOutputerTest, InvalidTypeAndVersions) {
    Bytes bytes = kDevice;
    bytes[1] = 0x02;
    EXPECT_TRUE(HasLine(Device(OUTPUT_MODE_GRID, bytes), "AddItem|bDescriptorType|0x02 (INVALID)|-"));
    struct Case {
        USHORT bcd;
        const char* text;
    } cases[] = {{0x0200, "2.0"},    {0x0110, "1.1"}, {0x0201, "2.0.1"},     {0x0210, "2.1"},
                 {0x1234, "12.3.4"}, {0x0000, "0.0"}, {0xFFFF, "1515.15.15"}};
    for (const Case& c : cases)
        EXPECT_STREQ(c.text, DescOutputer::VersionText(c.bcd).GetString()) << std::hex << c.bcd;
}

TEST(DeviceDescOutputerTest, ClassTextsAndStringTexts) {
    CStringArray strings;
    for (const char* text : {"", "Maker", ""})
        strings.Add(text);
    struct Case {
        const char* name;
        const char* device;
        const char* interface;
        int mode;
        std::vector<std::string> lines;
    } cases[] = {
        {"both, grid",
         "Composite",
         "HumanInterface",
         OUTPUT_MODE_GRID,
         {"AddItem|bDeviceClass|0x00 (Composite)|-", "AddItem||Interface Class: HumanInterface|-"}},
        {"both, XML",
         "Composite",
         "HumanInterface",
         OUTPUT_MODE_XML,
         {"WriteValueWithAttribute|bDeviceClass|00|DeviceClass|Composite"}},
        {"interface only",
         "",
         "HumanInterface",
         OUTPUT_MODE_HTML,
         {"WriteValueMeaning|bDeviceClass|0x00|HumanInterface"}},
        {"interface only, XML",
         "",
         "HumanInterface",
         OUTPUT_MODE_XML,
         {"WriteValueWithAttribute|bDeviceClass|00|InterfaceClass|HumanInterface"}},
        {"neither", "", "", OUTPUT_MODE_GRID, {"AddItem|bDeviceClass|0x00|-"}},
    };
    for (const Case& c : cases) {
        CStringArray classTexts;
        for (const char* text : {"00", c.device, c.interface})
            classTexts.Add(text);
        const std::string out = Device(c.mode, kDevice, classTexts, strings);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(HasLine(out, line)) << c.name << "\n" << out;
        // String 1 is known; string 2 is empty, string 3 beyond the list.
        if (c.mode == OUTPUT_MODE_GRID) {
            EXPECT_TRUE(HasLine(out, "AddItem|iManufacturer|0x01 (Maker)|-")) << out;
            EXPECT_TRUE(HasLine(out, "AddItem|iProduct|0x02|-")) << out;
            EXPECT_TRUE(HasLine(out, "AddItem|iSerialNumber|0x03|-")) << out;
        }
        if (c.mode == OUTPUT_MODE_XML)
            EXPECT_TRUE(HasLine(out, "WriteValueWithAttribute|iManufacturer|01|Value|Maker")) << out;
    }
    // The interface row of the grid comes only with a device class text.
    CStringArray xmlOnly;
    for (const char* text : {"00", "Composite", "HumanInterface"})
        xmlOnly.Add(text);
    EXPECT_EQ(std::string::npos, Device(OUTPUT_MODE_HTML, kDevice, xmlOnly, strings).find("Interface Class"));
}

TEST(DevQualifierDescOutputerTest, FieldsAndPlaceholdersBeyondTheCount) {
    const Bytes qualifier = {0x0A, 0x06, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x40, 0x01, 0x00};
    auto run = [](int mode, const Bytes& bytes) {
        return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
            DevQualifierDescOutputer(out, nullptr, p, n).Output(mode, "Qualifier", "");
        });
    };
    EXPECT_EQ("BeginTable|1\n"
              "WriteHeaderRow|Qualifier|\n"
              "WriteValue|Descriptor&nbsp;Length|0x0a\n"
              "WriteValueMeaning|Descriptor&nbsp;Type|0x06|DEVICE QUALIFIER\n"
              "WriteValueMeaning|bcdUSB|0x0200|2.0\n"
              "WriteValue|bDeviceClass|0xff\n"
              "WriteValue|bDeviceSubClass|0x00\n"
              "WriteValue|bDeviceProtocol|0x00\n"
              "WriteValue|bMaxPacketSize0|0x40\n"
              "WriteValue|bNumConfigurations|0x01\n"
              "WriteValue|bReserved|0x00\n"
              "EndTable|1\n",
              run(OUTPUT_MODE_HTML, qualifier));
    EXPECT_EQ("BeginElement|Qualifier\n"
              "WriteValue|bLength|0a\n"
              "WriteValueWithAttribute|bDescriptorType|06|Name|DEVICE QUALIFIER\n"
              "WriteValue|bcdUSB|???\n"
              "WriteValue|bDeviceClass|???\n"
              "WriteValue|bDeviceSubClass|???\n"
              "WriteValue|bDeviceProtocol|???\n"
              "WriteValue|bMaxPacketSize0|???\n"
              "WriteValue|bNumConfigurations|???\n"
              "WriteValue|bReserved|???\n"
              "EndElement\n",
              run(OUTPUT_MODE_XML, Bytes(qualifier.begin(), qualifier.begin() + 3)));
}

} // namespace
