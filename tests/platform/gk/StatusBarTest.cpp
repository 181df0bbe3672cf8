// The status bar in a frame: indicators from the string table, pane styles, widths, texts and layout, panes
// that draw themselves, idle updates through the command routing, the framework's bar toggle, and the
// message pane as the bar's window text.
#include <gtest/gtest.h>

#include "GkStatusBar.h"
#include "GkTestSupport.h"
#include "GkTextMeasure.h"
#include "WinUiControl.h"

namespace {

constexpr UINT kIndicators[] = {ID_SEPARATOR, 120, 140, 137, 138, 121};
constexpr UINT kLedId = 6;
constexpr COLORREF kKeyColor = 0x808000;

// An 11 x 11 picture, teal around a red square, drawn with its teal showing what lies under it: a monochrome
// mask from the key colour, the target ANDed with it, then the picture with its key pixels blackened ORed in.
class CLedPane : public CGkStatusBarPane {
public:
    int m_nDraws = 0;
    void OnDraw(CDC* pDC, CRect rcItem) override {
        ++m_nDraws;
        constexpr int kSize = 11;
        CRect rc = rcItem;
        CGkStatusBar* pBar = GetStatusBar();
        rc.DeflateRect(pBar->GetHorzBorder(), pBar->GetVertBorder() + 1);
        int x = rc.left + (rc.Width() - kSize) / 2;
        int y = rc.top + (rc.Height() - kSize) / 2;

        CDC imageDC, maskDC;
        imageDC.CreateCompatibleDC(pDC);
        maskDC.CreateCompatibleDC(pDC);
        CBitmap image, mask;
        image.CreateCompatibleBitmap(pDC, kSize, kSize);
        mask.CreateBitmap(kSize, kSize, 1, 1, nullptr);
        CBitmap* pOldImage = imageDC.SelectObject(&image);
        CBitmap* pOldMask = maskDC.SelectObject(&mask);
        imageDC.FillSolidRect(CRect(0, 0, kSize, kSize), kKeyColor);
        imageDC.FillSolidRect(CRect(3, 3, 8, 8), RGB(255, 0, 0));
        imageDC.SetBkColor(kKeyColor);
        maskDC.BitBlt(0, 0, kSize, kSize, &imageDC, 0, 0, SRCCOPY); // key pixels 1, the rest 0
        imageDC.SetBkColor(RGB(0, 0, 0));
        imageDC.SetTextColor(RGB(255, 255, 255));
        imageDC.BitBlt(0, 0, kSize, kSize, &maskDC, 0, 0, SRCAND); // key pixels black
        pDC->SetBkColor(RGB(255, 255, 255));
        pDC->SetTextColor(RGB(0, 0, 0));
        pDC->BitBlt(x, y, kSize, kSize, &maskDC, 0, 0, SRCAND);
        pDC->BitBlt(x, y, kSize, kSize, &imageDC, 0, 0, SRCPAINT);
        imageDC.SelectObject(pOldImage);
        maskDC.SelectObject(pOldMask);
    }
};

class CTestFrame : public CFrameWnd {
public:
    CGkStatusBar m_wndStatusBar;
    BOOL m_bWrap = TRUE;
    BOOL m_bTriggerOn = FALSE;
    BOOL m_bFilter = FALSE;
    BOOL m_bHandleDiag = FALSE;

    void OnUpdateWrap(CCmdUI* pCmdUI) { pCmdUI->Enable(m_bWrap); }
    void OnUpdateTrigger(CCmdUI* pCmdUI) { pCmdUI->SetText(m_bTriggerOn ? "TRIG" : ""); }
    void OnUpdateFilter(CCmdUI* pCmdUI) {
        pCmdUI->Enable(m_bFilter);
        pCmdUI->SetCheck(m_bFilter);
    }
    void OnUpdateDiag(CCmdUI* pCmdUI) {
        if (m_bHandleDiag)
            pCmdUI->Enable(FALSE);
        else
            pCmdUI->ContinueRouting();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
ON_UPDATE_COMMAND_UI(120, &CTestFrame::OnUpdateWrap)
ON_UPDATE_COMMAND_UI(140, &CTestFrame::OnUpdateTrigger)
ON_UPDATE_COMMAND_UI(137, &CTestFrame::OnUpdateFilter)
ON_UPDATE_COMMAND_UI(121, &CTestFrame::OnUpdateDiag)
END_MESSAGE_MAP()

// Records what an update handler did.
class CRecordingCmdUI : public CCmdUI {
public:
    int m_nCheck = -1;
    void SetCheck(int nCheck) override { m_nCheck = nCheck; }
};

class StatusBarTest : public gk_test::GkWindowTest {
protected:
    void SetUp() override {
        GkWindowTest::SetUp();
        AfxRegisterString(120, "WRAP");
        AfxRegisterString(140, "TRIG");
        AfxRegisterString(137, "FILT");
        AfxRegisterString(138, "CAPT");
        AfxRegisterString(121, "DIAG");
        m_pFrame = new CTestFrame;
        ASSERT_TRUE(m_pFrame->Create(nullptr, "frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 480, 160)));
        ASSERT_TRUE(Bar().Create(m_pFrame, 0x50008200, AFX_IDW_STATUS_BAR));
        ASSERT_TRUE(Bar().SetIndicators(kIndicators, 6));
        for (int i = 1; i <= 5; ++i)
            Bar().SetPaneStyle(i, Bar().GetPaneStyle(i) | SBPS_POPOUT);
        m_pLed = static_cast<CLedPane*>(Bar().AddIndicator(new CLedPane, kLedId, Bar().GetPaneCount()));
        ASSERT_NE(m_pLed, nullptr);
        Bar().SetPaneWidth(Bar().CommandToIndex(kLedId), 15);
        Bar().SetPaneStyle(Bar().CommandToIndex(kLedId), Bar().GetPaneStyle(6) | SBPS_NOBORDERS);
        m_pFrame->RecalcLayout();
        win32::PumpUiMessages();
    }
    void TearDown() override {
        if (m_pFrame)
            m_pFrame->DestroyWindow(); // the frame deletes itself
        GkWindowTest::TearDown();
    }
    CGkStatusBar& Bar() { return m_pFrame->m_wndStatusBar; }
    void IdleUpdate() {
        m_pFrame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
        win32::PumpUiMessages();
    }
    CRect PaneRect(int nIndex) {
        CRect rc;
        Bar().GetItemRect(nIndex, &rc);
        return rc;
    }

    CTestFrame* m_pFrame = nullptr;
    CLedPane* m_pLed = nullptr;
};

TEST_F(StatusBarTest, IndicatorsComeFromTheStringTable) {
    ASSERT_EQ(Bar().GetPaneCount(), 7);
    struct {
        UINT nID;
        int nIndex;
    } const lookups[] = {{0, 0}, {120, 1}, {140, 2}, {137, 3}, {138, 4}, {121, 5}, {kLedId, 6}, {999, -1}};
    for (const auto& l : lookups)
        EXPECT_EQ(Bar().CommandToIndex(l.nID), l.nIndex) << l.nID;

    // Text and width from the string of each id, in the bar's font.
    CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
    CString strExpected = "0 id=0 style=0x08000100 width=0 text=\"\" color=default lit\n";
    const char* const texts[] = {"WRAP", "TRIG", "FILT", "CAPT", "DIAG"};
    for (int i = 1; i <= 5; ++i) {
        int cx = measure.GetTextExtent(texts[i - 1]).cx;
        EXPECT_GT(cx, 10);
        CString strLine;
        strLine.Format("%d id=%u style=0x00000200 width=%d text=\"%s\" color=default lit\n", i, kIndicators[i], cx,
                       texts[i - 1]);
        strExpected += strLine;
    }
    strExpected += "6 id=6 style=0x00000100 width=15 text=\"\" color=default lit\n";
    EXPECT_STREQ(Bar().DumpPanes().GetString(), strExpected.GetString());

    // One id without a string fails the whole call and leaves the panes as they were.
    const UINT bad[] = {ID_SEPARATOR, 120, 555};
    EXPECT_FALSE(Bar().SetIndicators(bad, 3));
    EXPECT_STREQ(Bar().DumpPanes().GetString(), strExpected.GetString());

    // Texts, styles and widths per pane; indexes outside the bar are refused.
    EXPECT_TRUE(Bar().SetPaneText(3, "F!"));
    EXPECT_EQ(Bar().GetPaneText(3), "F!");
    EXPECT_FALSE(Bar().SetPaneText(7, "x"));
    EXPECT_FALSE(Bar().SetPaneText(-1, "x"));
    EXPECT_EQ(Bar().GetPaneText(7), "");
    EXPECT_EQ(Bar().GetPane(7), nullptr);
    Bar().SetPaneStyle(4, SBPS_NORMAL);
    EXPECT_EQ(Bar().GetPaneStyle(4), static_cast<UINT>(SBPS_NORMAL));
    EXPECT_EQ(Bar().GetPane(6)->GetWidth(), 15);
    EXPECT_EQ(Bar().GetPane(6), m_pLed);
    EXPECT_EQ(m_pLed->GetID(), kLedId);

    // A bar whose window cannot be made says so.
    CGkStatusBar other;
    win32::FailUiCalls(win32::UiFailure::CreateWindow, 1);
    EXPECT_FALSE(other.Create(m_pFrame, 0x50008200, 59394));
    win32::ClearUiFailures();
}

TEST_F(StatusBarTest, PanesAreLaidOutInARowAlongTheBottom) {
    CRect rcFrame, rcBar;
    m_pFrame->GetClientRect(&rcFrame);
    Bar().GetWindowRect(&rcBar);
    m_pFrame->ScreenToClient(&rcBar);
    EXPECT_EQ(rcBar.bottom, rcFrame.bottom);
    EXPECT_EQ(rcBar.Height(), Bar().GetBarHeight());
    EXPECT_EQ(rcBar.Width(), rcFrame.Width());
    EXPECT_EQ(Bar().GetHorzBorder(), 3);
    EXPECT_EQ(Bar().GetVertBorder(), 1);

    CRect rcClient;
    Bar().GetClientRect(&rcClient);
    int x = 0;
    for (int i = 0; i < Bar().GetPaneCount(); ++i) {
        CRect rc = PaneRect(i);
        EXPECT_EQ(rc.left, x) << i;
        EXPECT_EQ(rc.top, 2) << i;
        EXPECT_EQ(rc.bottom, rcClient.bottom - 1) << i;
        if (i > 0)
            EXPECT_EQ(rc.Width(), Bar().GetPane(i)->GetWidth() + 6) << i;
        x = rc.right + 2;
    }
    // The message pane takes the rest, up to the size grip of the sizable frame.
    EXPECT_EQ(Bar().GetSizeGripRect(), CRect(rcClient.right - GK_STATUSBAR_GRIP, 0, rcClient.right, rcClient.bottom));
    EXPECT_EQ(PaneRect(6).right, rcClient.right - GK_STATUSBAR_GRIP);
    EXPECT_EQ(m_pLed->GetRect(), PaneRect(6));

    const int nMessageWidth = PaneRect(0).Width();
    const int nOldWidth = PaneRect(1).Width();
    Bar().SetPaneWidth(1, 60);
    EXPECT_EQ(PaneRect(1).Width(), 66);
    EXPECT_EQ(PaneRect(0).Width(), nMessageWidth - (66 - nOldWidth));

    // A maximised frame cannot be sized from its corner: no grip, and the panes reach the bar's end.
    m_pFrame->ShowWindow(SW_SHOWMAXIMIZED);
    win32::PumpUiMessages();
    Bar().GetClientRect(&rcClient);
    EXPECT_TRUE(Bar().GetSizeGripRect().IsRectEmpty());
    EXPECT_EQ(PaneRect(6).right, rcClient.right);
}

TEST_F(StatusBarTest, PanesAreSunkenWithAMarginAndTheSizableFrameHasASizeGrip) {
    tdl::test::Picture picture(Bar().m_hWnd, "gk_statusbar_panes.png");
    ASSERT_TRUE(picture.IsValid());
    for (int i = 1; i <= 5; ++i) {
        // Sunken, whatever the pane's pop-out style: dark on the top and left, light on the bottom and right.
        CRect rc = PaneRect(i);
        const CPoint mid = rc.CenterPoint();
        EXPECT_EQ(picture.Client(mid.x, rc.top), ::GetSysColor(COLOR_BTNSHADOW)) << i;
        EXPECT_EQ(picture.Client(rc.left, mid.y), ::GetSysColor(COLOR_BTNSHADOW)) << i;
        EXPECT_EQ(picture.Client(mid.x, rc.bottom - 1), ::GetSysColor(COLOR_BTNHIGHLIGHT)) << i;
        EXPECT_EQ(picture.Client(rc.right - 1, mid.y), ::GetSysColor(COLOR_BTNHIGHLIGHT)) << i;
    }
    // "WRAP" keeps a margin of the face between its ink and the pane's edge on both sides.
    CRect rcWrap = PaneRect(1);
    int inkLeft = rcWrap.right, inkRight = rcWrap.left;
    for (int y = rcWrap.top + 1; y < rcWrap.bottom - 1; ++y)
        for (int x = rcWrap.left + 1; x < rcWrap.right - 1; ++x)
            if (tdl::test::IsDark(picture.Client(x, y))) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x + 1);
            }
    ASSERT_LT(inkLeft, inkRight);
    EXPECT_GE(inkLeft - (rcWrap.left + 1), 2);
    EXPECT_GE((rcWrap.right - 1) - inkRight, 2);
    // The grip's three strokes in the bar's bottom-right corner, and the sizing cursor over it.
    const CRect rcGrip = Bar().GetSizeGripRect();
    ASSERT_FALSE(rcGrip.IsRectEmpty());
    EXPECT_GT(picture.Count(rcGrip, [](COLORREF c) { return c == ::GetSysColor(COLOR_BTNSHADOW); }), 20);
    EXPECT_GT(picture.Count(rcGrip, [](COLORREF c) { return c == ::GetSysColor(COLOR_BTNHIGHLIGHT); }), 10);
    win32::MouseMove(Bar().m_hWnd, CPoint(rcGrip.right - 3, rcGrip.bottom - 3));
    win32::PumpUiMessages();
    EXPECT_EQ(win32::CurrentCursorName(), "sizenwse");
}

TEST_F(StatusBarTest, AnAddedPaneDrawsInItsRectangleAndRedrawsAlone) {
    tdl::test::Picture picture(Bar().m_hWnd, "gk_statusbar.png");
    ASSERT_TRUE(picture.IsValid());
    CRect rcLed = PaneRect(6);
    CPoint center((rcLed.left + rcLed.right) / 2, (rcLed.top + rcLed.bottom) / 2);
    auto toBar = [&](CPoint pt) { return picture.Client(pt.x, pt.y); };
    EXPECT_EQ(toBar(center), RGB(255, 0, 0));
    // The key colour shows the bar's background, and is nowhere in the pane.
    EXPECT_EQ(toBar(CPoint(center.x - 5, center.y - 5)), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(toBar(CPoint(center.x + 5, center.y + 5)), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(picture.Count(rcLed, [](COLORREF clr) { return clr == kKeyColor; }), 0);
    EXPECT_EQ(picture.Count(rcLed, [](COLORREF clr) { return clr == RGB(255, 0, 0); }), 25);

    // Redraw repaints that pane and no other.
    auto* pOther = static_cast<CLedPane*>(Bar().AddIndicator(new CLedPane, 7, 1));
    Bar().SetPaneWidth(1, 15);
    win32::PumpUiMessages();
    ASSERT_GT(pOther->m_nDraws, 0);
    m_pLed->m_nDraws = pOther->m_nDraws = 0;
    m_pLed->Redraw();
    win32::PumpUiMessages();
    EXPECT_EQ(m_pLed->m_nDraws, 1);
    EXPECT_EQ(pOther->m_nDraws, 0);
    Bar().SetPaneText(0, "Ready");
    win32::PumpUiMessages();
    EXPECT_EQ(m_pLed->m_nDraws, 1);
    EXPECT_EQ(pOther->m_nDraws, 0);
}

TEST_F(StatusBarTest, IdleUpdatesLightDimAndSetTheIndicators) {
    Bar().GetPane(4)->SetEnabled(FALSE); // CAPT: no handler anywhere
    Bar().SetPaneText(4, "CAPT?");
    m_pFrame->m_bWrap = FALSE;
    IdleUpdate();
    EXPECT_FALSE(Bar().GetPane(1)->IsEnabled());
    EXPECT_EQ(Bar().GetPaneText(2), ""); // trigger off
    EXPECT_FALSE(Bar().GetPane(3)->IsEnabled());
    EXPECT_EQ(Bar().GetPaneStyle(3) & SBPS_POPOUT, 0u); // unchecked
    EXPECT_FALSE(Bar().GetPane(4)->IsEnabled());        // kept
    EXPECT_EQ(Bar().GetPaneText(4), "CAPT?");
    EXPECT_TRUE(Bar().GetPane(5)->IsEnabled()); // its handler passed it on: kept

    m_pFrame->m_bWrap = TRUE;
    m_pFrame->m_bTriggerOn = TRUE;
    m_pFrame->m_bFilter = TRUE;
    m_pFrame->m_bHandleDiag = TRUE;
    Bar().GetPane(2)->SetTextColor(RGB(255, 0, 0));
    IdleUpdate();
    EXPECT_TRUE(Bar().GetPane(1)->IsEnabled());
    EXPECT_EQ(Bar().GetPaneText(2), "TRIG");
    EXPECT_TRUE(Bar().GetPane(3)->IsEnabled());
    EXPECT_NE(Bar().GetPaneStyle(3) & SBPS_POPOUT, 0u);
    EXPECT_FALSE(Bar().GetPane(5)->IsEnabled());
    EXPECT_NE(Bar().DumpPanes().Find("2 id=140 style=0x00000200 width="), -1);
    EXPECT_NE(Bar().DumpPanes().Find("text=\"TRIG\" color=0x0000FF lit\n"), -1);
    EXPECT_NE(Bar().DumpPanes().Find("text=\"DIAG\" color=default dim\n"), -1);

    // The text colour shows; a dimmed pane shows no text.
    tdl::test::Picture picture(Bar().m_hWnd, "gk_statusbar_idle.png");
    CRect rcTrig = PaneRect(2);
    rcTrig.DeflateRect(2, 2);
    EXPECT_GT(picture.Count(rcTrig, tdl::test::IsReddish), 5);
    CRect rcWrap = PaneRect(1);
    rcWrap.DeflateRect(2, 2);
    EXPECT_GT(picture.Count(rcWrap, tdl::test::IsDark), 5);
    CRect rcDiag = PaneRect(5);
    rcDiag.DeflateRect(2, 2);
    EXPECT_EQ(picture.Count(rcDiag, tdl::test::IsDark), 0);
}

TEST_F(StatusBarTest, TheFrameToggleHidesAndShowsTheBar) {
    CRecordingCmdUI ui;
    ui.m_nID = ID_VIEW_STATUS_BAR;
    ui.DoUpdate(m_pFrame, FALSE);
    EXPECT_EQ(ui.m_nCheck, 1);

    m_pFrame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(Bar().IsWindowVisible());
    ui.DoUpdate(m_pFrame, FALSE);
    EXPECT_EQ(ui.m_nCheck, 0);

    m_pFrame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(Bar().IsWindowVisible());
    ui.DoUpdate(m_pFrame, FALSE);
    EXPECT_EQ(ui.m_nCheck, 1);
}

TEST_F(StatusBarTest, WindowTextIsTheMessagePane) {
    ::SetWindowTextA(Bar().m_hWnd, "Ready");
    EXPECT_EQ(Bar().GetPaneText(0), "Ready");
    char szText[32] = {};
    EXPECT_EQ(::GetWindowTextA(Bar().m_hWnd, szText, sizeof(szText)), 5);
    EXPECT_STREQ(szText, "Ready");
    EXPECT_EQ(::GetWindowTextLengthA(Bar().m_hWnd), 5);
    char szShort[4] = {};
    EXPECT_EQ(::GetWindowTextA(Bar().m_hWnd, szShort, sizeof(szShort)), 3);
    EXPECT_STREQ(szShort, "Rea");

    CRect rcMessage = PaneRect(0);
    EXPECT_GT(tdl::test::Picture(Bar().m_hWnd, "gk_statusbar_message.png").Count(rcMessage, tdl::test::IsDark), 10);
    m_pFrame->SetMessageText("Capturing");
    EXPECT_EQ(Bar().GetPaneText(0), "Capturing");
    ::SetWindowTextA(Bar().m_hWnd, "");
    EXPECT_EQ(tdl::test::Picture(Bar().m_hWnd, "gk_statusbar_empty.png").Count(rcMessage, tdl::test::IsDark), 0);
}

} // namespace
