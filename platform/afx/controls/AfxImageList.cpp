#include "AfxImageList.h"

#include "AfxDC.h"
#include "AfxGdiObject.h"
#include "AfxWinApp.h"

CImageList::~CImageList() {
    DeleteImageList();
}

BOOL CImageList::Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask) {
    return Attach(::ImageList_LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nBitmapID), cx, nGrow, crMask,
                                         IMAGE_BITMAP, LR_CREATEDIBSECTION));
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
    return Attach(::ImageList_Create(cx, cy, nFlags, nInitial, nGrow));
}

BOOL CImageList::Attach(HIMAGELIST hImageList) {
    if (hImageList == nullptr || m_hImageList != nullptr)
        return FALSE;
    m_hImageList = hImageList;
    return TRUE;
}

HIMAGELIST CImageList::Detach() {
    HIMAGELIST hImageList = m_hImageList;
    m_hImageList = nullptr;
    return hImageList;
}

BOOL CImageList::DeleteImageList() {
    if (m_hImageList == nullptr)
        return FALSE;
    return ::ImageList_Destroy(Detach());
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
    return ::ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(*pbmImage), crMask);
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask) {
    return ::ImageList_Add(m_hImageList, static_cast<HBITMAP>(*pbmImage),
                           pbmMask != nullptr ? static_cast<HBITMAP>(*pbmMask) : nullptr);
}

int CImageList::Add(HICON hIcon) {
    return ::ImageList_AddIcon(m_hImageList, hIcon);
}

int CImageList::GetImageCount() const {
    return ::ImageList_GetImageCount(m_hImageList);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
    return ::ImageList_Draw(m_hImageList, nImage, pDC->m_hDC, pt.x, pt.y, nStyle);
}

COLORREF CImageList::SetBkColor(COLORREF cr) {
    return ::ImageList_SetBkColor(m_hImageList, cr);
}
