// CUSBLog: the logging options the document sends to the driver, and the options dialog that edits them.
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/dialogs/OptionTreeDlg.h"
#include "common/ControlCodes.h"

const CAppSettings* CUSBLog::EffectiveSettings() const {
    if (m_pSettings != nullptr)
        return m_pSettings;
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    return pApp != nullptr ? &pApp->m_Settings : nullptr;
}

void CUSBLog::ApplyLoggingOptions() {
    const CAppSettings* pSettings = EffectiveSettings();
    if (pSettings == nullptr)
        return;
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        return;
    }
    driver.IoctlSetBootLogging(
        MakeBootflagWord(pSettings->CaptureOnceOnBoot, pSettings->EnableMiniportHook, pSettings->MemlogFlags));
    driver.DeviceClose();
}

void CUSBLog::OnOptionsConfiguration() {
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    // A saved log keeps the settings it was captured with; a live capture edits the application's.
    CAppSettings* pSettings = IsLogFileDocument() ? m_pSettings : (pApp != nullptr ? &pApp->m_Settings : nullptr);
    if (pSettings == nullptr)
        return;
    const BOOL bLive = IsRealtimeDocument() ? TRUE : FALSE;
    COptionTreeDlg dlg(pSettings, bLive, IsLogging(), GetMainWindow());
    if (dlg.DoModal() != IDOK || !bLive || IsLogging() || pApp == nullptr)
        return;
    pApp->SaveAppSettings();
    // The driver gets the filter in force: a capture filter shown as on must be the one that captures.
    const bool bFilter = IsCaptureFilterOn() && m_pCaptureFilter != nullptr;
    pApp->SetDriverLoggingOptions(bFilter ? &m_pCaptureFilter->GetBlock() : nullptr);
    ApplyLoggingOptions();
    if (dlg.m_bContinuousLoggingChanged) {
        // The user agreed in the dialog to lose the records: the banks switch mode only when empty.
        OnUsbClearCapture();
        if (m_pLogRecords != nullptr) {
            if (pSettings->ContinuousLogging)
                m_pLogRecords->SetCapturing();
            else
                m_pLogRecords->ClearCapturing();
        }
    }
}
