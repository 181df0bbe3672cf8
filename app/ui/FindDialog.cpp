#include "app/ui/FindDialog.h"

#include "WinResourceTable.h"
#include "app/core/Resource.h"
#include "app/core/USBLog.h"

IMPLEMENT_DYNAMIC(CFindDialog, CDialog)

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

void RegisterFindTemplate() {
    win32::RegisterDialogResource(nullptr, IDD_FIND,
                                  {kDialogStyle,
                                   0,
                                   0,
                                   0,
                                   200,
                                   40,
                                   "Find",
                                   "MS Shell Dlg",
                                   8,
                                   {{"BUTTON", IDCANCEL, "Close", kChild | WS_TABSTOP, 0, 143, 19, 50, 14}}});
}

} // namespace

CFindDialog::CFindDialog() : CDialog(IDD_FIND, nullptr) {}

BOOL CFindDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    if (s_bFailCreate)
        return FALSE;
    RegisterFindTemplate();
    return CDialog::Create(nIDTemplate, pParentWnd);
}

void CFindDialog::OnOK() {
    DestroyWindow();
}

void CFindDialog::OnCancel() {
    // Modeless: closing destroys the window rather than ending a modal loop.
    DestroyWindow();
}

void CFindDialog::PostNcDestroy() {
    CDialog::PostNcDestroy();
    if (m_pDocument != nullptr)
        m_pDocument->FindDialogDestroyed(this);
    delete this; // a modeless window: the object goes with its window
}
