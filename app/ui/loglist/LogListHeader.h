// CLogListHeader: the record list's header control, subclassed from the list's own header child. The first
// column keeps its width (dragging its border is refused); "Arrange Columns" (command 204, broadcast by the
// list to its children) measures every column anew, and a layout with saved widths gets them back.
#pragma once

#include <functional>

#include "afxwin.h"

class CLogListView;

class CLogListHeader : public CHeaderCtrl {
    DECLARE_DYNAMIC(CLogListHeader)
public:
    CLogListHeader() = default;
    ~CLogListHeader() override = default;
    CLogListHeader(const CLogListHeader&) = delete;
    CLogListHeader& operator=(const CLogListHeader&) = delete;

    // Takes over the list's header window and adds hot tracking.
    BOOL SubclassHeader(CLogListView* pListView);
    // Each column as wide as its sample text (or its heading) in the header's font, plus a margin.
    void ResetColumnWidths();
    // Each column at its saved width.
    void RestoreColumnWidths();
    // The pixel width of a text in the header's font.
    int TextWidth(LPCTSTR lpszText);

protected:
    void OnArrangeColumns();
    void OnHdnBegintrack(NMHDR* pNMHDR, LRESULT* pResult);
    void OnHdnEndtrack(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

private:
    // Each column's width from its index, set in display order with the list's and the header's drawing
    // held, then both repainted.
    void SetWidths(const std::function<int(int nIndex)>& widthOf);
    void RedrawAll();

    CLogListView* m_pListView = nullptr;
};
