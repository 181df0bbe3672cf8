// A new live capture document made while the driver has been capturing since a capture-once boot takes that
// capture over through the start command: the panes locked, a start time, the background window open and the
// driver's capture attached rather than restarted; the boot state is used once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ui/dialogs/LogProgress.h"
#include "tests/app/core/CaptureCommandFixture.h"

namespace {

class CaptureBootAttachTest : public apptest::CaptureCommandFixture {};

TEST_F(CaptureBootAttachTest, ANewDocumentTakesOverTheBootCaptureAsAStartDoes) {
    for (bool background : {false, true}) {
        SCOPED_TRACE(background);
        TearDown();
        SetUp();
        App().m_Settings.BackgroundLogging = background;
        App().m_DriverInfo.CaptureLogActive = 1;
        App().m_DriverInfo.CaptureOnceOnBoot = 1;

        CUSBLog& doc = NewDocument();

        EXPECT_TRUE(doc.IsLogging());
        EXPECT_GT(doc.GetStartTime(), 0);
        EXPECT_FALSE(App().IsBootCaptureActive());
        EXPECT_EQ(doc.GetBackgroundProgress() != nullptr, background);
        const std::vector<std::string> calls = m_panes.Take();
        EXPECT_NE(std::find(calls.begin(), calls.end(), "SetDeviceTreeReadOnly"), calls.end());
        EXPECT_EQ(std::find(calls.begin(), calls.end(), "SetDeviceTreeWriteable"), calls.end());

        Command(ID_USB_STOPEVENTCAPTURE);
        EXPECT_FALSE(doc.IsLogging());
        EXPECT_EQ(doc.GetBackgroundProgress(), nullptr);
    }
}

TEST_F(CaptureBootAttachTest, WithoutABootCaptureANewDocumentDoesNotLog) {
    App().m_DriverInfo.CaptureOnceOnBoot = 1; // asked for the next boot, not capturing now
    CUSBLog& doc = NewDocument();
    EXPECT_FALSE(doc.IsLogging());
    EXPECT_EQ(doc.GetStartTime(), 0);
    EXPECT_TRUE(m_panes.Take().empty());
}

} // namespace
