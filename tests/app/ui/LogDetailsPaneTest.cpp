// The Log Details pane in the main frame: its grid as made, a record decoded into it from the document's
// record store (rows the store refuses leave it alone), emptied, viewed in either order, and the in-place
// buttons of a record's data, which become the main window's commands.
#include "tests/app/ui/PaneFrameFixture.h"

#include <iterator>
#include <string>

#include "app/core/filters/FilterDefinition.h"
#include "app/ui/PanePointers.h"
#include "app/ui/panes/LogDetailsGrid.h"
#include "common/FilterBlock.h"
#include "tests/support/RecordingPanes.h"

namespace {

using paneframe_test::BulkTransfer;
using paneframe_test::PaneFrameTest;

std::string Text(const CString& text) {
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    return bytes;
}

class LogDetailsPaneTest : public PaneFrameTest {
protected:
    CGkPropertyGrid& Grid() { return Details().GetGrid(); }
    std::string Model() { return Text(Grid().DumpModel()); }
    std::string View() { return Text(Grid().DumpView()); }
    CGkPropertyGridItem* Item(const char* category, const char* caption) {
        CGkPropertyGridItem* pCategory = Grid().GetCategories()->FindItem(category);
        return pCategory != nullptr ? pCategory->GetChilds()->FindItem(caption) : nullptr;
    }
    // Clicks a button of the toolbar as a user does.
    void ClickToolBar(UINT nID) {
        CGkToolBar& bar = Details().GetToolBar();
        win32::Click(bar.GetSafeHwnd(), bar.FindControl(nID)->GetRect().CenterPoint());
        win32::PumpUiMessages();
        m_pFrame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    }
    // Clicks an in-place button where the grid draws it, scrolled into view first.
    void ClickInplaceButton(CGkPropertyGridInplaceButton* pButton) {
        Grid().SetTopIndex(Grid().FindRow(pButton->GetItem()));
        const CRect rc = Grid().GetInplaceButtonRect(pButton);
        ASSERT_FALSE(rc.IsRectEmpty());
        win32::Click(Grid().GetSafeHwnd(), rc.CenterPoint());
        win32::PumpUiMessages();
    }
};

const char* const kMadeGrid = R"(Log Entry [category] [expanded]
  Type = [description "One of URB, USBINT, IHUB, MPORT, HCD, HUB, HID, PNP, PWR"] [read-only]
  State = [description "One of Initiated, Returned, or Completed."] [read-only]
  Record = [description "The sequence number of the log record."] [read-only]
  Status = [description "Irp completion or return status."] [read-only]
Target [category] [hidden] [expanded]
  DeviceObject = ... [id 5000] [read-only]
  NtDeviceObject = ... [id 5001] [read-only]
  DriverObject = ... [id 5002] [read-only]
  NtDriverObject = ... [id 5003] [read-only]
IRP [category] [hidden] [expanded]
  Irp Address = [read-only]
  IoStatus.Status = [read-only]
  Irp Stack Pointer = [read-only]
  Stack Count = [read-only]
  Current Stack Location = [read-only]
  Major Function = [read-only]
  Minor Function = [read-only]
  IoControlCode = [read-only]
URB [category] [hidden] [expanded]
CBW [category] [hidden] [expanded]
CSW [category] [hidden] [expanded]
USBINT [category] [hidden] [expanded]
PNP [category] [hidden] [expanded]
PWR [category] [hidden] [expanded]
HCD [category] [hidden] [expanded]
HID [category] [hidden] [expanded]
HUB [category] [hidden] [expanded]
IHUB [category] [hidden] [expanded]
MPORT [category] [hidden] [expanded]
)";

TEST_F(LogDetailsPaneTest, MadeWithItsCategoriesAndTheRecordItemsValueColour) {
    EXPECT_EQ(Model(), kMadeGrid);
    // The same grid is made without a window.
    CGkPropertyGrid memoryGrid;
    BuildLogDetailsGrid(memoryGrid);
    EXPECT_EQ(Text(memoryGrid.DumpModel()), kMadeGrid);
    EXPECT_EQ(Grid().GetCurrentTheme(), 6);
    EXPECT_TRUE(Grid().GetShowInplaceButtonsAlways());
    EXPECT_EQ(Grid().GetHelpHeight(), 20);
    EXPECT_TRUE(Grid().IsHighlightChangedItems());

    // The ordinary value colour is the one the "Record" item was made with: the theme's.
    const CGkPaintManagerColor& record = Item("Log Entry", "Record")->GetValueMetrics()->m_clrFore;
    EXPECT_TRUE(record.IsDefaultValue());
    EXPECT_EQ(Details().GetNormalValueColour(), static_cast<COLORREF>(record));
    EXPECT_EQ(Details().GetNormalValueColour(), Grid().GetPaintManager()->GetColors().clrText);

    // Decoded afterwards, a failing status is red and a successful one keeps that colour.
    const INT_PTR failed = Put(BulkTransfer(LogTag::urbC, 3, 0x81, {}, 0xC0000001));
    const INT_PTR passed = Put(BulkTransfer(LogTag::urbC, 4, 0x81, {}));
    Details().ShowRecord(&m_doc, failed);
    EXPECT_EQ(Item("Log Entry", "Status")->GetValue(), "STATUS_UNSUCCESSFUL");
    EXPECT_EQ(static_cast<COLORREF>(Item("Log Entry", "Status")->GetValueMetrics()->m_clrFore), 255u);
    Details().ShowRecord(&m_doc, passed);
    EXPECT_EQ(static_cast<COLORREF>(Item("Log Entry", "Status")->GetValueMetrics()->m_clrFore),
              Details().GetNormalValueColour());
}

TEST_F(LogDetailsPaneTest, PictureShowsTheToolbarsIconsTheGridAndTheHelpArea) {
    Repaint();
    tdl::test::Picture picture(Details().GetSafeHwnd(), "log_details_pane.png");
    ASSERT_TRUE(picture.IsValid());
    // Each button shows its own image: the category bars' blue, the letters' navy.
    const auto inPane = [this](CWnd& wnd, CRect rc) {
        ::MapWindowPoints(wnd.GetSafeHwnd(), Details().GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    CGkToolBar& bar = Details().GetToolBar();
    const auto count = [&](UINT nID, COLORREF clr) {
        return picture.Count(inPane(bar, bar.FindControl(nID)->GetRect()), [clr](COLORREF c) { return c == clr; });
    };
    EXPECT_EQ(count(ID_PROPERTIES_CATEGORIZED, RGB(74, 120, 200)), 24);
    EXPECT_EQ(count(ID_PROPERTIES_ALPHABETIC, RGB(0, 0, 140)), 26);
    EXPECT_EQ(count(ID_PROPERTIES_CATEGORIZED, RGB(0, 255, 0)) + count(ID_PROPERTIES_ALPHABETIC, RGB(0, 255, 0)), 0);
    // The grid below the bar, its category row first, and the help area at its foot.
    const GkPropertyGridColors& colors = Grid().GetPaintManager()->GetColors();
    const CRect category = inPane(Grid(), Grid().GetRowRect(0));
    EXPECT_GT(picture.Count(category, [&](COLORREF c) { return c == colors.clrCategoryBack; }), category.Width() * 10);
    const CRect help = inPane(Grid(), Grid().GetHelpRect());
    EXPECT_EQ(help.Height(), 20);
    EXPECT_GT(picture.Count(help, [&](COLORREF c) { return c == colors.clrHelpBack; }), help.Width() * 15);
}

TEST_F(LogDetailsPaneTest, TheBarSitsOnTopTheGridFillsTheRestAndTakesTheFocus) {
    for (const CSize size : {CSize(180, 400), CSize(260, 300)}) {
        Details().MoveWindow(0, 0, size.cx, size.cy);
        CRect client, bar, grid;
        Details().GetClientRect(&client);
        Details().GetToolBar().GetWindowRect(&bar);
        Details().ScreenToClient(&bar);
        Grid().GetWindowRect(&grid);
        Details().ScreenToClient(&grid);
        EXPECT_EQ(bar, CRect(0, 0, client.right, Details().GetToolBar().CalcDynamicLayout(-1, LM_HORZ | LM_COMMIT).cy));
        EXPECT_EQ(grid, CRect(0, bar.bottom, client.right, client.bottom));
    }
    Details().SetFocus();
    EXPECT_EQ(::GetFocus(), Grid().GetSafeHwnd());
}

TEST_F(LogDetailsPaneTest, ToolbarButtonsSwitchTheOrderAndCheckTheActiveOne) {
    Details().ShowRecord(&m_doc, Put(BulkTransfer(LogTag::urbC, 12, 0x81, Counting(40))));
    const std::string categorized = View();
    ASSERT_EQ(categorized.rfind("[-] Log Entry\n  Type = URB\n", 0), 0u) << categorized;

    ClickToolBar(ID_PROPERTIES_ALPHABETIC);
    EXPECT_EQ(Grid().GetPropertySort(), gkGridSortAlphabetical);
    const std::string alphabetic = View();
    EXPECT_EQ(alphabetic.rfind("Current Stack Location = 0x00\nDeviceObject = ???\nDriverObject = ???\n", 0), 0u)
        << alphabetic;
    EXPECT_EQ(alphabetic.find("[-] Log Entry"), std::string::npos);
    EXPECT_TRUE(Details().GetToolBar().FindControl(ID_PROPERTIES_ALPHABETIC)->GetChecked());
    EXPECT_FALSE(Details().GetToolBar().FindControl(ID_PROPERTIES_CATEGORIZED)->GetChecked());

    ClickToolBar(ID_PROPERTIES_CATEGORIZED);
    EXPECT_EQ(View(), categorized);
    EXPECT_FALSE(Details().GetToolBar().FindControl(ID_PROPERTIES_ALPHABETIC)->GetChecked());
    EXPECT_TRUE(Details().GetToolBar().FindControl(ID_PROPERTIES_CATEGORIZED)->GetChecked());
}

TEST_F(LogDetailsPaneTest, RowsTheStoreRefusesLeaveTheGridAsItWas) {
    const INT_PTR bulk = Put(BulkTransfer(LogTag::urbC, 20, 0x81, Counting(8)));
    const INT_PTR power = Put(tdl::test::RecordBuilder(LogTag::powI).Function(2).Sequence(21).Build());
    Details().ShowRecord(&m_doc, power);
    const std::string shown = Model();
    ASSERT_EQ(Item("Log Entry", "Record")->GetValue(), "21");
    for (INT_PTR row : {INT_PTR{2}, INT_PTR{-1}})
        Details().ShowRecord(&m_doc, row);
    Details().ShowRecord(nullptr, bulk);
    EXPECT_EQ(Model(), shown);

    // A filtered view of the bulk transfer alone: its row 0 is that record, its row 1 is outside it.
    auto* filter = new CFilterDefinition;
    for (size_t offset :
         {FilterByte::UrbCompletion, FilterByte::UrbFunctions + 9, FilterByte::AcceptSuccess, FilterByte::AcceptIn})
        filter->Enable(offset);
    m_doc.SetBufferFilter(filter);
    m_doc.SetBufferFilterOn(TRUE);
    LogRecords::CLogRecords& store = *m_doc.GetLogRecords();
    for (INT_PTR i = 0; i < store.GetCount(); ++i)
        store.AddFiltered(&m_doc, store.GetAt(i));
    ASSERT_EQ(store.GetDisplayCount(&m_doc), 1);
    Details().ShowRecord(&m_doc, 1);
    EXPECT_EQ(Model(), shown);
    Details().ShowRecord(&m_doc, 0);
    EXPECT_EQ(Item("Log Entry", "Record")->GetValue(), "20");
}

TEST_F(LogDetailsPaneTest, ClearedAfterAUrbOnlyTheEmptyLogEntryShows) {
    Details().ShowRecord(&m_doc, Put(BulkTransfer(LogTag::urbC, 12, 0x81, Counting(40))));
    ASSERT_GT(Grid().GetCategories()->FindItem("URB")->GetChilds()->GetCount(), 0);
    tdl::test::RecordingPanes calls;
    CPanePointers().LogDetailsClear();
    EXPECT_EQ(calls.Take(), std::vector<std::string>{"LogDetailsClear"});
    EXPECT_EQ(View(), "[-] Log Entry\n  Type =\n  State =\n  Record =\n  Status =\n");
    for (int i = kLogDetailsFirstKindCategory; i < static_cast<int>(std::size(kLogDetailsCategories)); ++i)
        EXPECT_EQ(Grid().GetCategories()->FindItem(kLogDetailsCategories[i])->GetChilds()->GetCount(), 0)
            << kLogDetailsCategories[i];
    // The next record fills the grid again.
    Details().ShowRecord(&m_doc, 0);
    EXPECT_EQ(Item("Log Entry", "Record")->GetValue(), "12");
    EXPECT_GT(Grid().GetCategories()->FindItem("URB")->GetChilds()->GetCount(), 0);
}

TEST_F(LogDetailsPaneTest, InPlaceButtonsBecomeTheMainWindowsCommands) {
    Details().ShowRecord(&m_doc, Put(BulkTransfer(LogTag::urbC, 12, 0x81, Counting(40))));
    CGkPropertyGridItem* pBuffer = Item("URB", "TransferBuffer (In)");
    ASSERT_NE(pBuffer, nullptr);
    CGkPropertyGridInplaceButtons* pButtons = pBuffer->GetInplaceButtons();
    CGkPropertyGridInplaceButton* pToggle = pButtons->Find(GridOutputImp::kToggleDataBarId);
    CGkPropertyGridInplaceButton* pExport = pButtons->Find(GridOutputImp::kExportCsvId);
    ASSERT_NE(pToggle, nullptr);
    ASSERT_NE(pExport, nullptr);

    // The data bar's button closes the Data pane, then opens it again.
    ClickInplaceButton(pToggle);
    EXPECT_TRUE(Pane(ID_VIEW_DATABAR)->IsClosed());
    ClickInplaceButton(pToggle);
    EXPECT_FALSE(Pane(ID_VIEW_DATABAR)->IsClosed());
    EXPECT_NE(m_pFrame->GetDataBar(), nullptr);

    // The export reaches the main window as its command (no view here handles it, so it goes on to the
    // application).
    m_app.m_commands.clear();
    ClickInplaceButton(pExport);
    EXPECT_EQ(m_app.m_commands, std::vector<UINT>{GridOutputImp::kExportCsvId});

    // A button of any other id is not the pane's business.
    CGkPropertyGridInplaceButton other(7);
    EXPECT_EQ(
        Details().SendMessage(GKWM_PROPERTYGRID_NOTIFY, GK_PGN_INPLACEBUTTONDOWN, reinterpret_cast<LPARAM>(&other)), 0);
    EXPECT_EQ(m_app.m_commands, std::vector<UINT>{GridOutputImp::kExportCsvId});
}

} // namespace
