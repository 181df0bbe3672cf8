#include "AfxMDIFrameWnd.h"

#include "AfxCmdUI.h"
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxStringTable.h"
#include "AfxView.h"
#include "AfxWinApp.h"
#include "AfxWndMsgMap.h"

IMPLEMENT_DYNCREATE(CMDIFrameWnd, CFrameWnd)
IMPLEMENT_DYNCREATE(CMDIChildWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(CMDIFrameWnd, CFrameWnd)
ON_WM_DESTROY()
ON_COMMAND_EX(ID_WINDOW_CASCADE, &CMDIFrameWnd::OnMDIWindowCmd)
ON_COMMAND_EX(ID_WINDOW_TILE_HORZ, &CMDIFrameWnd::OnMDIWindowCmd)
ON_COMMAND_EX(ID_WINDOW_TILE_VERT, &CMDIFrameWnd::OnMDIWindowCmd)
ON_UPDATE_COMMAND_UI(ID_WINDOW_CASCADE, &CMDIFrameWnd::OnUpdateMDIWindowCmd)
ON_UPDATE_COMMAND_UI(ID_WINDOW_TILE_HORZ, &CMDIFrameWnd::OnUpdateMDIWindowCmd)
ON_UPDATE_COMMAND_UI(ID_WINDOW_TILE_VERT, &CMDIFrameWnd::OnUpdateMDIWindowCmd)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CMDIChildWnd, CFrameWnd)
ON_WM_DESTROY()
ON_MESSAGE(WM_MDIACTIVATE, &CMDIChildWnd::OnMDIActivateMessage)
END_MESSAGE_MAP()

// ---- CMDIFrameWnd

BOOL CMDIFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
    return CFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext);
}

BOOL CMDIFrameWnd::OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext*) {
    return CreateClient(lpcs, nullptr);
}

BOOL CMDIFrameWnd::CreateClient(LPCREATESTRUCT, CMenu*) {
    LPCTSTR lpszClass = AfxMDIClientClass();
    if (lpszClass == nullptr)
        return FALSE;
    CRect client;
    GetClientRect(&client);
    // The client is the frame's pane: RecalcLayout gives it what the bars leave. Its workspace lies in a
    // sunken client edge, as the framework makes it.
    m_hWndMDIClient = ::CreateWindowExA(WS_EX_CLIENTEDGE, lpszClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                        0, 0, client.Width(), client.Height(), m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(AFX_IDW_PANE_FIRST)),
                                        AfxGetInstanceHandle(), nullptr);
    return m_hWndMDIClient != nullptr;
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive(BOOL* pbMaximized) const {
    if (m_hWndMDIClient == nullptr)
        return nullptr;
    auto hActive = reinterpret_cast<HWND>(
        ::SendMessageA(m_hWndMDIClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(pbMaximized)));
    return dynamic_cast<CMDIChildWnd*>(CWnd::FromHandlePermanent(hActive));
}

void CMDIFrameWnd::MDIActivate(CWnd* pWndActivate) {
    ::SendMessageA(m_hWndMDIClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(pWndActivate->m_hWnd), 0);
}

void CMDIFrameWnd::MDINext() {
    ::SendMessageA(m_hWndMDIClient, WM_MDINEXT, 0, 0);
}

void CMDIFrameWnd::MDIPrev() {
    ::SendMessageA(m_hWndMDIClient, WM_MDINEXT, 0, 1);
}

void CMDIFrameWnd::MDIMaximize(CWnd* pWnd) {
    ::SendMessageA(m_hWndMDIClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(pWnd->m_hWnd), 0);
}

void CMDIFrameWnd::MDICascade() {
    ::SendMessageA(m_hWndMDIClient, WM_MDICASCADE, 0, 0);
}

void CMDIFrameWnd::MDITile(int nType) {
    ::SendMessageA(m_hWndMDIClient, WM_MDITILE, static_cast<WPARAM>(nType), 0);
}

CFrameWnd* CMDIFrameWnd::GetActiveFrame() {
    CMDIChildWnd* pActive = MDIGetActive();
    return pActive != nullptr ? static_cast<CFrameWnd*>(pActive) : this;
}

CDocument* CMDIFrameWnd::GetActiveDocument() {
    CMDIChildWnd* pActive = MDIGetActive();
    return pActive != nullptr ? pActive->GetActiveDocument() : CFrameWnd::GetActiveDocument();
}

BOOL CMDIFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    // The active child (its view, document and template, then itself), then this frame and the application.
    CMDIChildWnd* pActive = MDIGetActive();
    if (pActive != nullptr && pActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CMDIFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    if ((GetStyle() & FWS_ADDTOTITLE) == 0)
        return;
    CDocument* pDocument = bAddToTitle ? GetActiveDocument() : nullptr;
    UpdateFrameTitleForDocument(pDocument != nullptr ? static_cast<LPCTSTR>(pDocument->GetTitle()) : nullptr);
}

void CMDIFrameWnd::OnUpdateFrameMenu(HMENU hMenuAlt) {
    HMENU hMenu = hMenuAlt != nullptr ? hMenuAlt : m_hMenuDefault;
    if (::GetMenu(m_hWnd) != hMenu) {
        ::SetMenu(m_hWnd, hMenu);
        ::DrawMenuBar(m_hWnd);
    }
}

BOOL CMDIFrameWnd::OnMDIWindowCmd(UINT nID) {
    switch (nID) {
    case ID_WINDOW_CASCADE: MDICascade(); return TRUE;
    case ID_WINDOW_TILE_HORZ: MDITile(MDITILE_HORIZONTAL); return TRUE;
    case ID_WINDOW_TILE_VERT: MDITile(MDITILE_VERTICAL); return TRUE;
    default: return FALSE;
    }
}

void CMDIFrameWnd::OnUpdateMDIWindowCmd(CCmdUI* pCmdUI) {
    pCmdUI->Enable(MDIGetActive() != nullptr);
}

void CMDIFrameWnd::OnDestroy() {
    // A document's menu on show is its template's, not ours to destroy.
    ::SetMenu(m_hWnd, nullptr);
    CFrameWnd::OnDestroy();
}

// ---- CMDIChildWnd

BOOL CMDIChildWnd::TranslateFrameAccelerator(MSG* pMsg) {
    CMDIFrameWnd* pFrame = GetMDIFrame();
    return m_hAccelTable != nullptr && pFrame != nullptr &&
           ::TranslateAcceleratorA(pFrame->m_hWnd, m_hAccelTable, pMsg);
}

CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const {
    HWND hClient = ::GetParent(m_hWnd);
    return dynamic_cast<CMDIFrameWnd*>(CWnd::FromHandlePermanent(hClient != nullptr ? ::GetParent(hClient) : nullptr));
}

BOOL CMDIChildWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                          CMDIFrameWnd* pParentWnd, CCreateContext* pContext) {
    if (pParentWnd == nullptr) {
        CWinApp* pApp = AfxGetApp();
        pParentWnd = pApp != nullptr ? dynamic_cast<CMDIFrameWnd*>(pApp->m_pMainWnd) : nullptr;
    }
    if (pParentWnd == nullptr || pParentWnd->m_hWndMDIClient == nullptr)
        return FALSE;
    m_strTitle = lpszWindowName != nullptr ? lpszWindowName : "";
    // Children are numbered as the platform numbers them, from AFX_IDM_FIRST_MDICHILD.
    int nChildren = 0;
    for (HWND h = ::GetWindow(pParentWnd->m_hWndMDIClient, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
        ++nChildren;
    CRect place(rect);
    if (place.left == CW_USEDEFAULT) {
        CRect client;
        ::GetClientRect(pParentWnd->m_hWndMDIClient, &client);
        place = CRect(0, 0, client.Width() * 2 / 3, client.Height() * 2 / 3);
    }
    if (!CreateEx(WS_EX_MDICHILD, lpszClassName, lpszWindowName, (dwStyle | WS_CHILD) & ~WS_POPUP, place.left,
                  place.top, place.Width(), place.Height(), pParentWnd->m_hWndMDIClient,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(AFX_IDM_FIRST_MDICHILD + nChildren)), pContext))
        return FALSE;
    return TRUE;
}

BOOL CMDIChildWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
    m_nIDHelp = nIDResource;
    CString strings;
    AfxLoadString(nIDResource, strings);
    int newline = strings.Find('\n');
    CString title = newline < 0 ? strings : strings.Left(newline);
    // The document's menu and accelerators are its template's, shared by all its frames.
    if (pContext != nullptr) {
        auto* pTemplate = dynamic_cast<CMultiDocTemplate*>(pContext->m_pNewDocTemplate);
        if (pTemplate != nullptr) {
            m_hMenuShared = pTemplate->m_hMenuShared;
            m_hAccelTable = pTemplate->m_hAccelTable;
        }
    }
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
    auto* pMDIFrame = dynamic_cast<CMDIFrameWnd*>(pParentWnd);
    if (!Create(nullptr, title, (dwDefaultStyle | WS_CHILD) & ~WS_VISIBLE, rectDefault, pMDIFrame, pContext))
        return FALSE;
    if (pContext == nullptr)
        SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE, TRUE);
    return TRUE;
}

void CMDIChildWnd::MDIActivate() {
    CMDIFrameWnd* pFrame = GetMDIFrame();
    if (pFrame != nullptr)
        pFrame->MDIActivate(this);
}

void CMDIChildWnd::MDIMaximize() {
    CMDIFrameWnd* pFrame = GetMDIFrame();
    if (pFrame != nullptr)
        pFrame->MDIMaximize(this);
}

void CMDIChildWnd::ActivateFrame(int nCmdShow) {
    ShowWindow(nCmdShow == -1 ? SW_SHOW : nCmdShow);
    MDIActivate();
}

LRESULT CMDIChildWnd::OnMDIActivateMessage(WPARAM wParam, LPARAM lParam) {
    auto hDeactivate = reinterpret_cast<HWND>(wParam);
    auto hActivate = reinterpret_cast<HWND>(lParam);
    OnMDIActivate(hActivate == m_hWnd, CWnd::FromHandle(hActivate), CWnd::FromHandle(hDeactivate));
    return 0;
}

void CMDIChildWnd::OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd*) {
    CMDIFrameWnd* pFrame = GetMDIFrame();
    if (pFrame == nullptr)
        return;
    CView* pView = GetActiveView();
    if (pView != nullptr)
        pView->OnActivateView(bActivate, pView, pView);
    if (bActivate) {
        pFrame->OnUpdateFrameMenu(m_hMenuShared);
        pFrame->OnUpdateFrameTitle(TRUE);
    } else if (pActivateWnd == nullptr) {
        // The last child went: the frame's own menu and title again.
        pFrame->OnUpdateFrameMenu(nullptr);
        pFrame->OnUpdateFrameTitle(TRUE);
    }
}

void CMDIChildWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    CFrameWnd::OnUpdateFrameTitle(bAddToTitle);
    CMDIFrameWnd* pFrame = GetMDIFrame();
    if (pFrame != nullptr && pFrame->MDIGetActive() == this)
        pFrame->OnUpdateFrameTitle(TRUE);
}

void CMDIChildWnd::OnDestroy() {
    CMDIFrameWnd* pFrame = GetMDIFrame();
    HWND hClient = ::GetParent(m_hWnd);
    if (pFrame != nullptr && pFrame->MDIGetActive() == this) {
        // The next child comes up; with none left the frame shows its own menu and title.
        int nChildren = 0;
        for (HWND h = ::GetWindow(hClient, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
            ++nChildren;
        if (nChildren > 1) {
            pFrame->MDINext();
        } else {
            ::SendMessageA(hClient, WM_MDIACTIVATE, 0, 0);
            pFrame->OnUpdateFrameMenu(nullptr);
        }
    }
    CFrameWnd::OnDestroy();
    if (pFrame != nullptr)
        pFrame->OnUpdateFrameTitle(TRUE);
}
