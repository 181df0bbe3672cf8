// CTabCtrl: the framework object of a tab control ("SysTabControl32"), with typed helpers over the control's
// messages. Create makes the control (registering its class first).
#pragma once

#include "AfxImageList.h"
#include "AfxWnd.h"

class CToolTipCtrl;

class CTabCtrl : public CWnd {
    DECLARE_DYNAMIC(CTabCtrl)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the control frees
    // its tabs (a detached window no longer reaches its class).
    ~CTabCtrl() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    BOOL CreateEx(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;
    using CWnd::CreateEx;

    // Tabs: -1 from an insert that failed.
    LONG InsertItem(int nItem, TCITEM* pTabCtrlItem);
    LONG InsertItem(int nItem, LPCTSTR lpszItem);
    LONG InsertItem(int nItem, LPCTSTR lpszItem, int nImage);
    LONG InsertItem(UINT nMask, int nItem, LPCTSTR lpszItem, int nImage, LPARAM lParam);
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    BOOL GetItem(int nItem, TCITEM* pTabCtrlItem) const;
    BOOL SetItem(int nItem, TCITEM* pTabCtrlItem);
    BOOL GetItemRect(int nItem, LPRECT lpRect) const;
    BOOL HighlightItem(int idItem, BOOL fHighlight = TRUE);
    void DeselectAll(BOOL fExcludeFocus);

    // The program's changes of selection notify nothing.
    int GetCurSel() const;
    int SetCurSel(int nItem);
    int GetCurFocus() const;
    void SetCurFocus(int nItem);
    int HitTest(TCHITTESTINFO* pHitTestInfo) const;
    // The display area of a window rectangle, or (bLarger) the window rectangle of a display area.
    void AdjustRect(BOOL bLarger, LPRECT lpRect);
    int GetRowCount() const;

    CSize SetItemSize(CSize size);
    void SetPadding(CSize size);
    int SetMinTabWidth(int cx);
    DWORD GetExtendedStyle() const;
    DWORD SetExtendedStyle(DWORD dwNewStyle, DWORD dwExMask = 0);
    // The list set through this object; null when the control holds another.
    CImageList* GetImageList() const;
    CImageList* SetImageList(CImageList* pImageList);
    void RemoveImage(int nImage);
    CToolTipCtrl* GetToolTips() const;
    void SetToolTips(CToolTipCtrl* pWndTip);

private:
    CImageList* m_pImageList = nullptr;
};
