#include "app/core/app/TindaloftApp.h"

#include <cstring>

#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/settings/AppRegistry.h"
#include "app/core/settings/OXIteratorRegistryItem.h"
#include "app/ui/dialogs/StopMessage.h"
#include "common/LoggingOptions.h"

namespace {

constexpr char kAppSettingsKey[] = "AppSettings\\";

// Marks a value that is missing (or holds the mark itself): its default is written back.
constexpr DWORD kMissingValue = 555;
constexpr DWORD kLargestDetailsFontSize = 4;
constexpr DWORD kDefaultDetailsFontSize = 2;

// A failed walk whose error has this low word found the application key without subkeys.
constexpr DWORD kNoMoreItems = ERROR_NO_MORE_ITEMS;

CString AppSettingsPath() {
    return CString(g_pszRegistryRoot) + kAppSettingsKey;
}

// Reads a value with the missing mark; writes and takes the default when it is missing.
DWORD LoadValue(COXRegistryItem& item, LPCSTR lpszName, DWORD dwDefault) {
    DWORD dwValue = item.GetNumberValue(lpszName, TRUE, kMissingValue);
    if (dwValue == kMissingValue) {
        item.SetNumberValue(dwDefault, lpszName);
        dwValue = dwDefault;
    }
    return dwValue;
}

void DeleteApplicationKey() {
    g_RegistryItem.SetFullPath(g_pszRegistryRoot);
    if (!g_RegistryItem.Delete()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_REGISTRY_VERSION, "Delete failed: %s (0x%x)",
                  g_RegistryItem.GetFullPath().GetString(), g_RegistryItem.GetLastError());
    }
}

} // namespace

CTindaloftApp::CTindaloftApp() {
    EnableHtmlHelp();
}

CTindaloftApp::~CTindaloftApp() {
    // A start that never reached ExitInstance still leaves no session calling into this object.
    UninstallTrace();
}

void CTindaloftApp::CheckRegistryVersion() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_REGISTRY_VERSION, "--CheckRegistryVersion");
    g_RegistryItem.SetFullPath(g_pszRegistryRoot);
    const CString version = g_RegistryItem.GetStringValue("Version", TRUE, TRUE, "");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_REGISTRY_VERSION, "Version: %s", version.GetString());
    if (version == RegistryVersion) {
        return;
    }

    // Keys only, counting down and children first, so that each key reached can be deleted at once.
    COXIteratorRegistryItem iterator(g_pszRegistryRoot, FALSE, TRUE, TRUE, TRUE, TRUE);
    if (!iterator.Start()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_REGISTRY_VERSION, "Iter Start failed: %s (0x%x)",
                  iterator.GetFullPath().GetString(), iterator.GetLastError());
        if ((iterator.GetLastError() & 0xFFFF) == kNoMoreItems) {
            DeleteApplicationKey();
        }
        return;
    }
    do {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_REGISTRY_VERSION, "Reg value : %s", iterator.GetFullPath().GetString());
        if (!iterator.Delete()) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_REGISTRY_VERSION, "Delete failed: %s (0x%x)",
                      iterator.GetFullPath().GetString(), iterator.GetLastError());
        }
    } while (iterator.Next());
    DeleteApplicationKey();
}

void CTindaloftApp::LoadAppSettings() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SETTINGS, "--LoadAppSettings");
    g_RegistryItem.SetFullPath(AppSettingsPath());
    g_RegistryItem.Open(TRUE, KEY_ALL_ACCESS);
    LoadMaxLogBuffer(g_RegistryItem);

    m_Settings.AutoEnable = LoadValue(g_RegistryItem, "AutoEnable", 1) != 0;
    m_Settings.BackgroundLogging = LoadValue(g_RegistryItem, "BackgroundLogging", 0) != 0;
    m_Settings.ContinuousLogging = LoadValue(g_RegistryItem, "ContinuousLogging", 0) != 0;
    m_Settings.HideDTOnLogging = LoadValue(g_RegistryItem, "HideDTOnLogging", 0) != 0;
    m_Settings.AutoCloseProgress = LoadValue(g_RegistryItem, "AutoCloseProgress", 0) != 0;
    m_Settings.IndependentHtmlHelp = LoadValue(g_RegistryItem, "IndependentHtmlHelp", 0) != 0;
    m_Settings.CheckForUpdate = LoadValue(g_RegistryItem, "CheckForUpdate", 1) != 0;
    m_Settings.DetailsFontSize = LoadValue(g_RegistryItem, "DetailsFontSize", kDefaultDetailsFontSize);
    if (m_Settings.DetailsFontSize > kLargestDetailsFontSize) {
        m_Settings.DetailsFontSize = kDefaultDetailsFontSize;
        g_RegistryItem.SetNumberValue(kDefaultDetailsFontSize, "DetailsFontSize");
    }
    g_RegistryItem.Close();
}

void CTindaloftApp::LoadMaxLogBuffer(COXRegistryItem& item) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SETTINGS, "--LoadMaxLogBuffer");
    if (item.GetNumberValue("MaxLogBuffer", TRUE, 0) != CAppSettings::DefaultMaxLogBuffer) {
        item.SetNumberValue(CAppSettings::DefaultMaxLogBuffer, "MaxLogBuffer");
    }
    m_Settings.MaxLogBuffer = CAppSettings::DefaultMaxLogBuffer;
}

void CTindaloftApp::SaveAppSettings() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SETTINGS, "--SaveAppSettings");
    g_RegistryItem.SetFullPath(AppSettingsPath());
    g_RegistryItem.Open(TRUE, KEY_ALL_ACCESS);
    g_RegistryItem.SetNumberValue(m_Settings.MaxLogBuffer, "MaxLogBuffer");
    g_RegistryItem.SetNumberValue(m_Settings.BackgroundLogging, "BackgroundLogging");
    g_RegistryItem.SetNumberValue(m_Settings.ContinuousLogging, "ContinuousLogging");
    g_RegistryItem.SetNumberValue(m_Settings.AutoEnable, "AutoEnable");
    g_RegistryItem.SetNumberValue(m_Settings.DetailsFontSize, "DetailsFontSize");
    g_RegistryItem.SetNumberValue(m_Settings.HideDTOnLogging, "HideDTOnLogging");
    g_RegistryItem.SetNumberValue(m_Settings.AutoCloseProgress, "AutoCloseProgress");
    g_RegistryItem.SetNumberValue(m_Settings.CheckForUpdate, "CheckForUpdate");
    g_RegistryItem.Close();
}

BOOL CTindaloftApp::GetDriverSettings() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "--GetDriverSettings");
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to open KxTdloft");
        // The splash stays above every window: it would hide the message.
        CloseSplash();
        ShowStopMessage(kNoDriverMessage);
        return FALSE;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Opened KxTdloft");

    LOGGING_OPTIONS options;
    std::memset(&options, 0, sizeof options);
    const BOOL bResult = driver.IoctlGetLoggingOptions(&options, sizeof options);
    if (bResult) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Success getting LOGGING_OPTIONS");
        m_Settings.CaptureBulk = options.CaptureBulk == 1;
        m_Settings.BulkMaxSize = SizeCodeOfBytes(options.BulkMaxSize);
        m_Settings.CaptureCtrl = options.CaptureCtrl == 1;
        m_Settings.CtrlMaxSize = SizeCodeOfBytes(options.CtrlMaxSize);
        m_Settings.CaptureIsoch = options.CaptureIsoch == 1;
        m_Settings.IsochMaxSize = SizeCodeOfBytes(options.IsochMaxSize);
        m_Settings.CaptureUrbs = options.CaptureUrbs == 1;
        m_Settings.CaptureHubInterface = false;
        m_Settings.CaptureUsbportHook = false;
        m_Settings.CaptureUsbIntern = options.CaptureUsbIntern == 1;
        m_Settings.CaptureHubIoctl = options.CaptureHubIoctl == 1;
        m_Settings.CaptureHcdIoctl = options.CaptureHcdIoctl == 1;
        m_Settings.CaptureHidIoctl = options.CaptureHidIoctl == 1;
        m_Settings.CaptureHidIntern = options.CaptureHidIntern == 1;
        m_Settings.CapturePnp = options.CapturePnp == 1;
        m_Settings.CapturePower = options.CapturePower == 1;
        // A filter left in force by an earlier run would silently narrow this one's captures.
        if (options.FilterPresent != 0) {
            options.FilterPresent = 0;
            InitLoggingOptions(options.Filter);
            driver.IoctlSetLoggingOptions(&options, sizeof options);
        }
    } else {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to get LOGGING_OPTIONS");
    }
    driver.DeviceClose();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "GetDriverSettings result = %d", bResult);
    return bResult;
}

BOOL CTindaloftApp::SetDriverLoggingOptions(const FILTER_BLOCK* pFilter) {
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        ShowStopMessage(kNoDriverMessage);
        return FALSE;
    }
    LOGGING_OPTIONS options;
    std::memset(&options, 0, sizeof options);
    options.CaptureBulk = m_Settings.CaptureBulk;
    options.BulkMaxSize = BytesOfSizeCode(m_Settings.BulkMaxSize);
    options.CaptureCtrl = m_Settings.CaptureCtrl;
    options.CtrlMaxSize = BytesOfSizeCode(m_Settings.CtrlMaxSize);
    options.CaptureIsoch = m_Settings.CaptureIsoch;
    options.IsochMaxSize = BytesOfSizeCode(m_Settings.IsochMaxSize);
    options.CaptureUrbs = m_Settings.CaptureUrbs;
    options.CaptureHubInterface = m_Settings.CaptureHubInterface;
    options.CaptureUsbportHook = m_Settings.CaptureUsbportHook;
    options.CaptureUsbIntern = m_Settings.CaptureUsbIntern;
    options.CaptureHubIoctl = m_Settings.CaptureHubIoctl;
    options.CaptureHcdIoctl = m_Settings.CaptureHcdIoctl;
    options.CaptureHidIoctl = m_Settings.CaptureHidIoctl;
    options.CaptureHidIntern = m_Settings.CaptureHidIntern;
    options.CapturePnp = m_Settings.CapturePnp;
    options.CapturePower = m_Settings.CapturePower;
    if (pFilter != nullptr) {
        options.FilterPresent = 1;
        options.Filter = *pFilter;
    } else {
        options.FilterPresent = 0;
        InitLoggingOptions(options.Filter);
    }
    const BOOL bResult = driver.IoctlSetLoggingOptions(&options, sizeof options);
    driver.DeviceClose();
    return bResult;
}
