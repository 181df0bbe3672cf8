// The controller's functional device object, the root hub's physical device object, device handles and the
// controller's device-control requests.
#include <algorithm>
#include <cstring>

#include "NtObjectNamespace.h"
#include "platform/sim/internal/PciBus.h"
#include "platform/sim/internal/UsbPort.h"
#include "usbioctl.h"
#include "usbuser.h"

namespace sim::drv {

const GUID kVendorUsb3HostControllerInterface = {
    0xAC051B02, 0x603B, 0x4B3C, {0xB1, 0x4B, 0x95, 0xC9, 0x26, 0x8D, 0xE0, 0x81}};
const GUID kVendorUsb3HubInterface = {0xC7426F31, 0x6B8E, 0x47D5, {0xBA, 0xE8, 0x35, 0xFA, 0xF7, 0xFF, 0x53, 0xD9}};

namespace {

// The key of the driver-object extension that tells a miniport's controller kind.
const int kFlavorKey = 0;

class HandleListener : public EndpointListener {
public:
    HandleListener(HostController* controller, DeviceHandle* handle) : m_controller(controller), m_handle(handle) {}
    void EndpointReady(UCHAR endpointAddress) override {
        std::lock_guard guard(m_lock);
        if (m_controller) {
            m_controller->EndpointReady(m_handle, endpointAddress);
        }
    }
    void Detach() {
        std::lock_guard guard(m_lock);
        m_controller = nullptr;
    }

private:
    std::recursive_mutex m_lock;
    HostController* m_controller;
    DeviceHandle* m_handle;
};

USB_DEVICE_SPEED SpeedOf(UsbSpeed speed) {
    switch (speed) {
    case UsbSpeed::Low: return UsbLowSpeed;
    case UsbSpeed::Full: return UsbFullSpeed;
    case UsbSpeed::High: return UsbHighSpeed;
    case UsbSpeed::Super: return UsbSuperSpeed;
    }
    return UsbFullSpeed;
}

// Reads a descriptor straight from a device model, as the port driver does while it initialises a device.
Bytes ReadDescriptor(UsbDevice& device, UCHAR type, UCHAR index, USHORT length) {
    Bytes bytes(length);
    SetupPacket setup{0x80, USB_REQUEST_GET_DESCRIPTOR, static_cast<USHORT>(type << 8 | index), 0, length};
    TransferResult result = device.Control(setup, bytes);
    bytes.resize(result.Succeeded() ? result.length : 0);
    return bytes;
}

std::u16string WithoutPrefix(const std::u16string& link) {
    return link.size() > 4 && link.compare(0, 4, u"\\??\\") == 0 ? link.substr(4) : link;
}

// Answers a request of the ActualLength-then-name form (USB_HCD_DRIVERKEY_NAME, USB_ROOT_HUB_NAME): a
// buffer too small for the name gets the length it needs.
NTSTATUS AnswerName(PIRP irp, const std::u16string& name) {
    return name.empty() ? Complete(irp, STATUS_UNSUCCESSFUL) : CompleteWithName(irp, name, false);
}

NTSTATUS Unsupported(PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

NTSTATUS AddController(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    auto* flavor = static_cast<PortFlavor*>(IoGetDriverObjectExtension(driver, const_cast<int*>(&kFlavorKey)));
    if (!flavor || !ControllerModelOf(pdo)) {
        return STATUS_NO_SUCH_DEVICE;
    }
    PortFlavor kind = *flavor;
    return FunctionDevice::Add(
        driver, pdo, FILE_DEVICE_CONTROLLER,
        [kind, pdo](PDEVICE_OBJECT self, PDEVICE_OBJECT lower) { return new HostController(self, pdo, lower, kind); },
        nullptr, u"\\Device\\USBFDO-");
}

NTSTATUS MiniportEntry(PDRIVER_OBJECT driver, PortFlavor flavor) {
    PVOID extension = nullptr;
    NTSTATUS status =
        IoAllocateDriverObjectExtension(driver, const_cast<int*>(&kFlavorKey), sizeof(PortFlavor), &extension);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    *static_cast<PortFlavor*>(extension) = flavor;
    return SetUpDriver(driver, AddController);
}

} // namespace

NTSTATUS UsbUhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return MiniportEntry(driver, PortFlavor::UsbPort);
}
NTSTATUS UsbOhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return MiniportEntry(driver, PortFlavor::UsbPort);
}
NTSTATUS UsbEhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return MiniportEntry(driver, PortFlavor::UsbPort);
}
NTSTATUS VendorXhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return MiniportEntry(driver, PortFlavor::VendorXhci);
}
NTSTATUS InboxXhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return MiniportEntry(driver, PortFlavor::InboxXhci);
}

NTSTATUS StatusFromUsbd(USBD_STATUS status) {
    if (USBD_SUCCESS(status)) {
        return STATUS_SUCCESS;
    }
    switch (status) {
    case USBD_STATUS_CANCELED: return STATUS_CANCELLED;
    case USBD_STATUS_INVALID_URB_FUNCTION:
    case USBD_STATUS_INVALID_PARAMETER:
    case USBD_STATUS_INVALID_PIPE_HANDLE:
    case USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR:
    case USBD_STATUS_INTERFACE_NOT_FOUND: return STATUS_INVALID_PARAMETER;
    case USBD_STATUS_DEVICE_GONE: return STATUS_DEVICE_NOT_CONNECTED;
    case USBD_STATUS_NOT_SUPPORTED: return STATUS_NOT_SUPPORTED;
    case USBD_STATUS_BUFFER_TOO_SMALL: return STATUS_BUFFER_TOO_SMALL;
    case USBD_STATUS_INSUFFICIENT_RESOURCES: return STATUS_INSUFFICIENT_RESOURCES;
    default: return STATUS_UNSUCCESSFUL;
    }
}

NTSTATUS CompleteDeviceHandleRequest(PIRP irp, PVOID handle, PVOID hubHandle) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    auto& others = location->Parameters.Others;
    if (!others.Argument1) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    *static_cast<PVOID*>(others.Argument1) = handle;
    if (location->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX &&
        others.Argument2) {
        *static_cast<PVOID*>(others.Argument2) = hubHandle;
    }
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS CompletePortStatusRequest(PIRP irp, ULONG portStatus) {
    auto& others = IoGetCurrentIrpStackLocation(irp)->Parameters.Others;
    if (!others.Argument1) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    *static_cast<ULONG*>(others.Argument1) = portStatus;
    return Complete(irp, STATUS_SUCCESS);
}

// --- HostController ---

HostController::HostController(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower, PortFlavor flavor)
    : FunctionDevice(self, pdo, lower), m_flavor(flavor), m_layout(CurrentLayout()) {
    KeInitializeSemaphore(&m_busSemaphore, 1, 1);
    // The port driver's words are in the extension from AddDevice on, before anything is sent to the device:
    // the filters that attach right after it tell the controller by them.
    if (m_flavor == PortFlavor::UsbPort) {
        WriteAreaWord(m_self, m_layout.hostControllerSignature, SignatureWord("HFDO"));
    }
}

HostController::~HostController() {
    m_interrupt.Stop();
    m_schedule.Stop();
    // Normally every handle is gone with the root hub and the devices; a controller that never started, or
    // lost its children abruptly, still frees what is left.
    for (DeviceHandle* handle : std::vector<DeviceHandle*>(m_handles)) {
        RemoveHandle(handle, 0);
    }
}

std::u16string HostController::RootHubLinkName() const {
    return m_rootHub ? WithoutPrefix(m_rootHub->HubLink()) : std::u16string();
}

NTSTATUS HostController::OnStart() {
    m_model = ControllerModelOf(m_pdo);
    if (!m_model) {
        return STATUS_NO_SUCH_DEVICE;
    }
    m_paced = BusTimeOn();
    m_name = nt::ob::NameOf(m_self).value_or(u"");
    m_hcdLink = CreateNumberedLink(u"HCD", m_name, &m_hcdNumber);
    m_interfaces.Enable(m_pdo, m_flavor == PortFlavor::VendorXhci ? kVendorUsb3HostControllerInterface
                                                                  : GUID_DEVINTERFACE_USB_HOST_CONTROLLER);

    // The root hub is a device of the controller like any other, at address 1, configured by its hub driver.
    DeviceHandle* root = PoolNew<DeviceHandle>();
    if (!root) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    root->controller = this;
    root->device = m_model->RootHubPointer();
    root->speed = SpeedOf(root->device->Speed());
    root->address = 1;
    root->initialized = true;
    root->deviceDescriptor = root->device->DeviceDescriptor();
    root->configurationDescriptor = root->device->Descriptors().configurations.at(0);
    auto listener = std::make_shared<HandleListener>(this, root);
    root->listener = listener;
    root->device->Bind(listener);
    {
        std::lock_guard guard(m_lock);
        m_handles.push_back(root);
        m_rootHandle = root;
    }

    PDEVICE_OBJECT rootHubPdo = nullptr;
    std::u16string rootHubName;
    NTSTATUS status = CreateNumberedDevice(m_self->DriverObject, u"\\Device\\USBPDO-", FILE_DEVICE_CONTROLLER, 0,
                                           &rootHubPdo, &rootHubName);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (m_flavor == PortFlavor::UsbPort) {
        WriteAreaWord(rootHubPdo, m_layout.rootHubSignature, SignatureWord("RPDO"));
    }
    m_rootHub = new RootHubPdo(rootHubPdo, this, rootHubName);
    if (!m_rootHub) {
        IoDeleteDevice(rootHubPdo);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    return STATUS_SUCCESS;
}

void HostController::Enumerate() {
    if (!m_rootHub || m_rootHubReported) {
        return;
    }
    if (m_firstQuery) {
        // The root hub is reported once the controller has been asked again, so that every controller of the
        // bus starts before the first root hub does.
        m_firstQuery = false;
        IoInvalidateDeviceRelations(m_pdo, BusRelations);
        return;
    }
    m_rootHubReported = true;
    AddChild(m_rootHub);
}

void HostController::OnRemove() {
    m_interrupt.Stop(); // the transfers it still has complete first
    m_schedule.Stop();
    m_interfaces.DisableAll();
    if (!m_hcdLink.empty()) {
        UNICODE_STRING link;
        link.Buffer = m_hcdLink.data();
        link.Length = link.MaximumLength = static_cast<USHORT>(m_hcdLink.size() * sizeof(WCHAR));
        IoDeleteSymbolicLink(&link);
        m_hcdLink.clear();
    }
    if (m_rootHub && !m_rootHubReported) {
        RootHubPdo* rootHub = m_rootHub;
        m_rootHub = nullptr;
        rootHub->DeleteWithParent();
    }
}

bool HostController::IsHandle(PVOID pointer) {
    std::lock_guard guard(m_lock);
    return std::find(m_handles.begin(), m_handles.end(), pointer) != m_handles.end();
}

DeviceHandle* HostController::Acquire(PVOID pointer) {
    std::lock_guard guard(m_lock);
    auto it = std::find(m_handles.begin(), m_handles.end(), pointer);
    if (it == m_handles.end() || (*it)->removed) {
        return nullptr;
    }
    ++(*it)->references;
    return *it;
}

void HostController::Release(DeviceHandle* handle) {
    if (handle && --handle->references == 0) {
        FreeHandle(handle);
    }
}

void HostController::FreeHandle(DeviceHandle* handle) {
    for (Pipe* pipe : handle->pipes) {
        PoolDelete(pipe);
    }
    for (Pipe* pipe : handle->retired) {
        PoolDelete(pipe);
    }
    for (InterfaceHandle* interface : handle->interfaces) {
        PoolDelete(interface);
    }
    for (ConfigurationHandle* configuration : handle->configurations) {
        PoolDelete(configuration);
    }
    for (HcdEndpoint* endpoint : handle->endpoints) {
        PoolDelete(endpoint);
    }
    PoolDelete(handle);
}

NTSTATUS HostController::CreateHandle(DeviceHandle* hub, USHORT port, DeviceHandle** created) {
    *created = nullptr;
    DeviceHandle* hubHandle = Acquire(hub);
    if (!hubHandle) {
        return STATUS_INVALID_PARAMETER;
    }
    auto* hubModel = dynamic_cast<UsbHubModel*>(hubHandle->device.get());
    std::shared_ptr<UsbDevice> device = hubModel ? hubModel->DeviceAt(port) : nullptr;
    DeviceHandle* handle = hubModel && device ? PoolNew<DeviceHandle>() : nullptr;
    if (handle) {
        std::lock_guard guard(m_lock);
        handle->bus = BusBehind(hubHandle, device->Speed());
    }
    Release(hubHandle);
    if (!hubModel) {
        return STATUS_INVALID_PARAMETER;
    }
    if (!device) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (!handle) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    handle->controller = this;
    handle->device = device;
    handle->hub = hub;
    handle->port = port;
    handle->speed = SpeedOf(device->Speed());
    auto listener = std::make_shared<HandleListener>(this, handle);
    handle->listener = listener;
    device->Bind(listener);
    {
        std::lock_guard guard(m_lock);
        m_handles.push_back(handle);
    }
    *created = handle;
    return STATUS_SUCCESS;
}

NTSTATUS HostController::InitializeHandle(DeviceHandle* pointer) {
    DeviceHandle* handle = Acquire(pointer);
    if (!handle) {
        return STATUS_INVALID_PARAMETER;
    }
    UCHAR address = 0;
    {
        std::lock_guard guard(m_lock);
        for (UCHAR candidate = 2; candidate < 128 && !address; ++candidate) {
            bool taken = std::any_of(m_handles.begin(), m_handles.end(),
                                     [candidate](DeviceHandle* h) { return h->address == candidate; });
            if (!taken) {
                address = candidate;
            }
        }
    }
    NTSTATUS status = STATUS_DEVICE_DATA_ERROR;
    SetupPacket setAddress{0x00, USB_REQUEST_SET_ADDRESS, address, 0, 0};
    if (address && handle->device->Control(setAddress, {}).Succeeded()) {
        Bytes device = ReadDescriptor(*handle->device, USB_DEVICE_DESCRIPTOR_TYPE, 0, sizeof(USB_DEVICE_DESCRIPTOR));
        Bytes header = ReadDescriptor(*handle->device, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 9);
        if (device.size() == sizeof(USB_DEVICE_DESCRIPTOR) && header.size() == 9) {
            Bytes configuration =
                ReadDescriptor(*handle->device, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, ReadU16(&header[2]));
            // A device with Microsoft OS descriptors names its vendor code in string 0xEE ("MSFT100").
            Bytes os = ReadDescriptor(*handle->device, USB_STRING_DESCRIPTOR_TYPE, 0xEE, 18);
            const Bytes signature = StringDescriptorBytes(u"MSFT100");
            const bool hasOs = os.size() == 18 && std::equal(signature.begin() + 2, signature.end(), os.begin() + 2);
            std::lock_guard guard(m_lock);
            handle->msVendorCode = hasOs ? os[16] : 0;
            handle->address = address;
            std::memcpy(&handle->deviceDescriptor, device.data(), device.size());
            handle->configurationDescriptor = std::move(configuration);
            handle->initialized = true;
            status = STATUS_SUCCESS;
        }
    }
    Release(handle);
    return status;
}

NTSTATUS HostController::RemoveHandle(DeviceHandle* pointer, ULONG) {
    DeviceHandle* handle = nullptr;
    {
        std::lock_guard guard(m_lock);
        auto it = std::find(m_handles.begin(), m_handles.end(), pointer);
        if (it == m_handles.end() || (*it)->removed) {
            return STATUS_INVALID_PARAMETER;
        }
        handle = *it;
        handle->removed = true;
        m_handles.erase(it);
        if (handle == m_rootHandle) {
            m_rootHandle = nullptr;
        }
        if (handle == m_frameLengthOwner) {
            m_frameLengthOwner = nullptr; // a device that goes gives frame length control back
            m_frameLengthDelta = 0;
        }
    }
    handle->device->Unbind(handle->listener.get());
    if (auto listener = std::static_pointer_cast<HandleListener>(handle->listener)) {
        listener->Detach();
    }
    if (handle->pdo && handle->device->PhysicalDeviceObject() == handle->pdo) {
        handle->device->SetPhysicalDeviceObject(nullptr);
    }
    AbortPipes(handle);
    Release(handle);
    return STATUS_SUCCESS;
}

std::vector<USB_PIPE_INFO> HostController::OpenPipes(DeviceHandle* handle) {
    std::lock_guard guard(m_lock);
    std::vector<USB_PIPE_INFO> pipes;
    for (Pipe* pipe : handle->pipes) {
        USB_PIPE_INFO info{};
        info.EndpointDescriptor = pipe->endpoint;
        info.ScheduleOffset = 0;
        pipes.push_back(info);
    }
    return pipes;
}

NTSTATUS HostController::InternalDeviceControl(PIRP irp) {
    return Unsupported(irp);
}

NTSTATUS HostController::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inLength = location->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = location->Parameters.DeviceIoControl.OutputBufferLength;
    auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
    switch (code) {
    case IOCTL_GET_HCD_DRIVERKEY_NAME: return AnswerName(irp, DeviceProperty(m_pdo, DevicePropertyDriverKeyName));
    case IOCTL_USB_GET_ROOT_HUB_NAME: return AnswerName(irp, RootHubLinkName());
    case IOCTL_USB_HCD_GET_STATS_1:
    case IOCTL_USB_HCD_GET_STATS_2: {
        const bool second = code == IOCTL_USB_HCD_GET_STATS_2;
        const ULONG size = second ? sizeof(HCD_STAT_INFORMATION_2) : sizeof(HCD_STAT_INFORMATION_1);
        if (!buffer || outLength < size || inLength < size) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        ULONG reset = 0;
        std::memcpy(&reset, buffer + offsetof(HCD_STAT_INFORMATION_1, ResetCounters), sizeof reset);
        HCD_STAT_COUNTERS counters{};
        counters.BytesTransferred = m_bytesTransferred.load();
        counters.StallPidCount = static_cast<USHORT>(m_stallCount.load());
        LARGE_INTEGER now;
        KeQuerySystemTime(&now);
        if (second) {
            HCD_STAT_INFORMATION_2 info{};
            info.ResetCounters = reset;
            info.TimeRead = now;
            info.Counters = counters;
            std::memcpy(buffer, &info, sizeof info);
        } else {
            HCD_STAT_INFORMATION_1 info{};
            info.ResetCounters = reset;
            info.TimeRead = now;
            info.Counters = counters;
            std::memcpy(buffer, &info, sizeof info);
        }
        if (reset) {
            m_bytesTransferred = 0;
            m_transfers = 0;
            m_stallCount = 0;
        }
        return Complete(irp, STATUS_SUCCESS, size);
    }
    case IOCTL_USB_DIAGNOSTIC_MODE_ON:
    case IOCTL_USB_DIAGNOSTIC_MODE_OFF: return Complete(irp, STATUS_SUCCESS);
    case IOCTL_USB_USER_REQUEST: return UserRequest(irp, buffer, inLength, outLength);
    default: return Unsupported(irp);
    }
}

NTSTATUS HostController::UserRequest(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength) {
    if (!buffer || inLength < sizeof(USBUSER_REQUEST_HEADER) || outLength < sizeof(USBUSER_REQUEST_HEADER)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    }
    USBUSER_REQUEST_HEADER header;
    std::memcpy(&header, buffer, sizeof header);
    if (header.RequestBufferLength > outLength || header.RequestBufferLength < sizeof header) {
        header.UsbUserStatusCode = UsbUserInvalidHeaderParameter;
        header.ActualBufferLength = sizeof header;
        std::memcpy(buffer, &header, sizeof header);
        return Complete(irp, STATUS_SUCCESS, sizeof header);
    }
    const ULONG room = header.RequestBufferLength - sizeof header;
    UCHAR* body = buffer + sizeof header;
    auto answer = [&](const void* data, ULONG size) {
        header.ActualBufferLength = sizeof header + size;
        if (size > room) {
            header.UsbUserStatusCode = UsbUserBufferTooSmall;
        } else {
            header.UsbUserStatusCode = UsbUserSuccess;
            std::memcpy(body, data, size);
        }
    };
    auto answerName = [&](const std::u16string& name) {
        // USB_UNICODE_NAME: the byte length of the name with its NUL, then the name.
        std::vector<UCHAR> bytes(sizeof(ULONG) + (name.size() + 1) * sizeof(WCHAR));
        ULONG length = static_cast<ULONG>((name.size() + 1) * sizeof(WCHAR));
        std::memcpy(bytes.data(), &length, sizeof length);
        std::memcpy(bytes.data() + sizeof length, name.c_str(), length);
        if (bytes.size() > room && room >= sizeof length) {
            std::memcpy(body, &length, sizeof length); // tells the caller the size it needs
        }
        answer(bytes.data(), static_cast<ULONG>(bytes.size()));
    };
    switch (header.UsbUserRequest) {
    case USBUSER_GET_CONTROLLER_INFO_0: {
        USB_CONTROLLER_INFO_0 info{};
        info.PciVendorId = m_model->Pci().vendorId;
        info.PciDeviceId = m_model->Pci().deviceId;
        info.PciRevision = m_model->Pci().revision;
        info.NumberOfRootPorts = static_cast<ULONG>(m_model->RootHub().PortCount());
        switch (m_model->Type()) {
        case ControllerType::Uhci: info.ControllerFlavor = UHCI_Generic; break;
        case ControllerType::Ohci: info.ControllerFlavor = OHCI_Generic; break;
        case ControllerType::Ehci: info.ControllerFlavor = EHCI_Generic; break;
        case ControllerType::Xhci: info.ControllerFlavor = USB_HcGeneric; break;
        }
        info.HcFeatureFlags = USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING | USB_HC_FEATURE_FLAG_SEL_SUSPEND;
        answer(&info, sizeof info);
        break;
    }
    case USBUSER_GET_CONTROLLER_DRIVER_KEY: answerName(DeviceProperty(m_pdo, DevicePropertyDriverKeyName)); break;
    case USBUSER_GET_ROOTHUB_SYMBOLIC_NAME: answerName(RootHubLinkName()); break;
    case USBUSER_GET_USB_DRIVER_VERSION: {
        USB_DRIVER_VERSION_PARAMETERS version{};
        version.DriverTrackingCode = 0x0E;
        version.USBDI_Version = m_layout.usbdiVersion;
        version.USBUSER_Version = USBUSER_VERSION;
        version.USB_Version = m_model->Type() == ControllerType::Xhci   ? 0x0300
                              : m_model->Type() == ControllerType::Ehci ? 0x0200
                                                                        : 0x0110;
        answer(&version, sizeof version);
        break;
    }
    case USBUSER_GET_USB2_HW_VERSION: {
        USB_USB2HW_VERSION_PARAMETERS version{};
        version.Usb2HwRevision = m_model->Type() == ControllerType::Ehci ? USB2HW_B0 : USB2HW_UNKNOWN;
        answer(&version, sizeof version);
        break;
    }
    case USBUSER_GET_POWER_STATE_MAP: {
        USB_POWER_INFO info{};
        if (room >= sizeof(WDMUSB_POWER_STATE)) {
            std::memcpy(&info.SystemState, body, sizeof(WDMUSB_POWER_STATE));
        }
        info.HcDevicePowerState = WdmUsbPowerDeviceD0;
        info.HcDeviceWake = WdmUsbPowerDeviceD2;
        info.HcSystemWake = WdmUsbPowerSystemSleeping3;
        info.RhDevicePowerState = WdmUsbPowerDeviceD0;
        info.RhDeviceWake = WdmUsbPowerDeviceD2;
        info.RhSystemWake = WdmUsbPowerSystemSleeping3;
        info.LastSystemSleepState = WdmUsbPowerNotMapped;
        info.CanWakeup = TRUE;
        info.IsPowered = TRUE;
        answer(&info, sizeof info);
        break;
    }
    case USBUSER_GET_BANDWIDTH_INFORMATION: {
        USB_BANDWIDTH_INFO info{};
        {
            std::lock_guard guard(m_lock);
            info.DeviceCount = static_cast<ULONG>(m_handles.size());
        }
        info.TotalBusBandwidth = m_model->Type() == ControllerType::Ehci ? 480000000 : 12000000;
        info.Total32secBandwidth = info.TotalBusBandwidth / 32;
        answer(&info, sizeof info);
        break;
    }
    case USBUSER_GET_BUS_STATISTICS_0: {
        USB_BUS_STATISTICS_0 statistics{};
        {
            std::lock_guard guard(m_lock);
            statistics.DeviceCount = static_cast<ULONG>(m_handles.size());
        }
        KeQuerySystemTime(&statistics.CurrentSystemTime);
        statistics.CurrentUsbFrame = static_cast<ULONG>(KeQueryInterruptTime() / 10000);
        statistics.BulkBytes = m_bytesTransferred.load();
        statistics.RootHubEnabled = TRUE;
        statistics.NameIndex = static_cast<UCHAR>(m_hcdNumber < 0 ? 0 : m_hcdNumber);
        answer(&statistics, sizeof statistics);
        break;
    }
    case USBUSER_PASS_THRU:
        header.UsbUserStatusCode = UsbUserNotSupported;
        header.ActualBufferLength = sizeof header;
        break;
    default:
        header.UsbUserStatusCode = UsbUserInvalidRequestCode;
        header.ActualBufferLength = sizeof header;
        break;
    }
    std::memcpy(buffer, &header, sizeof header);
    ULONG information = std::min(header.ActualBufferLength, header.RequestBufferLength);
    return Complete(irp, STATUS_SUCCESS, information);
}

// --- RootHubPdo ---

RootHubPdo::RootHubPdo(PDEVICE_OBJECT self, HostController* controller, std::u16string name)
    : PhysicalDevice(self, controller), m_controller(controller), m_name(std::move(name)) {}

const GUID& RootHubPdo::HubInterfaceGuid() const {
    return m_controller->Flavor() == PortFlavor::VendorXhci ? kVendorUsb3HubInterface : GUID_DEVINTERFACE_USB_HUB;
}

std::u16string RootHubPdo::DeviceId() const {
    switch (m_controller->Flavor()) {
    case PortFlavor::VendorXhci: return u"NUSB3\\ROOT_HUB30";
    case PortFlavor::InboxXhci: return u"USB\\ROOT_HUB30";
    case PortFlavor::UsbPort: break;
    }
    return m_controller->Model()->Type() == ControllerType::Ehci ? u"USB\\ROOT_HUB20" : u"USB\\ROOT_HUB";
}

std::vector<std::u16string> RootHubPdo::HardwareIds() const {
    const PciIdentity& pci = m_controller->Model()->Pci();
    std::u16string base = DeviceId();
    std::u16string vidPid = base + u"&VID" + Hex(pci.vendorId, 4) + u"&PID" + Hex(pci.deviceId, 4);
    return {vidPid + u"&REV" + Hex(pci.revision, 4), vidPid, base};
}

void RootHubPdo::Capabilities(DEVICE_CAPABILITIES& capabilities) const {
    capabilities.UniqueID = FALSE;
    capabilities.Removable = FALSE;
    capabilities.SurpriseRemovalOK = FALSE;
    capabilities.Address = 0;
}

bool RootHubPdo::BusInformation(PNP_BUS_INFORMATION& bus) const {
    bus.BusTypeGuid = GUID_BUS_TYPE_USB;
    bus.LegacyBusType = PNPBus;
    bus.BusNumber = 0;
    return true;
}

NTSTATUS RootHubPdo::OnStart() {
    m_interfaces.Enable(m_self, HubInterfaceGuid());
    m_controller->Model()->RootHub().SetPhysicalDeviceObject(m_self);
    return STATUS_SUCCESS;
}

void RootHubPdo::OnStop() {
    m_interfaces.DisableAll();
}

void RootHubPdo::OnDelete() {
    m_interfaces.DisableAll();
    m_controller->Model()->RootHub().SetPhysicalDeviceObject(nullptr);
    if (DeviceHandle* root = m_controller->RootHandle()) {
        m_controller->RemoveHandle(root, 0);
    }
}

NTSTATUS RootHubPdo::OnQueryInterface(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const auto& query = location->Parameters.QueryInterface;
    if (!query.InterfaceType || !query.Interface) {
        return irp->IoStatus.Status;
    }
    if (*query.InterfaceType == USB_BUS_INTERFACE_HUB_GUID) {
        return FillHubBusInterface(m_controller, query.Interface, query.Size, query.Version);
    }
    if (*query.InterfaceType == USB_BUS_INTERFACE_USBDI_GUID) {
        DeviceHandle* handle = m_controller->Acquire(query.InterfaceSpecificData);
        if (!handle) {
            handle = m_controller->Acquire(m_controller->RootHandle());
        }
        if (!handle) {
            return STATUS_DEVICE_NOT_CONNECTED;
        }
        NTSTATUS status = FillUsbdiInterface(handle, query.Interface, query.Size, query.Version);
        m_controller->Release(handle);
        return status;
    }
    return irp->IoStatus.Status;
}

NTSTATUS RootHubPdo::InternalDeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    auto& others = location->Parameters.Others;
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    switch (code) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB: {
        auto* urb = static_cast<PURB>(others.Argument1);
        if (!urb) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        PVOID pointer = urb->UrbHeader.UsbdDeviceHandle ? urb->UrbHeader.UsbdDeviceHandle : m_controller->RootHandle();
        DeviceHandle* handle = m_controller->Acquire(pointer);
        if (!handle) {
            urb->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
            return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
        }
        NTSTATUS status = m_controller->SubmitUrb(irp, urb, handle);
        m_controller->Release(handle);
        return status;
    }
    case IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO:
        if (others.Argument1) {
            *static_cast<PDEVICE_OBJECT*>(others.Argument1) = m_self;
        }
        if (others.Argument2) {
            *static_cast<PDEVICE_OBJECT*>(others.Argument2) = m_controller->Self();
        }
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE:
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX:
        return CompleteDeviceHandleRequest(irp, m_controller->RootHandle(), nullptr); // the root hub hangs on no hub
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        return CompletePortStatusRequest(irp, USBD_PORT_ENABLED | USBD_PORT_CONNECTED);
    case IOCTL_INTERNAL_USB_GET_HUB_COUNT:
        // Each device on the way counted the hub it hangs on; the root hub has none above it.
        return Complete(irp, others.Argument1 ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER);
    case IOCTL_INTERNAL_USB_GET_HUB_NAME: return CompleteWithName(irp, m_controller->RootHubLinkName(), true);
    case IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME:
        // The caller's USB_HUB_NAME is Argument1 and its size in bytes Argument2: no system buffer.
        return CompleteWithNameAt(irp, static_cast<UCHAR*>(others.Argument1),
                                  static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(others.Argument2)),
                                  m_controller->Name());
    case IOCTL_INTERNAL_USB_GET_BUS_INFO: {
        auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
        if (!buffer || location->Parameters.DeviceIoControl.OutputBufferLength < sizeof(USB_BUS_NOTIFICATION)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        USB_BUS_NOTIFICATION notification{};
        notification.NotificationType = AcquireBusInfo;
        notification.TotalBandwidth = m_controller->Model()->Type() == ControllerType::Ehci ? 480000 : 12000;
        notification.ControllerNameLength =
            static_cast<ULONG>((m_controller->Name().size() + 1) * sizeof(WCHAR) + sizeof(ULONG));
        std::memcpy(buffer, &notification, sizeof notification);
        return Complete(irp, STATUS_SUCCESS, sizeof notification);
    }
    case IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS: {
        auto* address = static_cast<PUSB_TOPOLOGY_ADDRESS>(others.Argument1);
        if (!address) {
            return Complete(irp, STATUS_INVALID_PARAMETER);
        }
        *address = USB_TOPOLOGY_ADDRESS{};
        address->PciDeviceNumber = m_controller->Model()->Pci().device;
        address->PciFunctionNumber = m_controller->Model()->Pci().function;
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_INTERNAL_USB_RESET_PORT:
    case IOCTL_INTERNAL_USB_ENABLE_PORT:
    case IOCTL_INTERNAL_USB_CYCLE_PORT:
    case IOCTL_INTERNAL_USB_RECORD_FAILURE: return Complete(irp, STATUS_SUCCESS);
    default: return Complete(irp, STATUS_NOT_SUPPORTED);
    }
}

} // namespace sim::drv
