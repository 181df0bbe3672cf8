#include "AfxControlBar.h"

#include "AfxFrameWnd.h"
#include "AfxWndMsgMap.h"

IMPLEMENT_DYNAMIC(CControlBar, CWnd)

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_MESSAGE(WM_IDLEUPDATECMDUI, &CControlBar::OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CControlBar::~CControlBar() {
    if (m_pDockSite != nullptr)
        m_pDockSite->RemoveControlBar(this);
}

int CControlBar::OnCreate(LPCREATESTRUCT lpcs) {
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    // Bars belong to the frame they are created in.
    auto* pFrame = dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
    if (pFrame != nullptr) {
        m_pDockSite = pFrame;
        pFrame->AddControlBar(this);
    }
    return 0;
}

void CControlBar::OnDestroy() {
    if (m_pDockSite != nullptr) {
        m_pDockSite->RemoveControlBar(this);
        m_pDockSite = nullptr;
    }
    CWnd::OnDestroy();
}

CSize CControlBar::CalcFixedLayout(BOOL, BOOL) {
    CRect rect;
    GetWindowRect(&rect);
    return rect.Size();
}

BOOL CControlBar::IsVisible() const {
    return (GetStyle() & WS_VISIBLE) != 0;
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM) {
    // Only a visible bar's items are worth updating.
    CFrameWnd* pTarget = m_pDockSite != nullptr ? m_pDockSite : GetParentFrame();
    if (pTarget != nullptr && IsVisible())
        OnUpdateCmdUI(pTarget, static_cast<BOOL>(wParam));
    return 0;
}
