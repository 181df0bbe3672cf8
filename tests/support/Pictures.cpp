#include "tests/support/Pictures.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <cairo.h>
#include <gtest/gtest.h>

#include "WinUiControl.h"

namespace tdl::test {

std::string PicturePath(const std::string& fileName) {
    // One flat folder of "name.png" files: a reviewer opens them by name, and a second extension or a folder
    // in the name would hide a picture from them.
    const bool png = fileName.size() > 4 && fileName.ends_with(".png") && !fileName.ends_with(".png.png");
    if (!png || fileName.find_first_of("/\\") != std::string::npos)
        ADD_FAILURE() << "a picture's file name is \"name.png\": " << fileName;
    const char* pszDir = std::getenv("TDL_PICTURE_DIR");
    std::filesystem::path dir =
        (pszDir && *pszDir) ? std::filesystem::path(pszDir) : std::filesystem::path(testing::TempDir());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return (dir / fileName).string();
}

bool SavePicture(HWND hwnd, const std::string& fileName) {
    HWND hRoot = ::GetAncestor(hwnd, GA_ROOT);
    return hRoot != nullptr && win32::SavePicturePng(hRoot, PicturePath(fileName).c_str());
}

Picture::Picture(HWND hwnd, const std::string& fileName) {
    if (!SavePicture(hwnd, fileName))
        return;
    cairo_surface_t* pSurface = cairo_image_surface_create_from_png(PicturePath(fileName).c_str());
    if (cairo_surface_status(pSurface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pSurface);
        return;
    }
    cairo_surface_flush(pSurface);
    m_pSurface = pSurface;
    HWND hRoot = ::GetAncestor(hwnd, GA_ROOT);
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

} // namespace tdl::test
