#include "AfxDocTemplate.h"

#include "AfxDocument.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"
#include "AfxPath.h"
#include "AfxStringTable.h"

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CMultiDocTemplate, CDocTemplate)

namespace {

// Field nIndex of a text whose fields are separated by chSep; FALSE when there are fewer fields.
BOOL ExtractSubString(CString& rString, const CString& full, int nIndex, char chSep) {
    int start = 0;
    for (int i = 0; i < nIndex; ++i) {
        int sep = full.Find(chSep, start);
        if (sep < 0) {
            rString.Empty();
            return FALSE;
        }
        start = sep + 1;
    }
    int end = full.Find(chSep, start);
    rString = end < 0 ? full.Mid(start) : full.Mid(start, end - start);
    return TRUE;
}

// Whether the path ends in one of the extensions of a filter field (".tdloft" or "*.a;*.b").
bool ExtensionMatches(const CString& path, const CString& filterExt) {
    CString name = AfxFileNameOf(path);
    int dot = name.ReverseFind('.');
    if (dot < 0)
        return false;
    CString ext = name.Mid(dot);
    CString one;
    for (int i = 0; ExtractSubString(one, filterExt, i, ';'); ++i) {
        one.Trim();
        if (!one.IsEmpty() && one[0] == '*')
            one = one.Mid(1);
        if (!one.IsEmpty() && ext.CompareNoCase(one) == 0)
            return true;
    }
    return false;
}

} // namespace

CDocTemplate::CDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                           CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass) {
    AfxLoadString(m_nIDResource, m_strDocStrings);
}

CDocTemplate::~CDocTemplate() = default;

void CDocTemplate::LoadTemplate() {
    if (m_strDocStrings.IsEmpty())
        AfxLoadString(m_nIDResource, m_strDocStrings);
}

BOOL CDocTemplate::GetDocString(CString& rString, DocStringIndex index) const {
    return ExtractSubString(rString, m_strDocStrings, static_cast<int>(index), '\n') && !rString.IsEmpty();
}

CDocTemplate::Confidence CDocTemplate::MatchDocType(LPCTSTR lpszPathName, CDocument*& rpDocMatch) {
    rpDocMatch = nullptr;
    POSITION pos = GetFirstDocPosition();
    while (pos != nullptr) {
        CDocument* pDoc = GetNextDoc(pos);
        if (AfxComparePath(pDoc->GetPathName(), lpszPathName)) {
            rpDocMatch = pDoc;
            return yesAlreadyOpen;
        }
    }
    CString extensions;
    if (GetDocString(extensions, CDocTemplate::filterExt) && ExtensionMatches(lpszPathName, extensions))
        return yesAttemptNative;
    // Any other file may still be one of ours.
    return yesAttemptForeign;
}

void CDocTemplate::AddDocument(CDocument* pDoc) {
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) {
    pDoc->m_pDocTemplate = nullptr;
}

CDocument* CDocTemplate::CreateNewDocument() {
    if (m_pDocClass == nullptr)
        return nullptr;
    CObject* pObject = nullptr;
    try {
        pObject = m_pDocClass->CreateObject();
    } catch (CException* e) {
        e->Delete();
        return nullptr;
    }
    auto* pDocument =
        pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CDocument)) ? static_cast<CDocument*>(pObject) : nullptr;
    if (pDocument == nullptr) {
        delete pObject;
        return nullptr;
    }
    AddDocument(pDocument);
    return pDocument;
}

BOOL CDocTemplate::SaveAllModified() {
    POSITION pos = GetFirstDocPosition();
    while (pos != nullptr) {
        if (!GetNextDoc(pos)->SaveModified())
            return FALSE;
    }
    return TRUE;
}

void CDocTemplate::CloseAllDocuments(BOOL) {
    POSITION pos = GetFirstDocPosition();
    while (pos != nullptr) {
        CDocument* pDoc = GetNextDoc(pos); // the position moves on before the document goes
        pDoc->OnCloseDocument();
    }
}

CMultiDocTemplate::CMultiDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                                     CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass) {
    LoadTemplate();
}

CMultiDocTemplate::~CMultiDocTemplate() {
    // Documents still open outlive no template: they forget it.
    while (!m_docList.IsEmpty())
        static_cast<CDocument*>(m_docList.RemoveHead())->m_pDocTemplate = nullptr;
    ReleaseSharedResources();
}

void CMultiDocTemplate::AddDocument(CDocument* pDoc) {
    CDocTemplate::AddDocument(pDoc);
    m_docList.AddTail(pDoc);
}

void CMultiDocTemplate::RemoveDocument(CDocument* pDoc) {
    CDocTemplate::RemoveDocument(pDoc);
    POSITION pos = m_docList.Find(pDoc);
    if (pos != nullptr)
        m_docList.RemoveAt(pos);
}

CDocument* CMultiDocTemplate::GetNextDoc(POSITION& rPos) const {
    return static_cast<CDocument*>(m_docList.GetNext(rPos));
}

void CMultiDocTemplate::SetDefaultTitle(CDocument* pDocument) {
    CString title;
    if (GetDocString(title, CDocTemplate::docName)) {
        CString number;
        number.Format("%d", m_nUntitledCount + 1);
        title += number;
    } else {
        title = AfxFrameworkString(AFX_IDS_UNTITLED);
    }
    pDocument->SetTitle(title);
}
