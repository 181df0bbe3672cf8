// The device-object table: device object -> device-object node, the cache through which request capture finds
// the node of every request it sees. 256 buckets of singly linked chains, chosen by the low 8 bits of a 64-bit
// integer hash of the key; new entries go to the head of their chain; freed entries wait on a free list for
// the next insertion before the pool is asked.
//
// Entries are filled on a lookup that misses (from the tree) and leave when their node is marked removed.
// Each entry holds a reference on its node.
//
// Locks: the table's own spin lock, taken alone (no other lock held). Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

struct _DEVOBJ_NODE;

constexpr ULONG DEVICE_NODE_TABLE_BUCKETS = 256;

typedef struct _DEVICE_NODE_TABLE_ENTRY {
    struct _DEVICE_NODE_TABLE_ENTRY* Next;
    PDEVICE_OBJECT Key;
    struct _DEVOBJ_NODE* Node;
} DEVICE_NODE_TABLE_ENTRY, *PDEVICE_NODE_TABLE_ENTRY;

typedef struct _DEVICE_NODE_TABLE {
    PDEVICE_NODE_TABLE_ENTRY Buckets[DEVICE_NODE_TABLE_BUCKETS];
    PDEVICE_NODE_TABLE_ENTRY FreeList;
    KSPIN_LOCK Lock;
    LONG Count; // entries in the buckets
} DEVICE_NODE_TABLE, *PDEVICE_NODE_TABLE;

// Bucket of a key: the low 8 bits of the 64-bit integer hash (shift-add-xor mix, shifts logical).
constexpr ULONG HandleTableBucket(ULONG64 key) {
    key += ~(key << 32);
    key ^= key >> 22;
    key += ~(key << 13);
    key ^= key >> 8;
    key += key << 3;
    key ^= key >> 15;
    key += ~(key << 27);
    key ^= key >> 31;
    return static_cast<ULONG>(key & 0xFF);
}

VOID DeviceNodeTableInitialize(PDEVICE_NODE_TABLE Table);
// The node entered last for DeviceObject, referenced; null when there is none.
struct _DEVOBJ_NODE* DeviceNodeTableLookup(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject);
// Enters the pair (taking a reference on the node). FALSE without memory.
BOOLEAN DeviceNodeTableInsert(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, struct _DEVOBJ_NODE* Node);
// Removes every entry of this pair (dropping their references).
VOID DeviceNodeTableRemove(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, struct _DEVOBJ_NODE* Node);
// Removes every entry and frees the free list (unload).
VOID DeviceNodeTableFree(PDEVICE_NODE_TABLE Table);
