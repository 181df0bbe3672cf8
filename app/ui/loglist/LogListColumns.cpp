#include "app/ui/loglist/LogListColumns.h"

#include <vector>

#include "app/core/diagnostics/Trace.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"

namespace {

constexpr char kSection[] = "LogColumns";
// The width a column goes into the list with before the header measures it.
constexpr int kInsertWidth = 20;

struct ColumnSpec {
    LPCTSTR heading;
    int format;
    LPCTSTR sample;
    bool bySample;
    bool inactive;
    bool removable;
    LPCTSTR menuText;
};

// One row per column id, in id order.
constexpr ColumnSpec kTable[CLogListColumns::ColumnIdCount] = {
    {"Type", LVCFMT_LEFT, "MPORT", true, false, false, "Type (Request Category)"},
    {"#", LVCFMT_RIGHT, "52345", true, false, true, "# (Sequence Number)"},
    {"Request", LVCFMT_LEFT, "XxxxXxxxXxxxXxxxXxxx", true, false, true, "Request (Descriptive Name)"},
    {"I/O", LVCFMT_CENTER, ".OUT", true, false, true, "I/O (Data Direction)"},
    {"Time", LVCFMT_CENTER, "88.23456789", true, false, true, "Elapsed Time"},
    {"DO", LVCFMT_CENTER, "'XXXYYY0'", true, false, true, "DO (Target DeviceObject)"},
    {"Target", LVCFMT_CENTER, "", false, true, true, "Target (Target USB Device)"},
    {"Cfg:Ifc:Epa", LVCFMT_CENTER, "55:55:55_", true, false, true, "Configuration : Interface : EndPoint"},
    {"Iso Err/ZLP", LVCFMT_CENTER, "0/0", false, false, true, "Iso Packet Errors (Count)"},
    {"CBW", LVCFMT_CENTER, "", false, false, true, "Mass Storage CBW (Command Block Wrapper)"},
    {"CSW", LVCFMT_CENTER, "", false, false, true, "Mass Storage CSW (Command Status Wrapper)"},
    {"Data", LVCFMT_CENTER, "0xfffffedc121234", true, true, true, "First few bytes of transfer buffer"},
    {"Irp Request", LVCFMT_CENTER, "0xfffffedc121234", true, false, true, "IRP Request (Kernel Address)"},
    {"Irp Status", LVCFMT_LEFT, "", false, false, true, "IRP Status (NTSTATUS)"},
};

CString EntryName(LPCTSTR lpszValue, ULONG nColumnId) {
    CString name;
    name.Format("Header%d_%s", static_cast<int>(nColumnId), lpszValue);
    return name;
}

} // namespace

CListCtrl* CLogListColumns::ListCtrl() const {
    return m_pView != nullptr && m_pView->GetSafeHwnd() != nullptr ? &m_pView->GetListCtrl() : nullptr;
}

int CLogListColumns::AddColumn(LPCTSTR lpszHeading, ULONG nColumnId, int nFormat, BOOL bWidthBySample,
                               LPCTSTR lpszSample, ULONG nSavedWidth) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_LOG_LIST, "--CLogListColumns::AddColumn");
    LVCOLUMN column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = nFormat;
    column.cx = static_cast<int>(nSavedWidth);
    column.pszText = const_cast<LPSTR>(lpszHeading);
    column.iSubItem = static_cast<int>(nColumnId);
    const COLUMN_PROP prop{nColumnId, bWidthBySample, lpszSample, nSavedWidth};
    try {
        m_Columns.Add(column);
        try {
            m_Props.Add(prop);
        } catch (CMemoryException*) {
            m_Columns.RemoveAt(m_Columns.GetUpperBound());
            throw;
        }
    } catch (CMemoryException* pException) {
        pException->ReportError(MB_ICONEXCLAMATION);
        pException->Delete();
        return -1;
    }
    return static_cast<int>(m_Columns.GetUpperBound());
}

int CLogListColumns::AddTableColumn(ULONG nColumnId, ULONG nSavedWidth) {
    const ColumnSpec& spec = kTable[nColumnId];
    return AddColumn(spec.heading, nColumnId, spec.format, spec.bySample ? TRUE : FALSE, spec.sample, nSavedWidth);
}

int CLogListColumns::AddColumnById(ULONG nColumnId) {
    if (nColumnId >= ColumnIdCount)
        return -1;
    return AddTableColumn(nColumnId, 0);
}

int CLogListColumns::InsertColumn(int nIndex) {
    CListCtrl* pList = ListCtrl();
    if (pList == nullptr || nIndex < 0 || nIndex >= GetCount())
        return -1;
    return pList->InsertColumn(nIndex, &m_Columns[nIndex]);
}

BOOL CLogListColumns::DeleteColumn(int nIndex) {
    CListCtrl* pList = ListCtrl();
    return pList != nullptr && pList->DeleteColumn(nIndex);
}

void CLogListColumns::RemoveColumn(int nIndex) {
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    m_Columns.RemoveAt(nIndex);
    m_Props.RemoveAt(nIndex);
}

void CLogListColumns::InsertAllColumns() {
    for (int i = 0; i < GetCount(); ++i) {
        m_Columns[i].mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        m_Columns[i].cx = kInsertWidth;
        InsertColumn(i);
    }
}

int CLogListColumns::FindColumn(ULONG nColumnId) const {
    for (int i = 0; i < GetCount(); ++i)
        if (m_Props[i].nColumnId == nColumnId)
            return i;
    return -1;
}

BOOL CLogListColumns::IsInactive(ULONG nColumnId) {
    return nColumnId < ColumnIdCount && kTable[nColumnId].inactive ? TRUE : FALSE;
}

BOOL CLogListColumns::IsRemovable(ULONG nColumnId) {
    return nColumnId < ColumnIdCount && kTable[nColumnId].removable ? TRUE : FALSE;
}

LPCTSTR CLogListColumns::GetMenuText(ULONG nColumnId) {
    return nColumnId < ColumnIdCount ? kTable[nColumnId].menuText : nullptr;
}

BOOL CLogListColumns::CanRemoveColumn(int nIndex) const {
    // Type stays wherever a layout put it, not only at the left: the Add column menu could never bring it back.
    return nIndex > 0 && nIndex < GetCount() && IsRemovable(GetColumnId(nIndex));
}

void CLogListColumns::LoadLogColumns() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListColumns::LoadLogColumns");
    CWinApp* pApp = AfxGetApp();
    struct Position {
        LONG nColumnId = -1;
        ULONG nWidth = 0;
    } positions[ColumnIdCount];
    ULONG nTypeWidth = 0;
    for (ULONG id = 0; id < ColumnIdCount; ++id) {
        if (IsInactive(id))
            continue;
        const UINT nShow = pApp != nullptr ? pApp->GetProfileInt(kSection, EntryName("Show", id), 1) : 1;
        const int nOrder = static_cast<int>(
            pApp != nullptr ? pApp->GetProfileInt(kSection, EntryName("Order", id), static_cast<int>(id)) : id);
        const ULONG nWidth = pApp != nullptr ? pApp->GetProfileInt(kSection, EntryName("Width", id), 0) : 0;
        if (id == LVCOL_RECORD_CATEGORY)
            nTypeWidth = nWidth;
        // Show 0 hides the column whatever its Order: this program writes it only together with Order -1.
        if (nShow == 0 || nOrder < 0 || nOrder >= static_cast<int>(ColumnIdCount))
            continue;
        // A later column given the same position takes it.
        positions[nOrder] = {static_cast<LONG>(id), nWidth};
    }
    // The Type column cannot be removed: a layout that lost it (hidden, or its place taken) gets it back as
    // the leftmost column, so that it is never gone for good.
    bool bTypeShown = false;
    for (const Position& position : positions)
        bTypeShown = bTypeShown || position.nColumnId == LVCOL_RECORD_CATEGORY;
    if (!bTypeShown)
        AddTypeColumn(nTypeWidth);
    for (const Position& position : positions)
        if (position.nColumnId >= 0)
            AddTableColumn(static_cast<ULONG>(position.nColumnId), position.nWidth);
}

void CLogListColumns::SaveLogColumns() const {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListColumns::SaveLogColumns");
    CWinApp* pApp = AfxGetApp();
    CListCtrl* pList = ListCtrl();
    if (pApp == nullptr || pList == nullptr)
        return;
    CHeaderCtrl* pHeader = pList->GetHeaderCtrl();
    const int nItems = pHeader != nullptr ? pHeader->GetItemCount() : 0;
    std::vector<int> order(static_cast<size_t>(nItems));
    if (nItems > 0 && !pHeader->GetOrderArray(order.data(), nItems))
        return;
    for (ULONG id = 0; id < ColumnIdCount; ++id) {
        int nPosition = -1;
        int nWidth = 0;
        for (int p = 0; p < nItems; ++p) {
            const int nIndex = order[static_cast<size_t>(p)];
            if (nIndex >= 0 && nIndex < GetCount() && GetColumnId(nIndex) == id) {
                nPosition = p;
                nWidth = pList->GetColumnWidth(nIndex);
                break;
            }
        }
        pApp->WriteProfileInt(kSection, EntryName("Show", id), nPosition >= 0 ? 1 : 0);
        pApp->WriteProfileInt(kSection, EntryName("Order", id), nPosition);
        pApp->WriteProfileInt(kSection, EntryName("Width", id), nWidth);
    }
}

void CLogListColumns::FillAddColumnSubMenu(CMenu& menu) const {
    for (ULONG id = 0; id < ColumnIdCount; ++id)
        if (!IsInactive(id) && IsRemovable(id))
            menu.AppendMenu(MF_STRING, ID_ADD_COLUMN_FIRST + id, GetMenuText(id));
    for (int i = 0; i < GetCount(); ++i) {
        const ULONG id = GetColumnId(i);
        if (IsInactive(id) || !IsRemovable(id))
            continue;
        menu.CheckMenuItem(ID_ADD_COLUMN_FIRST + id, MF_BYCOMMAND | MF_CHECKED);
        menu.EnableMenuItem(ID_ADD_COLUMN_FIRST + id, MF_BYCOMMAND | MF_GRAYED);
    }
}
