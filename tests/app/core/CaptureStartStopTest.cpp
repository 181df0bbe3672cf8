// The start and stop commands of a live capture: the session's start time in true UTC, the panes locked and
// unlocked around a capture, a start that fails, the gap message of a stop and a stop with nothing to stop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/frame/MainFrame.h"
#include "tests/support/UiFixture.h"
#include "windows.h"

namespace {

TEST(CaptureStartTime, UtcFieldsGiveUtcSecondsWhateverTheHostZone) {
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved != nullptr ? saved : "";
    // A zone with an offset and daylight saving: mktime of these fields would be hours off.
    ::setenv("TZ", "EST5EDT", 1);
    ::tzset();
    const struct {
        SYSTEMTIME time;
        LONGLONG seconds;
    } cases[] = {
        {{2026, 12, 4, 10, 9, 30, 0, 0}, 1796895000},
        {{2024, 2, 4, 29, 23, 59, 59, 0}, 1709251199},
        {{1970, 1, 4, 1, 0, 0, 0, 0}, 0},
        {{1899, 12, 0, 31, 23, 59, 59, 0}, 0},
        {{1601, 1, 0, 1, 0, 0, 0, 0}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CUSBLog::UtcSeconds(c.time), c.seconds) << c.time.wYear;
    if (saved != nullptr)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

class CaptureStartStopTest : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState(); // no control device: a capture cannot start
        win32::ClearModalRequests();
        m_window = std::make_unique<tdl::test::TestWindow>(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 100, 100});
        ASSERT_TRUE(m_frame.Attach(m_window->hwnd()));
        m_app.m_pMainWnd = &m_frame;
        m_template = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_template->AddDocument(&m_doc);
        m_doc.SetSettings(&m_settings);
    }
    void TearDown() override {
        m_template->RemoveDocument(&m_doc);
        m_doc.SetSettings(nullptr);
        m_app.m_pMainWnd = nullptr;
        m_frame.Detach();
        m_window.reset();
        win32::ClearModalRequests();
    }
    static std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const win32::ModalRequest& request : win32::ModalRequests())
            if (request.kind == win32::ModalKind::MessageBox)
                texts.push_back(request.text);
        win32::ClearModalRequests();
        return texts;
    }

    CWinApp m_app{"Tindaloft"};
    std::unique_ptr<tdl::test::TestWindow> m_window;
    CMainFrame m_frame;
    std::unique_ptr<CMultiDocTemplate> m_template;
    CAppSettings m_settings;
    CUSBLog m_doc;
};

TEST_F(CaptureStartStopTest, FailedStartResetsTheSessionAndUnlocksThePanes) {
    for (bool hide : {false, true}) {
        SCOPED_TRACE(hide);
        m_settings.HideDTOnLogging = hide;
        m_doc.SetStartTime(0);
        m_doc.SetSequenceGapCount(3);
        m_doc.SetExpectedSequenceNumber(17);
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        const std::size_t callsBefore = m_frame.RecordedCalls().size();

        m_doc.OnCmdMsg(ID_USB_STARTEVENTCAPTURE, CN_COMMAND, nullptr, nullptr);

        EXPECT_FALSE(m_doc.IsLogging());
        EXPECT_EQ(Boxes().size(), 1u); // the start failure's own message, and no gap message
        // The store was empty, so the session got a start time (the clock is past 1970).
        EXPECT_GT(m_doc.GetStartTime(), 0);
        EXPECT_EQ(m_doc.GetSequenceGapCount(), 0u);
        EXPECT_EQ(m_doc.GetExpectedSequenceNumber(), 0u);
        const std::vector<CString> calls(m_frame.RecordedCalls().begin() + static_cast<std::ptrdiff_t>(callsBefore),
                                         m_frame.RecordedCalls().end());
        if (hide)
            EXPECT_EQ(calls, (std::vector<CString>{"HideDevTreeAndStack", "RestoreDevTreeAndStack"}));
        else
            EXPECT_TRUE(calls.empty());
    }
}

TEST_F(CaptureStartStopTest, StopReportsGapsOnceAndASecondStopChangesNothing) {
    const struct {
        bool background;
        const char* text;
    } cases[] = {
        {false, "Session ended with detection of 2 out-of-sequence record(s).\nThis may mean that some records are "
                "missing from the log.\nTry using background logging to capture data from this device.\n"},
        {true, "Session ended with detection of 2 out-of-sequence record(s).\nThis may mean that some records are "
               "missing from the log.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.background);
        m_settings.BackgroundLogging = c.background;
        m_settings.HideDTOnLogging = true;
        m_doc.SetLogging(TRUE);
        m_doc.SetSequenceGapCount(2);
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "out-of-sequence");
        const std::size_t callsBefore = m_frame.RecordedCalls().size();

        m_doc.OnCmdMsg(ID_USB_STOPEVENTCAPTURE, CN_COMMAND, nullptr, nullptr);
        EXPECT_FALSE(m_doc.IsLogging());
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.text});
        ASSERT_EQ(m_frame.RecordedCalls().size(), callsBefore + 1);
        EXPECT_EQ(m_frame.RecordedCalls().back(), CString("RestoreDevTreeAndStack"));

        // A second posted stop: no message, the panes not touched again.
        m_doc.OnCmdMsg(ID_USB_STOPEVENTCAPTURE, CN_COMMAND, nullptr, nullptr);
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(m_frame.RecordedCalls().size(), callsBefore + 1);
    }
}

} // namespace
