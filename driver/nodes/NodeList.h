// The device-stack node list of DEVSTK_NODES and DEVSTK_NODES_EX: per stack in creation order its
// DEVSTK_NODE, then the DEVICE_NODE of each of its device objects (bottom first), then a 4-byte end entry.
// The _EX form leaves out removed stacks and removed device objects.
//
// Locks: the stack-list lock for the whole computation and writing, and each stack's device-list lock while
// its entries are written, so the list cannot change between its size and its bytes.
#pragma once

#include "ntddk.h"

typedef enum _NODE_LIST_KIND {
    NodeListAllStacks,     // DEVSTK_NODES
    NodeListPresentStacks, // DEVSTK_NODES_EX
} NODE_LIST_KIND;

// Bytes the list needs now.
ULONG NodeListDevstkSize(NODE_LIST_KIND Kind);

// Writes the list into Buffer (non-paged: the request's system buffer). The buffer's first `size` bytes are
// zeroed first. STATUS_BUFFER_TOO_SMALL when it does not hold the whole list (nothing is then reported as
// written); on success *Written is the bytes written, which is the size.
NTSTATUS NodeListDevstkWrite(NODE_LIST_KIND Kind, PVOID Buffer, ULONG Length, PULONG Written);
