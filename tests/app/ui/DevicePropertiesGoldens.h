// What the Device Properties pane shows of the default machine's controllers, hubs and devices: the grid's
// model with categories and expanded items marked, for the suites that select them on a tree of their own and
// on the device tree's Devices tab.
#pragma once

namespace deviceprops_test::golden {

// The EHCI controller's Plug and Play properties.
inline constexpr char kEhciControllerPnp[] = R"(Host Controller Properties [category] [expanded]
  Description = Standard Enhanced PCI to USB Host Controller
  Controller Type = EHCI (Enhanced Host Controller Interface)
  Setup Class = USB
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000}
  Enumerator = PCI
  Hardware ID = PCI\VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01
  Symbolic Link = "\\.\HCD0"
  Device Name = \Device\USBFDO-0
  Device Interface : GUID_DEVINTERFACE_USB_HOST_CONTROLLER [category] [expanded]
    Interface GUID = {3abf6f2d-71c4-462a-8a92-1e6861e6af27}
    Symbolic Link = \\?\PCI#VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01#5&f960e77a&0&A0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}
    Device Name = \Device\NTPNP_PCI0000
)";

// The EHCI root hub's Plug and Play properties.
inline constexpr char kEhciRootHubPnp[] = R"(RootHub Properties [category] [expanded]
  Description = USB Root Hub
  Setup Class = USB
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000}
  Enumerator = USB
  Hardware ID = USB\ROOT_HUB20&VID7A51&PID0C32&REV0001
  Device Interface : GUID_DEVINTERFACE_USB_HUB [category] [expanded]
    Interface GUID = {f18a0e88-c30c-11d0-8815-00a0c906bed8}
    Symbolic Link = \\?\USB#ROOT_HUB20#6&94bf78c4&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}
    Device Name = \Device\USBPDO-0
)";

// The external hub's device descriptor.
inline constexpr char kExternalHubDevice[] = R"(Device Descriptor (External Hub) [category] [expanded]
  bLength = 0x12
  bDescriptorType = 0x01 (DEVICE)
  bcdUSB = 0x0200 (2.0)
  bDeviceClass = 0x09 (Hub)
  bDeviceSubClass = 0x00
  bDeviceProtocol = 0x01
  bMaxPacketSize0 = 0x40
  idVendor = 0x7a51
  idProduct = 0x2040
  bcdDevice = 0x0100 (1.0)
  iManufacturer = 0x01
  iProduct = 0x02
  iSerialNumber = 0x00
  bNumConfigurations = 0x01
)";

// The composite device's configuration: the interfaces open, each descriptor stays closed.
inline constexpr char kCompositeConfiguration[] = R"(Full Configuration Descriptor [category] [expanded]
  CONFIGURATION (1) [category]
    bLength = 0x09
    bDescriptorType = 0x02 (CONFIGURATION)
    wTotalLength = 0x0039
    bNumInterfaces = 0x02
    bConfigurationValue = 0x01
    iConfiguration = 0x00
    bmAttributes = 0x80
    MaxPower = 0x64
  INTERFACE 0/ALT 0, 03(HumanInterface) [category] [expanded]
    INTERFACE [category]
      bLength = 0x09
      bDescriptorType = 0x04 (INTERFACE)
      bInterfaceNumber = 0x00
      bAlternateSetting = 0x00
      bNumEndpoints = 0x01
      bInterfaceClass = 0x03 (HumanInterface)
      bInterfaceSubClass = 0x00 (None)
      bInterfaceProtocol = 0x00 (None)
      iInterface = 0x00
    HID DESCRIPTOR [category]
      bLength = 0x09
      bDescriptorType = 0x21 (HID CLASS)
      bcdHID = 0x0111
      bCountry = 0x00
      bNumDescriptors = 0x01
      bReportType = 0x22 (HID REPORT DESCRIPTOR)
      wReportLength = 0x001b
    ENDPOINT 81, IN(1) Interrupt [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x81 (IN)
      bmAttributes.0-1 = 3 (Interrupt)
      wMaxPacketSize = 0x0001
      Interval Properties =
        bInterval = 0x08
        HS-Interval = 0x80 (microframes)
        FS.LS-Interval = 0x8 (frames)
  INTERFACE 1/ALT 0, 08(MassStorage) [category] [expanded]
    INTERFACE [category]
      bLength = 0x09
      bDescriptorType = 0x04 (INTERFACE)
      bInterfaceNumber = 0x01
      bAlternateSetting = 0x00
      bNumEndpoints = 0x02
      bInterfaceClass = 0x08 (MassStorage)
      bInterfaceSubClass = 0x06 (SCSI_transparent_set)
      bInterfaceProtocol = 0x50 (Bulk-only_Transport)
      iInterface = 0x00
    ENDPOINT 82, IN(2) Bulk [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x82 (IN)
      bmAttributes.0-1 = 2 (Bulk)
      wMaxPacketSize = 0x0200
      Interval Properties =
        bInterval = 0x00
    ENDPOINT 03, OUT(3) Bulk [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x03 (OUT)
      bmAttributes.0-1 = 2 (Bulk)
      wMaxPacketSize = 0x0200
      Interval Properties =
        bInterval = 0x00
        HS-Max_NAK_Rate = 0x00 (Never NAKs)
)";

// The mouse's device descriptor: a device that leaves its class to its one interface names that
// interface's class.
inline constexpr char kMouseDevice[] = R"(Device Descriptor [category] [expanded]
  bLength = 0x12
  bDescriptorType = 0x01 (DEVICE)
  bcdUSB = 0x0110 (1.1)
  bDeviceClass = 0x00 (InterfaceHasClass)
   = Interface Class: HumanInterface
  bDeviceSubClass = 0x00
  bDeviceProtocol = 0x00
  bMaxPacketSize0 = 0x08
  idVendor = 0x7a51
  idProduct = 0x0101
  bcdDevice = 0x0100 (1.0)
  iManufacturer = 0x01
  iProduct = 0x02
  iSerialNumber = 0x00
  bNumConfigurations = 0x01
)";

// The xHCI root hub's SuperSpeed hub descriptor.
inline constexpr char kXhciRootHubHubClass[] = R"(Hub Class Descriptor [category] [expanded]
  Descriptor Length = 0x0c
  Descriptor Type = 0x2a (SUPERSPEED HUB CLASS)
  Downstream Ports = 0x04
  Hub Characteristics = 0x0009
  PowerOn to PowerGood = 0x0a (20 ms)
  Hub Control Current = 0x00 (mA)
  Hub Header Decode Delay = 0x00 (microsec)
  Avg. Hub Delay = 0x0000 (nanosec)
  DeviceRemovable = [expanded]
    bit.0.Reserved_0 = 0
    bit.1.Port_1 = 0 (removable)
    bit.2.Port_2 = 0 (removable)
    bit.3.Port_3 = 0 (removable)
    bit.4.Port_4 = 0 (removable)
)";

} // namespace deviceprops_test::golden
