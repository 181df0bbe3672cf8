// CTindaloftApp: the application object. It owns what the whole program reaches through AfxGetApp(): the
// trace provider, the live settings (m_Settings), the program's version numbers, the machine name, the
// operating-system description, the driver's DRIVER_INFO, the two document templates, the splash window and
// the state of the update check.
//
// Start-up (InitInstance): the single-instance rule, the driver gate (GetDriverInfo), the settings
// (CheckRegistryVersion, LoadAppSettings, then GetDriverSettings), the templates and the main frame. Shutdown
// (ExitInstance) writes the registry layout version and, when they were loaded this run, the settings.
// SetDriverLoggingOptions runs whenever the capture options or the capture filter change.
#pragma once

#include <memory>

#include "afxwin.h"
#include "app/core/diagnostics/EventTrace.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/system/OSVersion.h"
#include "app/core/update/UpdateCheck.h"
#include "app/ui/dialogs/SplashWnd.h"
#include "common/DriverInfo.h"
#include "common/FilterBlock.h"

class COXRegistryItem;

class CTindaloftApp : public CWinApp {
public:
    // The layout of the application key this program writes; any other clears the key.
    static constexpr char RegistryVersion[] = "1.0";

    // How long the splash window stays up once the main window is shown.
    static constexpr DWORD SplashHoldMilliseconds = 750;
    // The driver version this program works with: exactly this major, minor and revision, this build or later.
    static BOOL IsDriverVersionAccepted(const DRIVER_INFO& info);

    CTindaloftApp();
    ~CTindaloftApp() override;
    CTindaloftApp(const CTindaloftApp&) = delete;
    CTindaloftApp& operator=(const CTindaloftApp&) = delete;

    BOOL InitInstance() override;
    // Writes the registry layout version, and the settings when they were loaded this run; the framework's
    // result is the exit code.
    int ExitInstance() override;
    // Asks the main window to present the update check's result once the check has ended.
    BOOL OnIdle(LONG lCount) override;

    // The driver gate: reads DRIVER_INFO and refuses a missing driver, a wrong version or Safe Mode (each
    // with its message). Takes the event-log switches into the settings.
    BOOL GetDriverInfo();
    // The driver is still capturing from a capture-once boot: the first live document attaches to it.
    BOOL IsBootCaptureActive() const;
    // The attachment happens once.
    void ClearBootCaptureFlags();
    // The four numbers of the program file's version text; a missing one leaves its member as it was.
    void LoadVersionNumbers();
    // The numbers of a version text "a,b,c,d" (decimal); tokens past the fourth are ignored, a missing one
    // leaves its member as it was.
    void SetVersionNumbers(const CString& strVersion);
    // "user@computer", the computer name alone without a user name, "This Computer" without a computer name.
    void BuildMachineName();

    // The update check: starts the worker on the update block; presents the result (loudly: every outcome
    // is told; quietly: only a different version, through the update dialog). Nothing while it runs.
    void StartUpdateCheck();
    void ShowUpdateResult(BOOL bLoud);
    // The query text: version, installation text, the system's description and its architecture.
    CString BuildUpdateQuery() const;
    // The program's own version as the update server writes it: "1.2.3 Build 4".
    CString GetVersionText() const;

    // Opens the help topic of a captured request: group 1000 (URB function), 1400 (internal USB IOCTL code),
    // 1800 (hub interface function), 1900 (port-driver hook function); any other group opens nothing.
    void ShowHelpForCode(UINT nGroup, ULONG nCode);

    // Clears the application key (settings, filters, triggers, profile) unless its "Version" is ours.
    void CheckRegistryVersion();
    // Reads the program's options from "AppSettings", writing the default of any that is missing.
    void LoadAppSettings();
    // The capture banks are always 262,144 bytes: the stored value is set so, and so is the setting.
    void LoadMaxLogBuffer(COXRegistryItem& item);
    void SaveAppSettings();
    // Reads the capture switches and sizes from the driver and switches off a filter it still holds. FALSE
    // when the driver cannot be reached (the user is told) or refuses.
    BOOL GetDriverSettings();
    // Sends the capture switches and sizes, with the filter block when there is one (nullptr: no filter).
    BOOL SetDriverLoggingOptions(const FILTER_BLOCK* pFilter);

    CEventTrace m_EventTrace;
    CAppSettings m_Settings;
    int m_nVersionMajor = 0;
    int m_nVersionMinor = 0;
    int m_nVersionRevision = 0;
    int m_nVersionBuild = 0;
    CString m_strMachineName;
    COSVersion m_OSVersion;
    DRIVER_INFO m_DriverInfo{};
    CDocTemplate* m_pCaptureDocTemplate = nullptr;
    CDocTemplate* m_pLogDocTemplate = nullptr;
    CSplashWnd m_SplashWnd;
    BOOL m_bSplashShown = FALSE;
    // The update block, shared with the worker: a worker still running when this object goes writes into a
    // block that lives on with it.
    std::shared_ptr<CUpdateBlock> m_pUpdate = std::make_shared<CUpdateBlock>();

    // Command handlers of the Help menu.
    void OnAppAbout();
    void OnHelpContents();
    void OnUpdateHelpContents(CCmdUI* pCmdUI);
    void OnHelpIndex();
    void OnHelpSearch();
    void OnHelpSupport();
    void OnHelpDiagnostics();
    void OnHelpSaveDiagnosticsLog();
    // 238 and 239: only for a live capture document that is not capturing.
    void OnUpdateHelpDiagnostics(CCmdUI* pCmdUI);
    void OnHelpCheckUpdate();
    void OnUpdateHelpCheckUpdate(CCmdUI* pCmdUI);
    void OnUpdateResult();

    // What OnHelpCheckUpdate waits for the worker: steps of this many milliseconds, at most this many steps.
    static constexpr DWORD UpdateWaitStep = 500;
    static constexpr int UpdateWaitSteps = 30;

protected:
    void OnFileNew();
    void OnUpdateFileNew(CCmdUI* pCmdUI);

    DECLARE_MESSAGE_MAP()

private:
    // Closes the splash window when start-up put one up, before a failure's message.
    void CloseSplash();
    // Leaves start-up: the splash goes first.
    BOOL FailStart();
    void UninstallTrace();

    // The settings were read from the registry this run, so there is something to write back at exit.
    BOOL m_bSettingsLoaded = FALSE;
    BOOL m_bTraceInstalled = FALSE;
};
