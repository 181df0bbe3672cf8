// The record part of a capture log file. Stored: capacity, N, the time origin, N offsets, then the data
// region: one bank whole (its unused bytes as zeros), or, when both banks hold records, the newest records
// that fit one capacity made linear, oldest first. Loaded: the data region is mapped read-only from the file
// and every offset is checked against it before its record is indexed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/records/SplitQuad.h"
#include "app/ui/dialogs/LogProgress.h"
#include "app/ui/dialogs/ProgressDlg.h"
#include "common/RecordFrame.h"

namespace LogRecords {

namespace {

// Offsets read or written per block: the file is handled in slices, not one value at a time.
constexpr size_t kOffsetBlock = 4096;

// One record of the data region: its bytes and its offset in the region.
struct SavedRecord {
    const BYTE* pRecord;
    DWORD dwOffset;
};

// The data region as slices of the banks: records are back to back, so a region is at most two runs.
struct SavedRegion {
    std::vector<SavedRecord> records;
    const BYTE* pFirst = nullptr; // older bank's run (linearised) or the bank's base
    size_t firstLength = 0;
    const BYTE* pSecond = nullptr; // the current bank's run (linearised only)
    size_t secondLength = 0;
    size_t zeros = 0; // written behind the runs: the rest of a whole bank
};

const BYTE* EndOf(const _LOGHDR* pRecord) {
    return reinterpret_cast<const BYTE*>(pRecord) + CLogRecords::RecordSize(pRecord);
}

// Writes zeros in slices, so a large bank needs no buffer of its size.
void WriteZeros(CArchive& ar, size_t nBytes) {
    static const BYTE kZeros[4096] = {};
    while (nBytes > 0) {
        const size_t n = std::min(nBytes, sizeof kZeros);
        ar.Write(kZeros, static_cast<UINT>(n));
        nBytes -= n;
    }
}

// The capacity a file states: the pair's bank size, or the largest bank (a saved log's one bank, over the file,
// tells it).
DWORD StoredCapacity(const CaptureBuffer::CCapturePair* pPair) {
    DWORD dwCapacity = pPair != nullptr ? pPair->GetBankSize() : 0;
    for (int nBank = 0; pPair != nullptr && nBank < 2; ++nBank)
        if (const CaptureBuffer::CCaptureBuffer* pBank = pPair->GetBank(nBank))
            dwCapacity = std::max(dwCapacity, pBank->GetBankSize());
    return dwCapacity;
}

// Both banks in use: all of the current bank, and the newest older records that still fit one capacity,
// made linear, oldest first. What fits is measured from the end of the older bank's last record: the bank
// switched before it was full, and the unused bytes behind its last record are not saved.
SavedRegion LinearisedRegion(const CLogRecords& store, DWORD dwCapacity) {
    SavedRegion region;
    const CaptureBuffer::CCapturePair* pPair = store.GetCaptureBuffer();
    const int nCurrentBank = store.GetCurrentBank();
    const int nOlderBank = nCurrentBank ^ 1;
    const INT_PTR nOlder = store.GetBankCount(nOlderBank);
    const INT_PTR nCurrent = store.GetBankCount(nCurrentBank);
    const BYTE* pCurrentBase = pPair->GetBankBase(nCurrentBank);
    const size_t used = static_cast<size_t>(EndOf(store.GetBankRecordAt(nCurrentBank, nCurrent - 1)) - pCurrentBase);
    const BYTE* pOlderEnd = EndOf(store.GetBankRecordAt(nOlderBank, nOlder - 1));
    const size_t budget = dwCapacity > used ? dwCapacity - used : 0;
    INT_PTR nFirstKept = nOlder;
    for (INT_PTR i = 0; i < nOlder; ++i) {
        const auto* pRecord = reinterpret_cast<const BYTE*>(store.GetBankRecordAt(nOlderBank, i));
        if (static_cast<size_t>(pOlderEnd - pRecord) <= budget) {
            nFirstKept = i;
            break;
        }
    }
    if (nFirstKept < nOlder) {
        region.pFirst = reinterpret_cast<const BYTE*>(store.GetBankRecordAt(nOlderBank, nFirstKept));
        region.firstLength = static_cast<size_t>(pOlderEnd - region.pFirst);
        for (INT_PTR i = nFirstKept; i < nOlder; ++i) {
            const auto* pRecord = reinterpret_cast<const BYTE*>(store.GetBankRecordAt(nOlderBank, i));
            region.records.push_back({pRecord, static_cast<DWORD>(pRecord - region.pFirst)});
        }
    }
    region.pSecond = pCurrentBase;
    region.secondLength = used;
    for (INT_PTR i = 0; i < nCurrent; ++i) {
        const auto* pRecord = reinterpret_cast<const BYTE*>(store.GetBankRecordAt(nCurrentBank, i));
        region.records.push_back({pRecord, static_cast<DWORD>(region.firstLength + (pRecord - pCurrentBase))});
    }
    return region;
}

// One bank, or none: that bank whole. Behind its last record lie bytes of earlier, cleared sessions, which
// are nobody's to pass on: zeros take their place.
SavedRegion WholeBankRegion(const CLogRecords& store, DWORD dwCapacity) {
    SavedRegion region;
    const CaptureBuffer::CCapturePair* pPair = store.GetCaptureBuffer();
    const int nCurrentBank = store.GetCurrentBank();
    const INT_PTR nOlder = store.GetBankCount(nCurrentBank ^ 1);
    const int nBank = nOlder != 0 ? nCurrentBank ^ 1 : nCurrentBank;
    const INT_PTR nRecords = nOlder != 0 ? nOlder : store.GetBankCount(nCurrentBank);
    const BYTE* pBase = pPair != nullptr ? pPair->GetBankBase(nRecords != 0 ? nBank : 0) : nullptr;
    region.pFirst = pBase;
    if (nRecords != 0)
        region.firstLength = static_cast<size_t>(EndOf(store.GetBankRecordAt(nBank, nRecords - 1)) - pBase);
    region.zeros = dwCapacity > region.firstLength ? dwCapacity - region.firstLength : 0;
    for (INT_PTR i = 0; i < nRecords; ++i) {
        const auto* pRecord = reinterpret_cast<const BYTE*>(store.GetBankRecordAt(nBank, i));
        region.records.push_back({pRecord, static_cast<DWORD>(pRecord - pBase)});
    }
    return region;
}

// The region's offsets; the save's progress window, when shown, follows them. FALSE when it was cancelled.
bool StoreOffsets(CArchive& ar, const SavedRegion& region, CLogProgress* pProgress) {
    const auto dwCount = static_cast<DWORD>(region.records.size());
    int nShownPercent = -1;
    for (DWORD i = 0; i < dwCount; ++i) {
        ar << region.records[i].dwOffset;
        if (pProgress == nullptr)
            continue;
        // The bar moves by whole percents; between them the window is still kept responsive now and then.
        const int nPercent = static_cast<int>((static_cast<ULONGLONG>(i) + 1) * 100 / dwCount);
        if (nPercent != nShownPercent || (i & 0x3FF) == 0) {
            if (nPercent != nShownPercent)
                ProgressDlgSetPos(pProgress, nPercent);
            nShownPercent = nPercent;
            if (!ProgressDlgPumpMessages(pProgress))
                return false;
        }
    }
    return true;
}

} // namespace

void CLogRecords::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        StoreRecords(ar);
    else
        LoadRecords(ar);
}

void CLogRecords::LoadRecords(CArchive& ar) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CLogRecords::Serialize (loading)");
    DWORD dwCapacity = 0;
    DWORD dwCount = 0;
    ar >> dwCapacity >> dwCount;
    const LONGLONG llOrigin = LoadSplitQuad(ar);

    // The file's position is the next byte to read once the archive gives back what it read ahead.
    ar.Flush();
    CFile* pFile = ar.GetFile();
    const ULONGLONG nPosition = pFile->GetPosition();
    const ULONGLONG nFileLength = pFile->GetLength();
    const ULONGLONG nDataOffset = nPosition + 4ull * dwCount;
    if (nPosition > nFileLength || nDataOffset > nFileLength || nDataOffset > 0xFFFFFFFFull)
        AfxThrowArchiveException(CArchiveException::endOfFile);

    EmptyIndexes();
    m_bTimeOriginUnset = 1;
    SetTimeOrigin(llOrigin);
    m_llLatestStart = llOrigin;
    if (!OpenLogFile(pFile->GetFilePath(), static_cast<DWORD>(nDataOffset), dwCapacity))
        AfxThrowArchiveException(CArchiveException::genericException);
    m_pBuffer->SetSwitching(FALSE);
    IndexLoadedOffsets(ar, dwCount);
}

void CLogRecords::IndexLoadedOffsets(CArchive& ar, DWORD dwCount) {
    const CaptureBuffer::CCaptureBuffer* pBank = m_pBuffer->GetBank(0);
    BYTE* pBase = pBank->GetBase();
    const ULONGLONG nDataLength = pBank->GetBankSize();
    std::vector<DWORD> offsets(std::min<size_t>(dwCount, kOffsetBlock));
    for (DWORD dwDone = 0; dwDone < dwCount;) {
        const DWORD dwSlice = static_cast<DWORD>(std::min<size_t>(dwCount - dwDone, kOffsetBlock));
        ar.EnsureRead(offsets.data(), dwSlice * 4);
        for (DWORD i = 0; i < dwSlice; ++i) {
            // Little-endian on disk as in memory on this machine.
            const ULONGLONG nOffset = offsets[i];
            if (nOffset + RECORD_FRAME_SIZE > nDataLength)
                AfxThrowArchiveException(CArchiveException::genericException);
            BYTE* pRecord = pBase + nOffset;
            if (nOffset + RecordSizeFor(LogHdr::DataSize(pRecord)) > nDataLength)
                AfxThrowArchiveException(CArchiveException::genericException);
            m_Bank0.Add(reinterpret_cast<_LOGHDR*>(pRecord));
        }
        dwDone += dwSlice;
    }
}

DWORD CLogRecords::StoreRecords(CArchive& ar) const {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CLogRecords::Serialize (storing)");
    const DWORD dwCapacity = StoredCapacity(m_pBuffer.get());
    const bool bothBanks = GetBankCount(m_nCurrentBank ^ 1) != 0 && GetBankCount(m_nCurrentBank) != 0;
    const SavedRegion region = bothBanks ? LinearisedRegion(*this, dwCapacity) : WholeBankRegion(*this, dwCapacity);

    const auto dwCount = static_cast<DWORD>(region.records.size());
    ar << dwCapacity << dwCount;
    StoreSplitQuad(ar, m_llTimeOrigin);
    CLogProgress* pProgress = m_pDocument != nullptr ? m_pDocument->GetSaveProgress() : nullptr;
    if (pProgress != nullptr && !pProgress->IsShown())
        pProgress = nullptr;
    // Cancelled: not one more byte.
    if (!StoreOffsets(ar, region, pProgress))
        return dwCount;
    if (region.firstLength != 0)
        ar.Write(region.pFirst, static_cast<UINT>(region.firstLength));
    if (region.secondLength != 0)
        ar.Write(region.pSecond, static_cast<UINT>(region.secondLength));
    WriteZeros(ar, region.zeros);
    return dwCount;
}

} // namespace LogRecords
