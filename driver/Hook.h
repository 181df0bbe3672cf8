// Hooking of USB drivers: the driver takes over four dispatch entries (device control, internal device
// control, Plug and Play, power) and the unload routine of every driver whose device objects the device-stack
// tree marks for hooking, and keeps per hooked driver what it saved and the device objects it has seen.
//
// Locks: the hooked-driver list (g_Driver.HookedDriverList) has its own spin lock, held for every insertion,
// unlinking and purge. Each hooked driver's device-object list has its own. The list lock may be held while a
// device-object list lock is taken, never the other way round.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "driver/Driver.h"

constexpr ULONG DRVOBJ_EXTENSION_TAG = FourCC("atdr");
constexpr ULONG DRVOBJ_DEVICE_ENTRY_TAG = FourCC("atdo");

constexpr ULONG DRVOBJ_FLAG_UNLOADED = 0x01; // the driver has unloaded (set when it is unhooked)

// Bytes kept of a hooked driver's name (without "\Driver\"), NUL included.
constexpr ULONG HOOKED_DRIVER_NAME_SIZE = 32;
constexpr ULONG HOOKED_MAJOR_FUNCTION_COUNT = IRP_MJ_MAXIMUM_FUNCTION + 1;

struct _DEVICE_OBJECT_NODE;

// Per hooked driver, allocated as a driver-object extension of the hooked driver keyed by this driver's own
// driver object, so that it lives as long as the hooked driver's driver object. When the driver unloads, a
// pool copy (Copy set) takes its place in the hooked-driver list.
typedef struct _DRVOBJ_EXTENSION {
    ULONG Tag;                    // DRVOBJ_EXTENSION_TAG
    ULONG Flags;                  // DRVOBJ_FLAG_*
    PDRIVER_OBJECT DriverObject;  // the hooked driver (gone once Flags has DRVOBJ_FLAG_UNLOADED)
    LIST_ENTRY Links;             // in g_Driver.HookedDriverList
    CHAR DriverName[HOOKED_DRIVER_NAME_SIZE]; // ANSI, at most 31 characters
    PDRIVER_DISPATCH SavedMajorFunction[HOOKED_MAJOR_FUNCTION_COUNT]; // as they were before hooking
    PDRIVER_UNLOAD SavedDriverUnload;
    LARGE_INTEGER HookTime;       // KeQueryPerformanceCounter
    LARGE_INTEGER UnloadTime;     // 0 until the driver unloads
    PLOCKED_LIST DeviceObjects;   // DRVOBJ_DEVICE_ENTRY list, shared by the extension and its unload copy
    UCHAR Copy;                   // this is the pool copy made at unload
    UCHAR Reserved[15];
} DRVOBJ_EXTENSION, *PDRVOBJ_EXTENSION;
static_assert(sizeof(DRVOBJ_EXTENSION) == 336);
static_assert(sizeof(LOCKED_LIST) == 32);

// One device object of a hooked driver.
typedef struct _DRVOBJ_DEVICE_ENTRY {
    ULONG Tag; // DRVOBJ_DEVICE_ENTRY_TAG
    LIST_ENTRY Links;
    PDEVICE_OBJECT DeviceObject;
    struct _DEVICE_OBJECT_NODE* Node;
} DRVOBJ_DEVICE_ENTRY, *PDRVOBJ_DEVICE_ENTRY;
static_assert(sizeof(DRVOBJ_DEVICE_ENTRY) == 40);

// This driver's extension on `driverObject`, or null when that driver is not hooked.
PDRVOBJ_EXTENSION HookFindExtension(PDRIVER_OBJECT driverObject);
