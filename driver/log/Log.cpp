#include "driver/log/Log.h"

#include <cstring>

#include "driver/core/Pool.h"

namespace {

PLOG_BLOCK BlockOf(PLIST_ENTRY entry) {
    return CONTAINING_RECORD(entry, LOG_BLOCK, Links);
}

// The current block (the newest, being written), or null when the log has none.
PLOG_BLOCK LogPeekCurrent(PCAPTURE_LOG log) {
    return IsListEmpty(&log->BlockList) ? nullptr : BlockOf(log->BlockList.Flink);
}

void LinkCurrent(PCAPTURE_LOG log, PLOG_BLOCK block) {
    InsertHeadList(&log->BlockList, &block->Links);
    InterlockedIncrement(&log->BlockCount);
    log->CurrentBlockRecords = 0;
}

void LinkOldest(PCAPTURE_LOG log, PLOG_BLOCK block) {
    InsertTailList(&log->BlockList, &block->Links);
    InterlockedIncrement(&log->BlockCount);
}

void Unlink(PCAPTURE_LOG log, PLOG_BLOCK block) {
    RemoveEntryList(&block->Links);
    InterlockedDecrement(&log->BlockCount);
}

void FreeBlock(PCAPTURE_LOG log, PLOG_BLOCK block) {
    ExFreePoolWithTag(block, log->PoolTag);
}

// Frees the oldest blocks until `keep` are left; called with the lock held.
void FreeOldestBlocks(PCAPTURE_LOG log, LONG keep) {
    while (log->BlockCount > keep) {
        PLOG_BLOCK oldest = BlockOf(log->BlockList.Blink);
        Unlink(log, oldest);
        FreeBlock(log, oldest);
    }
}

// A new block for the chain, allocated and filled before the lock is taken so that no writer waits on it;
// null without pool. Its first `recordSize` bytes are left to the record its maker places there first:
// a record writes every byte of its size, so they are not filled twice.
PLOG_BLOCK NewBlock(PCAPTURE_LOG log, ULONG recordSize) {
    auto block = static_cast<PLOG_BLOCK>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(LOG_BLOCK), log->PoolTag));
    if (block != nullptr) {
        // Bytes a writer leaves unset read as '.'.
        std::memset(block->Data + recordSize, LOG_BLOCK_FILL, sizeof block->Data - recordSize);
        block->Used = 0;
        block->Recycled = 0;
    }
    return block;
}

// Whether LogGetWritableBlock would link a new block now; called with the lock held.
bool WantsNewBlock(PCAPTURE_LOG log) {
    PLOG_BLOCK current = LogPeekCurrent(log);
    return static_cast<ULONG>(log->BlockCount) < log->BlockLimit && (current == nullptr || current->Used != 0);
}

// An empty block to write into; called with the lock held. Below the limit an empty current block is taken
// as it is, else the new block *fresh (made by NewBlock with the lock released; null when that found no
// pool) becomes current and *fresh is cleared. At the limit, or without pool, the current block is emptied
// and reused: its records are lost, the older blocks the reader has not fetched are kept. Null only when the
// log has no block at all and none could be allocated.
PLOG_BLOCK LogGetWritableBlock(PCAPTURE_LOG log, PLOG_BLOCK* fresh) {
    PLOG_BLOCK current = LogPeekCurrent(log);
    if (static_cast<ULONG>(log->BlockCount) < log->BlockLimit) {
        if (current != nullptr && current->Used == 0) {
            return current;
        }
        if (PLOG_BLOCK block = *fresh) {
            *fresh = nullptr;
            LinkCurrent(log, block);
            return block;
        }
    }
    if (current == nullptr) {
        return nullptr;
    }
    log->RecordsLost += log->CurrentBlockRecords;
    log->CurrentBlockRecords = 0;
    log->BlocksRecycled++;
    current->Used = 0;
    current->Recycled = 1;
    return current;
}

// Room for `size` bytes in the current block, or null when it has none; called with the lock held. The
// path of nearly every record.
PUCHAR ReserveInCurrent(PCAPTURE_LOG log, ULONG size) {
    PLOG_BLOCK block = LogPeekCurrent(log);
    if (block == nullptr || LOG_BLOCK_DATA_SIZE - block->Used < size) {
        return nullptr;
    }
    PUCHAR start = block->Data + block->Used;
    block->Used += size;
    log->CurrentBlockRecords++;
    return start;
}

// Room for `size` bytes when the current block has none: in a writable block (LogGetWritableBlock), made
// with the lock released when the chain may grow. Null when none can be had. Called with the lock held; it
// may release and take it again, and leaves in *fresh a block it made that went unused.
[[gnu::noinline]] PUCHAR ReserveInNewBlock(PCAPTURE_LOG log, ULONG size, KIRQL* irql, PLOG_BLOCK* fresh) {
    // A record that needs a new block gets it made with the lock released, once; whoever links a block
    // first, the record is placed where the chain stands when the lock is taken again.
    if (WantsNewBlock(log)) {
        KeReleaseSpinLock(&log->Lock, *irql);
        *fresh = NewBlock(log, size); // linked only to take this record at its start
        *irql = KeAcquireSpinLockRaiseToDpc(&log->Lock);
        if (PUCHAR start = ReserveInCurrent(log, size)) {
            return start;
        }
    }
    PLOG_BLOCK block = LogGetWritableBlock(log, fresh);
    if (block == nullptr || LOG_BLOCK_DATA_SIZE - block->Used < size) {
        return nullptr;
    }
    return ReserveInCurrent(log, size);
}

} // namespace

PCAPTURE_LOG LogCreate(ULONG PoolTag) {
    auto log = static_cast<PCAPTURE_LOG>(DriverAllocate(sizeof(CAPTURE_LOG)));
    if (log == nullptr) {
        return nullptr;
    }
    log->PoolTag = PoolTag;
    log->BlockLimit = LOG_BLOCK_LIMIT;
    InitializeListHead(&log->BlockList);
    KeInitializeSpinLock(&log->Lock);
    return log;
}

VOID LogFree(PCAPTURE_LOG Log) {
    if (Log == nullptr) {
        return;
    }
    LogFreeAll(Log);
    DriverFree(Log);
}

VOID LogResetSequence(PCAPTURE_LOG Log) {
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    Log->SequenceNumber = 0;
    KeReleaseSpinLock(&Log->Lock, irql);
}

BOOLEAN LogWriteRecord(PCAPTURE_LOG Log, PRECORD_DESCRIPTOR Record, PRECORD_FILLER Filler, PVOID Context, PIRP Irp,
                       PVOID CompletionContext) {
    if (!Record->Wanted) {
        return FALSE;
    }
    // A descriptor sized by RecordDescribe always fits an empty block; one that does not is refused whole
    // rather than cut.
    const ULONG size = RecordSize(Record);
    if (size > LOG_BLOCK_DATA_SIZE) {
        return FALSE;
    }
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    PLOG_BLOCK fresh = nullptr;
    PUCHAR start = ReserveInCurrent(Log, size);
    if (start == nullptr) {
        start = ReserveInNewBlock(Log, size, &irql, &fresh);
    }
    if (start == nullptr) {
        Log->RecordsDropped++;
    } else {
        RecordBegin(Record, start, Log->SequenceNumber++);
        Log->RecordsWritten++;
        if (Filler != nullptr) {
            Filler(Record, Context, Irp, CompletionContext, LogIsChangeLog(Log));
        }
        RecordFinish(Record);
    }
    KeReleaseSpinLock(&Log->Lock, irql);
    if (fresh != nullptr) {
        FreeBlock(Log, fresh); // another writer or the reader linked a block meanwhile
    }
    return start != nullptr;
}

NTSTATUS LogReadBlock(PCAPTURE_LOG Log, PVOID UserBuffer, ULONG Length, PULONG BytesReturned) {
    PASSIVE_CODE();
    *BytesReturned = 0;
    __try {
        ProbeForWrite(UserBuffer, Length, 1);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        return STATUS_INVALID_PARAMETER;
    }

    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    PLOG_BLOCK block;
    PLOG_BLOCK fresh = nullptr;
    bool freshMade = false;
    for (;;) {
        if (IsListEmpty(&Log->BlockList)) {
            KeReleaseSpinLock(&Log->Lock, irql);
            if (fresh != nullptr) {
                FreeBlock(Log, fresh);
            }
            return STATUS_SUCCESS;
        }
        PLOG_BLOCK current = LogPeekCurrent(Log);
        block = BlockOf(Log->BlockList.Blink);
        if (block->Used > Length) {
            KeReleaseSpinLock(&Log->Lock, irql);
            if (fresh != nullptr) {
                FreeBlock(Log, fresh);
            }
            return STATUS_BUFFER_TOO_SMALL;
        }
        if (block->Used != 0) {
            if (block == current && !freshMade) {
                // Taking the current block leaves the writers a new one: made with the lock released, then
                // the chain is looked at again.
                KeReleaseSpinLock(&Log->Lock, irql);
                fresh = NewBlock(Log, 0);
                freshMade = true;
                irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
                continue;
            }
            Unlink(Log, block);
            if (block == current) {
                // Writers go on in a fresh block, never in the one being read.
                Log->CurrentBlockRecords = 0;
                LogGetWritableBlock(Log, &fresh);
            }
            break;
        }
        if (block == current) {
            KeReleaseSpinLock(&Log->Lock, irql);
            if (fresh != nullptr) {
                FreeBlock(Log, fresh);
            }
            return STATUS_SUCCESS; // the only block left is the current one, and it is empty
        }
        // An empty block that is no longer written: drop it and look at the next one.
        Unlink(Log, block);
        FreeBlock(Log, block);
    }
    KeReleaseSpinLock(&Log->Lock, irql);
    if (fresh != nullptr) {
        FreeBlock(Log, fresh);
    }

    NTSTATUS status = STATUS_SUCCESS;
    __try {
        std::memcpy(UserBuffer, block->Data, block->Used);
        *BytesReturned = block->Used;
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        status = STATUS_INVALID_PARAMETER;
    }
    if (NT_SUCCESS(status)) {
        FreeBlock(Log, block);
    } else {
        // The caller's buffer went bad during the copy: keep the records for the next read.
        irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
        LinkOldest(Log, block);
        KeReleaseSpinLock(&Log->Lock, irql);
    }
    return status;
}

VOID LogClear(PCAPTURE_LOG Log) {
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    FreeOldestBlocks(Log, 1);
    if (PLOG_BLOCK current = LogPeekCurrent(Log)) {
        current->Used = 0;
    }
    Log->CurrentBlockRecords = 0;
    KeReleaseSpinLock(&Log->Lock, irql);
}

VOID LogFreeAll(PCAPTURE_LOG Log) {
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    FreeOldestBlocks(Log, 0);
    Log->CurrentBlockRecords = 0;
    KeReleaseSpinLock(&Log->Lock, irql);
}

VOID LogQueryStatistics(PCAPTURE_LOG Log, PLOG_STATISTICS Statistics) {
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Log->Lock);
    Statistics->BlockCount = static_cast<ULONG>(Log->BlockCount);
    Statistics->SequenceNumber = Log->SequenceNumber;
    Statistics->RecordsWritten = Log->RecordsWritten;
    Statistics->RecordsLost = Log->RecordsLost;
    Statistics->RecordsDropped = Log->RecordsDropped;
    Statistics->BlocksRecycled = Log->BlocksRecycled;
    KeReleaseSpinLock(&Log->Lock, irql);
}
