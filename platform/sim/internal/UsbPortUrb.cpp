// URB processing of the port driver: configuration and interface selection with their handles, control
// transfers on the default pipe, and bulk and interrupt transfers, which wait on their pipe while the device
// NAKs them.
#include <algorithm>
#include <cstring>

#include "UsbDescriptorWalker.h"
#include "platform/sim/internal/UrbClient.h"
#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

namespace {

constexpr ULONG kMaximumTransferSize = 0x400000; // what the simulated controllers move in one transfer

// Where a waiting transfer keeps its pipe and its handle (the I/O manager's slots are the owner's to use).
Pipe*& PipeOf(PIRP irp) {
    return reinterpret_cast<Pipe*&>(irp->Tail.Overlay.DriverContext[2]);
}
DeviceHandle*& HandleOf(PIRP irp) {
    return reinterpret_cast<DeviceHandle*&>(irp->Tail.Overlay.DriverContext[3]);
}

PURB UrbOf(PIRP irp) {
    return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

// The transfer buffer of a transfer URB: its own pointer, else its memory descriptor list mapped.
UCHAR* BufferOf(PVOID buffer, PMDL mdl) {
    if (buffer) {
        return static_cast<UCHAR*>(buffer);
    }
    return mdl ? static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority)) : nullptr;
}

void CancelTransfer(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Pipe* pipe = PipeOf(irp);
    HostController* controller = HandleOf(irp)->controller;
    bool found = false;
    {
        std::lock_guard guard(controller->m_lock);
        auto it = std::find(pipe->waiting.begin(), pipe->waiting.end(), irp);
        if (it != pipe->waiting.end()) {
            pipe->waiting.erase(it);
            found = true;
        }
    }
    if (found) {
        FinishTransfer(irp, TransferResult::Error(USBD_STATUS_CANCELED));
    }
}

TransferResult Attempt(Pipe* pipe, PIRP irp) {
    if (!pipe->owner->device->Reachable()) {
        return TransferResult::Error(USBD_STATUS_DEV_NOT_RESPONDING); // unplugged, and not removed yet
    }
    PURB urb = UrbOf(irp);
    auto& transfer = urb->UrbBulkOrInterruptTransfer;
    UCHAR* buffer = BufferOf(transfer.TransferBuffer, transfer.TransferBufferMDL);
    std::span<UCHAR> data(buffer, buffer ? transfer.TransferBufferLength : 0);
    return pipe->owner->device->Transfer(pipe->endpoint.bEndpointAddress, data);
}

// The setup packet of the control-transfer URB functions that describe their request by fields.
struct ControlRequest {
    SetupPacket setup;
    UCHAR* buffer = nullptr;
    ULONG* length = nullptr; // the URB's TransferBufferLength
    bool valid = true;
    bool known = true;  // a control function at all
    bool stall = false; // the device cannot take it: answered as a stall
};

UCHAR Recipient(USHORT function) {
    switch (function) {
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE:
    case URB_FUNCTION_SET_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_INTERFACE:
    case URB_FUNCTION_VENDOR_INTERFACE:
    case URB_FUNCTION_CLASS_INTERFACE:
    case URB_FUNCTION_GET_INTERFACE: return BMREQUEST_TO_INTERFACE;
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT:
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_GET_STATUS_FROM_ENDPOINT:
    case URB_FUNCTION_VENDOR_ENDPOINT:
    case URB_FUNCTION_CLASS_ENDPOINT: return BMREQUEST_TO_ENDPOINT;
    case URB_FUNCTION_SET_FEATURE_TO_OTHER:
    case URB_FUNCTION_CLEAR_FEATURE_TO_OTHER:
    case URB_FUNCTION_GET_STATUS_FROM_OTHER:
    case URB_FUNCTION_VENDOR_OTHER:
    case URB_FUNCTION_CLASS_OTHER: return BMREQUEST_TO_OTHER;
    default: return BMREQUEST_TO_DEVICE;
    }
}

UCHAR RequestType(bool in, UCHAR type, UCHAR recipient) {
    return static_cast<UCHAR>((in ? 0x80 : 0) | (type << 5) | recipient);
}

ControlRequest DescribeControl(PURB urb, USHORT function, UCHAR msVendorCode) {
    ControlRequest request;
    const USHORT length = urb->UrbHeader.Length;
    const UCHAR recipient = Recipient(function);
    auto need = [&](size_t size) {
        if (length < size) {
            request.valid = false;
        }
        return request.valid;
    };
    switch (function) {
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX: {
        if (!need(function == URB_FUNCTION_CONTROL_TRANSFER ? sizeof(_URB_CONTROL_TRANSFER)
                                                            : sizeof(_URB_CONTROL_TRANSFER_EX))) {
            break;
        }
        auto& r = urb->UrbControlTransfer;
        request.setup = SetupPacket::FromBytes(
            function == URB_FUNCTION_CONTROL_TRANSFER ? r.SetupPacket : urb->UrbControlTransferEx.SetupPacket);
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT: {
        if (!need(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlDescriptorRequest;
        const bool get = function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE ||
                         function == URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE ||
                         function == URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT;
        request.setup = {RequestType(get, BMREQUEST_STANDARD, recipient),
                         static_cast<UCHAR>(get ? USB_REQUEST_GET_DESCRIPTOR : USB_REQUEST_SET_DESCRIPTOR),
                         static_cast<USHORT>(r.DescriptorType << 8 | r.Index), r.LanguageId,
                         static_cast<USHORT>(std::min<ULONG>(r.TransferBufferLength, 0xFFFF))};
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_SET_FEATURE_TO_DEVICE:
    case URB_FUNCTION_SET_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_SET_FEATURE_TO_OTHER:
    case URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_CLEAR_FEATURE_TO_OTHER: {
        if (!need(sizeof(_URB_CONTROL_FEATURE_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlFeatureRequest;
        const bool set =
            function == URB_FUNCTION_SET_FEATURE_TO_DEVICE || function == URB_FUNCTION_SET_FEATURE_TO_INTERFACE ||
            function == URB_FUNCTION_SET_FEATURE_TO_ENDPOINT || function == URB_FUNCTION_SET_FEATURE_TO_OTHER;
        request.setup = {RequestType(false, BMREQUEST_STANDARD, recipient),
                         static_cast<UCHAR>(set ? USB_REQUEST_SET_FEATURE : USB_REQUEST_CLEAR_FEATURE),
                         r.FeatureSelector, r.Index, 0};
        break;
    }
    case URB_FUNCTION_GET_STATUS_FROM_DEVICE:
    case URB_FUNCTION_GET_STATUS_FROM_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_ENDPOINT:
    case URB_FUNCTION_GET_STATUS_FROM_OTHER: {
        if (!need(sizeof(_URB_CONTROL_GET_STATUS_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlGetStatusRequest;
        request.setup = {RequestType(true, BMREQUEST_STANDARD, recipient), USB_REQUEST_GET_STATUS, 0, r.Index,
                         static_cast<USHORT>(std::min<ULONG>(r.TransferBufferLength, 0xFFFF))};
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_VENDOR_DEVICE:
    case URB_FUNCTION_VENDOR_INTERFACE:
    case URB_FUNCTION_VENDOR_ENDPOINT:
    case URB_FUNCTION_VENDOR_OTHER:
    case URB_FUNCTION_CLASS_DEVICE:
    case URB_FUNCTION_CLASS_INTERFACE:
    case URB_FUNCTION_CLASS_ENDPOINT:
    case URB_FUNCTION_CLASS_OTHER: {
        if (!need(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlVendorClassRequest;
        const bool vendor = function == URB_FUNCTION_VENDOR_DEVICE || function == URB_FUNCTION_VENDOR_INTERFACE ||
                            function == URB_FUNCTION_VENDOR_ENDPOINT || function == URB_FUNCTION_VENDOR_OTHER;
        const bool in = (r.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
        request.setup = {static_cast<UCHAR>(RequestType(in, vendor ? BMREQUEST_VENDOR : BMREQUEST_CLASS, recipient) |
                                            r.RequestTypeReservedBits),
                         r.Request, r.Value, r.Index,
                         static_cast<USHORT>(std::min<ULONG>(r.TransferBufferLength, 0xFFFF))};
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_GET_CONFIGURATION: {
        if (!need(sizeof(_URB_CONTROL_GET_CONFIGURATION_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlGetConfigurationRequest;
        request.setup = {0x80, USB_REQUEST_GET_CONFIGURATION, 0, 0, 1};
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_GET_INTERFACE: {
        if (!need(sizeof(_URB_CONTROL_GET_INTERFACE_REQUEST))) {
            break;
        }
        auto& r = urb->UrbControlGetInterfaceRequest;
        request.setup = {0x81, USB_REQUEST_GET_INTERFACE, 0, r.Interface, 1};
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    case URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR: {
        if (!need(sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST))) {
            break;
        }
        // A vendor request with the vendor code the device gave in its string 0xEE (none: the request stalls):
        // the interface and page in wValue, the feature descriptor's index in wIndex.
        auto& r = urb->UrbOSFeatureDescriptorRequest;
        const UCHAR vendorRecipient =
            r.Recipient == BMREQUEST_TO_INTERFACE ? BMREQUEST_TO_INTERFACE : BMREQUEST_TO_DEVICE;
        request.setup = {RequestType(true, BMREQUEST_VENDOR, vendorRecipient), msVendorCode,
                         static_cast<USHORT>(r.InterfaceNumber << 8 | r.MS_PageIndex), r.MS_FeatureDescriptorIndex,
                         static_cast<USHORT>(std::min<ULONG>(r.TransferBufferLength, 0xFFFF))};
        request.valid = msVendorCode != 0;
        request.stall = msVendorCode == 0;
        request.buffer = BufferOf(r.TransferBuffer, r.TransferBufferMDL);
        request.length = &r.TransferBufferLength;
        break;
    }
    default:
        request.valid = false;
        request.known = false;
        break;
    }
    return request;
}

// Every standard, class and vendor request URB is carried out as the control transfer its fields describe, and
// completes as one, as Windows' port drivers complete it: the function is CONTROL_TRANSFER, the setup packet
// stands where the request's own fields stood (the structures overlay each other there), and the flags say
// the direction and the default pipe. A client reads its results where it put its fields.
static_assert(offsetof(_URB_CONTROL_TRANSFER, SetupPacket) ==
                  offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, RequestTypeReservedBits) &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) == offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, Reserved1) &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) == offsetof(_URB_CONTROL_FEATURE_REQUEST, Reserved0) &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) == offsetof(_URB_CONTROL_GET_STATUS_REQUEST, Reserved1) &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) == offsetof(_URB_CONTROL_GET_INTERFACE_REQUEST, Reserved1) &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) ==
                  offsetof(_URB_CONTROL_GET_CONFIGURATION_REQUEST, Reserved1) &&
              offsetof(_URB_CONTROL_TRANSFER, TransferFlags) ==
                  offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferFlags) &&
              offsetof(_URB_CONTROL_TRANSFER, TransferBufferLength) ==
                  offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferLength) &&
              sizeof(_URB_CONTROL_TRANSFER) == sizeof(_URB_CONTROL_FEATURE_REQUEST) &&
              sizeof(_URB_CONTROL_TRANSFER) == sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST));

void CompleteAsControlTransfer(PURB urb, USHORT function, const ControlRequest& request) {
    if (function == URB_FUNCTION_CONTROL_TRANSFER || function == URB_FUNCTION_CONTROL_TRANSFER_EX) {
        return;
    }
    auto& transfer = urb->UrbControlTransfer;
    const bool vendorOrClass = (function >= URB_FUNCTION_VENDOR_DEVICE && function <= URB_FUNCTION_CLASS_ENDPOINT) ||
                               function == URB_FUNCTION_CLASS_OTHER || function == URB_FUNCTION_VENDOR_OTHER;
    ULONG flags = vendorOrClass ? transfer.TransferFlags & USBD_SHORT_TRANSFER_OK : 0;
    if (request.setup.In()) {
        flags |= USBD_TRANSFER_DIRECTION_IN;
    }
    transfer.TransferFlags = flags | USBD_DEFAULT_PIPE_TRANSFER;
    transfer.PipeHandle = nullptr;
    if (!request.length) {
        // A request without data (the feature requests) has reserved fields where the buffer stands.
        transfer.TransferBufferLength = 0;
        transfer.TransferBuffer = nullptr;
        transfer.TransferBufferMDL = nullptr;
    }
    request.setup.ToBytes(transfer.SetupPacket);
    urb->UrbHeader.Function = static_cast<USHORT>((urb->UrbHeader.Function & URB_FUNCTION_SUBMIT_SYNCHRONOUS) |
                                                  URB_FUNCTION_CONTROL_TRANSFER);
}

// The endpoints an interface setting lists, in order.
std::vector<USB_ENDPOINT_DESCRIPTOR> EndpointsOf(const Bytes& configuration, UCHAR number, UCHAR alternate) {
    std::vector<USB_ENDPOINT_DESCRIPTOR> endpoints;
    UsbDescriptorWalker walker(configuration.data(), static_cast<ULONG>(configuration.size()));
    UsbDescriptorView view;
    bool inside = false;
    while (walker.Next(view)) {
        if (view.Type == USB_INTERFACE_DESCRIPTOR_TYPE && view.Length >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
            inside = view.Data[2] == number && view.Data[3] == alternate;
        } else if (inside && view.Type == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                   view.Length >= sizeof(USB_ENDPOINT_DESCRIPTOR)) {
            USB_ENDPOINT_DESCRIPTOR endpoint;
            std::memcpy(&endpoint, view.Data, sizeof endpoint);
            endpoints.push_back(endpoint);
        }
    }
    return endpoints;
}

} // namespace

namespace {
std::atomic<uint64_t> g_urbsReceived{0};
} // namespace

void FinishTransfer(PIRP irp, TransferResult result) {
    PURB urb = UrbOf(irp);
    DeviceHandle* handle = HandleOf(irp);
    HostController* controller = handle->controller;
    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = USBD_SUCCESS(result.status) ? result.length : 0;
    urb->UrbHeader.Status = result.status;
    if (USBD_SUCCESS(result.status)) {
        controller->m_bytesTransferred += result.length;
        ++controller->m_transfers;
    } else if (result.status == USBD_STATUS_STALL_PID) {
        ++controller->m_stallCount;
    }
    NTSTATUS status = StatusFromUsbd(result.status);
    controller->Release(handle);
    // Transfers complete as a controller's interrupt completes them: at DISPATCH_LEVEL.
    KIRQL irql = KeRaiseIrqlToDpcLevel();
    Complete(irp, status, 0);
    KeLowerIrql(irql);
}

uint64_t UrbsReceived() {
    return g_urbsReceived.load();
}

ULONG HostController::CurrentFrame() {
    return static_cast<ULONG>(KeQueryInterruptTime() / 10000);
}

NTSTATUS HostController::SubmitUrb(PIRP irp, PURB urb, DeviceHandle* handle) {
    ++g_urbsReceived;
    handle->device->CountUrb();
    if (urb->UrbHeader.Length < sizeof(_URB_HEADER)) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    const USHORT function = urb->UrbHeader.Function & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS;
    urb->UrbHeader.UsbdDeviceHandle = handle;
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    if (!handle->device->Reachable() && function != URB_FUNCTION_ABORT_PIPE) {
        // Unplugged and not removed yet: the device answers nothing any more.
        urb->UrbHeader.Status = USBD_STATUS_DEV_NOT_RESPONDING;
        return Complete(irp, StatusFromUsbd(USBD_STATUS_DEV_NOT_RESPONDING));
    }
    switch (function) {
    case URB_FUNCTION_SELECT_CONFIGURATION: status = SelectConfiguration(urb, handle); break;
    case URB_FUNCTION_SELECT_INTERFACE: status = SelectInterface(urb, handle); break;
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return QueueTransfer(irp, urb, handle);
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL: {
        Pipe* pipe = urb->UrbHeader.Length >= sizeof(_URB_PIPE_REQUEST)
                         ? FindPipe(handle, urb->UrbPipeRequest.PipeHandle)
                         : nullptr;
        if (!pipe) {
            status = USBD_STATUS_INVALID_PIPE_HANDLE;
        } else if (function == URB_FUNCTION_ABORT_PIPE) {
            AbortPipes(handle, pipe);
        } else if (function != URB_FUNCTION_SYNC_RESET_PIPE) {
            SetupPacket clear{0x02, USB_REQUEST_CLEAR_FEATURE, USB_FEATURE_ENDPOINT_STALL,
                              pipe->endpoint.bEndpointAddress, 0};
            handle->device->Control(clear, {});
        }
        break;
    }
    case URB_FUNCTION_ISOCH_TRANSFER: return Isochronous(irp, urb, handle);
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER:
    case URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_GET_FRAME_LENGTH:
    case URB_FUNCTION_SET_FRAME_LENGTH: status = FrameRequest(urb, function, handle); break;
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY: status = PipePolicy(urb, function, handle); break;
    case URB_FUNCTION_OPEN_ENDPOINT:
    case URB_FUNCTION_CLOSE_ENDPOINT:
    case URB_FUNCTION_GET_ENDPOINT_STATE: status = EndpointRequest(urb, function, handle); break;
    case URB_FUNCTION_ISOCH_TRANSFER_USING_CHAINED_MDL:
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER_USING_CHAINED_MDL:
    case URB_FUNCTION_OPEN_STATIC_STREAMS:
    case URB_FUNCTION_CLOSE_STATIC_STREAMS:
    case URB_FUNCTION_GET_ISOCH_PIPE_TRANSFER_PATH_DELAYS:
        status = USBD_STATUS_NOT_SUPPORTED; // the simulated controllers have no chained MDLs and no streams
        break;
    default: return Control(irp, urb, handle);
    }
    urb->UrbHeader.Status = status;
    return Complete(irp, StatusFromUsbd(status));
}

NTSTATUS HostController::Control(PIRP irp, PURB urb, DeviceHandle* handle) {
    const USHORT function = urb->UrbHeader.Function & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS;
    ControlRequest request = DescribeControl(urb, function, handle->msVendorCode);
    USBD_STATUS status;
    ULONG moved = 0; // bytes of the data stage, for its time on the bus
    if (request.stall) {
        status = USBD_STATUS_STALL_PID;
        ++m_stallCount;
    } else if (!request.valid) {
        // A control function whose URB is too short, or no function at all.
        status = request.known ? USBD_STATUS_INVALID_PARAMETER : USBD_STATUS_INVALID_URB_FUNCTION;
    } else {
        ULONG length = request.length ? *request.length : 0;
        if (length && !request.buffer) {
            status = USBD_STATUS_INVALID_PARAMETER;
        } else {
            std::span<UCHAR> data(request.buffer, request.buffer ? std::min<ULONG>(length, request.setup.wLength) : 0);
            TransferResult result = handle->device->Control(request.setup, data);
            if (result.nak) {
                result = TransferResult::Error(USBD_STATUS_TIMEOUT);
            }
            if (request.length) {
                *request.length = USBD_SUCCESS(result.status) ? result.length : 0;
            }
            status = result.status;
            if (USBD_SUCCESS(status)) {
                m_bytesTransferred += result.length;
                ++m_transfers;
                moved = result.length;
            } else if (status == USBD_STATUS_STALL_PID) {
                ++m_stallCount;
            }
        }
    }
    if (request.known && (request.valid || request.stall)) {
        CompleteAsControlTransfer(urb, function, request);
    }
    urb->UrbHeader.Status = status;
    // A transfer the device carried out ends once its stages have had their time on the bus.
    if (USBD_SUCCESS(status) && Paced(handle)) {
        IoMarkIrpPending(irp);
        if (!ControlOnBus(irp, handle, StatusFromUsbd(status), moved)) {
            Complete(irp, StatusFromUsbd(status));
        }
        return STATUS_PENDING;
    }
    return Complete(irp, StatusFromUsbd(status));
}

std::vector<Pipe*> HostController::OpenInterfacePipes(DeviceHandle* handle, const Bytes& configuration, UCHAR number,
                                                      UCHAR alternate) {
    std::vector<Pipe*> pipes;
    for (const USB_ENDPOINT_DESCRIPTOR& endpoint : EndpointsOf(configuration, number, alternate)) {
        Pipe* pipe = PoolNew<Pipe>();
        if (!pipe) {
            break;
        }
        pipe->owner = handle;
        pipe->endpoint = endpoint;
        pipe->interfaceNumber = number;
        pipes.push_back(pipe);
    }
    return pipes;
}

// Fills an interface information record from its setting and new pipes. False when the record is too short.
static bool FillInterface(PUSBD_INTERFACE_INFORMATION info, const USB_INTERFACE_DESCRIPTOR& descriptor,
                          InterfaceHandle* interface, const std::vector<Pipe*>& pipes) {
    if (info->Length < GET_USBD_INTERFACE_SIZE(pipes.size())) {
        return false;
    }
    info->Class = descriptor.bInterfaceClass;
    info->SubClass = descriptor.bInterfaceSubClass;
    info->Protocol = descriptor.bInterfaceProtocol;
    info->InterfaceHandle = interface;
    info->NumberOfPipes = static_cast<ULONG>(pipes.size());
    for (size_t i = 0; i < pipes.size(); ++i) {
        USBD_PIPE_INFORMATION& p = info->Pipes[i];
        p.MaximumPacketSize = pipes[i]->endpoint.wMaxPacketSize;
        p.EndpointAddress = pipes[i]->endpoint.bEndpointAddress;
        p.Interval = pipes[i]->endpoint.bInterval;
        p.PipeType = USB_ENDPOINT_TYPE_TO_PIPE_TYPE(pipes[i]->endpoint.bmAttributes);
        p.PipeHandle = pipes[i];
        if (p.MaximumTransferSize == 0 || p.MaximumTransferSize > kMaximumTransferSize) {
            p.MaximumTransferSize = kMaximumTransferSize;
        }
    }
    return true;
}

USBD_STATUS HostController::SelectConfiguration(PURB urb, DeviceHandle* handle) {
    auto& request = urb->UrbSelectConfiguration;
    if (urb->UrbHeader.Length < offsetof(_URB_SELECT_CONFIGURATION, Interface)) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    std::vector<Pipe*> old;
    auto retire = [&] {
        std::lock_guard guard(m_lock);
        for (Pipe* pipe : handle->pipes) {
            pipe->open = false;
            handle->retired.push_back(pipe);
            old.push_back(pipe);
        }
        handle->pipes.clear();
    };
    if (!request.ConfigurationDescriptor) {
        SetupPacket unset{0x00, USB_REQUEST_SET_CONFIGURATION, 0, 0, 0};
        handle->device->Control(unset, {});
        retire();
        {
            std::lock_guard guard(m_lock);
            handle->configuration = nullptr;
        }
        AbortPipes(handle);
        request.ConfigurationHandle = nullptr;
        return USBD_STATUS_SUCCESS;
    }
    const USB_CONFIGURATION_DESCRIPTOR& descriptor = *request.ConfigurationDescriptor;
    if (descriptor.bLength < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
        descriptor.bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        descriptor.wTotalLength < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        return USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR;
    }
    const Bytes* configuration = handle->device->ConfigurationByValue(descriptor.bConfigurationValue);
    if (!configuration) {
        return USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR;
    }
    SetupPacket set{0x00, USB_REQUEST_SET_CONFIGURATION, descriptor.bConfigurationValue, 0, 0};
    if (!handle->device->Control(set, {}).Succeeded()) {
        return USBD_STATUS_SET_CONFIG_FAILED;
    }

    UCHAR* cursor = reinterpret_cast<UCHAR*>(&request.Interface);
    UCHAR* const end = reinterpret_cast<UCHAR*>(urb) + urb->UrbHeader.Length;
    std::vector<Pipe*> opened;
    std::vector<InterfaceHandle*> interfaces;
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    for (UCHAR i = 0; i < descriptor.bNumInterfaces; ++i) {
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(cursor);
        if (cursor + offsetof(USBD_INTERFACE_INFORMATION, Pipes) > end ||
            info->Length < offsetof(USBD_INTERFACE_INFORMATION, Pipes) || cursor + info->Length > end) {
            status = USBD_STATUS_INVALID_PARAMETER;
            break;
        }
        const USB_INTERFACE_DESCRIPTOR* setting =
            FindInterface(*configuration, info->InterfaceNumber, info->AlternateSetting);
        if (!setting) {
            status = USBD_STATUS_INTERFACE_NOT_FOUND;
            break;
        }
        if (info->AlternateSetting) {
            SetupPacket alternate{0x01, USB_REQUEST_SET_INTERFACE, info->AlternateSetting, info->InterfaceNumber, 0};
            handle->device->Control(alternate, {});
        }
        std::vector<Pipe*> pipes =
            OpenInterfacePipes(handle, *configuration, info->InterfaceNumber, info->AlternateSetting);
        auto* interface = PoolNew<InterfaceHandle>();
        opened.insert(opened.end(), pipes.begin(), pipes.end());
        if (interface) {
            interface->number = info->InterfaceNumber;
            interface->alternate = info->AlternateSetting;
            interfaces.push_back(interface);
        }
        if (!interface || !FillInterface(info, *setting, interface, pipes)) {
            status = interface ? USBD_STATUS_BUFFER_TOO_SMALL : USBD_STATUS_INSUFFICIENT_RESOURCES;
            break;
        }
        cursor += info->Length;
    }
    auto* configurationHandle = USBD_SUCCESS(status) ? PoolNew<ConfigurationHandle>() : nullptr;
    if (USBD_SUCCESS(status) && !configurationHandle) {
        status = USBD_STATUS_INSUFFICIENT_RESOURCES;
    }
    if (!USBD_SUCCESS(status)) {
        std::lock_guard guard(m_lock);
        for (Pipe* pipe : opened) {
            pipe->open = false;
            handle->retired.push_back(pipe);
        }
        handle->interfaces.insert(handle->interfaces.end(), interfaces.begin(), interfaces.end());
        return status;
    }
    configurationHandle->descriptor = *configuration;
    retire();
    {
        std::lock_guard guard(m_lock);
        handle->pipes = opened;
        handle->interfaces.insert(handle->interfaces.end(), interfaces.begin(), interfaces.end());
        handle->configurations.push_back(configurationHandle);
        handle->configuration = configurationHandle;
    }
    AbortPipes(handle); // transfers still waiting on the old pipes end now
    request.ConfigurationHandle = configurationHandle;
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS HostController::SelectInterface(PURB urb, DeviceHandle* handle) {
    auto& request = urb->UrbSelectInterface;
    if (urb->UrbHeader.Length <
        offsetof(_URB_SELECT_INTERFACE, Interface) + offsetof(USBD_INTERFACE_INFORMATION, Pipes)) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    PUSBD_INTERFACE_INFORMATION info = &request.Interface;
    UCHAR* const end = reinterpret_cast<UCHAR*>(urb) + urb->UrbHeader.Length;
    if (info->Length < offsetof(USBD_INTERFACE_INFORMATION, Pipes) ||
        reinterpret_cast<UCHAR*>(info) + info->Length > end) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    Bytes configuration;
    {
        std::lock_guard guard(m_lock);
        if (!handle->configuration || handle->configuration != request.ConfigurationHandle) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        configuration = handle->configuration->descriptor;
    }
    const USB_INTERFACE_DESCRIPTOR* setting =
        FindInterface(configuration, info->InterfaceNumber, info->AlternateSetting);
    if (!setting) {
        return USBD_STATUS_INTERFACE_NOT_FOUND;
    }
    SetupPacket alternate{0x01, USB_REQUEST_SET_INTERFACE, info->AlternateSetting, info->InterfaceNumber, 0};
    TransferResult result = handle->device->Control(alternate, {});
    if (!result.Succeeded()) {
        return result.status;
    }
    std::vector<Pipe*> pipes = OpenInterfacePipes(handle, configuration, info->InterfaceNumber, info->AlternateSetting);
    auto* interface = PoolNew<InterfaceHandle>();
    bool filled = interface && FillInterface(info, *setting, interface, pipes);
    {
        std::lock_guard guard(m_lock);
        if (interface) {
            interface->number = info->InterfaceNumber;
            interface->alternate = info->AlternateSetting;
            handle->interfaces.push_back(interface);
        }
        if (!filled) {
            for (Pipe* pipe : pipes) {
                pipe->open = false;
                handle->retired.push_back(pipe);
            }
        } else {
            for (auto it = handle->pipes.begin(); it != handle->pipes.end();) {
                if ((*it)->interfaceNumber == info->InterfaceNumber) {
                    (*it)->open = false;
                    handle->retired.push_back(*it);
                    it = handle->pipes.erase(it);
                } else {
                    ++it;
                }
            }
            handle->pipes.insert(handle->pipes.end(), pipes.begin(), pipes.end());
        }
    }
    if (!filled) {
        return interface ? USBD_STATUS_BUFFER_TOO_SMALL : USBD_STATUS_INSUFFICIENT_RESOURCES;
    }
    AbortPipes(handle);
    return USBD_STATUS_SUCCESS;
}

Pipe* HostController::FindPipe(DeviceHandle* handle, PVOID pointer) {
    std::lock_guard guard(m_lock);
    auto it = std::find(handle->pipes.begin(), handle->pipes.end(), pointer);
    return it == handle->pipes.end() ? nullptr : *it;
}

NTSTATUS HostController::QueueTransfer(PIRP irp, PURB urb, DeviceHandle* handle) {
    auto& transfer = urb->UrbBulkOrInterruptTransfer;
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    Pipe* pipe = nullptr;
    if (urb->UrbHeader.Length < sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)) {
        status = USBD_STATUS_INVALID_PARAMETER;
    } else if (!(pipe = FindPipe(handle, transfer.PipeHandle))) {
        status = USBD_STATUS_INVALID_PIPE_HANDLE;
    } else if (transfer.TransferBufferLength && !BufferOf(transfer.TransferBuffer, transfer.TransferBufferMDL)) {
        status = USBD_STATUS_INVALID_PARAMETER;
    }
    if (!USBD_SUCCESS(status)) {
        urb->UrbHeader.Status = status;
        return Complete(irp, StatusFromUsbd(status));
    }
    ++handle->references; // held while the transfer is ours
    PipeOf(irp) = pipe;
    HandleOf(irp) = handle;
    IoMarkIrpPending(irp);
    bool cancelled = false;
    {
        std::lock_guard guard(m_lock);
        if (!pipe->open) {
            cancelled = true;
        } else {
            pipe->waiting.push_back(irp);
            IoSetCancelRoutine(irp, CancelTransfer);
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
                pipe->waiting.pop_back();
                cancelled = true;
            }
        }
    }
    if (cancelled) {
        FinishTransfer(irp, TransferResult::Error(USBD_STATUS_CANCELED));
    } else {
        Pump(pipe);
    }
    return STATUS_PENDING;
}

void HostController::Pump(Pipe* pipe) {
    for (;;) {
        PIRP irp = nullptr;
        {
            std::lock_guard guard(m_lock);
            if (pipe->busy) {
                pipe->again = true;
                return;
            }
            if (pipe->onBus) {
                return; // the next transfer goes to the device once this one has left the bus
            }
            for (auto it = pipe->waiting.begin(); it != pipe->waiting.end(); ++it) {
                if (IoSetCancelRoutine(*it, nullptr)) { // else its cancel routine is on the way
                    irp = *it;
                    pipe->waiting.erase(it);
                    break;
                }
            }
            if (!irp) {
                return;
            }
            pipe->busy = true;
            pipe->again = false;
        }
        TransferResult result = Attempt(pipe, irp);
        {
            std::lock_guard guard(m_lock);
            pipe->busy = false;
            if (result.nak) {
                if (!pipe->open) {
                    result = TransferResult::Error(USBD_STATUS_CANCELED);
                } else {
                    pipe->waiting.push_front(irp);
                    IoSetCancelRoutine(irp, CancelTransfer);
                    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
                        pipe->waiting.pop_front();
                        result = TransferResult::Error(USBD_STATUS_CANCELED);
                    } else {
                        if (!pipe->again) {
                            return; // the device will say when it can move
                        }
                        continue;
                    }
                }
            } else if (result.Succeeded() && Paced(pipe->owner) && PipeTransferOnBus(irp, pipe, result)) {
                return; // its end on the bus sends the next
            }
        }
        FinishTransfer(irp, result);
    }
}

void HostController::AbortPipes(DeviceHandle* handle, Pipe* only) {
    std::vector<PIRP> aborted;
    std::vector<PipeTransfer*> withdrawn; // on the bus
    {
        std::lock_guard guard(m_lock);
        for (auto* list : {&handle->pipes, &handle->retired}) {
            for (Pipe* pipe : *list) {
                if (only && pipe != only) {
                    continue;
                }
                if (pipe->onBus && m_schedule.Withdraw(pipe->onBus)) {
                    withdrawn.push_back(pipe->onBus);
                }
                for (auto it = pipe->waiting.begin(); it != pipe->waiting.end();) {
                    if (IoSetCancelRoutine(*it, nullptr)) {
                        aborted.push_back(*it);
                        it = pipe->waiting.erase(it);
                    } else {
                        ++it;
                    }
                }
            }
        }
    }
    for (PipeTransfer* transfer : withdrawn) {
        m_schedule.Complete(transfer, true);
    }
    for (PIRP irp : aborted) {
        FinishTransfer(irp, TransferResult::Error(USBD_STATUS_CANCELED));
    }
}

void HostController::EndpointReady(DeviceHandle* pointer, UCHAR endpointAddress) {
    DeviceHandle* handle = Acquire(pointer);
    if (!handle) {
        return;
    }
    std::vector<Pipe*> pipes;
    {
        std::lock_guard guard(m_lock);
        for (Pipe* pipe : handle->pipes) {
            if (pipe->endpoint.bEndpointAddress == endpointAddress) {
                pipes.push_back(pipe);
            }
        }
    }
    for (Pipe* pipe : pipes) {
        Pump(pipe);
    }
    Release(handle);
}

} // namespace sim::drv

namespace sim::drv {

void CompleteIsochronous(PIRP irp, USBD_STATUS status, DeviceHandle* handle) {
    PURB urb = UrbOf(irp);
    urb->UrbHeader.Status = status;
    HostController* controller = handle->controller;
    controller->Release(handle);
    KIRQL irql = KeRaiseIrqlToDpcLevel();
    Complete(irp, StatusFromUsbd(status), 0);
    KeLowerIrql(irql);
}

NTSTATUS HostController::Isochronous(PIRP irp, PURB urb, DeviceHandle* handle) {
    auto& transfer = urb->UrbIsochronousTransfer;
    const USHORT length = urb->UrbHeader.Length;
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    Pipe* pipe = nullptr;
    const ULONG packets = length >= offsetof(_URB_ISOCH_TRANSFER, IsoPacket) ? transfer.NumberOfPackets : 0;
    UCHAR* buffer = nullptr;
    if (packets == 0 || packets > USBD_ISO_START_FRAME_RANGE || length < GET_ISO_URB_SIZE(packets)) {
        status = USBD_STATUS_INVALID_PARAMETER;
    } else if (!(pipe = FindPipe(handle, transfer.PipeHandle)) ||
               USB_ENDPOINT_TYPE_TO_PIPE_TYPE(pipe->endpoint.bmAttributes) != UsbdPipeTypeIsochronous) {
        status = USBD_STATUS_INVALID_PIPE_HANDLE;
    } else if (!(buffer = BufferOf(transfer.TransferBuffer, transfer.TransferBufferMDL)) ||
               transfer.TransferBufferLength == 0) {
        status = USBD_STATUS_INVALID_PARAMETER;
    } else {
        // Packets lie in the buffer at their offsets, in order.
        for (ULONG i = 0; i < packets && USBD_SUCCESS(status); ++i) {
            const ULONG offset = transfer.IsoPacket[i].Offset;
            const ULONG next = i + 1 < packets ? transfer.IsoPacket[i + 1].Offset : transfer.TransferBufferLength;
            if (offset > next || next > transfer.TransferBufferLength) {
                status = USBD_STATUS_INVALID_PARAMETER;
            }
        }
    }
    if (USBD_SUCCESS(status)) {
        // The frames the packets go in: right after the pipe's last transfer (or the next frame) when asked
        // to start at once, else the caller's, which must lie ahead and within reach.
        const ULONG current = CurrentFrame();
        ULONG start = transfer.StartFrame;
        {
            std::lock_guard guard(m_lock);
            if (transfer.TransferFlags & USBD_START_ISO_TRANSFER_ASAP) {
                start =
                    pipe->nextFrame && static_cast<LONG>(pipe->nextFrame - current) > 0 ? pipe->nextFrame : current + 1;
            } else if (static_cast<LONG>(start + packets - current) <= 0 ||
                       static_cast<LONG>(start - current) > USBD_ISO_START_FRAME_RANGE) {
                status = USBD_STATUS_BAD_START_FRAME;
            }
            if (USBD_SUCCESS(status)) {
                pipe->nextFrame = start + packets;
            }
        }
        transfer.StartFrame = start;
    }
    if (!USBD_SUCCESS(status)) {
        urb->UrbHeader.Status = status;
        return Complete(irp, StatusFromUsbd(status));
    }

    const bool in = (pipe->endpoint.bEndpointAddress & 0x80) != 0;
    ULONG errors = 0;
    ULONG moved = 0;
    for (ULONG i = 0; i < packets; ++i) {
        USBD_ISO_PACKET_DESCRIPTOR& packet = transfer.IsoPacket[i];
        const ULONG next = i + 1 < packets ? transfer.IsoPacket[i + 1].Offset : transfer.TransferBufferLength;
        std::span<UCHAR> data(buffer + packet.Offset, next - packet.Offset);
        TransferResult result =
            handle->device->Reachable()
                ? handle->device->IsochPacket(pipe->endpoint.bEndpointAddress, transfer.StartFrame + i, data)
                : TransferResult::Error(USBD_STATUS_DEV_NOT_RESPONDING);
        packet.Status = result.status;
        if (!USBD_SUCCESS(result.status)) {
            ++errors;
            result.length = 0;
        }
        if (in) {
            packet.Length = std::min<ULONG>(result.length, static_cast<ULONG>(data.size()));
            moved += packet.Length;
        } else if (USBD_SUCCESS(result.status)) {
            moved += static_cast<ULONG>(data.size());
        }
    }
    transfer.ErrorCount = errors;
    if (in) {
        transfer.TransferBufferLength = moved;
    }
    m_bytesTransferred += moved;
    ++m_transfers;
    const USBD_STATUS final = errors == packets ? USBD_STATUS_ISOCH_REQUEST_FAILED : USBD_STATUS_SUCCESS;

    // The transfer ends once its frames are done: on the controller's interrupt thread (at once on an unpaced
    // machine, whose frames take no time).
    ++handle->references;
    IoMarkIrpPending(irp);
    if (Paced(handle)) {
        const LONGLONG now = static_cast<LONGLONG>(KeQueryInterruptTime());
        const LONG framesLeft = static_cast<LONG>(transfer.StartFrame + packets - static_cast<ULONG>(now / 10000));
        const LONGLONG end = (now / 10000 + std::max<LONG>(framesLeft, 0)) * 10000; // the last frame's end
        if (IsochronousOnBus(irp, handle, final, end)) {
            return STATUS_PENDING;
        }
    } else if (m_interrupt.Post([irp, final, handle] { CompleteIsochronous(irp, final, handle); })) {
        return STATUS_PENDING;
    }
    CompleteIsochronous(irp, final, handle);
    return STATUS_PENDING;
}

USBD_STATUS HostController::FrameRequest(PURB urb, USHORT function, DeviceHandle* handle) {
    const USHORT length = urb->UrbHeader.Length;
    if (function == URB_FUNCTION_GET_CURRENT_FRAME_NUMBER) {
        if (length < sizeof(_URB_GET_CURRENT_FRAME_NUMBER)) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        urb->UrbGetCurrentFrameNumber.FrameNumber = CurrentFrame();
        return USBD_STATUS_SUCCESS;
    }
    // Frame length control is a feature of the 1.1 and 2.0 controllers' frame counters.
    if (m_flavor != PortFlavor::UsbPort) {
        return USBD_STATUS_NOT_SUPPORTED;
    }
    std::lock_guard guard(m_lock);
    switch (function) {
    case URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL:
        if (m_frameLengthOwner && m_frameLengthOwner != handle) {
            return USBD_STATUS_FRAME_CONTROL_OWNED;
        }
        m_frameLengthOwner = handle;
        return USBD_STATUS_SUCCESS;
    case URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL:
        if (m_frameLengthOwner != handle) {
            return USBD_STATUS_FRAME_CONTROL_NOT_OWNED;
        }
        m_frameLengthOwner = nullptr;
        m_frameLengthDelta = 0;
        return USBD_STATUS_SUCCESS;
    case URB_FUNCTION_GET_FRAME_LENGTH:
        if (length < sizeof(_URB_GET_FRAME_LENGTH)) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        urb->UrbGetFrameLength.FrameLength = static_cast<ULONG>(11999 + m_frameLengthDelta); // bit times
        urb->UrbGetFrameLength.FrameNumber = CurrentFrame();
        return USBD_STATUS_SUCCESS;
    case URB_FUNCTION_SET_FRAME_LENGTH: {
        if (length < sizeof(_URB_SET_FRAME_LENGTH)) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        if (m_frameLengthOwner != handle) {
            return USBD_STATUS_FRAME_CONTROL_NOT_OWNED;
        }
        // One bit time at a time, within the counter's range.
        const LONG delta = urb->UrbSetFrameLength.FrameLengthDelta;
        if (delta < -1 || delta > 1 || m_frameLengthDelta + delta < -64 || m_frameLengthDelta + delta > 63) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        m_frameLengthDelta += delta;
        return USBD_STATUS_SUCCESS;
    }
    default: return USBD_STATUS_INVALID_URB_FUNCTION;
    }
}

USBD_STATUS HostController::PipePolicy(PURB urb, USHORT function, DeviceHandle* handle) {
    if (urb->UrbHeader.Length < sizeof(_URB_PIPE_IO_POLICY)) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    auto& policy = urb->UrbPipeIoPolicy;
    Pipe* pipe = FindPipe(handle, policy.PipeHandle);
    if (!pipe) {
        return USBD_STATUS_INVALID_PIPE_HANDLE;
    }
    std::lock_guard guard(m_lock);
    if (function == URB_FUNCTION_SET_PIPE_IO_POLICY) {
        pipe->ioPriority = policy.UsbIoPriority;
        pipe->maxPendingIrps = policy.UsbMaxPendingIrps;
        pipe->maxControllerTransfer = std::min<ULONG>(policy.UsbMaxControllerTransfer, kMaximumTransferSize);
    } else {
        policy.UsbIoPriority = pipe->ioPriority;
        policy.UsbMaxPendingIrps = pipe->maxPendingIrps;
        policy.UsbMaxControllerTransfer =
            pipe->maxControllerTransfer ? pipe->maxControllerTransfer : kMaximumTransferSize;
    }
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS HostController::EndpointRequest(PURB urb, USHORT function, DeviceHandle* handle) {
    const USHORT length = urb->UrbHeader.Length;
    if (function == URB_FUNCTION_OPEN_ENDPOINT) {
        if (length < sizeof(_URB_OPEN_ENDPOINT)) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        auto& open = urb->UrbOpenEndpoint;
        const PUSB_ENDPOINT_DESCRIPTOR descriptor = open.EndpointDescriptor;
        if (!descriptor || descriptor->bLength < sizeof(USB_ENDPOINT_DESCRIPTOR) ||
            descriptor->bDescriptorType != USB_ENDPOINT_DESCRIPTOR_TYPE) {
            return USBD_STATUS_BAD_ENDPOINT_DESCRIPTOR;
        }
        auto* endpoint = PoolNew<HcdEndpoint>();
        if (!endpoint) {
            return USBD_STATUS_INSUFFICIENT_RESOURCES;
        }
        endpoint->owner = handle;
        endpoint->endpoint = *descriptor;
        endpoint->flags = open.Flags;
        {
            std::lock_guard guard(m_lock);
            handle->endpoints.push_back(endpoint);
        }
        open.HcdEndpoint = endpoint;
        return USBD_STATUS_SUCCESS;
    }
    const size_t needed =
        function == URB_FUNCTION_CLOSE_ENDPOINT ? sizeof(_URB_CLOSE_ENDPOINT) : sizeof(_URB_GET_ENDPOINT_STATE);
    if (length < needed) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    PVOID wanted = function == URB_FUNCTION_CLOSE_ENDPOINT ? urb->UrbCloseEndpoint.HcdEndpoint
                                                           : urb->UrbGetEndpointState.HcdEndpoint;
    HcdEndpoint* endpoint = nullptr;
    {
        std::lock_guard guard(m_lock);
        auto it = std::find(handle->endpoints.begin(), handle->endpoints.end(), wanted);
        if (it == handle->endpoints.end()) {
            return USBD_STATUS_INVALID_PARAMETER;
        }
        endpoint = *it;
        if (function == URB_FUNCTION_CLOSE_ENDPOINT) {
            handle->endpoints.erase(it);
        } else {
            // Bit 0: open; bit 1: the device halted the endpoint.
            urb->UrbGetEndpointState.Flags = 1;
        }
    }
    if (function == URB_FUNCTION_CLOSE_ENDPOINT) {
        PoolDelete(endpoint);
    } else if (handle->device->EndpointHalted(endpoint->endpoint.bEndpointAddress)) {
        urb->UrbGetEndpointState.Flags |= 2;
    }
    return USBD_STATUS_SUCCESS;
}

} // namespace sim::drv
