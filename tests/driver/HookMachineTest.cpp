// Hooking on the simulated machine, with KxTdloft booted as the upper filter of the USB class: the live port
// queries to a real hub, class drivers that unload with their last device while hooked, and the capture
// driver's own unload giving every hooked driver its entries back.
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/DevstkInfo.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/core/Pool.h"
#include "driver/hook/Hook.h"
#include "driver/hook/HubBusInterfaceHook.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "platform/sim/Machine.h"
#include "tests/driver/HookTestFixture.h"
#include "tests/driver/LogTestHelpers.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"

namespace drivertest {
namespace {

ULONG_PTR Address(const void* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

bool Hooked(PDRIVER_OBJECT driver) {
    for (UCHAR major : {IRP_MJ_DEVICE_CONTROL, IRP_MJ_INTERNAL_DEVICE_CONTROL, IRP_MJ_POWER, IRP_MJ_PNP}) {
        if (driver->MajorFunction[major] != &HookedDispatch) {
            return false;
        }
    }
    return true;
}

class HookOnMachine : public DriverFixture {
protected:
    void SetUp() override {}
    void TearDown() override {
        Close();
        if (m_machine) {
            m_machine->Shutdown();
            m_machine.reset();
        }
        for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
            EXPECT_EQ(nt::pool::Stats(tag).liveCount, 0u) << std::hex << tag;
        }
    }

    void Boot(const sim::MachineBuilder& hardware = sim::DefaultMachine()) {
        sim::MachineOptions options;
        options.captureDriverEntry = DriverEntry;
        m_machine = sim::Machine::Boot(hardware, options);
        ASSERT_EQ(m_machine->Status(), STATUS_SUCCESS);
        ASSERT_EQ(m_machine->CaptureDriverStatus(), STATUS_SUCCESS);
        ASSERT_TRUE(Open()) << GetLastError();
    }

    PDEVICE_OBJECT Pdo(std::string_view name) const {
        std::shared_ptr<sim::UsbDevice> device = m_machine->Device(name);
        return device ? device->PhysicalDeviceObject() : nullptr;
    }

    // The tree learns the children of `parent` as request capture learns them from its bus-relations report.
    static void TellChildren(PDEVICE_OBJECT parent) {
        std::u16string parentPath;
        const std::vector<nt::pnp::DeviceNodeInfo> nodes = nt::pnp::DeviceNodes();
        for (const auto& node : nodes) {
            if (node.pdo == parent) {
                parentPath = node.instancePath;
            }
        }
        std::vector<PDEVICE_OBJECT> children;
        for (const auto& node : nodes) {
            if (!parentPath.empty() && node.parentInstancePath == parentPath) {
                children.push_back(node.pdo);
            }
        }
        ASSERT_FALSE(children.empty());
        StackTreeBusRelations(IoGetAttachedDevice(parent), static_cast<ULONG>(children.size()), children.data());
    }

    USHORT StackIdOf(PDEVICE_OBJECT pdo) {
        PDEVICE_STACK stack = nullptr;
        PDEVOBJ_NODE node = nullptr;
        if (!FindStackByPdo(pdo, &stack, &node)) {
            return 0;
        }
        const USHORT id = static_cast<USHORT>(stack->StackID);
        DeviceNodeRelease(node);
        StackRelease(stack);
        return id;
    }

    DriverNodeList FetchDriverNodes() {
        ULONG size = 0;
        EXPECT_TRUE(Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, &size, sizeof size).ok);
        std::vector<uint8_t> bytes(size);
        const IoctlResult data = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), size);
        EXPECT_TRUE(data.ok) << data.error;
        DriverNodeList list = ParseDriverNodes(bytes);
        EXPECT_TRUE(list.wellFormed);
        return list;
    }

    IoctlResult Refresh() { return Ioctl(IOCTL_TINDALOFT_DEVSTK_REFRESH, nullptr, 0, nullptr, 0); }

    std::unique_ptr<sim::Machine> m_machine;
};

TEST_F(HookOnMachine, ConnectionInformationComesLiveFromTheHubAndIsNotRecorded) {
    Boot();
    PDEVICE_OBJECT hub = Pdo("hub");
    ASSERT_NE(hub, nullptr);
    const USHORT id = StackIdOf(hub);
    ASSERT_NE(id, 0);
    ASSERT_TRUE(Hooked(IoGetAttachedDevice(hub)->DriverObject));

    // Capture on for everything the hub's stack holds, and the capture log running.
    const ULONG autoEnable = 1;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &autoEnable, sizeof autoEnable, nullptr, 0).ok);
    for (PDEVICE_OBJECT device : tdl::test::StackOf(hub)) {
        if (PDEVOBJ_NODE node = FindDeviceNode(device, TRUE)) {
            DeviceNodeClearFlags(node, DEVOBJ_CAPTURE_OFF);
            DeviceNodeRelease(node);
        }
    }

    std::vector<uint8_t> request(64, 0);
    tdl::StoreLe<USHORT>(request.data(), id);
    tdl::StoreLe<USHORT>(request.data() + 2, DEVSTK_CONNECTION_INFORMATION);
    tdl::StoreLe<ULONG>(request.data() + 8, 1); // the keyboard's port
    const IoctlResult reply = Ioctl(IOCTL_TINDALOFT_GET_DEVSTK_INFO, request.data(), 64, request.data(), 64);
    ASSERT_TRUE(reply.ok) << reply.error;
    ASSERT_EQ(reply.bytes, 43u);
    // The driver's own request is passed on unrecorded (a caller's request to the hub would be recorded).
    for (const auto& record : ReadLog(IOCTL_TINDALOFT_READ_LOG)) {
        EXPECT_NE(record.function, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION) << std::hex << record.tag;
    }

    std::vector<uint8_t> direct(DEVSTK_CONNECTION_INFORMATION_SIZE, 0);
    tdl::StoreLe<ULONG>(direct.data(), 1);
    const tdl::test::IoResult asked =
        tdl::test::DeviceControl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, direct.data(), 35, direct.data(), 35);
    ASSERT_EQ(asked.status, STATUS_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(request.begin() + 8, request.begin() + 43), direct);
    EXPECT_EQ(std::memcmp(request.data() + 12, m_machine->Device("keyboard")->Descriptors().device.data(), 18), 0);

    // The driver key name of the same port, of the length the caller gives.
    std::vector<uint8_t> key(8 + 200, 0);
    tdl::StoreLe<USHORT>(key.data(), id);
    tdl::StoreLe<USHORT>(key.data() + 2, DEVSTK_DRIVERKEY_NAME);
    tdl::StoreLe<ULONG>(key.data() + 4, 200);
    tdl::StoreLe<ULONG>(key.data() + 8, 1);
    const IoctlResult keyReply = Ioctl(IOCTL_TINDALOFT_GET_DEVSTK_INFO, key.data(), 208, key.data(), 208);
    ASSERT_TRUE(keyReply.ok) << keyReply.error;
    EXPECT_EQ(keyReply.bytes, 208u);
    const std::u16string expected = tdl::test::Property(Pdo("keyboard"), DevicePropertyDriverKeyName);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(std::memcmp(key.data() + 16, expected.data(), expected.size() * sizeof(char16_t)), 0);
}

TEST_F(HookOnMachine, ClassDriverUnloadedWithItsLastDeviceStaysListedUntilRefresh) {
    sim::MachineBuilder hardware;
    hardware.AddController(sim::ControllerType::Ehci, "ehci").Plug(1, sim::MakeCompositeDevice("composite"));
    Boot(hardware);
    PDEVICE_OBJECT composite = Pdo("composite");
    ASSERT_NE(composite, nullptr);
    TellChildren(composite);
    ASSERT_TRUE(Refresh().ok);

    // Every driver of the interface stacks is hooked; remember what each had as its unload routine.
    std::vector<std::pair<PDRIVER_OBJECT, PDRIVER_UNLOAD>> interfaceDrivers;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        if (node.parentInstancePath.empty() || nt::pnp::PhysicalDeviceObject(node.parentInstancePath) != composite) {
            continue;
        }
        PDRIVER_OBJECT driver = IoGetAttachedDevice(node.pdo)->DriverObject;
        PDRVOBJ_EXTENSION extension = HookFindExtension(driver);
        ASSERT_NE(extension, nullptr) << std::string(node.service.begin(), node.service.end());
        ASSERT_NE(extension->SavedDriverUnload, nullptr);
        interfaceDrivers.emplace_back(driver, extension->SavedDriverUnload);
    }
    ASSERT_FALSE(interfaceDrivers.empty());
    const ULONG word = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_CLOG, &word, sizeof word, nullptr, 0).ok);

    ASSERT_NE(m_machine->Unplug("composite"), nullptr);

    const DriverNodeList list = FetchDriverNodes();
    const std::vector<std::string> events = FetchMemlogTags();
    const MemlogReply memlog = FetchMemlog();
    const auto changes = ReadLog(IOCTL_TINDALOFT_READ_CLOG);
    for (const auto& entry : interfaceDrivers) {
        PDRIVER_OBJECT driver = entry.first;
        const PDRIVER_UNLOAD savedUnload = entry.second;
        const auto listed = std::find_if(list.drivers.begin(), list.drivers.end(), [&](const ListedDriver& d) {
            return d.driver.DriverObject == Address(driver);
        });
        ASSERT_NE(listed, list.drivers.end());
        EXPECT_EQ(+listed->driver.DriverFlags, DRIVER_NODE_UNLOADED);
        EXPECT_NE(+listed->driver.UnloadTime, 0u);

        // "UnL1" names the routine about to run; "UnL2" follows once it has returned.
        const auto before = std::find_if(memlog.entries.begin(), memlog.entries.end(), [&](const MEMLOG_ENTRY& e) {
            return e.Tag == FourCC("UnL1") && e.Value1 == Address(driver) &&
                   e.Value2 == reinterpret_cast<ULONG_PTR>(savedUnload);
        });
        ASSERT_NE(before, memlog.entries.end());
        EXPECT_NE(
            std::find_if(before, memlog.entries.end(),
                         [&](const MEMLOG_ENTRY& e) { return e.Tag == FourCC("UnL2") && e.Value1 == Address(driver); }),
            memlog.entries.end());
        EXPECT_EQ(std::count_if(changes.begin(), changes.end(),
                                [&](const drvlog_test::ReadRecord& r) {
                                    DRIVER_NODE node{};
                                    if (r.tag != LogTag::vrdR || r.dataSize != sizeof node) {
                                        return false;
                                    }
                                    std::memcpy(&node, r.Payload().data(), sizeof node);
                                    return node.DriverObject == Address(driver);
                                }),
                  1);
    }

    ASSERT_TRUE(Refresh().ok);
    for (const ListedDriver& listed : FetchDriverNodes().drivers) {
        EXPECT_EQ(+listed.driver.DriverFlags, 0u);
    }
}

TEST_F(HookOnMachine, CaptureDriverUnloadGivesEveryHookedDriverItsEntriesBack) {
    Boot();
    std::set<PDRIVER_OBJECT> hooked;
    for (const ListedDriver& listed : FetchDriverNodes().drivers) {
        hooked.insert(reinterpret_cast<PDRIVER_OBJECT>(static_cast<ULONG_PTR>(listed.driver.DriverObject)));
    }
    ASSERT_GE(hooked.size(), 3u); // miniports, the hub driver, the composite driver
    for (PDRIVER_OBJECT driver : hooked) {
        ASSERT_TRUE(Hooked(driver));
    }

    Close();
    nt::pnp::UnloadDriver(sim::kCaptureService);
    ASSERT_FALSE(IsLoaded());
    for (PDRIVER_OBJECT driver : hooked) {
        for (UCHAR major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
            EXPECT_NE(driver->MajorFunction[major], &HookedDispatch);
        }
        EXPECT_NE(driver->DriverUnload, &HookedDriverUnload);
    }
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).liveCount, 0u);

    // The drivers still work: a hub answers, a device goes and another comes.
    std::vector<uint8_t> connection(DEVSTK_CONNECTION_INFORMATION_SIZE, 0);
    tdl::StoreLe<ULONG>(connection.data(), 1);
    EXPECT_EQ(tdl::test::DeviceControl(Pdo("hub"), IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, connection.data(), 35,
                                       connection.data(), 35)
                  .status,
              STATUS_SUCCESS);
    ASSERT_NE(m_machine->Unplug("keyboard"), nullptr);
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeMouse("second-mouse")));
    PDEVICE_OBJECT mouse = Pdo("second-mouse");
    ASSERT_NE(mouse, nullptr);
    EXPECT_NE(IoGetAttachedDevice(mouse), mouse); // a function driver took it
}

// The hub bus-interface hook table is the image's data: each boot fills it with that machine's bus contexts
// and the driver's unload empties it, so a process that boots machine after machine never fills it.
TEST_F(HookOnMachine, TheHubInterfaceTableHoldsOneMachinesBusContextsWhateverTheBoots) {
    ULONG first = 0;
    for (int boot = 0; boot < 10; ++boot) {
        SCOPED_TRACE(boot);
        Boot();
        const ULONG held = HubBusInterfaceHookCount();
        if (boot == 0)
            first = held;
        EXPECT_GT(held, 0u);
        EXPECT_EQ(held, first);
        Close();
        m_machine->Shutdown();
        m_machine.reset();
        EXPECT_EQ(HubBusInterfaceHookCount(), 0u);
    }
}

} // namespace
} // namespace drivertest
