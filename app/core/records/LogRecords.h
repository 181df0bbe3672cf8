// LogRecords::CLogRecords: the index of a document's captured records. It owns the capture buffer and keeps,
// per bank, the pointers to the records that lie in that bank, and a second pair of arrays for the records
// the buffer filter accepts. Records are never copied: every pointer points into a bank, or into a mapped
// file. A record is indexed with the bank whose bytes hold it, so reusing a bank drops exactly the records
// whose bytes are about to be overwritten, from the full and the filtered view alike.
//
// List order (the list view's, GetAt's): the older bank's records, then the current bank's.
//
// Threads: the store has no lock. Which thread may touch it when is the document's rule.
#pragma once

#include <memory>

#include "afx.h"
#include "app/core/capture/CapturePair.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/RecordIndex.h"
#include "common/LogHeader.h"

class CUSBLog;

namespace LogRecords {

class CLogRecords : public CObject {
    DECLARE_SERIAL(CLogRecords)

public:
    // The schema of the store this program writes.
    static constexpr UINT CurrentSchema = 12;

    CLogRecords();
    explicit CLogRecords(CUSBLog* pDocument, UINT nSchema = CurrentSchema);
    ~CLogRecords() override;

    // The record part of a capture log file: capacity, count, time origin, the records' offsets and their
    // bytes. Loading maps the bytes from the file rather than reading them, and trusts no count or offset.
    void Serialize(CArchive& ar) override;
    // The record part written: the region the file keeps, the offsets (with the save's progress; a cancel
    // stops there), then the region's bytes. Returns the number of records the file holds, which is less than
    // GetCount when both banks hold more than one bank's capacity.
    DWORD StoreRecords(CArchive& ar) const;

    // The capture buffer's operations, forwarded to the pair (false, or nothing, without one).
    BOOL LockBuffer(DWORD dwTimeout);
    BOOL UnlockBuffer();
    BOOL GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft);
    void AdvanceWrite(DWORD dwBytes);
    void SwitchBanks(CUSBLog* pDocument);

    // Continuous logging (bank switching) on and off, in the store and in the pair.
    void SetCapturing();
    void ClearCapturing();

    // A new capture buffer of two banks; a store that has one lets go of it first, as ResetBuffer does.
    BOOL CreateBuffer(DWORD dwSize, DWORD dwReserve);
    // Empties the indexes, closes and deletes the banks, and creates new ones; the switching flag stays.
    BOOL ResetBuffer(DWORD dwSize, DWORD dwReserve);
    // The buffer over a saved file: `dwLength` bytes from `dwOffset`, read-only, as bank 0 alone. The
    // indexes and any banks the store had go first.
    BOOL OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength);

    // The first log start since the store was emptied sets the origin; later ones do not.
    void SetTimeOrigin(LONGLONG llTimeStamp);
    BOOL IsTimeOriginSet() const { return !m_bTimeOriginUnset; }
    LONGLONG GetTimeOrigin() const { return m_llTimeOrigin; }
    // The time stamp of the most recent log start.
    LONGLONG GetLatestStart() const { return m_llLatestStart; }
    void SetLatestStart(LONGLONG llTimeStamp) { m_llLatestStart = llTimeStamp; }

    // Indexes a whole record with the bank that holds it; a record in neither bank is traced and dropped.
    void Add(_LOGHDR* pRecord);
    // The same for the filtered view, when the document's buffer filter accepts the record.
    void AddFiltered(CUSBLog* pDocument, _LOGHDR* pRecord);
    // The other bank becomes current; its records, full and filtered, are dropped, since the bank is about to
    // be reset. Reloading the list afterwards is the caller's.
    void SetCurrentBank(CUSBLog* pDocument);
    void ClearFiltered();
    // Empties every index, makes bank 0 current, resets the pair and unsets the time origin.
    void RemoveAll();

    INT_PTR GetCount() const { return m_Bank0.GetSize() + m_Bank1.GetSize(); }
    // The rows of the active view: filtered when the document's buffer filter is on.
    INT_PTR GetDisplayCount(CUSBLog* pDocument) const;
    INT_PTR GetBankCount(int nBank) const;
    INT_PTR GetFilteredBankCount(int nBank) const;

    // Records by index, all with one rule: null at or past the end (of an empty view too), and a negative
    // index throws CInvalidArgException*.
    // The record at a list index of the full view.
    _LOGHDR* GetAt(INT_PTR nIndex) const;
    // Record i of a bank's index; null for a bank other than 0 and 1.
    _LOGHDR* GetBankRecordAt(int nBank, INT_PTR nIndex) const;
    // The record at a list index of the active view: the filtered one while the buffer filter is on.
    _LOGHDR* GetRecordAt(CUSBLog* pDocument, INT_PTR nIndex) const;

    // Header, payload and trailer (computed wide: a damaged DataSize cannot wrap).
    static ULONGLONG RecordSize(const _LOGHDR* pRecord);

    // How full the banks are, in percent: one bank, or two with continuous logging, where the bank switched
    // away from counts as full.
    void GetBufferFill(int& nBanks, int& nPercent0, int& nPercent1) const;

    // Cell texts of the record list, each from the record at a list index of the active view (GetRecordAt),
    // read in place; an index with no record gives the column's fallback.
    // Column 0: the kind (" URB") and the state ("init").
    void FormatCategory(CUSBLog* pDocument, INT_PTR nIndex, CString& strText, CString& strShortText) const;
    // Column 1: the sequence number (0 without a record); bBankBoundary is set for the last record of the
    // older bank while both banks hold records of the view.
    ULONG FormatSequence(CUSBLog* pDocument, INT_PTR nIndex, BOOL& bBankBoundary) const;
    void FormatRequest(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatDirection(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    // Column 4, in the unit and mode of the document's list view (seconds since the latest log start
    // without one).
    void FormatElapsedTime(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatTargetDeviceObject(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatTargetDevice(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatCfgIfcEp(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatIsoErrors(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatCbw(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatCsw(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatIrpAddress(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    void FormatIrpStatus(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const;
    // Row colours (0x00BBGGRR): the first column's by the record's kind, the other columns' for a record
    // after a sequence gap and for the trigger record; the system window colours otherwise.
    void GetRecordColours(CUSBLog* pDocument, INT_PTR nIndex, COLORREF& crText, COLORREF& crBackground) const;
    void GetRecordHighlight(CUSBLog* pDocument, INT_PTR nIndex, COLORREF& crText, COLORREF& crBackground) const;

    CUSBLog* GetDocument() const { return m_pDocument; }
    UINT GetSchema() const { return m_nSchema; }
    void SetSchema(UINT nSchema) { m_nSchema = nSchema; }
    CaptureBuffer::CCapturePair* GetCaptureBuffer() const { return m_pBuffer.get(); }
    BOOL IsContinuous() const { return m_bContinuous != 0; }
    BYTE GetCurrentBank() const { return m_nCurrentBank; }
    // Index storage, for measuring what the indexes cost.
    const CRecordIndex& GetBankIndex(int nBank) const { return nBank == 0 ? m_Bank0 : m_Bank1; }
    const CRecordIndex& GetFilteredIndex(int nBank) const { return nBank == 0 ? m_Filtered0 : m_Filtered1; }

private:
    // The record part read back: the data region mapped from the file, then each stored offset checked
    // against it and indexed in bank 0.
    void LoadRecords(CArchive& ar);
    void IndexLoadedOffsets(CArchive& ar, DWORD dwCount);
    // The record at a list index of the active view, or null for any index outside it (a negative one too): a
    // row outside the view shows no record rather than failing a paint.
    _LOGHDR* FindRecordAt(CUSBLog* pDocument, INT_PTR nIndex) const;
    // A view of that record for the document (without a record when there is none).
    CLogRecordDecode RowView(CUSBLog* pDocument, INT_PTR nIndex) const;
    CRecordIndex& BankIndex(int nBank) { return nBank == 0 ? m_Bank0 : m_Bank1; }
    CRecordIndex& FilteredIndex(int nBank) { return nBank == 0 ? m_Filtered0 : m_Filtered1; }
    // The bank whose bytes hold the whole record, or -1.
    int BankOf(const _LOGHDR* pRecord) const;
    // Entry i of the list formed by an older and a current index; null past the end.
    static _LOGHDR* ListAt(const CRecordIndex& older, const CRecordIndex& current, INT_PTR nIndex);
    void EmptyIndexes();
    void DeleteBuffer();

    CUSBLog* m_pDocument;
    UINT m_nSchema;
    std::unique_ptr<CaptureBuffer::CCapturePair> m_pBuffer;
    BYTE m_bContinuous;
    BYTE m_bTimeOriginUnset;
    LONGLONG m_llTimeOrigin;
    LONGLONG m_llLatestStart;
    BYTE m_nCurrentBank;
    CRecordIndex m_Bank0;
    CRecordIndex m_Bank1;
    CRecordIndex m_Filtered0;
    CRecordIndex m_Filtered1;
};

// The capture buffer's lock (the mutex of the bank being written) held for a scope: taken by the constructor
// within the timeout, released by Unlock or at the scope's end when it was taken. A lock that was not taken is
// never released, so a failed wait leaves another holder's lock alone. Banks switch only with the lock
// released, so the bank released is the bank taken.
class CBufferLock {
public:
    CBufferLock(CLogRecords& records, DWORD dwTimeout) : m_records(records) { Lock(dwTimeout); }
    ~CBufferLock() { Unlock(); }
    CBufferLock(const CBufferLock&) = delete;
    CBufferLock& operator=(const CBufferLock&) = delete;

    BOOL IsLocked() const { return m_bLocked; }
    // Taken again after an Unlock; TRUE when it is held (also when it already was).
    BOOL Lock(DWORD dwTimeout) {
        if (!m_bLocked)
            m_bLocked = m_records.LockBuffer(dwTimeout);
        return m_bLocked;
    }
    void Unlock() {
        if (m_bLocked)
            m_records.UnlockBuffer();
        m_bLocked = FALSE;
    }

private:
    CLogRecords& m_records;
    BOOL m_bLocked = FALSE;
};

} // namespace LogRecords
