#include "app/ui/dialogs/PlainMessage.h"

#include "afxwin.h"
#include "app/ui/dialogs/StopMessage.h"

int ShowPlainMessage(LPCSTR lpszText, UINT nType) {
    CWnd* pMainWnd = AfxGetMainWnd();
    return ::MessageBoxA(pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr, lpszText, kStopMessageCaption, nType);
}
