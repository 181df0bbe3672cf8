// Modules bound at run time. The program's own module is always present; every other module ("dbghelp",
// "winhttp", "hhctrl", "ntdll", ...) exists only when the machine registered a stand-in for it
// (WinModulesControl.h). Names are matched without folder, extension or case: "C:\x\DbgHelp.dll" loads
// "dbghelp".
#pragma once

#include "windef.h"

HMODULE LoadLibraryA(LPCSTR fileName);
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags);
BOOL FreeLibrary(HMODULE module);
// A loaded module by name, or the program's own module for a null name; no reference is added.
HMODULE GetModuleHandleA(LPCSTR moduleName);
// Exports by name; an ordinal (a "name" below 0x10000) finds nothing.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

inline HMODULE LoadLibrary(LPCSTR fileName) {
    return LoadLibraryA(fileName);
}
inline HMODULE LoadLibraryEx(LPCSTR fileName, HANDLE reserved, DWORD flags) {
    return LoadLibraryExA(fileName, reserved, flags);
}
inline HMODULE GetModuleHandle(LPCSTR moduleName) {
    return GetModuleHandleA(moduleName);
}
