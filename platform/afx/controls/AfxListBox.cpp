// The list box's framework objects.
#include "AfxListBox.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CCheckListBox, CListBox)

namespace {

constexpr int kCheckSize = 13;
constexpr int kCheckGap = 4;

} // namespace

CListBox::~CListBox() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(UnsubclassWindow());
}

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return CWnd::Create(WC_LISTBOX, "", dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

void CListBox::GetText(int nIndex, CString& rString) const {
    const int length = GetTextLen(nIndex);
    if (length < 0) {
        rString.Empty();
        return;
    }
    Send(LB_GETTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(rString.GetBuffer(length)));
    rString.ReleaseBuffer(length);
}

UINT CListBox::ItemFromPoint(CPoint pt, BOOL& bOutside) const {
    const LRESULT at = Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    bOutside = HIWORD(at) != 0;
    return LOWORD(at);
}

void CListBox::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

// ---- the check list

BOOL CCheckListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    dwStyle = (dwStyle & ~LBS_OWNERDRAWVARIABLE) | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    if (!CListBox::Create(dwStyle, rect, pParentWnd, nID))
        return FALSE;
    Sync();
    return TRUE;
}

void CCheckListBox::Sync() {
    const int count = GetCount();
    if (count >= 0 && m_checks.size() < static_cast<size_t>(count))
        m_checks.resize(static_cast<size_t>(count));
    if (GetItemHeight(0) < kCheckSize + 2)
        SetItemHeight(0, kCheckSize + 2);
}

void CCheckListBox::SetCheckStyle(UINT nStyle) {
    if (nStyle == BS_CHECKBOX || nStyle == BS_AUTOCHECKBOX || nStyle == BS_3STATE || nStyle == BS_AUTO3STATE)
        m_nStyle = nStyle;
}

void CCheckListBox::SetCheck(int nIndex, int nCheck) {
    Sync();
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_checks.size())
        return;
    if (nCheck == BST_INDETERMINATE && m_nStyle != BS_3STATE && m_nStyle != BS_AUTO3STATE)
        return;
    m_checks[static_cast<size_t>(nIndex)].check = nCheck;
    CRect item;
    if (GetItemRect(nIndex, &item) != LB_ERR)
        ::InvalidateRect(m_hWnd, &item, FALSE);
}

int CCheckListBox::GetCheck(int nIndex) const {
    return nIndex >= 0 && static_cast<size_t>(nIndex) < m_checks.size() ? m_checks[static_cast<size_t>(nIndex)].check
                                                                        : BST_UNCHECKED;
}

void CCheckListBox::Enable(int nIndex, BOOL bEnabled) {
    Sync();
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_checks.size())
        return;
    m_checks[static_cast<size_t>(nIndex)].enabled = bEnabled != FALSE;
    CRect item;
    if (GetItemRect(nIndex, &item) != LB_ERR)
        ::InvalidateRect(m_hWnd, &item, FALSE);
}

BOOL CCheckListBox::IsEnabled(int nIndex) const {
    return nIndex >= 0 && static_cast<size_t>(nIndex) < m_checks.size() &&
           m_checks[static_cast<size_t>(nIndex)].enabled;
}

CRect CCheckListBox::OnGetCheckPosition(CRect, CRect rectCheckBox) {
    return rectCheckBox;
}

CRect CCheckListBox::CheckBoxOf(int nIndex) {
    CRect item;
    GetItemRect(nIndex, &item);
    const int top = item.top + (item.Height() - kCheckSize) / 2;
    return OnGetCheckPosition(item, CRect(item.left + 1, top, item.left + 1 + kCheckSize, top + kCheckSize));
}

// A user's toggle of a box: refused for a disabled item; the automatic styles step the check, the others leave
// it to the parent, which hears CLBN_CHKCHANGE either way.
void CCheckListBox::UserToggle(int nIndex) {
    if (!IsEnabled(nIndex))
        return;
    int& check = m_checks[static_cast<size_t>(nIndex)].check;
    if (m_nStyle == BS_AUTOCHECKBOX)
        check = check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (m_nStyle == BS_AUTO3STATE)
        check = (check + 1) % 3;
    CRect item;
    GetItemRect(nIndex, &item);
    ::InvalidateRect(m_hWnd, &item, FALSE);
    if (HWND parent = ::GetParent(m_hWnd))
        ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), CLBN_CHKCHANGE),
                       reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CCheckListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        Sync();
        const LRESULT at = CListBox::WindowProc(message, wParam, lParam);
        if (at >= 0 && static_cast<size_t>(at) <= m_checks.size())
            m_checks.insert(m_checks.begin() + at, ItemCheck{});
        return at;
    }
    case LB_DELETESTRING: {
        const LRESULT left = CListBox::WindowProc(message, wParam, lParam);
        if (left != LB_ERR && wParam < m_checks.size())
            m_checks.erase(m_checks.begin() + static_cast<std::ptrdiff_t>(wParam));
        return left;
    }
    case LB_RESETCONTENT: m_checks.clear(); break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        Sync();
        const CPoint at(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        BOOL outside = TRUE;
        const int index = static_cast<int>(ItemFromPoint(at, outside));
        if (outside || !CheckBoxOf(index).PtInRect(at))
            break;
        // The click on the box makes the row the current one, as a click on its text would, before the toggle,
        // so the parent hears of the change with the caret on that row.
        const LRESULT result = CListBox::WindowProc(message, wParam, lParam);
        UserToggle(index);
        return result;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            Sync();
            const int index = GetCaretIndex();
            if (index >= 0 && index < GetCount())
                UserToggle(index);
            return 0;
        }
        break;
    default: break;
    }
    return CListBox::WindowProc(message, wParam, lParam);
}

void CCheckListBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    const DRAWITEMSTRUCT& d = *lpDrawItemStruct;
    if (static_cast<int>(d.itemID) < 0 || static_cast<int>(d.itemID) >= GetCount())
        return;
    const int index = static_cast<int>(d.itemID);
    const bool enabled = IsEnabled(index) && !(d.itemState & ODS_DISABLED);
    RECT row = d.rcItem;
    const CRect box = CheckBoxOf(index);
    RECT textRect{box.right + kCheckGap, row.top, row.right, row.bottom};
    ::FillRect(d.hDC, &row, ::GetSysColorBrush(COLOR_WINDOW));
    RECT boxRect = box;
    const int check = GetCheck(index);
    ::DrawFrameControl(d.hDC, &boxRect, DFC_BUTTON,
                       DFCS_BUTTONCHECK | (check == BST_UNCHECKED ? 0 : DFCS_CHECKED) |
                           (check == BST_INDETERMINATE ? DFCS_BUTTON3STATE : 0) | (enabled ? 0 : DFCS_INACTIVE));
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    if (selected)
        ::FillRect(d.hDC, &textRect, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    CString text;
    GetText(index, text);
    ::SetBkMode(d.hDC, TRANSPARENT);
    ::SetTextColor(d.hDC, ::GetSysColor(!enabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    HGDIOBJ oldFont = ::SelectObject(d.hDC, reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0))
                                                ? reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0))
                                                : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT label = textRect;
    label.left += 1;
    ::DrawTextA(d.hDC, text, text.GetLength(), &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(d.hDC, oldFont);
    if (d.itemState & ODS_FOCUS)
        ::DrawFocusRect(d.hDC, &textRect);
}
