// The program's document template: one document per template, renewed or reloaded in its window; titles by
// the document's kind; what a refusal or a failure leaves. And the main frame's active capture document.
#include "app/ui/frame/ZoDocTemplate.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinResourceTable.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/ChildFrame.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/UiFixture.h"

namespace {

// A template whose document string names no document.
constexpr UINT kNamelessId = 140;

// A document that cannot be started new.
class CRefusingDoc : public CDocument {
    DECLARE_DYNCREATE(CRefusingDoc)
public:
    BOOL OnNewDocument() override { return FALSE; }
};
IMPLEMENT_DYNCREATE(CRefusingDoc, CDocument)

class ZoDocTemplateTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        // A new live document reads the driver's lists.
        nt::ResetKernelState();
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
        RegisterAppResources();
        AfxRegisterString(kNamelessId, "\n\nTrace\n\n\n\n");
        m_pLive = MakeTemplate(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog));
        m_pFrame = new CMainFrame;
        ASSERT_TRUE(m_pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        m_app.m_pMainWnd = m_pFrame;
    }
    void TearDown() override {
        if (m_app.m_pMainWnd != nullptr) {
            m_app.m_pMainWnd->DestroyWindow();
            m_app.m_pMainWnd = nullptr;
        }
        m_fake.reset();
        nt::pnp::Shutdown();
        UiTest::TearDown();
    }
    CZoDocTemplate* MakeTemplate(UINT id, CRuntimeClass* pDocClass) {
        auto* pTemplate = new CZoDocTemplate(id, pDocClass, RUNTIME_CLASS(CChildFrame), RUNTIME_CLASS(CLogListView));
        m_app.AddDocTemplate(pTemplate);
        return pTemplate;
    }
    static std::vector<CDocument*> Documents(CDocTemplate* pTemplate) {
        std::vector<CDocument*> docs;
        for (POSITION pos = pTemplate->GetFirstDocPosition(); pos != nullptr;) {
            docs.push_back(pTemplate->GetNextDoc(pos));
        }
        return docs;
    }
    CWinApp m_app{"Tindaloft"};
    CZoDocTemplate* m_pLive = nullptr;
    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
    CMainFrame* m_pFrame = nullptr;
};

TEST_F(ZoDocTemplateTest, TitlesAreTheDocumentKindWithoutANumberOrUntitled) {
    CZoDocTemplate* pSaved = MakeTemplate(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog));
    CZoDocTemplate* pNameless = MakeTemplate(kNamelessId, RUNTIME_CLASS(CUSBLog));
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(m_pLive->OpenDocumentFile(nullptr)->GetTitle(), CString("Capture Mode"));
        EXPECT_EQ(pSaved->OpenDocumentFile(nullptr)->GetTitle(), CString("usblog"));
        EXPECT_EQ(pNameless->OpenDocumentFile(nullptr)->GetTitle(), CString("Untitled"));
    }
}

TEST_F(ZoDocTemplateTest, NewRenewsTheOneDocumentInItsWindowOnceTheUserLetsItGo) {
    CDocument* pDoc = m_pLive->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    auto* pLog = dynamic_cast<CUSBLog*>(pDoc);
    ASSERT_NE(pLog, nullptr);
    CView* pView = pLog->GetFirstView();
    ASSERT_NE(pView, nullptr);
    CFrameWnd* pChild = pView->GetParentFrame();
    EXPECT_EQ(m_pFrame->GetActiveLogDocument(), pLog);

    // Unchanged: renewed at once.
    EXPECT_EQ(m_pLive->OpenDocumentFile(nullptr), pDoc);
    EXPECT_EQ(pLog->GetFirstView(), pView);

    // Changed: the user keeps it (Cancel) and nothing opens; then lets it go (No) and it is renewed.
    pDoc->SetModifiedFlag(TRUE);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDCANCEL, "Save changes to Capture Mode?");
    EXPECT_EQ(m_pLive->OpenDocumentFile(nullptr), nullptr);
    EXPECT_TRUE(pDoc->IsModified());
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "Save changes to Capture Mode?");
    EXPECT_EQ(m_pLive->OpenDocumentFile(nullptr), pDoc);
    EXPECT_FALSE(pDoc->IsModified());

    EXPECT_EQ(Documents(m_pLive), std::vector<CDocument*>{pDoc});
    EXPECT_EQ(pLog->GetFirstView()->GetParentFrame(), pChild);
    EXPECT_EQ(m_pFrame->MDIGetActive(), pChild);
}

TEST_F(ZoDocTemplateTest, AFailedLoadKeepsTheOpenDocumentWithItsChangeMark) {
    CDocument* pDoc = m_pLive->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    pDoc->SetModifiedFlag(TRUE);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "Save changes");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK); // the load failure's own message
    EXPECT_EQ(m_pLive->OpenDocumentFile("\\no\\such\\folder\\missing.tdloft"), nullptr);
    EXPECT_EQ(Documents(m_pLive), std::vector<CDocument*>{pDoc});
    EXPECT_TRUE(pDoc->IsModified());
    EXPECT_NE(m_pFrame->MDIGetActive(), nullptr);
}

TEST_F(ZoDocTemplateTest, ANewDocumentThatCannotStartTakesItsNewFrameWithIt) {
    CZoDocTemplate* pRefusing = MakeTemplate(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CRefusingDoc));
    EXPECT_EQ(pRefusing->OpenDocumentFile(nullptr), nullptr);
    EXPECT_TRUE(Documents(pRefusing).empty());
    EXPECT_EQ(m_pFrame->MDIGetActive(), nullptr);
    EXPECT_EQ(m_pFrame->GetActiveLogDocument(), nullptr);
}

} // namespace
