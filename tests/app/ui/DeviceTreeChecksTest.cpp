// A check in any of the four device views (Devices, Stacks and Drivers pages, stack inspector) selects device
// objects for capture, and the other three views show the same; while a capture runs the user's clicks and keys
// change no check.
#include "tests/app/ui/DeviceTreeFixture.h"

#include <functional>

#include "app/core/app/Resource.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HubPort.h"
#include "app/ui/panes/StackListMessages.h"

namespace mainwin_test {
namespace {

std::set<const CDeviceObject*> SelectableOf(const CDeviceStack* pStack) {
    std::set<const CDeviceObject*> objects;
    for (const auto& [position, pDevice] : pStack->DeviceObjectsByPosition()) {
        if (pDevice->IsSelectable())
            objects.insert(pDevice);
    }
    return objects;
}

class DeviceTreeCheckTest;

struct CheckCase {
    const char* name;
    // What the user does, on a fresh start with nothing checked.
    std::function<void(DeviceTreeCheckTest&)> act;
    // The device objects checked afterwards.
    std::function<std::set<const CDeviceObject*>(DeviceTreeCheckTest&)> checked;
};

void PrintTo(const CheckCase& checkCase, std::ostream* os) {
    *os << checkCase.name;
}

class DeviceTreeCheckTest : public DeviceTreeTest, public testing::WithParamInterface<CheckCase> {
public:
    CDeviceTreeTab& TheTab() { return Tab(); }
    void Check(CTreeCtrl& tree, HTREEITEM hItem) { ClickCheck(tree, hItem); }
    void Select(CTreeCtrl& tree, HTREEITEM hItem) { ClickLabel(tree, hItem); }
    void Page(int nTab) { ShowPage(nTab); }
    void CheckRow(int nRow) { ClickRowCheck(nRow); }
    void Press(CWnd& wnd, BYTE vk) {
        win32::PressKey(wnd.m_hWnd, vk);
        win32::PumpUiMessages();
    }
    CDeviceStack* Stack(std::string_view name) { return StackOf(name); }
    CDeviceObject* Object(std::string_view name) { return DeviceObjectOf(name); }
    HTREEITEM DevicesItem(const std::vector<std::string>& path) {
        return FindPath(Tab().GetDevicesTab().GetTree(), path);
    }
    // The item on the page whose data is the object.
    HTREEITEM ItemOf(CTreeCtrl& tree, const void* pObject) {
        for (HTREEITEM hItem = tree.GetRootItem(); hItem != nullptr; hItem = NextItem(tree, hItem)) {
            if (tree.GetItemData(hItem) == reinterpret_cast<DWORD_PTR>(pObject))
                return hItem;
        }
        return nullptr;
    }
    static HTREEITEM NextItem(CTreeCtrl& tree, HTREEITEM hItem) {
        return static_cast<CTreeCtrlEx&>(tree).GetNextItemInOrder(hItem);
    }
    CUSBLog* Document() { return Doc(); }
};

const std::vector<std::string> kStickPort = {"Standard Enhanced", "RootHub", "Port 2: USB Mass Storage"};
const std::vector<std::string> kMousePort = {"Standard Universal", "RootHub", "Port 1: USB Input Device"};

const CheckCase kCases[] = {
    {"DevicesPort",
     [](DeviceTreeCheckTest& t) {
         CTabTree& tree = t.TheTab().GetDevicesTab().GetTree();
         t.Select(tree, t.DevicesItem(kStickPort));
         t.Check(tree, t.DevicesItem(kStickPort));
     },
     [](DeviceTreeCheckTest& t) { return SelectableOf(t.Stack("stick")); }},
    // Space on the caret, with the list showing nothing: the pages alone bring each other in line.
    {"DevicesPortBySpace",
     [](DeviceTreeCheckTest& t) {
         CTabTree& tree = t.TheTab().GetDevicesTab().GetTree();
         t.Select(tree, t.DevicesItem(kStickPort));
         SendStackListMessage(WM_CLEAR_STACKLIST);
         t.Press(tree, VK_SPACE);
     },
     [](DeviceTreeCheckTest& t) { return SelectableOf(t.Stack("stick")); }},
    {"StacksStackBySpace",
     [](DeviceTreeCheckTest& t) {
         t.Page(CDeviceTreeTab::StacksTab);
         CTabTree& tree = t.TheTab().GetStacksTab().GetTree();
         t.Select(tree, t.ItemOf(tree, t.Stack("stick")));
         SendStackListMessage(WM_CLEAR_STACKLIST);
         t.Press(tree, VK_SPACE);
     },
     [](DeviceTreeCheckTest& t) { return SelectableOf(t.Stack("stick")); }},
    {"StacksStack",
     [](DeviceTreeCheckTest& t) {
         t.Page(CDeviceTreeTab::StacksTab);
         CTabTree& tree = t.TheTab().GetStacksTab().GetTree();
         t.Select(tree, t.ItemOf(tree, t.Stack("stick")));
         t.Check(tree, t.ItemOf(tree, t.Stack("stick")));
     },
     [](DeviceTreeCheckTest& t) { return SelectableOf(t.Stack("stick")); }},
    {"DriversDeviceObject",
     [](DeviceTreeCheckTest& t) {
         t.Page(CDeviceTreeTab::DriversTab);
         CTabTree& tree = t.TheTab().GetDriversTab().GetTree();
         t.Select(tree, t.ItemOf(tree, t.Object("stick")));
         t.Check(tree, t.ItemOf(tree, t.Object("stick")));
     },
     [](DeviceTreeCheckTest& t) { return std::set<const CDeviceObject*>{t.Object("stick")}; }},
    {"StackInspectorRow",
     [](DeviceTreeCheckTest& t) {
         t.Select(t.TheTab().GetDevicesTab().GetTree(), t.DevicesItem(kStickPort));
         t.CheckRow(0);
     },
     [](DeviceTreeCheckTest& t) { return std::set<const CDeviceObject*>{t.Object("stick")}; }},
    // A driver's check reaches only its present device objects that can be captured.
    {"DriversDriver",
     [](DeviceTreeCheckTest& t) {
         t.Page(CDeviceTreeTab::DriversTab);
         CTabTree& tree = t.TheTab().GetDriversTab().GetTree();
         const CDriverObject* pDriver = t.Object("stick")->_Driver;
         t.Select(tree, t.ItemOf(tree, pDriver));
         t.Check(tree, t.ItemOf(tree, pDriver));
     },
     [](DeviceTreeCheckTest& t) {
         std::set<const CDeviceObject*> objects;
         const CDriverObject* pDriver = t.Object("stick")->_Driver;
         for (INT_PTR i = 0; i < pDriver->m_DeviceObjects.GetSize(); ++i) {
             if (pDriver->m_DeviceObjects[i]->IsSelectable())
                 objects.insert(pDriver->m_DeviceObjects[i]);
         }
         return objects;
     }},
    // A port whose device is not configured (a problem, image 11) stands for no stack: its check selects
    // nothing, leaves the rows the list shows alone, and its box goes back to what its port says.
    {"ProblemPort",
     [](DeviceTreeCheckTest& t) {
         CTabTree& tree = t.TheTab().GetDevicesTab().GetTree();
         auto* pPort =
             reinterpret_cast<CDevicesTab::Node*>(tree.GetItemData(t.DevicesItem(kStickPort)))->get().m_pElemObject;
         static_cast<CHubPort*>(pPort)->m_CurrentConfig = 0;
         t.Document()->SetDeviceTreeModified(TRUE);
         t.TheTab().RefreshTabViews(t.Document(), TRUE);
         ASSERT_EQ(DT_PROBLEM, DeviceTreeTest::Image(tree, t.DevicesItem(kStickPort)));
         ASSERT_EQ(1, DeviceTreeTest::State(tree, t.DevicesItem(kStickPort)));
         t.Select(tree, t.DevicesItem(kMousePort));
         ASSERT_GT(t.TheTab().GetDevicesTab().GetTree().GetCount(), 0u);
         t.Check(tree, t.DevicesItem(kStickPort));
         EXPECT_EQ(1, DeviceTreeTest::State(tree, t.DevicesItem(kStickPort)));
     },
     [](DeviceTreeCheckTest&) { return std::set<const CDeviceObject*>{}; }},
};

TEST_P(DeviceTreeCheckTest, ACheckInOneViewChangesTheSameObjectsInTheOthers) {
    StartWithTree();
    ASSERT_TRUE(CheckedObjects().empty());
    GetParam().act(*this);
    const std::set<const CDeviceObject*> expected = GetParam().checked(*this);
    EXPECT_EQ(expected, CheckedObjects());
    ExpectViewsFollowTheModel();
    // And unchecked again through another view: the stick's stack on the Stacks page.
    if (!expected.empty()) {
        ShowPage(CDeviceTreeTab::StacksTab);
        CTabTree& stacks = Tab().GetStacksTab().GetTree();
        HTREEITEM hStack = ItemOf(stacks, StackOf("stick"));
        if (State(stacks, hStack) == 1)
            ClickCheck(stacks, hStack);
        ClickCheck(stacks, hStack);
        ExpectViewsFollowTheModel();
    }
}

INSTANTIATE_TEST_SUITE_P(Views, DeviceTreeCheckTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST_F(DeviceTreeTest, WhileCapturingTheUsersChecksAreLockedButACheckAllStillApplies) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& devices = tab.GetDevicesTab().GetTree();
    const HTREEITEM hStick = FindPath(devices, {"Standard Enhanced", "RootHub", "Port 2: USB Mass Storage"});
    const HTREEITEM hMouse = FindPath(devices, {"Standard Universal", "RootHub", "Port 1: USB Input Device"});
    ClickLabel(devices, hStick);
    ClickCheck(devices, hStick);
    ASSERT_EQ(2, State(devices, hStick));
    Command(ID_USB_STARTEVENTCAPTURE);
    ASSERT_TRUE(Doc()->IsLogging());
    const std::set<const CDeviceObject*> before = CheckedObjects();

    // Clicks on the boxes, and Space on the caret, of the trees and the list.
    ClickCheck(devices, hMouse);
    ClickLabel(devices, hStick);
    win32::PressKey(devices.m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    ASSERT_EQ(3, List().GetItemCount() + 1) << "the stick's two rows";
    ClickRowCheck(0);
    win32::PressKey(List().m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    ShowPage(CDeviceTreeTab::DriversTab);
    CTabTree& drivers = tab.GetDriversTab().GetTree();
    ClickCheck(drivers, drivers.GetChildItem(drivers.GetChildItem(drivers.GetRootItem())));
    EXPECT_EQ(before, CheckedObjects());
    ExpectViewsFollowTheModel();

    // The program's check-all goes through, the focus on the list or not.
    ShowPage(CDeviceTreeTab::DevicesTab);
    ClickLabel(devices, hStick);
    ClickRowCheck(0);
    ASSERT_EQ(List().m_hWnd, ::GetFocus());
    SendStackListMessage(WM_UNCHECKALL_STACKLIST);
    EXPECT_TRUE(CheckedObjects().empty());
    ExpectViewsFollowTheModel();

    Command(ID_USB_STOPEVENTCAPTURE);
    win32::PumpUiMessages();
    ASSERT_FALSE(Doc()->IsLogging());
    ClickCheck(devices, FindPath(devices, {"Standard Universal", "RootHub", "Port 1: USB Input Device"}));
    EXPECT_EQ(SelectableOf(StackOf("mouse")), CheckedObjects());
    ExpectViewsFollowTheModel();
}

} // namespace
} // namespace mainwin_test
