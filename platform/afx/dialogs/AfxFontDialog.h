// CFontDialog: the font chooser as a dialog object. DoModal asks through ChooseFont (owned by the parent, else
// the main window) and returns IDOK or IDCANCEL; the chosen font is then in m_lf and m_cf.
#pragma once

#include "AfxDialog.h"
#include "commdlg.h"

class CDC;

class CFontDialog : public CDialog {
    DECLARE_DYNAMIC(CFontDialog)
public:
    explicit CFontDialog(LPLOGFONTA lplfInitial = nullptr, DWORD dwFlags = CF_EFFECTS | CF_SCREENFONTS,
                         CDC* pdcPrinter = nullptr, CWnd* pParentWnd = nullptr);

    INT_PTR DoModal() override;

    void GetCurrentFont(LPLOGFONTA lplf) const { *lplf = m_lf; }
    CString GetFaceName() const { return CString(m_lf.lfFaceName); }
    CString GetStyleName() const;
    int GetSize() const { return m_cf.iPointSize; } // tenths of a point
    COLORREF GetColor() const { return m_cf.rgbColors; }
    int GetWeight() const { return static_cast<int>(m_lf.lfWeight); }
    BOOL IsStrikeOut() const { return m_lf.lfStrikeOut != 0; }
    BOOL IsUnderline() const { return m_lf.lfUnderline != 0; }
    BOOL IsBold() const { return m_lf.lfWeight >= FW_SEMIBOLD; }
    BOOL IsItalic() const { return m_lf.lfItalic != 0; }

    CHOOSEFONTA m_cf{};
    LOGFONTA m_lf{};
};
