#include "app/ui/panes/StackListMessages.h"

void SendStackListMessage(UINT nMessage, LPARAM lParam) {
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr && pMainWnd->GetSafeHwnd() != nullptr)
        pMainWnd->SendMessageToDescendants(nMessage, 0, lParam, TRUE, FALSE);
}
