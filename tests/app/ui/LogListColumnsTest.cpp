// The record list's columns: the layout the profile gives and the one written back, the "Add column" menu,
// removing and adding columns from the header's menu, the first column's fixed width, and a column set that
// runs out of memory.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AfxMemoryControl.h"
#include "tests/app/ui/RecordListFixture.h"

namespace reclist_test {
namespace {

constexpr char kSection[] = "LogColumns";

std::string Entry(ULONG nId, const char* value) {
    return "Header" + std::to_string(nId) + "_" + value;
}

class LogListColumnsTest : public RecordListTest {
protected:
    CHeaderCtrl& Header(CLogListView* pView) { return pView->GetHeader(); }
    // The header's menu over a point of the header (its client coordinates): its items as the user sees them,
    // and the command picked (0: none).
    std::vector<std::string> HeaderMenu(CLogListView* pView, CPoint at, UINT nPick = 0,
                                        const std::string& picture = {}) {
        return RightClickMenu(Header(pView).GetSafeHwnd(), at, nPick, picture);
    }
    // The middle of a header item (header client coordinates).
    CPoint ItemCentre(CLogListView* pView, int nIndex) {
        CRect item;
        Header(pView).GetItemRect(nIndex, &item);
        return item.CenterPoint();
    }
    // The ids of the list's columns in display order.
    static std::vector<ULONG> Shown(CLogListView* pView) {
        CHeaderCtrl& header = pView->GetHeader();
        std::vector<ULONG> ids;
        for (int p = 0; p < header.GetItemCount(); ++p)
            ids.push_back(pView->GetColumns().GetColumnId(header.OrderToIndex(p)));
        return ids;
    }
};

TEST_F(LogListColumnsTest, TheProfileGivesTheColumnsAndTheirOrderAndGetsTheLayoutBack) {
    struct Value {
        int show;
        int order;
        int width;
    };
    struct Case {
        const char* name;
        std::map<ULONG, Value> values; // other ids: Show 0, Order -1 (none at all for an empty profile)
        std::vector<ULONG> shown;
    };
    const Case cases[] = {
        {"empty", {}, {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 12, 13}},
        {"reordered", {{0, {1, 0, 40}}, {4, {1, 1, 81}}, {1, {1, 2, 37}}, {2, {1, 3, 150}}}, {0, 4, 1, 2}},
        {"a later column takes a position given twice", {{0, {1, 0, 40}}, {1, {1, 1, 37}}, {2, {1, 1, 150}}}, {0, 2}},
        {"orders outside the positions",
         {{0, {1, 0, 40}}, {1, {1, 14, 37}}, {2, {1, -5, 150}}, {3, {1, 100, 30}}, {4, {1, 3, 81}}},
         {0, 4}},
        {"the inactive columns never", {{0, {1, 0, 40}}, {6, {1, 1, 90}}, {11, {1, 2, 90}}, {1, {1, 3, 37}}}, {0, 1}},
        {"Type hidden comes back leftmost", {{0, {0, -1, 0}}, {1, {1, 0, 37}}, {2, {1, 1, 150}}}, {0, 1, 2}},
        {"Type displaced comes back leftmost", {{1, {1, 0, 37}}, {0, {1, 2, 40}}, {2, {1, 2, 150}}}, {0, 1, 2}},
        {"Type shown but not first", {{1, {1, 0, 37}}, {2, {1, 1, 150}}, {0, {1, 5, 40}}}, {1, 2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().WriteProfileString(kSection, nullptr, nullptr);
        if (!c.values.empty())
            for (ULONG id = 0; id < CLogListColumns::ColumnIdCount; ++id) {
                const auto it = c.values.find(id);
                const Value value = it != c.values.end() ? it->second : Value{0, -1, 0};
                App().WriteProfileInt(kSection, Entry(id, "Show").c_str(), value.show);
                App().WriteProfileInt(kSection, Entry(id, "Order").c_str(), value.order);
                App().WriteProfileInt(kSection, Entry(id, "Width").c_str(), value.width);
            }
        ExtraView view(Live());
        EXPECT_EQ(Shown(view.Get()), c.shown);
        // Saved widths come back when the first column has one; otherwise each column is measured.
        CListCtrl& list = view->GetListCtrl();
        const CLogListColumns& columns = view->GetColumns();
        for (int i = 0; i < columns.GetCount(); ++i) {
            const auto it = c.values.find(columns.GetColumnId(i));
            if (columns.GetSavedWidth(0) != 0 && it != c.values.end())
                EXPECT_EQ(list.GetColumnWidth(i), it->second.width) << columns.GetHeading(i);
        }

        view->SaveLogColumns();
        for (ULONG id = 0; id < CLogListColumns::ColumnIdCount; ++id) {
            SCOPED_TRACE(id);
            const int show = static_cast<int>(App().GetProfileInt(kSection, Entry(id, "Show").c_str(), 7));
            const int order = static_cast<int>(App().GetProfileInt(kSection, Entry(id, "Order").c_str(), 7));
            const int width = static_cast<int>(App().GetProfileInt(kSection, Entry(id, "Width").c_str(), 7));
            const int nIndex = columns.FindColumn(id);
            if (nIndex < 0) {
                EXPECT_EQ(show, 0);
                EXPECT_EQ(order, -1);
                EXPECT_EQ(width, 0);
                continue;
            }
            EXPECT_EQ(show, 1);
            EXPECT_EQ(c.shown[static_cast<size_t>(order)], id);
            EXPECT_EQ(width, list.GetColumnWidth(nIndex));
        }
    }
    // What was written back gives the same layout again, an Order of -1 included.
    ExtraView again(Live());
    EXPECT_EQ(Shown(again.Get()), (std::vector<ULONG>{1, 2, 0}));
}

TEST_F(LogListColumnsTest, TheHeaderMenuRemovesEveryRemovableColumnAndAddsThemBack) {
    CLogListView* pView = View();
    // Every active removable column is offered, checked and greyed while the list has it.
    std::vector<std::string> items = HeaderMenu(pView, ItemCentre(pView, 1), 0, "record_list_header_menu.png");
    const std::vector<std::string> full = {
        "Set Log View &Font",
        "&Arrange Columns",
        "Remove this &column",
        "&Add column >",
        "  # (Sequence Number) [checked] [greyed]",
        "  Request (Descriptive Name) [checked] [greyed]",
        "  I/O (Data Direction) [checked] [greyed]",
        "  Elapsed Time [checked] [greyed]",
        "  DO (Target DeviceObject) [checked] [greyed]",
        "  Configuration : Interface : EndPoint [checked] [greyed]",
        "  Iso Packet Errors (Count) [checked] [greyed]",
        "  Mass Storage CBW (Command Block Wrapper) [checked] [greyed]",
        "  Mass Storage CSW (Command Status Wrapper) [checked] [greyed]",
        "  IRP Request (Kernel Address) [checked] [greyed]",
        "  IRP Status (NTSTATUS) [checked] [greyed]",
        "<",
        "Help on Log View Customization",
        "-",
        "&Cancel",
    };
    EXPECT_EQ(items, full);

    // Removing the second column eleven times leaves the Type column alone.
    while (pView->GetColumns().GetCount() > 1) {
        const int nBefore = pView->GetColumns().GetCount();
        HeaderMenu(pView, ItemCentre(pView, 1), ID_REMOVE_COLUMN);
        ASSERT_EQ(pView->GetColumns().GetCount(), nBefore - 1);
        ASSERT_EQ(List().GetHeaderCtrl()->GetItemCount(), nBefore - 1);
    }
    EXPECT_EQ(pView->GetColumns().GetColumnId(0), LVCOL_RECORD_CATEGORY);
    items = HeaderMenu(pView, ItemCentre(pView, 0), ID_ADD_COLUMN_FIRST + LVCOL_ELAPSED_TIME);
    EXPECT_EQ(items[2], "Remove this &column [greyed]");
    for (size_t i = 4; i < 15; ++i)
        EXPECT_EQ(items[i].find('['), std::string::npos) << items[i];

    // The added column comes last, and every column is measured again: its sample (or heading) and a margin.
    ASSERT_EQ(pView->GetColumns().GetCount(), 2);
    EXPECT_EQ(pView->GetColumns().GetColumnId(1), LVCOL_ELAPSED_TIME);
    HeaderMenu(pView, ItemCentre(pView, 0), ID_ADD_COLUMN_FIRST + LVCOL_IRP_STATUS);
    const CLogListColumns& columns = pView->GetColumns();
    ASSERT_EQ(columns.GetCount(), 3);
    EXPECT_EQ(List().GetColumnWidth(0), pView->GetHeader().TextWidth("MPORT") + 5);
    EXPECT_EQ(List().GetColumnWidth(1), pView->GetHeader().TextWidth("88.23456789") + 5);
    EXPECT_EQ(List().GetColumnWidth(2), pView->GetHeader().TextWidth("Irp Status") + 5);
    // A column the list has, or one never offered, is not added again.
    Command(ID_ADD_COLUMN_FIRST + LVCOL_ELAPSED_TIME);
    Command(ID_ADD_COLUMN_FIRST + LVCOL_DATA_FIRST_BYTES);
    Command(ID_ADD_COLUMN_FIRST + LVCOL_RECORD_CATEGORY);
    EXPECT_EQ(columns.GetCount(), 3);
}

TEST_F(LogListColumnsTest, TheMainWindowKeepsTheLayoutWhenItClosesAndTheNextStartShowsIt) {
    HeaderMenu(View(), ItemCentre(View(), ColumnOf(LVCOL_TARGET_DEVICEOBJECT)), ID_REMOVE_COLUMN);
    List().SetColumnWidth(ColumnOf(LVCOL_REQUEST_TYPE), 222);
    Frame()->SendMessage(WM_CLOSE);
    win32::PumpUiMessages();
    EXPECT_EQ(App().GetProfileInt(kSection, Entry(LVCOL_TARGET_DEVICEOBJECT, "Show").c_str(), 7), 0u);
    EXPECT_EQ(static_cast<int>(App().GetProfileInt(kSection, Entry(LVCOL_TARGET_DEVICEOBJECT, "Order").c_str(), 7)),
              -1);
    EXPECT_EQ(App().GetProfileInt(kSection, Entry(LVCOL_TARGET_DEVICEOBJECT, "Width").c_str(), 7), 0u);
    EXPECT_EQ(App().GetProfileInt(kSection, Entry(LVCOL_REQUEST_TYPE, "Width").c_str(), 7), 222u);
    m_starter->Exit();

    Start();
    EXPECT_EQ(ColumnOf(LVCOL_TARGET_DEVICEOBJECT), -1);
    EXPECT_EQ(View()->GetColumns().GetCount(), 11);
    EXPECT_EQ(List().GetColumnWidth(ColumnOf(LVCOL_REQUEST_TYPE)), 222);
}

TEST_F(LogListColumnsTest, RemoveIsGreyedForTheFirstColumnTypeAndNoColumn) {
    App().WriteProfileInt(kSection, Entry(1, "Order").c_str(), 0);
    App().WriteProfileInt(kSection, Entry(0, "Order").c_str(), 5);
    App().WriteProfileInt(kSection, Entry(5, "Order").c_str(), 1);
    ExtraView view(Live(), 1200);
    ASSERT_EQ(view->GetColumns().GetColumnId(0), LVCOL_SEQUENCE_NUMBER);
    const int nType = view->GetColumns().FindColumn(LVCOL_RECORD_CATEGORY);
    ASSERT_GT(nType, 0);
    EXPECT_EQ(HeaderMenu(view.Get(), ItemCentre(view.Get(), 0))[2], "Remove this &column [greyed]");
    EXPECT_EQ(HeaderMenu(view.Get(), ItemCentre(view.Get(), nType))[2], "Remove this &column [greyed]");
    EXPECT_EQ(HeaderMenu(view.Get(), ItemCentre(view.Get(), 1))[2], "Remove this &column");
    // Right of the last column the click hits no item.
    CRect client;
    view->GetHeader().GetClientRect(&client);
    EXPECT_EQ(HeaderMenu(view.Get(), CPoint(client.right - 4, client.CenterPoint().y))[2],
              "Remove this &column [greyed]");
    // A remove the menu did not offer does nothing.
    HeaderMenu(view.Get(), ItemCentre(view.Get(), nType));
    view->SendMessage(WM_COMMAND, ID_REMOVE_COLUMN);
    EXPECT_EQ(view->GetColumns().GetCount(), 12);
}

TEST_F(LogListColumnsTest, ScrolledSidewaysTheHeaderMenuActsOnTheColumnUnderTheClick) {
    ExtraView view(Live(), 300);
    CListCtrl& list = view->GetListCtrl();
    // Scrolled until the Time column stands near the list's left edge.
    const int nIndex = view->GetColumns().FindColumn(LVCOL_ELAPSED_TIME);
    CRect item;
    view->GetHeader().GetItemRect(nIndex, &item);
    list.Scroll(CSize(item.left - 10, 0));
    ASSERT_GT(::GetScrollPos(list.GetSafeHwnd(), SB_HORZ), 0);
    // The column whose heading is under the point, on screen.
    CPoint at = ItemCentre(view.Get(), nIndex);
    CPoint screen = at;
    view->GetHeader().ClientToScreen(&screen);
    CRect shown;
    view->GetClientRect(&shown);
    view->ClientToScreen(&shown);
    ASSERT_TRUE(shown.PtInRect(screen));
    HeaderMenu(view.Get(), at, ID_REMOVE_COLUMN);
    EXPECT_EQ(view->GetColumns().FindColumn(LVCOL_ELAPSED_TIME), -1);
    EXPECT_EQ(view->GetColumns().GetCount(), 11);
}

TEST_F(LogListColumnsTest, TheFirstColumnKeepsItsWidthAndTheOthersAreDragged) {
    CHeaderCtrl& header = View()->GetHeader();
    for (int nIndex : {0, 1}) {
        SCOPED_TRACE(nIndex);
        CRect item;
        header.GetItemRect(nIndex, &item);
        const int nWidth = List().GetColumnWidth(nIndex);
        const CPoint divider(item.right - 1, item.CenterPoint().y);
        const CPoint dragged(divider.x + 30, divider.y);
        win32::MouseDown(header.GetSafeHwnd(), divider);
        win32::MouseMove(header.GetSafeHwnd(), dragged, MK_LBUTTON);
        win32::MouseUp(header.GetSafeHwnd(), dragged);
        win32::PumpUiMessages();
        EXPECT_EQ(List().GetColumnWidth(nIndex), nIndex == 0 ? nWidth : nWidth + 30);
    }
}

// A column set whose arrays must grow for the next column: growing either fails, the user is told, and the
// set stays as it was.
TEST_F(LogListColumnsTest, AColumnAddedWithoutMemoryIsReportedAndLeavesTheSetAsItWas) {
    CLogListColumns columns;
    ASSERT_EQ(columns.AddColumnById(0), 0);
    ASSERT_EQ(columns.AddColumnById(1), 1);
    auto Unchanged = [&](int nCount) {
        ASSERT_EQ(columns.GetCount(), nCount);
        for (int i = 0; i < nCount; ++i)
            EXPECT_EQ(columns.GetColumnId(i), static_cast<ULONG>(i));
    };
    // Columns go in until one needs room: that one fails.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    afx::memory::FailNthAllocation(1);
    int nCount = 2;
    while (nCount < 14 && columns.AddColumnById(static_cast<ULONG>(nCount)) == nCount)
        ++nCount;
    afx::memory::ClearInjectedFailures();
    ASSERT_LT(nCount, 14);
    Unchanged(nCount);
    // The first array grows, the second cannot: the first gives its new column back.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    afx::memory::FailNthAllocation(2);
    EXPECT_EQ(columns.AddColumnById(static_cast<ULONG>(nCount)), -1);
    afx::memory::ClearInjectedFailures();
    Unchanged(nCount);
    const std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 2u);
    for (const win32::ModalRequest& box : boxes)
        EXPECT_TRUE(box.style & MB_ICONEXCLAMATION) << box.text;

    EXPECT_EQ(columns.AddColumnById(static_cast<ULONG>(nCount)), nCount);
    Unchanged(nCount + 1);
    EXPECT_EQ(columns.AddColumnById(CLogListColumns::ColumnIdCount), -1);
}

} // namespace
} // namespace reclist_test
