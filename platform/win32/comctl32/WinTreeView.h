// The tree view common control ("SysTreeView32"): items in a hierarchy with texts, images, a state image (state
// bits 0xF000) and item data, drawn with lines and expand buttons; it paints itself, also into the DC given in
// WM_PAINT's wParam.
//
// Layout, from the font's metrics (the tree's font, DEFAULT_GUI_FONT by default):
// - every row is as high as the taller of the font's character height and the two image lists' images, plus 2
//   (TVM_SETITEMHEIGHT overrides it); row n of the visible items starts at (n - first visible) x that height;
// - an item of depth d (0 at the root) starts at x = (d + 1) x indent with TVS_LINESATROOT and at d x indent
//   without; the indent column left of x holds the item's line and button; the indent is 19 pixels, or the
//   image width + 3 when that is more;
// - from x: the state image (when a state list is set and the item's state index is not 0), the image (when a
//   normal list is set), then the label: 1 pixel off, as wide as the text plus 4.
// TVM_GETITEMRECT and TVM_HITTEST report that layout, so a click at a reported rectangle hits that item.
//
// Item handles are never reused: a deleted item's handle stays unknown for good, and calls with it fail.
// Deleting the caret item (or a subtree holding it) moves the caret to the next sibling of the topmost deleted
// item, else its previous sibling, else its parent (none when there is none), and sends TVN_SELCHANGED with
// TVC_UNKNOWN before the TVN_DELETEITEM notifications (children before their parent).
// A user's expand or collapse (button click, double click, keys) asks TVN_ITEMEXPANDING first (non-zero
// vetoes) and reports TVN_ITEMEXPANDED; TVM_EXPAND from the program notifies nothing. Selection changes send
// TVN_SELCHANGING (non-zero vetoes) and TVN_SELCHANGED with TVC_BYMOUSE, TVC_BYKEYBOARD or TVC_UNKNOWN (the
// program's). With WM_SETREDRAW FALSE the scroll bar waits until redraw is on again. The tree never sends
// TVN_SETDISPINFO. With TVS_INFOTIP it keeps a tooltip whose text it asks its parent for with TVN_GETINFOTIP;
// the tip goes when the tree scrolls.
#pragma once

#include <cstddef>

#include "WinCommonControls.h"
#include "WinImageList.h"

#define WC_TREEVIEWA "SysTreeView32"
#define WC_TREEVIEW WC_TREEVIEWA

struct _TREEITEM;
typedef _TREEITEM* HTREEITEM;

#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020
#define TVS_RTLREADING 0x0040
#define TVS_NOTOOLTIPS 0x0080
#define TVS_CHECKBOXES 0x0100
#define TVS_TRACKSELECT 0x0200
#define TVS_SINGLEEXPAND 0x0400
#define TVS_INFOTIP 0x0800
#define TVS_FULLROWSELECT 0x1000
#define TVS_NOSCROLL 0x2000
#define TVS_NONEVENHEIGHT 0x4000
#define TVS_NOHSCROLL 0x8000

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040
#define TVIF_INTEGRAL 0x0080
#define TVIF_DI_SETITEM 0x1000

#define TVIS_SELECTED 0x0002
#define TVIS_CUT 0x0004
#define TVIS_DROPHILITED 0x0008
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020
#define TVIS_EXPANDEDONCE 0x0040
#define TVIS_EXPANDPARTIAL 0x0080
#define TVIS_OVERLAYMASK 0x0F00
#define TVIS_STATEIMAGEMASK 0xF000
#define TVIS_USERMASK 0xF000
#define INDEXTOSTATEIMAGEMASK(i) ((UINT)(i) << 12)

#define I_CHILDRENCALLBACK (-1)
#define I_IMAGECALLBACK (-1)
#define I_IMAGENONE (-2)
#ifndef LPSTR_TEXTCALLBACKA
#define LPSTR_TEXTCALLBACKA ((LPSTR)(INT_PTR)-1)
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKA
#endif

#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_FIRST ((HTREEITEM)(ULONG_PTR)-0x0FFFF)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)

#define TVSIL_NORMAL 0
#define TVSIL_STATE 2

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009
#define TVGN_LASTVISIBLE 0x000A

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003
#define TVE_EXPANDPARTIAL 0x4000
#define TVE_COLLAPSERESET 0x8000

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

#define TV_FIRST 0x1100
#define TVM_INSERTITEMA (TV_FIRST + 0)
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_EXPAND (TV_FIRST + 2)
#define TVM_GETITEMRECT (TV_FIRST + 4)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_SETINDENT (TV_FIRST + 7)
#define TVM_GETIMAGELIST (TV_FIRST + 8)
#define TVM_SETIMAGELIST (TV_FIRST + 9)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETITEMA (TV_FIRST + 12)
#define TVM_SETITEMA (TV_FIRST + 13)
#define TVM_EDITLABELA (TV_FIRST + 14)
#define TVM_GETEDITCONTROL (TV_FIRST + 15)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)
#define TVM_SORTCHILDREN (TV_FIRST + 19)
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)
#define TVM_SORTCHILDRENCB (TV_FIRST + 21)
#define TVM_ENDEDITLABELNOW (TV_FIRST + 22)
#define TVM_SETTOOLTIPS (TV_FIRST + 24)
#define TVM_GETTOOLTIPS (TV_FIRST + 25)
#define TVM_SETITEMHEIGHT (TV_FIRST + 27)
#define TVM_GETITEMHEIGHT (TV_FIRST + 28)
#define TVM_SETBKCOLOR (TV_FIRST + 29)
#define TVM_SETTEXTCOLOR (TV_FIRST + 30)
#define TVM_GETBKCOLOR (TV_FIRST + 31)
#define TVM_GETTEXTCOLOR (TV_FIRST + 32)
#define TVM_GETITEMSTATE (TV_FIRST + 39)
#define TVM_SETLINECOLOR (TV_FIRST + 40)
#define TVM_GETLINECOLOR (TV_FIRST + 41)
#define TVM_INSERTITEM TVM_INSERTITEMA
#define TVM_GETITEM TVM_GETITEMA
#define TVM_SETITEM TVM_SETITEMA
#define TVM_EDITLABEL TVM_EDITLABELA

// Notifications (the 8-bit forms).
#define TVN_FIRST (0U - 400U)
#define TVN_SELCHANGINGA (TVN_FIRST - 1)
#define TVN_SELCHANGEDA (TVN_FIRST - 2)
#define TVN_GETDISPINFOA (TVN_FIRST - 3)
#define TVN_SETDISPINFOA (TVN_FIRST - 4)
#define TVN_ITEMEXPANDINGA (TVN_FIRST - 5)
#define TVN_ITEMEXPANDEDA (TVN_FIRST - 6)
#define TVN_BEGINDRAGA (TVN_FIRST - 7)
#define TVN_BEGINRDRAGA (TVN_FIRST - 8)
#define TVN_DELETEITEMA (TVN_FIRST - 9)
#define TVN_BEGINLABELEDITA (TVN_FIRST - 10)
#define TVN_ENDLABELEDITA (TVN_FIRST - 11)
#define TVN_KEYDOWN (TVN_FIRST - 12)
#define TVN_GETINFOTIPA (TVN_FIRST - 13)
#define TVN_SELCHANGING TVN_SELCHANGINGA
#define TVN_SELCHANGED TVN_SELCHANGEDA
#define TVN_GETDISPINFO TVN_GETDISPINFOA
#define TVN_SETDISPINFO TVN_SETDISPINFOA
#define TVN_ITEMEXPANDING TVN_ITEMEXPANDINGA
#define TVN_ITEMEXPANDED TVN_ITEMEXPANDEDA
#define TVN_DELETEITEM TVN_DELETEITEMA
#define TVN_GETINFOTIP TVN_GETINFOTIPA

// The size of the buffer TVN_GETINFOTIP offers.
#define INFOTIPSIZE 1024

typedef struct tagTVITEMA {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
} TVITEMA, *LPTVITEMA;
static_assert(sizeof(TVITEMA) == 56 && offsetof(TVITEMA, pszText) == 24 && offsetof(TVITEMA, lParam) == 48);

typedef struct tagTVITEMEXA {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
    int iIntegral;
    UINT uStateEx;
    HWND hwnd;
    int iExpandedImage;
    int iReserved;
} TVITEMEXA, *LPTVITEMEXA;
static_assert(sizeof(TVITEMEXA) == 80 && offsetof(TVITEMEXA, iIntegral) == 56 && offsetof(TVITEMEXA, hwnd) == 64);

typedef struct tagTVINSERTSTRUCTA {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    union {
        TVITEMEXA itemex;
        TVITEMA item;
    };
} TVINSERTSTRUCTA, *LPTVINSERTSTRUCTA;
static_assert(sizeof(TVINSERTSTRUCTA) == 96 && offsetof(TVINSERTSTRUCTA, item) == 16);

typedef struct tagTVHITTESTINFO {
    POINT pt;
    UINT flags;
    HTREEITEM hItem;
} TVHITTESTINFO, *LPTVHITTESTINFO;
static_assert(sizeof(TVHITTESTINFO) == 24 && offsetof(TVHITTESTINFO, hItem) == 16);

typedef int(CALLBACK* PFNTVCOMPARE)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
typedef struct tagTVSORTCB {
    HTREEITEM hParent;
    PFNTVCOMPARE lpfnCompare;
    LPARAM lParam;
} TVSORTCB, *LPTVSORTCB;
static_assert(sizeof(TVSORTCB) == 24);

typedef struct tagNMTREEVIEWA {
    NMHDR hdr;
    UINT action;
    TVITEMA itemOld;
    TVITEMA itemNew;
    POINT ptDrag;
} NMTREEVIEWA, *LPNMTREEVIEWA;
static_assert(sizeof(NMTREEVIEWA) == 152 && offsetof(NMTREEVIEWA, itemOld) == 32 &&
              offsetof(NMTREEVIEWA, itemNew) == 88 && offsetof(NMTREEVIEWA, ptDrag) == 144);

typedef struct tagTVDISPINFOA {
    NMHDR hdr;
    TVITEMA item;
} NMTVDISPINFOA, *LPNMTVDISPINFOA;
static_assert(sizeof(NMTVDISPINFOA) == 80);

#pragma pack(push, 1)
typedef struct tagTVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMTVKEYDOWN, *LPNMTVKEYDOWN;
#pragma pack(pop)
static_assert(sizeof(NMTVKEYDOWN) == 30 && offsetof(NMTVKEYDOWN, flags) == 26);

typedef struct tagNMTVGETINFOTIPA {
    NMHDR hdr;
    LPSTR pszText;
    int cchTextMax;
    HTREEITEM hItem;
    LPARAM lParam;
} NMTVGETINFOTIPA, *LPNMTVGETINFOTIPA;
static_assert(sizeof(NMTVGETINFOTIPA) == 56 && offsetof(NMTVGETINFOTIPA, hItem) == 40);

typedef TVITEMA TVITEM;
typedef LPTVITEMA LPTVITEM;
typedef TVITEMEXA TVITEMEX;
typedef TVINSERTSTRUCTA TVINSERTSTRUCT;
typedef LPTVINSERTSTRUCTA LPTVINSERTSTRUCT;
typedef NMTREEVIEWA NMTREEVIEW;
typedef LPNMTREEVIEWA LPNMTREEVIEW;
typedef NMTVDISPINFOA NMTVDISPINFO;
typedef NMTVDISPINFOA TV_DISPINFO;
typedef NMTVGETINFOTIPA NMTVGETINFOTIP;
typedef LPNMTVGETINFOTIPA LPNMTVGETINFOTIP;
typedef TVITEMA TV_ITEM;
typedef TVINSERTSTRUCTA TV_INSERTSTRUCT;
typedef TVHITTESTINFO TV_HITTESTINFO;
typedef NMTREEVIEWA NM_TREEVIEW;

namespace win32 {
// Registers "SysTreeView32" (the dialog classes' registration does it too).
void RegisterTreeViewClass();
} // namespace win32
