// The class drivers of the simulated machine. Each is a real driver with AddDevice and dispatch: it configures
// its device through URBs down its stack at start (what the capture driver sees a class driver do) and, where
// the platform's does, reports children:
// - "hidusb" (with the HID class library): the HID device's FDO and one collection PDO per top-level
//   collection ("\Device\_HID0000000n", "HID\VID_xxxx&PID_xxxx[&MI_nn][&Colnn]");
// - "mouhid", "kbdhid", "disk": function drivers of HID mice, HID keyboards and disks, which pass everything
//   down;
// - "usbstor": bulk-only storage, which asks the disk for its identity and reports it as a disk PDO
//   ("USBSTOR\Disk&Ven_...&Prod_...&Rev_...");
// - "usbprint": printers, which read the IEEE 1284 device ID and report a "USBPRINT\..." PDO;
// - "winusb": the generic driver of vendor-specific devices, which configures the device and waits.
#pragma once

#include "wdm.h"

namespace sim::drv {

NTSTATUS HidUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS MouHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS KbdHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS DiskEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbStorEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbPrintEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS WinUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

} // namespace sim::drv
