#include "AfxWndClass.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "AfxException.h"
#include "AfxString.h"
#include "AfxWinApp.h"
#include "AfxWnd.h"

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
