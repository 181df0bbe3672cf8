// The desk under the analyzer's main window on a real X server (CTest starts these under xvfb-run): the
// program started on the default simulated machine with its desk, as its entry starts it with a display, every
// device ticked on the Devices tab and a capture started. With nothing else done the list fills with the
// stick's copies, the printer and the hubs' polling; the person's pointer and keys over the window come back
// as the USB mouse's and keyboard's input reports. The kernel's headers come first: the framework's ASSERT
// yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WinDisplayDriver.h"
#include "WinInput.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "app/main/ProgramDesk.h"
#include "app/ui/devicetree/TabTree.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "platform/display/DisplayHost.h"
#include "platform/sim/Desk.h"
#include "tests/support/AppStarter.h"
#include "tests/support/GuiThread.h"
#include "tests/support/Pictures.h"
#include "tests/support/XScreen.h"
#include "tools/capture-session/CaptureSession.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using tdl::test::GuiThread;
using tdl::test::WaitUntil;
using tdl::test::XScreen;

constexpr ULONG kBulkOrInterrupt = 9; // URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER
constexpr size_t kTransferPart = sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER);
constexpr UCHAR kWrite10 = 0x2A;
constexpr ULONG kGetEndpointState = 0x1002; // URB_FUNCTION_GET_ENDPOINT_STATE: a hub driver's look at its endpoint

// What the record list holds, by device: the devices' and root hubs' stacks, each device object with its
// device's name.
struct Seen {
    std::map<std::string, size_t> records;           // by device
    std::vector<std::vector<UCHAR>> mouse, keyboard; // the input reports of interrupt-IN completions
    size_t writes = 0;                               // the stick's WRITE(10) command blocks
    size_t hubPolls = 0;                             // the hubs' looks at their status-change endpoints
};

class DeskOnScreenTest : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        setenv("GSETTINGS_BACKEND", "memory", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        ASSERT_TRUE(m_screen.IsOpen()) << "no X display: these tests run under xvfb-run";
        BootDefault(nt::version::Release::Windows7, DriverEntry);
        ASSERT_TRUE(display::AttachDisplayHost());
        // Whose stack a record's device object is in.
        auto note = [this](const std::string& name, PDEVICE_OBJECT pdo) {
            for (PDEVICE_OBJECT device : tdl::test::StackOf(pdo))
                m_owners[reinterpret_cast<ULONG64>(device)] = name;
        };
        for (const auto& controller : m_machine->Controllers())
            note("root hub", controller->RootHub().PhysicalDeviceObject());
        for (const char* name :
             {"hub", "keyboard", "printer", "composite", "stick", "mouse", "loopback", "ss-hub", "ss-disk"})
            note(name, Pdo(name));
    }
    void TearDown() override {
        m_gui.Call([this] {
            if (m_starter != nullptr && Live() != nullptr && Live()->IsLogging())
                tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
            m_starter.reset();
        });
        StopProgramDesk();
        ForgetDeskOption();
        display::DetachDisplayHost();
        MachineTest::TearDown();
    }

    CMainFrame* Frame() const { return m_starter != nullptr ? m_starter->MainFrame() : nullptr; }
    CUSBLog* Live() const { return Frame() != nullptr ? Frame()->GetLiveDocument() : nullptr; }

    // Window thread: the program started with its desk (the option's choice, or every activity) and every device
    // ticked on the Devices tab with a click on its check box; the main window, or null.
    HWND StartWithEverythingTicked() {
        m_starter = std::make_unique<apptest::AppStarter>();
        CTindaloftApp& app = m_starter->Make("/Embedding");
        if (!m_starter->Start())
            return nullptr;
        // The options of a long session: banks that take turns rather than ending the capture when one is full.
        app.m_Settings.MaxLogBuffer = 4 * 1024 * 1024;
        app.m_Settings.ContinuousLogging = true;
        app.SetDriverLoggingOptions(nullptr);
        tdl::session::SendCommand(ID_FILE_NEW);
        win32::PumpUiMessages();
        StartProgramDesk(*m_machine, true);
        CTabTree* pTree = nullptr;
        if (tdl::session::ShowOnDevicesTab(Pdo("stick"), pTree) == nullptr)
            return nullptr;
        std::vector<HTREEITEM> items;
        for (HTREEITEM item = pTree->GetRootItem(); item != nullptr; item = pTree->GetNextSiblingItem(item))
            items.push_back(item);
        for (size_t i = 0; i < items.size(); ++i) {
            for (HTREEITEM child = pTree->GetChildItem(items[i]); child != nullptr;
                 child = pTree->GetNextSiblingItem(child))
                items.push_back(child);
        }
        for (HTREEITEM item : items) {
            const POINT box = tdl::session::CheckBoxPoint(*pTree, item);
            if (!pTree->IsChecked(item) && box.x >= 0) {
                win32::Click(pTree->m_hWnd, box);
                win32::PumpUiMessages();
            }
        }
        return Frame()->GetSafeHwnd();
    }
    // The main window shown and given the keyboard (before the capture, while its picture stands still), then
    // the capture started; the X window, or 0.
    unsigned long ShownAndCapturing() {
        unsigned long window = 0;
        WaitUntil([&] { return (window = m_screen.FindWindow(" - Tindaloft")) != 0; }, std::chrono::seconds(30));
        if (window == 0 || !m_screen.ReadyForKeys(window))
            return 0;
        const bool logging = m_gui.Call([this] {
            tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
            return Live() != nullptr && Live()->IsLogging();
        });
        return logging ? window : 0;
    }

    // What the live capture's records are now, by device.
    Seen Records() {
        return m_gui.Call([this] {
            Seen seen;
            LogRecords::CLogRecords* pRecords = Live()->GetLogRecords();
            for (INT_PTR i = 0; i < pRecords->GetCount(); ++i) {
                const CLogRecordDecode record(pRecords->GetAt(i), Live());
                const auto owner = m_owners.find(record.GetDeviceObject());
                if (owner == m_owners.end())
                    continue;
                const std::string& name = owner->second;
                ++seen.records[name];
                if (record.IsUrbRecord() && record.GetFunctionCode() == kGetEndpointState)
                    ++seen.hubPolls;
                const BYTE* cbw = record.FindCbw();
                if (name == "stick" && cbw != nullptr && cbw[15] == kWrite10)
                    ++seen.writes;
                ULONG captured = 0;
                UCHAR endpoint = 0;
                if (record.GetLogType() != LogTag::urbC || record.GetFunctionCode() != kBulkOrInterrupt ||
                    !record.ReadPayload(offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength), captured) ||
                    !record.ReadPayload(offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, Pipe) +
                                            offsetof(URB_RECORD_PIPE, EndpointAddress),
                                        endpoint) ||
                    endpoint != 0x81 || record.GetPayload().size() < kTransferPart + captured)
                    continue;
                const auto data = record.GetPayload().subspan(kTransferPart, captured);
                if (name == "mouse")
                    seen.mouse.emplace_back(data.begin(), data.end());
                else if (name == "keyboard")
                    seen.keyboard.emplace_back(data.begin(), data.end());
            }
            return seen;
        });
    }

    XScreen m_screen;
    GuiThread m_gui;
    std::unique_ptr<apptest::AppStarter> m_starter;
    std::map<ULONG64, std::string> m_owners;
};

RECT RootRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// Whether some report holds its motion in this direction: x and y each a sign (-1, 0, +1) of the report's
// signed deltas.
bool HasMotion(const std::vector<std::vector<UCHAR>>& reports, int x, int y) {
    const auto sign = [](UCHAR byte) {
        const auto value = static_cast<signed char>(byte);
        return value > 0 ? 1 : value < 0 ? -1 : 0;
    };
    for (const auto& report : reports) {
        if (report.size() == 4 && sign(report[1]) == x && sign(report[2]) == y)
            return true;
    }
    return false;
}

TEST_F(DeskOnScreenTest, TheDeskFillsTheListAndThePersonsPointerAndKeysComeBackAsReports) {
    const HWND frame = m_gui.Call([this] { return StartWithEverythingTicked(); });
    ASSERT_NE(frame, nullptr) << "the program did not start";
    const unsigned long window = ShownAndCapturing();
    ASSERT_NE(window, 0u) << "no capture of every device on the screen";

    // Nothing else done: within 10 s the stick's copy, the printer and the hubs' polling are in the list.
    Seen seen;
    const bool filled = WaitUntil(
        [&] {
            seen = Records();
            return seen.writes > 0 && seen.records["printer"] > 0 && seen.hubPolls > 0;
        },
        std::chrono::seconds(10));
    EXPECT_TRUE(filled) << "stick writes " << seen.writes << ", printer " << seen.records["printer"] << ", hubs "
                        << seen.records["hub"] + seen.records["root hub"] << "; "
                        << testing::PrintToString(seen.records);
    EXPECT_TRUE(seen.mouse.empty()) << "the mouse reported with nobody moving it";

    // The pointer over the main window, moved right and then up, a few steps each, as a hand moves it (the class
    // driver's two transfers that waited since before the start complete unseen): the mouse's reports carry
    // both ways. A motion whose reports carry another way too fails: each step goes one way only.
    const RECT shown = RootRect(frame);
    POINT at{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
    m_screen.MoveTo(at);
    const auto steps = [&](int dx, int dy) {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            at = {at.x + dx, at.y + dy};
            m_screen.MoveTo(at);
        }
    };
    steps(12, 0);
    EXPECT_TRUE(WaitUntil([&] { return HasMotion((seen = Records()).mouse, 1, 0); }))
        << seen.mouse.size() << " mouse reports, none to the right";
    steps(0, -9);
    EXPECT_TRUE(WaitUntil([&] { return HasMotion((seen = Records()).mouse, 0, -1); }))
        << seen.mouse.size() << " mouse reports, none upwards";
    EXPECT_FALSE(HasMotion(seen.mouse, -1, 0) || HasMotion(seen.mouse, 0, 1)) << "the mouse went the other way";

    // A key, pressed a few times: the keyboard's reports hold its usage ('q' is 0x14).
    for (int i = 0; i < 3; ++i)
        m_screen.Key(XK_q);
    const auto holdsQ = [](const std::vector<std::vector<UCHAR>>& reports) {
        for (const auto& report : reports) {
            if (report.size() == 8 && std::find(report.begin() + 2, report.end(), 0x14) != report.end())
                return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] { return holdsQ((seen = Records()).keyboard); }))
        << seen.keyboard.size() << " keyboard reports, none with the key";

    // The main window with the records flowing, its list at the newest ones, as the screen shows it.
    m_gui.Call([this] {
        CListCtrl& list = dynamic_cast<CLogListView*>(Live()->GetFirstView())->GetListCtrl();
        list.EnsureVisible(list.GetItemCount() - 1, FALSE);
        ::RedrawWindow(Frame()->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const RECT whole = m_screen.WindowRect(window);
    XScreen::SavePng(m_screen.Read(whole), whole.right - whole.left, tdl::test::PicturePath("desk_main_window.png"));
}

// "idle" alone: the polling, and nothing of the mouse however the pointer moves.
TEST_F(DeskOnScreenTest, TheIdleDeskMakesOnlyTheIdleTraffic) {
    std::vector<std::string> args = {"--desk", "idle"};
    std::string error;
    ASSERT_TRUE(TakeDeskOption(args, error)) << error;
    const HWND frame = m_gui.Call([this] { return StartWithEverythingTicked(); });
    ASSERT_NE(frame, nullptr) << "the program did not start";
    ASSERT_NE(ShownAndCapturing(), 0u) << "no capture of every device on the screen";
    const RECT shown = RootRect(frame);
    const POINT centre{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
    m_screen.MoveTo(centre);
    m_screen.MoveTo({centre.x + 40, centre.y + 40});
    Seen seen;
    EXPECT_TRUE(WaitUntil([&] {
        seen = Records();
        return seen.records["stick"] > 0 && seen.records["printer"] > 0 && seen.hubPolls > 0;
    })) << "no polling";
    // Some more seconds of it: no copy, no device but the polled ones.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    seen = Records();
    EXPECT_EQ(seen.writes, 0u);
    for (const char* quiet : {"mouse", "keyboard", "loopback"})
        EXPECT_EQ(seen.records[quiet], 0u) << quiet;
}

} // namespace
