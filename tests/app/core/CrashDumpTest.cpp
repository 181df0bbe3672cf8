// The crash handler: the capture stopped first (within its bound when the capture thread hangs), then the
// dump offered, with each way it can end.
#include "app/core/diagnostics/CrashDump.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "WinDbgHelpControl.h"
#include "WinDebugControl.h"
#include "WinModulesControl.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "tests/app/core/HelpMenuFixture.h"

namespace {

using tdl::test::FakeRequest;

constexpr DWORD kCrashCode = 0xC0000005;
constexpr char kQuestion[] = "An unexpected error has occurred and the program will now terminate.\nWould you like "
                             "to save a diagnostic file to send to Vellumcrest Support?\n";

class CrashDumpTest : public apptest::HelpMenuTest {
protected:
    void SetUp() override {
        HelpMenuTest::SetUp();
        m_folder = std::filesystem::temp_directory_path() / ("tdl-crash-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        const char* previous = std::getenv("TMPDIR");
        m_previousTemp = previous != nullptr ? previous : "";
        UseTempFolder(m_folder);
        win32::RegisterDbgHelpModule();
        win32::ClearDebugOutput();
    }
    void TearDown() override {
        if (m_previousTemp.empty()) {
            ::unsetenv("TMPDIR");
        } else {
            ::setenv("TMPDIR", m_previousTemp.c_str(), 1);
        }
        win32::UnregisterModule("dbghelp");
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        HelpMenuTest::TearDown();
    }
    static void UseTempFolder(const std::filesystem::path& folder) { ::setenv("TMPDIR", folder.string().c_str(), 1); }
    // The crash, as the program's top level hands it over.
    static LONG Crash() { return win32::ReportUnhandledException(nt::SehException(static_cast<NTSTATUS>(kCrashCode))); }
    std::vector<std::filesystem::path> Files() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
            files.push_back(entry.path());
        }
        return files;
    }
    static std::string Windows(std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    // A live capture running on the fake driver.
    CUSBLog* StartCapture() {
        CUSBLog* pDoc = ActiveDocument();
        EXPECT_TRUE(pDoc->GetLogRecords()->CreateBuffer(1 << 16, 0));
        m_settings.BackgroundLogging = false;
        pDoc->SetSettings(&m_settings);
        pDoc->EnableLogging();
        EXPECT_TRUE(pDoc->IsLogging());
        return pDoc;
    }
    size_t DisableRequests() const {
        size_t count = 0;
        for (const FakeRequest& request : m_fake->Requests()) {
            count += request.code == IOCTL_TINDALOFT_DISABLE_LOG ? 1 : 0;
        }
        return count;
    }

    std::filesystem::path m_folder;
    std::string m_previousTemp;
    CAppSettings m_settings;
};

TEST_F(CrashDumpTest, TheFilterIsInstalledWhileTheHandlerLivesAndEachOutcomeEndsAsItShould) {
    EXPECT_EQ(Crash(), EXCEPTION_CONTINUE_SEARCH); // no handler yet: the system's own handling
    CCrashDump handler;
    EXPECT_EQ(handler.GetAppName(), CString("Tindaloft"));

    struct Case {
        const char* name;
        int dbghelp; // 0 missing, 1 without the export, 2 present
        int answer;  // to the question; 0: no question expected
        LONG result;
        const char* message; // the last message's beginning; nullptr: none after the question
    };
    const Case cases[] = {
        {"no dbghelp", 0, 0, EXCEPTION_CONTINUE_SEARCH,
         "The DLL required for this operation (dbghelp.dll) could not be found.\n"},
        {"no export", 1, 0, EXCEPTION_CONTINUE_SEARCH, "Your version of dbghelp.dll does not support Minidumps.\n"},
        {"No", 2, IDNO, EXCEPTION_CONTINUE_SEARCH, nullptr},
        {"Yes", 2, IDYES, EXCEPTION_EXECUTE_HANDLER, "Dump file saved to:\n '"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.dbghelp == 0) {
            win32::UnregisterModule("dbghelp");
        } else if (c.dbghelp == 1) {
            win32::RegisterModule("dbghelp", {});
        } else {
            win32::RegisterDbgHelpModule();
        }
        if (c.answer != 0) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, c.answer, "unexpected error");
        }
        if (c.message != nullptr) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        }
        EXPECT_EQ(Crash(), c.result);

        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        std::vector<std::string> expected;
        if (c.answer != 0) {
            expected.push_back(kQuestion);
        }
        ASSERT_EQ(boxes.size(), expected.size() + (c.message != nullptr ? 1 : 0));
        for (const win32::ModalRequest& box : boxes) {
            EXPECT_EQ(box.caption, "Tindaloft");
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.style & MB_ICONMASK, 0u);
        }
        if (c.answer != 0) {
            EXPECT_EQ(boxes[0].text, kQuestion);
            EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO));
        }
        const std::vector<std::filesystem::path> files = Files();
        if (c.result == EXCEPTION_EXECUTE_HANDLER) {
            // "<temp>xrd<hex>.dmp": the system's unique name, its ".tmp" taken off, with the stand-in dump in it.
            ASSERT_EQ(files.size(), 1u);
            const std::string name = files[0].filename().string();
            EXPECT_EQ(name.rfind("xrd", 0), 0u) << name;
            EXPECT_EQ(files[0].extension(), ".dmp");
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
            EXPECT_EQ(boxes.back().text, "Dump file saved to:\n '" + Windows(files[0].string()) +
                                             "'\nPlease send this file to support@vellumcrest.com.");
            win32::StubMinidump dump{};
            std::ifstream in(files[0], std::ios::binary);
            in.read(reinterpret_cast<char*>(&dump), sizeof dump);
            EXPECT_EQ(std::string(dump.signature, 4), "MDMP");
            EXPECT_EQ(dump.exceptionCode, kCrashCode);
            EXPECT_EQ(dump.threadId, ::GetCurrentThreadId());
            std::filesystem::remove(files[0]);
        } else {
            EXPECT_TRUE(files.empty()); // the unique name the system made is gone again
            if (c.message != nullptr) {
                EXPECT_EQ(boxes.back().text, c.message);
            }
        }
        EXPECT_EQ(win32::ModuleLoadCount("dbghelp"), 0);
    }
}

TEST_F(CrashDumpTest, AFileThatCannotBeCreatedIsNamedWithItsError) {
    CCrashDump handler;
    // A temporary folder that is not there: no unique name either, so the program's name is the file's.
    const std::filesystem::path missing = m_folder / "missing";
    UseTempFolder(missing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "unexpected error");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    EXPECT_EQ(Crash(), EXCEPTION_CONTINUE_SEARCH);
    const std::vector<std::string> texts = apptest::AppStarter::TakeBoxTexts();
    ASSERT_EQ(texts.size(), 2u);
    const std::string prefix =
        "Failed to create dump file '" + Windows((missing / "Tindaloft.dmp").string()) + "' (error ";
    EXPECT_EQ(texts[1].rfind(prefix, 0), 0u) << texts[1];
    EXPECT_EQ(texts[1].back(), '\n');
    EXPECT_EQ(texts[1].find("(error 0)"), std::string::npos);
}

TEST_F(CrashDumpTest, ARunningCaptureIsStoppedBeforeTheQuestion) {
    Start();
    CUSBLog* pDoc = StartCapture();
    CCrashDump handler;
    bool loggingAtQuestion = true;
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND) {
            loggingAtQuestion = pDoc->IsLogging() != FALSE;
            return IDNO;
        },
        "unexpected error");
    EXPECT_EQ(Crash(), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_FALSE(loggingAtQuestion);
    EXPECT_EQ(pDoc->GetDriverThread(), nullptr);
    EXPECT_EQ(DisableRequests(), 1u); // the capture thread's own, at its stop
    const std::vector<std::string> output = win32::DebugOutput();
    EXPECT_EQ(output, (std::vector<std::string>{
                          "TindaloftCleanup - entry\n",
                          "TindaloftCleanup - active CUSBLog instance is in capture mode\n",
                          "TindaloftCleanup - CUSBLog instance IS LOGGING so call DisableLogging()\n",
                      }));
}

TEST_F(CrashDumpTest, ACaptureBehindASavedLogIsFoundThroughItsTemplateAndNoDocumentMeansNothingToStop) {
    CTindaloftApp& app = Start();
    CUSBLog* pLive = StartCapture();
    CDocument* pSaved = app.m_pLogDocTemplate->OpenDocumentFile(nullptr, TRUE);
    ASSERT_EQ(ActiveDocument(), pSaved);
    CCrashDump handler;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "unexpected error");
    EXPECT_EQ(Crash(), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_FALSE(pLive->IsLogging());
    EXPECT_EQ(win32::DebugOutput(), (std::vector<std::string>{
                                        "TindaloftCleanup - entry\n",
                                        "TindaloftCleanup - non-active CUSBLog instance in capture mode\n",
                                        "TindaloftCleanup - CUSBLog instance IS LOGGING so call DisableLogging()\n",
                                    }));

    pSaved->OnCloseDocument();
    pLive->OnCloseDocument();
    win32::ClearDebugOutput();
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "unexpected error");
    EXPECT_EQ(Crash(), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_EQ(win32::DebugOutput(), (std::vector<std::string>{"TindaloftCleanup - entry\n",
                                                              "TindaloftCleanup - no CUSBLog instances exist\n"}));
}

TEST_F(CrashDumpTest, AHangingCaptureThreadIsGivenFiveSecondsThenTheDriverIsToldDirectly) {
    Start();
    m_fake->Stall(IOCTL_TINDALOFT_READ_LOG);
    CUSBLog* pDoc = StartCapture();
    ASSERT_TRUE(m_fake->WaitUntilHeld()); // the capture thread hangs in its read
    CCrashDump handler;

    nt::clock::UseVirtualClock();
    const LONGLONG start = nt::clock::Now();
    const size_t background = nt::clock::TimedWaiterCount();
    std::atomic<bool> done{false};
    std::thread clock([&] {
        // The clean-up's wait takes its deadline; the clock then runs past it.
        if (nt::clock::WaitForTimedWaiters(background + 1)) {
            nt::clock::AdvanceMilliseconds(CCrashDump::CleanupWaitMilliseconds);
        }
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    size_t disablesAtQuestion = 0;
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND) {
            disablesAtQuestion = DisableRequests();
            return IDNO;
        },
        "unexpected error");
    const LONG result = Crash();
    done = true;
    clock.join();

    EXPECT_EQ(result, EXCEPTION_CONTINUE_SEARCH);
    EXPECT_EQ(nt::clock::Now() - start, CCrashDump::CleanupWaitMilliseconds * nt::clock::kUnitsPerMillisecond);
    EXPECT_EQ(disablesAtQuestion, 1u); // through a driver client of its own, while the thread still hangs
    EXPECT_TRUE(pDoc->IsLogging());

    // Once the driver answers again the thread ends at its stop, as usual.
    nt::clock::UseRealClock();
    m_fake->Release();
    pDoc->DisableLogging();
    EXPECT_FALSE(pDoc->IsLogging());
}

} // namespace
