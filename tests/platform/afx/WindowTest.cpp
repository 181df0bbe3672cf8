// Framework windows over the window system: objects attached at creation (also to windows of other classes),
// self-deleting objects, reflection of notifications, messages to descendants, centring, and message boxes
// with the application's name.
#include <cstring>
#include <string>
#include <vector>

#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

std::vector<std::string> g_log;

// A class the framework did not register: it answers WM_USER + 1 with 77 and logs it.
LRESULT CALLBACK PlainProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) {
        g_log.push_back("plain class");
        return 77;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

void RegisterPlainClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, "Plain", &wc))
        return;
    wc.lpfnWndProc = &PlainProc;
    wc.lpszClassName = "Plain";
    ASSERT_NE(RegisterClassA(&wc), 0);
}

constexpr UINT kControlId = 50;
constexpr int kClick = -2; // NM_CLICK

class CSpyControl : public CWnd {
public:
    BOOL m_bTakeClick = TRUE;

    int OnCreate(LPCREATESTRUCT lpcs) {
        g_log.push_back("control create");
        return CWnd::OnCreate(lpcs);
    }
    BOOL OnReflectedClick(NMHDR*, LRESULT* pResult) {
        g_log.push_back("control click");
        *pResult = 9;
        return m_bTakeClick;
    }
    void OnReflectedCommand() { g_log.push_back("control command"); }
    HBRUSH CtlColor(CDC*, UINT nCtlColor) {
        g_log.push_back("control colour " + std::to_string(nCtlColor));
        return m_bTakeClick ? m_hbr : nullptr;
    }
    LRESULT OnReflectedDrawItem(WPARAM, LPARAM) {
        g_log.push_back("control draw");
        return TRUE;
    }
    HBRUSH m_hbr = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSpyControl, CWnd)
ON_WM_CREATE()
ON_NOTIFY_REFLECT_EX(kClick, &CSpyControl::OnReflectedClick)
ON_CONTROL_REFLECT(7, &CSpyControl::OnReflectedCommand)
ON_WM_CTLCOLOR_REFLECT()
ON_MESSAGE(WM_DRAWITEM + WM_REFLECT_BASE, &CSpyControl::OnReflectedDrawItem)
END_MESSAGE_MAP()

UINT g_logListViewMessage = 0; // registered only after the map exists, as the record list does

class CParentWnd : public CWnd {
public:
    LRESULT OnLogListView(WPARAM wParam, LPARAM lParam) {
        g_log.push_back("registered " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 3;
    }
    void OnClick(NMHDR*, LRESULT*) { g_log.push_back("parent click"); }
    void OnCommandFromControl() { g_log.push_back("parent command"); }
    HBRUSH OnCtlColor(CDC*, CWnd*, UINT nCtlColor) {
        g_log.push_back("parent colour " + std::to_string(nCtlColor));
        return nullptr;
    }
    void OnUser(UINT, WPARAM, LPARAM) {}
    LRESULT OnCount(WPARAM, LPARAM) {
        ++m_nCount;
        return 0;
    }
    int m_nCount = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CParentWnd, CWnd)
ON_NOTIFY(kClick, kControlId, &CParentWnd::OnClick)
ON_CONTROL(7, kControlId, &CParentWnd::OnCommandFromControl)
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_USER + 3, &CParentWnd::OnCount)
ON_REGISTERED_MESSAGE(g_logListViewMessage, &CParentWnd::OnLogListView)
END_MESSAGE_MAP()

class CSelfDeleting : public CWnd {
public:
    explicit CSelfDeleting(bool* pDeleted) : m_pDeleted(pDeleted) {}
    ~CSelfDeleting() override { *m_pDeleted = true; }

protected:
    void PostNcDestroy() override { delete this; }
    bool* m_pDeleted;
};

class WindowTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        g_log.clear();
        RegisterPlainClass();
    }
    CWinApp m_app{"Tindaloft"};
};

TEST_F(WindowTest, ObjectsOfOtherClassesSeeTheirCreationAndLeaveTheRestToTheClass) {
    CParentWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    CSpyControl control;
    ASSERT_TRUE(control.Create("Plain", "ctl", WS_VISIBLE, CRect(10, 10, 60, 30), &parent, kControlId));
    EXPECT_EQ(g_log, std::vector<std::string>{"control create"});
    EXPECT_EQ(CWnd::FromHandlePermanent(control.m_hWnd), &control);
    EXPECT_EQ(control.SendMessage(WM_USER + 1), 77); // unhandled: the class's own procedure
    char className[32] = {};
    GetClassNameA(control.m_hWnd, className, sizeof className);
    EXPECT_STREQ(className, "Plain"); // the window keeps its class
    EXPECT_EQ(control.GetParent(), &parent);
    EXPECT_EQ(control.GetDlgCtrlID(), static_cast<int>(kControlId));
    // A window without an object gets a temporary one.
    HWND other = CreateWindowExA(0, "Plain", "", WS_CHILD, 0, 0, 5, 5, parent.m_hWnd, nullptr, nullptr, nullptr);
    CWnd* pTemp = CWnd::FromHandle(other);
    ASSERT_NE(pTemp, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(other), nullptr);
    AfxDeleteTempMap();
    parent.DestroyWindow();
    EXPECT_EQ(control.m_hWnd, nullptr); // detached when its window went
}

TEST_F(WindowTest, NotificationsAreOfferedToTheControlFirst) {
    CParentWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    CSpyControl control;
    ASSERT_TRUE(control.Create("Plain", "ctl", WS_VISIBLE, CRect(10, 10, 60, 30), &parent, kControlId));
    g_log.clear();

    NMHDR hdr{control.m_hWnd, kControlId, static_cast<UINT>(kClick)};
    EXPECT_EQ(parent.SendMessage(WM_NOTIFY, kControlId, reinterpret_cast<LPARAM>(&hdr)), 9);
    control.m_bTakeClick = FALSE; // an _EX handler returning FALSE passes it on
    parent.SendMessage(WM_NOTIFY, kControlId, reinterpret_cast<LPARAM>(&hdr));
    parent.SendMessage(WM_COMMAND, MAKEWPARAM(kControlId, 7), reinterpret_cast<LPARAM>(control.m_hWnd));
    EXPECT_EQ(g_log, (std::vector<std::string>{"control click", "control click", "parent click", "control command"}));

    // Colours and drawing: the control first; a control giving no brush leaves the colours to the parent.
    g_log.clear();
    control.m_bTakeClick = TRUE;
    EXPECT_EQ(parent.SendMessage(WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(control.m_hWnd)),
              reinterpret_cast<LRESULT>(control.m_hbr));
    control.m_bTakeClick = FALSE;
    parent.SendMessage(WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(control.m_hWnd));
    BYTE drawItem[64] = {}; // DRAWITEMSTRUCT: the control's window at offset 24
    HWND hControl = control.m_hWnd;
    std::memcpy(drawItem + 24, &hControl, sizeof hControl);
    EXPECT_EQ(parent.SendMessage(WM_DRAWITEM, kControlId, reinterpret_cast<LPARAM>(drawItem)), TRUE);
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"control colour 6", "control colour 1", "parent colour 1", "control draw"}));

    // A message registered after the map was built reaches its handler by the id it got.
    g_log.clear();
    g_logListViewMessage = RegisterWindowMessageA("LogListView");
    ASSERT_GE(g_logListViewMessage, 0xC000u);
    EXPECT_EQ(parent.SendMessage(g_logListViewMessage, 4096, -1), 3);
    EXPECT_EQ(g_log, std::vector<std::string>{"registered 4096 -1"});
    parent.DestroyWindow();
}

TEST_F(WindowTest, SelfDeletingObjectsDescendantsAndCentring) {
    bool deleted = false;
    auto* pWnd = new CSelfDeleting(&deleted);
    ASSERT_TRUE(pWnd->CreateEx(0, nullptr, "self", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    pWnd->DestroyWindow();
    EXPECT_TRUE(deleted);

    CParentWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, CRect(100, 100, 500, 400), nullptr, 0));
    CParentWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, "child", WS_CHILD, CRect(0, 0, 40, 20), &owner, 1));
    CParentWnd grandchild;
    ASSERT_TRUE(grandchild.CreateEx(0, nullptr, "gc", WS_CHILD, CRect(0, 0, 4, 2), &child, 2));
    owner.SendMessageToDescendants(WM_USER + 3, 0, 0, FALSE);
    EXPECT_EQ(child.m_nCount, 1);
    EXPECT_EQ(grandchild.m_nCount, 0);
    owner.SendMessageToDescendants(WM_USER + 3);
    EXPECT_EQ(child.m_nCount, 2);
    EXPECT_EQ(grandchild.m_nCount, 1);

    // A child in its parent's client area, an owned pop-up over its owner.
    child.CenterWindow();
    CRect client;
    owner.GetClientRect(&client);
    CRect rect;
    child.GetWindowRect(&rect);
    owner.ScreenToClient(&rect);
    EXPECT_EQ(rect.left, (client.Width() - 40) / 2);
    EXPECT_EQ(rect.top, (client.Height() - 20) / 2);
    CParentWnd popup;
    ASSERT_TRUE(popup.CreateEx(0, nullptr, "popup", WS_POPUP, CRect(0, 0, 100, 50), &owner, 0));
    popup.CenterWindow();
    popup.GetWindowRect(&rect);
    EXPECT_EQ(rect.TopLeft(), CPoint(250, 225));
    popup.DestroyWindow();
    owner.DestroyWindow();
}

TEST_F(WindowTest, ClassesRegisterOnceAndAFailedRegistrationThrows) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &AfxWndProc;
    wc.lpszClassName = "TdlAfxOnce";
    EXPECT_TRUE(AfxRegisterClass(&wc));
    EXPECT_TRUE(AfxRegisterClass(&wc)); // already there: fine
    LPCTSTR name = AfxRegisterWndClass(CS_HREDRAW, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(AfxRegisterWndClass(CS_HREDRAW, nullptr, nullptr, nullptr)), std::string(name));
    win32::FailUiCalls(win32::UiFailure::RegisterClass, 1);
    bool thrown = false;
    try {
        AfxRegisterWndClass(CS_VREDRAW, nullptr, nullptr, nullptr);
    } catch (CResourceException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    win32::ClearUiFailures();
    // A window that cannot be created leaves its object unattached, and a self-deleting one deleted.
    win32::FailUiCalls(win32::UiFailure::CreateWindow, 1);
    bool deleted = false;
    auto* pWnd = new CSelfDeleting(&deleted);
    EXPECT_FALSE(pWnd->CreateEx(0, nullptr, "x", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_TRUE(deleted);
    win32::ClearUiFailures();
}

TEST_F(WindowTest, MessageBoxesCarryTheApplicationsNameAndExceptionsShowTheirText) {
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO);
    EXPECT_EQ(AfxMessageBox("Clear the buffer?", MB_YESNO), IDNO);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    CFileException e(CFileException::diskFull, 112, "C:\\a.tdloft");
    e.m_bAutoDelete = FALSE;
    EXPECT_EQ(e.ReportError(), IDOK);
    std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Tindaloft");
    EXPECT_EQ(boxes[0].text, "Clear the buffer?");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_NE(boxes[1].text.find("disk is full"), std::string::npos) << boxes[1].text;
}

} // namespace

namespace {

TEST_F(WindowTest, ModifyStyleExChangesTheExtendedStyleAndRecomputesTheFrameWhenAsked) {
    CWnd wnd;
    ASSERT_TRUE(
        wnd.CreateEx(WS_EX_CLIENTEDGE, AfxRegisterWndClass(0), "edges", WS_POPUP, CRect(0, 0, 50, 40), nullptr, 0));
    CRect client;
    wnd.GetClientRect(&client);
    const int nWithEdge = client.Width();
    EXPECT_FALSE(wnd.ModifyStyleEx(0, WS_EX_CLIENTEDGE)); // nothing to change
    EXPECT_TRUE(wnd.ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_STATICEDGE, SWP_FRAMECHANGED));
    EXPECT_EQ(wnd.GetExStyle() & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), static_cast<DWORD>(WS_EX_STATICEDGE));
    EXPECT_TRUE(wnd.ModifyStyleEx(WS_EX_STATICEDGE, 0, SWP_FRAMECHANGED));
    wnd.GetClientRect(&client);
    EXPECT_GT(client.Width(), nWithEdge); // the edge's room went back to the client
    wnd.DestroyWindow();
}

} // namespace
