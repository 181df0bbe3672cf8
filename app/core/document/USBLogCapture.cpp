// CUSBLog: the start and stop commands of a live capture.
#include <ctime>

#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/ui/PanePointers.h"

LONGLONG CUSBLog::UtcSeconds(const SYSTEMTIME& st) {
    if (st.wYear < 1900)
        return 0;
    // timegm, never mktime: the fields are UTC, and the host's zone must not shift the stored time.
    std::tm fields{};
    fields.tm_year = st.wYear - 1900;
    fields.tm_mon = st.wMonth - 1;
    fields.tm_mday = st.wDay;
    fields.tm_hour = st.wHour;
    fields.tm_min = st.wMinute;
    fields.tm_sec = st.wSecond;
    const time_t seconds = ::timegm(&fields);
    return seconds == static_cast<time_t>(-1) ? 0 : static_cast<LONGLONG>(seconds);
}

void CUSBLog::ClearTriggerMark() {
    const UINT nSeqNum = m_nTriggerSeqNum;
    m_nTriggerSeqNum = 0;
    // The row that showed the match loses its trigger colour.
    if (nSeqNum != 0) {
        if (CView* pView = GetFirstView())
            pView->Invalidate(FALSE);
    }
}

void CUSBLog::OnUsbStarteventcapture() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::OnUsbStarteventcapture");
    const CAppSettings* pSettings = EffectiveSettings();
    CPanePointers panes;
    panes.SetStackInspectorReadOnly();
    panes.SetDeviceTreeReadOnly();
    if (pSettings != nullptr && pSettings->HideDTOnLogging)
        panes.HideDevTreeAndStack();
    panes.RefreshDeviceTreeTabViews(this, FALSE);

    BeginCaptureSession(pSettings, TRUE);
}

void CUSBLog::BeginCaptureSession(const CAppSettings* pSettings, BOOL bOpenBackground) {
    // A start after earlier records keeps the session's first start time.
    if (m_pLogRecords != nullptr && m_pLogRecords->GetCount() == 0) {
        SYSTEMTIME now{};
        ::GetSystemTime(&now);
        m_llStartTime = UtcSeconds(now);
    }
    ClearTriggerMark();
    m_nExpectedSeqNum = 0;
    m_nSeqGapCount = 0;
    if (bOpenBackground && pSettings != nullptr && pSettings->BackgroundLogging)
        OpenBackgroundProgress(*pSettings);

    EnableLogging();
    // No stop follows a start that did not take: what the start locked and opened is undone here.
    if (!IsLogging())
        EndCaptureSteps(pSettings);
}

void CUSBLog::EndCaptureSteps(const CAppSettings* pSettings) {
    CPanePointers panes;
    panes.SetStackInspectorWriteable();
    panes.SetDeviceTreeWriteable();
    if (pSettings != nullptr && pSettings->HideDTOnLogging)
        panes.RestoreDevTreeAndStack();
    if ((pSettings != nullptr && pSettings->BackgroundLogging) || m_pBackgroundProgress != nullptr)
        FinishBackgroundLogging();
    panes.RefreshDeviceTreeTabViews(this, TRUE);
}

void CUSBLog::RereadDeviceFlags() {
    // A device that arrives during a capture is reported before the driver hooks it, and the hook writes no
    // change-log record: only the driver's node list tells that it can now be selected for the next capture.
    if (m_pAttachedDrivers == nullptr || m_pAttachedDevices == nullptr)
        return;
    // As the buffer's Clear does, only when the control device is there: a stop because the driver went
    // away has nothing to read, and no reason to say so.
    CKxTdloft device;
    if (!device.TryDeviceOpen())
        return;
    device.DeviceClose();
    if (m_pAttachedDrivers->RereadDriversAndDevices(m_pAttachedDevices.get()))
        MarkDeviceModelLoaded();
}

void CUSBLog::OnUsbStopeventcapture() {
    // A second posted stop, a trigger's stop after the thread's own, or the background window's Cancel after
    // either, finds nothing to stop.
    if (!IsLogging())
        return;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::OnUsbStopeventcapture");
    DisableLogging();
    // With no capture thread left there is nothing logging, whatever the flag said.
    SetLogging(FALSE);
    RereadDeviceFlags();
    const CAppSettings* pSettings = EffectiveSettings();
    EndCaptureSteps(pSettings);
    if (m_nSeqGapCount != 0) {
        CString message;
        message.Format("Session ended with detection of %d out-of-sequence record(s).\n"
                       "This may mean that some records are missing from the log.\n",
                       static_cast<int>(m_nSeqGapCount));
        if (pSettings == nullptr || !pSettings->BackgroundLogging)
            message += "Try using background logging to capture data from this device.\n";
        AfxMessageBox(message, MB_ICONWARNING);
    }
}
