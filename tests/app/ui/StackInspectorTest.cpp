// The stack inspector: the list of one stack's device objects with their capture check boxes, the stack-list
// messages it answers, its clicks, its menu, its columns and its picture; and the device tree's menu.
#include "tests/app/ui/DeviceTreeFixture.h"

#include "app/core/app/Resource.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/TempObject.h"
#include "app/ui/panes/StackListMessages.h"
#include "tests/support/Pictures.h"

namespace mainwin_test {
namespace {

class StackInspectorTest : public DeviceTreeTest {
protected:
    // The rows a stack gives: its device objects bottom up, each with its name, address, driver and state.
    static std::vector<std::string> ExpectedRows(const CDeviceStack& stack) {
        std::vector<std::string> rows;
        for (const auto& [position, pDevice] : stack.DeviceObjectsByPosition()) {
            CString row;
            row.Format("%s|%I64x|%s|%u", pDevice->_DeviceName.IsEmpty() ? "noname" : pDevice->_DeviceName.GetString(),
                       pDevice->_NtDeviceObject,
                       pDevice->_Driver != nullptr ? pDevice->_Driver->m_DriverName.GetString() : "---",
                       pDevice->IsSelectable() ? pDevice->m_nStateImage : 3u);
            rows.emplace_back(row);
        }
        return rows;
    }
    std::vector<std::string> ShownRows() {
        std::vector<std::string> rows;
        for (const Row& row : Rows())
            rows.push_back(row.name + "|" + row.address + "|" + row.driver + "|" + std::to_string(row.state));
        return rows;
    }
    void Send(UINT nMessage, const CDeviceStack* pStack) {
        SendStackListMessage(nMessage, reinterpret_cast<LPARAM>(pStack));
    }
};

TEST_F(StackInspectorTest, TheFourMessages) {
    StartWithTree();
    CDeviceStack* pStick = StackOf("stick");
    CDeviceStack* pMouse = StackOf("mouse");
    ASSERT_EQ(0, List().GetItemCount()) << "empty until the first populate";
    Send(WM_POPULATE_STACKLIST, pStick);
    const std::vector<std::string> rows = ExpectedRows(*pStick);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(rows, ShownRows());
    EXPECT_EQ("1", rows[0].substr(rows[0].size() - 1)) << "the physical device object, capturable";
    EXPECT_EQ("3", rows[1].substr(rows[1].size() - 1)) << "a function driver that is not hooked";

    Send(WM_POPULATE_STACKLIST, nullptr);
    EXPECT_EQ(rows, ShownRows()) << "no stack: unchanged";

    // Check-all for another stack leaves the rows alone; for this stack, or any (0), it checks the capturable
    // rows and their objects, and the rest keep their state.
    Send(WM_CHECKALL_STACKLIST, pMouse);
    EXPECT_EQ(rows, ShownRows());
    Send(WM_CHECKALL_STACKLIST, pStick);
    EXPECT_EQ(2, Rows()[0].state);
    EXPECT_EQ(3, Rows()[1].state);
    EXPECT_EQ(ExpectedRows(*pStick), ShownRows());
    EXPECT_EQ(CHECKSTATE_CHECKED, pStick->GetCheckState());
    ExpectViewsFollowTheModel();
    Send(WM_UNCHECKALL_STACKLIST, pMouse);
    EXPECT_EQ(2, Rows()[0].state);
    Send(WM_UNCHECKALL_STACKLIST, nullptr);
    EXPECT_EQ(rows, ShownRows());
    EXPECT_EQ(CHECKSTATE_UNCHECKED, pStick->GetCheckState());
    ExpectViewsFollowTheModel();

    Send(WM_CLEAR_STACKLIST, nullptr);
    EXPECT_EQ(0, List().GetItemCount());
    EXPECT_EQ(nullptr, List().GetStack());
}

TEST_F(StackInspectorTest, AnUncheckableRowIgnoresClicksACapturableOneAlternates) {
    StartWithTree();
    CDeviceStack* pStick = StackOf("stick");
    Send(WM_POPULATE_STACKLIST, pStick);
    ClickRowCheck(1);
    EXPECT_EQ(3, Rows()[1].state);
    for (int expected : {2, 1, 2}) {
        ClickRowCheck(0);
        EXPECT_EQ(expected, Rows()[0].state);
        EXPECT_EQ(static_cast<UINT>(expected), DeviceObjectOf("stick")->m_nStateImage);
        ExpectViewsFollowTheModel();
    }
    // Space turns the focused row over as well.
    List().SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    win32::PressKey(List().m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    EXPECT_EQ(1, Rows()[0].state);
    ExpectViewsFollowTheModel();
}

TEST_F(StackInspectorTest, ItsMenuCommandsGoToTheMainWindow) {
    StartWithTree();
    Send(WM_POPULATE_STACKLIST, StackOf("stick"));
    CRect row;
    List().GetItemRect(0, &row, LVIR_BOUNDS);
    // The keyboard's menu (at -1, -1) shows nothing.
    List().SetFocus();
    win32::ContextMenuKey(List().m_hWnd);
    win32::PumpUiMessages();
    EXPECT_TRUE(win32::ModalRequests().empty());

    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, ID_VIEW_STACKINSPECTOR);
    win32::Click(List().m_hWnd, row.CenterPoint(), win32::MouseButton::Right);
    win32::PumpUiMessages();
    const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("Clear monitored devices|Hide Device Tree|Hide Stack Inspector|Help on Stack Inspector|-|Cancel",
              requests[0].text);
    EXPECT_EQ(Frame()->m_hWnd, requests[0].owner);
    EXPECT_FALSE(Frame()->IsPaneVisible(ID_VIEW_STACKINSPECTOR)) << "the main window hid the pane";
    win32::ClearModalRequests();
}

TEST_F(StackInspectorTest, TheDeviceTreesMenuNamesTheActivePagesHelp) {
    CDeviceTreeTab& tab = StartWithTree();
    struct Case {
        int nTab;
        const char* help;
    } cases[] = {{CDeviceTreeTab::DevicesTab, "Help on Devices"},
                 {CDeviceTreeTab::StacksTab, "Help on Stacks"},
                 {CDeviceTreeTab::DriversTab, "Help on Drivers"}};
    for (const Case& c : cases) {
        ShowPage(c.nTab);
        CTabTree& tree = static_cast<CTabTree&>(*tab.GetTabContainer().GetPage(c.nTab));
        CRect label;
        tree.GetItemRect(tree.GetRootItem(), &label, TRUE);
        win32::QueueModalAnswer(win32::ModalKind::PopupMenu, IDCANCEL);
        win32::Click(tree.m_hWnd, label.CenterPoint(), win32::MouseButton::Right);
        win32::PumpUiMessages();
        const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(std::string("Refresh|Clear monitored devices|Hide Device Tree|Hide Stack Inspector|") + c.help +
                      "|-|Cancel",
                  requests[0].text);
        win32::ClearModalRequests();
    }
    // Not for the keyboard's menu, nor on the tab strip.
    win32::ContextMenuKey(tab.GetDevicesTab().GetTree().m_hWnd);
    CRect strip;
    tab.GetTabContainer().GetItemRect(0, &strip);
    win32::Click(tab.GetTabContainer().m_hWnd, strip.CenterPoint(), win32::MouseButton::Right);
    win32::PumpUiMessages();
    EXPECT_TRUE(win32::ModalRequests().empty());
    // A command picked goes to the main window.
    ShowPage(CDeviceTreeTab::DevicesTab);
    CTabTree& devices = tab.GetDevicesTab().GetTree();
    CRect label;
    devices.GetItemRect(devices.GetRootItem(), &label, TRUE);
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, ID_VIEW_DEVICETREE);
    win32::Click(devices.m_hWnd, label.CenterPoint(), win32::MouseButton::Right);
    win32::PumpUiMessages();
    EXPECT_FALSE(Frame()->IsPaneVisible(ID_VIEW_DEVICETREE));
    win32::ClearModalRequests();
}

TEST_F(StackInspectorTest, ResizingSpreadsTheWidthOverTheColumns) {
    StartWithTree();
    CStackInspectorBar& bar = *Frame()->GetStackInspectorBar();
    for (int width : {300, 451, 200}) {
        bar.SetWindowPos(nullptr, 0, 0, width, 150, SWP_NOMOVE | SWP_NOZORDER);
        CRect client;
        List().GetClientRect(&client);
        int total = 0;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(client.Width() / 3, List().GetColumnWidth(c), 2) << width;
            total += List().GetColumnWidth(c);
        }
        EXPECT_EQ(client.Width(), total) << width;
    }
}

TEST_F(StackInspectorTest, PictureShowsTheColumnsAndTheCheckBoxes) {
    StartWithTree();
    Send(WM_POPULATE_STACKLIST, StackOf("stick"));
    Send(WM_CHECKALL_STACKLIST, nullptr);
    tdl::test::Picture picture(Frame()->m_hWnd, "stack_inspector.png");
    ASSERT_TRUE(picture.IsValid());
    auto inFrame = [&](CWnd& wnd, CRect rect) {
        wnd.ClientToScreen(&rect);
        Frame()->ScreenToClient(&rect);
        return rect;
    };
    const auto dark = [](COLORREF clr) { return tdl::test::IsDark(clr); };
    CHeaderCtrl* pHeader = List().GetHeaderCtrl();
    for (int c = 0; c < 3; ++c) {
        CRect item;
        pHeader->GetItemRect(c, &item);
        EXPECT_GT(picture.Count(inFrame(*pHeader, item), dark), 20) << "column " << c << "'s heading";
    }
    // The check boxes lie left of the rows' texts: a tick in the checked one, none in the uncheckable one.
    CRect first, second;
    List().GetItemRect(0, &first, LVIR_BOUNDS);
    List().GetItemRect(1, &second, LVIR_BOUNDS);
    const CRect box0 = inFrame(List(), CRect(first.left, first.top, first.left + 16, first.bottom));
    const CRect box1 = inFrame(List(), CRect(second.left, second.top, second.left + 16, second.bottom));
    EXPECT_GT(picture.Count(box0, dark), 6);
    EXPECT_EQ(picture.Count(box1, dark), 0);
}

} // namespace
} // namespace mainwin_test
