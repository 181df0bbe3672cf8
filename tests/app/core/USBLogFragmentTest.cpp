// The capture document's walk of a block read from the capture log: sequence gaps marked in the bank and
// counted, log start and end kept out of the trigger and the buffer filter, the trigger's stop posted, and a
// record cut by the block's end left alone.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/UiFixture.h"
#include "windows.h"

namespace {

using tdl::test::RecordBuilder;

struct Rec {
    ULONG tag;
    ULONG sequence;
};

// Accepts "urbI" records with function 0 and nothing the test uses besides.
CFilterDefinition* UrbInitiatedFilter() {
    auto* filter = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        filter->Enable(offset);
    return filter;
}

std::vector<uint8_t> Block(const std::vector<Rec>& records) {
    std::vector<uint8_t> block;
    for (const Rec& r : records) {
        RecordBuilder builder(r.tag);
        builder.Sequence(r.sequence).TimeStamp(1000 + r.sequence);
        tdl::test::AppendRecord(block, builder.Build());
    }
    return block;
}

class FragmentTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_records.CreateBuffer(1 << 16, 0));
        m_window = std::make_unique<tdl::test::TestWindow>(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 100, 100});
        m_mainWnd = m_window->hwnd();
        ASSERT_NE(m_mainWnd, nullptr);
        ASSERT_TRUE(m_frame.Attach(m_mainWnd));
        m_app.m_pMainWnd = &m_frame;
    }
    void TearDown() override {
        m_app.m_pMainWnd = nullptr;
        m_frame.Detach();
        m_window.reset();
    }

    // Copies the block to the bank's write pointer and walks it there, as a read does.
    INT_PTR Feed(const std::vector<uint8_t>& block, BOOL& triggered, BYTE** at = nullptr) {
        BYTE* pointer = nullptr;
        DWORD left = 0;
        EXPECT_TRUE(m_records.GetWriteSpace(pointer, left));
        EXPECT_GE(left, block.size());
        std::memcpy(pointer, block.data(), block.size());
        m_records.AdvanceWrite(static_cast<DWORD>(block.size()));
        if (at != nullptr)
            *at = pointer;
        return m_doc.ProcessCaptureFragment(pointer, static_cast<DWORD>(block.size()), triggered);
    }

    // The stop commands posted to the main window so far.
    int TakeStops() {
        int stops = 0;
        MSG msg;
        while (::PeekMessageA(&msg, m_mainWnd, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_COMMAND && msg.wParam == ID_USB_STOPEVENTCAPTURE)
                ++stops;
        }
        return stops;
    }

    CWinApp m_app{"Tindaloft"};
    std::unique_ptr<tdl::test::TestWindow> m_window;
    CWnd m_frame;
    HWND m_mainWnd = nullptr;
    CUSBLog m_doc;
    LogRecords::CLogRecords& m_records = *m_doc.GetLogRecords();
};

struct SequenceCase {
    const char* name;
    UINT expectedBefore;
    std::vector<Rec> records;
    std::vector<bool> marked; // per record: "****" over its sync word
    UINT gaps;
    UINT expectedAfter;
};

TEST_F(FragmentTest, MarksOnlyTheFirstRecordAfterEachGap) {
    const ULONG urbI = LogTag::urbI;
    const std::vector<SequenceCase> cases = {
        {"first record after a start is never marked", 0, {{urbI, 50}, {urbI, 51}}, {false, false}, 0, 52},
        {"in sequence", 7, {{urbI, 7}, {urbI, 8}, {urbI, 9}}, {false, false, false}, 0, 10},
        {"a gap of several records marks one", 7, {{urbI, 7}, {urbI, 12}, {urbI, 13}}, {false, true, false}, 1, 14},
        {"two gaps count two", 1, {{urbI, 3}, {urbI, 4}, {urbI, 9}}, {true, false, true}, 2, 10},
        {"a number going back is a gap", 20, {{urbI, 20}, {urbI, 5}}, {false, true}, 1, 6},
        {"the expected number wraps",
         0xFFFFFFFE,
         {{urbI, 0xFFFFFFFE}, {urbI, 0xFFFFFFFF}, {urbI, 0}},
         {false, false, false},
         0,
         1},
        // After a wrap to 0 the next record is taken as it comes: unknown, not a gap.
        {"wrapped to 0 leaves the next unchecked",
         0xFFFFFFFF,
         {{urbI, 0xFFFFFFFF}, {urbI, 77}, {urbI, 80}},
         {false, false, true},
         1,
         81},
        {"log start and end are numbered too",
         3,
         {{LogTag::atsL, 3}, {urbI, 6}, {LogTag::dneL, 7}},
         {false, true, false},
         1,
         8},
    };
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_records.RemoveAll();
        m_doc.SetSequenceGapCount(0);
        m_doc.SetExpectedSequenceNumber(c.expectedBefore);
        BOOL triggered = TRUE;
        EXPECT_EQ(Feed(Block(c.records), triggered), static_cast<INT_PTR>(c.records.size()));
        EXPECT_FALSE(triggered);
        EXPECT_EQ(m_doc.GetSequenceGapCount(), c.gaps);
        EXPECT_EQ(m_doc.GetExpectedSequenceNumber(), c.expectedAfter);
        for (size_t i = 0; i < c.records.size(); ++i) {
            const auto* record = reinterpret_cast<const uint8_t*>(m_records.GetAt(static_cast<INT_PTR>(i)));
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(LogHdr::SequenceNumber(record), c.records[i].sequence);
            EXPECT_EQ(LogHdr::Sync(record), c.marked[i] ? LogTag::GapSync : LogTag::Sync) << "record " << i;
        }
    }
}

TEST_F(FragmentTest, GapAcrossFragmentsIsCountedOnceAndKeptInTheBank) {
    BOOL triggered = FALSE;
    Feed(Block({{LogTag::urbI, 1}, {LogTag::urbI, 2}}), triggered);
    BYTE* second = nullptr;
    Feed(Block({{LogTag::urbI, 10}, {LogTag::urbI, 11}}), triggered, &second);
    EXPECT_EQ(m_doc.GetSequenceGapCount(), 1u);
    EXPECT_EQ(LogHdr::Sync(second), LogTag::GapSync);
    EXPECT_EQ(m_records.GetCount(), 4);
}

TEST_F(FragmentTest, LogStartSetsTheOriginOnceAndTheLatestStartEachTime) {
    BOOL triggered = FALSE;
    Feed(Block({{LogTag::atsL, 1}, {LogTag::urbI, 2}, {LogTag::dneL, 3}, {LogTag::atsL, 4}}), triggered);
    EXPECT_TRUE(m_records.IsTimeOriginSet());
    EXPECT_EQ(m_records.GetTimeOrigin(), 1001);
    EXPECT_EQ(m_records.GetLatestStart(), 1004);
}

TEST_F(FragmentTest, TriggerPostsOneStopAndKeepsTheLastMatch) {
    m_doc.SetTrigger(UrbInitiatedFilter());
    m_doc.SetTriggerOn(TRUE);
    m_doc.SetLogging(TRUE);
    BOOL triggered = FALSE;
    // Log start and end are never tested, even though the same filter would pass an "urbI" next to them.
    const INT_PTR rows = Feed(Block({{LogTag::atsL, 1},
                                     {LogTag::urbC, 2},
                                     {LogTag::urbI, 3},
                                     {LogTag::urbC, 4},
                                     {LogTag::urbI, 5},
                                     {LogTag::dneL, 6}}),
                              triggered);
    EXPECT_TRUE(triggered);
    EXPECT_EQ(rows, 6) << "records after a match are still indexed";
    EXPECT_EQ(m_doc.GetTriggerSequenceNumber(), 5u);
    EXPECT_EQ(TakeStops(), 1);

    // A fragment with no match reports none and posts nothing; the last match's number stays.
    Feed(Block({{LogTag::urbC, 7}}), triggered);
    EXPECT_FALSE(triggered);
    EXPECT_EQ(m_doc.GetTriggerSequenceNumber(), 5u);
    EXPECT_EQ(TakeStops(), 0);
}

TEST_F(FragmentTest, TriggerIsTestedOnlyWhileLoggingWithTheTriggerOn) {
    m_doc.SetTrigger(UrbInitiatedFilter());
    for (const auto& [logging, on] : {std::pair{FALSE, TRUE}, std::pair{TRUE, FALSE}}) {
        m_doc.SetLogging(logging);
        m_doc.SetTriggerOn(on);
        BOOL triggered = TRUE;
        Feed(Block({{LogTag::urbI, 1}}), triggered);
        EXPECT_FALSE(triggered);
        EXPECT_EQ(m_doc.GetTriggerSequenceNumber(), 0u);
    }
    EXPECT_EQ(TakeStops(), 0);
}

TEST_F(FragmentTest, BufferFilterIndexesWhatItAcceptsButNeverLogStartOrEnd) {
    // An empty filter would accept nothing; this one accepts "urbI". Log start and end stay out of the
    // filtered view even so.
    m_doc.SetBufferFilter(UrbInitiatedFilter());
    m_doc.SetBufferFilterOn(TRUE);
    BOOL triggered = FALSE;
    const INT_PTR rows =
        Feed(Block({{LogTag::atsL, 1}, {LogTag::urbI, 2}, {LogTag::urbC, 3}, {LogTag::urbI, 4}, {LogTag::dneL, 5}}),
             triggered);
    EXPECT_EQ(rows, 2) << "the active view is the filtered one";
    EXPECT_EQ(m_records.GetCount(), 5);
    EXPECT_EQ(LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(m_records.GetRecordAt(&m_doc, 1))), 4u);
}

// The walk stops at a record cut by the fragment's end: a header cut short, or a DataSize running past the
// end (also one so large that 68 + DataSize would wrap in 32 bits). The fragment is an exact-size heap copy,
// so AddressSanitizer reports any read past it.
TEST_F(FragmentTest, CutLastRecordIsNotIndexedNorReadPast) {
    const std::vector<uint8_t> whole = Block({{LogTag::urbI, 1}});
    struct Cut {
        const char* name;
        size_t keep;    // bytes of the second record in the fragment
        ULONG dataSize; // its DataSize
    };
    const Cut cuts[] = {
        {"a few header bytes", 10, 0},
        {"header without trailer", 64, 0},
        {"payload past the end", 68, 100},
        {"DataSize that wraps 32 bits", 68, 0xFFFFFFFC},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.name);
        CUSBLog doc;
        std::vector<uint8_t> second = Block({{LogTag::urbI, 2}});
        std::memcpy(second.data() + offsetof(_LOGHDR, DataSize), &cut.dataSize, sizeof cut.dataSize);
        second.resize(cut.keep);
        std::vector<uint8_t> fragment = whole;
        fragment.insert(fragment.end(), second.begin(), second.end());
        auto exact = std::make_unique<BYTE[]>(fragment.size());
        std::memcpy(exact.get(), fragment.data(), fragment.size());
        BOOL triggered = FALSE;
        // The heap copy lies in no bank, so nothing is indexed; what counts is the walk: the first record is
        // numbered, the cut one is not.
        doc.ProcessCaptureFragment(exact.get(), static_cast<DWORD>(fragment.size()), triggered);
        EXPECT_EQ(doc.GetExpectedSequenceNumber(), 2u);
    }
    // In a bank the cut record is not indexed while the whole one is.
    std::vector<uint8_t> fragment = whole;
    const std::vector<uint8_t> second = Block({{LogTag::urbI, 2}});
    fragment.insert(fragment.end(), second.begin(), second.end() - 1);
    BOOL triggered = FALSE;
    EXPECT_EQ(Feed(fragment, triggered), 1);
}

} // namespace
