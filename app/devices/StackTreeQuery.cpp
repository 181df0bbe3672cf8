// The stack list from the driver: CStackTree's own requests to the control device.
#include "app/devices/StackTree.h"

#include <functional>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/NodeListFetch.h"
#include "common/ControlCodes.h"

BOOL CStackTree::IoctlTindaloftDevstkNodes(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CStackTree::IoctlTindaloftDevstkNodes");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "IOCTL_TINDALOFT_DEVSTK_NODES");
    const BOOL bResult = SendNodeListRequest(m_hDevice, IOCTL_TINDALOFT_DEVSTK_NODES, lpBuffer, dwLength,
                                             lpBytesReturned, m_dwLastError);
    if (bResult)
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "Read %u bytes", *lpBytesReturned);
    return bResult;
}

BOOL CStackTree::QueryDriverStacks(CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "--CStackTree::QueryDriverStacks");
    if (!TryDeviceOpen())
        return FALSE;
    CDeviceCloser closer(*this);
    CNodeListBuffer list;
    if (FetchNodeList(*this, std::bind_front(&CStackTree::IoctlTindaloftDevstkNodes, this), list) !=
        NodeListFetch::Fetched)
        return FALSE;
    return ParseDevstkNodes(list.Data(), list.Returned(), pDevices);
}
