#include "OXOptionTreeCtrl.h"

IMPLEMENT_DYNAMIC(COXOptionTreeCtrl, CTreeCtrl)

BEGIN_MESSAGE_MAP(COXOptionTreeCtrl, CTreeCtrl)
ON_WM_LBUTTONDOWN()
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_MESSAGE(WM_SETTINGCHANGE, &COXOptionTreeCtrl::OnSettingChange)
ON_MESSAGE(TVM_SETBKCOLOR, &COXOptionTreeCtrl::OnSetBkColor)
ON_NOTIFY_REFLECT_EX(TVN_DELETEITEM, &COXOptionTreeCtrl::OnDeleteItem)
END_MESSAGE_MAP()

namespace {

constexpr int kImageSize = 16;
constexpr COLORREF kMaskColor = RGB(192, 192, 192);
constexpr int kDarkBelow = 300;

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
    RECT r{left, top, right, bottom};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
}

// A disc of radius r centred in the cell at x0, drawn row by row.
void Disc(HDC dc, int x0, int r, COLORREF color) {
    const int c = kImageSize / 2;
    for (int dy = -r; dy < r; ++dy) {
        const double y = dy + 0.5;
        int half = 0;
        while ((half + 0.5) * (half + 0.5) + y * y <= r * r)
            ++half;
        Fill(dc, x0 + c - half, c + dy, x0 + c + half, c + dy + 1, color);
    }
}

// Check box off/on, radio button off/on, on the mask colour; the dark set draws light marks on a dark face.
BOOL BuildImages(CImageList& list, bool dark) {
    const COLORREF face = dark ? RGB(32, 32, 32) : RGB(255, 255, 255);
    const COLORREF edge = dark ? RGB(224, 224, 224) : RGB(64, 64, 64);
    const COLORREF mark = dark ? RGB(255, 255, 255) : RGB(0, 0, 0);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP strip = ::CreateCompatibleBitmap(screen, 4 * kImageSize, kImageSize);
    ::ReleaseDC(nullptr, screen);
    if (!dc || !strip) {
        if (dc)
            ::DeleteDC(dc);
        if (strip)
            ::DeleteObject(strip);
        return FALSE;
    }
    HGDIOBJ old = ::SelectObject(dc, strip);
    Fill(dc, 0, 0, 4 * kImageSize, kImageSize, kMaskColor);
    for (int i = 0; i < 2; ++i) {
        const int x = i * kImageSize;
        Fill(dc, x + 2, 2, x + 14, 14, edge);
        Fill(dc, x + 3, 3, x + 13, 13, face);
    }
    // The tick of the checked box: a short stroke down, a long one up, two pixels thick.
    const int tx = kImageSize;
    for (int k = 0; k < 3; ++k)
        Fill(dc, tx + 4 + k, 7 + k, tx + 5 + k, 9 + k, mark);
    for (int k = 0; k < 5; ++k)
        Fill(dc, tx + 7 + k, 8 - k, tx + 8 + k, 10 - k, mark);
    for (int i = 2; i < 4; ++i) {
        const int x = i * kImageSize;
        Disc(dc, x, 6, edge);
        Disc(dc, x, 5, face);
    }
    Disc(dc, 3 * kImageSize, 2, mark);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);

    CBitmap bitmap;
    bitmap.Attach(strip);
    return list.Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, 4, 1) && list.Add(&bitmap, kMaskColor) == 0;
}

int CheckFromImage(int image) {
    switch (image) {
    case OTI_CHECK_OFF:
    case OTI_RADIO_OFF: return 0;
    case OTI_CHECK_ON:
    case OTI_RADIO_ON: return 1;
    default: return -1;
    }
}

} // namespace

COXOptionTreeCtrl::COXOptionTreeCtrl() {
    m_mapIdToItem.InitHashTable(17, FALSE);
    m_mapLocked.InitHashTable(17, FALSE);
}

COXOptionTreeCtrl::~COXOptionTreeCtrl() = default;

BOOL COXOptionTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CTreeCtrl::Create(dwStyle, rect, pParentWnd, nID) && InitTree();
}

void COXOptionTreeCtrl::PreSubclassWindow() {
    CTreeCtrl::PreSubclassWindow();
    InitTree();
}

BOOL COXOptionTreeCtrl::InitTree() {
    if (!m_ilNormal.GetSafeHandle() && !BuildImages(m_ilNormal, false))
        return FALSE;
    if (!m_ilDark.GetSafeHandle() && !BuildImages(m_ilDark, true))
        return FALSE;
    SelectBackgroundImages();
    return TRUE;
}

void COXOptionTreeCtrl::SelectBackgroundImages() {
    if (!m_hWnd)
        return;
    COLORREF back = GetBkColor();
    if (back == CLR_NONE)
        back = ::GetSysColor(COLOR_WINDOW);
    m_bDark = GetRValue(back) + GetGValue(back) + GetBValue(back) < kDarkBelow;
    CImageList& list = m_bDark ? m_ilDark : m_ilNormal;
    if (list.GetSafeHandle())
        SetImageList(&list, TVSIL_NORMAL);
}

LRESULT COXOptionTreeCtrl::OnSettingChange(WPARAM, LPARAM) {
    const LRESULT result = Default();
    SelectBackgroundImages();
    return result;
}

LRESULT COXOptionTreeCtrl::OnSetBkColor(WPARAM, LPARAM) {
    const LRESULT result = Default();
    SelectBackgroundImages();
    return result;
}

HTREEITEM COXOptionTreeCtrl::InsertTreeItem(LPCTSTR lpszText, HTREEITEM hParent, BOOL bExpanded, int nImage,
                                            int nSelectedImage, HTREEITEM hInsertAfter) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<LPSTR>(lpszText);
    insert.item.iImage = nImage;
    insert.item.iSelectedImage = nSelectedImage;
    insert.item.cChildren = 1;
    insert.item.state = bExpanded ? TVIS_EXPANDED : 0;
    insert.item.stateMask = TVIS_EXPANDED;
    return InsertItem(&insert);
}

HTREEITEM COXOptionTreeCtrl::AddOption(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, int nImage,
                                       HTREEITEM hInsertAfter, BOOL bLocked) {
    HTREEITEM existing = nullptr;
    if (uID == 0 || m_mapIdToItem.Lookup(uID, existing))
        return nullptr;
    HTREEITEM item = InsertItem(lpszText, nImage, nImage, hParent, hInsertAfter);
    if (!item)
        return nullptr;
    m_mapIdToItem.SetAt(uID, item);
    m_mapLocked.SetAt(item, bLocked ? 1u : 0u);
    return item;
}

HTREEITEM COXOptionTreeCtrl::AddCheckBox(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, BOOL bChecked,
                                         HTREEITEM hInsertAfter, BOOL bLocked) {
    return AddOption(uID, lpszText, hParent, bChecked ? OTI_CHECK_ON : OTI_CHECK_OFF, hInsertAfter, bLocked);
}

HTREEITEM COXOptionTreeCtrl::AddRadioButton(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, BOOL bChecked,
                                            HTREEITEM hInsertAfter, BOOL bLocked) {
    // A radio button added checked takes the check from the radio buttons beside it.
    HTREEITEM item = AddOption(uID, lpszText, hParent, OTI_RADIO_OFF, hInsertAfter, bLocked);
    if (item && bChecked)
        SetItemImage(item, OTI_RADIO_ON, OTI_RADIO_ON);
    return item;
}

HTREEITEM COXOptionTreeCtrl::GetItemFromId(UINT uID) const {
    HTREEITEM item = nullptr;
    return m_mapIdToItem.Lookup(uID, item) ? item : nullptr;
}

UINT COXOptionTreeCtrl::GetIdFromItem(HTREEITEM hItem) const {
    POSITION pos = m_mapIdToItem.GetStartPosition();
    while (pos) {
        UINT id = 0;
        HTREEITEM item = nullptr;
        m_mapIdToItem.GetNextAssoc(pos, id, item);
        if (item == hItem)
            return id;
    }
    return 0;
}

int COXOptionTreeCtrl::GetItemCheck(HTREEITEM hItem) const {
    int image = -1, selected = -1;
    if (!hItem || !GetItemImage(hItem, image, selected))
        return -1;
    return CheckFromImage(image);
}

int COXOptionTreeCtrl::GetCheck(UINT uID) const {
    return GetItemCheck(GetItemFromId(uID));
}

BOOL COXOptionTreeCtrl::SetCheck(UINT uID, int nCheck) {
    HTREEITEM item = GetItemFromId(uID);
    int image = -1, selected = -1;
    if (!item || !GetItemImage(item, image, selected))
        return FALSE;
    if (image == OTI_CHECK_OFF || image == OTI_CHECK_ON)
        SetCheckBoxState(item, nCheck);
    else
        SetRadioButtonState(item, nCheck);
    return TRUE;
}

UINT COXOptionTreeCtrl::GetCheckedRadio(UINT uFirstID, UINT uLastID) const {
    HTREEITEM last = GetItemFromId(uLastID);
    for (HTREEITEM item = GetItemFromId(uFirstID); item; item = GetNextSiblingItem(item)) {
        if (GetItemCheck(item) == 1)
            return GetIdFromItem(item);
        if (item == last)
            break;
    }
    return 0;
}

void COXOptionTreeCtrl::SetItemLocked(UINT uID, BOOL bLocked) {
    if (HTREEITEM item = GetItemFromId(uID))
        m_mapLocked.SetAt(item, bLocked ? 1u : 0u);
}

BOOL COXOptionTreeCtrl::IsItemLocked(HTREEITEM hItem) const {
    UINT locked = 0;
    return m_mapLocked.Lookup(hItem, locked) && locked != 0;
}

void COXOptionTreeCtrl::SetItemCheck(HTREEITEM hItem, int nOffImage, int nCheck) {
    const int before = GetItemCheck(hItem);
    const int after = nCheck ? 1 : 0;
    if (before < 0 || before == after)
        return;
    SetItemImage(hItem, nOffImage + after, nOffImage + after);
    NMOPTIONTREE notice{};
    notice.hdr.hwndFrom = m_hWnd;
    notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    notice.hdr.code = static_cast<UINT>(OTN_OPTIONCHANGED);
    notice.hItem = hItem;
    notice.uItemID = GetIdFromItem(hItem);
    notice.nOldCheck = before;
    notice.nNewCheck = after;
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(&notice));
}

void COXOptionTreeCtrl::SetCheckBoxState(HTREEITEM hItem, int nCheck) {
    SetItemCheck(hItem, OTI_CHECK_OFF, nCheck);
}

void COXOptionTreeCtrl::SetRadioButtonState(HTREEITEM hItem, int nCheck) {
    if (nCheck) {
        auto isRadio = [this](HTREEITEM item) {
            int image = -1, selected = -1;
            return GetItemImage(item, image, selected) && (image == OTI_RADIO_OFF || image == OTI_RADIO_ON);
        };
        for (UINT direction : {UINT{TVGN_NEXT}, UINT{TVGN_PREVIOUS}}) {
            for (HTREEITEM item = GetNextItem(hItem, direction); item && isRadio(item);
                 item = GetNextItem(item, direction))
                SetItemCheck(item, OTI_RADIO_OFF, 0);
        }
    }
    SetItemCheck(hItem, OTI_RADIO_OFF, nCheck);
}

void COXOptionTreeCtrl::ToggleItem(HTREEITEM hItem) {
    int image = -1, selected = -1;
    if (!GetItemImage(hItem, image, selected))
        return;
    UpdateWindow();
    switch (image) {
    case OTI_CHECK_OFF:
    case OTI_CHECK_ON: SetCheckBoxState(hItem, image == OTI_CHECK_OFF); break;
    case OTI_RADIO_OFF: SetRadioButtonState(hItem, 1); break;
    default: return; // a checked radio button stays checked; a group has no state
    }
    // Only the label need not repaint: the new image must.
    CRect label;
    if (GetItemRect(hItem, &label, TRUE))
        ::ValidateRect(m_hWnd, &label);
}

void COXOptionTreeCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
    UINT flags = 0;
    HTREEITEM hit = HitTest(point, &flags);
    const bool onLabel = (flags & TVHT_ONITEMLABEL) != 0 && (GetStyle() & TVS_EDITLABELS) != 0;
    if (hit && (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) && !onLabel &&
        GetItemCheck(hit) >= 0 && !IsItemLocked(hit)) {
        SetFocus();
        SelectItem(hit);
        ToggleItem(hit);
        return;
    }
    CTreeCtrl::OnLButtonDown(nFlags, point);
}

void COXOptionTreeCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_SPACE) {
        HTREEITEM caret = GetSelectedItem();
        if (caret && GetItemCheck(caret) >= 0 && !IsItemLocked(caret))
            ToggleItem(caret);
    }
    CTreeCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
}

void COXOptionTreeCtrl::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    // Space toggles; passed on, the tree would search for an item starting with it and beep.
    if (nChar == ' ')
        return;
    CTreeCtrl::OnChar(nChar, nRepCnt, nFlags);
}

BOOL COXOptionTreeCtrl::OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
    HTREEITEM item = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR)->itemOld.hItem;
    if (const UINT id = GetIdFromItem(item))
        m_mapIdToItem.RemoveKey(id);
    m_mapLocked.RemoveKey(item);
    *pResult = 0;
    return FALSE; // the parent hears of the deletion too
}
