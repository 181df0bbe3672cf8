// CDocument: a document of the document/view framework: its data (Serialize), its file (path, title,
// modified flag), its views, and the way it is opened, saved and closed.
//
// Saving never destroys the file it replaces: the document is written to a new temporary file in the target's
// folder, which replaces the target only once the archive and the file were flushed and closed. Any failure
// (a failed write, or a CUserException the document throws to abandon its save) removes the temporary file,
// shows the failure (nothing for CUserException) and leaves the target, the path, the title, the recent files
// and the modified flag as they were.
#pragma once

#include "AfxCmdTarget.h"
#include "AfxException.h"
#include "AfxFile.h"
#include "AfxString.h"
#include "afxcoll.h"

class CDocTemplate;
class CFrameWnd;
class CView;

class CDocument : public CCmdTarget {
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument() = default;
    ~CDocument() override; // leaves its template

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(LPCTSTR lpszTitle);
    const CString& GetPathName() const { return m_strPathName; }
    // The full path; the title becomes the file's name; with bAddToMRU the path goes into the recent files.
    virtual void SetPathName(LPCTSTR lpszPathName, BOOL bAddToMRU = TRUE);
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    // Views.
    virtual POSITION GetFirstViewPosition() const { return m_viewList.GetHeadPosition(); }
    virtual CView* GetNextView(POSITION& rPosition) const;
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    void UpdateAllViews(CView* pSender, LPARAM lHint = 0L, CObject* pHint = nullptr);
    virtual void OnChangedViewList(); // closes the document when its last view went
    virtual void UpdateFrameCounts(); // numbers the frames of a document shown in several ("title:2")

    // Life cycle.
    virtual void DeleteContents();
    virtual BOOL OnNewDocument();
    // Loads through an archive with m_pDocument set. A failure is shown (nothing for CUserException) and the
    // contents are deleted again.
    virtual BOOL OnOpenDocument(LPCTSTR lpszPathName);
    // The safe save (see above).
    virtual BOOL OnSaveDocument(LPCTSTR lpszPathName);
    // Destroys the document's frames, then the contents, then (with m_bAutoDelete) the document.
    virtual void OnCloseDocument();
    virtual void ReportSaveLoadException(LPCTSTR lpszPathName, CException* e, BOOL bSaving, UINT nIDPDefault);
    virtual CFile* GetFile(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError);
    virtual void ReleaseFile(CFile* pFile, BOOL bAbort);

    // Closing: asks to save a modified document ("Save changes to <name>?", Yes/No/Cancel); FALSE for Cancel or
    // a failed save.
    virtual BOOL SaveModified();
    virtual BOOL CanCloseFrame(CFrameWnd* pFrame);
    virtual void PreCloseFrame(CFrameWnd* pFrame);
    // Saves to lpszPathName, or, when it is null, to a name the user gives in a file request; with bReplace the
    // document takes the new path.
    virtual BOOL DoSave(LPCTSTR lpszPathName, BOOL bReplace = TRUE);
    virtual BOOL DoFileSave();

    // Commands reach the document, then its template.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    void OnFileClose();
    void OnFileSave();
    void OnFileSaveAs();

    CString m_strTitle;
    CString m_strPathName;
    CDocTemplate* m_pDocTemplate = nullptr;
    CPtrList m_viewList;
    BOOL m_bModified = FALSE;
    BOOL m_bAutoDelete = TRUE; // deleted when closed
    BOOL m_bEmbedded = FALSE;
    BOOL m_bClosing = FALSE; // OnCloseDocument is closing the frames

protected:
    DECLARE_MESSAGE_MAP()
};
