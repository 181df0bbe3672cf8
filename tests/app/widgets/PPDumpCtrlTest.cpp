#include "app/widgets/PPDumpCtrl.h"

#include <gtest/gtest.h>

#include <vector>

#include "DumpOwner.h"
#include "WinGdiControl.h"
#include "tests/support/Pictures.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

constexpr UINT kCtrlId = 42;
constexpr DWORD kDataBarAdd = 0xD0123;
constexpr DWORD kDataBarRemove = 0x7F3F;

using Notice = tdl::test::DumpNotice;

class PPDumpCtrlTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_owner = tdl::test::MakeDumpOwner(m_notices);
        m_ctrl = std::make_unique<CPPDumpCtrl>();
        ASSERT_TRUE(m_ctrl->Create(CRect(0, 0, 500, 280), CWnd::FromHandle(*m_owner), kCtrlId));
        for (int i = 0; i < 300; ++i)
            m_data.push_back(static_cast<BYTE>(i * 7));
        m_old = m_data;
        m_old[17] ^= 0xFF;
    }
    void TearDown() override {
        m_ctrl.reset();
        m_owner.reset();
        UiTest::TearDown();
    }
    // The data bar's set-up.
    void DataBar() {
        m_ctrl->ModifyStyles(kDataBarAdd, kDataBarRemove, FALSE);
        m_ctrl->SetFont("Lucida Console", 9, FALSE, FALSE, FALSE, FALSE, FALSE);
        m_ctrl->SetColor(PPDUMP_COLOR_TEXT, RGB(0, 0, 128), FALSE);
        m_ctrl->SetColor(PPDUMP_COLOR_TEXT_BACK, RGB(255, 255, 255), FALSE);
        m_ctrl->SetColor(PPDUMP_COLOR_SEL_BK, RGB(255, 220, 120), FALSE);
        m_ctrl->SetColor(PPDUMP_COLOR_ADDRESS_FG, RGB(0, 128, 0), FALSE);
        m_ctrl->SetNonPrintableChar('.', FALSE);
        m_ctrl->SetData(m_data.size(), m_data.data(), m_old.data(), TRUE);
    }
    // Whether any pixel of the rectangle has the colour.
    // (Reads the window's image as last painted: save a picture first to bring painting up to date.)
    bool AnyPixel(const RECT& r, COLORREF color) const {
        HWND h = m_ctrl->GetSafeHwnd();
        HDC dc = ::GetDC(h);
        bool found = false;
        for (LONG y = r.top; y < r.bottom && !found; ++y)
            for (LONG x = r.left; x < r.right && !found; ++x)
                found = ::GetPixel(dc, x, y) == color;
        ::ReleaseDC(h, dc);
        return found;
    }
    RECT Cell(const DumpLayout& l, int kind, int64_t element) const {
        CClientDC dc(m_ctrl.get());
        const int cw = (l.columns[kind].right - l.columns[kind].left) / ((l.digits[kind] + 1) * l.perRow + 1);
        const int64_t rel = element - m_ctrl->GetTopAddress();
        const int row = static_cast<int>(rel / l.perRow), index = static_cast<int>(rel % l.perRow);
        const int x = l.columns[kind].left + index * (l.digits[kind] + 1) * cw;
        return {x, l.RowTop(row), x + (l.digits[kind] + 2) * cw, l.RowTop(row) + l.rowHeight};
    }

    std::unique_ptr<TestWindow> m_owner;
    std::unique_ptr<CPPDumpCtrl> m_ctrl;
    std::vector<BYTE> m_data, m_old;
    std::vector<Notice> m_notices;
};

TEST_F(PPDumpCtrlTest, SelectionIsClampedSwappedAndRefusedOutOfRange) {
    m_ctrl->SetData(m_data.size(), m_data.data(), nullptr, FALSE);
    struct Case {
        bool range;
        int64_t start, end;
        BOOL ok;
        int64_t selStart, selEnd;
    } cases[] = {
        {true, 5, 9, TRUE, 5, 9},    {true, 9, 5, TRUE, 5, 9},         {true, -3, 4, TRUE, 0, 4},
        {true, 7, -1, TRUE, 7, 7},   {false, 5, 9, TRUE, 5, 5},        {true, 5, 300, FALSE, 0, 0},
        {true, 300, 2, FALSE, 0, 0}, {true, 299, 299, TRUE, 299, 299},
    };
    for (const Case& c : cases) {
        m_ctrl->ModifyStyles(c.range ? PPDUMP_SELECTING_DATA : 0, c.range ? 0 : PPDUMP_SELECTING_DATA, FALSE);
        EXPECT_EQ(m_ctrl->SetSelection(c.start, c.end, FALSE), c.ok) << c.start << ".." << c.end;
        int64_t s = -1, e = -1;
        m_ctrl->GetSelection(s, e);
        EXPECT_EQ(s, c.selStart) << c.start << ".." << c.end;
        EXPECT_EQ(e, c.selEnd) << c.start << ".." << c.end;
    }
}

TEST_F(PPDumpCtrlTest, WordModeCountsHalfTheBytesAndSetTopRoundsToARow) {
    m_ctrl->ModifyStyles(PPDUMP_WORD_DATA, 0, FALSE);
    m_ctrl->SetData(7, m_data.data(), nullptr, FALSE);
    EXPECT_EQ(m_ctrl->GetElementCount(), 3); // the trailing byte is not an element
    EXPECT_EQ(m_ctrl->GetDataValue(1), static_cast<uint32_t>(m_data[2] << 8 | m_data[3]));
    m_ctrl->ModifyStyles(0, PPDUMP_WORD_DATA, FALSE);
    EXPECT_EQ(m_ctrl->GetElementCount(), 7);
    EXPECT_EQ(m_ctrl->SetColor(12, 0), 0u);
    EXPECT_EQ(m_ctrl->SetColor(PPDUMP_COLOR_SEL_BK, 1, FALSE), RGB(0, 255, 255));
}

TEST_F(PPDumpCtrlTest, KeysMoveTheSelectionAndScroll) {
    DataBar();
    m_ctrl->SetNotifyOwner(CWnd::FromHandle(*m_owner));
    const DumpLayout l = m_ctrl->GetLayout();
    ASSERT_GT(l.perRow, 0);
    ASSERT_GT(l.visibleRows, 1);
    const int64_t per = l.perRow, page = l.perPage, last = 299;
    struct Case {
        int64_t from;
        BYTE key;
        bool ctrl;
        int64_t sel;
    } cases[] = {
        {5, VK_RIGHT, false, 6},
        {5, VK_LEFT, false, 4},
        {0, VK_LEFT, false, 0}, // before the start: stays
        {5, VK_DOWN, false, 5 + per},
        {5, VK_NEXT, false, 5 + page},
        {5 + per, VK_PRIOR, false, 5}, // below 0: the same column of the first row
        {per + 3, VK_HOME, false, per},
        {per + 3, VK_END, false, 2 * per - 1},
        {per + 3, VK_HOME, true, 0},
        {3, VK_END, true, last},
        {last - per, VK_DOWN, false, last - per + per <= last ? last : last}, // past the end from another row
        {last, VK_DOWN, false, last},                                         // last row: stays
        {last, VK_RIGHT, false, last},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_ctrl->SetSelection(c.from, -1, TRUE));
        m_ctrl->SetFocus();
        if (c.ctrl)
            win32::KeyDown(m_ctrl->GetSafeHwnd(), VK_CONTROL);
        win32::PressKey(m_ctrl->GetSafeHwnd(), c.key);
        if (c.ctrl)
            win32::KeyUp(m_ctrl->GetSafeHwnd(), VK_CONTROL);
        win32::PumpUiMessages();
        int64_t s = -1, e = -1;
        m_ctrl->GetSelection(s, e);
        EXPECT_EQ(s, c.sel) << "from " << c.from << " key " << int(c.key) << " ctrl " << c.ctrl;
        // The selection is always in view.
        EXPECT_GE(s, m_ctrl->GetTopAddress());
        EXPECT_LT(s, m_ctrl->GetTopAddress() + page);
        EXPECT_EQ(m_ctrl->GetTopAddress() % per, 0);
    }
    // Every change of the first shown element was told, with its new value.
    ASSERT_FALSE(m_notices.empty());
    for (const Notice& n : m_notices) {
        EXPECT_EQ(n.id, kCtrlId);
        EXPECT_EQ(n.code, UDM_PPDUMPCTRL_BEGIN_ADDR);
        EXPECT_EQ(n.first % per, 0);
        EXPECT_EQ(n.second, 0);
    }
}

TEST_F(PPDumpCtrlTest, WheelAndScrollBarCodesMoveByRowsWithinTheRange) {
    DataBar();
    m_ctrl->SetNotifyOwner(CWnd::FromHandle(*m_owner));
    const DumpLayout l = m_ctrl->GetLayout();
    ASSERT_GT(l.scrollMax, 2);
    const int64_t per = l.perRow;
    HWND h = m_ctrl->GetSafeHwnd();
    struct Case {
        UINT code;
        int pos;
        int64_t top;
    } cases[] = {
        {SB_LINEDOWN, 0, per},
        {SB_LINEDOWN, 0, 2 * per},
        {SB_LINEUP, 0, per},
        {SB_PAGEDOWN, 0, std::min<int64_t>(1 + l.visibleRows, l.scrollMax) * per},
        {SB_TOP, 0, 0},
        {SB_LINEUP, 0, 0}, // clamped: nothing changes
        {SB_BOTTOM, 0, l.scrollMax * per},
        {SB_LINEDOWN, 0, l.scrollMax * per},
        {SB_THUMBTRACK, 2, 2 * per},
        {SB_PAGEUP, 0, 0},
    };
    for (const Case& c : cases) {
        m_notices.clear();
        const int64_t before = m_ctrl->GetTopAddress();
        ::SendMessageA(h, WM_VSCROLL, MAKEWPARAM(c.code, c.pos), 0);
        EXPECT_EQ(m_ctrl->GetTopAddress(), c.top) << c.code;
        if (before == c.top) {
            EXPECT_TRUE(m_notices.empty()) << c.code;
        } else {
            ASSERT_EQ(m_notices.size(), 1u) << c.code;
            EXPECT_EQ(m_notices[0].code, UDM_PPDUMPCTRL_BEGIN_ADDR);
            EXPECT_EQ(m_notices[0].first, c.top);
        }
    }
    m_ctrl->SetFocus();
    win32::MouseWheel(h, {50, 100}, -WHEEL_DELTA);
    win32::PumpUiMessages();
    EXPECT_EQ(m_ctrl->GetTopAddress(), per);
    win32::MouseWheel(h, {50, 100}, WHEEL_DELTA);
    win32::PumpUiMessages();
    EXPECT_EQ(m_ctrl->GetTopAddress(), 0);
}

TEST_F(PPDumpCtrlTest, ScrollingUnderAStillMouseFindsTheElementNowUnderIt) {
    DataBar();
    const DumpLayout l = m_ctrl->GetLayout();
    const RECT c = Cell(l, 2, 4);
    HWND h = m_ctrl->GetSafeHwnd();
    win32::MouseMove(h, {(c.left + c.right) / 2, (c.top + c.bottom) / 2});
    win32::PumpUiMessages();
    ASSERT_EQ(4, m_ctrl->GetHotElement());
    // The wheel and the scroll bar alike: the rows move, the mouse stays, so the element under it changes.
    ::SendMessageA(h, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(4 + l.perRow, m_ctrl->GetHotElement());
    EXPECT_EQ(DUMP_COLUMN_HEX, m_ctrl->GetHotField());
    EXPECT_EQ(4 + l.perRow, m_ctrl->CurrentElement()) << "the header's offset follows";
    m_ctrl->SetFocus();
    win32::MouseWheel(h, {(c.left + c.right) / 2, (c.top + c.bottom) / 2}, WHEEL_DELTA);
    win32::PumpUiMessages();
    EXPECT_EQ(4, m_ctrl->GetHotElement());
}

TEST_F(PPDumpCtrlTest, TheHeaderShowsTheElementItsEditorEditsWhateverIsUnderTheMouse) {
    DataBar();
    const DumpLayout l = m_ctrl->GetLayout();
    m_ctrl->SetSelection(9, -1, FALSE);
    ASSERT_TRUE(m_ctrl->OpenEditor(9, DUMP_HEADER_ADDRESS));
    const RECT c = Cell(l, 2, 4);
    win32::MouseMove(m_ctrl->GetSafeHwnd(), {(c.left + c.right) / 2, (c.top + c.bottom) / 2});
    win32::PumpUiMessages();
    ASSERT_EQ(4, m_ctrl->GetHotElement());
    EXPECT_EQ(9, m_ctrl->CurrentElement());
    // An editor in the offset column (the data bar is read-only) leaves the header to the mouse.
    ASSERT_TRUE(m_ctrl->OpenEditor(9, DUMP_COLUMN_ADDRESS));
    EXPECT_EQ(4, m_ctrl->CurrentElement());
}

TEST_F(PPDumpCtrlTest, AControlADialogMadeIsSetUpWhenAttached) {
    // As a dialog template makes it: a window of the class, then the object attached to it.
    HWND made = ::CreateWindowExA(0, "MFCDumpCtrl", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 200, *m_owner,
                                  reinterpret_cast<HMENU>(UINT_PTR{77}), nullptr, nullptr);
    ASSERT_NE(nullptr, made);
    CPPDumpCtrl attached;
    attached.ModifyStyles(PPDUMP_WORD_DATA, PPDUMP_BAR_ASCII, FALSE);
    attached.SetColor(PPDUMP_COLOR_TEXT, RGB(1, 2, 3), FALSE);
    ASSERT_TRUE(attached.SubclassWindow(made));
    EXPECT_EQ(PPDUMP_DEFAULT_STYLE, attached.GetStyles());
    EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), attached.GetColor(PPDUMP_COLOR_TEXT));
    EXPECT_EQ(1, attached.GetElementCount());
    EXPECT_EQ(-1, attached.GetHotElement());
}

TEST_F(PPDumpCtrlTest, MouseSelectsARangeAndToldOnlyWithAnOwner) {
    DataBar();
    m_ctrl->ModifyStyles(PPDUMP_SELECTING_DATA, 0, FALSE);
    m_ctrl->SetData(m_data.size(), m_data.data(), nullptr, FALSE);
    const DumpLayout l = m_ctrl->GetLayout();
    HWND h = m_ctrl->GetSafeHwnd();
    const RECT a = Cell(l, 2, 2), b = Cell(l, 2, 2 + l.perRow + 1);
    const POINT pa{(a.left + a.right) / 2, (a.top + a.bottom) / 2}, pb{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    for (bool owner : {false, true}) {
        m_notices.clear();
        win32::AdvanceUiClock(2000); // two presses apart, not a double-click
        m_ctrl->SetNotifyOwner(owner ? CWnd::FromHandle(*m_owner) : nullptr);
        win32::MouseDown(h, pa);
        win32::MouseMove(h, pb, MK_LBUTTON);
        win32::MouseUp(h, pb);
        win32::PumpUiMessages();
        int64_t s = -1, e = -1;
        m_ctrl->GetSelection(s, e);
        EXPECT_EQ(s, 2);
        EXPECT_EQ(e, 3 + l.perRow);
        if (!owner) {
            EXPECT_TRUE(m_notices.empty());
            continue;
        }
        ASSERT_EQ(m_notices.size(), 1u);
        EXPECT_EQ(m_notices[0].code, UDM_PPDUMPCTRL_SELECTION);
        EXPECT_EQ(m_notices[0].first, 2);
        EXPECT_EQ(m_notices[0].second, 3 + l.perRow);
    }
}

TEST_F(PPDumpCtrlTest, TheTooltipFollowsTheElementUnderTheMouse) {
    DataBar();
    m_ctrl->SetTooltipFormat("%R:%t%H%n%+2H");
    const DumpLayout l = m_ctrl->GetLayout();
    const RECT c = Cell(l, 2, 4);
    win32::MouseMove(m_ctrl->GetSafeHwnd(), {(c.left + c.right) / 2, (c.top + c.bottom) / 2});
    win32::PumpUiMessages();
    // Element 4 of i * 7: 0x1C, then 0x23; the index in two bytes, as the offset has four digits.
    EXPECT_EQ(std::string(static_cast<LPCTSTR>(m_ctrl->GetCurrentTip())), "0004:   1C\r\n1C23");
    // The hot-tracking rectangle is drawn around the element, and goes when the mouse leaves.
    m_ctrl->SetColor(PPDUMP_COLOR_MOUSE_TRACK, RGB(200, 0, 200), TRUE);
    ASSERT_TRUE(tdl::test::SavePicture(*m_owner, "dumpctrl-hot.png"));
    EXPECT_TRUE(AnyPixel(c, RGB(200, 0, 200)));
    win32::MouseLeave();
    win32::PumpUiMessages();
    ASSERT_TRUE(tdl::test::SavePicture(*m_owner, "dumpctrl-left.png"));
    EXPECT_FALSE(AnyPixel(c, RGB(200, 0, 200)));
}

TEST_F(PPDumpCtrlTest, LeaveTrackingIsArmedOnlyWhileTheApplicationIsActive) {
    DataBar();
    const RECT c = Cell(m_ctrl->GetLayout(), 2, 4);
    auto tracked = [] {
        TRACKMOUSEEVENT query{sizeof(TRACKMOUSEEVENT), TME_QUERY, nullptr, 0};
        return ::TrackMouseEvent(&query) && (query.dwFlags & TME_LEAVE) != 0;
    };
    ::SetActiveWindow(nullptr);
    ASSERT_EQ(::GetActiveWindow(), nullptr);
    win32::MouseMove(m_ctrl->GetSafeHwnd(), {(c.left + c.right) / 2, (c.top + c.bottom) / 2});
    win32::PumpUiMessages();
    EXPECT_FALSE(tracked());

    ::SetActiveWindow(*m_owner);
    win32::MouseMove(m_ctrl->GetSafeHwnd(), {(c.left + c.right) / 2 + 1, (c.top + c.bottom) / 2});
    win32::PumpUiMessages();
    EXPECT_TRUE(tracked());
    win32::MouseLeave();
    win32::PumpUiMessages();
}

TEST_F(PPDumpCtrlTest, RightClickToldAsAMenuNoticeThenPostsTheChosenCommand) {
    DataBar();
    m_ctrl->SetNotifyOwner(CWnd::FromHandle(*m_owner));
    HMENU menu = ::CreateMenu();
    HMENU sub = ::CreatePopupMenu();
    ::AppendMenuA(sub, MF_STRING, 0x9001, "Copy");
    ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Data");
    m_ctrl->SetContextMenu(menu);
    const DumpLayout l = m_ctrl->GetLayout();
    const RECT c = Cell(l, 2, 4);
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, 0x9001);
    const POINT at{(c.left + c.right) / 2, (c.top + c.bottom) / 2};
    win32::MouseDown(m_ctrl->GetSafeHwnd(), at, win32::MouseButton::Right);
    win32::PumpUiMessages();
    win32::MouseUp(m_ctrl->GetSafeHwnd(), at, win32::MouseButton::Right);
    win32::PumpUiMessages();
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_EQ(m_notices[0].code, UDM_PPDUMPCTRL_MENU_CALLBACK);
    EXPECT_EQ(m_notices[0].first, DUMP_COLUMN_HEX);
    EXPECT_EQ(m_notices[0].second, 4);
    EXPECT_EQ(m_notices[0].menu, menu);
    const auto requests = win32::ModalRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "Copy"); // the first sub-menu
    const auto commands = m_owner->Take({WM_COMMAND});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 0x9001);
}

TEST_F(PPDumpCtrlTest, PaintsOffScreenInOneCopyWithTheDataBarColours) {
    DataBar();
    m_ctrl->SetSelection(3, -1, FALSE);
    HWND h = m_ctrl->GetSafeHwnd();
    win32::StartGdiCallLog(h);
    m_ctrl->Invalidate(FALSE);
    ASSERT_TRUE(tdl::test::SavePicture(*m_owner, "dumpctrl-databar.png"));
    win32::StopGdiCallLog();
    int copies = 0;
    for (const win32::GdiCall& call : win32::GdiCallLog()) {
        if (call.hwnd != h)
            continue;
        EXPECT_EQ(call.kind, "BitBlt") << "drawn on the window DC: " << call.kind << " " << call.text;
        EXPECT_EQ(call.rop, static_cast<DWORD>(SRCCOPY));
        EXPECT_EQ(call.rect.right - call.rect.left, 500);
        ++copies;
    }
    EXPECT_EQ(copies, 1);

    const DumpLayout l = m_ctrl->GetLayout();
    EXPECT_TRUE(AnyPixel(Cell(l, 2, 3), RGB(255, 220, 120))); // the selection behind element 3
    EXPECT_FALSE(AnyPixel(Cell(l, 2, 5), RGB(255, 220, 120)));
    EXPECT_TRUE(AnyPixel(Cell(l, 2, 17), RGB(255, 0, 0))); // differs from the reference
    EXPECT_FALSE(AnyPixel(Cell(l, 2, 18), RGB(255, 0, 0)));
    RECT offset = l.columns[1];
    offset.bottom = l.RowTop(1);
    offset.top = l.RowTop(0);
    EXPECT_TRUE(AnyPixel(offset, RGB(0, 128, 0)));
    // No text outside the columns: the strip right of the last column is background only.
    RECT strip{l.columns[6].right, l.dataArea.top + 2, l.dataArea.right - 20, l.dataArea.bottom - 2};
    for (COLORREF c : {RGB(0, 0, 128), RGB(255, 0, 0), RGB(0, 128, 0)})
        EXPECT_FALSE(AnyPixel(strip, c));

    m_ctrl->EnableWindow(FALSE);
    ASSERT_TRUE(tdl::test::SavePicture(h, "dumpctrl-disabled.png"));
    EXPECT_FALSE(AnyPixel(Cell(l, 2, 3), RGB(255, 220, 120)));
    EXPECT_TRUE(AnyPixel(Cell(l, 2, 0), ::GetSysColor(COLOR_BTNSHADOW)));
    m_ctrl->EnableWindow(TRUE);
}

TEST_F(PPDumpCtrlTest, EveryByteOfTheAsciiColumnStaysInItsCellAndWhatHasNoCharacterIsReplacedOrBlank) {
    // Bytes 0x00 to 0xFF, each between two spaces: whatever ink lies in a space's cell has left its own. (The
    // first space holds the selection.)
    std::vector<BYTE> data{' '};
    for (int i = 0; i < 256; ++i) {
        data.push_back(static_cast<BYTE>(i));
        data.push_back(' ');
    }
    m_ctrl->ModifyStyles(kDataBarAdd, kDataBarRemove, FALSE);
    m_ctrl->SetFont("Lucida Console", 9, FALSE, FALSE, FALSE, FALSE, FALSE);
    m_ctrl->SetColor(PPDUMP_COLOR_TEXT_BACK, RGB(255, 255, 255), FALSE);
    ::MoveWindow(*m_owner, 0, 0, 540, 1160, FALSE);
    m_ctrl->MoveWindow(0, 0, 500, 1100, FALSE);
    for (char replacement : {'.', '\0'}) {
        m_ctrl->SetNonPrintableChar(replacement, FALSE);
        m_ctrl->SetData(data.size(), data.data(), nullptr, TRUE);
        const DumpLayout l = m_ctrl->GetLayout();
        ASSERT_GT(l.perRow, 0);
        ASSERT_GE(l.visibleRows * l.perRow, static_cast<int>(data.size())) << "every byte on show";
        const RECT& column = l.columns[6];
        const int cw = (column.right - column.left - l.perRow) / (l.perRow + 2);
        const tdl::test::Picture picture(m_ctrl->GetSafeHwnd(),
                                         replacement ? "dumpctrl-ascii-replaced.png" : "dumpctrl-ascii-blank.png");
        ASSERT_TRUE(picture.IsValid());
        auto inkIn = [&](const RECT& r) {
            return picture.Count(r, [](COLORREF c) { return c != RGB(255, 255, 255); });
        };
        for (int element = 0; element < static_cast<int>(data.size()); ++element) {
            // An element's cell: its character and the pixel before the next one.
            const int row = element / l.perRow, index = element % l.perRow;
            const int left = column.left + index * (cw + 1) + cw;
            const RECT cell{left, l.RowTop(row), left + cw + 1, l.RowTop(row) + l.rowHeight};
            const int byte = data[static_cast<size_t>(element)];
            if (element % 2 == 0) {
                if (element > 0)
                    EXPECT_EQ(inkIn(cell), 0) << "ink from beside byte " << data[static_cast<size_t>(element - 1)];
                continue;
            }
            const bool nothing = byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
                                 byte == 0x90 || byte == 0x9D;
            if (nothing && replacement == '\0')
                EXPECT_EQ(inkIn(cell), 0) << "byte " << byte << " is a blank cell";
            else if (byte != 0x20 && byte != 0xA0)
                EXPECT_GT(inkIn(cell), 0) << "byte " << byte << " shows";
        }
        // Before the first cell of every row: only the background.
        const int rows = (static_cast<int>(data.size()) + l.perRow - 1) / l.perRow;
        EXPECT_EQ(inkIn(RECT{column.left, l.RowTop(0), column.left + cw, l.RowTop(rows)}), 0);
    }
}

TEST_F(PPDumpCtrlTest, TheOffsetCaptionKeepsEveryStrokeOverItsColumnsLine) {
    // Four offset digits make the column exactly as wide as "Offset": its line must not take the last stroke.
    m_ctrl->ModifyStyles(kDataBarAdd, kDataBarRemove, FALSE);
    m_ctrl->SetFont("Lucida Console", 9, FALSE, FALSE, FALSE, FALSE, FALSE);
    m_ctrl->SetColor(PPDUMP_COLOR_TEXT_BACK, RGB(255, 255, 255), FALSE);
    m_ctrl->SetColor(PPDUMP_COLOR_TEXT_HEADER, RGB(0, 0, 255), FALSE);
    m_ctrl->SetColor(PPDUMP_COLOR_SEPARATORS, RGB(0, 255, 0), FALSE);
    m_ctrl->SetData(m_data.size(), m_data.data(), nullptr, TRUE);
    const DumpLayout l = m_ctrl->GetLayout();
    ASSERT_EQ(l.offsetDigits, 4);
    const RECT cell{l.columns[1].left, l.caption.top, l.columns[1].right, l.caption.bottom};
    const tdl::test::Picture picture(m_ctrl->GetSafeHwnd(), "dumpctrl-offset-caption.png");
    // The caption's ink: anything but the background and the bare line.
    auto caption = [](COLORREF c) { return c != RGB(255, 255, 255) && c != RGB(0, 255, 0); };
    const int shown = picture.Count(cell, caption);

    // The same caption drawn alone, centred in a cell of that size.
    CClientDC screen(nullptr);
    CDC memory;
    memory.CreateCompatibleDC(&screen);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&screen, cell.right - cell.left, cell.bottom - cell.top);
    CBitmap* oldBitmap = memory.SelectObject(&bitmap);
    CFont font;
    font.CreatePointFont(90, "Lucida Console");
    CFont* oldFont = memory.SelectObject(&font);
    CRect alone(0, 0, cell.right - cell.left, cell.bottom - cell.top);
    memory.FillSolidRect(alone, RGB(255, 255, 255));
    memory.SetBkMode(TRANSPARENT);
    memory.SetTextColor(RGB(0, 0, 255));
    memory.DrawText("Offset", -1, alone, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    int whole = 0;
    for (int y = 0; y < alone.bottom; ++y)
        for (int x = 0; x < alone.right; ++x)
            whole += caption(memory.GetPixel(x, y));
    memory.SelectObject(oldFont);
    memory.SelectObject(oldBitmap);
    EXPECT_GT(whole, 40);
    EXPECT_EQ(shown, whole);
}

TEST_F(PPDumpCtrlTest, EraseDrawsNothingAndNoDataShowsTheNotice) {
    HWND h = m_ctrl->GetSafeHwnd();
    win32::StartGdiCallLog(h);
    HDC dc = ::GetDC(h);
    EXPECT_EQ(::SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), TRUE);
    ::ReleaseDC(h, dc);
    EXPECT_TRUE(win32::GdiCallLog().empty());
    win32::StopGdiCallLog();
    m_ctrl->ModifyStyles(kDataBarAdd, kDataBarRemove, FALSE);
    win32::StartGdiCallLog(nullptr); // the off-screen DC belongs to no window
    m_ctrl->Invalidate(FALSE);
    ASSERT_TRUE(tdl::test::SavePicture(*m_owner, "dumpctrl-nodata.png"));
    win32::StopGdiCallLog();
    bool notice = false;
    for (const win32::GdiCall& call : win32::GdiCallLog()) {
        notice = notice || call.text == " No data";
        // (A solid fill is an ExtTextOut of no text.)
        if (call.kind == "ExtTextOut" || call.kind == "TextOut")
            EXPECT_TRUE(call.text.empty()) << "a cell drawn with no data: " << call.text;
    }
    EXPECT_TRUE(notice);
}

} // namespace
