#include "app/widgets/OX3DTabViewContainer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kContainerId = 500;
constexpr UINT kPageNotice = 0x7001;
constexpr UINT kPageCommand = 0x6123;

class PageView : public CView {
    DECLARE_DYNCREATE(PageView)
public:
    bool initialised = false;
    void OnInitialUpdate() override { initialised = true; }
    void OnDraw(CDC*) override {}
};
IMPLEMENT_DYNCREATE(PageView, CView)

// A view whose window refuses to be made; like any view it deletes itself as that window goes.
class RefusedView : public CView {
    DECLARE_DYNCREATE(RefusedView)
public:
    void OnDraw(CDC*) override {}
    int OnCreate(LPCREATESTRUCT) { return -1; }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(RefusedView, CView)
BEGIN_MESSAGE_MAP(RefusedView, CView)
ON_WM_CREATE()
END_MESSAGE_MAP()

// A frame that keeps what reaches it from the pages through the container.
class NoticeFrame : public CFrameWnd {
public:
    std::vector<UINT> notices;
    std::vector<WPARAM> commands;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->code == kPageNotice) {
            notices.push_back(hdr->code);
            *pResult = 77;
            return TRUE;
        }
        return CFrameWnd::OnNotify(wParam, lParam, pResult);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (LOWORD(wParam) == kPageCommand) {
            commands.push_back(wParam);
            return TRUE;
        }
        return CFrameWnd::OnCommand(wParam, lParam);
    }
};

class OX3DTabViewContainerTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_frame = new NoticeFrame; // deletes itself with its window
        ASSERT_TRUE(m_frame->Create(nullptr, "Device tree", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 360, 280)));
        ASSERT_TRUE(m_container.Create(WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | TCS_BOTTOM,
                                       CRect(0, 0, 340, 230), m_frame, kContainerId));
    }
    void TearDown() override {
        m_frame->DestroyWindow();
        m_pages.clear();
        UiTest::TearDown();
    }
    CWnd* MakePage(UINT id = 0) {
        auto page = std::make_unique<CWnd>();
        EXPECT_TRUE(page->CreateEx(0, AfxRegisterWndClass(0, nullptr, ::GetSysColorBrush(COLOR_WINDOW)), "",
                                   WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), m_frame,
                                   id ? id : m_container.GetUniquePageId()));
        m_pages.push_back(std::move(page));
        return m_pages.back().get();
    }
    // The shown page and the selected tab agree with the active index.
    void ExpectShown(CWnd* page) {
        const int index = m_container.FindPage(page);
        EXPECT_EQ(index, m_container.GetActivePageIndex());
        EXPECT_EQ(index, m_container.GetCurSel());
        for (int i = 0; i < m_container.GetPageCount(); ++i)
            EXPECT_EQ(i == index, m_container.GetPage(i)->IsWindowVisible() != FALSE) << i;
    }

    NoticeFrame* m_frame = nullptr;
    COX3DTabViewContainer m_container;
    std::vector<std::unique_ptr<CWnd>> m_pages;
};

TEST_F(OX3DTabViewContainerTest, InsertsAndDeletesKeepTheSamePageShown) {
    CWnd* a = MakePage();
    CWnd* b = MakePage();
    CWnd* c = MakePage();
    EXPECT_TRUE(m_container.InsertPage(0, a, "Devices"));
    EXPECT_TRUE(m_container.InsertPage(1, b, "Stacks", -1, 0, FALSE));
    EXPECT_FALSE(m_container.InsertPage(3, c, "Drivers")); // count + 1
    EXPECT_FALSE(m_container.InsertPage(-1, c, "Drivers"));
    EXPECT_FALSE(m_container.InsertPage(2, nullptr, "Drivers"));
    EXPECT_TRUE(m_container.InsertPage(2, c, "Drivers", -1, 0, FALSE)); // count: appended
    EXPECT_EQ(3, m_container.GetPageCount());
    EXPECT_EQ(c, m_container.GetPage(2));
    EXPECT_EQ(m_container.m_hWnd, ::GetParent(c->m_hWnd));
    EXPECT_TRUE(c->GetStyle() & WS_TABSTOP);
    ExpectShown(a);

    ASSERT_TRUE(m_container.SetActivePageIndex(1));
    ExpectShown(b);
    EXPECT_TRUE(m_container.SetActivePageIndex(1)); // again: nothing changes
    ExpectShown(b);
    EXPECT_FALSE(m_container.SetActivePageIndex(3));

    CWnd* d = MakePage();
    ASSERT_TRUE(m_container.InsertPage(0, d, "Before", -1, 0, FALSE));
    ExpectShown(b);
    ASSERT_TRUE(m_container.DeletePage(1, TRUE)); // a, before the active one
    ExpectShown(b);
    EXPECT_FALSE(m_container.DeletePage(3));

    ASSERT_TRUE(m_container.SetActivePageIndex(2)); // c, the last
    ASSERT_TRUE(m_container.DeletePage(2));
    ExpectShown(d); // the first takes over
    ASSERT_TRUE(m_container.DeletePage(1));
    ASSERT_TRUE(m_container.DeletePage(0));
    EXPECT_EQ(-1, m_container.GetActivePageIndex());
    EXPECT_EQ(0, m_container.GetPageCount());
}

TEST_F(OX3DTabViewContainerTest, PageIdsComeBackLastInFirstOut) {
    CWnd* one = MakePage();
    CWnd* two = MakePage();
    EXPECT_EQ(1, one->GetDlgCtrlID());
    EXPECT_EQ(2, two->GetDlgCtrlID());
    m_container.InsertPage(0, one, "one");
    m_container.InsertPage(1, two, "two");
    m_container.DeletePageByWindow(one);
    m_container.DeletePageByWindow(two);
    EXPECT_FALSE(m_container.DeletePageByWindow(two));
    EXPECT_EQ(2u, m_container.GetUniquePageId());
    EXPECT_EQ(1u, m_container.GetUniquePageId());
    EXPECT_EQ(3u, m_container.GetUniquePageId());
}

TEST_F(OX3DTabViewContainerTest, ViewPageFollowsTheFramesActiveView) {
    ASSERT_TRUE(m_container.InsertViewPage(0, RUNTIME_CLASS(PageView), nullptr, "View"));
    auto* view = dynamic_cast<PageView*>(m_container.GetPage(0));
    ASSERT_NE(nullptr, view);
    EXPECT_TRUE(view->initialised);
    EXPECT_EQ(view, m_frame->GetActiveView());
    EXPECT_FALSE(m_container.InsertViewPage(0, RUNTIME_CLASS(CObject), nullptr, "Not a window"));
    // The refused view is gone with its window: the container neither deletes it again nor keeps its id.
    EXPECT_FALSE(m_container.InsertViewPage(0, RUNTIME_CLASS(RefusedView), nullptr, "Refused"));
    EXPECT_EQ(1, m_container.GetPageCount());

    CWnd* plain = MakePage();
    ASSERT_TRUE(m_container.InsertPage(1, plain, "Plain"));
    EXPECT_EQ(nullptr, m_frame->GetActiveView());
    ASSERT_TRUE(m_container.SetActivePageIndex(0));
    EXPECT_EQ(view, m_frame->GetActiveView());
}

TEST_F(OX3DTabViewContainerTest, DragOverATabActivatesItAndDropsNothing) {
    m_container.InsertPage(0, MakePage(), "Devices");
    m_container.InsertPage(1, MakePage(), "Stacks", -1, 0, FALSE);
    COleDropTarget* target = AfxDropTargetOf(m_container.m_hWnd);
    ASSERT_NE(nullptr, target);
    CRect tab;
    m_container.GetItemRect(1, &tab);
    EXPECT_EQ(DROPEFFECT_NONE, target->OnDragEnter(&m_container, nullptr, 0, tab.CenterPoint()));
    EXPECT_EQ(1, m_container.GetActivePageIndex());
    // Still over the same tab after the user picked another one: the hovered tab is not forced again.
    m_container.SetActivePageIndex(0);
    EXPECT_EQ(DROPEFFECT_NONE, target->OnDragOver(&m_container, nullptr, 0, tab.CenterPoint()));
    EXPECT_EQ(0, m_container.GetActivePageIndex());
    target->OnDragLeave(&m_container);
    target->OnDragOver(&m_container, nullptr, 0, tab.CenterPoint());
    EXPECT_EQ(1, m_container.GetActivePageIndex());
}

TEST_F(OX3DTabViewContainerTest, FillerSitsBesideALoneWideTabOnly) {
    m_container.MoveWindow(CRect(0, 0, 150, 200));
    CWnd* page = MakePage();
    ASSERT_TRUE(m_container.InsertPage(0, page, "A rather long page title"));
    CRect tab, window;
    m_container.GetItemRect(0, &tab);
    m_container.GetWindowRect(&window);
    ASSERT_GE(tab.Width() + 50, window.Width());
    EXPECT_EQ(1, m_container.GetFillerIndex());
    EXPECT_EQ(2, m_container.GetItemCount());
    EXPECT_EQ(1, m_container.GetPageCount());
    EXPECT_EQ(nullptr, m_container.GetPage(1));
    EXPECT_FALSE(m_container.SetActivePageIndex(1));

    CRect filler;
    m_container.GetItemRect(1, &filler);
    win32::Click(m_container.m_hWnd, filler.CenterPoint());
    win32::PumpUiMessages();
    ExpectShown(page);

    m_container.MoveWindow(CRect(0, 0, 340, 230)); // the tab no longer fills the strip
    win32::PumpUiMessages();
    EXPECT_EQ(0, m_container.GetFillerIndex());
    EXPECT_EQ(1, m_container.GetItemCount());

    m_container.MoveWindow(CRect(0, 0, 150, 200));
    win32::PumpUiMessages();
    ASSERT_EQ(1, m_container.GetFillerIndex());
    CWnd* second = MakePage();
    ASSERT_TRUE(m_container.InsertPage(1, second, "Second", -1, 0, FALSE));
    EXPECT_EQ(0, m_container.GetFillerIndex());
    EXPECT_EQ(2, m_container.GetItemCount());
    EXPECT_EQ(second, m_container.GetPage(1));
}

TEST_F(OX3DTabViewContainerTest, PageMessagesTheContainerLeavesGoOnToItsParent) {
    CWnd* page = MakePage();
    m_container.InsertPage(0, page, "Page");
    NMHDR hdr{page->m_hWnd, static_cast<UINT_PTR>(page->GetDlgCtrlID()), kPageNotice};
    EXPECT_EQ(77, m_container.SendMessage(WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr)));
    m_container.SendMessage(WM_COMMAND, MAKEWPARAM(kPageCommand, BN_CLICKED), reinterpret_cast<LPARAM>(page->m_hWnd));
    EXPECT_EQ(std::vector<UINT>{kPageNotice}, m_frame->notices);
    ASSERT_EQ(1u, m_frame->commands.size());
    EXPECT_EQ(MAKEWPARAM(kPageCommand, BN_CLICKED), m_frame->commands[0]);
}

TEST_F(OX3DTabViewContainerTest, PicturePlacesTheActivePageInsideTheStrip) {
    m_container.InsertPage(0, MakePage(), "Devices");
    m_container.InsertPage(1, MakePage(), "Stacks", -1, 0, FALSE);
    m_container.InsertPage(2, MakePage(), "Drivers", -1, 0, FALSE);
    win32::PumpUiMessages();
    EXPECT_TRUE(tdl::test::SavePicture(m_frame->m_hWnd, "tab_view_container.png"));
    const CRect page = m_container.GetPageRect();
    CRect tab;
    m_container.GetItemRect(0, &tab);
    EXPECT_LE(page.bottom, tab.top); // tabs at the bottom, the page above them
    CRect placed;
    m_container.GetActivePage()->GetWindowRect(&placed);
    ::MapWindowPoints(nullptr, m_container.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(page, placed);
    EXPECT_EQ(::GetSysColor(COLOR_WINDOW),
              win32::ClientPixel(m_container.m_hWnd, page.CenterPoint().x, page.CenterPoint().y));
}

TEST_F(OX3DTabViewContainerTest, OtherClassNamesMakeTheDefaultStripAndFocusGoesToThePage) {
    COX3DTabViewContainer other;
    ASSERT_TRUE(other.Create("AnyClass", "Device tree", WS_CHILD, CRect(0, 0, 200, 120), m_frame, 501));
    EXPECT_EQ(COX3DTabViewContainer::kDefaultStyle, other.GetStyle() & 0xFFFFFFFF);
    char title[32] = {};
    ::GetWindowTextA(other.m_hWnd, title, sizeof title);
    EXPECT_STREQ("Device tree", title);
    EXPECT_NE(nullptr, AfxDropTargetOf(other.m_hWnd));

    CWnd* page = MakePage();
    other.InsertPage(0, page, "Page");
    other.SetFocus();
    EXPECT_EQ(page->m_hWnd, ::GetFocus());
    other.DestroyWindow();
    EXPECT_FALSE(::IsWindow(page->m_hWnd)); // pages go with the container
}

TEST_F(OX3DTabViewContainerTest, BorderIsTakenOffTheClientAndPaintedWithTheFace) {
    m_container.InsertPage(0, MakePage(), "Devices");
    m_container.SetBorderWidth(4);
    m_container.SetWindowPos(nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    win32::PumpUiMessages();
    CRect client, window;
    m_container.GetClientRect(&client);
    m_container.GetWindowRect(&window);
    EXPECT_EQ(window.Width() - 8, client.Width());
    EXPECT_EQ(window.Height() - 8, client.Height());
    EXPECT_TRUE(tdl::test::SavePicture(m_frame->m_hWnd, "tab_view_container_border.png"));
    CRect frameWindow;
    m_frame->GetWindowRect(&frameWindow);
    const COLORREF border = win32::PicturePixel(m_frame->m_hWnd, window.left - frameWindow.left + 1,
                                                window.top - frameWindow.top + window.Height() / 2);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), border);
}

} // namespace
