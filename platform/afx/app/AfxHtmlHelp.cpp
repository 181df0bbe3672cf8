#include "AfxHtmlHelp.h"

#include "WinModules.h"
#include "htmlhelp.h"

HWND AFXAPI AfxHtmlHelp(HWND hWnd, LPCTSTR lpszHelpFilePath, UINT nCmd, DWORD_PTR dwData) {
    // Bound per call and released after it: help may be installed or removed while the program runs.
    HMODULE hModule = LoadLibraryA("hhctrl.ocx");
    if (hModule == nullptr)
        return nullptr;
    HWND result = nullptr;
    auto pfn = reinterpret_cast<PFN_HTMLHELPA>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, "HtmlHelpA")));
    if (pfn != nullptr)
        result = pfn(hWnd, lpszHelpFilePath, nCmd, dwData);
    FreeLibrary(hModule);
    return result;
}
