// What the device model asks of the views that show it: the stacks tab, the drivers tab and the stack
// inspector's grid list. The model fills them through these narrow interfaces, so it needs none of the
// windows, and the panes implement them over their controls.
#pragma once

#include "afx.h"

struct _TREEITEM;
typedef _TREEITEM* HTREEITEM;

class CDeviceObject;
class CDeviceStack;
class CDriverObject;

class IStacksTab {
public:
    // A new last child of hParent with the text (image 8) and the stack as item data.
    virtual HTREEITEM InsertStackItem(LPCSTR lpszText, HTREEITEM hParent, CDeviceStack* pStack) = 0;
    // The item's state image becomes the check state.
    virtual void SetItemCheckState(HTREEITEM hItem, int nState) = 0;
    virtual void ExpandItem(HTREEITEM hItem) = 0;

protected:
    ~IStacksTab() = default;
};

class IDriversTab {
public:
    // New last children of hParent with the text and the object as item data: a present driver (image 6),
    // a removed one (10), a present device object (7), a removed one (9).
    virtual HTREEITEM InsertItemImage6(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) = 0;
    virtual HTREEITEM InsertItemImage10(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) = 0;
    virtual HTREEITEM InsertItemImage7(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) = 0;
    virtual HTREEITEM InsertItemImage9(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) = 0;
    // The item's state image (1 not selected, 2 selected, 3 not selectable).
    virtual void SetItemStateImage(HTREEITEM hItem, UINT nStateImage, LPCSTR lpszText) = 0;
    virtual void ExpandItem(HTREEITEM hItem) = 0;

protected:
    ~IDriversTab() = default;
};

class IStackGridList {
public:
    // One row: the image, the object as item data, three column texts and the check image (10 checked,
    // 11 unchecked, 12 not checkable).
    virtual BOOL InsertRow(int nRow, CDeviceObject* pDevice, int nImage, LPCSTR lpszName, LPCSTR lpszAddress,
                           LPCSTR lpszDriver, int nCheckImage) = 0;

protected:
    ~IStackGridList() = default;
};

// The device tree's walk of the devices checked for a report: depth first (an item's first child, else its
// next sibling, else the next sibling of the nearest ancestor that has one), from the first root item when the
// position is null, else after it. Each checked item carries a CHostController, CUsbHub or CHubPort.
class ICheckedDevices {
public:
    using Position = void*;
    // TRUE with the next checked item's position, image and object; FALSE when none is left.
    virtual BOOL GetNextCheckedDevice(Position& rPosition, int& rImage, CObject*& rpDevice) = 0;

protected:
    ~ICheckedDevices() = default;
};
