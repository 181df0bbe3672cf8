// The truncation sweep the IOCTL decoders' suites share: every record at every DataSize up to what it holds,
// in an exact-size heap copy at an aligned and at an odd address, so that AddressSanitizer sees any read past
// the payload or through a misaligned pointer; each cut decodes in the grid (one "Truncated" at the most),
// as mark-up that parses again, and in the HTML medium. And the check of what a cut record shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/RecordFrame.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"
#include "tests/support/RecordingDataBar.h"

namespace ioctl_test {

inline void ExpectEveryCutWithinItsBytes(const std::vector<std::vector<uint8_t>>& records) {
    tdl::test::RecordingDataBar bar;
    for (const std::vector<uint8_t>& record : records) {
        const ULONG full = LogHdr::DataSize(record.data());
        for (ULONG size = 0; size <= full; ++size) {
            for (bool odd : {false, true}) {
                SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << LogHdr::Function(record.data()) << std::dec
                                                << " at " << size << (odd ? " odd" : ""));
                const tdl::test::RecordCopy cut(record, size, odd);
                tdl::test::LogDetailsPane pane;
                ASSERT_TRUE(pane.ShowRecord(nullptr, cut.Header()));
                const std::string shown = pane.Shown();
                EXPECT_EQ(shown.find("Truncated"), shown.rfind("Truncated"));

                CXmlOutput writer;
                ASSERT_TRUE(writer.BeginDocument("Records"));
                XmlOutputImp xml(&writer);
                std::unique_ptr<LogOutputer>(LogOutputer::Create(&xml, nullptr, cut.Header()))->OutputMarkupRecord(0);
                EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
                tdl::test::BodyCalls(nullptr, cut.Header(), OUTPUT_MODE_HTML);
            }
        }
    }
}

// A record cut at `size` payload bytes (alone on the heap, at an odd address) and what the pane then shows in
// the kind's category.
struct CutCase {
    std::vector<uint8_t> record;
    ULONG size;
    const char* category;
    const char* shown;
};

inline void ExpectCutsShow(std::initializer_list<CutCase> cases) {
    for (const CutCase& c : cases) {
        const tdl::test::RecordCopy cut(c.record, c.size, true);
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, cut.Header()));
        EXPECT_EQ(c.shown, pane.Shown(c.category));
    }
}

} // namespace ioctl_test
