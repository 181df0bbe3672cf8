// CDocManager: what it asks of the user and shows.
#include "AfxDocManager.h"
#include "AfxDocument.h"
#include "AfxFrameWnd.h"
#include "AfxStringTable.h"
#include "AfxView.h"
#include "AfxWinApp.h"
#include "commdlg.h"

#include <vector>

BOOL CDocManager::DoPromptFileName(CString& fileName, UINT nIDSTitle, DWORD lFlags, BOOL bOpenFileDialog,
                                   CDocTemplate* pTemplate) {
    CString defaultExt;
    // The dialog wants the pieces ended by NUL and the list by a second NUL: every '|' becomes a NUL.
    CString filter = BuildFilter(pTemplate, &defaultExt);
    std::vector<char> filterPieces(filter.GetString(), filter.GetString() + filter.GetLength());
    for (char& c : filterPieces)
        if (c == '|')
            c = '\0';
    filterPieces.push_back('\0');
    CString title = AfxFrameworkString(nIDSTitle);

    std::vector<char> name(MAX_PATH, '\0');
    if (static_cast<size_t>(fileName.GetLength()) < name.size())
        std::copy(fileName.GetString(), fileName.GetString() + fileName.GetLength(), name.begin());

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    CWnd* pMainWnd = AfxGetMainWnd();
    ofn.hwndOwner = pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
    ofn.lpstrFilter = filterPieces.data();
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = defaultExt.IsEmpty() ? nullptr : defaultExt.GetString();
    ofn.Flags = lFlags | OFN_EXPLORER | (bOpenFileDialog ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
    BOOL chosen = bOpenFileDialog ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    if (chosen)
        fileName = name.data();
    return chosen;
}

void CDocManager::ActivateDocumentFrame(CDocument* pDocument) {
    POSITION pos = pDocument->GetFirstViewPosition();
    if (pos == nullptr)
        return;
    CView* pView = pDocument->GetNextView(pos);
    CFrameWnd* pFrame = pView->GetParentFrame();
    if (pFrame != nullptr)
        pFrame->ActivateFrame();
}
