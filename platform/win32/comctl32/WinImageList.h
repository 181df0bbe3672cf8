// Image lists of the common controls: images of one size kept with their masks, added from bitmaps (with a mask
// bitmap or a mask colour) or icons, and drawn transparently or over a background colour.
#pragma once

#include "WinIcons.h"

struct _IMAGELIST;
typedef _IMAGELIST* HIMAGELIST;

#define ILC_MASK 0x00000001
#define ILC_COLOR 0x00000000
#define ILC_COLORDDB 0x000000FE
#define ILC_COLOR4 0x00000004
#define ILC_COLOR8 0x00000008
#define ILC_COLOR16 0x00000010
#define ILC_COLOR24 0x00000018
#define ILC_COLOR32 0x00000020

#define ILD_NORMAL 0x00000000
#define ILD_TRANSPARENT 0x00000001
#define ILD_MASK 0x00000010
#define ILD_IMAGE 0x00000020
#define ILD_BLEND25 0x00000002
#define ILD_BLEND50 0x00000004
#define ILD_SELECTED ILD_BLEND50
#define ILD_FOCUS ILD_BLEND25
#define ILD_BLEND ILD_BLEND50

#define CLR_NONE 0xFFFFFFFFL
#define CLR_DEFAULT 0xFF000000L

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Adds as many images as the bitmap is wide (in image widths); `mask` is a monochrome bitmap whose 1 bits are
// transparent, or null. The index of the first image added, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// As ImageList_Add, with the pixels of colour `mask` transparent.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
// Replaces image `index`, or adds when index is -1.
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
inline int ImageList_AddIcon(HIMAGELIST list, HICON icon) {
    return ImageList_ReplaceIcon(list, -1, icon);
}
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
// Removes image `index`, or every image for -1.
BOOL ImageList_Remove(HIMAGELIST list, int index);
inline BOOL ImageList_RemoveAll(HIMAGELIST list) {
    return ImageList_Remove(list, -1);
}
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_SetImageCount(HIMAGELIST list, UINT count);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// `background` CLR_NONE draws transparently, CLR_DEFAULT uses the list's colour; `foreground` is the blend
// colour of ILD_BLEND (CLR_DEFAULT: the highlight colour).
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style);
// A new icon of the image (the caller destroys it).
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
// A bitmap resource split into images of `width`, with `mask` (CLR_NONE for none) transparent.
HIMAGELIST ImageList_LoadImageA(HINSTANCE instance, LPCSTR name, int width, int grow, COLORREF mask, UINT type,
                                UINT flags);
inline HIMAGELIST ImageList_LoadBitmap(HINSTANCE instance, LPCSTR name, int width, int grow, COLORREF mask) {
    return ImageList_LoadImageA(instance, name, width, grow, mask, IMAGE_BITMAP, 0);
}

namespace win32 {
// Image lists alive now.
size_t ImageListCount();
} // namespace win32
