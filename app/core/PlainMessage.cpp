#include "app/core/PlainMessage.h"

#include "afxwin.h"
#include "app/core/StopMessage.h"

int ShowPlainMessage(LPCSTR lpszText, UINT nType) {
    CWnd* pMainWnd = AfxGetMainWnd();
    return ::MessageBoxA(pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr, lpszText, kStopMessageCaption, nType);
}
