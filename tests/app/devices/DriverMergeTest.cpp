// Merging the driver's DRVOBJ_NODES list into the model: the first fill, the update with its sweep, and
// lists cut short at every byte.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "tests/app/devices/DeviceNodes.h"

namespace {

using devtest::DeviceNode;
using devtest::DriverNode;
using devtest::NodeList;

constexpr ULONG kCaptureOn = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
constexpr ULONG kCaptureOff = kCaptureOn | DEVOBJ_CAPTURE_OFF;

DEVICE_NODE Device(ULONG64 address, USHORT stackId = 1, ULONG flags = kCaptureOn) {
    return DeviceNode({.address = address, .flags = flags, .stackId = stackId});
}

// Parses a copy of exactly the list's size, so that AddressSanitizer sees any read past it.
BOOL Merge(CAttachedDrivers& drivers, CAttachedDevices& devices, const std::vector<BYTE>& list, bool first) {
    std::unique_ptr<BYTE[]> copy(new BYTE[list.size()]);
    std::copy(list.begin(), list.end(), copy.get());
    return first ? drivers.GetDriversAndDevices(copy.get(), list.size(), &devices)
                 : drivers.UpdateDriversAndDevices(copy.get(), list.size(), &devices);
}

// "d100[a100 a200] d200[]": each driver with its listed device objects; a device object that does not name
// the driver listing it is marked "!".
std::string DescribeDrivers(const CAttachedDrivers& drivers) {
    std::ostringstream out;
    for (INT_PTR i = 0; i < drivers.GetCount(); ++i) {
        const CDriverObject* pDriver = drivers.GetAt(i);
        out << (i ? " " : "") << std::hex << pDriver->m_NtDriverObject << "[";
        for (INT_PTR j = 0; j < pDriver->m_DeviceObjects.GetSize(); ++j) {
            const CDeviceObject* pDevice = pDriver->m_DeviceObjects[j];
            out << (j ? " " : "") << pDevice->_NtDeviceObject << (pDevice->_Driver == pDriver ? "" : "!");
        }
        out << "]";
    }
    return out.str();
}

// "a100/1 a200/2": every device object with its StackID.
std::string DescribeDevices(const CAttachedDevices& devices) {
    std::ostringstream out;
    for (INT_PTR i = 0; i < devices.GetCount(); ++i)
        out << (i ? " " : "") << std::hex << devices.GetAt(i)->_NtDeviceObject << "/" << std::dec
            << devices.GetAt(i)->_StackID;
    return out.str();
}

void ExpectNoMarks(const CAttachedDrivers& drivers, const CAttachedDevices& devices) {
    for (INT_PTR i = 0; i < drivers.GetCount(); ++i)
        EXPECT_EQ(drivers.GetAt(i)->m_Flags & (CDriverObject::SeenMark | CDriverObject::SweptMark), 0u);
    for (INT_PTR i = 0; i < devices.GetCount(); ++i)
        EXPECT_EQ(devices.GetAt(i)->_StatusFlags & CDriverObject::SeenMark, 0u);
}

TEST(DriverMerge, FirstFillLinksDevicesToTheirDriverAndTakesTheirStateImages) {
    NodeList list;
    list.Add(Device(0xA000))
        .Add(DriverNode(0xD100, "usbhub"))
        .Add(Device(0xA100, 1, kCaptureOff))
        .Add(Device(0xA200, 1, kCaptureOn))
        .Add(Device(0xA300, 1, DEVOBJ_SELECTED))
        .Add(Device(0xA400, 1, kCaptureOn | DEVOBJ_REMOVED))
        .End();
    CAttachedDrivers drivers;
    CAttachedDevices devices;
    EXPECT_TRUE(Merge(drivers, devices, list.bytes, true));
    EXPECT_EQ(DescribeDrivers(drivers), "d100[a100 a200 a300 a400]");
    EXPECT_EQ(DescribeDevices(devices), "a000/1 a100/1 a200/1 a300/1 a400/1");

    CDeviceObject* pFirst = nullptr;
    ASSERT_TRUE(devices.GetPresentClassDeviceObject(0xA000, pFirst));
    EXPECT_EQ(pFirst->_Driver, nullptr);
    const UINT untouched = CDeviceObject(Device(0xA000)).m_nStateImage;
    EXPECT_EQ(pFirst->m_nStateImage, untouched) << "a device before any driver keeps its state image";
    const CDriverObject* pDriver = drivers.GetAt(0);
    EXPECT_EQ(pDriver->m_DeviceObjects[0]->m_nStateImage, static_cast<UINT>(CHECKSTATE_UNCHECKED));
    EXPECT_EQ(pDriver->m_DeviceObjects[1]->m_nStateImage, static_cast<UINT>(CHECKSTATE_CHECKED));
    EXPECT_EQ(pDriver->m_DeviceObjects[2]->m_nStateImage,
              CDeviceObject(Device(0xA300, 1, DEVOBJ_SELECTED)).m_nStateImage)
        << "not loggable";
    EXPECT_EQ(pDriver->m_DeviceObjects[3]->m_nStateImage,
              CDeviceObject(Device(0xA400, 1, kCaptureOn | DEVOBJ_REMOVED)).m_nStateImage)
        << "removed";
}

TEST(DriverMerge, UpdatesLeaveExactlyWhatTheListReports) {
    struct Case {
        const char* name;
        NodeList first;
        NodeList update;
        const char* drivers;
        const char* devices;
    };
    std::vector<Case> cases;
    cases.push_back({"a new StackID for a known address makes a second object; the old one is swept",
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100, 1)).End(),
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100, 2)).End(), "d100[a100]", "a100/2"});
    cases.push_back({"a driver missing from the list goes with its device objects",
                     NodeList()
                         .Add(DriverNode(0xD100, "a"))
                         .Add(Device(0xA100))
                         .Add(DriverNode(0xD200, "b"))
                         .Add(Device(0xA200))
                         .Add(Device(0xA300))
                         .End(),
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).End(), "d100[a100]", "a100/1"});
    cases.push_back({"a driver with fewer objects loses only those",
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).Add(Device(0xA200)).End(),
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA200)).End(), "d100[a200]", "a200/1"});
    cases.push_back({"an object that changed driver is listed by its new driver only",
                     NodeList()
                         .Add(DriverNode(0xD100, "a"))
                         .Add(Device(0xA100))
                         .Add(DriverNode(0xD200, "b"))
                         .Add(Device(0xA200))
                         .End(),
                     NodeList()
                         .Add(DriverNode(0xD100, "a"))
                         .Add(DriverNode(0xD200, "b"))
                         .Add(Device(0xA200))
                         .Add(Device(0xA100))
                         .End(),
                     "d100[] d200[a200 a100]", "a100/1 a200/1"});
    cases.push_back({"an object that changed driver outlives its old driver",
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).Add(DriverNode(0xD200, "b")).End(),
                     NodeList().Add(DriverNode(0xD200, "b")).Add(Device(0xA100)).End(), "d200[a100]", "a100/1"});
    cases.push_back({"a new driver and device object are added",
                     NodeList().Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).End(),
                     NodeList()
                         .Add(DriverNode(0xD100, "a"))
                         .Add(Device(0xA100))
                         .Add(DriverNode(0xD200, "b"))
                         .Add(Device(0xA200, 2))
                         .End(),
                     "d100[a100] d200[a200]", "a100/1 a200/2"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAttachedDrivers drivers;
        CAttachedDevices devices;
        ASSERT_TRUE(Merge(drivers, devices, c.first.bytes, true));
        EXPECT_TRUE(Merge(drivers, devices, c.update.bytes, false));
        EXPECT_EQ(DescribeDrivers(drivers), c.drivers);
        EXPECT_EQ(DescribeDevices(devices), c.devices);
        ExpectNoMarks(drivers, devices);
    }
}

// A device plugged in during a capture is reported before its driver is hooked (selected, not hooked: no box);
// the list read after the stop shows it hooked. The re-read gives it its box and its driver, and removes
// nothing the driver stopped listing, since captured records may still name it.
TEST(DriverMerge, AReReadAfterAStopTakesALaterHookAndSweepsNothing) {
    CAttachedDrivers drivers;
    CAttachedDevices devices;
    NodeList first;
    first.Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).Add(Device(0xA200)).End();
    ASSERT_TRUE(Merge(drivers, devices, first.bytes, true));
    CDeviceObject* pArrived = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(Device(0xA300, 2, DEVOBJ_SELECTED), pArrived));
    pArrived->_StackID = 2; // as its arrival record enters it in its stack
    ASSERT_EQ(pArrived->m_nStateImage, static_cast<UINT>(CHECKSTATE_UNCHECKABLE));

    NodeList reread;
    reread.Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).Add(DriverNode(0xD300, "disk"));
    reread.Add(Device(0xA300, 2)).End();
    EXPECT_TRUE(drivers.MergeDriversAndDevices(reread.bytes.data(), reread.bytes.size(), &devices));
    EXPECT_EQ(DescribeDrivers(drivers), "d100[a100 a200] d300[a300]");
    EXPECT_EQ(DescribeDevices(devices), "a100/1 a200/1 a300/2");
    EXPECT_EQ(pArrived->_StatusFlags, kCaptureOn);
    EXPECT_EQ(pArrived->m_nStateImage, static_cast<UINT>(CHECKSTATE_CHECKED));
    ExpectNoMarks(drivers, devices);
}

// The box follows the flags an update brings: gone when the object can no longer be selected, back (as its
// flags say) when it can again, and a box the user set is kept.
TEST(DriverMerge, AnUpdatedObjectsBoxFollowsWhetherItCanBeSelected) {
    struct Case {
        const char* name;
        UINT image;
        ULONG flags;
        UINT expected;
    };
    const Case cases[] = {
        {"hooked after it arrived, capture on", CHECKSTATE_UNCHECKABLE, kCaptureOn, CHECKSTATE_CHECKED},
        {"hooked after it arrived, capture off", CHECKSTATE_UNCHECKABLE, kCaptureOff, CHECKSTATE_UNCHECKED},
        {"the user's choice stays", CHECKSTATE_UNCHECKED, kCaptureOn, CHECKSTATE_UNCHECKED},
        {"removed", CHECKSTATE_CHECKED, kCaptureOn | DEVOBJ_REMOVED, CHECKSTATE_UNCHECKABLE},
        {"no longer hooked", CHECKSTATE_CHECKED, DEVOBJ_SELECTED, CHECKSTATE_UNCHECKABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAttachedDevices devices;
        CDeviceObject* pDevice = nullptr;
        ASSERT_TRUE(devices.AddDeviceObject(Device(0xA100, 1, DEVOBJ_SELECTED | DEVOBJ_CAPTURE_OFF), pDevice));
        pDevice->m_nStateImage = c.image;
        EXPECT_TRUE(devices.UpdateDeviceObject(pDevice, Device(0xA100, 1, c.flags)));
        EXPECT_EQ(pDevice->m_nStateImage, c.expected);
    }
}

TEST(DriverMerge, SweptDeviceObjectsLeaveTheirStacksPositionMaps) {
    NodeList stackList;
    stackList.Add(devtest::StackNode(1)).Add(Device(0xA100)).Add(Device(0xA200)).Add(Device(0xA300)).End();
    CStackTree stacks;
    CAttachedDevices devices;
    ASSERT_TRUE(stacks.ParseDevstkNodes(stackList.bytes.data(), stackList.bytes.size(), &devices));
    CDeviceStack* pStack = stacks.FindStackById(1);
    ASSERT_NE(pStack, nullptr);
    ASSERT_EQ(pStack->m_DevObjMap.GetCount(), 3);

    CAttachedDrivers drivers;
    NodeList first;
    first.Add(DriverNode(0xD100, "a")).Add(Device(0xA100)).Add(DriverNode(0xD200, "b")).Add(Device(0xA200));
    first.Add(Device(0xA300)).End();
    ASSERT_TRUE(Merge(drivers, devices, first.bytes, true));
    NodeList update;
    update.Add(DriverNode(0xD200, "b")).Add(Device(0xA300)).End();
    ASSERT_TRUE(Merge(drivers, devices, update.bytes, false));

    EXPECT_EQ(DescribeDrivers(drivers), "d200[a300]");
    EXPECT_EQ(DescribeDevices(devices), "a300/1");
    CObject* pAt = nullptr;
    EXPECT_FALSE(pStack->m_DevObjMap.Lookup(0, pAt));
    EXPECT_FALSE(pStack->m_DevObjMap.Lookup(1, pAt));
    ASSERT_TRUE(pStack->m_DevObjMap.Lookup(2, pAt));
    EXPECT_EQ(static_cast<CDeviceObject*>(pAt)->_NtDeviceObject, 0xA300u);
}

// A whole list cut at every length: the walk merges the whole entries before the cut and either stops
// quietly (the cut falls in a kind field or the end entry) or raises the code of the entry it cuts. An update
// never deletes anything on a cut list.
TEST(DriverMerge, AListCutAnywhereMergesItsPrefixOrRaisesItsTruncation) {
    NodeList list;
    list.Add(DriverNode(0xD100, "a"))
        .Add(Device(0xA100))
        .Raw(CAttachedDrivers::NODE_KIND_SKIP, 0, DEVICE_NODE_SIZE - sizeof(NODE_HEADER))
        .Add(DriverNode(0xD200, "b"))
        .Add(Device(0xA200))
        .End();
    struct Entry {
        size_t start, size;
        DWORD code;
    };
    const Entry entries[] = {{0, 48, CAttachedDrivers::DriverNodeTruncatedCode},
                             {48, 112, CAttachedDrivers::DeviceNodeTruncatedCode},
                             {160, 112, CAttachedDrivers::SkipNodeTruncatedCode},
                             {272, 48, CAttachedDrivers::DriverNodeTruncatedCode},
                             {320, 112, CAttachedDrivers::DeviceNodeTruncatedCode}};
    ASSERT_EQ(list.bytes.size(), 436u);

    NodeList before;
    before.Add(DriverNode(0xD900, "old")).Add(Device(0xA900)).End();
    for (size_t cut = 0; cut <= list.bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::vector<BYTE> part(list.bytes.begin(), list.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        DWORD expectedCode = 0;
        size_t whole = 0; // entries wholly inside the cut
        for (const Entry& e : entries) {
            if (cut >= e.start + e.size)
                ++whole;
            else if (cut >= e.start + sizeof(USHORT))
                expectedCode = e.code;
        }
        for (bool first : {true, false}) {
            CAttachedDrivers drivers;
            CAttachedDevices devices;
            if (!first)
                ASSERT_TRUE(Merge(drivers, devices, before.bytes, true));
            DWORD raised = 0;
            BOOL ended = FALSE;
            try {
                ended = Merge(drivers, devices, part, first);
            } catch (const nt::SehException& e) {
                raised = static_cast<DWORD>(e.Code());
            }
            EXPECT_EQ(raised, expectedCode);
            EXPECT_EQ(ended, cut >= list.bytes.size() - 2);
            const INT_PTR newDrivers = (whole >= 1) + (whole >= 4);
            const INT_PTR newDevices = (whole >= 2) + (whole >= 5);
            const INT_PTR kept = first || ended ? 0 : 1;
            EXPECT_EQ(drivers.GetCount(), newDrivers + kept);
            EXPECT_EQ(devices.GetCount(), newDevices + kept);
            if (!first)
                ExpectNoMarks(drivers, devices);
        }
    }
}

} // namespace
