#include "WinMenus.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "WinHandles.h"
#include "internal/ResourceStore.h"
#include "winerror.h"

namespace {

struct MenuItem {
    UINT type = MFT_STRING; // MFT_* bits
    UINT state = 0;         // MFS_* bits
    UINT id = 0;
    HMENU subMenu = nullptr;
    std::string text;
    ULONG_PTR data = 0;
};

struct Menu {
    bool popup = false;
    std::vector<MenuItem> items;
};

// Menus are used by their thread, but the table is shared: every call holds its lock.
struct MenuTable {
    std::recursive_mutex lock;
    std::unordered_map<ULONG_PTR, std::unique_ptr<Menu>> menus;
    ULONG_PTR next = 0x20000;
};

MenuTable& Table() {
    static auto* table = new MenuTable;
    return *table;
}

Menu* Find(HMENU menu) {
    MenuTable& t = Table();
    auto it = t.menus.find(reinterpret_cast<ULONG_PTR>(menu));
    if (it == t.menus.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

HMENU NewMenu(bool popup) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    ULONG_PTR value = t.next;
    t.next += 4;
    auto menu = std::make_unique<Menu>();
    menu->popup = popup;
    t.menus.emplace(value, std::move(menu));
    return reinterpret_cast<HMENU>(value);
}

struct Located {
    Menu* menu = nullptr;
    size_t index = 0;
};

// The item by position, or by command searched depth first through sub-menus (a sub-menu's own item matches
// when its handle is the "command").
Located Locate(HMENU handle, UINT item, UINT flags) {
    Menu* menu = Find(handle);
    if (!menu)
        return {};
    if (flags & MF_BYPOSITION) {
        if (item < menu->items.size())
            return {menu, item};
        return {};
    }
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& m = menu->items[i];
        if (m.subMenu) {
            Located inner = Locate(m.subMenu, item, flags);
            if (inner.menu)
                return inner;
            if (reinterpret_cast<UINT_PTR>(m.subMenu) == item)
                return {menu, i};
        } else if (m.id == item && !(m.type & MFT_SEPARATOR)) {
            return {menu, i};
        }
    }
    return {};
}

// Copies text into a buffer of `size` characters, truncated and terminated; the characters copied.
int CopyText(const std::string& text, LPSTR buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

// Runs fn on the item under the table's lock; `fallback` when the menu or the item is not there.
template <class Result, class Fn> Result WithItem(HMENU menu, UINT item, UINT flags, Result fallback, Fn fn) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    if (!Find(menu))
        return fallback;
    Located where = Locate(menu, item, flags);
    if (!where.menu) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return fallback;
    }
    return fn(where.menu->items[where.index], where);
}

MenuItem ItemFromFlags(UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem item;
    item.type = flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW | MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY);
    item.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
    if (flags & MF_POPUP)
        item.subMenu = reinterpret_cast<HMENU>(id);
    else
        item.id = static_cast<UINT>(id);
    if (text && !(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)))
        item.text = text;
    return item;
}

// The fields MENUITEMINFO's mask names.
void Apply(MenuItem& m, LPCMENUITEMINFOA info) {
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE))
        m.type = info->fType;
    if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) && !(m.type & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW)))
        m.text = info->dwTypeData ? info->dwTypeData : "";
    if (info->fMask & MIIM_STATE)
        m.state = info->fState;
    if (info->fMask & MIIM_ID)
        m.id = info->wID;
    if (info->fMask & MIIM_SUBMENU)
        m.subMenu = info->hSubMenu;
    if (info->fMask & MIIM_DATA)
        m.data = info->dwItemData;
}

void Destroy(HMENU handle) {
    MenuTable& t = Table();
    auto it = t.menus.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == t.menus.end())
        return;
    std::unique_ptr<Menu> menu = std::move(it->second);
    t.menus.erase(it);
    for (const MenuItem& item : menu->items)
        if (item.subMenu)
            Destroy(item.subMenu);
}

HMENU Build(const std::vector<win32::MenuResourceItem>& items, bool popup) {
    HMENU menu = NewMenu(popup);
    for (const win32::MenuResourceItem& item : items) {
        if (item.flags & MF_POPUP)
            AppendMenuA(menu, item.flags, reinterpret_cast<UINT_PTR>(Build(item.items, true)), item.text.c_str());
        else
            AppendMenuA(menu, item.flags, item.id, item.text.c_str());
        if (item.flags & MFT_RADIOCHECK) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE;
            GetMenuItemInfoA(menu, GetMenuItemCount(menu) - 1, TRUE, &info);
            info.fType |= MFT_RADIOCHECK;
            SetMenuItemInfoA(menu, GetMenuItemCount(menu) - 1, TRUE, &info);
        }
    }
    return menu;
}

} // namespace

HMENU CreateMenu() {
    return NewMenu(false);
}
HMENU CreatePopupMenu() {
    return NewMenu(true);
}

BOOL DestroyMenu(HMENU menu) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    if (!Find(menu))
        return FALSE;
    Destroy(menu);
    return TRUE;
}

BOOL IsMenu(HMENU menu) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    return t.menus.count(reinterpret_cast<ULONG_PTR>(menu)) ? TRUE : FALSE;
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    std::vector<win32::MenuResourceItem> items;
    if (!win32::internal::FindMenuResource(instance, name, items))
        return nullptr;
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    return Build(items, false);
}

BOOL InsertMenuA(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m)
        return FALSE;
    if ((flags & MF_POPUP) && !Find(reinterpret_cast<HMENU>(id)))
        return FALSE;
    size_t at = m->items.size(); // an item that is not there appends
    if (item != static_cast<UINT>(-1)) {
        Located where = Locate(menu, item, flags);
        if (where.menu) {
            m = where.menu;
            at = where.index;
        }
    }
    m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), ItemFromFlags(flags, id, text));
    return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    return InsertMenuA(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

BOOL ModifyMenuA(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
    return WithItem(menu, item, flags, FALSE, [&](MenuItem& old, Located&) {
        if (old.subMenu && (!(flags & MF_POPUP) || reinterpret_cast<HMENU>(id) != old.subMenu))
            Destroy(old.subMenu); // the platform destroys a replaced sub-menu
        old = ItemFromFlags(flags, id, text);
        return TRUE;
    });
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m)
        return FALSE;
    size_t at = m->items.size();
    Located where = Locate(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (where.menu) {
        m = where.menu;
        at = where.index;
    }
    MenuItem added;
    Apply(added, info);
    m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND, FALSE, [&](MenuItem& m, Located&) {
        Apply(m, info);
        return TRUE;
    });
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND, FALSE, [&](MenuItem& m, Located&) {
        if (info->fMask & (MIIM_FTYPE | MIIM_TYPE))
            info->fType = m.type;
        if (info->fMask & MIIM_STATE)
            info->fState = m.state;
        if (info->fMask & MIIM_ID)
            info->wID = m.id;
        if (info->fMask & MIIM_SUBMENU)
            info->hSubMenu = m.subMenu;
        if (info->fMask & MIIM_DATA)
            info->dwItemData = m.data;
        if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
            CopyText(m.text, info->dwTypeData, static_cast<int>(info->cch));
            info->cch = static_cast<UINT>(m.text.size());
        }
        return TRUE;
    });
}

namespace {

BOOL Remove(HMENU menu, UINT item, UINT flags, bool destroy) {
    return WithItem(menu, item, flags, FALSE, [&](MenuItem& m, Located& where) {
        HMENU sub = m.subMenu;
        where.menu->items.erase(where.menu->items.begin() + static_cast<std::ptrdiff_t>(where.index));
        if (destroy && sub)
            Destroy(sub);
        return TRUE;
    });
}

} // namespace

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) {
    return Remove(menu, item, flags, false);
}
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) {
    return Remove(menu, item, flags, true);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    return WithItem(menu, item, check, static_cast<DWORD>(-1), [&](MenuItem& m, Located&) {
        DWORD previous = m.state & MF_CHECKED;
        m.state = (m.state & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
        return previous;
    });
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Located a = Locate(menu, first, flags);
    Located b = Locate(menu, last, flags);
    Located c = Locate(menu, check, flags);
    if (!a.menu || a.menu != b.menu || a.menu != c.menu || a.index > b.index || c.index < a.index ||
        c.index > b.index) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    for (size_t i = a.index; i <= b.index; ++i) {
        MenuItem& m = a.menu->items[i];
        if (m.type & MFT_SEPARATOR)
            continue;
        if (i == c.index) {
            m.type |= MFT_RADIOCHECK;
            m.state |= MF_CHECKED;
        } else {
            m.state &= ~static_cast<UINT>(MF_CHECKED);
        }
    }
    return TRUE;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    return WithItem(menu, item, enable, -1, [&](MenuItem& m, Located&) {
        BOOL previous = static_cast<BOOL>(m.state & (MF_GRAYED | MF_DISABLED));
        m.state = (m.state & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
        return previous;
    });
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    return WithItem(menu, item, flags, static_cast<UINT>(-1), [&](MenuItem& m, Located&) {
        UINT state = m.type | m.state;
        if (m.subMenu) {
            Menu* sub = Find(m.subMenu);
            state |= MF_POPUP | (static_cast<UINT>(sub ? sub->items.size() : 0) << 8);
        }
        return state;
    });
}

int GetMenuItemCount(HMENU menu) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size() || m->items[position].subMenu)
        return static_cast<UINT>(-1);
    return m->items[position].id;
}

HMENU GetSubMenu(HMENU menu, int position) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size())
        return nullptr;
    return m->items[position].subMenu;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
    return WithItem(menu, item, flags, 0, [&](MenuItem& m, Located&) {
        return buffer ? CopyText(m.text, buffer, size) : static_cast<int>(m.text.size());
    });
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m)
        return FALSE;
    Located where{};
    if (item != static_cast<UINT>(-1)) {
        where = Locate(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
        if (where.menu != m) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return FALSE;
        }
    }
    for (size_t i = 0; i < m->items.size(); ++i)
        m->items[i].state =
            (m->items[i].state & ~static_cast<UINT>(MFS_DEFAULT)) | (where.menu && i == where.index ? MFS_DEFAULT : 0);
    return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags) {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    Menu* m = Find(menu);
    if (!m)
        return static_cast<UINT>(-1);
    for (size_t i = 0; i < m->items.size(); ++i)
        if (m->items[i].state & MFS_DEFAULT)
            return byPosition ? static_cast<UINT>(i) : m->items[i].id;
    return static_cast<UINT>(-1);
}

size_t win32::MenuCount() {
    MenuTable& t = Table();
    std::lock_guard guard(t.lock);
    return t.menus.size();
}
