// The whole program on the default simulated machine with the capture driver, driven as a user drives it
// (clicks, keys, menus, the toolbar, answers to its dialogs) and read back as a user sees it: its start and a
// layout kept through a restart, a capture with the LED blinking and rows arriving, each kind of record decoded
// with its bytes exported, a stop trigger, a saved capture opened again, a device plugged in during a capture,
// and a capture from the next boot with an update offered. Each test saves the main window's picture.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/AppOnMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "GkDockingPane.h"
#include "GkPropertyGrid.h"
#include "GkStatusBar.h"
#include "GkStatusBarPane.h"
#include "app/core/AppSettings.h"
#include "app/core/FilterDefinition.h"
#include "app/core/LogRecordDecode.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"
#include "app/widgets/OXOptionTreeCtrl.h"
#include "app/ui/DataBar.h"
#include "app/ui/FindOptionsIds.h"
#include "app/ui/LogListIds.h"
#include "app/ui/LogListView.h"
#include "app/ui/LogPropertiesWnd.h"
#include "app/ui/MainFrame.h"
#include "app/ui/MainFrameIds.h"
#include "app/ui/StatusLEDPane.h"
#include "common/FilterBlock.h"
#include "platform/sim/StandardDevices.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "usb.h"
#include "WinHttpControl.h"
#include "WinModulesControl.h"
#include "app/core/UpdateServer.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ListDelivery.h"
#include "tests/support/ListRows.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/ScreenReads.h"

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
    for (const char* name : {"hub", "keyboard", "printer", "composite", "stick", "mouse", "loopback", "ss-hub", "ss-disk"})
        EXPECT_FALSE(LoggableObjects(name).empty()) << name;
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

    StartFromToolbar();
    if (HasFatalFailure())
        return;
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
    EXPECT_TRUE(PumpUntil([&] { return RecordList()->GetItemCount() > RecordList()->GetListCtrl().GetCountPerPage(); }));
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
        {"bulk transfer", LogTag::urbC, "URB", true}, {"URB", LogTag::urbI, "URB", false},
        {"internal IOCTL", LogTag::uinI, "USBINT", false}, {"HID IOCTL", LogTag::hidI, "HID", false},
        {"hub IOCTL", LogTag::hubI, "HUB", false}, {"host-controller IOCTL", LogTag::hcdI, "HCD", false},
        {"PnP", LogTag::pnpI, "PNP", false}, {"power", LogTag::powI, "PWR", false},
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
        const ULONG sequence = LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(records.GetRecordAt(Live(), nRow)));
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
    for (const size_t byte : {FilterByte::UrbRequest, FilterByte::UrbFunctions + URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER,
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
    StartCapturingMouseAndStick();
    if (HasFatalFailure())
        return;
    Play({{sim::WorkloadKind::MouseMoving, {.count = 10}}});
    StopFromMenu();
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

TEST_F(WholeProgramTest, AFlashDrivePluggedInDuringACaptureJoinsTheModelThroughTheDeviceNotifications) {
    StartCapturingMouseAndStick();
    if (HasFatalFailure())
        return;
    // The external hub's free port; the frame hears of the arrival through the system's device notifications.
    Plug("hub", 4, sim::MakeFlashDrive("stick2"));
    if (HasFatalFailure())
        return;
    CAttachedDevices* pDevices = Live()->GetAttachedDevices();
    CDeviceObject* pDevice = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        return pDevices->GetPresentClassDeviceObject(AddressOf(Pdo("stick2")), pDevice) != FALSE;
    }));
    Play({{sim::WorkloadKind::MouseMoving, {.count = 5}}});
    StopFromMenu();
    if (HasFatalFailure())
        return;
    // The capture went on over the arrival, no record lost; the drive stays in the model after the stop.
    pDevice = nullptr;
    EXPECT_TRUE(Live()->GetAttachedDevices()->GetPresentClassDeviceObject(AddressOf(Pdo("stick2")), pDevice));
    EXPECT_EQ(Live()->GetSequenceGapCount(), 0u);
    SavePicture("whole_program_hot_plug.png");
}

TEST_F(WholeProgramTest, TurningOnContinuousLoggingClearsTheCaptureAndLightsWrap) {
    StartCapturingMouseAndStick();
    if (HasFatalFailure())
        return;
    Play({{sim::WorkloadKind::MouseMoving, {.count = 5}}});
    StopFromMenu();
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

} // namespace
