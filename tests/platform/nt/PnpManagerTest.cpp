// The Plug and Play manager on a small machine: a root-enumerated bus ("testbus") whose children are devices of
// the USB setup class driven by "testfn" with the class upper filter "testfilter", or of another class driven
// by "otherfn". The drivers log what they see; the tests read the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <regex>

#include "IoTestDriver.h"
#include "NtObjectNamespace.h"
#include "NtPnpInternal.h"
#include "NtPool.h"
#include "NtPoolControl.h"
#include "NtRegistry.h"
#include "NtRegistryStore.h"

namespace {

using iotest::StateOf;

constexpr GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kSystemClass = {0x4D36E97D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kHidClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};
constexpr GUID kDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr ULONG kTestTag = nt::pool::TagFromString("TstB");
constexpr char16_t kUsbClassText[] = u"{36FC9E60-C465-11CF-8056-444553540000}";

class EventLog {
public:
    void Add(std::string entry) {
        std::lock_guard guard(m_lock);
        m_entries.push_back(std::move(entry));
    }
    std::vector<std::string> Take() {
        std::lock_guard guard(m_lock);
        return std::exchange(m_entries, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_entries;
};

struct Child {
    std::u16string deviceId = u"USB\\VID_1234&PID_5678";
    std::u16string instanceId = u"3";
    std::vector<std::u16string> hardwareIds = {u"USB\\VID_1234&PID_5678&REV_0100", u"USB\\VID_1234&PID_5678"};
    std::vector<std::u16string> compatibleIds = {u"USB\\Class_FF&SubClass_00&Prot_00", u"USB\\Class_FF"};
    std::u16string text = u"Gadget from the device";
    std::u16string location = u"Port_#0003.Hub_#0001";
    ULONG address = 3;
    bool missing = false;
    bool failStart = false;
};

ULONG_PTR PoolText(const std::u16string& bytes) {
    auto* text = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, bytes.size() * sizeof(WCHAR), kTestTag));
    std::memcpy(text, bytes.data(), bytes.size() * sizeof(WCHAR));
    return reinterpret_cast<ULONG_PTR>(text);
}

std::u16string MultiSz(const std::vector<std::u16string>& values) {
    std::u16string bytes;
    for (const auto& v : values) {
        bytes += v;
        bytes.push_back(0);
    }
    bytes.push_back(0);
    return bytes;
}

std::string MinorName(UCHAR minor) {
    switch (minor) {
    case IRP_MN_START_DEVICE: return "start";
    case IRP_MN_QUERY_REMOVE_DEVICE: return "query-remove";
    case IRP_MN_REMOVE_DEVICE: return "remove";
    case IRP_MN_CANCEL_REMOVE_DEVICE: return "cancel-remove";
    case IRP_MN_SURPRISE_REMOVAL: return "surprise-removal";
    default: return "";
    }
}

class PnpManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        iotest::Reset();
        nt::pnp::RegisterSetupClass(kUsbClass, u"USB");
        nt::pnp::RegisterSetupClass(kSystemClass, u"System");
        nt::pnp::RegisterSetupClass(kHidClass, u"HIDClass");
        nt::pnp::AddClassFilter(kUsbClass, u"testfilter");
        nt::pnp::RegisterDriverMatch({u"ROOT\\TESTBUS", u"testbus", kSystemClass, u"Test Bus", u""});
        nt::pnp::RegisterDriverMatch({u"usb\\vid_1234&pid_5678", u"testfn", kUsbClass, u"Test Device", u""});
        nt::pnp::RegisterDriverMatch({u"HID\\VID_1234&PID_5678", u"otherfn", kHidClass, u"Other Device", u""});

        iotest::RegisterDriver(u"testbus", {.addDevice = [this](PDRIVER_OBJECT d, PDEVICE_OBJECT pdo) {
                                   busDriver = d;
                                   busPdo = pdo;
                                   busFdo = Attach(
                                       d, pdo, [this](PDEVICE_OBJECT dev, PIRP irp) { return BusDispatch(dev, irp); });
                                   return STATUS_SUCCESS;
                               }});
        RegisterFunctionDriver(u"testfn", "fn");
        RegisterFunctionDriver(u"otherfn", "other");
        iotest::RegisterDriver(
            u"testfilter",
            {.addDevice =
                 [this](PDRIVER_OBJECT d, PDEVICE_OBJECT pdo) {
                     PDEVICE_OBJECT below = IoGetAttachedDevice(pdo);
                     bool aboveFunction = std::count(functionDevices.begin(), functionDevices.end(), below);
                     log.Add(aboveFunction ? "filter:add-device above fn" : "filter:add-device");
                     Attach(d, pdo, [this](PDEVICE_OBJECT dev, PIRP irp) { return PassAndLog("filter", dev, irp); });
                     return STATUS_SUCCESS;
                 },
             .unload = [this](PDRIVER_OBJECT) { log.Add("filter:unload"); }});

        nt::pnp::RootDevice bus;
        bus.deviceId = u"ROOT\\TESTBUS";
        bus.description = u"Bus from the root";
        ASSERT_EQ(nt::pnp::AddRootDevice(bus, &busInstance), STATUS_SUCCESS);
        ASSERT_NE(busFdo, nullptr);
        log.Take();
    }

    void TearDown() override { iotest::Reset(); }

    PDEVICE_OBJECT Attach(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, iotest::Handler handler) {
        PDEVICE_OBJECT device = iotest::CreateDevice(driver, std::move(handler));
        StateOf(device)->lower = IoAttachDeviceToDeviceStack(device, pdo);
        return device;
    }

    void RegisterFunctionDriver(const std::u16string& service, std::string prefix) {
        iotest::RegisterDriver(service, {.addDevice =
                                             [this, prefix](PDRIVER_OBJECT d, PDEVICE_OBJECT pdo) {
                                                 log.Add(prefix + ":add-device");
                                                 functionDevices.push_back(
                                                     Attach(d, pdo, [this, prefix](PDEVICE_OBJECT dev, PIRP irp) {
                                                         return FunctionDispatch(prefix, dev, irp);
                                                     }));
                                                 return STATUS_SUCCESS;
                                             },
                                         .unload = [this, prefix](PDRIVER_OBJECT) { log.Add(prefix + ":unload"); }});
    }

    NTSTATUS PassAndLog(const std::string& who, PDEVICE_OBJECT device, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        const bool pnp = location->MajorFunction == IRP_MJ_PNP;
        const UCHAR minor = location->MinorFunction;
        if (pnp && !MinorName(minor).empty()) {
            log.Add(who + ":" + MinorName(minor));
        }
        if (pnp && (minor == IRP_MN_SURPRISE_REMOVAL || minor == IRP_MN_REMOVE_DEVICE ||
                    minor == IRP_MN_QUERY_REMOVE_DEVICE || minor == IRP_MN_CANCEL_REMOVE_DEVICE)) {
            irp->IoStatus.Status = STATUS_SUCCESS;
        }
        PDEVICE_OBJECT lower = StateOf(device)->lower;
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS status = IoCallDriver(lower, irp); // the request may be gone from here on
        if (pnp && minor == IRP_MN_REMOVE_DEVICE) {
            IoDetachDevice(lower);
            IoDeleteDevice(device);
        }
        return status;
    }

    NTSTATUS FunctionDispatch(const std::string& prefix, PDEVICE_OBJECT device, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        if (location->MajorFunction == IRP_MJ_PNP && location->MinorFunction == IRP_MN_START_DEVICE) {
            log.Add(prefix + ":start");
            NTSTATUS status = iotest::ForwardAndWait(device, irp);
            log.Add(prefix + ":start-completed");
            irp->IoStatus.Status = status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        if (location->MajorFunction == IRP_MJ_PNP && location->MinorFunction == IRP_MN_QUERY_REMOVE_DEVICE &&
            vetoRemoval) {
            log.Add(prefix + ":query-remove vetoed");
            irp->IoStatus.Status = STATUS_UNSUCCESSFUL;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_UNSUCCESSFUL;
        }
        if (location->MajorFunction == IRP_MJ_PNP && location->MinorFunction == IRP_MN_REMOVE_DEVICE) {
            functionDevices.erase(std::remove(functionDevices.begin(), functionDevices.end(), device),
                                  functionDevices.end());
        }
        return PassAndLog(prefix, device, irp);
    }

    NTSTATUS BusDispatch(PDEVICE_OBJECT device, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        if (location->MajorFunction == IRP_MJ_PNP) {
            switch (location->MinorFunction) {
            case IRP_MN_START_DEVICE: {
                NTSTATUS status = iotest::ForwardAndWait(device, irp);
                irp->IoStatus.Status = status;
                IoCompleteRequest(irp, IO_NO_INCREMENT);
                return status;
            }
            case IRP_MN_QUERY_DEVICE_RELATIONS:
                if (location->Parameters.QueryDeviceRelations.Type == BusRelations) {
                    size_t size = sizeof(DEVICE_RELATIONS) + children.size() * sizeof(PDEVICE_OBJECT);
                    auto* relations = static_cast<PDEVICE_RELATIONS>(ExAllocatePoolWithTag(PagedPool, size, kTestTag));
                    relations->Count = static_cast<ULONG>(children.size());
                    for (size_t i = 0; i < children.size(); ++i) {
                        relations->Objects[i] = children[i];
                        ObReferenceObject(children[i]);
                    }
                    irp->IoStatus.Information = reinterpret_cast<ULONG_PTR>(relations);
                    irp->IoStatus.Status = STATUS_SUCCESS;
                }
                break;
            case IRP_MN_REMOVE_DEVICE:
                // The bus goes: children it still has were removed already and are deleted with it.
                for (PDEVICE_OBJECT child : children) {
                    IoDeleteDevice(child);
                }
                children.clear();
                return PassAndLog("bus", device, irp);
            default: break;
            }
        }
        return PassAndLog("bus", device, irp);
    }

    NTSTATUS ChildDispatch(const std::shared_ptr<Child>& child, PDEVICE_OBJECT device, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        NTSTATUS status = irp->IoStatus.Status;
        if (location->MajorFunction != IRP_MJ_PNP) {
            status = STATUS_SUCCESS;
        } else {
            if (!MinorName(location->MinorFunction).empty()) {
                log.Add("pdo:" + MinorName(location->MinorFunction));
            }
            switch (location->MinorFunction) {
            case IRP_MN_QUERY_ID:
                switch (location->Parameters.QueryId.IdType) {
                case BusQueryDeviceID:
                    log.Add("pdo:query-id");
                    irp->IoStatus.Information = PoolText(child->deviceId + u'\0');
                    status = STATUS_SUCCESS;
                    break;
                case BusQueryInstanceID:
                    irp->IoStatus.Information = PoolText(child->instanceId + u'\0');
                    status = STATUS_SUCCESS;
                    break;
                case BusQueryHardwareIDs:
                    irp->IoStatus.Information = PoolText(MultiSz(child->hardwareIds));
                    status = STATUS_SUCCESS;
                    break;
                case BusQueryCompatibleIDs:
                    irp->IoStatus.Information = PoolText(MultiSz(child->compatibleIds));
                    status = STATUS_SUCCESS;
                    break;
                default: break;
                }
                break;
            case IRP_MN_QUERY_DEVICE_TEXT:
                irp->IoStatus.Information = PoolText(
                    (location->Parameters.QueryDeviceText.DeviceTextType == DeviceTextDescription ? child->text
                                                                                                  : child->location) +
                    u'\0');
                status = STATUS_SUCCESS;
                break;
            case IRP_MN_QUERY_CAPABILITIES:
                location->Parameters.DeviceCapabilities.Capabilities->Address = child->address;
                location->Parameters.DeviceCapabilities.Capabilities->Removable = TRUE;
                status = STATUS_SUCCESS;
                break;
            case IRP_MN_START_DEVICE: status = child->failStart ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS; break;
            case IRP_MN_QUERY_REMOVE_DEVICE:
            case IRP_MN_CANCEL_REMOVE_DEVICE:
            case IRP_MN_SURPRISE_REMOVAL: status = STATUS_SUCCESS; break;
            case IRP_MN_REMOVE_DEVICE:
                status = STATUS_SUCCESS;
                if (child->missing) {
                    irp->IoStatus.Status = status;
                    IoCompleteRequest(irp, IO_NO_INCREMENT);
                    IoDeleteDevice(device);
                    return status;
                }
                break;
            default: break;
            }
        }
        irp->IoStatus.Status = status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }

    // A bus driver's hot plug: a new PDO in the next bus relations, and the manager told to look.
    PDEVICE_OBJECT Plug(Child description = {}, const char16_t* name = u"\\Device\\USBPDO-3") {
        auto child = std::make_shared<Child>(std::move(description));
        PDEVICE_OBJECT pdo = iotest::CreateDevice(
            busDriver, [this, child](PDEVICE_OBJECT dev, PIRP irp) { return ChildDispatch(child, dev, irp); }, name);
        childInfo[pdo] = child;
        children.push_back(pdo);
        IoInvalidateDeviceRelations(busPdo, BusRelations);
        nt::pnp::WaitForIdle();
        return pdo;
    }

    void Unplug(PDEVICE_OBJECT pdo) {
        childInfo[pdo]->missing = true;
        children.erase(std::remove(children.begin(), children.end(), pdo), children.end());
        IoInvalidateDeviceRelations(busPdo, BusRelations);
        nt::pnp::WaitForIdle();
    }

    NTSTATUS Property(PDEVICE_OBJECT device, DEVICE_REGISTRY_PROPERTY property, std::u16string& text) {
        WCHAR buffer[256] = {};
        ULONG length = 0;
        NTSTATUS status = IoGetDeviceProperty(device, property, sizeof buffer, buffer, &length);
        text.assign(buffer, length / sizeof(WCHAR));
        return status;
    }

    EventLog log;
    PDRIVER_OBJECT busDriver = nullptr;
    PDEVICE_OBJECT busPdo = nullptr;
    PDEVICE_OBJECT busFdo = nullptr;
    std::u16string busInstance;
    std::vector<PDEVICE_OBJECT> children;
    std::vector<PDEVICE_OBJECT> functionDevices;
    std::map<PDEVICE_OBJECT, std::shared_ptr<Child>> childInfo;
    bool vetoRemoval = false;
};

TEST_F(PnpManagerTest, ArrivalBuildsTheStackBottomUpAndStartsItTopDown) {
    PDEVICE_OBJECT pdo = Plug();
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"pdo:query-id", "fn:add-device", "filter:add-device above fn",
                                                    "filter:start", "fn:start", "pdo:start", "fn:start-completed"}));
    EXPECT_TRUE(pdo->Flags & DO_BUS_ENUMERATED_DEVICE);
    auto nodes = nt::pnp::DeviceNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].instancePath, busInstance);
    EXPECT_EQ(nodes[1].pdo, pdo);
    EXPECT_EQ(nodes[1].parentInstancePath, u"ROOT\\TESTBUS\\0000");
    EXPECT_EQ(nodes[1].service, u"testfn");
    EXPECT_TRUE(nodes[1].started);
    // Not unique by itself: the parent's prefix makes the instance ID, as "5&2c3c5a3b&0&3".
    std::string path = nt::text::Utf16ToAnsi(nodes[1].instancePath);
    EXPECT_TRUE(std::regex_match(path, std::regex(R"(USB\\VID_1234&PID_5678\\5&[0-9a-f]+&0&3)"))) << path;
}

TEST_F(PnpManagerTest, ClassFilterJoinsOnlyDevicesOfItsClass) {
    Child hid;
    hid.deviceId = u"HID\\VID_1234&PID_5678";
    hid.hardwareIds = {u"HID\\VID_1234&PID_5678"};
    hid.compatibleIds = {};
    Plug(hid, u"\\Device\\HidPdo");
    std::vector<std::string> entries = log.Take();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "other:add-device"), 1);
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.rfind("filter:", 0) == 0; }), 0);

    Plug();
    entries = log.Take();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "filter:add-device above fn"), 1);
}

TEST_F(PnpManagerTest, UnplugRemovesTheStackAndUnloadsDriversWhoseLastDeviceLeft) {
    PDEVICE_OBJECT first = Plug();
    PDEVICE_OBJECT second = Plug({}, u"\\Device\\USBPDO-4");
    log.Take();

    Unplug(first);
    EXPECT_EQ(log.Take(),
              (std::vector<std::string>{"filter:surprise-removal", "fn:surprise-removal", "pdo:surprise-removal",
                                        "filter:remove", "fn:remove", "pdo:remove"}));
    EXPECT_NE(nt::pnp::LoadedDriver(u"testfn"), nullptr); // still drives the second device

    Unplug(second);
    std::vector<std::string> entries = log.Take();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ((std::vector<std::string>(entries.end() - 2, entries.end())),
              (std::vector<std::string>{"fn:unload", "filter:unload"}));
    EXPECT_EQ(nt::pnp::LoadedDriver(u"testfn"), nullptr);
    EXPECT_EQ(nt::pnp::LoadedDriver(u"testfilter"), nullptr);
    nt::ob::Entry entry;
    EXPECT_EQ(nt::ob::Lookup(u"\\Driver\\testfn", entry), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(nt::ob::Lookup(u"\\Device\\USBPDO-3", entry), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), 1u);
    EXPECT_NE(nt::pnp::LoadedDriver(u"testbus"), nullptr);
}

TEST_F(PnpManagerTest, ShutdownFreesDriversWithoutAnUnloadRoutineLast) {
    // The platform never unloads a driver without an unload routine, so another driver may still read its
    // object while unloading (as a filter that hooked it does).
    PDRIVER_OBJECT permanent = iotest::LoadDriver(u"a-permanent", {.unloadable = false});
    ASSERT_NE(permanent, nullptr);
    bool permanentSeen = false;
    iotest::LoadDriver(u"z-watcher", {.unload = [&](PDRIVER_OBJECT) {
                           permanentSeen = permanent->DriverUnload == nullptr; // ASan: no use after free
                       }});
    nt::pnp::Shutdown();
    EXPECT_TRUE(permanentSeen);
    EXPECT_EQ(nt::pnp::LoadedDriver(u"a-permanent"), nullptr);
}

TEST_F(PnpManagerTest, RemovingABusRemovesItsChildrenFirst) {
    Plug();
    log.Take();
    ASSERT_EQ(nt::pnp::RemoveRootDevice(busInstance, true), STATUS_SUCCESS);
    std::vector<std::string> entries = log.Take();
    auto at = [&](const char* e) { return std::find(entries.begin(), entries.end(), e) - entries.begin(); };
    EXPECT_LT(at("pdo:surprise-removal"), at("bus:surprise-removal"));
    EXPECT_LT(at("bus:surprise-removal"), at("fn:remove"));
    EXPECT_LT(at("pdo:remove"), at("bus:remove"));
    EXPECT_LT(at("bus:remove"), static_cast<ptrdiff_t>(entries.size()));
    EXPECT_TRUE(nt::pnp::DeviceNodes().empty());
    EXPECT_EQ(nt::pnp::LoadedDriver(u"testbus"), nullptr);
}

TEST_F(PnpManagerTest, OrderlyRemovalAsksFirstAndAVetoKeepsTheDevices) {
    Plug();
    log.Take();
    vetoRemoval = true;
    EXPECT_EQ(nt::pnp::RemoveRootDevice(busInstance), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"filter:query-remove", "fn:query-remove vetoed",
                                                    "filter:cancel-remove", "fn:cancel-remove", "pdo:cancel-remove"}));
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), 2u);

    vetoRemoval = false;
    EXPECT_EQ(nt::pnp::RemoveRootDevice(busInstance), STATUS_SUCCESS);
    std::vector<std::string> entries = log.Take();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "pdo:surprise-removal"), 0);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "fn:remove"), 1);
    EXPECT_TRUE(nt::pnp::DeviceNodes().empty());
}

TEST_F(PnpManagerTest, FailedStartRemovesTheStackAndLeavesTheNodeFailed) {
    Child broken;
    broken.failStart = true;
    PDEVICE_OBJECT pdo = Plug(broken);
    std::vector<std::string> entries = log.Take();
    ASSERT_GE(entries.size(), 6u);
    EXPECT_EQ((std::vector<std::string>(entries.end() - 6, entries.end())),
              (std::vector<std::string>{"fn:start-completed", "filter:remove", "fn:remove", "pdo:remove", "fn:unload",
                                        "filter:unload"}));
    ULONG state = 0, length = 0;
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyInstallState, sizeof state, &state, &length), STATUS_SUCCESS);
    EXPECT_EQ(state, ULONG(InstallStateFailedInstall));
    EXPECT_FALSE(nt::pnp::DeviceNodes()[1].started);
}

TEST_F(PnpManagerTest, PropertiesAnswerInThePlatformsForms) {
    // Five devices of the class were installed before this one.
    auto classKey = nt::pnp::reg::CreatePath(nt::pnp::reg::ClassKeyPath(kUsbClass));
    for (const char16_t* number : {u"0000", u"0001", u"0002", u"0003", u"0004"}) {
        nt::registry::KeyRef sub;
        bool created;
        nt::registry::CreateKey(classKey, number, false, u"", sub, created);
    }
    PDEVICE_OBJECT pdo = Plug();

    struct Case {
        DEVICE_REGISTRY_PROPERTY property;
        std::u16string expected;
    };
    const Case cases[] = {
        {DevicePropertyDeviceDescription, std::u16string(u"Test Device") + u'\0'},
        {DevicePropertyHardwareID, MultiSz({u"USB\\VID_1234&PID_5678&REV_0100", u"USB\\VID_1234&PID_5678"})},
        {DevicePropertyCompatibleIDs, MultiSz({u"USB\\Class_FF&SubClass_00&Prot_00", u"USB\\Class_FF"})},
        {DevicePropertyClassName, std::u16string(u"USB") + u'\0'},
        {DevicePropertyClassGuid, std::u16string(kUsbClassText) + u'\0'},
        {DevicePropertyDriverKeyName, std::u16string(kUsbClassText) + u"\\0005" + u'\0'},
        {DevicePropertyEnumeratorName, std::u16string(u"USB") + u'\0'},
        {DevicePropertyPhysicalDeviceObjectName, std::u16string(u"\\Device\\USBPDO-3") + u'\0'},
        {DevicePropertyLocationInformation, std::u16string(u"Port_#0003.Hub_#0001") + u'\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.property);
        std::u16string value;
        EXPECT_EQ(Property(pdo, c.property, value), STATUS_SUCCESS);
        EXPECT_EQ(value, c.expected);
    }
    ULONG address = 0, length = 0;
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyAddress, sizeof address, &address, &length), STATUS_SUCCESS);
    EXPECT_EQ(address, 3u);
    EXPECT_EQ(length, sizeof(ULONG));

    WCHAR small[4];
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyDriverKeyName, sizeof small, small, &length),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, (std::u16string(kUsbClassText).size() + 6) * sizeof(WCHAR));
    std::u16string value;
    EXPECT_EQ(Property(pdo, DevicePropertyManufacturer, value), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(Property(functionDevices.front(), DevicePropertyClassName, value), STATUS_INVALID_DEVICE_REQUEST);

    // The node is recorded under Enum, where the same instance finds its driver key again.
    auto enumKey = nt::pnp::reg::OpenPath(nt::pnp::reg::EnumKeyPath(nt::pnp::DeviceNodes()[1].instancePath));
    EXPECT_EQ(nt::pnp::reg::GetString(enumKey, u"Driver"), std::u16string(kUsbClassText) + u"\\0005");
    EXPECT_EQ(nt::pnp::reg::GetString(enumKey, u"Service"), u"testfn");
    Unplug(pdo);
    pdo = Plug();
    EXPECT_EQ(Property(pdo, DevicePropertyDriverKeyName, value), STATUS_SUCCESS);
    EXPECT_EQ(value, std::u16string(kUsbClassText) + u"\\0005" + u'\0');
    Child another;
    another.instanceId = u"4";
    PDEVICE_OBJECT next = Plug(another, u"\\Device\\USBPDO-4");
    EXPECT_EQ(Property(next, DevicePropertyDriverKeyName, value), STATUS_SUCCESS);
    EXPECT_EQ(value, std::u16string(kUsbClassText) + u"\\0006" + u'\0');
}

TEST_F(PnpManagerTest, DeviceRegistryKeysOpenUnderEnumAndTheClass) {
    PDEVICE_OBJECT pdo = Plug();
    HANDLE key = nullptr;
    ASSERT_EQ(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_ALL_ACCESS, &key), STATUS_SUCCESS);
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"Setting");
    ULONG one = 1;
    EXPECT_EQ(ZwSetValueKey(key, &name, 0, REG_DWORD, &one, sizeof one), STATUS_SUCCESS);
    ZwClose(key);
    auto parameters = nt::pnp::reg::OpenPath(nt::pnp::reg::EnumKeyPath(nt::pnp::DeviceNodes()[1].instancePath) +
                                             u"\\Device Parameters");
    nt::registry::Value value;
    EXPECT_EQ(nt::registry::QueryValue(parameters, u"Setting", value), STATUS_SUCCESS);

    ASSERT_EQ(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DRIVER, KEY_READ, &key), STATUS_SUCCESS);
    UNICODE_STRING description = RTL_CONSTANT_STRING(u"DriverDesc");
    UCHAR buffer[128];
    ULONG length = 0;
    EXPECT_EQ(ZwQueryValueKey(key, &description, KeyValuePartialInformation, buffer, sizeof buffer, &length),
              STATUS_SUCCESS);
    ZwClose(key);
    EXPECT_EQ(IoOpenDeviceRegistryKey(busFdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key), STATUS_INVALID_DEVICE_REQUEST);
}

TEST_F(PnpManagerTest, InterfacesLinkToThePdoWhileTheDeviceIsThere) {
    PDEVICE_OBJECT pdo = Plug();
    UNICODE_STRING link{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kDeviceInterface, nullptr, &link), STATUS_SUCCESS);
    std::string text = nt::text::Utf16ToAnsi(nt::text::View(&link));
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\\\?\?\\USB#VID_1234&PID_5678#5&[0-9a-f]+&0&3#)"
                                                  R"(\{a5dcbf10-6530-11d2-901f-00c04fb951ed\})")))
        << text;
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_OBJECT_NAME_EXISTS);
    nt::ob::Entry entry;
    ASSERT_EQ(nt::ob::Lookup(nt::text::View(&link), entry), STATUS_SUCCESS);
    EXPECT_EQ(entry.object, pdo);

    PWSTR list = nullptr;
    ASSERT_EQ(IoGetDeviceInterfaces(&kDeviceInterface, nullptr, 0, &list), STATUS_SUCCESS);
    EXPECT_EQ(nt::text::View(list), nt::text::View(&link));
    EXPECT_EQ(list[link.Length / sizeof(WCHAR) + 1], 0);
    ExFreePool(list);

    Unplug(pdo);
    EXPECT_EQ(nt::ob::Lookup(nt::text::View(&link), entry), STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_EQ(IoGetDeviceInterfaces(&kDeviceInterface, nullptr, 0, &list), STATUS_SUCCESS);
    EXPECT_EQ(list[0], 0);
    ExFreePool(list);
    ASSERT_EQ(IoGetDeviceInterfaces(&kDeviceInterface, nullptr, DEVICE_INTERFACE_INCLUDE_NONACTIVE, &list),
              STATUS_SUCCESS);
    EXPECT_EQ(nt::text::View(list), nt::text::View(&link));
    ExFreePool(list);
    RtlFreeUnicodeString(&link);
}

TEST_F(PnpManagerTest, RootDeviceCanNameItsOwnDriver) {
    nt::pnp::RootDevice device;
    device.deviceId = u"ROOT\\SECONDBUS";
    device.service = u"testbus";
    device.classGuid = kSystemClass;
    std::u16string instance;
    PDEVICE_OBJECT pdo = nullptr;
    ASSERT_EQ(nt::pnp::AddRootDevice(device, &instance, &pdo), STATUS_SUCCESS);
    EXPECT_EQ(instance, u"ROOT\\SECONDBUS\\0000");
    EXPECT_EQ(busPdo, pdo); // the bus driver's AddDevice ran for it
    std::u16string value;
    EXPECT_EQ(Property(pdo, DevicePropertyClassName, value), STATUS_SUCCESS);
    EXPECT_EQ(value, std::u16string(u"System") + u'\0');
    EXPECT_EQ(Property(pdo, DevicePropertyEnumeratorName, value), STATUS_SUCCESS);
    EXPECT_EQ(value, std::u16string(u"ROOT") + u'\0');
    EXPECT_EQ(nt::pnp::PhysicalDeviceObject(instance), pdo);
    EXPECT_EQ(nt::pnp::RemoveRootDevice(instance), STATUS_SUCCESS);
    EXPECT_EQ(nt::pnp::PhysicalDeviceObject(instance), nullptr);
}

TEST_F(PnpManagerTest, AReferencedPdoOutlivesItsNodesRemoval) {
    PDEVICE_OBJECT pdo = Plug();
    const std::u16string instance = nt::pnp::DeviceNodes()[1].instancePath;
    PDEVICE_OBJECT held = nt::pnp::ReferencePhysicalDeviceObject(instance);
    ASSERT_EQ(held, pdo);

    Unplug(pdo);
    EXPECT_EQ(nt::pnp::PhysicalDeviceObject(instance), nullptr);
    EXPECT_EQ(nt::pnp::ReferencePhysicalDeviceObject(instance), nullptr);
    EXPECT_EQ(held->DriverObject, busDriver); // ASan: the removed node's PDO is still there for its holder
    ObDereferenceObject(held);
}

TEST_F(PnpManagerTest, StopRaisedByADriverOnTheManagersThreadReachesTheCaller) {
    Child broken;
    broken.deviceId = u"USB\\VID_BAD0&PID_0001";
    broken.hardwareIds = {u"USB\\VID_BAD0&PID_0001"};
    nt::pnp::RegisterDriverMatch({u"USB\\VID_BAD0&PID_0001", u"crasher", kUsbClass, u"", u""});
    iotest::RegisterDriver(u"crasher", {.addDevice = [](PDRIVER_OBJECT, PDEVICE_OBJECT) -> NTSTATUS {
                               KeBugCheckEx(MANUALLY_INITIATED_CRASH, 1, 2, 3, 4);
                           }});
    EXPECT_THROW(Plug(broken, u"\\Device\\USBPDO-7"), NtBugCheck);
    nt::pnp::WaitForIdle(); // reported once
}

TEST_F(PnpManagerTest, DeviceWithoutADriverStaysUntilItsBusDropsIt) {
    Child unknown;
    unknown.deviceId = u"USB\\VID_FFFF&PID_0001";
    unknown.hardwareIds = {u"USB\\VID_FFFF&PID_0001"};
    unknown.compatibleIds = {};
    PDEVICE_OBJECT pdo = Plug(unknown, u"\\Device\\USBPDO-9");
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"pdo:query-id"}));
    auto nodes = nt::pnp::DeviceNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1].service, u"");
    std::u16string value;
    EXPECT_EQ(Property(pdo, DevicePropertyDeviceDescription, value), STATUS_SUCCESS);
    EXPECT_EQ(value, std::u16string(u"Gadget from the device") + u'\0');
    Unplug(pdo);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"pdo:remove"}));
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), 1u);
}

} // namespace
