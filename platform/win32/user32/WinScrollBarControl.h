// The scroll bar control ("SCROLLBAR"), horizontal or vertical. Its position stays inside the range less the
// page (nMax - max(nPage - 1, 0)). The user's clicks and drags do not move it: they reach the parent as
// WM_HSCROLL or WM_VSCROLL (lParam the control) with SB_LINE*, SB_PAGE*, SB_THUMBTRACK while the thumb is
// dragged (SIF_TRACKPOS reads where), SB_THUMBPOSITION where it is let go, and SB_ENDSCROLL; the parent sets the
// position. SetScrollInfo and the other scroll calls take SB_CTL for it.
//
// Layout along the bar: an arrow button at each end, each as long as the bar is thick; the thumb's length is
// the trough's share of the page (at least 8 pixels; as long as the bar is thick without a page); it lies in
// the trough in proportion to the position. GetScrollBarInfo reports it.
#pragma once

#include "WinUser.h"

#define WC_SCROLLBARA "SCROLLBAR"
#define WC_SCROLLBAR WC_SCROLLBARA

#define SBS_HORZ 0x0000L
#define SBS_VERT 0x0001L

#define SBM_SETPOS 0x00E0
#define SBM_GETPOS 0x00E1
#define SBM_SETRANGE 0x00E2
#define SBM_GETRANGE 0x00E3
#define SBM_ENABLE_ARROWS 0x00E4
#define SBM_SETRANGEREDRAW 0x00E6
#define SBM_SETSCROLLINFO 0x00E9
#define SBM_GETSCROLLINFO 0x00EA
#define SBM_GETSCROLLBARINFO 0x00EB

#define OBJID_CLIENT ((LONG)0xFFFFFFFC)
#ifndef STATE_SYSTEM_PRESSED
#define STATE_SYSTEM_PRESSED 0x00000008
#endif
#define STATE_SYSTEM_UNAVAILABLE 0x00000001
#define CCHILDREN_SCROLLBAR 5

typedef struct tagSCROLLBARINFO {
    DWORD cbSize;
    RECT rcScrollBar;  // screen coordinates
    int dxyLineButton; // the arrow buttons' length
    int xyThumbTop;    // the thumb, from the bar's start
    int xyThumbBottom;
    int reserved;
    DWORD rgstate[CCHILDREN_SCROLLBAR + 1];
} SCROLLBARINFO, *PSCROLLBARINFO, *LPSCROLLBARINFO;
static_assert(sizeof(SCROLLBARINFO) == 60);

// For a scroll bar control (idObject OBJID_CLIENT).
BOOL GetScrollBarInfo(HWND hwnd, LONG idObject, PSCROLLBARINFO info);

namespace win32 {
// Registers "SCROLLBAR" (RegisterDialogClasses does it with the other controls).
void RegisterScrollBarClass();
} // namespace win32
