#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "DeviceNodes.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"

namespace {

using devtest::DeviceNode;
using devtest::NodeList;
using devtest::StackNode;

class ParseDevstkNodes : public testing::Test {
protected:
    BOOL Parse(const std::vector<BYTE>& bytes) {
        // An exact-size copy, so a read past the list's length is caught.
        auto copy = std::make_unique<BYTE[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        return tree.ParseDevstkNodes(copy.get(), bytes.size(), &devices);
    }

    CStackTree tree;
    CAttachedDevices devices;
};

TEST_F(ParseDevstkNodes, TheEndEntryAloneGivesAnEmptyTree) {
    EXPECT_TRUE(Parse(NodeList().End().bytes));
    EXPECT_EQ(0, tree.GetCount());
    EXPECT_TRUE(Parse({}));
}

TEST_F(ParseDevstkNodes, DevicesGoToTheStackBeforeThemAtTheirPositions) {
    NodeList list;
    list.Add(DeviceNode({.address = 0x10, .stackId = 0}))
        .Add(StackNode(1, 0, "key1", "Root Hub"))
        .Add(DeviceNode({.address = 0x20, .stackId = 1, .name = "pdo"}))
        .Raw(3, DEVICE_NODE_SIZE, DEVICE_NODE_SIZE - 4)
        .Add(DeviceNode({.address = 0x30, .stackId = 1}))
        .End();
    ASSERT_TRUE(Parse(list.bytes));

    CDeviceObject* unlinked = nullptr;
    ASSERT_TRUE(devices.GetPresentClassDeviceObject(0x10, unlinked));
    EXPECT_EQ(nullptr, unlinked->_DevStack) << "a device before any stack belongs to none";

    CDeviceStack* stack = tree.FindStackById(1);
    ASSERT_NE(nullptr, stack);
    EXPECT_STREQ("Root Hub", stack->Description);
    EXPECT_EQ(DT_NONE, stack->m_iDeviceType);
    ASSERT_EQ(2, stack->m_DevObjMap.GetCount());
    CDeviceObject* pdo = stack->GetDeviceObjectAt(0);
    ASSERT_NE(nullptr, pdo);
    EXPECT_EQ(0x20u, pdo->_NtDeviceObject);
    EXPECT_STREQ("pdo", pdo->_DeviceName);
    EXPECT_EQ(stack, pdo->_DevStack);
    EXPECT_EQ(1, pdo->_StackID);
    EXPECT_EQ(nullptr, stack->GetDeviceObjectAt(1)) << "the kind-3 entry takes a position";
    ASSERT_NE(nullptr, stack->GetDeviceObjectAt(2));
    EXPECT_EQ(0x30u, stack->GetDeviceObjectAt(2)->_NtDeviceObject);
}

TEST_F(ParseDevstkNodes, ASharedDriverKeyNamesTheLaterStack) {
    NodeList list;
    list.Add(StackNode(1, 0, "same")).Add(StackNode(2, 0, "same")).End();
    ASSERT_TRUE(Parse(list.bytes));
    EXPECT_EQ(2, tree.GetCount());
    EXPECT_EQ(tree.FindStackById(2), tree.FindStackByName("same"));
    EXPECT_NE(nullptr, tree.FindStackById(1));
}

TEST_F(ParseDevstkNodes, AKnownObjectOfTheSameStackIsUpdatedAndLinkedButNotMapped) {
    CDeviceObject* known = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0x20, .flags = 0, .name = "old"}), known));
    devices.SetDevobjStack(known, DeviceNode({.stackId = 5}), nullptr);
    NodeList list;
    list.Add(StackNode(5))
        .Add(DeviceNode({.address = 0x20, .flags = DEVOBJ_HOOKED | DEVOBJ_SELECTED, .stackId = 5, .name = "new"}))
        .End();
    ASSERT_TRUE(Parse(list.bytes));
    CDeviceStack* stack = tree.FindStackById(5);
    EXPECT_EQ(1, devices.GetCount());
    EXPECT_EQ(stack, known->_DevStack);
    EXPECT_EQ(DEVOBJ_HOOKED | DEVOBJ_SELECTED, known->_StatusFlags);
    EXPECT_STREQ("old", known->_DeviceName) << "a changed name is traced, not taken";
    EXPECT_TRUE(stack->m_DevObjMap.IsEmpty());
}

TEST_F(ParseDevstkNodes, AKnownObjectOfAnotherStackGetsATwinAndSeveralKnownOnesAreLeftAlone) {
    CDeviceObject* other = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0x20}), other));
    devices.SetDevobjStack(other, DeviceNode({.stackId = 9}), nullptr);
    CDeviceObject* a = nullptr;
    CDeviceObject* b = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0x40}), a));
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0x40}), b));
    NodeList list;
    list.Add(StackNode(5)).Add(DeviceNode({.address = 0x20, .stackId = 5})).Add(DeviceNode({.address = 0x40, .stackId = 5})).End();
    ASSERT_TRUE(Parse(list.bytes));
    EXPECT_EQ(4, devices.GetCount());
    CDeviceStack* stack = tree.FindStackById(5);
    ASSERT_NE(nullptr, stack->GetDeviceObjectAt(0));
    EXPECT_NE(other, stack->GetDeviceObjectAt(0));
    EXPECT_EQ(nullptr, stack->GetDeviceObjectAt(1));
}

TEST_F(ParseDevstkNodes, ObjectsOfARemovedStackAreMarkedRemoved) {
    DEVSTK_NODE removed = StackNode(4);
    removed.Removed = 1;
    NodeList list;
    list.Add(removed).Add(DeviceNode({.address = 0x20, .stackId = 4})).End();
    ASSERT_TRUE(Parse(list.bytes));
    EXPECT_TRUE(tree.FindStackById(4)->GetDeviceObjectAt(0)->IsRemoved());
}

TEST_F(ParseDevstkNodes, WrongLengthsThrowAndUnknownKindsEndTheWalk) {
    for (auto [kind, length] : {std::pair<USHORT, USHORT>{NODE_KIND_DEVSTK, 360}, {NODE_KIND_DEVICE, 108}}) {
        NodeList list;
        list.Raw(kind, length, length - 4).End();
        EXPECT_THROW(
            {
                try {
                    Parse(list.bytes);
                } catch (CNotSupportedException* e) {
                    e->Delete();
                    throw 1;
                }
            },
            int);
    }
    NodeList list;
    list.Raw(7, 8, 4).Add(StackNode(1)).End();
    EXPECT_TRUE(Parse(list.bytes));
    EXPECT_EQ(0, tree.GetCount());
}

TEST_F(ParseDevstkNodes, AListCutShortIsNeverReadPastItsLength) {
    NodeList list;
    list.Add(StackNode(1)).Add(DeviceNode({.address = 0x20, .stackId = 1})).Raw(3, DEVICE_NODE_SIZE, 108).End();
    for (size_t cut : {size_t{2}, size_t{100}, size_t{DEVSTK_NODE_SIZE}, size_t{DEVSTK_NODE_SIZE + 50},
                       size_t{DEVSTK_NODE_SIZE + DEVICE_NODE_SIZE + 10}}) {
        SCOPED_TRACE(cut);
        CStackTree fresh;
        CAttachedDevices freshDevices;
        std::vector<BYTE> shortList(list.bytes.begin(), list.bytes.begin() + static_cast<ptrdiff_t>(cut));
        auto copy = std::make_unique<BYTE[]>(cut);
        std::copy(shortList.begin(), shortList.end(), copy.get());
        EXPECT_TRUE(fresh.ParseDevstkNodes(copy.get(), cut, &freshDevices));
        EXPECT_EQ(cut >= DEVSTK_NODE_SIZE ? 1 : 0, fresh.GetCount());
    }
}

} // namespace
