// Menus of frames: a frame loaded from a resource id takes its title, menu and accelerators; update handlers
// set pop-up items' state when the pop-up opens (unhandled items greyed only with automatic enabling, and
// only frames run them); accelerators are translated by the message pump.
#include <string>

#include "NtRegistryStore.h"
#include "WinResourceTable.h"
#include "afxwin.h"
#include "platform_afx_tests_embedded.h"
#include "tests/support/UiFixture.h"

namespace {

constexpr UINT kFrameId = 128;
constexpr UINT kChecked = 200, kRadio = 201, kText = 202, kHandled = 203, kUnhandled = 204, kCtrlK = 205;

int g_handled = 0;

class CMenuFrame : public CFrameWnd {
public:
    void OnHandled() { ++g_handled; }
    void OnUpdateChecked(CCmdUI* pCmdUI) { pCmdUI->SetCheck(1); }
    void OnUpdateRadio(CCmdUI* pCmdUI) { pCmdUI->SetRadio(TRUE); }
    void OnUpdateText(CCmdUI* pCmdUI) {
        pCmdUI->SetText("&Renamed");
        pCmdUI->Enable(FALSE);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CMenuFrame, CFrameWnd)
ON_COMMAND(kHandled, &CMenuFrame::OnHandled)
ON_COMMAND(kCtrlK, &CMenuFrame::OnHandled)
ON_UPDATE_COMMAND_UI(kChecked, &CMenuFrame::OnUpdateChecked)
ON_UPDATE_COMMAND_UI(kRadio, &CMenuFrame::OnUpdateRadio)
ON_UPDATE_COMMAND_UI(kText, &CMenuFrame::OnUpdateText)
END_MESSAGE_MAP()

class MenuTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        g_handled = 0;
        AfxRegisterString(kFrameId, "Tindaloft");
        win32::RegisterMenuResource(nullptr, kFrameId,
                                    {{MF_POPUP,
                                      0,
                                      "&View",
                                      {{MF_STRING, kChecked, "&Checked", {}},
                                       {MF_STRING, kRadio, "&Radio", {}},
                                       {MF_STRING, kText, "&Text", {}},
                                       {MF_SEPARATOR, 0, "", {}},
                                       {MF_STRING, kHandled, "&Handled", {}},
                                       {MF_STRING, kUnhandled, "&Unhandled", {}}}}});
        win32::RegisterAcceleratorResource(nullptr, kFrameId, {{FVIRTKEY | FCONTROL, 'K', kCtrlK}});
    }
    void TearDown() override {
        win32::ClearResources();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
};

UINT StateOf(HMENU hMenu, UINT id) {
    return GetMenuState(hMenu, id, MF_BYCOMMAND);
}

TEST_F(MenuTest, PopupItemsTakeTheirStateFromTheUpdateHandlers) {
    auto* pFrame = new CMenuFrame;
    ASSERT_TRUE(pFrame->LoadFrame(kFrameId));
    CString title;
    pFrame->GetWindowText(title);
    EXPECT_EQ(std::string(title), "Tindaloft");
    EXPECT_EQ(GetClassLongPtrA(pFrame->m_hWnd, GCLP_HICON), 0u); // the id has no icon
    HMENU hMenu = GetMenu(pFrame->m_hWnd);
    ASSERT_NE(hMenu, nullptr);
    HMENU hPopup = GetSubMenu(hMenu, 0);

    pFrame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hPopup), MAKELPARAM(0, FALSE));
    EXPECT_TRUE(StateOf(hPopup, kChecked) & MF_CHECKED);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(hPopup, kRadio, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info.fState & MFS_CHECKED);
    char text[64] = {};
    GetMenuStringA(hPopup, kText, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Renamed");
    EXPECT_TRUE(StateOf(hPopup, kText) & MF_GRAYED);
    EXPECT_FALSE(StateOf(hPopup, kHandled) & MF_GRAYED);
    EXPECT_TRUE(StateOf(hPopup, kUnhandled) & MF_GRAYED);

    // Without automatic enabling an unhandled item is left as it is.
    EnableMenuItem(hPopup, kUnhandled, MF_BYCOMMAND | MF_ENABLED);
    pFrame->m_bAutoMenuEnable = FALSE;
    pFrame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hPopup), MAKELPARAM(0, FALSE));
    EXPECT_FALSE(StateOf(hPopup, kUnhandled) & MF_GRAYED);
    pFrame->m_bAutoMenuEnable = TRUE;

    // A pop-up a plain window opens keeps the marks its code set.
    CWnd plain;
    ASSERT_TRUE(plain.Create(nullptr, "", WS_VISIBLE, CRect(0, 0, 50, 50), pFrame, 1));
    plain.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hPopup), MAKELPARAM(0, FALSE));
    EXPECT_FALSE(StateOf(hPopup, kUnhandled) & MF_GRAYED);
    plain.DestroyWindow();

    const size_t menus = win32::MenuCount();
    pFrame->DestroyWindow(); // the frame and its menu go
    EXPECT_LT(win32::MenuCount(), menus);

    // With an icon of the id, the frame's class has it.
    win32::RegisterIconResource(nullptr, kFrameId, tdl::embedded::icon16_png, tdl::embedded::icon16_png_size);
    auto* pWithIcon = new CMenuFrame;
    ASSERT_TRUE(pWithIcon->LoadFrame(kFrameId));
    EXPECT_NE(GetClassLongPtrA(pWithIcon->m_hWnd, GCLP_HICON), 0u);
    pWithIcon->DestroyWindow();
}

TEST_F(MenuTest, ThePumpTranslatesTheFramesAccelerators) {
    auto* pFrame = new CMenuFrame;
    ASSERT_TRUE(pFrame->LoadFrame(kFrameId));
    m_app.m_pMainWnd = pFrame;
    pFrame->ShowWindow(SW_SHOW);
    pFrame->SetFocus();
    win32::KeyDown(pFrame->m_hWnd, VK_CONTROL);
    win32::PressKey(pFrame->m_hWnd, 'K');
    win32::KeyUp(pFrame->m_hWnd, VK_CONTROL);
    win32::PressKey(pFrame->m_hWnd, 'K'); // without Ctrl: no command
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        m_app.PumpMessage();
    EXPECT_EQ(g_handled, 1);
    pFrame->DestroyWindow();
    // The main window's end posts the end of the loop.
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_FALSE(m_app.PumpMessage());
}

TEST_F(MenuTest, TheRecentFilesFillTheFileMenu) {
    nt::registry::Reset();
    win32::RegisterMenuResource(nullptr, kFrameId + 1,
                                {{MF_POPUP,
                                  0,
                                  "&File",
                                  {{MF_STRING, ID_FILE_NEW, "&New", {}},
                                   {MF_STRING, ID_FILE_MRU_FILE1, "Recent File", {}},
                                   {MF_SEPARATOR, 0, "", {}},
                                   {MF_STRING, kHandled, "E&xit", {}}}}});
    AfxRegisterString(kFrameId + 1, "Tindaloft");
    m_app.SetRegistryKey("Vellumcrest");
    m_app.LoadStdProfileSettings(4);
    auto* pFrame = new CMenuFrame;
    ASSERT_TRUE(pFrame->LoadFrame(kFrameId + 1));
    HMENU hFile = GetSubMenu(GetMenu(pFrame->m_hWnd), 0);
    auto itemText = [&](int position) {
        char text[128] = {};
        GetMenuStringA(hFile, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        return std::string(text);
    };

    // Nothing listed: the item keeps its text, greyed.
    pFrame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hFile), 0);
    EXPECT_EQ(itemText(1), "Recent File");
    EXPECT_TRUE(GetMenuState(hFile, 1, MF_BYPOSITION) & MF_GRAYED);

    m_app.AddToRecentFileList("\\logs\\a&b.tdloft");
    m_app.AddToRecentFileList("\\logs\\second.tdloft");
    pFrame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hFile), 0);
    ASSERT_EQ(GetMenuItemCount(hFile), 5);
    EXPECT_EQ(itemText(1), "&1 \\logs\\second.tdloft");
    EXPECT_EQ(itemText(2), "&2 \\logs\\a&&b.tdloft");
    EXPECT_EQ(GetMenuItemID(hFile, 2), static_cast<UINT>(ID_FILE_MRU_FILE1 + 1));
    EXPECT_FALSE(GetMenuState(hFile, 2, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(itemText(4), "E&xit");
    // Opening it again rebuilds the same items.
    pFrame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hFile), 0);
    EXPECT_EQ(GetMenuItemCount(hFile), 5);
    pFrame->DestroyWindow();
    nt::registry::Reset();
}

} // namespace

namespace {

// A frame's context menu: the update handlers run as the pop-up opens, so an item they disable cannot be
// picked, and a picked command reaches the frame's handler.
TEST_F(MenuTest, AContextMenuTakesItsStateFromTheUpdateHandlersAndCommandsTheFrame) {
    auto* pFrame = new CMenuFrame;
    ASSERT_TRUE(pFrame->LoadFrame(kFrameId));
    CMenu* pPopup = CMenu::FromHandle(GetSubMenu(GetMenu(pFrame->m_hWnd), 0));
    win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND) -> INT_PTR {
        EXPECT_TRUE(StateOf(*pPopup, kText) & MF_GRAYED); // the handler ran before the user saw the menu
        return kHandled;
    });
    EXPECT_TRUE(pPopup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 20, 20, pFrame));
    win32::PumpUiMessages();
    EXPECT_EQ(g_handled, 1);
    win32::SetModalStrict(false); // the refused answer is reported, not failed
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, kText);
    EXPECT_EQ(pPopup->TrackPopupMenu(TPM_RETURNCMD, 20, 20, pFrame), 0);
    EXPECT_EQ(win32::UnexpectedModalRequests().size(), 1u);
    pFrame->DestroyWindow();
}

} // namespace
