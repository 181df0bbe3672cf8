// The physical device object of a device on a hub port: its identity for Plug and Play, its device interfaces,
// and the internal requests its drivers send (URBs go on to the root hub with the device's handle).
#include <cstring>
#include <mutex>

#include "platform/sim/internal/HubFdo.h"
#include "platform/sim/internal/PoolMemory.h"
#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

std::u16string VidPid(const USB_DEVICE_DESCRIPTOR& device) {
    return u"VID_" + Hex(device.idVendor, 4) + u"&PID_" + Hex(device.idProduct, 4);
}

std::u16string Revision(const USB_DEVICE_DESCRIPTOR& device) {
    return u"&REV_" + Hex(device.bcdDevice, 4);
}

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

std::u16string PortPdo::DeviceId() const {
    return Enumerator() + u"\\" + VidPid(m_identity.device);
}

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
    const GUID& guid = m_hub->Flavor() == HubFlavor::VendorUsb3 ? kVendorUsb3HubInterface : GUID_DEVINTERFACE_USB_HUB;
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

void PortPdo::OnStop() {
    m_interfaces.DisableAll();
    // The device is going: its idle and wake requests end, and no idle callback of it is left to run.
    PIRP idle;
    PIRP wake;
    {
        std::lock_guard guard(m_powerLock);
        idle = Take(m_idleIrp);
        wake = Take(m_waitWakeIrp);
    }
    if (idle) {
        Complete(idle, STATUS_CANCELLED);
    }
    if (wake) {
        PoStartNextPowerIrp(wake);
        Complete(wake, STATUS_NO_SUCH_DEVICE);
    }
    m_hub->DrainDeferred();
}

PIRP PortPdo::Take(PIRP& slot) {
    PIRP irp = slot;
    slot = nullptr;
    if (irp && !IoSetCancelRoutine(irp, nullptr)) {
        return nullptr; // its cancel routine runs: the request is its to complete
    }
    return irp;
}

void PortPdo::CancelIdle(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* self = static_cast<PortPdo*>(ContextOf(device));
    if (self) {
        std::lock_guard guard(self->m_powerLock);
        if (self->m_idleIrp == irp) {
            self->m_idleIrp = nullptr;
        }
    }
    Complete(irp, STATUS_CANCELLED);
}

void PortPdo::CancelWaitWake(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* self = static_cast<PortPdo*>(ContextOf(device));
    if (self) {
        std::lock_guard guard(self->m_powerLock);
        if (self->m_waitWakeIrp == irp) {
            self->m_waitWakeIrp = nullptr;
        }
    }
    PoStartNextPowerIrp(irp);
    Complete(irp, STATUS_CANCELLED);
}

bool PortPdo::RemoteWakeCapable() const {
    return m_identity.configuration.size() > 7 && (m_identity.configuration[7] & USB_CONFIG_REMOTE_WAKEUP);
}

void PortPdo::OnPortResumed() {
    PIRP wake = nullptr;
    {
        std::lock_guard guard(m_powerLock);
        if (m_power != PowerDeviceD0) {
            wake = Take(m_waitWakeIrp);
        }
    }
    if (wake) {
        PoStartNextPowerIrp(wake);
        Complete(wake, STATUS_SUCCESS);
    }
}

NTSTATUS PortPdo::IdleNotification(PIRP irp) {
    auto* info = static_cast<PUSB_IDLE_CALLBACK_INFO>(
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.Type3InputBuffer);
    if (!info || !info->IdleCallback) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    {
        std::lock_guard guard(m_powerLock);
        if (m_idleIrp) {
            return Complete(irp, STATUS_DEVICE_BUSY); // one idle request per device
        }
        IoMarkIrpPending(irp);
        m_idleIrp = irp;
        IoSetCancelRoutine(irp, CancelIdle);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
            m_idleIrp = nullptr;
            Complete(irp, STATUS_CANCELLED);
            return STATUS_PENDING;
        }
    }
    // The hub finds the port idle and calls the driver back on its own thread, at PASSIVE_LEVEL; the request
    // stays pending until the driver cancels it (on its way back to D0) or the device goes.
    m_hub->Defer([this, irp, callback = info->IdleCallback, context = info->IdleContext] {
        {
            std::lock_guard guard(m_powerLock);
            if (m_idleIrp != irp) {
                return;
            }
        }
        callback(context);
    });
    return STATUS_PENDING;
}

NTSTATUS PortPdo::DeviceConfigInfo(PIRP irp) {
    auto* info = static_cast<PHUB_DEVICE_CONFIG_INFO>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    if (!info) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    if (info->Version != 1 || info->Length < sizeof(HUB_DEVICE_CONFIG_INFO)) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    // The hub's view of the device: its flags, IDs and description, in pool buffers the caller frees.
    auto fill = [](USB_ID_STRING& id, const std::u16string& text, bool multi) {
        std::u16string value = text;
        value.push_back(0);
        if (multi) {
            value.push_back(0);
        }
        id.LanguageId = 0x0409;
        id.LengthInBytes = static_cast<ULONG>(value.size() * sizeof(WCHAR));
        id.Buffer = static_cast<PWCHAR>(ExAllocatePoolWithTag(PagedPool, id.LengthInBytes, kSimPoolTag));
        if (id.Buffer) {
            std::memcpy(id.Buffer, value.data(), id.LengthInBytes);
        } else {
            id.LengthInBytes = 0;
        }
    };
    auto joined = [](const std::vector<std::u16string>& ids) {
        std::u16string all;
        for (const std::u16string& id : ids) {
            all += id;
            all.push_back(0);
        }
        if (!all.empty()) {
            all.pop_back(); // the list's own NUL comes with fill
        }
        return all;
    };
    info->HubFlags.ul = 0;
    info->HubFlags.HubIsHighSpeedCapable = m_hub->DeviceDescriptor().bcdUSB >= 0x0200;
    info->HubFlags.HubIsHighSpeed = m_hub->DeviceDescriptor().bcdUSB >= 0x0200 && !m_hub->SuperSpeed();
    info->HubFlags.HubIsRoot = m_hub->IsRoot();
    fill(info->HardwareIds, joined(HardwareIds()), true);
    fill(info->CompatibleIds, joined(CompatibleIds()), true);
    fill(info->DeviceDescription, DeviceText(), false);
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS PortPdo::Power(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->MinorFunction) {
    case IRP_MN_WAIT_WAKE: {
        if (!RemoteWakeCapable() || !m_present) {
            PoStartNextPowerIrp(irp);
            return Complete(irp, STATUS_NOT_SUPPORTED);
        }
        std::lock_guard guard(m_powerLock);
        if (m_waitWakeIrp) {
            PoStartNextPowerIrp(irp);
            return Complete(irp, STATUS_DEVICE_BUSY);
        }
        IoMarkIrpPending(irp);
        m_waitWakeIrp = irp;
        IoSetCancelRoutine(irp, CancelWaitWake);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
            m_waitWakeIrp = nullptr;
            PoStartNextPowerIrp(irp);
            Complete(irp, STATUS_CANCELLED);
        }
        return STATUS_PENDING;
    }
    case IRP_MN_POWER_SEQUENCE: {
        PPOWER_SEQUENCE sequence = location->Parameters.PowerSequence.PowerSequence;
        PoStartNextPowerIrp(irp);
        if (!sequence) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        std::lock_guard guard(m_powerLock);
        *sequence = m_sequence;
        return Complete(irp, STATUS_SUCCESS);
    }
    case IRP_MN_SET_POWER: return SetPower(irp);
    case IRP_MN_QUERY_POWER: PoStartNextPowerIrp(irp); return Complete(irp, STATUS_SUCCESS);
    default: PoStartNextPowerIrp(irp); return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}

NTSTATUS PortPdo::SetPower(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->Parameters.Power.Type != DevicePowerState || !m_present) {
        PoStartNextPowerIrp(irp);
        return Complete(irp, STATUS_SUCCESS);
    }
    const DEVICE_POWER_STATE state = location->Parameters.Power.State.DeviceState;
    DEVICE_POWER_STATE before;
    bool armed;
    {
        std::lock_guard guard(m_powerLock);
        before = m_power;
        armed = m_waitWakeIrp != nullptr;
        if (state == PowerDeviceD0) {
            m_power = PowerDeviceD0; // a resume from here on is the host's, not the device's wake
        }
    }
    UrbClient device(m_hub->RootHubPdo(), m_handle);
    if (state != PowerDeviceD0 && before == PowerDeviceD0) {
        // Armed for wake, the device may signal resume; then its port is suspended.
        if (armed) {
            device.FeatureRequest(URB_FUNCTION_SET_FEATURE_TO_DEVICE, USB_FEATURE_REMOTE_WAKEUP, 0);
        }
        m_hub->SuspendPort(m_port, true);
        std::lock_guard guard(m_powerLock);
        m_power = state;
        if (state == PowerDeviceD1) {
            ++m_sequence.SequenceD1;
        } else if (state == PowerDeviceD2) {
            ++m_sequence.SequenceD2;
        } else {
            ++m_sequence.SequenceD3;
        }
    } else if (state == PowerDeviceD0 && before != PowerDeviceD0) {
        m_hub->SuspendPort(m_port, false);
        device.FeatureRequest(URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE, USB_FEATURE_REMOTE_WAKEUP, 0);
    }
    PoSetPowerState(m_self, DevicePowerState, location->Parameters.Power.State);
    PoStartNextPowerIrp(irp);
    return Complete(irp, STATUS_SUCCESS);
}

void PortPdo::OnDelete() {
    m_interfaces.DisableAll();
    m_hub->DrainDeferred(); // an idle callback a last request of this device queued finds no request of it
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
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX: return CompleteDeviceHandleRequest(irp, m_handle, m_hub->Handle());
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
    case IOCTL_INTERNAL_USB_GET_BUS_INFO: return PassDown(m_hub->RootHubPdo(), irp);
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
    case IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION: return IdleNotification(irp);
    case IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO: return DeviceConfigInfo(irp);
    case IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE: {
        // A full- or low-speed device behind a high-speed hub goes through that hub's transaction translator.
        if (!others.Argument1) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        const bool translated = !m_hub->IsRoot() && !m_hub->SuperSpeed() && m_identity.speed < UsbHighSpeed;
        *static_cast<PVOID*>(others.Argument1) = translated ? m_hub->Handle() : nullptr;
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO:
        // The hub's physical device object, the port, and the root hub's physical device object.
        if (others.Argument1) {
            *static_cast<PDEVICE_OBJECT*>(others.Argument1) = m_hub->Pdo();
        }
        if (others.Argument2) {
            *static_cast<ULONG*>(others.Argument2) = static_cast<ULONG>(m_port);
        }
        if (others.Argument4) {
            *static_cast<PDEVICE_OBJECT*>(others.Argument4) = m_hub->RootHubPdo();
        }
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_INTERNAL_USB_CYCLE_PORT:
        // The device leaves and comes back as a new device; this request ends at once.
        m_hub->CyclePort(m_port);
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_INTERNAL_USB_RESET_PORT:
    case IOCTL_INTERNAL_USB_ENABLE_PORT:
    case IOCTL_INTERNAL_USB_RECORD_FAILURE:
    case IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY:
    case IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND:
    case IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME: return Complete(irp, STATUS_SUCCESS);
    default: return Complete(irp, STATUS_NOT_SUPPORTED);
    }
}

} // namespace sim::drv
