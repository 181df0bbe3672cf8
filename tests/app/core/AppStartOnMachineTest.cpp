// The application object's start on the default simulated machine with the capture driver: the settings it
// takes from the driver, the framework's profile, the two templates, the first document (a live capture, or
// the saved log the command line names) and the main frame. The kernel's headers come first: the framework's
// ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/support/AppStarter.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

class AppStartOnMachine : public tdl::test::MachineTest {};

std::vector<CDocument*> Documents(CDocTemplate* pTemplate) {
    std::vector<CDocument*> docs;
    for (POSITION pos = pTemplate->GetFirstDocPosition(); pos != nullptr;) {
        docs.push_back(pTemplate->GetNextDoc(pos));
    }
    return docs;
}

TEST_F(AppStartOnMachine, WithoutArgumentsTheStartOpensOneLiveCaptureInTheShownMainFrame) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    apptest::AppStarter starter;
    // As the user starts it (the splash holds the start for 750 ms of the machine's real clock).
    CTindaloftApp& app = starter.Make();
    ASSERT_TRUE(starter.Start());
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());

    // The driver's answer.
    EXPECT_EQ(app.m_DriverInfo.MajorVersion, 3);
    EXPECT_EQ(app.m_DriverInfo.MinorVersion, 41);
    EXPECT_FALSE(app.m_Settings.EnableMiniportHook);
    ULONG memlogFlags = 0;
    std::memcpy(&memlogFlags, reinterpret_cast<const UCHAR*>(&app.m_DriverInfo) + 10, sizeof memlogFlags);
    EXPECT_EQ(app.m_Settings.MemlogFlags, memlogFlags);
    EXPECT_EQ(app.m_strMachineName, CString("User@TDL-WORKSTATION"));
    EXPECT_EQ(app.m_nVersionBuild, 627);

    // The framework's profile and its recent files.
    EXPECT_STREQ(app.m_pszRegistryKey, "Vellumcrest");
    EXPECT_STREQ(app.m_pszProfileName, "Tindaloft");
    ASSERT_NE(app.m_pRecentFileList, nullptr);
    EXPECT_EQ(app.m_pRecentFileList->GetSize(), 4);
    EXPECT_TRUE(app.WriteProfileInt("Settings", "Probe", 1));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vellumcrest\\Tindaloft\\Settings", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);

    // Saved logs first, then the live capture.
    POSITION pos = app.GetFirstDocTemplatePosition();
    ASSERT_NE(pos, nullptr);
    CDocTemplate* pFirst = app.GetNextDocTemplate(pos);
    ASSERT_NE(pos, nullptr);
    CDocTemplate* pSecond = app.GetNextDocTemplate(pos);
    EXPECT_EQ(pos, nullptr);
    EXPECT_EQ(pFirst, app.m_pLogDocTemplate);
    EXPECT_EQ(pFirst->m_nIDResource, IDR_TDLOFT_TYPE);
    EXPECT_EQ(pSecond, app.m_pCaptureDocTemplate);
    EXPECT_EQ(pSecond->m_nIDResource, IDR_TDLOFT_REALTIME);

    // One live capture, titled by its kind, with the record list as its first view.
    EXPECT_TRUE(Documents(app.m_pLogDocTemplate).empty());
    const std::vector<CDocument*> live = Documents(app.m_pCaptureDocTemplate);
    ASSERT_EQ(live.size(), 1u);
    auto* pLog = dynamic_cast<CUSBLog*>(live[0]);
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(pLog->GetTitle(), CString("Capture Mode"));
    auto* pView = dynamic_cast<CLogListView*>(pLog->GetFirstView());
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->GetTimeUnit(), 0);
    EXPECT_EQ(pView->GetTimeMode(), 0);

    // The frame loaded its workspace and placement, which showed it.
    CMainFrame* pFrame = starter.MainFrame();
    ASSERT_NE(pFrame, nullptr);
    EXPECT_EQ(pFrame->RecordedCalls(), (std::vector<CString>{"LoadWorkspace", "RestoreWindowPos 1"}));
    EXPECT_TRUE(pFrame->IsWindowVisible());
    EXPECT_EQ(pFrame->GetActiveLogDocument(), pLog);
    EXPECT_TRUE(pFrame->IsPaneVisible(CMainFrame::DeviceTreePaneId)); // every pane opens on a fresh registry

    // New again renews the one live capture in its window.
    pFrame->SendMessage(WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_EQ(Documents(app.m_pCaptureDocTemplate), live);
    EXPECT_EQ(pLog->GetFirstView(), pView);
    EXPECT_EQ(pFrame->GetActiveLogDocument(), pLog);

    EXPECT_EQ(starter.Exit(), 0);
}

TEST_F(AppStartOnMachine, ASavedLogOnTheCommandLineOpensInTheLogTemplate) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    const auto folder = std::filesystem::temp_directory_path() / ("tdl-appstart-log-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "first.tdloft";
    {
        // A saved log with no records: its header and an empty bank.
        CUSBLog saved;
        ASSERT_TRUE(saved.GetLogRecords()->CreateBuffer(4096, 0));
        const std::vector<BYTE> bytes = apptest::Store(saved);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::string path = file.string();
    std::replace(path.begin(), path.end(), '/', '\\');

    {
        apptest::AppStarter starter;
        CTindaloftApp& app = starter.Make("/Embedding " + path);
        ASSERT_TRUE(starter.Start());
        EXPECT_TRUE(Documents(app.m_pCaptureDocTemplate).empty());
        const std::vector<CDocument*> logs = Documents(app.m_pLogDocTemplate);
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_TRUE(logs[0]->IsKindOf(RUNTIME_CLASS(CUSBLog)));
        EXPECT_EQ(logs[0]->GetPathName(), CString(path.c_str()));
        starter.Exit();
    }
    std::filesystem::remove_all(folder);
}

} // namespace
