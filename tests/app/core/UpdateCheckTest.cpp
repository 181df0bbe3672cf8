// The update check: the query the worker is given, how the answer is judged and shown, the on-demand check's
// bounded wait, the start-up result shown once, and a worker that outlives the application object.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/core/UpdateCheck.h"
#include "app/core/UpdateServer.h"
#include "tests/app/core/HelpMenuFixture.h"

namespace {

// Polls in real time (at most 10 s) until the check has ended.
bool WaitForCheckEnd(const CUpdateBlock& block) {
    for (int i = 0; i < 10000 && block.IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !block.IsRunning();
}

std::vector<win32::ModalRequest> Dialogs() {
    std::vector<win32::ModalRequest> dialogs;
    for (const win32::ModalRequest& request : win32::ModalRequests()) {
        if (request.kind == win32::ModalKind::Dialog) {
            dialogs.push_back(request);
        }
    }
    return dialogs;
}

class UpdateCheckTest : public apptest::HelpMenuTest {
protected:
    void TearDown() override {
        SetUpdateCheckServer(nullptr);
        HelpMenuTest::TearDown();
    }
    // An application object that has not started, with a version of its own.
    CTindaloftApp& MakeApp() {
        CTindaloftApp& app = m_starter->Make();
        app.m_nVersionMajor = 2;
        app.m_nVersionMinor = 5;
        app.m_nVersionRevision = 1;
        app.m_nVersionBuild = 627;
        return app;
    }
    // Answers the next update dialog after reading its two texts.
    void ExpectUpdateDialog() {
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [this](const win32::ModalRequest&, HWND dialog) {
                char text[128] = {};
                ::GetDlgItemTextA(dialog, 1272, text, sizeof text);
                m_latest = text;
                ::GetDlgItemTextA(dialog, 1271, text, sizeof text);
                m_installed = text;
                return IDCANCEL;
            },
            "271");
    }

    std::string m_latest;
    std::string m_installed;
};

TEST_F(UpdateCheckTest, TheAnswerIsJudgedAgainstTheProgramsOwnVersion) {
    CTindaloftApp& app = MakeApp();
    ASSERT_EQ(app.GetVersionText(), CString("2.5.1 Build 627"));
    const std::string unreachable = std::string("Unable to connect to ") + kUpdateServerHost + ".";
    const std::string unexpected = "Unexpected response from server, please try again.";
    struct Case {
        const char* name;
        bool running;
        bool received;
        std::u16string response;
        bool loud;
        std::string message; // empty: none
        const char* latest;  // the update dialog's server version; nullptr: no dialog
    };
    const Case cases[] = {
        {"running", true, true, u"Tindaloft 2.6.0 Build 700", true, "", nullptr},
        {"no answer, loud", false, false, u"", true, unreachable, nullptr},
        {"no answer, quiet", false, false, u"", false, "", nullptr},
        {"equal, loud", false, true, u"Tindaloft 2.5.1 Build 627", true, "No newer update available.", nullptr},
        {"equal, quiet", false, true, u"Tindaloft 2.5.1 Build 627", false, "", nullptr},
        {"newer, loud", false, true, u"Tindaloft 2.6.0 Build 700", true, "", "2.6.0 Build 700"},
        {"newer, quiet", false, true, u"Tindaloft 2.6.0 Build 700", false, "", "2.6.0 Build 700"},
        {"older", false, true, u"Tindaloft 2.5.0 Build 600", false, "", "2.5.0 Build 600"},
        {"trailing text", false, true, u"Tindaloft 2.5.1 Build 627\r\n", false, "", "2.5.1 Build 627\r\n"},
        {"another prefix, loud", false, true, u"tindaloft 2.6.0 Build 700", true, unexpected, nullptr},
        {"another prefix, quiet", false, true, u"Other 2.6.0 Build 700", false, "", nullptr},
        {"the word alone", false, true, u"Tindaloft", true, unexpected, nullptr},
        {"empty", false, true, u"", true, unexpected, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearModalRequests();
        m_latest.clear();
        CUpdateBlock& block = *app.m_pUpdate;
        block.m_bUpdateCheckRunning = c.running;
        block.m_bUpdateResponseReceived = c.received;
        std::fill(std::begin(block.m_szUpdateResponse), std::end(block.m_szUpdateResponse), u'\0');
        std::copy(c.response.begin(), c.response.end(), block.m_szUpdateResponse);
        if (!c.message.empty()) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        }
        if (c.latest != nullptr) {
            ExpectUpdateDialog();
        }
        app.ShowUpdateResult(c.loud);

        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        if (c.message.empty()) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, c.message);
            EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
        }
        if (c.latest != nullptr) {
            EXPECT_EQ(m_latest, std::string("The latest version is: ") + c.latest);
            EXPECT_EQ(m_installed, "Your installed version is: 2.5.1 Build 627");
        }
        EXPECT_EQ(win32::PendingModalScripts(), 0u);
        EXPECT_TRUE(win32::UnexpectedModalRequests().empty());
    }
}

TEST_F(UpdateCheckTest, TheWorkerIsGivenTheQueryAndKeepsAtMost255CharactersOfTheAnswer) {
    CTindaloftApp& app = MakeApp();
    std::promise<std::u16string> asked;
    SetUpdateCheckServer([&](const std::u16string& query) -> std::optional<std::u16string> {
        asked.set_value(query);
        return std::u16string(300, u'x');
    });
    app.StartUpdateCheck();
    const std::u16string query = asked.get_future().get();
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));

    const CString expected = "Tindaloft-2.5.1.627-std-" + app.m_OSVersion.GetDescription() + "-x64";
    EXPECT_EQ(CString(query.c_str()), expected);
    EXPECT_EQ(app.BuildUpdateQuery(), expected);
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResponseReceived);
    EXPECT_EQ(std::u16string(app.m_pUpdate->m_szUpdateResponse), std::u16string(255, u'x'));

    // Nobody answering: the check ends without an answer, and a new start forgets the old one.
    SetUpdateCheckServer(nullptr);
    app.StartUpdateCheck();
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
    EXPECT_FALSE(app.m_pUpdate->m_bUpdateResponseReceived);
    EXPECT_EQ(app.m_pUpdate->m_szUpdateResponse[0], u'\0');
}

TEST_F(UpdateCheckTest, ACheckOnDemandThatEndsInTimeShowsItsResultWithTheWaitCursorMeanwhile) {
    CTindaloftApp& app = MakeApp();
    std::string cursorWhileAsked;
    SetUpdateCheckServer([&](const std::u16string&) -> std::optional<std::u16string> {
        cursorWhileAsked = win32::CurrentCursorName();
        return u"Tindaloft 2.5.1 Build 627";
    });
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    app.OnHelpCheckUpdate();
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"No newer update available."});
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResultShown);
    EXPECT_EQ(cursorWhileAsked, "wait");
    EXPECT_NE(win32::CurrentCursorName(), "wait");
}

TEST_F(UpdateCheckTest, ACheckOnDemandGivesUpAfterThirtyHalfSecondsAndItsLateAnswerShowsNothing) {
    CTindaloftApp& app = Start();
    app.m_nVersionMajor = 2;
    SetUpdateCheckServer([](const std::u16string&) -> std::optional<std::u16string> {
        ::Sleep(60'000);
        return u"Tindaloft 9.0.0 Build 1";
    });
    nt::clock::UseVirtualClock();
    const LONGLONG start = nt::clock::Now();
    const size_t background = nt::clock::TimedWaiterCount();
    std::atomic<bool> finished{false};
    std::thread clock([&] {
        // Each half-second step passes once the waiting thread sleeps beside the worker. After a step the
        // waiting thread wakes and sleeps again at the same machine time, so the next step is due whether or
        // not the pause below saw it wake.
        while (!finished.load()) {
            if (nt::clock::TimedWaiterCount() >= background + 2) {
                nt::clock::AdvanceMilliseconds(CTindaloftApp::UpdateWaitStep);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    });
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    app.OnHelpCheckUpdate();
    finished = true;
    clock.join();

    // Thirty steps of half a second (a step the pause above missed would be counted twice, never skipped).
    const LONGLONG bound =
        CTindaloftApp::UpdateWaitSteps * CTindaloftApp::UpdateWaitStep * nt::clock::kUnitsPerMillisecond;
    EXPECT_GE(nt::clock::Now() - start, bound);
    EXPECT_LE(nt::clock::Now() - start, bound + 2 * CTindaloftApp::UpdateWaitStep * nt::clock::kUnitsPerMillisecond);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"Timeout trying to access server."});
    EXPECT_TRUE(app.m_pUpdate->IsRunning());
    // A second request while the worker still runs does nothing.
    app.OnHelpCheckUpdate();
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());

    // The late answer arrives; neither idle time nor anything else shows it.
    nt::clock::AdvanceMilliseconds(60'000);
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResponseReceived);
    app.OnIdle(0);
    win32::PumpUiMessages();
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(UpdateCheckTest, TheStartUpCheckIsShownOnceAtTheEndOfTheStartOrAtTheFirstIdleTimeAfterIt) {
    for (const bool answerAtOnce : {true, false}) {
        SCOPED_TRACE(answerAtOnce ? "answered during the start" : "answered after the start");
        win32::ClearModalRequests();
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        SetUpdateCheckServer([&, released](const std::u16string&) -> std::optional<std::u16string> {
            if (!answerAtOnce) {
                released.wait();
            }
            return u"Tindaloft 9.9.9 Build 9";
        });
        ExpectUpdateDialog();
        CTindaloftApp& app = m_starter->Make("/Embedding");
        ASSERT_TRUE(m_starter->Start());
        if (!answerAtOnce) {
            EXPECT_TRUE(app.m_pUpdate->IsRunning());
            EXPECT_FALSE(app.m_pUpdate->m_bUpdateResultShown);
            release.set_value();
        }
        ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
        for (LONG count = 0; count < 3; ++count) {
            app.OnIdle(count);
            win32::PumpUiMessages();
        }
        EXPECT_EQ(Dialogs().size(), 1u);
        EXPECT_EQ(m_latest, "The latest version is: 9.9.9 Build 9");
        if (answerAtOnce) {
            release.set_value();
        }
    }
}

TEST_F(UpdateCheckTest, AWorkerThatOutlivesTheApplicationObjectWritesIntoABlockOfItsOwn) {
    CTindaloftApp& app = MakeApp();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    SetUpdateCheckServer([released](const std::u16string&) -> std::optional<std::u16string> {
        released.wait();
        return u"Tindaloft 9.9.9 Build 9";
    });
    app.StartUpdateCheck();
    const std::weak_ptr<CUpdateBlock> block = app.m_pUpdate;
    m_starter->Make(); // the application object goes while its worker waits for the server
    release.set_value();
    for (int i = 0; i < 10000 && !block.expired(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(block.expired());
}

TEST_F(UpdateCheckTest, CheckForUpdateIsOfferedWheneverThereIsAMainWindow) {
    Start();
    EXPECT_TRUE(IsEnabled(ID_HELP_CHECKUPDATE));
    CTindaloftApp& app = m_starter->App();
    struct Probe : CCmdUI {
        void Enable(BOOL bOn) override { enabled = bOn != FALSE; }
        bool enabled = true;
    } probe;
    CWnd* pMain = app.m_pMainWnd;
    app.m_pMainWnd = nullptr;
    app.OnUpdateHelpCheckUpdate(&probe);
    app.m_pMainWnd = pMain;
    EXPECT_FALSE(probe.enabled);
}

} // namespace
