// The DCs of a window: CPaintDC (BeginPaint/EndPaint while it handles WM_PAINT), CClientDC and CWindowDC.
#pragma once

#include "AfxDC.h"

class CWnd;

class CPaintDC : public CDC {
public:
    // Without a drawing context (the window system could give none) m_hDC stays null and nothing is drawn.
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

// The DC of a window's client area, for drawing outside WM_PAINT.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd); // throws CResourceException when no DC can be had
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

// The DC of a whole window, its non-client area included.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* pWnd); // throws CResourceException when no DC can be had
    ~CWindowDC() override;

protected:
    HWND m_hWnd;
};
