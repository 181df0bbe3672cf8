#include "common/NodeEntries.h"

#include <cstring>

#include "common/ByteReader.h"

void CopyNodeString(CHAR* field, size_t width, const char* src, size_t srcLength) {
    if (width == 0)
        return;
    size_t n = 0;
    if (src) {
        while (n < srcLength && n < width - 1 && src[n] != '\0')
            ++n;
        std::memcpy(field, src, n);
    }
    std::memset(field + n, 0, width - n);
}

size_t NodeStringLength(const CHAR* field, size_t width) {
    size_t n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    return n;
}

bool NodeListReader::Next(USHORT& kind, std::span<const uint8_t>& entry) {
    if (m_error || m_ended)
        return false;
    NODE_HEADER header;
    if (!tdl::LoadAt(m_list.data(), m_list.size(), m_offset, header)) {
        m_error = true; // the list stops without its end entry
        return false;
    }
    if (header.Kind == NODE_KIND_END) {
        m_ended = true;
        m_offset += sizeof header;
        return false;
    }
    if (header.Length < sizeof header || header.Length > m_list.size() - m_offset) {
        m_error = true;
        return false;
    }
    kind = header.Kind;
    entry = m_list.subspan(m_offset, header.Length);
    m_offset += header.Length;
    return true;
}
