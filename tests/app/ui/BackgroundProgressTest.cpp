// The frame's part in background logging, on the scripted control device: each tick sets the progress window's
// bars to the capture banks' fill (the second bar only while the banks alternate), leaves a cancelled window
// alone, and reads nothing of the window or the document after the window's messages ran (Cancel among them).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "WinCommonControls.h"
#include "app/ui/dialogs/LogProgress.h"
#include "tests/app/core/CaptureCommandFixture.h"

namespace {

class BackgroundProgressTest : public apptest::CaptureCommandFixture {
protected:
    void SetUp() override {
        apptest::CaptureCommandFixture::SetUp();
        App().m_Settings.BackgroundLogging = true;
    }
    // A background capture started, with `records` records read into the first bank.
    CLogProgress* StartWithRecords(CUSBLog& doc, int records) {
        std::vector<uint8_t> block;
        for (int i = 1; i <= records; ++i)
            tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(i).Build());
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, block);
        Command(ID_USB_STARTEVENTCAPTURE);
        EXPECT_TRUE(doc.IsLogging());
        // The capture thread reads the block on its own.
        for (int round = 0; round < 5000 && doc.GetLogRecords()->GetCount() < records; ++round)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(doc.GetLogRecords()->GetCount(), records);
        return doc.GetBackgroundProgress();
    }
    static int Bar(CLogProgress* pDialog, int nBar) {
        HWND hBar = ::GetDlgItem(pDialog->GetSafeHwnd(), nBar == 0 ? IDC_BACKGROUND_BAR0 : IDC_BACKGROUND_BAR1);
        return static_cast<int>(::SendMessageA(hBar, PBM_GETPOS, 0, 0));
    }
};

TEST_F(BackgroundProgressTest, TheBarsFollowTheBanksFillTheSecondOnlyWhileTheBanksAlternate) {
    for (bool continuous : {false, true}) {
        SCOPED_TRACE(continuous);
        TearDown();
        SetUp();
        App().m_Settings.ContinuousLogging = continuous;
        CUSBLog& doc = NewDocument();
        CLogProgress* pDialog = StartWithRecords(doc, 120);
        ASSERT_NE(pDialog, nullptr);
        int nBanks = 0, nPercent0 = 0, nPercent1 = 0;
        doc.GetLogRecords()->GetBufferFill(nBanks, nPercent0, nPercent1);
        ASSERT_GT(nPercent0, 0);
        pDialog->SetPos(1, 77);

        m_frame.ShowBackgroundProgress(&doc);
        EXPECT_EQ(Bar(pDialog, 0), nPercent0);
        EXPECT_EQ(Bar(pDialog, 1), continuous ? nPercent1 : 77);

        // Background logging switched off, then a cancelled window: the bars are left alone.
        pDialog->SetPos(0, 55);
        App().m_Settings.BackgroundLogging = false;
        m_frame.ShowBackgroundProgress(&doc);
        EXPECT_EQ(Bar(pDialog, 0), 55);
        App().m_Settings.BackgroundLogging = true;
        pDialog->SetCancelled();
        m_frame.ShowBackgroundProgress(&doc);
        EXPECT_EQ(Bar(pDialog, 0), 55);
        Command(ID_USB_STOPEVENTCAPTURE);
        EXPECT_FALSE(doc.IsLogging());
    }
}

TEST_F(BackgroundProgressTest, CancelRunByTheTicksPumpStopsTheCaptureAndNothingOfTheWindowIsReadAfter) {
    CUSBLog& doc = NewDocument();
    CLogProgress* pDialog = StartWithRecords(doc, 10);
    ASSERT_NE(pDialog, nullptr);
    const HWND hDialog = pDialog->GetSafeHwnd();
    // The user's Cancel waits in the queue when the tick comes; the tick's pump runs it, which stops the
    // capture and takes the window and its object away (AddressSanitizer sees any later read).
    ::PostMessageA(hDialog, WM_COMMAND, IDCANCEL, 0);
    m_frame.ShowBackgroundProgress(&doc);
    EXPECT_FALSE(::IsWindow(hDialog));
    EXPECT_FALSE(doc.IsLogging());
    EXPECT_EQ(doc.GetBackgroundProgress(), nullptr);
    m_frame.ShowBackgroundProgress(&doc); // no window any more: nothing happens
}

} // namespace
