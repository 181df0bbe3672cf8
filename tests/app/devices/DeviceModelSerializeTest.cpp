#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "AfxMemoryControl.h"
#include "ArchiveImage.h"
#include "DeviceNodes.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "tests/app/core/ArchiveBytes.h"

namespace {

using devtest::DeviceNode;
using devtest::Image;
using devtest::NodeList;
using devtest::StackNode;

const GUID kUsbClass = {0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const std::string kHubKey = "{36fc9e60-c465-11cf-8056-444553540000}\\0001";

DEVSTK_NODE HubStack() {
    DEVSTK_NODE n = StackNode(3, 0, kHubKey.c_str(), "Root Hub");
    n.DeviceClass = 9;
    n.DeviceProtocol = 1;
    n.ChildStackIDs[0] = 7;
    CopyNodeString(n.EnumeratorName, "USB", 3);
    CopyNodeString(n.ClassName, "USB", 3);
    CopyNodeString(n.HardwareID, "USB\\ROOT_HUB20", 14);
    CopyNodeString(n.DeviceID, "USB\\ROOT_HUB20\\4", 16);
    n.ClassGuid = kUsbClass;
    n.CreationTime = 100;
    return n;
}

DEVSTK_NODE DiskStack() {
    DEVSTK_NODE n = StackNode(7, 3, "k7", "Mass Storage");
    n.DeviceClass = 8;
    n.DeviceSubClass = 6;
    n.DeviceProtocol = 0x50;
    n.UsbDeviceHandle = 0x77;
    n.Removed = 1;
    n.BosDescriptorSeen = 1;
    n.CreationTime = 200;
    n.RemovalTime = 300;
    return n;
}

const devtest::DeviceFields kPdo{.address = 0xA000,
                                 .flags = 0x11,
                                 .stackId = 3,
                                 .position = 1,
                                 .start = 100,
                                 .driver = 0xD000,
                                 .name = "\\Device\\USBPDO-0"};
const devtest::DeviceFields kFdo{
    .address = 0xB000, .flags = 0x1, .stackId = 3, .position = 2, .start = 101, .driver = 0xE000};

// The stack's own image at the given schema.
Image StackImage(const DEVSTK_NODE& n, const std::vector<std::pair<WORD, ULONG64>>& objects, UINT schema = 12) {
    Image i;
    i.U16(n.StackID);
    if (schema >= 7)
        i.U16(n.DeviceClass).U8(n.DeviceSubClass).U8(n.DeviceProtocol);
    else
        i.U32(n.DeviceClass);
    i.U16(n.ParentStackID);
    for (USHORT id : n.ChildStackIDs)
        i.U16(id);
    for (const CHAR* text :
         {n.DeviceDescription, n.EnumeratorName, n.ClassName, n.HardwareID, n.DeviceID, n.DriverKeyName})
        i.Str(text);
    i.Raw(&n.ClassGuid, sizeof n.ClassGuid);
    if (schema >= 7)
        i.U64(n.UsbDeviceHandle);
    i.U32(n.Removed);
    if (schema >= 11)
        i.U32(n.BosDescriptorSeen);
    i.U64(n.CreationTime).U64(n.RemovalTime).U32(static_cast<DWORD>(objects.size()));
    for (auto [position, address] : objects)
        i.U16(position).U64(address);
    return i;
}

Image DeviceImage(const devtest::DeviceFields& s, WORD linkedStack, const ULONG64* driver) {
    Image i;
    i.U64(s.address).Str(s.name).U32(s.flags).U16(s.stackId).U16(s.position).U64(s.driver).U64(s.start).U64(s.end);
    i.U16(linkedStack).U32(driver != nullptr ? 1 : 0);
    if (driver != nullptr)
        i.U64(*driver);
    return i;
}

// The capture document's device model, built as the driver reports it.
class DeviceModelFiles : public testing::Test {
protected:
    void SetUp() override {
        NodeList list;
        list.Add(HubStack()).Raw(3, DEVICE_NODE_SIZE, DEVICE_NODE_SIZE - 4).Add(DeviceNode(kPdo)).Add(DeviceNode(kFdo));
        list.Add(DiskStack()).End();
        ASSERT_TRUE(
            doc.GetStackTree()->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), doc.GetAttachedDevices()));
        DRIVER_NODE hub{};
        hub.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
        CopyNodeString(hub.DriverName, "usbhub", 6);
        hub.DriverObject = 0xD000;
        hub.HookTime = 50;
        CDriverObject* driver = nullptr;
        ASSERT_TRUE(doc.GetAttachedDrivers()->AddOrUpdateDriver(hub, driver));
        CDeviceObject* pdo = nullptr;
        ASSERT_TRUE(doc.GetAttachedDevices()->GetPresentClassDeviceObject(0xA000, pdo));
        ASSERT_TRUE(driver->AddDeviceObject(pdo));
    }

    static std::vector<BYTE> GoldenStacks() {
        // The map's own order: StackID 7 before 3, position 2 before 1.
        Image i;
        i.U32(2).U16(7).Append(StackImage(DiskStack(), {})).U16(3);
        i.Append(StackImage(HubStack(), {{2, 0xB000}, {1, 0xA000}}));
        return i.bytes;
    }
    static std::vector<BYTE> GoldenDevices() {
        const ULONG64 hub = 0xD000;
        Image i;
        i.U32(2).Append(DeviceImage(kPdo, 3, &hub)).Append(DeviceImage(kFdo, 3, nullptr));
        return i.bytes;
    }
    static std::vector<BYTE> GoldenDrivers() {
        Image i;
        i.U32(1).U64(0xD000).Str("usbhub").U8(1).U32(CDriverObject::SeenMark).U64(50).U64(0).U32(1);
        i.U64(0xA000).U64(100);
        return i.bytes;
    }

    // Loads the three images into the document in the file's order and resolves them as loading does.
    static void LoadModel(CUSBLog& into, const std::vector<BYTE>& stacks, const std::vector<BYTE>& devices,
                          const std::vector<BYTE>& drivers) {
        devtest::LoadImage(*into.GetStackTree(), stacks, &into);
        devtest::LoadImage(*into.GetAttachedDevices(), devices, &into);
        devtest::LoadImage(*into.GetAttachedDrivers(), drivers, &into);
        into.GetAttachedDevices()->PostLoading(&into);
        into.GetStackTree()->PostLoading(&into);
    }

    CUSBLog doc;
};

TEST_F(DeviceModelFiles, StoreGoldenBytesAndLoadBackIntoTheSameModel) {
    EXPECT_EQ(GoldenStacks(), apptest::Store(*doc.GetStackTree()));
    EXPECT_EQ(GoldenDevices(), apptest::Store(*doc.GetAttachedDevices()));
    EXPECT_EQ(GoldenDrivers(), apptest::Store(*doc.GetAttachedDrivers()));

    CUSBLog loaded;
    LoadModel(loaded, GoldenStacks(), GoldenDevices(), GoldenDrivers());
    CDeviceStack* hub = loaded.GetStackTree()->FindStackById(3);
    ASSERT_NE(nullptr, hub);
    EXPECT_EQ(hub, loaded.GetStackTree()->FindStackByName(kHubKey.c_str()));
    EXPECT_EQ(DT_NONE, hub->m_iDeviceType);
    CDeviceObject* pdo = hub->GetDeviceObjectAt(1);
    ASSERT_NE(nullptr, pdo);
    EXPECT_EQ(0xA000u, pdo->_NtDeviceObject);
    EXPECT_EQ(hub, pdo->_DevStack);
    ASSERT_NE(nullptr, pdo->_Driver);
    EXPECT_STREQ("usbhub", pdo->_Driver->m_DriverName);
    EXPECT_EQ(CHECKSTATE_CHECKED, pdo->m_nStateImage) << "loggable, present and not switched off";
    EXPECT_EQ(nullptr, hub->GetDeviceObjectAt(2)->_Driver);
    EXPECT_EQ(1u, loaded.GetStackTree()->FindStackById(7)->HasBosDescriptor);

    EXPECT_EQ(GoldenStacks(), apptest::Store(*loaded.GetStackTree()));
    EXPECT_EQ(GoldenDevices(), apptest::Store(*loaded.GetAttachedDevices()));
    EXPECT_EQ(GoldenDrivers(), apptest::Store(*loaded.GetAttachedDrivers()));
}

TEST_F(DeviceModelFiles, LoadingAcceptsAnyOrderOfStacksAndPositions) {
    Image stacks;
    stacks.U32(2).U16(3).Append(StackImage(HubStack(), {{1, 0xA000}, {2, 0xB000}})).U16(7);
    stacks.Append(StackImage(DiskStack(), {}));
    CUSBLog loaded;
    LoadModel(loaded, stacks.bytes, GoldenDevices(), GoldenDrivers());
    EXPECT_EQ(GoldenStacks(), apptest::Store(*loaded.GetStackTree()));
}

TEST_F(DeviceModelFiles, OlderSchemasLoadWithTheirDefaults) {
    for (UINT schema : {6u, 10u}) {
        SCOPED_TRACE(schema);
        Image image;
        image.U32(1).U16(7).Append(StackImage(DiskStack(), {}, schema));
        CStackTree tree(schema);
        devtest::LoadImage(tree, image.bytes, nullptr);
        CDeviceStack* disk = tree.FindStackById(7);
        ASSERT_NE(nullptr, disk);
        EXPECT_EQ(8, disk->UsbClass);
        EXPECT_EQ(schema >= 7 ? 6 : 0, disk->UsbSubClass);
        EXPECT_EQ(schema >= 7 ? 0x50 : 0, disk->UsbProtocol);
        EXPECT_EQ(schema >= 7 ? 0x77u : 0u, disk->DeviceHandle);
        EXPECT_EQ(0u, disk->HasBosDescriptor);
        EXPECT_EQ(300u, disk->RemovalTime);
        EXPECT_STREQ("k7", disk->DriverKey);
    }
}

TEST_F(DeviceModelFiles, UnresolvedPositionsStayEmpty) {
    // The device objects are of another stack: PostLoading finds none for stack 3.
    Image devices;
    devtest::DeviceFields other = kPdo;
    other.stackId = 9;
    devices.U32(1).Append(DeviceImage(other, 0, nullptr));
    CUSBLog loaded;
    LoadModel(loaded, GoldenStacks(), devices.bytes, Image().U32(0).bytes);
    CDeviceStack* hub = loaded.GetStackTree()->FindStackById(3);
    EXPECT_TRUE(hub->m_DevObjMap.IsEmpty());
    CDeviceObject* device = loaded.GetAttachedDevices()->GetAt(0);
    EXPECT_EQ(nullptr, device->_DevStack) << "a linked StackID of 0 asks no stack tree";
}

TEST_F(DeviceModelFiles, ADuplicateStackIdFailsAsAnArchiveErrorAndKeepsTheFirst) {
    Image image;
    image.U32(2).U16(3).Append(StackImage(HubStack(), {{1, 0xA000}})).U16(3).Append(StackImage(HubStack(), {}));
    CStackTree tree;
    try {
        devtest::LoadImage(tree, image.bytes, nullptr);
        ADD_FAILURE() << "loaded a StackID twice";
    } catch (CArchiveException* e) {
        e->Delete();
    }
    EXPECT_EQ(1, tree.GetCount());
    EXPECT_EQ(1, tree.FindStackById(3)->m_DevObjMap.GetCount());
}

TEST_F(DeviceModelFiles, AnAllocationFailureAnywhereInLoadingFailsCleanly) {
    // Every allocation of a whole load in turn; the sanitizer's leak check sees what a failure would lose.
    bool completed = false;
    for (uint64_t n = 1; !completed && n < 400; ++n) {
        SCOPED_TRACE(n);
        CUSBLog loaded;
        afx::memory::FailNthAllocation(n);
        try {
            LoadModel(loaded, GoldenStacks(), GoldenDevices(), GoldenDrivers());
            completed = true;
        } catch (CMemoryException* e) {
            e->Delete();
        }
        afx::memory::ClearInjectedFailures();
    }
    EXPECT_TRUE(completed);
}

TEST_F(DeviceModelFiles, ATruncatedImageEndsWithEndOfFile) {
    std::vector<BYTE> stacks = GoldenStacks();
    for (size_t cut : {size_t{2}, size_t{40}, stacks.size() - 3}) {
        SCOPED_TRACE(cut);
        CStackTree tree;
        try {
            devtest::LoadImage(tree, std::vector<BYTE>(stacks.begin(), stacks.begin() + static_cast<ptrdiff_t>(cut)),
                               nullptr);
            ADD_FAILURE();
        } catch (CArchiveException* e) {
            EXPECT_EQ(CArchiveException::endOfFile, e->m_cause);
            e->Delete();
        }
    }
}

} // namespace
