// Background logging as its user sees it: the progress window a start opens (its text for every buffer
// size), the list emptied while the capture thread fills the store, and the stop that reloads the list,
// closes the window and selects the trigger's record; Cancel stops the capture once; a start that fails
// leaves no window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WinCommonControls.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/ui/dialogs/LogProgress.h"
#include "app/ui/loglist/LogListView.h"
#include "tests/app/core/CaptureCommandFixture.h"
#include "tests/support/ListRows.h"
#include "tests/support/Pictures.h"

namespace {

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

TEST(CaptureBackgroundText, NamesTheCaptureEndAndTheBufferSize) {
    const struct {
        DWORD size;
        const char* text;
    } sizes[] = {
        {262144, " buffer size 256KB"},  {1048576, " buffer size 1MB"},   {5242880, " buffer size 5MB"},
        {10485760, " buffer size 10MB"}, {52428800, " buffer size 50MB"}, {104857600, " buffer size 100MB"},
        {65536, " buffer size ?"},       {0, " buffer size ?"},
    };
    CAppSettings settings;
    for (const auto& s : sizes) {
        settings.MaxLogBuffer = s.size;
        settings.ContinuousLogging = false;
        EXPECT_EQ(std::string(CUSBLog::BackgroundLoggingText(settings)),
                  std::string("Logging terminates when buffer is full, ") + s.text);
        settings.ContinuousLogging = true;
        EXPECT_EQ(std::string(CUSBLog::BackgroundLoggingText(settings)), std::string("Continuous logging, ") + s.text);
    }
}

class CaptureBackgroundTest : public apptest::CaptureCommandFixture {
protected:
    void SetUp() override {
        apptest::CaptureCommandFixture::SetUp();
        App().m_Settings.BackgroundLogging = true;
        App().m_Settings.ContinuousLogging = true;
    }
    void TearDown() override {
        // The view's window takes the view with it, and the view leaves its document.
        if (m_pView != nullptr)
            m_pView->DestroyWindow();
        m_pView = nullptr;
        apptest::CaptureCommandFixture::TearDown();
    }
    // The document with its record list in the main window's client area, a few rows high.
    CUSBLog& NewDocumentWithView() {
        CUSBLog& doc = NewDocument();
        CCreateContext context;
        context.m_pCurrentDoc = &doc;
        CRect client;
        m_frame.GetClientRect(&client);
        m_pView = new CLogListView;
        EXPECT_TRUE(
            m_pView->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, &m_frame, AFX_IDW_PANE_FIRST, &context));
        return doc;
    }

    CLogListView* m_pView = nullptr;
};

TEST_F(CaptureBackgroundTest, StartOpensTheWindowAndStopReloadsTheListAndSelectsTheTrigger) {
    CUSBLog& doc = NewDocumentWithView();
    App().m_Settings.MaxLogBuffer = 1048576; // as the user chose it; the banks keep their size
    AddRecords(doc, {7, 8});
    m_pView->RedrawRange();
    ASSERT_EQ(m_pView->GetItemCount(), 2);
    auto* pTrigger = new CFilterDefinition;
    std::fill(pTrigger->GetBlock().Bytes + 2, pTrigger->GetBlock().Bytes + FILTER_BLOCK_SIZE, 1);
    doc.SetTrigger(pTrigger);
    doc.SetTriggerOn(TRUE);

    Command(ID_USB_STARTEVENTCAPTURE);
    ASSERT_TRUE(doc.IsLogging());
    CLogProgress* pDialog = doc.GetBackgroundProgress();
    ASSERT_NE(pDialog, nullptr);
    HWND hDialog = pDialog->GetSafeHwnd();
    EXPECT_TRUE(::IsWindowVisible(hDialog));
    CString title;
    pDialog->GetWindowText(title);
    EXPECT_EQ(title, CString("Background Logging in Progress ..."));
    EXPECT_EQ(ItemText(hDialog, IDC_BACKGROUND_STATUS), "Continuous logging,  buffer size 1MB");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDialog, IDC_BACKGROUND_BAR1)));
    // The list shows nothing while the capture thread fills the store.
    EXPECT_EQ(m_pView->GetItemCount(), 0);
    const std::vector<std::string> started = m_panes.Take();
    EXPECT_NE(std::find(started.begin(), started.end(), "DataBarClear"), started.end());
    EXPECT_TRUE(tdl::test::SavePicture(hDialog, "tdl-background-progress.png"));

    // The driver's last records reach the store before the thread ends; the second one fires the trigger
    // (an end-of-data record is never tested).
    std::vector<uint8_t> block;
    tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(1).Build());
    tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(2).Build());
    tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::dneL).Sequence(3).Build());
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, block);
    Command(ID_USB_STOPEVENTCAPTURE);

    EXPECT_FALSE(doc.IsLogging());
    EXPECT_FALSE(::IsWindow(hDialog));
    EXPECT_EQ(doc.GetBackgroundProgress(), nullptr);
    EXPECT_EQ(m_pView->GetItemCount(), 5);
    EXPECT_EQ(doc.GetTriggerSequenceNumber(), 2u);
    EXPECT_GT(m_pView->GetListCtrl().GetTopIndex(), 0);
    EXPECT_TRUE(tdl::test::RowShown(m_pView->GetListCtrl(), 3));
    EXPECT_EQ(m_pView->GetListCtrl().GetNextItem(-1, LVNI_SELECTED), 3);
    EXPECT_EQ(m_pView->GetListCtrl().GetSelectedCount(), 1u);
    const std::vector<std::string> stopped = m_panes.Take();
    ASSERT_FALSE(stopped.empty());
    EXPECT_EQ(stopped.back(), "RefreshDeviceTreeTabViews writeable");
}

TEST_F(CaptureBackgroundTest, CancelStopsTheCaptureOnceAndClosesTheWindow) {
    CUSBLog& doc = NewDocumentWithView();
    App().m_Settings.ContinuousLogging = false;
    Command(ID_USB_STARTEVENTCAPTURE);
    ASSERT_TRUE(doc.IsLogging());
    HWND hDialog = doc.GetBackgroundProgress()->GetSafeHwnd();
    // Only the first bank fills when the capture ends with a full buffer.
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDialog, IDC_BACKGROUND_BAR1)));
    doc.SetSequenceGapCount(1);
    // While the stop tells of the gap, the cancelled window shows that logging stopped; it goes after.
    std::string statusAtMessage;
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND) {
            statusAtMessage = ItemText(hDialog, IDC_BACKGROUND_STATUS);
            return static_cast<INT_PTR>(IDOK);
        },
        "out-of-sequence");

    ::SendMessageA(::GetDlgItem(hDialog, IDCANCEL), BM_CLICK, 0, 0);

    EXPECT_FALSE(doc.IsLogging());
    EXPECT_EQ(statusAtMessage, "Logging Stopped");
    EXPECT_FALSE(::IsWindow(hDialog));
    EXPECT_EQ(doc.GetBackgroundProgress(), nullptr);
    // In background logging the gap message does not suggest it.
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(),
              std::vector<std::string>{"Session ended with detection of 1 out-of-sequence record(s).\nThis may mean "
                                       "that some records are missing from the log.\n"});
    // The stop the capture thread posted meanwhile finds nothing to stop.
    Command(ID_USB_STOPEVENTCAPTURE);
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());
}

TEST_F(CaptureBackgroundTest, AFailedStartLeavesNoWindowAndThePanesWriteable) {
    CUSBLog& doc = NewDocumentWithView();
    m_fake.reset(); // the capture thread cannot open the control device
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);

    Command(ID_USB_STARTEVENTCAPTURE);

    EXPECT_FALSE(doc.IsLogging());
    EXPECT_EQ(doc.GetBackgroundProgress(), nullptr);
    const std::vector<std::string> calls = m_panes.Take();
    const auto readOnly = std::find(calls.begin(), calls.end(), "SetDeviceTreeReadOnly");
    const auto writeable = std::find(calls.begin(), calls.end(), "SetDeviceTreeWriteable");
    EXPECT_LT(readOnly, writeable);
    ASSERT_NE(writeable, calls.end());
    EXPECT_EQ(calls.back(), "RefreshDeviceTreeTabViews writeable");
}

} // namespace
