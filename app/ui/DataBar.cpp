#include "app/ui/DataBar.h"

#include "app/ui/PaneWindow.h"

IMPLEMENT_DYNAMIC(CDataBar, CWnd)

BOOL CDataBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}

void CDataBar::SetDataBuffer(const BYTE*, ULONG) {}

void CDataBar::SetTitle(LPCTSTR, BOOL) {}

void CDataBar::Clear(BOOL bRedraw) {
    SetDataBuffer(nullptr, 0);
    SetTitle("", bRedraw);
}

void CDataBar::GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) const {
    rpData = nullptr;
    rnLength = 0;
}
