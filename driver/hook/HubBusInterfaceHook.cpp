// The hub bus-interface hook (HubBusInterfaceHook.h).
#include "driver/hook/HubBusInterfaceHook.h"

#include <algorithm>
#include <cstring>

#include "common/FourCC.h"
#include "driver/capture/CaptureIoctlRecord.h"
#include "driver/hook/Hook.h"
#include "driver/log/MemlogRing.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

typedef struct _HOOK_ENTRY {
    PVOID BusContext; // null: free
    PUSB_BUSIFFN_REMOVE_USB_DEVICE RemoveUsbDevice;
    USHORT Version;
    USHORT Size;
    USB_BUS_INTERFACE_HUB_V8 Copy; // the interface as the provider returned it
} HOOK_ENTRY;

KSPIN_LOCK g_lock;
HOOK_ENTRY g_entries[HUB_BUS_INTERFACE_HOOK_ENTRIES];

// A device-handle table entry per stack that shares a handle (a composite device and its interfaces): one
// pass per entry, never more than the table could hold for one handle.
constexpr ULONG MAX_STACKS_PER_HANDLE = 64;

USHORT InterfaceSize(USHORT version) {
    switch (version) {
    case USB_BUSIF_HUB_VERSION_5: return sizeof(USB_BUS_INTERFACE_HUB_V5);
    case USB_BUSIF_HUB_VERSION_6: return sizeof(USB_BUS_INTERFACE_HUB_V6);
    case USB_BUSIF_HUB_VERSION_7: return sizeof(USB_BUS_INTERFACE_HUB_V7);
    case USB_BUSIF_HUB_VERSION_8: return sizeof(USB_BUS_INTERFACE_HUB_V8);
    }
    return 0;
}

// Under the lock: the entry of the bus context, else a free one; null when the table is full. An entry is
// never taken from another bus context: no one can tell whether its hub is gone, and a hub that still calls
// the hook must reach its provider.
HOOK_ENTRY* EntryForLocked(PVOID busContext) {
    HOOK_ENTRY* vacant = nullptr;
    for (HOOK_ENTRY& entry : g_entries) {
        if (entry.BusContext == busContext) {
            return &entry;
        }
        if (vacant == nullptr && entry.BusContext == nullptr) {
            vacant = &entry;
        }
    }
    return vacant;
}

const HOOK_ENTRY* FindLocked(PVOID busContext) {
    for (const HOOK_ENTRY& entry : g_entries) {
        if (entry.BusContext != nullptr && entry.BusContext == busContext) {
            return &entry;
        }
    }
    return nullptr;
}

// Every stack that has this handle in the device-handle table loses it there.
VOID DropDeviceHandle(ULONG64 handle) {
    for (ULONG i = 0; i < MAX_STACKS_PER_HANDLE; ++i) {
        PDEVICE_STACK stack = DeviceHandleTableLookup(handle, nullptr);
        if (stack == nullptr) {
            return;
        }
        DeviceHandleTableRemove(handle, stack);
        StackRelease(stack);
    }
}

} // namespace

BOOLEAN IsHubBusInterfaceType(const GUID* InterfaceType) {
    if (InterfaceType == &USB_BUS_INTERFACE_HUB_GUID) {
        return TRUE;
    }
    GUID type;
    return CaptureReadChecked(InterfaceType, &type, sizeof type) && type == USB_BUS_INTERFACE_HUB_GUID;
}

VOID HubBusInterfaceQueried(const IO_STACK_LOCATION* Location, NTSTATUS Status) {
    const auto& query = Location->Parameters.QueryInterface;
    if (!NT_SUCCESS(Status)) {
        return;
    }
    // The caller's interface is read into a copy and written back by address: it need not be aligned.
    auto* caller = reinterpret_cast<PUCHAR>(query.Interface);
    USB_BUS_INTERFACE_HUB_V8 hub = {};
    if (!IsHubBusInterfaceType(query.InterfaceType) ||
        !CaptureReadChecked(caller, &hub, sizeof(USB_BUS_INTERFACE_HUB_V5))) {
        return;
    }
    const USHORT size = InterfaceSize(hub.Version);
    if (size == 0 || hub.Size < size || !CaptureReadChecked(caller, &hub, size)) {
        return;
    }
    PUSB_BUSIFFN_REMOVE_USB_DEVICE original = hub.RemoveUsbDevice;
    // Ours already: the query came back through another hooked device object, which hooked it first.
    if (original == HookedRemoveUsbDevice || original == nullptr || hub.BusContext == nullptr) {
        return;
    }
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_lock);
    HOOK_ENTRY* entry = EntryForLocked(hub.BusContext);
    if (entry == nullptr) {
        // No room: the hub keeps its provider's routine (its removed handles leave the table with their stacks).
        KeReleaseSpinLock(&g_lock, irql);
        MemlogWrite3(FourCC("HbIF"), reinterpret_cast<ULONG64>(hub.BusContext), reinterpret_cast<ULONG64>(original),
                     hub.Version);
        return;
    }
    entry->BusContext = hub.BusContext;
    entry->RemoveUsbDevice = original;
    entry->Version = hub.Version;
    entry->Size = size;
    entry->Copy = hub;
    KeReleaseSpinLock(&g_lock, irql);
    const PUSB_BUSIFFN_REMOVE_USB_DEVICE hooked = HookedRemoveUsbDevice;
    std::memcpy(caller + offsetof(USB_BUS_INTERFACE_HUB_V8, RemoveUsbDevice), &hooked, sizeof hooked);
    if (MemlogWants(MEMLOG_FLAG_TREE)) {
        MemlogWrite3(FourCC("HbIf"), reinterpret_cast<ULONG64>(hub.BusContext), reinterpret_cast<ULONG64>(original),
                     hub.Version);
    }
}

NTSTATUS HookedRemoveUsbDevice(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle, ULONG Flags) {
    // Once unload has begun no reference is granted: the hub still reaches its provider, but the handle
    // table, which unload frees, is left alone, and no reference is given back that was not taken.
    const BOOLEAN referenced = HookRundownAcquire();
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_lock);
    const HOOK_ENTRY* entry = FindLocked(BusContext);
    PUSB_BUSIFFN_REMOVE_USB_DEVICE original = entry != nullptr ? entry->RemoveUsbDevice : nullptr;
    KeReleaseSpinLock(&g_lock, irql);
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    if (original != nullptr) {
        status = original(BusContext, DeviceHandle, Flags);
    } else if (referenced) {
        MemlogWrite(FourCC("HbI?"), reinterpret_cast<ULONG64>(BusContext), reinterpret_cast<ULONG64>(DeviceHandle));
    }
    if (!referenced) {
        return status;
    }
    if (NT_SUCCESS(status) && !(Flags & (USBD_KEEP_DEVICE_DATA | USBD_MARK_DEVICE_BUSY))) {
        DropDeviceHandle(reinterpret_cast<ULONG64>(DeviceHandle));
    }
    HookRundownRelease();
    return status;
}

BOOLEAN HubBusInterfaceOriginal(PVOID BusContext, PHUB_BUS_INTERFACE_ORIGINAL Original) {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_lock);
    const HOOK_ENTRY* entry = FindLocked(BusContext);
    if (entry != nullptr) {
        Original->RemoveUsbDevice = entry->RemoveUsbDevice;
        Original->Version = entry->Version;
        Original->Size = entry->Size;
    }
    KeReleaseSpinLock(&g_lock, irql);
    return entry != nullptr;
}

ULONG HubBusInterfaceHookCount(VOID) {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_lock);
    const auto count = static_cast<ULONG>(
        std::count_if(std::begin(g_entries), std::end(g_entries), [](const HOOK_ENTRY& e) { return e.BusContext; }));
    KeReleaseSpinLock(&g_lock, irql);
    return count;
}

VOID HubBusInterfaceHookReset(VOID) {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_lock);
    std::memset(g_entries, 0, sizeof g_entries);
    KeReleaseSpinLock(&g_lock, irql);
}
