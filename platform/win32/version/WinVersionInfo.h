// Version resources of modules: the fixed block and the string table. Only modules whose resources the build
// registered (WinVersionControl.h) carry one; every other file has none.
#pragma once

#include "windef.h"

#define VS_FFI_SIGNATURE 0xFEEF04BDUL
#define VS_FFI_STRUCVERSION 0x00010000UL
#define VS_FFI_FILEFLAGSMASK 0x0000003FUL
#define VS_FF_DEBUG 0x00000001UL
#define VS_FF_PRERELEASE 0x00000002UL
#define VOS_NT_WINDOWS32 0x00040004UL
#define VFT_APP 0x00000001UL
#define VFT_DLL 0x00000002UL
#define VFT_DRV 0x00000003UL

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The size of the module's version block, 0 when it has none (ERROR_RESOURCE_TYPE_NOT_FOUND, or
// ERROR_FILE_NOT_FOUND for a missing file). `handle` is set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
// "\" gives the VS_FIXEDFILEINFO; "\VarFileInfo\Translation" the language and code-page pairs (DWORD each,
// language in the low word); "\StringFileInfo\<language><code page>\<name>" a string value, its length in
// characters with the NUL. Names compare without regard to case. The pointer is into `block`.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);

inline DWORD GetFileVersionInfoSize(LPCSTR fileName, LPDWORD handle) {
    return GetFileVersionInfoSizeA(fileName, handle);
}
inline BOOL GetFileVersionInfo(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) {
    return GetFileVersionInfoA(fileName, handle, length, data);
}
inline BOOL VerQueryValue(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    return VerQueryValueA(block, subBlock, buffer, length);
}
