#include "PPDumpCtrl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "MemDC.h"

namespace {

constexpr char kClassName[] = "MFCDumpCtrl";
constexpr UINT kScrollBarId = 100;
constexpr UINT kEditId = 1;
constexpr int kKindAscii = 6;
const char* const kCaptions[7] = {"", "Offset", "Hex", "Dec", "Bin", "Oct", "Ascii"};

// The text shown at the left of every control's header band.
std::string& SpecialText() {
    static std::string text;
    return text;
}

bool ControlDown() {
    return ::GetKeyState(VK_CONTROL) < 0;
}

} // namespace

IMPLEMENT_DYNAMIC(CPPDumpCtrl, CWnd)

BEGIN_MESSAGE_MAP(CPPDumpCtrl, CWnd)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_SIZE()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_ENABLE()
ON_WM_KEYDOWN()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_RBUTTONDOWN()
ON_WM_MOUSEWHEEL()
ON_WM_VSCROLL()
ON_WM_LBUTTONDBLCLK()
ON_MESSAGE(WM_GETDLGCODE, &CPPDumpCtrl::OnGetDlgCode)
ON_MESSAGE(WM_MOUSELEAVE, &CPPDumpCtrl::OnMouseLeave)
ON_NOTIFY(PPNUMEDIT_CANCEL_DATA, kEditId, &CPPDumpCtrl::OnEditNotify)
ON_NOTIFY(PPNUMEDIT_ENTER_DATA, kEditId, &CPPDumpCtrl::OnEditNotify)
ON_NOTIFY(PPNUMEDIT_MOVE, kEditId, &CPPDumpCtrl::OnEditNotify)
ON_NOTIFY(PPNUMEDIT_HOTKEY, kEditId, &CPPDumpCtrl::OnEditNotify)
END_MESSAGE_MAP()

CPPDumpCtrl::CPPDumpCtrl() {
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    if (!AfxRegisterClass(&wc))
        AfxThrowResourceException();
    Initialise();
}

CPPDumpCtrl::~CPPDumpCtrl() {
    m_pEdit.reset();
    m_pRetiredEdit.reset();
    if (m_hMenu)
        ::DestroyMenu(m_hMenu);
    if (m_hWnd)
        DestroyWindow();
}

BOOL CPPDumpCtrl::Create(const RECT& rect, CWnd* pParentWnd, UINT nID, DWORD dwStyle, DWORD dwExStyle) {
    if (!CWnd::CreateEx(dwExStyle, kClassName, "", dwStyle, rect, pParentWnd, nID))
        return FALSE;
    Initialise();
    return TRUE;
}

void CPPDumpCtrl::PreSubclassWindow() {
    CWnd::PreSubclassWindow();
    Initialise();
}

void CPPDumpCtrl::Initialise() {
    m_nCount = 1;
    m_pData = m_pOldData = nullptr;
    m_nLength = 0;
    m_nFirstShown = 0;
    m_nHotField = DUMP_NONE;
    m_nHotElement = -1;
    m_nSelStart = m_nSelEnd = m_nSelAnchor = 0;
    m_strTipFormat.clear();
    m_chNonPrintable = 0;
    m_dwStyle = PPDUMP_DEFAULT_STYLE;
    if (m_font.GetSafeHandle())
        m_font.DeleteObject();
    m_font.CreatePointFont(80, "Courier");
    if (!m_headerFont.GetSafeHandle()) {
        LOGFONTA lf{};
        ::GetObject(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
        m_headerFont.CreatePointFont(100, lf.lfFaceName);
    }
    m_colors[PPDUMP_COLOR_TEXT] = ::GetSysColor(COLOR_WINDOWTEXT);
    m_colors[PPDUMP_COLOR_TEXT_BACK] = ::GetSysColor(COLOR_WINDOW);
    m_colors[PPDUMP_COLOR_TEXT_CHANGE] = RGB(255, 0, 0);
    m_colors[PPDUMP_COLOR_EDIT_FG] = RGB(0, 0, 0);
    m_colors[PPDUMP_COLOR_EDIT_BK] = RGB(255, 255, 0);
    m_colors[PPDUMP_COLOR_EDIT_ERR_FG] = RGB(255, 255, 255);
    m_colors[PPDUMP_COLOR_EDIT_ERR_BK] = RGB(255, 0, 0);
    m_colors[PPDUMP_COLOR_SEL_BK] = RGB(0, 255, 255);
    m_colors[PPDUMP_COLOR_ADDRESS_FG] = RGB(0, 176, 0);
    m_colors[PPDUMP_COLOR_SEPARATORS] = ::GetSysColor(COLOR_BTNSHADOW);
    m_colors[PPDUMP_COLOR_TEXT_HEADER] = ::GetSysColor(COLOR_BTNSHADOW);
    m_colors[PPDUMP_COLOR_MOUSE_TRACK] = ::GetSysColor(COLOR_BTNSHADOW);
    m_disabledText = ::GetSysColor(COLOR_BTNSHADOW);
    m_disabledBack = ::GetSysColor(COLOR_BTNFACE);
}

// ---- settings

void CPPDumpCtrl::Redraw(BOOL bRedraw) {
    if (bRedraw && m_hWnd)
        Invalidate(FALSE);
}

void CPPDumpCtrl::SetData(size_t nLength, const BYTE* pData, const BYTE* pOldData, BOOL bRedraw) {
    CloseEditor(FALSE);
    m_pData = pData;
    m_pOldData = pOldData ? pOldData : pData;
    m_nLength = pData ? nLength : 0;
    m_nCount = (m_dwStyle & PPDUMP_WORD_DATA) ? m_nLength / 2 : m_nLength;
    m_nFirstShown = 0;
    m_nSelStart = m_nSelEnd = m_nSelAnchor = 0;
    m_nHotElement = -1;
    m_nHotField = DUMP_NONE;
    Redraw(bRedraw);
}

const BYTE* CPPDumpCtrl::GetData(size_t* pnLength) const {
    if (pnLength)
        *pnLength = m_nLength;
    return m_pData;
}

void CPPDumpCtrl::ModifyStyles(DWORD dwAdd, DWORD dwRemove, BOOL bRedraw) {
    CloseEditor(FALSE);
    const DWORD old = m_dwStyle;
    m_dwStyle = (m_dwStyle & ~dwRemove) | dwAdd;
    if ((old ^ m_dwStyle) & PPDUMP_WORD_DATA) {
        m_nFirstShown = 0;
        m_nCount = m_pData ? ((m_dwStyle & PPDUMP_WORD_DATA) ? m_nLength / 2 : m_nLength) : 1;
    }
    m_nFirstShown = 0;
    m_nSelStart = m_nSelEnd = m_nSelAnchor = 0;
    Redraw(bRedraw);
}

BOOL CPPDumpCtrl::SetTopAddress(int64_t nElement, BOOL bRedraw) {
    nElement = std::max<int64_t>(nElement, 0);
    if (static_cast<uint64_t>(nElement) >= m_nCount || m_nPerRow <= 0)
        return FALSE;
    SetFirstShown(nElement - nElement % m_nPerRow);
    Redraw(bRedraw);
    return TRUE;
}

void CPPDumpCtrl::SetBaseAddress(uint64_t nBase, BOOL bRedraw) {
    m_nBase = nBase;
    Redraw(bRedraw);
}

COLORREF CPPDumpCtrl::SetColor(int nSlot, COLORREF color, BOOL bRedraw) {
    if (nSlot < 0 || nSlot >= PPDUMP_COLOR_MAX)
        return 0;
    const COLORREF old = m_colors[nSlot];
    m_colors[nSlot] = color;
    if (m_pEdit && nSlot >= PPDUMP_COLOR_EDIT_FG && nSlot <= PPDUMP_COLOR_EDIT_ERR_BK)
        m_pEdit->SetColor(nSlot - PPDUMP_COLOR_EDIT_FG, color, TRUE);
    Redraw(bRedraw);
    return old;
}

COLORREF CPPDumpCtrl::GetColor(int nSlot) const {
    return nSlot >= 0 && nSlot < PPDUMP_COLOR_MAX ? m_colors[nSlot] : 0;
}

void CPPDumpCtrl::SetFont(CFont* pFont, BOOL bRedraw) {
    LOGFONTA lf{};
    if (!pFont || !pFont->GetLogFont(&lf))
        return;
    CloseEditor(FALSE);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
    Redraw(bRedraw);
}

void CPPDumpCtrl::SetFont(LPCTSTR lpszFaceName, int nPointSize, BOOL bBold, BOOL bItalic, BOOL bUnderline,
                          BOOL bStrikeOut, BOOL bRedraw) {
    LOGFONTA lf{};
    HDC screen = ::GetDC(nullptr);
    lf.lfHeight = -::MulDiv(nPointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    lf.lfWeight = bBold ? 700 : 400;
    lf.lfItalic = static_cast<BYTE>(bItalic != 0);
    lf.lfUnderline = static_cast<BYTE>(bUnderline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(bStrikeOut != 0);
    std::strncpy(lf.lfFaceName, lpszFaceName ? lpszFaceName : "", sizeof lf.lfFaceName - 1);
    CloseEditor(FALSE);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
    Redraw(bRedraw);
}

void CPPDumpCtrl::SetSpecialText(LPCTSTR lpszText, BOOL) {
    SpecialText() = lpszText ? lpszText : "";
}

CString CPPDumpCtrl::GetSpecialText() {
    return SpecialText().c_str();
}

void CPPDumpCtrl::SetNonPrintableChar(char c, BOOL bRedraw) {
    m_chNonPrintable = c;
    Redraw(bRedraw);
}

BOOL CPPDumpCtrl::SetSelection(int64_t nStart, int64_t nEnd, BOOL bRedraw) {
    nStart = std::max<int64_t>(nStart, 0);
    if (nEnd < 0 || !(m_dwStyle & PPDUMP_SELECTING_DATA))
        nEnd = nStart;
    if (nEnd < nStart)
        std::swap(nStart, nEnd);
    if (static_cast<uint64_t>(nEnd) >= m_nCount)
        return FALSE;
    m_nSelStart = nStart;
    m_nSelEnd = nEnd;
    if (bRedraw) {
        ScrollToElement(nStart);
        Redraw(TRUE);
    }
    return TRUE;
}

void CPPDumpCtrl::GetSelection(int64_t& nStart, int64_t& nEnd) const {
    nStart = m_nSelStart;
    nEnd = m_nSelEnd;
}

DumpBytes CPPDumpCtrl::Bytes(BOOL bOld) const {
    return {bOld ? m_pOldData : m_pData, m_nLength, (m_dwStyle & PPDUMP_WORD_DATA) != 0,
            (m_dwStyle & PPDUMP_DATA_LOW_HIGH) != 0};
}

uint32_t CPPDumpCtrl::GetDataValue(int64_t nElement, BOOL bOld, int nOrder, int nWidth) const {
    return ReadDumpValue(Bytes(bOld), nElement, nOrder, nWidth);
}

std::string CPPDumpCtrl::GetTipText(int64_t nElement) const {
    DumpTipContext ctx;
    ctx.bytes = Bytes(FALSE);
    ctx.element = nElement;
    ctx.offsetDigits = DumpOffsetDigits(m_nBase, m_pData ? m_nCount : 0);
    ctx.nonPrintable = m_chNonPrintable;
    return FormatDumpTip(m_strTipFormat, ctx);
}

CString CPPDumpCtrl::GetCurrentTip() const {
    CString text;
    if (m_tip.GetSafeHwnd())
        m_tip.GetText(text, const_cast<CPPDumpCtrl*>(this));
    return text;
}

LRESULT CPPDumpCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && m_hWnd) {
        if (!m_tip.GetSafeHwnd() && m_tip.Create(this)) {
            m_tip.SetMaxTipWidth(400);
            m_tip.AddTool(this, "");
            m_tip.Activate(TRUE);
        }
        if (m_tip.GetSafeHwnd()) {
            MSG msg{m_hWnd, message, wParam, lParam, 0, {}};
            m_tip.RelayEvent(&msg);
            if (message != WM_MOUSEMOVE && message != WM_MOUSEWHEEL) {
                m_tip.Activate(FALSE);
                m_nLastTipElement = -1;
            }
        }
    } else if ((message == WM_VSCROLL || message == WM_HSCROLL) && m_tip.GetSafeHwnd()) {
        m_tip.Activate(FALSE);
        m_nLastTipElement = -1;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CPPDumpCtrl::SetContextMenu(HMENU hMenu) {
    if (m_hMenu && m_hMenu != hMenu)
        ::DestroyMenu(m_hMenu);
    m_hMenu = hMenu;
}

// ---- layout

DumpMetrics CPPDumpCtrl::Metrics() const {
    DumpMetrics m;
    HDC dc = ::GetDC(m_hWnd);
    TEXTMETRICA tm{};
    HGDIOBJ old = ::SelectObject(dc, m_font.GetSafeHandle());
    ::GetTextMetricsA(dc, &tm);
    m.charWidth = tm.tmAveCharWidth;
    m.textHeight = tm.tmHeight;
    ::SelectObject(dc, m_headerFont.GetSafeHandle());
    ::GetTextMetricsA(dc, &tm);
    m.headerCharWidth = tm.tmAveCharWidth;
    m.headerTextHeight = tm.tmHeight;
    SIZE size{};
    const std::string& special = SpecialText();
    if (!special.empty())
        ::GetTextExtentPoint32A(dc, special.c_str(), static_cast<int>(special.size()), &size);
    m.specialTextWidth = size.cx;
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    m.scrollWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    m.menuHeight = ::GetSystemMetrics(SM_CYMENU);
    return m;
}

DumpLayout CPPDumpCtrl::GetLayout() const {
    CRect client;
    if (m_hWnd)
        GetClientRect(&client);
    return ComputeDumpLayout(Metrics(), client, m_pData ? m_nCount : 0, m_nBase, m_dwStyle);
}

// ---- scrolling and selection

void CPPDumpCtrl::SendNotify(UINT nCode, int nFirst, int nSecond) {
    if (!m_pNotify || !m_pNotify->GetSafeHwnd())
        return;
    NM_PPDUMP_CTRL record{};
    record.hdr.hwndFrom = m_hWnd;
    record.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    record.hdr.code = nCode;
    record.iAddress = nFirst;
    record.iValue = nSecond;
    m_pNotify->SendMessage(WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
}

void CPPDumpCtrl::SetFirstShown(int64_t nFirst) {
    if (nFirst == m_nFirstShown)
        return;
    if (m_pEdit && IsDumpColumn(m_nEditField))
        CloseEditor(FALSE);
    m_nFirstShown = nFirst;
    SendNotify(UDM_PPDUMPCTRL_BEGIN_ADDR, static_cast<int>(nFirst), 0);
    Redraw(TRUE);
}

void CPPDumpCtrl::ScrollToElement(int64_t nElement) {
    const DumpLayout l = GetLayout();
    const int perRow = std::max(l.perRow, 1);
    const int64_t rowStart = nElement - nElement % perRow;
    if (rowStart < m_nFirstShown)
        SetFirstShown(rowStart);
    else if (rowStart >= m_nFirstShown + l.perPage)
        SetFirstShown(std::max<int64_t>(0, rowStart + perRow - std::max(l.perPage, perRow)));
    else
        Redraw(TRUE);
}

void CPPDumpCtrl::MoveTo(int64_t nTarget) {
    if (!m_pData || m_nCount == 0)
        return;
    if (nTarget < 0) {
        SetFirstShown(0);
        return;
    }
    const int64_t count = static_cast<int64_t>(m_nCount);
    if (nTarget >= count) {
        const int64_t perRow = std::max(m_nPerRow, 1);
        if (m_nSelStart / perRow == (count - 1) / perRow)
            return;
        nTarget = count - 1;
    }
    m_nSelStart = m_nSelEnd = m_nSelAnchor = nTarget;
    ScrollToElement(nTarget);
}

// ---- messages

LRESULT CPPDumpCtrl::OnGetDlgCode(WPARAM, LPARAM) {
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void CPPDumpCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    const DumpLayout l = GetLayout();
    const int64_t perRow = std::max(l.perRow, 1);
    const int64_t page = std::max<int64_t>(l.perPage, perRow);
    const int64_t sel = m_nSelStart;
    switch (nChar) {
    case VK_PRIOR: MoveTo(sel - page < 0 ? sel % perRow : sel - page); break;
    case VK_NEXT: MoveTo(sel + page); break;
    case VK_HOME: MoveTo(ControlDown() ? 0 : sel - sel % perRow); break;
    case VK_END: MoveTo(ControlDown() ? static_cast<int64_t>(m_nCount) - 1 : sel - sel % perRow + perRow - 1); break;
    case VK_LEFT: MoveTo(sel - 1); break;
    case VK_RIGHT: MoveTo(sel + 1); break;
    case VK_UP: MoveTo(sel - perRow); break;
    case VK_DOWN: MoveTo(sel + perRow); break;
    case VK_RETURN:
        if (!m_pEdit) {
            // The first shown value column, or the offset when it is the only one; read-only edits the offset.
            int field = DUMP_COLUMN_ADDRESS;
            if (!(m_dwStyle & PPDUMP_READ_ONLY))
                for (int kind = 2; kind <= 6 && field == DUMP_COLUMN_ADDRESS; ++kind)
                    if (m_dwStyle & (1u << (kind - 1)))
                        field = DUMP_COLUMN_ADDRESS + kind - 1;
            OpenEditor(sel, field);
        }
        break;
    default:
        if (ControlDown()) {
            static const char kLetters[] = "HDBOA";
            for (int i = 0; i < 5; ++i)
                if (nChar == static_cast<UINT>(kLetters[i]) && !(m_dwStyle & PPDUMP_READ_ONLY) &&
                    (m_dwStyle & (PPDUMP_BAR_HEX << i)) && (m_dwStyle & (PPDUMP_FIELD_HEX << i))) {
                    CloseEditor(FALSE);
                    OpenEditor(sel, DUMP_COLUMN_HEX + i);
                    return;
                }
        }
        CWnd::OnKeyDown(nChar, nRepCnt, nFlags);
        break;
    }
}

void CPPDumpCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
    SetFocus();
    const DumpLayout l = GetLayout();
    const DumpHit hit = DumpHitTest(l, Metrics(), point, m_nFirstShown, m_pData ? m_nCount : 0);
    if (hit.field > DUMP_COLUMN_ADDRESS && hit.element >= 0) {
        m_nSelStart = m_nSelEnd = m_nSelAnchor = hit.element;
        if (m_dwStyle & PPDUMP_SELECTING_DATA) {
            m_bSelecting = TRUE;
            ::SetCapture(m_hWnd);
        }
        Redraw(TRUE);
    }
    CWnd::OnLButtonDown(nFlags, point);
}

void CPPDumpCtrl::OnLButtonDblClk(UINT nFlags, CPoint point) {
    const DumpHit hit = DumpHitTest(GetLayout(), Metrics(), point, m_nFirstShown, m_pData ? m_nCount : 0);
    if (hit.field == DUMP_COLUMN_ADDRESS)
        OpenEditor(hit.element, hit.field);
    else if (hit.field == DUMP_HEADER_ADDRESS || (IsDumpColumn(hit.field) && hit.element >= 0))
        OpenEditor(m_nSelStart, hit.field);
    CWnd::OnLButtonDblClk(nFlags, point);
}

void CPPDumpCtrl::OnMouseMove(UINT nFlags, CPoint point) {
    const DumpHit hit = DumpHitTest(GetLayout(), Metrics(), point, m_nFirstShown, m_pData ? m_nCount : 0);
    if (hit.field != m_nHotField || hit.element != m_nHotElement)
        Redraw(TRUE); // the hot rectangle and the header's offset follow the mouse
    m_nHotField = hit.field;
    m_nHotElement = hit.element;
    // Only while this application is active: an inactive one gets no leave tracking armed on its behalf.
    if (!m_bTrackingLeave && ::GetActiveWindow()) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
        m_bTrackingLeave = ::TrackMouseEvent(&track);
    }
    if (hit.field > DUMP_COLUMN_ADDRESS && hit.element >= 0 && hit.element != m_nLastTipElement &&
        m_tip.GetSafeHwnd()) {
        m_nLastTipElement = hit.element;
        m_tip.Activate(TRUE);
        m_tip.UpdateTipText(GetTipText(hit.element).c_str(), this);
    }
    if (m_bSelecting && hit.field > DUMP_COLUMN_ADDRESS && hit.element >= 0) {
        m_nSelStart = std::min(m_nSelAnchor, hit.element);
        m_nSelEnd = std::max(m_nSelAnchor, hit.element);
        Redraw(TRUE);
    }
    CWnd::OnMouseMove(nFlags, point);
}

LRESULT CPPDumpCtrl::OnMouseLeave(WPARAM, LPARAM) {
    m_bTrackingLeave = FALSE;
    if (m_nHotElement >= 0)
        Redraw(TRUE);
    m_nHotField = DUMP_NONE;
    m_nHotElement = -1;
    return 0;
}

void CPPDumpCtrl::OnLButtonUp(UINT nFlags, CPoint point) {
    if (m_bSelecting) {
        m_bSelecting = FALSE;
        ::ReleaseCapture();
        if (m_nSelStart != m_nSelEnd)
            SendNotify(UDM_PPDUMPCTRL_SELECTION, static_cast<int>(m_nSelStart), static_cast<int>(m_nSelEnd));
    }
    CWnd::OnLButtonUp(nFlags, point);
}

void CPPDumpCtrl::OnRButtonDown(UINT nFlags, CPoint point) {
    const DumpHit hit = DumpHitTest(GetLayout(), Metrics(), point, m_nFirstShown, m_pData ? m_nCount : 0);
    m_nHotField = hit.field;
    m_nHotElement = hit.element;
    if (hit.field > DUMP_COLUMN_ADDRESS && hit.element >= 0 && m_hMenu) {
        if (m_pNotify && m_pNotify->GetSafeHwnd()) {
            NM_PPDUMP_MENU record{};
            record.hdr.hwndFrom = m_hWnd;
            record.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
            record.hdr.code = UDM_PPDUMPCTRL_MENU_CALLBACK;
            record.hMenu = m_hMenu;
            record.iArea = hit.field;
            record.iAddress = static_cast<int>(hit.element);
            m_pNotify->SendMessage(WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
        }
        CPoint screen = point;
        ClientToScreen(&screen);
        // The pop-up returns the command (and notifies nobody); only an owner hears of it.
        const UINT flags = TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD;
        const int command =
            static_cast<int>(::TrackPopupMenuEx(::GetSubMenu(m_hMenu, 0), flags, screen.x, screen.y, m_hWnd, nullptr));
        if (command && m_pNotify && m_pNotify->GetSafeHwnd())
            m_pNotify->PostMessage(WM_COMMAND, static_cast<WPARAM>(command), 0);
    }
    CWnd::OnRButtonDown(nFlags, point);
}

BOOL CPPDumpCtrl::OnMouseWheel(UINT, short zDelta, CPoint) {
    OnVScroll(zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, 0, nullptr);
    return TRUE;
}

void CPPDumpCtrl::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar*) {
    const DumpLayout l = GetLayout();
    if (l.perRow <= 0)
        return;
    const int pos = DumpScrollPos(l, m_nFirstShown);
    const int pageRows = std::max(l.visibleRows, 1);
    int next = pos;
    switch (nSBCode) {
    case SB_LINEUP: next = pos - 1; break;
    case SB_LINEDOWN: next = pos + 1; break;
    case SB_PAGEUP: next = pos - pageRows; break;
    case SB_PAGEDOWN: next = pos + pageRows; break;
    case SB_THUMBTRACK: next = static_cast<int>(nPos); break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = l.scrollMax; break;
    default: return;
    }
    next = std::clamp(next, 0, l.scrollMax);
    if (next == pos)
        return;
    SetFirstShown(static_cast<int64_t>(next) * l.perRow);
    HotTestAtCursor();
}

void CPPDumpCtrl::HotTestAtCursor() {
    POINT point{};
    if (!::GetCursorPos(&point))
        return;
    ScreenToClient(&point);
    const DumpHit hit = DumpHitTest(GetLayout(), Metrics(), point, m_nFirstShown, m_pData ? m_nCount : 0);
    m_nHotField = hit.field;
    m_nHotElement = hit.element;
}

void CPPDumpCtrl::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    CloseEditor(FALSE);
    Redraw(TRUE);
}

void CPPDumpCtrl::OnSetFocus(CWnd* pOldWnd) {
    CWnd::OnSetFocus(pOldWnd);
    m_bFocus = TRUE;
    Redraw(TRUE);
}

void CPPDumpCtrl::OnKillFocus(CWnd* pNewWnd) {
    CWnd::OnKillFocus(pNewWnd);
    m_bFocus = FALSE;
    Redraw(TRUE);
}

void CPPDumpCtrl::OnEnable(BOOL) {
    Redraw(TRUE);
}

BOOL CPPDumpCtrl::OnEraseBkgnd(CDC*) {
    return TRUE;
}

// ---- painting

void CPPDumpCtrl::UpdateScrollBar(const DumpLayout& l) {
    if (!m_scrollBar.GetSafeHwnd())
        m_scrollBar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, l.scrollBar, this, kScrollBarId);
    if (!m_scrollBar.GetSafeHwnd())
        return;
    if (l.scrollShown) {
        m_scrollBar.MoveWindow(&l.scrollBar, FALSE);
        m_scrollBar.SetScrollRange(0, l.scrollMax, FALSE);
        m_scrollBar.SetScrollPos(DumpScrollPos(l, m_nFirstShown), TRUE);
        m_scrollBar.ShowWindow(SW_SHOWNA);
    } else {
        m_scrollBar.ShowWindow(SW_HIDE);
    }
}

void CPPDumpCtrl::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    if (static_cast<uint64_t>(m_nSelStart) >= m_nCount)
        m_nSelStart = m_nSelEnd = m_nSelAnchor = 0;
    CMemDC mem(&dc, &client);
    DrawAll(&mem, client);
}

int64_t CPPDumpCtrl::CurrentElement() const {
    if (m_pEdit && !IsDumpColumn(m_nEditField))
        return m_nEditElement;
    if (IsDumpColumn(m_nHotField) && m_nHotField > DUMP_COLUMN_ADDRESS && m_nHotElement >= 0)
        return m_nHotElement;
    return m_nSelStart;
}

void CPPDumpCtrl::DrawAll(CDC* pDC, const CRect& client) {
    DumpLayout l = GetLayout();
    // Navigation divides by the row width until the next layout: never by zero.
    m_nPerRow = std::max(l.perRow, 1);
    const BOOL enabled = IsWindowEnabled();
    pDC->FillSolidRect(&client, enabled ? m_colors[PPDUMP_COLOR_TEXT_BACK] : m_disabledBack);
    pDC->SetBkMode(TRANSPARENT);
    if (l.headerShown)
        DrawHeader(pDC, l);
    if (l.captionShown)
        DrawCaption(pDC, l);
    if (m_pData && l.perRow > 0)
        DrawCells(pDC, l);
    if (m_dwStyle & PPDUMP_SEPARATOR_LINES) {
        CPen pen(PS_SOLID, 1, m_colors[PPDUMP_COLOR_SEPARATORS]);
        CPen* old = pDC->SelectObject(&pen);
        for (int kind = 1; kind <= 6; ++kind) {
            const RECT& r = l.columns[kind];
            if (r.right <= r.left)
                continue;
            pDC->MoveTo(r.right - 1, l.dataArea.top);
            pDC->LineTo(r.right - 1, l.dataArea.bottom);
        }
        pDC->SelectObject(old);
    }
    if (m_bFocus)
        pDC->DrawFocusRect(&client);
    UpdateScrollBar(l);
}

void CPPDumpCtrl::DrawHeader(CDC* pDC, const DumpLayout& l) {
    CRect band(l.header);
    pDC->FillSolidRect(&band, ::GetSysColor(COLOR_BTNFACE));
    pDC->Draw3dRect(&band, ::GetSysColor(COLOR_3DLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
    CFont* oldFont = pDC->SelectObject(const_cast<CFont*>(&m_headerFont));
    pDC->SetTextColor(IsWindowEnabled() ? ::GetSysColor(COLOR_BTNTEXT) : m_disabledText);
    CRect text(band.left, band.top, l.specialTextEnd, band.bottom);
    if (!SpecialText().empty())
        pDC->DrawText(SpecialText().c_str(), -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (!m_pData) {
        CRect rest(l.specialTextEnd, band.top, band.right, band.bottom);
        pDC->DrawText(" No data", -1, &rest, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else if (l.headerFields[DUMP_HEADER_ADDRESS].right > l.headerFields[DUMP_HEADER_ADDRESS].left) {
        CRect box(l.headerFields[DUMP_HEADER_ADDRESS]);
        // The label takes the characters between the special text (or the band's left on a wrapped row) and
        // the box.
        const int labelLeft = box.top > band.top ? band.left : l.specialTextEnd;
        CRect label(labelLeft, box.top, box.left - 2, box.bottom);
        pDC->DrawText("Offset:", -1, &label, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        pDC->FillSolidRect(&box, ::GetSysColor(COLOR_WINDOW));
        pDC->Draw3dRect(&box, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_3DLIGHT));
        char offset[32];
        std::snprintf(offset, sizeof offset, "%0*llX", l.offsetDigits,
                      static_cast<unsigned long long>(m_nBase + static_cast<uint64_t>(CurrentElement())));
        pDC->DrawText(offset, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    pDC->SelectObject(oldFont);
}

void CPPDumpCtrl::DrawCaption(CDC* pDC, const DumpLayout& l) {
    CRect row(l.caption);
    pDC->FillSolidRect(&row, m_colors[PPDUMP_COLOR_TEXT_BACK]);
    CPen pen(PS_SOLID, 1, m_colors[PPDUMP_COLOR_SEPARATORS]);
    CPen* oldPen = pDC->SelectObject(&pen);
    pDC->MoveTo(row.left, row.bottom - 1);
    pDC->LineTo(row.right, row.bottom - 1);
    CFont* oldFont = pDC->SelectObject(&m_font);
    pDC->SetTextColor(IsWindowEnabled() ? m_colors[PPDUMP_COLOR_TEXT_HEADER] : m_disabledText);
    // The lines first, then the captions over them: a caption as wide as its column ("Offset" over four
    // offset digits) keeps its last stroke instead of losing it under the column's line.
    for (int kind = 1; kind <= 6; ++kind) {
        const RECT& c = l.columns[kind];
        if (c.right <= c.left)
            continue;
        pDC->MoveTo(c.right - 1, row.top);
        pDC->LineTo(c.right - 1, row.bottom);
    }
    for (int kind = 1; kind <= 6; ++kind) {
        const RECT& c = l.columns[kind];
        if (c.right <= c.left)
            continue;
        CRect cell(c.left, row.top, c.right, row.bottom);
        pDC->DrawText(kCaptions[kind], -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    pDC->SelectObject(oldFont);
    pDC->SelectObject(oldPen);
}

void CPPDumpCtrl::DrawCells(CDC* pDC, const DumpLayout& l) {
    const DumpMetrics m = Metrics();
    const int cw = m.charWidth;
    const BOOL enabled = IsWindowEnabled();
    CFont* oldFont = pDC->SelectObject(&m_font);
    const DumpBytes now = Bytes(FALSE);
    const DumpBytes old = Bytes(TRUE);
    const int width = DumpDefaultWidth(now.wordMode);
    for (int kind = 1; kind <= 6; ++kind) {
        const RECT& col = l.columns[kind];
        if (col.right <= col.left)
            continue;
        const int saved = pDC->SaveDC();
        pDC->IntersectClipRect(&col); // no cell text ever leaves its column
        for (int row = 0; row < l.visibleRows; ++row) {
            const int y = l.RowTop(row);
            for (int index = 0; index < (kind == 1 ? 1 : l.perRow); ++index) {
                const int64_t element = m_nFirstShown + static_cast<int64_t>(row) * l.perRow + index;
                if (element < 0 || static_cast<uint64_t>(element) >= m_nCount)
                    break;
                char text[64];
                COLORREF color = m_colors[PPDUMP_COLOR_TEXT];
                int x = col.left;
                const uint32_t value = ReadDumpValue(now, element, DUMP_ORDER_DEFAULT, 0);
                if (kind != 1 && value != ReadDumpValue(old, element, DUMP_ORDER_DEFAULT, 0))
                    color = m_colors[PPDUMP_COLOR_TEXT_CHANGE];
                switch (kind) {
                case 1:
                    std::snprintf(text, sizeof text, " %0*llX ", l.offsetDigits,
                                  static_cast<unsigned long long>(element + m_nBase));
                    color = m_colors[PPDUMP_COLOR_ADDRESS_FG];
                    break;
                case 2: std::snprintf(text, sizeof text, " %s ", DumpHexText(value, width).c_str()); break;
                case 3: std::snprintf(text, sizeof text, "%*u ", l.digits[kind] + 1, value); break;
                case 4: std::snprintf(text, sizeof text, " %s ", DumpBinaryText(value, width).c_str()); break;
                case 5: std::snprintf(text, sizeof text, "%*o ", l.digits[kind] + 1, value); break;
                default: std::snprintf(text, sizeof text, " %s ", DumpCharText(value, m_chNonPrintable).c_str()); break;
                }
                if (kind == kKindAscii)
                    x += index * (cw + 1);
                else if (kind != 1)
                    x += index * (l.digits[kind] + 1) * cw;
                if (kind != 1 && IsSelected(element)) {
                    const int inset = kind == kKindAscii ? cw : cw / 2;
                    const int cellWidth = kind == kKindAscii ? 3 * cw : (l.digits[kind] + 2) * cw;
                    CRect sel(x + inset, y + 1, x + cellWidth - inset, y + l.rowHeight - 1);
                    pDC->FillSolidRect(&sel, enabled ? m_colors[PPDUMP_COLOR_SEL_BK] : m_disabledBack);
                }
                pDC->SetTextColor(enabled ? color : m_disabledText);
                pDC->TextOut(x, y, text);
                if ((m_dwStyle & PPDUMP_TRACK_MOUSE_MOVE) && kind != 1 && element == m_nHotElement &&
                    DumpFieldKind(m_nHotField) == kind) {
                    const int cellWidth = kind == kKindAscii ? 3 * cw : (l.digits[kind] + 2) * cw;
                    const int inset = kind == kKindAscii ? cw : cw / 2;
                    CRect hot(x + inset - 1, y, x + cellWidth - inset + 1, y + l.rowHeight);
                    pDC->Draw3dRect(&hot, m_colors[PPDUMP_COLOR_MOUSE_TRACK], m_colors[PPDUMP_COLOR_MOUSE_TRACK]);
                }
            }
        }
        pDC->RestoreDC(saved);
    }
    pDC->SelectObject(oldFont);
}

// ---- the in-place editor

RECT CPPDumpCtrl::EditorRect(const DumpLayout& l, int64_t nElement, int nField) const {
    if (nField == DUMP_HEADER_ADDRESS)
        return l.headerFields[DUMP_HEADER_ADDRESS];
    if (!IsDumpColumn(nField) || l.perRow <= 0)
        return {};
    const int kind = DumpFieldKind(nField);
    const RECT& col = l.columns[kind];
    const int cw = Metrics().charWidth;
    const int64_t rel = nElement - m_nFirstShown;
    const int row = static_cast<int>(rel / l.perRow);
    const int index = kind == 1 ? 0 : static_cast<int>(rel % l.perRow);
    const int top = l.RowTop(row);
    if (kind == 1)
        return {col.left, top, col.right, top + l.rowHeight};
    if (kind == 6) {
        const int x = col.left + index * (cw + 1);
        return {x, top, x + 3 * cw, top + l.rowHeight};
    }
    const int x = col.left + index * (l.digits[kind] + 1) * cw;
    return {x, top, x + (l.digits[kind] + 2) * cw, top + l.rowHeight};
}

BOOL CPPDumpCtrl::OpenEditor(int64_t nElement, int nField) {
    if (!m_hWnd || !m_pData || nElement < 0 || static_cast<uint64_t>(nElement) >= m_nCount)
        return FALSE;
    const int kind = DumpFieldKind(nField);
    if ((m_dwStyle & PPDUMP_READ_ONLY) && kind != 1)
        return FALSE;
    if (!(nField == DUMP_HEADER_ADDRESS || IsDumpColumn(nField)))
        return FALSE;
    CloseEditor(FALSE);
    if (IsDumpColumn(nField))
        ScrollToElement(nElement);
    const DumpLayout l = GetLayout();
    m_pRetiredEdit.reset();
    auto edit = std::make_unique<CPPNumEdit>();
    if (!edit->Create(WS_CHILD | WS_VISIBLE | ES_CENTER, EditorRect(l, nElement, nField), this, kEditId))
        return FALSE;
    edit->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.GetSafeHandle()), FALSE);
    for (int i = 0; i < 4; ++i)
        edit->SetColor(i, m_colors[PPDUMP_COLOR_EDIT_FG + i], FALSE);
    if (kind == 1) {
        // The go-to: an offset from the base to the last element's.
        edit->SetUp(static_cast<uint32_t>(m_nBase + nElement), NUMEDIT_HEX, 0, static_cast<uint32_t>(m_nBase),
                    static_cast<uint32_t>(m_nBase + m_nCount - 1));
    } else {
        static const int kModes[7] = {0, 0, NUMEDIT_HEX, NUMEDIT_DEC, NUMEDIT_BIN, NUMEDIT_OCT, NUMEDIT_CHAR};
        const bool word = (m_dwStyle & PPDUMP_WORD_DATA) != 0;
        edit->SetUp(GetDataValue(nElement), kModes[kind], word ? 2 : 1, 0, word ? 0xFFFF : 0xFF);
    }
    m_pEdit = std::move(edit);
    m_nEditField = nField;
    m_nEditElement = nElement;
    m_pEdit->SetFocus();
    m_pEdit->SetSel(0, -1);
    return TRUE;
}

void CPPDumpCtrl::CloseEditor(BOOL bApply) {
    if (!m_pEdit)
        return;
    if (bApply && m_pEdit->IsValid() && m_pEdit->IsChanged()) {
        const uint32_t value = m_pEdit->GetValue();
        if (DumpFieldKind(m_nEditField) == 1) {
            const int64_t element = static_cast<int64_t>(value - m_nBase);
            m_nSelStart = m_nSelEnd = m_nSelAnchor = element;
        } else {
            SendNotify(UDM_PPDUMPCTRL_CHANGE_DATA, static_cast<int>(m_nEditElement), static_cast<int>(value));
        }
    }
    std::unique_ptr<CPPNumEdit> edit = std::move(m_pEdit);
    const int field = m_nEditField;
    m_nEditField = DUMP_NONE;
    m_nEditElement = -1;
    const BOOL hadFocus = ::GetFocus() == edit->GetSafeHwnd();
    edit->DestroyWindow();
    m_pRetiredEdit = std::move(edit);
    if (hadFocus)
        SetFocus();
    if (bApply && DumpFieldKind(field) == 1)
        ScrollToElement(m_nSelStart);
    Redraw(TRUE);
}

int CPPDumpCtrl::NextField(int nField, int nStep) const {
    // The shown value columns, in order, wrapping round; the offset is never wrapped to.
    for (int i = 1; i <= 5; ++i) {
        const int kind = (DumpFieldKind(nField) - 2 + nStep * i + 50) % 5 + 2;
        if (m_dwStyle & (1u << (kind - 1)))
            return DUMP_COLUMN_ADDRESS + kind - 1;
    }
    return nField;
}

void CPPDumpCtrl::OnEditNotify(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (!m_pEdit)
        return;
    const auto* record = reinterpret_cast<const NM_PPDUMP_CTRL*>(pNMHDR);
    const int command = record->iAddress;
    switch (pNMHDR->code) {
    case PPNUMEDIT_CANCEL_DATA: CloseEditor(FALSE); return;
    case PPNUMEDIT_ENTER_DATA: CloseEditor(TRUE); return;
    case PPNUMEDIT_HOTKEY: {
        const int i = command - PPNUMEDIT_CMD_HEX;
        const int64_t element = m_nEditElement;
        if (i < 0 || i > 4 || (m_dwStyle & PPDUMP_READ_ONLY) || !(m_dwStyle & (PPDUMP_BAR_HEX << i)) ||
            !(m_dwStyle & (PPDUMP_FIELD_HEX << i)))
            return;
        CloseEditor(FALSE);
        OpenEditor(element, DUMP_COLUMN_HEX + i);
        return;
    }
    default: break;
    }
    // Moves: ignored while the offset is edited.
    if (DumpFieldKind(m_nEditField) == 1)
        return;
    const DumpLayout l = GetLayout();
    const int64_t perRow = std::max(l.perRow, 1);
    const int64_t page = std::max<int64_t>(l.perPage, perRow);
    const int64_t count = static_cast<int64_t>(m_nCount);
    int64_t element = m_nEditElement;
    int field = m_nEditField;
    switch (command) {
    case PPNUMEDIT_CMD_FIRST: element = 0; break;
    case PPNUMEDIT_CMD_LAST: element = count - 1; break;
    case PPNUMEDIT_CMD_LEFT: element -= 1; break;
    case PPNUMEDIT_CMD_RIGHT: element += 1; break;
    case PPNUMEDIT_CMD_UP: element -= perRow; break;
    case PPNUMEDIT_CMD_DOWN: element += perRow; break;
    case PPNUMEDIT_CMD_TAB: field = NextField(field, 1); break;
    case PPNUMEDIT_CMD_BACKTAB: field = NextField(field, -1); break;
    case PPNUMEDIT_CMD_PAGEUP: element -= page; break;
    case PPNUMEDIT_CMD_PAGEDOWN: element += page; break;
    default: return;
    }
    element = std::clamp<int64_t>(element, 0, count - 1);
    CloseEditor(TRUE);
    m_nSelStart = m_nSelEnd = m_nSelAnchor = element;
    OpenEditor(element, field);
}
