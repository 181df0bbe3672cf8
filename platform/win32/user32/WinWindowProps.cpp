// Properties: named values a window carries. Locks: UserLock() around the window's list.
#include "WinUser.h"
#include "internal/WindowManager.h"

using namespace win32::internal;

BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !name || IS_INTRESOURCE(name))
        return FALSE;
    std::lock_guard guard(UserLock());
    w->props[name] = data;
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !name || IS_INTRESOURCE(name))
        return nullptr;
    std::lock_guard guard(UserLock());
    auto it = w->props.find(name);
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !name || IS_INTRESOURCE(name))
        return nullptr;
    std::lock_guard guard(UserLock());
    auto it = w->props.find(name);
    if (it == w->props.end())
        return nullptr;
    HANDLE data = it->second;
    w->props.erase(it);
    return data;
}
