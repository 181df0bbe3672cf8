// CTindaloftApp: start-up, the driver gate, idle work and shutdown.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/core/app/Resource.h"
#include "app/core/app/SingleInstance.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/app/TindaloftCmdLineInfo.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppRegistry.h"
#include "app/core/system/FileVersionInfo.h"
#include "app/ui/dialogs/StopMessage.h"
#include "app/ui/frame/ChildFrame.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/ZoDocTemplate.h"
#include "app/ui/loglist/LogListView.h"

namespace {

constexpr char kAnotherInstanceMessage[] = "Another instance of Tindaloft is already running.";
constexpr char kNoDriverInfoMessage[] = "Unable to find a Tindaloft analyzer driver.\nPlease reinstall Tindaloft.";
constexpr char kWrongVersionMessage[] = "Incorrect version of Tindaloft analyzer driver.\nPlease reinstall Tindaloft.";
constexpr char kSafeModeMessage[] =
    "The Tindaloft analyzer driver is disabled since this system is in Safe Mode. Tindaloft is terminating.";

// The framework's profile: HKEY_CURRENT_USER "Software\Vellumcrest\Tindaloft".
constexpr char kRegistryCompany[] = "Vellumcrest";
constexpr UINT kRecentFileCount = 4;
// The main frame: the overlapped-window style with the document's title added to the frame's.
constexpr DWORD kMainFrameStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;

// Buffers GetComputerName and GetUserName are given: a computer name of 16 characters does not fit.
constexpr DWORD kComputerNameBuffer = 16;
constexpr DWORD kUserNameBuffer = 256;
constexpr char kUnknownComputer[] = "This Computer";

// Bytes of DRIVER_INFO the application reads (the block's fields, by their offsets).
constexpr size_t kCaptureLogActiveByte = offsetof(DRIVER_INFO, CaptureLogActive);
constexpr size_t kCaptureOnceOnBootByte = offsetof(DRIVER_INFO, CaptureOnceOnBoot);

} // namespace

BEGIN_MESSAGE_MAP(CTindaloftApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, &CTindaloftApp::OnAppAbout)
ON_COMMAND(ID_HELP_CONTENTS, &CTindaloftApp::OnHelpContents)
ON_COMMAND(ID_HELP_INDEX, &CTindaloftApp::OnHelpIndex)
ON_COMMAND(ID_HELP_SEARCH, &CTindaloftApp::OnHelpSearch)
ON_COMMAND(ID_FILE_PRINT_SETUP, &CWinApp::OnFilePrintSetup)
ON_COMMAND(ID_FILE_NEW, &CTindaloftApp::OnFileNew)
ON_UPDATE_COMMAND_UI(ID_FILE_NEW, &CTindaloftApp::OnUpdateFileNew)
ON_UPDATE_COMMAND_UI(ID_HELP_CONTENTS, &CTindaloftApp::OnUpdateHelpContents)
ON_COMMAND(ID_FILE_OPEN, &CWinApp::OnFileOpen)
ON_COMMAND(ID_HELP_SUPPORT, &CTindaloftApp::OnHelpSupport)
ON_COMMAND(ID_HELP_DIAGNOSTICS, &CTindaloftApp::OnHelpDiagnostics)
ON_UPDATE_COMMAND_UI(ID_HELP_DIAGNOSTICS, &CTindaloftApp::OnUpdateHelpDiagnostics)
ON_COMMAND(ID_HELP_SAVEDIAGNOSTICS, &CTindaloftApp::OnHelpSaveDiagnosticsLog)
ON_UPDATE_COMMAND_UI(ID_HELP_SAVEDIAGNOSTICS, &CTindaloftApp::OnUpdateHelpDiagnostics)
ON_COMMAND(ID_HELP_CHECKUPDATE, &CTindaloftApp::OnHelpCheckUpdate)
ON_UPDATE_COMMAND_UI(ID_HELP_CHECKUPDATE, &CTindaloftApp::OnUpdateHelpCheckUpdate)
ON_COMMAND(ID_HELP_UPDATERESULT, &CTindaloftApp::OnUpdateResult)
// The framework leaves Exit to the program's map.
ON_COMMAND(ID_APP_EXIT, &CWinApp::OnAppExit)
END_MESSAGE_MAP()

BOOL CTindaloftApp::IsDriverVersionAccepted(const DRIVER_INFO& info) {
    return info.MajorVersion == TINDALOFT_DRIVER_MAJOR && info.MinorVersion == TINDALOFT_DRIVER_MINOR &&
           info.Revision == TINDALOFT_DRIVER_REVISION && info.Build >= TINDALOFT_DRIVER_BUILD;
}

BOOL CTindaloftApp::InitInstance() {
    // Installed before anything traces, so that sessions see this run's events through its own provider.
    SetEventTraceProvider(&m_EventTrace);
    m_bTraceInstalled = TRUE;
    m_EventTrace.Register();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "--InitInstance");

    if (g_dwSingleInstanceError == ERROR_ALREADY_EXISTS) {
        ShowStopMessage(kAnotherInstanceMessage);
        return FALSE;
    }

    CTindaloftCmdLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);

    m_bSplashShown = cmdInfo.m_bShowSplash;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Splash screen: %s", m_bSplashShown ? "ON" : "OFF");
    if (m_bSplashShown && m_SplashWnd.Create()) {
        m_SplashWnd.ShowWindow(SW_SHOW);
        m_SplashWnd.UpdateWindow();
    }

    if (!GetDriverInfo()) {
        return FALSE;
    }

    CheckRegistryVersion();
    LoadAppSettings();
    m_bSettingsLoaded = TRUE;
    LoadVersionNumbers();
    GetDriverSettings(); // a failure was already told; the program runs on without the driver's settings

    BuildMachineName();

    if (!AfxOleInit()) {
        CloseSplash();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "CTindaloftApp::InitInstance: failed to initialize OLE libraries\n");
        return FALSE;
    }
    AfxEnableControlContainer();
    AfxInitRichEdit2();

    if (m_Settings.CheckForUpdate) {
        m_pUpdate->m_bUpdateResultShown = FALSE;
        StartUpdateCheck();
    }

    SetRegistryKey(kRegistryCompany);
    LoadStdProfileSettings(kRecentFileCount);

    m_pLogDocTemplate = new CZoDocTemplate(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog), RUNTIME_CLASS(CChildFrame),
                                           RUNTIME_CLASS(CLogListView));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "AddDocTemplate for IDR_TDLOFT_TYPE document type");
    AddDocTemplate(m_pLogDocTemplate);

    m_pCaptureDocTemplate = new CZoDocTemplate(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), RUNTIME_CLASS(CChildFrame),
                                               RUNTIME_CLASS(CLogListView));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "AddDocTemplate for IDR_TDLOFT_REALTIME document type");
    AddDocTemplate(m_pCaptureDocTemplate);

    auto pMainFrame = std::make_unique<CMainFrame>();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Loading MDI Frame Window");
    if (!pMainFrame->LoadFrame(IDR_MAINFRAME, kMainFrameStyle)) {
        // A frame that kept a window goes with it; one without a window is still ours.
        if (pMainFrame->m_hWnd != nullptr)
            pMainFrame.release();
        return FailStart();
    }
    // The frame deletes itself as its window goes.
    CMainFrame* pFrame = pMainFrame.release();
    m_pMainWnd = pFrame;

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Dispatch command line");
    if (!ProcessShellCommand(cmdInfo)) {
        return FailStart();
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Display main window");
    pFrame->LoadWorkspace();
    pFrame->RestoreWindowPos(m_nCmdShow);
    pFrame->UpdateWindow();

    if (m_bSplashShown) {
        ::Sleep(SplashHoldMilliseconds);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Closing splash window");
        CloseSplash();
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "InitInstance success.");

    if (m_Settings.CheckForUpdate && !m_pUpdate->m_bUpdateResultShown && !m_pUpdate->IsRunning()) {
        m_pUpdate->m_bUpdateResultShown = TRUE;
        ShowUpdateResult(FALSE);
    }
    return TRUE;
}

void CTindaloftApp::CloseSplash() {
    if (m_bSplashShown) {
        m_SplashWnd.Close();
        m_bSplashShown = FALSE;
    }
}

BOOL CTindaloftApp::FailStart() {
    CloseSplash();
    return FALSE;
}

BOOL CTindaloftApp::GetDriverInfo() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "--GetDriverInfo");
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to open KxTdloft");
        CloseSplash();
        ShowStopMessage(kNoDriverMessage);
        return FALSE;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Opened KxTdloft");

    DWORD dwReturned = 0;
    if (!driver.IoctlGetDriverInfo(&m_DriverInfo, sizeof m_DriverInfo, &dwReturned) ||
        dwReturned != sizeof m_DriverInfo) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to get DRIVER_INFO");
        CloseSplash();
        ShowStopMessage(kNoDriverInfoMessage);
        driver.DeviceClose();
        return FALSE;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Success getting DRIVER_INFO");
    m_Settings.EnableMiniportHook = false;
    m_Settings.MemlogFlags = m_DriverInfo.MemlogFlags;

    BOOL bResult = TRUE;
    if (!IsDriverVersionAccepted(m_DriverInfo)) {
        bResult = FALSE;
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Incorrect version of KxTdloft");
        CloseSplash();
        ShowStopMessage(kWrongVersionMessage);
    }
    // Told even after a wrong version: both stand in the way of a capture.
    if (m_DriverInfo.SafeMode != 0) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Started in Safe Boot Mode - KxTdloft disabled");
        CloseSplash();
        ShowStopMessage(kSafeModeMessage);
        bResult = FALSE;
    }
    driver.DeviceClose();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "GetDriverInfo result = %d", bResult);
    return bResult;
}

BOOL CTindaloftApp::IsBootCaptureActive() const {
    const auto* bytes = reinterpret_cast<const UCHAR*>(&m_DriverInfo);
    return bytes[kCaptureOnceOnBootByte] != 0 && bytes[kCaptureLogActiveByte] != 0;
}

void CTindaloftApp::ClearBootCaptureFlags() {
    auto* bytes = reinterpret_cast<UCHAR*>(&m_DriverInfo);
    bytes[kCaptureLogActiveByte] = 0;
    bytes[kCaptureOnceOnBootByte] = 0;
}

void CTindaloftApp::LoadVersionNumbers() {
    CFileVersionInfo info(nullptr);
    SetVersionNumbers(info.GetFileVersion());
}

void CTindaloftApp::SetVersionNumbers(const CString& text) {
    int anNumbers[4] = {m_nVersionMajor, m_nVersionMinor, m_nVersionRevision, m_nVersionBuild};
    SplitVersionNumbers(text, anNumbers);
    m_nVersionMajor = anNumbers[0];
    m_nVersionMinor = anNumbers[1];
    m_nVersionRevision = anNumbers[2];
    m_nVersionBuild = anNumbers[3];
}

void CTindaloftApp::BuildMachineName() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "--BuildMachineName");
    m_strMachineName.Empty();

    char szComputer[kComputerNameBuffer] = {};
    DWORD dwComputer = kComputerNameBuffer;
    const CString computer = ::GetComputerNameA(szComputer, &dwComputer) ? CString(szComputer) : kUnknownComputer;

    char szUser[kUserNameBuffer] = {};
    DWORD dwUser = kUserNameBuffer;
    if (::GetUserNameA(szUser, &dwUser)) {
        m_strMachineName = CString(szUser) + "@" + computer;
    } else {
        m_strMachineName = computer;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "Machine Name = %s", m_strMachineName.GetString());
}

int CTindaloftApp::ExitInstance() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_APP, "--ExitInstance");
    g_RegistryItem.SetFullPath(g_pszRegistryRoot);
    g_RegistryItem.SetStringValue(RegistryVersion, "Version");
    // A run that stopped before the settings were read leaves the stored ones as they are.
    if (m_bSettingsLoaded) {
        SaveAppSettings();
    }
    UninstallTrace();
    return CWinApp::ExitInstance();
}

void CTindaloftApp::UninstallTrace() {
    if (!m_bTraceInstalled) {
        return;
    }
    m_EventTrace.Unregister();
    SetEventTraceProvider(nullptr);
    m_bTraceInstalled = FALSE;
}

BOOL CTindaloftApp::OnIdle(LONG lCount) {
    if (m_Settings.CheckForUpdate && !m_pUpdate->m_bUpdateResultShown && !m_pUpdate->IsRunning()) {
        CWnd* pMainWnd = GetMainWnd();
        if (pMainWnd != nullptr && pMainWnd->m_hWnd != nullptr) {
            m_pUpdate->m_bUpdateResultShown = TRUE;
            pMainWnd->PostMessage(WM_COMMAND, ID_HELP_UPDATERESULT, 0);
        }
    }
    return CWinApp::OnIdle(lCount);
}

void CTindaloftApp::OnFileNew() {
    if (m_pCaptureDocTemplate != nullptr) {
        m_pCaptureDocTemplate->OpenDocumentFile(nullptr, TRUE);
    }
}

void CTindaloftApp::OnUpdateFileNew(CCmdUI* pCmdUI) {
    pCmdUI->Enable(TRUE);
}
