// CDocManager: the application's document templates, and the commands that pick one: New, Open (a file
// request whose filter lists the templates' file types) and opening a path (the template whose extension
// matches; the first registered on a tie).
#pragma once

#include "AfxObject.h"
#include "AfxString.h"
#include "afxcoll.h"

class CDocTemplate;
class CDocument;

class CDocManager : public CObject {
public:
    CDocManager() = default;
    ~CDocManager() override; // deletes the templates

    virtual void AddDocTemplate(CDocTemplate* pTemplate);
    POSITION GetFirstDocTemplatePosition() const { return m_templateList.GetHeadPosition(); }
    CDocTemplate* GetNextDocTemplate(POSITION& pos) const;

    // An open document of that path is returned as it is; otherwise the best template opens the file.
    virtual CDocument* OpenDocumentFile(LPCTSTR lpszFileName);
    virtual BOOL SaveAllModified();
    virtual void CloseAllDocuments(BOOL bEndSession);
    virtual int GetOpenDocumentCount();

    // Asks for a file name with the file request (open or save); fileName holds the initial name and
    // receives the choice. FALSE when the user cancelled.
    virtual BOOL DoPromptFileName(CString& fileName, UINT nIDSTitle, DWORD lFlags, BOOL bOpenFileDialog,
                                  CDocTemplate* pTemplate);
    // The request's filter, fields separated by '|': each template's (or only pTemplate's) filter name and
    // extension pattern, then all files. pstrDefaultExt receives the default extension (without its dot).
    CString BuildFilter(CDocTemplate* pTemplate, CString* pstrDefaultExt) const;

    virtual void OnFileNew();
    virtual void OnFileOpen();

    CPtrList m_templateList;

protected:
    // Brings the frame of an open document's first view to the front.
    void ActivateDocumentFrame(CDocument* pDocument);
};
