// The process environment. Names compare without regard to case, as the platform's do.
#pragma once

#include "windef.h"

// %NAME% references are replaced by the variable's value; unknown names and lone '%' stay as they are. Returns
// the characters needed including the NUL (the text is written only when that fits in size), 0 on failure.
DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size);
// The length without the NUL when it fits, else the size needed with it; 0 and ERROR_ENVVAR_NOT_FOUND when the
// variable is not set.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
// A null value removes the variable.
BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);

inline DWORD ExpandEnvironmentStrings(LPCSTR source, LPSTR destination, DWORD size) {
    return ExpandEnvironmentStringsA(source, destination, size);
}
inline DWORD GetEnvironmentVariable(LPCSTR name, LPSTR buffer, DWORD size) {
    return GetEnvironmentVariableA(name, buffer, size);
}
inline BOOL SetEnvironmentVariable(LPCSTR name, LPCSTR value) {
    return SetEnvironmentVariableA(name, value);
}
