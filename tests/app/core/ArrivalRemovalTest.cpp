// The change-log handlers on crafted blocks, through the document's dispatch: device objects, drivers and
// stacks that arrive and go, and removals of a hand-built topology in every order of their records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/TempObject.h"
#include "app/devices/UsbHub.h"
#include "common/RecordTags.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/app/devices/DeviceNodes.h"
#include "tests/support/RecordBuilder.h"

namespace {

using Tree = core::tree<ConnectionElement>;

template <class Node> std::vector<uint8_t> ChangeRecord(ULONG tag, const Node& node) {
    tdl::test::RecordBuilder builder(tag);
    builder.Part2(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&node), sizeof node));
    return builder.Build();
}

template <class Node> void Send(CUSBLog& doc, ULONG tag, const Node& node) {
    const std::vector<uint8_t> record = ChangeRecord(tag, node);
    doc.DissectChangeLogFragment(record.data(), static_cast<DWORD>(record.size()));
}

DEVICE_NODE Device(ULONG64 address, USHORT stackId, ULONG64 driver, ULONG64 start = 1,
                   ULONG flags = DEVOBJ_HOOKED | DEVOBJ_SELECTED) {
    devtest::DeviceFields fields;
    fields.address = address;
    fields.stackId = stackId;
    fields.driver = driver;
    fields.start = start;
    fields.flags = flags;
    fields.name = "\\Device\\Thing";
    return devtest::DeviceNode(fields);
}

DEVSTK_NODE Stack(USHORT id, USHORT parent, const char* enumerator, ULONG64 handle = 0) {
    DEVSTK_NODE node = devtest::StackNode(id, parent);
    CopyNodeString(node.EnumeratorName, enumerator, std::strlen(enumerator));
    node.UsbDeviceHandle = handle;
    return node;
}

class ArrivalRemoval : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_doc.OnNewDocument()); }

    CDeviceStack* StackById(USHORT id) { return m_doc.GetStackTree()->FindStackById(id); }
    CDriverObject* Driver(ULONG64 address) {
        CDriverObject* pDriver = nullptr;
        m_doc.GetAttachedDrivers()->GetPresentClassDriverObject(address, pDriver);
        return pDriver;
    }

    CUSBLog m_doc;
};

TEST_F(ArrivalRemoval, ADeviceObjectOfAnUnknownStackAndDriverGetsPlaceholdersThatLaterArrivalsFill) {
    const DEVICE_NODE device = Device(0xA000, 7, 0xD000);
    Send(m_doc, LogTag::vedA, device);
    Send(m_doc, LogTag::vedA, device);

    ASSERT_EQ(1, m_doc.GetAttachedDevices()->GetCount());
    CDeviceObject* pDevice = m_doc.GetAttachedDevices()->GetAt(0);
    CDeviceStack* pStack = StackById(7);
    ASSERT_NE(nullptr, pStack);
    EXPECT_EQ(DT_NONE, pStack->m_iDeviceType);
    EXPECT_EQ(pDevice, pStack->GetDeviceObjectAt(0));
    EXPECT_EQ(pStack, pDevice->_DevStack);
    // Only in the id map: the driver key is not known before the stack's own arrival.
    EXPECT_EQ(0, m_doc.GetStackTree()->m_DriverKeyToDevstk.GetCount());
    EXPECT_EQ(CHECKSTATE_CHECKED, pDevice->m_nStateImage);

    CDriverObject* pDriver = Driver(0xD000);
    ASSERT_NE(nullptr, pDriver);
    EXPECT_FALSE(pDriver->m_bListed);
    EXPECT_EQ(static_cast<UINT>(CHECKSTATE_UNCHECKABLE), pDriver->m_nStateImage);
    ASSERT_EQ(1, pDriver->m_DeviceObjects.GetSize());
    EXPECT_EQ(pDevice, pDriver->m_DeviceObjects[0]);

    Send(m_doc, LogTag::vrdA, devtest::DriverNode(0xD000, "usbhub"));
    EXPECT_EQ(pDriver, Driver(0xD000));
    EXPECT_TRUE(pDriver->m_bListed);
    EXPECT_STREQ("usbhub", pDriver->m_DriverName);
    EXPECT_EQ(1, m_doc.GetAttachedDrivers()->GetCount());

    // The stack's own arrival fills the placeholder stack and enters its driver key.
    DEVSTK_NODE stack = Stack(7, 0, "ROOT");
    CopyNodeString(stack.DriverKeyName, "key\\0007", 8);
    Send(m_doc, LogTag::ktsA, stack);
    EXPECT_EQ(pStack, StackById(7));
    EXPECT_EQ(pStack, m_doc.GetStackTree()->FindStackByName("key\\0007"));
    EXPECT_EQ(pDevice, pStack->GetDeviceObjectAt(0));

    // A removal of the driver keeps it and its objects until the next node-list merge.
    Send(m_doc, LogTag::vrdR, devtest::DriverNode(0xD000, "usbhub"));
    EXPECT_EQ(pDriver, Driver(0xD000));
    EXPECT_EQ(1, pDriver->m_DeviceObjects.GetSize());
}

TEST_F(ArrivalRemoval, AnObjectNamingAnotherDriverMovesToItsList) {
    Send(m_doc, LogTag::vedA, Device(0xA000, 7, 0xD000));
    Send(m_doc, LogTag::vedA, Device(0xA000, 7, 0xD100));
    CDeviceObject* pDevice = m_doc.GetAttachedDevices()->GetAt(0);
    EXPECT_EQ(0, Driver(0xD000)->m_DeviceObjects.GetSize());
    ASSERT_EQ(1, Driver(0xD100)->m_DeviceObjects.GetSize());
    EXPECT_EQ(Driver(0xD100), pDevice->_Driver);
    // An object whose driver is not hooked stays out of every driver's list.
    Send(m_doc, LogTag::vedA, Device(0xB000, 7, 0xD200, 1, DEVOBJ_SELECTED));
    EXPECT_EQ(nullptr, Driver(0xD200));
}

TEST_F(ArrivalRemoval, AReusedAddressIsFoundAsTheObjectThatOwnedItAtEachTime) {
    Send(m_doc, LogTag::vedA, Device(0xA000, 5, 0xD000, 100));
    DEVICE_NODE removed = Device(0xA000, 5, 0xD000, 100, DEVOBJ_HOOKED | DEVOBJ_SELECTED | DEVOBJ_REMOVED);
    removed.RemovalTime = 200;
    Send(m_doc, LogTag::vedR, removed);
    Send(m_doc, LogTag::vedA, Device(0xA000, 6, 0xD000, 300));

    ASSERT_EQ(2, m_doc.GetAttachedDevices()->GetCount());
    CDeviceObject* pOld = m_doc.GetAttachedDevices()->GetAt(0);
    CDeviceObject* pNew = m_doc.GetAttachedDevices()->GetAt(1);
    EXPECT_TRUE(pOld->IsRemoved());
    EXPECT_EQ(pOld, m_doc.FindAttachedObject(0xA000, 150));
    EXPECT_EQ(nullptr, m_doc.FindAttachedObject(0xA000, 250));
    EXPECT_EQ(pNew, m_doc.FindAttachedObject(0xA000, 350));
    // Now, only the object that is not removed holds the address.
    EXPECT_EQ(pNew, m_doc.FindDeviceObject(0xA000));
    EXPECT_EQ(nullptr, m_doc.FindDeviceObject(0xB000));
    EXPECT_EQ(nullptr, CUSBLog().FindDeviceObject(0xA000)) << "a document without attached devices";
    EXPECT_EQ(pOld, StackById(5)->GetDeviceObjectAt(0));
    EXPECT_EQ(pNew, StackById(6)->GetDeviceObjectAt(0));
    // Both objects are the driver's: the old one stays listed as removed.
    EXPECT_EQ(2, Driver(0xD000)->m_DeviceObjects.GetSize());
}

TEST_F(ArrivalRemoval, AChildOfAFunctionEntersItsParentsChildIdsOnlyAndAtMostEight) {
    Send(m_doc, LogTag::ktsA, Stack(10, 0, "USB"));
    for (USHORT id = 11; id <= 19; ++id)
        Send(m_doc, LogTag::ktsA, Stack(id, 10, "HID"));
    Send(m_doc, LogTag::ktsA, Stack(11, 10, "HID"));
    const USHORT expected[CDeviceStack::MaxChildren] = {11, 12, 13, 14, 15, 16, 17, 18};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), StackById(10)->ChildStackIDs));
    EXPECT_EQ(DT_NONE, StackById(11)->m_iDeviceType);
    EXPECT_EQ(0u, m_doc.GetConnectionTree().size());
    // A parent that is not known: the child is only entered in the tree of stacks.
    Send(m_doc, LogTag::ktsA, Stack(30, 29, "HID"));
    EXPECT_NE(nullptr, StackById(30));
}

TEST_F(ArrivalRemoval, AControllerSetupApiCannotLocateStaysUnplaced) {
    DEVSTK_NODE node = Stack(3, 0, "PCI");
    CopyNodeString(node.DriverKeyName, "{36fc9e60-c465-11cf-8056-444553540000}\\9999", 43);
    Send(m_doc, LogTag::ktsA, node);
    EXPECT_EQ(DT_NONE, StackById(3)->m_iDeviceType);
    EXPECT_EQ(nullptr, StackById(3)->m_deviceNode);
    EXPECT_EQ(0, m_doc.GetHostControllers()->GetCount());
    EXPECT_EQ(0u, m_doc.GetConnectionTree().size());
    EXPECT_NE(2, m_doc.GetDeviceFlag(3));
}

TEST_F(ArrivalRemoval, ARootHubIsPlacedOnlyOnceItsArrivalCarriesADeviceHandle) {
    Send(m_doc, LogTag::ktsA, Stack(1, 0, "PCI"));
    auto* pController = new CHostController(StackById(1), nullptr);
    m_doc.GetHostControllers()->m_Controllers.Add(std::unique_ptr<CHostController>(pController));
    StackById(1)->m_iDeviceType = DT_HOST_CONTROLLER;
    StackById(1)->m_deviceNode = pController;
    StackById(1)->m_pSubtree =
        m_doc.GetConnectionTree().insert(ConnectionElement(TRUE, HostController, pController)).node();

    Send(m_doc, LogTag::ktsA, Stack(2, 1, "USB", 0));
    EXPECT_EQ(DT_NONE, StackById(2)->m_iDeviceType);
    EXPECT_EQ(nullptr, pController->m_pRootHub);
    EXPECT_EQ(0u, StackById(1)->m_pSubtree->size());
    // The same stack again, now with its handle: the controller's root hub, under the controller's node.
    Send(m_doc, LogTag::ktsA, Stack(2, 1, "USB", 0x2000));
    ASSERT_NE(nullptr, pController->m_pRootHub);
    EXPECT_EQ(DT_ROOT_HUB, StackById(2)->m_iDeviceType);
    ASSERT_EQ(1u, StackById(1)->m_pSubtree->size());
    EXPECT_EQ(StackById(2)->m_pSubtree, StackById(1)->m_pSubtree->first_child());
    EXPECT_STREQ("RootHub", StackById(2)->m_pSubtree->get().m_LabelText);
    EXPECT_EQ(2, m_doc.GetDeviceFlag(2));
    apptest::ExpectNoStaleLinks(m_doc);
}

// A controller (stack 1) with its root hub (2): port 1 holds an external hub (3) with a device (4) on its
// port 1, whose function has a child (5); port 2 holds a device (6) with a child (7) and grandchild (8). Each
// stack has one device object at 0xA000 + id of the driver 0xD000. Built afresh in a new document by Build.
class ArrivalRemovalTopology : public testing::Test {
protected:
    void SetUp() override { Build(); }

    void Build() {
        m_pDoc = std::make_unique<CUSBLog>();
        ASSERT_TRUE(m_pDoc->OnNewDocument());
        const USHORT parents[] = {0, 0, 1, 2, 3, 4, 2, 6, 7};
        const char* enumerators[] = {"", "PCI", "USB", "USB", "USB", "HID", "USB", "HID", "HID"};
        for (USHORT id = 1; id <= 8; ++id) {
            Send(*m_pDoc, LogTag::ktsA, Stack(id, parents[id], enumerators[id]));
            Send(*m_pDoc, LogTag::vedA, Device(0xA000 + id, id, 0xD000));
        }
        // Nothing could be placed without the machine; the topology is built by hand.
        m_controller = new CHostController(StackById(1), nullptr);
        m_pDoc->GetHostControllers()->m_Controllers.Add(std::unique_ptr<CHostController>(m_controller));
        auto* pRoot = new CUsbHub(m_controller, StackById(2), nullptr);
        m_controller->m_pRootHub.reset(pRoot);
        pRoot->m_Ports.Add(std::make_unique<CHubPort>(1));
        pRoot->m_Ports.Add(std::make_unique<CHubPort>(2));
        CHubPort* pPort1 = pRoot->GetPort(1);
        pPort1->m_PortDeviceIsHub = 1;
        pPort1->m_pExternalHub.reset(new CUsbHub(StackById(3), nullptr));
        pPort1->m_pExternalHub->m_HubKind = HubKindExternal;
        pPort1->m_pExternalHub->m_Ports.Add(std::make_unique<CHubPort>(1));
        CHubPort* pInner = pPort1->m_pExternalHub->GetPort(1);
        CHubPort* pPort2 = pRoot->GetPort(2);
        pInner->m_devstk = StackById(4);
        pPort2->m_devstk = StackById(6);

        Tree& root = m_pDoc->GetConnectionTree();
        Tree* hcNode = root.insert(ConnectionElement(TRUE, HostController, m_controller)).node();
        Tree* rootNode = hcNode->insert(ConnectionElement(TRUE, RootHub, pRoot)).node();
        Tree* port1Node = rootNode->insert(ConnectionElement(FALSE, RootHubPort, pPort1)).node();
        Tree* port2Node = rootNode->insert(ConnectionElement(FALSE, RootHubPort, pPort2)).node();
        Tree* hubNode = port1Node->insert(ConnectionElement(TRUE, ExternalHub, pPort1->GetExternalHub())).node();
        Tree* innerNode = hubNode->insert(ConnectionElement(FALSE, ExternalHubPort, pInner)).node();
        Link(1, m_controller, hcNode, DT_HOST_CONTROLLER);
        Link(2, pRoot, rootNode, DT_ROOT_HUB);
        Link(3, pPort1, hubNode, DT_EXTERN_HUB);
        Link(4, pInner, innerNode, DT_GENERIC_USB);
        Link(6, pPort2, port2Node, DT_GENERIC_USB);
    }

    CDeviceStack* StackById(USHORT id) { return m_pDoc->GetStackTree()->FindStackById(id); }
    void Link(USHORT id, CObject* pObject, Tree* pNode, int type) {
        StackById(id)->m_deviceNode = pObject;
        StackById(id)->m_pSubtree = pNode;
        StackById(id)->m_iDeviceType = type;
    }
    static DEVSTK_NODE Removal(USHORT id, ULONG64 time) {
        DEVSTK_NODE node = devtest::StackNode(id);
        node.Removed = 1;
        node.RemovalTime = time;
        return node;
    }
    static DEVICE_NODE DeviceRemoval(USHORT id) {
        return Device(0xA000 + id, id, 0xD000, 1, DEVOBJ_HOOKED | DEVOBJ_SELECTED | DEVOBJ_REMOVED);
    }
    std::set<USHORT> RemovedStacks() {
        std::set<USHORT> removed;
        for (USHORT id = 1; id <= 8; ++id)
            if (StackById(id)->Removed != 0)
                removed.insert(id);
        return removed;
    }

    void ExpectNoStaleLinks() { apptest::ExpectNoStaleLinks(*m_pDoc); }

    // Every order of the records; each order on a topology built afresh, checked after its last record.
    void PlayEveryOrder(std::vector<std::pair<ULONG, USHORT>> records, const std::function<void()>& check) {
        std::sort(records.begin(), records.end());
        int order = 0;
        do {
            SCOPED_TRACE(order++);
            Build();
            for (const auto& [tag, id] : records) {
                if (tag == LogTag::ktsR)
                    Send(*m_pDoc, tag, Removal(id, 900));
                else
                    Send(*m_pDoc, tag, DeviceRemoval(id));
            }
            ExpectNoStaleLinks();
            check();
        } while (std::next_permutation(records.begin(), records.end()));
    }

    std::unique_ptr<CUSBLog> m_pDoc;
    CHostController* m_controller = nullptr;
};

TEST_F(ArrivalRemovalTopology, ARemovalWithoutTheRemovedMarkOnlyUpdatesTheStack) {
    DEVSTK_NODE node = Removal(6, 500);
    node.Removed = 0;
    Tree* rootNode = m_pDoc->GetConnectionTree().first_child()->first_child();
    Send(*m_pDoc, LogTag::ktsR, node);
    EXPECT_EQ(500u, StackById(6)->RemovalTime);
    EXPECT_EQ(DT_GENERIC_USB, StackById(6)->m_iDeviceType);
    EXPECT_EQ(2u, rootNode->size());
    EXPECT_TRUE(RemovedStacks().empty());
}

TEST_F(ArrivalRemovalTopology, RootHubAndDeviceRemovalsMarkTheDescendantsControllerAndHubRemovalsDoNot) {
    struct Case {
        USHORT removed;
        std::set<USHORT> marked;
    };
    const Case cases[] = {
        {2, {2, 3, 4, 5, 6, 7, 8}},
        {6, {6, 7, 8}},
        {1, {1}},
        {3, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.removed);
        Build();
        Send(*m_pDoc, LogTag::ktsR, Removal(c.removed, 700));
        EXPECT_EQ(c.marked, RemovedStacks());
        for (USHORT id : c.marked) {
            EXPECT_EQ(700u, StackById(id)->RemovalTime) << id;
            // The stacks' device objects are marked removed with them.
            EXPECT_TRUE(StackById(id)->GetDeviceObjectAt(0)->IsRemoved()) << id;
        }
        ExpectNoStaleLinks();
    }
}

TEST_F(ArrivalRemovalTopology, TheControllersDeviceObjectRemovalDeletesItOnlyOnceItsRootHubIsGone) {
    Send(*m_pDoc, LogTag::vedR, DeviceRemoval(1));
    EXPECT_EQ(1, m_pDoc->GetHostControllers()->GetCount());
    EXPECT_EQ(0u, StackById(1)->Removed);
    Send(*m_pDoc, LogTag::ktsR, Removal(2, 700));
    EXPECT_EQ(nullptr, m_controller->m_pRootHub);
    EXPECT_EQ(0u, m_pDoc->GetConnectionTree().first_child()->size());
    Send(*m_pDoc, LogTag::vedR, DeviceRemoval(1));
    EXPECT_EQ(0, m_pDoc->GetHostControllers()->GetCount());
    EXPECT_EQ(0u, m_pDoc->GetConnectionTree().size());
    EXPECT_EQ(DT_NONE, StackById(1)->m_iDeviceType);
    EXPECT_EQ(1u, StackById(1)->Removed);
    ExpectNoStaleLinks();
}

TEST_F(ArrivalRemovalTopology, EveryOrderOfAnExternalHubUnplugLeavesNothingNamingWhatWent) {
    PlayEveryOrder({{LogTag::ktsR, 3}, {LogTag::ktsR, 4}, {LogTag::ktsR, 5}, {LogTag::vedR, 3}, {LogTag::vedR, 4}},
                   [&] {
                       for (USHORT id : {3, 4, 5})
                           EXPECT_EQ(1u, StackById(id)->Removed) << id;
                       EXPECT_EQ(0u, StackById(6)->Removed);
                   });
}

TEST_F(ArrivalRemovalTopology, EveryOrderOfAControllerRemovalLeavesNothingNamingWhatWent) {
    PlayEveryOrder({{LogTag::ktsR, 1},
                    {LogTag::ktsR, 2},
                    {LogTag::ktsR, 3},
                    {LogTag::ktsR, 6},
                    {LogTag::vedR, 1},
                    {LogTag::vedR, 2}},
                   [&] {
                       EXPECT_EQ(0, m_pDoc->GetHostControllers()->GetCount());
                       EXPECT_EQ(0u, m_pDoc->GetConnectionTree().size());
                   });
}

} // namespace
