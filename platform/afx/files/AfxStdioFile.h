// CStdioFile: a file of text lines. Opened in text mode (the default; typeBinary turns it off), a line
// end is CR LF in the file and "\n" in the program: WriteString writes "\n" as CR LF, and reading turns
// CR LF into "\n". Reads are buffered; GetPosition and Seek account for the buffer.
#pragma once

#include "AfxFile.h"

class CStdioFile : public CFile {
    DECLARE_DYNAMIC(CStdioFile)
public:
    CStdioFile();
    CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags); // throws CFileException* when it cannot be opened
    ~CStdioFile() override;

    BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;

    // Writes the text; each "\n" becomes a line end.
    virtual void WriteString(LPCTSTR lpsz);
    // Reads up to nMax - 1 characters, stopping after a "\n" (which is kept); nullptr at the end of the file.
    virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
    // Reads one line without its line end; FALSE at the end of the file.
    virtual BOOL ReadString(CString& rString);

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetPosition() const override;
    void SetLength(ULONGLONG dwNewLen) override;
    void Close() override;
    void Abort() override;

private:
    // The next byte of the file, or -1 at its end.
    int NextByte();
    bool Refill();
    // Gives the read-ahead back to the file before it is written or moved.
    void DropReadAhead();

    BOOL m_bText;
    UINT m_nBufPos;
    UINT m_nBufLen;
    BYTE m_readBuf[4096];
};
