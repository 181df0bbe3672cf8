// CArchive: the framework's binary serialization over a CFile, through a buffer (4096 bytes by default).
//
// Encoding: little-endian scalars of their own size (bool is one byte 0/1), no padding. A CString is its
// length prefix (below 255: one byte; below 0xFFFE: 0xFF and a u16; else 0xFF, 0xFFFF and a u32) and its
// bytes, no terminator. Classes and objects use the framework's tags: 0 is a null object, 0xFFFF a new
// class (u16 schema, u16 name length, name), 0x8000|n a class seen before, n an object seen before, where n
// counts objects and classes together from 1; 0x7FFF introduces the 32-bit forms of both.
//
// Errors throw CArchiveException*: writing to a loading archive is readOnly, reading from a storing one
// writeOnly, input that ends early endOfFile (a length is checked against the input before anything is
// allocated for it), a dangling reference badIndex, an unknown class badClass, and a stored schema that a
// non-versionable class cannot read badSchema.
//
// Position: in load mode the archive reads ahead. Flush() gives the unread bytes back to the file (it seeks
// back over them), after which GetFile()->GetPosition() is the position of the next byte to be read.
#pragma once

#include <cstring>

#include "AfxException.h"
#include "AfxFile.h"
#include "AfxObject.h"
#include "AfxString.h"

class CDocument;

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    BOOL IsByteSwapping() const { return FALSE; }
    BOOL IsBufferEmpty() const { return m_lpBufCur == m_lpBufMax; }
    CFile* GetFile() const { return m_pFile; }

    // The schema of the object being loaded, once: a second call returns (UINT)-1.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    // Raw bytes. Read returns fewer bytes than asked at the end of the input; EnsureRead throws endOfFile.
    UINT Read(void* lpBuf, UINT nMax);
    void EnsureRead(void* lpBuf, UINT nCount);
    void Write(const void* lpBuf, UINT nMax);

    // Store: writes the buffer to the file. Load: seeks the file back over the bytes read ahead.
    void Flush();
    // Flushes and detaches from the file (the file stays open).
    void Close();
    // Detaches from the file without flushing and without throwing.
    void Abort();

    // Text lines: WriteString writes the characters only; ReadString reads up to and without the line end
    // (LF or CR LF) and returns FALSE at the end of the input.
    void WriteString(LPCTSTR lpsz);
    LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
    BOOL ReadString(CString& rString);

    // Objects and classes.
    CObject* ReadObject(const CRuntimeClass* pClass);
    void WriteObject(const CObject* pOb);
    // Enters an object that is not itself written (or read) into the reference map, so that later
    // references to it are written as back references.
    void MapObject(const CObject* pOb);
    void WriteClass(const CRuntimeClass* pClassRef);
    // Reads a class reference; with pSchema the stored schema is returned there, else it becomes the
    // archive's object schema. pObTag receives an object tag when the stream holds one instead.
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr, UINT* pSchema = nullptr,
                             DWORD* pObTag = nullptr);
    void SerializeClass(const CRuntimeClass* pClassRef);
    void SetStoreParams(UINT nHashSize = 2053, UINT nBlockSize = 128);
    void SetLoadParams(UINT nGrowBy = 1024);

    // Element counts of the framework's collections: u16, or 0xFFFF and u32 (then 0xFFFFFFFF and u64).
    DWORD_PTR ReadCount();
    void WriteCount(DWORD_PTR dwCount);

    // Scalars.
    CArchive& operator<<(BYTE by) { return Put(by); }
    CArchive& operator<<(char ch) { return Put(ch); }
    CArchive& operator<<(signed char ch) { return Put(ch); }
    CArchive& operator<<(WORD w) { return Put(w); }
    CArchive& operator<<(short w) { return Put(w); }
    CArchive& operator<<(char16_t ch) { return Put(ch); }
    CArchive& operator<<(int i) { return Put(i); }
    CArchive& operator<<(unsigned u) { return Put(u); }
    CArchive& operator<<(long l) { return Put(static_cast<LONGLONG>(l)); } // LONGLONG on this host
    CArchive& operator<<(unsigned long ul) { return Put(static_cast<ULONGLONG>(ul)); }
    CArchive& operator<<(long long ll) { return Put(static_cast<LONGLONG>(ll)); }
    CArchive& operator<<(unsigned long long ull) { return Put(static_cast<ULONGLONG>(ull)); }
    CArchive& operator<<(bool b) { return Put(static_cast<BYTE>(b ? 1 : 0)); }
    CArchive& operator<<(float f) { return Put(f); }
    CArchive& operator<<(double d) { return Put(d); }
    // A bare pointer would silently become a bool; write objects through CObject* and text as CString.
    CArchive& operator<<(const void*) = delete;

    CArchive& operator>>(BYTE& by) { return Get(by); }
    CArchive& operator>>(char& ch) { return Get(ch); }
    CArchive& operator>>(signed char& ch) { return Get(ch); }
    CArchive& operator>>(WORD& w) { return Get(w); }
    CArchive& operator>>(short& w) { return Get(w); }
    CArchive& operator>>(char16_t& ch) { return Get(ch); }
    CArchive& operator>>(int& i) { return Get(i); }
    CArchive& operator>>(unsigned& u) { return Get(u); }
    CArchive& operator>>(long& l) { return GetAs<LONGLONG>(l); }
    CArchive& operator>>(unsigned long& ul) { return GetAs<ULONGLONG>(ul); }
    CArchive& operator>>(long long& ll) { return GetAs<LONGLONG>(ll); }
    CArchive& operator>>(unsigned long long& ull) { return GetAs<ULONGLONG>(ull); }
    CArchive& operator>>(bool& b);
    CArchive& operator>>(float& f) { return Get(f); }
    CArchive& operator>>(double& d) { return Get(d); }

    CDocument* m_pDocument;
    CString m_strFileName;

private:
    struct ObjectMaps;
    friend CArchive& AFXAPI operator>>(CArchive& ar, CString& string);

    template <class T> CArchive& Put(T value) {
        if (!IsStoring())
            ThrowWrongDirection();
        if (static_cast<size_t>(m_lpBufMax - m_lpBufCur) < sizeof(T))
            MakeRoomForWrite();
        std::memcpy(m_lpBufCur, &value, sizeof(T));
        m_lpBufCur += sizeof(T);
        return *this;
    }
    template <class T> CArchive& Get(T& value) {
        if (!IsLoading())
            ThrowWrongDirection();
        if (static_cast<size_t>(m_lpBufMax - m_lpBufCur) < sizeof(T))
            FillBuffer(static_cast<UINT>(sizeof(T)));
        std::memcpy(&value, m_lpBufCur, sizeof(T));
        m_lpBufCur += sizeof(T);
        return *this;
    }
    template <class Stored, class T> CArchive& GetAs(T& value) {
        Stored stored;
        Get(stored);
        value = static_cast<T>(stored);
        return *this;
    }

    [[noreturn]] void ThrowWrongDirection() const;
    [[noreturn]] void ThrowArchive(int cause) const;
    void MakeRoomForWrite();
    // Makes at least nBytesNeeded unread bytes available in the buffer; endOfFile when the input ends first.
    void FillBuffer(UINT nBytesNeeded);
    // Throws endOfFile unless the input still holds nBytes (when the file can tell its length); called
    // before anything is allocated for a stored length.
    void EnsureAvailable(ULONGLONG nBytes);
    void ReleaseResources() noexcept;
    ObjectMaps& Maps();
    void CheckCount() const;
    // A reference to map index nIndex: 15 bits with the short flag when it fits, else the big-object tag
    // and 32 bits with the big flag.
    void WriteMapIndex(DWORD nIndex, WORD wShortFlag, DWORD dwBigFlag);

    CFile* m_pFile;
    UINT m_nMode;
    BOOL m_bUserBuf;
    UINT m_nBufSize;
    BYTE* m_lpBufStart;
    BYTE* m_lpBufCur;
    BYTE* m_lpBufMax; // store: end of the buffer; load: end of the bytes read ahead
    UINT m_nObjectSchema;
    DWORD m_nMapCount; // map index of the next object or class; 0 is the null object
    ObjectMaps* m_pMaps;
};

CArchive& AFXAPI operator<<(CArchive& ar, const CString& string);
CArchive& AFXAPI operator>>(CArchive& ar, CString& string);

CArchive& AFXAPI operator<<(CArchive& ar, const CObject* pOb);
CArchive& AFXAPI operator>>(CArchive& ar, CObject*& pOb);
CArchive& AFXAPI operator>>(CArchive& ar, const CObject*& pOb);
