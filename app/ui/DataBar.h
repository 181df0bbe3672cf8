// CDataBar: the window of the Data docking pane, which shows the data bytes of the selected record (or of a
// selected device item) in a hex-dump control, under a title that names them. Decoders and views fill it
// through the pane holder (CPanePointers).
//
// For now the window holds no hex-dump control (GetDumpCtrl is null, so the main frame does not offer the bar
// to the pane holder): the control comes with the data bar proper, made in this window's creation.
#pragma once

#include "afxwin.h"

class CPPDumpCtrl;

class CDataBar : public CWnd {
    DECLARE_DYNAMIC(CDataBar)
public:
    CDataBar() = default;
    ~CDataBar() override = default;
    CDataBar(const CDataBar&) = delete;
    CDataBar& operator=(const CDataBar&) = delete;

    // The bar's window, a child of the frame with the title and size; FALSE when it cannot be made.
    BOOL Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle = WS_CHILD);
    using CWnd::Create;

    // The hex-dump control; null until the bar's window has made it.
    CPPDumpCtrl* GetDumpCtrl() const { return m_pDumpCtrl; }

    // The bytes shown (they stay the caller's), the title above them, both emptied, and what is shown.
    void SetDataBuffer(const BYTE* pData, ULONG nLength);
    void SetTitle(LPCTSTR lpszTitle, BOOL bRedraw = TRUE);
    void Clear(BOOL bRedraw = TRUE);
    void GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) const;

private:
    CPPDumpCtrl* m_pDumpCtrl = nullptr;
};
