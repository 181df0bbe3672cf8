// CFrameWnd: a frame window: its view, its control bars, its title, menu and accelerators (from one resource
// id), and the routing of commands: the active view (and through it the document and its template), the frame
// itself, then the application.
#pragma once

#include "AfxWnd.h"
#include "afxcoll.h"

class CControlBar;
class CDocTemplate;
class CView;

// What a frame needs to create its view on a document.
struct CCreateContext {
    CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};

// The frame's title takes the active document's title.
#define FWS_ADDTOTITLE 0x00008000L
// ... before its own title ("doc - app") rather than after it.
#define FWS_PREFIXTITLE 0x00004000L
#define FWS_SNAPTOBAR 0x00002000L
#define AFX_WS_DEFAULT_VIEW (WS_CHILD | WS_VISIBLE | WS_BORDER)

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd();
    ~CFrameWnd() override;

    static const CRect rectDefault;

    using CWnd::Create;
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle = WS_OVERLAPPEDWINDOW,
                        const RECT& rect = rectDefault, CWnd* pParentWnd = nullptr, LPCTSTR lpszMenuName = nullptr,
                        DWORD dwExStyle = 0, CCreateContext* pContext = nullptr);
    // Title (the first field of string nIDResource), menu, accelerators and icon of resource nIDResource.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    CWnd* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);

    virtual CView* GetActiveView() const;
    virtual void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
    virtual CDocument* GetActiveDocument();
    virtual CFrameWnd* GetActiveFrame();
    virtual void ActivateFrame(int nCmdShow = -1);
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);

    // Places the control bars along the edges, then the view in what is left.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // Places the visible control bars along client's edges, each in a row of its own, and leaves in client
    // what they do not take.
    void PlaceControlBars(CRect& client);
    void AddControlBar(CControlBar* pBar);
    void RemoveControlBar(CControlBar* pBar);
    CControlBar* GetControlBar(UINT nID);
    void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay);

    // The status bar's message pane (the child 59393) shows the text with WM_SETTEXT.
    void SetMessageText(LPCTSTR lpszText);
    void SetMessageText(UINT nID);
    virtual CWnd* GetMessageBar();

    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
    void UpdateFrameTitleForDocument(LPCTSTR lpszDocName);
    void SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle; }
    CString GetTitle() const { return m_strTitle; }

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    BOOL m_bAutoMenuEnable = TRUE; // menu items without a handler are greyed
    HMENU m_hMenuDefault = nullptr;
    HACCEL m_hAccelTable = nullptr;
    HICON m_hIcon = nullptr; // the frame's icon (its class's)
    UINT m_nIDHelp = 0;
    int m_nWindow = 0; // the frame's number among its document's frames (0: the only one)
    CPtrList m_listControlBars;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    virtual BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    void PostNcDestroy() override; // frames delete themselves

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnClose();
    void OnDestroy();
    void OnSize(UINT nType, int cx, int cy);
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);
    LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    BOOL OnBarCheck(UINT nID);
    void OnUpdateControlBarMenu(CCmdUI* pCmdUI);

    // The menu, accelerators and icon of the frame's resource id (those the module has).
    void LoadFrameResources(UINT nIDResource);
    // Translates a key message through the frame's accelerators.
    virtual BOOL TranslateFrameAccelerator(MSG* pMsg);

    CView* m_pViewActive = nullptr;
    CString m_strTitle;

    DECLARE_MESSAGE_MAP()
};
