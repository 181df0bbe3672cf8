#include "platform/sim/internal/DriverSetup.h"

#include "NtPnpControl.h"
#include "devguid.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/Composite.h"
#include "platform/sim/internal/HubFdo.h"
#include "platform/sim/internal/PciBus.h"
#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

void InstallDrivers(const ReleaseLayout& layout) {
    using nt::pnp::RegisterDriverImage;
    RegisterDriverImage(u"pci", PciEntry);
    RegisterDriverImage(u"usbuhci", UsbUhciEntry);
    RegisterDriverImage(u"usbohci", UsbOhciEntry);
    RegisterDriverImage(u"usbehci", UsbEhciEntry);
    RegisterDriverImage(u"nusb3xhc", VendorXhciEntry);
    RegisterDriverImage(u"usbxhci", InboxXhciEntry);
    RegisterDriverImage(u"usbhub", UsbHubEntry);
    RegisterDriverImage(u"nusb3hub", VendorUsb3HubEntry);
    RegisterDriverImage(u"usbhub3", InboxUsb3HubEntry);
    RegisterDriverImage(u"usbccgp", UsbCcgpEntry);
    RegisterDriverImage(u"hidusb", HidUsbEntry);
    RegisterDriverImage(u"mouhid", MouHidEntry);
    RegisterDriverImage(u"kbdhid", KbdHidEntry);
    RegisterDriverImage(u"usbstor", UsbStorEntry);
    RegisterDriverImage(u"disk", DiskEntry);
    RegisterDriverImage(u"usbprint", UsbPrintEntry);
    RegisterDriverImage(u"winusb", WinUsbEntry);

    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_SYSTEM, u"System");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_USB, u"USB");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_HIDCLASS, u"HIDClass");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_DISKDRIVE, u"DiskDrive");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_PRINTER, u"Printer");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_MOUSE, u"Mouse");
    nt::pnp::RegisterSetupClass(GUID_DEVCLASS_KEYBOARD, u"Keyboard");

    const bool vendorUsb3 = layout.usb3 == Usb3Stack::Vendor;
    const std::u16string standardUsb = u"(Standard USB Host Controller)";
    const nt::pnp::DriverMatch matches[] = {
        {kPciBusDeviceId, u"pci", GUID_DEVCLASS_SYSTEM, u"PCI bus", u"(Standard system devices)"},
        {u"PCI\\CC_0C0300", u"usbuhci", GUID_DEVCLASS_USB, u"Standard Universal PCI to USB Host Controller",
         standardUsb},
        {u"PCI\\CC_0C0310", u"usbohci", GUID_DEVCLASS_USB, u"Standard OpenHCD USB Host Controller", standardUsb},
        {u"PCI\\CC_0C0320", u"usbehci", GUID_DEVCLASS_USB, u"Standard Enhanced PCI to USB Host Controller",
         standardUsb},
        vendorUsb3 ? nt::pnp::DriverMatch{u"PCI\\CC_0C0330", u"nusb3xhc", GUID_DEVCLASS_USB,
                                          u"USB 3.0 eXtensible Host Controller", u"USB 3.0 Host Controller Vendor"}
                   : nt::pnp::DriverMatch{u"PCI\\CC_0C0330", u"usbxhci", GUID_DEVCLASS_USB,
                                          u"USB xHCI Compliant Host Controller", u"Generic USB xHCI Host Controller"},
        {u"USB\\ROOT_HUB", u"usbhub", GUID_DEVCLASS_USB, u"USB Root Hub", u"(Standard USB Host Controller)"},
        {u"USB\\ROOT_HUB20", u"usbhub", GUID_DEVCLASS_USB, u"USB Root Hub", u"(Standard USB Host Controller)"},
        {u"NUSB3\\ROOT_HUB30", u"nusb3hub", GUID_DEVCLASS_USB, u"USB 3.0 Root Hub", u"USB 3.0 Host Controller Vendor"},
        {u"NUSB3\\Class_09", u"nusb3hub", GUID_DEVCLASS_USB, u"USB 3.0 Hub", u"USB 3.0 Host Controller Vendor"},
        {u"USB\\ROOT_HUB30", u"usbhub3", GUID_DEVCLASS_USB, u"USB Root Hub (xHCI)", u"(Standard USB HUBs)"},
        {u"USB\\USB30_HUB", u"usbhub3", GUID_DEVCLASS_USB, u"Generic SuperSpeed USB Hub", u"(Standard USB HUBs)"},
        {u"USB\\Class_09", u"usbhub", GUID_DEVCLASS_USB, u"Generic USB Hub", u"(Standard USB Host Controller)"},
        {u"USB\\COMPOSITE", layout.hubDriverIsCompositeParent ? u"usbhub" : u"usbccgp", GUID_DEVCLASS_USB,
         u"USB Composite Device", u"(Standard USB Host Controller)"},
        {u"USB\\Class_03", u"hidusb", GUID_DEVCLASS_HIDCLASS, u"USB Input Device", u"(Standard system devices)"},
        {u"HID_DEVICE_SYSTEM_MOUSE", u"mouhid", GUID_DEVCLASS_MOUSE, u"HID-compliant mouse", u"(Standard mouse types)"},
        {u"HID_DEVICE_SYSTEM_KEYBOARD", u"kbdhid", GUID_DEVCLASS_KEYBOARD, u"HID Keyboard Device",
         u"(Standard keyboards)"},
        {u"USB\\Class_08&SubClass_06&Prot_50", u"usbstor", GUID_DEVCLASS_USB, u"USB Mass Storage Device",
         u"Compatible USB storage device"},
        {u"GenDisk", u"disk", GUID_DEVCLASS_DISKDRIVE, u"Disk drive", u"(Standard disk drives)"},
        {u"USB\\Class_07&SubClass_01", u"usbprint", GUID_DEVCLASS_USB, u"USB Printing Support",
         u"(Standard USB Host Controller)"},
        {u"USB\\Class_FF", u"winusb", GUID_DEVCLASS_USB, u"WinUSB Device", u"WinUsb Device"},
    };
    for (const nt::pnp::DriverMatch& match : matches) {
        nt::pnp::RegisterDriverMatch(match);
    }
}

} // namespace sim::drv
