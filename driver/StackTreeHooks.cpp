// The tree's calls into the hooking code and the handle tables. Until they are built no driver is hooked and
// no handle is tabled; the caches are freed here so that a stack never leaks what was put in them.
//
// Locks: none.
#include "driver/StackTreeHooks.h"

#include "driver/Pool.h"
#include "driver/StackTree.h"

BOOLEAN StackTreeHookDriver(PDEVOBJ_NODE Node) {
    (void)Node;
    return FALSE;
}

VOID StackTreeRegisterHookedDevice(PDEVOBJ_NODE Node) { (void)Node; }

VOID StackTreeDeviceHandleChanged(PDEVICE_STACK Stack, ULONG64 Old, ULONG64 New) {
    (void)Stack;
    (void)Old;
    (void)New;
}

VOID StackTreeDeviceHandleDropped(PDEVICE_STACK Stack) { (void)Stack; }

VOID StackTreeStackDetached(PDEVICE_STACK Stack) { (void)Stack; }

VOID StackTreeStackCachesFree(PDEVICE_STACK Stack) {
    DriverFree(Stack->DeviceDescriptor);
    DriverFree(Stack->HubDescriptor);
    DriverFree(Stack->ConfigDescriptor);
    Stack->DeviceDescriptor = nullptr;
    Stack->HubDescriptor = nullptr;
    Stack->ConfigDescriptor = nullptr;
}

VOID StackTreePurgeHookedDrivers(VOID) {}
