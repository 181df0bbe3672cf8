#include "app/core/capture/CaptureBuffer.h"

#include "app/core/diagnostics/Trace.h"
#include "app/ui/dialogs/StopMessage.h"

namespace CaptureBuffer {

IMPLEMENT_SERIAL(CCaptureBuffer, CMemMapFile, 1)

namespace {

constexpr char kAllocateFailed[] = "Failed to allocate memory map.\n";
constexpr char kMutexFailed[] = "Failed to acquire memory-map mutex.\n";
constexpr char kLoadFailed[] = "Failed to load memory-mapped log file.\n";
constexpr char kLockFailed[] = "Failed to acquire memory map.\n";

// Every failure of a bank is told to the user as the program's stop message; the caller decides what happens
// next.
void ShowBankMessage(LPCSTR text) {
    TDL_TRACE(TRACE_ERROR, TRACE_AREA_DOCUMENT, "%s", text);
    ShowStopMessage(text);
}

// The mapping's mutex for the length of a scope, waited for without limit; with bTake false (the caller holds
// the bank already) nothing is taken or released.
class ScopedMappingLock {
public:
    ScopedMappingLock(CMemMapFile& mapping, bool bTake)
        : m_mapping(mapping), m_bTaken(bTake && mapping.Lock(INFINITE) != nullptr) {}
    ~ScopedMappingLock() {
        if (m_bTaken)
            m_mapping.Unlock();
    }
    ScopedMappingLock(const ScopedMappingLock&) = delete;
    ScopedMappingLock& operator=(const ScopedMappingLock&) = delete;
    bool IsTaken() const { return m_bTaken; }

private:
    CMemMapFile& m_mapping;
    const bool m_bTaken;
};

} // namespace

CCaptureBuffer::CCaptureBuffer()
    : m_dwBankSize(0), m_pBase(nullptr), m_pEnd(nullptr), m_pCurrent(nullptr), m_pHighWater(nullptr), m_dwReserve(0) {}

CCaptureBuffer::~CCaptureBuffer() {
    Close();
}

void CCaptureBuffer::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << static_cast<UINT>(m_dwBankSize);
    else
        ar >> m_dwBankSize;
}

BOOL CCaptureBuffer::Create(LPCSTR lpszName, DWORD dwSize, DWORD dwReserve) {
    if (HasMapping())
        return TRUE;
    m_dwReserve = dwReserve;
    m_dwBankSize = dwSize;
    if (!CMemMapFile::Create(lpszName, dwSize, FALSE)) {
        ShowBankMessage(kAllocateFailed);
        return FALSE;
    }
    ScopedMappingLock lock(*this, true);
    if (!lock.IsTaken()) {
        // Half made, the bank would pass for made at the next Create and never get its pointers.
        CMemMapFile::Close();
        ShowBankMessage(kMutexFailed);
        return FALSE;
    }
    m_pBase = m_pCurrent = static_cast<BYTE*>(GetView());
    m_pEnd = m_pBase + dwSize;
    // A reserve larger than the bank leaves no room below the mark: the mark is the base, never before it.
    m_pHighWater = dwReserve < dwSize ? m_pEnd - dwReserve : m_pBase;
    return TRUE;
}

BOOL CCaptureBuffer::OpenLogFile(LPCSTR lpszPath, DWORD dwOffset, DWORD dwLength) {
    ClearPointers();
    if (!Open(lpszPath, TRUE, FILE_SHARE_READ, FALSE, FALSE, FALSE) || dwOffset > GetSize()) {
        CMemMapFile::Close();
        ShowBankMessage(kLoadFailed);
        return FALSE;
    }
    ScopedMappingLock lock(*this, true);
    if (!lock.IsTaken()) {
        CMemMapFile::Close();
        ShowBankMessage(kMutexFailed);
        return FALSE;
    }
    // A linearised file is shorter than the capacity it was saved with: the bank ends where the file does.
    const DWORD available = GetSize() - dwOffset;
    m_dwBankSize = dwLength < available ? dwLength : available;
    m_pBase = m_pCurrent = static_cast<BYTE*>(GetView()) + dwOffset;
    m_pEnd = m_pHighWater = m_pBase + m_dwBankSize;
    return TRUE;
}

void CCaptureBuffer::Reset() {
    // A holder of the bank's lock resets under the lock it has; unlocking here would end that lock early.
    const bool held = IsLocked();
    ScopedMappingLock lock(*this, !held);
    if (!held && !lock.IsTaken()) {
        ShowBankMessage(kMutexFailed);
        return;
    }
    // The base stays where it was set: at the view for a bank, at the offset for a file.
    m_pCurrent = m_pBase;
}

BOOL CCaptureBuffer::Lock(DWORD dwTimeout) {
    // The wait's own answer: the locked flag also says so while another thread holds the bank.
    if (CMemMapFile::Lock(dwTimeout) == nullptr) {
        ShowBankMessage(kLockFailed);
        return FALSE;
    }
    return TRUE;
}

BOOL CCaptureBuffer::Unlock() {
    return CMemMapFile::Unlock();
}

void CCaptureBuffer::Close() {
    CMemMapFile::Unlock();
    CMemMapFile::Close();
    ClearPointers();
}

void CCaptureBuffer::GetWriteSpace(BYTE*& pWritePointer, DWORD& dwBytesLeft) const {
    pWritePointer = m_pCurrent;
    dwBytesLeft = static_cast<DWORD>(m_pEnd - m_pCurrent);
}

void CCaptureBuffer::Advance(DWORD dwBytes) {
    const auto left = static_cast<DWORD>(m_pEnd - m_pCurrent);
    m_pCurrent += dwBytes < left ? dwBytes : left;
}

void CCaptureBuffer::ClearPointers() {
    m_pBase = m_pEnd = m_pCurrent = m_pHighWater = nullptr;
}

} // namespace CaptureBuffer
