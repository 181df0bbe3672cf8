// CMainFrame: device changes. A change turns into a posted WM_REFRESH_DEVICE_TREE, whose handler reads the
// driver's change log outside the broadcast and gives it to the live capture document.
#include <vector>

#include "app/core/KxTdloft.h"
#include "app/core/Trace.h"
#include "app/core/USBLog.h"
#include "app/ui/MainFrame.h"
#include "app/ui/PanePointers.h"

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
