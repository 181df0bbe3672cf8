// CUSBLog: the logging options the document sends to the driver.
#include "app/core/KxTdloft.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
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
