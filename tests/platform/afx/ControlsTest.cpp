// Window pieces the main window's panes use: image lists from a bitmap resource, drop targets, classes that
// override OnNotify and OnCommand, tool tips, and HTML Help through the main window.
#include <string>
#include <vector>

#include "WinGdiControl.h"
#include "WinHtmlHelpControl.h"
#include "WinModulesControl.h"
#include "WinResourceTable.h"
#include "afxwin.h"
#include "htmlhelp.h"
#include "platform_afx_tests_embedded.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kImages = 197;

class ControlsTest : public UiTest {
protected:
    void TearDown() override {
        win32::ClearResources();
        win32::ResetModules();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
};

TEST_F(ControlsTest, ImageListFromABitmapWithAMaskColour) {
    win32::RegisterBitmapResource(nullptr, kImages, tdl::embedded::images16_png, tdl::embedded::images16_png_size);
    const size_t gdiBefore = win32::GdiObjectCount();
    {
        CImageList images;
        ASSERT_TRUE(images.Create(kImages, 16, 0, RGB(0, 128, 128)));
        EXPECT_EQ(images.GetImageCount(), 2);
        EXPECT_NE(images.GetSafeHandle(), nullptr);

        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        CBitmap canvas;
        ASSERT_TRUE(canvas.CreateBitmap(16, 16, 1, 32, nullptr));
        CBitmap* pOld = dc.SelectObject(&canvas);
        CRect all(0, 0, 16, 16);
        dc.FillSolidRect(&all, RGB(255, 255, 255));
        ASSERT_TRUE(images.Draw(&dc, 1, CPoint(0, 0), ILD_NORMAL));
        EXPECT_EQ(dc.GetPixel(8, 8), RGB(0, 0, 255));     // the second image
        EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 255, 255)); // the mask colour stays transparent

        CBitmap extra;
        ASSERT_TRUE(extra.CreateBitmap(16, 16, 1, 32, nullptr));
        EXPECT_EQ(images.Add(&extra, RGB(0, 128, 128)), 2);
        EXPECT_EQ(images.GetImageCount(), 3);
        dc.SelectObject(pOld);
        AfxDeleteTempGdiMaps();
    }
    EXPECT_EQ(win32::GdiObjectCount(), gdiBefore);
    CImageList missing;
    EXPECT_FALSE(missing.Create(kImages + 1, 16, 0, RGB(0, 128, 128)));
}

class CFileDropTarget : public COleDropTarget {
public:
    DROPEFFECT OnDragOver(CWnd*, COleDataObject* pData, DWORD, CPoint) override {
        return pData->IsDataAvailable(15) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    BOOL OnDrop(CWnd*, COleDataObject* pData, DROPEFFECT, CPoint point) override {
        m_dropped = pData->GetData(15);
        m_point = point;
        return TRUE;
    }
    std::vector<BYTE> m_dropped;
    CPoint m_point;
};

TEST_F(ControlsTest, DropTargetsTakeTheDragOperationsOfTheirWindow) {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "drop", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    CFileDropTarget target;
    ASSERT_TRUE(target.Register(&wnd));
    CFileDropTarget second;
    EXPECT_FALSE(second.Register(&wnd)); // one target a window

    COleDropTarget* pTarget = AfxDropTargetOf(wnd.m_hWnd);
    ASSERT_EQ(pTarget, &target);
    COleDataObject text;
    text.SetData(1, {'a'});
    EXPECT_EQ(pTarget->OnDragEnter(&wnd, &text, 0, CPoint(1, 1)), static_cast<DROPEFFECT>(DROPEFFECT_NONE));
    EXPECT_EQ(pTarget->OnDragOver(&wnd, &text, 0, CPoint(1, 1)), static_cast<DROPEFFECT>(DROPEFFECT_NONE));
    COleDataObject files;
    files.SetData(15, {'x', 'y'});
    EXPECT_EQ(pTarget->OnDragOver(&wnd, &files, 0, CPoint(2, 3)), static_cast<DROPEFFECT>(DROPEFFECT_COPY));
    EXPECT_TRUE(pTarget->OnDrop(&wnd, &files, DROPEFFECT_COPY, CPoint(2, 3)));
    EXPECT_EQ(target.m_dropped, (std::vector<BYTE>{'x', 'y'}));
    EXPECT_EQ(target.m_point, CPoint(2, 3));
    target.Revoke();
    EXPECT_EQ(AfxDropTargetOf(wnd.m_hWnd), nullptr);
    wnd.DestroyWindow();
}

// A pane that looks at every notification and command before its map does.
class COverridingPane : public CWnd {
public:
    std::vector<std::string> m_seen;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        m_seen.push_back("notify " + std::to_string(reinterpret_cast<NMHDR*>(lParam)->code));
        if (reinterpret_cast<NMHDR*>(lParam)->code == 1) {
            *pResult = 5;
            return TRUE;
        }
        return CWnd::OnNotify(wParam, lParam, pResult);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        m_seen.push_back("command " + std::to_string(LOWORD(wParam)));
        return CWnd::OnCommand(wParam, lParam);
    }
    void OnMapped(NMHDR*, LRESULT* pResult) {
        m_seen.push_back("map");
        *pResult = 6;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(COverridingPane, CWnd)
ON_NOTIFY(2, 9, &COverridingPane::OnMapped)
END_MESSAGE_MAP()

TEST_F(ControlsTest, OnNotifyAndOnCommandAreTheClasssToOverride) {
    COverridingPane pane;
    ASSERT_TRUE(pane.CreateEx(0, nullptr, "pane", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    NMHDR own{nullptr, 9, 1};
    NMHDR mapped{nullptr, 9, 2};
    EXPECT_EQ(pane.SendMessage(WM_NOTIFY, 9, reinterpret_cast<LPARAM>(&own)), 5);
    EXPECT_EQ(pane.SendMessage(WM_NOTIFY, 9, reinterpret_cast<LPARAM>(&mapped)), 6);
    pane.SendMessage(WM_COMMAND, 77, 0);
    EXPECT_EQ(pane.m_seen, (std::vector<std::string>{"notify 1", "notify 2", "map", "command 77"}));
    EXPECT_TRUE(pane.EnableToolTips(TRUE));
    EXPECT_TRUE(pane.m_bToolTipsEnabled);
    pane.DestroyWindow();
}

TEST_F(ControlsTest, HelpGoesThroughTheMainWindow) {
    CFrameWnd* pMain = new CFrameWnd;
    ASSERT_TRUE(pMain->Create(nullptr, "Tindaloft"));
    m_app.m_pMainWnd = pMain;
    m_app.EnableHtmlHelp();
    m_app.HtmlHelp(15); // no "hhctrl": nothing happens
    win32::RegisterHtmlHelpModule();
    m_app.HtmlHelp(15);
    std::vector<win32::HtmlHelpCall> calls = win32::HtmlHelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hwndCaller, pMain->m_hWnd);
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
    EXPECT_EQ(calls[0].data, 15u);
    pMain->DestroyWindow();
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)); // the end of the main window ends the loop
}

TEST_F(ControlsTest, WaitCursorsForAScopeAndInPairs) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    {
        CWaitCursor wait;
        EXPECT_EQ(win32::CurrentCursorName(), "wait");
    }
    EXPECT_EQ(win32::CurrentCursorName(), "arrow");
    CCmdTarget target;
    target.BeginWaitCursor();
    target.BeginWaitCursor();
    target.EndWaitCursor();
    EXPECT_EQ(win32::CurrentCursorName(), "wait"); // one Begin still open
    target.EndWaitCursor();
    EXPECT_EQ(win32::CurrentCursorName(), "arrow");
    target.EndWaitCursor(); // unpaired: nothing
    EXPECT_EQ(win32::CurrentCursorName(), "arrow");
}

TEST_F(ControlsTest, ClientAndWindowDcsDrawIntoTheWindow) {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "dc", WS_POPUP | WS_VISIBLE, CRect(0, 0, 40, 30), nullptr, 0));
    const size_t gdiBefore = win32::GdiObjectCount();
    {
        CClientDC dc(&wnd);
        CRect client;
        wnd.GetClientRect(&client);
        dc.FillSolidRect(&client, RGB(0, 200, 0));
    }
    { CWindowDC dc(&wnd); }
    EXPECT_EQ(win32::GdiObjectCount(), gdiBefore);
    EXPECT_EQ(win32::ClientPixel(wnd.m_hWnd, 5, 5), RGB(0, 200, 0));
    wnd.DestroyWindow();
}

} // namespace
