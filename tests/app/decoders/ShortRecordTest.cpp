// Records cut short: every sample record at every shorter DataSize, in an exact-size heap copy so that
// AddressSanitizer sees any read past the payload (and at an odd address, so that no field is read aligned), through
// the pane and through the mark-up form; and what a cut power record shows.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "RecordDecoderCases.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/RecordFrame.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using decoder_test::Request;
using decoder_test::Words;

const _LOGHDR* Header(const tdl::test::RecordCopy& copy) {
    return copy.Header();
}

TEST(ShortRecordTest, EveryRecordAtEveryShorterSizeStaysWithinItsBytes) {
    const tdl::test::DecoderDocument withStacks;
    for (CUSBLog* document : {static_cast<CUSBLog*>(nullptr), withStacks.Get()}) {
        for (const std::vector<uint8_t>& record : decoder_test::SampleRecords()) {
            const ULONG full = LogHdr::DataSize(record.data());
            for (ULONG step = 0; step <= 2 * full + 1; ++step) {
                // Each size twice: the copy at an aligned address, then at an odd one.
                const tdl::test::RecordCopy cut(record, step / 2, step % 2 != 0);
                tdl::test::LogDetailsPane pane;
                ASSERT_TRUE(pane.ShowRecord(document, Header(cut)));
                CXmlOutput writer;
                ASSERT_TRUE(writer.BeginDocument("Records"));
                XmlOutputImp xml(&writer);
                std::unique_ptr<LogOutputer>(LogOutputer::Create(&xml, document, Header(cut)))->OutputMarkupRecord(0);
                EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
                tdl::test::RecordingOutputImp html;
                std::unique_ptr<LogOutputer>(LogOutputer::Create(&html, document, Header(cut)))->OutputMarkupRecord(2);
                // A cut record says so once at most, wherever it says it.
                const std::string shown = pane.Shown();
                EXPECT_EQ(shown.find("Truncated"), shown.rfind("Truncated"));
            }
        }
    }
}

TEST(ShortRecordTest, CutSetPowerRecordShowsWhatItHasAndOneTruncation) {
    const std::vector<uint8_t> record = Request(LogTag::powI, 2).Part1(Words({1, 4, 0})).Build();
    const tdl::test::RecordCopy cut(record, 6);
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(nullptr, Header(cut)));
    EXPECT_EQ("Power Request = IRP_MN_SET_POWER\n"
              "Set Power Parameters =\n"
              "  PowerType = Device\n"
              "  Truncated = 6 of 12 payload bytes {0x0000FF}\n"
              "  PowerState = ???\n"
              "  PowerAction = ???\n",
              pane.Shown("PWR"));

    tdl::test::RecordingOutputImp xml;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&xml, nullptr, Header(cut)));
    decoder->OutputKindTitle(0);
    EXPECT_EQ("BeginElement|Power-State\n"
              "WriteValue|PowerType|Device\n"
              "WriteValue|Truncated|6 of 12 payload bytes\n"
              "WriteValue|DevicePowerState|???\n"
              "WriteValue|PowerAction|???\n"
              "EndElement\n"
              "EndGroup\n",
              xml.Text());
}

TEST(ShortRecordTest, EmptyPayloadsOfEachPowerGroup) {
    struct Case {
        ULONG tag;
        ULONG minor;
        const char* shown;
        ULONG status = 0;
    } cases[] = {
        {LogTag::powI, 0,
         "Power Request = IRP_MN_WAIT_WAKE\nWait Wake Power State =\n  Truncated = 0 of 4 payload bytes {0x0000FF}\n"
         "  SystemWake = ???\n"},
        {LogTag::powC, 1,
         "Power Request = IRP_MN_POWER_SEQUENCE\nPower Sequence Parameters =\n"
         "  Truncated = 0 of 12 payload bytes {0x0000FF}\n  SequenceD1 = ???\n  SequenceD2 = ???\n"
         "  SequenceD3 = ???\n"},
        {LogTag::powI, 3,
         "Power Request = IRP_MN_QUERY_POWER\nQuery Power Parameters =\n"
         "  Truncated = 0 of 12 payload bytes {0x0000FF}\n  PowerType = ???\n  PowerState = ???\n"
         "  PowerAction = ???\n"},
        // A power sequence that failed has no counts: the driver writes them only for one that succeeded.
        {LogTag::powC, 1, "Power Request = IRP_MN_POWER_SEQUENCE\n", 0xC0000001},
    };
    for (const Case& c : cases) {
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(c.tag, c.minor, c.status).Build()));
        EXPECT_EQ(c.shown, pane.Shown("PWR")) << c.minor;
    }
}

} // namespace
