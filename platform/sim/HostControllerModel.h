// A simulated USB host controller as hardware: a PCI function (vendor and device IDs, class code, where it sits
// on the bus) and its root hub, whose ports take devices. The port driver serves it; the PCI bus driver
// reports it.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/sim/UsbHubModel.h"

namespace sim {

enum class ControllerType { Uhci, Ohci, Ehci, Xhci };

struct PciIdentity {
    USHORT vendorId = 0x7A51;
    USHORT deviceId = 0; // 0: chosen by the controller type
    USHORT subsystemVendorId = 0x7A51;
    USHORT subsystemId = 0x0001;
    UCHAR revision = 0x01;
    UCHAR device = 0; // PCI device number on bus 0 (the machine builder numbers them)
    UCHAR function = 0;
};

class HostControllerModel {
public:
    // rootPorts 0: the type's usual count (UHCI 2, OHCI 3, EHCI 6, xHCI 4).
    HostControllerModel(ControllerType type, std::string name, int rootPorts = 0, PciIdentity pci = {});

    ControllerType Type() const { return m_type; }
    const std::string& Name() const { return m_name; }
    const PciIdentity& Pci() const { return m_pci; }
    // The PCI class code: 0x0C0300 UHCI, 0x0C0310 OHCI, 0x0C0320 EHCI, 0x0C0330 xHCI.
    ULONG ClassCode() const;
    UsbHubModel& RootHub() const { return *m_rootHub; }
    const std::shared_ptr<UsbHubModel>& RootHubPointer() const { return m_rootHub; }

    template <class T> std::shared_ptr<T> Plug(int port, std::shared_ptr<T> device) {
        return m_rootHub->Plug(port, std::move(device));
    }

    // The PCI bus driver's physical device object for the controller; null while it has none.
    _DEVICE_OBJECT* PhysicalDeviceObject() const { return m_pdo.load(); }
    void SetPhysicalDeviceObject(_DEVICE_OBJECT* pdo) { m_pdo.store(pdo); }

private:
    const ControllerType m_type;
    const std::string m_name;
    const PciIdentity m_pci;
    std::shared_ptr<UsbHubModel> m_rootHub;
    std::atomic<_DEVICE_OBJECT*> m_pdo{nullptr};
};

} // namespace sim
