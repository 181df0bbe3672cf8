// Message maps: chained maps, the entry kinds and their arguments, ranges, _EX handlers that pass a command on,
// registered messages whose id is known only after the map exists, and update handlers with CCmdUI.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "afxwin.h"

namespace {

constexpr UINT kCopy = 100;
constexpr UINT kPaste = 101;
constexpr UINT kRangeFirst = 200;
constexpr UINT kRangeLast = 209;
constexpr UINT kControl = 300;
constexpr int kNotifyCode = -12; // notification codes are negative

UINT g_registeredMessage = 0; // registered after the maps were built

std::vector<std::string> g_calls;

class CBaseTarget : public CCmdTarget {
public:
    void OnCopy() { g_calls.push_back("base copy"); }
    void OnPaste() { g_calls.push_back("base paste"); }
    void OnUpdatePaste(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTarget, CCmdTarget)
ON_COMMAND(kCopy, &CBaseTarget::OnCopy)
ON_COMMAND(kPaste, &CBaseTarget::OnPaste)
ON_UPDATE_COMMAND_UI(kPaste, &CBaseTarget::OnUpdatePaste)
END_MESSAGE_MAP()

class CDerivedTarget : public CBaseTarget {
public:
    BOOL m_bTakeRange = TRUE;
    LRESULT m_lastWParam = 0;

    void OnCopyDerived() { g_calls.push_back("derived copy"); }
    BOOL OnRangeEx(UINT nID) {
        g_calls.push_back("range ex " + std::to_string(nID));
        return m_bTakeRange;
    }
    void OnRange(UINT nID) { g_calls.push_back("range " + std::to_string(nID)); }
    void OnUpdateRange(CCmdUI* pCmdUI) { pCmdUI->SetCheck(pCmdUI->m_nID == kRangeFirst ? 1 : 0); }
    LRESULT OnApp(WPARAM wParam, LPARAM lParam) {
        g_calls.push_back("app " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 42;
    }
    LRESULT OnRegistered(WPARAM wParam, LPARAM) {
        g_calls.push_back("registered " + std::to_string(wParam));
        return 7;
    }
    void OnControl() { g_calls.push_back("control"); }
    void OnNotify(NMHDR* pNMHDR, LRESULT* pResult) {
        g_calls.push_back("notify " + std::to_string(pNMHDR->idFrom));
        *pResult = -5;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTarget, CBaseTarget)
ON_COMMAND(kCopy, &CDerivedTarget::OnCopyDerived)
ON_COMMAND_EX_RANGE(kRangeFirst, kRangeLast, &CDerivedTarget::OnRangeEx)
ON_COMMAND_RANGE(kRangeFirst, kRangeLast, &CDerivedTarget::OnRange)
ON_UPDATE_COMMAND_UI_RANGE(kRangeFirst, kRangeLast, &CDerivedTarget::OnUpdateRange)
ON_MESSAGE(WM_APP + 6, &CDerivedTarget::OnApp)
ON_REGISTERED_MESSAGE(g_registeredMessage, &CDerivedTarget::OnRegistered)
ON_CONTROL(3, kControl, &CDerivedTarget::OnControl)
ON_NOTIFY(kNotifyCode, kControl, &CDerivedTarget::OnNotify)
END_MESSAGE_MAP()

// Dispatches window messages through the map, as a window does.
class CMessageProbe : public CDerivedTarget {
public:
    BOOL Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
        AFX_MSGCALL call{message, wParam, lParam, 0, nullptr, 0};
        BOOL handled = DispatchMsgMap(message, 0, 0, call, nullptr);
        *pResult = call.lResult;
        return handled;
    }
};

// An item whose state the handlers set, as a menu item shows it.
class CRecordingCmdUI : public CCmdUI {
public:
    void Enable(BOOL bOn) override {
        CCmdUI::Enable(bOn);
        m_enabled = bOn;
    }
    void SetCheck(int nCheck) override { m_check = nCheck; }
    BOOL m_enabled = TRUE;
    int m_check = -1;
};

class MessageMapTest : public ::testing::Test {
protected:
    void SetUp() override { g_calls.clear(); }
};

TEST_F(MessageMapTest, DerivedMapWinsAndBaseMapStillServes) {
    CDerivedTarget target;
    EXPECT_TRUE(target.OnCmdMsg(kCopy, CN_COMMAND, nullptr, nullptr));
    EXPECT_TRUE(target.OnCmdMsg(kPaste, CN_COMMAND, nullptr, nullptr));
    EXPECT_FALSE(target.OnCmdMsg(999, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"derived copy", "base paste"}));
}

TEST_F(MessageMapTest, RangesAndExHandlersThatPassTheCommandOn) {
    CDerivedTarget target;
    EXPECT_TRUE(target.OnCmdMsg(kRangeFirst + 3, CN_COMMAND, nullptr, nullptr));
    target.m_bTakeRange = FALSE;
    EXPECT_TRUE(target.OnCmdMsg(kRangeLast, CN_COMMAND, nullptr, nullptr));
    EXPECT_FALSE(target.OnCmdMsg(kRangeLast + 1, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"range ex 203", "range ex 209", "range 209"}));
}

TEST_F(MessageMapTest, MessagesNotificationsAndControls) {
    CMessageProbe probe;
    LRESULT result = 0;
    EXPECT_TRUE(probe.Dispatch(WM_APP + 6, 0xFFFFFFFF00000001ULL, -3, &result));
    EXPECT_EQ(result, 42);
    // Known only now, after the map was built.
    EXPECT_FALSE(probe.Dispatch(0xC123, 5, 0, &result));
    g_registeredMessage = 0xC123;
    EXPECT_TRUE(probe.Dispatch(0xC123, 5, 0, &result));
    EXPECT_EQ(result, 7);
    g_registeredMessage = 0;

    EXPECT_TRUE(probe.OnCmdMsg(kControl, 3, nullptr, nullptr));
    EXPECT_FALSE(probe.OnCmdMsg(kControl, 4, nullptr, nullptr));
    NMHDR hdr{nullptr, kControl, static_cast<UINT>(kNotifyCode)};
    LRESULT notifyResult = 0;
    AFX_NOTIFY notify{&notifyResult, &hdr};
    EXPECT_TRUE(probe.OnCmdMsg(kControl, MAKELONG(kNotifyCode, WM_NOTIFY), &notify, nullptr));
    EXPECT_EQ(notifyResult, -5);
    EXPECT_FALSE(probe.OnCmdMsg(kControl + 1, MAKELONG(kNotifyCode, WM_NOTIFY), &notify, nullptr));
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{"app 18446744069414584321 -3", "registered 5", "control", "notify 300"}));
}

TEST_F(MessageMapTest, UpdateHandlersAndAutomaticDisabling) {
    CDerivedTarget target;
    struct Case {
        UINT id;
        BOOL disableIfNoHandler;
        BOOL enabled;
        int check;
    };
    const Case cases[] = {
        {kPaste, TRUE, FALSE, -1},    // its update handler disables it
        {kCopy, TRUE, TRUE, -1},      // a command handler, no update handler
        {999, TRUE, FALSE, -1},       // no handler at all: greyed
        {999, FALSE, TRUE, -1},       // ... only with automatic enabling
        {kRangeFirst, TRUE, TRUE, 1}, // a range update handler checks it, and the command has a handler
        {kRangeFirst + 1, TRUE, TRUE, 0},
    };
    for (const Case& c : cases) {
        CRecordingCmdUI ui;
        ui.m_nID = c.id;
        ui.DoUpdate(&target, c.disableIfNoHandler);
        EXPECT_EQ(ui.m_enabled, c.enabled) << c.id;
        EXPECT_EQ(ui.m_check, c.check) << c.id;
    }
    EXPECT_TRUE(g_calls.empty()); // finding out whether a handler exists calls none
}

} // namespace
