// The hub's functional device object: start, port status and enumeration, the status-change transfer.
#include "platform/sim/internal/HubFdo.h"

#include <algorithm>
#include <cstring>

#include "NtText.h"
#include "platform/sim/UsbHubModel.h"
#include "platform/sim/internal/Composite.h"
#include "platform/sim/internal/PoolMemory.h"
#include "platform/sim/internal/UsbPort.h"

namespace sim::drv {

namespace {

const int kFlavorKey = 0;
constexpr ULONG kHubTag = SignatureWord("SimH");

// Hub numbers ("Hub_#0003" in locations) of the hubs now running; the first free one is taken.
std::mutex g_hubNumberLock;
std::vector<bool> g_hubNumbers;

int TakeHubNumber() {
    std::lock_guard guard(g_hubNumberLock);
    for (size_t i = 0; i < g_hubNumbers.size(); ++i) {
        if (!g_hubNumbers[i]) {
            g_hubNumbers[i] = true;
            return static_cast<int>(i + 1);
        }
    }
    g_hubNumbers.push_back(true);
    return static_cast<int>(g_hubNumbers.size());
}

void GiveHubNumber(int number) {
    std::lock_guard guard(g_hubNumberLock);
    if (number >= 1 && static_cast<size_t>(number) <= g_hubNumbers.size()) {
        g_hubNumbers[static_cast<size_t>(number) - 1] = false;
    }
}

bool IsCompositeDevice(PDEVICE_OBJECT pdo) {
    for (const std::u16string& id : DevicePropertyList(pdo, DevicePropertyCompatibleIDs)) {
        if (nt::text::EqualsIgnoreCase(id, u"USB\\COMPOSITE")) {
            return true;
        }
    }
    return false;
}

NTSTATUS AddHub(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    auto* flavor = static_cast<HubFlavor*>(IoGetDriverObjectExtension(driver, const_cast<int*>(&kFlavorKey)));
    if (!flavor) {
        return STATUS_NO_SUCH_DEVICE;
    }
    if (*flavor == HubFlavor::Usb20 && IsCompositeDevice(pdo)) {
        return AddCompositeParent(driver, pdo, CompositeKind::HubDriver);
    }
    HubFlavor kind = *flavor;
    return FunctionDevice::Add(driver, pdo, FILE_DEVICE_USB, [kind, pdo](PDEVICE_OBJECT self, PDEVICE_OBJECT lower) {
        return new HubFdo(self, pdo, lower, kind);
    });
}

NTSTATUS HubEntry(PDRIVER_OBJECT driver, HubFlavor flavor) {
    PVOID extension = nullptr;
    NTSTATUS status =
        IoAllocateDriverObjectExtension(driver, const_cast<int*>(&kFlavorKey), sizeof(HubFlavor), &extension);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    *static_cast<HubFlavor*>(extension) = flavor;
    return SetUpDriver(driver, AddHub);
}

} // namespace

NTSTATUS UsbHubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return HubEntry(driver, HubFlavor::Usb20);
}
NTSTATUS VendorUsb3HubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return HubEntry(driver, HubFlavor::VendorUsb3);
}
NTSTATUS InboxUsb3HubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return HubEntry(driver, HubFlavor::InboxUsb3);
}

std::u16string ReadString(UrbClient& client, UCHAR index) {
    if (!index) {
        return {};
    }
    Bytes bytes;
    if (!NT_SUCCESS(client.GetDescriptor(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, USB_STRING_DESCRIPTOR_TYPE, index,
                                         0x0409, bytes, MAXIMUM_USB_STRING_LENGTH)) ||
        bytes.size() < 2) {
        return {};
    }
    size_t length = std::min<size_t>(bytes[0], bytes.size());
    std::u16string text;
    for (size_t i = 2; i + 1 < length; i += 2) {
        text.push_back(static_cast<char16_t>(ReadU16(&bytes[i])));
    }
    return text;
}

HubFdo::HubFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower, HubFlavor flavor)
    : FunctionDevice(self, pdo, lower), m_flavor(flavor), m_layout(CurrentLayout()) {
    KeInitializeEvent(&m_changeIdle, NotificationEvent, TRUE);
    // From AddDevice on, as the hub driver's extension has it (the class filter's AddDevice follows at once).
    if (m_flavor == HubFlavor::Usb20) {
        WriteAreaWord(m_self, m_layout.hubSignature, SignatureWord("HUB "));
    }
}

HubFdo::~HubFdo() {
    if (m_changeIrp) {
        IoFreeIrp(m_changeIrp);
    }
    if (m_changeUrb) {
        ExFreePoolWithTag(m_changeUrb, kHubTag);
    }
    if (m_changeBuffer) {
        ExFreePoolWithTag(m_changeBuffer, kHubTag);
    }
}

NTSTATUS HubFdo::OnStart() {
    const USHORT version = m_layout.hubBusInterfaceVersion;
    NTSTATUS status = QueryInterface(m_lower, USB_BUS_INTERFACE_HUB_GUID, HubBusInterfaceSize(version), version,
                                     reinterpret_cast<PINTERFACE>(&m_bus));
    if (!NT_SUCCESS(status)) {
        return status;
    }
    SendInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, &m_rootHubPdo, &m_controllerFdo);
    status = SendInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &m_handle);
    if (!NT_SUCCESS(status) || !m_rootHubPdo) {
        return NT_SUCCESS(status) ? STATUS_NO_SUCH_DEVICE : status;
    }
    // HubIsRoot came with version 6; before it a root hub is the one whose device is the root hub's.
    m_root = m_bus.Version >= USB_BUSIF_HUB_VERSION_6 ? m_bus.HubIsRoot(m_bus.BusContext, m_pdo) != FALSE
                                                      : m_pdo == m_rootHubPdo;

    UrbClient client(m_lower);
    Bytes configuration;
    if (!NT_SUCCESS(status = client.DeviceDescriptor(m_deviceDescriptor)) ||
        !NT_SUCCESS(status = client.ConfigurationDescriptor(configuration))) {
        return status;
    }
    m_superSpeed = m_deviceDescriptor.bcdUSB >= 0x0300;
    if (m_superSpeed) {
        Bytes bos;
        client.BosDescriptor(bos);
    }
    if (!NT_SUCCESS(status = client.SelectConfiguration(configuration, {}, m_configuration))) {
        return status;
    }
    m_busPowered = (configuration[7] & USB_CONFIG_SELF_POWERED) == 0;

    const UCHAR type = m_superSpeed ? USB_30_HUB_DESCRIPTOR_TYPE : USB_20_HUB_DESCRIPTOR_TYPE;
    m_hubDescriptor.assign(m_superSpeed ? sizeof(USB_30_HUB_DESCRIPTOR) : sizeof(USB_HUB_DESCRIPTOR), 0);
    ULONG length = static_cast<ULONG>(m_hubDescriptor.size());
    status = client.ClassRequest(URB_FUNCTION_CLASS_DEVICE, true, USB_REQUEST_GET_DESCRIPTOR,
                                 static_cast<USHORT>(type << 8), 0, m_hubDescriptor.data(), &length);
    if (!NT_SUCCESS(status) || length < 3) {
        return NT_SUCCESS(status) ? STATUS_DEVICE_DATA_ERROR : status;
    }
    m_hubDescriptor.resize(length);
    const int ports = m_hubDescriptor[2];
    {
        std::lock_guard guard(m_portLock);
        m_ports.assign(static_cast<size_t>(ports), nullptr);
        m_failed.assign(static_cast<size_t>(ports), false);
        m_cycle.assign(static_cast<size_t>(ports), false);
    }
    if (!m_root && !m_superSpeed && m_deviceDescriptor.bDeviceProtocol != 0) {
        m_bus.Initialize20Hub(m_bus.BusContext, m_handle, 1);
    }
    for (int port = 1; port <= ports; ++port) {
        PortFeature(true, USB_PORT_FEATURE_PORT_POWER, port);
    }
    m_hubNumber = TakeHubNumber();

    m_changeIrp = IoAllocateIrp(m_lower->StackSize, FALSE);
    m_changeUrb =
        static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), kHubTag));
    m_changeBuffer = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, 32, kHubTag));
    if (!m_changeIrp || !m_changeUrb || !m_changeBuffer) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    m_firstQuery = true;
    PostStatusChange();
    return STATUS_SUCCESS;
}

void HubFdo::OnStop() {
    m_stopping = true;
    if (m_changeState == kPosted) {
        IoCancelIrp(m_changeIrp);
    }
    KeWaitForSingleObject(&m_changeIdle, Executive, KernelMode, FALSE, nullptr);
}

void HubFdo::OnRemove() {
    m_worker.Stop();
    {
        std::lock_guard guard(m_portLock);
        m_ports.clear();
    }
    if (m_hubNumber) {
        GiveHubNumber(m_hubNumber);
        m_hubNumber = 0;
    }
}

NTSTATUS HubFdo::PortStatus(int port, USHORT& status, USHORT& change) {
    UCHAR bytes[4] = {};
    ULONG length = sizeof bytes;
    NTSTATUS result = UrbClient(m_lower).ClassRequest(URB_FUNCTION_CLASS_OTHER, true, USB_REQUEST_GET_STATUS, 0,
                                                      static_cast<USHORT>(port), bytes, &length);
    if (NT_SUCCESS(result) && length < sizeof bytes) {
        result = STATUS_DEVICE_DATA_ERROR;
    }
    status = ReadU16(bytes);
    change = ReadU16(bytes + 2);
    return result;
}

NTSTATUS HubFdo::PortFeature(bool set, USHORT feature, int port) {
    ULONG length = 0;
    return UrbClient(m_lower).ClassRequest(URB_FUNCTION_CLASS_OTHER, false,
                                           set ? USB_REQUEST_SET_FEATURE : USB_REQUEST_CLEAR_FEATURE, feature,
                                           static_cast<USHORT>(port), nullptr, &length);
}

void HubFdo::PostStatusChange() {
    USBD_PIPE_HANDLE pipe = m_configuration.Pipe(UsbHubModel::kStatusEndpoint);
    if (!m_changeIrp || !pipe || m_stopping || m_changeState == kPosted) {
        return; // a posted transfer completes with the next change
    }
    // A transfer whose completion routine still runs is ours again as soon as the routine is done.
    KeWaitForSingleObject(&m_changeIdle, Executive, KernelMode, FALSE, nullptr);
    IoReuseIrp(m_changeIrp, STATUS_SUCCESS); // the hub's own request, as it was allocated
    std::memset(m_changeUrb, 0, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    const ULONG bytes = static_cast<ULONG>(m_ports.size() + 8) / 8;
    UsbBuildInterruptOrBulkTransferRequest(m_changeUrb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe, m_changeBuffer,
                                           nullptr, bytes, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                           nullptr);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(m_changeIrp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = m_changeUrb;
    IoSetCompletionRoutine(m_changeIrp, StatusChangeDone, this, TRUE, TRUE, TRUE);
    KeClearEvent(&m_changeIdle);
    m_changeState = kPosted;
    IoCallDriver(m_lower, m_changeIrp);
}

NTSTATUS HubFdo::StatusChangeDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* hub = static_cast<HubFdo*>(context);
    hub->m_changeState = kCompleting;
    // A port changed: the ports are read again when the manager asks for the hub's children, and the transfer
    // is sent again after that (which waits for this routine to end).
    if (NT_SUCCESS(irp->IoStatus.Status) && !hub->m_stopping) {
        IoInvalidateDeviceRelations(hub->m_pdo, BusRelations);
    }
    hub->m_changeState = kIdle;
    KeSetEvent(&hub->m_changeIdle, IO_NO_INCREMENT, FALSE); // the last touch: the hub may go from here on
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void HubFdo::Enumerate() {
    if (!m_started || m_stopping) {
        return;
    }
    if (m_firstQuery) {
        // Right after the start the hub has not looked at its ports yet; it asks to be enumerated again once
        // its status-change endpoint reports the connections.
        m_firstQuery = false;
        return;
    }
    const int ports = static_cast<int>(m_hubDescriptor.size() > 2 ? m_hubDescriptor[2] : 0);
    for (int port = 1; port <= ports; ++port) {
        USHORT status = 0;
        USHORT change = 0;
        if (!NT_SUCCESS(PortStatus(port, status, change))) {
            continue;
        }
        static constexpr USHORT kChangeFeatures[] = {
            USB_PORT_FEATURE_C_PORT_CONNECTION,   USB_PORT_FEATURE_C_PORT_ENABLE,      USB_PORT_FEATURE_C_PORT_SUSPEND,
            USB_PORT_FEATURE_C_PORT_OVER_CURRENT, USB_PORT_FEATURE_C_PORT_RESET,       USB_PORT_FEATURE_C_BH_PORT_RESET,
            USB_PORT_FEATURE_C_PORT_LINK_STATE,   USB_PORT_FEATURE_C_PORT_CONFIG_ERROR};
        for (int bit = 0; bit < 8; ++bit) {
            if (change & (1 << bit)) {
                PortFeature(false, kChangeFeatures[bit], port);
            }
        }
        const bool connected = (status & 0x0001) != 0;
        bool reconnected = (change & 0x0001) != 0;
        // The end of a port's suspension (USB 2.0), or its link back in U0 (SuperSpeed).
        const bool resumed = (change & (m_superSpeed ? 0x0040 : 0x0004)) != 0;
        PortPdo* gone = nullptr;
        PortPdo* woken = nullptr;
        bool enumerate = false;
        {
            std::lock_guard guard(m_portLock);
            PortPdo*& child = m_ports[static_cast<size_t>(port) - 1];
            if (m_cycle[static_cast<size_t>(port) - 1]) {
                m_cycle[static_cast<size_t>(port) - 1] = false;
                reconnected = true; // the device leaves and is enumerated anew
            }
            if (resumed && child && !reconnected) {
                woken = child; // (the manager's thread, on which children are removed: it stays)
            }
            if (child && (!connected || reconnected)) {
                gone = child;
                child = nullptr;
            }
            if (!connected || reconnected) {
                m_failed[static_cast<size_t>(port) - 1] = false;
            }
            enumerate = connected && !child && !m_failed[static_cast<size_t>(port) - 1];
        }
        if (woken) {
            woken->OnPortResumed();
        }
        if (gone) {
            ChildGone(gone);
        }
        if (enumerate) {
            EnumeratePort(port);
        }
    }
    PostStatusChange();
}

NTSTATUS HubFdo::SuspendPort(int port, bool suspend) {
    if (!m_superSpeed) {
        return PortFeature(suspend, USB_PORT_FEATURE_PORT_SUSPEND, port);
    }
    ULONG length = 0;
    const USHORT index = static_cast<USHORT>(port | (suspend ? 3 : 0) << 8); // link state U3 or U0
    return UrbClient(m_lower).ClassRequest(URB_FUNCTION_CLASS_OTHER, false, USB_REQUEST_SET_FEATURE,
                                           USB_PORT_FEATURE_PORT_LINK_STATE, index, nullptr, &length);
}

void HubFdo::CyclePort(int port) {
    {
        std::lock_guard guard(m_portLock);
        if (port < 1 || static_cast<size_t>(port) > m_cycle.size()) {
            return;
        }
        m_cycle[static_cast<size_t>(port) - 1] = true;
    }
    // The port is disabled; the device comes back with the next enumeration.
    PortFeature(false, USB_PORT_FEATURE_PORT_ENABLE, port);
    IoInvalidateDeviceRelations(m_pdo, BusRelations);
}

NTSTATUS HubFdo::ProbeStatusEndpoint(ULONG* state) {
    PoolBuffer descriptor(sizeof(USB_ENDPOINT_DESCRIPTOR));
    PoolBuffer urb(sizeof(URB));
    if (!descriptor || !urb) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* endpoint = descriptor.As<USB_ENDPOINT_DESCRIPTOR>();
    endpoint->bLength = sizeof(USB_ENDPOINT_DESCRIPTOR);
    endpoint->bDescriptorType = USB_ENDPOINT_DESCRIPTOR_TYPE;
    endpoint->bEndpointAddress = UsbHubModel::kStatusEndpoint;
    endpoint->bmAttributes = USB_ENDPOINT_TYPE_INTERRUPT;
    endpoint->wMaxPacketSize = 2;
    endpoint->bInterval = 12;
    UrbClient client(m_rootHubPdo, m_handle);
    PURB request = urb.As<URB>();
    request->UrbHeader.Length = sizeof(_URB_OPEN_ENDPOINT);
    request->UrbHeader.Function = URB_FUNCTION_OPEN_ENDPOINT;
    request->UrbOpenEndpoint.EndpointDescriptor = endpoint;
    NTSTATUS status = client.Submit(request);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    PVOID opened = request->UrbOpenEndpoint.HcdEndpoint;
    std::memset(request, 0, sizeof(URB));
    request->UrbHeader.Length = sizeof(_URB_GET_ENDPOINT_STATE);
    request->UrbHeader.Function = URB_FUNCTION_GET_ENDPOINT_STATE;
    request->UrbGetEndpointState.HcdEndpoint = opened;
    status = client.Submit(request);
    if (state) {
        *state = NT_SUCCESS(status) ? request->UrbGetEndpointState.Flags : 0;
    }
    std::memset(request, 0, sizeof(URB));
    request->UrbHeader.Length = sizeof(_URB_CLOSE_ENDPOINT);
    request->UrbHeader.Function = URB_FUNCTION_CLOSE_ENDPOINT;
    request->UrbCloseEndpoint.HcdEndpoint = opened;
    NTSTATUS closed = client.Submit(request);
    return NT_SUCCESS(status) ? closed : status;
}

NTSTATUS HubProbeStatusEndpoint(PDEVICE_OBJECT hubPdo, ULONG* state) {
    for (PDEVICE_OBJECT device = hubPdo; device; device = device->AttachedDevice) {
        if (auto* hub = dynamic_cast<HubFdo*>(ContextOf(device))) {
            return hub->ProbeStatusEndpoint(state);
        }
    }
    return STATUS_NO_SUCH_DEVICE;
}

void HubFdo::EnumeratePort(int port) {
    auto fail = [&] {
        std::lock_guard guard(m_portLock);
        m_failed[static_cast<size_t>(port) - 1] = true;
    };
    USHORT status = 0;
    USHORT change = 0;
    PortFeature(true, USB_PORT_FEATURE_PORT_RESET, port);
    if (!NT_SUCCESS(PortStatus(port, status, change)) || !(status & 0x0002)) {
        return fail();
    }
    PortFeature(false, USB_PORT_FEATURE_C_PORT_RESET, port);

    PVOID context = m_bus.BusContext;
    PUSB_DEVICE_HANDLE handle = nullptr;
    NTSTATUS result;
    if (m_bus.Version >= USB_BUSIF_HUB_VERSION_6) {
        USB_CD_ERROR_INFORMATION error{};
        error.Version = 1;
        result = m_bus.CreateUsbDeviceEx(context, &handle, m_handle, status, static_cast<USHORT>(port), &error, 0);
        if (NT_SUCCESS(result)) {
            USB_ID_ERROR_INFORMATION initError{};
            initError.Version = 1;
            result = m_bus.InitializeUsbDeviceEx(context, handle, &initError);
        }
    } else {
        result = m_bus.CreateUsbDevice(context, &handle, m_handle, status, static_cast<USHORT>(port));
        if (NT_SUCCESS(result)) {
            result = m_bus.InitializeUsbDevice(context, handle);
        }
    }
    if (!NT_SUCCESS(result)) {
        if (handle) {
            m_bus.RemoveUsbDevice(context, handle, 0);
        }
        return fail();
    }

    PortPdo::Identity identity;
    ULONG deviceLength = sizeof identity.device;
    UCHAR header[sizeof(USB_CONFIGURATION_DESCRIPTOR)] = {};
    ULONG configurationLength = sizeof header;
    result = m_bus.GetUsbDescriptors(context, handle, reinterpret_cast<PUCHAR>(&identity.device), &deviceLength, header,
                                     &configurationLength);
    if (NT_SUCCESS(result) && configurationLength == sizeof header) {
        identity.configuration.resize(ReadU16(header + 2));
        configurationLength = static_cast<ULONG>(identity.configuration.size());
        deviceLength = sizeof identity.device;
        result = m_bus.GetUsbDescriptors(context, handle, reinterpret_cast<PUCHAR>(&identity.device), &deviceLength,
                                         identity.configuration.data(), &configurationLength);
        identity.configuration.resize(configurationLength);
    }
    USB_DEVICE_INFORMATION_0 information{};
    ULONG copied = 0;
    if (NT_SUCCESS(result) &&
        NT_SUCCESS(m_bus.QueryDeviceInformation(context, handle, &information, sizeof information, &copied))) {
        identity.speed = information.DeviceSpeed;
    }
    if (NT_SUCCESS(result)) {
        UrbClient device(m_rootHubPdo, handle);
        identity.product = ReadString(device, identity.device.iProduct);
        identity.serial = ReadString(device, identity.device.iSerialNumber);
    }
    PDEVICE_OBJECT pdo = nullptr;
    if (NT_SUCCESS(result)) {
        result = CreateNumberedDevice(m_self->DriverObject, u"\\Device\\USBPDO-", FILE_DEVICE_USB, 0, &pdo);
    }
    if (!NT_SUCCESS(result)) {
        m_bus.RemoveUsbDevice(context, handle, 0);
        return fail();
    }
    pdo->StackSize = m_self->StackSize;
    pdo->Flags |= DO_POWER_PAGABLE;
    if (m_flavor == HubFlavor::Usb20) {
        WriteAreaWord(pdo, m_layout.portSignature, m_layout.portSignatureWord);
        WriteAreaPointer(pdo, m_layout.deviceHandlePointer, handle);
    }
    auto* child = new PortPdo(pdo, this, port, handle, std::move(identity));
    if (!child) {
        IoDeleteDevice(pdo);
        m_bus.RemoveUsbDevice(context, handle, 0);
        return fail();
    }
    m_bus.SetDeviceHandleData(context, handle, pdo);
    {
        std::lock_guard guard(m_portLock);
        m_ports[static_cast<size_t>(port) - 1] = child;
    }
    AddChild(child);
}

} // namespace sim::drv
