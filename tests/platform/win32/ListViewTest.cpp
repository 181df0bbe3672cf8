// The list view with items, driven as a user would: selection and its notifications, rectangles and hit
// tests, columns, scrolling, fonts, sorting and owner-drawn rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ControlTestSupport.h"
#include "ListViewFixture.h"

namespace {

using tdl::test::AddColumns;
using tdl::test::ItemChange;
using tdl::test::ItemRect;
using tdl::test::ListParent;
using tdl::test::Middle;
using tdl::test::SetState;
using tdl::test::SubItemRect;
using tdl::test::UiTest;

void AddItems(HWND list, int count, int columns = 3) {
    for (int row = 0; row < count; ++row) {
        const std::string label = "Item " + std::to_string(row);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
        item.iItem = row;
        item.pszText = const_cast<char*>(label.c_str());
        item.lParam = 100 + row;
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(1 + row % 2);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (int column = 1; column < columns; ++column) {
            const std::string text = "Cell " + std::to_string(row) + "." + std::to_string(column);
            LVITEMA sub{};
            sub.iSubItem = column;
            sub.pszText = const_cast<char*>(text.c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
        }
    }
}

int CharHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

std::string TextOf(HWND list, int row, int column) {
    char text[64] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

constexpr UINT kSelFocus = LVIS_SELECTED | LVIS_FOCUSED;

class ListViewTest : public UiTest {
protected:
    void TearDown() override {
        if (IsWindow(list))
            DestroyWindow(list);
        parent.reset();
        UiTest::TearDown();
    }
    HWND Make(DWORD style = 0, DWORD exStyle = LVS_EX_FULLROWSELECT, int rows = 5) {
        parent.emplace();
        list = parent->MakeList(style, exStyle);
        AddColumns(list, {{"Name", 90}, {"Value", 80}, {"Note", 100}});
        if (style & LVS_OWNERDATA) {
            parent->text = [](int row, int column) {
                return "Row " + std::to_string(row) + "." + std::to_string(column);
            };
            SendMessageA(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
        } else {
            AddItems(list, rows);
        }
        win32::PumpUiMessages();
        parent->Forget();
        return list;
    }
    UINT StateOf(int row) const {
        return static_cast<UINT>(
            SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED | LVIS_FOCUSED));
    }

    std::optional<ListParent> parent;
    HWND list = nullptr;
};

TEST_F(ListViewTest, AnItemChangingVetoChangesNothingForAClickAndForSetItemStateAlike) {
    for (bool ownerData : {false, true}) {
        for (bool click : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << (ownerData ? "owner data, " : "items, ") << (click ? "click" : "program"));
            Make(ownerData ? LVS_OWNERDATA : 0);
            parent->refuseChange = [](const NMLISTVIEW&) { return true; };
            auto act = [&](bool refused) {
                if (click) {
                    win32::Click(list, Middle(ItemRect(list, 2, LVIR_LABEL)));
                    win32::PumpUiMessages();
                    win32::AdvanceUiClock(1000); // the next click is no double-click
                } else {
                    EXPECT_NE(SetState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED), refused);
                }
            };
            act(true);
            EXPECT_EQ(StateOf(2), 0u);
            EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
            EXPECT_FALSE(parent->Changes(LVN_ITEMCHANGING).empty());
            EXPECT_TRUE(parent->Changes(LVN_ITEMCHANGED).empty());

            parent->refuseChange = nullptr;
            parent->Forget();
            act(false);
            EXPECT_EQ(StateOf(2), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
            const auto changed = parent->Changes(LVN_ITEMCHANGED);
            ASSERT_EQ(changed.size(), 1u);
            EXPECT_EQ(changed[0].item, 2);
            EXPECT_EQ(changed[0].oldState & kSelFocus, 0u);
            EXPECT_EQ(changed[0].newState & kSelFocus, kSelFocus);
            EXPECT_EQ(changed[0].changed, static_cast<UINT>(LVIF_STATE));
            DestroyWindow(list);
        }
    }
}

TEST_F(ListViewTest, ASecondPressOnAnotherRowUnderThePointSelectsItAsItActivatesIt) {
    for (bool ownerData : {false, true}) {
        SCOPED_TRACE(ownerData ? "owner data" : "items");
        Make(ownerData ? LVS_OWNERDATA : 0, LVS_EX_FULLROWSELECT, 60);
        const POINT at = Middle(ItemRect(list, 2, LVIR_LABEL));
        win32::Click(list, at);
        win32::PumpUiMessages();
        ASSERT_EQ(StateOf(2), kSelFocus);
        // The list scrolls (as the program brings a row into view) and the user presses the same point at once.
        SendMessageA(list, LVM_ENSUREVISIBLE, 50, FALSE);
        const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
        ASSERT_GT(top, 2);
        parent->Forget();
        win32::Click(list, at);
        win32::PumpUiMessages();
        EXPECT_EQ(StateOf(2), 0u);
        EXPECT_EQ(StateOf(top + 2), kSelFocus);
        EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
        EXPECT_NE(std::find(parent->codes.begin(), parent->codes.end(), static_cast<UINT>(NM_DBLCLK)),
                  parent->codes.end());
        DestroyWindow(list);
        win32::AdvanceUiClock(1000);
    }
}

TEST_F(ListViewTest, TheFocusMovesAndASingleSelectionListKeepsOneSelected) {
    Make(LVS_SINGLESEL);
    ASSERT_TRUE(SetState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    parent->Forget();
    ASSERT_TRUE(SetState(list, 3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(StateOf(1), 0u);
    EXPECT_EQ(StateOf(3), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    std::vector<std::tuple<int, UINT, UINT>> seen;
    for (const ItemChange& change : parent->Changes(LVN_ITEMCHANGED))
        seen.emplace_back(change.item, change.oldState & kSelFocus, change.newState & kSelFocus);
    // The focus leaves row 1, then its selection, then row 3 gains both.
    const std::vector<std::tuple<int, UINT, UINT>> expected{
        {1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED}, {1, LVIS_SELECTED, 0}, {3, 0, LVIS_SELECTED | LVIS_FOCUSED}};
    EXPECT_EQ(seen, expected);
    // The state image rides in the same bits and is no selection.
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 3, LVIS_STATEIMAGEMASK),
              static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(2)));
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, 3, LVNI_SELECTED), -1);
}

TEST_F(ListViewTest, RectanglesFollowTheFontRuleAndAClickLandsWhereThePictureShowsTheItem) {
    Make(0, 0);
    HIMAGELIST states = ImageList_Create(13, 11, ILC_COLOR32, 2, 0);
    HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR32, 2, 0);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(states));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
    const int charHeight = CharHeight(nullptr);
    const int header = charHeight + 8, row = std::max(charHeight + 4, 17);
    for (int r = 0; r < 3; ++r) {
        const RECT bounds = ItemRect(list, r, LVIR_BOUNDS);
        EXPECT_EQ(bounds.top, header + r * row);
        EXPECT_EQ(bounds.bottom - bounds.top, row);
        EXPECT_EQ(bounds.right, 270);
        EXPECT_EQ(ItemRect(list, r, LVIR_ICON).left, 13);
        EXPECT_EQ(ItemRect(list, r, LVIR_LABEL).left, 29);
        EXPECT_EQ(SubItemRect(list, r, 2, LVIR_BOUNDS).left, 170);
    }

    struct Case {
        const char* what;
        POINT point;
        int item;
        UINT flags;
        int subItem; // from LVM_SUBITEMHITTEST
    };
    const RECT client = [&] {
        RECT c{};
        GetClientRect(list, &c);
        return c;
    }();
    const Case cases[] = {
        {"state icon", Middle(RECT{0, ItemRect(list, 1, LVIR_ICON).top, 13, ItemRect(list, 1, LVIR_ICON).bottom}), 1,
         LVHT_ONITEMSTATEICON, 0},
        {"icon", Middle(ItemRect(list, 1, LVIR_ICON)), 1, LVHT_ONITEMICON, 0},
        {"label", Middle(ItemRect(list, 2, LVIR_LABEL)), 2, LVHT_ONITEMLABEL, 0},
        {"second column", Middle(SubItemRect(list, 0, 1, LVIR_BOUNDS)), -1, LVHT_NOWHERE, 1},
        {"right of the columns", POINT{300, ItemRect(list, 0, LVIR_BOUNDS).top + 2}, -1, LVHT_NOWHERE, -1},
        {"below the rows", POINT{20, ItemRect(list, 4, LVIR_BOUNDS).bottom + 1}, -1, LVHT_NOWHERE, -1},
        {"on the header", POINT{20, header / 2}, -1, LVHT_ABOVE, -1},
        {"last row's last pixel", POINT{269, ItemRect(list, 4, LVIR_BOUNDS).bottom - 1}, -1, LVHT_NOWHERE, 2},
        {"past the client", POINT{20, client.bottom}, -1, LVHT_BELOW, -1},
    };
    for (const Case& c : cases) {
        LVHITTESTINFO hit{c.point, 0, 0, 0, 0};
        EXPECT_EQ(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), c.item) << c.what;
        EXPECT_EQ(hit.flags, c.flags) << c.what;
        LVHITTESTINFO sub{c.point, 0, 0, 0, 0};
        SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&sub));
        EXPECT_EQ(c.subItem < 0 ? -1 : sub.iSubItem, c.subItem) << c.what;
    }
    // Full-row selection makes the whole row the item.
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVHITTESTINFO hit{Middle(SubItemRect(list, 3, 2, LVIR_BOUNDS)), 0, 0, 0, 0};
    EXPECT_EQ(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 3);

    // With check boxes a click on the state image turns the check over and selects nothing.
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    const RECT row1 = ItemRect(list, 1, LVIR_ICON);
    for (UINT expected : {1u, 2u}) { // item 1 starts checked (image 2)
        win32::Click(list, POINT{6, (row1.top + row1.bottom) / 2});
        win32::PumpUiMessages();
        win32::AdvanceUiClock(1000);
        EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK),
                  static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(expected)));
        EXPECT_EQ(StateOf(1), 0u);
    }

    // The picture shows the label where the rectangle says: a click there selects that row.
    win32::Click(list, Middle(ItemRect(list, 3, LVIR_LABEL)));
    win32::PumpUiMessages();
    EXPECT_EQ(StateOf(3), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    const RECT label = ItemRect(list, 3, LVIR_LABEL);
    EXPECT_EQ(win32::ClientPixel(list, label.left + 2, label.top + 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(win32::ClientPixel(list, label.left + 2, label.top - 2), GetSysColor(COLOR_WINDOW));
    DestroyWindow(list);
    ImageList_Destroy(states);
    ImageList_Destroy(small);
}

TEST_F(ListViewTest, ColumnsKeepTheirSubItemWhenReorderedAndTheHeaderScrollsWithThem) {
    Make();
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(GetDlgCtrlID(header), 0);
    int order[3] = {2, 0, 1};
    ASSERT_TRUE(SendMessageA(list, LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order)));
    for (int column = 0; column < 3; ++column) {
        LVCOLUMNA info{};
        info.mask = LVCF_SUBITEM | LVCF_ORDER | LVCF_WIDTH;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(info.iSubItem, column);
        EXPECT_EQ(info.iOrder, (column + 1) % 3);
    }
    // Cells follow the order: "Note" comes first, then "Name".
    EXPECT_EQ(SubItemRect(list, 0, 2, LVIR_BOUNDS).left, 0);
    EXPECT_EQ(SubItemRect(list, 0, 1, LVIR_BOUNDS).left, 190);
    EXPECT_EQ(TextOf(list, 1, 2), "Cell 1.2");

    // Wider columns than the client: scrolling moves the cells and the header alike.
    LVCOLUMNA wide{};
    wide.mask = LVCF_WIDTH;
    wide.cx = 500;
    SendMessageA(list, LVM_SETCOLUMNA, 1, reinterpret_cast<LPARAM>(&wide));
    const LONG before = SubItemRect(list, 0, 1, LVIR_BOUNDS).left;
    SendMessageA(list, LVM_SCROLL, 60, 0);
    EXPECT_EQ(SubItemRect(list, 0, 1, LVIR_BOUNDS).left, before - 60);
    RECT headerRect{};
    GetWindowRect(header, &headerRect);
    POINT origin{headerRect.left, headerRect.top};
    ScreenToClient(list, &origin);
    EXPECT_EQ(origin.x, -60);

    // Deleting a column takes its cells.
    ASSERT_TRUE(SendMessageA(list, LVM_DELETECOLUMN, 1, 0));
    EXPECT_EQ(TextOf(list, 1, 1), "Cell 1.2");
    EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(ListViewTest, AlignmentIsPainted) {
    Make();
    LVCOLUMNA fmt{};
    fmt.mask = LVCF_FMT;
    fmt.fmt = LVCFMT_RIGHT;
    SendMessageA(list, LVM_SETCOLUMNA, 2, reinterpret_cast<LPARAM>(&fmt));
    fmt.fmt = LVCFMT_CENTER;
    SendMessageA(list, LVM_SETCOLUMNA, 1, reinterpret_cast<LPARAM>(&fmt));
    // The blank pixels left and right of a cell's text, as the list paints into a DC it is given.
    auto ink = [&](int column) {
        const RECT cell = SubItemRect(list, 1, column, LVIR_LABEL);
        const std::vector<POINT> points = win32::test::PaintedPoints(list, GetSysColor(COLOR_WINDOWTEXT), cell);
        LONG first = cell.right, last = cell.left;
        for (const POINT& p : points) {
            first = std::min(first, p.x);
            last = std::max(last, p.x);
        }
        return std::pair{static_cast<int>(first - cell.left), static_cast<int>(cell.right - 1 - last)};
    };
    const auto [nameLeft, nameRight] = ink(0);
    EXPECT_LE(nameLeft, 12); // the inset and the glyph's own side bearing
    EXPECT_GT(nameRight, 20);
    const auto [valueLeft, valueRight] = ink(1);
    EXPECT_LE(std::abs(valueLeft - valueRight), 10); // left alignment would leave some 25 pixels more right
    const auto [noteLeft, noteRight] = ink(2);
    EXPECT_LE(noteRight, 12);
    EXPECT_GT(noteLeft, 20);
}

TEST_F(ListViewTest, AutoSizeFitsTheWidestTextAndTheLastColumnFillsTheClient) {
    Make();
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
    const int widest =
        static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("Cell 4.1")));
    ASSERT_GT(widest, 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), widest + 12);

    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    const int heading = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("Name")));
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), heading + 12);

    SendMessageA(list, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 2, 0), client.right -
                                                                SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) -
                                                                SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
}

TEST_F(ListViewTest, EnsureVisibleBringsAHalfShownRowFullyIntoView) {
    Make(0, 0, 200);
    // Five and a half rows under the header.
    const RECT first = ItemRect(list, 0, LVIR_BOUNDS);
    SetWindowPos(list, nullptr, 0, 0, 400,
                 first.top + 5 * first.bottom - 5 * first.top + (first.bottom - first.top) / 2,
                 SWP_NOMOVE | SWP_NOZORDER);
    const int perPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    const RECT half = ItemRect(list, perPage, LVIR_BOUNDS);
    ASSERT_LT(half.top, client.bottom);
    ASSERT_GT(half.bottom, client.bottom) << "the row below the page is half shown";

    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(perPage), TRUE);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 0);
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(perPage), FALSE);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 1);
    EXPECT_LE(ItemRect(list, perPage, LVIR_BOUNDS).bottom, client.bottom);

    SendMessageA(list, LVM_ENSUREVISIBLE, 150, FALSE);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 150 - perPage + 1);
    SendMessageA(list, LVM_ENSUREVISIBLE, 3, FALSE);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 3);

    // Keys move the selection and keep it in view.
    SetFocus(list);
    SetState(list, 3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    parent->Forget();
    win32::PressKey(list, VK_NEXT);
    win32::PumpUiMessages();
    EXPECT_EQ(parent->codes.front(), LVN_KEYDOWN);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3 + perPage);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 4);
    win32::PressKey(list, VK_END);
    win32::PumpUiMessages();
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 199);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 200 - perPage);
}

TEST_F(ListViewTest, ANewFontLaysOutRowsAndHeaderAgain) {
    Make(0, 0, 40);
    const int smallPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const int smallWidth =
        static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("Item")));
    HFONT big = CreateFontA(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
    const int charHeight = CharHeight(big);
    const RECT first = ItemRect(list, 0, LVIR_BOUNDS);
    EXPECT_EQ(first.top, charHeight + 8);
    EXPECT_EQ(first.bottom - first.top, charHeight + 4);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT headerRect{};
    GetClientRect(header, &headerRect);
    EXPECT_EQ(headerRect.bottom, charHeight + 8);
    EXPECT_LT(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0), smallPage);
    EXPECT_GT(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("Item")), smallWidth);
    DestroyWindow(list);
    DeleteObject(big);
}

TEST_F(ListViewTest, EveryItemTakesAStateForItemMinusOneAndDeletingNotifiesEachItem) {
    Make();
    parent->refuseChange = [](const NMLISTVIEW& change) { return change.iItem == 3; };
    EXPECT_FALSE(SetState(list, -1, LVIS_SELECTED, LVIS_SELECTED)); // one item refused
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 4);
    std::vector<int> changed;
    for (const ItemChange& change : parent->Changes(LVN_ITEMCHANGED))
        changed.push_back(change.item);
    EXPECT_EQ(changed, (std::vector<int>{0, 1, 2, 4}));

    SetState(list, 4, LVIS_FOCUSED, LVIS_FOCUSED);
    parent->Forget();
    ASSERT_TRUE(SendMessageA(list, LVM_DELETEITEM, 1, 0));
    EXPECT_EQ(parent->codes, std::vector<UINT>{LVN_DELETEITEM});
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 3); // moved with its item
    EXPECT_EQ(TextOf(list, 1, 0), "Item 2");

    // A parent that answers LVN_DELETEALLITEMS with TRUE wants no notification per item.
    for (LRESULT answer : {0, 1}) {
        Make();
        parent->answers[LVN_DELETEALLITEMS] = answer;
        ASSERT_TRUE(SendMessageA(list, LVM_DELETEALLITEMS, 0, 0));
        EXPECT_EQ(std::count(parent->codes.begin(), parent->codes.end(), LVN_DELETEITEM), answer ? 0 : 5);
        EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);
        DestroyWindow(list);
    }
}

int CALLBACK ByParamDescending(LPARAM first, LPARAM second, LPARAM sign) {
    return static_cast<int>((second - first) * sign);
}

TEST_F(ListViewTest, SortingByCallbackKeepsTheFocusOnItsItemAndFindsByParam) {
    Make();
    SetState(list, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    ASSERT_TRUE(SendMessageA(list, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(&ByParamDescending)));
    EXPECT_EQ(TextOf(list, 0, 0), "Item 4");
    EXPECT_EQ(TextOf(list, 4, 1), "Cell 0.1");
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 3);

    struct Case {
        int start;
        UINT flags;
        LPARAM param;
        int found;
    };
    const Case cases[] = {
        {-1, LVFI_PARAM, 102, 2},
        {2, LVFI_PARAM, 102, -1},            // the search starts after the start item
        {2, LVFI_PARAM | LVFI_WRAP, 102, 2}, // and wraps only when asked
        {-1, LVFI_PARAM, 999, -1},
    };
    for (const Case& c : cases) {
        LVFINDINFOA find{};
        find.flags = c.flags;
        find.lParam = c.param;
        EXPECT_EQ(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(&find)),
                  c.found)
            << c.start << " " << c.flags;
    }
    LVFINDINFOA byText{};
    byText.flags = LVFI_STRING;
    byText.psz = "item 3";
    EXPECT_EQ(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&byText)), 1);
}

TEST_F(ListViewTest, OwnerDrawnRowsAreDrawnByTheParentInTheirRectangles) {
    Make(LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS);
    SetState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
    parent->Forget();
    InvalidateRect(list, nullptr, FALSE);
    UpdateWindow(list);
    ASSERT_EQ(parent->drawn.size(), 5u);
    for (int row = 0; row < 5; ++row) {
        const DRAWITEMSTRUCT& draw = parent->drawn[static_cast<size_t>(row)];
        EXPECT_EQ(draw.CtlType, static_cast<UINT>(ODT_LISTVIEW));
        EXPECT_EQ(draw.itemID, static_cast<UINT>(row));
        EXPECT_EQ(draw.itemData, static_cast<ULONG_PTR>(100 + row));
        EXPECT_EQ(draw.itemState & ODS_SELECTED, row == 1 ? static_cast<UINT>(ODS_SELECTED) : 0u);
        const RECT bounds = ItemRect(list, row, LVIR_BOUNDS);
        EXPECT_TRUE(EqualRect(&draw.rcItem, &bounds));
    }
    EXPECT_TRUE(parent->asked.empty());
    EXPECT_EQ(win32::ClientPixel(list, 5, ItemRect(list, 2, LVIR_BOUNDS).top + 3), RGB(0, 128, 0));
}

TEST_F(ListViewTest, ALabelIsEditedInTheListsOwnEditOverItsCell) {
    struct Case {
        const char* what;
        LRESULT beginAnswer;
        BYTE key; // ends the edit; 0: the focus leaves
        LRESULT endAnswer;
        std::optional<std::string> reported;
        const char* kept;
    };
    const Case cases[] = {
        {"enter, taken", 0, VK_RETURN, TRUE, "new", "new"},
        {"enter, refused", 0, VK_RETURN, FALSE, "new", "Cell 1.2"},
        {"escape", 0, VK_ESCAPE, TRUE, std::nullopt, "Cell 1.2"},
        {"focus leaves", 0, 0, TRUE, "new", "new"},
        {"begin refused", TRUE, 0, TRUE, std::nullopt, "Cell 1.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make(LVS_EDITLABELS);
        parent->answers[LVN_BEGINLABELEDITA] = c.beginAnswer;
        parent->answers[LVN_ENDLABELEDITA] = c.endAnswer;
        HWND edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_EDITLABELA, 1, 2));
        if (c.beginAnswer) {
            EXPECT_EQ(edit, nullptr);
            EXPECT_EQ(TextOf(list, 1, 2), c.kept);
            DestroyWindow(list);
            continue;
        }
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0)), edit);
        EXPECT_EQ(GetFocus(), edit);
        RECT placed{};
        GetWindowRect(edit, &placed);
        MapWindowPoints(nullptr, list, reinterpret_cast<LPPOINT>(&placed), 2);
        const RECT cell = SubItemRect(list, 1, 2, LVIR_LABEL);
        EXPECT_TRUE(EqualRect(&placed, &cell));
        char text[32] = {};
        GetWindowTextA(edit, text, sizeof text);
        EXPECT_STREQ(text, "Cell 1.2");
        win32::TypeText(edit, "new"); // replaces the selected text
        win32::PumpUiMessages();
        if (c.key)
            win32::PressKey(edit, c.key);
        else
            SetFocus(list);
        win32::PumpUiMessages();
        EXPECT_FALSE(IsWindow(edit));
        EXPECT_EQ(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0), 0);
        ASSERT_EQ(parent->endedEdits.size(), 1u);
        EXPECT_EQ(parent->endedEdits[0], c.reported);
        EXPECT_EQ(TextOf(list, 1, 2), c.kept);
        DestroyWindow(list);
    }
}

} // namespace
