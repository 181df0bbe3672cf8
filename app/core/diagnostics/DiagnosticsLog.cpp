#include "app/core/diagnostics/DiagnosticsLog.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr DWORD kControlSize = sizeof(MEMLOG_CONTROL);
constexpr DWORD kEntrySize = sizeof(MEMLOG_ENTRY);

// One tag character: a zero byte would end the row's text early, so it is shown as a point.
char TagChar(ULONG64 tag, int index) {
    const char c = static_cast<char>((tag >> (8 * index)) & 0xFF);
    return c != '\0' ? c : '.';
}

// %p writes a value as the 16 upper-case digits the rows show.
const void* AsPointer(ULONG64 value) {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(value));
}

// A row: four tag characters, three values as 16 upper-case hexadecimal digits, a 4-digit number.
void AppendRow(CString& rows, ULONG64 tag, ULONG64 value1, ULONG64 value2, ULONG64 value3, DWORD number) {
    rows.AppendFormat("%c%c%c%c,%p,%p,%p,%04d\n", TagChar(tag, 0), TagChar(tag, 1), TagChar(tag, 2), TagChar(tag, 3),
                      AsPointer(value1), AsPointer(value2), AsPointer(value3), static_cast<int>(number));
}

constexpr ULONG64 Tag(const char (&text)[5]) {
    return static_cast<ULONG64>(static_cast<unsigned char>(text[0])) |
           static_cast<ULONG64>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<ULONG64>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<ULONG64>(static_cast<unsigned char>(text[3])) << 24;
}

} // namespace

BOOL CDiagnosticsLog::IsSoundSize(DWORD dwSize) {
    return dwSize >= kControlSize && (dwSize - kControlSize) % kEntrySize == 0;
}

CDiagnosticsLog::CDiagnosticsLog(const BYTE* pBlock, DWORD dwSize)
    : m_pBlock(pBlock), m_dwSize(dwSize), m_nEntries((dwSize - kControlSize) / kEntrySize) {
    std::memcpy(&m_control, pBlock, kControlSize);
    const ULONG64 offset = m_control.CurEntry - m_control.LogBuffer; // wraps far out of the ring when below
    if (m_control.CurEntry >= m_control.LogBuffer && offset < static_cast<ULONG64>(m_nEntries) * kEntrySize &&
        offset % kEntrySize == 0) {
        m_nNewest = static_cast<DWORD>(offset / kEntrySize);
        m_bCurEntrySound = TRUE;
    }
}

MEMLOG_ENTRY CDiagnosticsLog::EntryAt(DWORD nSlot) const {
    MEMLOG_ENTRY entry;
    std::memcpy(&entry, m_pBlock + kControlSize + static_cast<size_t>(nSlot) * kEntrySize, kEntrySize);
    return entry;
}

CString CDiagnosticsLog::FormatRows() const {
    CString rows;
    AppendRow(rows, Tag("App0"), m_dwSize, m_nEntries, m_nEntries - m_nNewest, 0);
    AppendRow(rows, Tag("App1"), m_control.LogBuffer, m_control.CurEntry, m_control.CurIndex, 0);
    AppendRow(rows, Tag("App2"), m_control.IndexMask, m_control.LogAllocSize, m_control.LogEnabled, 0);
    // Newest first: from the last written slot to the top of the ring, then from its bottom up to it.
    for (DWORD n = 0; n < m_nEntries; ++n) {
        const DWORD nSlot = (m_nNewest + n) % m_nEntries;
        const MEMLOG_ENTRY entry = EntryAt(nSlot);
        if (entry.Tag != 0) {
            AppendRow(rows, entry.Tag, entry.Value1, entry.Value2, entry.Value3, n);
        }
    }
    return rows;
}
