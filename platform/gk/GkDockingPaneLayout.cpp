#include "GkDockingPaneLayout.h"

#include "GkDockingPaneTree.h"
#include "GkProfileValue.h"

CGkDockingPaneLayout::CGkDockingPaneLayout(CGkDockingPaneManager* pManager) : m_pManager(pManager) {}

BOOL CGkDockingPaneLayout::Load(LPCTSTR lpszSection) {
    CWinApp* pApp = AfxGetApp();
    LPBYTE pData = nullptr;
    UINT nBytes = 0;
    if (pApp == nullptr || !pApp->GetProfileBinary(lpszSection, GK_PROFILE_ENTRY, &pData, &nBytes))
        return FALSE;
    std::vector<BYTE> bytes(pData, pData + nBytes);
    delete[] pData;
    return SetBytes(std::move(bytes));
}

BOOL CGkDockingPaneLayout::Save(LPCTSTR lpszSection) const {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr || m_bytes.empty())
        return FALSE;
    std::vector<BYTE> copy = m_bytes;
    return pApp->WriteProfileBinary(lpszSection, GK_PROFILE_ENTRY, copy.data(), static_cast<UINT>(copy.size()));
}

BOOL CGkDockingPaneLayout::SetBytes(std::vector<BYTE> bytes) {
    std::vector<GkLayoutBand> bands;
    if (!GkParseLayout(bytes, bands))
        return FALSE;
    m_bytes = std::move(bytes);
    return TRUE;
}
