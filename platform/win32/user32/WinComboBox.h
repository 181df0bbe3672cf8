// The combo box ("COMBOBOX"), drop-down forms: CBS_DROPDOWN (an edit field over the list) and
// CBS_DROPDOWNLIST (a field that shows the selected item). The list drops down as a pop-up list box below
// the field (GetComboBoxInfo gives it, so a test clicks its rows where they show); it holds the mouse while
// down, so a click outside closes it unpicked. CBN_SELCHANGE follows the user's changes only (a pick in the
// list, an arrow key on the field), never CB_SETCURSEL.
//
// Layout: the field is the font's tmHeight + 6 high (the height the combo is made with, less the field, is the
// list's); the button is the field's last 16 pixels.
#pragma once

#include <cstddef>

#include "WinListBox.h"

#define WC_COMBOBOXA "COMBOBOX"
#define WC_COMBOBOX WC_COMBOBOXA

#define CBS_SIMPLE 0x0001L
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_OWNERDRAWFIXED 0x0010L
#define CBS_OWNERDRAWVARIABLE 0x0020L
#define CBS_AUTOHSCROLL 0x0040L
#define CBS_OEMCONVERT 0x0080L
#define CBS_SORT 0x0100L
#define CBS_HASSTRINGS 0x0200L
#define CBS_NOINTEGRALHEIGHT 0x0400L
#define CBS_DISABLENOSCROLL 0x0800L
#define CBS_UPPERCASE 0x2000L
#define CBS_LOWERCASE 0x4000L

#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define CBN_ERRSPACE (-1)
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_EDITUPDATE 6
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10

#define CB_GETEDITSEL 0x0140
#define CB_LIMITTEXT 0x0141
#define CB_SETEDITSEL 0x0142
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRING 0x014C
#define CB_SELECTSTRING 0x014D
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_GETDROPPEDCONTROLRECT 0x0152
#define CB_SETITEMHEIGHT 0x0153
#define CB_GETITEMHEIGHT 0x0154
#define CB_GETDROPPEDSTATE 0x0157
#define CB_FINDSTRINGEXACT 0x0158
#define CB_GETTOPINDEX 0x015B
#define CB_SETTOPINDEX 0x015C

#define ODS_COMBOBOXEDIT 0x1000
#ifndef STATE_SYSTEM_PRESSED
#define STATE_SYSTEM_PRESSED 0x00000008
#endif

typedef struct tagCOMBOBOXINFO {
    DWORD cbSize;
    RECT rcItem;
    RECT rcButton;
    DWORD stateButton;
    HWND hwndCombo;
    HWND hwndItem; // the edit field of a CBS_DROPDOWN combo, else the combo
    HWND hwndList;
} COMBOBOXINFO, *PCOMBOBOXINFO, *LPCOMBOBOXINFO;
static_assert(sizeof(COMBOBOXINFO) == 64 && offsetof(COMBOBOXINFO, hwndCombo) == 40);

BOOL GetComboBoxInfo(HWND combo, PCOMBOBOXINFO info);

namespace win32 {
// Registers "COMBOBOX" (RegisterDialogClasses does it with the other controls).
void RegisterComboBoxClass();
} // namespace win32
