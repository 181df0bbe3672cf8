// The two handle tables request capture reads for every URB it records: USB device handle -> device stack,
// and pipe handle -> the pipe's entry in the recorded interface information of its stack. (The third table,
// device object -> device-object node, is DeviceNodeTable.h.)
//
// Each table is a chained table (ChainedTable.h). A device-handle lookup copies what it returns while the
// table's lock is held; a pipe lookup takes no lock (HandleTables.cpp): a pipe entry keeps its own copy of
// what a lookup returns, taken from the interface record when the pipe is entered.
//
// Lifetime: a device-handle entry holds a reference on its stack. A pipe entry belongs to an interface record
// of its stack's interface list (DescriptorCache.h), whose pipe handles leave the table before the record is
// freed; the entry's copy never changes, since a record's interface information does not once its pipes are
// entered.
//
// Locks: one spin lock per table, never taken while another table's lock is held; a stack's interface lock
// may be held around the pipe table's (DescriptorCache.h). Nothing is taken under a table's lock, and stack
// references are dropped after it is released. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"
#include "usb.h"

struct _DEVICE_STACK;
struct _INTERFACE_RECORD;

// --- Device-handle table ---

// Enters the pair unless the table already holds an entry for Handle (whatever its stack). A handle of 0
// is never entered. FALSE without memory.
BOOLEAN DeviceHandleTableInsert(ULONG64 Handle, struct _DEVICE_STACK* Stack);
// The stack of the entry for Handle entered last, referenced (the caller releases it with StackRelease);
// null when there is none. Matches, when given, receives the number of entries with that key.
struct _DEVICE_STACK* DeviceHandleTableLookup(ULONG64 Handle, PULONG Matches);
// Removes the entries of this pair only: a composite device's interface stacks share their parent's handle,
// and one of them going must not take the parent's entry with it.
VOID DeviceHandleTableRemove(ULONG64 Handle, struct _DEVICE_STACK* Stack);

// --- Pipe table ---

// What a pipe lookup copies out.
typedef struct _PIPE_LOOKUP {
    USBD_PIPE_INFORMATION Pipe; // as the select request returned it
    UCHAR InterfaceNumber;
    UCHAR AlternateSetting;
    UCHAR Class;
    UCHAR SubClass;
    UCHAR Protocol;
    ULONG StackID; // of the stack whose interface list holds the pipe
    ULONG Matches; // entries with this pipe handle
} PIPE_LOOKUP, *PPIPE_LOOKUP;

// Enters PipeHandle -> (the Index-th pipe of Interface, Stack). FALSE without memory.
BOOLEAN PipeTableInsert(ULONG64 PipeHandle, struct _INTERFACE_RECORD* Interface, ULONG Index,
                        struct _DEVICE_STACK* Stack);
// TRUE when PipeHandle (non-zero) has an entry; the entry entered last is copied to *Result.
BOOLEAN PipeTableLookup(ULONG64 PipeHandle, PPIPE_LOOKUP Result);
// TRUE when the table holds an entry for PipeHandle.
BOOLEAN PipeTableContains(ULONG64 PipeHandle);
// Removes every entry that points into Interface.
VOID PipeTableRemoveInterface(const struct _INTERFACE_RECORD* Interface);

// --- Teardown ---

// Unload: every entry and both free lists freed (stack references dropped); the tables are empty and
// usable again afterwards.
VOID HandleTablesFree(VOID);

// Entries in use, for tests and diagnostics.
ULONG DeviceHandleTableCount(VOID);
ULONG PipeTableCount(VOID);
