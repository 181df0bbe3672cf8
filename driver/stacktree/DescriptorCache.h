// What a device stack learns from its own USB traffic: copies of its device, configuration and hub
// descriptors, the handle of its current configuration, the interface information of that configuration as
// the select requests returned it, and whether a BOS descriptor came back. Request capture feeds these from
// completed requests; GET_DEVSTK_INFO and the URB records read them.
//
// Who calls what (all up to DISPATCH_LEVEL, the stack referenced by the caller):
//   GET_DESCRIPTOR of a device descriptor completed      DescriptorCacheDeviceCompleted
//   class GET_DESCRIPTOR of a hub descriptor completed   DescriptorCacheHubCompleted
//   GET_DESCRIPTOR of a BOS descriptor completed         DescriptorCacheBosCompleted
//   SELECT_CONFIGURATION completed (also unconfigure)    StackSelectConfigurationCompleted
//   SELECT_INTERFACE completed                           StackSelectInterfaceCompleted
//   the stack leaves the tree / is freed                 StackInterfacesDrop / DescriptorCacheFree
//
// The cached descriptors are DESCRIPTOR_COPY blocks in the stack's DeviceDescriptor, ConfigDescriptor and
// HubDescriptor fields; the interface records (INTERFACE_RECORD) hang on Stack->Interfaces.
//
// Locks: Stack->Interfaces.Lock guards every cache field of its stack (the three copies, the configuration
// handle, the interface list); the configuration value is written under it and read without it. It is taken
// with none of the tree's locks held; the pipe table's lock may be taken under it (a configuration's pipe
// handles enter and leave the table together with its records), never the other way round.
#pragma once

#include "ntddk.h"
#include "usb.h"

struct _DEVICE_STACK;

// A cached descriptor: the bytes as they came back.
typedef struct _DESCRIPTOR_COPY {
    ULONG Length; // bytes in Bytes
    ULONG Reserved;
    UCHAR Bytes[1];
} DESCRIPTOR_COPY, *PDESCRIPTOR_COPY;

// One interface of the current configuration: the USBD_INTERFACE_INFORMATION record copied whole (Length
// bytes), and how many of its pipe entries lie inside that length.
typedef struct _INTERFACE_RECORD {
    LIST_ENTRY Links; // in Stack->Interfaces
    ULONG PipeCount;  // NumberOfPipes, cut to the entries the record's length holds
    ULONG Reserved;
    USBD_INTERFACE_INFORMATION Info; // Info.Length bytes
} INTERFACE_RECORD, *PINTERFACE_RECORD;

typedef enum _DESCRIPTOR_CACHE_KIND {
    DescriptorCacheDevice,
    DescriptorCacheConfiguration,
    DescriptorCacheHub,
} DESCRIPTOR_CACHE_KIND;

// --- Feeding from completed requests ---

// The cached device (or hub) descriptor is replaced by Length bytes of what came back: from TransferBuffer
// when it is a valid address, else from the system mapping of Mdl (mapped when it is not yet). Length 0, or
// a transfer that cannot be read, leaves nothing cached.
VOID DescriptorCacheDeviceCompleted(struct _DEVICE_STACK* Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length);
VOID DescriptorCacheHubCompleted(struct _DEVICE_STACK* Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length);
// Sets the stack's BOS-descriptor-seen flag when a BOS descriptor came back (through either buffer).
VOID DescriptorCacheBosCompleted(struct _DEVICE_STACK* Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length);

// A successful SELECT_CONFIGURATION. With a configuration descriptor: unless the same configuration handle
// is cached already, the descriptor (wTotalLength bytes), the handle and the interface records that follow
// in the request replace what was cached, and the pipe handles follow them in the pipe table. Without one
// (unconfigured): the descriptor, the handle and the interface records are dropped.
VOID StackSelectConfigurationCompleted(struct _DEVICE_STACK* Stack, const struct _URB_SELECT_CONFIGURATION* Urb);
// A successful SELECT_INTERFACE: an interface handle no recorded interface has is recorded with its pipes; a
// known (or null) handle changes nothing.
VOID StackSelectInterfaceCompleted(struct _DEVICE_STACK* Stack, const struct _URB_SELECT_INTERFACE* Urb);

// --- Reading ---

// Copies up to Capacity bytes of the cached descriptor into Buffer; returns the bytes copied. *Cached (when
// given) tells whether a copy is cached at all (a cached copy may hold 0 bytes).
ULONG DescriptorCacheCopy(struct _DEVICE_STACK* Stack, DESCRIPTOR_CACHE_KIND Kind, PVOID Buffer, ULONG Capacity,
                          PBOOLEAN Cached);
// bConfigurationValue of the cached configuration descriptor; 0 when none is cached or it is shorter than
// that field. Read without the lock: the capture road asks for it on every request with a pipe.
UCHAR StackConfigurationValue(const struct _DEVICE_STACK* Stack);
// The handle of the current configuration, null when unconfigured or unknown.
PVOID StackConfigurationHandle(struct _DEVICE_STACK* Stack);
// Interface records on the stack's list.
ULONG StackInterfaceCount(struct _DEVICE_STACK* Stack);

// --- Dropping ---

// The interface records leave the list and their pipe handles the pipe table; the records are freed.
VOID StackInterfacesDrop(struct _DEVICE_STACK* Stack);
// Everything cached is freed (the stack's last reference is going).
VOID DescriptorCacheFree(struct _DEVICE_STACK* Stack);
