// CPPNumEdit: the hex-dump control's in-place editor of one number, in decimal, hexadecimal, binary (with "-"
// between bytes), octal or as a character. Typing is filtered to the mode's digits and the maximum's length;
// the text is coloured by whether its value is in range. Keys that end or move the editing are reported to
// the owner as WM_NOTIFY from child id 1 (codes below) with the command and the parsed value.
#pragma once

#include <cstdint>
#include <string>

#include "afxwin.h"

#include "DumpText.h"

#define PPNUMEDIT_CANCEL_DATA 1126 // command 0
#define PPNUMEDIT_ENTER_DATA 1127  // command 1
#define PPNUMEDIT_MOVE 1128        // commands 2 to 13
#define PPNUMEDIT_HOTKEY 1129      // commands 14 to 18

enum {
    PPNUMEDIT_CMD_CANCEL = 0,
    PPNUMEDIT_CMD_APPLY = 1,
    PPNUMEDIT_CMD_FIRST = 4, // Ctrl+Home
    PPNUMEDIT_CMD_LAST = 5,  // Ctrl+End
    PPNUMEDIT_CMD_LEFT = 6,
    PPNUMEDIT_CMD_RIGHT = 7,
    PPNUMEDIT_CMD_UP = 8,
    PPNUMEDIT_CMD_DOWN = 9,
    PPNUMEDIT_CMD_TAB = 10,
    PPNUMEDIT_CMD_BACKTAB = 11,
    PPNUMEDIT_CMD_PAGEUP = 12,
    PPNUMEDIT_CMD_PAGEDOWN = 13,
    PPNUMEDIT_CMD_HEX = 14, // Ctrl+H; then D, B, O, A
};

class CPPNumEdit : public CEdit {
    DECLARE_DYNAMIC(CPPNumEdit)
public:
    CPPNumEdit();
    ~CPPNumEdit() override;

    // Width 1: 0 to 255; 2: 0 to 65535; 0: the given bounds. A value out of range starts as the minimum.
    void SetUp(uint32_t value, int mode, int width, uint32_t minimum, uint32_t maximum);
    uint32_t GetValue() const;
    BOOL IsChanged() const;
    BOOL IsValid() const { return m_bValid; }
    int GetMode() const { return m_nMode; }
    int GetMaxChars() const { return m_nMaxChars; }
    // Index 0 text, 1 background, 2 and 3 the same when out of range.
    void SetColor(int nIndex, COLORREF color, BOOL bRedraw = TRUE);
    COLORREF GetTextColor() const { return m_colors[m_bValid ? 0 : 2]; }
    COLORREF GetBackColor() const { return m_colors[m_bValid ? 1 : 3]; }

protected:
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    void OnChange();
    DECLARE_MESSAGE_MAP()

private:
    std::string Text() const;
    void Validate();
    // Sends the command; FALSE when it is refused (out of range and not a cancel).
    BOOL Notify(UINT nCode, int nCommand);

    BOOL m_bNotify = TRUE;
    std::string m_strShown;
    uint32_t m_nValue = 0;
    int m_nMode = NUMEDIT_DEC;
    uint32_t m_nMax = 0xFF;
    uint32_t m_nMin = 0;
    int m_nMaxChars = 3;
    BOOL m_bValid = TRUE;
    COLORREF m_colors[4];
    CBrush m_brushes[2];
};
