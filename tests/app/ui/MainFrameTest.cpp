// The main frame as a user first meets it and as it comes back: on a fresh registry the toolbar "Standard",
// the indicators and the LED, and the docking panes as the pane table places them, each pane's window made
// the first time it shows; the View commands; a changed layout that returns after a restart, and a corrupt one
// that gives the table again; a frame that cannot make its bars ends the start.
#include "tests/app/ui/MainWindowFixture.h"

#include "tests/app/ui/CommandState.h"

#include "GkCommandBars.h"
#include "GkDockingPaneGroup.h"
#include "GkMDIFrameWnd.h"
#include "GkProfileValue.h"
#include "GkStatusBar.h"
#include "GkToolBar.h"
#include "WinHtmlHelpControl.h"
#include "app/core/app/Resource.h"
#include "app/ui/frame/StatusLEDPane.h"
#include "htmlhelp.h"
#include "tests/support/Pictures.h"

namespace mainwin_test {
namespace {

class MainFrameTest : public MainWindowTest {
protected:
    CGkToolBar* Standard() {
        CGkCommandBars* pBars = Frame()->GetCommandBars();
        for (int i = 0; pBars != nullptr && i < pBars->GetCount(); ++i)
            if (pBars->GetAt(i)->GetTitle() == "Standard")
                return pBars->GetAt(i);
        return nullptr;
    }
    // A rectangle of a child window in the frame's client coordinates.
    CRect InFrame(const CWnd* pWnd, CRect rc) {
        ::MapWindowPoints(pWnd->GetSafeHwnd(), Frame()->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // Pixels of a rectangle unlike the colour at its top-left corner: something is drawn on its ground.
    static int Drawn(const tdl::test::Picture& picture, const CRect& rc) {
        const COLORREF ground = picture.Client(rc.left, rc.top);
        return picture.Count(rc, [&](COLORREF clr) { return clr != ground; });
    }
};

TEST_F(MainFrameTest, AFreshRegistryGivesTheStandardBarTheIndicatorsTheLedAndThePaneTable) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    pFrame->MoveWindow(0, 0, 1024, 700);
    App().m_Settings.ContinuousLogging = true; // WRAP lit, CAPT dimmed
    Idle();
    win32::PumpUiMessages();

    // "Standard": 18 buttons in four groups, closeable no, expand button hidden, tooltips and fly-by.
    CGkToolBar* pStandard = Standard();
    ASSERT_NE(pStandard, nullptr);
    const std::vector<UINT> buttons = {57600, 57601, 57603, 0,     172,   173,   174, 108, 221, 219, 258,
                                       32794, 32937, 0,     59523, 59527, 59525, 197, 0,   206, 216};
    ASSERT_EQ(pStandard->GetControlCount(), static_cast<int>(buttons.size()));
    for (int i = 0; i < pStandard->GetControlCount(); ++i)
        EXPECT_EQ(pStandard->GetControl(i)->GetID(), buttons[static_cast<size_t>(i)]) << i;
    EXPECT_FALSE(pStandard->IsCloseable());
    EXPECT_FALSE(pStandard->IsExpandButtonVisible());
    EXPECT_EQ(pStandard->GetGkBarStyle() & 0x30u, 0x30u);
    EXPECT_EQ(pStandard->GetDockingFlags(), 63u);
    EXPECT_EQ(pStandard->GetIconSize(), CSize(16, 16));

    // The indicators after the message pane, standing out, then the LED.
    CGkStatusBar& bar = pFrame->GetStatusBar();
    const UINT indicators[] = {ID_SEPARATOR, 120, 140, 137, 138, 121, 6};
    const char* texts[] = {"", "WRAP", "", "FILT", "CAPT", "DIAG", ""};
    ASSERT_EQ(bar.GetPaneCount(), 7);
    for (int i = 0; i < bar.GetPaneCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bar.GetItemID(i), indicators[i]);
        EXPECT_EQ(bar.GetPaneText(i), CString(texts[i]));
        if (i >= 1 && i <= 5)
            EXPECT_EQ(bar.GetPaneStyle(i) & ~static_cast<UINT>(SBPS_DISABLED), static_cast<UINT>(SBPS_POPOUT));
    }
    EXPECT_TRUE(bar.GetPane(1)->IsEnabled());  // WRAP: continuous logging
    EXPECT_FALSE(bar.GetPane(4)->IsEnabled()); // CAPT: not capturing
    CStatusLEDPane* pLED = pFrame->GetStatusLED();
    ASSERT_EQ(bar.GetPane(6), pLED);
    EXPECT_EQ(pLED->GetWidth(), 15);
    EXPECT_NE(pLED->GetStyle() & SBPS_NOBORDERS, 0u);
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_OFF);

    // The panes: titles, tab groups, places and sizes.
    struct Row {
        UINT nID;
        const char* title;
    };
    for (const Row& row :
         {Row{ID_VIEW_LOGDETAILS, "Log Details"}, Row{ID_VIEW_DEVICEPROPERTIES, "Device Properties"},
          Row{ID_VIEW_SYSTEMPROPERTIES, "System Properties"}, Row{ID_VIEW_DATABAR, "Data"},
          Row{ID_VIEW_DEVICETREE, "USB Device Tree"}, Row{ID_VIEW_STACKINSPECTOR, "Stack Inspector"}}) {
        SCOPED_TRACE(row.title);
        ASSERT_NE(Pane(row.nID), nullptr);
        EXPECT_EQ(Pane(row.nID)->GetTitle(), CString(row.title));
        EXPECT_TRUE(pFrame->IsPaneVisible(row.nID));
    }
    EXPECT_EQ(Pane(59524), nullptr);
    EXPECT_EQ(Pane(ID_VIEW_SYSTEMPROPERTIES)->GetGroup(), Pane(ID_VIEW_DATABAR)->GetGroup());
    EXPECT_EQ(Pane(ID_VIEW_DEVICEPROPERTIES)->GetGroup(), Pane(ID_VIEW_STACKINSPECTOR)->GetGroup());
    EXPECT_EQ(Pane(ID_VIEW_DATABAR)->GetGroup()->GetActivePane()->GetID(), ID_VIEW_DATABAR);
    EXPECT_EQ(Pane(ID_VIEW_STACKINSPECTOR)->GetGroup()->GetActivePane()->GetID(), ID_VIEW_STACKINSPECTOR);
    // The device tree down the left over the stack inspector, Data along the bottom beside them, Log Details
    // on the right above Data.
    CRect client;
    pFrame->GetClientRect(&client);
    const CRect tree = GroupRect(ID_VIEW_DEVICETREE), stack = GroupRect(ID_VIEW_STACKINSPECTOR),
                data = GroupRect(ID_VIEW_DATABAR), details = GroupRect(ID_VIEW_LOGDETAILS);
    EXPECT_EQ(tree.left, client.left);
    EXPECT_EQ(tree.Width(), 300);
    EXPECT_EQ(tree.bottom, stack.top);
    EXPECT_EQ(stack.Width(), 300);
    EXPECT_EQ(data.left, tree.right);
    EXPECT_EQ(data.Height(), 140);
    EXPECT_EQ(data.bottom, stack.bottom);
    EXPECT_EQ(details.right, data.right);
    EXPECT_EQ(details.bottom, data.top);
    EXPECT_EQ(details.Width(), 180);

    // The four panes on show made their windows, without a border under theme 9; the two behind a tab wait.
    for (UINT nID : {ID_VIEW_DEVICETREE, ID_VIEW_STACKINSPECTOR, ID_VIEW_DATABAR, ID_VIEW_LOGDETAILS}) {
        const CWnd* pChild = Pane(nID)->GetChild();
        ASSERT_NE(pChild, nullptr) << nID;
        EXPECT_EQ(pChild->GetStyle() & WS_BORDER, 0u) << nID;
        EXPECT_EQ(pChild->GetExStyle() & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0u) << nID;
    }
    EXPECT_NE(pFrame->GetLogDetailsPane(), nullptr);
    EXPECT_EQ(pFrame->GetDevicePropertiesPane(), nullptr);
    EXPECT_EQ(pFrame->GetSystemPropertiesPane(), nullptr);
    pFrame->GetPaneManager().ShowPane(ID_VIEW_SYSTEMPROPERTIES);
    ASSERT_NE(pFrame->GetSystemPropertiesPane(), nullptr);
    EXPECT_EQ(Pane(ID_VIEW_SYSTEMPROPERTIES)->GetChild(), pFrame->GetSystemPropertiesPane());
    pFrame->GetPaneManager().ShowPane(ID_VIEW_DATABAR);

    // What the user sees: the toolbar's icons, the panes' captions and tab strips, the lit indicator's text and
    // the LED on the status bar's own ground.
    win32::PumpUiMessages();
    tdl::test::Picture picture(pFrame->GetSafeHwnd(), "main_window_fresh.png");
    ASSERT_TRUE(picture.IsValid());
    for (int i = 0; i < pStandard->GetControlCount(); ++i) {
        const CGkControl* pButton = pStandard->GetControl(i);
        if (!pButton->IsSeparator())
            EXPECT_GT(Drawn(picture, InFrame(pStandard, pButton->GetRect())), 12) << "icon of " << pButton->GetID();
    }
    for (UINT nID : {ID_VIEW_DEVICETREE, ID_VIEW_STACKINSPECTOR, ID_VIEW_DATABAR, ID_VIEW_LOGDETAILS}) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        EXPECT_GT(Drawn(picture, InFrame(pGroup, pGroup->GetCaptionRect())), 30) << "caption of " << nID;
    }
    for (UINT nID : {ID_VIEW_STACKINSPECTOR, ID_VIEW_DATABAR}) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        for (int nTab = 0; nTab < 2; ++nTab)
            EXPECT_GT(Drawn(picture, InFrame(pGroup, pGroup->GetTabRect(nTab))), 20) << "tab " << nTab << " of " << nID;
    }
    CRect wrap, capt, led;
    bar.GetItemRect(1, &wrap);
    bar.GetItemRect(4, &capt);
    bar.GetItemRect(6, &led);
    wrap.DeflateRect(3, 3);
    capt.DeflateRect(3, 3);
    EXPECT_GT(picture.Count(InFrame(&bar, wrap), tdl::test::IsDark), 10) << "WRAP's text";
    EXPECT_EQ(picture.Count(InFrame(&bar, capt), tdl::test::IsDark), 0) << "CAPT dimmed";
    const CRect ledInFrame = InFrame(&bar, led);
    EXPECT_GT(picture.Count(ledInFrame, [](COLORREF clr) { return clr == RGB(112, 112, 112); }), 20) << "off LED";
    EXPECT_EQ(picture.Count(ledInFrame, [](COLORREF clr) { return clr == RGB(0, 128, 128); }), 0) << "teal shows";
}

TEST_F(MainFrameTest, ViewCommandsOpenAndClosePanesWithTheirTextsAndChecks) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    struct Row {
        UINT nID;
        const char* hide;
        const char* show;
    };
    const Row rows[] = {
        {ID_VIEW_DEVICETREE, "Hide &Device Tree", "Show &Device Tree"},
        {ID_VIEW_STACKINSPECTOR, "Hide Stack &Inspector", "Show Stack &Inspector"},
        {ID_VIEW_LOGDETAILS, "Hide Log &Details", "Show Log &Details"},
        {ID_VIEW_DEVICEPROPERTIES, "Hide Device &Properties", "Show Device &Properties"},
        {ID_VIEW_SYSTEMPROPERTIES, "Hide System &Properties", "Show System &Properties"},
        {ID_VIEW_DATABAR, "Hide &Data Bar", "Show &Data Bar"},
    };
    auto item = [&](UINT nID) { return UpdateCommand(pFrame, nID); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hide);
        EXPECT_EQ(item(row.nID).check, 1);
        EXPECT_EQ(item(row.nID).text, row.hide);
        Command(row.nID);
        EXPECT_TRUE(Pane(row.nID)->IsClosed());
        EXPECT_FALSE(pFrame->IsPaneVisible(row.nID));
        EXPECT_EQ(item(row.nID).check, 0);
        EXPECT_EQ(item(row.nID).text, row.show);
        Command(row.nID);
        EXPECT_FALSE(Pane(row.nID)->IsClosed());
        EXPECT_NE(Pane(row.nID)->GetChild(), nullptr);
    }
}

TEST_F(MainFrameTest, ACaptureHidesTheOpenTreeAndStackAndShowsOnlyThoseAgain) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    for (bool treeOpen : {true, false}) {
        SCOPED_TRACE(treeOpen);
        if (!treeOpen)
            Command(ID_VIEW_DEVICETREE);
        pFrame->HideDevTreeAndStack();
        EXPECT_FALSE(pFrame->IsPaneVisible(ID_VIEW_DEVICETREE));
        EXPECT_FALSE(pFrame->IsPaneVisible(ID_VIEW_STACKINSPECTOR));
        EXPECT_EQ(pFrame->GetDevTreeBar()->WasOpenBeforeLogging(), treeOpen);
        EXPECT_TRUE(pFrame->GetStackInspectorBar()->WasOpenBeforeLogging());
        pFrame->RestoreDevTreeAndStack();
        EXPECT_EQ(pFrame->IsPaneVisible(ID_VIEW_DEVICETREE), treeOpen);
        EXPECT_TRUE(pFrame->IsPaneVisible(ID_VIEW_STACKINSPECTOR));
        // The other panes keep their state.
        EXPECT_TRUE(pFrame->IsPaneVisible(ID_VIEW_DATABAR));
    }
}

TEST_F(MainFrameTest, TheFrameKeepsItsMinimumSizeAndOpensTheStackInspectorsHelp) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    MINMAXINFO info{};
    pFrame->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 200);
    pFrame->MoveWindow(0, 0, 120, 90);
    CRect window;
    pFrame->GetWindowRect(&window);
    EXPECT_EQ(window.Size(), CSize(200, 200));

    win32::RegisterHtmlHelpModule();
    Command(ID_HELP_STACKINSPECTOR);
    ASSERT_EQ(win32::HtmlHelpCalls().size(), 1u);
    EXPECT_EQ(win32::HtmlHelpCalls()[0].data, 50u);
    EXPECT_EQ(win32::HtmlHelpCalls()[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
}

TEST_F(MainFrameTest, AChangedLayoutReturnsAfterARestartAndACorruptOneGivesTheTable) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    pFrame->MoveWindow(20, 30, 900, 640);
    Command(ID_VIEW_LOGDETAILS);
    // The device tree's splitter dragged 60 pixels to the right; "Standard" dragged into a row of its own at
    // the bottom.
    CGkDockingPaneGroup* pTreeGroup = Pane(ID_VIEW_DEVICETREE)->GetGroup();
    void* pTreeBand = nullptr;
    for (const CGkDockingPaneGroup::Splitter& splitter : pTreeGroup->GetSplitters())
        if (!splitter.bHorz)
            pTreeBand = splitter.pTarget;
    ASSERT_NE(pTreeBand, nullptr);
    pFrame->GetPaneManager().MoveSplitter(pTreeBand, 60);
    ASSERT_EQ(GroupRect(ID_VIEW_DEVICETREE).Width(), 360);
    CGkToolBar* pStandard = Standard();
    ASSERT_NE(pStandard, nullptr);
    pStandard->SetDockPosition(CBRS_ALIGN_BOTTOM, 0, 40);
    pFrame->RecalcLayout();
    pFrame->ShowWindow(SW_SHOWMAXIMIZED);
    Close();

    pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    EXPECT_TRUE(pFrame->IsZoomed());
    EXPECT_TRUE(Pane(ID_VIEW_LOGDETAILS)->IsClosed());
    EXPECT_FALSE(pFrame->IsPaneVisible(ID_VIEW_LOGDETAILS));
    EXPECT_TRUE(pFrame->IsPaneVisible(ID_VIEW_DEVICETREE));
    EXPECT_EQ(GroupRect(ID_VIEW_DEVICETREE).Width(), 360);
    ASSERT_NE(Standard(), nullptr);
    EXPECT_EQ(Standard()->GetDockEdge(), static_cast<DWORD>(CBRS_ALIGN_BOTTOM));
    EXPECT_EQ(Standard()->GetDockOffset(), 40);
    // The placement kept the normal rectangle behind the maximised window.
    pFrame->ShowWindow(SW_RESTORE);
    CRect window;
    pFrame->GetWindowRect(&window);
    EXPECT_EQ(window, CRect(20, 30, 920, 670));

    // A layout the toolkit cannot read leaves the table's placement.
    const BYTE garbage[] = {'G', 'K', 'D', 'L', 9, 9, 9};
    ASSERT_TRUE(App().WriteProfileBinary("UserLayout", GK_PROFILE_ENTRY, const_cast<BYTE*>(garbage), sizeof garbage));
    m_starter->Exit();
    pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    for (UINT nID : {ID_VIEW_LOGDETAILS, ID_VIEW_DEVICETREE, ID_VIEW_DATABAR, ID_VIEW_STACKINSPECTOR})
        EXPECT_TRUE(pFrame->IsPaneVisible(nID)) << nID;
    EXPECT_EQ(GroupRect(ID_VIEW_DEVICETREE).Width(), 300);
    EXPECT_EQ(GroupRect(ID_VIEW_LOGDETAILS).Width(), 180);
}

TEST_F(MainFrameTest, AFrameThatCannotMakeItsBarsOrTimerEndsTheStart) {
    const struct {
        const char* name;
        std::function<void()> fail;
    } cases[] = {
        {"command bars", [] { GkFailNext(GkFrameFailure::InitCommandBars); }},
        {"command bars object", [] { GkFailNext(GkFrameFailure::GetCommandBars); }},
        {"timer", [] { win32::FailUiCalls(win32::UiFailure::SetTimer, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_starter->Make("/Embedding");
        c.fail();
        EXPECT_FALSE(m_starter->Start());
        win32::ClearUiFailures();
        EXPECT_EQ(m_starter->MainFrame(), nullptr);
        m_starter->Exit();
        apptest::AppStarter::TakeBoxes();
    }
}

} // namespace
} // namespace mainwin_test
