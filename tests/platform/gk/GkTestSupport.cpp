#include "GkTestSupport.h"

#include <cstdlib>

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

int CountPixels(HWND hwnd, const RECT& rect, const std::function<bool(COLORREF)>& test) {
    int nCount = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (test(win32::ClientPixel(hwnd, x, y)))
                ++nCount;
    return nCount;
}

bool IsReddish(COLORREF clr) {
    return GetRValue(clr) >= 160 && GetGValue(clr) <= 90 && GetBValue(clr) <= 90;
}

bool IsDark(COLORREF clr) {
    return GetRValue(clr) < 96 && GetGValue(clr) < 96 && GetBValue(clr) < 96;
}

std::string PicturePath(const std::string& name) {
    const char* pszDir = std::getenv("TDL_PICTURE_DIR");
    std::string dir = pszDir ? pszDir : testing::TempDir();
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + "gk_" + name + ".png";
}

} // namespace gk_test
