// The record list and its document's kind: at the first showing, at each update and at each activation the
// list brings the device tree, the stack inspector and the properties panes in line with a live capture (idle
// or capturing) or a saved log, through the pane holder and in that order; a selected row goes to the Log
// Details pane with the data bar emptied first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/ui/RecordListFixture.h"
#include "tests/support/RecordingPanes.h"

namespace reclist_test {
namespace {

using tdl::test::RecordBuilder;
using Calls = std::vector<std::string>;

const Calls kLiveIdle = {"SetStackInspectorWriteable", "SetDeviceTreeWriteable", "ClearDeviceTreeSelections",
                         "RefreshDeviceTreeTabViews writeable", "SystemPropertiesUpdate"};
const Calls kLiveCapturing = {"SetStackInspectorReadOnly", "ClearDeviceTreeSelections",
                              "RefreshDeviceTreeTabViews read-only", "SystemPropertiesUpdate"};
const Calls kLogFile = {"SetStackInspectorReadOnly", "SetDeviceTreeReadOnly", "ClearDeviceTreeSelections",
                        "RefreshDeviceTreeTabViews read-only", "SystemPropertiesUpdate"};
// What an activation adds when the document shown changed; a live capture then shows its selection (none: the
// System Properties pane).
const Calls kChanged = {"ClearDeviceTreeSelections", "DataBarClear", "SystemPropertiesUpdate"};
// The list taking the focus shows its selection (none here: the System Properties pane).
const Calls kFocus = {"SystemPropertiesUpdate"};

Calls operator+(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class LogListDocumentTest : public RecordListTest {
protected:
    // A saved log's document (empty) in its own window, active.
    CUSBLog* OpenLogFile() {
        auto* pDoc = dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(nullptr));
        win32::PumpUiMessages();
        return pDoc;
    }
    static CLogListView* ViewOf(CUSBLog* pDoc) { return dynamic_cast<CLogListView*>(pDoc->GetFirstView()); }
    void Activate(CUSBLog* pDoc) {
        Frame()->MDIActivate(ViewOf(pDoc)->GetParentFrame());
        win32::PumpUiMessages();
    }
    tdl::test::RecordingPanes m_panes;
};

TEST_F(LogListDocumentTest, EachUpdateAndActivationFollowsTheDocumentsKind) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    Deliver({RecordBuilder(LogTag::urbI).Sequence(1).Build(), RecordBuilder(LogTag::urbC).Sequence(2).Build()});
    CUSBLog* pLog = OpenLogFile();
    ASSERT_NE(pLog, nullptr);
    ASSERT_NE(ViewOf(pLog), nullptr);
    ASSERT_TRUE(pLog->IsLogFileDocument());
    m_panes.Take();

    for (const bool capturing : {false, true}) {
        SCOPED_TRACE(capturing ? "capturing" : "idle");
        Live()->SetLogging(capturing);
        const Calls& live = capturing ? kLiveCapturing : kLiveIdle;
        // The first showing: no rows for a live capture, whatever its store holds.
        View()->SendMessage(WM_INITIALUPDATE);
        EXPECT_EQ(m_panes.Take(), live);
        EXPECT_EQ(List().GetItemCount(), 0);
        // An update: the rows of the active view.
        Live()->UpdateAllViews(nullptr);
        EXPECT_EQ(m_panes.Take(), live);
        EXPECT_EQ(List().GetItemCount(), 2);
        // Activated after the saved log, then again.
        Activate(Live());
        EXPECT_EQ(m_panes.Take(), live + kChanged + Calls{"SystemPropertiesUpdate"} + kFocus);
        View()->OnActivateView(TRUE, View(), View());
        EXPECT_EQ(m_panes.Take(), live);
        Activate(pLog);
        EXPECT_EQ(m_panes.Take(), kLogFile + kChanged + kFocus);
        Live()->SetLogging(FALSE);
    }
    ViewOf(pLog)->SendMessage(WM_INITIALUPDATE);
    EXPECT_EQ(m_panes.Take(), kLogFile);
    pLog->UpdateAllViews(nullptr);
    EXPECT_EQ(m_panes.Take(), kLogFile);
    // Each pane call is about the document shown.
    Activate(Live());
    for (CUSBLog* pDoc : m_panes.documents)
        EXPECT_TRUE(pDoc == nullptr || pDoc == Live());
}

TEST_F(LogListDocumentTest, AViewThatWentIsNoLongerTheLastOneActivated) {
    CUSBLog* pLog = OpenLogFile();
    ASSERT_NE(pLog, nullptr);
    pLog->OnCloseDocument();
    win32::PumpUiMessages();
    m_panes.Take();
    // Another saved log's list, maybe where the first one lay in memory: its activation is a change.
    CUSBLog* pAnother = OpenLogFile();
    ASSERT_NE(pAnother, nullptr);
    const Calls calls = m_panes.Take();
    const Calls changed = kLogFile + kChanged;
    EXPECT_TRUE(std::search(calls.begin(), calls.end(), changed.begin(), changed.end()) != calls.end());
}

TEST_F(LogListDocumentTest, ASelectedRowEmptiesTheDataBarAndFocusShowsTheSelection) {
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    Deliver({RecordBuilder(LogTag::urbI).Sequence(1).Build(), RecordBuilder(LogTag::urbC).Sequence(2).Build()});
    m_panes.Take();
    // Focus with no row selected shows the system's properties.
    Frame()->SetFocus();
    m_panes.Take();
    View()->SetFocus();
    EXPECT_EQ(m_panes.Take(), Calls{"SystemPropertiesUpdate"});
    win32::Click(View()->GetSafeHwnd(), RowCentre(1));
    win32::PumpUiMessages();
    EXPECT_EQ(m_panes.Take(), Calls{"DataBarClear"});
    EXPECT_EQ(List().GetNextItem(-1, LVNI_SELECTED), 1);
    // Clicking the selected row again changes nothing.
    win32::Click(View()->GetSafeHwnd(), RowCentre(1));
    win32::PumpUiMessages();
    EXPECT_EQ(m_panes.Take(), Calls{});
}

TEST_F(LogListDocumentTest, DeviceNotificationsLastAsLongAsTheLiveCapturesList) {
    std::vector<HDEVNOTIFY> handles;
    for (int i = 0; i < CMainFrame::PnpNotificationCount; ++i)
        handles.push_back(Frame()->GetPnpNotification(i));
    EXPECT_EQ(std::count(handles.begin(), handles.end(), nullptr), 0);
    auto Current = [&] {
        std::vector<HDEVNOTIFY> now;
        for (int i = 0; i < CMainFrame::PnpNotificationCount; ++i)
            now.push_back(Frame()->GetPnpNotification(i));
        return now;
    };
    // Updates, activations and a saved log's list coming and going leave them as they are.
    Live()->UpdateAllViews(nullptr);
    CUSBLog* pLog = OpenLogFile();
    ASSERT_NE(pLog, nullptr);
    Activate(Live());
    pLog->OnCloseDocument();
    win32::PumpUiMessages();
    EXPECT_EQ(Current(), handles);
    // The live capture's list goes: so do they.
    Live()->OnCloseDocument();
    win32::PumpUiMessages();
    EXPECT_EQ(Current(), std::vector<HDEVNOTIFY>(handles.size(), nullptr));
}

} // namespace
} // namespace reclist_test
