// The truncation sweep the IOCTL decoders' suites share: every record at every DataSize up to what it holds,
// in an exact-size heap copy at an aligned and at an odd address, so that AddressSanitizer sees any read past
// the payload or through a misaligned pointer; each cut decodes in the grid (one "Truncated" at the most),
// as mark-up that parses again, and in the HTML medium.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/XmlOutput.h"
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
                SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << LogHdr::Function(record.data())
                                                << std::dec << " at " << size << (odd ? " odd" : ""));
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

} // namespace ioctl_test
