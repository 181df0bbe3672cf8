// Short input: every sample descriptor and set at every shorter count, through every decoder and both
// walks in the three modes, from an exact-size heap copy so that AddressSanitizer sees any read past the
// count; and the placeholder decoders' answer to no bytes at all.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "tests/support/DescriptorDecoders.h"

namespace {

using namespace desc_test;

TEST(DescShortCountTest, EveryShorterCountInEveryMode) {
    for (const Bytes& sample : DescriptorSamples()) {
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
