#include "usbdlib.h"

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

bool Matches(LONG wanted, UCHAR value) {
    return wanted == -1 || wanted == value;
}

}  // namespace

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
