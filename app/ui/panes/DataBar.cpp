#include "app/ui/panes/DataBar.h"

#include "app/core/diagnostics/Trace.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/PaneWindow.h"
#include "app/widgets/PPDumpCtrl.h"

IMPLEMENT_DYNAMIC(CDataBar, CWnd)

BEGIN_MESSAGE_MAP(CDataBar, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_ERASEBKGND()
ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

namespace {

// The control's look: offset, hexadecimal and ASCII columns with separator lines and their captions, the
// offset in the header band, read-only; none of the other columns, header fields or mouse tracking.
constexpr DWORD kStylesAdded = PPDUMP_FIELD_ADDRESS | PPDUMP_FIELD_HEX | PPDUMP_FIELD_ASCII | PPDUMP_BAR_ADDRESS |
                               PPDUMP_SEPARATOR_LINES | PPDUMP_NAMED_FIELDS | PPDUMP_READ_ONLY;
constexpr DWORD kStylesRemoved = 0x7F3F;
static_assert(kStylesAdded == 0xD0123);

struct SlotColour {
    int nSlot;
    COLORREF clr;
};
constexpr SlotColour kColours[] = {
    {PPDUMP_COLOR_SEL_BK, 0xF7CEBD},
    {PPDUMP_COLOR_TEXT_HEADER, 64},
    {PPDUMP_COLOR_ADDRESS_FG, 128},
    {PPDUMP_COLOR_EDIT_BK, 0xFFCEC1},
};

constexpr const char* kFontFace = "Lucida Console";
constexpr int kFontPoints = 9;

} // namespace

CDataBar::CDataBar() = default;

CDataBar::~CDataBar() = default;

BOOL CDataBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}

int CDataBar::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    CRect client;
    GetClientRect(&client);
    auto pDumpCtrl = std::make_unique<CPPDumpCtrl>();
    if (!pDumpCtrl->Create(client, this, ID_VIEW_DATABAR, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DATA_BAR, "Failed to create the hex-dump control");
        return -1;
    }
    pDumpCtrl->ModifyStyles(kStylesAdded, kStylesRemoved, FALSE);
    pDumpCtrl->SetNonPrintableChar('.', FALSE);
    for (const SlotColour& colour : kColours)
        pDumpCtrl->SetColor(colour.nSlot, colour.clr, FALSE);
    pDumpCtrl->SetTopAddress(0, FALSE);
    pDumpCtrl->SetFont(kFontFace, kFontPoints, FALSE, FALSE, FALSE, FALSE, FALSE);
    m_pDumpCtrl = std::move(pDumpCtrl);
    m_data.clear();
    return 0;
}

void CDataBar::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (m_pDumpCtrl != nullptr && m_pDumpCtrl->GetSafeHwnd() != nullptr)
        m_pDumpCtrl->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOACTIVATE | SWP_NOZORDER);
}

BOOL CDataBar::OnEraseBkgnd(CDC*) {
    // The control covers the bar and paints all of it.
    if (m_pDumpCtrl != nullptr && m_pDumpCtrl->GetSafeHwnd() != nullptr)
        m_pDumpCtrl->Invalidate(FALSE);
    return TRUE;
}

void CDataBar::OnContextMenu(CWnd*, CPoint) {}

void CDataBar::SetDataBuffer(const BYTE* pData, ULONG nLength) {
    // The new copy is in the control's hands before the old one goes (the caller may pass the bar's own).
    std::vector<BYTE> copy;
    if (pData != nullptr)
        copy.assign(pData, pData + nLength);
    m_data.swap(copy);
    if (m_pDumpCtrl != nullptr)
        m_pDumpCtrl->SetData(m_data.size(), m_data.empty() ? nullptr : m_data.data(), nullptr, TRUE);
}

void CDataBar::SetTitle(LPCTSTR lpszTitle, BOOL bRedraw) {
    // The title is the hex-dump controls' one shared text, which ignores its redraw flag.
    CPPDumpCtrl::SetSpecialText(lpszTitle, bRedraw);
    if (bRedraw && m_pDumpCtrl != nullptr && m_pDumpCtrl->GetSafeHwnd() != nullptr)
        m_pDumpCtrl->Invalidate(FALSE);
}

void CDataBar::Clear(BOOL bRedraw) {
    SetDataBuffer(nullptr, 0);
    SetTitle("", bRedraw);
}

void CDataBar::GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) const {
    rpData = m_data.empty() ? nullptr : m_data.data();
    rnLength = static_cast<ULONG>(m_data.size());
}
