// Live queries down a device stack: requests this driver sends itself to the top-most present device object
// of a stack (a hub's functional device object, for the connection queries of GET_DEVSTK_INFO). They are
// device-control requests carrying this driver's own mark, so request capture never records them.
//
// Locks: the stack's device-list lock, alone, while the device object is chosen; none while the request
// runs.
#pragma once

#include "ntddk.h"

struct _DEVICE_STACK;

// Sends IoControlCode with Data (Length bytes) as its input and output buffers and waits for the answer,
// which is copied back into Data. STATUS_UNSUCCESSFUL when the stack has no present device object, when
// RequireUsable and the stack is removed or its device object's removal is under way, or when the request
// cannot be built; otherwise the status of the request. PASSIVE_LEVEL.
NTSTATUS StackQueryLive(struct _DEVICE_STACK* Stack, ULONG IoControlCode, PVOID Data, ULONG Length,
                        BOOLEAN RequireUsable);
