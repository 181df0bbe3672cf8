// A simulated hub: a USB 2.0 or SuperSpeed hub device, or the root hub of a host controller (which the port
// driver emulates with the same model). Devices are plugged into its ports; the hub answers the hub class
// requests (hub descriptor, port status, port features) and reports port changes on its status-change
// endpoint, which NAKs until something changes.
#pragma once

#include <memory>
#include <vector>

#include "platform/sim/UsbDevice.h"

namespace sim {

class UsbHubModel : public UsbDevice {
public:
    enum class Kind { Usb20, SuperSpeed };

    // `hubDescriptor`: the class descriptor (type 0x29 or 0x2A) with the port count at byte 2.
    UsbHubModel(std::string name, UsbSpeed speed, DescriptorSet descriptors, Bytes hubDescriptor, bool root);
    ~UsbHubModel() override;

    bool IsHub() const override { return true; }
    bool IsRoot() const { return m_root; }
    Kind HubKind() const { return m_kind; }
    int PortCount() const { return static_cast<int>(m_ports.size()); }
    const Bytes& HubDescriptor() const { return m_hubDescriptor; }

    // Plugs a device into a port (1-based). False when the port does not exist, is taken, or the device is
    // plugged elsewhere. A powered port reports the connection on its status-change endpoint.
    bool Attach(int port, std::shared_ptr<UsbDevice> device);
    // Typed form for describing a machine: returns the device (null when it could not be plugged).
    template <class T> std::shared_ptr<T> Plug(int port, std::shared_ptr<T> device) {
        return Attach(port, device) ? device : nullptr;
    }
    // Unplugs the device of a port (with whatever hangs below it) and returns it.
    std::shared_ptr<UsbDevice> Detach(int port);
    std::shared_ptr<UsbDevice> DeviceAt(int port) const;

    // The status and change words of a port (USB 2.0 or SuperSpeed layout, as GET_STATUS returns them).
    USHORT PortStatus(int port) const;
    USHORT PortChange(int port) const;
    bool PortSuspended(int port) const;
    // The device on a suspended port signals resume: the port resumes and reports the end of its suspension.
    void RemoteWakeup(int port);

    // The status-change endpoint (interrupt IN).
    static constexpr UCHAR kStatusEndpoint = 0x81;

protected:
    TransferResult DeviceRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult DeviceTransfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    void OnBusReset() override;

private:
    struct Port {
        std::shared_ptr<UsbDevice> device;
        bool powered = false;
        bool enabled = false;
        bool suspended = false;
        USHORT change = 0;
    };
    USHORT StatusOf(const Port& port) const;
    TransferResult PortFeature(const SetupPacket& setup, bool set);
    void Disconnect(Port& port);

    const bool m_root;
    const Kind m_kind;
    const Bytes m_hubDescriptor;
    std::vector<Port> m_ports;
    bool m_hubChange = false;
};

} // namespace sim
