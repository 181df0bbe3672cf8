// Pop-up menus: TrackPopupMenu(Ex) shows a menu as a window of its own ("#32768") at a point and runs a modal
// loop until the user picks an item or dismisses the menu. The loop is a modal request of the kind "pop-up
// menu" (WinUiControl.h), its text the menu's item texts joined by "|" ("-" for a separator): a script's steps
// run while the menu is up (they may click or press keys in it), or its answer picks that command at once; a
// menu nobody expected is dismissed and reported. A greyed item or a separator cannot be picked (an answer
// naming one is reported and dismisses the menu).
//
// The owner first hears WM_INITMENUPOPUP for the menu (and for each sub-menu as it opens) unless TPM_NONOTIFY.
// With TPM_RETURNCMD the picked command comes back (0 for none) and nothing is sent; otherwise the owner gets it
// as a posted WM_COMMAND.
//
// While up, the menu holds the mouse (a click outside every open menu dismisses it and still reaches the window
// under it) and the keyboard, posted key messages too: Up and Down move the highlight, Right or Enter opens a
// sub-menu, Left or Escape closes one (Escape at the top dismisses), Enter picks, and an item's underlined letter
// picks or opens it. Before the menu takes a key or mouse message, the thread's WH_MSGFILTER hooks get it with
// the code MSGF_MENU (lParam the MSG, pt on the screen); a hook that answers non-zero keeps it from the menu.
// EndMenu or WM_CANCELMODE to its window dismisses the menu.
//
// An open menu's window answers MN_GETHMENU with the menu it shows; the highlighted item of each open menu has
// MFS_HILITE in its state.
//
// Layout: a text item is the menu font's tmHeight + 4 high, a separator 8; items are as wide as the widest
// text, with a 20-pixel column on its left for the check or radio mark and one on its right for a sub-menu's
// arrow. GetMenuItemRect reports an open menu's items in screen coordinates.
#pragma once

#include "WinMenus.h"
#include "WinUser.h"

#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_CENTERALIGN 0x0004L
#define TPM_RIGHTALIGN 0x0008L
#define TPM_TOPALIGN 0x0000L
#define TPM_VCENTERALIGN 0x0010L
#define TPM_BOTTOMALIGN 0x0020L
#define TPM_HORIZONTAL 0x0000L
#define TPM_VERTICAL 0x0040L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L
#define TPM_RECURSE 0x0001L
#define TPM_NOANIMATION 0x4000L

typedef struct tagTPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
} TPMPARAMS, *LPTPMPARAMS;
static_assert(sizeof(TPMPARAMS) == 20);

#define WC_MENUA "#32768"

// Sent to an open menu's window: the menu it shows.
#define MN_GETHMENU 0x01E1

// With TPM_RETURNCMD the command picked (0: none or an error); otherwise TRUE, FALSE with the last error for a
// bad menu or owner.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
// Dismisses the calling thread's open menu, nothing chosen; FALSE when none is open.
BOOL EndMenu();
// An item of a menu that is open now, by position, in screen coordinates; FALSE when the menu is not open.
BOOL GetMenuItemRect(HWND owner, HMENU menu, UINT item, LPRECT rect);
