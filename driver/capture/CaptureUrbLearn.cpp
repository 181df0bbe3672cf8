// What the device-stack tree learns from completed URBs (CaptureUrb.h): the device, BOS and hub descriptors
// a stack's device returned, and the configuration and interfaces selected for it.
//
// Locks: none of its own. The descriptor cache takes the stack's interface lock (and under it the pipe
// table's, DescriptorCache.h); the device-handle lookup takes the handle table's lock alone. Called with no
// lock held, the stack referenced by the caller, up to DISPATCH_LEVEL.
#include "driver/capture/CaptureUrb.h"

#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

constexpr UCHAR SETUP_STANDARD_IN = 0x80; // bmRequestType: standard request, device recipient, IN
constexpr UCHAR SETUP_CLASS_IN = 0xA0;    // bmRequestType: class request, device recipient, IN

// What a completed URB fetched, as far as the caches care.
enum class Taught : UCHAR { Nothing, Device, Bos, Hub, Configuration, Interface };

Taught StandardDescriptor(UCHAR type) {
    switch (type) {
    case USB_DEVICE_DESCRIPTOR_TYPE: return Taught::Device;
    case USB_BOS_DESCRIPTOR_TYPE: return Taught::Bos;
    }
    return Taught::Nothing;
}

bool IsHubDescriptor(UCHAR type) {
    return type == USB_20_HUB_DESCRIPTOR_TYPE || type == USB_30_HUB_DESCRIPTOR_TYPE;
}

// What a URB of this function teaches a stack that is (or, not knowing, may be) a hub's. The URB's fields for
// its function are readable.
Taught WhatTaught(const URB* urb, ULONG code, bool hub) {
    switch (code) {
    case URB_FUNCTION_SELECT_CONFIGURATION: return Taught::Configuration;
    case URB_FUNCTION_SELECT_INTERFACE: return Taught::Interface;
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
        return StandardDescriptor(urb->UrbControlDescriptorRequest.DescriptorType);
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX: {
        // Setup packet: bmRequestType, bRequest, wValue (descriptor index, then type), wIndex, wLength.
        const UCHAR* setup = urb->UrbControlTransfer.SetupPacket;
        if (setup[1] != USB_REQUEST_GET_DESCRIPTOR) {
            return Taught::Nothing;
        }
        if (setup[0] == SETUP_STANDARD_IN) {
            return StandardDescriptor(setup[3]);
        }
        return hub && setup[0] == SETUP_CLASS_IN && IsHubDescriptor(setup[3]) ? Taught::Hub : Taught::Nothing;
    }
    case URB_FUNCTION_CLASS_DEVICE: {
        const _URB_CONTROL_VENDOR_OR_CLASS_REQUEST& request = urb->UrbControlVendorClassRequest;
        return hub && request.Request == USB_REQUEST_GET_DESCRIPTOR &&
                       (request.TransferFlags & USBD_TRANSFER_DIRECTION_IN) &&
                       IsHubDescriptor(static_cast<UCHAR>(request.Value >> 8))
                   ? Taught::Hub
                   : Taught::Nothing;
    }
    }
    return Taught::Nothing;
}

bool IsHubStack(const DEVICE_STACK* stack) {
    return stack != nullptr && stack->DeviceClass == USB_DEVICE_CLASS_HUB;
}

} // namespace

BOOLEAN CaptureUrbMayTeachFunction(ULONG Code) {
    switch (Code) {
    case URB_FUNCTION_SELECT_CONFIGURATION:
    case URB_FUNCTION_SELECT_INTERFACE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX:
    case URB_FUNCTION_CLASS_DEVICE: return TRUE;
    }
    return FALSE;
}

BOOLEAN CaptureUrbMayTeach(const URB* Urb, ULONG Code) {
    return WhatTaught(Urb, Code, true) != Taught::Nothing;
}

BOOLEAN CaptureUrbTeaches(const URB_RECORD* Record, const DEVICE_STACK* Stack) {
    return Stack != nullptr && WhatTaught(Record->Urb, Record->Code, IsHubStack(Stack)) != Taught::Nothing;
}

VOID CaptureUrbLearn(const URB_RECORD* Record, PDEVICE_STACK Stack) {
    const PURB urb = Record->Urb;
    switch (WhatTaught(Record->Urb, Record->Code, IsHubStack(Stack))) {
    case Taught::Nothing: break;
    case Taught::Device:
        DescriptorCacheDeviceCompleted(Stack, Record->TransferBuffer, Record->TransferBufferMDL,
                                       Record->TransferBufferLength);
        break;
    case Taught::Bos:
        DescriptorCacheBosCompleted(Stack, Record->TransferBuffer, Record->TransferBufferMDL,
                                    Record->TransferBufferLength);
        break;
    case Taught::Hub:
        DescriptorCacheHubCompleted(Stack, Record->TransferBuffer, Record->TransferBufferMDL,
                                    Record->TransferBufferLength);
        break;
    case Taught::Configuration: StackSelectConfigurationCompleted(Stack, &urb->UrbSelectConfiguration); break;
    case Taught::Interface: StackSelectInterfaceCompleted(Stack, &urb->UrbSelectInterface); break;
    }
}

BOOLEAN CaptureUrbIsForStack(const URB_RECORD* Record, PDEVICE_STACK Stack) {
    const auto handle = reinterpret_cast<ULONG64>(Record->Urb->UrbHeader.UsbdDeviceHandle);
    if (Stack == nullptr) {
        return FALSE;
    }
    if (handle == 0 || handle == StackDeviceHandle(Stack)) {
        return TRUE;
    }
    PDEVICE_STACK owner = DeviceHandleTableLookup(handle, nullptr);
    if (owner == nullptr) {
        return FALSE; // the handle of a device the tree has not tied to a stack yet
    }
    const BOOLEAN same = owner == Stack;
    StackRelease(owner);
    return same;
}
