// Types the window system and the drawing context share (x64 layouts): handles of windows and GDI objects,
// points, sizes, rectangles, colours and messages.
#pragma once

#include "windef.h"

#define TDL_DECLARE_HANDLE(name)                                                                                       \
    struct name##__;                                                                                                   \
    typedef name##__* name

TDL_DECLARE_HANDLE(HWND);
TDL_DECLARE_HANDLE(HDC);
TDL_DECLARE_HANDLE(HPEN);
TDL_DECLARE_HANDLE(HBRUSH);
TDL_DECLARE_HANDLE(HFONT);
TDL_DECLARE_HANDLE(HBITMAP);
TDL_DECLARE_HANDLE(HRGN);
TDL_DECLARE_HANDLE(HPALETTE);
TDL_DECLARE_HANDLE(HICON);
TDL_DECLARE_HANDLE(HMENU);
TDL_DECLARE_HANDLE(HACCEL);
TDL_DECLARE_HANDLE(HRSRC);
TDL_DECLARE_HANDLE(HMONITOR);
// Any GDI object handle: every kind converts to it, as SelectObject and DeleteObject take them all.
typedef void* HGDIOBJ;
typedef HICON HCURSOR;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef PVOID HDEVNOTIFY;

typedef DWORD COLORREF;
typedef DWORD* LPCOLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFFUL

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;
static_assert(sizeof(POINT) == 8);

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *PSIZE, *LPSIZE;
static_assert(sizeof(SIZE) == 8);

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT* LPCRECT;
static_assert(sizeof(RECT) == 16);

typedef struct tagPOINTS {
    SHORT x;
    SHORT y;
} POINTS, *PPOINTS;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;
static_assert(sizeof(MSG) == 48 && offsetof(MSG, pt) == 36);

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
