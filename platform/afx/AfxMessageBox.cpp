#include "AfxMessageBox.h"

#include "AfxString.h"
#include "AfxStringTable.h"

// Until the window system's message boxes are in, a box takes its default answer.
int AFXAPI AfxMessageBox(LPCTSTR, UINT nType, UINT) {
    switch (nType & 0xF) {
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return IDYES;
    case MB_RETRYCANCEL:
        return IDRETRY;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDOK;
    }
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    return AfxMessageBox(AfxFrameworkString(nIDPrompt), nType, nIDHelp == (UINT)-1 ? nIDPrompt : nIDHelp);
}
