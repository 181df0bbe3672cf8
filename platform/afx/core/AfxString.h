// CString: the framework's string of 8-bit characters (the program is built without Unicode).
//
// Format, FormatV and AppendFormat follow the Windows C runtime's conversions, not the host's: %I64d/%I64u/
// %I64x for 64-bit values, %ld/%lx/%lu for 32-bit ones (LONG and ULONG are 32 bits), %p as 16 upper-case
// hexadecimal digits without a prefix, %S and %ls for a UTF-16 (char16_t) string, three-digit exponents for
// %e and %g. A CString passed to Format must be passed as (LPCTSTR)str or str.GetString().
#pragma once

#include <cstdarg>
#include <cstddef>

#include "AfxDefs.h"

class CString {
public:
    CString() noexcept : m_pszData(EmptyData()) {}
    CString(const CString& stringSrc);
    CString(CString&& stringSrc) noexcept : m_pszData(stringSrc.m_pszData) { stringSrc.m_pszData = EmptyData(); }
    // A value below 0x10000 in place of the pointer names a string resource (MAKEINTRESOURCE), as the
    // framework allows: the string is loaded from the program's string table.
    CString(LPCSTR lpsz);
    CString(LPCSTR lpch, int nLength);
    CString(const unsigned char* lpsz) : CString(reinterpret_cast<LPCSTR>(lpsz)) {}
    CString(LPCWSTR lpsz);
    CString(LPCWSTR lpch, int nLength);
    explicit CString(char ch, int nRepeat = 1);
    ~CString();

    CString& operator=(const CString& stringSrc);
    CString& operator=(CString&& stringSrc) noexcept;
    CString& operator=(LPCSTR lpsz);
    CString& operator=(LPCWSTR lpsz);
    CString& operator=(const unsigned char* lpsz) { return operator=(reinterpret_cast<LPCSTR>(lpsz)); }
    CString& operator=(char ch);

    CString& operator+=(const CString& string);
    CString& operator+=(LPCSTR lpsz);
    CString& operator+=(char ch);
    CString& operator+=(LPCWSTR lpsz);

    // Size and access.
    int GetLength() const noexcept { return Header()->nDataLength; }
    int GetAllocLength() const noexcept { return Header()->nAllocLength; }
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    void Empty();
    // Index GetLength() reads the terminator; anything outside 0..GetLength() throws CInvalidArgException.
    char GetAt(int iChar) const;
    char operator[](int iChar) const { return GetAt(iChar); }
    void SetAt(int iChar, char ch);
    operator LPCTSTR() const noexcept { return m_pszData; }
    LPCTSTR GetString() const noexcept { return m_pszData; }

    void SetString(LPCSTR lpsz);
    void SetString(LPCSTR lpch, int nLength);
    void Append(LPCSTR lpsz);
    void Append(LPCSTR lpch, int nLength);
    void Append(const CString& string) { Append(string.m_pszData, string.GetLength()); }
    void AppendChar(char ch);

    // Comparison: Compare is byte-wise (unsigned), CompareNoCase folds ASCII letters to lower case first.
    int Compare(LPCSTR lpsz) const;
    int CompareNoCase(LPCSTR lpsz) const;
    int Collate(LPCSTR lpsz) const { return Compare(lpsz); }
    int CollateNoCase(LPCSTR lpsz) const { return CompareNoCase(lpsz); }

    // Extraction; counts and positions outside the string are clamped.
    CString Mid(int iFirst) const;
    CString Mid(int iFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString SpanIncluding(LPCSTR lpszCharSet) const;
    CString SpanExcluding(LPCSTR lpszCharSet) const;
    // The next token after iStart; iStart becomes the position after it, or -1 (with an empty result) when
    // no token is left.
    CString Tokenize(LPCSTR pszTokens, int& iStart) const;

    // Changes in place.
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    int Replace(char chOld, char chNew);
    int Replace(LPCSTR lpszOld, LPCSTR lpszNew);
    int Remove(char chRemove);
    int Insert(int iIndex, char ch);
    int Insert(int iIndex, LPCSTR psz);
    int Delete(int iIndex, int nCount = 1);
    CString& Trim();
    CString& Trim(char chTarget);
    CString& Trim(LPCSTR pszTargets);
    CString& TrimLeft();
    CString& TrimLeft(char chTarget);
    CString& TrimLeft(LPCSTR pszTargets);
    CString& TrimRight();
    CString& TrimRight(char chTarget);
    CString& TrimRight(LPCSTR pszTargets);

    // Searching; -1 when absent.
    int Find(char ch, int iStart = 0) const;
    int Find(LPCSTR pszSub, int iStart = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(LPCSTR pszCharSet) const;

    // Formatting.
    void Format(LPCSTR pszFormat, ...);
    void Format(UINT nFormatID, ...);
    void FormatV(LPCSTR pszFormat, va_list args);
    void AppendFormat(LPCSTR pszFormat, ...);
    void AppendFormat(UINT nFormatID, ...);
    void AppendFormatV(LPCSTR pszFormat, va_list args);

    // Direct access to the buffer: after writing, ReleaseBuffer sets the length (-1: up to the first NUL).
    LPTSTR GetBuffer();
    LPTSTR GetBuffer(int nMinBufferLength);
    LPTSTR GetBufferSetLength(int nLength);
    void ReleaseBuffer(int nNewLength = -1);
    void ReleaseBufferSetLength(int nNewLength);
    void Preallocate(int nLength);
    void FreeExtra();

    // Loads string nID of the program's string table; FALSE (string unchanged) when there is none.
    BOOL LoadString(UINT nID);

private:
    struct Data {
        int nDataLength;
        int nAllocLength;
        char* Chars() noexcept { return reinterpret_cast<char*>(this + 1); }
    };
    static char* EmptyData() noexcept;
    Data* Header() const noexcept { return reinterpret_cast<Data*>(m_pszData) - 1; }
    // Makes room for nLength characters (plus terminator), keeping the first nKeep characters.
    char* Reserve(int nLength, int nKeep);
    void SetLengthUnchecked(int nLength) noexcept;
    void Release() noexcept;

    char* m_pszData;
};

static_assert(sizeof(CString) == sizeof(void*), "a CString is one pointer, as the framework's is");

CString operator+(const CString& string1, const CString& string2);
CString operator+(const CString& string, LPCSTR lpsz);
CString operator+(LPCSTR lpsz, const CString& string);
CString operator+(const CString& string, char ch);
CString operator+(char ch, const CString& string);

bool operator==(const CString& s1, const CString& s2) noexcept;
bool operator==(const CString& s1, LPCSTR s2) noexcept;
bool operator==(LPCSTR s1, const CString& s2) noexcept;
bool operator==(const CString& s1, char ch) noexcept;
bool operator!=(const CString& s1, const CString& s2) noexcept;
bool operator!=(const CString& s1, LPCSTR s2) noexcept;
bool operator!=(LPCSTR s1, const CString& s2) noexcept;
bool operator!=(const CString& s1, char ch) noexcept;
bool operator<(const CString& s1, const CString& s2) noexcept;
bool operator<(const CString& s1, LPCSTR s2) noexcept;
bool operator<(LPCSTR s1, const CString& s2) noexcept;
bool operator>(const CString& s1, const CString& s2) noexcept;
bool operator>(const CString& s1, LPCSTR s2) noexcept;
bool operator>(LPCSTR s1, const CString& s2) noexcept;
bool operator<=(const CString& s1, const CString& s2) noexcept;
bool operator<=(const CString& s1, LPCSTR s2) noexcept;
bool operator<=(LPCSTR s1, const CString& s2) noexcept;
bool operator>=(const CString& s1, const CString& s2) noexcept;
bool operator>=(const CString& s1, LPCSTR s2) noexcept;
bool operator>=(LPCSTR s1, const CString& s2) noexcept;

typedef CString CStringA;
