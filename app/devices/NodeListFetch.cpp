#include "app/devices/NodeListFetch.h"

#include <cstring>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/AllocateBuffer.h"
#include "common/ByteReader.h"
#include "common/ControlCodes.h"

CNodeListBuffer::~CNodeListBuffer() {
    FreeBuffer(m_pData);
}

BOOL CNodeListBuffer::Allocate(DWORD dwSize) {
    FreeBuffer(m_pData);
    m_dwSize = 0;
    m_dwReturned = 0;
    m_pData = AllocateBuffer(dwSize);
    if (m_pData == nullptr)
        return FALSE;
    std::memset(m_pData, 0, dwSize);
    m_dwSize = dwSize;
    return TRUE;
}

BOOL SendNodeListRequest(HANDLE hDevice, DWORD dwCode, LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned,
                         DWORD& rdwError) {
    DWORD dwReturned = 0;
    const BOOL bResult = DeviceIoControl(hDevice, dwCode, lpBuffer, dwLength, lpBuffer, dwLength, &dwReturned, nullptr);
    if (!bResult) {
        rdwError = ::GetLastError();
        dwReturned = 0;
        if (rdwError == ERROR_INSUFFICIENT_BUFFER)
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "ERROR_INSUFFICIENT_BUFFER");
        else
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "Error: 0x%x", rdwError);
    }
    *lpBytesReturned = dwReturned;
    return bResult;
}

NodeListFetch FetchNodeList(const CDevice& device, const NodeListRequest& request, CNodeListBuffer& rList) {
    for (int attempt = 1;; ++attempt) {
        BYTE sizeReply[TINDALOFT_SIZE_QUERY_LENGTH] = {};
        DWORD dwReturned = 0;
        if (!request(sizeReply, sizeof sizeReply, &dwReturned))
            return NodeListFetch::RequestFailed;
        // Anything but a whole size word is no size at all.
        const ULONG size = dwReturned == sizeof sizeReply ? tdl::LoadLe<ULONG>(sizeReply) : 0;
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "Required Size: 0x%x", size);
        if (size <= TINDALOFT_SIZE_QUERY_LENGTH)
            return NodeListFetch::NoList;
        if (!rList.Allocate(size))
            return NodeListFetch::NoMemory;
        if (request(rList.Buffer(), rList.Size(), &dwReturned)) {
            rList.SetReturned(dwReturned);
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "Actual Size: 0x%x", rList.Returned());
            return NodeListFetch::Fetched;
        }
        if (device.GetError() != ERROR_INSUFFICIENT_BUFFER || attempt == kNodeListFetchAttempts)
            return NodeListFetch::RequestFailed;
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVER_IO, "The list grew after its size was asked; asking again");
    }
}
