#include "app/core/records/LogRecords.h"

#include <cstring>
#include <new>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"

namespace LogRecords {

using CaptureBuffer::CCaptureBuffer;
using CaptureBuffer::CCapturePair;

IMPLEMENT_SERIAL(CLogRecords, CObject, VERSIONABLE_SCHEMA | CLogRecords::CurrentSchema)

namespace {

// Percent of a bank's bytes written, truncated, as the fill gauge shows it.
int FillPercent(const CCaptureBuffer* pBank) {
    if (!pBank || !pBank->GetBase() || pBank->GetBankSize() == 0)
        return 0;
    const auto written = static_cast<float>(pBank->GetCurrent() - pBank->GetBase());
    return static_cast<int>(written / static_cast<float>(pBank->GetBankSize()) * 100.0f);
}

} // namespace

CLogRecords::CLogRecords() : CLogRecords(nullptr) {}

CLogRecords::CLogRecords(CUSBLog* pDocument, UINT nSchema)
    : m_pDocument(pDocument), m_nSchema(nSchema), m_pBuffer(nullptr), m_bContinuous(0), m_bTimeOriginUnset(1),
      m_llTimeOrigin(0), m_llLatestStart(0), m_nCurrentBank(0) {}

CLogRecords::~CLogRecords() {
    RemoveAll();
    DeleteBuffer();
}

BOOL CLogRecords::LockBuffer(DWORD dwTimeout) {
    return m_pBuffer && m_pBuffer->Lock(dwTimeout);
}

BOOL CLogRecords::UnlockBuffer() {
    return m_pBuffer && m_pBuffer->Unlock();
}

BOOL CLogRecords::GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft) {
    return m_pBuffer && m_pBuffer->GetWriteSpace(pWritePointer, dwBytesLeft);
}

void CLogRecords::AdvanceWrite(DWORD dwBytes) {
    if (m_pBuffer)
        m_pBuffer->Advance(dwBytes);
}

void CLogRecords::SwitchBanks(CUSBLog* pDocument) {
    if (m_pBuffer)
        m_pBuffer->SwitchBanks(pDocument);
}

void CLogRecords::SetCapturing() {
    m_bContinuous = 1;
    if (m_pBuffer)
        m_pBuffer->SetSwitching(TRUE);
}

void CLogRecords::ClearCapturing() {
    m_bContinuous = 0;
    if (m_pBuffer)
        m_pBuffer->SetSwitching(FALSE);
}

BOOL CLogRecords::CreateBuffer(DWORD dwSize, DWORD dwReserve) {
    if (m_pBuffer)
        return ResetBuffer(dwSize, dwReserve);
    m_pBuffer.reset(new (std::nothrow) CCapturePair);
    if (!m_pBuffer)
        return FALSE;
    m_pBuffer->SetSwitching(m_bContinuous);
    return m_pBuffer->Create(dwSize, dwReserve);
}

BOOL CLogRecords::ResetBuffer(DWORD dwSize, DWORD dwReserve) {
    if (!m_pBuffer)
        return CreateBuffer(dwSize, dwReserve);
    // Nothing may keep pointing into the banks about to be unmapped.
    EmptyIndexes();
    m_nCurrentBank = 0;
    m_pBuffer->DeleteBanks();
    return m_pBuffer->Create(dwSize, dwReserve);
}

BOOL CLogRecords::OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength) {
    if (!m_pBuffer) {
        m_pBuffer.reset(new (std::nothrow) CCapturePair);
        if (!m_pBuffer)
            return FALSE;
        m_pBuffer->SetSwitching(m_bContinuous);
    }
    EmptyIndexes();
    m_nCurrentBank = 0;
    m_pBuffer->DeleteBanks();
    return m_pBuffer->OpenLogFile(lpszPath, dwOffset, dwLength);
}

void CLogRecords::SetTimeOrigin(LONGLONG llTimeStamp) {
    if (!m_bTimeOriginUnset)
        return;
    m_llTimeOrigin = llTimeStamp;
    m_bTimeOriginUnset = 0;
}

int CLogRecords::BankOf(const _LOGHDR* pRecord) const {
    if (!m_pBuffer)
        return -1;
    for (int nBank = 0; nBank < 2; ++nBank) {
        const CCaptureBuffer* pBank = m_pBuffer->GetBank(nBank);
        // The header first: its DataSize says how far the rest reaches.
        if (pBank && pBank->Holds(pRecord, LOGHDR_SIZE))
            return pBank->Holds(pRecord, RecordSize(pRecord)) ? nBank : -1;
    }
    return -1;
}

void CLogRecords::Add(_LOGHDR* pRecord) {
    const int nBank = BankOf(pRecord);
    if (nBank < 0) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DOCUMENT, "Record at %p lies in no capture bank; not indexed",
                  static_cast<void*>(pRecord));
        return;
    }
    BankIndex(nBank).Add(pRecord);
}

void CLogRecords::AddFiltered(CUSBLog* pDocument, _LOGHDR* pRecord) {
    const CFilterDefinition* pFilter = pDocument ? pDocument->GetBufferFilter() : nullptr;
    if (!pFilter)
        return;
    // The bank first: the filter trusts the record's DataSize, which only a record inside a bank has earned.
    const int nBank = BankOf(pRecord);
    if (nBank < 0) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DOCUMENT, "Record at %p lies in no capture bank; not filtered",
                  static_cast<void*>(pRecord));
        return;
    }
    if (pFilter->Match(pRecord, pDocument->GetRecordSchema()))
        FilteredIndex(nBank).Add(pRecord);
}

void CLogRecords::SetCurrentBank(CUSBLog* pDocument) {
    (void)pDocument;
    m_nCurrentBank ^= 1;
    BankIndex(m_nCurrentBank).RemoveAll();
    FilteredIndex(m_nCurrentBank).RemoveAll();
}

void CLogRecords::ClearFiltered() {
    m_Filtered0.RemoveAll();
    m_Filtered1.RemoveAll();
}

void CLogRecords::EmptyIndexes() {
    m_Bank0.RemoveAll();
    m_Bank1.RemoveAll();
    ClearFiltered();
}

void CLogRecords::RemoveAll() {
    EmptyIndexes();
    m_nCurrentBank = 0;
    if (m_pBuffer)
        m_pBuffer->Reset();
    m_bTimeOriginUnset = 1;
}

void CLogRecords::DeleteBuffer() {
    if (!m_pBuffer)
        return;
    if (m_pBuffer->HasSection())
        m_pBuffer->Close();
    m_pBuffer.reset();
}

INT_PTR CLogRecords::GetDisplayCount(CUSBLog* pDocument) const {
    if (pDocument && pDocument->IsBufferFilterOn())
        return m_Filtered0.GetSize() + m_Filtered1.GetSize();
    return GetCount();
}

INT_PTR CLogRecords::GetBankCount(int nBank) const {
    return nBank == 0 || nBank == 1 ? GetBankIndex(nBank).GetSize() : 0;
}

INT_PTR CLogRecords::GetFilteredBankCount(int nBank) const {
    return nBank == 0 || nBank == 1 ? GetFilteredIndex(nBank).GetSize() : 0;
}

_LOGHDR* CLogRecords::ListAt(const CRecordIndex& older, const CRecordIndex& current, INT_PTR nIndex) {
    if (nIndex < older.GetSize())
        return older.GetData()[nIndex];
    nIndex -= older.GetSize();
    return nIndex < current.GetSize() ? current.GetData()[nIndex] : nullptr;
}

_LOGHDR* CLogRecords::GetAt(INT_PTR nIndex) const {
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    return ListAt(GetBankIndex(m_nCurrentBank ^ 1), GetBankIndex(m_nCurrentBank), nIndex);
}

_LOGHDR* CLogRecords::GetBankRecordAt(int nBank, INT_PTR nIndex) const {
    if (nBank != 0 && nBank != 1)
        return nullptr;
    const CRecordIndex& index = GetBankIndex(nBank);
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    return nIndex < index.GetSize() ? index.GetData()[nIndex] : nullptr;
}

_LOGHDR* CLogRecords::GetRecordAt(CUSBLog* pDocument, INT_PTR nIndex) const {
    if (!pDocument || !pDocument->IsBufferFilterOn())
        return GetAt(nIndex);
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    return ListAt(GetFilteredIndex(m_nCurrentBank ^ 1), GetFilteredIndex(m_nCurrentBank), nIndex);
}

ULONGLONG CLogRecords::RecordSize(const _LOGHDR* pRecord) {
    ULONG dataSize;
    std::memcpy(&dataSize, reinterpret_cast<const BYTE*>(pRecord) + offsetof(_LOGHDR, DataSize), sizeof dataSize);
    return RecordSizeFor(dataSize);
}

void CLogRecords::GetBufferFill(int& nBanks, int& nPercent0, int& nPercent1) const {
    nBanks = m_bContinuous ? 2 : 1;
    const CCaptureBuffer* pBank0 = m_pBuffer ? m_pBuffer->GetBank(0) : nullptr;
    const CCaptureBuffer* pBank1 = m_pBuffer ? m_pBuffer->GetBank(1) : nullptr;
    nPercent0 = m_bContinuous && m_nCurrentBank == 1 ? 100 : FillPercent(pBank0);
    nPercent1 = 0;
    if (!m_bContinuous)
        return;
    const bool bank1HoldsBytes = pBank1 && pBank1->GetCurrent() > pBank1->GetBase();
    nPercent1 = m_nCurrentBank == 0 && bank1HoldsBytes ? 100 : FillPercent(pBank1);
}

} // namespace LogRecords
