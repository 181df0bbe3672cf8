// MDI frames: CMDIFrameWnd, the main frame with its MDI client, and CMDIChildWnd, a document's frame inside
// it. Commands go to the active child (its view, document, template, the child) before the main frame and the
// application; the active child's document gives the main frame its title and menu.
#pragma once

#include "AfxFrameWnd.h"
#include "AfxMDIClient.h"

class CMDIChildWnd;

class CMDIFrameWnd : public CFrameWnd {
    DECLARE_DYNCREATE(CMDIFrameWnd)
public:
    CMDIFrameWnd() = default;

    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;
    virtual BOOL CreateClient(LPCREATESTRUCT lpCreateStruct, CMenu* pWindowMenu);

    CMDIChildWnd* MDIGetActive(BOOL* pbMaximized = nullptr) const;
    void MDIActivate(CWnd* pWndActivate);
    void MDINext();
    void MDIPrev();
    void MDIMaximize(CWnd* pWnd);
    void MDICascade();
    void MDITile(int nType = MDITILE_VERTICAL);

    CFrameWnd* GetActiveFrame() override;
    CDocument* GetActiveDocument() override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    // Shows hMenuAlt (the active document's menu), or the frame's own menu when there is none.
    virtual void OnUpdateFrameMenu(HMENU hMenuAlt);

    HWND m_hWndMDIClient = nullptr;

protected:
    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
    BOOL OnMDIWindowCmd(UINT nID);
    void OnUpdateMDIWindowCmd(CCmdUI* pCmdUI);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()
};

class CMDIChildWnd : public CFrameWnd {
    DECLARE_DYNCREATE(CMDIChildWnd)
public:
    CMDIChildWnd() = default;

    using CFrameWnd::Create;
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                        DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                        CMDIFrameWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    BOOL LoadFrame(UINT nIDResource,
                   DWORD dwDefaultStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;

    CMDIFrameWnd* GetMDIFrame() const;
    void MDIActivate();
    void MDIMaximize();
    void ActivateFrame(int nCmdShow = -1) override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;

    HMENU m_hMenuShared = nullptr; // the document's menu, shown by the main frame while this child is active

protected:
    // The document's accelerators act in the main frame: their commands go through the main frame's routing
    // (the active child, its view and document, the main frame, the application), as a child has no menu.
    BOOL TranslateFrameAccelerator(MSG* pMsg) override;
    void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);
    LRESULT OnMDIActivateMessage(WPARAM wParam, LPARAM lParam);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()
};
