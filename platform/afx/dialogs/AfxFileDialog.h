// CFileDialog: the common open or save dialog. The filter is given as the framework writes it, pieces
// separated by "|" and ended by "||"; the default extension (without its point) is added to a name chosen
// without one. DoModal returns IDOK with the chosen path, or IDCANCEL.
#pragma once

#include <vector>

#include "AfxDialog.h"
#include "commdlg.h"

class CFileDialog : public CDialog {
    DECLARE_DYNAMIC(CFileDialog)
public:
    explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr);

    INT_PTR DoModal() override;

    // The full path chosen; empty before a choice.
    CString GetPathName() const;
    // The chosen file's name with and without its extension, and the extension alone.
    CString GetFileName() const;
    CString GetFileExt() const;

    OPENFILENAMEA m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    std::vector<char> m_filter; // the pieces each ended by NUL, the list by a second NUL
    std::vector<char> m_fileName;
};
