// Every device stack of the default machine, walked as the capture driver walks it: the drivers that own its
// device objects, their names, and the signature words and device-handle pointer each release keeps in the
// USB drivers' device extensions (none of them on a release newer than Windows 8).
#include <map>

#include "NtText.h"
#include "platform/sim/ReleaseProfile.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"

namespace {

using nt::version::Release;
using sim::SignatureWord;
using tdl::test::DeviceName;
using tdl::test::DriverName;
using tdl::test::ExtensionPointer;
using tdl::test::ExtensionWord;

struct Expected {
    Release release;
    const char* name;
    int hostControllerWordAt; // "HFDO" (-1: none anywhere)
    int rootHubWordAt;        // "RPDO"
    int portWordAt;           // "PORT" / "HPDO"
    ULONG portWord;
    int deviceHandleAt;      // the "DevH" pointer of a port's PDO
    bool hubDriverComposite; // composite parent and interface words of the hub driver
};

const Expected kReleases[] = {
    {Release::Windows2000, "Windows2000", 8, 8, 0, SignatureWord("PORT"), 32, true},
    {Release::WindowsXP, "WindowsXP", 8, 8, 0, SignatureWord("PORT"), 32, true},
    {Release::Server2003, "Server2003", 8, 8, 0, SignatureWord("PORT"), 32, true},
    {Release::VistaSP1, "VistaSP1", 0, 0, 0, SignatureWord("HPDO"), 1136, false},
    {Release::Windows7, "Windows7", 0, 0, 0, SignatureWord("HPDO"), 1168, false},
    {Release::Windows8, "Windows8", 0, 0, 0, SignatureWord("HPDO"), 1152, false},
    {Release::Windows10, "Windows10", -1, -1, -1, 0, -1, false},
};

bool NamedWith(PDEVICE_OBJECT device, std::u16string_view prefix) {
    std::u16string name = DeviceName(device);
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) {
        return false;
    }
    return name.find_first_not_of(u"0123456789", prefix.size()) == std::u16string::npos;
}

// No word of the older layouts where the capture driver looks, and no pointer to a device handle.
void ExpectNoLayoutWords(PDEVICE_OBJECT device) {
    const ULONG words[] = {SignatureWord("HFDO"),    SignatureWord("RPDO"), SignatureWord("HUB "),
                           SignatureWord("PORT"),    SignatureWord("HPDO"), sim::kInterfacePdoWord,
                           sim::kCompositeParentWord};
    for (size_t offset : {0, 8}) {
        for (ULONG word : words) {
            EXPECT_NE(ExtensionWord(device, offset), word) << "offset " << offset;
        }
    }
    for (size_t offset : {32, 1136, 1152, 1168}) {
        PVOID pointer = ExtensionPointer(device, offset);
        EXPECT_FALSE(pointer && MmIsAddressValid(pointer) &&
                     *static_cast<const ULONG*>(pointer) == sim::kDeviceHandleWord)
            << "offset " << offset;
    }
}

class ExtensionLayout : public tdl::test::MachineTest, public ::testing::WithParamInterface<Expected> {};

TEST_P(ExtensionLayout, UsbDriversKeepTheReleasesWordsWhereTheCaptureDriverLooks) {
    const Expected& expected = GetParam();
    BootDefault(expected.release);
    std::map<std::string, int> seen;
    for (const nt::pnp::DeviceNodeInfo& node : nt::pnp::DeviceNodes()) {
        std::vector<PDEVICE_OBJECT> stack = tdl::test::StackOf(node.pdo);
        for (size_t position = 0; position < stack.size(); ++position) {
            PDEVICE_OBJECT device = stack[position];
            const std::u16string driver = DriverName(device);
            const bool bottom = position == 0;
            SCOPED_TRACE(nt::text::Utf16ToUtf8(node.instancePath + u" / " + driver + u" / " + DeviceName(device)));
            const bool miniport = driver == u"usbehci" || driver == u"usbuhci" || driver == u"usbohci";
            const bool oldLayouts = expected.portWordAt >= 0;
            if (miniport && bottom) {
                EXPECT_TRUE(NamedWith(device, u"\\Device\\USBPDO-"));
                if (oldLayouts) {
                    EXPECT_EQ(ExtensionWord(device, static_cast<size_t>(expected.rootHubWordAt)),
                              SignatureWord("RPDO"));
                }
                ++seen["root hub PDO"];
            } else if (miniport) {
                EXPECT_TRUE(NamedWith(device, u"\\Device\\USBFDO-"));
                if (oldLayouts) {
                    EXPECT_EQ(ExtensionWord(device, static_cast<size_t>(expected.hostControllerWordAt)),
                              SignatureWord("HFDO"));
                }
                ++seen["controller FDO"];
            } else if (driver == u"usbhub" && bottom) {
                EXPECT_TRUE(NamedWith(device, u"\\Device\\USBPDO-"));
                const bool interfacePdo = node.instancePath.find(u"&MI_") != std::u16string::npos;
                if (oldLayouts && interfacePdo) {
                    EXPECT_EQ(ExtensionWord(device, 0), sim::kInterfacePdoWord);
                    ++seen["interface PDO of the hub driver"];
                } else if (oldLayouts) {
                    EXPECT_EQ(ExtensionWord(device, static_cast<size_t>(expected.portWordAt)), expected.portWord);
                    // The device-handle pointer leads to the handle the device's drivers are given.
                    PVOID handle = ExtensionPointer(device, static_cast<size_t>(expected.deviceHandleAt));
                    ASSERT_TRUE(handle && MmIsAddressValid(handle));
                    EXPECT_EQ(*static_cast<const ULONG*>(handle), sim::kDeviceHandleWord);
                    PVOID reported = nullptr;
                    EXPECT_EQ(tdl::test::InternalRequest(device, IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &reported),
                              STATUS_SUCCESS);
                    EXPECT_EQ(reported, handle);
                    ++seen["port PDO"];
                }
            } else if (driver == u"usbhub") {
                EXPECT_TRUE(DeviceName(device).empty());
                const bool composite =
                    tdl::test::Property(node.pdo, DevicePropertyDeviceDescription) == u"USB Composite Device";
                if (oldLayouts && composite) {
                    EXPECT_EQ(ExtensionWord(device, 0), sim::kCompositeParentWord);
                    ++seen["composite parent of the hub driver"];
                } else if (oldLayouts) {
                    EXPECT_EQ(ExtensionWord(device, 0), SignatureWord("HUB "));
                    ++seen["hub FDO"];
                }
            } else if (driver == u"usbccgp") {
                ++seen[bottom ? "interface PDO of usbccgp" : "usbccgp"];
                if (bottom) {
                    EXPECT_TRUE(NamedWith(device, u"\\Device\\USBPDO-"));
                }
            }
            const bool usb3 =
                driver == u"nusb3xhc" || driver == u"nusb3hub" || driver == u"usbxhci" || driver == u"usbhub3";
            if ((!oldLayouts && (miniport || driver == u"usbhub" || driver == u"usbccgp")) || usb3) {
                ExpectNoLayoutWords(device);
            }
        }
    }
    if (expected.portWordAt < 0) {
        return;
    }
    EXPECT_EQ(seen["controller FDO"], 3);
    EXPECT_EQ(seen["root hub PDO"], 3);
    EXPECT_EQ(seen["hub FDO"], 4);  // the three root hubs of the USB 2.0 stack and the external hub
    EXPECT_EQ(seen["port PDO"], 7); // hub, stick, mouse, loopback, keyboard, printer, composite device
    if (expected.hubDriverComposite) {
        EXPECT_EQ(seen["composite parent of the hub driver"], 1);
        EXPECT_EQ(seen["interface PDO of the hub driver"], 2);
        EXPECT_EQ(seen["usbccgp"], 0);
    } else {
        EXPECT_EQ(seen["usbccgp"], 1);
        EXPECT_EQ(seen["interface PDO of usbccgp"], 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, ExtensionLayout, ::testing::ValuesIn(kReleases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ReleaseLayout, GroupsTheReleases) {
    EXPECT_EQ(sim::LayoutFor(Release::WindowsXPSP3).group, sim::ReleaseGroup::Xp);
    EXPECT_EQ(sim::LayoutFor(Release::VersionRoutinesUnresolvable).group, sim::ReleaseGroup::Xp);
    EXPECT_EQ(sim::LayoutFor(Release::VistaSP2).deviceHandlePointer, 1136);
    EXPECT_EQ(sim::LayoutFor(Release::Windows8).usb3, sim::Usb3Stack::Inbox);
    EXPECT_EQ(sim::LayoutFor(Release::Windows7).usb3, sim::Usb3Stack::Vendor);
    EXPECT_EQ(sim::LayoutFor(Release::Windows10).group, sim::ReleaseGroup::Newer);
}

} // namespace
