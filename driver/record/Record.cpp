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

// What AppendFromAddress returns, with `firstMustBeValid`, when the first byte at the source is not valid.
constexpr ULONG kSourceNotValid = 0xFFFFFFFF;

// Appends `count` bytes read from `source`, page piece by page piece: what each piece holds up to where its
// memory ends is copied, the rest of the piece becomes '!' bytes. With `firstMustBeValid`, a source whose
// first byte is not valid appends nothing and gives kSourceNotValid: the first piece's check answers that
// too (its readable prefix is empty exactly when its first byte is not valid), so it is not asked twice.
ULONG AppendFromAddress(PRECORD_DESCRIPTOR record, ULONG_PTR source, ULONG count, bool firstMustBeValid = false) {
    if (!RecordIsReserved(record)) {
        return 0;
    }
    count = std::min(count, Part2Room(record));
    if (count == 0 || source + count < source) { // nothing to read, or wraps: no such memory
        if (firstMustBeValid && !MmIsAddressValid(reinterpret_cast<PVOID>(source))) {
            return kSourceNotValid;
        }
        return AppendFill(record, RECORD_INVALID_BYTE, count);
    }
    ULONG done = 0;
    while (done < count) {
        const ULONG_PTR at = source + done;
        const ULONG chunk = std::min<ULONG>(count - done, PAGE_SIZE - BYTE_OFFSET(at));
        const ULONG readable = AddressReadablePrefix(reinterpret_cast<const VOID*>(at), chunk);
        if (readable == 0 && done == 0 && firstMustBeValid) {
            return kSourceNotValid;
        }
        if (readable != 0) {
            // A request's pointer may lead anywhere valid, the log's own block included.
            std::memmove(record->Part2Cursor, reinterpret_cast<const void*>(at), readable);
        }
        if (readable != chunk) {
            std::memset(record->Part2Cursor + readable, RECORD_INVALID_BYTE, chunk - readable);
        }
        record->Part2Cursor += chunk;
        done += chunk;
    }
    return count;
}

// Appends `count` bytes of the request's buffer from `offset` on, when the buffer is valid (its first byte
// is); kSourceNotValid when it is not.
ULONG AppendFromBuffer(PRECORD_DESCRIPTOR record, PVOID buffer, ULONG offset, ULONG count) {
    const auto start = reinterpret_cast<ULONG_PTR>(buffer);
    if (offset == 0) {
        return AppendFromAddress(record, start, count, true);
    }
    if (!MmIsAddressValid(buffer)) {
        return kSourceNotValid;
    }
    return AppendFromAddress(record, start + offset, count);
}

} // namespace

BOOLEAN RecordNextContinuation(PRECORD_DESCRIPTOR Record, ULONG ContinuationTag) {
    if (Record->Remaining == 0) {
        return FALSE;
    }
    // The piece's place follows from what remains, not from what was copied: a record that found no room
    // does not shift the pieces after it.
    const ULONG offset = Record->TotalBytes - Record->Remaining;
    const ULONG piece = std::min(Record->Remaining, RECORD_MAX_TRANSFER_PIECE);
    Record->Tag = ContinuationTag;
    RecordSetParts(Record, sizeof(URB_RECORD_CONTINUATION), piece);
    Record->Offset = offset;
    Record->Remaining -= Record->Part2Size;
    Record->More = Record->Remaining != 0 ? TRUE : FALSE;
    Record->SequenceNumber = 0;
    Record->RecordStart = Record->Part1 = Record->Part2 = Record->Part2Cursor = Record->Trailer = nullptr;
    Record->Header = nullptr; // the continuation's filler writes its own header and part 1
    Record->Part1Source = nullptr;
    return TRUE;
}

VOID RecordSetHeader(PRECORD_DESCRIPTOR Record, const RECORD_HEADER_INFO* Info) {
    if (!RecordIsReserved(Record)) {
        return;
    }
    _LOGHDR header;
    std::memcpy(&header, Record->RecordStart, sizeof header);
    RecordApplyHeaderInfo(&header, Info);
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
    ULONG written = Buffer != nullptr ? AppendFromBuffer(Record, Buffer, Record->Offset, Length) : kSourceNotValid;
    if (written != kSourceNotValid) {
        // taken from the buffer
    } else if (Mdl != nullptr) {
        PVOID system = AddressOfMdlBytes(Mdl);
        written = system != nullptr
                      ? AppendFromAddress(Record, reinterpret_cast<ULONG_PTR>(system) + Record->Offset, Length)
                      : AppendFill(Record, RECORD_INVALID_BYTE, Length);
    } else {
        // A buffer that is not valid is recorded as '!' bytes; with nothing to copy from, zeros.
        written = AppendFill(Record, Buffer != nullptr ? RECORD_INVALID_BYTE : 0, Length);
    }
    Record->Offset += written;
    return written;
}
