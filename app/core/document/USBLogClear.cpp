// CUSBLog: Clear buffer and Clear monitored devices.
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/ui/PanePointers.h"
#include "app/ui/loglist/LogListView.h"

void CUSBLog::RequeryDevices(CKxTdloft& device) {
    // The driver restarts its capture sequence at 0 and reports its stacks afresh.
    device.IoctlRefreshDeviceStacks();
    CPanePointers panes;
    // The merge below deletes the objects the driver no longer reports; no pane may still point at them.
    panes.DeviceModelChanging(this);
    if (m_pAttachedDrivers != nullptr && m_pAttachedDevices != nullptr)
        m_pAttachedDrivers->QueryDriversAndDevices(m_pAttachedDevices.get(), false);
    MarkDeviceModelLoaded();
    panes.DriversTabDisplayDrivers(this);
}

void CUSBLog::OnUsbClearCapture() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::OnUsbClearCapture");
    const BOOL bWasLogging = IsLogging();
    // The capture thread writes into the store emptied below.
    if (bWasLogging)
        DisableLogging();
    if (auto* pView = dynamic_cast<CLogListView*>(GetFirstView()))
        pView->Clear();
    if (m_pLogRecords != nullptr)
        m_pLogRecords->RemoveAll();
    CPanePointers panes;
    panes.DataBarClear(TRUE);
    panes.LogDetailsShow();
    CKxTdloft device;
    if (device.TryDeviceOpen()) {
        RequeryDevices(device);
        device.DeviceClose();
    }
    m_nTriggerSeqNum = 0;
    m_nExpectedSeqNum = 0;
    // The store is empty again: the capture goes on as a new session, with its own start time and gap count.
    if (bWasLogging)
        BeginCaptureSession(EffectiveSettings(), FALSE);
}

void CUSBLog::OnUsbClearDevices() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::OnUsbClearDevices");
    CKxTdloft device;
    if (device.TryDeviceOpen()) {
        RequeryDevices(device);
        // The driver forgets its stored selection; then every device is sent as not captured.
        if (device.IoctlClearRegistrySettings() && m_pAttachedDevices != nullptr) {
            BYTE* pList = nullptr;
            DWORD dwSize = 0;
            if (m_pAttachedDevices->CreateLogDevobjsList(pList, dwSize, true))
                device.IoctlSetDevobjFlags(pList, dwSize);
        }
        device.DeviceClose();
    }
    CPanePointers panes;
    panes.SetStackInspectorWriteable();
    MarkDeviceModelLoaded();
    panes.ClearDeviceTreeSelections();
    panes.RefreshDeviceTreeTabViews(this, TRUE);
    panes.DevicePropertiesUpdate();
    panes.StackListUncheckAll();
}
