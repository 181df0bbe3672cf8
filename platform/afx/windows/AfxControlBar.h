// CControlBar: a bar along an edge of its frame (tool bar, status bar, the toolkit's bars). The frame places
// its visible bars in RecalcLayout and, at idle time, lets each bar run the update handlers of its items.
#pragma once

#include "AfxWnd.h"

// Where the bar docks.
#define CBRS_ALIGN_LEFT 0x1000L
#define CBRS_ALIGN_TOP 0x2000L
#define CBRS_ALIGN_RIGHT 0x4000L
#define CBRS_ALIGN_BOTTOM 0x8000L
#define CBRS_ALIGN_ANY 0xF000L
#define CBRS_TOP (CBRS_ALIGN_TOP)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM)

class CFrameWnd;

class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)
public:
    CControlBar() = default;
    ~CControlBar() override;

    // The bar's size along its edge; by default its window's current size.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    // Runs the update handlers of the bar's items with pTarget's routing.
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) = 0;

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD dwStyle) { m_dwStyle = dwStyle; }
    BOOL IsVisible() const;

    DWORD m_dwStyle = CBRS_ALIGN_TOP;
    CFrameWnd* m_pDockSite = nullptr;

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
