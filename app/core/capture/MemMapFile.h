// CaptureBuffer::CMemMapFile: a memory-mapped section (of the page file or of a file) guarded by a named
// mutex. The capture banks are built on it; a saved capture file is mapped through it read-only.
//
// Locks: the mutex is named after the section, so every object that maps the same name shares it. A
// read-only section is never written, and locking it does not wait.
#pragma once

#include "afx.h"

namespace CaptureBuffer {

class CMemMapFile : public CObject {
    DECLARE_DYNAMIC(CMemMapFile)

public:
    CMemMapFile();
    ~CMemMapFile() override;

    // A section of the page file, `dwSize` bytes, created under the object name built from `lpszName`.
    // Fails when a section of that name already exists: it may be another object's of another size.
    BOOL Create(LPCSTR lpszName, DWORD dwSize, BOOL bReadOnly);
    // Maps an existing file whole. Unnamed (`bNamed` false) the section has no name; its mutex is still
    // created as "MUTEX" and never waited on when read-only. Files that are empty or of 4 GiB or more fail.
    BOOL Open(LPCSTR lpszPath, BOOL bReadOnly, DWORD dwShareMode, BOOL bTerminator, BOOL bNamed, BOOL bSparse);
    // The view, once this object holds the mutex (at once when read-only); null on timeout or without a view.
    LPVOID Lock(DWORD dwTimeout);
    // True when it released the mutex, false when this object did not hold it.
    BOOL Unlock();
    void Close();

    // The kernel object name for a name: every "\" becomes "_", then upper case.
    static CString ObjectNameFor(LPCSTR lpszName);

    LPVOID GetView() const { return m_pView; }
    BOOL HasMapping() const { return m_hMapping != nullptr; }
    BOOL IsReadOnly() const { return m_bReadOnly != 0; }
    BOOL IsLocked() const { return m_bLocked != 0; }
    DWORD GetSize() const { return m_dwSize; }
    const CString& GetObjectName() const { return m_strObjectName; }

private:
    // Section, view and mutex for the stored size and flags; false (everything closed) without a view.
    BOOL CreateSection();

    HANDLE m_hFile;
    HANDLE m_hMapping;
    DWORD m_bReadOnly;
    DWORD m_bTerminator;
    LPVOID m_pView;
    CString m_strObjectName;
    DWORD m_bLocked;
    HANDLE m_hMutex;
    DWORD m_dwSize;
};

} // namespace CaptureBuffer
