// The list view ("SysListView32") in its report form: rows of items whose columns are the items' sub-items,
// under a header child (id 0, made with the list) that holds the columns' headings, widths and display order.
//
// Geometry, from the list's font (WM_SETFONT; DEFAULT_GUI_FONT until one is set):
// - the header is the font's character height plus 8 pixels tall (none with LVS_NOCOLUMNHEADER);
// - a row is the font's character height plus 4 pixels tall, or the small (or state) image list's height plus 1
//   when that is more; row r (from the top row shown) starts r row heights below the header;
// - columns follow the header's order array from the left, moved left by the horizontal scroll position;
// - in the first column the state image (its list's width) comes first, then the small image (its list's
//   width), then the label; cell text is inset 6 pixels from the sides of its part.
// LVM_GETITEMRECT, LVM_GETSUBITEMRECT and LVM_HITTEST report exactly these rectangles, and painting uses them.
// As on the platform, sub-item 0's LVIR_BOUNDS is the whole row, and LVM_HITTEST finds an item only on the first
// column's parts unless LVS_EX_FULLROWSELECT makes the whole row the item (LVM_SUBITEMHITTEST finds any cell).
//
// Notifications go to the parent with the 8-bit codes (LVN_GETDISPINFOA). Changes of item state, the
// program's too, are asked about first (LVN_ITEMCHANGING, non-zero refuses the change) and reported after
// (LVN_ITEMCHANGED with the old and new state). With LVS_EX_CHECKBOXES a click on an item's state image turns
// its check over (state image 1 unchecked, 2 checked) without selecting it. An owner-data list (LVS_OWNERDATA) holds no
// items: it keeps a row count, the selection and the focus, and asks LVN_GETDISPINFOA for each cell it paints into a
// buffer of its own; its selection changes for all rows at once are one notification with item -1.
#pragma once

#include <cstddef>

#include "WinHeader.h"
#include "WinImageList.h"

#define WC_LISTVIEWA "SysListView32"
#define WC_LISTVIEW WC_LISTVIEWA

#define LVS_ICON 0x0000
#define LVS_REPORT 0x0001
#define LVS_SMALLICON 0x0002
#define LVS_LIST 0x0003
#define LVS_TYPEMASK 0x0003
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_SORTASCENDING 0x0010
#define LVS_SORTDESCENDING 0x0020
#define LVS_SHAREIMAGELISTS 0x0040
#define LVS_NOLABELWRAP 0x0080
#define LVS_AUTOARRANGE 0x0100
#define LVS_EDITLABELS 0x0200
#define LVS_OWNERDRAWFIXED 0x0400
#define LVS_OWNERDATA 0x1000
#define LVS_NOSCROLL 0x2000
#define LVS_NOCOLUMNHEADER 0x4000
#define LVS_NOSORTHEADER 0x8000

#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_SUBITEMIMAGES 0x00000002
#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_TRACKSELECT 0x00000008
#define LVS_EX_HEADERDRAGDROP 0x00000010
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVS_EX_ONECLICKACTIVATE 0x00000040
#define LVS_EX_INFOTIP 0x00000400
#define LVS_EX_LABELTIP 0x00004000
#define LVS_EX_DOUBLEBUFFER 0x00010000

#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define LVSIL_STATE 2

#define LVIF_TEXT 0x0001
#define LVIF_IMAGE 0x0002
#define LVIF_PARAM 0x0004
#define LVIF_STATE 0x0008
#define LVIF_INDENT 0x0010
#define LVIF_NORECOMPUTE 0x0800
#define LVIF_DI_SETITEM 0x1000

#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002
#define LVIS_CUT 0x0004
#define LVIS_DROPHILITED 0x0008
#define LVIS_OVERLAYMASK 0x0F00
#define LVIS_STATEIMAGEMASK 0xF000
#define INDEXTOSTATEIMAGEMASK(i) ((UINT)(i) << 12)

#define LPSTR_TEXTCALLBACKA ((LPSTR)(INT_PTR)-1)
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKA
#define I_IMAGECALLBACK (-1)
#define I_IMAGENONE (-2)

typedef struct tagLVITEMA {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
    int iGroupId;
    UINT cColumns;
    PUINT puColumns;
    int* piColFmt;
    int iGroup;
} LVITEMA, *LPLVITEMA;
static_assert(sizeof(LVITEMA) == 88);
static_assert(offsetof(LVITEMA, pszText) == 24 && offsetof(LVITEMA, cchTextMax) == 32 &&
              offsetof(LVITEMA, lParam) == 40 && offsetof(LVITEMA, puColumns) == 64 && offsetof(LVITEMA, iGroup) == 80);
typedef LVITEMA LVITEM;
typedef LPLVITEMA LPLVITEM;

#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008
#define LVCF_IMAGE 0x0010
#define LVCF_ORDER 0x0020

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVCFMT_JUSTIFYMASK 0x0003

typedef struct tagLVCOLUMNA {
    UINT mask;
    int fmt;
    int cx;
    LPSTR pszText;
    int cchTextMax;
    int iSubItem;
    int iImage;
    int iOrder;
    int cxMin;
    int cxDefault;
    int cxIdeal;
} LVCOLUMNA, *LPLVCOLUMNA;
static_assert(sizeof(LVCOLUMNA) == 56);
static_assert(offsetof(LVCOLUMNA, pszText) == 16 && offsetof(LVCOLUMNA, iSubItem) == 28 &&
              offsetof(LVCOLUMNA, iOrder) == 36);
typedef LVCOLUMNA LVCOLUMN;
typedef LPLVCOLUMNA LPLVCOLUMN;

#define LVSCW_AUTOSIZE (-1)
#define LVSCW_AUTOSIZE_USEHEADER (-2)

#define LVNI_ALL 0x0000
#define LVNI_FOCUSED 0x0001
#define LVNI_SELECTED 0x0002
#define LVNI_CUT 0x0004
#define LVNI_DROPHILITED 0x0008
#define LVNI_ABOVE 0x0100
#define LVNI_BELOW 0x0200

#define LVIR_BOUNDS 0
#define LVIR_ICON 1
#define LVIR_LABEL 2
#define LVIR_SELECTBOUNDS 3

typedef struct tagLVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
    int iGroup;
} LVHITTESTINFO, *LPLVHITTESTINFO;
static_assert(sizeof(LVHITTESTINFO) == 24);

#define LVHT_NOWHERE 0x0001
#define LVHT_ONITEMICON 0x0002
#define LVHT_ONITEMLABEL 0x0004
#define LVHT_ONITEMSTATEICON 0x0008
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#define LVHT_ABOVE 0x0008
#define LVHT_BELOW 0x0010
#define LVHT_TORIGHT 0x0020
#define LVHT_TOLEFT 0x0040

#define LVFI_PARAM 0x0001
#define LVFI_STRING 0x0002
#define LVFI_SUBSTRING 0x0004
#define LVFI_PARTIAL 0x0008
#define LVFI_WRAP 0x0020

typedef struct tagLVFINDINFOA {
    UINT flags;
    LPCSTR psz;
    LPARAM lParam;
    POINT pt;
    UINT vkDirection;
} LVFINDINFOA, *LPLVFINDINFOA;
static_assert(sizeof(LVFINDINFOA) == 40 && offsetof(LVFINDINFOA, psz) == 8 && offsetof(LVFINDINFOA, pt) == 24);
typedef LVFINDINFOA LVFINDINFO;

#define LVSICF_NOINVALIDATEALL 0x00000001
#define LVSICF_NOSCROLL 0x00000002

typedef int(CALLBACK* PFNLVCOMPARE)(LPARAM, LPARAM, LPARAM);

#define LVM_FIRST 0x1000
#define LVM_GETBKCOLOR (LVM_FIRST + 0)
#define LVM_SETBKCOLOR (LVM_FIRST + 1)
#define LVM_GETIMAGELIST (LVM_FIRST + 2)
#define LVM_SETIMAGELIST (LVM_FIRST + 3)
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_GETITEMA (LVM_FIRST + 5)
#define LVM_SETITEMA (LVM_FIRST + 6)
#define LVM_INSERTITEMA (LVM_FIRST + 7)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_FINDITEMA (LVM_FIRST + 13)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_GETSTRINGWIDTHA (LVM_FIRST + 17)
#define LVM_HITTEST (LVM_FIRST + 18)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_SCROLL (LVM_FIRST + 20)
#define LVM_REDRAWITEMS (LVM_FIRST + 21)
#define LVM_EDITLABELA (LVM_FIRST + 23)
#define LVM_GETEDITCONTROL (LVM_FIRST + 24)
#define LVM_GETCOLUMNA (LVM_FIRST + 25)
#define LVM_SETCOLUMNA (LVM_FIRST + 26)
#define LVM_INSERTCOLUMNA (LVM_FIRST + 27)
#define LVM_DELETECOLUMN (LVM_FIRST + 28)
#define LVM_GETCOLUMNWIDTH (LVM_FIRST + 29)
#define LVM_SETCOLUMNWIDTH (LVM_FIRST + 30)
#define LVM_GETHEADER (LVM_FIRST + 31)
#define LVM_GETVIEWRECT (LVM_FIRST + 34)
#define LVM_GETTEXTCOLOR (LVM_FIRST + 35)
#define LVM_SETTEXTCOLOR (LVM_FIRST + 36)
#define LVM_GETTEXTBKCOLOR (LVM_FIRST + 37)
#define LVM_SETTEXTBKCOLOR (LVM_FIRST + 38)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_GETCOUNTPERPAGE (LVM_FIRST + 40)
#define LVM_GETORIGIN (LVM_FIRST + 41)
#define LVM_UPDATE (LVM_FIRST + 42)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_GETITEMTEXTA (LVM_FIRST + 45)
#define LVM_SETITEMTEXTA (LVM_FIRST + 46)
#define LVM_SETITEMCOUNT (LVM_FIRST + 47)
#define LVM_SORTITEMS (LVM_FIRST + 48)
#define LVM_GETSELECTEDCOUNT (LVM_FIRST + 50)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSUBITEMRECT (LVM_FIRST + 56)
#define LVM_SUBITEMHITTEST (LVM_FIRST + 57)
#define LVM_SETCOLUMNORDERARRAY (LVM_FIRST + 58)
#define LVM_GETCOLUMNORDERARRAY (LVM_FIRST + 59)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)
#define LVM_SORTITEMSEX (LVM_FIRST + 81)
#define LVM_GETITEM LVM_GETITEMA
#define LVM_SETITEM LVM_SETITEMA
#define LVM_INSERTITEM LVM_INSERTITEMA
#define LVM_FINDITEM LVM_FINDITEMA
#define LVM_GETSTRINGWIDTH LVM_GETSTRINGWIDTHA
#define LVM_EDITLABEL LVM_EDITLABELA
#define LVM_GETCOLUMN LVM_GETCOLUMNA
#define LVM_SETCOLUMN LVM_SETCOLUMNA
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNA
#define LVM_GETITEMTEXT LVM_GETITEMTEXTA
#define LVM_SETITEMTEXT LVM_SETITEMTEXTA

#define LVN_FIRST (0U - 100U)
#define LVN_ITEMCHANGING (LVN_FIRST - 0)
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#define LVN_INSERTITEM (LVN_FIRST - 2)
#define LVN_DELETEITEM (LVN_FIRST - 3)
#define LVN_DELETEALLITEMS (LVN_FIRST - 4)
#define LVN_BEGINLABELEDITA (LVN_FIRST - 5)
#define LVN_ENDLABELEDITA (LVN_FIRST - 6)
#define LVN_COLUMNCLICK (LVN_FIRST - 8)
#define LVN_BEGINDRAG (LVN_FIRST - 9)
#define LVN_BEGINRDRAG (LVN_FIRST - 11)
#define LVN_ODCACHEHINT (LVN_FIRST - 13)
#define LVN_ITEMACTIVATE (LVN_FIRST - 14)
#define LVN_ODSTATECHANGED (LVN_FIRST - 15)
#define LVN_GETDISPINFOA (LVN_FIRST - 50)
#define LVN_SETDISPINFOA (LVN_FIRST - 51)
#define LVN_ODFINDITEMA (LVN_FIRST - 52)
#define LVN_KEYDOWN (LVN_FIRST - 55)
#define LVN_GETDISPINFO LVN_GETDISPINFOA
#define LVN_SETDISPINFO LVN_SETDISPINFOA
#define LVN_BEGINLABELEDIT LVN_BEGINLABELEDITA
#define LVN_ENDLABELEDIT LVN_ENDLABELEDITA

typedef struct tagNMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
} NMLISTVIEW, *LPNMLISTVIEW;
static_assert(sizeof(NMLISTVIEW) == 64 && offsetof(NMLISTVIEW, ptAction) == 44 && offsetof(NMLISTVIEW, lParam) == 56);

// NM_CLICK, NM_DBLCLK, NM_RCLICK and LVN_ITEMACTIVATE from a list view.
typedef struct tagNMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
} NMITEMACTIVATE, *LPNMITEMACTIVATE;
static_assert(sizeof(NMITEMACTIVATE) == 72 && offsetof(NMITEMACTIVATE, uKeyFlags) == 64);

// LVN_KEYDOWN: packed, as the platform declares it.
#pragma pack(push, 1)
typedef struct tagLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMLVKEYDOWN, *LPNMLVKEYDOWN;
#pragma pack(pop)
static_assert(sizeof(NMLVKEYDOWN) == 30 && offsetof(NMLVKEYDOWN, flags) == 26);

typedef struct tagLVDISPINFO {
    NMHDR hdr;
    LVITEMA item;
} NMLVDISPINFOA, *LPNMLVDISPINFOA;
static_assert(sizeof(NMLVDISPINFOA) == 112 && offsetof(NMLVDISPINFOA, item) == 24);
typedef NMLVDISPINFOA NMLVDISPINFO;
typedef NMLVDISPINFOA LV_DISPINFO;

typedef struct tagNMLVCACHEHINT {
    NMHDR hdr;
    int iFrom;
    int iTo;
} NMLVCACHEHINT, *LPNMLVCACHEHINT;
static_assert(sizeof(NMLVCACHEHINT) == 32);

typedef struct tagNMLVFINDITEMA {
    NMHDR hdr;
    int iStart;
    LVFINDINFOA lvfi;
} NMLVFINDITEMA, *LPNMLVFINDITEMA;
static_assert(sizeof(NMLVFINDITEMA) == 72 && offsetof(NMLVFINDITEMA, lvfi) == 32);

typedef struct tagNMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText;
    COLORREF clrTextBk;
    int iSubItem;
    DWORD dwItemType;
    COLORREF clrFace;
    int iIconEffect;
    int iIconPhase;
    int iPartId;
    int iStateId;
    RECT rcText;
    UINT uAlign;
} NMLVCUSTOMDRAW, *LPNMLVCUSTOMDRAW;
static_assert(sizeof(NMLVCUSTOMDRAW) == 136 && offsetof(NMLVCUSTOMDRAW, clrText) == 80 &&
              offsetof(NMLVCUSTOMDRAW, iSubItem) == 88 && offsetof(NMLVCUSTOMDRAW, rcText) == 116);

#ifndef CLR_NONE
#define CLR_NONE 0xFFFFFFFFL
#endif
