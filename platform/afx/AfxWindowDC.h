// The DC of a window while it handles WM_PAINT: CPaintDC (BeginPaint/EndPaint).
#pragma once

#include "AfxDC.h"

class CWnd;

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd); // throws CResourceException when no DC can be had
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};
