// Devices plugged and unplugged while the program runs, on the simulated machine with the capture driver: the
// frame turns the device notification into WM_APP+6, reads the driver's change log and gives it to the live
// capture, which redraws its tree when it is the active document and marks it for later behind a saved log;
// with no live capture the log is still drained; closing a saved log's window leaves the notifications to the
// live capture.
#include "tests/app/ui/MainWindowFixture.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/core/records/LogRecords.h"
#include "app/devices/StackTree.h"
#include "platform/sim/StandardDevices.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/support/RecordingPanes.h"

namespace mainwin_test {
namespace {

// The frame's messages of interest in order of arrival, seen through a subclass of its window.
class FrameSpy {
public:
    explicit FrameSpy(HWND hFrame) : m_hFrame(hFrame) {
        s_pSpy = this;
        m_previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hFrame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameSpy::Procedure)));
    }
    ~FrameSpy() {
        if (::IsWindow(m_hFrame))
            ::SetWindowLongPtrA(m_hFrame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        s_pSpy = nullptr;
    }
    FrameSpy(const FrameSpy&) = delete;
    FrameSpy& operator=(const FrameSpy&) = delete;

    std::vector<std::string> events;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL)
            s_pSpy->events.emplace_back("arrival");
        else if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEREMOVECOMPLETE)
            s_pSpy->events.emplace_back("removal");
        else if (message == CMainFrame::WM_REFRESH_DEVICE_TREE)
            s_pSpy->events.emplace_back("refresh");
        return ::CallWindowProcA(s_pSpy->m_previous, hwnd, message, wParam, lParam);
    }

    HWND m_hFrame;
    WNDPROC m_previous = nullptr;
    static inline FrameSpy* s_pSpy = nullptr;
};

// Counts of a name in a list.
size_t Count(const std::vector<std::string>& names, const std::string& name) {
    return static_cast<size_t>(std::count(names.begin(), names.end(), name));
}

class HotPlugTest : public MainWindowTest {
protected:
    // A saved log with no records, written before the program holds the capture banks.
    static std::string WriteSavedLog() {
        const std::string path = ::testing::TempDir() + "hotplug-saved.tdloft";
        CUSBLog saved;
        EXPECT_TRUE(saved.GetLogRecords()->CreateBuffer(4096, 0));
        const std::vector<BYTE> bytes = apptest::Store(saved);
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        return path;
    }
    // That log opened in the saved logs' window.
    CUSBLog* OpenSavedLog(const std::string& path) {
        auto* pDoc = dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(path.c_str()));
        win32::PumpUiMessages();
        return pDoc;
    }
    sim::UsbHubModel& Hub() { return *m_machine->DeviceAs<sim::UsbHubModel>("hub"); }
};

TEST_F(HotPlugTest, APlugReachesTheActiveLiveCaptureWhichDissectsAndRedrawsItsTree) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    CUSBLog* pLive = pFrame->GetActiveLogDocument();
    ASSERT_NE(pLive, nullptr);
    // The live capture's list asked for the seven interface classes.
    for (int i = 0; i < CMainFrame::PnpNotificationCount; ++i)
        EXPECT_NE(pFrame->GetPnpNotification(i), nullptr) << i;
    const INT_PTR stacksBefore = pLive->GetStackTree()->GetCount();
    FrameSpy spy(pFrame->GetSafeHwnd());
    tdl::test::RecordingPanes panes;

    ASSERT_TRUE(m_machine->Plug(Hub(), 4, sim::MakeMouse("second mouse")));
    ASSERT_TRUE(PumpUntil([&] { return pLive->GetStackTree()->GetCount() > stacksBefore; }));
    win32::PumpUiMessages();
    ASSERT_GE(spy.events.size(), 2u);
    EXPECT_EQ(spy.events.front(), "arrival");
    EXPECT_LT(std::find(spy.events.begin(), spy.events.end(), "arrival"),
              std::find(spy.events.begin(), spy.events.end(), "refresh"));
    EXPECT_GE(Count(panes.names, "DoRefresh"), 1u);
    EXPECT_FALSE(pLive->IsDeviceTreeModified());

    spy.events.clear();
    panes.Take();
    ASSERT_TRUE(m_machine->Unplug("second mouse"));
    ASSERT_TRUE(PumpUntil([&] { return Count(panes.names, "DoRefresh") > 0; }));
    EXPECT_EQ(spy.events.front(), "removal");
}

TEST_F(HotPlugTest, BehindASavedLogTheLiveCaptureOnlyMarksItsTreeAndClosingTheLogKeepsTheNotifications) {
    const std::string path = WriteSavedLog();
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    CUSBLog* pLive = pFrame->GetActiveLogDocument();
    ASSERT_NE(pLive, nullptr);
    CUSBLog* pSaved = OpenSavedLog(path);
    ASSERT_NE(pSaved, nullptr);
    ASSERT_EQ(pFrame->GetActiveLogDocument(), pSaved);
    pLive->SetDeviceTreeModified(FALSE);
    const INT_PTR stacksBefore = pLive->GetStackTree()->GetCount();
    tdl::test::RecordingPanes panes;

    ASSERT_TRUE(m_machine->Plug(Hub(), 4, sim::MakeMouse("second mouse")));
    ASSERT_TRUE(PumpUntil([&] { return pLive->IsDeviceTreeModified() != FALSE; }));
    EXPECT_GT(pLive->GetStackTree()->GetCount(), stacksBefore);
    EXPECT_EQ(Count(panes.Take(), "DoRefresh"), 0u);

    // The saved log's window goes; the live capture still hears of the next change.
    pSaved->OnCloseDocument();
    win32::PumpUiMessages();
    ASSERT_EQ(pFrame->GetActiveLogDocument(), pLive);
    for (int i = 0; i < CMainFrame::PnpNotificationCount; ++i)
        EXPECT_NE(pFrame->GetPnpNotification(i), nullptr) << i;
    ASSERT_TRUE(m_machine->Unplug("second mouse"));
    ASSERT_TRUE(PumpUntil([&] { return Count(panes.names, "DoRefresh") > 0; }));
}

TEST_F(HotPlugTest, WithNoLiveCaptureTheChangeLogIsStillDrained) {
    CMainFrame* pFrame = Start(false);
    ASSERT_NE(pFrame, nullptr);
    ASSERT_EQ(pFrame->GetLiveDocument(), nullptr);
    EXPECT_EQ(pFrame->GetPnpNotification(1), nullptr); // no live capture asked for them
    // The driver keeps a change log all the same (a live capture that stopped short of closing it, say).
    {
        CKxTdloft device;
        ASSERT_TRUE(device.TryDeviceOpen());
        ASSERT_TRUE(device.IoctlEnableChangeLogging(0));
        device.DeviceClose();
    }
    FrameSpy spy(pFrame->GetSafeHwnd());
    ASSERT_TRUE(m_machine->Plug(Hub(), 4, sim::MakeMouse("second mouse")));
    // Every window hears that device nodes changed.
    ASSERT_TRUE(PumpUntil([&] { return Count(spy.events, "refresh") > 0; }));
    win32::PumpUiMessages();
    CKxTdloft device;
    ASSERT_TRUE(device.TryDeviceOpen());
    std::vector<BYTE> buffer(CMainFrame::ChangeLogBufferSize);
    DWORD dwLength = CMainFrame::ChangeLogBufferSize;
    EXPECT_TRUE(device.IoctlReadChangeLog(buffer.data(), dwLength));
    EXPECT_EQ(dwLength, 0u) << "the frame read what the plug logged";
    device.IoctlDisableChangeLogging();
    device.DeviceClose();
}

} // namespace
} // namespace mainwin_test
