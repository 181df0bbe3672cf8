// "Boot Logging" and "Capture hot plugs" on the scripted control device: the requests and the boot-flag word
// for a table of settings, a failure at each step leaving capture on the next boot off with its message, the
// menu texts and checks, and the hot-plug switch with its toolbar tooltip.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GkCommandBars.h"
#include "GkToolBar.h"
#include "app/ui/frame/MainFrameIds.h"
#include "tests/app/core/HelpMenuFixture.h"
#include "tests/app/ui/CommandState.h"

namespace {

constexpr char kSet[] = "Tindaloft has been configured to capture USB events on next system boot.";
constexpr char kFailed[] = "Tindaloft could not be configured to capture USB events on next system boot.";

class BootLoggingTest : public apptest::HelpMenuTest {
protected:
    // The requests of the boot-logging codes since the last call, by name, and forgets them.
    std::vector<std::string> TakeRequests() {
        std::vector<std::string> names;
        for (const tdl::test::FakeRequest& request : m_fake->Requests()) {
            if (request.code == IOCTL_TINDALOFT_CLR_REGNODES)
                names.emplace_back("CLR_REGNODES");
            else if (request.code == IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS)
                names.emplace_back("SET_DEVOBJ_FLAGS");
            else if (request.code == IOCTL_TINDALOFT_SET_BOOTFLAG)
                names.emplace_back("SET_BOOTFLAG " + std::to_string(Word(request)));
        }
        m_fake->ClearRequests();
        return names;
    }
    static ULONG Word(const tdl::test::FakeRequest& request) {
        ULONG word = 0;
        if (request.input.size() == sizeof word)
            std::memcpy(&word, request.input.data(), sizeof word);
        return word;
    }
    mainwin_test::CommandState Show(UINT nID) { return mainwin_test::UpdateCommand(m_starter->MainFrame(), nID); }
};

TEST_F(BootLoggingTest, OnSendsTheSelectionThenTheFlagWordAndOffSendsTheWordAlone) {
    const struct {
        bool miniportHook;
        DWORD memlog;
        ULONG on, off;
    } cases[] = {
        {false, 0, 0x1, 0x0},        {true, 0, 0x3, 0x2},      {false, 0x5, 0x15, 0x14},
        {true, 0x1FF, 0x7FF, 0x7FE}, {false, 0x200, 0x1, 0x0}, // beyond the driver's nine switches
    };
    CTindaloftApp& app = Start();
    EXPECT_EQ(Show(ID_CAPTURE_BOOTLOGGING).text, "Enable &logging during reboot");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on);
        app.m_Settings.EnableMiniportHook = c.miniportHook;
        app.m_Settings.MemlogFlags = c.memlog;
        Command(ID_CAPTURE_BOOTLOGGING);
        EXPECT_TRUE(app.m_Settings.CaptureOnceOnBoot);
        EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"CLR_REGNODES", "SET_DEVOBJ_FLAGS",
                                                            "SET_BOOTFLAG " + std::to_string(c.on)}));
        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kSet);
        EXPECT_EQ(boxes[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
        const mainwin_test::CommandState on = Show(ID_CAPTURE_BOOTLOGGING);
        EXPECT_TRUE(on.enabled);
        EXPECT_EQ(on.check, 1);
        EXPECT_EQ(on.text, "Disable &logging during reboot");

        Command(ID_CAPTURE_BOOTLOGGING);
        EXPECT_FALSE(app.m_Settings.CaptureOnceOnBoot);
        EXPECT_EQ(TakeRequests(), std::vector<std::string>{"SET_BOOTFLAG " + std::to_string(c.off)});
        EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());
        EXPECT_EQ(Show(ID_CAPTURE_BOOTLOGGING).check, 0);
        EXPECT_EQ(Show(ID_CAPTURE_BOOTLOGGING).text, "Enable &logging during reboot");
    }
}

TEST_F(BootLoggingTest, AFailureAtAnyStepLeavesItOffWithItsMessage) {
    const struct {
        const char* step;
        ULONG failedCode; // 0: the device cannot be opened
        std::vector<std::string> requests;
    } cases[] = {
        {"open", 0, {}},
        {"clear selection", IOCTL_TINDALOFT_CLR_REGNODES, {"CLR_REGNODES"}},
        {"selection", IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, {"CLR_REGNODES", "SET_DEVOBJ_FLAGS"}},
        {"boot flag", IOCTL_TINDALOFT_SET_BOOTFLAG, {"CLR_REGNODES", "SET_DEVOBJ_FLAGS", "SET_BOOTFLAG 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        TearDown();
        SetUp();
        CTindaloftApp& app = Start();
        app.m_Settings.MemlogFlags = 0;
        if (c.failedCode != 0)
            m_fake->Fail(c.failedCode, STATUS_UNSUCCESSFUL);
        else
            m_fake.reset(); // the driver's device is gone
        Command(ID_CAPTURE_BOOTLOGGING);
        EXPECT_FALSE(app.m_Settings.CaptureOnceOnBoot);
        if (m_fake != nullptr)
            EXPECT_EQ(TakeRequests(), c.requests);
        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kFailed);
        EXPECT_EQ(boxes[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(Show(ID_CAPTURE_BOOTLOGGING).check, 0);
    }
}

TEST_F(BootLoggingTest, BothSwitchesWorkOnlyForALiveCaptureAndHotPlugsSwitchTheirTooltip) {
    CTindaloftApp& app = Start();
    CGkCommandBars* pBars = m_starter->MainFrame()->GetCommandBars();
    ASSERT_NE(pBars, nullptr);
    CGkControl* pButton = pBars->FindControl(ID_CAPTURE_HOTPLUGS);
    ASSERT_NE(pButton, nullptr);
    app.m_Settings.AutoEnable = true;
    EXPECT_EQ(Show(ID_CAPTURE_HOTPLUGS).check, 1);
    EXPECT_EQ(pButton->GetTooltip(), CString("Disable capture of hot plugs"));
    Command(ID_CAPTURE_HOTPLUGS);
    EXPECT_FALSE(app.m_Settings.AutoEnable);
    EXPECT_EQ(Show(ID_CAPTURE_HOTPLUGS).check, 0);
    EXPECT_EQ(pButton->GetTooltip(), CString("Enable capture of hot plugs"));
    Command(ID_CAPTURE_HOTPLUGS);
    EXPECT_TRUE(app.m_Settings.AutoEnable);
    EXPECT_TRUE(Show(ID_CAPTURE_HOTPLUGS).enabled);
    EXPECT_TRUE(Show(ID_CAPTURE_BOOTLOGGING).enabled);

    // Without a live capture neither can be changed.
    Command(ID_FILE_CLOSE);
    ASSERT_EQ(ActiveDocument(), nullptr);
    EXPECT_FALSE(Show(ID_CAPTURE_HOTPLUGS).enabled);
    EXPECT_FALSE(Show(ID_CAPTURE_BOOTLOGGING).enabled);
}

} // namespace
