// Reading one of the driver's node lists (device stacks, hooked drivers) under its size-query convention:
// a 4-byte request answers the size the list needs, a request with a buffer of that size fetches the list.
// The list crosses the kernel boundary, so the buffer is zeroed before the fetch and only the byte count the
// driver returned is handed on.
#pragma once

#include <functional>

#include "afx.h"
#include "app/core/capture/Device.h"

// The list as fetched: Data() holds Returned() valid bytes. It frees its buffer.
class CNodeListBuffer {
public:
    CNodeListBuffer() = default;
    ~CNodeListBuffer();
    CNodeListBuffer(const CNodeListBuffer&) = delete;
    CNodeListBuffer& operator=(const CNodeListBuffer&) = delete;

    const BYTE* Data() const { return m_pData; }
    DWORD Returned() const { return m_dwReturned; }

    // A zeroed buffer of the size in place of the one held; FALSE when memory is short.
    BOOL Allocate(DWORD dwSize);
    BYTE* Buffer() { return m_pData; }
    DWORD Size() const { return m_dwSize; }
    void SetReturned(DWORD dwReturned) { m_dwReturned = dwReturned < m_dwSize ? dwReturned : m_dwSize; }

private:
    BYTE* m_pData = nullptr;
    DWORD m_dwSize = 0;
    DWORD m_dwReturned = 0;
};

enum class NodeListFetch {
    Fetched,       // the list is in the buffer
    NoList,        // the driver answered a size of 4 or less: there is nothing to fetch
    RequestFailed, // a request failed; the device keeps its Win32 error (GetError)
    NoMemory,      // the buffer could not be had
};

// One request of the device with the buffer as input and output: TRUE with the bytes returned, or FALSE with
// the Win32 error kept by the device.
using NodeListRequest = std::function<BOOL(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned)>;

// One request of a node-list code to the open device, the buffer as input and output. A failure keeps its
// Win32 error in rdwError (traced) and returns 0 bytes.
BOOL SendNodeListRequest(HANDLE hDevice, DWORD dwCode, LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned,
                         DWORD& rdwError);

// A fetch that fails with ERROR_INSUFFICIENT_BUFFER met a list that grew after its size was asked: the size is
// asked again and the list fetched again, this many fetches in all.
constexpr int kNodeListFetchAttempts = 5;

// Size query, then the fetch into rList, with the device's requests.
NodeListFetch FetchNodeList(const CDevice& device, const NodeListRequest& request, CNodeListBuffer& rList);

// Closes the device when it leaves scope, so that every way out of a query (a failure raised, a parse that
// throws) leaves the control device closed.
class CDeviceCloser {
public:
    explicit CDeviceCloser(CDevice& device) : m_device(device) {}
    ~CDeviceCloser() { m_device.DeviceClose(); }
    CDeviceCloser(const CDeviceCloser&) = delete;
    CDeviceCloser& operator=(const CDeviceCloser&) = delete;

private:
    CDevice& m_device;
};
