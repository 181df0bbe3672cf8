// CDevice: a named device handle that can be opened, closed and serialized. Every user opens one for an
// operation, sends its requests and closes it again; destroying an open CDevice leaves the handle open.
#pragma once

#include "afx.h"

class CDevice : public CObject {
    DECLARE_SERIAL(CDevice)

public:
    // The code DeviceOpen raises when the device cannot be opened (non-continuable, no arguments).
    static constexpr DWORD OpenFailureCode = 0xA0000001;

    CDevice();
    explicit CDevice(LPCSTR lpszDeviceName);
    ~CDevice() override;

    // Stores or loads the device name only.
    void Serialize(CArchive& ar) override;

    // Opens "\\.\<name>" (a name that already begins with "\\.\" is used as it is) for writing; on failure
    // keeps the Win32 error and raises OpenFailureCode.
    void DeviceOpen();
    // DeviceOpen with the open failure caught: FALSE, and the failure shown in a message box when
    // bShowMessage, else traced. Other exceptions pass on to the caller.
    BOOL TryDeviceOpen(bool bShowMessage = false);
    static BOOL IsOpenFailure(DWORD dwExceptionCode) { return dwExceptionCode == OpenFailureCode; }
    // TryDeviceOpen's guard: runs `open`; FALSE when it raised the open failure, TRUE when it returned.
    // Other exceptions pass on.
    template <class Open> static BOOL CatchOpenFailure(Open&& open) {
        __try {
            open();
            return TRUE;
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            if (!IsOpenFailure(static_cast<DWORD>(GetExceptionCode()))) {
                throw;
            }
        }
        return FALSE;
    }
    void DeviceClose();

    BOOL IsOpen() const { return m_hDevice != INVALID_HANDLE_VALUE; }
    HANDLE GetHandle() const { return m_hDevice; }
    const CString& GetDeviceName() const { return m_strDeviceName; }
    void SetDeviceName(LPCSTR lpszDeviceName) { m_strDeviceName = lpszDeviceName; }
    // The Win32 error of the last failed open or request, 0 before any.
    DWORD GetError() const { return m_dwLastError; }

protected:
    HANDLE m_hDevice;
    CString m_strDeviceName;
    DWORD m_dwLastError;
};
