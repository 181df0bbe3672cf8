// CDeviceClass on the simulated machine: the host controllers and hubs found by class and driver key, with
// the properties and interfaces Windows keeps for them, and the lookup's failures.
// The kernel's headers come first: their ASSERT is the one a test of kernel objects wants, and the
// framework's leaves an ASSERT alone once there is one.
#include "tests/support/MachineFixture.h"

#include "app/devices/DeviceClass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NtHandleTable.h"
#include "NtObjectNamespace.h"
#include "NtPnp.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtRtlString.h"
#include "NtText.h"
#include "WinModulesControl.h"
#include "WinSetupApiControl.h"
#include "devguid.h"
#include "tests/app/devices/NtdllStandIn.h"

namespace {

using nt::version::Release;

std::string Ansi(const std::u16string& text) {
    return nt::text::Utf16ToAnsi(text);
}

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> strings;
    for (INT_PTR i = 0; i < array.GetSize(); ++i)
        strings.emplace_back(array[i].GetString());
    return strings;
}

std::vector<std::string> AnsiList(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    std::vector<std::string> strings;
    for (const auto& text : tdl::test::PropertyList(pdo, property))
        strings.push_back(Ansi(text));
    return strings;
}

GUID ClassGuidOf(PDEVICE_OBJECT pdo) {
    GUID guid{};
    EXPECT_EQ(CLSIDFromString(tdl::test::Property(pdo, DevicePropertyClassGuid).c_str(), &guid), S_OK);
    return guid;
}

// The links of the device's interfaces of a class, as the kernel lists them.
std::vector<std::u16string> InterfaceLinks(PDEVICE_OBJECT pdo, const GUID& guid) {
    PWSTR list = nullptr;
    std::vector<std::u16string> links;
    if (!NT_SUCCESS(IoGetDeviceInterfaces(&guid, pdo, 0, &list)))
        return links;
    for (const WCHAR* p = list; *p; p += nt::text::View(p).size() + 1)
        links.emplace_back(nt::text::View(p));
    ExFreePool(list);
    return links;
}

enum class Kind { Controller, Hub };

struct Subject {
    PDEVICE_OBJECT pdo;
    Kind kind;
};

// Host controllers and hubs of the machine, by their drivers.
std::vector<Subject> ControllersAndHubs() {
    std::vector<Subject> subjects;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        const std::u16string& service = node.service;
        if (service == u"usbehci" || service == u"usbuhci" || service == u"usbohci" || service == u"nusb3xhc")
            subjects.push_back({node.pdo, Kind::Controller});
        else if (service == u"usbhub" || service == u"nusb3hub")
            subjects.push_back({node.pdo, Kind::Hub});
    }
    return subjects;
}

// A record for the device as its owner makes it, with the owner's interface classes.
std::unique_ptr<CDeviceClass> RecordFor(PDEVICE_OBJECT pdo, Kind kind) {
    std::unique_ptr<CDeviceClass> record(
        CDeviceClass::Create(ClassGuidOf(pdo), Ansi(tdl::test::Property(pdo, DevicePropertyDriverKeyName)).c_str()));
    if (kind == Kind::Controller) {
        record->m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
        record->m_InterfaceGuids.Add(&GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER);
    } else {
        record->m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
        record->m_InterfaceGuids.Add(&GUID_DEVINTERFACE_NEC_USB3_HUB);
    }
    return record;
}

TEST(DeviceClassTexts, GuidsAndLinkNames) {
    EXPECT_STREQ(FormatGuid(GUID_DEVINTERFACE_NEC_USB3_HUB), "{c7426f31-6b8e-47d5-bae8-35faf7ff53d9}");
    EXPECT_STREQ(FormatGuid(GUID{}), "{00000000-0000-0000-0000-000000000000}");

    struct {
        const char* devicePath;
        const char* linkName;
    } const paths[] = {
        {"\\\\?\\PCI#VEN_7A51#0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
         "PCI#VEN_7A51#0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}"},
        {"\\\\.\\HCD0", "HCD0"}, // the other spelling of the same prefix
        {"HCD0", "HCD0"},
        {"\\\\?", "\\\\?"},
        {"", ""},
    };
    for (const auto& p : paths)
        EXPECT_STREQ(SymbolicLinkNameOf(p.devicePath), p.linkName) << p.devicePath;
}

TEST(DeviceClassTexts, ConstructionKeepsClassAndKeyAndOpensNothing) {
    std::unique_ptr<CDeviceClass> created(
        CDeviceClass::Create(GUID_DEVCLASS_USB, "{36FC9E60-C465-11CF-8056-444553540000}\\0003"));
    ASSERT_NE(created, nullptr);
    CDeviceClass byPointer(&GUID_DEVCLASS_USB, "key");
    CDeviceClass byNull(static_cast<const GUID*>(nullptr), nullptr);
    CDeviceClass forLoading(3);
    EXPECT_EQ(created->m_ClassGuid, GUID_DEVCLASS_USB);
    EXPECT_STREQ(created->m_DriverKey, "{36FC9E60-C465-11CF-8056-444553540000}\\0003");
    EXPECT_EQ(byPointer.m_ClassGuid, GUID_DEVCLASS_USB);
    EXPECT_EQ(byNull.m_ClassGuid, GUID{});
    EXPECT_STREQ(byNull.m_DriverKey, "");
    EXPECT_EQ(forLoading.m_nSchema, 3u);
    EXPECT_EQ(created->m_nSchema, CDeviceClass::CurrentSchema);
    for (const CDeviceClass* record : {created.get(), &byPointer, &byNull, &forLoading}) {
        EXPECT_EQ(record->m_hDevInfo, nullptr);
        EXPECT_EQ(record->m_hInterfaceInfo, nullptr);
        EXPECT_EQ(record->m_InterfaceGuids.GetSize(), 0);
        EXPECT_TRUE(record->IsKindOf(RUNTIME_CLASS(CDeviceClass)));
    }
    std::unique_ptr<CObject> dynamic(RUNTIME_CLASS(CDeviceClass)->CreateObject());
    EXPECT_NE(dynamic, nullptr);
}

class DeviceClassLookup : public tdl::test::MachineTest {
protected:
    void Start(Release release = Release::Windows7) {
        BootDefault(release, nullptr, tdl::test::BusTime::Off);
        m_sets = win32::OpenDeviceInfoSets();
        m_handles = nt::handles::OpenCount();
        m_pool = nt::pool::LiveCount();
    }
    void TearDown() override {
        win32::ResetSetupApi();
        win32::ResetModules();
        MachineTest::TearDown();
    }
    void ExpectAllReleased() {
        EXPECT_EQ(win32::OpenDeviceInfoSets(), m_sets);
        EXPECT_EQ(nt::handles::OpenCount(), m_handles);
        EXPECT_EQ(nt::pool::LiveCount(), m_pool);
        EXPECT_EQ(win32::ModuleLoadCount("ntdll"), 0);
    }

    size_t m_sets = 0, m_handles = 0, m_pool = 0;
};

TEST_F(DeviceClassLookup, FindsEveryHostControllerAndHubWithItsPropertiesAndInterfaces) {
    Start();
    std::vector<Subject> subjects = ControllersAndHubs();
    ASSERT_EQ(subjects.size(), 10u) << "four controllers, their root hubs and two hubs";
    for (const Subject& s : subjects) {
        const std::string pdoName = Ansi(tdl::test::DeviceName(s.pdo));
        SCOPED_TRACE(pdoName);
        std::unique_ptr<CDeviceClass> record = RecordFor(s.pdo, s.kind);
        ASSERT_TRUE(record->LocateDeviceInfo());

        EXPECT_STREQ(record->m_ClassName, "USB");
        EXPECT_EQ(std::string(record->m_DeviceDescription),
                  Ansi(tdl::test::Property(s.pdo, DevicePropertyDeviceDescription)));
        EXPECT_EQ(std::string(record->m_PDOName), pdoName);
        EXPECT_EQ(pdoName.rfind(s.kind == Kind::Controller ? "\\Device\\NTPNP_PCI00" : "\\Device\\USBPDO-", 0), 0u);
        EXPECT_EQ(std::string(record->m_EnumeratorName),
                  Ansi(tdl::test::Property(s.pdo, DevicePropertyEnumeratorName)));
        EXPECT_EQ(Strings(record->m_HardwareIDs), AnsiList(s.pdo, DevicePropertyHardwareID));
        EXPECT_EQ(Strings(record->m_CompatibleIDs), AnsiList(s.pdo, DevicePropertyCompatibleIDs));
        EXPECT_EQ(record->m_hDevInfo, nullptr);
        EXPECT_EQ(record->m_hInterfaceInfo, nullptr);

        ASSERT_EQ(record->m_SymbolicLinks.GetSize(), 2);
        ASSERT_EQ(record->m_DeviceNames.GetSize(), 2);
        int found = 0;
        for (INT_PTR i = 0; i < 2; ++i) {
            std::vector<std::u16string> links = InterfaceLinks(s.pdo, *record->m_InterfaceGuids[i]);
            if (links.empty()) { // a standard device lacks the vendor's classes, and the other way round
                EXPECT_STREQ(record->m_SymbolicLinks[i], "");
                EXPECT_STREQ(record->m_DeviceNames[i], "");
                continue;
            }
            ++found;
            EXPECT_EQ(std::string(record->m_SymbolicLinks[i]), "\\\\?\\" + Ansi(links[0].substr(4)));
            EXPECT_EQ(std::string(record->m_DeviceNames[i]), pdoName) << "the link leads to the device's PDO";
        }
        EXPECT_EQ(found, 1);
    }
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, MatchesTheDriverKeyWithoutRegardToCase) {
    Start();
    PDEVICE_OBJECT controller = tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32");
    std::string key = Ansi(tdl::test::Property(controller, DevicePropertyDriverKeyName));
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    CDeviceClass record(ClassGuidOf(controller), key.c_str());
    record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
    EXPECT_TRUE(record.LocateDeviceInfo());
    EXPECT_STREQ(record.m_PDOName, "\\Device\\NTPNP_PCI0000");
    EXPECT_STREQ(record.m_DeviceNames[0], "\\Device\\NTPNP_PCI0000");
}

TEST_F(DeviceClassLookup, AnUnknownKeyOrClassFindsNothing) {
    Start();
    PDEVICE_OBJECT controller = tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32");
    const std::string key = Ansi(tdl::test::Property(controller, DevicePropertyDriverKeyName));
    struct {
        const char* name;
        GUID classGuid;
        std::string key;
    } const cases[] = {
        {"unknown key", GUID_DEVCLASS_USB, "{36FC9E60-C465-11CF-8056-444553540000}\\9999"},
        {"key of another class", GUID_DEVCLASS_HIDCLASS, key},
        {"empty key", GUID_DEVCLASS_USB, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDeviceClass record(c.classGuid, c.key.c_str());
        record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
        EXPECT_FALSE(record.LocateDeviceInfo());
        for (const CString* text :
             {&record.m_ClassName, &record.m_DeviceDescription, &record.m_PDOName, &record.m_EnumeratorName})
            EXPECT_STREQ(*text, "");
        EXPECT_EQ(record.m_HardwareIDs.GetSize() + record.m_CompatibleIDs.GetSize(), 0);
        EXPECT_EQ(record.m_SymbolicLinks.GetSize() + record.m_DeviceNames.GetSize(), 0);
    }
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, AClassNameThatCannotBeReadKeepsTheInterfacesOnly) {
    Start();
    PDEVICE_OBJECT hub = tdl::test::NodePdo(u"USB\\ROOT_HUB20");
    std::unique_ptr<CDeviceClass> record = RecordFor(hub, Kind::Hub);
    win32::InjectSetupApiFailure({win32::SetupApiCall::GetDeviceRegistryProperty, ERROR_INVALID_DATA, SPDRP_CLASS});
    EXPECT_FALSE(record->LocateDeviceInfo());
    EXPECT_EQ(std::string(record->m_SymbolicLinks[0]).rfind("\\\\?\\USB#ROOT_HUB20#", 0), 0u);
    EXPECT_STREQ(record->m_DeviceNames[0], "\\Device\\USBPDO-0");
    for (const CString* text : {&record->m_ClassName, &record->m_DeviceDescription, &record->m_PDOName})
        EXPECT_STREQ(*text, "");
    EXPECT_EQ(record->m_HardwareIDs.GetSize(), 0);
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, AnInterfaceSearchThatKeepsFailingGivesUp) {
    Start();
    std::unique_ptr<CDeviceClass> record = RecordFor(tdl::test::NodePdo(u"USB\\ROOT_HUB20"), Kind::Hub);
    win32::InjectSetupApiFailure(
        {win32::SetupApiCall::EnumDeviceInterfaces, ERROR_INVALID_PARAMETER, win32::kAnyProperty, 0, UINT64_MAX});
    EXPECT_TRUE(record->LocateDeviceInfo()) << "the device is found; its interfaces are not";
    EXPECT_EQ(Strings(record->m_SymbolicLinks), (std::vector<std::string>{"", ""}));
    EXPECT_STREQ(record->m_DeviceDescription, "USB Root Hub");
    win32::ClearSetupApiFailures();
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, AnInterfaceIndexOutsideTheListIsRefused) {
    Start();
    CDeviceClass record(GUID_DEVCLASS_USB, "x");
    record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
    for (INT_PTR index : {INT_PTR{-1}, INT_PTR{1}}) {
        try {
            record.GetSymbolicLink(index, &record.m_DevInfoData);
            ADD_FAILURE() << "no exception for " << index;
        } catch (CInvalidArgException* e) {
            e->Delete();
        }
    }
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, LinksAreLookedUpWhereTheSystemKeepsThem) {
    struct {
        Release release;
        const char16_t* directory;
    } const cases[] = {
        {Release::Windows2000, u"\\??"},
        {Release::WindowsXP, u"\\GLOBAL??"},
        {Release::Windows7, u"\\GLOBAL??"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Ansi(c.directory));
        Start(c.release);
        tdl::test::RegisterNtdll();
        tdl::test::ClearOpenedDirectories();
        PDEVICE_OBJECT controller = tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C30");
        std::unique_ptr<CDeviceClass> record = RecordFor(controller, Kind::Controller);
        ASSERT_TRUE(record->LocateDeviceInfo());
        EXPECT_EQ(std::string(record->m_DeviceNames[0]), Ansi(tdl::test::DeviceName(controller)));
        EXPECT_EQ(tdl::test::OpenedDirectories(), std::vector<std::u16string>{c.directory});
        ExpectAllReleased();
        MachineTest::TearDown();
    }
}

// A device of the test's own on the root bus, with two interfaces of one class.
class DeviceClassOwnDevice : public DeviceClassLookup {
protected:
    void SetUp() override {
        Start();
        nt::pnp::RegisterSetupClass(kClass, u"TdlTest");
        nt::pnp::RootDevice device;
        device.deviceId = u"ROOT\\TDLTEST";
        device.description = u"Test device";
        device.service = u"tdltest";
        device.classGuid = kClass;
        ASSERT_TRUE(NT_SUCCESS(nt::pnp::AddRootDevice(device, &m_path, &m_pdo)));
        // The kernel makes one link per device and class and puts the reference string after it; for both
        // interfaces to be enabled at once their links need a directory of that name.
        ASSERT_TRUE(NT_SUCCESS(nt::ob::CreateDirectory(kLinkDirectory)));
        for (const char16_t* reference : {u"First", u"Second"}) {
            UNICODE_STRING referenceString;
            RtlInitUnicodeString(&referenceString, reference);
            UNICODE_STRING link{};
            ASSERT_TRUE(
                NT_SUCCESS(IoRegisterDeviceInterface(m_pdo, &GUID_DEVINTERFACE_USB_DEVICE, &referenceString, &link)));
            NTSTATUS status = IoSetDeviceInterfaceState(&link, TRUE);
            RtlFreeUnicodeString(&link);
            ASSERT_TRUE(NT_SUCCESS(status));
        }
        m_pool = nt::pool::LiveCount();
    }
    void TearDown() override {
        nt::pnp::RemoveRootDevice(m_path, true);
        nt::ob::Remove(kLinkDirectory);
        DeviceClassLookup::TearDown();
    }

    static constexpr char16_t kLinkDirectory[] =
        u"\\GLOBAL??\\ROOT#TDLTEST#0000#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    static constexpr GUID kClass = {0x7d1d0c5e, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
    std::u16string m_path;
    PDEVICE_OBJECT m_pdo = nullptr;
};

TEST_F(DeviceClassOwnDevice, TheFirstOfTwoInterfacesOfOneClassIsRecorded) {
    CDeviceClass record(kClass, Ansi(tdl::test::Property(m_pdo, DevicePropertyDriverKeyName)).c_str());
    ASSERT_STRNE(record.m_DriverKey, "");
    record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_DEVICE);
    ASSERT_TRUE(record.LocateDeviceInfo());
    // The USB devices' interfaces of the class come first in the set and belong to other devices.
    const std::string link(record.m_SymbolicLinks[0]);
    EXPECT_EQ(link.rfind("\\\\?\\ROOT#TDLTEST#", 0), 0u) << link;
    EXPECT_EQ(link.substr(link.size() - 6), "\\First");
    EXPECT_EQ(std::string(record.m_DeviceNames[0]), Ansi(tdl::test::DeviceName(m_pdo)));
    ExpectAllReleased();
}

TEST_F(DeviceClassLookup, MultiStringsAreReadUpToTheirFirstEmptyStringAndNoFurtherThanTheirSize) {
    Start();
    PDEVICE_OBJECT controller = tdl::test::NodePdo(u"PCI\\VEN_7A51&DEV_0C32");
    struct {
        const char* name;
        std::string stored;
        std::vector<std::string> read;
    } const cases[] = {
        {"an empty first string", std::string("\0\0", 2), {}},
        {"an empty string in the middle", std::string("A\0\0B\0\0", 6), {"A"}},
        {"no terminators at the end", std::string("A\0BC", 4), {"A", "BC"}},
        {"a plain list", std::string("PCI\\X\0PCI\\Y\0\0", 13), {"PCI\\X", "PCI\\Y"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HDEVINFO set = SetupDiGetClassDevs(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        std::string key = Ansi(tdl::test::Property(controller, DevicePropertyDriverKeyName));
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
            char text[128] = {};
            if (SetupDiGetDeviceRegistryProperty(set, &data, SPDRP_DRIVER, nullptr, reinterpret_cast<PBYTE>(text),
                                                 sizeof text, nullptr) &&
                key == text)
                break;
        }
        ASSERT_TRUE(SetupDiSetDeviceRegistryProperty(set, &data, SPDRP_COMPATIBLEIDS,
                                                     reinterpret_cast<const BYTE*>(c.stored.data()),
                                                     static_cast<DWORD>(c.stored.size())));
        SetupDiDestroyDeviceInfoList(set);

        std::unique_ptr<CDeviceClass> record = RecordFor(controller, Kind::Controller);
        record->m_CompatibleIDs.Add("stale");
        EXPECT_TRUE(record->LocateDeviceInfo());
        EXPECT_EQ(Strings(record->m_CompatibleIDs), c.read);
        EXPECT_EQ(Strings(record->m_HardwareIDs), AnsiList(controller, DevicePropertyHardwareID));
    }
    ExpectAllReleased();
}

} // namespace
