#include "AfxFile.h"

#include "WinFiles.h"
#include "WinHandles.h"
#include "winerror.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile() {
    if (m_hFile != hFileNull && m_bCloseOnDelete) {
        try {
            Close();
        } catch (CException* e) {
            e->Delete();
        }
    }
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pException) {
    if (m_hFile != hFileNull)
        Abort();
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
    auto fail = [&](LONG osError) {
        if (pException != nullptr) {
            pException->m_lOsError = osError;
            pException->m_cause = CFileException::OsErrorToException(osError);
            pException->m_strFileName = lpszFileName;
        }
        return FALSE;
    };
    if (lpszFileName == nullptr || *lpszFileName == '\0')
        return fail(ERROR_INVALID_NAME);

    DWORD access = 0;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD share = 0;
    switch (nOpenFlags & 0x70) {
    case shareCompat:
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: return fail(ERROR_INVALID_PARAMETER);
    }
    SECURITY_ATTRIBUTES sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, (nOpenFlags & modeNoInherit) == 0};
    DWORD disposition = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        disposition = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (nOpenFlags & osNoBuffer)
        attributes |= FILE_FLAG_NO_BUFFERING;
    if (nOpenFlags & osWriteThrough)
        attributes |= FILE_FLAG_WRITE_THROUGH;
    if (nOpenFlags & osRandomAccess)
        attributes |= FILE_FLAG_RANDOM_ACCESS;
    if (nOpenFlags & osSequentialScan)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;

    HANDLE hFile = ::CreateFileA(lpszFileName, access, share, &sa, disposition, attributes, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return fail(static_cast<LONG>(::GetLastError()));

    // The file's path is kept in full, as the framework does.
    char fullPath[MAX_PATH * 4];
    DWORD n = ::GetFullPathNameA(lpszFileName, sizeof fullPath, fullPath, nullptr);
    m_strFileName = (n > 0 && n < sizeof fullPath) ? fullPath : lpszFileName;
    m_hFile = hFile;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return 0;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    DWORD dwRead = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &dwRead, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return dwRead;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    DWORD nWritten = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &nWritten, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    if (nWritten != nCount)
        AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    if (nFrom != begin && nFrom != current && nFrom != end)
        AfxThrowInvalidArgException();
    LARGE_INTEGER distance;
    distance.QuadPart = lOff;
    LARGE_INTEGER position;
    position.QuadPart = 0;
    if (!::SetFilePointerEx(m_hFile, distance, &position, nFrom))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const {
    LARGE_INTEGER distance;
    distance.QuadPart = 0;
    LARGE_INTEGER position;
    position.QuadPart = 0;
    if (!::SetFilePointerEx(m_hFile, distance, &position, FILE_CURRENT))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (!::GetFileSizeEx(m_hFile, &size))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG dwNewLen) {
    Seek(static_cast<LONGLONG>(dwNewLen), begin);
    if (!::SetEndOfFile(m_hFile))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Flush() {
    if (m_hFile == hFileNull)
        return;
    if (!::FlushFileBuffers(m_hFile))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Close() {
    BOOL bError = FALSE;
    LONG osError = 0;
    if (m_hFile != hFileNull && !::CloseHandle(m_hFile)) {
        bError = TRUE;
        osError = static_cast<LONG>(::GetLastError());
    }
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    CString name = m_strFileName;
    m_strFileName.Empty();
    if (bError)
        CFileException::ThrowOsError(osError, name);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) {
        ::CloseHandle(m_hFile);
        m_hFile = hFileNull;
    }
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

CString CFile::GetFilePath() const {
    return m_strFileName;
}

CString CFile::GetFileName() const {
    LPCTSTR path = m_strFileName;
    int start = 0;
    for (int i = 0, n = m_strFileName.GetLength(); i < n; ++i)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            start = i + 1;
    return m_strFileName.Mid(start);
}

CString CFile::GetFileTitle() const {
    CString name = GetFileName();
    int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

void CFile::SetFilePath(LPCTSTR lpszNewName) {
    m_strFileName = lpszNewName;
}
