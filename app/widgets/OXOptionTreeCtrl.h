// COXOptionTreeCtrl: a tree of options: check boxes and radio buttons drawn as the items' images, grouped under
// plain group items. Each option has a caller-chosen non-zero id, so a settings dialog fills the tree, reads
// the states back by id and locks single items against the user. Every state change is reported to the parent
// (WM_NOTIFY, wParam = control id, OTN_OPTIONCHANGED with an NMOPTIONTREE).
#pragma once

#include "afxwin.h"

#define OTN_OPTIONCHANGED (-489)

// Item images: 0/1 check box unchecked/checked, 2/3 radio button unchecked/checked; any other is a group.
enum { OTI_CHECK_OFF = 0, OTI_CHECK_ON = 1, OTI_RADIO_OFF = 2, OTI_RADIO_ON = 3 };

// The bitmaps of the two image lists: four 16 x 16 images on the mask colour 0xC0C0C0.
#define IDB_OX_OPTIONTREE_NORMAL 27262
#define IDB_OX_OPTIONTREE_DARK 27263

struct NMOPTIONTREE {
    NMHDR hdr;
    HTREEITEM hItem;
    UINT uItemID;
    int nOldCheck;
    int nNewCheck;
};
static_assert(sizeof(NMOPTIONTREE) == 48 && offsetof(NMOPTIONTREE, hItem) == 24 &&
              offsetof(NMOPTIONTREE, uItemID) == 32 && offsetof(NMOPTIONTREE, nOldCheck) == 36 &&
              offsetof(NMOPTIONTREE, nNewCheck) == 40);

class COXOptionTreeCtrl : public CTreeCtrl {
    DECLARE_DYNAMIC(COXOptionTreeCtrl)
public:
    COXOptionTreeCtrl();
    ~COXOptionTreeCtrl() override;

    // Creates the tree and runs InitTree.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CTreeCtrl::Create;
    // Makes the image lists when missing and selects the one that fits the background; run on creation and
    // when a dialog's tree is attached (sub-classed). FALSE when an image list cannot be made.
    virtual BOOL InitTree();

    HTREEITEM InsertTreeItem(LPCTSTR lpszText, HTREEITEM hParent = TVI_ROOT, BOOL bExpanded = TRUE, int nImage = 4,
                             int nSelectedImage = 4, HTREEITEM hInsertAfter = TVI_LAST);
    // Null for id 0 or an id already in the tree.
    HTREEITEM AddCheckBox(UINT uID, LPCTSTR lpszText, HTREEITEM hParent = TVI_ROOT, BOOL bChecked = FALSE,
                          HTREEITEM hInsertAfter = TVI_LAST, BOOL bLocked = FALSE);
    HTREEITEM AddRadioButton(UINT uID, LPCTSTR lpszText, HTREEITEM hParent = TVI_ROOT, BOOL bChecked = FALSE,
                             HTREEITEM hInsertAfter = TVI_LAST, BOOL bLocked = FALSE);

    // 1 checked, 0 unchecked, -1 not an option (or no such id).
    int GetCheck(UINT uID) const;
    BOOL SetCheck(UINT uID, int nCheck);
    // The id of the first checked item among the siblings from uFirstID's item to uLastID's, else 0.
    UINT GetCheckedRadio(UINT uFirstID, UINT uLastID) const;
    void SetItemLocked(UINT uID, BOOL bLocked);
    BOOL IsItemLocked(HTREEITEM hItem) const;
    UINT GetIdFromItem(HTREEITEM hItem) const;
    HTREEITEM GetItemFromId(UINT uID) const;
    int GetItemCheck(HTREEITEM hItem) const;
    // Program sets: a lock does not apply. Checking a radio button unchecks the radio buttons beside it, up
    // to the nearest sibling that is not one.
    void SetCheckBoxState(HTREEITEM hItem, int nCheck);
    void SetRadioButtonState(HTREEITEM hItem, int nCheck);

    CImageList& GetNormalImageList() { return m_ilNormal; }
    CImageList& GetDarkImageList() { return m_ilDark; }
    BOOL IsDarkBackground() const { return m_bDark; }

protected:
    void PreSubclassWindow() override;
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
    BOOL OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

    // A user's toggle of an option item.
    virtual void ToggleItem(HTREEITEM hItem);

private:
    HTREEITEM AddOption(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, int nImage, HTREEITEM hInsertAfter,
                        BOOL bLocked);
    void SetItemCheck(HTREEITEM hItem, int nOffImage, int nCheck);
    void SelectBackgroundImages();

    CImageList m_ilNormal;
    CImageList m_ilDark;
    BOOL m_bDark = FALSE;
    CMap<UINT, UINT, HTREEITEM, HTREEITEM> m_mapIdToItem;
    CMap<HTREEITEM, HTREEITEM, UINT, UINT> m_mapLocked;
};
