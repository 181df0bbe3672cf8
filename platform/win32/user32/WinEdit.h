// The edit control ("EDIT"): one line or many, with a limit, a selection and a caret, read-only, centred or
// right-aligned, upper or lower case, digits only or hidden behind a password character. Typed characters
// arrive as WM_CHAR, so a subclass can filter them; Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+A copy, cut, paste and
// select all through the clipboard.
//
// Layout: the text starts 2 pixels in from the left and 1 from the top of the client area; line i (counted from
// the first visible line) spans [1 + i * h, 1 + (i + 1) * h) where h is the font's tmHeight; a character's
// position is the extent of the line's text before it. EM_POSFROMCHAR and EM_CHARFROMPOS report it. Lines of a
// multi-line edit end at "\r\n" (Enter types that pair); they are not wrapped.
#pragma once

#include "WinDialogs.h"

#define WC_EDITA "EDIT"
#define WC_EDIT WC_EDITA

#define ES_LEFT 0x0000L
#define ES_CENTER 0x0001L
#define ES_RIGHT 0x0002L
#define ES_MULTILINE 0x0004L
#define ES_UPPERCASE 0x0008L
#define ES_LOWERCASE 0x0010L
#define ES_PASSWORD 0x0020L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_NOHIDESEL 0x0100L
#define ES_OEMCONVERT 0x0400L
#define ES_READONLY 0x0800L
#define ES_WANTRETURN 0x1000L
#define ES_NUMBER 0x2000L

#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_ERRSPACE 0x0500
#define EN_MAXTEXT 0x0501
#define EN_HSCROLL 0x0601
#define EN_VSCROLL 0x0602

// EM_GETSEL and EM_SETSEL are in WinDialogs.h.
#define EM_GETRECT 0x00B2
#define EM_SCROLLCARET 0x00B7
#define EM_GETMODIFY 0x00B8
#define EM_SETMODIFY 0x00B9
#define EM_GETLINECOUNT 0x00BA
#define EM_LINEINDEX 0x00BB
#define EM_LINELENGTH 0x00C1
#define EM_REPLACESEL 0x00C2
#define EM_GETLINE 0x00C4
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6
#define EM_UNDO 0x00C7
#define EM_LINEFROMCHAR 0x00C9
#define EM_SETPASSWORDCHAR 0x00CC
#define EM_EMPTYUNDOBUFFER 0x00CD
#define EM_GETFIRSTVISIBLELINE 0x00CE
#define EM_SETREADONLY 0x00CF
#define EM_GETPASSWORDCHAR 0x00D2
#define EM_GETLIMITTEXT 0x00D5
#define EM_POSFROMCHAR 0x00D6
#define EM_CHARFROMPOS 0x00D7

namespace win32 {
// Registers "EDIT" (RegisterDialogClasses does it with the other controls).
void RegisterEditClass();
} // namespace win32
