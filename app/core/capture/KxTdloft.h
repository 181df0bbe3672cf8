// CKxTdloft: the capture driver's control device ("\\.\Tindaloft", string 129), with one member per control
// request. Each member sends its code synchronously and returns whether the driver accepted it; a failure
// keeps the Win32 error (GetError) and is traced.
#pragma once

#include "app/core/capture/Device.h"

// String resource of the control device's name.
constexpr UINT IDS_TINDALOFT_DEVICE = 129;

class CKxTdloft : public CDevice {
    DECLARE_DYNCREATE(CKxTdloft)

public:
    CKxTdloft();
    // Closes a handle a user left open.
    ~CKxTdloft() override;

    // DRIVER_INFO into the buffer; *lpBytesReturned gets the bytes returned. Keeps no error.
    BOOL IoctlGetDriverInfo(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned);
    BOOL IoctlClearRegistrySettings();
    BOOL IoctlSetDevobjFlags(LPVOID lpBuffer, DWORD dwLength);
    BOOL IoctlSetLoggingOptions(LPVOID lpBuffer, DWORD dwLength);
    BOOL IoctlGetLoggingOptions(LPVOID lpBuffer, DWORD dwLength);
    // The request block goes in and comes back filled in the same buffer.
    BOOL IoctlGetDeviceStackInfo(LPVOID lpBuffer, DWORD dwLength);
    BOOL IoctlSetBootLogging(DWORD dwBootFlags);
    BOOL IoctlRefreshDeviceStacks();
    BOOL IoctlEnableChangeLogging(DWORD dwValue);
    BOOL IoctlDisableChangeLogging();
    BOOL IoctlClearChangeLogBuffer();
    // The oldest change-log block; rdwLength is the buffer's size in and the bytes read out (0 on failure,
    // last error 122 when the buffer is smaller than the block).
    BOOL IoctlReadChangeLog(LPVOID lpBuffer, DWORD& rdwLength);
    // The driver's event log, or its size with a 4-byte buffer; rdwLength as for IoctlReadChangeLog.
    BOOL IoctlReadMemlog(LPVOID lpBuffer, DWORD& rdwLength);

private:
    // Traces the member and the code, sends the code and keeps and traces the error of a failure.
    BOOL Request(LPCSTR lpszMember, LPCSTR lpszCode, DWORD dwCode, LPVOID lpIn, DWORD dwInLength, LPVOID lpOut,
                 DWORD dwOutLength, LPDWORD lpBytesReturned = nullptr);
    BOOL ReadRequest(LPCSTR lpszMember, LPCSTR lpszCode, DWORD dwCode, LPVOID lpBuffer, DWORD& rdwLength);

public:
    // Stops the driver's capture log; for a program that cannot stop it through its capture thread.
    BOOL IoctlDisableLogging();
};
