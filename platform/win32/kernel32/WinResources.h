// Resources of a module: what the resource compiler would place in an executable, declared instead by id in the
// program's sources (WinResourceTable.h) and read with the platform's calls. A null module is the program's
// own. A missing id fails with ERROR_RESOURCE_NAME_NOT_FOUND (ERROR_RESOURCE_TYPE_NOT_FOUND when the module has
// no resource of that type at all).
#pragma once

#include "WinGdi.h"

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_TOOLBAR MAKEINTRESOURCEA(241)

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x00000000
#define LR_MONOCHROME 0x00000001
#define LR_LOADFROMFILE 0x00000010
#define LR_LOADTRANSPARENT 0x00000020
#define LR_DEFAULTSIZE 0x00000040
#define LR_LOADMAP3DCOLORS 0x00001000
#define LR_CREATEDIBSECTION 0x00002000
#define LR_SHARED 0x00008000

#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

// Raw resources: FindResourceA names a resource by id (MAKEINTRESOURCE or "#123") or by name (any case);
// LockResource gives its bytes, which stay valid for the life of the process.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
inline HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceA(module, name, type);
}
// LoadResource and LockResource fail on request (WinFailureControl.h), as FindResource does (FailResourceLoads).
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data);

// String `id` into a buffer of `size` characters (truncated, always terminated); the number of characters
// copied, 0 when there is no such string. A size of 0 gives a read-only pointer to the text in *buffer.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
inline int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    return LoadStringA(instance, id, buffer, size);
}

// Bitmaps are 32-bit colour bitmaps with the embedded image's exact colours.
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);
inline HBITMAP LoadBitmap(HINSTANCE instance, LPCSTR name) {
    return LoadBitmapA(instance, name);
}
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
inline HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
    return LoadImageA(instance, name, type, width, height, flags);
}
