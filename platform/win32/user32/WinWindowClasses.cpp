// Window classes: one name space for the process, names compared without case. Locks: UserLock() around the
// class table.
#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

#include "WinUser.h"
#include "internal/UiFailures.h"
#include "internal/WindowManager.h"
#include "winerror.h"

namespace win32::internal {

namespace {

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

struct ClassTable {
    std::map<std::string, std::shared_ptr<WindowClass>, NoCase> byName;
    ATOM nextAtom = 0xC000;
};

ClassTable& Classes() {
    static auto* table = new ClassTable;
    return *table;
}

ATOM Register(const WNDCLASSEXA& wc) {
    if (!wc.lpszClassName || (IS_INTRESOURCE(wc.lpszClassName) || !*wc.lpszClassName) || wc.cbClsExtra < 0 ||
        wc.cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (ShouldFailUiCall(UiFailure::RegisterClass)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc.lpszClassName;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->classExtra = wc.cbClsExtra;
    cls->windowExtra = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->smallIcon = wc.hIconSm;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    if (wc.lpszMenuName && IS_INTRESOURCE(wc.lpszMenuName))
        cls->menuId = reinterpret_cast<LONG_PTR>(wc.lpszMenuName);
    else if (wc.lpszMenuName)
        cls->menuName = wc.lpszMenuName;
    cls->extra.assign(static_cast<size_t>(wc.cbClsExtra), 0);
    std::lock_guard guard(UserLock());
    auto& table = Classes();
    if (table.byName.count(cls->name)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    cls->atom = table.nextAtom++;
    table.byName[cls->name] = cls;
    return cls->atom;
}

std::shared_ptr<WindowClass> ClassOfWindow(HWND hwnd) {
    WindowPtr window = LookupWindow(hwnd);
    return window ? window->cls : nullptr;
}

} // namespace

std::shared_ptr<WindowClass> FindClassLocked(LPCSTR name) {
    if (!name)
        return nullptr;
    auto& table = Classes();
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        for (const auto& [key, cls] : table.byName)
            if (cls->atom == atom)
                return cls;
        return nullptr;
    }
    auto it = table.byName.find(name);
    return it == table.byName.end() ? nullptr : it->second;
}

} // namespace win32::internal

using namespace win32::internal;

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (!wndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA),     wndClass->style,        wndClass->lpfnWndProc,   wndClass->cbClsExtra,
                   wndClass->cbWndExtra,    wndClass->hInstance,    wndClass->hIcon,         wndClass->hCursor,
                   wndClass->hbrBackground, wndClass->lpszMenuName, wndClass->lpszClassName, nullptr};
    return Register(ex);
}

ATOM RegisterClassExA(const WNDCLASSEXA* wndClass) {
    if (!wndClass || wndClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(*wndClass);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    std::lock_guard guard(UserLock());
    auto cls = FindClassLocked(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    Classes().byName.erase(cls->name);
    return TRUE;
}

BOOL GetClassInfoExA(HINSTANCE, LPCSTR className, LPWNDCLASSEXA wc) {
    std::shared_ptr<WindowClass> cls;
    {
        std::lock_guard guard(UserLock());
        cls = FindClassLocked(className);
    }
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    wc->style = cls->style;
    wc->lpfnWndProc = cls->proc;
    wc->cbClsExtra = cls->classExtra;
    wc->cbWndExtra = cls->windowExtra;
    wc->hInstance = cls->instance;
    wc->hIcon = cls->icon;
    wc->hCursor = cls->cursor;
    wc->hbrBackground = cls->background;
    wc->lpszMenuName =
        cls->menuId ? reinterpret_cast<LPCSTR>(cls->menuId) : (cls->menuName.empty() ? nullptr : cls->menuName.c_str());
    wc->lpszClassName = cls->name.c_str();
    wc->hIconSm = cls->smallIcon;
    return static_cast<BOOL>(cls->atom);
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wc) {
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    BOOL atom = GetClassInfoExA(instance, className, &ex);
    if (atom && wc)
        *wc = {ex.style, ex.lpfnWndProc, ex.cbClsExtra,    ex.cbWndExtra,   ex.hInstance,
               ex.hIcon, ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return atom;
}

int GetClassNameA(HWND hwnd, LPSTR className, int maxCount) {
    auto cls = ClassOfWindow(hwnd);
    if (!cls || !className || maxCount <= 0)
        return 0;
    size_t n = std::min(cls->name.size(), static_cast<size_t>(maxCount - 1));
    cls->name.copy(className, n);
    className[n] = '\0';
    return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
    auto cls = ClassOfWindow(hwnd);
    if (!cls)
        return 0;
    std::lock_guard guard(UserLock());
    switch (index) {
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(cls->background);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(cls->cursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(cls->icon);
    case GCLP_HICONSM: return reinterpret_cast<ULONG_PTR>(cls->smallIcon);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(cls->instance);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(cls->proc);
    case GCL_STYLE: return cls->style;
    case GCW_ATOM: return cls->atom;
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(cls->windowExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(cls->classExtra);
    case GCLP_MENUNAME: return cls->menuId ? static_cast<ULONG_PTR>(cls->menuId) : 0;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(ULONG_PTR) <= cls->extra.size()) {
            ULONG_PTR value;
            memcpy(&value, cls->extra.data() + index, sizeof(value));
            return value;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

DWORD GetClassLongA(HWND hwnd, int index) {
    return static_cast<DWORD>(GetClassLongPtrA(hwnd, index));
}

ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    auto cls = ClassOfWindow(hwnd);
    if (!cls)
        return 0;
    ULONG_PTR old = GetClassLongPtrA(hwnd, index);
    std::lock_guard guard(UserLock());
    switch (index) {
    case GCLP_HBRBACKGROUND: cls->background = reinterpret_cast<HBRUSH>(value); break;
    case GCLP_HCURSOR: cls->cursor = reinterpret_cast<HCURSOR>(value); break;
    case GCLP_HICON: cls->icon = reinterpret_cast<HICON>(value); break;
    case GCLP_HICONSM: cls->smallIcon = reinterpret_cast<HICON>(value); break;
    case GCLP_WNDPROC: cls->proc = reinterpret_cast<WNDPROC>(value); break;
    case GCL_STYLE: cls->style = static_cast<UINT>(value); break;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= cls->extra.size()) {
            memcpy(cls->extra.data() + index, &value, sizeof(value));
            break;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return old;
}
