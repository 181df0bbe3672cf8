// The main window on the default machine with a live capture open and its device tree and stack inspector
// shown: what the device tree's and the stack inspector's tests drive, and how they read the trees and the
// list as a user sees them.
#pragma once

#include "tests/app/ui/MainWindowFixture.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/panes/DevTreeBar.h"
#include "app/ui/panes/SpecialGridList.h"
#include "app/ui/panes/StackInspectorBar.h"

namespace mainwin_test {

class DeviceTreeTest : public MainWindowTest {
public:
    // The program started with a live capture, its posted redisplays done.
    CDeviceTreeTab& StartWithTree() {
        Start();
        win32::PumpUiMessages();
        EXPECT_NE(Frame()->GetDeviceTreeTab(), nullptr);
        return *Frame()->GetDeviceTreeTab();
    }
    CDeviceTreeTab& Tab() { return *Frame()->GetDeviceTreeTab(); }
    CSpecialGridList& List() { return *Frame()->GetStackInspectorList(); }
    CUSBLog* Doc() { return Frame()->GetActiveLogDocument(); }

    // One line per item in display order: two blanks per level, the text, the image and the state image.
    static std::string Dump(const CTreeCtrl& tree, HTREEITEM hFrom = nullptr);
    static std::vector<std::string> Lines(const CTreeCtrl& tree);
    // The first item, in display order, whose text starts with `prefix`; null when none does.
    static HTREEITEM Find(const CTreeCtrl& tree, const std::string& prefix);
    // The item down a path of text prefixes from the root item's children; null when a step is missing.
    static HTREEITEM FindPath(const CTreeCtrl& tree, const std::vector<std::string>& path);
    static int Image(const CTreeCtrl& tree, HTREEITEM hItem);
    static int State(const CTreeCtrl& tree, HTREEITEM hItem);
    static int Depth(const CTreeCtrl& tree, HTREEITEM hItem);

    // The user's mouse on an item of the active page: its check box, its label.
    static void ClickCheck(CTreeCtrl& tree, HTREEITEM hItem);
    static void ClickLabel(CTreeCtrl& tree, HTREEITEM hItem);
    // Shows the page of the tab as a click on its tab does.
    void ShowPage(int nTab);

    // The model object of a device of the machine: its physical device object's, and that object's stack.
    CDeviceObject* DeviceObjectOf(std::string_view deviceName);
    CDeviceStack* StackOf(std::string_view deviceName);
    // The device objects the document has selected for capture.
    std::set<const CDeviceObject*> CheckedObjects();
    // Every item of the three trees and every row of the list shows its object's check state.
    void ExpectViewsFollowTheModel();

    // The stack list's rows: name, address, driver and state image.
    struct Row {
        std::string name, address, driver;
        int state = 0;
    };
    std::vector<Row> Rows();
    // The user's mouse on a row's check box.
    void ClickRowCheck(int nRow);
};

} // namespace mainwin_test
