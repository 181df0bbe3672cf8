// Internal to the user-mode stand-in: where CreateFile sends names beginning with "\\.\".
#pragma once

#include "windef.h"

namespace win32::internal {

HANDLE OpenDevice(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition, DWORD flags);

} // namespace win32::internal
