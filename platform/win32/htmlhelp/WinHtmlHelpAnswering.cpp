// The machine's own HTML Help: an "hhctrl" module whose HtmlHelpA answers as the platform's viewer does when
// it cannot open a help file. This machine has no reader of compiled help, so every file a display command
// names is one it cannot open: the user is told so in the viewer's own box, no window comes back, and
// HH_GET_LAST_ERROR then reports the failure without a description (the user has been told already). Locks:
// none; the last error belongs to the calling thread, as the platform keeps it.
#include <string>

#include "WinFiles.h"
#include "WinHtmlHelpControl.h"
#include "WinMessageBox.h"
#include "WinModulesControl.h"
#include "htmlhelp.h"
#include "winerror.h"

namespace {

thread_local HRESULT t_lastError = S_OK;

// The commands that open the help file in a window of the viewer.
bool OpensHelpFile(UINT command) {
    switch (command) {
    case HH_DISPLAY_TOPIC:
    case HH_DISPLAY_TOC:
    case HH_DISPLAY_INDEX:
    case HH_DISPLAY_SEARCH:
    case HH_KEYWORD_LOOKUP:
    case HH_HELP_CONTEXT:
    case HH_ALINK_LOOKUP: return true;
    default: return false;
    }
}

// The help file a command names: "file.chm::/topic.htm>window" names "file.chm".
std::string HelpFileOf(LPCSTR pszFile) {
    std::string file = pszFile;
    file = file.substr(0, file.find("::"));
    return file.substr(0, file.find('>'));
}

HWND WINAPI AnsweringHtmlHelpA(HWND hwndCaller, LPCSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    if (uCommand == HH_GET_LAST_ERROR) {
        auto* error = reinterpret_cast<HH_LAST_ERROR*>(dwData);
        if (error == nullptr || error->cbStruct < static_cast<int>(sizeof(HH_LAST_ERROR)))
            return nullptr;
        error->hr = t_lastError;
        error->description = nullptr;
        return nullptr;
    }
    if (!OpensHelpFile(uCommand)) {
        t_lastError = S_OK;
        return nullptr;
    }
    const std::string file = pszFile != nullptr ? HelpFileOf(pszFile) : std::string();
    if (file.empty()) {
        t_lastError = E_INVALIDARG;
        return nullptr;
    }
    // A file that is there is no more readable here than one that is not; the box is the same.
    t_lastError =
        ::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES ? HH_E_FILENOTFOUND : HH_E_INVALIDHELPFILE;
    const std::string text = "Cannot open the file: " + file + ".";
    ::MessageBoxA(hwndCaller, text.c_str(), "HTML Help", MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
}

} // namespace

namespace win32 {

void RegisterAnsweringHtmlHelpModule() {
    RegisterModule("hhctrl", {Export("HtmlHelpA", &AnsweringHtmlHelpA)}, "\\Windows\\System32\\hhctrl.ocx");
}

} // namespace win32
