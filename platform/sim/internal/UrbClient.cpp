#include "platform/sim/internal/UrbClient.h"

#include <algorithm>
#include <cstring>

#include "UsbDescriptorWalker.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/PoolMemory.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace sim::drv {

namespace {

constexpr ULONG kUrbTag = SignatureWord("SimU");

struct PoolUrb {
    PURB urb;
    ~PoolUrb() {
        if (urb) {
            ExFreePoolWithTag(urb, kUrbTag);
        }
    }
};

} // namespace

USBD_PIPE_HANDLE SelectedConfiguration::Pipe(UCHAR endpointAddress) const {
    for (const Bytes& record : interfaces) {
        auto* info = reinterpret_cast<const USBD_INTERFACE_INFORMATION*>(record.data());
        for (ULONG i = 0; i < info->NumberOfPipes; ++i) {
            if (info->Pipes[i].EndpointAddress == endpointAddress) {
                return info->Pipes[i].PipeHandle;
            }
        }
    }
    return nullptr;
}

const USBD_INTERFACE_INFORMATION* SelectedConfiguration::Interface(UCHAR number) const {
    for (const Bytes& record : interfaces) {
        auto* info = reinterpret_cast<const USBD_INTERFACE_INFORMATION*>(record.data());
        if (info->InterfaceNumber == number) {
            return info;
        }
    }
    return nullptr;
}

PURB UrbClient::Allocate(USHORT size) {
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kUrbTag));
    if (urb) {
        std::memset(urb, 0, size);
    }
    return urb;
}

NTSTATUS UrbClient::Submit(PURB urb) {
    if (m_deviceHandle) {
        urb->UrbHeader.UsbdDeviceHandle = m_deviceHandle;
    }
    return SendInternalIoctl(m_target, IOCTL_INTERNAL_USB_SUBMIT_URB, urb);
}

NTSTATUS UrbClient::GetDescriptor(USHORT function, UCHAR type, UCHAR index, USHORT languageOrInterface, Bytes& out,
                                  ULONG length) {
    PoolUrb urb{Allocate(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST))};
    auto* buffer = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, length ? length : 1, kUrbTag));
    if (!urb.urb || !buffer) {
        if (buffer) {
            ExFreePoolWithTag(buffer, kUrbTag);
        }
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildGetDescriptorRequest(urb.urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), type, index, languageOrInterface,
                                 buffer, nullptr, length, nullptr);
    urb.urb->UrbHeader.Function = function;
    NTSTATUS status = Submit(urb.urb);
    if (NT_SUCCESS(status)) {
        out.assign(buffer, buffer + urb.urb->UrbControlDescriptorRequest.TransferBufferLength);
    }
    ExFreePoolWithTag(buffer, kUrbTag);
    return status;
}

NTSTATUS UrbClient::DeviceDescriptor(USB_DEVICE_DESCRIPTOR& descriptor) {
    Bytes bytes;
    NTSTATUS status = GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, bytes,
                                    sizeof descriptor);
    if (NT_SUCCESS(status) && bytes.size() < sizeof descriptor) {
        status = STATUS_DEVICE_DATA_ERROR;
    }
    if (NT_SUCCESS(status)) {
        std::memcpy(&descriptor, bytes.data(), sizeof descriptor);
    }
    return status;
}

NTSTATUS UrbClient::ConfigurationDescriptor(Bytes& configuration) {
    Bytes header;
    NTSTATUS status = GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0,
                                    header, sizeof(USB_CONFIGURATION_DESCRIPTOR));
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (header.size() < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        return STATUS_DEVICE_DATA_ERROR;
    }
    USHORT total = ReadU16(&header[2]);
    if (total < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        return STATUS_DEVICE_DATA_ERROR;
    }
    status = GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0,
                           configuration, total);
    if (NT_SUCCESS(status) && configuration.size() < total) {
        status = STATUS_DEVICE_DATA_ERROR;
    }
    return status;
}

NTSTATUS UrbClient::BosDescriptor(Bytes& bos) {
    Bytes header;
    NTSTATUS status = GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_BOS_DESCRIPTOR_TYPE, 0, 0, header,
                                    sizeof(USB_BOS_DESCRIPTOR));
    if (!NT_SUCCESS(status) || header.size() < sizeof(USB_BOS_DESCRIPTOR)) {
        return NT_SUCCESS(status) ? STATUS_DEVICE_DATA_ERROR : status;
    }
    return GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_BOS_DESCRIPTOR_TYPE, 0, 0, bos,
                         ReadU16(&header[2]));
}

NTSTATUS UrbClient::SelectConfiguration(const Bytes& configuration, const std::vector<UCHAR>& numbers,
                                        SelectedConfiguration& selected) {
    std::vector<UCHAR> wanted = numbers.empty() ? InterfaceNumbers(configuration) : numbers;
    std::vector<USBD_INTERFACE_LIST_ENTRY> list;
    for (UCHAR number : wanted) {
        const USB_INTERFACE_DESCRIPTOR* descriptor = FindInterface(configuration, number);
        if (!descriptor) {
            return STATUS_INVALID_PARAMETER;
        }
        list.push_back({const_cast<PUSB_INTERFACE_DESCRIPTOR>(descriptor), nullptr});
    }
    list.push_back({nullptr, nullptr});
    // The request is built over a pool copy (the URB points to it) whose bNumInterfaces counts only the
    // interfaces asked for.
    PoolBuffer copy(configuration.data(), configuration.size());
    if (!copy) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    copy.Data()[4] = static_cast<UCHAR>(wanted.size());
    for (auto& entry : list) {
        if (entry.InterfaceDescriptor) {
            entry.InterfaceDescriptor = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(
                copy.Data() + (reinterpret_cast<const UCHAR*>(entry.InterfaceDescriptor) - configuration.data()));
        }
    }
    auto* descriptor = copy.As<USB_CONFIGURATION_DESCRIPTOR>();
    PURB urb = USBD_CreateConfigurationRequestEx(descriptor, list.data());
    if (!urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS status = Submit(urb);
    if (NT_SUCCESS(status)) {
        selected.handle = urb->UrbSelectConfiguration.ConfigurationHandle;
        selected.interfaces.clear();
        for (auto& entry : list) {
            if (entry.Interface) {
                auto* bytes = reinterpret_cast<const UCHAR*>(entry.Interface);
                selected.interfaces.emplace_back(bytes, bytes + entry.Interface->Length);
            }
        }
    }
    ExFreePool(urb);
    return status;
}

NTSTATUS UrbClient::Unconfigure() {
    PoolUrb urb{Allocate(sizeof(_URB_SELECT_CONFIGURATION))};
    if (!urb.urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildSelectConfigurationRequest(urb.urb, sizeof(_URB_SELECT_CONFIGURATION), nullptr);
    return Submit(urb.urb);
}

NTSTATUS UrbClient::ClassRequest(USHORT function, bool in, UCHAR request, USHORT value, USHORT index, void* buffer,
                                 ULONG* length) {
    PoolUrb urb{Allocate(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST))};
    if (!urb.urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const ULONG size = length ? *length : 0;
    // The data stage goes through a pool buffer of the driver's own, as a real driver's does.
    PoolBuffer data(size ? buffer : nullptr, size);
    if (size && !data) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildVendorRequest(urb.urb, function, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          (in ? USBD_TRANSFER_DIRECTION_IN : USBD_TRANSFER_DIRECTION_OUT) | USBD_SHORT_TRANSFER_OK, 0,
                          request, value, index, size ? data.Data() : nullptr, nullptr, size, nullptr);
    NTSTATUS status = Submit(urb.urb);
    const ULONG moved = NT_SUCCESS(status) ? urb.urb->UrbControlVendorClassRequest.TransferBufferLength : 0;
    if (in && moved) {
        std::memcpy(buffer, data.Data(), std::min(moved, size));
    }
    if (length) {
        *length = moved;
    }
    return status;
}

NTSTATUS UrbClient::FeatureRequest(USHORT function, USHORT selector, USHORT index) {
    PoolUrb urb{Allocate(sizeof(_URB_CONTROL_FEATURE_REQUEST))};
    if (!urb.urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildFeatureRequest(urb.urb, function, selector, index, nullptr);
    return Submit(urb.urb);
}

NTSTATUS UrbClient::GetStatus(USHORT function, USHORT index, USHORT& value) {
    PoolUrb urb{Allocate(sizeof(_URB_CONTROL_GET_STATUS_REQUEST))};
    auto* buffer = static_cast<USHORT*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(USHORT), kUrbTag));
    if (!urb.urb || !buffer) {
        if (buffer) {
            ExFreePoolWithTag(buffer, kUrbTag);
        }
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildGetStatusRequest(urb.urb, function, index, buffer, nullptr, nullptr);
    NTSTATUS status = Submit(urb.urb);
    value = *buffer;
    ExFreePoolWithTag(buffer, kUrbTag);
    return status;
}

NTSTATUS UrbClient::Transfer(USBD_PIPE_HANDLE pipe, bool in, void* buffer, ULONG* length) {
    PoolUrb urb{Allocate(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER))};
    if (!urb.urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const ULONG size = *length;
    PoolBuffer data(in ? nullptr : buffer, size);
    if (size && !data) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildInterruptOrBulkTransferRequest(
        urb.urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe, size ? data.Data() : nullptr, nullptr, size,
        (in ? USBD_TRANSFER_DIRECTION_IN : USBD_TRANSFER_DIRECTION_OUT) | USBD_SHORT_TRANSFER_OK, nullptr);
    NTSTATUS status = Submit(urb.urb);
    *length = NT_SUCCESS(status) ? std::min(urb.urb->UrbBulkOrInterruptTransfer.TransferBufferLength, size) : 0;
    if (in && *length) {
        std::memcpy(buffer, data.Data(), *length);
    }
    return status;
}

const USB_INTERFACE_DESCRIPTOR* FindInterface(const Bytes& configuration, UCHAR number, UCHAR alternate) {
    UsbDescriptorWalker walker(configuration.data(), static_cast<ULONG>(configuration.size()));
    UsbDescriptorView view;
    while (walker.Next(view)) {
        if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= sizeof(USB_INTERFACE_DESCRIPTOR) &&
            view.Data[2] == number && view.Data[3] == alternate) {
            return reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(view.Data);
        }
    }
    return nullptr;
}

std::vector<UCHAR> InterfaceNumbers(const Bytes& configuration) {
    std::vector<UCHAR> numbers;
    UsbDescriptorWalker walker(configuration.data(), static_cast<ULONG>(configuration.size()));
    UsbDescriptorView view;
    while (walker.Next(view)) {
        if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= sizeof(USB_INTERFACE_DESCRIPTOR) &&
            view.Data[3] == 0) {
            numbers.push_back(view.Data[2]);
        }
    }
    return numbers;
}

} // namespace sim::drv
