#include "GkCommandBars.h"

#include <algorithm>
#include <map>

#include "GkMDIFrameWnd.h"
#include "GkMenuBar.h"
#include "GkProfileValue.h"
#include "WinResourceTable.h"

namespace {

constexpr uint32_t kTag = 0x42434B47; // "GKCB"
constexpr uint32_t kVersion = 2;
constexpr DWORD kEdges[] = {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT};
// Beyond these a stored place is not one this program wrote.
constexpr uint32_t kMaxRow = 64;
constexpr uint32_t kMaxOffset = 1 << 16;

bool IsEdge(DWORD dwEdge) {
    return std::find(std::begin(kEdges), std::end(kEdges), dwEdge) != std::end(kEdges);
}

bool IsHorizontalEdge(DWORD dwEdge) {
    return dwEdge == CBRS_ALIGN_TOP || dwEdge == CBRS_ALIGN_BOTTOM;
}

} // namespace

CGkCommandBars::CGkCommandBars(CFrameWnd* pFrame) : m_pFrame(pFrame) {}

CGkCommandBars::~CGkCommandBars() {
    for (CGkToolBar* pBar : m_bars) {
        if (pBar->GetSafeHwnd() != nullptr && ::IsWindow(pBar->GetSafeHwnd()))
            pBar->DestroyWindow();
        delete pBar;
    }
}

CGkMenuBar* CGkCommandBars::SetMenu(LPCTSTR lpszTitle, UINT nIDMenu) {
    HMENU hMenu = ::LoadMenu(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDMenu));
    if (hMenu == nullptr || m_pFrame == nullptr)
        return nullptr;
    ::DestroyMenu(hMenu);
    auto* pBar = new CGkMenuBar;
    pBar->SetCommandBars(this);
    pBar->SetTitle(lpszTitle);
    if (!pBar->CreateMenuBar(m_pFrame, nIDMenu)) {
        delete pBar;
        return nullptr;
    }
    m_pFrame->RemoveControlBar(pBar); // the command bars lay themselves out in rows
    for (CGkToolBar* pOther : m_bars)
        if (pOther->GetDockEdge() == CBRS_ALIGN_TOP)
            pOther->SetDockPosition(CBRS_ALIGN_TOP, pOther->GetDockRow() + 1, pOther->GetDockOffset());
    pBar->SetDockPosition(CBRS_ALIGN_TOP, 0, 0);
    m_bars.insert(m_bars.begin(), pBar);
    m_pMenuBar = pBar;
    m_pFrame->RecalcLayout();
    return pBar;
}

CGkToolBar* CGkCommandBars::Add(LPCTSTR lpszTitle, UINT nPosition) {
    if (m_pFrame == nullptr)
        return nullptr;
    DWORD dwAlign = nPosition & CBRS_ALIGN_ANY;
    if (dwAlign != CBRS_ALIGN_LEFT && dwAlign != CBRS_ALIGN_RIGHT && dwAlign != CBRS_ALIGN_BOTTOM)
        dwAlign = CBRS_ALIGN_TOP;
    auto* pBar = new CGkToolBar;
    pBar->SetCommandBars(this);
    pBar->SetTitle(lpszTitle);
    if (!pBar->Create(m_pFrame, WS_CHILD | WS_VISIBLE | dwAlign, 0)) {
        delete pBar;
        return nullptr;
    }
    m_pFrame->RemoveControlBar(pBar); // the command bars lay themselves out in rows
    // A new bar gets a row of its own beyond the edge's others.
    int nRow = 0;
    for (CGkToolBar* pOther : m_bars)
        if (pOther->GetDockEdge() == dwAlign)
            nRow = std::max(nRow, pOther->GetDockRow() + 1);
    pBar->SetDockPosition(dwAlign, nRow, 0);
    m_bars.push_back(pBar);
    m_pFrame->RecalcLayout();
    return pBar;
}

CGkToolBar* CGkCommandBars::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return m_bars[static_cast<size_t>(nIndex)];
}

CGkControl* CGkCommandBars::FindControl(UINT nID) const {
    for (CGkToolBar* pBar : m_bars)
        if (CGkControl* pControl = pBar->FindControl(nID))
            return pControl;
    return nullptr;
}

void CGkCommandBars::SaveCommandBars(LPCTSTR lpszSection) const {
    CGkProfileWriter writer(kTag, kVersion);
    writer.WriteUInt(static_cast<uint32_t>(m_bars.size()));
    for (CGkToolBar* pBar : m_bars) {
        writer.WriteUInt(pBar->GetBarID());
        writer.WriteUInt((pBar->GetStyle() & WS_VISIBLE) != 0 ? 1 : 0);
        writer.WriteUInt(pBar->GetDockEdge());
        writer.WriteUInt(static_cast<uint32_t>(pBar->GetDockRow()));
        writer.WriteUInt(static_cast<uint32_t>(pBar->GetDockOffset()));
    }
    writer.Save(lpszSection);
}

BOOL CGkCommandBars::LoadCommandBars(LPCTSTR lpszSection) {
    CGkProfileReader reader(lpszSection, kTag, kVersion);
    uint32_t count = 0;
    if (!reader.ReadUInt(count))
        return FALSE;
    struct Entry {
        uint32_t id, visible, edge, row, offset;
    };
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < count; ++i) {
        Entry e{};
        if (!reader.ReadUInt(e.id) || !reader.ReadUInt(e.visible) || !reader.ReadUInt(e.edge) ||
            !reader.ReadUInt(e.row) || !reader.ReadUInt(e.offset) || e.visible > 1 || !IsEdge(e.edge) ||
            e.row > kMaxRow || e.offset > kMaxOffset)
            return FALSE;
        entries.push_back(e);
    }
    if (!reader.AtEnd())
        return FALSE;
    for (const Entry& e : entries) {
        for (CGkToolBar* pBar : m_bars) { // unknown ids are skipped; the menu bar keeps its row
            if (pBar->GetBarID() != e.id || pBar == m_pMenuBar)
                continue;
            pBar->SetDockPosition(e.edge, static_cast<int>(e.row), static_cast<int>(e.offset));
            pBar->ShowWindow(e.visible ? SW_SHOWNA : SW_HIDE);
        }
    }
    RenumberRows();
    if (m_pFrame != nullptr)
        m_pFrame->RecalcLayout();
    return TRUE;
}

void CGkCommandBars::LayoutBars(CRect& rcClient) {
    m_rows.clear();
    for (DWORD dwEdge : kEdges) {
        std::map<int, std::vector<CGkToolBar*>> rows;
        for (CGkToolBar* pBar : m_bars)
            if (pBar->GetDockEdge() == dwEdge && pBar->GetSafeHwnd() != nullptr &&
                (pBar->GetStyle() & WS_VISIBLE) != 0) // shown, even while the frame is not yet
                rows[pBar->GetDockRow()].push_back(pBar);
        BOOL bHorz = IsHorizontalEdge(dwEdge);
        for (auto& [nRow, bars] : rows) {
            std::stable_sort(bars.begin(), bars.end(),
                             [](CGkToolBar* a, CGkToolBar* b) { return a->GetDockOffset() < b->GetDockOffset(); });
            int thickness = 0;
            for (CGkToolBar* pBar : bars) {
                CSize size = pBar->CalcFixedLayout(TRUE, bHorz);
                thickness = std::max(thickness, static_cast<int>(bHorz ? size.cy : size.cx));
            }
            CRect row = rcClient;
            if (dwEdge == CBRS_ALIGN_TOP)
                row.bottom = rcClient.top + thickness;
            else if (dwEdge == CBRS_ALIGN_BOTTOM)
                row.top = rcClient.bottom - thickness;
            else if (dwEdge == CBRS_ALIGN_LEFT)
                row.right = rcClient.left + thickness;
            else
                row.left = rcClient.right - thickness;
            // Bars follow each other along the row at their offsets, never over one another.
            int next = 0;
            for (CGkToolBar* pBar : bars) {
                CSize size = pBar->CalcFixedLayout(TRUE, bHorz);
                // A bar offset past the row's end comes back in, as far as the bars before it allow.
                int length = bHorz ? row.Width() : row.Height();
                int extent = bHorz ? size.cx : size.cy;
                int start = std::max(std::min(pBar->GetDockOffset(), length - extent), next);
                CRect place = bHorz ? CRect(row.left + start, row.top, row.left + start + size.cx, row.bottom)
                                    : CRect(row.left, row.top + start, row.right, row.top + start + size.cy);
                pBar->MoveWindow(&place);
                next = start + static_cast<int>(bHorz ? size.cx : size.cy);
            }
            m_rows.push_back({dwEdge, nRow, row});
            constexpr int kEdge = GK_COMMANDBARS_ROW_EDGE;
            if (dwEdge == CBRS_ALIGN_TOP)
                rcClient.top = std::min(rcClient.bottom, row.bottom + kEdge);
            else if (dwEdge == CBRS_ALIGN_BOTTOM)
                rcClient.bottom = std::max(rcClient.top, row.top - kEdge);
            else if (dwEdge == CBRS_ALIGN_LEFT)
                rcClient.left = std::min(rcClient.right, row.right + kEdge);
            else
                rcClient.right = std::max(rcClient.left, row.left - kEdge);
        }
    }
}

void CGkCommandBars::DrawRowEdges(CDC* pDC) const {
    const COLORREF clrShadow = ::GetSysColor(COLOR_3DSHADOW), clrLight = ::GetSysColor(COLOR_3DHILIGHT);
    for (const Row& row : m_rows) {
        const CRect& rc = row.rc;
        // The shadowed line first, next to the row; the lit one beyond it.
        switch (row.dwEdge) {
        case CBRS_ALIGN_TOP:
            pDC->FillSolidRect(CRect(rc.left, rc.bottom, rc.right, rc.bottom + 1), clrShadow);
            pDC->FillSolidRect(CRect(rc.left, rc.bottom + 1, rc.right, rc.bottom + 2), clrLight);
            break;
        case CBRS_ALIGN_BOTTOM:
            pDC->FillSolidRect(CRect(rc.left, rc.top - 2, rc.right, rc.top - 1), clrShadow);
            pDC->FillSolidRect(CRect(rc.left, rc.top - 1, rc.right, rc.top), clrLight);
            break;
        case CBRS_ALIGN_LEFT:
            pDC->FillSolidRect(CRect(rc.right, rc.top, rc.right + 1, rc.bottom), clrShadow);
            pDC->FillSolidRect(CRect(rc.right + 1, rc.top, rc.right + 2, rc.bottom), clrLight);
            break;
        default:
            pDC->FillSolidRect(CRect(rc.left - 2, rc.top, rc.left - 1, rc.bottom), clrShadow);
            pDC->FillSolidRect(CRect(rc.left - 1, rc.top, rc.left, rc.bottom), clrLight);
            break;
        }
    }
}

DWORD CGkCommandBars::AllowedEdges() const {
    auto* pFrame = dynamic_cast<CGkMDIFrameWnd*>(m_pFrame);
    DWORD dwAllowed = pFrame != nullptr ? pFrame->GetDockingEdges() : CBRS_ALIGN_ANY;
    return dwAllowed & CBRS_ALIGN_ANY;
}

BOOL CGkCommandBars::DropBar(CGkToolBar* pBar, CPoint ptDrop) {
    if (pBar == nullptr || pBar == m_pMenuBar || m_pFrame == nullptr || m_pFrame->GetSafeHwnd() == nullptr)
        return FALSE;
    CRect frame;
    m_pFrame->GetClientRect(&frame);
    // The nearest edge the frame allows.
    DWORD dwEdge = 0;
    LONG best = 0;
    for (DWORD dwCandidate : kEdges) {
        if ((AllowedEdges() & dwCandidate) == 0)
            continue;
        LONG distance = dwCandidate == CBRS_ALIGN_TOP      ? ptDrop.y - frame.top
                        : dwCandidate == CBRS_ALIGN_BOTTOM ? frame.bottom - ptDrop.y
                        : dwCandidate == CBRS_ALIGN_LEFT   ? ptDrop.x - frame.left
                                                           : frame.right - ptDrop.x;
        if (dwEdge == 0 || distance < best) {
            dwEdge = dwCandidate;
            best = distance;
        }
    }
    if (dwEdge == 0)
        return FALSE;
    // The row under the point, else a new one beyond the edge's last; the menu bar's row takes no other bar,
    // so a drop there opens a row just inside it.
    int nRow = -1, nLast = -1;
    for (const Row& row : m_rows) {
        if (row.dwEdge != dwEdge)
            continue;
        nLast = std::max(nLast, row.nRow);
        if (row.rc.PtInRect(ptDrop) || (IsHorizontalEdge(dwEdge) ? ptDrop.y >= row.rc.top && ptDrop.y < row.rc.bottom
                                                                 : ptDrop.x >= row.rc.left && ptDrop.x < row.rc.right))
            nRow = row.nRow;
    }
    if (m_pMenuBar != nullptr && dwEdge == m_pMenuBar->GetDockEdge() && nRow == m_pMenuBar->GetDockRow()) {
        for (CGkToolBar* pOther : m_bars)
            if (pOther != m_pMenuBar && pOther->GetDockEdge() == dwEdge && pOther->GetDockRow() > nRow)
                pOther->SetDockPosition(dwEdge, pOther->GetDockRow() + 1, pOther->GetDockOffset());
        ++nRow;
    } else if (nRow < 0) {
        nRow = nLast + 1;
    }
    int along = IsHorizontalEdge(dwEdge) ? ptDrop.x - frame.left : ptDrop.y - frame.top;
    pBar->SetDockPosition(dwEdge, nRow, along - GK_TOOLBAR_GRIPPER / 2);
    RenumberRows();
    m_pFrame->RecalcLayout();
    return TRUE;
}

void CGkCommandBars::RenumberRows() {
    for (DWORD dwEdge : kEdges) {
        std::map<int, int> renumbered;
        for (CGkToolBar* pBar : m_bars)
            if (pBar->GetDockEdge() == dwEdge)
                renumbered.emplace(pBar->GetDockRow(), 0);
        int nNext = 0;
        for (auto& [nOld, nNew] : renumbered)
            nNew = nNext++;
        for (CGkToolBar* pBar : m_bars)
            if (pBar->GetDockEdge() == dwEdge && renumbered[pBar->GetDockRow()] != pBar->GetDockRow())
                pBar->SetDockPosition(dwEdge, renumbered[pBar->GetDockRow()], pBar->GetDockOffset());
    }
}
