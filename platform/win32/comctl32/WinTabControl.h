// The tab control common control ("SysTabControl32"): a row (or rows) of tabs over a display area; it paints
// itself, also into the DC given in WM_PAINT's wParam.
//
// Layout, from the font's metrics (the control's font, DEFAULT_GUI_FONT by default):
// - a row of tabs is as high as the taller of the font's character height and the images, plus 7 (the
//   vertical padding of 3 on each side and 1 of border), or the height TCM_SETITEMSIZE set;
// - a tab is as wide as its text plus the horizontal padding (6) on each side, plus the image width + 3 when
//   it has an image (TCS_FIXEDWIDTH: the width TCM_SETITEMSIZE set); tabs follow each other from x = 2;
// - TCS_MULTILINE starts a new row where the next tab would pass the right edge - 2; the row holding the
//   selected tab is the one next to the display area, the others keep their order behind it; a single line
//   cuts off what does not fit;
// - the rows lie above the display area, or below it with TCS_BOTTOM: from y = 2 downwards (upwards from the
//   bottom - 2 with TCS_BOTTOM); the panel's frame starts where the rows end, and the display area is the
//   frame less 2 on every side (TCM_ADJUSTRECT).
// TCM_GETITEMRECT and TCM_HITTEST report the tabs' rectangles as laid out (the selected tab is drawn 2 larger
// on each side, but reports the same rectangle). TCN_SELCHANGING (non-zero vetoes) and TCN_SELCHANGE follow
// the user's changes only; TCM_SETCURSEL notifies nothing. The item data is a full LPARAM.
#pragma once

#include <cstddef>

#include "WinCommonControls.h"
#include "WinImageList.h"

#define WC_TABCONTROLA "SysTabControl32"
#define WC_TABCONTROL WC_TABCONTROLA

#define TCS_SCROLLOPPOSITE 0x0001
#define TCS_BOTTOM 0x0002
#define TCS_RIGHT 0x0002
#define TCS_MULTISELECT 0x0004
#define TCS_FLATBUTTONS 0x0008
#define TCS_FORCEICONLEFT 0x0010
#define TCS_FORCELABELLEFT 0x0020
#define TCS_HOTTRACK 0x0040
#define TCS_VERTICAL 0x0080
#define TCS_TABS 0x0000
#define TCS_BUTTONS 0x0100
#define TCS_SINGLELINE 0x0000
#define TCS_MULTILINE 0x0200
#define TCS_RIGHTJUSTIFY 0x0000
#define TCS_FIXEDWIDTH 0x0400
#define TCS_RAGGEDRIGHT 0x0800
#define TCS_FOCUSONBUTTONDOWN 0x1000
#define TCS_OWNERDRAWFIXED 0x2000
#define TCS_TOOLTIPS 0x4000
#define TCS_FOCUSNEVER 0x8000

#define TCIF_TEXT 0x0001
#define TCIF_IMAGE 0x0002
#define TCIF_RTLREADING 0x0004
#define TCIF_PARAM 0x0008
#define TCIF_STATE 0x0010

#define TCIS_BUTTONPRESSED 0x0001
#define TCIS_HIGHLIGHTED 0x0002

#define TCHT_NOWHERE 0x0001
#define TCHT_ONITEMICON 0x0002
#define TCHT_ONITEMLABEL 0x0004
#define TCHT_ONITEM (TCHT_ONITEMICON | TCHT_ONITEMLABEL)

#define TCM_FIRST 0x1300
#define TCM_GETIMAGELIST (TCM_FIRST + 2)
#define TCM_SETIMAGELIST (TCM_FIRST + 3)
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_GETITEMA (TCM_FIRST + 5)
#define TCM_SETITEMA (TCM_FIRST + 6)
#define TCM_INSERTITEMA (TCM_FIRST + 7)
#define TCM_DELETEITEM (TCM_FIRST + 8)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9)
#define TCM_GETITEMRECT (TCM_FIRST + 10)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCM_HITTEST (TCM_FIRST + 13)
#define TCM_SETITEMEXTRA (TCM_FIRST + 14)
#define TCM_ADJUSTRECT (TCM_FIRST + 40)
#define TCM_SETITEMSIZE (TCM_FIRST + 41)
#define TCM_REMOVEIMAGE (TCM_FIRST + 42)
#define TCM_SETPADDING (TCM_FIRST + 43)
#define TCM_GETROWCOUNT (TCM_FIRST + 44)
#define TCM_GETTOOLTIPS (TCM_FIRST + 45)
#define TCM_SETTOOLTIPS (TCM_FIRST + 46)
#define TCM_GETCURFOCUS (TCM_FIRST + 47)
#define TCM_SETCURFOCUS (TCM_FIRST + 48)
#define TCM_SETMINTABWIDTH (TCM_FIRST + 49)
#define TCM_DESELECTALL (TCM_FIRST + 50)
#define TCM_HIGHLIGHTITEM (TCM_FIRST + 51)
#define TCM_SETEXTENDEDSTYLE (TCM_FIRST + 52)
#define TCM_GETEXTENDEDSTYLE (TCM_FIRST + 53)
#define TCM_GETITEM TCM_GETITEMA
#define TCM_SETITEM TCM_SETITEMA
#define TCM_INSERTITEM TCM_INSERTITEMA

#define TCN_FIRST (0U - 550U)
#define TCN_KEYDOWN (TCN_FIRST - 0)
#define TCN_SELCHANGE (TCN_FIRST - 1)
#define TCN_SELCHANGING (TCN_FIRST - 2)
#define TCN_FOCUSCHANGE (TCN_FIRST - 4)

typedef struct tagTCITEMA {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
} TCITEMA, *LPTCITEMA;
static_assert(sizeof(TCITEMA) == 40 && offsetof(TCITEMA, pszText) == 16 && offsetof(TCITEMA, lParam) == 32);

typedef struct tagTCHITTESTINFO {
    POINT pt;
    UINT flags;
} TCHITTESTINFO, *LPTCHITTESTINFO;
static_assert(sizeof(TCHITTESTINFO) == 12);

#pragma pack(push, 1)
typedef struct tagNMTCKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMTCKEYDOWN;
#pragma pack(pop)
static_assert(sizeof(NMTCKEYDOWN) == 30);

typedef TCITEMA TCITEM;
typedef LPTCITEMA LPTCITEM;
typedef TCITEMA TC_ITEM;
typedef TCHITTESTINFO TC_HITTESTINFO;

namespace win32 {
// Registers "SysTabControl32" (the dialog classes' registration does it too).
void RegisterTabControlClass();
} // namespace win32
