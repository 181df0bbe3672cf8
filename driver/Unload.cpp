// Unload: the control device and its link, the two logs, the device-stack tree, the event ring and the
// registry path, in that order.
//
// Locks: the device-stack tree's teardown takes the stack-list lock; unload otherwise runs alone at
// PASSIVE_LEVEL.
#include "driver/Driver.h"
#include "driver/Log.h"
#include "driver/Pool.h"
#include "driver/StackTree.h"

void DriverUnload(PDRIVER_OBJECT DriverObject) {
    PASSIVE_CODE();
    (void)DriverObject;
    ControlDeviceDelete();

    LogFree(g_Driver.CaptureLog);
    LogFree(g_Driver.ChangeLog);
    g_Driver.CaptureLog = nullptr;
    g_Driver.ChangeLog = nullptr;
    StackTreeFree();
    MemlogFree(&g_Driver.Memlog);

    DriverFreeUnicodeString(&g_Driver.RegistryPath);
}
