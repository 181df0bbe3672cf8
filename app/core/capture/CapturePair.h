// CaptureBuffer::CCapturePair: the capture buffer, two equal banks "Bank0" and "Bank1". Without continuous
// logging only bank 0 is used and the capture ends when it is full; with it the banks take turns: once the
// current bank is beyond its high-water mark, the other one is emptied and becomes current.
//
// Locks: each bank's own mutex (CCaptureBuffer). The pair has no lock of its own: the capture thread
// switches banks after releasing the current bank's mutex.
#pragma once

#include <memory>

#include "app/core/capture/CaptureBuffer.h"

class CUSBLog;

namespace CaptureBuffer {

class CCapturePair : public CObject {
    DECLARE_SERIAL(CCapturePair)

public:
    CCapturePair();
    ~CCapturePair() override;

    // Bank size, switching flag and bank 0 as an object.
    void Serialize(CArchive& ar) override;

    // Creates both banks (the bank objects are kept across Close, so a second Create after Close makes new
    // sections under the same names). On failure both banks are deleted.
    BOOL Create(DWORD dwSize, DWORD dwReserve);
    // Bank 0 over a saved file; bank 1 stays absent.
    BOOL OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength);
    // Unmaps each bank that has a section; the bank objects stay.
    void Close();
    // Closes and deletes both banks.
    void DeleteBanks();

    // The mutex of the bank being written (below).
    BOOL Lock(DWORD dwTimeout);
    BOOL Unlock();
    // The free space to read into: bank 0's without switching; with switching the current bank's, or false
    // when that bank is beyond its high-water mark (time to switch).
    BOOL GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft) const;
    // When the current bank is beyond its high-water mark: the document's record store lets go of the other
    // bank's records, the other bank becomes current and is reset. Without a document the store's step is
    // left to a caller that already took it.
    void SwitchBanks(CUSBLog* pDocument);
    void Advance(DWORD dwBytes);
    // Bank 0 current; each bank with a section back to empty.
    void Reset();

    CCaptureBuffer* GetBank(int nBank) const {
        return nBank == 0 ? m_pBank0.get() : nBank == 1 ? m_pBank1.get() : nullptr;
    }
    // Null for a bank that does not exist.
    BYTE* GetBankBase(int nBank) const;
    BYTE* GetBankEnd(int nBank) const;
    BYTE* GetBankCurrent(int nBank) const;
    BOOL HasSection() const;

    BYTE GetCurrentBank() const { return m_nCurrentBank; }
    DWORD GetBankSize() const { return m_dwBankSize; }
    BOOL IsSwitching() const { return m_bSwitching != 0; }
    void SetSwitching(BOOL bSwitching) { m_bSwitching = bSwitching ? 1 : 0; }

private:
    CCaptureBuffer* Current() const { return GetBank(m_nCurrentBank); }
    // The bank the driver writes into, whose mutex a read holds: bank 0 unless switching.
    CCaptureBuffer* WriteBank() const { return m_bSwitching ? Current() : m_pBank0.get(); }

    std::unique_ptr<CCaptureBuffer> m_pBank0;
    std::unique_ptr<CCaptureBuffer> m_pBank1;
    BYTE m_nCurrentBank;
    DWORD m_dwBankSize;
    BYTE m_bSwitching;
};

} // namespace CaptureBuffer
