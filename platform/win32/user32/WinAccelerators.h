// Accelerator tables: made from entries or loaded from the program's resources. The window manager's
// TranslateAccelerator reads a table with CopyAcceleratorTableA.
#pragma once

#include "WinResourceTable.h"

#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

#ifndef ERROR_INVALID_ACCEL_HANDLE
#define ERROR_INVALID_ACCEL_HANDLE 1403L
#endif

HACCEL CreateAcceleratorTableA(LPACCEL entries, int count);
inline HACCEL CreateAcceleratorTable(LPACCEL entries, int count) {
    return CreateAcceleratorTableA(entries, count);
}
BOOL DestroyAcceleratorTable(HACCEL table);
// The number of entries when `entries` is null, else how many were copied (at most `count`).
int CopyAcceleratorTableA(HACCEL table, LPACCEL entries, int count);
inline int CopyAcceleratorTable(HACCEL table, LPACCEL entries, int count) {
    return CopyAcceleratorTableA(table, entries, count);
}
// A table loaded from the module's resources; the platform frees it with the module, so it is not destroyed.
HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
inline HACCEL LoadAccelerators(HINSTANCE instance, LPCSTR name) {
    return LoadAcceleratorsA(instance, name);
}
