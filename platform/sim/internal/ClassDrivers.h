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

#include <cstdint>
#include <string>
#include <vector>

#include "devioctl.h"
#include "usb.h"
#include "wdm.h"

namespace sim::drv {

NTSTATUS HidUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS MouHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS KbdHidEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS DiskEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbStorEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbPrintEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS WinUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The printer class driver's requests (buffered): the port status byte, the IEEE 1284 device ID (with its
// two length bytes), and a soft reset of the printer.
#define IOCTL_USBPRINT_GET_LPT_STATUS CTL_CODE(FILE_DEVICE_UNKNOWN, 12, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_USBPRINT_GET_1284_ID CTL_CODE(FILE_DEVICE_UNKNOWN, 13, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_USBPRINT_SOFT_RESET CTL_CODE(FILE_DEVICE_UNKNOWN, 16, METHOD_BUFFERED, FILE_ANY_ACCESS)

// One round of every request family on a generic (vendor-specific, loopback) device, which its driver plays on
// its own thread (see WinUsb.cpp). What came back other than the device and the port driver answer it is in
// `failures`.
struct FamilyRound {
    uint64_t seed = 1;
    ULONG bulkBytes = 256 * 1024;
    ULONG isochErrors = 0; // the IN packets the device was told to fail
    std::vector<std::string> failures;
    uint64_t requests = 0;
    std::vector<ULONG> isochLengths; // of the 8 isochronous IN packets
    std::vector<USBD_STATUS> isochStatuses;
    ULONG isochErrorCount = 0;
    ULONG isochStartFrame = 0;
    ULONG completionChecks = 0; // caller completion routines checked against their invoke bits
};
NTSTATUS RunFamilyRound(PDEVICE_OBJECT pdo, FamilyRound& round);

// A flood of small bulk transfers through a generic (loopback) device's driver, played on the calling thread as
// an application's synchronous pipe writes and reads run on its own: each pair writes `bytes` to the bulk OUT
// pipe and reads them back from the bulk IN pipe, both answered at once by the device. The driver builds its
// two requests once and sends them again and again, and waits only for one the device has not answered
// before the call returned.
struct FloodRound {
    uint64_t pairs = 1;
    ULONG bytes = 64; // 1 to 64, one packet of the loopback's bulk endpoints
    uint64_t requests = 0;
    std::string failure; // what went wrong, empty when every transfer moved its bytes
};
NTSTATUS RunFlood(PDEVICE_OBJECT pdo, FloodRound& round);

// What the machine's workloads ask of the HID class driver of the stack a physical device object heads:
// selective suspend (see HidFdo) and the count of reports it read from the device.
bool HidEnterIdle(PDEVICE_OBJECT pdo);
void HidLeaveIdle(PDEVICE_OBJECT pdo);
bool HidSleeping(PDEVICE_OBJECT pdo);
uint64_t HidReportsRead(PDEVICE_OBJECT pdo);

} // namespace sim::drv
