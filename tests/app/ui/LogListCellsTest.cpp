// The record list's cells as a user reads them: every column's text for records of every kind, the starred
// bank boundary, the columns the list formats itself or not at all, and the colours of a capture's rows in
// the list's picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/core/filters/FilterDefinition.h"
#include "tests/app/ui/RecordListFixture.h"
#include "tests/support/Pictures.h"

namespace reclist_test {
namespace {

using tdl::test::RecordBuilder;

// One record of each kind a capture holds, numbered from `first` on.
std::vector<std::vector<uint8_t>> EveryKind(ULONG first) {
    const ULONG tags[] = {LogTag::atsL, LogTag::urbI, LogTag::urbR, LogTag::urbC,  LogTag::iCnt, LogTag::cCnt,
                          LogTag::hubI, LogTag::hubC, LogTag::hcdI, LogTag::hcdC,  LogTag::hidI, LogTag::hidC,
                          LogTag::ctlC, LogTag::uinI, LogTag::uinC, LogTag::pnpI,  LogTag::pnpC, LogTag::powI,
                          LogTag::powC, LogTag::buhI, LogTag::buhC, LogTag::khpI,  LogTag::khpC, LogTag::vedA,
                          LogTag::vrdR, LogTag::ktsA, LogTag::dneL, FourCC("zzzI")};
    std::vector<std::vector<uint8_t>> records;
    ULONG sequence = first;
    for (ULONG tag : tags) {
        RecordBuilder builder(tag);
        const ULONG next = sequence + 1;
        builder.Sequence(sequence).TimeStamp(1000 * next).Irp(0xFFFFFA8001234000ULL + next);
        sequence = next;
        if (tag == LogTag::urbI || tag == LogTag::urbC)
            builder.Function(9).Part1(tdl::test::UrbTransferPart1(9, 0, 0x81, 1));
        else if (tag == LogTag::iCnt || tag == LogTag::cCnt)
            builder.Function(9).Part1(tdl::test::ContinuationPart1(0, 0x81, 1));
        else if (tag == LogTag::uinI || tag == LogTag::uinC)
            builder.Function(0x220013);
        else if (tag == LogTag::buhI || tag == LogTag::buhC)
            builder.Function(2);
        else if (tag == LogTag::khpI || tag == LogTag::khpC)
            builder.Function(10);
        records.push_back(builder.Build());
    }
    return records;
}

// What the record store's formatter of a column gives for a row: the list must show exactly that.
std::string Formatted(CUSBLog* pDoc, INT_PTR nRow, ULONG nColumnId) {
    const LogRecords::CLogRecords& records = *pDoc->GetLogRecords();
    CString text;
    CString shortText;
    switch (nColumnId) {
    case LVCOL_RECORD_CATEGORY: records.FormatCategory(pDoc, nRow, text, shortText); break;
    case LVCOL_SEQUENCE_NUMBER: {
        BOOL bBoundary = FALSE;
        const ULONG nSequence = records.FormatSequence(pDoc, nRow, bBoundary);
        text.Format(bBoundary ? "*%lu" : "%lu", nSequence);
        break;
    }
    case LVCOL_REQUEST_TYPE: records.FormatRequest(pDoc, nRow, text); break;
    case LVCOL_DATA_DIRECTION: records.FormatDirection(pDoc, nRow, text); break;
    case LVCOL_ELAPSED_TIME: records.FormatElapsedTime(pDoc, nRow, text); break;
    case LVCOL_TARGET_DEVICEOBJECT: records.FormatTargetDeviceObject(pDoc, nRow, text); break;
    case LVCOL_TARGET_CFG_IFC_EPA: records.FormatCfgIfcEp(pDoc, nRow, text); break;
    case LVCOL_ISOPACKET_ERRORS: records.FormatIsoErrors(pDoc, nRow, text); break;
    case LVCOL_STORBOT_CBW: records.FormatCbw(pDoc, nRow, text); break;
    case LVCOL_STORBOT_CSW: records.FormatCsw(pDoc, nRow, text); break;
    case LVCOL_IRP_ADDRESS: records.FormatIrpAddress(pDoc, nRow, text); break;
    case LVCOL_IRP_STATUS: records.FormatIrpStatus(pDoc, nRow, text); break;
    default: break;
    }
    return std::string(text);
}

TEST_F(RecordListTest, EveryColumnShowsItsFormatterTextForEveryKindOfRecord) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    const std::vector<std::vector<uint8_t>> records = EveryKind(1);
    Deliver(records);
    ASSERT_EQ(List().GetItemCount(), static_cast<int>(records.size()));
    const CLogListColumns& columns = View()->GetColumns();
    ASSERT_EQ(columns.GetCount(), 12);
    for (int row = 0; row < List().GetItemCount(); ++row)
        for (int column = 0; column < columns.GetCount(); ++column)
            EXPECT_EQ(Cell(row, column), Formatted(Live(), row, columns.GetColumnId(column)))
                << "row " << row << ", column " << columns.GetHeading(column);
    // A few cells as a user reads them.
    EXPECT_EQ(Cell(1, ColumnOf(LVCOL_RECORD_CATEGORY)), " URB");
    EXPECT_EQ(Cell(1, ColumnOf(LVCOL_SEQUENCE_NUMBER)), "2");
    EXPECT_EQ(Cell(1, ColumnOf(LVCOL_REQUEST_TYPE)), "BULK_OR_INTERRUPT_TRANSFER");
    EXPECT_EQ(Cell(1, ColumnOf(LVCOL_DATA_DIRECTION)), "IN");
    EXPECT_EQ(Cell(27, ColumnOf(LVCOL_REQUEST_TYPE)), "*Unknown*");
}

TEST_F(RecordListTest, TheDataColumnShowsDashesAndASubItemBeyondTheColumnsNothing) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    Deliver(EveryKind(1));
    // The Data column is never offered; put into the list anyway, the list fills it itself.
    CLogListColumns& columns = View()->GetColumns();
    const int nData = columns.AddDataFirstBytesColumn(0);
    ASSERT_GE(columns.InsertColumn(nData), 0);
    EXPECT_EQ(Cell(0, nData), "---");
    EXPECT_EQ(Cell(1, nData), "---");

    // Asked as the list asks: for a sub-item the set does not have, the buffer stays as it was.
    auto Ask = [&](int nSubItem, int cchTextMax) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "untouched");
        NMLVDISPINFO info{};
        info.hdr.hwndFrom = View()->GetSafeHwnd();
        info.hdr.idFrom = static_cast<UINT_PTR>(View()->GetDlgCtrlID());
        info.hdr.code = LVN_GETDISPINFOA;
        info.item.mask = LVIF_TEXT;
        info.item.iItem = 1;
        info.item.iSubItem = nSubItem;
        info.item.pszText = buffer;
        info.item.cchTextMax = cchTextMax;
        View()->GetParent()->SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
        return std::string(buffer);
    };
    EXPECT_EQ(Ask(columns.GetCount(), 16), "untouched");
    EXPECT_EQ(Ask(-1, 16), "untouched");
    // A text longer than the buffer is cut to it.
    EXPECT_EQ(Ask(ColumnOf(LVCOL_REQUEST_TYPE), 16), "BULK_OR_INTERRU");
    EXPECT_EQ(Ask(ColumnOf(LVCOL_REQUEST_TYPE), 5), "BULK");
    EXPECT_EQ(Ask(ColumnOf(LVCOL_SEQUENCE_NUMBER), 2), "2");
    EXPECT_EQ(Ask(nData, 3), "--");
}

TEST_F(RecordListTest, TheLastRecordOfTheOlderBankIsStarredWhileBothBanksHoldRecords) {
    // Continuous logging: a block of 40 records passes a bank's high-water mark.
    ASSERT_TRUE(Records().CreateBuffer(4096, 2048));
    Records().SetCapturing();
    auto Block = [](ULONG first) {
        std::vector<std::vector<uint8_t>> block;
        for (ULONG sequence = first; sequence < first + 40; ++sequence)
            block.push_back(RecordBuilder(LogTag::urbI).Sequence(sequence).Build());
        return block;
    };
    Deliver(Block(1));
    const int nSequence = ColumnOf(LVCOL_SEQUENCE_NUMBER);
    EXPECT_EQ(Cell(39, nSequence), "40"); // one bank in use: no boundary
    SwitchBanks();
    Deliver(Block(41));
    ASSERT_EQ(List().GetItemCount(), 80);
    EXPECT_EQ(Cell(38, nSequence), "39");
    EXPECT_EQ(Cell(39, nSequence), "*40");
    EXPECT_EQ(Cell(40, nSequence), "41");
}

// A capture of mixed kinds with a sequence gap and a fired trigger, as its user sees the list.
TEST_F(RecordListTest, ThePictureShowsKindColoursAGapRowAndTheTriggerRow) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    // The trigger: an initiated URB of function 0.
    auto* pTrigger = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        pTrigger->Enable(offset);
    Live()->SetTrigger(pTrigger);
    Live()->SetTriggerOn(TRUE);
    Live()->SetLogging(TRUE);
    std::vector<std::vector<uint8_t>> records = EveryKind(1);
    records.resize(12);
    records.push_back(RecordBuilder(LogTag::urbI).Sequence(20).Function(9).Build()); // after a gap: row 12
    records.push_back(RecordBuilder(LogTag::urbC).Sequence(21).Function(9).Build());
    records.push_back(RecordBuilder(LogTag::urbI).Sequence(22).Function(0).Build()); // the trigger: row 14
    records.push_back(RecordBuilder(LogTag::urbC).Sequence(23).Function(0).Build());
    Deliver(records);
    Live()->SetLogging(FALSE);
    // The stop the trigger asked for is not what this test looks at.
    MSG msg;
    ::PeekMessageA(&msg, Frame()->GetSafeHwnd(), WM_COMMAND, WM_COMMAND, PM_REMOVE);
    ASSERT_EQ(Live()->GetTriggerSequenceNumber(), 22u);
    ASSERT_EQ(List().GetItemCount(), 16);
    win32::PumpUiMessages();

    const tdl::test::Picture picture(View()->GetSafeHwnd(), "record_list.png");
    ASSERT_TRUE(picture.IsValid());
    // A pixel of a cell's background: inside the cell, clear of its text, the grid lines and the focus mark.
    auto Background = [&](int row, int column) {
        CRect cell;
        EXPECT_TRUE(List().GetSubItemRect(row, column, LVIR_BOUNDS, cell));
        if (column == 0)
            cell.right = cell.left + List().GetColumnWidth(0);
        return picture.Client(cell.right - 3, cell.top + 2);
    };
    auto Pixels = [&](int row, int column, bool (*test)(COLORREF)) {
        CRect cell;
        List().GetSubItemRect(row, column, LVIR_BOUNDS, cell);
        if (column == 0)
            cell.right = cell.left + List().GetColumnWidth(0);
        return picture.Count(cell, test);
    };
    auto Reddish = [&](int row, int column) { return Pixels(row, column, tdl::test::IsReddish); };
    const int nColumns = View()->GetColumns().GetCount();
    // The Type column takes the kind's colours: an initiated URB white on blue.
    EXPECT_EQ(Background(1, 0), RGB(0x1B, 0x44, 0xCB));
    EXPECT_EQ(Background(15, 0), RGB(0xBB, 0xCB, 0xF7));
    EXPECT_EQ(Background(12, 0), RGB(0x1B, 0x44, 0xCB));
    for (int column = 1; column < nColumns; ++column) {
        SCOPED_TRACE(column);
        // The row after the gap: red text on white.
        EXPECT_EQ(Background(12, column), RGB(255, 255, 255));
        EXPECT_GT(Reddish(12, column), 0);
        // The trigger's row: black on its own mark.
        EXPECT_EQ(Background(14, column), RGB(0xF6, 0xC0, 0xC0));
        EXPECT_EQ(Reddish(14, column), 0);
        EXPECT_GT(Pixels(14, column, tdl::test::IsDark), 0);
        // Others: the window's colours.
        EXPECT_EQ(Background(13, column), ::GetSysColor(COLOR_WINDOW));
    }
}

} // namespace
} // namespace reclist_test
