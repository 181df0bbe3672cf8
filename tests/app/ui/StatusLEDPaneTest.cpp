// The capture LED on a status bar of its own: each image drawn centred inside the bar's borders with its teal
// showing the bar, and a missing image drawing nothing for its state while the other panes draw on.
#include "app/ui/frame/StatusLEDPane.h"

#include <gtest/gtest.h>

#include <memory>

#include "GkStatusBar.h"
#include "WinResourceTable.h"
#include "app/core/app/AppResources.h"
#include "app/ui/frame/MainFrameIds.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

constexpr COLORREF kTeal = RGB(0, 128, 128);

class StatusLEDPaneTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterAppResources();
        m_pFrame = new CFrameWnd;
        ASSERT_TRUE(m_pFrame->Create(nullptr, "LED", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 120)));
        m_pBar = std::make_unique<CGkStatusBar>();
        ASSERT_TRUE(m_pBar->Create(m_pFrame));
        const UINT indicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPT};
        ASSERT_TRUE(m_pBar->SetIndicators(indicators, 2));
    }
    void TearDown() override {
        if (m_pFrame != nullptr)
            m_pFrame->DestroyWindow(); // the frame deletes itself
        m_pBar.reset();                // and the bar's panes, with their bitmaps, go
        UiTest::TearDown();
    }
    // The LED added as the main frame adds it, its images loaded with `failedLoads` resource loads failing.
    CStatusLEDPane* AddLed(unsigned failedLoads) {
        auto* pLED = new CStatusLEDPane;
        win32::FailResourceLoads(failedLoads);
        pLED->InitLeds();
        win32::FailResourceLoads(0);
        pLED->SetWidth(15);
        m_pBar->AddIndicator(pLED, ID_INDICATOR_LED);
        pLED->SetStyle(pLED->GetStyle() | SBPS_NOBORDERS);
        m_pFrame->RecalcLayout();
        return pLED;
    }
    // How many pixels of the LED pane have each colour.
    int Pixels(const tdl::test::Picture& picture, COLORREF colour) {
        CRect rc;
        m_pBar->GetItemRect(m_pBar->CommandToIndex(ID_INDICATOR_LED), &rc);
        ::MapWindowPoints(m_pBar->GetSafeHwnd(), m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return picture.Count(rc, [&](COLORREF clr) { return clr == colour; });
    }

    CWinApp m_app{"Tindaloft"};
    CFrameWnd* m_pFrame = nullptr;
    std::unique_ptr<CGkStatusBar> m_pBar; // its window goes with the frame's
};

TEST_F(StatusLEDPaneTest, EachImageIsCentredInsideTheBordersWithItsTealShowingTheBar) {
    CStatusLEDPane* pLED = AddLed(0);
    for (UINT nImage : {IDB_LED_OFF, IDB_LED_ON_A, IDB_LED_ON_B}) {
        const CBmpInfo& info = pLED->GetInfo(nImage);
        ASSERT_NE(info.m_pBitmap, nullptr) << nImage;
        EXPECT_EQ(info.m_size, CSize(12, 12));
        EXPECT_EQ(info.m_nPlacement, 3u);
        EXPECT_EQ(info.m_clrTransparent, kTeal);
    }
    EXPECT_EQ(pLED->GetCurrent(), IDB_LED_OFF);
    EXPECT_FALSE(pLED->SetCurrent(IDB_LED_OFF));
    EXPECT_TRUE(pLED->SetCurrent(IDB_LED_ON_A));
    pLED->Redraw();
    win32::PumpUiMessages();

    tdl::test::Picture picture(m_pFrame->GetSafeHwnd(), "status_led_on_a.png");
    ASSERT_TRUE(picture.IsValid());
    EXPECT_EQ(Pixels(picture, kTeal), 0);
    // The image's white highlight sits in its upper left; the rim's corners are the bar's own colour.
    CRect rc;
    m_pBar->GetItemRect(m_pBar->CommandToIndex(ID_INDICATOR_LED), &rc);
    ::MapWindowPoints(m_pBar->GetSafeHwnd(), m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
    const CPoint centre = rc.CenterPoint();
    EXPECT_EQ(picture.Client(centre.x + 2, centre.y + 2), RGB(232, 24, 24));
    const COLORREF ground = picture.Client(rc.left, rc.top);
    EXPECT_EQ(picture.Client(centre.x - 6, centre.y - 6), ground) << "the image's teal corner";
}

TEST_F(StatusLEDPaneTest, AMissingImageDrawsNothingForItsStateAndTheOtherPanesDrawOn) {
    CStatusLEDPane* pLED = AddLed(1); // the off image, loaded first, is missing
    EXPECT_EQ(pLED->GetInfo(IDB_LED_OFF).m_pBitmap, nullptr);
    ASSERT_NE(pLED->GetInfo(IDB_LED_ON_B).m_pBitmap, nullptr);
    m_pBar->SetPaneText(m_pBar->CommandToIndex(ID_INDICATOR_CAPT), "CAPT");
    win32::PumpUiMessages();
    tdl::test::Picture off(m_pFrame->GetSafeHwnd(), "status_led_missing.png");
    EXPECT_EQ(Pixels(off, RGB(112, 112, 112)), 0);
    EXPECT_EQ(Pixels(off, kTeal), 0);
    CRect capt;
    m_pBar->GetItemRect(m_pBar->CommandToIndex(ID_INDICATOR_CAPT), &capt);
    ::MapWindowPoints(m_pBar->GetSafeHwnd(), m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&capt), 2);
    capt.DeflateRect(3, 3);
    EXPECT_GT(off.Count(capt, tdl::test::IsDark), 10) << "CAPT still drawn";

    pLED->SetCurrent(IDB_LED_ON_B);
    pLED->Redraw();
    win32::PumpUiMessages();
    tdl::test::Picture on(m_pFrame->GetSafeHwnd(), "status_led_missing_then_on.png");
    EXPECT_GT(Pixels(on, RGB(160, 0, 0)), 20);
}

} // namespace
