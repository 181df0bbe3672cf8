// CFrameWnd: the menu, accelerators and icon of its resource id.
#include "AfxFrameWnd.h"

void CFrameWnd::LoadFrameResources(UINT) {}

BOOL CFrameWnd::TranslateFrameAccelerator(MSG*) {
    return FALSE;
}
