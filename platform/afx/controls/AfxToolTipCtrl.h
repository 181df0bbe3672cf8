// CToolTipCtrl: the framework object of a tooltip control ("tooltips_class32"). Its owner relays the mouse
// messages of its tools to it (RelayEvent), and the tip shows after the hover delay.
//
// A tool added without an id is the whole window pWnd (its parent is asked for callback texts); with an id it
// is a rectangle of pWnd (its whole client area when none is given), and pWnd is asked.
#pragma once

#include "AfxWnd.h"

class CToolTipCtrl : public CWnd {
    DECLARE_DYNAMIC(CToolTipCtrl)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the tooltip frees
    // its tools (a detached window no longer reaches its class).
    ~CToolTipCtrl() override;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwStyle = 0, DWORD dwStyleEx = 0);
    using CWnd::Create;
    using CWnd::CreateEx;

    BOOL AddTool(CWnd* pWnd, LPCTSTR lpszText = LPSTR_TEXTCALLBACK, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    BOOL AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
    BOOL GetToolInfo(TOOLINFOA& toolInfo, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void SetToolInfo(LPTOOLINFOA lpToolInfo);
    void SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect);
    void GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    void UpdateTipText(UINT nIDText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    int GetToolCount() const;
    BOOL HitTest(CWnd* pWnd, CPoint pt, LPTOOLINFOA lpToolInfo) const;

    void Activate(BOOL bActivate);
    void RelayEvent(LPMSG lpMsg);
    void Pop();
    void Popup();
    void Update();
    // All three delays from one (TTDT_AUTOMATIC), or one of them.
    void SetDelayTime(UINT nDelay);
    void SetDelayTime(DWORD dwDuration, int iTime);
    int GetDelayTime(DWORD dwDuration) const;
    int SetMaxTipWidth(int iWidth);
    int GetMaxTipWidth() const;
    void SetTipBkColor(COLORREF clr);
    void SetTipTextColor(COLORREF clr);
    COLORREF GetTipBkColor() const;
    COLORREF GetTipTextColor() const;
    void SetMargin(LPRECT lprc);
    void GetMargin(LPRECT lprc) const;

private:
    static TOOLINFOA ToolOf(CWnd* pWnd, UINT_PTR nIDTool);
};
