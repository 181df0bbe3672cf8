// The 64-byte header that starts every capture-log and change-log record. A record is this header,
// DataSize bytes of payload (part 1, then part 2) and the 4-byte "FINI" trailer; records lie back to back
// with no padding, so a record may start at any byte: read and write it with memcpy (RecordFrame.h,
// RecordWriter.h), never through a cast pointer.
#pragma once

#include <cstddef>

#include "common/RecordTags.h"
#include "ntdef.h"

#pragma pack(push, 1)
typedef struct _LOGHDR {
    ULONG Sync;           // "####"
    ULONG SequenceNumber; // per log, gap-free unless a block was recycled
    LONGLONG TimeStamp;   // performance counter when the record was written
    ULONG LogType;        // kind tag (RecordTags.h)
    ULONG Function;       // URB function, IOCTL code or minor function; 0 for change-log records
    ULONG DataSize;       // part 1 + part 2
    UCHAR StackCount;     // the IRP's StackCount
    UCHAR CurrentLocation;
    USHORT StackID;        // device stack of the target device object (0 when none)
    ULONG64 DeviceObject;  // target device object (change-log records: the object concerned)
    ULONG64 Irp;           // the IRP (change-log records: the node described)
    ULONG64 StackLocation; // the hooked driver's I/O stack location
    ULONG Status;          // IoStatus.Status, or the dispatch routine's return value on R records
    ULONG Continuation;    // "DATA", or "MORE" when continuation records follow
} LOGHDR, *PLOGHDR;
#pragma pack(pop)

static_assert(sizeof(_LOGHDR) == 64 && alignof(_LOGHDR) == 1);
static_assert(offsetof(_LOGHDR, Sync) == 0 && offsetof(_LOGHDR, SequenceNumber) == 4 &&
              offsetof(_LOGHDR, TimeStamp) == 8 && offsetof(_LOGHDR, LogType) == 16 &&
              offsetof(_LOGHDR, Function) == 20 && offsetof(_LOGHDR, DataSize) == 24 &&
              offsetof(_LOGHDR, StackCount) == 28 && offsetof(_LOGHDR, CurrentLocation) == 29 &&
              offsetof(_LOGHDR, StackID) == 30 && offsetof(_LOGHDR, DeviceObject) == 32 &&
              offsetof(_LOGHDR, Irp) == 40 && offsetof(_LOGHDR, StackLocation) == 48 &&
              offsetof(_LOGHDR, Status) == 56 && offsetof(_LOGHDR, Continuation) == 60);

constexpr size_t LOGHDR_SIZE = sizeof(_LOGHDR);
constexpr size_t RECORD_TRAILER_SIZE = 4;
// Header and trailer together: the size of a record with no payload ("R" records, log start and end).
constexpr size_t RECORD_FRAME_SIZE = LOGHDR_SIZE + RECORD_TRAILER_SIZE;
static_assert(RECORD_FRAME_SIZE == 68);

// Size of a whole record with the given payload size (computed wide, so a damaged DataSize cannot wrap).
constexpr uint64_t RecordSizeFor(ULONG dataSize) {
    return uint64_t{dataSize} + RECORD_FRAME_SIZE;
}

// Bit 13 of a URB record's function word marks a synchronous request; the code is the low 13 bits.
constexpr ULONG URB_FUNCTION_WORD_SYNC_BIT = 0x2000;
constexpr ULONG URB_FUNCTION_WORD_CODE_MASK = 0x1FFF;
// The driver's own view of a URB function: every bit but the synchronous flag.
constexpr ULONG URB_FUNCTION_DRIVER_MASK = 0xDFFF;
