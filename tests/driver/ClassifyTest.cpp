// Classification of device objects by driver name and by extension signature, per release group; the hub
// port's device handle; the hook decision.
#include <string>
#include <vector>

#include "driver/stacktree/Classify.h"
#include "tests/driver/StackTreeFixture.h"

namespace drivertest {
namespace {

// A release with one flag set.
WINDOWS_RELEASE With(BOOLEAN WINDOWS_RELEASE::*flag) {
    WINDOWS_RELEASE release{};
    release.*flag = TRUE;
    return release;
}
WINDOWS_RELEASE Xp() {
    return With(&WINDOWS_RELEASE::wxp);
}
WINDOWS_RELEASE Vista() {
    return With(&WINDOWS_RELEASE::wlh);
}
WINDOWS_RELEASE Win7() {
    return With(&WINDOWS_RELEASE::win7);
}
WINDOWS_RELEASE Win8() {
    return With(&WINDOWS_RELEASE::win8);
}
WINDOWS_RELEASE Newer() {
    return WINDOWS_RELEASE{};
}

class Classify : public DriverFixture {
protected:
    void TearDown() override {
        m_built.DeleteAll();
        DriverFixture::TearDown();
    }
    HandBuiltDevices m_built;
};

TEST(ClassifyNames, DriverGroupsCompareWithoutCase) {
    const struct {
        const char* name;
        DRIVER_GROUP group;
    } cases[] = {
        {"usbehci", DriverGroupMiniport},
        {"USBUHCI", DriverGroupMiniport},
        {"usbohci", DriverGroupMiniport},
        {"usbfdo-3", DriverGroupMiniport},
        {"uhcd", DriverGroupOldHcd},
        {"OpenHCI", DriverGroupOldHcd},
        {"HCD12", DriverGroupOldHcd},
        {"usbhub", DriverGroupHub},
        {"UsbHub20", DriverGroupHub},
        {"nusb3xhc", DriverGroupVendorXhci},
        {"flxhcic", DriverGroupVendorXhci},
        {"NUSB3HUB", DriverGroupVendorHub},
        {"FLxHCIh", DriverGroupVendorHub},
        {"usbccgp", DriverGroupComposite},
        {"PCI", DriverGroupPci},
        {"usbhub3", DriverGroupNone},
        {"usbehc", DriverGroupNone},
        {"hidusb", DriverGroupNone},
        {"usbhubx", DriverGroupNone},
        {"", DriverGroupNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyDriverName(c.name), c.group) << c.name;
    }
    EXPECT_EQ(ClassifyDriverName(nullptr), DriverGroupNone);
}

TEST(ClassifyNames, EnumeratorClasses) {
    EXPECT_EQ(ClassifyEnumerator("pci"), ENUM_CLASS_PCI);
    EXPECT_EQ(ClassifyEnumerator("USB"), ENUM_CLASS_USB);
    EXPECT_EQ(ClassifyEnumerator("UsbStor"), ENUM_CLASS_USBSTOR);
    EXPECT_EQ(ClassifyEnumerator("NUSB3"), ENUM_CLASS_NUSB3);
    EXPECT_EQ(ClassifyEnumerator("ROOT"), ENUM_CLASS_NONE);
    EXPECT_EQ(ClassifyEnumerator(nullptr), ENUM_CLASS_NONE);
}

// Each test reads one word at one offset; the other place, the other group and an unknown release fail.
TEST_F(Classify, SignatureWordsByReleaseGroup) {
    const struct {
        EXTENSION_TEST test;
        ULONG xpOffset, xpWord;       // xpOffset ~0: never in the XP group
        ULONG vistaOffset, vistaWord; // vistaOffset ~0: never in the Vista group
    } cases[] = {
        {ExtensionRootHubPdo, 8, FourCC("RPDO"), 0, FourCC("RPDO")},
        {ExtensionHostControllerFdo, 8, FourCC("HFDO"), 0, FourCC("HFDO")},
        {ExtensionHubPortPdo, 0, FourCC("PORT"), 0, FourCC("HPDO")},
        {ExtensionInterfacePdo, 0, 0xFEFEFEFF, ~0u, 0},
        {ExtensionHubFdo, 0, FourCC("HUB "), 0, FourCC("HUB ")},
        {ExtensionCompositeParent, 0, 0x50525400, ~0u, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        if (c.xpOffset != ~0u) {
            PDEVICE_OBJECT device = m_built.Device(u"usbhub");
            HandBuiltDevices::Sign(device, c.xpOffset, c.xpWord);
            const WINDOWS_RELEASE xp = Xp();
            EXPECT_TRUE(ClassifyExtension(device, c.test, &xp));
            const WINDOWS_RELEASE w2k = With(&WINDOWS_RELEASE::w2k);
            const WINDOWS_RELEASE w2k3 = With(&WINDOWS_RELEASE::w2k3);
            EXPECT_TRUE(ClassifyExtension(device, c.test, &w2k));
            EXPECT_TRUE(ClassifyExtension(device, c.test, &w2k3));
            const WINDOWS_RELEASE newer = Newer();
            EXPECT_FALSE(ClassifyExtension(device, c.test, &newer));
            if (c.vistaOffset != c.xpOffset || c.vistaWord != c.xpWord) {
                const WINDOWS_RELEASE win7 = Win7();
                EXPECT_FALSE(ClassifyExtension(device, c.test, &win7));
            }
        }
        for (const WINDOWS_RELEASE& release : {Vista(), Win7(), Win8()}) {
            PDEVICE_OBJECT device = m_built.Device(u"usbhub");
            const ULONG offset = c.vistaOffset == ~0u ? c.xpOffset : c.vistaOffset;
            HandBuiltDevices::Sign(device, offset, c.vistaOffset == ~0u ? c.xpWord : c.vistaWord);
            EXPECT_EQ(ClassifyExtension(device, c.test, &release), c.vistaOffset != ~0u);
        }
    }
}

TEST_F(Classify, ShortOrMissingExtensionFailsEveryTest) {
    PDEVICE_OBJECT none = m_built.Device(u"usbehci", nullptr, 0);
    PDEVICE_OBJECT tiny = m_built.Device(u"usbehci", nullptr, 4);
    HandBuiltDevices::Sign(tiny, 0, FourCC("HUB "));
    const WINDOWS_RELEASE xp = Xp();
    const WINDOWS_RELEASE win7 = Win7();
    EXPECT_FALSE(ClassifyExtension(none, ExtensionHubFdo, &win7));
    EXPECT_FALSE(ClassifyExtension(none, ExtensionRootHubPdo, &xp));
    EXPECT_TRUE(ClassifyExtension(tiny, ExtensionHubFdo, &win7));
    EXPECT_EQ(ClassifyHubPortDeviceHandle(none, "usbhub", &win7), 0u);
    EXPECT_EQ(ClassifyHubPortDeviceHandle(tiny, "usbhub", &xp), 0u);
}

TEST_F(Classify, BottomAndUpperClassesByDriverAndSignature) {
    const WINDOWS_RELEASE win7 = Win7();
    const WINDOWS_RELEASE xp = Xp();
    struct Case {
        const char16_t* driver;
        ULONG offset;
        ULONG word;
        const WINDOWS_RELEASE* release;
        ULONG bottom;
        ULONG upper;
    };
    const Case cases[] = {
        {u"pci", 0, 0, &win7, BOTTOM_CLASS_PCI, 0},
        {u"usbehci", 0, FourCC("RPDO"), &win7, BOTTOM_CLASS_ROOT_HUB, 0},
        {u"usbehci", 0, FourCC("HFDO"), &win7, 0, UPPER_CLASS_HOST_CONTROLLER},
        {u"usbuhci", 8, FourCC("RPDO"), &xp, BOTTOM_CLASS_ROOT_HUB, 0},
        {u"usbuhci", 0, FourCC("RPDO"), &xp, 0, 0},
        {u"openhci", 0, 0, &win7, BOTTOM_CLASS_ROOT_HUB, UPPER_CLASS_HOST_CONTROLLER},
        {u"nusb3xhc", 0, 0, &win7, BOTTOM_CLASS_VENDOR_ROOT_HUB, UPPER_CLASS_VENDOR_XHCI},
        {u"usbhub", 0, FourCC("HPDO"), &win7, BOTTOM_CLASS_HUB_PORT, 0},
        {u"usbhub", 0, FourCC("PORT"), &xp, BOTTOM_CLASS_HUB_PORT, 0},
        {u"usbhub", 0, 0xFEFEFEFF, &xp, BOTTOM_CLASS_INTERFACE, 0},
        {u"usbhub", 0, 0xFEFEFEFF, &win7, 0, 0},
        {u"usbhub", 0, FourCC("HUB "), &win7, 0, UPPER_CLASS_HUB},
        {u"usbhub", 0, 0x50525400, &xp, 0, UPPER_CLASS_COMPOSITE},
        {u"usbhub", 0, 0x50525400, &win7, 0, 0},
        {u"nusb3hub", 0, 0, &win7, BOTTOM_CLASS_VENDOR_HUB_PORT, UPPER_CLASS_VENDOR_HUB},
        {u"usbccgp", 0, 0, &win7, BOTTOM_CLASS_INTERFACE, UPPER_CLASS_COMPOSITE},
        {u"hidusb", 0, FourCC("HUB "), &win7, 0, 0},
    };
    for (const Case& c : cases) {
        PDEVICE_OBJECT device = m_built.Device(c.driver);
        HandBuiltDevices::Sign(device, c.offset, c.word);
        const std::string name(c.driver, c.driver + std::char_traits<char16_t>::length(c.driver));
        EXPECT_EQ(ClassifyBottom(device, name.c_str(), c.release), c.bottom) << name << " " << c.word;
        EXPECT_EQ(ClassifyUpper(device, name.c_str(), c.release), c.upper) << name << " " << c.word;
    }
}

TEST_F(Classify, HubPortDeviceHandleAtTheReleasesOffset) {
    // The handle's first word is "DevH"; the pointer itself is the handle.
    PDEVICE_OBJECT handleHolder = m_built.Device(u"usbport", nullptr, 64);
    HandBuiltDevices::Sign(handleHolder, 0, FourCC("DevH"));
    const void* handle = handleHolder->DeviceExtension;
    const struct {
        WINDOWS_RELEASE release;
        ULONG offset;
    } cases[] = {{Xp(), 32}, {Vista(), 1136}, {Win7(), 1168}, {Win8(), 1152}};
    for (const auto& c : cases) {
        PDEVICE_OBJECT pdo = m_built.Device(u"usbhub");
        HandBuiltDevices::StorePointer(pdo, c.offset, handle);
        EXPECT_EQ(ClassifyHubPortDeviceHandle(pdo, "usbhub", &c.release), reinterpret_cast<ULONG_PTR>(handle))
            << c.offset;
        EXPECT_EQ(ClassifyHubPortDeviceHandle(pdo, "USBHUB20", &c.release), reinterpret_cast<ULONG_PTR>(handle));
        EXPECT_EQ(ClassifyHubPortDeviceHandle(pdo, "usbccgp", &c.release), 0u);
    }
    PDEVICE_OBJECT pdo = m_built.Device(u"usbhub");
    HandBuiltDevices::StorePointer(pdo, 1168, handle);
    const WINDOWS_RELEASE newer = Newer();
    EXPECT_EQ(ClassifyHubPortDeviceHandle(pdo, "usbhub", &newer), 0u);
}

TEST_F(Classify, HubPortDeviceHandleNeedsAValidPointerToDevH) {
    const WINDOWS_RELEASE win7 = Win7();
    PDEVICE_OBJECT other = m_built.Device(u"usbport", nullptr, 64);
    HandBuiltDevices::Sign(other, 0, FourCC("DevX"));

    PDEVICE_OBJECT wrongWord = m_built.Device(u"usbhub");
    HandBuiltDevices::StorePointer(wrongWord, 1168, other->DeviceExtension);
    PDEVICE_OBJECT invalid = m_built.Device(u"usbhub");
    HandBuiltDevices::StorePointer(invalid, 1168, reinterpret_cast<const void*>(0x10));
    PDEVICE_OBJECT null = m_built.Device(u"usbhub");

    EXPECT_EQ(ClassifyHubPortDeviceHandle(wrongWord, "usbhub", &win7), 0u);
    EXPECT_EQ(ClassifyHubPortDeviceHandle(invalid, "usbhub", &win7), 0u);
    EXPECT_EQ(ClassifyHubPortDeviceHandle(null, "usbhub", &win7), 0u);
}

TEST(ClassifyHook, DecisionByPlaceAndStackClasses) {
    const struct {
        BOOLEAN physical;
        ULONG bottom, upper;
        BOOLEAN wanted;
    } cases[] = {
        {TRUE, BOTTOM_CLASS_PCI, UPPER_CLASS_HOST_CONTROLLER, FALSE}, // the PCI driver is not hooked
        {FALSE, BOTTOM_CLASS_PCI, UPPER_CLASS_HOST_CONTROLLER, TRUE},
        {TRUE, BOTTOM_CLASS_ROOT_HUB, UPPER_CLASS_HUB, TRUE},
        {FALSE, BOTTOM_CLASS_ROOT_HUB, UPPER_CLASS_NONE, TRUE}, // every device object of a root hub
        {TRUE, BOTTOM_CLASS_HUB_PORT, UPPER_CLASS_NONE, TRUE},
        {FALSE, BOTTOM_CLASS_HUB_PORT, UPPER_CLASS_NONE, FALSE}, // the class driver of a device on a port
        {FALSE, BOTTOM_CLASS_HUB_PORT, UPPER_CLASS_COMPOSITE, TRUE},
        {FALSE, BOTTOM_CLASS_INTERFACE, UPPER_CLASS_NONE, TRUE}, // every device object of an interface
        {TRUE, BOTTOM_CLASS_VENDOR_HUB_PORT, UPPER_CLASS_NONE, TRUE},
        {FALSE, BOTTOM_CLASS_VENDOR_HUB_PORT, UPPER_CLASS_NONE, FALSE},
        {TRUE, BOTTOM_CLASS_NONE, UPPER_CLASS_NONE, FALSE},
        {FALSE, BOTTOM_CLASS_NONE, UPPER_CLASS_NONE, FALSE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyHookWanted(c.physical, c.bottom, c.upper), c.wanted)
            << int(c.physical) << " " << c.bottom << " " << c.upper;
    }
}

TEST(ClassifyHook, ExcludedDeviceIdComparesWholeAndWithoutCase) {
    EXPECT_TRUE(IsExcludedDeviceId("USB\\VID_0423&PID_000D"));
    EXPECT_TRUE(IsExcludedDeviceId("usb\\vid_0423&pid_000d"));
    EXPECT_FALSE(IsExcludedDeviceId("USB\\VID_0423&PID_000D&REV_0100"));
    EXPECT_FALSE(IsExcludedDeviceId("USB\\VID_0423&PID_000E"));
    EXPECT_FALSE(IsExcludedDeviceId(nullptr));
}

} // namespace
} // namespace drivertest
