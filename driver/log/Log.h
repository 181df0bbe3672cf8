// The capture log and the change log: each a chain of 66,560-byte blocks of records in non-paged pool, at
// most 31 of them. Writers reserve a record in the newest block and fill it in place; the reader takes the
// oldest block whole. When the chain is full (or pool runs out) the newest block is emptied and reused, so
// the records the reader has not fetched yet are kept and the loss shows as a gap in sequence numbers.
//
// Locks: one spin lock per log (KeAcquireSpinLockRaiseToDpc), taken alone: no other lock is held while it
// is taken and none is taken under it. Writers hold it while they reserve and fill a record; the reader,
// clear and free-all hold it while they change the chain. A new block is allocated and filled with the lock
// released, then linked under it. The reader copies to the caller's buffer after releasing it, from a block
// it has already unlinked.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "common/LogBlock.h"
#include "driver/record/Record.h"

// Pool tags of the two logs' blocks; the tag also tells the logs apart.
constexpr ULONG LOG_TAG_CAPTURE = FourCC("trac");
constexpr ULONG LOG_TAG_CHANGE = FourCC("chng");

typedef struct _LOG_BLOCK {
    LIST_ENTRY Links;
    ULONG Used;     // bytes of records from the start of Data
    UCHAR Recycled; // emptied and reused because the log was at its limit
    UCHAR Data[LOG_BLOCK_DATA_SIZE];
} LOG_BLOCK, *PLOG_BLOCK;
static_assert(sizeof(LOG_BLOCK) == LOG_BLOCK_SIZE && offsetof(LOG_BLOCK, Data) == LOG_BLOCK_DATA_OFFSET);

typedef struct _CAPTURE_LOG {
    ULONG PoolTag;        // LOG_TAG_CAPTURE or LOG_TAG_CHANGE
    ULONG BlockLimit;     // LOG_BLOCK_LIMIT
    volatile LONG Active; // records are accepted only while set (writers test it; the log does not)
    // Writers test Active on every request, without the lock, while the lock's word and the fields it guards
    // change with every record: a cache line apart, the test does not wait for the line the lock moves with
    // from processor to processor.
    UCHAR ActiveLineGap[64];
    LIST_ENTRY BlockList; // head: the current block (being written); tail: the oldest
    KSPIN_LOCK Lock;
    volatile LONG BlockCount; // changed with interlocked operations as blocks are linked and unlinked
    // Under Lock:
    ULONG SequenceNumber;      // number of the next record
    ULONG CurrentBlockRecords; // records in the current block
    ULONG64 RecordsWritten;    // records reserved and filled
    ULONG64 RecordsLost;       // records discarded with a recycled block
    ULONG64 RecordsDropped;    // records that found no block at all (no sequence number used)
    ULONG64 BlocksRecycled;
} CAPTURE_LOG, *PCAPTURE_LOG;

typedef struct _LOG_STATISTICS {
    ULONG BlockCount;
    ULONG SequenceNumber; // of the next record
    ULONG64 RecordsWritten;
    ULONG64 RecordsLost;
    ULONG64 RecordsDropped;
    ULONG64 BlocksRecycled;
} LOG_STATISTICS, *PLOG_STATISTICS;

// A log with no block yet, inactive, sequence 0; its blocks are tagged PoolTag. Null without memory.
PCAPTURE_LOG LogCreate(ULONG PoolTag);
// Frees every block and the log itself (null is ignored).
VOID LogFree(PCAPTURE_LOG Log);

inline BOOLEAN LogIsChangeLog(const CAPTURE_LOG* Log) {
    return Log->PoolTag == LOG_TAG_CHANGE;
}
inline BOOLEAN LogIsActive(const CAPTURE_LOG* Log) {
    return Log->Active != 0;
}
inline VOID LogSetActive(PCAPTURE_LOG Log, BOOLEAN Active) {
    InterlockedExchange(&Log->Active, Active ? 1 : 0);
}
// The next record is numbered 0.
VOID LogResetSequence(PCAPTURE_LOG Log);

// Reserves room for the record the descriptor describes, numbers it, writes its frame, calls the filler
// under the log's lock and ends the record. FALSE when the record is not wanted or no block could be had
// (then nothing is written and no number used). At most DISPATCH_LEVEL.
BOOLEAN LogWriteRecord(PCAPTURE_LOG Log, PRECORD_DESCRIPTOR Record, PRECORD_FILLER Filler, PVOID Context, PIRP Irp,
                       PVOID CompletionContext);

// Moves the oldest block's records (whole records, at most LOG_BLOCK_DATA_SIZE bytes) to the caller's
// buffer and frees the block; empty blocks that are not current are freed on the way. Success with 0
// bytes only when the log holds nothing to read. STATUS_BUFFER_TOO_SMALL when the oldest block's records
// do not fit (the block stays for the next read); STATUS_INVALID_PARAMETER when the buffer cannot be
// written. PASSIVE_LEVEL.
NTSTATUS LogReadBlock(PCAPTURE_LOG Log, PVOID UserBuffer, ULONG Length, PULONG BytesReturned);

// Frees every block but the current one and empties it. Sequence numbers go on.
VOID LogClear(PCAPTURE_LOG Log);
// Frees every block.
VOID LogFreeAll(PCAPTURE_LOG Log);

// A consistent snapshot of the log's counters.
VOID LogQueryStatistics(PCAPTURE_LOG Log, PLOG_STATISTICS Statistics);
