// SetupAPI over the simulated machine: sets of present devices and interfaces, properties in the ANSI code
// page, the size and error contract, DevInst numbers, and injected failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NtPnp.h"
#include "NtPool.h"
#include "NtText.h"
#include "WinHandles.h"
#include "WinSetupApiControl.h"
#include "devguid.h"
#include "platform/usb/usbiodef.h"
#include "setupapi.h"
#include "tests/support/MachineFixture.h"
#include "winerror.h"

namespace {

std::string Ansi(const std::u16string& text) {
    return nt::text::Utf16ToAnsi(text);
}

class SetupApi : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        m_setsBefore = win32::OpenDeviceInfoSets();
    }
    void TearDown() override {
        win32::ResetSetupApi();
        EXPECT_EQ(win32::OpenDeviceInfoSets(), m_setsBefore) << "a set was left open";
        MachineTest::TearDown();
    }

    static std::vector<SP_DEVINFO_DATA> Members(HDEVINFO set) {
        std::vector<SP_DEVINFO_DATA> members;
        for (DWORD i = 0;; ++i) {
            SP_DEVINFO_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInfo(set, i, &data)) {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
                return members;
            }
            members.push_back(data);
        }
    }

    // The whole property as SetupAPI gives it (size query, then read); empty with *error set on failure.
    static std::vector<BYTE> PropertyBytes(HDEVINFO set, SP_DEVINFO_DATA& data, DWORD property, DWORD* type = nullptr,
                                           DWORD* error = nullptr) {
        DWORD needed = 0, kind = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, &data, property, &kind, nullptr, 0, &needed) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            if (error)
                *error = GetLastError();
            return {};
        }
        std::vector<BYTE> bytes(needed);
        EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &data, property, type, bytes.data(), needed, &needed));
        if (error)
            *error = ERROR_SUCCESS;
        return bytes;
    }
    static std::string Text(HDEVINFO set, SP_DEVINFO_DATA& data, DWORD property) {
        std::vector<BYTE> bytes = PropertyBytes(set, data, property);
        return bytes.empty() ? std::string() : std::string(reinterpret_cast<const char*>(bytes.data()));
    }
    // The member of a class set whose driver key is the device node's.
    static SP_DEVINFO_DATA MemberFor(HDEVINFO set, PDEVICE_OBJECT pdo) {
        std::string key = Ansi(tdl::test::Property(pdo, DevicePropertyDriverKeyName));
        for (SP_DEVINFO_DATA data : Members(set))
            if (Text(set, data, SPDRP_DRIVER) == key)
                return data;
        ADD_FAILURE() << "no member with driver key " << key;
        return SP_DEVINFO_DATA{};
    }

    size_t m_setsBefore = 0;
};

TEST_F(SetupApi, AClassSetHoldsThePresentDevicesOfItsClassWithTheKernelsProperties) {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    std::vector<SP_DEVINFO_DATA> members = Members(set);

    size_t usbNodes = 0;
    for (const auto& node : nt::pnp::DeviceNodes())
        usbNodes += tdl::test::Property(node.pdo, DevicePropertyClassName) == u"USB";
    EXPECT_EQ(members.size(), usbNodes);

    struct {
        DWORD spdrp;
        DEVICE_REGISTRY_PROPERTY property;
    } const texts[] = {
        {SPDRP_DEVICEDESC, DevicePropertyDeviceDescription},
        {SPDRP_CLASS, DevicePropertyClassName},
        {SPDRP_DRIVER, DevicePropertyDriverKeyName},
        {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, DevicePropertyPhysicalDeviceObjectName},
        {SPDRP_ENUMERATOR_NAME, DevicePropertyEnumeratorName},
    };
    for (const auto& node : nt::pnp::DeviceNodes()) {
        if (tdl::test::Property(node.pdo, DevicePropertyClassName) != u"USB")
            continue;
        SP_DEVINFO_DATA data = MemberFor(set, node.pdo);
        EXPECT_EQ(data.ClassGuid, GUID_DEVCLASS_USB);
        for (const auto& t : texts)
            EXPECT_EQ(Text(set, data, t.spdrp), Ansi(tdl::test::Property(node.pdo, t.property)))
                << "property " << t.spdrp << " of " << Ansi(node.instancePath);

        DWORD type = 0;
        std::vector<BYTE> ids = PropertyBytes(set, data, SPDRP_HARDWAREID, &type);
        EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
        std::string expected;
        for (const auto& id : tdl::test::PropertyList(node.pdo, DevicePropertyHardwareID))
            expected += Ansi(id) + '\0';
        EXPECT_EQ(std::string(ids.begin(), ids.end()), expected + '\0');
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, PropertyReadsFollowTheSizeContract) {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA controller = MemberFor(set, tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32"));
    const std::string description = "Standard Enhanced PCI to USB Host Controller";

    DWORD type = 0, needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &controller, SPDRP_DEVICEDESC, &type, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, description.size() + 1);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    std::vector<BYTE> buffer(needed, 0xCC);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &controller, SPDRP_DEVICEDESC, nullptr, buffer.data(),
                                                   needed - 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[0], 0xCC) << "a short buffer is left alone";
    EXPECT_TRUE(
        SetupDiGetDeviceRegistryPropertyA(set, &controller, SPDRP_DEVICEDESC, nullptr, buffer.data(), needed, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), description);

    // A root hub has no compatible IDs.
    SP_DEVINFO_DATA rootHub = MemberFor(set, tdl::test::NodePdo(u"USB\\ROOT_HUB20"));
    DWORD error = 0;
    EXPECT_TRUE(PropertyBytes(set, rootHub, SPDRP_COMPATIBLEIDS, nullptr, &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &rootHub, 0x7777, nullptr, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, AnInstallerCanSetTheIdsAndTheDescriptionButNotWhatTheSystemOwns) {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA controller = MemberFor(set, tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32"));
    const std::vector<BYTE> emptyFirst = {0, 0};
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &controller, SPDRP_COMPATIBLEIDS, emptyFirst.data(), 2));
    DWORD type = 0;
    EXPECT_EQ(PropertyBytes(set, controller, SPDRP_COMPATIBLEIDS, &type), emptyFirst);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

    HDEVINFO other = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA same = MemberFor(other, tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32"));
    EXPECT_EQ(PropertyBytes(other, same, SPDRP_COMPATIBLEIDS), emptyFirst) << "the device keeps it, not the set";
    EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(other, &same, SPDRP_COMPATIBLEIDS, nullptr, 0));
    std::string own;
    for (const auto& id :
         tdl::test::PropertyList(tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32"), DevicePropertyCompatibleIDs))
        own += Ansi(id) + '\0';
    own += '\0';
    std::vector<BYTE> again = PropertyBytes(set, controller, SPDRP_COMPATIBLEIDS);
    EXPECT_EQ(std::string(again.begin(), again.end()), own) << "its own list again";

    for (DWORD owned : {SPDRP_CLASS, SPDRP_DRIVER, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME}) {
        EXPECT_FALSE(SetupDiSetDeviceRegistryPropertyA(set, &controller, owned, emptyFirst.data(), 2));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY));
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(other));
}

TEST_F(SetupApi, TextsAreInTheAnsiCodePage) {
    nt::pnp::RootDevice device;
    device.deviceId = u"ROOT\\SIMTEXT";
    device.description = u"Caf\u00e9 \u20ac \u4e00";
    std::u16string path;
    ASSERT_TRUE(NT_SUCCESS(nt::pnp::AddRootDevice(device, &path)));

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, "ROOT", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    std::vector<SP_DEVINFO_DATA> members = Members(set);
    ASSERT_EQ(members.size(), 1u) << "the enumerator keeps the root bus's devices only";
    EXPECT_EQ(members[0].ClassGuid, GUID{}) << "a device without a driver has no class";
    EXPECT_EQ(Text(set, members[0], SPDRP_DEVICEDESC), "Caf\xE9 \x80 ?");
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_TRUE(NT_SUCCESS(nt::pnp::RemoveRootDevice(path, true)));
}

TEST_F(SetupApi, AnUnpluggedDeviceLeavesItsClassSet) {
    auto keyboardIn = [](HDEVINFO set) {
        for (SP_DEVINFO_DATA data : Members(set))
            if (Text(set, data, SPDRP_HARDWAREID).find("PID_0102") != std::string::npos)
                return true;
        return false;
    };
    HDEVINFO before = SetupDiGetClassDevsA(&GUID_DEVCLASS_HIDCLASS, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(before, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(keyboardIn(before));
    SP_DEVINFO_DATA keyboard = MemberFor(before, Pdo("keyboard"));

    ASSERT_TRUE(m_machine->Unplug("keyboard"));
    HDEVINFO after = SetupDiGetClassDevsA(&GUID_DEVCLASS_HIDCLASS, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(after, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(keyboardIn(after));
    EXPECT_EQ(Members(after).size() + 1, Members(before).size());

    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(before, &keyboard, SPDRP_CLASS, nullptr, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST)) << "the old set still names it";
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(before));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(after));
}

TEST_F(SetupApi, InterfacesGiveTheirDevicePathAndTheirDevicesDevInst) {
    HDEVINFO interfaces = SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    HDEVINFO classSet = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    HDEVINFO classSetAgain = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(interfaces, INVALID_HANDLE_VALUE);
    ASSERT_NE(classSet, INVALID_HANDLE_VALUE);
    ASSERT_NE(classSetAgain, INVALID_HANDLE_VALUE);

    // The standard controllers (EHCI, UHCI, OHCI) have the interface; the vendor's xHCI has its own.
    const char16_t* controllers[] = {u"PCI\\VEN_7A51&DEV_0C32", u"PCI\\VEN_7A51&DEV_0C30", u"PCI\\VEN_7A51&DEV_0C31"};
    DWORD index = 0;
    for (const char16_t* prefix : controllers) {
        PDEVICE_OBJECT pdo = tdl::test::NodePdo(prefix);
        SCOPED_TRACE(Ansi(prefix));
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof entry;
        ASSERT_TRUE(
            SetupDiEnumDeviceInterfaces(interfaces, nullptr, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, index++, &entry));
        EXPECT_EQ(entry.InterfaceClassGuid, GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
        EXPECT_EQ(entry.Flags, static_cast<DWORD>(SPINT_ACTIVE));

        DWORD needed = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(interfaces, &entry, nullptr, 0, &needed, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<BYTE> storage(needed);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA owner{};
        owner.cbSize = sizeof owner;
        ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(interfaces, &entry, detail, needed, nullptr, &owner));

        PWSTR list = nullptr;
        ASSERT_TRUE(NT_SUCCESS(IoGetDeviceInterfaces(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, pdo, 0, &list)));
        std::u16string link(nt::text::View(list));
        ExFreePool(list);
        ASSERT_EQ(link.substr(0, 4), u"\\??\\");
        const std::string path(reinterpret_cast<const char*>(storage.data()) + 4);
        EXPECT_EQ(path, "\\\\?\\" + Ansi(link.substr(4)));
        EXPECT_EQ(needed, 4 + path.size() + 1);

        SP_DEVINFO_DATA member = MemberFor(classSet, pdo);
        EXPECT_EQ(owner.DevInst, member.DevInst) << "one device, one DevInst in every set";
        EXPECT_EQ(owner.DevInst, MemberFor(classSetAgain, pdo).DevInst);
        EXPECT_EQ(owner.ClassGuid, GUID_DEVCLASS_USB);

        // Restricted to its own device, the interface is the device's only one of the class.
        SP_DEVICE_INTERFACE_DATA own{};
        own.cbSize = sizeof own;
        EXPECT_TRUE(SetupDiEnumDeviceInterfaces(interfaces, &owner, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, 0, &own));
        EXPECT_EQ(own.Reserved, entry.Reserved);
        EXPECT_FALSE(SetupDiEnumDeviceInterfaces(interfaces, &owner, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, 1, &own));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(interfaces, nullptr, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, index, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(classSet, nullptr, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, 0, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS)) << "a class set lists no interfaces";

    for (HDEVINFO set : {interfaces, classSet, classSetAgain})
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, SizeFieldsOtherThanTheStructuresOwnAreRefused) {
    HDEVINFO set =
        SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HUB, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &entry));
    BYTE storage[512] = {};
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage);

    for (DWORD size : {0u, 28u, 24u, 40u}) { // 28 and 24: the 32-bit layouts
        SCOPED_TRACE(size);
        SP_DEVINFO_DATA badDevice = device;
        badDevice.cbSize = size;
        SP_DEVICE_INTERFACE_DATA badEntry = entry;
        badEntry.cbSize = size;
        DWORD needed = 0;
        EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &badDevice));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
        EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &badDevice, SPDRP_CLASS, nullptr, nullptr, 0, &needed));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
        EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &badEntry));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &badEntry, nullptr, 0, &needed, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, sizeof storage, &needed, &badDevice));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    }
    for (DWORD size : {5u, 6u, 0u, 16u}) { // 5 and 6: the 32-bit layouts of the detail
        detail->cbSize = size;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, sizeof storage, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER)) << size;
    }
    detail->cbSize = 8;
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, sizeof storage, nullptr, nullptr));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, BadHandlesFlagsAndClassesAreRefused) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT);
    EXPECT_EQ(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, 0x100), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    set = SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    set = SetupDiGetClassDevsA(&unknown, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << "a class without devices gives an empty set";
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, EachCallCanBeMadeToFailWithAChosenError) {
    using win32::SetupApiCall;
    constexpr DWORD kError = 0xE000020D;

    win32::InjectSetupApiFailure({SetupApiCall::GetClassDevs, kError});
    EXPECT_EQ(SetupDiGetClassDevsA(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), kError);
    HDEVINFO set =
        SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HUB, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << "one call fails, the next goes through";

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    win32::InjectSetupApiFailure({SetupApiCall::EnumDeviceInfo, kError, win32::kAnyProperty, 1});
    EXPECT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device)) << "skipped";
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &device));
    EXPECT_EQ(GetLastError(), kError);

    // A registry failure can be aimed at one property.
    win32::InjectSetupApiFailure({SetupApiCall::GetDeviceRegistryProperty, kError, SPDRP_CLASS});
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DRIVER, nullptr, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_CLASS, nullptr, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), kError);

    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    win32::InjectSetupApiFailure({SetupApiCall::EnumDeviceInterfaces, kError});
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &entry));
    EXPECT_EQ(GetLastError(), kError);
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &entry));
    win32::InjectSetupApiFailure({SetupApiCall::GetDeviceInterfaceDetail, kError});
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &entry, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), kError);

    win32::InjectSetupApiFailure({SetupApiCall::DestroyDeviceInfoList, kError});
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), kError);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

} // namespace
