// Editing a cell's text in the list's own edit control: LVM_EDITLABEL (item in wParam, column in lParam) asks
// the parent (LVN_BEGINLABELEDITA, non-zero refuses), then lays an edit over the cell with its text selected.
// Enter or the edit losing the focus ends it with the text, Escape without; LVN_ENDLABELEDITA carries the text
// (null when cancelled) and a non-zero answer keeps it in the cell.
#include <string>

#include "WinEdit.h"
#include "WinInput.h"
#include "WinRect.h"
#include "internal/ControlNotify.h"
#include "internal/ListViewState.h"

namespace win32::internal {

namespace {

const char kEditProcProp[] = "TdlListEditProc";

LRESULT CALLBACK LabelEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(edit, kEditProcProp));
    HWND list = GetParent(edit);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | CallWindowProcA(previous, edit, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            if (ListViewState* state = ListViewStateOf(list))
                EndLabelEdit(list, *state, wParam == VK_ESCAPE);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == 0x1B)
            return 0;
        break;
    case WM_KILLFOCUS: {
        const LRESULT result = CallWindowProcA(previous, edit, message, wParam, lParam);
        ListViewState* state = ListViewStateOf(list);
        if (state && state->edit == edit)
            EndLabelEdit(list, *state, false);
        return result;
    }
    case WM_NCDESTROY:
        RemovePropA(edit, kEditProcProp);
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        return CallWindowProcA(previous, edit, message, wParam, lParam);
    default: break;
    }
    return CallWindowProcA(previous, edit, message, wParam, lParam);
}

} // namespace

HWND BeginLabelEdit(HWND hwnd, ListViewState& state, int row, int column) {
    if (state.edit)
        EndLabelEdit(hwnd, state, true);
    RECT cell{};
    if (row < 0 || row >= ItemCount(hwnd, state) || column < 0 ||
        !SubItemRectFor(hwnd, state, row, column, LVIR_LABEL, &cell))
        return nullptr;
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    char buffer[kDispInfoBufferLength];
    const std::string text = CellText(hwnd, state, row, column, buffer, kDispInfoBufferLength);
    NMLVDISPINFOA info{};
    info.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = const_cast<char*>(text.c_str());
    info.item.lParam = state.items.empty() ? 0 : state.items[static_cast<size_t>(row)].lParam;
    info.item.state = ItemState(state, row, ~0U);
    if (SendNotify(hwnd, LVN_BEGINLABELEDITA, &info.hdr))
        return nullptr;
    HWND edit =
        CreateWindowExA(0, WC_EDITA, text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left,
                        cell.top, cell.right - cell.left, cell.bottom - cell.top, hwnd, nullptr, nullptr, nullptr);
    if (!edit)
        return nullptr;
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    SetPropA(
        edit, kEditProcProp,
        reinterpret_cast<HANDLE>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LabelEditProc))));
    state.edit = edit;
    state.editItem = row;
    state.editColumn = column;
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
    return edit;
}

void EndLabelEdit(HWND hwnd, ListViewState& state, bool cancel) {
    HWND edit = state.edit;
    if (!edit)
        return;
    // Cleared first: the focus leaving the edit while it goes must not end it twice.
    state.edit = nullptr;
    const int row = state.editItem, column = state.editColumn;
    std::string text = ControlText(edit);
    if (row < ItemCount(hwnd, state)) {
        NMLVDISPINFOA info{};
        info.item.mask = LVIF_TEXT | LVIF_PARAM;
        info.item.iItem = row;
        info.item.iSubItem = column;
        info.item.pszText = cancel ? nullptr : text.data();
        info.item.cchTextMax = static_cast<int>(text.size()) + 1;
        info.item.lParam = state.items.empty() ? 0 : state.items[static_cast<size_t>(row)].lParam;
        if (SendNotify(hwnd, LVN_ENDLABELEDITA, &info.hdr) && !cancel && !state.items.empty()) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = text.data();
            SendMessageA(hwnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    const bool hadFocus = GetFocus() == edit;
    DestroyWindow(edit);
    if (hadFocus && IsWindow(hwnd))
        SetFocus(hwnd);
}

} // namespace win32::internal
