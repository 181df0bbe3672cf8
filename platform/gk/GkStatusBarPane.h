// CGkStatusBarPane: one pane of the toolkit's status bar: an id, a text, a width, a style and a text colour.
// The bar calls OnDraw with the pane's rectangle whenever it paints that part of itself; the base draws the
// pane sunken into the bar, as the classic status bar draws its parts, unless the style asks for no borders
// (SBPS_POPOUT, a checked pane's state, is kept in the style but draws the same), and the text, and no text
// while the pane is dimmed (SBPS_DISABLED). Panes that draw something else (a bitmap) override OnDraw.
#pragma once

#include "afxwin.h"

// Pane styles, the platform's values.
#ifndef SBPS_NORMAL
#define SBPS_NORMAL 0x0000
#define SBPS_NOBORDERS 0x0100
#define SBPS_POPOUT 0x0200
#define SBPS_OWNERDRAW 0x1000
#define SBPS_DISABLED 0x04000000
#define SBPS_STRETCH 0x08000000
#endif
#ifndef ID_SEPARATOR
#define ID_SEPARATOR 0
#endif

class CGkStatusBar;

class CGkStatusBarPane {
public:
    CGkStatusBarPane() = default;
    virtual ~CGkStatusBarPane() = default;
    CGkStatusBarPane(const CGkStatusBarPane&) = delete;
    CGkStatusBarPane& operator=(const CGkStatusBarPane&) = delete;

    UINT GetID() const { return m_nID; }
    // The bar it belongs to; null until it is added to one.
    CGkStatusBar* GetStatusBar() const { return m_pStatusBar; }
    int GetIndex() const;

    void SetText(LPCTSTR lpszText);
    CString GetText() const { return m_strText; }
    // The width of the pane's contents, its borders not counted.
    void SetWidth(int cxWidth);
    int GetWidth() const { return m_cxWidth; }
    void SetStyle(UINT nStyle);
    UINT GetStyle() const { return m_nStyle; }
    // Lit: not dimmed.
    BOOL IsEnabled() const { return (m_nStyle & SBPS_DISABLED) == 0; }
    void SetEnabled(BOOL bEnabled);

    // CLR_DEFAULT gives the system's button-text colour back.
    void SetTextColor(COLORREF clrText);
    // The colour the text is drawn in.
    COLORREF GetTextColor() const;
    BOOL IsTextColorDefault() const { return m_clrText == CLR_DEFAULT; }

    // The pane's rectangle in the bar's client area; empty when it is in no bar.
    CRect GetRect() const;
    // Repaints the pane, and nothing else of the bar.
    void Redraw() const;

    // Draws the pane into rcItem (the pane's rectangle, borders included).
    virtual void OnDraw(CDC* pDC, CRect rcItem);

protected:
    void DrawBorders(CDC* pDC, const CRect& rcItem) const;
    void DrawPaneText(CDC* pDC, const CRect& rcItem) const;

private:
    friend class CGkStatusBar;

    UINT m_nID = 0;
    CString m_strText;
    int m_cxWidth = 0;
    UINT m_nStyle = SBPS_NORMAL;
    COLORREF m_clrText = CLR_DEFAULT;
    CGkStatusBar* m_pStatusBar = nullptr;
};
