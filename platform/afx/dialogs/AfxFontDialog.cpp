// The font chooser's dialog object.
#include "AfxFontDialog.h"

#include "AfxWinApp.h"

IMPLEMENT_DYNAMIC(CFontDialog, CDialog)

CFontDialog::CFontDialog(LPLOGFONTA lplfInitial, DWORD dwFlags, CDC*, CWnd* pParentWnd) {
    m_pParentWnd = pParentWnd;
    m_cf.lStructSize = sizeof m_cf;
    m_cf.lpLogFont = &m_lf;
    m_cf.Flags = dwFlags | (lplfInitial ? CF_INITTOLOGFONTSTRUCT : 0);
    if (lplfInitial)
        m_lf = *lplfInitial;
}

INT_PTR CFontDialog::DoModal() {
    CWnd* pOwner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_cf.hwndOwner = pOwner != nullptr ? pOwner->GetSafeHwnd() : nullptr;
    m_cf.lpLogFont = &m_lf;
    return ::ChooseFontA(&m_cf) ? IDOK : IDCANCEL;
}

CString CFontDialog::GetStyleName() const {
    if (IsBold() && IsItalic())
        return "Bold Italic";
    if (IsBold())
        return "Bold";
    return IsItalic() ? "Italic" : "Regular";
}
