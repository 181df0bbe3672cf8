// The pane holder before the panes exist: with no main window, and with a main frame whose panes have not shown
// yet, every forwarder does nothing (its call still seen by the test observer) and every query answers FALSE or
// null; read-only flags set then hold when the bars appear.
#include "app/ui/PanePointers.h"

#include <gtest/gtest.h>

#include <vector>

#include "GkDockingPaneManager.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/DevTreeBar.h"
#include "app/ui/panes/StackInspectorBar.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingPanes.h"
#include "tests/support/UiFixture.h"

namespace {

class PanePointersTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterAppResources();
    }
    void TearDown() override {
        if (m_app.m_pMainWnd != nullptr)
            m_app.m_pMainWnd->DestroyWindow();
        UiTest::TearDown();
    }
    // A main frame made but not shown: no pane has shown, so no pane window exists.
    CMainFrame* LoadFrame() {
        auto* pFrame = new CMainFrame;
        EXPECT_TRUE(pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        m_app.m_pMainWnd = pFrame;
        return pFrame;
    }

    CWinApp m_app{"Tindaloft"};
};

// Every forwarder once, with a document where it takes one; the queries' answers.
struct Answers {
    BOOL anyChecked = TRUE;
    BOOL nextChecked = TRUE;
    CWnd* activePage = reinterpret_cast<CWnd*>(1);
    const BYTE* data = reinterpret_cast<const BYTE*>(1);
    ULONG length = 1;
};
Answers CallEveryForwarder(CUSBLog* pDoc) {
    CPanePointers panes;
    panes.LogDetailsClear();
    panes.LogDetailsShow();
    panes.DevicePropertiesClear();
    panes.DevicePropertiesSendCommand(32914, 0);
    panes.DevicePropertiesShow();
    panes.DevicePropertiesUpdate();
    panes.SystemPropertiesClear();
    panes.SystemPropertiesUpdate();
    panes.SystemPropertiesShow();
    panes.DataBarClear(TRUE);
    const BYTE bytes[] = {1, 2, 3};
    panes.DataBarSetTitle("URB 7", TRUE);
    panes.DataBarSetDataBuffer(bytes, sizeof bytes);
    panes.StackListPopulate(nullptr);
    panes.StackListClear();
    panes.StackListUncheckAll();
    panes.DoRefresh(TRUE);
    panes.RefreshDeviceTreeTabViews(pDoc, TRUE);
    panes.ClearDeviceTreeSelections();
    panes.UpdateTabViews(nullptr);
    panes.UpdateTabViewsForDevice(nullptr);
    panes.DisplayDevicesTabSelectionDetails(nullptr);
    panes.DisplayStacksTabSelectionDetails(nullptr);
    panes.DisplayDriversTabSelectionDetails(nullptr);
    panes.DriversTabDisplayDrivers(pDoc);
    panes.DeviceModelChanging(pDoc);
    Answers answers;
    answers.anyChecked = panes.AnyDevicesChecked();
    CPanePointers::TreePosition position = nullptr;
    int nImage = -1;
    CObject* pDevice = nullptr;
    answers.nextChecked = panes.GetNextCheckedDevice(position, nImage, pDevice);
    answers.activePage = panes.GetDeviceTreeActivePage();
    panes.DataBarGetDataBuffer(answers.data, answers.length);
    return answers;
}

const std::vector<std::string> kForwarderCalls = {
    "LogDetailsClear",
    "LogDetailsShow",
    "DevicePropertiesClear",
    "DevicePropertiesSendCommand",
    "DevicePropertiesShow",
    "DevicePropertiesUpdate",
    "SystemPropertiesClear",
    "SystemPropertiesUpdate",
    "SystemPropertiesShow",
    "DataBarClear",
    "StackListPopulate",
    "StackListClear",
    "StackListUncheckAll",
    "DoRefresh rebuild",
    "RefreshDeviceTreeTabViews writeable",
    "ClearDeviceTreeSelections",
    "UpdateTabViews",
    "UpdateTabViewsForDevice",
    "DisplayDevicesTabSelectionDetails",
    "DisplayStacksTabSelectionDetails",
    "DisplayDriversTabSelectionDetails",
    "DriversTabDisplayDrivers",
    "DeviceModelChanging",
};

void ExpectNothingAnswered(const Answers& answers) {
    EXPECT_FALSE(answers.anyChecked);
    EXPECT_FALSE(answers.nextChecked);
    EXPECT_EQ(answers.activePage, nullptr);
    EXPECT_EQ(answers.data, nullptr);
    EXPECT_EQ(answers.length, 0u);
}

TEST_F(PanePointersTest, WithoutAMainWindowNothingHappensAndTheObserversStillSeeEveryCall) {
    tdl::test::RecordingPanes calls;
    auto* pDoc = reinterpret_cast<CUSBLog*>(0x1000); // only passed along, never used
    ExpectNothingAnswered(CallEveryForwarder(pDoc));
    EXPECT_EQ(calls.names, kForwarderCalls);
    // The document reaches the observer with the forwarders that take one.
    for (size_t i = 0; i < calls.names.size(); ++i) {
        const bool takesDocument = calls.names[i] == "RefreshDeviceTreeTabViews writeable" ||
                                   calls.names[i] == "DriversTabDisplayDrivers" ||
                                   calls.names[i] == "DeviceModelChanging";
        EXPECT_EQ(calls.documents[i], takesDocument ? pDoc : nullptr) << calls.names[i];
    }
    // The data bar's observer gets its title and bytes, and answers for them.
    tdl::test::RecordingDataBar dataBar;
    CPanePointers panes;
    const BYTE bytes[] = {9, 8};
    panes.DataBarSetTitle("Bulk 12");
    panes.DataBarSetDataBuffer(bytes, sizeof bytes);
    const BYTE* pData = nullptr;
    ULONG nLength = 0;
    panes.DataBarGetDataBuffer(pData, nLength);
    ASSERT_EQ(nLength, 2u);
    EXPECT_EQ(pData[0], 9);
    EXPECT_EQ(dataBar.Title(), "Bulk 12");
    panes.DataBarClear(TRUE);
    EXPECT_EQ(dataBar.Title(), "");
    EXPECT_TRUE(dataBar.Bytes().empty());
}

TEST_F(PanePointersTest, BeforeThePanesShowTheFrameOffersOnlyItsBarsAndTheirFlagsHoldLater) {
    CMainFrame* pFrame = LoadFrame();
    EXPECT_EQ(pFrame->GetLogDetailsPane(), nullptr);
    EXPECT_EQ(pFrame->GetDevicePropertiesPane(), nullptr);
    EXPECT_EQ(pFrame->GetSystemPropertiesPane(), nullptr);
    EXPECT_EQ(pFrame->GetDataBar(), nullptr);
    EXPECT_EQ(pFrame->GetDeviceTreeTab(), nullptr);
    EXPECT_EQ(pFrame->GetStackInspectorList(), nullptr);
    ExpectNothingAnswered(CallEveryForwarder(nullptr));

    // A capture that starts before the panes first show locks them; the bars keep it.
    CPanePointers panes;
    panes.SetStackInspectorReadOnly();
    panes.SetDeviceTreeReadOnly();
    EXPECT_TRUE(pFrame->GetStackInspectorBar()->IsReadOnly());
    EXPECT_TRUE(pFrame->GetDevTreeBar()->IsReadOnly());
    pFrame->ShowWindow(SW_SHOW);
    win32::PumpUiMessages();
    ASSERT_NE(pFrame->GetStackInspectorBar()->GetSafeHwnd(), nullptr);
    ASSERT_NE(pFrame->GetDevTreeBar()->GetSafeHwnd(), nullptr);
    EXPECT_TRUE(pFrame->GetStackInspectorBar()->IsReadOnly());
    EXPECT_FALSE(pFrame->GetStackInspectorBar()->GetList().IsWriteable());
    EXPECT_TRUE(pFrame->GetDevTreeBar()->IsReadOnly());

    CPanePointers after;
    after.SetStackInspectorWriteable();
    after.SetDeviceTreeWriteable();
    EXPECT_FALSE(pFrame->GetStackInspectorBar()->IsReadOnly());
    EXPECT_FALSE(pFrame->GetDevTreeBar()->IsReadOnly());
}

} // namespace

namespace {

using PaneWindowTest = PanePointersTest;

TEST_F(PaneWindowTest, APaneWindowTakesTheBorderItsDockingThemeAsks) {
    const struct {
        int theme;
        DWORD style, exStyle;
    } cases[] = {
        {0, WS_BORDER, 0},
        {1, 0, WS_EX_STATICEDGE},
        {4, 0, WS_EX_CLIENTEDGE},
        {9, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.theme);
        CMainFrame* pFrame = LoadFrame();
        pFrame->GetPaneManager().SetTheme(c.theme);
        pFrame->ShowWindow(SW_SHOW);
        win32::PumpUiMessages();
        for (CWnd* pWnd : std::vector<CWnd*>{pFrame->GetLogDetailsPane(), pFrame->GetDevTreeBar()}) {
            ASSERT_NE(pWnd, nullptr);
            EXPECT_EQ(pWnd->GetStyle() & WS_BORDER, c.style);
            EXPECT_EQ(pWnd->GetExStyle() & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE), c.exStyle);
        }
        pFrame->DestroyWindow();
        m_app.m_pMainWnd = nullptr;
    }
}

} // namespace
