#include "app/widgets/OXGridList.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kListId = 9;

// A framework window hosting the list: it reflects the list's notices and draw requests back to it, and
// answers the rest through `handler`.
class CGridHost : public CWnd {
public:
    std::function<std::optional<LRESULT>(const NMHDR*)> handler;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        const BOOL reflected = CWnd::OnNotify(wParam, lParam, pResult);
        if (handler)
            if (std::optional<LRESULT> answer = handler(reinterpret_cast<const NMHDR*>(lParam))) {
                *pResult = *answer;
                return TRUE;
            }
        return reflected;
    }
};

// A list of five items ("e", "B", "d", "A", "c" with item data far above 32 bits) in two columns, on a parent
// that records its notices and can refuse item changes or the context menu.
class GridListTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_host = std::make_unique<CGridHost>();
        ASSERT_TRUE(
            m_host->CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 360, 240), nullptr, 0));
        m_host->handler = [this](const NMHDR* hdr) -> std::optional<LRESULT> {
            m_codes.push_back(hdr->code);
            if (hdr->code == LVN_ITEMCHANGING || hdr->code == LVN_ITEMCHANGED) {
                const auto* lv = reinterpret_cast<const NMLISTVIEW*>(hdr);
                if (lv->uChanged & LVIF_TEXT) {
                    m_textChanges.push_back({hdr->code, lv->iItem, lv->iSubItem});
                    if (hdr->code == LVN_ITEMCHANGING && m_vetoText)
                        return 1;
                }
                if (hdr->code == LVN_ITEMCHANGED)
                    m_changedData.push_back(lv->lParam);
                if (hdr->code == LVN_ITEMCHANGING && (lv->uChanged & LVIF_STATE) &&
                    ((lv->uNewState ^ lv->uOldState) & LVIS_STATEIMAGEMASK))
                    return m_vetoChecks ? 1 : 0;
            }
            if (hdr->code == OXGRID_CONTEXTMENU) {
                m_menuNotices.push_back(*reinterpret_cast<const NMGRIDMENU*>(hdr));
                return m_vetoMenu ? 1 : 0;
            }
            return std::nullopt;
        };
        m_pList = std::make_unique<COXGridList>();
        ASSERT_TRUE(
            m_list().Create(WS_CHILD | WS_VISIBLE | LVS_SHOWSELALWAYS, CRect(0, 0, 340, 200), m_host.get(), kListId));
        m_list().InsertColumn(0, "Name", LVCFMT_LEFT, 120);
        m_list().InsertColumn(1, "Kind", LVCFMT_LEFT, 120);
        const char* names[] = {"e", "B", "d", "A", "c"};
        for (int i = 0; i < 5; ++i) {
            m_list().InsertItem(i, names[i]);
            m_list().SetItemText(i, 1, std::string(1, static_cast<char>('z' - i)).c_str());
            m_list().SetItemData(i, Data(i));
        }
    }
    void TearDown() override {
        m_pList.reset();
        if (m_host && m_host->m_hWnd)
            m_host->DestroyWindow();
        m_host.reset();
        UiTest::TearDown();
    }
    COXGridList& m_list() { return *m_pList; }
    static DWORD_PTR Data(int i) { return (DWORD_PTR{0xABCD0000} << 32) | static_cast<DWORD_PTR>(i); }
    CPoint CheckBoxOf(int item) {
        CRect r;
        m_list().GetItemRect(item, &r, LVIR_BOUNDS);
        return {r.left + 6, (r.top + r.bottom) / 2};
    }
    // A key pressed in `hwnd` and released over the list: the editor that gets it down is gone by the time the
    // key comes up, and the key must not stay down for the tests after.
    void Press(HWND hwnd, BYTE vk) {
        win32::KeyDown(hwnd, vk);
        win32::PumpUiMessages();
        win32::KeyUp(m_list().m_hWnd, vk);
        win32::PumpUiMessages();
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int i = 0; i < m_list().GetItemCount(); ++i)
            texts.emplace_back(static_cast<LPCTSTR>(m_list().GetItemText(i, column)));
        return texts;
    }

    std::unique_ptr<CGridHost> m_host;
    std::unique_ptr<COXGridList> m_pList;
    std::vector<UINT> m_codes;
    std::vector<LPARAM> m_changedData;
    std::vector<NMGRIDMENU> m_menuNotices;
    struct TextChange {
        UINT code;
        int item, column;
        bool operator==(const TextChange&) const = default;
    };
    std::vector<TextChange> m_textChanges;
    bool m_vetoText = false;
    bool m_vetoChecks = false;
    bool m_vetoMenu = false;
};

TEST_F(GridListTest, CheckStylesUnderClickDoubleClickAndSpace) {
    ASSERT_TRUE(m_list().SetCheckable(TRUE));
    struct Case {
        int style;
        std::vector<int> states; // after each of: click on the box, double-click, Space
    } cases[] = {
        {2, {0, 0, 0}},
        {3, {1, 0, 1}},
        {5, {0, 0, 0}},
        {6, {1, 2, 0}},
    };
    for (const Case& c : cases) {
        m_list().SetCheckStyle(c.style);
        for (int i = 0; i < 5; ++i)
            m_list().SetItemState(i, 0, LVIS_SELECTED);
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(m_list().SetCheck(i, 0));
        m_list().SetFocus();
        win32::AdvanceUiClock(1000);
        win32::Click(m_list().m_hWnd, CheckBoxOf(1));
        win32::PumpUiMessages();
        EXPECT_EQ(m_list().GetCheck(1), c.states[0]) << "click, style " << c.style;
        EXPECT_FALSE(m_list().GetItemState(1, LVIS_SELECTED)) << "a click on the box selects nothing";
        win32::AdvanceUiClock(1000);
        CRect label;
        m_list().GetItemRect(1, &label, LVIR_LABEL);
        win32::DoubleClick(m_list().m_hWnd, {label.left + 30, (label.top + label.bottom) / 2});
        win32::PumpUiMessages();
        EXPECT_EQ(m_list().GetCheck(1), c.states[1]) << "double-click, style " << c.style;
        m_list().SetItemState(1, LVIS_FOCUSED, LVIS_FOCUSED);
        win32::PressKey(m_list().m_hWnd, VK_SPACE);
        win32::PumpUiMessages();
        EXPECT_EQ(m_list().GetCheck(1), c.states[2]) << "Space, style " << c.style;
    }
}

TEST_F(GridListTest, OtherSelectedItemsFollowAndAVetoChangesNothing) {
    ASSERT_TRUE(m_list().SetCheckable(TRUE));
    m_list().SetCheckStyle(3);
    for (int i : {0, 2, 4})
        m_list().SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    m_list().SetCheck(4, 1);
    EXPECT_TRUE(m_list().ToggleCheck(0));
    EXPECT_EQ(m_list().GetCheck(0), 1);
    EXPECT_EQ(m_list().GetCheck(2), 1);
    EXPECT_EQ(m_list().GetCheck(4), 1);
    EXPECT_EQ(m_list().GetCheck(1), 0); // not selected
    m_vetoChecks = true;
    EXPECT_FALSE(m_list().ToggleCheck(0));
    for (int i : {0, 2, 4})
        EXPECT_EQ(m_list().GetCheck(i), 1) << i;
}

TEST_F(GridListTest, SetCheckRefusalsAndNoCheckBoxes) {
    EXPECT_EQ(m_list().GetCheck(0), -1);
    EXPECT_FALSE(m_list().SetCheck(0, 1)); // check boxes are off
    ASSERT_TRUE(m_list().SetCheckable(TRUE));
    m_list().InsertItem(5, "new");
    EXPECT_EQ(m_list().GetCheck(5), 0); // inserted unchecked
    for (int style : {2, 3}) {
        m_list().SetCheckStyle(style);
        EXPECT_FALSE(m_list().SetCheck(0, 2)) << style;
    }
    m_list().SetCheckStyle(5);
    EXPECT_TRUE(m_list().SetCheck(0, 2));
    EXPECT_EQ(m_list().GetCheck(0), 2);
    EXPECT_TRUE(m_list().SetCheck(0, -1));
    EXPECT_EQ(m_list().GetCheck(0), -1);
    EXPECT_FALSE(m_list().SetCheck(0, 3));
    ASSERT_TRUE(m_list().SetCheckable(FALSE));
    EXPECT_EQ(m_list().GetCheck(1), -1);
}

// Pixels of the triangle's colours inside a header item, away from its 3-D edges.
int TrianglePixels(const tdl::test::Picture& picture, COXGridHeader& header, int column, COLORREF color) {
    CRect item;
    header.GetItemRect(column, &item);
    const RECT inside{item.CenterPoint().x, item.top + 3, item.right - 4, item.bottom - 4};
    return picture.Count(inside, [color](COLORREF c) { return c == color; });
}

TEST_F(GridListTest, TheSortColumnsHeaderShowsItsTriangleAndASecondSortColumnTakesIt) {
    m_list().SetSortable(TRUE);
    COXGridHeader& header = *m_list().GetGridHeader();
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const struct {
        int column;
        int order; // of the sorted column
        const char* picture;
    } steps[] = {
        {0, 1, "gridlist-sorted-up.png"}, {0, -1, "gridlist-sorted-down.png"}, {1, 1, "gridlist-sorted-next.png"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.picture);
        NMLISTVIEW click{};
        click.hdr = {m_list().m_hWnd, kListId, LVN_COLUMNCLICK};
        click.iItem = -1;
        click.iSubItem = step.column;
        m_host->SendMessage(WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&click));
        ASSERT_EQ(step.order, header.GetSortOrder());
        const tdl::test::Picture picture(header.m_hWnd, step.picture);
        ASSERT_TRUE(picture.IsValid());
        const int other = 1 - step.column;
        EXPECT_GT(TrianglePixels(picture, header, step.column, shadow), 3);
        EXPECT_GT(TrianglePixels(picture, header, step.column, light), 3);
        EXPECT_EQ(0, TrianglePixels(picture, header, other, shadow)) << "no triangle on the other column";
    }
}

TEST_F(GridListTest, SortingAColumnTwiceReversesAndKeepsTheCallersData) {
    m_list().SetSortable(TRUE);
    auto clickColumn = [&](int column) {
        NMLISTVIEW click{};
        click.hdr = {m_list().m_hWnd, kListId, LVN_COLUMNCLICK};
        click.iItem = -1;
        click.iSubItem = column;
        m_host->SendMessage(WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&click));
    };
    clickColumn(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"A", "B", "c", "d", "e"}));
    EXPECT_EQ(m_list().GetGridHeader()->GetSortColumn(), 0);
    EXPECT_EQ(m_list().GetGridHeader()->GetSortOrder(), 1);
    clickColumn(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"e", "d", "c", "B", "A"}));
    EXPECT_EQ(m_list().GetGridHeader()->GetSortOrder(), -1);
    HDITEM h{};
    h.mask = HDI_FORMAT;
    m_list().GetGridHeader()->GetItem(0, &h);
    EXPECT_TRUE(h.fmt & HDF_OWNERDRAW); // the sort column draws its own triangle
    // A new column starts ascending; the old one goes back to plain drawing.
    clickColumn(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"v", "w", "x", "y", "z"}));
    EXPECT_EQ(m_list().GetGridHeader()->GetSortOrder(), 1);
    m_list().GetGridHeader()->GetItem(0, &h);
    EXPECT_FALSE(h.fmt & HDF_OWNERDRAW);
    EXPECT_TRUE(h.fmt & HDF_STRING);
    // The caller's 64-bit item data travel with their items, and are what GetItem, FindItem and notices carry.
    for (int i = 0; i < 5; ++i) {
        const int original = 'z' - static_cast<char>(m_list().GetItemText(i, 1)[0]);
        EXPECT_EQ(m_list().GetItemData(i), Data(original));
    }
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(Data(3));
    const int found = m_list().FindItem(&find);
    ASSERT_GE(found, 0);
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(m_list().GetItemText(found, 0))), "A");
    m_changedData.clear();
    m_list().SetItemState(found, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_FALSE(m_changedData.empty());
    EXPECT_EQ(m_changedData.back(), static_cast<LPARAM>(Data(3)));
    m_list().SetSortable(FALSE);
    EXPECT_EQ(m_list().GetGridHeader()->GetSortColumn(), -1);
}

TEST_F(GridListTest, SingleSelectionKeepsTheFirstSelectedItem) {
    for (int i : {1, 3, 4})
        m_list().SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    m_list().SetMultipleSelection(FALSE);
    EXPECT_EQ(m_list().GetSelectedCount(), 1u);
    EXPECT_TRUE(m_list().GetItemState(1, LVIS_SELECTED));
    EXPECT_TRUE(m_list().GetStyle() & LVS_SINGLESEL);
}

TEST_F(GridListTest, ANonResizableHeaderRefusesTracking) {
    COXGridHeader* header = m_list().GetGridHeader();
    ASSERT_NE(header->m_hWnd, nullptr);
    header->SetResizable(FALSE);
    CRect item;
    header->GetItemRect(0, &item);
    const CPoint divider(item.right - 1, item.Height() / 2);
    win32::MouseDown(header->m_hWnd, divider);
    win32::MouseMove(header->m_hWnd, {divider.x + 40, divider.y}, MK_LBUTTON);
    win32::MouseUp(header->m_hWnd, {divider.x + 40, divider.y});
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetColumnWidth(0), 120);
    header->SetResizable(TRUE);
    win32::AdvanceUiClock(1000);
    win32::MouseDown(header->m_hWnd, divider);
    win32::MouseMove(header->m_hWnd, {divider.x + 40, divider.y}, MK_LBUTTON);
    win32::MouseUp(header->m_hWnd, {divider.x + 40, divider.y});
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetColumnWidth(0), 160);
}

TEST_F(GridListTest, AParentReplyToTheMenuNoticeSuppressesTheMenu) {
    HMENU menu = ::CreateMenu();
    HMENU sub = ::CreatePopupMenu();
    ::AppendMenuA(sub, MF_STRING, 0x9100, "Refresh");
    ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "List");
    m_list().SetContextMenu(menu);
    m_list().SetFocus();
    m_vetoMenu = true;
    win32::ContextMenuKey(m_list().m_hWnd);
    win32::PumpUiMessages();
    ASSERT_EQ(m_menuNotices.size(), 1u);
    EXPECT_EQ(m_menuNotices[0].hMenu, menu);
    EXPECT_EQ(m_menuNotices[0].hdr.idFrom, kListId);
    EXPECT_TRUE(win32::ModalRequests().empty());
    m_vetoMenu = false;
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, 0);
    win32::ContextMenuKey(m_list().m_hWnd);
    win32::PumpUiMessages();
    ASSERT_EQ(win32::ModalRequests().size(), 1u);
    EXPECT_EQ(win32::ModalRequests()[0].text, "Refresh");
    ::DestroyMenu(menu);
}

TEST_F(GridListTest, PaintsGridLinesHighlightAndCheckImages) {
    ASSERT_TRUE(m_list().SetCheckable(TRUE));
    m_list().SetCheck(1, 1);
    m_list().SetGridLines(TRUE, RGB(0, 0, 255));
    m_list().SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_TRUE(tdl::test::SavePicture(m_host->m_hWnd, "gridlist.png"));
    HDC dc = ::GetDC(m_list().m_hWnd);
    CRect row2, row1;
    m_list().GetItemRect(2, &row2, LVIR_BOUNDS);
    m_list().GetItemRect(1, &row1, LVIR_BOUNDS);
    EXPECT_EQ(::GetPixel(dc, 60, (row2.top + row2.bottom) / 2 - 3), ::GetSysColor(COLOR_HIGHLIGHT));
    // Dotted: along an item's bottom the grid colour alternates with the background.
    int blue = 0, other = 0;
    for (int x = 10; x < 100; ++x)
        (::GetPixel(dc, x, row1.bottom - 1) == RGB(0, 0, 255) ? blue : other)++;
    EXPECT_GT(blue, 30);
    EXPECT_GT(other, 30);
    // The check box: its frame is drawn, the mask colour never shows.
    int frame = 0;
    for (int y = row1.top; y < row1.bottom; ++y)
        for (int x = row1.left; x < row1.left + 20; ++x) {
            EXPECT_NE(::GetPixel(dc, x, y), RGB(255, 0, 255));
            frame += ::GetPixel(dc, x, y) == RGB(128, 128, 128);
        }
    EXPECT_GT(frame, 10);
    ::ReleaseDC(m_list().m_hWnd, dc);
}

TEST_F(GridListTest, EditingACellAndMovingOnWithTheKeyThatEndedIt) {
    m_list().SetEditable(TRUE, 1);
    m_textChanges.clear();
    EXPECT_EQ(m_list().SendMessage(LVM_EDITLABELA, 0, 0), 0); // column 0 is not editable
    ASSERT_NE(m_list().SendMessage(LVM_EDITLABELA, 0, 1), 0);
    HWND edit = ::GetFocus();
    win32::TypeText(edit, "q");
    Press(edit, VK_TAB); // the only editable column: Tab stays in the row, on the same column
    win32::PumpUiMessages();
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(m_list().GetItemText(0, 1))), "q");
    EXPECT_EQ(m_textChanges, (std::vector<TextChange>{{LVN_ITEMCHANGING, 0, 1}, {LVN_ITEMCHANGED, 0, 1}}));
    ASSERT_NE(m_list().GetEditControl(), nullptr);

    m_list().SetEditable(TRUE, 0);
    struct Step {
        BYTE key;
        bool shift;
        int item, column; // where editing goes on
    } steps[] = {
        // clang-format off
        {VK_TAB, false, 0, 0},  // from the last editable column to the first, same row
        {VK_TAB, true, 0, 1},
        {VK_UP, false, 4, 1},   // before the first row: the last
        {VK_DOWN, false, 0, 1}, // after the last: the first
        {VK_INSERT, false, 0, 0},
        // clang-format on
    };
    for (const Step& step : steps) {
        HWND now = ::GetFocus();
        if (step.shift)
            win32::KeyDown(now, VK_SHIFT);
        Press(now, step.key);
        if (step.shift)
            win32::KeyUp(m_list().m_hWnd, VK_SHIFT); // the edit that had the key down is gone
        win32::PumpUiMessages();
        CEdit* current = m_list().GetEditControl();
        ASSERT_NE(current, nullptr) << int(step.key);
        CRect cell, at;
        m_list().GetSubItemRect(step.item, step.column, LVIR_LABEL, cell);
        current->GetWindowRect(&at);
        m_list().ScreenToClient(&at);
        EXPECT_EQ(at.top, cell.top) << int(step.key);
        EXPECT_EQ(at.left, cell.left) << int(step.key);
    }
    Press(::GetFocus(), VK_ESCAPE);
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetEditControl(), nullptr);
}

TEST_F(GridListTest, AVetoedEditKeepsTheOldTextAndReportsNoChange) {
    m_list().SetEditable(TRUE, -1);
    m_textChanges.clear();
    m_list().SetFocus();
    m_list().SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    Press(m_list().m_hWnd, VK_INSERT); // the focused item's first editable column
    win32::PumpUiMessages();
    ASSERT_NE(m_list().GetEditControl(), nullptr);
    m_vetoText = true;
    win32::TypeText(::GetFocus(), "zzz");
    Press(::GetFocus(), VK_RETURN);
    win32::PumpUiMessages();
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(m_list().GetItemText(2, 0))), "d");
    EXPECT_EQ(m_textChanges, (std::vector<TextChange>{{LVN_ITEMCHANGING, 2, 0}}));
}

TEST_F(GridListTest, EditableFlagsFollowTheirColumnsAsColumnsComeAndGo) {
    m_list().SetEditable(TRUE, 1); // "Kind"
    auto flags = [this] {
        std::vector<bool> editable;
        for (int c = 0; c < m_list().GetColumnCount(); ++c)
            editable.push_back(m_list().IsColumnEditable(c) != FALSE);
        return editable;
    };
    m_list().InsertColumn(0, "First", LVCFMT_LEFT, 40);
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, true}));
    m_list().InsertColumn(9, "Last", LVCFMT_LEFT, 40); // past the end: appended, not editable
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, true, false}));
    m_list().SetEditable(TRUE, 3);
    EXPECT_TRUE(m_list().DeleteColumn(0));
    EXPECT_EQ(flags(), (std::vector<bool>{false, true, true}));
    EXPECT_TRUE(m_list().DeleteColumn(1));
    EXPECT_EQ(flags(), (std::vector<bool>{false, true}));
    EXPECT_FALSE(m_list().DeleteColumn(7)); // no such column: the flags stay
    EXPECT_EQ(flags(), (std::vector<bool>{false, true}));
}

TEST_F(GridListTest, TypingOnTheListStartsEditingWithTheKeyTyped) {
    m_list().SetEditable(TRUE, 1);
    m_list().SetFocus();
    m_list().SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    win32::TypeText(m_list().m_hWnd, "x");
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetEditControl(), nullptr); // type-to-edit is off

    m_list().SetTypeToEdit(TRUE);
    for (const char* key : {"\r", "\b", "\x1b"}) {
        win32::TypeText(m_list().m_hWnd, key);
        win32::PumpUiMessages();
        EXPECT_EQ(m_list().GetEditControl(), nullptr) << int(key[0]);
    }
    win32::TypeText(m_list().m_hWnd, "x");
    win32::PumpUiMessages();
    CEdit* edit = m_list().GetEditControl();
    ASSERT_NE(edit, nullptr);
    CRect cell, at;
    m_list().GetSubItemRect(2, 1, LVIR_LABEL, cell);
    edit->GetWindowRect(&at);
    m_list().ScreenToClient(&at);
    EXPECT_EQ(at.TopLeft(), cell.TopLeft());
    win32::TypeText(::GetFocus(), "yz"); // the caret stood after the first key
    win32::PumpUiMessages();
    CString text;
    edit->GetWindowText(text);
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(text)), "xyz");
    Press(::GetFocus(), VK_RETURN);
    win32::PumpUiMessages();
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(m_list().GetItemText(2, 1))), "xyz");

    // No editable column: the key is refused with a beep.
    m_list().SetEditable(FALSE, -1);
    const size_t beeps = win32::MessageBeeps().size();
    m_list().SetFocus();
    win32::TypeText(m_list().m_hWnd, "q");
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetEditControl(), nullptr);
    EXPECT_EQ(win32::MessageBeeps().size(), beeps + 1);
}

TEST_F(GridListTest, EnsureCellVisibleScrollsBothWays) {
    m_list().SetColumnWidth(0, 500);
    m_list().SetColumnWidth(1, 300);
    for (int i = 5; i < 40; ++i)
        m_list().InsertItem(i, "row");
    CRect client;
    m_list().GetClientRect(&client);
    auto cellOf = [this](int item, int column) {
        CRect cell;
        m_list().GetSubItemRect(item, column, LVIR_BOUNDS, cell);
        if (column == 0)
            cell.right = cell.left + m_list().GetColumnWidth(0);
        return cell;
    };
    EXPECT_FALSE(m_list().EnsureCellVisible(40, 0, FALSE));
    EXPECT_FALSE(m_list().EnsureCellVisible(0, 2, FALSE));

    ASSERT_TRUE(m_list().EnsureCellVisible(39, 1, FALSE));
    CRect cell = cellOf(39, 1);
    EXPECT_GE(cell.left, client.left);
    EXPECT_LE(cell.right, client.right);
    EXPECT_LE(cell.bottom, client.bottom);

    ASSERT_TRUE(m_list().EnsureCellVisible(0, 0, FALSE));
    cell = cellOf(0, 0);
    EXPECT_EQ(cell.left, client.left); // wider than the client: its left edge is shown
    EXPECT_GE(cell.top, client.top);
}

TEST_F(GridListTest, TheEditorStaysOverItsCellAndWithinTheList) {
    m_list().SetEditable(TRUE, -1);
    m_list().SetColumnWidth(0, 200);
    m_list().SetColumnWidth(1, 300);
    CRect client;
    m_list().GetClientRect(&client);
    auto editorAt = [this] {
        CRect at;
        m_list().GetEditControl()->GetWindowRect(&at);
        m_list().ScreenToClient(&at);
        return at;
    };

    // A cell running past the right edge: the editor is cut at the client's edge, even when moved later.
    ASSERT_NE(m_list().SendMessage(LVM_EDITLABELA, 1, 1), 0);
    CRect cell;
    m_list().GetSubItemRect(1, 1, LVIR_LABEL, cell);
    ASSERT_GT(cell.right, client.right);
    EXPECT_EQ(editorAt(), CRect(cell.left, cell.top, client.right, cell.bottom));
    m_list().GetEditControl()->MoveWindow(0, 0, 900, 3);
    EXPECT_EQ(editorAt(), CRect(cell.left, cell.top, client.right, cell.bottom));
    Press(::GetFocus(), VK_ESCAPE);

    // A cell starting left of the client area: the editor starts at the left edge and its width follows the text.
    m_list().Scroll(CSize(150, 0));
    ASSERT_NE(m_list().SendMessage(LVM_EDITLABELA, 1, 0), 0);
    m_list().GetSubItemRect(1, 0, LVIR_LABEL, cell);
    ASSERT_LT(cell.left, 0);
    const CRect before = editorAt();
    EXPECT_EQ(before.left, 0);
    EXPECT_EQ(before.top, cell.top);
    EXPECT_EQ(before.Height(), cell.Height());
    EXPECT_GE(before.Width(), 15);
    EXPECT_LT(before.Width(), cell.right);
    win32::TypeText(::GetFocus(), "wide text");
    win32::PumpUiMessages();
    const CRect after = editorAt();
    EXPECT_EQ(after.TopLeft(), before.TopLeft());
    EXPECT_GT(after.Width(), before.Width());
    EXPECT_TRUE(tdl::test::SavePicture(m_host->m_hWnd, "gridlist-editor.png"));
    Press(::GetFocus(), VK_ESCAPE);
}

TEST_F(GridListTest, TheEditorKeepsItsCellsTextThroughTheFirstResize) {
    m_list().SetEditable(TRUE, -1);
    ASSERT_NE(m_list().SendMessage(LVM_EDITLABELA, 2, 1), 0);
    COXGridEdit* edit = m_list().GetGridEdit();
    CString text;
    edit->GetWindowText(text);
    EXPECT_STREQ("x", text);
    // A list that fills its edit control with the item's label before sizing it: the cell's text comes back.
    edit->KeepText("x");
    edit->SetWindowText("d");
    edit->MoveWindow(0, 0, 80, 18);
    edit->GetWindowText(text);
    EXPECT_STREQ("x", text);
    // Once: what is typed afterwards stays through later resizes.
    edit->SetWindowText("xyz");
    edit->MoveWindow(0, 0, 90, 18);
    edit->GetWindowText(text);
    EXPECT_STREQ("xyz", text);
    Press(::GetFocus(), VK_ESCAPE);
}

TEST_F(GridListTest, AListADialogMadeIsSetUpWhenAttached) {
    // As a dialog template makes it: a report list drawn by its owner, then the object attached.
    HWND made =
        ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, 0, 0, 200, 120,
                          m_host->m_hWnd, reinterpret_cast<HMENU>(UINT_PTR{kListId + 1}), nullptr, nullptr);
    ASSERT_NE(nullptr, made);
    ::SendMessageA(made, LVM_SETBKCOLOR, 0, RGB(10, 20, 30));
    COXGridList attached;
    ASSERT_TRUE(attached.SubclassWindow(made));
    EXPECT_EQ(::GetSysColor(COLOR_WINDOW), attached.GetBkColor());
    EXPECT_NE(nullptr, attached.GetGridHeader()->m_hWnd) << "its header is the grid header";
    attached.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    attached.SetEditable(TRUE, 0);
    EXPECT_TRUE(attached.IsColumnEditable(0));
    attached.DestroyWindow();
}

// Counts the calls of the last-item hook.
class CCountingGrid : public COXGridList {
public:
    int lastItemCalls = 0;
    void OnLastItemVisible() override { ++lastItemCalls; }
};

TEST_F(GridListTest, TheLastItemHookRunsOnceEachTimeTheEndComesIntoView) {
    CCountingGrid grid;
    ASSERT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 120), m_host.get(), 10));
    grid.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    for (int i = 0; i < 40; ++i)
        grid.InsertItem(i, "row");
    grid.SetFocus();
    grid.SetItemState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    Press(grid.m_hWnd, VK_DOWN);
    EXPECT_EQ(grid.lastItemCalls, 0);

    struct Step {
        const char* what;
        std::function<void()> act;
        int calls; // after the step
    } steps[] = {
        {"scroll to the bottom", [&] { grid.SendMessage(WM_VSCROLL, SB_BOTTOM); }, 1},
        {"scroll on while there", [&] { grid.SendMessage(WM_VSCROLL, SB_LINEDOWN); }, 1},
        {"back to the top", [&] { grid.SendMessage(WM_VSCROLL, SB_TOP); }, 1},
        {"wheel down", [&] { grid.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-50 * WHEEL_DELTA))); },
         2},
        {"wheel up", [&] { grid.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 50 * WHEEL_DELTA)); }, 2},
        {"End key", [&] { Press(grid.m_hWnd, VK_END); }, 3},
        {"Up key at the end", [&] { Press(grid.m_hWnd, VK_UP); }, 3},
    };
    for (const Step& step : steps) {
        step.act();
        win32::PumpUiMessages();
        EXPECT_EQ(grid.lastItemCalls, step.calls) << step.what;
    }
    grid.DestroyWindow();
}

TEST_F(GridListTest, DeletingAnItemAtTheEndKeepsTheListFull) {
    for (int i = 5; i < 40; ++i)
        m_list().InsertItem(i, "row");
    m_list().EnsureVisible(39, FALSE);
    const int top = m_list().GetTopIndex();
    ASSERT_GT(top, 0);
    EXPECT_FALSE(m_list().DeleteItem(40)); // no such item: the list stays where it is
    EXPECT_EQ(m_list().GetTopIndex(), top);
    ASSERT_TRUE(m_list().DeleteItem(10));
    EXPECT_EQ(m_list().GetTopIndex(), top - 1);
    EXPECT_TRUE(m_list().IsLastItemVisible());
    EXPECT_EQ(m_list().GetTopIndex() + m_list().GetCountPerPage(), m_list().GetItemCount());

    m_list().EnsureVisible(0, FALSE); // away from the end nothing moves
    ASSERT_TRUE(m_list().DeleteItem(20));
    EXPECT_EQ(m_list().GetTopIndex(), 0);
}

TEST_F(GridListTest, ANewWindowOnTheSameListStartsWithTheDefaults) {
    m_list().SetEditable(TRUE, -1);
    m_list().SetSortable(TRUE);
    m_list().SortColumn(1);
    ASSERT_TRUE(m_list().SetCheckable(TRUE));
    m_list().SetCheckStyle(6);
    m_list().SetTypeToEdit(TRUE);
    m_list().SetGridLines(TRUE, RGB(1, 2, 3));
    m_list().SetGridLineOrientation(FALSE, FALSE);
    m_list().DestroyWindow();

    EXPECT_FALSE(m_list().GetSortable());
    EXPECT_EQ(m_list().GetSortColumn(), -1);
    EXPECT_FALSE(m_list().GetCheckable());
    EXPECT_EQ(m_list().GetCheckStyle(), 3);
    EXPECT_EQ(m_list().GetItemDataMode(), 1);
    BOOL on = TRUE;
    COLORREF colour = 0;
    m_list().GetGridLines(on, colour);
    EXPECT_FALSE(on);

    ASSERT_TRUE(m_list().Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 340, 200), m_host.get(), kListId));
    EXPECT_EQ(m_list().GetGridHeader()->m_hWnd, m_list().GetHeaderCtrl()->m_hWnd);
    m_list().InsertColumn(0, "Name", LVCFMT_LEFT, 120);
    m_list().InsertItem(0, "a");
    EXPECT_FALSE(m_list().IsColumnEditable(0));
    m_list().SetFocus();
    m_list().SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    win32::TypeText(m_list().m_hWnd, "x"); // type-to-edit is off again
    win32::PumpUiMessages();
    EXPECT_EQ(m_list().GetEditControl(), nullptr);
}

// A derived list runs its own creation step first.
class CDerivedGrid : public COXGridList {
public:
    bool ranFirst = false;

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override {
        ranFirst = GetGridHeader()->m_hWnd == nullptr;
        return COXGridList::OnCreate(lpCreateStruct);
    }
};

TEST_F(GridListTest, ADerivedListsCreateHandlerRunsFirst) {
    CDerivedGrid derived;
    ASSERT_TRUE(derived.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), m_host.get(), 10));
    EXPECT_TRUE(derived.ranFirst);
    EXPECT_NE(derived.GetGridHeader()->m_hWnd, nullptr);
    derived.DestroyWindow();
}

} // namespace
