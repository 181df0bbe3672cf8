// Docking panes in an MDI frame laid out as the main window lays them out: placement of bands, splits and tab
// groups, the announcement before every show, closing and reopening, splitter drags, pictures of captions,
// client edges, splitters and tab strips, and layouts kept in the profile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "GkDockingPaneLayout.h"
#include "GkDockingPaneManager.h"
#include "GkMDIFrameWnd.h"
#include "GkProfileValue.h"
#include "GkTestSupport.h"
#include "NtRegistryStore.h"
#include "WinUiControl.h"

namespace {

constexpr UINT kFrameId = 128;
enum : UINT {
    kDeviceTree = 59523,
    kData = 59525,
    kStack = 59526,
    kLogDetails = 59527,
    kDeviceProps = 59528,
    kSystemProps = 59529,
};
constexpr UINT kBroadcast = WM_APP + 40;

// A pane window that counts a frame broadcast.
class CPaneWnd : public CWnd {
public:
    int m_nBroadcasts = 0;
    LRESULT OnBroadcast(WPARAM, LPARAM) {
        ++m_nBroadcasts;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPaneWnd, CWnd)
ON_MESSAGE(kBroadcast, &CPaneWnd::OnBroadcast)
END_MESSAGE_MAP()

class CDockFrame : public CGkMDIFrameWnd {
public:
    CGkDockingPaneManager m_paneManager;
    std::map<UINT, CPaneWnd> m_windows;
    // Each announcement: the pane id, and whether its window was on show at that moment.
    std::vector<std::pair<UINT, bool>> m_notes;

    LRESULT OnDockingPaneNotify(WPARAM wParam, LPARAM lParam) {
        if (wParam != GKPN_SHOWWINDOW)
            return 0;
        auto* pPane = reinterpret_cast<CGkDockingPane*>(lParam);
        CWnd* pChild = pPane->GetChild();
        m_notes.emplace_back(pPane->GetID(), pChild != nullptr && pChild->IsWindowVisible());
        if (pChild == nullptr) {
            CPaneWnd& wnd = m_windows[pPane->GetID()];
            wnd.Create(AfxRegisterWndClass(0), nullptr, WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), this,
                       pPane->GetID());
            pPane->Attach(&wnd);
        }
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDockFrame, CGkMDIFrameWnd)
ON_MESSAGE(GKWM_DOCKINGPANE_NOTIFY, &CDockFrame::OnDockingPaneNotify)
END_MESSAGE_MAP()

struct PaneRow {
    UINT nID;
    const char* title;
    CSize size;
    GkDockingDirection direction;
};
const PaneRow kPanes[] = {
    {kLogDetails, "Log Details", {180, 140}, gkPaneDockRight},
    {kDeviceProps, "Device Properties", {180, 140}, gkPaneDockBottom},
    {kSystemProps, "System Properties", {180, 140}, gkPaneDockBottom},
    {kData, "Data", {400, 140}, gkPaneDockBottom},
    {kDeviceTree, "USB Device Tree", {300, 400}, gkPaneDockLeft},
    {kStack, "Stack Inspector", {300, 140}, gkPaneDockBottom},
};

class DockingPaneTest : public gk_test::GkWindowTest {
protected:
    void SetUp() override {
        GkWindowTest::SetUp();
        nt::registry::Reset();
        m_app.SetRegistryKey("Vellumcrest");
        AfxRegisterString(kFrameId, "Tindaloft");
        win32::RegisterMenuResource(nullptr, kFrameId, {{MF_POPUP, 0, "&File", {{MF_STRING, 57601, "&Open", {}}}}});
        m_pFrame = NewFrame();
    }
    void TearDown() override {
        for (CDockFrame* pFrame : m_frames)
            pFrame->DestroyWindow(); // the frame deletes itself
        GkWindowTest::TearDown();
    }
    // The frame of the main window: six panes placed as the main window places them, then shown.
    CDockFrame* NewFrame(bool bShow = true) {
        auto* pFrame = new CDockFrame;
        EXPECT_TRUE(pFrame->LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
        m_frames.push_back(pFrame);
        pFrame->MoveWindow(0, 0, 1000, 700);
        CGkDockingPaneManager& m = pFrame->m_paneManager;
        EXPECT_TRUE(m.InstallDockingPanes(pFrame));
        m.SetTheme(9);
        for (const PaneRow& row : kPanes) {
            CGkDockingPane* pPane = m.CreatePane(row.nID, CRect(CPoint(0, 0), row.size), row.direction);
            EXPECT_NE(pPane, nullptr);
            pPane->SetTitle(row.title);
        }
        m.AttachPane(m.FindPane(kSystemProps), m.FindPane(kData));
        m.DockPane(m.FindPane(kStack), gkPaneDockBottom, m.FindPane(kDeviceTree));
        m.AttachPane(m.FindPane(kDeviceProps), m.FindPane(kStack));
        m.EnableKeyboardNavigate(15);
        if (bShow) {
            pFrame->ShowWindow(SW_SHOW);
            win32::PumpUiMessages();
        }
        return pFrame;
    }
    CGkDockingPaneManager& Manager() { return m_pFrame->m_paneManager; }
    CGkDockingPane* Pane(UINT nID) { return Manager().FindPane(nID); }
    // The rectangle of a pane's group in the frame's client coordinates.
    CRect GroupRect(UINT nID, CDockFrame* pFrame = nullptr) {
        pFrame = pFrame ? pFrame : m_pFrame;
        CRect rc;
        pFrame->m_paneManager.FindPane(nID)->GetGroup()->GetWindowRect(&rc);
        pFrame->ScreenToClient(&rc);
        return rc;
    }
    CRect ClientRect(CDockFrame* pFrame = nullptr) {
        pFrame = pFrame ? pFrame : m_pFrame;
        CRect rc;
        ::GetWindowRect(pFrame->m_hWndMDIClient, &rc);
        pFrame->ScreenToClient(&rc);
        return rc;
    }
    // The tiles (visible groups and the MDI client) cover the frame's client exactly once.
    void ExpectTiled(CDockFrame* pFrame) {
        CRect frame;
        pFrame->GetClientRect(&frame);
        std::vector<CRect> tiles{ClientRect(pFrame)};
        std::set<CGkDockingPaneGroup*> seen;
        for (auto& pane : pFrame->m_paneManager.GetPanes()) {
            CGkDockingPaneGroup* pGroup = pane->GetGroup();
            if (pGroup->IsWindowVisible() && seen.insert(pGroup).second)
                tiles.push_back(GroupRect(pane->GetID(), pFrame));
        }
        long area = 0;
        for (size_t i = 0; i < tiles.size(); ++i) {
            EXPECT_GE(tiles[i].Width(), 0);
            EXPECT_GE(tiles[i].Height(), 0);
            CRect inside;
            if (!tiles[i].IsRectEmpty()) {
                inside.IntersectRect(tiles[i], frame);
                EXPECT_EQ(inside, tiles[i]) << "tile " << i << " leaves the frame";
            }
            area += static_cast<long>(tiles[i].Width()) * tiles[i].Height();
            for (size_t j = i + 1; j < tiles.size(); ++j) {
                CRect both;
                EXPECT_FALSE(both.IntersectRect(tiles[i], tiles[j])) << i << " overlaps " << j;
            }
        }
        EXPECT_EQ(area, static_cast<long>(frame.Width()) * frame.Height());
    }
    void ToFrame(CWnd* pWnd, CRect& rc) {
        ::MapWindowPoints(pWnd->GetSafeHwnd(), m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
    }
    int Shown(UINT nID) {
        auto it = m_pFrame->m_windows.find(nID);
        return it != m_pFrame->m_windows.end() && it->second.IsWindowVisible() ? 1 : 0;
    }

    CDockFrame* m_pFrame = nullptr;
    std::vector<CDockFrame*> m_frames;
};

TEST_F(DockingPaneTest, MainWindowPanesTileTheFrame) {
    CRect tree = GroupRect(kDeviceTree), stack = GroupRect(kStack), data = GroupRect(kData),
          log = GroupRect(kLogDetails), client = ClientRect();
    CRect frame;
    m_pFrame->GetClientRect(&frame);
    // Device Tree over Stack Inspector down the left.
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.top, 0);
    EXPECT_EQ(tree.Width(), 300);
    EXPECT_EQ(tree.bottom, stack.top);
    EXPECT_EQ(stack.bottom, frame.bottom);
    EXPECT_EQ(stack.Height(), 140);
    // Data across the bottom to their right; Log Details right, above Data; the client between.
    EXPECT_EQ(data.left, tree.right);
    EXPECT_EQ(data.right, frame.right);
    EXPECT_EQ(data.bottom, frame.bottom);
    EXPECT_EQ(data.Height(), 140);
    EXPECT_EQ(log.right, frame.right);
    EXPECT_EQ(log.bottom, data.top);
    EXPECT_EQ(log.Width(), 180);
    EXPECT_EQ(client.left, tree.right);
    EXPECT_EQ(client.right, log.left);
    EXPECT_EQ(client.bottom, data.top);
    ExpectTiled(m_pFrame);
    // Tabs: the attached panes share groups, the first pane of each stays active.
    EXPECT_EQ(Pane(kSystemProps)->GetGroup(), Pane(kData)->GetGroup());
    EXPECT_EQ(Pane(kDeviceProps)->GetGroup(), Pane(kStack)->GetGroup());
    EXPECT_EQ(Pane(kData)->GetGroup()->GetActivePane(), Pane(kData));
    EXPECT_EQ(Pane(kStack)->GetGroup()->GetActivePane(), Pane(kStack));
    EXPECT_EQ(Manager().FindPane(59524), nullptr);

    m_pFrame->MoveWindow(0, 0, 200, 200);
    ExpectTiled(m_pFrame);
}

TEST_F(DockingPaneTest, EveryShowIsAnnouncedFirst) {
    // First show: the four active panes, each announced while not on show, and then on show.
    std::set<UINT> first;
    for (auto [nID, bWasShown] : m_pFrame->m_notes) {
        first.insert(nID);
        EXPECT_FALSE(bWasShown);
    }
    EXPECT_EQ(first, (std::set<UINT>{kLogDetails, kData, kDeviceTree, kStack}));
    EXPECT_EQ(m_pFrame->m_notes.size(), 4u);
    for (UINT nID : first)
        EXPECT_EQ(Shown(nID), 1) << nID;
    EXPECT_EQ(Shown(kSystemProps), 0);
    m_pFrame->m_notes.clear();

    // A tab click shows the inactive pane, announced first; the window made in the handler is shown.
    CGkDockingPaneGroup* pGroup = Pane(kData)->GetGroup();
    win32::Click(pGroup->GetSafeHwnd(), pGroup->GetTabRect(1).CenterPoint());
    win32::PumpUiMessages();
    ASSERT_EQ(m_pFrame->m_notes.size(), 1u);
    EXPECT_EQ(m_pFrame->m_notes[0].first, kSystemProps);
    EXPECT_EQ(Shown(kSystemProps), 1);
    EXPECT_EQ(Shown(kData), 0);
    EXPECT_EQ(m_pFrame->m_windows[kSystemProps].GetParent()->GetSafeHwnd(), pGroup->GetSafeHwnd());
    // The same tab again: already on show, no announcement.
    win32::Click(pGroup->GetSafeHwnd(), pGroup->GetTabRect(1).CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(m_pFrame->m_notes.size(), 1u);

    // Closing the active tab shows the other one, announced; Close, IsClosed and ShowPane agree.
    m_pFrame->m_notes.clear();
    win32::Click(pGroup->GetSafeHwnd(), pGroup->GetCloseButtonRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_TRUE(Pane(kSystemProps)->IsClosed());
    ASSERT_EQ(m_pFrame->m_notes.size(), 1u);
    EXPECT_EQ(m_pFrame->m_notes[0].first, kData);
    EXPECT_EQ(Shown(kData), 1);
    EXPECT_EQ(Shown(kSystemProps), 0);

    // A broadcast reaches a closed pane's window and an inactive tab's.
    m_pFrame->SendMessageToDescendants(kBroadcast);
    EXPECT_EQ(m_pFrame->m_windows[kSystemProps].m_nBroadcasts, 1);
    m_pFrame->m_notes.clear();
    Pane(kDeviceProps); // never shown, no window yet
    EXPECT_EQ(m_pFrame->m_windows.count(kDeviceProps), 0u);

    // ShowPane reopens in the old group with its tab active.
    m_pFrame->m_notes.clear();
    EXPECT_EQ(Manager().ShowPane(kSystemProps), Pane(kSystemProps));
    EXPECT_FALSE(Pane(kSystemProps)->IsClosed());
    EXPECT_EQ(Pane(kSystemProps)->GetGroup(), pGroup);
    EXPECT_EQ(pGroup->GetActivePane(), Pane(kSystemProps));
    ASSERT_EQ(m_pFrame->m_notes.size(), 1u);
    EXPECT_EQ(m_pFrame->m_notes[0].first, kSystemProps);

    // Closing the last pane of a group hides the group and gives its space away.
    Pane(kLogDetails)->Close();
    EXPECT_FALSE(Pane(kLogDetails)->GetGroup()->IsWindowVisible());
    EXPECT_TRUE(Pane(kLogDetails)->IsValid());
    ExpectTiled(m_pFrame);

    // Alt+F7 moves on to a pane and shows it, announced.
    m_pFrame->m_notes.clear();
    m_pFrame->m_windows[kDeviceTree].SetFocus();
    MSG msg{m_pFrame->GetSafeHwnd(), WM_SYSKEYDOWN, VK_F7, 0, 0, {0, 0}};
    EXPECT_TRUE(m_pFrame->PreTranslateMessage(&msg));
    EXPECT_EQ(Pane(kDeviceTree)->GetGroup()->GetActivePane(), Pane(kDeviceTree));
}

TEST_F(DockingPaneTest, HiddenFrameAnnouncesNothing) {
    CDockFrame* pHidden = NewFrame(false);
    EXPECT_TRUE(pHidden->m_notes.empty());
    pHidden->m_paneManager.ShowPane(kSystemProps);
    EXPECT_TRUE(pHidden->m_notes.empty());
    pHidden->ShowWindow(SW_SHOW);
    EXPECT_EQ(pHidden->m_notes.size(), 4u); // System Properties is now Data's active tab
    EXPECT_EQ(pHidden->m_paneManager.FindPane(kSystemProps)->IsShown(), TRUE);
}

// The WCAG contrast ratio of two colours (1 to 21).
double Contrast(COLORREF a, COLORREF b) {
    auto luminance = [](COLORREF c) {
        auto channel = [](int v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(DockingPaneTest, PicturesShowCaptionsEdgesSplittersAndTabs) {
    // The focus in the Device Tree's window makes its caption the active one.
    m_pFrame->m_windows[kDeviceTree].SetFocus();
    win32::PumpUiMessages();
    tdl::test::Picture picture(m_pFrame->GetSafeHwnd(), "gk_docking_panes.png");
    ASSERT_TRUE(picture.IsValid());
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    for (UINT nID : {kDeviceTree, kStack, kData, kLogDetails}) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        CRect rc = pGroup->GetCaptionRect();
        ToFrame(pGroup, rc);
        // Active: the active caption's colour; inactive: the face, apart from the splitters by a shadow line.
        const bool bActive = nID == kDeviceTree;
        const COLORREF back = ::GetSysColor(bActive ? COLOR_ACTIVECAPTION : COLOR_3DFACE);
        EXPECT_GT(picture.Count(rc, [&](COLORREF c) { return c == back; }), rc.Width() * rc.Height() / 2) << nID;
        if (!bActive)
            EXPECT_EQ(picture.Client(rc.CenterPoint().x, rc.top + 1), ::GetSysColor(COLOR_3DSHADOW)) << nID;
        // The title is drawn in it, readable: its most distinct pixel against the caption's colour.
        double best = 1;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left + 4; x < rc.left + 40; ++x)
                best = std::max(best, Contrast(picture.Client(x, y), back));
        EXPECT_GE(best, 4.5) << nID;
        // Every pane's window sits in a sunken client edge: shadow then dark shadow at the top left, highlight
        // then light at the bottom right.
        CRect edge = pGroup->GetClientEdgeRect();
        ToFrame(pGroup, edge);
        const int x = edge.CenterPoint().x, y = edge.CenterPoint().y;
        EXPECT_EQ(picture.Client(x, edge.top), ::GetSysColor(COLOR_3DSHADOW)) << nID;
        EXPECT_EQ(picture.Client(x, edge.top + 1), ::GetSysColor(COLOR_3DDKSHADOW)) << nID;
        EXPECT_EQ(picture.Client(edge.left, y), ::GetSysColor(COLOR_3DSHADOW)) << nID;
        EXPECT_EQ(picture.Client(x, edge.bottom - 1), ::GetSysColor(COLOR_3DHILIGHT)) << nID;
        EXPECT_EQ(picture.Client(edge.right - 1, y), ::GetSysColor(COLOR_3DHILIGHT)) << nID;
    }
    // The splitters are raised strips of the face: lit on the top or left, shadowed on the bottom or right.
    for (UINT nID : {kDeviceTree, kStack}) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        for (const CGkDockingPaneGroup::Splitter& s : pGroup->GetSplitters()) {
            CRect rc = s.rc;
            ToFrame(pGroup, rc);
            const CPoint mid = rc.CenterPoint();
            if (s.bHorz) {
                EXPECT_EQ(picture.Client(mid.x, rc.top), ::GetSysColor(COLOR_3DHILIGHT)) << nID;
                EXPECT_EQ(picture.Client(mid.x, rc.top + 1), face) << nID;
                EXPECT_EQ(picture.Client(mid.x, rc.bottom - 1), ::GetSysColor(COLOR_3DSHADOW)) << nID;
            } else {
                EXPECT_EQ(picture.Client(rc.left, mid.y), ::GetSysColor(COLOR_3DHILIGHT)) << nID;
                EXPECT_EQ(picture.Client(rc.left + 1, mid.y), face) << nID;
                EXPECT_EQ(picture.Client(rc.right - 1, mid.y), ::GetSysColor(COLOR_3DSHADOW)) << nID;
            }
        }
    }
    // The MDI area keeps the application workspace's colour, apart from the bars' face.
    const CRect client = ClientRect();
    EXPECT_EQ(picture.Client(client.CenterPoint().x, client.CenterPoint().y), ::GetSysColor(COLOR_APPWORKSPACE));
    EXPECT_NE(::GetSysColor(COLOR_APPWORKSPACE), face);
    // The bottom row's panes share one top edge, and their captions one line.
    CRect stack = Pane(kStack)->GetGroup()->GetCaptionRect(), data = Pane(kData)->GetGroup()->GetCaptionRect();
    ToFrame(Pane(kStack)->GetGroup(), stack);
    ToFrame(Pane(kData)->GetGroup(), data);
    EXPECT_EQ(GroupRect(kStack).top, GroupRect(kData).top);
    EXPECT_EQ(stack.top, data.top);
    EXPECT_EQ(stack.bottom, data.bottom);

    for (UINT nID : {kStack, kData}) {
        CGkDockingPaneGroup* pGroup = Pane(nID)->GetGroup();
        CRect active = pGroup->GetTabRect(0), other = pGroup->GetTabRect(1);
        ToFrame(pGroup, active);
        ToFrame(pGroup, other);
        COLORREF window = ::GetSysColor(COLOR_WINDOW);
        EXPECT_GT(picture.Count(active, [&](COLORREF c) { return c == window; }), active.Width() * 5) << nID;
        EXPECT_EQ(picture.Count(other, [&](COLORREF c) { return c == window; }), 0) << nID;
    }

    // The focus moving to another pane moves the active caption with it.
    m_pFrame->m_windows[kLogDetails].SetFocus();
    win32::PumpUiMessages();
    CGkDockingPaneGroup* pTree = Pane(kDeviceTree)->GetGroup();
    CGkDockingPaneGroup* pLog = Pane(kLogDetails)->GetGroup();
    CRect tree = pTree->GetCaptionRect(), log = pLog->GetCaptionRect();
    EXPECT_EQ(win32::ClientPixel(pTree->GetSafeHwnd(), tree.right - 30, tree.top + 3), face);
    EXPECT_EQ(win32::ClientPixel(pLog->GetSafeHwnd(), log.right - 30, log.top + 3), ::GetSysColor(COLOR_ACTIVECAPTION));
}

TEST_F(DockingPaneTest, SplitterDragsResizeTheBand) {
    CRect before = GroupRect(kDeviceTree);
    CGkDockingPaneGroup* pGroup = Pane(kDeviceTree)->GetGroup();
    ASSERT_FALSE(pGroup->GetSplitters().empty());
    CRect strip;
    for (auto& s : pGroup->GetSplitters())
        if (!s.bHorz)
            strip = s.rc;
    CPoint pt = strip.CenterPoint();
    win32::MouseDown(pGroup->GetSafeHwnd(), pt);
    win32::PumpUiMessages();
    win32::MouseUp(pGroup->GetSafeHwnd(), CPoint(pt.x + 50, pt.y));
    win32::PumpUiMessages();
    EXPECT_EQ(GroupRect(kDeviceTree).Width(), before.Width() + 50);
    ExpectTiled(m_pFrame);
}

TEST_F(DockingPaneTest, LayoutRoundTripsIntoANewFrame) {
    // Change the layout: a closed pane, another active tab, a dragged split.
    Pane(kLogDetails)->Close();
    Manager().ShowPane(kDeviceProps);
    CGkDockingPaneGroup* pStack = Pane(kStack)->GetGroup();
    for (auto& s : pStack->GetSplitters()) {
        if (s.bHorz) { // the split between Device Tree and Stack Inspector, along the top of the pane it sizes
            CPoint pt = s.rc.CenterPoint();
            win32::MouseDown(pStack->GetSafeHwnd(), pt);
            win32::PumpUiMessages();
            win32::MouseUp(pStack->GetSafeHwnd(), CPoint(pt.x, pt.y - 60));
            win32::PumpUiMessages();
        }
    }
    ASSERT_EQ(GroupRect(kStack).Height(), 200);
    std::unique_ptr<CGkDockingPaneLayout> layout(Manager().CreateLayout());
    Manager().GetLayout(layout.get());
    ASSERT_TRUE(layout->Save("UserLayout"));

    CDockFrame* pNew = NewFrame(false);
    CGkDockingPaneManager& m = pNew->m_paneManager;
    std::unique_ptr<CGkDockingPaneLayout> loaded(m.CreateLayout());
    ASSERT_TRUE(loaded->Load("UserLayout"));
    ASSERT_TRUE(m.SetLayout(loaded.get()));
    pNew->ShowWindow(SW_SHOW);
    pNew->MoveWindow(0, 0, 1000, 700);
    EXPECT_TRUE(m.FindPane(kLogDetails)->IsClosed());
    EXPECT_EQ(m.FindPane(kStack)->GetGroup()->GetActivePane(), m.FindPane(kDeviceProps));
    EXPECT_EQ(m.FindPane(kStack)->GetGroup(), m.FindPane(kDeviceProps)->GetGroup());
    for (auto& pane : Manager().GetPanes())
        if (!pane->IsClosed())
            EXPECT_EQ(GroupRect(pane->GetID(), pNew), GroupRect(pane->GetID())) << pane->GetID();
    EXPECT_EQ(ClientRect(pNew), ClientRect());
    EXPECT_EQ(GroupRect(kStack, pNew).Height(), 200);
    ExpectTiled(pNew);
}

TEST_F(DockingPaneTest, BadLayoutsLoadNothing) {
    std::unique_ptr<CGkDockingPaneLayout> layout(Manager().CreateLayout());
    EXPECT_FALSE(layout->Load("UserLayout")) << "nothing stored";
    EXPECT_FALSE(Manager().SetLayout(layout.get()));
    Manager().GetLayout(layout.get());
    const std::vector<BYTE> good = layout->GetBytes();

    std::vector<std::vector<BYTE>> bad;
    for (size_t n = 0; n < good.size(); ++n)
        bad.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
    std::vector<BYTE> version = good;
    version[4] = 9;
    bad.push_back(version);
    std::mt19937 rng(11);
    for (int i = 0; i < 20; ++i) {
        std::vector<BYTE> noise = good;
        for (size_t k = 8; k < noise.size(); ++k)
            noise[k] = static_cast<BYTE>(rng());
        bad.push_back(noise);
    }
    CRect tree = GroupRect(kDeviceTree);
    for (size_t i = 0; i < bad.size(); ++i) {
        std::vector<BYTE> bytes = bad[i];
        AfxGetApp()->WriteProfileBinary("UserLayout", GK_PROFILE_ENTRY, bytes.data(), static_cast<UINT>(bytes.size()));
        CGkDockingPaneLayout probe(&Manager());
        if (probe.Load("UserLayout")) {
            // Noise may still be well formed; it must then apply without harm.
            EXPECT_TRUE(Manager().SetLayout(&probe)) << "value " << i;
            ExpectTiled(m_pFrame);
            continue;
        }
        EXPECT_FALSE(Manager().SetLayout(&probe)) << "value " << i;
        EXPECT_EQ(GroupRect(kDeviceTree), tree) << "value " << i;
    }
}

TEST_F(DockingPaneTest, UnknownIdsSkippedAndUnnamedPanesKeepTheirPlace) {
    // A layout from a frame with only the Device Tree and a pane this frame does not know.
    CDockFrame* pOther = new CDockFrame;
    ASSERT_TRUE(pOther->LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
    m_frames.push_back(pOther);
    ASSERT_TRUE(pOther->m_paneManager.InstallDockingPanes(pOther));
    pOther->m_paneManager.CreatePane(kDeviceTree, CRect(0, 0, 250, 100), gkPaneDockRight);
    pOther->m_paneManager.CreatePane(4242, CRect(0, 0, 100, 100), gkPaneDockLeft);
    CGkDockingPaneLayout layout(&pOther->m_paneManager);
    pOther->m_paneManager.GetLayout(&layout);

    CRect data = GroupRect(kData);
    ASSERT_TRUE(Manager().SetLayout(&layout));
    EXPECT_EQ(Manager().FindPane(4242), nullptr);
    CRect frame;
    m_pFrame->GetClientRect(&frame);
    EXPECT_EQ(GroupRect(kDeviceTree).right, frame.right);
    EXPECT_EQ(GroupRect(kDeviceTree).Width(), 250);
    EXPECT_EQ(GroupRect(kData).Height(), data.Height()) << "Data keeps its side and size";
    EXPECT_EQ(Pane(kSystemProps)->GetGroup(), Pane(kData)->GetGroup());
    ExpectTiled(m_pFrame);
}

} // namespace
