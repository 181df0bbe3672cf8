// What a list view shows of its rows, read from the control as a user sees it.
#pragma once

#include "afxwin.h"

namespace tdl::test {

// Whether the row lies on the list's page: at or below its top row and within the rows one page holds.
inline bool RowShown(const CListCtrl& list, int nRow) {
    const int nTop = list.GetTopIndex();
    return nRow >= nTop && nRow < nTop + list.GetCountPerPage();
}

} // namespace tdl::test
