// One record being written: its descriptor (sizes, place in the log block, transfer progress) and the
// routines a filler uses to fill it in place. A record is the 64-byte header, part 1, part 2 and "FINI".
//
// How a record is written:
//   1. RecordDescribe gives the descriptor its tag and part sizes (bounded so the whole record fits an empty
//      log block); RecordSetTransfer sizes the transfer data of a URB record and its continuations.
//   2. LogWriteRecord (Log.h) reserves the room under the log's lock, numbers the record, writes the frame
//      (sync, sequence number, time stamp, tag, DataSize, "DATA"/"MORE", zeroed fields, zeroed part 1) and
//      calls the filler.
//   3. The filler, still under the lock, sets the request's header fields (RecordSetHeader), writes part 1
//      (RecordWritePart1) and appends part 2 (RecordAppendPart2, RecordAppendChecked, RecordCopyBuffer).
//   4. LogWriteRecord zero-fills whatever of part 2 the filler left and writes the trailer (RecordFinish).
//      Bytes no filler writes are zeros, never a former record's stale bytes: no record shows another's data.
// Nothing here allocates, formats or takes a lock.
//
// Locks: none of its own; the fill routines run under the lock of the log that holds the record.
#pragma once

#include "ntddk.h"

#include <cstring>

#include "common/LogBlock.h"
#include "common/LogHeader.h"
#include "common/RecordWriter.h"

// Header and trailer together, the size of a record without payload.
constexpr ULONG RECORD_HEADER_PART_SIZE = static_cast<ULONG>(RECORD_FRAME_SIZE);
// Payload room of a record that has an empty log block to itself.
constexpr ULONG RECORD_MAX_DATA_SIZE = LOG_BLOCK_DATA_SIZE - RECORD_HEADER_PART_SIZE;
// Byte recorded in place of each byte of a buffer whose address is not valid.
constexpr UCHAR RECORD_INVALID_BYTE = 0x21; // '!'

typedef struct _RECORD_DESCRIPTOR {
    ULONG Tag;            // kind tag (common/RecordTags.h)
    ULONG HeaderPartSize; // RECORD_HEADER_PART_SIZE: header and trailer
    ULONG Part1Size;
    ULONG Part2Size;
    ULONG Remaining;      // transfer bytes still to come in continuation records after this one
    ULONG TotalBytes;     // transfer bytes captured over this record and its continuations
    ULONG Offset;         // offset within the transfer buffer of the next byte to copy
    BOOLEAN Cut;          // a part was shortened to fit a block: the payload is partial
    BOOLEAN More;         // continuation records follow ("MORE")
    BOOLEAN Wanted;       // cleared by a filter: nothing is written
    ULONG SequenceNumber; // given when room is reserved
    PUCHAR RecordStart;   // null until room is reserved
    PUCHAR Part1;
    PUCHAR Part2Cursor; // where the next part-2 byte goes
    PUCHAR Part2;
    PUCHAR Trailer;
    ULONG64 DeviceHandle; // device handle value of URB records
    // Optional, for a writer that has its header values and part 1 ready before the log's lock is taken:
    // RecordBegin then writes them with the frame, and the filler needs only append part 2.
    const struct _RECORD_HEADER_INFO* Header;
    const VOID* Part1Source; // Part1Size bytes
} RECORD_DESCRIPTOR, *PRECORD_DESCRIPTOR;

// The request fields of a record header; what a record does not know stays 0.
typedef struct _RECORD_HEADER_INFO {
    ULONG Function; // URB function, IOCTL code or minor function
    UCHAR StackCount;
    UCHAR CurrentLocation;
    USHORT StackID;
    ULONG64 DeviceObject;
    ULONG64 Irp; // change-log records: the node described
    ULONG64 StackLocation;
    NTSTATUS Status;
} RECORD_HEADER_INFO, *PRECORD_HEADER_INFO;

// Called by LogWriteRecord under the log's lock once room is reserved (never otherwise). ChangeLog tells
// whether the record goes to the change log.
typedef VOID RECORD_FILLER(PRECORD_DESCRIPTOR Record, PVOID Context, PIRP Irp, PVOID CompletionContext,
                           BOOLEAN ChangeLog);
typedef RECORD_FILLER* PRECORD_FILLER;

// Sizes both parts so the record fits an empty block (part 1 is kept first, part 2 gets what is left); Cut
// tells when they were shortened.
inline VOID RecordSetParts(PRECORD_DESCRIPTOR Record, ULONG Part1Size, ULONG Part2Size) {
    RecordLayout layout;
    LayoutRecord(Part1Size, Part2Size, LOG_BLOCK_DATA_SIZE, layout);
    Record->Part1Size = layout.Part1Size;
    Record->Part2Size = layout.Part2Size;
    Record->Cut = layout.Cut ? TRUE : FALSE;
}

// Zeroes the descriptor and gives it the tag, the part sizes and the wanted flag. Parts are bounded so the
// record fits an empty block; Cut tells when they were. Inline, as the next three: every record of the
// capture road is described, sized, begun and finished, and each is a handful of stores.
inline VOID RecordDescribe(PRECORD_DESCRIPTOR Record, ULONG Tag, ULONG Part1Size, ULONG Part2Size) {
    *Record = RECORD_DESCRIPTOR{};
    Record->Tag = Tag;
    Record->HeaderPartSize = RECORD_HEADER_PART_SIZE;
    Record->Wanted = TRUE;
    RecordSetParts(Record, Part1Size, Part2Size);
}

// Sizes the transfer data of a record that may continue: TotalBytes bytes in all, this record carries the
// first RECORD_MAX_TRANSFER_PIECE of them as part 2 and sets More when the rest follows in continuations.
inline VOID RecordSetTransfer(PRECORD_DESCRIPTOR Record, ULONG TotalBytes) {
    RecordSetParts(Record, Record->Part1Size,
                   TotalBytes < RECORD_MAX_TRANSFER_PIECE ? TotalBytes : RECORD_MAX_TRANSFER_PIECE);
    Record->TotalBytes = TotalBytes;
    Record->Offset = 0;
    Record->Remaining = TotalBytes - Record->Part2Size;
    Record->More = Record->Remaining != 0 ? TRUE : FALSE;
}

// Turns the descriptor into the next continuation record ("iCnt" or "cCnt"): part 1 the 20-byte
// continuation block, part 2 the next piece; More while pieces remain after it. FALSE when nothing is left.
BOOLEAN RecordNextContinuation(PRECORD_DESCRIPTOR Record, ULONG ContinuationTag);

// Bytes of the whole record (header part + part 1 + part 2).
inline ULONG RecordSize(const RECORD_DESCRIPTOR* Record) {
    return Record->HeaderPartSize + Record->Part1Size + Record->Part2Size;
}
inline BOOLEAN RecordIsReserved(const RECORD_DESCRIPTOR* Record) {
    return Record->RecordStart != nullptr;
}

// Stores the request fields of a header.
inline VOID RecordApplyHeaderInfo(_LOGHDR* Header, const RECORD_HEADER_INFO* Info) {
    Header->Function = Info->Function;
    Header->StackCount = Info->StackCount;
    Header->CurrentLocation = Info->CurrentLocation;
    Header->StackID = Info->StackID;
    Header->DeviceObject = Info->DeviceObject;
    Header->Irp = Info->Irp;
    Header->StackLocation = Info->StackLocation;
    Header->Status = static_cast<ULONG>(Info->Status);
}

// Places the record at Start (RecordSize bytes, reserved by the log) and writes its frame: the header (sync,
// the sequence number, the time stamp now, tag, DataSize, "DATA"/"MORE", the request's values from
// Record->Header or else zeros) and part 1 (copied from Record->Part1Source, else zeroed). Used by
// LogWriteRecord under the log's lock.
inline VOID RecordBegin(PRECORD_DESCRIPTOR Record, PUCHAR Start, ULONG SequenceNumber) {
    PUCHAR part1 = Start + LOGHDR_SIZE;
    PUCHAR part2 = part1 + Record->Part1Size;
    Record->SequenceNumber = SequenceNumber;
    Record->RecordStart = Start;
    Record->Part1 = part1;
    Record->Part2 = part2;
    Record->Part2Cursor = part2;
    Record->Trailer = part2 + Record->Part2Size;

    // The clock first, so that the header is built in registers and stored once, with nothing held across
    // the call.
    const LONGLONG stamp = KeQueryPerformanceCounter(nullptr).QuadPart;
    _LOGHDR header = {};
    header.Sync = LogTag::Sync;
    header.SequenceNumber = SequenceNumber;
    header.TimeStamp = stamp;
    header.LogType = Record->Tag;
    header.DataSize = Record->Part1Size + Record->Part2Size;
    header.Continuation = Record->More ? LogTag::More : LogTag::Data;
    if (Record->Header != nullptr) {
        RecordApplyHeaderInfo(&header, Record->Header);
    }
    std::memcpy(Start, &header, sizeof header);
    if (Record->Part1Size == 0) {
        return;
    }
    if (Record->Part1Source != nullptr) {
        std::memcpy(part1, Record->Part1Source, Record->Part1Size);
    } else {
        std::memset(part1, 0, Record->Part1Size);
    }
}

// Zero-fills part 2 from the write cursor to its end and writes "FINI". Used by LogWriteRecord.
inline VOID RecordFinish(PRECORD_DESCRIPTOR Record) {
    if (!RecordIsReserved(Record)) {
        return;
    }
    if (Record->Part2Cursor != Record->Trailer) {
        std::memset(Record->Part2Cursor, 0, static_cast<size_t>(Record->Trailer - Record->Part2Cursor));
        Record->Part2Cursor = Record->Trailer;
    }
    tdl::StoreLe<ULONG>(Record->Trailer, LogTag::Fini);
}

// Sets the request fields of the header (function word, stack count and location, StackID, device object,
// IRP, stack location, status). Nothing when no room was reserved.
VOID RecordSetHeader(PRECORD_DESCRIPTOR Record, const RECORD_HEADER_INFO* Info);

// Copies Length bytes of driver memory (a structure the filler built) to the start of part 1, at most
// Part1Size.
VOID RecordWritePart1(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length);

// Appends bytes of driver memory to part 2; returns the bytes written (bounded by the room left).
ULONG RecordAppendPart2(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length);

// Appends Length '!' bytes: bytes a request has that cannot be reached. Returns the bytes written.
ULONG RecordAppendInvalid(PRECORD_DESCRIPTOR Record, ULONG Length);

// Appends Length bytes from an address the request supplied, page piece by page piece: the bytes of a piece
// past where its memory ends (AddressReadablePrefix) are recorded as '!' and never read. A null source
// appends zeros. Returns the bytes written.
ULONG RecordAppendChecked(PRECORD_DESCRIPTOR Record, const VOID* Source, ULONG Length);

// Appends Length bytes of a request's buffer from offset Record->Offset and advances the offset. The
// source is Buffer when it is non-null and valid, else the MDL's system address (mapped when it is not yet);
// an invalid source is recorded as '!' bytes; with neither a buffer nor an MDL, zeros. Returns the bytes
// written.
ULONG RecordCopyBuffer(PRECORD_DESCRIPTOR Record, PVOID Buffer, PMDL Mdl, ULONG Length);
