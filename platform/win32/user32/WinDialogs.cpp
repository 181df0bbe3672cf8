// The dialog manager: dialogs from templates, their procedure, the modal run through the modal service, and
// keyboard navigation. Locks: none of its own; a dialog's state lives in a property of its window, touched only
// on the window's thread.
#include "WinDialogs.h"
#include "WinComboBox.h"
#include "WinEdit.h"
#include "WinListBox.h"
#include "WinScrollBarControl.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <strings.h>
#include <vector>

#include "WinGdi.h"
#include "WinHandles.h"
#include "WinInput.h"
#include "WinMessageBox.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinResourceTable.h"
#include "WinThreads.h"
#include "WinUserDraw.h"
#include "internal/DialogTemplates.h"
#include "internal/ModalService.h"
#include "winerror.h"

namespace {

const char kStateProp[] = "TdlDialogState";

struct DialogState {
    bool ended = false;
    INT_PTR result = 0;
    WORD defaultId = IDOK;
    HWND focus = nullptr; // the control that had the focus when the dialog last lost it
};

DialogState* StateOf(HWND dialog) {
    return static_cast<DialogState*>(GetPropA(dialog, kStateProp));
}

bool IsDialog(HWND hwnd) {
    return hwnd && StateOf(hwnd) != nullptr;
}

std::string TemplateName(LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return name ? name : "";
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcA(hwnd, message, wParam, lParam);
}

HFONT DialogFont() {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// A dialog's controls are its direct children; sibling order is creation order (the first is GW_CHILD).
HWND FirstChild(HWND dialog) {
    return GetWindow(dialog, GW_CHILD);
}

HWND LastChild(HWND dialog) {
    HWND child = GetWindow(dialog, GW_CHILD);
    return child ? GetWindow(child, GW_HWNDLAST) : nullptr;
}

HWND NextSibling(HWND dialog, HWND control, bool previous) {
    HWND next = GetWindow(control, previous ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!next)
        next = previous ? LastChild(dialog) : FirstChild(dialog);
    return next;
}

bool IsNavigable(HWND control) {
    return IsWindowVisible(control) && IsWindowEnabled(control);
}

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

// The child of `dialog` that holds `hwnd` (itself, or the ancestor that is a direct child).
HWND DirectChild(HWND dialog, HWND hwnd) {
    while (hwnd && GetParent(hwnd) != dialog)
        hwnd = GetParent(hwnd);
    return hwnd;
}

// The dialog passes the focus on to the control that last had it, else to its first tab stop.
void RestoreFocus(HWND dialog) {
    DialogState* state = StateOf(dialog);
    HWND focus = GetFocus();
    if (focus && IsChild(dialog, focus))
        return;
    HWND target = state && state->focus && IsChild(dialog, state->focus) ? state->focus : nullptr;
    if (!target)
        target = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (target)
        SetFocus(target);
}

// A mouse message that reached the dialog through a transparent control (a group box lets the mouse through)
// goes on to the control lying under that one.
bool ForwardMouse(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    POINT screen = at;
    ClientToScreen(dialog, &screen);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        if (!PtInRect(&r, screen) || !IsWindowVisible(child) || !IsWindowEnabled(child))
            continue;
        if (SendMessageA(child, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)) == HTTRANSPARENT)
            continue;
        POINT local = screen;
        ScreenToClient(child, &local);
        SendMessageA(child, message, wParam, MAKELPARAM(local.x, local.y));
        return true;
    }
    return false;
}

bool NavigateKey(HWND dialog, WPARAM vk, LRESULT code);

void PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button))
        return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void SetDefaultButton(HWND dialog, WORD id) {
    DialogState* state = StateOf(dialog);
    if (!state)
        return;
    HWND old = GetDlgItem(dialog, state->defaultId);
    if (old && (SendMessageA(old, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    state->defaultId = id;
    HWND button = GetDlgItem(dialog, id);
    if (button && (SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
        SendMessageA(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// Where a dialog's window goes (`rect` its window rectangle about the template's place): a child at the
// template's place in its parent; a top-level one with DS_CENTER centred in the work area of the screen, with
// DS_CENTERMOUSE centred on the cursor, else with its client area at the template's place in the owner's client
// area (on the screen with DS_ABSALIGN or without an owner); then kept inside the work area, caption first.
POINT DialogOrigin(const win32::DialogResource& resource, DWORD style, HWND parent, const RECT& rect) {
    if (style & WS_CHILD)
        return {rect.left, rect.top};
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(parent, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    POINT origin{rect.left, rect.top};
    if (resource.style & DS_CENTER) {
        origin = {work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2};
    } else if (resource.style & DS_CENTERMOUSE) {
        POINT cursor{};
        GetCursorPos(&cursor);
        origin = {cursor.x - width / 2, cursor.y - height / 2};
    } else if (parent && !(resource.style & DS_ABSALIGN)) {
        POINT client{0, 0};
        ClientToScreen(parent, &client);
        origin = {client.x + rect.left, client.y + rect.top};
    }
    origin.x = std::max(std::min<LONG>(origin.x, work.right - width), work.left);
    origin.y = std::max(std::min<LONG>(origin.y, work.bottom - height), work.top);
    return origin;
}

HWND CreateFromResource(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param, bool modal) {
    win32::DialogResource resource;
    if (!win32::GetDialogResource(instance, templateName, resource)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return win32::internal::CreateDialogFromTemplate(instance, resource, parent, proc, param, modal);
}

} // namespace

HWND win32::internal::CreateDialogFromTemplate(HINSTANCE instance, const DialogResource& resource, HWND parent,
                                               DLGPROC proc, LPARAM param, bool modal) {
    win32::RegisterDialogClasses();
    DWORD style = resource.style;
    if (modal)
        style = (style & ~(WS_CHILD | WS_VISIBLE)) | WS_POPUP;
    const bool visible = (style & WS_VISIBLE) != 0;
    style &= ~WS_VISIBLE;
    if ((style & WS_CHILD) && !parent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    RECT rect{resource.x, resource.y, resource.x + resource.cx, resource.y + resource.cy};
    const LONG units = GetDialogBaseUnits();
    const int baseX = LOWORD(units), baseY = HIWORD(units);
    auto mapRect = [&](RECT r) {
        return RECT{MulDiv(r.left, baseX, 4), MulDiv(r.top, baseY, 8), MulDiv(r.right, baseX, 4),
                    MulDiv(r.bottom, baseY, 8)};
    };
    rect = mapRect(rect);
    AdjustWindowRectEx(&rect, style, FALSE,
                       resource.exStyle | ((resource.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0));
    const POINT origin = DialogOrigin(resource, style, parent, rect);
    // A modal frame is the dialog's frame extended style, as the dialog manager makes it (the caption shows no
    // icon then).
    const DWORD exStyle = resource.exStyle | ((resource.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    HWND dialog = CreateWindowExA(exStyle, WC_DIALOG, resource.caption.c_str(), style, origin.x, origin.y,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    SetPropA(dialog, kStateProp, new DialogState);
    SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    for (const win32::DialogResourceItem& item : resource.items) {
        const RECT r = mapRect({item.x, item.y, item.x + item.cx, item.y + item.cy});
        // Dialogs are three-dimensional: a control's flat border becomes a sunken client edge.
        DWORD itemStyle = item.style | WS_CHILD, itemExStyle = item.exStyle;
        if (itemStyle & WS_BORDER) {
            itemStyle &= ~WS_BORDER;
            itemExStyle |= WS_EX_CLIENTEDGE;
        }
        HWND control = CreateWindowExA(itemExStyle, item.className.c_str(), item.text.c_str(), itemStyle, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, dialog,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            if (resource.style & DS_NOFAILCREATE)
                continue;
            DestroyWindow(dialog);
            return nullptr;
        }
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
        if ((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
            StateOf(dialog)->defaultId = static_cast<WORD>(item.id);
    }
    // Group boxes go below the other controls, so that the controls they frame are seen (and clicked) over
    // them; they are no tab stops, so the tab order stays the template's.
    std::vector<HWND> groupBoxes;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (strcasecmp(className, "BUTTON") == 0 && (StyleOf(child) & BS_TYPEMASK) == BS_GROUPBOX &&
            !(StyleOf(child) & WS_GROUP))
            groupBoxes.push_back(child);
    }
    for (HWND box : groupBoxes)
        SetWindowPos(box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && first && IsWindow(dialog)) {
        StateOf(dialog)->focus = first;
        SetFocus(first);
    }
    if (IsWindow(dialog) && visible)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

namespace win32 {

void RegisterButtonAndStaticClasses(); // WinButtons.cpp
void RegisterCommonControlClasses();   // WinProgressBar.cpp
void RegisterTreeViewClass();          // WinTreeView.cpp
void RegisterTabControlClass();        // WinTabControl.cpp
void RegisterToolTipsClass();          // WinToolTips.cpp
void RegisterListViewClasses();        // WinHeader.cpp

void RegisterDialogClasses() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, WC_DIALOG, &wc))
        return;
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = DialogWindowProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = WC_DIALOG;
    RegisterClassA(&wc);
    RegisterButtonAndStaticClasses();
    RegisterEditClass();
    RegisterListBoxClass();
    RegisterComboBoxClass();
    RegisterScrollBarClass();
    RegisterCommonControlClasses();
    RegisterTreeViewClass();
    RegisterTabControlClass();
    RegisterToolTipsClass();
    RegisterListViewClasses();
}

} // namespace win32

LONG GetDialogBaseUnits() {
    static const LONG units = [] {
        // As Windows reckons a dialog font's units: the average of the 52 letters, rounded, and the cell height.
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SIZE letters{};
        const bool measured =
            GetTextExtentPoint32A(dc, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &letters) &&
            letters.cx >= 26 && letters.cy > 0;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return measured ? MAKELONG((letters.cx / 26 + 1) / 2, letters.cy) : MAKELONG(6, 13);
    }();
    return units;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
    if (!IsDialog(dialog) || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const LONG units = GetDialogBaseUnits();
    rect->left = MulDiv(rect->left, LOWORD(units), 4);
    rect->right = MulDiv(rect->right, LOWORD(units), 4);
    rect->top = MulDiv(rect->top, HIWORD(units), 8);
    rect->bottom = MulDiv(rect->bottom, HIWORD(units), 8);
    return TRUE;
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        if (INT_PTR handled = proc(dialog, message, wParam, lParam)) {
            switch (message) {
            // These return the procedure's own value; the rest return DWLP_MSGRESULT.
            case WM_INITDIALOG:
            case WM_CTLCOLORMSGBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSCROLLBAR:
            case WM_CTLCOLORSTATIC:
            case WM_QUERYDRAGICON: return handled;
            default: return IsWindow(dialog) ? GetWindowLongPtrA(dialog, DWLP_MSGRESULT) : 0;
            }
        }
    }
    if (!IsWindow(dialog))
        return 0;
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_CLOSE:
        // Closing the dialog is its cancel button.
        PressButton(dialog, IDCANCEL);
        return 0;
    case DM_GETDEFID:
        if (DialogState* state = StateOf(dialog))
            return MAKELONG(state->defaultId, DC_HASDEFID);
        return 0;
    case DM_SETDEFID: SetDefaultButton(dialog, static_cast<WORD>(wParam)); return TRUE;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(DialogFont());
    case WM_SETFONT: return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_SETFOCUS: RestoreFocus(dialog); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (ForwardMouse(dialog, message, wParam, lParam))
            return 0;
        break;
    case WM_KEYDOWN:
        if (NavigateKey(dialog, wParam, 0))
            return 0;
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (DialogState* state = StateOf(dialog); state && focus && IsChild(dialog, focus))
                state->focus = focus;
        } else {
            RestoreFocus(dialog);
        }
        return 0;
    case WM_NCDESTROY: delete static_cast<DialogState*>(RemovePropA(dialog, kStateProp)); break;
    default: break;
    }
    return DefWindowProcA(dialog, message, wParam, lParam);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    return CreateFromResource(instance, templateName, parent, proc, param, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogState* state = IsWindow(dialog) ? StateOf(dialog) : nullptr;
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state->ended = true;
    state->result = result;
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

INT_PTR win32::internal::RunModalDialog(HWND dialog, ModalRequest request, INT_PTR defaultAnswer,
                                        const std::function<bool(INT_PTR)>& isValid) {
    DialogState* state = StateOf(dialog);
    if (!state)
        return -1;
    if (!state->ended) {
        ShowWindow(dialog, SW_SHOW);
        if (request.caption.empty()) {
            char title[256] = {};
            GetWindowTextA(dialog, title, sizeof title);
            request.caption = title;
        }
        win32::internal::ModalWindow window{dialog, [dialog]() -> std::optional<INT_PTR> {
                                                DialogState* s = IsWindow(dialog) ? StateOf(dialog) : nullptr;
                                                return s && s->ended ? std::optional<INT_PTR>(s->result) : std::nullopt;
                                            }};
        const INT_PTR answer = win32::internal::ResolveModalRequest(request, defaultAnswer, isValid, window);
        // An answer given outright presses its button, so the dialog's own handling of it runs.
        if (IsWindow(dialog) && !state->ended &&
            (answer == IDOK || answer == IDCANCEL || GetDlgItem(dialog, static_cast<int>(answer))))
            PressButton(dialog, static_cast<int>(answer));
        if (IsWindow(dialog) && !state->ended)
            EndDialog(dialog, answer);
    }
    INT_PTR result = -1;
    if (IsWindow(dialog)) {
        result = StateOf(dialog)->result;
        DestroyWindow(dialog);
    }
    return result;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // The owner waits, disabled, while the dialog is up; one of another thread is left alone.
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    HWND disabled = nullptr;
    if (owner && GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId() && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled = owner;
    }
    HWND dialog = CreateFromResource(instance, templateName, owner, proc, param, true);
    INT_PTR result = -1;
    if (dialog) {
        win32::ModalRequest request;
        request.kind = win32::ModalKind::Dialog;
        request.owner = owner;
        request.text = TemplateName(templateName);
        result = win32::internal::RunModalDialog(dialog, request, IDCANCEL, {});
    }
    if (disabled && IsWindow(disabled)) {
        EnableWindow(disabled, TRUE);
        SetActiveWindow(disabled);
    }
    return result;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    HWND first = GetWindow(dialog, GW_CHILD);
    if (!first)
        return nullptr;
    HWND start = control ? DirectChild(dialog, control) : nullptr;
    if (!start)
        start = previous ? LastChild(dialog) : FirstChild(dialog);
    // Without a start the first tab stop in order (the last one going backwards) is the answer.
    HWND at = control ? NextSibling(dialog, start, previous) : start;
    for (HWND end = at;;) {
        if ((StyleOf(at) & WS_TABSTOP) && IsNavigable(at))
            return at;
        at = NextSibling(dialog, at, previous);
        if (at == end)
            return control;
    }
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    HWND at = DirectChild(dialog, control);
    if (!at)
        return nullptr;
    // The group runs from a WS_GROUP control up to the next one; the walk wraps within it.
    HWND groupStart = at;
    while (!(StyleOf(groupStart) & WS_GROUP)) {
        HWND before = GetWindow(groupStart, GW_HWNDPREV);
        if (!before)
            break;
        groupStart = before;
    }
    auto nextInGroup = [&](HWND h) {
        HWND after = GetWindow(h, GW_HWNDNEXT);
        return !after || (StyleOf(after) & WS_GROUP) ? groupStart : after;
    };
    auto prevInGroup = [&](HWND h) {
        if (h == groupStart) {
            HWND last = h;
            while (GetWindow(last, GW_HWNDNEXT) && !(StyleOf(GetWindow(last, GW_HWNDNEXT)) & WS_GROUP))
                last = GetWindow(last, GW_HWNDNEXT);
            return last;
        }
        return GetWindow(h, GW_HWNDPREV);
    };
    for (HWND h = previous ? prevInGroup(at) : nextInGroup(at); h != at;
         h = previous ? prevInGroup(h) : nextInGroup(h)) {
        if (IsNavigable(h))
            return h;
    }
    return at;
}

namespace {

// A navigation key for the dialog (Tab, arrows in a group, Enter, Escape): true when it was used.
bool NavigateKey(HWND dialog, WPARAM vk, LRESULT code) {
    HWND focus = GetFocus();
    switch (vk) {
    case VK_TAB:
        if (code & DLGC_WANTTAB)
            return false;
        if (HWND next = GetNextDlgTabItem(dialog, focus, (GetKeyState(VK_SHIFT) & 0x8000) != 0)) {
            SetFocus(next);
            // Tabbing into an edit selects its whole text, ready to be typed over.
            if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageA(next, EM_SETSEL, 0, -1);
        }
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (code & DLGC_WANTARROWS)
            return false;
        if (focus && IsChild(dialog, focus)) {
            HWND next = GetNextDlgGroupItem(dialog, focus, vk == VK_LEFT || vk == VK_UP);
            if (next && next != focus) {
                SetFocus(next);
                // Moving onto an automatic radio button selects it.
                if ((StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                    (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
                    SendMessageA(next, BM_CLICK, 0, 0);
            }
        }
        return true;
    case VK_RETURN: {
        // A focused push button is the one Enter presses; otherwise the default button.
        int id = LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0));
        if (focus && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            id = GetDlgCtrlID(focus);
        PressButton(dialog, id);
        return true;
    }
    case VK_ESCAPE: PressButton(dialog, IDCANCEL); return true;
    default: return false;
    }
}

} // namespace

namespace win32 {

bool ForwardDialogKey(HWND control, WPARAM vk) {
    HWND dialog = GetParent(control);
    if (!IsDialog(dialog) || (GetWindowLongA(control, GWL_STYLE) & WS_CHILD) == 0)
        return false;
    return NavigateKey(dialog, vk, SendMessageA(control, WM_GETDLGCODE, vk, 0));
}

} // namespace win32

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg || !IsWindow(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)))
        return FALSE;
    const LRESULT code =
        msg->hwnd ? SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) : 0;
    if (msg->message == WM_KEYDOWN && !(code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) &&
        NavigateKey(dialog, msg->wParam, code))
        return TRUE;
    if (msg->message == WM_CHAR && !(code & (DLGC_WANTALLKEYS | DLGC_WANTCHARS)) &&
        (msg->wParam == '\t' || msg->wParam == '\r' || msg->wParam == 0x1B))
        return TRUE;
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (text && size > 0)
            *text = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, text, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    char* end = nullptr;
    const char* begin = text;
    while (*begin == ' ')
        ++begin;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    bool ok = end != begin && errno == 0;
    while (ok && *end == ' ')
        ++end;
    ok =
        ok && *end == '\0' && (isSigned ? value >= INT32_MIN && value <= INT32_MAX : value >= 0 && value <= UINT32_MAX);
    if (translated)
        *translated = ok;
    return ok ? static_cast<UINT>(value) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}
