// Composite parents: the functional device object of a device with several functions, which selects the
// device's configuration once and reports one physical device object per function ("\Device\USBPDO-n",
// "USB\VID_xxxx&PID_xxxx&MI_nn"). Each function's driver sees a configuration descriptor with only its own
// interfaces; its SELECT_CONFIGURATION is answered from the parent's selection and everything else goes on
// to the device. The parent is "usbccgp", or, on the releases whose hub driver is its own composite parent,
// the hub driver itself, which then keeps the release's composite-parent and interface words in the
// extensions.
#pragma once

#include "wdm.h"

namespace sim::drv {

enum class CompositeKind { Ccgp, HubDriver };

NTSTATUS UsbCcgpEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS AddCompositeParent(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, CompositeKind kind);

} // namespace sim::drv
