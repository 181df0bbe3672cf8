// CUSBLog: the logging options the document sends to the driver.
#include "app/core/KxTdloft.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "common/ControlCodes.h"

void CUSBLog::ApplyLoggingOptions() {
    const CAppSettings* pSettings = m_pSettings;
    if (pSettings == nullptr) {
        auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
        if (pApp == nullptr) {
            return;
        }
        pSettings = &pApp->m_Settings;
    }
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        return;
    }
    driver.IoctlSetBootLogging(
        MakeBootflagWord(pSettings->CaptureOnceOnBoot, pSettings->EnableMiniportHook, pSettings->MemlogFlags));
    driver.DeviceClose();
}
