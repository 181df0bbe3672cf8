// The devices the simulated machines are built from, each with its whole descriptor set: hubs (USB 2.0 and
// SuperSpeed), a HID mouse and keyboard, bulk-only storage sticks (high speed and SuperSpeed), a printer with
// an IEEE 1284 device ID, a composite device (HID consumer control and storage) and a vendor-specific loopback
// device for the generic driver. Vendor ID 0x7A51 throughout; product IDs tell them apart.
#pragma once

#include <memory>
#include <string>

#include "platform/sim/HidFunction.h"
#include "platform/sim/MassStorage.h"
#include "platform/sim/PrinterFunction.h"
#include "platform/sim/UsbHubModel.h"

namespace sim {

constexpr USHORT kSimVendorId = 0x7A51;

std::shared_ptr<UsbHubModel> MakeHub20(std::string name = "hub", int ports = 4);
std::shared_ptr<UsbHubModel> MakeSuperSpeedHub(std::string name = "ss-hub", int ports = 4);

// HID devices: the HidFunction is interface 0.
std::shared_ptr<UsbDevice> MakeMouse(std::string name = "mouse");
std::shared_ptr<UsbDevice> MakeKeyboard(std::string name = "keyboard");

// Storage: the BulkOnlyFunction is interface 0 (64 MiB disks unless told otherwise).
std::shared_ptr<UsbDevice> MakeFlashDrive(std::string name = "stick", std::u16string serial = u"SIM0001A2B3C",
                                          ULONG blocks = 131072);
std::shared_ptr<UsbDevice> MakeSuperSpeedDrive(std::string name = "ss-disk", std::u16string serial = u"SIM3000D4E5F",
                                               ULONG blocks = 131072);

// The PrinterFunction is interface 0.
std::shared_ptr<UsbDevice> MakePrinter(std::string name = "printer");
// Interface 0: HidFunction (consumer control); interface 1: BulkOnlyFunction.
std::shared_ptr<UsbDevice> MakeCompositeDevice(std::string name = "composite");
// Interface 0: LoopbackFunction (vendor class 0xFF; alternate setting 1 with an isochronous pair), Microsoft OS
// descriptors naming "WINUSB".
std::shared_ptr<UsbDevice> MakeLoopbackDevice(std::string name = "loopback");

} // namespace sim
