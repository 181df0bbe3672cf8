#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "AfxMemoryControl.h"
#include "DeviceNodes.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"

namespace {

using devtest::DeviceNode;

constexpr ULONG kLoggable = DEVOBJ_HOOKED | DEVOBJ_SELECTED;

std::vector<BYTE> Bytes(const BYTE* p, DWORD n) {
    return std::vector<BYTE>(p, p + n);
}

// The entry the driver expects for an object: its node fields with the given flags, the rest zero.
std::vector<BYTE> Entry(const devtest::DeviceFields& fields, ULONG flags) {
    DEVICE_NODE node = DeviceNode(fields);
    node.StatusFlags = flags;
    const auto* p = reinterpret_cast<const BYTE*>(&node);
    return std::vector<BYTE>(p, p + sizeof node);
}

std::vector<BYTE> EndEntry() {
    std::vector<BYTE> end(DEVICE_NODE_SIZE, 0);
    end[2] = NODE_END_SIZE;
    return end;
}

class CaptureSelection : public testing::Test {
protected:
    CDeviceObject* Add(const devtest::DeviceFields& fields, USHORT stackId) {
        CDeviceObject* p = nullptr;
        EXPECT_TRUE(devices.AddDeviceObject(DeviceNode(fields), p));
        devices.SetDevobjStack(p, DeviceNode({.stackId = stackId}), nullptr);
        return p;
    }
    CAttachedDevices devices;
};

TEST_F(CaptureSelection, ACheckedStackListsItsObjectsForCaptureByteForByte) {
    // Positions 0 and 2 only, as after a sweep; a long name is cut to 63 characters.
    const std::string longName(80, 'n');
    const devtest::DeviceFields pdo{.address = 0xFFFFFA8003C5E060ULL,
                                    .stackId = 4,
                                    .position = 0,
                                    .start = 10,
                                    .end = 0,
                                    .driver = 0xFFFFFA8001000000ULL,
                                    .name = "\\Device\\USBPDO-3"};
    const devtest::DeviceFields fdo{.address = 0xFFFFFA8004000000ULL,
                                    .stackId = 4,
                                    .position = 2,
                                    .start = 11,
                                    .end = 99,
                                    .driver = 0xFFFFFA8002000000ULL,
                                    .name = longName.c_str()};
    const devtest::DeviceFields hidden{.address = 0x5000, .flags = DEVOBJ_HOOKED, .stackId = 4, .position = 3};
    CDeviceStack stack;
    stack.m_DevObjMap.SetAt(0, Add(pdo, 4));
    stack.m_DevObjMap.SetAt(2, Add(fdo, 4));
    stack.m_DevObjMap.SetAt(3, Add(hidden, 4));
    stack.SetCheckState(CHECKSTATE_CHECKED);
    EXPECT_EQ(CHECKSTATE_CHECKED, stack.GetCheckState());

    BYTE* list = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    std::vector<BYTE> expected = Entry(pdo, kLoggable);
    const std::vector<BYTE> second = Entry(fdo, kLoggable);
    expected.insert(expected.end(), second.begin(), second.end());
    const std::vector<BYTE> end = EndEntry();
    expected.insert(expected.end(), end.begin(), end.end());
    ASSERT_EQ(3u * DEVICE_NODE_SIZE, size);
    EXPECT_EQ(expected, Bytes(list, size));
    EXPECT_EQ(0, list[DEVICE_NODE_SIZE + 4 + 63]) << "the name field keeps its terminator";

    // Clearing the selection deselects every listed object, in the list and in the model.
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, true));
    const ULONG off = kLoggable | DEVOBJ_CAPTURE_OFF;
    expected = Entry(pdo, off);
    const std::vector<BYTE> secondOff = Entry(fdo, off);
    expected.insert(expected.end(), secondOff.begin(), secondOff.end());
    expected.insert(expected.end(), end.begin(), end.end());
    EXPECT_EQ(expected, Bytes(list, size));
    EXPECT_EQ(CHECKSTATE_UNCHECKED, stack.GetCheckState());
}

TEST_F(CaptureSelection, RemovedLoggableObjectsAreListedUnselected) {
    const devtest::DeviceFields gone{.address = 0x7000, .flags = kLoggable | DEVOBJ_REMOVED, .stackId = 2};
    CDeviceObject* p = Add(gone, 2);
    p->m_nStateImage = CHECKSTATE_UNCHECKABLE;
    BYTE* list = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    ASSERT_EQ(2u * DEVICE_NODE_SIZE, size);
    EXPECT_EQ(Entry(gone, kLoggable | DEVOBJ_REMOVED | DEVOBJ_CAPTURE_OFF),
              std::vector<BYTE>(list, list + DEVICE_NODE_SIZE));
}

TEST_F(CaptureSelection, NothingLoggableGivesOneZeroedEndEntryAndAFailedAllocationFalse) {
    Add({.address = 0x9000, .flags = DEVOBJ_SELECTED}, 1);
    BYTE* list = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    EXPECT_EQ(EndEntry(), Bytes(list, size));

    afx::memory::FailNthAllocation(1);
    EXPECT_FALSE(devices.CreateLogDevobjsList(list, size, false));
    afx::memory::ClearInjectedFailures();
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(0u, size);
}

} // namespace
