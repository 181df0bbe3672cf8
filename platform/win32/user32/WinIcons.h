// Icons: loaded from the program's embedded PNG images (transparent where the image's alpha is below half), made
// from a mask and a colour bitmap, and drawn over what lies below.
#pragma once

#include "WinResources.h"

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

#define DI_MASK 0x0001
#define DI_IMAGE 0x0002
#define DI_NORMAL 0x0003
#define DI_COMPAT 0x0004
#define DI_DEFAULTSIZE 0x0008

typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;
static_assert(sizeof(ICONINFO) == 32 && offsetof(ICONINFO, hbmMask) == 16);

// The program's icons by id, or with a null instance the system's (IDI_*, 32 x 32). Shared: never destroyed.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
inline HICON LoadIcon(HINSTANCE instance, LPCSTR name) {
    return LoadIconA(instance, name);
}
// From a monochrome mask (1 bits transparent) and a colour bitmap of the same size (both copied).
HICON CreateIconIndirect(PICONINFO info);
HICON CopyIcon(HICON icon);
// New bitmaps the caller deletes.
BOOL GetIconInfo(HICON icon, PICONINFO info);
BOOL DestroyIcon(HICON icon);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// Scaled to width x height (0: the icon's own size); `background`, when given, is filled first.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH background, UINT flags);
