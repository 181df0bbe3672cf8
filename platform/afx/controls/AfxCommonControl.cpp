// What the common controls' framework objects share.
#include "AfxCommonControl.h"

BOOL AfxCreateCommonControl(CWnd& control, DWORD dwExStyle, LPCTSTR lpszClass, DWORD dwStyle, const RECT& rect,
                            CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return control.CWnd::CreateEx(dwExStyle, lpszClass, "", dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

void AfxDestroyCommonControl(CWnd& control) {
    if (control.m_hWnd != nullptr && CWnd::FromHandlePermanent(control.m_hWnd) == &control)
        ::DestroyWindow(control.UnsubclassWindow());
}
