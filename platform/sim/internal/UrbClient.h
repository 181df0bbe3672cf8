// Synchronous URBs from a simulated driver to the device below it, in the forms class drivers and hubs use:
// descriptors, configuration selection, class and vendor requests, bulk and interrupt transfers. Each URB is
// built in pool, sent with IOCTL_INTERNAL_USB_SUBMIT_URB and waited for.
#pragma once

#include <vector>

#include "platform/sim/Descriptors.h"
#include "usbdi.h"
#include "wdm.h"

namespace sim::drv {

// What SELECT_CONFIGURATION gave back: the configuration handle and a copy of each interface's information.
struct SelectedConfiguration {
    USBD_CONFIGURATION_HANDLE handle = nullptr;
    std::vector<Bytes> interfaces; // USBD_INTERFACE_INFORMATION records, in the order asked for

    // The pipe handle of an endpoint, or null.
    USBD_PIPE_HANDLE Pipe(UCHAR endpointAddress) const;
    const USBD_INTERFACE_INFORMATION* Interface(UCHAR number) const;
};

class UrbClient {
public:
    // `target`: where the URBs go. `deviceHandle`: put into each URB's header (a hub talking to a device on one
    // of its ports straight through the root hub); null leaves it to the stack.
    explicit UrbClient(PDEVICE_OBJECT target, PVOID deviceHandle = nullptr)
        : m_target(target), m_deviceHandle(deviceHandle) {}

    // Sends the URB and waits; the result is the request's status (the URB's own status is in its header).
    NTSTATUS Submit(PURB urb);

    NTSTATUS GetDescriptor(USHORT function, UCHAR type, UCHAR index, USHORT languageOrInterface, Bytes& out,
                           ULONG length);
    NTSTATUS DeviceDescriptor(USB_DEVICE_DESCRIPTOR& descriptor);
    // The whole configuration descriptor set of configuration index 0 (header first, then wTotalLength).
    NTSTATUS ConfigurationDescriptor(Bytes& configuration);
    NTSTATUS BosDescriptor(Bytes& bos);
    // Selects the configuration with the given interfaces (alternate setting 0), or all of them when `numbers`
    // is empty.
    NTSTATUS SelectConfiguration(const Bytes& configuration, const std::vector<UCHAR>& numbers,
                                 SelectedConfiguration& selected);
    NTSTATUS Unconfigure();
    // A class or vendor request (function: URB_FUNCTION_CLASS_DEVICE, _CLASS_INTERFACE, _CLASS_OTHER,
    // _VENDOR_*). *length: in, the buffer's size; out, the bytes moved.
    NTSTATUS ClassRequest(USHORT function, bool in, UCHAR request, USHORT value, USHORT index, void* buffer,
                          ULONG* length);
    NTSTATUS FeatureRequest(USHORT function, USHORT selector, USHORT index);
    NTSTATUS GetStatus(USHORT function, USHORT index, USHORT& status);
    NTSTATUS Transfer(USBD_PIPE_HANDLE pipe, bool in, void* buffer, ULONG* length);

private:
    PURB Allocate(USHORT size);
    PDEVICE_OBJECT m_target;
    PVOID m_deviceHandle;
};

// The interface descriptor of a number and alternate setting in a configuration set, or null.
const USB_INTERFACE_DESCRIPTOR* FindInterface(const Bytes& configuration, UCHAR number, UCHAR alternate = 0);
// The interface numbers (alternate setting 0) of a configuration set, in order.
std::vector<UCHAR> InterfaceNumbers(const Bytes& configuration);

} // namespace sim::drv
