// The tree's calls into the hooking code (Hook.h), the handle tables (HandleTables.h) and the descriptor
// caches (DescriptorCache.h).
//
// Locks: none held on entry (StackTreeHooks.h); each callee takes its own.
#include "driver/stacktree/StackTreeHooks.h"

#include "driver/hook/Hook.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

BOOLEAN StackTreeHookDriver(PDEVOBJ_NODE Node) {
    return HookDriverObject(Node->DriverObject) != nullptr;
}

BOOLEAN StackTreeDriverHooked(const DEVOBJ_NODE* Node) {
    return HookFindExtension(Node->DriverObject) != nullptr;
}

VOID StackTreeRegisterHookedDevice(PDEVOBJ_NODE Node) {
    if (Node->DriverObject != nullptr) {
        AddDriverDeviceObject(Node); // a driver not hooked has no list to enter
    }
}

VOID StackTreeDeviceHandleChanged(PDEVICE_STACK Stack, ULONG64 Old, ULONG64 New) {
    if (Old != 0) {
        DeviceHandleTableRemove(Old, Stack);
    }
    DeviceHandleTableInsert(New, Stack);
}

VOID StackTreeDeviceHandleDropped(PDEVICE_STACK Stack) {
    DeviceHandleTableRemove(StackDeviceHandle(Stack), Stack);
}

VOID StackTreeStackDetached(PDEVICE_STACK Stack) {
    DeviceHandleTableRemove(StackDeviceHandle(Stack), Stack);
    StackInterfacesDrop(Stack);
}

VOID StackTreeStackCachesFree(PDEVICE_STACK Stack) {
    DescriptorCacheFree(Stack);
}

VOID StackTreePurgeHookedDrivers(VOID) {
    HookPurge();
}
