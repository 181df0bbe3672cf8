// The Find dialog driven as a user drives it in the main window: what it shows when it opens, what its radio
// buttons put into the definition it matches with, More and Less, Close and Help; its searches through a saved
// log's record list, forward and backward, with and without wrapping, and what each tells in the status bar's
// message pane and in its boxes; the dialog's life beside its document's.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "WinHtmlHelpControl.h"
#include "WinMachineProfile.h"
#include "app/ui/find/FindDialog.h"
#include "app/ui/find/FindOptionsIds.h"
#include "htmlhelp.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/app/ui/RecordListFixture.h"

namespace {

using tdl::test::RecordBuilder;

std::string Text(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// Every text the main window's message pane is given, in order.
class PaneTexts {
public:
    explicit PaneTexts(HWND frame) : m_frame(frame) {
        s_texts = &m_texts;
        s_previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaneTexts::Procedure)));
    }
    ~PaneTexts() {
        ::SetWindowLongPtrA(m_frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_previous));
        s_texts = nullptr;
    }
    PaneTexts(const PaneTexts&) = delete;
    PaneTexts& operator=(const PaneTexts&) = delete;

    std::vector<std::string> Take() {
        std::vector<std::string> texts;
        texts.swap(m_texts);
        return texts;
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETMESSAGESTRING && lParam != 0 && s_texts != nullptr)
            s_texts->push_back(reinterpret_cast<LPCSTR>(lParam));
        return ::CallWindowProcA(s_previous, hwnd, message, wParam, lParam);
    }

    HWND m_frame;
    std::vector<std::string> m_texts;
    static inline std::vector<std::string>* s_texts = nullptr;
    static inline WNDPROC s_previous = nullptr;
};

class FindDialogTest : public reclist_test::RecordListTest {
protected:
    void SetUp() override {
        RecordListTest::SetUp();
        win32::RegisterHtmlHelpModule();
    }
    void TearDown() override {
        RecordListTest::TearDown();
        win32::ResetMachineProfile();
    }
    // The program started again on a system of that release.
    void Restart(DWORD major, DWORD minor) {
        TearDown();
        win32::MachineProfile profile;
        profile.majorVersion = major;
        profile.minorVersion = minor;
        profile.buildNumber = major == 5 ? 2195 : 7601;
        win32::SetMachineProfile(profile);
        SetUp();
    }

    // Find in the active document: its dialog.
    CFindDialog* OpenFind(CUSBLog* pDoc) {
        Command(ID_EDIT_FIND_REQUEST);
        win32::PumpUiMessages();
        CFindDialog* pDialog = pDoc->GetFindDialog();
        EXPECT_NE(pDialog, nullptr);
        return pDialog;
    }
    CFindDialog* OpenFind() { return OpenFind(Live()); }
    static void Click(CFindDialog* pDialog, UINT nID) {
        ::SendMessageA(::GetDlgItem(pDialog->GetSafeHwnd(), static_cast<int>(nID)), BM_CLICK, 0, 0);
        win32::PumpUiMessages();
    }
    static void ChooseRequestType(CFindDialog* pDialog, int nIndex) {
        HWND combo = ::GetDlgItem(pDialog->GetSafeHwnd(), IDC_FIND_REQUEST_TYPE);
        ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
        ::SendMessageA(pDialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_FIND_REQUEST_TYPE, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(combo));
    }
    std::string Pane() { return Frame()->GetStatusBar().GetPaneText(0).GetString(); }
    static std::vector<BYTE> Block(const CFilterDefinition& filter) {
        return {filter.GetBlock().Bytes, filter.GetBlock().Bytes + FILTER_BLOCK_SIZE};
    }
    static CListCtrl& ListOf(CUSBLog* pDoc) { return dynamic_cast<CLogListView*>(pDoc->GetFirstView())->GetListCtrl(); }

    // A capture log file of completed URBs of the given functions, one a row, written from the live capture
    // under a name of the test's own (suites run side by side in one temporary folder).
    std::string WriteLog(const std::vector<ULONG>& functions, const char* name) {
        EXPECT_TRUE(Records().CreateBuffer(1 << 16, 0));
        std::vector<std::vector<uint8_t>> records;
        for (size_t i = 0; i < functions.size(); ++i)
            records.push_back(
                RecordBuilder(LogTag::urbC).Function(functions[i]).Sequence(static_cast<ULONG>(i + 1)).Build());
        Deliver(records);
        const std::vector<BYTE> bytes = apptest::Store(*Live());
        const std::string path = ::testing::TempDir() + name;
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        return path;
    }
    // The saved log (an empty one without a path), active in its own window, its list showing `nPage` rows a
    // page (0: as it opens).
    CUSBLog* OpenLog(const std::string& path, int nPage) {
        auto* pDoc =
            dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(path.empty() ? nullptr : path.c_str()));
        win32::PumpUiMessages();
        EXPECT_NE(pDoc, nullptr);
        if (pDoc == nullptr)
            return nullptr;
        EXPECT_TRUE(pDoc->IsLogFileDocument());
        EXPECT_EQ(Frame()->GetActiveLogDocument(), pDoc);
        // The window's height brought to the page asked for.
        CListCtrl& list = ListOf(pDoc);
        CWnd* pChild = pDoc->GetFirstView()->GetParentFrame();
        for (int round = 0; nPage > 0 && round < 3 && list.GetCountPerPage() != nPage; ++round) {
            CRect row, frame;
            list.GetItemRect(0, &row, LVIR_BOUNDS);
            pChild->GetWindowRect(&frame);
            pChild->SetWindowPos(nullptr, 0, 0, frame.Width(),
                                 frame.Height() + (nPage - list.GetCountPerPage()) * row.Height(),
                                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            win32::PumpUiMessages();
        }
        if (nPage > 0)
            EXPECT_EQ(list.GetCountPerPage(), nPage);
        return pDoc;
    }
    // A click on a row of the document's list, scrolled into view first.
    static void PickRow(CUSBLog* pDoc, int nRow) {
        CListCtrl& list = ListOf(pDoc);
        list.EnsureVisible(nRow, FALSE);
        win32::PumpUiMessages();
        CRect row;
        list.GetItemRect(nRow, &row, LVIR_BOUNDS);
        win32::Click(list.m_hWnd, CPoint(row.left + 30, row.CenterPoint().y));
        win32::PumpUiMessages();
    }
};

TEST_F(FindDialogTest, OpensOnTheFirstPageWithBothPhasesAndBothOutcomes) {
    const std::vector<std::string> all = {
        "URB Request",          "Hub Interface Functions", "USB Internal Request", "Hub User-mode Ioctls",
        "HCD User-mode Ioctls", "HID User-mode Ioctls",    "PnP Request",          "Power Request"};
    for (const DWORD major : {6u, 5u}) {
        SCOPED_TRACE(major);
        Restart(major, major == 5 ? 0 : 1);
        CFindDialog* pDialog = OpenFind();
        ASSERT_NE(pDialog, nullptr);
        const HWND dlg = pDialog->GetSafeHwnd();
        EXPECT_EQ(Text(dlg), "Find");

        std::vector<std::string> expected = all;
        if (major == 5) // Windows 2000 has no hub-interface logging
            expected.erase(expected.begin() + 1);
        HWND combo = ::GetDlgItem(dlg, IDC_FIND_REQUEST_TYPE);
        std::vector<std::string> texts;
        for (LRESULT i = 0, n = ::SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
            char text[64] = {};
            ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(pDialog->GetPageCount(), static_cast<int>(expected.size()));
        EXPECT_EQ(::SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
        for (UINT id = IDC_FIND_FIRST_LIST; id <= IDC_FIND_LAST_LIST; ++id)
            if (HWND list = ::GetDlgItem(dlg, static_cast<int>(id)))
                EXPECT_EQ(::IsWindowVisible(list) != FALSE, id == IDC_FIND_FIRST_LIST) << id;
        EXPECT_EQ(::IsDlgButtonChecked(dlg, IDC_FIND_BOTH_PHASES), BST_CHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(dlg, IDC_FIND_BOTH_OUTCOMES), BST_CHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(dlg, IDC_FIND_WRAP), BST_UNCHECKED);
        EXPECT_EQ(Text(::GetDlgItem(dlg, IDC_FIND_MORE)), "<< &Less");
        EXPECT_EQ(LOWORD(::SendMessageA(dlg, DM_GETDEFID, 0, 0)), IDC_FIND_NEXT);
        // The default definition, with the first page's phases and every outcome and direction open.
        CFilterDefinition expectedFilter;
        for (size_t b : {FilterByte::UrbRequest, FilterByte::UrbCompletion, FilterByte::AcceptError,
                         FilterByte::AcceptSuccess, FilterByte::AcceptIn, FilterByte::AcceptOut})
            expectedFilter.Enable(b);
        EXPECT_EQ(Block(pDialog->GetFilter()), Block(expectedFilter));
        // Every page's codes are listed.
        for (int i = 0; i < pDialog->GetPageCount(); ++i)
            EXPECT_GT(pDialog->GetPage(i)->GetList()->GetCount(), 0) << i;
    }
}

TEST_F(FindDialogTest, PhaseRadiosLeaveOnlyTheCurrentPagesPhaseBytes) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    const size_t phaseBytes[] = {
        FilterByte::UrbRequest,      FilterByte::UrbCompletion,      FilterByte::HubIfRequest,
        FilterByte::HubIfCompletion, FilterByte::PortHookRequest,    FilterByte::PortHookCompletion,
        FilterByte::InternalRequest, FilterByte::InternalCompletion, FilterByte::HcdRequest,
        FilterByte::HcdCompletion,   FilterByte::HubRequest,         FilterByte::HubCompletion,
        FilterByte::HidRequest,      FilterByte::HidCompletion,      FilterByte::PnpRequest,
        FilterByte::PnpCompletion,   FilterByte::PowerRequest,       FilterByte::PowerCompletion};
    auto setBytes = [&] {
        std::vector<size_t> set;
        for (size_t b : phaseBytes)
            if (pDialog->GetFilter().IsEnabled(b))
                set.push_back(b);
        return set;
    };
    ChooseRequestType(pDialog, 6); // PnP
    EXPECT_EQ(pDialog->GetCurrentPage(), 6);
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(pDialog->GetSafeHwnd(), 1273)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(pDialog->GetSafeHwnd(), IDC_FIND_FIRST_LIST)));
    const struct {
        UINT button;
        std::vector<size_t> bytes;
    } cases[] = {
        {IDC_FIND_STARTED, {FilterByte::PnpRequest}},
        {IDC_FIND_COMPLETED, {FilterByte::PnpCompletion}},
        {IDC_FIND_BOTH_PHASES, {FilterByte::PnpRequest, FilterByte::PnpCompletion}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Click(pDialog, c.button);
        EXPECT_EQ(setBytes(), c.bytes);
    }
}

TEST_F(FindDialogTest, OutcomeRadiosSetExactlyTheTwoStatusBytes) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    const std::vector<BYTE> opened = Block(pDialog->GetFilter());
    const struct {
        UINT button;
        BYTE error, success;
    } cases[] = {{IDC_FIND_SUCCESS, 0, 1}, {IDC_FIND_ERROR, 1, 0}, {IDC_FIND_BOTH_OUTCOMES, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Click(pDialog, c.button);
        std::vector<BYTE> expected = opened;
        expected[FilterByte::AcceptError] = c.error;
        expected[FilterByte::AcceptSuccess] = c.success;
        EXPECT_EQ(Block(pDialog->GetFilter()), expected);
    }
}

TEST_F(FindDialogTest, WithNothingTickedNextAndPrevOnlyAskForARequestType) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    Frame()->SetMessageText("Ready");
    for (int press = 0; press < 2; ++press)
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, CFindDialog::kNothingTicked);
    // The ticks of another page do not count for the current one.
    pDialog->GetPage(1)->CheckAll();
    Click(pDialog, IDC_FIND_NEXT);
    Click(pDialog, IDC_FIND_PREV);
    const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const win32::ModalRequest& box : boxes) {
        EXPECT_EQ(box.text, CFindDialog::kNothingTicked);
        EXPECT_EQ(box.style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(box.owner, pDialog->GetSafeHwnd());
    }
    EXPECT_EQ(Pane(), "Ready");
    EXPECT_EQ(pDialog->GetSearch().GetStart(), -1);
}

TEST_F(FindDialogTest, MoreAndLessShrinkToTheFrameAndGrowBack) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    const HWND dlg = pDialog->GetSafeHwnd();
    ::SetWindowPos(dlg, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    win32::PumpUiMessages();
    CRect full, frame;
    ::GetWindowRect(dlg, &full);
    ::GetWindowRect(::GetDlgItem(dlg, IDC_FIND_FRAME), &frame);
    EXPECT_EQ(pDialog->GetFullRect().Size(), full.Size());
    EXPECT_TRUE(tdl::test::SavePicture(dlg, "find_dialog_expanded.png"));

    Click(pDialog, IDC_FIND_MORE);
    CRect reduced;
    ::GetWindowRect(dlg, &reduced);
    EXPECT_EQ(reduced, CRect(full.left, full.top, full.right, frame.bottom));
    EXPECT_EQ(Text(::GetDlgItem(dlg, IDC_FIND_MORE)), "&More >>");
    EXPECT_FALSE(pDialog->IsExpanded());
    EXPECT_TRUE(tdl::test::SavePicture(dlg, "find_dialog_reduced.png"));

    Click(pDialog, IDC_FIND_MORE);
    CRect again;
    ::GetWindowRect(dlg, &again);
    EXPECT_EQ(again, full);
    EXPECT_EQ(Text(::GetDlgItem(dlg, IDC_FIND_MORE)), "<< &Less");
}

TEST_F(FindDialogTest, HelpOpensTopic19AndCloseEmptiesThePane) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    Click(pDialog, IDC_FIND_HELP);
    const std::vector<win32::HtmlHelpCall> calls = win32::HtmlHelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hwndCaller, Frame()->GetSafeHwnd());
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
    EXPECT_EQ(calls[0].data, IDH_FIND);

    Frame()->SetMessageText("Search successful");
    const HWND dlg = pDialog->GetSafeHwnd();
    Click(pDialog, IDCANCEL);
    EXPECT_FALSE(::IsWindow(dlg));
    EXPECT_EQ(Live()->GetFindDialog(), nullptr);
    EXPECT_EQ(Pane(), "");
}

TEST_F(FindDialogTest, ANextPostedBeforeTheDocumentClosesFindsNothingFreed) {
    CFindDialog* pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    pDialog->GetPage(0)->CheckAll();
    const HWND dlg = pDialog->GetSafeHwnd();
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_FIND_NEXT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDC_FIND_NEXT)));
    Live()->OnCloseDocument();
    EXPECT_FALSE(::IsWindow(dlg));
    win32::PumpUiMessages(); // the Next reaches no window
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
}

// The searches over a saved log of twelve rows, its page four rows high, with matches at rows 2, 5 and 9 (URB
// function 0 ticked; the other rows carry function 1).
enum class Do { Next, Prev, Pick, Wrap, Both, Scroll };
struct Step {
    Do action;
    int row;                       // Pick: the row clicked; Scroll: the first row shown
    std::vector<std::string> pane; // the texts the message pane was given, in order
    const char* box;               // the text of the box the step ends with, or none
    int selected;                  // the row selected afterwards (-1 none)
};
struct SearchCase {
    const char* name;
    int code; // the URB function ticked
    std::vector<Step> steps;
};

constexpr char kFound[] = "Search successful";
constexpr char kFailed[] = "Search failed.";
constexpr char kPassedEnd[] = "Search has passed end of buffer";
constexpr char kPassedBeginning[] = "Search has passed beginning of buffer";
constexpr char kAtEnd[] = "Search has finished at end of log buffer.";
constexpr char kAtBeginning[] = "Search has finished at beginning of log buffer.";
constexpr char kWrappedForward[] = "Search has wrapped forward to starting point.";
constexpr char kWrappedBack[] = "Search has wrapped back to starting point.";

using Texts = std::vector<std::string>;
const Texts kNone;

TEST_F(FindDialogTest, SearchesStepThroughTheListsRows) {
    const std::vector<ULONG> functions = {1, 1, 0, 1, 1, 0, 1, 1, 1, 0, 1, 1};
    const SearchCase cases[] = {
        {"forward from the top, no wrap: the last match stays selected",
         0,
         {{Do::Next, 0, {"", kFound}, nullptr, 2},
          {Do::Next, 0, {"", kFound}, nullptr, 5},
          {Do::Next, 0, {"", kFound}, nullptr, 9},
          {Do::Next, 0, {"", kAtEnd}, kAtEnd, 9}}},
        {"forward from the first row shown",
         0,
         {{Do::Scroll, 3, kNone, nullptr, -1}, {Do::Next, 0, {"", kFound}, nullptr, 5}}},
        {"forward with wrap from a row picked by hand, which a new pick restarts",
         0,
         {{Do::Wrap, 0, kNone, nullptr, -1},
          {Do::Pick, 6, kNone, nullptr, 6},
          {Do::Next, 0, {"", kFound}, nullptr, 9},
          {Do::Next, 0, {"", kPassedEnd, kFound}, nullptr, 2},
          {Do::Next, 0, {"", kFound}, nullptr, 5},
          {Do::Next, 0, {"", kWrappedForward}, kWrappedForward, 5},
          {Do::Pick, 3, kNone, nullptr, 3},
          {Do::Next, 0, {"", kFound}, nullptr, 5}}},
        {"a phase or a wrap change starts anew",
         0,
         {{Do::Wrap, 0, kNone, nullptr, -1},
          {Do::Pick, 6, kNone, nullptr, 6},
          {Do::Next, 0, {"", kFound}, nullptr, 9},
          {Do::Next, 0, {"", kPassedEnd, kFound}, nullptr, 2},
          {Do::Next, 0, {"", kFound}, nullptr, 5},
          {Do::Both, 0, kNone, nullptr, 5},
          {Do::Next, 0, {"", kFound}, nullptr, 9},
          {Do::Next, 0, {"", kPassedEnd, kFound}, nullptr, 2},
          {Do::Next, 0, {"", kFound}, nullptr, 5},
          {Do::Wrap, 0, kNone, nullptr, 5},
          {Do::Wrap, 0, kNone, nullptr, 5},
          {Do::Next, 0, {"", kFound}, nullptr, 9}}},
        {"backward from the top's page, no wrap",
         0,
         {{Do::Prev, 0, {"", kFound}, nullptr, 2}, {Do::Prev, 0, {"", kAtBeginning}, kAtBeginning, 2}}},
        {"backward with wrap from a row picked by hand",
         0,
         {{Do::Wrap, 0, kNone, nullptr, -1},
          {Do::Pick, 6, kNone, nullptr, 6},
          {Do::Prev, 0, {"", kFound}, nullptr, 5},
          {Do::Prev, 0, {"", kFound}, nullptr, 2},
          {Do::Prev, 0, {"", kPassedBeginning, kFound}, nullptr, 9},
          {Do::Prev, 0, {"", kWrappedBack}, kWrappedBack, 9}}},
        {"with wrap, from the first row forward or the last backward, the end is the list's",
         0,
         {{Do::Wrap, 0, kNone, nullptr, -1},
          {Do::Pick, 0, kNone, nullptr, 0},
          {Do::Next, 0, {"", kFound}, nullptr, 2},
          {Do::Next, 0, {"", kFound}, nullptr, 5},
          {Do::Next, 0, {"", kFound}, nullptr, 9},
          {Do::Next, 0, {"", kPassedEnd, kAtEnd}, kAtEnd, 9},
          {Do::Pick, 11, kNone, nullptr, 11},
          {Do::Prev, 0, {"", kFound}, nullptr, 9},
          {Do::Prev, 0, {"", kFound}, nullptr, 5},
          {Do::Prev, 0, {"", kFound}, nullptr, 2},
          {Do::Prev, 0, {"", kPassedBeginning, kAtBeginning}, kAtBeginning, 2}}},
        {"nothing matches",
         3,
         {{Do::Next, 0, {"", kFailed}, kFailed, -1},
          {Do::Prev, 0, {"", kFailed}, kFailed, -1},
          {Do::Wrap, 0, kNone, nullptr, -1},
          {Do::Next, 0, {"", kPassedEnd, kFailed}, kFailed, -1},
          {Do::Prev, 0, {"", kPassedBeginning, kFailed}, kFailed, -1}}},
    };
    const std::string path = WriteLog(functions, "find.tdloft");
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        CUSBLog* pLog = OpenLog(path, 4);
        ASSERT_NE(pLog, nullptr);
        CFindDialog* pDialog = OpenFind(pLog);
        ASSERT_NE(pDialog, nullptr);
        pDialog->GetPage(0)->GetList()->SetCheck(c.code, BST_CHECKED);
        CListCtrl& list = ListOf(pLog);
        PaneTexts pane(Frame()->GetSafeHwnd());
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i);
            if (step.box != nullptr)
                win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, step.box);
            switch (step.action) {
            case Do::Next: Click(pDialog, IDC_FIND_NEXT); break;
            case Do::Prev: Click(pDialog, IDC_FIND_PREV); break;
            case Do::Pick: PickRow(pLog, step.row); break;
            case Do::Wrap: Click(pDialog, IDC_FIND_WRAP); break;
            case Do::Both: Click(pDialog, IDC_FIND_BOTH_PHASES); break;
            case Do::Scroll: {
                CRect row;
                list.GetItemRect(0, &row, LVIR_BOUNDS);
                list.Scroll(CSize(0, step.row * row.Height()));
                win32::PumpUiMessages();
                ASSERT_EQ(list.GetTopIndex(), step.row);
                break;
            }
            }
            EXPECT_EQ(pane.Take(), step.pane);
            const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
            EXPECT_EQ(boxes.size(), step.box != nullptr ? 1u : 0u);
            for (const win32::ModalRequest& box : boxes) {
                EXPECT_EQ(box.text, step.box);
                EXPECT_EQ(box.style & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
                EXPECT_EQ(box.owner, pDialog->GetSafeHwnd());
            }
            EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), step.selected);
            if (step.selected >= 0) {
                EXPECT_EQ(list.GetNextItem(step.selected, LVNI_SELECTED), -1); // one row selected
                EXPECT_TRUE(tdl::test::RowShown(list, step.selected));
            }
        }
        if (&c == &cases[0]) // the last match selected and shown, the message pane telling the end
            EXPECT_TRUE(tdl::test::SavePicture(Frame()->GetSafeHwnd(), "find_last_match.png"));
        pLog->OnCloseDocument();
        win32::PumpUiMessages();
    }
}

TEST_F(FindDialogTest, AnEmptyListOrOneFilledInTheBackgroundIsNotRead) {
    // A saved log with no records.
    CUSBLog* pLog = OpenLog("", 0);
    ASSERT_NE(pLog, nullptr);
    CFindDialog* pDialog = OpenFind(pLog);
    ASSERT_NE(pDialog, nullptr);
    pDialog->GetPage(0)->CheckAll();
    PaneTexts pane(Frame()->GetSafeHwnd());
    Click(pDialog, IDC_FIND_NEXT);
    Click(pDialog, IDC_FIND_PREV);
    EXPECT_EQ(pane.Take(), (Texts{"", ""}));
    pLog->OnCloseDocument();
    win32::PumpUiMessages();

    // Background logging: the capture thread fills the store while the list stays empty; a search tests
    // nothing (a test of the store's records would end in "Search failed.").
    App().m_Settings.BackgroundLogging = true;
    ASSERT_TRUE(Records().CreateBuffer(1 << 16, 0));
    for (ULONG sequence = 1; sequence <= 3; ++sequence) {
        const std::vector<uint8_t> record = RecordBuilder(LogTag::urbC).Function(1).Sequence(sequence).Build();
        BYTE* pointer = nullptr;
        DWORD left = 0;
        ASSERT_TRUE(Records().GetWriteSpace(pointer, left));
        std::memcpy(pointer, record.data(), record.size());
        Records().AdvanceWrite(static_cast<DWORD>(record.size()));
        Records().Add(reinterpret_cast<_LOGHDR*>(pointer));
    }
    Live()->SetLogging(TRUE);
    pDialog = OpenFind();
    ASSERT_NE(pDialog, nullptr);
    pDialog->GetPage(0)->CheckAll();
    Click(pDialog, IDC_FIND_NEXT);
    Click(pDialog, IDC_FIND_PREV);
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(pane.Take(), (Texts{"", ""}));
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    Live()->SetLogging(FALSE);
}

TEST_F(FindDialogTest, ADocumentClosedWhileTheEndsBoxIsUpLeavesNothingBehind) {
    const std::string path = WriteLog({1, 1, 1}, "find_closed.tdloft");
    CUSBLog* pLog = OpenLog(path, 0);
    ASSERT_NE(pLog, nullptr);
    CFindDialog* pDialog = OpenFind(pLog);
    ASSERT_NE(pDialog, nullptr);
    pDialog->GetPage(0)->GetList()->SetCheck(0, BST_CHECKED);
    const HWND dlg = pDialog->GetSafeHwnd();
    // The user closes the saved log while "Search failed." waits for an answer: the dialog goes with it.
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND) -> INT_PTR {
            pLog->OnCloseDocument();
            return IDOK;
        },
        kFailed);
    Click(pDialog, IDC_FIND_NEXT);
    EXPECT_FALSE(::IsWindow(dlg));
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{kFailed});
}

} // namespace
