#include "AfxFileDialog.h"

#include <algorithm>
#include <cstring>

#include "AfxWinApp.h"
#include "WinFiles.h"

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_fileName(MAX_PATH, '\0') {
    m_pParentWnd = pParentWnd;
    std::memset(&m_ofn, 0, sizeof m_ofn);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    if (lpszDefExt != nullptr) {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt;
    }
    if (lpszFileName != nullptr) {
        const size_t length = std::min(std::strlen(lpszFileName), m_fileName.size() - 1);
        std::copy_n(lpszFileName, length, m_fileName.begin());
    }
    m_ofn.lpstrFile = m_fileName.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileName.size());
    if (lpszFilter != nullptr) {
        // Every '|' ends a piece; a filter written without its closing "||" still ends with two NULs.
        m_filter.assign(lpszFilter, lpszFilter + std::strlen(lpszFilter));
        std::replace(m_filter.begin(), m_filter.end(), '|', '\0');
        m_filter.push_back('\0');
        m_filter.push_back('\0');
        m_ofn.lpstrFilter = m_filter.data();
    }
}

INT_PTR CFileDialog::DoModal() {
    CWnd* pOwner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = pOwner != nullptr ? pOwner->GetSafeHwnd() : nullptr;
    const BOOL bChosen = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return bChosen ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
    return CString(m_ofn.lpstrFile);
}

CString CFileDialog::GetFileName() const {
    const CString path = GetPathName();
    const int nSlash = std::max(path.ReverseFind('\\'), path.ReverseFind('/'));
    return path.Mid(nSlash + 1);
}

CString CFileDialog::GetFileExt() const {
    const CString name = GetFileName();
    const int nDot = name.ReverseFind('.');
    return nDot >= 0 ? name.Mid(nDot + 1) : CString();
}
