#include "AfxMessageBox.h"

#include "AfxString.h"
#include "AfxStringTable.h"
#include "AfxWinApp.h"
#include "AfxWnd.h"

namespace {

// The box's owner: the main window, when it is still there.
HWND MessageBoxOwner() {
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hWnd = pMainWnd != nullptr ? pMainWnd->m_hWnd : nullptr;
    return hWnd != nullptr && ::IsWindow(hWnd) ? hWnd : nullptr;
}

} // namespace

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: nType |= MB_ICONEXCLAMATION; break;
        case MB_YESNO:
        case MB_YESNOCANCEL: nType |= MB_ICONQUESTION; break;
        default: break;
        }
    }
    return ::MessageBoxA(MessageBoxOwner(), lpszText, AfxGetAppName(), nType);
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    return AfxMessageBox(AfxFrameworkString(nIDPrompt), nType, nIDHelp == (UINT)-1 ? nIDPrompt : nIDHelp);
}
