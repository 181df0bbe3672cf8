// Find and closing: one modeless Find dialog per document (a second Find brings it forward, a failed creation
// says so), and a closing document hands the panes to the document that stays and empties the stack lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/find/FindDialog.h"
#include "tests/app/core/CaptureCommandFixture.h"
#include "tests/support/Pictures.h"

namespace {

constexpr UINT kClearStackLists = WM_APP + 2;

class CaptureFindCloseTest : public apptest::CaptureCommandFixture {
protected:
    void TearDown() override {
        win32::ClearUiFailures();
        apptest::CaptureCommandFixture::TearDown();
    }
};

TEST_F(CaptureFindCloseTest, FindKeepsOneModelessDialogUntilItCloses) {
    CUSBLog& doc = NewDocument();
    Command(ID_EDIT_FIND_REQUEST);
    CFindDialog* pDialog = doc.GetFindDialog();
    ASSERT_NE(pDialog, nullptr);
    HWND hDialog = pDialog->GetSafeHwnd();
    EXPECT_TRUE(::IsWindowVisible(hDialog));
    EXPECT_EQ(pDialog->GetDocument(), &doc);
    EXPECT_EQ(::GetWindow(hDialog, GW_OWNER), m_window->hwnd());
    EXPECT_TRUE(tdl::test::SavePicture(hDialog, "tdl-find-dialog.png"));
    // Modeless: the command returned with the dialog still up, and no modal request was made.
    EXPECT_TRUE(win32::ModalRequests().empty());

    Command(ID_EDIT_FIND_REQUEST);
    EXPECT_EQ(doc.GetFindDialog(), pDialog);
    EXPECT_EQ(::GetActiveWindow(), hDialog);

    // The user closes it: it goes, and the document forgets it; the next Find makes a new one.
    ::SendMessageA(::GetDlgItem(hDialog, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(hDialog));
    EXPECT_EQ(doc.GetFindDialog(), nullptr);
    Command(ID_EDIT_FIND_REQUEST);
    EXPECT_NE(doc.GetFindDialog(), nullptr);
}

TEST_F(CaptureFindCloseTest, AFindDialogThatCannotBeMadeIsReported) {
    CUSBLog& doc = NewDocument();
    // The dialog's own window is the first the command makes.
    win32::FailUiCalls(win32::UiFailure::CreateWindow, 1);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Error creating Dialog");
    Command(ID_EDIT_FIND_REQUEST);
    EXPECT_EQ(doc.GetFindDialog(), nullptr);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"Error creating Dialog"});
}

struct CloseCase {
    const char* name;
    bool live;      // a live capture is open
    bool logFile;   // a saved log is open
    bool closeLive; // the live capture closes (else the saved log)
    bool logging;   // the live capture is logging
    int next;       // the document the panes show next: 0 none, 1 the live capture, 2 the saved log
    bool writeable;
};

TEST_F(CaptureFindCloseTest, ClosingHandsThePanesToTheDocumentThatStays) {
    const CloseCase cases[] = {
        {"only the live capture", true, false, true, false, 0, false},
        {"only a saved log", false, true, false, false, 0, false},
        {"live capture, a saved log stays", true, true, true, false, 2, false},
        {"saved log, the live capture stays", true, true, false, false, 1, true},
        {"saved log, the live capture stays logging", true, true, false, true, 1, false},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        // The application's two templates, as start-up registers them; they delete nothing they hold.
        auto* pLiveTemplate = new CMultiDocTemplate(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        auto* pFileTemplate = new CMultiDocTemplate(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        App().AddDocTemplate(pLiveTemplate);
        App().AddDocTemplate(pFileTemplate);
        CUSBLog* pLive = nullptr;
        CUSBLog* pFile = nullptr;
        if (c.live) {
            pLive = new CUSBLog;
            pLiveTemplate->AddDocument(pLive);
        }
        if (c.logFile) {
            pFile = new CUSBLog;
            pFileTemplate->AddDocument(pFile);
        }
        CUSBLog* pClosing = c.closeLive ? pLive : pFile;
        CUSBLog* pStays = c.closeLive ? pFile : pLive;
        if (pLive != nullptr)
            pLive->SetLogging(c.logging);
        tdl::test::TestWindow stackList(WS_CHILD, m_window->hwnd(), RECT{0, 0, 10, 10});
        pClosing->OnCmdMsg(ID_EDIT_FIND_REQUEST, CN_COMMAND, nullptr, nullptr);
        HWND hFind = pClosing->GetFindDialog()->GetSafeHwnd();
        m_panes.Take();

        pClosing->OnCloseDocument(); // deletes it

        EXPECT_FALSE(::IsWindow(hFind));
        const std::vector<CUSBLog*> documents = m_panes.documents;
        const std::vector<std::string> names = m_panes.Take();
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.front(),
                  c.writeable ? "RefreshDeviceTreeTabViews writeable" : "RefreshDeviceTreeTabViews read-only");
        EXPECT_EQ(documents.front(), c.next == 0 ? nullptr : c.next == 1 ? pLive : pFile);
        // After the contents went: the data bar and the device properties.
        ASSERT_GE(names.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
                  (std::vector<std::string>{"DataBarClear", "DevicePropertiesUpdate"}));
        EXPECT_EQ(stackList.TakeIds({kClearStackLists}), std::vector<UINT>{kClearStackLists});
        if (pStays != nullptr) {
            pStays->SetLogging(FALSE);
            pStays->OnCloseDocument();
        }
    }
}

} // namespace
