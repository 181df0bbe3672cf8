#include "tests/driver/HookTestFixture.h"

#include <algorithm>
#include <cstring>

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "common/FourCC.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "usbioctl.h"

namespace drivertest {

namespace {

RoutineLog g_routines;

VOID RoutineUnload(PDRIVER_OBJECT DriverObject) {
    g_routines.unloads.push_back(DriverObject);
}

NTSTATUS RoutineEntryWithUnload(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = RoutineDispatch;
    }
    DriverObject->DriverUnload = RoutineUnload;
    return STATUS_SUCCESS;
}

NTSTATUS RoutineEntryWithoutUnload(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = RoutineDispatch;
    }
    return STATUS_SUCCESS;
}

// Fills the answer of a hub's port query from the test's block and the port the caller asked about.
ULONG_PTR AnswerHubQuery(PIRP irp, PIO_STACK_LOCATION stack, NTSTATUS* status) {
    auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
    const ULONG length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: {
        if (length < g_routines.connectionBlock.size() || g_routines.connectionBlock.size() < sizeof(ULONG)) {
            *status = STATUS_BUFFER_TOO_SMALL;
            return 0;
        }
        std::memcpy(buffer + sizeof(ULONG), g_routines.connectionBlock.data() + sizeof(ULONG),
                    g_routines.connectionBlock.size() - sizeof(ULONG)); // the port number stays the caller's
        return g_routines.connectionBlock.size();
    }
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME: {
        static const char16_t key[] = u"{36fc9e60-c465-11cf-8056-444553540000}\\0007";
        const ULONG actual = 2 * sizeof(ULONG) + sizeof key;
        if (length < 2 * sizeof(ULONG)) {
            *status = STATUS_BUFFER_TOO_SMALL;
            return 0;
        }
        std::memcpy(buffer + sizeof(ULONG), &actual, sizeof actual);
        const ULONG room = length - 2 * sizeof(ULONG);
        std::memcpy(buffer + 2 * sizeof(ULONG), key, room < sizeof key ? room : sizeof key);
        return length;
    }
    }
    return 0;
}

} // namespace

RoutineLog& Routines() {
    return g_routines;
}

NTSTATUS RoutineDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    const bool control =
        stack->MajorFunction == IRP_MJ_DEVICE_CONTROL || stack->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    const bool own =
        static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(Irp->Tail.Overlay.DriverContext[0])) == KXTD_POOL_TAG;
    g_routines.calls.push_back({DeviceObject, stack->MajorFunction,
                                control ? stack->Parameters.DeviceIoControl.IoControlCode : 0, own,
                                stack->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL});
    NTSTATUS status = g_routines.answer;
    ULONG_PTR information = 0;
    if (NT_SUCCESS(status) && stack->MajorFunction == IRP_MJ_DEVICE_CONTROL) {
        information = AnswerHubQuery(Irp, stack, &status);
    }
    Irp->IoStatus.Status = status;
    Irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    if (g_routines.pendNext) {
        g_routines.pendNext = false;
        IoMarkIrpPending(Irp);
        IoCompleteRequest(Irp, IO_NO_INCREMENT);
        return STATUS_PENDING;
    }
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

SelectRequest SelectRequest::Configuration(PUSB_CONFIGURATION_DESCRIPTOR descriptor, ULONG_PTR configurationHandle,
                                           const std::vector<InterfaceSpec>& interfaces) {
    SelectRequest request;
    request.m_recordsOffset = offsetof(struct _URB_SELECT_CONFIGURATION, Interface);
    size_t size = request.m_recordsOffset;
    for (const InterfaceSpec& spec : interfaces) {
        size += offsetof(USBD_INTERFACE_INFORMATION, Pipes) + spec.pipes.size() * sizeof(USBD_PIPE_INFORMATION);
    }
    request.m_storage.assign((size + 7) / 8, 0);
    request.m_size = size;
    auto* urb = reinterpret_cast<struct _URB_SELECT_CONFIGURATION*>(request.m_storage.data());
    urb->Hdr.Length = static_cast<USHORT>(size);
    urb->Hdr.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    urb->ConfigurationDescriptor = descriptor;
    urb->ConfigurationHandle = reinterpret_cast<USBD_CONFIGURATION_HANDLE>(configurationHandle);
    auto* record = reinterpret_cast<uint8_t*>(request.m_storage.data()) + request.m_recordsOffset;
    for (const InterfaceSpec& spec : interfaces) {
        auto* info = reinterpret_cast<USBD_INTERFACE_INFORMATION*>(record);
        const size_t length =
            offsetof(USBD_INTERFACE_INFORMATION, Pipes) + spec.pipes.size() * sizeof(USBD_PIPE_INFORMATION);
        info->Length = static_cast<USHORT>(length);
        info->InterfaceNumber = spec.number;
        info->AlternateSetting = spec.alternate;
        info->Class = 3;
        info->InterfaceHandle = reinterpret_cast<USBD_INTERFACE_HANDLE>(spec.handle);
        info->NumberOfPipes = static_cast<ULONG>(spec.pipes.size());
        for (size_t i = 0; i < spec.pipes.size(); ++i) {
            USBD_PIPE_INFORMATION pipe{};
            pipe.MaximumPacketSize = spec.pipes[i].maxPacket;
            pipe.EndpointAddress = spec.pipes[i].endpoint;
            pipe.Interval = 10;
            pipe.PipeType = UsbdPipeTypeInterrupt;
            pipe.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(spec.pipes[i].handle);
            pipe.MaximumTransferSize = 4096;
            std::memcpy(record + offsetof(USBD_INTERFACE_INFORMATION, Pipes) + i * sizeof pipe, &pipe, sizeof pipe);
        }
        record += length;
    }
    request.Seal();
    return request;
}

SelectRequest SelectRequest::Interface(ULONG_PTR configurationHandle, const InterfaceSpec& interface) {
    // The select-interface URB has the configuration handle where the other has the descriptor pointer;
    // build the records the same way and move the head.
    SelectRequest request = Configuration(nullptr, 0, {interface});
    static_assert(offsetof(struct _URB_SELECT_INTERFACE, Interface) + sizeof(PVOID) ==
                  offsetof(struct _URB_SELECT_CONFIGURATION, Interface));
    auto* bytes = reinterpret_cast<uint8_t*>(request.m_storage.data());
    const size_t shift = sizeof(PVOID);
    std::memmove(bytes + offsetof(struct _URB_SELECT_INTERFACE, Interface),
                 bytes + offsetof(struct _URB_SELECT_CONFIGURATION, Interface),
                 request.m_size - offsetof(struct _URB_SELECT_CONFIGURATION, Interface));
    request.m_size -= shift;
    request.m_recordsOffset -= shift;
    auto* urb = reinterpret_cast<struct _URB_SELECT_INTERFACE*>(bytes);
    urb->Hdr.Length = static_cast<USHORT>(request.m_size);
    urb->Hdr.Function = URB_FUNCTION_SELECT_INTERFACE;
    urb->ConfigurationHandle = reinterpret_cast<USBD_CONFIGURATION_HANDLE>(configurationHandle);
    request.Seal();
    return request;
}

constexpr ULONG kRequestTag = FourCC("SelR");

void SelectRequest::PoolFree::operator()(uint8_t* bytes) const {
    ExFreePoolWithTag(bytes, kRequestTag);
}

void SelectRequest::Seal() {
    m_exact.reset(static_cast<uint8_t*>(ExAllocatePoolWithTag(NonPagedPoolNx, m_size, kRequestTag)));
    std::memcpy(m_exact.get(), m_storage.data(), m_size);
}

const struct _URB_SELECT_CONFIGURATION* SelectRequest::AsConfiguration() const {
    return reinterpret_cast<const struct _URB_SELECT_CONFIGURATION*>(m_exact.get());
}

const struct _URB_SELECT_INTERFACE* SelectRequest::AsInterface() const {
    return reinterpret_cast<const struct _URB_SELECT_INTERFACE*>(m_exact.get());
}

uint8_t* SelectRequest::Records() {
    return m_exact.get() + m_recordsOffset;
}

void SelectRequest::SetUrbLength(USHORT length) {
    std::memcpy(m_exact.get() + offsetof(struct _URB_HEADER, Length), &length, sizeof length);
}

ConfigurationBytes::ConfigurationBytes(USHORT total, UCHAR fill) : m_bytes(total, fill) {
    m_bytes[0] = 9;
    m_bytes[1] = USB_CONFIGURATION_DESCRIPTOR_TYPE;
    std::memcpy(&m_bytes[2], &total, sizeof total);
    nt::pool::RegisterRange(m_bytes.data(), m_bytes.size());
}

ConfigurationBytes::~ConfigurationBytes() {
    nt::pool::UnregisterRange(m_bytes.data(), m_bytes.size());
}

DriverNodeList ParseDriverNodes(const std::vector<uint8_t>& bytes) {
    DriverNodeList list;
    NodeListReader reader(bytes);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    bool kindsRight = true;
    while (reader.Next(kind, entry)) {
        if (kind == NODE_KIND_DRIVER && entry.size() == sizeof(DRIVER_NODE)) {
            ListedDriver driver;
            std::memcpy(&driver.driver, entry.data(), sizeof driver.driver);
            list.drivers.push_back(driver);
        } else if (kind == NODE_KIND_DEVICE && entry.size() == sizeof(DEVICE_NODE) && !list.drivers.empty()) {
            DEVICE_NODE device;
            std::memcpy(&device, entry.data(), sizeof device);
            list.drivers.back().devices.push_back(device);
        } else {
            kindsRight = false;
        }
    }
    list.bytes = reader.Offset();
    list.wellFormed = kindsRight && reader.Ended() && !reader.Error();
    return list;
}

void HookTest::SetUp() {
    g_routines = RoutineLog{};
    StackTreeTest::SetUp();
}

void HookTest::TearDown() {
    for (PDEVICE_STACK stack : m_stackRefs) {
        StackRelease(stack);
    }
    m_stackRefs.clear();
    // The capture driver first, so that it gives the routine drivers their entries back before they go.
    Close();
    if (IsLoaded()) {
        nt::pnp::UnloadDriver(kService);
    }
    while (!m_devices.empty()) {
        DeleteDevice(m_devices.back());
    }
    for (auto it = m_drivers.rbegin(); it != m_drivers.rend(); ++it) {
        nt::pnp::UnloadDriver(*it);
    }
    m_drivers.clear();
    StackTreeTest::TearDown();
}

PDRIVER_OBJECT HookTest::LoadRoutineDriver(const std::u16string& service, bool withUnload) {
    if (PDRIVER_OBJECT loaded = nt::pnp::LoadedDriver(service)) {
        return loaded;
    }
    nt::pnp::RegisterDriverImage(service, withUnload ? RoutineEntryWithUnload : RoutineEntryWithoutUnload);
    PDRIVER_OBJECT driver = nullptr;
    EXPECT_EQ(nt::pnp::LoadDriver(service, &driver), STATUS_SUCCESS);
    m_drivers.push_back(service);
    return driver;
}

PDEVICE_OBJECT HookTest::CreateDevice(const std::u16string& service, ULONG signature) {
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(
        IoCreateDevice(LoadRoutineDriver(service), kExtensionSize, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
        STATUS_SUCCESS);
    if (device != nullptr) {
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        if (signature != 0) {
            HandBuiltDevices::Sign(device, 0, signature);
        }
        m_devices.push_back(device);
    }
    return device;
}

void HookTest::DeleteDevice(PDEVICE_OBJECT device) {
    auto it = std::find(m_devices.begin(), m_devices.end(), device);
    ASSERT_NE(it, m_devices.end());
    m_devices.erase(it);
    if (PDEVICE_OBJECT above = device->AttachedDevice) {
        IoDetachDevice(device);
        (void)above;
    }
    if (PDEVICE_OBJECT below = IoGetLowerDeviceObject(device)) {
        IoDetachDevice(below);
        ObDereferenceObject(below);
    }
    IoDeleteDevice(device);
}

void HookTest::UnloadRoutineDriver(const std::u16string& service) {
    PDRIVER_OBJECT driver = nt::pnp::LoadedDriver(service);
    ASSERT_NE(driver, nullptr);
    std::vector<PDEVICE_OBJECT> own;
    for (PDEVICE_OBJECT device : m_devices) {
        if (device->DriverObject == driver) {
            own.push_back(device);
        }
    }
    for (PDEVICE_OBJECT device : own) {
        DeleteDevice(device);
    }
    nt::pnp::UnloadDriver(service);
    m_drivers.erase(std::find(m_drivers.begin(), m_drivers.end(), service));
}

BuiltStack HookTest::RoutineRootHub() {
    PDEVICE_OBJECT pdo = CreateDevice(u"usbehci", FourCC("RPDO"));
    PDEVICE_OBJECT fdo = CreateDevice(u"usbhub", FourCC("HUB "));
    HandBuiltDevices::Attach(fdo, pdo);
    return BuiltStack{pdo, {fdo}};
}

NTSTATUS HookTest::SendIoctl(PDEVICE_OBJECT device, ULONG code, void* buffer, ULONG length, bool internal) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK status = {};
    PIRP irp = IoBuildDeviceIoControlRequest(code, device, buffer, length, buffer, length, internal, &done, &status);
    EXPECT_NE(irp, nullptr);
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS returned = IoCallDriver(device, irp);
    if (returned == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        returned = status.Status;
    }
    return returned;
}

DriverNodeList HookTest::FetchDriverNodes() {
    ULONG size = 0;
    const IoctlResult query = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, &size, sizeof size);
    EXPECT_TRUE(query.ok) << query.error;
    EXPECT_EQ(query.bytes, sizeof size);
    std::vector<uint8_t> bytes(size);
    const IoctlResult data = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), size);
    EXPECT_TRUE(data.ok) << data.error;
    EXPECT_EQ(data.bytes, size);
    DriverNodeList list = ParseDriverNodes(bytes);
    EXPECT_TRUE(list.wellFormed);
    EXPECT_EQ(list.bytes, size);
    return list;
}

} // namespace drivertest

namespace drivertest {

USHORT HookTest::StackIdOf(PDEVICE_OBJECT pdo) {
    const NodeList list = FetchNodes();
    const ListedStack* listed = StackTreeTest::StackOf(list, pdo);
    return listed != nullptr ? listed->stack.StackID : 0;
}

PDEVICE_STACK HookTest::StackOf(PDEVICE_OBJECT pdo) {
    PDEVICE_STACK stack = nullptr;
    PDEVOBJ_NODE node = nullptr;
    EXPECT_TRUE(FindStackByPdo(pdo, &stack, &node));
    if (node != nullptr) {
        DeviceNodeRelease(node);
    }
    if (stack != nullptr) {
        m_stackRefs.push_back(stack);
    }
    return stack;
}

} // namespace drivertest
