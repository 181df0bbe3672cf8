// The program as its entry runs it: the default simulated machine with the capture driver, the application's
// start, its message loop until a quit message, its exit, and the machine's shutdown.
#include "app/main/ProgramMain.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "WinHttpControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/SingleInstance.h"
#include "app/core/app/TindaloftApp.h"
#include "app/main/ProgramMachine.h"

namespace {

// The program's application object, which notes what the start left and then asks the loop to end.
class CQuitAfterStartApp : public CTindaloftApp {
public:
    BOOL InitInstance() override {
        m_bStarted = CTindaloftApp::InitInstance();
        if (m_pCaptureDocTemplate != nullptr) {
            POSITION pos = m_pCaptureDocTemplate->GetFirstDocPosition();
            m_pLiveDocument = pos != nullptr ? m_pCaptureDocTemplate->GetNextDoc(pos) : nullptr;
        }
        m_bMachineRunning = IsProgramMachineRunning();
        // Help asked for with no help file beside the program: the machine's viewer says so.
        if (m_pMainWnd != nullptr) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Cannot open the file");
            m_pMainWnd->SendMessage(WM_COMMAND, ID_HELP_CONTENTS, 0);
            for (const win32::ModalRequest& request : win32::ModalRequests())
                if (request.kind == win32::ModalKind::MessageBox)
                    m_helpBoxes.push_back(request.text);
            m_strHelpFile = m_pszHelpFilePath != nullptr ? m_pszHelpFilePath : "";
        }
        ::PostQuitMessage(0);
        return m_bStarted;
    }

    BOOL m_bStarted = FALSE;
    BOOL m_bMachineRunning = FALSE;
    CDocument* m_pLiveDocument = nullptr;
    std::vector<std::string> m_helpBoxes;
    std::string m_strHelpFile;
};

TEST(ProgramMain, StartsOnTheDefaultMachineRunsUntilQuitAndShutsTheMachineDown) {
    // The machine's state (its registry, the single-instance lock) in a folder of this test's own.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tdl-program-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    ASSERT_EQ(::setenv("TINDALOFT_STATE_DIR", folder.string().c_str(), 1), 0);
    CreateSingleInstanceMutex();
    ASSERT_EQ(g_dwSingleInstanceError, 0u);
    win32::ResetWinHttp();

    {
        CQuitAfterStartApp app;
        char commandLine[] = "";
        EXPECT_EQ(TindaloftMain(commandLine, SW_SHOWNORMAL), 0);
        EXPECT_TRUE(app.m_bStarted);
        EXPECT_TRUE(app.m_bMachineRunning);
        EXPECT_NE(app.m_pLiveDocument, nullptr);
        EXPECT_EQ(app.m_pMainWnd, nullptr); // closed with its documents before the machine went
        EXPECT_EQ(app.m_helpBoxes, std::vector<std::string>{"Cannot open the file: " + app.m_strHelpFile + "."});
    }
    EXPECT_FALSE(IsProgramMachineRunning());
    // The machine kept its registry, with what the program wrote at exit.
    EXPECT_TRUE(std::filesystem::exists(folder / "registry.txt"));
    // The start's update check bound the machine's HTTP client, whose request went nowhere: the update
    // server's name resolves on no machine of ours.
    for (int i = 0; i < 10000 && win32::WinHttpHandleEvents().size() < 6; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(win32::WinHttpHandleEvents().size(), 6u);
    EXPECT_EQ(win32::WinHttpConnectionAttempts(), 0);

    CloseSingleInstanceMutex();
    ::unsetenv("TINDALOFT_STATE_DIR");
    std::filesystem::remove_all(folder);
}

} // namespace

namespace {

// What the program's top level handed to the process's filter.
std::atomic<DWORD> g_filteredCode{0};
std::atomic<bool> g_dumpWriterPresent{false};

LONG WINAPI NotingFilter(PEXCEPTION_POINTERS pointers) {
    g_filteredCode = static_cast<DWORD>(pointers->ExceptionRecord->ExceptionCode);
    // The entry registered the machine's minidump writer before the application ran.
    HMODULE dbghelp = ::LoadLibraryA("dbghelp.dll");
    g_dumpWriterPresent = dbghelp != nullptr && ::GetProcAddress(dbghelp, "MiniDumpWriteDump") != nullptr;
    if (dbghelp != nullptr) {
        ::FreeLibrary(dbghelp);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI PrintingFilter(PEXCEPTION_POINTERS pointers) {
    std::fprintf(stderr, "filter saw %08x\n", static_cast<unsigned>(pointers->ExceptionRecord->ExceptionCode));
    return EXCEPTION_CONTINUE_SEARCH;
}

constexpr DWORD kEscapingCode = 0xE0001234;

// Starts, then raises an exception nothing in the program handles.
class CRaisingApp : public CTindaloftApp {
public:
    BOOL InitInstance() override {
        CTindaloftApp::InitInstance();
        ::RaiseException(kEscapingCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
};

void Throw() {
    throw std::runtime_error("escapes a function that lets nothing escape");
}

void ThrowThroughNoexcept() noexcept {
    Throw();
}

// Starts, then meets std::terminate.
class CTerminatingApp : public CTindaloftApp {
public:
    BOOL InitInstance() override {
        CTindaloftApp::InitInstance();
        ThrowThroughNoexcept();
        return TRUE;
    }
};

class ProgramMainEscapes : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() / ("tdl-program-escape-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        ASSERT_EQ(::setenv("TINDALOFT_STATE_DIR", m_folder.string().c_str(), 1), 0);
        CreateSingleInstanceMutex();
    }
    void TearDown() override {
        CloseSingleInstanceMutex();
        ::unsetenv("TINDALOFT_STATE_DIR");
        std::filesystem::remove_all(m_folder);
    }
    std::filesystem::path m_folder;
};

TEST_F(ProgramMainEscapes, AnExceptionEscapingTheApplicationGoesToTheInstalledFilterAndEndsTheProgram) {
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(&NotingFilter);
    {
        CRaisingApp app;
        char commandLine[] = "/Embedding";
        EXPECT_EQ(static_cast<DWORD>(TindaloftMain(commandLine, SW_SHOWNORMAL)), kEscapingCode);
        EXPECT_EQ(app.m_pMainWnd, nullptr);
    }
    ::SetUnhandledExceptionFilter(previous);
    EXPECT_EQ(g_filteredCode.load(), kEscapingCode);
    EXPECT_TRUE(g_dumpWriterPresent.load());
    EXPECT_FALSE(IsProgramMachineRunning());
}

TEST_F(ProgramMainEscapes, TerminateGoesToTheInstalledFilterBeforeTheProgramEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ::SetUnhandledExceptionFilter(&PrintingFilter);
            CTerminatingApp app;
            char commandLine[] = "/Embedding";
            TindaloftMain(commandLine, SW_SHOWNORMAL);
        },
        "filter saw e06d7363");
}

} // namespace
