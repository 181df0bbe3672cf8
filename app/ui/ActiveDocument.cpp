#include "app/ui/ActiveDocument.h"

#include "app/ui/MainFrame.h"

CUSBLog* ActiveLogDocument() {
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    return pFrame != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
}
