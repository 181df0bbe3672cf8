// The device-stack node lists.
//
// Locks: the stack-list lock throughout, and a stack's device-list lock under it while its nodes are walked.
// The buffer is the request's system buffer (non-paged), so it is written with the locks held.
#include "driver/nodes/NodeList.h"

#include "common/NodeEntries.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

// Walks the list under the stack-list lock: counts it (null buffer) or writes it. FALSE when an entry did
// not fit where it was to go.
BOOLEAN NodeListWalkLocked(NODE_LIST_KIND kind, UCHAR* buffer, ULONG length, PULONG bytes) {
    const BOOLEAN presentOnly = kind == NodeListPresentStacks;
    ULONG offset = 0;
    for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head; link = link->Flink) {
        PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
        if (presentOnly && stack->Removed) {
            continue;
        }
        if (buffer != nullptr) {
            if (length - offset <= DEVSTK_NODE_SIZE) {
                return FALSE;
            }
            FillDevstkNode(stack, reinterpret_cast<PDEVSTK_NODE>(buffer + offset));
        }
        offset += DEVSTK_NODE_SIZE;

        KeAcquireSpinLockAtDpcLevel(&stack->Devices.Lock);
        for (PLIST_ENTRY nodeLink = stack->Devices.Head.Flink; nodeLink != &stack->Devices.Head;
             nodeLink = nodeLink->Flink) {
            PDEVOBJ_NODE node = CONTAINING_RECORD(nodeLink, DEVOBJ_NODE, StackLinks);
            if (presentOnly && DeviceNodeIsRemoved(node)) {
                continue;
            }
            if (buffer != nullptr) {
                if (length - offset < DEVICE_NODE_SIZE) {
                    KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
                    return FALSE;
                }
                FillDeviceNode(node, reinterpret_cast<PDEVICE_NODE>(buffer + offset));
            }
            offset += DEVICE_NODE_SIZE;
        }
        KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
    }
    if (buffer != nullptr) {
        if (length - offset < NODE_END_SIZE) {
            return FALSE;
        }
        RtlZeroMemory(buffer + offset, NODE_END_SIZE);
    }
    *bytes = offset + NODE_END_SIZE;
    return TRUE;
}

} // namespace

ULONG NodeListDevstkSize(NODE_LIST_KIND Kind) {
    ULONG size = 0;
    const KIRQL irql = StackListLock();
    NodeListWalkLocked(Kind, nullptr, 0, &size);
    StackListUnlock(irql);
    return size;
}

NTSTATUS NodeListDevstkWrite(NODE_LIST_KIND Kind, PVOID Buffer, ULONG Length, PULONG Written) {
    *Written = 0;
    NTSTATUS status = STATUS_BUFFER_TOO_SMALL;
    const KIRQL irql = StackListLock();
    ULONG size = 0;
    NodeListWalkLocked(Kind, nullptr, 0, &size);
    if (Length >= size) {
        RtlZeroMemory(Buffer, size);
        ULONG written = 0;
        if (NodeListWalkLocked(Kind, static_cast<UCHAR*>(Buffer), Length, &written)) {
            *Written = written;
            status = STATUS_SUCCESS;
        }
    }
    StackListUnlock(irql);
    return status;
}
