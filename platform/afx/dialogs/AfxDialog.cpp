// CDialog and data exchange.
#include "AfxDialog.h"

#include <cstdio>
#include <string>

#include "AfxMessageBox.h"
#include "AfxWinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

namespace {

// The dialog object being created on this thread, attached by the creation hook to the first window made.
thread_local CDialog* t_pDialogInit = nullptr;

LRESULT CALLBACK DialogCreationHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND && t_pDialogInit != nullptr) {
        CDialog* pDialog = t_pDialogInit;
        t_pDialogInit = nullptr;
        auto hWnd = reinterpret_cast<HWND>(wParam);
        if (pDialog->Attach(hWnd)) {
            auto previous = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
            *pDialog->GetSuperWndProcAddr() =
                previous != nullptr && previous != &AfxWndProc ? previous : &::DefDlgProcA;
        }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// The object handles everything through its message map: the dialog procedure leaves all to the manager.
INT_PTR CALLBACK FrameworkDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Thrown by CDataExchange::Fail, caught by UpdateData.
struct DataExchangeFailure {};

} // namespace

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd) : m_pParentWnd(pParentWnd) {
    if (lpszTemplateName != nullptr && !IS_INTRESOURCE(lpszTemplateName)) {
        m_strTemplateName = lpszTemplateName;
        m_lpszTemplateName = m_strTemplateName.GetString();
    } else {
        m_lpszTemplateName = lpszTemplateName;
    }
}

HWND CDialog::CreateFromTemplate(LPCTSTR lpszTemplateName, HWND hWndParent, bool modal, INT_PTR* pResult) {
    CDialog* pPreviousInit = t_pDialogInit;
    t_pDialogInit = this;
    HHOOK hHook = ::SetWindowsHookExA(WH_CBT, &DialogCreationHook, nullptr, ::GetCurrentThreadId());
    HINSTANCE hInstance = AfxGetResourceHandle();
    HWND hWnd = nullptr;
    if (modal)
        *pResult = ::DialogBoxParamA(hInstance, lpszTemplateName, hWndParent, &FrameworkDialogProc, 0);
    else
        hWnd = ::CreateDialogParamA(hInstance, lpszTemplateName, hWndParent, &FrameworkDialogProc, 0);
    if (hHook != nullptr)
        ::UnhookWindowsHookEx(hHook);
    t_pDialogInit = pPreviousInit;
    return hWnd;
}

INT_PTR CDialog::DoModal() {
    if (m_lpszTemplateName == nullptr)
        return -1;
    HWND hWndParent = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (hWndParent == nullptr && AfxGetMainWnd() != nullptr)
        hWndParent = AfxGetMainWnd()->GetSafeHwnd();
    INT_PTR nResult = -1;
    CreateFromTemplate(m_lpszTemplateName, hWndParent, true, &nResult);
    return nResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_nIDHelp = nIDTemplate;
    return Create(MAKEINTRESOURCEA(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
    if (lpszTemplateName != nullptr && !IS_INTRESOURCE(lpszTemplateName)) {
        m_strTemplateName = lpszTemplateName;
        lpszTemplateName = m_strTemplateName.GetString();
    }
    m_lpszTemplateName = lpszTemplateName;
    if (pParentWnd != nullptr)
        m_pParentWnd = pParentWnd;
    HWND hWndParent = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
    HWND hWnd = CreateFromTemplate(lpszTemplateName, hWndParent, false, nullptr);
    return hWnd != nullptr && hWnd == m_hWnd;
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CRect rcBefore;
        GetWindowRect(&rcBefore);
        // A message-map entry for WM_INITDIALOG wins; otherwise the virtual.
        LRESULT lResult = 0;
        if (!OnWndMsg(message, wParam, lParam, &lResult))
            lResult = OnInitDialog();
        CenterAfterInit(rcBefore);
        return lResult;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::CenterAfterInit(const CRect& rcBefore) {
    // A top-level dialog that its initialisation neither moved nor showed is centred on its owner, inside the
    // work area.
    if (!::IsWindow(m_hWnd) || (GetStyle() & (WS_CHILD | WS_VISIBLE)) != 0)
        return;
    CRect rcAfter;
    GetWindowRect(&rcAfter);
    if (rcAfter.left == rcBefore.left && rcAfter.top == rcBefore.top)
        CenterWindow();
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    const UINT nCode = HIWORD(wParam);
    if (nCode != BN_CLICKED && lParam != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    default: return FALSE;
    }
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    // A modeless dialog's keyboard navigation, in the pump's pre-translate step.
    if (m_hWnd == nullptr || pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::SetDefID(UINT nID) {
    ::SendMessageA(m_hWnd, DM_SETDEFID, nID, 0);
}

DWORD CDialog::GetDefID() const {
    return static_cast<DWORD>(::SendMessageA(m_hWnd, DM_GETDEFID, 0, 0));
}

void CDialog::NextDlgCtrl() const {
    if (HWND hWnd = ::GetNextDlgTabItem(m_hWnd, ::GetFocus(), FALSE))
        ::SetFocus(hWnd);
}

void CDialog::PrevDlgCtrl() const {
    if (HWND hWnd = ::GetNextDlgTabItem(m_hWnd, ::GetFocus(), TRUE))
        ::SetFocus(hWnd);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    if (pWndCtrl != nullptr && pWndCtrl->GetSafeHwnd() != nullptr)
        ::SetFocus(pWndCtrl->GetSafeHwnd());
}

// ---- data exchange

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    if (hWnd == nullptr) {
        std::fprintf(stderr, "data exchange: no control %d in the dialog\n", nIDC);
        throw DataExchangeFailure{};
    }
    m_hWndLastControl = hWnd;
    return hWnd;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl != nullptr) {
        ::SetFocus(m_hWndLastControl);
        ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailure{};
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.GetSafeHwnd() != nullptr)
        return;
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWnd))
        pDX->Fail();
}

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(hWnd, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(hWnd, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from this button to the next control with WS_GROUP.
    int index = 0;
    for (HWND at = hWnd; at != nullptr; at = ::GetWindow(at, GW_HWNDNEXT), ++index) {
        if (at != hWnd && (::GetWindowLongA(at, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageA(at, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageA(at, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageA(at, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        const int nLen = ::GetWindowTextLengthA(hWnd);
        ::GetWindowTextA(hWnd, value.GetBuffer(nLen), nLen + 1);
        value.ReleaseBuffer();
    } else {
        ::SetWindowTextA(hWnd, value);
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        BOOL bOk = FALSE;
        const UINT number = ::GetDlgItemInt(pDX->m_pDlgWnd->GetSafeHwnd(), ::GetDlgCtrlID(hWnd), &bOk, TRUE);
        if (!bOk) {
            AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = static_cast<int>(number);
    } else {
        ::SetWindowTextA(hWnd, std::to_string(value).c_str());
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        BOOL bOk = FALSE;
        const UINT number = ::GetDlgItemInt(pDX->m_pDlgWnd->GetSafeHwnd(), ::GetDlgCtrlID(hWnd), &bOk, FALSE);
        if (!bOk) {
            AfxMessageBox("Please enter a positive integer.", MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = number;
    } else {
        ::SetWindowTextA(hWnd, std::to_string(value).c_str());
    }
}
