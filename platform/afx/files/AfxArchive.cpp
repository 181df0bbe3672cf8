#include "AfxArchive.h"

#include <limits>
#include <unordered_map>
#include <vector>

#include "AfxTextLine.h"

namespace {

constexpr UINT kMinBufSize = 128;
constexpr WORD wNullTag = 0;
constexpr WORD wNewClassTag = 0xFFFF;
constexpr WORD wClassTag = 0x8000;
constexpr WORD wBigObjectTag = 0x7FFF;
constexpr DWORD dwBigClassTag = 0x80000000;
constexpr DWORD nMaxMapCount = 0x3FFFFFFE;

} // namespace

// The reference maps of one archive: what was stored (object or class → map index), what was loaded (map
// index → object or class), and the stored schemas of versionable classes that differ from their own.
struct CArchive::ObjectMaps {
    struct Loaded {
        void* p;
        bool isClass;
    };
    std::unordered_map<const void*, DWORD> stored;
    std::vector<Loaded> loaded;
    std::unordered_map<const CRuntimeClass*, UINT> schemas;
};

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* lpBuf)
    : m_pDocument(nullptr), m_pFile(pFile), m_nMode(nMode), m_bUserBuf(FALSE), m_nBufSize(0), m_lpBufStart(nullptr),
      m_lpBufCur(nullptr), m_lpBufMax(nullptr), m_nObjectSchema(static_cast<UINT>(-1)), m_nMapCount(0),
      m_pMaps(nullptr) {
    if (pFile == nullptr)
        AfxThrowInvalidArgException();
    m_strFileName = pFile->GetFilePath();
    if (lpBuf != nullptr && nBufSize >= static_cast<int>(kMinBufSize)) {
        m_bUserBuf = TRUE;
        m_nBufSize = static_cast<UINT>(nBufSize);
        m_lpBufStart = static_cast<BYTE*>(lpBuf);
    } else {
        m_nBufSize = nBufSize < static_cast<int>(kMinBufSize) ? kMinBufSize : static_cast<UINT>(nBufSize);
        m_lpBufStart = static_cast<BYTE*>(AfxAllocateRaw(m_nBufSize));
    }
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
}

CArchive::~CArchive() {
    if (m_pFile != nullptr && (m_nMode & bNoFlushOnDelete) == 0) {
        // A destructor must not throw; a failing final flush is lost as it would be after Abort.
        try {
            Close();
        } catch (CException* e) {
            e->Delete();
        }
    }
    Abort();
}

void CArchive::ReleaseResources() noexcept {
    delete m_pMaps;
    m_pMaps = nullptr;
    if (!m_bUserBuf)
        AfxFreeRaw(m_lpBufStart);
    m_lpBufStart = m_lpBufCur = m_lpBufMax = nullptr;
    m_pFile = nullptr;
}

void CArchive::Abort() {
    ReleaseResources();
}

void CArchive::Close() {
    if (m_pFile != nullptr)
        Flush();
    ReleaseResources();
}

void CArchive::ThrowWrongDirection() const {
    ThrowArchive(IsLoading() ? CArchiveException::readOnly : CArchiveException::writeOnly);
}

void CArchive::ThrowArchive(int cause) const {
    AfxThrowArchiveException(cause, m_strFileName);
}

UINT CArchive::GetObjectSchema() {
    UINT nResult = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return nResult;
}

void CArchive::Flush() {
    if (m_pFile == nullptr)
        return;
    if (IsLoading()) {
        LONGLONG unread = m_lpBufMax - m_lpBufCur;
        if (unread != 0)
            m_pFile->Seek(-unread, CFile::current);
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
    } else {
        if (m_lpBufCur != m_lpBufStart)
            m_pFile->Write(m_lpBufStart, static_cast<UINT>(m_lpBufCur - m_lpBufStart));
        m_lpBufCur = m_lpBufStart;
    }
}

void CArchive::MakeRoomForWrite() {
    if (m_pFile == nullptr)
        ThrowArchive(CArchiveException::genericException);
    Flush();
}

void CArchive::FillBuffer(UINT nBytesNeeded) {
    if (m_pFile == nullptr)
        ThrowArchive(CArchiveException::genericException);
    size_t unread = static_cast<size_t>(m_lpBufMax - m_lpBufCur);
    if (unread > 0 && m_lpBufCur != m_lpBufStart)
        std::memmove(m_lpBufStart, m_lpBufCur, unread);
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = m_lpBufStart + unread;
    while (static_cast<size_t>(m_lpBufMax - m_lpBufCur) < nBytesNeeded) {
        UINT room = m_nBufSize - static_cast<UINT>(m_lpBufMax - m_lpBufStart);
        if (room == 0)
            break;
        UINT nRead = m_pFile->Read(m_lpBufMax, room);
        if (nRead == 0)
            break;
        m_lpBufMax += nRead;
    }
    if (static_cast<size_t>(m_lpBufMax - m_lpBufCur) < nBytesNeeded)
        ThrowArchive(CArchiveException::endOfFile);
}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
    if (!IsLoading())
        ThrowWrongDirection();
    if (nMax == 0)
        return 0;
    BYTE* dest = static_cast<BYTE*>(lpBuf);
    UINT remaining = nMax;
    UINT buffered = static_cast<UINT>(m_lpBufMax - m_lpBufCur);
    UINT n = buffered < remaining ? buffered : remaining;
    if (n > 0) {
        std::memcpy(dest, m_lpBufCur, n);
        m_lpBufCur += n;
        dest += n;
        remaining -= n;
    }
    if (remaining == 0)
        return nMax;
    if (m_pFile == nullptr)
        ThrowArchive(CArchiveException::genericException);
    // The buffer is empty now. Large reads go straight to the file.
    m_lpBufCur = m_lpBufMax = m_lpBufStart;
    while (remaining >= m_nBufSize) {
        UINT nRead = m_pFile->Read(dest, remaining);
        if (nRead == 0)
            return nMax - remaining;
        dest += nRead;
        remaining -= nRead;
    }
    while (remaining > 0) {
        UINT nRead = m_pFile->Read(m_lpBufStart, m_nBufSize);
        if (nRead == 0)
            break;
        m_lpBufCur = m_lpBufStart;
        m_lpBufMax = m_lpBufStart + nRead;
        n = nRead < remaining ? nRead : remaining;
        std::memcpy(dest, m_lpBufCur, n);
        m_lpBufCur += n;
        dest += n;
        remaining -= n;
    }
    return nMax - remaining;
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount) {
    if (Read(lpBuf, nCount) != nCount)
        ThrowArchive(CArchiveException::endOfFile);
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
    if (!IsStoring())
        ThrowWrongDirection();
    if (nMax == 0)
        return;
    const BYTE* src = static_cast<const BYTE*>(lpBuf);
    UINT room = static_cast<UINT>(m_lpBufMax - m_lpBufCur);
    if (nMax <= room) {
        std::memcpy(m_lpBufCur, src, nMax);
        m_lpBufCur += nMax;
        return;
    }
    if (m_pFile == nullptr)
        ThrowArchive(CArchiveException::genericException);
    std::memcpy(m_lpBufCur, src, room);
    m_lpBufCur += room;
    src += room;
    nMax -= room;
    Flush();
    if (nMax >= m_nBufSize) {
        m_pFile->Write(src, nMax);
        return;
    }
    std::memcpy(m_lpBufCur, src, nMax);
    m_lpBufCur += nMax;
}

void CArchive::EnsureAvailable(ULONGLONG nBytes) {
    ULONGLONG buffered = static_cast<ULONGLONG>(m_lpBufMax - m_lpBufCur);
    if (nBytes <= buffered || m_pFile == nullptr)
        return;
    ULONGLONG inFile = 0;
    try {
        ULONGLONG length = m_pFile->GetLength();
        ULONGLONG position = m_pFile->GetPosition();
        inFile = length > position ? length - position : 0;
    } catch (CException* e) {
        // A file that cannot tell its length: the read itself finds the end.
        e->Delete();
        return;
    }
    if (nBytes - buffered > inFile)
        ThrowArchive(CArchiveException::endOfFile);
}

CArchive& CArchive::operator>>(bool& b) {
    BYTE by = 0;
    Get(by);
    b = by != 0;
    return *this;
}

// --- text lines --------------------------------------------------------------------------------------------

void CArchive::WriteString(LPCTSTR lpsz) {
    if (lpsz != nullptr)
        Write(lpsz, static_cast<UINT>(std::strlen(lpsz)));
}

LPTSTR CArchive::ReadString(LPTSTR lpsz, UINT nMax) {
    if (lpsz == nullptr || nMax == 0)
        AfxThrowInvalidArgException();
    UINT nRead = 0;
    bool any = false;
    while (nRead + 1 < nMax) {
        char ch;
        if (Read(&ch, 1) != 1)
            break;
        any = true;
        if (ch == '\r') {
            char next;
            if (Read(&next, 1) == 1 && next != '\n')
                --m_lpBufCur; // not a line end after all: give it back
            lpsz[nRead++] = '\n';
            break;
        }
        lpsz[nRead++] = ch;
        if (ch == '\n')
            break;
    }
    lpsz[nRead] = '\0';
    return any ? lpsz : nullptr;
}

BOOL CArchive::ReadString(CString& rString) {
    return AfxReadTextLine(rString, [this](LPTSTR lpsz, UINT nMax) { return ReadString(lpsz, nMax); });
}

// --- counts and strings ------------------------------------------------------------------------------------

namespace {

// Past their shorter escapes, counts and string lengths go on alike: a DWORD, and past its escape a ULONGLONG.
ULONGLONG ReadWideLength(CArchive& ar) {
    DWORD dwLength = 0;
    ar >> dwLength;
    if (dwLength != 0xFFFFFFFF)
        return dwLength;
    ULONGLONG qwLength = 0;
    ar >> qwLength;
    return qwLength;
}

void WriteWideLength(CArchive& ar, ULONGLONG nLength) {
    if (nLength < 0xFFFFFFFF) {
        ar << static_cast<DWORD>(nLength);
        return;
    }
    ar << static_cast<DWORD>(0xFFFFFFFF) << static_cast<ULONGLONG>(nLength);
}

// Length prefix of a stored string. bUnicode tells a string stored as UTF-16 (prefix 0xFF 0xFFFE first);
// the program writes 8-bit strings only, but reads either.
ULONGLONG ReadStringLength(CArchive& ar, bool& bUnicode) {
    bUnicode = false;
    BYTE bLength = 0;
    ar >> bLength;
    if (bLength < 0xFF)
        return bLength;
    WORD wLength = 0;
    ar >> wLength;
    if (wLength == 0xFFFE) {
        bUnicode = true;
        ar >> bLength;
        if (bLength < 0xFF)
            return bLength;
        ar >> wLength;
    }
    if (wLength < 0xFFFF)
        return wLength;
    return ReadWideLength(ar);
}

void WriteStringLength(CArchive& ar, ULONGLONG nLength) {
    if (nLength < 0xFF) {
        ar << static_cast<BYTE>(nLength);
        return;
    }
    ar << static_cast<BYTE>(0xFF);
    if (nLength < 0xFFFE) { // a word of 0xFFFE marks a UTF-16 string
        ar << static_cast<WORD>(nLength);
        return;
    }
    ar << static_cast<WORD>(0xFFFF);
    WriteWideLength(ar, nLength);
}

} // namespace

DWORD_PTR CArchive::ReadCount() {
    WORD wCount = 0;
    *this >> wCount;
    if (wCount != 0xFFFF)
        return wCount;
    return static_cast<DWORD_PTR>(ReadWideLength(*this));
}

void CArchive::WriteCount(DWORD_PTR dwCount) {
    if (dwCount < 0xFFFF) {
        *this << static_cast<WORD>(dwCount);
        return;
    }
    *this << static_cast<WORD>(0xFFFF);
    WriteWideLength(*this, dwCount);
}

CArchive& AFXAPI operator<<(CArchive& ar, const CString& string) {
    if (!ar.IsStoring())
        AfxThrowArchiveException(CArchiveException::readOnly, ar.m_strFileName);
    WriteStringLength(ar, static_cast<ULONGLONG>(string.GetLength()));
    ar.Write(string.GetString(), static_cast<UINT>(string.GetLength()));
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, CString& string) {
    if (!ar.IsLoading())
        AfxThrowArchiveException(CArchiveException::writeOnly, ar.m_strFileName);
    bool bUnicode = false;
    ULONGLONG nLength = ReadStringLength(ar, bUnicode);
    ULONGLONG nBytes = bUnicode ? nLength * 2 : nLength;
    if (nLength > static_cast<ULONGLONG>(std::numeric_limits<int>::max() / 2))
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName); // no input is this long
    ar.EnsureAvailable(nBytes);
    int n = static_cast<int>(nLength);
    if (!bUnicode) {
        CString loaded;
        if (n > 0) {
            ar.EnsureRead(loaded.GetBufferSetLength(n), static_cast<UINT>(n));
        }
        string = std::move(loaded);
        return ar;
    }
    std::vector<char16_t> wide(static_cast<size_t>(n));
    if (n > 0)
        ar.EnsureRead(wide.data(), static_cast<UINT>(nBytes));
    string = CString(wide.data(), n);
    return ar;
}

// --- classes and objects -----------------------------------------------------------------------------------

CArchive::ObjectMaps& CArchive::Maps() {
    if (m_pMaps == nullptr) {
        m_pMaps = new ObjectMaps;
        if (IsStoring())
            m_pMaps->stored.emplace(nullptr, wNullTag);
        else
            m_pMaps->loaded.push_back({nullptr, false});
        m_nMapCount = 1;
    }
    return *m_pMaps;
}

void CArchive::CheckCount() const {
    if (m_nMapCount >= nMaxMapCount)
        ThrowArchive(CArchiveException::badIndex);
}

void CArchive::SetStoreParams(UINT nHashSize, UINT) {
    if (IsStoring())
        Maps().stored.reserve(nHashSize);
}

void CArchive::SetLoadParams(UINT nGrowBy) {
    if (IsLoading())
        Maps().loaded.reserve(nGrowBy);
}

void CArchive::MapObject(const CObject* pOb) {
    ObjectMaps& maps = Maps();
    if (pOb == nullptr)
        return;
    if (IsStoring()) {
        if (maps.stored.count(pOb) == 0) {
            CheckCount();
            maps.stored.emplace(pOb, m_nMapCount++);
        }
    } else {
        CheckCount();
        maps.loaded.push_back({const_cast<CObject*>(pOb), false});
        ++m_nMapCount;
    }
}

void CArchive::WriteMapIndex(DWORD nIndex, WORD wShortFlag, DWORD dwBigFlag) {
    if (nIndex < wBigObjectTag) {
        *this << static_cast<WORD>(wShortFlag | nIndex);
    } else {
        *this << wBigObjectTag;
        *this << (dwBigFlag | nIndex);
    }
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef) {
    if (!IsStoring())
        ThrowWrongDirection();
    if (pClassRef == nullptr)
        AfxThrowInvalidArgException();
    if (pClassRef->m_wSchema == 0xFFFF)
        AfxThrowNotSupportedException(); // only serializable classes have an archive form
    ObjectMaps& maps = Maps();
    auto found = maps.stored.find(pClassRef);
    if (found != maps.stored.end()) {
        WriteMapIndex(found->second, wClassTag, dwBigClassTag);
        return;
    }
    *this << wNewClassTag;
    pClassRef->Store(*this);
    CheckCount();
    maps.stored.emplace(pClassRef, m_nMapCount++);
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema, DWORD* pObTag) {
    if (!IsLoading())
        ThrowWrongDirection();
    if (pClassRefRequested != nullptr && pClassRefRequested->m_wSchema == 0xFFFF)
        AfxThrowNotSupportedException();
    ObjectMaps& maps = Maps();

    WORD wTag = 0;
    *this >> wTag;
    DWORD obTag = 0;
    if (wTag == wBigObjectTag)
        *this >> obTag;
    else
        obTag = (static_cast<DWORD>(wTag & wClassTag) << 16) | static_cast<DWORD>(wTag & 0x7FFF);

    if ((obTag & dwBigClassTag) == 0) {
        // An object tag where a class was expected.
        if (pObTag == nullptr)
            ThrowArchive(CArchiveException::badIndex);
        *pObTag = obTag;
        return nullptr;
    }

    CRuntimeClass* pClassRef = nullptr;
    UINT nSchema = 0;
    if (wTag == wNewClassTag) {
        pClassRef = CRuntimeClass::Load(*this, &nSchema);
        if (pClassRef == nullptr)
            ThrowArchive(CArchiveException::badClass);
        if ((pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA) != nSchema) {
            if ((pClassRef->m_wSchema & VERSIONABLE_SCHEMA) == 0)
                ThrowArchive(CArchiveException::badSchema);
            maps.schemas[pClassRef] = nSchema;
        }
        CheckCount();
        maps.loaded.push_back({pClassRef, true});
        ++m_nMapCount;
    } else {
        DWORD nClassIndex = obTag & ~dwBigClassTag;
        // The index must name a class read earlier (an object there is as wrong as nothing).
        if (nClassIndex == 0 || nClassIndex >= maps.loaded.size() || !maps.loaded[nClassIndex].isClass)
            ThrowArchive(CArchiveException::badIndex);
        pClassRef = static_cast<CRuntimeClass*>(maps.loaded[nClassIndex].p);
        auto stored = maps.schemas.find(pClassRef);
        nSchema = stored != maps.schemas.end() ? stored->second : (pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA);
    }

    if (pClassRefRequested != nullptr && !pClassRef->IsDerivedFrom(pClassRefRequested))
        ThrowArchive(CArchiveException::badClass);
    if (pSchema != nullptr)
        *pSchema = nSchema;
    else
        m_nObjectSchema = nSchema;
    return pClassRef;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef) {
    if (IsStoring())
        WriteClass(pClassRef);
    else
        ReadClass(pClassRef);
}

void CArchive::WriteObject(const CObject* pOb) {
    if (!IsStoring())
        ThrowWrongDirection();
    ObjectMaps& maps = Maps();
    if (pOb == nullptr) {
        *this << wNullTag;
        return;
    }
    auto found = maps.stored.find(pOb);
    if (found != maps.stored.end()) {
        WriteMapIndex(found->second, 0, 0);
        return;
    }
    WriteClass(pOb->GetRuntimeClass());
    CheckCount();
    maps.stored.emplace(pOb, m_nMapCount++);
    const_cast<CObject*>(pOb)->Serialize(*this);
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested) {
    UINT nSchema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &obTag);
    ObjectMaps& maps = Maps();

    if (pClassRef == nullptr) {
        // A reference to an object loaded before (0 is the null object).
        if (obTag >= maps.loaded.size() || maps.loaded[obTag].isClass)
            ThrowArchive(CArchiveException::badIndex);
        CObject* pOb = static_cast<CObject*>(maps.loaded[obTag].p);
        if (pOb != nullptr && pClassRefRequested != nullptr && !pOb->IsKindOf(pClassRefRequested))
            ThrowArchive(CArchiveException::badClass);
        return pOb;
    }

    CObject* pOb = pClassRef->CreateObject();
    if (pOb == nullptr)
        AfxThrowMemoryException();
    // Entered before it is read, so that it can be referred to from within its own data.
    size_t slot = maps.loaded.size();
    try {
        CheckCount();
    } catch (...) {
        delete pOb;
        throw;
    }
    maps.loaded.push_back({pOb, false});
    ++m_nMapCount;

    UINT nSchemaSave = m_nObjectSchema;
    m_nObjectSchema = nSchema;
    try {
        pOb->Serialize(*this);
    } catch (...) {
        // Nobody has been handed the half-read object: it is released here rather than leaked.
        m_nObjectSchema = nSchemaSave;
        maps.loaded[slot].p = nullptr;
        delete pOb;
        throw;
    }
    m_nObjectSchema = nSchemaSave;
    return pOb;
}

CArchive& AFXAPI operator<<(CArchive& ar, const CObject* pOb) {
    ar.WriteObject(pOb);
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, CObject*& pOb) {
    pOb = ar.ReadObject(nullptr);
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, const CObject*& pOb) {
    pOb = ar.ReadObject(nullptr);
    return ar;
}
