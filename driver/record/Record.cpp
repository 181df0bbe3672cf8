#include "driver/record/Record.h"

#include <algorithm>
#include <cstring>

#include "common/ByteReader.h"
#include "common/RecordPayloads.h"
#include "common/RecordWriter.h"
#include "driver/capture/AddressCheck.h"

namespace {

ULONG Part2Room(const RECORD_DESCRIPTOR* record) {
    return static_cast<ULONG>(record->Trailer - record->Part2Cursor);
}

// Appends `count` bytes of one value (bounded by the room left); returns the bytes written.
ULONG AppendFill(PRECORD_DESCRIPTOR record, UCHAR value, ULONG count) {
    if (!RecordIsReserved(record)) {
        return 0;
    }
    count = std::min(count, Part2Room(record));
    std::memset(record->Part2Cursor, value, count);
    record->Part2Cursor += count;
    return count;
}

// Appends `count` bytes read from `source`, page piece by page piece: what each piece holds up to where its
// memory ends is copied, the rest of the piece becomes '!' bytes.
ULONG AppendFromAddress(PRECORD_DESCRIPTOR record, ULONG_PTR source, ULONG count) {
    if (!RecordIsReserved(record)) {
        return 0;
    }
    count = std::min(count, Part2Room(record));
    if (source + count < source) { // wraps: no such memory
        return AppendFill(record, RECORD_INVALID_BYTE, count);
    }
    ULONG done = 0;
    while (done < count) {
        const ULONG_PTR at = source + done;
        const ULONG chunk = std::min<ULONG>(count - done, PAGE_SIZE - BYTE_OFFSET(at));
        const ULONG readable = AddressReadablePrefix(reinterpret_cast<const VOID*>(at), chunk);
        if (readable != 0) {
            // A request's pointer may lead anywhere valid, the log's own block included.
            std::memmove(record->Part2Cursor, reinterpret_cast<const void*>(at), readable);
        }
        std::memset(record->Part2Cursor + readable, RECORD_INVALID_BYTE, chunk - readable);
        record->Part2Cursor += chunk;
        done += chunk;
    }
    return count;
}

// The request fields of a header.
void ApplyHeaderInfo(_LOGHDR& header, const RECORD_HEADER_INFO& info) {
    header.Function = info.Function;
    header.StackCount = info.StackCount;
    header.CurrentLocation = info.CurrentLocation;
    header.StackID = info.StackID;
    header.DeviceObject = info.DeviceObject;
    header.Irp = info.Irp;
    header.StackLocation = info.StackLocation;
    header.Status = static_cast<ULONG>(info.Status);
}

// Sizes both parts so the record fits an empty block.
VOID SetParts(PRECORD_DESCRIPTOR record, ULONG part1Size, ULONG part2Size) {
    RecordLayout layout;
    LayoutRecord(part1Size, part2Size, LOG_BLOCK_DATA_SIZE, layout);
    record->Part1Size = layout.Part1Size;
    record->Part2Size = layout.Part2Size;
    record->Cut = layout.Cut ? TRUE : FALSE;
}

} // namespace

VOID RecordDescribe(PRECORD_DESCRIPTOR Record, ULONG Tag, ULONG Part1Size, ULONG Part2Size) {
    RtlZeroMemory(Record, sizeof *Record);
    Record->Tag = Tag;
    Record->HeaderPartSize = RECORD_HEADER_PART_SIZE;
    Record->Wanted = TRUE;
    SetParts(Record, Part1Size, Part2Size);
}

VOID RecordSetTransfer(PRECORD_DESCRIPTOR Record, ULONG TotalBytes) {
    SetParts(Record, Record->Part1Size, std::min(TotalBytes, RECORD_MAX_TRANSFER_PIECE));
    Record->TotalBytes = TotalBytes;
    Record->Offset = 0;
    Record->Remaining = TotalBytes - Record->Part2Size;
    Record->More = Record->Remaining != 0 ? TRUE : FALSE;
}

BOOLEAN RecordNextContinuation(PRECORD_DESCRIPTOR Record, ULONG ContinuationTag) {
    if (Record->Remaining == 0) {
        return FALSE;
    }
    // The piece's place follows from what remains, not from what was copied: a record that found no room
    // does not shift the pieces after it.
    const ULONG offset = Record->TotalBytes - Record->Remaining;
    const ULONG piece = std::min(Record->Remaining, RECORD_MAX_TRANSFER_PIECE);
    Record->Tag = ContinuationTag;
    SetParts(Record, sizeof(URB_RECORD_CONTINUATION), piece);
    Record->Offset = offset;
    Record->Remaining -= Record->Part2Size;
    Record->More = Record->Remaining != 0 ? TRUE : FALSE;
    Record->SequenceNumber = 0;
    Record->RecordStart = Record->Part1 = Record->Part2 = Record->Part2Cursor = Record->Trailer = nullptr;
    Record->Header = nullptr; // the continuation's filler writes its own header and part 1
    Record->Part1Source = nullptr;
    return TRUE;
}

VOID RecordPrepareHeader(const RECORD_DESCRIPTOR* Record, _LOGHDR* Header) {
    *Header = _LOGHDR{};
    Header->Sync = LogTag::Sync;
    Header->LogType = Record->Tag;
    Header->DataSize = Record->Part1Size + Record->Part2Size;
    Header->Continuation = Record->More ? LogTag::More : LogTag::Data;
    if (Record->Header != nullptr) {
        ApplyHeaderInfo(*Header, *Record->Header);
    }
}

VOID RecordBegin(PRECORD_DESCRIPTOR Record, PUCHAR Start, ULONG SequenceNumber, const _LOGHDR* Header) {
    Record->SequenceNumber = SequenceNumber;
    Record->RecordStart = Start;
    Record->Part1 = Start + LOGHDR_SIZE;
    Record->Part2 = Record->Part1 + Record->Part1Size;
    Record->Part2Cursor = Record->Part2;
    Record->Trailer = Record->Part2 + Record->Part2Size;

    // The prepared header is copied whole, and the two values known only now are stored over it: reading the
    // header back after storing them into it would wait for those stores.
    std::memcpy(Start, Header, sizeof *Header);
    tdl::StoreLe<ULONG>(Start + offsetof(_LOGHDR, SequenceNumber), SequenceNumber);
    tdl::StoreLe<LONGLONG>(Start + offsetof(_LOGHDR, TimeStamp), KeQueryPerformanceCounter(nullptr).QuadPart);
    if (Record->Part1Source != nullptr) {
        std::memcpy(Record->Part1, Record->Part1Source, Record->Part1Size);
    } else {
        std::memset(Record->Part1, 0, Record->Part1Size);
    }
}

VOID RecordFinish(PRECORD_DESCRIPTOR Record) {
    if (!RecordIsReserved(Record)) {
        return;
    }
    if (Record->Part2Cursor != Record->Trailer) {
        AppendFill(Record, 0, Part2Room(Record));
    }
    tdl::StoreLe<ULONG>(Record->Trailer, LogTag::Fini);
}

VOID RecordSetHeader(PRECORD_DESCRIPTOR Record, const RECORD_HEADER_INFO* Info) {
    if (!RecordIsReserved(Record)) {
        return;
    }
    _LOGHDR header;
    std::memcpy(&header, Record->RecordStart, sizeof header);
    ApplyHeaderInfo(header, *Info);
    std::memcpy(Record->RecordStart, &header, sizeof header);
}

VOID RecordWritePart1(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length) {
    if (!RecordIsReserved(Record)) {
        return;
    }
    Length = std::min(Length, Record->Part1Size);
    if (Length != 0) {
        std::memcpy(Record->Part1, Source, Length);
    }
}

ULONG RecordAppendPart2(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length) {
    if (!RecordIsReserved(Record)) {
        return 0;
    }
    Length = std::min(Length, Part2Room(Record));
    if (Length == 0) {
        return 0;
    }
    std::memcpy(Record->Part2Cursor, Source, Length);
    Record->Part2Cursor += Length;
    return Length;
}

ULONG RecordAppendInvalid(PRECORD_DESCRIPTOR Record, ULONG Length) {
    return AppendFill(Record, RECORD_INVALID_BYTE, Length);
}

ULONG RecordAppendChecked(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length) {
    if (Source == nullptr) {
        return AppendFill(Record, 0, Length);
    }
    return AppendFromAddress(Record, reinterpret_cast<ULONG_PTR>(Source), Length);
}

ULONG RecordCopyBuffer(PRECORD_DESCRIPTOR Record, PVOID Buffer, PMDL Mdl, ULONG Length) {
    if (!RecordIsReserved(Record)) {
        return 0;
    }
    ULONG written;
    if (Buffer != nullptr && MmIsAddressValid(Buffer)) {
        written = AppendFromAddress(Record, reinterpret_cast<ULONG_PTR>(Buffer) + Record->Offset, Length);
    } else if (Mdl != nullptr) {
        PVOID system = AddressOfMdlBytes(Mdl);
        written = system != nullptr
                      ? AppendFromAddress(Record, reinterpret_cast<ULONG_PTR>(system) + Record->Offset, Length)
                      : AppendFill(Record, RECORD_INVALID_BYTE, Length);
    } else if (Buffer != nullptr) {
        written = AppendFill(Record, RECORD_INVALID_BYTE, Length);
    } else {
        written = AppendFill(Record, 0, Length); // nothing to copy from
    }
    Record->Offset += written;
    return written;
}
