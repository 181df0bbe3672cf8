#include "tests/support/ScreenReads.h"

#include <algorithm>

#include "GkPropertyGrid.h"
#include "GkStatusBar.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/loglist/LogListView.h"
#include "app/ui/panes/DataBar.h"
#include "app/widgets/PPDumpCtrl.h"

namespace tdl::test {

std::vector<ShownRow> RecordListRows(CLogListView& view, int first, int count) {
    CListCtrl& list = view.GetListCtrl();
    const int columns = list.GetHeaderCtrl() != nullptr ? list.GetHeaderCtrl()->GetItemCount() : 0;
    const int end = count < 0 ? list.GetItemCount() : std::min(list.GetItemCount(), first + count);
    auto* pDoc = dynamic_cast<CUSBLog*>(view.GetDocument());
    std::vector<ShownRow> rows;
    for (int row = first; row < end; ++row) {
        ShownRow shown;
        for (int column = 0; column < columns; ++column)
            shown.cells.emplace_back(list.GetItemText(row, column).GetString());
        if (pDoc != nullptr)
            pDoc->GetLogRecords()->GetRecordHighlight(pDoc, row, shown.text, shown.background);
        rows.push_back(std::move(shown));
    }
    return rows;
}

std::vector<std::string> RecordListColumns(CLogListView& view) {
    CHeaderCtrl* pHeader = view.GetListCtrl().GetHeaderCtrl();
    std::vector<std::string> titles;
    for (int i = 0; pHeader != nullptr && i < pHeader->GetItemCount(); ++i) {
        char text[128] = {};
        HDITEMA item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        pHeader->GetItem(i, &item);
        titles.emplace_back(text);
    }
    return titles;
}

std::string GridView(const CGkPropertyGrid& grid) {
    return grid.DumpView().GetString();
}

ShownData DataBarShown(const CDataBar& bar) {
    ShownData shown;
    shown.title = CPPDumpCtrl::GetSpecialText().GetString();
    const CPPDumpCtrl* pDump = bar.GetDumpCtrl();
    size_t length = 0;
    const BYTE* pData = pDump != nullptr ? pDump->GetData(&length) : nullptr;
    if (pData != nullptr)
        shown.bytes.assign(pData, pData + length);
    return shown;
}

std::vector<std::string> TreePath(const CTreeCtrl& tree, HTREEITEM hItem) {
    std::vector<std::string> path;
    for (; hItem != nullptr && tree.GetParentItem(hItem) != nullptr; hItem = tree.GetParentItem(hItem))
        path.insert(path.begin(), static_cast<LPCSTR>(tree.GetItemText(hItem)));
    return path;
}

int TreeCheckState(const CTreeCtrl& tree, HTREEITEM hItem) {
    return static_cast<int>((tree.GetItemState(hItem, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12);
}

std::string StatusPanes(const CGkStatusBar& bar) {
    return bar.DumpPanes().GetString();
}

std::vector<std::string> ModalLog() {
    std::vector<std::string> log;
    for (const win32::ModalRequest& request : win32::ModalRequests())
        log.push_back(std::string(win32::ModalKindName(request.kind)) + ": " + request.text);
    return log;
}

} // namespace tdl::test
