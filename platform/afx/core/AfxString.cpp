#include "AfxString.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <utility>

#include "AfxStringTable.h"
#include "WinCrtFormat.h"
#include "windows.h"

namespace {

struct EmptyString {
    int nDataLength;
    int nAllocLength;
    char chNil;
};
// Shared by every empty string; never written (its allocation length of 0 forces a real buffer first).
EmptyString g_emptyString = {0, 0, '\0'};
static_assert(offsetof(EmptyString, chNil) == 2 * sizeof(int));

bool IsSpace(char ch) {
    return std::isspace(static_cast<unsigned char>(ch)) != 0;
}
char ToLowerAscii(char ch) {
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}
char ToUpperAscii(char ch) {
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

int CheckedLength(size_t n) {
    if (n >= static_cast<size_t>(INT_MAX) - 64)
        AfxThrowMemoryException();
    return static_cast<int>(n);
}

int AddLengths(int a, int b) {
    if (b < 0 || a > INT_MAX - 64 - b)
        AfxThrowMemoryException();
    return a + b;
}

int SafeStrlen(LPCSTR lpsz) {
    return lpsz == nullptr ? 0 : CheckedLength(std::strlen(lpsz));
}

int WideLength(LPCWSTR lpsz) {
    size_t n = 0;
    if (lpsz != nullptr)
        while (lpsz[n] != 0)
            ++n;
    return CheckedLength(n);
}

// The ANSI code page, one byte per UTF-16 unit; a character it lacks becomes '?', as the system's conversion
// with a default character does.
void NarrowFromWide(char* dst, const char16_t* src, int n) {
    ::WideCharToMultiByte(CP_ACP, 0, src, n, dst, n, nullptr, nullptr);
}

// Appends what the run-time's printf formats.
class StringFormatSink final : public win32::crt::FormatSink {
public:
    explicit StringFormatSink(CString& target) : m_target(target) {}
    void Write(const char* text, size_t n) override { m_target.Append(text, CheckedLength(n)); }

private:
    CString& m_target;
};

} // namespace

char* CString::EmptyData() noexcept {
    return &g_emptyString.chNil;
}

CString::CString(const CString& stringSrc) : m_pszData(EmptyData()) {
    SetString(stringSrc.m_pszData, stringSrc.GetLength());
}

CString::CString(LPCSTR lpsz) : m_pszData(EmptyData()) {
    if (lpsz != nullptr && reinterpret_cast<ULONG_PTR>(lpsz) < 0x10000) {
        LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(lpsz)));
        return;
    }
    SetString(lpsz);
}

CString::CString(LPCSTR lpch, int nLength) : m_pszData(EmptyData()) {
    SetString(lpch, nLength);
}

CString::CString(LPCWSTR lpsz) : CString(lpsz, WideLength(lpsz)) {}

CString::CString(LPCWSTR lpch, int nLength) : m_pszData(EmptyData()) {
    if (nLength <= 0 || lpch == nullptr)
        return;
    char* p = Reserve(nLength, 0);
    NarrowFromWide(p, lpch, nLength);
    SetLengthUnchecked(nLength);
}

CString::CString(char ch, int nRepeat) : m_pszData(EmptyData()) {
    if (nRepeat <= 0)
        return;
    char* p = Reserve(nRepeat, 0);
    std::memset(p, ch, static_cast<size_t>(nRepeat));
    SetLengthUnchecked(nRepeat);
}

CString::~CString() {
    Release();
}

void CString::Release() noexcept {
    if (Header()->nAllocLength != 0)
        AfxFreeRaw(Header());
    m_pszData = EmptyData();
}

char* CString::Reserve(int nLength, int nKeep) {
    Data* header = Header();
    if (nLength <= header->nAllocLength)
        return m_pszData;
    // Grow geometrically so that appending character by character stays linear.
    int nAlloc = nLength;
    if (header->nAllocLength > 0 && header->nAllocLength < (INT_MAX - 64) / 2 && nAlloc < header->nAllocLength * 2)
        nAlloc = header->nAllocLength * 2;
    nAlloc = (nAlloc + 16) & ~15;
    if (nAlloc <= 0 || nAlloc > INT_MAX - 64)
        AfxThrowMemoryException();
    auto* fresh = static_cast<Data*>(AfxAllocateRaw(sizeof(Data) + static_cast<size_t>(nAlloc) + 1));
    fresh->nAllocLength = nAlloc;
    fresh->nDataLength = nKeep;
    char* chars = fresh->Chars();
    if (nKeep > 0)
        std::memcpy(chars, m_pszData, static_cast<size_t>(nKeep));
    chars[nKeep] = '\0';
    Release();
    m_pszData = chars;
    return chars;
}

void CString::SetLengthUnchecked(int nLength) noexcept {
    if (Header()->nAllocLength == 0)
        return; // the shared empty string stays as it is
    Header()->nDataLength = nLength;
    m_pszData[nLength] = '\0';
}

CString& CString::operator=(const CString& stringSrc) {
    if (this != &stringSrc)
        SetString(stringSrc.m_pszData, stringSrc.GetLength());
    return *this;
}

CString& CString::operator=(CString&& stringSrc) noexcept {
    if (this != &stringSrc) {
        Release();
        m_pszData = stringSrc.m_pszData;
        stringSrc.m_pszData = EmptyData();
    }
    return *this;
}

CString& CString::operator=(LPCSTR lpsz) {
    SetString(lpsz);
    return *this;
}

CString& CString::operator=(LPCWSTR lpsz) {
    CString converted(lpsz);
    *this = std::move(converted);
    return *this;
}

CString& CString::operator=(char ch) {
    SetString(&ch, 1);
    return *this;
}

CString& CString::operator+=(const CString& string) {
    Append(string.m_pszData, string.GetLength());
    return *this;
}

CString& CString::operator+=(LPCSTR lpsz) {
    Append(lpsz);
    return *this;
}

CString& CString::operator+=(char ch) {
    AppendChar(ch);
    return *this;
}

CString& CString::operator+=(LPCWSTR lpsz) {
    CString converted(lpsz);
    Append(converted);
    return *this;
}

void CString::Empty() {
    Release();
}

char CString::GetAt(int iChar) const {
    if (iChar < 0 || iChar > GetLength())
        AfxThrowInvalidArgException();
    return m_pszData[iChar];
}

void CString::SetAt(int iChar, char ch) {
    if (iChar < 0 || iChar >= GetLength())
        AfxThrowInvalidArgException();
    m_pszData[iChar] = ch;
}

void CString::SetString(LPCSTR lpsz) {
    SetString(lpsz, SafeStrlen(lpsz));
}

void CString::SetString(LPCSTR lpch, int nLength) {
    if (nLength < 0)
        AfxThrowInvalidArgException();
    if (nLength == 0 || lpch == nullptr) {
        if (Header()->nAllocLength != 0)
            SetLengthUnchecked(0);
        return;
    }
    // The source may lie inside this string's own buffer.
    if (lpch >= m_pszData && lpch <= m_pszData + GetLength()) {
        size_t offset = static_cast<size_t>(lpch - m_pszData);
        std::memmove(m_pszData, m_pszData + offset, static_cast<size_t>(nLength));
        SetLengthUnchecked(nLength);
        return;
    }
    char* p = Reserve(nLength, 0);
    std::memcpy(p, lpch, static_cast<size_t>(nLength));
    SetLengthUnchecked(nLength);
}

void CString::Append(LPCSTR lpsz) {
    Append(lpsz, SafeStrlen(lpsz));
}

void CString::Append(LPCSTR lpch, int nLength) {
    if (nLength < 0)
        AfxThrowInvalidArgException();
    if (nLength == 0 || lpch == nullptr)
        return;
    int nOld = GetLength();
    int nNew = AddLengths(nOld, nLength);
    if (lpch >= m_pszData && lpch <= m_pszData + nOld && nNew > GetAllocLength()) {
        // Appending a part of itself: the source moves when the buffer grows.
        CString copy(lpch, nLength);
        Append(copy.m_pszData, nLength);
        return;
    }
    char* p = Reserve(nNew, nOld);
    std::memmove(p + nOld, lpch, static_cast<size_t>(nLength));
    SetLengthUnchecked(nNew);
}

void CString::AppendChar(char ch) {
    Append(&ch, 1);
}

int CString::Compare(LPCSTR lpsz) const {
    int r = std::strcmp(m_pszData, lpsz == nullptr ? "" : lpsz);
    return (r > 0) - (r < 0);
}

int CString::CompareNoCase(LPCSTR lpsz) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_pszData);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(lpsz == nullptr ? "" : lpsz);
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(ToLowerAscii(static_cast<char>(*a)));
        unsigned char cb = static_cast<unsigned char>(ToLowerAscii(static_cast<char>(*b)));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

CString CString::Mid(int iFirst) const {
    return Mid(iFirst, GetLength() - (iFirst < 0 ? 0 : iFirst));
}

CString CString::Mid(int iFirst, int nCount) const {
    if (iFirst < 0)
        iFirst = 0;
    if (nCount < 0)
        nCount = 0;
    int nLength = GetLength();
    if (iFirst > nLength)
        iFirst = nLength;
    if (nCount > nLength - iFirst)
        nCount = nLength - iFirst;
    if (iFirst == 0 && nCount == nLength)
        return *this;
    return CString(m_pszData + iFirst, nCount);
}

CString CString::Left(int nCount) const {
    if (nCount < 0)
        nCount = 0;
    if (nCount >= GetLength())
        return *this;
    return CString(m_pszData, nCount);
}

CString CString::Right(int nCount) const {
    if (nCount < 0)
        nCount = 0;
    int nLength = GetLength();
    if (nCount >= nLength)
        return *this;
    return CString(m_pszData + nLength - nCount, nCount);
}

CString CString::SpanIncluding(LPCSTR lpszCharSet) const {
    return Left(static_cast<int>(std::strspn(m_pszData, lpszCharSet == nullptr ? "" : lpszCharSet)));
}

CString CString::SpanExcluding(LPCSTR lpszCharSet) const {
    return Left(static_cast<int>(std::strcspn(m_pszData, lpszCharSet == nullptr ? "" : lpszCharSet)));
}

CString CString::Tokenize(LPCSTR pszTokens, int& iStart) const {
    if (iStart < 0)
        AfxThrowInvalidArgException();
    int nLength = GetLength();
    if (pszTokens == nullptr || *pszTokens == '\0') {
        if (iStart < nLength)
            return CString(m_pszData + iStart, nLength - iStart);
    } else if (iStart < nLength) {
        const char* place = m_pszData + iStart;
        int nIncluding = static_cast<int>(std::strspn(place, pszTokens));
        if (iStart + nIncluding < nLength) {
            place += nIncluding;
            int nExcluding = static_cast<int>(std::strcspn(place, pszTokens));
            int iFrom = iStart + nIncluding;
            iStart = iFrom + nExcluding + 1;
            return CString(place, nExcluding);
        }
    }
    iStart = -1;
    return CString();
}

CString& CString::MakeUpper() {
    for (int i = 0, n = GetLength(); i < n; ++i)
        m_pszData[i] = ToUpperAscii(m_pszData[i]);
    return *this;
}

CString& CString::MakeLower() {
    for (int i = 0, n = GetLength(); i < n; ++i)
        m_pszData[i] = ToLowerAscii(m_pszData[i]);
    return *this;
}

CString& CString::MakeReverse() {
    for (int i = 0, j = GetLength() - 1; i < j; ++i, --j) {
        char t = m_pszData[i];
        m_pszData[i] = m_pszData[j];
        m_pszData[j] = t;
    }
    return *this;
}

int CString::Replace(char chOld, char chNew) {
    int nCount = 0;
    if (chOld == chNew)
        return 0;
    for (int i = 0, n = GetLength(); i < n; ++i) {
        if (m_pszData[i] == chOld) {
            m_pszData[i] = chNew;
            ++nCount;
        }
    }
    return nCount;
}

int CString::Replace(LPCSTR lpszOld, LPCSTR lpszNew) {
    int nOldLen = SafeStrlen(lpszOld);
    if (nOldLen == 0)
        return 0;
    int nNewLen = SafeStrlen(lpszNew);
    int nCount = 0;
    for (const char* p = std::strstr(m_pszData, lpszOld); p != nullptr; p = std::strstr(p + nOldLen, lpszOld))
        ++nCount;
    if (nCount == 0)
        return 0;
    CString result;
    result.Preallocate(GetLength() + (nNewLen - nOldLen) * nCount);
    const char* start = m_pszData;
    for (const char* p = std::strstr(start, lpszOld); p != nullptr; p = std::strstr(start, lpszOld)) {
        result.Append(start, static_cast<int>(p - start));
        result.Append(lpszNew, nNewLen);
        start = p + nOldLen;
    }
    result.Append(start, static_cast<int>(m_pszData + GetLength() - start));
    *this = std::move(result);
    return nCount;
}

int CString::Remove(char chRemove) {
    int nLength = GetLength();
    int nKept = 0;
    for (int i = 0; i < nLength; ++i)
        if (m_pszData[i] != chRemove)
            m_pszData[nKept++] = m_pszData[i];
    SetLengthUnchecked(nKept);
    return nLength - nKept;
}

int CString::Insert(int iIndex, char ch) {
    return Insert(iIndex, CString(ch).GetString());
}

int CString::Insert(int iIndex, LPCSTR psz) {
    int nLength = GetLength();
    if (iIndex < 0)
        iIndex = 0;
    if (iIndex > nLength)
        iIndex = nLength;
    int nInsert = SafeStrlen(psz);
    if (nInsert == 0)
        return nLength;
    CString inserted(psz, nInsert); // psz may point into this string
    int nNew = AddLengths(nLength, nInsert);
    char* p = Reserve(nNew, nLength);
    std::memmove(p + iIndex + nInsert, p + iIndex, static_cast<size_t>(nLength - iIndex));
    std::memcpy(p + iIndex, inserted.m_pszData, static_cast<size_t>(nInsert));
    SetLengthUnchecked(nNew);
    return nNew;
}

int CString::Delete(int iIndex, int nCount) {
    int nLength = GetLength();
    if (iIndex < 0)
        iIndex = 0;
    if (nCount < 0)
        nCount = 0;
    if (iIndex >= nLength)
        return nLength;
    if (nCount > nLength - iIndex)
        nCount = nLength - iIndex;
    if (nCount > 0) {
        std::memmove(m_pszData + iIndex, m_pszData + iIndex + nCount, static_cast<size_t>(nLength - iIndex - nCount));
        SetLengthUnchecked(nLength - nCount);
    }
    return GetLength();
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(char chTarget) {
    return TrimRight(chTarget).TrimLeft(chTarget);
}
CString& CString::Trim(LPCSTR pszTargets) {
    return TrimRight(pszTargets).TrimLeft(pszTargets);
}

namespace {
template <class Pred> int LeadingCount(const char* p, int n, Pred match) {
    int i = 0;
    while (i < n && match(p[i]))
        ++i;
    return i;
}
template <class Pred> int TrailingStart(const char* p, int n, Pred match) {
    int i = n;
    while (i > 0 && match(p[i - 1]))
        --i;
    return i;
}
bool InSet(LPCSTR set, char ch) {
    return ch != '\0' && set != nullptr && std::strchr(set, ch) != nullptr;
}
} // namespace

CString& CString::TrimLeft() {
    Delete(0, LeadingCount(m_pszData, GetLength(), IsSpace));
    return *this;
}
CString& CString::TrimLeft(char chTarget) {
    Delete(0, LeadingCount(m_pszData, GetLength(), [=](char c) { return c == chTarget; }));
    return *this;
}
CString& CString::TrimLeft(LPCSTR pszTargets) {
    Delete(0, LeadingCount(m_pszData, GetLength(), [=](char c) { return InSet(pszTargets, c); }));
    return *this;
}
CString& CString::TrimRight() {
    SetLengthUnchecked(TrailingStart(m_pszData, GetLength(), IsSpace));
    return *this;
}
CString& CString::TrimRight(char chTarget) {
    SetLengthUnchecked(TrailingStart(m_pszData, GetLength(), [=](char c) { return c == chTarget; }));
    return *this;
}
CString& CString::TrimRight(LPCSTR pszTargets) {
    SetLengthUnchecked(TrailingStart(m_pszData, GetLength(), [=](char c) { return InSet(pszTargets, c); }));
    return *this;
}

int CString::Find(char ch, int iStart) const {
    int nLength = GetLength();
    if (iStart < 0 || iStart >= nLength)
        return -1;
    const void* p = std::memchr(m_pszData + iStart, ch, static_cast<size_t>(nLength - iStart));
    return p == nullptr ? -1 : static_cast<int>(static_cast<const char*>(p) - m_pszData);
}

int CString::Find(LPCSTR pszSub, int iStart) const {
    if (pszSub == nullptr || iStart < 0 || iStart > GetLength())
        return -1;
    const char* p = std::strstr(m_pszData + iStart, pszSub);
    return p == nullptr ? -1 : static_cast<int>(p - m_pszData);
}

int CString::ReverseFind(char ch) const {
    const char* p = std::strrchr(m_pszData, ch);
    return p == nullptr ? -1 : static_cast<int>(p - m_pszData);
}

int CString::FindOneOf(LPCSTR pszCharSet) const {
    const char* p = std::strpbrk(m_pszData, pszCharSet == nullptr ? "" : pszCharSet);
    return p == nullptr ? -1 : static_cast<int>(p - m_pszData);
}

void CString::Format(LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::Format(UINT nFormatID, ...) {
    CString format;
    if (!format.LoadString(nFormatID))
        AfxThrowInvalidArgException();
    va_list args;
    va_start(args, nFormatID);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args) {
    // Formatted into a fresh string: an argument may point into this one.
    CString result;
    result.AppendFormatV(pszFormat, args);
    *this = std::move(result);
}

void CString::AppendFormat(LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

void CString::AppendFormat(UINT nFormatID, ...) {
    CString format;
    if (!format.LoadString(nFormatID))
        AfxThrowInvalidArgException();
    va_list args;
    va_start(args, nFormatID);
    AppendFormatV(format, args);
    va_end(args);
}

void CString::AppendFormatV(LPCSTR pszFormat, va_list args) {
    if (pszFormat == nullptr)
        AfxThrowInvalidArgException();
    CString formatted;
    StringFormatSink sink(formatted);
    win32::crt::FormatTo(sink, pszFormat, args);
    Append(formatted);
}

LPTSTR CString::GetBuffer() {
    return GetBuffer(GetLength());
}

LPTSTR CString::GetBuffer(int nMinBufferLength) {
    if (nMinBufferLength < 0)
        AfxThrowInvalidArgException();
    int nLength = GetLength();
    int nWanted = nMinBufferLength > nLength ? nMinBufferLength : nLength;
    // Even an empty buffer is a real one: the caller writes its terminator.
    if (nWanted == 0 && GetAllocLength() == 0)
        nWanted = 1;
    return Reserve(nWanted, nLength);
}

LPTSTR CString::GetBufferSetLength(int nLength) {
    LPTSTR p = GetBuffer(nLength);
    SetLengthUnchecked(nLength);
    return p;
}

void CString::ReleaseBuffer(int nNewLength) {
    if (GetAllocLength() == 0)
        return;
    if (nNewLength < 0) {
        const void* end = std::memchr(m_pszData, '\0', static_cast<size_t>(GetAllocLength()) + 1);
        nNewLength = static_cast<int>(static_cast<const char*>(end) - m_pszData);
    }
    ReleaseBufferSetLength(nNewLength);
}

void CString::ReleaseBufferSetLength(int nNewLength) {
    if (nNewLength < 0 || nNewLength > GetAllocLength())
        AfxThrowInvalidArgException();
    SetLengthUnchecked(nNewLength);
}

void CString::Preallocate(int nLength) {
    if (nLength < 0)
        AfxThrowInvalidArgException();
    Reserve(nLength, GetLength());
}

void CString::FreeExtra() {
    if (GetAllocLength() > GetLength() + 16) {
        CString tight(m_pszData, GetLength());
        *this = std::move(tight);
    }
}

BOOL CString::LoadString(UINT nID) {
    return AfxLoadString(nID, *this);
}

CString operator+(const CString& string1, const CString& string2) {
    CString result;
    result.Preallocate(AddLengths(string1.GetLength(), string2.GetLength()));
    result.Append(string1);
    result.Append(string2);
    return result;
}

CString operator+(const CString& string, LPCSTR lpsz) {
    CString result(string);
    result.Append(lpsz);
    return result;
}

CString operator+(LPCSTR lpsz, const CString& string) {
    CString result(lpsz);
    result.Append(string);
    return result;
}

CString operator+(const CString& string, char ch) {
    CString result(string);
    result.AppendChar(ch);
    return result;
}

CString operator+(char ch, const CString& string) {
    CString result(ch);
    result.Append(string);
    return result;
}

bool operator==(const CString& s1, const CString& s2) noexcept {
    return s1.GetLength() == s2.GetLength() && std::memcmp(s1.GetString(), s2.GetString(), s1.GetLength()) == 0;
}
bool operator==(const CString& s1, LPCSTR s2) noexcept {
    return s1.Compare(s2) == 0;
}
bool operator==(LPCSTR s1, const CString& s2) noexcept {
    return s2.Compare(s1) == 0;
}
bool operator==(const CString& s1, char ch) noexcept {
    return s1.GetLength() == 1 && s1.GetString()[0] == ch;
}
bool operator!=(const CString& s1, const CString& s2) noexcept {
    return !(s1 == s2);
}
bool operator!=(const CString& s1, LPCSTR s2) noexcept {
    return !(s1 == s2);
}
bool operator!=(LPCSTR s1, const CString& s2) noexcept {
    return !(s1 == s2);
}
bool operator!=(const CString& s1, char ch) noexcept {
    return !(s1 == ch);
}
bool operator<(const CString& s1, const CString& s2) noexcept {
    return s1.Compare(s2) < 0;
}
bool operator<(const CString& s1, LPCSTR s2) noexcept {
    return s1.Compare(s2) < 0;
}
bool operator<(LPCSTR s1, const CString& s2) noexcept {
    return s2.Compare(s1) > 0;
}
bool operator>(const CString& s1, const CString& s2) noexcept {
    return s1.Compare(s2) > 0;
}
bool operator>(const CString& s1, LPCSTR s2) noexcept {
    return s1.Compare(s2) > 0;
}
bool operator>(LPCSTR s1, const CString& s2) noexcept {
    return s2.Compare(s1) < 0;
}
bool operator<=(const CString& s1, const CString& s2) noexcept {
    return s1.Compare(s2) <= 0;
}
bool operator<=(const CString& s1, LPCSTR s2) noexcept {
    return s1.Compare(s2) <= 0;
}
bool operator<=(LPCSTR s1, const CString& s2) noexcept {
    return s2.Compare(s1) >= 0;
}
bool operator>=(const CString& s1, const CString& s2) noexcept {
    return s1.Compare(s2) >= 0;
}
bool operator>=(const CString& s1, LPCSTR s2) noexcept {
    return s1.Compare(s2) >= 0;
}
bool operator>=(LPCSTR s1, const CString& s2) noexcept {
    return s2.Compare(s1) <= 0;
}
