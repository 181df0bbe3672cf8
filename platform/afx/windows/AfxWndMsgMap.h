// Message-map entries of window messages, each calling its handler with the message's arguments unpacked
// (signed where the platform packs signed values: sizes, positions, wheel deltas).
#pragma once

#include "AfxGeometry.h"
#include "AfxMsgMap.h"

class CDC;
class CMenu;
class CScrollBar;
class CWnd;

// The handler's window arguments, as framework objects.
CWnd* AFXAPI AfxWndFromHandle(HWND hWnd);
CDC* AFXAPI AfxDCFromHandle(HDC hDC);
CMenu* AFXAPI AfxMenuFromHandle(HMENU hMenu);

#define AFX_WM_ENTRY(msg, ...) AFX_MSG_ENTRY(msg, 0, 0, 0, __VA_ARGS__)
#define AFX_LX static_cast<int>(static_cast<short>(LOWORD(c.lParam)))
#define AFX_LY static_cast<int>(static_cast<short>(HIWORD(c.lParam)))

#define ON_WM_CREATE()                                                                                                 \
    AFX_WM_ENTRY(WM_CREATE, c.lResult = AFX_THIS(p)->OnCreate(reinterpret_cast<LPCREATESTRUCT>(c.lParam)); return TRUE;)
#define ON_WM_DESTROY() AFX_WM_ENTRY(WM_DESTROY, AFX_THIS(p)->OnDestroy(); return TRUE;)
#define ON_WM_NCDESTROY() AFX_WM_ENTRY(WM_NCDESTROY, AFX_THIS(p)->OnNcDestroy(); return TRUE;)
#define ON_WM_CLOSE() AFX_WM_ENTRY(WM_CLOSE, AFX_THIS(p)->OnClose(); return TRUE;)
#define ON_WM_SIZE()                                                                                                   \
    AFX_WM_ENTRY(WM_SIZE, AFX_THIS(p)->OnSize(static_cast<UINT>(c.wParam), AFX_LX, AFX_LY); return TRUE;)
#define ON_WM_MOVE() AFX_WM_ENTRY(WM_MOVE, AFX_THIS(p)->OnMove(AFX_LX, AFX_LY); return TRUE;)
#define ON_WM_PAINT() AFX_WM_ENTRY(WM_PAINT, AFX_THIS(p)->OnPaint(); return TRUE;)
#define ON_WM_NCPAINT() AFX_WM_ENTRY(WM_NCPAINT, AFX_THIS(p)->OnNcPaint(); return TRUE;)
#define ON_WM_ERASEBKGND()                                                                                             \
    AFX_WM_ENTRY(WM_ERASEBKGND,                                                                                        \
                 c.lResult = AFX_THIS(p)->OnEraseBkgnd(AfxDCFromHandle(reinterpret_cast<HDC>(c.wParam)));              \
                 return TRUE;)
#define ON_WM_TIMER() AFX_WM_ENTRY(WM_TIMER, AFX_THIS(p)->OnTimer(static_cast<UINT_PTR>(c.wParam)); return TRUE;)
#define ON_WM_SETFOCUS()                                                                                               \
    AFX_WM_ENTRY(WM_SETFOCUS, AFX_THIS(p)->OnSetFocus(AfxWndFromHandle(reinterpret_cast<HWND>(c.wParam))); return TRUE;)
#define ON_WM_KILLFOCUS()                                                                                              \
    AFX_WM_ENTRY(WM_KILLFOCUS, AFX_THIS(p)->OnKillFocus(AfxWndFromHandle(reinterpret_cast<HWND>(c.wParam)));           \
                 return TRUE;)
#define ON_WM_CONTEXTMENU()                                                                                            \
    AFX_WM_ENTRY(WM_CONTEXTMENU, AFX_THIS(p)->OnContextMenu(AfxWndFromHandle(reinterpret_cast<HWND>(c.wParam)),        \
                                                            CPoint(AFX_LX, AFX_LY));                                   \
                 return TRUE;)
#define AFX_MOUSE_ENTRY(msg, fn)                                                                                       \
    AFX_WM_ENTRY(msg, AFX_THIS(p)->fn(static_cast<UINT>(c.wParam), CPoint(AFX_LX, AFX_LY)); return TRUE;)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_MOUSEWHEEL()                                                                                             \
    AFX_WM_ENTRY(WM_MOUSEWHEEL, c.lResult = AFX_THIS(p)->OnMouseWheel(                                                 \
                                    LOWORD(c.wParam), static_cast<short>(HIWORD(c.wParam)), CPoint(AFX_LX, AFX_LY));   \
                 return TRUE;)
#define AFX_KEY_ENTRY(msg, fn)                                                                                         \
    AFX_WM_ENTRY(msg, AFX_THIS(p)->fn(static_cast<UINT>(c.wParam), LOWORD(c.lParam), HIWORD(c.lParam)); return TRUE;)
#define ON_WM_KEYDOWN() AFX_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() AFX_KEY_ENTRY(WM_CHAR, OnChar)
#define AFX_SCROLL_ENTRY(msg, fn)                                                                                      \
    AFX_WM_ENTRY(msg,                                                                                                  \
                 AFX_THIS(p)->fn(LOWORD(c.wParam), static_cast<short>(HIWORD(c.wParam)),                               \
                                 reinterpret_cast<CScrollBar*>(AfxWndFromHandle(reinterpret_cast<HWND>(c.lParam))));   \
                 return TRUE;)
#define ON_WM_VSCROLL() AFX_SCROLL_ENTRY(WM_VSCROLL, OnVScroll)
#define ON_WM_HSCROLL() AFX_SCROLL_ENTRY(WM_HSCROLL, OnHScroll)
#define ON_WM_SHOWWINDOW()                                                                                             \
    AFX_WM_ENTRY(WM_SHOWWINDOW, AFX_THIS(p)->OnShowWindow(static_cast<BOOL>(c.wParam), static_cast<UINT>(c.lParam));   \
                 return TRUE;)
#define ON_WM_GETMINMAXINFO()                                                                                          \
    AFX_WM_ENTRY(WM_GETMINMAXINFO, AFX_THIS(p)->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(c.lParam)); return TRUE;)
#define ON_WM_WINDOWPOSCHANGING()                                                                                      \
    AFX_WM_ENTRY(WM_WINDOWPOSCHANGING, AFX_THIS(p)->OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(c.lParam));       \
                 return TRUE;)
#define ON_WM_WINDOWPOSCHANGED()                                                                                       \
    AFX_WM_ENTRY(WM_WINDOWPOSCHANGED, AFX_THIS(p)->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(c.lParam));         \
                 return TRUE;)
#define ON_WM_SETCURSOR()                                                                                              \
    AFX_WM_ENTRY(WM_SETCURSOR,                                                                                         \
                 c.lResult = AFX_THIS(p)->OnSetCursor(AfxWndFromHandle(reinterpret_cast<HWND>(c.wParam)),              \
                                                      LOWORD(c.lParam), HIWORD(c.lParam));                             \
                 return TRUE;)
#define ON_WM_DEVICECHANGE()                                                                                           \
    AFX_WM_ENTRY(WM_DEVICECHANGE, c.lResult = AFX_THIS(p)->OnDeviceChange(static_cast<UINT>(c.wParam),                 \
                                                                          static_cast<DWORD_PTR>(c.lParam));           \
                 return TRUE;)
#define ON_WM_SETTINGCHANGE()                                                                                          \
    AFX_WM_ENTRY(WM_SETTINGCHANGE,                                                                                     \
                 AFX_THIS(p)->OnSettingChange(static_cast<UINT>(c.wParam), reinterpret_cast<LPCTSTR>(c.lParam));       \
                 return TRUE;)
#define ON_WM_ENABLE() AFX_WM_ENTRY(WM_ENABLE, AFX_THIS(p)->OnEnable(static_cast<BOOL>(c.wParam)); return TRUE;)
#define ON_WM_ACTIVATE()                                                                                               \
    AFX_WM_ENTRY(WM_ACTIVATE,                                                                                          \
                 AFX_THIS(p)->OnActivate(LOWORD(c.wParam), AfxWndFromHandle(reinterpret_cast<HWND>(c.lParam)),         \
                                         HIWORD(c.wParam) != 0);                                                       \
                 return TRUE;)
#define ON_WM_INITMENUPOPUP()                                                                                          \
    AFX_WM_ENTRY(WM_INITMENUPOPUP, AFX_THIS(p)->OnInitMenuPopup(AfxMenuFromHandle(reinterpret_cast<HMENU>(c.wParam)),  \
                                                                LOWORD(c.lParam), HIWORD(c.lParam) != 0);              \
                 return TRUE;)

// The colours of a child control (WM_CTLCOLORMSGBOX ... WM_CTLCOLORSTATIC): HBRUSH OnCtlColor(CDC*, CWnd*,
// UINT nCtlColor), nCtlColor being CTLCOLOR_MSGBOX (0) ... CTLCOLOR_STATIC (6).
#define AFX_CTLCOLOR_ENTRY(msg)                                                                                        \
    AFX_WM_ENTRY(msg, c.lResult = reinterpret_cast<LRESULT>(AFX_THIS(p)->OnCtlColor(                                   \
                          AfxDCFromHandle(reinterpret_cast<HDC>(c.wParam)),                                            \
                          AfxWndFromHandle(reinterpret_cast<HWND>(c.lParam)), (msg)-WM_CTLCOLORMSGBOX));               \
                 return TRUE;)
#define ON_WM_CTLCOLOR()                                                                                               \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORMSGBOX)                                                                              \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLOREDIT)                                                                                \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORLISTBOX)                                                                             \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORBTN)                                                                                 \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORDLG)                                                                                 \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSCROLLBAR)                                                                           \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSTATIC)

// A control's own colours, reflected to it by its parent: HBRUSH CtlColor(CDC*, UINT nCtlColor); a null brush
// leaves the colours to the parent.
#define AFX_CTLCOLOR_REFLECT_ENTRY(msg)                                                                                \
    AFX_WM_ENTRY((msg) + WM_REFLECT_BASE,                                                                              \
                 HBRUSH hbr =                                                                                          \
                     AFX_THIS(p)->CtlColor(AfxDCFromHandle(reinterpret_cast<HDC>(c.wParam)), (msg)-WM_CTLCOLORMSGBOX); \
                 c.lResult = reinterpret_cast<LRESULT>(hbr); return hbr != nullptr ? TRUE : FALSE;)
#define ON_WM_CTLCOLOR_REFLECT()                                                                                       \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORMSGBOX)                                                                      \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLOREDIT)                                                                        \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORLISTBOX)                                                                     \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORBTN)                                                                         \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORDLG)                                                                         \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORSCROLLBAR)                                                                   \
    AFX_CTLCOLOR_REFLECT_ENTRY(WM_CTLCOLORSTATIC)
