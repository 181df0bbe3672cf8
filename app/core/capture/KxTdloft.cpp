#include "app/core/capture/KxTdloft.h"

#include "app/core/diagnostics/Trace.h"
#include "common/ControlCodes.h"

IMPLEMENT_DYNCREATE(CKxTdloft, CDevice)

namespace {

// Used when the program's string table lacks the device's name.
constexpr char kDefaultDeviceName[] = "\\\\.\\Tindaloft";

CString ControlDeviceName() {
    CString name;
    if (!AfxLoadString(IDS_TINDALOFT_DEVICE, name)) {
        name = kDefaultDeviceName;
    }
    return name;
}

} // namespace

CKxTdloft::CKxTdloft() : CDevice(ControlDeviceName()) {}

CKxTdloft::~CKxTdloft() {
    if (IsOpen()) {
        DeviceClose();
    }
}

BOOL CKxTdloft::Request(LPCSTR lpszMember, LPCSTR lpszCode, DWORD dwCode, LPVOID lpIn, DWORD dwInLength, LPVOID lpOut,
                        DWORD dwOutLength, LPDWORD lpBytesReturned) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "%s", lpszMember);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "%s", lpszCode);
    DWORD dwReturned = 0;
    BOOL bResult = DeviceIoControl(m_hDevice, dwCode, lpIn, dwInLength, lpOut, dwOutLength, &dwReturned, nullptr);
    if (!bResult) {
        m_dwLastError = ::GetLastError();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "Error: 0x%x", m_dwLastError);
    }
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = dwReturned;
    }
    return bResult;
}

BOOL CKxTdloft::ReadRequest(LPCSTR lpszMember, LPCSTR lpszCode, DWORD dwCode, LPVOID lpBuffer, DWORD& rdwLength) {
    DWORD dwReturned = 0;
    if (Request(lpszMember, lpszCode, dwCode, lpBuffer, rdwLength, lpBuffer, rdwLength, &dwReturned)) {
        rdwLength = dwReturned;
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "Read %u bytes", dwReturned);
        return TRUE;
    }
    if (m_dwLastError == ERROR_INSUFFICIENT_BUFFER) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "ERROR_INSUFFICIENT_BUFFER");
    }
    // Whatever the failure, the buffer holds nothing the caller may read.
    rdwLength = 0;
    return FALSE;
}

BOOL CKxTdloft::IoctlGetDriverInfo(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CKxTdloft::IoctlGetDriverInfo");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "IOCTL_TINDALOFT_INFO");
    DWORD dwReturned = 0;
    BOOL bResult =
        DeviceIoControl(m_hDevice, IOCTL_TINDALOFT_INFO, lpBuffer, dwLength, lpBuffer, dwLength, &dwReturned, nullptr);
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = dwReturned;
    }
    return bResult;
}

BOOL CKxTdloft::IoctlClearRegistrySettings() {
    return Request("CKxTdloft::IoctlClearRegistrySettings", "IOCTL_TINDALOFT_CLR_REGNODES",
                   IOCTL_TINDALOFT_CLR_REGNODES, nullptr, 0, nullptr, 0);
}

BOOL CKxTdloft::IoctlSetDevobjFlags(LPVOID lpBuffer, DWORD dwLength) {
    return Request("CKxTdloft::IoctlSetDevobjFlags", "IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS",
                   IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, lpBuffer, dwLength, nullptr, 0);
}

BOOL CKxTdloft::IoctlSetLoggingOptions(LPVOID lpBuffer, DWORD dwLength) {
    return Request("CKxTdloft::IoctlSetLoggingOptions", "IOCTL_TINDALOFT_SET_LOGGING_OPTIONS",
                   IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, lpBuffer, dwLength, nullptr, 0);
}

BOOL CKxTdloft::IoctlGetLoggingOptions(LPVOID lpBuffer, DWORD dwLength) {
    return Request("CKxTdloft::IoctlGetLoggingOptions", "IOCTL_TINDALOFT_GET_LOGGING_OPTIONS",
                   IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, lpBuffer, dwLength, lpBuffer, dwLength);
}

BOOL CKxTdloft::IoctlGetDeviceStackInfo(LPVOID lpBuffer, DWORD dwLength) {
    return Request("CKxTdloft::IoctlGetDeviceStackInfo", "IOCTL_TINDALOFT_GET_DEVSTK_INFO",
                   IOCTL_TINDALOFT_GET_DEVSTK_INFO, lpBuffer, dwLength, lpBuffer, dwLength);
}

BOOL CKxTdloft::IoctlSetBootLogging(DWORD dwBootFlags) {
    return Request("CKxTdloft::IoctlSetBootLogging", "IOCTL_TINDALOFT_SET_BOOTFLAG", IOCTL_TINDALOFT_SET_BOOTFLAG,
                   &dwBootFlags, sizeof dwBootFlags, nullptr, 0);
}

BOOL CKxTdloft::IoctlRefreshDeviceStacks() {
    return Request("CKxTdloft::IoctlRefreshDeviceStacks", "IOCTL_TINDALOFT_DEVSTK_REFRESH",
                   IOCTL_TINDALOFT_DEVSTK_REFRESH, nullptr, 0, nullptr, 0);
}

BOOL CKxTdloft::IoctlEnableChangeLogging(DWORD dwValue) {
    return Request("CKxTdloft::IoctlEnableChangeLogging", "IOCTL_TINDALOFT_ENABLE_CLOG", IOCTL_TINDALOFT_ENABLE_CLOG,
                   &dwValue, sizeof dwValue, nullptr, 0);
}

BOOL CKxTdloft::IoctlDisableChangeLogging() {
    return Request("CKxTdloft::IoctlDisableChangeLogging", "IOCTL_TINDALOFT_DISABLE_CLOG", IOCTL_TINDALOFT_DISABLE_CLOG,
                   nullptr, 0, nullptr, 0);
}

BOOL CKxTdloft::IoctlClearChangeLogBuffer() {
    return Request("CKxTdloft::IoctlClearChangeLogBuffer", "IOCTL_TINDALOFT_CLEAR_CLOG", IOCTL_TINDALOFT_CLEAR_CLOG,
                   nullptr, 0, nullptr, 0);
}

BOOL CKxTdloft::IoctlReadChangeLog(LPVOID lpBuffer, DWORD& rdwLength) {
    return ReadRequest("CKxTdloft::IoctlReadChangeLog", "IOCTL_TINDALOFT_READ_CLOG", IOCTL_TINDALOFT_READ_CLOG,
                       lpBuffer, rdwLength);
}

BOOL CKxTdloft::IoctlReadMemlog(LPVOID lpBuffer, DWORD& rdwLength) {
    return ReadRequest("CKxTdloft::IoctlReadMemlog", "IOCTL_TINDALOFT_GET_MEMLOG", IOCTL_TINDALOFT_GET_MEMLOG, lpBuffer,
                       rdwLength);
}

BOOL CKxTdloft::IoctlDisableLogging() {
    return Request("CKxTdloft::IoctlDisableLogging", "IOCTL_TINDALOFT_DISABLE_LOG", IOCTL_TINDALOFT_DISABLE_LOG,
                   nullptr, 0, nullptr, 0);
}
