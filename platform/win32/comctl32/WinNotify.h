// The notification record every common control sends its parent in WM_NOTIFY, the codes they share, and custom
// draw: the stages a control asks its parent about while it paints, and the answers that steer it.
// Codes are the platform's: negative numbers in a 32-bit UINT, one range per control.
#pragma once

#include <cstddef>

#include "WinUser.h"

// The header every notification starts with (x64 layout).
typedef struct tagNMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
} NMHDR, *LPNMHDR;
static_assert(sizeof(NMHDR) == 24);

#define NM_FIRST (0U - 0U)
#define NM_OUTOFMEMORY (NM_FIRST - 1)
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_RDBLCLK (NM_FIRST - 6)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)
#define NM_CUSTOMDRAW (NM_FIRST - 12)
#define NM_HOVER (NM_FIRST - 13)
#define NM_RELEASEDCAPTURE (NM_FIRST - 16)

// WM_NOTIFYFORMAT: a control asks its parent whether it wants the wide (W) or the 8-bit (A) codes.
#define NFR_ANSI 1
#define NFR_UNICODE 2
#define NF_QUERY 3
#define NF_REQUERY 4

// Custom draw: the stage asked about, and what the parent answers.
#define CDDS_PREPAINT 0x00000001
#define CDDS_POSTPAINT 0x00000002
#define CDDS_PREERASE 0x00000003
#define CDDS_POSTERASE 0x00000004
#define CDDS_ITEM 0x00010000
#define CDDS_ITEMPREPAINT (CDDS_ITEM | CDDS_PREPAINT)
#define CDDS_ITEMPOSTPAINT (CDDS_ITEM | CDDS_POSTPAINT)
#define CDDS_SUBITEM 0x00020000

#define CDRF_DODEFAULT 0x00000000
#define CDRF_NEWFONT 0x00000002
#define CDRF_SKIPDEFAULT 0x00000004
#define CDRF_NOTIFYPOSTPAINT 0x00000010
#define CDRF_NOTIFYITEMDRAW 0x00000020
#define CDRF_NOTIFYSUBITEMDRAW 0x00000020
#define CDRF_NOTIFYPOSTERASE 0x00000040

#define CDIS_SELECTED 0x0001
#define CDIS_GRAYED 0x0002
#define CDIS_DISABLED 0x0004
#define CDIS_CHECKED 0x0008
#define CDIS_FOCUS 0x0010
#define CDIS_DEFAULT 0x0020
#define CDIS_HOT 0x0040

typedef struct tagNMCUSTOMDRAWINFO {
    NMHDR hdr;
    DWORD dwDrawStage;
    HDC hdc;
    RECT rc;
    DWORD_PTR dwItemSpec;
    UINT uItemState;
    LPARAM lItemlParam;
} NMCUSTOMDRAW, *LPNMCUSTOMDRAW;
static_assert(sizeof(NMCUSTOMDRAW) == 80);
static_assert(offsetof(NMCUSTOMDRAW, hdc) == 32 && offsetof(NMCUSTOMDRAW, dwItemSpec) == 56 &&
              offsetof(NMCUSTOMDRAW, lItemlParam) == 72);

// Owner-drawn header items and list rows (WM_DRAWITEM's CtlType).
#ifndef ODT_HEADER
#define ODT_HEADER 100
#endif
#ifndef ODT_LISTVIEW
#define ODT_LISTVIEW 102
#endif
