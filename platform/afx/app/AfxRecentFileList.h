// CRecentFileList: the most recently used files, newest first, kept in the application's profile (section
// "Recent File List", entries "File1" ... "File<n>") and shown in the File menu as commands
// ID_FILE_MRU_FILE1 and up.
#pragma once

#include "AfxString.h"

class CCmdUI;

class CRecentFileList {
public:
    CRecentFileList(UINT nStart, LPCTSTR lpszSection, LPCTSTR lpszEntryFormat, int nSize, int nMaxDispLen = 30);
    virtual ~CRecentFileList();
    CRecentFileList(const CRecentFileList&) = delete;
    CRecentFileList& operator=(const CRecentFileList&) = delete;

    int GetSize() const { return m_nSize; }
    CString& operator[](int nIndex) { return m_arrNames[nIndex]; }

    // Puts the path first; a path already listed (in any case) moves up, the oldest drops off a full list.
    virtual void Add(LPCTSTR lpszPathName);
    virtual void Remove(int nIndex);
    virtual void ReadList();
    virtual void WriteList();
    // The menu text of an entry: the file name, or the path when it fits m_nMaxDisplayLength.
    BOOL GetDisplayName(CString& strName, int nIndex, LPCTSTR lpszCurDir, int nCurDir, BOOL bAtLeastName = TRUE) const;
    // Replaces the pop-up's recent-file item (pCmdUI's) by one item per listed file ("&1 name"); with an empty
    // list the item keeps its first text, greyed.
    virtual void UpdateMenu(CCmdUI* pCmdUI);

    int m_nSize;
    CString* m_arrNames;
    CString m_strSectionName;
    CString m_strEntryFormat;
    UINT m_nStart;
    int m_nMaxDisplayLength;
    CString m_strOriginal; // the menu text shown while the list is empty
};
