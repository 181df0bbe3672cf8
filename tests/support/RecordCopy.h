// A record's header and its first bytes of payload, alone on the heap with DataSize saying so: what a decoder
// gets when the driver wrote less than the decoder expects. The copy is exactly that size, so that
// AddressSanitizer catches any read past it, and may stand at an odd address, so that a read through a
// misaligned pointer shows too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/ByteReader.h"
#include "common/LogHeader.h"

namespace tdl::test {

class RecordCopy {
public:
    // `dataSize` payload bytes of `record` (at most what it has).
    RecordCopy(const std::vector<uint8_t>& record, ULONG dataSize, bool oddAddress = false)
        : m_offset(oddAddress ? 1 : 0) {
        const size_t available = record.size() > LOGHDR_SIZE ? record.size() - LOGHDR_SIZE : 0;
        const size_t size = dataSize < available ? dataSize : available;
        // new[] gives memory aligned for any type: one byte in, every record field is misaligned.
        m_bytes.reset(new uint8_t[m_offset + LOGHDR_SIZE + size]);
        std::memcpy(m_bytes.get() + m_offset, record.data(), LOGHDR_SIZE + size);
        tdl::StoreLe<ULONG>(m_bytes.get() + m_offset + offsetof(_LOGHDR, DataSize), static_cast<ULONG>(size));
    }

    const _LOGHDR* Header() const { return reinterpret_cast<const _LOGHDR*>(m_bytes.get() + m_offset); }

private:
    size_t m_offset;
    std::unique_ptr<uint8_t[]> m_bytes;
};

} // namespace tdl::test
