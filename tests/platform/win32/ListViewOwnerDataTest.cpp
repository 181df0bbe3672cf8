// An owner-data list of a million rows: it holds no items, asks its parent for the cells it paints and keeps
// its selection itself.
#include <gtest/gtest.h>

#include <string>

#include "ListViewFixture.h"
#include "tests/support/Pictures.h"

namespace {

using tdl::test::AddColumns;
using tdl::test::ItemRect;
using tdl::test::ListParent;
using tdl::test::Middle;
using tdl::test::SetState;
using tdl::test::UiTest;

constexpr int kRows = 1000000;
constexpr COLORREF kColumnColours[] = {RGB(255, 230, 230), RGB(230, 255, 230), RGB(230, 230, 255)};

class ListViewOwnerDataTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        parent.emplace();
        list = parent->MakeList(LVS_OWNERDATA | LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        AddColumns(list, {{"Row", 80}, {"Name", 120}, {"Long", 180}});
        parent->text = [](int row, int column) {
            if (column == 2)
                return std::string(1000, 'L'); // far longer than any buffer
            return (column == 0 ? "R" : "N") + std::to_string(row);
        };
        SendMessageA(list, LVM_SETITEMCOUNT, kRows, 0);
        win32::PumpUiMessages();
        parent->Forget();
    }
    void TearDown() override {
        DestroyWindow(list);
        parent.reset();
        UiTest::TearDown();
    }
    int Top() const { return static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0)); }
    int PerPage() const { return static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0)); }

    std::optional<ListParent> parent;
    HWND list = nullptr;
};

TEST_F(ListViewOwnerDataTest, GrowingKeepsTheTopRowAndRepaintAsksOnlyForVisibleRows) {
    SendMessageA(list, LVM_ENSUREVISIBLE, 500000, FALSE);
    const int top = Top();
    ASSERT_GT(top, 400000);
    UpdateWindow(list);
    parent->Forget();

    SendMessageA(list, LVM_SETITEMCOUNT, kRows + 5000, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), kRows + 5000);
    UpdateWindow(list);
    EXPECT_TRUE(parent->asked.empty()) << "rows added below the page need no repaint";

    InvalidateRect(list, nullptr, FALSE);
    UpdateWindow(list);
    const std::set<int> rows = parent->AskedRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(*rows.begin(), top);
    // The page and the one row half shown below it; nothing else.
    EXPECT_LE(*rows.rbegin(), top + PerPage());
    EXPECT_EQ(static_cast<int>(rows.size()), *rows.rbegin() - top + 1);
    EXPECT_EQ(parent->asked.size(), rows.size() * 3);
    // The cache hint comes before any cell is asked for.
    EXPECT_EQ(parent->codes.front(), LVN_ODCACHEHINT);
    for (int length : parent->bufferLengths)
        EXPECT_EQ(length, 260);
}

TEST_F(ListViewOwnerDataTest, WithRedrawOffNothingIsAskedForUntilItIsOnAgain) {
    UpdateWindow(list);
    parent->Forget();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 150);
    SendMessageA(list, LVM_SETITEMCOUNT, 10, 0);
    UpdateWindow(list);
    EXPECT_TRUE(parent->asked.empty());
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(list);
    EXPECT_EQ(parent->AskedRows().size(), 10u);
}

TEST_F(ListViewOwnerDataTest, RedrawItemsAsksForThoseRowsAlone) {
    UpdateWindow(list);
    parent->Forget();
    SendMessageA(list, LVM_REDRAWITEMS, 3, 4);
    UpdateWindow(list);
    EXPECT_EQ(parent->AskedRows(), (std::set<int>{3, 4}));
}

TEST_F(ListViewOwnerDataTest, ScrollingAFewRowsAsksOnlyForTheRowsItUncovers) {
    for (int column = 0; column < 3; ++column)
        parent->columnBackground[column] = kColumnColours[column];
    InvalidateRect(list, nullptr, FALSE);
    UpdateWindow(list);
    const int perPage = PerPage();
    parent->Forget();
    SendMessageA(list, LVM_SCROLL, 0, 3 * (ItemRect(list, 0, LVIR_BOUNDS).bottom - ItemRect(list, 0, LVIR_BOUNDS).top));
    ASSERT_EQ(Top(), 3);
    UpdateWindow(list);
    const std::set<int> rows = parent->AskedRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(*rows.begin(), perPage);
    EXPECT_LE(*rows.rbegin(), perPage + 3);
    // The rows that moved show the same cells as before.
    for (int row : {3, 10, perPage}) {
        const RECT cell = tdl::test::SubItemRect(list, row, 1, LVIR_LABEL);
        EXPECT_EQ(win32::ClientPixel(list, cell.left + 2, cell.top + 2), kColumnColours[1]) << row;
    }
}

TEST_F(ListViewOwnerDataTest, ALongTextIsCutToTheBuffer) {
    char text[2000] = {};
    LVITEMA item{};
    item.iSubItem = 2;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    // The parent filled all 260 characters and no terminator: the list keeps 259 of them.
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 12, reinterpret_cast<LPARAM>(&item)), 259);
    EXPECT_EQ(std::string(text), std::string(259, 'L'));
    item.iSubItem = 0;
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 12, reinterpret_cast<LPARAM>(&item)), 3);
    EXPECT_STREQ(text, "R12");
}

TEST_F(ListViewOwnerDataTest, ThePictureShowsEachCellsCustomColourAndTheSelectedRowHighlighted) {
    for (int column = 0; column < 3; ++column)
        parent->columnBackground[column] = kColumnColours[column];
    SetFocus(list);
    ASSERT_TRUE(SetState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    ASSERT_TRUE(tdl::test::SavePicture(parent->hwnd(), "tdl-listview-ownerdata.png"));
    for (int row : {0, 1, 3}) {
        for (int column = 0; column < 3; ++column) {
            const RECT cell = tdl::test::SubItemRect(list, row, column, LVIR_LABEL);
            // Just inside the cell's left edge, where no text is.
            EXPECT_EQ(win32::ClientPixel(list, cell.left + 2, cell.top + 2), kColumnColours[column])
                << "row " << row << " column " << column;
        }
    }
    // Grid lines: along each row's bottom and each column's right edge.
    const RECT cell = tdl::test::SubItemRect(list, 0, 1, LVIR_LABEL);
    EXPECT_EQ(win32::ClientPixel(list, cell.right - 1, cell.top + 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(win32::ClientPixel(list, cell.left + 5, cell.bottom - 1), GetSysColor(COLOR_BTNFACE));
    const RECT selected = ItemRect(list, 2, LVIR_BOUNDS);
    for (int x : {static_cast<int>(selected.left) + 3, 120, static_cast<int>(selected.right) - 4})
        EXPECT_EQ(win32::ClientPixel(list, x, selected.top + 2), GetSysColor(COLOR_HIGHLIGHT)) << x;
}

TEST_F(ListViewOwnerDataTest, TheListKeepsItsSelectionWithOneNotificationForAllRows) {
    ASSERT_TRUE(SetState(list, -1, LVIS_SELECTED, LVIS_SELECTED));
    auto changed = parent->Changes(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].item, -1);
    EXPECT_EQ(changed[0].newState, static_cast<UINT>(LVIS_SELECTED));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), kRows);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, 41, LVNI_SELECTED), 42);

    // A plain click leaves one row selected: all cleared at once, then the row itself.
    parent->Forget();
    win32::Click(list, Middle(ItemRect(list, 4, LVIR_LABEL)));
    win32::PumpUiMessages();
    changed = parent->Changes(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].item, -1);
    EXPECT_EQ(changed[0].newState, 0u);
    EXPECT_EQ(changed[1].item, 4);
    EXPECT_EQ(changed[1].newState, static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 4);

    // A click takes the selection from the one row that has it, also when that row is not the focused one.
    ASSERT_TRUE(SetState(list, 4, 0, LVIS_SELECTED));
    ASSERT_TRUE(SetState(list, 7, LVIS_SELECTED, LVIS_SELECTED));
    win32::Click(list, Middle(ItemRect(list, 5, LVIR_LABEL)));
    win32::PumpUiMessages();
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 5);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 7, LVIS_SELECTED), 0);

    // Selection past a shrunk end goes with the rows.
    SendMessageA(list, LVM_SETITEMCOUNT, 3, 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);
}

} // namespace
