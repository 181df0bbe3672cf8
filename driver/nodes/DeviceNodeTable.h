// The device-object table: device object -> device-object node, the cache through which request capture finds
// the node of every request it sees. A chained table (ChainedTable.h).
//
// Entries are filled on a lookup that misses (from the tree) and leave when their node is marked removed.
// Each entry holds a reference on its node.
//
// Locks: the table's own spin lock, taken alone (no other lock held). Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "driver/nodes/ChainedTable.h"

struct _DEVOBJ_NODE;

typedef struct _DEVICE_NODE_TABLE_ENTRY {
    struct _DEVICE_NODE_TABLE_ENTRY* Next;
    PDEVICE_OBJECT Key;
    struct _DEVOBJ_NODE* Node;
} DEVICE_NODE_TABLE_ENTRY, *PDEVICE_NODE_TABLE_ENTRY;

// Zero is an empty table (the spin lock free); DeviceNodeTableFree returns it to that state.
typedef CHAINED_TABLE<DEVICE_NODE_TABLE_ENTRY> DEVICE_NODE_TABLE, *PDEVICE_NODE_TABLE;

// The node entered last for DeviceObject, referenced; null when there is none.
struct _DEVOBJ_NODE* DeviceNodeTableLookup(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject);
// Enters the pair (taking a reference on the node). FALSE without memory.
BOOLEAN DeviceNodeTableInsert(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, struct _DEVOBJ_NODE* Node);
// Removes every entry of this pair (dropping their references).
VOID DeviceNodeTableRemove(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, struct _DEVOBJ_NODE* Node);
// Removes every entry and frees the free list (unload).
VOID DeviceNodeTableFree(PDEVICE_NODE_TABLE Table);
