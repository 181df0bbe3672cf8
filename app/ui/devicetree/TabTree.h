// CTabTree: the check tree of each page of the device tree (Devices 110, Stacks 111, Drivers 112). A click
// first shows the clicked item's device stack in the stack inspector (or empties it), before the check tree
// turns the check over and selects; taking the focus shows the page's selection in the properties panes.
#pragma once

#include "app/widgets/TreeCtrlEx.h"

class CTabTree : public CTreeCtrlEx {
    DECLARE_DYNAMIC(CTabTree)
public:
    CTabTree() = default;
    ~CTabTree() override = default;

protected:
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnSetFocus(CWnd* pOldWnd);
    DECLARE_MESSAGE_MAP()

private:
    // What the stack inspector shows for the item, by the page.
    void ShowItemStack(HTREEITEM hItem);
};
