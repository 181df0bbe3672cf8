// The bus interfaces of the port driver as hub drivers and class drivers get them with IRP_MN_QUERY_INTERFACE:
// the hub bus interface in the versions each release offers, whose routines work on the devices of the hub
// that asked, and the USBDI interface of one device.
#include <algorithm>
#include <cstring>
#include <memory>

#include "NtText.h"
#include "tests/support/MachineFixture.h"
#include "usbbusif.h"
#include "usbioctl.h"

namespace {

using nt::version::Release;

struct VersionCase {
    Release release;
    const char* name;
    USHORT highest; // the newest version the release's port driver offers
};

const VersionCase kVersions[] = {
    {Release::WindowsXP, "WindowsXP", 5},
    {Release::VistaSP2, "VistaSP2", 6},
    {Release::Windows7, "Windows7", 7},
    {Release::Windows8, "Windows8", 8},
};

USHORT SizeOf(USHORT version) {
    switch (version) {
    case 5: return sizeof(USB_BUS_INTERFACE_HUB_V5);
    case 6: return sizeof(USB_BUS_INTERFACE_HUB_V6);
    case 7: return sizeof(USB_BUS_INTERFACE_HUB_V7);
    default: return sizeof(USB_BUS_INTERFACE_HUB_V8);
    }
}

class HubBusInterface : public tdl::test::MachineTest, public ::testing::WithParamInterface<VersionCase> {
protected:
    NTSTATUS Query(USHORT version, USB_BUS_INTERFACE_HUB_V8& table, USHORT size = 0) {
        table = USB_BUS_INTERFACE_HUB_V8{};
        return tdl::test::QueryInterface(Pdo("hub"), USB_BUS_INTERFACE_HUB_GUID, size ? size : SizeOf(version), version,
                                         reinterpret_cast<PINTERFACE>(&table));
    }
};

TEST_P(HubBusInterface, OffersItsVersionsAndNoOthers) {
    BootDefault(GetParam().release);
    USB_BUS_INTERFACE_HUB_V8 table;
    for (USHORT version = 4; version <= 9; ++version) {
        const bool offered = version >= 5 && version <= GetParam().highest;
        EXPECT_EQ(Query(version, table), offered ? STATUS_SUCCESS : STATUS_NOT_SUPPORTED) << "version " << version;
        if (offered) {
            EXPECT_EQ(table.Version, version);
            EXPECT_EQ(table.Size, SizeOf(version));
            // Nothing is written past the size asked for.
            const auto* bytes = reinterpret_cast<const UCHAR*>(&table);
            EXPECT_TRUE(std::all_of(bytes + SizeOf(version), bytes + sizeof table, [](UCHAR b) { return b == 0; }));
        }
    }
    EXPECT_EQ(Query(5, table, SizeOf(5) - 8), STATUS_INVALID_PARAMETER) << "a table too small for the version";
}

TEST_P(HubBusInterface, RoutinesWorkOnTheHubsDevices) {
    BootDefault(GetParam().release);
    const USHORT version = GetParam().highest;
    USB_BUS_INTERFACE_HUB_V8 bus;
    ASSERT_EQ(Query(version, bus), STATUS_SUCCESS);
    PVOID context = bus.BusContext;

    PVOID keyboard = nullptr;
    ASSERT_EQ(tdl::test::InternalRequest(Pdo("keyboard"), IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &keyboard),
              STATUS_SUCCESS);
    ASSERT_NE(keyboard, nullptr);

    std::vector<UCHAR> raw(sizeof(USB_DEVICE_INFORMATION_0) + 4 * sizeof(USB_PIPE_INFORMATION_0));
    ULONG copied = 0;
    ASSERT_EQ(bus.QueryDeviceInformation(context, keyboard, raw.data(), static_cast<ULONG>(raw.size()), &copied),
              STATUS_SUCCESS);
    USB_DEVICE_INFORMATION_0 info;
    std::memcpy(&info, raw.data(), sizeof info);
    EXPECT_EQ(copied, info.ActualLength);
    EXPECT_EQ(info.PortNumber, 1u);
    EXPECT_EQ(info.DeviceDescriptor.idProduct, 0x0102);
    EXPECT_EQ(info.CurrentConfigurationValue, 1);
    EXPECT_EQ(info.DeviceSpeed, UsbFullSpeed);
    EXPECT_EQ(info.NumberOfOpenPipes, 1u);

    // Too small for the pipe list: the length it needs, and no more.
    USB_DEVICE_INFORMATION_0 small{};
    EXPECT_EQ(
        bus.QueryDeviceInformation(context, keyboard, &small, offsetof(USB_DEVICE_INFORMATION_0, PipeList), &copied),
        STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small.ActualLength, info.ActualLength);

    UCHAR device[18];
    ULONG deviceLength = sizeof device;
    UCHAR configuration[256];
    ULONG configurationLength = sizeof configuration;
    ASSERT_EQ(bus.GetUsbDescriptors(context, keyboard, device, &deviceLength, configuration, &configurationLength),
              STATUS_SUCCESS);
    const sim::DescriptorSet& descriptors = m_machine->Device("keyboard")->Descriptors();
    EXPECT_EQ(sim::Bytes(device, device + deviceLength), descriptors.device);
    EXPECT_EQ(sim::Bytes(configuration, configuration + configurationLength), descriptors.configurations[0]);

    USB_CONTROLLER_INFORMATION_0 controller{};
    ASSERT_EQ(bus.GetControllerInformation(context, &controller, sizeof controller, &copied), STATUS_SUCCESS);
    EXPECT_TRUE(controller.IsHighSpeedController);

    WCHAR name[256] = {};
    ULONG nameLength = 0;
    ASSERT_EQ(bus.GetRootHubSymbolicName(context, name, sizeof name, &nameLength), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(name).rfind(u"USB#ROOT_HUB20#", 0), 0u);

    PDEVICE_OBJECT rootHub = m_machine->Controller("ehci")->RootHub().PhysicalDeviceObject();
    auto extended = std::make_unique<USB_EXTHUB_INFORMATION_0>();
    extended->InformationLevel = 0;
    EXPECT_EQ(bus.GetExtendedHubInformation(context, rootHub, extended.get(), sizeof *extended, &copied),
              STATUS_SUCCESS);
    EXPECT_EQ(extended->NumberOfPorts, 6u);
    EXPECT_EQ(bus.GetExtendedHubInformation(context, Pdo("hub"), extended.get(), sizeof *extended, &copied),
              STATUS_NOT_SUPPORTED)
        << "only the root hub's ports are described";

    if (version >= 6) {
        EXPECT_TRUE(bus.HubIsRoot(context, rootHub));
        EXPECT_FALSE(bus.HubIsRoot(context, Pdo("hub")));
        USHORT address = 0;
        EXPECT_EQ(bus.GetDeviceAddress(context, keyboard, &address), STATUS_SUCCESS);
        EXPECT_EQ(address, info.DeviceAddress);
    }

    // A handle the port driver does not know is refused, not followed.
    UCHAR bogus[64] = {};
    EXPECT_EQ(bus.QueryDeviceInformation(context, bogus, raw.data(), static_cast<ULONG>(raw.size()), &copied),
              STATUS_DEVICE_NOT_CONNECTED);
    PVOID created = nullptr;
    PVOID hub = nullptr;
    ASSERT_EQ(tdl::test::InternalRequest(Pdo("hub"), IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &hub), STATUS_SUCCESS);
    EXPECT_EQ(bus.CreateUsbDevice(context, &created, hub, 0, 4), STATUS_DEVICE_NOT_CONNECTED) << "port 4 is free";
}

INSTANTIATE_TEST_SUITE_P(Releases, HubBusInterface, ::testing::ValuesIn(kVersions),
                         [](const auto& test) { return std::string(test.param.name); });

class UsbdiInterface : public tdl::test::MachineTest {};

TEST_F(UsbdiInterface, DescribesTheDeviceItWasAskedFor) {
    BootDefault(Release::Windows7);
    for (const auto& [device, highSpeed] : {std::pair{"stick", true}, std::pair{"keyboard", false}}) {
        USB_BUS_INTERFACE_USBDI_V3 usbdi{};
        ASSERT_EQ(tdl::test::QueryInterface(Pdo(device), USB_BUS_INTERFACE_USBDI_GUID, sizeof usbdi, 3,
                                            reinterpret_cast<PINTERFACE>(&usbdi)),
                  STATUS_SUCCESS);
        EXPECT_EQ(usbdi.IsDeviceHighSpeed(usbdi.BusContext), highSpeed) << device;
        USBD_VERSION_INFORMATION version{};
        ULONG capabilities = 1;
        usbdi.GetUSBDIVersion(usbdi.BusContext, &version, &capabilities);
        EXPECT_EQ(version.USBDI_Version, 0x600u);
        EXPECT_EQ(version.Supported_USB_Version, 0x200u);
        USHORT vendor = 0;
        UCHAR programmingInterface = 0;
        EXPECT_EQ(usbdi.QueryControllerType(usbdi.BusContext, nullptr, &vendor, nullptr, nullptr, nullptr, nullptr,
                                            &programmingInterface),
                  STATUS_SUCCESS);
        EXPECT_EQ(vendor, 0x7A51);
        EXPECT_EQ(programmingInterface, 0x20) << "EHCI";
        usbdi.InterfaceDereference(usbdi.BusContext);
    }
}

} // namespace
