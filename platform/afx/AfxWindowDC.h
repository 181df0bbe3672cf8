// The DC of a window while it handles WM_PAINT: CPaintDC (BeginPaint/EndPaint).
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
