// The physical device object of a device on a hub port: its identity for Plug and Play, its device interfaces,
// and the internal requests its drivers send (URBs go on to the root hub with the device's handle).
#include <cstring>

#include "platform/sim/internal/UsbHub.h"
#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

std::u16string VidPid(const USB_DEVICE_DESCRIPTOR& device) {
    return u"VID_" + Hex(device.idVendor, 4) + u"&PID_" + Hex(device.idProduct, 4);
}

std::u16string Revision(const USB_DEVICE_DESCRIPTOR& device) { return u"&REV_" + Hex(device.bcdDevice, 4); }

std::vector<std::u16string> ClassIds(std::u16string_view prefix, UCHAR cls, UCHAR subClass, UCHAR protocol) {
    std::u16string base = std::u16string(prefix) + u"_" + Hex(cls, 2);
    std::u16string withSub = base + u"&SubClass_" + Hex(subClass, 2);
    return {withSub + u"&Prot_" + Hex(protocol, 2), withSub, base};
}

PortPdo::PortPdo(PDEVICE_OBJECT self, HubFdo* hub, int port, PVOID handle, Identity identity)
    : PhysicalDevice(self, hub), m_hub(hub), m_port(port), m_handle(handle), m_identity(std::move(identity)) {}

bool PortPdo::IsComposite() const {
    const UCHAR cls = m_identity.device.bDeviceClass;
    const bool iad = cls == USB_DEVICE_CLASS_MISCELLANEOUS && m_identity.device.bDeviceSubClass == 2 &&
                     m_identity.device.bDeviceProtocol == 1;
    const UCHAR interfaces = m_identity.configuration.size() > 4 ? m_identity.configuration[4] : 0;
    return (cls == 0 && interfaces > 1) || iad;
}

std::u16string PortPdo::Enumerator() const {
    // The vendor's USB 3 hub driver reports the hubs below it under its own enumerator, so that its hub driver
    // serves them; every other device keeps the USB enumerator and its class drivers.
    return m_hub->Flavor() == HubFlavor::VendorUsb3 && IsHub() ? u"NUSB3" : u"USB";
}

std::u16string PortPdo::DeviceId() const { return Enumerator() + u"\\" + VidPid(m_identity.device); }

std::u16string PortPdo::InstanceId() const {
    return m_identity.serial.empty() ? Decimal(static_cast<ULONG>(m_port)) : m_identity.serial;
}

std::vector<std::u16string> PortPdo::HardwareIds() const {
    return {DeviceId() + Revision(m_identity.device), DeviceId()};
}

std::vector<std::u16string> PortPdo::CompatibleIds() const {
    const USB_DEVICE_DESCRIPTOR& device = m_identity.device;
    if (IsHub()) {
        if (m_hub->Flavor() == HubFlavor::VendorUsb3) {
            return ClassIds(u"NUSB3\\Class", device.bDeviceClass, device.bDeviceSubClass, device.bDeviceProtocol);
        }
        std::vector<std::u16string> ids =
            ClassIds(u"USB\\Class", device.bDeviceClass, device.bDeviceSubClass, device.bDeviceProtocol);
        if (m_hub->Flavor() == HubFlavor::InboxUsb3 && device.bcdUSB >= 0x0300) {
            ids.insert(ids.begin(), u"USB\\USB30_HUB");
        }
        return ids;
    }
    if (IsComposite()) {
        std::vector<std::u16string> ids =
            ClassIds(u"USB\\DevClass", device.bDeviceClass, device.bDeviceSubClass, device.bDeviceProtocol);
        ids.push_back(u"USB\\COMPOSITE");
        return ids;
    }
    if (device.bDeviceClass != 0) {
        return ClassIds(u"USB\\Class", device.bDeviceClass, device.bDeviceSubClass, device.bDeviceProtocol);
    }
    // A single-function device with its class in the interface.
    const std::vector<UCHAR> numbers = InterfaceNumbers(m_identity.configuration);
    const USB_INTERFACE_DESCRIPTOR* interface =
        numbers.empty() ? nullptr : FindInterface(m_identity.configuration, numbers.front());
    if (!interface) {
        return {u"USB\\UNKNOWN"};
    }
    return ClassIds(u"USB\\Class", interface->bInterfaceClass, interface->bInterfaceSubClass,
                    interface->bInterfaceProtocol);
}

std::u16string PortPdo::DeviceText() const {
    return m_identity.product.empty() ? std::u16string(u"USB Device") : m_identity.product;
}

std::u16string PortPdo::LocationText() const {
    return u"Port_#" + Decimal(static_cast<ULONG>(m_port), 4) + u".Hub_#" +
           Decimal(static_cast<ULONG>(m_hub->HubNumber()), 4);
}

void PortPdo::Capabilities(DEVICE_CAPABILITIES& capabilities) const {
    capabilities.UniqueID = m_identity.serial.empty() ? FALSE : TRUE;
    capabilities.Removable = TRUE;
    capabilities.SurpriseRemovalOK = TRUE;
    capabilities.Address = static_cast<ULONG>(m_port);
    capabilities.UINumber = static_cast<ULONG>(m_port);
    capabilities.DeviceD2 = TRUE;
    capabilities.WakeFromD2 = TRUE;
}

bool PortPdo::BusInformation(PNP_BUS_INFORMATION& bus) const {
    bus.BusTypeGuid = GUID_BUS_TYPE_USB;
    bus.LegacyBusType = PNPBus;
    bus.BusNumber = 0;
    return true;
}

std::u16string PortPdo::HubLink() const {
    const GUID& guid =
        m_hub->Flavor() == HubFlavor::VendorUsb3 ? kVendorUsb3HubInterface : GUID_DEVINTERFACE_USB_HUB;
    return m_interfaces.Link(guid);
}

NTSTATUS PortPdo::OnStart() {
    m_interfaces.Enable(m_self, GUID_DEVINTERFACE_USB_DEVICE);
    if (IsHub()) {
        m_interfaces.Enable(m_self, m_hub->Flavor() == HubFlavor::VendorUsb3 ? kVendorUsb3HubInterface
                                                                             : GUID_DEVINTERFACE_USB_HUB);
    }
    return STATUS_SUCCESS;
}

void PortPdo::OnStop() { m_interfaces.DisableAll(); }

void PortPdo::OnDelete() {
    m_interfaces.DisableAll();
    if (m_handle) {
        // Through the hub's own copy of the bus interface, as the hub driver calls it.
        const USB_BUS_INTERFACE_HUB_V8& bus = m_hub->Bus();
        bus.RemoveUsbDevice(bus.BusContext, m_handle, 0);
        m_handle = nullptr;
    }
}

NTSTATUS PortPdo::Pnp(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MinorFunction == IRP_MN_QUERY_INTERFACE && location->Parameters.QueryInterface.InterfaceType) {
        const GUID& type = *location->Parameters.QueryInterface.InterfaceType;
        // The USB bus interfaces are the port driver's: the request goes on to the root hub, with this device
        // as the one a USBDI interface is for.
        if (type == USB_BUS_INTERFACE_USBDI_GUID || (type == USB_BUS_INTERFACE_HUB_GUID && IsHub())) {
            if (!m_present || !m_handle) {
                return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
            }
            if (type == USB_BUS_INTERFACE_USBDI_GUID) {
                location->Parameters.QueryInterface.InterfaceSpecificData = m_handle;
            }
            return PassDown(m_hub->RootHubPdo(), irp);
        }
    }
    return PhysicalDevice::Pnp(irp);
}

NTSTATUS PortPdo::InternalDeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    auto& others = location->Parameters.Others;
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    if (!m_present || !m_handle) {
        if (code == IOCTL_INTERNAL_USB_SUBMIT_URB && others.Argument1) {
            static_cast<PURB>(others.Argument1)->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
        }
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    }
    switch (code) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB: {
        auto* urb = static_cast<PURB>(others.Argument1);
        if (!urb) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        urb->UrbHeader.UsbdDeviceHandle = m_handle;
        return PassDown(m_hub->RootHubPdo(), irp);
    }
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE:
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX:
        return CompleteDeviceHandleRequest(irp, m_handle, m_hub->Handle());
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        return CompletePortStatusRequest(irp, USBD_PORT_ENABLED | USBD_PORT_CONNECTED);
    case IOCTL_INTERNAL_USB_GET_HUB_COUNT:
        if (!others.Argument1) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        ++*static_cast<ULONG*>(others.Argument1); // the hub this device hangs on, then the hubs above it
        return PassDown(m_hub->Lower(), irp);
    case IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO:
    case IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME:
    case IOCTL_INTERNAL_USB_GET_BUS_INFO:
        return PassDown(m_hub->RootHubPdo(), irp);
    case IOCTL_INTERNAL_USB_GET_HUB_NAME: {
        std::u16string link = HubLink();
        if (!IsHub() || link.size() <= 4) {
            return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
        }
        return CompleteWithName(irp, std::u16string_view(link).substr(4), true);
    }
    case IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS: {
        auto* address = static_cast<PUSB_TOPOLOGY_ADDRESS>(others.Argument1);
        if (!address) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        NTSTATUS status = SendInternalIoctl(m_hub->Lower(), IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS, address);
        if (NT_SUCCESS(status)) {
            // The hub's own address, then this port one level down.
            if (address->RootHubPortNumber == 0) {
                address->RootHubPortNumber = static_cast<USHORT>(m_port);
            } else {
                for (USHORT& level : address->HubPortNumber) {
                    if (level == 0) {
                        level = static_cast<USHORT>(m_port);
                        break;
                    }
                }
            }
        }
        return Complete(irp, status);
    }
    case IOCTL_INTERNAL_USB_RESET_PORT:
    case IOCTL_INTERNAL_USB_ENABLE_PORT:
    case IOCTL_INTERNAL_USB_CYCLE_PORT:
    case IOCTL_INTERNAL_USB_RECORD_FAILURE:
        return Complete(irp, STATUS_SUCCESS);
    default:
        return Complete(irp, STATUS_NOT_SUPPORTED);
    }
}

} // namespace sim::drv
