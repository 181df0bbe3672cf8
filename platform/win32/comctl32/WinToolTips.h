// The tooltip common control ("tooltips_class32"): a small pop-up that shows a tool's text once the mouse has
// rested on the tool.
//
// A tool is a rectangle of a window (or a whole window, TTF_IDISHWND) with a text, or LPSTR_TEXTCALLBACK: then
// the tool's window is asked with TTN_GETDISPINFO when the tip is about to show. The tooltip learns where the
// mouse is from the messages relayed to it (TTM_RELAYEVENT; a tool with TTF_SUBCLASS has its window's mouse
// messages relayed without help). Timing runs on the window timers, so the virtual clock drives it: the tip
// shows when the mouse has rested on a tool for the initial delay (the double-click time, 500 ms), again after
// the shorter reshow delay when it moves on to another tool while a tip shows, and hides after the auto-pop
// delay (ten times the initial), when the mouse leaves the tool, when the tool's window moves or hides (looked
// at every 100 ms while the tip shows), or on a button press (no tip again until the mouse moves on to another
// tool). TTN_SHOW and TTN_POP tell the tool's window. The tip sits below the cursor,
// as large as its text plus a margin, wrapped at the maximum tip width when one is set.
#pragma once

#include <cstddef>

#include "WinCommonControls.h"

#define TOOLTIPS_CLASSA "tooltips_class32"
#define TOOLTIPS_CLASS TOOLTIPS_CLASSA

#define TTS_ALWAYSTIP 0x01
#define TTS_NOPREFIX 0x02
#define TTS_NOANIMATE 0x10
#define TTS_NOFADE 0x20
#define TTS_BALLOON 0x40

#define TTF_IDISHWND 0x0001
#define TTF_CENTERTIP 0x0002
#define TTF_RTLREADING 0x0004
#define TTF_SUBCLASS 0x0010
#define TTF_ABSOLUTE 0x0080
#define TTF_TRANSPARENT 0x0100
#define TTF_DI_SETITEM 0x8000

#define TTDT_AUTOMATIC 0
#define TTDT_RESHOW 1
#define TTDT_AUTOPOP 2
#define TTDT_INITIAL 3

#ifndef LPSTR_TEXTCALLBACKA
#define LPSTR_TEXTCALLBACKA ((LPSTR)(INT_PTR)-1)
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKA
#endif

#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_ADDTOOLA (WM_USER + 4)
#define TTM_DELTOOLA (WM_USER + 5)
#define TTM_NEWTOOLRECTA (WM_USER + 6)
#define TTM_RELAYEVENT (WM_USER + 7)
#define TTM_GETTOOLINFOA (WM_USER + 8)
#define TTM_SETTOOLINFOA (WM_USER + 9)
#define TTM_HITTESTA (WM_USER + 10)
#define TTM_GETTEXTA (WM_USER + 11)
#define TTM_UPDATETIPTEXTA (WM_USER + 12)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_ENUMTOOLSA (WM_USER + 14)
#define TTM_GETCURRENTTOOLA (WM_USER + 15)
#define TTM_SETTIPBKCOLOR (WM_USER + 19)
#define TTM_SETTIPTEXTCOLOR (WM_USER + 20)
#define TTM_GETDELAYTIME (WM_USER + 21)
#define TTM_GETTIPBKCOLOR (WM_USER + 22)
#define TTM_GETTIPTEXTCOLOR (WM_USER + 23)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_GETMAXTIPWIDTH (WM_USER + 25)
#define TTM_SETMARGIN (WM_USER + 26)
#define TTM_GETMARGIN (WM_USER + 27)
#define TTM_POP (WM_USER + 28)
#define TTM_UPDATE (WM_USER + 29)
#define TTM_POPUP (WM_USER + 34)
#define TTM_ADDTOOL TTM_ADDTOOLA
#define TTM_DELTOOL TTM_DELTOOLA
#define TTM_NEWTOOLRECT TTM_NEWTOOLRECTA
#define TTM_GETTOOLINFO TTM_GETTOOLINFOA
#define TTM_SETTOOLINFO TTM_SETTOOLINFOA
#define TTM_HITTEST TTM_HITTESTA
#define TTM_GETTEXT TTM_GETTEXTA
#define TTM_UPDATETIPTEXT TTM_UPDATETIPTEXTA
#define TTM_ENUMTOOLS TTM_ENUMTOOLSA
#define TTM_GETCURRENTTOOL TTM_GETCURRENTTOOLA

// Notifications (the 8-bit forms).
#define TTN_FIRST (0U - 520U)
#define TTN_GETDISPINFOA (TTN_FIRST - 0)
#define TTN_SHOW (TTN_FIRST - 1)
#define TTN_POP (TTN_FIRST - 2)
#define TTN_NEEDTEXTA TTN_GETDISPINFOA
#define TTN_GETDISPINFO TTN_GETDISPINFOA
#define TTN_NEEDTEXT TTN_NEEDTEXTA

typedef struct tagTOOLINFOA {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPSTR lpszText;
    LPARAM lParam;
    void* lpReserved;
} TTTOOLINFOA, *LPTTTOOLINFOA, TOOLINFOA, *LPTOOLINFOA;
static_assert(sizeof(TTTOOLINFOA) == 72 && offsetof(TTTOOLINFOA, rect) == 24 && offsetof(TTTOOLINFOA, lpszText) == 48 &&
              offsetof(TTTOOLINFOA, lParam) == 56);
// The sizes of the structure's older forms, which callers may still pass as cbSize.
#define TTTOOLINFOA_V1_SIZE 48
#define TTTOOLINFOA_V2_SIZE 64
#define TTTOOLINFOA_V3_SIZE 72

typedef struct tagTTHITTESTINFOA {
    HWND hwnd;
    POINT pt;
    TTTOOLINFOA ti;
} TTHITTESTINFOA, *LPTTHITTESTINFOA;
static_assert(sizeof(TTHITTESTINFOA) == 88 && offsetof(TTHITTESTINFOA, ti) == 16);

typedef struct tagNMTTDISPINFOA {
    NMHDR hdr;
    LPSTR lpszText;
    char szText[80];
    HINSTANCE hinst;
    int uFlags;
    LPARAM lParam;
} NMTTDISPINFOA, *LPNMTTDISPINFOA;
static_assert(sizeof(NMTTDISPINFOA) == 136 && offsetof(NMTTDISPINFOA, hinst) == 112 &&
              offsetof(NMTTDISPINFOA, lParam) == 128);

typedef TTTOOLINFOA TTTOOLINFO;
typedef TOOLINFOA TOOLINFO;
typedef LPTOOLINFOA LPTOOLINFO;
typedef TTHITTESTINFOA TTHITTESTINFO;
typedef NMTTDISPINFOA NMTTDISPINFO;
typedef LPNMTTDISPINFOA LPNMTTDISPINFO;
typedef NMTTDISPINFOA TOOLTIPTEXTA;
typedef NMTTDISPINFOA TOOLTIPTEXT;

namespace win32 {
// Registers "tooltips_class32" (the dialog classes' registration does it too).
void RegisterToolTipsClass();
} // namespace win32
