// CFilterDefinition: a capture filter (its block goes to the driver inside LOGGING_OPTIONS), a buffer
// filter or a stop trigger. All three are the same 297-byte filter block; Match applies it to a captured
// record, Serialize stores it in capture files and, through a memory archive, as a binary registry value.
#pragma once

#include <cstddef>

#include "afx.h"
#include "app/core/records/LogRecordDecode.h"
#include "common/FilterBlock.h"
#include "common/LogHeader.h"

class CFilterDefinition : public CObject {
    DECLARE_SERIAL(CFilterDefinition)

public:
    // The schema of definitions this program creates and stores.
    static constexpr UINT CurrentSchema = 12;
    // The oldest stored layout this program reads.
    static constexpr UINT OldestSchema = 7;

    CFilterDefinition();                      // schema 12, default block
    explicit CFilterDefinition(UINT nSchema); // the schema of the file being loaded, default block
    ~CFilterDefinition() override;

    // Stores the whole current layout (297 bytes, each flag as 0 or 1); loads the layout of the object's
    // schema, leaving what that layout does not carry at its default. Schemas below 7 are refused.
    void Serialize(CArchive& ar) override;

    // Whether a record passes the filter. `nFileSchema` is the schema of the file the record comes from.
    // The first form trusts the record's DataSize (a record whose frame was checked); the second reads no
    // further than `available` bytes.
    BOOL Match(const _LOGHDR* pRecord, UINT nFileSchema) const;
    BOOL Match(const void* pRecord, size_t available, UINT nFileSchema) const;
    BOOL Match(const CLogRecordDecode& record, UINT nFileSchema) const;

    // Back to the default block (selects nothing).
    void Clear() { InitLoggingOptions(m_Block); }

    UINT GetSchema() const { return m_nSchema; }
    void SetSchema(UINT nSchema) { m_nSchema = nSchema; }
    const FILTER_BLOCK& GetBlock() const { return m_Block; }
    FILTER_BLOCK& GetBlock() { return m_Block; }
    void SetBlock(const FILTER_BLOCK& block) { m_Block = block; }
    BOOL IsEnabled(size_t offset) const { return FilterFlag(m_Block, offset); }
    void Enable(size_t offset, BOOL bOn = TRUE) {
        if (offset >= 2 && offset < FILTER_BLOCK_SIZE)
            m_Block.Bytes[offset] = bOn ? 1 : 0;
    }

private:
    UINT m_nSchema;
    FILTER_BLOCK m_Block;
};
