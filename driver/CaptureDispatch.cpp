// HookedDispatch: the dispatch routine patched into hooked drivers.
#include "driver/Capture.h"

NTSTATUS HookedDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return HookCallSavedDispatch(DeviceObject, Irp); }
