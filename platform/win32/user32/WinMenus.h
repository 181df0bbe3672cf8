// Menus as models: items with texts, commands, sub-menus and their grey, check and radio marks, built by calls
// or loaded from the program's menu resources. The window manager shows them; tests read their state.
#pragma once

#include "WinResources.h"

#define MF_INSERT 0x00000000L
#define MF_CHANGE 0x00000080L
#define MF_APPEND 0x00000100L
#define MF_DELETE 0x00000200L
#define MF_REMOVE 0x00001000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_USECHECKBITMAPS 0x00000200L
#define MF_STRING 0x00000000L
#define MF_BITMAP 0x00000004L
#define MF_OWNERDRAW 0x00000100L
#define MF_POPUP 0x00000010L
#define MF_MENUBARBREAK 0x00000020L
#define MF_MENUBREAK 0x00000040L
#define MF_UNHILITE 0x00000000L
#define MF_HILITE 0x00000080L
#define MF_DEFAULT 0x00001000L
#define MF_RIGHTJUSTIFY 0x00004000L
#define MFT_STRING MF_STRING
#define MFT_BITMAP MF_BITMAP
#define MFT_MENUBARBREAK MF_MENUBARBREAK
#define MFT_MENUBREAK MF_MENUBREAK
#define MFT_OWNERDRAW MF_OWNERDRAW
#define MFT_RADIOCHECK 0x00000200L
#define MFT_SEPARATOR MF_SEPARATOR
#define MFT_RIGHTJUSTIFY MF_RIGHTJUSTIFY
#define MFS_GRAYED 0x00000003L
#define MFS_DISABLED MFS_GRAYED
#define MFS_CHECKED MF_CHECKED
#define MFS_HILITE MF_HILITE
#define MFS_ENABLED MF_ENABLED
#define MFS_UNCHECKED MF_UNCHECKED
#define MFS_UNHILITE MF_UNHILITE
#define MFS_DEFAULT MF_DEFAULT
#define MIIM_STATE 0x00000001
#define MIIM_ID 0x00000002
#define MIIM_SUBMENU 0x00000004
#define MIIM_CHECKMARKS 0x00000008
#define MIIM_TYPE 0x00000010
#define MIIM_DATA 0x00000020
#define MIIM_STRING 0x00000040
#define MIIM_BITMAP 0x00000080
#define MIIM_FTYPE 0x00000100

#ifndef ERROR_INVALID_MENU_HANDLE
#define ERROR_INVALID_MENU_HANDLE 1401L
#endif
#ifndef ERROR_MENU_ITEM_NOT_FOUND
#define ERROR_MENU_ITEM_NOT_FOUND 1456L
#endif

typedef struct tagMENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
} MENUITEMINFOA, *LPMENUITEMINFOA, MENUITEMINFO, *LPMENUITEMINFO;
typedef const MENUITEMINFOA* LPCMENUITEMINFOA;
static_assert(sizeof(MENUITEMINFOA) == 80 && offsetof(MENUITEMINFOA, hSubMenu) == 24 &&
              offsetof(MENUITEMINFOA, cch) == 64);

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its sub-menus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
inline HMENU LoadMenu(HINSTANCE instance, LPCSTR name) {
    return LoadMenuA(instance, name);
}

// `item` is a command id (MF_BYCOMMAND, searched through sub-menus) or a position (MF_BYPOSITION). With MF_POPUP
// the id is the sub-menu's handle.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
BOOL InsertMenuA(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text);
BOOL ModifyMenuA(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text);
BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
// RemoveMenu keeps a removed sub-menu alive; DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
// The previous check state (MF_CHECKED or MF_UNCHECKED), -1 when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// Checks `check` with a radio mark and unchecks the other items from `first` to `last`.
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// The previous state (MF_ENABLED, MF_GRAYED or MF_DISABLED), -1 when there is no such item.
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
// MF_* flags of the item (for a sub-menu its item count in the high byte); -1 when there is no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
// The command of the item at a position; -1 for a sub-menu or no item.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The item's text (with its '&'); the length copied, or the length when the buffer is null.
int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags);
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);

inline BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    return AppendMenuA(menu, flags, id, text);
}
inline BOOL InsertMenu(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
    return InsertMenuA(menu, item, flags, id, text);
}
inline BOOL ModifyMenu(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
    return ModifyMenuA(menu, item, flags, id, text);
}
inline BOOL InsertMenuItem(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    return InsertMenuItemA(menu, item, byPosition, info);
}
inline BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info) {
    return GetMenuItemInfoA(menu, item, byPosition, info);
}
inline BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    return SetMenuItemInfoA(menu, item, byPosition, info);
}
inline int GetMenuString(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
    return GetMenuStringA(menu, item, buffer, size, flags);
}

namespace win32 {
// Menus alive now (CreateMenu, CreatePopupMenu and LoadMenu give one each; DestroyMenu ends them).
size_t MenuCount();
} // namespace win32
