// The edit control, driven as a user would: typing, keys, the mouse and the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "WinResourceTable.h"
#include "tests/support/UiFixture.h"

namespace {

using win32::test::CountPainted;

constexpr int kEditId = 42;

class EditTest : public win32::test::ControlHostTest {
protected:
    void TearDown() override {
        // What the tests copied leaves with them: other suites count the clipboard's blocks.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        ControlHostTest::TearDown();
    }
    HWND MakeEdit(DWORD style, RECT r = {10, 10, 210, 34}) {
        HWND edit = MakeControl(WC_EDIT, style, r, kEditId);
        SetFocus(edit);
        win32::PumpUiMessages();
        return edit;
    }
    std::vector<WORD> Notifications() {
        std::vector<WORD> codes;
        for (int code : ControlHostTest::Notifications(kEditId))
            codes.push_back(static_cast<WORD>(code));
        return codes;
    }
    static std::string Text(HWND hwnd) {
        char text[256] = {};
        GetWindowTextA(hwnd, text, sizeof text);
        return text;
    }
    static std::pair<DWORD, DWORD> Selection(HWND edit) {
        DWORD start = 0, end = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    static void Type(HWND edit, const std::string& text) {
        win32::TypeText(edit, text);
        win32::PumpUiMessages();
    }
    static void Press(HWND edit, BYTE vk, bool shift = false, bool control = false) {
        if (shift)
            win32::KeyDown(edit, VK_SHIFT);
        if (control)
            win32::KeyDown(edit, VK_CONTROL);
        win32::PressKey(edit, vk);
        if (control)
            win32::KeyUp(edit, VK_CONTROL);
        if (shift)
            win32::KeyUp(edit, VK_SHIFT);
        win32::PumpUiMessages();
    }
};

TEST_F(EditTest, TypingFollowsTheStyleAndTheLimit) {
    struct Case {
        const char* name;
        DWORD style;
        UINT limit; // 0: the default
        const char* typed;
        const char* expected;
        size_t beeps;
        bool maxText;
    } cases[] = {
        {"plain", 0, 0, "Bulk 12", "Bulk 12", 0, false},
        {"upper case", ES_UPPERCASE, 0, "ab Cd", "AB CD", 0, false},
        {"lower case", ES_LOWERCASE, 0, "AB cD", "ab cd", 0, false},
        {"digits only", ES_NUMBER, 0, "a1b2", "12", 2, false},
        {"read-only", ES_READONLY, 0, "xy", "", 2, false},
        {"limit", 0, 4, "abcdef", "abcd", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearModalRequests();
        HWND edit = MakeEdit(c.style);
        if (c.limit)
            SendMessageA(edit, EM_LIMITTEXT, c.limit, 0);
        Notifications();
        Type(edit, c.typed);
        EXPECT_EQ(Text(edit), c.expected);
        EXPECT_EQ(win32::MessageBeeps().size(), c.beeps);
        const std::vector<WORD> codes = Notifications();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_MAXTEXT) > 0, c.maxText);
        EXPECT_EQ(static_cast<size_t>(std::count(codes.begin(), codes.end(), EN_CHANGE)),
                  std::string(c.expected).size());
        EXPECT_EQ(SendMessageA(edit, EM_GETMODIFY, 0, 0), std::string(c.expected).empty() ? 0 : 1);
        DestroyWindow(edit);
    }
}

// A subclass sees each typed character as WM_CHAR and may keep it from the control.
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK NoDigits(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && wParam >= '0' && wParam <= '9')
        return 0;
    return CallWindowProcA(g_editProc, hwnd, message, wParam, lParam);
}

TEST_F(EditTest, ASubclassRefusesCharactersItSeesAsWmChar) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    g_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoDigits)));
    Type(edit, "a1b22c");
    EXPECT_EQ(Text(edit), "abc");
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
    DestroyWindow(edit);
}

TEST_F(EditTest, KeysMoveTheCaretAndExtendTheSelection) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    Type(edit, "hello world");
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{11}, DWORD{11}));
    Press(edit, VK_HOME);
    Press(edit, VK_RIGHT, true);
    Press(edit, VK_RIGHT, true);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{2}));
    Type(edit, "J");
    EXPECT_EQ(Text(edit), "Jllo world");
    Press(edit, VK_END, true);
    Press(edit, VK_DELETE);
    EXPECT_EQ(Text(edit), "J");
    Press(edit, VK_BACK);
    EXPECT_EQ(Text(edit), "");
    // The program's selection: -1 to the end, a start of -1 drops it.
    SetWindowTextA(edit, "capture");
    SendMessageA(edit, EM_SETSEL, 2, -1);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{7}));
    Press(edit, VK_LEFT);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{2}));
    // The system caret stands where EM_POSFROMCHAR says the character is.
    POINT caret{};
    GetCaretPos(&caret);
    const LRESULT at = SendMessageA(edit, EM_POSFROMCHAR, 2, 0);
    EXPECT_EQ(caret.x, static_cast<short>(LOWORD(at)));
    EXPECT_EQ(caret.y, static_cast<short>(HIWORD(at)));
    DestroyWindow(edit);
}

TEST_F(EditTest, AClickAndADragSelectWhereThePictureShowsTheCharacters) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    SetWindowTextA(edit, "endpoint");
    auto pointOf = [&](WPARAM index) {
        const LRESULT at = SendMessageA(edit, EM_POSFROMCHAR, index, 0);
        return POINT{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)) + 4};
    };
    win32::Click(edit, pointOf(3));
    win32::PumpUiMessages();
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{3}, DWORD{3}));
    win32::MouseDown(edit, pointOf(1));
    win32::MouseMove(edit, pointOf(5), MK_LBUTTON);
    win32::MouseUp(edit, pointOf(5));
    win32::PumpUiMessages();
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{1}, DWORD{5}));
    EXPECT_EQ(LOWORD(SendMessageA(edit, EM_CHARFROMPOS, 0, MAKELPARAM(pointOf(6).x, pointOf(6).y))), 6);
    // The selection is painted in the highlight colour while the edit has the focus.
    RECT client{};
    GetClientRect(edit, &client);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(CountPainted(edit, highlight, {pointOf(1).x, 0, pointOf(5).x, client.bottom}), 20);
    EXPECT_EQ(CountPainted(edit, highlight, {pointOf(6).x, 0, client.right, client.bottom}), 0);
    SetFocus(*parent_);
    EXPECT_EQ(CountPainted(edit, highlight, client), 0);
    DestroyWindow(edit);
}

TEST_F(EditTest, ControlKeysCopyCutAndPasteThroughTheClipboard) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    SetWindowTextA(edit, "bulk transfer");
    SendMessageA(edit, EM_SETSEL, 0, 4);
    Press(edit, 'C', false, true);
    EXPECT_EQ(win32::ClipboardText(), "bulk");
    EXPECT_EQ(Text(edit), "bulk transfer");
    Press(edit, VK_END);
    Press(edit, 'V', false, true);
    EXPECT_EQ(Text(edit), "bulk transferbulk");
    Press(edit, 'A', false, true);
    Press(edit, 'X', false, true);
    EXPECT_EQ(Text(edit), "");
    EXPECT_EQ(win32::ClipboardText(), "bulk transferbulk");
    // A read-only edit copies but neither cuts nor pastes; a password edit gives nothing away.
    SetWindowTextA(edit, "fixed");
    SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    Press(edit, 'X', false, true);
    EXPECT_EQ(Text(edit), "fixed");
    EXPECT_EQ(win32::ClipboardText(), "fixed");
    win32::SetClipboardText("other");
    Press(edit, 'V', false, true);
    EXPECT_EQ(Text(edit), "fixed");
    SendMessageA(edit, EM_SETREADONLY, FALSE, 0);
    SendMessageA(edit, EM_SETPASSWORDCHAR, '*', 0);
    Press(edit, 'C', false, true);
    EXPECT_EQ(win32::ClipboardText(), "other");
    win32::ClearModalRequests(); // the read-only edit's beeps
    DestroyWindow(edit);
}

TEST_F(EditTest, AMultiLineEditKeepsLinesAndMovesBetweenThem) {
    HWND edit = MakeEdit(ES_MULTILINE | ES_WANTRETURN, {10, 10, 210, 110});
    Type(edit, "first\rsecond line\rx");
    EXPECT_EQ(Text(edit), "first\r\nsecond line\r\nx");
    EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(edit, EM_LINEINDEX, 1, 0), 7);
    EXPECT_EQ(SendMessageA(edit, EM_LINEINDEX, 3, 0), -1);
    EXPECT_EQ(SendMessageA(edit, EM_LINELENGTH, 8, 0), 11);
    char line[16] = {};
    line[0] = sizeof line;
    EXPECT_EQ(SendMessageA(edit, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 11);
    EXPECT_EQ(std::string(line, 11), "second line");
    // Up from the end of "x" lands at the start of "second line"; Up again at the start of "first".
    Press(edit, VK_UP);
    EXPECT_EQ(SendMessageA(edit, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0), 1);
    Press(edit, VK_END);
    Press(edit, VK_RIGHT);
    EXPECT_EQ(Selection(edit).first, 20u); // over the line break as one step
    Press(edit, VK_BACK);
    EXPECT_EQ(Text(edit), "first\r\nsecond linex");
    // Pasted bare line feeds become line breaks.
    win32::SetClipboardText("a\nb");
    Press(edit, 'V', false, true);
    EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 3);
    // Lines below the bottom scroll into view as the caret goes there.
    for (int i = 0; i < 12; ++i)
        Type(edit, "\r");
    EXPECT_GT(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    DestroyWindow(edit);
}

TEST_F(EditTest, ASingleLineEditTakesOnlyTheFirstLineOfAPasteAndCentresItsText) {
    HWND edit = MakeEdit(ES_CENTER);
    win32::SetClipboardText("one\r\ntwo");
    Press(edit, 'V', false, true);
    EXPECT_EQ(Text(edit), "one");
    // Centred: the space left of the text equals the space right of it, to a pixel.
    const LRESULT first = SendMessageA(edit, EM_POSFROMCHAR, 0, 0);
    const LRESULT last = SendMessageA(edit, EM_POSFROMCHAR, 3, 0);
    RECT client{};
    GetClientRect(edit, &client);
    const int left = static_cast<short>(LOWORD(first)) - 2;
    const int right = client.right - 2 - static_cast<short>(LOWORD(last));
    EXPECT_LE(std::abs(left - right), 1);
    EXPECT_GT(left, 50);
    // What it paints into a given DC is what its window shows.
    SetFocus(*parent_);
    win32::PumpUiMessages();
    const RECT text{left, 0, client.right - right, client.bottom};
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    const std::vector<POINT> painted = win32::test::PaintedPoints(edit, ink, text);
    ASSERT_GT(painted.size(), 10u);
    for (size_t i = 0; i < painted.size(); i += painted.size() / 5)
        EXPECT_EQ(win32::ClientPixel(edit, painted[i].x, painted[i].y), ink);
    DestroyWindow(edit);
}

} // namespace

namespace {

constexpr UINT kEditDialog = 140;
constexpr int kFirstEdit = 1201, kSecondEdit = 1202;

std::vector<int> g_commands;

INT_PTR CALLBACK RecordCommands(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
        g_commands.push_back(LOWORD(wParam));
    return message == WM_INITDIALOG;
}

TEST_F(EditTest, InADialogTabSelectsTheNextEditsTextAndEnterPressesTheDefaultButton) {
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION;
    d.cx = 120;
    d.cy = 60;
    d.items = {
        {"EDIT", static_cast<UINT>(kFirstEdit), "first", ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE, 0, 4, 4, 100, 12},
        {"EDIT", static_cast<UINT>(kSecondEdit), "second", ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE, 0, 4, 20, 100, 12},
        {"BUTTON", IDOK, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 4, 40, 50, 14},
    };
    win32::RegisterDialogResource(nullptr, kEditDialog, d);
    g_commands.clear();
    HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kEditDialog), nullptr, RecordCommands, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    HWND first = GetDlgItem(dialog, kFirstEdit), second = GetDlgItem(dialog, kSecondEdit);
    SetFocus(first);
    Press(first, VK_TAB);
    EXPECT_EQ(GetFocus(), second);
    EXPECT_EQ(Selection(second), std::make_pair(DWORD{0}, DWORD{6}));
    Type(second, "42");
    EXPECT_EQ(Text(second), "42"); // typed over the selection; the tab was not typed
    Press(second, VK_RETURN);
    EXPECT_EQ(g_commands, std::vector<int>{IDOK});
    EXPECT_EQ(Text(second), "42"); // nor the Enter
    DestroyWindow(dialog);
    win32::ClearResources();
}

} // namespace
