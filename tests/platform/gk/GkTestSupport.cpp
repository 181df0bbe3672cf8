#include "GkTestSupport.h"

#include "GkPropertyGrid.h"
#include "WinUiControl.h"

namespace gk_test {

BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
ON_MESSAGE(GKWM_PROPERTYGRID_NOTIFY, &COwnerWnd::OnGridNotify)
END_MESSAGE_MAP()

LRESULT COwnerWnd::OnGridNotify(WPARAM wParam, LPARAM lParam) {
    m_notifications.push_back({GKWM_PROPERTYGRID_NOTIFY, wParam, lParam});
    return 0;
}

} // namespace gk_test
