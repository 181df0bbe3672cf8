// Every help command of the running program says something when no help can open, and says it once: with the
// machine's own HTML Help and no help file each command shows the viewer's one box naming the program's help
// file; with a help viewer that opens a window none shows a box, and the viewer is asked for the command and
// the context of the command's topic; with help opened through the shell, Contents tells of the missing file
// in the program's own words.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/AppOnMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "WinHtmlHelpControl.h"
#include "WinModulesControl.h"
#include "WinShellControl.h"
#include "app/core/app/HelpContext.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/find/FindOptionsIds.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordTags.h"
#include "htmlhelp.h"
#include "tests/support/ListDelivery.h"
#include "tests/support/RecordBuilder.h"

namespace {

constexpr DWORD_PTR kAnyData = ~DWORD_PTR{0}; // the search's query: a structure of the caller's

struct HelpCommand {
    const char* name;
    std::function<void()> run;
    UINT command;   // what HTML Help is asked
    DWORD_PTR data; // and with what context (kAnyData: a pointer)
};

class HelpAnswersTest : public tdl::test::AppOnMachineTest {
protected:
    void SetUp() override {
        AppOnMachineTest::SetUp();
        win32::ResetShell();
    }
    void TearDown() override {
        win32::UnregisterModule("hhctrl");
        win32::ResetShell();
        AppOnMachineTest::TearDown();
    }
    // The program with a live capture of the mouse, and a row of each kind of record that has a topic of its
    // own, as the capture thread hands them to the list.
    void StartWithRowsOfEachKind() {
        ASSERT_NE(Start(true), nullptr);
        TakeStartBoxes();
        ASSERT_TRUE(CheckDevice("mouse"));
        Command(ID_USB_STARTEVENTCAPTURE);
        Play({{sim::WorkloadKind::MouseMoving, {.count = 3}}});
        Command(ID_USB_STOPEVENTCAPTURE);
        ASSERT_FALSE(Live()->IsLogging());
        const ULONG next = Live()->GetExpectedSequenceNumber();
        std::vector<std::vector<uint8_t>> block;
        for (size_t i = 0; i < std::size(kKinds); ++i)
            block.push_back(tdl::test::RecordBuilder(kKinds[i].tag)
                                .Sequence(next + static_cast<ULONG>(i))
                                .Function(kKinds[i].function)
                                .Build());
        tdl::test::DeliverToList(*Live()->GetLogRecords(), *RecordList(), block);
        win32::PumpUiMessages();
        m_nFirstKindRow = RecordList()->GetListCtrl().GetItemCount() - static_cast<int>(std::size(kKinds));
        ASSERT_GT(m_nFirstKindRow, 0);
    }
    // A row's context menu, its help entry chosen.
    void HelpOnRow(int nRow, UINT nID) {
        CListCtrl& list = RecordList()->GetListCtrl();
        list.EnsureVisible(nRow, FALSE);
        CRect row;
        ASSERT_TRUE(list.GetItemRect(nRow, &row, LVIR_BOUNDS));
        win32::QueueModalAnswer(win32::ModalKind::PopupMenu, nID, "Help on");
        ClickIn(list.GetSafeHwnd(), row, win32::MouseButton::Right);
        ServeAsTheProgram();
    }
    // A dialog opened by a command, its Help button pressed, then cancelled.
    void HelpInDialog(UINT nCommand, UINT nTemplate, int nHelpButton) {
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [nHelpButton](const win32::ModalRequest&, HWND dialog) {
                ::SendMessageA(::GetDlgItem(dialog, nHelpButton), BM_CLICK, 0, 0);
                win32::PumpUiMessages();
                return IDCANCEL;
            },
            std::to_string(nTemplate));
        Command(nCommand);
    }
    void HelpInFind() {
        Command(ID_EDIT_FIND_REQUEST);
        HWND hFind = ::FindWindowA(nullptr, "Find");
        ASSERT_NE(hFind, nullptr);
        ::SendMessageA(::GetDlgItem(hFind, IDC_FIND_HELP), BM_CLICK, 0, 0);
        win32::PumpUiMessages();
        ::SendMessageA(hFind, WM_CLOSE, 0, 0);
        win32::PumpUiMessages();
    }

    std::vector<HelpCommand> Commands() {
        std::vector<HelpCommand> commands = {
            {"Help > Contents", [this] { Command(ID_HELP_CONTENTS); }, HH_DISPLAY_TOC, 0},
            {"Help > Index", [this] { Command(ID_HELP_INDEX); }, HH_DISPLAY_INDEX, 0},
            {"Help > Search", [this] { Command(ID_HELP_SEARCH); }, HH_DISPLAY_SEARCH, kAnyData},
            {"Help on Devices", [this] { Command(ID_HELP_TOPIC_214); }, HH_HELP_CONTEXT, 51},
            {"Help on Stacks", [this] { Command(ID_HELP_TOPIC_215); }, HH_HELP_CONTEXT, 53},
            {"Help on Drivers", [this] { Command(ID_HELP_TOPIC_217); }, HH_HELP_CONTEXT, 52},
            {"Help on Log View", [this] { Command(ID_HELP_LOGVIEW); }, HH_HELP_CONTEXT, IDH_LOG_VIEW},
            {"Help on Log View Customization", [this] { Command(ID_HELP_LOGVIEW_CUSTOMIZATION); }, HH_HELP_CONTEXT,
             IDH_LOG_VIEW_CUSTOMIZATION},
            {"Help on Stack Inspector", [this] { Command(ID_HELP_STACKINSPECTOR); }, HH_HELP_CONTEXT,
             IDH_STACK_INSPECTOR},
            {"Find's Help", [this] { HelpInFind(); }, HH_HELP_CONTEXT, IDH_FIND},
            {"Options' Help", [this] { HelpInDialog(ID_OPTIONS_CONFIGURATION, IDD_OPTIONS, IDC_OPTIONS_HELP); },
             HH_HELP_CONTEXT, IDH_OPTIONS},
            {"the filter dialog's Help",
             [this] { HelpInDialog(ID_EDIT_FILTER, IDD_FILTER_DEFINITION, IDC_FILTER_HELP); }, HH_HELP_CONTEXT,
             IDH_FILTER_DEFINITION},
        };
        for (size_t i = 0; i < std::size(kKinds); ++i) {
            const Kind& k = kKinds[i];
            const int nRow = m_nFirstKindRow + static_cast<int>(i);
            commands.push_back({k.name, [this, nRow, id = k.command] { HelpOnRow(nRow, id); }, HH_HELP_CONTEXT,
                                HelpContextForCode(k.group, k.code)});
        }
        return commands;
    }
    size_t BoxCount() const {
        size_t nBoxes = 0;
        for (const win32::ModalRequest& request : win32::ModalRequests())
            nBoxes += request.kind == win32::ModalKind::MessageBox ? 1 : 0;
        return nBoxes;
    }
    // The texts of the boxes after the first nFrom.
    std::vector<std::string> BoxesSince(size_t nFrom) const {
        std::vector<std::string> texts;
        size_t nAt = 0;
        for (const win32::ModalRequest& request : win32::ModalRequests())
            if (request.kind == win32::ModalKind::MessageBox && nAt++ >= nFrom)
                texts.push_back(request.text);
        return texts;
    }

    // The records with a topic of their kind's own, and the row menu's entry that opens it.
    struct Kind {
        const char* name;
        ULONG tag;
        ULONG function;
        UINT command;
        UINT group;
        ULONG code; // the code the topic is looked up by
    };
    static constexpr Kind kKinds[] = {
        {"Help on URB", LogTag::urbI, 0x2009, ID_HELP_ON_URB, HELP_GROUP_URB, 9},
        {"Help on USBINT request", LogTag::uinC, 0x220013, ID_HELP_ON_USBINT, HELP_GROUP_INTERNAL_IOCTL, 0x220013},
        {"Help on IHUB function", LogTag::buhI, 3, ID_HELP_ON_IHUB, HELP_GROUP_HUB_INTERFACE, 3},
        {"Help on MPORT function", LogTag::khpC, 10, ID_HELP_ON_MPORT, HELP_GROUP_HOOK, 10},
    };
    int m_nFirstKindRow = -1;
};

TEST_F(HelpAnswersTest, WithNoHelpFileEachHelpCommandShowsTheViewersOneBoxNamingTheProgramsHelpFile) {
    StartWithRowsOfEachKind();
    if (HasFatalFailure())
        return;
    win32::RegisterAnsweringHtmlHelpModule();
    const std::string box = "Cannot open the file: " + std::string(App().m_pszHelpFilePath) + ".";
    for (const HelpCommand& c : Commands()) {
        SCOPED_TRACE(c.name);
        const size_t nBefore = BoxCount();
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Cannot open the file");
        c.run();
        EXPECT_EQ(BoxesSince(nBefore), std::vector<std::string>{box});
        EXPECT_EQ(win32::PendingModalScripts(), 0u);
    }
}

TEST_F(HelpAnswersTest, WithAViewerThatOpensEachHelpCommandAsksForItsTopicAndShowsNoBox) {
    StartWithRowsOfEachKind();
    if (HasFatalFailure())
        return;
    win32::RegisterHtmlHelpModule();
    win32::SetHtmlHelpResult(Frame()->GetSafeHwnd()); // a window, as the viewer's would be
    const std::string file = App().m_pszHelpFilePath;
    for (const HelpCommand& c : Commands()) {
        SCOPED_TRACE(c.name);
        const size_t nBefore = BoxCount();
        const size_t nCalls = win32::HtmlHelpCalls().size();
        c.run();
        EXPECT_TRUE(BoxesSince(nBefore).empty());
        std::vector<win32::HtmlHelpCall> calls = win32::HtmlHelpCalls();
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(nCalls));
        std::erase_if(calls, [](const win32::HtmlHelpCall& call) { return call.command == HH_GET_LAST_ERROR; });
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].command, c.command);
        if (c.data == kAnyData)
            EXPECT_NE(calls[0].data, 0u);
        else
            EXPECT_EQ(calls[0].data, c.data);
        EXPECT_EQ(calls[0].file, file);
        EXPECT_EQ(calls[0].hwndCaller, Frame()->GetSafeHwnd());
    }
}

TEST_F(HelpAnswersTest, ThroughTheShellContentsTellsOfTheMissingFileOnce) {
    ASSERT_NE(Start(true), nullptr);
    TakeStartBoxes();
    win32::RegisterAnsweringHtmlHelpModule();
    App().m_Settings.IndependentHtmlHelp = true;
    const size_t nBefore = BoxCount();
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Could not find help file");
    Command(ID_HELP_CONTENTS);
    EXPECT_EQ(BoxesSince(nBefore), std::vector<std::string>{"Could not find help file (Tindaloft.chm)"});
    ASSERT_EQ(win32::ShellExecutions().size(), 1u);
    EXPECT_FALSE(win32::ShellExecutions()[0].result);
}

} // namespace
