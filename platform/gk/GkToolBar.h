// CGkToolBar: a command bar of buttons and separators loaded from a toolbar resource, with images from an
// image manager (CGkImageManager): the frame's command bars' for a frame's bar, else the bar's own, which
// loading the bar fills from the bitmap of its resource. A button click sends WM_COMMAND to the bar's owner
// (the frame, or the window that owns a bar made inside it); idle update handlers through that owner enable,
// check and caption the buttons. CGkControl is one button or separator of a bar. Bars are drawn on the face in
// the classic look: a button the mouse is over stands out in a thin raised edge until the mouse leaves it or the
// bar, a pressed or checked one is sunk (a checked one on a lighter face).
//
// Layout (client coordinates): a gripper GK_TOOLBAR_GRIPPER wide, then the controls in a row from
// y = GK_TOOLBAR_BORDER; a button is the icon plus GK_TOOLBAR_BUTTON_PAD each way, a separator
// GK_TOOLBAR_SEPARATOR wide.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"

#include "GkImageManager.h"

#define GK_TOOLBAR_GRIPPER 8
#define GK_TOOLBAR_BORDER 2
#define GK_TOOLBAR_BUTTON_PAD 4
#define GK_TOOLBAR_SEPARATOR 8
#define GK_BARSTYLE_TOOLTIPS 0x10
#ifndef LM_HORZ
#define LM_STRETCH 0x01
#define LM_HORZ 0x02
#define LM_MRUWIDTH 0x04
#define LM_HORZDOCK 0x08
#define LM_VERTDOCK 0x10
#define LM_LENGTHY 0x20
#define LM_COMMIT 0x40
#endif
// Loading a toolbar asks the bar's owner about each button with this message (lParam a GKCREATECONTROL); the
// owner may make the button a split button with a pop-up menu by setting controlType and hMenu (the bar owns
// that menu from then on) and returning non-zero.
#define WM_GK_CREATECONTROL 0x2AAE
#define GK_TOOLBAR_SPLIT_ARROW 12
enum GkControlType { gkControlButton = 1, gkControlSplitButtonPopup = 5 };

class CGkToolBar;
struct GKCREATECONTROL {
    CGkToolBar* pToolBar;
    UINT nID;
    int nIndex;
    GkControlType controlType;
    HMENU hMenu;
};

class CGkToolBar;
class CGkCommandBars;

class CGkControl {
public:
    CGkControl(CGkToolBar* pParent, UINT nID) : m_pParent(pParent), m_nID(nID) {}
    ~CGkControl();
    CGkControl(const CGkControl&) = delete;
    CGkControl& operator=(const CGkControl&) = delete;
    UINT GetID() const { return m_nID; }
    BOOL IsSeparator() const { return m_nID == 0; }
    GkControlType GetType() const { return m_type; }
    // A split button's face sends its command and its arrow (the right GK_TOOLBAR_SPLIT_ARROW pixels) opens
    // this menu; null for a plain button.
    HMENU GetMenu() const { return m_hMenu; }
    CRect GetArrowRect() const;
    BOOL GetEnabled() const { return m_bEnabled; }
    void SetEnabled(BOOL bEnabled);
    BOOL GetChecked() const { return m_bChecked; }
    void SetChecked(BOOL bChecked);
    CString GetCaption() const { return m_strCaption; }
    void SetCaption(LPCTSTR lpszCaption);
    CString GetTooltip() const { return m_strTooltip; }
    void SetTooltip(LPCTSTR lpszTooltip) { m_strTooltip = lpszTooltip != nullptr ? lpszTooltip : ""; }
    // In the bar's client coordinates; empty while the bar is not laid out.
    CRect GetRect() const { return m_rc; }
    void SetRect(const CRect& rc) { m_rc = rc; }
    CGkToolBar* GetParent() const { return m_pParent; }
    // The tooltip shown on hover: the one set, else the command string's caption.
    CString GetTooltipText() const;

private:
    friend class CGkToolBar;
    CGkToolBar* m_pParent;
    UINT m_nID;
    BOOL m_bEnabled = TRUE;
    BOOL m_bChecked = FALSE;
    CString m_strCaption;
    CString m_strTooltip;
    CRect m_rc;
    GkControlType m_type = gkControlButton;
    HMENU m_hMenu = nullptr;
};

class CGkToolBar : public CControlBar {
    DECLARE_DYNAMIC(CGkToolBar)
public:
    CGkToolBar() = default;
    ~CGkToolBar() override;

    // The bar's window under pParentWnd; its owner is pParentWnd (for a frame, the frame).
    using CWnd::Create;
    virtual BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT nID = 0);
    // A bar inside a window (a pane's own small bar): the same, for callers that name it so.
    BOOL CreateToolBar(DWORD dwStyle, CWnd* pParentWnd, UINT nID = 0) { return Create(pParentWnd, dwStyle, nID); }
    // The buttons and separators of the toolbar resource; FALSE, and the bar unchanged, when there is none. A
    // bar outside command bars also takes its images from the resource's bitmap (none when it has no bitmap),
    // under the mask colour its image manager was given.
    virtual BOOL LoadToolBar(UINT nIDResource);
    UINT GetBarID() const { return m_nBarID; }
    void SetBarID(UINT nID) { m_nBarID = nID; }
    CString GetTitle() const { return m_strTitle; }
    void SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle != nullptr ? lpszTitle : ""; }

    void SetIconSize(CSize size);
    CSize GetIconSize() const { return m_szIcon; }
    void SetCloseable(BOOL bCloseable) { m_bCloseable = bCloseable; }
    BOOL IsCloseable() const { return m_bCloseable; }
    void ShowExpandButton(BOOL bShow) { m_bShowExpandButton = bShow; }
    BOOL IsExpandButtonVisible() const { return m_bShowExpandButton; }
    // GK_BARSTYLE_TOOLTIPS shows each button's tooltip (SetTooltip's text, else the caption of its command's
    // string) when the mouse rests on it.
    void ModifyBarStyle(DWORD dwRemove, DWORD dwAdd);
    DWORD GetGkBarStyle() const { return m_dwGkStyle; }
    void EnableDocking(DWORD dwFlags) { m_dwDockingFlags = dwFlags; }
    DWORD GetDockingFlags() const { return m_dwDockingFlags; }

    // Where a frame's bar is docked: its edge (a CBRS_ALIGN_* bit), its row there (0 next to the frame's edge)
    // and its offset along the row in pixels. A bar on the left or right edge lays its buttons out in a column.
    DWORD GetDockEdge() const { return m_dwStyle & CBRS_ALIGN_ANY; }
    int GetDockRow() const { return m_nDockRow; }
    int GetDockOffset() const { return m_nDockOffset; }
    void SetDockPosition(DWORD dwEdge, int nRow, int nOffset);
    // The gripper, in client coordinates: dragging it moves the bar.
    CRect GetGripperRect() const;

    int GetControlCount() const { return static_cast<int>(m_controls.size()); }
    // Null outside the bar.
    CGkControl* GetControl(int nIndex) const;
    // The first button of that command; null when there is none.
    CGkControl* FindControl(UINT nID) const;

    // Captions below the icons: each button's caption is the text after "\n" in its command's string.
    void ShowTextBelowIcons(BOOL bShow = TRUE);
    BOOL IsTextBelowIcons() const { return m_bTextBelow; }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    // The bar's size for a length and LM_* mode; a bar in a window asks it for its height.
    virtual CSize CalcDynamicLayout(int nLength, DWORD dwMode);
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;
    // Where commands and update requests go.
    CWnd* GetCommandOwner() const;
    // The short caption in the command's string (after "\n"); empty when there is none.
    static CString CaptionOf(UINT nID);

    void SetCommandBars(CGkCommandBars* pCommandBars) { m_pCommandBars = pCommandBars; }
    // Where the buttons' images come from: the command bars' manager, else the bar's own.
    CGkImageManager* GetImageManager();

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnIdleUpdate(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    // Places the controls in the bar for its size and edge.
    virtual void Layout();
    virtual void DrawControl(CDC* pDC, const CGkControl& control, BOOL bHot);
    CGkControl* HitTest(CPoint point) const;
    // The control the mouse is over, which stands out (null: none).
    CGkControl* GetHotControl() const { return m_pHot; }
    void SetHotControl(CGkControl* pHot);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // The tooltip's tools follow the buttons: one per button, its id the button's index + 1.
    void SyncTooltips();
    void RelayToTooltip(UINT message, CPoint point);
    // Asks the owner, button by button, which become split buttons.
    void AskOwnerForControls();
    // Updates the split button's menu through the owner, then shows it under the button; the choice goes to
    // the owner as WM_COMMAND.
    void TrackSplitMenu(CGkControl* pControl);

    std::vector<std::unique_ptr<CGkControl>> m_controls;
    CGkCommandBars* m_pCommandBars = nullptr;

private:
    int ButtonHeight() const;
    BOOL IsVertical() const;
    void DrawImage(CDC* pDC, const CGkControl& control, CPoint pt);

    UINT m_nBarID = 0;
    CString m_strTitle;
    CSize m_szIcon{16, 16};
    BOOL m_bCloseable = TRUE;
    BOOL m_bTextBelow = FALSE;
    BOOL m_bShowExpandButton = TRUE;
    DWORD m_dwGkStyle = 0;
    DWORD m_dwDockingFlags = 0;
    CWnd* m_pOwnerWnd = nullptr;
    CGkControl* m_pPressed = nullptr;
    CGkControl* m_pHot = nullptr;
    BOOL m_bDragging = FALSE;
    int m_nDockRow = 0;
    int m_nDockOffset = 0;
    std::unique_ptr<CToolTipCtrl> m_pTooltip;
    CGkImageManager m_images; // a bar outside command bars
    CString m_strTipText;     // what the tooltip shows now; it reads it after the bar answers
};
