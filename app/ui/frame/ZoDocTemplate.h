// CZoDocTemplate: the program's document template. Each template holds at most one document: New or Open of
// a kind that is already open asks the open document to save its changes and then reuses it, in its window.
// So there is one live capture, and one user of the driver's capture banks, at a time.
#pragma once

#include "afxwin.h"

class CZoDocTemplate : public CMultiDocTemplate {
    DECLARE_DYNAMIC(CZoDocTemplate)
public:
    CZoDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass, CRuntimeClass* pViewClass);
    ~CZoDocTemplate() override = default;

    // The open document (renewed, or loaded from the path) or a new one in a new frame; nullptr when the
    // user keeps the open document's changes, or when creating, initialising or loading fails. A reused
    // document whose load failed after emptying it takes the template's name, no path, and an empty view.
    CDocument* OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible = TRUE) override;
    // The template's document name ("Capture Mode", "usblog") without a number; the framework's untitled
    // name when the template has none.
    void SetDefaultTitle(CDocument* pDocument) override;
};
