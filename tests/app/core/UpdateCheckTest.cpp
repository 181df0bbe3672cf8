// The update check against the update server on the loopback address: what the worker asks and keeps, a
// worker without its library, a server that fails, how the answer is judged and shown, the on-demand check's
// bounded wait, the start-up result shown once, and a worker that outlives the application object.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WinHttpControl.h"
#include "WinModulesControl.h"
#include "app/core/update/UpdateCheck.h"
#include "app/core/update/UpdateServer.h"
#include "tests/app/core/HelpMenuFixture.h"
#include "tests/support/HttpTestServer.h"

namespace {

using tdl::test::HttpAnswer;
using tdl::test::HttpTestServer;

// The ten entry points the client binds.
constexpr const char* kWinHttpExports[] = {"WinHttpOpen",         "WinHttpCrackUrl",           "WinHttpConnect",
                                           "WinHttpOpenRequest",  "WinHttpSendRequest",        "WinHttpReceiveResponse",
                                           "WinHttpQueryHeaders", "WinHttpQueryDataAvailable", "WinHttpReadData",
                                           "WinHttpCloseHandle"};

// The version file as the update server sends it: head and text in one write.
HttpAnswer VersionFile(const std::string& text, bool held = false) {
    HttpAnswer answer = HttpAnswer::WithLength("text/plain", {text});
    answer.head += text;
    answer.body.clear();
    answer.held = held;
    return answer;
}

// Runs the worker on the calling thread with a block of its own, as the application starts it.
std::shared_ptr<CUpdateBlock> RunWorker(const std::u16string& query = u"query") {
    auto block = std::make_shared<CUpdateBlock>();
    block->m_bUpdateCheckRunning = TRUE;
    std::fill(std::begin(block->m_szUpdateResponse), std::end(block->m_szUpdateResponse), u'#');
    std::copy(query.begin(), query.end(), block->m_szUpdateQuery);
    EXPECT_EQ(UpdateCheckThreadProc(new std::shared_ptr<CUpdateBlock>(block)), 0u);
    EXPECT_FALSE(block->IsRunning());
    return block;
}

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
    void SetUp() override {
        HelpMenuTest::SetUp();
        win32::ResetWinHttp();
        win32::RegisterWinHttpModule();
        ASSERT_TRUE(win32::MapWinHttpHost(kUpdateServerHost, 80, "127.0.0.1", m_server.Port()));
    }
    void TearDown() override {
        HelpMenuTest::TearDown();
        win32::UnregisterModule("winhttp");
        win32::ResetWinHttp();
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

    HttpTestServer m_server;
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

TEST_F(UpdateCheckTest, TheWorkerAsksForTheVersionFileWithTheQueryAndKeepsAtMost255Characters) {
    CTindaloftApp& app = MakeApp();
    m_server.Script({VersionFile(std::string(300, 'x'))});
    app.StartUpdateCheck();
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));

    const CString query = "Tindaloft-2.5.1.627-std-" + app.m_OSVersion.GetDescription() + "-x64";
    EXPECT_EQ(app.BuildUpdateQuery(), query);
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_EQ(m_server.Requests()[0], std::string("GET /tdloft_ver.txt HTTP/1.1\r\nHost: ") + kUpdateServerHost +
                                          "\r\nUser-Agent: " + query.GetString() + "\r\n\r\n");
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResponseReceived);
    EXPECT_EQ(std::u16string(app.m_pUpdate->m_szUpdateResponse), std::u16string(255, u'x'));

    // Nobody answering: the check ends without an answer, and a new start forgets the old one.
    win32::ResetWinHttp();
    app.StartUpdateCheck();
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
    EXPECT_FALSE(app.m_pUpdate->m_bUpdateResponseReceived);
    EXPECT_EQ(app.m_pUpdate->m_szUpdateResponse[0], u'\0');
}

TEST_F(UpdateCheckTest, TheAnswerLandsInTheBlockCutTo255AndTerminatedWhateverItsFraming) {
    struct Case {
        const char* name;
        HttpAnswer answer;
        std::u16string response;
    };
    const Case cases[] = {
        {"by length, in pieces", HttpAnswer::WithLength("text/plain", {"Tindaloft 2.20.0 ", "Build 1"}),
         u"Tindaloft 2.20.0 Build 1"},
        {"chunked, UTF-8 split", HttpAnswer::Chunked("text/plain; charset=UTF-8", {"Caf\xC3", "\xA9"}), u"Caf\u00E9"},
        {"to the close, no charset", HttpAnswer::CloseDelimited("text/plain", {"Caf\xE9"}), u"Caf\u00E9"},
        {"300 characters", HttpAnswer::Chunked("", {std::string(200, 'a'), std::string(100, 'b')}),
         std::u16string(200, u'a') + std::u16string(55, u'b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.Script({c.answer});
        const std::shared_ptr<CUpdateBlock> block = RunWorker();
        EXPECT_TRUE(block->m_bUpdateResponseReceived);
        EXPECT_EQ(std::u16string(block->m_szUpdateResponse), c.response);
        EXPECT_EQ(block->m_szUpdateResponse[c.response.size()], u'\0');
        if (c.response.size() < CUpdateBlock::ResponseLength - 1) {
            EXPECT_EQ(block->m_szUpdateResponse[c.response.size() + 1], u'#') << "only the text and its terminator";
        }
        EXPECT_EQ(win32::ModuleLoadCount("winhttp"), 0);
    }
}

TEST_F(UpdateCheckTest, WithoutTheLibraryOrWithAnEntryPointMissingTheWorkerEndsAtOnce) {
    m_server.Script({VersionFile("Tindaloft 9.9.9 Build 9")});
    std::vector<const char*> missing = {nullptr};
    missing.insert(missing.end(), std::begin(kWinHttpExports), std::end(kWinHttpExports));
    for (const char* name : missing) {
        SCOPED_TRACE(name != nullptr ? name : "no library");
        if (name == nullptr) {
            win32::UnregisterModule("winhttp");
        } else {
            win32::RegisterWinHttpModule(name);
        }
        const std::shared_ptr<CUpdateBlock> block = RunWorker();
        EXPECT_FALSE(block->m_bUpdateResponseReceived);
        EXPECT_EQ(win32::ModuleLoadCount("winhttp"), 0);
    }
    EXPECT_EQ(m_server.Connections(), 0);
    EXPECT_TRUE(win32::WinHttpHandleEvents().empty());
}

TEST_F(UpdateCheckTest, AServerThatFailsIsTriedThreeTimesAndGivesNoAnswer) {
    m_server.Script({HttpAnswer::ClosedBeforeHeaders("HTTP/1.1 200")});
    EXPECT_FALSE(RunWorker()->m_bUpdateResponseReceived);
    EXPECT_EQ(m_server.Connections(), 3);

    tdl::test::RefusingPort refusing;
    win32::ResetWinHttp();
    ASSERT_TRUE(win32::MapWinHttpHost(kUpdateServerHost, 80, "127.0.0.1", refusing.Port()));
    EXPECT_FALSE(RunWorker()->m_bUpdateResponseReceived);
    EXPECT_EQ(win32::WinHttpConnectionAttempts(), 3);
    EXPECT_EQ(win32::WinHttpOpenHandleCount(), 0u);
}

TEST_F(UpdateCheckTest, ACheckOnDemandThatEndsInTimeShowsItsResultWithTheWaitCursorMeanwhile) {
    CTindaloftApp& app = MakeApp();
    std::string cursorWhileAsked;
    m_server.OnRequest([&](const std::string&) { cursorWhileAsked = win32::CurrentCursorName(); });
    m_server.Script({VersionFile("Tindaloft 2.5.1 Build 627")});
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    app.OnHelpCheckUpdate();
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"No newer update available."});
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResultShown);
    EXPECT_EQ(cursorWhileAsked, "wait");
    EXPECT_NE(win32::CurrentCursorName(), "wait");
}

TEST_F(UpdateCheckTest, ACheckOnDemandGivesUpAfterThirtyHalfSecondsAndItsLateAnswerOnlyFillsTheBlock) {
    CTindaloftApp& app = Start();
    app.m_nVersionMajor = 2;
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate)); // the start's own check, which nobody answered
    const int connections = m_server.Connections();
    m_server.Script({VersionFile("Tindaloft 9.0.0 Build 1", true)});
    nt::clock::UseVirtualClock();
    const LONGLONG start = nt::clock::Now();
    const size_t background = nt::clock::TimedWaiterCount();
    std::atomic<bool> finished{false};
    std::thread clock([&] {
        // Each half-second step passes once the waiting thread sleeps beside the worker, which waits for the
        // server's answer. After a step the waiting thread wakes and sleeps again at the same machine time, so
        // the next step is due whether or not the pause below saw it wake.
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

    // Thirty steps of half a second (a step the pause above missed would be counted twice, never skipped),
    // well within the worker's own time-out for the answer.
    const LONGLONG bound =
        CTindaloftApp::UpdateWaitSteps * CTindaloftApp::UpdateWaitStep * nt::clock::kUnitsPerMillisecond;
    EXPECT_GE(nt::clock::Now() - start, bound);
    EXPECT_LE(nt::clock::Now() - start, bound + 2 * CTindaloftApp::UpdateWaitStep * nt::clock::kUnitsPerMillisecond);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"Timeout trying to access server."});
    EXPECT_TRUE(app.m_pUpdate->IsRunning());
    // A second request while the worker still runs does nothing.
    app.OnHelpCheckUpdate();
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());

    // The late answer arrives and goes into the block; neither idle time nor anything else shows it.
    m_server.Release();
    ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResponseReceived);
    EXPECT_EQ(std::u16string(app.m_pUpdate->m_szUpdateResponse), u"Tindaloft 9.0.0 Build 1");
    app.OnIdle(0);
    win32::PumpUiMessages();
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(m_server.Connections(), connections + 1);
}

TEST_F(UpdateCheckTest, TheStartUpCheckIsShownOnceAtTheEndOfTheStartOrAtTheFirstIdleTimeAfterIt) {
    for (const bool answerAtOnce : {true, false}) {
        SCOPED_TRACE(answerAtOnce ? "answered during the start" : "answered after the start");
        HttpTestServer server;
        ASSERT_TRUE(win32::MapWinHttpHost(kUpdateServerHost, 80, "127.0.0.1", server.Port()));
        server.Script({VersionFile("Tindaloft 9.9.9 Build 9", !answerAtOnce)});
        win32::ClearModalRequests();
        ExpectUpdateDialog();
        CTindaloftApp& app = m_starter->Make("/Embedding");
        ASSERT_TRUE(m_starter->Start());
        if (!answerAtOnce) {
            EXPECT_TRUE(app.m_pUpdate->IsRunning());
            EXPECT_FALSE(app.m_pUpdate->m_bUpdateResultShown);
            server.Release();
        }
        ASSERT_TRUE(WaitForCheckEnd(*app.m_pUpdate));
        for (LONG count = 0; count < 3; ++count) {
            app.OnIdle(count);
            win32::PumpUiMessages();
        }
        EXPECT_EQ(Dialogs().size(), 1u);
        EXPECT_EQ(m_latest, "The latest version is: 9.9.9 Build 9");
        EXPECT_EQ(server.Connections(), 1);
    }
}

TEST_F(UpdateCheckTest, AWorkerThatOutlivesTheApplicationObjectWritesOnlyIntoTheBlockItShares) {
    for (const bool blockKept : {true, false}) {
        SCOPED_TRACE(blockKept ? "the block kept by another" : "the worker holding the block alone");
        HttpTestServer server;
        ASSERT_TRUE(win32::MapWinHttpHost(kUpdateServerHost, 80, "127.0.0.1", server.Port()));
        server.Script({VersionFile("Tindaloft 9.9.9 Build 9", true)});
        CTindaloftApp& app = MakeApp();
        app.StartUpdateCheck();
        std::shared_ptr<CUpdateBlock> kept = blockKept ? app.m_pUpdate : nullptr;
        const std::weak_ptr<CUpdateBlock> block = app.m_pUpdate;
        m_starter->Make(); // the application object goes while its worker waits for the server
        server.Release();
        if (blockKept) {
            ASSERT_TRUE(WaitForCheckEnd(*kept));
            EXPECT_TRUE(kept->m_bUpdateResponseReceived);
            EXPECT_EQ(std::u16string(kept->m_szUpdateResponse), u"Tindaloft 9.9.9 Build 9");
            kept.reset();
        }
        for (int i = 0; i < 10000 && !block.expired(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(block.expired());
    }
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
