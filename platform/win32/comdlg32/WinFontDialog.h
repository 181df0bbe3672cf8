// The font chooser (ChooseFontA): a modal request of the kind "font" (WinUiControl.h), captioned "Font", its
// text the initial face name. IDOK chooses, IDCANCEL cancels; the font chosen is given by the request's steps or
// a queued choice (WinFontDialogControl.h); IDOK without one keeps the initial font. The owner is disabled while
// it is up. A size outside CF_LIMITSIZE's range is refused with a message box and nothing is chosen.
#pragma once

#include <cstddef>

#include "WinGdi.h"
#include "WinUserTypes.h"
#include "windef.h"

#define CF_SCREENFONTS 0x00000001
#define CF_PRINTERFONTS 0x00000002
#define CF_BOTH (CF_SCREENFONTS | CF_PRINTERFONTS)
#define CF_SHOWHELP 0x00000004
#define CF_ENABLEHOOK 0x00000008
#define CF_INITTOLOGFONTSTRUCT 0x00000040
#define CF_USESTYLE 0x00000080
#define CF_EFFECTS 0x00000100
#define CF_APPLY 0x00000200
#define CF_ANSIONLY 0x00000400
#define CF_SCRIPTSONLY CF_ANSIONLY
#define CF_NOVECTORFONTS 0x00000800
#define CF_NOSIMULATIONS 0x00001000
#define CF_LIMITSIZE 0x00002000
#define CF_FIXEDPITCHONLY 0x00004000
#define CF_FORCEFONTEXIST 0x00010000
#define CF_SCALABLEONLY 0x00020000
#define CF_TTONLY 0x00040000
#define CF_NOFACESEL 0x00080000
#define CF_NOSTYLESEL 0x00100000
#define CF_NOSIZESEL 0x00200000

#define BOLD_FONTTYPE 0x0100
#define ITALIC_FONTTYPE 0x0200
#define REGULAR_FONTTYPE 0x0400
#define SCREEN_FONTTYPE 0x2000
#define PRINTER_FONTTYPE 0x4000

typedef UINT_PTR(CALLBACK* LPCFHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagCHOOSEFONTA {
    DWORD lStructSize;
    HWND hwndOwner;
    HDC hDC;
    LPLOGFONTA lpLogFont; // in: the initial font (with CF_INITTOLOGFONTSTRUCT); out: the chosen one
    INT iPointSize;       // out: the chosen size in tenths of a point
    DWORD Flags;
    COLORREF rgbColors; // with CF_EFFECTS: in the initial colour, out the chosen one
    LPARAM lCustData;
    LPCFHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
    HINSTANCE hInstance;
    LPSTR lpszStyle;
    WORD nFontType; // out: SCREEN_FONTTYPE with BOLD_, ITALIC_ or REGULAR_FONTTYPE
    WORD alignment;
    INT nSizeMin; // points, with CF_LIMITSIZE
    INT nSizeMax;
} CHOOSEFONTA, *LPCHOOSEFONTA;
static_assert(sizeof(CHOOSEFONTA) == 104);
static_assert(offsetof(CHOOSEFONTA, lpLogFont) == 24 && offsetof(CHOOSEFONTA, iPointSize) == 32);
static_assert(offsetof(CHOOSEFONTA, rgbColors) == 40 && offsetof(CHOOSEFONTA, nFontType) == 88);
static_assert(offsetof(CHOOSEFONTA, nSizeMin) == 92 && offsetof(CHOOSEFONTA, nSizeMax) == 96);
typedef CHOOSEFONTA CHOOSEFONT;
typedef LPCHOOSEFONTA LPCHOOSEFONT;

// TRUE with the chosen font in *lpLogFont; FALSE when the user cancelled (CommDlgExtendedError 0) or the
// request was bad (CDERR_STRUCTSIZE, CDERR_INITIALIZATION for a missing LOGFONT).
BOOL ChooseFontA(LPCHOOSEFONTA cf);
inline BOOL ChooseFont(LPCHOOSEFONTA cf) {
    return ChooseFontA(cf);
}
