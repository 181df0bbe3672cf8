// CImageList: the framework object of an image list (HIMAGELIST): built from a bitmap resource cut into images
// of a given width with a mask colour, or empty; images added and drawn. It destroys its list.
#pragma once

#include "AfxGeometry.h"
#include "AfxObject.h"
#include "windows.h"

class CBitmap;
class CDC;

class CImageList : public CObject {
public:
    CImageList() = default;
    ~CImageList() override; // destroys a list still attached

    HIMAGELIST m_hImageList = nullptr;
    operator HIMAGELIST() const { return m_hImageList; }
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }

    // From bitmap resource nBitmapID: images cx wide, crMask the colour that is transparent.
    BOOL Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask);
    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    BOOL Attach(HIMAGELIST hImageList);
    HIMAGELIST Detach();
    BOOL DeleteImageList();

    // The index of the first image added, -1 on failure.
    int Add(CBitmap* pbmImage, COLORREF crMask);
    int Add(CBitmap* pbmImage, CBitmap* pbmMask);
    int Add(HICON hIcon);
    int GetImageCount() const;
    BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle);
    COLORREF SetBkColor(COLORREF cr);
};
