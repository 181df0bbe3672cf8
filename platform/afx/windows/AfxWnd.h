// CWnd: the framework object of a window. A window created through CWnd (or attached to one) is "permanent":
// its messages reach WindowProc and the message map of its object. Any other window met through FromHandle
// gets a temporary object that lives until the thread next goes idle.
//
// Objects attach during creation, before the window's first message (WM_NCCREATE), also for windows of classes
// the framework did not register ("STATIC"): what such an object leaves unhandled goes to its class's own
// procedure.
#pragma once

#include "AfxCmdTarget.h"
#include "AfxGeometry.h"
#include "AfxString.h"
#include "windows.h"

class CDC;
class CDocument;
class CFrameWnd;
class CMenu;
class CScrollBar;
struct CCreateContext;

class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
public:
    CWnd();
    ~CWnd() override; // destroys a window still attached

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Handle maps.
    static CWnd* PASCAL FromHandle(HWND hWnd);          // a temporary object for windows without one
    static CWnd* PASCAL FromHandlePermanent(HWND hWnd); // nullptr for windows without one
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Routes an existing window's messages through this object; unhandled ones go to its previous procedure.
    // PreSubclassWindow runs once the object is attached, before the first message arrives through it.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Creation.
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                          int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // A window made elsewhere (a dialog's control) was just attached by SubclassWindow: what a class sets up
    // on creation it sets up here. Nothing by default.
    virtual void PreSubclassWindow();
    virtual BOOL DestroyWindow();

    // Messages.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A WM_COMMAND: a control's notification is first offered to the control's object (reflection); a command
    // with no control (menu, accelerator, post) whose update handler disables it is dropped; then the routing.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // A WM_NOTIFY: first offered to the control's object, then the routing.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // A notification this window sent to its parent, offered back to it (ON_NOTIFY_REFLECT, ON_CONTROL_REFLECT,
    // reflected WM_DRAWITEM and WM_CTLCOLOR). TRUE when it was handled here and the parent is to skip it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    static BOOL PASCAL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = nullptr);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // The default processing of the message being handled.
    LRESULT Default();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Sends to every child window, and with bDeep to their children too; with bOnlyPerm only to windows that
    // have a framework object.
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE,
                                  BOOL bOnlyPerm = FALSE);

    // Relations and state.
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CFrameWnd* GetParentFrame() const;
    CFrameWnd* GetTopLevelFrame() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetWindow(UINT nCmd) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    // The same for the extended style; with nFlags (SWP_FRAMECHANGED) the frame is recomputed.
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    // Centres the window over its owner (or pAlternateOwner), or over the screen's work area without one.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    CWnd* SetFocus();
    static CWnd* PASCAL GetFocus();
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();
    // WM_SETREDRAW: a control with redraw off holds back its painting (and the layout it needs) until it is on.
    void SetRedraw(BOOL bRedraw = TRUE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* pMenu);
    void DrawMenuBar();
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Help: HtmlHelpA of "hhctrl" with the application's help file; nothing happens without the module.
    virtual void HtmlHelp(DWORD_PTR dwData, UINT nCmd = 0x000F);
    // Tool tips for the window's children (their texts come through TTN_NEEDTEXT); kept as a flag.
    BOOL EnableToolTips(BOOL bEnable = TRUE);
    BOOL m_bToolTipsEnabled = FALSE;

    WNDPROC* GetSuperWndProcAddr() { return &m_pfnSuper; }

protected:
    // Called after WM_NCDESTROY, when the window is gone; self-deleting classes delete themselves here.
    virtual void PostNcDestroy();

    // Default message handlers: each does the window's default processing.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnNcDestroy();
    void OnSize(UINT nType, int cx, int cy);
    void OnMove(int x, int y);
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnTimer(UINT_PTR nIDEvent);
    void OnClose();
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnContextMenu(CWnd* pWnd, CPoint pos);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnWindowPosChanged(WINDOWPOS* lpwndpos);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnSettingChange(UINT uFlags, LPCTSTR lpszSection);
    void OnEnable(BOOL bEnable);
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnNcPaint();
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    WNDPROC m_pfnSuper = nullptr; // the procedure unhandled messages go to

    friend LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    friend LRESULT CALLBACK AfxCbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam);
};

// The procedure of every framework window.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
// The creation hook that attaches the object being created to its window.
LRESULT CALLBACK AfxCbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam);
// Releases the temporary objects FromHandle made on this thread (done at idle time).
void AFXAPI AfxDeleteTempMap();
// The message the thread's window procedure is handling.
const MSG* AFXAPI AfxGetCurrentMessage();
