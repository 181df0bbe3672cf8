// The dialog manager and the two basic control classes it fills templates with ("BUTTON" and "STATIC").
//
// A dialog comes from a template registered with RegisterDialogResource: its client area and its controls are
// placed in dialog units, where 4 horizontal units are the dialog font's average character width and 8
// vertical units its character height (GetDialogBaseUnits; the font is the stock DEFAULT_GUI_FONT).
// A top-level dialog's client area lies at the template's place in its owner's client area (on the screen with
// DS_ABSALIGN or without an owner); DS_CENTER centres the window in the work area, DS_CENTERMOUSE on the
// cursor; either way the window is then kept inside the work area, its caption on the screen.
// DialogBoxParam runs a modal dialog as a request of the modal service's "dialog" kind, named by its template
// ("104" for a numeric id): a test's steps run while the dialog is up; an outright answer presses the button of
// that id (or ends the dialog with it when there is none); a dialog nobody expected is cancelled the same way
// and reported.
#pragma once

#include <cstddef>

#include "WinUser.h"

#define DLGWINDOWEXTRA 30
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_LOCALEDIT 0x20L
#ifndef DS_SETFONT
#define DS_SETFONT 0x40L
#endif
#define DS_MODALFRAME 0x80L
#define DS_NOIDLEMSG 0x100L
#define DS_SETFOREGROUND 0x200L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_NOFAILCREATE 0x0010L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_CENTERMOUSE 0x1000L
#define DS_CONTEXTHELP 0x2000L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DM_REPOSITION (WM_USER + 2)
#define DC_HASDEFID 0x534B

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// Buttons.
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_3STATE 0x00000005L
#define BS_AUTO3STATE 0x00000006L
#define BS_GROUPBOX 0x00000007L
#define BS_USERBUTTON 0x00000008L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_PUSHBOX 0x0000000AL
#define BS_OWNERDRAW 0x0000000BL
#define BS_TYPEMASK 0x0000000FL
#define BS_LEFTTEXT 0x00000020L
#define BS_TEXT 0x00000000L
#define BS_LEFT 0x00000100L
#define BS_RIGHT 0x00000200L
#define BS_CENTER 0x00000300L
#define BS_TOP 0x00000400L
#define BS_BOTTOM 0x00000800L
#define BS_VCENTER 0x00000C00L
#define BS_PUSHLIKE 0x00001000L
#define BS_MULTILINE 0x00002000L
#define BS_NOTIFY 0x00004000L
#define BS_FLAT 0x00008000L

#define BN_CLICKED 0
#define BN_PAINT 1
#define BN_DISABLE 4
#define BN_DOUBLECLICKED 5
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5

#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008

// Statics.
#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_ICON 0x00000003L
#define SS_BLACKRECT 0x00000004L
#define SS_GRAYRECT 0x00000005L
#define SS_WHITERECT 0x00000006L
#define SS_BLACKFRAME 0x00000007L
#define SS_GRAYFRAME 0x00000008L
#define SS_WHITEFRAME 0x00000009L
#define SS_SIMPLE 0x0000000BL
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_ETCHEDHORZ 0x00000010L
#define SS_ETCHEDVERT 0x00000011L
#define SS_ETCHEDFRAME 0x00000012L
#define SS_TYPEMASK 0x0000001FL
#define SS_NOPREFIX 0x00000080L
#define SS_NOTIFY 0x00000100L
#define SS_CENTERIMAGE 0x00000200L
#define SS_SUNKEN 0x00001000L

#define STM_SETICON 0x0170
#define STM_GETICON 0x0171
#define STN_CLICKED 0
#define STN_DBLCLK 1

// Edits (the selection is what a failed data exchange sets on the control it returns to).
#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1

// Owner-drawn controls.
#define ODT_MENU 1
#define ODT_LISTBOX 2
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_GRAYED 0x0002
#define ODS_DISABLED 0x0004
#define ODS_CHECKED 0x0008
#define ODS_FOCUS 0x0010
#define ODS_DEFAULT 0x0020

typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *PDRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;
static_assert(sizeof(DRAWITEMSTRUCT) == 64);
static_assert(offsetof(DRAWITEMSTRUCT, hwndItem) == 24 && offsetof(DRAWITEMSTRUCT, rcItem) == 40);

#define WC_DIALOG "#32770"

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
inline HWND CreateDialogA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc) {
    return CreateDialogParamA(instance, templateName, parent, proc, 0);
}
// -1 when the template is missing or the dialog cannot be created; otherwise EndDialog's result.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
inline INT_PTR DialogBoxA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc) {
    return DialogBoxParamA(instance, templateName, parent, proc, 0);
}
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Keyboard navigation of a modeless dialog, for the message pump: TRUE when the message was handled.
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
LONG GetDialogBaseUnits();
BOOL MapDialogRect(HWND dialog, LPRECT rect);

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);

#define CreateDialogParam CreateDialogParamA
#define CreateDialog CreateDialogA
#define DialogBoxParam DialogBoxParamA
#define DialogBox DialogBoxA
#define DefDlgProc DefDlgProcA
#define IsDialogMessage IsDialogMessageA
#define SendDlgItemMessage SendDlgItemMessageA
#define SetDlgItemText SetDlgItemTextA
#define GetDlgItemText GetDlgItemTextA

namespace win32 {
// Registers "BUTTON", "STATIC", the other controls and the dialog class "#32770" (done by every dialog call,
// and by CreateWindowEx the first time it meets a class it does not know).
void RegisterDialogClasses();
// A control of a dialog that gets a navigation key it does not want (Tab, an arrow, Enter, Escape) hands it to
// the dialog's keyboard navigation, as IsDialogMessage would have: the modal run's own pump has no such step.
// True when the key was used.
bool ForwardDialogKey(HWND control, WPARAM vk);
} // namespace win32
