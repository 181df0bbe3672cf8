// The "BUTTON" and "STATIC" classes: push buttons, check boxes, radio buttons (automatic forms included),
// group boxes and owner-drawn buttons; statics with text or a frame. Each paints itself, into the DC given in
// WM_PAINT's wParam too. Locks: none; a control's state lives in its window's extra bytes.
#include <cstdlib>
#include <string>

#include "WinDialogs.h"
#include "WinFrameControl.h"
#include "WinGdi.h"
#include "WinIcons.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlSupport.h"

using win32::internal::ControlText;
using win32::internal::NotifyParent;
using win32::internal::PaintControl;
using win32::internal::RegisterControlClass;

namespace {

// The parent's WM_CTLCOLOR answer sets the DC's colours; a null brush falls back to the button face.
HBRUSH ControlBrush(HWND hwnd, HDC dc, UINT message) {
    return win32::internal::ParentColourBrush(hwnd, dc, message, COLOR_BTNTEXT, COLOR_BTNFACE, COLOR_BTNFACE);
}

// Extra bytes of a button: check state, pushed/focus state, font.
constexpr int kCheckSlot = 0;
constexpr int kStateSlot = 8;
constexpr int kFontSlot = 16;
constexpr int kButtonExtra = 24;
constexpr int kBoxSize = 13;

LONG TypeOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK;
}

bool IsCheckType(LONG type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadioType(LONG type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// An automatic radio button that gets checked clears the rest of its group.
void ClearRadioGroup(HWND button) {
    HWND parent = GetParent(button);
    if (!parent)
        return;
    HWND at = button;
    while (at && !(GetWindowLongA(at, GWL_STYLE) & WS_GROUP) && GetWindow(at, GW_HWNDPREV))
        at = GetWindow(at, GW_HWNDPREV);
    for (bool first = true; at; at = GetWindow(at, GW_HWNDNEXT), first = false) {
        if (!first && (GetWindowLongA(at, GWL_STYLE) & WS_GROUP))
            break;
        if (at != button && TypeOf(at) == BS_AUTORADIOBUTTON &&
            (SendMessageA(at, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            SendMessageA(at, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void Click(HWND hwnd) {
    const LONG type = TypeOf(hwnd);
    const LONG_PTR check = GetWindowLongPtrA(hwnd, kCheckSlot);
    if (type == BS_AUTOCHECKBOX)
        SendMessageA(hwnd, BM_SETCHECK, check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    else if (type == BS_AUTO3STATE)
        SendMessageA(hwnd, BM_SETCHECK, (check + 1) % 3, 0);
    else if (type == BS_AUTORADIOBUTTON) {
        SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        ClearRadioGroup(hwnd);
    }
    NotifyParent(hwnd, BN_CLICKED);
}

void PaintButton(HWND hwnd, HDC dc) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    const LONG type = style & BS_TYPEMASK;
    const LONG_PTR state = GetWindowLongPtrA(hwnd, kStateSlot);
    const bool enabled = IsWindowEnabled(hwnd);
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = (state & BST_PUSHED ? ODS_SELECTED : 0) | (state & BST_FOCUS ? ODS_FOCUS : 0) |
                         (enabled ? 0 : ODS_DISABLED);
        item.hwndItem = hwnd;
        item.hDC = dc;
        item.rcItem = client;
        if (HWND parent = GetParent(hwnd))
            SendMessageA(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        return;
    }
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(hwnd, kFontSlot))
                                           ? reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(hwnd, kFontSlot))
                                           : GetStockObject(DEFAULT_GUI_FONT));
    HBRUSH background =
        ControlBrush(hwnd, dc, type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
    FillRect(dc, &client, background);
    SetBkMode(dc, TRANSPARENT);
    if (!enabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const std::string text = ControlText(hwnd);
    if (type == BS_GROUPBOX) {
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        RECT frame{client.left, client.top + extent.cy / 2, client.right, client.bottom};
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        RECT label{client.left + 8, client.top, client.left + 12 + extent.cx, client.top + extent.cy};
        FillRect(dc, &label, background);
        label.left += 2;
        DrawTextA(dc, text.c_str(), -1, &label, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    } else if (IsCheckType(type) || IsRadioType(type)) {
        const int top = (client.top + client.bottom - kBoxSize) / 2;
        const bool leftText = (style & BS_LEFTTEXT) != 0;
        RECT box{leftText ? client.right - kBoxSize : client.left, top, 0, top + kBoxSize};
        box.right = box.left + kBoxSize;
        const LONG_PTR check = GetWindowLongPtrA(hwnd, kCheckSlot);
        DrawFrameControl(dc, &box, DFC_BUTTON,
                         (IsRadioType(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK) |
                             (check == BST_UNCHECKED ? 0 : DFCS_CHECKED) |
                             (check == BST_INDETERMINATE ? DFCS_BUTTON3STATE : 0) | (enabled ? 0 : DFCS_INACTIVE) |
                             (state & BST_PUSHED ? DFCS_PUSHED : 0));
        RECT label{leftText ? client.left : box.right + 4, client.top, leftText ? box.left - 4 : client.right,
                   client.bottom};
        DrawTextA(dc, text.c_str(), -1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (state & BST_FOCUS)
            DrawFocusRect(dc, &label);
    } else {
        RECT face = client;
        if (type == BS_DEFPUSHBUTTON) {
            FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            InflateRect(&face, -1, -1);
        }
        RECT edge = face;
        DrawEdge(dc, &edge, state & BST_PUSHED ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        RECT label = face;
        if (state & BST_PUSHED)
            OffsetRect(&label, 1, 1);
        DrawTextA(dc, text.c_str(), -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (state & BST_FOCUS) {
            InflateRect(&face, -4, -4);
            DrawFocusRect(dc, &face);
        }
    }
    SelectObject(dc, oldFont);
}

void SetState(HWND hwnd, LONG_PTR bit, bool on) {
    const LONG_PTR state = GetWindowLongPtrA(hwnd, kStateSlot);
    const LONG_PTR changed = on ? state | bit : state & ~bit;
    if (changed != state) {
        SetWindowLongPtrA(hwnd, kStateSlot, changed);
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LONG type = TypeOf(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        if (type == BS_DEFPUSHBUTTON)
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_PUSHBUTTON || type == BS_OWNERDRAW)
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        if (IsRadioType(type))
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (type == BS_GROUPBOX)
            return DLGC_STATIC;
        return DLGC_BUTTON;
    case WM_NCHITTEST:
        // A group box frames other controls: the mouse goes through it to them.
        return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, PaintButton);
    case WM_ERASEBKGND: return TRUE;
    case WM_SETFONT:
        SetWindowLongPtrA(hwnd, kFontSlot, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return GetWindowLongPtrA(hwnd, kFontSlot);
    case WM_SETTEXT:
    case WM_ENABLE: {
        LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    }
    case BM_GETCHECK: return IsCheckType(type) || IsRadioType(type) ? GetWindowLongPtrA(hwnd, kCheckSlot) : 0;
    case BM_SETCHECK: {
        if (!IsCheckType(type) && !IsRadioType(type))
            return 0;
        LONG_PTR check = static_cast<LONG_PTR>(wParam);
        if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE)
            check = BST_CHECKED;
        if (check != BST_UNCHECKED && check != BST_CHECKED && check != BST_INDETERMINATE)
            check = BST_UNCHECKED;
        if (GetWindowLongPtrA(hwnd, kCheckSlot) != check) {
            SetWindowLongPtrA(hwnd, kCheckSlot, check);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case BM_GETSTATE: return GetWindowLongPtrA(hwnd, kStateSlot) | GetWindowLongPtrA(hwnd, kCheckSlot);
    case BM_SETSTATE: SetState(hwnd, BST_PUSHED, wParam != 0); return 0;
    case BM_SETSTYLE: {
        const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        SetWindowLongA(hwnd, GWL_STYLE, (style & ~0xFFFF) | static_cast<LONG>(wParam & 0xFFFF));
        if (lParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case BM_CLICK:
        if (IsWindowEnabled(hwnd) && type != BS_GROUPBOX)
            Click(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX)
            break;
        SetFocus(hwnd);
        SetCapture(hwnd);
        SetState(hwnd, BST_PUSHED, true);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd)
            return 0;
        const bool pushed = (GetWindowLongPtrA(hwnd, kStateSlot) & BST_PUSHED) != 0;
        SetState(hwnd, BST_PUSHED, false);
        ReleaseCapture();
        RECT client{};
        GetClientRect(hwnd, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (pushed && PtInRect(&client, at))
            Click(hwnd);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX)
            SetState(hwnd, BST_PUSHED, true);
        else
            win32::ForwardDialogKey(hwnd, wParam);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && (GetWindowLongPtrA(hwnd, kStateSlot) & BST_PUSHED)) {
            SetState(hwnd, BST_PUSHED, false);
            Click(hwnd);
        }
        return 0;
    case WM_SETFOCUS: SetState(hwnd, BST_FOCUS, true); return 0;
    case WM_KILLFOCUS: SetState(hwnd, BST_FOCUS | BST_PUSHED, false); return 0;
    default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- statics

constexpr int kStaticFontSlot = 0;
constexpr int kStaticIconSlot = 8;
constexpr int kStaticExtra = 16;

HICON StaticIcon(HWND hwnd) {
    return reinterpret_cast<HICON>(GetWindowLongPtrA(hwnd, kStaticIconSlot));
}

// An icon static names its icon by its text ("#101" or a name), loaded from the module that made the window.
void LoadStaticIcon(HWND hwnd) {
    const std::string name = ControlText(hwnd);
    if (name.empty())
        return;
    auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    LPCSTR resource = name[0] == '#' ? MAKEINTRESOURCEA(std::atoi(name.c_str() + 1)) : name.c_str();
    HICON icon = LoadIconA(module, resource);
    SetWindowLongPtrA(hwnd, kStaticIconSlot, reinterpret_cast<LONG_PTR>(icon));
}

void PaintStatic(HWND hwnd, HDC dc) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    const LONG type = style & SS_TYPEMASK;
    switch (type) {
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
        FillRect(dc, &client,
                 GetSysColorBrush(type == SS_BLACKRECT  ? COLOR_WINDOWFRAME
                                  : type == SS_GRAYRECT ? COLOR_BTNSHADOW
                                                        : COLOR_BTNHIGHLIGHT));
        return;
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME:
        FrameRect(dc, &client,
                  GetSysColorBrush(type == SS_BLACKFRAME  ? COLOR_WINDOWFRAME
                                   : type == SS_GRAYFRAME ? COLOR_BTNSHADOW
                                                          : COLOR_BTNHIGHLIGHT));
        return;
    case SS_ETCHEDFRAME:
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT: {
        RECT edge = client;
        DrawEdge(dc, &edge, EDGE_ETCHED, type == SS_ETCHEDHORZ ? BF_TOP : type == SS_ETCHEDVERT ? BF_LEFT : BF_RECT);
        return;
    }
    default: break;
    }
    HBRUSH background = ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &client, background);
    if (type == SS_ICON) {
        if (HICON icon = StaticIcon(hwnd))
            DrawIcon(dc, 0, 0, icon);
        return;
    }
    if (!IsWindowEnabled(hwnd))
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    auto font = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(hwnd, kStaticFontSlot));
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    format |= type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE)
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    const std::string text = ControlText(hwnd);
    DrawTextA(dc, text.c_str(), -1, &client, format);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, PaintStatic);
    case WM_ERASEBKGND: return TRUE;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_CREATE:
        if ((GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            LoadStaticIcon(hwnd);
        return 0;
    case STM_SETICON: {
        HICON previous = StaticIcon(hwnd);
        SetWindowLongPtrA(hwnd, kStaticIconSlot, static_cast<LONG_PTR>(wParam));
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON: return reinterpret_cast<LRESULT>(StaticIcon(hwnd));
    case WM_NCHITTEST:
        // Only a notifying static takes the mouse; the others let it through to their parent.
        return GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN:
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY)
            NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY)
            NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case WM_SETFONT:
        SetWindowLongPtrA(hwnd, kStaticFontSlot, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return GetWindowLongPtrA(hwnd, kStaticFontSlot);
    case WM_SETTEXT:
    case WM_ENABLE: {
        LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    }
    default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

namespace win32 {

void RegisterButtonAndStaticClasses() {
    RegisterControlClass("BUTTON", ButtonProc, kButtonExtra, CS_DBLCLKS | CS_PARENTDC);
    RegisterControlClass("STATIC", StaticProc, kStaticExtra, CS_DBLCLKS | CS_PARENTDC);
}

} // namespace win32
