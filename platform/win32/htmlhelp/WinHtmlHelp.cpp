#include <mutex>

#include "WinHtmlHelpControl.h"
#include "WinModulesControl.h"
#include "htmlhelp.h"

namespace {

struct HelpState {
    std::mutex lock;
    std::vector<win32::HtmlHelpCall> calls;
    HWND result = nullptr;
    HRESULT lastError = S_OK;
    std::u16string description;
};

HelpState& State() {
    static HelpState state;
    return state;
}

// The description handed out by HH_GET_LAST_ERROR: the caller's copy, valid until its next call.
thread_local std::u16string t_description;

HWND WINAPI RecordingHtmlHelpA(HWND hwndCaller, LPCSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    HelpState& s = State();
    std::lock_guard guard(s.lock);
    s.calls.push_back({hwndCaller, pszFile != nullptr ? pszFile : "", uCommand, dwData});
    if (uCommand != HH_GET_LAST_ERROR)
        return s.result;
    auto* error = reinterpret_cast<HH_LAST_ERROR*>(dwData);
    if (error == nullptr || error->cbStruct < static_cast<int>(sizeof(HH_LAST_ERROR)))
        return nullptr;
    t_description = s.description;
    error->hr = s.lastError;
    error->description = t_description.empty() ? nullptr : t_description.c_str();
    return nullptr;
}

} // namespace

namespace win32 {

void RegisterHtmlHelpModule() {
    {
        HelpState& s = State();
        std::lock_guard guard(s.lock);
        s.calls.clear();
        s.result = nullptr;
        s.lastError = S_OK;
        s.description.clear();
    }
    RegisterModule("hhctrl", {Export("HtmlHelpA", &RecordingHtmlHelpA)}, "\\Windows\\System32\\hhctrl.ocx");
}

void SetHtmlHelpResult(HWND result) {
    HelpState& s = State();
    std::lock_guard guard(s.lock);
    s.result = result;
}

void SetHtmlHelpLastError(HRESULT hr, const std::u16string& description) {
    HelpState& s = State();
    std::lock_guard guard(s.lock);
    s.lastError = hr;
    s.description = description;
}

std::vector<HtmlHelpCall> HtmlHelpCalls() {
    HelpState& s = State();
    std::lock_guard guard(s.lock);
    return s.calls;
}

} // namespace win32
