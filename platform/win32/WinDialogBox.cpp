#include "WinDialogBox.h"

#include <string>

#include "WinHandles.h"
#include "WinMessageBox.h"
#include "WinResourceTable.h"
#include "WinUser.h"
#include "internal/ModalService.h"
#include "winerror.h"

namespace {

std::string TemplateName(LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return name;
}

} // namespace

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC, LPARAM) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    win32::DialogResource dialog;
    if (!templateName || !win32::GetDialogResource(instance, templateName, dialog)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    win32::ModalRequest request;
    request.kind = win32::ModalKind::Dialog;
    request.owner = owner;
    request.caption = dialog.caption;
    request.text = TemplateName(templateName);
    return win32::internal::ResolveModalRequest(request, IDCANCEL);
}

BOOL EndDialog(HWND, INT_PTR) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}
