// Simulation control of HTML Help: the two "hhctrl" modules a machine may have (see WinModulesControl.h).
// - The answering module, the program's: its HtmlHelpA answers as the platform's viewer answers a help file it
//   cannot open, and this machine can open none. A display command (HH_DISPLAY_TOPIC, HH_DISPLAY_TOC,
//   HH_DISPLAY_INDEX, HH_DISPLAY_SEARCH, HH_KEYWORD_LOOKUP, HH_HELP_CONTEXT, HH_ALINK_LOOKUP) naming a file
//   shows the box "Cannot open the file: <file>." (caption "HTML Help", OK, exclamation icon), owned by the
//   caller's window, and returns no window; HH_GET_LAST_ERROR then reports HH_E_FILENOTFOUND (or
//   HH_E_INVALIDHELPFILE for a file that is there) with no description, since the user has been told. A display
//   command without a file shows nothing and reports E_INVALIDARG; other commands report S_OK. The last error
//   is the calling thread's.
// - The recording module, for tests: its HtmlHelpA records every call and answers with the result a test set;
//   its HH_GET_LAST_ERROR reports the result and description a test set.
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

// Registers the answering "hhctrl" (file "\Windows\System32\hhctrl.ocx").
void RegisterAnsweringHtmlHelpModule();

// Registers the recording "hhctrl" (file "\Windows\System32\hhctrl.ocx") and forgets earlier calls and settings.
void RegisterHtmlHelpModule();
// What HtmlHelpA returns for commands other than HH_GET_LAST_ERROR (nullptr by default).
void SetHtmlHelpResult(HWND result);
// What HH_GET_LAST_ERROR reports (S_OK and an empty description by default).
void SetHtmlHelpLastError(HRESULT hr, const std::u16string& description);
std::vector<HtmlHelpCall> HtmlHelpCalls();

} // namespace win32
