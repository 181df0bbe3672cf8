#include "AfxRecentFileList.h"

#include "AfxCmdUI.h"
#include "AfxMenu.h"
#include "AfxPath.h"
#include "AfxWinApp.h"

namespace {

CString EntryName(const CString& format, int nIndex) {
    CString entry;
    entry.Format(format, nIndex + 1);
    return entry;
}

} // namespace

CRecentFileList::CRecentFileList(UINT nStart, LPCTSTR lpszSection, LPCTSTR lpszEntryFormat, int nSize, int nMaxDispLen)
    : m_nSize(nSize > 0 ? nSize : 1), m_arrNames(new CString[m_nSize > 0 ? m_nSize : 1]), m_strSectionName(lpszSection),
      m_strEntryFormat(lpszEntryFormat), m_nStart(nStart), m_nMaxDisplayLength(nMaxDispLen) {}

CRecentFileList::~CRecentFileList() {
    delete[] m_arrNames;
}

void CRecentFileList::Add(LPCTSTR lpszPathName) {
    if (lpszPathName == nullptr || *lpszPathName == '\0')
        return;
    CString path = AfxFullPath(lpszPathName);
    // Where the path is already listed, it moves up; otherwise the oldest entry makes room.
    int nFound = m_nSize - 1;
    for (int i = 0; i < m_nSize - 1; ++i) {
        if (AfxComparePath(m_arrNames[i], path)) {
            nFound = i;
            break;
        }
    }
    for (int i = nFound; i > 0; --i)
        m_arrNames[i] = m_arrNames[i - 1];
    m_arrNames[0] = path;
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nSize)
        return;
    for (int i = nIndex; i < m_nSize - 1; ++i)
        m_arrNames[i] = m_arrNames[i + 1];
    m_arrNames[m_nSize - 1].Empty();
}

void CRecentFileList::ReadList() {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return;
    for (int i = 0; i < m_nSize; ++i)
        m_arrNames[i] = pApp->GetProfileString(m_strSectionName, EntryName(m_strEntryFormat, i));
}

void CRecentFileList::WriteList() {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return;
    for (int i = 0; i < m_nSize; ++i) {
        CString entry = EntryName(m_strEntryFormat, i);
        pApp->WriteProfileString(m_strSectionName, entry, m_arrNames[i].IsEmpty() ? nullptr : (LPCTSTR)m_arrNames[i]);
    }
}

BOOL CRecentFileList::GetDisplayName(CString& strName, int nIndex, LPCTSTR, int, BOOL bAtLeastName) const {
    if (nIndex < 0 || nIndex >= m_nSize || m_arrNames[nIndex].IsEmpty())
        return FALSE;
    const CString& path = m_arrNames[nIndex];
    if (m_nMaxDisplayLength <= 0 || path.GetLength() <= m_nMaxDisplayLength) {
        strName = path;
        return TRUE;
    }
    CString name = AfxFileNameOf(path);
    strName = bAtLeastName || name.GetLength() <= m_nMaxDisplayLength ? name : name.Left(m_nMaxDisplayLength);
    return TRUE;
}

void CRecentFileList::UpdateMenu(CCmdUI* pCmdUI) {
    CMenu* pMenu = pCmdUI->m_pMenu;
    if (m_strOriginal.IsEmpty() && pMenu != nullptr)
        pMenu->GetMenuString(pCmdUI->m_nID, m_strOriginal, MF_BYCOMMAND);
    if (m_arrNames[0].IsEmpty()) {
        if (!m_strOriginal.IsEmpty())
            pCmdUI->SetText(m_strOriginal);
        pCmdUI->Enable(FALSE);
        return;
    }
    if (pMenu == nullptr)
        return;
    for (int i = 0; i < m_nSize; ++i)
        pMenu->DeleteMenu(pCmdUI->m_nID + static_cast<UINT>(i), MF_BYCOMMAND);
    for (int i = 0; i < m_nSize && !m_arrNames[i].IsEmpty(); ++i) {
        CString name;
        GetDisplayName(name, i, nullptr, 0);
        name.Replace("&", "&&"); // a file's "&" is no mnemonic
        CString text;
        text.Format("&%d %s", (i + 1 + static_cast<int>(m_nStart)) % 10, static_cast<LPCTSTR>(name));
        pMenu->InsertMenu(pCmdUI->m_nIndex++, MF_STRING | MF_BYPOSITION, pCmdUI->m_nID++, text);
    }
    // The walk over the pop-up goes on after the inserted items.
    pCmdUI->m_nIndex--;
    pCmdUI->m_nIndexMax = static_cast<UINT>(pMenu->GetMenuItemCount());
    pCmdUI->m_bEnableChanged = TRUE;
}
