#include "MemDC.h"

CMemDC::CMemDC(CDC* pDC, const RECT* lpRect, BOOL bPrinting) : m_pDC(pDC), m_bMemDC(!bPrinting) {
    if (lpRect)
        m_rect = *lpRect;
    else
        pDC->GetClipBox(&m_rect);
    if (m_bMemDC && CreateCompatibleDC(pDC) && m_bitmap.CreateCompatibleBitmap(pDC, m_rect.Width(), m_rect.Height())) {
        m_oldBitmap = SelectObject(&m_bitmap);
        SetViewportOrgEx(m_hDC, -m_rect.left, -m_rect.top, nullptr);
    } else {
        // No bitmap (a printer, or no memory): draw on the target itself.
        if (m_hDC)
            DeleteDC();
        m_bMemDC = FALSE;
        m_hDC = pDC->m_hDC;
        m_hAttribDC = pDC->m_hAttribDC;
    }
}

CMemDC::~CMemDC() {
    if (m_bMemDC) {
        SetViewportOrgEx(m_hDC, 0, 0, nullptr);
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, 0, 0, SRCCOPY);
        SelectObject(m_oldBitmap);
    } else {
        // The target's handle is not ours to delete.
        m_hDC = nullptr;
        m_hAttribDC = nullptr;
    }
}
