// Change-log records: a device object, a hooked driver or a device stack arrived ("vedA", "vrdA", "ktsA")
// or went ("vedR", "vrdR", "ktsR"). Part 2 is the node entry the node lists carry (common/NodeEntries.h),
// built by the caller; the header's IRP field holds the address of the driver's node the record describes.
// Each writer does nothing while the change log is not active.
//
// Locks: the change log's own, through LogWriteRecord; callers may hold none of the log's.
#pragma once

#include "common/NodeEntries.h"
#include "driver/log/Log.h"

// "vedA" or "vedR": part 2 the 112-byte DEVICE_NODE; DeviceObject, StackID and status (the node's
// StatusFlags) are taken from the entry. Node: the device-object node. FALSE when nothing was written
// (log inactive, wrong tag, no room).
BOOLEAN ChangeLogWriteDevice(PCAPTURE_LOG Log, ULONG Tag, const DEVICE_NODE* Entry, const VOID* Node);

// "vrdA" or "vrdR": part 2 a 48-byte DRIVER_NODE with the driver's name (at most 15 characters) and its
// driver object, every other byte 0; status the hooked driver's flags word. Entry: the hooked-driver entry.
BOOLEAN ChangeLogWriteDriver(PCAPTURE_LOG Log, ULONG Tag, const CHAR* DriverName, const VOID* DriverObject, ULONG Flags,
                             const VOID* Entry);

// "ktsA" or "ktsR": part 2 the 364-byte DEVSTK_NODE; StackID from the entry; status the stack's arrival
// ("ktsA") or removal ("ktsR") state byte. Node: the stack node.
BOOLEAN ChangeLogWriteStack(PCAPTURE_LOG Log, ULONG Tag, const DEVSTK_NODE* Entry, UCHAR State, const VOID* Node);
