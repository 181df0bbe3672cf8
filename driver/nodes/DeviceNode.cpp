// Device-object nodes: creation, identity, references, completion contexts and the DEVICE_NODE entry.
//
// Locks: the node-list lock (g_Driver.DeviceNodeList.Lock) alone in DeviceNodeFindAny; nothing else. The
// last reference may go at DISPATCH_LEVEL (a completion context given back), so freeing takes no lock.
#include "driver/nodes/DeviceNode.h"

#include <new>

#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/nodes/ObjectName.h"
#include "driver/record/RecordChangeLog.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

// Error code of the system event-log entry for a node listed without its stack, and its one string.
constexpr NTSTATUS ORPHAN_NODE_ERROR_CODE = static_cast<NTSTATUS>(0x805003E9);
constexpr char16_t ORPHAN_NODE_TEXT[] = u"DeviceObject node without an owning DeviceStack";
constexpr USHORT ORPHAN_STRING_OFFSET = offsetof(IO_ERROR_LOG_PACKET, DumpData); // 40

constexpr SIZE_T NODE_ALIGNMENT = alignof(DEVOBJ_NODE);

ULONG64 PerformanceCounterNow() {
    return static_cast<ULONG64>(KeQueryPerformanceCounter(nullptr).QuadPart);
}

// The system event-log entry for a node listed without a stack.
VOID OrphanNodeLog(void) {
    const UCHAR size = static_cast<UCHAR>(sizeof(IO_ERROR_LOG_PACKET) + sizeof ORPHAN_NODE_TEXT);
    auto* packet = static_cast<PIO_ERROR_LOG_PACKET>(IoAllocateErrorLogEntry(g_Driver.DriverObject, size));
    if (packet == nullptr) {
        return;
    }
    packet->ErrorCode = ORPHAN_NODE_ERROR_CODE;
    packet->NumberOfStrings = 1;
    packet->StringOffset = ORPHAN_STRING_OFFSET;
    RtlCopyMemory(reinterpret_cast<UCHAR*>(packet) + ORPHAN_STRING_OFFSET, ORPHAN_NODE_TEXT, sizeof ORPHAN_NODE_TEXT);
    IoWriteErrorLogEntry(packet);
}
static_assert(sizeof(IO_ERROR_LOG_PACKET) + sizeof ORPHAN_NODE_TEXT <= ERROR_LOG_MAXIMUM_SIZE);

VOID DeviceNodeFree(PDEVOBJ_NODE node) {
    if (MemlogWants(MEMLOG_FLAG_TREE)) {
        MemlogWrite(FourCC("~dev"), reinterpret_cast<ULONG_PTR>(node), reinterpret_cast<ULONG_PTR>(node->DeviceObject));
    }
    for (PSLIST_ENTRY context = InterlockedFlushSList(&node->ContextCache); context != nullptr;) {
        PSLIST_ENTRY next = context->Next;
        ExFreeToNPagedLookasideList(&node->ContextLookaside, context);
        context = next;
    }
    ExDeleteNPagedLookasideList(&node->ContextLookaside);
    PDEVICE_STACK stack = node->Stack;
    PVOID allocation = node->Allocation;
    node->~DEVOBJ_NODE();
    DriverFree(allocation);
    if (stack != nullptr) {
        StackRelease(stack);
    }
}

} // namespace

PDEVOBJ_NODE DeviceNodeCreate(PDEVICE_OBJECT DeviceObject) {
    // The lookaside list inside the node wants more alignment than pool gives.
    PVOID allocation = DriverAllocate(sizeof(DEVOBJ_NODE) + NODE_ALIGNMENT - 1);
    if (allocation == nullptr) {
        return nullptr;
    }
    const ULONG_PTR aligned = (reinterpret_cast<ULONG_PTR>(allocation) + NODE_ALIGNMENT - 1) & ~(NODE_ALIGNMENT - 1);
    auto* node = new (reinterpret_cast<PVOID>(aligned)) DEVOBJ_NODE{};
    node->Tag = DEVOBJ_NODE_TAG;
    node->Allocation = allocation;
    node->DeviceObject = DeviceObject;
    node->StatusFlags = DEVOBJ_CAPTURE_OFF;
    node->References = 1;
    node->StartTime = PerformanceCounterNow();
    InitializeListHead(&node->StackLinks);
    InitializeListHead(&node->NodeLinks);
    InitializeListHead(&node->BatchLinks);
    InitializeListHead(&node->GatherLinks);
    InitializeSListHead(&node->ContextCache);
    ExInitializeNPagedLookasideList(&node->ContextLookaside, nullptr, nullptr, 0, DEVOBJ_CONTEXT_SIZE, KXTD_POOL_TAG,
                                    0);
    return node;
}

VOID DeviceNodeQueryIdentity(PDEVOBJ_NODE Node) {
    PASSIVE_CODE();
    PDEVICE_OBJECT device = Node->DeviceObject;
    Node->DriverObject = device->DriverObject;
    Node->DeviceType = device->DeviceType;
    if (Node->DriverObject != nullptr) {
        ObjectNameQueryAnsi(Node->DriverObject, u"\\Driver\\", Node->DriverName, DEVOBJ_DRIVER_NAME_SIZE);
    }
    ObjectNameQueryAnsi(device, u"\\Device\\", Node->DeviceName, DEVOBJ_DEVICE_NAME_SIZE);
}

VOID DeviceNodeRelease(PDEVOBJ_NODE Node) {
    if (InterlockedDecrement(&Node->References) == 0) {
        DeviceNodeFree(Node);
    }
}

BOOLEAN IsNusb3Controller(const DEVOBJ_NODE* Node) {
    return Node->UpperClass == UPPER_CLASS_VENDOR_XHCI && NameEquals(Node->DriverName, "nusb3xhc");
}

VOID FillDeviceNode(PDEVOBJ_NODE Node, PDEVICE_NODE Entry) {
    DEVICE_NODE entry;
    RtlZeroMemory(&entry, sizeof entry);
    entry.Header.Kind = NODE_KIND_DEVICE;
    entry.Header.Length = DEVICE_NODE_SIZE;
    CopyNodeString(entry.DeviceName, Node->DeviceName, sizeof Node->DeviceName);
    entry.DeviceObject = reinterpret_cast<ULONG_PTR>(Node->DeviceObject);
    entry.StatusFlags = DeviceNodeFlags(Node);
    const PDEVICE_STACK stack = DeviceNodeOwningStack(Node);
    if (stack != nullptr) {
        entry.StackID = static_cast<USHORT>(stack->StackID);
    } else if ((InterlockedOr(&Node->TreeState, DEVOBJ_TREE_ORPHAN_LOGGED) & DEVOBJ_TREE_ORPHAN_LOGGED) == 0) {
        // Once per node, not per fill: every listing fills it again, and the system's event log would fill up.
        OrphanNodeLog();
    }
    entry.Position = Node->Position;
    entry.DriverObject = reinterpret_cast<ULONG_PTR>(Node->DriverObject);
    entry.StartTime = Node->StartTime;
    entry.RemovalTime = static_cast<ULONG64>(Node->RemovalTime);
    entry.BottomClass = static_cast<USHORT>(Node->BottomClass);
    entry.UpperClass = static_cast<USHORT>(Node->UpperClass);
    RtlCopyMemory(Entry, &entry, sizeof entry);
}

VOID DeviceNodeReport(PDEVOBJ_NODE Node, ULONG Tag) {
    if (g_Driver.ChangeLog == nullptr || !LogIsActive(g_Driver.ChangeLog)) {
        return;
    }
    DEVICE_NODE entry;
    FillDeviceNode(Node, &entry);
    ChangeLogWriteDevice(g_Driver.ChangeLog, Tag, &entry, Node);
}

PVOID DeviceNodeContextAllocateWithReference(PDEVOBJ_NODE Node) {
    PVOID context = InterlockedPopEntrySList(&Node->ContextCache);
    if (context == nullptr) {
        context = ExAllocateFromNPagedLookasideList(&Node->ContextLookaside);
        if (context == nullptr) {
            return nullptr;
        }
        InterlockedIncrement(&Node->ContextsAllocated);
    }
    return context;
}

PVOID DeviceNodeContextAllocate(PDEVOBJ_NODE Node) {
    PVOID context = DeviceNodeContextAllocateWithReference(Node);
    if (context != nullptr) {
        DeviceNodeReference(Node);
    }
    return context;
}

VOID DeviceNodeContextFree(PDEVOBJ_NODE Node, PVOID Context) {
    if (ExQueryDepthSList(&Node->ContextCache) < DEVOBJ_CONTEXT_CACHE_DEPTH) {
        InterlockedPushEntrySList(&Node->ContextCache, static_cast<PSLIST_ENTRY>(Context));
    } else {
        ExFreeToNPagedLookasideList(&Node->ContextLookaside, Context);
        InterlockedIncrement(&Node->ContextsFreed);
    }
    DeviceNodeRelease(Node);
}

PDEVOBJ_NODE DeviceNodeFindAny(PDEVICE_OBJECT DeviceObject) {
    PDEVOBJ_NODE found = nullptr;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_Driver.DeviceNodeList.Lock);
    for (PLIST_ENTRY link = g_Driver.DeviceNodeList.Head.Flink; link != &g_Driver.DeviceNodeList.Head;
         link = link->Flink) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, NodeLinks);
        if (node->DeviceObject != DeviceObject) {
            continue;
        }
        if (found == nullptr || (DeviceNodeIsRemoved(found) && !DeviceNodeIsRemoved(node))) {
            found = node;
        }
    }
    if (found != nullptr) {
        DeviceNodeReference(found);
    }
    KeReleaseSpinLock(&g_Driver.DeviceNodeList.Lock, irql);
    return found;
}
