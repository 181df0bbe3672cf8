// CPPDumpCtrl: a self-drawn table of bytes: an offset column and up to five value columns (hexadecimal,
// decimal, binary, octal, ASCII), a caption row and a header band, with selection, keyboard, wheel and scroll
// bar navigation. It never changes the data it shows; it tells its notification owner (WM_NOTIFY, wParam =
// its control id) what the user did. Geometry comes from ComputeDumpLayout, texts from DumpText.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "afxwin.h"

#include "DumpLayout.h"
#include "DumpText.h"
#include "PPNumEdit.h"

// Notification codes to the owner.
#define UDM_PPDUMPCTRL_CHANGE_DATA 1124   // an edited value was applied: element, new value
#define UDM_PPDUMPCTRL_BEGIN_ADDR 1125    // scrolling changed the first shown element: element, 0
#define UDM_PPDUMPCTRL_MENU_CALLBACK 1126 // right button over an element, before its menu: NM_PPDUMP_MENU
#define UDM_PPDUMPCTRL_SELECTION 1127     // a mouse selection ended with start != end: start, end

// Colour slots.
enum {
    PPDUMP_COLOR_TEXT = 0,
    PPDUMP_COLOR_TEXT_BACK,
    PPDUMP_COLOR_TEXT_CHANGE,
    PPDUMP_COLOR_EDIT_FG,
    PPDUMP_COLOR_EDIT_BK,
    PPDUMP_COLOR_EDIT_ERR_FG,
    PPDUMP_COLOR_EDIT_ERR_BK,
    PPDUMP_COLOR_SEL_BK,
    PPDUMP_COLOR_ADDRESS_FG,
    PPDUMP_COLOR_SEPARATORS,
    PPDUMP_COLOR_TEXT_HEADER,
    PPDUMP_COLOR_MOUSE_TRACK,
    PPDUMP_COLOR_MAX
};

struct NM_PPDUMP_CTRL {
    NMHDR hdr;
    int iAddress; // the first integer: an element
    int iValue;   // the second: a value, 0, or the selection end
};
static_assert(sizeof(NM_PPDUMP_CTRL) == 32 && offsetof(NM_PPDUMP_CTRL, iAddress) == 24 &&
              offsetof(NM_PPDUMP_CTRL, iValue) == 28);

struct NM_PPDUMP_MENU {
    NMHDR hdr;
    HMENU hMenu;
    int iArea;    // the hot field
    int iAddress; // the hot element
};
static_assert(sizeof(NM_PPDUMP_MENU) == 40 && offsetof(NM_PPDUMP_MENU, hMenu) == 24 &&
              offsetof(NM_PPDUMP_MENU, iArea) == 32 && offsetof(NM_PPDUMP_MENU, iAddress) == 36);

class CPPDumpCtrl : public CWnd {
    DECLARE_DYNAMIC(CPPDumpCtrl)
public:
    // Registers the class "MFCDumpCtrl" when it is not yet registered; a failed registration throws the
    // framework's resource exception.
    CPPDumpCtrl();
    ~CPPDumpCtrl() override;

    using CWnd::Create;
    virtual BOOL Create(const RECT& rect, CWnd* pParentWnd, UINT nID, DWORD dwStyle = WS_CHILD | WS_VISIBLE,
                        DWORD dwExStyle = 0);

    // The data are the caller's and must outlive their display; the reference data default to the data.
    void SetData(size_t nLength, const BYTE* pData, const BYTE* pOldData = nullptr, BOOL bRedraw = TRUE);
    const BYTE* GetData(size_t* pnLength = nullptr) const;
    void ModifyStyles(DWORD dwAdd, DWORD dwRemove, BOOL bRedraw = TRUE);
    DWORD GetStyles() const { return m_dwStyle; }
    // FALSE for an element not below the element count (a negative one counts as 0).
    BOOL SetTopAddress(int64_t nElement, BOOL bRedraw = TRUE);
    int64_t GetTopAddress() const { return m_nFirstShown; }
    void SetBaseAddress(uint64_t nBase, BOOL bRedraw = TRUE);
    // Slots 0 to 11; returns the old colour, or 0 for a slot out of range.
    COLORREF SetColor(int nSlot, COLORREF color, BOOL bRedraw = TRUE);
    COLORREF GetColor(int nSlot) const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    void SetFont(LPCTSTR lpszFaceName, int nPointSize, BOOL bBold = FALSE, BOOL bItalic = FALSE,
                 BOOL bUnderline = FALSE, BOOL bStrikeOut = FALSE, BOOL bRedraw = TRUE);
    // The data font as it stands.
    CFont* GetDataFont() { return &m_font; }
    static void SetSpecialText(LPCTSTR lpszText, BOOL bRedraw = TRUE);
    // The text shared by all instances.
    static CString GetSpecialText();
    void SetNonPrintableChar(char c, BOOL bRedraw = TRUE);
    char GetNonPrintableChar() const { return m_chNonPrintable; }
    // FALSE when an end is not below the element count; a negative end, or range selection off, selects one.
    BOOL SetSelection(int64_t nStart, int64_t nEnd = -1, BOOL bRedraw = TRUE);
    void GetSelection(int64_t& nStart, int64_t& nEnd) const;
    BOOL IsSelected(int64_t nElement) const { return nElement >= m_nSelStart && nElement <= m_nSelEnd; }
    // An element's value (see ReadDumpValue); 0 for an element out of range.
    uint32_t GetDataValue(int64_t nElement, BOOL bOld = FALSE, int nOrder = DUMP_ORDER_DEFAULT, int nWidth = 0) const;

    void SetTooltipFormat(LPCTSTR lpszFormat) { m_strTipFormat = lpszFormat ? lpszFormat : ""; }
    std::string GetTipText(int64_t nElement) const;
    // The tooltip's text now (empty until the mouse has been over an element).
    CString GetCurrentTip() const;
    void SetContextMenu(HMENU hMenu);
    void SetNotifyOwner(CWnd* pOwner) { m_pNotify = pOwner; }

    // The in-place editor on an element's field (17 to 22, or header field 1 for the go-to); read-only allows
    // only the offset. FALSE when refused. Null while no editor is open.
    BOOL OpenEditor(int64_t nElement, int nField);
    CPPNumEdit* GetEditor() const { return m_pEdit.get(); }
    int GetEditField() const { return m_nEditField; }
    int64_t GetEditElement() const { return m_nEditElement; }

    int64_t GetElementCount() const { return static_cast<int64_t>(m_nCount); }
    // The element the header's offset shows: the one edited there while its editor is open, else the one
    // under the mouse, else the selection start.
    int64_t CurrentElement() const;
    // The field and element under the mouse (DUMP_NONE and -1 when none).
    int GetHotField() const { return m_nHotField; }
    int64_t GetHotElement() const { return m_nHotElement; }
    // The layout of the current client rectangle and fonts.
    DumpLayout GetLayout() const;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT nType, int cx, int cy);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnEnable(BOOL bEnable);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnEditNotify(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

    // Every mouse message is relayed to the tooltip (made on the first); a button or scroll hides it.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Draws the whole control into pDC over the client rectangle.
    virtual void DrawAll(CDC* pDC, const CRect& client);
    // A window made elsewhere (a dialog's control) gets the same initial state as one Create makes.
    void PreSubclassWindow() override;

private:
    void Initialise();
    DumpMetrics Metrics() const;
    DumpBytes Bytes(BOOL bOld) const;
    void Redraw(BOOL bRedraw);
    void UpdateScrollBar(const DumpLayout& layout);
    void ScrollToElement(int64_t nElement);
    void SetFirstShown(int64_t nFirst);
    void MoveTo(int64_t nTarget);
    void SendNotify(UINT nCode, int nFirst, int nSecond);
    void DrawHeader(CDC* pDC, const DumpLayout& l);
    void DrawCaption(CDC* pDC, const DumpLayout& l);
    void DrawCells(CDC* pDC, const DumpLayout& l);
    // Finds the field and element under the mouse again: scrolling moves the elements under a mouse that
    // stays where it is.
    void HotTestAtCursor();
    // Closes the editor (the window at once, the object later: it may be inside its own handler).
    void CloseEditor(BOOL bApply);
    RECT EditorRect(const DumpLayout& l, int64_t nElement, int nField) const;
    int NextField(int nField, int nStep) const;

    std::string m_strTipFormat;
    CFont m_font;
    CFont m_headerFont;
    COLORREF m_colors[PPDUMP_COLOR_MAX] = {};
    COLORREF m_disabledText = 0;
    COLORREF m_disabledBack = 0;
    DWORD m_dwStyle = PPDUMP_DEFAULT_STYLE;
    const BYTE* m_pData = nullptr;
    const BYTE* m_pOldData = nullptr;
    size_t m_nLength = 0;
    uint64_t m_nCount = 1;
    uint64_t m_nBase = 0;
    int m_nPerRow = 1;
    int64_t m_nFirstShown = 0;
    int m_nHotField = DUMP_NONE;
    int64_t m_nHotElement = -1;
    int64_t m_nSelStart = 0;
    int64_t m_nSelEnd = 0;
    int64_t m_nSelAnchor = 0;
    char m_chNonPrintable = 0;
    BOOL m_bFocus = FALSE;
    BOOL m_bSelecting = FALSE;
    BOOL m_bTrackingLeave = FALSE;
    CScrollBar m_scrollBar;
    CToolTipCtrl m_tip;
    int64_t m_nLastTipElement = -1;
    HMENU m_hMenu = nullptr;
    CWnd* m_pNotify = nullptr;
    std::unique_ptr<CPPNumEdit> m_pEdit;
    std::unique_ptr<CPPNumEdit> m_pRetiredEdit;
    int m_nEditField = DUMP_NONE;
    int64_t m_nEditElement = -1;
};
