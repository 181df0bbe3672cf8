// The driver's internal event ring as GET_MEMLOG hands it out: MEMLOG_CONTROL, then LogAllocSize bytes of
// 32-byte MEMLOG_ENTRY slots. Writers take slots downwards with one interlocked decrement, so the newest
// entry is at CurEntry and older ones follow above it, wrapping at the top.
#pragma once

#include <cstddef>

#include "ntdef.h"

#pragma pack(push, 1)
typedef struct _MEMLOG_CONTROL {
    ULONG64 LogBuffer;  // address of the ring (0 when not allocated)
    ULONG64 CurEntry;   // address of the entry written last
    ULONG CurIndex;     // running index, decremented once per entry (starts at 0)
    ULONG IndexMask;    // entries - 1
    ULONG LogAllocSize; // ring size in bytes (0 when not allocated)
    UCHAR LogEnabled;   // 0 when the ring could not be allocated
    UCHAR Reserved[3];
} MEMLOG_CONTROL, *PMEMLOG_CONTROL;

typedef struct _MEMLOG_ENTRY {
    ULONG64 Tag; // four characters in the low bytes, memory order (FourCC)
    ULONG64 Value1;
    ULONG64 Value2;
    ULONG64 Value3;
} MEMLOG_ENTRY, *PMEMLOG_ENTRY;
#pragma pack(pop)

static_assert(sizeof(MEMLOG_CONTROL) == 32 && sizeof(MEMLOG_ENTRY) == 32);
static_assert(offsetof(MEMLOG_CONTROL, CurEntry) == 8 && offsetof(MEMLOG_CONTROL, CurIndex) == 16 &&
              offsetof(MEMLOG_CONTROL, IndexMask) == 20 && offsetof(MEMLOG_CONTROL, LogAllocSize) == 24 &&
              offsetof(MEMLOG_CONTROL, LogEnabled) == 28 && offsetof(MEMLOG_CONTROL, Reserved) == 29);
static_assert(offsetof(MEMLOG_ENTRY, Value1) == 8 && offsetof(MEMLOG_ENTRY, Value2) == 16 &&
              offsetof(MEMLOG_ENTRY, Value3) == 24);

constexpr ULONG MEMLOG_RING_SIZE = 0x40000; // 8,192 entries
constexpr ULONG MEMLOG_ENTRY_COUNT = MEMLOG_RING_SIZE / sizeof(MEMLOG_ENTRY);
constexpr ULONG MEMLOG_INDEX_MASK = MEMLOG_ENTRY_COUNT - 1;
static_assert(MEMLOG_ENTRY_COUNT == 8192 && (MEMLOG_ENTRY_COUNT & MEMLOG_INDEX_MASK) == 0);

// `MemlogFlags` switches of optional events.
constexpr ULONG MEMLOG_FLAG_TREE = 0x1;       // device-stack tree, classification, hooking, capture
constexpr ULONG MEMLOG_FLAG_PROBES = 0x40;    // device-extension probes
constexpr ULONG MEMLOG_FLAG_HANDLERS = 0x100; // entry and exit of control-request handlers

// Slot of the entry whose decremented index is `newIndex` (the first entry, index 0 - 1, takes the top slot).
constexpr ULONG MemlogSlot(ULONG newIndex, ULONG indexMask = MEMLOG_INDEX_MASK) {
    return newIndex & indexMask;
}
static_assert(MemlogSlot(0u - 1u) == 8191 && MemlogSlot(0u - 8193u) == 8191);

// Bytes of a GET_MEMLOG reply with a ring of `logAllocSize` bytes.
constexpr ULONG MemlogReplySize(ULONG logAllocSize) {
    return static_cast<ULONG>(sizeof(MEMLOG_CONTROL)) + logAllocSize;
}
static_assert(MemlogReplySize(MEMLOG_RING_SIZE) == 262176);
