#include "platform/sim/HostControllerModel.h"

namespace sim {

namespace {

int DefaultPorts(ControllerType type) {
    switch (type) {
    case ControllerType::Uhci: return 2;
    case ControllerType::Ohci: return 3;
    case ControllerType::Ehci: return 6;
    case ControllerType::Xhci: return 4;
    }
    return 2;
}

USHORT DefaultDeviceId(ControllerType type) {
    switch (type) {
    case ControllerType::Uhci: return 0x0C30;
    case ControllerType::Ohci: return 0x0C31;
    case ControllerType::Ehci: return 0x0C32;
    case ControllerType::Xhci: return 0x0C33;
    }
    return 0;
}

// The root hub as the port driver presents it: a hub device of the controller's speed whose IDs are the
// controller's.
std::shared_ptr<UsbHubModel> MakeRootHub(ControllerType type, const std::string& name, int ports,
                                         const PciIdentity& pci) {
    const bool xhci = type == ControllerType::Xhci;
    const bool ehci = type == ControllerType::Ehci;
    DeviceIdentity identity;
    identity.bcdUSB = xhci ? 0x0300 : ehci ? 0x0200 : 0x0110;
    identity.deviceClass = USB_DEVICE_CLASS_HUB;
    identity.deviceProtocol = xhci ? USB_HUB_PROTOCOL_SUPERSPEED : ehci ? USB_HUB_PROTOCOL_HIGH_SPEED_SINGLE_TT : 0;
    identity.maxPacketSize0 = xhci ? 9 : 64;
    identity.vendorId = pci.vendorId;
    identity.productId = pci.deviceId;
    identity.bcdDevice = pci.revision;

    ConfigurationBuilder configuration(1, 0xE0, 0);
    configuration.Interface(0, 0, USB_DEVICE_CLASS_HUB, 0, 0);
    configuration.Endpoint(UsbHubModel::kStatusEndpoint, USB_ENDPOINT_TYPE_INTERRUPT, 2, ehci ? 0x0C : 0xFF);
    if (xhci) {
        configuration.Companion(0, 0, 2);
    }

    DescriptorSet descriptors;
    descriptors.device = DeviceDescriptorBytes(identity);
    descriptors.configurations.push_back(configuration.Build());
    if (xhci) {
        descriptors.bos = BosBuilder().Usb20Extension().SuperSpeed().Build();
    }

    Bytes hub;
    if (xhci) {
        hub = {12, USB_30_HUB_DESCRIPTOR_TYPE, static_cast<UCHAR>(ports), 0x09, 0x00, 10, 0, 0, 0, 0, 0, 0};
    } else {
        // Individual power switching and over-current reporting; the DeviceRemovable and PortPwrCtrlMask
        // bitmaps are one bit per port (and bit 0), rounded up to bytes.
        size_t bitmapBytes = (static_cast<size_t>(ports) + 8) / 8;
        hub = {static_cast<UCHAR>(7 + 2 * bitmapBytes),
               USB_20_HUB_DESCRIPTOR_TYPE,
               static_cast<UCHAR>(ports),
               0x09,
               0x00,
               50,
               0};
        hub.insert(hub.end(), bitmapBytes, 0x00);
        hub.insert(hub.end(), bitmapBytes, 0xFF);
    }
    return std::make_shared<UsbHubModel>(name + " root hub",
                                         xhci   ? UsbSpeed::Super
                                         : ehci ? UsbSpeed::High
                                                : UsbSpeed::Full,
                                         std::move(descriptors), std::move(hub), true);
}

} // namespace

HostControllerModel::HostControllerModel(ControllerType type, std::string name, int rootPorts, PciIdentity pci)
    : m_type(type), m_name(std::move(name)), m_pci([&] {
          if (!pci.deviceId) {
              pci.deviceId = DefaultDeviceId(type);
          }
          return pci;
      }()) {
    m_rootHub = MakeRootHub(type, m_name, rootPorts > 0 ? rootPorts : DefaultPorts(type), m_pci);
}

ULONG HostControllerModel::ClassCode() const {
    switch (m_type) {
    case ControllerType::Uhci: return 0x0C0300;
    case ControllerType::Ohci: return 0x0C0310;
    case ControllerType::Ehci: return 0x0C0320;
    case ControllerType::Xhci: return 0x0C0330;
    }
    return 0x0C0300;
}

} // namespace sim
