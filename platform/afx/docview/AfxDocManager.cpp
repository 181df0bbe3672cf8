#include "AfxDocManager.h"

#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"
#include "AfxPath.h"
#include "AfxStringTable.h"

CDocManager::~CDocManager() {
    while (!m_templateList.IsEmpty())
        delete static_cast<CDocTemplate*>(m_templateList.RemoveHead());
}

void CDocManager::AddDocTemplate(CDocTemplate* pTemplate) {
    if (pTemplate == nullptr || m_templateList.Find(pTemplate) != nullptr)
        return;
    pTemplate->LoadTemplate();
    m_templateList.AddTail(pTemplate);
}

CDocTemplate* CDocManager::GetNextDocTemplate(POSITION& pos) const {
    return static_cast<CDocTemplate*>(m_templateList.GetNext(pos));
}

CDocument* CDocManager::OpenDocumentFile(LPCTSTR lpszFileName) {
    if (lpszFileName == nullptr || *lpszFileName == '\0')
        return nullptr;
    CString path = AfxFullPath(lpszFileName);
    CDocTemplate* pBestTemplate = nullptr;
    CDocument* pOpenDocument = nullptr;
    CDocTemplate::Confidence bestMatch = CDocTemplate::noAttempt;
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos != nullptr) {
        CDocTemplate* pTemplate = GetNextDocTemplate(pos);
        CDocument* pMatch = nullptr;
        CDocTemplate::Confidence match = pTemplate->MatchDocType(path, pMatch);
        // Strictly better only: on a tie the template registered first keeps the file.
        if (match > bestMatch) {
            bestMatch = match;
            pBestTemplate = pTemplate;
            pOpenDocument = pMatch;
        }
        if (match == CDocTemplate::yesAlreadyOpen)
            break;
    }
    if (bestMatch == CDocTemplate::yesAlreadyOpen) {
        ActivateDocumentFrame(pOpenDocument);
        return pOpenDocument;
    }
    if (pBestTemplate == nullptr) {
        AfxMessageBox(AFX_IDP_FAILED_TO_OPEN_DOC);
        return nullptr;
    }
    return pBestTemplate->OpenDocumentFile(path);
}

BOOL CDocManager::SaveAllModified() {
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos != nullptr) {
        if (!GetNextDocTemplate(pos)->SaveAllModified())
            return FALSE;
    }
    return TRUE;
}

void CDocManager::CloseAllDocuments(BOOL bEndSession) {
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos != nullptr)
        GetNextDocTemplate(pos)->CloseAllDocuments(bEndSession);
}

int CDocManager::GetOpenDocumentCount() {
    int count = 0;
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos != nullptr) {
        CDocTemplate* pTemplate = GetNextDocTemplate(pos);
        POSITION docPos = pTemplate->GetFirstDocPosition();
        while (docPos != nullptr) {
            pTemplate->GetNextDoc(docPos);
            ++count;
        }
    }
    return count;
}

CString CDocManager::BuildFilter(CDocTemplate* pTemplate, CString* pstrDefaultExt) const {
    CString filter;
    auto append = [&](CDocTemplate* t) {
        CString name;
        CString ext;
        if (!t->GetDocString(name, CDocTemplate::filterName) || !t->GetDocString(ext, CDocTemplate::filterExt))
            return;
        // ".a;.b" becomes "*.a;*.b".
        CString patterns;
        int start = 0;
        while (start <= ext.GetLength()) {
            int end = ext.Find(';', start);
            CString one = end < 0 ? ext.Mid(start) : ext.Mid(start, end - start);
            one.Trim();
            if (!one.IsEmpty()) {
                if (one[0] != '*')
                    one = "*" + one;
                if (!patterns.IsEmpty())
                    patterns += ";";
                patterns += one;
                if (pstrDefaultExt != nullptr && pstrDefaultExt->IsEmpty())
                    *pstrDefaultExt = one.Mid(one.Find('.') + 1);
            }
            if (end < 0)
                break;
            start = end + 1;
        }
        filter += name + "|" + patterns + "|";
    };
    if (pstrDefaultExt != nullptr)
        pstrDefaultExt->Empty();
    if (pTemplate != nullptr) {
        append(pTemplate);
    } else {
        POSITION pos = GetFirstDocTemplatePosition();
        while (pos != nullptr)
            append(GetNextDocTemplate(pos));
    }
    filter += AfxFrameworkString(AFX_IDS_ALLFILTER) + "|*.*|";
    return filter;
}

void CDocManager::OnFileNew() {
    if (m_templateList.IsEmpty()) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        return;
    }
    // With several kinds of document the first registered is made.
    static_cast<CDocTemplate*>(m_templateList.GetHead())->OpenDocumentFile(nullptr);
}

void CDocManager::OnFileOpen() {
    CString newName;
    if (!DoPromptFileName(newName, AFX_IDS_OPENFILE, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, TRUE, nullptr))
        return;
    OpenDocumentFile(newName);
}
