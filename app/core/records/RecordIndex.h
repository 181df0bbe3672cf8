// LogRecords::CRecordIndex: the record store's array of record pointers. The framework's array grows by at
// most 1,024 elements a step, so a million-record index (a loaded file) would be copied whole every 1,024
// appends; this one grows by its own size, so appends cost amortised constant time and the slack stays
// below one pointer per record.
#pragma once

#include "afxtempl.h"
#include "common/LogHeader.h"

namespace LogRecords {

class CRecordIndex : public CArray<_LOGHDR*, _LOGHDR* const&> {
public:
    // The first allocation: room for a small capture without a regrowth.
    static constexpr INT_PTR kFirstGrowth = 64;

    INT_PTR Add(_LOGHDR* const& pRecord) {
        if (m_nSize == m_nMaxSize)
            m_nGrowBy = m_nSize < kFirstGrowth ? kFirstGrowth : m_nSize;
        return CArray::Add(pRecord);
    }

    // Elements allocated, used or not.
    INT_PTR GetCapacity() const { return m_nMaxSize; }
};

} // namespace LogRecords
