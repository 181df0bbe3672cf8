// The BOS header, the device capabilities and the generic decoder.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/BosDescOutputer.h"
#include "app/decoders/descriptors/DevCapDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"

namespace {

using namespace desc_test;

template <class Decoder> std::string Capability(int mode, const Bytes& bytes, ULONG& consumed) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        consumed = 99;
        Decoder(out, nullptr, p, n).Output(mode, "Cap", "CAP", consumed);
    });
}

std::string Generic(int mode, const Bytes& bytes, ULONG& consumed, bool grouped = false) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        GenericDescOutputer(out, nullptr, p, n).Output(mode, "Other", grouped ? "" : "VENDOR", consumed, grouped);
    });
}

TEST(BosDescOutputerTest, HeaderInEveryMode) {
    const Bytes bos = {0x05, 0x0F, 0x16, 0x00, 0x02};
    ULONG consumed = 0;
    EXPECT_EQ("BeginValueGroup|Cap|CAP\n"
              "AddItem|bLength|0x05|-\n"
              "AddItem|bDescriptorType|BOS (15)|-\n"
              "AddItem|wTotalLength|0x0016|-\n"
              "AddItem|bNumDeviceCaps|0x02|-\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              Capability<BosDescOutputer>(OUTPUT_MODE_GRID, bos, consumed));
    EXPECT_EQ(5u, consumed);
    EXPECT_TRUE(
        HasLine(Capability<BosDescOutputer>(OUTPUT_MODE_XML, bos, consumed), "WriteValue|bDescriptorType|BOS (15)"));
    EXPECT_TRUE(
        HasLine(Capability<BosDescOutputer>(OUTPUT_MODE_HTML, bos, consumed), "WriteValue|bDescriptorType|BOS (15)"));
    const std::string invalid = Capability<BosDescOutputer>(OUTPUT_MODE_XML, {0x05, 0x10, 0x16}, consumed);
    EXPECT_TRUE(HasLine(invalid, "WriteValue|bDescriptorType|INVALID (16)")) << invalid;
    EXPECT_TRUE(HasLine(invalid, "WriteValue|wTotalLength|???")) << invalid;
    EXPECT_EQ(2u, consumed);
}

TEST(DevCapDescOutputerTest, KnownCapabilities) {
    ULONG consumed = 0;
    EXPECT_EQ(
        "BeginValueGroup|Cap|CAP\n"
        "AddItem|bLength|0x07|-\n"
        "AddItem|bDescriptorType|0x10 (DEVICE CAPABILITY)|-\n"
        "AddItem|bDevCapabilityType|0x02 (USB 2.0 Extension)|-\n"
        "AddItem|bmAttributes|0x00000002 (LPM)|-\n"
        "ExpandCurrent\n"
        "EndGroup\n",
        Capability<Usb2DevCapDescOutputer>(OUTPUT_MODE_GRID, {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00}, consumed));
    EXPECT_EQ(7u, consumed);
    EXPECT_TRUE(HasLine(Capability<Usb2DevCapDescOutputer>(OUTPUT_MODE_XML, {0x07, 0x10, 0x02, 0x00, 0x00}, consumed),
                        "WriteValueWithAttribute|bmAttributes|???|Name|???"));

    const Bytes superSpeed = {0x0A, 0x10, 0x03, 0x00, 0x0E, 0x00, 0x01, 0x00, 0xF4, 0x01};
    EXPECT_EQ("BeginElement|Cap\n"
              "WriteValue|bLength|0a\n"
              "WriteValueWithAttribute|bDescriptorType|10|Name|DEVICE CAPABILITY\n"
              "WriteValueWithAttribute|bDevCapabilityType|03|Name|SuperSpeed USB\n"
              "WriteValueWithAttribute|bmAttributes|00|Name|-\n"
              "WriteValueWithAttribute|wSpeedsSupported|000e|Speeds|full.high.5Gbps\n"
              "WriteValueWithAttribute|bFunctionalitySupport|01|FullFunctionalityAt|low\n"
              "WriteValueWithAttribute|bU1DevExitLat|00|Latency| 0 us.\n"
              "WriteValueWithAttribute|wU2DevExitLat|01f4|Latency|<500 us.\n"
              "EndElement\n",
              Capability<SuperSpeedDevCapDescOutputer>(OUTPUT_MODE_XML, superSpeed, consumed));
    EXPECT_EQ(10u, consumed);

    const Bytes container = {0x14, 0x10, 0x04, 0x00, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44,
                             0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const std::string whole = Capability<ContainerDevCapDescOutputer>(OUTPUT_MODE_GRID, container, consumed);
    EXPECT_TRUE(HasLine(whole, "AddItem|bDevCapabilityType|0x04 (Container ID)|-")) << whole;
    EXPECT_TRUE(HasLine(whole, "AddItem|bReserved|0x00|-")) << whole;
    EXPECT_TRUE(HasLine(whole, "AddItem|ContainerID|{00112233-4455-6677-8899-aabbccddeeff}|-")) << whole;
    EXPECT_EQ(20u, consumed);
    const std::string cut = Capability<ContainerDevCapDescOutputer>(
        OUTPUT_MODE_GRID, Bytes(container.begin(), container.begin() + 10), consumed);
    EXPECT_TRUE(HasLine(cut, "AddItem|ContainerID|???|-")) << cut;
    EXPECT_EQ(4u, consumed);
}

TEST(DevCapDescOutputerTest, OtherCapabilitiesAreSizedByTheirLength) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* data;
        ULONG consumed;
    } cases[] = {
        {"well formed", {0x08, 0x10, 0x0A, 1, 2, 3, 4, 5, 0xEE}, "0x05 bytes", 8},
        // The length may be right and the bytes cut: what it counts is not there to see.
        {"claims more than is there", {0x28, 0x10, 0x0A, 1, 2, 3, 4, 5}, "???", 8},
        {"bLength 0", {0x00, 0x10, 0x0A, 1, 2}, "INVALID bLength", 5},
        {"header alone", {0x03, 0x10, 0x0A}, "0x00 bytes", 3},
        {"no type byte", {0x02, 0x10}, "0x00 bytes", 2},
        {"nothing", {}, "???", 0},
    };
    for (const Case& c : cases) {
        ULONG consumed = 0;
        const std::string grid = Capability<DevCapDescOutputer>(OUTPUT_MODE_GRID, c.bytes, consumed);
        EXPECT_TRUE(HasLine(grid, std::string("AddItem|Capability Data|") + c.data + "|-")) << c.name << "\n" << grid;
        EXPECT_EQ(c.consumed, consumed) << c.name;
        EXPECT_TRUE(HasLine(Capability<DevCapDescOutputer>(OUTPUT_MODE_HTML, c.bytes, consumed),
                            std::string("WriteValue|CapabilityData|") + c.data))
            << c.name;
    }
    ULONG consumed = 0;
    const std::string plain = Capability<DevCapDescOutputer>(OUTPUT_MODE_GRID, {0x03, 0x10, 0x0A}, consumed);
    EXPECT_TRUE(HasLine(plain, "AddItem|bDevCapabilityType|0x0a|-")) << plain;
}

TEST(GenericDescOutputerTest, RowsOfSixteenBytes) {
    Bytes forty(40);
    for (size_t i = 0; i < forty.size(); ++i)
        forty[i] = static_cast<BYTE>(i);
    forty[0] = 40;
    forty[1] = 0xFF;
    ULONG consumed = 0;
    const std::string xml = Generic(OUTPUT_MODE_XML, forty, consumed);
    EXPECT_EQ("BeginElement|Other\n"
              "WriteValue|bLength|28\n"
              "WriteValueWithAttribute|bDescriptorType|ff|Type|VENDOR\n"
              "WriteValue|Bytes.00-0F|02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11\n"
              "WriteValue|Bytes.10-1F|12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f 20 21\n"
              "WriteValue|Bytes.20-25|22 23 24 25 26 27\n"
              "EndElement\n",
              xml);
    EXPECT_EQ(40u, consumed);
    // bLength 0 takes everything that is there; in the grouped layout the type has no text.
    const std::string zero = Generic(OUTPUT_MODE_GRID, {0x00, 0x24, 0xAA, 0xBB}, consumed, true);
    EXPECT_EQ("BeginCategory|Other\n"
              "AddItem|bLength|0x00|-\n"
              "AddItem|bDescriptorType|0x24 ()|-\n"
              "AddItem|Bytes.00-01|aa bb|-\n"
              "EndGroup\n",
              zero);
    EXPECT_EQ(4u, consumed);
    // bLength beyond the bytes takes what is there; a header alone has no rows.
    EXPECT_TRUE(HasLine(Generic(OUTPUT_MODE_HTML, {0x09, 0x24, 0xAA}, consumed), "WriteValue|Bytes.00-00|aa"));
    EXPECT_EQ(3u, consumed);
    EXPECT_EQ(std::string::npos, Generic(OUTPUT_MODE_HTML, {0x02, 0x24, 0xAA}, consumed).find("Bytes"));
    EXPECT_EQ(2u, consumed);
}

} // namespace
