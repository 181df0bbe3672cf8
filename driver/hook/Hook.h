// Hooking of USB drivers: the driver takes over four dispatch entries (device control, internal device
// control, Plug and Play, power) and the unload routine of every driver whose device objects the device-stack
// tree marks for hooking, and keeps per hooked driver what it saved and the device objects it has seen.
//
// Who calls what:
//   the device-stack tree (StackTreeHooks.cpp)  HookDriverObject, AddDriverDeviceObject, HookPurge (refresh)
//   the I/O manager, unloading a hooked driver  HookedDriverUnload
//   DRVOBJ_NODES (ControlDriverNodes.cpp)       walks g_Driver.HookedDriverList under its lock
//   request capture (Capture.h)                 HookFindExtension, the rundown references
//   this driver's unload (Unload.cpp)           HookUnloadRestore first, HookFree later
//
// Lifetime: an extension lives as long as the hooked driver's driver object. When that driver unloads, a pool
// copy takes the extension's place in the hooked-driver list and keeps the driver's device-object list; the
// next refresh (HookPurge) frees both. Each device-object entry holds a reference on its node.
//
// Locks: the hooked-driver list (g_Driver.HookedDriverList) has its own spin lock, held for every insertion,
// unlinking and purge, and while a device-object list changes. Each hooked driver's device-object list has
// its own lock, taken under the list lock. No other lock of this driver is taken under either; node
// references are dropped and change-log records written after they are released.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "driver/core/Driver.h"

constexpr ULONG DRVOBJ_EXTENSION_TAG = FourCC("atdr");
constexpr ULONG DRVOBJ_DEVICE_ENTRY_TAG = FourCC("atdo");

constexpr ULONG DRVOBJ_FLAG_UNLOADED = 0x01; // the driver has unloaded (set when it is unhooked)

// Bytes kept of a hooked driver's name (without "\Driver\"), NUL included.
constexpr ULONG HOOKED_DRIVER_NAME_SIZE = 32;
constexpr ULONG HOOKED_MAJOR_FUNCTION_COUNT = IRP_MJ_MAXIMUM_FUNCTION + 1;

struct _DEVOBJ_NODE;

// Per hooked driver, allocated as a driver-object extension of the hooked driver keyed by this driver's own
// driver object, so that it lives as long as the hooked driver's driver object. When the driver unloads, a
// pool copy (Copy set) takes its place in the hooked-driver list.
typedef struct _DRVOBJ_EXTENSION {
    ULONG Tag;                                // DRVOBJ_EXTENSION_TAG
    ULONG Flags;                              // DRVOBJ_FLAG_*
    PDRIVER_OBJECT DriverObject;              // the hooked driver (gone once Flags has DRVOBJ_FLAG_UNLOADED)
    LIST_ENTRY Links;                         // in g_Driver.HookedDriverList
    CHAR DriverName[HOOKED_DRIVER_NAME_SIZE]; // ANSI, at most 31 characters
    PDRIVER_DISPATCH SavedMajorFunction[HOOKED_MAJOR_FUNCTION_COUNT]; // as they were before hooking
    PDRIVER_UNLOAD SavedDriverUnload;
    LARGE_INTEGER HookTime;     // KeQueryPerformanceCounter
    LARGE_INTEGER UnloadTime;   // 0 until the driver unloads
    PLOCKED_LIST DeviceObjects; // DRVOBJ_DEVICE_ENTRY list, shared by the extension and its unload copy
    UCHAR Copy;                 // this is the pool copy made at unload
    UCHAR Reserved[15];
} DRVOBJ_EXTENSION, *PDRVOBJ_EXTENSION;
static_assert(sizeof(DRVOBJ_EXTENSION) == 336);
static_assert(sizeof(LOCKED_LIST) == 32);

// One device object of a hooked driver.
typedef struct _DRVOBJ_DEVICE_ENTRY {
    ULONG Tag; // DRVOBJ_DEVICE_ENTRY_TAG
    LIST_ENTRY Links;
    PDEVICE_OBJECT DeviceObject;
    struct _DEVOBJ_NODE* Node; // referenced
} DRVOBJ_DEVICE_ENTRY, *PDRVOBJ_DEVICE_ENTRY;
static_assert(sizeof(DRVOBJ_DEVICE_ENTRY) == 40);

// This driver's extension on `driverObject`, or null when that driver is not hooked. Any IRQL up to
// DISPATCH_LEVEL.
PDRVOBJ_EXTENSION HookFindExtension(PDRIVER_OBJECT driverObject);

// Hooks a driver: saves its dispatch table and unload routine, replaces MajorFunction[IRP_MJ_DEVICE_CONTROL],
// [IRP_MJ_INTERNAL_DEVICE_CONTROL], [IRP_MJ_PNP] and [IRP_MJ_POWER] with HookedDispatch and its unload routine
// (when it has one) with HookedDriverUnload, lists it and writes "vrdA". A driver hooked already is returned
// as it is. Null when the extension or its list cannot be had (the driver stays unhooked). PASSIVE_LEVEL.
PDRVOBJ_EXTENSION HookDriverObject(PDRIVER_OBJECT DriverObject);

// The unload routine patched into hooked drivers: unhooks the driver and calls its own unload routine.
DRIVER_UNLOAD HookedDriverUnload;

// Marks the driver unloaded and replaces its extension in the list by a pool copy (which takes over the
// device-object list), writing "vrdR". Returns the copy; null when the driver was not hooked or the copy
// could not be had (its device-object entries are then dropped at once).
PDRVOBJ_EXTENSION UnhookDriverObject(PDRIVER_OBJECT DriverObject);

// Enters the node's device object in its driver's device-object list (once per device object and node).
// STATUS_UNSUCCESSFUL when the driver is not hooked, STATUS_INSUFFICIENT_RESOURCES without memory.
NTSTATUS AddDriverDeviceObject(struct _DEVOBJ_NODE* Node);
// Takes the entry off the extension's list, marks its node removed (when it is not yet) and frees the entry.
// PASSIVE_LEVEL; the caller holds none of the tree's or the hooking code's locks.
VOID RemoveDriverDeviceObject(PDRVOBJ_EXTENSION Extension, PDRVOBJ_DEVICE_ENTRY Entry);

// DEVSTK_REFRESH: frees every listed driver that has unloaded (its copy and device-object list), then drops
// from the other drivers the entries whose nodes are marked removed.
VOID HookPurge(VOID);

// This driver is unloading: gives every still-loaded hooked driver back the dispatch entries and unload
// routine that still point here, then waits until no request is inside HookedDispatch and no completion
// routine of this driver is left in a request's path. PASSIVE_LEVEL.
VOID HookUnloadRestore(VOID);
// Unload, after HookUnloadRestore: empties the hooked-driver list, frees the copies and device-object lists
// and retires the extensions of loaded drivers (a later load of this driver may hook them again).
VOID HookFree(VOID);

// Rundown of the routines this driver has put into other drivers' request paths. Request capture takes a
// reference while a request is inside HookedDispatch, shares it with the completion routine it installs,
// and drops it when both have run. Once this driver's unload has begun no reference is granted (FALSE): the
// request then goes on unrecorded. Any IRQL up to DISPATCH_LEVEL.
BOOLEAN HookRundownAcquire(VOID);
VOID HookRundownRelease(VOID);
// The same for a reference whose acquire and release both know a key of its own (request capture uses the
// hooked driver's stack location of the request): a cheaper pair, since neither asks which processor it runs
// on. A reference acquired with a key is released with the same key.
BOOLEAN HookRundownAcquireFor(const VOID* Key);
VOID HookRundownReleaseFor(const VOID* Key);
// Whether this driver's unload has begun: no completion routine is put into a request's path any more.
BOOLEAN HookRundownUnloading(VOID);
// At driver entry: no references, not unloading.
VOID HookRundownInitialize(VOID);
