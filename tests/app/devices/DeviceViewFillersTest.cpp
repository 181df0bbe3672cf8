#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "DeviceNodes.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"

namespace {

using devtest::DeviceNode;
using devtest::NodeList;
using devtest::StackNode;

// Records what the model asks of the views, one line per call, with items numbered as they are made
// (item 1 is the root).
class RecordingViews : public IStacksTab, public IDriversTab, public IStackGridList {
public:
    static HTREEITEM Item(uintptr_t n) { return reinterpret_cast<HTREEITEM>(n); }
    static uintptr_t Number(HTREEITEM h) { return reinterpret_cast<uintptr_t>(h); }

    HTREEITEM InsertStackItem(LPCSTR text, HTREEITEM parent, CDeviceStack*) override {
        return Insert("stack", text, parent);
    }
    void SetItemCheckState(HTREEITEM item, int state) override {
        calls.push_back("check " + std::to_string(Number(item)) + " " + CheckStateName(state));
    }
    void ExpandItem(HTREEITEM item) override { calls.push_back("expand " + std::to_string(Number(item))); }
    HTREEITEM InsertItemImage6(LPCSTR text, HTREEITEM parent, CDriverObject*) override {
        return Insert("image6", text, parent);
    }
    HTREEITEM InsertItemImage10(LPCSTR text, HTREEITEM parent, CDriverObject*) override {
        return Insert("image10", text, parent);
    }
    HTREEITEM InsertItemImage7(LPCSTR text, HTREEITEM parent, CDeviceObject*) override {
        return Insert("image7", text, parent);
    }
    HTREEITEM InsertItemImage9(LPCSTR text, HTREEITEM parent, CDeviceObject*) override {
        return Insert("image9", text, parent);
    }
    void SetItemStateImage(HTREEITEM item, UINT state, LPCSTR) override {
        calls.push_back("state " + std::to_string(Number(item)) + " " + std::to_string(state));
    }
    BOOL InsertRow(int row, CDeviceObject*, int image, LPCSTR name, LPCSTR address, LPCSTR driver, int check) override {
        calls.push_back("row " + std::to_string(row) + " image " + std::to_string(image) + " " + name + " | " +
                        address + " | " + driver + " check " + std::to_string(check));
        return TRUE;
    }

    std::vector<std::string> calls;

private:
    HTREEITEM Insert(const char* kind, LPCSTR text, HTREEITEM parent) {
        ++m_last;
        calls.push_back(std::string(kind) + " " + std::to_string(m_last) + " '" + text + "' under " +
                        std::to_string(Number(parent)));
        return Item(m_last);
    }
    uintptr_t m_last = 1;
};

std::vector<std::string> Only(const std::vector<std::string>& calls, const std::string& prefix) {
    std::vector<std::string> kept;
    for (const std::string& c : calls)
        if (c.rfind(prefix, 0) == 0)
            kept.push_back(c);
    return kept;
}

TEST(StacksTab, StacksGoUnderTheirParentsItemsInIdOrder) {
    CStackTree tree;
    CAttachedDevices devices;
    DEVSTK_NODE removed = StackNode(4, 2, "", "Removed");
    removed.Removed = 1;
    NodeList list;
    list.Add(StackNode(5, 0, "", "Controller"))
        .Add(DeviceNode({.address = 0x50, .stackId = 5}))
        .Add(StackNode(2, 5, "", "Child of a higher id"))
        .Add(StackNode(6, 5, "", "Hub"))
        .Add(StackNode(7, 6, "", "Device"))
        .Add(removed)
        .Add(StackNode(8, 4, "", "Under a removed parent"))
        .End();
    ASSERT_TRUE(tree.ParseDevstkNodes(list.bytes.data(), list.bytes.size(), &devices));
    RecordingViews views;
    tree.FillStacksTab(views, RecordingViews::Item(1));
    EXPECT_EQ((std::vector<std::string>{
                  "stack 2 'Child of a higher id' under 1",
                  "stack 3 'Controller' under 1",
                  "stack 4 'Hub' under 3",
                  "stack 5 'Device' under 4",
                  "stack 6 'Under a removed parent' under 1",
              }),
              Only(views.calls, "stack"));
    EXPECT_EQ((std::vector<std::string>{"check 2 UNCHECKABLE", "check 3 UNCHECKED", "check 4 UNCHECKABLE",
                                        "check 5 UNCHECKABLE", "check 6 UNCHECKABLE"}),
              Only(views.calls, "check"));
    EXPECT_EQ(RecordingViews::Item(4), tree.FindStackById(6)->m_htiSelf);
    EXPECT_EQ(RecordingViews::Item(3), tree.FindStackById(6)->m_htiParent);
    EXPECT_EQ(nullptr, tree.FindStackById(4)->m_htiSelf);
}

TEST(StackGrid, RowsInPositionOrderWithTheirNamesAndImages) {
    CAttachedDevices devices;
    CAttachedDrivers drivers;
    CDeviceStack stack;
    auto add = [&](const devtest::DeviceFields& fields, USHORT position) {
        CDeviceObject* p = nullptr;
        EXPECT_TRUE(devices.AddDeviceObject(DeviceNode(fields), p));
        stack.m_DevObjMap.SetAt(position, p);
        return p;
    };
    CDeviceObject* fdo = add({.address = 0xB0, .position = 3, .name = "\\Device\\USBFDO-0"}, 3);
    CDeviceObject* pdo = add({.address = 0xA0, .position = 0}, 0);
    add({.address = 0xC0, .flags = DEVOBJ_HOOKED | DEVOBJ_SELECTED | DEVOBJ_REMOVED, .position = 5}, 5);
    add({.address = 0xD0, .flags = DEVOBJ_HOOKED, .position = 1}, 1);
    DRIVER_NODE node{};
    node.DriverObject = 0xF0;
    CopyNodeString(node.DriverName, "usbhub", 6);
    CDriverObject* driver = nullptr;
    ASSERT_TRUE(drivers.AddOrUpdateDriver(node, driver));
    driver->AddDeviceObject(fdo);
    fdo->m_nStateImage = CHECKSTATE_CHECKED;
    pdo->m_nStateImage = CHECKSTATE_UNCHECKED;

    RecordingViews views;
    stack.FillStackGridList(views);
    EXPECT_EQ((std::vector<std::string>{
                  "row 0 image 12 noname | a0 | --- check 11",
                  "row 1 image 7 noname | d0 | --- check 12",
                  "row 2 image 7 \\Device\\USBFDO-0 | b0 | usbhub check 10",
                  "row 3 image 9 noname | c0 | --- check 12",
              }),
              views.calls);
}

TEST(DriversTab, ListedDriversWithTheirDeviceObjects) {
    CAttachedDevices devices;
    CAttachedDrivers drivers;
    auto driverNode = [](ULONG64 address, const char* name, ULONG flags) {
        DRIVER_NODE n{};
        n.DriverObject = address;
        n.DriverFlags = flags;
        CopyNodeString(n.DriverName, name, std::strlen(name));
        return n;
    };
    CDriverObject* hub = nullptr;
    CDriverObject* gone = nullptr;
    CDriverObject* placeholder = nullptr;
    ASSERT_TRUE(drivers.AddOrUpdateDriver(driverNode(0x1000, "usbhub", 0), hub));
    ASSERT_TRUE(drivers.AddOrUpdateDriver(driverNode(0x2000, "old", DRIVER_NODE_UNLOADED), gone));
    DRIVER_NODE unlisted = driverNode(0x3000, "hidden", 0);
    ASSERT_TRUE(drivers.AddNewDriver(&unlisted, nullptr, FALSE, placeholder));
    CDeviceObject* present = nullptr;
    CDeviceObject* removed = nullptr;
    CDeviceObject* plain = nullptr;
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0xA0, .name = "\\Device\\USBPDO-1"}), present));
    ASSERT_TRUE(devices.AddDeviceObject(
        DeviceNode({.address = 0xB0, .flags = DEVOBJ_HOOKED | DEVOBJ_SELECTED | DEVOBJ_REMOVED}), removed));
    ASSERT_TRUE(devices.AddDeviceObject(DeviceNode({.address = 0xC0, .flags = DEVOBJ_HOOKED}), plain));
    for (CDeviceObject* p : {present, removed, plain})
        hub->AddDeviceObject(p);
    present->m_nStateImage = CHECKSTATE_CHECKED;

    RecordingViews views;
    drivers.FillDriversTab(views, RecordingViews::Item(1));
    EXPECT_EQ((std::vector<std::string>{
                  "image6 2 'usbhub (0x1000)' under 1",
                  "state 2 1",
                  "image7 3 '\\Device\\USBPDO-1 (0xa0)' under 2",
                  "state 3 2",
                  "image9 4 'noname (0xb0)' under 2",
                  "state 4 3",
                  "image7 5 'noname (0xc0)' under 2",
                  "state 5 3",
                  "expand 2",
                  "image10 6 'old (0x2000)' under 1",
                  "state 6 3",
                  "expand 1",
              }),
              views.calls);
    EXPECT_EQ(RecordingViews::Item(2), present->m_htiParent);
    EXPECT_EQ(RecordingViews::Item(3), present->m_htiSelf);

    // A device object that stops being selectable shows it on its own item.
    views.calls.clear();
    present->_StatusFlags |= DEVOBJ_REMOVED;
    present->RefreshDriversTabNode(views);
    EXPECT_EQ(std::vector<std::string>{"state 3 3"}, views.calls);
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, present->m_nStateImage);
}

TEST(DriversTab, UpdatingADriverKeepsANameItAlreadyHas) {
    CAttachedDrivers drivers;
    DRIVER_NODE first{};
    first.DriverObject = 0x1000;
    CDriverObject* driver = nullptr;
    ASSERT_TRUE(drivers.AddNewDriver(&first, nullptr, FALSE, driver));
    EXPECT_EQ(CHECKSTATE_UNCHECKABLE, driver->m_nStateImage);
    DRIVER_NODE named = first;
    CopyNodeString(named.DriverName, "usbhub", 6);
    ASSERT_TRUE(drivers.AddOrUpdateDriver(named, driver));
    EXPECT_STREQ("usbhub", driver->m_DriverName) << "an empty name is filled";
    EXPECT_TRUE(driver->m_bListed);
    EXPECT_EQ(CHECKSTATE_UNCHECKED, driver->m_nStateImage);
    DRIVER_NODE renamed = first;
    CopyNodeString(renamed.DriverName, "other", 5);
    ASSERT_TRUE(drivers.AddOrUpdateDriver(renamed, driver));
    EXPECT_STREQ("usbhub", driver->m_DriverName);
    EXPECT_EQ(1, drivers.GetCount());
    EXPECT_EQ(1, driver->m_nRefCount);
}

} // namespace
