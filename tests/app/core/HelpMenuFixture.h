// The application object started on the scripted control device, with its main window and a live capture
// document, for the commands of the Help menu: they are sent as the menu sends them (WM_COMMAND to the main
// window, whose update handlers may drop them).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AfxOleControl.h"
#include "NtClock.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/MainFrame.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"

namespace apptest {

class HelpMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
        DRIVER_INFO info{};
        info.MajorVersion = TINDALOFT_DRIVER_MAJOR;
        info.MinorVersion = TINDALOFT_DRIVER_MINOR;
        info.Revision = TINDALOFT_DRIVER_REVISION;
        info.Build = TINDALOFT_DRIVER_BUILD;
        m_fake->ReplyStruct(IOCTL_TINDALOFT_INFO, info);
        m_starter = std::make_unique<AppStarter>();
    }
    void TearDown() override {
        m_starter.reset();
        m_fake.reset();
        nt::clock::Reset();
        nt::pnp::Shutdown();
    }

    // Starts the program without its splash window, opens a live capture and forgets what the start asked.
    CTindaloftApp& Start() {
        CTindaloftApp& app = m_starter->Make("/Embedding");
        EXPECT_TRUE(m_starter->Start());
        Command(ID_FILE_NEW);
        EXPECT_NE(ActiveDocument(), nullptr);
        AppStarter::TakeBoxes();
        m_fake->ClearRequests();
        return app;
    }
    HWND MainWindow() const {
        CMainFrame* pFrame = m_starter->MainFrame();
        return pFrame != nullptr ? pFrame->GetSafeHwnd() : nullptr;
    }
    // The capture document of the main window's active child frame, or nullptr.
    CUSBLog* ActiveDocument() const {
        CMainFrame* pFrame = m_starter->MainFrame();
        return pFrame != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
    }
    void Command(UINT nID) { ::SendMessageA(MainWindow(), WM_COMMAND, nID, 0); }
    // Whether the command is enabled, as its menu item would show it.
    bool IsEnabled(UINT nID) {
        struct Probe : CCmdUI {
            void Enable(BOOL bOn) override {
                enabled = bOn != FALSE;
                m_bEnableChanged = TRUE;
            }
            bool enabled = true;
        } probe;
        probe.m_nID = nID;
        probe.DoUpdate(m_starter->MainFrame(), FALSE);
        return probe.enabled;
    }

    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
    std::unique_ptr<AppStarter> m_starter;
};

} // namespace apptest
