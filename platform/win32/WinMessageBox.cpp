// Message boxes through the modal request service. Locks: none of its own.
#include "WinMessageBox.h"

#include <algorithm>
#include <vector>

#include "WinInput.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/ModalService.h"
#include "internal/WindowManager.h"
#include "winerror.h"

namespace {

std::vector<int> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {IDOK};
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
        return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default:
        return {};
    }
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const std::vector<int> buttons = ButtonsOf(type);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const size_t defaultIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    win32::ModalRequest request;
    request.kind = win32::ModalKind::MessageBox;
    request.owner = owner;
    request.text = text ? text : "";
    request.caption = caption ? caption : "Error";
    request.style = type;
    // The owner is disabled while the box is up; an owner of another thread is left alone, so that a worker's
    // box never waits for the thread that owns the window.
    HWND disabled = nullptr;
    if (owner) {
        HWND root = GetAncestor(owner, GA_ROOT);
        if (root && GetWindowThreadProcessId(root, nullptr) == GetCurrentThreadId() && IsWindowEnabled(root)) {
            EnableWindow(root, FALSE);
            disabled = root;
        }
    }
    auto offered = [&](INT_PTR answer) {
        return std::find(buttons.begin(), buttons.end(), static_cast<int>(answer)) != buttons.end();
    };
    INT_PTR answer = win32::internal::ResolveModalRequest(request, buttons[defaultIndex], offered);
    if (disabled && IsWindow(disabled)) {
        EnableWindow(disabled, TRUE);
        SetActiveWindow(disabled);
    }
    return static_cast<int>(answer);
}

int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    return MessageBoxA(owner, text, caption, type);
}

BOOL MessageBeep(UINT type) {
    win32::internal::RecordBeep(type);
    return TRUE;
}
