// The program as its entry runs it: the default simulated machine with the capture driver, the application's
// start, its message loop until a quit message, its exit, and the machine's shutdown.
#include "app/main/ProgramMain.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/core/SingleInstance.h"
#include "app/core/TindaloftApp.h"
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
        ::PostQuitMessage(0);
        return m_bStarted;
    }

    BOOL m_bStarted = FALSE;
    BOOL m_bMachineRunning = FALSE;
    CDocument* m_pLiveDocument = nullptr;
};

TEST(ProgramMain, StartsOnTheDefaultMachineRunsUntilQuitAndShutsTheMachineDown) {
    // The machine's state (its registry, the single-instance lock) in a folder of this test's own.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tdl-program-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    ASSERT_EQ(::setenv("TINDALOFT_STATE_DIR", folder.string().c_str(), 1), 0);
    CreateSingleInstanceMutex();
    ASSERT_EQ(g_dwSingleInstanceError, 0u);

    {
        CQuitAfterStartApp app;
        char commandLine[] = "";
        EXPECT_EQ(TindaloftMain(commandLine, SW_SHOWNORMAL), 0);
        EXPECT_TRUE(app.m_bStarted);
        EXPECT_TRUE(app.m_bMachineRunning);
        EXPECT_NE(app.m_pLiveDocument, nullptr);
        EXPECT_EQ(app.m_pMainWnd, nullptr); // closed with its documents before the machine went
    }
    EXPECT_FALSE(IsProgramMachineRunning());
    // The machine kept its registry, with what the program wrote at exit.
    EXPECT_TRUE(std::filesystem::exists(folder / "registry.txt"));

    CloseSingleInstanceMutex();
    ::unsetenv("TINDALOFT_STATE_DIR");
    std::filesystem::remove_all(folder);
}

} // namespace
