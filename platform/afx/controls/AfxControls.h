// Framework objects of the basic controls: each is a CWnd of the control's class with typed helpers over the
// control's messages. Create makes the control (registering the classes first); a control of a dialog is
// attached with DDX_Control or SubclassDlgItem.
#pragma once

#include "AfxWnd.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    BOOL Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;
    int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int nCheck) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
    UINT GetState() const { return static_cast<UINT>(::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0)); }
    void SetState(BOOL bHighlight) { ::SendMessageA(m_hWnd, BM_SETSTATE, static_cast<WPARAM>(bHighlight), 0); }
    UINT GetButtonStyle() const { return static_cast<UINT>(GetStyle() & 0xFFFF); }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE) { ::SendMessageA(m_hWnd, BM_SETSTYLE, nStyle, bRedraw); }
};

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    BOOL Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF);
    using CWnd::Create;
};

class CProgressCtrl : public CWnd {
    DECLARE_DYNAMIC(CProgressCtrl)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the bar frees its
    // state (CWnd's destructor detaches first, and a detached window no longer reaches its class).
    ~CProgressCtrl() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;
    void SetRange32(int nLower, int nUpper) {
        ::SendMessageA(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
    }
    void SetRange(short nLower, short nUpper) { SetRange32(nLower, nUpper); }
    void GetRange(int& nLower, int& nUpper) const;
    int SetPos(int nPos) { return static_cast<int>(::SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0)); }
    int GetPos() const { return static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }
    int OffsetPos(int nPos) {
        return static_cast<int>(::SendMessageA(m_hWnd, PBM_DELTAPOS, static_cast<WPARAM>(nPos), 0));
    }
    int SetStep(int nStep) {
        return static_cast<int>(::SendMessageA(m_hWnd, PBM_SETSTEP, static_cast<WPARAM>(nStep), 0));
    }
    int StepIt() { return static_cast<int>(::SendMessageA(m_hWnd, PBM_STEPIT, 0, 0)); }
    COLORREF SetBarColor(COLORREF clr) {
        return static_cast<COLORREF>(::SendMessageA(m_hWnd, PBM_SETBARCOLOR, 0, clr));
    }
    COLORREF SetBkColor(COLORREF clr) { return static_cast<COLORREF>(::SendMessageA(m_hWnd, PBM_SETBKCOLOR, 0, clr)); }
};
