// The dialog manager and its button and static controls, driven as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "WinResourceTable.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;
using win32::test::CenterOf;
using win32::test::CountPainted;

constexpr UINT kDialog = 104;
constexpr int kName = 1001, kVerbose = 1002, kFirst = 1003, kSecond = 1004, kThird = 1005, kLabel = 1006,
              kProgress = 1007;

win32::DialogResource Template() {
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d.cx = 180;
    d.cy = 100;
    d.caption = "Capture Options";
    d.items = {
        {"STATIC", static_cast<UINT>(kLabel), "Speed:", SS_LEFT | WS_VISIBLE, 0, 8, 8, 60, 10},
        {"BUTTON", static_cast<UINT>(kVerbose), "Verbose", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 0, 8, 20, 70, 10},
        {"BUTTON", 0, "Speed", BS_GROUPBOX | WS_VISIBLE, 0, 90, 4, 82, 56},
        {"BUTTON", static_cast<UINT>(kFirst), "Low", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 0, 96, 16,
         60, 10},
        {"BUTTON", static_cast<UINT>(kSecond), "Full", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 96, 28, 60, 10},
        {"BUTTON", static_cast<UINT>(kThird), "High", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 96, 40, 60, 10},
        {"BUTTON", static_cast<UINT>(kName), "Apply", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 0, 8, 80, 50,
         14},
        {"BUTTON", IDOK, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 64, 80, 50, 14},
        {"BUTTON", IDCANCEL, "Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 120, 80, 50, 14},
        {PROGRESS_CLASS, static_cast<UINT>(kProgress), "", WS_VISIBLE, 0, 8, 64, 164, 8},
    };
    return d;
}

// What the test's dialog procedure saw and does.
struct Probe {
    std::vector<int> commands;
    bool handleClose = false;
    bool endInInit = false;
    bool ended = false;
};

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* probe = reinterpret_cast<Probe*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        if (lParam && reinterpret_cast<Probe*>(lParam)->endInInit)
            EndDialog(dialog, 77);
        return TRUE;
    case WM_COMMAND:
        if (!probe)
            return FALSE;
        probe->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            probe->ended = true;
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    case WM_CLOSE: return probe && probe->handleClose;
    default: return FALSE;
    }
}

class DialogsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::RegisterDialogResource(nullptr, kDialog, Template());
    }
    void TearDown() override {
        win32::ClearResources();
        UiTest::TearDown();
    }
};

TEST_F(DialogsTest, AScriptedModalRunReturnsEndDialogsCodeWithTheOwnerDisabledMeanwhile) {
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200});
    Probe probe;
    bool ownerWasEnabled = true;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest& request, HWND dialog) -> INT_PTR {
            EXPECT_EQ(request.caption, "Capture Options");
            ownerWasEnabled = IsWindowEnabled(owner);
            EXPECT_TRUE(IsWindowVisible(dialog));
            win32::Click(GetDlgItem(dialog, kVerbose), CenterOf(GetDlgItem(dialog, kVerbose)));
            win32::PumpUiMessages();
            EXPECT_EQ(IsDlgButtonChecked(dialog, kVerbose), static_cast<UINT>(BST_CHECKED));
            win32::Click(GetDlgItem(dialog, IDOK), CenterOf(GetDlgItem(dialog, IDOK)));
            win32::PumpUiMessages();
            return IDCANCEL; // the dialog ended itself: its own code wins
        },
        "104");
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), owner, ProbeProc, reinterpret_cast<LPARAM>(&probe)),
              IDOK);
    EXPECT_FALSE(ownerWasEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(probe.commands, (std::vector<int>{kVerbose, IDOK}));
    ASSERT_EQ(win32::ModalRequests().size(), 1u);
    EXPECT_EQ(win32::ModalRequests()[0].text, "104");
}

TEST_F(DialogsTest, AnOutrightAnswerPressesItsButtonAndWmCloseIsCancelUnlessHandled) {
    Probe probe;
    win32::QueueModalAnswer(win32::ModalKind::Dialog, IDOK);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe)),
              IDOK);
    EXPECT_EQ(probe.commands, std::vector<int>{IDOK});

    for (bool handled : {false, true}) {
        Probe closing;
        closing.handleClose = handled;
        win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
            SendMessageA(dialog, WM_CLOSE, 0, 0);
            EXPECT_EQ(closing.ended, !handled);
            return 5; // ends a dialog that did not end itself
        });
        EXPECT_EQ(
            DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&closing)),
            handled ? 5 : IDCANCEL)
            << handled;
    }
}

TEST_F(DialogsTest, EnterPressesTheDefaultButtonAndEscapeCancelsInAModalRun) {
    struct KeyCase {
        BYTE vk;
        WORD defaultId; // moved before the key; 0: the template's
        int expected;
    } cases[] = {{VK_RETURN, 0, IDOK}, {VK_ESCAPE, 0, IDCANCEL}, {VK_RETURN, static_cast<WORD>(kName), -1}};
    for (const KeyCase& c : cases) {
        Probe probe;
        win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
            if (c.defaultId)
                SendMessageA(dialog, DM_SETDEFID, c.defaultId, 0);
            win32::PressKey(dialog, c.vk);
            win32::PumpUiMessages();
            return -1; // what a dialog the key did not end returns
        });
        EXPECT_EQ(
            DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe)),
            c.expected)
            << int(c.vk);
        if (c.defaultId)
            EXPECT_EQ(probe.commands.front(), kName);
    }
}

TEST_F(DialogsTest, ANestedPromptRunsItsOwnScriptAndAnUnscriptedDialogIsCancelledAndReported) {
    Probe probe;
    win32::QueueModalSteps(win32::ModalKind::Dialog, [](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
        EXPECT_EQ(MessageBoxA(dialog, "Discard the capture?", "Tindaloft", MB_YESNO), IDNO);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        return IDOK;
    });
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "Discard");
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe)),
              IDOK);

    win32::SetModalStrict(false);
    Probe unscripted;
    EXPECT_EQ(
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&unscripted)),
        IDCANCEL);
    EXPECT_EQ(unscripted.commands, std::vector<int>{IDCANCEL});
    ASSERT_EQ(win32::UnexpectedModalRequests().size(), 1u);
    EXPECT_EQ(win32::UnexpectedModalRequests()[0].kind, win32::ModalKind::Dialog);
}

TEST_F(DialogsTest, AMissingTemplateOrADialogEndedInItsInitialisationAsksNothing) {
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), nullptr, ProbeProc, 0), -1);
    Probe probe;
    probe.endInInit = true;
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe)),
              77);
    EXPECT_TRUE(win32::ModalRequests().empty());
}

// A modeless dialog's pump: every message through IsDialogMessage first.
void PumpDialog(HWND dialog) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

TEST_F(DialogsTest, AModelessDialogTabsOverTabStopsMovesInRadioGroupsAndTakesEnterAndEscape) {
    Probe probe;
    HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe));
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    PumpDialog(dialog);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kVerbose)); // the first tab stop
    const int forward[] = {kFirst, kName, IDOK, IDCANCEL, kVerbose};
    for (int id : forward) {
        win32::PressKey(dialog, VK_TAB);
        PumpDialog(dialog);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), id);
    }
    win32::PressKey(dialog, VK_TAB);
    PumpDialog(dialog);
    win32::PressKey(dialog, VK_DOWN); // onto "Full", which an arrow selects
    PumpDialog(dialog);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), kSecond);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kSecond), static_cast<UINT>(BST_CHECKED));
    win32::PressKey(dialog, VK_UP);
    win32::PressKey(dialog, VK_UP); // wraps to "High"
    PumpDialog(dialog);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), kThird);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kSecond), static_cast<UINT>(BST_UNCHECKED));

    SendMessageA(dialog, DM_SETDEFID, kName, 0); // the default moves, as the filter dialog does
    EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), kName);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    win32::PressKey(dialog, VK_RETURN);
    win32::PressKey(dialog, VK_ESCAPE);
    PumpDialog(dialog);
    EXPECT_EQ(probe.commands, (std::vector<int>{kSecond, kFirst, kThird, kName, IDCANCEL}));
    DestroyWindow(dialog);
}

TEST_F(DialogsTest, AutomaticRadioButtonsClearTheRestOfTheirGroupOnly) {
    Probe probe;
    HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&probe));
    ShowWindow(dialog, SW_SHOW);
    CheckDlgButton(dialog, kVerbose, BST_CHECKED);
    for (int id : {kFirst, kThird, kSecond}) {
        win32::Click(GetDlgItem(dialog, id), CenterOf(GetDlgItem(dialog, id)));
        win32::PumpUiMessages();
        for (int other : {kFirst, kSecond, kThird})
            EXPECT_EQ(IsDlgButtonChecked(dialog, other), static_cast<UINT>(other == id)) << id << " " << other;
    }
    EXPECT_EQ(IsDlgButtonChecked(dialog, kVerbose), static_cast<UINT>(BST_CHECKED)); // another group
    // A press that leaves the button before it is let go is no click.
    HWND radio = GetDlgItem(dialog, kFirst);
    win32::MouseDown(radio, CenterOf(radio));
    win32::MouseUp(radio, POINT{-20, -20});
    win32::PumpUiMessages();
    EXPECT_EQ(IsDlgButtonChecked(dialog, kFirst), static_cast<UINT>(BST_UNCHECKED));
    DestroyWindow(dialog);
}

TEST_F(DialogsTest, DialogItemNumbersReadOnlyWholeNumbersInRange) {
    HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, 0);
    struct Case {
        const char* text;
        BOOL isSigned;
        BOOL ok;
        UINT value;
    } cases[] = {{" 42 ", FALSE, TRUE, 42},       {"-7", TRUE, TRUE, static_cast<UINT>(-7)},
                 {"-7", FALSE, FALSE, 0},         {"4294967295", FALSE, TRUE, 4294967295u},
                 {"4294967296", FALSE, FALSE, 0}, {"2147483648", TRUE, FALSE, 0},
                 {"12abc", FALSE, FALSE, 0},      {"", FALSE, FALSE, 0}};
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, kLabel, c.text);
        BOOL ok = -1;
        EXPECT_EQ(GetDlgItemInt(dialog, kLabel, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    DestroyWindow(dialog);
}

TEST_F(DialogsTest, ThePictureShowsACheckedBoxRoundRadioButtonsAndADisabledButton) {
    HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kDialog), nullptr, ProbeProc, 0);
    ShowWindow(dialog, SW_SHOW);
    HWND verbose = GetDlgItem(dialog, kVerbose);
    HWND apply = GetDlgItem(dialog, kName);
    RECT client{};
    GetClientRect(verbose, &client);
    const int boxTop = (client.bottom - 13) / 2;
    const RECT box{2, boxTop + 2, 11, boxTop + 11};
    EXPECT_EQ(CountPainted(verbose, RGB(0, 0, 0), box), 0);
    EXPECT_EQ(win32::ClientPixel(verbose, 5, boxTop + 9), GetSysColor(COLOR_WINDOW));
    CheckDlgButton(dialog, kVerbose, BST_CHECKED);
    EXPECT_GT(CountPainted(verbose, RGB(0, 0, 0), box), 8);
    EXPECT_EQ(win32::ClientPixel(verbose, 5, boxTop + 9), RGB(0, 0, 0)); // the tick, in the dialog's picture

    // Radio buttons are round: the corners of their 13-pixel box are the dialog's face; the ring is shadowed
    // above and lit below, and only the checked one has its dot.
    CheckDlgButton(dialog, kSecond, BST_CHECKED);
    for (int id : {kFirst, kSecond}) {
        HWND radio = GetDlgItem(dialog, id);
        GetClientRect(radio, &client);
        const int top = (client.bottom - 13) / 2;
        for (POINT corner : {POINT{0, top}, POINT{12, top}, POINT{0, top + 12}, POINT{12, top + 12}})
            EXPECT_EQ(win32::ClientPixel(radio, corner.x, corner.y), GetSysColor(COLOR_BTNFACE)) << id;
        EXPECT_EQ(win32::ClientPixel(radio, 5, top), GetSysColor(COLOR_BTNSHADOW)) << id;
        EXPECT_EQ(win32::ClientPixel(radio, 5, top + 11), GetSysColor(COLOR_BTNHIGHLIGHT)) << id;
        EXPECT_EQ(win32::ClientPixel(radio, 5, top + 5), id == kSecond ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOW));
    }

    // The label's dark text turns grey when the button is disabled.
    GetClientRect(apply, &client);
    const RECT inside{3, 3, client.right - 3, client.bottom - 3};
    EXPECT_GT(CountPainted(apply, GetSysColor(COLOR_BTNTEXT), inside), 10);
    EnableWindow(apply, FALSE);
    EXPECT_EQ(CountPainted(apply, GetSysColor(COLOR_BTNTEXT), inside), 0);
    EXPECT_GT(CountPainted(apply, GetSysColor(COLOR_GRAYTEXT), inside), 10);
    SendDlgItemMessageA(dialog, kProgress, PBM_SETPOS, 60, 0);
    EXPECT_TRUE(tdl::test::SavePicture(dialog, "tdl-dialog.png"));
    DestroyWindow(dialog);
}

} // namespace

namespace {

TEST_F(DialogsTest, ADialogIsThreeDimensional) {
    // A control's flat border becomes a sunken client edge; a modal frame hides the caption's icon.
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    d.cx = 120;
    d.cy = 60;
    d.caption = "Find";
    d.items = {{"EDIT", 11, "", ES_LEFT | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 8, 8, 100, 12},
               {"LISTBOX", 12, "", WS_BORDER | WS_VSCROLL | WS_VISIBLE, 0, 8, 24, 100, 30}};
    win32::RegisterDialogResource(nullptr, 105, d);
    HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(105), nullptr, ProbeProc, 0);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT window{};
    GetWindowRect(dialog, &window);
    EXPECT_EQ(SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(window.left + 8, window.top + 12)), HTCAPTION);
    for (int id : {11, 12}) {
        HWND control = GetDlgItem(dialog, id);
        EXPECT_FALSE(GetWindowLongA(control, GWL_STYLE) & WS_BORDER) << id;
        EXPECT_TRUE(GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << id;
        RECT r{};
        GetWindowRect(control, &r);
        POINT at{r.left + 20, r.top};
        ScreenToClient(dialog, &at);
        EXPECT_EQ(win32::ClientPixel(dialog, at.x, at.y), GetSysColor(COLOR_3DSHADOW)) << id;
        EXPECT_EQ(win32::ClientPixel(dialog, at.x, at.y + 1), GetSysColor(COLOR_3DDKSHADOW)) << id;
    }
    EXPECT_TRUE(tdl::test::SavePicture(dialog, "tdl-dialog-3d.png"));
    DestroyWindow(dialog);
}

TEST_F(DialogsTest, AProgressBarClampsItsPositionAndPaintsItsShare) {
    InitCommonControls();
    TestWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 100});
    HWND bar = CreateWindowExA(0, PROGRESS_CLASS, "", WS_CHILD | WS_VISIBLE, 10, 10, 202, 20, parent, nullptr, nullptr,
                               nullptr);
    ASSERT_NE(bar, nullptr);
    SendMessageA(bar, PBM_SETRANGE32, 0, 200);
    struct Step {
        UINT message;
        WPARAM wParam;
        int expected; // the position after
    } steps[] = {{PBM_SETPOS, 50, 50},
                 {PBM_SETPOS, 500, 200},
                 {PBM_DELTAPOS, static_cast<WPARAM>(-300), 0},
                 {PBM_DELTAPOS, 20, 20},
                 {PBM_SETPOS, static_cast<WPARAM>(-5), 0},
                 {PBM_SETPOS, 100, 100}};
    for (const Step& s : steps) {
        SendMessageA(bar, s.message, s.wParam, 0);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), s.expected) << s.message << " " << s.wParam;
    }
    // Half of the inside is the highlight colour, the rest the face.
    EXPECT_EQ(win32::ClientPixel(bar, 50, 10), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(win32::ClientPixel(bar, 150, 10), GetSysColor(COLOR_BTNFACE));
    PBRANGE range{};
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iHigh, 200);
    DestroyWindow(bar);
}

} // namespace
