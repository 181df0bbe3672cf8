// The record list's menus and their commands as a user meets them: the list's and a row's context menus with
// their marks, help on a record's kind and on the list, the Time column's unit, mode and origin, best fit,
// the font, and the CSV export of the data bar's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "WinFileDialogControl.h"
#include "WinFontDialogControl.h"
#include "WinModulesControl.h"
#include "app/core/app/HelpContext.h"
#include "app/ui/PanePointers.h"
#include "common/RecordPayloads.h"
#include "htmlhelp.h"
#include "tests/app/ui/RecordListFixture.h"

namespace reclist_test {
namespace {

using tdl::test::RecordBuilder;

struct HelpRequest {
    HWND caller;
    UINT command;
    DWORD_PTR data;
};
std::mutex g_helpLock;
std::vector<HelpRequest> g_helpRequests;

HWND WINAPI KeepingHtmlHelpA(HWND hwndCaller, LPCSTR, UINT uCommand, DWORD_PTR dwData) {
    std::lock_guard guard(g_helpLock);
    g_helpRequests.push_back({hwndCaller, uCommand, dwData});
    return nullptr;
}

std::vector<HelpRequest> TakeHelpRequests() {
    std::lock_guard guard(g_helpLock);
    return std::exchange(g_helpRequests, {});
}

// The number of digits after a text's decimal point.
size_t Decimals(const std::string& text) {
    const size_t point = text.find('.');
    return point == std::string::npos ? 0 : text.size() - point - 1;
}

class LogListMenusTest : public RecordListTest {
protected:
    void SetUp() override {
        RecordListTest::SetUp();
        win32::RegisterModule("hhctrl", {win32::Export("HtmlHelpA", &KeepingHtmlHelpA)},
                              "\\Windows\\System32\\hhctrl.ocx");
        TakeHelpRequests();
        ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    }
    void TearDown() override {
        win32::UnregisterModule("hhctrl");
        RecordListTest::TearDown();
    }
    std::vector<std::string> RowMenu(int nRow, UINT nPick = 0, const std::string& picture = {}) {
        return RightClickMenu(View()->GetSafeHwnd(), RowCentre(nRow), nPick, picture);
    }
    // The Time column's text of a row.
    std::string Time(int nRow) const { return Cell(nRow, ColumnOf(LVCOL_ELAPSED_TIME)); }
};

TEST_F(LogListMenusTest, TheListAndEachRowOfferTheirItemsWithHelpOnTheRecordsKind) {
    struct Case {
        ULONG tag;
        ULONG function;
        const char* help; // the help entry, or none
        UINT group;
    };
    const Case cases[] = {
        {LogTag::urbI, 0x2009, "&Help on URB", HELP_GROUP_URB},
        {LogTag::cCnt, 9, "&Help on URB", HELP_GROUP_URB},
        {LogTag::uinC, 0x220013, "&Help on USBINT request", HELP_GROUP_INTERNAL_IOCTL},
        {LogTag::buhI, 3, "&Help on IHUB function", HELP_GROUP_HUB_INTERFACE},
        {LogTag::khpC, 10, "&Help on MPORT function", HELP_GROUP_HOOK},
        {LogTag::pnpI, 2, nullptr, 0},
        {LogTag::hubC, 0x220408, nullptr, 0},
    };
    std::vector<std::vector<uint8_t>> records;
    for (size_t i = 0; i < std::size(cases); ++i)
        records.push_back(RecordBuilder(cases[i].tag).Function(cases[i].function).Sequence(i + 1).Build());
    Deliver(records);

    // Below the rows: the list's menu.
    CRect client;
    View()->GetClientRect(&client);
    EXPECT_EQ(RightClickMenu(View()->GetSafeHwnd(), CPoint(40, client.bottom - 10)),
              (std::vector<std::string>{"Set Log View &Font", "&Arrange Columns", "Resize Columns for &Best Fit",
                                        "Help on Log View", "-", "&Cancel"}));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.help != nullptr ? c.help : "no help");
        std::vector<std::string> expected = {
            "Set &Time Origin",   "Show Seconds [checked]", "Show Milliseconds",
            "Show Microseconds",  "Delta Timings",          "-",
            "Set Log View &Font", "&Arrange Columns",       "Resize Columns for &Best Fit",
            "Help on Log View"};
        if (c.help != nullptr)
            expected.push_back(c.help);
        expected.insert(expected.end(), {"-", "&Cancel"});
        const auto item = static_cast<int>(i);
        EXPECT_EQ(RowMenu(item, 0, i == 0 ? "record_list_row_menu.png" : ""), expected);
        if (c.help == nullptr)
            continue;
        // Its help opens the topic of the record's code (an URB's function without its flag bits).
        const size_t helpPosition = 10;
        UINT nPicked = 0;
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND window) -> INT_PTR {
            nPicked = ::GetMenuItemID(reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0)),
                                      static_cast<int>(helpPosition));
            return nPicked;
        });
        win32::Click(View()->GetSafeHwnd(), RowCentre(item), win32::MouseButton::Right);
        win32::PumpUiMessages();
        const std::vector<HelpRequest> help = TakeHelpRequests();
        ASSERT_EQ(help.size(), 1u);
        EXPECT_EQ(help[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
        EXPECT_EQ(help[0].data,
                  HelpContextForCode(c.group, c.group == HELP_GROUP_URB ? c.function & 0x1FFF : c.function));
        EXPECT_EQ(help[0].caller, Frame()->GetSafeHwnd());
    }

    // Help on the list, and on arranging it.
    Command(ID_HELP_LOGVIEW);
    Command(ID_HELP_LOGVIEW_CUSTOMIZATION);
    const std::vector<HelpRequest> help = TakeHelpRequests();
    ASSERT_EQ(help.size(), 2u);
    EXPECT_EQ(help[0].data, 39u);
    EXPECT_EQ(help[1].data, 38u);
}

TEST_F(LogListMenusTest, TheRowMenuChangesTheTimeColumnsUnitModeAndOrigin) {
    const LONGLONG f = Live()->GetPerformanceFrequency();
    ASSERT_GT(f, 0);
    Deliver({RecordBuilder(LogTag::atsL).Sequence(1).TimeStamp(0).Build(),
             RecordBuilder(LogTag::urbI).Sequence(2).TimeStamp(f).Build(),
             RecordBuilder(LogTag::urbC).Sequence(3).TimeStamp(3 * f).Build(),
             RecordBuilder(LogTag::urbI).Sequence(4).TimeStamp(6 * f).Build()});
    EXPECT_EQ(Time(2), "3.00000000");
    // Units: each marked in the menu when it is the one shown.
    const struct {
        UINT command;
        size_t decimals;
        const char* marked;
    } units[] = {{ID_TIME_MILLISECONDS, 4, "Show Milliseconds [checked]"},
                 {ID_TIME_MICROSECONDS, 1, "Show Microseconds [checked]"},
                 {ID_TIME_SECONDS, 8, "Show Seconds [checked]"}};
    for (const auto& unit : units) {
        RowMenu(2, unit.command);
        EXPECT_EQ(Decimals(Time(2)), unit.decimals);
        EXPECT_NE(Time(2).find(unit.decimals == 8 ? "3." : "3000"), std::string::npos) << Time(2);
        EXPECT_EQ(RowMenu(2)[1 + (unit.command - ID_TIME_SECONDS)], unit.marked);
    }
    // Delta timings: each row from the one before it.
    RowMenu(3, ID_TOGGLE_TIMEMODE);
    EXPECT_EQ(Time(3), "3.00000000");
    EXPECT_EQ(Time(1), "1.00000000");
    EXPECT_EQ(RowMenu(3)[4], "Elapsed Timings");
    RowMenu(3, ID_TOGGLE_TIMEMODE);
    EXPECT_EQ(Time(3), "6.00000000");
    // A row as the time origin: rows before it read negative.
    RowMenu(1, ID_SET_TIME_ORIGIN);
    EXPECT_EQ(Time(1), "0.00000000");
    EXPECT_EQ(Time(3), "5.00000000");
    EXPECT_EQ(Time(0), "-1.00000000");
}

TEST_F(LogListMenusTest, BestFitGivesEachColumnItsWidestTextAndTheLastTheRest) {
    std::vector<std::vector<uint8_t>> records;
    for (ULONG sequence = 1; sequence <= 5; ++sequence)
        records.push_back(RecordBuilder(LogTag::urbI).Function(9).Sequence(sequence * 12345).Build());
    Deliver(records);
    // A column dragged narrow first: best fit makes it wide again.
    List().SetColumnWidth(ColumnOf(LVCOL_REQUEST_TYPE), 3);
    CRect client;
    View()->GetClientRect(&client);
    RightClickMenu(View()->GetSafeHwnd(), CPoint(40, client.bottom - 10), ID_BESTFIT_COLUMNS);
    CLogListHeader& header = View()->GetHeader();
    const int nColumns = header.GetItemCount();
    int nRight = 0;
    for (int p = 0; p < nColumns; ++p) {
        const int nIndex = header.OrderToIndex(p);
        const int nWidth = List().GetColumnWidth(nIndex);
        EXPECT_GE(nWidth, 10);
        // Wide enough for each row's text and for the heading.
        for (int row = 0; row < 5; ++row)
            EXPECT_GT(nWidth, List().GetStringWidth(List().GetItemText(row, nIndex))) << p;
        EXPECT_GE(nWidth, header.TextWidth(View()->GetColumns().GetHeading(nIndex))) << p;
        CRect item;
        header.GetItemRect(nIndex, &item);
        nRight = std::max(nRight, static_cast<int>(item.right));
    }
    EXPECT_EQ(nRight, client.Width());
}

TEST_F(LogListMenusTest, TheFontCommandSetsTheChosenFontOnTheList) {
    const auto hBefore = reinterpret_cast<HFONT>(List().SendMessage(WM_GETFONT));
    ASSERT_NE(hBefore, nullptr);
    win32::QueueModalAnswer(win32::ModalKind::Font, IDCANCEL);
    Command(ID_VIEW_LOGFONT);
    EXPECT_EQ(reinterpret_cast<HFONT>(List().SendMessage(WM_GETFONT)), hBefore);
    LOGFONTA chosen{};
    chosen.lfHeight = -24;
    std::strcpy(chosen.lfFaceName, "DejaVu Serif");
    win32::QueueModalSteps(win32::ModalKind::Font, [&](const win32::ModalRequest&, HWND) -> INT_PTR {
        win32::ChooseFontChoice(chosen);
        return IDOK;
    });
    Command(ID_VIEW_LOGFONT);
    const auto hAfter = reinterpret_cast<HFONT>(List().SendMessage(WM_GETFONT));
    ASSERT_NE(hAfter, hBefore);
    LOGFONTA lf{};
    ASSERT_NE(::GetObjectA(hAfter, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -24);
    EXPECT_STREQ(lf.lfFaceName, "DejaVu Serif");
}

class LogListExportTest : public LogListMenusTest {
protected:
    void SetUp() override {
        LogListMenusTest::SetUp();
        win32::ClearFileDialogRequests();
        m_dir = std::filesystem::temp_directory_path() / ("tdl_reclist_csv_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        LogListMenusTest::TearDown();
    }
    std::string Contents(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path m_dir;
};

// The user selects a record: the Log Details pane decodes it and the data bar shows its bytes; the grid's
// export button sends 240, which the list answers with the data bar's bytes as a CSV file.
TEST_F(LogListExportTest, TheDataBarsBytesGoToTheChosenFileAndTheOutcomeIsShown) {
    std::vector<uint8_t> part1 = tdl::test::UrbTransferPart1(9, 0, 0x81, 1);
    const ULONG length = 3;
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &length, 4);
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &length, 4);
    const std::vector<uint8_t> data = {0x01, 0xAB, 0xFF};
    Deliver({RecordBuilder(LogTag::urbC).Sequence(1).Function(9).Part1(part1).Part2(data).Build(),
             RecordBuilder(LogTag::pnpI).Sequence(2).Function(2).Build()});
    win32::Click(View()->GetSafeHwnd(), RowCentre(0));
    win32::PumpUiMessages();
    const BYTE* pShown = nullptr;
    ULONG nShown = 0;
    CPanePointers().DataBarGetDataBuffer(pShown, nShown);
    ASSERT_EQ(std::vector<uint8_t>(pShown, pShown + nShown), data);
    EXPECT_TRUE(tdl::test::SavePicture(Frame()->GetSafeHwnd(), "record_list_selected.png"));

    const std::string path = (m_dir / "bytes.csv").string();
    win32::QueueFileDialogChoice(path);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "CSV transfer buffer exported successfully.");
    Command(ID_EXPORT_XFERBUFFER);
    EXPECT_EQ(Contents(path), "01,ab,ff\r\n");

    // A record without data bytes: the file is made but the export fails.
    win32::Click(View()->GetSafeHwnd(), RowCentre(1));
    win32::PumpUiMessages();
    const std::string empty = (m_dir / "empty.csv").string();
    win32::QueueFileDialogChoice(empty);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "CSV transfer buffer export failure.");
    Command(ID_EXPORT_XFERBUFFER);
    EXPECT_TRUE(std::filesystem::exists(empty));
    EXPECT_EQ(Contents(empty), "");

    // A cancelled dialog: no file and no message.
    win32::ClearModalRequests();
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    Command(ID_EXPORT_XFERBUFFER);
    EXPECT_EQ(win32::ModalRequests().size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 2);
}

} // namespace
} // namespace reclist_test
