#include "app/core/capture/Device.h"

#include "app/core/diagnostics/Trace.h"
#include "app/ui/dialogs/StopMessage.h"

IMPLEMENT_SERIAL(CDevice, CObject, 1)

namespace {

// User-mode names of devices start with this prefix.
constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr int kDevicePrefixLength = 4;

} // namespace

CDevice::CDevice() : m_hDevice(INVALID_HANDLE_VALUE), m_dwLastError(0) {}

CDevice::CDevice(LPCSTR lpszDeviceName)
    : m_hDevice(INVALID_HANDLE_VALUE), m_strDeviceName(lpszDeviceName), m_dwLastError(0) {}

// The handle belongs to whoever opened it: users close explicitly, and a copy of the name may outlive it.
CDevice::~CDevice() = default;

void CDevice::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CDevice::Serialize (storing)");
        ar << m_strDeviceName;
    } else {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CDevice::Serialize (loading)");
        ar >> m_strDeviceName;
    }
}

void CDevice::DeviceOpen() {
    CString path;
    if (m_strDeviceName.Left(kDevicePrefixLength) != kDevicePrefix) {
        path = kDevicePrefix;
    }
    path += m_strDeviceName;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CreateFile(\"%s\")", path.GetString());
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_dwLastError = ::GetLastError();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "Open error - %x", m_dwLastError);
        RaiseException(OpenFailureCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    m_hDevice = handle;
}

BOOL CDevice::TryDeviceOpen(bool bShowMessage) {
    if (CatchOpenFailure([this] { DeviceOpen(); })) {
        return TRUE;
    }
    CString message;
    message.Format("Failed to open device, error: %u\n", m_dwLastError);
    if (bShowMessage) {
        ShowStopMessage(message);
    } else {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_IO, "%s", message.GetString());
    }
    return FALSE;
}

void CDevice::DeviceClose() {
    if (m_hDevice != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hDevice);
        m_hDevice = INVALID_HANDLE_VALUE;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CDevice::DeviceClose");
}
