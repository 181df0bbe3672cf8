// The device tree's three pages on the default machine: what each shows (the Devices golden, the Stacks and
// Drivers pages against the capture driver's own node lists), the expand flags, the picture, and the tree
// without a document and after a refresh.
#include "tests/app/ui/DeviceTreeFixture.h"

#include <map>
#include <span>

#include "WinFileDialogControl.h"
#include "app/core/app/Resource.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/records/LogRecords.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "common/RecordTags.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/NodeLists.h"
#include "tests/support/Pictures.h"
#include "tests/support/RecordBuilder.h"

namespace mainwin_test {
namespace {

// The default machine on the Devices page: no item of its own for an external hub (its ports hang under the
// port that holds it), and only ports with a device's stack checkable.
const char kDevicesGolden[] = R"(User@TDL-WORKSTATION [0] 3
  Standard Enhanced PCI to USB Host Controller(HCD0) [1] 1
    RootHub [2] 1
      Port 1: Generic USB Hub [4] 1
        Port 1: USB Input Device [5] 1
        Port 2: USB Printing Support [5] 1
        Port 3: USB Composite Device [5] 1
        Port 4: No device connected  [3] 3
      Port 2: USB Mass Storage Device [5] 1
      Port 3: No device connected  [3] 3
      Port 4: No device connected  [3] 3
      Port 5: No device connected  [3] 3
      Port 6: No device connected  [3] 3
  Standard Universal PCI to USB Host Controller(HCD1) [1] 1
    RootHub [2] 1
      Port 1: USB Input Device [5] 1
      Port 2: No device connected  [3] 3
  Standard OpenHCD USB Host Controller(HCD2) [1] 1
    RootHub [2] 1
      Port 1: WinUSB Device [5] 1
      Port 2: No device connected  [3] 3
      Port 3: No device connected  [3] 3
  USB 3.0 eXtensible Host Controller(HCD3) [1] 1
    SuperSpeed RootHub [13] 1
      Port 1: USB 3.0 Hub [14] 1
        Port 1: USB Mass Storage Device [15] 1
        Port 2: No device connected  [3] 3
        Port 3: No device connected  [3] 3
        Port 4: No device connected  [3] 3
      Port 2: No device connected  [3] 3
      Port 3: No device connected  [3] 3
      Port 4: No device connected  [3] 3
)";

using tdl::test::NodeAt;
using tdl::test::NodeText;
using tdl::test::ReadNodeList;

// The check state the pages give a device object with these flags.
int StateOfFlags(ULONG flags) {
    if (!DevobjLoggable(flags) || (flags & DEVOBJ_REMOVED) != 0)
        return 3;
    return (flags & DEVOBJ_CAPTURE_OFF) != 0 ? 1 : 2;
}

TEST_F(DeviceTreeTest, DevicesPageShowsTheConnectionTree) {
    CDeviceTreeTab& tab = StartWithTree();
    EXPECT_EQ(kDevicesGolden, Dump(tab.GetDevicesTab().GetTree()));
    // The tabs, in order, each page a tree of its own id.
    COX3DTabViewContainer& tabs = tab.GetTabContainer();
    ASSERT_EQ(3, tabs.GetPageCount());
    const UINT ids[] = {IDC_DEVICES_TREE, IDC_STACKS_TREE, IDC_DRIVERS_TREE};
    const char* titles[] = {"Devices", "Stacks", "Drivers"};
    for (int i = 0; i < 3; ++i) {
        char title[32] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = title;
        item.cchTextMax = sizeof title;
        tabs.GetItem(i, &item);
        EXPECT_STREQ(titles[i], title);
        EXPECT_EQ(ids[i], static_cast<UINT>(tabs.GetPage(i)->GetDlgCtrlID()));
    }
    EXPECT_EQ(0, tabs.GetActivePageIndex());
}

TEST_F(DeviceTreeTest, StacksPageHoldsEveryPresentStackOfTheDriversListUnderItsParent) {
    CDeviceTreeTab& tab = StartWithTree();
    const CTabTree& tree = tab.GetStacksTab().GetTree();
    std::map<USHORT, HTREEITEM> items;
    for (HTREEITEM hItem = tree.GetRootItem(); hItem != nullptr; hItem = tree.GetNextItemInOrder(hItem)) {
        if (const CDeviceStack* pStack = tab.GetStacksTab().StackOf(hItem)) {
            EXPECT_EQ(items.count(pStack->StackID), 0u) << "one item per stack";
            items[pStack->StackID] = hItem;
        }
    }
    // A stack is checkable when it holds a device object the driver hooks for capture.
    std::map<USHORT, int> expectedState;
    const std::vector<BYTE> devices = ReadNodeList(IOCTL_TINDALOFT_DRVOBJ_NODES);
    NodeListReader deviceReader(devices);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    while (deviceReader.Next(kind, entry)) {
        if (kind != NODE_KIND_DEVICE)
            continue;
        const auto node = NodeAt<DEVICE_NODE>(entry);
        const int state = StateOfFlags(node.StatusFlags);
        int& stackState = expectedState.try_emplace(node.StackID, 3).first->second;
        if (state != 3)
            stackState = stackState == 3 ? state : std::min(stackState, state);
    }

    const std::vector<BYTE> stacks = ReadNodeList(IOCTL_TINDALOFT_DEVSTK_NODES);
    NodeListReader reader(stacks);
    size_t present = 0;
    while (reader.Next(kind, entry)) {
        if (kind != NODE_KIND_DEVSTK)
            continue;
        const auto node = NodeAt<DEVSTK_NODE>(entry);
        SCOPED_TRACE("StackID " + std::to_string(node.StackID));
        if (node.Removed != 0) {
            EXPECT_EQ(items.count(node.StackID), 0u);
            continue;
        }
        ++present;
        ASSERT_EQ(items.count(node.StackID), 1u);
        const HTREEITEM hItem = items[node.StackID];
        const HTREEITEM hParent = tree.GetParentItem(hItem);
        EXPECT_EQ(node.ParentStackID != 0 ? items[node.ParentStackID] : tree.GetRootItem(), hParent);
        const std::string description = NodeText(node.DeviceDescription, sizeof node.DeviceDescription);
        const std::string text = static_cast<LPCSTR>(tree.GetItemText(hItem));
        if (!description.empty())
            EXPECT_EQ(description, text);
        else
            EXPECT_FALSE(text.empty()) << "a stack without a description is named otherwise";
        EXPECT_EQ(DT_STACK_NODE, Image(tree, hItem));
        EXPECT_EQ(expectedState.count(node.StackID) ? expectedState[node.StackID] : 3, State(tree, hItem));
    }
    EXPECT_GT(present, 20u);
    EXPECT_EQ(present, items.size());
    EXPECT_EQ(present + 1, tree.GetCount());
    EXPECT_EQ(3, State(tree, tree.GetRootItem())) << "the machine has no check box";
}

TEST_F(DeviceTreeTest, DriversPageListsTheDriversListInItsOrder) {
    CDeviceTreeTab& tab = StartWithTree();
    std::string expected = std::string(static_cast<LPCSTR>(Doc()->GetConnectionTree().get().m_LabelText)) + " [0] 3\n";
    const std::vector<BYTE> list = ReadNodeList(IOCTL_TINDALOFT_DRVOBJ_NODES);
    NodeListReader reader(list);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    CString line;
    while (reader.Next(kind, entry)) {
        if (kind == NODE_KIND_DRIVER) {
            const auto node = NodeAt<DRIVER_NODE>(entry);
            const bool unloaded = (node.DriverFlags & DRIVER_NODE_UNLOADED) != 0;
            line.Format("  %s (0x%I64x) [%d] %d\n", NodeText(node.DriverName, sizeof node.DriverName).c_str(),
                        node.DriverObject, unloaded ? 10 : 6, unloaded ? 3 : 1);
        } else if (kind == NODE_KIND_DEVICE) {
            const auto node = NodeAt<DEVICE_NODE>(entry);
            std::string name = NodeText(node.DeviceName, sizeof node.DeviceName);
            line.Format("    %s (0x%I64x) [%d] %d\n", name.empty() ? "noname" : name.c_str(), node.DeviceObject,
                        (node.StatusFlags & DEVOBJ_REMOVED) != 0 ? 9 : 7, StateOfFlags(node.StatusFlags));
        } else {
            continue;
        }
        expected += static_cast<LPCSTR>(line);
    }
    EXPECT_EQ(expected, Dump(tab.GetDriversTab().GetTree()));
}

// A stack that arrival processing placed (flag 2) is expanded and scrolled into view at the next redisplay,
// once: its flag then reads 1.
TEST_F(DeviceTreeTest, AStackPlacedByAnArrivalIsExpandedAndScrolledIntoViewOnce) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& tree = tab.GetDevicesTab().GetTree();
    CUSBLog* pDoc = Doc();
    CDeviceStack* pRootHub = pDoc->GetStackTree()->FindStackByName("{36FC9E60-C465-11CF-8056-444553540000}\\0007");
    CDeviceStack* pHub = pDoc->GetStackTree()->FindStackByName("{36FC9E60-C465-11CF-8056-444553540000}\\0011");
    ASSERT_NE(pRootHub, nullptr);
    ASSERT_NE(pHub, nullptr);
    // The root hub collapsed, the SuperSpeed hub below it just placed, and a tree a few rows high.
    pDoc->SetDeviceFlag(pRootHub->StackID, 0);
    pDoc->SetDeviceFlag(pHub->StackID, 2);
    CRect window;
    tree.GetWindowRect(&window);
    tree.SetWindowPos(nullptr, 0, 0, window.Width(), 5 * tree.GetItemHeight(), SWP_NOMOVE | SWP_NOZORDER);
    pDoc->SetDeviceTreeModified(TRUE);
    tab.RefreshTabViews(pDoc, TRUE);

    const HTREEITEM hItem = Find(tree, "Port 1: USB 3.0 Hub");
    ASSERT_NE(hItem, nullptr);
    EXPECT_NE(tree.GetItemState(hItem, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);
    CRect shown;
    EXPECT_TRUE(tree.GetItemRect(hItem, &shown, FALSE));
    CRect client;
    tree.GetClientRect(&client);
    EXPECT_TRUE(shown.top >= client.top && shown.bottom <= client.bottom)
        << "scrolled into view " << shown.top << " " << shown.bottom << " " << client.bottom << " first "
        << static_cast<LPCSTR>(tree.GetItemText(tree.GetFirstVisibleItem()));
    EXPECT_EQ(1, pDoc->GetDeviceFlag(pHub->StackID));
    EXPECT_NE(tree.GetFirstVisibleItem(), tree.GetRootItem()) << "the tree had to scroll";

    // The next redisplay leaves the view where the user puts it.
    tree.SelectSetFirstVisible(tree.GetRootItem());
    pDoc->SetDeviceTreeModified(TRUE);
    tab.RefreshTabViews(pDoc, TRUE);
    EXPECT_EQ(tree.GetFirstVisibleItem(), tree.GetRootItem());

    // A user's collapse or expand is kept for the stack.
    const HTREEITEM hAgain = Find(tree, "Port 1: USB 3.0 Hub");
    ClickLabel(tree, hAgain);
    ASSERT_EQ(hAgain, tree.GetSelectedItem());
    ASSERT_EQ(tree.m_hWnd, ::GetFocus());
    win32::PressKey(tree.m_hWnd, VK_LEFT);
    win32::PumpUiMessages();
    EXPECT_EQ(0u, tree.GetItemState(hAgain, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(0, pDoc->GetDeviceFlag(pHub->StackID));
    win32::PressKey(tree.m_hWnd, VK_RIGHT);
    win32::PumpUiMessages();
    EXPECT_EQ(1, pDoc->GetDeviceFlag(pHub->StackID));
}

TEST_F(DeviceTreeTest, PanePictureShowsTheTabsImagesAndChecks) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& tree = tab.GetDevicesTab().GetTree();
    const HTREEITEM hStick = Find(tree, "Port 2: USB Mass Storage");
    const HTREEITEM hMouse = FindPath(tree, {"Standard Universal", "RootHub", "Port 1: USB Input Device"});
    ASSERT_NE(hStick, nullptr);
    ClickCheck(tree, hStick);
    ASSERT_EQ(2, State(tree, hStick));

    tdl::test::Picture picture(Frame()->m_hWnd, "device_tree.png");
    ASSERT_TRUE(picture.IsValid());
    // Rectangles in the frame's client area.
    auto inFrame = [&](const CWnd& wnd, CRect rect) {
        wnd.ClientToScreen(&rect);
        Frame()->ScreenToClient(&rect);
        return rect;
    };
    auto stateBox = [&](HTREEITEM hItem) {
        CRect label;
        tree.GetItemRect(hItem, &label, TRUE);
        return inFrame(tree, CRect(label.left - 16 - 13, label.top, label.left - 16, label.bottom));
    };
    const auto dark = [](COLORREF clr) { return tdl::test::IsDark(clr); };
    EXPECT_GT(picture.Count(stateBox(hStick), dark), 8) << "the tick";
    EXPECT_EQ(picture.Count(stateBox(hMouse), dark), 0) << "an empty box";
    // Each tab shows its image (the tab's left part, 16 pixels wide after the padding) before its caption.
    COX3DTabViewContainer& tabs = tab.GetTabContainer();
    for (int i = 0; i < 3; ++i) {
        CRect item;
        tabs.GetItemRect(i, &item);
        const CRect rect = inFrame(tabs, item);
        const COLORREF face = picture.Client(rect.left + 3, rect.top + 3);
        const CRect image(rect.left + 6, rect.top, rect.left + 22, rect.bottom);
        const CRect caption(rect.left + 25, rect.top, rect.right, rect.bottom);
        EXPECT_GT(picture.Count(image, [&](COLORREF clr) { return clr != face; }), 30) << "image " << i;
        EXPECT_GT(picture.Count(caption, dark), 10) << "caption " << i;
    }
}

TEST_F(DeviceTreeTest, WithoutADocumentTheTreesAndTheListAreEmpty) {
    CDeviceTreeTab& tab = StartWithTree();
    ClickLabel(tab.GetDevicesTab().GetTree(), Find(tab.GetDevicesTab().GetTree(), "Port 2: USB Mass"));
    ASSERT_GT(List().GetItemCount(), 0);
    Command(ID_FILE_CLOSE);
    win32::PumpUiMessages();
    EXPECT_EQ(Doc(), nullptr);
    EXPECT_EQ(0u, tab.GetDevicesTab().GetTree().GetCount());
    EXPECT_EQ(0u, tab.GetStacksTab().GetTree().GetCount());
    EXPECT_EQ(0u, tab.GetDriversTab().GetTree().GetCount());
    EXPECT_EQ(0, List().GetItemCount());
    EXPECT_FALSE(CPanePointers().AnyDevicesChecked());
}

// The refresh asks the driver to walk its stacks again only when no record could lose its sequence.
TEST_F(DeviceTreeTest, RefreshWithRebuildRefreshesTheDriversStacksOnlyBeforeAnyRecord) {
    CDeviceTreeTab& tab = StartWithTree();
    auto refreshes = [&] {
        apptest::TraceCapture trace;
        tab.DoRefresh(TRUE);
        size_t n = 0;
        for (const std::string& text : trace.Texts())
            n += text == "IOCTL_TINDALOFT_DEVSTK_REFRESH" ? 1 : 0;
        return n;
    };
    EXPECT_EQ(1u, refreshes());
    EXPECT_EQ(kDevicesGolden, Dump(tab.GetDevicesTab().GetTree())) << "the rebuilt model shown";

    Command(ID_USB_STARTEVENTCAPTURE);
    ASSERT_TRUE(Doc()->IsLogging());
    EXPECT_EQ(0u, refreshes()) << "while capturing";
    Command(ID_USB_STOPEVENTCAPTURE);
    win32::PumpUiMessages();
    ASSERT_FALSE(Doc()->IsLogging());
    // A record in the store, as a read puts it there.
    std::vector<uint8_t> block;
    tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(1).Build());
    LogRecords::CLogRecords* pRecords = Doc()->GetLogRecords();
    BYTE* pWrite = nullptr;
    DWORD dwLeft = 0;
    ASSERT_TRUE(pRecords->GetWriteSpace(pWrite, dwLeft));
    std::memcpy(pWrite, block.data(), block.size());
    pRecords->AdvanceWrite(static_cast<DWORD>(block.size()));
    BOOL bTriggered = FALSE;
    Doc()->ProcessCaptureFragment(pWrite, static_cast<DWORD>(block.size()), bTriggered);
    ASSERT_GT(pRecords->GetCount(), 0);
    EXPECT_EQ(0u, refreshes()) << "with a record";
    Command(ID_USB_CLEARCAPTURE);
    EXPECT_EQ(0, Doc()->GetLogRecords()->GetCount());
    EXPECT_EQ(1u, refreshes()) << "the buffer empty again";
}

} // namespace
} // namespace mainwin_test

namespace mainwin_test {
namespace {

// The device reports and the export commands ask the pane holder, which answers from the Devices page.
TEST_F(DeviceTreeTest, ThePaneHolderWalksTheCheckedDevicesOfTheDevicesPage) {
    CDeviceTreeTab& tab = StartWithTree();
    CTabTree& devices = tab.GetDevicesTab().GetTree();
    CPanePointers::TreePosition position = nullptr;
    int nImage = -1;
    CObject* pDevice = nullptr;
    EXPECT_FALSE(CPanePointers().AnyDevicesChecked());
    EXPECT_FALSE(CPanePointers().GetNextCheckedDevice(position, nImage, pDevice));
    EXPECT_EQ(&devices, CPanePointers().GetDeviceTreeActivePage());

    const HTREEITEM hMouse = FindPath(devices, {"Standard Universal", "RootHub", "Port 1: USB Input Device"});
    const HTREEITEM hStick = FindPath(devices, {"Standard Enhanced", "RootHub", "Port 2: USB Mass Storage"});
    ClickCheck(devices, hMouse);
    ClickCheck(devices, hStick);
    EXPECT_TRUE(CPanePointers().AnyDevicesChecked());
    std::vector<std::pair<int, CObject*>> walked;
    for (position = nullptr; CPanePointers().GetNextCheckedDevice(position, nImage, pDevice);)
        walked.emplace_back(nImage, pDevice);
    const auto objectOf = [&](HTREEITEM hItem) {
        return CDevicesTab::NodeOf(devices.GetItemData(hItem))->get().m_pElemObject;
    };
    // In display order, each with its type and its port.
    EXPECT_EQ(
        (std::vector<std::pair<int, CObject*>>{{DT_GENERIC_USB, objectOf(hStick)}, {DT_GENERIC_USB, objectOf(hMouse)}}),
        walked);
    ShowPage(CDeviceTreeTab::DriversTab);
    EXPECT_EQ(&tab.GetDriversTab().GetTree(), CPanePointers().GetDeviceTreeActivePage());
}

} // namespace
} // namespace mainwin_test

namespace mainwin_test {
namespace {

// The tree goes back to the live capture when a saved log it showed closes, although the live capture's model
// did not change meanwhile.
TEST_F(DeviceTreeTest, ClosingAShownLogShowsTheDocumentThatStays) {
    CDeviceTreeTab& tab = StartWithTree();
    CUSBLog* pLive = Doc();
    ASSERT_EQ(pLive, tab.GetShownDocument());
    const std::string path = ::testing::TempDir() + "device-tree.tdloft";
    win32::QueueFileDialogChoice(path);
    Command(ID_FILE_SAVE_AS);
    win32::PumpUiMessages();
    apptest::AppStarter::TakeBoxes();
    auto* pSaved = dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(path.c_str()));
    ASSERT_NE(pSaved, nullptr);
    win32::PumpUiMessages();
    ASSERT_EQ(pSaved, Doc());
    // As the saved log's view does when it is activated.
    CPanePointers().RefreshDeviceTreeTabViews(pSaved, FALSE);
    EXPECT_EQ(pSaved, tab.GetShownDocument());
    EXPECT_EQ(kDevicesGolden, Dump(tab.GetDevicesTab().GetTree())) << "the file's model, the same machine";

    Command(ID_FILE_CLOSE);
    win32::PumpUiMessages();
    EXPECT_EQ(pLive, Doc());
    EXPECT_EQ(pLive, tab.GetShownDocument());
    EXPECT_EQ(kDevicesGolden, Dump(tab.GetDevicesTab().GetTree()));
}

} // namespace
} // namespace mainwin_test
