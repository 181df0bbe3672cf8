// The common file dialogs over the modal request service. Locks: the request list's own lock, never held
// while the request is answered (its steps may ask for more).
#include "commdlg.h"

#include <cstring>
#include <mutex>

#include "WinFileDialogControl.h"
#include "WinFiles.h"
#include "WinMessageBox.h"
#include "internal/CommDlgError.h"
#include "internal/ModalService.h"

namespace {

struct Requests {
    std::mutex lock;
    std::vector<win32::FileDialogRequest> list;
};

Requests& TheRequests() {
    static auto* requests = new Requests; // never destroyed: a worker may still ask during static destruction
    return *requests;
}

// The request being answered on this thread, for ChooseFileName.
thread_local win32::FileDialogRequest* t_current = nullptr;
thread_local DWORD t_lastError = 0;

// The filter's pieces (each ended by NUL, the list by a second NUL) joined by "|".
std::string JoinFilter(LPCSTR filter) {
    std::string joined;
    for (LPCSTR piece = filter; piece != nullptr && *piece != '\0'; piece += std::strlen(piece) + 1) {
        if (!joined.empty())
            joined += '|';
        joined += piece;
    }
    return joined;
}

size_t NameOffset(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

// The extension's offset (after the point), or 0 when the name has none.
size_t ExtensionOffset(const std::string& path) {
    size_t name = NameOffset(path);
    size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? 0 : dot + 1;
}

bool ConfirmOverwrite(const OPENFILENAMEA& ofn, const std::string& path, const std::string& title) {
    if ((ofn.Flags & OFN_OVERWRITEPROMPT) == 0 || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    std::string text = path.substr(NameOffset(path)) + " already exists.\nDo you want to replace it?";
    return MessageBoxA(ofn.hwndOwner, text.c_str(), title.c_str(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// An open dialog lets the user pick only a file that exists; a name that does not is refused with a box.
bool ConfirmExists(const OPENFILENAMEA& ofn, const std::string& path, const std::string& title) {
    if ((ofn.Flags & OFN_FILEMUSTEXIST) == 0 || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    std::string text = path.substr(NameOffset(path)) + "\nFile not found.\nCheck the file name and try again.";
    MessageBoxA(ofn.hwndOwner, text.c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return false;
}

} // namespace

namespace win32 {

void ChooseFileName(const std::string& path) {
    if (t_current != nullptr)
        t_current->chosen = path;
}

const FileDialogRequest* CurrentFileDialogRequest() {
    return t_current;
}

void QueueFileDialogChoice(const std::string& path, const std::string& match) {
    QueueModalSteps(
        ModalKind::File,
        [path](const ModalRequest&, HWND) {
            ChooseFileName(path);
            return static_cast<INT_PTR>(IDOK);
        },
        match);
}

std::vector<FileDialogRequest> FileDialogRequests() {
    std::lock_guard guard(TheRequests().lock);
    return TheRequests().list;
}

void ClearFileDialogRequests() {
    std::lock_guard guard(TheRequests().lock);
    TheRequests().list.clear();
}

} // namespace win32

namespace {

// Both file dialogs: one file request, the chosen path checked as the kind of dialog asks.
BOOL RunFileDialog(LPOPENFILENAMEA ofn, bool save) {
    t_lastError = 0;
    if (ofn == nullptr || ofn->lStructSize != sizeof(OPENFILENAMEA)) {
        t_lastError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    win32::FileDialogRequest record;
    record.save = save;
    record.owner = ofn->hwndOwner;
    record.title = ofn->lpstrTitle != nullptr ? ofn->lpstrTitle : save ? "Save As" : "Open";
    record.filter = JoinFilter(ofn->lpstrFilter);
    record.defaultExtension = ofn->lpstrDefExt != nullptr ? ofn->lpstrDefExt : "";
    if (ofn->lpstrFile != nullptr && ofn->nMaxFile > 0)
        record.initialName.assign(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    record.flags = ofn->Flags;

    win32::ModalRequest request;
    request.kind = win32::ModalKind::File;
    request.owner = ofn->hwndOwner;
    request.caption = record.title;
    request.text = record.filter;
    auto valid = [](INT_PTR answer) { return answer == IDOK || answer == IDCANCEL; };
    BOOL result = FALSE;
    std::string path;
    // A name the dialog refuses (No to replacing a file, or a file that must exist and does not) leaves the
    // dialog up: the user is asked again until a name is taken or the dialog is cancelled.
    for (bool askAgain = true; askAgain;) {
        askAgain = false;
        record.chosen.clear();
        t_current = &record;
        INT_PTR answer = win32::internal::ResolveModalRequest(request, IDCANCEL, valid);
        t_current = nullptr;

        path.clear();
        if (answer == IDOK) {
            path = record.chosen.empty() ? record.initialName : record.chosen;
            if (!path.empty() && ExtensionOffset(path) == 0 && !record.defaultExtension.empty())
                path += "." + record.defaultExtension;
        }
        if (path.empty()) {
            // Cancelled, or chosen with no name at all: nothing was chosen.
        } else if (ofn->lpstrFile == nullptr || path.size() >= ofn->nMaxFile) {
            t_lastError = FNERR_BUFFERTOOSMALL;
        } else if (save ? ConfirmOverwrite(*ofn, path, record.title) : ConfirmExists(*ofn, path, record.title)) {
            std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
            ofn->nFileOffset = static_cast<WORD>(NameOffset(path));
            ofn->nFileExtension = static_cast<WORD>(ExtensionOffset(path));
            result = TRUE;
        } else {
            askAgain = true;
        }
    }
    record.chosen = result ? path : std::string();
    {
        std::lock_guard guard(TheRequests().lock);
        TheRequests().list.push_back(record);
    }
    return result;
}

} // namespace

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return RunFileDialog(ofn, true);
}

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return RunFileDialog(ofn, false);
}

namespace win32::internal {

void SetCommDlgError(DWORD error) {
    t_lastError = error;
}

} // namespace win32::internal

DWORD CommDlgExtendedError() {
    return t_lastError;
}
