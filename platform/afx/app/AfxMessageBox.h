// AfxMessageBox: a message box owned by the program's main window, with the application's name as its caption.
#pragma once

#include "AfxDefs.h"
#include "windows.h"

#ifndef OFN_READONLY
#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#endif

// The box's answer (IDOK, IDYES, ...). Without an icon in nType, MB_ICONEXCLAMATION is used for MB_OK and
// MB_OKCANCEL boxes and MB_ICONQUESTION for the Yes/No kinds, as the framework always did.
int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The text is the string nIDPrompt of the program's table (or the framework's own string of that id).
int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
