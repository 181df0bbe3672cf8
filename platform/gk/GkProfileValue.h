// The toolkit's stored state: one binary value per section under the application's profile key, each value
// a four-byte tag, a 32-bit version and then fields in little-endian order. Reads are bounded: a field past
// the end of the value fails the read instead of reading past it.
#pragma once

#include <cstdint>
#include <vector>

#include "afxwin.h"

// The entry that holds a section's value.
#define GK_PROFILE_ENTRY "State"

class CGkProfileWriter {
public:
    CGkProfileWriter(uint32_t nTag, uint32_t nVersion);
    void WriteUInt(uint32_t nValue);
    void WriteInt(int32_t nValue) { WriteUInt(static_cast<uint32_t>(nValue)); }
    void WriteRect(const RECT& rc);
    // FALSE when there is no application or its profile cannot be written.
    BOOL Save(LPCTSTR lpszSection) const;
    const std::vector<BYTE>& GetBytes() const { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
};

class CGkProfileReader {
public:
    // Reads the section's value; IsValid is false when it is missing, shorter than its header, or has
    // another tag or version.
    CGkProfileReader(LPCTSTR lpszSection, uint32_t nTag, uint32_t nVersion);
    // The same checks over bytes already in hand.
    CGkProfileReader(std::vector<BYTE> bytes, uint32_t nTag, uint32_t nVersion);

    bool IsValid() const { return m_bValid; }
    // FALSE, and the reader no longer valid, when fewer than four bytes remain.
    bool ReadUInt(uint32_t& nValue);
    bool ReadInt(int32_t& nValue);
    bool ReadRect(RECT& rc);
    // True when every byte was read and nothing failed.
    bool AtEnd() const { return m_bValid && m_nPos == m_bytes.size(); }

private:
    void CheckHeader(uint32_t nTag, uint32_t nVersion);

    std::vector<BYTE> m_bytes;
    size_t m_nPos = 0;
    bool m_bValid = false;
};
