// The list box and the combo box, driven as a user would: clicks where the rows show, keys, typed letters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "tests/support/UiFixture.h"

namespace {

constexpr int kListId = 51;

class ListControlTest : public win32::test::ControlHostTest {
protected:
    HWND Make(const char* className, DWORD style, RECT r, const std::vector<const char*>& items) {
        HWND hwnd = MakeControl(className, style, r, kListId);
        const bool combo = std::string(className) == WC_COMBOBOX;
        for (const char* item : items)
            SendMessageA(hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        win32::PumpUiMessages();
        parent_->Take();
        return hwnd;
    }
    std::vector<int> Notifications(HWND from = nullptr) { return ControlHostTest::Notifications(kListId, from); }
    static POINT RowCentre(HWND list, int index) {
        RECT r{};
        EXPECT_EQ(SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)),
                  LB_OKAY);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    static void Click(HWND hwnd, POINT at, WPARAM keys = 0) {
        win32::Click(hwnd, at, win32::MouseButton::Left, keys);
        win32::PumpUiMessages();
        win32::AdvanceUiClock(1000); // the next click is not the second of a double click
    }
    static void Key(HWND hwnd, BYTE vk, BYTE modifier = 0) {
        if (modifier)
            win32::KeyDown(hwnd, modifier);
        win32::PressKey(hwnd, vk);
        if (modifier)
            win32::KeyUp(hwnd, modifier);
        win32::PumpUiMessages();
    }
};

TEST_F(ListControlTest, FindStringExactIgnoresCaseStartsAfterTheStartAndWraps) {
    HWND list = Make(WC_LISTBOX, 0, {10, 10, 150, 110}, {"Bulk", "bulk", "Control", "Interrupt", "BULK IN"});
    struct Case {
        UINT message;
        int start;
        const char* text;
        LRESULT expected;
    } cases[] = {
        {LB_FINDSTRINGEXACT, -1, "bulk", 0},
        {LB_FINDSTRINGEXACT, 0, "BULK", 1},
        {LB_FINDSTRINGEXACT, 1, "bulk", 0},
        {LB_FINDSTRINGEXACT, 4, "control", 2},
        {LB_FINDSTRINGEXACT, 2, "Control", 2},
        {LB_FINDSTRINGEXACT, -1, "Bul", LB_ERR},
        {LB_FINDSTRINGEXACT, 99, "interrupt", 3},
        {LB_FINDSTRINGEXACT, -1, "Isochronous", LB_ERR},
        {LB_FINDSTRING, 1, "bulk", 4},
        {LB_FINDSTRING, 4, "bu", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessageA(list, c.message, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(c.text)),
                  c.expected)
            << c.text << " from " << c.start;
    DestroyWindow(list);
}

TEST_F(ListControlTest, SelectionChangesNotifyOnlyWhenTheUserMakesThem) {
    HWND list = Make(WC_LISTBOX, LBS_NOTIFY, {10, 10, 150, 110}, {"alpha", "beta", "gamma", "delta"});
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    EXPECT_EQ(Notifications(), std::vector<int>{});
    Click(list, RowCentre(list, 2));
    EXPECT_EQ(Notifications(), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE}));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
    Click(list, RowCentre(list, 2)); // the same row again changes nothing
    EXPECT_EQ(Notifications(), std::vector<int>{});
    Key(list, VK_DOWN);
    EXPECT_EQ(Notifications(), std::vector<int>{LBN_SELCHANGE});
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 3);
    win32::TypeText(list, "b");
    EXPECT_EQ(Notifications(), std::vector<int>{LBN_SELCHANGE});
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
    win32::DoubleClick(list, RowCentre(list, 0));
    win32::PumpUiMessages();
    const std::vector<int> codes = Notifications();
    EXPECT_NE(std::find(codes.begin(), codes.end(), LBN_DBLCLK), codes.end());
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    // A list without LBS_NOTIFY says nothing.
    HWND quiet = Make(WC_LISTBOX, 0, {160, 10, 300, 110}, {"one", "two"});
    Click(quiet, RowCentre(quiet, 1));
    EXPECT_EQ(Notifications(quiet), std::vector<int>{});
    EXPECT_EQ(SendMessageA(quiet, LB_GETCURSEL, 0, 0), 1);
    DestroyWindow(quiet);
    DestroyWindow(list);
}

TEST_F(ListControlTest, RowsLieWhereTheFontPutsThemAndScrollToKeepTheCaretInView) {
    HWND list = Make(WC_LISTBOX, LBS_SORT | WS_VSCROLL, {10, 10, 150, 70}, {"delta", "Alpha", "charlie", "bravo"});
    for (int i = 0; i < 20; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(("zulu " + std::to_string(i)).c_str()));
    char text[32] = {};
    SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "bravo"); // sorted in any case
    const int h = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    TEXTMETRICA metrics{};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(h, metrics.tmHeight);
    struct Hit {
        int y;
        int index;
        bool outside;
    } hits[] = {{0, 0, false}, {h - 1, 0, false}, {h, 1, false}, {3 * h + 1, 3, false}};
    for (const Hit& hit : hits) {
        const LRESULT at = SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, hit.y));
        EXPECT_EQ(LOWORD(at), hit.index) << hit.y;
        EXPECT_EQ(HIWORD(at), hit.outside ? 1 : 0) << hit.y;
    }
    Click(list, RowCentre(list, 1));
    Key(list, VK_END);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 23);
    const int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_EQ(top, 24 - client.bottom / h);
    // The selected row shows in the highlight colour where its rectangle says.
    const POINT centre = RowCentre(list, 23);
    EXPECT_EQ(win32::ClientPixel(list, 1, centre.y), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(win32::ClientPixel(list, 1, RowCentre(list, top).y), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 23, 0), 23);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    DestroyWindow(list);
}

TEST_F(ListControlTest, ExtendedSelectionTakesShiftRangesAndControlToggles) {
    HWND list = Make(WC_LISTBOX, LBS_EXTENDEDSEL | LBS_NOTIFY, {10, 10, 150, 150}, {"a", "b", "c", "d", "e"});
    Click(list, RowCentre(list, 1));
    Click(list, RowCentre(list, 3), MK_SHIFT);
    Click(list, RowCentre(list, 0), MK_CONTROL);
    win32::PumpUiMessages();
    int selected[8] = {};
    ASSERT_EQ(SendMessageA(list, LB_GETSELITEMS, 8, reinterpret_cast<LPARAM>(selected)), 4);
    EXPECT_EQ(std::vector<int>(selected, selected + 4), (std::vector<int>{0, 1, 2, 3}));
    Click(list, RowCentre(list, 2), MK_CONTROL);
    win32::PumpUiMessages();
    EXPECT_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 0, 0), LB_ERR); // a one-selection call
    DestroyWindow(list);
}

TEST_F(ListControlTest, ADropDownListPicksByClickKeyOrCancelsOnAClickOutside) {
    HWND combo = Make(WC_COMBOBOX, CBS_DROPDOWNLIST, {10, 10, 160, 200}, {"Low", "Full", "High"});
    RECT r{};
    GetClientRect(combo, &r);
    EXPECT_EQ(r.bottom, static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0)) + 6);
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(Notifications(), std::vector<int>{});
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    Click(combo, win32::test::CenterOf(combo));
    EXPECT_EQ(Notifications(), (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN}));
    EXPECT_TRUE(IsWindowVisible(info.hwndList));
    RECT field{}, drop{};
    GetWindowRect(combo, &field);
    GetWindowRect(info.hwndList, &drop);
    EXPECT_EQ(drop.top, field.bottom);
    win32::MouseDown(info.hwndList, RowCentre(info.hwndList, 2));
    win32::MouseUp(info.hwndList, RowCentre(info.hwndList, 2));
    EXPECT_EQ(Notifications(), (std::vector<int>{CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    EXPECT_FALSE(IsWindowVisible(info.hwndList));
    char text[16] = {};
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "High");
    // A click outside the dropped list closes it and keeps the selection.
    Key(combo, VK_F4);
    Click(*parent_, {300, 250});
    EXPECT_EQ(Notifications(), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
    // Keys: Up on the closed field changes the selection; in the dropped list Escape undoes the move.
    Key(combo, VK_UP);
    EXPECT_EQ(Notifications(), std::vector<int>{CBN_SELCHANGE});
    Key(combo, VK_F4);
    Key(combo, VK_UP);
    Key(combo, VK_ESCAPE);
    EXPECT_EQ(Notifications(), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    // The focused field shows its item highlighted (sampled right of the item's short text).
    EXPECT_EQ(win32::ClientPixel(combo, info.rcItem.right - 3, (info.rcItem.top + info.rcItem.bottom) / 2),
              GetSysColor(COLOR_HIGHLIGHT));
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(info.hwndList));
}

TEST_F(ListControlTest, AComboBoxLeavesItsScrollBarStylesToItsList) {
    // As dialog templates give them: the styles ask for a scrolling list, not a scroll bar beside the field.
    HWND combo = Make(WC_COMBOBOX, CBS_DROPDOWNLIST | WS_VSCROLL | WS_HSCROLL, {10, 10, 160, 200}, {"Low", "High"});
    EXPECT_EQ(GetWindowLongA(combo, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), 0);
    RECT window{}, client{};
    GetWindowRect(combo, &window);
    GetClientRect(combo, &client);
    EXPECT_EQ(client.right, window.right - window.left);
    EXPECT_EQ(client.bottom, window.bottom - window.top);
    DestroyWindow(combo);
}

TEST_F(ListControlTest, ADropDownComboTypesIntoItsEditAndArrowsPickItems) {
    HWND combo = Make(WC_COMBOBOX, CBS_DROPDOWN, {10, 10, 160, 200}, {"Bulk", "Control"});
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    ASSERT_NE(info.hwndItem, combo);
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    char text[16] = {};
    GetWindowTextA(info.hwndItem, text, sizeof text);
    EXPECT_STREQ(text, "Control");
    EXPECT_EQ(Notifications(), std::vector<int>{});
    SetFocus(combo);
    EXPECT_EQ(GetFocus(), info.hwndItem);
    SendMessageA(info.hwndItem, EM_SETSEL, 0, -1);
    win32::TypeText(combo, "Iso");
    const std::vector<int> codes = Notifications();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), CBN_EDITCHANGE), 3);
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "Iso");
    Key(combo, VK_UP);
    EXPECT_EQ(Notifications(), std::vector<int>{CBN_SELCHANGE});
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "Bulk");
    DestroyWindow(combo);
}

} // namespace
