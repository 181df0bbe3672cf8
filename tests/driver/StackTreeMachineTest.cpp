// The device-stack tree on the simulated machine, with KxTdloft booted as the upper filter of the USB class.
//
// What request capture will tell the tree from Plug and Play (the bus relations of hubs, controllers and
// composite parents; device IDs; removals) is handed to the tree here through the same routines, after the
// fact, by the fixture.
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "NtErrorLogControl.h"
#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "NtText.h"
#include "common/ControlCodes.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "platform/sim/Machine.h"
#include "tests/driver/StackTreeFixture.h"

namespace drivertest {
namespace {

using Release = nt::version::Release;

ULONG_PTR Address(const void* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

class SimulatedMachine : public DriverFixture {
protected:
    void SetUp() override {}
    void TearDown() override {
        Close();
        if (m_machine) {
            m_machine->Shutdown();
            m_machine.reset();
        }
        // Every allocation of the driver is given back at unload.
        for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
            EXPECT_EQ(nt::pool::Stats(tag).liveCount, 0u) << std::hex << tag;
        }
        if (!m_stateDir.empty()) {
            std::filesystem::remove_all(m_stateDir);
        }
    }

    void Boot(Release release, const sim::MachineBuilder& hardware = sim::DefaultMachine(), bool keepState = false) {
        sim::MachineOptions options;
        options.release = release;
        options.captureDriverEntry = DriverEntry;
        if (keepState) {
            if (m_stateDir.empty()) {
                m_stateDir = std::filesystem::temp_directory_path() /
                             ("drvtree-" + std::to_string(::getpid()) + "-" +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
                std::filesystem::remove_all(m_stateDir);
            }
            options.stateDir = m_stateDir;
        }
        Close();
        if (m_machine) {
            m_machine->Shutdown();
        }
        m_machine = sim::Machine::Boot(hardware, options);
        ASSERT_EQ(m_machine->Status(), STATUS_SUCCESS);
        ASSERT_EQ(m_machine->CaptureDriverStatus(), STATUS_SUCCESS);
        ASSERT_TRUE(Open()) << GetLastError();
    }

    // What request capture learns from Plug and Play, in the order Plug and Play goes (parents first): each
    // device's ID, its start, and, for a stack with a device object whose driver is selected, the children it
    // reports.
    void TellTreeWhatCaptureSees() {
        const std::vector<nt::pnp::DeviceNodeInfo> nodes = nt::pnp::DeviceNodes();
        for (const auto& node : nodes) {
            PDEVICE_STACK stack;
            PDEVOBJ_NODE pdoNode;
            if (FindStackByPdo(node.pdo, &stack, &pdoNode)) {
                // The device ID: the instance path without its instance part.
                const std::u16string id = node.instancePath.substr(0, node.instancePath.rfind(u'\\'));
                StackTreeSetDeviceId(stack, id.c_str());
                DeviceNodeRelease(pdoNode);
                StackRelease(stack);
            }
            if (node.started) {
                StackTreeDeviceStarted(node.pdo);
            }
            std::vector<PDEVICE_OBJECT> children;
            for (const auto& child : nodes) {
                if (child.parentInstancePath == node.instancePath) {
                    children.push_back(child.pdo);
                }
            }
            if (!children.empty() && StackSelectsAny(node.pdo)) {
                StackTreeBusRelations(node.pdo, static_cast<ULONG>(children.size()), children.data());
            }
        }
    }

    static bool StackSelectsAny(PDEVICE_OBJECT pdo) {
        for (PDEVICE_OBJECT device = pdo; device != nullptr; device = device->AttachedDevice) {
            PDEVOBJ_NODE node = FindDeviceNode(device, TRUE);
            if (node != nullptr) {
                const bool selected = DeviceNodeFlags(node) & DEVOBJ_SELECTED;
                DeviceNodeRelease(node);
                if (selected) {
                    return true;
                }
            }
        }
        return false;
    }

    NodeList FetchNodes(bool presentOnly = false) {
        const DWORD code = presentOnly ? IOCTL_TINDALOFT_DEVSTK_NODES_EX : IOCTL_TINDALOFT_DEVSTK_NODES;
        ULONG size = 0;
        EXPECT_TRUE(Ioctl(code, nullptr, 0, &size, sizeof size).ok);
        std::vector<uint8_t> bytes(std::max<ULONG>(size, 8));
        const IoctlResult data = Ioctl(code, nullptr, 0, bytes.data(), static_cast<DWORD>(bytes.size()));
        EXPECT_TRUE(data.ok);
        EXPECT_EQ(data.bytes, size);
        bytes.resize(data.bytes);
        NodeList list = ParseDevstkNodes(bytes);
        EXPECT_TRUE(list.wellFormed);
        return list;
    }

    static const ListedStack* StackOf(const NodeList& list, PDEVICE_OBJECT pdo) {
        for (const ListedStack& stack : list.stacks) {
            if (!stack.devices.empty() && stack.devices.front().DeviceObject == Address(pdo)) {
                return &stack;
            }
        }
        return nullptr;
    }

    void EnableChangeLog() {
        const ULONG word = 0;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_CLOG, &word, sizeof word, nullptr, 0).ok);
    }
    std::vector<drvlog_test::ReadRecord> ReadChangeLog() { return ReadLog(IOCTL_TINDALOFT_READ_CLOG); }

    std::unique_ptr<sim::Machine> m_machine;
    std::filesystem::path m_stateDir;
};

// What one device object of a stack is expected to carry.
struct Expected {
    USHORT bottom;
    USHORT upper;
    bool selected;
};
using StackTable = std::vector<Expected>;

const StackTable kHostController = {{1, 0, false}, {0, 101, true}};
const StackTable kVendorHostController = {{1, 0, false}, {0, 102, true}};
const StackTable kRootHub = {{2, 0, true}, {0, 103, true}};
const StackTable kVendorRootHub = {{3, 0, true}, {0, 104, true}};
const StackTable kHubOnPort = {{4, 0, true}, {0, 103, true}};
const StackTable kDeviceOnPort = {{4, 0, true}, {0, 0, false}};
const StackTable kComposite = {{4, 0, true}, {0, 105, true}};
const StackTable kInterface = {{6, 0, true}, {0, 0, true}};
const StackTable kHubOnVendorPort = {{5, 0, true}, {0, 104, true}};
const StackTable kDeviceOnVendorPort = {{5, 0, true}, {0, 0, false}};

class StackTreeOnMachine : public SimulatedMachine, public ::testing::WithParamInterface<Release> {};

TEST_P(StackTreeOnMachine, EveryStackGetsTheClassesAndMarksOfItsKind) {
    Boot(GetParam());
    TellTreeWhatCaptureSees();
    const NodeList list = FetchNodes();
    const sim::Machine& machine = *m_machine;

    std::map<ULONG64, std::pair<std::string, const StackTable*>> expected;
    auto expect = [&](std::string what, PDEVICE_OBJECT pdo, const StackTable& table) {
        ASSERT_NE(pdo, nullptr) << what;
        expected[Address(pdo)] = {std::move(what), &table};
    };
    for (const char* name : {"ehci", "uhci", "ohci"}) {
        expect(name, machine.Controller(name)->PhysicalDeviceObject(), kHostController);
        expect(std::string(name) + " root hub", machine.Controller(name)->RootHub().PhysicalDeviceObject(), kRootHub);
    }
    expect("xhci", machine.Controller("xhci")->PhysicalDeviceObject(), kVendorHostController);
    expect("xhci root hub", machine.Controller("xhci")->RootHub().PhysicalDeviceObject(), kVendorRootHub);
    expect("hub", machine.Device("hub")->PhysicalDeviceObject(), kHubOnPort);
    for (const char* name : {"keyboard", "printer", "stick", "mouse", "loopback"}) {
        expect(name, machine.Device(name)->PhysicalDeviceObject(), kDeviceOnPort);
    }
    expect("composite", machine.Device("composite")->PhysicalDeviceObject(), kComposite);
    expect("ss-hub", machine.Device("ss-hub")->PhysicalDeviceObject(), kHubOnVendorPort);
    expect("ss-disk", machine.Device("ss-disk")->PhysicalDeviceObject(), kDeviceOnVendorPort);
    const ListedStack* composite = StackOf(list, machine.Device("composite")->PhysicalDeviceObject());
    ASSERT_NE(composite, nullptr);

    size_t interfaces = 0;
    for (const ListedStack& stack : list.stacks) {
        ASSERT_FALSE(stack.devices.empty());
        auto it = expected.find(+stack.devices.front().DeviceObject);
        std::string what;
        StackTable table;
        if (it != expected.end()) {
            what = it->second.first;
            table = *it->second.second;
            expected.erase(it);
        } else if (stack.stack.ParentStackID == composite->stack.StackID) {
            what = "composite interface";
            table = kInterface;
            ++interfaces;
        } else {
            // Children of class drivers (HID collections, disks, print ports): tracked, never classified.
            what = "class driver's child " + Text(stack.stack.DeviceID);
            table.assign(stack.devices.size(), Expected{0, 0, false});
        }
        SCOPED_TRACE(what);
        ASSERT_EQ(stack.devices.size(), table.size());
        for (size_t d = 0; d < table.size(); ++d) {
            const DEVICE_NODE& node = stack.devices[d];
            EXPECT_EQ(+node.BottomClass, table[d].bottom) << d;
            EXPECT_EQ(+node.UpperClass, table[d].upper) << d;
            // Selected drivers are hooked; nothing is recorded before the application selects it.
            EXPECT_EQ(+node.StatusFlags, DEVOBJ_CAPTURE_OFF | (table[d].selected ? DEVOBJ_SELECTED | DEVOBJ_HOOKED : 0))
                << d;
        }
    }
    EXPECT_EQ(interfaces, 2u);
    for (const auto& [address, entry] : expected) {
        ADD_FAILURE() << entry.first << " has no stack";
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, StackTreeOnMachine, ::testing::Values(Release::Windows7, Release::WindowsXP),
                         [](const ::testing::TestParamInfo<Release>& info) {
                             return info.param == Release::Windows7 ? "Windows7" : "WindowsXP";
                         });

TEST_F(SimulatedMachine, NewerReleaseClassifiesByDriverNameOnly) {
    Boot(Release::Windows10);
    TellTreeWhatCaptureSees();
    std::set<std::pair<USHORT, USHORT>> classes;
    for (const ListedStack& stack : FetchNodes().stacks) {
        for (const DEVICE_NODE& node : stack.devices) {
            classes.insert({+node.BottomClass, +node.UpperClass});
        }
    }
    // The PCI bus driver and the composite driver are known by name; no miniport or hub device object is
    // recognised by its extension.
    EXPECT_EQ(classes, (std::set<std::pair<USHORT, USHORT>>{{0, 0}, {1, 0}, {6, 0}, {0, 105}}));
}

TEST_F(SimulatedMachine, DeviceHandlesOfControllersAndCompositeInterfaces) {
    Boot(Release::Windows7);
    TellTreeWhatCaptureSees();
    const NodeList list = FetchNodes();
    for (const char* name : {"ehci", "uhci", "ohci", "xhci"}) {
        const ListedStack* controller = StackOf(list, m_machine->Controller(name)->PhysicalDeviceObject());
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(+controller->stack.UsbDeviceHandle, ~0ull) << name;
    }
    const ListedStack* composite = StackOf(list, m_machine->Device("composite")->PhysicalDeviceObject());
    ASSERT_NE(composite, nullptr);
    EXPECT_NE(+composite->stack.UsbDeviceHandle, 0u);
    size_t interfaces = 0;
    for (const ListedStack& stack : list.stacks) {
        if (stack.stack.ParentStackID == composite->stack.StackID) {
            EXPECT_EQ(+stack.stack.UsbDeviceHandle, +composite->stack.UsbDeviceHandle);
            ++interfaces;
        }
    }
    EXPECT_EQ(interfaces, 2u);
    // Every device on a hub port has a handle of its own.
    const ListedStack* stick = StackOf(list, m_machine->Device("stick")->PhysicalDeviceObject());
    const ListedStack* printer = StackOf(list, m_machine->Device("printer")->PhysicalDeviceObject());
    ASSERT_TRUE(stick != nullptr && printer != nullptr);
    EXPECT_NE(+stick->stack.UsbDeviceHandle, 0u);
    EXPECT_NE(+stick->stack.UsbDeviceHandle, +printer->stack.UsbDeviceHandle);
}

// A device of the one vendor and product the driver never hooks: a vendor-specific function the generic
// driver takes.
std::shared_ptr<sim::UsbDevice> MakeExcludedDevice() {
    sim::DeviceIdentity identity;
    identity.vendorId = 0x0423;
    identity.productId = 0x000D;
    sim::DescriptorSet descriptors;
    descriptors.device = sim::DeviceDescriptorBytes(identity);
    descriptors.configurations.push_back(sim::ConfigurationBuilder(1).Interface(0, 0, 0xFF, 0, 0).Build());
    descriptors.strings = {u""};
    return std::make_shared<sim::UsbDevice>("excluded", sim::UsbSpeed::Full, descriptors);
}

TEST_F(SimulatedMachine, ExcludedDeviceIsListedAndNeverMarked) {
    Boot(Release::Windows7);
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, MakeExcludedDevice()));
    TellTreeWhatCaptureSees();
    const NodeList list = FetchNodes();
    const ListedStack* excluded = StackOf(list, m_machine->Device("excluded")->PhysicalDeviceObject());
    ASSERT_NE(excluded, nullptr);
    EXPECT_EQ(Text(excluded->stack.DeviceID), "USB\\VID_0423&PID_000D");
    EXPECT_EQ(Text(excluded->stack.ClassName), "USB");
    ASSERT_EQ(excluded->devices.size(), 2u);
    for (const DEVICE_NODE& node : excluded->devices) {
        EXPECT_FALSE(node.StatusFlags & DEVOBJ_SELECTED) << +node.Position;
    }
    EXPECT_EQ(+excluded->devices[0].BottomClass, BOTTOM_CLASS_HUB_PORT); // classified all the same
    // Its neighbours on the hub keep theirs.
    const ListedStack* keyboard = StackOf(list, m_machine->Device("keyboard")->PhysicalDeviceObject());
    ASSERT_NE(keyboard, nullptr);
    EXPECT_TRUE(keyboard->devices[0].StatusFlags & DEVOBJ_SELECTED);
}

TEST_F(SimulatedMachine, HotRemovalOfTheHubMarksItsTreeAndTheNextRefreshFreesIt) {
    Boot(Release::Windows7);
    TellTreeWhatCaptureSees();
    PDEVICE_OBJECT hubPdo = m_machine->Device("hub")->PhysicalDeviceObject();
    const NodeList before = FetchNodes();
    const ListedStack* hub = StackOf(before, hubPdo);
    ASSERT_NE(hub, nullptr);
    // The hub's tree: the hub, what is plugged into it, and whatever those report in turn.
    std::set<USHORT> tree = {hub->stack.StackID};
    size_t treeNodes = 0;
    for (bool grew = true; grew;) {
        grew = false;
        for (const ListedStack& stack : before.stacks) {
            if (tree.count(stack.stack.ParentStackID) && tree.insert(stack.stack.StackID).second) {
                grew = true;
            }
        }
    }
    for (const ListedStack& stack : before.stacks) {
        treeNodes += tree.count(stack.stack.StackID) ? stack.devices.size() : 0;
    }
    ASSERT_GE(tree.size(), 8u); // hub, keyboard, printer, composite, two interfaces and their children
    EnableChangeLog();

    ASSERT_NE(m_machine->Unplug("hub"), nullptr);
    StackTreeDeviceRemoved(hubPdo); // REMOVE_DEVICE seen at the hub's physical device object

    const NodeList after = FetchNodes();
    ASSERT_EQ(after.stacks.size(), before.stacks.size());
    for (const ListedStack& stack : after.stacks) {
        const bool inTree = tree.count(stack.stack.StackID) != 0;
        EXPECT_EQ(+stack.stack.Removed, inTree ? 1u : 0u) << +stack.stack.StackID;
        for (const DEVICE_NODE& node : stack.devices) {
            EXPECT_EQ((node.StatusFlags & DEVOBJ_REMOVED) != 0, inTree) << +stack.stack.StackID;
        }
    }
    const NodeList present = FetchNodes(true);
    EXPECT_EQ(present.stacks.size(), before.stacks.size() - tree.size());
    for (const ListedStack& stack : present.stacks) {
        EXPECT_EQ(tree.count(stack.stack.StackID), 0u);
    }
    const auto records = ReadChangeLog();
    size_t vedR = 0;
    std::set<USHORT> ktsR;
    for (const auto& record : records) {
        vedR += record.tag == LogTag::vedR;
        if (record.tag == LogTag::ktsR) {
            ktsR.insert(LogHdr::StackID(record.bytes.data()));
        }
    }
    EXPECT_EQ(vedR, treeNodes);
    EXPECT_EQ(ktsR, tree);

    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_REFRESH, nullptr, 0, nullptr, 0).ok);
    const NodeList refreshed = FetchNodes();
    EXPECT_EQ(refreshed.stacks.size(), before.stacks.size() - tree.size());
    size_t listedNodes = 0;
    for (const ListedStack& stack : refreshed.stacks) {
        EXPECT_EQ(tree.count(stack.stack.StackID), 0u);
        listedNodes += stack.devices.size();
    }
    // Every removed node is freed with its stack: none is left over without one.
    EXPECT_EQ(static_cast<size_t>(g_Driver.DeviceNodeList.Count), listedNodes);
}

// The device-object entries of a DRVOBJ_NODES reply.
std::vector<DEVICE_NODE> DriverListDevices(const std::vector<uint8_t>& bytes) {
    std::vector<DEVICE_NODE> devices;
    NodeListReader reader(bytes);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    while (reader.Next(kind, entry)) {
        if (kind == NODE_KIND_DEVICE && entry.size() == sizeof(DEVICE_NODE)) {
            DEVICE_NODE node;
            std::memcpy(&node, entry.data(), sizeof node);
            devices.push_back(node);
        }
    }
    EXPECT_TRUE(reader.Ended());
    return devices;
}

TEST_F(SimulatedMachine, OrphanNodeIsListedWithoutStackAndLoggedOnce) {
    Boot(Release::Windows7);
    TellTreeWhatCaptureSees();
    PDEVICE_OBJECT compositePdo = m_machine->Device("composite")->PhysicalDeviceObject();
    const NodeList before = FetchNodes();
    const ListedStack* composite = StackOf(before, compositePdo);
    ASSERT_NE(composite, nullptr);
    std::vector<PDEVICE_OBJECT> pdos = {compositePdo};
    std::set<ULONG64> interfaceFunctions; // the class drivers' device objects on the interfaces
    std::set<USHORT> tree = {composite->stack.StackID};
    for (const ListedStack& stack : before.stacks) {
        if (stack.stack.ParentStackID == composite->stack.StackID) {
            pdos.push_back(reinterpret_cast<PDEVICE_OBJECT>(+stack.devices[0].DeviceObject));
            interfaceFunctions.insert(+stack.devices[1].DeviceObject);
        }
        if (tree.count(stack.stack.ParentStackID)) {
            tree.insert(stack.stack.StackID); // parents come before their children
        }
    }
    ASSERT_EQ(interfaceFunctions.size(), 2u);
    std::set<ULONG64> treeDevices;
    for (const ListedStack& stack : before.stacks) {
        for (const DEVICE_NODE& node : stack.devices) {
            if (tree.count(stack.stack.StackID)) {
                treeDevices.insert(+node.DeviceObject);
            }
        }
    }

    // Only the physical device objects are seen going (the device stays plugged in, so request capture sees
    // no removal of its own); the device objects above them are left behind.
    for (PDEVICE_OBJECT pdo : pdos) {
        PDEVOBJ_NODE node = FindDeviceNode(pdo, TRUE);
        ASSERT_NE(node, nullptr);
        DeviceNodeMarkRemoved(node);
        DeviceNodeRelease(node);
    }
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_REFRESH, nullptr, 0, nullptr, 0).ok);
    EXPECT_EQ(StackOf(FetchNodes(), compositePdo), nullptr);

    nt::errorlog::Clear();
    for (int listing = 0; listing < 2; ++listing) {
        ULONG size = 0;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, &size, sizeof size).ok);
        std::vector<uint8_t> bytes(size);
        const IoctlResult result = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), size);
        ASSERT_TRUE(result.ok) << result.error;
        std::set<ULONG64> orphans;
        for (const DEVICE_NODE& node : DriverListDevices(bytes)) {
            if (+node.StackID == 0) {
                orphans.insert(+node.DeviceObject);
            }
        }
        // The class drivers' device objects above the interfaces (and whatever else of the composite device's
        // tree a hooked driver still lists) outlive their stacks.
        EXPECT_TRUE(
            std::includes(orphans.begin(), orphans.end(), interfaceFunctions.begin(), interfaceFunctions.end()));
        EXPECT_TRUE(std::includes(treeDevices.begin(), treeDevices.end(), orphans.begin(), orphans.end()));
        // One system event-log entry per orphan, however often it is listed.
        EXPECT_EQ(nt::errorlog::Entries().size(), orphans.size());
    }
}

TEST_F(SimulatedMachine, SelectionsSurviveARebootForABootCapture) {
    Boot(Release::Windows7, sim::DefaultMachine(), true);
    TellTreeWhatCaptureSees();
    const NodeList list = FetchNodes();
    const ListedStack* stick = StackOf(list, m_machine->Device("stick")->PhysicalDeviceObject());
    const ListedStack* printer = StackOf(list, m_machine->Device("printer")->PhysicalDeviceObject());
    ASSERT_TRUE(stick != nullptr && printer != nullptr);
    const std::string stickKey = Text(stick->stack.DriverKeyName);
    const std::string printerKey = Text(printer->stack.DriverKeyName);
    ASSERT_EQ(stickKey.rfind("{36FC9E60-C465-11CF-8056-444553540000}\\", 0), 0u);

    // The application selects the stick's device objects and leaves the printer's off.
    std::vector<uint8_t> request;
    for (const auto& [stack, flags] : {std::pair{stick, 0u}, std::pair{printer, DEVOBJ_CAPTURE_OFF}}) {
        for (DEVICE_NODE node : stack->devices) {
            node.StatusFlags = flags;
            const auto* bytes = reinterpret_cast<const uint8_t*>(&node);
            request.insert(request.end(), bytes, bytes + sizeof node);
        }
    }
    request.resize(request.size() + sizeof(NODE_HEADER), 0);
    ASSERT_TRUE(
        Ioctl(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, request.data(), static_cast<DWORD>(request.size()), nullptr, 0).ok);
    const std::u16string stickValues =
        std::u16string(kActiveNodesKey) + u"\\" + std::u16string(stickKey.begin(), stickKey.end());
    const std::u16string printerValues =
        std::u16string(kActiveNodesKey) + u"\\" + std::u16string(printerKey.begin(), printerKey.end());
    EXPECT_EQ(RegistryDword(stickValues, u"<00>"), 0u);
    EXPECT_EQ(RegistryDword(stickValues, u"<01>"), 0u);
    EXPECT_EQ(RegistryDword(printerValues, u"<01>"), 8u);
    const ULONG once = BOOTFLAG_CAPTURE_ONCE_ON_BOOT;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_SET_BOOTFLAG, &once, sizeof once, nullptr, 0).ok);

    Boot(Release::Windows7, sim::DefaultMachine(), true);
    ASSERT_TRUE(g_Driver.BootCapture);
    const NodeList rebooted = FetchNodes();
    const ListedStack* stickAgain = StackOf(rebooted, m_machine->Device("stick")->PhysicalDeviceObject());
    const ListedStack* printerAgain = StackOf(rebooted, m_machine->Device("printer")->PhysicalDeviceObject());
    const ListedStack* loopback = StackOf(rebooted, m_machine->Device("loopback")->PhysicalDeviceObject());
    ASSERT_TRUE(stickAgain != nullptr && printerAgain != nullptr && loopback != nullptr);
    EXPECT_EQ(Text(stickAgain->stack.DriverKeyName), stickKey);
    for (const DEVICE_NODE& node : stickAgain->devices) {
        EXPECT_FALSE(node.StatusFlags & DEVOBJ_CAPTURE_OFF) << +node.Position;
    }
    for (const DEVICE_NODE& node : printerAgain->devices) {
        EXPECT_TRUE(node.StatusFlags & DEVOBJ_CAPTURE_OFF) << +node.Position;
    }
    for (const DEVICE_NODE& node : loopback->devices) {
        EXPECT_TRUE(node.StatusFlags & DEVOBJ_CAPTURE_OFF) << +node.Position; // nothing was saved for it
    }

    // A device that goes takes the values saved for its device objects with it, the one whose driver is not
    // hooked too; the others' stay.
    ASSERT_EQ(printerAgain->devices.size(), 2u);
    EXPECT_EQ(RegistryDword(printerValues, u"<00>"), 8u);
    EXPECT_EQ(RegistryDword(printerValues, u"<01>"), 8u);
    ASSERT_NE(m_machine->Unplug("printer"), nullptr);
    EXPECT_FALSE(RegistryDword(printerValues, u"<00>").has_value());
    EXPECT_FALSE(RegistryDword(printerValues, u"<01>").has_value());
    EXPECT_EQ(RegistryDword(stickValues, u"<00>"), 0u);
    EXPECT_EQ(RegistryDword(stickValues, u"<01>"), 0u);
}

TEST_F(SimulatedMachine, ArrivingStackIsReportedWithItsWholeIdentity) {
    Boot(Release::Windows7);
    EnableChangeLog();
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeFlashDrive("stick2", u"SIM0002")));
    PDEVICE_OBJECT pdo = m_machine->Device("stick2")->PhysicalDeviceObject();

    // The stick's own stack; the disk its storage driver reports arrives after it, in a stack of its own. Once
    // the stack is whole its start tells its device objects again, and tells no new one.
    std::vector<drvlog_test::ReadRecord> arrivals;
    std::vector<ULONG64> toldAgain;
    for (auto& record : ReadChangeLog()) {
        if ((record.tag == LogTag::vedA || record.tag == LogTag::ktsA) &&
            (arrivals.empty() || LogHdr::StackID(record.bytes.data()) == LogHdr::StackID(arrivals[0].bytes.data()))) {
            if (!arrivals.empty() && arrivals.back().tag == LogTag::ktsA) {
                EXPECT_EQ(record.tag, LogTag::vedA);
                toldAgain.push_back(tdl::LoadLe<ULONG64>(record.bytes.data() + offsetof(_LOGHDR, DeviceObject)));
            } else {
                arrivals.push_back(std::move(record));
            }
        }
    }
    ASSERT_EQ(arrivals.size(), 3u);
    EXPECT_FALSE(toldAgain.empty());
    for (ULONG64 device : toldAgain) {
        EXPECT_TRUE(device == tdl::LoadLe<ULONG64>(arrivals[0].bytes.data() + offsetof(_LOGHDR, DeviceObject)) ||
                    device == tdl::LoadLe<ULONG64>(arrivals[1].bytes.data() + offsetof(_LOGHDR, DeviceObject)));
    }
    EXPECT_EQ(arrivals[0].tag, LogTag::vedA);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(arrivals[0].bytes.data() + offsetof(_LOGHDR, DeviceObject)), Address(pdo));
    EXPECT_EQ(arrivals[1].tag, LogTag::vedA);
    ASSERT_EQ(arrivals[2].tag, LogTag::ktsA);
    const uint8_t* record = arrivals[2].bytes.data();
    EXPECT_EQ(LogHdr::Status(record), 1u);
    DEVSTK_NODE stack;
    ASSERT_EQ(arrivals[2].dataSize, sizeof stack);
    std::memcpy(&stack, record + LOGHDR_SIZE, sizeof stack);
    EXPECT_EQ(LogHdr::StackID(record), +stack.StackID);
    EXPECT_EQ(Text(stack.DeviceDescription), "USB Mass Storage Device");
    EXPECT_EQ(Text(stack.ClassName), "USB");
    EXPECT_EQ(Text(stack.EnumeratorName), "USB");
    EXPECT_EQ(Text(stack.HardwareID).rfind("USB\\VID_7A51&PID_1001", 0), 0u);
    EXPECT_EQ(Text(stack.DriverKeyName).rfind("{36FC9E60-C465-11CF-8056-444553540000}\\", 0), 0u);
    EXPECT_TRUE(stack.ClassGuid == kUsbSetupClass);
    // The hub's bus-relations report, seen by request capture, placed it under the hub.
    PDEVICE_STACK hubStack;
    PDEVOBJ_NODE hubNode;
    ASSERT_TRUE(FindStackByPdo(m_machine->Device("hub")->PhysicalDeviceObject(), &hubStack, &hubNode));
    EXPECT_EQ(+stack.ParentStackID, hubStack->StackID);
    DeviceNodeRelease(hubNode);
    StackRelease(hubStack);
}

// A HID device's stack never sees the filter's AddDevice (its setup class is not USB's): its identity is read
// when Plug and Play starts it, and its arrival is reported whole then, as the USB device node it is.
TEST_F(SimulatedMachine, ArrivingHidDeviceIsReportedWithItsWholeIdentity) {
    Boot(Release::Windows7);
    EnableChangeLog();
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeMouse("mouse2")));
    PDEVICE_OBJECT pdo = m_machine->Device("mouse2")->PhysicalDeviceObject();
    PDEVICE_STACK mouseStack;
    PDEVOBJ_NODE mouseNode;
    ASSERT_TRUE(FindStackByPdo(pdo, &mouseStack, &mouseNode));
    const ULONG stackId = mouseStack->StackID;
    DeviceNodeRelease(mouseNode);
    StackRelease(mouseStack);

    std::vector<drvlog_test::ReadRecord> arrivals;
    for (auto& record : ReadChangeLog()) {
        if (record.tag == LogTag::ktsA && LogHdr::StackID(record.bytes.data()) == stackId)
            arrivals.push_back(std::move(record));
    }
    ASSERT_EQ(arrivals.size(), 1u);
    const uint8_t* record = arrivals[0].bytes.data();
    EXPECT_EQ(LogHdr::Status(record), 1u);
    DEVSTK_NODE stack;
    ASSERT_EQ(arrivals[0].dataSize, sizeof stack);
    std::memcpy(&stack, record + LOGHDR_SIZE, sizeof stack);
    EXPECT_EQ(Text(stack.DeviceDescription), "USB Input Device");
    EXPECT_EQ(Text(stack.ClassName), "HIDClass");
    EXPECT_EQ(Text(stack.EnumeratorName), "USB");
    EXPECT_EQ(Text(stack.HardwareID).rfind("USB\\VID_", 0), 0u) << Text(stack.HardwareID);
    EXPECT_EQ(Text(stack.DriverKeyName).rfind("{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\\", 0), 0u)
        << Text(stack.DriverKeyName);
    constexpr GUID kHidSetupClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};
    EXPECT_TRUE(stack.ClassGuid == kHidSetupClass);
    EXPECT_EQ(+stack.DeviceClass, 3u);
}

} // namespace
} // namespace drivertest
