// COX3DTabViewContainer: a tab control that hosts one child window (a page) per tab and shows only the active
// one, sized to the tabs' display area. Pages are existing windows or views made from a run-time class; a
// view page becomes its frame's active view. Dragging an OLE object over a tab activates it
// (COX3DTabViewDropTarget). Beside a single page whose tab fills the strip, an empty filler tab keeps the tab
// from being stretched; it has no page and cannot be activated.
#pragma once

#include <vector>

#include "afxwin.h"

#include "AfxOleDropTarget.h"

class COX3DTabViewContainer;

class COX3DTabViewDropTarget : public COleDropTarget {
public:
    DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point) override;
    // Activates the tab under the cursor; nothing is ever dropped on the strip itself.
    DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point) override;
    void OnDragLeave(CWnd* pWnd) override;

    int m_nLastHoveredTab = -1;
};

class COX3DTabViewContainer : public CTabCtrl {
    DECLARE_DYNAMIC(COX3DTabViewContainer)
public:
    // WS_CHILD | WS_VISIBLE | TCS_FOCUSNEVER | TCS_MULTILINE | TCS_HOTTRACK | TCS_BOTTOM.
    static constexpr DWORD kDefaultStyle = 0x50008242;

    COX3DTabViewContainer();
    ~COX3DTabViewContainer() override;

    // "SysTabControl32" makes the tab control itself (default GUI font, drop target); any other class name
    // goes through CreateTabCtrl with the default style, and the title is set.
    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID, CCreateContext* pContext = nullptr) override;
    using CTabCtrl::Create;
    virtual BOOL CreateTabCtrl(CWnd* pParentWnd, const RECT& rect, DWORD dwStyle, UINT nID);

    // FALSE for an index outside 0..GetPageCount(), a missing window, or a tab not inserted.
    virtual BOOL InsertPage(int nIndex, CWnd* pWnd, LPCTSTR lpszTitle, int nImage = -1, DWORD dwExStyle = 0,
                            BOOL bActivate = TRUE);
    // Without a context, the parent frame's active view gives the document and template.
    virtual BOOL InsertViewPage(int nIndex, CRuntimeClass* pClass, CCreateContext* pContext, LPCTSTR lpszTitle,
                                int nImage = -1, DWORD dwExStyle = 0, BOOL bActivate = TRUE);
    virtual BOOL DeletePage(int nIndex, BOOL bDestroy = TRUE);
    virtual BOOL DeletePageByWindow(CWnd* pWnd, BOOL bDestroy = TRUE);
    // TRUE at once for the active page; FALSE for a bad index or the filler.
    virtual BOOL SetActivePageIndex(int nIndex);
    // The id most recently given back, else a fresh one.
    virtual UINT GetUniquePageId();
    virtual void RecalcPageLayout();

    int GetPageCount() const;
    int GetActivePageIndex() const { return m_nActivePageIndex; }
    CWnd* GetActivePage() const { return GetPage(m_nActivePageIndex); }
    CWnd* GetPage(int nIndex) const;
    LPARAM GetPageInfo(int nIndex) const;
    int FindPage(const CWnd* pWnd) const;
    // 0 when there is no filler tab.
    int GetFillerIndex() const { return m_nFillerIndex; }
    CRect GetPageRect() const { return m_rectPage; }
    void SetBorderWidth(int nWidth) { m_nBorderWidth = nWidth; }
    void SetPageMargin(int nMargin) { m_nPageMargin = nMargin; }

protected:
    void OnSize(UINT nType, int cx, int cy);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnNcPaint();
    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    void OnSetFocus(CWnd* pOldWnd);
    void OnDestroy();
    void OnSelChange(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

    // What a page sends and the container leaves alone goes on, unchanged, to the container's parent.
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    void UpdateFiller();
    void HideActivePage();

    COX3DTabViewDropTarget m_dropTarget;
    std::vector<UINT> m_returnedIds;
    UINT m_nNextFreshId = 1;
    int m_nFillerIndex = 0;
    int m_nBorderWidth = 0;
    int m_nPageMargin = 0;
    int m_nActivePageIndex = -1;
    BOOL m_bPaintingNc = FALSE;
    CRect m_rectPage;
};
