#include "app/core/filters/FilterDefinition.h"

#include <cstring>

#include "app/core/diagnostics/Trace.h"
#include "app/core/filters/FilterMatch.h"

IMPLEMENT_SERIAL(CFilterDefinition, CObject, VERSIONABLE_SCHEMA | CFilterDefinition::CurrentSchema)

namespace {

// The stored layout: the block's flag bytes in block order, group by group, with the number of bytes each
// group has in the layouts of schema 7, schemas 8 and 9, and schema 10 onwards. A group's bytes that an
// older layout does not carry are the last ones of the group.
struct StoredGroup {
    size_t offset;
    UCHAR schema7, schema8, schema10;
};

constexpr StoredGroup kStoredGroups[] = {
    {FilterByte::UrbRequest, 1, 1, 1},
    {FilterByte::UrbCompletion, 1, 1, 1},
    {FilterByte::UrbFunctions, 53, 53, 53},
    {FilterByte::UrbSynchronous, 1, 1, 1},
    {FilterByte::UrbEndpointFunctions, 3, 3, 3},
    {FilterByte::HubIfRequest, 1, 1, 1},
    {FilterByte::HubIfCompletion, 1, 1, 1},
    {FilterByte::HubIfFunctions, 31, 31, 36},
    {FilterByte::PortHookRequest, 1, 1, 1},
    {FilterByte::PortHookCompletion, 1, 1, 1},
    {FilterByte::PortHookFunctions, 67, 78, 80},
    {FilterByte::InternalRequest, 1, 1, 1},
    {FilterByte::InternalCompletion, 1, 1, 1},
    {FilterByte::InternalLow, 10, 11, 11},
    {FilterByte::InternalHigh, 5, 12, 12},
    {FilterByte::HcdRequest, 1, 1, 1},
    {FilterByte::HcdCompletion, 1, 1, 1},
    {FilterByte::HcdFunctions, 16, 16, 16},
    {FilterByte::HubRequest, 1, 1, 1},
    {FilterByte::HubCompletion, 1, 1, 1},
    {FilterByte::HubFunctions, 17, 19, 19},
    {FilterByte::HidRequest, 1, 1, 1},
    {FilterByte::HidCompletion, 1, 1, 1},
    {FilterByte::HidBuffered, 7, 7, 7},
    {FilterByte::HidNeitherLow, 2, 2, 2},
    {FilterByte::HidNeitherHigh, 2, 2, 2},
    {FilterByte::HidInDirect, 2, 2, 2},
    {FilterByte::HidOutDirect, 22, 22, 22},
    {FilterByte::PnpRequest, 1, 1, 1},
    {FilterByte::PnpCompletion, 1, 1, 1},
    {FilterByte::PnpMinors, 3, 3, 3},
    {FilterByte::PowerRequest, 1, 1, 1},
    {FilterByte::PowerCompletion, 1, 1, 1},
    {FilterByte::PowerMinors, 4, 4, 4},
    {FilterByte::AcceptError, 1, 1, 1},
    {FilterByte::AcceptSuccess, 1, 1, 1},
    {FilterByte::AcceptIn, 1, 1, 1},
    {FilterByte::AcceptOut, 1, 1, 1},
};

// The current layout covers every byte after the marker exactly once.
constexpr bool CurrentLayoutIsWholeBlock() {
    size_t next = FilterByte::Marker + 2;
    for (const StoredGroup& g : kStoredGroups) {
        if (g.offset != next)
            return false;
        next += g.schema10;
    }
    return next == FILTER_BLOCK_SIZE;
}
static_assert(CurrentLayoutIsWholeBlock());

size_t GroupSize(const StoredGroup& g, UINT schema) {
    if (schema >= 10)
        return g.schema10;
    return schema >= 8 ? g.schema8 : g.schema7;
}

} // namespace

CFilterDefinition::CFilterDefinition() : CFilterDefinition(CurrentSchema) {}

CFilterDefinition::CFilterDefinition(UINT nSchema) : m_nSchema(nSchema) {
    InitLoggingOptions(m_Block);
}

CFilterDefinition::~CFilterDefinition() = default;

void CFilterDefinition::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CFilterDefinition::Serialize (storing)");
        WORD marker = 0;
        std::memcpy(&marker, &m_Block.Bytes[FilterByte::Marker], sizeof marker);
        ar << marker;
        for (const StoredGroup& g : kStoredGroups)
            for (size_t i = 0; i < g.schema10; ++i)
                ar << static_cast<BYTE>(m_Block.Bytes[g.offset + i] ? 1 : 0);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CFilterDefinition::Serialize (loading)");
    if (m_nSchema < OldestSchema)
        AfxThrowArchiveException(CArchiveException::badSchema);
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    WORD marker = 0;
    ar >> marker;
    std::memcpy(&block.Bytes[FilterByte::Marker], &marker, sizeof marker);
    for (const StoredGroup& g : kStoredGroups) {
        const size_t count = GroupSize(g, m_nSchema);
        for (size_t i = 0; i < count; ++i) {
            BYTE flag = 0;
            ar >> flag;
            block.Bytes[g.offset + i] = flag ? 1 : 0;
        }
    }
    m_Block = block; // a load that fails part way leaves the definition as it was
}

BOOL CFilterDefinition::Match(const _LOGHDR* pRecord, UINT nFileSchema) const {
    return Match(CLogRecordDecode(pRecord, nullptr), nFileSchema);
}

BOOL CFilterDefinition::Match(const void* pRecord, size_t available, UINT nFileSchema) const {
    return Match(CLogRecordDecode(pRecord, available), nFileSchema);
}

BOOL CFilterDefinition::Match(const CLogRecordDecode& record, UINT nFileSchema) const {
    return FilterMatchRecord(m_Block, record, nFileSchema);
}
