// The frame's placement in the profile: round trips of normal and maximised frames into a new frame, values
// that must not load (absent, cut short, another version, noise), and a placement from a larger screen.
#include <gtest/gtest.h>

#include <random>

#include "GkProfileValue.h"
#include "GkTestSupport.h"
#include "NtRegistryStore.h"
#include "WinMachineProfile.h"
#include "XTWindowPos.h"

namespace {

class WindowPosTest : public gk_test::GkWindowTest {
protected:
    void SetUp() override {
        GkWindowTest::SetUp();
        nt::registry::Reset();
        m_app.SetRegistryKey("Vellumcrest");
        m_profile = win32::GetMachineProfile();
    }
    void TearDown() override {
        for (CFrameWnd* pFrame : m_frames)
            pFrame->DestroyWindow(); // the frame deletes itself
        win32::SetMachineProfile(m_profile);
        GkWindowTest::TearDown();
    }
    CFrameWnd* NewFrame(bool bVisible, CRect rc = CRect(10, 20, 610, 420)) {
        auto* pFrame = new CFrameWnd;
        EXPECT_TRUE(pFrame->Create(nullptr, "frame", WS_OVERLAPPEDWINDOW | (bVisible ? WS_VISIBLE : 0), rc));
        m_frames.push_back(pFrame);
        return pFrame;
    }
    static CRect Normal(CWnd* pWnd) {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        ::GetWindowPlacement(pWnd->GetSafeHwnd(), &wp);
        return CRect(wp.rcNormalPosition);
    }
    static std::vector<BYTE> Stored() {
        LPBYTE p = nullptr;
        UINT n = 0;
        std::vector<BYTE> bytes;
        if (AfxGetApp()->GetProfileBinary("WindowPos", GK_PROFILE_ENTRY, &p, &n))
            bytes.assign(p, p + n);
        delete[] p;
        return bytes;
    }
    static void Store(std::vector<BYTE> bytes) {
        AfxGetApp()->WriteProfileBinary("WindowPos", GK_PROFILE_ENTRY, bytes.data(), static_cast<UINT>(bytes.size()));
    }
    std::vector<CFrameWnd*> m_frames;
    win32::MachineProfile m_profile;
};

TEST_F(WindowPosTest, NormalAndMaximisedFramesReopenAsLeft) {
    CFrameWnd* pFirst = NewFrame(true, CRect(30, 40, 530, 440));
    CXTWindowPos saved;
    ASSERT_TRUE(saved.SaveWindowPos(pFirst));

    CFrameWnd* pSecond = NewFrame(false);
    CXTWindowPos loaded;
    ASSERT_TRUE(loaded.LoadWindowPos(pSecond));
    EXPECT_EQ(loaded.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_FALSE(pSecond->IsWindowVisible()) << "showing is the caller's";
    EXPECT_EQ(Normal(pSecond), CRect(30, 40, 530, 440));

    pFirst->ShowWindow(SW_SHOWMAXIMIZED);
    ASSERT_TRUE(saved.SaveWindowPos(pFirst));
    CFrameWnd* pThird = NewFrame(false);
    ASSERT_TRUE(loaded.LoadWindowPos(pThird));
    EXPECT_EQ(loaded.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    pThird->ShowWindow(static_cast<int>(loaded.showCmd));
    EXPECT_TRUE(pThird->IsZoomed());
    EXPECT_EQ(Normal(pThird), CRect(30, 40, 530, 440)) << "the normal rectangle survives maximising";

    pFirst->ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(saved.SaveWindowPos(pFirst));
    ASSERT_TRUE(loaded.LoadWindowPos());
    EXPECT_EQ(loaded.showCmd, static_cast<UINT>(SW_SHOWNORMAL)) << "a minimised frame reopens normal";
}

TEST_F(WindowPosTest, BadValuesLoadNothingAndKeepThePlacement) {
    CFrameWnd* pFrame = NewFrame(true, CRect(50, 60, 450, 360));
    CXTWindowPos pos;
    EXPECT_FALSE(pos.LoadWindowPos(pFrame)) << "nothing stored";
    ASSERT_TRUE(pos.SaveWindowPos(pFrame));
    const std::vector<BYTE> good = Stored();
    ASSERT_FALSE(good.empty());

    std::vector<std::vector<BYTE>> bad;
    for (size_t n = 0; n < good.size(); ++n)
        bad.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
    std::vector<BYTE> longer = good;
    longer.push_back(0);
    bad.push_back(longer);
    std::vector<BYTE> version = good;
    version[4] = 2;
    bad.push_back(version);
    std::vector<BYTE> inverted = good; // right before left
    inverted[12] = 0xFF, inverted[13] = 0xFF, inverted[14] = 0xFF, inverted[15] = 0x7F;
    bad.push_back(inverted);
    std::mt19937 rng(7);
    for (int i = 0; i < 20; ++i) {
        std::vector<BYTE> noise(good.size());
        for (BYTE& b : noise)
            b = static_cast<BYTE>(rng());
        bad.push_back(noise);
    }

    CFrameWnd* pOther = NewFrame(true, CRect(100, 100, 300, 300));
    for (size_t i = 0; i < bad.size(); ++i) {
        Store(bad[i]);
        CXTWindowPos probe;
        probe.showCmd = 77;
        EXPECT_FALSE(probe.LoadWindowPos(pOther)) << "value " << i;
        EXPECT_EQ(probe.showCmd, 77u) << "value " << i;
        EXPECT_EQ(Normal(pOther), CRect(100, 100, 300, 300)) << "value " << i;
    }
}

TEST_F(WindowPosTest, PlacementFromALargerScreenLandsOnThisOne) {
    win32::MachineProfile large = m_profile;
    large.screenWidth = 3840;
    large.screenHeight = 2160;
    win32::SetMachineProfile(large);
    CFrameWnd* pFrame = NewFrame(true, CRect(2500, 1500, 3300, 2100));
    CXTWindowPos pos;
    ASSERT_TRUE(pos.SaveWindowPos(pFrame));

    win32::MachineProfile small = m_profile;
    small.screenWidth = 1024;
    small.screenHeight = 768;
    win32::SetMachineProfile(small);
    CFrameWnd* pNew = NewFrame(false);
    ASSERT_TRUE(pos.LoadWindowPos(pNew));
    CRect rc = Normal(pNew);
    EXPECT_EQ(rc.Size(), CSize(800, 600));
    EXPECT_TRUE(CRect(0, 0, 1024, 768).PtInRect(rc.TopLeft()));
    EXPECT_LE(rc.right, 1024);
    EXPECT_LE(rc.bottom, 768);

    // Partly on the screen stays where it was: the user put it there.
    pNew->MoveWindow(900, 600, 400, 300);
    ASSERT_TRUE(pos.SaveWindowPos(pNew));
    ASSERT_TRUE(pos.LoadWindowPos());
    EXPECT_EQ(CRect(pos.rcNormalPosition), CRect(900, 600, 1300, 900));
}

} // namespace
