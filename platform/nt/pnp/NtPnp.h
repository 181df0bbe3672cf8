// The Plug and Play manager as drivers see it: properties of device nodes, their registry keys, device
// interfaces, and requests to enumerate a bus again.
//
// The manager runs on a thread of its own. When a bus reports a new physical device object it asks the new
// device for its IDs, capabilities and texts, picks the function driver for its IDs, calls the AddDevice
// routines of the device's lower filters, its function driver and its upper filters (device filters first,
// then the class filters listed in the setup class's "UpperFilters"/"LowerFilters" values), sends
// IRP_MN_START_DEVICE to the top of the stack, and asks started devices for their bus relations. A child a bus
// no longer reports is removed with its own children first: IRP_MN_SURPRISE_REMOVAL, then
// IRP_MN_REMOVE_DEVICE; a driver whose last device is gone is unloaded. Every Plug and Play request starts with
// IoStatus.Status = STATUS_NOT_SUPPORTED, so a request no driver handles completes with it.
#pragma once

#include "NtIoManager.h"

// Answers from the device node of a physical device object (STATUS_INVALID_DEVICE_REQUEST for any other device
// object). Strings are UTF-16 with their NUL (REG_MULTI_SZ lists end with a second NUL); the class GUID is
// given in its registry form "{XXXXXXXX-...}"; numbers are ULONGs. A buffer that is too small gives
// STATUS_BUFFER_TOO_SMALL with the size needed in *ResultLength; a property the node lacks gives
// STATUS_OBJECT_NAME_NOT_FOUND.
NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT DeviceObject, DEVICE_REGISTRY_PROPERTY DeviceProperty, ULONG BufferLength,
                             PVOID PropertyBuffer, PULONG ResultLength);

// PLUGPLAY_REGKEY_DEVICE: the node's "Device Parameters" key (created when missing); PLUGPLAY_REGKEY_DRIVER:
// its driver key under the setup class ("...\Control\Class\{GUID}\0005").
NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT DeviceObject, ULONG DevInstKeyType, ACCESS_MASK DesiredAccess,
                                 PHANDLE DevInstRegKey);

// Registers (or finds again) an interface of the class InterfaceClassGuid on a physical device object. The
// link name, "\??\<instance path with '#' for '\'>#{guid}[\<reference>]", is allocated for the caller, who
// frees it with RtlFreeUnicodeString.
NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject, const GUID* InterfaceClassGuid,
                                   PUNICODE_STRING ReferenceString, PUNICODE_STRING SymbolicLinkName);
// Enabling creates the link to the physical device object's name (STATUS_OBJECT_NAME_EXISTS when it is enabled
// already); disabling deletes it. The Plug and Play manager disables the interfaces of a removed device.
NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable);
// The links of the enabled interfaces of a class (all registered ones with DEVICE_INTERFACE_INCLUDE_NONACTIVE),
// optionally of one device, as a REG_MULTI_SZ list in pool that the caller frees with ExFreePool.
NTSTATUS IoGetDeviceInterfaces(const GUID* InterfaceClassGuid, PDEVICE_OBJECT PhysicalDeviceObject, ULONG Flags,
                               PWSTR* SymbolicLinkList);

// Asks the Plug and Play manager to query the device's relations again (BusRelations: arrival of new children
// and removal of those no longer reported). Returns at once; the work runs on the manager's thread.
void IoInvalidateDeviceRelations(PDEVICE_OBJECT DeviceObject, DEVICE_RELATION_TYPE Type);
