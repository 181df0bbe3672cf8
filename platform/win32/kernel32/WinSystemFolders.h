// The system's own folders. The simulated machine keeps them inside its state folder (WinMachineProfile.h), so
// a program that writes below them never touches the host's system folders.
#pragma once

#include "windef.h"

// The "Windows" folder of the machine's state folder, made when missing, in the platform's form ("\"
// separators). The length without the NUL when it fits in `size`, else the size needed with it; 0 on failure
// (a folder that cannot be made, or on request: WinFailureControl.h, name "GetWindowsDirectoryA").
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

inline UINT GetWindowsDirectory(LPSTR buffer, UINT size) {
    return GetWindowsDirectoryA(buffer, size);
}
