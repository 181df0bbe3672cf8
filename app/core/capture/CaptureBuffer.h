// CaptureBuffer::CCaptureBuffer: one capture bank. The driver's read requests write straight into the free
// space behind the write pointer; the record store keeps pointers to the records in place. The high-water
// mark lies one reserve (a whole driver block) before the end, so a bank at or below it always has room for
// another block.
//
// Locks: the bank's mutex (CMemMapFile) guards the write pointer while the driver fills the bank; Reset
// takes it too. A bank mapped from a file is read-only and its lock never waits.
#pragma once

#include <cstdint>

#include "app/core/capture/MemMapFile.h"

namespace CaptureBuffer {

class CCaptureBuffer : public CMemMapFile {
    DECLARE_SERIAL(CCaptureBuffer)

public:
    CCaptureBuffer();
    ~CCaptureBuffer() override;

    // The bank size alone: nothing else of a bank outlives the session.
    void Serialize(CArchive& ar) override;

    // A bank of `dwSize` bytes whose high-water mark is `dwReserve` bytes before its end. A bank that
    // already has its mapping keeps it, and its pointers, and succeeds.
    BOOL Create(LPCSTR lpszName, DWORD dwSize, DWORD dwReserve);
    // `dwLength` bytes of a saved file from byte `dwOffset`, read-only. The end is clamped to the bytes the
    // file holds; an offset beyond the file fails.
    BOOL OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength);
    // Write pointer back to the base, under the bank's mutex.
    void Reset();
    BOOL Lock(DWORD dwTimeout);
    BOOL Unlock();
    // Releases the mutex when held and unmaps the bank; the bank's pointers go with the mapping.
    void Close();

    void GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft) const;
    // Moves the write pointer on, never past the end.
    void Advance(DWORD dwBytes);
    // Strictly beyond: a write pointer exactly at the mark still takes another block.
    BOOL IsBeyondHighWater() const { return m_pCurrent > m_pHighWater; }
    // Whether [pRecord, pRecord + nBytes) lies inside the bank's bytes.
    BOOL Holds(const void* pRecord, ULONGLONG nBytes) const {
        // As addresses: a record elsewhere is no part of the bank's array, and pointers into different
        // arrays do not compare.
        const auto at = reinterpret_cast<uintptr_t>(pRecord);
        const auto base = reinterpret_cast<uintptr_t>(m_pBase);
        const auto end = reinterpret_cast<uintptr_t>(m_pEnd);
        return m_pBase && at >= base && at < end && nBytes <= end - at;
    }

    DWORD GetBankSize() const { return m_dwBankSize; }
    DWORD GetReserve() const { return m_dwReserve; }
    BYTE* GetBase() const { return m_pBase; }
    BYTE* GetEnd() const { return m_pEnd; }
    BYTE* GetCurrent() const { return m_pCurrent; }
    BYTE* GetHighWater() const { return m_pHighWater; }

private:
    void ClearPointers();

    DWORD m_dwBankSize;
    BYTE* m_pBase;
    BYTE* m_pEnd;
    BYTE* m_pCurrent;
    BYTE* m_pHighWater;
    DWORD m_dwReserve;
};

} // namespace CaptureBuffer
