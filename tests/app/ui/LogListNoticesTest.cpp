// The capture thread's notices to the record list: fragments grow the rows, auto-scroll follows the last row
// or leaves the view alone, a fired trigger brings its row into view, a bank switch reloads the list in the
// banks' new order (filtered or not), and however many records arrive only the rows shown are formatted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/core/filters/FilterDefinition.h"
#include "common/LogHeader.h"
#include "tests/app/ui/RecordListFixture.h"

namespace reclist_test {
namespace {

using tdl::test::RecordBuilder;

// A filter (buffer filter or trigger) that passes initiated URBs of function 0 only.
CFilterDefinition* InitiatedUrbFilter() {
    auto* pFilter = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        pFilter->Enable(offset);
    return pFilter;
}

// Records numbered first, first + 1, ...: initiated and completed URBs in turn, or initiated ones only.
std::vector<std::vector<uint8_t>> UrbRecords(ULONG first, ULONG count, bool alternate = false) {
    std::vector<std::vector<uint8_t>> records;
    for (ULONG sequence = first; sequence < first + count; ++sequence)
        records.push_back(
            RecordBuilder(alternate && sequence % 2 == 0 ? LogTag::urbC : LogTag::urbI).Sequence(sequence).Build());
    return records;
}

class LogListNoticesTest : public RecordListTest {
protected:
    // Whether the command's menu item shows checked and enabled for the view.
    std::pair<bool, bool> AutoScrollState(CView* pView) {
        struct Probe : CCmdUI {
            void Enable(BOOL bOn) override {
                enabled = bOn != FALSE;
                m_bEnableChanged = TRUE;
            }
            void SetCheck(int nCheck) override { checked = nCheck != 0; }
            bool enabled = true;
            bool checked = false;
        } probe;
        probe.m_nID = ID_OPTIONS_AUTOSCROLL;
        probe.DoUpdate(pView, FALSE);
        return {probe.checked, probe.enabled};
    }
    int Top() { return List().GetTopIndex(); }
};

TEST_F(LogListNoticesTest, AutoScrollOffKeepsTheTopRowAndOnKeepsTheLastRowShown) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    EXPECT_FALSE(View()->IsAutoScroll());
    EXPECT_EQ(AutoScrollState(View()), std::make_pair(false, true));
    Deliver(UrbRecords(1, 100));
    ASSERT_EQ(List().GetItemCount(), 100);
    ASSERT_LT(List().GetCountPerPage(), 60);
    EXPECT_EQ(Top(), 0);
    List().EnsureVisible(70, FALSE);
    const int nTop = Top();
    ASSERT_GT(nTop, 0);
    Deliver(UrbRecords(101, 50));
    EXPECT_EQ(List().GetItemCount(), 150);
    EXPECT_EQ(Top(), nTop);

    // Turned on, the last row comes into view at once and stays there as fragments arrive.
    Command(ID_OPTIONS_AUTOSCROLL);
    EXPECT_TRUE(View()->IsAutoScroll());
    EXPECT_EQ(AutoScrollState(View()), std::make_pair(true, true));
    EXPECT_TRUE(tdl::test::RowShown(List(), 149));
    for (ULONG first = 151; first < 400; first += 83) {
        Deliver(UrbRecords(first, 83));
        EXPECT_TRUE(tdl::test::RowShown(List(), List().GetItemCount() - 1)) << first;
    }
    Command(ID_OPTIONS_AUTOSCROLL);
    EXPECT_FALSE(View()->IsAutoScroll());
}

TEST_F(LogListNoticesTest, AFiredTriggerBringsItsRowIntoView) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    View()->SetAutoScroll(TRUE);
    Live()->SetTrigger(InitiatedUrbFilter());
    Live()->SetTriggerOn(TRUE);
    Live()->SetLogging(TRUE);
    // Completed URBs only, but for the trigger's record early in a long fragment.
    std::vector<std::vector<uint8_t>> records;
    for (ULONG sequence = 1; sequence <= 300; ++sequence)
        records.push_back(RecordBuilder(sequence == 20 ? LogTag::urbI : LogTag::urbC).Sequence(sequence).Build());
    Deliver(records);
    Live()->SetLogging(FALSE);
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, Frame()->GetSafeHwnd(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, ID_USB_STOPEVENTCAPTURE);
    EXPECT_EQ(List().GetItemCount(), 300);
    EXPECT_TRUE(tdl::test::RowShown(List(), 19));
    EXPECT_FALSE(tdl::test::RowShown(List(), 299));
    EXPECT_EQ(View()->FindItemBySequence(20), 19);
    EXPECT_EQ(View()->FindItemBySequence(301), -1);
}

// Continuous logging over banks of 4,096 bytes: a fragment of 40 records fills a bank past its high-water
// mark, so each switch drops the records of the bank that becomes current.
TEST_F(LogListNoticesTest, ABankSwitchReloadsTheListInTheNewOrderFilteredOrNot) {
    for (const bool filtered : {false, true}) {
        SCOPED_TRACE(filtered ? "filtered" : "all records");
        Records().RemoveAll();
        ASSERT_TRUE(Records().CreateBuffer(4096, 2048));
        Records().SetCapturing();
        Live()->SetExpectedSequenceNumber(0);
        if (filtered) {
            Live()->SetBufferFilter(InitiatedUrbFilter());
            Live()->ApplyBufferFilter();
        }
        EXPECT_EQ(List().GetItemCount(), 0);
        const int nSequence = ColumnOf(LVCOL_SEQUENCE_NUMBER);
        // Records 1-40 in bank 0, 41-80 in bank 1, then bank 0 again: 1-40 go, 81-120 come.
        Deliver(UrbRecords(1, 40, true));
        SwitchBanks();
        Deliver(UrbRecords(41, 40, true));
        const int nRows = filtered ? 20 : 40;
        EXPECT_EQ(List().GetItemCount(), 2 * nRows);
        EXPECT_EQ(Cell(0, nSequence), "1");
        SwitchBanks();
        EXPECT_EQ(List().GetItemCount(), nRows);
        EXPECT_EQ(Cell(0, nSequence), "41");
        Deliver(UrbRecords(81, 40, true));
        ASSERT_EQ(List().GetItemCount(), 2 * nRows);
        EXPECT_EQ(Cell(0, nSequence), "41");
        EXPECT_EQ(Cell(nRows - 1, nSequence), filtered ? "*79" : "*80");
        EXPECT_EQ(Cell(nRows, nSequence), "81");
        EXPECT_EQ(Cell(2 * nRows - 1, nSequence), filtered ? "119" : "120");
        if (filtered) {
            Live()->ClearBufferFilter();
            Live()->SetBufferFilter(nullptr);
            EXPECT_EQ(List().GetItemCount(), 80);
        }
    }
}

// A million records arrive in fragments of 10,000; the list paints after each. Only the rows it shows are
// ever formatted: with auto-scroll off the first page, with it on the last page after each fragment.
TEST_F(LogListNoticesTest, WhileAMillionRecordsArriveOnlyTheRowsShownAreFormatted) {
    constexpr ULONG kRecords = 1000000;
    constexpr ULONG kFragment = 10000;
    const std::vector<uint8_t> shape = RecordBuilder(LogTag::urbI).Function(9).Build();
    ASSERT_TRUE(Records().CreateBuffer(static_cast<DWORD>(shape.size() * (kRecords + kFragment)), 0));
    const int nColumns = View()->GetColumns().GetCount();
    const int nPerPage = List().GetCountPerPage();
    ASSERT_GT(nPerPage, 0);
    for (const BOOL bAutoScroll : {FALSE, TRUE}) {
        SCOPED_TRACE(bAutoScroll ? "auto-scroll" : "no auto-scroll");
        View()->SetAutoScroll(bAutoScroll);
        const ULONG first = bAutoScroll ? kRecords / 2 : 0;
        const ULONGLONG nBefore = View()->GetFormattedCellCount();
        int nPaints = 0;
        for (ULONG sequence = first + 1; sequence <= first + kRecords / 2; sequence += kFragment) {
            BYTE* pWrite = nullptr;
            DWORD dwLeft = 0;
            ASSERT_TRUE(Records().GetWriteSpace(pWrite, dwLeft));
            ASSERT_GE(dwLeft, shape.size() * kFragment);
            for (ULONG i = 0; i < kFragment; ++i) {
                BYTE* pRecord = pWrite + i * shape.size();
                std::memcpy(pRecord, shape.data(), shape.size());
                const ULONG number = sequence + i;
                std::memcpy(pRecord + offsetof(_LOGHDR, SequenceNumber), &number, sizeof number);
            }
            Records().AdvanceWrite(static_cast<DWORD>(shape.size() * kFragment));
            ::SendMessageA(View()->GetSafeHwnd(), g_nLogListViewMessage, reinterpret_cast<WPARAM>(pWrite),
                           static_cast<LPARAM>(shape.size() * kFragment));
            View()->UpdateWindow();
            ++nPaints;
        }
        ASSERT_EQ(List().GetItemCount(), static_cast<int>(first + kRecords / 2));
        const ULONGLONG nFormatted = View()->GetFormattedCellCount() - nBefore;
        EXPECT_TRUE(tdl::test::RowShown(List(), bAutoScroll ? List().GetItemCount() - 1 : 0));
        // A page, one row cut at its foot, per paint at most.
        EXPECT_LE(nFormatted, static_cast<ULONGLONG>(nPaints * (nPerPage + 1) * nColumns));
        if (bAutoScroll)
            EXPECT_GE(nFormatted, static_cast<ULONGLONG>(nPaints * nPerPage * nColumns));
    }
}

TEST_F(LogListNoticesTest, AutoScrollIsOfferedForTheLiveCaptureOnly) {
    CDocument* pLogFile = App().m_pLogDocTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pLogFile, nullptr);
    POSITION pos = pLogFile->GetFirstViewPosition();
    CView* pView = pLogFile->GetNextView(pos);
    ASSERT_NE(dynamic_cast<CLogListView*>(pView), nullptr);
    EXPECT_EQ(AutoScrollState(pView), std::make_pair(false, false));
}

} // namespace
} // namespace reclist_test
