// The common dialogs. A file dialog is a modal request (WinUiControl.h) of the kind "file": it is answered on
// the thread that asks; the name a user picks is given by the request's answer (WinFileDialogControl.h). Print
// setup is a modal request of the kind "print setup".
#pragma once

#include <cstddef>

#include "WinUserTypes.h"
#include "windef.h"

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_NOVALIDATE 0x00000100
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000
#define OFN_ENABLESIZING 0x00800000

#define FNERR_FILENAMECODES 0x3000
#define FNERR_SUBCLASSFAILURE 0x3001
#define FNERR_INVALIDFILENAME 0x3002
#define FNERR_BUFFERTOOSMALL 0x3003
#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002

typedef UINT_PTR(CALLBACK* LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter; // pairs of description and pattern, each ended by NUL, the list by a second NUL
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile; // in: the initial name; out: the full path chosen
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt; // appended (after a point) to a name chosen without an extension
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
} OPENFILENAMEA, *LPOPENFILENAMEA;
static_assert(sizeof(OPENFILENAMEA) == 152);
static_assert(offsetof(OPENFILENAMEA, lpstrFile) == 48);
static_assert(offsetof(OPENFILENAMEA, Flags) == 96);
static_assert(offsetof(OPENFILENAMEA, nFileExtension) == 102);
static_assert(offsetof(OPENFILENAMEA, lpstrDefExt) == 104);
static_assert(offsetof(OPENFILENAMEA, FlagsEx) == 148);
typedef OPENFILENAMEA OPENFILENAME;
typedef LPOPENFILENAMEA LPOPENFILENAME;

// TRUE with the chosen path in lpstrFile; FALSE when the user cancelled or the request could not be met
// (CommDlgExtendedError tells which; 0 for a cancel). With OFN_OVERWRITEPROMPT, choosing a file that exists
// asks the user to confirm in a message box owned by hwndOwner; "No" cancels.
BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn);
inline BOOL GetSaveFileName(LPOPENFILENAMEA ofn) {
    return GetSaveFileNameA(ofn);
}
// The same request for a file to open. With OFN_FILEMUSTEXIST, choosing a file that does not exist shows a
// message box owned by hwndOwner and chooses nothing.
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
inline BOOL GetOpenFileName(LPOPENFILENAMEA ofn) {
    return GetOpenFileNameA(ofn);
}
// The error of the calling thread's last common dialog; 0 after success or a cancel.
DWORD CommDlgExtendedError();

// ---- print setup

#define PD_PRINTSETUP 0x00000040

typedef UINT_PTR(CALLBACK* LPPRINTHOOKPROC)(HWND, UINT, WPARAM, LPARAM);
typedef UINT_PTR(CALLBACK* LPSETUPHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagPDA {
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;
    HGLOBAL hDevNames;
    HDC hDC;
    DWORD Flags;
    WORD nFromPage;
    WORD nToPage;
    WORD nMinPage;
    WORD nMaxPage;
    WORD nCopies;
    HINSTANCE hInstance;
    LPARAM lCustData;
    LPPRINTHOOKPROC lpfnPrintHook;
    LPSETUPHOOKPROC lpfnSetupHook;
    LPCSTR lpPrintTemplateName;
    LPCSTR lpSetupTemplateName;
    HGLOBAL hPrintTemplate;
    HGLOBAL hSetupTemplate;
} PRINTDLGA, *LPPRINTDLGA;
static_assert(sizeof(PRINTDLGA) == 120);
static_assert(offsetof(PRINTDLGA, hDC) == 32);
static_assert(offsetof(PRINTDLGA, Flags) == 40);
static_assert(offsetof(PRINTDLGA, nCopies) == 52);
static_assert(offsetof(PRINTDLGA, hInstance) == 56);
static_assert(offsetof(PRINTDLGA, hSetupTemplate) == 112);
typedef PRINTDLGA PRINTDLG;
typedef LPPRINTDLGA LPPRINTDLG;

// Only the print-setup form (PD_PRINTSETUP) is offered: a modal request of the kind "print setup" (captioned
// "Print Setup"), TRUE when the user confirmed (IDOK), FALSE with error 0 when they cancelled. The printer
// settings (hDevMode, hDevNames) are left as they came. Any other form fails with CDERR_INITIALIZATION.
BOOL PrintDlgA(LPPRINTDLGA ppd);
inline BOOL PrintDlg(LPPRINTDLGA ppd) {
    return PrintDlgA(ppd);
}

#include "WinFontDialog.h"
