// The program started on the default simulated machine with the capture driver, on the virtual clock, with
// its main window shown and a live capture open: what the main frame's tests drive. The kernel's headers come
// first: the framework's ASSERT yields to the kernel's.
#pragma once

#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GkDockingPane.h"
#include "GkDockingPaneManager.h"
#include "NtClock.h"
#include "WinUiControl.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "tests/support/AppStarter.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace mainwin_test {

class MainWindowTest : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
        UseVirtualClock();
        m_starter = std::make_unique<apptest::AppStarter>();
    }
    void TearDown() override {
        if (m_starter != nullptr && m_starter->MainFrame() != nullptr)
            m_starter->Exit();
        m_starter.reset();
        MachineTest::TearDown();
    }

    // The program started again on the same registry (no splash window), its main window shown; with
    // `liveCapture` a live capture opened as File New opens it.
    CMainFrame* Start(bool liveCapture = true) {
        if (m_starter->MainFrame() != nullptr)
            m_starter->Exit();
        m_starter->Make("/Embedding");
        EXPECT_TRUE(m_starter->Start());
        CMainFrame* pFrame = m_starter->MainFrame();
        if (pFrame != nullptr && liveCapture)
            Command(ID_FILE_NEW);
        win32::PumpUiMessages();
        apptest::AppStarter::TakeBoxes();
        return pFrame;
    }
    // The program's end as a user closes its window: the frame saves its layout.
    void Close() {
        CMainFrame* pFrame = m_starter->MainFrame();
        if (pFrame != nullptr)
            pFrame->SendMessage(WM_CLOSE);
        apptest::AppStarter::TakeQuit();
        win32::PumpUiMessages();
        m_starter->Exit();
    }

    CMainFrame* Frame() const { return m_starter->MainFrame(); }
    CTindaloftApp& App() { return m_starter->App(); }
    LRESULT Command(UINT nID) { return Frame()->SendMessage(WM_COMMAND, nID, 0); }
    CGkDockingPane* Pane(UINT nID) { return Frame()->GetPaneManager().FindPane(nID); }
    // The pane's group rectangle in the frame's client coordinates; empty while the group is hidden.
    CRect GroupRect(UINT nID) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        if (pGroup == nullptr || !pGroup->IsWindowVisible())
            return CRect();
        CRect rc;
        pGroup->GetWindowRect(&rc);
        Frame()->ScreenToClient(&rc);
        return rc;
    }
    // Moves the virtual clock on, serving each timer as it comes due.
    static void Advance(int nMilliseconds) { win32::AdvanceUiClock(static_cast<ULONG>(nMilliseconds)); }
    // The idle-time update of the frame's bars, as the application's message loop runs it.
    void Idle() {
        Frame()->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
        Frame()->SendMessage(WM_IDLEUPDATECMDUI, TRUE, 0);
    }
    // Serves this thread's messages until `done` (at most about 10 s of real time, for what other threads
    // deliver).
    static bool PumpUntil(const std::function<bool()>& done) {
        for (int round = 0; round < 10000; ++round) {
            win32::PumpUiMessages();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    std::unique_ptr<apptest::AppStarter> m_starter;
};

} // namespace mainwin_test
