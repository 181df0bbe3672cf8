// The internal event ring: 8,192 entries of 32 bytes in non-paged pool, written lock-free from any context
// up to DISPATCH_LEVEL and handed out whole by GET_MEMLOG.
//
// Locks: none. Each writer takes its own slot with one interlocked decrement of CurIndex, so writers never
// wait; two writers 8,192 entries apart may meet in a slot and the later one wins. The readout copies without
// a lock and may see a torn entry.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "common/Memlog.h"

// The ring's state as the driver holds it; MemlogSnapshot turns it into the MEMLOG_CONTROL wire block.
typedef struct _MEMLOG_STATE {
    PMEMLOG_ENTRY LogBuffer; // the ring, or null when it could not be allocated
    PMEMLOG_ENTRY CurEntry;  // the entry written last (the top slot before the first entry)
    LONG CurIndex;           // running index, decremented once per entry; starts at 0
    ULONG IndexMask;         // entries - 1
    ULONG LogAllocSize;      // ring bytes; 0 when there is no ring
    BOOLEAN LogEnabled;      // entries are written only while set
} MEMLOG_STATE, *PMEMLOG_STATE;

// Allocates and zeroes the ring and enables the log; without memory the log stays off and loading goes on.
void MemlogInitialize(PMEMLOG_STATE memlog);
// Frees the ring; the log is off afterwards.
void MemlogFree(PMEMLOG_STATE memlog);

// Writes one entry (the third value 0) when the log is enabled.
void MemlogWrite(ULONG tag, ULONG64 value1, ULONG64 value2);
void MemlogWrite3(ULONG tag, ULONG64 value1, ULONG64 value2, ULONG64 value3);

// The control block as it stands (addresses as numbers).
void MemlogSnapshot(const MEMLOG_STATE* memlog, PMEMLOG_CONTROL control);
