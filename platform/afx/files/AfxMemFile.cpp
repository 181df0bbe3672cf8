#include "AfxMemFile.h"

#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes), m_nPosition(0), m_nBufferSize(0), m_nFileSize(0), m_lpBuffer(nullptr),
      m_bAutoDelete(TRUE) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : CMemFile(nGrowBytes) {
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() {
    if (m_lpBuffer != nullptr && m_bAutoDelete)
        Free(m_lpBuffer);
    m_lpBuffer = nullptr;
}

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
    if (lpBuffer == nullptr && nBufferSize != 0)
        AfxThrowInvalidArgException();
    if (m_lpBuffer != nullptr && m_bAutoDelete)
        Free(m_lpBuffer);
    m_nGrowBytes = nGrowBytes;
    m_nPosition = 0;
    m_nBufferSize = nBufferSize;
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_lpBuffer = lpBuffer;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
    BYTE* lpBuffer = m_lpBuffer;
    m_lpBuffer = nullptr;
    m_nFileSize = 0;
    m_nBufferSize = 0;
    m_nPosition = 0;
    return lpBuffer;
}

BYTE* CMemFile::Alloc(SIZE_T nBytes) {
    return static_cast<BYTE*>(std::malloc(nBytes));
}

BYTE* CMemFile::Realloc(BYTE* lpMem, SIZE_T nBytes) {
    return static_cast<BYTE*>(std::realloc(lpMem, nBytes == 0 ? 1 : nBytes));
}

void CMemFile::Free(BYTE* lpMem) {
    std::free(lpMem);
}

void CMemFile::GrowFile(SIZE_T dwNewLen) {
    if (dwNewLen <= m_nBufferSize)
        return;
    if (m_nGrowBytes == 0)
        AfxThrowMemoryException();
    // Whole steps of the growth size, as the framework grows.
    SIZE_T steps = (dwNewLen - m_nBufferSize + m_nGrowBytes - 1) / m_nGrowBytes;
    SIZE_T dwNewBufferSize = m_nBufferSize + steps * m_nGrowBytes;
    if (dwNewBufferSize < dwNewLen)
        AfxThrowMemoryException();
    BYTE* lpNew = m_lpBuffer == nullptr ? Alloc(dwNewBufferSize) : Realloc(m_lpBuffer, dwNewBufferSize);
    if (lpNew == nullptr)
        AfxThrowMemoryException();
    m_lpBuffer = lpNew;
    m_nBufferSize = dwNewBufferSize;
}

BOOL CMemFile::Open(LPCTSTR, UINT, CFileException*) {
    AfxThrowNotSupportedException(); // a memory file has no name to open
}

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return 0;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    if (m_nPosition >= m_nFileSize)
        return 0;
    SIZE_T nRead = m_nFileSize - m_nPosition < nCount ? m_nFileSize - m_nPosition : nCount;
    std::memcpy(lpBuf, m_lpBuffer + m_nPosition, nRead);
    m_nPosition += nRead;
    return static_cast<UINT>(nRead);
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return;
    if (lpBuf == nullptr)
        AfxThrowInvalidArgException();
    SIZE_T nEnd = m_nPosition + nCount;
    if (nEnd < m_nPosition)
        AfxThrowFileException(CFileException::badSeek);
    if (nEnd > m_nBufferSize)
        GrowFile(nEnd);
    // Bytes skipped by a seek past the end read as zeros.
    if (m_nPosition > m_nFileSize)
        std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = nEnd;
    if (m_nPosition > m_nFileSize)
        m_nFileSize = m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
    LONGLONG base = 0;
    switch (nFrom) {
    case begin: base = 0; break;
    case current: base = static_cast<LONGLONG>(m_nPosition); break;
    case end: base = static_cast<LONGLONG>(m_nFileSize); break;
    default: AfxThrowInvalidArgException();
    }
    if ((lOff < 0 && base + lOff < 0) || (lOff > 0 && base > INT64_MAX - lOff))
        AfxThrowFileException(CFileException::badSeek);
    m_nPosition = static_cast<SIZE_T>(base + lOff);
    return m_nPosition;
}

ULONGLONG CMemFile::GetPosition() const {
    return m_nPosition;
}

ULONGLONG CMemFile::GetLength() const {
    return m_nFileSize;
}

void CMemFile::SetLength(ULONGLONG dwNewLen) {
    if (dwNewLen > m_nBufferSize)
        GrowFile(static_cast<SIZE_T>(dwNewLen));
    if (dwNewLen > m_nFileSize)
        std::memset(m_lpBuffer + m_nFileSize, 0, static_cast<SIZE_T>(dwNewLen) - m_nFileSize);
    if (dwNewLen < m_nPosition)
        m_nPosition = static_cast<SIZE_T>(dwNewLen);
    m_nFileSize = static_cast<SIZE_T>(dwNewLen);
}

void CMemFile::Flush() {}

void CMemFile::Close() {
    m_nGrowBytes = m_nPosition = m_nBufferSize = m_nFileSize = 0;
    if (m_lpBuffer != nullptr && m_bAutoDelete)
        Free(m_lpBuffer);
    m_lpBuffer = nullptr;
}

void CMemFile::Abort() {
    Close();
}
