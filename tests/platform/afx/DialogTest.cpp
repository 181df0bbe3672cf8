// CDialog over the dialog manager: modal runs scripted as a user would, data exchange, closing, and a
// self-deleting modeless dialog.
#include <cstring>
#include <string>
#include <vector>

#include "WinFontDialogControl.h"
#include "WinResourceTable.h"
#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kDialog = 104;
constexpr int kCount = 1001, kVerbose = 1002, kLow = 1003, kFull = 1004, kHigh = 1005;

win32::DialogResource Template() {
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d.cx = 160;
    d.cy = 90;
    d.caption = "Capture Options";
    d.items = {
        {"STATIC", static_cast<UINT>(kCount), "", SS_LEFT | WS_VISIBLE, 0, 8, 8, 60, 10},
        {"BUTTON", static_cast<UINT>(kVerbose), "Verbose", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 0, 8, 20, 70, 10},
        {"BUTTON", static_cast<UINT>(kLow), "Low", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 0, 90, 8,
         60, 10},
        {"BUTTON", static_cast<UINT>(kFull), "Full", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 90, 20, 60, 10},
        {"BUTTON", static_cast<UINT>(kHigh), "High", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 90, 32, 60, 10},
        {"BUTTON", IDOK, "OK", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 0, 50, 70, 50, 14},
        {"BUTTON", IDCANCEL, "Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 104, 70, 50, 14},
    };
    return d;
}

void ClickItem(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT r{};
    GetClientRect(control, &r);
    win32::Click(control, POINT{r.right / 2, r.bottom / 2});
    win32::PumpUiMessages();
}

class CCaptureDialog : public CDialog {
public:
    CCaptureDialog() : CDialog(kDialog) {}
    int m_nCount = 12;
    int m_bVerbose = FALSE;
    int m_nSpeed = 1;
    bool m_bEndInInit = false;
    CWnd m_verbose;
    std::vector<std::string> m_log;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, kVerbose, m_verbose);
        DDX_Text(pDX, kCount, m_nCount);
        DDX_Check(pDX, kVerbose, m_bVerbose);
        DDX_Radio(pDX, kLow, m_nSpeed);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_log.push_back("init");
        if (m_bEndInInit)
            EndDialog(42);
        return TRUE;
    }
};

// A dialog that handles WM_CLOSE itself (it only logs it).
class CKeepOpenDialog : public CCaptureDialog {
public:
    void OnClose() { m_log.push_back("close"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CKeepOpenDialog, CCaptureDialog)
ON_WM_CLOSE()
END_MESSAGE_MAP()

class DialogTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::RegisterDialogResource(nullptr, kDialog, Template());
        ASSERT_TRUE(m_main.CreateEx(0, nullptr, "Tindaloft", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 400, 300),
                                    nullptr, 0));
        m_app.m_pMainWnd = &m_main;
    }
    void TearDown() override {
        m_app.m_pMainWnd = nullptr;
        m_main.DestroyWindow();
        win32::ClearResources();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
    CWnd m_main;
};

TEST_F(DialogTest, AScriptedRunExchangesDataAndReturnsTheCodeWithTheMainWindowDisabledMeanwhile) {
    CCaptureDialog dlg;
    bool mainEnabled = true;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
            mainEnabled = IsWindowEnabled(m_main);
            EXPECT_EQ(CWnd::FromHandlePermanent(dialog), &dlg);
            EXPECT_EQ(dlg.m_verbose.GetSafeHwnd(), GetDlgItem(dialog, kVerbose)); // DDX_Control subclassed it
            char text[16] = {};
            GetDlgItemTextA(dialog, kCount, text, sizeof text);
            EXPECT_STREQ(text, "12");
            EXPECT_EQ(IsDlgButtonChecked(dialog, kFull), static_cast<UINT>(BST_CHECKED));
            SetDlgItemTextA(dialog, kCount, "40");
            ClickItem(dialog, kVerbose);
            ClickItem(dialog, kHigh);
            ClickItem(dialog, IDOK);
            return 0;
        },
        "104");
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(m_main.IsWindowEnabled());
    EXPECT_EQ(dlg.m_nCount, 40);
    EXPECT_EQ(dlg.m_bVerbose, BST_CHECKED);
    EXPECT_EQ(dlg.m_nSpeed, 2);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dlg.m_verbose.GetSafeHwnd(), nullptr);
}

TEST_F(DialogTest, ABadNumberKeepsTheDialogOpenAfterSayingSo) {
    CCaptureDialog dlg;
    win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
        SetDlgItemTextA(dialog, kCount, "many");
        ClickItem(dialog, IDOK);
        EXPECT_TRUE(IsWindowVisible(dialog)); // still up
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCount));
        ClickItem(dialog, IDCANCEL);
        return 0;
    });
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Please enter an integer.");
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nCount, 12);
}

TEST_F(DialogTest, WmCloseCancelsUnlessTheClassHandlesIt) {
    CCaptureDialog plain;
    win32::QueueModalSteps(win32::ModalKind::Dialog, [](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        return 0;
    });
    EXPECT_EQ(plain.DoModal(), IDCANCEL);

    CKeepOpenDialog keeping;
    win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindowVisible(dialog));
        return IDOK; // an outright answer then presses OK
    });
    EXPECT_EQ(keeping.DoModal(), IDOK);
    EXPECT_EQ(keeping.m_log, (std::vector<std::string>{"init", "close"}));
}

TEST_F(DialogTest, NoTemplateGivesMinusOneAndAnInitialisationThatEndsAsksNothing) {
    CDialog none;
    EXPECT_EQ(none.DoModal(), -1);
    CCaptureDialog ending;
    ending.m_bEndInInit = true;
    EXPECT_EQ(ending.DoModal(), 42);
    EXPECT_TRUE(win32::ModalRequests().empty());
    EXPECT_TRUE(m_main.IsWindowEnabled());
}

class CModeless : public CCaptureDialog {
public:
    explicit CModeless(bool* pDeleted) : m_pDeleted(pDeleted) {}
    ~CModeless() override { *m_pDeleted = true; }
    void OnCancel() override { DestroyWindow(); }

protected:
    void PostNcDestroy() override { delete this; }
    bool* m_pDeleted;
};

TEST_F(DialogTest, AModelessDialogTakesEscapeInThePumpAndDeletesItself) {
    bool deleted = false;
    auto* pDlg = new CModeless(&deleted);
    ASSERT_TRUE(pDlg->Create(kDialog, &m_main));
    HWND dialog = pDlg->GetSafeHwnd();
    pDlg->ShowWindow(SW_SHOW);
    EXPECT_TRUE(m_main.IsWindowEnabled()); // modeless: the owner stays usable
    win32::PressKey(dialog, VK_ESCAPE);
    MSG msg;
    while (!deleted && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(dialog);
        if (pWnd == nullptr || !pWnd->PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(IsWindow(dialog));
}

} // namespace

namespace {

TEST_F(DialogTest, ControlObjectsMakeTheirControlsAndSpeakTheirMessages) {
    CButton check;
    ASSERT_TRUE(check.Create("Verbose", BS_AUTOCHECKBOX | WS_VISIBLE, CRect(10, 10, 110, 30), &m_main, 7));
    char className[16] = {};
    GetClassNameA(check.m_hWnd, className, sizeof className);
    EXPECT_STREQ(className, "BUTTON");
    win32::Click(check.m_hWnd, POINT{5, 10});
    win32::PumpUiMessages();
    EXPECT_EQ(check.GetCheck(), BST_CHECKED);

    CProgressCtrl progress;
    ASSERT_TRUE(progress.Create(WS_VISIBLE, CRect(10, 40, 110, 50), &m_main, 8));
    progress.SetRange32(10, 20);
    int low = 0, high = 0;
    progress.GetRange(low, high);
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 20);
    progress.SetPos(25);
    EXPECT_EQ(progress.GetPos(), 20);
    progress.SetStep(4);
    progress.StepIt(); // past the end: from the start again
    EXPECT_EQ(progress.GetPos(), 14);

    CStatic label;
    ASSERT_TRUE(label.Create("Speed:", SS_LEFT | WS_VISIBLE, CRect(10, 60, 110, 75), &m_main));
    CString text;
    label.GetWindowText(text);
    EXPECT_EQ(text, "Speed:");
}

} // namespace

namespace {

// The font chooser's object: owned by the main window when given no parent, the chosen font read back.
TEST_F(DialogTest, AFontDialogWithoutAParentMakesTheMainWindowWaitAndReadsBackTheChosenFont) {
    LOGFONTA initial{};
    initial.lfHeight = -13;
    std::strcpy(initial.lfFaceName, "Courier New");
    CFontDialog dialog(&initial);
    bool mainEnabled = true;
    win32::QueueModalSteps(win32::ModalKind::Font, [&](const win32::ModalRequest& request, HWND) -> INT_PTR {
        EXPECT_EQ(request.owner, m_main.m_hWnd);
        mainEnabled = IsWindowEnabled(m_main.m_hWnd);
        LOGFONTA chosen = initial;
        chosen.lfWeight = FW_BOLD;
        std::strcpy(chosen.lfFaceName, "Arial");
        win32::ChooseFontChoice(chosen, RGB(0, 0, 255));
        return IDOK;
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(mainEnabled);
    EXPECT_EQ(dialog.GetFaceName(), "Arial");
    EXPECT_TRUE(dialog.IsBold());
    EXPECT_FALSE(dialog.IsItalic());
    EXPECT_EQ(dialog.GetStyleName(), "Bold");
    EXPECT_EQ(dialog.GetColor(), RGB(0, 0, 255));
    EXPECT_GT(dialog.GetSize(), 0);
    win32::QueueModalAnswer(win32::ModalKind::Font, IDCANCEL);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

} // namespace
