#include "app/ui/frame/ActiveDocument.h"

#include "app/ui/frame/MainFrame.h"

CUSBLog* ActiveLogDocument() {
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    return pFrame != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
}
