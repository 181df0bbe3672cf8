#include "platform/sim/UsbHubModel.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// Port status bits. USB 2.0 keeps power at bit 8 and the speed in bits 9 and 10; SuperSpeed keeps the link
// state in bits 5 to 8, power at bit 9 and speed 0 (5 Gb/s) in bits 10 to 12.
constexpr USHORT kConnection = 0x0001;
constexpr USHORT kEnable = 0x0002;
constexpr USHORT kSuspend = 0x0004;
constexpr USHORT kPower20 = 0x0100;
constexpr USHORT kLowSpeed = 0x0200;
constexpr USHORT kHighSpeed = 0x0400;
constexpr USHORT kPower30 = 0x0200;
constexpr USHORT kLinkRxDetect = 5 << 5;
constexpr USHORT kLinkDisabled = 4 << 5;

constexpr USHORT kChangeConnection = 0x0001;
constexpr USHORT kChangeEnable = 0x0002;
constexpr USHORT kChangeSuspend = 0x0004;
constexpr USHORT kChangeOverCurrent = 0x0008;
constexpr USHORT kChangeReset = 0x0010;
constexpr USHORT kChangeBhReset = 0x0020;
constexpr USHORT kChangeLinkState = 0x0040;
constexpr USHORT kChangeConfigError = 0x0080;

TransferResult AnswerBytes(const UCHAR* bytes, size_t size, std::span<UCHAR> data) {
    size_t n = std::min(size, data.size());
    std::memcpy(data.data(), bytes, n);
    return TransferResult::Ok(static_cast<ULONG>(n));
}

} // namespace

UsbHubModel::UsbHubModel(std::string name, UsbSpeed speed, DescriptorSet descriptors, Bytes hubDescriptor, bool root)
    : UsbDevice(std::move(name), speed, std::move(descriptors)), m_root(root),
      m_kind(hubDescriptor.size() > 1 && hubDescriptor[1] == USB_30_HUB_DESCRIPTOR_TYPE ? Kind::SuperSpeed
                                                                                        : Kind::Usb20),
      m_hubDescriptor(std::move(hubDescriptor)) {
    m_ports.resize(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
}

UsbHubModel::~UsbHubModel() {
    for (Port& port : m_ports) {
        if (port.device) {
            port.device->m_parentHub.store(nullptr);
            port.device->m_portNumber.store(0);
        }
    }
}

bool UsbHubModel::Attach(int number, std::shared_ptr<UsbDevice> device) {
    if (!device || device.get() == this || device->ParentHub()) {
        return false;
    }
    Guard guard(*this);
    if (number < 1 || number > PortCount() || m_ports[number - 1].device) {
        return false;
    }
    Port& port = m_ports[number - 1];
    device->BusReset();
    port.device = std::move(device);
    port.device->m_parentHub.store(this);
    port.device->m_portNumber.store(number);
    if (port.powered) {
        port.change |= kChangeConnection;
        EndpointReady(kStatusEndpoint);
    }
    return true;
}

std::shared_ptr<UsbDevice> UsbHubModel::Detach(int number) {
    Guard guard(*this);
    if (number < 1 || number > PortCount() || !m_ports[number - 1].device) {
        return nullptr;
    }
    Port& port = m_ports[number - 1];
    std::shared_ptr<UsbDevice> device = std::move(port.device);
    port.device.reset();
    device->m_parentHub.store(nullptr);
    device->m_portNumber.store(0);
    Disconnect(port);
    if (port.powered) {
        port.change |= kChangeConnection;
        EndpointReady(kStatusEndpoint);
    }
    return device;
}

std::shared_ptr<UsbDevice> UsbHubModel::DeviceAt(int number) const {
    Guard guard(*this);
    return number >= 1 && number <= PortCount() ? m_ports[number - 1].device : nullptr;
}

USHORT UsbHubModel::PortStatus(int number) const {
    Guard guard(*this);
    return number >= 1 && number <= PortCount() ? StatusOf(m_ports[number - 1]) : 0;
}

USHORT UsbHubModel::PortChange(int number) const {
    Guard guard(*this);
    return number >= 1 && number <= PortCount() ? m_ports[number - 1].change : 0;
}

bool UsbHubModel::PortSuspended(int number) const {
    Guard guard(*this);
    return number >= 1 && number <= PortCount() && m_ports[number - 1].suspended;
}

void UsbHubModel::RemoteWakeup(int number) {
    Guard guard(*this);
    if (number < 1 || number > PortCount() || !m_ports[number - 1].suspended) {
        return;
    }
    Port& port = m_ports[number - 1];
    port.suspended = false;
    port.change |= m_kind == Kind::SuperSpeed ? kChangeLinkState : kChangeSuspend;
    EndpointReady(kStatusEndpoint);
}

void UsbHubModel::Disconnect(Port& port) {
    port.enabled = false;
    port.suspended = false;
}

USHORT UsbHubModel::StatusOf(const Port& port) const {
    bool connected = port.device && port.powered;
    if (m_kind == Kind::SuperSpeed) {
        USHORT status = port.powered ? kPower30 : 0;
        if (connected) {
            status |= kConnection;
        }
        if (port.enabled) {
            status |= kEnable; // link in U0 (U3 while suspended), speed 0 (5 Gb/s)
            if (port.suspended) {
                status |= 3 << 5;
            }
        } else {
            status |= connected ? kLinkDisabled : kLinkRxDetect;
        }
        return status;
    }
    USHORT status = port.powered ? kPower20 : 0;
    if (connected) {
        status |= kConnection;
        if (port.enabled) {
            status |= kEnable;
        }
        if (port.suspended) {
            status |= kSuspend;
        }
        switch (port.device->Speed()) {
        case UsbSpeed::Low: status |= kLowSpeed; break;
        case UsbSpeed::High: status |= kHighSpeed; break;
        default: break;
        }
    }
    return status;
}

void UsbHubModel::OnBusReset() {
    // A hub that is reset switches its ports off; what is plugged in stays plugged in.
    for (Port& port : m_ports) {
        port.powered = false;
        port.enabled = false;
        port.suspended = false;
        port.change = 0;
    }
    m_hubChange = false;
}

TransferResult UsbHubModel::DeviceRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    const bool toHub = setup.Recipient() == BMREQUEST_TO_DEVICE;
    const bool toPort = setup.Recipient() == BMREQUEST_TO_OTHER;
    if (setup.Type() != BMREQUEST_CLASS) {
        return TransferResult::Stall();
    }
    switch (setup.bRequest) {
    case USB_REQUEST_GET_DESCRIPTOR: {
        UCHAR type = static_cast<UCHAR>(setup.wValue >> 8);
        if (!toHub || !setup.In() || m_hubDescriptor.empty() || type != m_hubDescriptor[1]) {
            return TransferResult::Stall();
        }
        return AnswerBytes(m_hubDescriptor.data(), m_hubDescriptor.size(), data);
    }
    case USB_REQUEST_GET_STATUS: {
        UCHAR bytes[4] = {};
        if (toPort) {
            int number = setup.wIndex & 0xFF;
            if (number < 1 || number > PortCount()) {
                return TransferResult::Stall();
            }
            WriteU16(bytes, StatusOf(m_ports[number - 1]));
            WriteU16(bytes + 2, m_ports[number - 1].change);
        } else if (toHub) {
            WriteU16(bytes + 2, m_hubChange ? 1 : 0);
        } else {
            return TransferResult::Stall();
        }
        return AnswerBytes(bytes, sizeof bytes, data);
    }
    case USB_REQUEST_SET_FEATURE:
    case USB_REQUEST_CLEAR_FEATURE:
        if (toHub) {
            m_hubChange = false;
            return TransferResult::Ok();
        }
        return toPort ? PortFeature(setup, setup.bRequest == USB_REQUEST_SET_FEATURE) : TransferResult::Stall();
    case USB_REQUEST_SET_HUB_DEPTH:
        return m_kind == Kind::SuperSpeed && toHub ? TransferResult::Ok() : TransferResult::Stall();
    case USB_REQUEST_CLEAR_TT_BUFFER:
    case USB_REQUEST_RESET_TT:
    case USB_REQUEST_STOP_TT: return m_kind == Kind::Usb20 && !m_root ? TransferResult::Ok() : TransferResult::Stall();
    default: return TransferResult::Stall();
    }
}

TransferResult UsbHubModel::PortFeature(const SetupPacket& setup, bool set) {
    int number = setup.wIndex & 0xFF;
    if (number < 1 || number > PortCount()) {
        return TransferResult::Stall();
    }
    Port& port = m_ports[number - 1];
    const bool connected = port.device && port.powered;
    switch (setup.wValue) {
    case USB_PORT_FEATURE_PORT_POWER:
        if (set && !port.powered) {
            port.powered = true;
            if (port.device) {
                port.change |= kChangeConnection;
                EndpointReady(kStatusEndpoint);
            }
        } else if (!set && port.powered) {
            port.powered = false;
            Disconnect(port);
        }
        return TransferResult::Ok();
    case USB_PORT_FEATURE_PORT_RESET:
    case USB_PORT_FEATURE_BH_PORT_RESET:
        if (!set) {
            return TransferResult::Stall();
        }
        if (connected) {
            port.device->BusReset();
            port.enabled = true;
            port.suspended = false;
            port.change |= setup.wValue == USB_PORT_FEATURE_PORT_RESET ? kChangeReset : kChangeBhReset;
            EndpointReady(kStatusEndpoint);
        }
        return TransferResult::Ok();
    case USB_PORT_FEATURE_PORT_ENABLE:
        if (set) {
            return TransferResult::Stall(); // a port is enabled by a reset only
        }
        port.enabled = false;
        return TransferResult::Ok();
    case USB_PORT_FEATURE_PORT_SUSPEND:
    case USB_PORT_FEATURE_PORT_LINK_STATE: {
        // USB 2.0 ports suspend with PORT_SUSPEND and resume when it is cleared; SuperSpeed ports go to U3 and
        // back to U0 with PORT_LINK_STATE (the state in wIndex's high byte). A resume the host asked for
        // ends with the same change bit as one the device signalled.
        const bool linkState = setup.wValue == USB_PORT_FEATURE_PORT_LINK_STATE;
        if (linkState && !set) {
            return TransferResult::Stall();
        }
        const bool suspend = linkState ? (setup.wIndex >> 8) == 3 : set;
        if (linkState && !suspend && (setup.wIndex >> 8) != 0) {
            return TransferResult::Ok(); // U1, U2: no suspension
        }
        if (suspend) {
            port.suspended = port.enabled;
        } else if (port.suspended) {
            port.suspended = false;
            port.change |= linkState ? kChangeLinkState : kChangeSuspend;
            EndpointReady(kStatusEndpoint);
        }
        return TransferResult::Ok();
    }
    case USB_PORT_FEATURE_PORT_U1_TIMEOUT:
    case USB_PORT_FEATURE_PORT_U2_TIMEOUT:
    case USB_PORT_FEATURE_PORT_REMOTE_WAKE_MASK:
    case USB_PORT_FEATURE_PORT_INDICATOR:
    case USB_PORT_FEATURE_PORT_TEST: return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_CONNECTION: port.change &= ~kChangeConnection; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_ENABLE: port.change &= ~kChangeEnable; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_SUSPEND: port.change &= ~kChangeSuspend; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_OVER_CURRENT: port.change &= ~kChangeOverCurrent; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_RESET: port.change &= ~kChangeReset; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_BH_PORT_RESET: port.change &= ~kChangeBhReset; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_LINK_STATE: port.change &= ~kChangeLinkState; return TransferResult::Ok();
    case USB_PORT_FEATURE_C_PORT_CONFIG_ERROR: port.change &= ~kChangeConfigError; return TransferResult::Ok();
    default: return TransferResult::Stall();
    }
}

TransferResult UsbHubModel::DeviceTransfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    if (endpointAddress != kStatusEndpoint) {
        return TransferResult::Stall();
    }
    // Bit 0: the hub itself; bit n: port n.
    Bytes bitmap((PortCount() + 8) / 8);
    bool any = m_hubChange;
    if (m_hubChange) {
        bitmap[0] |= 1;
    }
    for (int number = 1; number <= PortCount(); ++number) {
        if (m_ports[number - 1].change) {
            bitmap[number / 8] |= static_cast<UCHAR>(1 << (number % 8));
            any = true;
        }
    }
    if (!any) {
        return TransferResult::Nak();
    }
    return AnswerBytes(bitmap.data(), bitmap.size(), data);
}

} // namespace sim
