// What the status bar and the frame's commands tell about the active document: the indicators, the capture LED
// blinking on the frame's timer, the View menu's toggle of the bar, and Refresh, enabled only for a live capture
// that is not capturing while the device tree is open.
#include "tests/app/ui/MainWindowFixture.h"

#include "tests/app/ui/CommandState.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "GkStatusBar.h"
#include "app/core/app/Resource.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/StatusLEDPane.h"
#include "common/RecordTags.h"
#include "tests/support/Pictures.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingPanes.h"

namespace mainwin_test {
namespace {

class MainFrameStatusTest : public MainWindowTest {
protected:
    void TearDown() override {
        // The states set by hand are not a capture's: no capture thread stands behind them.
        if (Frame() != nullptr)
            if (CUSBLog* pDoc = Frame()->GetActiveLogDocument())
                pDoc->SetLogging(FALSE);
        MainWindowTest::TearDown();
    }
    CUSBLog* Active() { return Frame()->GetActiveLogDocument(); }

    // The trigger fires on a record the live capture indexes while it is marked as capturing.
    static void FireTrigger(CUSBLog& doc) {
        auto* pTrigger = new CFilterDefinition;
        std::fill(pTrigger->GetBlock().Bytes + 2, pTrigger->GetBlock().Bytes + FILTER_BLOCK_SIZE, 1);
        doc.SetTrigger(pTrigger);
        doc.SetTriggerOn(TRUE);
        doc.SetLogging(TRUE);
        std::vector<uint8_t> block;
        tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(1).Build());
        BYTE* pointer = nullptr;
        DWORD left = 0;
        ASSERT_TRUE(doc.GetLogRecords()->GetWriteSpace(pointer, left));
        std::memcpy(pointer, block.data(), block.size());
        doc.GetLogRecords()->AdvanceWrite(static_cast<DWORD>(block.size()));
        BOOL triggered = FALSE;
        doc.ProcessCaptureFragment(pointer, static_cast<DWORD>(block.size()), triggered);
        doc.SetLogging(FALSE);
        ASSERT_TRUE(triggered);
    }

    // The LED's own colours, as the status bar shows them: the body of each image; teal never shows.
    static constexpr COLORREF kLedOff = RGB(112, 112, 112), kLedOnA = RGB(232, 24, 24), kLedOnB = RGB(160, 0, 0),
                              kLedTeal = RGB(0, 128, 128);
    // Which of those colours the LED pane shows in a picture of the frame (saved under `name`).
    std::vector<COLORREF> LedColoursShown(const std::string& name) {
        CMainFrame* pFrame = Frame();
        CGkStatusBar& bar = pFrame->GetStatusBar();
        tdl::test::Picture picture(pFrame->GetSafeHwnd(), "main_window_led_" + name + ".png");
        EXPECT_TRUE(picture.IsValid());
        CRect rc;
        bar.GetItemRect(bar.CommandToIndex(ID_INDICATOR_LED), &rc);
        ::MapWindowPoints(bar.GetSafeHwnd(), pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        std::vector<COLORREF> seen;
        for (COLORREF colour : {kLedOff, kLedOnA, kLedOnB, kLedTeal})
            if (picture.Count(rc, [&](COLORREF clr) { return clr == colour; }) > 0)
                seen.push_back(colour);
        return seen;
    }
};

TEST_F(MainFrameStatusTest, IndicatorsFollowTheActiveDocumentAndTheSettings) {
    const struct Case {
        const char* name;
        std::function<void(CTindaloftApp&, CUSBLog&)> set;
        bool wrap;
        const char* trig;
        COLORREF trigColour;
        bool filt, capt, diag;
    } cases[] = {
        {"idle", [](CTindaloftApp&, CUSBLog&) {}, false, "", ::GetSysColor(COLOR_BTNTEXT), false, false, false},
        {"continuous logging", [](CTindaloftApp& app, CUSBLog&) { app.m_Settings.ContinuousLogging = true; }, true, "",
         ::GetSysColor(COLOR_BTNTEXT), false, false, false},
        {"trigger on", [](CTindaloftApp&, CUSBLog& doc) { doc.SetTriggerOn(TRUE); }, false, "TRIG",
         ::GetSysColor(COLOR_BTNTEXT), false, false, false},
        {"trigger fired", [](CTindaloftApp&, CUSBLog& doc) { FireTrigger(doc); }, false, "TRIG", RGB(255, 0, 0), false,
         false, false},
        {"capture filter", [](CTindaloftApp&, CUSBLog& doc) { doc.SetCaptureFilterOn(TRUE); }, false, "",
         ::GetSysColor(COLOR_BTNTEXT), true, false, false},
        {"buffer filter", [](CTindaloftApp&, CUSBLog& doc) { doc.SetBufferFilterOn(TRUE); }, false, "",
         ::GetSysColor(COLOR_BTNTEXT), true, false, false},
        {"capturing", [](CTindaloftApp&, CUSBLog& doc) { doc.SetLogging(TRUE); }, false, "",
         ::GetSysColor(COLOR_BTNTEXT), false, true, false},
        {"diagnostics", [](CTindaloftApp& app, CUSBLog&) { app.m_Settings.MemlogFlags = 0x10; }, false, "",
         ::GetSysColor(COLOR_BTNTEXT), false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMainFrame* pFrame = Start();
        ASSERT_NE(pFrame, nullptr);
        App().m_Settings.ContinuousLogging = false;
        App().m_Settings.MemlogFlags = 0;
        c.set(App(), *Active());
        Idle();
        CGkStatusBar& bar = pFrame->GetStatusBar();
        EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_WRAP))->IsEnabled(), c.wrap);
        CGkStatusBarPane* pTrig = bar.GetPane(bar.CommandToIndex(ID_INDICATOR_TRIG));
        EXPECT_EQ(pTrig->GetText(), CString(c.trig));
        EXPECT_EQ(pTrig->GetTextColor(), c.trigColour);
        EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_FILT))->IsEnabled(), c.filt);
        EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_CAPT))->IsEnabled(), c.capt);
        EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_DIAG))->IsEnabled(), c.diag);
        Active()->SetLogging(FALSE);
    }
    // With no document, WRAP is the application's setting.
    Command(ID_FILE_CLOSE);
    ASSERT_EQ(Active(), nullptr);
    App().m_Settings.ContinuousLogging = true;
    Idle();
    CGkStatusBar& bar = Frame()->GetStatusBar();
    EXPECT_TRUE(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_WRAP))->IsEnabled());
    EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_TRIG))->GetText(), CString(""));
    EXPECT_FALSE(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_CAPT))->IsEnabled());
}

TEST_F(MainFrameStatusTest, TheLedIsOffUntilTheActiveDocumentCapturesThenBlinksEvery333Milliseconds) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    CStatusLEDPane* pLED = pFrame->GetStatusLED();
    ASSERT_NE(pLED, nullptr);
    auto shown = [&](const std::string& name) { return LedColoursShown(name); };
    const std::vector<COLORREF> off{kLedOff}, onA{kLedOnA}, onB{kLedOnB};

    for (int tick = 0; tick < 3; ++tick) {
        Advance(333);
        EXPECT_EQ(pLED->GetCurrent(), IDB_LED_OFF) << tick;
    }
    EXPECT_EQ(shown("off"), off);

    Active()->SetLogging(TRUE);
    Advance(333);
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_ON_A);
    EXPECT_EQ(shown("on_a"), onA);
    Advance(333);
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_ON_B);
    EXPECT_EQ(shown("on_b"), onB);
    Advance(200); // not yet a period
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_ON_B);
    Advance(133);
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_ON_A);

    Active()->SetLogging(FALSE);
    Advance(333);
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_OFF);
    EXPECT_EQ(shown("off_again"), off);
}

TEST_F(MainFrameStatusTest, ATickWhoseMessagesCloseTheCapturingDocumentReadsNothingOfItAfter) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    App().m_Settings.BackgroundLogging = true;
    Command(ID_USB_STARTEVENTCAPTURE);
    CUSBLog* pDoc = Active();
    ASSERT_NE(pDoc, nullptr);
    ASSERT_TRUE(pDoc->IsLogging());
    ASSERT_NE(pDoc->GetBackgroundProgress(), nullptr);
    // The user closes the window while the capture runs; the tick's pump of the progress window runs the
    // close, which stops the capture and deletes the document (AddressSanitizer sees any later read).
    pFrame->PostMessage(WM_COMMAND, ID_FILE_CLOSE);
    pFrame->SendMessage(WM_TIMER, 1);
    EXPECT_EQ(Active(), nullptr);
    EXPECT_EQ(pFrame->GetLiveDocument(), nullptr);
    Advance(333);
    EXPECT_EQ(pFrame->GetStatusLED()->GetCurrent(), IDB_LED_OFF);
}

TEST_F(MainFrameStatusTest, RefreshOnlyForALiveCaptureThatIsNotCapturingWithTheDeviceTreeOpen) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    auto enabled = [&] { return UpdateCommand(pFrame, ID_VIEW_REFRESH).enabled; };
    EXPECT_TRUE(enabled());
    Active()->SetLogging(TRUE);
    EXPECT_FALSE(enabled());
    Active()->SetLogging(FALSE);
    Command(ID_VIEW_DEVICETREE);
    EXPECT_FALSE(enabled());
    Command(ID_VIEW_DEVICETREE);
    EXPECT_TRUE(enabled());

    tdl::test::RecordingPanes panes;
    Command(ID_VIEW_REFRESH);
    // The device tree rebuilds the document's model, which lets the panes go of the model it replaces.
    EXPECT_EQ(panes.Take(), (std::vector<std::string>{"DoRefresh rebuild", "DeviceModelChanging"}));

    Command(ID_FILE_CLOSE);
    EXPECT_FALSE(enabled());
}

TEST_F(MainFrameStatusTest, TheStatusBarToggleHidesAndShowsTheBarWithItsIndicatorsAndLed) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    CGkStatusBar& bar = pFrame->GetStatusBar();
    const std::vector<UINT> indicators{ID_SEPARATOR,      ID_INDICATOR_WRAP, ID_INDICATOR_TRIG, ID_INDICATOR_FILT,
                                       ID_INDICATOR_CAPT, ID_INDICATOR_DIAG, ID_INDICATOR_LED};
    auto paneIds = [&] {
        std::vector<UINT> ids;
        for (int i = 0; i < bar.GetPaneCount(); ++i)
            ids.push_back(bar.GetItemID(i));
        return ids;
    };
    // The document windows' area: the MDI client's bottom edge in the frame's client coordinates.
    auto clientBottom = [&] {
        CRect rc;
        ::GetWindowRect(pFrame->m_hWndMDIClient, &rc);
        pFrame->ScreenToClient(&rc);
        return rc.bottom;
    };
    ASSERT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(UpdateCommand(pFrame, ID_VIEW_STATUS_BAR).check, 1);
    EXPECT_EQ(paneIds(), indicators);
    EXPECT_EQ(LedColoursShown("before_toggle"), std::vector<COLORREF>{kLedOff});
    CRect barRect;
    bar.GetWindowRect(&barRect);
    const int bottomWithBar = clientBottom();

    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(UpdateCommand(pFrame, ID_VIEW_STATUS_BAR).check, 0);
    // The frame's layout gives the bar's height to what lies above it.
    EXPECT_EQ(clientBottom(), bottomWithBar + barRect.Height());
    EXPECT_TRUE(tdl::test::SavePicture(pFrame->GetSafeHwnd(), "main_window_status_bar_hidden.png"));

    Command(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(UpdateCommand(pFrame, ID_VIEW_STATUS_BAR).check, 1);
    EXPECT_EQ(paneIds(), indicators);
    EXPECT_EQ(clientBottom(), bottomWithBar);
    EXPECT_EQ(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_LED)), pFrame->GetStatusLED());
    // The indicators still follow the document, and the LED is drawn again in its pane and still blinks.
    Active()->SetLogging(TRUE);
    Idle();
    EXPECT_TRUE(bar.GetPane(bar.CommandToIndex(ID_INDICATOR_CAPT))->IsEnabled());
    Advance(333);
    EXPECT_EQ(LedColoursShown("after_toggle"), std::vector<COLORREF>{kLedOnA});
}

} // namespace
} // namespace mainwin_test
