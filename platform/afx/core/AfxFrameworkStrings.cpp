// The framework's own texts: prompts and names it shows when the program's string table does not replace them.
#include "AfxMessages.h"
#include "AfxString.h"
#include "AfxStringTable.h"

namespace {

struct FrameworkString {
    UINT nID;
    LPCTSTR lpszText;
};

constexpr FrameworkString kStrings[] = {
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {AFX_IDS_UNTITLED, "Untitled"},
    {AFX_IDS_SAVEFILE, "Save As"},
    {AFX_IDS_OPENFILE, "Open"},
    {AFX_IDS_ALLFILTER, "All Files (*.*)"},
    {AFX_IDP_FAILED_TO_OPEN_DOC, "The document could not be opened."},
    {AFX_IDP_FAILED_TO_SAVE_DOC, "The document could not be saved."},
    {AFX_IDP_ASK_TO_SAVE, "Save changes to %1?"},
    {AFX_IDP_FAILED_TO_CREATE_DOC, "A new document could not be created."},
    {AFX_IDP_COMMAND_FAILURE, "The command could not be carried out."},
    {AFX_IDP_FAILED_MEMORY_ALLOC, "There is not enough memory for this operation."},
    {AFX_IDP_INTERNAL_FAILURE, "An internal error occurred in the application."},
};

} // namespace

CString AFXAPI AfxFrameworkString(UINT nID) {
    CString text;
    if (AfxLoadString(nID, text))
        return text;
    for (const FrameworkString& s : kStrings)
        if (s.nID == nID)
            return CString(s.lpszText);
    return CString();
}
