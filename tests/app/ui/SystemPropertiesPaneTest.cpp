// The System Properties pane in the main frame: the machine's facts for a live capture, a capture file's
// facts for an opened log, what it shows when it is made, and its picture.
#include "tests/app/ui/MainWindowFixture.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "GkDockingPaneGroup.h"
#include "GkPropertyGrid.h"
#include "WinCrtTime.h"
#include "WinMachineProfile.h"
#include "app/ui/PanePointers.h"
#include "app/ui/panes/SystemPropertiesWnd.h"
#include "tests/support/Pictures.h"

namespace {

std::string Text(const CString& text) {
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

// The machine's facts under the default profile: a 64-bit Windows 7 SP1 workstation with 8 GiB.
const char* const kDefaultSystemInformation = R"(System Information
  Computer Name = TDL-WORKSTATION
  User Name = User
  Windows Platform = Microsoft Windows 7 Service Pack 1 (Build 7601)
  Windows Version = 6.1
  Windows Build Number = 7601
  Windows Platform Info = Service Pack 1
  Processor Architecture = x64
  Number of CPUs = 4
  Total Physical Memory = 8192 Mbytes
  Free Physical Memory = 4096 Mbytes
  Total Virtual Memory = 8388607 Mbytes
  Free Virtual Memory = 8388592 Mbytes
)";

class SystemPropertiesTest : public mainwin_test::MainWindowTest {
protected:
    void TearDown() override {
        win32::ResetMachineProfile();
        win32::ClearModalRequests();
        if (m_hostZone.has_value()) {
            if (m_hostZone->empty())
                unsetenv("TZ");
            else
                setenv("TZ", m_hostZone->c_str(), 1);
            tzset();
        }
        MainWindowTest::TearDown();
    }

    // The pane's window, made by its first show.
    CSystemPropertiesWnd* ShowPane() {
        Frame()->GetPaneManager().ShowPane(ID_VIEW_SYSTEMPROPERTIES);
        win32::PumpUiMessages();
        return Frame()->GetSystemPropertiesPane();
    }
    // The category's caption and rows.
    static std::string Model(CSystemPropertiesWnd& pane) {
        CGkPropertyGridItem* pCategory = pane.GetGrid().GetCategories()->FindItem(CSystemPropertiesWnd::CategoryId);
        if (pCategory == nullptr)
            return "<no category>";
        return Text(pCategory->GetCaption()) + "\n" +
               Text(CGkPropertyGrid::DumpItems(pCategory->GetChilds(), gkDumpCategory | gkDumpHidden, 1));
    }
    // The live capture saved (with that start time) and opened again as a log file, the active document.
    CUSBLog* SaveAndReopen(LONGLONG llStartTime) {
        CUSBLog* pLive = Frame()->GetActiveLogDocument();
        EXPECT_NE(pLive, nullptr);
        if (pLive == nullptr)
            return nullptr;
        pLive->SetStartTime(llStartTime);
        // One file per test: CTest runs the tests of this suite side by side, and one test's save must not
        // overwrite the file another is reopening.
        const std::string path = ::testing::TempDir() + "system-properties-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".tdloft";
        EXPECT_TRUE(pLive->OnSaveDocument(path.c_str()));
        win32::PumpUiMessages();
        auto* pSaved = dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(path.c_str()));
        win32::PumpUiMessages();
        EXPECT_EQ(Frame()->GetActiveLogDocument(), pSaved);
        return pSaved;
    }
    // The host's time zone, put back at the end.
    void SetHostZone(const char* zone) {
        if (!m_hostZone.has_value()) {
            const char* current = std::getenv("TZ");
            m_hostZone = current != nullptr ? current : "";
        }
        setenv("TZ", zone, 1);
        tzset();
    }

    std::optional<std::string> m_hostZone;
};

TEST_F(SystemPropertiesTest, MadeFilledForTheActiveDocumentOfEitherKind) {
    // No document: the category alone.
    Start(false);
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    EXPECT_EQ(Text(pPane->GetGrid().DumpModel()), "System Properties [category] [id 5000]\n");
    EXPECT_EQ(pPane->GetToolBar().GetBarID(), 261u);
    EXPECT_EQ(pPane->GetToolBar().GetDlgCtrlID(), 59392);
    EXPECT_EQ(pPane->GetGrid().GetCurrentTheme(), 6);
    EXPECT_TRUE(pPane->GetGrid().GetShowInplaceButtonsAlways());
    EXPECT_EQ(pPane->GetGrid().GetHelpHeight(), 20);
    EXPECT_TRUE(pPane->GetGrid().IsHighlightChangedItems());

    // A live capture: this machine, the category expanded.
    Start();
    pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    EXPECT_EQ(Model(*pPane), kDefaultSystemInformation);
    EXPECT_TRUE(pPane->GetGrid().GetCategories()->GetAt(0)->IsExpanded());

    // An opened log: its file's facts.
    Start();
    ASSERT_NE(SaveAndReopen(795139200), nullptr);
    pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    EXPECT_EQ(Text(pPane->GetGrid().GetCategories()->GetAt(0)->GetCaption()), "Log File Information");
}

TEST_F(SystemPropertiesTest, TwelveRowsFromTheSystemWithEveryFailingQueryLeftEmpty) {
    Start();
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    pPane->ShowSystemInformation();
    EXPECT_EQ(Model(*pPane), kDefaultSystemInformation);

    // Memory beyond 4 GiB, no names, a version query that fails, and an architecture the program does not know.
    win32::MachineProfile profile = win32::GetMachineProfile();
    profile.totalPhysical = (48ULL << 30) + (5ULL << 20) + 12345;
    profile.availablePhysical = (6ULL << 30) + (1ULL << 19);
    profile.totalVirtual = 0x7FFFFFE0000ULL;
    profile.availableVirtual = 5ULL << 30;
    profile.computerName.clear();
    profile.userName.clear();
    profile.refuseVersion = true;
    profile.numberOfProcessors = 64;
    win32::SetMachineProfile(profile);
    App().m_OSVersion.m_dwArchitecture = 5; // ARM
    pPane->ShowSystemInformation();
    EXPECT_EQ(Model(*pPane), R"(System Information
  Computer Name =
  User Name =
  Windows Platform = Microsoft Windows 7 Service Pack 1 (Build 7601)
  Windows Version =
  Windows Build Number =
  Windows Platform Info =
  Processor Architecture = ?
  Number of CPUs = 64
  Total Physical Memory = 49157 Mbytes
  Free Physical Memory = 6144 Mbytes
  Total Virtual Memory = 8388607 Mbytes
  Free Virtual Memory = 5120 Mbytes
)");
    EXPECT_TRUE(win32::ModalRequests().empty());
}

TEST_F(SystemPropertiesTest, ASavedAndReopenedCaptureShowsItsFilesFacts) {
    Start();
    ASSERT_NE(SaveAndReopen(795139200), nullptr);
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    // The device tree's refresh for the computer's item, as the pane holder forwards it.
    pPane->ResetCategory();
    CPanePointers().SystemPropertiesUpdate();
    EXPECT_EQ(Model(*pPane), "Log File Information\n"
                             "  Machine Name = User@TDL-WORKSTATION\n"
                             "  Tindaloft Version = " +
                                 Text(App().GetVersionText()) +
                                 "\n"
                                 "  Binary Schema = 12\n"
                                 "  Processor Architecture = x64\n"
                                 "  Windows Platform = Microsoft Windows 7 Service Pack 1 (Build 7601)\n"
                                 "  Date = Tuesday, March 14, 1995\n"
                                 "  Time = 00:00:00 UTC\n");
}

TEST_F(SystemPropertiesTest, TheSchemaAndTheStartTimeDecideTheLastRows) {
    Start();
    CUSBLog* pSaved = SaveAndReopen(0);
    ASSERT_NE(pSaved, nullptr);
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    const auto rows = [&] { return pPane->GetGrid().GetCategories()->GetAt(0)->GetChilds(); };
    // Files before schema 4 keep neither the system's description nor the start time.
    pSaved->SetRecordSchema(3);
    pPane->ShowLogFileInformation();
    ASSERT_EQ(rows()->GetCount(), 4);
    EXPECT_EQ(Text(rows()->GetAt(3)->GetCaption()), "Processor Architecture");
    pSaved->SetRecordSchema(4);
    pPane->ShowLogFileInformation();
    ASSERT_EQ(rows()->GetCount(), 7);
    EXPECT_EQ(Text(rows()->GetAt(2)->GetValue()), "4");

    // The stored time is UTC and shown so wherever the program runs; a time the runtime cannot take (before
    // 1970, after 3000) shows nothing.
    struct Case {
        LONGLONG start;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {0, "Thursday, January 01, 1970", "00:00:00 UTC"},
        {795139200, "Tuesday, March 14, 1995", "00:00:00 UTC"},
        {795139200 + 13 * 3600 + 4 * 60 + 5, "Tuesday, March 14, 1995", "13:04:05 UTC"},
        {_MAX__TIME64_T, "Wednesday, December 31, 3000", "23:59:59 UTC"},
        {-1, "", ""},
        {_MAX__TIME64_T + 1, "", ""},
    };
    for (const char* zone : {"UTC", "Pacific/Auckland", "America/Los_Angeles"}) {
        SetHostZone(zone);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << zone << " " << c.start);
            pSaved->SetStartTime(c.start);
            pPane->ShowLogFileInformation();
            ASSERT_EQ(rows()->GetCount(), 7);
            EXPECT_EQ(Text(rows()->GetAt(5)->GetCaption()), "Date");
            EXPECT_EQ(Text(rows()->GetAt(5)->GetValue()), c.date);
            EXPECT_EQ(Text(rows()->GetAt(6)->GetCaption()), "Time");
            EXPECT_EQ(Text(rows()->GetAt(6)->GetValue()), c.time);
        }
    }
}

TEST_F(SystemPropertiesTest, WithoutADocumentALogFilesFactsAreOnlyTheirCaptionAndAResetEmptiesTheCategory) {
    Start();
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    CPanePointers().SystemPropertiesClear();
    EXPECT_EQ(Model(*pPane), "System Properties\n");
    pPane->ShowSystemInformation();
    // The live capture's window closed: no document, and the pane holder asks for a log file's facts.
    Frame()->MDIGetActive()->SendMessage(WM_CLOSE);
    win32::PumpUiMessages();
    ASSERT_EQ(Frame()->GetActiveLogDocument(), nullptr);
    CPanePointers().SystemPropertiesShow();
    EXPECT_EQ(Model(*pPane), "Log File Information\n");
}

TEST_F(SystemPropertiesTest, PictureShowsTheOrderButtonsAndTheMachinesRows) {
    Start();
    // The pane is the bottom row's tab beside the data bar: its splitter dragged up to show every row.
    CSystemPropertiesWnd* pPane = ShowPane();
    ASSERT_NE(pPane, nullptr);
    const int nHeight = GroupRect(ID_VIEW_SYSTEMPROPERTIES).Height();
    for (const CGkDockingPaneGroup::Splitter& splitter : Pane(ID_VIEW_SYSTEMPROPERTIES)->GetGroup()->GetSplitters())
        if (splitter.bHorz)
            Frame()->GetPaneManager().MoveSplitter(splitter.pTarget, -200);
    win32::PumpUiMessages();
    ASSERT_EQ(GroupRect(ID_VIEW_SYSTEMPROPERTIES).Height(), nHeight + 200);
    Idle();
    ::RedrawWindow(Frame()->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    win32::PumpUiMessages();
    tdl::test::Picture picture(pPane->GetSafeHwnd(), "system_properties_pane.png");
    ASSERT_TRUE(picture.IsValid());
    CGkPropertyGrid& grid = pPane->GetGrid();
    const auto inPane = [pPane](CWnd& wnd, CRect rc) {
        ::MapWindowPoints(wnd.GetSafeHwnd(), pPane->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    // The toolbar's two order buttons, the categorised one checked.
    CGkToolBar& bar = pPane->GetToolBar();
    const CRect categorized = inPane(bar, bar.FindControl(ID_PROPERTIES_CATEGORIZED)->GetRect());
    EXPECT_GT(picture.Count(categorized, [](COLORREF c) { return c == RGB(74, 120, 200); }), 10);
    // The caption row, then rows of dark text: names and values.
    const GkPropertyGridColors& colors = grid.GetPaintManager()->GetColors();
    const CRect category = inPane(grid, grid.GetRowRect(0));
    EXPECT_GT(picture.Count(category, [&](COLORREF c) { return c == colors.clrCategoryBack; }), category.Width() * 5);
    for (int row = 1; row <= 12; ++row) {
        const CRect rc = inPane(grid, grid.GetRowRect(row));
        ASSERT_FALSE(rc.IsRectEmpty()) << row;
        EXPECT_GT(picture.Count(rc, tdl::test::IsDark), 20) << row;
    }
}

} // namespace
