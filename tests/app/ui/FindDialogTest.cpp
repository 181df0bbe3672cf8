// The Find dialog driven as a user drives it over a live capture in the main window: what it shows when it
// opens, what its radio buttons put into the definition it matches with, More and Less, Close and Help, and a
// search asked for with nothing ticked; the dialog's life beside its document's.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NtClock.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinHtmlHelpControl.h"
#include "WinMachineProfile.h"
#include "WinUiControl.h"
#include "app/core/Resource.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "app/ui/FindDialog.h"
#include "app/ui/FindOptionsIds.h"
#include "app/ui/MainFrame.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "htmlhelp.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/Pictures.h"

namespace {

std::string Text(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Start(6, 1); }
    void TearDown() override {
        Stop();
        win32::ResetMachineProfile();
    }

    // The program started on a system of that release with a live capture open; unexpected boxes fail.
    void Start(DWORD major, DWORD minor) {
        Stop();
        nt::ResetKernelState();
        nt::clock::UseVirtualClock();
        win32::MachineProfile profile;
        profile.majorVersion = major;
        profile.minorVersion = minor;
        profile.buildNumber = major == 5 ? 2195 : 7601;
        win32::SetMachineProfile(profile);
        win32::ClearModalRequests();
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
        DRIVER_INFO info{};
        info.MajorVersion = TINDALOFT_DRIVER_MAJOR;
        info.MinorVersion = TINDALOFT_DRIVER_MINOR;
        info.Revision = TINDALOFT_DRIVER_REVISION;
        info.Build = TINDALOFT_DRIVER_BUILD;
        m_fake->ReplyStruct(IOCTL_TINDALOFT_INFO, info);
        m_starter = std::make_unique<apptest::AppStarter>();
        m_starter->Make("/Embedding");
        ASSERT_TRUE(m_starter->Start());
        Frame()->SendMessage(WM_COMMAND, ID_FILE_NEW, 0);
        apptest::AppStarter::TakeBoxes();
        ASSERT_NE(Live(), nullptr);
        win32::RegisterHtmlHelpModule();
        win32::SetModalStrict(true);
        win32::SetModalFailureHandler([](const win32::ModalRequest& request) {
            ADD_FAILURE() << "unexpected " << win32::ModalKindName(request.kind) << " \"" << request.text << "\"";
        });
    }
    void Stop() {
        if (m_starter == nullptr)
            return;
        EXPECT_EQ(win32::PendingModalScripts(), 0u) << "modal answers queued but never asked for";
        win32::SetModalFailureHandler({});
        win32::SetModalStrict(false);
        if (m_starter->MainFrame() != nullptr)
            m_starter->Exit();
        m_starter.reset();
        m_fake.reset();
        nt::clock::Reset();
        nt::pnp::Shutdown();
        win32::ClearModalRequests();
    }

    CMainFrame* Frame() const { return m_starter->MainFrame(); }
    CUSBLog* Live() const { return Frame()->GetLiveDocument(); }
    // Find in the live capture: its dialog.
    CFindDialog* OpenFind() {
        Frame()->SendMessage(WM_COMMAND, ID_EDIT_FIND_REQUEST, 0);
        win32::PumpUiMessages();
        CFindDialog* pDialog = Live()->GetFindDialog();
        EXPECT_NE(pDialog, nullptr);
        return pDialog;
    }
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

    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
    std::unique_ptr<apptest::AppStarter> m_starter;
};

TEST_F(FindDialogTest, OpensOnTheFirstPageWithBothPhasesAndBothOutcomes) {
    const std::vector<std::string> all = {
        "URB Request",          "Hub Interface Functions", "USB Internal Request", "Hub User-mode Ioctls",
        "HCD User-mode Ioctls", "HID User-mode Ioctls",    "PnP Request",          "Power Request"};
    for (const DWORD major : {6u, 5u}) {
        SCOPED_TRACE(major);
        Start(major, major == 5 ? 0 : 1);
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

} // namespace
