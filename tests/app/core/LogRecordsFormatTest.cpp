// The record list's cells as the list asks for them, by row of the active view: the elapsed-time reference
// (the latest start, moved by "Set Time Origin", or the row before), the bank-boundary mark of the sequence
// column, rows outside the view, and the colours of a stored record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/loglist/LogListView.h"
#include "common/FilterBlock.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/UiFixture.h"
#include "windows.h"

namespace {

using LogRecords::CLogRecords;
using tdl::test::RecordBuilder;

class RecordListCells : public tdl::test::UiTest {
public:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(store.CreateBuffer(4096, 256));
        LARGE_INTEGER counter{};
        ASSERT_TRUE(QueryPerformanceFrequency(&counter)); // the frequency a live document keeps
        frequency = counter.QuadPart;
        ASSERT_GT(frequency, 0);
    }
    void TearDown() override {
        if (view) {
            doc.RemoveView(view);
            delete view;
        }
        UiTest::TearDown();
    }

    // Writes the record into the current bank's write space and indexes it there.
    void Put(RecordBuilder builder) {
        const std::vector<uint8_t> record = builder.Build();
        BYTE* pointer = nullptr;
        DWORD bytes = 0;
        ASSERT_TRUE(store.GetWriteSpace(pointer, bytes));
        ASSERT_GE(bytes, record.size());
        std::memcpy(pointer, record.data(), record.size());
        store.AdvanceWrite(static_cast<DWORD>(record.size()));
        store.Add(reinterpret_cast<_LOGHDR*>(pointer));
    }

    CLogListView* AttachListView() {
        doc.m_bAutoDelete = FALSE; // the document lives on the fixture, not the heap
        view = new CLogListView;
        doc.AddView(view);
        return view;
    }

    CString Elapsed(INT_PTR row) {
        CString text;
        store.FormatElapsedTime(&doc, row, text);
        return text;
    }

    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
    LONGLONG frequency = 0;
    CLogListView* view = nullptr;
};

TEST_F(RecordListCells, ElapsedTimeFromTheLatestStartOrTheRowBefore) {
    const LONGLONG start = 1000000;
    Put(RecordBuilder(LogTag::atsL).TimeStamp(start));
    Put(RecordBuilder(LogTag::urbI).TimeStamp(start + frequency));
    Put(RecordBuilder(LogTag::urbC).TimeStamp(start + frequency + frequency / 2));
    store.SetLatestStart(start);

    // Without a list view: seconds since the latest start.
    EXPECT_STREQ("0.00000000", Elapsed(0));
    EXPECT_STREQ("1.00000000", Elapsed(1));
    EXPECT_STREQ("1.50000000", Elapsed(2));
    EXPECT_STREQ("0.00", Elapsed(3)); // no such row

    // The time origin moved to the second row: the rows before it read negative.
    store.SetLatestStart(start + frequency);
    EXPECT_STREQ("-1.00000000", Elapsed(0));
    EXPECT_STREQ("0.00000000", Elapsed(1));
    EXPECT_STREQ("0.50000000", Elapsed(2));

    // The view's unit and mode: milliseconds since the row before (the first row from itself).
    CLogListView* pView = AttachListView();
    pView->SetTimeUnit(CLogListView::TimeUnitMilliseconds);
    pView->SetTimeMode(CLogListView::TimeModeSincePrevious);
    EXPECT_STREQ("    0.0000", Elapsed(0));
    EXPECT_STREQ(" 1000.0000", Elapsed(1));
    EXPECT_STREQ("  500.0000", Elapsed(2));
    pView->SetTimeUnit(CLogListView::TimeUnitMicroseconds);
    EXPECT_STREQ("      500000.0", Elapsed(2));
    pView->SetTimeUnit(7);
    EXPECT_STREQ("0.00", Elapsed(2));
}

TEST_F(RecordListCells, SequenceColumnMarksTheBankBoundaryOnlyWhileBothBanksHoldRecords) {
    ASSERT_TRUE(store.ResetBuffer(256, 100)); // three empty records pass the high-water mark
    store.SetCapturing();
    for (ULONG sequence : {1, 2, 3})
        Put(RecordBuilder(LogTag::urbI).Sequence(sequence));
    const auto Marks = [&] {
        std::vector<ULONG> marked;
        for (INT_PTR row = 0; row < store.GetDisplayCount(&doc); ++row) {
            BOOL boundary = TRUE;
            const ULONG sequence = store.FormatSequence(&doc, row, boundary);
            if (boundary)
                marked.push_back(sequence);
        }
        return marked;
    };
    EXPECT_EQ(std::vector<ULONG>{}, Marks()); // one bank in use

    store.SwitchBanks(&doc);
    EXPECT_EQ(std::vector<ULONG>{}, Marks()); // the new bank is still empty
    for (ULONG sequence : {4, 5})
        Put(RecordBuilder(LogTag::urbC).Sequence(sequence));
    EXPECT_EQ(std::vector<ULONG>{3}, Marks());

    BOOL boundary = TRUE;
    EXPECT_EQ(0u, store.FormatSequence(&doc, 9, boundary));
    EXPECT_FALSE(boundary);
}

TEST_F(RecordListCells, RowsOutsideTheFilteredViewShowTheFallbacks) {
    Put(RecordBuilder(LogTag::urbI).Function(0).Irp(0x1234));
    auto* filter = new CFilterDefinition; // select-configuration requests
    for (size_t offset : {FilterByte::UrbRequest, FilterByte::UrbFunctions + 0, FilterByte::AcceptSuccess})
        filter->Enable(offset);
    doc.SetBufferFilter(filter);
    doc.SetBufferFilterOn(TRUE);
    CString type, state, text;
    // An empty filtered view has no record at any row.
    store.FormatCategory(&doc, 0, type, state);
    EXPECT_STREQ(" ???", type);
    EXPECT_STREQ("none", state);

    // A row outside a filtered view that holds records: a cell shows no record.
    store.AddFiltered(&doc, store.GetAt(0));
    ASSERT_EQ(1, store.GetDisplayCount(&doc));
    store.FormatIrpAddress(&doc, 0, text);
    EXPECT_STREQ("0x1234", text);
    for (INT_PTR row : {INT_PTR{1}, INT_PTR{-1}}) {
        store.FormatIrpAddress(&doc, row, text);
        EXPECT_STREQ("---", text);
        store.FormatRequest(&doc, row, text);
        EXPECT_STREQ("*Unknown*", text);
        store.FormatElapsedTime(&doc, row, text);
        EXPECT_STREQ("0.00", text);
    }
}

TEST_F(RecordListCells, ColoursOfAStoredRecord) {
    Put(RecordBuilder(LogTag::vedA).Sequence(1));
    Put(RecordBuilder(LogTag::urbI).Sequence(3));
    std::memcpy(store.GetAt(1), "****", 4); // the document's mark of a gap before this record
    COLORREF text = 0, background = 0;
    store.GetRecordColours(&doc, 0, text, background);
    EXPECT_EQ(0x0000FFu, text);
    EXPECT_EQ(0x00FFFFu, background);
    store.GetRecordHighlight(&doc, 0, text, background);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), text);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), background);
    store.GetRecordHighlight(&doc, 1, text, background);
    EXPECT_EQ(0x0000FFu, text);
    EXPECT_EQ(0xFFFFFFu, background);
    store.GetRecordColours(&doc, 2, text, background);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), background);
}

} // namespace
