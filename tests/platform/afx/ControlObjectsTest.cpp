// The controls' framework objects inside a dialog, driven as a user would: an edit subclass that refuses
// characters, a check list with a disabled item, list and combo searches, a scroll bar; and the dialog's picture
// with one control of each kind.
#include <string>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "tests/platform/win32/ControlTestSupport.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;
using win32::test::CountPainted;

constexpr UINT kDialog = 130;
enum : int {
    kApply = 1101,
    kVerbose,
    kLow,
    kHigh,
    kGroup,
    kLabel,
    kCount,
    kDevices,
    kEndpoints,
    kSpeed,
    kZoom,
    kProgress,
};

win32::DialogResource Template() {
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d.cx = 250;
    d.cy = 150;
    d.caption = "Every Control";
    d.items = {
        {"STATIC", static_cast<UINT>(kLabel), "Packets:", SS_LEFT | WS_VISIBLE, 0, 8, 10, 40, 10},
        {"EDIT", static_cast<UINT>(kCount), "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 50, 8, 60, 12},
        {"BUTTON", static_cast<UINT>(kVerbose), "Verbose", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 0, 8, 26, 60, 10},
        {"BUTTON", static_cast<UINT>(kGroup), "Speed", BS_GROUPBOX | WS_VISIBLE, 0, 120, 4, 122, 40},
        {"BUTTON", static_cast<UINT>(kLow), "Low", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 0, 128, 16,
         50, 10},
        {"BUTTON", static_cast<UINT>(kHigh), "High", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 128, 28, 50, 10},
        {"LISTBOX", static_cast<UINT>(kDevices), "", LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE, 0,
         8, 42, 70, 50},
        {"LISTBOX", static_cast<UINT>(kEndpoints), "",
         LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 84, 50, 80, 42},
        {"COMBOBOX", static_cast<UINT>(kSpeed), "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VISIBLE, 0, 170, 50, 72, 60},
        {"SCROLLBAR", static_cast<UINT>(kZoom), "", SBS_HORZ | WS_VISIBLE, 0, 170, 70, 72, 10},
        {PROGRESS_CLASS, static_cast<UINT>(kProgress), "", WS_VISIBLE, 0, 8, 100, 234, 8},
        {"BUTTON", static_cast<UINT>(kApply), "Apply", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE | WS_DISABLED, 0, 84,
         128, 50, 14},
        {"BUTTON", IDOK, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 138, 128, 50, 14},
        {"BUTTON", IDCANCEL, "Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 192, 128, 50, 14},
    };
    return d;
}

// An edit that takes digits only: it keeps any other character from the control.
class CDigitsEdit : public CEdit {
public:
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
        if (nChar >= '0' && nChar <= '9')
            CEdit::OnChar(nChar, nRepCnt, nFlags);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDigitsEdit, CEdit)
ON_WM_CHAR()
END_MESSAGE_MAP()

class CEveryControlDialog : public CDialog {
public:
    CEveryControlDialog() : CDialog(kDialog) {}
    CDigitsEdit m_count;
    CListBox m_devices;
    CCheckListBox m_endpoints;
    CComboBox m_speed;
    CScrollBar m_zoom;
    std::vector<int> m_checkChanges;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, kCount, m_count);
        DDX_Control(pDX, kDevices, m_devices);
        DDX_Control(pDX, kEndpoints, m_endpoints);
        DDX_Control(pDX, kSpeed, m_speed);
        DDX_Control(pDX, kZoom, m_zoom);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        for (const char* device : {"Mouse", "Keyboard", "Disk", "Hub"})
            m_devices.AddString(device);
        for (const char* endpoint : {"EP0 control", "EP1 IN", "EP2 OUT"})
            m_endpoints.AddString(endpoint);
        m_endpoints.Enable(2, FALSE);
        for (const char* speed : {"Low", "Full", "High"})
            m_speed.AddString(speed);
        m_speed.SetCurSel(2);
        m_zoom.SetScrollRange(0, 10);
        m_zoom.SetScrollPos(3);
        return TRUE;
    }
    void OnCheckChange() { m_checkChanges.push_back(m_endpoints.GetCaretIndex()); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CEveryControlDialog, CDialog)
ON_CONTROL(CLBN_CHKCHANGE, kEndpoints, &CEveryControlDialog::OnCheckChange)
END_MESSAGE_MAP()

class ControlObjectsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::RegisterDialogResource(nullptr, kDialog, Template());
    }
    void TearDown() override {
        win32::ClearResources();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
};

POINT CheckBoxCentre(CCheckListBox& list, int index) {
    CRect item;
    list.GetItemRect(index, &item);
    const CRect box = list.OnGetCheckPosition(item, CRect(item.left + 1, item.top + (item.Height() - 13) / 2,
                                                          item.left + 14, item.top + (item.Height() - 13) / 2 + 13));
    return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

TEST_F(ControlObjectsTest, AScriptedUserMeetsTheEditFilterTheCheckListAndTheSearches) {
    CEveryControlDialog dialog;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest&, HWND) -> INT_PTR {
            // The edit subclass refuses everything but digits.
            dialog.m_count.SetFocus();
            win32::TypeText(dialog.m_count.m_hWnd, "a1b2c3");
            win32::PumpUiMessages();
            CString count;
            dialog.m_count.GetWindowText(count);
            EXPECT_EQ(count, "123");

            // The user toggles an enabled item by click and by Space; the disabled one resists both.
            CCheckListBox& list = dialog.m_endpoints;
            win32::Click(list.m_hWnd, CheckBoxCentre(list, 1));
            win32::PumpUiMessages();
            EXPECT_EQ(list.GetCheck(1), BST_CHECKED);
            win32::AdvanceUiClock(1000);
            win32::Click(list.m_hWnd, CheckBoxCentre(list, 2));
            win32::PumpUiMessages();
            EXPECT_EQ(list.GetCheck(2), BST_UNCHECKED);
            EXPECT_EQ(list.GetCaretIndex(), 2);
            win32::PressKey(list.m_hWnd, VK_SPACE);
            win32::PumpUiMessages();
            EXPECT_EQ(list.GetCheck(2), BST_UNCHECKED);
            list.SetCurSel(0);
            win32::PressKey(list.m_hWnd, VK_SPACE);
            win32::PumpUiMessages();
            EXPECT_EQ(list.GetCheck(0), BST_CHECKED);
            // The program may check the disabled item.
            list.SetCheck(2, BST_CHECKED);
            EXPECT_EQ(list.GetCheck(2), BST_CHECKED);
            EXPECT_EQ(dialog.m_checkChanges, (std::vector<int>{1, 0}));

            // Searches and texts through the objects.
            EXPECT_EQ(dialog.m_devices.FindStringExact(-1, "disk"), 2);
            CString text;
            dialog.m_devices.GetText(3, text);
            EXPECT_EQ(text, "Hub");
            dialog.m_speed.GetLBText(dialog.m_speed.GetCurSel(), text);
            EXPECT_EQ(text, "High");
            EXPECT_EQ(dialog.m_zoom.GetScrollPos(), 3);
            EXPECT_EQ(dialog.m_zoom.GetScrollLimit(), 10);
            win32::Click(GetDlgItem(dialog.m_hWnd, IDOK), win32::test::CenterOf(GetDlgItem(dialog.m_hWnd, IDOK)));
            win32::PumpUiMessages();
            return IDCANCEL;
        },
        "130");
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST_F(ControlObjectsTest, ThePictureShowsEveryKindOfControlAndTheirStates) {
    CEveryControlDialog dialog;
    ASSERT_TRUE(dialog.Create(kDialog));
    dialog.ShowWindow(SW_SHOW);
    CheckDlgButton(dialog.m_hWnd, kVerbose, BST_CHECKED);
    CheckDlgButton(dialog.m_hWnd, kHigh, BST_CHECKED);
    SetDlgItemTextA(dialog.m_hWnd, kCount, "1024");
    dialog.m_devices.SetCurSel(1);
    dialog.m_endpoints.SetCheck(0, BST_CHECKED);
    SendDlgItemMessageA(dialog.m_hWnd, kProgress, PBM_SETPOS, 40, 0);

    // The checked box shows its tick, the disabled button its grey label.
    HWND verbose = GetDlgItem(dialog.m_hWnd, kVerbose);
    RECT client{};
    GetClientRect(verbose, &client);
    const int boxTop = (client.bottom - 13) / 2;
    EXPECT_GT(CountPainted(verbose, RGB(0, 0, 0), {2, boxTop + 2, 11, boxTop + 11}), 8);
    HWND apply = GetDlgItem(dialog.m_hWnd, kApply);
    GetClientRect(apply, &client);
    EXPECT_GT(CountPainted(apply, GetSysColor(COLOR_GRAYTEXT), {3, 3, client.right - 3, client.bottom - 3}), 10);
    EXPECT_EQ(CountPainted(apply, GetSysColor(COLOR_BTNTEXT), {3, 3, client.right - 3, client.bottom - 3}), 0);
    // The check list's checked item shows its tick inside its box, in the dialog's picture.
    const POINT tick = CheckBoxCentre(dialog.m_endpoints, 0);
    int black = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx)
            black += win32::ClientPixel(dialog.m_endpoints.m_hWnd, tick.x + dx, tick.y + dy) == RGB(0, 0, 0);
    EXPECT_GT(black, 5);
    // The selected device row is highlighted.
    CRect row;
    dialog.m_devices.GetItemRect(1, &row);
    EXPECT_EQ(win32::ClientPixel(dialog.m_devices.m_hWnd, row.right - 3, row.CenterPoint().y),
              GetSysColor(COLOR_HIGHLIGHT));

    EXPECT_TRUE(tdl::test::SavePicture(dialog.m_hWnd, "tdl-every-control.png"));
    dialog.DestroyWindow();
}

} // namespace

namespace {

// CEdit::GetLine copies at most the room it is given, however small, and adds no terminator.
TEST_F(ControlObjectsTest, AnEditObjectReadsLinesIntoBuffersOfAnySize) {
    CEveryControlDialog dialog;
    ASSERT_TRUE(dialog.Create(kDialog));
    CEdit multi;
    ASSERT_TRUE(multi.Create(ES_MULTILINE | WS_VISIBLE, CRect(10, 10, 200, 80), &dialog, 77));
    multi.SetWindowText("first\r\nsecond");
    EXPECT_EQ(multi.GetLineCount(), 2);
    EXPECT_EQ(multi.LineIndex(1), 7);
    EXPECT_EQ(multi.LineLength(7), 6);
    struct Case {
        int room;
        const char* expected;
    } cases[] = {{1, "s"}, {3, "sec"}, {6, "second"}, {40, "second"}};
    for (const Case& c : cases) {
        std::vector<char> buffer(static_cast<size_t>(c.room) + 1, '#'); // one guard byte past the room
        const int copied = multi.GetLine(1, buffer.data(), c.room);
        EXPECT_EQ(std::string(buffer.data(), static_cast<size_t>(copied)), c.expected) << c.room;
        EXPECT_EQ(buffer[static_cast<size_t>(c.room)], '#') << c.room;
    }
    multi.SetSel(0, 5);
    int start = 0, end = 0;
    multi.GetSel(start, end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(0, 5));
    multi.ReplaceSel("1st");
    CString text;
    multi.GetWindowText(text);
    EXPECT_EQ(text, "1st\r\nsecond");
    EXPECT_EQ(multi.CharFromPos(multi.PosFromChar(2)) & 0xFFFF, 2);
    multi.DestroyWindow();
    dialog.DestroyWindow();
}

} // namespace
