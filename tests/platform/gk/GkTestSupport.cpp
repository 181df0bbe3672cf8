#include "GkTestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <cairo.h>

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

Picture::Picture(HWND hwnd, const std::string& name) {
    HWND hRoot = ::GetAncestor(hwnd, GA_ROOT);
    std::string path = PicturePath(name);
    if (!hRoot || !win32::SavePicturePng(hRoot, path.c_str()))
        return;
    cairo_surface_t* pSurface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(pSurface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pSurface);
        return;
    }
    cairo_surface_flush(pSurface);
    m_pSurface = pSurface;
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    RECT rcRoot;
    ::GetWindowRect(hRoot, &rcRoot);
    m_origin = {origin.x - rcRoot.left, origin.y - rcRoot.top};
}

Picture::~Picture() {
    if (m_pSurface)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_pSurface));
}

COLORREF Picture::Client(int x, int y) const {
    auto* pSurface = static_cast<cairo_surface_t*>(m_pSurface);
    if (!pSurface)
        return CLR_INVALID;
    x += m_origin.x;
    y += m_origin.y;
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(pSurface) || y >= cairo_image_surface_get_height(pSurface))
        return CLR_INVALID;
    const unsigned char* pRow = cairo_image_surface_get_data(pSurface) + y * cairo_image_surface_get_stride(pSurface);
    uint32_t argb = 0;
    std::memcpy(&argb, pRow + 4 * x, sizeof(argb));
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

int Picture::Count(const RECT& rect, const std::function<bool(COLORREF)>& test) const {
    int nCount = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (test(Client(x, y)))
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
