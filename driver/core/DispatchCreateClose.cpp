// Dispatch routines of the driver's own object besides device control: create, close and cleanup (the
// control device keeps no per-handle state), and WMI.
//
// Locks: none.
#include "driver/core/Driver.h"

NTSTATUS DispatchCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    (void)DeviceObject;
    Irp->IoStatus.Status = STATUS_SUCCESS;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

// The driver provides no WMI data: a request addressed to its own device as provider is refused, any other
// completes without effect.
NTSTATUS DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    const NTSTATUS status = stack->Parameters.WMI.ProviderId == reinterpret_cast<ULONG_PTR>(DeviceObject)
                                ? STATUS_NOT_SUPPORTED
                                : STATUS_SUCCESS;
    Irp->IoStatus.Status = status;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}
