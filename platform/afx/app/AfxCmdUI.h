// CCmdUI: one user-interface item (a menu item, a bar's button or pane) while the update handlers of its
// command decide its state. The framework fills it in and calls DoUpdate; handlers call Enable, SetCheck,
// SetRadio and SetText.
#pragma once

#include "AfxDefs.h"

class CCmdTarget;
class CMenu;
class CWnd;

class CCmdUI {
public:
    CCmdUI() = default;
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1); // 0 clear, 1 checked, 2 indeterminate
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(LPCTSTR lpszText);
    // Lets the update go on to the next target after this handler.
    void ContinueRouting() { m_bContinueRouting = TRUE; }

    // Runs the update handler for m_nID along pTarget's routing. With bDisableIfNoHndler, an item that no
    // update handler touched and no command handler takes is disabled. TRUE when an update handler ran.
    BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);

    UINT m_nID = 0;
    UINT m_nIndex = 0;              // position of the item in its menu or bar
    CMenu* m_pMenu = nullptr;       // the pop-up the item is in, when it is a menu item
    CMenu* m_pSubMenu = nullptr;    // the pop-up the item opens, when it opens one
    CMenu* m_pParentMenu = nullptr; // the menu the pop-up is in
    CWnd* m_pOther = nullptr;       // the bar or control, when it is no menu item
    BOOL m_bEnableChanged = FALSE;  // a handler called Enable
    BOOL m_bContinueRouting = FALSE;
    UINT m_nIndexMax = 0; // number of items of the menu or bar
};
