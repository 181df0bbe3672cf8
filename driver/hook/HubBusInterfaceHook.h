// The hub bus-interface hook: hub drivers remove the USB devices on their ports through the RemoveUsbDevice
// routine of the bus interface they obtain with IRP_MN_QUERY_INTERFACE (USB_BUS_INTERFACE_HUB_GUID, versions
// 5 to 8). When such a query completes successfully through a hooked driver, the interface the hub receives
// gets HookedRemoveUsbDevice in place of RemoveUsbDevice, so that a device handle the port driver destroys
// also leaves the driver's device-handle table.
//
// The routine that was there is kept per bus context (one provider's bus, the interface's BusContext), with a
// copy of the interface as it came back, so a hub always reaches its own provider's routine: two providers
// of one version do not share an entry, and an interface that already carries HookedRemoveUsbDevice (the
// query passed a second hooked device object on its way back) is left as it is and never taken for an
// original. The table lives in the driver image, not in pool: hubs keep their interface copies for as long
// as they run, so the originals must outlive anything this driver frees.
//
// Locks: one spin lock of its own around the table, taken alone; the device-handle table's lock is taken
// after it is released. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "hubbusif.h"

// Bus contexts the table keeps at most. An entry stays for as long as the driver runs, since a hub may call
// the hook at any time; once the table is full, the interfaces of further bus contexts are left unhooked.
constexpr ULONG HUB_BUS_INTERFACE_HOOK_ENTRIES = 64;

// TRUE when a QUERY_INTERFACE asks for the hub bus interface. The type is read only where it can be read; a
// pointer to the interface's own GUID object (a constant in the image, which holds one copy of it) is
// recognised without a read.
BOOLEAN IsHubBusInterfaceType(const GUID* InterfaceType);

// A QUERY_INTERFACE completed through a hooked device object; Location is its stack location as it was sent
// (the interface type, size, version and the caller's interface). Only a successful query for the hub bus
// interface of version 5 to 8, whose interface can be read and written whole, is hooked.
VOID HubBusInterfaceQueried(const IO_STACK_LOCATION* Location, NTSTATUS Status);

// Put in place of RemoveUsbDevice: calls the provider's routine for BusContext and, when it succeeds and
// neither USBD_KEEP_DEVICE_DATA nor USBD_MARK_DEVICE_BUSY was asked, drops DeviceHandle from the
// device-handle table. STATUS_UNSUCCESSFUL when the bus context has no known routine. Once this driver's
// unload has begun it only calls the provider's routine.
NTSTATUS HookedRemoveUsbDevice(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle, ULONG Flags);

// What the table holds for a bus context, for tests and diagnostics. FALSE when nothing.
typedef struct _HUB_BUS_INTERFACE_ORIGINAL {
    PUSB_BUSIFFN_REMOVE_USB_DEVICE RemoveUsbDevice;
    USHORT Version;
    USHORT Size; // bytes of the interface copied (at most a version-8 interface)
} HUB_BUS_INTERFACE_ORIGINAL, *PHUB_BUS_INTERFACE_ORIGINAL;
BOOLEAN HubBusInterfaceOriginal(PVOID BusContext, PHUB_BUS_INTERFACE_ORIGINAL Original);
// Bus contexts the table holds.
ULONG HubBusInterfaceHookCount(VOID);

// Forgets every bus context. The table is the image's data, so it goes when the image unloads (the driver's
// unload calls it once no hub is left to call the hook); a driver that starts over while its image stays
// loaded (a test process) starts with an empty table as it would after a reload.
VOID HubBusInterfaceHookReset(VOID);
