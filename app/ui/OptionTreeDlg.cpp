#include "app/ui/OptionTreeDlg.h"

#include "WinResourceTable.h"
#include "app/core/Resource.h"

IMPLEMENT_DYNAMIC(COptionTreeDlg, CDialog)

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

} // namespace

COptionTreeDlg::COptionTreeDlg(CAppSettings* pSettings, BOOL bLiveDocument, BOOL bLogging, CWnd* pParentWnd)
    : CDialog(IDD_OPTIONS, pParentWnd), m_pSettings(pSettings), m_bLiveDocument(bLiveDocument), m_bLogging(bLogging) {}

void COptionTreeDlg::RegisterTemplate() {
    win32::RegisterDialogResource(nullptr, IDD_OPTIONS,
                                  {kDialogStyle,
                                   0,
                                   0,
                                   0,
                                   220,
                                   60,
                                   "Options",
                                   "MS Shell Dlg",
                                   8,
                                   {{"BUTTON", IDOK, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 109, 39, 50, 14},
                                    {"BUTTON", IDCANCEL, "Cancel", kChild | WS_TABSTOP, 0, 163, 39, 50, 14}}});
}

INT_PTR COptionTreeDlg::DoModal() {
    RegisterTemplate();
    return CDialog::DoModal();
}
