#include "usbdlib.h"

#include "NtPool.h"
#include "UsbDescriptorWalker.h"

namespace {

// Offset of position within [base, base + size], or false when it lies outside.
bool OffsetWithin(const void* base, ULONG size, const void* position, ULONG& offset) {
    const auto b = reinterpret_cast<ULONG_PTR>(base);
    const auto p = reinterpret_cast<ULONG_PTR>(position);
    if (p < b || p - b > size)
        return false;
    offset = static_cast<ULONG>(p - b);
    return true;
}

// Pool tag of the requests built here: "USBD" in memory order.
constexpr ULONG kUsbdTag = 'U' | 'S' << 8 | 'B' << 16 | 'D' << 24;

bool Matches(LONG wanted, UCHAR value) {
    return wanted == -1 || wanted == value;
}

} // namespace

PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID DescriptorBuffer, ULONG TotalLength, PVOID StartPosition,
                                             LONG DescriptorType) {
    ULONG offset;
    if (DescriptorBuffer == nullptr || !OffsetWithin(DescriptorBuffer, TotalLength, StartPosition, offset))
        return nullptr;
    UsbDescriptorWalker walker(DescriptorBuffer, TotalLength, offset);
    UsbDescriptorView d;
    while (walker.Next(d)) {
        if (d.Type == DescriptorType)
            return reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(const_cast<UCHAR*>(d.Data));
    }
    return nullptr;
}

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                              PVOID StartPosition, LONG InterfaceNumber,
                                                              LONG AlternateSetting, LONG InterfaceClass,
                                                              LONG InterfaceSubClass, LONG InterfaceProtocol) {
    if (ConfigurationDescriptor == nullptr)
        return nullptr;
    const ULONG total = ConfigurationDescriptor->wTotalLength;
    ULONG offset;
    if (!OffsetWithin(ConfigurationDescriptor, total, StartPosition, offset))
        return nullptr;
    UsbDescriptorWalker walker(ConfigurationDescriptor, total, offset);
    UsbDescriptorView d;
    while (walker.Next(d)) {
        if (d.Type != USB_INTERFACE_DESCRIPTOR_TYPE || d.Length < sizeof(USB_INTERFACE_DESCRIPTOR))
            continue;
        auto* in = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(const_cast<UCHAR*>(d.Data));
        if (Matches(InterfaceNumber, in->bInterfaceNumber) && Matches(AlternateSetting, in->bAlternateSetting) &&
            Matches(InterfaceClass, in->bInterfaceClass) && Matches(InterfaceSubClass, in->bInterfaceSubClass) &&
            Matches(InterfaceProtocol, in->bInterfaceProtocol))
            return in;
    }
    return nullptr;
}

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptor(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                            UCHAR InterfaceNumber, UCHAR AlternateSetting) {
    return USBD_ParseConfigurationDescriptorEx(ConfigurationDescriptor, ConfigurationDescriptor, InterfaceNumber,
                                               AlternateSetting, -1, -1, -1);
}

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList) {
    if (ConfigurationDescriptor == nullptr || InterfaceList == nullptr)
        return nullptr;
    SIZE_T interfaces = 0;
    SIZE_T pipes = 0;
    for (auto* entry = InterfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        ++interfaces;
        pipes += entry->InterfaceDescriptor->bNumEndpoints;
    }
    const SIZE_T size = GET_SELECT_CONFIGURATION_REQUEST_SIZE(interfaces, pipes);
    if (size > 0xFFFF)
        return nullptr;
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kUsbdTag));
    if (urb == nullptr)
        return nullptr;
    RtlZeroMemory(urb, size);

    auto* info = &urb->UrbSelectConfiguration.Interface;
    for (auto* entry = InterfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        const PUSB_INTERFACE_DESCRIPTOR in = entry->InterfaceDescriptor;
        info->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(in->bNumEndpoints));
        info->InterfaceNumber = in->bInterfaceNumber;
        info->AlternateSetting = in->bAlternateSetting;
        info->NumberOfPipes = in->bNumEndpoints;
        for (ULONG i = 0; i < info->NumberOfPipes; ++i)
            info->Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
        entry->Interface = info;
        info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(info) + info->Length);
    }
    UsbBuildSelectConfigurationRequest(urb, static_cast<USHORT>(size), ConfigurationDescriptor);
    return urb;
}
