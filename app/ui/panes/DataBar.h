// CDataBar: the window of the Data docking pane, which shows the data bytes of the selected record (or of a
// selected device item) in a read-only hex-dump control filling the bar, under a title that names them.
// Decoders and views fill it through the pane holder (CPanePointers).
//
// The bar keeps its own copy of the bytes it shows: decoders hand it pointers into records, and continuous
// logging resets the bank that holds a record while its bytes are still on show or being exported.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"

class CPPDumpCtrl;

class CDataBar : public CWnd {
    DECLARE_DYNAMIC(CDataBar)
public:
    CDataBar();
    ~CDataBar() override;
    CDataBar(const CDataBar&) = delete;
    CDataBar& operator=(const CDataBar&) = delete;

    // The bar's window, a child of the frame with the title and size; FALSE when it cannot be made.
    BOOL Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle = WS_CHILD);
    using CWnd::Create;

    // The hex-dump control; null until the bar's window has made it.
    CPPDumpCtrl* GetDumpCtrl() const { return m_pDumpCtrl.get(); }

    // Shows a copy of the bytes (none when pData is null or nLength 0).
    void SetDataBuffer(const BYTE* pData, ULONG nLength);
    // The title in the control's header band; with bRedraw the control is repainted.
    void SetTitle(LPCTSTR lpszTitle, BOOL bRedraw = TRUE);
    // No bytes and no title.
    void Clear(BOOL bRedraw = TRUE);
    // The bytes shown (the bar's copy, valid until they change) and their count; null and 0 when none.
    void GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) const;

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    std::vector<BYTE> m_data;
    std::unique_ptr<CPPDumpCtrl> m_pDumpCtrl; // goes before the bytes it points into
};
