// Per-device-object capture state for a boot-time capture, kept under the ActiveNodes subkey of the service
// key (a sibling of Parameters):
//
//   ActiveNodes\{class GUID}\<instance>   one key per device stack, at the stack's driver key name
//       "<00>", "<01>", ...               REG_DWORD per device object, named by its position in the stack:
//                                         8 = capture off, 0 = capture on
//
// The device-stack tree calls these with the stack's class GUID and driver key name and the node's
// position; they fail quietly (FALSE) when the stack lacks either or any key step fails.
//
// Locks: none; registry access at PASSIVE_LEVEL.
#pragma once

#include "ntddk.h"

typedef struct _ACTIVE_NODE_PATH {
    const GUID* ClassGuid; // the stack's class GUID; null or all zero: the stack has none
    PCSTR DriverKeyName;   // the stack's driver key name ("{class GUID}\0005"), ANSI; null or empty: none
    USHORT Position;       // the device object's position in its stack, 0 for the physical device object
} ACTIVE_NODE_PATH, *PACTIVE_NODE_PATH;

// Writes the node's value, creating ActiveNodes, the class-GUID key and the stack's key as needed.
BOOLEAN WriteActiveNode(const ACTIVE_NODE_PATH* node, ULONG value);
// Reads the node's value: it must exist and be a four-byte REG_DWORD.
BOOLEAN ReadActiveNode(const ACTIVE_NODE_PATH* node, PULONG value);
// Deletes the node's value when it can be read.
void DeleteActiveNode(const ACTIVE_NODE_PATH* node);
// Deletes every key below each class-GUID key of ActiveNodes (created when absent); the class-GUID keys and
// ActiveNodes stay. Stops at the first step that fails and returns its status; success otherwise.
NTSTATUS ClearActiveNodes(void);
