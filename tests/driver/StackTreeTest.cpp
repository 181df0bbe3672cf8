// The device-stack tree on hand-built stacks: classification and hook marks per kind of stack, re-walks,
// child links and device handles, removal and refresh, orphans, references, the device-object table, the
// capture state of new nodes, device IDs, and the change-log records of arrivals and removals.
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "NtErrorLogControl.h"
#include "NtPoolControl.h"
#include "NtVersionControl.h"
#include "common/ControlCodes.h"
#include "common/RecordTags.h"
#include "driver/core/Pool.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/StackTreeFixture.h"

namespace drivertest {
namespace {

constexpr ULONG64 kAllOnes = ~0ull;

ULONG_PTR Address(const void* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

// What one device object's entry is expected to carry.
struct Expected {
    USHORT bottom;
    USHORT upper;
    bool selected;
};

class StackTree : public StackTreeTest {
protected:
    // The stack holding `device`, referenced for the test's scope.
    struct StackRef {
        PDEVICE_STACK stack = nullptr;
        ~StackRef() {
            if (stack != nullptr) {
                StackRelease(stack);
            }
        }
        PDEVICE_STACK operator->() const { return stack; }
    };
    static void Find(PDEVICE_OBJECT device, StackRef& ref) {
        PDEVOBJ_NODE node = nullptr;
        ASSERT_TRUE(FindStackByPdo(device, &ref.stack, &node));
        DeviceNodeRelease(node);
    }

    void BusRelations(PDEVICE_OBJECT parent, std::vector<PDEVICE_OBJECT> children) {
        StackTreeBusRelations(parent, static_cast<ULONG>(children.size()), children.data());
    }

    // The flags of the entry for `device` in `list`, or ~0 when it is not listed.
    static ULONG FlagsOf(const NodeList& list, PDEVICE_OBJECT device) {
        for (const ListedStack& stack : list.stacks) {
            for (const DEVICE_NODE& node : stack.devices) {
                if (node.DeviceObject == Address(device)) {
                    return node.StatusFlags;
                }
            }
        }
        return ~0u;
    }

    static std::vector<ULONG> Tags(const std::vector<drvlog_test::ReadRecord>& records) {
        std::vector<ULONG> tags;
        for (const auto& record : records) {
            tags.push_back(record.tag);
        }
        return tags;
    }
};

TEST_F(StackTree, EachKindOfStackGetsItsClassesAndHookMarks) {
    struct Case {
        const char* what;
        BuiltStack stack;
        std::vector<Expected> devices;
        ULONG64 handle;
    };
    const std::vector<Case> cases = {
        {"host controller", m_stacks.HostController(), {{1, 0, false}, {0, 101, true}}, kAllOnes},
        {"root hub", m_stacks.RootHub(), {{2, 0, true}, {0, 103, true}}, 0},
        {"external hub", m_stacks.ExternalHub(), {{4, 0, true}, {0, 103, true}}, 0},
        {"mouse on a port", m_stacks.OnHubPort(u"hidusb"), {{4, 0, true}, {0, 0, false}}, 0},
        {"composite device", m_stacks.Composite(), {{4, 0, true}, {0, 105, true}}, 0},
        {"interface", m_stacks.Interface(u"hidusb"), {{6, 0, true}, {0, 0, true}}, 0},
        {"unsigned hub device", m_stacks.Plain({u"usbhub", u"usbstor"}), {{0, 0, false}, {0, 0, false}}, 0},
    };
    for (const Case& c : cases) {
        AddDevice(c.stack.pdo);
    }
    const NodeList list = FetchNodes();
    ASSERT_EQ(list.stacks.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const ListedStack& stack = list.stacks[i];
        EXPECT_EQ(+stack.stack.StackID, i + 1); // creation order, from 1
        EXPECT_EQ(+stack.stack.UsbDeviceHandle, cases[i].handle);
        ASSERT_EQ(stack.devices.size(), cases[i].devices.size());
        for (size_t d = 0; d < stack.devices.size(); ++d) {
            const DEVICE_NODE& node = stack.devices[d];
            const Expected& expected = cases[i].devices[d];
            EXPECT_EQ(+node.DeviceObject, Address(d == 0 ? cases[i].stack.pdo : cases[i].stack.above[d - 1]));
            EXPECT_EQ(+node.Position, d);
            EXPECT_EQ(+node.StackID, +stack.stack.StackID);
            EXPECT_EQ(+node.BottomClass, expected.bottom) << d;
            EXPECT_EQ(+node.UpperClass, expected.upper) << d;
            // A new node records nothing until the application selects it; a selected one's driver is hooked.
            EXPECT_EQ(+node.StatusFlags, DEVOBJ_CAPTURE_OFF | (expected.selected ? DEVOBJ_SELECTED | DEVOBJ_HOOKED : 0))
                << d;
            EXPECT_NE(+node.StartTime, 0u);
            EXPECT_EQ(+node.RemovalTime, 0u);
        }
    }
    // Names without their "\Device\" prefix; an unnamed device object lists an empty name.
    EXPECT_EQ(Text(list.stacks[0].devices[0].DeviceName).rfind("NTPNP_PCI", 0), 0u);
    EXPECT_EQ(Text(list.stacks[0].devices[1].DeviceName).rfind("USBFDO-", 0), 0u);
    EXPECT_EQ(Text(list.stacks[1].devices[1].DeviceName), "");
    EXPECT_EQ(+list.stacks[0].devices[1].DriverObject, Address(m_built.Driver(u"usbehci")));

    // Classes of the stack itself: the physical device object's and the last classified one above it.
    StackRef hostController;
    Find(cases[0].stack.pdo, hostController);
    EXPECT_EQ(hostController->BottomClass, BOTTOM_CLASS_PCI);
    EXPECT_EQ(hostController->UpperClass, UPPER_CLASS_HOST_CONTROLLER);
    StackRef unsignedHub;
    Find(cases.back().stack.pdo, unsignedHub);
    EXPECT_EQ(unsignedHub->BottomClass, BOTTOM_CLASS_NONE);
    EXPECT_EQ(unsignedHub->UpperClass, UPPER_CLASS_NONE);
}

TEST_F(StackTree, AddDeviceForAKnownStackWalksItAgain) {
    BuiltStack built = m_stacks.Plain({u"usbccgp", u"filter1", u"hidusb"});
    AddDevice(built.pdo);
    PDEVICE_OBJECT middle = built.above[0];
    HandBuiltDevices::LeaveChain(middle);
    PDEVICE_OBJECT added = m_built.Device(u"kbdclass");
    HandBuiltDevices::Attach(added, built.pdo);
    AddDevice(built.pdo);

    const NodeList all = FetchNodes();
    ASSERT_EQ(all.stacks.size(), 1u);
    const std::vector<DEVICE_NODE>& nodes = all.stacks[0].devices;
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(+nodes[1].DeviceObject, Address(middle));
    EXPECT_TRUE(+nodes[1].StatusFlags & DEVOBJ_REMOVED);
    EXPECT_NE(+nodes[1].RemovalTime, 0u);
    for (size_t i : {0u, 2u, 3u}) {
        EXPECT_FALSE(+nodes[i].StatusFlags & DEVOBJ_REMOVED) << i;
        EXPECT_EQ(+nodes[i].RemovalTime, 0u) << i;
    }
    EXPECT_EQ(+nodes[3].DeviceObject, Address(added));
    EXPECT_EQ(+nodes[3].Position, 3);
    EXPECT_TRUE(+nodes[3].StatusFlags & DEVOBJ_SELECTED); // an interface stack hooks everything

    const NodeList present = FetchNodes(true);
    ASSERT_EQ(present.stacks.size(), 1u);
    std::vector<ULONG64> listed;
    for (const DEVICE_NODE& node : present.stacks[0].devices) {
        listed.push_back(+node.DeviceObject);
    }
    EXPECT_EQ(listed, (std::vector<ULONG64>{Address(built.pdo), Address(built.above[1]), Address(added)}));
}

TEST_F(StackTree, RemovalMarksTheTreeBelowAndRefreshFreesIt) {
    const BuiltStack root = m_stacks.RootHub();
    const BuiltStack hub = m_stacks.ExternalHub();
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    const BuiltStack disk = m_stacks.OnHubPort(u"usbstor");
    AddDevice(root.pdo);
    // As Plug and Play does it: the parent reports the child, then the child's drivers are added.
    BusRelations(root.Top(), {hub.pdo});
    AddDevice(hub.pdo);
    BusRelations(hub.Top(), {mouse.pdo, disk.pdo});
    AddDevice(mouse.pdo);
    AddDevice(disk.pdo);
    EnableChangeLog();

    StackTreeDeviceRemoved(hub.pdo);

    NodeList all = FetchNodes();
    ASSERT_EQ(all.stacks.size(), 4u);
    EXPECT_EQ(+all.stacks[0].stack.Removed, 0u);
    EXPECT_EQ(+all.stacks[0].stack.ChildStackIDs[0], +all.stacks[1].stack.StackID);
    EXPECT_EQ(+all.stacks[1].stack.ParentStackID, +all.stacks[0].stack.StackID);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(+all.stacks[i].stack.Removed, 1u) << i;
        EXPECT_NE(+all.stacks[i].stack.RemovalTime, 0u) << i;
        for (const DEVICE_NODE& node : all.stacks[i].devices) {
            EXPECT_TRUE(+node.StatusFlags & DEVOBJ_REMOVED) << i;
        }
    }
    const NodeList present = FetchNodes(true);
    ASSERT_EQ(present.stacks.size(), 1u);
    EXPECT_EQ(+present.stacks[0].stack.StackID, +all.stacks[0].stack.StackID);

    // One "vedR" per device object, one "ktsR" per stack, whose status byte is the removed flag.
    const auto records = ReadChangeLog();
    const std::vector<ULONG> tags = Tags(records);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), LogTag::vedR), 6);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), LogTag::ktsR), 3);
    for (const auto& record : records) {
        if (record.tag == LogTag::ktsR) {
            EXPECT_EQ(LogHdr::Status(record.bytes.data()), 1u);
            EXPECT_EQ(record.dataSize, DEVSTK_NODE_SIZE);
        }
    }

    ASSERT_TRUE(Refresh().ok);
    all = FetchNodes();
    ASSERT_EQ(all.stacks.size(), 1u);
    EXPECT_EQ(+all.stacks[0].stack.ChildStackIDs[0], 0u);
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 2);
    // Nothing new was removed: no second "ktsR".
    EXPECT_TRUE(ReadChangeLog().empty());
}

TEST_F(StackTree, RefreshMarksStacksWhosePhysicalDeviceObjectWentAndEverythingBelow) {
    const BuiltStack hub = m_stacks.ExternalHub();
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(hub.pdo);
    BusRelations(hub.Top(), {mouse.pdo});
    AddDevice(mouse.pdo);
    EnableChangeLog();
    {
        // Only the hub's physical device object is seen going (its driver's removal, say).
        PDEVOBJ_NODE node = FindDeviceNode(hub.pdo, TRUE);
        ASSERT_NE(node, nullptr);
        EXPECT_TRUE(DeviceNodeMarkRemoved(node));
        EXPECT_FALSE(DeviceNodeMarkRemoved(node));
        DeviceNodeRelease(node);
    }
    ASSERT_TRUE(Refresh().ok);
    EXPECT_TRUE(FetchNodes().stacks.empty());
    const std::vector<ULONG> tags = Tags(ReadChangeLog());
    EXPECT_EQ(tags, (std::vector<ULONG>{LogTag::atsL, LogTag::vedR, LogTag::ktsR, LogTag::ktsR}));
}

TEST_F(StackTree, OrphanNodeListedWithStackIdZeroAndOneEventLogEntry) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    PDEVOBJ_NODE top = FindDeviceNode(mouse.Top(), TRUE);
    ASSERT_NE(top, nullptr);
    PDEVOBJ_NODE bottom = FindDeviceNode(mouse.pdo, TRUE);
    ASSERT_NE(bottom, nullptr);
    DeviceNodeMarkRemoved(bottom);
    DeviceNodeRelease(bottom);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_TRUE(FetchNodes().stacks.empty());
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 1); // the top node outlives its stack

    nt::errorlog::Clear();
    DEVICE_NODE first{};
    DEVICE_NODE second{};
    FillDeviceNode(top, &first);
    FillDeviceNode(top, &second);
    EXPECT_EQ(+first.StackID, 0u);
    EXPECT_EQ(+first.Position, 1u);
    EXPECT_EQ(+first.DeviceObject, Address(mouse.Top()));
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
    const auto entries = nt::errorlog::Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].ioObject, g_Driver.DriverObject);
    EXPECT_EQ(static_cast<ULONG>(entries[0].Header().ErrorCode), 0x805003E9u);
    EXPECT_EQ(entries[0].Header().StringOffset, 40u);
    EXPECT_EQ(entries[0].Strings(), (std::vector<std::u16string>{u"DeviceObject node without an owning DeviceStack"}));

    // Its removal is reported without a stack.
    EnableChangeLog();
    DeviceNodeMarkRemoved(top);
    const auto records = ReadChangeLog();
    DeviceNodeRelease(top);
    ASSERT_EQ(Tags(records), (std::vector<ULONG>{LogTag::atsL, LogTag::vedR}));
    EXPECT_EQ(LogHdr::StackID(records[1].bytes.data()), 0u);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 0);
    EXPECT_EQ(nt::errorlog::Entries().size(), 1u);
}

TEST_F(StackTree, NodesLiveWhileReferencedAndGoWithTheLastReference) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    PDEVOBJ_NODE node = FindDeviceNode(mouse.pdo, TRUE);
    ASSERT_NE(node, nullptr);
    // A request in flight: its completion context holds the node.
    auto* context = static_cast<UCHAR*>(DeviceNodeContextAllocate(node));
    ASSERT_NE(context, nullptr);
    const PVOID allocation = node->Allocation;
    const PDEVICE_STACK stack = DeviceNodeOwningStack(node);
    DeviceNodeRelease(node);

    StackTreeDeviceRemoved(mouse.pdo);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_TRUE(FetchNodes().stacks.empty());
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 0);

    auto live = [](const void* address) {
        for (const auto& allocation : nt::pool::LiveAllocations(KXTD_POOL_TAG)) {
            if (allocation.address == address) {
                return true;
            }
        }
        return false;
    };
    // Taken out of the tree, still readable: the node and, through it, its stack.
    EXPECT_TRUE(live(allocation));
    EXPECT_TRUE(live(stack));
    EXPECT_TRUE(DeviceNodeIsRemoved(node));
    EXPECT_EQ(DeviceNodeOwningStack(node), nullptr);
    EXPECT_EQ(node->Stack->StackID, 1u);
    std::fill(context, context + DEVOBJ_CONTEXT_SIZE, 0xA5);

    DeviceNodeContextFree(node, context);
    EXPECT_FALSE(live(allocation));
    EXPECT_FALSE(live(stack));
}

TEST_F(StackTree, CompletionContextsAreRecycledUpToTheCacheDepth) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    PDEVOBJ_NODE node = FindDeviceNode(mouse.pdo, TRUE);
    ASSERT_NE(node, nullptr);
    const LONG references = node->References;
    std::vector<PVOID> contexts;
    for (int i = 0; i < DEVOBJ_CONTEXT_CACHE_DEPTH + 4; ++i) {
        contexts.push_back(DeviceNodeContextAllocate(node));
        ASSERT_NE(contexts.back(), nullptr);
    }
    EXPECT_EQ(node->References, references + DEVOBJ_CONTEXT_CACHE_DEPTH + 4);
    EXPECT_EQ(DeviceNodeContextsOutstanding(node), DEVOBJ_CONTEXT_CACHE_DEPTH + 4);
    for (PVOID context : contexts) {
        DeviceNodeContextFree(node, context);
    }
    EXPECT_EQ(node->ContextsFreed, 4);
    EXPECT_EQ(ExQueryDepthSList(&node->ContextCache), DEVOBJ_CONTEXT_CACHE_DEPTH);
    // The next one comes from the cache.
    PVOID again = DeviceNodeContextAllocate(node);
    EXPECT_EQ(node->ContextsAllocated, DEVOBJ_CONTEXT_CACHE_DEPTH + 4);
    DeviceNodeContextFree(node, again);
    EXPECT_EQ(DeviceNodeContextsOutstanding(node), 0);
    DeviceNodeRelease(node);
}

TEST_F(StackTree, DeviceObjectTableFillsOnSearchAndEmptiesOnRemoval) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    PDEVICE_OBJECT device = mouse.Top();
    EXPECT_EQ(FindDeviceNode(device, FALSE), nullptr);
    PDEVOBJ_NODE searched = FindDeviceNode(device, TRUE);
    ASSERT_NE(searched, nullptr);
    EXPECT_EQ(searched->DeviceObject, device);
    EXPECT_EQ(g_Driver.DeviceNodeTable.Count, 1);
    PDEVOBJ_NODE cached = FindDeviceNode(device, FALSE);
    EXPECT_EQ(cached, searched);
    DeviceNodeRelease(cached);

    DeviceNodeMarkRemoved(searched);
    EXPECT_EQ(g_Driver.DeviceNodeTable.Count, 0);
    EXPECT_EQ(FindDeviceNode(device, FALSE), nullptr);
    EXPECT_EQ(FindDeviceNode(device, TRUE), nullptr);
    DeviceNodeRelease(searched);
    EXPECT_EQ(FindDeviceNode(m_built.Device(u"other"), TRUE), nullptr);
}

TEST_F(StackTree, AutoEnableTurnsCaptureOnForNewHookCandidatesOnly) {
    const ULONG autoEnable = ENABLE_LOG_AUTO_ENABLE;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &autoEnable, sizeof autoEnable, nullptr, 0).ok);
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    const ULONG manual = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &manual, sizeof manual, nullptr, 0).ok);
    const BuiltStack root = m_stacks.RootHub();
    AddDevice(root.pdo);

    const NodeList list = FetchNodes();
    EXPECT_EQ(FlagsOf(list, mouse.pdo), DEVOBJ_SELECTED | DEVOBJ_HOOKED);
    EXPECT_EQ(FlagsOf(list, mouse.Top()), DEVOBJ_CAPTURE_OFF); // not a hook candidate
    EXPECT_EQ(FlagsOf(list, root.pdo), DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF);
    EXPECT_EQ(FlagsOf(list, root.Top()), DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF);
}

TEST_F(StackTree, ExcludedDeviceIsListedButNeverMarked) {
    const BuiltStack root = m_stacks.RootHub();
    const BuiltStack early = m_stacks.Composite();
    const BuiltStack late = m_stacks.Composite();
    AddDevice(root.pdo);
    // Its ID arrives between the parent's report and AddDevice, as Plug and Play asks for it.
    BusRelations(root.Top(), {early.pdo, late.pdo});
    {
        StackRef stack;
        Find(early.pdo, stack);
        StackTreeSetDeviceId(stack.stack, u"USB\\VID_0423&PID_000D");
    }
    AddDevice(early.pdo);
    AddDevice(late.pdo);
    {
        StackRef stack;
        Find(late.pdo, stack);
        StackTreeSetDeviceId(stack.stack, u"USB\\Vid_0423&Pid_000d");
    }
    const NodeList list = FetchNodes();
    for (const BuiltStack* built : {&early, &late}) {
        const ListedStack* listed = StackOf(list, built->pdo);
        ASSERT_NE(listed, nullptr);
        EXPECT_EQ(Text(listed->stack.DeviceID).size(), 21u);
        ASSERT_EQ(listed->devices.size(), 2u);
        for (const DEVICE_NODE& node : listed->devices) {
            EXPECT_FALSE(+node.StatusFlags & DEVOBJ_SELECTED);
        }
    }
}

TEST_F(StackTree, DeviceIdsNameRootHubsAndCompatibleIdsTheClassTriple) {
    const BuiltStack plain = m_stacks.Plain({u"usbport", u"usbhub"});
    AddDevice(plain.pdo);
    StackRef stack;
    Find(plain.pdo, stack);
    EXPECT_EQ(stack->BottomClass, BOTTOM_CLASS_NONE);
    StackTreeSetDeviceId(stack.stack, u"USB\\ROOT_HUB20");
    EXPECT_EQ(stack->BottomClass, BOTTOM_CLASS_ROOT_HUB);
    EXPECT_EQ(stack->DeviceClass, 9u);
    StackTreeSetDeviceId(stack.stack, u"NUSB3\\ROOT_HUB30");
    EXPECT_EQ(stack->BottomClass, BOTTOM_CLASS_VENDOR_ROOT_HUB);

    const struct {
        const char16_t* ids; // a multi-string: only the first counts
        USHORT deviceClass;
        UCHAR subClass;
        UCHAR protocol;
    } cases[] = {
        {u"USB\\Class_03&SubClass_01&Prot_02\0USB\\Class_03\0", 3, 1, 2},
        {u"usb\\class_ff&subclass_5a", 255, 0x5A, 0},
        {u"USB\\DevClass_00&SubClass_00", 512, 0, 0},
        {u"USB\\Class_0G", 513, 0, 0},
        {u"USB\\Class_", 513, 0, 0},
        {u"USB\\HubClass", 9, 0, 0},
        {u"USB\\UNKNOWN", 513, 0, 0},
        {u"NUSB3\\Class_09&SubClass_00&Prot_03", 9, 0, 3},
        {u"USB\\Class_08&Prot_50", 8, 0, 0},
    };
    for (const auto& c : cases) {
        StackTreeSetCompatibleIds(stack.stack, c.ids);
        const NodeList list = FetchNodes();
        ASSERT_EQ(list.stacks.size(), 1u);
        EXPECT_EQ(+list.stacks[0].stack.DeviceClass, c.deviceClass) << Text(stack->CompatibleID, 64);
        EXPECT_EQ(list.stacks[0].stack.DeviceSubClass, c.subClass);
        EXPECT_EQ(list.stacks[0].stack.DeviceProtocol, c.protocol);
    }
    // An ID of no known form leaves the triple as it was.
    StackTreeSetCompatibleIds(stack.stack, u"USB\\COMPOSITE");
    EXPECT_EQ(stack->DeviceClass, 8u);
    EXPECT_EQ(Text(stack->CompatibleID, 64), "USB\\COMPOSITE");
}

TEST_F(StackTree, NineChildrenListOnlyTheFirstEight) {
    const BuiltStack hub = m_stacks.ExternalHub();
    AddDevice(hub.pdo);
    std::vector<PDEVICE_OBJECT> children;
    for (int i = 0; i < 9; ++i) {
        children.push_back(m_stacks.OnHubPort(u"hidusb").pdo);
    }
    BusRelations(hub.Top(), children);
    const NodeList list = FetchNodes();
    ASSERT_EQ(list.stacks.size(), 10u);
    const DEVSTK_NODE& parent = list.stacks[0].stack;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(+parent.ChildStackIDs[i], +list.stacks[i + 1].stack.StackID) << i;
    }
    for (size_t i = 1; i < 10; ++i) {
        EXPECT_EQ(+list.stacks[i].stack.ParentStackID, +parent.StackID);
        EXPECT_EQ(list.stacks[i].devices.size(), 2u);
    }

    // A report that no longer names a child invalidates it (and what is below it); the others stay.
    PDEVICE_OBJECT dropped = children.front();
    children.erase(children.begin());
    BusRelations(hub.Top(), children);
    StackRef droppedStack;
    StackRef keptStack;
    Find(dropped, droppedStack);
    Find(children.front(), keptStack);
    EXPECT_TRUE(droppedStack->Invalidated);
    EXPECT_FALSE(keptStack->Invalidated);
}

TEST_F(StackTree, DeviceHandlesOfControllersPortDevicesAndInterfaces) {
    const BuiltStack controller = m_stacks.HostController();
    const BuiltStack root = m_stacks.RootHub();
    const BuiltStack composite = m_stacks.Composite();
    // The hub driver's handle of the device on the port: a block whose first word is "DevH".
    const BuiltStack handleBlock = m_stacks.Plain({u"usbport"});
    HandBuiltDevices::Sign(handleBlock.pdo, 0, FourCC("DevH"));
    const ULONG64 handle = Address(handleBlock.pdo->DeviceExtension);
    HandBuiltDevices::StorePointer(composite.pdo, 1168, handleBlock.pdo->DeviceExtension);
    const BuiltStack first = m_stacks.Interface(u"hidusb");
    const BuiltStack second = m_stacks.Interface(u"usbstor");
    const BuiltStack third = m_stacks.Interface(u"usbprint");

    AddDevice(controller.pdo);
    BusRelations(controller.Top(), {root.pdo});
    AddDevice(root.pdo);
    BusRelations(root.Top(), {composite.pdo});
    AddDevice(composite.pdo);
    AddDevice(third.pdo); // known before its parent reports it
    BusRelations(composite.Top(), {first.pdo, second.pdo, third.pdo});
    AddDevice(first.pdo);
    AddDevice(second.pdo);

    const NodeList list = FetchNodes();
    const struct {
        const BuiltStack* stack;
        ULONG64 handle;
    } cases[] = {
        {&controller, kAllOnes}, {&root, 0},        {&composite, handle},
        {&first, handle},        {&second, handle}, {&third, handle},
    };
    for (const auto& c : cases) {
        const ListedStack* listed = StackOf(list, c.stack->pdo);
        ASSERT_NE(listed, nullptr);
        EXPECT_EQ(+listed->stack.UsbDeviceHandle, c.handle) << +listed->stack.StackID;
    }
    EXPECT_EQ(+StackOf(list, first.pdo)->stack.ParentStackID, +StackOf(list, composite.pdo)->stack.StackID);
    EXPECT_EQ(+StackOf(list, third.pdo)->stack.ParentStackID, +StackOf(list, composite.pdo)->stack.StackID);
}

TEST_F(StackTree, StartClassifiesDeviceObjectsSignedLateAndHooksChildrenOutsideTheUsbClass) {
    // The miniport and the hub driver sign their functional device objects only when they start.
    const BuiltStack controller = m_stacks.Plain({u"pci", u"usbehci"});
    const BuiltStack root = m_stacks.RootHub();
    HandBuiltDevices::Sign(root.Top(), 0, 0);
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(controller.pdo);
    BusRelations(controller.Top(), {root.pdo});
    AddDevice(root.pdo);
    NodeList list = FetchNodes();
    EXPECT_EQ(FlagsOf(list, controller.Top()), DEVOBJ_CAPTURE_OFF);
    EXPECT_EQ(+StackOf(list, controller.pdo)->stack.UsbDeviceHandle, 0u);
    EXPECT_EQ(+StackOf(list, root.pdo)->devices[1].UpperClass, 0u);

    HandBuiltDevices::Sign(controller.Top(), 0, FourCC("HFDO"));
    HandBuiltDevices::Sign(root.Top(), 0, FourCC("HUB "));
    StackTreeDeviceStarted(controller.Top());
    StackTreeDeviceStarted(root.Top());
    // The mouse is no device of the USB class: its stack comes only from the hub's report.
    BusRelations(root.Top(), {mouse.pdo});

    list = FetchNodes();
    const ListedStack* controllerStack = StackOf(list, controller.pdo);
    ASSERT_NE(controllerStack, nullptr);
    EXPECT_EQ(+controllerStack->devices[1].UpperClass, UPPER_CLASS_HOST_CONTROLLER);
    EXPECT_EQ(FlagsOf(list, controller.Top()), DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF);
    EXPECT_EQ(+controllerStack->stack.UsbDeviceHandle, kAllOnes);
    EXPECT_EQ(+StackOf(list, root.pdo)->devices[1].UpperClass, UPPER_CLASS_HUB);
    EXPECT_EQ(FlagsOf(list, mouse.pdo), DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF);
    EXPECT_EQ(FlagsOf(list, mouse.Top()), DEVOBJ_CAPTURE_OFF);
}

TEST_F(StackTree, PoolExhaustionLeavesTheRestOfTheChainUntracked) {
    // Each allocation the tree makes for a new stack fails once, in turn: what was made before it stays
    // consistent, nothing leaks (the fixture checks the pool at unload).
    for (uint64_t skip = 0; skip < 12; ++skip) {
        SCOPED_TRACE(skip);
        const BuiltStack stack = m_stacks.Plain({u"usbccgp", u"hidusb", u"mouhid"});
        nt::pool::InjectFailure({KXTD_POOL_TAG, skip, 1});
        AddDevice(stack.pdo);
        nt::pool::ClearInjectedFailures();
        const NodeList list = FetchNodes();
        if (const ListedStack* listed = StackOf(list, stack.pdo)) {
            for (size_t d = 0; d < listed->devices.size(); ++d) {
                EXPECT_EQ(+listed->devices[d].Position, d);
                EXPECT_EQ(+listed->devices[d].DeviceObject, Address(d == 0 ? stack.pdo : stack.above[d - 1]));
            }
        }
    }
}

TEST_F(StackTree, LookupsAndCompletionContextsRaceRemovalAndRefresh) {
    for (int round = 0; round < 20; ++round) {
        const BuiltStack stack = m_stacks.OnHubPort(u"hidusb");
        AddDevice(stack.pdo);
        std::atomic<bool> stop{false};
        std::thread capture([&] {
            while (!stop.load()) {
                for (PDEVICE_OBJECT device : {stack.pdo, stack.Top()}) {
                    if (PDEVOBJ_NODE node = FindDeviceNode(device, TRUE)) {
                        auto* context = static_cast<UCHAR*>(DeviceNodeContextAllocate(node));
                        DeviceNodeRelease(node);
                        if (context != nullptr) {
                            context[0] = static_cast<UCHAR>(round);
                            DeviceNodeContextFree(node, context);
                        }
                    }
                }
            }
        });
        StackTreeDeviceRemoved(stack.pdo);
        EXPECT_TRUE(Refresh().ok);
        stop = true;
        capture.join();
    }
    EXPECT_TRUE(FetchNodes().stacks.empty());
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 0);
}

TEST_F(StackTree, ArrivalsAreReportedWithTheirNodes) {
    EnableChangeLog();
    const BuiltStack root = m_stacks.RootHub();
    AddDevice(root.pdo);
    std::vector<drvlog_test::ReadRecord> records;
    for (auto& record : ReadChangeLog()) {
        if (record.tag == LogTag::vedA || record.tag == LogTag::ktsA) {
            records.push_back(std::move(record));
        }
    }
    // The stack is not complete (no Plug and Play properties): its devices arrive, the stack does not.
    ASSERT_EQ(Tags(records), (std::vector<ULONG>{LogTag::vedA, LogTag::vedA}));
    for (size_t i = 0; i < 2; ++i) {
        const uint8_t* r = records[i].bytes.data();
        DEVICE_NODE node;
        ASSERT_EQ(records[i].dataSize, sizeof node);
        std::memcpy(&node, r + LOGHDR_SIZE, sizeof node);
        EXPECT_EQ(+node.Header.Kind, NODE_KIND_DEVICE);
        EXPECT_EQ(+node.DeviceObject, Address(i == 0 ? root.pdo : root.Top()));
        EXPECT_EQ(LogHdr::StackID(r), 1u);
        EXPECT_EQ(LogHdr::Status(r), +node.StatusFlags);
    }
}

TEST_F(StackTree, SafeModeLearnsNothing) {
    Unload();
    nt::version::SetSafeBootMode(1);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    AddDevice(m_stacks.RootHub().pdo);
    EXPECT_TRUE(FetchNodes().stacks.empty());
    EXPECT_EQ(g_Driver.DeviceNodeList.Count, 0);
}

// StackIDs leave the driver as 16 bits: past the 65,535th stack none may read as 0 ("none") or as the id of
// a stack still in the tree, and GET_DEVSTK_INFO's 16-bit id must still reach the stack.
TEST_F(StackTree, StackIdsPastSixteenBitsStayDistinctAndReachable) {
    const BuiltStack first = m_stacks.HostController();
    AddDevice(first.pdo); // StackID 1
    g_Driver.LastStackID = 0xFFFE;
    const BuiltStack last = m_stacks.HostController();
    AddDevice(last.pdo); // 0xFFFF
    const BuiltStack wrapped = m_stacks.HostController();
    AddDevice(wrapped.pdo); // not 0x10000 (reads 0), not 0x10001 (reads 1, taken): 0x10002

    const NodeList list = FetchNodes();
    ASSERT_EQ(list.stacks.size(), 3u);
    EXPECT_EQ(+StackOf(list, first.pdo)->stack.StackID, 1);
    EXPECT_EQ(+StackOf(list, last.pdo)->stack.StackID, 0xFFFF);
    EXPECT_EQ(+StackOf(list, wrapped.pdo)->stack.StackID, 2);
    for (const DEVICE_NODE& node : StackOf(list, wrapped.pdo)->devices) {
        EXPECT_EQ(+node.StackID, 2);
    }

    PDEVICE_STACK found = FindStackById(2);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->PhysicalDeviceObject, wrapped.pdo);
    StackRelease(found);
}

} // namespace
} // namespace drivertest
