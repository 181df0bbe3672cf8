// CLogPropertiesWnd: the window of the Log Details docking pane, which decodes the record selected in the
// record list field by field into its property grid. The grid's categories are made once, with the window;
// showing a record only hides, shows and refills them. The grid's in-place buttons of a record's data
// (toggle the data bar, export its bytes as CSV) become commands of the main window.
#pragma once

#include "afxwin.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/ui/panes/PropertiesWnd.h"

class CUSBLog;
struct _LOGHDR;

class CLogPropertiesWnd : public CPropertiesWnd, public GridOutputPane {
    DECLARE_DYNAMIC(CLogPropertiesWnd)
public:
    CLogPropertiesWnd() = default;
    ~CLogPropertiesWnd() override = default;
    CLogPropertiesWnd(const CLogPropertiesWnd&) = delete;
    CLogPropertiesWnd& operator=(const CLogPropertiesWnd&) = delete;

    // Decodes the record at a row of the document's record list into the grid. A row the record store cannot
    // give (past the end, outside a filtered view) leaves the grid as it was.
    void ShowRecord(CUSBLog* pDocument, INT_PTR nRow);
    // No record shown: the record's values emptied, the target and IRP hidden, the kind categories emptied and
    // hidden.
    void ClearRecord();

    CGkPropertyGrid* GetPropertyGrid() override { return &m_wndPropertyGrid; }
    // The colour an ordinary value is drawn in: the "Record" item's, read when the grid was built.
    COLORREF GetNormalValueColour() override { return m_clrNormalValue; }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    // Also the CSV export of a record's data.
    BOOL IsMainWindowButton(UINT nID) const override;
    DECLARE_MESSAGE_MAP()

private:
    // The record the store gives for a row; null for a row it refuses.
    static const _LOGHDR* GetRecordAt(CUSBLog* pDocument, INT_PTR nRow);

    COLORREF m_clrNormalValue = 0;
};
