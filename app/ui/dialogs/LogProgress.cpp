#include "app/ui/dialogs/LogProgress.h"

#include "WinCommonControls.h"
#include "WinResourceTable.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"

IMPLEMENT_DYNAMIC(CLogProgress, CDialog)

namespace {

// Styles as the resource compiler writes them.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr UINT kStaticId = 0xFFFF;

} // namespace

CLogProgress::CLogProgress(LPCSTR lpszTitle, CWnd* pParentWnd) : CDialog(IDD_LOG_PROGRESS_SAVE, pParentWnd) {
    if (lpszTitle != nullptr)
        m_strTitle = lpszTitle;
}

CLogProgress::~CLogProgress() {
    if (m_pDeleted != nullptr)
        *m_pDeleted = true; // a pump of this object's is running below
    // The object goes before its window only when its owner deletes it; the window must not outlive it.
    m_bAutoDelete = FALSE;
    if (::IsWindow(m_hWnd))
        DestroyWindow();
}

void CLogProgress::RegisterTemplate() {
    RegisterBackgroundTemplate();
    win32::RegisterDialogResource(nullptr, IDD_LOG_PROGRESS_SAVE,
                                  {kDialogStyle,
                                   0,
                                   0,
                                   0,
                                   260,
                                   102,
                                   "Saving ...",
                                   "MS Shell Dlg",
                                   8,
                                   {{"STATIC", kStaticId, "Saving to:", kChild, 0, 7, 8, 40, 8},
                                    {"STATIC", IDC_PROGRESS_PATH, "", kChild | SS_LEFTNOWORDWRAP, 0, 48, 8, 205, 8},
                                    {PROGRESS_CLASSA, IDC_PROGRESS_BAR, "", kChild | WS_BORDER, 0, 7, 22, 246, 12},
                                    // Two lines: a save that kept fewer records than the list says how many.
                                    {"STATIC", IDC_PROGRESS_STATUS, "", kChild, 0, 7, 40, 246, 16},
                                    {"BUTTON", IDC_PROGRESS_CLEAR_AFTER_SAVE, "Clear capture buffer after save",
                                     kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 7, 62, 150, 10},
                                    {"BUTTON", IDOK, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 149, 80, 50, 14},
                                    {"BUTTON", IDCANCEL, "Cancel", kChild | WS_TABSTOP, 0, 203, 80, 50, 14}}});
}

void CLogProgress::RegisterBackgroundTemplate() {
    win32::RegisterDialogResource(
        nullptr, IDD_LOG_PROGRESS_BACKGROUND,
        {kDialogStyle,
         0,
         0,
         0,
         260,
         92,
         "Background Logging",
         "MS Shell Dlg",
         8,
         {{"STATIC", kStaticId, "Buffer 1:", kChild, 0, 7, 10, 36, 8},
          {PROGRESS_CLASSA, IDC_BACKGROUND_BAR0, "", kChild | WS_BORDER, 0, 46, 8, 207, 12},
          {"STATIC", kStaticId, "Buffer 2:", kChild, 0, 7, 28, 36, 8},
          {PROGRESS_CLASSA, IDC_BACKGROUND_BAR1, "", kChild | WS_BORDER, 0, 46, 26, 207, 12},
          {"EDIT", IDC_BACKGROUND_STATUS, "", kChild | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 0, 7, 46, 246, 14},
          {"BUTTON", IDOK, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 149, 70, 50, 14},
          {"BUTTON", IDCANCEL, "Cancel", kChild | WS_TABSTOP, 0, 203, 70, 50, 14}}});
}

BOOL CLogProgress::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    RegisterTemplate();
    m_nIDHelp = nIDTemplate;
    return CDialog::Create(nIDTemplate, pParentWnd);
}

BOOL CLogProgress::IsBackground() const {
    return m_nIDHelp == IDD_LOG_PROGRESS_BACKGROUND;
}

HWND CLogProgress::Bar(int nBar) const {
    if (!::IsWindow(m_hWnd))
        return nullptr;
    if (IsBackground())
        return nBar == 0   ? ::GetDlgItem(m_hWnd, IDC_BACKGROUND_BAR0)
               : nBar == 1 ? ::GetDlgItem(m_hWnd, IDC_BACKGROUND_BAR1)
                           : nullptr;
    return nBar == 0 ? ::GetDlgItem(m_hWnd, IDC_PROGRESS_BAR) : nullptr;
}

UINT CLogProgress::StatusId() const {
    return IsBackground() ? IDC_BACKGROUND_STATUS : IDC_PROGRESS_STATUS;
}

BOOL CLogProgress::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!m_strTitle.IsEmpty())
        SetWindowText(m_strTitle);
    for (int nBar = 0; nBar < 2; ++nBar) {
        if (HWND hBar = Bar(nBar)) {
            ::SendMessageA(hBar, PBM_SETRANGE32, 0, 100);
            ::SendMessageA(hBar, PBM_SETPOS, 0, 0);
        }
    }
    if (IsBackground()) {
        // The second bank fills only when the banks alternate.
        const CAppSettings* pSettings = m_pDocument != nullptr ? m_pDocument->GetSettings() : nullptr;
        if (pSettings == nullptr) {
            const auto* pApp = dynamic_cast<const CTindaloftApp*>(AfxGetApp());
            pSettings = pApp != nullptr ? &pApp->m_Settings : nullptr;
        }
        ::EnableWindow(Bar(1), pSettings != nullptr && pSettings->ContinuousLogging);
        ::SetDlgItemTextA(m_hWnd, IDC_BACKGROUND_STATUS, "");
    } else {
        ::SetDlgItemTextA(m_hWnd, IDC_PROGRESS_PATH, m_strText);
    }
    // OK closes the window once the save is over; until then only Cancel can be pressed.
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
    ::SetFocus(::GetDlgItem(m_hWnd, IDCANCEL));
    return FALSE; // the focus is set
}

void CLogProgress::SetPos(int nBar, int nPos) {
    if (HWND hBar = Bar(nBar))
        ::SendMessageA(hBar, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
}

void CLogProgress::SetText(LPCSTR lpszText) {
    if (::IsWindow(m_hWnd))
        ::SetDlgItemTextA(m_hWnd, StatusId(), lpszText);
}

void CLogProgress::SetDoneText(LPCSTR lpszText) {
    if (!::IsWindow(m_hWnd))
        return;
    ::SetDlgItemTextA(m_hWnd, StatusId(), lpszText);
    if (m_bCancelled)
        ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
}

BOOL CLogProgress::PumpMessages() {
    // A message run here may end this window and, with it, this object (Cancel of background logging, the
    // document closed): each one is followed by a look at a flag on the stack, never at a member.
    bool bDeleted = false;
    bool* pOuterDeleted = m_pDeleted;
    m_pDeleted = &bDeleted;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        CWinThread* pThread = AfxGetThread();
        BOOL bMore = TRUE;
        if (pThread != nullptr) {
            bMore = pThread->PumpMessage();
        } else if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            bMore = msg.message != WM_QUIT;
            if (bMore && !(::IsWindow(m_hWnd) && ::IsDialogMessageA(m_hWnd, &msg))) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (bDeleted) {
            if (pOuterDeleted != nullptr)
                *pOuterDeleted = true;
            if (!bMore)
                ::PostQuitMessage(0);
            return FALSE;
        }
        if (!bMore) {
            // The quit was taken off the queue: put it back, so the application still ends after the save.
            ::PostQuitMessage(0);
            m_bCancelled = TRUE;
            m_pDeleted = pOuterDeleted;
            return FALSE;
        }
    }
    m_pDeleted = pOuterDeleted;
    return !m_bCancelled;
}

BOOL CLogProgress::IsShown() const {
    return ::IsWindow(m_hWnd) && ::IsWindowVisible(m_hWnd);
}

void CLogProgress::OnOK() {
    DestroyWindow();
}

void CLogProgress::OnCancel() {
    m_bCancelled = TRUE;
    if (!IsBackground())
        return; // the writer still draws into this window; it stops at its next look and finishes it
    // Background logging: the capture stops (the stop leaves a cancelled window to this), then the window goes.
    if (m_pDocument != nullptr)
        m_pDocument->OnUsbStopeventcapture();
    if (::IsWindow(m_hWnd))
        DestroyWindow();
}

void CLogProgress::PostNcDestroy() {
    CDialog::PostNcDestroy();
    if (IsBackground() && m_pDocument != nullptr)
        m_pDocument->BackgroundProgressDestroyed(this);
    if (m_bAutoDelete)
        delete this; // a modeless window: the object goes with its window
}
