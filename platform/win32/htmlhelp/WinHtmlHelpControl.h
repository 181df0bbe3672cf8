// Simulation control of HTML Help: a recording "hhctrl" module. Once registered (a module of the machine, see
// WinModulesControl.h) its HtmlHelpA records every call and answers with the result a test set; its
// HH_GET_LAST_ERROR reports the result and description a test set.
#pragma once

#include <string>
#include <vector>

#include "WinUserTypes.h"
#include "windef.h"

namespace win32 {

struct HtmlHelpCall {
    HWND hwndCaller;
    std::string file;
    UINT command;
    DWORD_PTR data;
};

// Registers "hhctrl" (file "\Windows\System32\hhctrl.ocx") and forgets earlier calls and settings.
void RegisterHtmlHelpModule();
// What HtmlHelpA returns for commands other than HH_GET_LAST_ERROR (nullptr by default).
void SetHtmlHelpResult(HWND result);
// What HH_GET_LAST_ERROR reports (S_OK and an empty description by default).
void SetHtmlHelpLastError(HRESULT hr, const std::u16string& description);
std::vector<HtmlHelpCall> HtmlHelpCalls();

} // namespace win32
