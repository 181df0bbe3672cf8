// The print-setup dialog over the modal request service. There are no printers here: the request only tells
// the caller whether the user confirmed.
#include "commdlg.h"

#include "WinMessageBox.h"
#include "internal/CommDlgError.h"
#include "internal/ModalService.h"

BOOL PrintDlgA(LPPRINTDLGA ppd) {
    win32::internal::SetCommDlgError(0);
    if (ppd == nullptr || ppd->lStructSize != sizeof(PRINTDLGA)) {
        win32::internal::SetCommDlgError(CDERR_STRUCTSIZE);
        return FALSE;
    }
    if ((ppd->Flags & PD_PRINTSETUP) == 0) {
        win32::internal::SetCommDlgError(CDERR_INITIALIZATION);
        return FALSE;
    }
    win32::ModalRequest request;
    request.kind = win32::ModalKind::PrintSetup;
    request.owner = ppd->hwndOwner;
    request.caption = "Print Setup";
    auto valid = [](INT_PTR answer) { return answer == IDOK || answer == IDCANCEL; };
    return win32::internal::ResolveModalRequest(request, IDCANCEL, valid) == IDOK ? TRUE : FALSE;
}
