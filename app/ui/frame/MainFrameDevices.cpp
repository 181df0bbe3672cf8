// CMainFrame: device changes. The frame registers for the device interfaces the device tree follows; a change
// turns into a posted WM_REFRESH_DEVICE_TREE, whose handler reads the driver's change log outside the broadcast
// and gives it to the live capture document.
#include <cstring>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"

namespace {

// The interface classes, in the order of the frame's handles: USB host controllers, USB devices, USB hubs,
// HID devices, mice, keyboards, USB printers.
constexpr GUID kInterfaceClasses[CMainFrame::PnpNotificationCount] = {
    {0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}},
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},
    {0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}},
    {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}},
    {0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}},
    {0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}},
    {0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}},
};

// The event and its broadcast's device type, and a device interface's name.
void ShowDBTDetails(UINT nEventType, DWORD_PTR dwData) {
    const auto* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(dwData);
    if (pHeader == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "WM_DEVICECHANGE event=0x%04x", nEventType);
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "WM_DEVICECHANGE event=0x%04x devicetype=%u", nEventType,
              pHeader->dbch_devicetype);
    if (pHeader->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
        pHeader->dbch_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)) {
        const auto* pInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(pHeader);
        const size_t nMax = pHeader->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
        const CString name(pInterface->dbcc_name, static_cast<int>(strnlen(pInterface->dbcc_name, nMax)));
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "Device interface %s", name.GetString());
    }
}

} // namespace

void CMainFrame::RegisterForPnpNotifications() {
    // Asked once; the device, hub and HID registrations in place mean it was done.
    if (m_hDevNotify[1] != nullptr && m_hDevNotify[2] != nullptr && m_hDevNotify[3] != nullptr)
        return;
    for (int i = 0; i < PnpNotificationCount; ++i) {
        if (m_hDevNotify[i] != nullptr)
            continue;
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kInterfaceClasses[i];
        m_hDevNotify[i] = ::RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (m_hDevNotify[i] == nullptr)
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "RegisterDeviceNotification %d failed, error %u", i,
                      ::GetLastError());
    }
}

void CMainFrame::UnregisterForPnpNotifications() {
    for (HDEVNOTIFY& hNotify : m_hDevNotify) {
        if (hNotify != nullptr)
            ::UnregisterDeviceNotification(hNotify);
        hNotify = nullptr;
    }
}

void CMainFrame::OnDestroy() {
    UnregisterForPnpNotifications();
    CGkMDIFrameWnd::OnDestroy();
}

BOOL CMainFrame::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    ShowDBTDetails(nEventType, dwData);
    if (nEventType == DBT_DEVICEARRIVAL || nEventType == DBT_DEVICEREMOVECOMPLETE || nEventType == DBT_DEVNODES_CHANGED)
        PostMessage(WM_REFRESH_DEVICE_TREE);
    return TRUE;
}

LRESULT CMainFrame::OnRefreshDeviceTree(WPARAM, LPARAM) {
    CKxTdloft device;
    if (!device.TryDeviceOpen()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_CHANGE_LOG, "OnRefreshDeviceTree: failed to open KxTdloft");
        return 0;
    }
    // The active document when it is the live capture (its tree is redrawn now), else the live capture
    // behind a saved log (its tree is redrawn when it is activated again); with neither, the log is still
    // drained and its records dropped.
    CUSBLog* pActive = GetActiveLogDocument();
    CUSBLog* pLive = pActive != nullptr && pActive->IsRealtimeDocument() ? pActive : GetLiveDocument();
    std::vector<BYTE> buffer(ChangeLogBufferSize);
    BOOL bDissected = FALSE;
    for (int nRead = 0; nRead < MaxChangeLogReads; ++nRead) {
        DWORD dwLength = ChangeLogBufferSize;
        const BOOL bHaveBuffer = device.IoctlReadChangeLog(buffer.data(), dwLength);
        if (!bHaveBuffer || dwLength == 0) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "IoctlReadChangeLog returns, bHaveBuffer=%d, amt=%u",
                      bHaveBuffer, bHaveBuffer ? dwLength : 0u);
            break;
        }
        if (pLive != nullptr) {
            pLive->DissectChangeLogFragment(buffer.data(), dwLength);
            bDissected = TRUE;
        }
    }
    device.DeviceClose();
    if (bDissected) {
        if (pLive == pActive)
            CPanePointers().DoRefresh(FALSE);
        else
            pLive->SetDeviceTreeModified(TRUE);
    }
    return 0;
}
