// The driver's event log as GET_MEMLOG hands it out (MEMLOG_CONTROL, then the ring of 32-byte MEMLOG_ENTRY
// slots), judged and written as the comma-separated rows support reads: three rows of the block's own facts
// (App0: sizes, App1: addresses and index, App2: mask, ring size, enabled), then the entries newest first.
#pragma once

#include "afx.h"
#include "common/Memlog.h"

class CDiagnosticsLog {
public:
    // A block whose size the rows can be written from: the control block and a whole number of entries.
    static BOOL IsSoundSize(DWORD dwSize);

    // The block must be of a sound size. Its ring is taken from the size the driver handed out, never from
    // the block's own LogAllocSize.
    CDiagnosticsLog(const BYTE* pBlock, DWORD dwSize);

    DWORD GetEntryCount() const { return m_nEntries; }
    const MEMLOG_CONTROL& GetControl() const { return m_control; }
    // The slot of the last written entry; 0 when CurEntry does not point at a slot of the ring (IsCurEntrySound
    // FALSE), so that the rows then start at the first slot.
    DWORD GetNewestSlot() const { return m_nNewest; }
    BOOL IsCurEntrySound() const { return m_bCurEntrySound; }

    // Every row, each ended by "\n"; entries with a zero tag are left out but keep their running numbers.
    CString FormatRows() const;

private:
    MEMLOG_ENTRY EntryAt(DWORD nSlot) const;

    const BYTE* m_pBlock;
    DWORD m_dwSize;
    MEMLOG_CONTROL m_control;
    DWORD m_nEntries;
    DWORD m_nNewest = 0;
    BOOL m_bCurEntrySound = FALSE;
};
