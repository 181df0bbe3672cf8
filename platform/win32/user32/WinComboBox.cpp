// The combo box: a field (an edit, or the selected item drawn) and a pop-up list box that drops below it.
// Locks: none; its state lives in a property of its window, touched only on the window's thread.
#include "WinComboBox.h"

#include <algorithm>
#include <string>
#include <strings.h>

#include "WinEdit.h"
#include "WinFrameControl.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ComboList.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlComboState";
constexpr int kButtonWidth = 16;
constexpr int kFieldPadding = 6;
constexpr int kEditId = 1001;
constexpr int kDefaultListRows = 8;

struct ComboState {
    HWND list = nullptr;
    HWND edit = nullptr;
    HFONT font = nullptr;
    int listHeight = 0;
    int selectionAtDrop = CB_ERR;
    bool dropped = false;
    bool focused = false;
    bool settingText = false; // the program, not the user, is changing the edit's text
};

int FieldHeight(const ComboState& state) {
    return FontLineHeight(state.font) + kFieldPadding;
}

void Notify(HWND hwnd, WORD code) {
    NotifyParent(hwnd, code);
}

LRESULT ToList(const ComboState& state, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(state.list, message, wParam, lParam);
}

std::string ItemText(const ComboState& state, int index) {
    const LRESULT length = ToList(state, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ToList(state, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The field shows the selected item: the edit's text, or the combo's own.
void ShowSelection(HWND hwnd, ComboState& state) {
    const int selection = static_cast<int>(ToList(state, LB_GETCURSEL));
    const std::string text = selection >= 0 ? ItemText(state, selection) : std::string();
    if (state.edit) {
        state.settingText = true;
        SetWindowTextA(state.edit, text.c_str());
        SendMessageA(state.edit, EM_SETSEL, 0, -1);
        state.settingText = false;
    }
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Layout(HWND hwnd, ComboState& state) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int field = FieldHeight(state);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, field, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (state.edit)
        MoveWindow(state.edit, 2, 2, std::max(0, static_cast<int>(r.right - r.left) - kButtonWidth - 4), field - 4,
                   TRUE);
}

void Drop(HWND hwnd, ComboState& state) {
    if (state.dropped)
        return;
    Notify(hwnd, CBN_DROPDOWN);
    RECT r{};
    GetWindowRect(hwnd, &r);
    state.selectionAtDrop = static_cast<int>(ToList(state, LB_GETCURSEL));
    SetWindowPos(state.list, HWND_TOP, r.left, r.bottom, r.right - r.left, state.listHeight,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (state.selectionAtDrop >= 0)
        ToList(state, LB_SETTOPINDEX, static_cast<WPARAM>(state.selectionAtDrop));
    state.dropped = true;
    SetCapture(state.list);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Closes the list; a pick keeps its selection (CBN_SELCHANGE when it differs from the one at the drop), a
// cancel puts the old one back.
void CloseUp(HWND hwnd, ComboState& state, bool picked) {
    if (!state.dropped)
        return;
    state.dropped = false;
    if (GetCapture() == state.list)
        ReleaseCapture();
    ShowWindow(state.list, SW_HIDE);
    const int selection = static_cast<int>(ToList(state, LB_GETCURSEL));
    if (picked) {
        ShowSelection(hwnd, state);
        if (selection != state.selectionAtDrop)
            Notify(hwnd, CBN_SELCHANGE);
        Notify(hwnd, CBN_SELENDOK);
    } else {
        ToList(state, LB_SETCURSEL, static_cast<WPARAM>(state.selectionAtDrop));
        Notify(hwnd, CBN_SELENDCANCEL);
    }
    Notify(hwnd, CBN_CLOSEUP);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// A user's choice of an item while the list is closed.
void UserSelect(HWND hwnd, ComboState& state, int index) {
    const int count = static_cast<int>(ToList(state, LB_GETCOUNT));
    if (count == 0)
        return;
    index = std::clamp(index, 0, count - 1);
    if (index == ToList(state, LB_GETCURSEL))
        return;
    ToList(state, LB_SETCURSEL, static_cast<WPARAM>(index));
    ShowSelection(hwnd, state);
    Notify(hwnd, CBN_SELCHANGE);
}

void KeyDown(HWND hwnd, ComboState& state, WPARAM vk) {
    const int selection = static_cast<int>(ToList(state, LB_GETCURSEL));
    const int count = static_cast<int>(ToList(state, LB_GETCOUNT));
    if (vk == VK_F4) {
        if (state.dropped)
            CloseUp(hwnd, state, true);
        else
            Drop(hwnd, state);
        return;
    }
    if (state.dropped) {
        switch (vk) {
        case VK_UP:
        case VK_DOWN:
            if (count > 0)
                ToList(state, LB_SETCURSEL,
                       static_cast<WPARAM>(std::clamp(selection + (vk == VK_UP ? -1 : 1), 0, count - 1)));
            return;
        case VK_RETURN: CloseUp(hwnd, state, true); return;
        case VK_ESCAPE: CloseUp(hwnd, state, false); return;
        default: return;
        }
    }
    switch (vk) {
    case VK_UP:
    case VK_DOWN: UserSelect(hwnd, state, selection < 0 ? 0 : selection + (vk == VK_UP ? -1 : 1)); return;
    case VK_HOME:
    case VK_END:
        if (!state.edit)
            UserSelect(hwnd, state, vk == VK_HOME ? 0 : count - 1);
        return;
    default: win32::ForwardDialogKey(hwnd, vk); return;
    }
}

void Paint(HWND hwnd, HDC dc, ComboState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const bool enabled = IsWindowEnabled(hwnd);
    HBRUSH background = ParentColourBrush(hwnd, dc, WM_CTLCOLOREDIT, COLOR_WINDOWTEXT, COLOR_WINDOW, COLOR_WINDOW);
    FillRect(dc, &client, enabled ? background : GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    RECT button{client.right - kButtonWidth - 2, 2, client.right - 2, client.bottom - 2};
    DrawFrameControl(dc, &button, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (state.dropped ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
    if (state.edit)
        return;
    RECT field{3, 3, button.left - 1, client.bottom - 3};
    const int selection = static_cast<int>(ToList(state, LB_GETCURSEL));
    const bool highlighted = state.focused && !state.dropped;
    if (GetWindowLongA(hwnd, GWL_STYLE) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
        DRAWITEMSTRUCT draw{ODT_COMBOBOX,
                            static_cast<UINT>(GetDlgCtrlID(hwnd)),
                            static_cast<UINT>(selection),
                            ODA_DRAWENTIRE,
                            ODS_COMBOBOXEDIT | (highlighted ? ODS_SELECTED | ODS_FOCUS : 0u) |
                                (enabled ? 0u : ODS_DISABLED),
                            hwnd,
                            dc,
                            field,
                            selection >= 0 ? static_cast<ULONG_PTR>(ToList(state, LB_GETITEMDATA, selection)) : 0};
        if (HWND parent = GetParent(hwnd))
            SendMessageA(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
        return;
    }
    if (highlighted) {
        FillRect(dc, &field, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else if (!enabled) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    RECT text = field;
    text.left += 2;
    if (selection >= 0) {
        const std::string item = ItemText(state, selection);
        DrawTextA(dc, item.c_str(), static_cast<int>(item.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (highlighted)
        DrawFocusRect(dc, &field);
    SelectObject(dc, oldFont);
}

void Create(HWND hwnd, ComboState& state, const CREATESTRUCTA& cs) {
    const LONG style = cs.style;
    const int field = FieldHeight(state);
    state.listHeight =
        cs.cy - field > FontLineHeight(state.font) ? cs.cy - field : FontLineHeight(state.font) * kDefaultListRows + 2;
    DWORD listStyle = WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
    if (style & CBS_SORT)
        listStyle |= LBS_SORT;
    if (style & CBS_OWNERDRAWFIXED)
        listStyle |= LBS_OWNERDRAWFIXED;
    if (style & CBS_HASSTRINGS)
        listStyle |= LBS_HASSTRINGS;
    state.list = CreateWindowExA(0, WC_LISTBOXA, "", listStyle, 0, 0, cs.cx, state.listHeight, hwnd, nullptr,
                                 cs.hInstance, nullptr);
    SendMessageA(state.list, kListSetCombo, reinterpret_cast<WPARAM>(hwnd), 0);
    if ((style & 3) == CBS_DROPDOWN) {
        state.edit = CreateWindowExA(
            0, WC_EDITA, cs.lpszName ? cs.lpszName : "",
            WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | (style & CBS_UPPERCASE ? ES_UPPERCASE : 0) |
                (style & CBS_LOWERCASE ? ES_LOWERCASE : 0),
            0, 0, 1, 1, hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kEditId)), cs.hInstance, nullptr);
    }
    Layout(hwnd, state);
}

// The list's and the edit's messages to the combo, passed on as the combo's.
LRESULT FromChild(HWND hwnd, ComboState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == state.edit && state.edit) {
            switch (HIWORD(wParam)) {
            case EN_CHANGE: {
                const std::string text = ControlText(state.edit);
                DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
                if (!state.settingText) {
                    Notify(hwnd, CBN_EDITUPDATE);
                    Notify(hwnd, CBN_EDITCHANGE);
                }
                break;
            }
            case EN_SETFOCUS: Notify(hwnd, CBN_SETFOCUS); break;
            case EN_KILLFOCUS:
                CloseUp(hwnd, state, false);
                Notify(hwnd, CBN_KILLFOCUS);
                break;
            default: break;
            }
        }
        return 0;
    case WM_DRAWITEM: {
        // The list's rows are the combo's items to the parent.
        DRAWITEMSTRUCT draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        draw.CtlType = ODT_COMBOBOX;
        draw.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        HWND parent = GetParent(hwnd);
        return parent ? SendMessageA(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw)) : 0;
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT: {
        HWND parent = GetParent(hwnd);
        return parent ? SendMessageA(parent, message, wParam, lParam) : 0;
    }
    case kComboListClicked: CloseUp(hwnd, state, wParam != 0); return 0;
    default: return 0;
    }
}

LRESULT ComboMessage(HWND hwnd, ComboState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case CB_ADDSTRING: return ToList(state, LB_ADDSTRING, wParam, lParam);
    case CB_INSERTSTRING: return ToList(state, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: {
        const bool wasSelected = static_cast<LRESULT>(wParam) == ToList(state, LB_GETCURSEL);
        const LRESULT left = ToList(state, LB_DELETESTRING, wParam);
        if (wasSelected)
            ShowSelection(hwnd, state);
        return left;
    }
    case CB_RESETCONTENT:
        ToList(state, LB_RESETCONTENT);
        ShowSelection(hwnd, state);
        return CB_OKAY;
    case CB_GETCOUNT: return ToList(state, LB_GETCOUNT);
    case CB_GETLBTEXT: return ToList(state, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN: return ToList(state, LB_GETTEXTLEN, wParam);
    case CB_GETITEMDATA: return ToList(state, LB_GETITEMDATA, wParam);
    case CB_SETITEMDATA: return ToList(state, LB_SETITEMDATA, wParam, lParam);
    case CB_FINDSTRING: return ToList(state, LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT: return ToList(state, LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_GETTOPINDEX: return ToList(state, LB_GETTOPINDEX);
    case CB_SETTOPINDEX: return ToList(state, LB_SETTOPINDEX, wParam);
    case CB_GETITEMHEIGHT:
        return static_cast<int>(wParam) == -1 ? FieldHeight(state) : ToList(state, LB_GETITEMHEIGHT, 0);
    case CB_SETITEMHEIGHT: return static_cast<int>(wParam) == -1 ? CB_ERR : ToList(state, LB_SETITEMHEIGHT, 0, lParam);
    case CB_SETCURSEL: {
        const LRESULT result = ToList(state, LB_SETCURSEL, wParam);
        ShowSelection(hwnd, state);
        return result;
    }
    case CB_GETCURSEL: return ToList(state, LB_GETCURSEL);
    case CB_SELECTSTRING: {
        const LRESULT found = ToList(state, LB_SELECTSTRING, wParam, lParam);
        if (found != LB_ERR)
            ShowSelection(hwnd, state);
        return found;
    }
    case CB_SHOWDROPDOWN:
        if (wParam)
            Drop(hwnd, state);
        else
            CloseUp(hwnd, state, true);
        return TRUE;
    case CB_GETDROPPEDSTATE: return state.dropped;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto* rect = reinterpret_cast<RECT*>(lParam)) {
            GetWindowRect(hwnd, rect);
            rect->bottom += state.listHeight;
        }
        return TRUE;
    case CB_LIMITTEXT: return state.edit ? (SendMessageA(state.edit, EM_LIMITTEXT, wParam, 0), TRUE) : CB_ERR;
    case CB_GETEDITSEL: return state.edit ? SendMessageA(state.edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
        return state.edit
                   ? (SendMessageA(state.edit, EM_SETSEL, static_cast<WPARAM>(static_cast<short>(LOWORD(lParam))),
                                   static_cast<short>(HIWORD(lParam))),
                      TRUE)
                   : CB_ERR;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ComboState* state = ControlState<ComboState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_NCCREATE:
        // The scroll bar styles are the drop-down list's (it always scrolls): the field itself has none.
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) & ~(WS_VSCROLL | WS_HSCROLL));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_CREATE: Create(hwnd, *state, *reinterpret_cast<const CREATESTRUCTA*>(lParam)); return 0;
    case WM_DESTROY:
        if (state->list && IsWindow(state->list))
            DestroyWindow(state->list);
        state->list = nullptr;
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [state](HWND h, HDC dc) { Paint(h, dc, *state); });
    case WM_ERASEBKGND: return TRUE;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        SendMessageA(state->list, WM_SETFONT, wParam, lParam);
        if (state->edit)
            SendMessageA(state->edit, WM_SETFONT, wParam, lParam);
        Layout(hwnd, *state);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SETTEXT:
        if (state->edit) {
            state->settingText = true;
            SetWindowTextA(state->edit, reinterpret_cast<LPCSTR>(lParam));
            state->settingText = false;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        } else {
            // A drop-down list shows only its items: the text selects the item it names.
            const LRESULT found = ToList(*state, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam);
            if (found == LB_ERR)
                return CB_ERR;
            ToList(*state, LB_SETCURSEL, static_cast<WPARAM>(found));
            ShowSelection(hwnd, *state);
            return TRUE;
        }
    case WM_ENABLE:
        if (state->edit)
            EnableWindow(state->edit, wParam != 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
        if (state->edit) {
            SetFocus(state->edit);
            return 0;
        }
        state->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (state->edit)
            return 0;
        state->focused = false;
        CloseUp(hwnd, *state, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(hwnd);
        if (state->dropped)
            CloseUp(hwnd, *state, false);
        else
            Drop(hwnd, *state);
        return 0;
    case WM_KEYDOWN: KeyDown(hwnd, *state, wParam); return 0;
    case WM_CHAR:
        if (!state->edit && static_cast<unsigned char>(wParam) >= 0x20) {
            const char text[2] = {static_cast<char>(wParam), '\0'};
            const LRESULT found = ToList(*state, LB_FINDSTRING, static_cast<WPARAM>(ToList(*state, LB_GETCURSEL)),
                                         reinterpret_cast<LPARAM>(text));
            if (found != LB_ERR)
                UserSelect(hwnd, *state, static_cast<int>(found));
        }
        return 0;
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case kComboListClicked: return FromChild(hwnd, *state, message, wParam, lParam);
    default: return ComboMessage(hwnd, *state, message, wParam, lParam);
    }
}

} // namespace

BOOL GetComboBoxInfo(HWND combo, PCOMBOBOXINFO info) {
    char className[16] = {};
    if (!info || info->cbSize != sizeof(COMBOBOXINFO) || !GetClassNameA(combo, className, sizeof className) ||
        strcasecmp(className, WC_COMBOBOXA) != 0)
        return FALSE;
    auto* state = static_cast<ComboState*>(GetPropA(combo, kStateProp));
    if (!state)
        return FALSE;
    RECT client{};
    GetClientRect(combo, &client);
    info->rcButton = {client.right - kButtonWidth - 2, 2, client.right - 2, client.bottom - 2};
    info->rcItem = {3, 3, info->rcButton.left - 1, client.bottom - 3};
    info->stateButton = state->dropped ? STATE_SYSTEM_PRESSED : 0;
    info->hwndCombo = combo;
    info->hwndItem = state->edit ? state->edit : combo;
    info->hwndList = state->list;
    return TRUE;
}

namespace win32 {

void RegisterComboBoxClass() {
    RegisterControlClass(WC_COMBOBOXA, ComboProc, 0, CS_DBLCLKS | CS_PARENTDC);
}

} // namespace win32
