// The internal event ring.
//
// Locks: none. A writer takes its slot with one interlocked decrement and fills it with four 64-bit stores;
// the stores are relaxed atomics so that a concurrent readout sees each word whole (the entry may be torn).
#include "driver/log/MemlogRing.h"

#include "driver/core/Driver.h"
#include "driver/core/Pool.h"

namespace {

inline void StoreWord(ULONG64* word, ULONG64 value) {
    __atomic_store_n(word, value, __ATOMIC_RELAXED);
}

} // namespace

void MemlogInitialize(PMEMLOG_STATE memlog) {
    memlog->LogEnabled = TRUE;
    memlog->LogAllocSize = MEMLOG_RING_SIZE;
    memlog->LogBuffer = static_cast<PMEMLOG_ENTRY>(DriverAllocate(memlog->LogAllocSize));
    if (memlog->LogBuffer == nullptr) {
        memlog->LogEnabled = FALSE;
        memlog->LogAllocSize = 0;
        memlog->IndexMask = 0;
        memlog->CurEntry = nullptr;
        memlog->CurIndex = 0;
        return;
    }
    memlog->CurIndex = 0;
    memlog->IndexMask = memlog->LogAllocSize / sizeof(MEMLOG_ENTRY) - 1;
    memlog->CurEntry = memlog->LogBuffer + memlog->IndexMask;
}

void MemlogFree(PMEMLOG_STATE memlog) {
    memlog->LogEnabled = FALSE;
    PMEMLOG_ENTRY ring = memlog->LogBuffer;
    memlog->LogBuffer = nullptr;
    memlog->CurEntry = nullptr;
    memlog->LogAllocSize = 0;
    DriverFree(ring);
}

void MemlogWrite3(ULONG tag, ULONG64 value1, ULONG64 value2, ULONG64 value3) {
    PMEMLOG_STATE memlog = &g_Driver.Memlog;
    if (!memlog->LogEnabled) {
        return;
    }
    const ULONG index = static_cast<ULONG>(InterlockedDecrement(&memlog->CurIndex));
    PMEMLOG_ENTRY entry = memlog->LogBuffer + (index & memlog->IndexMask);
    __atomic_store_n(&memlog->CurEntry, entry, __ATOMIC_RELAXED);
    // Slots lie at multiples of 32 bytes in pool memory, so the words of an entry are aligned.
    ULONG64* words = reinterpret_cast<ULONG64*>(entry);
    StoreWord(&words[0], tag);
    StoreWord(&words[1], value1);
    StoreWord(&words[2], value2);
    StoreWord(&words[3], value3);
}

void MemlogWrite(ULONG tag, ULONG64 value1, ULONG64 value2) {
    MemlogWrite3(tag, value1, value2, 0);
}

void MemlogSnapshot(const MEMLOG_STATE* memlog, PMEMLOG_CONTROL control) {
    MEMLOG_CONTROL snapshot = {};
    snapshot.LogBuffer = reinterpret_cast<ULONG_PTR>(memlog->LogBuffer);
    snapshot.CurEntry = reinterpret_cast<ULONG_PTR>(__atomic_load_n(&memlog->CurEntry, __ATOMIC_RELAXED));
    snapshot.CurIndex = static_cast<ULONG>(__atomic_load_n(&memlog->CurIndex, __ATOMIC_RELAXED));
    snapshot.IndexMask = memlog->IndexMask;
    snapshot.LogAllocSize = memlog->LogAllocSize;
    snapshot.LogEnabled = memlog->LogEnabled;
    RtlCopyMemory(control, &snapshot, sizeof snapshot);
}
