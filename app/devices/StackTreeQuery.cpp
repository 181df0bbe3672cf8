// The stack list from the driver: CStackTree's own requests to the control device.
#include "app/devices/StackTree.h"

#include "app/core/Trace.h"
#include "app/devices/NodeListFetch.h"
#include "common/ControlCodes.h"

BOOL CStackTree::IoctlTindaloftDevstkNodes(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CStackTree::IoctlTindaloftDevstkNodes");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "IOCTL_TINDALOFT_DEVSTK_NODES");
    DWORD dwReturned = 0;
    const BOOL bResult = DeviceIoControl(m_hDevice, IOCTL_TINDALOFT_DEVSTK_NODES, lpBuffer, dwLength, lpBuffer,
                                         dwLength, &dwReturned, nullptr);
    if (bResult) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "Read %u bytes", dwReturned);
    } else {
        m_dwLastError = ::GetLastError();
        dwReturned = 0;
        if (m_dwLastError == ERROR_INSUFFICIENT_BUFFER)
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "ERROR_INSUFFICIENT_BUFFER");
        else
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "Error: 0x%x", m_dwLastError);
    }
    *lpBytesReturned = dwReturned;
    return bResult;
}

BOOL CStackTree::QueryDriverStacks(CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "--CStackTree::QueryDriverStacks");
    if (!TryDeviceOpen())
        return FALSE;
    CDeviceCloser closer(*this);
    CNodeListBuffer list;
    DWORD dwError = 0;
    const NodeListFetch fetched = FetchNodeList(
        [this](LPVOID lpBuffer, DWORD dwLength, DWORD& rdwReturned) -> DWORD {
            return IoctlTindaloftDevstkNodes(lpBuffer, dwLength, &rdwReturned) ? ERROR_SUCCESS : m_dwLastError;
        },
        list, dwError);
    if (fetched != NodeListFetch::Fetched)
        return FALSE;
    return ParseDevstkNodes(list.Data(), list.Returned(), pDevices);
}
