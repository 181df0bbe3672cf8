// Every hub-interface index and every hook code on both records: the grid's open groups after the body are
// the ones the title left, and records cut at every size, alone on the heap at an odd address, decode in
// both modes within their bytes with at most one "Truncated".
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/decoders/framework/GridOutputImp.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"

namespace {

const _LOGHDR* Header(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const _LOGHDR*>(record.data());
}

std::string Name(const std::vector<uint8_t>& record) {
    const ULONG tag = LogHdr::LogType(record.data());
    return std::string(reinterpret_cast<const char*>(&tag), 4) + " " + std::to_string(LogHdr::Function(record.data()));
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(CallDecoderSweepTest, EveryGroupTheBodyOpensIsClosed) {
    for (const std::vector<uint8_t>& record : tdl::test::AllCallRecords()) {
        const bool hubInterface =
            LogHdr::LogType(record.data()) == LogTag::buhI || LogHdr::LogType(record.data()) == LogTag::buhC;
        tdl::test::LogDetailsPane pane;
        GridOutputImp grid(&pane);
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&grid, nullptr, Header(record)));
        decoder->OutputKindTitle(OUTPUT_MODE_GRID);
        // The title shows its category, pushed and current; the body leaves it so.
        CGkPropertyGridItem* category = pane.Category(hubInterface ? "IHUB" : "MPORT");
        EXPECT_EQ(1u, grid.GetItemStack().GetCount()) << Name(record);
        EXPECT_EQ(category, grid.GetItemStack().Peek()) << Name(record);
        EXPECT_EQ(category, grid.GetCurrentItem()) << Name(record);
    }
}

TEST(CallDecoderSweepTest, CutRecordsStayWithinTheirBytes) {
    const tdl::test::DecoderDocument document;
    for (const std::vector<uint8_t>& record : tdl::test::AllCallRecords()) {
        const ULONG full = LogHdr::DataSize(record.data());
        for (ULONG size = 0; size <= full; ++size) {
            const tdl::test::RecordCopy cut(record, size, true);
            tdl::test::LogDetailsPane pane;
            ASSERT_TRUE(pane.ShowRecord(document.Get(), cut.Header()));
            const std::string shown = pane.Shown();
            EXPECT_LE(Count(shown, "Truncated"), 1u) << Name(record) << " at " << size;
            const std::string markup = tdl::test::MarkupText(document.Get(), cut.Header());
            EXPECT_FALSE(markup.empty()) << Name(record) << " at " << size;
            EXPECT_LE(Count(markup, "<Truncated"), 1u) << Name(record) << " at " << size;
        }
    }
}

// Sizes and counts inside the records that ask for more than the records hold, or wrap.
TEST(CallDecoderSweepTest, HostileSizesAndCountsStayWithinTheRecord) {
    using tdl::test::ArgBlock;
    const auto call = [](ULONG index, const std::vector<uint8_t>& args) {
        return tdl::test::CallRecord(LogTag::buhC, index, tdl::test::kCallBusContext, tdl::test::kCallHandle, 0, args);
    };
    const auto deviceInformation = [&](ULONG actualLength, ULONG lengthReturned) {
        return call(6, ArgBlock().U32(0x100).U32(lengthReturned).U32(0).U32(actualLength).Zeros(60));
    };
    const std::vector<std::vector<uint8_t>> records = {
        deviceInformation(0, 68),
        deviceInformation(51, 68),
        deviceInformation(0xFFFFFFFF, 68),
        deviceInformation(76, 0xFFFFFFFF),
        call(9, ArgBlock().U32(0x100).U32(0xFFFFFFFF).U32(0).U32(0xFFFFFFFF).Zeros(40)),
        call(9, ArgBlock().U32(0x100).U32(0xFFFFFFFF).U32(0).U32(4).Zeros(40)),
        call(2, ArgBlock().U32(0xFFFFFFFF).U32(9).Bytes({18, 1, 0, 2})),
        call(2, ArgBlock().U32(4).U32(0xFFFFFFFF).Bytes({18, 1, 0, 2, 9, 2, 9, 0})),
        call(2, ArgBlock().U32(0xFFFFFFF8).U32(0xFFFFFFFF).Zeros(16)),
        call(31, ArgBlock().Bytes({1, 2, 3, 4, 5, 6, 7, 8}).U16(255).U16(0).Zeros(28)),
        call(10, ArgBlock().U32(64).U32(0xFFFFFFFF).U16('A').U16('B').U8('C')),
        call(10, ArgBlock().U32(64).U32(7).U16('A').U16('B').U16('C').U16('D')),
    };
    for (const std::vector<uint8_t>& record : records) {
        const ULONG full = LogHdr::DataSize(record.data());
        for (ULONG size = 0; size <= full; ++size) {
            const tdl::test::RecordCopy cut(record, size, true);
            tdl::test::LogDetailsPane pane;
            GridOutputImp grid(&pane);
            std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&grid, nullptr, cut.Header()));
            decoder->OutputKindTitle(OUTPUT_MODE_GRID);
            // The call decoder's own cut at most once; a descriptor inside may mark its own as well.
            EXPECT_LE(Count(pane.Shown(), "payload bytes"), 1u) << Name(record) << " at " << size;
            EXPECT_EQ(1u, grid.GetItemStack().GetCount()) << Name(record) << " at " << size;
            const std::string markup = tdl::test::MarkupText(nullptr, cut.Header());
            EXPECT_LE(Count(markup, "payload bytes"), 1u) << Name(record) << " at " << size;
        }
    }
}

TEST(CallDecoderSweepTest, CutSetDeviceFlagShowsWhatItHoldsAndOneTruncation) {
    const std::vector<uint8_t> record =
        tdl::test::CallRecord(LogTag::buhI, 23, tdl::test::kCallBusContext, tdl::test::kCallHandle, 0,
                              tdl::test::ArgBlock().U64(0xFFFFF80011112222).U64(0xFFFFF80033334444).U32(4));
    const tdl::test::RecordCopy cut(record, 12, true);
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(nullptr, cut.Header()));
    EXPECT_EQ("HUB Interface = SetDeviceFlag\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  DeviceFlagGuid = 0xfffff80011112222\n"
              "  Truncated = 12 of 20 payload bytes {0x0000FF}\n"
              "  ValueData = ?\?\?\n"
              "  ValueLength = ?\?\?\n",
              pane.Shown("IHUB"));
}

} // namespace
