#include "platform/sim/internal/ClassDevice.h"

#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

NTSTATUS UsbClassDevice::Configure(int interfaceClass, bool wholeDevice) {
    UrbClient client = Client();
    NTSTATUS status;
    if (!NT_SUCCESS(status = client.DeviceDescriptor(m_device)) ||
        !NT_SUCCESS(status = client.ConfigurationDescriptor(m_configuration))) {
        return status;
    }
    if (m_device.bcdUSB >= 0x0300) {
        Bytes bos;
        client.BosDescriptor(bos);
    }
    std::vector<UCHAR> numbers = InterfaceNumbers(m_configuration);
    bool found = false;
    for (UCHAR number : numbers) {
        const USB_INTERFACE_DESCRIPTOR* interface = FindInterface(m_configuration, number);
        if (interface && (interfaceClass == kAnyClass || interface->bInterfaceClass == interfaceClass)) {
            m_interface = number;
            found = true;
            break;
        }
    }
    if (!found) {
        return STATUS_DEVICE_DATA_ERROR;
    }
    if (!NT_SUCCESS(
            status = client.SelectConfiguration(
                m_configuration, wholeDevice ? std::vector<UCHAR>{} : std::vector<UCHAR>{m_interface}, m_selection))) {
        return status;
    }
    for (const std::u16string& id : DevicePropertyList(m_pdo, DevicePropertyHardwareID)) {
        size_t at = id.find(u"&MI_");
        if (at != std::u16string::npos && at + 6 <= id.size()) {
            m_interfaceSuffix = id.substr(at, 6);
            break;
        }
    }
    const USHORT version = CurrentLayout().usbdiInterfaceVersion;
    if (NT_SUCCESS(QueryInterface(m_lower, USB_BUS_INTERFACE_USBDI_GUID, UsbdiInterfaceSize(version), version,
                                  reinterpret_cast<PINTERFACE>(&m_usbdi)))) {
        m_haveUsbdi = true;
        m_highSpeed = version >= 1 && m_usbdi.IsDeviceHighSpeed(m_usbdi.BusContext);
    }
    return STATUS_SUCCESS;
}

void UsbClassDevice::OnRemove() {
    if (m_haveUsbdi) {
        m_haveUsbdi = false;
        m_usbdi.InterfaceDereference(m_usbdi.BusContext);
    }
}

} // namespace sim::drv
