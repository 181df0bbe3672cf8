// Writing one record in place, into room already reserved in a log block: header, part 1, part 2 and
// the "FINI" trailer. Nothing here allocates or takes a lock; the driver calls it under its log's lock.
//
// A record whose parts do not fit the reserved room is laid out shorter, not spilled: part 2 is cut
// first, then part 1, and the header's DataSize and the trailer follow the cut layout, so every record
// in a block stays whole and readable. Cut() tells the writer that the payload it carries is partial.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/ByteReader.h"
#include "common/LogHeader.h"

struct RecordLayout {
    ULONG Part1Size = 0;
    ULONG Part2Size = 0;
    bool Cut = false; // the parts asked for did not fit and were shortened

    constexpr ULONG DataSize() const { return Part1Size + Part2Size; }
    constexpr ULONG RecordSize() const { return static_cast<ULONG>(RECORD_FRAME_SIZE) + DataSize(); }
    constexpr ULONG Part1Offset() const { return static_cast<ULONG>(LOGHDR_SIZE); }
    constexpr ULONG Part2Offset() const { return Part1Offset() + Part1Size; }
    constexpr ULONG TrailerOffset() const { return Part2Offset() + Part2Size; }
};

// The layout of a record with the given part sizes in `room` bytes. False when not even a header and
// trailer fit (then nothing may be written).
constexpr bool LayoutRecord(uint64_t part1Size, uint64_t part2Size, size_t room, RecordLayout& out) {
    if (room < RECORD_FRAME_SIZE)
        return false;
    uint64_t payloadRoom = room - RECORD_FRAME_SIZE;
    if (payloadRoom > 0xFFFFFFFFu - RECORD_FRAME_SIZE)
        payloadRoom = 0xFFFFFFFFu - RECORD_FRAME_SIZE;
    const uint64_t part1 = part1Size < payloadRoom ? part1Size : payloadRoom;
    const uint64_t part2Room = payloadRoom - part1;
    const uint64_t part2 = part2Size < part2Room ? part2Size : part2Room;
    out.Part1Size = static_cast<ULONG>(part1);
    out.Part2Size = static_cast<ULONG>(part2);
    out.Cut = part1 != part1Size || part2 != part2Size;
    return true;
}

// Writes one record into `RecordSize()` bytes at `record`. The header is written whole from a _LOGHDR
// (sync and DataSize set from the layout); parts are written through bounded writers; the trailer last.
class RecordFrameWriter {
public:
    RecordFrameWriter(void* record, const RecordLayout& layout)
        : m_record(static_cast<uint8_t*>(record)), m_layout(layout) {}

    const RecordLayout& Layout() const { return m_layout; }
    uint8_t* Record() const { return m_record; }
    uint8_t* Part1() const { return m_record + m_layout.Part1Offset(); }
    uint8_t* Part2() const { return m_record + m_layout.Part2Offset(); }

    // Copies the header; its Sync and DataSize are set here, the rest is the caller's.
    void WriteHeader(_LOGHDR header) const {
        header.Sync = LogTag::Sync;
        header.DataSize = m_layout.DataSize();
        std::memcpy(m_record, &header, sizeof header);
    }

    // Bounded writers over the parts: writes past a (possibly cut) part fail instead of spilling.
    tdl::ByteWriter Part1Writer() const { return tdl::ByteWriter(Part1(), m_layout.Part1Size); }
    tdl::ByteWriter Part2Writer() const { return tdl::ByteWriter(Part2(), m_layout.Part2Size); }

    void WriteTrailer() const { tdl::StoreLe<ULONG>(m_record + m_layout.TrailerOffset(), LogTag::Fini); }

private:
    uint8_t* m_record;
    RecordLayout m_layout;
};
