// The command bars of an MDI frame built as the main window builds them: the "Standard" toolbar from its
// resource, the menu bar, clicks as commands, idle updates in the picture, bars inside a window that answer
// to that window alone, failures, and the bars' state in the profile.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>

#include "GkCommandBars.h"
#include "GkMDIFrameWnd.h"
#include "GkMenuBar.h"
#include "GkProfileValue.h"
#include "GkTestSupport.h"
#include "NtRegistryStore.h"
#include "WinResourceTable.h"
#include "WinUiControl.h"

namespace {

constexpr UINT kFrameId = 128;
constexpr UINT kExtraId = 300;
constexpr UINT kStandard[] = {57600, 57601, 57603, 0,     172,   173,   174, 108, 221, 219, 258,
                              32794, 32937, 0,     59523, 59527, 59525, 197, 0,   206, 216};
constexpr COLORREF kKey = RGB(192, 192, 192);

// Red, green and blue icons in turn, each a 10 x 10 square on the key colour.
std::vector<unsigned char> IconStrip(int nIcons, COLORREF clrKey) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 16 * nIcons, 16);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, GetRValue(clrKey) / 255.0, GetGValue(clrKey) / 255.0, GetBValue(clrKey) / 255.0);
    cairo_paint(cr);
    for (int i = 0; i < nIcons; ++i) {
        cairo_set_source_rgb(cr, i % 3 == 0, i % 3 == 1, i % 3 == 2);
        cairo_rectangle(cr, 16 * i + 3, 3, 10, 10);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    std::vector<unsigned char> png;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<unsigned char>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(surface);
    return png;
}

bool IsOurs(UINT nID) {
    return (std::find(std::begin(kStandard), std::end(kStandard), nID) != std::end(kStandard) && nID != 0) ||
           nID == 0xFF00;
}

class CBarsFrame : public CGkMDIFrameWnd {
public:
    std::vector<UINT> m_commands;
    BOOL m_bDisableOpen = FALSE;
    BOOL m_bCheckStart = FALSE;
    std::vector<HMENU> m_initPopups;

    // As the main window's Window list does: WM_INITMENUPOPUP appends to the pop-up that is opening.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_INITMENUPOPUP) {
            auto hPopup = reinterpret_cast<HMENU>(wParam);
            m_initPopups.push_back(hPopup);
            if (::GetMenuState(hPopup, 59523, MF_BYCOMMAND) != static_cast<UINT>(-1) &&
                ::GetMenuState(hPopup, 0xFF00, MF_BYCOMMAND) == static_cast<UINT>(-1))
                ::AppendMenuA(hPopup, MF_STRING, 0xFF00, "&1 capture.tdl");
        }
        return CGkMDIFrameWnd::WindowProc(message, wParam, lParam);
    }

    // Steps of the main window's creation that build its bars; -1 on the first failure.
    int BuildBars() {
        if (!InitCommandBars())
            return -1;
        CGkCommandBars* pBars = GetCommandBars();
        if (pBars == nullptr)
            return -1;
        pBars->GetImageManager()->SetMaskColor(kKey);
        pBars->GetImageManager()->SetIcons(kFrameId);
        if (pBars->SetMenu("Menu Bar", kFrameId) == nullptr)
            return -1;
        CGkToolBar* pBar = pBars->Add("Standard", CBRS_TOP);
        if (pBar == nullptr)
            return -1;
        pBar->SetIconSize(CSize(16, 16));
        pBar->SetCloseable(FALSE);
        if (!pBar->LoadToolBar(kFrameId))
            return -1;
        pBar->ShowExpandButton(FALSE);
        pBar->ModifyBarStyle(0, 0x30);
        pBar->EnableDocking(63);
        CGkToolBar* pExtra = pBars->Add("Extra", CBRS_TOP);
        if (pExtra == nullptr || !pExtra->LoadToolBar(kExtraId))
            return -1;
        EnableDocking(CBRS_ALIGN_TOP | CBRS_ALIGN_LEFT | CBRS_ALIGN_BOTTOM);
        pBars->LoadCommandBars("CommandBars");
        RecalcLayout();
        return 0;
    }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override {
        if (nCode == CN_COMMAND && IsOurs(nID)) {
            if (pHandlerInfo != nullptr)
                pHandlerInfo->pTarget = this; // every button has a handler
            else
                m_commands.push_back(nID);
            return TRUE;
        }
        if (nCode == static_cast<int>(CN_UPDATE_COMMAND_UI) && pHandlerInfo == nullptr) {
            auto* pCmdUI = static_cast<CCmdUI*>(pExtra);
            if (nID == 57601) {
                pCmdUI->Enable(!m_bDisableOpen);
                return TRUE;
            }
            if (nID == 172) {
                pCmdUI->SetCheck(m_bCheckStart);
                return TRUE;
            }
        }
        return CGkMDIFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
};

class CommandBarsTest : public gk_test::GkWindowTest {
protected:
    void SetUp() override {
        GkWindowTest::SetUp();
        nt::registry::Reset();
        m_app.SetRegistryKey("Vellumcrest");
        AfxRegisterString(kFrameId, "Tindaloft");
        win32::RegisterMenuResource(nullptr, kFrameId,
                                    {{MF_POPUP, 0, "&File", {{MF_STRING, 57601, "&Open", {}}}},
                                     {MF_POPUP, 0, "&View", {{MF_STRING, 59523, "&Device Tree", {}}}}});
        win32::RegisterToolbarResource(nullptr, kFrameId,
                                       {16, 16, std::vector<UINT>(std::begin(kStandard), std::end(kStandard))});
        win32::RegisterToolbarResource(nullptr, kExtraId, {16, 16, {57600, 0, 57601}});
        std::vector<unsigned char> png = IconStrip(18, kKey);
        win32::RegisterBitmapResource(nullptr, kFrameId, png.data(), png.size());
        m_pFrame = NewFrame();
    }
    void TearDown() override {
        for (CBarsFrame* pFrame : m_frames)
            pFrame->DestroyWindow(); // the frame deletes itself
        win32::ClearResources();
        GkWindowTest::TearDown();
    }
    CBarsFrame* NewFrame() {
        auto* pFrame = new CBarsFrame;
        EXPECT_TRUE(pFrame->LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
        m_frames.push_back(pFrame);
        pFrame->MoveWindow(0, 0, 800, 400);
        EXPECT_EQ(pFrame->BuildBars(), 0);
        pFrame->ShowWindow(SW_SHOW);
        win32::PumpUiMessages();
        return pFrame;
    }
    CGkToolBar* Standard(CBarsFrame* pFrame = nullptr) {
        return (pFrame ? pFrame : m_pFrame)->GetCommandBars()->GetAt(1);
    }
    void IdleUpdate() {
        m_pFrame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
        win32::PumpUiMessages();
    }
    CRect InFrame(CWnd* pWnd, CRect rc) {
        ::MapWindowPoints(pWnd->GetSafeHwnd(), m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    CBarsFrame* m_pFrame = nullptr;
    std::vector<CBarsFrame*> m_frames;
};

TEST_F(CommandBarsTest, StandardHoldsItsButtonsAndClicksAreCommands) {
    CGkToolBar* pBar = Standard();
    ASSERT_NE(pBar, nullptr);
    ASSERT_EQ(pBar->GetControlCount(), 21);
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(pBar->GetControl(i)->GetID(), kStandard[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(pBar->GetControl(i)->IsSeparator(), kStandard[static_cast<size_t>(i)] == 0) << i;
    }
    EXPECT_EQ(pBar->GetTitle(), "Standard");
    EXPECT_FALSE(pBar->IsCloseable());
    EXPECT_FALSE(pBar->IsExpandButtonVisible());
    EXPECT_EQ(pBar->GetGkBarStyle() & 0x30u, 0x30u);
    EXPECT_EQ(pBar->GetDockingFlags(), 63u);
    EXPECT_EQ(m_pFrame->GetCommandBars()->FindControl(172), pBar->GetControl(4));
    EXPECT_EQ(m_pFrame->GetCommandBars()->FindControl(12345), nullptr);

    m_pFrame->GetCommandBars()->FindControl(32937)->SetTooltip("Enable capture of hot plugs");
    EXPECT_EQ(m_pFrame->GetCommandBars()->FindControl(32937)->GetTooltip(), "Enable capture of hot plugs");

    win32::Click(pBar->GetSafeHwnd(), pBar->FindControl(172)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(m_pFrame->m_commands, std::vector<UINT>{172});
    // A separator is no button.
    win32::Click(pBar->GetSafeHwnd(), pBar->GetControl(3)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(m_pFrame->m_commands.size(), 1u);

    // The menu bar shows the menu's titles and sits above the toolbar.
    CGkMenuBar* pMenuBar = m_pFrame->GetCommandBars()->GetMenuBar();
    ASSERT_NE(pMenuBar, nullptr);
    ASSERT_EQ(pMenuBar->GetControlCount(), 2);
    EXPECT_EQ(pMenuBar->GetControl(1)->GetCaption(), "&View");
    CRect rcMenu, rcBar;
    pMenuBar->GetWindowRect(&rcMenu);
    pBar->GetWindowRect(&rcBar);
    EXPECT_LE(rcMenu.bottom, rcBar.top);
}

TEST_F(CommandBarsTest, MenuBarOpensPopupsOwnedByTheFrame) {
    CGkMenuBar* pMenuBar = m_pFrame->GetCommandBars()->GetMenuBar();
    ASSERT_NE(pMenuBar, nullptr);
    // A click on "&View": the frame's handler appends to the pop-up before it shows, and the choice of the
    // appended item comes back to the frame as one command.
    std::string shown;
    HWND hMenuBar = pMenuBar->GetSafeHwnd();
    win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest& request, HWND) -> INT_PTR {
        shown = request.text;
        EXPECT_EQ(pMenuBar->GetTrackedIndex(), 1);
        return 0xFF00;
    });
    win32::Click(hMenuBar, pMenuBar->GetControl(1)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(shown, "Device Tree|1 capture.tdl");
    EXPECT_EQ(m_pFrame->m_initPopups.size(), 1u);
    EXPECT_EQ(m_pFrame->m_commands, std::vector<UINT>{0xFF00});
    EXPECT_EQ(pMenuBar->GetTrackedIndex(), -1);

    // Alt and the underlined letter, in either case, with the focus anywhere in the frame; a letter no title
    // has opens nothing and is left to the frame.
    m_pFrame->m_commands.clear();
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, 57601, "Open");
    MSG alt{Standard()->GetSafeHwnd(), WM_SYSKEYDOWN, 'F', 0, 0, {0, 0}};
    EXPECT_TRUE(m_pFrame->PreTranslateMessage(&alt));
    win32::PumpUiMessages();
    EXPECT_EQ(m_pFrame->m_commands, std::vector<UINT>{57601});
    EXPECT_EQ(win32::PendingModalScripts(), 0u);
    alt.wParam = 'Q';
    EXPECT_FALSE(m_pFrame->PreTranslateMessage(&alt));
    EXPECT_TRUE(win32::UnexpectedModalRequests().empty());

    // The frame keeps no native menu; a document's menu switched in by the framework shows on the bar.
    EXPECT_EQ(::GetMenu(m_pFrame->GetSafeHwnd()), nullptr);
    HMENU hDocMenu = ::CreateMenu();
    ::AppendMenuA(hDocMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(::CreatePopupMenu()), "&Capture");
    m_pFrame->OnUpdateFrameMenu(hDocMenu);
    EXPECT_EQ(::GetMenu(m_pFrame->GetSafeHwnd()), nullptr);
    ASSERT_EQ(pMenuBar->GetControlCount(), 1);
    EXPECT_EQ(pMenuBar->GetControl(0)->GetCaption(), "&Capture");
    m_pFrame->OnUpdateFrameMenu(nullptr);
    EXPECT_EQ(pMenuBar->GetControlCount(), 2);
    ::DestroyMenu(hDocMenu);

    // The mnemonics show underlined: below "&File" some pixel in the title's text row is dark across the
    // width of its "F" and nowhere under the rest.
    ::UpdateWindow(m_pFrame->GetSafeHwnd());
    tdl::test::Picture picture(m_pFrame->GetSafeHwnd(), "gk_menu_bar.png");
    ASSERT_TRUE(picture.IsValid());
    CRect file = InFrame(pMenuBar, pMenuBar->GetControl(0)->GetRect());
    EXPECT_GT(picture.Count(file, tdl::test::IsDark), 20);
}

// The menu bar as the keyboard and the mouse walk it: pop-ups open from title to title, and the titles show
// which one is open or ready for the keyboard, and nothing once the menus are left.
TEST_F(CommandBarsTest, TheMenuBarWalksFromTitleToTitleAndLeavesNothingHighlighted) {
    CGkMenuBar* pMenuBar = m_pFrame->GetCommandBars()->GetMenuBar();
    ASSERT_NE(pMenuBar, nullptr);
    HWND hBar = pMenuBar->GetSafeHwnd();
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    // Whether a title shows highlighted: the colour just inside its left edge.
    auto lit = [&](int nTitle) {
        ::UpdateWindow(hBar);
        const CRect rc = pMenuBar->GetControl(nTitle)->GetRect();
        return win32::ClientPixel(hBar, rc.left + 1, rc.top + 1) == highlight;
    };
    auto key = [&](UINT message, WPARAM vk) {
        MSG msg{Standard()->GetSafeHwnd(), message, vk, message == WM_SYSKEYUP ? (3L << 30) : 0, 0, {0, 0}};
        const BOOL taken = m_pFrame->PreTranslateMessage(&msg);
        win32::PumpUiMessages();
        return taken;
    };
    // Each pop-up that opens: its items, whether its first item was highlighted, and the key then pressed.
    const std::string file = "Open", view = "Device Tree|1 capture.tdl"; // the frame adds a file to View
    std::vector<std::string> opened;
    std::vector<bool> firstHighlighted;
    auto press = [&](BYTE vk) {
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&, vk](const win32::ModalRequest& request, HWND window) {
            auto hMenu = reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0));
            win32::PumpUiMessages(); // the Down key a pop-up opened from the keyboard is given
            opened.push_back(request.text);
            firstHighlighted.push_back((::GetMenuState(hMenu, 0, MF_BYPOSITION) & MF_HILITE) != 0);
            EXPECT_TRUE(lit(pMenuBar->GetTrackedIndex())) << "the open title";
            win32::PressKey(window, vk);
            win32::PumpUiMessages();
            return INT_PTR{0};
        });
    };

    // Opened by the mouse: Right walks on and wraps round, Left walks back; each pop-up opened so shows its
    // first item highlighted. Esc closes the last into keyboard mode on its title; Esc again leaves that.
    for (BYTE vk : {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_ESCAPE})
        press(vk);
    win32::Click(hBar, pMenuBar->GetControl(0)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(opened, (std::vector<std::string>{file, view, file, view}));
    EXPECT_EQ(firstHighlighted, (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(pMenuBar->GetTrackedIndex(), -1);
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), 1);
    EXPECT_TRUE(lit(1));
    EXPECT_FALSE(lit(0));
    EXPECT_TRUE(key(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), -1);
    EXPECT_FALSE(lit(0));
    EXPECT_FALSE(lit(1));
    EXPECT_EQ(win32::PendingModalScripts(), 0u);

    // F10, then Right and Enter: View opens with its first item highlighted; a choice leaves nothing lit.
    opened.clear();
    firstHighlighted.clear();
    EXPECT_TRUE(key(WM_SYSKEYDOWN, VK_F10));
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), 0);
    EXPECT_TRUE(lit(0));
    EXPECT_TRUE(key(WM_KEYDOWN, VK_RIGHT));
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), 1);
    press(VK_RETURN);
    EXPECT_TRUE(key(WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(opened, std::vector<std::string>{view});
    EXPECT_EQ(firstHighlighted, std::vector<bool>{true});
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), -1);
    EXPECT_FALSE(lit(1));
    EXPECT_EQ(m_pFrame->m_commands, std::vector<UINT>{59523});

    // Alt pressed and let go alone enters the mode and leaves it; Alt with a letter opens that title and does
    // not; Shift+F10 is no F10.
    EXPECT_FALSE(key(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_TRUE(key(WM_SYSKEYUP, VK_MENU));
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), 0);
    EXPECT_FALSE(key(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_TRUE(key(WM_SYSKEYUP, VK_MENU));
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), -1);
    opened.clear();
    press(VK_ESCAPE);
    EXPECT_FALSE(key(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_TRUE(key(WM_SYSKEYDOWN, 'V'));
    EXPECT_FALSE(key(WM_SYSKEYUP, VK_MENU));
    EXPECT_EQ(opened, std::vector<std::string>{view});
    EXPECT_TRUE(key(WM_KEYDOWN, VK_ESCAPE)); // out of the mode the Esc left it in
    EXPECT_EQ(pMenuBar->GetKeyboardIndex(), -1);

    // The mouse: moving onto the other title opens its pop-up instead, a click on the open title closes it,
    // and the pressed title does not stay lit.
    opened.clear();
    const CRect viewTitle = pMenuBar->GetControl(1)->GetRect();
    win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest& request, HWND) {
        opened.push_back(request.text);
        win32::MouseMove(hBar, viewTitle.CenterPoint());
        win32::PumpUiMessages();
        return INT_PTR{0};
    });
    win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest& request, HWND) {
        opened.push_back(request.text);
        win32::Click(hBar, viewTitle.CenterPoint());
        win32::PumpUiMessages();
        return INT_PTR{0};
    });
    win32::MouseMove(hBar, pMenuBar->GetControl(0)->GetRect().CenterPoint());
    win32::Click(hBar, pMenuBar->GetControl(0)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(opened, (std::vector<std::string>{file, view}));
    EXPECT_EQ(win32::PendingModalScripts(), 0u);
    EXPECT_EQ(pMenuBar->GetTrackedIndex(), -1);
    EXPECT_FALSE(lit(0));
    // The mouse over a title lights it until it leaves the bar.
    EXPECT_FALSE(lit(1)) << "the click closed the pop-up; the next move decides";
    win32::MouseMove(hBar, viewTitle.CenterPoint() + CSize(1, 0));
    win32::PumpUiMessages();
    EXPECT_TRUE(lit(1));
    win32::MouseMove(Standard()->GetSafeHwnd(), CPoint(400, 5));
    win32::PumpUiMessages();
    EXPECT_FALSE(lit(1));
}

TEST_F(CommandBarsTest, TooltipsShowOnHover) {
    CGkToolBar* pBar = Standard();
    AfxRegisterString(57600, "Create a new capture\nNew capture");
    pBar->FindControl(172)->SetTooltip("Start capture");
    struct Case {
        UINT nID;
        const char* expected;
    } cases[] = {{172, "Start capture"}, {57600, "New capture"}};
    for (const Case& c : cases) {
        CPoint at = pBar->FindControl(c.nID)->GetRect().CenterPoint();
        win32::MouseMove(pBar->GetSafeHwnd(), at);
        win32::AdvanceUiClock(600);
        HWND hTip = ::FindWindowA(TOOLTIPS_CLASS, nullptr);
        ASSERT_NE(hTip, nullptr) << c.nID;
        EXPECT_TRUE(::IsWindowVisible(hTip)) << c.nID;
        char text[80] = {};
        ::GetWindowTextA(hTip, text, sizeof(text));
        EXPECT_STREQ(text, c.expected);
        win32::MouseMove(pBar->GetSafeHwnd(), CPoint(1, 1)); // the gripper: no tool
        win32::PumpUiMessages();
        EXPECT_FALSE(::IsWindowVisible(hTip)) << c.nID;
    }
    // Without the tooltip style no tip shows.
    pBar->ModifyBarStyle(GK_BARSTYLE_TOOLTIPS, 0);
    win32::MouseMove(pBar->GetSafeHwnd(), pBar->FindControl(172)->GetRect().CenterPoint());
    win32::AdvanceUiClock(600);
    HWND hTip = ::FindWindowA(TOOLTIPS_CLASS, nullptr);
    EXPECT_TRUE(hTip == nullptr || !::IsWindowVisible(hTip));
}

TEST_F(CommandBarsTest, MissingResourcesAndFailuresGiveNull) {
    CGkCommandBars* pBars = m_pFrame->GetCommandBars();
    EXPECT_EQ(pBars->SetMenu("Menu Bar", 999), nullptr);
    CGkToolBar* pExtra = pBars->Add("Extra", CBRS_TOP);
    ASSERT_NE(pExtra, nullptr);
    EXPECT_FALSE(pExtra->LoadToolBar(999));
    EXPECT_EQ(pExtra->GetControlCount(), 0);

    for (GkFrameFailure failure : {GkFrameFailure::InitCommandBars, GkFrameFailure::GetCommandBars}) {
        auto* pFrame = new CBarsFrame;
        ASSERT_TRUE(pFrame->LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
        m_frames.push_back(pFrame);
        GkFailNext(failure);
        EXPECT_EQ(pFrame->BuildBars(), -1);
    }
}

TEST_F(CommandBarsTest, UpdatesShowInThePicture) {
    m_pFrame->m_bDisableOpen = TRUE;
    m_pFrame->m_bCheckStart = TRUE;
    IdleUpdate();
    CGkToolBar* pBar = Standard();
    EXPECT_FALSE(pBar->FindControl(57601)->GetEnabled());
    EXPECT_TRUE(pBar->FindControl(172)->GetChecked());
    // The mouse over a button makes it hot.
    win32::MouseMove(pBar->GetSafeHwnd(), pBar->FindControl(173)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    ::UpdateWindow(m_pFrame->GetSafeHwnd());
    tdl::test::Picture picture(m_pFrame->GetSafeHwnd(), "gk_command_bars.png");
    ASSERT_TRUE(picture.IsValid());

    // 57601 is the second image: green. Disabled, none of it shows.
    CRect open = InFrame(pBar, pBar->FindControl(57601)->GetRect());
    EXPECT_EQ(picture.Count(open, [](COLORREF c) { return c == RGB(0, 255, 0); }), 0);
    EXPECT_GT(picture.Count(open, [](COLORREF c) { return c == ::GetSysColor(COLOR_3DSHADOW); }), 50);
    // 57600, enabled, shows its red.
    CRect newRc = InFrame(pBar, pBar->FindControl(57600)->GetRect());
    EXPECT_GT(picture.Count(newRc, [](COLORREF c) { return c == RGB(255, 0, 0); }), 90);
    // The checked button is sunk on a lighter face; the hot one stands out in a thin raised edge; a plain one
    // is the bar's face.
    const COLORREF shadow = ::GetSysColor(COLOR_3DSHADOW), light = ::GetSysColor(COLOR_3DHILIGHT);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    CRect start = InFrame(pBar, pBar->FindControl(172)->GetRect());
    CRect hot = InFrame(pBar, pBar->FindControl(173)->GetRect());
    CRect plain = InFrame(pBar, pBar->FindControl(174)->GetRect());
    EXPECT_EQ(picture.Client(start.left, start.CenterPoint().y), shadow);
    EXPECT_EQ(picture.Client(start.right - 1, start.CenterPoint().y), light);
    EXPECT_NE(picture.Client(start.left + 2, start.top + 2), face);
    EXPECT_EQ(picture.Client(hot.left, hot.CenterPoint().y), light);
    EXPECT_EQ(picture.Client(hot.right - 1, hot.CenterPoint().y), shadow);
    EXPECT_EQ(picture.Client(plain.left, plain.CenterPoint().y), face);
    EXPECT_EQ(picture.Client(plain.left + 2, plain.top + 2), face);
    // An etched line after every row of bars: under the menu bar, and between the last row and the client.
    CGkMenuBar* pMenuBar = m_pFrame->GetCommandBars()->GetMenuBar();
    CRect menu;
    pMenuBar->GetClientRect(&menu);
    menu = InFrame(pMenuBar, menu);
    CRect mdi;
    ::GetWindowRect(m_pFrame->m_hWndMDIClient, &mdi);
    ::MapWindowPoints(nullptr, m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&mdi), 2);
    for (int y : {static_cast<int>(menu.bottom), static_cast<int>(mdi.top) - GK_COMMANDBARS_ROW_EDGE}) {
        EXPECT_EQ(picture.Client(400, y), shadow) << y;
        EXPECT_EQ(picture.Client(400, y + 1), light) << y;
    }
    // The key colour is transparent everywhere.
    CRect bar;
    pBar->GetClientRect(&bar);
    EXPECT_EQ(picture.Count(InFrame(pBar, bar), [](COLORREF c) { return c == kKey; }), 0);

    m_pFrame->m_bDisableOpen = FALSE;
    IdleUpdate();
    EXPECT_TRUE(pBar->FindControl(57601)->GetEnabled());
}

// A window with its own small bar, answering its commands and update requests itself.
class COwnerPane : public CWnd {
public:
    CGkToolBar m_bar;
    std::vector<UINT> m_commands;
    int m_nUpdates = 0;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override {
        if (pHandlerInfo == nullptr && IsOurs(nID)) {
            if (nCode == CN_COMMAND)
                m_commands.push_back(nID);
            else if (nCode == static_cast<int>(CN_UPDATE_COMMAND_UI)) {
                ++m_nUpdates;
                static_cast<CCmdUI*>(pExtra)->Enable(nID != 57603);
            }
            return TRUE;
        }
        return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
};

// A window of its own (so that nothing of the frame lies over it) with a bar of the toolbar resource along
// its top.
template <class Pane> bool CreatePaneWithBar(Pane& pane, const CRect& rc, UINT nBarID, UINT nResource) {
    if (!pane.CreateEx(0, AfxRegisterWndClass(0), "pane", WS_OVERLAPPED | WS_VISIBLE, rc, nullptr, 0) ||
        !pane.m_bar.CreateToolBar(WS_CHILD | WS_VISIBLE | CBRS_TOP, &pane, nBarID) ||
        !pane.m_bar.LoadToolBar(nResource))
        return false;
    pane.m_bar.MoveWindow(0, 0, 300, pane.m_bar.CalcFixedLayout(FALSE, TRUE).cy);
    return true;
}

TEST_F(CommandBarsTest, ChildBarAnswersToItsOwnerAlone) {
    COwnerPane pane;
    ASSERT_TRUE(CreatePaneWithBar(pane, CRect(900, 100, 1200, 200), 7, kFrameId));
    IdleUpdate();
    EXPECT_EQ(pane.m_nUpdates, 0) << "the frame's idle update does not reach another window's bar";
    pane.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    EXPECT_GT(pane.m_nUpdates, 0);
    EXPECT_FALSE(pane.m_bar.FindControl(57603)->GetEnabled());
    EXPECT_TRUE(pane.m_bar.FindControl(57600)->GetEnabled());
    win32::Click(pane.m_bar.GetSafeHwnd(), pane.m_bar.FindControl(57600)->GetRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(pane.m_commands, std::vector<UINT>{57600});
    EXPECT_TRUE(m_pFrame->m_commands.empty());

    // Captions below the icons come from the command strings and make the bar taller.
    AfxRegisterString(57600, "Create a new capture\nNew capture");
    int cyPlain = pane.m_bar.CalcDynamicLayout(-1, LM_HORZ | LM_COMMIT).cy;
    int cxPlain = pane.m_bar.FindControl(57600)->GetRect().Width();
    pane.m_bar.ShowTextBelowIcons(TRUE);
    EXPECT_GT(pane.m_bar.CalcDynamicLayout(-1, LM_HORZ | LM_COMMIT).cy, cyPlain);
    EXPECT_EQ(pane.m_bar.FindControl(57600)->GetCaption(), "New capture");
    EXPECT_GT(pane.m_bar.FindControl(57600)->GetRect().Width(), cxPlain);
    pane.DestroyWindow();
}

TEST_F(CommandBarsTest, ChildBarDrawsTheImagesOfItsResourceUnderItsMaskColour) {
    // Red, green and blue squares on a green key: the green one is all key, so nothing of it shows.
    constexpr UINT kPaneBar = 310;
    constexpr COLORREF kGreenKey = RGB(0, 255, 0);
    win32::RegisterToolbarResource(nullptr, kPaneBar, {16, 16, {57600, 0, 57601, 57603}});
    std::vector<unsigned char> png = IconStrip(3, kGreenKey);
    win32::RegisterBitmapResource(nullptr, kPaneBar, png.data(), png.size());
    COwnerPane pane;
    ASSERT_TRUE(pane.CreateEx(0, AfxRegisterWndClass(0), "pane", WS_OVERLAPPED | WS_VISIBLE, CRect(900, 100, 1200, 200),
                              nullptr, 0));
    ASSERT_TRUE(pane.m_bar.CreateToolBar(WS_CHILD | WS_VISIBLE | CBRS_TOP, &pane, 59392));
    pane.m_bar.GetImageManager()->SetMaskColor(kGreenKey);
    ASSERT_TRUE(pane.m_bar.LoadToolBar(kPaneBar));
    pane.m_bar.MoveWindow(0, 0, 300, pane.m_bar.CalcDynamicLayout(-1, LM_HORZ | LM_COMMIT).cy);
    ::UpdateWindow(pane.GetSafeHwnd());
    tdl::test::Picture picture(pane.m_bar.GetSafeHwnd(), "gk_pane_bar_images.png");
    ASSERT_TRUE(picture.IsValid());
    auto count = [&](UINT nID, COLORREF clr) {
        return picture.Count(pane.m_bar.FindControl(nID)->GetRect(), [clr](COLORREF c) { return c == clr; });
    };
    EXPECT_EQ(count(57600, RGB(255, 0, 0)), 100);
    EXPECT_EQ(count(57603, RGB(0, 0, 255)), 100);
    CRect bar;
    pane.m_bar.GetClientRect(&bar);
    EXPECT_EQ(picture.Count(bar, [](COLORREF c) { return c == RGB(0, 255, 0); }), 0);
    EXPECT_GT(count(57601, ::GetSysColor(COLOR_BTNFACE)), 200); // the bar's face shows through

    // Loading another resource replaces the images; one without a bitmap leaves the buttons blank.
    win32::RegisterToolbarResource(nullptr, kPaneBar + 1, {16, 16, {57600}});
    ASSERT_TRUE(pane.m_bar.LoadToolBar(kPaneBar + 1));
    pane.m_bar.Invalidate();
    ::UpdateWindow(pane.GetSafeHwnd());
    tdl::test::Picture blank(pane.m_bar.GetSafeHwnd(), "gk_pane_bar_blank.png");
    EXPECT_EQ(blank.Count(pane.m_bar.FindControl(57600)->GetRect(), [](COLORREF c) { return c == RGB(255, 0, 0); }), 0);
    pane.DestroyWindow();
}

// A pane whose bar has a split button: the owner answers the create-control request for 32915 alone and marks
// the descriptor view it shows with a radio mark.
class CSplitPane : public CWnd {
public:
    CGkToolBar m_bar;
    std::vector<UINT> m_commands;
    std::vector<UINT> m_asked;
    UINT m_nView = 32931;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_GK_CREATECONTROL) {
            auto* pRequest = reinterpret_cast<GKCREATECONTROL*>(lParam);
            m_asked.push_back(pRequest->nID);
            if (pRequest->nID != 32915)
                return FALSE;
            HMENU hMenu = ::CreatePopupMenu();
            ::AppendMenuA(hMenu, MF_STRING, 32927, "&Device");
            ::AppendMenuA(hMenu, MF_STRING, 32931, "&Configuration");
            pRequest->controlType = gkControlSplitButtonPopup;
            pRequest->hMenu = hMenu;
            return TRUE;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override {
        if (pHandlerInfo == nullptr && nID >= 32914 && nID <= 32931) {
            if (nCode == CN_COMMAND)
                m_commands.push_back(nID);
            else if (nCode == static_cast<int>(CN_UPDATE_COMMAND_UI))
                static_cast<CCmdUI*>(pExtra)->SetRadio(nID == m_nView);
            return TRUE;
        }
        return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
};

TEST_F(CommandBarsTest, OwnerMakesASplitButtonWhoseArrowOpensItsMenu) {
    constexpr UINT kPaneBar = 59392;
    win32::RegisterToolbarResource(nullptr, kPaneBar, {16, 16, {32914, 32915}});
    std::vector<unsigned char> png = IconStrip(2, kKey);
    win32::RegisterBitmapResource(nullptr, kPaneBar, png.data(), png.size());
    CSplitPane pane;
    ASSERT_TRUE(CreatePaneWithBar(pane, CRect(900, 300, 1200, 400), 262, kPaneBar));
    EXPECT_EQ(pane.m_asked, (std::vector<UINT>{32914, 32915}));
    CGkControl* pPlain = pane.m_bar.FindControl(32914);
    CGkControl* pSplit = pane.m_bar.FindControl(32915);
    EXPECT_EQ(pPlain->GetType(), gkControlButton);
    EXPECT_TRUE(pPlain->GetArrowRect().IsRectEmpty());
    ASSERT_EQ(pSplit->GetType(), gkControlSplitButtonPopup);
    EXPECT_EQ(pSplit->GetRect().Width(), pPlain->GetRect().Width() + GK_TOOLBAR_SPLIT_ARROW);

    // The face sends the command.
    CRect face = pSplit->GetRect();
    face.right = pSplit->GetArrowRect().left;
    win32::Click(pane.m_bar.GetSafeHwnd(), face.CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(pane.m_commands, std::vector<UINT>{32915});

    // The arrow shows the menu updated by the owner (its radio mark on the view shown) and the choice comes
    // back to the owner alone.
    UINT nDeviceState = 0, nConfigState = 0;
    win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND) -> INT_PTR {
        nDeviceState = ::GetMenuState(pSplit->GetMenu(), 32927, MF_BYCOMMAND);
        nConfigState = ::GetMenuState(pSplit->GetMenu(), 32931, MF_BYCOMMAND);
        return 32927;
    });
    win32::Click(pane.m_bar.GetSafeHwnd(), pSplit->GetArrowRect().CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(nDeviceState & MF_CHECKED, 0u);
    EXPECT_NE(nConfigState & MF_CHECKED, 0u);
    EXPECT_EQ(pane.m_commands, (std::vector<UINT>{32915, 32927}));
    EXPECT_TRUE(m_pFrame->m_commands.empty());

    ::UpdateWindow(pane.GetSafeHwnd());
    tdl::test::Picture picture(pane.GetSafeHwnd(), "gk_split_button.png");
    ASSERT_TRUE(picture.IsValid());
    EXPECT_GT(picture.Count(pSplit->GetArrowRect(), [](COLORREF c) { return c == ::GetSysColor(COLOR_BTNTEXT); }), 5);
    // A bar made inside a window shows the images of its own resource: red on the plain button, green on the
    // split button's face, the key colour nowhere.
    CRect splitFace = pSplit->GetRect();
    splitFace.right = pSplit->GetArrowRect().left;
    EXPECT_EQ(picture.Count(pPlain->GetRect(), [](COLORREF c) { return c == RGB(255, 0, 0); }), 100);
    EXPECT_EQ(picture.Count(splitFace, [](COLORREF c) { return c == RGB(0, 255, 0); }), 100);
    EXPECT_EQ(picture.Count(pPlain->GetRect(), [](COLORREF c) { return c == kKey; }), 0);
    pane.DestroyWindow();
}

// Drags a bar by its gripper and lets go at a point of the frame's client area.
void DragBar(CGkToolBar* pBar, CPoint ptFrame) {
    HWND hBar = pBar->GetSafeHwnd();
    win32::MouseDown(hBar, pBar->GetGripperRect().CenterPoint());
    win32::PumpUiMessages(); // the bar holds the mouse from here on
    ::MapWindowPoints(::GetParent(hBar), hBar, &ptFrame, 1);
    win32::MouseMove(hBar, ptFrame, MK_LBUTTON);
    win32::MouseUp(hBar, ptFrame);
    win32::PumpUiMessages();
}

CRect InParent(CWnd* pWnd) {
    CRect rc;
    pWnd->GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, ::GetParent(pWnd->GetSafeHwnd()), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

TEST_F(CommandBarsTest, DraggedBarsMoveToRowsAndAllowedEdges) {
    CGkToolBar* pStandard = Standard();
    CGkToolBar* pExtra = m_pFrame->GetCommandBars()->GetAt(2);
    CRect client;
    m_pFrame->GetClientRect(&client);
    CRect standard = InParent(pStandard);
    ASSERT_EQ(pExtra->GetDockRow(), 2) << "a new bar starts a row of its own";

    // Into Standard's row, to its right: the same row, side by side.
    DragBar(pExtra, CPoint(600, standard.CenterPoint().y));
    EXPECT_EQ(pExtra->GetDockEdge(), static_cast<DWORD>(CBRS_ALIGN_TOP));
    EXPECT_EQ(pExtra->GetDockRow(), pStandard->GetDockRow());
    CRect extra = InParent(pExtra);
    EXPECT_EQ(extra.top, standard.top);
    EXPECT_GE(extra.left, standard.right);
    // Onto Standard itself: it follows Standard, never over it.
    DragBar(pExtra, CPoint(standard.left + 80, standard.CenterPoint().y));
    EXPECT_EQ(pExtra->GetDockRow(), pStandard->GetDockRow());
    EXPECT_GE(InParent(pExtra).left, InParent(pStandard).right);
    // The menu bar's row takes no other bar: a drop there opens a row just inside it.
    CGkMenuBar* pMenuBar = m_pFrame->GetCommandBars()->GetMenuBar();
    DragBar(pExtra, CPoint(300, InParent(pMenuBar).CenterPoint().y));
    EXPECT_EQ(pExtra->GetDockRow(), 1);
    EXPECT_EQ(pStandard->GetDockRow(), 2);
    EXPECT_EQ(InParent(pExtra).top, InParent(pMenuBar).bottom + GK_COMMANDBARS_ROW_EDGE);

    struct Case {
        CPoint drop;
        DWORD edge;
        const char* why;
    } cases[] = {
        {CPoint(3, 200), CBRS_ALIGN_LEFT, "the left edge is allowed"},
        {CPoint(400, client.bottom - 3), CBRS_ALIGN_BOTTOM, "the bottom edge is allowed"},
        {CPoint(client.right - 3, client.bottom - 60), CBRS_ALIGN_BOTTOM, "not the right: the nearest allowed edge"},
    };
    for (const Case& c : cases) {
        DragBar(pExtra, c.drop);
        EXPECT_EQ(pExtra->GetDockEdge(), c.edge) << c.why;
        CRect rc = InParent(pExtra);
        if (c.edge == CBRS_ALIGN_LEFT) {
            EXPECT_EQ(rc.left, client.left) << c.why;
            EXPECT_GT(rc.Height(), rc.Width()) << "a side bar stands upright";
        } else {
            EXPECT_EQ(rc.bottom, client.bottom) << c.why;
            EXPECT_GT(rc.Width(), rc.Height());
        }
        // The MDI client keeps clear of every bar.
        CRect mdi;
        ::GetWindowRect(m_pFrame->m_hWndMDIClient, &mdi);
        ::MapWindowPoints(nullptr, m_pFrame->GetSafeHwnd(), reinterpret_cast<POINT*>(&mdi), 2);
        CRect overlap;
        EXPECT_FALSE(overlap.IntersectRect(&mdi, &rc)) << c.why;
    }
    ::UpdateWindow(m_pFrame->GetSafeHwnd());
    tdl::test::Picture picture(m_pFrame->GetSafeHwnd(), "gk_bars_dragged.png");
    EXPECT_TRUE(picture.IsValid());
}

TEST_F(CommandBarsTest, BarPlacesRoundTripIntoANewFrame) {
    CGkToolBar* pExtra = m_pFrame->GetCommandBars()->GetAt(2);
    DragBar(pExtra, CPoint(600, InParent(Standard()).CenterPoint().y));
    DragBar(Standard(), CPoint(3, 250));
    ASSERT_EQ(Standard()->GetDockEdge(), static_cast<DWORD>(CBRS_ALIGN_LEFT));
    m_pFrame->GetCommandBars()->SaveCommandBars("CommandBars");

    CBarsFrame* pNew = NewFrame();
    CGkToolBar* pNewExtra = pNew->GetCommandBars()->GetAt(2);
    for (auto [pOld, pLoaded] : {std::pair{Standard(), Standard(pNew)}, std::pair{pExtra, pNewExtra}}) {
        EXPECT_EQ(pLoaded->GetDockEdge(), pOld->GetDockEdge());
        EXPECT_EQ(pLoaded->GetDockRow(), pOld->GetDockRow());
        EXPECT_EQ(pLoaded->GetDockOffset(), pOld->GetDockOffset());
        EXPECT_EQ(InParent(pLoaded), InParent(pOld));
    }
}

TEST_F(CommandBarsTest, BarStateRoundTripsAndBadValuesLoadNothing) {
    Standard()->ShowWindow(SW_HIDE);
    m_pFrame->GetCommandBars()->SaveCommandBars("CommandBars");
    CBarsFrame* pNew = NewFrame(); // loads "CommandBars" while building
    EXPECT_FALSE(Standard(pNew)->IsWindowVisible());

    LPBYTE p = nullptr;
    UINT n = 0;
    ASSERT_TRUE(AfxGetApp()->GetProfileBinary("CommandBars", GK_PROFILE_ENTRY, &p, &n));
    std::vector<BYTE> good(p, p + n);
    delete[] p;
    Standard(pNew)->ShowWindow(SW_SHOW);
    for (size_t len = 0; len < good.size(); ++len) {
        std::vector<BYTE> bad(good.begin(), good.begin() + static_cast<long>(len));
        AfxGetApp()->WriteProfileBinary("CommandBars", GK_PROFILE_ENTRY, bad.data(), static_cast<UINT>(bad.size()));
        EXPECT_FALSE(pNew->GetCommandBars()->LoadCommandBars("CommandBars")) << len;
        EXPECT_TRUE(Standard(pNew)->IsWindowVisible()) << len;
    }
    // Another version, and a place on no edge (the first bar's edge, after tag, version, count, id, visible).
    std::vector<BYTE> oldVersion = good, noEdge = good;
    oldVersion[4] = 1;
    noEdge[20] = 0x34;
    for (std::vector<BYTE> bad : {oldVersion, noEdge}) {
        AfxGetApp()->WriteProfileBinary("CommandBars", GK_PROFILE_ENTRY, bad.data(), static_cast<UINT>(bad.size()));
        EXPECT_FALSE(pNew->GetCommandBars()->LoadCommandBars("CommandBars"));
        EXPECT_EQ(Standard(pNew)->GetDockEdge(), static_cast<DWORD>(CBRS_ALIGN_TOP));
        EXPECT_TRUE(Standard(pNew)->IsWindowVisible());
    }
}

} // namespace
