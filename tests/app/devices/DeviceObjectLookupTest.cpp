#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

#include "AfxMemoryControl.h"
#include "DeviceNodes.h"
#include "WinFailureControl.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/ObjectHash.h"
#include "app/devices/StackTree.h"

namespace {

using devtest::DeviceFields;
using devtest::DeviceNode;

TEST(ObjectHash, BucketsFollowTheAddressMix) {
    EXPECT_EQ(89u, ObjectAddressBucket(0));
    EXPECT_EQ(89u, ObjectAddressBucket(1));
    EXPECT_EQ(22u, ObjectAddressBucket(~0ULL));
    EXPECT_EQ(158u, ObjectAddressBucket(0xFFFFFA8003C5E060ULL));
}

constexpr ULONG64 kAddress = 0xFFFFFA8003C5E060ULL;
constexpr ULONG kLoggable = DEVOBJ_HOOKED | DEVOBJ_SELECTED;

struct Lifetime {
    ULONG flags;
    LONGLONG start;
    LONGLONG end;
    USHORT stackId;
};

enum class Query { Present, AtTime, WithStack };

struct LookupCase {
    const char* name;
    std::vector<Lifetime> objects; // inserted in this order, all at kAddress
    Query query;
    LONGLONG time;
    USHORT stackId;
    std::optional<size_t> expected; // index into objects
};

TEST(AttachedDevices, LookupsTellObjectsOfAReusedAddressApart) {
    const ULONG removed = kLoggable | DEVOBJ_REMOVED;
    const std::vector<LookupCase> cases = {
        {"present skips the removed one", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::Present, 0, 0, 1},
        {"two present: the first inserted", {{kLoggable, 10, 0, 1}, {kLoggable, 30, 0, 2}}, Query::Present, 0, 0, 0},
        {"none present", {{removed, 10, 20, 1}}, Query::Present, 0, 0, std::nullopt},
        {"inside the old lifetime", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::AtTime, 15, 0, 0},
        {"at the old end", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::AtTime, 20, 0, 0},
        {"between lifetimes", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::AtTime, 25, 0, std::nullopt},
        {"the open lifetime", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::AtTime, 1000, 0, 1},
        {"before any", {{kLoggable, 10, 0, 1}}, Query::AtTime, 5, 0, std::nullopt},
        {"negative times compare signed", {{kLoggable, -50, -10, 1}, {kLoggable, -5, 0, 2}}, Query::AtTime, -20, 0, 0},
        {"a negative start precedes zero", {{kLoggable, -5, 0, 1}}, Query::AtTime, 0, 0, 0},
        {"by stack", {{removed, 10, 20, 1}, {kLoggable, 30, 0, 2}}, Query::WithStack, 0, 1, 0},
        {"by stack: newest first", {{kLoggable, 10, 0, 3}, {kLoggable, 30, 0, 3}}, Query::WithStack, 0, 3, 1},
        {"by an unknown stack", {{kLoggable, 10, 0, 1}}, Query::WithStack, 0, 9, std::nullopt},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        CAttachedDevices devices;
        std::vector<CDeviceObject*> made;
        for (const Lifetime& l : c.objects) {
            CDeviceObject* p = nullptr;
            DeviceFields fields;
            fields.address = kAddress;
            fields.flags = l.flags;
            fields.start = static_cast<ULONG64>(l.start);
            fields.end = static_cast<ULONG64>(l.end);
            fields.stackId = l.stackId;
            ASSERT_TRUE(devices.AddDeviceObject(DeviceNode(fields), p));
            devices.SetDevobjStack(p, DeviceNode(fields), nullptr);
            made.push_back(p);
        }
        CDeviceObject* found = nullptr;
        BOOL ok = FALSE;
        switch (c.query) {
        case Query::Present: ok = devices.GetPresentClassDeviceObject(kAddress, found); break;
        case Query::AtTime: ok = devices.GetClassDeviceObjectAtTime(kAddress, c.time, found); break;
        case Query::WithStack: ok = devices.GetClassDeviceObjectWithStackID(kAddress, c.stackId, found); break;
        }
        EXPECT_EQ(c.expected.has_value(), ok != FALSE);
        EXPECT_EQ(c.expected ? made[*c.expected] : nullptr, found);
    }
}

TEST(AttachedDevices, OtherAddressesInTheSameBucketAreNeverMatched) {
    // 0 and 1 share a bucket.
    CAttachedDevices devices;
    CDeviceObject* zero = nullptr;
    CDeviceObject* one = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0}), zero));
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 1}), one));
    CDeviceObject* found = nullptr;
    EXPECT_TRUE(devices.GetPresentClassDeviceObject(0, found));
    EXPECT_EQ(zero, found);
    CTypedPtrList<CPtrList, _HASH_ENTRY*> list;
    int count = 0;
    EXPECT_TRUE(devices.GetClassDeviceObject(1, list, count));
    ASSERT_EQ(1, count);
    EXPECT_EQ(one, list.GetHead()->object);
    EXPECT_FALSE(devices.GetPresentClassDeviceObject(2, found));
    EXPECT_EQ(nullptr, found);
}

TEST(AttachedDevices, RemovedEntriesAreReusedAndTheObjectSurvivesRemoval) {
    CAttachedDevices devices;
    CDeviceObject* first = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = kAddress}), first));
    std::unique_ptr<CDeviceObject> removed = devices.RemoveDeviceObject(first);
    EXPECT_EQ(first, removed.get());
    EXPECT_EQ(nullptr, devices.RemoveDeviceObject(first));
    EXPECT_EQ(0, devices.GetCount());
    EXPECT_EQ(1u, devices.GetHash().FreeEntryCount());
    CDeviceObject* found = nullptr;
    EXPECT_FALSE(devices.GetPresentClassDeviceObject(kAddress, found));

    // The next insertion takes the spare entry instead of allocating one.
    afx::memory::InjectFailure({0, UINT64_MAX});
    CDeviceObject* second = nullptr;
    EXPECT_FALSE(devices.AddDeviceObject(DeviceNode({.address = kAddress}), second))
        << "the object itself cannot be made";
    afx::memory::ClearInjectedFailures();
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = kAddress}), second));
    EXPECT_EQ(0u, devices.GetHash().FreeEntryCount());
    EXPECT_TRUE(devices.GetPresentClassDeviceObject(kAddress, found));
    EXPECT_EQ(second, found);
}

TEST(AttachedDevices, AFailedAdditionLeavesTheCollectionAsItWas) {
    // Each allocation of an addition in turn: the object, the array's growth, the hash entry.
    for (uint64_t n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        CAttachedDevices devices;
        CDeviceObject* p = nullptr;
        afx::memory::FailNthAllocation(n);
        BOOL ok = devices.AddDeviceObject(DeviceNode({.address = kAddress, .name = "dev"}), p);
        afx::memory::ClearInjectedFailures();
        CDeviceObject* found = nullptr;
        BOOL present = devices.GetPresentClassDeviceObject(kAddress, found);
        EXPECT_EQ(ok, present);
        EXPECT_EQ(ok ? 1 : 0, devices.GetCount());
        EXPECT_EQ(ok ? found : nullptr, p);
    }
}

TEST(AttachedDrivers, PresentDriverAndReferenceCountedDeletionClearDeviceLinks) {
    CAttachedDrivers drivers;
    CAttachedDevices devices;
    DRIVER_NODE node{};
    node.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
    node.DriverObject = 0x1000;
    CopyNodeString(node.DriverName, "usbhub", 6);
    CDriverObject* driver = nullptr;
    ASSERT_TRUE(drivers.AddOrUpdateDriver(node, driver));
    EXPECT_EQ(1, driver->m_nRefCount);
    EXPECT_EQ(CDriverObject::SeenMark, driver->m_Flags);

    CDeviceObject* device = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = kAddress, .driver = 0x1000}), device));
    ASSERT_TRUE(driver->AddDeviceObject(device));
    EXPECT_EQ(driver, device->_Driver);

    CString name = "unchanged";
    drivers.GetDriverName(0x2000, name);
    EXPECT_STREQ("unchanged", name);
    drivers.GetDriverName(0x1000, name);
    EXPECT_STREQ("usbhub", name);

    // A held reference keeps the object past its removal from the collection.
    CDriverObject* held = drivers.GetReferencedDriverObject(0x1000);
    ASSERT_EQ(driver, held);
    drivers.RemoveDriver(0);
    EXPECT_EQ(0, drivers.GetCount());
    EXPECT_EQ(driver, device->_Driver);
    CDriverObject* found = nullptr;
    EXPECT_FALSE(drivers.GetPresentClassDriverObject(0x1000, found));
    drivers.ReleaseDriverObject(held);
    EXPECT_EQ(nullptr, device->_Driver) << "the deleted driver must not stay named";

    EXPECT_THROW(
        {
            try {
                drivers.RemoveDriver(0);
            } catch (CInvalidArgException* e) {
                e->Delete();
                throw 1;
            }
        },
        int);
}

TEST(AttachedDrivers, ADeviceObjectDeletedFirstLeavesItsDriversList) {
    auto drivers = std::make_unique<CAttachedDrivers>();
    auto devices = std::make_unique<CAttachedDevices>();
    DRIVER_NODE node{};
    node.DriverObject = 0x1000;
    CDriverObject* driver = nullptr;
    ASSERT_TRUE(drivers->AddOrUpdateDriver(node, driver));
    CDeviceObject* device = nullptr;
    ASSERT_TRUE(devices->AddDeviceObject(DeviceNode({.address = kAddress}), device));
    ASSERT_TRUE(driver->AddDeviceObject(device));
    // The document deletes its devices before its drivers.
    devices.reset();
    EXPECT_EQ(0, driver->m_DeviceObjects.GetSize());
    drivers.reset();
}

TEST(StackTree, FindsStacksByIdAndDriverKey) {
    CStackTree tree;
    CAttachedDevices devices;
    devtest::NodeList list;
    list.Add(devtest::StackNode(3, 0, "{36fc9e60}\\0001")).Add(devtest::StackNode(7, 3, "{36fc9e60}\\0002")).End();
    ASSERT_TRUE(tree.ParseDevstkNodes(list.bytes.data(), list.bytes.size(), &devices));
    ASSERT_NE(nullptr, tree.FindStackById(7));
    EXPECT_EQ(7, tree.FindStackById(7)->StackID);
    EXPECT_EQ(nullptr, tree.FindStackById(4));
    EXPECT_EQ(tree.FindStackById(3), tree.FindStackByName("{36fc9e60}\\0001"));
    EXPECT_EQ(nullptr, tree.FindStackByName("{36FC9E60}\\0001")) << "driver keys compare exactly";
    EXPECT_EQ(7, tree.GetMaxStackID());
    EXPECT_FALSE(tree.IsParentRemoved(tree.FindStackById(3)));
    EXPECT_FALSE(tree.IsParentRemoved(tree.FindStackById(7)));
    tree.FindStackById(3)->Removed = 1;
    EXPECT_TRUE(tree.IsParentRemoved(tree.FindStackById(7)));
    tree.FindStackById(7)->ParentStackID = 9;
    EXPECT_TRUE(tree.IsParentRemoved(tree.FindStackById(7))) << "a missing parent counts as removed";
}

TEST(DeviceModelLocks, WithoutItsCriticalSectionNoCollectionIsMade) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        win32::FailCalls({"InitializeCriticalSectionAndSpinCount", ERROR_NOT_ENOUGH_MEMORY, 0, 1});
        bool threw = false;
        try {
            if (which == 0)
                delete new CStackTree("\\\\.\\Tindaloft");
            else
                delete new CAttachedDrivers("\\\\.\\Tindaloft");
        } catch (CMemoryException* e) {
            e->Delete();
            threw = true;
        }
        win32::ClearCallFailures();
        EXPECT_TRUE(threw);
    }
}

} // namespace
