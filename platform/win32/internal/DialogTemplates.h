// Internal to the user-mode stand-in: dialogs from templates held in memory (the message box builds its own),
// and the modal run every modal dialog shares.
#pragma once

#include <functional>

#include "WinResourceTable.h"
#include "WinUiControl.h"

namespace win32::internal {

// The dialog a template describes, modal (a pop-up, hidden until its run) or not; null when it cannot be made.
HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogResource& resource, HWND parent, DLGPROC proc,
                              LPARAM param, bool modal);
// Shows a modal dialog and resolves `request` through the modal service while it is up: a script's steps run
// with it, an outright answer presses that button (or ends the dialog with it); then destroys it. Returns
// EndDialog's result (-1 when the window is no dialog). The caller disables and enables the owner. An empty
// caption is taken from the dialog's title.
INT_PTR RunModalDialog(HWND dialog, ModalRequest request, INT_PTR defaultAnswer,
                       const std::function<bool(INT_PTR)>& isValid);

} // namespace win32::internal
