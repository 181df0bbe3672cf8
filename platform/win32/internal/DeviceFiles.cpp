#include "DeviceFiles.h"

#include "WinDeviceIo.h"
#include "WinHandles.h"
#include "winerror.h"

// Referenced weakly until the I/O manager's user-mode half is part of every build.
namespace win32 {
HANDLE OpenDeviceFile(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                      DWORD flags) __attribute__((weak));
}

namespace win32::internal {

HANDLE OpenDevice(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition, DWORD flags) {
    if (win32::OpenDeviceFile != nullptr)
        return win32::OpenDeviceFile(path, desiredAccess, shareMode, creationDisposition, flags);
    SetLastError(ERROR_FILE_NOT_FOUND); // without the I/O manager no device exists
    return INVALID_HANDLE_VALUE;
}

} // namespace win32::internal
