// Where the device-stack tree hands over to the hooking of drivers' dispatch tables and to the handle tables
// and descriptor caches. The tree calls these at the points named; the bodies in StackTreeHooks.cpp belong
// to the hooking code and pass each call on to Hook.h, HandleTables.h or DescriptorCache.h.
//
// Locks: the tree calls every one of these with none of its locks held, except StackTreeDriverHooked, which
// takes no lock and may be asked under them.
#pragma once

#include "ntddk.h"

struct _DEVOBJ_NODE;
struct _DEVICE_STACK;

// Hooks the node's driver (once per driver). TRUE when the driver is hooked afterwards. PASSIVE_LEVEL.
BOOLEAN StackTreeHookDriver(struct _DEVOBJ_NODE* Node);
// TRUE when the node's driver is hooked, so that the requests sent to its device object pass this driver.
// Takes no lock; any IRQL up to DISPATCH_LEVEL.
BOOLEAN StackTreeDriverHooked(const struct _DEVOBJ_NODE* Node);
// Enters the node in its driver's device-object list when that driver is hooked (taking a reference on the
// node for the entry).
VOID StackTreeRegisterHookedDevice(struct _DEVOBJ_NODE* Node);
// The stack's device handle changed from Old (0: none) to New.
VOID StackTreeDeviceHandleChanged(struct _DEVICE_STACK* Stack, ULONG64 Old, ULONG64 New);
// The stack was marked removed: its device handle leaves the device-handle table.
VOID StackTreeDeviceHandleDropped(struct _DEVICE_STACK* Stack);
// A refresh or unload took the stack out of the tree: its device handle, its interface list and their pipe
// handles leave the tables.
VOID StackTreeStackDetached(struct _DEVICE_STACK* Stack);
// The last reference to the stack is going: free its cached descriptors and interface records.
VOID StackTreeStackCachesFree(struct _DEVICE_STACK* Stack);
// Refresh: drop the records of drivers that have unloaded, and the entries of removed nodes from the rest.
VOID StackTreePurgeHookedDrivers(VOID);
