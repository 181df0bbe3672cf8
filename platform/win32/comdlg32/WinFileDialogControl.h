// Simulation control of the common file dialogs (not part of the platform's interface). A file dialog is a
// modal request of the kind ModalKind::File: its caption is the dialog's title, its text the filter with "|"
// between the pieces; IDOK chooses and IDCANCEL cancels. The name chosen is given from inside the request's
// steps with ChooseFileName, or by a queued QueueFileDialogChoice; IDOK without one takes the initial name.
#pragma once

#include <string>
#include <vector>

#include "WinUiControl.h"

namespace win32 {

struct FileDialogRequest {
    bool save = true;
    HWND owner = nullptr;
    std::string title;
    std::string filter; // the pieces joined by "|"
    std::string defaultExtension;
    std::string initialName;
    DWORD flags = 0;
    std::string chosen; // the full path returned; empty when the dialog gave none
};

// Inside the steps of a file-dialog request (or a display driver's Run of it): the name the user typed or
// picked.
void ChooseFileName(const std::string& path);
// Inside the same: what the request asks for (save or open, title, filter, default extension, initial name);
// null on a thread that is answering no file request.
const FileDialogRequest* CurrentFileDialogRequest();
// Queues a file-dialog answer that chooses `path` (matching as QueueModalAnswer).
void QueueFileDialogChoice(const std::string& path, const std::string& match = {});
std::vector<FileDialogRequest> FileDialogRequests();
void ClearFileDialogRequests();

} // namespace win32
