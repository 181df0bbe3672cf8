// Driver-wide state of KxTdloft: the one instance g_Driver, set up by DriverEntry (DriverEntry.cpp) and torn
// down by the unload routine (Unload.cpp). Every part of the driver reads and writes its own fields here.
//
// Locks: the settings, switches, flags and the capture filter are single bytes or 32-bit words written whole
// without a lock, so a capture routine may see a mix of old and new settings while SET_LOGGING_OPTIONS runs.
// Each list below carries its own spin lock; each log carries its own (Log.h); the event ring needs none
// (MemlogRing.h). Where two are taken together the stack list goes before a stack's own locks; log and
// handle-table locks are always taken alone. All are taken with KeAcquireSpinLockRaiseToDpc.
//
// Layout of DRIVER_STATE (owner of each part in brackets):
//   DriverObject, RegistryPath, DebugLevel, TraceFlags, DriverName   identity          [DriverEntry.cpp]
//   Release                                                          release flags     [ReleaseDetect.cpp]
//   SafeMode                                                         Safe Mode start   [DriverEntry.cpp]
//   Boot, Capture                                                    registry settings [Settings.cpp]
//   BootCapture                                                      capture since boot: set at entry,
//                                                                    cleared by the first DEVSTK_REFRESH
//   AutoEnable                                                       ENABLE_LOG bit 0  [ControlLog.cpp]
//   FilterPresent, CaptureFilter                                     SET_LOGGING_OPTIONS [ControlOptions.cpp]
//   CaptureLog, ChangeLog                                            the two logs      [Log.cpp]
//   StackList, HookedDriverList, DeviceNodeList                      device-stack tree: initialised empty at
//                                                                    entry, filled by the stack-tree code
//                                                                    (HookedDriverList by the hooking code,
//                                                                    Hook.cpp)
//   LastStackID, DeviceNodeTable                                     [DeviceStackTree.cpp, DeviceNodeTable.cpp]
//   ControlDevice                                                    control device    [ControlDevice.cpp]
//   Memlog                                                           event ring        [MemlogRing.cpp]
#pragma once

#include "ntddk.h"

#include "common/FilterBlock.h"
#include "driver/log/MemlogRing.h"
#include "driver/nodes/DeviceNodeTable.h"

struct _CAPTURE_LOG;

// The Windows release, found once at entry. The flags pick the device-extension layouts used to recognise
// host-controller and hub device objects; on a release none of them names, that recognition is off.
typedef struct _WINDOWS_RELEASE {
    BOOLEAN w2k;  // 5.0, or a kernel that does not export the version routines
    BOOLEAN wxp;  // 5.1
    BOOLEAN wxp3; // 5.1 SP3 (with wxp)
    BOOLEAN w2k3; // 5.2
    BOOLEAN wlh;  // 6.0
    BOOLEAN wlh1; // 6.0 SP1 (with wlh)
    BOOLEAN wlh2; // 6.0 SP2 (with wlh)
    BOOLEAN win7; // 6.1
    BOOLEAN win8; // 6.2
} WINDOWS_RELEASE, *PWINDOWS_RELEASE;

// Boot parameters, read from the Parameters key at entry (Settings.cpp).
typedef struct _BOOT_PARAMETERS {
    BOOLEAN BreakOnEntry;       // read and kept; nothing acts on it
    BOOLEAN CaptureOnBoot;      // capture from entry on, at every start
    BOOLEAN CaptureOnceOnBoot;  // capture from entry on at the next start; INFO clears it once reported
    BOOLEAN EnableMiniportHook; // reported and saved; nothing acts on it
    ULONG MemlogFlags;          // optional event-ring events (MEMLOG_FLAG_*), nine bits
} BOOT_PARAMETERS, *PBOOT_PARAMETERS;

// Capture settings: what request capture records and how many data bytes it keeps per transfer. The
// registry holds them between starts; LOGGING_OPTIONS carries them to and from the application.
typedef struct _CAPTURE_SETTINGS {
    BOOLEAN CaptureBulk; // bulk and interrupt transfer data (0/1)
    ULONG BulkMaxSize;   // bytes kept per bulk/interrupt transfer
    BOOLEAN CaptureCtrl; // control transfer data (0/1)
    ULONG CtrlMaxSize;
    BOOLEAN CaptureIsoch; // isochronous transfer data (0/1)
    ULONG IsochMaxSize;
    UCHAR CaptureUrbs; // the request switches below: non-zero is on
    UCHAR CaptureUsbIntern;
    UCHAR CaptureHubIoctl;
    UCHAR CaptureHubInterface; // always 0: this driver does not hook hub-interface calls
    UCHAR CaptureUsbportHook;  // always 0: nor the port driver's miniport calls
    UCHAR CaptureHcdIoctl;
    UCHAR CaptureHidIoctl;
    UCHAR CaptureHidIntern;
    UCHAR CapturePnp;
    UCHAR CapturePower;
} CAPTURE_SETTINGS, *PCAPTURE_SETTINGS;

// A doubly linked list with its spin lock and entry count.
typedef struct _LOCKED_LIST {
    LIST_ENTRY Head;
    KSPIN_LOCK Lock;
    LONG Count;
} LOCKED_LIST, *PLOCKED_LIST;

inline void LockedListInitialize(PLOCKED_LIST list) {
    InitializeListHead(&list->Head);
    KeInitializeSpinLock(&list->Lock);
    list->Count = 0;
}

// The control device's extension: its own device object and copies of its two names.
typedef struct _CONTROL_DEVICE_EXTENSION {
    PDEVICE_OBJECT DeviceObject;
    UNICODE_STRING DeviceName; // "\Device\KxTdloft", own buffer
    UNICODE_STRING LinkName;   // "\DosDevices\Tindaloft", own buffer
} CONTROL_DEVICE_EXTENSION, *PCONTROL_DEVICE_EXTENSION;

// Bytes kept of the driver's own name (without "\Driver\"), NUL included.
constexpr ULONG DRIVER_NAME_SIZE = 32;

typedef struct _DRIVER_STATE {
    PDRIVER_OBJECT DriverObject;       // keys the driver-object extensions of hooked drivers; error-log source
    UNICODE_STRING RegistryPath;       // copy of the service key's path (own buffer), for every registry access
    UCHAR DebugLevel;                  // read at entry, kept
    ULONG TraceFlags;                  // read at entry, kept
    CHAR DriverName[DRIVER_NAME_SIZE]; // ANSI, kept

    WINDOWS_RELEASE Release;
    BOOLEAN SafeMode; // the system started in Safe Mode: no stack tree, no hooks

    BOOT_PARAMETERS Boot;
    CAPTURE_SETTINGS Capture;
    BOOLEAN BootCapture; // capture running since entry (CaptureOnBoot or CaptureOnceOnBoot)
    BOOLEAN AutoEnable;  // device objects newly found under hooked drivers start with capture on

    UCHAR FilterPresent;        // non-zero: CaptureFilter is in force
    FILTER_BLOCK CaptureFilter; // kept while not in force

    struct _CAPTURE_LOG* CaptureLog; // pool tag "trac"
    struct _CAPTURE_LOG* ChangeLog;  // pool tag "chng"

    LOCKED_LIST StackList;             // every device stack node
    LOCKED_LIST HookedDriverList;      // one entry per hooked driver
    LOCKED_LIST DeviceNodeList;        // every device-object node, also those whose stack is gone
    volatile LONG LastStackID;         // StackID of the stack created last (0 before the first)
    DEVICE_NODE_TABLE DeviceNodeTable; // device object -> device-object node

    PDEVICE_OBJECT ControlDevice; // "\Device\KxTdloft", null until created

    MEMLOG_STATE Memlog;
} DRIVER_STATE;

extern DRIVER_STATE g_Driver;

// True when the optional events of `flag` (MEMLOG_FLAG_*) are switched on.
inline BOOLEAN MemlogWants(ULONG flag) {
    return (g_Driver.Boot.MemlogFlags & flag) != 0;
}

// --- Entry points and the routines behind them ---

DRIVER_INITIALIZE DriverEntry;
DRIVER_UNLOAD DriverUnload;
DRIVER_ADD_DEVICE DriverAddDevice;
DRIVER_DISPATCH DispatchCreateClose;   // IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_CLEANUP
DRIVER_DISPATCH DispatchSystemControl; // IRP_MJ_SYSTEM_CONTROL (WMI)
DRIVER_DISPATCH ControlDispatch;       // IRP_MJ_DEVICE_CONTROL (ControlDispatch.cpp)

// Sets the release flags from the version routines the kernel exports, writing one event per test that matched.
void ReleaseDetect(PWINDOWS_RELEASE release);

// Creates "\Device\KxTdloft" and its link "\DosDevices\Tindaloft"; on failure nothing is left behind.
NTSTATUS ControlDeviceCreate(PDRIVER_OBJECT driverObject);
// Deletes the link, the name copies and the device (nothing when there is none).
void ControlDeviceDelete(void);
// Frees the capture log and the change log (either may be missing) and forgets them.
void DriverLogsFree(void);
