// Driver entry: the event ring, release detection, the registry path and the settings, the two logs, the
// dispatch routines and the control device, in that order. A failed load leaves nothing allocated.
//
// Locks: none; entry runs alone on a system thread at PASSIVE_LEVEL.
#include "common/DriverInfo.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/core/Settings.h"
#include "driver/hook/Hook.h"
#include "driver/log/Log.h"
#include "driver/nodes/ObjectName.h"

DRIVER_STATE g_Driver;

namespace {

void DriverStateReset(void) {
    RtlZeroMemory(&g_Driver, sizeof g_Driver);
    g_Driver.DebugLevel = 4;
    g_Driver.TraceFlags = 5;
    CaptureSettingsSetDefaults(&g_Driver.Capture);
}

// Parameters key: created with the built-in capture settings at the first start, then the settings loaded.
NTSTATUS DriverSettingsLoad(void) {
    HANDLE key;
    BOOLEAN created = FALSE;
    NTSTATUS status = OpenParametersKey(&key, &created);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ZwClose(key);
    if (created) {
        SaveCaptureSettings();
    }
    LoadBootParameters();
    if (g_Driver.Boot.CaptureOnBoot || g_Driver.Boot.CaptureOnceOnBoot) {
        LogSetActive(g_Driver.CaptureLog, TRUE);
        g_Driver.BootCapture = TRUE;
    }
    return STATUS_SUCCESS;
}

NTSTATUS DriverInitialize(PDRIVER_OBJECT driverObject) {
    LockedListInitialize(&g_Driver.StackList);
    LockedListInitialize(&g_Driver.HookedDriverList);
    LockedListInitialize(&g_Driver.DeviceNodeList);
    HookRundownInitialize();

    g_Driver.CaptureLog = LogCreate(LOG_TAG_CAPTURE);
    g_Driver.ChangeLog = LogCreate(LOG_TAG_CHANGE);
    if (g_Driver.CaptureLog == nullptr || g_Driver.ChangeLog == nullptr) {
        DriverLogsFree();
        return STATUS_INSUFFICIENT_RESOURCES;
    }

    g_Driver.SafeMode = *InitSafeBootMode != 0;
    MemlogWrite(FourCC("Safe"), g_Driver.SafeMode, 0);

    NTSTATUS status = DriverSettingsLoad();
    if (!NT_SUCCESS(status)) {
        DriverLogsFree();
        return status;
    }

    driverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driverObject->MajorFunction[IRP_MJ_CLEANUP] = DispatchCreateClose;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = ControlDispatch;
    driverObject->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driverObject->DriverExtension->AddDevice = DriverAddDevice;
    driverObject->DriverUnload = DriverUnload;

    status = ControlDeviceCreate(driverObject);
    if (!NT_SUCCESS(status)) {
        DriverLogsFree();
    }
    return status;
}

} // namespace

void DriverLogsFree(void) {
    LogFree(g_Driver.CaptureLog);
    LogFree(g_Driver.ChangeLog);
    g_Driver.CaptureLog = nullptr;
    g_Driver.ChangeLog = nullptr;
}

NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    PASSIVE_CODE();
    DriverStateReset();
    MemlogInitialize(&g_Driver.Memlog);
    MemlogWrite(FourCC("===="), reinterpret_cast<ULONG_PTR>(DriverObject), TINDALOFT_DRIVER_BUILD);
    g_Driver.DriverObject = DriverObject;

    ReleaseDetect(&g_Driver.Release);

    NTSTATUS status = DriverCopyUnicodeString(&g_Driver.RegistryPath, RegistryPath);
    if (NT_SUCCESS(status)) {
        ULONG debugLevel = g_Driver.DebugLevel;
        QueryParameter(u"DebugLevel", &debugLevel);
        g_Driver.DebugLevel = static_cast<UCHAR>(debugLevel);
        QueryParameter(u"TraceFlags", &g_Driver.TraceFlags);

        ObjectNameQueryAnsi(DriverObject, u"\\Driver\\", g_Driver.DriverName, DRIVER_NAME_SIZE);
        status = DriverInitialize(DriverObject);
    }
    MemlogWrite(FourCC("----"), reinterpret_cast<ULONG_PTR>(DriverObject), static_cast<ULONG>(status));

    if (!NT_SUCCESS(status)) {
        // The driver does not load, and its unload routine will not run: give back what entry took.
        DriverFreeUnicodeString(&g_Driver.RegistryPath);
        MemlogFree(&g_Driver.Memlog);
    }
    return status;
}
