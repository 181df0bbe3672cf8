// The default machine as the Plug and Play manager brings it up: the order in which the USB setup class's
// upper filter sees the devices, the identity of each device node (IDs, driver, class, description, driver
// key), and what the object manager and the interface classes show of the controllers and hubs.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "NtObjectNamespace.h"
#include "NtText.h"
#include "devguid.h"
#include "tests/support/MachineFixture.h"
#include "usbiodef.h"

namespace {

using nt::version::Release;
using tdl::test::MachineTest;

// A class filter that records what it is given, as the capture driver would be.
std::mutex g_recordLock;
std::vector<std::string> g_record;

void Record(std::string entry) {
    std::lock_guard guard(g_recordLock);
    g_record.push_back(std::move(entry));
}

NTSTATUS RecordAddDevice(PDRIVER_OBJECT, PDEVICE_OBJECT pdo) {
    Record(nt::text::Utf16ToUtf8(tdl::test::Property(pdo, DevicePropertyHardwareID)));
    return STATUS_SUCCESS;
}

void RecordUnload(PDRIVER_OBJECT) {}

NTSTATUS RecordEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    Record(nt::pnp::DeviceNodes().empty() ? "entry before any device" : "entry after devices");
    driver->DriverExtension->AddDevice = RecordAddDevice;
    driver->DriverUnload = RecordUnload;
    return STATUS_SUCCESS;
}

class EnumerationOrder : public MachineTest, public ::testing::WithParamInterface<Release> {
protected:
    void SetUp() override {
        std::lock_guard guard(g_recordLock);
        g_record.clear();
    }
};

TEST_P(EnumerationOrder, ControllersThenRootHubsThenHubsAndDevicesAsTheirHubsReportThem) {
    BootDefault(GetParam(), RecordEntry);
    const std::vector<std::string> expected = {
        "entry before any device",
        // The controllers, in PCI order...
        "PCI\\VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01",
        "PCI\\VEN_7A51&DEV_0C30&SUBSYS_00017A51&REV_01",
        "PCI\\VEN_7A51&DEV_0C31&SUBSYS_00017A51&REV_01",
        "PCI\\VEN_7A51&DEV_0C33&SUBSYS_00017A51&REV_01",
        // ... their root hubs ...
        "USB\\ROOT_HUB20&VID7A51&PID0C32&REV0001",
        "USB\\ROOT_HUB&VID7A51&PID0C30&REV0001",
        "USB\\ROOT_HUB&VID7A51&PID0C31&REV0001",
        "NUSB3\\ROOT_HUB30&VID7A51&PID0C33&REV0001",
        // ... what the root hubs report (the mouse is no USB-class device) ...
        "USB\\VID_7A51&PID_2040&REV_0100",
        "USB\\VID_7A51&PID_1001&REV_0100",
        "USB\\VID_7A51&PID_FF01&REV_0100",
        "NUSB3\\VID_7A51&PID_3040&REV_0100",
        // ... and what the hubs report (the keyboard and the composite's HID function are HID-class devices).
        "USB\\VID_7A51&PID_0701&REV_0100",
        "USB\\VID_7A51&PID_0C01&REV_0100",
        "USB\\VID_7A51&PID_0C01&REV_0100&MI_01",
        "USB\\VID_7A51&PID_3001&REV_0100",
    };
    std::lock_guard guard(g_recordLock);
    EXPECT_EQ(g_record, expected);
}

INSTANTIATE_TEST_SUITE_P(Releases, EnumerationOrder, ::testing::Values(Release::Windows7, Release::WindowsXP),
                         [](const auto& test) { return test.param == Release::Windows7 ? "Windows7" : "WindowsXP"; });

struct NodeCase {
    const char16_t* instance; // prefix of the instance path
    const char16_t* service;
    const char16_t* className;
    const char16_t* description;
    const char16_t* compatibleId; // one the node must report (empty: none)
};

class Identity : public MachineTest {};

TEST_F(Identity, EveryNodeHasItsIdsDriverClassAndDescription) {
    BootDefault(Release::Windows7);
    const NodeCase cases[] = {
        {u"PCI\\VEN_7A51&DEV_0C32", u"usbehci", u"USB", u"Standard Enhanced PCI to USB Host Controller",
         u"PCI\\CC_0C0320"},
        {u"PCI\\VEN_7A51&DEV_0C30", u"usbuhci", u"USB", u"Standard Universal PCI to USB Host Controller",
         u"PCI\\CC_0C0300"},
        {u"PCI\\VEN_7A51&DEV_0C33", u"nusb3xhc", u"USB", u"USB 3.0 eXtensible Host Controller", u"PCI\\CC_0C0330"},
        {u"USB\\ROOT_HUB20\\", u"usbhub", u"USB", u"USB Root Hub", u""},
        {u"NUSB3\\ROOT_HUB30\\", u"nusb3hub", u"USB", u"USB 3.0 Root Hub", u""},
        {u"USB\\VID_7A51&PID_2040\\", u"usbhub", u"USB", u"Generic USB Hub", u"USB\\Class_09&SubClass_00&Prot_01"},
        {u"NUSB3\\VID_7A51&PID_3040\\", u"nusb3hub", u"USB", u"USB 3.0 Hub", u"NUSB3\\Class_09"},
        {u"USB\\VID_7A51&PID_0101\\", u"hidusb", u"HIDClass", u"USB Input Device",
         u"USB\\Class_03&SubClass_01&Prot_02"},
        {u"HID\\VID_7A51&PID_0101\\", u"mouhid", u"Mouse", u"HID-compliant mouse", u""},
        {u"HID\\VID_7A51&PID_0102\\", u"kbdhid", u"Keyboard", u"HID Keyboard Device", u""},
        {u"USB\\VID_7A51&PID_1001\\SIM0001A2B3C", u"usbstor", u"USB", u"USB Mass Storage Device",
         u"USB\\Class_08&SubClass_06&Prot_50"},
        {u"USBSTOR\\Disk&Ven_Sim&Prod_Flash_Disk&Rev_1.00\\SIM0001A2B3C&0", u"disk", u"DiskDrive", u"Disk drive",
         u"USBSTOR\\Disk"},
        {u"USB\\VID_7A51&PID_0701\\PRN0001", u"usbprint", u"USB", u"USB Printing Support",
         u"USB\\Class_07&SubClass_01&Prot_02"},
        {u"USB\\VID_7A51&PID_0C01\\", u"usbccgp", u"USB", u"USB Composite Device", u"USB\\COMPOSITE"},
        {u"USB\\VID_7A51&PID_0C01&MI_00\\", u"hidusb", u"HIDClass", u"USB Input Device", u"USB\\Class_03"},
        {u"USB\\VID_7A51&PID_0C01&MI_01\\", u"usbstor", u"USB", u"USB Mass Storage Device", u"USB\\Class_08"},
        {u"USB\\VID_7A51&PID_FF01\\", u"winusb", u"USB", u"WinUSB Device", u"USB\\Class_FF&SubClass_00&Prot_00"},
        {u"USB\\VID_7A51&PID_3001\\SIM3000D4E5F", u"usbstor", u"USB", u"USB Mass Storage Device", u"USB\\Class_08"},
    };
    for (const NodeCase& c : cases) {
        SCOPED_TRACE(nt::text::Utf16ToUtf8(c.instance));
        PDEVICE_OBJECT pdo = tdl::test::NodePdo(c.instance);
        ASSERT_NE(pdo, nullptr);
        auto nodes = nt::pnp::DeviceNodes();
        auto node = std::find_if(nodes.begin(), nodes.end(), [pdo](const auto& n) { return n.pdo == pdo; });
        EXPECT_EQ(node->service, c.service);
        EXPECT_TRUE(node->started);
        EXPECT_EQ(tdl::test::Property(pdo, DevicePropertyClassName), c.className);
        EXPECT_EQ(tdl::test::Property(pdo, DevicePropertyDeviceDescription), c.description);
        std::u16string key = tdl::test::Property(pdo, DevicePropertyDriverKeyName);
        EXPECT_EQ(key.size(), 38u + 5) << "{class GUID}\\nnnn";
        if (*c.compatibleId) {
            auto ids = tdl::test::PropertyList(pdo, DevicePropertyCompatibleIDs);
            EXPECT_NE(std::find(ids.begin(), ids.end(), std::u16string(c.compatibleId)), ids.end());
        }
    }
}

TEST_F(Identity, ControllersAndHubsHaveTheirInterfacesAndLegacyNames) {
    BootDefault(Release::Windows7);
    auto count = [](const GUID& guid) {
        PWSTR list = nullptr;
        if (!NT_SUCCESS(IoGetDeviceInterfaces(&guid, nullptr, 0, &list))) {
            return size_t{0};
        }
        size_t n = 0;
        for (PWSTR p = list; *p; p += std::char_traits<char16_t>::length(p) + 1) {
            ++n;
        }
        ExFreePool(list);
        return n;
    };
    const GUID vendorController = {0xAC051B02, 0x603B, 0x4B3C, {0xB1, 0x4B, 0x95, 0xC9, 0x26, 0x8D, 0xE0, 0x81}};
    const GUID vendorHub = {0xC7426F31, 0x6B8E, 0x47D5, {0xBA, 0xE8, 0x35, 0xFA, 0xF7, 0xFF, 0x53, 0xD9}};
    EXPECT_EQ(count(GUID_DEVINTERFACE_USB_HOST_CONTROLLER), 3u); // EHCI, UHCI, OHCI
    EXPECT_EQ(count(vendorController), 1u);                      // the vendor's xHCI
    EXPECT_EQ(count(GUID_DEVINTERFACE_USB_HUB), 4u);             // three root hubs and the USB 2.0 hub
    EXPECT_EQ(count(vendorHub), 2u);                             // the xHCI root hub and the SuperSpeed hub
    EXPECT_EQ(count(GUID_DEVINTERFACE_USB_DEVICE), 9u);          // every device on a hub port

    // HCDn names the controllers' functional devices, in the order they started.
    for (int n = 0; n < 4; ++n) {
        nt::ob::Entry link;
        std::u16string name = u"\\DosDevices\\HCD" + std::u16string(1, static_cast<char16_t>(u'0' + n));
        ASSERT_TRUE(NT_SUCCESS(nt::ob::Lookup(name, link, true))) << n;
        EXPECT_EQ(link.target, u"\\Device\\USBFDO-" + std::u16string(1, static_cast<char16_t>(u'0' + n)));
    }
    nt::ob::Entry none;
    EXPECT_FALSE(NT_SUCCESS(nt::ob::Lookup(u"\\DosDevices\\HCD4", none, true)));
}

TEST_F(Identity, DriverKeysStayWithTheirDevicesAcrossBoots) {
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("simtopo-state-" + std::to_string(::getpid()));
    std::filesystem::remove_all(state);
    sim::MachineOptions options;
    options.stateDir = state;
    Boot(sim::DefaultMachine(), options);
    const std::u16string stickKey = tdl::test::Property(Pdo("stick"), DevicePropertyDriverKeyName);
    const std::u16string mouseKey = tdl::test::Property(Pdo("mouse"), DevicePropertyDriverKeyName);
    m_machine->Shutdown();
    EXPECT_TRUE(std::filesystem::exists(state / "registry.txt"));

    // The next boot finds the stick (known by its serial number, now on another port) and the mouse in the
    // registry again, with the driver keys they had.
    sim::MachineBuilder moved;
    moved.AddController(sim::ControllerType::Ehci, "ehci").Plug(5, sim::MakeFlashDrive("stick"));
    moved.AddController(sim::ControllerType::Uhci, "uhci").Plug(1, sim::MakeMouse("mouse"));
    Boot(moved, options);
    EXPECT_EQ(tdl::test::Property(Pdo("stick"), DevicePropertyDriverKeyName), stickKey);
    EXPECT_EQ(tdl::test::Property(Pdo("mouse"), DevicePropertyDriverKeyName), mouseKey);
    m_machine->Shutdown();
    std::filesystem::remove_all(state);
}

} // namespace
