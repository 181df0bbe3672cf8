// DRVOBJ_NODES: the hooked drivers and their device objects as a node list. Per listed driver, in hook
// order, its DRIVER_NODE followed by the DEVICE_NODE of each of its device objects in registration order;
// then the end entry. Drivers that have unloaded stay listed (flag bit 0, unload time) until the next
// refresh.
//
// Locks: the hooked-driver list lock for the whole request, each driver's device-object list lock under it,
// so the list cannot change between its size and its bytes.
#include <cstring>

#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "driver/control/ControlHandlers.h"
#include "driver/hook/Hook.h"
#include "driver/nodes/DeviceNode.h"

namespace {

// The bytes the list needs. The caller holds the list lock.
ULONG DriverNodesSizeLocked(VOID) {
    ULONG size = NODE_END_SIZE;
    for (PLIST_ENTRY link = g_Driver.HookedDriverList.Head.Flink; link != &g_Driver.HookedDriverList.Head;
         link = link->Flink) {
        auto extension = CONTAINING_RECORD(link, DRVOBJ_EXTENSION, Links);
        size += DRIVER_NODE_SIZE;
        if (PLOCKED_LIST devices = extension->DeviceObjects) {
            KeAcquireSpinLockAtDpcLevel(&devices->Lock);
            size += DEVICE_NODE_SIZE * static_cast<ULONG>(devices->Count);
            KeReleaseSpinLockFromDpcLevel(&devices->Lock);
        }
    }
    return size;
}

VOID DriverNodeFill(const DRVOBJ_EXTENSION* extension, PDRIVER_NODE node) {
    std::memset(node, 0, sizeof *node);
    node->Header.Kind = NODE_KIND_DRIVER;
    node->Header.Length = DRIVER_NODE_SIZE;
    CopyNodeString(node->DriverName, extension->DriverName, sizeof extension->DriverName);
    node->DriverObject = reinterpret_cast<ULONG_PTR>(extension->DriverObject);
    node->DriverFlags = extension->Flags;
    node->HookTime = static_cast<ULONG64>(extension->HookTime.QuadPart);
    node->UnloadTime = static_cast<ULONG64>(extension->UnloadTime.QuadPart);
}

// Writes the list into `out` (zeroed, at least the list's size). A driver entry goes in only while more than
// its 48 bytes remain, a device entry while its 112 bytes remain; otherwise the walk stops. Returns the
// bytes written, end entry included. The caller holds the list lock.
ULONG DriverNodesWriteLocked(PUCHAR out, ULONG length) {
    ULONG offset = 0;
    bool full = false;
    for (PLIST_ENTRY link = g_Driver.HookedDriverList.Head.Flink; !full && link != &g_Driver.HookedDriverList.Head;
         link = link->Flink) {
        auto extension = CONTAINING_RECORD(link, DRVOBJ_EXTENSION, Links);
        if (length - offset <= DRIVER_NODE_SIZE) {
            break;
        }
        DRIVER_NODE driverNode;
        DriverNodeFill(extension, &driverNode);
        std::memcpy(out + offset, &driverNode, sizeof driverNode);
        offset += DRIVER_NODE_SIZE;

        PLOCKED_LIST devices = extension->DeviceObjects;
        if (devices == nullptr) {
            continue;
        }
        KeAcquireSpinLockAtDpcLevel(&devices->Lock);
        for (PLIST_ENTRY d = devices->Head.Flink; d != &devices->Head; d = d->Flink) {
            if (length - offset < DEVICE_NODE_SIZE) {
                full = true;
                break;
            }
            DEVICE_NODE deviceNode;
            FillDeviceNode(CONTAINING_RECORD(d, DRVOBJ_DEVICE_ENTRY, Links)->Node, &deviceNode);
            std::memcpy(out + offset, &deviceNode, sizeof deviceNode);
            offset += DEVICE_NODE_SIZE;
        }
        KeReleaseSpinLockFromDpcLevel(&devices->Lock);
    }
    if (length - offset >= NODE_END_SIZE) {
        offset += NODE_END_SIZE; // kind 0, length 0: the bytes are zero already
    }
    return offset;
}

} // namespace

NTSTATUS ControlDriverNodes(PCONTROL_REQUEST Request) {
    NTSTATUS status = STATUS_SUCCESS;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_Driver.HookedDriverList.Lock);
    const ULONG size = DriverNodesSizeLocked();
    if (Request->Length == TINDALOFT_SIZE_QUERY_LENGTH) {
        tdl::StoreLe<ULONG>(Request->Buffer, size);
        Request->Information = TINDALOFT_SIZE_QUERY_LENGTH;
    } else if (Request->Length < size) {
        status = STATUS_BUFFER_TOO_SMALL;
    } else {
        auto out = static_cast<PUCHAR>(Request->Buffer);
        std::memset(out, 0, size);
        Request->Information = DriverNodesWriteLocked(out, size);
    }
    KeReleaseSpinLock(&g_Driver.HookedDriverList.Lock, irql);
    return status;
}
