#include "AfxStdioFile.h"

#include <cstring>

#include "AfxTextLine.h"

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

CStdioFile::CStdioFile() : m_bText(TRUE), m_nBufPos(0), m_nBufLen(0) {}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CStdioFile() {
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CStdioFile::~CStdioFile() = default;

BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    m_nBufPos = m_nBufLen = 0;
    m_bText = (nOpenFlags & typeBinary) == 0;
    return CFile::Open(lpszFileName, nOpenFlags & ~(typeText | typeBinary), pError);
}

bool CStdioFile::Refill() {
    m_nBufPos = 0;
    m_nBufLen = CFile::Read(m_readBuf, sizeof m_readBuf);
    return m_nBufLen > 0;
}

int CStdioFile::NextByte() {
    if (m_nBufPos == m_nBufLen && !Refill())
        return -1;
    return m_readBuf[m_nBufPos++];
}

void CStdioFile::DropReadAhead() {
    if (m_nBufPos != m_nBufLen)
        CFile::Seek(-static_cast<LONGLONG>(m_nBufLen - m_nBufPos), current);
    m_nBufPos = m_nBufLen = 0;
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return 0;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    BYTE* dest = static_cast<BYTE*>(lpBuf);
    UINT n = 0;
    while (n < nCount) {
        int ch = NextByte();
        if (ch < 0)
            break;
        if (m_bText && ch == '\r') {
            int next = NextByte();
            if (next == '\n')
                ch = '\n';
            else if (next >= 0)
                --m_nBufPos; // a lone CR stays
        }
        dest[n++] = static_cast<BYTE>(ch);
    }
    return n;
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    DropReadAhead();
    if (!m_bText) {
        CFile::Write(lpBuf, nCount);
        return;
    }
    const char* src = static_cast<const char*>(lpBuf);
    char chunk[1024];
    UINT used = 0;
    for (UINT i = 0; i < nCount; ++i) {
        if (used + 2 > sizeof chunk) {
            CFile::Write(chunk, used);
            used = 0;
        }
        if (src[i] == '\n')
            chunk[used++] = '\r';
        chunk[used++] = src[i];
    }
    CFile::Write(chunk, used);
}

void CStdioFile::WriteString(LPCTSTR lpsz) {
    if (lpsz == nullptr)
        AfxThrowInvalidArgException();
    Write(lpsz, static_cast<UINT>(std::strlen(lpsz)));
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax) {
    if (lpsz == nullptr || nMax == 0)
        AfxThrowInvalidArgException();
    UINT n = 0;
    while (n + 1 < nMax) {
        char ch;
        if (Read(&ch, 1) != 1)
            break;
        lpsz[n++] = ch;
        if (ch == '\n')
            break;
    }
    lpsz[n] = '\0';
    return n == 0 ? nullptr : lpsz;
}

BOOL CStdioFile::ReadString(CString& rString) {
    return AfxReadTextLine(rString, [this](LPTSTR lpsz, UINT nMax) { return ReadString(lpsz, nMax); });
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom) {
    DropReadAhead();
    return CFile::Seek(lOff, nFrom);
}

ULONGLONG CStdioFile::GetPosition() const {
    return CFile::GetPosition() - (m_nBufLen - m_nBufPos);
}

void CStdioFile::SetLength(ULONGLONG dwNewLen) {
    DropReadAhead();
    CFile::SetLength(dwNewLen);
}

void CStdioFile::Close() {
    m_nBufPos = m_nBufLen = 0;
    CFile::Close();
}

void CStdioFile::Abort() {
    m_nBufPos = m_nBufLen = 0;
    CFile::Abort();
}
