#include "app/core/capture/CapturePair.h"

#include <new>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"

namespace CaptureBuffer {

IMPLEMENT_SERIAL(CCapturePair, CObject, 1)

CCapturePair::CCapturePair()
    : m_pBank0(nullptr), m_pBank1(nullptr), m_nCurrentBank(0), m_dwBankSize(0), m_bSwitching(0) {}

CCapturePair::~CCapturePair() {
    DeleteBanks();
}

void CCapturePair::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << static_cast<UINT>(m_dwBankSize) << static_cast<BYTE>(m_bSwitching ? 1 : 0);
        ar << static_cast<const CObject*>(m_pBank0.get());
        return;
    }
    BYTE switching = 0;
    ar >> m_dwBankSize >> switching;
    m_bSwitching = switching ? 1 : 0;
    CCaptureBuffer* pBank = nullptr;
    ar >> pBank;
    m_pBank0.reset(pBank);
}

BOOL CCapturePair::Create(DWORD dwSize, DWORD dwReserve) {
    m_dwBankSize = dwSize;
    if (!m_pBank0)
        m_pBank0.reset(new (std::nothrow) CCaptureBuffer);
    if (!m_pBank1)
        m_pBank1.reset(new (std::nothrow) CCaptureBuffer);
    if (!m_pBank0 || !m_pBank1) {
        DeleteBanks();
        return FALSE;
    }
    if (!m_pBank0->Create("Bank0", dwSize, dwReserve) || !m_pBank1->Create("Bank1", dwSize, dwReserve)) {
        DeleteBanks();
        return FALSE;
    }
    return TRUE;
}

BOOL CCapturePair::OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength) {
    if (!m_pBank0)
        m_pBank0.reset(new (std::nothrow) CCaptureBuffer);
    if (!m_pBank0)
        return FALSE;
    return m_pBank0->OpenLogFile(lpszPath, dwOffset, dwLength);
}

void CCapturePair::Close() {
    for (CCaptureBuffer* pBank : {m_pBank0.get(), m_pBank1.get()})
        if (pBank && pBank->HasMapping())
            pBank->Close();
}

void CCapturePair::DeleteBanks() {
    // A bank's destructor closes it.
    m_pBank0.reset();
    m_pBank1.reset();
    m_nCurrentBank = 0;
}

BOOL CCapturePair::Lock(DWORD dwTimeout) {
    CCaptureBuffer* pBank = WriteBank();
    return pBank && pBank->Lock(dwTimeout);
}

BOOL CCapturePair::Unlock() {
    CCaptureBuffer* pBank = WriteBank();
    return pBank && pBank->Unlock();
}

BOOL CCapturePair::GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft) const {
    CCaptureBuffer* pBank = WriteBank();
    if (!pBank || (m_bSwitching && pBank->IsBeyondHighWater()))
        return FALSE;
    pBank->GetWriteSpace(pWritePointer, dwBytesLeft);
    return TRUE;
}

void CCapturePair::SwitchBanks(CUSBLog* pDocument) {
    CCaptureBuffer* pBank = Current();
    const BYTE nOther = m_nCurrentBank ^ 1;
    CCaptureBuffer* pOther = GetBank(nOther);
    if (!pBank || !pOther || !pBank->IsBeyondHighWater())
        return;
    if (pDocument && pDocument->GetLogRecords())
        pDocument->GetLogRecords()->SetCurrentBank(pDocument);
    m_nCurrentBank = nOther;
    pOther->Reset();
}

void CCapturePair::Advance(DWORD dwBytes) {
    CCaptureBuffer* pBank = WriteBank();
    if (pBank)
        pBank->Advance(dwBytes);
}

void CCapturePair::Reset() {
    m_nCurrentBank = 0;
    for (CCaptureBuffer* pBank : {m_pBank0.get(), m_pBank1.get()})
        if (pBank && pBank->HasMapping())
            pBank->Reset();
}

BYTE* CCapturePair::GetBankBase(int nBank) const {
    CCaptureBuffer* pBank = GetBank(nBank);
    return pBank ? pBank->GetBase() : nullptr;
}

BYTE* CCapturePair::GetBankEnd(int nBank) const {
    CCaptureBuffer* pBank = GetBank(nBank);
    return pBank ? pBank->GetEnd() : nullptr;
}

BYTE* CCapturePair::GetBankCurrent(int nBank) const {
    CCaptureBuffer* pBank = GetBank(nBank);
    return pBank ? pBank->GetCurrent() : nullptr;
}

BOOL CCapturePair::HasSection() const {
    return (m_pBank0 && m_pBank0->HasMapping()) || (m_pBank1 && m_pBank1->HasMapping());
}

} // namespace CaptureBuffer
