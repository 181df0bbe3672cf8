// CDeviceTreePage: what the three pages of the device tree (Devices, Stacks, Drivers) share: the page's check
// tree inside the tab container, its writeable flag, emptying, inserting, check states, and keeping the
// selection across a redisplay.
//
// Every item's data points into the device model of the document the tree shows, so the tree must never hold an
// item whose object is gone: the document tells the tab before it deletes objects, and the tab empties the
// trees. A selection is kept by what the item stands for (a key of values, never a pointer), so that it can be
// found again in a model built anew.
#pragma once

#include "afxwin.h"
#include "app/ui/devicetree/TabTree.h"

class CDeviceTreeTab;
class COX3DTabViewContainer;
class CUSBLog;

class CDeviceTreePage {
public:
    explicit CDeviceTreePage(CDeviceTreeTab& owner) : m_Owner(owner) {}
    virtual ~CDeviceTreePage() = default;
    CDeviceTreePage(const CDeviceTreePage&) = delete;
    CDeviceTreePage& operator=(const CDeviceTreePage&) = delete;

    // The page's tree, a visible child of the container with the control id and both image lists; FALSE when
    // it cannot be made.
    BOOL CreateTree(COX3DTabViewContainer& container, UINT nID, CImageList& images, CImageList& states);
    CTabTree& GetTree() { return m_Tree; }
    const CTabTree& GetTree() const { return m_Tree; }
    COX3DTabViewContainer* GetContainer() const { return m_pContainer; }

    // A page that is not writeable leaves its checks alone whatever the user clicks or types; so does a
    // writeable one while checks are off (a capture runs).
    BOOL IsWriteable() const { return m_bWriteable; }
    void SetWriteable(BOOL bWriteable, BOOL bCheckable);

    // The caret item, or null.
    HTREEITEM GetCaretItem() const;
    // The item's state image becomes the check state (0 none, 1 unchecked, 2 checked, 3 uncheckable).
    void SetItemCheckState(HTREEITEM hItem, int nState);
    void ExpandItem(HTREEITEM hItem);
    // No item left: the caret goes first, so that no selection notice names an item being deleted, and the
    // model objects that kept an item of this tree forget it.
    void ClearTree();

    // The selection across a redisplay: the caret's key is kept (Save, unless a model change holds one),
    // the trees are filled, and the item with that key is selected again (Restore) when the tree shows the
    // same document again. Hold keeps the caret's key until the next Restore, whatever Save is asked meanwhile:
    // the document's model is about to go.
    void SaveSelection(CUSBLog* pShownDoc);
    void HoldSelection(CUSBLog* pShownDoc);
    void RestoreSelection(CUSBLog* pDoc);
    BOOL IsSelectionHeld() const { return m_bHeld; }

    // The document whose objects the tree's items point at; null while the tree is empty.
    CUSBLog* GetDocument() const { return m_pDoc; }
    // The machine's item at the root of the tree; null while the tree is empty.
    HTREEITEM GetRootItem() const { return m_hRoot; }

    // While one lives the page's tree is being filled: its notices are not acted on and it does not lay its
    // rows out until the end.
    class Filling {
    public:
        explicit Filling(CDeviceTreePage& page);
        ~Filling();
        Filling(const Filling&) = delete;
        Filling& operator=(const Filling&) = delete;

    private:
        CDeviceTreePage& m_Page;
        BOOL m_bRedraw;
    };

protected:
    // A new last child of hParent with the text, the image as image and selected image, and the item data.
    HTREEITEM InsertNode(LPCTSTR lpszText, int nImage, HTREEITEM hParent, const void* pData);
    // The machine's item at the root, from which the tree shows the document: the document's root label, image
    // 0, no check box, the data given.
    HTREEITEM InsertRootItem(CUSBLog* pDoc, const void* pData = nullptr);
    // Each item's model object forgets the item, before the tree is emptied; then the page forgets what it
    // kept of the items.
    virtual void ForgetItem(HTREEITEM hItem, DWORD_PTR dwData) = 0;
    virtual void OnTreeCleared() {}
    // The key of the item, kept; and the item of the kept key, or null, in the tree as it now is.
    virtual void RememberItem(HTREEITEM hItem) = 0;
    virtual HTREEITEM FindRemembered(CUSBLog* pDoc) = 0;

    CDeviceTreeTab& m_Owner;
    CTabTree m_Tree;
    HTREEITEM m_hRoot = nullptr;
    // Fills in progress (a fill may empty the tree, which is a fill of its own).
    int m_nFilling = 0;

private:
    COX3DTabViewContainer* m_pContainer = nullptr;
    BOOL m_bWriteable = TRUE;
    CUSBLog* m_pDoc = nullptr;
    BOOL m_bHeld = FALSE;
    CUSBLog* m_pSelectionDoc = nullptr;
};
