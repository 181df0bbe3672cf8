// Deleting part of the USB topology from the capture document: nodes go, and no stack keeps naming them or
// the objects they stood for.
#include "app/core/changelog/TopologyRemoval.h"

#include <gtest/gtest.h>

#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/UsbHub.h"
#include "tests/app/devices/DeviceNodes.h"

namespace {

using Tree = core::tree<ConnectionElement>;

// A root hub with two ports; port 1 carries an external hub with one port of its own. Stacks 1 to 4 stand
// for the root hub, port 1 (the external hub's device), the external hub's port and port 2.
class TopologyRemoval : public testing::Test {
protected:
    void SetUp() override {
        devtest::NodeList list;
        for (USHORT id = 1; id <= 5; ++id)
            list.Add(devtest::StackNode(id));
        list.End();
        ASSERT_TRUE(
            m_doc.GetStackTree()->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), m_doc.GetAttachedDevices()));
        m_root.m_Ports.Add(std::make_unique<CHubPort>(1));
        m_root.m_Ports.Add(std::make_unique<CHubPort>(2));
        m_port1 = m_root.GetPort(1);
        m_port1->m_pExternalHub.reset(new CUsbHub(Stack(2), nullptr));
        m_external = m_port1->GetExternalHub();
        m_external->m_Ports.Add(std::make_unique<CHubPort>(1));

        m_rootNode = m_doc.GetConnectionTree().insert(ConnectionElement(TRUE, RootHub, &m_root)).node();
        Tree* port1Node = m_rootNode->insert(ConnectionElement(FALSE, RootHubPort, m_port1)).node();
        m_port2Node = m_rootNode->insert(ConnectionElement(FALSE, RootHubPort, m_root.GetPort(2))).node();
        m_hubNode = port1Node->insert(ConnectionElement(TRUE, ExternalHub, m_external)).node();
        Tree* innerNode = m_hubNode->insert(ConnectionElement(FALSE, ExternalHubPort, m_external->GetPort(1))).node();

        Link(1, &m_root, m_rootNode, DT_ROOT_HUB);
        Link(2, m_port1, m_hubNode, DT_EXTERN_HUB);
        Link(3, m_external->GetPort(1), innerNode, DT_GENERIC_USB);
        Link(4, m_root.GetPort(2), m_port2Node, DT_GENERIC_USB);
    }
    void TearDown() override { m_doc.GetConnectionTree().clear(); }

    CDeviceStack* Stack(USHORT id) { return m_doc.GetStackTree()->FindStackById(id); }
    void Link(USHORT id, CObject* pObject, Tree* pNode, int type) {
        Stack(id)->m_deviceNode = pObject;
        Stack(id)->m_pSubtree = pNode;
        Stack(id)->m_iDeviceType = type;
    }
    void ExpectUnlinked(USHORT id) {
        EXPECT_EQ(nullptr, Stack(id)->m_deviceNode) << id;
        EXPECT_EQ(nullptr, Stack(id)->m_pSubtree) << id;
        EXPECT_EQ(DT_NONE, Stack(id)->m_iDeviceType) << id;
    }

    CUSBLog m_doc;
    CUsbHub m_root;
    CHubPort* m_port1 = nullptr;
    CUsbHub* m_external = nullptr;
    Tree* m_rootNode = nullptr;
    Tree* m_port2Node = nullptr;
    Tree* m_hubNode = nullptr;
};

TEST_F(TopologyRemoval, AnObjectsNodeGoesWithWhatIsBelowAndTheStacksForgetThem) {
    EXPECT_TRUE(DeleteTopologyObject(&m_doc, m_external));
    EXPECT_EQ(0u, m_rootNode->first_child()->size());
    ExpectUnlinked(3);
    // The hub's own stack stands for the port it hangs on, which stays; only its node went.
    EXPECT_EQ(m_port1, Stack(2)->m_deviceNode);
    EXPECT_EQ(nullptr, Stack(2)->m_pSubtree);
    EXPECT_EQ(m_port2Node, Stack(4)->m_pSubtree);
    EXPECT_EQ(&m_root, Stack(1)->m_deviceNode);
}

TEST_F(TopologyRemoval, ObjectsWithoutANodeStillLoseTheirStacks) {
    m_hubNode->clear(); // the external hub's port has no node any more
    EXPECT_EQ(nullptr, Stack(3)->m_pSubtree);
    EXPECT_EQ(m_external->GetPort(1), Stack(3)->m_deviceNode);
    EXPECT_TRUE(DeleteTopologyObject(&m_doc, m_port1));
    ExpectUnlinked(2);
    ExpectUnlinked(3);
    CHubPort stranger(7);
    Stack(5)->m_deviceNode = &stranger;
    Stack(5)->m_iDeviceType = DT_GENERIC_USB;
    EXPECT_FALSE(DeleteTopologyObject(&m_doc, &stranger));
    EXPECT_EQ(nullptr, Stack(5)->m_deviceNode);
    EXPECT_FALSE(DeleteTopologyObject(&m_doc, nullptr));
    EXPECT_FALSE(DeleteTopologyObject(nullptr, &stranger));
}

TEST_F(TopologyRemoval, ChildrenGoAndTheirParentStays) {
    DeleteTopologyChildren(&m_doc, m_rootNode);
    EXPECT_EQ(0u, m_rootNode->size());
    EXPECT_EQ(m_rootNode, Stack(1)->m_pSubtree);
    EXPECT_EQ(&m_root, Stack(1)->m_deviceNode);
    for (USHORT id : {2, 3, 4})
        ExpectUnlinked(id);
    DeleteTopologyChildren(&m_doc, nullptr);
}

} // namespace
