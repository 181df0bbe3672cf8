#include "AfxFrameWnd.h"

#include "AfxCmdUI.h"
#include "AfxControlBar.h"
#include "AfxDocument.h"
#include "AfxStringTable.h"
#include "AfxView.h"
#include "AfxWinApp.h"
#include "AfxWndClass.h"
#include "AfxWndMsgMap.h"

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
ON_WM_CREATE()
ON_WM_CLOSE()
ON_WM_DESTROY()
ON_WM_SIZE()
ON_WM_INITMENUPOPUP()
ON_MESSAGE(WM_SETMESSAGESTRING, &CFrameWnd::OnSetMessageString)
ON_MESSAGE(WM_IDLEUPDATECMDUI, &CFrameWnd::OnIdleUpdateCmdUI)
ON_COMMAND_EX(ID_VIEW_STATUS_BAR, &CFrameWnd::OnBarCheck)
ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, &CFrameWnd::OnUpdateControlBarMenu)
ON_COMMAND_EX(ID_VIEW_TOOLBAR, &CFrameWnd::OnBarCheck)
ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, &CFrameWnd::OnUpdateControlBarMenu)
END_MESSAGE_MAP()

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() {
    // Bars that outlive the frame no longer point at it.
    while (!m_listControlBars.IsEmpty())
        static_cast<CControlBar*>(m_listControlBars.RemoveHead())->m_pDockSite = nullptr;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (cs.lpszClass == nullptr)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), m_hIcon);
    return CWnd::PreCreateWindow(cs);
}

BOOL CFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       LPCTSTR, DWORD dwExStyle, CCreateContext* pContext) {
    m_strTitle = lpszWindowName != nullptr ? lpszWindowName : "";
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right == 0 ? CW_USEDEFAULT : rect.right - rect.left,
                    rect.bottom == 0 ? CW_USEDEFAULT : rect.bottom - rect.top,
                    pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr, m_hMenuDefault, pContext);
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
    m_nIDHelp = nIDResource;
    CString strings;
    AfxLoadString(nIDResource, strings);
    int newline = strings.Find('\n');
    CString title = newline < 0 ? strings : strings.Left(newline);
    LoadFrameResources(nIDResource);
    if (!Create(nullptr, title, dwDefaultStyle, rectDefault, pParentWnd, nullptr, 0, pContext))
        return FALSE;
    if (pContext == nullptr)
        SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE, TRUE);
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpcs) {
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    auto* pContext = static_cast<CCreateContext*>(lpcs->lpCreateParams);
    if (!OnCreateClient(lpcs, pContext))
        return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext) {
    if (pContext != nullptr && pContext->m_pNewViewClass != nullptr)
        return CreateView(pContext, AFX_IDW_PANE_FIRST) != nullptr;
    return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
    CObject* pObject = pContext->m_pNewViewClass->CreateObject();
    auto* pView = dynamic_cast<CWnd*>(pObject);
    if (pView == nullptr) {
        delete pObject;
        return nullptr;
    }
    // A view that fails to be created has deleted itself (PostNcDestroy).
    if (!pView->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, CRect(0, 0, 0, 0), this, nID, pContext))
        return nullptr;
    return pView;
}

CView* CFrameWnd::GetActiveView() const {
    return m_pViewActive;
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify) {
    CView* pViewOld = m_pViewActive;
    if (pViewNew == pViewOld)
        return;
    m_pViewActive = pViewNew;
    if (bNotify && pViewOld != nullptr)
        pViewOld->OnActivateView(FALSE, pViewNew, pViewOld);
    if (bNotify && pViewNew != nullptr)
        pViewNew->OnActivateView(TRUE, pViewNew, pViewOld);
}

CDocument* CFrameWnd::GetActiveDocument() {
    CView* pView = GetActiveView();
    return pView != nullptr ? pView->GetDocument() : nullptr;
}

CFrameWnd* CFrameWnd::GetActiveFrame() {
    return this;
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
    if (nCmdShow == -1)
        nCmdShow = IsIconic() ? SW_RESTORE : SW_SHOW;
    ShowWindow(nCmdShow);
    ::BringWindowToTop(m_hWnd);
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
    CView* pView = GetActiveView();
    if (pView == nullptr) {
        pView = dynamic_cast<CView*>(CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST)));
        if (pView != nullptr)
            SetActiveView(pView, FALSE);
    }
    if (bMakeVisible) {
        SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE, TRUE);
        ActivateFrame();
        if (pView != nullptr)
            pView->OnActivateView(TRUE, pView, pView);
    }
    if (pDoc != nullptr)
        pDoc->UpdateFrameCounts();
    OnUpdateFrameTitle(TRUE);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    CView* pView = GetActiveView();
    if (pView != nullptr && pView->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // A frame inside another frame leaves the application to the outer one.
    if (GetParentFrame() != nullptr)
        return FALSE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        return TranslateFrameAccelerator(pMsg);
    return FALSE;
}

void CFrameWnd::OnClose() {
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd == this) {
        // Closing the main window closes every document, each asked to save first.
        if (!pApp->SaveAllModified())
            return;
        HWND hWnd = m_hWnd;
        pApp->CloseAllDocuments(FALSE);
        // A document's frame may have been this very window (and object).
        if (!::IsWindow(hWnd) || CWnd::FromHandlePermanent(hWnd) != this)
            return;
        DestroyWindow();
        return;
    }
    CDocument* pDocument = GetActiveDocument();
    if (pDocument != nullptr && !pDocument->CanCloseFrame(this))
        return;
    if (pDocument != nullptr && pDocument->m_bAutoDelete) {
        // The document's last frame takes the document with it.
        bool bOtherFrame = false;
        POSITION pos = pDocument->GetFirstViewPosition();
        while (pos != nullptr && !bOtherFrame) {
            CView* pView = pDocument->GetNextView(pos);
            if (pView->GetParentFrame() != this)
                bOtherFrame = true;
        }
        if (!bOtherFrame) {
            pDocument->OnCloseDocument();
            return;
        }
        pDocument->PreCloseFrame(this);
    }
    DestroyWindow();
}

void CFrameWnd::OnDestroy() {
    m_pViewActive = nullptr;
    // The frame's own menu goes with it; a menu it only shows (a template's) stays its owner's.
    if (m_hMenuDefault != nullptr && ::IsMenu(m_hMenuDefault)) {
        if (::GetMenu(m_hWnd) == m_hMenuDefault)
            ::SetMenu(m_hWnd, nullptr);
        ::DestroyMenu(m_hMenuDefault);
    }
    m_hMenuDefault = nullptr;
    CWnd::OnDestroy();
}

void CFrameWnd::PostNcDestroy() {
    delete this;
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::AddControlBar(CControlBar* pBar) {
    if (m_listControlBars.Find(pBar) == nullptr)
        m_listControlBars.AddTail(pBar);
}

void CFrameWnd::RemoveControlBar(CControlBar* pBar) {
    POSITION pos = m_listControlBars.Find(pBar);
    if (pos != nullptr)
        m_listControlBars.RemoveAt(pos);
}

CControlBar* CFrameWnd::GetControlBar(UINT nID) {
    POSITION pos = m_listControlBars.GetHeadPosition();
    while (pos != nullptr) {
        auto* pBar = static_cast<CControlBar*>(m_listControlBars.GetNext(pos));
        if (static_cast<UINT>(pBar->GetDlgCtrlID()) == nID)
            return pBar;
    }
    return nullptr;
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay) {
    pBar->ShowWindow(bShow ? SW_SHOWNA : SW_HIDE);
    if (!bDelay)
        RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (m_hWnd == nullptr)
        return;
    CRect client;
    GetClientRect(&client);
    PlaceControlBars(client);
    HWND hWndView = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
    if (hWndView != nullptr)
        ::MoveWindow(hWndView, client.left, client.top, client.Width(), client.Height(), TRUE);
}

void CFrameWnd::PlaceControlBars(CRect& client) {
    // Bars take their edge in the order they were created; the view gets what is left.
    POSITION pos = m_listControlBars.GetHeadPosition();
    while (pos != nullptr) {
        auto* pBar = static_cast<CControlBar*>(m_listControlBars.GetNext(pos));
        if (!pBar->IsVisible())
            continue;
        DWORD align = pBar->m_dwStyle & CBRS_ALIGN_ANY;
        BOOL bHorz = (align & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0;
        CSize size = pBar->CalcFixedLayout(TRUE, bHorz);
        CRect place = client;
        if (align & CBRS_ALIGN_BOTTOM) {
            place.top = client.bottom - size.cy;
            client.bottom = place.top;
        } else if (align & CBRS_ALIGN_LEFT) {
            place.right = client.left + size.cx;
            client.left = place.right;
        } else if (align & CBRS_ALIGN_RIGHT) {
            place.left = client.right - size.cx;
            client.right = place.left;
        } else {
            place.bottom = client.top + size.cy;
            client.top = place.bottom;
        }
        pBar->MoveWindow(&place);
    }
}

BOOL CFrameWnd::OnBarCheck(UINT nID) {
    CControlBar* pBar = GetControlBar(nID);
    if (pBar == nullptr)
        return FALSE;
    ShowControlBar(pBar, !pBar->IsVisible(), FALSE);
    return TRUE;
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* pCmdUI) {
    CControlBar* pBar = GetControlBar(pCmdUI->m_nID);
    if (pBar == nullptr) {
        pCmdUI->ContinueRouting();
        return;
    }
    pCmdUI->SetCheck(pBar->IsVisible() ? 1 : 0);
}

CWnd* CFrameWnd::GetMessageBar() {
    return CWnd::FromHandle(::GetDlgItem(m_hWnd, AFX_IDW_STATUS_BAR));
}

void CFrameWnd::SetMessageText(LPCTSTR lpszText) {
    SendMessage(WM_SETMESSAGESTRING, 0, reinterpret_cast<LPARAM>(lpszText));
}

void CFrameWnd::SetMessageText(UINT nID) {
    SendMessage(WM_SETMESSAGESTRING, static_cast<WPARAM>(nID), 0);
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam) {
    CWnd* pMessageBar = GetMessageBar();
    if (pMessageBar == nullptr)
        return 0;
    CString text;
    if (lParam != 0)
        text = reinterpret_cast<LPCTSTR>(lParam);
    else if (wParam != 0)
        text = AfxFrameworkString(static_cast<UINT>(wParam));
    // The first line of a command's string is its prompt; the rest is its tip.
    int newline = text.Find('\n');
    if (newline >= 0)
        text = text.Left(newline);
    pMessageBar->SetWindowText(text);
    return 0;
}

LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
    if (GetStyle() & FWS_ADDTOTITLE)
        OnUpdateFrameTitle(TRUE);
    return 0;
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    if ((GetStyle() & FWS_ADDTOTITLE) == 0)
        return;
    CDocument* pDocument = GetActiveDocument();
    UpdateFrameTitleForDocument(bAddToTitle && pDocument != nullptr ? static_cast<LPCTSTR>(pDocument->GetTitle())
                                                                    : nullptr);
}

void CFrameWnd::UpdateFrameTitleForDocument(LPCTSTR lpszDocName) {
    CString title;
    if (lpszDocName == nullptr || *lpszDocName == '\0') {
        title = m_strTitle;
    } else {
        CString doc = lpszDocName;
        if (m_nWindow > 0) {
            CString number;
            number.Format(":%d", m_nWindow);
            doc += number;
        }
        title = m_strTitle.IsEmpty() ? doc : doc + " - " + m_strTitle;
    }
    CString current;
    GetWindowText(current);
    if (current != title)
        SetWindowText(title);
}
