// The hub's device-control requests, with the published layouts: node information, connection information
// (35 packed bytes and the pipe list) and its extended forms, the driver key and name of a port's device,
// descriptors read from a port's device, hub capabilities and port attributes.
#include <algorithm>
#include <cstring>

#include "platform/sim/internal/HubFdo.h"

namespace sim::drv {

namespace {

ULONG ReadConnectionIndex(const UCHAR* buffer, ULONG inLength) {
    ULONG index = 0;
    if (buffer && inLength >= sizeof index) {
        std::memcpy(&index, buffer, sizeof index);
    }
    return index;
}

} // namespace

NTSTATUS HubFdo::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    bool handled = false;
    NTSTATUS status = HubRequest(irp, location->Parameters.DeviceIoControl.IoControlCode,
                                 static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer),
                                 location->Parameters.DeviceIoControl.InputBufferLength,
                                 location->Parameters.DeviceIoControl.OutputBufferLength, &handled);
    return handled ? status : Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

NTSTATUS HubFdo::InternalDeviceControl(PIRP irp) {
    // Kernel-mode callers (the capture driver among them) ask the hub the same questions with internal requests
    // of the same codes and buffers; anything else goes down the hub's stack.
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    switch (code) {
    case IOCTL_USB_GET_NODE_INFORMATION:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME:
    case IOCTL_USB_GET_NODE_CONNECTION_NAME:
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: {
        bool handled = false;
        NTSTATUS status = HubRequest(irp, code, static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer),
                                     location->Parameters.DeviceIoControl.InputBufferLength,
                                     location->Parameters.DeviceIoControl.OutputBufferLength, &handled);
        return handled ? status : Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
    default: return PassDown(m_lower, irp);
    }
}

NTSTATUS HubFdo::HubRequest(PIRP irp, ULONG code, UCHAR* buffer, ULONG inLength, ULONG outLength, bool* handled) {
    *handled = true;
    const int ports = static_cast<int>(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
    switch (code) {
    case IOCTL_USB_GET_NODE_INFORMATION: {
        if (!buffer || outLength < sizeof(USB_NODE_INFORMATION)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_NODE_INFORMATION node{};
        node.NodeType = UsbHub;
        std::memcpy(&node.u.HubInformation.HubDescriptor, m_hubDescriptor.data(),
                    std::min(m_hubDescriptor.size(), sizeof node.u.HubInformation.HubDescriptor));
        node.u.HubInformation.HubIsBusPowered = m_busPowered;
        std::memcpy(buffer, &node, sizeof node);
        return Complete(irp, STATUS_SUCCESS, sizeof node);
    }
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
        return ConnectionInformation(irp, buffer, inLength, outLength,
                                     code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX);
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME:
    case IOCTL_USB_GET_NODE_CONNECTION_NAME:
        return ConnectionName(irp, buffer, inLength, outLength, code == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME);
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION:
        return DescriptorFromConnection(irp, buffer, inLength, outLength);
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2: {
        if (!buffer || inLength < sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2) ||
            outLength < sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_NODE_CONNECTION_INFORMATION_EX_V2 info;
        std::memcpy(&info, buffer, sizeof info);
        if (info.Length != sizeof info || info.ConnectionIndex < 1 || static_cast<int>(info.ConnectionIndex) > ports) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        info.SupportedUsbProtocols.ul = m_superSpeed ? 0x4 : 0x3; // USB 3.0 ports, or 1.1 and 2.0
        info.Flags.ul = 0;
        {
            std::lock_guard guard(m_portLock);
            PortPdo* child = m_ports[info.ConnectionIndex - 1];
            if (child && child->Id().speed == UsbSuperSpeed) {
                info.Flags.DeviceIsOperatingAtSuperSpeedOrHigher = 1;
                info.Flags.DeviceIsSuperSpeedCapableOrHigher = 1;
            }
        }
        std::memcpy(buffer, &info, sizeof info);
        return Complete(irp, STATUS_SUCCESS, sizeof info);
    }
    case IOCTL_USB_GET_HUB_CAPABILITIES: {
        if (!buffer || outLength < sizeof(USB_HUB_CAPABILITIES)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_HUB_CAPABILITIES capabilities{};
        capabilities.HubIs2xCapable = m_deviceDescriptor.bcdUSB >= 0x0200;
        std::memcpy(buffer, &capabilities, sizeof capabilities);
        return Complete(irp, STATUS_SUCCESS, sizeof capabilities);
    }
    case IOCTL_USB_GET_HUB_CAPABILITIES_EX: {
        if (!buffer || outLength < sizeof(USB_HUB_CAPABILITIES_EX)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_HUB_CAPABILITIES_EX capabilities{};
        const bool highSpeed = m_deviceDescriptor.bcdUSB >= 0x0200;
        capabilities.CapabilityFlags.HubIsHighSpeedCapable = highSpeed;
        capabilities.CapabilityFlags.HubIsHighSpeed = highSpeed;
        capabilities.CapabilityFlags.HubIsMultiTtCapable = m_deviceDescriptor.bDeviceProtocol == 2;
        capabilities.CapabilityFlags.HubIsRoot = m_root;
        capabilities.CapabilityFlags.HubIsBusPowered = m_busPowered;
        std::memcpy(buffer, &capabilities, sizeof capabilities);
        return Complete(irp, STATUS_SUCCESS, sizeof capabilities);
    }
    case IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES: {
        if (!buffer || inLength < sizeof(ULONG) || outLength < sizeof(USB_NODE_CONNECTION_ATTRIBUTES)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        ULONG index = ReadConnectionIndex(buffer, inLength);
        if (index < 1 || index > static_cast<ULONG>(ports)) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        USB_NODE_CONNECTION_ATTRIBUTES attributes{};
        attributes.ConnectionIndex = index;
        {
            std::lock_guard guard(m_portLock);
            attributes.ConnectionStatus = m_ports[index - 1]    ? DeviceConnected
                                          : m_failed[index - 1] ? DeviceFailedEnumeration
                                                                : NoDeviceConnected;
        }
        std::memcpy(buffer, &attributes, sizeof attributes);
        return Complete(irp, STATUS_SUCCESS, sizeof attributes);
    }
    case IOCTL_USB_GET_HUB_INFORMATION_EX: {
        if (!buffer || outLength < sizeof(USB_HUB_INFORMATION_EX)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_HUB_INFORMATION_EX info{};
        info.HubType = m_root ? UsbRootHub : m_superSpeed ? Usb30Hub : Usb20Hub;
        info.HighestPortNumber = static_cast<USHORT>(ports);
        std::memcpy(&info.u, m_hubDescriptor.data(), std::min(m_hubDescriptor.size(), sizeof info.u));
        std::memcpy(buffer, &info, sizeof info);
        return Complete(irp, STATUS_SUCCESS, sizeof info);
    }
    case IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES: {
        if (!buffer || inLength < sizeof(ULONG) || outLength < sizeof(USB_PORT_CONNECTOR_PROPERTIES)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        ULONG index = ReadConnectionIndex(buffer, inLength);
        if (index < 1 || index > static_cast<ULONG>(ports)) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        USB_PORT_CONNECTOR_PROPERTIES properties{};
        properties.ConnectionIndex = index;
        properties.ActualLength = sizeof properties; // no companion hub: an empty name
        properties.UsbPortProperties.PortIsUserConnectable = 1;
        std::memcpy(buffer, &properties, sizeof properties);
        return Complete(irp, STATUS_SUCCESS, sizeof properties);
    }
    case IOCTL_USB_HUB_CYCLE_PORT: {
        if (!buffer || inLength < sizeof(USB_CYCLE_PORT_PARAMS) || outLength < sizeof(USB_CYCLE_PORT_PARAMS)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_CYCLE_PORT_PARAMS params;
        std::memcpy(&params, buffer, sizeof params);
        if (params.ConnectionIndex < 1 || static_cast<int>(params.ConnectionIndex) > ports) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        params.StatusReturned = 0;
        std::memcpy(buffer, &params, sizeof params);
        CyclePort(static_cast<int>(params.ConnectionIndex));
        return Complete(irp, STATUS_SUCCESS, sizeof params);
    }
    case IOCTL_USB_RESET_HUB:
    case IOCTL_USB_DIAG_IGNORE_HUBS_ON:
    case IOCTL_USB_DIAG_IGNORE_HUBS_OFF: return Complete(irp, STATUS_SUCCESS);
    default: *handled = false; return STATUS_INVALID_DEVICE_REQUEST;
    }
}

NTSTATUS HubFdo::ConnectionInformation(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength, bool extended) {
    constexpr ULONG kFixed = sizeof(USB_NODE_CONNECTION_INFORMATION);
    if (!buffer || inLength < sizeof(ULONG) || outLength < kFixed) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    }
    const ULONG index = ReadConnectionIndex(buffer, inLength);
    const int ports = static_cast<int>(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
    if (index < 1 || index > static_cast<ULONG>(ports)) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    USB_NODE_CONNECTION_INFORMATION_EX info{};
    info.ConnectionIndex = index;
    std::vector<UCHAR> pipes; // USB_PIPE_INFO entries, 11 bytes each
    {
        std::lock_guard guard(m_portLock);
        PortPdo* child = m_ports[index - 1];
        if (!child) {
            info.ConnectionStatus = m_failed[index - 1] ? DeviceFailedEnumeration : NoDeviceConnected;
        } else {
            // What the port driver knows of the device now: its configuration and open pipes.
            std::vector<UCHAR> raw(sizeof(USB_DEVICE_INFORMATION_0) + 32 * sizeof(USB_PIPE_INFORMATION_0));
            auto* device = reinterpret_cast<PUSB_DEVICE_INFORMATION_0>(raw.data());
            device->InformationLevel = 0;
            ULONG copied = 0;
            NTSTATUS status = m_bus.QueryDeviceInformation(m_bus.BusContext, child->Handle(), raw.data(),
                                                           static_cast<ULONG>(raw.size()), &copied);
            info.DeviceDescriptor = child->Id().device;
            info.DeviceIsHub = child->IsHub();
            info.ConnectionStatus = DeviceConnected;
            info.Speed = static_cast<UCHAR>(child->Id().speed);
            if (NT_SUCCESS(status)) {
                info.CurrentConfigurationValue = device->CurrentConfigurationValue;
                info.DeviceAddress = device->DeviceAddress;
                info.Speed = static_cast<UCHAR>(device->DeviceSpeed);
                info.NumberOfOpenPipes = device->NumberOfOpenPipes;
                for (ULONG i = 0; i < device->NumberOfOpenPipes; ++i) {
                    USB_PIPE_INFORMATION_0 pipe;
                    std::memcpy(&pipe, &device->PipeList[i], sizeof pipe);
                    USB_PIPE_INFO entry{};
                    entry.EndpointDescriptor = pipe.EndpointDescriptor;
                    entry.ScheduleOffset = pipe.ScheduleOffset;
                    const auto* bytes = reinterpret_cast<const UCHAR*>(&entry);
                    pipes.insert(pipes.end(), bytes, bytes + sizeof entry);
                }
            }
        }
    }
    if (!extended) {
        // The older form has LowSpeed where the extended one has the speed.
        info.Speed = info.Speed == UsbLowSpeed && info.ConnectionStatus == DeviceConnected ? TRUE : FALSE;
    }
    std::memcpy(buffer, &info, kFixed);
    // As many pipe entries as the buffer holds; NumberOfOpenPipes still tells how many there are.
    ULONG room = (outLength - kFixed) / sizeof(USB_PIPE_INFO) * sizeof(USB_PIPE_INFO);
    ULONG copied = std::min<ULONG>(room, static_cast<ULONG>(pipes.size()));
    if (copied) {
        std::memcpy(buffer + kFixed, pipes.data(), copied);
    }
    return Complete(irp, STATUS_SUCCESS, kFixed + copied);
}

NTSTATUS HubFdo::ConnectionName(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength, bool driverKey) {
    constexpr ULONG kHeader = offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName);
    if (!buffer || inLength < sizeof(ULONG) || outLength < sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    }
    const ULONG index = ReadConnectionIndex(buffer, inLength);
    const int ports = static_cast<int>(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
    if (index < 1 || index > static_cast<ULONG>(ports)) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    std::u16string name;
    {
        std::lock_guard guard(m_portLock);
        PortPdo* child = m_ports[index - 1];
        if (!child) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        if (driverKey) {
            name = DeviceProperty(child->Self(), DevicePropertyDriverKeyName);
        } else if (child->IsHub()) {
            std::u16string link = child->HubLink();
            name = link.size() > 4 ? link.substr(4) : std::u16string();
        }
    }
    // ActualLength: the whole structure the answer needs, the name's NUL included.
    const ULONG actual = static_cast<ULONG>(kHeader + (name.size() + 1) * sizeof(WCHAR));
    std::memcpy(buffer, &index, sizeof index);
    std::memcpy(buffer + sizeof(ULONG), &actual, sizeof actual);
    if (outLength < actual) {
        buffer[kHeader] = buffer[kHeader + 1] = 0;
        return Complete(irp, STATUS_SUCCESS, sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME));
    }
    std::memcpy(buffer + kHeader, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    return Complete(irp, STATUS_SUCCESS, actual);
}

NTSTATUS HubFdo::DescriptorFromConnection(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength) {
    constexpr ULONG kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
    if (!buffer || inLength < kHeader || outLength < kHeader) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    }
    USB_DESCRIPTOR_REQUEST request;
    std::memcpy(&request, buffer, kHeader);
    const int ports = static_cast<int>(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
    if (request.ConnectionIndex < 1 || static_cast<int>(request.ConnectionIndex) > ports) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    PVOID handle = nullptr;
    {
        std::lock_guard guard(m_portLock);
        PortPdo* child = m_ports[request.ConnectionIndex - 1];
        if (child) {
            handle = child->Handle();
            // The port driver keeps the handle valid (and refuses a stale one), so the request may be sent after
            // the lock is released.
        }
    }
    if (!handle) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    const ULONG length = std::min<ULONG>(request.SetupPacket.wLength, outLength - kHeader);
    Bytes data;
    UrbClient client(m_rootHubPdo, handle);
    NTSTATUS status = client.GetDescriptor(
        URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, static_cast<UCHAR>(request.SetupPacket.wValue >> 8),
        static_cast<UCHAR>(request.SetupPacket.wValue), request.SetupPacket.wIndex, data, length);
    if (!NT_SUCCESS(status)) {
        return Complete(irp, status);
    }
    const ULONG copied = std::min<ULONG>(static_cast<ULONG>(data.size()), length);
    if (copied) {
        std::memcpy(buffer + kHeader, data.data(), copied);
    }
    return Complete(irp, STATUS_SUCCESS, kHeader + copied);
}

} // namespace sim::drv
