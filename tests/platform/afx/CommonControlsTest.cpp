// The framework objects of the tree, tab and tooltip controls: typed helpers over the controls' messages, and
// notifications that reach the parent's map or come back to the control's own (reflection).
#include <string>
#include <vector>

#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kTreeId = 110;
constexpr UINT kTabId = 59648;

std::vector<std::string> g_log;

// A tree that keeps a map of its items' data, as the option tree does, and drops entries as items go.
class CMappedTree : public CTreeCtrl {
public:
    std::vector<DWORD_PTR> m_deleted;
    BOOL m_bVetoExpand = FALSE;

    void OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
        m_deleted.push_back(static_cast<DWORD_PTR>(reinterpret_cast<NMTREEVIEW*>(pNMHDR)->itemOld.lParam));
        *pResult = 0;
    }
    BOOL OnItemExpanding(NMHDR*, LRESULT* pResult) {
        *pResult = m_bVetoExpand;
        return FALSE; // the parent hears of it too
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMappedTree, CTreeCtrl)
ON_NOTIFY_REFLECT(TVN_DELETEITEM, &CMappedTree::OnDeleteItem)
ON_NOTIFY_REFLECT_EX(TVN_ITEMEXPANDING, &CMappedTree::OnItemExpanding)
END_MESSAGE_MAP()

// A tab control that shows the page of the selected tab, as the device tree's container does.
class CPagedTabs : public CTabCtrl {
public:
    void OnSelChange(NMHDR*, LRESULT* pResult) {
        TCITEM item{};
        item.mask = TCIF_PARAM;
        GetItem(GetCurSel(), &item);
        m_pShown = reinterpret_cast<CWnd*>(item.lParam);
        *pResult = 0;
    }
    CWnd* m_pShown = nullptr;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPagedTabs, CTabCtrl)
ON_NOTIFY_REFLECT(TCN_SELCHANGE, &CPagedTabs::OnSelChange)
END_MESSAGE_MAP()

class CHostWnd : public CWnd {
public:
    void OnSelChanged(NMHDR* pNMHDR, LRESULT*) {
        auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
        g_log.push_back("selchanged " + std::to_string(nm->action) + " " + std::to_string(nm->itemNew.lParam));
    }
    void OnExpanding(NMHDR*, LRESULT*) { g_log.push_back("expanding"); }
    void OnNeedText(NMHDR* pNMHDR, LRESULT*) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(pNMHDR);
        snprintf(info->szText, sizeof info->szText, "tool %llu", static_cast<unsigned long long>(pNMHDR->idFrom));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostWnd, CWnd)
ON_NOTIFY(TVN_SELCHANGED, kTreeId, &CHostWnd::OnSelChanged)
ON_NOTIFY(TVN_ITEMEXPANDING, kTreeId, &CHostWnd::OnExpanding)
ON_NOTIFY(TTN_NEEDTEXTA, 7, &CHostWnd::OnNeedText)
END_MESSAGE_MAP()

class CommonControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        g_log.clear();
        ASSERT_TRUE(
            m_host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 320, 240), nullptr, 0));
    }
    void TearDown() override {
        if (m_host.m_hWnd)
            m_host.DestroyWindow();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
    CHostWnd m_host;
};

TEST_F(CommonControlsTest, ATreeCtrlReadsWritesAndNotifiesBothWays) {
    const size_t windows = win32::LiveWindowCount();
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 1));
    {
        CMappedTree tree;
        ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                CRect(0, 0, 200, 200), &m_host, kTreeId));
        EXPECT_EQ(tree.SetImageList(&images, TVSIL_NORMAL), nullptr);
        EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL), &images);
        EXPECT_EQ(tree.GetImageList(TVSIL_STATE), nullptr);

        HTREEITEM root = tree.InsertItem(TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, "Computer", 0, 0, 0,
                                         0, 100, TVI_ROOT, TVI_LAST);
        HTREEITEM hub = tree.InsertItem("Root Hub", 2, 2, root);
        tree.SetItemData(hub, 200);
        HTREEITEM port = tree.InsertItem("Port 1", hub);
        tree.SetItemData(port, 300);
        EXPECT_EQ(tree.GetCount(), 3u);
        EXPECT_EQ(tree.GetItemText(hub), CString("Root Hub"));
        EXPECT_TRUE(tree.SetItemText(hub, "SuperSpeed RootHub"));
        EXPECT_EQ(tree.GetItemText(hub), CString("SuperSpeed RootHub"));
        int image = -1, selected = -1;
        EXPECT_TRUE(tree.GetItemImage(hub, image, selected));
        EXPECT_EQ(image, 2);
        EXPECT_EQ(tree.GetItemData(root), 100u);
        EXPECT_TRUE(tree.ItemHasChildren(root));
        EXPECT_FALSE(tree.ItemHasChildren(port));
        EXPECT_EQ(tree.GetChildItem(root), hub);
        EXPECT_EQ(tree.GetParentItem(port), hub);
        EXPECT_EQ(tree.GetRootItem(), root);
        EXPECT_TRUE(tree.SetCheck(port));
        EXPECT_TRUE(tree.GetCheck(port));
        EXPECT_EQ(tree.GetItemState(port, TVIS_STATEIMAGEMASK) >> 12, 2u);
        EXPECT_EQ(tree.GetBkColor(), static_cast<COLORREF>(-1)) << "the default colour";
        tree.SetBkColor(RGB(0, 0, 0));
        EXPECT_EQ(tree.GetBkColor(), RGB(0, 0, 0));

        // The program's selection reaches the parent's map with its action code.
        EXPECT_TRUE(tree.SelectItem(port));
        EXPECT_EQ(tree.GetSelectedItem(), port);
        EXPECT_EQ(g_log, (std::vector<std::string>{"expanding", "expanding", "selchanged 0 300"}));

        // The tree's own veto, taken through reflection, and the parent still hears of the expand.
        tree.Expand(root, TVE_COLLAPSE);
        EXPECT_EQ(tree.GetSelectedItem(), root) << "a collapse takes the caret out of what it hides";
        g_log.clear();
        tree.m_bVetoExpand = TRUE;
        CRect row;
        ASSERT_TRUE(tree.GetItemRect(root, &row, FALSE));
        UINT flags = 0;
        EXPECT_EQ(tree.HitTest(CPoint(9, row.CenterPoint().y), &flags), root);
        EXPECT_EQ(flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
        win32::Click(tree.m_hWnd, {9, row.CenterPoint().y});
        win32::PumpUiMessages();
        EXPECT_EQ(tree.GetItemState(root, TVIS_EXPANDED), 0u);
        EXPECT_EQ(g_log, std::vector<std::string>{"expanding"});

        // Deleting a subtree reaches the tree's own map for every item.
        EXPECT_TRUE(tree.DeleteItem(hub));
        EXPECT_EQ(tree.m_deleted, (std::vector<DWORD_PTR>{300, 200}));
        EXPECT_FALSE(tree.DeleteItem(hub));
    }
    EXPECT_EQ(win32::LiveWindowCount(), windows) << "the object took its window along";
}

TEST_F(CommonControlsTest, ATreeViewIsATreeControlThatPaintsItself) {
    auto* view = new CTreeView;
    ASSERT_TRUE(view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT,
                             CRect(0, 0, 200, 150), &m_host, kTreeId));
    CTreeCtrl& tree = view->GetTreeCtrl();
    HTREEITEM item = tree.InsertItem("Stack 0001");
    tree.SetItemData(item, 42);
    CRect label;
    ASSERT_TRUE(tree.GetItemRect(item, &label, TRUE));
    win32::Click(view->m_hWnd, label.CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(tree.GetSelectedItem(), item);
    // The control, not the view's OnDraw, paints: the focused selection in the highlight colour.
    EXPECT_EQ(win32::ClientPixel(view->m_hWnd, label.left + 1, label.top + 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(g_log, std::vector<std::string>{"selchanged 1 42"});
    view->DestroyWindow(); // deletes itself
}

TEST_F(CommonControlsTest, ATabCtrlCarriesItsPagesAndReflectsTheUsersChange) {
    CPagedTabs tabs;
    ASSERT_TRUE(tabs.Create(WS_VISIBLE | TCS_FOCUSNEVER | TCS_MULTILINE | TCS_HOTTRACK | TCS_BOTTOM,
                            CRect(0, 0, 300, 200), &m_host, kTabId));
    CWnd devices, stacks;
    ASSERT_TRUE(devices.Create(nullptr, "Devices", WS_CHILD, CRect(0, 0, 10, 10), &tabs, 1));
    ASSERT_TRUE(stacks.Create(nullptr, "Stacks", WS_CHILD, CRect(0, 0, 10, 10), &tabs, 2));
    EXPECT_EQ(tabs.InsertItem(TCIF_TEXT | TCIF_PARAM, 0, "Devices", 0, reinterpret_cast<LPARAM>(&devices)), 0);
    EXPECT_EQ(tabs.InsertItem(TCIF_TEXT | TCIF_PARAM, 1, "Stacks", 0, reinterpret_cast<LPARAM>(&stacks)), 1);
    EXPECT_EQ(tabs.InsertItem(TCIF_TEXT, 3, "Nowhere", 0, 0), 2) << "past the end appends";
    EXPECT_TRUE(tabs.DeleteItem(2));
    EXPECT_EQ(tabs.GetItemCount(), 2);
    EXPECT_EQ(tabs.GetCurSel(), 0);

    CRect area(0, 0, 300, 200);
    tabs.AdjustRect(FALSE, &area);
    CRect tab;
    ASSERT_TRUE(tabs.GetItemRect(1, &tab));
    EXPECT_LT(area.bottom, tab.top) << "the tabs lie under the page";
    EXPECT_EQ(tabs.SetCurSel(1), 0);
    EXPECT_EQ(tabs.m_pShown, nullptr) << "the program's change is not notified";
    tabs.SetCurSel(0);
    TCHITTESTINFO hit{tab.CenterPoint(), 0};
    EXPECT_EQ(tabs.HitTest(&hit), 1);
    win32::Click(tabs.m_hWnd, tab.CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(tabs.m_pShown, &stacks);
    EXPECT_NE(CWnd::GetFocus(), &tabs) << "TCS_FOCUSNEVER";
    devices.DestroyWindow();
    stacks.DestroyWindow();
}

TEST_F(CommonControlsTest, AToolTipCtrlShowsItsToolsTextAfterRelayedHovering) {
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&m_host));
    tips.SetMaxTipWidth(400);
    EXPECT_EQ(tips.GetMaxTipWidth(), 400);
    CRect area(10, 10, 100, 50);
    ASSERT_TRUE(tips.AddTool(&m_host, LPSTR_TEXTCALLBACK, &area, 7));
    ASSERT_TRUE(tips.AddTool(&m_host, "fixed", CRect(120, 10, 200, 50), 8));
    EXPECT_EQ(tips.GetToolCount(), 2);
    CString text;
    tips.GetText(text, &m_host, 7);
    EXPECT_EQ(text, CString("tool 7")) << "asked of the host through its message map";
    tips.UpdateTipText("changed", &m_host, 8);
    tips.GetText(text, &m_host, 8);
    EXPECT_EQ(text, CString("changed"));
    TOOLINFOA found{};
    EXPECT_TRUE(tips.HitTest(&m_host, CPoint(130, 20), &found));
    EXPECT_EQ(found.uId, 8u);

    MSG move{m_host.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20), 0, {}};
    tips.RelayEvent(&move);
    win32::AdvanceUiClock(static_cast<ULONG>(tips.GetDelayTime(TTDT_INITIAL)));
    EXPECT_TRUE(tips.IsWindowVisible());
    tips.Pop();
    EXPECT_FALSE(tips.IsWindowVisible());
    tips.DelTool(&m_host, 7);
    EXPECT_EQ(tips.GetToolCount(), 1);
}

} // namespace
