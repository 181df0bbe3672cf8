#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "DeviceNodes.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"

namespace {

using devtest::DeviceNode;
using devtest::NodeList;
using devtest::StackNode;

// A node whose every field differs from a default stack's.
DEVSTK_NODE FullNode() {
    DEVSTK_NODE n = StackNode(42, 7, "key", "desc");
    n.DeviceClass = 8;
    n.DeviceSubClass = 6;
    n.DeviceProtocol = 0x50;
    n.ChildStackIDs[0] = 43;
    CopyNodeString(n.EnumeratorName, "USB", 3);
    CopyNodeString(n.ClassName, "DiskDrive", 9);
    n.ClassGuid = {0x4d36e967, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    CopyNodeString(n.HardwareID, "USB\\VID_1", 9);
    CopyNodeString(n.DeviceID, "USB\\VID_1\\1", 11);
    n.UsbDeviceHandle = 0x1234;
    n.Removed = 1;
    n.BosDescriptorSeen = 1;
    n.CreationTime = 100;
    n.RemovalTime = 200;
    return n;
}

// Which groups of fields differ from a default stack, as the update bits name them.
ULONG ChangedGroups(const CDeviceStack& s) {
    ULONG g = 0;
    CDeviceStack blank;
    g |= s.ParentStackID != 0 ? 0x2 : 0;
    g |= s.UsbClass != 0 ? 0x4 : 0;
    g |= s.UsbSubClass != 0 ? 0x8 : 0;
    g |= s.UsbProtocol != 0 ? 0x10 : 0;
    g |= s.ChildStackIDs[0] != 0 ? 0x20 : 0;
    g |= !s.Description.IsEmpty() ? 0x40 : 0;
    g |= !s.EnumName.IsEmpty() ? 0x80 : 0;
    g |= !s.ClassName.IsEmpty() ? 0x100 : 0;
    g |= std::memcmp(&s.ClassGuid, &blank.ClassGuid, sizeof(GUID)) != 0 ? 0x200 : 0;
    g |= !s.HardwareID.IsEmpty() ? 0x400 : 0;
    g |= !s.DeviceID.IsEmpty() ? 0x800 : 0;
    g |= !s.DriverKey.IsEmpty() ? 0x1000 : 0;
    g |= s.DeviceHandle != 0 ? 0x2000 : 0;
    g |= s.Removed != 0 ? 0x4000 : 0;
    g |= s.HasBosDescriptor != 0 ? 0x8000 : 0;
    g |= s.ArrivalTime != 0 ? 0x10000 : 0;
    g |= s.RemovalTime != 0 ? 0x20000 : 0;
    return g;
}

TEST(DeviceStack, EachUpdateBitCopiesExactlyItsGroupAndNeverTheStackId) {
    for (ULONG bit = 0x1; bit <= 0x20000; bit <<= 1) {
        SCOPED_TRACE(bit);
        CDeviceStack stack;
        stack.UpdateStack(FullNode(), bit);
        EXPECT_EQ(bit == 0x1 ? 0u : bit, ChangedGroups(stack));
        EXPECT_EQ(0, stack.StackID);
    }
    CDeviceStack fromNode(FullNode());
    EXPECT_EQ(0x3FFFEu, ChangedGroups(fromNode));
    EXPECT_EQ(42, fromNode.StackID);
    EXPECT_STREQ("DiskDrive", fromNode.ClassName);
}

TEST(DeviceStack, ARemovedStackMarksItsObjectsRemovedOnEveryUpdate) {
    CAttachedDevices devices;
    CDeviceStack stack;
    CDeviceObject* device = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 1}), device));
    stack.m_DevObjMap.SetAt(0, device);
    stack.UpdateStack(FullNode(), 0);
    EXPECT_FALSE(device->IsRemoved()) << "flags 0 on a present stack change nothing";
    stack.Removed = 1;
    stack.UpdateStack(FullNode(), 0);
    EXPECT_TRUE(device->IsRemoved());
    EXPECT_EQ(0u, ChangedGroups(stack) & ~0x4000u);
}

TEST(DeviceStack, ChildIdsTakeTheFirstFreeSlotOnce) {
    CDeviceStack stack;
    stack.ChildStackIDs[0] = 5;
    EXPECT_TRUE(stack.AddChildStackID(5));
    EXPECT_EQ(0, stack.ChildStackIDs[1]) << "no second copy";
    stack.ChildStackIDs[2] = 6;
    EXPECT_TRUE(stack.AddChildStackID(9));
    EXPECT_EQ(9, stack.ChildStackIDs[1]);
    for (int i = 3; i < 8; ++i)
        EXPECT_TRUE(stack.AddChildStackID(static_cast<USHORT>(20 + i)));
    EXPECT_FALSE(stack.AddChildStackID(99));
    EXPECT_TRUE(stack.AddChildStackID(6));
}

TEST(DeviceStack, AssociatedDeviceOnlyForTypesThatHaveOne) {
    CDeviceStack stack;
    CTempObject node;
    stack.m_deviceNode = &node;
    for (int type : {1, 2, 3, 4, 5, 13, 14, 15, 100, 0}) {
        stack.m_iDeviceType = type;
        EXPECT_EQ(type == 3 || type == 100 || type == 0 ? nullptr : &node, stack.GetAssociatedDevice()) << type;
    }
}

class StackFamily : public testing::Test {
protected:
    // 1 -> 2 -> {3, 4}, 4 -> 5; 6 stands alone.
    void SetUp() override {
        NodeList list;
        DEVSTK_NODE one = StackNode(1), two = StackNode(2, 1), four = StackNode(4, 2);
        one.ChildStackIDs[0] = 2;
        two.ChildStackIDs[0] = 3;
        two.ChildStackIDs[1] = 77; // not in the tree
        two.ChildStackIDs[2] = 4;
        four.ChildStackIDs[0] = 5;
        list.Add(one).Add(two).Add(StackNode(3, 2)).Add(four).Add(StackNode(5, 4)).Add(StackNode(6)).End();
        ASSERT_TRUE(tree.ParseDevstkNodes(list.bytes.data(), list.bytes.size(), &devices));
    }
    CDeviceStack* S(USHORT id) { return tree.FindStackById(id); }

    CStackTree tree;
    CAttachedDevices devices;
};

TEST_F(StackFamily, RemovalReachesEveryDescendantDeepestFirst) {
    tree.UpdateStacksFromList(S(1), 5000);
    for (USHORT id : {2, 3, 4, 5}) {
        EXPECT_EQ(1u, S(id)->Removed) << id;
        EXPECT_EQ(5000u, S(id)->RemovalTime) << id;
    }
    EXPECT_EQ(0u, S(1)->Removed) << "the stack itself is its caller's to mark";
    EXPECT_EQ(0u, S(6)->Removed);
}

TEST_F(StackFamily, ACycleInTheChildIdsEndsTheWalkAfterTheDeeperStacksMarkedSoFar) {
    S(5)->ChildStackIDs[0] = 2; // 5 names its grandparent
    tree.UpdateStacksFromList(S(1), 7);
    EXPECT_EQ(1u, S(3)->Removed) << "a finished subtree is marked before its parent";
    for (USHORT id : {2, 4, 5})
        EXPECT_EQ(0u, S(id)->Removed) << id;
    S(3)->Removed = 0;
    S(3)->ChildStackIDs[0] = 3; // names itself
    tree.UpdateStacksFromList(S(3), 7);
    EXPECT_EQ(0u, S(3)->Removed);
}

class StackCheckState : public testing::Test {
protected:
    CDeviceObject* Add(USHORT position, ULONG flags) {
        CDeviceObject* p = nullptr;
        EXPECT_TRUE(devices.AddDeviceObject(DeviceNode({.address = position + 1u, .flags = flags}), p));
        stack.m_DevObjMap.SetAt(position, p);
        return p;
    }
    CAttachedDevices devices;
    CDeviceStack stack;
};

TEST_F(StackCheckState, EveryPositionCountsWhateverTheGaps) {
    const ULONG loggable = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, stack.GetCheckState());
    CDeviceObject* zero = Add(0, loggable);
    CDeviceObject* two = Add(2, loggable);
    CDeviceObject* other = Add(5, DEVOBJ_HOOKED);
    EXPECT_EQ(CHECKSTATE_UNCHECKED, stack.GetCheckState());
    stack.SetCheckState(CHECKSTATE_CHECKED);
    EXPECT_EQ(CHECKSTATE_CHECKED, zero->m_nStateImage);
    EXPECT_EQ(CHECKSTATE_CHECKED, two->m_nStateImage) << "past the gap at position 1";
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, other->m_nStateImage);
    EXPECT_EQ(CHECKSTATE_CHECKED, stack.GetCheckState());
    two->m_nStateImage = CHECKSTATE_UNCHECKED;
    EXPECT_EQ(CHECKSTATE_UNCHECKED, stack.GetCheckState());
    stack.Removed = 1;
    stack.SetCheckState(CHECKSTATE_CHECKED);
    EXPECT_EQ(CHECKSTATE_UNCHECKED, two->m_nStateImage);
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, stack.GetCheckState());
}

TEST_F(StackCheckState, NoLoggableObjectIsUncheckable) {
    Add(0, DEVOBJ_SELECTED);
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, stack.GetCheckState());
}

TEST(CheckStateNames, NamesTheFourStatesOnly) {
    EXPECT_STREQ("NOSTATE", CheckStateName(0));
    EXPECT_STREQ("UNCHECKED", CheckStateName(1));
    EXPECT_STREQ("CHECKED", CheckStateName(2));
    EXPECT_STREQ("UNCHECKABLE", CheckStateName(3));
    EXPECT_EQ(nullptr, CheckStateName(4));
    EXPECT_EQ(nullptr, CheckStateName(-1));
}

} // namespace
