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

#include <atomic>

#include "afxwin.h"
#include "app/core/AppSettings.h"
#include "app/core/EventTrace.h"
#include "app/core/OSVersion.h"
#include "app/core/SplashWnd.h"
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

    // The update check (its worker and dialogs come later): start it, and present its result quietly.
    void StartUpdateCheck();
    void ShowUpdateResult(BOOL bQuiet);

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
    BOOL m_bUpdateResultShown = FALSE;
    // Written by the update worker, read by the main thread; the worker clears m_bUpdateCheckRunning last, so
    // a reader that sees it clear sees the answer too (atomics order the two across the threads).
    std::atomic<BOOL> m_bUpdateCheckRunning{FALSE};
    std::atomic<BOOL> m_bUpdateResponseReceived{FALSE};
    char16_t m_szUpdateQuery[512]{};
    char16_t m_szUpdateResponse[256]{};

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
