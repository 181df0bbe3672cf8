// Documents in frames: command routing along view, document, template, frame and application; New and Open
// building document, frame and view before the initial update; closing; saving on close; titles; control bars
// placed and toggled and updated at idle; the message bar; the message loop.
#include <string>
#include <vector>

#include "AppFixture.h"
#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

std::vector<std::string> g_log;

constexpr UINT kViewOnly = 100, kDocOnly = 101, kTemplateOnly = 102, kFrameOnly = 103, kAppOnly = 104,
               kEveryLevel = 105, kDisabled = 106, kBarItemHandled = 110, kBarItemUnhandled = 111;
constexpr UINT kMainTitleId = 128, kDocTypeId = 131;

#define SPY(level, id, name)                                                                                           \
    void name() {                                                                                                      \
        g_log.push_back(level);                                                                                        \
    }

class CSpyDoc : public CDocument {
    DECLARE_DYNCREATE(CSpyDoc)
public:
    CSpyDoc() { g_log.push_back("doc"); }
    ~CSpyDoc() override { g_log.push_back("doc gone"); }
    std::string m_text;
    BOOL OnNewDocument() override {
        g_log.push_back("new");
        return CDocument::OnNewDocument();
    }
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) {
            ar.Write(m_text.data(), static_cast<UINT>(m_text.size()));
            return;
        }
        char c = 0;
        while (ar.Read(&c, 1) == 1)
            m_text += c;
        if (m_text == "bad")
            AfxThrowArchiveException(CArchiveException::badClass);
    }
    SPY("doc", kDocOnly, OnDocOnly)
    SPY("doc", kEveryLevel, OnDocEvery)
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CSpyDoc, CDocument)
BEGIN_MESSAGE_MAP(CSpyDoc, CDocument)
ON_COMMAND(kDocOnly, &CSpyDoc::OnDocOnly)
ON_COMMAND(kEveryLevel, &CSpyDoc::OnDocEvery)
END_MESSAGE_MAP()

class CSpyView : public CView {
    DECLARE_DYNCREATE(CSpyView)
public:
    void OnDraw(CDC* pDC) override {
        CRect client;
        GetClientRect(&client);
        pDC->FillSolidRect(&client, RGB(0, 0, 255));
    }
    int OnCreate(LPCREATESTRUCT lpcs) {
        g_log.push_back("view");
        return CView::OnCreate(lpcs);
    }
    void OnInitialUpdate() override {
        g_log.push_back("initial update");
        CView::OnInitialUpdate();
    }
    void OnUpdate(CView* pSender, LPARAM lHint, CObject*) override {
        if (lHint != 0)
            g_log.push_back("update " + std::to_string(lHint) + (pSender == this ? " from self" : ""));
    }
    SPY("view", kViewOnly, OnViewOnly)
    SPY("view", kEveryLevel, OnViewEvery)
    SPY("disabled ran", kDisabled, OnDisabled)
    void OnUpdateDisabled(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CSpyView, CView)
BEGIN_MESSAGE_MAP(CSpyView, CView)
ON_WM_CREATE()
ON_COMMAND(kViewOnly, &CSpyView::OnViewOnly)
ON_COMMAND(kEveryLevel, &CSpyView::OnViewEvery)
ON_COMMAND(kDisabled, &CSpyView::OnDisabled)
ON_COMMAND(kBarItemHandled, &CSpyView::OnViewOnly)
ON_UPDATE_COMMAND_UI(kDisabled, &CSpyView::OnUpdateDisabled)
END_MESSAGE_MAP()

class CSpyFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CSpyFrame)
public:
    int OnCreate(LPCREATESTRUCT lpcs) {
        g_log.push_back("frame");
        return CFrameWnd::OnCreate(lpcs);
    }
    SPY("frame", kFrameOnly, OnFrameOnly)
    SPY("frame", kEveryLevel, OnFrameEvery)
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CSpyFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(CSpyFrame, CFrameWnd)
ON_WM_CREATE()
ON_COMMAND(kFrameOnly, &CSpyFrame::OnFrameOnly)
ON_COMMAND(kEveryLevel, &CSpyFrame::OnFrameEvery)
END_MESSAGE_MAP()

class CSpyTemplate : public CMultiDocTemplate {
public:
    CSpyTemplate()
        : CMultiDocTemplate(kDocTypeId, RUNTIME_CLASS(CSpyDoc), RUNTIME_CLASS(CSpyFrame), RUNTIME_CLASS(CSpyView)) {}
    SPY("template", kTemplateOnly, OnTemplateOnly)
    SPY("template", kEveryLevel, OnTemplateEvery)
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSpyTemplate, CMultiDocTemplate)
ON_COMMAND(kTemplateOnly, &CSpyTemplate::OnTemplateOnly)
ON_COMMAND(kEveryLevel, &CSpyTemplate::OnTemplateEvery)
END_MESSAGE_MAP()

class CSpyApp : public CWinApp {
public:
    CSpyApp() : CWinApp("Tindaloft") {}
    SPY("app", kAppOnly, OnAppOnly)
    SPY("app", kEveryLevel, OnAppEvery)
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSpyApp, CWinApp)
ON_COMMAND(kAppOnly, &CSpyApp::OnAppOnly)
ON_COMMAND(kEveryLevel, &CSpyApp::OnAppEvery)
END_MESSAGE_MAP()

// A bar along the bottom edge, 20 pixels high, painted red; its two items are updated at idle.
class CTestBar : public CControlBar {
public:
    CTestBar() { m_dwStyle = CBRS_ALIGN_BOTTOM; }
    CSize CalcFixedLayout(BOOL, BOOL) override { return CSize(0, 20); }
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override {
        for (UINT i = 0; i < 2; ++i) {
            ItemUI ui(this, i);
            ui.DoUpdate(pTarget, bDisableIfNoHndler);
        }
    }
    void OnPaint() {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, RGB(255, 0, 0));
    }
    BOOL m_enabled[2] = {TRUE, TRUE};

    class ItemUI : public CCmdUI {
    public:
        ItemUI(CTestBar* pBar, UINT nIndex) : m_pBar(pBar) {
            m_nIndex = nIndex;
            m_nID = nIndex == 0 ? kBarItemHandled : kBarItemUnhandled;
            m_pOther = pBar;
        }
        void Enable(BOOL bOn) override {
            CCmdUI::Enable(bOn);
            m_pBar->m_enabled[m_nIndex] = bOn;
        }
        CTestBar* m_pBar;
    };
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CTestBar, CControlBar)
ON_WM_PAINT()
END_MESSAGE_MAP()

class FrameTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        nt::registry::Reset();
        g_log.clear();
        AfxRegisterString(kMainTitleId, "Tindaloft");
        AfxRegisterString(kDocTypeId, "Tindaloft\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n"
                                      ".tdloft\nTindaloft.Document\nTindaloft Log File");
        m_pTemplate = new CSpyTemplate;
        m_app.AddDocTemplate(m_pTemplate);
        m_app.SetRegistryKey("Vellumcrest");
        m_app.LoadStdProfileSettings(4);
    }
    void TearDown() override {
        m_app.CloseAllDocuments(FALSE);
        std::filesystem::remove_all(afx_test::AppFixture::Host(Folder()));
        UiTest::TearDown();
    }
    CFrameWnd* FrameOf(CDocument* pDoc) {
        POSITION pos = pDoc->GetFirstViewPosition();
        return pos != nullptr ? pDoc->GetNextView(pos)->GetParentFrame() : nullptr;
    }
    // A folder of this process's own for the test's files.
    std::string Folder() const {
        std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("afx_frame_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return afx_test::AppFixture::Win(dir);
    }

    CSpyApp m_app;
    CSpyTemplate* m_pTemplate = nullptr;
};

TEST_F(FrameTest, NewBuildsDocumentFrameAndViewThenTheInitialUpdate) {
    CDocument* pDoc = m_pTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"doc", "frame", "view", "new", "initial update"}));
    CFrameWnd* pFrame = FrameOf(pDoc);
    ASSERT_NE(pFrame, nullptr);
    EXPECT_TRUE(pFrame->IsWindowVisible());
    EXPECT_EQ(pFrame->GetActiveDocument(), pDoc);
    g_log.clear();
    pDoc->UpdateAllViews(nullptr, 7);
    pDoc->UpdateAllViews(pFrame->GetActiveView(), 8); // the sender is left out
    EXPECT_EQ(g_log, std::vector<std::string>{"update 7"});
    EXPECT_EQ(std::string(pDoc->GetTitle()), "usblog1");
    CString title;
    pFrame->GetWindowText(title);
    EXPECT_EQ(std::string(title), "usblog1 - Tindaloft"); // the frame takes its document's title

    // Closing the document's last frame closes the document.
    g_log.clear();
    pFrame->SendMessage(WM_CLOSE);
    EXPECT_EQ(g_log, std::vector<std::string>{"doc gone"});
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 0);
}

TEST_F(FrameTest, CommandsReachTheFirstLevelThatMapsThem) {
    CDocument* pDoc = m_pTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    CFrameWnd* pFrame = FrameOf(pDoc);
    const std::pair<UINT, const char*> cases[] = {
        {kViewOnly, "view"},   {kDocOnly, "doc"}, {kTemplateOnly, "template"},
        {kFrameOnly, "frame"}, {kAppOnly, "app"}, {kEveryLevel, "view"},
    };
    for (const auto& [id, level] : cases) {
        g_log.clear();
        pFrame->SendMessage(WM_COMMAND, id, 0);
        EXPECT_EQ(g_log, std::vector<std::string>{level}) << id;
    }
    // A posted command its update handler disables is dropped.
    g_log.clear();
    pFrame->PostMessage(WM_COMMAND, kDisabled, 0);
    win32::PumpUiMessages();
    EXPECT_TRUE(g_log.empty());
    pFrame->SendMessage(WM_CLOSE);
}

TEST_F(FrameTest, OpenFailsWithOneBoxAndNoFrame) {
    const std::string bad = Folder() + "\\afx_frame_bad.tdloft";
    afx_test::AppFixture::WriteFile(bad, "bad");
    size_t windows = win32::LiveWindowCount();
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "could not be opened");
    EXPECT_EQ(m_app.OpenDocumentFile(bad.c_str()), nullptr);
    EXPECT_EQ(win32::LiveWindowCount(), windows);
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 0);
    EXPECT_EQ(win32::ModalRequests().size(), 1u);
    std::filesystem::remove(afx_test::AppFixture::Host(bad));

    const std::string good = Folder() + "\\afx_frame_good.tdloft";
    afx_test::AppFixture::WriteFile(good, "fine");
    g_log.clear();
    CDocument* pDoc = m_app.OpenDocumentFile(good.c_str());
    ASSERT_NE(pDoc, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"doc", "frame", "view", "initial update"}));
    EXPECT_EQ(std::string(pDoc->GetTitle()), "afx_frame_good.tdloft");
    EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[0]), good);
    std::filesystem::remove(afx_test::AppFixture::Host(good));
}

TEST_F(FrameTest, SaveModifiedYesNoCancel) {
    const std::string path = Folder() + "\\afx_frame_save.tdloft";
    std::filesystem::remove(afx_test::AppFixture::Host(path));
    auto* pDoc = static_cast<CSpyDoc*>(m_pTemplate->OpenDocumentFile(nullptr));
    ASSERT_NE(pDoc, nullptr);
    pDoc->m_text = "saved text";
    pDoc->m_strPathName = path.c_str();
    pDoc->SetModifiedFlag(TRUE);

    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDCANCEL, "Save changes to afx_frame_save.tdloft?");
    EXPECT_FALSE(pDoc->SaveModified());
    // Closing the frame asks too; Cancel keeps it open.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDCANCEL, "Save changes");
    FrameOf(pDoc)->SendMessage(WM_CLOSE);
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 1);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO);
    EXPECT_TRUE(pDoc->SaveModified());
    EXPECT_FALSE(std::filesystem::exists(afx_test::AppFixture::Host(path)));
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES);
    EXPECT_TRUE(pDoc->SaveModified());
    EXPECT_EQ(afx_test::AppFixture::ReadFile(path), "saved text");
    EXPECT_FALSE(pDoc->IsModified());
    std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].style & MB_TYPEMASK, static_cast<UINT>(MB_YESNOCANCEL));
    std::filesystem::remove(afx_test::AppFixture::Host(path));
}

TEST_F(FrameTest, BarsAreLaidOutToggledUpdatedAtIdleAndShowMessages) {
    CDocument* pDoc = m_pTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    CFrameWnd* pFrame = FrameOf(pDoc);
    m_app.m_pMainWnd = pFrame;
    CTestBar bar;
    ASSERT_TRUE(bar.Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), pFrame, AFX_IDW_STATUS_BAR));
    pFrame->MoveWindow(0, 0, 400, 300);
    pFrame->RecalcLayout();
    CRect client;
    pFrame->GetClientRect(&client);
    // The bar along the bottom, the view filling the rest.
    auto placeOf = [&](CWnd* pWnd) {
        CRect rect;
        pWnd->GetWindowRect(&rect);
        pFrame->ScreenToClient(&rect);
        return rect;
    };
    CView* pView = pFrame->GetActiveView();
    EXPECT_EQ(placeOf(&bar), CRect(0, client.bottom - 20, client.right, client.bottom));
    EXPECT_EQ(placeOf(pView), CRect(0, 0, client.right, client.bottom - 20));
    // ... as the frame's picture shows them.
    EXPECT_EQ(win32::ClientPixel(pFrame->m_hWnd, client.Width() / 2, client.bottom - 10), RGB(255, 0, 0));
    EXPECT_EQ(win32::ClientPixel(pFrame->m_hWnd, client.Width() / 2, client.bottom - 30), RGB(0, 0, 255));
    EXPECT_EQ(win32::ClientPixel(pFrame->m_hWnd, 10, 10), RGB(0, 0, 255));

    // Idle count 0 updates the bar's items: one without a handler is greyed.
    m_app.OnIdle(0);
    EXPECT_TRUE(bar.m_enabled[0]);
    EXPECT_FALSE(bar.m_enabled[1]);

    // The message pane.
    pFrame->SetMessageText("Capturing");
    CString text;
    bar.GetWindowText(text);
    EXPECT_EQ(std::string(text), "Capturing");
    pFrame->SetMessageText(AFX_IDS_IDLEMESSAGE);
    bar.GetWindowText(text);
    EXPECT_EQ(std::string(text), "Ready");

    // 59393 toggles the bar, checked while it is visible.
    class CheckUI : public CCmdUI {
    public:
        void SetCheck(int n) override { m_check = n; }
        int m_check = -1;
    };
    CheckUI check;
    check.m_nID = ID_VIEW_STATUS_BAR;
    check.DoUpdate(pFrame, TRUE);
    EXPECT_EQ(check.m_check, 1);
    pFrame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(placeOf(pView), client);
    check.DoUpdate(pFrame, TRUE);
    EXPECT_EQ(check.m_check, 0);
    pFrame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    EXPECT_TRUE(bar.IsWindowVisible());

    bar.DestroyWindow();
    m_app.m_pMainWnd = nullptr;
    pFrame->SendMessage(WM_CLOSE);
}

class CLoopApp : public CWinApp {
public:
    CLoopApp() : CWinApp("Tindaloft") {}
    BOOL m_bStart = TRUE;
    std::vector<LONG> m_idleCounts;
    BOOL InitInstance() override { return m_bStart; }
    int ExitInstance() override { return CWinApp::ExitInstance() + 100; }
    BOOL OnIdle(LONG lCount) override {
        m_idleCounts.push_back(lCount);
        if (lCount == 1)
            PostQuitMessage(5);
        return CWinApp::OnIdle(lCount);
    }
};

TEST_F(FrameTest, TheLoopIdlesUntilQuitAndAFailedStartStillExits) {
    {
        CLoopApp app;
        EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(""), SW_SHOWNORMAL), 105);
        EXPECT_EQ(app.m_idleCounts, (std::vector<LONG>{0, 1}));
    }
    CLoopApp failing;
    failing.m_bStart = FALSE;
    EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(""), SW_SHOWNORMAL), 100);
    EXPECT_TRUE(failing.m_idleCounts.empty());
}

} // namespace
