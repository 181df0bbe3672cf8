// What a selection in the device tree shows in the other panes, and how each page's selection outlives a
// redisplay, a rebuilt device model and Clear monitored devices (the model's objects freed under the trees).
#include "tests/app/ui/DeviceTreeFixture.h"

#include <algorithm>
#include <functional>

#include "app/core/app/Resource.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "tests/support/RecordingPanes.h"

namespace mainwin_test {
namespace {

// The commands a window receives, while its procedure is watched.
class CommandWatch {
public:
    explicit CommandWatch(HWND hwnd) : m_hwnd(hwnd) {
        s_pWatch = this;
        m_previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommandWatch::Procedure)));
    }
    ~CommandWatch() {
        ::SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        s_pWatch = nullptr;
    }
    CommandWatch(const CommandWatch&) = delete;
    CommandWatch& operator=(const CommandWatch&) = delete;

    std::vector<UINT> Take() {
        std::vector<UINT> taken;
        taken.swap(m_commands);
        return taken;
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND)
            s_pWatch->m_commands.push_back(LOWORD(wParam));
        return ::CallWindowProcA(s_pWatch->m_previous, hwnd, message, wParam, lParam);
    }

    static inline CommandWatch* s_pWatch = nullptr;
    HWND m_hwnd;
    WNDPROC m_previous = nullptr;
    std::vector<UINT> m_commands;
};

bool Has(const std::vector<std::string>& calls, const std::string& name) {
    return std::find(calls.begin(), calls.end(), name) != calls.end();
}

TEST_F(DeviceTreeTest, ASelectionShowsItsDetailsInTheOtherPanes) {
    CDeviceTreeTab& tab = StartWithTree();
    Frame()->GetPaneManager().ShowPane(ID_VIEW_DEVICEPROPERTIES);
    ASSERT_NE(Frame()->GetDevicePropertiesPane(), nullptr);
    CommandWatch properties(Frame()->GetDevicePropertiesPane()->m_hWnd);
    tdl::test::RecordingPanes panes;
    CTabTree& devices = tab.GetDevicesTab().GetTree();

    // Every topology item asks Device Properties for its Plug and Play properties.
    for (const std::vector<std::string>& path : {std::vector<std::string>{"Standard Enhanced"},
                                                 {"Standard Enhanced", "RootHub"},
                                                 {"Standard Enhanced", "RootHub", "Port 1: Generic USB Hub"},
                                                 {"Standard Enhanced", "RootHub", "Port 2: USB Mass Storage"},
                                                 {"Standard Enhanced", "RootHub", "Port 3: No device"},
                                                 {"USB 3.0 eXtensible", "SuperSpeed RootHub"}}) {
        ClickLabel(devices, FindPath(devices, path));
        EXPECT_EQ(std::vector<UINT>{ID_DEVICEPROPS_PNP}, properties.Take()) << path.back();
    }
    // The machine empties Device Properties and shows System Properties again.
    panes.Take();
    ClickLabel(devices, devices.GetRootItem());
    EXPECT_TRUE(properties.Take().empty());
    const std::vector<std::string> calls = panes.Take();
    EXPECT_TRUE(Has(calls, "DevicePropertiesClear"));
    EXPECT_TRUE(Has(calls, "SystemPropertiesUpdate"));
    EXPECT_EQ(0, List().GetItemCount()) << "the machine has no stack";

    // A stack fills the stack inspector with its device objects; the root empties it.
    ShowPage(CDeviceTreeTab::StacksTab);
    CTabTree& stacks = tab.GetStacksTab().GetTree();
    CDeviceStack* pStick = StackOf("stick");
    HTREEITEM hStick = pStick->m_htiSelf;
    ASSERT_NE(hStick, nullptr);
    ClickLabel(stacks, hStick);
    ASSERT_EQ(static_cast<int>(pStick->DeviceObjectsByPosition().size()), List().GetItemCount());
    EXPECT_EQ(List().GetStack(), pStick);
    ClickLabel(stacks, stacks.GetRootItem());
    EXPECT_EQ(0, List().GetItemCount());
    // A device object on the Drivers page shows its stack, its driver none.
    ShowPage(CDeviceTreeTab::DriversTab);
    CTabTree& drivers = tab.GetDriversTab().GetTree();
    CDeviceObject* pDevice = DeviceObjectOf("stick");
    ClickLabel(drivers, tab.GetDriversTab().FindDeviceNode(pDevice));
    EXPECT_EQ(List().GetStack(), pStick);
    ClickLabel(drivers, drivers.GetParentItem(tab.GetDriversTab().FindDeviceNode(pDevice)));
    EXPECT_EQ(0, List().GetItemCount());
}

// Each page's caret names the same thing after the redisplay: the text, and an item whose object is alive (the
// sanitizer sees any read of a freed one).
TEST_F(DeviceTreeTest, EachPagesSelectionOutlivesRedisplaysAndANewModel) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& devices = tab.GetDevicesTab().GetTree();
    CTabTree& stacks = tab.GetStacksTab().GetTree();
    CTabTree& drivers = tab.GetDriversTab().GetTree();
    ClickLabel(devices, FindPath(devices, {"USB 3.0 eXtensible", "SuperSpeed RootHub", "Port 1: USB 3.0 Hub",
                                           "Port 1: USB Mass Storage"}));
    ShowPage(CDeviceTreeTab::StacksTab);
    ClickLabel(stacks, StackOf("mouse")->m_htiSelf);
    ShowPage(CDeviceTreeTab::DriversTab);
    ClickLabel(drivers, tab.GetDriversTab().FindDeviceNode(DeviceObjectOf("stick")));
    auto carets = [&] {
        std::vector<std::string> texts;
        for (CTabTree* pTree : {&devices, &stacks, &drivers}) {
            HTREEITEM hCaret = pTree->GetSelectedItem();
            texts.push_back(hCaret != nullptr ? static_cast<LPCSTR>(pTree->GetItemText(hCaret)) : "(none)");
        }
        return texts;
    };
    const std::vector<std::string> before = carets();
    ASSERT_EQ("Port 1: USB Mass Storage Device", before[0]);

    struct Step {
        const char* name;
        std::function<void()> run;
    } steps[] = {
        {"redisplay",
         [&] {
             Doc()->SetDeviceTreeModified(TRUE);
             tab.RefreshTabViews(Doc(), TRUE);
         }},
        {"refresh with a new model", [&] { CPanePointers().DoRefresh(TRUE); }},
        {"the model rebuilt", [&] { Doc()->RefreshDevices(); }},
        {"clear monitored devices", [&] { Command(ID_USB_CLEARDEVICES); }},
        {"clear buffer", [&] { Command(ID_USB_CLEARCAPTURE); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        win32::PumpUiMessages();
        EXPECT_EQ(before, carets());
        EXPECT_EQ(tab.GetDriversTab().DeviceObjectOf(drivers.GetSelectedItem()), DeviceObjectOf("stick"));
        EXPECT_EQ(tab.GetStacksTab().StackOf(stacks.GetSelectedItem()), StackOf("mouse"));
        ExpectViewsFollowTheModel();
    }
}

// A model that goes while the trees show it empties them at once; the redisplay posted then shows the model
// that replaced it.
TEST_F(DeviceTreeTest, TheTreesAndTheListLetGoOfAModelBeforeItGoes) {
    CDeviceTreeTab& tab = StartWithTree();
    ClickLabel(tab.GetDevicesTab().GetTree(), Find(tab.GetDevicesTab().GetTree(), "Port 2: USB Mass"));
    ASSERT_GT(List().GetItemCount(), 0);
    CPanePointers().DeviceModelChanging(Doc());
    EXPECT_EQ(0u, tab.GetDevicesTab().GetTree().GetCount());
    EXPECT_EQ(0u, tab.GetStacksTab().GetTree().GetCount());
    EXPECT_EQ(0u, tab.GetDriversTab().GetTree().GetCount());
    EXPECT_EQ(0, List().GetItemCount());
    EXPECT_EQ(nullptr, tab.GetShownDocument());
    win32::PumpUiMessages();
    EXPECT_EQ(Doc(), tab.GetShownDocument());
    EXPECT_GT(tab.GetDevicesTab().GetTree().GetCount(), 30u);
    EXPECT_EQ("Port 2: USB Mass Storage Device",
              std::string(tab.GetDevicesTab().GetTree().GetItemText(tab.GetDevicesTab().GetCaretItem())));
    // Another document's change leaves the trees alone.
    CUSBLog other;
    CPanePointers().DeviceModelChanging(&other);
    EXPECT_EQ(Doc(), tab.GetShownDocument());
    EXPECT_GT(tab.GetDevicesTab().GetTree().GetCount(), 30u);
    win32::PumpUiMessages();
}

} // namespace
} // namespace mainwin_test

namespace mainwin_test {
namespace {

// A page that becomes the active tab shows its own caret's stack in the stack inspector, or none.
TEST_F(DeviceTreeTest, ChangingTabsShowsThePagesOwnSelection) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& devices = tab.GetDevicesTab().GetTree();
    ClickLabel(devices, FindPath(devices, {"Standard Enhanced", "RootHub", "Port 2: USB Mass Storage"}));
    ASSERT_EQ(StackOf("stick"), List().GetStack());
    ShowPage(CDeviceTreeTab::StacksTab);
    EXPECT_EQ(0, List().GetItemCount()) << "no caret on the Stacks page";
    ClickLabel(tab.GetStacksTab().GetTree(), StackOf("mouse")->m_htiSelf);
    EXPECT_EQ(StackOf("mouse"), List().GetStack());
    ShowPage(CDeviceTreeTab::DriversTab);
    EXPECT_EQ(0, List().GetItemCount());
    ShowPage(CDeviceTreeTab::DevicesTab);
    EXPECT_EQ(StackOf("stick"), List().GetStack());
    ShowPage(CDeviceTreeTab::StacksTab);
    EXPECT_EQ(StackOf("mouse"), List().GetStack());
    EXPECT_EQ(CDeviceTreeTab::StacksTab, tab.GetActiveTab());
}

} // namespace
} // namespace mainwin_test
