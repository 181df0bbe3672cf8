// GET_DEVSTK_INFO: what the driver knows of one device stack, by selector: its cached device, configuration
// or hub descriptor (256-258), or a hub's answer about one of its ports, fetched live (259, 260). The
// request block comes in and goes back in the same buffer: the 8-byte head, then the data area.
//
// Every copy stays inside the data area the caller supplied: at most the descriptor's own length, the bytes
// actually cached and the buffer less the head.
//
// Locks: the stack's cache lock (DescriptorCache.h) while a descriptor is copied; the stack's device-list
// lock while a live query picks its device object.
#include "common/ByteReader.h"
#include "common/DevstkInfo.h"
#include "driver/control/ControlHandlers.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "driver/stacktree/StackInfo.h"
#include "usbioctl.h"

namespace {

constexpr ULONG MIN(ULONG a, ULONG b) {
    return a < b ? a : b;
}

// Copies the stack's cached descriptor of `kind` into the data area and returns the bytes the reply
// carries: bLength, or for a configuration descriptor wTotalLength when `dataLength` allows it, cut to
// what is cached and to the data area. STATUS_UNSUCCESSFUL when nothing is cached.
NTSTATUS DescriptorReply(PDEVICE_STACK stack, DESCRIPTOR_CACHE_KIND kind, PUCHAR data, ULONG capacity, ULONG dataLength,
                         PULONG replied) {
    BOOLEAN cached = FALSE;
    const ULONG copied = DescriptorCacheCopy(stack, kind, data, capacity, &cached);
    if (!cached) {
        return STATUS_UNSUCCESSFUL;
    }
    ULONG declared = copied >= 1 ? data[0] : 0; // bLength
    if (kind == DescriptorCacheConfiguration && copied >= 4) {
        const ULONG total = tdl::LoadLe<USHORT>(data + 2); // wTotalLength
        if (dataLength >= total) {
            declared = total;
        }
    }
    *replied = MIN(declared, copied);
    return STATUS_SUCCESS;
}

NTSTATUS StackInfoAnswer(PDEVICE_STACK stack, USHORT selector, PUCHAR buffer, ULONG length, PULONG_PTR information) {
    PUCHAR data = buffer + DEVSTK_INFO_HEADER_SIZE;
    const ULONG capacity = length - DEVSTK_INFO_HEADER_SIZE;
    const ULONG dataLength = tdl::LoadLe<ULONG>(buffer + offsetof(DEVSTK_INFO_REQUEST, DataLength));
    ULONG replied = 0;
    NTSTATUS status;
    switch (selector) {
    case DEVSTK_DEVICE_DESCRIPTOR:
        status = DescriptorReply(stack, DescriptorCacheDevice, data, capacity, dataLength, &replied);
        break;
    case DEVSTK_CONFIG_DESCRIPTOR:
        status = DescriptorReply(stack, DescriptorCacheConfiguration, data, capacity, dataLength, &replied);
        break;
    case DEVSTK_HUB_DESCRIPTOR:
        status = DescriptorReply(stack, DescriptorCacheHub, data, capacity, dataLength, &replied);
        break;
    case DEVSTK_CONNECTION_INFORMATION:
        replied = DEVSTK_CONNECTION_INFORMATION_SIZE;
        status = StackQueryLive(stack, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, data, replied, TRUE);
        break;
    case DEVSTK_DRIVERKEY_NAME:
        replied = dataLength;
        status = StackQueryLive(stack, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, data, replied, FALSE);
        break;
    default: return STATUS_INVALID_PARAMETER;
    }
    if (NT_SUCCESS(status)) {
        *information = DEVSTK_INFO_HEADER_SIZE + replied;
    }
    return status;
}

// The smallest buffer each selector takes (STATUS_UNSUCCESSFUL below it); 0 for an unknown selector.
ULONG SelectorMinimum(USHORT selector) {
    switch (selector) {
    case DEVSTK_DEVICE_DESCRIPTOR: return DEVSTK_DEVICE_DESCRIPTOR_MIN;
    case DEVSTK_CONFIG_DESCRIPTOR: return DEVSTK_CONFIG_DESCRIPTOR_MIN;
    case DEVSTK_HUB_DESCRIPTOR: return DEVSTK_HUB_DESCRIPTOR_MIN;
    case DEVSTK_CONNECTION_INFORMATION: return DEVSTK_CONNECTION_INFORMATION_MIN;
    case DEVSTK_DRIVERKEY_NAME: return DEVSTK_DRIVERKEY_NAME_MIN;
    }
    return 0;
}

} // namespace

NTSTATUS ControlGetDevstkInfo(PCONTROL_REQUEST Request) {
    auto buffer = static_cast<PUCHAR>(Request->Buffer);
    const USHORT stackId = tdl::LoadLe<USHORT>(buffer + offsetof(DEVSTK_INFO_REQUEST, StackID));
    const USHORT selector = tdl::LoadLe<USHORT>(buffer + offsetof(DEVSTK_INFO_REQUEST, Selector));
    const ULONG minimum = SelectorMinimum(selector);
    if (minimum == 0) {
        return STATUS_INVALID_PARAMETER;
    }
    if (Request->Length < minimum) {
        return STATUS_UNSUCCESSFUL;
    }
    if (selector == DEVSTK_DRIVERKEY_NAME && tdl::LoadLe<ULONG>(buffer + offsetof(DEVSTK_INFO_REQUEST, DataLength)) >
                                                 Request->Length - DEVSTK_INFO_HEADER_SIZE) {
        return STATUS_INVALID_PARAMETER; // the length passed down must fit the data area
    }
    PDEVICE_STACK stack = FindStackById(stackId);
    if (stack == nullptr) {
        return STATUS_UNSUCCESSFUL;
    }
    const NTSTATUS status = StackInfoAnswer(stack, selector, buffer, Request->Length, &Request->Information);
    StackRelease(stack);
    return status;
}
