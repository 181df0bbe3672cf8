// The list view's framework objects: CListCtrl's helpers, its header subclassed as a CHeaderCtrl that refuses
// tracking its first column and draws an owner-drawn item, and a CListView that answers its own display-info
// requests through reflection.
#include <set>
#include <string>

#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

class ListCtrlTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, "parent", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 240), nullptr, 0));
    }
    void TearDown() override {
        m_parent.DestroyWindow();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
    CWnd m_parent;
};

// The first column keeps its width, in either notification form.
class CFirstColumnHeader : public CHeaderCtrl {
public:
    int m_nDrawn = 0;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override {
        ++m_nDrawn;
        m_lastDrawn = lpDrawItemStruct->itemID;
    }
    UINT m_lastDrawn = 0;

protected:
    BOOL OnBeginTrack(NMHDR* pNMHDR, LRESULT* pResult) {
        *pResult = reinterpret_cast<NMHEADER*>(pNMHDR)->iItem == 0;
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFirstColumnHeader, CHeaderCtrl)
ON_NOTIFY_REFLECT_EX(HDN_BEGINTRACKA, &CFirstColumnHeader::OnBeginTrack)
ON_NOTIFY_REFLECT_EX(HDN_BEGINTRACKW, &CFirstColumnHeader::OnBeginTrack)
END_MESSAGE_MAP()

TEST_F(ListCtrlTest, ItemsTextDataAndSelectionThroughTheHelpers) {
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS, CRect(0, 0, 380, 200), &m_parent, 5));
    EXPECT_EQ(list.InsertColumn(0, "Name", LVCFMT_LEFT, 100), 0);
    EXPECT_EQ(list.InsertColumn(1, "Value", LVCFMT_RIGHT, 80, 7), 1);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "item" + std::to_string(i);
        ASSERT_EQ(list.InsertItem(i, name.c_str()), i);
        list.SetItemText(i, 1, std::to_string(i * 10).c_str());
        list.SetItemData(i, 1000 + i);
    }
    EXPECT_EQ(list.GetItemText(2, 1), CString("20"));
    EXPECT_EQ(list.GetItemData(3), 1003u);
    LVCOLUMN column{};
    column.mask = LVCF_SUBITEM | LVCF_FMT;
    ASSERT_TRUE(list.GetColumn(1, &column));
    EXPECT_EQ(column.iSubItem, 7);
    EXPECT_EQ(column.fmt, LVCFMT_RIGHT);

    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    std::vector<int> selected;
    for (POSITION pos = list.GetFirstSelectedItemPosition(); pos != nullptr;)
        selected.push_back(list.GetNextSelectedItem(pos));
    EXPECT_EQ(selected, (std::vector<int>{1, 3}));
    EXPECT_EQ(list.GetSelectedCount(), 2u);

    CEdit* pEdit = list.EditLabel(2);
    ASSERT_NE(pEdit, nullptr);
    EXPECT_EQ(list.GetEditControl(), pEdit);
    CString text;
    pEdit->GetWindowText(text);
    EXPECT_EQ(text, CString("item2"));
    win32::PressKey(pEdit->GetSafeHwnd(), VK_ESCAPE);
    win32::PumpUiMessages();
    EXPECT_EQ(list.GetEditControl(), nullptr);

    CHeaderCtrl* pHeader = list.GetHeaderCtrl();
    ASSERT_NE(pHeader, nullptr);
    EXPECT_EQ(pHeader->GetItemCount(), 2);
    int order[2] = {};
    ASSERT_TRUE(list.GetColumnOrderArray(order));
    EXPECT_EQ(order[1], 1);
}

TEST_F(ListCtrlTest, ASubclassedHeaderRefusesTrackingItsFirstColumnAndDrawsItsOwnItems) {
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 0, 380, 200), &m_parent, 5));
    list.InsertColumn(0, "Type", LVCFMT_LEFT, 100);
    list.InsertColumn(1, "#", LVCFMT_RIGHT, 80);
    CFirstColumnHeader header;
    ASSERT_TRUE(header.SubclassWindow(list.GetHeaderCtrl()->GetSafeHwnd()));
    EXPECT_EQ(list.GetHeaderCtrl(), &header);

    auto drag = [&](int x) {
        win32::MouseDown(header, POINT{x, 4});
        win32::MouseMove(header, POINT{x + 30, 4});
        win32::MouseUp(header, POINT{x + 30, 4});
        win32::PumpUiMessages();
        win32::AdvanceUiClock(1000);
    };
    drag(99);
    EXPECT_EQ(list.GetColumnWidth(0), 100);
    drag(179);
    EXPECT_EQ(list.GetColumnWidth(1), 110);

    HDITEM item{};
    item.mask = HDI_FORMAT;
    item.fmt = HDF_OWNERDRAW;
    header.SetItem(1, &item);
    header.UpdateWindow();
    EXPECT_EQ(header.m_nDrawn, 1);
    EXPECT_EQ(header.m_lastDrawn, 1u);
    header.UnsubclassWindow();
}

class CRowsView : public CListView {
public:
    std::set<int> m_asked;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override {
        cs.style |= LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;
        return CListView::PreCreateWindow(cs);
    }
    void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
        auto* pInfo = reinterpret_cast<NMLVDISPINFO*>(pNMHDR);
        m_asked.insert(pInfo->item.iItem);
        if (pInfo->item.mask & LVIF_TEXT)
            snprintf(pInfo->item.pszText, static_cast<size_t>(pInfo->item.cchTextMax), "row %d", pInfo->item.iItem);
        *pResult = 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRowsView, CListView)
ON_NOTIFY_REFLECT(LVN_GETDISPINFO, &CRowsView::OnGetDispInfo)
END_MESSAGE_MAP()

TEST_F(ListCtrlTest, AListViewIsTheControlAndAnswersItsOwnRequests) {
    auto* pView = new CRowsView; // a view deletes itself with its window
    ASSERT_TRUE(pView->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 380, 200), &m_parent, 1));
    char className[32] = {};
    ::GetClassNameA(pView->GetSafeHwnd(), className, sizeof className);
    EXPECT_STREQ(className, WC_LISTVIEWA);
    CListCtrl& list = pView->GetListCtrl();
    list.InsertColumn(0, "Row", LVCFMT_LEFT, 120);
    list.SetItemCountEx(100000);
    pView->UpdateWindow();
    ASSERT_FALSE(pView->m_asked.empty());
    EXPECT_EQ(*pView->m_asked.begin(), 0);
    EXPECT_LE(*pView->m_asked.rbegin(), list.GetCountPerPage());
    EXPECT_EQ(list.GetItemText(4242, 0), CString("row 4242"));
    pView->DestroyWindow();
}

} // namespace
