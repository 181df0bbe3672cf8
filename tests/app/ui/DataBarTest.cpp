// The data bar in the main frame: its hex-dump control as set up, the bytes, title and clearing that the pane
// holder brings it, the bar's own copy of the bytes, and its picture.
#include "tests/app/ui/PaneFrameFixture.h"

#include <cstring>
#include <memory>
#include <string>

#include "app/ui/PanePointers.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingPanes.h"

namespace {

using paneframe_test::PaneFrameTest;

class DataBarTest : public PaneFrameTest {
protected:
    CPPDumpCtrl& Dump() { return *Bar().GetDumpCtrl(); }
    std::vector<BYTE> Shown() {
        size_t length = 0;
        const BYTE* pData = Dump().GetData(&length);
        return pData != nullptr ? std::vector<BYTE>(pData, pData + length) : std::vector<BYTE>();
    }
    std::vector<BYTE> Returned() {
        const BYTE* pData = reinterpret_cast<const BYTE*>(1);
        ULONG length = 1;
        CPanePointers().DataBarGetDataBuffer(pData, length);
        return pData != nullptr ? std::vector<BYTE>(pData, pData + length) : std::vector<BYTE>();
    }
};

TEST_F(DataBarTest, MadeWithAReadOnlyDumpOfOffsetHexAndAscii) {
    CPPDumpCtrl& dump = Dump();
    EXPECT_EQ(dump.GetStyles(), 0x4D0123u);
    EXPECT_EQ(dump.GetDlgCtrlID(), static_cast<int>(ID_VIEW_DATABAR));
    EXPECT_EQ(dump.GetStyle() & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_NE(dump.GetExStyle() & WS_EX_CLIENTEDGE, 0u);
    const struct {
        int nSlot;
        COLORREF clr;
    } colours[] = {{PPDUMP_COLOR_SEL_BK, 0xF7CEBD},
                   {PPDUMP_COLOR_TEXT_HEADER, 64},
                   {PPDUMP_COLOR_ADDRESS_FG, 128},
                   {PPDUMP_COLOR_EDIT_BK, 0xFFCEC1}};
    for (const auto& colour : colours)
        EXPECT_EQ(dump.GetColor(colour.nSlot), colour.clr) << colour.nSlot;
    LOGFONTA font{};
    ASSERT_NE(dump.GetDataFont()->GetLogFont(&font), 0);
    EXPECT_STREQ(font.lfFaceName, "Lucida Console");
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -::MulDiv(9, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(dump.GetNonPrintableChar(), '.');
    EXPECT_EQ(dump.GetTopAddress(), 0);
    EXPECT_EQ(dump.GetData(), nullptr);
    // The control fills the bar, as the bar's size changes.
    for (int pass = 0; pass < 2; ++pass) {
        CRect bar, control;
        Bar().GetClientRect(&bar);
        dump.GetWindowRect(&control);
        Bar().ScreenToClient(&control);
        EXPECT_EQ(control, bar);
        Bar().MoveWindow(0, 0, 333, 111);
    }
}

TEST_F(DataBarTest, ThePaneHolderBringsBytesAndTitleAndClearsThem) {
    tdl::test::RecordingPanes calls;
    tdl::test::RecordingDataBar sink;
    const std::vector<BYTE> bytes = {0x55, 0x53, 0x42, 0x43, 0x01, 0x02};
    CPanePointers panes;
    panes.DataBarSetTitle("  Bulk/Interrupt TransferBuffer (Input) - record #7");
    panes.DataBarSetDataBuffer(bytes.data(), static_cast<ULONG>(bytes.size()));
    EXPECT_EQ(Shown(), bytes);
    EXPECT_EQ(Dump().GetElementCount(), 6);
    EXPECT_EQ(CPPDumpCtrl::GetSpecialText(), "  Bulk/Interrupt TransferBuffer (Input) - record #7");
    EXPECT_EQ(Returned(), bytes);
    // The observers still hear of every call.
    EXPECT_EQ(sink.Title(), "  Bulk/Interrupt TransferBuffer (Input) - record #7");
    EXPECT_EQ(sink.Bytes(), bytes);

    panes.DataBarClear(TRUE);
    EXPECT_EQ(Dump().GetData(), nullptr);
    EXPECT_EQ(CPPDumpCtrl::GetSpecialText(), "");
    EXPECT_TRUE(Returned().empty());
    EXPECT_EQ(calls.Take(), std::vector<std::string>{"DataBarClear"});
    EXPECT_TRUE(sink.Bytes().empty());
}

TEST_F(DataBarTest, KeepsItsOwnCopyOfTheBytes) {
    // The caller's bytes (a record in a bank that continuous logging resets) are overwritten and freed while
    // the bar still shows them and the export asks for them.
    auto caller = std::make_unique<std::vector<BYTE>>(std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const std::vector<BYTE> given = *caller;
    Bar().SetDataBuffer(caller->data(), static_cast<ULONG>(caller->size()));
    std::memset(caller->data(), 0xEE, caller->size());
    caller.reset();
    Repaint();
    EXPECT_EQ(Shown(), given);
    EXPECT_EQ(Returned(), given);

    // Its own bytes handed back to it stay whole.
    const BYTE* pData = nullptr;
    ULONG length = 0;
    Bar().GetDataBuffer(pData, length);
    Bar().SetDataBuffer(pData, length);
    Repaint();
    EXPECT_EQ(Returned(), given);
    // No bytes at all: nothing shown.
    Bar().SetDataBuffer(given.data(), 0);
    EXPECT_EQ(Dump().GetData(), nullptr);
    EXPECT_TRUE(Returned().empty());
}

TEST_F(DataBarTest, PictureShowsTheTitleInTheHeaderBesideTheColumns) {
    std::vector<BYTE> bytes(40);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>('A' + i % 26);
    Bar().SetTitle("  Bulk/Interrupt TransferBuffer (Input) - record #12");
    Bar().SetDataBuffer(bytes.data(), static_cast<ULONG>(bytes.size()));
    Repaint();
    tdl::test::Picture picture(Dump().GetSafeHwnd(), "data_bar.png");
    ASSERT_TRUE(picture.IsValid());
    const DumpLayout layout = Dump().GetLayout();
    ASSERT_TRUE(layout.headerShown);
    // The title's text at the left of the header band, before the offset box.
    const CRect title(layout.header.left, layout.header.top, layout.specialTextEnd, layout.header.bottom);
    ASSERT_GT(title.Width(), 100);
    EXPECT_GT(picture.Count(title, tdl::test::IsDark), 100);
    // The offset column in its colour, the hexadecimal and ASCII columns with dark text.
    const RECT& offset = layout.columns[DumpFieldKind(DUMP_COLUMN_ADDRESS)];
    EXPECT_GT(picture.Count(offset, [](COLORREF c) { return c == 128; }), 10);
    EXPECT_GT(picture.Count(layout.columns[DumpFieldKind(DUMP_COLUMN_HEX)], tdl::test::IsDark), 100);
    EXPECT_GT(picture.Count(layout.columns[DumpFieldKind(DUMP_COLUMN_ASCII)], tdl::test::IsDark), 50);
    // Retitled with a redraw, the control paints the new title at once: the band loses the old one's text.
    const int titled = picture.Count(layout.header, tdl::test::IsDark);
    Bar().SetTitle("", TRUE);
    Repaint();
    const int untitled =
        tdl::test::Picture(Dump().GetSafeHwnd(), "data_bar_untitled.png").Count(layout.header, tdl::test::IsDark);
    EXPECT_LT(untitled + 100, titled);
}

// A bar of its own under a window that notes what reaches it.
class LoneDataBarTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_owner =
            std::make_unique<tdl::test::TestWindow>(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 500, 240});
    }
    void TearDown() override {
        m_bar.reset();
        m_owner.reset();
        UiTest::TearDown();
    }
    bool Create() {
        return m_bar->Create("Data", CWnd::FromHandle(*m_owner), CSize(400, 90), ID_VIEW_DATABAR,
                             WS_CHILD | WS_VISIBLE) != FALSE;
    }

    CWinApp m_app{"Tindaloft"};
    std::unique_ptr<tdl::test::TestWindow> m_owner;
    std::unique_ptr<CDataBar> m_bar = std::make_unique<CDataBar>();
};

TEST_F(LoneDataBarTest, FailsToBeMadeWhenItsControlCannotBe) {
    win32::FailUiCalls(win32::UiFailure::CreateWindow, 1, 1); // the bar's window is made, its control's not
    EXPECT_FALSE(Create());
    win32::ClearUiFailures();
    EXPECT_EQ(m_bar->GetSafeHwnd(), nullptr);
    EXPECT_EQ(m_bar->GetDumpCtrl(), nullptr);
    ASSERT_TRUE(Create());
    EXPECT_NE(m_bar->GetDumpCtrl(), nullptr);
}

TEST_F(LoneDataBarTest, KeepsTheContextMenuToItself) {
    ASSERT_TRUE(Create());
    m_owner->Take();
    win32::Click(m_bar->GetDumpCtrl()->GetSafeHwnd(), POINT{40, 60}, win32::MouseButton::Right);
    win32::PumpUiMessages();
    EXPECT_TRUE(m_owner->TakeIds({WM_CONTEXTMENU}).empty());
}

} // namespace
