#include "AfxWndMsgMap.h"

#include "AfxDC.h"
#include "AfxWnd.h"

CWnd* AFXAPI AfxWndFromHandle(HWND hWnd) {
    return CWnd::FromHandle(hWnd);
}

CDC* AFXAPI AfxDCFromHandle(HDC hDC) {
    return CDC::FromHandle(hDC);
}
