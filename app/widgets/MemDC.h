// CMemDC: a drawing context over an off-screen bitmap compatible with a target DC; what is drawn into it is
// copied onto the target (SRCCOPY, the whole rectangle) when it goes out of scope, so a window paints without
// flicker. A target that is a printing DC is drawn on directly.
#pragma once

#include "afxwin.h"

class CMemDC : public CDC {
public:
    // `lpRect` null: the target's clip box. `bPrinting`: the target is a printer's, so no bitmap is made.
    explicit CMemDC(CDC* pDC, const RECT* lpRect = nullptr, BOOL bPrinting = FALSE);
    ~CMemDC() override;
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    BOOL IsOffScreen() const { return m_bMemDC; }

private:
    CBitmap m_bitmap;
    CBitmap* m_oldBitmap = nullptr;
    CDC* m_pDC;
    CRect m_rect;
    BOOL m_bMemDC;
};
