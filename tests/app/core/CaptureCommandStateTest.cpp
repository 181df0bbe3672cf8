// The capture document's command states in menus and bars: which commands a live capture and a saved log
// enable, logging or not, with and without records; the filter and trigger checks; and the device reports'
// preconditions on the device tree pane.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "WinHtmlHelpControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"
#include "common/RecordTags.h"
#include "htmlhelp.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/UiFixture.h"
#include "windows.h"

namespace {

// What the update handlers set on one item.
class RecordingCmdUI : public CCmdUI {
public:
    void Enable(BOOL bOn) override {
        m_bEnableChanged = TRUE;
        enabled = bOn != FALSE;
    }
    void SetCheck(int nCheck) override { check = nCheck; }

    bool enabled = false;
    int check = -1; // -1: no handler set it
};

class CaptureCommandStateTest : public testing::Test {
protected:
    void SetUp() override {
        m_window = std::make_unique<tdl::test::TestWindow>(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 100, 100});
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Attach(m_window->hwnd()));
        m_app.m_pMainWnd = m_frame.get();
    }
    void TearDown() override {
        CPanePointers::SetDeviceTreeState(nullptr, FALSE);
        if (m_doc != nullptr)
            m_template->RemoveDocument(m_doc.get());
        m_doc.reset();
        m_template.reset();
        m_app.m_pMainWnd = nullptr;
        m_frame->Detach();
        m_window.reset();
        m_frame.reset();
    }

    CUSBLog& Document(UINT nTemplate) {
        m_template = std::make_unique<CMultiDocTemplate>(nTemplate, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_doc = std::make_unique<CUSBLog>();
        m_template->AddDocument(m_doc.get());
        return *m_doc;
    }

    // One record indexed in the document's store, as a capture read leaves it.
    static void AddRecord(CUSBLog& doc) {
        LogRecords::CLogRecords& records = *doc.GetLogRecords();
        ASSERT_TRUE(records.CreateBuffer(1 << 16, 0));
        std::vector<uint8_t> block;
        tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(1).Build());
        BYTE* pointer = nullptr;
        DWORD left = 0;
        ASSERT_TRUE(records.GetWriteSpace(pointer, left));
        std::memcpy(pointer, block.data(), block.size());
        records.AdvanceWrite(static_cast<DWORD>(block.size()));
        BOOL triggered = FALSE;
        doc.ProcessCaptureFragment(pointer, static_cast<DWORD>(block.size()), triggered);
        ASSERT_EQ(records.GetCount(), 1);
    }

    static RecordingCmdUI Update(CUSBLog& doc, UINT nID) {
        RecordingCmdUI ui;
        ui.m_nID = nID;
        ui.m_nIndexMax = 1;
        EXPECT_TRUE(ui.DoUpdate(&doc, TRUE)) << "no update handler for " << nID;
        return ui;
    }

    CWinApp m_app{"Tindaloft"};
    std::unique_ptr<tdl::test::TestWindow> m_window;
    std::unique_ptr<CMainFrame> m_frame; // one per case: its docking panes live in the case's window
    std::unique_ptr<CMultiDocTemplate> m_template;
    std::unique_ptr<CUSBLog> m_doc;
};

struct StateCase {
    const char* name;
    UINT nTemplate;
    bool logging;
    bool records;
    // Enabled: start, stop, clear buffer, clear devices, save, save as, filter, trigger, options.
    std::vector<bool> enabled;
};

TEST_F(CaptureCommandStateTest, EnableStatesOverDocumentKindLoggingAndRecords) {
    const UINT ids[] = {
        ID_USB_STARTEVENTCAPTURE, ID_USB_STOPEVENTCAPTURE, ID_USB_CLEARCAPTURE, ID_USB_CLEARDEVICES,     ID_FILE_SAVE,
        ID_FILE_SAVE_AS,          ID_EDIT_FILTER,          ID_EDIT_TRIGGER,     ID_OPTIONS_CONFIGURATION};
    const StateCase cases[] = {
        {"live idle empty", IDR_TDLOFT_REALTIME, false, false, {1, 0, 0, 1, 1, 1, 1, 1, 1}},
        {"live idle records", IDR_TDLOFT_REALTIME, false, true, {1, 0, 1, 1, 1, 1, 1, 1, 1}},
        {"live logging empty", IDR_TDLOFT_REALTIME, true, false, {0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {"live logging records", IDR_TDLOFT_REALTIME, true, true, {0, 1, 1, 0, 0, 0, 0, 0, 1}},
        {"log file empty", IDR_TDLOFT_TYPE, false, false, {0, 0, 0, 1, 0, 0, 1, 0, 1}},
        {"log file records", IDR_TDLOFT_TYPE, false, true, {0, 0, 0, 1, 0, 0, 1, 0, 1}},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CUSBLog& doc = Document(c.nTemplate);
        if (c.records)
            AddRecord(doc);
        doc.SetLogging(c.logging);
        for (size_t i = 0; i < std::size(ids); ++i)
            EXPECT_EQ(Update(doc, ids[i]).enabled, c.enabled[i]) << "command " << ids[i];
    }
}

TEST_F(CaptureCommandStateTest, FilterAndTriggerChecks) {
    for (UINT nTemplate : {IDR_TDLOFT_REALTIME, IDR_TDLOFT_TYPE}) {
        SCOPED_TRACE(nTemplate);
        TearDown();
        SetUp();
        CUSBLog& doc = Document(nTemplate);
        EXPECT_EQ(Update(doc, ID_EDIT_FILTER).check, 0);
        EXPECT_EQ(Update(doc, ID_EDIT_TRIGGER).check, 0);
        doc.SetBufferFilterOn(TRUE);
        EXPECT_EQ(Update(doc, ID_EDIT_FILTER).check, 1);
        doc.SetBufferFilterOn(FALSE);
        doc.SetCaptureFilterOn(TRUE);
        EXPECT_EQ(Update(doc, ID_EDIT_FILTER).check, 1);
        // A saved log's trigger shows that it was on, and still cannot be edited.
        doc.SetTriggerOn(TRUE);
        const RecordingCmdUI trigger = Update(doc, ID_EDIT_TRIGGER);
        EXPECT_EQ(trigger.check, 1);
        EXPECT_EQ(trigger.enabled, nTemplate == IDR_TDLOFT_REALTIME);
    }
}

struct ReportCase {
    const char* name;
    UINT nTemplate;
    bool logging;
    bool paneOpen;
    UINT pageId; // 0: no active page
    bool anyChecked;
    bool enabled;
};

TEST_F(CaptureCommandStateTest, DeviceReportsNeedTheReportPageWithACheckedDevice) {
    const ReportCase cases[] = {
        {"all met", IDR_TDLOFT_REALTIME, false, true, IDC_DEVICE_TREE_REPORT_PAGE, true, true},
        {"logging", IDR_TDLOFT_REALTIME, true, true, IDC_DEVICE_TREE_REPORT_PAGE, true, false},
        {"log file", IDR_TDLOFT_TYPE, false, true, IDC_DEVICE_TREE_REPORT_PAGE, true, false},
        {"pane closed", IDR_TDLOFT_REALTIME, false, false, IDC_DEVICE_TREE_REPORT_PAGE, true, false},
        {"other page", IDR_TDLOFT_REALTIME, false, true, 111, true, false},
        {"no page", IDR_TDLOFT_REALTIME, false, true, 0, true, false},
        {"nothing checked", IDR_TDLOFT_REALTIME, false, true, IDC_DEVICE_TREE_REPORT_PAGE, false, false},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CUSBLog& doc = Document(c.nTemplate);
        doc.SetLogging(c.logging);
        // The device tree's docking pane, open or closed.
        CGkDockingPaneManager& panes = m_frame->GetPaneManager();
        ASSERT_TRUE(panes.InstallDockingPanes(m_frame.get()));
        CGkDockingPane* pTree = panes.CreatePane(CMainFrame::DeviceTreePaneId, CRect(0, 0, 30, 40), gkPaneDockLeft);
        ASSERT_NE(pTree, nullptr);
        if (!c.paneOpen)
            pTree->Close();
        HWND hPage = nullptr;
        CWnd page;
        if (c.pageId != 0) {
            hPage = ::CreateWindowExA(0, "TdlTestWindow", "", WS_CHILD, 0, 0, 10, 10, m_window->hwnd(),
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.pageId)), nullptr, nullptr);
            ASSERT_NE(hPage, nullptr);
            page.Attach(hPage);
        }
        CPanePointers::SetDeviceTreeState(hPage != nullptr ? &page : nullptr, c.anyChecked);
        EXPECT_EQ(Update(doc, ID_EXPORT_DEVICEREPORT_XML).enabled, c.enabled);
        EXPECT_EQ(Update(doc, ID_EXPORT_DEVICEREPORT_HTML).enabled, c.enabled);
        CPanePointers::SetDeviceTreeState(nullptr, FALSE);
        if (hPage != nullptr) {
            page.Detach();
            ::DestroyWindow(hPage);
        }
    }
}

TEST_F(CaptureCommandStateTest, DeviceReportCommandsAskWhereToWriteTheirReport) {
    CUSBLog& doc = Document(IDR_TDLOFT_REALTIME);
    for (UINT nID : {ID_EXPORT_DEVICEREPORT_XML, ID_EXPORT_DEVICEREPORT_HTML}) {
        win32::ClearModalRequests();
        win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
        EXPECT_TRUE(doc.OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr)) << nID;
        // The export's save dialog came up; cancelled, nothing else follows.
        const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
        ASSERT_EQ(requests.size(), 1u) << nID;
        EXPECT_EQ(requests[0].kind, win32::ModalKind::File);
    }
    win32::ClearModalRequests();
}

TEST_F(CaptureCommandStateTest, HelpTopicsOpenTheirContextsThroughTheMainWindow) {
    win32::RegisterHtmlHelpModule();
    CUSBLog& doc = Document(IDR_TDLOFT_REALTIME);
    for (UINT nID : {ID_HELP_TOPIC_214, ID_HELP_TOPIC_215, ID_HELP_TOPIC_217})
        EXPECT_TRUE(doc.OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr)) << nID;
    // The application's own help command between them is not the document's.
    EXPECT_FALSE(doc.OnCmdMsg(ID_HELP_CONTENTS, CN_COMMAND, nullptr, nullptr));
    std::vector<DWORD_PTR> contexts;
    for (const win32::HtmlHelpCall& call : win32::HtmlHelpCalls()) {
        EXPECT_EQ(call.command, static_cast<UINT>(HH_HELP_CONTEXT));
        contexts.push_back(call.data);
    }
    EXPECT_EQ(contexts, (std::vector<DWORD_PTR>{51, 53, 52}));
}

} // namespace
