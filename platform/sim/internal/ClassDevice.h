// What the USB class drivers share: reading the device's descriptors, choosing the interface of their class,
// selecting the configuration, and holding the device's USBDI interface while they run.
#pragma once

#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/UrbClient.h"
#include "usbbusif.h"

namespace sim::drv {

class UsbClassDevice : public FunctionDevice {
public:
    UsbClassDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : FunctionDevice(self, pdo, lower) {}

    const USB_DEVICE_DESCRIPTOR& Device() const { return m_device; }
    const Bytes& Configuration() const { return m_configuration; }
    const SelectedConfiguration& Selection() const { return m_selection; }
    UCHAR InterfaceNumber() const { return m_interface; }
    // "&MI_nn" when the device object below is a composite parent's interface PDO, else empty.
    const std::u16string& InterfaceSuffix() const { return m_interfaceSuffix; }

protected:
    // Reads the descriptors (and the BOS descriptor of a SuperSpeed device), picks the first interface of
    // `interfaceClass` (any when 0xFF is not wanted: pass kAnyClass) and selects the configuration with it
    // (or with every interface when `wholeDevice`).
    static constexpr int kAnyClass = -1;
    NTSTATUS Configure(int interfaceClass, bool wholeDevice = false);
    void OnRemove() override;

    UrbClient Client() const { return UrbClient(m_lower); }

    USB_DEVICE_DESCRIPTOR m_device{};
    Bytes m_configuration;
    SelectedConfiguration m_selection;
    UCHAR m_interface = 0;
    std::u16string m_interfaceSuffix;
    USB_BUS_INTERFACE_USBDI_V3 m_usbdi{};
    bool m_haveUsbdi = false;
    bool m_highSpeed = false;
};

} // namespace sim::drv
