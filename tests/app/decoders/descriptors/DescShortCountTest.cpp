// Short input: every sample descriptor and set at every shorter count, through every decoder and both
// walks in the three modes, from an exact-size heap copy so that AddressSanitizer sees any read past the
// count; and the placeholder decoders' answer to no bytes at all.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "tests/support/DescriptorDecoders.h"

namespace {

using namespace desc_test;

std::vector<Bytes> Samples() {
    const Bytes config = {0x09, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32};
    const Bytes interface = {0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x01, 0x02, 0x00};
    const Bytes hid = {0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x3F, 0x00};
    const Bytes endpoint = {0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x0A};
    const Bytes bos = {0x05, 0x0F, 0x16, 0x00, 0x02};
    const Bytes usb2 = {0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00};
    const Bytes superSpeed = {0x0A, 0x10, 0x03, 0x00, 0x0E, 0x00, 0x01, 0x00, 0xF4, 0x01};
    const Bytes container = {0x14, 0x10, 0x04, 0x00, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44,
                             0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    Bytes generic(40, 0x5A);
    generic[0] = 40;
    generic[1] = 0x41;
    return {
        {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0x5E, 0x04, 0x8E, 0x02, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01},
        {0x0A, 0x06, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x40, 0x01, 0x00},
        {0x04, 0x03, 0x09, 0x04},
        {0x12, 0x03, 'A', 0, 'B', 0, 'C', 0, 'D', 0, '1', 0, '0', 0, '0', 0, 0x20, 0x00},
        {0x0A, 0x03, 0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0x00, 0x00, 0xD8},
        {0x0C, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0xA0, 0x32, 0xEE, 0xEE, 0xEE},
        interface,
        {0x08, 0x0B, 0x00, 0x02, 0x0E, 0x03, 0x00, 0x05},
        endpoint,
        {0x07, 0x05, 0x02, 0x05, 0x00, 0x14, 0x01},
        {0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0xFF},
        {0x06, 0x30, 0x03, 0x00, 0x00, 0x10},
        bos,
        usb2,
        superSpeed,
        container,
        {0x08, 0x10, 0x0A, 1, 2, 3, 4, 5},
        generic,
        hid,
        {0x0C, 0x21, 0x11, 0x01, 0x00, 0x02, 0x23, 0x10, 0x00, 0x30, 0x08},
        {0x09, 0x29, 0x04, 0xE0, 0x00, 0x32, 0x64, 0x04, 0xFF},
        {0xFF, 0x29, 0xFF, 0xE0, 0x00, 0x32, 0x64, 0x04, 0xFF},
        {0x0C, 0x2A, 0x04, 0x00, 0x00, 0x32, 0x64, 0x04, 0x20, 0x00, 0x04, 0x00},
        Concat({config, interface, hid, endpoint, {0x09, 0x05, 0x01, 0x09, 0x00, 0x01, 0x01, 0x00, 0x00}}),
        Concat({config, interface, {0xC8, 0x05, 0x81, 0x03, 0x40}}),
        Concat({config, {0x00, 0x05, 0x81}}),
        Concat({bos, usb2, superSpeed, container, {0x00, 0x10, 0x0A}}),
    };
}

TEST(DescShortCountTest, EveryShorterCountInEveryMode) {
    for (const Bytes& sample : Samples()) {
        for (size_t count = 0; count <= sample.size(); ++count) {
            for (int mode : kModes) {
                const std::string calls =
                    Emit(Bytes(sample.begin(), sample.begin() + count), [&](OutputerImp* out, const BYTE* p, ULONG n) {
                        tdl::test::RunEveryDescriptorDecoder(*out, mode, p, n);
                    });
                ASSERT_FALSE(calls.empty());
            }
        }
    }
}

TEST(DescShortCountTest, PlaceholderDecodersAtCountZero) {
    const BYTE none[1] = {0x09};
    auto allMissing = [](const std::string& calls) {
        size_t rows = 0;
        size_t start = 0;
        while (start < calls.size()) {
            const size_t end = calls.find('\n', start);
            const std::string line = calls.substr(start, end - start);
            start = end + 1;
            if (line.rfind("AddItem|", 0) != 0)
                continue;
            ++rows;
            if (line.find("|???|-") == std::string::npos && line.find("|\?\?\? (\?\?\?)|-") == std::string::npos)
                return false;
        }
        return rows > 0;
    };
    struct Case {
        const char* name;
        std::function<ULONG(OutputerImp*)> run;
    } cases[] = {
        {"configuration",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             ConfigDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"interface",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             UCHAR klass = 7;
             InterfaceDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, klass, false);
             EXPECT_EQ(7, klass);
             return consumed;
         }},
        {"association",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             UCHAR klass = 7;
             InterfaceAssocDescOutputer(out, nullptr, none, 0)
                 .Output(OUTPUT_MODE_GRID, "T", "V", consumed, klass, false);
             EXPECT_EQ(7, klass);
             return consumed;
         }},
        {"endpoint",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             EndpointDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"companion",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             CompanionEndpointDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"BOS",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             BosDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"USB 2.0 extension",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             Usb2DevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"SuperSpeed",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             SuperSpeedDevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"container ID",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             ContainerDevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"other capability",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             DevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"generic",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             GenericDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"HID",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             HidClassDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"qualifier",
         [&](OutputerImp* out) {
             DevQualifierDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V");
             return ULONG(0);
         }},
        {"USB 2.0 hub",
         [&](OutputerImp* out) {
             HubClassDescUsb2Outputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", false);
             return ULONG(0);
         }},
        {"SuperSpeed hub",
         [&](OutputerImp* out) {
             HubClassDescUsb3Outputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", false);
             return ULONG(0);
         }},
    };
    for (const Case& c : cases) {
        tdl::test::RecordingOutputImp out;
        EXPECT_EQ(0u, c.run(&out)) << c.name;
        EXPECT_TRUE(allMissing(out.Text())) << c.name << "\n" << out.Text();
        EXPECT_EQ(0u, out.Text().find("BeginValueGroup|T|V\n")) << c.name;
    }
}

} // namespace
