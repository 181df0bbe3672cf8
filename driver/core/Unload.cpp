// Unload: first the hooked drivers get their own dispatch entries and unload routines back and the requests
// still inside this driver's routines drain; then the control device and its link, the two logs, the
// hooked-driver list, the device-stack tree, the handle tables, the event ring and the registry path, in
// that order. The hub bus-interface hook table is the image's own data and goes with the image: the driver
// unloads once no device of its class is left, so no hub calls the hook any more.
//
// Locks: the teardowns take the locks of what they free; unload otherwise runs alone at PASSIVE_LEVEL.
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/hook/Hook.h"
#include "driver/hook/HubBusInterfaceHook.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DeviceStackTree.h"

void DriverUnload(PDRIVER_OBJECT DriverObject) {
    PASSIVE_CODE();
    (void)DriverObject;
    HookUnloadRestore();
    ControlDeviceDelete();

    DriverLogsFree();
    HookFree();
    StackTreeFree();
    HandleTablesFree();
    MemlogFree(&g_Driver.Memlog);

    DriverFreeUnicodeString(&g_Driver.RegistryPath);
    HubBusInterfaceHookReset();
}
