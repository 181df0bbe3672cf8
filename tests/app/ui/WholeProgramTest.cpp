// The whole program on the default simulated machine with the capture driver, driven as a user drives it
// (clicks, keys, menus, the toolbar, answers to its dialogs) and read back as a user sees it: its start (the
// device trees against the driver's lists, the machine's facts) and a layout kept through a restart, a capture
// with the trees locked, the LED blinking and rows arriving, each kind of record decoded with its bytes
// exported, a stop trigger, Find over the URB functions, a saved capture opened again read-only, the device
// reports, a device plugged in during a capture, and a capture from the next boot with an update offered. Each
// test saves the main window's picture.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/AppOnMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "GkDockingPane.h"
#include "GkPropertyGrid.h"
#include "GkStatusBar.h"
#include "GkStatusBarPane.h"
#include "WinHttpControl.h"
#include "WinModulesControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/update/UpdateServer.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/find/FindDialog.h"
#include "app/ui/find/FindOptionsIds.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/frame/StatusLEDPane.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "app/ui/panes/SpecialGridList.h"
#include "app/ui/panes/SystemPropertiesWnd.h"
#include "app/widgets/OXOptionTreeCtrl.h"
#include "common/ControlCodes.h"
#include "common/FilterBlock.h"
#include "common/NodeEntries.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ListDelivery.h"
#include "tests/support/ListRows.h"
#include "tests/support/NodeLists.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/ScreenReads.h"
#include "usb.h"

namespace {

namespace fs = std::filesystem;
using tdl::session::WorkloadPlan;

ULONG64 AddressOf(const void* p) {
    return static_cast<ULONG64>(reinterpret_cast<uintptr_t>(p));
}

class WholeProgramTest : public tdl::test::AppOnMachineTest {
protected:
    // Files of 4096 bytes copied to the stick, each in one transfer.
    static sim::WorkloadOptions Files(uint64_t count) {
        sim::WorkloadOptions options;
        options.count = count;
        options.fileBytes = options.transferBytes = 4096;
        return options;
    }
    // The program started with a live capture (in background logging when asked), the mouse and the stick
    // checked for capture.
    void StartWithMouseAndStick(bool background = false) {
        ASSERT_NE(Start(false), nullptr);
        TakeStartBoxes();
        App().m_Settings.BackgroundLogging = background;
        Command(ID_FILE_NEW);
        ASSERT_NE(Live(), nullptr);
        for (const char* name : {"mouse", "stick"})
            ASSERT_TRUE(CheckDevice(name)) << name;
    }
    // Both, and the capture started from the toolbar.
    void StartCapturingMouseAndStick() {
        StartWithMouseAndStick();
        if (!HasFatalFailure())
            StartFromToolbar();
    }
    // Both captured while the workloads play, the capture stopped from the menu bar.
    void CaptureWhilePlaying(const std::vector<WorkloadPlan>& plans) {
        StartCapturingMouseAndStick();
        if (HasFatalFailure())
            return;
        Play(plans);
        StopFromMenu();
    }
    // The capture started from the toolbar and stopped from the menu bar.
    void StartFromToolbar() {
        ASSERT_TRUE(ClickToolbar(ID_USB_STARTEVENTCAPTURE));
        ASSERT_TRUE(Live()->IsLogging());
    }
    void StopFromMenu() {
        ASSERT_TRUE(ChooseMenu({"&Capture", "Sto&p\tCtrl+T"}));
        ASSERT_FALSE(Live()->IsLogging());
    }
    // The device objects of the machine's device that the document may capture.
    std::set<ULONG64> LoggableObjects(const char* deviceName) {
        std::set<ULONG64> objects;
        const CAttachedDevices* pDevices = Live()->GetAttachedDevices();
        for (INT_PTR i = 0; i < pDevices->GetCount(); ++i) {
            const CDeviceObject* pDevice = pDevices->GetAt(i);
            if (pDevice->_DevStack == nullptr || !pDevice->IsSelectable())
                continue;
            for (const auto& [position, pMember] : pDevice->_DevStack->DeviceObjectsByPosition())
                if (pMember->_NtDeviceObject == AddressOf(Pdo(deviceName)))
                    objects.insert(pDevice->_NtDeviceObject);
        }
        return objects;
    }
    // Every selectable device object of the live capture's model.
    std::set<ULONG64> SelectableObjects() {
        std::set<ULONG64> objects;
        const CAttachedDevices* pDevices = Live()->GetAttachedDevices();
        for (INT_PTR i = 0; i < pDevices->GetCount(); ++i)
            if (pDevices->GetAt(i)->IsSelectable())
                objects.insert(pDevices->GetAt(i)->_NtDeviceObject);
        return objects;
    }
    // Whether Log Details shows the category (its line in the grid's view).
    bool ShowsCategory(const std::string& category) {
        const std::string view = tdl::test::GridView(Frame()->GetLogDetailsPane()->GetGrid());
        return view.find("[-] " + category + "\n") != std::string::npos;
    }
    // The selectable objects of the live capture's model checked for capture.
    std::set<ULONG64> CheckedObjects() {
        std::set<ULONG64> objects;
        const CAttachedDevices* pDevices = Live()->GetAttachedDevices();
        for (INT_PTR i = 0; i < pDevices->GetCount(); ++i)
            if (pDevices->GetAt(i)->IsSelectable() && pDevices->GetAt(i)->m_nStateImage == CHECKSTATE_CHECKED)
                objects.insert(pDevices->GetAt(i)->_NtDeviceObject);
        return objects;
    }
    CDeviceTreeTab& DeviceTree() { return *Frame()->GetDeviceTreeTab(); }
    CTabTree& DevicesTree() { return DeviceTree().GetDevicesTab().GetTree(); }
    // The device's item on the Devices tab, the tab shown.
    HTREEITEM DevicesItem(const char* deviceName) {
        CTabTree* pTree = nullptr;
        return tdl::session::ShowOnDevicesTab(Pdo(deviceName), pTree);
    }
    // A click on a tree item's check box, or where it would be.
    static void ClickBox(CTreeCtrl& tree, HTREEITEM hItem) {
        POINT box = tdl::session::CheckBoxPoint(tree, hItem);
        if (box.x < 0) { // no box shown: the place where it would be, left of the item's image
            CRect label;
            tree.GetItemRect(hItem, &label, TRUE);
            box = POINT{label.left - 24, label.CenterPoint().y};
        }
        win32::Click(tree.m_hWnd, box);
        win32::PumpUiMessages();
    }
    // A click on an item's label, which selects it (and shows its stack in the stack inspector).
    static void ClickLabel(CTreeCtrl& tree, HTREEITEM hItem) {
        tree.EnsureVisible(hItem);
        CRect label;
        tree.GetItemRect(hItem, &label, TRUE);
        ClickIn(tree.GetSafeHwnd(), label);
    }
    // The Stacks tab holds one item per present stack of the driver's list of stacks; the Drivers tab lists the
    // drivers of the driver's list in its order, each with as many device objects as the list gives it.
    void ExpectStacksAndDriversAsTheDriverListsThem() {
        USHORT kind = 0;
        std::span<const uint8_t> entry;
        std::set<USHORT> listedStacks;
        const std::vector<BYTE> stacks = tdl::test::ReadNodeList(IOCTL_TINDALOFT_DEVSTK_NODES);
        for (NodeListReader reader(stacks); reader.Next(kind, entry);) {
            if (kind != NODE_KIND_DEVSTK)
                continue;
            const auto node = tdl::test::NodeAt<DEVSTK_NODE>(entry);
            if (node.Removed == 0)
                listedStacks.insert(node.StackID);
        }
        std::set<USHORT> shownStacks;
        const CTabTree& stackTree = DeviceTree().GetStacksTab().GetTree();
        for (HTREEITEM hItem = stackTree.GetRootItem(); hItem != nullptr; hItem = stackTree.GetNextItemInOrder(hItem))
            if (const CDeviceStack* pStack = DeviceTree().GetStacksTab().StackOf(hItem))
                shownStacks.insert(pStack->StackID);
        EXPECT_GT(listedStacks.size(), 20u);
        EXPECT_EQ(shownStacks, listedStacks);

        std::vector<std::pair<std::string, size_t>> listedDrivers;
        const std::vector<BYTE> drivers = tdl::test::ReadNodeList(IOCTL_TINDALOFT_DRVOBJ_NODES);
        for (NodeListReader reader(drivers); reader.Next(kind, entry);) {
            if (kind == NODE_KIND_DRIVER) {
                const auto node = tdl::test::NodeAt<DRIVER_NODE>(entry);
                listedDrivers.emplace_back(tdl::test::NodeText(node.DriverName, sizeof node.DriverName), 0);
            } else if (kind == NODE_KIND_DEVICE && !listedDrivers.empty()) {
                ++listedDrivers.back().second;
            }
        }
        std::vector<std::pair<std::string, size_t>> shownDrivers;
        const CTabTree& driverTree = DeviceTree().GetDriversTab().GetTree();
        for (HTREEITEM hDriver = driverTree.GetChildItem(driverTree.GetRootItem()); hDriver != nullptr;
             hDriver = driverTree.GetNextSiblingItem(hDriver)) {
            const std::string text = static_cast<LPCSTR>(driverTree.GetItemText(hDriver));
            size_t devices = 0;
            for (HTREEITEM hDevice = driverTree.GetChildItem(hDriver); hDevice != nullptr;
                 hDevice = driverTree.GetNextSiblingItem(hDevice))
                ++devices;
            shownDrivers.emplace_back(text.substr(0, text.find(" (0x")), devices);
        }
        EXPECT_GT(listedDrivers.size(), 5u);
        EXPECT_EQ(shownDrivers, listedDrivers);
    }
    // System Properties brought to the front (its tab shares a group), and what its grid shows.
    std::string SystemPropertiesShown() {
        Frame()->GetPaneManager().ShowPane(ID_VIEW_SYSTEMPROPERTIES);
        win32::PumpUiMessages();
        CSystemPropertiesWnd* pPane = Frame()->GetSystemPropertiesPane();
        return pPane != nullptr ? tdl::test::GridView(pPane->GetGrid()) : "<no System Properties pane>";
    }
    CGkStatusBar& StatusBar() { return Frame()->GetStatusBar(); }
    bool Lit(UINT nIndicator) {
        Idle();
        const int nIndex = StatusBar().CommandToIndex(nIndicator);
        return nIndex >= 0 && StatusBar().GetPane(nIndex)->IsEnabled();
    }
    // The row of the live capture's list (or another) the user clicks, and its click.
    void ClickRow(int nRow) { ClickRowOf(*RecordList(), nRow); }
    void ClickRowOf(CLogListView& view, int nRow) {
        CListCtrl& list = view.GetListCtrl();
        list.EnsureVisible(nRow, FALSE);
        win32::PumpUiMessages();
        CRect row;
        list.GetItemRect(nRow, &row, LVIR_BOUNDS);
        row.right = row.left + 60;
        ClickIn(list.GetSafeHwnd(), row);
        ASSERT_EQ(list.GetNextItem(-1, LVNI_SELECTED), nRow);
    }
};

TEST_F(WholeProgramTest, StartUpShowsTheMachineAndAClosedPaneStaysClosedAfterARestart) {
    ASSERT_NE(Start(), nullptr);
    TakeStartBoxes();
    ASSERT_NE(Live(), nullptr);
    ASSERT_NE(RecordList(), nullptr);
    // Every pane the table opens has its window, the record list its columns and no rows.
    for (const UINT nPane : {ID_VIEW_LOGDETAILS, ID_VIEW_DATABAR})
        EXPECT_NE(PaneWindow(nPane), nullptr) << nPane;
    EXPECT_GT(tdl::test::RecordListColumns(*RecordList()).size(), 3u);
    EXPECT_EQ(RecordList()->GetItemCount(), 0);
    // Every device of the machine is in the live capture's model.
    for (const char* name :
         {"hub", "keyboard", "printer", "composite", "stick", "mouse", "loopback", "ss-hub", "ss-disk"})
        EXPECT_FALSE(LoggableObjects(name).empty()) << name;
    // The Devices tab: each device of the machine at the port that holds it, under its controller's root hub
    // (the external hub's devices under the hub's port), checkable and not checked.
    const char* const kEhci = "Standard Enhanced PCI to USB Host Controller(HCD0)";
    const char* const kHub = "Port 1: Generic USB Hub";
    const struct {
        const char* device;
        std::vector<std::string> path;
    } placed[] = {
        {"keyboard", {kEhci, "RootHub", kHub, "Port 1: USB Input Device"}},
        {"printer", {kEhci, "RootHub", kHub, "Port 2: USB Printing Support"}},
        {"composite", {kEhci, "RootHub", kHub, "Port 3: USB Composite Device"}},
        {"stick", {kEhci, "RootHub", "Port 2: USB Mass Storage Device"}},
        {"mouse", {"Standard Universal PCI to USB Host Controller(HCD1)", "RootHub", "Port 1: USB Input Device"}},
        {"loopback", {"Standard OpenHCD USB Host Controller(HCD2)", "RootHub", "Port 1: WinUSB Device"}},
        {"ss-disk",
         {"USB 3.0 eXtensible Host Controller(HCD3)", "SuperSpeed RootHub", "Port 1: USB 3.0 Hub",
          "Port 1: USB Mass Storage Device"}},
    };
    for (const auto& device : placed) {
        SCOPED_TRACE(device.device);
        const HTREEITEM hItem = DevicesItem(device.device);
        ASSERT_NE(hItem, nullptr);
        EXPECT_EQ(tdl::test::TreePath(DevicesTree(), hItem), device.path);
        EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hItem), 1);
    }
    ExpectStacksAndDriversAsTheDriverListsThem();
    // System Properties: this machine.
    const std::string facts = SystemPropertiesShown();
    for (const char* fact :
         {"System Information", "TDL-WORKSTATION", "Microsoft Windows 7 Service Pack 1 (Build 7601)"})
        EXPECT_NE(facts.find(fact), std::string::npos) << fact << "\n" << facts;
    SavePicture("whole_program_start.png");

    // The user closes the data bar from the View menu: it stays closed after a restart on the same registry.
    ASSERT_TRUE(ChooseMenu({"&View", "Hide &Data Bar"}));
    EXPECT_FALSE(Frame()->IsPaneVisible(ID_VIEW_DATABAR));
    Close();
    ASSERT_NE(Start(), nullptr);
    TakeStartBoxes();
    EXPECT_FALSE(Frame()->IsPaneVisible(ID_VIEW_DATABAR));
    EXPECT_TRUE(Frame()->IsPaneVisible(ID_VIEW_LOGDETAILS));
    ASSERT_TRUE(ChooseMenu({"&View", "Show &Data Bar"}));
    EXPECT_TRUE(Frame()->IsPaneVisible(ID_VIEW_DATABAR));
}

TEST_F(WholeProgramTest, ACaptureOfTheMouseAndTheStickListsOnlyTheirObjectsWithTheLedBlinking) {
    StartWithMouseAndStick();
    if (HasFatalFailure())
        return;
    std::set<ULONG64> allowed = LoggableObjects("mouse");
    const std::set<ULONG64> stick = LoggableObjects("stick");
    allowed.insert(stick.begin(), stick.end());

    EXPECT_EQ(CheckedObjects(), allowed);

    StartFromToolbar();
    if (HasFatalFailure())
        return;
    // While it captures, the trees and the stack inspector refuse the user's clicks on their boxes.
    const HTREEITEM hKeyboard = DevicesItem("keyboard");
    ASSERT_NE(hKeyboard, nullptr);
    ClickBox(DevicesTree(), hKeyboard);
    EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hKeyboard), 1);
    ClickLabel(DevicesTree(), DevicesItem("stick"));
    ASSERT_GT(Frame()->GetStackInspectorList()->GetItemCount(), 0);
    tdl::session::ClickCheckBox(*Frame()->GetStackInspectorList(), 0);
    EXPECT_EQ(CheckedObjects(), allowed);
    EXPECT_TRUE(Lit(ID_INDICATOR_CAPT));
    // The LED alternates its two lit faces every 333 ms of the clock.
    CStatusLEDPane* pLed = Frame()->GetStatusLED();
    ASSERT_NE(pLed, nullptr);
    std::vector<UINT> faces;
    for (int i = 0; i < 4; ++i) {
        Advance(333);
        faces.push_back(pLed->GetCurrent());
    }
    EXPECT_EQ(faces, (std::vector<UINT>{faces[0], faces[1], faces[0], faces[1]}));
    EXPECT_NE(faces[0], faces[1]);
    for (const UINT face : faces)
        EXPECT_TRUE(face == IDB_LED_ON_A || face == IDB_LED_ON_B) << face;

    // With auto scroll on (Ctrl+A in the list) rows arrive and the last one stays in view.
    RecordList()->SetFocus();
    Keys({VK_CONTROL, 'A'});
    EXPECT_TRUE(RecordList()->IsAutoScroll());
    Play({{sim::WorkloadKind::MouseMoving, {.count = 20}}, {sim::WorkloadKind::CopyToStick, Files(2)}});
    // The capture thread reads the driver's log on its period.
    for (int i = 0; i < 8; ++i)
        Advance(250);
    EXPECT_TRUE(
        PumpUntil([&] { return RecordList()->GetItemCount() > RecordList()->GetListCtrl().GetCountPerPage(); }));
    const int rows = RecordList()->GetItemCount();
    ASSERT_GT(rows, RecordList()->GetListCtrl().GetCountPerPage());
    EXPECT_TRUE(tdl::test::RowShown(RecordList()->GetListCtrl(), rows - 1));
    SavePicture("whole_program_capturing.png");

    StopFromMenu();
    if (HasFatalFailure())
        return;
    EXPECT_FALSE(Lit(ID_INDICATOR_CAPT));
    Advance(333);
    EXPECT_EQ(pLed->GetCurrent(), IDB_LED_OFF);
    // Every record of a device is of a loggable object of the mouse or the stick, and each has records.
    LogRecords::CLogRecords& records = *Live()->GetLogRecords();
    size_t mouseRecords = 0;
    size_t stickRecords = 0;
    const std::set<ULONG64> mouse = LoggableObjects("mouse");
    const std::set<ULONG64> selectable = SelectableObjects();
    const std::set<ULONG> requestKinds = {LogTag::KindUrb, LogTag::KindUin, LogTag::KindHcd,
                                          LogTag::KindHub, LogTag::KindHid, LogTag::KindPow,
                                          LogTag::KindPnp, LogTag::KindCtl, LogTag::KindInt};
    for (INT_PTR i = 0; i < records.GetCount(); ++i) {
        _LOGHDR header;
        std::memcpy(&header, records.GetAt(i), sizeof header);
        if (requestKinds.count(LogTag::KindOf(header.LogType)) == 0)
            continue;
        // The device objects the user could have checked: only the mouse's and the stick's are captured (a
        // HID collection the mouse's driver made below it, which is never offered, comes with the mouse).
        if (selectable.count(header.DeviceObject) != 0)
            EXPECT_TRUE(allowed.count(header.DeviceObject) != 0) << i << ": " << std::hex << header.DeviceObject;
        mouseRecords += mouse.count(header.DeviceObject);
        stickRecords += stick.count(header.DeviceObject);
    }
    EXPECT_GT(mouseRecords, 0u);
    EXPECT_GT(stickRecords, 0u);
    EXPECT_EQ(Live()->GetSequenceGapCount(), 0u);
}

TEST_F(WholeProgramTest, SelectingEachKindOfRecordDecodesItAndTheDataBarExportsItsBytes) {
    ASSERT_NE(Start(false), nullptr);
    TakeStartBoxes();
    App().m_Settings.BulkMaxSize = 4; // whole bulk transfers
    App().m_Settings.MaxLogBuffer = 16u << 20;
    App().m_Settings.CapturePower = true;
    ASSERT_TRUE(App().SetDriverLoggingOptions(nullptr));
    Command(ID_FILE_NEW);
    ASSERT_NE(Live(), nullptr);
    CAttachedDevices* pDevices = Live()->GetAttachedDevices();
    for (INT_PTR i = 0; i < pDevices->GetCount(); ++i)
        if (pDevices->GetAt(i)->IsSelectable())
            pDevices->GetAt(i)->m_nStateImage = CHECKSTATE_CHECKED;
    StartFromToolbar();
    if (HasFatalFailure())
        return;
    Play({{sim::WorkloadKind::CopyToStick, Files(1)}});
    Play({{sim::WorkloadKind::RequestFamilies, {.count = 1}}});
    for (int i = 0; i < 8; ++i)
        Advance(250);
    StopFromMenu();
    if (HasFatalFailure())
        return;

    // The first row of each kind, clicked: Log Details shows the kind's category; a record with data shows it
    // in the data bar under a title with its number.
    struct Kind {
        const char* name;
        ULONG tag;
        const char* category;
        bool bulk; // a whole bulk transfer's data
    };
    const Kind kinds[] = {
        {"bulk transfer", LogTag::urbC, "URB", true},
        {"URB", LogTag::urbI, "URB", false},
        {"internal IOCTL", LogTag::uinI, "USBINT", false},
        {"HID IOCTL", LogTag::hidI, "HID", false},
        {"hub IOCTL", LogTag::hubI, "HUB", false},
        {"host-controller IOCTL", LogTag::hcdI, "HCD", false},
        {"PnP", LogTag::pnpI, "PNP", false},
        {"power", LogTag::powI, "PWR", false},
    };
    LogRecords::CLogRecords& records = *Live()->GetLogRecords();
    CLogPropertiesWnd* pDetails = Frame()->GetLogDetailsPane();
    ASSERT_NE(pDetails, nullptr);
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        int nRow = -1;
        for (INT_PTR i = 0; i < records.GetDisplayCount(Live()) && nRow < 0; ++i) {
            const auto* pRecord = reinterpret_cast<const uint8_t*>(records.GetRecordAt(Live(), i));
            if (LogHdr::LogType(pRecord) != kind.tag)
                continue;
            const bool bulk = kind.tag == LogTag::urbC && LogHdr::DataSize(pRecord) > 1000;
            if (bulk == kind.bulk)
                nRow = static_cast<int>(i);
        }
        ASSERT_GE(nRow, 0);
        ClickRow(nRow);
        EXPECT_TRUE(ShowsCategory(kind.category)) << tdl::test::GridView(pDetails->GetGrid());
        const tdl::test::ShownData data = tdl::test::DataBarShown(*Frame()->GetDataBar());
        if (data.bytes.empty()) {
            EXPECT_FALSE(kind.bulk);
            continue;
        }
        const ULONG sequence =
            LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(records.GetRecordAt(Live(), nRow)));
        EXPECT_NE(data.title.find("record #" + std::to_string(sequence)), std::string::npos) << data.title;
        if (!kind.bulk)
            continue;
        SavePicture("whole_program_bulk_transfer.png");

        // The grid's in-place button exports the bytes as CSV where the save answer says.
        const fs::path csv = fs::temp_directory_path() / ("tdl-whole-program-" + std::to_string(::getpid()) + ".csv");
        AnswerFile(csv.string());
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "exported successfully");
        ASSERT_TRUE(ClickGridButton(pDetails->GetGrid(), ID_EXPORT_XFERBUFFER));
        std::ifstream in(csv);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_GT(text.str().size(), data.bytes.size()) << "bytes as text, with separators";
        fs::remove(csv);
    }
}

TEST_F(WholeProgramTest, AStopTriggerOnTheStickBulkOutRequestsStopsTheCaptureAtItsRowWithTrigRed) {
    // In background logging the stop selects the trigger's row (outside it the list only scrolls to it).
    StartWithMouseAndStick(true);
    if (HasFatalFailure())
        return;
    auto* pTrigger = new CFilterDefinition;
    for (const size_t byte :
         {FilterByte::UrbRequest, FilterByte::UrbFunctions + URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER,
          FilterByte::AcceptOut, FilterByte::AcceptSuccess, FilterByte::AcceptError})
        pTrigger->Enable(byte);
    Live()->SetTrigger(pTrigger);
    Live()->TriggerOn();
    StartFromToolbar();
    if (HasFatalFailure())
        return;
    Play({{sim::WorkloadKind::CopyToStick, Files(2)}});
    // The capture thread reads on its period; the stop the trigger posts ends the capture.
    for (int i = 0; i < 8 && Live()->IsLogging(); ++i)
        Advance(250);
    ASSERT_TRUE(PumpUntil([&] { return !Live()->IsLogging(); }));

    const UINT nTrigger = Live()->GetTriggerSequenceNumber();
    ASSERT_NE(nTrigger, 0u);
    const int nRow = RecordList()->FindItemBySequence(nTrigger);
    ASSERT_GE(nRow, 0);
    CListCtrl& list = RecordList()->GetListCtrl();
    EXPECT_TRUE(tdl::test::RowShown(list, nRow));
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), nRow);
    EXPECT_TRUE(ShowsCategory("URB"));
    const tdl::test::ShownRow row = tdl::test::RecordListRows(*RecordList(), nRow, 1).at(0);
    const std::vector<std::string> columns = tdl::test::RecordListColumns(*RecordList());
    const auto cell = [&](const char* title) {
        const auto it = std::find(columns.begin(), columns.end(), title);
        return it != columns.end() ? row.cells[static_cast<size_t>(it - columns.begin())] : std::string("(none)");
    };
    EXPECT_EQ(cell("Request"), "BULK_OR_INTERRUPT_TRANSFER");
    EXPECT_EQ(cell("I/O"), "OUT");
    EXPECT_EQ(row.background, 0xC0C0F6u);
    Idle();
    CGkStatusBarPane* pTrig = StatusBar().GetPane(StatusBar().CommandToIndex(ID_INDICATOR_TRIG));
    EXPECT_EQ(pTrig->GetText(), CString("TRIG"));
    EXPECT_EQ(pTrig->GetTextColor(), RGB(255, 0, 0));
    EXPECT_FALSE(Lit(ID_INDICATOR_CAPT));
    SavePicture("whole_program_trigger.png");
}

TEST_F(WholeProgramTest, ASavedCaptureOpensAgainWithTheSameRowsAndHandMadeRecordsDecode) {
    CaptureWhilePlaying({{sim::WorkloadKind::MouseMoving, {.count = 10}}});
    if (HasFatalFailure())
        return;
    // Records of the hub interface and the miniport hook, which no workload makes, handed to the list as the
    // capture thread hands a block.
    const ULONG next = Live()->GetExpectedSequenceNumber();
    tdl::test::DeliverToList(*Live()->GetLogRecords(), *RecordList(),
                             {tdl::test::RecordBuilder(LogTag::buhC).Sequence(next).Function(11).Build(),
                              tdl::test::RecordBuilder(LogTag::khpC).Sequence(next + 1).Function(10).Build()});
    const std::vector<tdl::test::ShownRow> live = tdl::test::RecordListRows(*RecordList());
    const std::vector<std::string> columns = tdl::test::RecordListColumns(*RecordList());
    ASSERT_GT(live.size(), 10u);

    const fs::path folder = fs::temp_directory_path() / ("tdl-whole-program-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "mouse.tdloft";
    AnswerFile(file.string());
    ASSERT_TRUE(ChooseMenu({"&File", "Save &As..."}));
    ASSERT_TRUE(fs::exists(file));
    // A new live capture first: a document open on the same path would only be shown again.
    ASSERT_TRUE(ChooseMenu({"&File", "&New\tCtrl+N"}));
    AnswerFile(file.string());
    ASSERT_TRUE(ChooseMenu({"&File", "&Open...\tCtrl+O"}));
    CUSBLog* pSaved = Active();
    ASSERT_NE(pSaved, nullptr);
    ASSERT_FALSE(pSaved->IsRealtimeDocument());
    CLogListView* pList = RecordList(pSaved);
    ASSERT_NE(pList, nullptr);
    const std::vector<tdl::test::ShownRow> saved = tdl::test::RecordListRows(*pList);
    EXPECT_EQ(tdl::test::RecordListColumns(*pList), columns);
    ASSERT_EQ(saved.size(), live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(saved[i].cells, live[i].cells) << i;
        EXPECT_EQ(saved[i].text, live[i].text) << i;
        EXPECT_EQ(saved[i].background, live[i].background) << i;
    }
    // The file's trees are read-only, and System Properties shows the file's facts.
    const HTREEITEM hMouse = DevicesItem("mouse");
    ASSERT_NE(hMouse, nullptr);
    const int nMouseState = tdl::test::TreeCheckState(DevicesTree(), hMouse);
    ClickBox(DevicesTree(), hMouse);
    EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hMouse), nMouseState);
    const std::string facts = SystemPropertiesShown();
    for (const char* fact : {"Log File Information", "User@TDL-WORKSTATION"})
        EXPECT_NE(facts.find(fact), std::string::npos) << fact << "\n" << facts;
    // The hand-made records decode in Log Details under their own categories.
    const struct {
        int fromEnd;
        const char* category;
    } handMade[] = {{2, "IHUB"}, {1, "MPORT"}};
    for (const auto& record : handMade) {
        SCOPED_TRACE(record.category);
        ClickRowOf(*pList, static_cast<int>(saved.size()) - record.fromEnd);
        EXPECT_TRUE(ShowsCategory(record.category)) << tdl::test::GridView(Frame()->GetLogDetailsPane()->GetGrid());
    }
    SavePicture("whole_program_reopened.png");

    ASSERT_TRUE(ChooseMenu({"&File", "&Close"}));
    ASSERT_NE(Active(), nullptr);
    EXPECT_TRUE(Active()->IsRealtimeDocument());

    // The saved capture's record went with its document; with the live capture closed too the panes are empty.
    EXPECT_FALSE(ShowsCategory("MPORT"));
    ASSERT_TRUE(ChooseMenu({"&File", "&Close"}));
    EXPECT_EQ(Active(), nullptr);
    EXPECT_TRUE(tdl::test::DataBarShown(*Frame()->GetDataBar()).bytes.empty());
    SavePicture("whole_program_closed.png");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

TEST_F(WholeProgramTest, BootLoggingListsTheMouseFromTheNextBootAndAnUpdateIsOfferedOnce) {
    const fs::path state = fs::temp_directory_path() / ("tdl-whole-program-boot-" + std::to_string(::getpid()));
    fs::create_directories(state);
    MachineTest::TearDown();
    BootMachine(state);
    UseVirtualClock();
    ASSERT_NE(Start(), nullptr);
    TakeStartBoxes();
    ASSERT_TRUE(CheckDevice("mouse"));
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "capture USB events on next system boot");
    ASSERT_TRUE(ChooseMenu({"&Capture", "Enable &logging during reboot"}));
    EXPECT_TRUE(App().m_Settings.CaptureOnceOnBoot);
    Close();

    // The machine restarts on the same state folder and the program starts again, checking for an update with
    // the update server answering a newer version: its dialog comes once, at the end of the start.
    MachineTest::TearDown();
    BootMachine(state);
    UseVirtualClock();
    tdl::test::HttpTestServer server;
    win32::ResetWinHttp();
    win32::RegisterWinHttpModule();
    ASSERT_TRUE(win32::MapWinHttpHost(kUpdateServerHost, 80, "127.0.0.1", server.Port()));
    const std::string version = "Tindaloft 99.0.0 Build 1";
    tdl::test::HttpAnswer newer = tdl::test::HttpAnswer::WithLength("text/plain", {version});
    newer.head += version;
    newer.body.clear();
    server.Script({newer});
    int updateDialogs = 0;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest&, HWND) {
            ++updateDialogs;
            return static_cast<INT_PTR>(IDCANCEL);
        },
        "271");
    ASSERT_NE(Start(), nullptr);
    TakeStartBoxes();
    EXPECT_TRUE(PumpUntil([&] {
        ServeAsTheProgram();
        return updateDialogs > 0;
    }));
    for (int i = 0; i < 3; ++i)
        ServeAsTheProgram();
    EXPECT_EQ(updateDialogs, 1);

    // The live capture joined the boot's capture: the mouse's enumeration is in it.
    ASSERT_NE(Live(), nullptr);
    ASSERT_TRUE(Live()->IsLogging());
    StopFromMenu();
    if (HasFatalFailure())
        return;
    const std::vector<std::string> columns = tdl::test::RecordListColumns(*RecordList());
    const size_t request = static_cast<size_t>(std::find(columns.begin(), columns.end(), "Request") - columns.begin());
    ASSERT_LT(request, columns.size());
    size_t descriptorRequests = 0;
    for (const tdl::test::ShownRow& row : tdl::test::RecordListRows(*RecordList()))
        descriptorRequests += row.cells[request] == "GET_DESCRIPTOR_FROM_DEVICE" ? 1 : 0;
    EXPECT_GT(descriptorRequests, 0u);
    SavePicture("whole_program_boot_capture.png");
    Close();
    win32::UnregisterModule("winhttp");
    win32::ResetWinHttp();
    std::error_code ignored;
    fs::remove_all(state, ignored);
}

TEST_F(WholeProgramTest, AFlashDrivePluggedInDuringACaptureJoinsTheTreesAndIsCheckableAfterTheStop) {
    StartCapturingMouseAndStick();
    if (HasFatalFailure())
        return;
    // The external hub's free port; the frame hears of the arrival through the system's device notifications.
    Plug("hub", 4, sim::MakeFlashDrive("stick2"));
    if (HasFatalFailure())
        return;
    CAttachedDevices* pDevices = Live()->GetAttachedDevices();
    CDeviceObject* pDevice = nullptr;
    EXPECT_TRUE(
        PumpUntil([&] { return pDevices->GetPresentClassDeviceObject(AddressOf(Pdo("stick2")), pDevice) != FALSE; }));
    // It shows on the Devices tab at the hub's port, locked like the rest while the capture runs.
    HTREEITEM hDrive = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (hDrive = DevicesItem("stick2")) != nullptr; }));
    ASSERT_NE(hDrive, nullptr);
    EXPECT_EQ(tdl::test::TreePath(DevicesTree(), hDrive),
              (std::vector<std::string>{"Standard Enhanced PCI to USB Host Controller(HCD0)", "RootHub",
                                        "Port 1: Generic USB Hub", "Port 4: USB Mass Storage Device"}));
    const int nDriveState = tdl::test::TreeCheckState(DevicesTree(), hDrive);
    ClickBox(DevicesTree(), hDrive);
    EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hDrive), nDriveState);
    Play({{sim::WorkloadKind::MouseMoving, {.count = 5}}});
    StopFromMenu();
    if (HasFatalFailure())
        return;
    // The capture went on over the arrival, no record lost; the drive stays in the model after the stop.
    pDevice = nullptr;
    EXPECT_TRUE(Live()->GetAttachedDevices()->GetPresentClassDeviceObject(AddressOf(Pdo("stick2")), pDevice));
    EXPECT_EQ(Live()->GetSequenceGapCount(), 0u);
    // Now the drive is checkable like the stick: its box shows a choice, and a click turns it over.
    hDrive = DevicesItem("stick2");
    ASSERT_NE(hDrive, nullptr);
    const int nStoppedState = tdl::test::TreeCheckState(DevicesTree(), hDrive);
    EXPECT_TRUE(nStoppedState == 1 || nStoppedState == 2) << nStoppedState;
    ClickBox(DevicesTree(), hDrive);
    EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hDrive), 3 - nStoppedState);
    Advance(1000); // a second click, not a double-click
    ClickBox(DevicesTree(), hDrive);
    EXPECT_EQ(tdl::test::TreeCheckState(DevicesTree(), hDrive), nStoppedState);
    SavePicture("whole_program_hot_plug.png");
}

TEST_F(WholeProgramTest, TurningOnContinuousLoggingClearsTheCaptureAndLightsWrap) {
    CaptureWhilePlaying({{sim::WorkloadKind::MouseMoving, {.count = 5}}});
    if (HasFatalFailure())
        return;
    ASSERT_GT(RecordList()->GetItemCount(), 0);
    EXPECT_FALSE(Lit(ID_INDICATOR_WRAP));

    // In the Options dialog the user ticks Continuous Logging, presses OK and agrees to lose the capture.
    win32::QueueModalSteps(win32::ModalKind::Dialog, [](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
        auto* pTree = dynamic_cast<COXOptionTreeCtrl*>(CWnd::FromHandlePermanent(Control({IDC_OPTION_TREE}, dialog)));
        EXPECT_NE(pTree, nullptr);
        if (pTree != nullptr) {
            const HTREEITEM hItem = pTree->GetItemFromId(IDO_CONTINUOUS_LOGGING);
            pTree->EnsureVisible(hItem);
            CRect label;
            pTree->GetItemRect(hItem, &label, TRUE);
            ClickIn(pTree->GetSafeHwnd(), label);
        }
        ::SendMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        return IDCANCEL; // the dialog's own OK ends it
    });
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "Continuous Logging");
    ASSERT_TRUE(ChooseMenu({"&Options", "Configuration ..."}));
    EXPECT_TRUE(App().m_Settings.ContinuousLogging);
    EXPECT_EQ(RecordList()->GetItemCount(), 0);
    EXPECT_TRUE(Lit(ID_INDICATOR_WRAP));
    SavePicture("whole_program_continuous.png");
}

TEST_F(WholeProgramTest, DeviceReportsFromTheFileMenuNameTheCheckedStick) {
    ASSERT_NE(Start(false), nullptr);
    TakeStartBoxes();
    Command(ID_FILE_NEW);
    ASSERT_NE(Live(), nullptr);
    ASSERT_TRUE(CheckDevice("stick"));
    const fs::path folder = fs::temp_directory_path() / ("tdl-whole-program-reports-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const struct {
        const char* item;
        const char* file;
        const char* done;
    } reports[] = {
        {"&Device report as HTML...", "stick.htm", "HTML Device Report exported successfully."},
        {"&Device report as XML...", "stick.xml", "XML Device Report exported successfully."},
    };
    // The stick's own port device, by its physical device object's name.
    CDeviceObject* pStick = nullptr;
    ASSERT_TRUE(Live()->GetAttachedDevices()->GetPresentClassDeviceObject(AddressOf(Pdo("stick")), pStick));
    const std::string stick = ">" + std::string(pStick->_DeviceName.GetString()) + "<";
    ASSERT_GT(stick.size(), 2u);
    for (const auto& report : reports) {
        SCOPED_TRACE(report.item);
        const fs::path file = folder / report.file;
        AnswerFile(file.string());
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, report.done);
        ASSERT_TRUE(ChooseMenu({"&File", report.item}));
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("USB Mass Storage Device"), std::string::npos);
        EXPECT_NE(text.str().find(stick), std::string::npos);
        for (const char* unchecked : {"USB Printing Support", "USB Input Device", "WinUSB Device"})
            EXPECT_EQ(text.str().find(unchecked), std::string::npos) << "only the checked devices";
    }
    std::error_code ignored;
    if (!HasFailure())
        fs::remove_all(folder, ignored);
}

TEST_F(WholeProgramTest, FindNextAndPrevStepOverTheTickedUrbFunctionAndWrap) {
    CaptureWhilePlaying({{sim::WorkloadKind::MouseMoving, {.count = 5}}, {sim::WorkloadKind::CopyToStick, Files(1)}});
    if (HasFatalFailure())
        return;
    // The rows the search must stop at: the bulk and interrupt transfers.
    const std::vector<std::string> columns = tdl::test::RecordListColumns(*RecordList());
    const size_t request = static_cast<size_t>(std::find(columns.begin(), columns.end(), "Request") - columns.begin());
    ASSERT_LT(request, columns.size());
    std::vector<int> transfers;
    const std::vector<tdl::test::ShownRow> rows = tdl::test::RecordListRows(*RecordList());
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].cells[request] == "BULK_OR_INTERRUPT_TRANSFER")
            transfers.push_back(static_cast<int>(i));
    ASSERT_GE(transfers.size(), 2u);

    ASSERT_TRUE(ChooseMenu({"&Edit", "&Find...\tCtrl+F"}));
    CFindDialog* pFind = Live()->GetFindDialog();
    ASSERT_NE(pFind, nullptr);
    CCheckListBox& functions = *pFind->GetPage(0)->GetList();
    int nTicked = -1;
    for (int i = 0; i < functions.GetCount() && nTicked < 0; ++i) {
        CString text;
        functions.GetText(i, text);
        if (std::string(text.GetString()).find("BULK_OR_INTERRUPT_TRANSFER") != std::string::npos)
            nTicked = i;
    }
    ASSERT_GE(nTicked, 0);
    CRect item;
    functions.GetItemRect(nTicked, &item);
    item.right = item.left + 12; // its check box
    ClickIn(functions.GetSafeHwnd(), item);
    ASSERT_EQ(functions.GetCheck(nTicked), BST_CHECKED);
    const auto press = [&](UINT nButton) {
        ::SendMessageA(::GetDlgItem(pFind->GetSafeHwnd(), static_cast<int>(nButton)), BM_CLICK, 0, 0);
        win32::PumpUiMessages();
    };
    const auto selected = [&] { return RecordList()->GetListCtrl().GetNextItem(-1, LVNI_SELECTED); };

    // Without wrap the search finds the last transfer, then ends at the end of the buffer, where it was.
    ClickRow(transfers[transfers.size() - 2]);
    press(IDC_FIND_NEXT);
    EXPECT_EQ(selected(), transfers.back());
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Search has finished at end of log buffer.");
    press(IDC_FIND_NEXT);
    EXPECT_EQ(selected(), transfers.back());
    // With wrap it goes on from the top, and back over the top from the first.
    press(IDC_FIND_WRAP);
    press(IDC_FIND_NEXT);
    EXPECT_EQ(selected(), transfers.front());
    press(IDC_FIND_NEXT);
    EXPECT_EQ(selected(), transfers[1]);
    press(IDC_FIND_PREV);
    EXPECT_EQ(selected(), transfers.front());
    press(IDC_FIND_PREV);
    EXPECT_EQ(selected(), transfers.back());
    EXPECT_TRUE(tdl::test::RowShown(RecordList()->GetListCtrl(), transfers.back()));
    SavePicture("whole_program_find.png");
    ::SendMessageA(pFind->GetSafeHwnd(), WM_CLOSE, 0, 0);
    win32::PumpUiMessages();
}

} // namespace
