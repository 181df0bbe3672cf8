#include "AfxWndClass.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "AfxException.h"
#include "AfxString.h"
#include "AfxWinApp.h"
#include "AfxWnd.h"

namespace {

// Copies made of other classes, by the copied class's name (upper case).
struct SuperClasses {
    std::mutex lock;
    std::unordered_map<std::string, std::string> names;
    std::unordered_map<std::string, WNDPROC> procs;
};

SuperClasses& Supers() {
    static SuperClasses supers;
    return supers;
}

std::string UpperKey(LPCTSTR name) {
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

BOOL AFXAPI AfxRegisterClass(WNDCLASSA* lpWndClass) {
    WNDCLASSA existing{};
    if (::GetClassInfoA(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing))
        return TRUE;
    return ::RegisterClassA(lpWndClass) != 0;
}

LPCTSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
    static std::mutex lock;
    static std::unordered_map<std::string, std::string> names;
    char name[96];
    std::snprintf(name, sizeof name, "Afx:%llx:%x:%llx:%llx:%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(AfxGetInstanceHandle())), nClassStyle,
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hCursor)),
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hbrBackground)),
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hIcon)));
    std::lock_guard guard(lock);
    auto it = names.find(name);
    if (it != names.end())
        return it->second.c_str();
    WNDCLASSA wc{};
    wc.style = nClassStyle;
    wc.lpfnWndProc = &AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = hIcon;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.lpszClassName = name;
    if (!AfxRegisterClass(&wc))
        AfxThrowResourceException();
    return names.emplace(name, name).first->second.c_str();
}

LPCTSTR AFXAPI AfxDefaultWndClass() {
    return AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW));
}

LPCTSTR AFXAPI AfxFrameworkClassFor(LPCTSTR lpszClassName, WNDPROC* ppfnSuper) {
    *ppfnSuper = nullptr;
    if (lpszClassName == nullptr || IS_INTRESOURCE(lpszClassName))
        return nullptr;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExA(AfxGetInstanceHandle(), lpszClassName, &wc))
        return nullptr;
    if (wc.lpfnWndProc == &AfxWndProc)
        return lpszClassName;
    SuperClasses& supers = Supers();
    std::lock_guard guard(supers.lock);
    std::string key = UpperKey(lpszClassName);
    auto it = supers.names.find(key);
    if (it == supers.names.end()) {
        std::string copyName = "Afx:" + std::string(lpszClassName);
        WNDCLASSEXA copy = wc;
        copy.lpfnWndProc = &AfxWndProc;
        copy.hInstance = AfxGetInstanceHandle();
        copy.lpszClassName = copyName.c_str();
        WNDCLASSEXA existing{};
        existing.cbSize = sizeof existing;
        if (!::GetClassInfoExA(copy.hInstance, copy.lpszClassName, &existing) && ::RegisterClassExA(&copy) == 0)
            return nullptr;
        it = supers.names.emplace(key, copyName).first;
        supers.procs[key] = wc.lpfnWndProc;
    }
    *ppfnSuper = supers.procs[key];
    return it->second.c_str();
}
