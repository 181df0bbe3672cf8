// CFrameWnd: the menu, accelerators and icon of its resource id, and the update of its menus' pop-ups.
#include <vector>

#include "AfxCmdUI.h"
#include "AfxFrameWnd.h"
#include "AfxMenu.h"
#include "AfxWinApp.h"

namespace {

// Whether the key message matches an accelerator entry: a virtual key with its Shift, Ctrl and Alt state, or a
// character.
bool AcceleratorMatches(const ACCEL& entry, const MSG& msg) {
    const bool isKey = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool isChar = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    if (entry.fVirt & FVIRTKEY) {
        if (!isKey || msg.wParam != entry.key)
            return false;
        auto down = [](int vk) { return (::GetKeyState(vk) & 0x8000) != 0; };
        return down(VK_SHIFT) == ((entry.fVirt & FSHIFT) != 0) && down(VK_CONTROL) == ((entry.fVirt & FCONTROL) != 0) &&
               down(VK_MENU) == ((entry.fVirt & FALT) != 0);
    }
    return isChar && msg.wParam == entry.key;
}

} // namespace

void CFrameWnd::LoadFrameResources(UINT nIDResource) {
    HINSTANCE hInstance = AfxGetResourceHandle();
    // The window takes its menu at creation; a resource id may have no menu, accelerators or icon.
    if (m_hMenuDefault == nullptr)
        m_hMenuDefault = ::LoadMenuA(hInstance, MAKEINTRESOURCEA(nIDResource));
    if (m_hAccelTable == nullptr)
        m_hAccelTable = ::LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(nIDResource));
    m_hIcon = ::LoadIconA(hInstance, MAKEINTRESOURCEA(nIDResource));
}

BOOL CFrameWnd::TranslateFrameAccelerator(MSG* pMsg) {
    if (m_hAccelTable == nullptr)
        return FALSE;
    int count = ::CopyAcceleratorTableA(m_hAccelTable, nullptr, 0);
    if (count <= 0)
        return FALSE;
    std::vector<ACCEL> entries(static_cast<size_t>(count));
    count = ::CopyAcceleratorTableA(m_hAccelTable, entries.data(), count);
    for (int i = 0; i < count; ++i) {
        if (AcceleratorMatches(entries[static_cast<size_t>(i)], *pMsg)) {
            // As from an accelerator: the notification code 1.
            SendMessage(WM_COMMAND, MAKEWPARAM(entries[static_cast<size_t>(i)].cmd, 1), 0);
            return TRUE;
        }
    }
    return FALSE;
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu) {
    if (bSysMenu || pPopupMenu == nullptr)
        return;
    CCmdUI state;
    state.m_pMenu = pPopupMenu;
    state.m_nIndexMax = static_cast<UINT>(pPopupMenu->GetMenuItemCount());
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        state.m_nID = pPopupMenu->GetMenuItemID(static_cast<int>(state.m_nIndex));
        if (state.m_nID == 0)
            continue; // separator
        state.m_pSubMenu = nullptr;
        BOOL bAutoMenuEnable = m_bAutoMenuEnable;
        if (state.m_nID == static_cast<UINT>(-1)) {
            // A nested pop-up answers for its first item, and is never greyed for want of a handler.
            state.m_pSubMenu = pPopupMenu->GetSubMenu(static_cast<int>(state.m_nIndex));
            if (state.m_pSubMenu == nullptr)
                continue;
            state.m_nID = state.m_pSubMenu->GetMenuItemID(0);
            if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1))
                continue;
            bAutoMenuEnable = FALSE;
        }
        // System commands (0xF000 and up) are the window's own.
        state.DoUpdate(this, bAutoMenuEnable && state.m_nID < 0xF000);
        // A handler that added or removed items (the recent files) moves the walk along with them.
        UINT nCount = static_cast<UINT>(pPopupMenu->GetMenuItemCount());
        if (nCount < state.m_nIndexMax) {
            state.m_nIndex -= state.m_nIndexMax - nCount;
            while (state.m_nIndex < nCount &&
                   pPopupMenu->GetMenuItemID(static_cast<int>(state.m_nIndex)) == state.m_nID)
                ++state.m_nIndex;
        }
        state.m_nIndexMax = nCount;
    }
}
