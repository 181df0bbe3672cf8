// Painting windows: what is left to paint (the update rectangle, the background, the frame), WM_NCPAINT,
// WM_ERASEBKGND and WM_PAINT, and the device contexts that draw into a window's image.
//
// Each window owns one image of its window rectangle, painted by its own thread. WM_PAINT comes from the queue
// when a visible window has something left to paint; BeginPaint sends WM_NCPAINT and WM_ERASEBKGND when they
// are due and validates; a resized window paints itself whole again. Invalidating a window leaves its children
// alone unless RDW_ALLCHILDREN asks for them (each window has its own image, so a child needs no repaint when
// its parent paints).
#pragma once

#include "WinUserTypes.h"
#include "windef.h"

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;
static_assert(sizeof(PAINTSTRUCT) == 72 && offsetof(PAINTSTRUCT, rcPaint) == 12);

#define RDW_INVALIDATE 0x0001
#define RDW_INTERNALPAINT 0x0002
#define RDW_ERASE 0x0004
#define RDW_VALIDATE 0x0008
#define RDW_NOINTERNALPAINT 0x0010
#define RDW_NOERASE 0x0020
#define RDW_NOCHILDREN 0x0040
#define RDW_ALLCHILDREN 0x0080
#define RDW_UPDATENOW 0x0100
#define RDW_ERASENOW 0x0200
#define RDW_FRAME 0x0400
#define RDW_NOFRAME 0x0800

#define DCX_WINDOW 0x00000001L
#define DCX_CACHE 0x00000002L
#define DCX_CLIPCHILDREN 0x00000008L
#define DCX_CLIPSIBLINGS 0x00000010L
#define DCX_PARENTCLIP 0x00000020L

// A null rectangle: the whole client area.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// The update rectangle in client coordinates; FALSE when there is nothing to paint. With `erase`, a pending
// background is erased now (WM_ERASEBKGND).
BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);
// Paints the window and its children now if they have something to paint.
BOOL UpdateWindow(HWND hwnd);
// The region is not looked at (only the rectangle, or the whole window).
BOOL RedrawWindow(HWND hwnd, const RECT* update, HRGN region, UINT flags);

// The window's thread only. ps->hdc draws the client area, clipped to what is left to paint.
HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// The client area (GetDC; a null window: the whole screen) or the whole window rectangle (GetWindowDC).
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags);
int ReleaseDC(HWND hwnd, HDC dc);
HWND WindowFromDC(HDC dc);
// The region's bounding rectangle stands for it (the update area is one rectangle).
BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase);
BOOL ValidateRgn(HWND hwnd, HRGN region);
// Sets `region` to the update rectangle; NULLREGION or SIMPLEREGION.
int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase);

#define SW_SCROLLCHILDREN 0x0001
#define SW_INVALIDATE 0x0002
#define SW_ERASE 0x0004

// Carets: one per thread, a position and a visible count; nothing is drawn.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(LPPOINT point);

// Moves the client area's image by (dx, dy) and invalidates what it uncovers (children are not moved).
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);
// As ScrollWindow; SW_SCROLLCHILDREN moves the children, SW_INVALIDATE (SW_ERASE) invalidates what is uncovered
// (and erases it). The update region and rectangle are not filled in.
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, LPRECT updateRect,
                   UINT flags);
