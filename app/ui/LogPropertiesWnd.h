// CLogPropertiesWnd: the window of the Log Details docking pane, which decodes the record selected in the
// record list field by field into a property grid.
//
// For now the window is empty: the grid and its categories come with the Log Details pane, made in this
// window's creation.
#pragma once

#include "afxwin.h"

class CUSBLog;

class CLogPropertiesWnd : public CWnd {
    DECLARE_DYNAMIC(CLogPropertiesWnd)
public:
    CLogPropertiesWnd() = default;
    ~CLogPropertiesWnd() override = default;
    CLogPropertiesWnd(const CLogPropertiesWnd&) = delete;
    CLogPropertiesWnd& operator=(const CLogPropertiesWnd&) = delete;

    // No record shown: the record's values emptied, the kind categories emptied and hidden.
    void ClearRecord();
    // The record at the row of the document's record list, decoded into the grid.
    void ShowRecord(CUSBLog* pDocument, INT_PTR nRow);
};
