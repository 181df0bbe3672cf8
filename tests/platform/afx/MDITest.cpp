// MDI: the main frame with its client and child frames: New builds a child on its document; the active
// document gives the main frame its title and menu; commands go to the active child first; WM_MDINEXT,
// Cascade and Tile keep the active child first; closing a child closes its document.
#include <string>
#include <vector>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

constexpr UINT kMainId = 128, kDocId = 131, kDocCmd = 300, kMainCmd = 301, kShared = 302;
constexpr UINT kMainMenuItem = 400, kDocMenuItem = 401;

std::vector<std::string> g_log;

class CLogDoc : public CDocument {
    DECLARE_DYNCREATE(CLogDoc)
public:
    ~CLogDoc() override { g_log.push_back("doc gone"); }
    void OnDocCmd() { g_log.push_back("doc " + std::string(GetTitle())); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CLogDoc, CDocument)
BEGIN_MESSAGE_MAP(CLogDoc, CDocument)
ON_COMMAND(kDocCmd, &CLogDoc::OnDocCmd)
ON_COMMAND(kShared, &CLogDoc::OnDocCmd)
END_MESSAGE_MAP()

class CLogView : public CView {
    DECLARE_DYNCREATE(CLogView)
public:
    void OnDraw(CDC*) override {}
};
IMPLEMENT_DYNCREATE(CLogView, CView)

class CChildFrame : public CMDIChildWnd {
    DECLARE_DYNCREATE(CChildFrame)
};
IMPLEMENT_DYNCREATE(CChildFrame, CMDIChildWnd)

class CMainFrame : public CMDIFrameWnd {
public:
    void OnMainCmd() { g_log.push_back("main"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CMainFrame, CMDIFrameWnd)
ON_COMMAND(kMainCmd, &CMainFrame::OnMainCmd)
ON_COMMAND(kShared, &CMainFrame::OnMainCmd)
END_MESSAGE_MAP()

class MDITest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        g_log.clear();
        AfxRegisterString(kMainId, "Tindaloft");
        AfxRegisterString(kDocId, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n.tdloft\n"
                                  "Tindaloft.Document\nTindaloft Log File");
        win32::RegisterMenuResource(nullptr, kMainId,
                                    {{MF_POPUP, 0, "&File", {{MF_STRING, kMainMenuItem, "&Open", {}}}}});
        win32::RegisterMenuResource(
            nullptr, kDocId,
            {{MF_POPUP, 0, "&File", {{MF_STRING, kDocMenuItem, "&Save", {}}}},
             {MF_POPUP,
              0,
              "&Window",
              {{MF_STRING, ID_WINDOW_CASCADE, "&Cascade", {}}, {MF_STRING, ID_WINDOW_TILE_HORZ, "&Tile", {}}}}});
        win32::RegisterAcceleratorResource(nullptr, kDocId,
                                           {{FVIRTKEY | FCONTROL, 'M', kMainCmd}, {FVIRTKEY | FCONTROL, 'D', kDocCmd}});
        m_pTemplate =
            new CMultiDocTemplate(kDocId, RUNTIME_CLASS(CLogDoc), RUNTIME_CLASS(CChildFrame), RUNTIME_CLASS(CLogView));
        m_app.AddDocTemplate(m_pTemplate);
        m_pMain = new CMainFrame;
        ASSERT_TRUE(m_pMain->LoadFrame(kMainId, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        m_app.m_pMainWnd = m_pMain;
        m_pMain->MoveWindow(0, 0, 640, 480);
        m_pMain->ShowWindow(SW_SHOW);
    }
    void TearDown() override {
        if (m_app.m_pMainWnd != nullptr)
            m_pMain->SendMessage(WM_CLOSE);
        win32::PumpUiMessages();
        UiTest::TearDown();
        win32::ClearResources();
    }
    std::string MainTitle() {
        CString title;
        m_pMain->GetWindowText(title);
        return std::string(title);
    }
    std::vector<HWND> ChildOrder() {
        std::vector<HWND> order;
        for (HWND h = GetWindow(m_pMain->m_hWndMDIClient, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
            order.push_back(h);
        return order;
    }
    CFrameWnd* FrameOf(CDocument* pDoc) {
        POSITION pos = pDoc->GetFirstViewPosition();
        return pDoc->GetNextView(pos)->GetParentFrame();
    }

    CWinApp m_app{"Tindaloft"};
    CMultiDocTemplate* m_pTemplate = nullptr;
    CMainFrame* m_pMain = nullptr;
};

TEST_F(MDITest, ChildrenTitlesMenusAndRouting) {
    EXPECT_EQ(MainTitle(), "Tindaloft");
    HMENU hMainMenu = GetMenu(m_pMain->m_hWnd);
    CDocument* pFirst = m_pTemplate->OpenDocumentFile(nullptr);
    CDocument* pSecond = m_pTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pFirst, nullptr);
    ASSERT_NE(pSecond, nullptr);
    CFrameWnd* pSecondFrame = FrameOf(pSecond);
    EXPECT_EQ(m_pMain->MDIGetActive(), pSecondFrame);
    // The child shows its document's title; the main frame "title - Tindaloft" and the document's menu.
    CString childTitle;
    pSecondFrame->GetWindowText(childTitle);
    EXPECT_EQ(std::string(childTitle), "usblog2");
    EXPECT_EQ(MainTitle(), "usblog2 - Tindaloft");
    EXPECT_EQ(GetMenu(m_pMain->m_hWnd), m_pTemplate->m_hMenuShared);

    // Commands: the active child's document before the main frame.
    m_pMain->SendMessage(WM_COMMAND, kShared, 0);
    m_pMain->SendMessage(WM_COMMAND, kMainCmd, 0);
    m_pMain->SendMessage(WM_COMMAND, kDocCmd, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"doc usblog2", "main", "doc usblog2"}));

    // WM_MDINEXT brings the other child up.
    m_pMain->MDINext();
    EXPECT_EQ(m_pMain->MDIGetActive(), FrameOf(pFirst));
    EXPECT_EQ(ChildOrder().front(), FrameOf(pFirst)->m_hWnd);
    EXPECT_EQ(MainTitle(), "usblog1 - Tindaloft");
    // Maximised, the active child fills the client.
    m_pMain->MDIMaximize(FrameOf(pFirst));
    CRect clientArea;
    GetClientRect(m_pMain->m_hWndMDIClient, &clientArea);
    CRect maximised;
    FrameOf(pFirst)->GetWindowRect(&maximised);
    EXPECT_EQ(maximised.Size(), clientArea.Size());

    // Cascade and Tile keep the active child first.
    m_pMain->SendMessage(WM_COMMAND, ID_WINDOW_CASCADE, 0);
    EXPECT_EQ(ChildOrder().front(), FrameOf(pFirst)->m_hWnd);
    CRect first, second;
    FrameOf(pFirst)->GetWindowRect(&first);
    pSecondFrame->GetWindowRect(&second);
    EXPECT_GT(first.top, second.top); // the active one cascaded last, in front
    m_pMain->SendMessage(WM_COMMAND, ID_WINDOW_TILE_HORZ, 0);
    EXPECT_EQ(ChildOrder().front(), FrameOf(pFirst)->m_hWnd);
    FrameOf(pFirst)->GetWindowRect(&first);
    pSecondFrame->GetWindowRect(&second);
    EXPECT_EQ(first.Width(), second.Width());
    EXPECT_NE(first.top, second.top);

    // Closing a child closes its document; with none left the main frame has its own title and menu again.
    g_log.clear();
    FrameOf(pFirst)->SendMessage(WM_CLOSE);
    EXPECT_EQ(g_log, std::vector<std::string>{"doc gone"});
    EXPECT_EQ(m_pMain->MDIGetActive(), pSecondFrame);
    EXPECT_EQ(MainTitle(), "usblog2 - Tindaloft");
    pSecondFrame->SendMessage(WM_CLOSE);
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 0);
    EXPECT_EQ(m_pMain->MDIGetActive(), nullptr);
    EXPECT_EQ(MainTitle(), "Tindaloft");
    EXPECT_EQ(GetMenu(m_pMain->m_hWnd), hMainMenu);
}

// A document's accelerator pressed in its view: the command takes the main frame's road, so the main frame and
// the application get what the child and its document do not handle.
TEST_F(MDITest, AChildsAcceleratorsActInTheMainFrame) {
    CDocument* pDoc = m_pTemplate->OpenDocumentFile(nullptr);
    ASSERT_NE(pDoc, nullptr);
    POSITION pos = pDoc->GetFirstViewPosition();
    CView* pView = pDoc->GetNextView(pos);
    pView->SetFocus();
    g_log.clear();
    for (BYTE key : {BYTE{'M'}, BYTE{'D'}}) {
        win32::KeyDown(pView->m_hWnd, VK_CONTROL);
        win32::PressKey(pView->m_hWnd, key);
        win32::KeyUp(pView->m_hWnd, VK_CONTROL);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT)
            m_app.PumpMessage();
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"main", "doc usblog1"}));
}

TEST_F(MDITest, ClosingTheMainFrameClosesEveryDocument) {
    ASSERT_NE(m_pTemplate->OpenDocumentFile(nullptr), nullptr);
    ASSERT_NE(m_pTemplate->OpenDocumentFile(nullptr), nullptr);
    m_pMain->SendMessage(WM_CLOSE);
    EXPECT_EQ(g_log, (std::vector<std::string>{"doc gone", "doc gone"}));
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
}

} // namespace
