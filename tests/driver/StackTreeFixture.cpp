#include "tests/driver/StackTreeFixture.h"

#include <algorithm>
#include <cstring>

#include "NtPnpControl.h"
#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "driver/core/Driver.h"

namespace drivertest {

namespace {

NTSTATUS BareDriverEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
    return STATUS_SUCCESS;
}

} // namespace

PDRIVER_OBJECT HandBuiltDevices::Driver(const std::u16string& service) {
    if (PDRIVER_OBJECT loaded = nt::pnp::LoadedDriver(service)) {
        return loaded;
    }
    nt::pnp::RegisterDriverImage(service, BareDriverEntry);
    PDRIVER_OBJECT driver = nullptr;
    EXPECT_EQ(nt::pnp::LoadDriver(service, &driver), STATUS_SUCCESS);
    m_drivers.push_back(service);
    return driver;
}

PDEVICE_OBJECT HandBuiltDevices::Device(const std::u16string& service, const char16_t* name, ULONG extensionSize) {
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name);
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(IoCreateDevice(Driver(service), extensionSize, name ? &deviceName : nullptr, FILE_DEVICE_UNKNOWN, 0,
                             FALSE, &device),
              STATUS_SUCCESS);
    if (device != nullptr) {
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        m_devices.push_back(device);
    }
    return device;
}

void HandBuiltDevices::Sign(PDEVICE_OBJECT device, ULONG offset, ULONG word) {
    std::memcpy(static_cast<UCHAR*>(device->DeviceExtension) + offset, &word, sizeof word);
}

void HandBuiltDevices::StorePointer(PDEVICE_OBJECT device, ULONG offset, const void* pointer) {
    std::memcpy(static_cast<UCHAR*>(device->DeviceExtension) + offset, &pointer, sizeof pointer);
}

void HandBuiltDevices::Attach(PDEVICE_OBJECT upper, PDEVICE_OBJECT lower) {
    ASSERT_NE(IoAttachDeviceToDeviceStack(upper, lower), nullptr);
}

void HandBuiltDevices::LeaveChain(PDEVICE_OBJECT device) {
    PDEVICE_OBJECT above = device->AttachedDevice;
    PDEVICE_OBJECT below = IoGetLowerDeviceObject(device);
    ASSERT_NE(below, nullptr);
    if (above != nullptr) {
        IoDetachDevice(device); // `above` leaves `device`
    }
    IoDetachDevice(below); // `device` leaves `below`
    if (above != nullptr) {
        ASSERT_NE(IoAttachDeviceToDeviceStack(above, below), nullptr);
    }
    ObDereferenceObject(below);
}

void HandBuiltDevices::DeleteAll() {
    // Tops of stacks first, so that each device is deleted with nothing above it.
    while (!m_devices.empty()) {
        auto top = std::find_if(m_devices.begin(), m_devices.end(),
                                [](PDEVICE_OBJECT device) { return device->AttachedDevice == nullptr; });
        if (top == m_devices.end()) {
            top = m_devices.begin();
        }
        PDEVICE_OBJECT device = *top;
        m_devices.erase(top);
        if (PDEVICE_OBJECT below = IoGetLowerDeviceObject(device)) {
            IoDetachDevice(below);
            ObDereferenceObject(below);
        }
        IoDeleteDevice(device);
    }
    for (auto it = m_drivers.rbegin(); it != m_drivers.rend(); ++it) {
        nt::pnp::UnloadDriver(*it);
    }
    m_drivers.clear();
}

PDEVICE_OBJECT StackBuilder::Named(const char16_t* driver, const char16_t* prefix) {
    if (prefix == nullptr) {
        return m_devices.Device(driver);
    }
    const unsigned index = m_names++;
    const std::u16string name = std::u16string(u"\\Device\\") + prefix + static_cast<char16_t>(u'A' + index % 26) +
                                static_cast<char16_t>(u'0' + index / 26 % 10);
    return m_devices.Device(driver, name.c_str());
}

BuiltStack StackBuilder::Chain(PDEVICE_OBJECT pdo, std::initializer_list<PDEVICE_OBJECT> above) {
    BuiltStack stack{pdo, above};
    for (PDEVICE_OBJECT device : above) {
        HandBuiltDevices::Attach(device, pdo);
    }
    return stack;
}

BuiltStack StackBuilder::HostController() {
    PDEVICE_OBJECT pdo = Named(u"pci", u"NTPNP_PCI");
    PDEVICE_OBJECT fdo = Named(u"usbehci", u"USBFDO-");
    HandBuiltDevices::Sign(fdo, 0, FourCC("HFDO"));
    return Chain(pdo, {fdo});
}

BuiltStack StackBuilder::RootHub() {
    PDEVICE_OBJECT pdo = Named(u"usbehci", u"USBPDO-");
    HandBuiltDevices::Sign(pdo, 0, FourCC("RPDO"));
    PDEVICE_OBJECT fdo = Named(u"usbhub", nullptr);
    HandBuiltDevices::Sign(fdo, 0, FourCC("HUB "));
    return Chain(pdo, {fdo});
}

BuiltStack StackBuilder::OnHubPort(const char16_t* function) {
    PDEVICE_OBJECT pdo = Named(u"usbhub", u"USBPDO-");
    HandBuiltDevices::Sign(pdo, 0, FourCC("HPDO"));
    PDEVICE_OBJECT fdo = Named(function, nullptr);
    if (std::u16string_view(function) == u"usbhub") {
        HandBuiltDevices::Sign(fdo, 0, FourCC("HUB "));
    }
    return Chain(pdo, {fdo});
}

BuiltStack StackBuilder::Interface(const char16_t* function) {
    PDEVICE_OBJECT pdo = Named(u"usbccgp", u"USBPDO-");
    return Chain(pdo, {Named(function, nullptr)});
}

BuiltStack StackBuilder::Plain(std::initializer_list<const char16_t*> drivers) {
    BuiltStack stack;
    for (const char16_t* driver : drivers) {
        PDEVICE_OBJECT device = Named(driver, stack.pdo == nullptr ? u"PLAIN-" : nullptr);
        if (stack.pdo == nullptr) {
            stack.pdo = device;
        } else {
            HandBuiltDevices::Attach(device, stack.pdo);
            stack.above.push_back(device);
        }
    }
    return stack;
}

std::string Text(const CHAR* field, size_t width) {
    return std::string(field, NodeStringLength(field, width));
}

NodeList ParseDevstkNodes(const std::vector<uint8_t>& bytes) {
    NodeList list;
    NodeListReader reader(bytes);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    bool kindsRight = true;
    while (reader.Next(kind, entry)) {
        if (kind == NODE_KIND_DEVSTK && entry.size() == sizeof(DEVSTK_NODE)) {
            ListedStack stack;
            std::memcpy(&stack.stack, entry.data(), sizeof stack.stack);
            list.stacks.push_back(stack);
        } else if (kind == NODE_KIND_DEVICE && entry.size() == sizeof(DEVICE_NODE) && !list.stacks.empty()) {
            DEVICE_NODE device;
            std::memcpy(&device, entry.data(), sizeof device);
            list.stacks.back().devices.push_back(device);
        } else {
            kindsRight = false;
        }
    }
    list.bytes = reader.Offset();
    list.wellFormed = kindsRight && reader.Ended() && !reader.Error();
    return list;
}

void StackTreeTest::TearDown() {
    Close();
    if (IsLoaded()) {
        nt::pnp::UnloadDriver(kService);
    }
    m_built.DeleteAll();
    LoadedDriver::TearDown();
}

void StackTreeTest::AddDevice(PDEVICE_OBJECT pdo) {
    ASSERT_EQ(DriverAddDevice(g_Driver.DriverObject, pdo), STATUS_SUCCESS);
}

NodeList StackTreeTest::FetchNodes(bool presentOnly) {
    const DWORD code = presentOnly ? IOCTL_TINDALOFT_DEVSTK_NODES_EX : IOCTL_TINDALOFT_DEVSTK_NODES;
    ULONG size = 0;
    IoctlResult query = Ioctl(code, nullptr, 0, &size, sizeof size);
    EXPECT_TRUE(query.ok) << query.error;
    EXPECT_EQ(query.bytes, sizeof size);
    // A 4-byte buffer would ask for the size again: an empty list is read with a larger one.
    std::vector<uint8_t> bytes(size == TINDALOFT_SIZE_QUERY_LENGTH ? 2 * size : size);
    IoctlResult data = Ioctl(code, nullptr, 0, bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_TRUE(data.ok) << data.error;
    EXPECT_EQ(data.bytes, size);
    bytes.resize(data.bytes);
    NodeList list = ParseDevstkNodes(bytes);
    EXPECT_TRUE(list.wellFormed);
    EXPECT_EQ(list.bytes, size);
    return list;
}

const ListedStack* StackTreeTest::StackOf(const NodeList& list, PDEVICE_OBJECT pdo) {
    for (const ListedStack& stack : list.stacks) {
        if (!stack.devices.empty() && stack.devices.front().DeviceObject == reinterpret_cast<ULONG_PTR>(pdo)) {
            return &stack;
        }
    }
    return nullptr;
}

IoctlResult StackTreeTest::Refresh() {
    return Ioctl(IOCTL_TINDALOFT_DEVSTK_REFRESH, nullptr, 0, nullptr, 0);
}

void StackTreeTest::EnableChangeLog() {
    const ULONG word = 0;
    const IoctlResult result = Ioctl(IOCTL_TINDALOFT_ENABLE_CLOG, &word, sizeof word, nullptr, 0);
    ASSERT_TRUE(result.ok) << result.error;
}

std::vector<drvlog_test::ReadRecord> StackTreeTest::ReadChangeLog() {
    return ReadLog(IOCTL_TINDALOFT_READ_CLOG);
}

} // namespace drivertest
