// The splash window and the About box: their version texts and the program's picture, drawn by CBigIcon as a
// framed bitmap with a shadow. The About box runs on the default machine, so that the driver's version is the
// capture driver's own answer.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "WinGdi.h"
#include "WinUiControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/system/ProgramVersion.h"
#include "app/ui/dialogs/SplashWnd.h"
#include "tests/support/AppStarter.h"
#include "tests/support/Pictures.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kShadow = RGB(64, 64, 64);

std::string ItemText(HWND dialog, int id) {
    char text[128] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// The picture button: its size is the bitmap's plus 8 each way, and its pixels show the frame, the shadow
// strips and the bitmap copied at (2, 2).
void ExpectBigIcon(HWND dialog) {
    HWND icon = ::GetDlgItem(dialog, IDC_BIGICON);
    ASSERT_NE(icon, nullptr);
    HBITMAP bitmap = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BIGICON));
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    ASSERT_NE(::GetObjectA(bitmap, sizeof bm, &bm), 0);
    RECT client{};
    ::GetClientRect(icon, &client);
    const int w = client.right;
    const int h = client.bottom;
    EXPECT_EQ(w, bm.bmWidth + 8);
    EXPECT_EQ(h, bm.bmHeight + 8);

    // The frame's corners, the two shadow strips, and what lies outside both.
    EXPECT_EQ(win32::ClientPixel(icon, 0, 0), kBlack);
    EXPECT_EQ(win32::ClientPixel(icon, w - 5, 0), kBlack);
    EXPECT_EQ(win32::ClientPixel(icon, 0, h - 5), kBlack);
    EXPECT_EQ(win32::ClientPixel(icon, w - 5, h - 5), kBlack);
    for (int y : {4, h / 2, h - 1}) {
        EXPECT_EQ(win32::ClientPixel(icon, w - 1, y), kShadow) << y;
        EXPECT_EQ(win32::ClientPixel(icon, w - 4, y), kShadow) << y;
    }
    for (int x : {4, w / 2, w - 1}) {
        EXPECT_EQ(win32::ClientPixel(icon, x, h - 1), kShadow) << x;
    }
    EXPECT_NE(win32::ClientPixel(icon, w - 1, 2), kShadow);
    EXPECT_NE(win32::ClientPixel(icon, 2, h - 1), kShadow);

    // The bitmap, pixel for pixel on a grid.
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    int compared = 0;
    for (int y = 0; y < bm.bmHeight; y += 5) {
        for (int x = 0; x < bm.bmWidth; x += 5) {
            ASSERT_EQ(win32::ClientPixel(icon, x + 2, y + 2), ::GetPixel(memory, x, y)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(bitmap);
}

TEST(SplashWnd, ShowsTheReleaseOfTheProgramFileAndThePicture) {
    apptest::AppStarter starter;
    starter.Make();
    CSplashWnd splash;
    ASSERT_TRUE(splash.Create());
    splash.ShowWindow(SW_SHOW);
    splash.UpdateWindow();
    // No caption: the dialog is only its client area and a thin border.
    EXPECT_EQ(splash.GetStyle() & WS_CAPTION, static_cast<DWORD>(WS_BORDER));

    const PROGRAM_VERSION version = GetProgramVersion();
    char release[64];
    std::snprintf(release, sizeof release, "Tindaloft Release %u.%u.%u", version.Major, version.Minor,
                  version.Revision);
    EXPECT_EQ(ItemText(splash.m_hWnd, IDC_SPLASH_RELEASE), release);
    ExpectBigIcon(splash.m_hWnd);
    EXPECT_TRUE(tdl::test::SavePicture(splash.m_hWnd, "splash.png"));

    splash.Close();
    EXPECT_EQ(splash.m_hWnd, nullptr);
    splash.Close(); // nothing left to close
}

class AboutOnMachine : public tdl::test::MachineTest {};

TEST_F(AboutOnMachine, ShowsTheProgramsVersionAndTheCaptureDriversOwn) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    apptest::AppStarter starter;
    CTindaloftApp& app = starter.Make("/Embedding");
    ASSERT_TRUE(starter.Start());

    std::string program;
    std::string driver;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest&, HWND dialog) {
            program = ItemText(dialog, IDC_ABOUT_VERSION);
            driver = ItemText(dialog, IDC_ABOUT_DRIVER_VERSION);
            ExpectBigIcon(dialog);
            EXPECT_TRUE(tdl::test::SavePicture(dialog, "about.png"));
            return IDOK;
        },
        "100");
    ::SendMessageA(app.m_pMainWnd->m_hWnd, WM_COMMAND, ID_APP_ABOUT, 0);
    EXPECT_EQ(win32::PendingModalScripts(), 0u);

    const PROGRAM_VERSION version = GetProgramVersion();
    char expected[64];
    std::snprintf(expected, sizeof expected, "Tindaloft Version %u.%u.%u Build %u", version.Major, version.Minor,
                  version.Revision, version.Build);
    EXPECT_EQ(program, expected);
    EXPECT_EQ(driver, "KxTdloft Version 3.41.0 Build 627");
    starter.Exit();
}

} // namespace
