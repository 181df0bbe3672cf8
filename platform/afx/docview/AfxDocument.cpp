#include "AfxDocument.h"

#include <utility>

#include "AfxArchive.h"
#include "AfxDocManager.h"
#include "AfxDocTemplate.h"
#include "AfxMessageBox.h"
#include "AfxPath.h"
#include "AfxStringTable.h"
#include "AfxWinApp.h"
#include "WinFiles.h"
#include "WinHandles.h"

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

BEGIN_MESSAGE_MAP(CDocument, CCmdTarget)
ON_COMMAND(ID_FILE_CLOSE, &CDocument::OnFileClose)
ON_COMMAND(ID_FILE_SAVE, &CDocument::OnFileSave)
ON_COMMAND(ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs)
END_MESSAGE_MAP()

CDocument::~CDocument() {
    if (m_pDocTemplate != nullptr)
        m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetPathName(LPCTSTR lpszPathName, BOOL bAddToMRU) {
    m_strPathName = AfxFullPath(lpszPathName);
    SetTitle(AfxFileNameOf(m_strPathName));
    if (bAddToMRU && AfxGetApp() != nullptr)
        AfxGetApp()->AddToRecentFileList(m_strPathName);
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return m_pDocTemplate != nullptr && m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CDocument::DeleteContents() {}

BOOL CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.Empty();
    SetModifiedFlag(FALSE);
    return TRUE;
}

CFile* CDocument::GetFile(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    auto* pFile = new CFile;
    if (!pFile->Open(lpszFileName, nOpenFlags, pError)) {
        delete pFile;
        return nullptr;
    }
    return pFile;
}

void CDocument::ReleaseFile(CFile* pFile, BOOL bAbort) {
    if (pFile == nullptr)
        return;
    if (bAbort) {
        pFile->Abort();
    } else {
        try {
            pFile->Close();
        } catch (CException*) {
            delete pFile; // the caller no longer owns it
            throw;
        }
    }
    delete pFile;
}

BOOL CDocument::OnOpenDocument(LPCTSTR lpszPathName) {
    CFileException fe;
    CFile* pFile = GetFile(lpszPathName, CFile::modeRead | CFile::shareDenyWrite, &fe);
    if (pFile == nullptr) {
        ReportSaveLoadException(lpszPathName, &fe, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    DeleteContents();
    SetModifiedFlag(TRUE); // dirty while it is being read
    try {
        {
            CArchive ar(pFile, CArchive::load | CArchive::bNoFlushOnDelete);
            ar.m_pDocument = this;
            Serialize(ar);
            ar.Close();
        }
        ReleaseFile(std::exchange(pFile, nullptr), FALSE);
    } catch (CException* e) {
        ReleaseFile(pFile, TRUE);
        // What was read of the file goes again: the open is undone.
        DeleteContents();
        ReportSaveLoadException(lpszPathName, e, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        e->Delete();
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(LPCTSTR lpszPathName) {
    // The new contents go into a temporary file beside the target, so that the rename replacing the target is
    // one step on one volume and the target is never half-written.
    char tempPath[MAX_PATH] = {};
    if (GetTempFileNameA(AfxFolderOf(lpszPathName), "tdl", 0, tempPath) == 0) {
        LONG error = static_cast<LONG>(GetLastError());
        CFileException fe(CFileException::OsErrorToException(error), error, lpszPathName);
        ReportSaveLoadException(lpszPathName, &fe, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        return FALSE;
    }
    CFileException fe;
    CFile* pFile = GetFile(tempPath, CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive, &fe);
    if (pFile == nullptr) {
        DeleteFileA(tempPath);
        ReportSaveLoadException(lpszPathName, &fe, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        return FALSE;
    }
    try {
        {
            CArchive ar(pFile, CArchive::store | CArchive::bNoFlushOnDelete);
            ar.m_pDocument = this;
            Serialize(ar);
            ar.Close();
        }
        pFile->Flush();
        ReleaseFile(std::exchange(pFile, nullptr), FALSE);
    } catch (CException* e) {
        ReleaseFile(pFile, TRUE);
        DeleteFileA(tempPath);
        ReportSaveLoadException(lpszPathName, e, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        e->Delete();
        return FALSE;
    }
    // A program that maps the old file keeps its mapping: the rename only unlinks the old name.
    if (!MoveFileExA(tempPath, lpszPathName, MOVEFILE_REPLACE_EXISTING)) {
        LONG error = static_cast<LONG>(GetLastError());
        DeleteFileA(tempPath);
        CFileException moveError(CFileException::OsErrorToException(error), error, lpszPathName);
        ReportSaveLoadException(lpszPathName, &moveError, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::ReportSaveLoadException(LPCTSTR, CException* e, BOOL, UINT nIDPDefault) {
    // The user abandoned the operation and knows it.
    if (e != nullptr && e->IsKindOf(RUNTIME_CLASS(CUserException)))
        return;
    CString prompt = AfxFrameworkString(nIDPDefault);
    char detail[512] = {};
    if (e != nullptr && e->GetErrorMessage(detail, sizeof detail) && detail[0] != '\0') {
        prompt += "\n";
        prompt += detail;
    }
    AfxMessageBox(prompt, MB_ICONEXCLAMATION);
}

BOOL CDocument::SaveModified() {
    if (!IsModified())
        return TRUE;
    CString name = m_strPathName.IsEmpty() ? m_strTitle : AfxFileNameOf(m_strPathName);
    if (name.IsEmpty())
        name = AfxFrameworkString(AFX_IDS_UNTITLED);
    CString prompt = AfxFrameworkString(AFX_IDP_ASK_TO_SAVE);
    prompt.Replace("%1", name);
    switch (AfxMessageBox(prompt, MB_YESNOCANCEL, AFX_IDP_ASK_TO_SAVE)) {
    case IDCANCEL: return FALSE;
    case IDYES: return DoFileSave();
    default: return TRUE;
    }
}

BOOL CDocument::DoFileSave() {
    DWORD attributes = m_strPathName.IsEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(m_strPathName);
    // A read-only or vanished file is saved under a name the user gives.
    if (m_strPathName.IsEmpty() || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)))
        return DoSave(nullptr);
    return DoSave(m_strPathName);
}

BOOL CDocument::DoSave(LPCTSTR lpszPathName, BOOL bReplace) {
    CString newName = lpszPathName != nullptr ? lpszPathName : "";
    if (newName.IsEmpty()) {
        newName = m_strPathName;
        if (newName.IsEmpty())
            newName = m_strTitle;
        CDocManager* pManager = AfxGetApp() != nullptr ? AfxGetApp()->m_pDocManager : nullptr;
        if (pManager == nullptr ||
            !pManager->DoPromptFileName(newName, AFX_IDS_SAVEFILE, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, FALSE,
                                        m_pDocTemplate))
            return FALSE;
    }
    if (!OnSaveDocument(newName))
        return FALSE;
    if (bReplace)
        SetPathName(newName);
    return TRUE;
}

void CDocument::OnFileClose() {
    if (!SaveModified())
        return;
    OnCloseDocument();
}

void CDocument::OnFileSave() {
    DoFileSave();
}

void CDocument::OnFileSaveAs() {
    DoSave(nullptr);
}
