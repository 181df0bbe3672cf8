// User-mode I/O on device files: opening "\\.\NAME" through the kernel's I/O manager, sending control
// requests to the device's driver, and the mapping of kernel status codes to Win32 error codes.
#pragma once

#include "windef.h"

namespace win32 {

// Opens a device by its user-mode name "\\.\NAME", which the kernel resolves through "\DosDevices\NAME", and
// sends IRP_MJ_CREATE to the top of the device's stack. The handle remembers the access it was opened with.
// On failure sets the last error and returns INVALID_HANDLE_VALUE. CreateFileA/W route "\\.\" names here.
HANDLE OpenDeviceFile(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition, DWORD flags);

} // namespace win32

// Synchronous device control; an OVERLAPPED is accepted but the call always completes before it returns.
// METHOD_BUFFERED copies the input into one system buffer of the larger length and, on success or a warning,
// min(bytes returned, output length) bytes back; METHOD_NEITHER hands the driver the caller's pointers (valid
// addresses for the kernel while the request runs); the direct methods describe the output by an MDL. A code
// whose access bits need read or write access fails with ERROR_ACCESS_DENIED on a handle opened without it.
// On a file's handle the call is a file-system control (winioctl.h): FSCTL_SET_SPARSE on a handle with write
// access; other codes fail with ERROR_INVALID_FUNCTION. Fails on a call-failure plan (WinFailureControl.h).
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                     DWORD outBufferSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);

// The Win32 error code that user mode reports for a kernel status code.
ULONG RtlNtStatusToDosError(NTSTATUS status);
