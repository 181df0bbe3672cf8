#include "PPNumEdit.h"

#include <cctype>

#include "PPDumpCtrl.h"

IMPLEMENT_DYNAMIC(CPPNumEdit, CEdit)

BEGIN_MESSAGE_MAP(CPPNumEdit, CEdit)
ON_WM_CHAR()
ON_WM_KEYDOWN()
ON_MESSAGE(WM_SETTEXT, &CPPNumEdit::OnSetText)
ON_MESSAGE(WM_GETDLGCODE, &CPPNumEdit::OnGetDlgCode)
ON_WM_CTLCOLOR_REFLECT()
ON_CONTROL_REFLECT(EN_CHANGE, &CPPNumEdit::OnChange)
END_MESSAGE_MAP()

namespace {
bool KeyDown(int vk) {
    return ::GetKeyState(vk) < 0;
}
} // namespace

CPPNumEdit::CPPNumEdit()
    : m_colors{::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_WINDOW), RGB(255, 255, 255), RGB(255, 0, 0)} {
    m_brushes[0].CreateSolidBrush(m_colors[1]);
    m_brushes[1].CreateSolidBrush(m_colors[3]);
}

CPPNumEdit::~CPPNumEdit() {
    if (m_hWnd)
        DestroyWindow();
}

void CPPNumEdit::SetUp(uint32_t value, int mode, int width, uint32_t minimum, uint32_t maximum) {
    const NumEditRange range = NumEditRangeFor(width, minimum, maximum);
    m_nMin = range.minimum;
    m_nMax = range.maximum;
    m_nMode = mode;
    m_nValue = value < m_nMin || value > m_nMax ? m_nMin : value;
    m_nMaxChars = NumEditMaxChars(mode, m_nMax);
    m_strShown = NumEditText(mode, m_nValue, m_nMax);
    if (m_hWnd) {
        // Upper case for the digits; a character is taken as typed.
        ModifyStyle(mode == NUMEDIT_CHAR ? ES_UPPERCASE : 0, mode == NUMEDIT_CHAR ? 0 : ES_UPPERCASE);
        SetLimitText(static_cast<UINT>(m_nMaxChars));
        SetWindowText(m_strShown.c_str());
        SetSel(0, -1);
    }
    Validate();
}

std::string CPPNumEdit::Text() const {
    if (!m_hWnd)
        return m_strShown;
    CString text;
    GetWindowText(text);
    return std::string(static_cast<LPCTSTR>(text));
}

uint32_t CPPNumEdit::GetValue() const {
    return ParseNumEditText(m_nMode, Text()).value;
}

BOOL CPPNumEdit::IsChanged() const {
    return Text() != m_strShown;
}

void CPPNumEdit::Validate() {
    const NumEditParse parsed = ParseNumEditText(m_nMode, Text());
    const BOOL valid = !parsed.overflow && parsed.value >= m_nMin && parsed.value <= m_nMax;
    if (valid != m_bValid && m_hWnd)
        Invalidate();
    m_bValid = valid;
}

void CPPNumEdit::SetColor(int nIndex, COLORREF color, BOOL bRedraw) {
    if (nIndex < 0 || nIndex > 3)
        return;
    m_colors[nIndex] = color;
    if (nIndex == 1 || nIndex == 3) {
        CBrush& brush = m_brushes[nIndex / 2];
        brush.DeleteObject();
        brush.CreateSolidBrush(color);
    }
    if (bRedraw && m_hWnd)
        Invalidate();
}

HBRUSH CPPNumEdit::CtlColor(CDC* pDC, UINT) {
    pDC->SetTextColor(GetTextColor());
    pDC->SetBkColor(GetBackColor());
    return static_cast<HBRUSH>(m_brushes[m_bValid ? 0 : 1].GetSafeHandle());
}

void CPPNumEdit::OnChange() {
    Validate();
}

LRESULT CPPNumEdit::OnSetText(WPARAM wParam, LPARAM lParam) {
    // Text set from outside skips the typing filter: the range test still judges it.
    const LRESULT result = Default();
    (void)wParam;
    (void)lParam;
    Validate();
    return result;
}

LRESULT CPPNumEdit::OnGetDlgCode(WPARAM, LPARAM) {
    return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
}

void CPPNumEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    const char c = static_cast<char>(nChar);
    if (nChar >= 32) {
        if (!NumEditAccepts(m_nMode, c))
            return;
        int start = 0, end = 0;
        GetSel(start, end);
        if (start == end && static_cast<int>(Text().size()) >= m_nMaxChars)
            return;
        if (m_nMode == NUMEDIT_HEX)
            nChar = static_cast<UINT>(std::toupper(static_cast<unsigned char>(c)));
    } else if (nChar == '\r' || nChar == 27 || nChar == '\t') {
        return; // handled as keys
    }
    CEdit::OnChar(nChar, nRepCnt, nFlags);
    Validate();
}

BOOL CPPNumEdit::Notify(UINT nCode, int nCommand) {
    if (nCommand != PPNUMEDIT_CMD_CANCEL && !m_bValid)
        return FALSE;
    CWnd* owner = GetParent();
    if (!m_bNotify || !owner)
        return TRUE;
    NM_PPDUMP_CTRL record{};
    record.hdr.hwndFrom = m_hWnd;
    record.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    record.hdr.code = nCode;
    record.iAddress = nCommand;
    record.iValue = static_cast<int>(GetValue());
    // The owner may close (destroy) this editor while handling it: nothing of this object is used after.
    owner->SendMessage(WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
    return TRUE;
}

void CPPNumEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    const bool ctrl = KeyDown(VK_CONTROL);
    int start = 0, end = 0;
    GetSel(start, end);
    const int length = static_cast<int>(Text().size());
    switch (nChar) {
    case VK_RETURN: Notify(PPNUMEDIT_ENTER_DATA, PPNUMEDIT_CMD_APPLY); return;
    case VK_ESCAPE: Notify(PPNUMEDIT_CANCEL_DATA, PPNUMEDIT_CMD_CANCEL); return;
    case VK_TAB: Notify(PPNUMEDIT_MOVE, KeyDown(VK_SHIFT) ? PPNUMEDIT_CMD_BACKTAB : PPNUMEDIT_CMD_TAB); return;
    case VK_PRIOR: Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_PAGEUP); return;
    case VK_NEXT: Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_PAGEDOWN); return;
    case VK_UP: Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_UP); return;
    case VK_DOWN: Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_DOWN); return;
    case VK_HOME:
        if (ctrl) {
            Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_FIRST);
            return;
        }
        break;
    case VK_END:
        if (ctrl) {
            Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_LAST);
            return;
        }
        break;
    case VK_LEFT:
        if (ctrl || (start == 0 && end == 0)) {
            Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_LEFT);
            return;
        }
        break;
    case VK_RIGHT:
        if (ctrl || (start == length && end == length)) {
            Notify(PPNUMEDIT_MOVE, PPNUMEDIT_CMD_RIGHT);
            return;
        }
        break;
    default:
        if (ctrl) {
            static const char kLetters[] = "HDBOA";
            for (int i = 0; i < 5; ++i)
                if (nChar == static_cast<UINT>(kLetters[i])) {
                    Notify(PPNUMEDIT_HOTKEY, PPNUMEDIT_CMD_HEX + i);
                    return;
                }
        }
        break;
    }
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}
