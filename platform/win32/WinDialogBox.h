// Modal dialogs from templates. Until the dialog manager builds dialogs from their templates, a modal dialog is
// only a modal request (WinUiControl.h, kind Dialog, text the template's name: "#104" for a numbered one) that
// a test answers with the dialog's result, caption the template's); no window is made and the dialog procedure
// is not called. A template the module does not have gives -1 (ERROR_RESOURCE_NAME_NOT_FOUND) with no request;
// an answer of -1 stands for another dialog that could not be made. Unanswered, a dialog is closed: IDCANCEL.
#pragma once

#include "WinUserTypes.h"
#include "windef.h"

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam);
inline INT_PTR DialogBoxParam(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                              LPARAM initParam) {
    return DialogBoxParamA(instance, templateName, owner, dialogProc, initParam);
}
inline INT_PTR DialogBoxA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc) {
    return DialogBoxParamA(instance, templateName, owner, dialogProc, 0);
}
// FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not a modal dialog (every window, until dialogs
// are windows).
BOOL EndDialog(HWND dialog, INT_PTR result);
