// The bus interfaces of the port driver: the hub bus interface (versions 5 to 8) through which hub drivers
// create, initialise, query and remove the devices on their ports, and the USBDI interface of one device.
#include <algorithm>
#include <cstring>

#include "platform/sim/internal/UsbPort.h"
#include "usbioctl.h"

namespace sim::drv {

namespace {

HostController* ControllerOf(PVOID busContext) {
    return static_cast<HostController*>(busContext);
}

VOID NoReference(PVOID) {}

// Holds a referenced handle for the length of a routine.
class HeldHandle {
public:
    HeldHandle(HostController* controller, PVOID pointer)
        : m_controller(controller), m_handle(controller->Acquire(pointer)) {}
    ~HeldHandle() { m_controller->Release(m_handle); }
    HeldHandle(const HeldHandle&) = delete;
    HeldHandle& operator=(const HeldHandle&) = delete;
    DeviceHandle* operator->() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    DeviceHandle* get() const { return m_handle; }

private:
    HostController* m_controller;
    DeviceHandle* m_handle;
};

// --- Hub bus interface routines ---

NTSTATUS CreateUsbDevice(PVOID context, PUSB_DEVICE_HANDLE* newHandle, PUSB_DEVICE_HANDLE hubHandle, USHORT,
                         USHORT portNumber) {
    if (!newHandle) {
        return STATUS_INVALID_PARAMETER;
    }
    DeviceHandle* handle = nullptr;
    NTSTATUS status = ControllerOf(context)->CreateHandle(static_cast<DeviceHandle*>(hubHandle), portNumber, &handle);
    *newHandle = handle;
    return status;
}

NTSTATUS CreateUsbDeviceEx(PVOID context, PUSB_DEVICE_HANDLE* newHandle, PUSB_DEVICE_HANDLE hubHandle,
                           USHORT portStatus, USHORT portNumber, PUSB_CD_ERROR_INFORMATION error, USHORT) {
    NTSTATUS status = CreateUsbDevice(context, newHandle, hubHandle, portStatus, portNumber);
    if (error && !NT_SUCCESS(status)) {
        error->PathError =
            status == STATUS_INVALID_PARAMETER ? CreateDevBadHubDevHandle : CreateDevFailedAllocDevHandle;
        error->NtStatus = status;
    }
    return status;
}

NTSTATUS CreateUsbDeviceV7(PVOID context, PUSB_DEVICE_HANDLE* newHandle, PUSB_DEVICE_HANDLE hubHandle,
                           USHORT portStatus, PUSB_PORT_PATH portPath, PUSB_CD_ERROR_INFORMATION error,
                           USHORT ttPortNumber, PDEVICE_OBJECT, PUNICODE_STRING) {
    if (!portPath || portPath->PortPathDepth == 0 || portPath->PortPathDepth > 6) {
        return STATUS_INVALID_PARAMETER;
    }
    return CreateUsbDeviceEx(context, newHandle, hubHandle, portStatus,
                             static_cast<USHORT>(portPath->PortPath[portPath->PortPathDepth - 1]), error, ttPortNumber);
}

NTSTATUS InitializeUsbDevice(PVOID context, PUSB_DEVICE_HANDLE handle) {
    return ControllerOf(context)->InitializeHandle(static_cast<DeviceHandle*>(handle));
}

NTSTATUS InitializeUsbDeviceEx(PVOID context, PUSB_DEVICE_HANDLE handle, PUSB_ID_ERROR_INFORMATION error) {
    NTSTATUS status = InitializeUsbDevice(context, handle);
    if (error && !NT_SUCCESS(status)) {
        error->PathError = InitDevFailedSetAddress;
        error->NtStatus = status;
    }
    return status;
}

NTSTATUS GetUsbDescriptors(PVOID context, PUSB_DEVICE_HANDLE pointer, PUCHAR deviceBuffer, PULONG deviceLength,
                           PUCHAR configurationBuffer, PULONG configurationLength) {
    HeldHandle handle(ControllerOf(context), pointer);
    if (!handle || !handle->initialized) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (deviceBuffer && deviceLength) {
        *deviceLength = std::min<ULONG>(*deviceLength, sizeof(USB_DEVICE_DESCRIPTOR));
        std::memcpy(deviceBuffer, &handle->deviceDescriptor, *deviceLength);
    }
    if (configurationBuffer && configurationLength) {
        *configurationLength =
            std::min<ULONG>(*configurationLength, static_cast<ULONG>(handle->configurationDescriptor.size()));
        if (*configurationLength) {
            std::memcpy(configurationBuffer, handle->configurationDescriptor.data(), *configurationLength);
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS RemoveUsbDevice(PVOID context, PUSB_DEVICE_HANDLE handle, ULONG flags) {
    return ControllerOf(context)->RemoveHandle(static_cast<DeviceHandle*>(handle), flags);
}

NTSTATUS RestoreUsbDevice(PVOID context, PUSB_DEVICE_HANDLE oldHandle, PUSB_DEVICE_HANDLE newHandle) {
    HostController* controller = ControllerOf(context);
    {
        HeldHandle older(controller, oldHandle);
        HeldHandle newer(controller, newHandle);
        if (!older || !newer) {
            return STATUS_INVALID_PARAMETER;
        }
        newer->pdo = older->pdo;
    }
    return controller->RemoveHandle(static_cast<DeviceHandle*>(oldHandle), 0);
}

NTSTATUS GetPortHackFlags(PVOID, PULONG flags) {
    if (flags) {
        *flags = 0;
    }
    return STATUS_SUCCESS;
}

NTSTATUS QueryDeviceInformation(PVOID context, PUSB_DEVICE_HANDLE pointer, PVOID buffer, ULONG length, PULONG copied) {
    HostController* controller = ControllerOf(context);
    HeldHandle handle(controller, pointer);
    if (copied) {
        *copied = 0;
    }
    if (!handle) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (!buffer || length < offsetof(USB_DEVICE_INFORMATION_0, PipeList)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* info = static_cast<PUSB_DEVICE_INFORMATION_0>(buffer);
    if (info->InformationLevel != 0) {
        return STATUS_NOT_SUPPORTED;
    }
    std::vector<USB_PIPE_INFO> pipes = controller->OpenPipes(handle.get());
    const ULONG needed = static_cast<ULONG>(
        std::max(sizeof(USB_DEVICE_INFORMATION_0),
                 offsetof(USB_DEVICE_INFORMATION_0, PipeList) + pipes.size() * sizeof(USB_PIPE_INFORMATION_0)));
    info->ActualLength = needed;
    if (length < needed) {
        if (copied) {
            *copied = sizeof(ULONG) * 2;
        }
        return STATUS_BUFFER_TOO_SMALL;
    }
    info->PortNumber = handle->port;
    info->DeviceDescriptor = handle->deviceDescriptor;
    info->CurrentConfigurationValue = handle->device->Configuration();
    info->ReservedMBZ = 0;
    info->DeviceAddress = handle->address;
    info->HubAddress = handle->hub ? handle->hub->address : 0;
    info->DeviceSpeed = handle->speed;
    info->DeviceType = handle->speed >= UsbHighSpeed ? Usb20Device : Usb11Device;
    info->NumberOfOpenPipes = static_cast<ULONG>(pipes.size());
    for (size_t i = 0; i < pipes.size(); ++i) {
        USB_PIPE_INFORMATION_0 pipe{};
        pipe.EndpointDescriptor = pipes[i].EndpointDescriptor;
        pipe.ScheduleOffset = pipes[i].ScheduleOffset;
        std::memcpy(&info->PipeList[i], &pipe, sizeof pipe);
    }
    if (copied) {
        *copied = needed;
    }
    return STATUS_SUCCESS;
}

NTSTATUS GetControllerInformation(PVOID context, PVOID buffer, ULONG length, PULONG copied) {
    HostController* controller = ControllerOf(context);
    if (copied) {
        *copied = 0;
    }
    if (!buffer || length < sizeof(ULONG) * 2) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    ULONG level;
    std::memcpy(&level, buffer, sizeof level);
    const ControllerType type = controller->Model()->Type();
    USB_CONTROLLER_INFORMATION_1 info{};
    info.InformationLevel = level;
    info.SelectiveSuspendEnabled = FALSE;
    info.IsHighSpeedController = type == ControllerType::Ehci || type == ControllerType::Xhci;
    info.HcBusDevice = controller->Model()->Pci().device;
    info.HcBusFunction = controller->Model()->Pci().function;
    ULONG needed;
    switch (level) {
    case 0: needed = sizeof(USB_CONTROLLER_INFORMATION_0); break;
    case 1: needed = sizeof(USB_CONTROLLER_INFORMATION_1); break;
    default: return STATUS_NOT_SUPPORTED;
    }
    info.ActualLength = needed;
    if (length < needed) {
        std::memcpy(buffer, &info, sizeof(ULONG) * 2);
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, &info, needed);
    if (copied) {
        *copied = needed;
    }
    return STATUS_SUCCESS;
}

NTSTATUS ControllerSelectiveSuspend(PVOID, BOOLEAN) {
    return STATUS_SUCCESS;
}

NTSTATUS GetExtendedHubInformation(PVOID context, PDEVICE_OBJECT hubPdo, PVOID buffer, ULONG length, PULONG copied) {
    HostController* controller = ControllerOf(context);
    if (copied) {
        *copied = 0;
    }
    if (!controller->RootHub() || hubPdo != controller->RootHub()->Self()) {
        return STATUS_NOT_SUPPORTED; // only the root hub's ports are described by the platform
    }
    if (!buffer || length < sizeof(USB_EXTHUB_INFORMATION_0)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* info = static_cast<PUSB_EXTHUB_INFORMATION_0>(buffer);
    if (info->InformationLevel != 0) {
        return STATUS_NOT_SUPPORTED;
    }
    const int ports = controller->Model()->RootHub().PortCount();
    info->NumberOfPorts = static_cast<ULONG>(ports);
    for (int i = 0; i < ports && i < USB_MAXCHILDREN; ++i) {
        info->Port[i] = USB_EXTPORT_INFORMATION_0{};
        info->Port[i].PhysicalPortNumber = static_cast<ULONG>(i + 1);
        info->Port[i].PortLabelNumber = static_cast<ULONG>(i + 1);
    }
    if (copied) {
        *copied = sizeof(USB_EXTHUB_INFORMATION_0);
    }
    return STATUS_SUCCESS;
}

NTSTATUS GetRootHubSymbolicName(PVOID context, PVOID buffer, ULONG length, PULONG actualLength) {
    std::u16string name = ControllerOf(context)->RootHubLinkName();
    const ULONG needed = static_cast<ULONG>((name.size() + 1) * sizeof(WCHAR));
    if (actualLength) {
        *actualLength = needed;
    }
    if (name.empty()) {
        return STATUS_UNSUCCESSFUL;
    }
    if (!buffer || length < needed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, name.c_str(), needed);
    return STATUS_SUCCESS;
}

PVOID GetDeviceBusContext(PVOID, PVOID deviceHandle) {
    return deviceHandle;
}

NTSTATUS Initialize20Hub(PVOID context, PUSB_DEVICE_HANDLE hubHandle, ULONG) {
    return ControllerOf(context)->IsHandle(hubHandle) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

NTSTATUS RootHubInitNotification(PVOID, PVOID callbackContext, PRH_INIT_CALLBACK callback) {
    // The simulated controllers have no companion controllers to wait for: the root hub may start at once.
    if (callback) {
        callback(callbackContext);
    }
    return STATUS_SUCCESS;
}

VOID FlushTransfers(PVOID, PVOID) {}

VOID SetDeviceHandleData(PVOID context, PVOID pointer, PDEVICE_OBJECT pdo) {
    HeldHandle handle(ControllerOf(context), pointer);
    if (handle) {
        handle->pdo = pdo;
        handle->device->SetPhysicalDeviceObject(pdo);
    }
}

BOOLEAN HubIsRoot(PVOID context, PVOID deviceObject) {
    RootHubPdo* root = ControllerOf(context)->RootHub();
    return root && root->Self() == deviceObject;
}

VOID AcquireBusSemaphore(PVOID context) {
    KeWaitForSingleObject(&ControllerOf(context)->m_busSemaphore, Executive, KernelMode, FALSE, nullptr);
}

VOID ReleaseBusSemaphore(PVOID context) {
    KeReleaseSemaphore(&ControllerOf(context)->m_busSemaphore, IO_NO_INCREMENT, 1, FALSE);
}

ULONG CalculatePipeBandwidth(PVOID, PUSBD_PIPE_INFORMATION pipe, USB_DEVICE_SPEED speed) {
    if (!pipe || pipe->PipeType == UsbdPipeTypeBulk || pipe->PipeType == UsbdPipeTypeControl) {
        return 0;
    }
    // Bits per frame the endpoint reserves: its packet and the protocol overhead, scaled by speed.
    const ULONG overhead = speed == UsbLowSpeed ? 13 : 9;
    return (pipe->MaximumPacketSize + overhead) * 8 * (speed == UsbLowSpeed ? 8 : 1);
}

VOID SetBusSystemWakeMode(PVOID, ULONG) {}
VOID SetDeviceFlag(PVOID, GUID*, PVOID, ULONG) {}
NTSTATUS HubTestPoint(PVOID, PVOID, ULONG, PVOID) {
    return STATUS_SUCCESS;
}

NTSTATUS GetDevicePerformanceInfo(PVOID context, PUSB_DEVICE_HANDLE pointer, PVOID buffer, ULONG length,
                                  PULONG copied) {
    HeldHandle handle(ControllerOf(context), pointer);
    if (copied) {
        *copied = 0;
    }
    if (!handle) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (!buffer || length < sizeof(USB_DEVICE_PERFORMANCE_INFO_0)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* info = static_cast<PUSB_DEVICE_PERFORMANCE_INFO_0>(buffer);
    if (info->InformationLevel != 0) {
        return STATUS_NOT_SUPPORTED;
    }
    *info = USB_DEVICE_PERFORMANCE_INFO_0{};
    info->ActualLength = sizeof(USB_DEVICE_PERFORMANCE_INFO_0);
    if (copied) {
        *copied = sizeof(USB_DEVICE_PERFORMANCE_INFO_0);
    }
    return STATUS_SUCCESS;
}

NTSTATUS WaitAsyncPowerUp(PVOID) {
    return STATUS_SUCCESS;
}

NTSTATUS GetDeviceAddress(PVOID context, PUSB_DEVICE_HANDLE pointer, PUSHORT address) {
    HeldHandle handle(ControllerOf(context), pointer);
    if (!handle || !address) {
        return STATUS_INVALID_PARAMETER;
    }
    *address = handle->address;
    return STATUS_SUCCESS;
}

NTSTATUS RefDeviceHandle(PVOID context, PUSB_DEVICE_HANDLE pointer, PVOID, ULONG) {
    // The reference stays with the caller until DerefDeviceHandle.
    return ControllerOf(context)->Acquire(pointer) ? STATUS_SUCCESS : STATUS_DEVICE_NOT_CONNECTED;
}

VOID DerefDeviceHandle(PVOID context, PUSB_DEVICE_HANDLE pointer, PVOID, ULONG) {
    auto* handle = static_cast<DeviceHandle*>(pointer);
    if (handle && handle->signature == kDeviceHandleWord) {
        ControllerOf(context)->Release(handle);
    }
}

ULONG SetDeviceHandleIdleReadyState(PVOID, PUSB_DEVICE_HANDLE, ULONG) {
    return 0;
}

NTSTATUS GetContainerIdForPort(PVOID, USHORT, GUID* containerId) {
    if (containerId) {
        *containerId = GUID{};
    }
    return STATUS_NOT_SUPPORTED;
}

VOID SetContainerIdForPort(PVOID, USHORT, GUID*) {}

NTSTATUS AbortAllDevicePipes(PVOID context, PUSB_DEVICE_HANDLE pointer) {
    HostController* controller = ControllerOf(context);
    HeldHandle handle(controller, pointer);
    if (!handle) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    controller->AbortPipes(handle.get());
    return STATUS_SUCCESS;
}

VOID SetDeviceErrataFlag(PVOID, PUSB_DEVICE_HANDLE, ULONG) {}
NTSTATUS SetMsOs20Support(PVOID, PUSB_DEVICE_HANDLE, UCHAR) {
    return STATUS_SUCCESS;
}
VOID SetClearRootPortResumeTime(PVOID, PUSB_DEVICE_HANDLE, BOOLEAN, UCHAR) {}

// --- USBDI routines (the bus context is the device handle) ---

DeviceHandle* HandleOf(PVOID busContext) {
    return static_cast<DeviceHandle*>(busContext);
}

VOID UsbdiReference(PVOID context) {
    ++HandleOf(context)->references;
}
VOID UsbdiDereference(PVOID context) {
    HandleOf(context)->controller->Release(HandleOf(context));
}

USHORT SupportedUsb(const DeviceHandle* handle) {
    switch (handle->controller->Model()->Type()) {
    case ControllerType::Xhci: return 0x0300;
    case ControllerType::Ehci: return 0x0200;
    default: return 0x0110;
    }
}

VOID GetUsbdiVersion(PVOID context, PUSBD_VERSION_INFORMATION version, PULONG capabilities) {
    if (version) {
        version->USBDI_Version = HandleOf(context)->controller->Layout().usbdiVersion;
        version->Supported_USB_Version = SupportedUsb(HandleOf(context));
    }
    if (capabilities) {
        *capabilities = 0;
    }
}

NTSTATUS QueryBusTime(PVOID, PULONG frame) {
    if (!frame) {
        return STATUS_INVALID_PARAMETER;
    }
    *frame = static_cast<ULONG>(KeQueryInterruptTime() / 10000);
    return STATUS_SUCCESS;
}

NTSTATUS SubmitIsoOutUrb(PVOID, PURB) {
    return STATUS_NOT_SUPPORTED;
}

NTSTATUS QueryBusInformation(PVOID context, ULONG level, PVOID buffer, PULONG bufferLength, PULONG actualLength) {
    HostController* controller = HandleOf(context)->controller;
    const std::u16string& name = controller->Name();
    const ULONG bandwidth = controller->Model()->Type() == ControllerType::Ehci ? 480000 : 12000;
    ULONG needed;
    if (level == 0) {
        needed = sizeof(USB_BUS_INFORMATION_LEVEL_0);
    } else if (level == 1) {
        needed = static_cast<ULONG>(offsetof(USB_BUS_INFORMATION_LEVEL_1, ControllerNameUnicodeString) +
                                    (name.size() + 1) * sizeof(WCHAR));
    } else {
        return STATUS_NOT_SUPPORTED;
    }
    if (actualLength) {
        *actualLength = needed;
    }
    if (!buffer || !bufferLength || *bufferLength < needed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    auto* bytes = static_cast<UCHAR*>(buffer);
    ULONG total = bandwidth;
    ULONG consumed = 0;
    std::memcpy(bytes, &total, sizeof total);
    std::memcpy(bytes + 4, &consumed, sizeof consumed);
    if (level == 1) {
        ULONG nameLength = static_cast<ULONG>((name.size() + 1) * sizeof(WCHAR));
        std::memcpy(bytes + 8, &nameLength, sizeof nameLength);
        std::memcpy(bytes + 12, name.c_str(), nameLength);
    }
    *bufferLength = needed;
    return STATUS_SUCCESS;
}

BOOLEAN IsDeviceHighSpeed(PVOID context) {
    return HandleOf(context)->speed >= UsbHighSpeed;
}
NTSTATUS EnumLogEntry(PVOID, ULONG, ULONG, ULONG, ULONG) {
    return STATUS_SUCCESS;
}

NTSTATUS QueryBusTimeEx(PVOID, PULONG counter) {
    if (!counter) {
        return STATUS_INVALID_PARAMETER;
    }
    *counter = static_cast<ULONG>(KeQueryInterruptTime() / 1250); // microframes of 125 us
    return STATUS_SUCCESS;
}

NTSTATUS QueryControllerType(PVOID context, PULONG flags, PUSHORT vendorId, PUSHORT deviceId, PUCHAR pciClass,
                             PUCHAR pciSubClass, PUCHAR revision, PUCHAR programmingInterface) {
    HostControllerModel* model = HandleOf(context)->controller->Model();
    const ULONG classCode = model->ClassCode();
    if (flags) {
        *flags = model->Type() == ControllerType::Ehci || model->Type() == ControllerType::Xhci
                     ? USB_HCDI_OPTION_FLAG_HIGH_SPEED
                     : 0;
    }
    if (vendorId) {
        *vendorId = model->Pci().vendorId;
    }
    if (deviceId) {
        *deviceId = model->Pci().deviceId;
    }
    if (pciClass) {
        *pciClass = static_cast<UCHAR>(classCode >> 16);
    }
    if (pciSubClass) {
        *pciSubClass = static_cast<UCHAR>(classCode >> 8);
    }
    if (revision) {
        *revision = model->Pci().revision;
    }
    if (programmingInterface) {
        *programmingInterface = static_cast<UCHAR>(classCode);
    }
    return STATUS_SUCCESS;
}

} // namespace

USHORT HubBusInterfaceSize(USHORT version) {
    switch (version) {
    case 5: return sizeof(USB_BUS_INTERFACE_HUB_V5);
    case 6: return sizeof(USB_BUS_INTERFACE_HUB_V6);
    case 7: return sizeof(USB_BUS_INTERFACE_HUB_V7);
    default: return sizeof(USB_BUS_INTERFACE_HUB_V8);
    }
}

USHORT UsbdiInterfaceSize(USHORT version) {
    switch (version) {
    case 0: return sizeof(USB_BUS_INTERFACE_USBDI_V0);
    case 1: return sizeof(USB_BUS_INTERFACE_USBDI_V1);
    case 2: return sizeof(USB_BUS_INTERFACE_USBDI_V2);
    default: return sizeof(USB_BUS_INTERFACE_USBDI_V3);
    }
}

NTSTATUS FillHubBusInterface(HostController* controller, PINTERFACE interface, USHORT size, USHORT version) {
    if (version < USB_BUSIF_HUB_VERSION_5 || version > controller->Layout().hubBusInterfaceVersion) {
        return STATUS_NOT_SUPPORTED;
    }
    const USHORT needed = HubBusInterfaceSize(version);
    if (size < needed) {
        return STATUS_INVALID_PARAMETER;
    }
    USB_BUS_INTERFACE_HUB_V8 table{};
    table.Size = needed;
    table.Version = version;
    table.BusContext = controller;
    table.InterfaceReference = NoReference;
    table.InterfaceDereference = NoReference;
    table.CreateUsbDevice = CreateUsbDevice;
    table.InitializeUsbDevice = InitializeUsbDevice;
    table.GetUsbDescriptors = GetUsbDescriptors;
    table.RemoveUsbDevice = RemoveUsbDevice;
    table.RestoreUsbDevice = RestoreUsbDevice;
    table.GetPortHackFlags = GetPortHackFlags;
    table.QueryDeviceInformation = QueryDeviceInformation;
    table.GetControllerInformation = GetControllerInformation;
    table.ControllerSelectiveSuspend = ControllerSelectiveSuspend;
    table.GetExtendedHubInformation = GetExtendedHubInformation;
    table.GetRootHubSymbolicName = GetRootHubSymbolicName;
    table.GetDeviceBusContext = GetDeviceBusContext;
    table.Initialize20Hub = Initialize20Hub;
    table.RootHubInitNotification = RootHubInitNotification;
    table.FlushTransfers = FlushTransfers;
    table.SetDeviceHandleData = SetDeviceHandleData;
    table.CreateUsbDeviceEx = CreateUsbDeviceEx;
    table.InitializeUsbDeviceEx = InitializeUsbDeviceEx;
    table.HubIsRoot = HubIsRoot;
    table.AcquireBusSemaphore = AcquireBusSemaphore;
    table.ReleaseBusSemaphore = ReleaseBusSemaphore;
    table.CalculatePipeBandwidth = CalculatePipeBandwidth;
    table.SetBusSystemWakeMode = SetBusSystemWakeMode;
    table.SetDeviceFlag = SetDeviceFlag;
    table.HubTestPoint = HubTestPoint;
    table.GetDevicePerformanceInfo = GetDevicePerformanceInfo;
    table.WaitAsyncPowerUp = WaitAsyncPowerUp;
    table.GetDeviceAddress = GetDeviceAddress;
    table.RefDeviceHandle = RefDeviceHandle;
    table.DerefDeviceHandle = DerefDeviceHandle;
    table.SetDeviceHandleIdleReadyState = SetDeviceHandleIdleReadyState;
    table.CreateUsbDeviceV7 = CreateUsbDeviceV7;
    table.GetContainerIdForPort = GetContainerIdForPort;
    table.SetContainerIdForPort = SetContainerIdForPort;
    table.AbortAllDevicePipes = AbortAllDevicePipes;
    table.SetDeviceErrataFlag = SetDeviceErrataFlag;
    table.SetMsOs20Support = SetMsOs20Support;
    table.SetClearRootPortResumeTime = SetClearRootPortResumeTime;
    std::memcpy(interface, &table, needed);
    return STATUS_SUCCESS;
}

NTSTATUS FillUsbdiInterface(DeviceHandle* handle, PINTERFACE interface, USHORT size, USHORT version) {
    if (version > handle->controller->Layout().usbdiInterfaceVersion) {
        return STATUS_NOT_SUPPORTED;
    }
    const USHORT needed = UsbdiInterfaceSize(version);
    if (size < needed) {
        return STATUS_INVALID_PARAMETER;
    }
    USB_BUS_INTERFACE_USBDI_V3 table{};
    table.Size = needed;
    table.Version = version;
    table.BusContext = handle;
    table.InterfaceReference = UsbdiReference;
    table.InterfaceDereference = UsbdiDereference;
    table.GetUSBDIVersion = GetUsbdiVersion;
    table.QueryBusTime = QueryBusTime;
    table.SubmitIsoOutUrb = SubmitIsoOutUrb;
    table.QueryBusInformation = QueryBusInformation;
    table.IsDeviceHighSpeed = IsDeviceHighSpeed;
    table.EnumLogEntry = EnumLogEntry;
    table.QueryBusTimeEx = QueryBusTimeEx;
    table.QueryControllerType = QueryControllerType;
    std::memcpy(interface, &table, needed);
    UsbdiReference(handle); // the caller's reference, dropped through InterfaceDereference
    return STATUS_SUCCESS;
}

} // namespace sim::drv
